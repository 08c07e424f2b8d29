#include "controls/FormLoader.h"

#include "controls/FormClasses.h"
#include "controls/FormDescription.h"
#include "controls/KAccessible.h"
#include "controls/KComponent.h"
#include "controls/KQForms.h"
#include "platform/Assert.h"
#include "platform/files/RegularFile.h"

#include <QBoxLayout>
#include <QColor>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFont>
#include <QFormLayout>
#include <QGridLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QSize>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

const QSet<QString> RootKeys = {"class", "name", "properties", "events", "layout", "children",
                                "parameters", "defaults", "lists", "templates"};
const QSet<QString> ChildKeys = {"class", "name", "properties", "events", "layout", "children",
                                 "label", "cell", "stretch", "align", "geometry", "labelFor", "unitOf"};
const QSet<QString> LayoutKeys = {"type", "margins", "spacing", "stretch", "columnStretch", "rowStretch"};

// Every component may carry a whole number in "Tag"; a class without the
// property gets it as a dynamic one.
const char* const TagProperty = "Tag";

// Ranges of the numbers a form gives for places and sizes: what a drawn form
// can use, and small enough that no sum of them overflows inside Qt.
constexpr int MaxCoordinate = QWIDGETSIZE_MAX;
constexpr int MaxGridLine = 999;    // a grid's last row or column
constexpr int MaxLayoutSpace = 1000; // margins, spacing, stretch factors
constexpr int MaxFontSize = 1000;   // points or pixels

// Properties that name other components of the form are set once the whole tree
// exists, so that they may refer to components described further down.
const QSet<QString> LateProperties = {"ActivePage"};

// Keeps a caption shown exactly while its field is.
class TLabelFollower : public QObject {
public:
    TLabelFollower(QWidget* field, QLabel* label) : QObject(field), label(label)
    {
        field->installEventFilter(this);
        label->setVisible(!field->isHidden());
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (label && event->type() == QEvent::ShowToParent)
            label->setVisible(true);
        else if (label && event->type() == QEvent::HideToParent)
            label->setVisible(false);
        return false;
    }

private:
    QPointer<QLabel> label;
};

bool IsIntegerType(int id)
{
    switch (id) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// A JSON list as the control receives it: numbers that are whole become int
// (or qlonglong when they do not fit), so that text/value pairs arrive typed.
QVariant ListValue(const QJsonValue& value)
{
    if (value.isArray()) {
        QVariantList list;
        for (const QJsonValue& element : value.toArray())
            list << ListValue(element);
        return list;
    }
    if (IsIntegral(value)) {
        const qint64 number = qint64(value.toDouble());
        if (number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max())
            return int(number);
        return qlonglong(number);
    }
    return value.toVariant();
}

// A whole number within low..high (by default, any int), or nullopt.
std::optional<int> IntNumber(const QJsonValue& value, int low = std::numeric_limits<int>::min(),
                             int high = std::numeric_limits<int>::max())
{
    if (!IsIntegral(value) || value.toDouble() < low || value.toDouble() > high)
        return std::nullopt;
    return int(value.toDouble());
}

QString JsonText(const QJsonValue& value)
{
    if (value.isString())
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.isDouble() && IsIntegral(value) && std::fabs(value.toDouble()) < 1e16)
        return QString::number(qint64(value.toDouble()));
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    return QStringLiteral("null");
}

class TLoad {
public:
    TLoad(const QString& formName, QWidget* window, const TFormReferences& references, const TFormLoadOptions& options)
        : formName(formName), window(window), references(references), options(options)
    {
    }

    QList<QObject*> Run(const QJsonObject& root)
    {
        const TFormLoadingScope loading;
        try {
            rootWho = root.value(QStringLiteral("name")).toString(window->objectName());
            if (rootWho.isEmpty())
                rootWho = root.value(QStringLiteral("class")).toString();
            CheckKeys(root, RootKeys, rootWho);
            description.emplace(formName, rootWho, root, options.parameters);
            BuildRoot(description->Form());
            SetLateProperties();
            FinishLoading();
            description->CheckDefaultsUsed();
        } catch (...) {
            Discard();
            throw;
        }
        return created;
    }

private:
    struct LateProperty {
        QObject* object;
        QMetaProperty property;
        QJsonValue value;
        QString who;
    };

    [[noreturn]] void Refuse(const QString& who, const QString& text) const
    {
        RefuseForm(formName, who, text);
    }

