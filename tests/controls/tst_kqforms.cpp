// Bound containers: which bound controls hold a subscription while forms are
// shown and hidden, panels and group boxes shown, hidden, enabled and disabled,
// and pages switched; registration with a container; run-time item changes;
// and the item spy: firing, LockOnAdvise and its own run-time item changes.
#include "controls/KQBinding.h"
#include "controls/KQItemSpy.h"
#include "platform/Assert.h"
#include "tests/controls/ControlPlant.h"
#include "tests/support/TestRunner.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTabBar>

#include <memory>

// The smallest bound control: shows its item's value as text.
class TBoundProbe : public QWidget, public TKComponent {
    Q_OBJECT
    Q_PROPERTY(QObject* Device READ Device WRITE SetDevice)
    Q_PROPERTY(QString ItemName READ ItemName WRITE SetItemName)
public:
    explicit TBoundProbe(QWidget* parent = nullptr) : QWidget(parent) { }

    QObject* Device() const { return binding.Device(); }
    void SetDevice(QObject* device) { binding.SetDevice(device); }
    QString ItemName() const { return binding.ItemName(); }
    void SetItemName(const QString& name) { binding.SetItemName(name); }
    void Loaded() override
    {
        TKComponent::Loaded();
        binding.Loaded();
    }
    bool Subscribed() const { return binding.Subscribed(); }

    QString shown;
    int takenOver = 0;

signals:
    void OnValueChange(QObject* sender);

private:
    TKQBinding binding{this, this, TItemLookup::Device, [this] {
                           shown = binding.Read().toString();
                           ++takenOver;
                           emit OnValueChange(this);
                       }};
};

namespace {

const QString Speed = QStringLiteral("SPEED.PV.OUT");
const QString Setpoint = QStringLiteral("SPEED.SETPT.OUT");

// A control device with items A.1, A.2, B.1 ... whose values are "A.1-value" ...,
// and Speed and Setpoint.
struct Plant : TControlPlant {
    Plant()
    {
        for (const char* item : {"A.1", "A.2", "B.1", "B.2", "P.1", "P.2", "G.1", "S.1", "X.1", "X.2", "Y.1"})
            server->SetItem(item, QByteArray(item) + "-value");
        server->SetItem(Speed, "3600");
        server->SetItem(Setpoint, "3000");
        form->Loaded();
        created.clear();
    }

    QSet<QString> Advised()
    {
        Settle();
        QSet<QString> advised = server->advised;
        advised.remove(SettleItem);
        return advised;
    }
    bool Advised(const QString& item) { return TControlPlant::Advised(item); }

    // Components are made loading, as the form loader makes them, and get their
    // end-of-loading call in creation order from Finish().
    template <class T>
    T* Make(QWidget* parent, const QString& name)
    {
        auto* component = new T(parent);
        component->setObjectName(name);
        component->BeginLoading();
        created << component;
        return component;
    }
    TBoundProbe* Probe(QWidget* parent, const QString& item)
    {
        TBoundProbe* probe = Make<TBoundProbe>(parent, "Probe_" + item);
        probe->SetDevice(device.get());
        probe->SetItemName(item);
        return probe;
    }
    // A spy made as the form loader makes it.
    TKQItemSpy* Spy(QObject* owner, const QString& itemName, bool lockOnAdvise = false)
    {
        auto* spy = new TKQItemSpy(owner);
        spy->BeginLoading();
        spy->setProperty("Device", QVariant::fromValue<QObject*>(device.get()));
        spy->setProperty("ItemName", itemName);
        spy->setProperty("LockOnAdvise", lockOnAdvise);
        spy->Loaded();
        return spy;
    }
    TKQForm* Form()
    {
        form = std::make_unique<TKQForm>();
        form->setObjectName("FTest");
        form->BeginLoading();
        created << form.get();
        return form.get();
    }
    void Finish()
    {
        for (TKComponent* component : created)
            component->Loaded();
        created.clear();
    }
};

using Items = QSet<QString>;

// Every test on a fresh plant.
class PlantTest : public QObject {
    Q_OBJECT
private slots:
    void init() { MakePlant(); }
    void cleanup() { plant.reset(); }

protected:
    void MakePlant()
    {
        plant = std::make_unique<Plant>();
        QVERIFY(plant->opened);
    }

    std::unique_ptr<Plant> plant;
};

} // namespace

