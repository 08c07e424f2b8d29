// A trend's samples: the rolling span, thinning for the plot, and the CSV
// files that trend windows export and trip captures write.
#include "datalink/TrendFile.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using Samples = std::vector<TTrendSample>;
Q_DECLARE_METATYPE(Samples)

namespace {

TTrendSeries Series(const Samples& samples)
{
    TTrendSeries series;
    for (const TTrendSample& s : samples)
        series.Append(s.time, s.value);
    return series;
}

} // namespace

class TestTrends : public QObject {
    Q_OBJECT
private slots:
    // Span [100, 200] in columns of 10; what the plot gets.
    void decimationKeepsTheShape_data()
    {
        QTest::addColumn<Samples>("samples");
        QTest::addColumn<long long>("holdUntil");
        QTest::addColumn<Samples>("points");
        QTest::newRow("nothing yet") << Samples{} << 200LL << Samples{};
        QTest::newRow("held from before the span, run on to now")
            << Samples{{50, 7}} << 150LL << Samples{{100, 7}, {150, 7}};
        QTest::newRow("one column: first, low, high, last in time order")
            << Samples{{101, 5}, {102, 9}, {103, 1}, {104, 6}, {105, 4}} << 105LL
            << Samples{{101, 5}, {102, 9}, {103, 1}, {105, 4}};
        QTest::newRow("a change after a quiet spell steps")
            << Samples{{90, 1}, {155, 3}} << 200LL << Samples{{100, 1}, {155, 1}, {155, 3}, {200, 3}};
        QTest::newRow("samples after the span are left out")
            << Samples{{110, 1}, {250, 9}} << 300LL << Samples{{110, 1}, {200, 1}};
    }
    void decimationKeepsTheShape()
    {
        QFETCH(Samples, samples);
        QFETCH(long long, holdUntil);
        QFETCH(Samples, points);
        QCOMPARE(Series(samples).Decimate(100, 200, 10, holdUntil), points);
    }

    // Half an hour at 10 Hz thinned for 800 columns: few points, the extremes kept.
    void decimationOfALongSpanIsBoundedAndKeepsTheExtremes()
    {
        TTrendSeries series;
        QRandomGenerator random(4812);
        double value = 0;
        for (long long t = 0; t < 30 * 60 * 1000; t += 100) {
            value += random.bounded(2.0) - 1.0;
            series.Append(t, value);
        }
        const Samples points = series.Decimate(0, 30 * 60 * 1000, 800, 30 * 60 * 1000);
        QVERIFY2(points.size() <= 800 * 5 + 2, qPrintable(QString::number(points.size())));
        auto byValue = [](const TTrendSample& a, const TTrendSample& b) { return a.value < b.value; };
        const auto& all = series.Samples();
        QCOMPARE(std::min_element(points.begin(), points.end(), byValue)->value,
                 std::min_element(all.begin(), all.end(), byValue)->value);
        QCOMPARE(std::max_element(points.begin(), points.end(), byValue)->value,
                 std::max_element(all.begin(), all.end(), byValue)->value);
        QVERIFY(std::is_sorted(points.begin(), points.end(), [](auto& a, auto& b) { return a.time < b.time; }));

        // Columns a fraction of a millisecond wide, or not a whole number of them.
        TTrendSeries dense;
        for (long long t = 0; t <= 1000; ++t)
            dense.Append(t, double(t % 7));
        QVERIFY(dense.Decimate(0, 1000, 300, 1000).size() <= 300 * 5 + 2);
        QVERIFY(dense.Decimate(0, 100, 3000, 100).size() <= 101 * 5 + 2);
        for (int round = 0; round < 2000; ++round) {
            const long long from = random.bounded(500), to = from + 1 + random.bounded(600);
            const int columns = 1 + random.bounded(900);
            const size_t points = dense.Decimate(from, to, columns, to).size();
            QVERIFY2(points <= size_t(std::min<long long>(to - from + 1, columns) * 5 + 2),
                     qPrintable(QString("[%1, %2] in %3 columns: %4 points").arg(from).arg(to).arg(columns).arg(points)));
        }
    }

