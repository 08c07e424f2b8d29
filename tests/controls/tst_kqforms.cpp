// Bound containers: which bound controls hold a subscription as containers are
// shown, hidden, enabled and disabled at loading and at run time, and as pages
// are switched (also to a page whose tab is hidden); registration with a
// container; the view-only switch through nested widgets; run-time item
// changes; and the item spy: firing, LockOnAdvise and its own run-time item
// changes. Panel and form state at run time for each bound class is in
// tst_boundcontrols.
#include "controls/KQItemSpy.h"
#include "tests/controls/BoundProbe.h"
#include "tests/controls/ControlPlant.h"
#include "tests/support/TestRunner.h"

#include <QAccessible>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTabBar>

#include <memory>

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
        return TControlPlant::Make<TBoundProbe>("Probe_" + item, item, {}, parent);
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
};

using Items = QSet<QString>;

} // namespace

// ---------------------------------------------------------------------------

class TestContainers : public QObject, public PlantFixture<Plant> {
    Q_OBJECT
private slots:
    void init() { Start(); }
    void cleanup() { Stop(); }

    // Showing subscribes the controls on the form and in visible, enabled
    // containers only; a group enabled inside a disabled panel stays silent.
    void showingSubscribesVisibleEnabledContainersOnly()
    {
        TKQForm* form = plant->form.get();
        plant->Probe(form, "A.1");
        auto* panel = plant->Make<TKQPanel>(form, "PanelP");
        auto* group = plant->Make<TKQGroupBox>(panel, "GroupG");
        plant->Probe(group, "G.1");
        auto* hidden = plant->Make<TKQPanel>(form, "HiddenPanel");
        hidden->SetVisible(false);
        plant->Probe(hidden, "X.1");
        auto* disabled = plant->Make<TKQGroupBox>(form, "DisabledGroup");
        disabled->SetEnabled(false);
        plant->Probe(disabled, "X.2");
        plant->Probe(plant->Make<TKQScrollBox>(form, "Scroll")->ClientArea(), "S.1");
        plant->Finish();
        QCOMPARE(plant->Advised(), Items());
        form->show();
        QCOMPARE(plant->Advised(), Items({"A.1", "G.1", "S.1"}));
        QTRY_COMPARE_WITH_TIMEOUT(form->findChild<TBoundProbe*>("Probe_G.1")->shown, QString("G.1-value"), ReplyWait);

        panel->SetEnabled(false);
        group->SetEnabled(false);
        group->SetEnabled(true);
        QCOMPARE(plant->Advised(), Items({"A.1", "S.1"}));
        panel->SetEnabled(true);
        QCOMPARE(plant->Advised(), Items({"A.1", "G.1", "S.1"}));
        group->SetEnabled(false);
        panel->SetEnabled(false);
        panel->SetEnabled(true);
        QCOMPARE(plant->Advised(), Items({"A.1", "S.1"}));
    }

    void aFormShownInsideADisabledWindowSubscribes()
    {
        // A mode window opens while the main window is disabled.
        QWidget mainWindow;
        mainWindow.setEnabled(false);
        mainWindow.show();
        TKQForm* form = plant->form.get();
        form->setParent(&mainWindow);
        const auto giveBack = qScopeGuard([form] { form->setParent(nullptr); }); // the plant frees it
        plant->Probe(form, "A.1");
        plant->Finish();
        form->show();
        QCOMPARE(plant->Advised(), Items({"A.1"}));
    }