// ---------------------------------------------------------------------------

class TestFormBroadcast : public PlantTest {
    Q_OBJECT
private slots:

    void showingSubscribesVisiblePanelsAndTheActivePageOnly();
    void hidingOrDisablingTheFormUnsubscribesEverything_data();
    void hidingOrDisablingTheFormUnsubscribesEverything();
    void aFormShownInsideADisabledWindowSubscribes();

private:
    void Build();
};

// Form: A.1 directly; panel P (P.1, group G with G.1); hidden panel (X.1);
// disabled group (X.2); page control with pages A (A.1 again, A.2) and B (B.1).
void TestFormBroadcast::Build()
{
    TKQForm* form = plant->Form();
    plant->Probe(form, "A.1");
    auto* panel = plant->Make<TKQPanel>(form, "PanelP");
    plant->Probe(panel, "P.1");
    auto* group = plant->Make<TKQGroupBox>(panel, "GroupG");
    plant->Probe(group, "G.1");
    auto* hidden = plant->Make<TKQPanel>(form, "HiddenPanel");
    hidden->SetVisible(false);
    plant->Probe(hidden, "X.1");
    auto* disabled = plant->Make<TKQGroupBox>(form, "DisabledGroup");
    disabled->SetEnabled(false);
    plant->Probe(disabled, "X.2");
    auto* pages = plant->Make<TKQPageControl>(form, "Pages");
    auto* pageA = plant->Make<TKQTabSheet>(nullptr, "PageA");
    pages->AddPage(pageA);
    auto* pageB = plant->Make<TKQTabSheet>(nullptr, "PageB");
    pages->AddPage(pageB);
    plant->Probe(pageA, "A.2");
    plant->Probe(pageB, "B.1");
    auto* scroll = plant->Make<TKQScrollBox>(form, "Scroll");
    plant->Probe(scroll->ClientArea(), "S.1");
    plant->Finish();
}

void TestFormBroadcast::showingSubscribesVisiblePanelsAndTheActivePageOnly()
{
    Build();
    QCOMPARE(plant->Advised(), Items());
    for (TBoundProbe* probe : plant->form->findChildren<TBoundProbe*>())
        QVERIFY2(!probe->Subscribed(), qPrintable(probe->objectName()));
    plant->form->show();
    QCOMPARE(plant->Advised(), Items({"A.1", "P.1", "G.1", "A.2", "S.1"}));
    auto* nested = plant->form->findChild<TBoundProbe*>("Probe_G.1");
    QTRY_COMPARE_WITH_TIMEOUT(nested->shown, QString("G.1-value"), ReplyWait);
    QCOMPARE(plant->form->findChild<TBoundProbe*>("Probe_B.1")->takenOver, 0);
}

void TestFormBroadcast::hidingOrDisablingTheFormUnsubscribesEverything_data()
{
    QTest::addColumn<bool>("hide");
    QTest::newRow("hidden") << true;
    QTest::newRow("disabled") << false;
}

void TestFormBroadcast::hidingOrDisablingTheFormUnsubscribesEverything()
{
    QFETCH(bool, hide);
    Build();
    plant->form->show();
    QVERIFY(!plant->Advised().isEmpty());
    hide ? plant->form->hide() : plant->form->SetEnabled(false);
    QCOMPARE(plant->Advised(), Items());
    hide ? plant->form->show() : plant->form->SetEnabled(true);
    QCOMPARE(plant->Advised(), Items({"A.1", "P.1", "G.1", "A.2", "S.1"}));
}

void TestFormBroadcast::aFormShownInsideADisabledWindowSubscribes()
{
    // A mode window opens while the main window is disabled.
    QWidget mainWindow;
    mainWindow.setEnabled(false);
    mainWindow.show();
    TKQForm* form = plant->Form();
    form->setParent(&mainWindow);
    const auto giveBack = qScopeGuard([form] { form->setParent(nullptr); }); // the plant frees it
    plant->Probe(form, "A.1");
    plant->Finish();
    form->show();
    QCOMPARE(plant->Advised(), Items({"A.1"}));
    QVERIFY(form->Flags() & sfEnabled);
}

// ---------------------------------------------------------------------------

class TestPanelState : public PlantTest {
    Q_OBJECT
private slots:

