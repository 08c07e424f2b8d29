// formshot: builds a form offscreen and writes a picture of it, or lists what it binds.
//
//   formshot FORM OUT.png [--online NETFILE] [--scale N] [--with NAME=VALUE ...]
//   formshot --items FORM [--with NAME=VALUE ...]
//
// FORM is a form description file, or the name of a form stored in the program
// ("Gallery"). --with gives a value to a parameter of the form. Bound controls
// name the control device "KQDatorelControl1". Off line they show what the form
// gives them; with --online the server is started with NETFILE (found through the
// registry, as the program does) and the picture is taken once the controls have
// had time to show the control's values. --scale N renders at N times the normal
// size (2 for 200 %). The window's event handlers are not there: events stay
// unconnected.
//
// --items prints one line per bound control (a component with an item name), in
// the order of the form with its templates expanded, its fields separated by tabs:
// page caption, captions of the enclosing group boxes joined by "/", class, item
// name, component name, and the name of the value list the form gave it.
#include "controls/FormClasses.h"
#include "controls/FormLoader.h"
#include "controls/KQForms.h"
#include "datalink/KQDatorelControl.h"
#include "datalink/KQServer.h"
#include "platform/Assert.h"
#include "platform/dialogs/Dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitNoServer = 3;

// How long the control device may take to answer after the server is started.
constexpr int OnlineTimeout = 60000;
// Time for the first values to arrive and be shown before the picture is taken.
constexpr int OnlineSettleTime = 2000;
// Time for layouts and deferred paints when off line.
constexpr int OfflineSettleTime = 100;

const QString DeviceName = QStringLiteral("KQDatorelControl1");
const QString ServerName = QStringLiteral("URQVDatorel");

void Print(const QString& text)
{
    std::fprintf(stderr, "formshot: %s\n", qPrintable(text));
}

int Usage()
{
    std::fprintf(stderr, "usage: formshot FORM OUT.png [--online NETFILE] [--scale N] [--with NAME=VALUE ...]\n"
                         "       formshot --items FORM [--with NAME=VALUE ...]\n");
    return ExitUsage;
}

// Nobody is there to answer: every message is printed and answered with the
// non-committal choice.
class TPrintedDialogs final : public TDialogService {
public:
    int MessageDlg(const QString& text, TMsgDlgType, TMsgDlgButtons buttons) override
    {
        Print(QStringLiteral("message: ") + text);
        if (buttons & mbOK)
            return mrOk;
        if (buttons & mbCancel)
            return mrCancel;
        return (buttons & mbNo) ? mrNo : mrNone;
    }
    bool OpenFile(TFileDialogRequest&) override { return false; }
    bool SaveFile(TFileDialogRequest&) override { return false; }
    bool Password(const QString&, const QString&, QString&) override { return false; }
    bool PrintSetup(QPrinter&) override { return false; }
    bool Choose(TChoiceRequest&) override { return false; }
};

void Settle(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, int(milliseconds - clock.elapsed()));
}

struct TArguments {
    bool items = false;
    QString form;
    QString out;
    QString netFile;
    QString scale;
    QHash<QString, QString> parameters;
};

bool Parse(int argc, char** argv, TArguments& arguments)
{
    QStringList plain;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        const bool valued = argument == QLatin1String("--online") || argument == QLatin1String("--scale")
                         || argument == QLatin1String("--with");
        if (valued && i + 1 < argc) {
            const QString value = QString::fromLocal8Bit(argv[++i]);
            if (argument == QLatin1String("--online")) {
                arguments.netFile = value;
            } else if (argument == QLatin1String("--scale")) {
                arguments.scale = value;
            } else {
                const qsizetype equals = value.indexOf(QLatin1Char('='));
                if (equals <= 0)
                    return false;
                arguments.parameters.insert(value.left(equals), value.mid(equals + 1));
            }
        } else if (argument == QLatin1String("--items")) {
            arguments.items = true;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return false;
        } else {
            plain << argument;
        }
    }
    if (arguments.items)
        return plain.size() == 1 && arguments.netFile.isEmpty() && arguments.scale.isEmpty()
            && (arguments.form = plain[0], true);
    if (plain.size() != 2)
        return false;
    arguments.form = plain[0];
    arguments.out = plain[1];
    bool ok = true;
    return arguments.scale.isEmpty() || (arguments.scale.toDouble(&ok) > 0 && ok);
}

