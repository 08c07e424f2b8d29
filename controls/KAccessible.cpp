#include "controls/KAccessible.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace {

class TKIndicatorAccessible : public QAccessibleWidget {
public:
    TKIndicatorAccessible(QWidget* widget, const TKAccessibleIndicator* indicator)
        : QAccessibleWidget(widget, indicator->AccessibleRole()), indicator(indicator)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return indicator->AccessibleValue();
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty())
            text = indicator->AccessibleFallbackName();
        return text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        return state;
    }

private:
    const TKAccessibleIndicator* indicator;
};

QAccessibleInterface* IndicatorAccessibleFactory(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    const auto* indicator = dynamic_cast<const TKAccessibleIndicator*>(object);
    return widget && indicator ? new TKIndicatorAccessible(widget, indicator) : nullptr;
}

} // namespace

void TKAccessibleIndicator::InstallAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(IndicatorAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void TKAccessibleIndicator::ValueChanged(QWidget* widget)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(widget, QVariant());
    QAccessible::updateAccessibility(&event);
}

void NameAfterItem(QWidget* widget, const QString& previousItem, const QString& item)
{
    const QString name = widget->accessibleName();
    if (name.isEmpty() || (!previousItem.isEmpty() && name == previousItem))
        widget->setAccessibleName(item);
}
