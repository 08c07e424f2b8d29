// The Program mode window: the configuration editor of a control in configure
// mode. Its pages offer only the settings that apply to the configured turbine
// (the editors' shared rules); "Save To Control" has the control check its
// configuration before program mode ends, and closing asks whether the
// control is to be reset.
#pragma once

#include "app/EditorWindow.h"

class TFProgramMode : public TEditorWindow {
    Q_OBJECT
public:
    explicit TFProgramMode(TModeHost& host);

    QPushButton* ExitProgramModeButton = nullptr;

    // The page, group or control that an error the configuration check reports
    // points to. An error reported twice names a second object for its later
    // occurrences; more says that another occurrence follows, and suffix is
    // what the error list adds to the error's text.
    QObject* GetAssociatedErrorObject(int error, int occurrence, QString& suffix, bool& more) const;

public slots:
    // "Save To Control": the control checks its configuration; program mode ends when it passes.
    void ExitProgramModeButtonClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QObject* BoundControl(const QString& target) const;
    QObject* SteamMapPage(QString& suffix) const;
};
