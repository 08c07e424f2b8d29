// The enumerated combo box: its text/value list as a form stores it, codes
// shown as texts, the user's choice and its lock, and the bound box against a
// control device over a DDE server in the same process: one write per choice,
// snap-back until the echo, monitor-only, and nothing written while loading.
#include "controls/KEnumComboBox.h"
#include "controls/KQEnumComboBox.h"
#include "platform/Assert.h"
#include "tests/controls/ControlPlant.h"
#include "tests/support/TestRunner.h"

#include <QAccessible>
#include <QAbstractItemView>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString Item = QStringLiteral("C_BRKR.CONFIG.IN");
const QVariantList ABC{"A", 1, "B", 2, "C", 3};

// One key press on a closed box: a single choice.
void Press(QComboBox* box, Qt::Key key)
{
    QTest::keyClick(box, key);
}

} // namespace

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
    Press(&box, Qt::Key_End);
    QCOMPARE(box.currentText(), QString("C"));
    QCOMPARE(box.EnumValue(), 3);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.first().first().value<QObject*>(), &box);
    // Nothing unlocks a box of its own: further choices snap back.
    Press(&box, Qt::Key_Home);
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

class TestBoundEnumComboBox : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void showsTheItemOnceShown();
    void choiceIsWrittenOnceAndHoldsUntilTheEcho();
    void codeWithoutEntryKeepsTheText();
    void monitorOnlyShowsValuesButRefusesChoices();
    void definitionWritesNothingAndLeavesTheBoxUsable();
    void enabledAndVisibleMoveTheSubscription();
    void accessibleNameIsTheLabelElseTheItem();

private:
    TKQEnumComboBox* Box(const std::function<void(TKQEnumComboBox&)>& definition = {})
    {
        return plant->Make<TKQEnumComboBox>("BreakerCombo", Item, [&](TKQEnumComboBox& box) {
            box.setProperty("EnumList", ABC);
            if (definition)
                definition(box);
        });
    }
    std::unique_ptr<TControlPlant> plant;
};

void TestBoundEnumComboBox::init()
{
    plant = std::make_unique<TControlPlant>();
    QVERIFY(plant->opened);
    plant->Define(Item, "2");
}

void TestBoundEnumComboBox::cleanup()
{
    QCOMPARE(plant->dialogs.texts(), QStringList());
    plant.reset();
}

void TestBoundEnumComboBox::showsTheItemOnceShown()
{
    TKQEnumComboBox* box = Box();
    QSignalSpy values(box, &TKQEnumComboBox::OnValueChange);
    for (TKComponent* component : plant->created)
        component->Loaded();
    plant->created.clear();
    QVERIFY(!plant->Advised(Item));
    QVERIFY(!box->HasValue());

    plant->form->show();
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("B"), ReplyWait);
    QVERIFY(plant->Advised(Item));
    QVERIFY(box->HasValue());
    QCOMPARE(box->Value(), 2);
    QCOMPARE(values.count(), 1);
    QCOMPARE(values.first().first().value<QObject*>(), box);
    QCOMPARE(plant->Pokes(Item), QStringList());
}

void TestBoundEnumComboBox::choiceIsWrittenOnceAndHoldsUntilTheEcho()
{
    TKQEnumComboBox* box = Box();
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("B"), ReplyWait);
    plant->Hold(Item);

    Press(box, Qt::Key_Down);
    plant->Settle();
    QCOMPARE(plant->Pokes(Item), QStringList({"3"}));
    QCOMPARE(box->currentText(), QString("C"));

    // Until the device confirms, another choice snaps back and sends nothing.
    Press(box, Qt::Key_Home);
    QCOMPARE(box->currentText(), QString("C"));
    plant->Settle();
    QCOMPARE(plant->Pokes(Item), QStringList({"3"}));

    QSignalSpy values(box, &TKQEnumComboBox::OnValueChange);
    plant->Echo(Item);
    QTRY_COMPARE_WITH_TIMEOUT(values.count(), 1, ReplyWait);
    QCOMPARE(box->currentText(), QString("C"));
    Press(box, Qt::Key_Home);
    plant->Settle();
    QCOMPARE(plant->Pokes(Item), QStringList({"3", "1"}));
}

void TestBoundEnumComboBox::codeWithoutEntryKeepsTheText()
{
    TKQEnumComboBox* box = Box();
    QSignalSpy values(box, &TKQEnumComboBox::OnValueChange);
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("B"), ReplyWait);
    plant->server->SetItem(Item, "7");
    QTRY_COMPARE_WITH_TIMEOUT(box->Value(), 7, ReplyWait);
    QCOMPARE(box->currentText(), QString("B"));
    QCOMPARE(values.count(), 2);
    QCOMPARE(plant->Pokes(Item), QStringList());
}

void TestBoundEnumComboBox::monitorOnlyShowsValuesButRefusesChoices()
{
    TKQEnumComboBox* box = Box([](TKQEnumComboBox& b) { b.setProperty("IsMonitorOnly", true); });
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("B"), ReplyWait);
    QVERIFY(!box->isEnabled());

    Press(box, Qt::Key_End);
    box->SetValue(1);
    plant->server->SetItem(Item, "1");
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("A"), ReplyWait);
    QVERIFY(!box->isEnabled());
    QCOMPARE(plant->Pokes(Item), QStringList());

    // Back to normal: usable, and a choice is written.
    box->SetIsMonitorOnly(false);
    QVERIFY(box->isEnabled());
    Press(box, Qt::Key_End);
    plant->Settle();
    QCOMPARE(plant->Pokes(Item), QStringList({"3"}));
}

void TestBoundEnumComboBox::definitionWritesNothingAndLeavesTheBoxUsable()
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
    plant->Settle();
    QCOMPARE(plant->Pokes(Item), QStringList());
}

void TestBoundEnumComboBox::enabledAndVisibleMoveTheSubscription()
{
    TKQEnumComboBox* box = Box();
    plant->Show();
    QVERIFY(plant->Advised(Item));

    box->SetEnabled(false);
    QVERIFY(!box->isEnabled());
    QVERIFY(!plant->Advised(Item));
    plant->server->SetItem(Item, "1");
    box->SetEnabled(true);
    QVERIFY(plant->Advised(Item));
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QString("A"), ReplyWait);

    box->SetVisible(false);
    QVERIFY(box->isHidden());
    QVERIFY(!plant->Advised(Item));
    box->SetVisible(true);
    QVERIFY(plant->Advised(Item));
}

void TestBoundEnumComboBox::accessibleNameIsTheLabelElseTheItem()
{
    TKQEnumComboBox* plain = Box();
    TKQEnumComboBox* labelled = Box([](TKQEnumComboBox& b) { b.setAccessibleName("Breaker input"); });
    plant->Show();
    QTRY_COMPARE_WITH_TIMEOUT(plain->currentText(), QString("B"), ReplyWait);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(plain);
    QCOMPARE(accessible->text(QAccessible::Name), Item);
    QCOMPARE(accessible->text(QAccessible::Value), QString("B"));
    QCOMPARE(QAccessible::queryAccessibleInterface(labelled)->text(QAccessible::Name), QString("Breaker input"));
}

// ---------------------------------------------------------------------------

TURVISTA_TEST_MAIN(TestEnumList, TestEnumComboBox, TestBoundEnumComboBox)

#include "tst_enumcombo.moc"
