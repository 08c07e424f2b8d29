// Bound containers: forms, panels, group boxes, scroll boxes, tab sheets and
// page controls that tell the bound controls inside them whether they are shown
// and enabled, so that only what the user can see holds an item subscription.
#pragma once

#include "controls/KComponent.h"

#include <QFrame>
#include <QGroupBox>
#include <QPointer>
#include <QScrollArea>
#include <QTabWidget>
#include <QWidget>

#include <functional>
#include <vector>

// State flags passed from a container to its children.
using TStateFlags = unsigned char;
constexpr TStateFlags sfShown = 1;
constexpr TStateFlags sfEnabled = 2;
constexpr TStateFlags sfShownEnabled = sfShown | sfEnabled;

using TStateHandler = std::function<void(TStateFlags flags)>;

// Handlers in order of registration; one per object. A handler whose object is
// gone is skipped.
class TNotifyEventSet {
public:
    void Add(QObject* object, TStateHandler handler);
    void Broadcast(TStateFlags flags) const;
    int Count() const { return int(members.size()); }

private:
    struct Member {
        QPointer<QObject> object;
        TStateHandler handler;
    };
    std::vector<Member> members;
};

// Something bound children can register with.
class TKQBoundContainer {
public:
    virtual ~TKQBoundContainer() = default;
    TNotifyEventSet& Handlers() { return handlers; }

private:
    TNotifyEventSet handlers;
};

// The container a component reports to: its widget parent, skipping the inner
// widgets that some containers (scroll boxes) put between themselves and their children.
QObject* BoundParentOf(QObject* child);

// Registers the child's handler with a bound container; any other parent is
// reported to the user and nothing is registered. While a form loads it raises
// EAssertionFailed instead, and the form is refused.
void RegisterBoundChild(QObject* parent, TStateHandler handler, QObject* child);

// Held by the form loader: loading never waits for an operator.
class TFormLoadingScope {
public:
    TFormLoadingScope();
    ~TFormLoadingScope();
    TFormLoadingScope(const TFormLoadingScope&) = delete;
    TFormLoadingScope& operator=(const TFormLoadingScope&) = delete;
};

// Own flags of a container from those of its parent and its own Visible and Enabled.
TStateFlags DeriveFlags(TStateFlags parent, bool visible, bool enabled);

// A widget's own Enabled, whatever the state of the widgets around it (Qt's
// isEnabled() is false inside a disabled parent; the parent's state reaches
// the children through the state flags instead).
inline bool OwnEnabled(const QWidget* widget)
{
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}

class TKQForm : public QWidget, public TKQBoundContainer, public TKComponent {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    explicit TKQForm(QWidget* parent = nullptr);

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }
    // The flags of the root: Visible and Enabled.
    TStateFlags Flags() const;
    void Broadcast();
    void SetEnabled(bool enabled);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

// Panels, group boxes and scroll boxes share this behaviour.
class TKQChildContainer : public TKQBoundContainer, public TKComponent {
public:
    void ParentStateChanged(TStateFlags flags);
    TStateFlags ParentState() const { return parentState; }

protected:
    explicit TKQChildContainer(QWidget* self) : self(self) {}
    void RegisterWithParent();
    void Rebroadcast();
    void SetOwnVisible(bool visible);
    void SetOwnEnabled(bool enabled);

    QWidget* self;
    TStateFlags parentState = 0;
    bool ownVisible = true;
};

class TKQPanel : public QFrame, public TKQChildContainer {
    Q_OBJECT
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    explicit TKQPanel(QWidget* parent = nullptr);
    bool Visible() const { return ownVisible; }
    void SetVisible(bool visible) { SetOwnVisible(visible); }
    bool Enabled() const { return OwnEnabled(this); }
    void SetEnabled(bool enabled) { SetOwnEnabled(enabled); }
    QString Caption() const { return caption; }
    void SetCaption(const QString& text);
    void Loaded() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption;
};

class TKQGroupBox : public QGroupBox, public TKQChildContainer {
    Q_OBJECT
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QString Caption READ title WRITE setTitle)
public:
    explicit TKQGroupBox(QWidget* parent = nullptr);
    bool Visible() const { return ownVisible; }
    void SetVisible(bool visible) { SetOwnVisible(visible); }
    bool Enabled() const { return OwnEnabled(this); }
    void SetEnabled(bool enabled) { SetOwnEnabled(enabled); }
    void Loaded() override;
};

class TKQScrollBox : public QScrollArea, public TKQChildContainer {
    Q_OBJECT
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
public:
    explicit TKQScrollBox(QWidget* parent = nullptr);
    bool Visible() const { return ownVisible; }
    void SetVisible(bool visible) { SetOwnVisible(visible); }
    bool Enabled() const { return OwnEnabled(this); }
    void SetEnabled(bool enabled) { SetOwnEnabled(enabled); }
    // Children go here.
    QWidget* ClientArea() const { return client; }
    void Loaded() override;

private:
    QWidget* client;
};

class TKQPageControl;

class TKQTabSheet : public QWidget, public TKQChildContainer {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool TabVisible READ TabVisible WRITE SetTabVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
public:
    explicit TKQTabSheet(QWidget* parent = nullptr);
    QString Caption() const { return caption; }
    void SetCaption(const QString& text);
    bool TabVisible() const { return tabVisible; }
    void SetTabVisible(bool visible);
    bool Enabled() const { return OwnEnabled(this); }
    void SetEnabled(bool enabled) { SetOwnEnabled(enabled); }
    TKQPageControl* PageControl() const { return pageControl; }

    // The page control sets one bit of the parent state at a time.
    void SetParentBit(TStateFlags bit, bool on);
    // Visible as the active page of its page control.
    void SetActiveVisible(bool visible) { SetOwnVisible(visible); }

signals:
    void OnEnter(QObject* sender);
    void OnExit(QObject* sender);

private:
    friend class TKQPageControl;
    TKQPageControl* pageControl = nullptr;
    QString caption;
    bool tabVisible = true;
};

class TKQPageControl : public QTabWidget, public TKComponent {
    Q_OBJECT
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QString ActivePage READ ActivePageName WRITE SetActivePageName)
public:
    explicit TKQPageControl(QWidget* parent = nullptr);

    void AddPage(TKQTabSheet* page);
    int PageCount() const { return int(pages.size()); }
    TKQTabSheet* Page(int index) const { return pages[size_t(index)]; }
    TKQTabSheet* ActivePage() const { return active; }
    void SetActivePage(TKQTabSheet* page);
    QString ActivePageName() const;
    void SetActivePageName(const QString& name);
    void PageTabVisibilityChanged(TKQTabSheet* page);

    bool Visible() const { return ownVisible; }
    void SetVisible(bool visible);
    // False while a page switch is under way.
    bool Enabled() const { return OwnEnabled(this) && !holdingPages; }
    void SetEnabled(bool enabled);
    void ParentStateChanged(TStateFlags flags);
    void Loaded() override;

signals:
    // Before the active page changes to another one; OnChange follows.
    void OnChanging(QObject* sender);
    void OnChange(QObject* sender);

private:
    void SwitchTo(TKQTabSheet* page);
    void TabChanged(int index);
    // Sets or clears bit 1 of the pages' parent state from the page control's state.
    void PassEnabledBit();

    std::vector<TKQTabSheet*> pages;
    TKQTabSheet* active = nullptr;
    TStateFlags parentState = 0;
    bool ownVisible = true;
    bool switching = false;
    bool holdingPages = false; // a page switch is under way
};