    void hidingAPanelUnsubscribesNestedGroups();
    void showingAgainShowsAKeptValueAtOnce();
    void aGroupEnabledInsideADisabledPanelStaysSilent();
    void containersReportTheirOwnVisibleAndEnabled();
};

void TestPanelState::hidingAPanelUnsubscribesNestedGroups()
{
    TKQForm* form = plant->Form();
    auto* panel = plant->Make<TKQPanel>(form, "Panel1");
    plant->Probe(panel, "P.1");
    auto* outer = plant->Make<TKQGroupBox>(panel, "Outer");
    auto* inner = plant->Make<TKQGroupBox>(outer, "Inner");
    plant->Probe(inner, "G.1");
    auto* scroll = plant->Make<TKQScrollBox>(outer, "Scroll");
    plant->Probe(scroll->ClientArea(), "S.1");
    plant->Probe(form, "A.1");
    plant->Finish();
    form->show();
    QCOMPARE(plant->Advised(), Items({"P.1", "G.1", "S.1", "A.1"}));

    panel->SetVisible(false);
    QCOMPARE(plant->Advised(), Items({"A.1"}));
    panel->SetVisible(true);
    QCOMPARE(plant->Advised(), Items({"P.1", "G.1", "S.1", "A.1"}));
    plant->server->SetItem("G.1", "changed");
    QTRY_COMPARE_WITH_TIMEOUT(form->findChild<TBoundProbe*>("Probe_G.1")->shown, QString("changed"), ReplyWait);
}

void TestPanelState::showingAgainShowsAKeptValueAtOnce()
{
    TKQForm* form = plant->Form();
    auto* panel = plant->Make<TKQPanel>(form, "Panel1");
    TBoundProbe* inside = plant->Probe(panel, "P.1");
    TBoundProbe* keeper = plant->Probe(form, "P.1");
    keeper->setObjectName("Keeper");
    plant->Finish();
    form->show();
    QTRY_COMPARE_WITH_TIMEOUT(inside->shown, QString("P.1-value"), ReplyWait);

    panel->SetVisible(false);
    plant->server->SetItem("P.1", "new");
    QTRY_COMPARE_WITH_TIMEOUT(keeper->shown, QString("new"), ReplyWait);
    QCOMPARE(inside->shown, QString("P.1-value")); // keeps its last value while hidden
    panel->SetVisible(true);
    QCOMPARE(inside->shown, QString("new")); // at once, without waiting for the server
}

void TestPanelState::aGroupEnabledInsideADisabledPanelStaysSilent()
{
    TKQForm* form = plant->Form();
    auto* panel = plant->Make<TKQPanel>(form, "Panel1");
    auto* group = plant->Make<TKQGroupBox>(panel, "Group1");
    plant->Probe(group, "G.1");
    plant->Finish();
    form->show();
    QCOMPARE(plant->Advised(), Items({"G.1"}));

    panel->SetEnabled(false);
    QCOMPARE(plant->Advised(), Items());
    group->SetEnabled(false);
    group->SetEnabled(true);
    QCOMPARE(plant->Advised(), Items());
    panel->SetEnabled(true);
    QCOMPARE(plant->Advised(), Items({"G.1"}));

    group->SetEnabled(false);
    panel->SetEnabled(false);
    panel->SetEnabled(true);
    QCOMPARE(plant->Advised(), Items());
}

void TestPanelState::containersReportTheirOwnVisibleAndEnabled()
{
    TKQForm* form = plant->Form();
    auto* panel = plant->Make<TKQPanel>(form, "Panel1");
    auto* group = plant->Make<TKQGroupBox>(panel, "Group1");
    auto* scroll = plant->Make<TKQScrollBox>(panel, "Scroll1");
    plant->Finish();
    form->show();

    panel->SetEnabled(false);
    panel->SetVisible(false);
    QCOMPARE(group->Enabled(), true);
    QCOMPARE(group->Visible(), true);
    QCOMPARE(scroll->Enabled(), true);
    QCOMPARE(panel->Enabled(), false);
    QCOMPARE(panel->Visible(), false);
}

// ---------------------------------------------------------------------------

