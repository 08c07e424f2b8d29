// The Service mode window: the editor with which an engineer tunes a running
// turbine. A change takes effect in the control at once; "Save Changes" has the
// control store its values for good. Settings only Program mode may change are
// shown locked.
#pragma once

#include "app/EditorWindow.h"

class TServiceRules;

class TFServiceMode : public TEditorWindow {
    Q_OBJECT
public:
    explicit TFServiceMode(TModeHost& host);

    // The view-only state, then the configuration-only controls locked for good.
    void InitMonStatus() override;
    // Sets (or clears) the lock mark in the control's tag.
    static void UpdateCMLock(QWidget* control, bool lock);
    // Hides a page's tab; the active page gives way to Application first.
    void HidePage(TKQTabSheet* page) { ShowPage(page, false); }

public slots:
    // The control stores its current values; the main window is usable again afterwards, however it went.
    void SaveChangesButtonClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TServiceRules* serviceRules = nullptr;
};
