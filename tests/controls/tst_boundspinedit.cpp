// The bound spin edits on a form, against a control device that talks to a DDE
// server in the same process: values shown from the device, one write per value
// received, clamping into the item's limits, monitor-only, subscriptions, and
// the tune variant's limit items.
#include "controls/K4812SpinTune.h"
#include "controls/KQForms.h"
#include "datalink/KQDatorelControl.h"
#include "tests/support/TestLink.h"
#include "tests/support/TestRunner.h"

#include <QAccessible>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

namespace {

const QString Topic = QStringLiteral("4812.net(Dflt Control ID)");

// A symbol reply: class, data type, minimum and maximum.
QByteArray Symbol(char classCode, char typeCode, const QByteArray& min, const QByteArray& max)
{
    QByteArray reply;
    reply.append(classCode).append(typeCode).append(min).append('\0').append(max).append('\0');
    return reply;
}
const QByteArray RealTunable = Symbol(2, 0x20, "0", "1000");

void NoPause(int) {}

// A server with a control behind it, a control device that has answered, and
// a form to put spin edits on.
struct Plant : TestLink {
    Plant() : TestLink(Topic, NoPause)
    {
        TKQStatusPanel::AddPanel(&bar, 200);
        control = std::make_unique<TKQDatorelControl>();
        control->SetIdentifier(Topic);
        control->StatusPanel()->SetStatusBar(&bar);
        server->SetItem("Control Status", "1");
        server->SetItem("Run Mode", "0");
        if (opened) {
            control->ConversationReady(conversation.get());
            control->ConnectPollTimer();
        }
        form = std::make_unique<TKQForm>();
    }
    ~Plant()
    {
        form.reset();
        control.reset();
    }

    void Define(const QString& item, const QByteArray& value, const QByteArray& symbol = RealTunable)
    {
        server->SetItem(item, value);
        server->SetBinary(item, symbol);
    }

    // Created as the form loader does: properties set while loading.
    template <class T = TK4812SpinEdit>
    T* Add(const QString& item, const std::function<void(QObject&)>& definition = {})
    {
        auto* spin = new T(form.get());
        spin->BeginLoading();
        spin->setProperty("Device", QVariant::fromValue<QObject*>(control.get()));
        spin->setProperty("ItemName", item);
        if (definition)
            definition(*spin);
        components.push_back(spin);
        return spin;
    }
    void LoadAndShow()
    {
        for (TKComponent* component : components)
            component->Loaded();
        form->show();
    }

    QStatusBar bar;
    std::unique_ptr<TKQDatorelControl> control;
    std::unique_ptr<TKQForm> form;
    std::vector<TKComponent*> components;
};

// Returns once the server has handled everything sent before: its reply to a
// request comes after its handling of what came earlier on the conversation.
void Barrier(Plant& plant)
{
    plant.control->IsRunMode();
}

void TypeAndEnter(TKSpinEdit& spin, const QString& keys)
{
    spin.TextBox()->selectAll();
    QTest::keyClicks(spin.TextBox(), keys);
    QTest::keyClick(spin.TextBox(), Qt::Key_Return);
}

int EnabledButtons(const TKSpinEdit& spin)
{
    int enabled = 0;
    for (auto which : {TKSpinEdit::sbCoarseUp, TKSpinEdit::sbCoarseDown, TKSpinEdit::sbFineUp,
                       TKSpinEdit::sbFineDown, TKSpinEdit::sbCheck})
        enabled += spin.Button(which)->isEnabled() ? 1 : 0;
    return enabled;
}

QColor TextColor(const TKSpinEdit& spin)
{
    return spin.TextBox()->palette().color(QPalette::Active, QPalette::Text);
}

} // namespace

#define WAIT_FOR_TEXT(spin, text) QTRY_COMPARE_WITH_TIMEOUT((spin)->Text(), QString(text), ReplyWait)

// ---------------------------------------------------------------------------

class TestWrites : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { plant.reset(); }

    void showsTheDeviceValueOnceShown();
    void stepWaitsForTheEchoAndSendsOncePerValue();
    void nothingIsSentBeforeTheFirstValue();
    void valueInTheDefinitionIsNeverWritten();
    void clamping_data();
    void clamping();
    void integerItemsStepInWholeNumbers();
    void failedWriteShowsTheDeviceValue();
    void typedChangeBand_data();
    void typedChangeBand();

private:
    std::unique_ptr<Plant> plant;
};

void TestWrites::init()
{
    plant = std::make_unique<Plant>();
    QVERIFY(plant->opened);
    QVERIFY(plant->control->IsConnected());
}

