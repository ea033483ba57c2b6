// Copy, move, copy from date and the remote deletion and folder actions on the
// real window, against pyftpdlib (and the main copy case against vsftpd).
#include "controls.h"
#include "ftp/nmftp.h"
#include "ftpservers.h"
#include "guitest.h"
#include "localfiles/folderlists.h"
#include "loggerfiles.h"
#include "platform/latestonly.h"
#include "settings/cfgrecord.h"
#include "windowfixture.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

namespace {
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
QStringList csvIn(const QString& dir) {
    return QDir(dir).entryList({"*.csv"}, QDir::Files, QDir::Name);
}
} // namespace

class BatchesTest : public QObject {
    Q_OBJECT
    FakePlatform platform;
    std::unique_ptr<WindowFixture> w;
    std::unique_ptr<QTemporaryDir> served;
    std::unique_ptr<FtpServerProcess> server;
    QString local; // the local folder the window shows

    // Serves the named files (each a small logger file) and logs the window on.
    void start(const QStringList& names, const std::function<void(PyFtpdServer&)>& tune = {},
               const QByteArray& body = testfiles::loggerFile(30)) {
        w = std::make_unique<WindowFixture>();
        served = std::make_unique<QTemporaryDir>();
        for (const QString& n : names)
            testfiles::writeFile(served->filePath(n), body);
        auto py = std::make_unique<PyFtpdServer>(served->path(), "640", "pw");
        if (tune) tune(*py);
        QVERIFY2(py->start(), qPrintable(py->errorText()));
        server = std::move(py);
        logOn("640", "pw");
    }
    // Starts the window on a csv.cfg that names the running server and the account.
    void logOn(const QString& user, const QString& password) {
        settings::CFGRecord r;
        r.setHost("127.0.0.1");
        r.setUserId(user);
        r.setPassword(password);
        r.setCopyFromDate(settings::DateToDayNumber(QDate(2018, 10, 11)));
        QVERIFY(settings::SaveCFGFile(w->path("csv.cfg"), r).ok());
        w->plainFtp();
        QDir(w->work.path()).mkdir("local");
        local = QDir::cleanPath(w->path("local"));
        QVERIFY(w->open([this](TForm1& f) { c(f).PortTxt()->setText(QString::number(server->port())); }));
        QTRY_VERIFY(c(f()).session().FtpConnected);
        c(f()).DirectoryListBoxPC()->setDirectory(local);
        platform.clear();
    }
    TForm1& f() { return *w->form; }
    void select(const QList<int>& rows) {
        c(f()).FileListBoxFTP()->clearSelection();
        for (int r : rows)
            c(f()).FileListBoxFTP()->item(r)->setSelected(true);
    }
    QStringList remoteNames() const {
        QStringList out;
        for (int i = 0; i < c(w->form).FileListBoxFTP()->count(); ++i)
            out << c(w->form).FileListBoxFTP()->item(i)->text();
        return out;
    }
    // The window is back in its resting state after a batch.
    void verifyIdle() {
        QVERIFY(!c(f()).session().TransferBusy);
        QVERIFY(!c(f()).session().CancelRequested);
        for (QPushButton* b : {c(f()).CopySelected(), c(f()).CopyAll(), c(f()).MoveSelected(),
                               c(f()).MoveAll(), c(f()).CopyFromDate()}) {
            QVERIFY2(b->isEnabled() && !b->isHidden(), qPrintable(b->objectName()));
        }
        for (QPushButton* b :
             {c(f()).CopySelectedCancel(), c(f()).CopyAllCancel(), c(f()).MoveSelectedCancel(),
              c(f()).MoveAllCancel(), c(f()).CopyFromDateCancel()})
            QVERIFY2(b->isHidden(), qPrintable(b->objectName()));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }
    QStringList tenNames() const {
        QStringList n;
        for (int i = 1; i <= 10; ++i)
            n << QString("0912%1.csv").arg(i, 2, 10, QChar('0'));
        return n;
    }

private slots:
    void cleanup() {
        w.reset();
        server.reset();
        served.reset();
    }

