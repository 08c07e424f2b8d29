// The small windows of Run mode against the real server: the control's values
// arrive in them, their buttons reach the control, the lock on the gain buttons
// spares "Save Settings", and each is a centred tool window that closing hides.
#include "app/Rqv_dynamics.h"
#include "app/Rqv_ospd.h"
#include "app/Rqv_timedate.h"
#include "controls/KQBoxLabel.h"
#include "controls/KQMomentaryButton.h"
#include "controls/KQNumberEdit.h"
#include "controls/KQOneShotButton.h"
#include "controls/KQStatusText.h"
#include "tests/support/OnLineProgram.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestDdeClient.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include <functional>
#include <memory>

#define WAIT_COMPARE(actual, expected) QTRY_COMPARE_WITH_TIMEOUT(actual, expected, OnLineProgram::Patience)
#define WAIT_VERIFY(condition) QTRY_VERIFY_WITH_TIMEOUT(condition, OnLineProgram::Patience)

namespace {

// The server, the program's control device on line with it (the program hands
// the network over), and a client that looks at the control from outside.
struct OnLine {
    static ServerProcess::Options Handed()
    {
        ServerProcess::Options options;
        options.openDefaultNetwork = false;
        return options;
    }
    ServerProcess server{Handed()};
    OnLineProgram program;
    std::unique_ptr<TestDdeClient> control;
    TScriptedDialogs dialogs;

    QString Text(const QString& item) const { return ::Text(*control, item); }
};
OnLine* online = nullptr;

// A window of the given class, owned by a plain widget as the Run window owns them, and shown.
struct Shown {
    explicit Shown(const QString& windowClass) : window(Make(windowClass)) { window->show(); }
    TRunDialog* Make(const QString& windowClass)
    {
        TKQDevice* device = online->program.control.get();
        const QHash<QString, std::function<TRunDialog*()>> windows = {
            {"TFSpeedDynamics", [&] { return new TFSpeedDynamics(&owner, device); }},
            {"TFExtAdmDynamics", [&] { return new TFExtAdmDynamics(&owner, device); }},
            {"TFCascadeDynamics", [&] { return new TFCascadeDynamics(&owner, device); }},
            {"TFAuxiliaryDynamics", [&] { return new TFAuxiliaryDynamics(&owner, device); }},
            {"TFOverspeedTest", [&] { return new TFOverspeedTest(&owner, device); }},
            {"TFTimeDate", [&] { return new TFTimeDate(&owner, device); }},
        };
        return windows.value(windowClass)();
    }
    template <class T>
    T* Find(const QString& name) const { return window->findChild<T*>(name); }
    QWidget owner;
    TRunDialog* window;
};

void Hold(QWidget* button) { QTest::mousePress(button, Qt::LeftButton); }
void Let(QWidget* button) { QTest::mouseRelease(button, Qt::LeftButton); }
void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

} // namespace

class TestDynamicsWindows : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(online->dialogs.texts(), QStringList()); }
    void gainArrivesAndItsButtonMovesIt_data();
    void gainArrivesAndItsButtonMovesIt();
    void lockStopsTheGainButtonsButNotSaveSettings();
    void activeModeFollowsTheControl();
};

void TestDynamicsWindows::gainArrivesAndItsButtonMovesIt_data()
{
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("valueItem");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("buttonItem");
    QTest::addColumn<int>("direction");
    QTest::newRow("speed off-line P raise") << "TFSpeedDynamics" << "OffPGain" << "D_SPD_DYN.P_GAIN_OFF.RAMP"
                                            << "OffPRaise" << "D_SPD_DYN.RQV_OFF_LN.IN_4" << 1;
    QTest::newRow("speed on-line I fast lower") << "TFSpeedDynamics" << "OnIGain" << "D_SPD_DYN.I_GAIN_ON.RAMP"
                                                << "OnIFastLower" << "D_SPD_DYN.RQV_ON_LN.IN_6" << -1;
    QTest::newRow("ext./adm. I fast raise") << "TFExtAdmDynamics" << "IGain" << "EXTR_DYN.I_GAIN.RAMP"
                                            << "IFastRaise" << "EXTR_DYN.RQV_I_GAIN.IN_3" << 1;
    QTest::newRow("cascade DR lower") << "TFCascadeDynamics" << "DRGain" << "F_CAS_DYN.D_GAIN.RAMP" << "DRLower"
                                      << "F_CAS_DYN.RQV_D_GAIN.IN_1" << -1;
    QTest::newRow("auxiliary P fast lower") << "TFAuxiliaryDynamics" << "PGain" << "G_AUX_DYN.P_GAIN.RAMP"
                                            << "PFastLower" << "G_AUX_DYN.RQV_P_GAIN.IN_2" << -1;
}