// Records page entries and exits with what was subscribed at that moment.
class PageLog : public QObject {
    Q_OBJECT
public:
    QStringList entries;
    QList<TBoundProbe*> probes;

public slots:
    void Enter(QObject* sender) { Record("enter", sender); }
    void Exit(QObject* sender) { Record("exit", sender); }
    void Changing(QObject* sender) { entries << "changing from " + qobject_cast<TKQPageControl*>(sender)->ActivePageName(); }
    void Change(QObject* sender) { entries << "changed to " + qobject_cast<TKQPageControl*>(sender)->ActivePageName(); }

private:
    void Record(const char* what, QObject* sender)
    {
        auto* pages = qobject_cast<TKQPageControl*>(sender);
        QString line = QString::fromLatin1(what) + " " + QObject::sender()->objectName() + " by "
                       + sender->objectName() + (pages && !pages->Enabled() ? " (disabled):" : ":");
        for (TBoundProbe* probe : probes)
            if (probe->Subscribed())
                line += " " + probe->ItemName();
        entries << line;
    }
};

class TestPageSwitching : public PlantTest {
    Q_OBJECT
private slots:
    void init();

    void switchingMovesSubscriptionsAndCallsExitThenEnter_data();
    void switchingMovesSubscriptionsAndCallsExitThenEnter();
    void assigningTheActivePageAgainDoesNothing();
    void hidingThePageControlUnsubscribesTheActivePageOnly();
    void disablingThePageControlKeepsInactivePagesSilent();
    void hidingTheActiveTabMovesToAnotherPage();

private:
    PageLog log;
    TKQPageControl* pages = nullptr;
    TKQTabSheet* pageA = nullptr;
    TKQTabSheet* pageB = nullptr;
    TKQTabSheet* pageC = nullptr;
};

void TestPageSwitching::init()
{
    plant = std::make_unique<Plant>();
    QVERIFY(plant->opened);
    log.entries.clear();
    log.probes.clear();
    TKQForm* form = plant->Form();
    pages = plant->Make<TKQPageControl>(form, "Pages");
    pageA = plant->Make<TKQTabSheet>(nullptr, "PageA");
    pageA->SetCaption("A");
    pages->AddPage(pageA);
    pageB = plant->Make<TKQTabSheet>(nullptr, "PageB");
    pageB->SetCaption("B");
    pages->AddPage(pageB);
    pageC = plant->Make<TKQTabSheet>(nullptr, "PageC");
    pageC->SetCaption("C");
    pages->AddPage(pageC);
    log.probes << plant->Probe(pageA, "A.1");
    auto* group = plant->Make<TKQGroupBox>(pageA, "GroupOnA");
    log.probes << plant->Probe(group, "A.2");
    log.probes << plant->Probe(pageB, "B.1");
    auto* panel = plant->Make<TKQPanel>(pageB, "PanelOnB");
    log.probes << plant->Probe(panel, "B.2");
    for (TKQTabSheet* page : {pageA, pageB, pageC}) {
        connect(page, &TKQTabSheet::OnEnter, &log, &PageLog::Enter);
        connect(page, &TKQTabSheet::OnExit, &log, &PageLog::Exit);
    }
    connect(pages, &TKQPageControl::OnChanging, &log, &PageLog::Changing);
    connect(pages, &TKQPageControl::OnChange, &log, &PageLog::Change);
    plant->Finish();
    form->resize(300, 200);
    form->show();
}

void TestPageSwitching::switchingMovesSubscriptionsAndCallsExitThenEnter_data()
{
    QTest::addColumn<bool>("byClick");
    QTest::newRow("ActivePage assigned") << false;
    QTest::newRow("tab clicked") << true;
}

void TestPageSwitching::switchingMovesSubscriptionsAndCallsExitThenEnter()
{
    QFETCH(bool, byClick);
    QCOMPARE(plant->Advised(), Items({"A.1", "A.2"}));
    if (byClick) {
        QTabBar* bar = pages->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    } else {
        pages->SetActivePage(pageB);
    }
    // The page control announces the change while A is still active; A's controls
    // let go before A's exit; B's subscribe once B has been entered.
    QCOMPARE(log.entries, QStringList({"changing from PageA", "exit PageA by Pages (disabled):",
                                       "enter PageB by Pages (disabled):", "changed to PageB"}));
    QVERIFY(pages->Enabled());
    QCOMPARE(pages->ActivePage(), pageB);
    QCOMPARE(plant->Advised(), Items({"B.1", "B.2"}));
    QTRY_COMPARE_WITH_TIMEOUT(pageB->findChild<TBoundProbe*>("Probe_B.2")->shown, QString("B.2-value"), ReplyWait);
}