    QString Who(QObject* object) const
    {
        if (!object->objectName().isEmpty())
            return object->objectName();
        if (object == window)
            return rootWho;
        QObject* container = object->parent();
        while (container && container->objectName().isEmpty())
            container = container->parent();
        return QStringLiteral("(unnamed %1 in %2)")
            .arg(QString::fromLatin1(object->metaObject()->className()),
                 container ? container->objectName() : QStringLiteral("?"));
    }

    static bool Inherits(const QMetaObject* meta, const QString& className)
    {
        for (; meta; meta = meta->superClass())
            if (QString::fromLatin1(meta->className()) == className)
                return true;
        return false;
    }

    void CheckKeys(const QJsonObject& entry, const QSet<QString>& allowed, const QString& who) const
    {
        for (auto it = entry.begin(); it != entry.end(); ++it)
            if (!allowed.contains(it.key()))
                Refuse(who, QStringLiteral("unknown entry \"%1\"").arg(it.key()));
    }

    void Name(QObject* object, const QJsonObject& entry, const QString& who)
    {
        const QJsonValue name = entry.value(QStringLiteral("name"));
        if (name.isUndefined())
            return;
        if (!name.isString() || name.toString().isEmpty())
            Refuse(who, QStringLiteral("the name must be a text"));
        if (byName.contains(name.toString()))
            Refuse(name.toString(), QStringLiteral("the name is used twice"));
        object->setObjectName(name.toString());
        byName.insert(name.toString(), object);
    }

    // ---- the tree -------------------------------------------------------------------

    void BuildRoot(const QJsonObject& entry)
    {
        const QString className = entry.value(QStringLiteral("class")).toString();
        if (!options.anyRootClass && !Inherits(window->metaObject(), className))
            Refuse(rootWho, QStringLiteral("the window is a %1, not a %2")
                                .arg(QString::fromLatin1(window->metaObject()->className()), className));
        description->CheckFilled(entry, rootWho, false);
        if (auto* component = dynamic_cast<TKComponent*>(window))
            component->BeginLoading();
        created << window;
        Name(window, entry, rootWho);
        Build(window, entry);
    }

    // Properties, events, layout and children of a component that exists.
    void Build(QObject* object, const QJsonObject& entry)
    {
        const QString who = Who(object);
        SetProperties(object, entry.value(QStringLiteral("properties")), who);
        ConnectEvents(object, entry.value(QStringLiteral("events")), who);
        if (entry.contains(QStringLiteral("layout")))
            InstallLayout(object, entry.value(QStringLiteral("layout")), who);
        const QJsonValue children = entry.value(QStringLiteral("children"));
        if (children.isUndefined())
            return;
        if (!children.isArray())
            Refuse(who, QStringLiteral("children must be a list"));
        for (const QJsonValue& child : children.toArray()) {
            if (!child.isObject())
                Refuse(who, QStringLiteral("a child must be an object"));
            BuildChild(object, child.toObject());
        }
    }

    void BuildChild(QObject* container, const QJsonObject& given)
    {
        QStringList used;
        const QJsonObject entry = description->Expand(given, Who(container), used, templatesInUse);
        const QString className = entry.value(QStringLiteral("class")).toString();
        const QString name = entry.value(QStringLiteral("name")).toString();
        const QString who = name.isEmpty() ? QStringLiteral("(unnamed %1 in %2)").arg(className, Who(container)) : name;
        CheckKeys(entry, ChildKeys, who);
        description->CheckFilled(entry, who, !used.isEmpty() || !templatesInUse.isEmpty());
        const TFormClass* formClass = FormClasses::Find(className);
        if (!formClass)
            Refuse(who, QStringLiteral("unknown class \"%1\"").arg(className));

        auto* pageControl = qobject_cast<TKQPageControl*>(container);
        const bool tabSheet = Inherits(formClass->metaObject, QStringLiteral("TKQTabSheet"));
        if (pageControl && !tabSheet)
            Refuse(who, QStringLiteral("a page control holds tab sheets only"));
        if (tabSheet && !pageControl)
            Refuse(who, QStringLiteral("a tab sheet belongs in a page control"));

        QObject* parent = container;
        if (formClass->visual) {
            QWidget* host = HostOf(container);
            if (!host)
                Refuse(who, QStringLiteral("%1 cannot hold visual components").arg(Who(container)));
            parent = host;
        }
        QObject* object = formClass->create(parent);
        created << object;
        if (auto* component = dynamic_cast<TKComponent*>(object))
            component->BeginLoading();
        Name(object, entry, who);

        // Properties first: a tab takes its sheet's caption when the sheet is added.
        SetProperties(object, description->WithDefaults(formClass->metaObject, entry.value(QStringLiteral("properties")), who),
                      who);
        if (pageControl) {
            pageControl->AddPage(static_cast<TKQTabSheet*>(object));
        } else if (auto* widget = qobject_cast<QWidget*>(object)) {
            Place(widget, entry, who);
        } else if (entry.contains(QStringLiteral("label")) || entry.contains(QStringLiteral("cell"))
                   || entry.contains(QStringLiteral("geometry"))) {
            Refuse(who, QStringLiteral("a non-visual component has no place in a layout"));
        }
        for (const QString& key : {QStringLiteral("labelFor"), QStringLiteral("unitOf")})
            if (entry.contains(key)) {
                auto* label = qobject_cast<QLabel*>(object);
                if (!label)
                    Refuse(who, QStringLiteral("only a label has \"%1\"").arg(key));
                links.push_back({label, entry.value(key).toString(), key == QLatin1String("unitOf"), who});
            }
        QJsonObject rest = entry;
        rest.remove(QStringLiteral("properties"));
        templatesInUse += used;
        Build(object, rest);
        templatesInUse.resize(templatesInUse.size() - used.size());
    }

