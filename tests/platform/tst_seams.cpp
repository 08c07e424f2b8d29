// The seams tests turn: the interactive dialog service's message box, and the
// one time scale every duration of the program reads through.
#include "platform/Timing.h"
#include "platform/dialogs/Dialogs.h"
#include "tests/support/TestRunner.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    // Driven offscreen: the box is answered as soon as it is shown.
    void offeredButtonsAndKeys_data()
    {
        QTest::addColumn<unsigned>("buttons");
        QTest::addColumn<int>("enter"); // the default button
        QTest::addColumn<int>("escape");
        QTest::addColumn<int>("press"); // 0: Escape
        QTest::addColumn<int>("result");

        using B = QMessageBox;
        QTest::newRow("yes/no") << unsigned(mbYes | mbNo) << int(B::Yes) << int(B::No) << 0 << int(mrNo);
        QTest::newRow("escape cancels a yes/no/cancel") << unsigned(mbYes | mbNo | mbCancel) << int(B::Yes)
                                                        << int(B::Cancel) << 0 << int(mrCancel);
        QTest::newRow("ok/cancel") << unsigned(mbOK | mbCancel) << int(B::Ok) << int(B::Cancel) << int(B::Ok) << int(mrOk);
        QTest::newRow("no escape") << unsigned(mbAbort | mbRetry | mbIgnore) << int(B::Retry) << -1 << int(B::Ignore)
                                   << int(mrIgnore);
        QTest::newRow("no buttons: OK") << 0u << int(B::Ok) << int(B::Ok) << 0 << int(mrOk);
    }

    void offeredButtonsAndKeys()
    {
        QFETCH(unsigned, buttons);
        QFETCH(int, enter);
        QFETCH(int, escape);
        QFETCH(int, press);
        QFETCH(int, result);

        int shownEnter = -1, shownEscape = -1;
        QTimer operatorHand; // looks for the box on every turn of its event loop
        operatorHand.setInterval(0);
        connect(&operatorHand, &QTimer::timeout, this, [&] {
            auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!shown || !shown->isVisible())
                return;
            operatorHand.stop();
            shownEnter = shown->standardButton(shown->defaultButton());
            shownEscape = shown->escapeButton() ? int(shown->standardButton(shown->escapeButton())) : -1;
            if (press)
                shown->button(QMessageBox::StandardButton(press))->click();
            else
                QTest::keyClick(shown, Qt::Key_Escape);
        });
        operatorHand.start();
        QCOMPARE(MessageDlg("Ready?", TMsgDlgType::mtWarning, buttons), result);
        QCOMPARE(shownEnter, enter);
        QCOMPARE(shownEscape, escape);
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
        QTest::newRow("rounded") << 0.01 << 1250 << 13;
        QTest::newRow("never below 1") << 0.01 << 10 << 1;
        QTest::newRow("zero stays") << 0.01 << 0 << 0;
        QTest::newRow("slower, within int") << 1e6 << 600000 << 0x7fffffff;
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

TURVISTA_TEST_MAIN(TestMessageBox, TestClockScale)

#include "tst_seams.moc"