    void copySelectedThreeOfTen() {
        start(tenNames());
        select({1, 4, 8});
        QList<int> focus;
        connect(c(f()).FileListBoxFTP(), &QListWidget::currentRowChanged, this, [&](int r) { focus << r; });
        QTest::mouseClick(c(f()).CopySelected(), Qt::LeftButton);
        QCOMPARE(csvIn(local), (QStringList{"091202.csv", "091205.csv", "091209.csv"}));
        QCOMPARE(fileBytes(local + "/091205.csv"), testfiles::loggerFile(30));
        // The focus entry walked forward over the list (at most ten steps a second are
        // shown) and came back to the first.
        QVERIFY(!focus.isEmpty());
        QCOMPARE(focus.last(), 0);
        const QList<int> walk = focus.mid(focus.indexOf(0), focus.size() - focus.indexOf(0) - 1);
        QVERIFY2(std::is_sorted(walk.begin(), walk.end()) && (walk.isEmpty() || walk.last() <= 9),
                 qPrintable(QString("focus went %1").arg(QString::number(walk.size()))));
        QCOMPARE(c(f()).LocalFiles1cnt()->text(), QString("3"));
        QCOMPARE(c(f()).StatusBar1()->currentMessage(), QString("Download success"));
        QCOMPARE(platform.messages, QStringList());
        verifyIdle();
        // None selected.
        c(f()).FileListBoxFTP()->clearSelection();
        QTest::mouseClick(c(f()).CopySelected(), Qt::LeftButton);
        QCOMPARE(platform.messages, QStringList{"No file selected   "});
        verifyIdle();
    }

    void copyAllAndWhileDisconnected() {
        start(tenNames());
        QTest::mouseClick(c(f()).CopyAll(), Qt::LeftButton);
        QCOMPARE(csvIn(local), tenNames());
        QCOMPARE(c(f()).FileListBox1()->count(), 10); // the CSV page's list follows
        verifyIdle();
        c(f()).invoke("DisConnectBtnClick");
        QDir(local).removeRecursively();
        QDir().mkpath(local);
        c(f()).CopyAll()->setEnabled(true);
        QTest::mouseClick(c(f()).CopyAll(), Qt::LeftButton);
        QCOMPARE(csvIn(local), QStringList());
        QCOMPARE(platform.messages, QStringList());
        // The other batches say so.
        c(f()).CopySelected()->setEnabled(true);
        QTest::mouseClick(c(f()).CopySelected(), Qt::LeftButton);
        QCOMPARE(platform.messages, QStringList{"No FTP connection. Please connect again"});
    }

    void moveSelected_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void moveSelected() {
        QFETCH(bool, yes);
        start({"091201.csv", "091202.csv", "091203.csv"});
        select({0, 2});
        platform.answers.enqueue(yes ? Platform::Answer::Yes : Platform::Answer::No);
        QTest::mouseClick(c(f()).MoveSelected(), Qt::LeftButton);
        QCOMPARE(platform.confirmations, QStringList{"Move selected files ?"});
        if (yes) {
            QCOMPARE(csvIn(local), (QStringList{"091201.csv", "091203.csv"}));
            QCOMPARE(csvIn(served->path()), QStringList{"091202.csv"});
            QCOMPARE(remoteNames(), QStringList{"091202.csv"});
            QCOMPARE(c(f()).RemoteFiles1cnt()->text(), QString("1"));
        } else {
            QCOMPARE(csvIn(local), QStringList());
            QCOMPARE(csvIn(served->path()).size(), 3);
        }
        verifyIdle();
    }

    void moveAll() {
        start({"091201.csv", "091202.csv", "091203.csv"});
        platform.answers.enqueue(Platform::Answer::Yes);
        QTest::mouseClick(c(f()).MoveAll(), Qt::LeftButton);
        QCOMPARE(platform.confirmations, QStringList{"Move all files ?"});
        QCOMPARE(csvIn(local).size(), 3);
        QCOMPARE(csvIn(served->path()), QStringList());
        QCOMPARE(c(f()).FileListBoxFTP()->count(), 0);
        QCOMPARE(c(f()).RemoteFiles1cnt()->text(), QString("0"));
        verifyIdle();
    }

