// SPDX-License-Identifier: GPL-3.0-or-later
// `tervane640 --fetch` as a systemd timer or a shell user runs it: no display, a real server with its
// command log, the files compared byte for byte.
#include "ftpservers.h"
#include "loggerfiles.h"
#include "settings/cfgrecord.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSettings>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QtTest>

class TestHeadlessFetch : public QObject {
    Q_OBJECT
private slots:
    void fetchesWhatIsDueDayAfterDay();
    void killedAndConcurrentRuns();
    void certificateTrustedFromTheCommandLine();
    void anotherServer();
};

namespace {
struct Run {
    int exitCode = -1;
    QString out;
};

// Every fetch runs as a timer would start it: no display, no platform named.
QProcessEnvironment headless() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(v));
    return env;
}

void startFetch(QProcess& p, const QStringList& args) {
    p.setProcessEnvironment(headless());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(TERVANE_EXE), QStringList{QStringLiteral("--fetch")} + args);
}

Run fetch(const QStringList& args) {
    QProcess p;
    startFetch(p, args);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAll());
    return r;
}

QByteArray dayName(const QDate& d) {
    return d.toString(QStringLiteral("yyMMdd")).toLatin1();
}

// A logger's settings folder: csv.cfg with the account, levels and copy-from date, and the port.
void writeLogger(const QString& folder, quint16 port, const QString& user, const QString& password,
                 const QDate& copyFrom, const QString& security) {
    settings::CFGRecord r;
    r.setHost(QStringLiteral("127.0.0.1"));
    r.setUserId(user);
    r.setPassword(password);
    r.setTLevel(40);
    r.setALevel(90);
    r.setCopyFromDate(settings::DateToDayNumber(copyFrom));
    QVERIFY(settings::SaveCFGFile(QDir(folder).filePath(QStringLiteral("csv.cfg")), r).ok());
    QSettings ini(QDir(folder).filePath(QStringLiteral("tervane640.ini")), QSettings::IniFormat);
    ini.setValue(QStringLiteral("Connection/Port"), port);
    ini.setValue(QStringLiteral("Connection/Security"), security);
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

// The data files of a folder (what the lists and merges take).
QStringList dataFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*")}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray rowsOver(int from, int count, const QByteArray& day) {
    // Temperature 1 at +099.0: over the level of 40.
    QByteArray out;
    for (int i = from; i < from + count; ++i) {
        QByteArray row = testfiles::loggerRow(i, day);
        row.replace(row.indexOf(',', 9) + 1, 6, "+099.0");
        out += row + "\r\n";
    }
    return out;
}
} // namespace