    // The widget that holds the children of a container.
    static QWidget* HostOf(QObject* container)
    {
        if (auto* scrollBox = qobject_cast<TKQScrollBox*>(container))
            return scrollBox->ClientArea();
        return qobject_cast<QWidget*>(container);
    }

    // ---- properties ---------------------------------------------------------------

    void SetProperties(QObject* object, const QJsonValue& properties, const QString& who)
    {
        if (properties.isUndefined())
            return;
        if (!properties.isObject())
            Refuse(who, QStringLiteral("properties must be an object"));
        const QJsonObject values = properties.toObject();
        const QMetaObject* meta = object->metaObject();
        for (auto it = values.begin(); it != values.end(); ++it) {
            const int index = meta->indexOfProperty(it.key().toLatin1().constData());
            const QString spelling = PublishedSpelling(meta, it.key(), index >= 0);
            if (!spelling.isEmpty())
                Refuse(who, QStringLiteral("property \"%1\" is spelt \"%2\"").arg(it.key(), spelling));
            if (index < 0 && it.key() == QLatin1String(TagProperty)) {
                SetDynamicTag(object, it.value(), who);
                continue;
            }
            if (index < 0)
                Refuse(who, QStringLiteral("unknown property \"%1\" of %2")
                                .arg(it.key(), QString::fromLatin1(meta->className())));
            const QMetaProperty property = meta->property(index);
            if (!property.isWritable())
                Refuse(who, QStringLiteral("property \"%1\" cannot be set").arg(it.key()));
            QJsonValue value = it.value();
            if (property.metaType().id() == QMetaType::QVariantList && value.isString()) {
                value = description->NamedList(value.toString(), who);
                if (options.listNames)
                    options.listNames->insert(object, it.value().toString());
            }
            if (IsReference(property) || LateProperties.contains(it.key()))
                late.push_back(LateProperty{object, property, value, who});
            else
                Write(object, property, Convert(property, value, who), value, who);
        }
    }

    // The one spelling a form may use when a class has names that differ only in
    // case: the published one ("Visible") rather than Qt's ("visible").
    QString PublishedSpelling(const QMetaObject* meta, const QString& name, bool exists)
    {
        if (exists && !name.front().isLower())
            return QString();
        const QString key = QString::fromLatin1(meta->className()) + QLatin1Char('.') + name;
        const auto known = spellings.constFind(key);
        if (known != spellings.cend())
            return *known;
        QString other;
        for (int i = 0; i < meta->propertyCount() && other.isEmpty(); ++i) {
            const QString candidate = QString::fromLatin1(meta->property(i).name());
            if (candidate != name && candidate.compare(name, Qt::CaseInsensitive) == 0
                && (!exists || candidate.front().isUpper()))
                other = candidate;
        }
        spellings.insert(key, other);
        return other;
    }

    void SetDynamicTag(QObject* object, const QJsonValue& value, const QString& who) const
    {
        const std::optional<int> tag = IntNumber(value);
        if (!tag)
            Refuse(who, QStringLiteral("property \"%1\" takes a whole number, not %2").arg(TagProperty, JsonText(value)));
        object->setProperty(TagProperty, *tag);
    }

    static bool IsReference(const QMetaProperty& property)
    {
        return property.metaType().flags().testFlag(QMetaType::PointerToQObject);
    }

