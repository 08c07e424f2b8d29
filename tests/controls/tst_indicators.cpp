// The indicators and simple editors: numbers in fixed notation with their text
// fallback, the enumerated combo box's text/value list, codes shown as texts
// and the user's choice, and against a control device over a DDE server in the
// same process the labels and on/off box, the check box's ready state, the
// string and number edits, and the bound combo box's one write per choice.
#include "controls/KEnumComboBox.h"
#include "controls/KFloatText.h"
#include "controls/KQBoxLabel.h"
#include "controls/KQCheckBox.h"
#include "controls/KQEnumComboBox.h"
#include "controls/KQLabel.h"
#include "controls/KQNumberEdit.h"
#include "controls/KQStatusText.h"
#include "controls/KQStringEdit.h"
#include "platform/Assert.h"
#include "tests/controls/ControlPlant.h"
#include "tests/support/TestRunner.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString Item = QStringLiteral("C_SPEED.RATED.IN");
const QByteArray RealTunable = TControlPlant::Symbol(2, 0x20, "0", "1000");
const QByteArray IntegerZeroToThree = TControlPlant::Symbol(3, 0x03, "0", "3");
const QString Breaker = QStringLiteral("C_BRKR.CONFIG.IN");
const QVariantList ABC{"A", 1, "B", 2, "C", 3};

void TypeAndEnter(QWidget* edit, const QString& keys)
{
    QTest::keyClicks(edit, keys);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Every test on a fresh plant, and none leaves a message behind.
class PlantTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        plant = std::make_unique<TControlPlant>();
        QVERIFY(plant->opened);
    }
    void cleanup()
    {
        const QStringList shown = plant->dialogs.texts();
        plant.reset();
        QCOMPARE(shown, QStringList());
    }

protected:
    std::unique_ptr<TControlPlant> plant;
};

} // namespace

// ---------------------------------------------------------------------------

class TestFixedNotation : public QObject {
    Q_OBJECT
private slots:
    void fixed_data();
    void fixed();
};

void TestFixedNotation::fixed_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("text");
    QTest::newRow("cut to decimals") << 12.345 << 15 << 1 << "12.3";
    QTest::newRow("padded with zeros") << 150.0 << 15 << 2 << "150.00";
    QTest::newRow("half away from zero") << 2.5 << 15 << 0 << "3";
    QTest::newRow("negative half away from zero") << -2.5 << 15 << 0 << "-3";
    QTest::newRow("decimal half rounds up") << 0.125 << 15 << 2 << "0.13";
    QTest::newRow("carry into a new digit") << 999.996 << 15 << 2 << "1000.00";
    QTest::newRow("small negative shows no sign") << -0.004 << 15 << 2 << "0.00";
    QTest::newRow("small rounds up") << 0.005 << 15 << 2 << "0.01";
    QTest::newRow("precision before decimals") << 123456789.987 << 9 << 2 << "123456790.00";
    QTest::newRow("nine digits of a fraction") << 0.123456789 << 9 << 4 << "0.1235";
    QTest::newRow("zero") << 0.0 << 9 << 3 << "0.000";
    QTest::newRow("too large for fixed") << 1.5e20 << 9 << 2 << "1.50000000E+20";
}

void TestFixedNotation::fixed()
{
    QFETCH(double, value);
    QFETCH(int, precision);
    QFETCH(int, digits);
    QTEST(FloatToTextFixed(value, precision, digits), "text");
}

// ---------------------------------------------------------------------------

class TestIndicators : public PlantTest {
    Q_OBJECT
private slots:
    void labelsShowNumbersOrText_data();
    void labelsShowNumbersOrText();
    void decimalPlacesLimits();
    void onOffBoxFitsBothTexts();
};

void TestIndicators::labelsShowNumbersOrText_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("decimalPlaces");
    QTest::addColumn<QString>("shown");
    QTest::newRow("number") << QByteArray("12.345") << 1 << "12.3";
    QTest::newRow("whole number") << QByteArray("7.6") << 0 << "8";
    QTest::newRow("word") << QByteArray("Open") << 1 << "Open";
    QTest::newRow("unit") << QByteArray("rpm") << 2 << "rpm";
    QTest::newRow("number and word") << QByteArray("12 rpm") << 2 << "12 rpm";
}

