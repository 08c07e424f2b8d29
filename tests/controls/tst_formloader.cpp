// The form loader: building the tree of a description, property values, events,
// the end-of-loading calls, the refusals, and every form stored in the program.
#include "controls/FormClasses.h"
#include "controls/FormLoader.h"
#include "controls/KQForms.h"
#include "controls/KQMomentaryButton.h"
#include "tests/controls/BoundProbe.h"
#include "tests/controls/ControlPlant.h"
#include "tests/support/RaisedText.h"
#include "tests/support/TestRunner.h"

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFormLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

// A non-visual component typed to devices, as item spies are.
class TLoaderWatcher : public QObject, public TKComponent {
    Q_OBJECT
    Q_PROPERTY(TKQDevice* Device MEMBER device)
public:
    explicit TLoaderWatcher(QObject* owner = nullptr) : QObject(owner) { }
    void Loaded() override
    {
        TBoundProbe::loadedOrder << objectName();
        TKComponent::Loaded();
    }
    TKQDevice* device = nullptr;
};

// A window with the handlers its test forms name.
class TLoaderWindow : public TKQForm {
    Q_OBJECT
public:
    QList<QObject*> changes;
    int clicks = 0;

public slots:
    void ProbeChange(QObject* sender) { changes << sender; }
    void ButtonClick() { ++clicks; }
};

namespace {

void RegisterTestClasses()
{
    RegisterAllFormClasses();
    FormClasses::Register<TBoundProbe>();
    FormClasses::Register<TLoaderWatcher>();
}

const QByteArray TreeForm = R"({"class": "TKQForm", "name": "FTree", "properties": {"Caption": "Tree"},
  "layout": {"type": "vertical", "margins": 0, "spacing": 0, "stretch": true}, "children": [
    {"class": "TKQPanel", "name": "Panel1", "layout": {"type": "form"}, "children": [
      {"class": "TBoundProbe", "name": "RatedSpeed", "label": "Rated speed", "events": {"OnValueChange": "ProbeChange"},
       "properties": {"Device": "KQDatorelControl1", "ItemName": "C_SPEED.RATED.IN"}},
      {"class": "TLoaderWatcher", "name": "Watcher1", "properties": {"Device": "KQDatorelControl1"}}]},
    {"class": "TKQPageControl", "name": "Pages", "properties": {"ActivePage": "SheetB"}, "children": [
      {"class": "TKQTabSheet", "name": "SheetA", "properties": {"Caption": "A"}},
      {"class": "TKQTabSheet", "name": "SheetB", "properties": {"Caption": "B"}, "layout": {"type": "grid"}, "children": [
        {"class": "QPushButton", "name": "Button1", "cell": [0, 1], "properties": {"text": "Go"}, "events": {"clicked": "ButtonClick"}}]}]},
    {"class": "TKQScrollBox", "name": "Scroll1", "layout": {"type": "vertical"}, "children": [
      {"class": "QLabel", "name": "ScrollLabel", "properties": {"text": "inside"}}]}]})";

} // namespace

// ---------------------------------------------------------------------------