void TestPageSwitching::assigningTheActivePageAgainDoesNothing()
{
    auto* probe = pageA->findChild<TBoundProbe*>("Probe_A.1");
    QTRY_COMPARE_WITH_TIMEOUT(probe->takenOver, 1, ReplyWait);
    pages->SetActivePage(pageA);
    pages->SetActivePageName("PageA");
    QVERIFY(log.entries.isEmpty());
    QCOMPARE(plant->Advised(), Items({"A.1", "A.2"}));
    QCOMPARE(probe->takenOver, 1); // no new subscription that would deliver the value again
}

void TestPageSwitching::hidingThePageControlUnsubscribesTheActivePageOnly()
{
    pages->SetActivePage(pageB);
    pages->SetVisible(false);
    QCOMPARE(plant->Advised(), Items());
    pages->SetVisible(true);
    QCOMPARE(plant->Advised(), Items({"B.1", "B.2"}));
}

void TestPageSwitching::disablingThePageControlKeepsInactivePagesSilent()
{
    pages->SetEnabled(false);
    QCOMPARE(plant->Advised(), Items());
    pages->SetEnabled(true);
    QCOMPARE(plant->Advised(), Items({"A.1", "A.2"}));
}

void TestPageSwitching::hidingTheActiveTabMovesToAnotherPage()
{
    pageA->SetTabVisible(false);
    QVERIFY(pages->ActivePage() != pageA);
    QCOMPARE(pages->currentWidget(), static_cast<QWidget*>(pages->ActivePage()));
    QCOMPARE(log.entries.mid(0, 2), QStringList({"changing from PageA", "exit PageA by Pages (disabled):"}));
    QCOMPARE(plant->Advised(), pages->ActivePage() == pageB ? Items({"B.1", "B.2"}) : Items());
}

// ---------------------------------------------------------------------------

class TestRegistration : public PlantTest {
    Q_OBJECT
private slots:

    void everyBoundContainerTakesChildren_data();
    void everyBoundContainerTakesChildren();
    void anyOtherParentIsReported();
    void aHandlerIsHeldOncePerObject();
};

void TestRegistration::everyBoundContainerTakesChildren_data()
{
    QTest::addColumn<QString>("container");
    for (const char* name : {"TKQForm", "TKQPanel", "TKQGroupBox", "TKQScrollBox", "TKQTabSheet"})
        QTest::newRow(name) << QString(name);
}

void TestRegistration::everyBoundContainerTakesChildren()
{
    QFETCH(QString, container);
    TKQForm* form = plant->Form();
    QWidget* parent = form;
    if (container == "TKQPanel")
        parent = plant->Make<TKQPanel>(form, "C");
    else if (container == "TKQGroupBox")
        parent = plant->Make<TKQGroupBox>(form, "C");
    else if (container == "TKQScrollBox")
        parent = plant->Make<TKQScrollBox>(form, "C")->ClientArea();
    else if (container == "TKQTabSheet") {
        auto* pages = plant->Make<TKQPageControl>(form, "Pages");
        auto* sheet = plant->Make<TKQTabSheet>(nullptr, "C");
        pages->AddPage(sheet);
        parent = sheet;
    }
    plant->Probe(parent, "A.1");
    plant->Finish();
    form->show();
    QVERIFY(plant->dialogs.messages().isEmpty());
    QCOMPARE(plant->Advised(), Items({"A.1"}));
}

void TestRegistration::anyOtherParentIsReported()
{
    TKQForm* form = plant->Form();
    auto* plain = new QWidget(form);
    plain->setObjectName("PlainWidget1");
    plant->Probe(plain, "A.1");
    plant->Finish();
    QCOMPARE(plant->dialogs.messages().size(), 1);
    const TShownMessage message = plant->dialogs.messages().first();
    QCOMPARE(message.text, QString("PlainWidget1 is not an Quorvane Library form"));
    QCOMPARE(message.type, TMsgDlgType::mtError);
    QCOMPARE(message.buttons, TMsgDlgButtons(mbOK));
    form->show();
    QCOMPARE(plant->Advised(), Items());
}

