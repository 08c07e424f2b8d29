// What every bound control class the form loader knows shares, one row per
// class, each built by the loader from a form description: it shows its item
// and follows it, telling assistive technology; its subscription follows the
// form, its container and its own run-time Visible and Enabled; a value from the
// description is never written; monitor-only never writes; its accessible name
// is its label's caption, else its item; destroying it gives its items back;
// the controls that write are made view-only with their page.
#include "controls/KConfirmDialog.h"
#include "controls/KDrawnButton.h"
#include "controls/KQBoundControl.h"
#include "controls/KSpinEdit.h"
#include "tests/controls/ControlPlant.h"
#include "tests/support/TestRunner.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

using Action = void (*)(QWidget* control);

void StepUp(QWidget* spin)
{
    QTest::keyClick(static_cast<TKSpinEdit*>(spin)->TextBox(), Qt::Key_Up);
}
void ChooseLast(QWidget* box)
{
    QTest::keyClick(box, Qt::Key_End);
}
void Tick(QWidget* box)
{
    static_cast<QAbstractButton*>(box)->click();
}
void TypeAndEnter(QWidget* edit)
{
    static_cast<QLineEdit*>(edit)->selectAll();
    QTest::keyClicks(edit, "200");
    QTest::keyClick(edit, Qt::Key_Return);
}
// A press and release; a confirming button's dialog is confirmed the same way.
void Press(QWidget* button)
{
    QTimer::singleShot(0, [] {
        TKConfirmDialog* dialog = TKConfirmDialog::Open();
        if (!dialog)
            return;
        QTest::mousePress(dialog->DrawnButton(), Qt::LeftButton);
        QTest::mouseRelease(dialog->DrawnButton(), Qt::LeftButton);
        if (dialog->isVisible())
            dialog->CancelButton()->click();
    });
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
}

const QByteArray RealTunable = TControlPlant::Symbol(2, 0x20, "0", "1000");
const char* const Tune = "C_SPEED.GAIN.TUNE";
const QStringList TuneLimits{"C_SPEED.GAIN.LO_LIM_OUT", "C_SPEED.GAIN.HI_LIM_OUT"};

struct BoundClass {
    const char* name;
    const char* item;
    // The item's first and next value at the server, and what the control shows for each.
    QByteArray value, next;
    const char* shown;
    const char* shownNext;
    QAccessible::Role role = QAccessible::StaticText;
    QByteArray symbol = {};
    const char* properties = ""; // always given
    const char* formValue = "";  // a value in the description
    // Set at run time, this property writes runWritten.
    const char* runProperty = nullptr;
    QVariant runValue = {};
    const char* runWritten = nullptr;
    bool ownVisible = false; // run-time Visible moves the subscription
    bool ownEnabled = false; // run-time Enabled moves the subscription
    Action write = nullptr;        // what a user does to write; none for indicators
    const char* written = nullptr; // what that writes first
    bool number = false;           // read as a number, with the unit of a "unitOf" label
    bool viewOnly = false;         // made view-only with its page
};

