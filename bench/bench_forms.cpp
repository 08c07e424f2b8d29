// A generated window of 1,500 bound controls on 20 pages against a DDE server in
// the same process: the time to load and show it until the first page shows its
// values, the time to switch pages (unsubscribe, subscribe, first values shown),
// and the memory the window takes.
#include "bench/Measure.h"
#include "controls/FormClasses.h"
#include "controls/FormLoader.h"
#include "controls/KQForms.h"
#include "datalink/KQDatorelControl.h"
#include "platform/Timing.h"
#include "tests/support/TestDdeServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Pages = 20;
constexpr int GroupsPerPage = 5;
constexpr int ControlsPerGroup = 15;
constexpr int ControlsPerPage = GroupsPerPage * ControlsPerGroup;
// Longest wait for the values of one page before the run is given up.
constexpr int ValuesTimeout = 30000;

constexpr double LoadAndShowTarget = 500;
constexpr double SwitchTarget = 50;
constexpr double MemoryTarget = 60;

const QString Topic = QStringLiteral("4812.net(Dflt Control ID)");
const QString DeviceName = QStringLiteral("KQDatorelControl1");

void NoPause(int) { }

QString ItemName(int page, int index)
{
    return QStringLiteral("BENCH_P%1.ITEM_%2.IN").arg(page).arg(index);
}

// The kinds a program page is made of, in turn.
struct TKind {
    const char* className;
    const char* value;
};
constexpr TKind Kinds[] = {
    {"TK4812SpinEdit", "1234.5"},
    {"TKQEnumComboBox", "2"},
    {"TKQBoxLabel", "98.76"},
    {"TKQCheckBox", "-1"},
    {"TKQLabel", "Closed"},
};

QJsonObject Control(int page, int index)
{
    const TKind& kind = Kinds[index % std::size(Kinds)];
    QJsonObject properties{{"Device", DeviceName}, {"ItemName", ItemName(page, index)}};
    if (QByteArray(kind.className) == "TKQEnumComboBox")
        properties.insert("EnumList", QJsonArray{"Not Used", 1, "Generator Breaker Position", 2, "Utility Tie Breaker Position", 3});
    if (QByteArray(kind.className) == "TKQCheckBox")
        properties.insert("Enabled", false);
    return QJsonObject{{"class", kind.className},
                       {"name", QStringLiteral("C%1_%2").arg(page).arg(index)},
                       {"label", QStringLiteral("Setting %1").arg(index + 1)},
                       {"properties", properties},
                       {"events", QJsonObject{{"OnValueChange", "ValueShown"}}}};
}