void TestIndicators::labelsShowNumbersOrText()
{
    QFETCH(QByteArray, value);
    QFETCH(int, decimalPlaces);
    QFETCH(QString, shown);
    plant->Define(Item, value);
    auto* boxLabel = plant->Make<TKQBoxLabel>("SpeedBox", Item, [&](TKQBoxLabel& l) {
        l.setProperty("DecimalPlaces", decimalPlaces);
        l.setProperty("Text", "0.00");
    });
    auto* label = plant->Make<TKQLabel>("SpeedLabel", Item,
                                        [&](TKQLabel& l) { l.setProperty("DecimalPlaces", decimalPlaces); });
    QSignalSpy boxValues(boxLabel, &TKQBoxLabel::OnValueChange);
    QSignalSpy labelValues(label, &TKQLabel::OnValueChange);
    QCOMPARE(boxLabel->text(), QString("0.00"));
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(boxLabel->text(), shown, ReplyWait);
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), shown, ReplyWait);
    QCOMPARE(label->property("Value").toString(), shown);
    QCOMPARE(boxValues.count(), 1);
    QCOMPARE(labelValues.count(), 1);
    QVERIFY(boxLabel->isReadOnly());
    QVERIFY(QAccessible::queryAccessibleInterface(boxLabel)->state().readOnly);
    QCOMPARE(plant->Pokes(Item), QStringList());
}

void TestIndicators::decimalPlacesLimits()
{
    TKQLabel label;
    label.SetDecimalPlaces(9);
    QCOMPARE(label.DecimalPlaces(), 4);
    label.SetDecimalPlaces(-1);
    QCOMPARE(label.DecimalPlaces(), 0);

    TKQBoxLabel box;
    QCOMPARE(box.DecimalPlaces(), 2);
    box.SetDecimalPlaces(5);
    QCOMPARE(box.DecimalPlaces(), 2);
    box.SetDecimalPlaces(4);
    QCOMPARE(box.DecimalPlaces(), 4);
    QCOMPARE(box.property("ComponentVersion").toString(), QString("Beta 1.03"));

    TKQNumberEdit edit;
    edit.SetDecimalPlaces(7);
    QCOMPARE(edit.DecimalPlaces(), 2);
}

void TestIndicators::onOffBoxFitsBothTexts()
{
    for (const auto& [on, off] : {std::pair{"Energized", "Off"}, std::pair{"On", "De-energized"}}) {
        TKQStatusText box;
        box.SetBoxOnText(on);
        box.SetBoxOffText(off);
        box.show();
        const QFontMetrics metrics(box.BoxFont());
        QVERIFY(box.width() > metrics.horizontalAdvance(on));
        QVERIFY(box.width() > metrics.horizontalAdvance(off));
    }
}

// ---------------------------------------------------------------------------

class TestCheckBox : public PlantTest {
    Q_OBJECT
private slots:
    void becomesUsableWithItsFirstValue();
    void clickWritesAndWaitsForTheEcho();
    void clickWithoutValueSendsNothing();
    void monitorOnlyRefusesClicks();

private:
    TKQCheckBox* Box()
    {
        plant->Define(Item, "0");
        return plant->Make<TKQCheckBox>("HoldBox", Item, [](TKQCheckBox& b) {
            b.setProperty("Caption", "Hold");
            b.setProperty("Enabled", false);
        });
    }
};

void TestCheckBox::becomesUsableWithItsFirstValue()
{
    TKQCheckBox* box = Box();
    box->setProperty("Checked", true);
    QSignalSpy values(box, &TKQCheckBox::OnValueChange);
    QVERIFY(!box->isEnabled());
    plant->Show();
    QTRY_VERIFY_WITH_TIMEOUT(box->isEnabled(), ReplyWait);
    QVERIFY(!box->isChecked());
    QCOMPARE(values.count(), 1);
    QCOMPARE(plant->Pokes(Item), QStringList());
    QCOMPARE(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name), QString("Hold"));
}

