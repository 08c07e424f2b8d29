// Faults that tests switch on to see how clients cope with a misbehaving
// server (docs/server.md). A rule names an item or command of the control
// topics, or * for all of them:
//   slow=MS           every reply on the control topics waits MS milliseconds
//   slow=MS:ITEM      replies about ITEM wait MS milliseconds
//   silent=ITEM       transactions about ITEM are never answered
//   refuse=ITEM       transactions about ITEM fail
//   die=ITEM          the server dies when a transaction about ITEM arrives
//   die-in-store      the server dies halfway through writing a store
// Rules are separated by ';'. Names are compared without regard to case.
#pragma once

#include <QList>
#include <QString>

class TFaults {
public:
    enum class TKind { Slow, Silent, Refuse, Die, DieInStore };

    // Replaces all rules; on a malformed text keeps the old ones and returns false.
    bool Set(const QString& text, QString* error);
    const QString& Text() const { return m_text; }

    // Milliseconds to wait before answering about the item (0: none).
    int DelayFor(const QString& item) const;
    bool IsSilent(const QString& item) const { return Matches(TKind::Silent, item); }
    bool IsRefused(const QString& item) const { return Matches(TKind::Refuse, item); }
    bool DiesOn(const QString& item) const { return Matches(TKind::Die, item); }
    bool DiesInStore() const;

private:
    struct TRule {
        TKind kind;
        QString item; // upper case; "*" for all
        int delayMs = 0;
    };
    bool Matches(TKind kind, const QString& item) const;

    QList<TRule> m_rules;
    QString m_text;
};
