// The item spy: when it holds a subscription (following its owner's state or
// LockOnAdvise), when it fires OnValueChange, and what a run-time change of
// ItemName does, over a DDE server in the same process.
#include "controls/KQForms.h"
#include "controls/KQItemSpy.h"
#include "datalink/KQDevice.h"
#include "platform/Assert.h"
#include "tests/support/TestLink.h"
#include "tests/support/TestRunner.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString Topic = QStringLiteral("4812.net(Dflt Control ID)");
const QString Speed = QStringLiteral("SPEED.PV.OUT");
const QString Setpoint = QStringLiteral("SPEED.SETPT.OUT");
const QString Barrier = QStringLiteral("SYNC.BARRIER");

// A server and a connected device.
struct Plant : TestLink {
    Plant() : TestLink(Topic)
    {
        server->SetItem(Speed, "3600");
        server->SetItem(Setpoint, "3000");
        server->SetItem(Barrier, "1");
        device = std::make_unique<TKQDevice>();
        device->SetIdentifier(Topic);
        device->Loaded();
        device->ConversationReady(conversation.get());
    }
    // A spy made as the form loader makes it.
    TKQItemSpy* Spy(QObject* owner, const QString& itemName, bool lockOnAdvise = false)
    {
        auto* spy = new TKQItemSpy(owner);
        spy->setObjectName(QStringLiteral("KSpy") + QString::number(++spies));
        spy->BeginLoading();
        spy->setProperty("Device", QVariant::fromValue<QObject*>(device.get()));
        spy->setProperty("ItemName", itemName);
        spy->setProperty("LockOnAdvise", lockOnAdvise);
        spy->Loaded();
        return spy;
    }

    // Whether the server runs an advise loop for the item, once it has handled
    // everything sent to it so far: a request travels behind every earlier
    // transaction of the conversation.
    bool Advised(const QString& item)
    {
        TKQItem* barrier = device->GetItem(Barrier);
        barrier->Value();
        device->ReleaseItem(Barrier);
        QCoreApplication::processEvents();
        return server->advised.contains(item);
    }

    std::unique_ptr<TKQDevice> device;
    int spies = 0;
};

// Another holder of an item, which keeps it subscribed.
class Client : public TObject {
public:
    TNotifyEvent Event() { return TNotifyEvent(this, &Client::Changed); }
    int calls = 0;

private:
    void Changed(TObject*) { ++calls; }
};

} // namespace

// ---------------------------------------------------------------------------

class TestSpySubscription : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void hiddenOwnerCausesNoAdvise();
    void showingSubscribesAndFiresAtOnceWhenAValueIsHeld();
    void showingSubscribesAndFiresWhenTheFirstValueArrives();
    void disablingOrHidingUnsubscribes();
    void lockOnAdviseKeepsTheSubscriptionWhateverTheOwnerSays();
    void lockOnAdviseSetAtRunTimeActsAtOnce();
    void spiesInNestedContainersFollowTheirContainer();

private:
    std::unique_ptr<Plant> plant;
    std::unique_ptr<TKQForm> form;
};

void TestSpySubscription::init()
{
    plant = std::make_unique<Plant>();
    QVERIFY(plant->opened);
    form = std::make_unique<TKQForm>();
    form->setObjectName("FRunMode");
}

void TestSpySubscription::cleanup()
{
    form.reset();
    plant.reset();
}

void TestSpySubscription::hiddenOwnerCausesNoAdvise()
{
    TKQItemSpy* spy = plant->Spy(form.get(), Speed);
    QSignalSpy fired(spy, &TKQItemSpy::OnValueChange);
    plant->server->SetItem(Speed, "3605");
    QVERIFY(!plant->Advised(Speed));
    QCOMPARE(fired.count(), 0);
    QVERIFY(!spy->HasValue());
    QCOMPARE(plant->device->RefCount(Speed), 1);
    QVERIFY(plant->dialogs.texts().isEmpty());
}