void TestCheckBox::clickWritesAndWaitsForTheEcho()
{
    TKQCheckBox* box = Box();
    QSignalSpy clicks(box, &TKQCheckBox::OnClick);
    plant->Show();
    QTRY_VERIFY_WITH_TIMEOUT(box->isEnabled(), ReplyWait);
    plant->Hold(Item);

    box->click();
    QVERIFY(box->isChecked());
    QVERIFY(!box->isEnabled());
    QCOMPARE(clicks.count(), 1);
    plant->Settle();
    QCOMPARE(plant->Pokes(Item), QStringList({"-1"}));
    // Disabled until the device answers: no second write.
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
}

void TestCheckBox::clickWithoutValueSendsNothing()
{
    auto* box = plant->Make<TKQCheckBox>("HoldBox", "NO.SUCH.ITEM");
    plant->Show();
    QVERIFY(box->isEnabled());
    box->click();
    plant->Settle();
    QVERIFY(!box->HasValue());
    QVERIFY(box->isEnabled());
    QCOMPARE(plant->server->pokes, QStringList());
    // The control does not know the item.
    QCOMPARE(plant->dialogs.texts().size(), 1);
    QVERIFY(plant->dialogs.texts().first().contains("NO.SUCH.ITEM"));
    plant->dialogs.clear();
}

void TestCheckBox::monitorOnlyRefusesClicks()
{
    plant->Define(Item, "0");
    auto* box = plant->Make<TKQCheckBox>("HoldBox", Item, [](TKQCheckBox& b) { b.setProperty("IsMonitorOnly", true); });
    QSignalSpy clicks(box, &TKQCheckBox::OnClick);
    // Not applied while loading.
    QVERIFY(box->isEnabled());
    plant->Show();
    QTRY_VERIFY_WITH_TIMEOUT(box->HasValue(), ReplyWait);
    QVERIFY(!box->isEnabled());
    QTest::keyClick(box, Qt::Key_Space);
    box->click();
    QVERIFY(!box->isChecked());
    QCOMPARE(clicks.count(), 0);
    box->SetIsMonitorOnly(false);
    QVERIFY(box->isEnabled());
}

// ---------------------------------------------------------------------------

class TestStringEdit : public PlantTest {
    Q_OBJECT
private slots:
    void enterWritesAndTheBoxFollowsTheEcho();
    void leavingWritesTheTextEvenUnchanged();
    void escapePutsTheItemValueBack();
    void monitorOnlyIsGreyAndReadOnly();

private:
    // An edit of a site name that reads "North plant", with another control to move to.
    TKQStringEdit* Edit(const std::function<void(TKQStringEdit&)>& definition = {})
    {
        plant->Define(SiteItem, "North plant");
        other = new QPushButton("Other", plant->form.get());
        other->move(300, 250);
        return plant->Make<TKQStringEdit>("SiteEdit", SiteItem, definition);
    }
    const QString SiteItem = QStringLiteral("C_SITE.NAME_1.IN");
    QPushButton* other = nullptr;
};

void TestStringEdit::enterWritesAndTheBoxFollowsTheEcho()
{
    TKQStringEdit* edit = Edit();
    QSignalSpy values(edit, &TKQStringEdit::OnValueChange);
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("North plant"), ReplyWait);
    QCOMPARE(values.count(), 1);
    plant->Hold(SiteItem);

    edit->selectAll();
    TypeAndEnter(edit, "Unit 2");
    plant->Settle();
    QCOMPARE(plant->Pokes(SiteItem), QStringList({"Unit 2"}));
    // The device keeps its own text: the box shows it.
    plant->server->SetItem(SiteItem, "UNIT 2");
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("UNIT 2"), ReplyWait);
}

void TestStringEdit::leavingWritesTheTextEvenUnchanged()
{
    TKQStringEdit* edit = Edit();
    QSignalSpy exits(edit, &TKQStringEdit::OnExit);
    QVERIFY(plant->ShowActive());
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("North plant"), ReplyWait);
    edit->setFocus();
    QVERIFY(edit->hasFocus());
    other->setFocus();
    plant->Settle();
    QCOMPARE(plant->Pokes(SiteItem), QStringList({"North plant"}));
    QCOMPARE(exits.count(), 1);
}

