#include "app/EditorWindow.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The pre-view-only walk, until the controls switch themselves.
void SwitchChildren(QWidget* parent, bool monitorOnly)
{
    static const char* const switched[] = {"TK4812SpinEdit",  "TK4812SpinTune",       "TKQEnumComboBox",
                                           "TKQStringEdit",   "TKQDAOneShotButton",   "TKQOneShotButton",
                                           "TKQDAMomentaryButton", "TKQMomentaryButton", "TKQToggleButton",
                                           "TKQCheckBox"};
    constexpr int ConfigurationLock = 0xDC00;
    for (QObject* object : parent->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child)
            continue;
        if (!monitorOnly && (child->property("Tag").toInt() & ConfigurationLock) == ConfigurationLock)
            continue;
        bool handled = false;
        for (const char* className : switched) {
            if (child->inherits(className)) {
                child->setProperty("IsMonitorOnly", monitorOnly);
                handled = true;
                break;
            }
        }
        if (!handled && !child->children().isEmpty())
            SwitchChildren(child, monitorOnly);
    }
}

} // namespace

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
    SwitchChildren(this, monitorOnly);
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