    void viewOnlyReachesBoundControlsInsideWidgets_data()
    {
        QTest::addColumn<bool>("monitorOnly");
        QTest::addColumn<int>("groupTag");
        QTest::addColumn<int>("controlTag");
        QTest::addColumn<bool>("switched");
        QTest::newRow("made view-only") << true << 0 << 0 << true;
        QTest::newRow("locked control made view-only") << true << 0 << (0xDC00 | 0x12) << true;
        QTest::newRow("locked control stays view-only") << false << 0 << (0xDC00 | 0x12) << false;
        QTest::newRow("part of the lock is no lock") << false << 0 << 0x9C00 << true;
        QTest::newRow("locked group stays view-only") << false << 0xDC00 << 0 << false;
    }
    void viewOnlyReachesBoundControlsInsideWidgets()
    {
        QFETCH(bool, monitorOnly);
        QFETCH(int, groupTag);
        QFETCH(int, controlTag);
        QWidget page;
        auto* group = new QWidget(&page);
        group->setProperty("Tag", groupTag);
        auto* inner = new TBoundProbe(new QWidget(group));
        inner->SetTag(controlTag);
        auto* after = new TBoundProbe(&page);
        inner->isMonitorOnly = after->isMonitorOnly = !monitorOnly;
        UpdateChildrensMonStatus(&page, monitorOnly);
        QTEST(inner->isMonitorOnly == monitorOnly, "switched");
        QCOMPARE(after->isMonitorOnly, monitorOnly);
    }

    void anyOtherParentIsReported()
    {
        TKQForm* form = plant->form.get();
        auto* plain = new QWidget(form);
        plain->setObjectName("PlainWidget1");
        plant->Probe(plain, "A.1");
        plant->Finish();
        QCOMPARE(plant->dialogs.texts(), QStringList({"PlainWidget1 is not an Quorvane Library form"}));
        QCOMPARE(plant->dialogs.messages().first().type, TMsgDlgType::mtError);
        plant->dialogs.clear();
        form->show();
        QCOMPARE(plant->Advised(), Items());
    }

    void changingTheItemMovesTheSubscriptionAndShowsAtOnce()
    {
        TKQForm* form = plant->form.get();
        TBoundProbe* probe = plant->Probe(form, "X.1");
        plant->Finish();
        form->show();
        QTRY_COMPARE_WITH_TIMEOUT(probe->shown, QString("X.1-value"), ReplyWait);

        probe->SetItemName("Y.1");
        QCOMPARE(probe->shown, QString("Y.1-value"));
        QCOMPARE(plant->device->RefCount("X.1"), 0);
        QCOMPARE(plant->Advised(), Items({"Y.1"}));
        plant->server->SetItem("Y.1", "moved");
        QTRY_COMPARE_WITH_TIMEOUT(probe->shown, QString("moved"), ReplyWait);
    }

    void aSubscriptionThatFailsIsReportedAndOthersGoOn()
    {
        TKQForm* form = plant->form.get();
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
        plant->dialogs.clear();
    }

    // A window may add a control at run time: without a loading phase its item is
    // taken when the name is set, and its end of loading must not take it again.
    void aControlMadeInCodeHoldsOneReference()
    {
        TKQForm* form = plant->form.get();
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
};

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

class TestPageSwitching : public QObject, public PlantFixture<Plant> {
    Q_OBJECT
private slots:
    void cleanup() { Stop(); }
    // Pages A (A.1, group with A.2), B (B.1, panel with B.2) and C, A active.
    void init()
    {
        Start();
        log.entries.clear();
        log.probes.clear();
        TKQForm* form = plant->form.get();
        pages = plant->Make<TKQPageControl>(form, "Pages");
        for (TKQTabSheet** page : {&pageA, &pageB, &pageC}) {
            *page = plant->Make<TKQTabSheet>(nullptr, QStringLiteral("Page") + QChar('A' + pages->PageCount()));
            (*page)->SetCaption((*page)->objectName());
            pages->AddPage(*page);
            connect(*page, &TKQTabSheet::OnEnter, &log, &PageLog::Enter);
            connect(*page, &TKQTabSheet::OnExit, &log, &PageLog::Exit);
        }
        log.probes << plant->Probe(pageA, "A.1");
        log.probes << plant->Probe(plant->Make<TKQGroupBox>(pageA, "GroupOnA"), "A.2");
        log.probes << plant->Probe(pageB, "B.1");
        log.probes << plant->Probe(plant->Make<TKQPanel>(pageB, "PanelOnB"), "B.2");
        connect(pages, &TKQPageControl::OnChanging, &log, &PageLog::Changing);
        connect(pages, &TKQPageControl::OnChange, &log, &PageLog::Change);
        plant->Finish();
        form->resize(300, 200);
        form->show();
    }