void TestStringEdit::escapePutsTheItemValueBack()
{
    TKQStringEdit* edit = Edit();
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("North plant"), ReplyWait);
    QTest::keyClicks(edit, " extension");
    QCOMPARE(edit->text(), QString("North plant extension"));
    QTest::keyClick(edit, Qt::Key_Escape);
    QCOMPARE(edit->text(), QString("North plant"));
    plant->Settle();
    QCOMPARE(plant->Pokes(SiteItem), QStringList());
}

void TestStringEdit::monitorOnlyIsGreyAndReadOnly()
{
    TKQStringEdit* edit = Edit([](TKQStringEdit& e) { e.setProperty("IsMonitorOnly", true); });
    const QColor grey = QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    const QColor normal = QGuiApplication::palette().color(QPalette::Active, QPalette::Text);
    QVERIFY(grey != normal);
    // Applied while loading already.
    QVERIFY(edit->isReadOnly());
    QCOMPARE(edit->palette().color(QPalette::Active, QPalette::Text), grey);
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("North plant"), ReplyWait);
    edit->SetIsMonitorOnly(false);
    QVERIFY(!edit->isReadOnly());
    QCOMPARE(edit->palette().color(QPalette::Active, QPalette::Text), normal);
}

// ---------------------------------------------------------------------------

class TestNumberEdit : public PlantTest {
    Q_OBJECT
private slots:
    void enterWrites_data();
    void enterWrites();
    void everyEnterWritesWithoutWaiting();
    void integerItemClampsAndDropsDecimals();
    void refusesCharactersThatMakeNoNumber();
    void enterOnNoNumberAndEscapePutTheItemValueBack();
    void leavingWritesOrReportsNoNumber();
    void monitorOnlyAtRunTimeIsReadOnly();

private:
    // A real tunable from 0 to 1000 that reads 150, with another control to move to.
    TKQNumberEdit* Edit(const QByteArray& symbol = RealTunable)
    {
        plant->Define(Item, "150", symbol);
        other = new QPushButton("Other", plant->form.get());
        other->move(300, 250);
        return plant->Make<TKQNumberEdit>("RatedEdit", Item);
    }
    // The box shows the item's value (or is null when it does not), selected for typing over.
    TKQNumberEdit* ShownEdit(const QByteArray& symbol = RealTunable)
    {
        TKQNumberEdit* edit = Edit(symbol);
        plant->Show();
        if (!QTest::qWaitFor([edit] { return !edit->text().isEmpty(); }, ReplyWait))
            return nullptr;
        edit->selectAll();
        return edit;
    }
    QPushButton* other = nullptr;
};

void TestNumberEdit::enterWrites_data()
{
    QTest::addColumn<QByteArray>("min");
    QTest::addColumn<QByteArray>("max");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::newRow("fraction cut to six decimals") << QByteArray("-1") << QByteArray("1") << "0.12345678" << "0.123456";
    QTest::newRow("negative fraction cut towards zero")
        << QByteArray("-1") << QByteArray("1") << "-0.9999999" << "-0.999999";
    QTest::newRow("others keep their decimals") << QByteArray("0") << QByteArray("100") << "12.3456789" << "12.3456789";
    QTest::newRow("clamped to the maximum") << QByteArray("0") << QByteArray("1000") << "2000" << "1000";
    QTest::newRow("clamped to the minimum") << QByteArray("0") << QByteArray("1000") << "-5" << "0";
    QTest::newRow("equal limits are none") << QByteArray("0") << QByteArray("0") << "-5" << "-5";
}

void TestNumberEdit::enterWrites()
{
    QFETCH(QByteArray, min);
    QFETCH(QByteArray, max);
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    TKQNumberEdit* edit = ShownEdit(TControlPlant::Symbol(2, 0x20, min, max));
    QVERIFY(edit);
    TypeAndEnter(edit, typed);
    plant->Settle();
    QCOMPARE(plant->Pokes(Item), QStringList({sent}));
    QCOMPARE(plant->dialogs.texts(), QStringList());
}

