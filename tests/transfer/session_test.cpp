// Start-up, settings and the FTP session on the real window, against a
// pyftpdlib server started by the test.
#include "app/pagecontrol.h"
#include "charts/decisiongraph.h"
#include "controls.h"
#include "ftp/nmftp.h"
#include "ftpservers.h"
#include "guitest.h"
#include "localfiles/folderlists.h"
#include "loggerfiles.h"
#include "settings/cfgrecord.h"
#include "settings/safefile.h"
#include "windowfixture.h"

#include <QCalendarWidget>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTcpServer>
#include <unistd.h>

class SessionTest : public QObject {
    Q_OBJECT
    FakePlatform platform;
    std::unique_ptr<WindowFixture> w;
    std::unique_ptr<QTemporaryDir> served;
    std::unique_ptr<PyFtpdServer> server;

    void serve(double idleSeconds = 30) {
        served = std::make_unique<QTemporaryDir>();
        QDir(served->path()).mkdir("logger");
        testfiles::writeFile(served->filePath("091201.csv"), testfiles::loggerFile(10));
        testfiles::writeFile(served->filePath("091202.csv"), testfiles::loggerFile(20));
        testfiles::writeFile(served->filePath("notes.txt"), "text\r\n");
        testfiles::writeFile(served->filePath("logger/100101.csv"), testfiles::loggerFile(5, "100101"));
        server = std::make_unique<PyFtpdServer>(served->path(), "640", "KZ640TLlogger1", idleSeconds);
        QVERIFY2(server->start(), qPrintable(server->errorText()));
    }
    // A csv.cfg that points at the test server.
    void writeCfg(const QString& user = "640", const QString& password = "KZ640TLlogger1") {
        settings::CFGRecord r;
        r.setHost("127.0.0.1");
        r.setUserId(user);
        r.setPassword(password);
        r.setTLevel(40);
        r.setALevel(12);
        r.setMultiplier(settings::Multiplier::A1Coarse, 1);
        for (int c = 0; c < settings::kChannelCount; ++c)
            r.setChannelName(settings::Channel(c), QString("Channel %1").arg(c + 1));
        r.setCopyFromDate(settings::DateToDayNumber(QDate(2019, 3, 4)));
        QVERIFY(settings::SaveCFGFile(w->path("csv.cfg"), r).ok());
        w->plainFtp();
    }
    bool openWithServer() {
        return w->open([this](TForm1& f) { c(f).PortTxt()->setText(QString::number(server->port())); });
    }
    TForm1& form() { return *w->form; }
    QByteArray cfgBytes() {
        QFile f(w->path("csv.cfg"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init() {
        platform.clear();
        w = std::make_unique<WindowFixture>();
    }
    void cleanup() {
        w.reset();
        server.reset();
        served.reset();
    }

    void startupWithoutSettingsFile() {
        // A first start: the designed defaults, a word in the status bar, and no
        // attempt to log on to an account that was never entered.
        QVERIFY(w->open());
        QCOMPARE(platform.warnings, QStringList());
        QCOMPARE(platform.messages, QStringList());
        QCOMPARE(platform.errors, QStringList());
        QCOMPARE(c(form()).HostTxt()->text(), QString());
        QCOMPARE(c(form()).UserTxt()->text(), QString());
        QCOMPARE(c(form()).PassTxt()->text(), QString());
        QCOMPARE(c(form()).TabSheet1()->Caption(), QString("Temperature 1"));
        QCOMPARE(c(form()).T1Name()->text(), QString("Temperature 1 (deg.C)"));
        QVERIFY(!c(form()).DecisionGraphA2()->TitleText().join(QString()).isEmpty());
        QVERIFY(c(form()).MulA1()->text() != QString("0"));
        QCOMPARE(c(form()).TLEVEL()->text(), QString::number(c(form()).ScrollBar1()->value()));
        QCOMPARE(c(form()).ALEVEL()->text(), QString::number(c(form()).ScrollBar2()->value()));
        QCOMPARE(c(form()).MonthCalendar1()->selectedDate(), c(form()).MonthCalendar1()->minimumDate());
        QCOMPARE(c(form()).MonthCalendar2()->selectedDate(), QDate::currentDate());
        QVERIFY(!c(form()).MenuItem1()->isVisible());
        QVERIFY(!c(form()).session().FtpConnected);
        QVERIFY2(form().statusBar()->currentMessage().contains("No settings saved yet"),
                 qPrintable(form().statusBar()->currentMessage()));
        QCOMPARE(c(form()).cSTATUS()->text(), QString("FTP Disconnected"));
        QVERIFY(c(form()).CopySelectedCancel()->isHidden());
        QVERIFY(!c(form()).CopySelected()->isHidden());
        // Nothing was written anywhere by starting.
        QVERIFY(!QFile::exists(w->path("csv.cfg")));
        QVERIFY(!QFile::exists(w->path(".config/Tervane640/csv.cfg")));
    }

    void startupRunsOnTheFirstFocus() {
        // The window asks for the focus as it appears; the start-up comes from the
        // focus entering the page control, not from the fallback for desktops that
        // withhold it.
        QVERIFY(w->open());
        QVERIFY(form().Initialised());
        QVERIFY(!form().StartedWithoutFocus());
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus && form().findChild<QWidget*>("PageControl1")->isAncestorOf(focus));
    }

    void settingsStayWhereTheyAreRead() {
        // Without a csv.cfg in the start folder, the settings go to the user's
        // configuration folder, whatever local folder the user picked meanwhile.
        QVERIFY(w->open());
        QVERIFY(QDir(w->path("")).mkdir("data"));
        c(form()).DirectoryListBoxPC()->setDirectory(w->path("data"));
        c(form()).HostTxt()->setText("logger.example");
        c(form()).PassTxt()->setText("a-long-password");
        c(form()).SaveSetting1()->trigger();
        QCOMPARE(platform.warnings, QStringList());
        const QString config = w->path(".config/Tervane640/csv.cfg");
        QVERIFY(QFile::exists(config));
        QVERIFY(!QFile::exists(w->path("data/csv.cfg")));
        QVERIFY(!QFile::exists(w->path("csv.cfg")));
        QCOMPARE(QFileInfo(w->path(".config/Tervane640")).permissions() & 0x0077, QFileDevice::Permissions());
        // A shorter password leaves no tail of the old one in the file.
        c(form()).PassTxt()->setText("pw");
        c(form()).SaveSetting1()->trigger();
        QFile f(config);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(!f.readAll().contains("long-password"));
        f.close();

        // The next start, from the same folder, reads them back from there.
        w->close();
        QDir::setCurrent(w->path(""));
        QVERIFY(w->open());
        QCOMPARE(c(form()).HostTxt()->text(), QString("logger.example"));
        QCOMPARE(c(form()).PassTxt()->text(), QString("pw"));
    }

    void startFolderSettingsWin() {
        // An installation that keeps csv.cfg in its start folder goes on using that
        // one, also when it is read-only and saving cannot replace it.
        settings::CFGRecord r;
        r.setUserId("start");
        QVERIFY(settings::SaveCFGFile(w->path("csv.cfg"), r).ok());
        QVERIFY(QDir(w->path("")).mkpath(".config/Tervane640"));
        settings::CFGRecord other;
        other.setUserId("config");
        QVERIFY(settings::SaveCFGFile(w->path(".config/Tervane640/csv.cfg"), other).ok());
        QVERIFY(w->open());
        QCOMPARE(c(form()).UserTxt()->text(), QString("start"));

        // The same file given to another user (an administrator's shared installation): with
        // settings of the user's own those win; without, it is imported, said, and not logged on
        // to; the save goes to the user's own folder and leaves the shared file as it was.
        if (::geteuid() != 0) return;
        r.setHost("127.0.0.1");
        QVERIFY(settings::SaveCFGFile(w->path("csv.cfg"), r).ok());
        const QByteArray shared = cfgBytes();
        QVERIFY(::chown(QFile::encodeName(w->path("csv.cfg")).constData(), 65534, 65534) == 0);
        w->close();
        QVERIFY(w->open());
        QCOMPARE(c(form()).UserTxt()->text(), QString("config"));
        QVERIFY(QFile::remove(w->path(".config/Tervane640/csv.cfg")));
        w->close();
        platform.clear();
        QVERIFY(w->open());
        QCOMPARE(c(form()).UserTxt()->text(), QString("start"));
        QVERIFY2(
            form().statusBar()->currentMessage().startsWith("Settings imported from " + w->path("csv.cfg")),
            qPrintable(form().statusBar()->currentMessage()));
        // The whole note fits the status bar of the window at its design size.
        QVERIFY(
            QFontMetrics(form().statusBar()->font()).horizontalAdvance(form().statusBar()->currentMessage()) <
            form().statusBar()->width() - 20);
        QVERIFY(platform.messages.isEmpty()); // no log-on attempt
        QVERIFY(!c(form()).session().FtpConnected);
        c(form()).SaveSetting1()->trigger();
        QCOMPARE(platform.warnings, QStringList());
        QCOMPARE(cfgBytes(), shared);
        settings::CFGRecord saved;
        QVERIFY(settings::ReadCFGFile(w->path(".config/Tervane640/csv.cfg"), saved).ok());
        QCOMPARE(saved.userId(), QString("start"));
    }

    void savedSettingsComeBack() {
        QVERIFY(w->open());
        c(form()).ScrollBar1()->setValue(37);
        c(form()).ScrollBar2()->setValue(64);
        c(form()).HostTxt()->setText(QString(64, 'h')); // the whole room
        c(form()).UserTxt()->setText("640");
        c(form()).PassTxt()->setText("pw");
        c(form()).ScrollBarA2()->setValue(3);
        c(form()).ScrollBarA02()->setValue(250);
        c(form()).T1Name()->setText(QString(40, 'n')); // the whole room
        c(form()).A3Name()->setText("Flow");
        c(form()).MonthCalendar1()->setSelectedDate(QDate(2020, 1, 1)); // not saved: the hidden calendar is
        c(form()).SaveSetting1()->trigger();
        QCOMPARE(platform.errors, QStringList());
        QFile cfg(w->path(".config/Tervane640/csv.cfg"));
        QCOMPARE(cfg.size(), qint64(636));
        QCOMPARE(cfg.permissions() & (QFile::ReadOther | QFile::ReadGroup), QFileDevice::Permissions());
        w->close();
        platform.clear();
        QVERIFY(w->open());
        QCOMPARE(platform.warnings, QStringList());
        QCOMPARE(c(form()).ScrollBar1()->value(), 37);
        QCOMPARE(c(form()).TLEVEL()->text(), QString("37"));
        QCOMPARE(c(form()).ALEVEL()->text(), QString("64"));
        QCOMPARE(c(form()).HostTxt()->text(), QString(64, 'h'));
        QCOMPARE(c(form()).PassTxt()->text(), QString("pw"));
        QCOMPARE(c(form()).MulA2()->text(), QString("3.25"));
        QCOMPARE(c(form()).T1Name()->text(), QString(40, 'n'));
        QCOMPARE(c(form()).TabSheet6()->Caption(), QString("Flow"));
        QCOMPARE(c(form()).DecisionGraphA3()->TitleText(), QStringList{"Flow"});
        QCOMPARE(c(form()).MonthCalendar1()->selectedDate(), QDate::currentDate());
        QCOMPARE(c(form()).FromDateTime()->text(),
                 QLocale().toString(QDate::currentDate(), QLocale::ShortFormat).left(10));
    }

    void oddSettingsFiles_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("error");
        QTest::newRow("short") << 100 << false << "Read beyond end of file.";
        QTest::newRow("700 bytes") << 700 << false << "";
        QTest::newRow("read-only") << 636 << true << "";
    }
    void oddSettingsFiles() {
        QFETCH(int, size);
        QFETCH(bool, readOnly);
        QFETCH(QString, error);
        settings::CFGRecord r;
        r.setUserId("777");
        r.setTLevel(20);
        QByteArray bytes = r.toBytes();
        bytes.resize(size, 'x');
        testfiles::writeFile(w->path("csv.cfg"), bytes);
        if (readOnly) QFile::setPermissions(w->path("csv.cfg"), QFile::ReadOwner);
        QVERIFY(w->open());
        if (error.isEmpty()) {
            QCOMPARE(platform.errors, QStringList());
            QCOMPARE(c(form()).UserTxt()->text(), QString("777"));
            QCOMPARE(c(form()).TLEVEL()->text(), QString("20"));
        } else {
            // The start-up stops there: the window keeps its designed defaults.
            QCOMPARE(platform.errors, QStringList{error});
            QCOMPARE(c(form()).UserTxt()->text(), QString("640"));
            QCOMPARE(c(form()).T1Name()->text(), QString("Temperature 1 (deg.C)"));
            QVERIFY(platform.messages.isEmpty()); // no connect attempt
            // The account in it was never shown: "Save Setting" asks before the defaults replace it.
            platform.answers.enqueue(Platform::Answer::No);
            c(form()).SaveSetting1()->trigger();
            QCOMPARE(platform.confirmations.size(), 1);
            QCOMPARE(cfgBytes(), bytes);
            platform.answers.enqueue(Platform::Answer::Yes);
            c(form()).SaveSetting1()->trigger();
            QCOMPARE(cfgBytes().size(), 636);
        }
    }

    void savingSaysWhatItCannotKeep_data() {
        QTest::addColumn<QString>("what");
        QTest::newRow("password with a euro sign") << "password";
        QTest::newRow("Cyrillic channel name") << "channel";
        QTest::newRow("host name outside ASCII") << "idn";
        QTest::newRow("host name longer than its room") << "long host";
        QTest::newRow("folder that keeps no file modes") << "no modes";
        QTest::newRow("tervane640.ini with lines it cannot read") << "corrupt ini";
    }
    void savingSaysWhatItCannotKeep() {
        QFETCH(QString, what);
        if (what == "corrupt ini") {
            QVERIFY(QDir(w->path("")).mkpath(".config/Tervane640"));
            testfiles::writeFile(w->path(".config/Tervane640/tervane640.ini"),
                                 "[Connection]\nDataMode=Sideways\n\x01\xff[broken\n");
            settings::CFGRecord r;
            r.setUserId("me");
            QVERIFY(settings::SaveCFGFile(w->path(".config/Tervane640/csv.cfg"), r).ok());
        }
        QVERIFY(w->open());
        const QString cfg = w->path(".config/Tervane640/csv.cfg");
        auto status = [&] { return form().statusBar()->currentMessage(); };
        auto restart = [&] {
            w->close();
            QVERIFY(w->open());
        };
        if (what == "password") {
            // Typed as a user does: the euro sign does not go in, and the reason is shown.
            c(form()).PassTxt()->clear();
            for (const QString k : {"p", "\u20ac", "w"})
                QTest::sendKeyEvent(QTest::Click, c(form()).PassTxt(), Qt::Key_unknown, k, Qt::NoModifier);
            QCOMPARE(c(form()).PassTxt()->text(), QString("pw"));
            QVERIFY2(status().startsWith("Password: ") && status().contains("Latin-1"), qPrintable(status()));
            c(form()).SaveSetting1()->trigger();
            restart();
            QCOMPARE(c(form()).PassTxt()->text(), QString("pw"));
        } else if (what == "channel") {
            c(form()).T1Name()->selectAll();
            c(form()).T1Name()->insert(QString::fromUtf8("Температура"));
            QCOMPARE(c(form()).T1Name()->text(), QString("Temperature 1 (deg.C)"));
            QVERIFY2(status().contains("Latin-1"), qPrintable(status()));
            c(form()).T1Name()->setText(QString::fromUtf8("Außen °C")); // Latin-1 is kept as it is
            c(form()).SaveSetting1()->trigger();
            restart();
            QCOMPARE(c(form()).T1Name()->text(), QString::fromUtf8("Außen °C"));
        } else if (what == "idn") {
            c(form()).HostTxt()->selectAll();
            c(form()).HostTxt()->insert(QString::fromUtf8("bücher.example"));
            c(form()).SaveSetting1()->trigger();
            settings::CFGRecord r;
            QVERIFY(settings::ReadCFGFile(cfg, r).ok());
            QCOMPARE(r.host(), QString("xn--bcher-kva.example"));
            restart();
            QCOMPARE(c(form()).HostTxt()->text(), QString::fromUtf8("bücher.example"));
        } else if (what == "long host") {
            c(form()).HostTxt()->setText("logger.example");
            c(form()).HostTxt()->selectAll();
            c(form()).HostTxt()->insert(QString(70, 'h')); // a paste: refused whole
            QCOMPARE(c(form()).HostTxt()->text(), QString("logger.example"));
            QVERIFY2(status().contains("room for 64"), qPrintable(status()));
            c(form()).HostTxt()->setText(QString(70, 'h')); // set by the program, past the edit's check
            c(form()).SaveSetting1()->trigger();
            QCOMPARE(platform.warnings.size(), 1);
            QVERIFY2(
                platform.warnings[0].contains("FTP host: csv.cfg has room for 64 characters here, not 70"),
                qPrintable(platform.warnings[0]));
            QVERIFY(!QFile::exists(cfg)); // not saved cut
        } else if (what == "no modes") {
            // As on a FAT or exFAT stick: the mode cannot be set, the settings are saved all the same,
            // and the user is told once.
            const settings::ModeSetter refusing{[](int, mode_t) { return errno = EPERM, -1; },
                                                [](const char*, mode_t) { return errno = EPERM, -1; }};
            settings::InstallModeSetter(&refusing);
            c(form()).UserTxt()->setText("first");
            c(form()).SaveSetting1()->trigger();
            c(form()).UserTxt()->setText("second");
            c(form()).SaveSetting1()->trigger();
            settings::InstallModeSetter(nullptr);
            QCOMPARE(platform.errors, QStringList());
            QCOMPARE(platform.warnings.size(), 1);
            QVERIFY(platform.warnings[0].contains("cannot keep them private"));
            settings::CFGRecord r;
            QVERIFY(settings::ReadCFGFile(cfg, r).ok());
            QCOMPARE(r.userId(), QString("second"));
        } else if (what == "corrupt ini") {
            // The value it does not know is told at start; the save that works says nothing false.
            QVERIFY2(status().contains("Connection/DataMode=Sideways"), qPrintable(status()));
            c(form()).SaveSetting1()->trigger();
            QCOMPARE(platform.warnings, QStringList());
            QCOMPARE(QSettings(w->path(".config/Tervane640/tervane640.ini"), QSettings::IniFormat)
                         .value("Connection/DataMode")
                         .toString(),
                     QString("Automatic"));
        }
    }

    void startupLogsOnAndListsTheParentFolder() {
        serve();
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(c(form()).session().FtpConnected);
        QCOMPARE(platform.messages, QStringList());
        QCOMPARE(c(form()).cSTATUS()->text(), QString("FTP Connected"));
        QCOMPARE(c(form()).StatusLine()->text(), QString("FTP Connected"));
        QCOMPARE(c(form()).RemoteFiles1cnt()->text(), QString("2"));
        QStringList files;
        for (int i = 0; i < c(form()).FileListBoxFTP()->count(); ++i)
            files << c(form()).FileListBoxFTP()->item(i)->text();
        QCOMPARE(files, (QStringList{"091201.csv", "091202.csv"}));
        QCOMPARE(c(form()).FileListBoxFTPdir()->count(), 1);
        QCOMPARE(c(form()).FileListBoxFTPdir()->item(0)->text(), QString("logger"));
        QCOMPARE(c(form()).Memo1()->document()->blockCount(), 4);
        QVERIFY(!c(form()).ConnectBtn()->isEnabled());
        QVERIFY(c(form()).DisConnectBtn()->isEnabled());
        QVERIFY(c(form()).CopyAll()->isEnabled());
        QCOMPARE(server->count("CWD .."), 1);
        // Connect again while connected changes nothing.
        c(form()).invoke("ConnectBtnClick");
        QCOMPARE(server->count("USER"), 1);
        // Disconnect.
        c(form()).DisConnectBtn()->setEnabled(true);
        QTest::mouseClick(c(form()).DisConnectBtn(), Qt::LeftButton);
        QVERIFY(!c(form()).session().FtpConnected);
        QCOMPARE(c(form()).cSTATUS()->text(), QString("FTP Disconnected"));
        QCOMPARE(c(form()).FileListBoxFTP()->count(), 0);
        QVERIFY(c(form()).ConnectBtn()->isEnabled());
        QCOMPARE(c(form()).StatusLine()->text(), QString("FTP Disconnected")); // the CSV page follows
        QVERIFY(!c(form()).CopyAll()->isEnabled());
        QTRY_COMPARE(server->count("QUIT"), 1);
    }

    void wrongPassword() {
        serve();
        writeCfg("640", "wrong");
        QVERIFY(openWithServer());
        QTRY_VERIFY(platform.messages.contains("Connection Failed            "));
        QVERIFY(!c(form()).session().FtpConnected);
        QCOMPARE(c(form()).cSTATUS()->text(), QString("FTP Disconnected"));
        for (QPushButton* b :
             {c(form()).ConnectBtn(), c(form()).DisConnectBtn(), c(form()).RefreshBtn(), c(form()).CopyAll()})
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void unresolvableHost() {
        QVERIFY(w->open());
        platform.clear();
        c(form()).HostTxt()->setText("no-such-host.invalid");
        c(form()).ConnectBtn()->setEnabled(true);
        QTest::mouseClick(c(form()).ConnectBtn(), Qt::LeftButton);
        QTRY_VERIFY(platform.messages.contains("Invalid Host"));
        QVERIFY(!c(form()).ConnectBtn()->isEnabled());
        QVERIFY(c(form()).DisConnectBtn()->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QTest::mouseClick(c(form()).DisConnectBtn(), Qt::LeftButton);
        QVERIFY(c(form()).ConnectBtn()->isEnabled());
        QVERIFY(!c(form()).DisConnectBtn()->isEnabled());
    }

    void portThatIsNotANumber() {
        QVERIFY(w->open());
        platform.clear();
        c(form()).PortTxt()->setText("21a");
        c(form()).ConnectBtn()->setEnabled(true);
        QTest::mouseClick(c(form()).ConnectBtn(), Qt::LeftButton);
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY(platform.messages[0].contains("21a"));
        QVERIFY(c(form()).ConnectBtn()->isEnabled());
        QVERIFY(c(form()).CopyAll()->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void browsingFolders() {
        serve();
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(c(form()).session().FtpConnected);
        QListWidget* dirs = c(form()).FileListBoxFTPdir();
        dirs->item(0)->setSelected(true);
        dirs->setCurrentRow(0);
        QTest::mouseDClick(dirs->viewport(), Qt::LeftButton, {},
                           dirs->visualItemRect(dirs->item(0)).center());
        QTRY_COMPARE(c(form()).sDirectory()->text(), QString("logger"));
        QCOMPARE(c(form()).FileListBoxFTP()->count(), 1);
        QCOMPARE(c(form()).FileListBoxFTP()->item(0)->text(), QString("100101.csv"));
        QCOMPARE(c(form()).RemoteFiles1cnt()->text(), QString("1"));
        QVERIFY(!c(form()).session().TransferBusy);
        QVERIFY(c(form()).ExitBtn()->isEnabled());
        QVERIFY(c(form()).ExitButton()->isEnabled()); // the CSV page's Exit is back too
        // Back to the top by a double click on the folder box.
        QTest::mouseDClick(c(form()).sDirectory(), Qt::LeftButton);
        QCOMPARE(c(form()).sDirectory()->text(), QString("*.*"));
        QCOMPARE(c(form()).FileListBoxFTP()->count(), 2);
        // Refresh shows the folder above the current one.
        c(form()).RefreshBtn()->click();
        QCOMPARE(c(form()).FileListBoxFTP()->count(), 2);
        QVERIFY(c(form()).CopyAll()->isEnabled());
        QVERIFY(!c(form()).session().TransferBusy);
    }

    void browsingErrorLeavesTheWindowUsable() {
        serve();
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(c(form()).session().FtpConnected);
        // The folder disappears on the server before the user enters it.
        QDir(served->filePath("logger")).removeRecursively();
        QListWidget* dirs = c(form()).FileListBoxFTPdir();
        dirs->setCurrentRow(0);
        dirs->item(0)->setSelected(true);
        QTest::mouseDClick(dirs->viewport(), Qt::LeftButton, {},
                           dirs->visualItemRect(dirs->item(0)).center());
        QTRY_COMPARE(platform.errors.size(), 1);
        QCOMPARE(c(form()).StatusBar1()->currentMessage(), QString("ChangeDir failure"));
        QVERIFY(!c(form()).session().TransferBusy);
        QVERIFY(c(form()).RefreshBtn()->isEnabled());
        QVERIFY(c(form()).ExitBtn()->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void viewingARemoteFile() {
        serve();
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(c(form()).session().FtpConnected);
        auto* files = c(form()).FileListBoxFTP();
        // Nothing selected: a message.
        files->setCurrentRow(1, QItemSelectionModel::NoUpdate);
        files->clearSelection();
        QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, QPoint(5, 200));
        QVERIFY(platform.messages.contains("No file selected"));
        platform.clear();
        // A click selects the file and names it in the file box, then the double click views it.
        const QPoint at = files->visualItemRect(files->item(1)).center();
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(c(form()).sFile()->text(), QString("091202.csv"));
        QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(platform.opened.size(), 1);
        QCOMPARE(QFileInfo(platform.opened[0]).fileName(), QString("091202.csv"));
        QFile viewed(platform.opened[0]);
        QVERIFY(viewed.open(QIODevice::ReadOnly));
        QCOMPARE(viewed.readAll(), testfiles::loggerFile(20));
        QCOMPARE(c(form()).sFile()->text(), QString("091202.csv"));
        // The viewing folder is the program's own, not the local folder.
        QVERIFY(!QFile::exists(w->path("091202.csv")));
    }

    void serverDropsTheConnection() {
        serve(1.5); // the server drops a control connection silent for 1.5 s
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(c(form()).session().FtpConnected);
        QTRY_VERIFY_WITH_TIMEOUT(!c(form()).session().FtpConnected, 8000);
        QCOMPARE(c(form()).cSTATUS()->text(), QString("FTP Disconnected"));
        QVERIFY(c(form()).ConnectBtn()->isEnabled());
        QCOMPARE(c(form()).FileListBoxFTP()->count(), 0);
    }

    void exitWhileTheLogOnHangs() {
        // A server that accepts the connection and never greets.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        settings::CFGRecord r;
        r.setHost("127.0.0.1");
        QVERIFY(settings::SaveCFGFile(w->path("csv.cfg"), r).ok());
        QElapsedTimer clock;
        clock.start();
        bool exited = false;
        connect(&silent, &QTcpServer::newConnection, this, [&] {
            QMetaObject::invokeMethod(
                this,
                [&] {
                    c(w->form).Exit1()->trigger();
                    exited = true;
                },
                Qt::QueuedConnection);
        });
        w->open([&](TForm1& f) { c(f).PortTxt()->setText(QString::number(silent.serverPort())); });
        QTRY_VERIFY(exited);
        QTRY_VERIFY_WITH_TIMEOUT(!form().isVisible(), 5000);
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(platform.errors, QStringList());
    }

    void exitFromTheCsvPage() {
        QVERIFY(w->open());
        QTest::mouseClick(c(form()).ExitButton(), Qt::LeftButton);
        QTRY_VERIFY(!form().isVisible());
        QVERIFY(c(form()).session().ExitRequested);
        QCOMPARE(platform.errors, QStringList());
    }

    void exitWhileDisconnectedAndConnected() {
        QVERIFY(w->open());
        c(form()).ExitBtn()->setEnabled(true);
        QTest::mouseClick(c(form()).ExitBtn(), Qt::LeftButton);
        QTRY_VERIFY(!form().isVisible());
        QVERIFY(c(form()).session().ExitRequested);
        // A new working folder before the server starts: the server keeps running in it.
        w = std::make_unique<WindowFixture>();
        serve();
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(c(form()).session().FtpConnected);
        c(form()).Exit1()->trigger();
        QTRY_VERIFY(!form().isVisible());
        w->close(); // the engine logs off as the window goes
        QTRY_COMPARE(server->count("QUIT"), 1);
    }
};

TERVANE_GUI_TEST_MAIN(SessionTest)
#include "session_test.moc"
