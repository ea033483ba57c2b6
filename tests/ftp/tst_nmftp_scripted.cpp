// Protocol corners played by the project's scripted server (tests/support/ftp/scripted_ftp.py).
#include "ftp/ftpservers.h"
#include "ftpevents.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>

namespace {
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

class TestNmftpScripted : public QObject {
    Q_OBJECT
    std::map<QString, std::unique_ptr<ScriptedFtpServer>> m_servers;
    QTemporaryDir m_local;

    ScriptedFtpServer& server(const QString& scenario) {
        auto& s = m_servers[scenario];
        if (!s) {
            s = std::make_unique<ScriptedFtpServer>(scenario);
            if (!s->start()) qWarning("%s", qPrintable(s->errorText()));
        }
        return *s;
    }
    void logOn(TNMFTP& ftp, const QString& scenario = "normal") {
        ftp.setHost("127.0.0.1");
        ftp.setPort(server(scenario).port());
        ftp.setUserID("user");
        ftp.setPassword("secret");
        ftp.setIdleTimeOut(5000);
        if (scenario != "user-530") ftp.Connect();
    }

private slots:
    void logOnVariants_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("multi-line greeting")
            << "multiline-greeting" << QStringList{"Connect"} << QStringList{"USER user", "PASS secret"};
        QTest::newRow("230 without PASS") << "user-230" << QStringList{"Connect"} << QStringList{"USER user"};
        QTest::newRow("530 to USER") << "user-530" << QStringList{"ConnectionFailed", "Disconnect"}
                                     << QStringList{"USER user", "QUIT"};
    }
    void logOnVariants() {
        QFETCH(QString, scenario);
        QFETCH(QStringList, events);
        QFETCH(QStringList, sent);
        TNMFTP ftp;
        FtpEvents log;
        log.attach(ftp);
        logOn(ftp, scenario);
        if (scenario == "user-530") {
            try {
                ftp.Connect();
                QFAIL("logged on although USER was refused");
            } catch (const FTPException& e) {
                QVERIFY(e.Message().startsWith("530 "));
                QVERIFY(e.Message().endsWith("\r\n"));
            }
        }
        QCOMPARE(log.events, events);
        QCOMPARE(ftp.Connected(), scenario != "user-530");
        ftp.Disconnect();
        QTRY_COMPARE(server(scenario).commands().mid(0, sent.size()), sent);
    }

