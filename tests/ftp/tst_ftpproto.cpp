// Reply codes, multi-line replies, sizes, the PORT line, listing lines and their Unix columns.
#include "ftp/ftplist.h"
#include "ftp/ftpproto.h"
#include "ftp/powersock.h"

#include <QTest>

class TestFtpProto : public QObject {
    Q_OBJECT
private slots:
    void replyCode_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("continues");
        QTest::newRow("final") << "220 Ready\r\n" << 220 << false;
        QTest::newRow("first of many") << "220-Welcome\r\n" << 220 << true;
        QTest::newRow("indented") << " more text\r\n" << 0 << true;
        QTest::newRow("no digits") << "hello\r\n" << 0 << false;
        QTest::newRow("two digits are no code") << "55\r\n" << 0 << false;
        QTest::newRow("two digits, nothing else") << "22" << 0 << false;
        QTest::newRow("four digits") << "2000 x" << 0 << false;
        QTest::newRow("first digit 6") << "600 x" << 0 << false;
        QTest::newRow("code alone") << "226" << 226 << false;
        QTest::newRow("code then line end") << "226\r\n" << 226 << false;
        QTest::newRow("non-ASCII digits") << QString::fromUtf8("\u0662\u0662\u0660 x") << 0 << false;
    }
    void replyCode() {
        QFETCH(QString, line);
        QFETCH(int, code);
        QFETCH(bool, continues);
        QCOMPARE(ReplyCodeOf(line), code);
        QCOMPARE(IsContinuationLine(line), continues);
    }

    void sizeFromReply_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<qint64>("size");
        QTest::newRow("binary") << "150 Opening BINARY mode data connection for a.csv (2048 bytes)."
                                << qint64(2048);
        QTest::newRow("case") << "150 file (77 Bytes)" << qint64(77);
        QTest::newRow("no bytes") << "150 Opening data connection" << qint64(-1);
        QTest::newRow("code only") << "150 some bytes" << qint64(-1);
        QTest::newRow("no digit before") << "BYTES 12" << qint64(-1);
        QTest::newRow("over 4 GiB") << "150 x (5368709120 bytes)" << qint64(5368709120LL);
        QTest::newRow("kbytes with a fraction") << "150 109.7 kbytes to download" << qint64(-1);
        QTest::newRow("kbytes, .0") << "150 12.0 kbytes to download" << qint64(-1);
        QTest::newRow("kbytes in brackets") << "150 x (12 kbytes)" << qint64(-1);
        QTest::newRow("empty file") << "150 x (0 bytes)" << qint64(0);
        QTest::newRow("name holds digits") << "150 for 240101.csv (512 bytes)" << qint64(512);
        QTest::newRow("first bracket no size") << "150 for a(1).csv (512 bytes)" << qint64(512);
        QTest::newRow("name holds a size") << "150 for x (5 bytes).csv (512 bytes)." << qint64(512);
        QTest::newRow("too many digits") << "150 x (12345678901234567890 bytes)" << qint64(-1);
        // Upper-casing lengthens some letters (\u00df -> SS); the size must come from the line itself.
        QTest::newRow("letters that grow when upper-cased")
            << QString::fromUtf8("150 \u00df\u00df\u00df\u00df\u00df\u00df\u00df\u00df bytes (9 bytes)")
            << qint64(9);
        QTest::newRow("sharp s before bytes")
            << QString::fromUtf8("150 \u00df\u00df\u00df\u00df\u00df\u00df\u00df\u00df\u00df\u00df bytes")
            << qint64(-1);
    }
    void sizeFromReply() {
        QFETCH(QString, line);
        QFETCH(qint64, size);
        QCOMPARE(SizeFromReply(line), size);
    }

    void size213_data() {
        // A 213 reply answers SIZE and MDTM alike: each rule takes only its own form.
        QTest::addColumn<QString>("line");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QDateTime>("modified");
        const QDateTime none;
        const QDateTime stamp(QDate(2024, 3, 4), QTime(11, 0, 5), Qt::UTC);
        QTest::newRow("plain") << "213 5242880\r\n" << qint64(5242880) << none;
        QTest::newRow("zero") << "213 0\r\n" << qint64(0) << none;
        QTest::newRow("other code") << "550 5242880\r\n" << qint64(-1) << none;
        QTest::newRow("words") << "213 about 5 kB\r\n" << qint64(-1) << none;
        QTest::newRow("multi-line opening") << "213-5\r\n" << qint64(-1) << none;
        QTest::newRow("time") << "213 20240304110005\r\n" << qint64(20240304110005) << stamp;
        QTest::newRow("time with milliseconds") << "213 20240304110005.250\r\n" << qint64(-1) << stamp;
        QTest::newRow("time with a bare dot") << "213 20240304110005.\r\n" << qint64(-1) << none;
        QTest::newRow("30 February") << "213 20240230110005\r\n" << qint64(20240230110005) << none;
        QTest::newRow("hour 24") << "213 20240304240005\r\n" << qint64(20240304240005) << none;
        QTest::newRow("a digit short") << "213 2024030411000\r\n" << qint64(2024030411000) << none;
        QTest::newRow("time refused") << "550 20240304110005\r\n" << qint64(-1) << none;
    }
    void size213() {
        QFETCH(QString, line);
        QFETCH(qint64, size);
        QFETCH(QDateTime, modified);
        QCOMPARE(SizeFrom213(line), size);
        QCOMPARE(ModifiedFrom213(line), modified);
        if (modified.isValid()) QCOMPARE(ModifiedFrom213(line).timeSpec(), Qt::UTC);
    }

    void replyAssembler_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("taken"); // lines taken until complete (0: still incomplete)
        QTest::addColumn<int>("code");
        QTest::newRow("single") << QStringList{"200 ok", "200 next"} << 1 << 200;
        QTest::newRow("multi") << QStringList{"211-Features", " SIZE", "211-x", "211 End", "200 next"} << 4
                               << 211;
        QTest::newRow("other code inside") << QStringList{"220-a", "230 not the end", "220 end"} << 3 << 220;
        QTest::newRow("code alone ends") << QStringList{"226-a", "226"} << 2 << 226;
        QTest::newRow("indented first") << QStringList{" x", "plain", "220 Ready"} << 3 << 220;
        QTest::newRow("two-digit last line") << QStringList{"55"} << 1 << 0;
        QTest::newRow("never ends") << QStringList{"150-a", "x", "y"} << 0 << 0;
    }
    void replyAssembler() {
        QFETCH(QStringList, lines);
        QFETCH(int, taken);
        QFETCH(int, code);
        TReplyAssembler r;
        int n = 0;
        for (const QString& l : lines) {
            ++n;
            if (r.Add(l) == TReplyAssembler::Complete) break;
            if (n == lines.size()) n = 0;
        }
        QCOMPARE(n, taken);
        QCOMPARE(r.Code(), code);
    }
    void replyAssemblerBounded() {
        TReplyAssembler r;
        QCOMPARE(r.Add("211-start"), TReplyAssembler::NeedMore);
        TReplyAssembler::State s = TReplyAssembler::NeedMore;
        for (int i = 0; i < kMaxReplyLines + 5 && s == TReplyAssembler::NeedMore; ++i)
            s = r.Add(" line");
        QCOMPARE(s, TReplyAssembler::TooLong);
        QCOMPARE(r.LineCount(), kMaxReplyLines + 1);
    }

    void passivePorts_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("port");
        QTest::newRow("EPSV") << "229 Entering Extended Passive Mode (|||6446|)\r\n" << 6446;
        QTest::newRow("EPSV, other delimiter") << "229 ok (!!!21!)" << 21;
        QTest::newRow("EPSV without port") << "229 ok (|||)" << 0;
        QTest::newRow("EPSV port too big") << "229 ok (|||70000|)" << 0;
        QTest::newRow("EPSV refused") << "500 Unknown command" << 0;
        QTest::newRow("PASV") << "227 Entering Passive Mode (127,0,0,1,25,46).\r\n" << 6446;
        QTest::newRow("PASV without brackets") << "227 =10,9,8,7,0,21" << 21;
        QTest::newRow("PASV byte over 255") << "227 (1,2,3,4,256,1)" << 0;
        QTest::newRow("PASV, five numbers") << "227 (1,2,3,4,5)" << 0;
        QTest::newRow("PASV code missing") << "22 (1,2,3,4,5,6)" << 0;
    }
    void passivePorts() {
        QFETCH(QString, reply);
        QFETCH(int, port);
        QCOMPARE(int(reply.startsWith("229") ? EpsvPort(reply) : PasvPort(reply)), port);
    }

    void listingSize_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<qint64>("size");
        QTest::newRow("vsftpd") << "-rw-r--r--    1 0        0          440000 Mar 03 10:15 240301.csv"
                                << qint64(440000);
        QTest::newRow("pyftpdlib, name with blanks")
            << "-rw-r--r--   1 user     user            35 Dec 08 09:45 day 12 file.csv" << qint64(35);
        QTest::newRow("no group column") << "-rw-r--r-- 1 ftp 2048 Jan 1 2004 a.csv" << qint64(2048);
        QTest::newRow("over 4 GiB") << "-rw-r--r-- 1 ftp ftp 5368709120 Mar 3 10:15 big.bin"
                                    << qint64(5368709120LL);
        QTest::newRow("folder") << "drwxr-xr-x 2 ftp ftp 512 Jan 1 2004 logs" << qint64(-1);
        QTest::newRow("link") << "lrwxrwxrwx 1 ftp ftp 7 Jan 1 2004 l -> a.csv" << qint64(-1);
        QTest::newRow("windows file") << "12-01-09  10:00AM                 1234 091201.csv" << qint64(1234);
        QTest::newRow("windows folder") << "12-01-09  10:00AM       <DIR>          logs" << qint64(-1);
        QTest::newRow("total line") << "total 3" << qint64(-1);
        QTest::newRow("size not a number") << "-rw-r--r-- 1 ftp ftp 2k Mar 3 10:15 a.csv" << qint64(-1);
        QTest::newRow("owner named like a month")
            << "-rw-r--r-- 1 jan 7 2048 Mar 3 10:15 a.csv" << qint64(2048);
        QTest::newRow("group named like a month")
            << "-rw-r--r-- 1 ftp Dec 2048 Mar 3 10:15 a.csv" << qint64(2048);
    }
    void listingSize() {
        QFETCH(QString, line);
        QFETCH(qint64, size);
        QCOMPARE(ListingSizeOf(line), size);
    }

    void portLine_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("line");
        QTest::newRow("lan") << "192.168.1.20" << 4100 << "PORT 192,168,1,20,16,4";
        QTest::newRow("loopback") << "127.0.0.1" << 65535 << "PORT 127,0,0,1,255,255";
        QTest::newRow("IPv4-mapped") << "::ffff:10.1.2.3" << 21 << "PORT 10,1,2,3,0,21";
        QTest::newRow("IPv6 loopback") << "::1" << 50000 << "EPRT |2|::1|50000|";
        QTest::newRow("IPv6 with a zone") << "fe80::1%lo" << 1024 << "EPRT |2|fe80::1|1024|";
    }
    void portLine() {
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(QString, line);
        QCOMPARE(PortLine(QHostAddress(address), quint16(port)), line);
    }

    void lineEnds_data() {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("line");
        QTest::newRow("crlf") << "drwxr-xr-x 2 ftp ftp 4096 Jan 1 12:00 data\r\n"
                              << "drwxr-xr-x 2 ftp ftp 4096 Jan 1 12:00 data";
        QTest::newRow("lf") << "abc\n"
                            << "abc";
        QTest::newRow("crlf alone") << "\r\n"
                                    << "\r\n";
        QTest::newRow("no line end") << "-rw-r--r-- 1 ftp ftp 20 Jan 1 b.csv"
                                     << "-rw-r--r-- 1 ftp ftp 20 Jan 1 b.csv";
    }
    void lineEnds() {
        QFETCH(QString, raw);
        QFETCH(QString, line);
        QCOMPARE(CutLineEnd(raw), line);
    }

    void commandKind_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("kind");
        QTest::newRow("CWD") << "CWD data" << int(TCmdType::ChangeDir);
        QTest::newRow("cwd lower") << "cwd data" << int(TCmdType::DoCommand);
        QTest::newRow("MKD") << "MKD x" << int(TCmdType::MakeDir);
        QTest::newRow("RMD") << "RMD x" << int(TCmdType::RemoveDir);
        QTest::newRow("DELE") << "DELE a.csv" << int(TCmdType::Delete);
        QTest::newRow("PWD") << "PWD" << int(TCmdType::PrintDir);
        QTest::newRow("PWD arg") << "PWD x" << int(TCmdType::DoCommand);
        QTest::newRow("leading space") << " CWD x" << int(TCmdType::DoCommand);
    }
    void commandKind() {
        QFETCH(QString, line);
        QFETCH(int, kind);
        QCOMPARE(int(CommandKindOf(line)), kind);
    }

    void errorMessages() {
        QCOMPARE(TPowersock::LookupErrorMessage(0), QString());
        QCOMPARE(TPowersock::LookupErrorMessage(10061), QStringLiteral("10061:Connection refused"));
        QCOMPARE(TPowersock::LookupErrorMessage(11004),
                 QStringLiteral("11004:Valid name, no data record of requested type"));
        QCOMPARE(TPowersock::LookupErrorMessage(42), QStringLiteral("Unknown Error No. 42"));
    }

    void splitting_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("runs of spaces") << "a  b   c" << QStringList{"a", "b", "c"};
        QTest::newRow("leading space") << " a" << QStringList{"", "a"};
        QTest::newRow("trailing space") << "a " << QStringList{"a", ""};
        QTest::newRow("empty") << "" << QStringList{""};
        QTest::newRow("tab is no separator") << "a\tb c" << QStringList{"a\tb", "c"};
        QTest::newRow("long field") << QString(300, 'x') << QStringList{QString(255, 'x')};
    }
    void splitting() {
        TFTPDirectoryList list;
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        list.ParseLine(line);
        QCOMPARE(list.Fields, fields);
        QCOMPARE(list.FieldCount, fields.size());
        QVERIFY(list.Names.isEmpty());
    }

    void unixColumns_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("row"); // name, size, date, attributes; empty = skipped
        QTest::newRow("with group") << "-rw-r--r-- 1 ftp ftp 2048 Mar 3 10:15 a.csv"
                                    << QStringList{"a.csv", "2048", "Mar 3 10:15", "-rw-r--r--"};
        QTest::newRow("without group") << "drwxr-xr-x 2 ftp 512 Jan 1 2004 logs"
                                       << QStringList{"logs", "512", "Jan 1 2004", "drwxr-xr-x"};
        QTest::newRow("double spaces") << "-rw-r--r--  1 ftp  ftp  2048 Mar  3 10:15 a.csv"
                                       << QStringList{"a.csv", "2048", "Mar 3 10:15", "-rw-r--r--"};
        QTest::newRow("total line") << "total 12" << QStringList{};
        QTest::newRow("trailing space") << "-rw-r--r-- 1 ftp ftp 2048 Mar 3 10:15 a.csv "
                                        << QStringList{"", "Mar", "3 10:15 a.csv", "-rw-r--r--"};
        QTest::newRow("many fields")
            << "-rw-r--r-- 1 a b c d e f g h i j k l m n o p q r s t u v w x 9 Jan 1 2020 z"
            << QStringList{"z", "9", "Jan 1 2020", "-rw-r--r--"};
    }
    void unixColumns() {
        TFTPUnixList list;
        QFETCH(QString, line);
        QFETCH(QStringList, row);
        list.ParseLine(line);
        if (row.isEmpty()) {
            QVERIFY(list.Names.isEmpty() && list.Sizes.isEmpty() && list.ModifyDates.isEmpty());
            return;
        }
        QCOMPARE(list.Names, QStringList{row[0]});
        QCOMPARE(list.Sizes, QStringList{row[1]});
        QCOMPARE(list.ModifyDates, QStringList{row[2]});
        QCOMPARE(list.Attributes, QStringList{row[3]});
    }

    void clearThenThreeLines() {
        TFTPUnixList list;
        list.ParseLine("-rw-r--r-- 1 ftp ftp 1 Jan 1 2020 old");
        list.Clear();
        for (const char* name : {"a", "b", "c"})
            list.ParseLine(QStringLiteral("-rw-r--r-- 1 ftp ftp 1 Jan 1 2020 ") + name);
        QCOMPARE(list.Names, (QStringList{"a", "b", "c"}));
        QCOMPARE(list.Sizes.size(), 3);
        QCOMPARE(list.Attributes.size(), 3);
        QCOMPARE(list.ModifyDates.size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestFtpProto)
#include "tst_ftpproto.moc"
