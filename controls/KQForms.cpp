#include "controls/KQForms.h"

#include "controls/KAccessible.h"
#include "platform/Assert.h"
#include "platform/Exception.h"
#include "platform/dialogs/Dialogs.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QPainter>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTabBar>

namespace {

// Marks the widgets a container puts between itself and its children.
constexpr const char* ClientAreaMark = "turvistaClientArea";

// Shows the busy cursor for the lifetime of the object.
class TBusyCursor {
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
};

// The tabs a tab bar draws, as assistive technology sees them: a hidden tab is
// not there, and a tab is pressed only while it is shown and enabled.
class TKTabAccessible : public TKAccessiblePart {
public:
    TKTabAccessible(QTabBar* bar, int index) : TKAccessiblePart(bar), index(index) {}

    bool isValid() const override { return owner && index < Bar()->count(); }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && isValid() ? WithoutMnemonic(Bar()->tabText(index)) : QString();
    }
    QRect rect() const override { return isValid() ? OnScreen(Bar()->tabRect(index)) : QRect(); }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.selectable = true;
        state.selected = isValid() && Bar()->currentIndex() == index;
        state.invisible = !(isValid() && Bar()->isVisible() && Bar()->isTabVisible(index));
        state.disabled = isValid() && !Bar()->isTabEnabled(index);
        return state;
    }
    // The tab bar itself must still be shown and enabled then, and so must the tab.
    void doAction(const QString& action) override
    {
        if (action == pressAction() && owner)
            DoAccessibleActionLater(Bar(), [bar = Bar(), index = index] {
                if (index < bar->count() && bar->isTabVisible(index) && bar->isTabEnabled(index))
                    bar->setCurrentIndex(index);
            });
    }

private:
    QTabBar* Bar() const { return static_cast<QTabBar*>(owner.data()); }

    int index;
};

class TKTabBarAccessible : public QAccessibleWidget {
public:
    explicit TKTabBarAccessible(QTabBar* bar) : QAccessibleWidget(bar, QAccessible::PageTabList) {}
    ~TKTabBarAccessible() override
    {
        for (QAccessible::Id id : tabs)
            QAccessible::deleteAccessibleInterface(id);
    }

    // Named by the page shown, as Qt's own tab bar is.
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && Bar()->currentIndex() >= 0)
            return WithoutMnemonic(Bar()->tabText(Bar()->currentIndex()));
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return int(Shown().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<int> shown = Shown();
        return index >= 0 && index < shown.size() ? Tab(shown[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const QList<int> shown = Shown();
        for (int i = 0; i < shown.size(); ++i)
            if (Tab(shown[i]) == child)
                return i;
        return -1;
    }

private:
    QTabBar* Bar() const { return static_cast<QTabBar*>(widget()); }
    QList<int> Shown() const
    {
        QList<int> shown;
        for (int i = 0; i < Bar()->count(); ++i)
            if (Bar()->isTabVisible(i))
                shown << i;
        return shown;
    }
    QAccessibleInterface* Tab(int index) const
    {
        while (int(tabs.size()) <= index)
            tabs.push_back(QAccessible::registerAccessibleInterface(new TKTabAccessible(Bar(), int(tabs.size()))));
        return QAccessible::accessibleInterface(tabs[size_t(index)]);
    }

    mutable std::vector<QAccessible::Id> tabs;
};

QAccessibleInterface* TabBarAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QTabBar") && object && object->isWidgetType())
        return new TKTabBarAccessible(static_cast<QTabBar*>(object));
    return nullptr;
}

} // namespace

// ---- handler sets and registration ---------------------------------------------

void TNotifyEventSet::Add(QObject* object, TStateHandler handler)
{
    for (const Member& member : members)
        if (member.object == object)
            return;
    members.push_back(Member{object, std::move(handler)});
}

void TNotifyEventSet::Broadcast(TStateFlags flags) const
{
    // A handler may register further children; walk by index over a stable count.
    const size_t count = members.size();
    for (size_t i = 0; i < count && i < members.size(); ++i) {
        if (!members[i].object)
            continue;
        // A failed subscription is reported like a failed command; the other
        // children are still told.
        try {
            members[i].handler(flags);
        } catch (const std::exception& error) {
            ShowException(error);
        }
    }
}

QObject* BoundParentOf(QObject* child)
{
    QObject* parent = child ? child->parent() : nullptr;
    while (parent && parent->property(ClientAreaMark).toBool())
        parent = parent->parent();
    return parent;
}

namespace {
int formsLoading = 0;
}

TFormLoadingScope::TFormLoadingScope()
{
    ++formsLoading;
}