void TestHeadlessFetch::fetchesWhatIsDueDayAfterDay() {
    QTemporaryDir served, config, local;
    const QDate today = QDate::currentDate();
    const QList<QDate> days{today.addDays(-40), today.addDays(-3), today.addDays(-2), today.addDays(-1),
                            today};
    for (const QDate& d : days)
        QVERIFY(testfiles::writeFile(served.filePath(dayName(d) + ".csv"),
                                     testfiles::loggerFile(300, dayName(d))));
    QVERIFY(testfiles::writeFile(served.filePath(QStringLiteral("notes.txt")), "not a day file"));
    PyFtpdServer server(served.path());
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    writeLogger(config.path(), server.port(), "user", "secret", today.addDays(-3), "Plain");
    const QStringList args{"--config", config.filePath("csv.cfg"), "--to", local.path()};

    // The first fetch brings every day file from the copy-from date on, byte for byte.
    Run r = fetch(args);
    QCOMPARE(r.exitCode, 0);
    for (const QDate& d : days.mid(1)) {
        const QString name = QString::fromLatin1(dayName(d) + ".csv");
        QCOMPARE(bytesOf(local.filePath(name)), bytesOf(served.filePath(name)));
        QVERIFY2(
            r.out.contains(
                QStringLiteral("fetched %1 %2\n").arg(name).arg(QFileInfo(served.filePath(name)).size())),
            qPrintable(r.out));
    }
    QCOMPARE(dataFiles(local.path()).size(), 4);
    QVERIFY2(r.out.contains(QStringLiteral("4 fetched")), qPrintable(r.out));
    QVERIFY2(!r.out.contains(QStringLiteral("over ")), qPrintable(r.out));
    QCOMPARE(server.count("RETR"), 4);
    // csv.cfg stays the user's.
    settings::CFGRecord after;
    QVERIFY(settings::ReadCFGFile(config.filePath("csv.cfg"), after).ok());
    QCOMPARE(settings::DayNumberToDate(after.copyFromDate()), today.addDays(-3));

    // Nothing new: one walk, no transfer.
    r = fetch(args);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(!r.out.contains(QStringLiteral("fetched ")), qPrintable(r.out));
    QCOMPARE(server.count("RETR"), 4);

    // Today's file grew with readings over the level: only they are told, and the alarm command
    // gets them.
    const QString todayName = QString::fromLatin1(dayName(today) + ".csv");
    QFile grow(served.filePath(todayName));
    QVERIFY(grow.open(QIODevice::Append));
    grow.write(rowsOver(300, 7, dayName(today)));
    grow.close();
    const QString alarmFile =
        local.filePath(QStringLiteral("../alarm-%1.txt").arg(QCoreApplication::applicationPid()));
    r = fetch(args +
              QStringList{"--on-alarm", QStringLiteral("echo \"$1 $2 $3 $4\" >> '%1'").arg(alarmFile)});
    QFile::remove(alarmFile + QStringLiteral(".unused"));
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(bytesOf(local.filePath(todayName)), bytesOf(served.filePath(todayName)));
    const QString over = QStringLiteral("%1 T1 7 05:00:00").arg(todayName);
    QVERIFY2(r.out.contains(QStringLiteral("over ") + over + QLatin1Char('\n')), qPrintable(r.out));
    QCOMPARE(r.out.count(QStringLiteral("over ")), 1);
    QCOMPARE(QString::fromLocal8Bit(bytesOf(alarmFile)).trimmed(), over);
    QFile::remove(alarmFile);
    QCOMPARE(server.count("RETR"), 5);

    // A local copy that is not a beginning of the server's is kept, and the run says so.
    const QString yesterday = QString::fromLatin1(dayName(today.addDays(-1)) + ".csv");
    const QByteArray mine = "a file of my own\r\n";
    QVERIFY(testfiles::writeFile(local.filePath(yesterday), mine));
    r = fetch(args);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.out.contains(QStringLiteral("kept %1: ").arg(yesterday)), qPrintable(r.out));
    QCOMPARE(bytesOf(local.filePath(yesterday)), mine);
    QCOMPARE(dataFiles(local.path()).size(), 4);
}

