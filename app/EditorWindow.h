// The configuration editors (Program and Service mode): child windows of tabbed
// pages of bound controls that open for change or view only and say which in
// their caption. Each page applies the view-only state to its controls once
// per showing of the window, when it is first entered (its mark 123), and
// locks the spies its rules need while it is shown.
#pragma once

#include "app/FormWindow.h"
#include "app/ModeWindow.h"

#include <QList>

#include <functional>

class QPushButton;
class TEditorRules;
struct TEditorRuleSet;
class TKQItemSpy;
class TKQPageControl;
class TKQTabSheet;

class TEditorWindow : public TModeWindow, public TFormWindow {
    Q_OBJECT
public:
    TEditorWindow(TModeHost& host, TMode mode, const QString& closingText, const QString& captionPrefix);

    void UpdateFormCaption() override;
    QWidget* PageControlWidget() const override;
    void WindowActivated() override;
    // Clears every page's mark, so that each applies the view-only state again when next entered.
    void ResetSheetMonStatus();
    // Applies view only (true) or change (false) to the controls of the active page.
    void UpdateMonStatus(bool monitorOnly);
    // View only unless the window was opened for change.
    virtual void InitMonStatus();
    bool ViewOnly() const { return !Host().OpenForChange(Mode()); }
    // Brings the page that holds the control to the front.
    void OpenPageOf(QObject* control);
    // Shows or hides a page's tab; a hidden active page first gives way to the first page.
    void ShowPage(TKQTabSheet* page, bool shown);

    // What a page does when it is entered, besides the caption and the view-only state.
    struct TPageEntry {
        TKQTabSheet* page = nullptr;
        QList<TKQItemSpy*> lockedSpies; // subscribed while the page is shown
        std::function<void()> onEnter;
    };

protected:
    // After the form is loaded: the shared rules, what each page does on entry
    // and "Save To File"; the Application page is shown and the End page's tab hidden.
    void SetUpEditor(const TEditorRuleSet& ruleSet);
    void showEvent(QShowEvent* event) override;
    // Leaves through the End page: the host takes the window down.
    void CloseThroughEndPage(QCloseEvent* event);

private:
    void PageEnter(QObject* page);
    void PageExit(QObject* page);
    const TPageEntry* EntryOf(QObject* page) const;

    QString captionPrefix;
    TKQPageControl* pages = nullptr;
    QList<TPageEntry> entries;
    TEditorRules* rules = nullptr;
};
