#include "app/EditorWindow.h"

#include "app/EditorRules.h"
#include "controls/KQBoundControl.h"
#include "controls/KQForms.h"
#include "controls/KQItemSpy.h"

#include <QPushButton>
#include <QShowEvent>

namespace {

// A page whose controls have the window's view-only state.
constexpr int PageInitialised = 123;
const char* const TagProperty = "Tag";

} // namespace

TEditorWindow::TEditorWindow(TModeHost& host, TMode mode, const QString& closingText, const QString& captionPrefix)
    : TModeWindow(host, mode, closingText), TFormWindow(this), captionPrefix(captionPrefix)
{
    resize(560, 380);
}

void TEditorWindow::SetUpEditor(const TEditorRuleSet& ruleSet)
{
    pages = Part<TKQPageControl>(QStringLiteral("PageControl1"));
    rules = new TEditorRules(*this, ruleSet);
    entries = rules->PageEntries();
    for (int i = 0; i < pages->PageCount(); ++i) {
        TKQTabSheet* page = pages->Page(i);
        connect(page, &TKQTabSheet::OnEnter, this, [this, page] { PageEnter(page); });
        connect(page, &TKQTabSheet::OnExit, this, [this, page] { PageExit(page); });
    }
    connect(Part<QPushButton>(QStringLiteral("SaveToFileButton")), &QPushButton::clicked, this,
            [this] { Host().SaveValuesToFile(); });
    pages->SetActivePage(Part<TKQTabSheet>(QStringLiteral("KPApplication")));
    Part<TKQTabSheet>(QStringLiteral("KPEnd"))->SetTabVisible(false);
}

void TEditorWindow::CloseThroughEndPage(QCloseEvent* event)
{
    pages->SetActivePage(Part<TKQTabSheet>(QStringLiteral("KPEnd")));
    TModeWindow::closeEvent(event);
}

QWidget* TEditorWindow::PageControlWidget() const
{
    return pages;
}

void TEditorWindow::UpdateFormCaption()
{
    QString caption = captionPrefix;
    if (pages && pages->ActivePage())
        caption += pages->ActivePage()->Caption();
    if (ViewOnly())
        caption += QStringLiteral("      -      View Only");
    SetCaption(caption);
}

void TEditorWindow::WindowActivated()
{
    Host().ModeActivated(Mode());
}

void TEditorWindow::showEvent(QShowEvent* event)
{
    TModeWindow::showEvent(event);
    // The page shown first is entered as any other.
    if (pages && pages->ActivePage() && !event->spontaneous())
        PageEnter(pages->ActivePage());
}

const TEditorWindow::TPageEntry* TEditorWindow::EntryOf(QObject* page) const
{
    for (const TPageEntry& entry : entries)
        if (entry.page == page)
            return &entry;
    return nullptr;
}

void TEditorWindow::PageEnter(QObject* page)
{
    const TPageEntry* entry = EntryOf(page);
    Guarded([&] {
        UpdateFormCaption();
        if (entry) {
            for (TKQItemSpy* spy : entry->lockedSpies)
                spy->SetLockOnAdvise(true);
            if (entry->onEnter)
                entry->onEnter();
        }
        // Every page gets the window's view-only state, pages without rules included.
        if (page->property(TagProperty).toInt() != PageInitialised) {
            UpdateChildrensMonStatus(static_cast<QWidget*>(page), ViewOnly());
            page->setProperty(TagProperty, PageInitialised);
        }
    });
}

void TEditorWindow::PageExit(QObject* page)
{
    if (const TPageEntry* entry = EntryOf(page))
        for (TKQItemSpy* spy : entry->lockedSpies)
            spy->SetLockOnAdvise(false);
}

void TEditorWindow::ResetSheetMonStatus()
{
    if (!pages)
        return;
    for (int i = 0; i < pages->PageCount(); ++i)
        pages->Page(i)->setProperty(TagProperty, 0);
}

void TEditorWindow::UpdateMonStatus(bool monitorOnly)
{
    QWidget* scope = pages && pages->ActivePage() ? static_cast<QWidget*>(pages->ActivePage()) : this;
    UpdateChildrensMonStatus(scope, monitorOnly);
}

void TEditorWindow::InitMonStatus()
{
    UpdateMonStatus(ViewOnly());
}

void TEditorWindow::OpenPageOf(QObject* control)
{
    QObject* parent = control;
    while (parent && !qobject_cast<TKQTabSheet*>(parent) && qobject_cast<QWidget*>(parent))
        parent = parent->parent();
    auto* page = qobject_cast<TKQTabSheet*>(parent);
    if (page && pages && page != pages->ActivePage())
        pages->SetActivePage(page);
}

void TEditorWindow::ShowPage(TKQTabSheet* page, bool shown)
{
    if (!shown && pages && pages->ActivePage() == page && pages->PageCount() > 0 && pages->Page(0) != page)
        pages->SetActivePage(pages->Page(0));
    page->SetTabVisible(shown);
}
