#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestRunner.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

class TestScriptedDialogs : public QObject {
    Q_OBJECT

private slots:
    void recordsMessagesAndAnswersInOrder()
    {
        TScriptedDialogs dialogs;
        dialogs.addAnswers({mrYes, mrNo});

        QCOMPARE(MessageDlg("Reset the control?", TMsgDlgType::mtConfirmation, mbYes | mbNo), int(mrYes));
        ShowMessage("Incorrect password.");
        QCOMPARE(MessageDlg("Save changes?", TMsgDlgType::mtWarning, mbYes | mbNo | mbCancel), int(mrNo));

        QCOMPARE(dialogs.texts(), QStringList({"Reset the control?", "Incorrect password.", "Save changes?"}));
        const auto& shown = dialogs.messages();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].type, TMsgDlgType::mtConfirmation);
        QCOMPARE(shown[0].buttons, TMsgDlgButtons(mbYes | mbNo));
        QCOMPARE(shown[0].answer, int(mrYes));
        // ShowMessage is an information box with OK only: it takes no scripted answer.
        QCOMPARE(shown[1].type, TMsgDlgType::mtInformation);
        QCOMPARE(shown[1].buttons, TMsgDlgButtons(mbOK));
        QCOMPARE(shown[1].answer, int(mrOk));
        QCOMPARE(shown[2].answer, int(mrNo));
        QCOMPARE(dialogs.pendingAnswers(), 0);
    }

    void defaultAnswerWhenNothingIsScripted_data()
    {
        QTest::addColumn<unsigned>("buttons");
        QTest::addColumn<int>("answer");
        QTest::newRow("OK") << unsigned(mbOK) << int(mrOk);
        QTest::newRow("OK Cancel") << unsigned(mbOK | mbCancel) << int(mrOk);
        QTest::newRow("Yes No Cancel") << unsigned(mbYes | mbNo | mbCancel) << int(mrCancel);
        QTest::newRow("Yes No") << unsigned(mbYes | mbNo) << int(mrNo);
        QTest::newRow("Abort Retry Ignore") << unsigned(mbAbort | mbRetry | mbIgnore) << int(mrAbort);
        QTest::newRow("none") << 0u << int(mrOk);
    }

    void defaultAnswerWhenNothingIsScripted()
    {
        QFETCH(unsigned, buttons);
        QFETCH(int, answer);
        TScriptedDialogs dialogs;
        QCOMPARE(MessageDlg("question", TMsgDlgType::mtConfirmation, buttons), answer);
    }

    void responderAnswersOnceQueueIsEmpty()
    {
        TScriptedDialogs dialogs;
        dialogs.addAnswer(mrNo);
        dialogs.setResponder([](const QString& text, TMsgDlgType, TMsgDlgButtons) {
            return text.startsWith("Reset") ? mrYes : mrCancel;
        });
        QCOMPARE(MessageDlg("Reset now?", TMsgDlgType::mtConfirmation, mbYes | mbNo), int(mrNo));
        QCOMPARE(MessageDlg("Reset now?", TMsgDlgType::mtConfirmation, mbYes | mbNo), int(mrYes));
        QCOMPARE(MessageDlg("Other?", TMsgDlgType::mtConfirmation, mbOK | mbCancel), int(mrCancel));
    }

    void fileDialogsTakeScriptedNames()
    {
        TScriptedDialogs dialogs;
        dialogs.addFileName("/tmp/plant.net");
        dialogs.addFileCancel();

        TFileDialogRequest open{"Open network", "/tmp", "", {"Network files (*.net)"}, "net"};
        QVERIFY(Dialogs::Current().OpenFile(open));
        QCOMPARE(open.fileName, QString("/tmp/plant.net"));

        TFileDialogRequest save{"Save values", "", "unit.cfg", {}, "cfg"};
        QVERIFY(!Dialogs::Current().SaveFile(save));
        QCOMPARE(save.fileName, QString("unit.cfg"));
        QVERIFY(!Dialogs::Current().SaveFile(save)); // nothing scripted: cancelled

        QCOMPARE(dialogs.fileDialogs().size(), 3);
        QCOMPARE(dialogs.fileDialogs()[0].save, false);
        QCOMPARE(dialogs.fileDialogs()[0].request.title, QString("Open network"));
        QCOMPARE(dialogs.fileDialogs()[0].request.filters, QStringList{"Network files (*.net)"});
        QCOMPARE(dialogs.fileDialogs()[1].save, true);
        QCOMPARE(dialogs.fileDialogs()[1].request.fileName, QString("unit.cfg"));
    }

    void passwordPromptTakesScriptedAnswers()
    {
        TScriptedDialogs dialogs;
        dialogs.addPassword("4177");
        dialogs.addPasswordCancel();

        QString password = "old";
        QVERIFY(Dialogs::Current().Password("Security", "Enter password for Program mode:", password));
        QCOMPARE(password, QString("4177"));
        password = "kept";
        QVERIFY(!Dialogs::Current().Password("Security", "again", password));
        QCOMPARE(password, QString("kept"));

        QCOMPARE(dialogs.passwordPrompts().size(), 2);
        QCOMPARE(dialogs.passwordPrompts()[0].caption, QString("Security"));
        QCOMPARE(dialogs.passwordPrompts()[0].prompt, QString("Enter password for Program mode:"));
    }

    void clearForgetsShownAndScripted()
    {
        TScriptedDialogs dialogs;
        ShowMessage("first");
        dialogs.addAnswer(mrYes);
        dialogs.clear();
        QVERIFY(dialogs.texts().isEmpty());
        QCOMPARE(dialogs.pendingAnswers(), 0);
        // The scripted Yes is gone, so the default No answers.
        QCOMPARE(MessageDlg("q", TMsgDlgType::mtConfirmation, mbYes | mbNo), int(mrNo));
    }

    void nestedRespondersRestoreTheOuterOne()
    {
        QCOMPARE(Dialogs::Installed(), nullptr);
        TScriptedDialogs outer;
        {
            TScriptedDialogs inner;
            QCOMPARE(Dialogs::Installed(), &inner);
            ShowMessage("to inner");
            QCOMPARE(inner.texts(), QStringList{"to inner"});
        }
        QCOMPARE(Dialogs::Installed(), &outer);
        ShowMessage("to outer");
        QCOMPARE(outer.texts(), QStringList{"to outer"});
    }
};