    void Write(QObject* object, const QMetaProperty& property, const QVariant& value, const QJsonValue& given,
               const QString& who)
    {
        bool written = false;
        try {
            written = property.write(object, value);
        } catch (const EAssertionFailed& error) {
            Refuse(who, error.Message());
        } catch (const std::exception& error) {
            Refuse(who, QString::fromUtf8(error.what()));
        }
        if (!written)
            Refuse(who, QStringLiteral("property \"%1\" does not take %2")
                            .arg(QString::fromLatin1(property.name()), JsonText(given)));
    }

    [[noreturn]] void Mismatch(const QMetaProperty& property, const QJsonValue& value, const QString& who,
                               const QString& expected) const
    {
        Refuse(who, QStringLiteral("property \"%1\" takes %2, not %3")
                        .arg(QString::fromLatin1(property.name()), expected, JsonText(value)));
    }

    QVariant Convert(const QMetaProperty& property, const QJsonValue& value, const QString& who) const
    {
        const QMetaType type = property.metaType();
        if (property.isEnumType()) {
            const QMetaEnum enumerator = property.enumerator();
            if (value.isDouble())
                return EnumNumber(property, enumerator, value, who);
            bool ok = false;
            const QByteArray key = value.toString().toLatin1();
            const int number = enumerator.isFlag() ? enumerator.keysToValue(key.constData(), &ok)
                                                   : enumerator.keyToValue(key.constData(), &ok);
            if (!value.isString() || !ok)
                Mismatch(property, value, who, QStringLiteral("a key of %1").arg(QString::fromLatin1(enumerator.name())));
            return number;
        }
        const int id = type.id();
        if (IsIntegerType(id)) {
            if (!IsIntegral(value))
                Mismatch(property, value, who, QStringLiteral("a whole number"));
            QVariant converted = QVariant(qlonglong(value.toDouble()));
            // Out of range for the property's type: the value would not survive the round trip.
            if (!converted.convert(type) || QVariant(converted).toLongLong() != qlonglong(value.toDouble()))
                Mismatch(property, value, who, QStringLiteral("a number in the range of %1").arg(QString::fromLatin1(type.name())));
            return converted;
        }
        switch (id) {
        case QMetaType::Bool:
            if (!value.isBool())
                Mismatch(property, value, who, QStringLiteral("true or false"));
            return value.toBool();
        case QMetaType::Double:
        case QMetaType::Float:
            if (!value.isDouble())
                Mismatch(property, value, who, QStringLiteral("a number"));
            return id == QMetaType::Float ? QVariant(float(value.toDouble())) : QVariant(value.toDouble());
        case QMetaType::QString:
            if (!value.isString())
                Mismatch(property, value, who, QStringLiteral("a text"));
            return value.toString();
        case QMetaType::QStringList: {
            QStringList texts;
            for (const QJsonValue& element : value.toArray()) {
                if (!element.isString())
                    Mismatch(property, value, who, QStringLiteral("a list of texts"));
                texts << element.toString();
            }
            if (!value.isArray())
                Mismatch(property, value, who, QStringLiteral("a list of texts"));
            return texts;
        }
        case QMetaType::QVariantList:
            if (!value.isArray())
                Mismatch(property, value, who, QStringLiteral("a list"));
            return ListValue(value);
        case QMetaType::QColor: {
            const QColor color = QColor::fromString(value.toString());
            if (!value.isString() || !color.isValid())
                Mismatch(property, value, who, QStringLiteral("a colour (\"#rrggbb\" or a colour name)"));
            return color;
        }
        case QMetaType::QSize:
        case QMetaType::QPoint:
        case QMetaType::QRect:
            return Geometry(property, value, who);
        case QMetaType::QFont:
            return Font(property, value, who);
        default:
            break;
        }
        QVariant converted = value.toVariant();
        if (!converted.convert(type))
            Mismatch(property, value, who, QString::fromLatin1(type.name()));
        return converted;
    }

    // A number for an enumeration must be one of its keys' values (or, for
    // flags, made of them).
    int EnumNumber(const QMetaProperty& property, const QMetaEnum& enumerator, const QJsonValue& value,
                   const QString& who) const
    {
        const std::optional<int> given = IntNumber(value);
        bool known = false;
        if (given && enumerator.isFlag())
            known = enumerator.keysToValue(enumerator.valueToKeys(*given).constData(), &known) == *given && known;
        else if (given)
            known = enumerator.valueToKey(*given) != nullptr;
        if (!known)
            Mismatch(property, value, who, QStringLiteral("a key of %1").arg(QString::fromLatin1(enumerator.name())));
        return *given;
    }

