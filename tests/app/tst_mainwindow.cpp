// The main window as the operator meets it, offscreen against the real server:
// going on line from the mode commands, the status poll, the mode windows' life
// cycle, passwords and the configure-mode precondition, the values file, printing
// and closing the program; and once, at the speed of a real plant, going on line
// and leaving Program mode with a reset.
#include "app/Rqv_program.h"
#include "app/Rqv_service.h"
#include "app/Printing.h"
#include "app/RQV_pwd.h"
#include "app/Rqv_run.h"
#include "app/ValuesFile.h"
#include "platform/Timing.h"
#include "tests/app/AppFixture.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

constexpr int Patience = TAppFixture::Patience;
const QString Running = QStringLiteral("Control Status:  Running");
const QString ProgramMode = QStringLiteral("Control Status:  Program Mode");

// Runs the next poll now rather than waiting for its timer, and keeps the
// timer from polling on its own in between.
QString PollNow()
{
    FMain->tPingTimer();
    const bool rearmed = FMain->tPing->isActive();
    FMain->tPing->stop();
    return rearmed ? FMain->PanelText(1) : QStringLiteral("<not re-armed>");
}

// Waits until the mode window is open (or gone) and the main window usable.
template <class Window>
bool WaitFor(const QPointer<Window>& window, bool open)
{
    return QTest::qWaitFor([&] { return bool(window) == open && TAppFixture::Settled(); }, Patience);
}

} // namespace

// Rules that need no control.
class TestMainWindowRules : public QObject {
    Q_OBJECT
private slots:
    void extractNameGivesTheBaseName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("windows path") << "C:\\Urqv\\Unit3.cfg" << "Unit3";
        QTest::newRow("two dots") << "/home/op/URQV/plant.b.cfg" << "plant.b";
        QTest::newRow("no folder") << "unit.cfg" << "unit";
        QTest::newRow("extension only") << "/home/op/.cfg" << "";
    }
    void extractNameGivesTheBaseName()
    {
        QFETCH(QString, path);
        QTEST(TValuesFile::ExtractName(path), "name");
    }

    void fitToPageKeepsTheAspectRatio_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("page");
        QTest::addColumn<QSize>("printed");
        // A landscape window on a portrait page: full width, height in proportion.
        QTest::newRow("landscape on portrait") << QSize(800, 600) << QSize(4800, 6800) << QSize(4800, 3600);
        // Narrower than the page: full height, width in proportion.
        QTest::newRow("tall picture") << QSize(300, 900) << QSize(4800, 6800) << QSize(2267, 6800);
    }
    void fitToPageKeepsTheAspectRatio()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, page);
        QTEST(Printing::FitToPage(picture, page), "printed");
    }
};

// The one run at the speed of a real plant: every interval, time-out and pause
// as the program has it, and a control that ticks in real time, so that a step
// that outlives a poll (a control that takes its time to answer again) is seen.
class TestMainFlowAtPlantSpeed : public QObject {
    Q_OBJECT
private slots:
    void goOnLineIntoProgramModeAndLeaveItWithAReset()
    {
        ServerProcess::Options plant;
        plant.tickMs = 100;
        TAppFixture app(plant);
        Timing::SetScale(1);
        QVERIFY2(app.Start(), qPrintable(app.server.Output()));
        app.dialogs.addPassword("4177");
        QVERIFY(app.GoOnLineWith(&TFMain::ProgramEditClick));
        QVERIFY(WaitFor(FMain->FProgramMode, true));
        QCOMPARE(app.Read("Run Mode"), QString("1"));
        QTRY_COMPARE_WITH_TIMEOUT(FMain->PanelText(1), ProgramMode, Patience);

        // Yes to the reset runs the configuration check; once it passed, Yes re-initialises the control.
        app.dialogs.addAnswer(mrYes);
        app.dialogs.addAnswer(mrYes);
        FMain->Exit1->trigger();
        QVERIFY(FMain->isVisible());
        QVERIFY(WaitFor(FMain->FProgramMode, false));
        QCOMPARE(app.dialogs.texts(), QStringList({"Reset control before exiting program?",
                                                   "Program Configuration has passed the error check.  "
                                                   "Re-Initialize Control?"}));
        QVERIFY(app.WaitForValue("Run Mode", "0"));
        QVERIFY(FWorking->isHidden());
        QVERIFY(!FMain->Program1->isChecked() && !FMain->ProgramEdit->isChecked());
    }
};

