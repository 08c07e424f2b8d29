// The configuration editors (Program and Service mode): child windows that open
// for change or view only and say which in their caption.
#pragma once

#include "app/ModeWindow.h"

class QAction;

class TEditorWindow : public TModeWindow {
    Q_OBJECT
public:
    // changeItem: the main window's "&Change" item of this mode, ticked while open for change.
    TEditorWindow(TFMain& main, int& state, const QString& closingText, const QString& captionPrefix,
                  QAction* changeItem);

    void UpdateFormCaption() override;
    // Forgets which pages have their view-only state applied.
    void ResetSheetMonStatus();
    // Applies view only (true) or change (false) to the window's controls.
    void UpdateMonStatus(bool monitorOnly);

private:
    QString captionPrefix;
    QAction* changeItem;
};

class TFProgramMode : public TEditorWindow {
    Q_OBJECT
public:
    explicit TFProgramMode(TFMain& main);
    class QPushButton* ExitProgramModeButton = nullptr;

public slots:
    // Leaving program mode for change.
    void ExitProgramModeButtonClick();
};

class TFServiceMode : public TEditorWindow {
    Q_OBJECT
public:
    explicit TFServiceMode(TFMain& main);
    void InitMonStatus();
};
