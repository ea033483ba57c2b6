// The engine's explicit TLS against vsftpd and pyftpdlib with a certificate made at run time: log-on,
// listing and byte-identical downloads over encrypted data connections in passive and active mode;
// "TLS required" against a server without TLS; the certificate question; what the scripted server's refusals
// and cut-off TLS data connections lead to.
#include "ftp/ftpservers.h"
#include "ftp/nmftp.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestNmftpTls : public QObject {
    Q_OBJECT
    QTemporaryDir m_served, m_local, m_keys;
    QByteArray m_data;
    QString m_cert, m_key, m_cert2, m_key2;

    static QByteArray readAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    std::unique_ptr<FtpServerProcess> startServer(const QString& kind) {
        if (kind == "vsftpd") {
            auto s = std::make_unique<VsftpdServer>(m_served.path());
            s->offerTls(m_cert, m_key);
            if (!s->start()) qWarning("%s", qPrintable(s->errorText()));
            return s;
        }
        auto s = std::make_unique<PyFtpdServer>(m_served.path());
        s->offerTls(m_cert, m_key);
        if (!s->start()) qWarning("%s", qPrintable(s->errorText()));
        return s;
    }
    static void account(TNMFTP& ftp, const QString& kind, quint16 port) {
        ftp.setHost("127.0.0.1");
        ftp.setPort(port);
        ftp.setUserID(kind == "vsftpd" ? "anonymous" : "user");
        ftp.setPassword(kind == "vsftpd" ? "tervane@example.invalid" : "secret");
        ftp.setParseList(true);
        ftp.setIdleTimeOut(10000);
        if (qEnvironmentVariableIsSet("FTP_TRACE")) { // the dialogue, for a failing case
            ftp.setReportLevel(1);
            QObject::connect(&ftp, &TPowersock::OnStatus,
                             [](QObject*, const QString& t) { qDebug("%s", qPrintable(t.trimmed())); });
        }
    }