    void cancelDuringTheSecondOfFive() {
        // About half a second per file, so the cancel lands while the second one runs.
        start(
            {"091201.csv", "091202.csv", "091203.csv", "091204.csv", "091205.csv"},
            [](PyFtpdServer& s) { s.setThrottle(40000); }, testfiles::loggerFile(220));
        select({0, 1, 2, 3, 4});
        int started = 0;
        connect(c(f()).session().NMFTP1, &TNMFTP::OnTransactionStart, this, [&](QObject*) {
            if (++started == 2)
                QMetaObject::invokeMethod(c(f()).CopySelectedCancel(), "click", Qt::QueuedConnection);
        });
        QElapsedTimer clock;
        connect(c(f()).CopySelectedCancel(), &QPushButton::clicked, this, [&] { clock.start(); });
        QTest::mouseClick(c(f()).CopySelected(), Qt::LeftButton);
        // The file under way ends at once: no partial copy, no temporary file left.
        QVERIFY(clock.isValid());
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(csvIn(local), (QStringList{"091201.csv"}));
        QCOMPARE(QDir(local).entryList(QDir::Files | QDir::Hidden), (QStringList{"091201.csv"}));
        QCOMPARE(fileBytes(local + "/091201.csv"), testfiles::loggerFile(220));
        QVERIFY(server->count("ABOR") >= 1);
        verifyIdle();
        disconnect(c(f()).CopySelectedCancel(), &QPushButton::clicked, this, nullptr);
        disconnect(c(f()).session().NMFTP1, &TNMFTP::OnTransactionStart, this, nullptr);
        // The next run works normally, unless the throttled server did not answer
        // the ABOR within its 2 s (a slow sanitizer build): then the session was
        // closed and asks for a new log-on, as designed.
        if (!c(f()).session().NMFTP1->Connected()) return;
        select({3});
        QTest::mouseClick(c(f()).CopySelected(), Qt::LeftButton);
        QCOMPARE(csvIn(local), (QStringList{"091201.csv", "091204.csv"}));
    }

