// Downloads from a local vsftpd with the engine and with curl, side by side: one 256 MiB file,
// 200 files of 100 KB and 2,000 files of 10 KB, each batch over one log-on. The engine asks SIZE before
// every file and flushes every finished file to disk; curl asks SIZE too and flushes nothing. Prints the best
// of three runs, the ratios and the peak memory.
//
//     build/bench/ftp/bench_ftp [--runs N] [--big-mib M]
//     TERVANE_BENCH_NO_SYNC=1 build/bench/ftp/bench_ftp     # copies without the flush a move needs
#include "ftp/nmftp.h"
#include "ftpservers.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <vector>

extern char** environ;

namespace {
constexpr int kManyFiles = 200;
constexpr int kManySize = 100 * 1000;
constexpr int kSmallFiles = 2000;
constexpr int kSmallSize = 10 * 1000;

struct Run {
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

QString g_timeOut; // where /usr/bin/time leaves the peak memory

// Runs a program to its end; its time and its peak resident memory. The peak comes from /usr/bin/time
// (a small parent, so the figure is the program's own); without it, it is 0.
Run measured(const QStringList& program) {
    const bool timed = QFile::exists("/usr/bin/time");
    const QStringList args =
        timed ? QStringList{"/usr/bin/time", "-f", "%M", "-o", g_timeOut} + program : program;
    std::vector<QByteArray> store;
    std::vector<char*> argv;
    for (const QString& a : args)
        store.push_back(a.toLocal8Bit());
    for (QByteArray& b : store)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    Run r;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.seconds = double(t.nsecsElapsed()) / 1e9;
    QFile peak(g_timeOut);
    r.peakKiB =
        timed && peak.open(QIODevice::ReadOnly) ? peak.readAll().trimmed().split('\n').last().toLong() : 0;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

QStringList manyNames() {
    QStringList names;
    for (int i = 0; i < kManyFiles; ++i)
        names << QStringLiteral("%1.csv").arg(240000 + i);
    return names;
}

QStringList smallNames() {
    QStringList names;
    for (int i = 0; i < kSmallFiles; ++i)
        names << QStringLiteral("s%1.csv").arg(100000 + i);
    return names;
}

QStringList namesOf(const QString& what) {
    if (what == "big") return {"big.bin"};
    return what == "many" ? manyNames() : smallNames();
}

// The engine's side, in a process of its own so that its memory is measured alone.
int client(quint16 port, const QString& out, const QString& what) {
    TNMFTP ftp;
    ftp.setSyncDownloads(qEnvironmentVariableIntValue("TERVANE_BENCH_NO_SYNC") == 0);
    ftp.setHost("127.0.0.1");
    ftp.setPort(port);
    ftp.setUserID("anonymous");
    ftp.setPassword("bench@example.invalid");
    try {
        ftp.Connect();
        const QStringList names = namesOf(what);
        for (const QString& name : names)
            ftp.Download(name, out + '/' + name);
        ftp.Disconnect();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine: %s\n", e.what());
        return 1;
    }
    return 0;
}

bool makeFile(const QString& path, qint64 size) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    QByteArray block(1 << 20, 0);
    for (int i = 0; i < block.size(); ++i)
        block[i] = char((i * 131 + 7) & 0xff);
    for (qint64 left = size; left > 0; left -= block.size())
        if (f.write(block.constData(), std::min<qint64>(left, block.size())) < 0) return false;
    return true;
}

bool sameSize(const QString& dir, const QStringList& names, qint64 size) {
    for (const QString& n : names)
        if (QFileInfo(dir + '/' + n).size() != size) return false;
    return true;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == "--client") return client(quint16(args[2].toUInt()), args[3], args[4]);
    int runs = 3;
    qint64 bigMiB = 256;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--runs") runs = args[i + 1].toInt();
        if (args[i] == "--big-mib") bigMiB = args[i + 1].toLongLong();
    }
    QTemporaryDir work(BenchFolder());
    g_timeOut = work.filePath("peak.txt");
    const QString served = work.filePath("served"), out = work.filePath("out");
    QDir().mkpath(served);
    const qint64 bigSize = bigMiB << 20;
    bool made = makeFile(served + "/big.bin", bigSize);
    for (const QString& n : manyNames())
        made = made && makeFile(served + '/' + n, kManySize);
    for (const QString& n : smallNames())
        made = made && makeFile(served + '/' + n, kSmallSize);
    if (!made) {
        std::fprintf(stderr, "cannot write the served files\n");
        return 1;
    }
    VsftpdServer server(served);
    if (!server.start()) {
        std::fprintf(stderr, "vsftpd: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    const QString base = QStringLiteral("ftp://127.0.0.1:%1/").arg(server.port());

    auto best = [&](const QString& what, bool engine) {
        Run bestRun;
        for (int i = 0; i < runs; ++i) {
            QDir(out).removeRecursively();
            QDir().mkpath(out);
            QStringList cmd;
            const QStringList names = namesOf(what);
            if (engine) {
                cmd = {app.applicationFilePath(), "--client", QString::number(server.port()), out, what};
            } else {
                cmd = {"/usr/bin/curl", "-s", "-S", "--ftp-port", "127.0.0.1"};
                for (const QString& n : names)
                    cmd << base + n << "-o" << out + '/' + n;
            }
            Run r = measured(cmd);
            r.ok = r.ok && sameSize(out, names,
                                    what == "big"    ? bigSize
                                    : what == "many" ? kManySize
                                                     : kSmallSize);
            if (!r.ok) return r;
            if (i == 0 || r.seconds < bestRun.seconds) bestRun.seconds = r.seconds;
            bestRun.peakKiB = std::max(bestRun.peakKiB, r.peakKiB);
            bestRun.ok = true;
        }
        QDir(out).removeRecursively();
        return bestRun;
    };

    std::printf("FTP download benchmark, local vsftpd, best of %d runs, files written to disk\n", runs);
    std::printf("%-26s %12s %12s %8s %14s %14s\n", "case", "engine s", "curl s", "ratio", "engine peak MB",
                "curl peak MB");
    int failures = 0;
    for (const QString& what : {QStringLiteral("big"), QStringLiteral("many"), QStringLiteral("small")}) {
        const Run e = best(what, true);
        const Run c = best(what, false);
        const QString label = what == "big"    ? QStringLiteral("1 file of %1 MiB").arg(bigMiB)
                              : what == "many" ? QStringLiteral("%1 files of 100 KB").arg(kManyFiles)
                                               : QStringLiteral("%1 files of 10 KB").arg(kSmallFiles);
        if (!e.ok || !c.ok) {
            std::printf("%-26s failed (engine %s, curl %s)\n", qPrintable(label), e.ok ? "ok" : "FAILED",
                        c.ok ? "ok" : "FAILED");
            ++failures;
            continue;
        }
        const double goal = what == "big" ? 1.0 : what == "many" ? 1.2 : 1.5;
        const double ratio = e.seconds / c.seconds;
        std::printf("%-26s %12.3f %12.3f %8.2f %14.1f %14.1f   goal: ratio <= %.1f, engine < 30 MB: %s\n",
                    qPrintable(label), e.seconds, c.seconds, ratio, e.peakKiB / 1024.0, c.peakKiB / 1024.0,
                    goal, ratio <= goal && e.peakKiB < 30 * 1024 ? "met" : "NOT met");
    }
    return failures ? 1 : 0;
}