// Where a bound control sits: its page's caption and its group boxes' captions, outermost first.
QString Placement(const QObject* control)
{
    QString page;
    QStringList groups;
    for (const QObject* container = control->parent(); container; container = container->parent()) {
        if (page.isEmpty() && qobject_cast<const TKQTabSheet*>(container))
            page = container->property("Caption").toString();
        if (qobject_cast<const TKQGroupBox*>(container))
            groups.prepend(container->property("Caption").toString());
    }
    return page + QLatin1Char('\t') + groups.join(QLatin1Char('/'));
}

void PrintItems(const QList<QObject*>& components, const QHash<const QObject*, QString>& listNames)
{
    for (const QObject* component : components) {
        const QString itemName = component->property("ItemName").toString();
        if (itemName.isEmpty())
            continue;
        const QStringList fields = {Placement(component), QString::fromLatin1(component->metaObject()->className()),
                                    itemName, component->objectName(), listNames.value(component)};
        std::printf("%s\n", qPrintable(fields.join(QLatin1Char('\t'))));
    }
}

QString FormPath(const QString& form)
{
    if (QFileInfo::exists(form))
        return form;
    const QString stored = TFormLoader::ResourcePath(QFileInfo(form).completeBaseName());
    return QFileInfo::exists(stored) ? stored : QString();
}

// Starts the server with the network definition file and waits until the
// control device hands its conversation to the items.
bool GoOnline(TKQServer& server, TKQDatorelControl& device, const QString& netFile)
{
    bool communicating = false;
    device.SetOnCommunicating([&communicating](TObject*) { communicating = true; });
    server.SetServerName(ServerName);
    server.NetworkDefFiles() = QStringList{QFileInfo(netFile).absoluteFilePath()};
    device.SetIdentifier(QFileInfo(netFile).fileName() + QStringLiteral("(Dflt Control ID)"));
    QElapsedTimer clock;
    clock.start();
    while (!communicating && clock.elapsed() < OnlineTimeout)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    return communicating;
}

int Picture(QWidget& window, const QStringList& missingHandlers, const TArguments& arguments)
{
    for (const QString& handler : missingHandlers)
        Print(QStringLiteral("not connected (the window's handler): ") + handler);
    if (!window.testAttribute(Qt::WA_Resized))
        window.resize(window.sizeHint());
    window.show();
    Settle(arguments.netFile.isEmpty() ? OfflineSettleTime : OnlineSettleTime);
    // A picture for review shows no text cursor or focus frame.
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    Settle(OfflineSettleTime);
    const QPixmap picture = window.grab();
    if (picture.save(arguments.out, "PNG"))
        return ExitOk;
    Print(QStringLiteral("cannot write ") + arguments.out);
    return ExitFailed;
}

} // namespace

int main(int argc, char** argv)
{
    TArguments arguments;
    if (!Parse(argc, argv, arguments))
        return Usage();
    if (!arguments.scale.isEmpty())
        qputenv("QT_SCALE_FACTOR", arguments.scale.toLatin1());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication application(argc, argv);
    TPrintedDialogs dialogs;
    Dialogs::Install(&dialogs);
    RegisterAllFormClasses();

    const QString path = FormPath(arguments.form);
    if (path.isEmpty()) {
        Print(QStringLiteral("no form %1, stored forms: %2").arg(arguments.form, TFormLoader::StoredForms().join(QStringLiteral(", "))));
        return ExitFailed;
    }

    int result = ExitOk;
    {
        TKQServer server;
        server.SetRunMode(TKRunMode::Hidden);
        server.Loaded();
        TKQDatorelControl device;
        device.setObjectName(DeviceName);
        device.Loaded();
        if (!arguments.netFile.isEmpty()) {
            device.SetServer(&server);
            if (!GoOnline(server, device, arguments.netFile)) {
                Print(QStringLiteral("the control did not answer through ") + arguments.netFile);
                Dialogs::Install(nullptr);
                return ExitNoServer;
            }
        }

        auto window = std::make_unique<TKQForm>();
        QStringList missingHandlers;
        QHash<const QObject*, QString> listNames;
        TFormLoadOptions options;
        options.anyRootClass = true;
        options.missingHandlers = &missingHandlers;
        options.listNames = &listNames;
        options.parameters = arguments.parameters;
        try {
            const QList<QObject*> components = TFormLoader::Load(path, window.get(), {{DeviceName, &device}}, options);
            if (arguments.items)
                PrintItems(components, listNames);
            else
                result = Picture(*window, missingHandlers, arguments);
        } catch (const EAssertionFailed& error) {
            Print(error.Message());
            result = ExitFailed;
        } catch (const std::exception& error) {
            Print(QString::fromUtf8(error.what()));
            result = ExitFailed;
        }
        // Items go back to the device before the device and the server go.
        window.reset();
    }
    Dialogs::Install(nullptr);
    return result;
}
