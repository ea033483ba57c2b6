// Channel statistics over a span of rows, as the statistics boxes show them.
#include "charts/spanstats.h"

#include <limits>

#include <QtTest>

using logdata::ComputeSpanStats;
using logdata::RowMoment;

class TestStats : public QObject {
    Q_OBJECT
private slots:
    void freezerDay();
    void spansAndGaps();
    void timeAboveCountsMeasuredTimeOnly_data();
    void timeAboveCountsMeasuredTimeOnly();
    void rowMoments_data();
    void rowMoments();
    void datesReadTheWayTheFileDayFits_data();
    void datesReadTheWayTheFileDayFits();
    void durations();
};

namespace {
std::vector<QDateTime> everyMinute(int n, const QDateTime& start) {
    std::vector<QDateTime> t;
    for (int i = 0; i < n; ++i)
        t.push_back(start.addSecs(60 * i));
    return t;
}
} // namespace

void TestStats::freezerDay() {
    // A freezer at -20 that warmed up to -15 for ten minutes, against a level of -18.
    std::vector<double> v(60, -20.0);
    for (int i = 30; i < 40; ++i)
        v[std::size_t(i)] = -15.0;
    v[5] = -22.5;
    const auto times = everyMinute(60, QDateTime(QDate(2026, 12, 7), QTime(8, 0)));
    const auto s = ComputeSpanStats(v, times, 0, 59, -18);
    QCOMPARE(s.count, qsizetype(60));
    QCOMPARE(s.min, -22.5);
    QCOMPARE(s.minIndex, qsizetype(5));
    QCOMPARE(s.max, -15.0);
    QCOMPARE(s.maxIndex, qsizetype(30)); // the first time it was reached
    QCOMPARE(s.overLevel, qsizetype(10));
    QVERIFY(s.secondsAbove.has_value());
    QCOMPARE(*s.secondsAbove, qint64(600));
    QVERIFY(qAbs(s.mean - (-20.0 * 49 - 22.5 - 150) / 60) < 1e-9);
}

void TestStats::spansAndGaps() {
    std::vector<double> v{1, 5, 5, 1, 5};
    auto times = everyMinute(5, QDateTime(QDate(2026, 1, 1), QTime(23, 58)));
    // A zoomed span counts only its own rows; the last reading has no time after it.
    auto s = ComputeSpanStats(v, times, 1, 2, 3);
    QCOMPARE(s.count, qsizetype(2));
    QCOMPARE(s.overLevel, qsizetype(2));
    QCOMPARE(*s.secondsAbove, qint64(60));
    // Spans beyond the data are clamped; an empty span has no figures.
    s = ComputeSpanStats(v, times, -10, 100, 3);
    QCOMPARE(s.count, qsizetype(5));
    QCOMPARE(*s.secondsAbove, qint64(120));
    QCOMPARE(ComputeSpanStats(v, times, 3, 2, 0).count, qsizetype(0));
    QCOMPARE(ComputeSpanStats({}, {}, 0, 10, 0).count, qsizetype(0));
    // Rows out of order or without times add nothing; no times at all: no duration.
    std::swap(times[1], times[2]);
    times[3] = QDateTime();
    QCOMPARE(*ComputeSpanStats(v, times, 0, 4, 3).secondsAbove, qint64(0));
    QVERIFY(!ComputeSpanStats(v, {}, 0, 4, 3).secondsAbove.has_value());

    // The charts keep seconds since the epoch: the same figures.
    const qint64 unknown = std::numeric_limits<qint64>::min();
    for (const auto& [first, last] : std::vector<std::pair<int, int>>{{0, 4}, {1, 2}, {-3, 9}, {3, 2}}) {
        std::vector<qint64> secs;
        for (const QDateTime& t : times)
            secs.push_back(t.isValid() ? t.toSecsSinceEpoch() : unknown);
        const auto a = ComputeSpanStats(v, times, first, last, 3);
        const auto b = ComputeSpanStats(v, secs, first, last, 3, unknown);
        QCOMPARE(b.count, a.count);
        QCOMPARE(b.min, a.min);
        QCOMPARE(b.max, a.max);
        QCOMPARE(b.minIndex, a.minIndex);
        QCOMPARE(b.maxIndex, a.maxIndex);
        QCOMPARE(b.overLevel, a.overLevel);
        QCOMPARE(b.secondsAbove, a.secondsAbove);
    }
    const auto day = everyMinute(60, QDateTime(QDate(2026, 12, 7), QTime(8, 0)));
    std::vector<qint64> daySecs;
    for (const QDateTime& t : day)
        daySecs.push_back(t.toSecsSinceEpoch());
    std::vector<double> warm(60, -20.0);
    for (int i = 30; i < 40; ++i)
        warm[std::size_t(i)] = -15.0;
    QCOMPARE(*ComputeSpanStats(warm, daySecs, 0, 59, -18, unknown).secondsAbove, qint64(600));
    QVERIFY(!ComputeSpanStats(warm, std::vector<qint64>(60, unknown), 0, 59, -18, unknown).secondsAbove);
}

