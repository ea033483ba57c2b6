// The account group's data connection and security choices on the real window: a server that refuses
// active mode, TLS servers with the certificate question, and tervane640.ini beside csv.cfg.
#include "controls.h"
#include "ftp/nmftp.h"
#include "ftpservers.h"
#include "guitest.h"
#include "loggerfiles.h"
#include "settings/cfgrecord.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QScopeGuard>
#include <QSettings>
#include <QSslCertificate>
#include <QSslConfiguration>

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
    // csv.cfg naming the server, and tervane640.ini with these choices (and `remembered` entries); then
    // the window starts and logs on by itself.
    void open(const QString& dataMode, const QString& security, quint16 port = 0,
              const QVariantMap& remembered = {}) {
        if (!port) port = server->port();
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
            for (auto it = remembered.begin(); it != remembered.end(); ++it)
                ini.setValue(it.key(), it.value());
        }
        QDir(w->work.path()).mkdir("local");
        local = QDir::cleanPath(w->path("local"));
        QVERIFY(w->open([port](TForm1& f) { c(f).PortTxt()->setText(QString::number(port)); }));
    }
    QString statusBar() { return c(f()).StatusBar1()->currentMessage(); }
    QVariant remembered(const QString& key) {
        return QSettings(w->path("tervane640.ini"), QSettings::IniFormat).value(key);
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
        // The log-on at start-up asks nothing: it stops and says why.
        QTRY_VERIFY(!c(f()).session().EngineBusy());
        QVERIFY(!c(f()).session().FtpConnected);
        QCOMPARE(platform.certificateQuestions.size(), 0);
        QVERIFY2(statusBar().contains("automatic log-on stopped. Press Connect"), qPrintable(statusBar()));
        QCOMPARE(server->count("USER"), 0);
        c(f()).invoke("ConnectBtnClick");
        QVERIFY(c(f()).session().FtpConnected);
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
        const QStringList sent = server->commands();
        const int user = sent.indexOf("USER 640");
        QVERIFY(user >= 3);
        QCOMPARE(sent.mid(user - 3, 4), (QStringList{"AUTH TLS", "PBSZ 0", "PROT P", "USER 640"}));
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
        QCOMPARE(platform.certificateQuestions.size(), 0); // not at start-up
        QCOMPARE(platform.messages, QStringList());
        c(f()).invoke("ConnectBtnClick");
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
        // The server shows another certificate than the one trusted, one the system vouches for now: a
        // warning that says so, no silent log-on; cancelled, the remembered one stays.
        const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
        const auto restore = qScopeGuard([&] { QSslConfiguration::setDefaultConfiguration(before); });
        QSslConfiguration vouching = before;
        vouching.addCaCertificates(cert);
        QSslConfiguration::setDefaultConfiguration(vouching);
        const QString trustedKey = QString("TrustedCertificates/127.0.0.1_%1").arg(server->port());
        QCOMPARE(QSettings(w->path("tervane640.ini"), QSettings::IniFormat).value(trustedKey).toString(),
                 fingerprintOf(cert));
        const QString earlier = QString(QByteArray(32, '\x5a').toHex(':').toUpper());
        QSettings(w->path("tervane640.ini"), QSettings::IniFormat).setValue(trustedKey, earlier);
        platform.clear();
        // At start-up: no question and no log-on, the status bar says why.
        w->close();
        QVERIFY(w->open([this](TForm1& f) { c(f).PortTxt()->setText(QString::number(server->port())); }));
        QTRY_VERIFY(!c(f()).session().EngineBusy());
        QVERIFY(!c(f()).session().FtpConnected);
        QCOMPARE(platform.certificateQuestions.size(), 0);
        QVERIFY2(statusBar().contains("is not the one you chose to trust always"), qPrintable(statusBar()));
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
        // Trusted once: the log-on goes on, the remembered fingerprint is not replaced.
        platform.trustAnswers << Platform::TrustAnswer::Once;
        c(f()).invoke("ConnectBtnClick");
        QVERIFY(c(f()).session().FtpConnected);
        QCOMPARE(remembered(trustedKey).toString(), earlier);
    }

    void encryptionRefused_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("security");
        QTest::addColumn<QString>("before");  // remembered for this server: "", "tls", "certificate", "plain"
        QTest::addColumn<QString>("atStart"); // part of the status bar after the log-on at start-up
        QTest::addColumn<int>("answer");      // to the question on Connect: -1 none asked, else a TrustAnswer
        QTest::addColumn<QString>("onConnect"); // part of the message box after Connect, "" when logged on
        QTest::addColumn<QString>("shown");     // the status box after Connect
        const int once = int(Platform::TrustAnswer::Once), always = int(Platform::TrustAnswer::Always),
                  cancel = int(Platform::TrustAnswer::Cancel);
        const QString off = "FTP Disconnected", on = "FTP Connected", ask = "Press Connect to decide",
                      spy = "may be intercepted";
        const auto row = [](const char* tag, const char* scenario, const char* security, const char* before,
                            const QString& atStart, int answer, const QString& onConnect,
                            const QString& shown) {
            QTest::newRow(tag) << QString(scenario) << QString(security) << QString(before) << atStart
                               << answer << onConnect << shown;
        };
        row("required, AUTH 500", "normal", "Required", "", "does not offer TLS", -1, "does not offer TLS",
            off);
        row("if available, cancelled", "auth-502", "IfAvailable", "", ask, cancel, "were not sent", off);
        row("if available, once", "auth-502", "IfAvailable", "", ask, once, "", on);
        row("if available, always", "auth-502", "IfAvailable", "", ask, always, "", on);
        row("allowed always before", "auth-502", "IfAvailable", "plain", "List success", -1, "", on);
        row("encrypted before", "auth-502", "IfAvailable", "tls", spy, -1, spy, off);
        row("certificate trusted before", "normal", "IfAvailable", "certificate", spy, -1, spy, off);
        row("plain FTP", "auth-502", "Plain", "", "List success", -1, "", on);
        row("files unencrypted", "tls-noprot", "IfAvailable", "certificate", "PROT P", -1, "",
            "FTP Connected, TLS (files unencrypted)");
        row("listing without the TLS close", "tls-cut", "IfAvailable", "certificate", "may be incomplete", -1,
            "", "FTP Connected, TLS");
    }
    void encryptionRefused() {
        // Under "TLS if available" the password goes in clear only when the user said so on Connect: never
        // at start-up, never where the server did TLS before; "Forget this server's security" undoes it.
        QFETCH(QString, scenario);
        QFETCH(QString, security);
        QFETCH(QString, before);
        QFETCH(QString, atStart);
        QFETCH(int, answer);
        QFETCH(QString, onConnect);
        QFETCH(QString, shown);
        ScriptedFtpServer scripted(scenario);
        scripted.offerTls(cert, key);
        QVERIFY2(scripted.start(), qPrintable(scripted.errorText()));
        const QString where = QString("127.0.0.1_%1").arg(scripted.port());
        QVariantMap memory;
        if (before == "tls") memory["TlsLogons/" + where] = true;
        if (before == "plain") memory["PlainLogons/" + where] = true;
        if (before == "certificate") memory["TrustedCertificates/" + where] = fingerprintOf(cert);
        open("Active", security, scripted.port(), memory);
        QTRY_VERIFY(!c(f()).session().EngineBusy());
        const bool clearAtStart = before == "plain" || security == "Plain";
        QCOMPARE(c(f()).session().FtpConnected, clearAtStart || scenario.startsWith("tls"));
        QVERIFY2(statusBar().contains(atStart), qPrintable(statusBar()));
        QCOMPARE(platform.plainLogonQuestions, QStringList());
        QCOMPARE(platform.messages, QStringList());
        QCOMPARE(scripted.count("USER"), c(f()).session().FtpConnected ? 1 : 0);
        QCOMPARE(scripted.count("AUTH"), security == "Plain" ? 0 : 1);
        if (c(f()).session().FtpConnected) c(f()).invoke("DisConnectBtnClick");
        const int usersBefore = scripted.count("USER");

        if (answer >= 0) platform.plainLogonAnswers << Platform::TrustAnswer(answer);
        c(f()).invoke("ConnectBtnClick");
        QCOMPARE(platform.plainLogonQuestions.size(), answer >= 0 ? 1 : 0);
        if (answer >= 0) {
            const QString q = platform.plainLogonQuestions.value(0);
            QVERIFY2(q.startsWith("Log on without encryption?|The server 127.0.0.1 port") &&
                         q.contains("\"502 Command not implemented\"") && q.contains("unencrypted"),
                     qPrintable(q));
        }
        QCOMPARE(platform.messages.size(), onConnect.isEmpty() ? 0 : 1);
        QVERIFY2(platform.messages.value(0).contains(onConnect), qPrintable(platform.messages.value(0)));
        QCOMPARE(c(f()).cSTATUS()->text(), shown);
        QCOMPARE(c(f()).StatusLine()->text(), shown);
        for (QLineEdit* box : {c(f()).cSTATUS(), c(f()).StatusLine()}) {
            // The whole status is seen on both pages, not cut.
            const int room = box->contentsRect().width() - 4; // QLineEdit's own side margins
            QVERIFY2(
                box->fontMetrics().horizontalAdvance(shown) <= room,
                qPrintable(QString("%1 > %2").arg(box->fontMetrics().horizontalAdvance(shown)).arg(room)));
        }
        QCOMPARE(c(f()).session().FtpConnected, onConnect.isEmpty());
        QCOMPARE(scripted.count("USER"), usersBefore + (onConnect.isEmpty() ? 1 : 0));
        QCOMPARE(scripted.count("PASS"), scripted.count("USER"));
        QVERIFY(c(f()).ConnectBtn()->isEnabled() != c(f()).session().FtpConnected);
        QCOMPARE(remembered("PlainLogons/" + where).toBool(),
                 before == "plain" || answer == int(Platform::TrustAnswer::Always));
        if (scenario == "tls-noprot") {
            // The log-on was encrypted: from now on a refusal of TLS there is taken for an attack.
            QVERIFY2(statusBar().contains("refused to encrypt data connections (PROT P)"),
                     qPrintable(statusBar()));
            QVERIFY(remembered("TlsLogons/" + where).toBool());
        }
        if (scenario == "tls-cut") {
            // Copy from Date fetches over that listing (each file's listed size matches), but its date
            // stays where it was: the listing may have lost the newest files.
            QVERIFY2(statusBar().contains("may be incomplete"), qPrintable(statusBar()));
            c(f()).DirectoryListBoxPC()->setDirectory(local);
            const QString dateShown = c(f()).FromDateTime()->text();
            const QDate stored = c(f()).MonthCalendar2()->selectedDate();
            QTest::mouseClick(c(f()).CopyFromDate(), Qt::LeftButton);
            QTRY_VERIFY(!c(f()).session().EngineBusy());
            QCOMPARE(fileBytes(local + "/240304.csv"), QByteArray("0123456789").repeated(10));
            QCOMPARE(c(f()).FromDateTime()->text(), dateShown);
            QCOMPARE(c(f()).MonthCalendar2()->selectedDate(), stored);
            QVERIFY2(statusBar().contains("copy-from date was not moved on"), qPrintable(statusBar()));
        }
        if ((before != "tls" && before != "certificate") || scenario.startsWith("tls")) return;

        // "Setting" > "Forget this server's security", confirmed: the next Connect asks again.
        QAction* forget = f().findChild<QAction*>("ForgetServer1");
        QVERIFY(forget);
        platform.clear();
        platform.answers << Platform::Answer::No;
        forget->trigger();
        QCOMPARE(platform.confirmations.size(), 1);
        QVERIFY(
            !remembered(before == "tls" ? "TlsLogons/" + where : "TrustedCertificates/" + where).isNull());
        platform.answers << Platform::Answer::Yes;
        forget->trigger();
        for (const char* group : {"TlsLogons/", "PlainLogons/", "TrustedCertificates/"})
            QVERIFY(remembered(group + where).isNull());
        platform.plainLogonAnswers << Platform::TrustAnswer::Once;
        c(f()).invoke("ConnectBtnClick");
        QCOMPARE(platform.plainLogonQuestions.size(), 1);
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
