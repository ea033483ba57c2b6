// SPDX-License-Identifier: GPL-3.0-or-later
// "Fetch new files every" on the real window against pyftpdlib: the fetch waits for the window to be
// free, the day file on screen follows it, and new readings over the level are one notification.
#include "controls.h"
#include "fetch/folderlock.h"
#include "ftpservers.h"
#include "logdata/stringgrid.h"
#include "loggerfiles.h"
#include "settings/cfgrecord.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

class AutoFetchTest : public QObject {
    Q_OBJECT
private slots:
    void timerFetchFollowsTheLogger();
    void sessionDroppedBetweenFetches();
};

namespace {
QByteArray rowsOver(int from, int count, const QByteArray& day) {
    QByteArray out;
    for (int i = from; i < from + count; ++i) {
        QByteArray row = testfiles::loggerRow(i, day);
        row.replace(row.indexOf(',', 9) + 1, 6, "+099.0"); // Temperature 1, over the level of 40
        out += row + "\r\n";
    }
    return out;
}
void writeSettings(const WindowFixture& w, quint16 port, const QString& data, const QDate& from) {
    settings::CFGRecord r;
    r.setHost(QStringLiteral("127.0.0.1"));
    r.setUserId(QStringLiteral("user"));
    r.setPassword(QStringLiteral("secret"));
    r.setTLevel(40);
    r.setALevel(90);
    r.setCopyFromDate(settings::DateToDayNumber(from));
    QVERIFY(settings::SaveCFGFile(w.path(QStringLiteral("csv.cfg")), r).ok());
    {
        QSettings ini(w.path(QStringLiteral("tervane640.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("Connection/Port"), port);
        ini.setValue(QStringLiteral("Connection/Security"), QStringLiteral("Plain"));
        ini.setValue(QStringLiteral("Fetch/Every"), true);
        ini.setValue(QStringLiteral("Fetch/Minutes"), 1);
        ini.setValue(QStringLiteral("Fetch/LocalFolder"), data);
    }
}
} // namespace

void AutoFetchTest::timerFetchFollowsTheLogger() {
    FakePlatform platform;
    WindowFixture w;
    QTemporaryDir served;
    const QDate today = QDate::currentDate();
    const QByteArray day = today.toString(QStringLiteral("yyMMdd")).toLatin1();
    const QString name = QString::fromLatin1(day + ".csv");
    const QByteArray start = testfiles::loggerFile(300, day);
    QVERIFY(testfiles::writeFile(served.filePath(name), start));
    PyFtpdServer server(served.path());
    QVERIFY2(server.start(), qPrintable(server.errorText()));

    const QString data = w.path(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(data));
    QVERIFY(testfiles::writeFile(QDir(data).filePath(name), start));
    writeSettings(w, server.port(), data, today);
    QVERIFY(w.open());
    auto* box = w.form->findChild<QCheckBox*>(QStringLiteral("AutoFetchBox"));
    auto* label = w.form->findChild<QLabel*>(QStringLiteral("AutoFetchLabel"));
    QVERIFY(box && label);
    QVERIFY(box->isChecked());
    // The window's own log-on at start-up uses the port kept in tervane640.ini.
    QCOMPARE(Controls(w.form.get()).PortTxt()->text(), QString::number(server.port()));
    QTRY_VERIFY_WITH_TIMEOUT(Controls(w.form.get()).session().FtpConnected, 20000);
    // The fetch at start-up finds the day file here already: one walk, no transfer.
    QTRY_VERIFY_WITH_TIMEOUT(label->text().contains(QStringLiteral("0 new files at")), 20000);
    QCOMPARE(server.count("RETR"), 0);

    // The day file on screen; Temperature 1 zoomed to its newest rows with the tracker, Chart1 on an
    // older span.
    w.form->OpenFile(QDir(data).filePath(name));
    Controls c(w.form.get());
    const int rowsBefore = c.StringGrid1()->RowCount();
    TDecisionGraph* newest = c.DecisionGraphT1();
    TDecisionGraph* older = c.Chart1();
    newest->undoZoom();
    const int last = newest->visibleIndexRange().second;
    newest->zoomX(last - 99, last);
    newest->setTrackerIndex(last - 10);
    older->zoomX(50, 100);

    // Rows over the level arrive on the server while a modal box is open: the fetch waits for it.
    QFile grow(served.filePath(name));
    QVERIFY(grow.open(QIODevice::Append));
    grow.write(rowsOver(300, 7, day));
    grow.close();
    QDialog modal(w.form.get());
    modal.setWindowModality(Qt::ApplicationModal);
    modal.show();
    box->click();
    box->click(); // off and on: fetch now
    QTest::qWait(1500);
    QCOMPARE(server.count("RETR"), 0);
    QVERIFY2(label->text().contains(QStringLiteral("when the window is free")), qPrintable(label->text()));
    modal.close();
    QTRY_VERIFY_WITH_TIMEOUT(label->text().contains(QStringLiteral("1 new file at")), 20000);
    QCOMPARE(server.count("RETR"), 1);

    // The page follows the grown file: the newest span extends, the older one and the tracker stay.
    QTRY_COMPARE(c.StringGrid1()->RowCount(), rowsBefore + 7);
    QCOMPARE(newest->visibleXMin(), double(last - 99));
    QCOMPARE(newest->visibleXMax(), double(last + 7));
    QCOMPARE(newest->trackerIndex(), last - 10);
    QCOMPARE(older->visibleXMin(), 50.0);
    QCOMPARE(older->visibleXMax(), 100.0);

    // One notification for the fetch, with the channel, the count and the first time.
    QCOMPARE(platform.notifications.size(), 1);
    QVERIFY2(platform.notifications.first().contains(
                 QStringLiteral("%1 T1: 7 over the level from 05:00:00").arg(name)),
             qPrintable(platform.notifications.first()));

    // A fetch from the command line or a timer holds the folder: the window's batch into it waits.
    fetch::FolderLock held(data);
    QVERIFY(held.tryLock());
    const int retr = server.count("RETR");
    QVERIFY(QFile::remove(QDir(data).filePath(name)));
    c.CopyFromDate()->click();
    QTRY_VERIFY(platform.messages.join('|').contains(QStringLiteral("The local folder is busy")));
    QCOMPARE(server.count("RETR"), retr);
    QVERIFY(!QFile::exists(QDir(data).filePath(name)));
}

void AutoFetchTest::sessionDroppedBetweenFetches() {
    FakePlatform platform;
    WindowFixture w;
    QTemporaryDir served;
    const QDate today = QDate::currentDate();
    const QByteArray day = today.toString(QStringLiteral("yyMMdd")).toLatin1();
    QVERIFY(testfiles::writeFile(served.filePath(QString::fromLatin1(day + ".csv")),
                                 testfiles::loggerFile(30, day)));
    // The server drops a control connection that is silent for a second.
    PyFtpdServer server(served.path(), "user", "secret", 1);
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    const QString data = w.path(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(data));
    writeSettings(w, server.port(), data, today);
    QVERIFY(w.open());
    auto* box = w.form->findChild<QCheckBox*>(QStringLiteral("AutoFetchBox"));
    auto* label = w.form->findChild<QLabel*>(QStringLiteral("AutoFetchLabel"));
    QTRY_VERIFY_WITH_TIMEOUT(label->text().contains(QStringLiteral("1 new file at")), 20000);
    QVERIFY(QFile::remove(QDir(data).filePath(QString::fromLatin1(day + ".csv"))));
    QTest::qWait(2500);
    // The next fetch logs on again by itself.
    box->click();
    box->click();
    QTRY_COMPARE_WITH_TIMEOUT(server.count("RETR"), 2, 20000);
    QTRY_VERIFY(label->text().contains(QStringLiteral("1 new file at")));
    QVERIFY2(!label->text().contains(QStringLiteral("failed")), qPrintable(label->text()));
}

QTEST_MAIN(AutoFetchTest)
#include "autofetch_test.moc"
