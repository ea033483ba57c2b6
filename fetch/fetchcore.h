// SPDX-License-Identifier: GPL-3.0-or-later
// One fetch of one logger: log on with the logger's settings, walk its remote folder from the day before
// the "complete up to" mark, and bring every CSV day file that is missing locally or has grown on the
// server. The window's timer, `tervane640 --fetch` and the systemd timer all run this; it never asks:
// what the window would ask is a reason in the result. QtCore and QtNetwork only.
//
//     fetch::Fetcher f;
//     fetch::Options o;
//     o.settingsFolder = "~/.config/Tervane640/site2";
//     const fetch::Result r = f.run(o);      // waits in nested event loops; cancel() ends it
//     for (const fetch::FileReport& file : r.files) ...
#pragma once

#include "fetch/newreadings.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>

class TNMFTP;

namespace fetch {

struct Options {
    QString settingsFolder;   // holds csv.cfg and tervane640.ini
    QString to;               // "" = the local folder stored for the logger
    QDate from;               // invalid = from the mark (or csv.cfg's copy-from date at the first fetch)
    QString trustCertificate; // "SHA256:AB:CD:..." stored for the host and port before the log-on
    bool allowPlain = false;  // store the permission to log on without encryption
};

struct FileReport {
    enum class Outcome { Fetched, Kept, Failed };
    QString name;
    Outcome outcome = Outcome::Fetched;
    qint64 bytes = 0;
    QString reason;
    qint64 previousLength = -1; // -1: there was no local file
    QList<OverLevel> over;      // readings over a level among the rows that arrived
};

struct Result {
    enum class Status { Complete, Partial, NothingDone, Cancelled };
    Status status = Status::NothingDone;
    QString reason;      // why nothing could be done, or why the walk stopped
    QString fingerprint; // the server's certificate when it is not trusted yet ("AB:CD:...")
    QString localFolder;
    QList<FileReport> files;
    int upToDate = 0; // files that were here already
    QDate mark;       // the mark after this fetch (invalid when it did not move)

    int fetched() const;
    int keptOrFailed() const;
    // 0 all due is here, 1 some files kept or failed (or the walk stopped), 2 nothing could be done.
    int exitCode() const;
    // "3 new files, 2 up to date, 1 kept" ...
    QString summary() const;
};

class Fetcher : public QObject {
    Q_OBJECT
public:
    explicit Fetcher(QObject* parent = nullptr);
    ~Fetcher() override;

    // Runs one fetch; waits inside the engine's nested event loops. The session stays open for the next
    // run with the same account when keepSession is on (the window); otherwise it closes at the end.
    Result run(const Options& options);
    bool running() const { return m_running; }
    // Ends the run at once (the file under way is dropped, nothing partial stays).
    void cancel();
    void setKeepSession(bool on) { m_keepSession = on; }
    // The folder under the local folder where files are received before they join the data files.
    static QString stagingFolder(const QString& localFolder);

signals:
    // A file was fetched, kept or failed (as it happens, for output line by line).
    void fileDone(const fetch::FileReport& file);

private:
    Result runLocked(const Options& options, const QString& iniPath, const QString& local);
    // Logs on, or keeps the open session of the same account; true when it was kept.
    bool ensureSession(const Options& options, const QString& iniPath, Result& result);

    TNMFTP* m_ftp = nullptr;
    QString m_sessionKey;
    bool m_running = false;
    bool m_cancelled = false;
    bool m_keepSession = false;
    QString m_untrusted;
    QString m_trusted;
};

} // namespace fetch