    void exitDuringATransfer_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Exit menu") << false;
        QTest::newRow("window close box") << true;
    }
    void exitDuringATransfer() {
        QFETCH(bool, closeBox);
        start(
            {"091201.csv", "091202.csv", "091203.csv"}, [](PyFtpdServer& s) { s.setThrottle(40000); },
            testfiles::loggerFile(220));
        select({0, 1, 2});
        connect(c(f()).session().NMFTP1, &TNMFTP::OnTransactionStart, this, [&](QObject*) {
            if (closeBox)
                QMetaObject::invokeMethod(&f(), "close", Qt::QueuedConnection);
            else
                QMetaObject::invokeMethod(c(f()).Exit1(), "trigger", Qt::QueuedConnection);
        });
        QTest::mouseClick(c(f()).CopySelected(), Qt::LeftButton);
        // The file under way is aborted, leaving nothing behind; the window closes
        // once the call has returned.
        QCOMPARE(csvIn(local), QStringList());
        QCOMPARE(QDir(local).entryList(QDir::Files | QDir::Hidden), QStringList());
        QTRY_VERIFY(!f().isVisible());
        QCOMPARE(platform.errors, QStringList());
        // A session the abort had to close (no answer within 2 s) has nothing to log off.
        const bool open = c(f()).session().NMFTP1->Connected();
        w->close();
        if (open) QTRY_COMPARE(server->count("QUIT"), 1);
    }

    void refusedDownloadEndsTheBatchCleanly() {
        start({"091201.csv", "091202.csv", "091203.csv"},
              [](PyFtpdServer& s) { s.refuseDownload("091202.csv"); });
        select({0, 1, 2});
        QTest::mouseClick(c(f()).CopySelected(), Qt::LeftButton);
        QCOMPARE(csvIn(local), QStringList{"091201.csv"});
        QCOMPARE(platform.errors.size(), 1);
        QVERIFY2(platform.errors[0].contains("091202.csv") && platform.errors[0].contains("550"),
                 qPrintable(platform.errors[0]));
        // The status bar tells the failure too, not a success of an earlier command.
        QVERIFY2(c(f()).StatusBar1()->currentMessage().startsWith("Copying 091202.csv failed"),
                 qPrintable(c(f()).StatusBar1()->currentMessage()));
        verifyIdle();
    }

    void abortedTransferKeepsTheRemoteFile() {
        start({"091201.csv", "091202.csv"}, [](PyFtpdServer& s) { s.abortDownload("091201.csv"); });
        testfiles::writeFile(local + "/091201.csv", "an older good copy\r\n");
        platform.answers.enqueue(Platform::Answer::Yes);
        QTest::mouseClick(c(f()).MoveAll(), Qt::LeftButton);
        // The aborted file stays on the server and the good older copy stays here;
        // the batch goes on with the next file and says at the end what stayed and why.
        QCOMPARE(platform.errors, QStringList());
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY2(platform.messages[0].contains("091201.csv") &&
                     platform.messages[0].contains("stay on the server"),
                 qPrintable(platform.messages[0]));
        QCOMPARE(csvIn(served->path()), (QStringList{"091201.csv"}));
        QCOMPARE(fileBytes(local + "/091201.csv"), QByteArray("an older good copy\r\n"));
        QCOMPARE(server->count("DELE"), 1);
        verifyIdle();
    }

    void moveKeepsAFileThatArrivedShort() {
        // The server announces 2048 bytes for short.csv, sends 1000 and still reports success.
        w = std::make_unique<WindowFixture>();
        auto scripted = std::make_unique<ScriptedFtpServer>("normal");
        QVERIFY2(scripted->start(), qPrintable(scripted->errorText()));
        server = std::move(scripted);
        logOn("u", "p");
        c(f()).session().NMFTP1->ChangeDir("short");
        c(f()).invoke("FreshListing");
        QCOMPARE(remoteNames(), (QStringList{"short.csv", "240304.csv"}));
        platform.clear();
        platform.answers.enqueue(Platform::Answer::Yes);
        QTest::mouseClick(c(f()).MoveAll(), Qt::LeftButton);
        QCOMPARE(server->count("DELE"), 1);
        QVERIFY(server->commands().contains("DELE 240304.csv"));
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY2(platform.messages[0].contains("short.csv"), qPrintable(platform.messages[0]));
        QCOMPARE(platform.errors, QStringList());
        verifyIdle();
    }

    void quickUpdatesShowTheLatest() {
        // The throttle behind the batch's status texts, current entry and listing lines.
        LatestOnly shown(100);
        QStringList seen;
        auto show = [&](const QString& t) { return [&seen, t] { seen << t; }; };
        shown.post(show("first"));  // after a quiet spell: at once
        shown.post(show("second")); // within the gap: waits...
        shown.post(show("third"));  // ...and is replaced by the newer one
        QCOMPARE(seen, QStringList{"first"});
        QVERIFY(shown.waiting());
        QTRY_COMPARE_WITH_TIMEOUT(seen, (QStringList{"first", "third"}), 2000); // when the gap is over
        QVERIFY(!shown.waiting());
        // flush() shows what waits at once; apply() drops it for a newer update; drop() forgets it.
        shown.post(show("fourth"));
        shown.flush();
        QCOMPARE(seen.last(), QString("fourth"));
        shown.post(show("fifth"));
        shown.apply(show("sixth"));
        shown.post(show("seventh"));
        shown.drop();
        QTest::qWait(250);
        QCOMPARE(seen, (QStringList{"first", "third", "fourth", "sixth"}));
    }

    void slowListingShowsWhatArrived() {
        // Half of a 2,000-file listing comes at once, the rest 1.5 s later: the lists show the first
        // half while the rest is awaited, and everything, in order, once the listing has ended.
        w = std::make_unique<WindowFixture>();
        auto scripted = std::make_unique<ScriptedFtpServer>("normal");
        QVERIFY2(scripted->start(), qPrintable(scripted->errorText()));
        server = std::move(scripted);
        logOn("u", "p");
        c(f()).session().NMFTP1->ChangeDir("slowlist");
        // What the lists show, looked at every 50 ms while the listing runs.
        QList<int> shown, lines;
        QStringList counted;
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            shown << c(f()).FileListBoxFTP()->count();
            lines << c(f()).Memo1()->document()->blockCount();
            counted << c(f()).RemoteFiles1cnt()->text();
        });
        look.start(50);
        c(f()).invoke("FreshListing");
        look.stop();
        QVERIFY2(shown.count(1000) >= 5, qPrintable(QString::number(shown.count(1000))));
        QVERIFY(lines.count(1000) >= 5);
        QVERIFY(counted.count("1000") >= 5); // the count beside the list follows it
        QCOMPARE(c(f()).RemoteFiles1cnt()->text(), QString("2000"));
        QCOMPARE(c(f()).FileListBoxFTP()->count(), 2000);
        QCOMPARE(c(f()).FileListBoxFTP()->item(0)->text(), QString("200000.csv"));
        QCOMPARE(c(f()).FileListBoxFTP()->item(1999)->text(), QString("201999.csv"));
        QCOMPARE(c(f()).Memo1()->document()->blockCount(), 2000);
        // The listing box ends with the last line as it was sent.
        QCOMPARE(c(f()).Memo1()->document()->lastBlock().text(),
                 QString("-rw-r--r-- 1 ftp ftp 2099 Mar 3 10:15 201999.csv"));
    }

    void copyFromDate() {
        start({"181010.csv", "181011.csv", "181012.csv", "abc.csv"});
        QCOMPARE(c(f()).MonthCalendar1()->selectedDate(), QDate(2018, 10, 11));
        QTest::mouseClick(c(f()).CopyFromDate(), Qt::LeftButton);
        QCOMPARE(csvIn(local), (QStringList{"181011.csv", "181012.csv", "abc.csv"}));
        QCOMPARE(platform.messages, QStringList());
        QCOMPARE(c(f()).MonthCalendar1()->selectedDate(), QDate::currentDate());
        QCOMPARE(c(f()).FromDateTime()->text(),
                 QLocale().toString(QDate::currentDate(), QLocale::ShortFormat).left(10));
        // The date is saved where the settings were read, not among the fetched files.
        QVERIFY(!QFile::exists(local + "/csv.cfg"));
        settings::CFGRecord saved;
        QVERIFY(settings::ReadCFGFile(w->path("csv.cfg"), saved).ok());
        QCOMPARE(settings::DayNumberToDate(saved.copyFromDate()), QDate::currentDate());
        QCOMPARE(saved.host(), QString("127.0.0.1"));
        verifyIdle();
    }

    void copyFromDateNothingNew() {
        start({"181010.csv", "170101.csv"});
        const QString text = c(f()).FromDateTime()->text();
        QTest::mouseClick(c(f()).CopyFromDate(), Qt::LeftButton);
        QCOMPARE(csvIn(local), QStringList());
        QCOMPARE(platform.messages, QStringList{"No files " + text + " and after "});
        QCOMPARE(c(f()).MonthCalendar1()->selectedDate(), QDate::currentDate());
    }

    void copyFromDateCancelled() {
        start(
            {"181011.csv", "181012.csv", "181013.csv"}, [](PyFtpdServer& s) { s.setThrottle(40000); },
            testfiles::loggerFile(200));
        connect(c(f()).session().NMFTP1, &TNMFTP::OnTransactionStart, this, [&](QObject*) {
            QMetaObject::invokeMethod(c(f()).CopyFromDateCancel(), "click", Qt::QueuedConnection);
        });
        QTest::mouseClick(c(f()).CopyFromDate(), Qt::LeftButton);
        QCOMPARE(csvIn(local), QStringList());
        QCOMPARE(c(f()).MonthCalendar1()->selectedDate(), QDate(2018, 10, 11));
        QVERIFY(!QFile::exists(local + "/csv.cfg"));
        verifyIdle();
    }

    void deletionLockAndDeletes() {
        start({"091201.csv", "091202.csv", "091203.csv", "091204.csv"});
        QVERIFY(!c(f()).MenuItem1()->isVisible());
        // Unticked: Delete does nothing.
        c(f()).MenuItem1()->trigger();
        QCOMPARE(csvIn(served->path()).size(), 4);
        QVERIFY(platform.confirmations.isEmpty());
        QTest::mouseClick(c(f()).DeleteAllFTPButtonEnable(), Qt::LeftButton);
        QVERIFY(c(f()).MenuItem1()->isVisible() && c(f()).MenuItem2()->isVisible());
        // Three selected, the focus on the third: only the focus entry goes.
        select({0, 1, 2});
        c(f()).FileListBoxFTP()->setCurrentRow(2, QItemSelectionModel::NoUpdate);
        platform.answers.enqueue(Platform::Answer::Yes);
        c(f()).MenuItem1()->trigger();
        QCOMPARE(platform.confirmations, QStringList{"Delete selected file ? "});
        QCOMPARE(csvIn(served->path()), (QStringList{"091201.csv", "091202.csv", "091204.csv"}));
        QCOMPARE(c(f()).RemoteFiles1cnt()->text(), QString("3"));
        // Delete All.
        platform.answers.enqueue(Platform::Answer::Yes);
        c(f()).MenuItem2()->trigger();
        QCOMPARE(csvIn(served->path()), QStringList());
        QCOMPARE(c(f()).FileListBoxFTP()->count(), 0);
        // Delete with an empty list deletes nothing and says nothing more.
        platform.answers.enqueue(Platform::Answer::Yes);
        c(f()).MenuItem1()->trigger();
        QCOMPARE(platform.errors, QStringList());
        QTest::mouseClick(c(f()).DeleteAllFTPButtonEnable(), Qt::LeftButton);
        QVERIFY(!c(f()).MenuItem1()->isVisible());
    }

    void remoteFolders() {
        start({"091201.csv"});
        // Make Dir: a blank name, then a real one.
        c(f()).MakeDirFTP()->setText(" x");
        QTest::mouseClick(c(f()).MkDirFTPbtn(), Qt::LeftButton);
        QCOMPARE(platform.messages, QStringList{"Name incorrect"});
        c(f()).MakeDirFTP()->setText("archive");
        QTest::mouseClick(c(f()).MkDirFTPbtn(), Qt::LeftButton);
        QVERIFY(QDir(served->filePath("archive")).exists());
        QCOMPARE(c(f()).FileListBoxFTPdir()->count(), 1);
        // The same again: the server refuses; status text and error box.
        QTest::mouseClick(c(f()).MkDirFTPbtn(), Qt::LeftButton);
        QCOMPARE(c(f()).StatusBar1()->currentMessage(), QString("MakeDir failure"));
        QCOMPARE(platform.errors.size(), 1);
        // Rename Dir takes the folder named in the folder box.
        c(f()).sDirectory()->setText("archive");
        c(f()).MakeDirFTP()->setText("old");
        QTest::mouseClick(c(f()).RenameDirFTPbtn(), Qt::LeftButton);
        QVERIFY(QDir(served->filePath("old")).exists());
        // Delete folder: locked, then "*.*", then the folder.
        c(f()).sDirectory()->setText("old");
        c(f()).MenuItem3()->trigger();
        QVERIFY(QDir(served->filePath("old")).exists());
        c(f()).DeleteAllFTPButtonEnable()->setChecked(true);
        c(f()).sDirectory()->setText("*.*");
        platform.clear();
        c(f()).MenuItem3()->trigger();
        QCOMPARE(platform.messages, QStringList{"Directory not selected "});
        c(f()).sDirectory()->setText("old");
        c(f()).MenuItem3()->trigger();
        QVERIFY(!QDir(served->filePath("old")).exists());
        QCOMPARE(c(f()).FileListBoxFTPdir()->count(), 0);
    }

    void refusedWhileABatchRuns() {
        start({"091201.csv"});
        c(f()).session().TransferBusy = true;
        c(f()).MakeDirFTP()->setText("x");
        QTest::mouseClick(c(f()).MkDirFTPbtn(), Qt::LeftButton);
        c(f()).session().TransferBusy = false;
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY(platform.messages[0].startsWith("A transfer is running"));
        QVERIFY(!QDir(served->filePath("x")).exists());
    }

    void copyAndMoveAgainstVsftpd() {
        w = std::make_unique<WindowFixture>();
        served = std::make_unique<QTemporaryDir>();
        for (const char* n : {"091201.csv", "091202.csv"})
            testfiles::writeFile(served->filePath(n), testfiles::loggerFile(40));
        auto vs = std::make_unique<VsftpdServer>(served->path());
        if (!vs->start()) QSKIP(qPrintable("vsftpd did not start: " + vs->errorText()));
        server = std::move(vs);
        logOn("anonymous", "guest@example.com");
        // This vsftpd does not lock the account in its folder, so the log-on's step up
        // leaves it; go back into the served folder.
        c(f()).session().NMFTP1->ChangeDir(served->path());
        c(f()).invoke("FreshListing");
        QVERIFY2(remoteNames() == (QStringList{"091201.csv", "091202.csv"}),
                 qPrintable(c(f()).Memo1()->toPlainText()));
        select({1});
        QTest::mouseClick(c(f()).CopySelected(), Qt::LeftButton);
        QCOMPARE(csvIn(local), QStringList{"091202.csv"});
        QCOMPARE(fileBytes(local + "/091202.csv"), testfiles::loggerFile(40));
        // Anonymous vsftpd refuses deletion: the move keeps the file on the server.
        platform.clear();
        platform.answers.enqueue(Platform::Answer::Yes);
        QTest::mouseClick(c(f()).MoveAll(), Qt::LeftButton);
        QCOMPARE(csvIn(local).size(), 2);
        QCOMPARE(csvIn(served->path()).size(), 2);
        QCOMPARE(platform.errors.size(), 1);
        verifyIdle();
    }
};

TERVANE_GUI_TEST_MAIN(BatchesTest)
#include "batches_test.moc"
