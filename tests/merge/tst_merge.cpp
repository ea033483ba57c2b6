// Merging the day files of a span of days: what the window gets back and what
// the merged file holds.
#include "logdata/merge.h"
#include "unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace logdata;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A logger row of the day and minute given (91 characters).
QByteArray row(const char* day, int minute) {
    return QByteArray(day) + "," + QByteArray::number(100 + minute / 60).right(2) + ":" +
           QByteArray::number(100 + minute % 60).right(2) +
           ":00,+025.3,+024.1,000123,000031,12.5,07.4,00.0,13.8,0,0,0,0,0,0,0,0,0,0,0,0,00F";
}

// Lines as a logger writes them: each ended by CR LF.
QByteArray dayFile(const char* day, int first, int count) {
    QByteArray b;
    for (int i = 0; i < count; ++i)
        b += row(day, first + i) + "\r\n";
    return b;
}

// What the merged file holds for the given source lines: each line, CR, CR.
QByteArray merged(const QList<QByteArray>& lines) {
    QByteArray b;
    for (const QByteArray& l : lines)
        b += l + "\r\r";
    return b;
}

QList<QByteArray> rows(const char* day, int first, int count) {
    QList<QByteArray> l;
    for (int i = 0; i < count; ++i)
        l << row(day, first + i);
    return l;
}

MergeResult merge(const QString& folder, QDate from, QDate to, MergeStore& store) {
    return RunMerge(PlanMerge(folder, from, to), store);
}

} // namespace

class TestMerge : public QObject {
    Q_OBJECT

private slots:
    void twoDigitParts_data();
    void twoDigitParts();
    void masksAndNames();
    void matchesWithoutRegardToCase_data();
    void matchesWithoutRegardToCase();

    void mergesTheDaysOfASpan();
    void reversedSpanSearchesTheFromDayAlone();
    void spanAcrossMonthsOrYearsIsRefused_data();
    void spanAcrossMonthsOrYearsIsRefused();
    void yearOutsideTheLoggersCenturyIsRefused();
    void noFilesInThePeriod();
    void filesWithoutLinesWriteNothing();
    void mergedFileNeverEntersALaterMerge();
    void copiesEveryLineAsRead();
    void storeOverflowIsCountedAndReported();
    void unwritableFolderIsReportedAndOldFileKept();
    void nameTakenByAFolderIsReported();
    void unreadableFileIsSkipped();
};

void TestMerge::twoDigitParts_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("part");
    QTest::newRow("0") << 0 << "00";
    QTest::newRow("7") << 7 << "07";
    QTest::newRow("12") << 12 << "12";
    QTest::newRow("31") << 31 << "31";
    QTest::newRow("99") << 99 << "99";
    QTest::newRow("123 cut") << 123 << "12";
}

void TestMerge::twoDigitParts() {
    QFETCH(int, number);
    QFETCH(QString, part);
    QCOMPARE(TwoDigitPart(number), part);
}

void TestMerge::masksAndNames() {
    QCOMPARE(DayMask(QDate(2009, 12, 1), 5), QStringLiteral("091205*.csv"));
    QCOMPARE(DayMask(QDate(2000, 1, 31), 31), QStringLiteral("000131*.csv"));
    QCOMPARE(MergedFileName(QDate(2009, 12, 1), QDate(2009, 12, 15)), QStringLiteral("-091201-091215.csv"));
    QCOMPARE(MergedFileName(QDate(2009, 12, 20), QDate(2009, 12, 5)), QStringLiteral("-091220-091205.csv"));
    QCOMPARE(MergedFileName(QDate(2099, 2, 3), QDate(2099, 2, 4)).size(), 18);
}

void TestMerge::matchesWithoutRegardToCase_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("matches");
    QTest::newRow("plain") << "091201.csv"
                           << "091201*.csv" << true;
    QTest::newRow("suffix") << "091201b.csv"
                            << "091201*.csv" << true;
    QTest::newRow("upper case") << "091201B.CSV"
                                << "091201*.csv" << true;
    QTest::newRow("mixed case") << "091201x.Csv"
                                << "091201*.csv" << true;
    QTest::newRow("other day") << "091202.csv"
                               << "091201*.csv" << false;
    QTest::newRow("other extension") << "091201.txt"
                                     << "091201*.csv" << false;
    QTest::newRow("extension goes on") << "091201.csv.bak"
                                       << "091201*.csv" << false;
    QTest::newRow("merged file") << "-091201-091215.csv"
                                 << "091201*.csv" << false;
    QTest::newRow("merged list") << "-091201-091215.csv"
                                 << "-*.csv" << true;
    QTest::newRow("question mark") << "091201.csv"
                                   << "09120?.csv" << true;
    QTest::newRow("too short") << "09120.csv"
                               << "091201*.csv" << false;
}

