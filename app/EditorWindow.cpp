#include "app/EditorWindow.h"

#include "app/Rqv_main.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TEditorWindow::TEditorWindow(TFMain& main, int& state, const QString& closingText, const QString& captionPrefix,
                             QAction* changeItem)
    : TModeWindow(main, state, closingText), captionPrefix(captionPrefix), changeItem(changeItem)
{
    resize(560, 380);
}

void TEditorWindow::UpdateFormCaption()
{
    QString caption = captionPrefix;
    if (!changeItem->isChecked())
        caption += QStringLiteral("      -      View Only");
    SetCaption(caption);
}

void TEditorWindow::ResetSheetMonStatus()
{
}

void TEditorWindow::UpdateMonStatus(bool monitorOnly)
{
    TFMain::UpdateChildrensMonStatus(this, monitorOnly);
}

TFProgramMode::TFProgramMode(TFMain& main)
    : TEditorWindow(main, main.ProgramModeState, QStringLiteral("Closing Program Mode"), QStringLiteral("Program Mode - "),
                    main.ProgramEdit)
{
    auto* layout = new QVBoxLayout(this);
    ExitProgramModeButton = new QPushButton(QStringLiteral("Save To Control"), this);
    ExitProgramModeButton->setObjectName(QStringLiteral("ExitProgramModeButton"));
    connect(ExitProgramModeButton, &QPushButton::clicked, this, &TFProgramMode::ExitProgramModeButtonClick);
    layout->addWidget(ExitProgramModeButton, 0, Qt::AlignLeft);
    layout->addStretch();
}

void TFProgramMode::ExitProgramModeButtonClick()
{
    // Until the configuration pages exist there is nothing to check: leave program mode.
    close();
}

TFServiceMode::TFServiceMode(TFMain& main)
    : TEditorWindow(main, main.ServiceModeState, QStringLiteral("Closing Service Mode"), QStringLiteral("Service Mode - "),
                    main.ServiceEdit)
{
}

void TFServiceMode::InitMonStatus()
{
    UpdateMonStatus(!Main().ServiceEdit->isChecked());
}
