// One operator's shift on the Run mode window against the real server, played
// only through what the window draws: buttons pressed with the mouse, numbers
// typed into the entry boxes, pages chosen by their tabs; every check reads what
// the operator reads (box texts, status texts, lists, which buttons are offered).
#include "app/Rqv_dynamics.h"
#include "app/Rqv_ospd.h"
#include "app/Rqv_run.h"
#include "app/TrendChart.h"
#include "app/TrendWindow.h"
#include "app/TripCapture.h"
#include "controls/KQBoxLabel.h"
#include "controls/KQMomentaryButton.h"
#include "controls/KQNumberEdit.h"
#include "controls/KQOneShotButton.h"
#include "controls/KQStatusText.h"
#include "datalink/TrendFile.h"
#include "tests/app/AppFixture.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTest>

#include <functional>

namespace {

constexpr int Patience = TAppFixture::Patience;
constexpr int FastTick = 5; // ms per control tick: the control runs twenty times faster than real time
// Below this the rotor may come to rest before the next command arrives.
constexpr double CoastingSpeed = 500;
TAppFixture* app = nullptr;

QString Box(const char* name) { return Box(FMain->FRunMode, name); }
double Number(const char* name) { return Box(name).toDouble(); }
QString Status() { return Find<QLabel>("LNonExtractionType")->text(); }
bool Offered(const char* button) { return Find<TKQMomentaryButton>(button)->Visible(); }
QStringList Lines(const char* list)
{
    QStringList lines;
    const auto* shown = Find<QListWidget>(list);
    for (int row = 0; row < shown->count(); ++row)
        lines << shown->item(row)->text().section('\t', 1);
    return lines;
}

// Presses a drawn button, keeps it down until the condition holds, lets go and
// waits until the button is at rest again. False when the button was not
// offered or the condition never held.
bool Hold(TKQMomentaryButton* button, const std::function<bool()>& until)
{
    if (!button->isVisible() || !button->isEnabled()
        || !QTest::qWaitFor([button] { return button->PulseState() == TPulseState::Idle; }, Patience))
        return false;
    QTest::mousePress(button, Qt::LeftButton);
    const bool reached = QTest::qWaitFor(until, Patience);
    QTest::mouseRelease(button, Qt::LeftButton);
    return QTest::qWaitFor([button] { return button->PulseState() == TPulseState::Idle; }, Patience) && reached;
}
// A short press: held until the control has the command.
bool Press(TKQMomentaryButton* button)
{
    return Hold(button, [button] { return button->PulseState() == TPulseState::ActiveConfirmed; });
}
bool Press(QObject* in, const char* name) { return Press(Find<TKQMomentaryButton>(in, name)); }
bool Press(const char* name) { return Press(FMain->FRunMode, name); }
bool Hold(const char* name, const std::function<bool()>& until) { return Hold(Find<TKQMomentaryButton>(name), until); }

void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
void ChooseTab(const char* page)
{
    QTabBar* tabs = FMain->FRunMode->PageControl1->tabBar();
    const int index = FMain->FRunMode->PageControl1->indexOf(Find(page));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}
// The window takes the keys (the offscreen platform activates no window by itself).
bool Activated(QWidget* window)
{
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window) && QApplication::activeWindow() == window;
}

// The trend window of a set, once open.
TTrendWindow* Trend(const QString& set)
{
    for (TTrendWindow* window : TTrendWindow::Windows()) {
        if (window->Set() == set)
            return window;
    }
    return nullptr;
}
QStringList Plotted(const TTrendData& data)
{
    QStringList names;
    for (const TTrendChannel& channel : data.channels)
        names << channel.Title();
    return names;
}
const QStringList RunTrend = {"Speed (rpm)", "Speed setpoint (rpm)", "Speed reference (rpm)", "HP valve demand (%)",
                              "LP valve demand (%)"};

// The turbine's speed as the control has it, for steps that depend on the coasting rotor.
double ControlSpeed()
{
    return app->Read(QStringLiteral("AA_MONITOR.SPEED.A_NAME")).toDouble();
}

} // namespace