const BoundClass Classes[] = {
    {.name = "TKQSpinEdit", .item = "C_SPEED.RATED.IN", .value = "150", .next = "3600.5", .shown = "150.00",
     .shownNext = "3600.50", .role = QAccessible::SpinBox, .symbol = RealTunable,
     .formValue = R"("Value": 42, "SpinValue": 43)", .runProperty = "Value", .runValue = 75.0, .runWritten = "75",
     .ownVisible = true, .ownEnabled = true, .write = StepUp, .written = "151.5", .number = true},
    {.name = "TK4812SpinEdit", .item = "C_SPEED.RATED.IN", .value = "150", .next = "3600.5", .shown = "150.00",
     .shownNext = "3600.50", .role = QAccessible::SpinBox, .symbol = RealTunable, .formValue = R"("Value": 42)",
     .runProperty = "Value", .runValue = 75.0, .runWritten = "75", .ownVisible = true, .ownEnabled = true,
     .write = StepUp, .written = "151.5", .number = true, .viewOnly = true},
    {.name = "TK4812SpinTune", .item = Tune, .value = "5", .next = "7.25", .shown = "5.00", .shownNext = "7.25",
     .role = QAccessible::SpinBox, .symbol = RealTunable, .formValue = R"("Value": 42)", .runProperty = "Value",
     .runValue = 7.0, .runWritten = "7", .ownVisible = true, .ownEnabled = true, .write = StepUp, .written = "5.05",
     .number = true, .viewOnly = true},
    {.name = "TKQEnumComboBox", .item = "C_BRKR.CONFIG.IN", .value = "2", .next = "3", .shown = "B", .shownNext = "C",
     .role = QAccessible::ComboBox, .properties = R"("EnumList": ["A", 1, "B", 2, "C", 3])",
     .formValue = R"("Value": 1, "EnumValue": 1)", .runProperty = "Value", .runValue = 1, .runWritten = "1",
     .ownVisible = true, .ownEnabled = true, .write = ChooseLast, .written = "3", .viewOnly = true},
    // A command value seen at rest shows nothing: the pulse buttons show their own presses.
    {.name = "TKQOneShotButton", .item = "CMD.PULSE.IN", .value = "0", .next = "-1", .shown = "Off", .shownNext = "Off",
     .role = QAccessible::PushButton, .formValue = R"("Value": true)", .runProperty = "Value", .runValue = true,
     .runWritten = "-1", .ownVisible = true, .write = Press, .written = "-1", .viewOnly = true},
    {.name = "TKQDAOneShotButton", .item = "CMD.PULSE.IN", .value = "0", .next = "-1", .shown = "Off",
     .shownNext = "Off", .role = QAccessible::PushButton, .formValue = R"("Value": true)", .runProperty = "Value",
     .runValue = true, .runWritten = "-1", .ownVisible = true, .write = Press, .written = "-1", .viewOnly = true},
    {.name = "TKQMomentaryButton", .item = "CMD.PULSE.IN", .value = "0", .next = "-1", .shown = "Off",
     .shownNext = "Off", .role = QAccessible::PushButton, .formValue = R"("Value": true)", .runProperty = "Value",
     .runValue = true, .runWritten = "-1", .ownVisible = true, .ownEnabled = true, .write = Press, .written = "-1",
     .viewOnly = true},
    {.name = "TKQDAMomentaryButton", .item = "CMD.PULSE.IN", .value = "0", .next = "-1", .shown = "Off",
     .shownNext = "Off", .role = QAccessible::PushButton, .formValue = R"("Value": true)", .runProperty = "Value",
     .runValue = true, .runWritten = "-1", .ownVisible = true, .ownEnabled = true, .write = Press, .written = "-1",
     .viewOnly = true},
    {.name = "TKQToggleButton", .item = "CMD.PULSE.IN", .value = "0", .next = "-1", .shown = "Off", .shownNext = "On",
     .role = QAccessible::CheckBox, .formValue = R"("Value": true)", .runProperty = "Value", .runValue = true,
     .runWritten = "-1", .ownEnabled = true, .write = Press, .written = "-1", .viewOnly = true},
    {.name = "TKQCheckBox", .item = "C_HOLD.IN", .value = "0", .next = "-1", .shown = "false", .shownNext = "true",
     .role = QAccessible::CheckBox, .formValue = R"("Checked": true)", .runProperty = "Checked", .runValue = true,
     .runWritten = "-1", .ownVisible = true, .write = Tick, .written = "-1", .viewOnly = true},
    {.name = "TKQStringEdit", .item = "C_SITE.NAME_1.IN", .value = "North plant", .next = "UNIT 2",
     .shown = "North plant", .shownNext = "UNIT 2", .role = QAccessible::EditableText,
     .formValue = R"("Text": "typed")", .write = TypeAndEnter, .written = "200", .viewOnly = true},
    {.name = "TKQNumberEdit", .item = "C_SPEED.RATED.IN", .value = "150", .next = "12.3456", .shown = "150.00",
     .shownNext = "12.35", .role = QAccessible::EditableText, .symbol = RealTunable, .formValue = R"("Text": "7")",
     .write = TypeAndEnter, .written = "200"},
    {.name = "TKQLabel", .item = "C_SPEED.RATED.IN", .value = "12.5", .next = "rpm", .shown = "13", .shownNext = "rpm",
     .formValue = R"("Value": "7")", .ownVisible = true, .number = true},
    {.name = "TKQBoxLabel", .item = "C_SPEED.RATED.IN", .value = "12.5", .next = "7", .shown = "12.50",
     .shownNext = "7.00", .role = QAccessible::EditableText, .formValue = R"("Text": "7")", .ownVisible = true,
     .ownEnabled = true, .number = true},
    {.name = "TKQStatusText", .item = "C_BRKR.CLOSED.OUT", .value = "0", .next = "-1", .shown = "Open",
     .shownNext = "Closed", .properties = R"("BoxOnText": "Closed", "BoxOffText": "Open")",
     .formValue = R"("Value": true)", .ownEnabled = true},
    {.name = "TKQItemSpy", .item = "SPEED.PV.OUT", .value = "3600", .next = "3610", .shown = nullptr,
     .shownNext = nullptr},
};