QByteArray GeneratedForm()
{
    QJsonArray sheets;
    for (int page = 0; page < Pages; ++page) {
        QJsonArray groups;
        for (int group = 0; group < GroupsPerPage; ++group) {
            QJsonArray controls;
            for (int i = 0; i < ControlsPerGroup; ++i)
                controls.append(Control(page, group * ControlsPerGroup + i));
            groups.append(QJsonObject{{"class", "TKQGroupBox"},
                                      {"properties", QJsonObject{{"Caption", QStringLiteral("Group %1").arg(group + 1)}}},
                                      {"layout", QJsonObject{{"type", "form"}}},
                                      {"children", controls}});
        }
        sheets.append(QJsonObject{{"class", "TKQTabSheet"},
                                  {"name", QStringLiteral("Page%1").arg(page)},
                                  {"properties", QJsonObject{{"Caption", QStringLiteral("Page %1").arg(page + 1)}}},
                                  {"layout", QJsonObject{{"type", "horizontal"}}},
                                  {"children", groups}});
    }
    const QJsonObject root{{"class", "TKQForm"},
                           {"layout", QJsonObject{{"type", "vertical"}}},
                           {"children", QJsonArray{QJsonObject{{"class", "TKQPageControl"}, {"name", "Pages"},
                                                               {"children", sheets}}}}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

} // namespace

// Counts the values shown, per control.
class TBenchWindow : public TKQForm {
    Q_OBJECT
public:
    QSet<QObject*> shown;

public slots:
    void ValueShown(QObject* sender) { shown.insert(sender); }
};

namespace {

bool WaitForValues(TBenchWindow& window, int count)
{
    QElapsedTimer clock;
    clock.start();
    while (window.shown.size() < count) {
        if (clock.elapsed() > ValuesTimeout)
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

double Milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Processor time of the whole process: on a busy machine the wall-clock figures
// include time spent waiting for a processor.
double CpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

const char* Verdict(bool met)
{
    return met ? "met" : "MISSED";
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    qputenv("TURVISTA_DDE_DIR", folder.path().toLocal8Bit());
    Timing::SetPauseFunction(NoPause);
    RegisterAllFormClasses();

    TestDdeServer server("URQVDatorel", Topic);
    server.SetItem("Control Status", "1");
    for (int page = 0; page < Pages; ++page)
        for (int i = 0; i < ControlsPerPage; ++i)
            server.SetItem(ItemName(page, i), Kinds[i % std::size(Kinds)].value);
    TKQDdeMgr manager;
    TKQDdeMgr::SetCurrent(&manager);
    TKQDdeClientConv conversation;
    if (!server.Registered() || !conversation.SetLink("URQVDatorel", Topic)) {
        std::fprintf(stderr, "bench_forms: no conversation with the in-process server\n");
        return 1;
    }
    TKQDatorelControl device;
    device.setObjectName(DeviceName);
    device.SetIdentifier(Topic);
    device.ConversationReady(&conversation);
    device.ConnectPollTimer();

    const QByteArray form = GeneratedForm();
    const double memoryBefore = ResidentMegabytes();

    auto window = std::make_unique<TBenchWindow>();
    window->resize(1200, 900);
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = CpuMilliseconds();
    const QList<QObject*> components = TFormLoader::LoadJson(form, "Bench", window.get(), {{DeviceName, &device}});
    const double loaded = Milliseconds(timer);
    const double loadedCpu = CpuMilliseconds() - cpuStart;
    window->show();
    const double shown = Milliseconds(timer);
    const double shownCpu = CpuMilliseconds() - cpuStart;
    if (!WaitForValues(*window, ControlsPerPage)) {
        std::fprintf(stderr, "bench_forms: the first page's values did not arrive\n");
        return 1;
    }
    const double firstValues = Milliseconds(timer);
    const double firstValuesCpu = CpuMilliseconds() - cpuStart;
    const double memoryShown = ResidentMegabytes();

    auto* pages = window->findChild<TKQPageControl*>("Pages");
    std::vector<double> switches;
    std::vector<double> switchCalls;
    std::vector<double> switchCpu;
    for (int page = 1; page < Pages; ++page) {
        window->shown.clear();
        timer.restart();
        const double cpuSwitch = CpuMilliseconds();
        pages->SetActivePage(pages->Page(page));
        switchCalls.push_back(Milliseconds(timer));
        if (!WaitForValues(*window, ControlsPerPage)) {
            std::fprintf(stderr, "bench_forms: the values of page %d did not arrive\n", page + 1);
            return 1;
        }
        switches.push_back(Milliseconds(timer));
        switchCpu.push_back(CpuMilliseconds() - cpuSwitch);
    }
    const double memoryAll = ResidentMegabytes();
    const int advised = int(server.advised.size());
    std::sort(switches.begin(), switches.end());
    std::sort(switchCalls.begin(), switchCalls.end());
    std::sort(switchCpu.begin(), switchCpu.end());
    const double median = switches[switches.size() / 2];
    const double worst = switches.back();

    std::printf("Form of %d bound controls on %d pages (%d components), %d controls per page\n",
                Pages * ControlsPerPage, Pages, int(components.size()), ControlsPerPage);
    std::printf("                                      wall clock     processor\n");
    std::printf("  load                              %8.1f ms   %8.1f ms\n", loaded, loadedCpu);
    std::printf("  load and show                     %8.1f ms   %8.1f ms\n", shown, shownCpu);
    std::printf("  load, show, first values shown    %8.1f ms   %8.1f ms   target < %.0f ms: %s\n", firstValues,
                firstValuesCpu, LoadAndShowTarget, Verdict(firstValues < LoadAndShowTarget));
    std::printf("  page switch call (unsubscribe, subscribe)\n");
    std::printf("                            median  %8.1f ms\n", switchCalls[switchCalls.size() / 2]);
    std::printf("                            worst   %8.1f ms\n", switchCalls.back());
    std::printf("  page switch until values shown\n");
    std::printf("                            median  %8.1f ms   %8.1f ms\n", median, switchCpu[switchCpu.size() / 2]);
    std::printf("                            worst   %8.1f ms   %8.1f ms   target < %.0f ms: %s\n", worst,
                switchCpu.back(), SwitchTarget, Verdict(worst < SwitchTarget));
    std::printf("  memory: shown %6.1f MB, after visiting every page %6.1f MB   target < %.0f MB: %s\n",
                memoryShown - memoryBefore, memoryAll - memoryBefore, MemoryTarget,
                Verdict(memoryAll - memoryBefore < MemoryTarget));
    std::printf("  advise loops on the server after the last switch: %d (one page: %d)\n", advised, ControlsPerPage);

    window.reset();
    Timing::SetPauseFunction(nullptr);
    return 0;
}

#include "bench_forms.moc"
