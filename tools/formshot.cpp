// formshot: builds a form offscreen and writes a picture of it.
//
//   formshot FORM OUT.png [--online NETFILE] [--scale N]
//
// FORM is a form description file, or the name of a form stored in the program
// ("Gallery"). Bound controls name the control device "KQDatorelControl1". Off
// line they show what the form gives them; with --online the server is started
// with NETFILE (found through the registry, as the program does) and the picture
// is taken once the controls have had time to show the control's values.
// --scale N renders at N times the normal size (2 for 200 %).
// The window's event handlers are not there: events stay unconnected.
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
    std::fprintf(stderr, "usage: formshot FORM OUT.png [--online NETFILE] [--scale N]\n");
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
};

void Settle(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, int(milliseconds - clock.elapsed()));
}

struct TArguments {
    QString form;
    QString out;
    QString netFile;
    QString scale;
};

bool Parse(int argc, char** argv, TArguments& arguments)
{
    QStringList plain;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if ((argument == QLatin1String("--online") || argument == QLatin1String("--scale")) && i + 1 < argc) {
            (argument == QLatin1String("--online") ? arguments.netFile : arguments.scale) = QString::fromLocal8Bit(argv[++i]);
        } else if (argument.startsWith(QLatin1String("--"))) {
            return false;
        } else {
            plain << argument;
        }
    }
    if (plain.size() != 2)
        return false;
    arguments.form = plain[0];
    arguments.out = plain[1];
    bool ok = true;
    return arguments.scale.isEmpty() || (arguments.scale.toDouble(&ok) > 0 && ok);
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
        TFormLoadOptions options;
        options.anyRootClass = true;
        options.missingHandlers = &missingHandlers;
        try {
            TFormLoader::Load(path, window.get(), {{DeviceName, &device}}, options);
            for (const QString& handler : missingHandlers)
                Print(QStringLiteral("not connected (the window's handler): ") + handler);
            if (!window->testAttribute(Qt::WA_Resized))
                window->resize(window->sizeHint());
            window->show();
            Settle(arguments.netFile.isEmpty() ? OfflineSettleTime : OnlineSettleTime);
            // A picture for review shows no text cursor or focus frame.
            if (QWidget* focused = QApplication::focusWidget())
                focused->clearFocus();
            Settle(OfflineSettleTime);
            const QPixmap picture = window->grab();
            if (!picture.save(arguments.out, "PNG")) {
                Print(QStringLiteral("cannot write ") + arguments.out);
                result = ExitFailed;
            }
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