    QVariant Geometry(const QMetaProperty& property, const QJsonValue& value, const QString& who) const
    {
        const int id = property.metaType().id();
        const qsizetype count = id == QMetaType::QRect ? 4 : 2;
        const QJsonArray numbers = value.toArray();
        bool ok = value.isArray() && numbers.size() == count;
        for (const QJsonValue& number : numbers)
            ok = ok && IsIntegral(number) && std::fabs(number.toDouble()) <= MaxCoordinate;
        if (!ok)
            Mismatch(property, value, who, QStringLiteral("a list of %1 whole numbers from %2 to %3")
                                               .arg(count).arg(-MaxCoordinate).arg(MaxCoordinate));
        if (id == QMetaType::QSize)
            return QSize(numbers[0].toInt(), numbers[1].toInt());
        if (id == QMetaType::QPoint)
            return QPoint(numbers[0].toInt(), numbers[1].toInt());
        return QRect(numbers[0].toInt(), numbers[1].toInt(), numbers[2].toInt(), numbers[3].toInt());
    }

    // A whole number of a layout or a place, refused outside low..high.
    int Whole(const QJsonValue& value, int low, int high, const QString& who, const QString& what) const
    {
        const std::optional<int> number = IntNumber(value, low, high);
        if (!number)
            Refuse(who, QStringLiteral("%1 takes whole numbers from %2 to %3, not %4")
                            .arg(what).arg(low).arg(high).arg(JsonText(value)));
        return *number;
    }

    QVariant Font(const QMetaProperty& property, const QJsonValue& value, const QString& who) const
    {
        static const QSet<QString> keys = {"family", "pointSize", "pixelSize", "bold", "italic"};
        const QJsonObject given = value.toObject();
        bool ok = value.isObject();
        for (auto it = given.begin(); it != given.end(); ++it)
            ok = ok && keys.contains(it.key());
        if (!ok)
            Mismatch(property, value, who, QStringLiteral("a font {family, pointSize or pixelSize, bold, italic}"));
        QFont font;
        if (given.contains(QStringLiteral("family")))
            font.setFamily(given.value(QStringLiteral("family")).toString());
        if (given.contains(QStringLiteral("pointSize"))) {
            const double points = given.value(QStringLiteral("pointSize")).toDouble();
            if (!(points > 0 && points <= MaxFontSize))
                Mismatch(property, value, who, QStringLiteral("a point size above 0 and up to %1").arg(MaxFontSize));
            font.setPointSizeF(points);
        }
        if (given.contains(QStringLiteral("pixelSize")))
            font.setPixelSize(Whole(given.value(QStringLiteral("pixelSize")), 1, MaxFontSize, who, QStringLiteral("pixelSize")));
        font.setBold(given.value(QStringLiteral("bold")).toBool());
        font.setItalic(given.value(QStringLiteral("italic")).toBool());
        return font;
    }

    void SetLateProperties()
    {
        for (const LateProperty& entry : late) {
            if (!IsReference(entry.property)) {
                const QVariant value = Convert(entry.property, entry.value, entry.who);
                Write(entry.object, entry.property, value, entry.value, entry.who);
                // A name that matches nothing leaves the property as it was.
                if (entry.property.read(entry.object) != value)
                    Refuse(entry.who, QStringLiteral("property \"%1\" does not take %2")
                                          .arg(QString::fromLatin1(entry.property.name()), JsonText(entry.value)));
                continue;
            }
            const QString name = entry.value.toString();
            if (!entry.value.isString() || name.isEmpty())
                Mismatch(entry.property, entry.value, entry.who, QStringLiteral("the name of a component"));
            QObject* target = references.value(name, byName.value(name));
            if (!target)
                Refuse(entry.who, QStringLiteral("property \"%1\" refers to \"%2\", which is not known")
                                      .arg(QString::fromLatin1(entry.property.name()), name));
            const QMetaObject* wanted = entry.property.metaType().metaObject();
            QObject* cast = wanted ? wanted->cast(target) : target;
            if (!cast)
                Refuse(entry.who, QStringLiteral("property \"%1\" takes a %2; \"%3\" is a %4")
                                      .arg(QString::fromLatin1(entry.property.name()),
                                           QString::fromLatin1(wanted->className()), name,
                                           QString::fromLatin1(target->metaObject()->className())));
            Write(entry.object, entry.property, QVariant(entry.property.metaType(), &cast), entry.value, entry.who);
        }
    }

    // ---- events ---------------------------------------------------------------------

