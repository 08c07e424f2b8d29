// Opening the Service and Program mode windows for change against the real
// urqvdatorel at its normal tick, with the program's clocks in real time: from
// the menu command until every bound control shown on the first page holds a
// value, and the switch to the biggest page likewise, each beside plain
// synchronous requests of the same items in the same run; then the resident
// memory on line without a mode window and with every mode window open.
#include "app/Rqv_program.h"
#include "app/Rqv_service.h"
#include "bench/Measure.h"
#include "datalink/KQDevice.h"
#include "tests/app/AppFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiSubWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Rounds = 5;
constexpr int Patience = 20000; // longest wait for a window or its values, ms
constexpr int Quiet = 300;      // a page's values count once they have stayed complete this long, ms
constexpr double OpenTarget = 500, SwitchTarget = 250, MemoryTarget = 150;
const QString BiggestPage = QStringLiteral("KPSpeedControl");

TAppFixture* app = nullptr;

double Milliseconds(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }
double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Pumps the event loop, without sleeping while events arrive, until done() holds.
bool Wait(const std::function<bool()>& done, int limit = Patience)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limit)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// Every bound control shown on the window's active page holds a value; items
// gets the distinct item names of those controls.
bool ValuesShown(QWidget* window, QStringList& items)
{
    items.clear();
    auto* pages = window ? window->findChild<TKQPageControl*>(QStringLiteral("PageControl1")) : nullptr;
    if (!pages || !pages->ActivePage() || !window->isVisible())
        return false;
    bool all = true;
    for (QWidget* control : pages->ActivePage()->findChildren<QWidget*>()) {
        const QString name = control->property("ItemName").toString();
        auto* device = qobject_cast<TKQDevice*>(control->property("Device").value<QObject*>());
        if (name.isEmpty() || !device || !control->isVisible())
            continue;
        if (!items.contains(name, Qt::CaseInsensitive))
            items << name;
        if (device->RefCount(name) == 0 || !TKQHeldItem(device, name)->HasValue())
            all = false;
    }
    return all && !items.isEmpty();
}

struct TTimes {
    std::vector<double> shown{}, values{}, plain{};
    qsizetype items = 0;
};

using TWindow = TModeWindow* (*)();
TModeWindow* Run() { return FMain->FRunMode; }
TModeWindow* Service() { return FMain->FServiceMode; }
TModeWindow* Program() { return FMain->FProgramMode; }

struct TEditor {
    const char* name;
    TWindow window;
    void (TFMain::*command)();
    const char* password;
    TTimes open{}, change{};
};

// Waits until the page's values have stayed complete for Quiet ms (rules show
// more controls as the values they follow arrive), then asks for the same items
// one after another as another client of the server. Records, counted from
// timer, when the page was first seen shown and when its values last became complete.
bool Record(TWindow window, const QElapsedTimer& timer, TTimes& times)
{
    QStringList items;
    double shown = -1, complete = -1;
    QElapsedTimer quiet;
    const bool held = Wait([&] {
        if (shown < 0 && window() && window()->isVisible())
            shown = Milliseconds(timer);
        if (!ValuesShown(window(), items)) {
            complete = -1;
        } else if (complete < 0) {
            complete = Milliseconds(timer);
            quiet.start();
        }
        return complete >= 0 && quiet.elapsed() >= Quiet;
    });
    if (!held)
        return false;
    QElapsedTimer plain;
    plain.start();
    for (const QString& item : items)
        if (!app->control->RequestText(item))
            return false;
    times.plain.push_back(Milliseconds(plain));
    times.shown.push_back(shown);
    times.values.push_back(complete);
    times.items = items.size();
    return true;
}

// Closes a mode window through the main window and waits until the main window is usable again.
bool Close(TWindow window)
{
    window()->SubWindow()->close();
    return Wait([&] { return !window() && TAppFixture::Settled(); });
}

