// The logger row format and the line reader, as the loader and merging see them.
#include "logdata/linereader.h"
#include "logdata/rowexport.h"
#include "logdata/rowformat.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <string>

using namespace logdata;

namespace {
QStringList readAll(const QByteArray& bytes) {
    LineReader r;
    const std::string data = bytes.toStdString();
    r.openBytes(data);
    QStringList out;
    std::string_view line;
    while (r.next(line))
        out << QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
    return out;
}
QStringList fields(const char* line) {
    QStringList out;
    for (auto f : SplitCSVLine(line, ','))
        out << QString::fromLatin1(f.data(), static_cast<qsizetype>(f.size()));
    return out;
}
} // namespace

class RowFormatTest : public QObject {
    Q_OBJECT
private slots:
    void lineEnds_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("CR alone") << QByteArray("a\rb\r") << QStringList{"a", "b"};
        QTest::newRow("CR CR gives an empty line") << QByteArray("a\r\rb") << QStringList{"a", "", "b"};
        QTest::newRow("LF alone ends a line") << QByteArray("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("LF CR is two line ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
        QTest::newRow("LF LF gives an empty line") << QByteArray("a\n\nb") << QStringList{"a", "", "b"};
        QTest::newRow("CR, CR LF and LF mixed")
            << QByteArray("a\rb\r\nc\nd") << QStringList{"a", "b", "c", "d"};
        QTest::newRow("Ctrl-Z after LF") << QByteArray("a\n\x1a"
                                                       "b\n")
                                         << QStringList{"a"};
        QTest::newRow("last line without terminator") << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("Ctrl-Z ends the file") << QByteArray("a\r\nb\x1a\r\nc\r\n") << QStringList{"a", "b"};
        QTest::newRow("Ctrl-Z at a line start") << QByteArray("a\r\n\x1a"
                                                              "b")
                                                << QStringList{"a"};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
    }
    void lineEnds() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(readAll(bytes), lines);
    }

    void longLinesAcrossChunksFromAFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("long.csv");
        // Lines far longer than the reader's chunk, with CR LF split across a chunk edge.
        std::string a(200000, 'x'), b(65535, 'y');
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromStdString(a + "\r\n" + b + "\r\n" + "z"));
        f.close();
        LineReader r;
        QVERIFY(r.open(path));
        std::string_view line;
        QVERIFY(r.next(line));
        QCOMPARE(line.size(), a.size());
        QVERIFY(r.next(line));
        QCOMPARE(std::string(line), b);
        QVERIFY(r.next(line));
        QCOMPARE(std::string(line), std::string("z"));
        QVERIFY(!r.next(line));
        QVERIFY(!r.failed());
    }

    void openErrors() {
        QTemporaryDir dir;
        LineReader r;
        QVERIFY(!r.open(dir.filePath("missing.csv")));
        QCOMPARE(r.errorString(), QString("File not found"));
        QVERIFY(!r.open(dir.path()));
        QCOMPARE(r.errorString(), QString("File access denied"));
    }

    void splitting_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty middle") << "a,,b" << QStringList{"a", "", "b"};
        QTest::newRow("trailing comma") << "a,b," << QStringList{"a", "b", ""};
        QTest::newRow("no comma") << "abc" << QStringList{"abc"};
        QTest::newRow("quotes do not protect") << "\"x,y\",z" << QStringList{"\"x", "y\"", "z"};
        QTest::newRow("spaces kept") << " a , b" << QStringList{" a ", " b"};
    }
    void splitting() {
        QFETCH(QString, line);
        QFETCH(QStringList, expected);
        QCOMPARE(fields(line.toLatin1().constData()), expected);
    }

    void acceptance() {
        QVERIFY(!IsLoggerRow(std::string(65, 'a')));
        QVERIFY(IsLoggerRow(std::string(66, 'a')));
        QVERIFY(!IsLoggerRow(""));
        QVERIFY(IsLoggerRow(kColumnHeader));
        QCOMPARE(SplitCSVLine(kColumnHeader, ',').size(), std::size_t(23));
    }

    void tGroup_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("figure"); // -1: none
        QTest::newRow("signed plus") << "+025.3" << 25.3 << 25;
        QTest::newRow("signed minus") << "-012.5" << -12.5 << 12;
        QTest::newRow("six digits") << "000123" << 123.0 << -1;
        QTest::newRow("two digits") << "23" << 23.0 << -1;
        QTest::newRow("two digits, more ignored") << "2345" << 23.0 << -1;
        QTest::newRow("letters use their code") << "A0" << 170.0 << -1;
        // Fields shorter than their form: missing positions count as 0.
        QTest::newRow("empty") << "" << 0.0 << -1;
        QTest::newRow("short signed") << "+02" << 20.0 << 20;
        QTest::newRow("lone sign") << "-" << 0.0 << 0;
        QTest::newRow("one digit") << "7" << 70.0 << -1;
    }
    void tGroup() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(int, figure);
        const QByteArray b = text.toLatin1();
        const Decoded d = DecodeTField(std::string_view(b.constData(), static_cast<std::size_t>(b.size())));
        QCOMPARE(d.value, value);
        QCOMPARE(d.figure.value_or(-1), figure);
    }

    void aGroup_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("figure");
        QTest::newRow("12.5") << "12.5" << 12.5 << 12;
        QTest::newRow("07.4") << "07.4" << 7.4 << 7;
        QTest::newRow("one character") << "1" << 10.0 << 10;
        QTest::newRow("no tenths digit") << "12." << 12.0 << 12;
        QTest::newRow("empty") << "" << 0.0 << 0;
    }
    void aGroup() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(int, figure);
        const QByteArray b = text.toLatin1();
        const Decoded d = DecodeAField(std::string_view(b.constData(), static_cast<std::size_t>(b.size())));
        QCOMPARE(d.value, value);
        QCOMPARE(d.figure.value_or(-1), figure);
    }

    void overLevel() {
        // The comparison uses the unsigned figure, strictly greater than the level.
        QVERIFY(*DecodeTField("+041.0").figure > 40);
        QVERIFY(!(*DecodeTField("+040.9").figure > 40));
        QVERIFY(*DecodeTField("-041.0").figure > 40);
    }

    void statusMark() {
        QVERIFY(IsStatusMarked(23, true, "00T"));
        QVERIFY(IsStatusMarked(23, true, "xxTyy"));
        QVERIFY(!IsStatusMarked(23, true, "0T0"));
        QVERIFY(!IsStatusMarked(22, true, "00T"));
        QVERIFY(!IsStatusMarked(24, true, "00T"));
        QVERIFY(!IsStatusMarked(23, false, "00T"));
        QVERIFY(!IsStatusMarked(23, true, "0T"));
        QVERIFY(!IsStatusMarked(23, true, ""));
    }
    void exportKeepsEachRowsBytes_data();
    void exportKeepsEachRowsBytes();
    void exportNamesNoMergeTakes_data();
    void exportNamesNoMergeTakes();
};

