// The account group's data connection and security choices on the real window: a server that refuses
// active mode, TLS servers with the certificate question, and tervane640.ini beside csv.cfg.
#include "controls.h"
#include "ftp/nmftp.h"
#include "ftpservers.h"
#include "guitest.h"
#include "loggerfiles.h"
#include "settings/cfgrecord.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QSettings>
#include <QSslCertificate>

namespace {
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}
QString fingerprintOf(const QString& pemPath) {
    return QString::fromLatin1(
        QSslCertificate::fromPath(pemPath).value(0).digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}
} // namespace

class ConnectionTest : public QObject {
    Q_OBJECT
    FakePlatform platform;
    QTemporaryDir keys;
    QString cert, key;
    std::unique_ptr<WindowFixture> w;
    std::unique_ptr<QTemporaryDir> served;
    std::unique_ptr<PyFtpdServer> server;
    QString local;
    const QStringList names{"091201.csv", "091202.csv", "091203.csv"};

    void serve(const std::function<void(PyFtpdServer&)>& tune) {
        served = std::make_unique<QTemporaryDir>();
        int n = 0;
        for (const QString& name : names)
            testfiles::writeFile(served->filePath(name), testfiles::loggerFile(200 + 50 * n++));
        server = std::make_unique<PyFtpdServer>(served->path(), "640", "pw");
        tune(*server);
        QVERIFY2(server->start(), qPrintable(server->errorText()));
    }
    // csv.cfg naming the server, and tervane640.ini with these choices; then the window starts.
    void open(const QString& dataMode, const QString& security) {
        w = std::make_unique<WindowFixture>();
        settings::CFGRecord r;
        r.setHost("127.0.0.1");
        r.setUserId("640");
        r.setPassword("pw");
        QVERIFY(settings::SaveCFGFile(w->path("csv.cfg"), r).ok());
        {
            QSettings ini(w->path("tervane640.ini"), QSettings::IniFormat);
            ini.setValue("Connection/DataMode", dataMode);
            ini.setValue("Connection/Security", security);
        }
        QDir(w->work.path()).mkdir("local");
        local = QDir::cleanPath(w->path("local"));
        QVERIFY(w->open([this](TForm1& f) { c(f).PortTxt()->setText(QString::number(server->port())); }));
    }
    TForm1& f() { return *w->form; }
    TNMFTP& engine() { return *c(f()).session().NMFTP1; }
    QComboBox* box(const char* name) { return f().findChild<QComboBox*>(name); }
    void copyAllAndCompare() {
        c(f()).DirectoryListBoxPC()->setDirectory(local);
        QTest::mouseClick(c(f()).CopyAll(), Qt::LeftButton);
        for (const QString& name : names)
            QCOMPARE(fileBytes(local + "/" + name), fileBytes(served->filePath(name)));
    }

private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(MakeTestCertificate(keys.path(), "server", "tervane-test", cert, key, error),
                 qPrintable(error));
    }
    void init() { platform.clear(); }
    void cleanup() {
        w.reset();
        server.reset();
        served.reset();
    }

    void serverThatRefusesActiveMode_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("lists");
        QTest::addColumn<QString>("method");
        QTest::newRow("Automatic") << "Automatic" << true << "EPSV";
        QTest::newRow("Passive") << "Passive" << true << "EPSV";
        QTest::newRow("Active") << "Active" << false << "";
    }
    void serverThatRefusesActiveMode() {
        QFETCH(QString, mode);
        QFETCH(bool, lists);
        QFETCH(QString, method);
        serve([](PyFtpdServer& s) { s.refuseActive(); });
        open(mode, "Plain");
        QCOMPARE(box("DataModeBox")->currentText(), mode);
        QCOMPARE(box("SecurityBox")->currentText(), QString("Plain FTP"));
        QTRY_VERIFY(!c(f()).session().EngineBusy());
        QCOMPARE(c(f()).session().FtpConnected, lists);
        if (!lists) {
            QCOMPARE(server->count("PORT"), 1);
            QCOMPARE(c(f()).cSTATUS()->text(), QString("FTP Disconnected"));
            return;
        }
        QCOMPARE(c(f()).FileListBoxFTP()->count(), 3);
        QCOMPARE(engine().DataConnectionMethod(), method);
        QCOMPARE(c(f()).cSTATUS()->text(), QString("FTP Connected"));
        copyAllAndCompare();
        QCOMPARE(server->count("PORT") + server->count("EPRT"), 0);
        QCOMPARE(platform.messages, QStringList());
    }

    void tlsThroughTheWindow_data() {
        QTest::addColumn<QString>("mode");
        QTest::newRow("Automatic") << "Automatic";
        QTest::newRow("Active") << "Active";
    }
    void tlsThroughTheWindow() {
        // Trust once: asked at every log-on; every data connection is a TLS socket.
        QFETCH(QString, mode);
        serve([this](PyFtpdServer& s) { s.offerTls(cert, key); });
        platform.trustAnswers << Platform::TrustAnswer::Once << Platform::TrustAnswer::Once;
        open(mode, "Required");
        QTRY_VERIFY(c(f()).session().FtpConnected);
        QCOMPARE(platform.certificateQuestions.size(), 1);
        const QString q = platform.certificateQuestions[0];
        QVERIFY2(q.startsWith("Unknown server certificate|"), qPrintable(q));
        for (const QString& part : {QString("Host: 127.0.0.1 port %1").arg(server->port()),
                                    QString("Subject: CN=tervane-test"), QString("Issuer: CN=tervane-test"),
                                    QString("Valid from "), "SHA-256 fingerprint: " + fingerprintOf(cert)})
            QVERIFY2(q.contains(part), qPrintable(part));
        QCOMPARE(c(f()).cSTATUS()->text(), QString("FTP Connected, TLS"));
        QCOMPARE(c(f()).StatusLine()->text(), QString("FTP Connected, TLS")); // the CSV page says the same
        QVERIFY(engine().Encrypted());
        QVERIFY(engine().DataEncrypted());
        copyAllAndCompare();
        QVERIFY(engine().DataEncrypted());
        QCOMPARE(server->commands().mid(0, 4), (QStringList{"AUTH TLS", "PBSZ 0", "PROT P", "USER 640"}));
        // Once means once: the next log-on asks again; nothing was remembered.
        c(f()).invoke("DisConnectBtnClick");
        c(f()).invoke("ConnectBtnClick");
        QVERIFY(c(f()).session().FtpConnected);
        QCOMPARE(platform.certificateQuestions.size(), 2);
        QVERIFY(QSettings(w->path("tervane640.ini"), QSettings::IniFormat)
                    .childGroups()
                    .indexOf("TrustedCertificates") < 0);
        QCOMPARE(platform.messages, QStringList());
    }

    void trustAlwaysCancelAndAChangedCertificate() {
        serve([this](PyFtpdServer& s) { s.offerTls(cert, key); });
        // Cancel: no log-on, nothing of the account sent.
        open("Automatic", "IfAvailable");
        QTRY_VERIFY(!c(f()).session().EngineBusy());
        QCOMPARE(platform.certificateQuestions.size(), 1);
        QVERIFY(!c(f()).session().FtpConnected);
        QCOMPARE(server->count("USER"), 0);
        QCOMPARE(platform.messages,
                 QStringList{"The certificate of 127.0.0.1 was not accepted: the log-on was stopped"});
        QVERIFY(c(f()).ConnectBtn()->isEnabled());
        // Always: remembered for this host and port; the next log-on asks nothing.
        platform.clear();
        platform.trustAnswers << Platform::TrustAnswer::Always;
        c(f()).invoke("ConnectBtnClick");
        QVERIFY(c(f()).session().FtpConnected);
        QCOMPARE(platform.certificateQuestions.size(), 1);
        c(f()).invoke("DisConnectBtnClick");
        c(f()).invoke("ConnectBtnClick");
        QVERIFY(c(f()).session().FtpConnected);
        QCOMPARE(platform.certificateQuestions.size(), 1);
        c(f()).invoke("DisConnectBtnClick");
        // A new start of the program still knows it.
        w->close();
        QVERIFY(w->open([this](TForm1& f) { c(f).PortTxt()->setText(QString::number(server->port())); }));
        QTRY_VERIFY(c(f()).session().FtpConnected);
        QCOMPARE(platform.certificateQuestions.size(), 1);
        c(f()).invoke("DisConnectBtnClick");
        // The server shows another certificate than the one trusted: a warning that says so, no
        // silent log-on; cancelled, the remembered one stays.
        const QString trustedKey = QString("TrustedCertificates/127.0.0.1_%1").arg(server->port());
        QCOMPARE(QSettings(w->path("tervane640.ini"), QSettings::IniFormat).value(trustedKey).toString(),
                 fingerprintOf(cert));
        const QString earlier = QString(QByteArray(32, '\x5a').toHex(':').toUpper());
        QSettings(w->path("tervane640.ini"), QSettings::IniFormat).setValue(trustedKey, earlier);
        platform.clear();
        c(f()).invoke("ConnectBtnClick");
        QVERIFY(!c(f()).session().FtpConnected);
        QCOMPARE(platform.certificateQuestions.size(), 1);
        const QString q = platform.certificateQuestions[0];
        QVERIFY2(q.startsWith("Server certificate CHANGED|WARNING: the certificate of 127.0.0.1 port"),
                 qPrintable(q));
        QVERIFY(q.contains("Trusted before: " + earlier));
        QVERIFY(q.contains("SHA-256 fingerprint: " + fingerprintOf(cert)));
        QCOMPARE(QSettings(w->path("tervane640.ini"), QSettings::IniFormat).value(trustedKey).toString(),
                 earlier);
    }

    void tlsRequiredAgainstAPlainServer() {
        serve([](PyFtpdServer&) {});
        open("Automatic", "Required");
        QTRY_VERIFY(!c(f()).session().EngineBusy());
        QVERIFY(!c(f()).session().FtpConnected);
        QCOMPARE(server->count("AUTH TLS"), 1);
        QCOMPARE(server->count("USER"), 0);
        QCOMPARE(server->count("PASS"), 0);
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY2(platform.messages[0].startsWith("The server 127.0.0.1 does not offer TLS"),
                 qPrintable(platform.messages[0]));
        QCOMPARE(c(f()).cSTATUS()->text(), QString("FTP Disconnected"));
        QVERIFY(c(f()).ConnectBtn()->isEnabled());
        QVERIFY(c(f()).ExitBtn()->isEnabled());
        // "TLS if available" logs on in the clear, and the status box says it is not encrypted.
        box("SecurityBox")->setCurrentIndex(1);
        c(f()).invoke("ConnectBtnClick");
        QVERIFY(c(f()).session().FtpConnected);
        QCOMPARE(c(f()).cSTATUS()->text(), QString("FTP Connected"));
        QCOMPARE(c(f()).cSTATUS()->toolTip(), QString("The session is not encrypted"));
    }

    void choicesSavedBesideCsvCfg() {
        // First start: the defaults; Save Setting writes them to tervane640.ini, csv.cfg stays as the
        // settings codec writes it.
        w = std::make_unique<WindowFixture>();
        QVERIFY(w->open());
        QCOMPARE(box("DataModeBox")->currentText(), QString("Automatic"));
        QCOMPARE(box("SecurityBox")->currentText(), QString("TLS if available"));
        box("DataModeBox")->setCurrentIndex(1);
        box("SecurityBox")->setCurrentIndex(2);
        c(f()).invoke("SaveSetting1Click");
        QStringList found;
        QDirIterator it(w->work.path(), {"tervane640.ini", "csv.cfg"}, QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << QDir(w->work.path()).relativeFilePath(it.next());
        found.sort();
        QCOMPARE(found.size(), 2);
        QCOMPARE(QFileInfo(found[0]).path(), QFileInfo(found[1]).path()); // the same folder
        const QString iniPath = w->work.filePath(found[1]);
        QSettings s(iniPath, QSettings::IniFormat);
        QCOMPARE(s.value("Connection/DataMode").toString(), QString("Passive"));
        QCOMPARE(s.value("Connection/Security").toString(), QString("Required"));
        settings::CFGRecord r;
        QCOMPARE(settings::ReadCFGFile(w->work.filePath(found[0]), r).status, settings::CfgStatus::Ok);
        // csv.cfg holds exactly what the codec makes of its record: nothing of the new choices.
        QVERIFY(settings::SaveCFGFile(w->path("again.cfg"), r).ok());
        QCOMPARE(fileBytes(w->work.filePath(found[0])), fileBytes(w->path("again.cfg")));
        // The next start shows them.
        w->close();
        QVERIFY(w->open());
        QCOMPARE(box("DataModeBox")->currentText(), QString("Passive"));
        QCOMPARE(box("SecurityBox")->currentText(), QString("TLS required"));
    }
};

QTEST_MAIN(ConnectionTest)
#include "connection_test.moc"