    void switchingMovesSubscriptionsAndCallsExitThenEnter_data()
    {
        QTest::addColumn<QString>("by");
        QTest::newRow("ActivePage assigned") << "property";
        QTest::newRow("tab clicked") << "click";
        QTest::newRow("tab pressed by a screen reader") << "accessible";
        QTest::newRow("ActivePage assigned, tab hidden") << "hidden";
    }
    void switchingMovesSubscriptionsAndCallsExitThenEnter()
    {
        QFETCH(QString, by);
        QCOMPARE(plant->Advised(), Items({"A.1", "A.2"}));
        QTabBar* bar = pages->tabBar();
        if (by == "click")
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        else if (by == "accessible") {
            QAccessible::queryAccessibleInterface(bar)->child(1)->actionInterface()->doAction(
                QAccessibleActionInterface::pressAction());
            QCoreApplication::processEvents(); // a screen reader's press runs once it has been answered
        } else {
            pageB->SetTabVisible(by != "hidden");
            pages->SetActivePage(pageB);
            // Tabs shown meanwhile do not take over from a page whose tab is hidden.
            pageC->SetTabVisible(false);
            pageC->SetTabVisible(true);
        }
        // The page control announces the change while A is still active; A's controls
        // let go before A's exit; B's subscribe once B has been entered.
        QCOMPARE(log.entries, QStringList({"changing from PageA", "exit PageA by Pages (disabled):",
                                           "enter PageB by Pages (disabled):", "changed to PageB"}));
        QVERIFY(pages->Enabled());
        QCOMPARE(pages->ActivePage(), pageB);
        QCOMPARE(pages->currentWidget(), static_cast<QWidget*>(pageB));
        QCOMPARE(plant->Advised(), Items({"B.1", "B.2"}));
        QTRY_COMPARE_WITH_TIMEOUT(pageB->findChild<TBoundProbe*>("Probe_B.2")->shown, QString("B.2-value"), ReplyWait);
    }

    // Hidden or disabled, the page control lets go of the active page; inactive pages stay silent.
    void hidingOrDisablingThePageControl_data()
    {
        QTest::addColumn<bool>("hide");
        QTest::newRow("hidden") << true;
        QTest::newRow("disabled") << false;
    }
    void hidingOrDisablingThePageControl()
    {
        QFETCH(bool, hide);
        pages->SetActivePage(pageB);
        hide ? pages->SetVisible(false) : pages->SetEnabled(false);
        QCOMPARE(plant->Advised(), Items());
        hide ? pages->SetVisible(true) : pages->SetEnabled(true);
        QCOMPARE(plant->Advised(), Items({"B.1", "B.2"}));
    }

    // A hidden tab is gone for assistive technology too: not listed, not pressed.
    void hidingTheActiveTabMovesToAnotherPage()
    {
        QAccessibleInterface* tabs = QAccessible::queryAccessibleInterface(pages->tabBar());
        QAccessibleInterface* tabA = tabs->child(0);
        pageA->SetTabVisible(false);
        QCOMPARE(tabs->childCount(), 2);
        QCOMPARE(tabs->child(0)->text(QAccessible::Name) + tabs->child(1)->text(QAccessible::Name), "PageBPageC");
        tabA->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::processEvents();
        QVERIFY(pages->ActivePage() != pageA);
        QCOMPARE(pages->currentWidget(), static_cast<QWidget*>(pages->ActivePage()));
        QCOMPARE(log.entries.mid(0, 2), QStringList({"changing from PageA", "exit PageA by Pages (disabled):"}));
        QCOMPARE(plant->Advised(), pages->ActivePage() == pageB ? Items({"B.1", "B.2"}) : Items());
    }

private:
    PageLog log;
    TKQPageControl* pages = nullptr;
    TKQTabSheet* pageA = nullptr;
    TKQTabSheet* pageB = nullptr;
    TKQTabSheet* pageC = nullptr;
};

// ---------------------------------------------------------------------------

class TestItemSpy : public QObject, public PlantFixture<Plant> {
    Q_OBJECT
private slots:
    void init()
    {
        Start();
        plant->Finish(); // the spies are made loaded, on a loaded form
    }
    void cleanup() { Stop(); }

