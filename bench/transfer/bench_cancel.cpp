// How long the window takes from a click on Cancel to usable buttons, for a move cancelled while each
// phase of a download is awaited from a slow scripted server (8 s late in that phase), through the
// real window (offscreen). The goal is under 1 s; a server that never answers the abort is given 1 s.
//   bench_cancel [--runs R]
#include "app/application.h"
#include "app/mainwindow.h"
#include "controls.h"
#include "fakeplatform.h"
#include "ftp/nmftp.h"
#include "ftpservers.h"
#include "settings/cfgrecord.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {
struct Phase {
    const char* name;
    const char* scenario;
    const char* file;
    const char* awaited;
};

// One cancelled move; the milliseconds from the click to the enabled Move button, -1 on failure.
qint64 cancelOnce(const Phase& p, FakePlatform& platform) {
    ScriptedFtpServer server(QString::fromLatin1(p.scenario));
    if (!server.start()) {
        std::fprintf(stderr, "scripted server: %s\n", qPrintable(server.errorText()));
        return -1;
    }
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.filePath(".config")));
    settings::CFGRecord r;
    r.setHost("127.0.0.1");
    r.setUserId("u");
    r.setPassword("p");
    if (!settings::SaveCFGFile(work.filePath("csv.cfg"), r).ok()) return -1;
    QDir(work.path()).mkdir("local");
    auto form = std::make_unique<TForm1>();
    c(form).PortTxt()->setText(QString::number(server.port()));
    form->show();
    for (int i = 0; i < 500 && !form->Initialised(); ++i)
        QTest::qWait(10);
    for (int i = 0; i < 500 && !c(form).session().FtpConnected; ++i)
        QTest::qWait(10);
    if (!c(form).session().FtpConnected) return -1;
    c(form).DirectoryListBoxPC()->setDirectory(work.filePath("local"));
    c(form).session().NMFTP1->ChangeDir(QStringLiteral("pick-") + p.file);
    c(form).invoke("FreshListing");
    c(form).FileListBoxFTP()->selectAll();
    QElapsedTimer sinceCancel;
    bool clicked = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const QStringList sent = server.commands();
        if (clicked || std::none_of(sent.begin(), sent.end(),
                                    [&](const QString& l) { return l.startsWith(QLatin1String(p.awaited)); }))
            return;
        clicked = true;
        QTimer::singleShot(300, [&] {
            sinceCancel.start();
            QTest::mouseClick(c(form).MoveSelectedCancel(), Qt::LeftButton);
        });
    });
    watch.start(10);
    platform.answers.enqueue(Platform::Answer::Yes);
    QTest::mouseClick(c(form).MoveSelected(), Qt::LeftButton);
    watch.stop();
    const bool usable = c(form).MoveSelected()->isEnabled() && !c(form).MoveSelected()->isHidden();
    const qint64 ms = sinceCancel.isValid() && usable ? sinceCancel.elapsed() : -1;
    form.reset();
    return ms;
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    int runs = 3;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    FakePlatform platform;
    const Phase phases[] = {{"slow TYPE reply", "late-TYPE", "091201.csv", "TYPE I"},
                            {"slow SIZE reply", "late-SIZE", "091201.csv", "SIZE"},
                            {"slow EPSV reply", "late-EPSV", "091201.csv", "EPSV"},
                            {"slow 150 reply", "late-150", "091201.csv", "RETR"},
                            {"data connection never opens", "late-connect", "091201.csv", "EPSV"},
                            {"slow data, ABOR answered", "late-none", "slow.csv", "RETR"},
                            {"slow data, ABOR never answered", "late-none", "mute.csv", "RETR"}};
    std::printf("Cancel of a move: click to usable window (ms), goal under 1000, %d runs each\n", runs);
    std::printf("%-34s %8s %8s\n", "phase awaited", "median", "worst");
    int failures = 0;
    for (const Phase& p : phases) {
        std::vector<qint64> ms;
        for (int r = 0; r < runs; ++r) {
            const qint64 t = cancelOnce(p, platform);
            if (t < 0) ++failures;
            ms.push_back(t);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-34s %8lld %8lld\n", p.name, static_cast<long long>(ms[ms.size() / 2]),
                    static_cast<long long>(ms.back()));
        std::fflush(stdout);
    }
    if (failures) std::printf("%d runs did not end in a usable window\n", failures);
    return failures ? 1 : 0;
}