class TestOperatorShift : public QObject {
    Q_OBJECT
private slots:
    // The trend opens from the Run window with its set, which is kept as the
    // operator leaves it.
    void theRunTrendOpensWithItsSet()
    {
        Click("BTrend");
        TTrendWindow* trend = Trend("Run Mode");
        QVERIFY(trend && trend->IsLive() && Activated(trend));
        QCOMPARE(Plotted(trend->Data()), RunTrend);
        auto* items = trend->findChild<QListWidget*>("TrendItems");
        items->setCurrentRow(4);
        QTest::keyClick(trend, Qt::Key_Delete);
        QCOMPARE(Plotted(trend->Data()), RunTrend.mid(0, 4));
        trend->close();
        QTRY_VERIFY(!Trend("Run Mode"));
        FMain->Trend1->trigger(); // Windows menu
        trend = Trend("Run Mode");
        QVERIFY(trend && Activated(trend));
        QCOMPARE(Plotted(trend->Data()), RunTrend.mid(0, 4));
        app->dialogs.addChoice({"LP valve demand - AA_MONITOR.LP_DEMAND.A_NAME"});
        QTest::keyClick(trend, Qt::Key_Insert);
        QCOMPARE(Plotted(trend->Data()), RunTrend);
        // The control's changeable items are offered too, and nothing already plotted.
        const QStringList offered = app->dialogs.choices().constLast().choices;
        QVERIFY(offered.contains("D_ENTR_SPD.PC_SMP_TUN.TUNE"));
        QVERIFY(!offered.contains("Speed - AA_MONITOR.SPEED.A_NAME"));
    }

