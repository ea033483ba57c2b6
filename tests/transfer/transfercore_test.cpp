// Listing lines as pyftpdlib, vsftpd and other servers write them, and the copy-from key.
#include "transfer/transfercore.h"

#include <QTest>

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
};

QTEST_APPLESS_MAIN(TransferCoreTest)
#include "transfercore_test.moc"