void TestRegistration::aHandlerIsHeldOncePerObject()
{
    TNotifyEventSet set;
    QObject first, second;
    QStringList calls;
    set.Add(&first, [&](TStateFlags flags) { calls << QString("first %1").arg(flags); });
    set.Add(&second, [&](TStateFlags flags) { calls << QString("second %1").arg(flags); });
    set.Add(&first, [&](TStateFlags flags) { calls << QString("again %1").arg(flags); });
    set.Broadcast(sfShownEnabled);
    QCOMPARE(calls, QStringList({"first 3", "second 3"}));
}

// ---------------------------------------------------------------------------

class TestBindingAtRunTime : public PlantTest {
    Q_OBJECT
private slots:

    void changingTheItemMovesTheSubscriptionAndShowsAtOnce();
    void aSubscriptionThatFailsIsReportedAndOthersGoOn();
    void aControlMadeInCodeHoldsOneReference();
};

void TestBindingAtRunTime::changingTheItemMovesTheSubscriptionAndShowsAtOnce()
{
    TKQForm* form = plant->Form();
    TBoundProbe* probe = plant->Probe(form, "X.1");
    plant->Finish();
    form->show();
    QTRY_COMPARE_WITH_TIMEOUT(probe->shown, QString("X.1-value"), ReplyWait);

    probe->SetItemName("Y.1");
    QCOMPARE(probe->shown, QString("Y.1-value"));
    QCOMPARE(plant->device->RefCount("X.1"), 0);
    QCOMPARE(plant->device->RefCount("Y.1"), 1);
    QCOMPARE(plant->Advised(), Items({"Y.1"}));
    plant->server->SetItem("Y.1", "moved");
    QTRY_COMPARE_WITH_TIMEOUT(probe->shown, QString("moved"), ReplyWait);
}

void TestBindingAtRunTime::aSubscriptionThatFailsIsReportedAndOthersGoOn()
{
    TKQForm* form = plant->Form();
    auto* panel = plant->Make<TKQPanel>(form, "Panel1");
    panel->SetVisible(false);
    plant->Probe(panel, "A.1");
    plant->Probe(panel, "A.2");
    plant->Finish();
    form->show();

    plant->conversation->CloseLink(); // no advise loop can start any more
    panel->SetVisible(true);
    QCOMPARE(plant->dialogs.texts(),
             QStringList({"Start Advise on Item A.1 failed.  Make sure Item is supported in control.",
                          "Start Advise on Item A.2 failed.  Make sure Item is supported in control."}));
    QCOMPARE(plant->dialogs.messages().first().type, TMsgDlgType::mtError);
}

// A window may add a control at run time: without a loading phase its item is
// taken when the name is set, and its end of loading must not take it again.
void TestBindingAtRunTime::aControlMadeInCodeHoldsOneReference()
{
    TKQForm* form = plant->Form();
    plant->Finish();
    form->show();
    auto* probe = new TBoundProbe(form);
    probe->SetDevice(plant->device.get());
    probe->SetItemName("X.1");
    QCOMPARE(probe->shown, QString("X.1-value"));
    probe->Loaded();
    QCOMPARE(plant->device->RefCount("X.1"), 1);
    form->Broadcast();
    QCOMPARE(plant->Advised(), Items({"X.1"}));
    delete probe;
    QCOMPARE(plant->device->RefCount("X.1"), 0);
    QCOMPARE(plant->Advised(), Items());
}

// ---------------------------------------------------------------------------

namespace {

// Another holder of an item, which keeps it subscribed.
class Client : public TObject {
public:
    TNotifyEvent Event() { return TNotifyEvent(this, &Client::Changed); }

private:
    void Changed(TObject*) {}
};

} // namespace

class TestItemSpy : public PlantTest {
    Q_OBJECT
private slots:
    void init()
    {
        MakePlant();
        form = plant->form.get();
    }

    void showingSubscribesAndFiresAtOnceWhenAValueIsHeld();
    void lockOnAdviseKeepsTheSubscriptionWhateverTheOwnerSays();
    void lockOnAdviseSetAtRunTimeActsAtOnce();
    void itemNameChangeMovesTheSubscriptionAndFiresAtOnce();
    void itemNameChangeOfAnUnsubscribedSpyOnlyFires();
    void lockedSpyTakesItsNewItemSubscribed();
    void emptyNameGivesTheItemBack();
    void whileLoadingOnlyTheNameIsStored();
    void itemNameWithoutDeviceFailsLoading();
    void withoutItemNameItTakesNothing();
    void stateBeforeTheItemIsTakenIsAProgrammingError();

private:
    TKQForm* form = nullptr;
};