// The tree a description builds, on a control device whose C_SPEED.RATED.IN reads 3600.
class TestFormTree : public QObject, public PlantFixture<> {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterTestClasses(); }
    void init() { Start(); }
    void cleanup() { Stop(); }

    // Every component where the description puts it, with its properties and
    // label; then the end-of-loading calls in creation order, and the events
    // connected to the window's handlers.
    void buildsTheTreeFinishesLoadingAndConnectsEvents()
    {
        TBoundProbe::loadedOrder.clear();
        plant->Define("C_SPEED.RATED.IN", "3600");
        TLoaderWindow window;
        const QList<QObject*> created
            = TFormLoader::LoadJson(TreeForm, "Test", &window, {{"KQDatorelControl1", plant->device.get()}});
        QCOMPARE(window.Caption(), QString("Tree"));
        auto* panel = window.findChild<TKQPanel*>("Panel1");
        auto* probe = window.findChild<TBoundProbe*>("RatedSpeed");
        QCOMPARE(probe->parent(), panel);
        QCOMPARE(probe->Device(), plant->device.get());
        auto* label = qobject_cast<QLabel*>(qobject_cast<QFormLayout*>(panel->layout())->labelForField(probe));
        QCOMPARE(label->text(), QString("Rated speed"));
        QCOMPARE(probe->accessibleName(), QString("Rated speed"));
        auto* watcher = window.findChild<TLoaderWatcher*>("Watcher1");
        QCOMPARE(watcher->parent(), panel);
        QCOMPARE(watcher->device, plant->device.get());
        auto* pages = window.findChild<TKQPageControl*>("Pages");
        QCOMPARE(pages->tabText(1), QString("B"));
        QCOMPARE(pages->currentWidget(), pages->Page(1));
        auto* inside = window.findChild<QLabel*>("ScrollLabel");
        QCOMPARE(inside->parent(), window.findChild<TKQScrollBox*>("Scroll1")->ClientArea());
        QCOMPARE(created.size(), 10);
        QCOMPARE(created.first(), &window);
        QCOMPARE(created.last(), inside);

        QCOMPARE(TBoundProbe::loadedOrder, QStringList({"RatedSpeed", "Watcher1"}));
        for (QObject* object : created)
            if (auto* component = dynamic_cast<TKComponent*>(object))
                QVERIFY2(!component->Loading(), qPrintable(object->objectName()));
        // The probe has its item and registered with its panel: showing subscribes it.
        QCOMPARE(plant->device->RefCount("C_SPEED.RATED.IN"), 1);
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(probe->shown, QString("3600"), ReplyWait);
        QCOMPARE(window.changes, QList<QObject*>({probe}));
        QTest::mouseClick(window.findChild<QPushButton*>("Button1"), Qt::LeftButton);
        QCOMPARE(window.clicks, 1);
    }
};

// ---------------------------------------------------------------------------

class TestDescriptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterTestClasses(); }

    void takesEachKindOfValue_data();
    void takesEachKindOfValue();
    void refusesWithFormAndComponentNamed_data();
    void refusesWithFormAndComponentNamed();
    void aRefusedFormLeavesTheWindowEmptyAndItemsReleased_data();
    void aRefusedFormLeavesTheWindowEmptyAndItemsReleased();
    void rootClassMustBeTheWindows();
    void captionFollowsItsField_data();
    void captionFollowsItsField();
    void everyFormFileIsStoredInTheProgram();
    void everyStoredFormLoads_data();
    void everyStoredFormLoads();

private:
    TScriptedDialogs dialogs;
};

