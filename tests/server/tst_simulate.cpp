// The test hook "Simulate": forced values, raised alarms and trips reach the
// control's items as the Run mode window reads them, and anything else is refused.
#include "server/SimulatedControl.h"

#include <QTest>

namespace {

// A control of the bundled databases, without a store.
std::unique_ptr<TSimulatedControl> BundledControl()
{
    TControlDefinition definition;
    definition.id = QStringLiteral("Dflt Control ID");
    definition.databases = {QStringLiteral(TURVISTA_SOURCE_DIR "/server/db/4812-run.items"),
                            QStringLiteral(TURVISTA_SOURCE_DIR "/server/db/4812-config.items")};
    QString error;
    auto control = TSimulatedControl::Create(definition, &error);
    if (!control)
        qWarning("%s", qPrintable(error));
    return control;
}

QString Value(const TSimulatedControl& control, const QString& item)
{
    return control.Value(item).value_or(QStringLiteral("<none>"));
}

bool Simulate(TSimulatedControl& control, const QString& command)
{
    QString error;
    const bool ok = control.Simulate(command, &error);
    if (!ok && error.isEmpty())
        qWarning("refused without a reason: %s", qPrintable(command));
    return ok;
}

// The one-shot button as the program presses it: 1, then 0.
void Pulse(TSimulatedControl& control, const char* item)
{
    control.Poke(QString::fromLatin1(item), QStringLiteral("1"));
    control.Poke(QString::fromLatin1(item), QStringLiteral("0"));
}

const QString AlarmCount = QStringLiteral("Y_ALARMS.ALARMS.NUM_EVENTS");

} // namespace

class TestSimulateValues : public QObject {
    Q_OBJECT

private slots:
    void setForcesAnyItem_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("value");

