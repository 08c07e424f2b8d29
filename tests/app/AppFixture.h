// The program as an operator meets it, for GUI tests: the start windows with
// the dialogs scripted, and the real server (started in private folders) that
// the main window goes on line with through the build's registry entry.
// The program's clocks run as much faster as the server's control (TestTimeScale).
//
//     TAppFixture app;
//     QVERIFY2(app.Start(), qPrintable(app.server.Output()));
//     QVERIFY(app.OpenRunMode());
#pragma once

#include "app/Application.h"
#include "app/Rqv_main.h"
#include "app/Rqv_run.h"
#include "controls/KQBoxLabel.h"
#include "controls/KQForms.h"
#include "app/Working.h"
#include "datalink/KQDatorelControl.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestDdeClient.h"
#include "tests/support/TestRunner.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TAppFixture {
public:
    // A loaded machine may be slow to start the server.
    static constexpr int Patience = 60000;

    explicit TAppFixture(const ServerProcess::Options& options = {}) : server(options)
    {
        qputenv("XDG_CONFIG_DIRS", QByteArray(TURVISTA_BINARY_DIR "/xdg"));
        // The user's own settings and files (trend sets, trip captures) stay in the test's folder.
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
        Timing::SetScale(TestTimeScale);
    }
    // Frees the windows; the server goes with the fixture.
    ~TAppFixture()
    {
        if (FMain) {
            FMain->Ending = true;
            Application::FreeStartWindows();
        }
    }
    TAppFixture(const TAppFixture&) = delete;
    TAppFixture& operator=(const TAppFixture&) = delete;

    // Starts the server and makes the start windows; the main window is shown.
    bool Start()
    {
        if (!server.Start())
            return false;
        control = std::make_unique<TestDdeClient>(QStringLiteral("URQVDatorel"), ServerProcess::Topic());
        Application::CreateStartWindows();
        FMain->show();
        return QTest::qWaitForWindowExposed(FMain);
    }
    // Runs a mode command off line, answers the network file dialog with the
    // bundled network and waits until the program is on line.
    bool GoOnLineWith(void (TFMain::*command)())
    {
        dialogs.addFileName(ServerProcess::DefaultNetwork());
        (FMain->*command)();
        return QTest::qWaitFor([] { return FMain->OnLine; }, Patience);
    }

    // No deferred action is pending and the main window is usable again.
    static bool Settled()
    {
        return !FMain->tMain->isActive() && FMain->RunModeState == 0 && FMain->ProgramModeState == 0
               && FMain->ServiceModeState == 0 && FMain->isEnabled();
    }
    static bool WaitSettled() { return QTest::qWaitFor(Settled, Patience); }

    // Goes on line if need be and opens the Run mode window.
    bool OpenRunMode()
    {
        if (FMain->OnLine)
            FMain->Run1Click();
        else if (!GoOnLineWith(&TFMain::Run1Click))
            return false;
        return QTest::qWaitFor([] { return FMain->FRunMode && Settled(); }, Patience);
    }

    // The control's value of an item, as another client of the server reads it.
    QString Read(const QString& item) const
    {
        return Text(*control, item);
    }
    bool WaitForValue(const QString& item, const QString& value) const
    {
        return QTest::qWaitFor([&] { return Read(item) == value; }, Patience);
    }
    // Gives the control item=value settings (whatever its mode) and waits until
    // it holds them; answers the first setting that failed.
    QString Set(const QStringList& settings)
    {
        for (const QString& setting : settings) {
            const QStringList pair = setting.split(u'=');
            if (!server.Simulate("set " + setting) || !WaitForValue(pair[0], pair[1]))
                return setting;
        }
        return {};
    }

    QTemporaryDir home;
    ServerProcess server;
    TScriptedDialogs dialogs;
    std::unique_ptr<TestDdeClient> control;
};

// A component by its name, in a window or in the Run mode window; a missing one
// ends the test program.
template <class T = QWidget>
T* Find(QObject* in, const QString& name)
{
    T* found = in->findChild<T*>(name);
    if (!found)
        qFatal("no %s", qPrintable(name));
    return found;
}
template <class T = QWidget>
T* Find(const QString& name)
{
    return Find<T>(FMain->FRunMode, name);
}
inline QString Box(QObject* in, const char* name) { return Find<TKQBoxLabel>(in, name)->text(); }

// A part of an editor window is shown: a page by its tab, anything else by not being hidden itself.
// The main of an editor's test: on line through the command, the password
// given, the editor open; then the test class runs.
template <class Test>
int RunOnEditor(int argc, char** argv, TAppFixture*& app, const char* password, void (TFMain::*command)(),
                bool (*opened)())
{
    QApplication application(argc, argv);
    TAppFixture fixture;
    app = &fixture;
    fixture.dialogs.addPassword(QString::fromLatin1(password));
    if (!fixture.Start() || !fixture.GoOnLineWith(command)
        || !QTest::qWaitFor([opened] { return opened() && TAppFixture::Settled(); }, TAppFixture::Patience)) {
        qCritical("The editor did not open: %s %s", qPrintable(fixture.dialogs.texts().join(" / ")),
                  qPrintable(fixture.server.Output()));
        return 1;
    }
    Test test;
    return QTest::qExec(&test, argc, argv);
}

inline bool Shown(QObject* window, const QString& name)
{
    QObject* part = Find<QObject>(window, name);
    if (auto* page = qobject_cast<TKQTabSheet*>(part))
        return page->TabVisible();
    return !static_cast<QWidget*>(part)->isHidden();
}
inline void OpenPage(QObject* window, const QString& page)
{
    Find<TKQPageControl>(window, "PageControl1")->SetActivePage(Find<TKQTabSheet>(window, page));
}