void TestDescriptions::takesEachKindOfValue_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("probe");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QString>("listName");
    const QString probe = R"({"class": "TBoundProbe", "name": "Probe1", "properties": {%1}})";
    const auto value = [&](const char* name, const char* json, const QVariant& expected) {
        QTest::newRow(name) << QString() << probe.arg(QString(R"("%1": %2)").arg(name, json)) << name << expected << QString();
    };
    value("Value", R"("Not Used")", QVariant("Not Used"));
    value("IsMonitorOnly", "true", QVariant(true));
    value("Tag", "56320", QVariant(56320));
    value("DecimalPlaces", "4", QVariant::fromValue<unsigned char>(4));
    value("Ratio", "0.25", QVariant(0.25));
    value("OnColor", R"("#008080")", QVariant(QColor(0, 128, 128)));
    value("EnumList", R"(["Not Used", 1, "Generator Breaker Position", 2])",
          QVariant(QVariantList{"Not Used", 1, "Generator Breaker Position", 2}));
    value("Kind", R"("kindFancy")", QVariant::fromValue(TBoundProbe::kindFancy));
    QFont font;
    font.setPixelSize(24);
    font.setBold(true);
    value("Font", R"({"pixelSize": 24, "bold": true})", QVariant(font));

    const QVariant twoValues = QVariantList{"Off", 1, "On", 2};
    // A whole number for a real property arrives as a real.
    QTest::newRow("property default") << R"("defaults": {"Ratio": 1})" << probe.arg("") << "Ratio" << QVariant(1.0) << QString();
    QTest::newRow("class default over property default")
        << R"("defaults": {"Ratio": 1, "TBoundProbe": {"Ratio": 2}})" << probe.arg("") << "Ratio" << QVariant(2.0) << QString();
    QTest::newRow("own value over class default") << R"("defaults": {"QWidget": {"Ratio": 2}})"
                                                  << probe.arg(R"("Ratio": 3)") << "Ratio" << QVariant(3.0) << QString();
    QTest::newRow("list of texts") << R"("lists": {"E1": ["Off", "On"]})" << probe.arg(R"("EnumList": "E1")")
                                   << "EnumList" << twoValues << "E1";
    QTest::newRow("list of pairs") << R"("lists": {"E2": ["Off", 1, "On", 2]})" << probe.arg(R"("EnumList": "E2")")
                                   << "EnumList" << twoValues << "E2";
    QTest::newRow("list like another") << R"("lists": {"E1": ["Off", "Of"], "E3": {"like": "E1", "except": {"2": "On"}}})"
                                       << probe.arg(R"("EnumList": "E3")") << "EnumList" << twoValues << "E3";
    const QString probeTemplate = R"("templates": {"Probe": {"class": "TBoundProbe", "name": "Probe%N%", "properties": {"Value": "v%N%", "Ratio": 1}}})";
    QTest::newRow("template's properties merged")
        << probeTemplate << R"({"use": "Probe", "with": {"N": "1"}, "properties": {"Ratio": 2}})" << "Value" << QVariant("v1") << QString();
    QTest::newRow("properties merged over the template's")
        << probeTemplate << R"({"use": "Probe", "with": {"N": "1"}, "properties": {"Ratio": 2}})" << "Ratio" << QVariant(2.0) << QString();
    QTest::newRow("template using a template")
        << probeTemplate.chopped(1) + R"(, "Twice": {"use": "Probe", "with": {"N": "%M%"}}})"
        << R"({"use": "Twice", "with": {"M": "1"}})" << "Value" << QVariant("v1") << QString();
    QTest::newRow("form parameter") << R"("parameters": ["BLOCK"])" << probe.arg(R"("Value": "%BLOCK%.P_GAIN.RAMP")")
                                    << "Value" << QVariant("B1.P_GAIN.RAMP") << QString();
    QTest::newRow("tag of a class without one") << QString() << R"({"class": "QLabel", "name": "Probe1", "properties": {"Tag": 56320}})"
                                                << "Tag" << QVariant(56320) << QString();
}

// Values as the form gives them, alone or through the form's defaults, named
// lists, templates and parameters (BLOCK is "B1").
void TestDescriptions::takesEachKindOfValue()
{
    QFETCH(QString, root);
    QFETCH(QString, probe);
    QFETCH(QString, property);
    QFETCH(QVariant, expected);
    QFETCH(QString, listName);
    TKQForm window;
    const QString form = QString(R"({"class": "TKQForm", %1 "children": [%2]})").arg(root.isEmpty() ? root : root + ",", probe);
    QHash<const QObject*, QString> listNames;
    TFormLoadOptions options;
    options.listNames = &listNames;
    if (root.contains("parameters"))
        options.parameters.insert("BLOCK", "B1");
    TFormLoader::LoadJson(form.toUtf8(), "Values", &window, {}, options);
    QObject* probe1 = window.findChild<QObject*>("Probe1");
    QVERIFY(probe1);
    const QVariant actual = probe1->property(property.toLatin1());
    QCOMPARE(actual.metaType(), expected.metaType());
    QCOMPARE(actual, expected);
    QCOMPARE(listNames.value(probe1), listName);
}

