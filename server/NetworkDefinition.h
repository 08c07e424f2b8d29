// A network definition file: the controls of one network, each with its
// identifier, control database files, non-volatile store, starting
// configuration and SIO modules (format: docs/network-definition.md).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct TControlDefinition {
    QString id;
    QStringList databases; // absolute paths, in loading order
    QString store;         // absolute path; empty: the control has no store
    QString configuration; // absolute path of the starting values; may be empty
    bool sioA = true;      // SIO modules fitted
    bool sioB = true;
    int line = 0;          // where its section starts
};

class TNetworkDefinition {
public:
    // Where relative paths lead: databases and starting configurations are
    // looked for beside the network file, then in the server's own folder;
    // stores lie in the state folder.
    struct TFolders {
        QString serverFolder;
        QString stateFolder;
    };

    // Reads and checks the file. On a problem returns false with a message
    // "FILE:LINE: what is wrong" (or "FILE: what is wrong").
    bool Load(const QString& path, const TFolders& folders, QString* error);
    // The same for a text already read; path names the file in messages and
    // gives the folder for relative paths.
    bool Parse(const QString& text, const QString& path, const TFolders& folders, QString* error);

    const QString& Path() const { return m_path; }
    // The file name without its folder, as it begins each control topic.
    QString FileName() const;
    const QList<TControlDefinition>& Controls() const { return m_controls; }
    // The DDE topic of a control: "4812.net(Dflt Control ID)".
    QString Topic(const TControlDefinition& control) const;

private:
    QString m_path;
    QList<TControlDefinition> m_controls;
};