    void resetStartAndRunUpToRated()
    {
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("Turbine Shutdown"), Patience);
        QVERIFY(!Offered("KRunButton")); // a tripped turbine must be reset first
        QVERIFY(Press("BReset"));
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("Ready To Start"), Patience);
        QTRY_VERIFY_WITH_TIMEOUT(Offered("KRunButton"), Patience);
        QVERIFY(Press("KRunButton"));
        QTRY_VERIFY_WITH_TIMEOUT(!Offered("KRunButton"), Patience);
        QVERIFY(Find("KPIdleRatedPanel")->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(Box("KIdleRatedStatus"), QString("Idle Selected"), Patience);
        // Semiautomatic start: no steam until the operator opens the limiter.
        QCOMPARE(Box("KStartSpeed"), QString("0"));
        QVERIFY(Hold("KStartHPLimiterRaise", [] { return Box("KStartHPLimiter") == "100.0"; }));
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(Number("KStartSpeed") - 1000) <= 2, Patience);

        QVERIFY(Press("BRated"));
        QTRY_COMPARE_WITH_TIMEOUT(Box("KIdleRatedStatus"), QString("Ramping To Rated"), Patience);
        QTRY_COMPARE_WITH_TIMEOUT(Box("KIdleRatedStatus"), QString("At Rated"), Patience);
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(Number("KStartSpeed") - 3600) <= 2, Patience);
        QCOMPARE(Status(), QString("Speed Control"));

        // The trend saw the run-up, and reads it under the cursor.
        TTrendWindow* trend = Trend("Run Mode");
        const auto& speed = trend->Data().channels[0].series.Samples();
        auto byValue = [](const TTrendSample& a, const TTrendSample& b) { return a.value < b.value; };
        QCOMPARE(std::min_element(speed.begin(), speed.end(), byValue)->value, 0.0);
        QVERIFY(std::max_element(speed.begin(), speed.end(), byValue)->value >= 3598);
        QVERIFY(trend->Chart()->Redraws() > 0);
        trend->MoveCursor(trend->To());
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d+: Speed 3\\d{3}(\\.\\d+)? rpm, Speed setpoint 3600 rpm,")
                     .match(trend->Readout()).hasMatch(),
                 qPrintable(trend->Readout()));
    }

    void enterASpeedSetpoint()
    {
        Click("BSetSpeed");
        auto* editor = Find<TKQNumberEdit>("ESetSpeed");
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->window()->focusWidget(), editor);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, "3550");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(app->Read("D_ENTR_SPD.PC_SMP_TUN.TUNE").toDouble(), 3550.0, Patience);
        QCOMPARE(Box("KStartSetpoint"), QString("3600")); // taken over only on OK
        QVERIFY(Press("BSetSpeedOK"));
        QTRY_COMPARE_WITH_TIMEOUT(Box("KStartSetpoint"), QString("3550"), Patience);
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(Number("KStartSpeed") - 3550) <= 2, Patience);
        Click("BSetSpeedCancel");
        QVERIFY(!editor->isVisible());
        QVERIFY(Find("BSetSpeed")->isVisible());
    }

    void tuneAGainBehindTheSecurityLock()
    {
        ChooseTab("KPSpeedControl");
        Click("BSpeedDynamics");
        TFSpeedDynamics* dynamics = FMain->FRunMode->SpeedDynamics();
        QVERIFY(dynamics->isVisible());
        QCOMPARE(Find<TKQStatusText>(dynamics, "ActiveMode")->Text(), QString("Off-Line"));
        // Gains read with two decimals.
        const QRegularExpression gain("^\\d+\\.\\d\\d$");
        QTRY_VERIFY_WITH_TIMEOUT(gain.match(Box(dynamics, "OffPGain")).hasMatch(), Patience);
        QVERIFY2(gain.match(Box(dynamics, "OffIGain")).hasMatch(), qPrintable(Box(dynamics, "OffIGain")));
        const double before = Box(dynamics, "OffPGain").toDouble();
        auto* raise = Find<TKQMomentaryButton>(dynamics, "OffPRaise");
        QVERIFY(!raise->isEnabled()); // locked

        app->dialogs.addPassword("4309");
        Click("BSecurityUnlock");
        QVERIFY(Find("BSecurityLock")->isVisible());
        QVERIFY(raise->isEnabled());
        QVERIFY(Hold(raise, [&] { return Box(dynamics, "OffPGain").toDouble() > before * 1.1; }));
        QVERIFY(app->Read("D_SPD_DYN.P_GAIN_OFF.RAMP").toDouble() >= before * 1.1);

        // The loop's trend: process value, setpoint and output.
        QTest::mouseClick(Find<QPushButton>(dynamics, "BTrend"), Qt::LeftButton);
        TTrendWindow* trend = Trend("Speed Control Dynamics");
        QVERIFY(trend && trend->isVisible());
        QCOMPARE(Plotted(trend->Data()), QStringList({"Speed (rpm)", "Speed setpoint (rpm)", "Speed PID output (%)"}));
        trend->close();
        dynamics->close();
        QVERIFY(!dynamics->isVisible());
    }

    void overspeedTestEndsInATrip()
    {
        Click("BOverspeedTest");
        auto* test = FMain->FRunMode->findChildren<TFOverspeedTest*>(Qt::FindDirectChildrenOnly).value(0);
        QVERIFY(test && test->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(Box(test, "TestStatus"), QString("Test Disabled"), Patience);
        QVERIFY(Press(test, "Enable4812TestButton"));
        QTRY_COMPARE_WITH_TIMEOUT(Box(test, "TestStatus"), QString("4812 Test Enabled"), Patience);
        QCOMPARE(Status(), QString("Overspeed Test"));
        // Past the top of the governor range to the trip.
        QVERIFY(Hold("KSpeedSetpointRaise", [] { return Status() == "Turbine Shutdown"; }));
        QTRY_VERIFY_WITH_TIMEOUT(Box(test, "TestStatus").startsWith("Tripped At "), Patience);
        QVERIFY(Box(test, "PeakSpeed").toDouble() >= 3960);
        test->close();
        QVERIFY(FMain->TripCapture1->Waiting());
        QVERIFY(FMain->TripCapturePanel->text().startsWith("Trip at "));
    }

    void alarmsAreShownAndReset()
    {
        QTRY_VERIFY_WITH_TIMEOUT(Find("PCurrentAlarmsButton")->isVisible(), Patience);
        QVERIFY(Find("BCurrentAlarms")->isEnabled());
        Click("BCurrentAlarms");
        QCOMPARE(FMain->FRunMode->PageControl1->ActivePageName(), QString("KPCurrentAlarms"));
        QVERIFY(!Find("PCurrentAlarmsButton")->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(Lines("LBCurrentAlarms"), QStringList({"Overspeed Trip", "Overspeed Alarm"}), Patience);

        auto* reset = Find<TKQOneShotButton>("BResetAlarms");
        QVERIFY(reset->isVisible());
        const bool coasting = ControlSpeed() > CoastingSpeed;
        QTest::mouseClick(reset, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Find<QListWidget>("LBCurrentAlarms")->count(), 0, Patience);
        QTRY_COMPARE_WITH_TIMEOUT(reset->PulseState(), TPulseState::Idle, Patience);
        if (coasting) {
            // The trip holds while the rotor coasts, and "Start" is not offered.
            QCOMPARE(Status(), QString("Turbine Shutdown"));
            QVERIFY(!Offered("KRunButton"));
        }
        ChooseTab("KPSpeedControl");
        QVERIFY(!Find("PCurrentAlarmsButton")->isVisible());
    }

    void calibrateTheValveOnceTheRotorStands()
    {
        ChooseTab("KPValves");
        Click("BCalibrate");
        QVERIFY(Find("KPValve1Cnf")->isVisible());
        QVERIFY(!Find("KPValve2Cnf")->isVisible()); // single valve
        const char* goButtons[] = {"BValve1GoMan", "BValve1GoMin", "BValve1GoMax"};
        const auto goOperable = [&](bool operable) {
            return std::all_of(std::begin(goButtons), std::end(goButtons),
                               [operable](const char* go) { return Find(go)->isEnabled() == operable; });
        };
        // Unlocked since the gain was tuned; stroking waits for the rotor to stand.
        if (ControlSpeed() > CoastingSpeed) {
            QVERIFY(Press("BValve1Enable"));
            QTRY_COMPARE_WITH_TIMEOUT(Box("KValve1Status"), QString("Trip Turbine To Stroke"), Patience);
            QVERIFY(goOperable(false));
        }
        QTRY_COMPARE_WITH_TIMEOUT(Box("KValve1Status"), QString("Stroking Disabled"), Patience);
        QVERIFY(Press("BValve1Enable"));
        QTRY_COMPARE_WITH_TIMEOUT(Box("KValve1Status"), QString("Stroking Enabled"), Patience);
        QTRY_VERIFY_WITH_TIMEOUT(goOperable(true), Patience);

        // Where the valve stands whenever its status changes.
        QStringList seen;
        const auto connection = connect(Find<TKQBoxLabel>("KValve1Status"), &TKQBoxLabel::OnValueChange, this,
                                        [&seen] { seen << Box("KValve1Status") + " " + Box("KValve1Limiter"); });
        QVERIFY(Press("BValve1GoMax"));
        // The pressed Go button gives way to the other two.
        QVERIFY(!Offered("BValve1GoMax"));
        QVERIFY(Offered("BValve1GoMan") && Offered("BValve1GoMin"));
        QTRY_COMPARE_WITH_TIMEOUT(Box("KValve1Status"), QString("At Maximum"), Patience);
        disconnect(connection);
        // "At Maximum" only once the valve is there.
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen.value(0).section(' ', -1).toDouble() >= 99, qPrintable(seen.join(" / ")));
        QTRY_COMPARE_WITH_TIMEOUT(Box("KValve1Limiter"), QString("100.0"), Patience);
        QTRY_COMPARE_WITH_TIMEOUT(Box("KValve1Current"), Box("KValve1MaxCurrent"), Patience);

        QVERIFY(Press("BValve1GoMin"));
        QTRY_COMPARE_WITH_TIMEOUT(Box("KValve1Status"), QString("At Minimum"), Patience);
        QCOMPARE(Box("KValve1Limiter"), QString("0.0"));
        const double least = Number("KValve1MinCurrent");
        QVERIFY(Hold("KValve1MinCurrentRaise", [least] { return Number("KValve1MinCurrent") >= least + 0.05; }));
        QTRY_COMPARE_WITH_TIMEOUT(Box("KValve1Current"), Box("KValve1MinCurrent"), Patience);

        QVERIFY(Press("BValve1Disable"));
        QTRY_COMPARE_WITH_TIMEOUT(Box("KValve1Status"), QString("Stroking Disabled"), Patience);
        QVERIFY(goOperable(false));
        Click("BCloseCalibrate");
        QVERIFY(Find("BCalibrate")->isVisible());

        ChooseTab("KPStartTurbine");
        QVERIFY(Press("BReset"));
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("Ready To Start"), Patience);
        QTRY_VERIFY_WITH_TIMEOUT(Offered("KRunButton"), Patience);
    }

    void historiesHoldTheTrip()
    {
        ChooseTab("KPAlarmHistory");
        QTRY_COMPARE_WITH_TIMEOUT(Find<QListWidget>("LBAlarmHistory")->count(), 100, Patience);
        QCOMPARE(Lines("LBAlarmHistory").mid(0, 3), QStringList({"Overspeed Trip", "Overspeed Alarm", "Power Up Trip"}));
        ChooseTab("KPTripHistory");
        QTRY_COMPARE_WITH_TIMEOUT(Find<QListWidget>("LBTripHistory")->count(), 20, Patience);
        QCOMPARE(Lines("LBTripHistory").mid(0, 3), QStringList({"Overspeed Trip", "Power Up Trip", ""}));
        QVERIFY(QRegularExpression("^\\d\\d-\\w{3} \\d\\d:\\d\\d:\\d\\d\\t")
                    .match(Find<QListWidget>("LBTripHistory")->item(0)->text()).hasMatch());
    }

    // A minute after the overspeed trip, its capture was written and named in the status bar.
    void theTripIsCaptured()
    {
        QTRY_VERIFY_WITH_TIMEOUT(FMain->TripCapturePanel->text().startsWith("Trip capture: "), Patience);
        const QString path = FMain->TripCapturePanel->text().section(": ", 1);
        QVERIFY2(QFileInfo(path).fileName().contains("_Overspeed_Trip"), qPrintable(path));
        QString error;
        const std::optional<TTrendFile> capture = TTrendFile::Read(path, &error);
        QVERIFY2(capture, qPrintable(error));
        QCOMPARE(capture->notes.value(0), (QPair<QString, QString>("Trip", "Overspeed Trip")));
        QCOMPARE(capture->data.channels.size(), size_t(19));
        QCOMPARE(capture->data.channels[0].item, QString("AA_MONITOR.SPEED.A_NAME"));
        // From five minutes before the trip (or going on line) to a minute after.
        const long long first = capture->from - capture->zero, last = capture->to - capture->zero;
        QVERIFY2(first >= -5 * 60 * 1000 && first < 0 && last == 60 * 1000,
                 qPrintable(QString("%1 ms to %2 ms").arg(first).arg(last)));
        // Zero is the trip: above the overspeed alarm there, coasting down a minute later.
        const TTrendSeries& speed = capture->data.channels[0].series;
        QVERIFY(speed.ValueAt(capture->zero).value_or(0) > 3870);
        QVERIFY(speed.ValueAt(capture->to).value_or(4000) < speed.ValueAt(capture->zero).value_or(0) - 500);

        // Opened in a trend window and exported again: the same samples.
        TTrendWindow* opened = TTrendWindow::OpenFile(path);
        QVERIFY(opened && !opened->IsLive() && Activated(opened));
        QCOMPARE(QPair(opened->From(), opened->To()), QPair(capture->from, capture->to));
        const QString exported = QFileInfo(path).dir().filePath("exported.csv");
        app->dialogs.addFileName(exported);
        QTest::keyClick(opened, Qt::Key_S, Qt::ControlModifier);
        const std::optional<TTrendFile> again = TTrendFile::Read(exported, &error);
        QVERIFY2(again, qPrintable(error));
        for (size_t c = 0; c < capture->data.channels.size(); ++c)
            QCOMPARE(again->data.channels[c].series.Samples(), capture->data.channels[c].series.Samples());
        const QString picture = QFileInfo(path).dir().filePath("exported.png");
        app->dialogs.addFileName(picture);
        QTest::keyClick(opened, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(QImage(picture).width() > 400);
        opened->close();
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    ServerProcess::Options options;
    options.tickMs = FastTick;
    TAppFixture fixture(options);
    app = &fixture;
    if (!fixture.Start()) {
        qCritical("the program did not start: %s", qPrintable(fixture.server.Output()));
        return 1;
    }
    // The plant: a semiautomatic start leaves the HP limiter to the operator; a
    // quicker idle/rated ramp keeps the run short.
    if (!fixture.server.Simulate(QStringLiteral("set C_START.START_CONF.IN=2"))
        || !fixture.server.Simulate(QStringLiteral("set C_IDLE_RTD.IDLRTDRATE.TUNE=100")) || !fixture.OpenRunMode()
        || !QTest::qWaitForWindowExposed(FMain->FRunMode)) {
        qCritical("Run mode did not open: %s %s", qPrintable(fixture.dialogs.texts().join(" / ")),
                  qPrintable(fixture.server.Output()));
        return 1;
    }
    TestOperatorShift test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_operator.moc"