void TestDynamicsWindows::gainArrivesAndItsButtonMovesIt()
{
    QFETCH(QString, windowClass);
    QFETCH(QString, box);
    QFETCH(QString, valueItem);
    QFETCH(QString, button);
    QFETCH(QString, buttonItem);
    QFETCH(int, direction);
    Shown shown(windowClass);
    auto* gain = shown.Find<TKQBoxLabel>(box);
    auto* press = shown.Find<TKQMomentaryButton>(button);
    QVERIFY(gain && press);
    QCOMPARE(gain->ItemName(), valueItem);
    QCOMPARE(press->ItemName(), buttonItem);

    const double before = online->Text(valueItem).toDouble();
    WAIT_COMPARE(gain->text(), QString::number(before, 'f', 2));
    WAIT_COMPARE(press->PulseState(), TPulseState::Idle);
    Hold(press);
    WAIT_VERIFY((online->Text(valueItem).toDouble() - before) * direction > 0);
    Let(press);
    WAIT_COMPARE(online->Text(buttonItem), QString("0"));
    WAIT_COMPARE(gain->text(), QString::number(online->Text(valueItem).toDouble(), 'f', 2));
}

void TestDynamicsWindows::lockStopsTheGainButtonsButNotSaveSettings()
{
    Shown shown("TFSpeedDynamics");
    auto* window = static_cast<TFSpeedDynamics*>(shown.window);
    auto* raise = shown.Find<TKQMomentaryButton>("OffPRaise");
    auto* save = shown.Find<TKQOneShotButton>("SaveSettingsButton");
    const QList<TKQMomentaryButton*> gainButtons = window->findChildren<TKQMomentaryButton*>();
    QCOMPARE(gainButtons.size(), 24);
    WAIT_COMPARE(raise->PulseState(), TPulseState::Idle);

    window->SetGainButtonsMonitorOnly(true);
    for (TKQMomentaryButton* button : gainButtons)
        QVERIFY2(button->IsMonitorOnly() && !button->isEnabled(), qPrintable(button->objectName()));
    Hold(raise);
    QCOMPARE(raise->PulseState(), TPulseState::Idle);
    Let(raise);

    // Save Settings still stores the tuned gain as the initial one.
    QVERIFY(!save->IsMonitorOnly() && save->isEnabled());
    QVERIFY(online->control->Poke("D_SPD_DYN.P_GAIN_OFF.RAMP", "7.25"));
    WAIT_COMPARE(shown.Find<TKQBoxLabel>("OffPGain")->text(), QString("7.25"));
    WAIT_COMPARE(save->PulseState(), TPulseState::Idle);
    Click(save);
    WAIT_COMPARE(online->Text("D_SPD_DYN.P_OFF_INIT.TUNE"), QString("7.25"));

    window->SetGainButtonsMonitorOnly(false);
    for (TKQMomentaryButton* button : gainButtons)
        QVERIFY2(!button->IsMonitorOnly() && button->isEnabled(), qPrintable(button->objectName()));
}

void TestDynamicsWindows::activeModeFollowsTheControl()
{
    Shown shown("TFSpeedDynamics");
    auto* mode = shown.Find<TKQStatusText>("ActiveMode");
    WAIT_COMPARE(mode->Text(), QString("Off-Line"));
    QVERIFY(online->server.Simulate("set D_SPD_CTRL.SW_DYN.B_SW=1"));
    WAIT_COMPARE(mode->Text(), QString("On-Line"));
    QVERIFY(online->server.Simulate("set D_SPD_CTRL.SW_DYN.B_SW=0"));
    WAIT_COMPARE(mode->Text(), QString("Off-Line"));
}

class TestOverspeedAndClockWindows : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(online->dialogs.texts(), QStringList()); }
    void overspeedTestShowsStatusAndClearsPeakSpeed();
    void clockIsSetFromTheEditors();
};

void TestOverspeedAndClockWindows::overspeedTestShowsStatusAndClearsPeakSpeed()
{
    Shown shown("TFOverspeedTest");
    auto* clear = shown.Find<TKQMomentaryButton>("ClearPeakSpeedButton");
    WAIT_COMPARE(shown.Find<TKQBoxLabel>("TestStatus")->text(), QString("Test Disabled"));
    WAIT_COMPARE(shown.Find<TKQBoxLabel>("PeakSpeed")->text(),
                 QString::number(online->Text("D_MPU.SPEED_HOLD.A_MAX").toDouble(), 'f', 0));
    WAIT_COMPARE(clear->PulseState(), TPulseState::Idle);
    Hold(clear);
    WAIT_COMPARE(online->Text("D_MPU.CNTL_H_RST.IN_1"), QString("1"));
    Let(clear);
    WAIT_COMPARE(online->Text("D_MPU.CNTL_H_RST.IN_1"), QString("0"));
}