void TestNumberEdit::everyEnterWritesWithoutWaiting()
{
    TKQNumberEdit* edit = ShownEdit();
    QVERIFY(edit);
    plant->Hold(Item);
    TypeAndEnter(edit, "200");
    QTest::keyClick(edit, Qt::Key_Return);
    plant->Settle();
    QCOMPARE(plant->Pokes(Item), QStringList({"200", "200"}));
}

void TestNumberEdit::integerItemClampsAndDropsDecimals()
{
    TKQNumberEdit* edit = ShownEdit(IntegerZeroToThree);
    QVERIFY(edit);
    QCOMPARE(edit->text(), QString("150.00"));
    TypeAndEnter(edit, "5.5");
    plant->Settle();
    QCOMPARE(plant->Pokes(Item), QStringList({"3"}));
    QCOMPARE(edit->DecimalPlaces(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("3"), ReplyWait);
}

void TestNumberEdit::refusesCharactersThatMakeNoNumber()
{
    TKQNumberEdit* edit = ShownEdit();
    QVERIFY(edit);
    QTest::keyClicks(edit, "1a2 b,-=.5");
    QCOMPARE(edit->text(), QString("12-=.5"));
    QVERIFY(edit->IsValidChar('='));
    QVERIFY(!edit->IsValidChar('e'));
}

void TestNumberEdit::enterOnNoNumberAndEscapePutTheItemValueBack()
{
    TKQNumberEdit* edit = ShownEdit();
    QVERIFY(edit);
    TypeAndEnter(edit, "1-2");
    QCOMPARE(edit->text(), QString("150.00"));
    QTest::keyClicks(edit, "42");
    QTest::keyClick(edit, Qt::Key_Escape);
    QCOMPARE(edit->text(), QString("150.00"));
    plant->Settle();
    QCOMPARE(plant->Pokes(Item), QStringList());
    QCOMPARE(plant->dialogs.texts(), QStringList());
}

void TestNumberEdit::leavingWritesOrReportsNoNumber()
{
    TKQNumberEdit* edit = Edit();
    QSignalSpy exits(edit, &TKQNumberEdit::OnExit);
    QVERIFY(plant->ShowActive());
    QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("150.00"), ReplyWait);
    const auto leaveWith = [&](const QString& typed) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        other->setFocus();
        plant->Settle();
    };
    leaveWith("1-2");
    QCOMPARE(plant->dialogs.texts(), QStringList({"'1-2' is not a valid floating point value"}));
    QCOMPARE(plant->Pokes(Item), QStringList());
    QCOMPARE(exits.count(), 0);

    leaveWith("250.5");
    QCOMPARE(plant->Pokes(Item), QStringList({"250.5"}));
    QCOMPARE(exits.count(), 1);
    QCOMPARE(plant->dialogs.texts().size(), 1);
    plant->dialogs.clear();
}

void TestNumberEdit::monitorOnlyAtRunTimeIsReadOnly()
{
    TKQNumberEdit* edit = ShownEdit();
    QVERIFY(edit);
    QVERIFY(!edit->isReadOnly());
    edit->SetIsMonitorOnly(true);
    QVERIFY(edit->isReadOnly());
    edit->SetIsMonitorOnly(false);
    QVERIFY(!edit->isReadOnly());
}

// ---------------------------------------------------------------------------

class TestEnumList : public QObject {
    Q_OBJECT
private slots:
    void readsPairsInOrderAndWritesThemBack();
    void refusesListsThatAreNotPairs_data();
    void refusesListsThatAreNotPairs();
    void formPropertyTakesTheStoredList();
};

void TestEnumList::readsPairsInOrderAndWritesThemBack()
{
    TKEnumObjectList list;
    list.Add("stale", 9);
    const QVariantList stored{"Not Used", 1, "Generator Breaker Position", 2, "Utility Tie Breaker Position", 3};
    list.ReadEnumObjects(stored);
    QCOMPARE(list.Count(), 3);
    QCOMPARE(list.Get(1).Text, QString("Generator Breaker Position"));
    QCOMPARE(list.Get(1).Value, 2);
    QCOMPARE(list.WriteEnumObjects(), stored);
    list.Clear();
    QVERIFY(list.WriteEnumObjects().isEmpty());
}

