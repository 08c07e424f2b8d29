// The indicators and simple editors: numbers in fixed notation, the enumerated
// combo box's text/value list and codes shown as texts; and against a control
// device over a DDE server in the same process the check box's one write in
// flight, the string and number edits, and the bound combo box's one write per
// choice. What every bound class shares is in tst_boundcontrols.
#include "controls/KEnumComboBox.h"
#include "controls/KFloatText.h"
#include "controls/KQCheckBox.h"
#include "controls/KQEnumComboBox.h"
#include "controls/KQMomentaryButton.h"
#include "controls/KQNumberEdit.h"
#include "controls/KQStringEdit.h"
#include "platform/Assert.h"
#include "tests/controls/ControlPlant.h"
#include "tests/support/TestRunner.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString Item = QStringLiteral("C_SPEED.RATED.IN");
const QByteArray RealTunable = TControlPlant::Symbol(2, 0x20, "0", "1000");
const QString Breaker = QStringLiteral("C_BRKR.CONFIG.IN");
const QVariantList ABC{"A", 1, "B", 2, "C", 3};

void TypeAndEnter(QWidget* edit, const QString& keys)
{
    QTest::keyClicks(edit, keys);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace

// ---------------------------------------------------------------------------

class TestUnbound : public QObject {
    Q_OBJECT
private slots:
    void fixed_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("digits");
        QTest::addColumn<QString>("text");
        QTest::newRow("cut to decimals") << 12.345 << 15 << 1 << "12.3";
        QTest::newRow("half away from zero") << 2.5 << 15 << 0 << "3";
        QTest::newRow("negative half away from zero") << -2.5 << 15 << 0 << "-3";
        QTest::newRow("decimal half rounds up") << 0.125 << 15 << 2 << "0.13";
        QTest::newRow("carry into a new digit") << 999.996 << 15 << 2 << "1000.00";
        QTest::newRow("small negative shows no sign") << -0.004 << 15 << 2 << "0.00";
        QTest::newRow("precision before decimals") << 123456789.987 << 9 << 2 << "123456790.00";
        QTest::newRow("rounded at the precision first") << 1.005 << 9 << 2 << "1.01";
        QTest::newRow("decimals beyond the precision") << 0.000123456789 << 9 << 12 << "0.000123456789";
        QTest::newRow("zero") << 0.0 << 9 << 3 << "0.000";
        QTest::newRow("too large for fixed") << 1.5e20 << 9 << 2 << "1.50000000E+20";
    }
    void fixed()
    {
        QFETCH(double, value);
        QFETCH(int, precision);
        QFETCH(int, digits);
        QTEST(FloatToTextFixed(value, precision, digits), "text");
    }

    void enumListRefusesListsThatAreNotPairs_data()
    {
        QTest::addColumn<QVariantList>("stored");
        QTest::newRow("text without value") << QVariantList{"A", 1, "B"};
        QTest::newRow("value as text") << QVariantList{"A", "1"};
        QTest::newRow("fraction") << QVariantList{"A", 1.5};
        QTest::newRow("value first") << QVariantList{1, "A"};
        QTest::newRow("beyond 32 bits") << QVariantList{"A", qlonglong(1) << 40};
    }
    void enumListRefusesListsThatAreNotPairs()
    {
        QFETCH(QVariantList, stored);
        TKEnumObjectList list;
        list.Add("kept", 4);
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, list.ReadEnumObjects(stored));
        QCOMPARE(list.Count(), 1);
    }

    // The code last set shows its text as soon as a list has it.
    void codeShowsItsText_data()
    {
        QTest::addColumn<QVariantList>("list");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("enumValue");
        QTest::newRow("code of an entry") << ABC << QList<int>{2} << "B" << 2;
        QTest::newRow("code without entry keeps the text") << ABC << QList<int>{2, 7} << "B" << 7;
        QTest::newRow("last entry of a code wins") << QVariantList{"X", 1, "Y", 1} << QList<int>{1} << "Y" << 1;
        QTest::newRow("code set before the list") << QVariantList() << QList<int>{3} << "C" << 3;
        // Whole numbers may come as doubles from a JSON reader.
        QTest::newRow("values as doubles") << QVariantList{"Open", 0.0, "Closed", 1.0} << QList<int>{1} << "Closed" << 1;
    }
    void codeShowsItsText()
    {
        QFETCH(QVariantList, list);
        QFETCH(QList<int>, codes);
        TKEnumComboBox box;
        QVERIFY(box.setProperty("EnumList", list));
        for (int code : codes)
            box.SetEnumValue(code);
        if (list.isEmpty())
            box.setProperty("EnumList", ABC);
        QTEST(box.currentText(), "shown");
        QTEST(box.EnumValue(), "enumValue");
    }

};

