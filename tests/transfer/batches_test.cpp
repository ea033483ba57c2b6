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
#include "transfer/transfercore.h"
#include "transfer/transferpage.h"
#include "windowfixture.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpServer>
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
// A file the logger finished writing an hour ago (a move leaves a file changed
// in the last minutes on the server).
void writeFinished(const QString& path, const QByteArray& bytes) {
    QVERIFY(testfiles::writeFile(path, bytes));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite) &&
            f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
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
            writeFinished(served->filePath(n), body);
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
        // Three files the logger finished an hour ago, and today's, written just now: pyftpdlib's
        // MDTM tells them apart.
        start({"091201.csv", "091202.csv", "091203.csv"}, [this](PyFtpdServer&) {
            QVERIFY(testfiles::writeFile(served->filePath("091204.csv"), testfiles::loggerFile(30)));
        });
        platform.answers.enqueue(Platform::Answer::Yes);
        QTest::mouseClick(c(f()).MoveAll(), Qt::LeftButton);
        QCOMPARE(platform.confirmations, QStringList{"Move all files ?"});
        QCOMPARE(csvIn(local).size(), 4);
        QCOMPARE(fileBytes(local + "/091204.csv"), testfiles::loggerFile(30));
        QCOMPARE(csvIn(served->path()), QStringList{"091204.csv"});
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY2(platform.messages[0].contains("091204.csv (it was changed on the server") &&
                     platform.messages[0].contains("may still be being written"),
                 qPrintable(platform.messages[0]));
        QCOMPARE(remoteNames(), QStringList{"091204.csv"});
        QCOMPARE(c(f()).RemoteFiles1cnt()->text(), QString("1"));
        verifyIdle();
    }

    void moveAndCopyMeetChangesAndLocalFiles_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<bool>("move");
        QTest::addColumn<bool>("unattended");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QByteArray>("localBefore"); // in the local folder under each name first
        QTest::addColumn<QString>("answer");         // both, local, replace; "+rest": for the rest too
        QTest::addColumn<int>("questions");
        QTest::addColumn<QStringList>("deleted");
        QTest::addColumn<QByteArray>("localAfter");
        QTest::addColumn<QByteArray>("old"); // NAME.csv.1.old afterwards ("" none)
        QTest::addColumn<QString>("said");   // in the message box, or the status bar when unattended
        QTest::addColumn<QString>("folder"); // "movingonce": the listing after the move is refused
        const QByteArray served = QByteArray("0123456789").repeated(10);
        const QByteArray restarted = "240301,00:00:05,+020.1 logger restarted\r\n";
        const QStringList one{"240301.csv"};
        QTest::newRow("finished file moves") << "mdtm" << true << false << one << QByteArray() << "" << 0
                                             << one << served << QByteArray() << ""
                                             << "moving";
        QTest::newRow("grows between SIZE and DELE")
            << "mdtm" << true << false << QStringList{"grows.csv"} << QByteArray() << "" << 0 << QStringList()
            << served << QByteArray()
            << "grows.csv (it changed on the server during the move: 100 bytes, then 180)"
            << "moving";
        QTest::newRow("time changes between the samples")
            << "mdtm" << true << false << QStringList{"touched.csv"} << QByteArray() << "" << 0
            << QStringList() << served << QByteArray()
            << "touched.csv (it changed on the server during the move: changed"
            << "moving";
        QTest::newRow("MDTM in the future")
            << "mdtm" << true << false << QStringList{"future.csv"} << QByteArray() << "" << 0
            << QStringList() << served << QByteArray() << "is ahead of this computer's clock"
            << "moving";
        QTest::newRow("MDTM just now")
            << "mdtm" << true << false << QStringList{"justnow.csv"} << QByteArray() << "" << 0
            << QStringList() << served << QByteArray() << "justnow.csv (it was changed on the server 1"
            << "moving";
        QTest::newRow("no MDTM: SIZE alone decides")
            << "size" << true << false << one << QByteArray() << "" << 0 << one << served << QByteArray()
            << transfer::kSizeOnlyNote << "moving";
        QTest::newRow("restarted logger: keep both")
            << "mdtm" << true << false << one << restarted << "both" << 1 << one << served << restarted
            << "the local file was renamed to 240301.csv.1.old"
            << "moving";
        QTest::newRow("two loggers, one day name: keep the local file")
            << "mdtm" << true << false << one << restarted << "local" << 1 << QStringList() << restarted
            << QByteArray() << "240301.csv (the local file of that name differs from it and was kept)"
            << "moving";
        QTest::newRow("replace") << "mdtm" << true << false << one << restarted << "replace" << 1 << one
                                 << served << QByteArray()
                                 << "240301.csv differed from the server's copy and was replaced"
                                 << "moving";
        QTest::newRow("the day file grew") << "mdtm" << true << false << one << served.left(40) << "" << 0
                                           << one << served << QByteArray() << ""
                                           << "moving";
        QTest::newRow("the same for the rest of the batch")
            << "mdtm" << true << false << QStringList{"240301.csv", "240302.csv"} << restarted << "both+rest"
            << 1 << QStringList{"240301.csv", "240302.csv"} << served << restarted << "240302.csv.1.old"
            << "moving";
        QTest::newRow("unattended keeps the local file") << "mdtm" << true << true << one << restarted << ""
                                                         << 0 << QStringList() << restarted << QByteArray()
                                                         << "the local file was kept, the server's copy was "
                                                            "not saved (fetch it from the window to choose)"
                                                         << "moving";
        QTest::newRow("copy: keep both") << "mdtm" << false << false << one << restarted << "both" << 1
                                         << QStringList() << served << restarted << "240301.csv.1.old"
                                         << "moving";
        QTest::newRow("the listing after the move is refused")
            << "mdtm" << true << false << QStringList{"grows.csv"} << QByteArray() << "" << 0 << QStringList()
            << served << QByteArray() << "grows.csv (it changed on the server during the move"
            << "movingonce";
    }

    void moveAndCopyMeetChangesAndLocalFiles() {
        QFETCH(QString, scenario);
        QFETCH(bool, move);
        QFETCH(bool, unattended);
        QFETCH(QStringList, names);
        QFETCH(QByteArray, localBefore);
        QFETCH(QString, answer);
        QFETCH(int, questions);
        QFETCH(QStringList, deleted);
        QFETCH(QByteArray, localAfter);
        QFETCH(QByteArray, old);
        QFETCH(QString, said);
        QFETCH(QString, folder);
        w = std::make_unique<WindowFixture>();
        auto scripted = std::make_unique<ScriptedFtpServer>(scenario);
        QVERIFY2(scripted->start(), qPrintable(scripted->errorText()));
        server = std::move(scripted);
        logOn("u", "p");
        c(f()).session().NMFTP1->ChangeDir(folder);
        c(f()).invoke("FreshListing");
        for (const QString& n : names)
            if (!localBefore.isEmpty()) QVERIFY(testfiles::writeFile(local + "/" + n, localBefore));
        for (QListWidgetItem* item : c(f()).FileListBoxFTP()->findItems("*", Qt::MatchWildcard))
            item->setSelected(names.contains(item->text()));
        f().findChild<TransferPage*>()->setUnattended(unattended);
        platform.clear();
        if (!answer.isEmpty())
            platform.existingFileAnswers.enqueue(
                {answer.startsWith("local")     ? Platform::ExistingFileAnswer::KeepLocal
                 : answer.startsWith("replace") ? Platform::ExistingFileAnswer::Replace
                                                : Platform::ExistingFileAnswer::KeepBoth,
                 answer.endsWith("+rest")});
        platform.answers.enqueue(Platform::Answer::Yes);
        QTest::mouseClick(move ? c(f()).MoveSelected() : c(f()).CopySelected(), Qt::LeftButton);

        QCOMPARE(platform.existingFileQuestions.size(), questions);
        if (questions > 0)
            QVERIFY2(platform.existingFileQuestions[0].contains("Keep both: the local file is renamed to " +
                                                                names[0] + ".1.old"),
                     qPrintable(platform.existingFileQuestions[0]));
        QStringList dele;
        for (const QString& line : server->commands())
            if (line.startsWith("DELE ")) dele << line.mid(5);
        QCOMPARE(dele, deleted);
        for (const QString& n : names) {
            QCOMPARE(fileBytes(local + "/" + n), localAfter);
            QCOMPARE(QFile::exists(local + "/" + n + ".1.old"), !old.isEmpty());
            if (!old.isEmpty()) QCOMPARE(fileBytes(local + "/" + n + ".1.old"), old);
            QVERIFY(!QFile::exists(local + "/" + n + ".2.old"));
        }
        // Only the day files are listed, never the kept old copies; no temporary file is left.
        QCOMPARE(c(f()).FileListBoxPC()->count(), names.size());
        QCOMPARE(QDir(local).entryList(QDir::Files | QDir::Hidden).size(),
                 names.size() * (old.isEmpty() ? 1 : 2));
        // A refused listing after the move is told as well, after what stayed where.
        QCOMPARE(platform.errors.size(), folder == "movingonce" ? 1 : 0);
        const QString told =
            unattended ? c(f()).StatusBar1()->currentMessage() : platform.messages.join("\n");
        if (said.isEmpty())
            QCOMPARE(platform.messages, QStringList());
        else
            QVERIFY2(told.contains(said), qPrintable(told));
        if (unattended) QCOMPARE(platform.messages, QStringList());
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

    // Cancel while each phase of a move is awaited: the window is usable again before the slow
    // server answers, nothing more goes to the server, nothing is written here, and no error box.
    void cancelInEveryPhase_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("awaited"); // the command whose answer is awaited when Cancel comes
        QTest::addColumn<QString>("how");     // Cancel, the window's close box, or Exit
        QTest::newRow("close box, slow TYPE") << "late-TYPE"
                                              << "091201.csv"
                                              << "TYPE I"
                                              << "close";
        QTest::newRow("Exit, slow 150") << "late-150"
                                        << "091201.csv"
                                        << "RETR"
                                        << "exit";
        QTest::newRow("slow TYPE") << "late-TYPE"
                                   << "091201.csv"
                                   << "TYPE I"
                                   << "cancel";
        QTest::newRow("slow SIZE") << "late-SIZE"
                                   << "091201.csv"
                                   << "SIZE"
                                   << "cancel";
        QTest::newRow("slow EPSV") << "late-EPSV"
                                   << "091201.csv"
                                   << "EPSV"
                                   << "cancel";
        QTest::newRow("slow 150") << "late-150"
                                  << "091201.csv"
                                  << "RETR"
                                  << "cancel";
        QTest::newRow("data connection never opens") << "late-connect"
                                                     << "091201.csv"
                                                     << "EPSV"
                                                     << "cancel";
        QTest::newRow("slow data") << "late-none"
                                   << "slow.csv"
                                   << "RETR"
                                   << "cancel";
        QTest::newRow("ABOR never answered") << "late-none"
                                             << "mute.csv"
                                             << "RETR"
                                             << "cancel";
    }
    void cancelInEveryPhase() {
        QFETCH(QString, scenario);
        QFETCH(QString, file);
        QFETCH(QString, awaited);
        QFETCH(QString, how);
        w = std::make_unique<WindowFixture>();
        auto scripted = std::make_unique<ScriptedFtpServer>(scenario);
        QVERIFY2(scripted->start(), qPrintable(scripted->errorText()));
        server = std::move(scripted);
        logOn("u", "p");
        c(f()).session().NMFTP1->ChangeDir("pick-" + file);
        c(f()).invoke("FreshListing");
        QCOMPARE(remoteNames(), (QStringList{file, "240304.csv"}));
        select({0, 1});
        platform.clear();
        // Cancel a moment after the server got the command of the phase.
        qsizetype sentBefore = -1;
        QElapsedTimer sinceCancel;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            const QStringList sent = server->commands();
            if (sentBefore >= 0 || std::none_of(sent.begin(), sent.end(), [&](const QString& line) {
                    return line.startsWith(awaited);
                }))
                return;
            sentBefore = sent.size();
            QTimer::singleShot(300, this, [&] {
                sinceCancel.start();
                if (how == "close")
                    f().close();
                else if (how == "exit")
                    c(f()).Exit1()->trigger();
                else
                    QTest::mouseClick(c(f()).MoveSelectedCancel(), Qt::LeftButton);
            });
        });
        watch.start(20);
        platform.answers.enqueue(Platform::Answer::Yes);
        QTest::mouseClick(c(f()).MoveSelected(), Qt::LeftButton);
        watch.stop();
        QVERIFY2(sinceCancel.isValid(), "the batch ended before the cancel");
        // Usable within the second the server gets to answer the abort, long before its 8 s delay.
        QVERIFY2(sinceCancel.elapsed() < 3000, qPrintable(QString::number(sinceCancel.elapsed())));
        if (how == "cancel") {
            verifyIdle();
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!f().isVisible(), 1000);
            QVERIFY(!c(f()).session().TransferBusy);
            QVERIFY(QApplication::overrideCursor() == nullptr);
        }
        QCOMPARE(platform.errors, QStringList());
        QCOMPARE(platform.messages, QStringList());
        const QStringList after = server->commands().mid(sentBefore);
        for (const QString& line : after)
            QVERIFY2(!line.startsWith("RETR") && !line.startsWith("DELE"), qPrintable(after.join(" | ")));
        QCOMPARE(server->count("DELE"), 0);
        QCOMPARE(QDir(local).entryList(QDir::Files | QDir::Hidden), QStringList());
        if (how != "cancel") return;
        // Both files stay listed, and the count says so.
        QCOMPARE(remoteNames(), (QStringList{file, "240304.csv"}));
        QCOMPARE(c(f()).RemoteFiles1cnt()->text(), QString("2"));
        QVERIFY2(c(f()).StatusBar1()->currentMessage().startsWith("Cancelled"),
                 qPrintable(c(f()).StatusBar1()->currentMessage()));
        // A session the abort closed shows so at once, with Connect ready.
        if (!c(f()).session().NMFTP1->Connected()) {
            QTRY_COMPARE_WITH_TIMEOUT(c(f()).cSTATUS()->text(), QString("FTP Disconnected"), 200);
            QVERIFY(c(f()).ConnectBtn()->isEnabled());
        }
    }

    // What the window shows and keeps when servers misbehave or names are odd.
    void limitsAndNamesInTheWindow_data() {
        QTest::addColumn<QString>("what");
        QTest::newRow("no greeting") << "silent";
        QTest::newRow("greeting without end") << "endless-greeting";
        QTest::newRow("no answer after USER") << "mute-user";
        QTest::newRow("download refused with 502") << "502";
        QTest::newRow("count after a listing without files") << "count";
        QTest::newRow("listing log bounded") << "memo";
        QTest::newRow("copy from date stopped at its entry limit") << "limit";
        QTest::newRow("double click on a name of another suffix") << "view";
        QTest::newRow("two server names shown alike") << "alike";
        QTest::newRow("temporary file left by a killed run") << "leftover";
        QTest::newRow("local folder changed during Copy ALL") << "folder";
    }
    void limitsAndNamesInTheWindow() {
        QFETCH(QString, what);
        w = std::make_unique<WindowFixture>();
        if (what == "silent" || what == "endless-greeting" || what == "mute-user") {
            // The log-on is started by hand (a first start does not log on by itself).
            QTcpServer silent;
            QVERIFY(silent.listen(QHostAddress::LocalHost));
            quint16 port = silent.serverPort();
            if (what != "silent") {
                auto scripted = std::make_unique<ScriptedFtpServer>(what);
                QVERIFY2(scripted->start(), qPrintable(scripted->errorText()));
                port = scripted->port();
                server = std::move(scripted);
            }
            QVERIFY(w->open());
            platform.clear();
            c(f()).HostTxt()->setText("127.0.0.1");
            c(f()).PortTxt()->setText(QString::number(port));
            c(f()).session().NMFTP1->setIdleTimeOut(1000);
            f().findChild<QComboBox*>("SecurityBox")->setCurrentIndex(0); // "Plain FTP": no TLS there
            QTest::mouseClick(c(f()).ConnectBtn(), Qt::LeftButton);
            const QString why = what == "silent"             ? "greeting"
                                : what == "endless-greeting" ? "greeting"
                                                             : "USER";
            QTRY_COMPARE(platform.messages.size(), 1);
            QVERIFY2(platform.messages[0].startsWith("The log-on to 127.0.0.1 failed") &&
                         platform.messages[0].contains(why),
                     qPrintable(platform.messages[0]));
            QVERIFY(c(f()).ConnectBtn()->isEnabled());
            QCOMPARE(c(f()).cSTATUS()->text(), QString("FTP Disconnected"));
            QVERIFY(QApplication::overrideCursor() == nullptr);
            QCOMPARE(platform.errors, QStringList());
            return;
        }
        if (what == "count") {
            start({"091201.csv", "091202.csv"});
            QCOMPARE(c(f()).RemoteFiles1cnt()->text(), QString("2"));
            for (const QString& n : csvIn(served->path()))
                QFile::remove(served->filePath(n));
            QTest::mouseClick(c(f()).RefreshBtn(), Qt::LeftButton);
            QCOMPARE(c(f()).FileListBoxFTP()->count(), 0);
            QCOMPARE(c(f()).RemoteFiles1cnt()->text(), QString("0"));
            return;
        }
        if (what == "folder") {
            // The batch writes where it started, whatever folder the user looks at meanwhile.
            start(tenNames().mid(0, 3));
            const QString other = w->path("other");
            QDir().mkpath(other);
            connect(c(f()).session().NMFTP1, &TNMFTP::OnTransactionStart, this,
                    [&](QObject*) { c(f()).DirectoryListBoxPC()->setDirectory(other); });
            QTest::mouseClick(c(f()).CopyAll(), Qt::LeftButton);
            QCOMPARE(csvIn(local), tenNames().mid(0, 3));
            QCOMPARE(csvIn(other), QStringList());
            return;
        }
        if (what == "leftover") {
            // A download of an earlier run was killed: its temporary file is noted beside the settings.
            QDir(w->work.path()).mkdir("local");
            const QString left = w->path("local/.tervane640-k1ll3d.part");
            testfiles::writeFile(left, "half a file");
            testfiles::writeFile(w->path("tervane640.partial"), "+" + QFile::encodeName(left) + "\n");
            auto scripted = std::make_unique<ScriptedFtpServer>("normal");
            QVERIFY2(scripted->start(), qPrintable(scripted->errorText()));
            server = std::move(scripted);
            logOn("u", "p");
            QVERIFY(!QFile::exists(left));
            return;
        }
        auto scripted = std::make_unique<ScriptedFtpServer>("normal");
        QVERIFY2(scripted->start(), qPrintable(scripted->errorText()));
        server = std::move(scripted);
        logOn("u", "p");
        if (what == "502") {
            c(f()).session().NMFTP1->ChangeDir("pick-refuse502.csv");
            c(f()).invoke("FreshListing");
            select({0});
            platform.clear();
            QTest::mouseClick(c(f()).CopySelected(), Qt::LeftButton);
            QCOMPARE(platform.errors.size(), 1);
            QVERIFY2(platform.errors[0].contains("502"), qPrintable(platform.errors[0]));
            QCOMPARE(platform.messages, QStringList());
            verifyIdle();
        } else if (what == "memo") {
            c(f()).session().NMFTP1->ChangeDir("biglist");
            QVERIFY_THROWS_EXCEPTION(std::exception, c(f()).invoke("FreshListing"));
            QTRY_COMPARE(c(f()).FileListBoxFTP()->count(), 200000); // the lines still waiting are shown
            QCOMPARE(c(f()).RemoteFiles1cnt()->text(), QString("200000"));
            QVERIFY2(c(f()).Memo1()->document()->blockCount() <= 20000,
                     qPrintable(QString::number(c(f()).Memo1()->document()->blockCount())));
            QCOMPARE(c(f()).Memo1()->document()->lastBlock().text(),
                     QString("-rw-r--r-- 1 ftp ftp 9 Mar 3 10:15 0199999.csv"));
        } else if (what == "limit") {
            c(f()).session().NMFTP1->ChangeDir("many");
            c(f()).invoke("FreshListing");
            QCOMPARE(c(f()).FileListBoxFTP()->count(), 33000);
            platform.clear();
            QTest::mouseClick(c(f()).CopyFromDate(), Qt::LeftButton);
            QCOMPARE(csvIn(local), QStringList());
            QCOMPARE(c(f()).MonthCalendar1()->selectedDate(), QDate(2018, 10, 11));
            settings::CFGRecord saved;
            QVERIFY(settings::ReadCFGFile(w->path("csv.cfg"), saved).ok());
            QCOMPARE(settings::DayNumberToDate(saved.copyFromDate()), QDate(2018, 10, 11));
        } else {
            c(f()).session().NMFTP1->ChangeDir("names");
            c(f()).invoke("FreshListing");
            const QString cafe = QString::fromUtf8("caf\u00e9.csv");
            QCOMPARE(remoteNames(), (QStringList{"report.csv.jar", cafe, cafe, "240304.csv"}));
            QCOMPARE(c(f()).RemoteFiles1cnt()->text(), QString("4"));
            platform.clear();
            if (what == "view") {
                auto* files = c(f()).FileListBoxFTP();
                const QPoint at = files->visualItemRect(files->item(0)).center();
                QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, at);
                QTRY_COMPARE(platform.opened.size(), 1);
                QCOMPARE(QFileInfo(platform.opened[0]).fileName(), QString("report.csv.jar.txt"));
                QCOMPARE(fileBytes(platform.opened[0]), QByteArray("0123456789").repeated(10));
                return;
            }
            QTest::mouseClick(c(f()).CopyAll(), Qt::LeftButton);
            // The first of the two is copied under the name shown; the second is reported, not copied.
            QCOMPARE(fileBytes(local + "/" + cafe), QByteArray("latin-1 file\r\n").repeated(5));
            QCOMPARE(server->commands().filter("RETR " + cafe).size(), 1);
            QCOMPARE(platform.messages.size(), 1);
            QVERIFY2(platform.messages[0].contains(cafe), qPrintable(platform.messages[0]));
            QCOMPARE(csvIn(local), (QStringList{"240304.csv", cafe}));
            verifyIdle();
        }
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
            writeFinished(served->filePath(n), testfiles::loggerFile(40));
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