void RowFormatTest::exportKeepsEachRowsBytes_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray a(70, 'a'), b(70, 'b'), c(70, 'c');
    QTest::newRow("CR LF, all") << a + "\r\n" + b + "\r\n" << 1 << 2 << a + "\r\n" + b + "\r\n";
    QTest::newRow("LF only") << a + "\n" + b + "\n" + c + "\n" << 2 << 3 << b + "\n" + c + "\n";
    QTest::newRow("CR only") << a + "\r" + b + "\r" + c + "\r" << 1 << 2 << a + "\r" + b + "\r";
    QTest::newRow("no last line end") << a + "\r\n" + b << 1 << 2 << a + "\r\n" + b;
    QTest::newRow("mixed ends, short lines between")
        << a + "\r\nshort\r\n\r\n" + b + "\n" + c + "\r" << 1 << 3 << a + "\r\n" + b + "\n" + c + "\r";
    QTest::newRow("a row in the middle") << a + "\r\n" + b + "\r\n" + c + "\r\n" << 2 << 2 << b + "\r\n";
    QTest::newRow("Ctrl-Z ends the file") << a + "\r\n" + b + "\x1a" + c << 1 << 9 << a + "\r\n" + b;
    QTest::newRow("none") << a + "\r\n" << 2 << 1 << QByteArray();
}

void RowFormatTest::exportKeepsEachRowsBytes() {
    QFETCH(QByteArray, source);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    QFile in(dir.filePath("091201.csv"));
    QVERIFY(in.open(QIODevice::WriteOnly));
    in.write(source);
    in.close();
    const auto r = logdata::ExportRows(in.fileName(), from, to, dir.filePath("out.csv"));
    QVERIFY2(r.ok, qPrintable(r.error));
    QFile out(dir.filePath("out.csv"));
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), expected);
}

void RowFormatTest::exportNamesNoMergeTakes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("taken");
    QTest::newRow("a day file") << "091201.csv" << true;
    QTest::newRow("a copy of it") << "091201-copy.csv" << true;
    QTest::newRow("upper case") << "091201B.CSV" << true;
    QTest::newRow("suggested") << logdata::ExportFileName("/data/091201.csv", false) << false;
    QTest::newRow("suggested part") << logdata::ExportFileName("/data/091201.csv", true) << false;
    QTest::newRow("merged") << "-091201-091215.csv" << false;
    QTest::newRow("no such day") << "091332.csv" << false;
    QTest::newRow("not csv") << "091201.txt" << false;
}

void RowFormatTest::exportNamesNoMergeTakes() {
    QFETCH(QString, name);
    QFETCH(bool, taken);
    QCOMPARE(logdata::MergeWouldTake(name), taken);
}

QTEST_APPLESS_MAIN(RowFormatTest)
#include "rowformat_test.moc"