// ---------------------------------------------------------------------------

class TestBound : public QObject, public PlantFixture<> {
    Q_OBJECT
private slots:
    void init() { Start(); }
    void cleanup() { Stop(); }

    // Disabled in its definition, usable with its first value; a click writes
    // and disables it until the echo, so one write at most is in flight.
    void checkBoxClickWritesAndWaitsForTheEcho()
    {
        plant->Define(Item, "0");
        auto* box = plant->Make<TKQCheckBox>("HoldBox", Item, [](TKQCheckBox& b) { b.setProperty("Enabled", false); });
        QSignalSpy clicks(box, &TKQCheckBox::OnClick);
        plant->Show();
        QTRY_VERIFY_WITH_TIMEOUT(box->isEnabled(), ReplyWait);
        plant->Hold(Item);
        box->click();
        QVERIFY(box->isChecked());
        QVERIFY(!box->isEnabled());
        QCOMPARE(clicks.count(), 1);
        box->click();
        plant->Settle();
        QCOMPARE(plant->Pokes(Item), QStringList({"-1"}));

        plant->Echo(Item);
        QTRY_VERIFY_WITH_TIMEOUT(box->isEnabled(), ReplyWait);
        QVERIFY(box->isChecked());
        // The device may say otherwise; the box shows what it says.
        plant->server->SetItem(Item, "0");
        QTRY_VERIFY_WITH_TIMEOUT(!box->isChecked(), ReplyWait);
        QCOMPARE(plant->Pokes(Item), QStringList({"-1"}));
        // Set by the program, it writes as a click does, but is no click.
        box->SetChecked(true);
        plant->Settle();
        QCOMPARE(plant->Pokes(Item), QStringList({"-1", "-1"}));
        QVERIFY(!box->isEnabled());
        QCOMPARE(clicks.count(), 1);
    }