void TestOverspeedAndClockWindows::clockIsSetFromTheEditors()
{
    Shown shown("TFTimeDate");
    auto* setAll = shown.Find<TKQOneShotButton>("SetAllButton");
    auto* timeOfDay = shown.Find<TKQBoxLabel>("ControlTimeOfDay");
    QVERIFY(shown.Find<QWidget>("PasswordEdit")->isHidden());
    // Hour and minute typed, the rest as the control has it; "Set All" sets the clock.
    for (const auto& [edit, item, number] : {std::tuple("HourEdit", "MAIN.HOUR_SW.NC", "13"),
                                             std::tuple("MinuteEdit", "MAIN.MIN_SW.NC", "7"),
                                             std::tuple("SecondEdit", "MAIN.SEC_SW.NC", "0")}) {
        auto* box = shown.Find<TKQNumberEdit>(edit);
        QCOMPARE(box->DecimalPlaces(), 0);
        WAIT_COMPARE(box->text(), online->Text(item));
        box->selectAll();
        QTest::keyClicks(box, number);
        QTest::keyClick(box, Qt::Key_Return);
        WAIT_COMPARE(online->Text(item), QString(number));
    }
    WAIT_COMPARE(setAll->PulseState(), TPulseState::Idle);
    Click(setAll);
    // Control time runs fast: a minute may have passed.
    WAIT_VERIFY(timeOfDay->text().startsWith("13:07") || timeOfDay->text().startsWith("13:08"));
}

class TestWindowFrame : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCOMPARE(online->dialogs.texts(), QStringList()); }
    void centredToolWindowOnTopThatClosingHides_data();
    void centredToolWindowOnTopThatClosingHides();
};

void TestWindowFrame::centredToolWindowOnTopThatClosingHides_data()
{
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<QString>("caption");
    QTest::newRow("speed") << "TFSpeedDynamics" << "Speed Control Dynamics";
    QTest::newRow("ext./adm.") << "TFExtAdmDynamics" << "Ext./Adm. Control Dynamics";
    QTest::newRow("cascade") << "TFCascadeDynamics" << "Cascade Control Dynamics";
    QTest::newRow("auxiliary") << "TFAuxiliaryDynamics" << "Auxiliary Control Dynamics";
    QTest::newRow("overspeed") << "TFOverspeedTest" << "Overspeed Test";
    QTest::newRow("time and date") << "TFTimeDate" << "Set Time and Date";
}

void TestWindowFrame::centredToolWindowOnTopThatClosingHides()
{
    QFETCH(QString, windowClass);
    QFETCH(QString, caption);
    Shown shown(windowClass);
    QPointer<TRunDialog> window = shown.window;
    QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(window->parentWidget(), &shown.owner);
    const Qt::WindowFlags flags = window->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(flags.testFlags(Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint));
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint)));
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QPoint offCentre = window->frameGeometry().center() - window->screen()->availableGeometry().center();
    QVERIFY(offCentre.manhattanLength() <= 1);

    // Leaving an edit box sends what it shows: let the values arrive first.
    for (TKQNumberEdit* edit : window->findChildren<TKQNumberEdit*>())
        WAIT_VERIFY(!edit->text().isEmpty());
    if (auto* closeButton = shown.Find<QWidget>("CancelButton"))
        Click(closeButton);
    else
        QVERIFY(window->close());
    QVERIFY(window && window->isHidden());
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // The server component finds the server through the build's registry entry.
    qputenv("XDG_CONFIG_DIRS", QByteArray(TURVISTA_BINARY_DIR "/xdg"));
    OnLine shared;
    online = &shared;
    if (!shared.server.Start() || !shared.program.GoOnLine()) {
        qCritical("not on line: %s", qPrintable(shared.server.Output()));
        return 1;
    }
    shared.control = std::make_unique<TestDdeClient>(QStringLiteral("URQVDatorel"), ServerProcess::Topic());
    int failed = 0;
    TestDynamicsWindows dynamics;
    failed += QTest::qExec(&dynamics, argc, argv);
    TestOverspeedAndClockWindows overspeedAndClock;
    failed += QTest::qExec(&overspeedAndClock, argc, argv);
    TestWindowFrame frame;
    failed += QTest::qExec(&frame, argc, argv);
    return failed;
}

#include "tst_rundialogs.moc"