void TestWrites::showsTheDeviceValueOnceShown()
{
    plant->Define("C_SPEED.RATED.IN", "150");
    auto* spin = plant->Add("C_SPEED.RATED.IN");
    QSignalSpy values(spin, &TKQSpinEdit::OnValueChange);
    for (TKComponent* component : plant->components)
        component->Loaded();
    QVERIFY(!spin->HasValue());
    QCOMPARE(spin->Text(), QString());
    QVERIFY(plant->server->advised.isEmpty()); // a form not shown subscribes nothing

    plant->form->show();
    WAIT_FOR_TEXT(spin, "150.00");
    QVERIFY(plant->server->advised.contains("C_SPEED.RATED.IN"));
    QVERIFY(spin->HasValue());
    QCOMPARE(spin->SpinValue(), 150.0);
    QCOMPARE(values.count(), 1);
    QCOMPARE(values.first().first().value<QObject*>(), spin);

    plant->server->SetItem("C_SPEED.RATED.IN", "3600.5");
    WAIT_FOR_TEXT(spin, "3600.50");
    QCOMPARE(values.count(), 2);
    QVERIFY(plant->server->pokes.isEmpty());
}

void TestWrites::stepWaitsForTheEchoAndSendsOncePerValue()
{
    plant->Define("C_SPEED.RATED.IN", "150");
    auto* spin = plant->Add("C_SPEED.RATED.IN");
    QSignalSpy changes(spin, &TKSpinEdit::OnChangeValue);
    plant->LoadAndShow();
    WAIT_FOR_TEXT(spin, "150.00");

    spin->StepFineUp();
    QCOMPARE(spin->Text(), QString("150.00")); // not its own step
    spin->StepCoarseUp(); // before the echo: not sent
    QCOMPARE(changes.count(), 2);
    WAIT_FOR_TEXT(spin, "151.50");
    QCOMPARE(plant->server->pokes, QStringList({"C_SPEED.RATED.IN=151.5"}));
    QCOMPARE(spin->SpinValue(), 151.5); // the echo replaced the unsent step

    spin->StepFineDown();
    WAIT_FOR_TEXT(spin, "149.99");
    QCOMPARE(plant->server->pokes.last(), QString("C_SPEED.RATED.IN=149.985"));
    QCOMPARE(plant->server->pokes.size(), 2);
}

void TestWrites::nothingIsSentBeforeTheFirstValue()
{
    plant->Define("C_SPEED.RATED.IN", "150");
    auto* spin = plant->Add("C_SPEED.RATED.IN");
    for (TKComponent* component : plant->components)
        component->Loaded();
    spin->StepCoarseUp();
    TypeAndEnter(*spin, "10");
    QCOMPARE(spin->Text(), QString("10")); // still as typed: nothing to show from the device
    plant->form->show();
    WAIT_FOR_TEXT(spin, "150.00");
    QVERIFY(plant->server->pokes.isEmpty());
}

void TestWrites::valueInTheDefinitionIsNeverWritten()
{
    plant->Define("C_SPEED.RATED.IN", "150");
    auto* spin = plant->Add("C_SPEED.RATED.IN", [](QObject& spin) {
        spin.setProperty("Value", 42.0);
        spin.setProperty("SpinValue", 43.0);
    });
    QCOMPARE(spin->Text(), QString()); // not shown either
    plant->LoadAndShow();
    WAIT_FOR_TEXT(spin, "150.00");
    QVERIFY(plant->server->pokes.isEmpty());
}

void TestWrites::clamping_data()
{
    QTest::addColumn<QByteArray>("min");
    QTest::addColumn<QByteArray>("max");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");

    QTest::newRow("above the maximum") << QByteArray("0") << QByteArray("50") << "80" << "50";
    QTest::newRow("below the minimum") << QByteArray("0") << QByteArray("50") << "-5" << "0";
    QTest::newRow("inside") << QByteArray("0") << QByteArray("50") << "49.5" << "49.5";
    QTest::newRow("no limits: both 0") << QByteArray("0") << QByteArray("0") << "80" << "80";
    QTest::newRow("no limits: both equal") << QByteArray("10") << QByteArray("10") << "-80" << "-80";
    QTest::newRow("negative range") << QByteArray("-100.0") << QByteArray("-10.0") << "-150" << "-100";
}