    // Escape puts the item's value back; leaving writes the text, even unchanged.
    void stringEditEscapeRestoresAndLeavingWrites()
    {
        const QString site = QStringLiteral("C_SITE.NAME_1.IN");
        plant->Define(site, "North plant");
        auto* other = new QPushButton("Other", plant->form.get());
        other->move(300, 250);
        auto* edit = plant->Make<TKQStringEdit>("SiteEdit", site);
        QSignalSpy exits(edit, &TKQStringEdit::OnExit);
        QVERIFY(plant->ShowActive());
        QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("North plant"), ReplyWait);
        edit->setFocus();
        QTest::keyClicks(edit, " extension");
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(edit->text(), QString("North plant"));
        plant->Settle();
        QCOMPARE(plant->Pokes(site), QStringList());
        other->setFocus(Qt::TabFocusReason);
        plant->Settle();
        QCOMPARE(plant->Pokes(site), QStringList({"North plant"}));
        QCOMPARE(exits.count(), 1);
    }

    void numberEditEnterWrites_data()
    {
        QTest::addColumn<QByteArray>("symbol");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        const auto real = [](const char* min, const char* max) { return TControlPlant::Symbol(2, 0x20, min, max); };
        QTest::newRow("fraction cut to six decimals") << real("-1", "1") << "0.12345678" << "0.123456";
        QTest::newRow("negative fraction cut towards zero") << real("-1", "1") << "-0.9999999" << "-0.999999";
        QTest::newRow("cut as written, not as stored") << real("-1", "1") << "0.0157" << "0.0157";
        QTest::newRow("small value cut as written") << real("-1", "1") << "0.00397" << "0.00397";
        QTest::newRow("others keep their decimals") << real("0", "100") << "12.3456789" << "12.3456789";
        QTest::newRow("clamped to the maximum") << real("0", "1000") << "2000" << "1000";
        QTest::newRow("clamped to the minimum") << real("0", "1000") << "-5" << "0";
        QTest::newRow("equal limits are none") << real("0", "0") << "-5" << "-5";
        QTest::newRow("integer item: clamped, whole") << TControlPlant::Symbol(3, 0x03, "0", "3") << "5.5" << "3";
    }
    void numberEditEnterWrites()
    {
        QFETCH(QByteArray, symbol);
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        TKQNumberEdit* edit = ShownEdit(symbol);
        QVERIFY(edit);
        plant->Hold(Item);
        TypeAndEnter(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return); // every Enter writes, without waiting for the echo
        plant->Settle();
        QCOMPARE(plant->Pokes(Item), QStringList({sent, sent}));
    }

    // Characters that make no number are refused; a text that is still no
    // number is put back on Enter and Escape, and reported on leaving.
    // Only the operator moving on leaves the box: the window losing the focus
    // (closed, disabled, another window, a menu) confirms nothing.
    void numberEditSendsOnlyWhenLeft_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("sent");
        QTest::newRow("tab") << int(Qt::TabFocusReason) << true;
        QTest::newRow("back tab") << int(Qt::BacktabFocusReason) << true;
        QTest::newRow("click elsewhere") << int(Qt::MouseFocusReason) << true;
        QTest::newRow("shortcut") << int(Qt::ShortcutFocusReason) << true;
        QTest::newRow("another window") << int(Qt::ActiveWindowFocusReason) << false;
        QTest::newRow("menu") << int(Qt::PopupFocusReason) << false;
        QTest::newRow("window disabled or closed") << int(Qt::OtherFocusReason) << false;
    }
    void numberEditSendsOnlyWhenLeft()
    {
        QFETCH(int, reason);
        QFETCH(bool, sent);
        TKQNumberEdit* edit = ShownEdit();
        QVERIFY(edit);
        QTest::keyClicks(edit, "42");
        QFocusEvent out(QEvent::FocusOut, Qt::FocusReason(reason));
        QApplication::sendEvent(edit, &out);
        plant->Settle();
        QCOMPARE(plant->Pokes(Item), sent ? QStringList{"42"} : QStringList());
        QVERIFY(plant->dialogs.texts().isEmpty());
    }

    // A click on a button that the box refuses to let go of does nothing: with
    // "-" in a setpoint entry, OK sends no command.
    void refusedEntryKeepsTheFocusFromAButton()
    {
        const QString command = QStringLiteral("D_SPD_R_L.RQV.IN_3");
        plant->Define(command, "0");
        auto* ok = plant->Make<TKQMomentaryButton>("OkButton", command);
        TKQNumberEdit* edit = ShownEdit();
        QVERIFY(edit && plant->ShowActive());
        QTRY_COMPARE_WITH_TIMEOUT(ok->PulseState(), TPulseState::Idle, ReplyWait);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, "-");
        QTest::mousePress(ok, Qt::LeftButton);
        QTest::mouseRelease(ok, Qt::LeftButton);
        plant->Settle();
        QCOMPARE(plant->dialogs.texts(), QStringList({"'-' is not a valid floating point value"}));
        QCOMPARE(plant->Pokes(command), QStringList());
        QVERIFY(edit->hasFocus());
        plant->dialogs.clear();
    }

    void numberEditRefusesWhatIsNoNumber()
    {
        TKQNumberEdit* edit = ShownEdit();
        QVERIFY(edit);
        QSignalSpy exits(edit, &TKQNumberEdit::OnExit);
        QTest::keyClicks(edit, "1a2 b,-=.5");
        QCOMPARE(edit->text(), QString("12-=.5"));
        edit->selectAll();
        TypeAndEnter(edit, "1-2");
        QCOMPARE(edit->text(), QString("150.00"));
        QTest::keyClicks(edit, "42");
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(edit->text(), QString("150.00"));

        QVERIFY(plant->ShowActive());
        const auto leaveWith = [&](const QString& typed) {
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, typed);
            other->setFocus(Qt::TabFocusReason);
            plant->Settle();
        };
        leaveWith("1-2");
        QCOMPARE(plant->dialogs.texts(), QStringList({"'1-2' is not a valid floating point value"}));
        QCOMPARE(plant->Pokes(Item), QStringList());
        QCOMPARE(exits.count(), 0);
        QVERIFY(edit->hasFocus()); // to put the entry right
        leaveWith("250.5");
        QCOMPARE(plant->Pokes(Item), QStringList({"250.5"}));
        QCOMPARE(exits.count(), 1);
        plant->dialogs.clear();
    }

    void comboChoiceIsWrittenOnceAndHoldsUntilTheEcho()
    {
        TKQEnumComboBox* box = Combo();
        plant->Show();
        QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("B"), ReplyWait);
        plant->Hold(Breaker);
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentText(), QString("C"));
        // Until the device confirms, another choice snaps back and sends nothing.
        QTest::keyClick(box, Qt::Key_Home);
        QCOMPARE(box->currentText(), QString("C"));
        plant->Settle();
        QCOMPARE(plant->Pokes(Breaker), QStringList({"3"}));

        QSignalSpy values(box, &TKQEnumComboBox::OnValueChange);
        plant->Echo(Breaker);
        QTRY_COMPARE_WITH_TIMEOUT(values.count(), 1, ReplyWait);
        QTest::keyClick(box, Qt::Key_Home);
        plant->Settle();
        QCOMPARE(plant->Pokes(Breaker), QStringList({"3", "1"}));
    }

    void comboDefinitionShowsItsCodeAndLeavesTheBoxUsable()
    {
        TKQEnumComboBox* box = Combo([](TKQEnumComboBox& b) {
            b.setProperty("EnumValue", 1);
            b.setProperty("Enabled", false);
        });
        // Before any value the box shows the text of the code in its definition.
        QCOMPARE(box->currentText(), QString("A"));
        plant->Show();
        QVERIFY(box->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("B"), ReplyWait);
    }

