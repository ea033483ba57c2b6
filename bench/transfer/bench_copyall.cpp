// "Copy ALL" through the real window (offscreen) beside curl fetching the same
// files over one log-on, from a local vsftpd, in one run.
//   bench_copyall [--files N] [--kib K] [--runs R] [--mode active|passive] [--tls]
//   bench_copyall ... --shot FILE.png   # the window as the last Copy ALL left it
//   bench_copyall --server HOST:PORT [--user U --password P] [--folder F] [--runs R] [--mode ...]
// --server: any FTP server instead of the local vsftpd; every .csv file of F (the log-on folder by
// default) is fetched. Either way the window's copies are compared byte for byte with curl's.
// --tls: vsftpd offers explicit TLS with a certificate made at run time; the window logs on with
// "TLS required" (the certificate trusted once) and curl runs with --ssl-reqd.
#include "app/application.h"
#include "app/mainwindow.h"
#include "controls.h"
#include "fakeplatform.h"
#include "ftp/nmftp.h"
#include "ftpservers.h"
#include "localfiles/folderlists.h"
#include "settings/cfgrecord.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cstdio>

namespace {
QByteArray fileBody(int kib, int seed) {
    QByteArray row =
        "091201,00:00:00,+025.3,+024.1,000123,000031,12.5,07.4,00.0,13.8,0,0,0,0,0,0,0,0,0,0,0,0,000\r\n";
    QByteArray out;
    while (out.size() < kib * 1024)
        out += row;
    out.resize(kib * 1024);
    out[0] = char('0' + seed % 10);
    return out;
}
// A memory figure of this process in KiB from /proc/self/status (Linux): "VmRSS" now, "VmHWM" the peak
// since the last resetPeak().
long statusKiB(const QByteArray& field) {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLong();
    return 0;
}
void resetPeak() {
    QFile f("/proc/self/clear_refs");
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}
int countFiles(const QString& dir) {
    return QDir(dir).entryList({"*.csv"}, QDir::Files).size();
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    int files = 200, kib = 100, runs = 3;
    bool tls = false, active = true, external = false;
    QString host = "127.0.0.1", user = "anonymous", password = "bench@example.com", folder, shot;
    quint16 port = 0;
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--tls") tls = true;
    for (int i = 1; i + 1 < argc; ++i) {
        const QByteArray a = argv[i];
        if (a == "--mode") active = QByteArray(argv[i + 1]) != "passive";
        if (a == "--files") files = std::atoi(argv[i + 1]);
        if (a == "--kib") kib = std::atoi(argv[i + 1]);
        if (a == "--runs") runs = std::atoi(argv[i + 1]);
        if (a == "--user") user = QString::fromLocal8Bit(argv[i + 1]);
        if (a == "--password") password = QString::fromLocal8Bit(argv[i + 1]);
        if (a == "--folder") folder = QString::fromLocal8Bit(argv[i + 1]);
        if (a == "--shot") shot = QString::fromLocal8Bit(argv[i + 1]); // a picture of the window at the end
        if (a == "--server") {
            const QString hp = QString::fromLocal8Bit(argv[i + 1]);
            external = true;
            host = hp.section(':', 0, -2);
            port = quint16(hp.section(':', -1).toUInt());
        }
    }
    if (external && tls) {
        std::fprintf(stderr, "--tls is for the local vsftpd only\n");
        return 2;
    }
    FakePlatform platform;
    QTemporaryDir work(BenchFolder());
    const QString served = work.filePath("served"), local = work.filePath("local"),
                  out = work.filePath("curl");
    QDir().mkpath(served);
    QDir().mkpath(local);
    QStringList names;
    for (int i = 0; i < (external ? 0 : files); ++i) {
        const QString n = QStringLiteral("%1.csv").arg(180000 + i);
        names << n;
        QFile f(served + '/' + n);
        f.open(QIODevice::WriteOnly);
        f.write(fileBody(kib, i));
    }
    QFile::setPermissions(work.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadOther | QFile::ExeOther);
    VsftpdServer server(served);
    QString cert, key, error;
    if (tls) {
        if (!MakeTestCertificate(work.path(), "bench", "tervane-bench", cert, key, error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        server.offerTls(cert, key, false); // curl hangs on this vsftpd when it must resume the session
        platform.trustAnswers << Platform::TrustAnswer::Once;
    }
    if (!external) {
        if (!server.start()) {
            std::fprintf(stderr, "vsftpd: %s\n", qPrintable(server.errorText()));
            return 1;
        }
        port = server.port();
        folder = served; // this vsftpd does not keep the account in its folder
    }
    // curl's address of a file of the folder (or of the folder itself).
    auto curlUrl = [&](const QString& name) {
        QUrl u;
        u.setScheme("ftp");
        u.setHost(host);
        u.setPort(port);
        if (external) {
            u.setUserName(user);
            u.setPassword(password);
            u.setPath('/' + (folder.isEmpty() ? QString() : folder + '/') + name);
        } else {
            u.setPath(name.isEmpty() ? served + '/' : '/' + name);
        }
        return u.toString(QUrl::FullyEncoded);
    };

    // The window, logged on as the program does at start-up.
    QDir::setCurrent(local);
    settings::CFGRecord r;
    r.setHost(host);
    r.setUserId(user);
    r.setPassword(password);
    settings::SaveCFGFile(local + "/csv.cfg", r);
    {
        QSettings ini(local + "/tervane640.ini", QSettings::IniFormat);
        ini.setValue("Connection/DataMode", active ? "Active" : "Passive");
        ini.setValue("Connection/Security", tls ? "Required" : "Plain");
    }
    TForm1 form;
    c(form).PortTxt()->setText(QString::number(port));
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) std::fprintf(stderr, "the window was not shown\n");
    if (!form.Initialised()) c(form).invoke("PageControl1Enter");
    // The log-on at start-up asks nothing: the certificate made here is trusted once on Connect.
    if (tls && !c(form).session().FtpConnected) c(form).invoke("ConnectBtnClick");
    if (!c(form).session().FtpConnected || c(form).session().NMFTP1->Encrypted() != tls) {
        std::fprintf(stderr, "the window did not log on as asked: %s\n",
                     qPrintable(platform.messages.join("; ")));
        return 1;
    }
    c(form).DirectoryListBoxPC()->setDirectory(local);
    if (!folder.isEmpty()) c(form).session().NMFTP1->ChangeDir(folder);
    c(form).invoke("FreshListing");
    if (external) {
        for (int i = 0; i < c(form).FileListBoxFTP()->count(); ++i)
            names << c(form).FileListBoxFTP()->item(i)->text();
        files = int(names.size());
    }
    if (files == 0 || c(form).FileListBoxFTP()->count() != files) {
        std::fprintf(stderr, "listed %d of %d files\n", c(form).FileListBoxFTP()->count(), files);
        return 1;
    }

    // The listing shown in the remote list, beside curl's LIST of the same folder.
    double bestList = 1e9, bestCurlList = 1e9;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer t;
        t.start();
        c(form).invoke("FreshListing");
        bestList = std::min(bestList, t.nsecsElapsed() / 1e9);
        QProcess curl;
        t.restart();
        QStringList listing{"-s", "-S", "--max-time", "300"};
        if (active)
            listing << "--ftp-port"
                    << "-";
        curl.start("/usr/bin/curl", listing << curlUrl(QString()));
        curl.waitForFinished(600000);
        bestCurlList = std::min(bestCurlList, t.nsecsElapsed() / 1e9);
    }

    double bestWindow = 1e9, bestCurl = 1e9;
    long growthKiB = 0, before = 0;
    int curlRuns = 0;
    for (int run = 0; run < runs; ++run) {
        for (const QString& n : names)
            QFile::remove(local + '/' + n);
        before = statusKiB("VmRSS");
        resetPeak();
        QElapsedTimer t;
        t.start();
        c(form).invoke("CopyAllClick");
        const double s = t.nsecsElapsed() / 1e9;
        growthKiB = std::max(growthKiB, statusKiB("VmHWM") - before);
        if (tls && !c(form).session().NMFTP1->DataEncrypted()) {
            std::fprintf(stderr, "the window's data connections were not encrypted\n");
            return 1;
        }
        if (countFiles(local) != files) {
            std::fprintf(stderr, "window copied %d of %d files\n", countFiles(local), files);
            return 1;
        }
        bestWindow = std::min(bestWindow, s);

        QDir(out).removeRecursively();
        QDir().mkpath(out);
        QStringList cmd{"-s", "-S", "--max-time", "300"};
        if (active)
            cmd << "--ftp-port"
                << "-";
        if (tls)
            cmd << "--ssl-reqd"
                << "--cacert" << cert;
        for (const QString& n : names)
            cmd << curlUrl(n) << "-o" << out + '/' + n;
        QProcess curl;
        t.restart();
        curl.start("/usr/bin/curl", cmd);
        curl.closeWriteChannel();
        curl.waitForFinished(600000);
        const double c = t.nsecsElapsed() / 1e9;
        const bool curlDone = countFiles(out) == files;
        if (curlDone) {
            bestCurl = std::min(bestCurl, c);
            ++curlRuns;
        } else {
            // Seen with vsftpd: curl's passive or TLS session stalls part-way until its time limit.
            std::fprintf(stderr, "curl fetched %d of %d files in %.1f s; its run is left out\n",
                         countFiles(out), files, c);
        }
        // The same bytes as the files served (from the local vsftpd) and as curl's copies.
        QStringList differ;
        for (const QString& n : names) {
            const QByteArray mine = fileBytes(local + '/' + n);
            if ((curlDone && mine != fileBytes(out + '/' + n)) ||
                (!external && mine != fileBytes(served + '/' + n)))
                differ << n;
        }
        if (!differ.isEmpty()) {
            std::fprintf(stderr, "%d copies differ, e.g. %s\n", int(differ.size()),
                         qPrintable(differ.first()));
            return 1;
        }
    }
    std::printf("%-34s %12s %10s %8s\n", "case", "window s", "curl s", "ratio");
    std::printf("%-34s %12.3f %10.3f %8.2f\n",
                qPrintable((external ? QStringLiteral("Copy ALL, %1 files").arg(files)
                                     : QStringLiteral("Copy ALL, %1 x %2 KiB").arg(files).arg(kib)) +
                           QStringLiteral(", %1%2").arg(active ? "active" : "passive", tls ? ", TLS" : "")),
                bestWindow, bestCurl, bestWindow / bestCurl);
    std::printf("%-34s %12.3f %10.3f %8.2f\n",
                qPrintable(QStringLiteral("Listing of %1 files, shown").arg(files)), bestList, bestCurlList,
                bestList / bestCurlList);
    if (!shot.isEmpty()) form.grab().save(shot);
    if (curlRuns == 0) std::printf("(curl did not complete a run: its column is empty)\n");
    std::printf("every copy byte for byte the same as %s\n", external   ? "curl's"
                                                             : curlRuns ? "the file served and as curl's"
                                                                        : "the file served");
    std::printf("window's peak memory during Copy ALL: %.1f MB above the %.1f MB it had before\n",
                growthKiB / 1024.0, before / 1024.0);
    std::printf("(best of %d; files in memory (/dev/shm) unless TERVANE_BENCH_DIR says otherwise; the "
                "window shows its status text, current entry and local list at most ten times a second)\n",
                runs);
    return 0;
}