    // Locked, a spy stays subscribed whatever its owner says; unlocked at run
    // time, it lets go at once, and the next broadcast subscribes again.
    void lockOnAdviseKeepsTheSubscription()
    {
        TKQItemSpy* locked = plant->Spy(plant->form.get(), Speed, true);
        TKQItemSpy* plain = plant->Spy(plant->form.get(), Setpoint);
        plant->form->show();
        plant->form->hide();
        plant->form->SetEnabled(false);
        plant->server->SetItem(Speed, "3660");
        QTRY_COMPARE_WITH_TIMEOUT(locked->Value().toString(), QString("3660"), ReplyWait);
        QVERIFY(!plain->HasValue());

        plant->form->SetEnabled(true);
        plant->form->show();
        plain->SetLockOnAdvise(false);
        QVERIFY(plant->Advised(Setpoint)); // no change, nothing done
        plain->SetLockOnAdvise(true);
        plain->SetLockOnAdvise(false);
        QVERIFY(!plant->Advised(Setpoint));
        plant->form->Broadcast();
        QVERIFY(plant->Advised(Setpoint));
    }

    // A new name gives the old item back and takes the new one, subscribed as
    // the old one was (always with LockOnAdvise), and fires at once.
    void itemNameChangeMovesTheSubscription_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("locked");
        QTest::newRow("subscribed") << true << false;
        QTest::newRow("not subscribed") << false << false;
        QTest::newRow("not subscribed, locked") << false << true;
    }
    void itemNameChangeMovesTheSubscription()
    {
        QFETCH(bool, shown);
        QFETCH(bool, locked);
        TKQItemSpy* spy = plant->Spy(plant->form.get(), Speed, locked);
        if (shown)
            plant->form->show();
        QSignalSpy fired(spy, &TKQItemSpy::OnValueChange);
        spy->SetItemName(Setpoint.toLower());
        QCOMPARE(fired.count(), 1);
        QCOMPARE(spy->Value().toString(), QString("3000"));
        QCOMPARE(plant->Advised(Setpoint), shown || locked);
        QVERIFY(!plant->Advised(Speed));
        QCOMPARE(plant->device->RefCount(Speed), 0);
        QCOMPARE(plant->device->RefCount(Setpoint), 1);
    }

    void emptyNameGivesTheItemBack()
    {
        TKQItemSpy* spy = plant->Spy(plant->form.get(), Speed);
        plant->Spy(plant->form.get(), QString()); // takes nothing
        plant->form->show();
        QSignalSpy fired(spy, &TKQItemSpy::OnValueChange);
        spy->SetItemName(QString());
        QCOMPARE(fired.count(), 0);
        QVERIFY(!plant->Advised(Speed));
        QCOMPARE(plant->device->ItemCount(), 1); // the plant's own
        QVERIFY(spy->Value().isNull());
        plant->form->hide(); // the owner's later broadcasts find no item and do nothing
    }

};

// ---------------------------------------------------------------------------

TURVISTA_TEST_MAIN(TestContainers, TestPageSwitching, TestItemSpy)

#include "moc_BoundProbe.cpp"
#include "tst_kqforms.moc"
