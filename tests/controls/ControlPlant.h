// For tests of bound controls: a control device talking to a DDE server in the
// same process, and a form to put controls on, built as the form loader builds
// it (properties set while loading, end of loading in creation order, shown).
#pragma once

#include "controls/FormClasses.h"
#include "controls/FormLoader.h"
#include "controls/KComponent.h"
#include "controls/KQForms.h"
#include "datalink/KQDatorelControl.h"
#include "datalink/KQItem.h"
#include "tests/support/TestLink.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>

#include <functional>
#include <memory>

class TControlPlant : public TestLink {
public:
    static constexpr const char* Topic = "4812.net(Dflt Control ID)";
    // Never advised: reading it waits for a round trip through the server, so
    // that everything sent before has been handled.
    static constexpr const char* SettleItem = "SETTLE.ITEM";

    TControlPlant() : TestLink(Topic, [](int) {})
    {
        server->SetItem(SettleItem, "0");
        server->SetItem("Control Status", "1");
        server->SetItem("Run Mode", "0");
        device = std::make_unique<TKQDatorelControl>();
        device->SetIdentifier(Topic);
        if (opened) {
            device->ConversationReady(conversation.get());
            device->ConnectPollTimer();
        }
        settle = device->GetItem(SettleItem);
        form = std::make_unique<TKQForm>();
        form->setObjectName("FTest");
        form->resize(400, 300);
        form->BeginLoading();
        created << form.get();
    }
    ~TControlPlant()
    {
        form.reset();
        device->ReleaseItem(SettleItem);
        device.reset();
    }

    // A value of the server's control, and its symbol information when given.
    void Define(const QString& item, const QByteArray& value, const QByteArray& symbol = {})
    {
        server->SetItem(item, value);
        if (!symbol.isEmpty())
            server->SetBinary(item, symbol);
    }

    // Created and given its properties while loading; definition sets more.
    template <class T>
    T* Make(const QString& name, const QString& item, const std::function<void(T&)>& definition = {},
            QWidget* parent = nullptr)
    {
        auto* control = new T(parent ? parent : form.get());
        control->setObjectName(name);
        control->BeginLoading();
        control->setGeometry(10, 10 + 30 * int(created.size()), 200, 25);
        control->setProperty("Device", QVariant::fromValue<QObject*>(device.get()));
        control->setProperty("ItemName", item);
        if (definition)
            definition(*control);
        created << control;
        return control;
    }

    // A form whose root holds the given component entries, built by the form
    // loader with the device known as "KQDatorelControl1"; not shown yet.
    QList<QObject*> Load(const QString& children)
    {
        RegisterAllFormClasses();
        created.clear();
        form = std::make_unique<TKQForm>();
        const QString json = QStringLiteral(R"({"class": "TKQForm", "name": "FTest", "children": [%1]})").arg(children);
        return TFormLoader::LoadJson(json.toUtf8(), "FTest", form.get(), {{"KQDatorelControl1", device.get()}});
    }

    // End of loading in creation order; Show() also shows the form.
    void Finish()
    {
        for (TKComponent* component : created)
            component->Loaded();
        created.clear();
    }
    void Show()
    {
        Finish();
        form->show();
        Settle();
    }
    // Shown, and the item's first value has arrived (and been taken over).
    bool ShowWithValue(const QString& item)
    {
        Show();
        TKQItem* held = device->GetItem(item);
        const bool arrived = QTest::qWaitFor([held] { return held->HasValue(); }, ReplyWait);
        device->ReleaseItem(item);
        return arrived;
    }
    // Shown and the active window, for tests of the keyboard focus.
    bool ShowActive()
    {
        Show();
        form->activateWindow();
        return QTest::qWaitForWindowActive(form.get());
    }

    void Settle() { settle->Value(); }
    bool Advised(const QString& item)
    {
        Settle();
        return server->advised.contains(item.toUpper());
    }
    // What was poked into the item, in order.
    QStringList Pokes(const QString& item) const
    {
        const QString prefix = item.toUpper() + QLatin1Char('=');
        QStringList values;
        for (const QString& poke : server->pokes)
            if (poke.startsWith(prefix))
                values << poke.mid(prefix.size());
        return values;
    }
    // Pokes of the item are stored but not advised back until Echo().
    void Hold(const QString& item) { server->held.insert(item.toUpper()); }
    void Echo(const QString& item) { server->SetItem(item, server->Item(item)); }

    // A symbol reply: class, data type, minimum and maximum.
    static QByteArray Symbol(char classCode, char typeCode, const QByteArray& min, const QByteArray& max)
    {
        QByteArray reply;
        reply.append(classCode).append(typeCode).append(min).append('\0').append(max).append('\0');
        return reply;
    }

    std::unique_ptr<TKQDatorelControl> device;
    std::unique_ptr<TKQForm> form;
    QList<TKComponent*> created;
    TKQItem* settle = nullptr;
};

// Gives every test a fresh plant and checks that none leaves a message behind;
// the test class calls Start() from init() and Stop() from cleanup().
template <class P = TControlPlant>
struct PlantFixture {
    void Start()
    {
        plant = std::make_unique<P>();
        QVERIFY(plant->opened);
    }
    void Stop()
    {
        const QStringList shown = plant->dialogs.texts();
        plant.reset();
        QCOMPARE(shown, QStringList());
    }
    std::unique_ptr<P> plant;
};