void TestEnumList::refusesListsThatAreNotPairs_data()
{
    QTest::addColumn<QVariantList>("stored");
    QTest::newRow("text without value") << QVariantList{"A", 1, "B"};
    QTest::newRow("value as text") << QVariantList{"A", "1"};
    QTest::newRow("fraction") << QVariantList{"A", 1.5};
    QTest::newRow("value first") << QVariantList{1, "A"};
    QTest::newRow("beyond 32 bits") << QVariantList{"A", qlonglong(1) << 40};
}

void TestEnumList::refusesListsThatAreNotPairs()
{
    QFETCH(QVariantList, stored);
    TKEnumObjectList list;
    list.Add("kept", 4);
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, list.ReadEnumObjects(stored));
    QCOMPARE(list.Count(), 1);
}

void TestEnumList::formPropertyTakesTheStoredList()
{
    TKEnumComboBox box;
    // Whole numbers may come as doubles from a JSON reader.
    QVERIFY(box.setProperty("EnumList", QVariantList{"Open", 0.0, "Closed", 1.0}));
    QCOMPARE(box.count(), 2);
    QCOMPARE(box.itemText(1), QString("Closed"));
    QCOMPARE(box.EnumList().Get(1).Value, 1);
}

// ---------------------------------------------------------------------------

class TestEnumComboBox : public QObject {
    Q_OBJECT
private slots:
    void codeShowsItsText_data();
    void codeShowsItsText();
    void codeSetBeforeTheListShowsOnceTheListArrives();
    void emptyListLeavesTheItems();
    void choiceSetsTheCodeAndHolds();
    void accessiblePressOpensTheList();
};

void TestEnumComboBox::codeShowsItsText_data()
{
    QTest::addColumn<QVariantList>("list");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("enumValue");
    QTest::newRow("code of an entry") << ABC << QList<int>{2} << "B" << 2;
    QTest::newRow("code without entry keeps the text") << ABC << QList<int>{2, 7} << "B" << 7;
    QTest::newRow("last entry of a code wins") << QVariantList{"X", 1, "Y", 1} << QList<int>{1} << "Y" << 1;
}

void TestEnumComboBox::codeShowsItsText()
{
    QFETCH(QVariantList, list);
    QFETCH(QList<int>, codes);
    TKEnumComboBox box;
    box.setProperty("EnumList", list);
    for (int code : codes)
        box.SetEnumValue(code);
    QTEST(box.currentText(), "shown");
    QTEST(box.EnumValue(), "enumValue");
}

void TestEnumComboBox::codeSetBeforeTheListShowsOnceTheListArrives()
{
    TKEnumComboBox box;
    box.setProperty("EnumValue", 3);
    box.setProperty("EnumList", ABC);
    QCOMPARE(box.currentText(), QString("C"));
}

void TestEnumComboBox::emptyListLeavesTheItems()
{
    TKEnumComboBox box;
    box.setProperty("EnumList", ABC);
    box.SetEnumValue(1);
    box.setProperty("EnumList", QVariantList());
    QCOMPARE(box.count(), 3);
    // Without entries no code has a text: the text stays.
    box.SetEnumValue(3);
    QCOMPARE(box.currentText(), QString("A"));
    QCOMPARE(box.EnumValue(), 3);
}

void TestEnumComboBox::choiceSetsTheCodeAndHolds()
{
    TKEnumComboBox box;
    box.setProperty("EnumList", ABC);
    box.SetEnumValue(2);
    QSignalSpy changes(&box, &TKEnumComboBox::OnChange);
    box.show();
    QTest::keyClick(&box, Qt::Key_End);
    QCOMPARE(box.currentText(), QString("C"));
    QCOMPARE(box.EnumValue(), 3);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.first().first().value<QObject*>(), &box);
    // Nothing unlocks a box of its own: further choices snap back.
    QTest::keyClick(&box, Qt::Key_Home);
    QCOMPARE(box.currentText(), QString("C"));
    QCOMPARE(box.EnumValue(), 3);
    QCOMPARE(changes.count(), 1);
}