void TestMerge::matchesWithoutRegardToCase() {
    QFETCH(QString, name);
    QFETCH(QString, mask);
    QFETCH(bool, matches);
    QCOMPARE(MatchesMask(name, mask), matches);
}

void TestMerge::mergesTheDaysOfASpan() {
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("091201b.csv"), dayFile("091201", 100, 2)));
    QVERIFY(writeAll(dir.filePath("091201.csv"), dayFile("091201", 0, 3)));
    QVERIFY(writeAll(dir.filePath("091203.csv"), dayFile("091203", 0, 4)));
    QVERIFY(writeAll(dir.filePath("091216.csv"), dayFile("091216", 0, 1))); // after the span
    QVERIFY(writeAll(dir.filePath("091101.csv"), dayFile("091101", 0, 1))); // other month
    QVERIFY(writeAll(dir.filePath("notes.txt"), "x"));

    const MergePlan plan = PlanMerge(dir.path(), QDate(2009, 12, 1), QDate(2009, 12, 15));
    QCOMPARE(plan.kind, MergePlan::Case::Search);
    QCOMPARE(plan.mergedName, QStringLiteral("-091201-091215.csv"));
    QCOMPARE(int(plan.days.size()), 15);
    QCOMPARE(plan.days.front().mask, QStringLiteral("091201*.csv"));
    QCOMPARE(plan.days.back().mask, QStringLiteral("091215*.csv"));
    // The files of a day in name order, whatever order the folder keeps them in.
    const QStringList first{"091201.csv", "091201b.csv"};
    QCOMPARE(plan.days[0].files, first);
    QVERIFY(plan.days[1].files.isEmpty());
    QCOMPARE(plan.days[2].files, QStringList{"091203.csv"});
    QVERIFY(plan.anyFileFound);

    MergeStore store;
    const MergeResult r = RunMerge(plan, store);
    QCOMPARE(r.status, MergeResult::Status::Saved);
    QVERIFY(r.shouldLoad());
    QVERIFY(r.messages.isEmpty());
    QCOMPARE(r.mergedName, QStringLiteral("-091201-091215.csv"));
    QCOMPARE(r.linesRead, 9);
    QCOMPARE(r.linesWritten, 9);
    QCOMPARE(r.linesLeftOut, 0);

    QList<QByteArray> expect;
    for (const QString& f : first)
        expect += f == "091201.csv" ? rows("091201", 0, 3) : rows("091201", 100, 2);
    expect += rows("091203", 0, 4);
    QCOMPARE(readAll(dir.filePath("-091201-091215.csv")), merged(expect));
    QCOMPARE(store.lineCount(), 9);
    QCOMPARE(store.line(1), std::string_view((expect[0] + "\r").constData()));

    // Merging again gives the same file.
    const MergeResult again = merge(dir.path(), QDate(2009, 12, 1), QDate(2009, 12, 15), store);
    QCOMPARE(again.status, MergeResult::Status::Saved);
    QCOMPARE(readAll(dir.filePath("-091201-091215.csv")), merged(expect));
}

void TestMerge::reversedSpanSearchesTheFromDayAlone() {
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("091205.csv"), dayFile("091205", 0, 2)));
    QVERIFY(writeAll(dir.filePath("091220.csv"), dayFile("091220", 0, 3)));
    const MergePlan plan = PlanMerge(dir.path(), QDate(2009, 12, 20), QDate(2009, 12, 5));
    QCOMPARE(int(plan.days.size()), 1);
    QCOMPARE(plan.days[0].day, 20);
    MergeStore store;
    const MergeResult r = RunMerge(plan, store);
    QCOMPARE(r.status, MergeResult::Status::Saved);
    QCOMPARE(r.mergedName, QStringLiteral("-091220-091205.csv"));
    QCOMPARE(readAll(dir.filePath(r.mergedName)), merged(rows("091220", 0, 3)));
}

void TestMerge::spanAcrossMonthsOrYearsIsRefused_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::newRow("31 Jan to 1 Feb") << QDate(2010, 1, 31) << QDate(2010, 2, 1);
    QTest::newRow("same month, next year") << QDate(2009, 12, 1) << QDate(2010, 12, 1);
    QTest::newRow("backwards over a month") << QDate(2010, 2, 1) << QDate(2010, 1, 31);
}