void TestSpySubscription::showingSubscribesAndFiresAtOnceWhenAValueIsHeld()
{
    Client other;
    TKQItem* item = plant->device->GetItem(Speed);
    item->Advise(other.Event());
    QTRY_VERIFY_WITH_TIMEOUT(item->HasValue(), ReplyWait);
    QCOMPARE(item->Value().toString(), QString("3600"));

    TKQItemSpy* spy = plant->Spy(form.get(), Speed);
    QSignalSpy fired(spy, &TKQItemSpy::OnValueChange);
    form->show();
    QCOMPARE(fired.count(), 1); // at once, inside show
    QCOMPARE(fired.first().first().value<QObject*>(), spy);
    QVERIFY(spy->HasValue());
    QCOMPARE(spy->Value().toString(), QString("3600"));

    plant->server->SetItem(Speed, "3610");
    QTRY_COMPARE_WITH_TIMEOUT(fired.count(), 2, ReplyWait);
    QCOMPARE(spy->Value().toString(), QString("3610"));
    plant->device->ReleaseItem(Speed);
}

void TestSpySubscription::showingSubscribesAndFiresWhenTheFirstValueArrives()
{
    TKQItemSpy* spy = plant->Spy(form.get(), Speed);
    QSignalSpy fired(spy, &TKQItemSpy::OnValueChange);
    form->show();
    QCOMPARE(fired.count(), 0); // nothing held yet
    QVERIFY(plant->Advised(Speed));
    QTRY_COMPARE_WITH_TIMEOUT(spy->Value().toString(), QString("3600"), ReplyWait);
    const int before = int(fired.count());
    QVERIFY(before >= 1);
    plant->server->SetItem(Speed, "3620");
    QTRY_COMPARE_WITH_TIMEOUT(int(fired.count()), before + 1, ReplyWait);
    QCOMPARE(spy->Value().toString(), QString("3620"));
}

void TestSpySubscription::disablingOrHidingUnsubscribes()
{
    TKQItemSpy* spy = plant->Spy(form.get(), Speed);
    QSignalSpy fired(spy, &TKQItemSpy::OnValueChange);
    form->show();
    plant->server->SetItem(Speed, "3630");
    QTRY_COMPARE_WITH_TIMEOUT(fired.count(), 1, ReplyWait);

    form->SetEnabled(false);
    QVERIFY(!plant->Advised(Speed)); // it was the item's last client: the loop stops
    plant->server->SetItem(Speed, "3640");
    QVERIFY(!plant->Advised(Speed));
    QCOMPARE(fired.count(), 1);

    form->SetEnabled(true);
    QVERIFY(plant->Advised(Speed));
    plant->server->SetItem(Speed, "3650");
    QTRY_COMPARE_WITH_TIMEOUT(fired.count(), 2, ReplyWait);

    form->hide();
    QVERIFY(!plant->Advised(Speed));
}

void TestSpySubscription::lockOnAdviseKeepsTheSubscriptionWhateverTheOwnerSays()
{
    TKQItemSpy* locked = plant->Spy(form.get(), Speed, true);
    TKQItemSpy* plain = plant->Spy(form.get(), Setpoint);
    QSignalSpy fired(locked, &TKQItemSpy::OnValueChange);
    form->show();
    form->hide();
    QVERIFY(plant->Advised(Speed));
    QVERIFY(!plant->Advised(Setpoint));
    form->SetEnabled(false);
    QVERIFY(plant->Advised(Speed));

    plant->server->SetItem(Speed, "3660");
    QTRY_COMPARE_WITH_TIMEOUT(locked->Value().toString(), QString("3660"), ReplyWait);
    QVERIFY(fired.count() >= 1);
    QVERIFY(!plain->HasValue());
}

void TestSpySubscription::lockOnAdviseSetAtRunTimeActsAtOnce()
{
    TKQItemSpy* spy = plant->Spy(form.get(), Speed);
    QVERIFY(!plant->Advised(Speed));
    spy->SetLockOnAdvise(true);
    QVERIFY(plant->Advised(Speed)); // the owner has never been shown
    spy->SetLockOnAdvise(false);
    QVERIFY(!plant->Advised(Speed));

    // Clearing it acts at once also on a shown owner; the next broadcast subscribes again.
    form->show();
    QVERIFY(plant->Advised(Speed));
    spy->SetLockOnAdvise(false);
    QVERIFY(plant->Advised(Speed)); // no change, nothing done
    spy->SetLockOnAdvise(true);
    spy->SetLockOnAdvise(false);
    QVERIFY(!plant->Advised(Speed));
    form->Broadcast();
    QVERIFY(plant->Advised(Speed));
}