void TestStats::timeAboveCountsMeasuredTimeOnly_data() {
    QTest::addColumn<QList<int>>("minutes"); // when each reading was taken; all are over the level
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<int>("gaps");
    QTest::newRow("steady minutes") << QList<int>{0, 1, 2, 3, 4, 5} << qint64(300) << 0;
    QTest::newRow("logger off six hours")
        << QList<int>{0, 1, 2, 3, 4, 5, 365, 366, 367, 368} << qint64(480) << 1;
    QTest::newRow("a day missing from a merge")
        << QList<int>{0, 10, 20, 30, 40, 50, 1490, 1500, 1510, 1520} << qint64(4800) << 1;
    QTest::newRow("interval changed from 1 to 10 minutes")
        << QList<int>{0, 1, 2, 3, 4, 5, 15, 25, 35, 45, 55, 65} << qint64(3900) << 0;
    QTest::newRow("two readings, one long step") << QList<int>{0, 600} << qint64(36000) << 0;
}

void TestStats::timeAboveCountsMeasuredTimeOnly() {
    QFETCH(QList<int>, minutes);
    QFETCH(qint64, seconds);
    QFETCH(int, gaps);
    const QDateTime start(QDate(2009, 12, 1), QTime(0, 0));
    std::vector<QDateTime> times;
    for (int m : minutes)
        times.push_back(start.addSecs(60 * m));
    const std::vector<double> v(times.size(), 30.0);
    const auto s = ComputeSpanStats(v, times, 0, qsizetype(v.size()) - 1, 25.0);
    QCOMPARE(s.overLevel, qsizetype(v.size()));
    QCOMPARE(*s.secondsAbove, seconds);
    QCOMPARE(s.gapsSkipped, qsizetype(gaps));
    // A zoom that cuts the readings around a gap does not make it count.
    if (gaps > 0) QCOMPARE(ComputeSpanStats(v, times, 5, 6, 25.0).gapsSkipped, qsizetype(1));
}

void TestStats::rowMoments_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QDateTime>("expect");
    const QDateTime m(QDate(2026, 12, 7), QTime(13, 5, 9));
    QTest::newRow("year first /") << "2026/12/07"
                                  << "13:05:09" << m;
    QTest::newRow("year first -") << "2026-12-07"
                                  << "13:05:09" << m;
    QTest::newRow("two-digit year") << "26/12/07"
                                    << "13:05:09" << m;
    QTest::newRow("day first") << "07.12.2026"
                               << "13:05:09" << m;
    QTest::newRow("blanks, no seconds") << " 2026/12/07 "
                                        << "13:05" << m.addSecs(-9);
    QTest::newRow("logger rows: yymmdd") << "261207"
                                         << "13:05:09" << m;
    QTest::newRow("yyyymmdd") << "20261207"
                              << "13:05:09" << m;
    QTest::newRow("no such month") << "261307"
                                   << "13:05:09" << QDateTime();
    QTest::newRow("no such day") << "2026/02/30"
                                 << "13:05:09" << QDateTime();
    QTest::newRow("no such hour") << "2026/12/07"
                                  << "25:00:00" << QDateTime();
    QTest::newRow("words") << "Date"
                           << "Time" << QDateTime();
    QTest::newRow("empty") << ""
                           << "" << QDateTime();
}

void TestStats::rowMoments() {
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QDateTime, expect);
    const QByteArray d = date.toLatin1(), t = time.toLatin1();
    QCOMPARE(RowMoment({d.constData(), std::size_t(d.size())}, {t.constData(), std::size_t(t.size())}),
             expect);
}

void TestStats::datesReadTheWayTheFileDayFits_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QDate>("expect"); // invalid: the row has no time
    const QDate dec1(2009, 12, 1);
    QTest::newRow("dd.mm.yy in a day file") << "/data/091201.csv"
                                            << "01.12.09" << dec1;
    QTest::newRow("mm/dd/yyyy in a day file") << "091201B.CSV"
                                              << "12/01/2009" << dec1;
    QTest::newRow("yy/mm/dd in a day file") << "091201.csv"
                                            << "09/12/01" << dec1;
    QTest::newRow("dd.mm.yy in a merge") << "-091201-091215.csv"
                                         << "14.12.09" << QDate(2009, 12, 14);
    QTest::newRow("mm/dd/yy in a merge") << "-091201-091215.csv"
                                         << "12/02/09" << QDate(2009, 12, 2);
    QTest::newRow("an export keeps the day") << "export-091201-copy.csv"
                                             << "01.12.09" << dec1;
    QTest::newRow("midnight of the next day") << "091201.csv"
                                              << "02.12.09" << QDate(2009, 12, 2);
    QTest::newRow("no reading fits the day") << "091201.csv"
                                             << "05.06.07" << QDate();
    QTest::newRow("a name without a day") << "notes.csv"
                                          << "01.12.09" << QDate(2001, 12, 9);
}

void TestStats::datesReadTheWayTheFileDayFits() {
    QFETCH(QString, file);
    QFETCH(QString, date);
    QFETCH(QDate, expect);
    const QByteArray d = date.toLatin1();
    const QDateTime at =
        RowMoment({d.constData(), std::size_t(d.size())}, "10:00:00", logdata::DaySpanOfFileName(file));
    QCOMPARE(at.date(), expect);
}

void TestStats::durations() {
    QCOMPARE(logdata::DurationText(12), QStringLiteral("12 s"));
    QCOMPARE(logdata::DurationText(45 * 60 + 10), QStringLiteral("45 min 10 s"));
    QCOMPARE(logdata::DurationText(2 * 3600 + 5 * 60 + 59), QStringLiteral("2 h 05 min"));
}

QTEST_GUILESS_MAIN(TestStats)
#include "spanstats_test.moc"