// What the control shows, as assistive technology reads it: its text where it
// has one, else its value.
QString Shown(QObject* control)
{
    if (auto* box = qobject_cast<QCheckBox*>(control))
        return box->isChecked() ? "true" : "false";
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    if (QAccessibleTextInterface* text = accessible->textInterface())
        return text->text(0, text->characterCount());
    return accessible->text(QAccessible::Value);
}

// Every test on a fresh plant whose server knows the row's items.
class BoundClassTest : public QObject, public PlantFixture<> {
    Q_OBJECT
protected:
    void AddRows(bool (*wanted)(const BoundClass&) = nullptr)
    {
        QTest::addColumn<int>("row");
        for (int row = 0; row < int(std::size(Classes)); ++row)
            if (!wanted || wanted(Classes[row]))
                QTest::newRow(Classes[row].name) << row;
    }
    // The row's control named "Control" in panel "Panel1" of a form not shown
    // yet, with more properties for the description.
    QObject* Load(const BoundClass& c, const QString& more = QString(), const QString& siblings = QString())
    {
        plant->Define(c.item, c.value, c.symbol);
        plant->Define(TuneLimits[0], "1");
        plant->Define(TuneLimits[1], "900");
        QStringList properties{R"("Device": "KQDatorelControl1")", QStringLiteral(R"("ItemName": "%1")").arg(c.item)};
        for (const QString& part : {QString(c.properties), more})
            if (!part.isEmpty())
                properties << part;
        const QString control = QStringLiteral(R"({"class": "%1", "name": "Control", "properties": {%2}})")
                                    .arg(c.name, properties.join(", "));
        plant->Load(QStringLiteral(R"({"class": "TKQPanel", "name": "Panel1", "layout": {"type": "form"},
                                       "children": [%1%2]})")
                        .arg(control, siblings));
        return plant->form->findChild<QObject*>("Control");
    }
    // The tune also holds its limit items.
    QStringList Items(const BoundClass& c) const
    {
        return c.item == QString(Tune) ? TuneLimits + QStringList{Tune} : QStringList{c.item};
    }
    // Which of the control's items have an advise loop.
    QStringList Advised(const BoundClass& c)
    {
        QStringList advised;
        for (const QString& item : Items(c))
            if (plant->Advised(item))
                advised << item;
        return advised;
    }

private slots:
    void init() { Start(); }
    void cleanup() { Stop(); }
};

} // namespace

// ---------------------------------------------------------------------------