void TestSpySubscription::spiesInNestedContainersFollowTheirContainer()
{
    auto* panel = new TKQPanel(form.get());
    panel->setObjectName("Panel1");
    auto* scrollBox = new TKQScrollBox(panel);
    scrollBox->setObjectName("ScrollBox1");
    panel->BeginLoading();
    scrollBox->BeginLoading();
    TKQItemSpy* inPanel = plant->Spy(panel, Speed);
    TKQItemSpy* inScrollBox = plant->Spy(scrollBox->ClientArea(), Setpoint);
    panel->Loaded();
    scrollBox->Loaded();
    form->show();
    QVERIFY(plant->Advised(Speed));
    QVERIFY(plant->Advised(Setpoint));

    scrollBox->SetVisible(false);
    QVERIFY(plant->Advised(Speed));
    QVERIFY(!plant->Advised(Setpoint));
    panel->SetEnabled(false);
    QVERIFY(!plant->Advised(Speed));
    QVERIFY(plant->dialogs.texts().isEmpty());
    QVERIFY(inPanel->Item() && inScrollBox->Item());
}

// ---------------------------------------------------------------------------

class TestSpyItemName : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void changeAtRunTimeMovesTheSubscriptionAndFiresAtOnce();
    void changeOfAnUnsubscribedSpyOnlyFires();
    void lockedSpyTakesItsNewItemSubscribed();
    void emptyNameGivesTheItemBack();
    void whileLoadingOnlyTheNameIsStored();
    void destroyingGivesTheItemBack();

private:
    std::unique_ptr<Plant> plant;
    std::unique_ptr<TKQForm> form;
};

void TestSpyItemName::init()
{
    plant = std::make_unique<Plant>();
    QVERIFY(plant->opened);
    form = std::make_unique<TKQForm>();
}

void TestSpyItemName::cleanup()
{
    form.reset();
    plant.reset();
}

void TestSpyItemName::changeAtRunTimeMovesTheSubscriptionAndFiresAtOnce()
{
    TKQItemSpy* spy = plant->Spy(form.get(), Speed);
    form->show();
    plant->server->SetItem(Speed, "3670");
    QTRY_VERIFY_WITH_TIMEOUT(spy->HasValue(), ReplyWait);

    // Another holder keeps the new item subscribed, with a value.
    Client other;
    TKQItem* setpoint = plant->device->GetItem(Setpoint);
    setpoint->Advise(other.Event());
    plant->server->SetItem(Setpoint, "3100");
    QTRY_VERIFY_WITH_TIMEOUT(setpoint->HasValue(), ReplyWait);

    QSignalSpy fired(spy, &TKQItemSpy::OnValueChange);
    spy->SetItemName(Setpoint.toLower());
    QVERIFY(fired.count() >= 1); // at once, so that the handler sees the new value
    QCOMPARE(spy->Value().toString(), QString("3100"));
    QVERIFY(!plant->Advised(Speed));
    QCOMPARE(plant->device->RefCount(Speed), 0); // the old item had no other holder
    QCOMPARE(plant->device->RefCount(Setpoint), 2);
    QCOMPARE(spy->ItemName(), Setpoint.toLower());

    setpoint->Unadvise(other.Event());
    plant->device->ReleaseItem(Setpoint);
    QVERIFY(plant->Advised(Setpoint)); // the spy's subscription keeps it
    const int before = int(fired.count());
    plant->server->SetItem(Setpoint, "3200");
    QTRY_COMPARE_WITH_TIMEOUT(int(fired.count()), before + 1, ReplyWait);
}

void TestSpyItemName::changeOfAnUnsubscribedSpyOnlyFires()
{
    TKQItemSpy* spy = plant->Spy(form.get(), Speed);
    QSignalSpy fired(spy, &TKQItemSpy::OnValueChange);
    spy->SetItemName(Setpoint);
    QCOMPARE(fired.count(), 1);
    QVERIFY(!spy->HasValue());
    QVERIFY(!plant->Advised(Setpoint));
    QCOMPARE(plant->device->RefCount(Speed), 0);
    QCOMPARE(plant->device->RefCount(Setpoint), 1);
}

void TestSpyItemName::lockedSpyTakesItsNewItemSubscribed()
{
    TKQItemSpy* spy = plant->Spy(form.get(), Speed, true);
    spy->SetItemName(Setpoint);
    QVERIFY(plant->Advised(Setpoint));
    QVERIFY(!plant->Advised(Speed));
}

