// The configuration editors (Program and Service mode): child windows that open
// for change or view only and say which in their caption.
#pragma once

#include "app/ModeWindow.h"

class QPushButton;

class TEditorWindow : public TModeWindow {
    Q_OBJECT
public:
    TEditorWindow(TModeHost& host, TMode mode, const QString& closingText, const QString& captionPrefix);

    void UpdateFormCaption() override;
    // Forgets which pages have their view-only state applied.
    void ResetSheetMonStatus();
    // Applies view only (true) or change (false) to the window's controls.
    void UpdateMonStatus(bool monitorOnly);
    // View only unless the window was opened for change.
    void InitMonStatus();

private:
    QString captionPrefix;
};

class TFProgramMode : public TEditorWindow {
    Q_OBJECT
public:
    explicit TFProgramMode(TModeHost& host);
    QPushButton* ExitProgramModeButton = nullptr;

public slots:
    // Leaving program mode for change.
    void ExitProgramModeButtonClick();
};

class TFServiceMode : public TEditorWindow {
    Q_OBJECT
public:
    explicit TFServiceMode(TModeHost& host);
};