class TestBoundClasses : public BoundClassTest {
    Q_OBJECT
private slots:
    void everyBoundClassHasARow();
    void showsTheItemAndFollowsIt_data() { AddRows(); }
    void showsTheItemAndFollowsIt();
    void subscriptionFollowsFormContainerAndOwnState_data() { AddRows(); }
    void subscriptionFollowsFormContainerAndOwnState();
    void valueInTheDescriptionIsNeverWritten_data() { AddRows(); }
    void valueInTheDescriptionIsNeverWritten();
    void monitorOnlyNeverWrites_data()
    {
        AddRows([](const BoundClass& c) { return c.write != nullptr; });
    }
    void monitorOnlyNeverWrites();
    void accessibleNameIsTheLabelElseTheItem_data()
    {
        AddRows([](const BoundClass& c) { return QString(c.name) != "TKQItemSpy"; });
    }
    void accessibleNameIsTheLabelElseTheItem();
    void destroyingGivesTheItemsBack_data() { AddRows(); }
    void destroyingGivesTheItemsBack();
    void viewOnlySwitchesTheControlsThatWrite_data() { AddRows(); }
    void viewOnlySwitchesTheControlsThatWrite();
};

void TestBoundClasses::everyBoundClassHasARow()
{
    RegisterAllFormClasses();
    QStringList bound;
    for (const QString& name : FormClasses::Names())
        if (FormClasses::Find(name)->metaObject->indexOfProperty("ItemName") >= 0)
            bound << name;
    QStringList rows;
    for (const BoundClass& c : Classes)
        rows << c.name;
    rows.sort();
    QCOMPARE(rows, bound);
}

void TestBoundClasses::showsTheItemAndFollowsIt()
{
    QFETCH(int, row);
    const BoundClass& c = Classes[row];
    const char* unitLabel = R"(, {"class": "QLabel", "unitOf": "Control", "properties": {"text": "rpm"}})";
    QObject* control = Load(c, {}, c.number ? unitLabel : "");
    const QString unit = c.number ? " rpm" : "";
    QSignalSpy values(control, SIGNAL(OnValueChange(QObject*)));
    QVERIFY(plant->ShowWithValue(c.item));
    if (c.shown) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        QCOMPARE(Shown(control), c.shown + unit);
        QCOMPARE(accessible->role(), c.role);
        QCOMPARE(accessible->valueInterface() != nullptr, c.number);
        if (c.number)
            QCOMPARE(accessible->valueInterface()->currentValue().toDouble(), QString(c.shown).toDouble());
    }
    plant->Settle();
    values.clear();
    plant->server->SetItem(c.item, c.next);
    QTRY_COMPARE_WITH_TIMEOUT(values.count(), 1, ReplyWait);
    QCOMPARE(values.first().first().value<QObject*>(), control);
    if (c.shownNext)
        QCOMPARE(Shown(control), c.shownNext + unit);
    plant->Settle();
    QCOMPARE(values.count(), 1);
    QCOMPARE(plant->server->pokes, QStringList());
}

void TestBoundClasses::subscriptionFollowsFormContainerAndOwnState()
{
    QFETCH(int, row);
    const BoundClass& c = Classes[row];
    QObject* control = Load(c);
    QVERIFY(control);
    const QStringList all = Items(c);
    QCOMPARE(Advised(c), QStringList()); // a form not shown subscribes nothing
    QVERIFY(plant->ShowWithValue(c.item));
    QCOMPARE(Advised(c), all);

    for (const char* own : {"Visible", "Enabled"}) {
        if (own == QByteArray("Visible") ? !c.ownVisible : !c.ownEnabled)
            continue;
        QVERIFY(control->setProperty(own, false));
        QVERIFY2(Advised(c).isEmpty(), own);
        QVERIFY(control->setProperty(own, true));
        QVERIFY2(Advised(c) == all, own);
    }
    auto* panel = plant->form->findChild<TKQPanel*>("Panel1");
    panel->SetVisible(false);
    QCOMPARE(Advised(c), QStringList());
    panel->SetVisible(true);
    QCOMPARE(Advised(c), all);
    panel->SetEnabled(false);
    QCOMPARE(Advised(c), QStringList());
    panel->SetEnabled(true);
    QCOMPARE(Advised(c), all);
    plant->form->hide();
    QCOMPARE(Advised(c), QStringList());
}

