// The seams tests turn: every message goes to the installed dialog service
// (the interactive one shows it as a message box), and every duration of the
// program reads through one time scale.
#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestRunner.h"

#include <QPushButton>
#include <QMessageBox>
#include <QTimer>

class TestDialogSeam : public QObject {
    Q_OBJECT

private slots:
    void messagesGoToTheInstalledService()
    {
        QCOMPARE(Dialogs::Installed(), nullptr);
        {
            TScriptedDialogs dialogs;
            QCOMPARE(Dialogs::Installed(), static_cast<TDialogService*>(&dialogs));
            QCOMPARE(&Dialogs::Current(), static_cast<TDialogService*>(&dialogs));
            dialogs.addAnswer(mrNo);
            QCOMPARE(MessageDlg("Save changes?", TMsgDlgType::mtWarning, mbYes | mbNo | mbCancel), int(mrNo));
            ShowMessage("Incorrect password.");
            QCOMPARE(dialogs.messages().size(), 2);
            QCOMPARE(dialogs.messages()[0].type, TMsgDlgType::mtWarning);
            QCOMPARE(dialogs.messages()[0].buttons, TMsgDlgButtons(mbYes | mbNo | mbCancel));
            // ShowMessage is an information box with OK alone.
            QCOMPARE(dialogs.messages()[1].text, QString("Incorrect password."));
            QCOMPARE(dialogs.messages()[1].type, TMsgDlgType::mtInformation);
            QCOMPARE(dialogs.messages()[1].buttons, TMsgDlgButtons(mbOK));
        }
        QCOMPARE(Dialogs::Installed(), nullptr);
    }

    // Driven offscreen: the box is answered as soon as it is shown.
    void interactiveMessageBox_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<unsigned>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("enter");  // the default button
        QTest::addColumn<int>("escape");
        QTest::addColumn<int>("press");  // 0: Escape
        QTest::addColumn<int>("result");

        QTest::newRow("confirmation") << int(TMsgDlgType::mtConfirmation) << unsigned(mbYes | mbNo)
                                      << int(QMessageBox::Question) << "Confirm" << int(QMessageBox::Yes)
                                      << int(QMessageBox::No) << 0 << int(mrNo);
        QTest::newRow("warning") << int(TMsgDlgType::mtWarning) << unsigned(mbYes | mbNo | mbCancel)
                                 << int(QMessageBox::Warning) << "Warning" << int(QMessageBox::Yes)
                                 << int(QMessageBox::Cancel) << 0 << int(mrCancel);
        QTest::newRow("error") << int(TMsgDlgType::mtError) << unsigned(mbOK | mbCancel) << int(QMessageBox::Critical)
                               << "Error" << int(QMessageBox::Ok) << int(QMessageBox::Cancel) << int(QMessageBox::Ok)
                               << int(mrOk);
        QTest::newRow("information") << int(TMsgDlgType::mtInformation) << unsigned(mbAbort | mbRetry | mbIgnore)
                                     << int(QMessageBox::Information) << "Information" << int(QMessageBox::Retry)
                                     << -1 << int(QMessageBox::Ignore) << int(mrIgnore);
        QTest::newRow("no buttons: OK") << int(TMsgDlgType::mtInformation) << 0u << int(QMessageBox::Information)
                                        << "Information" << int(QMessageBox::Ok) << int(QMessageBox::Ok) << 0
                                        << int(mrOk);
    }

    void interactiveMessageBox()
    {
        QFETCH(int, type);
        QFETCH(unsigned, buttons);
        QFETCH(int, icon);
        QFETCH(QString, caption);
        QFETCH(int, enter);
        QFETCH(int, escape);
        QFETCH(int, press);
        QFETCH(int, result);

        QVERIFY(Dialogs::Installed() == nullptr);
        QMessageBox* shown = nullptr;
        int shownIcon = -1, shownEnter = -1, shownEscape = -1;
        QString shownCaption, shownText;
        QMessageBox::StandardButtons shownButtons;
        QTimer operatorHand; // looks for the box on every turn of its event loop
        operatorHand.setInterval(0);
        connect(&operatorHand, &QTimer::timeout, this, [&] {
            shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!shown || !shown->isVisible())
                return;
            operatorHand.stop();
            shownIcon = shown->icon();
            shownCaption = shown->windowTitle();
            shownText = shown->text();
            shownButtons = shown->standardButtons();
            shownEnter = shown->standardButton(shown->defaultButton());
            shownEscape = shown->escapeButton() ? int(shown->standardButton(shown->escapeButton())) : -1;
            if (press)
                shown->button(QMessageBox::StandardButton(press))->click();
            else
                QTest::keyClick(shown, Qt::Key_Escape);
        });
        operatorHand.start();
        QCOMPARE(MessageDlg("Ready?", TMsgDlgType(type), buttons), result);
        QCOMPARE(shownIcon, icon);
        QCOMPARE(shownCaption, caption);
        QCOMPARE(shownText, QString("Ready?"));
        QCOMPARE(shownEnter, enter);
        QCOMPARE(shownEscape, escape);

        QMessageBox::StandardButtons expected;
        const std::pair<unsigned, QMessageBox::StandardButton> offered[] = {
            {mbYes, QMessageBox::Yes},       {mbNo, QMessageBox::No},         {mbOK, QMessageBox::Ok},
            {mbCancel, QMessageBox::Cancel}, {mbAbort, QMessageBox::Abort},   {mbRetry, QMessageBox::Retry},
            {mbIgnore, QMessageBox::Ignore}};
        for (const auto& [button, standard] : offered)
            if ((buttons ? buttons : unsigned(mbOK)) & button)
                expected |= standard;
        QCOMPARE(shownButtons, expected);
    }
};

namespace {
int pausedFor = -1;
void RecordPause(int milliseconds)
{
    pausedFor = milliseconds;
}
}

class TestClockScale : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Timing::SetScale(TestTimeScale); }

    void durationsReadThroughTheScale_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("milliseconds");
        QTest::addColumn<int>("scaled");
        QTest::newRow("real time") << 1.0 << 20000 << 20000;
        QTest::newRow("a hundredth") << 0.01 << 5000 << 50;
        QTest::newRow("rounded") << 0.01 << 1250 << 13;
        QTest::newRow("never below 1") << 0.01 << 10 << 1;
        QTest::newRow("zero stays") << 0.01 << 0 << 0;
        QTest::newRow("slower, within int") << 1e6 << 600000 << 0x7fffffff;
        QTest::newRow("no factor: real time") << 0.0 << 1000 << 1000;
        QTest::newRow("negative factor: real time") << -2.0 << 1000 << 1000;
    }

    void durationsReadThroughTheScale()
    {
        QFETCH(double, scale);
        QFETCH(int, milliseconds);
        QFETCH(int, scaled);
        Timing::SetScale(scale);
        QCOMPARE(int(Timing::Span(milliseconds)), scaled);
        // A product of durations is scaled once, as a whole.
        QCOMPARE(int(Timing::Span(milliseconds / 2) * 2), Timing::Scaled(milliseconds / 2 * 2));
    }

    void pausesGoThroughTheReplaceableFunction()
    {
        Timing::SetScale(0.01);
        Timing::SetPauseFunction(RecordPause);
        Timing::Pause(Timing::ConversationLostPause);
        Timing::SetPauseFunction(nullptr);
        QCOMPARE(pausedFor, 10);
        pausedFor = -1;
        Timing::Pause(1); // the real sleep again
        QCOMPARE(pausedFor, -1);
    }
};

TURVISTA_TEST_MAIN(TestDialogSeam, TestClockScale)

#include "tst_seams.moc"
