// SPDX-License-Identifier: GPL-3.0-or-later
// `tervane640 --fetch` beside `lftp -e "mirror ..."` on the same local vsftpd and the same tree of day
// files (one a day, on past days), in one run:
//   - the first fetch of every file, both peers into empty folders (best of --runs);
//   - a fetch when nothing is new, every file walked (the mark before the oldest), on vsftpd and on
//     pyftpdlib, whose command log shows whether any RETR was sent;
//   - the peak memory of the fetch process for a tenth of the files and for all of them.
// Options: --files N (2000), --kib K (10), --runs R (3). Needs /usr/bin/time and lftp.
#include "ftpservers.h"
#include "settings/cfgrecord.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {
struct Timed {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;
    QByteArray out;
};

// Runs a program under /usr/bin/time for its wall time and peak memory.
Timed timed(const QString& program, const QStringList& args) {
    QTemporaryDir dir;
    const QString report = dir.filePath("time.txt");
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(v));
    p.setProcessEnvironment(env);
    p.start("/usr/bin/time", QStringList{"-f", "%e %M", "-o", report, program} + args);
    Timed t;
    if (!p.waitForFinished(1800000)) {
        p.kill();
        p.waitForFinished();
        return t;
    }
    t.out = p.readAll();
    QFile f(report);
    if (!f.open(QIODevice::ReadOnly)) return t;
    const QList<QByteArray> fields = f.readAll().trimmed().split('\n').last().split(' ');
    if (fields.size() < 2) return t;
    t.seconds = fields[0].toDouble();
    t.peakKiB = fields[1].toLong();
    t.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return t;
}

void writeLogger(const QString& folder, quint16 port, const QString& user, const QString& password) {
    settings::CFGRecord r;
    r.setHost("127.0.0.1");
    r.setUserId(user);
    r.setPassword(password);
    r.setTLevel(100);
    r.setALevel(100);
    settings::SaveCFGFile(QDir(folder).filePath("csv.cfg"), r);
    QSettings ini(QDir(folder).filePath("tervane640.ini"), QSettings::IniFormat);
    ini.setValue("Connection/Port", port);
    ini.setValue("Connection/Security", "Plain");
    ini.setValue("Connection/DataMode", "Passive");
}