void TestBoundClasses::valueInTheDescriptionIsNeverWritten()
{
    QFETCH(int, row);
    const BoundClass& c = Classes[row];
    QObject* control = Load(c, c.formValue);
    QVERIFY(plant->ShowWithValue(c.item));
    plant->Settle();
    QCOMPARE(plant->server->pokes, QStringList());
    if (!c.runProperty)
        return;
    // The same property set at run time writes.
    QVERIFY(control->setProperty(c.runProperty, c.runValue));
    plant->Settle();
    QCOMPARE(plant->Pokes(c.item), QStringList({c.runWritten}));
}

void TestBoundClasses::monitorOnlyNeverWrites()
{
    QFETCH(int, row);
    const BoundClass& c = Classes[row];
    auto* control = qobject_cast<QWidget*>(Load(c, R"("IsMonitorOnly": true)"));
    QVERIFY(plant->ShowWithValue(c.item));
    c.write(control);
    if (c.runProperty)
        control->setProperty(c.runProperty, c.runValue);
    plant->Settle();
    QCOMPARE(plant->server->pokes, QStringList());

    QVERIFY(control->setProperty("IsMonitorOnly", false));
    plant->Echo(c.item); // a check box set by the program shows the item again
    plant->Settle();
    c.write(control);
    plant->Settle();
    QCOMPARE(plant->Pokes(c.item).value(0), QString(c.written));
}

void TestBoundClasses::accessibleNameIsTheLabelElseTheItem()
{
    QFETCH(int, row);
    const BoundClass& c = Classes[row];
    const QString labelled =
        QStringLiteral(R"(, {"class": "%1", "name": "Labelled", "label": "Rated speed",
                             "properties": {"Device": "KQDatorelControl1", "ItemName": "%2"%3%4}})")
            .arg(c.name, c.item, *c.properties ? ", " : "", c.properties);
    auto* control = qobject_cast<QWidget*>(Load(c, QString(), labelled));
    QVERIFY(plant->ShowWithValue(c.item));
    QCOMPARE(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name), QString(c.item));
    auto* other = plant->form->findChild<QWidget*>("Labelled");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(other);
    QCOMPARE(accessible->text(QAccessible::Name), QString("Rated speed"));
    // The caption is the control's label, not a second text of the same name.
    const auto labels = accessible->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->text(QAccessible::Name), QString("Rated speed"));
}

void TestBoundClasses::destroyingGivesTheItemsBack()
{
    QFETCH(int, row);
    const BoundClass& c = Classes[row];
    // A spy on the same item keeps it.
    const QString keeper =
        QStringLiteral(R"(, {"class": "TKQItemSpy", "properties": {"Device": "KQDatorelControl1", "ItemName": "%1"}})")
            .arg(c.item);
    QObject* control = Load(c, QString(), keeper);
    QVERIFY(plant->ShowWithValue(c.item));
    QCOMPARE(Advised(c), Items(c));
    delete control;
    for (const QString& item : Items(c))
        QCOMPARE(plant->device->RefCount(item), item == c.item ? 1 : 0);
    QCOMPARE(Advised(c), QStringList({c.item}));
    // The destroyed control is no client either.
    plant->form->hide();
    QCOMPARE(Advised(c), QStringList());
}

void TestBoundClasses::viewOnlySwitchesTheControlsThatWrite()
{
    QFETCH(int, row);
    QObject* control = Load(Classes[row]);
    UpdateChildrensMonStatus(plant->form.get(), true);
    QCOMPARE(control->property("IsMonitorOnly").toBool(), Classes[row].viewOnly);
}

// ---------------------------------------------------------------------------

TURVISTA_TEST_MAIN(TestBoundClasses)

#include "tst_boundcontrols.moc"