void TestMerge::spanAcrossMonthsOrYearsIsRefused() {
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath(DayMask(from, from.day()).replace("*", "")), dayFile("100131", 0, 2)));
    MergeStore store;
    store.append("left from before");
    const MergePlan plan = PlanMerge(dir.path(), from, to);
    QCOMPARE(plan.kind, MergePlan::Case::DifferentMonth);
    QVERIFY(plan.days.empty());
    const MergeResult r = RunMerge(plan, store);
    QCOMPARE(r.status, MergeResult::Status::DifferentMonth);
    QCOMPARE(r.messages, QStringList{"Enable only in one month array"});
    QVERIFY(!r.shouldLoad());
    QCOMPARE(store.lineCount(), 0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

void TestMerge::yearOutsideTheLoggersCenturyIsRefused() {
    // 2110 would search the 2011 files ("11...") under another year's name.
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("110301.csv"), dayFile("110301", 0, 2)));
    MergeStore store;
    const MergeResult r = merge(dir.path(), QDate(2110, 3, 1), QDate(2110, 3, 2), store);
    QCOMPARE(r.status, MergeResult::Status::YearOutOfRange);
    QCOMPARE(r.messages.size(), 1);
    QVERIFY(!r.shouldLoad());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

void TestMerge::noFilesInThePeriod() {
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("091216.csv"), dayFile("091216", 0, 2)));
    MergeStore store;
    const MergeResult r = merge(dir.path(), QDate(2009, 12, 1), QDate(2009, 12, 15), store);
    QCOMPARE(r.status, MergeResult::Status::NoFiles);
    QCOMPARE(r.messages, QStringList{"no csv-files in selected period"});
    QVERIFY(!r.shouldLoad());
    QVERIFY(!QFile::exists(dir.filePath("-091201-091215.csv")));
}

void TestMerge::filesWithoutLinesWriteNothing() {
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("091201.csv"), ""));
    QVERIFY(writeAll(dir.filePath("091202.csv"), "\x1a rest after Ctrl-Z"));
    MergeStore store;
    const MergeResult r = merge(dir.path(), QDate(2009, 12, 1), QDate(2009, 12, 2), store);
    QCOMPARE(r.status, MergeResult::Status::NoLines);
    QVERIFY(r.messages.isEmpty());
    QVERIFY(!r.shouldLoad());
    QVERIFY(!QFile::exists(dir.filePath("-091201-091202.csv")));
}

void TestMerge::mergedFileNeverEntersALaterMerge() {
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("091201.csv"), dayFile("091201", 0, 2)));
    QVERIFY(writeAll(dir.filePath("-091201-091231.csv"), dayFile("091201", 500, 7)));
    QVERIFY(writeAll(dir.filePath("-091201.csv"), dayFile("091201", 600, 1)));
    MergeStore store;
    const MergeResult r = merge(dir.path(), QDate(2009, 12, 1), QDate(2009, 12, 1), store);
    QCOMPARE(r.status, MergeResult::Status::Saved);
    QCOMPARE(r.mergedName, QStringLiteral("-091201-091201.csv"));
    QCOMPARE(readAll(dir.filePath(r.mergedName)), merged(rows("091201", 0, 2)));
    // ... nor does the file just written.
    const MergeResult again = merge(dir.path(), QDate(2009, 12, 1), QDate(2009, 12, 1), store);
    QCOMPARE(again.linesRead, 2);
    QCOMPARE(readAll(dir.filePath(r.mergedName)), merged(rows("091201", 0, 2)));
}

void TestMerge::copiesEveryLineAsRead() {
    QTemporaryDir dir;
    const QByteArray r1 = row("091201", 1), r2 = row("091201", 2);
    // CR LF, empty lines, a short line, CR alone, a lone LF (a line end too), no
    // terminator on the last line before Ctrl-Z, and text after it.
    QVERIFY(writeAll(dir.filePath("091201.csv"),
                     r1 + "\r\n\r\nshort\r" + "\r" + "a\nb\r\n" + r2 + "\x1aignored\r\n"));
    QVERIFY(writeAll(dir.filePath("091202.CSV"), "header line\r\r"));
    MergeStore store;
    const MergeResult r = merge(dir.path(), QDate(2009, 12, 1), QDate(2009, 12, 2), store);
    QCOMPARE(r.status, MergeResult::Status::Saved);
    QCOMPARE(r.linesRead, 9);
    const QByteArray got = readAll(dir.filePath(r.mergedName));
    QCOMPARE(got, merged({r1, "", "short", "", "a", "b", r2, "header line", ""}));
    QVERIFY(!got.contains("\n"));
}