TFormLoadingScope::~TFormLoadingScope()
{
    --formsLoading;
}

void RegisterBoundChild(QObject* parent, TStateHandler handler, QObject* child)
{
    if (auto* container = dynamic_cast<TKQBoundContainer*>(parent)) {
        container->Handlers().Add(child, std::move(handler));
        return;
    }
    const QString text = (parent ? parent->objectName() : QString()) + QStringLiteral(" is not an Quorvane Library form");
    if (formsLoading > 0)
        throw EAssertionFailed(text);
    MessageDlg(text, TMsgDlgType::mtError, mbOK);
}

TStateFlags DeriveFlags(TStateFlags parent, bool visible, bool enabled)
{
    TStateFlags own = 0;
    if ((parent & sfShown) && visible)
        own |= sfShown;
    if ((parent & sfEnabled) && enabled)
        own |= sfEnabled;
    return own;
}

// ---- form ------------------------------------------------------------------------

TKQForm::TKQForm(QWidget* parent) : QWidget(parent) {}

TStateFlags TKQForm::Flags() const
{
    return TStateFlags((isVisible() ? sfShown : 0) | (OwnEnabled(this) ? sfEnabled : 0));
}

void TKQForm::Broadcast()
{
    Handlers().Broadcast(Flags());
}

void TKQForm::SetEnabled(bool enabled)
{
    setEnabled(enabled);
    Broadcast();
}

void TKQForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        Handlers().Broadcast(TStateFlags(sfShown | (OwnEnabled(this) ? sfEnabled : 0)));
}

void TKQForm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        Handlers().Broadcast(TStateFlags(OwnEnabled(this) ? sfEnabled : 0));
}

// ---- panels, group boxes, scroll boxes ----------------------------------------------

void TKQChildContainer::ParentStateChanged(TStateFlags flags)
{
    parentState = flags;
    Rebroadcast();
}

void TKQChildContainer::RegisterWithParent()
{
    RegisterBoundChild(BoundParentOf(self), [this](TStateFlags flags) { ParentStateChanged(flags); }, self);
}

void TKQChildContainer::Rebroadcast()
{
    Handlers().Broadcast(DeriveFlags(parentState, ownVisible, OwnEnabled(self)));
}

void TKQChildContainer::SetOwnVisible(bool visible)
{
    ownVisible = visible;
    self->setVisible(visible);
    Rebroadcast();
}

void TKQChildContainer::SetOwnEnabled(bool enabled)
{
    self->setEnabled(enabled);
    Rebroadcast();
}

TKQPanel::TKQPanel(QWidget* parent) : QFrame(parent), TKQChildContainer(this)
{
    setFrameShape(QFrame::StyledPanel);
    SetAccessibleRole(this, QAccessible::Grouping); // a group of controls, not a window
}

void TKQPanel::SetCaption(const QString& text)
{
    caption = text;
    update();
}

void TKQPanel::Loaded()
{
    TKComponent::Loaded();
    RegisterWithParent();
}

void TKQPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (caption.isEmpty())
        return;
    QPainter painter(this);
    painter.drawText(contentsRect(), Qt::AlignCenter, caption);
}

TKQGroupBox::TKQGroupBox(QWidget* parent) : QGroupBox(parent), TKQChildContainer(this) {}

void TKQGroupBox::Loaded()
{
    TKComponent::Loaded();
    RegisterWithParent();
}

TKQScrollBox::TKQScrollBox(QWidget* parent) : QScrollArea(parent), TKQChildContainer(this), client(new QWidget)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setWidget(client);
    client->setProperty(ClientAreaMark, true);
    viewport()->setProperty(ClientAreaMark, true);
}

void TKQScrollBox::Loaded()
{
    TKComponent::Loaded();
    RegisterWithParent();
    // It takes the focus to scroll by keyboard: a screen reader names it after its page.
    if (auto* page = qobject_cast<TKQTabSheet*>(parentWidget()); page && accessibleName().isEmpty())
        setAccessibleName(page->Caption());
}

// ---- tab sheets and page controls -------------------------------------------------

TKQTabSheet::TKQTabSheet(QWidget* parent) : QWidget(parent), TKQChildContainer(this)
{
    ownVisible = false; // until its page control makes it the active page
}

void TKQTabSheet::SetCaption(const QString& text)
{
    caption = text;
    if (pageControl) {
        const int index = pageControl->indexOf(this);
        if (index >= 0)
            pageControl->setTabText(index, text);
    }
}

void TKQTabSheet::SetTabVisible(bool visible)
{
    tabVisible = visible;
    if (pageControl)
        pageControl->PageTabVisibilityChanged(this);
}

