// Listing lines as pyftpdlib, vsftpd and other servers write them, which remote
// entries the batches take, the move decision, the copy-from key, and what a
// download does to a local file of its name.
#include "transfer/transfercore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <climits>

using transfer::Batch;
using transfer::ListingEntry;

class TransferCoreTest : public QObject {
    Q_OBJECT
private slots:
    void listingLines_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("csv");
        const int none = int(ListingEntry::Kind::None), file = int(ListingEntry::Kind::File),
                  folder = int(ListingEntry::Kind::Folder);
        // pyftpdlib puts names at column 56.
        QTest::newRow("pyftpdlib file")
            << "-rw-r--r--   1 owner    group         133920 Dec 01 10:00 091201.csv" << file << "091201.csv"
            << true;
        QTest::newRow("pyftpdlib folder")
            << "drwxr-xr-x   2 owner    group           4096 Dec 01 10:00 logger" << folder << "logger"
            << false;
        // vsftpd puts them at column 57.
        QTest::newRow("vsftpd file") << "-rw-r--r--    1 1000     1000       133920 Dec 01 10:00 091201.csv"
                                     << file << "091201.csv" << true;
        QTest::newRow("vsftpd year instead of time")
            << "-rw-r--r--    1 0        0            12 Jan 05  2024 old.csv" << file << "old.csv" << true;
        QTest::newRow("name with blanks")
            << "-rw-r--r--   1 owner    group             12 Dec 01 10:00 my day.csv" << file << "my day.csv"
            << true;
        QTest::newRow("no group column")
            << "-rw-r--r--   1 owner           12 Dec 01 10:00 a.csv" << file << "a.csv" << true;
        QTest::newRow("symbolic link")
            << "lrwxrwxrwx   1 owner    group             12 Dec 01 10:00 l.csv -> 091201.csv" << file
            << "l.csv" << true;
        QTest::newRow("txt file") << "-rw-r--r--   1 owner    group             12 Dec 01 10:00 notes.txt"
                                  << file << "notes.txt" << false;
        QTest::newRow("upper-case extension")
            << "-rw-r--r--   1 owner    group             12 Dec 01 10:00 data.CSV" << file << "data.CSV"
            << false;
        QTest::newRow("first dot decides")
            << "-rw-r--r--   1 owner    group             12 Dec 01 10:00 a.b.csv" << file << "a.b.csv"
            << false;
        QTest::newRow("csvx") << "-rw-r--r--   1 owner    group             12 Dec 01 10:00 x.csvx" << file
                              << "x.csvx" << true;
        QTest::newRow("no dot: first three")
            << "-rw-r--r--   1 owner    group             12 Dec 01 10:00 csvdata" << file << "csvdata"
            << true;
        QTest::newRow("Windows server file")
            << "12-01-09  10:00AM               133920 091201.csv" << file << "091201.csv" << true;
        QTest::newRow("Windows server folder")
            << "12-01-09  10:00AM       <DIR>          logger" << folder << "logger" << false;
        QTest::newRow("Windows server, 24-hour time")
            << "2009-12-01  10:00   12 my day.csv" << none << "" << false;
        QTest::newRow("total line") << "total 24" << none << "" << false;
        QTest::newRow("empty") << "" << none << "" << false;
        QTest::newRow("dot folders") << "drwxr-xr-x   2 owner    group           4096 Dec 01 10:00 .." << none
                                     << "" << false;
        QTest::newRow("path separator")
            << "-rw-r--r--   1 owner    group             12 Dec 01 10:00 ../evil.csv" << none << "" << false;
        // Lines that are not Unix listings follow the columns: 56, or 63 when 56 is blank.
        const QString col56 = QString(55, 'x') + "name.csv";
        QTest::newRow("column 56") << col56 << file << "name.csv" << true;
        const QString col63 = QString(55, 'x') + "       " + "far.csv";
        QTest::newRow("column 63") << col63 << file << "far.csv" << true;
        QTest::newRow("short odd line") << "some text" << none << "" << false;
    }
    void listingLines() {
        QFETCH(QString, line);
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(bool, csv);
        const ListingEntry e = transfer::InterpretListingLine(line);
        QCOMPARE(int(e.kind), kind);
        QCOMPARE(e.name, name);
        QCOMPARE(e.csv, csv);
    }

    void copyFromKey() {
        QCOMPARE(transfer::CopyFromKey(QDate(2018, 10, 11)), QString("181011"));
        QCOMPARE(transfer::CopyFromKey(QDate(2009, 1, 5)), QString("090105"));
        const QString key = "181011";
        QVERIFY(!transfer::NameFromKeyOn("181010.csv", key));
        QVERIFY(transfer::NameFromKeyOn("181011.csv", key));
        QVERIFY(transfer::NameFromKeyOn("181012.csv", key));
        QVERIFY(transfer::NameFromKeyOn("abc.csv", key)); // letters sort after digits
        QVERIFY(!transfer::NameFromKeyOn("1810", key));   // a beginning counts as smaller
        // The key does not depend on the locale's date form.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(transfer::CopyFromKey(QDate(2018, 10, 11)), QString("181011"));
        QCOMPARE(transfer::DateText(QDate(2018, 10, 11)), QString("11.10.18"));
        QLocale::setDefault(QLocale::c());
    }

    void batchTakes_data() {
        QTest::addColumn<int>("batch");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<bool>("taken");
        const QDate oct11(2018, 10, 11);
        QTest::newRow("copy selected: selected")
            << int(Batch::CopySelected) << "a.csv" << true << QDate() << true;
        QTest::newRow("copy selected: not selected")
            << int(Batch::CopySelected) << "a.csv" << false << QDate() << false;
        QTest::newRow("move selected: not selected")
            << int(Batch::MoveSelected) << "a.csv" << false << QDate() << false;
        QTest::newRow("copy all takes the unselected")
            << int(Batch::CopyAll) << "a.csv" << false << QDate() << true;
        QTest::newRow("move all takes the unselected")
            << int(Batch::MoveAll) << "a.csv" << false << QDate() << true;
        QTest::newRow("date: the day before")
            << int(Batch::CopyFromDate) << "181010.csv" << true << oct11 << false;
        QTest::newRow("date: the day itself")
            << int(Batch::CopyFromDate) << "181011.csv" << false << oct11 << true;
        QTest::newRow("date: a later year")
            << int(Batch::CopyFromDate) << "190101.csv" << false << oct11 << true;
        QTest::newRow("date: a name of letters")
            << int(Batch::CopyFromDate) << "abc.csv" << false << oct11 << true;
        QTest::newRow("date: a name shorter than the key")
            << int(Batch::CopyFromDate) << "1810" << true << oct11 << false;
    }
    void batchTakes() {
        QFETCH(int, batch);
        QFETCH(QString, name);
        QFETCH(bool, selected);
        QFETCH(QDate, from);
        QFETCH(bool, taken);
        QCOMPARE(transfer::BatchTakes(Batch(batch), name, selected, from), taken);
    }

    void walkEnds_data() {
        QTest::addColumn<int>("batch");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<bool>("goesOn");
        const int last = transfer::kWalkLimit - 1;
        QTest::newRow("selection walk goes on") << int(Batch::CopySelected) << 0 << false << true;
        QTest::newRow("selection walk stops on cancel") << int(Batch::MoveSelected) << 0 << true << false;
        QTest::newRow("selection walk stops at its limit")
            << int(Batch::CopySelected) << last << false << false;
        QTest::newRow("one before the limit") << int(Batch::CopySelected) << last - 1 << false << true;
        QTest::newRow("date walk stops at its limit") << int(Batch::CopyFromDate) << last << false << false;
        QTest::newRow("copy all has no limit") << int(Batch::CopyAll) << last + 5 << false << true;
        QTest::newRow("move all stops on cancel") << int(Batch::MoveAll) << 3 << true << false;
    }
    void walkEnds() {
        QFETCH(int, batch);
        QFETCH(int, index);
        QFETCH(bool, cancelled);
        QFETCH(bool, goesOn);
        QCOMPARE(transfer::WalkGoesOn(Batch(batch), index, cancelled), goesOn);
    }

    void copyFromDateComplete_data() {
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("countNow");
        QTest::addColumn<bool>("complete");
        QTest::newRow("ran to its end") << false << true << 4 << true;
        QTest::newRow("cancelled") << true << true << 4 << false;
        QTest::newRow("connection lost") << false << false << 4 << false;
        QTest::newRow("the list changed under the walk") << false << true << 0 << false;
    }
    void copyFromDateComplete() {
        QFETCH(bool, cancelled);
        QFETCH(bool, connected);
        QFETCH(int, countNow);
        QFETCH(bool, complete);
        QCOMPARE(transfer::CopyFromDateComplete(cancelled, connected, 4, countNow), complete);
    }

    void localAgainstDownload_data() {
        QTest::addColumn<bool>("localExists");
        QTest::addColumn<QByteArray>("local");
        QTest::addColumn<QByteArray>("fetched");
        QTest::addColumn<int>("verdict");
        using V = transfer::LocalAgainstDownload;
        const QByteArray day = "091201,10:00:00,+021.5\r\n091201,10:10:00,+021.6\r\n";
        QTest::newRow("no local file") << false << QByteArray() << day << int(V::Missing);
        QTest::newRow("same bytes") << true << day << day << int(V::Same);
        QTest::newRow("the day file grew") << true << day.left(24) << day << int(V::Prefix);
        QTest::newRow("empty local file") << true << QByteArray() << day << int(V::Prefix);
        QTest::newRow("restarted logger, longer file")
            << true << QByteArray("091201,09") << day << int(V::Differs);
        QTest::newRow("local longer than the download") << true << day << day.left(10) << int(V::Differs);
        const QByteArray big(300000, 'x');
        QByteArray changedLate = big;
        changedLate[299990] = 'y';
        QTest::newRow("differs past the first chunk") << true << changedLate << big + "z" << int(V::Differs);
        QTest::newRow("grew past the first chunk") << true << big << big + "z" << int(V::Prefix);
    }
    void localAgainstDownload() {
        QFETCH(bool, localExists);
        QFETCH(QByteArray, local);
        QFETCH(QByteArray, fetched);
        QFETCH(int, verdict);
        QTemporaryDir dir;
        const auto put = [&](const QString& name, const QByteArray& bytes) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        };
        if (localExists) put("a.csv", local);
        put("a.csv.part", fetched);
        const auto got =
            transfer::CompareLocalWithDownload(dir.filePath("a.csv"), dir.filePath("a.csv.part"));
        QCOMPARE(int(got), verdict);
        const bool differs = verdict == int(transfer::LocalAgainstDownload::Differs);
        QCOMPARE(transfer::DownloadMayReplace(got), !differs);
        // A batch the user started asks only about a different file, keep both proposed; an unattended
        // one never asks and keeps a different local file.
        int asked = 0;
        transfer::ExistingFileRule user([&](const QString&) {
            ++asked;
            return transfer::ExistingFileRule::Answer{};
        });
        const transfer::CommitDecision d = user.decide(dir.filePath("a.csv.part"), dir.filePath("a.csv"));
        QCOMPARE(asked, differs ? 1 : 0);
        QVERIFY(d.replace);
        QCOMPARE(d.keepLocalAs, differs ? dir.filePath("a.csv.1.old") : QString());
        transfer::ExistingFileRule unattended;
        QCOMPARE(unattended.decide(dir.filePath("a.csv.part"), dir.filePath("a.csv")).replace, !differs);
        QCOMPARE(unattended.notes().size(), differs ? 1 : 0);
    }

    void existingFileChoices_data() {
        QTest::addColumn<QStringList>("answers"); // both, local, replace; "+rest": for the rest too
        QTest::addColumn<bool>("unattended");
        QTest::addColumn<int>("questions");      // for two different local files in one batch
        QTest::addColumn<bool>("replaced");      // the first download takes the local name
        QTest::addColumn<QString>("firstAside"); // where the first local file goes ("" stays)
        QTest::addColumn<QString>("note");
        QTest::newRow("keep both, the first free number")
            << QStringList{"both", "both"} << false << 2 << true << "240301.csv.3.old"
            << "the local file was renamed to 240301.csv.3.old";
        QTest::newRow("keep the local file")
            << QStringList{"local", "local"} << false << 2 << false << ""
            << "240301.csv differs from the server's copy: the local file was kept";
        QTest::newRow("replace") << QStringList{"replace", "both"} << false << 2 << true << ""
                                 << "240301.csv differed from the server's copy and was replaced by it";
        QTest::newRow("the same for the rest") << QStringList{"local+rest"} << false << 1 << false << ""
                                               << "240302.csv differs";
        QTest::newRow("unattended") << QStringList() << true << 0 << false << ""
                                    << "the server's copy was not saved (fetch it from the window to choose)";
    }
    void existingFileChoices() {
        QFETCH(QStringList, answers);
        QFETCH(bool, unattended);
        QFETCH(int, questions);
        QFETCH(bool, replaced);
        QFETCH(QString, firstAside);
        QFETCH(QString, note);
        QTemporaryDir dir;
        const auto put = [&](const QString& name, const QByteArray& bytes) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        };
        // Earlier kept copies hold numbers 1 and 2 (2 as a dangling link).
        put("240301.csv.1.old", "older");
        QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("240301.csv.2.old")));
        for (const char* n : {"240301.csv", "240302.csv"}) {
            put(n, "240301,00:00:05,+020.1 logger restarted\r\n");
            put(QString(n) + ".part", "240301,00:00:00,+020.0\r\n");
        }
        QStringList asked;
        transfer::ExistingFileRule::Ask ask = [&](const QString& question) {
            asked << question;
            const QString a = answers.value(asked.size() - 1);
            return transfer::ExistingFileRule::Answer{
                a.startsWith("local")     ? transfer::ExistingFileChoice::KeepLocal
                : a.startsWith("replace") ? transfer::ExistingFileChoice::Replace
                                          : transfer::ExistingFileChoice::KeepBoth,
                a.endsWith("+rest")};
        };
        transfer::ExistingFileRule rule(unattended ? transfer::ExistingFileRule::Ask() : ask);
        const auto first = rule.decide(dir.filePath("240301.csv.part"), dir.filePath("240301.csv"));
        rule.decide(dir.filePath("240302.csv.part"), dir.filePath("240302.csv"));
        QCOMPARE(asked.size(), questions);
        if (questions > 0)
            QVERIFY2(asked[0].startsWith("240301.csv is in the local folder already") &&
                         asked[0].contains("renamed to 240301.csv.3.old"),
                     qPrintable(asked[0]));
        QCOMPARE(first.replace, replaced);
        QCOMPARE(QFileInfo(first.keepLocalAs).fileName(), firstAside);
        QCOMPARE(rule.notes().size(), 2);
        QVERIFY2(rule.notes().join('\n').contains(note), qPrintable(rule.notes().join('\n')));
        // No local list, merged-file list or merge day mask takes a kept copy for a logger file.
        for (const char* mask : {"*.csv", "-*.csv", "240301*.csv"})
            QVERIFY(
                !QDir::match(QString::fromLatin1(mask), transfer::KeepBothName(dir.filePath("240301.csv"))));
    }

    void remoteStaysReason_data() {
        QTest::addColumn<qint64>("sizeBefore");
        QTest::addColumn<qint64>("sizeAfter");
        QTest::addColumn<int>("ageBefore"); // seconds before now; INT_MIN: no MDTM
        QTest::addColumn<int>("ageAfter");
        QTest::addColumn<QString>("reason"); // "" the server's file may go
        const int none = INT_MIN;
        QTest::newRow("unchanged, an hour old") << qint64(100) << qint64(100) << 3600 << 3600 << "";
        QTest::newRow("no MDTM, same size") << qint64(100) << qint64(100) << none << none << "";
        QTest::newRow("no SIZE, same old time") << qint64(-1) << qint64(-1) << 3600 << 3600 << "";
        QTest::newRow("grew") << qint64(100) << qint64(180) << 3600 << 3600
                              << "it changed on the server during the move: 100 bytes, then 180";
        QTest::newRow("no MDTM, grew") << qint64(100) << qint64(180) << none << none << "100 bytes, then 180";
        QTest::newRow("touched, same size") << qint64(100) << qint64(100) << 3600 << 3590
                                            << "it changed on the server during the move: changed";
        QTest::newRow("in the future")
            << qint64(100) << qint64(100) << -600 << -600 << "is ahead of this computer's clock";
        QTest::newRow("just now") << qint64(100) << qint64(100) << 10 << 10
                                  << "it was changed on the server 10 seconds ago";
        QTest::newRow("within 2 minutes and the margin")
            << qint64(100) << qint64(100) << 299 << 299 << "may still be being written";
        QTest::newRow("past 2 minutes and the margin") << qint64(100) << qint64(100) << 300 << 300 << "";
        QTest::newRow("size not told again")
            << qint64(100) << qint64(-1) << 3600 << 3600 << "could not tell its size or time again";
        QTest::newRow("time not told again")
            << qint64(100) << qint64(100) << 3600 << none << "could not tell its size or time again";
        QTest::newRow("neither size nor time")
            << qint64(-1) << qint64(-1) << none << none << "tells neither its size nor its time";
    }
    void remoteStaysReason() {
        QFETCH(qint64, sizeBefore);
        QFETCH(qint64, sizeAfter);
        QFETCH(int, ageBefore);
        QFETCH(int, ageAfter);
        QFETCH(QString, reason);
        const QDateTime now(QDate(2026, 12, 8), QTime(18, 30), Qt::UTC);
        const auto at = [&](int age) { return age == INT_MIN ? QDateTime() : now.addSecs(-age); };
        const QString got =
            transfer::RemoteStaysReason({sizeBefore, at(ageBefore)}, {sizeAfter, at(ageAfter)}, now);
        if (reason.isEmpty())
            QCOMPARE(got, QString());
        else
            QVERIFY2(got.contains(reason), qPrintable(got));
    }

    void commandStatusTexts_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("text");
        using transfer::Outcome;
        QTest::newRow("first kind") << 0 << int(Outcome::Success) << "ChangeDir success";
        QTest::newRow("download failure") << 8 << int(Outcome::Failure) << "Download failure";
        QTest::newRow("last kind") << 14 << int(Outcome::Unsupported) << "DoCommand unsupported";
        QTest::newRow("past the last kind") << 15 << int(Outcome::Success) << "";
        QTest::newRow("negative kind") << -1 << int(Outcome::Failure) << "";
    }
    void commandStatusTexts() {
        QFETCH(int, kind);
        QFETCH(int, outcome);
        QFETCH(QString, text);
        QCOMPARE(transfer::CommandStatusText(kind, transfer::Outcome(outcome)), text);
    }

    void keptOnServerText() {
        QCOMPARE(transfer::KeptOnServerText({}), QString());
        QCOMPARE(transfer::KeptOnServerText({"a.csv", "b.csv"}),
                 QString("These files arrived incomplete and were left on the server: a.csv, b.csv"));
    }
};

QTEST_APPLESS_MAIN(TransferCoreTest)
#include "transfercore_test.moc"