// The interactive service, driven offscreen: the box is answered as soon as it is shown.
class TestInteractiveDialogs : public QObject {
    Q_OBJECT

    static constexpr int operatorCheckInterval = 0;

private slots:
    void messageBoxShowsTypeAndButtons_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<unsigned>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("result");
        QTest::newRow("confirmation, No") << int(TMsgDlgType::mtConfirmation) << unsigned(mbYes | mbNo)
                                          << int(QMessageBox::Question) << "Confirm" << int(QMessageBox::No) << int(mrNo);
        QTest::newRow("warning, Cancel") << int(TMsgDlgType::mtWarning) << unsigned(mbYes | mbNo | mbCancel)
                                         << int(QMessageBox::Warning) << "Warning" << int(QMessageBox::Cancel)
                                         << int(mrCancel);
        QTest::newRow("error, OK") << int(TMsgDlgType::mtError) << unsigned(mbOK) << int(QMessageBox::Critical)
                                   << "Error" << int(QMessageBox::Ok) << int(mrOk);
        QTest::newRow("information, Retry") << int(TMsgDlgType::mtInformation) << unsigned(mbAbort | mbRetry | mbIgnore)
                                            << int(QMessageBox::Information) << "Information"
                                            << int(QMessageBox::Retry) << int(mrRetry);
    }

    void messageBoxShowsTypeAndButtons()
    {
        QFETCH(int, type);
        QFETCH(unsigned, buttons);
        QFETCH(int, icon);
        QFETCH(QString, caption);
        QFETCH(int, press);
        QFETCH(int, result);

        QVERIFY(Dialogs::Installed() == nullptr);
        int shownIcon = -1;
        QString shownCaption, shownText;
        QMessageBox::StandardButtons shownButtons;
        // Looks for the box on every turn of its event loop until it is up.
        QTimer operatorHand;
        operatorHand.setInterval(operatorCheckInterval);
        connect(&operatorHand, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            operatorHand.stop();
            shownIcon = box->icon();
            shownCaption = box->windowTitle();
            shownText = box->text();
            shownButtons = box->standardButtons();
            if (QAbstractButton* button = box->button(QMessageBox::StandardButton(press)))
                button->click();
            else
                box->reject();
        });
        operatorHand.start();
        QCOMPARE(MessageDlg("Ready?", TMsgDlgType(type), buttons), result);
        QCOMPARE(shownIcon, icon);
        QCOMPARE(shownCaption, caption);
        QCOMPARE(shownText, QString("Ready?"));

        QMessageBox::StandardButtons expected;
        if (buttons & mbYes) expected |= QMessageBox::Yes;
        if (buttons & mbNo) expected |= QMessageBox::No;
        if (buttons & mbOK) expected |= QMessageBox::Ok;
        if (buttons & mbCancel) expected |= QMessageBox::Cancel;
        if (buttons & mbAbort) expected |= QMessageBox::Abort;
        if (buttons & mbRetry) expected |= QMessageBox::Retry;
        if (buttons & mbIgnore) expected |= QMessageBox::Ignore;
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

class TestPause : public QObject {
    Q_OBJECT

private slots:
    void replacedPauseFunctionIsCalled()
    {
        Timing::SetPauseFunction(RecordPause);
        Timing::Pause(Timing::ConversationLostPause);
        Timing::SetPauseFunction(nullptr);
        QCOMPARE(pausedFor, Timing::ConversationLostPause);

        pausedFor = -1;
        Timing::Pause(1); // the real sleep again
        QCOMPARE(pausedFor, -1);
    }
};

TURVISTA_TEST_MAIN(TestScriptedDialogs, TestInteractiveDialogs, TestPause)

#include "tst_dialogs.moc"
