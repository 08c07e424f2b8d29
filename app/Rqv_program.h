// The Program mode window: the configuration editor of a control in configure
// mode. Its pages offer only the settings that apply to the configured turbine
// (the editors' shared rules); "Save To Control" has the control check its
// configuration before program mode ends, and closing asks whether the
// control is to be reset.
#pragma once

#include "app/EditorWindow.h"

class TEditorRules;

class TFProgramMode : public TEditorWindow {
    Q_OBJECT
public:
    explicit TFProgramMode(TModeHost& host);

    QPushButton* ExitProgramModeButton = nullptr;
    TEditorRules* Rules() const { return rules; }
    // The page or control to correct for an error of the configuration check;
    // more: the error has a further object (occurrence + 1).
    QObject* GetAssociatedErrorObject(int error, int occurrence, QString& suffix, bool& more);

public slots:
    // "Save To Control": the control checks its configuration; program mode ends when it passes.
    void ExitProgramModeButtonClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TEditorRules* rules = nullptr;
};