private slots:
    void initTestCase() {
        for (int i = 0; i < 60000; ++i)
            m_data += QByteArray::number(i * 7919 % 100003) + ",\r\n";
        QFile f(m_served.filePath("240301.csv"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(m_data);
        f.close();
        QFile g(m_served.filePath("240302.csv"));
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(QByteArray("240302,10:00,1\n\r\r\n\x1a").repeated(777));
        g.close();
        QString error;
        QVERIFY2(MakeTestCertificate(m_keys.path(), "server", "tervane-test", m_cert, m_key, error),
                 qPrintable(error));
        QVERIFY2(MakeTestCertificate(m_keys.path(), "other", "tervane-other", m_cert2, m_key2, error),
                 qPrintable(error));
    }

    void encryptedSession_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("mode");
        for (const char* s : {"vsftpd", "pyftpdlib"}) {
            QTest::addRow("%s passive", s) << QString(s) << int(TNMFTP::DataPassive);
            QTest::addRow("%s active", s) << QString(s) << int(TNMFTP::DataActive);
            QTest::addRow("%s automatic", s) << QString(s) << int(TNMFTP::DataAutomatic);
        }
    }
    void encryptedSession() {
        QFETCH(QString, server);
        QFETCH(int, mode);
        auto srv = startServer(server);
        QVERIFY(srv->port());
        TNMFTP ftp;
        account(ftp, server, srv->port());
        ftp.setSecurityMode(TNMFTP::SecurityRequired);
        ftp.setDataConnectionMode(TNMFTP::DataMode(mode));
        QStringList asked;
        connect(&ftp, &TNMFTP::OnCertificateCheck, this,
                [&](const QSslCertificate& cert, const QStringList& problems, bool& accept) {
                    asked << cert.subjectInfo(QSslCertificate::CommonName).join(",");
                    QVERIFY(!problems.isEmpty()); // self-signed: the system does not trust it
                    accept = true;
                });
        ftp.Connect();
        QCOMPARE(asked, QStringList{"tervane-test"});
        QVERIFY(ftp.Encrypted());
        QCOMPARE(ftp.PeerCertificate().digest(QCryptographicHash::Sha256),
                 QSslCertificate::fromPath(m_cert).value(0).digest(QCryptographicHash::Sha256));
        ftp.List();
        QVERIFY(ftp.DataEncrypted());
        QVERIFY(ftp.ListingComplete()); // the server ended it with the TLS close
        QStringList names = ftp.DirectoryList()->Names;
        names.sort();
        QCOMPARE(names, (QStringList{"240301.csv", "240302.csv"}));
        for (const QString name : {"240301.csv", "240302.csv"}) {
            const QString local = m_local.filePath(server + QString::number(mode) + name);
            ftp.Download(name, local);
            QVERIFY(ftp.DataEncrypted());
            QCOMPARE(readAll(local), readAll(m_served.filePath(name)));
            QVERIFY(ftp.LastDownload().verified());
        }
        if (srv->commands().size()) { // pyftpdlib logs what it received: USER came after encryption
            const QStringList c = srv->commands();
            QCOMPARE(c.mid(0, 4), (QStringList{"AUTH TLS", "PBSZ 0", "PROT P", "USER user"}));
        }
        ftp.Disconnect();
    }

    void requiredAgainstAPlainServer() {
        // A server without TLS: the log-on stops before USER and says why.
        PyFtpdServer plain(m_served.path());
        QVERIFY2(plain.start(), qPrintable(plain.errorText()));
        TNMFTP ftp;
        account(ftp, "pyftpdlib", plain.port());
        ftp.setSecurityMode(TNMFTP::SecurityRequired);
        QString text;
        try {
            ftp.Connect();
        } catch (const ETlsError& e) {
            text = e.Message();
        }
        QVERIFY2(text.contains("does not offer TLS") && text.contains("not sent unencrypted"),
                 qPrintable(text));
        QVERIFY(!ftp.Connected());
        QTRY_VERIFY(plain.count("AUTH") == 1);
        QCOMPARE(plain.count("USER"), 0);
        QCOMPARE(plain.count("PASS"), 0);
        // "TLS if available" logs on in the clear there when the owner agrees.
        ftp.setSecurityMode(TNMFTP::SecurityIfAvailable);
        connect(&ftp, &TNMFTP::OnEncryptionRefused, this,
                [](const QString&, bool& inClear, QString&) { inClear = true; });
        ftp.Connect();
        QVERIFY(!ftp.Encrypted());
        ftp.List();
        QVERIFY(!ftp.DataEncrypted());
        ftp.Disconnect();
    }

    void refusalsAndCutTransfers_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("security");
        QTest::addColumn<int>("inClear"); // the answer to a refused AUTH: -1 no handler, 0 no, 1 yes
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("action");  // "" log on only, "list", or a file to download
        QTest::addColumn<QString>("failure"); // part of the error text, "" when it works
        QTest::addColumn<bool>("userSent");
        QTest::addColumn<bool>("filesEncrypted");
        const int ifAvailable = TNMFTP::SecurityIfAvailable, required = TNMFTP::SecurityRequired;
        QTest::newRow("AUTH 500, nobody to ask") << "normal" << ifAvailable << -1 << ""
                                                 << ""
                                                 << "refused encryption" << false << false;
        QTest::newRow("AUTH 502, the owner says no") << "auth-502" << ifAvailable << 0 << ""
                                                     << ""
                                                     << "offered before" << false << false;
        QTest::newRow("AUTH 502, the owner says yes") << "auth-502" << ifAvailable << 1 << ""
                                                      << "other.csv"
                                                      << "" << true << false;
        QTest::newRow("PROT P refused, if available") << "tls-noprot" << ifAvailable << -1 << ""
                                                      << "other.csv"
                                                      << "" << true << false;
        QTest::newRow("PROT P refused, required") << "tls-noprot" << required << -1 << ""
                                                  << ""
                                                  << "refused to encrypt" << false << false;
        QTest::newRow("TLS close, no size") << "tls" << required << -1 << ""
                                            << "other.csv"
                                            << "" << true << true;
        QTest::newRow("no TLS close, no size") << "tls" << required << -1 << "cut"
                                               << "other.csv"
                                               << "without the TLS close" << true << true;
        QTest::newRow("no TLS close, the size matches") << "tls" << required << -1 << "cut"
                                                        << "sized.csv"
                                                        << "" << true << true;
        QTest::newRow("listing with TLS close") << "tls" << required << -1 << ""
                                                << "list"
                                                << "" << true << true;
        QTest::newRow("listing without TLS close") << "tls" << required << -1 << "cut"
                                                   << "list"
                                                   << "incomplete" << true << true;
        QTest::newRow("data connection with another trusted certificate")
            << "tls-datacert" << required << -1 << ""
            << "other.csv"
            << "another certificate" << true << true;
    }
    void refusalsAndCutTransfers() {
        QFETCH(QString, scenario);
        QFETCH(int, security);
        QFETCH(int, inClear);
        QFETCH(QString, folder);
        QFETCH(QString, action);
        QFETCH(QString, failure);
        QFETCH(bool, userSent);
        QFETCH(bool, filesEncrypted);
        // The system vouches for both certificates here: what passes or fails is the program's own check.
        const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
        const auto restore = qScopeGuard([&] { QSslConfiguration::setDefaultConfiguration(before); });
        QSslConfiguration trusting = before;
        trusting.addCaCertificates(m_cert);
        trusting.addCaCertificates(m_cert2);
        QSslConfiguration::setDefaultConfiguration(trusting);
        ScriptedFtpServer srv(scenario);
        srv.offerTls(m_cert, m_key, m_cert2, m_key2);
        QVERIFY2(srv.start(), qPrintable(srv.errorText()));
        TNMFTP ftp;
        account(ftp, "scripted", srv.port());
        ftp.setSecurityMode(TNMFTP::Security(security));
        ftp.setDataConnectionMode(TNMFTP::DataActive);
        QStringList refusals;
        if (inClear >= 0)
            connect(&ftp, &TNMFTP::OnEncryptionRefused, this,
                    [&](const QString& reply, bool& yes, QString& why) {
                        refusals << reply;
                        yes = inClear == 1;
                        if (!yes) why = "The server refused encryption it offered before";
                    });
        const QString local = m_local.filePath(QString(QTest::currentDataTag()).replace(' ', '_'));
        QString error;
        try {
            ftp.Connect();
            QCOMPARE(ftp.FilesEncrypted(), filesEncrypted);
            if (!folder.isEmpty()) ftp.ChangeDir(folder);
            if (action == "list") {
                ftp.List();
                QCOMPARE(ftp.DirectoryList()->Names.size(), 3); // a.csv, logs, 240304.csv in either case
                if (!ftp.ListingComplete()) error = "incomplete";
            } else if (!action.isEmpty()) {
                ftp.Download(action, local);
            }
        } catch (const FTPException& e) {
            error = e.Message();
        } catch (const ESockError& e) {
            error = e.Message();
        }
        if (failure.isEmpty())
            QVERIFY2(error.isEmpty(), qPrintable(error));
        else
            QVERIFY2(error.contains(failure), qPrintable(error));
        QCOMPARE(srv.count("USER") > 0, userSent);
        QCOMPARE(srv.count("PASS") > 0, userSent);
        if (inClear >= 0) QCOMPARE(refusals, QStringList{"502 Command not implemented"});
        // A file is written only when it is known to be whole: the server's bytes exactly.
        if (!action.isEmpty() && action != "list") {
            QCOMPARE(QFile::exists(local), failure.isEmpty());
            if (failure.isEmpty())
                QCOMPARE(readAll(local), action == "sized.csv" ? QByteArray([] {
                             QByteArray b;
                             for (int i = 0; i < 2048; ++i)
                                 b += char(i % 251);
                             return b;
                         }())
                                                               : QByteArray("0123456789").repeated(10));
        }
        QVERIFY(QDir(m_local.path()).entryList({"*.part"}, QDir::Files).isEmpty());
    }

    void certificateRefused() {
        // Without an answer, or answered no, nothing of the account is sent.
        auto srv = startServer("pyftpdlib");
        QVERIFY(srv->port());
        for (bool withHandler : {false, true}) {
            TNMFTP ftp;
            account(ftp, "pyftpdlib", srv->port());
            ftp.setSecurityMode(TNMFTP::SecurityIfAvailable);
            if (withHandler)
                connect(&ftp, &TNMFTP::OnCertificateCheck, this,
                        [](const QSslCertificate&, const QStringList&, bool& accept) { accept = false; });
            QVERIFY_THROWS_EXCEPTION(ETlsError, ftp.Connect());
            QVERIFY(!ftp.Connected());
        }
        QCOMPARE(srv->count("USER"), 0);
        QCOMPARE(srv->count("PASS"), 0);
    }
};

QTEST_GUILESS_MAIN(TestNmftpTls)
#include "tst_nmftp_tls.moc"