    void replies_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("arg");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("thrown");
        QTest::newRow("502 to MKD") << "mkd"
                                    << "x" << QStringList{"Unsupported:MakeDir", "Failure:MakeDir"} << "502";
        QTest::newRow("350 to RNFR") << "rename"
                                     << "r350" << QStringList{"Success:Rename"} << "";
        QTest::newRow("351 to RNFR") << "rename"
                                     << "r351" << QStringList{"Success:Rename"} << "";
        QTest::newRow("352 to RNFR") << "rename"
                                     << "r352" << QStringList{"Failure:Rename"} << "352";
    }
    void replies() {
        QFETCH(QString, op);
        QFETCH(QString, arg);
        QFETCH(QStringList, events);
        QFETCH(QString, thrown);
        TNMFTP ftp;
        logOn(ftp);
        FtpEvents log;
        log.attach(ftp);
        QString text;
        try {
            if (op == "mkd") ftp.MakeDir(arg);
            if (op == "rename") ftp.Rename(arg, "new");
        } catch (const FTPException& e) {
            text = e.Message();
        }
        QCOMPARE(log.events, events);
        QVERIFY2(thrown.isEmpty() ? text.isEmpty() : text.startsWith(thrown), qPrintable(text));
    }

    void lateReplyDropped() {
        TNMFTP ftp;
        logOn(ftp);
        ftp.DoCommand("NOOP"); // answered twice
        ftp.DoCommand("PWD");
        QVERIFY2(ftp.LastReply().startsWith("257"), qPrintable(ftp.LastReply()));
    }

    void announcedSize_data() {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<qint64>("announced");
        QTest::addColumn<qint64>("received");
        QTest::newRow("150 with size") << "sized.csv" << qint64(2048) << qint64(2048);
        QTest::newRow("size on continuation") << "multi.csv" << qint64(3000) << qint64(3000);
        QTest::newRow("over 4 GiB") << "huge.bin" << qint64(5368709120LL) << qint64(1000);
        QTest::newRow("no size") << "plain.csv" << qint64(0) << qint64(100);
    }
    void announcedSize() {
        QFETCH(QString, remote);
        QFETCH(qint64, announced);
        QFETCH(qint64, received);
        TNMFTP ftp;
        logOn(ftp);
        FtpEvents log;
        log.attach(ftp);
        ftp.Download(remote, m_local.filePath(remote));
        QCOMPARE(log.sizeAtStart, announced);
        QCOMPARE(ftp.TransferSize(), received);
        QCOMPARE(QFileInfo(m_local.filePath(remote)).size(), received);
        QCOMPARE(log.events, (QStringList{"Start", "Stop", "Success:Download"}));
    }

    void transferNotCompleted_data() {
        QTest::addColumn<QString>("folder"); // "" = download, else the folder to list
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("thrown");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("426 after a download") << ""
                                              << "final426.csv"
                                              << "426" << QStringList{"Start", "Stop", "Failure:Download"};
        QTest::newRow("421 during a download") << ""
                                               << "mid421.csv"
                                               << "421" << QStringList{"Start", "Stop", "Failure:Download"};
        QTest::newRow("426 after a listing")
            << "final426"
            << ""
            << "426" << QStringList{"Start", "Items", "Stop", "Failure:List"};
    }
    void transferNotCompleted() {
        QFETCH(QString, folder);
        QFETCH(QString, remote);
        QFETCH(QString, thrown);
        QFETCH(QStringList, events);
        TNMFTP ftp;
        logOn(ftp);
        if (!folder.isEmpty()) ftp.ChangeDir(folder);
        FtpEvents log;
        log.attach(ftp);
        const QString local = m_local.filePath("kept.csv");
        QFile f(local);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("good old data");
        f.close();
        try {
            if (folder.isEmpty())
                ftp.Download(remote, local);
            else
                ftp.List();
            QFAIL("reported as a success");
        } catch (const FTPException& e) {
            QVERIFY2(e.Message().startsWith(thrown), qPrintable(e.Message()));
        }
        log.events.removeAll("Disconnect");
        QCOMPARE(log.events, events);
        QCOMPARE(fileBytes(local), QByteArray("good old data"));
        QCOMPARE(QDir(m_local.path()).entryList({"kept.csv*"}, QDir::Files), QStringList{"kept.csv"});
    }

    void listingCorners_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("last line without line end") << "nolf";
        QTest::newRow("foreign data connection first") << "foreign";
    }
    void listingCorners() {
        QFETCH(QString, folder);
        TNMFTP ftp;
        logOn(ftp);
        ftp.setParseList(true);
        ftp.ChangeDir(folder);
        FtpEvents log;
        log.attach(ftp);
        ftp.List();
        QCOMPARE(log.lines.size(), 4);
        QCOMPARE(log.lines.last(), QStringLiteral("-rw-r--r-- 1 ftp ftp 100 Mar 4 11:00 240304.csv"));
        QCOMPARE(ftp.DirectoryList()->Names, (QStringList{"a.csv", "logs", "240304.csv"}));
        QVERIFY(!log.lines.join('\n').contains("FOREIGN"));
        const QStringList seen = server("normal").commands();
        QVERIFY(seen.filter(QRegularExpression("^PORT 127,0,0,1,\\d+,\\d+$")).size() >= 1);
        if (folder == "foreign") {
            QTRY_VERIFY(server("normal").commands().contains("FOREIGN closed"));
            QVERIFY(server("normal").commands().contains("PROBE refused")); // listens on 127.0.0.1 only
        }
    }

    void foreignDownload() {
        TNMFTP ftp;
        logOn(ftp);
        ftp.Download("foreign.csv", m_local.filePath("foreign.csv"));
        QCOMPARE(fileBytes(m_local.filePath("foreign.csv")), QByteArray("0123456789").repeated(10));
    }

    void dataConnectionNeverOpens_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("end");
        QTest::newRow("list, idle time") << "list"
                                         << "idle";
        QTest::newRow("download, idle time") << "download"
                                             << "idle";
        QTest::newRow("download, abort") << "download"
                                         << "abort";
        QTest::newRow("list, cancel") << "list"
                                      << "cancel";
    }
    void dataConnectionNeverOpens() {
        QFETCH(QString, what);
        QFETCH(QString, end);
        TNMFTP ftp;
        logOn(ftp);
        if (what == "list") ftp.ChangeDir("never");
        ftp.setIdleTimeOut(end == "idle" ? 400 : 20000);
        if (end == "abort") QTimer::singleShot(100, &ftp, [&] { ftp.Abort(); });
        if (end == "cancel") QTimer::singleShot(100, &ftp, [&] { ftp.Cancel(); });
        QElapsedTimer t;
        t.start();
        try {
            if (what == "list")
                ftp.List();
            else
                ftp.Download("never.csv", m_local.filePath("never.csv"));
            QFAIL("the call returned");
        } catch (const ESockError& e) {
            if (end == "idle") QVERIFY2(e.Message().contains("timed out"), qPrintable(e.Message()));
        }
        QVERIFY(t.elapsed() < 4000);
        QVERIFY(!QFile::exists(m_local.filePath("never.csv")));
        QVERIFY(!ftp.HasDataConnection());
    }

    void acceptedRefusalDoesNotWait() {
        TNMFTP ftp;
        logOn(ftp);
        ftp.setIdleTimeOut(20000);
        FtpEvents log;
        log.attach(ftp);
        log.acceptFailures = true;
        QElapsedTimer t;
        t.start();
        ftp.Download("missing.csv", m_local.filePath("missing.csv"));
        QVERIFY(t.elapsed() < 3000);
        QCOMPARE(log.events, QStringList{"Failure:Download"});
        QVERIFY(!QFile::exists(m_local.filePath("missing.csv")));
    }

    void lineBreakInName() {
        TNMFTP ftp;
        logOn(ftp);
        const int before = int(server("normal").commands().size());
        QVERIFY_THROWS_EXCEPTION(ESockError, ftp.Download("a.csv\r\nDELE b.csv", m_local.filePath("x")));
        QVERIFY_THROWS_EXCEPTION(ESockError, ftp.Rename("a", "b\nDELE c"));
        ftp.DoCommand("PWD");
        QTRY_VERIFY(server("normal").commands().size() > before);
        const QStringList after = server("normal").commands().mid(before);
        QCOMPARE(after, QStringList{"PWD"}); // nothing of the refused calls went out
    }
};

QTEST_GUILESS_MAIN(TestNmftpScripted)
#include "tst_nmftp_scripted.moc"