void TKQTabSheet::SetParentBit(TStateFlags bit, bool on)
{
    parentState = TStateFlags(on ? (parentState | bit) : (parentState & ~bit));
    Rebroadcast();
}

TKQPageControl::TKQPageControl(QWidget* parent) : QTabWidget(parent)
{
    InstallAccessibleFactory(TabBarAccessibleFactory);
    connect(this, &QTabWidget::currentChanged, this, &TKQPageControl::TabChanged);
    setAccessibleName(QStringLiteral("Pages"));
}

void TKQPageControl::AddPage(TKQTabSheet* page)
{
    page->pageControl = this;
    pages.push_back(page);
    switching = true;
    addTab(page, page->Caption());
    setTabVisible(indexOf(page), page->TabVisible());
    switching = false;
    if (!active) {
        active = page;
        page->ownVisible = true;
    }
}

QString TKQPageControl::ActivePageName() const
{
    return active ? active->objectName() : QString();
}

void TKQPageControl::SetActivePageName(const QString& name)
{
    for (TKQTabSheet* page : pages)
        if (page->objectName() == name)
            SetActivePage(page);
}

void TKQPageControl::SetActivePage(TKQTabSheet* page)
{
    if (!page || (page == active && !Loading()))
        return;
    switching = true;
    setCurrentWidget(page);
    switching = false;
    SwitchTo(page);
}

void TKQPageControl::TabChanged(int index)
{
    if (switching || index < 0)
        return;
    auto* page = qobject_cast<TKQTabSheet*>(widget(index));
    if (page && page != active)
        SwitchTo(page);
}

void TKQPageControl::PageTabVisibilityChanged(TKQTabSheet* page)
{
    const int index = indexOf(page);
    if (index < 0)
        return;
    switching = true;
    setTabVisible(index, page->TabVisible());
    // Qt also moves to a tab shown while the current one is hidden: a page made
    // active with its tab hidden stays active.
    if (active && page != active)
        setCurrentWidget(active);
    switching = false;
    // Hiding the active tab makes Qt show another page: follow it.
    auto* shown = qobject_cast<TKQTabSheet*>(currentWidget());
    if (shown && shown != active)
        SwitchTo(shown);
}

void TKQPageControl::SwitchTo(TKQTabSheet* page)
{
    TBusyCursor busy;
    TKQTabSheet* old = active;
    if (old && old != page)
        emit OnChanging(this);
    // Every page loses bit 1 as when the page control is disabled, and the tabs
    // take no clicks while OnExit and OnEnter run. Disabling the whole page
    // control in Qt would walk every control of every page twice per switch.
    holdingPages = true;
    tabBar()->setEnabled(false);
    PassEnabledBit();
    if (old && old != page) {
        old->ownVisible = false;
        old->SetParentBit(sfShown, false);
        emit old->OnExit(this);
    }
    active = page;
    page->ownVisible = true;
    page->SetParentBit(sfShown, (parentState & sfShown) && ownVisible);
    emit page->OnEnter(this);
    holdingPages = false;
    tabBar()->setEnabled(true);
    // Enabled again, as after any page switch.
    if (!OwnEnabled(this))
        setEnabled(true);
    PassEnabledBit();
    emit OnChange(this);
}

void TKQPageControl::SetVisible(bool visible)
{
    ownVisible = visible;
    setVisible(visible);
    const bool shown = (parentState & sfShown) && visible;
    for (TKQTabSheet* page : pages)
        if (page == active || (page->ParentState() & sfShown) != (shown ? sfShown : 0))
            page->SetParentBit(sfShown, shown && page == active);
}

void TKQPageControl::SetEnabled(bool enabled)
{
    TBusyCursor busy;
    setEnabled(enabled);
    PassEnabledBit();
}

void TKQPageControl::PassEnabledBit()
{
    // A page is enabled only as far as the page control itself is.
    const bool on = (parentState & sfEnabled) && OwnEnabled(this) && !holdingPages;
    for (TKQTabSheet* page : pages)
        if (page == active || (page->ParentState() & sfEnabled) != (on ? sfEnabled : 0))
            page->SetParentBit(sfEnabled, on);
}

void TKQPageControl::ParentStateChanged(TStateFlags flags)
{
    parentState = flags;
    if (active)
        active->ParentStateChanged(DeriveFlags(flags, ownVisible, Enabled()));
}

void TKQPageControl::Loaded()
{
    TKComponent::Loaded();
    RegisterBoundChild(BoundParentOf(this), [this](TStateFlags flags) { ParentStateChanged(flags); }, this);
}