void TestDescriptions::refusesWithFormAndComponentNamed_data()
{
    QTest::addColumn<QString>("children");
    QTest::addColumn<QString>("message");
    const QString probe = R"({"class": "TBoundProbe", "name": "Probe1", %1})";
    const auto property = [&](const char* json) { return probe.arg(QString(R"("properties": {%1})").arg(json)); };
    const QString probeTemplate = R"("templates": {"Probe": {"class": "TBoundProbe", "name": "Probe%N%"}})";
    QTest::newRow("unknown class") << R"({"class": "TKQSpinEditX", "name": "Spin1"})" << R"(Spin1: unknown class "TKQSpinEditX")";
    QTest::newRow("unknown property") << property(R"("Valeu": "1")") << R"(Probe1: unknown property "Valeu" of TBoundProbe)";
    QTest::newRow("read-only property") << property(R"("ReadOnly": "1")") << R"(Probe1: property "ReadOnly" cannot be set)";
    QTest::newRow("handler the window lacks") << probe.arg(R"("events": {"OnValueChange": "SpeedChange"})")
                                              << "Probe1: the window TLoaderWindow has no handler SpeedChange(QObject*) for OnValueChange";
    QTest::newRow("unknown event") << probe.arg(R"("events": {"OnValueChanged": "ProbeChange"})")
                                   << R"(Probe1: unknown event "OnValueChanged" of TBoundProbe)";
    QTest::newRow("item without a device") << property(R"("ItemName": "C_SPEED.RATED.IN")")
                                           << R"(Probe1: names the item "C_SPEED.RATED.IN" but no Device)";
    QTest::newRow("unknown reference") << property(R"("Device": "KQDatorelControl2", "ItemName": "A.B.C")")
                                       << R"(Probe1: property "Device" refers to "KQDatorelControl2", which is not known)";
    QTest::newRow("reference of the wrong class")
        << R"({"class": "QLabel", "name": "Label1"}, {"class": "TLoaderWatcher", "name": "Watcher1", "properties": {"Device": "Label1"}})"
        << R"(Watcher1: property "Device" takes a TKQDevice; "Label1" is a QLabel)";
    QTest::newRow("text for a boolean") << property(R"("IsMonitorOnly": "False")")
                                        << R"(Probe1: property "IsMonitorOnly" takes true or false, not "False")";
    QTest::newRow("byte out of range") << property(R"("DecimalPlaces": 300)")
                                       << R"(Probe1: property "DecimalPlaces" takes a number in the range of uchar, not 300)";
    QTest::newRow("fraction for an integer") << property(R"("Tag": 1.5)") << R"(Probe1: property "Tag" takes a whole number, not 1.5)";
    QTest::newRow("bad colour") << property(R"("OnColor": "#12345")")
                                << R"(Probe1: property "OnColor" takes a colour ("#rrggbb" or a colour name), not "#12345")";
    QTest::newRow("unknown enumeration key") << property(R"("Kind": "kindOdd")")
                                             << R"(Probe1: property "Kind" takes a key of TKind, not "kindOdd")";
    for (const char* number : {"99", "-5", "2147483648", "1e15"})
        QTest::newRow(qPrintable(QString("enumeration number %1").arg(number)))
            << property(qPrintable(QString(R"("Kind": %1)").arg(number)))
            << QString(R"(Probe1: property "Kind" takes a key of TKind, not %1)").arg(QString(number).replace("1e15", "1000000000000000"));
    QTest::newRow("flags beside their keys") << R"({"class": "QLabel", "name": "Label1", "properties": {"alignment": 1073741824}})"
                                             << R"(Label1: property "alignment" takes a key of Alignment, not 1073741824)";
    QTest::newRow("rectangle that overflows") << R"({"class": "QLabel", "name": "Label1", "properties": {"geometry": [1000000000, 0, 2147483647, 10]}})"
                                              << R"(Label1: property "geometry" takes a list of 4 whole numbers from -16777215 to 16777215, not [1000000000,0,2147483647,10])";
    const QString inGrid = R"({"class": "TKQPanel", "name": "Panel1", "layout": {"type": "grid"}, "children": [%1]})";
    QTest::newRow("cell far down") << inGrid.arg(probe.arg(R"("cell": [1000000, 0])"))
                                   << "Probe1: a cell takes whole numbers from 0 to 999, not 1000000";
    QTest::newRow("span past the grid") << inGrid.arg(probe.arg(R"("cell": [998, 0, 5, 1])"))
                                        << "Probe1: a cell takes whole numbers from 1 to 2, not 5";
    QTest::newRow("bound control outside a bound container")
        << R"({"class": "QFrame", "name": "Plain1", "children": [)" + property(R"("Device": "KQDatorelControl1", "ItemName": "A.B.C")") + "]}"
        << "Probe1: Plain1 is not an Quorvane Library form";
    QTest::newRow("name used twice") << property("") + "," + property("") << "Probe1: the name is used twice";
    QTest::newRow("misspelt entry") << probe.arg(R"("propeties": {})") << R"(Probe1: unknown entry "propeties")";
    QTest::newRow("tab sheet outside a page control") << R"({"class": "TKQTabSheet", "name": "Sheet1"})"
                                                      << "Sheet1: a tab sheet belongs in a page control";
    QTest::newRow("unknown active page") << R"({"class": "TKQPageControl", "name": "Pages", "properties": {"ActivePage": "Sheet9"},
                                               "children": [{"class": "TKQTabSheet", "name": "Sheet1"}]})"
                                         << R"(Pages: property "ActivePage" does not take "Sheet9")";
    QTest::newRow("setter that raises") << property(R"("Tag": -1)") << "Probe1: TBoundProbe.SetTag: negative tag";
    QTest::newRow("label outside a form layout") << probe.arg(R"("label": "Speed")") << "Probe1: a label needs a form layout";
    QTest::newRow("caption of something not a label") << probe.arg(R"("labelFor": "Probe1")") << R"(Probe1: only a label has "labelFor")";
    QTest::newRow("caption of nothing") << R"({"class": "QLabel", "name": "Label1", "labelFor": "Speed1"})"
                                        << R"(Label1: names no visual component "Speed1")";
    QTest::newRow("unit of what shows no value") << property("") + R"(, {"class": "QLabel", "name": "Label1", "unitOf": "Probe1"})"
                                                 << "Label1: Probe1 shows no value with a unit";
    QTest::newRow("unnamed component")
        << R"({"class": "TKQPanel", "name": "Panel1", "children": [{"class": "TBoundProbe", "properties": {"Y2": 1}}]})"
        << R"((unnamed TBoundProbe in Panel1): unknown property "Y2" of TBoundProbe)";
    QTest::newRow("name in the wrong case") << property(R"("ratio": 1)") << R"(Probe1: property "ratio" is spelt "Ratio")";
    QTest::newRow("Qt's name beside the published one") << property(R"("font": {})") << R"(Probe1: property "font" is spelt "Font")";
    QTest::newRow("fraction for a dynamic tag") << R"({"class": "QLabel", "name": "Label1", "properties": {"Tag": 0.5}})"
                                                << R"(Label1: property "Tag" takes a whole number, not 0.5)";
    QTest::newRow("unknown list") << property(R"("EnumList": "E31")") << R"(Probe1: there is no list "E31")";
    // Rows that name parts of the root close the list of children first.
    QTest::newRow("default nothing takes") << R"(], "defaults": {"Ratoi": 1}, "children": [)" + property("")
                                           << R"(TKQForm: the default "Ratoi" applies to no component)";
    QTest::newRow("list changing a text it lacks") << R"(], "lists": {"E1": ["Off"], "E2": {"like": "E1", "except": {"2": "On"}}}, "children": [)"
                                                   << R"(TKQForm: the list "E2" changes the text of 2, which "E1" has no text for)";
    QTest::newRow("unknown template") << R"({"use": "Valve", "name": "Valve1"})" << R"(Valve1: unknown template "Valve")";
    QTest::newRow("placeholder not filled in") << "], " + probeTemplate + R"(, "children": [{"use": "Probe"})"
                                               << "Probe%N%: %N% is not filled in";
    QTest::newRow("value for no placeholder") << "], " + probeTemplate + R"(, "children": [{"use": "Probe", "with": {"N": "1", "M": "2"}})"
                                              << R"((use of Probe in TKQForm): the template "Probe" has no %M%)";
    QTest::newRow("template using itself")
        << R"(], "templates": {"Box": {"class": "TKQPanel", "children": [{"use": "Box"}]}}, "children": [{"use": "Box", "name": "Box1"})"
        << R"((use of Box in Box1): the template "Box" uses itself)";
    QTest::newRow("parameter not given") << R"(], "parameters": ["BLOCK"], "children": [)" << "TKQForm: the parameter BLOCK is not given";
}