private:
    // A real tunable that reads 150, shown (or null when it does not show),
    // selected for typing over, with another control to move to.
    TKQNumberEdit* ShownEdit(const QByteArray& symbol = RealTunable)
    {
        plant->Define(Item, "150", symbol);
        other = new QPushButton("Other", plant->form.get());
        other->move(300, 250);
        auto* edit = plant->Make<TKQNumberEdit>("RatedEdit", Item);
        plant->Show();
        if (!QTest::qWaitFor([edit] { return !edit->text().isEmpty(); }, ReplyWait))
            return nullptr;
        edit->selectAll();
        return edit;
    }
    TKQEnumComboBox* Combo(const std::function<void(TKQEnumComboBox&)>& definition = {})
    {
        plant->Define(Breaker, "2");
        return plant->Make<TKQEnumComboBox>("BreakerCombo", Breaker, [&](TKQEnumComboBox& box) {
            box.setProperty("EnumList", ABC);
            if (definition)
                definition(box);
        });
    }

    QPushButton* other = nullptr;
};

// ---------------------------------------------------------------------------

int main(int argc, char** argv)
{
    QLocale::setDefault(QLocale::c());
    return RunTests<QApplication, TestUnbound, TestBound>(argc, argv);
}

#include "tst_indicators.moc"
