// The items a simulated control knows, read from one or more database files
// (format: docs/control-database.md).
#pragma once

#include "server/ItemDefinition.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class TControlDatabase {
public:
    // Adds the items of the files, in order. On the first problem returns false
    // with a message "FILE:LINE: what is wrong"; the database is then left empty.
    bool Load(const QStringList& files, QString* error);
    // Adds the items of one file's text; fileName is used in messages.
    bool LoadText(const QString& text, const QString& fileName, QString* error);

    // The item of that name in any case, or nullptr.
    const TItemDefinition* Find(const QString& name) const;
    // All items in the order of their files and lines.
    const QList<TItemDefinition>& Items() const { return m_items; }

    // Names the server answers itself; no database may define them.
    static bool IsServerWord(const QString& name);

private:
    bool ParseLine(const QString& line, const QString& fileName, int lineNumber, QString* error);

    QList<TItemDefinition> m_items;
    QHash<QString, qsizetype> m_index; // upper-case name -> position in m_items
};