void TestDescriptions::refusesWithFormAndComponentNamed()
{
    QFETCH(QString, children);
    QFETCH(QString, message);
    TKQDatorelControl device;
    TLoaderWindow window;
    const QString form = QString(R"({"class": "TKQForm", "children": [%1]})").arg(children);
    QCOMPARE(RaisedText([&] { TFormLoader::LoadJson(form.toUtf8(), "Refused", &window, {{"KQDatorelControl1", &device}}); }),
             "Form Refused, component " + message);
}

void TestDescriptions::aRefusedFormLeavesTheWindowEmptyAndItemsReleased_data()
{
    QTest::addColumn<QByteArray>("form");
    QTest::newRow("item without a device") << QByteArray(R"({"class": "TKQForm", "children": [
        {"class": "TBoundProbe", "name": "Good", "properties": {"Device": "KQDatorelControl1", "ItemName": "A.B.C"}},
        {"class": "TKQPanel", "name": "Panel1", "children": [
            {"class": "TBoundProbe", "name": "Bad", "properties": {"ItemName": "D.E.F"}}]}]})");
    QTest::newRow("caption of a field") << QByteArray(R"({"class": "TKQForm", "layout": {"type": "form"}, "children": [
        {"class": "TBoundProbe", "name": "Good", "label": "Caption", "properties": {"Device": "KQDatorelControl1", "ItemName": "A.B.C"}},
        {"class": "NoSuchClass", "name": "Bad"}]})");
}

