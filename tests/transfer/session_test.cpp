// Start-up, settings and the FTP session on the real window, against a
// pyftpdlib server started by the test.
#include "app/pagecontrol.h"
#include "settings/cfgrecord.h"
#include "charts/decisiongraph.h"
#include "ftp/nmftp.h"
#include "ftpservers.h"
#include "guitest.h"
#include "localfiles/folderlists.h"
#include "loggerfiles.h"
#include "windowfixture.h"

#include <QCalendarWidget>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTcpServer>

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
    }
    bool openWithServer() {
        return w->open([this](TForm1& f) { f.PortTxt->setText(QString::number(server->port())); });
    }
    TForm1& form() { return *w->form; }

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
        QVERIFY(w->open());
        QCOMPARE(platform.warnings, QStringList{"Warning|csv.cfg access error"});
        QCOMPARE(form().HostTxt->text(), QString());
        QCOMPARE(form().UserTxt->text(), QString());
        QCOMPARE(form().TabSheet1->Caption(), QString());
        QCOMPARE(form().DecisionGraphA2->TitleText(), QStringList{QString()});
        QCOMPARE(form().ScrollBarA1->value(), 0);
        QCOMPARE(form().MulA1->text(), QString("0"));
        QCOMPARE(form().TLevel, 0);
        QCOMPARE(form().MonthCalendar1->selectedDate(), form().MonthCalendar1->minimumDate());
        QCOMPARE(form().MonthCalendar2->selectedDate(), QDate::currentDate());
        QVERIFY(!form().MenuItem1->isVisible());
        // The connect attempt failed; the window stays usable and disconnected.
        QVERIFY(!form().FtpConnected);
        QCOMPARE(form().cSTATUS->text(), QString("FTP Disconnected"));
        QVERIFY(form().CopySelectedCancel->isHidden());
        QVERIFY(!form().CopySelected->isHidden());
    }

    void savedSettingsComeBack() {
        QVERIFY(w->open());
        form().ScrollBar1->setValue(37);
        form().ScrollBar2->setValue(64);
        form().HostTxt->setText(QString(70, 'h')); // cut to 64
        form().UserTxt->setText("640");
        form().PassTxt->setText("pw");
        form().ScrollBarA2->setValue(3);
        form().ScrollBarA02->setValue(250);
        form().T1Name->setText(QString(50, 'n')); // cut to 40
        form().A3Name->setText("Flow");
        form().MonthCalendar1->setSelectedDate(QDate(2020, 1, 1)); // not saved: the hidden calendar is
        form().SaveSetting1->trigger();
        QCOMPARE(platform.errors, QStringList());
        QFile cfg(w->path("csv.cfg"));
        QCOMPARE(cfg.size(), qint64(636));
        QCOMPARE(cfg.permissions() & (QFile::ReadOther | QFile::ReadGroup), QFileDevice::Permissions());
        w->close();
        platform.clear();
        QVERIFY(w->open());
        QCOMPARE(platform.warnings, QStringList());
        QCOMPARE(form().ScrollBar1->value(), 37);
        QCOMPARE(form().TLEVEL->text(), QString("37"));
        QCOMPARE(form().ALevel, 64);
        QCOMPARE(form().HostTxt->text(), QString(64, 'h'));
        QCOMPARE(form().PassTxt->text(), QString("pw"));
        QCOMPARE(form().MulA2->text(), QString("3.25"));
        QCOMPARE(form().T1Name->text(), QString(40, 'n'));
        QCOMPARE(form().TabSheet6->Caption(), QString("Flow"));
        QCOMPARE(form().DecisionGraphA3->TitleText(), QStringList{"Flow"});
        QCOMPARE(form().MonthCalendar1->selectedDate(), QDate::currentDate());
        QCOMPARE(form().FromDateTime->text(),
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
            QCOMPARE(form().UserTxt->text(), QString("777"));
            QCOMPARE(form().TLevel, 20);
        } else {
            // The start-up stops there: the window keeps its designed defaults.
            QCOMPARE(platform.errors, QStringList{error});
            QCOMPARE(form().UserTxt->text(), QString("640"));
            QCOMPARE(form().T1Name->text(), QString("Temperature 1 (deg.C)"));
            QVERIFY(platform.messages.isEmpty()); // no connect attempt
        }
    }

    void startupLogsOnAndListsTheParentFolder() {
        serve();
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(form().FtpConnected);
        QCOMPARE(platform.messages, QStringList());
        QCOMPARE(form().cSTATUS->text(), QString("FTP Connected"));
        QCOMPARE(form().StatusLine->text(), QString("FTP Connected"));
        QCOMPARE(form().RemoteFiles1cnt->text(), QString("2"));
        QStringList files;
        for (int i = 0; i < form().FileListBoxFTP->count(); ++i)
            files << form().FileListBoxFTP->item(i)->text();
        QCOMPARE(files, (QStringList{"091201.csv", "091202.csv"}));
        QCOMPARE(form().FileListBoxFTPdir->count(), 1);
        QCOMPARE(form().FileListBoxFTPdir->item(0)->text(), QString("logger"));
        QCOMPARE(form().Memo1->document()->blockCount(), 4);
        QVERIFY(!form().ConnectBtn->isEnabled());
        QVERIFY(form().DisConnectBtn->isEnabled());
        QVERIFY(form().CopyAll->isEnabled());
        QCOMPARE(server->count("CWD .."), 1);
        // Connect again while connected changes nothing.
        form().ConnectBtnClick();
        QCOMPARE(server->count("USER"), 1);
        // Disconnect.
        form().DisConnectBtn->setEnabled(true);
        QTest::mouseClick(form().DisConnectBtn, Qt::LeftButton);
        QVERIFY(!form().FtpConnected);
        QCOMPARE(form().cSTATUS->text(), QString("FTP Disconnected"));
        QCOMPARE(form().FileListBoxFTP->count(), 0);
        QVERIFY(form().ConnectBtn->isEnabled());
        QVERIFY(!form().CopyAll->isEnabled());
        QTRY_COMPARE(server->count("QUIT"), 1);
    }

    void wrongPassword() {
        serve();
        writeCfg("640", "wrong");
        QVERIFY(openWithServer());
        QTRY_VERIFY(platform.messages.contains("Connection Failed            "));
        QVERIFY(!form().FtpConnected);
        QCOMPARE(form().cSTATUS->text(), QString("FTP Disconnected"));
        for (QPushButton* b : {form().ConnectBtn, form().DisConnectBtn, form().RefreshBtn, form().CopyAll})
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void unresolvableHost() {
        QVERIFY(w->open());
        platform.clear();
        form().HostTxt->setText("no-such-host.invalid");
        form().ConnectBtn->setEnabled(true);
        QTest::mouseClick(form().ConnectBtn, Qt::LeftButton);
        QTRY_VERIFY(platform.messages.contains("Invalid Host"));
        QVERIFY(!form().ConnectBtn->isEnabled());
        QVERIFY(form().DisConnectBtn->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QTest::mouseClick(form().DisConnectBtn, Qt::LeftButton);
        QVERIFY(form().ConnectBtn->isEnabled());
        QVERIFY(!form().DisConnectBtn->isEnabled());
    }

    void portThatIsNotANumber() {
        QVERIFY(w->open());
        platform.clear();
        form().PortTxt->setText("21a");
        form().ConnectBtn->setEnabled(true);
        QTest::mouseClick(form().ConnectBtn, Qt::LeftButton);
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY(platform.messages[0].contains("21a"));
        QVERIFY(form().ConnectBtn->isEnabled());
        QVERIFY(form().CopyAll->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void browsingFolders() {
        serve();
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(form().FtpConnected);
        QListWidget* dirs = form().FileListBoxFTPdir;
        dirs->item(0)->setSelected(true);
        dirs->setCurrentRow(0);
        QTest::mouseDClick(dirs->viewport(), Qt::LeftButton, {},
                           dirs->visualItemRect(dirs->item(0)).center());
        QTRY_COMPARE(form().sDirectory->text(), QString("logger"));
        QCOMPARE(form().FileListBoxFTP->count(), 1);
        QCOMPARE(form().FileListBoxFTP->item(0)->text(), QString("100101.csv"));
        QCOMPARE(form().RemoteFiles1cnt->text(), QString("1"));
        QVERIFY(!form().TransferBusy);
        QVERIFY(form().ExitBtn->isEnabled());
        // Back to the top by a double click on the folder box.
        QTest::mouseDClick(form().sDirectory, Qt::LeftButton);
        QCOMPARE(form().sDirectory->text(), QString("*.*"));
        QCOMPARE(form().FileListBoxFTP->count(), 2);
        // Refresh shows the folder above the current one.
        form().RefreshBtn->click();
        QCOMPARE(form().FileListBoxFTP->count(), 2);
        QVERIFY(form().CopyAll->isEnabled());
        QVERIFY(!form().TransferBusy);
    }

    void browsingErrorLeavesTheWindowUsable() {
        serve();
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(form().FtpConnected);
        // The folder disappears on the server before the user enters it.
        QDir(served->filePath("logger")).removeRecursively();
        QListWidget* dirs = form().FileListBoxFTPdir;
        dirs->setCurrentRow(0);
        dirs->item(0)->setSelected(true);
        QTest::mouseDClick(dirs->viewport(), Qt::LeftButton, {},
                           dirs->visualItemRect(dirs->item(0)).center());
        QTRY_COMPARE(platform.errors.size(), 1);
        QCOMPARE(form().StatusBar1->currentMessage(), QString("ChangeDir failure"));
        QVERIFY(!form().TransferBusy);
        QVERIFY(form().RefreshBtn->isEnabled());
        QVERIFY(form().ExitBtn->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void viewingARemoteFile() {
        serve();
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(form().FtpConnected);
        auto* files = form().FileListBoxFTP;
        // Nothing selected: a message.
        files->setCurrentRow(1, QItemSelectionModel::NoUpdate);
        files->clearSelection();
        QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, QPoint(5, 200));
        QVERIFY(platform.messages.contains("No file selected"));
        platform.clear();
        // A click selects the file and names it in the file box, then the double click views it.
        const QPoint at = files->visualItemRect(files->item(1)).center();
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(form().sFile->text(), QString("091202.csv"));
        QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(platform.opened.size(), 1);
        QCOMPARE(QFileInfo(platform.opened[0]).fileName(), QString("091202.csv"));
        QFile viewed(platform.opened[0]);
        QVERIFY(viewed.open(QIODevice::ReadOnly));
        QCOMPARE(viewed.readAll(), testfiles::loggerFile(20));
        QCOMPARE(form().sFile->text(), QString("091202.csv"));
        // The viewing folder is the program's own, not the local folder.
        QVERIFY(!QFile::exists(w->path("091202.csv")));
    }

    void serverDropsTheConnection() {
        serve(1.5); // the server drops a control connection silent for 1.5 s
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(form().FtpConnected);
        QTRY_VERIFY_WITH_TIMEOUT(!form().FtpConnected, 8000);
        QCOMPARE(form().cSTATUS->text(), QString("FTP Disconnected"));
        QVERIFY(form().ConnectBtn->isEnabled());
        QCOMPARE(form().FileListBoxFTP->count(), 0);
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
                    w->form->Exit1->trigger();
                    exited = true;
                },
                Qt::QueuedConnection);
        });
        w->open([&](TForm1& f) { f.PortTxt->setText(QString::number(silent.serverPort())); });
        QTRY_VERIFY(exited);
        QTRY_VERIFY_WITH_TIMEOUT(!form().isVisible(), 5000);
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(platform.errors, QStringList());
    }

    void exitWhileDisconnectedAndConnected() {
        QVERIFY(w->open());
        form().ExitBtn->setEnabled(true);
        QTest::mouseClick(form().ExitBtn, Qt::LeftButton);
        QTRY_VERIFY(!form().isVisible());
        QVERIFY(form().ExitRequested);
        // A new working folder before the server starts: the server keeps running in it.
        w = std::make_unique<WindowFixture>();
        serve();
        writeCfg();
        QVERIFY(openWithServer());
        QTRY_VERIFY(form().FtpConnected);
        form().Exit1->trigger();
        QTRY_VERIFY(!form().isVisible());
        w->close(); // the engine logs off as the window goes
        QTRY_COMPARE(server->count("QUIT"), 1);
    }
};

TERVANE_GUI_TEST_MAIN(SessionTest)
#include "session_test.moc"
