// The simulated control's files: a control database, a starting configuration
// and a store, the input's parts between lines "@@" in that order. They are
// written to the scratch folder and the control built from them as the server
// builds it. A control that starts saves its values; the store written must
// read back whole, and a second control started from it must have the same values.
#include "fuzz/FuzzEntry.h"
#include "server/SimulatedControl.h"

namespace {

void Expect(bool condition, const QString& what)
{
    if (!condition)
        fuzz::Fail("fuzz_serverfiles", what);
}

QList<QByteArray> Parts(const QByteArray& input)
{
    static const QByteArray marker = QByteArrayLiteral("\n@@\n");
    QList<QByteArray> parts;
    qsizetype from = 0;
    for (qsizetype at; parts.size() < 2 && (at = input.indexOf(marker, from)) >= 0; from = at + marker.size())
        parts << input.mid(from, at - from);
    parts << input.mid(from);
    return parts;
}

QString Value(const TSimulatedControl& control, const QString& name)
{
    return control.Value(name).value_or(QStringLiteral("(none)"));
}

} // namespace

extern "C" int FUZZ_ENTRY(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = Parts(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    TControlDefinition definition;
    definition.id = QStringLiteral("Fuzz");
    definition.databases = {fuzz::WriteFile(QStringLiteral("control.items"), parts[0])};
    if (parts.size() > 1)
        definition.configuration = fuzz::WriteFile(QStringLiteral("start.cfg"), parts[1]);
    definition.store = fuzz::Scratch().filePath(QStringLiteral("control.store"));
    QFile::remove(definition.store);
    if (parts.size() > 2)
        fuzz::WriteFile(QStringLiteral("control.store"), parts[2]);

    QString error;
    QString warning;
    const std::unique_ptr<TSimulatedControl> control = TSimulatedControl::Create(definition, &error, &warning);
    if (!control) {
        Expect(!error.isEmpty(), QStringLiteral("refused without a reason"));
        return 0;
    }

    // Saving takes two ticks; the model moves on after the values are stored.
    Expect(control->Execute(QStringLiteral("SaveValues")), QStringLiteral("SaveValues refused"));
    control->Tick();
    control->Tick();
    Expect(Value(*control, QStringLiteral("SaveValues.Result")) == QLatin1String("0"),
          QStringLiteral("SaveValues answered ") + Value(*control, QStringLiteral("SaveValues.Result")));
    TStoreContents saved;
    Expect(control->Store()->Load(&saved, &error) == TValueStore::TLoadResult::Loaded,
          QStringLiteral("the saved store does not load: ") + error);
    QStringList changeable;
    for (const TItemDefinition& item : control->Database().Items())
        if (item.IsChangeable())
            changeable << item.name;
    QStringList names;
    for (const auto& [name, value] : saved.values)
        names << name;
    Expect(names == changeable, QStringLiteral("the store holds other items than the changeable ones"));

    const std::unique_ptr<TSimulatedControl> again = TSimulatedControl::Create(definition, &error, &warning);
    Expect(again != nullptr, QStringLiteral("the second start was refused: ") + error);
    Expect(warning.isEmpty(), QStringLiteral("the saved store was not taken whole: ") + warning);
    Expect(Value(*again, QStringLiteral("Configuration ID")) == saved.configurationId,
          QStringLiteral("configuration ID \"%1\" came back as \"%2\"")
              .arg(saved.configurationId, Value(*again, QStringLiteral("Configuration ID"))));
    for (const auto& [name, value] : saved.values)
        Expect(Value(*again, name) == value,
              QStringLiteral("%1: \"%2\" came back as \"%3\"").arg(name, value, Value(*again, name)));
    return 0;
}