int countCsv(const QString& dir) {
    return QDir(dir).entryList({"*.csv"}, QDir::Files).size();
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int files = 2000, kib = 10, runs = 3;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i) {
        if (a[i] == "--files") files = a[i + 1].toInt();
        if (a[i] == "--kib") kib = a[i + 1].toInt();
        if (a[i] == "--runs") runs = std::max(1, a[i + 1].toInt());
    }
    QTemporaryDir work(BenchFolder());
    const QString served = work.filePath("served");
    QDir().mkpath(served);
    const QDate today = QDate::currentDate();
    const QDate oldest = today.addDays(-files);
    QStringList names;
    for (int i = 0; i < files; ++i) {
        const QDate d = oldest.addDays(i);
        const QString n = d.toString("yyMMdd") + ".csv";
        names << n;
        QByteArray body(kib * 1024, 'x');
        body[0] = char('0' + i % 10);
        QFile f(served + '/' + n);
        f.open(QIODevice::WriteOnly);
        f.write(body);
    }
    QFile::setPermissions(work.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadOther | QFile::ExeOther);
    VsftpdServer vs(served);
    if (!vs.start()) {
        std::fprintf(stderr, "vsftpd: %s\n", qPrintable(vs.errorText()));
        return 1;
    }
    const QString config = work.filePath("config");
    QDir().mkpath(config);
    writeLogger(config, vs.port(), "anonymous", "bench@");
    const QString from = oldest.toString(Qt::ISODate);

    // The first fetch, both peers into empty folders.
    double mine = 1e9, lftp = 1e9;
    long minePeak = 0;
    bool same = true;
    for (int r = 0; r < runs; ++r) {
        const QString local = work.filePath(QString("mine%1").arg(r)),
                      mirror = work.filePath(QString("lftp%1").arg(r));
        QDir().mkpath(local);
        const Timed m = timed(TERVANE_EXE, {"--fetch", "--config", config, "--to", local, "--from", from});
        if (!m.ok || countCsv(local) != files) {
            std::fprintf(stderr, "the fetch did not complete:\n%s\n", m.out.right(2000).constData());
            return 1;
        }
        mine = std::min(mine, m.seconds);
        minePeak = std::max(minePeak, m.peakKiB);
        const Timed l =
            timed("/usr/bin/lftp",
                  {"-u", "anonymous,bench@", "-p", QString::number(vs.port()), "-e",
                   QString("set ftp:passive-mode on; set net:max-retries 1; mirror --parallel=1 . %1; quit")
                       .arg(mirror),
                   "127.0.0.1"});
        if (countCsv(mirror) != files) {
            std::fprintf(stderr, "lftp did not complete:\n%s\n", l.out.right(2000).constData());
            return 1;
        }
        lftp = std::min(lftp, l.seconds);
        for (const QString& n : names)
            if (bytesOf(local + '/' + n) != bytesOf(served + '/' + n) ||
                bytesOf(mirror + '/' + n) != bytesOf(served + '/' + n))
                same = false;
        QDir(mirror).removeRecursively();
        if (r + 1 < runs) QDir(local).removeRecursively();
    }

    // Nothing new: the last run's folder is complete; every file is walked again.
    const QString local = work.filePath(QString("mine%1").arg(runs - 1));
    double idle = 1e9;
    for (int r = 0; r < runs; ++r) {
        const Timed m = timed(TERVANE_EXE, {"--fetch", "--config", config, "--to", local, "--from", from});
        if (!m.ok || m.out.contains("fetched ")) {
            std::fprintf(stderr, "the idle fetch fetched or failed:\n%s\n", m.out.right(2000).constData());
            return 1;
        }
        idle = std::min(idle, m.seconds);
    }
    // The same on pyftpdlib, whose log tells every command.
    PyFtpdServer py(served);
    if (!py.start()) {
        std::fprintf(stderr, "pyftpdlib: %s\n", qPrintable(py.errorText()));
        return 1;
    }
    const QString pyConfig = work.filePath("pyconfig");
    QDir().mkpath(pyConfig);
    writeLogger(pyConfig, py.port(), "user", "secret");
    const Timed pyIdle = timed(TERVANE_EXE, {"--fetch", "--config", pyConfig, "--to", local, "--from", from});
    const int retr = py.count("RETR");

    // Peak memory for a tenth of the files.
    const QString tenth = work.filePath("tenth");
    QDir().mkpath(tenth);
    const Timed small = timed(TERVANE_EXE, {"--fetch", "--config", config, "--to", tenth, "--from",
                                            oldest.addDays(files - files / 10).toString(Qt::ISODate)});

    std::printf("%d files of %d KiB on past days, local vsftpd, best of %d\n", files, kib, runs);
    std::printf("%-44s %10s %10s %7s\n", "case", "fetch s", "lftp s", "ratio");
    std::printf("%-44s %10.2f %10.2f %7.2f\n", "first fetch (lftp mirror)", mine, lftp, mine / lftp);
    std::printf("%-44s %10.2f %10s %7s\n", "nothing new, all walked (vsftpd)", idle, "-", "-");
    std::printf("%-44s %10.2f %10s %7s\n", "nothing new, all walked (pyftpdlib)", pyIdle.seconds, "-", "-");
    std::printf("RETR sent by the idle fetch (pyftpdlib's log): %d\n", retr);
    std::printf("peak memory of the fetch: %.1f MB for %d files, %.1f MB for %d files\n",
                small.peakKiB / 1024.0, files / 10, minePeak / 1024.0, files);
    std::printf("every copy byte for byte the same as the file served and as lftp's: %s\n",
                same ? "yes" : "NO");
    return 0;
}