void TestEnumComboBox::accessiblePressOpensTheList()
{
    TKEnumComboBox box;
    box.setObjectName("ModeCombo");
    box.setProperty("EnumList", ABC);
    box.SetEnumValue(2);
    box.show();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&box);
    QCOMPARE(accessible->role(), QAccessible::ComboBox);
    QCOMPARE(accessible->text(QAccessible::Name), QString("ModeCombo"));
    QCOMPARE(accessible->text(QAccessible::Value), QString("B"));
    box.setEnabled(false);
    accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(!box.view()->isVisible());
    box.setEnabled(true);
    accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(box.view()->isVisible());
    box.hidePopup();
}

// ---------------------------------------------------------------------------

class TestBoundEnumComboBox : public PlantTest {
    Q_OBJECT
private slots:
    void choiceIsWrittenOnceAndHoldsUntilTheEcho();
    void monitorOnlyShowsValuesDisabled();
    void definitionShowsItsCodeAndLeavesTheBoxUsable();

private:
    TKQEnumComboBox* Box(const std::function<void(TKQEnumComboBox&)>& definition = {})
    {
        plant->Define(Breaker, "2");
        return plant->Make<TKQEnumComboBox>("BreakerCombo", Breaker, [&](TKQEnumComboBox& box) {
            box.setProperty("EnumList", ABC);
            if (definition)
                definition(box);
        });
    }
};

void TestBoundEnumComboBox::choiceIsWrittenOnceAndHoldsUntilTheEcho()
{
    TKQEnumComboBox* box = Box();
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("B"), ReplyWait);
    plant->Hold(Breaker);

    QTest::keyClick(box, Qt::Key_Down);
    plant->Settle();
    QCOMPARE(plant->Pokes(Breaker), QStringList({"3"}));
    QCOMPARE(box->currentText(), QString("C"));

    // Until the device confirms, another choice snaps back and sends nothing.
    QTest::keyClick(box, Qt::Key_Home);
    QCOMPARE(box->currentText(), QString("C"));
    plant->Settle();
    QCOMPARE(plant->Pokes(Breaker), QStringList({"3"}));

    QSignalSpy values(box, &TKQEnumComboBox::OnValueChange);
    plant->Echo(Breaker);
    QTRY_COMPARE_WITH_TIMEOUT(values.count(), 1, ReplyWait);
    QCOMPARE(box->currentText(), QString("C"));
    QTest::keyClick(box, Qt::Key_Home);
    plant->Settle();
    QCOMPARE(plant->Pokes(Breaker), QStringList({"3", "1"}));
}

void TestBoundEnumComboBox::monitorOnlyShowsValuesDisabled()
{
    TKQEnumComboBox* box = Box([](TKQEnumComboBox& b) { b.setProperty("IsMonitorOnly", true); });
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("B"), ReplyWait);
    QVERIFY(!box->isEnabled());

    plant->server->SetItem(Breaker, "1");
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("A"), ReplyWait);
    QVERIFY(!box->isEnabled());
    box->SetIsMonitorOnly(false);
    QVERIFY(box->isEnabled());
}

void TestBoundEnumComboBox::definitionShowsItsCodeAndLeavesTheBoxUsable()
{
    TKQEnumComboBox* box = Box([](TKQEnumComboBox& b) {
        b.setProperty("EnumValue", 1);
        b.setProperty("Value", 1);
        b.setProperty("Enabled", false);
    });
    // Before any value the box shows the text of the code in its definition.
    QCOMPARE(box->currentText(), QString("A"));
    QVERIFY(!box->isEnabled());
    plant->Show();
    QVERIFY(box->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("B"), ReplyWait);
}

// ---------------------------------------------------------------------------

int main(int argc, char** argv)
{
    QLocale::setDefault(QLocale::c());
    return RunTests<QApplication, TestFixedNotation, TestIndicators, TestCheckBox, TestStringEdit, TestNumberEdit,
                    TestEnumList, TestEnumComboBox, TestBoundEnumComboBox>(argc, argv);
}

#include "tst_indicators.moc"
