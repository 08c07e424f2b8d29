#include "app/EditorWindow.h"

#include "controls/KQBoundControl.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TEditorWindow::TEditorWindow(TModeHost& host, TMode mode, const QString& closingText, const QString& captionPrefix)
    : TModeWindow(host, mode, closingText), captionPrefix(captionPrefix)
{
    resize(560, 380);
}

void TEditorWindow::UpdateFormCaption()
{
    QString caption = captionPrefix;
    if (!Host().OpenForChange(Mode()))
        caption += QStringLiteral("      -      View Only");
    SetCaption(caption);
}

void TEditorWindow::ResetSheetMonStatus()
{
}

void TEditorWindow::UpdateMonStatus(bool monitorOnly)
{
    UpdateChildrensMonStatus(this, monitorOnly);
}

void TEditorWindow::InitMonStatus()
{
    UpdateMonStatus(!Host().OpenForChange(Mode()));
}

TFProgramMode::TFProgramMode(TModeHost& host)
    : TEditorWindow(host, TMode::Program, QStringLiteral("Closing Program Mode"), QStringLiteral("Program Mode - "))
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

TFServiceMode::TFServiceMode(TModeHost& host)
    : TEditorWindow(host, TMode::Service, QStringLiteral("Closing Service Mode"), QStringLiteral("Service Mode - "))
{
}
