#include "server/NetworkDefinition.h"

#include "platform/files/RegularFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString ExpandHome(const QString& path)
{
    if (path == QLatin1String("~"))
        return QDir::homePath();
    if (path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

// Looks for an input file in the given folders, in order.
QString FindInput(const QString& value, const QStringList& folders)
{
    const QString path = ExpandHome(value);
    if (QFileInfo(path).isAbsolute())
        return QFileInfo::exists(path) ? QDir::cleanPath(path) : QString();
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        const QString candidate = QDir(folder).absoluteFilePath(path);
        if (QFileInfo::exists(candidate))
            return QDir::cleanPath(candidate);
    }
    return {};
}

} // namespace

bool TNetworkDefinition::Load(const QString& path, const TFolders& folders, QString* error)
{
    QString why;
    const std::optional<QByteArray> bytes = RegularFile::Read(path, RegularFile::MaxDefinitionBytes, &why);
    if (!bytes) {
        *error = path + QStringLiteral(": cannot read the network definition: ") + why;
        return false;
    }
    return Parse(QString::fromUtf8(*bytes), path, folders, error);
}

bool TNetworkDefinition::Parse(const QString& text, const QString& path, const TFolders& folders, QString* error)
{
    m_path = QFileInfo(path).absoluteFilePath();
    m_controls.clear();
    const QStringList inputFolders{QFileInfo(m_path).absolutePath(), folders.serverFolder};

    QList<TControlDefinition> controls;
    auto fail = [&](int line, const QString& why) {
        *error = path + u':' + QString::number(line) + QStringLiteral(": ") + why;
        return false;
    };
    // Every control must be complete before the next one begins.
    auto finish = [&]() -> QString {
        if (controls.isEmpty())
            return {};
        const TControlDefinition& control = controls.last();
        if (control.databases.isEmpty())
            return QStringLiteral("control \"%1\" names no database").arg(control.id);
        return {};
    };
    QList<bool> storeGiven;
    QList<bool> configurationGiven;
    QList<bool> sioGiven;

    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int number = i + 1;
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;

        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                return fail(number, QStringLiteral("a section header ends with ]"));
            const QString inner = line.mid(1, line.size() - 2).trimmed();
            const QString keyword = inner.section(u' ', 0, 0);
            if (keyword.compare(QLatin1String("control"), Qt::CaseInsensitive) != 0)
                return fail(number, QStringLiteral("unknown section \"%1\"; sections are [control ID]").arg(inner));
            const QString id = inner.mid(keyword.size()).trimmed();
            if (id.isEmpty())
                return fail(number, QStringLiteral("the control has no identifier"));
            if (id.contains(u'(') || id.contains(u')'))
                return fail(number, QStringLiteral("a control identifier holds no parentheses"));
            if (const QString problem = finish(); !problem.isEmpty())
                return fail(controls.last().line, problem);
            if (!storeGiven.isEmpty() && !storeGiven.last())
                return fail(controls.last().line,
                            QStringLiteral("control \"%1\" names no store (use store = none for none)")
                                .arg(controls.last().id));
            for (const TControlDefinition& other : controls)
                if (other.id.compare(id, Qt::CaseInsensitive) == 0)
                    return fail(number, QStringLiteral("control \"%1\" is already defined on line %2")
                                            .arg(id, QString::number(other.line)));
            TControlDefinition control;
            control.id = id;
            control.line = number;
            controls.append(control);
            storeGiven.append(false);
            configurationGiven.append(false);
            sioGiven.append(false);
            continue;
        }

        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            return fail(number, QStringLiteral("expected [control ID] or NAME = VALUE"));
        const QString key = line.left(equals).trimmed().toLower();
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        if (controls.isEmpty())
            return fail(number, QStringLiteral("\"%1\" stands before the first [control ID]").arg(key));
        if (value.isEmpty())
            return fail(number, QStringLiteral("\"%1\" has no value").arg(key));
        TControlDefinition& control = controls.last();

        if (key == QLatin1String("database")) {
            const QString found = FindInput(value, inputFolders);
            if (found.isEmpty())
                return fail(number, QStringLiteral("database \"%1\" not found").arg(value));
            control.databases.append(found);
        } else if (key == QLatin1String("store")) {
            if (storeGiven.last())
                return fail(number, QStringLiteral("the control already has a store"));
            storeGiven.last() = true;
            if (value.compare(QLatin1String("none"), Qt::CaseInsensitive) != 0) {
                const QString expanded = ExpandHome(value);
                control.store = QDir::cleanPath(QFileInfo(expanded).isAbsolute()
                                                    ? expanded
                                                    : QDir(folders.stateFolder).absoluteFilePath(expanded));
                for (qsizetype other = 0; other + 1 < controls.size(); ++other)
                    if (controls[other].store == control.store)
                        return fail(number, QStringLiteral("control \"%1\" already uses this store")
                                                .arg(controls[other].id));
            }
        } else if (key == QLatin1String("configuration")) {
            if (configurationGiven.last())
                return fail(number, QStringLiteral("the control already has a starting configuration"));
            configurationGiven.last() = true;
            const QString found = FindInput(value, inputFolders);
            if (found.isEmpty())
                return fail(number, QStringLiteral("starting configuration \"%1\" not found").arg(value));
            control.configuration = found;
        } else if (key == QLatin1String("sio")) {
            if (sioGiven.last())
                return fail(number, QStringLiteral("the control's SIO modules are already given"));
            sioGiven.last() = true;
            control.sioA = control.sioB = false;
            if (value.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
                continue;
            for (const QString& module : value.split(u',')) {
                const QString letter = module.trimmed().toUpper();
                bool* fitted = letter == QLatin1String("A") ? &control.sioA
                    : letter == QLatin1String("B")          ? &control.sioB
                                                            : nullptr;
                if (!fitted || *fitted)
                    return fail(number, QStringLiteral("SIO modules are A, B, A,B or none, not \"%1\"").arg(value));
                *fitted = true;
            }
        } else {
            return fail(number,
                        QStringLiteral("unknown setting \"%1\" (database, store, configuration or sio)").arg(key));
        }
    }

    if (controls.isEmpty()) {
        *error = path + QStringLiteral(": defines no control");
        return false;
    }
    if (const QString problem = finish(); !problem.isEmpty())
        return fail(controls.last().line, problem);
    if (!storeGiven.last())
        return fail(controls.last().line,
                    QStringLiteral("control \"%1\" names no store (use store = none for none)")
                        .arg(controls.last().id));
    m_controls = controls;
    return true;
}

QString TNetworkDefinition::FileName() const
{
    return QFileInfo(m_path).fileName();
}

QString TNetworkDefinition::Topic(const TControlDefinition& control) const
{
    return FileName() + u'(' + control.id + u')';
}
