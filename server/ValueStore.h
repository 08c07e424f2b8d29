// The control's non-volatile memory: the saved values of its tunable and
// configure items and the name of its configuration, kept in one file that is
// only ever replaced whole (format: docs/server.md).
#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

struct TStoreContents {
    QList<QPair<QString, QString>> values; // item name, value, in saving order
    QString configurationId;
};

class TValueStore {
public:
    enum class TLoadResult { Loaded, Missing, Damaged };

    explicit TValueStore(const QString& path);

    const QString& Path() const { return m_path; }

    // Reads the file. Damaged: unreadable, of another format or cut short
    // (error says why); contents are then empty.
    TLoadResult Load(TStoreContents* contents, QString* error) const;

    // Replaces the file: writes a new file beside it, flushes it to the disk and
    // renames it over the old one, so that a crash leaves the old or the new
    // contents, never a mix.
    bool Save(const TStoreContents& contents, QString* error) const;

    // Called once halfway through writing the new file (a test fault dies here).
    std::function<void()> midWriteHook;

private:
    QString m_path;
};