void TestSpyItemName::emptyNameGivesTheItemBack()
{
    TKQItemSpy* spy = plant->Spy(form.get(), Speed);
    form->show();
    QVERIFY(plant->Advised(Speed));
    QSignalSpy fired(spy, &TKQItemSpy::OnValueChange);
    spy->SetItemName(QString());
    QCOMPARE(fired.count(), 0);
    QVERIFY(!plant->Advised(Speed));
    QCOMPARE(plant->device->ItemCount(), 0);
    QVERIFY(!spy->HasValue());
    QVERIFY(spy->Value().isNull());
    form->hide(); // the owner's later broadcasts find no item and do nothing
    QVERIFY(plant->dialogs.texts().isEmpty());
}

void TestSpyItemName::whileLoadingOnlyTheNameIsStored()
{
    auto* spy = new TKQItemSpy(form.get());
    spy->BeginLoading();
    spy->SetDevice(plant->device.get());
    spy->SetItemName(Speed);
    QCOMPARE(plant->device->ItemCount(), 0);
    spy->Loaded();
    QCOMPARE(plant->device->RefCount(Speed), 1);
    spy->Loaded(); // a second end of loading takes no second reference
    QCOMPARE(plant->device->RefCount(Speed), 1);
}

void TestSpyItemName::destroyingGivesTheItemBack()
{
    TKQItemSpy* spy = plant->Spy(form.get(), Speed);
    TKQItemSpy* other = plant->Spy(form.get(), Speed);
    form->show();
    QCOMPARE(plant->device->RefCount(Speed), 2);
    delete spy;
    QCOMPARE(plant->device->RefCount(Speed), 1);
    QVERIFY(plant->Advised(Speed));
    delete other;
    QCOMPARE(plant->device->ItemCount(), 0);
    QVERIFY(!plant->Advised(Speed));
    form->hide(); // registrations of destroyed spies are skipped
}

// ---------------------------------------------------------------------------

class TestSpyOwner : public QObject {
    Q_OBJECT
private slots:
    void ownerThatIsNoBoundContainerIsReported();
    void itemNameWithoutDeviceFailsLoading();
    void spyWithoutItemNameTakesNothing();
    void stateBeforeTheItemIsTakenIsAProgrammingError();
};

void TestSpyOwner::ownerThatIsNoBoundContainerIsReported()
{
    Plant plant;
    QVERIFY(plant.opened);
    QWidget owner;
    owner.setObjectName("PlainWidget");
    TKQItemSpy* spy = plant.Spy(&owner, Speed);
    QCOMPARE(plant.dialogs.texts(), QStringList{"PlainWidget is not an Quorvane Library form"});
    QCOMPARE(plant.dialogs.messages().first().type, TMsgDlgType::mtError);
    owner.show();
    QVERIFY(!plant.Advised(Speed));
    QCOMPARE(plant.device->RefCount(Speed), 1);
    delete spy;
}

void TestSpyOwner::itemNameWithoutDeviceFailsLoading()
{
    TKQForm form;
    TKQItemSpy spy(&form);
    spy.BeginLoading();
    spy.SetItemName(Speed);
    try {
        spy.Loaded();
        QFAIL("no assertion");
    } catch (const EAssertionFailed& error) {
        QCOMPARE(error.Message(), QString("Assertion failure"));
    }
}

void TestSpyOwner::spyWithoutItemNameTakesNothing()
{
    Plant plant;
    TKQForm form;
    TKQItemSpy* spy = plant.Spy(&form, QString());
    form.show();
    QCOMPARE(plant.device->ItemCount(), 0);
    QVERIFY(!spy->HasValue());
    QVERIFY(plant.dialogs.texts().isEmpty());
}

void TestSpyOwner::stateBeforeTheItemIsTakenIsAProgrammingError()
{
    TKQItemSpy spy;
    spy.BeginLoading();
    spy.SetItemName(Speed);
    try {
        spy.ParentStateChanged(sfShownEnabled);
        QFAIL("no assertion");
    } catch (const EAssertionFailed& error) {
        QCOMPARE(error.Message(), QString("TKQItemSpy.Item = nil"));
    }
}

// ---------------------------------------------------------------------------

TURVISTA_TEST_MAIN(TestSpySubscription, TestSpyItemName, TestSpyOwner)

#include "tst_kqitemspy.moc"
