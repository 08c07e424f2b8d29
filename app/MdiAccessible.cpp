#include "app/MdiAccessible.h"

#include "controls/KAccessible.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QStyleOptionTitleBar>

#include <array>

namespace {

struct TTitleButton {
    const char* name;
    QStyle::SubControl control;
};
enum { tbMinimize, tbMaximize, tbClose, tbCount };
constexpr std::array<TTitleButton, tbCount> TitleButtons{{
    {"Minimize", QStyle::SC_TitleBarMinButton},
    {"Maximize", QStyle::SC_TitleBarMaxButton},
    {"Close", QStyle::SC_TitleBarCloseButton},
}};

// A button the frame's title bar draws.
class TTitleButtonAccessible : public TKAccessiblePart {
public:
    TTitleButtonAccessible(QMdiSubWindow* frame, int which) : TKAccessiblePart(frame), which(which) {}

    QAccessible::Role role() const override { return QAccessible::PushButton; }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return {};
        if (which == tbMaximize && owner && Frame()->isMaximized())
            return QStringLiteral("Restore");
        return QString::fromLatin1(TitleButtons[which].name);
    }

    QRect rect() const override
    {
        if (!owner)
            return {};
        QStyleOptionTitleBar option;
        option.initFrom(Frame());
        const int height = owner->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, owner);
        option.rect = QRect(0, 0, owner->width(), height);
        option.titleBarFlags = owner->windowFlags();
        option.titleBarState = int(owner->windowState());
        option.subControls = QStyle::SC_All;
        const QStyle::SubControl button = TitleButtons[which].control;
        return OnScreen(owner->style()->subControlRect(QStyle::CC_TitleBar, &option, button, owner));
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !owner || !owner->isVisible();
        state.disabled = !owner || !owner->isEnabled();
        return state;
    }

    QStringList keyBindingsForAction(const QString&) const override
    {
        return which == tbClose ? QStringList{QStringLiteral("Ctrl+F4")} : QStringList();
    }
    // As a click on the title bar's button: closing asks the window first.
    void doAction(const QString& action) override
    {
        if (action != pressAction() || !owner)
            return;
        DoAccessibleActionLater(Frame(), [frame = Frame(), which = which] {
            switch (which) {
            case tbMinimize: frame->showMinimized(); break;
            case tbMaximize: frame->isMaximized() ? frame->showNormal() : frame->showMaximized(); break;
            default: frame->close(); break;
            }
        });
    }

private:
    QMdiSubWindow* Frame() const { return static_cast<QMdiSubWindow*>(owner.data()); }

    int which;
};

// The frame: its caption, its title bar's buttons, then its window.
class TModeFrameAccessible : public QAccessibleWidget {
public:
    explicit TModeFrameAccessible(QMdiSubWindow* frame) : QAccessibleWidget(frame, QAccessible::Window)
    {
        for (int which = 0; which < tbCount; ++which)
            buttons[which] = QAccessible::registerAccessibleInterface(new TTitleButtonAccessible(frame, which));
    }
    ~TModeFrameAccessible() override
    {
        for (QAccessible::Id id : buttons)
            QAccessible::deleteAccessibleInterface(id);
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? widget()->windowTitle() : QAccessibleWidget::text(t);
    }
    int childCount() const override { return tbCount + QAccessibleWidget::childCount(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < tbCount)
            return QAccessible::accessibleInterface(buttons[index]);
        return QAccessibleWidget::child(index - tbCount);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int which = 0; which < tbCount; ++which)
            if (QAccessible::accessibleInterface(buttons[which]) == child)
                return which;
        const int index = QAccessibleWidget::indexOfChild(child);
        return index < 0 ? -1 : index + tbCount;
    }

private:
    std::array<QAccessible::Id, tbCount> buttons{};
};

QAccessibleInterface* MdiAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QMdiSubWindow") && object && object->isWidgetType())
        return new TModeFrameAccessible(static_cast<QMdiSubWindow*>(object));
    return nullptr;
}

} // namespace

void InstallMdiAccessibility()
{
    InstallAccessibleFactory(MdiAccessibleFactory);
}

namespace {

// Ctrl+F4 is taken on its way up to the main window, before the shortcuts: each
// frame's menu has one of its own, which makes the key ambiguous (and useless)
// once two windows are open.
class TCloseKey : public QObject {
public:
    TCloseKey(QObject* parent, QMdiArea* area) : QObject(parent), area(area) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* press = static_cast<QKeyEvent*>(event);
        if (press->key() != Qt::Key_F4 || press->modifiers() != Qt::ControlModifier)
            return QObject::eventFilter(watched, event);
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            if (QMdiSubWindow* frame = area->activeSubWindow())
                frame->close();
        }
        return true;
    }

private:
    QMdiArea* area;
};

} // namespace

void InstallMdiKeys(QMainWindow* window, QMdiArea* area)
{
    const auto key = [window](QKeyCombination keys, const auto& handler) {
        auto* action = new QAction(window);
        action->setShortcut(keys);
        QObject::connect(action, &QAction::triggered, window, handler);
        window->addAction(action);
    };
    key(Qt::CTRL | Qt::Key_F6, [area] { area->activateNextSubWindow(); });
    key(Qt::CTRL | Qt::SHIFT | Qt::Key_F6, [area] { area->activatePreviousSubWindow(); });
    window->installEventFilter(new TCloseKey(window, area));
}
