// The form loader, into a fresh form under an offscreen application, with the
// main window's control device as reference; a form that loads is painted.
// Refusals are expected; a refused form must leave the window as it was. The
// fuzzing build adds a mutator that changes one value, key or list of a form
// and keeps it valid JSON.
#include "controls/FormClasses.h"
#include "controls/FormLoader.h"
#include "controls/KQForms.h"
#include "datalink/KQDatorelControl.h"
#include "fuzz/FuzzEntry.h"
#include "platform/Assert.h"

#include <QApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

namespace {

TKQDatorelControl* Device()
{
    static TKQDatorelControl* const device = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_form";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
        RegisterAllFormClasses();
        return new TKQDatorelControl;
    }();
    return device;
}

// Every parameter a form declares gets a value.
QHash<QString, QString> Parameters(const QByteArray& json)
{
    QHash<QString, QString> values;
    for (const QJsonValue& name : QJsonDocument::fromJson(json).object().value(QStringLiteral("parameters")).toArray())
        values.insert(name.toString(), QStringLiteral("P"));
    return values;
}

} // namespace

extern "C" int FUZZ_ENTRY(const uint8_t* data, size_t size)
{
    TKQDatorelControl* device = Device();
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    TFormLoadOptions options;
    options.anyRootClass = true;
    QStringList missingHandlers;
    options.missingHandlers = &missingHandlers;
    options.parameters = Parameters(json);
    auto window = std::make_unique<TKQForm>();
    const qsizetype before = window->children().size();
    try {
        TFormLoader::LoadJson(json, QStringLiteral("Fuzz"), window.get(),
                              {{QStringLiteral("KQDatorelControl1"), device}}, options);
    } catch (const EAssertionFailed&) {
        if (window->children().size() != before)
            fuzz::Fail("fuzz_form", QStringLiteral("a refused form left %1 objects in the window")
                                        .arg(window->children().size() - before));
        return 0;
    }
    // Every control paints, into a picture of bounded size: how large a window the
    // form asks for is its own matter, not the loader's.
    QImage picture(640, 480, QImage::Format_ARGB32_Premultiplied);
    window->render(&picture);
    return 0;
}

#ifdef FUZZ_MUTATOR
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

const double Numbers[] = {2147483648.0, 2147483647.0, -2147483648.0, 4294967296.0, -1, 0, 0.5, 1e9, 1e300};
const char* const Keys[] = {"class", "name", "properties", "layout", "children", "label", "cell", "stretch",
                            "geometry", "labelFor", "unitOf", "parameters", "defaults", "lists", "templates", "use",
                            "with", "type", "margins", "columnStretch", "Device", "ItemName", "DecimalPlaces",
                            "EnumList", "ActivePage", "minimumSize", "font", "Value", "MaxValue", "frameShape"};
const char* const Texts[] = {"vertical", "grid", "form", "NoFrame", "left|top", "KQDatorelControl1", "%BLOCK%",
                             "#00a000", "", "C_SPEED.RATED.IN", "E1"};

template <class T, size_t N>
const T& Pick(const T (&table)[N], QRandomGenerator& random)
{
    return table[random.bounded(int(N))];
}

int CountNodes(const QJsonValue& value)
{
    int count = 1;
    for (const QJsonValue& element : value.toArray())
        count += CountNodes(element);
    for (const QJsonValue& element : value.toObject())
        count += CountNodes(element);
    return count;
}

// A different value, key or list for one node.
QJsonValue Changed(const QJsonValue& value, QRandomGenerator& random)
{
    static const QStringList classes = FormClasses::Names();
    QJsonArray list = value.toArray();
    QJsonObject object = value.toObject();
    switch (random.bounded(6)) {
    case 0: return Pick(Numbers, random);
    case 1: return random.bounded(2) ? classes.value(random.bounded(int(classes.size()))) : Pick(Texts, random);
    case 2: // a list of another length
        if (list.isEmpty() || random.bounded(3) == 0)
            list.append(Pick(Numbers, random));
        else if (random.bounded(2))
            list.removeAt(random.bounded(int(list.size())));
        else
            list.insert(random.bounded(int(list.size())), list.at(random.bounded(int(list.size()))));
        return list;
    case 3: // a key dropped or renamed
        if (!object.isEmpty()) {
            const QJsonValue moved = object.take(object.keys().at(random.bounded(int(object.size()))));
            if (random.bounded(2))
                object.insert(QString::fromLatin1(Pick(Keys, random)), moved);
        } else {
            object.insert(QString::fromLatin1(Pick(Keys, random)), Pick(Numbers, random));
        }
        return object;
    case 4: return QJsonObject{};
    default: return random.bounded(2) ? QJsonValue(true) : QJsonValue();
    }
}

// Rebuilds the tree with node number `target` (depth first) changed.
QJsonValue Rebuild(const QJsonValue& value, int& target, QRandomGenerator& random)
{
    if (target-- == 0)
        return Changed(value, random);
    if (value.isArray()) {
        QJsonArray list;
        for (const QJsonValue& element : value.toArray())
            list << Rebuild(element, target, random);
        return list;
    }
    if (value.isObject()) {
        QJsonObject object;
        const QJsonObject given = value.toObject();
        for (auto it = given.begin(); it != given.end(); ++it)
            object.insert(it.key(), Rebuild(it.value(), target, random));
        return object;
    }
    return value;
}

} // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed)
{
    Device(); // the class names
    QRandomGenerator random(seed);
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!document.isObject() || random.bounded(4) == 0)
        return LLVMFuzzerMutate(data, size, maxSize);
    const QJsonValue root(document.object());
    int target = random.bounded(CountNodes(root));
    const QJsonValue changed = Rebuild(root, target, random);
    const QByteArray out = changed.isObject() ? QJsonDocument(changed.toObject()).toJson(QJsonDocument::Compact)
                                              : QJsonDocument(QJsonArray{changed}).toJson(QJsonDocument::Compact);
    if (size_t(out.size()) > maxSize)
        return LLVMFuzzerMutate(data, size, maxSize);
    std::copy(out.begin(), out.end(), data);
    return size_t(out.size());
}
#endif