// One program run against one server: the tests follow each other in order.
class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("HOME", folder.path().toLocal8Bit());
        app = std::make_unique<TAppFixture>();
        qunsetenv("XDG_DATA_HOME"); // the values folder's default place
        QVERIFY2(app->Start(), qPrintable(app->server.Output()));
    }
    void cleanupTestCase() { app.reset(); }
    void init() { app->dialogs.clear(); }

    void startsOffLine()
    {
        QCOMPARE(FMain->windowTitle(), QString("4812 Turvista"));
        QCOMPARE(FMain->PanelText(0), QString("Not Active."));
        QCOMPARE(FMain->PanelText(1), QString("Control Status:  Not Communicating"));
        QVERIFY(!FMain->Save1->isEnabled() && !FMain->Loadfromfile1->isEnabled() && !FMain->BitBtn1->isEnabled());
        // The poll says so in lower case while nothing has come on line.
        QCOMPARE(PollNow(), QString("Control Status:  Not communicating"));
    }

    void cancellingTheNetworkFileStaysOffLine()
    {
        app->dialogs.addFileCancel();
        FMain->RunModeButton->click();
        QCOMPARE(app->dialogs.fileDialogs().size(), 1);
        QCOMPARE(app->dialogs.fileDialogs().constFirst().fileName, ServerProcess::DefaultNetwork());
        QVERIFY(!FMain->OnLine && !FMain->FRunMode);
        QVERIFY(FWorking->isHidden());
    }

    void goingOnLineRunsTheLastCommand()
    {
        // A command refused once on line leaves the program on line and polling.
        app->dialogs.addPasswordCancel();
        QVERIFY(app->GoOnLineWith(&TFMain::ServiceEditClick));
        QCOMPARE(app->dialogs.passwordPrompts().size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(FWorking->isHidden() && FMain->MainPanel->isEnabled() && FMain->tPing->isActive(),
                                 Patience);
        QVERIFY(!FMain->FServiceMode);
        FMain->ServiceViewOnlyClick();
        QVERIFY(WaitFor(FMain->FServiceMode, true));
        QVERIFY(!FMain->FRunMode);
        QVERIFY(FMain->ServiceViewOnly->isChecked() && FMain->Service1->isChecked());
        QCOMPARE(FMain->FServiceMode->Caption(), QString("Service Mode - Application      -      View Only"));
        QVERIFY(FMain->FServiceMode->SubWindow()->isMaximized());
        QVERIFY(FMain->MainPanel->isHidden());
        QVERIFY(FMain->Save1->isEnabled() && FMain->Loadfromfile1->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(FMain->PanelText(1), Running, Patience);
    }

    // Arranging windows reads the values the windows show, never inside a DDE call-back.
    void cascadingAMaximisedWindowRaisesNothing()
    {
        FMain->Cascade1Click();
        QVERIFY(!FMain->FServiceMode->SubWindow()->isMaximized());
        QCOMPARE(PollNow(), Running);
        QCOMPARE(app->dialogs.texts(), QStringList());
        FMain->FServiceMode->SubWindow()->showMaximized();
    }

    void loadIsRefusedWhileTheControlRuns()
    {
        FMain->Loadfromfile1Click();
        QCOMPARE(app->dialogs.texts(), QStringList({"Control must be in program mode for this command."}));
        QVERIFY(app->dialogs.fileDialogs().isEmpty());
    }

    void secondModeWindowOpensAtNormalSize()
    {
        QVERIFY(app->OpenRunMode());
        QVERIFY(FMain->Run1->isChecked());
        QVERIFY(!FMain->FServiceMode->SubWindow()->isMaximized());
        QVERIFY(!FMain->FRunMode->SubWindow()->isMaximized());
        QVERIFY(!FMain->MainPanel->isHidden());
        QCOMPARE(FMain->MdiArea->activeSubWindow(), FMain->FRunMode->SubWindow());
        QTest::keyClick(FMain, Qt::Key_F6, Qt::ControlModifier);
        QCOMPARE(FMain->MdiArea->activeSubWindow(), FMain->FServiceMode->SubWindow());
        QTest::keyClick(FMain, Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(FMain->MdiArea->activeSubWindow(), FMain->FRunMode->SubWindow());
    }

    // Closing a window lays the others out again in the direction chosen last.
    void tilingKeepsItsDirection()
    {
        const int width = FMain->MdiArea->viewport()->width();
        const auto spanning = [width] {
            return FMain->FServiceMode->SubWindow()->width() == width && FMain->FRunMode->SubWindow()->width() == width;
        };
        FMain->TileHorizontalClick();
        QVERIFY(spanning());
        FMain->ArrangeChildren();
        QVERIFY(spanning());
        FMain->TileVerticalClick();
        FMain->ArrangeChildren();
        QVERIFY(!spanning());
    }

    // Closing the window (by keyboard) is no confirmation of a number typed but not entered.
    void closingRunWritesNoUnconfirmedEntry()
    {
        const QString item = QStringLiteral("D_ENTR_SPD.PC_SMP_TUN.TUNE");
        const QString before = app->Read(item);
        FMain->FRunMode->activateWindow();
        FMain->FRunMode->findChild<QPushButton*>("BSetSpeed")->click();
        auto* entry = FMain->FRunMode->findChild<QLineEdit*>("ESetSpeed");
        QTRY_VERIFY(entry->hasFocus());
        entry->selectAll();
        QTest::keyClicks(entry, "1234");
        app->dialogs.clear();
        QTest::keyClick(entry, Qt::Key_F4, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!FMain->FRunMode, Patience);
        QVERIFY(TAppFixture::WaitSettled());
        QCOMPARE(app->Read(item), before);
        QCOMPARE(app->dialogs.texts(), QStringList());
        QVERIFY(app->OpenRunMode());
    }

    // Closed by its title bar's close button, as a screen reader presses it.
    void closingAModeWindowReenablesTheMainWindowLater()
    {
        QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(FMain->FServiceMode->SubWindow());
        QAccessibleInterface* close = frame->child(2);
        QCOMPARE(close->text(QAccessible::Name), QString("Close"));
        close->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::processEvents();
        QVERIFY(FMain->FServiceMode); // only the main window frees it
        QVERIFY(!FMain->isEnabled());
        QCOMPARE(FWorking->Text(), QString("Closing Service Mode"));
        QVERIFY(FWorking->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!FMain->FServiceMode, Patience);
        QVERIFY(!FMain->isEnabled());
        QVERIFY(!FMain->Service1->isChecked() && !FMain->ServiceViewOnly->isChecked());
        QVERIFY(TAppFixture::WaitSettled());
        QVERIFY(FWorking->isHidden());
        QVERIFY(FMain->FRunMode);
    }

    void programChangeIsRefusedWhileRunIsOpen()
    {
        FMain->ProgramOnLineButton->click();
        QCOMPARE(app->dialogs.texts(), QStringList({"The Run window must be closed before entering program mode."}));
        QVERIFY(app->dialogs.passwordPrompts().isEmpty());
        FMain->Program1Click();
        QVERIFY(!FMain->ProgramEdit->isEnabled());

        FMain->ProgramViewOnlyClick();
        QVERIFY(WaitFor(FMain->FProgramMode, true));
        QVERIFY(!FMain->FProgramMode->ExitProgramModeButton->isEnabled());
        QCOMPARE(FMain->FProgramMode->Caption(), QString("Program Mode - Application      -      View Only"));
        for (TModeWindow* window : std::initializer_list<TModeWindow*>{FMain->FRunMode, FMain->FProgramMode})
            window->close();
        QTRY_VERIFY_WITH_TIMEOUT(!FMain->FRunMode && !FMain->FProgramMode, Patience);
        QVERIFY(TAppFixture::WaitSettled());
        QVERIFY(!FMain->Run1->isChecked() && !FMain->Program1->isChecked());
    }

    void passwordsOpenOnlyTheirMode()
    {
        app->dialogs.addPassword("4177");
        app->dialogs.addPassword("43");
        app->dialogs.addPasswordCancel();
        FMain->ServiceModeButton->click();
        QCOMPARE(app->dialogs.texts(), QStringList({"Incorrect password.", "Incorrect password."}));
        QCOMPARE(app->dialogs.passwordPrompts().size(), 3);
        QCOMPARE(app->dialogs.passwordPrompts().constFirst(), QString("Enter password for Service mode:"));
        QVERIFY(!FMain->FServiceMode && !FMain->Service1->isChecked());

        app->dialogs.clear();
        app->dialogs.addPassword("4309");
        FMain->ServiceEditClick();
        QVERIFY(WaitFor(FMain->FServiceMode, true));
        QCOMPARE(FMain->FServiceMode->Caption(), QString("Service Mode - Application"));
        QVERIFY(app->dialogs.texts().isEmpty());
        FMain->FServiceMode->close();
        QVERIFY(WaitFor(FMain->FServiceMode, false));
    }

    void configureModeMustBeEnabledOnTheControl()
    {
        QVERIFY(app->server.Simulate("set Z_CPU_COM.EN_CONFIG.OR=0"));
        FMain->ProgramEditClick();
        QCOMPARE(app->dialogs.texts(),
                 QStringList({"Configure mode is not enabled on the control (Control must be shut down)."}));
        QVERIFY(app->dialogs.passwordPrompts().isEmpty());
        FMain->Program1Click();
        QVERIFY(!FMain->ProgramEdit->isEnabled());
        QVERIFY(app->server.Simulate("set Z_CPU_COM.EN_CONFIG.OR=1"));
        QTRY_VERIFY_WITH_TIMEOUT((FMain->Program1Click(), FMain->ProgramEdit->isEnabled()), Patience);
    }

    void programChangePutsTheControlInConfigureMode()
    {
        app->dialogs.addPassword("4309"); // the Service password does not open Program mode
        app->dialogs.addPassword("4177");
        FMain->ProgramEditClick();
        QCOMPARE(app->dialogs.texts(), QStringList({"Incorrect password."}));
        QCOMPARE(app->dialogs.passwordPrompts().constFirst(), QString("Enter password for Program mode:"));
        QVERIFY(WaitFor(FMain->FProgramMode, true));
        QVERIFY(FMain->ProgramEdit->isChecked());
        QVERIFY(FMain->FProgramMode->ExitProgramModeButton->isEnabled());

        app->dialogs.clear();
        FMain->Run1Click();
        QCOMPARE(app->dialogs.texts(), QStringList({"The control is in program mode.  You must save values from the "
                                                    "Program Edit mode before running."}));
        QVERIFY(!FMain->FRunMode);
    }

    void saveAndLoadThroughTheMenu()
    {
        const QString file = folder.filePath("Unit3.cfg");
        app->dialogs.addAnswer(mrYes);
        app->dialogs.addFileName(file);
        FMain->Save1Click();
        // Saving and loading start in the user's values folder, made if need be;
        // a ~/URQV folder from earlier is used instead.
        const QString values = folder.filePath(".local/share/Turvista");
        QCOMPARE(app->dialogs.fileDialogs().constFirst().initialDir, values);
        QVERIFY(QDir(values).exists());
        QCOMPARE(app->dialogs.texts().value(1), file + " file save complete.");
        QVERIFY(QFile::exists(file));
        QVERIFY(app->WaitForValue("Configuration ID", "Unit3"));
        QVERIFY(FMain->tPing->isActive());

        QVERIFY(QDir(folder.path()).mkdir("URQV"));
        QVERIFY(Load(file));
        QCOMPARE(app->dialogs.fileDialogs().constFirst().fileName, QString("Unit3.cfg"));
        QCOMPARE(app->dialogs.fileDialogs().constFirst().initialDir, folder.filePath("URQV"));
        QCOMPARE(app->dialogs.texts().value(1), file + " file load complete.");
        QVERIFY(app->WaitForValue("Enable RG Blocks", "1"));

        // A file named only by its extension loads without a name or message.
        const QString nameless = folder.filePath(".cfg");
        QVERIFY(QFile::copy(file, nameless));
        QVERIFY(Load(nameless));
        QCOMPARE(app->dialogs.texts().size(), 1);
        QVERIFY(FWorking->isHidden());
        QCOMPARE(app->Read("Configuration ID"), QString("Unit3"));

        // A file the control cannot take: the failure is told.
        QFile broken(folder.filePath("broken.cfg"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("no values here\n");
        broken.close();
        QVERIFY(Load(broken.fileName()));
        QVERIFY(app->dialogs.texts().contains("Load from file failed! Verify file compatibility."));
        QVERIFY(app->WaitForValue("Enable RG Blocks", "1"));
    }

    void printingPutsTheWindowOnOnePage()
    {
        const QString pdf = folder.filePath("page.pdf");
        QGuiApplication::clipboard()->setText("kept");
        app->dialogs.addPrintCancel();
        FMain->Printcurrentpage1Click();
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("kept"));

        app->dialogs.addPrintToFile(pdf);
        FMain->Printcurrentpage1Click();
        QFile printed(pdf);
        QVERIFY(printed.open(QIODevice::ReadOnly));
        const QByteArray content = printed.readAll();
        QVERIFY(content.startsWith("%PDF"));
        QCOMPARE(content.count("/Type /Page\n") + content.count("/Type /Page\r") + content.count("/Type /Page "), 1);
        QVERIFY(!QGuiApplication::clipboard()->image().isNull());
    }

    // Yes is answered in the flow at plant speed.
    void closingWithProgramOpenForChangeCanBeCancelled()
    {
        app->dialogs.addAnswer(mrCancel);
        QVERIFY(!FMain->close());
        QCOMPARE(app->dialogs.texts(), QStringList({"Reset control before exiting program?"}));
        QVERIFY(FMain->FProgramMode && FMain->isVisible());
    }

    void pollErrorsRaiseTheAlarmOnTheThirdFailure()
    {
        const QString alarm = "Communications with the control appear to be down.  Please close the 4812 RQV program "
                              "and restart it.";
        QVERIFY(app->server.SetFaults("refuse=Control Status"));
        QCOMPARE(PollNow(), QString("Control Status:  Not Communicating"));
        QVERIFY(app->server.SetFaults(""));
        QCOMPARE(PollNow(), ProgramMode);

        // Once the link notices the server is gone, every poll fails; the third
        // failure in a row raises the alarm, and every one after it.
        app->server.Kill();
        app->dialogs.clear();
        app->dialogs.setResponder([](const QString&, TMsgDlgType, TMsgDlgButtons) { return int(mrOk); });
        const QString failed = "Communications polling error";
        QVERIFY(QTest::qWaitFor([&] { return PollNow() == failed; }, Patience));
        QCOMPARE(app->dialogs.texts().count(alarm), 0);
        for (int alarms : {0, 1, 2}) {
            QCOMPARE(PollNow(), failed);
            QCOMPARE(app->dialogs.texts().count(alarm), alarms);
        }
    }

private:
    // Loads values through the menu, answering yes and with the file; true
    // when the main window is usable again afterwards.
    bool Load(const QString& file)
    {
        app->dialogs.clear();
        app->dialogs.addAnswer(mrYes);
        app->dialogs.addFileName(file);
        FMain->Loadfromfile1Click();
        return FMain->isEnabled() && FMain->MainPanel->isEnabled() && FMain->tPing->isActive();
    }

    std::unique_ptr<TAppFixture> app;
    QTemporaryDir folder;
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    int failures = 0;
    TestMainWindowRules rules;
    failures += QTest::qExec(&rules, argc, argv);
    {
        TestMainFlowAtPlantSpeed plant;
        failures += QTest::qExec(&plant, argc, argv);
    }
    TestMainWindow program;
    failures += QTest::qExec(&program, argc, argv);
    return failures;
}

#include "tst_mainwindow.moc"
