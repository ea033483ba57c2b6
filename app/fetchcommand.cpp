// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fetchcommand.h"

#include "fetch/fetchcore.h"
#include "fetch/fetchsettings.h"
#include "platform/platform.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QProcess>
#include <QTextStream>

#include <cstdio>
#include <cstring>

namespace {
QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}

// The alarm command gets the facts of one line as its arguments ($1 file, $2 channel, $3 count, $4 time)
// and the line on its standard input; it may take a minute.
void runAlarmCommand(const QString& command, const QStringList& facts) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(QStringLiteral("/bin/sh"),
            QStringList{QStringLiteral("-c"), command, QStringLiteral("tervane640-alarm")} + facts);
    if (!p.waitForStarted(10000)) {
        out() << "failed alarm command: it could not be started\n";
        return;
    }
    p.write((QStringLiteral("over ") + facts.join(QLatin1Char(' ')) + QLatin1Char('\n')).toUtf8());
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        out() << "failed alarm command: it did not end within a minute\n";
    }
}
} // namespace

void DescribeFetchOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {QStringLiteral("fetch"),
         QStringLiteral("Fetch the logger's new and grown day files once, without a window, then exit "
                        "(0: all due is here, 1: some files kept or failed, 2: nothing could be done).")},
        {QStringLiteral("config"),
         QStringLiteral("With --fetch: the logger's settings folder, or the csv.cfg in it (default: the "
                        "window's own)."),
         QStringLiteral("PATH")},
        {QStringLiteral("to"),
         QStringLiteral("With --fetch: the local folder to fetch into (default: the one stored for the "
                        "logger)."),
         QStringLiteral("FOLDER")},
        {QStringLiteral("from"),
         QStringLiteral("With --fetch: walk the files from this day on (YYYY-MM-DD) instead of the "
                        "stored mark."),
         QStringLiteral("DATE")},
        {QStringLiteral("on-alarm"),
         QStringLiteral("With --fetch: run this shell command for each new reading over a level, with "
                        "the file, channel, count and first time as $1 to $4."),
         QStringLiteral("CMD")},
        {QStringLiteral("trust-certificate"),
         QStringLiteral("With --fetch: trust this server certificate for the logger's host and port from "
                        "now on."),
         QStringLiteral("SHA256:...")},
        {QStringLiteral("allow-plain"),
         QStringLiteral("With --fetch: allow logging on to the logger's server without encryption from "
                        "now on.")},
    });
}

bool AsksForFetch(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--fetch") == 0 || std::strcmp(argv[i], "-fetch") == 0) return true;
    }
    return false;
}

int RunFetchCommand(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral(TERVANE_VERSION));
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    DescribeFetchOptions(parser);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tervane640: --fetch takes no file\n");
        return 2;
    }
    fetch::Options options;
    options.settingsFolder = fetch::SettingsFolderFor(parser.value(QStringLiteral("config")));
    options.to = parser.value(QStringLiteral("to"));
    if (parser.isSet(QStringLiteral("from"))) {
        options.from = QDate::fromString(parser.value(QStringLiteral("from")), Qt::ISODate);
        if (!options.from.isValid()) {
            out() << "nothing fetched: \"" << parser.value(QStringLiteral("from"))
                  << "\" is not a date (YYYY-MM-DD)\n";
            return 2;
        }
    }
    options.trustCertificate = parser.value(QStringLiteral("trust-certificate"));
    options.allowPlain = parser.isSet(QStringLiteral("allow-plain"));
    const QString alarm = parser.value(QStringLiteral("on-alarm"));

    fetch::Fetcher fetcher;
    QObject::connect(&fetcher, &fetch::Fetcher::fileDone, [&](const fetch::FileReport& f) {
        switch (f.outcome) {
        case fetch::FileReport::Outcome::Fetched:
            out() << "fetched " << f.name << ' ' << f.bytes << '\n';
            break;
        case fetch::FileReport::Outcome::Kept:
            out() << "kept " << f.name << ": " << f.reason << '\n';
            break;
        case fetch::FileReport::Outcome::Failed:
            out() << "failed " << f.name << ": " << f.reason << '\n';
            break;
        }
        for (const fetch::OverLevel& o : f.over) {
            const QStringList facts{f.name, o.channel, QString::number(o.count), o.firstTime};
            out() << "over " << facts.join(QLatin1Char(' ')) << '\n';
            out().flush();
            if (!alarm.isEmpty()) runAlarmCommand(alarm, facts);
        }
        out().flush();
    });
    const fetch::Result r = fetcher.run(options);
    if (r.status == fetch::Result::Status::NothingDone)
        out() << "nothing fetched: " << r.reason << '\n';
    else
        out() << "done: " << r.summary() << '\n';
    out().flush();
    return r.exitCode();
}
