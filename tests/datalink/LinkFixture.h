// What the item, device and control tests share: a DDE server in the same
// process with one open client conversation to it, scripted dialogs, recorded
// pauses and a logging subscriber.
#pragma once

#include "datalink/KQItem.h"
#include "tests/support/RaisedText.h"
#include "tests/support/TestLink.h"
#include "tests/support/TestRunner.h"

#include <QTest>

#include <functional>

namespace fixture {

inline const QString Topic = QStringLiteral("4812.net(Dflt Control ID)");

inline QList<int> pauses;
inline void RecordPause(int milliseconds)
{
    pauses << milliseconds;
}

struct Link : TestLink {
    Link() : TestLink(Topic, RecordPause) { pauses.clear(); }
};

// A subscriber that logs the value it is notified of, and may act on it.
class Client {
public:
    explicit Client(QStringList& log, const QString& name = QString()) : log(log), name(name) { }
    TNotifyEvent Event() { return TNotifyEvent(this, &Client::Changed); }
    std::function<void(TKQItem*)> action;

private:
    void Changed(TObject* sender)
    {
        auto* item = dynamic_cast<TKQItem*>(sender);
        const QString value = item ? item->Value().toString() : QStringLiteral("<not an item>");
        log << (name.isEmpty() ? value : name + "=" + value);
        if (action && item)
            action(item);
    }
    QStringList& log;
    QString name;
};

} // namespace fixture