void TestDescriptions::aRefusedFormLeavesTheWindowEmptyAndItemsReleased()
{
    QFETCH(QByteArray, form);
    TKQDatorelControl device;
    TLoaderWindow window;
    QVERIFY(RaisedText([&] { TFormLoader::LoadJson(form, "Refused", &window, {{"KQDatorelControl1", &device}}); })
                .startsWith("Form Refused, component Bad:"));
    QVERIFY(window.findChildren<QWidget*>().isEmpty());
    QCOMPARE(device.ItemCount(), 0);
}

// Listing missing handlers instead (as for every stored form) also takes any
// root class; without that the root class must be the window's.
void TestDescriptions::rootClassMustBeTheWindows()
{
    TKQForm window;
    QCOMPARE(RaisedText([&] { TFormLoader::LoadJson(R"({"class": "TFRunMode"})", "Listed", &window); }),
             QString("Form Listed, component TFRunMode: the window is a TKQForm, not a TFRunMode"));
}

void TestDescriptions::captionFollowsItsField_data()
{
    QTest::addColumn<QString>("children");
    QTest::addColumn<bool>("hiddenAtLoad");
    const QString row = R"("layout": {"type": "form"}, "children": [
        {"class": "TBoundProbe", "name": "Probe1", "label": "Speed", "properties": {"visible": %1}}])";
    const QString grid = R"("layout": {"type": "grid"}, "children": [{"class": "QLabel", "labelFor": "Probe1", "cell": [0, 0]},
        {"class": "TBoundProbe", "name": "Probe1", "cell": [0, 1], "properties": {"visible": %1}}])";
    QTest::newRow("form layout") << row.arg("true") << false;
    QTest::newRow("form layout, hidden at load") << row.arg("false") << true;
    QTest::newRow("grid") << grid.arg("true") << false;
    QTest::newRow("grid, hidden at load") << grid.arg("false") << true;
}