    void ConnectEvents(QObject* object, const QJsonValue& events, const QString& who)
    {
        if (events.isUndefined())
            return;
        if (!events.isObject())
            Refuse(who, QStringLiteral("events must be an object"));
        const QJsonObject handlers = events.toObject();
        const QMetaObject* meta = object->metaObject();
        for (auto it = handlers.begin(); it != handlers.end(); ++it) {
            const QString handler = it.value().toString();
            if (!it.value().isString() || handler.isEmpty())
                Refuse(who, QStringLiteral("event \"%1\" needs the name of a handler").arg(it.key()));
            bool known = false;
            bool connected = false;
            QString wanted;
            for (int i = 0; i < meta->methodCount() && !connected; ++i) {
                const QMetaMethod signal = meta->method(i);
                if (signal.methodType() != QMetaMethod::Signal || QString::fromLatin1(signal.name()) != it.key())
                    continue;
                known = true;
                const QByteArray signature = handler.toLatin1() + '(' + signal.parameterTypes().join(',') + ')';
                const int slot = window->metaObject()->indexOfMethod(QMetaObject::normalizedSignature(signature));
                if (slot < 0) {
                    if (wanted.isEmpty())
                        wanted = QString::fromLatin1(signature);
                    continue;
                }
                connected = bool(QMetaObject::connect(object, i, window, slot));
            }
            if (!known)
                Refuse(who, QStringLiteral("unknown event \"%1\" of %2").arg(it.key(), QString::fromLatin1(meta->className())));
            if (!connected && options.missingHandlers)
                *options.missingHandlers << QStringLiteral("%1.%2: %3").arg(who, it.key(), wanted);
            else if (!connected)
                Refuse(who, QStringLiteral("the window %1 has no handler %2 for %3")
                                .arg(QString::fromLatin1(window->metaObject()->className()), wanted, it.key()));
        }
    }

    // ---- layout ---------------------------------------------------------------------

    void InstallLayout(QObject* object, const QJsonValue& description, const QString& who)
    {
        if (!description.isObject())
            Refuse(who, QStringLiteral("layout must be an object"));
        const QJsonObject layout = description.toObject();
        CheckKeys(layout, LayoutKeys, who);
        if (qobject_cast<TKQPageControl*>(object))
            Refuse(who, QStringLiteral("a page control lays out its pages itself"));
        QWidget* host = HostOf(object);
        if (!host)
            Refuse(who, QStringLiteral("a non-visual component has no layout"));

        const QString type = layout.value(QStringLiteral("type")).toString();
        QLayout* installed = nullptr;
        if (type == QLatin1String("vertical"))
            installed = new QVBoxLayout;
        else if (type == QLatin1String("horizontal"))
            installed = new QHBoxLayout;
        else if (type == QLatin1String("grid"))
            installed = new QGridLayout;
        else if (type == QLatin1String("form"))
            installed = new QFormLayout;
        else
            Refuse(who, QStringLiteral("unknown layout type \"%1\"").arg(type));
        host->setLayout(installed);
        if (host == window)
            rootLayout = installed;

        const QJsonValue margins = layout.value(QStringLiteral("margins"));
        const auto margin = [&](const QJsonValue& value) {
            return Whole(value, 0, MaxLayoutSpace, who, QStringLiteral("margins"));
        };
        if (margins.isDouble()) {
            const int m = margin(margins);
            installed->setContentsMargins(m, m, m, m);
        } else if (margins.isArray() && margins.toArray().size() == 4) {
            const QJsonArray m = margins.toArray();
            installed->setContentsMargins(margin(m[0]), margin(m[1]), margin(m[2]), margin(m[3]));
        } else if (!margins.isUndefined()) {
            Refuse(who, QStringLiteral("margins are a number or a list of four"));
        }
        const QJsonValue spacing = layout.value(QStringLiteral("spacing"));
        if (!spacing.isUndefined()) {
            const int space = Whole(spacing, 0, MaxLayoutSpace, who, QStringLiteral("spacing"));
            if (auto* grid = qobject_cast<QGridLayout*>(installed)) {
                grid->setHorizontalSpacing(space);
                grid->setVerticalSpacing(space);
            } else if (auto* form = qobject_cast<QFormLayout*>(installed)) {
                form->setHorizontalSpacing(space);
                form->setVerticalSpacing(space);
            } else {
                installed->setSpacing(space);
            }
        }
        if (auto* form = qobject_cast<QFormLayout*>(installed)) {
            // Fields keep the width their controls ask for, as on a drawn form.
            form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
            form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        }
        if (layout.value(QStringLiteral("stretch")).toBool()) {
            if (auto* box = qobject_cast<QBoxLayout*>(installed))
                pendingStretch << box;
            else
                Refuse(who, QStringLiteral("only vertical and horizontal layouts end in a stretch"));
        }
        if (auto* grid = qobject_cast<QGridLayout*>(installed)) {
            const QJsonArray columns = layout.value(QStringLiteral("columnStretch")).toArray();
            const QJsonArray rows = layout.value(QStringLiteral("rowStretch")).toArray();
            if (columns.size() > MaxGridLine + 1 || rows.size() > MaxGridLine + 1)
                Refuse(who, QStringLiteral("a grid has at most %1 rows and columns").arg(MaxGridLine + 1));
            const QString stretch = QStringLiteral("a stretch");
            for (qsizetype i = 0; i < columns.size(); ++i)
                grid->setColumnStretch(int(i), Whole(columns[i], 0, MaxLayoutSpace, who, stretch));
            for (qsizetype i = 0; i < rows.size(); ++i)
                grid->setRowStretch(int(i), Whole(rows[i], 0, MaxLayoutSpace, who, stretch));
        } else if (layout.contains(QStringLiteral("columnStretch")) || layout.contains(QStringLiteral("rowStretch"))) {
            Refuse(who, QStringLiteral("row and column stretch belong to grid layouts"));
        }
    }

