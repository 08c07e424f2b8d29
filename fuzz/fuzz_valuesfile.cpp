// The values file reader (TKQDatorelConfig::Parse) against a reading of the
// format as docs/values-file.md writes it down: the records, or the syntax
// error with its line number, must be the same.
#include "datalink/KQDatorelConfig.h"
#include "fuzz/FuzzEntry.h"

namespace {

struct Reading {
    QStringList names;
    QStringList values;
    int badLine = 0; // the line of the syntax error; 0 for none
};

// Lines end in CR LF or LF; empty lines are skipped; the name is the text before
// the first TAB, the value at most 256 characters after it; a line without a TAB
// or with an empty name is an error that counts every line.
Reading AsDocumented(const QByteArray& bytes)
{
    Reading reading;
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast(); // after the end of the last line
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0) {
            reading.badLine = int(i) + 1;
            return reading;
        }
        reading.names << QString::fromLatin1(line.left(tab));
        reading.values << QString::fromLatin1(line.mid(tab + 1).left(256));
    }
    return reading;
}

} // namespace

extern "C" int FUZZ_ENTRY(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const Reading expected = AsDocumented(bytes);
    TKQDatorelConfig config;
    config.SetFileName(fuzz::WriteFile(QStringLiteral("values.cfg"), bytes));
    Reading read;
    try {
        config.Parse(read.names, read.values);
    } catch (const EConfigSyntaxError& error) {
        const QString documented = QStringLiteral("Syntax error in configuration file %1; line %2.")
                                       .arg(config.FileName())
                                       .arg(expected.badLine);
        if (error.Message() != documented)
            fuzz::Fail("fuzz_valuesfile", QStringLiteral("\"%1\", not \"%2\"").arg(error.Message(), documented));
        return 0;
    }
    if (expected.badLine != 0)
        fuzz::Fail("fuzz_valuesfile", QStringLiteral("no syntax error for line %1").arg(expected.badLine));
    if (read.names != expected.names || read.values != expected.values)
        fuzz::Fail("fuzz_valuesfile", QStringLiteral("the records differ: %1 read, %2 as documented")
                                          .arg(read.names.size())
                                          .arg(expected.names.size()));
    return 0;
}
