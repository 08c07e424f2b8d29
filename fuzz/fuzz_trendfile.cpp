// The trend file reader (TTrendFile::Parse, the files trend windows export and
// trip captures write): whatever it accepts must write back as a file that reads
// to the same items, notes, span and samples.
#include "datalink/TrendFile.h"
#include "fuzz/FuzzEntry.h"

namespace {

QString Describe(const TTrendFile& file)
{
    QString text = QStringLiteral("%1 %2 %3;").arg(file.from).arg(file.to).arg(file.zero);
    for (const auto& [key, value] : file.notes)
        text += key + u'=' + value + u';';
    for (const TTrendChannel& channel : file.data.channels) {
        text += channel.item + u'|' + channel.name + u'|' + channel.unit + u':';
        for (const TTrendSample& sample : channel.series.Samples())
            text += QStringLiteral(" %1=%2").arg(sample.time).arg(sample.value, 0, 'g', 12);
        text += u';';
    }
    return text;
}

} // namespace

extern "C" int FUZZ_ENTRY(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const std::optional<TTrendFile> read = TTrendFile::Parse(text, &error);
    if (!read) {
        if (error.isEmpty())
            fuzz::Fail("fuzz_trendfile", QStringLiteral("refused without a reason"));
        return 0;
    }
    const std::optional<TTrendFile> again = TTrendFile::Parse(read->Text(read->from, read->to), &error);
    if (!again)
        fuzz::Fail("fuzz_trendfile", QStringLiteral("its own file refused: ") + error);
    if (Describe(*again) != Describe(*read))
        fuzz::Fail("fuzz_trendfile", QStringLiteral("read back as\n%1\nnot\n%2").arg(Describe(*again), Describe(*read)));
    return 0;
}