    Qt::Alignment Alignment(const QJsonValue& value, const QString& who) const
    {
        static const QHash<QString, Qt::Alignment> names = {
            {"left", Qt::AlignLeft}, {"right", Qt::AlignRight}, {"hcenter", Qt::AlignHCenter},
            {"top", Qt::AlignTop},   {"bottom", Qt::AlignBottom}, {"vcenter", Qt::AlignVCenter},
            {"center", Qt::AlignCenter},
        };
        Qt::Alignment alignment;
        if (value.isUndefined())
            return alignment;
        for (const QString& part : value.toString().split(QLatin1Char('|'))) {
            if (!names.contains(part.trimmed()))
                Refuse(who, QStringLiteral("unknown alignment \"%1\"").arg(value.toString()));
            alignment |= names.value(part.trimmed());
        }
        return alignment;
    }

    void Place(QWidget* widget, const QJsonObject& entry, const QString& who)
    {
        QLayout* layout = widget->parentWidget() ? widget->parentWidget()->layout() : nullptr;
        const bool hasLabel = entry.contains(QStringLiteral("label"));
        const bool hasCell = entry.contains(QStringLiteral("cell"));
        const bool hasGeometry = entry.contains(QStringLiteral("geometry"));
        const bool hasStretch = entry.contains(QStringLiteral("stretch"));
        const Qt::Alignment alignment = Alignment(entry.value(QStringLiteral("align")), who);

        auto* form = qobject_cast<QFormLayout*>(layout);
        auto* grid = qobject_cast<QGridLayout*>(layout);
        auto* box = qobject_cast<QBoxLayout*>(layout);
        if (hasLabel && !form)
            Refuse(who, QStringLiteral("a label needs a form layout"));
        if (hasCell && !grid)
            Refuse(who, QStringLiteral("a cell needs a grid layout"));
        if (hasStretch && !box)
            Refuse(who, QStringLiteral("a stretch needs a vertical or horizontal layout"));
        if (hasGeometry && layout)
            Refuse(who, QStringLiteral("a geometry needs a container without layout"));

        if (form) {
            if (!hasLabel) {
                form->addRow(widget);
                return;
            }
            auto* label = new QLabel(entry.value(QStringLiteral("label")).toString(), widget->parentWidget());
            captions << label;
            form->addRow(label, widget);
            LinkLabel(label, widget);
            new TLabelFollower(widget, label);
        } else if (grid) {
            const QJsonArray cell = entry.value(QStringLiteral("cell")).toArray();
            if (cell.size() != 2 && cell.size() != 4)
                Refuse(who, QStringLiteral("a cell is [row, column] or [row, column, rows, columns]"));
            const QString place = QStringLiteral("a cell");
            const int row = Whole(cell[0], 0, MaxGridLine, who, place);
            const int column = Whole(cell[1], 0, MaxGridLine, who, place);
            if (cell.size() == 2)
                grid->addWidget(widget, row, column, alignment);
            else
                grid->addWidget(widget, row, column, Whole(cell[2], 1, MaxGridLine + 1 - row, who, place),
                                Whole(cell[3], 1, MaxGridLine + 1 - column, who, place), alignment);
        } else if (box) {
            const QJsonValue stretch = entry.value(QStringLiteral("stretch"));
            box->addWidget(widget, stretch.isUndefined() ? 0 : Whole(stretch, 0, MaxLayoutSpace, who, QStringLiteral("a stretch")),
                           alignment);
        } else if (hasGeometry) {
            const QJsonArray g = entry.value(QStringLiteral("geometry")).toArray();
            if (g.size() != 4)
                Refuse(who, QStringLiteral("a geometry is [x, y, width, height]"));
            const QString geometry = QStringLiteral("a geometry");
            widget->setGeometry(Whole(g[0], -MaxCoordinate, MaxCoordinate, who, geometry),
                                Whole(g[1], -MaxCoordinate, MaxCoordinate, who, geometry),
                                Whole(g[2], 0, MaxCoordinate, who, geometry), Whole(g[3], 0, MaxCoordinate, who, geometry));
        } else if (layout) {
            layout->addWidget(widget);
        }
    }