void TestWrites::clamping()
{
    QFETCH(QByteArray, min);
    QFETCH(QByteArray, max);
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    plant->Define("C_SPEED.MIN_GOV.IN", "20", Symbol(3, 0x20, min, max));
    auto* spin = plant->Add("C_SPEED.MIN_GOV.IN");
    plant->LoadAndShow();
    WAIT_FOR_TEXT(spin, "20.00");
    TypeAndEnter(*spin, typed);
    QTRY_COMPARE_WITH_TIMEOUT(plant->server->pokes, QStringList({"C_SPEED.MIN_GOV.IN=" + sent}), ReplyWait);
    WAIT_FOR_TEXT(spin, TKSpinEdit::FormatValue(sent.toDouble(), 2));
    QVERIFY(!spin->Typing());
    QVERIFY(plant->dialogs.texts().isEmpty()); // clamped without a message
}

void TestWrites::integerItemsStepInWholeNumbers()
{
    plant->Define("C_START.TRIES.IN", "250", Symbol(3, 0x03, "0", "1000"));
    auto* spin = plant->Add("C_START.TRIES.IN");
    plant->LoadAndShow();
    WAIT_FOR_TEXT(spin, "250.00");
    spin->StepFineUp();
    QCOMPARE(spin->DecimalPlaces(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(plant->server->pokes, QStringList({"C_START.TRIES.IN=252"}), ReplyWait);
    WAIT_FOR_TEXT(spin, "252");
}

void TestWrites::failedWriteShowsTheDeviceValue()
{
    plant->Define("C_SPEED.RATED.IN", "20");
    auto* spin = plant->Add("C_SPEED.RATED.IN");
    plant->LoadAndShow();
    WAIT_FOR_TEXT(spin, "20.00");
    QCOMPARE(spin->GetMaxValue(), 1000.0); // limits known before the conversation goes
    plant->control->ConversationLost();
    TypeAndEnter(*spin, "80");
    QCOMPARE(spin->Text(), QString("20.00"));
    QVERIFY(!spin->Typing());
    Barrier(*plant);
    QVERIFY(plant->server->pokes.isEmpty());
}

void TestWrites::typedChangeBand_data()
{
    QTest::addColumn<bool>("page");
    QTest::addColumn<bool>("rangeChecking");
    QTest::addColumn<QByteArray>("runMode");
    QTest::addColumn<QString>("sent");

    QTest::newRow("checked, configure mode: kept") << false << true << QByteArray("0") << "100";
    QTest::newRow("checked, run mode: taken") << false << true << QByteArray("1") << "150";
    QTest::newRow("not checked: taken") << false << false << QByteArray("0") << "150";
    QTest::newRow("page spin edit: taken") << true << true << QByteArray("0") << "150";
}

void TestWrites::typedChangeBand()
{
    QFETCH(bool, page);
    QFETCH(bool, rangeChecking);
    QFETCH(QByteArray, runMode);
    QFETCH(QString, sent);
    plant->server->SetItem("Run Mode", runMode);
    plant->Define("S_SPEED.SETPT.IN", "100");
    TKQSpinEdit* spin = nullptr;
    const auto definition = [rangeChecking](QObject& spin) { spin.setProperty("DoRangeChecking", rangeChecking); };
    if (page)
        spin = plant->Add<TK4812SpinEdit>("S_SPEED.SETPT.IN", definition);
    else
        spin = plant->Add<TKQSpinEdit>("S_SPEED.SETPT.IN", definition);
    plant->LoadAndShow();
    WAIT_FOR_TEXT(spin, "100.00");
    TypeAndEnter(*spin, "150");
    QTRY_COMPARE_WITH_TIMEOUT(plant->server->pokes, QStringList({"S_SPEED.SETPT.IN=" + sent}), ReplyWait);
}

// ---------------------------------------------------------------------------

class TestMonitorOnlyAndState : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { plant.reset(); }

    void monitorOnlyAppliesAtTheEndOfLoading();
    void monitorOnlyNeverWrites();
    void editingComesBackOnlyWhenEnabled();
    void enabledAndVisibleSubscribe();
    void accessibleNameIsTheItemName();

private:
    std::unique_ptr<Plant> plant;
};

void TestMonitorOnlyAndState::init()
{
    plant = std::make_unique<Plant>();
    QVERIFY(plant->opened);
    plant->Define("C_SPEED.RATED.IN", "150");
}

void TestMonitorOnlyAndState::monitorOnlyAppliesAtTheEndOfLoading()
{
    auto* spin = plant->Add("C_SPEED.RATED.IN", [](QObject& spin) { spin.setProperty("IsMonitorOnly", true); });
    const QColor writable = TextColor(*spin);
    QCOMPARE(EnabledButtons(*spin), 5);
    QVERIFY(!spin->TextBox()->isReadOnly());
    plant->LoadAndShow();
    QCOMPARE(EnabledButtons(*spin), 0);
    QVERIFY(spin->TextBox()->isReadOnly());
    QCOMPARE(TextColor(*spin), QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text));
    QVERIFY(TextColor(*spin) != writable);
    WAIT_FOR_TEXT(spin, "150.00"); // still shows the item
}