void TestItemSpy::showingSubscribesAndFiresAtOnceWhenAValueIsHeld()
{
    Client other;
    TKQItem* item = plant->device->GetItem(Speed);
    item->Advise(other.Event());
    QTRY_VERIFY_WITH_TIMEOUT(item->HasValue(), ReplyWait);
    QCOMPARE(item->Value().toString(), QString("3600"));

    TKQItemSpy* spy = plant->Spy(form, Speed);
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

void TestItemSpy::lockOnAdviseKeepsTheSubscriptionWhateverTheOwnerSays()
{
    TKQItemSpy* locked = plant->Spy(form, Speed, true);
    TKQItemSpy* plain = plant->Spy(form, Setpoint);
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

void TestItemSpy::lockOnAdviseSetAtRunTimeActsAtOnce()
{
    TKQItemSpy* spy = plant->Spy(form, Speed);
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

void TestItemSpy::itemNameChangeMovesTheSubscriptionAndFiresAtOnce()
{
    TKQItemSpy* spy = plant->Spy(form, Speed);
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

void TestItemSpy::itemNameChangeOfAnUnsubscribedSpyOnlyFires()
{
    TKQItemSpy* spy = plant->Spy(form, Speed);
    QSignalSpy fired(spy, &TKQItemSpy::OnValueChange);
    spy->SetItemName(Setpoint);
    QCOMPARE(fired.count(), 1);
    QVERIFY(!spy->HasValue());
    QVERIFY(!plant->Advised(Setpoint));
    QCOMPARE(plant->device->RefCount(Speed), 0);
    QCOMPARE(plant->device->RefCount(Setpoint), 1);
}

void TestItemSpy::lockedSpyTakesItsNewItemSubscribed()
{
    TKQItemSpy* spy = plant->Spy(form, Speed, true);
    spy->SetItemName(Setpoint);
    QVERIFY(plant->Advised(Setpoint));
    QVERIFY(!plant->Advised(Speed));
}

void TestItemSpy::emptyNameGivesTheItemBack()
{
    TKQItemSpy* spy = plant->Spy(form, Speed);
    form->show();
    QVERIFY(plant->Advised(Speed));
    QSignalSpy fired(spy, &TKQItemSpy::OnValueChange);
    spy->SetItemName(QString());
    QCOMPARE(fired.count(), 0);
    QVERIFY(!plant->Advised(Speed));
    QCOMPARE(plant->device->ItemCount(), 1);
    QVERIFY(!spy->HasValue());
    QVERIFY(spy->Value().isNull());
    form->hide(); // the owner's later broadcasts find no item and do nothing
    QVERIFY(plant->dialogs.texts().isEmpty());
}

void TestItemSpy::whileLoadingOnlyTheNameIsStored()
{
    auto* spy = new TKQItemSpy(form);
    spy->BeginLoading();
    spy->SetDevice(plant->device.get());
    spy->SetItemName(Speed);
    QCOMPARE(plant->device->ItemCount(), 1);
    spy->Loaded();
    QCOMPARE(plant->device->RefCount(Speed), 1);
    spy->Loaded(); // a second end of loading takes no second reference
    QCOMPARE(plant->device->RefCount(Speed), 1);
}

void TestItemSpy::itemNameWithoutDeviceFailsLoading()
{
    TKQItemSpy spy(form);
    spy.BeginLoading();
    spy.SetItemName(Speed);
    try {
        spy.Loaded();
        QFAIL("no assertion");
    } catch (const EAssertionFailed& error) {
        QCOMPARE(error.Message(), QString("Assertion failure"));
    }
}

void TestItemSpy::withoutItemNameItTakesNothing()
{
    TKQItemSpy* spy = plant->Spy(form, QString());
    form->show();
    QCOMPARE(plant->device->ItemCount(), 1); // the plant's own
    QVERIFY(!spy->HasValue());
}

void TestItemSpy::stateBeforeTheItemIsTakenIsAProgrammingError()
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

TURVISTA_TEST_MAIN(TestFormBroadcast, TestPanelState, TestPageSwitching, TestRegistration, TestBindingAtRunTime,
                   TestItemSpy)

#include "tst_kqforms.moc"