    // ---- end of loading ----------------------------------------------------------

    void FinishLoading()
    {
        for (QBoxLayout* box : pendingStretch)
            box->addStretch(1);
        for (const LabelLink& link : links) {
            auto* widget = qobject_cast<QWidget*>(byName.value(link.target));
            if (!widget)
                Refuse(link.who, QStringLiteral("names no visual component \"%1\"").arg(link.target));
            auto* control = dynamic_cast<TKAccessibleControl*>(widget);
            if (link.unit && !control)
                Refuse(link.who, QStringLiteral("%1 shows no value with a unit").arg(link.target));
            if (link.unit) {
                control->SetAccessibleUnit(link.label->text());
            } else {
                LinkLabel(link.label, widget);
                new TLabelFollower(widget, link.label);
            }
        }
        for (QObject* object : created) {
            const QString who = Who(object);
            const QVariant itemName = object->property("ItemName");
            if (!itemName.toString().isEmpty() && !object->property("Device").value<QObject*>())
                Refuse(who, QStringLiteral("names the item \"%1\" but no Device").arg(itemName.toString()));
            auto* component = dynamic_cast<TKComponent*>(object);
            if (!component)
                continue;
            try {
                component->Loaded();
            } catch (const EAssertionFailed& error) {
                Refuse(who, error.Message());
            } catch (const std::exception& error) {
                Refuse(who, QString::fromUtf8(error.what()));
            }
        }
    }

    // A refused form leaves the window as it was.
    void Discard()
    {
        for (qsizetype i = created.size() - 1; i > 0; --i)
            delete created[i];
        created.clear();
        for (const QPointer<QLabel>& caption : captions)
            delete caption.data();
        delete rootLayout;
    }

    QString formName;
    QString rootWho;
    QWidget* window;
    const TFormReferences& references;
    const TFormLoadOptions& options;
    QList<QObject*> created;
    // Captions the form layouts were given, beside their fields.
    QList<QPointer<QLabel>> captions;
    QHash<QString, QObject*> byName;
    std::vector<LateProperty> late;
    QList<QBoxLayout*> pendingStretch;
    // A label that is the caption ("labelFor") or the unit ("unitOf") of another component.
    struct LabelLink {
        QLabel* label;
        QString target;
        bool unit;
        QString who;
    };
    std::vector<LabelLink> links;
    QLayout* rootLayout = nullptr;

    std::optional<TFormDescription> description;
    // The templates the components being built come from.
    QStringList templatesInUse;
    QHash<QString, QString> spellings;
};

} // namespace

QString TFormLoader::ResourcePath(const QString& formName)
{
    return QStringLiteral(":/forms/") + formName + QStringLiteral(".json");
}

QStringList TFormLoader::StoredForms()
{
    QStringList names;
    const QStringList files = QDir(QStringLiteral(":/forms")).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString& file : files)
        names << QFileInfo(file).completeBaseName();
    return names;
}

QList<QObject*> TFormLoader::Load(const QString& path, QWidget* window, const TFormReferences& references,
                                  const TFormLoadOptions& options)
{
    const QString formName = QFileInfo(path).completeBaseName();
    QString why;
    const std::optional<QByteArray> json = RegularFile::Read(path, RegularFile::MaxFormBytes, &why);
    if (!json)
        throw EAssertionFailed(QStringLiteral("Form %1: cannot read %2: %3").arg(formName, path, why));
    return LoadJson(*json, formName, window, references, options);
}

QList<QObject*> TFormLoader::LoadJson(const QByteArray& json, const QString& formName, QWidget* window,
                                      const TFormReferences& references, const TFormLoadOptions& options)
{
    Assert(window != nullptr, "TFormLoader.Load: no window");
    RegisterAllFormClasses();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (document.isNull())
        throw EAssertionFailed(QStringLiteral("Form %1: %2 at offset %3")
                                   .arg(formName, error.errorString())
                                   .arg(error.offset));
    if (!document.isObject())
        throw EAssertionFailed(QStringLiteral("Form %1: the description is not an object").arg(formName));
    TLoad load(formName, window, references, options);
    return load.Run(document.object());
}