void TestHeadlessFetch::killedAndConcurrentRuns() {
    QTemporaryDir served, config, local;
    const QDate today = QDate::currentDate();
    const QString name = QString::fromLatin1(dayName(today) + ".csv");
    QVERIFY(testfiles::writeFile(served.filePath(name), testfiles::loggerFile(40000, dayName(today))));
    PyFtpdServer server(served.path());
    server.setThrottle(200000);
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    writeLogger(config.path(), server.port(), "user", "secret", today, "Plain");
    const QStringList args{"--config", config.path(), "--to", local.path()};

    QProcess first;
    startFetch(first, args);
    QTRY_VERIFY_WITH_TIMEOUT(server.count("RETR") == 1, 20000);
    // A second fetch into the same folder does nothing while the first runs.
    const Run second = fetch(args);
    QCOMPARE(second.exitCode, 2);
    QVERIFY2(second.out.contains(QStringLiteral("another fetch")), qPrintable(second.out));
    QCOMPARE(server.count("RETR"), 1);

    // Killed mid-file: nothing partial among the data files.
    first.kill();
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(dataFiles(local.path()).join(" "), QString());

    // The next run (the server at full speed now) takes the dead run's lock over and completes the file.
    server.stop();
    PyFtpdServer fast(served.path());
    QVERIFY2(fast.start(), qPrintable(fast.errorText()));
    writeLogger(config.path(), fast.port(), "user", "secret", today, "Plain");
    const Run again = fetch(args);
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(bytesOf(local.filePath(name)), bytesOf(served.filePath(name)));
    QCOMPARE(dataFiles(local.path()), QStringList{name});
    QCOMPARE(QDir(local.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{name});
}

void TestHeadlessFetch::certificateTrustedFromTheCommandLine() {
    QTemporaryDir served, config, local, keys;
    QString cert, key, error;
    QVERIFY2(MakeTestCertificate(keys.path(), "server", "tervane-test", cert, key, error), qPrintable(error));
    const QDate today = QDate::currentDate();
    const QString name = QString::fromLatin1(dayName(today) + ".csv");
    QVERIFY(testfiles::writeFile(served.filePath(name), testfiles::loggerFile(50, dayName(today))));
    PyFtpdServer server(served.path());
    server.offerTls(cert, key);
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    writeLogger(config.path(), server.port(), "user", "secret", today, "IfAvailable");
    const QStringList args{"--config", config.path(), "--to", local.path()};

    // Not trusted yet: nothing is sent after the handshake, and the line carries the fingerprint.
    Run r = fetch(args);
    QCOMPARE(r.exitCode, 2);
    const QString fingerprint = QString::fromLatin1(
        QSslCertificate::fromPath(cert).value(0).digest(QCryptographicHash::Sha256).toHex(':').toUpper());
    QVERIFY2(r.out.contains(QStringLiteral("SHA256:") + fingerprint), qPrintable(r.out));
    QCOMPARE(server.count("USER"), 0);

    // A wrong fingerprint is not a way in either.
    QString wrong = fingerprint;
    wrong[0] = wrong[0] == QLatin1Char('A') ? QLatin1Char('B') : QLatin1Char('A');
    r = fetch(args + QStringList{"--trust-certificate", "SHA256:" + wrong});
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(server.count("USER"), 0);

    r = fetch(args + QStringList{"--trust-certificate", "SHA256:" + fingerprint});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(bytesOf(local.filePath(name)), bytesOf(served.filePath(name)));
    // Stored: the next timer run logs on by itself.
    QVERIFY(QFile::remove(local.filePath(name)));
    r = fetch(args + QStringList{"--from", today.toString(Qt::ISODate)});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(bytesOf(local.filePath(name)), bytesOf(served.filePath(name)));
}

void TestHeadlessFetch::anotherServer() {
    QTemporaryDir served, config, local;
    const QDate today = QDate::currentDate();
    for (const QDate& d : {today.addDays(-1), today}) {
        QVERIFY(testfiles::writeFile(served.filePath(dayName(d) + ".csv"),
                                     testfiles::loggerFile(500, dayName(d))));
    }
    VsftpdServer server(served.path());
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    writeLogger(config.path(), server.port(), "anonymous", "fetch@", today.addDays(-1), "IfAvailable");
    const QStringList args{"--config", config.path(), "--to", local.path()};
    // A server without TLS gets no password until the user allows it for that server.
    Run r = fetch(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.out.contains(QStringLiteral("offers no encryption")), qPrintable(r.out));
    QCOMPARE(dataFiles(local.path()).size(), 0);
    r = fetch(args + QStringList{"--allow-plain"});
    QCOMPARE(r.exitCode, 0);
    r = fetch(args); // remembered
    QCOMPARE(r.exitCode, 0);
    for (const QDate& d : {today.addDays(-1), today}) {
        const QString name = QString::fromLatin1(dayName(d) + ".csv");
        QCOMPARE(bytesOf(local.filePath(name)), bytesOf(served.filePath(name)));
    }
    QCOMPARE(dataFiles(local.path()).size(), 2);
}

QTEST_GUILESS_MAIN(TestHeadlessFetch)
#include "headlessfetch_test.moc"