void TestMonitorOnlyAndState::monitorOnlyNeverWrites()
{
    auto* spin = plant->Add("C_SPEED.RATED.IN", [](QObject& spin) { spin.setProperty("IsMonitorOnly", true); });
    plant->LoadAndShow();
    WAIT_FOR_TEXT(spin, "150.00");
    QTest::keyClick(spin->TextBox(), Qt::Key_Up);
    QTest::keyClicks(spin->TextBox(), "9");
    QVERIFY(!spin->Typing());
    QTest::keyClick(spin->TextBox(), Qt::Key_Return);
    spin->StepCoarseUp();
    spin->SetValue(75);
    QCOMPARE(spin->Text(), QString("150.00"));
    Barrier(*plant);
    QVERIFY(plant->server->pokes.isEmpty());

    spin->SetIsMonitorOnly(false);
    plant->server->SetItem("C_SPEED.RATED.IN", "160");
    WAIT_FOR_TEXT(spin, "160.00");
    spin->SetValue(75);
    QTRY_COMPARE_WITH_TIMEOUT(plant->server->pokes, QStringList({"C_SPEED.RATED.IN=75"}), ReplyWait);
}

void TestMonitorOnlyAndState::editingComesBackOnlyWhenEnabled()
{
    auto* spin = plant->Add("C_SPEED.RATED.IN");
    const QColor writable = TextColor(*spin);
    plant->LoadAndShow();
    spin->SetEnabled(false);
    QCOMPARE(EnabledButtons(*spin), 0);
    QVERIFY(!spin->isEnabled());
    spin->SetIsMonitorOnly(true);
    spin->SetIsMonitorOnly(false);
    QCOMPARE(EnabledButtons(*spin), 0); // own Enabled is still false
    QVERIFY(spin->TextBox()->isReadOnly());
    spin->SetEnabled(true);
    QCOMPARE(EnabledButtons(*spin), 5);
    QVERIFY(!spin->TextBox()->isReadOnly());
    QCOMPARE(TextColor(*spin), writable);
}

void TestMonitorOnlyAndState::enabledAndVisibleSubscribe()
{
    auto* spin = plant->Add("C_SPEED.RATED.IN");
    plant->LoadAndShow();
    WAIT_FOR_TEXT(spin, "150.00");
    QVERIFY(plant->server->advised.contains("C_SPEED.RATED.IN"));

    spin->setProperty("Enabled", false);
    QTRY_VERIFY_WITH_TIMEOUT(!plant->server->advised.contains("C_SPEED.RATED.IN"), ReplyWait);
    spin->setProperty("Enabled", true);
    QTRY_VERIFY_WITH_TIMEOUT(plant->server->advised.contains("C_SPEED.RATED.IN"), ReplyWait);

    spin->setProperty("Visible", false);
    QVERIFY(spin->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(!plant->server->advised.contains("C_SPEED.RATED.IN"), ReplyWait);
    plant->server->SetItem("C_SPEED.RATED.IN", "170");
    spin->setProperty("Visible", true);
    WAIT_FOR_TEXT(spin, "170.00");
}

void TestMonitorOnlyAndState::accessibleNameIsTheItemName()
{
    auto* spin = plant->Add("C_SPEED.RATED.IN");
    plant->LoadAndShow();
    WAIT_FOR_TEXT(spin, "150.00");
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(spin);
    QCOMPARE(face->text(QAccessible::Name), QString("C_SPEED.RATED.IN"));
    QCOMPARE(face->text(QAccessible::Value), QString("150.00"));
}

// ---------------------------------------------------------------------------

class TestTune : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { plant.reset(); }

    void limitItemsGiveTheRange();
    void otherNamesHaveNoLimitItems();
    void clampUsesTheItemsOwnLimits();
    void disablingUnsubscribesTheLimits();
    void destroyingReleasesAllThreeItems();

private:
    TK4812SpinTune* AddTune(const QString& name = QStringLiteral("C_SPEED.GAIN.TUNE"));
    std::unique_ptr<Plant> plant;
};

void TestTune::init()
{
    plant = std::make_unique<Plant>();
    QVERIFY(plant->opened);
    plant->Define("C_SPEED.GAIN.TUNE", "5", Symbol(2, 0x20, "0", "100"));
    plant->server->SetItem("C_SPEED.GAIN.LO_LIM_OUT", "1");
    plant->server->SetItem("C_SPEED.GAIN.HI_LIM_OUT", "9");
}