void TestMerge::storeOverflowIsCountedAndReported() {
    // 12 files of 1,700 rows: 20,400 lines for a file that holds 16,383.
    QTemporaryDir dir;
    QList<QByteArray> all;
    for (int d = 1; d <= 12; ++d) {
        const QByteArray day = "0912" + QByteArray::number(100 + d).right(2);
        QVERIFY(writeAll(dir.filePath(QString::fromLatin1(day) + ".csv"), dayFile(day.constData(), 0, 1700)));
        all += rows(day.constData(), 0, 1700);
    }
    MergeStore store;
    const MergeResult r = merge(dir.path(), QDate(2009, 12, 1), QDate(2009, 12, 31), store);
    QCOMPARE(r.status, MergeResult::Status::Saved);
    QVERIFY(r.shouldLoad());
    QCOMPARE(r.linesRead, 20400);
    QCOMPARE(r.linesWritten, 16383);
    QCOMPARE(r.linesLeftOut, 20400 - 16383);
    QCOMPARE(store.lineCount(), 16384);
    QCOMPARE(store.overflowCount(), 20400 - 16384);
    QCOMPARE(r.messages.size(), 1);
    QVERIFY2(r.messages[0].contains("4017"), qPrintable(r.messages[0]));
    QCOMPARE(readAll(dir.filePath(r.mergedName)), merged(all.mid(0, 16383)));

    // A save asked for fewer lines writes those and counts the rest as left out.
    const MergeStore::SaveResult part = store.FileSave(dir.filePath("part.csv"), 10);
    QVERIFY(part.ok);
    QCOMPARE(part.written, 10);
    QCOMPARE(part.leftOut, 20400 - 10);
    QCOMPARE(readAll(dir.filePath("part.csv")), merged(all.mid(0, 10)));
}

void TestMerge::unwritableFolderIsReportedAndOldFileKept() {
    QTemporaryDir dir;
    const QString folder = dir.filePath("local");
    QVERIFY(QDir().mkdir(folder));
    const QString old = QDir(folder).filePath("-091201-091202.csv");
    QVERIFY(writeAll(QDir(folder).filePath("091201.csv"), dayFile("091201", 0, 3)));
    QVERIFY(writeAll(old, "older merge\r\r"));
    const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    QVERIFY(QFile::setPermissions(old, readOnly));
    QVERIFY(QFile::setPermissions(folder, readOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
    QVERIFY(testsupport::OpenForOthers(dir.path()));

    MergeStore store;
    MergeResult r;
    {
        testsupport::AsUnprivileged user;
        if (!user.effective()) QSKIP("cannot run as an ordinary user");
        r = merge(folder, QDate(2009, 12, 1), QDate(2009, 12, 2), store);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(r.status, MergeResult::Status::SaveFailed);
    QVERIFY(!r.shouldLoad());
    QVERIFY(!r.errorText.isEmpty());
    QCOMPARE(r.messages.size(), 1);
    QVERIFY(r.messages[0].contains("-091201-091202.csv"));
    QCOMPARE(readAll(old), QByteArray("older merge\r\r"));
}

void TestMerge::nameTakenByAFolderIsReported() {
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("091201.csv"), dayFile("091201", 0, 3)));
    QVERIFY(QDir(dir.path()).mkdir("-091201-091201.csv"));
    MergeStore store;
    const MergeResult r = merge(dir.path(), QDate(2009, 12, 1), QDate(2009, 12, 1), store);
    QCOMPARE(r.status, MergeResult::Status::SaveFailed);
    QVERIFY(!r.shouldLoad());
    QCOMPARE(r.messages.size(), 1);
}

void TestMerge::unreadableFileIsSkipped() {
    QTemporaryDir dir;
    QVERIFY(testsupport::OpenForOthers(dir.path()));
    QVERIFY(writeAll(dir.filePath("091201.csv"), dayFile("091201", 0, 3)));
    QVERIFY(writeAll(dir.filePath("091202.csv"), dayFile("091202", 0, 2)));
    QVERIFY(QFile::setPermissions(dir.filePath("091201.csv"), QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(dir.filePath("091202.csv"),
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    MergeStore store;
    int lines = -1;
    {
        testsupport::AsUnprivileged user;
        if (!user.effective()) QSKIP("cannot run as an ordinary user");
        lines = store.FileOpen(dir.filePath("091201.csv"));
        QCOMPARE(store.FileOpen(dir.filePath("091202.csv")), 2);
    }
    QCOMPARE(lines, 0);
    QCOMPARE(store.FileOpen(dir.filePath("missing.csv")), 0);
    QCOMPARE(store.lineCount(), 2);
}

QTEST_GUILESS_MAIN(TestMerge)
#include "tst_merge.moc"