// Opens the editor for change, switches to its biggest page and closes it
// through the main window, Rounds times; answers what went wrong.
QString Measure(TEditor& editor)
{
    app->dialogs.clear();
    for (int round = 0; round < Rounds; ++round) {
        app->dialogs.addPassword(QString::fromLatin1(editor.password));
        QElapsedTimer timer;
        timer.start();
        (FMain->*editor.command)();
        if (!Record(editor.window, timer, editor.open))
            return QStringLiteral("%1 mode did not open with its values").arg(editor.name);
        timer.restart();
        OpenPage(editor.window(), BiggestPage);
        if (!Record(editor.window, timer, editor.change))
            return QStringLiteral("%1 mode's %2 page did not show its values").arg(editor.name, BiggestPage);
        if (qobject_cast<TFProgramMode*>(editor.window()))
            app->dialogs.addAnswer(mrNo); // no reset: the control stays in configure mode
        if (!Close(editor.window))
            return QStringLiteral("%1 mode did not close").arg(editor.name);
    }
    QStringList texts = app->dialogs.texts();
    texts.removeAll(QStringLiteral("Reset control before exiting program mode?"));
    return texts.isEmpty() ? QString() : QStringLiteral("dialogs: ") + texts.join(QStringLiteral(" | "));
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }
void Report(const TEditor& editor, const char* what, const TTimes& times, double target)
{
    const double median = Median(times.values);
    std::printf("  %s mode %s to values shown: %.0f ms (target %.0f ms: %s; first %.0f ms), page shown at %.0f ms\n",
                editor.name, what, median, target, Verdict(median < target), times.values.front(), Median(times.shown));
    std::printf("    plain requests of its %lld items: %.1f ms; ratio %.1f\n", static_cast<long long>(times.items),
                Median(times.plain), median / Median(times.plain));
}

int Fail(const QString& why)
{
    std::fprintf(stderr, "bench_editors: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ServerProcess::Options normalTick;
    normalTick.tickMs = 100;
    TAppFixture fixture(normalTick);
    app = &fixture;
    Timing::SetScale(1); // the program's own clocks, as an operator meets them
    // On line without a mode window: the Service password prompt is cancelled.
    fixture.dialogs.addPasswordCancel();
    if (!fixture.Start() || !fixture.GoOnLineWith(&TFMain::ServiceEditClick) || !Wait(TAppFixture::Settled))
        return Fail(QStringLiteral("not on line: ") + fixture.server.Output());
    Wait([] { return false; }, 1000); // what going on line set off has arrived
    const double onLine = ResidentMegabytes();

    // The trip reset: the control runs, and Program mode opens for viewing only.
    if (!fixture.control->Poke(QStringLiteral("X_RESET.RQV.IN_1"), QStringLiteral("1"))
        || !fixture.control->Poke(QStringLiteral("X_RESET.RQV.IN_1"), QStringLiteral("0"))
        || !fixture.WaitForValue(QStringLiteral("X_TRIPS.NOT_SD.NOT"), QStringLiteral("1")))
        return Fail(QStringLiteral("the trip was not reset"));
    TEditor service{"Service", Service, &TFMain::ServiceEditClick, "4309"};
    if (const QString why = Measure(service); !why.isEmpty())
        return Fail(why);

    fixture.dialogs.addPassword(QStringLiteral("4309"));
    QStringList items;
    FMain->Run1Click();
    Wait([] { return Run() && TAppFixture::Settled(); });
    FMain->ServiceEditClick();
    Wait([] { return Service() && TAppFixture::Settled(); });
    FMain->ProgramViewOnlyClick();
    if (!Wait([&] { return Run() && ValuesShown(Service(), items) && ValuesShown(Program(), items); }))
        return Fail(QStringLiteral("the mode windows did not open together: ") + fixture.dialogs.texts().join(" | "));
    const double allOpen = ResidentMegabytes();
    if (!Close(Program) || !Close(Service) || !Close(Run))
        return Fail(QStringLiteral("a mode window did not close"));

    // Program mode for change needs the turbine shut down.
    if (!fixture.server.Simulate(QStringLiteral("trip Bench"))
        || !fixture.WaitForValue(QStringLiteral("Z_CPU_COM.EN_CONFIG.OR"), QStringLiteral("1")))
        return Fail(QStringLiteral("the turbine did not shut down"));
    TEditor program{"Program", Program, &TFMain::ProgramEditClick, "4177"};
    if (const QString why = Measure(program); !why.isEmpty())
        return Fail(why);

    std::printf("Editor windows opened for change, urqvdatorel at its normal 100 ms tick, medians of %d rounds\n", Rounds);
    for (const TEditor* editor : {&service, &program}) {
        Report(*editor, "open", editor->open, OpenTarget);
        Report(*editor, "switch to Speed Control", editor->change, SwitchTarget);
    }
    std::printf("Resident memory\n  on line, no mode window: %.0f MB\n", onLine);
    std::printf("  all mode windows open (Run, Service for change, Program view only): %.0f MB (target %.0f MB: %s)\n",
                allOpen, MemoryTarget, Verdict(allOpen < MemoryTarget));
    std::printf("  growth: %.0f MB\n", allOpen - onLine);
    return 0;
}