        QTest::newRow("monitor") << "set AA_MONITOR.SPEED.A_NAME=3000.5" << "AA_MONITOR.SPEED.A_NAME" << "3000.5";
        QTest::newRow("configure item while running") << "set C_APPL.TURB_TYPE.IN=3" << "C_APPL.TURB_TYPE.IN" << "3";
        QTest::newRow("boolean from the program's true") << "set C_APPL.USE_LCLRMT.IN=-1" << "C_APPL.USE_LCLRMT.IN"
                                                          << "1";
        QTest::newRow("beyond the limits") << "set I_STRK_V1.ACT1_MSG.MSG_SEL=99" << "I_STRK_V1.ACT1_MSG.MSG_SEL"
                                           << "99";
        QTest::newRow("string with blanks and =") << "set J_CONTROL.CNTRL_MESS.B_TO_STR=A = B"
                                                  << "J_CONTROL.CNTRL_MESS.B_TO_STR" << "A = B";
        QTest::newRow("time stamp") << "set Y_ALARMS.ALARMS.EV_TM_3=17-May 09:30:04" << "Y_ALARMS.ALARMS.EV_TM_3"
                                    << "17-May 09:30:04";
        QTest::newRow("any case, blanks around") << "  SET  d_spd_dyn.p_gain_off.ramp = 2.5 "
                                                 << "D_SPD_DYN.P_GAIN_OFF.RAMP" << "2.5";
    }

    void setForcesAnyItem()
    {
        QFETCH(QString, command);
        QFETCH(QString, item);
        QFETCH(QString, value);
        auto control = BundledControl();
        QVERIFY(control);
        QStringList advised;
        control->valueChanged = [&](const QString& name) { advised.append(name); };
        QVERIFY(Simulate(*control, command));
        QCOMPARE(Value(*control, item), value);
        QVERIFY(advised.contains(item));
    }

    void forcedConfigurationIsReadByTheModel()
    {
        auto control = BundledControl();
        QVERIFY(control);
        QVERIFY(Simulate(*control, QStringLiteral("set C_APPL.USE_LCLRMT.IN=1")));
        control->Tick();
        Pulse(*control, "J_RMT_LCL.RQV_EN.TRIGGER");
        QCOMPARE(Value(*control, QStringLiteral("J_RMT_LCL.RMT_SEL.LATCH")), QStringLiteral("1"));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("empty") << "";
        QTest::newRow("unknown verb") << "raise X";
        QTest::newRow("set without =") << "set AA_MONITOR.SPEED.A_NAME";
        QTest::newRow("set without item") << "set =5";
        QTest::newRow("unknown item") << "set NO.SUCH.ITEM=1";
        QTest::newRow("server word") << "set Run Mode=0";
        QTest::newRow("not a number") << "set AA_MONITOR.SPEED.A_NAME=fast";
        QTest::newRow("number left out") << "set AA_MONITOR.SPEED.A_NAME=";
        QTest::newRow("fraction to an integer") << "set Y_ALARMS.ALARMS.NUM_EVENTS=1.5";
        QTest::newRow("alarm without text") << "alarm";
        QTest::newRow("trip without text") << "trip   ";
        QTest::newRow("clear with text") << "clear all";
    }

    void refused()
    {
        QFETCH(QString, command);
        auto control = BundledControl();
        QVERIFY(control);
        const QString speed = Value(*control, QStringLiteral("AA_MONITOR.SPEED.A_NAME"));
        QString error;
        QVERIFY(!control->Simulate(command, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(Value(*control, QStringLiteral("AA_MONITOR.SPEED.A_NAME")), speed);
        QCOMPARE(Value(*control, AlarmCount), QStringLiteral("1")); // the power-up trip only
    }
};

class TestSimulateEvents : public QObject {
    Q_OBJECT

private slots:
    void alarmEntersTheCurrentListAndTheHistory()
    {
        auto control = BundledControl();
        QVERIFY(control);
        // Power-up leaves one entry: the power-up trip.
        QCOMPARE(Value(*control, AlarmCount), QStringLiteral("1"));
        QVERIFY(Simulate(*control, QStringLiteral("alarm Lube Oil Pressure Low")));
        QCOMPARE(Value(*control, AlarmCount), QStringLiteral("2"));
        QCOMPARE(Value(*control, QStringLiteral("Y_ALARMS.ALARMS.MSG_O_1")), QStringLiteral("Lube Oil Pressure Low"));
        QCOMPARE(Value(*control, QStringLiteral("Y_ALARMS.ALARMS.MSG_O_2")), QStringLiteral("Power Up Trip"));
        QVERIFY(!Value(*control, QStringLiteral("Y_ALARMS.ALARMS.EV_TM_1")).isEmpty());
        QCOMPARE(Value(*control, QStringLiteral("X_EVENTLOG.A.MESG_O_1")), QStringLiteral("Lube Oil Pressure Low"));
        QCOMPARE(Value(*control, QStringLiteral("X_EVENTLOG.A.EV_TM_1")),
                 Value(*control, QStringLiteral("Y_ALARMS.ALARMS.EV_TM_1")));
        // An alarm is not an entry of the trip history.
        QCOMPARE(Value(*control, QStringLiteral("X_ELOG.T.MESG_O_1")), QStringLiteral("Power Up Trip"));
        QCOMPARE(Value(*control, QStringLiteral("X_ELOG.T.MESG_O_2")), QString());
    }

    void tripStopsARunningTurbineAndIsLogged()
    {
        auto control = BundledControl();
        QVERIFY(control);
        Pulse(*control, "X_RESET.RQV.IN_1");
        Pulse(*control, "I_START.RQV_EN.TRIGGER");
        control->Tick();
        QCOMPARE(Value(*control, QStringLiteral("X_TRIPS.NOT_SD.NOT")), QStringLiteral("1"));

        QVERIFY(Simulate(*control, QStringLiteral("trip Low Hydraulic Pressure")));
        QCOMPARE(Value(*control, QStringLiteral("X_TRIPS.NOT_SD.NOT")), QStringLiteral("0"));
        QCOMPARE(Value(*control, QStringLiteral("J_CONTROL.CNTRL_MESS.B_TO_STR")), QStringLiteral("Turbine Shutdown"));
        QCOMPARE(Value(*control, QStringLiteral("X_ELOG.T.MESG_O_1")), QStringLiteral("Low Hydraulic Pressure"));
        QCOMPARE(Value(*control, QStringLiteral("X_ELOG.T.MESG_O_2")), QStringLiteral("Power Up Trip"));
        QCOMPARE(Value(*control, QStringLiteral("Y_ALARMS.ALARMS.MSG_O_1")), QStringLiteral("Low Hydraulic Pressure"));
        QCOMPARE(Value(*control, QStringLiteral("X_EVENTLOG.A.MESG_O_1")), QStringLiteral("Low Hydraulic Pressure"));

        // A second cause is logged although the turbine is down already.
        QVERIFY(Simulate(*control, QStringLiteral("trip Manual Trip")));
        QCOMPARE(Value(*control, QStringLiteral("X_ELOG.T.MESG_O_1")), QStringLiteral("Manual Trip"));
        QCOMPARE(Value(*control, QStringLiteral("X_ELOG.T.MESG_O_3")), QStringLiteral("Power Up Trip"));
    }

    void clearEmptiesTheCurrentListOnly()
    {
        auto control = BundledControl();
        QVERIFY(control);
        QVERIFY(Simulate(*control, QStringLiteral("alarm A")));
        QVERIFY(Simulate(*control, QStringLiteral("alarm B")));
        QCOMPARE(Value(*control, AlarmCount), QStringLiteral("3"));
        QVERIFY(Simulate(*control, QStringLiteral("clear")));
        QCOMPARE(Value(*control, AlarmCount), QStringLiteral("0"));
        QCOMPARE(Value(*control, QStringLiteral("Y_ALARMS.ALARMS.MSG_O_1")), QString());
        // The clear mark, which restarts the window's lists, goes up for a moment.
        QCOMPARE(Value(*control, QStringLiteral("X_RESET.CLR_EVNT_L.B_SW")), QStringLiteral("1"));
        for (int tick = 0; tick < 20; ++tick)
            control->Tick();
        QCOMPARE(Value(*control, QStringLiteral("X_RESET.CLR_EVNT_L.B_SW")), QStringLiteral("0"));
        QCOMPARE(Value(*control, QStringLiteral("X_EVENTLOG.A.MESG_O_1")), QStringLiteral("B"));
        // The trip stays: clearing the list is no reset.
        QCOMPARE(Value(*control, QStringLiteral("X_TRIPS.NOT_SD.NOT")), QStringLiteral("0"));
    }

    void nothingWhileResetting()
    {
        auto control = BundledControl();
        QVERIFY(control);
        control->Execute(QStringLiteral("Shutdown"));
        control->Tick();
        control->Tick();
        QCOMPARE(Value(*control, QStringLiteral("Run Mode")), QStringLiteral("1"));
        control->Execute(QStringLiteral("Reset"));
        control->Tick();
        control->Tick();
        QString error;
        QVERIFY(!control->Simulate(QStringLiteral("alarm A"), &error));
        QVERIFY(!control->Simulate(QStringLiteral("set AA_MONITOR.SPEED.A_NAME=5"), &error));
    }
};

int main(int argc, char** argv)
{
    int status = 0;
    {
        TestSimulateValues test;
        status |= QTest::qExec(&test, argc, argv);
    }
    {
        TestSimulateEvents test;
        status |= QTest::qExec(&test, argc, argv);
    }
    return status;
}

#include "tst_simulate.moc"