// Shown with its field at first, then as the field is hidden or shown.
void TestDescriptions::captionFollowsItsField()
{
    QFETCH(QString, children);
    QFETCH(bool, hiddenAtLoad);
    TKQForm window;
    TFormLoader::LoadJson(QString(R"({"class": "TKQForm", %1})").arg(children).toUtf8(), "Captions", &window);
    window.show();
    auto* field = window.findChild<TBoundProbe*>("Probe1");
    QLabel* caption = nullptr;
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->buddy() == field)
            caption = label;
    QVERIFY(caption);
    QCOMPARE(caption->isVisible(), !hiddenAtLoad);
    field->setVisible(hiddenAtLoad);
    QCOMPARE(caption->isVisible(), hiddenAtLoad);
}

void TestDescriptions::everyFormFileIsStoredInTheProgram()
{
    QStringList files;
    for (const QString& file : QDir(TURVISTA_SOURCE_DIR "/forms").entryList({"*.json"}, QDir::Files, QDir::Name))
        files << QFileInfo(file).completeBaseName();
    QVERIFY(!files.isEmpty());
    QCOMPARE(TFormLoader::StoredForms(), files);
}

void TestDescriptions::everyStoredFormLoads_data()
{
    QTest::addColumn<QString>("form");
    for (const QString& form : TFormLoader::StoredForms())
        QTest::newRow(qPrintable(form)) << form;
}

// Windows' own classes are not linked here: a plain form stands in for each, and
// the handlers the real window must have are listed.
void TestDescriptions::everyStoredFormLoads()
{
    QFETCH(QString, form);
    TKQDatorelControl device;
    device.setObjectName("KQDatorelControl1");
    TKQForm window;
    QStringList missing;
    TFormLoadOptions options;
    options.anyRootClass = true;
    options.missingHandlers = &missing;
    QFile file(TFormLoader::ResourcePath(form));
    QVERIFY(file.open(QIODevice::ReadOnly));
    for (const QJsonValue& parameter : QJsonDocument::fromJson(file.readAll())["parameters"].toArray())
        options.parameters.insert(parameter.toString(), parameter.toString());
    QCOMPARE(RaisedText([&] {
                 TFormLoader::Load(TFormLoader::ResourcePath(form), &window, {{"KQDatorelControl1", &device}}, options);
             }),
             QString());
    if (!missing.isEmpty())
        qInfo("%s needs these handlers in its window: %s", qPrintable(form), qPrintable(missing.join(", ")));
    window.show();
    QVERIFY(dialogs.messages().isEmpty());
    // Raise and lower repeat at the windows' rate, not the class's default.
    for (const TKQMomentaryButton* button : window.findChildren<TKQMomentaryButton*>())
        QVERIFY2(button->BetweenPulsePeriod() == 400, qPrintable(button->objectName()));
    // A screen reader names every control an operator can reach.
    QStringList unnamed;
    for (QWidget* control : window.findChildren<QWidget*>())
        if (control->focusPolicy() != Qt::NoFocus
            && QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
            unnamed << control->metaObject()->className() + (u' ' + control->objectName());
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.mid(0, 20).join(", ")));
}

TURVISTA_TEST_MAIN(TestFormTree, TestDescriptions)

#include "moc_BoundProbe.cpp"
#include "tst_formloader.moc"
