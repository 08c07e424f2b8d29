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

const double Numbers[] = {2147483648.0, 2147483647.0, -2147483648.0, 4294967296.0, -1, 0, 0.5, -2.5, 1e9,
                          1e300, -1e300};
const char* const Keys[] = {"class", "name", "properties", "events", "layout", "children", "label", "cell", "stretch",
                            "align", "geometry", "labelFor", "unitOf", "parameters", "defaults", "lists", "templates",
                            "type", "margins", "spacing", "columnStretch", "rowStretch", "Device", "ItemName",
                            "DecimalPlaces", "EnumList", "Caption", "Visible", "Tag", "ActivePage", "minimumSize",
                            "font", "Font", "Value", "Increment", "MaxValue", "MinValue", "frameShape", "use",
                            "with", "like", "except"};
const char* const Texts[] = {"vertical", "horizontal", "grid", "form", "NoFrame", "Box", "AlignLeft", "left|top",
                             "center", "KQDatorelControl1", "%BLOCK%", "#00a000", "", "C_SPEED.RATED.IN", "E1"};

int CountNodes(const QJsonValue& value)
{
    int count = 1;
    if (value.isArray())
        for (const QJsonValue& element : value.toArray())
            count += CountNodes(element);
    if (value.isObject())
        for (const QJsonValue& element : value.toObject())
            count += CountNodes(element);
    return count;
}

// A different value, key or list for one node.
QJsonValue Changed(const QJsonValue& value, QRandomGenerator& random)
{
    static const QStringList classes = FormClasses::Names();
    switch (random.bounded(7)) {
    case 0: return Numbers[random.bounded(int(std::size(Numbers)))];
    case 1: return classes.isEmpty() ? QString() : classes[random.bounded(int(classes.size()))];
    case 2: return QString::fromLatin1(Texts[random.bounded(int(std::size(Texts)))]);
    case 3: {
        QJsonArray list;
        for (int i = random.bounded(6); i > 0; --i)
            list << Numbers[random.bounded(int(std::size(Numbers)))];
        return list;
    }
    case 4: {
        QJsonArray list = value.toArray();
        if (!list.isEmpty() && random.bounded(2))
            list.removeAt(random.bounded(int(list.size())));
        else if (!list.isEmpty())
            list.insert(random.bounded(int(list.size())), list[random.bounded(int(list.size()))]);
        return list;
    }
    case 5: {
        QJsonObject object = value.toObject();
        if (object.isEmpty())
            return QJsonObject{{QString::fromLatin1(Keys[random.bounded(int(std::size(Keys)))]), 1}};
        const QString key = object.keys()[random.bounded(int(object.size()))];
        const QJsonValue moved = object.take(key);
        if (random.bounded(2))
            object.insert(QString::fromLatin1(Keys[random.bounded(int(std::size(Keys)))]), moved);
        return object;
    }
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
