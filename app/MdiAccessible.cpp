#include "app/MdiAccessible.h"

#include <QAccessibleWidget>
#include <QMdiSubWindow>
#include <QPointer>
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

// A button the frame's title bar draws; it has no widget of its own.
class TTitleButtonAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TTitleButtonAccessible(QMdiSubWindow* frame, int which) : frame(frame), which(which) {}

    bool isValid() const override { return frame; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return frame ? frame->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(frame); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PushButton; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return {};
        if (which == tbMaximize && frame && frame->isMaximized())
            return QStringLiteral("Restore");
        return QString::fromLatin1(TitleButtons[which].name);
    }

    QRect rect() const override
    {
        if (!frame)
            return {};
        QStyleOptionTitleBar option;
        option.initFrom(frame);
        option.rect = QRect(0, 0, frame->width(), frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, frame));
        option.titleBarFlags = frame->windowFlags();
        option.titleBarState = int(frame->windowState());
        option.subControls = QStyle::SC_All;
        const QRect local =
            frame->style()->subControlRect(QStyle::CC_TitleBar, &option, TitleButtons[which].control, frame);
        return QRect(frame->mapToGlobal(local.topLeft()), local.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !frame || !frame->isVisible();
        state.disabled = !frame || !frame->isEnabled();
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override
    {
        return which == tbClose ? QStringList{QStringLiteral("Ctrl+F4")} : QStringList();
    }
    // As a click on the title bar's button: closing asks the window first.
    void doAction(const QString& action) override
    {
        if (action != pressAction() || !frame || !frame->isVisible() || !frame->isEnabled())
            return;
        switch (which) {
        case tbMinimize: frame->showMinimized(); break;
        case tbMaximize: frame->isMaximized() ? frame->showNormal() : frame->showMaximized(); break;
        default: frame->close(); break;
        }
    }

private:
    QPointer<QMdiSubWindow> frame;
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
    static const bool installed = [] {
        QAccessible::installFactory(MdiAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
