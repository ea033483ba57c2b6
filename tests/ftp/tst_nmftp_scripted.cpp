// Protocol corners played by the project's scripted server (tests/support/ftp/scripted_ftp.py).
#include "ftp/ftpservers.h"
#include "ftpevents.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>
#include <sys/stat.h>

namespace {
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
void putFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}
// The files as the scripted server stores them.
QByteArray stored(const QString& name) {
    if (name == "crlf.csv") return QByteArray("a,1\r\nb,2\r\n").repeated(50);
    if (name == "sized.csv" || name == "lies.csv") {
        QByteArray b;
        for (int i = 0; i < 2048; ++i)
            b += char(i % 251);
        return name == "sized.csv" ? b : QByteArray("0123456789").repeated(10);
    }
    if (name == "now226.csv") {
        QByteArray b;
        for (int i = 0; i < 5000; ++i)
            b += char(i % 256);
        return b;
    }
    return QByteArray("0123456789").repeated(10);
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
        QTest::newRow("download, cancel") << "download"
                                          << "cancel";
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
        QStringList waits;
        connect(&ftp, &TNMFTP::OnDataConnectionWait, this, [&](const QString& text) { waits << text; });
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
            // The likely cause is named, not a bare time-out.
            if (end == "idle") QVERIFY2(e.Message().contains("firewall or NAT"), qPrintable(e.Message()));
        }
        QVERIFY2(t.elapsed() < (end == "idle" ? 3000 : 1100), qPrintable(QString::number(t.elapsed())));
        QCOMPARE(waits, (QStringList{"Waiting for the server to open the data connection", ""}));
        ftp.DoCommand("PWD"); // the dialogue is in step
        QVERIFY2(ftp.LastReply().startsWith("257"), qPrintable(ftp.LastReply()));
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

    // Whatever the server's habits, a download is the file as the server stores it.
    void byteExact_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("remote");
        QTest::addColumn<qint64>("listed"); // the size the caller passes (-1: none)
        QTest::addColumn<qint64>("expected");
        QTest::addColumn<int>("source");
        QTest::newRow("CR LF file, ASCII-default server")
            << "normal"
            << "crlf.csv" << qint64(-1) << qint64(-1) << int(TDownloadResult::NoSize);
        QTest::newRow("kbytes reply: size unknown")
            << "habits"
            << "crlf.csv" << qint64(-1) << qint64(-1) << int(TDownloadResult::NoSize);
        QTest::newRow("kbytes reply, size from the listing")
            << "habits"
            << "crlf.csv" << qint64(500) << qint64(500) << int(TDownloadResult::Caller);
        QTest::newRow("size from SIZE")
            << "size"
            << "sized.csv" << qint64(-1) << qint64(2048) << int(TDownloadResult::SizeCommand);
        QTest::newRow("SIZE wins over the listing")
            << "size"
            << "crlf.csv" << qint64(7) << qint64(500) << int(TDownloadResult::SizeCommand);
        QTest::newRow("size from (N bytes)")
            << "normal"
            << "sized.csv" << qint64(-1) << qint64(2048) << int(TDownloadResult::Reply);
    }
    void byteExact() {
        QFETCH(QString, scenario);
        QFETCH(QString, remote);
        QFETCH(qint64, listed);
        QFETCH(qint64, expected);
        QFETCH(int, source);
        TNMFTP ftp;
        logOn(ftp, scenario);
        ftp.SetTransferType(TNMFTP::TypeAscii); // the user's choice does not alter the bytes
        const QString local = m_local.filePath("exact-" + remote);
        for (int round = 0; round < 2; ++round) {
            ftp.Download(remote, local, listed);
            QCOMPARE(fileBytes(local), stored(remote));
            QCOMPARE(ftp.AnnouncedSize(), expected);
            QCOMPARE(int(ftp.LastDownload().source), source);
            QVERIFY(ftp.LastDownload().committed);
            QCOMPARE(ftp.LastDownload().verified(), expected >= 0);
            QVERIFY(ftp.LastDownload().verified() || !ftp.LastDownload().unverifiedReason().isEmpty());
        }
        const QStringList sent = server(scenario).commands();
        const QStringList retrs = sent.filter("RETR ");
        QVERIFY(sent.lastIndexOf("TYPE I") > sent.lastIndexOf("TYPE A"));
        QVERIFY(sent.lastIndexOf("TYPE I") < sent.lastIndexOf(retrs.last()));
        if (scenario != "size") QCOMPARE(ftp.SizeSupport(), 0); // asked once, then never again
        const int sizes = int(sent.filter(QRegularExpression("^SIZE ")).size());
        ftp.Download(remote, local, listed);
        QCOMPARE(int(server(scenario).commands().filter(QRegularExpression("^SIZE ")).size()),
                 sizes + (scenario == "size" ? 1 : 0));
        QCOMPARE(QDir(m_local.path()).entryList({"exact-" + remote + "*"}, QDir::Files),
                 QStringList{"exact-" + remote});
    }

    // Only a complete copy replaces the local file; the error names the file and the cause.
    void incompleteNotCommitted_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("remote");
        QTest::addColumn<qint64>("listed");
        QTest::addColumn<QString>("error");
        QTest::newRow("short of (N bytes)")
            << "normal"
            << "short.csv" << qint64(-1) << "short.csv arrived incomplete: short by 1048";
        QTest::newRow("short of SIZE")
            << "size"
            << "lies.csv" << qint64(-1) << "lies.csv arrived incomplete: short by 4900";
        QTest::newRow("short of the listing") << "normal"
                                              << "plain.csv" << qint64(5000) << "short by 4900";
        QTest::newRow("more than expected") << "normal"
                                            << "over.csv" << qint64(-1) << "more than the 100 bytes";
        QTest::newRow("final 150") << "normal"
                                   << "final150.csv" << qint64(-1) << "150 Still here";
        QTest::newRow("final 350") << "normal"
                                   << "final350.csv" << qint64(-1) << "350 Waiting";
        QTest::newRow("final reply of two digits") << "normal"
                                                   << "final55.csv" << qint64(-1) << "55";
        QTest::newRow("control closed with data queued")
            << "normal"
            << "ctlclose.csv" << qint64(-1) << "without confirming the transfer";
    }
    void incompleteNotCommitted() {
        QFETCH(QString, scenario);
        QFETCH(QString, remote);
        QFETCH(qint64, listed);
        QFETCH(QString, error);
        TNMFTP ftp;
        logOn(ftp, scenario);
        FtpEvents log;
        log.attach(ftp);
        const QString local = m_local.filePath("kept2.csv");
        putFile(local, "good old data");
        QString message;
        try {
            ftp.Download(remote, local, listed);
        } catch (const ESockError& e) {
            message = e.Message();
        } catch (const FTPException& e) {
            message = e.Message();
        }
        QVERIFY2(message.contains(error) && (message.startsWith(error) || message.contains(remote)),
                 qPrintable(message));
        QVERIFY(!log.events.contains("Success:Download"));
        QVERIFY(!ftp.LastDownload().committed);
        QCOMPARE(fileBytes(local), QByteArray("good old data"));
        QCOMPARE(QDir(m_local.path()).entryList({"kept2.csv*"}, QDir::Files), QStringList{"kept2.csv"});
        if (remote == "ctlclose.csv") {
            QVERIFY(!ftp.Connected());
            return;
        }
        ftp.DoCommand("PWD"); // in step after the cut-short transfer
        QVERIFY2(ftp.LastReply().startsWith("257"), qPrintable(ftp.LastReply()));
    }

    // The control connection closes while data is still on its way: the data is read to its end first.
    void controlClosedBeforeTheData() {
        TNMFTP ftp;
        logOn(ftp);
        const QString local = m_local.filePath("early226.csv");
        ftp.Download("early226.csv", local);
        QByteArray expected;
        for (int i = 0; i < 2 * 1024 * 1024; ++i)
            expected += char(i * 7 % 256);
        QCOMPARE(fileBytes(local), expected);
        QVERIFY(ftp.LastDownload().committed);
    }

    void retrAnsweredAtOnce() {
        TNMFTP ftp;
        logOn(ftp);
        const QString local = m_local.filePath("now226.csv");
        ftp.Download("now226.csv", local, 5000);
        QCOMPARE(fileBytes(local), stored("now226.csv"));
        QVERIFY(ftp.LastDownload().verified());
        QVERIFY(ftp.LastDownload().flushed);
        ftp.setSyncDownloads(false); // a copy without the flush is no ground for a move's DELE
        ftp.Download("now226.csv", local, 5000);
        QVERIFY(ftp.LastDownload().committed);
        QVERIFY(!ftp.LastDownload().verified());
        QVERIFY(ftp.LastDownload().unverifiedReason().contains("flushed"));
        ftp.DoCommand("PWD");
        QVERIFY2(ftp.LastReply().startsWith("257"), qPrintable(ftp.LastReply()));
    }

    void cancelAtOnce_data() {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("how");
        QTest::newRow("slow file, Cancel") << "slow.csv"
                                           << "cancel";
        QTest::newRow("slow file, Abort") << "slow.csv"
                                          << "abort";
        QTest::newRow("server ignores ABOR") << "mute.csv"
                                             << "cancel";
    }
    void cancelAtOnce() {
        QFETCH(QString, remote);
        QFETCH(QString, how);
        TNMFTP ftp;
        logOn(ftp);
        ftp.setIdleTimeOut(20000);
        const QString local = m_local.filePath("cancel.csv");
        putFile(local, "good old data");
        QElapsedTimer t;
        connect(&ftp, &TNMFTP::OnPacketRecvd, this, [&] {
            if (t.isValid()) return;
            t.start();
            QTimer::singleShot(300, &ftp, [&] {
                t.restart();
                if (how == "cancel") ftp.Cancel();
                if (how == "abort") ftp.Abort();
            });
        });
        QString message;
        try {
            ftp.Download(remote, local);
            QFAIL("the download succeeded");
        } catch (const EAbortError& e) {
            message = e.Message();
        }
        const qint64 took = t.elapsed();
        QVERIFY2(message.startsWith(remote), qPrintable(message));
        QCOMPARE(fileBytes(local), QByteArray("good old data"));
        QCOMPARE(QDir(m_local.path()).entryList({"cancel.csv*"}, QDir::Files), QStringList{"cancel.csv"});
        if (remote == "mute.csv") {
            QVERIFY2(took < 3000, qPrintable(QString::number(took)));
            QVERIFY(message.contains("log on again"));
            QVERIFY(!ftp.Connected());
            return;
        }
        QVERIFY2(took < 1000, qPrintable(QString::number(took)));
        QVERIFY(server("normal").commands().contains("ABOR"));
        ftp.DoCommand("PWD");
        QVERIFY2(ftp.LastReply().startsWith("257"), qPrintable(ftp.LastReply()));
    }

    // Every wait and buffer is bounded, and the dialogue gets back in step afterwards.
    void bounded_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("inStep"); // the session goes on (else it was closed)
        QTest::newRow("reply line without end") << "SITE LONGLINE"
                                                << "longer than 8192" << true;
        QTest::newRow("endless multi-line reply") << "SITE ENDLESS"
                                                  << "over 1000 lines" << true;
        QTest::newRow("trickling reply") << "SITE TRICKLE"
                                         << "too slowly" << false;
        QTest::newRow("trickling data") << "trickle.csv"
                                        << "timed out" << false;
        QTest::newRow("listing line without end") << "longlist"
                                                  << "longer than 8192" << true;
    }
    void bounded() {
        QFETCH(QString, what);
        QFETCH(QString, error);
        QFETCH(bool, inStep);
        TNMFTP ftp;
        logOn(ftp);
        ftp.setIdleTimeOut(1000);
        QElapsedTimer t;
        t.start();
        QString message;
        try {
            if (what.startsWith("SITE"))
                ftp.DoCommand(what);
            else if (what.endsWith(".csv"))
                ftp.Download(what, m_local.filePath(what));
            else {
                ftp.ChangeDir(what);
                ftp.List();
            }
            QFAIL("no error");
        } catch (const ESockError& e) {
            message = e.Message();
        }
        QVERIFY2(message.contains(error), qPrintable(message));
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
        if (!inStep) return;
        ftp.DoCommand("PWD");
        QVERIFY2(ftp.LastReply().startsWith("257"), qPrintable(ftp.LastReply()));
    }

    void lateSystStaysInStep() {
        TNMFTP ftp;
        logOn(ftp, "slow");
        ftp.setIdleTimeOut(1000); // SYST is answered after 1.5 s
        ftp.setParseList(true);
        ftp.List();
        QCOMPARE(ftp.DirectoryList()->Names, (QStringList{"a.csv", "logs", "240304.csv"}));
        ftp.DoCommand("PWD");
        QVERIFY2(ftp.LastReply().startsWith("257"), qPrintable(ftp.LastReply()));
    }

    void dropBetweenFiles() {
        TNMFTP ftp;
        logOn(ftp, "drop");
        ftp.Download("crlf.csv", m_local.filePath("drop1.csv"), 500);
        QVERIFY(ftp.LastDownload().verified());
        QTRY_VERIFY(!ftp.Connected());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 ftp.Download("sized.csv", m_local.filePath("drop2.csv")));
        QCOMPARE(fileBytes(m_local.filePath("drop1.csv")), stored("crlf.csv"));
        QVERIFY(!QFile::exists(m_local.filePath("drop2.csv")));
    }

    void emptyLocalNameRefused() {
        TNMFTP ftp;
        logOn(ftp);
        const int before = int(server("normal").commands().size());
        try {
            ftp.Download("sized.csv", QString());
            QFAIL("accepted an empty local name");
        } catch (const ESockError& e) {
            QVERIFY2(e.Message().contains("sized.csv"), qPrintable(e.Message()));
        }
        QVERIFY(!QFile::exists("sized.csv"));
        ftp.DoCommand("PWD");
        QTRY_COMPARE(server("normal").commands().mid(before), QStringList{"PWD"});
    }

    // Buffers, limits and names: what a careless or hostile server sends is bounded and told, and
    // names reach the server and the disk as they are.
    void limitsAndNames_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("what");
        QTest::newRow("input nobody asked for") << "normal"
                                                << "flood";
        QTest::newRow("listing over 200,000 entries") << "normal"
                                                      << "biglist";
        QTest::newRow("size after a name holding one") << "normal"
                                                       << "fool";
        QTest::newRow("Latin-1 name") << "normal"
                                      << "latin1";
        QTest::newRow("FEAT offers UTF8") << "utf8-feat"
                                          << "feat";
        QTest::newRow("FEAT unknown") << "normal"
                                      << "feat";
        QTest::newRow("name of 255 bytes") << "normal"
                                           << "longname";
        QTest::newRow("new file follows the umask") << "normal"
                                                    << "umask";
        QTest::newRow("temporary file of a killed download") << "normal"
                                                             << "journal";
    }
    void limitsAndNames() {
        QFETCH(QString, scenario);
        QFETCH(QString, what);
        TNMFTP ftp;
        ftp.setParseList(true);
        logOn(ftp, scenario);
        QTemporaryDir dir;
        const int before = int(server(scenario).commands().size());
        auto sent = [&] { return server(scenario).commands().mid(before); };
        if (what == "flood") {
            ftp.DoCommand("SITE FLOOD");
            QTRY_VERIFY(!ftp.Connected());
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, ftp.DoCommand("PWD"));
            try {
                ftp.DoCommand("PWD");
            } catch (const std::exception& e) {
                QVERIFY2(QString(e.what()).contains("64 KiB"), e.what());
            }
        } else if (what == "biglist") {
            ftp.ChangeDir("biglist");
            int lines = 0;
            connect(&ftp, &TNMFTP::OnListItem, this, [&] { ++lines; });
            try {
                ftp.List();
                QFAIL("the listing had no end");
            } catch (const ESockError& e) {
                QVERIFY2(e.Message().contains("200000 entries"), qPrintable(e.Message()));
            }
            QCOMPARE(lines, 200000);
            QVERIFY(ftp.DirectoryList()->Names.size() <= 200000);
        } else if (what == "fool") {
            const QString name = "fool (5 bytes).csv";
            ftp.Download(name, dir.filePath(name));
            QCOMPARE(ftp.LastDownload().expected, qint64(100));
            QVERIFY(ftp.LastDownload().committed);
            QCOMPARE(fileBytes(dir.filePath(name)), stored(name));
        } else if (what == "latin1") {
            ftp.ChangeDir("names");
            QStringList listed;
            connect(&ftp, &TNMFTP::OnListItem, this, [&](const QString& l) { listed << l; });
            ftp.List();
            const QString cafe = QString::fromUtf8("caf\u00e9.csv");
            QVERIFY2(listed.filter(cafe).size() == 2, qPrintable(listed.join("|")));
            QVERIFY(ftp.DirectoryList()->Names.contains("report.csv.jar"));
            // The command names the file in the bytes the server listed.
            ftp.Download(cafe, dir.filePath(cafe));
            QVERIFY2(sent().contains("RETR " + cafe + " [latin-1]"), qPrintable(sent().join("|")));
            QCOMPARE(fileBytes(dir.filePath(cafe)), QByteArray("latin-1 file\r\n").repeated(5));
        } else if (what == "feat") {
            QCOMPARE(ftp.Utf8Names(), scenario == "utf8-feat");
            const QStringList logOnLines = server(scenario).commands();
            QVERIFY(logOnLines.contains("FEAT"));
            QCOMPARE(logOnLines.contains("OPTS UTF8 ON"), scenario == "utf8-feat");
        } else if (what == "longname") {
            const QString name = QString(251, 'a') + ".csv";
            ftp.Download(name, dir.filePath(name));
            QCOMPARE(fileBytes(dir.filePath(name)), stored(name));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
        } else if (what == "umask") {
            const mode_t old = ::umask(002);
            const auto restore = qScopeGuard([old] { ::umask(old); });
            ftp.Download("plain.csv", dir.filePath("plain.csv"));
            QCOMPARE(QFile::permissions(dir.filePath("plain.csv")) & 0x0777,
                     QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup | QFile::WriteGroup |
                         QFile::ReadOther);
        } else if (what == "journal") {
            // A download noted in the journal whose program was killed: its temporary file is removed at
            // the next start, and nothing else is (another program's file, a user's file).
            const QString journal = dir.filePath("partial.journal");
            ftp.setPartialFileJournal(journal);
            QStringList temps;
            QByteArray noted;
            connect(&ftp, &TPowersock::OnPacketRecvd, this, [&] {
                if (!noted.isEmpty()) return;
                temps = QDir(dir.path()).entryList({".tervane640-*"}, QDir::Files | QDir::Hidden);
                noted = fileBytes(journal);
                ftp.Cancel();
            });
            QVERIFY_THROWS_EXCEPTION(EAbortError, ftp.Download("slow.csv", dir.filePath("slow.csv")));
            QCOMPARE(temps.size(), 1);
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"partial.journal"});
            // As the kill left it.
            putFile(dir.filePath(temps[0]), "partial");
            putFile(journal, noted);
            putFile(dir.filePath(".tervane640-other.part"), "not noted");
            putFile(dir.filePath("240301.csv"), "user file");
            QCOMPARE(TNMFTP::RemovePartialFiles(journal), 1);
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                     (QStringList{".tervane640-other.part", "240301.csv", "partial.journal"}));
            QCOMPARE(TNMFTP::RemovePartialFiles(journal), 0);
        }
    }

    void passiveModes_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("method"); // "" = the download is refused
        QTest::newRow("EPSV") << "epsv" << int(TNMFTP::DataAutomatic) << "EPSV";
        QTest::newRow("227 naming a foreign address")
            << "pasv-foreign" << int(TNMFTP::DataAutomatic) << "PASV";
        QTest::newRow("no passive mode: active fallback") << "normal" << int(TNMFTP::DataAutomatic) << "PORT";
        QTest::newRow("passive only, refused") << "normal" << int(TNMFTP::DataPassive) << "";
        QTest::newRow("passive port never answers: active fallback")
            << "epsv-dead" << int(TNMFTP::DataAutomatic) << "PORT";
        QTest::newRow("passive port closed: active fallback")
            << "epsv-closed" << int(TNMFTP::DataAutomatic) << "PORT";
        QTest::newRow("passive only, port closed") << "epsv-closed" << int(TNMFTP::DataPassive) << "";
    }
    void passiveModes() {
        QFETCH(QString, scenario);
        QFETCH(int, mode);
        QFETCH(QString, method);
        TNMFTP ftp;
        logOn(ftp, scenario);
        ftp.setDataConnectionMode(TNMFTP::DataMode(mode));
        const int before = int(server(scenario).commands().size());
        const QString local = m_local.filePath("passive.csv");
        for (int round = 0; round < 2; ++round) {
            try {
                ftp.Download("sized.csv", local);
                QVERIFY(!method.isEmpty());
            } catch (const FTPException& e) {
                // The user learns why: the server's refusal, or the port it named that could not be reached.
                const bool agreed = scenario == "epsv-closed";
                QVERIFY2(method.isEmpty() && (agreed ? e.Message().contains("could not be reached")
                                                     : e.Message().startsWith("500")),
                         qPrintable(e.Message()));
                return;
            }
            QCOMPARE(fileBytes(local), stored("sized.csv"));
            QCOMPARE(ftp.DataConnectionMethod(), method);
        }
        ftp.setParseList(true);
        ftp.List();
        QCOMPARE(ftp.DirectoryList()->Names, (QStringList{"a.csv", "logs", "240304.csv"}));
        QTRY_VERIFY(server(scenario).commands().mid(before).filter("PASSIVE from").size() >=
                    (method == "PORT" ? 0 : 3));
        const QStringList sent = server(scenario).commands().mid(before);
        QVERIFY(sent.filter("PASSIVE from").filter("10.9.8.7").isEmpty());
        // What failed once is not asked again in the session.
        QCOMPARE(int(sent.filter(QRegularExpression("^EPSV")).size()),
                 method == "PASV" || method == "PORT" ? 1 : 3);
        QCOMPARE(int(sent.filter(QRegularExpression("^PORT ")).size()), method == "PORT" ? 3 : 0);
    }
};

QTEST_GUILESS_MAIN(TestNmftpScripted)
#include "tst_nmftp_scripted.moc"
