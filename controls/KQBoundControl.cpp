#include "controls/KQBoundControl.h"

#include <QWidget>

void UpdateChildrensMonStatus(QWidget* parent, bool monitorOnly)
{
    for (QObject* object : parent->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child)
            continue;
        if (!monitorOnly && (child->property("Tag").toInt() & ConfigurationLock) == ConfigurationLock)
            continue;
        if (auto* control = dynamic_cast<TKQBoundControl*>(child))
            control->SwitchViewOnly(monitorOnly);
        else if (!child->children().isEmpty())
            UpdateChildrensMonStatus(child, monitorOnly);
    }
}