TK4812SpinTune* TestTune::AddTune(const QString& name)
{
    return plant->Add<TK4812SpinTune>(name);
}

void TestTune::limitItemsGiveTheRange()
{
    auto* spin = AddTune();
    QSignalSpy limitChanges(spin, &TK4812SpinTune::OnLimitChange);
    for (TKComponent* component : plant->components)
        component->Loaded();
    QCOMPARE(plant->control->RefCount("C_SPEED.GAIN.LO_LIM_OUT"), 1);
    QCOMPARE(plant->control->RefCount("C_SPEED.GAIN.HI_LIM_OUT"), 1);
    // Without limit values: the item's own limits.
    QCOMPARE(spin->GetMinValue(), 0.0);
    QCOMPARE(spin->GetMaxValue(), 100.0);

    plant->form->show();
    WAIT_FOR_TEXT(spin, "5.00");
    QTRY_COMPARE_WITH_TIMEOUT(spin->GetMaxValue(), 9.0, ReplyWait);
    QTRY_COMPARE_WITH_TIMEOUT(spin->GetMinValue(), 1.0, ReplyWait);
    QVERIFY(plant->server->advised.contains("C_SPEED.GAIN.LO_LIM_OUT"));
    QVERIFY(plant->server->advised.contains("C_SPEED.GAIN.HI_LIM_OUT"));
    const int before = int(limitChanges.count());
    QVERIFY(before >= 2);

    plant->server->SetItem("C_SPEED.GAIN.HI_LIM_OUT", "8");
    QTRY_COMPARE_WITH_TIMEOUT(spin->GetMaxValue(), 8.0, ReplyWait);
    QCOMPARE(limitChanges.count(), before + 1);
    QCOMPARE(limitChanges.last().first().value<QObject*>(), spin);
}

void TestTune::otherNamesHaveNoLimitItems()
{
    plant->Define("C_SPEED.GAIN.IN", "5", Symbol(2, 0x20, "0", "100"));
    auto* spin = AddTune("C_SPEED.GAIN.IN");
    plant->LoadAndShow();
    WAIT_FOR_TEXT(spin, "5.00");
    QVERIFY(!spin->LowLimitItem());
    QVERIFY(!spin->HighLimitItem());
    QCOMPARE(plant->control->RefCount("C_SPEED.GAIN.LO_LIM_OUT"), 0);
    QCOMPARE(spin->GetMaxValue(), 100.0);
}

void TestTune::clampUsesTheItemsOwnLimits()
{
    auto* spin = AddTune();
    plant->LoadAndShow();
    WAIT_FOR_TEXT(spin, "5.00");
    QTRY_COMPARE_WITH_TIMEOUT(spin->GetMaxValue(), 9.0, ReplyWait);
    TypeAndEnter(*spin, "50");
    QTRY_COMPARE_WITH_TIMEOUT(plant->server->pokes, QStringList({"C_SPEED.GAIN.TUNE=50"}), ReplyWait);
    TypeAndEnter(*spin, "500"); // without a band, only the item's limits
    QTRY_COMPARE_WITH_TIMEOUT(plant->server->pokes.last(), QString("C_SPEED.GAIN.TUNE=100"), ReplyWait);
}

void TestTune::disablingUnsubscribesTheLimits()
{
    auto* spin = AddTune();
    plant->LoadAndShow();
    QTRY_VERIFY_WITH_TIMEOUT(plant->server->advised.contains("C_SPEED.GAIN.HI_LIM_OUT"), ReplyWait);
    spin->SetEnabled(false);
    QTRY_VERIFY_WITH_TIMEOUT(plant->server->advised.isEmpty(), ReplyWait);
    spin->SetVisible(true);
    QTRY_COMPARE_WITH_TIMEOUT(plant->server->advised.size(), 3, ReplyWait);
    plant->form->hide();
    QTRY_VERIFY_WITH_TIMEOUT(plant->server->advised.isEmpty(), ReplyWait);
}

void TestTune::destroyingReleasesAllThreeItems()
{
    auto* spin = AddTune();
    plant->LoadAndShow();
    QTRY_COMPARE_WITH_TIMEOUT(plant->server->advised.size(), 3, ReplyWait);
    delete spin;
    QCOMPARE(plant->control->ItemCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(plant->server->advised.isEmpty(), ReplyWait);
}

// ---------------------------------------------------------------------------

int main(int argc, char** argv)
{
    QLocale::setDefault(QLocale::c());
    return RunTests<QApplication, TestWrites, TestMonitorOnlyAndState, TestTune>(argc, argv);
}

#include "tst_boundspinedit.moc"