    void theRollingSpanKeepsTheValueHeldAtItsStart()
    {
        TTrendSeries series = Series({{0, 1}, {10, 2}, {20, 3}, {30, 4}});
        series.DropBefore(25);
        QCOMPARE(series.Samples().size(), size_t(2));
        QCOMPARE(series.ValueAt(25), std::optional<double>(3));
        QCOMPARE(series.ValueAt(19), std::optional<double>()); // before what is kept
        series.Append(5, 9); // stamped late: the latest value of the last instant
        QCOMPARE(series.Samples().back(), (TTrendSample{30, 9}));
        series.Append(30, 3); // back to the value held before it
        QCOMPARE(series.Samples().size(), size_t(1));
    }

    // Written and read again: the samples of the span, names, units, items and notes.
    void aWrittenFileReadsBack()
    {
        TTrendFile file;
        file.data.channels.push_back({"AA_MONITOR.SPEED.A_NAME", "Speed", "rpm", Series({{1000, 3600}, {1500, 3612.5}})});
        file.data.channels.push_back({"X.Y.Z", "Load, \"net\"", "", Series({{1200, 0.25}, {1500, 0.5}, {9000, 1}})});
        file.notes = {{"Trip", "Overspeed Trip"}};
        file.zero = 1200;
        QTemporaryDir folder;
        const QString path = folder.filePath("trend.csv");
        QString error;
        QVERIFY2(file.Write(path, 900, 5000, &error), qPrintable(error));

        const std::optional<TTrendFile> read = TTrendFile::Read(path, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(read->notes, file.notes);
        QCOMPARE(read->zero, 1200LL);
        QCOMPARE(QPair(read->from, read->to), QPair(900LL, 5000LL));
        QCOMPARE(read->data.channels.size(), size_t(2));
        const TTrendChannel& speed = read->data.channels[0];
        const TTrendChannel& load = read->data.channels[1];
        QCOMPARE(QStringList({speed.item, speed.name, speed.unit, load.item, load.name, load.unit}),
                 QStringList({"AA_MONITOR.SPEED.A_NAME", "Speed", "rpm", "X.Y.Z", "Load, \"net\"", ""}));
        QCOMPARE(speed.series.Samples(), (std::deque<TTrendSample>{{1000, 3600}, {1500, 3612.5}}));
        // The sample after the span is not written.
        QCOMPARE(load.series.Samples(), (std::deque<TTrendSample>{{1200, 0.25}, {1500, 0.5}}));
    }

    void aFileThatIsNoTrendIsRefusedByLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        const QString header = "# 4812 Turvista trend\nTime,Seconds,Speed (rpm)\n";
        QTest::newRow("notes only") << "# 4812 Turvista trend\n# Trip: x\n" << "no header: this is not a trend file";
        QTest::newRow("other header") << "When,Seconds,Speed\n" << "line 1: the header must start with Time,Seconds";
        QTest::newRow("missing field") << header + "2026-12-07 10:00:00.000,0.000\n" << "line 3: 2 fields where";
        QTest::newRow("bad time") << header + "yesterday,0.000,1\n" << "line 3: \"yesterday\" is not a time";
        QTest::newRow("bad value") << header + "2026-12-07 10:00:00.000,0.000,fast\n" << "line 3: \"fast\" is not a number";
        QTest::newRow("no finite value") << header + "2026-12-07 10:00:00.000,0.000,inf\n" << "line 3: \"inf\" is not a number";
        QTest::newRow("seconds out of range") << header + "2026-12-07 10:00:00.000,1e300,1\n"
                                              << "line 3: \"1e300\" is not a number of seconds";
        QTest::newRow("back in time") << header + "2026-12-07 10:00:01.000,1.000,1\n2026-12-07 10:00:00.000,0.000,2\n"
                                      << "line 4: 0.000 seconds is before the row above it";
    }
    void aFileThatIsNoTrendIsRefusedByLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, reason);
        QString error;
        QVERIFY(!TTrendFile::Parse(text, &error));
        QVERIFY2(error.startsWith(reason), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestTrends)
#include "tst_trends.moc"
