// SPDX-License-Identifier: GPL-3.0-or-later
#include "fetch/fetchcore.h"

#include "fetch/fetchsettings.h"
#include "fetch/folderlock.h"
#include "ftp/ftperrors.h"
#include "ftp/ftplist.h"
#include "ftp/nmftp.h"
#include "settings/appsettings.h"
#include "settings/cfgrecord.h"
#include "transfer/connectionsettings.h"
#include "transfer/transfercore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <filesystem>
#include <system_error>

namespace fetch {
namespace {
constexpr const char* kStaging = ".tervane640-fetch";

struct Due {
    QString name;
    qint64 listedSize = -1;
};

QString what(const std::exception& e) {
    return QString::fromStdString(e.what()).trimmed();
}

// Replaces `target` by `source` in one step (same folder tree, so the same file system).
bool replaceFile(const QString& source, const QString& target, QString& error) {
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(source.toStdU16String()),
                            std::filesystem::path(target.toStdU16String()), ec);
    if (ec) error = QString::fromLocal8Bit(ec.message().c_str());
    return !ec;
}

QString normalFingerprint(QString text) {
    text = text.trimmed().toUpper();
    if (text.startsWith(QLatin1String("SHA256:"))) text = text.mid(7);
    text.remove(QLatin1Char(':'));
    if (text.size() != 64) return {};
    for (const QChar c : text)
        if (!c.isDigit() && (c < QLatin1Char('A') || c > QLatin1Char('F'))) return {};
    QStringList pairs;
    for (int i = 0; i < 64; i += 2)
        pairs << text.mid(i, 2);
    return pairs.join(QLatin1Char(':'));
}
} // namespace

int Result::fetched() const {
    int n = 0;
    for (const FileReport& f : files)
        n += f.outcome == FileReport::Outcome::Fetched;
    return n;
}

int Result::keptOrFailed() const {
    return int(files.size()) - fetched();
}

int Result::exitCode() const {
    switch (status) {
    case Status::Complete:
        return keptOrFailed() > 0 ? 1 : 0;
    case Status::Partial:
    case Status::Cancelled:
        return 1;
    case Status::NothingDone:
        break;
    }
    return 2;
}

QString Result::summary() const {
    int kept = 0, failed = 0;
    for (const FileReport& f : files) {
        kept += f.outcome == FileReport::Outcome::Kept;
        failed += f.outcome == FileReport::Outcome::Failed;
    }
    QString s = QStringLiteral("%1 fetched, %2 up to date, %3 kept, %4 failed")
                    .arg(fetched())
                    .arg(upToDate)
                    .arg(kept)
                    .arg(failed);
    if (status == Status::Cancelled) s += QStringLiteral("; cancelled");
    if (status == Status::Partial && !reason.isEmpty()) s += QStringLiteral("; stopped: ") + reason;
    if (mark.isValid()) s += QStringLiteral("; complete up to ") + mark.toString(Qt::ISODate);
    return s;
}

Fetcher::Fetcher(QObject* parent) : QObject(parent) {}

// The engine goes with this object (its connection simply closes): a destructor never waits for a server.
Fetcher::~Fetcher() = default;

QString Fetcher::stagingFolder(const QString& localFolder) {
    return QDir(localFolder).filePath(QString::fromLatin1(kStaging));
}

void Fetcher::cancel() {
    if (!m_running) return;
    m_cancelled = true;
    if (m_ftp) {
        if (m_ftp->HasDataConnection())
            m_ftp->Abort();
        else
            m_ftp->Cancel();
    }
}

Result Fetcher::run(const Options& options) {
    Result result;
    if (m_running) {
        result.reason = QStringLiteral("a fetch runs already");
        return result;
    }
    m_running = true;
    m_cancelled = false;
    auto done = qScopeGuard([this] { m_running = false; });

    const QDir folder(options.settingsFolder);
    const QString cfgPath = folder.filePath(QString::fromLatin1(settings::kCfgFileName));
    const QString iniPath = folder.filePath(QString::fromLatin1(transfer::kConnectionSettingsFile));
    if (!QFileInfo::exists(cfgPath)) {
        result.reason = QStringLiteral("no settings: %1 does not exist").arg(cfgPath);
        return result;
    }
    FetchSettings stored = ReadFetchSettings(iniPath);
    QString local = options.to;
    if (local.isEmpty()) local = stored.localFolder;
    if (local.isEmpty()) {
        settings::CFGRecord record;
        if (settings::ReadCFGFile(cfgPath, record).ok()) local = record.folder().trimmed();
    }
    if (local.isEmpty()) {
        result.reason = QStringLiteral("no local folder is stored for this logger: give --to FOLDER");
        return result;
    }
    local = QFileInfo(local).absoluteFilePath();
    if (!QDir().mkpath(local)) {
        result.reason = QStringLiteral("the local folder %1 cannot be made").arg(local);
        return result;
    }
    result.localFolder = local;
    if (stored.localFolder.isEmpty()) {
        // The first folder given becomes the logger's own, for the timer's runs.
        stored.localFolder = local;
        WriteFetchChoices(iniPath, stored);
    }
    FolderLock lock(local);
    if (!lock.tryLock()) {
        result.reason = lock.why();
        return result;
    }
    return runLocked(options, iniPath, local);
}

bool Fetcher::ensureSession(const Options& options, const QString& iniPath, Result& result) {
    settings::CFGRecord record;
    const QString cfgPath =
        QDir(options.settingsFolder).filePath(QString::fromLatin1(settings::kCfgFileName));
    const settings::CfgResult read = settings::ReadCFGFile(cfgPath, record);
    if (!read.ok() && read.status != settings::CfgStatus::ShortFile)
        throw std::runtime_error(QStringLiteral("the settings %1 cannot be read").arg(cfgPath).toStdString());
    const QString host = record.host().trimmed();
    if (host.isEmpty()) throw std::runtime_error("no FTP host is set in csv.cfg");
    const int port = transfer::ReadConnectionPort(iniPath);
    const transfer::ConnectionChoices choices = transfer::ReadConnectionChoices(iniPath);

    if (!options.trustCertificate.isEmpty()) {
        const QString fp = normalFingerprint(options.trustCertificate);
        if (fp.isEmpty())
            throw std::runtime_error(
                QStringLiteral("\"%1\" is not a SHA-256 fingerprint (SHA256: and 32 hexadecimal pairs)")
                    .arg(options.trustCertificate)
                    .toStdString());
        if (!transfer::RememberFingerprint(iniPath, host, port, fp))
            throw std::runtime_error(QStringLiteral("%1 cannot be written").arg(iniPath).toStdString());
    }
    if (options.allowPlain && !transfer::AllowPlainLogon(iniPath, host, port))
        throw std::runtime_error(QStringLiteral("%1 cannot be written").arg(iniPath).toStdString());

    // An unattended log-on never sends the password in clear unless the user allowed it for this
    // server, or chose plain FTP.
    // A server that did TLS before (a trusted certificate, or the window's mark of a TLS log-on) and now
    // refuses it may be an impostor: no plain log-on there either.
    const transfer::ServerMemory memory = transfer::ReadServerMemory(iniPath, host, port);
    const bool tlsBefore = memory.expectsTls();
    TNMFTP::Security security = TNMFTP::Security(choices.security);
    if (security == TNMFTP::SecurityIfAvailable && (tlsBefore || !memory.plainAllowed))
        security = TNMFTP::SecurityRequired;

    const QString key = QStringList{host,
                                    QString::number(port),
                                    record.userId(),
                                    record.password(),
                                    QString::number(security),
                                    QString::number(choices.dataMode),
                                    options.settingsFolder}
                            .join(QChar(0));
    if (m_ftp && m_ftp->Connected() && key == m_sessionKey) return true;
    if (m_ftp) {
        if (m_ftp->Connected()) {
            try {
                m_ftp->Disconnect();
            } catch (const std::exception&) {
            }
        }
        m_ftp->deleteLater();
        m_ftp = nullptr;
    }
    m_ftp = new TNMFTP(this);
    m_ftp->setTimeOut(0);
    m_ftp->setIdleTimeOut(30000);
    m_ftp->setReportLevel(0);
    m_ftp->setParseList(false);
    m_ftp->setHost(host);
    m_ftp->setPort(port);
    m_ftp->setUserID(record.userId());
    m_ftp->setPassword(record.password());
    m_ftp->setDataConnectionMode(TNMFTP::DataMode(choices.dataMode));
    m_ftp->setSecurityMode(security);
    m_untrusted.clear();
    // Reached only where the user allowed a plain log-on to this server and it never did TLS.
    connect(m_ftp, &TNMFTP::OnEncryptionRefused, this,
            [allowed = memory.plainAllowed && !tlsBefore](const QString&, bool& inClear, QString&) {
                inClear = allowed;
            });
    connect(m_ftp, &TNMFTP::OnCertificateCheck, this,
            [this, iniPath, host, port](const QSslCertificate& cert, const QStringList&, bool& accept) {
                const QString fp = transfer::Fingerprint(cert);
                accept = fp == transfer::TrustedFingerprint(iniPath, host, port);
                if (!accept) m_untrusted = fp;
            });
    try {
        m_ftp->Connect();
    } catch (const std::exception& e) {
        if (!m_untrusted.isEmpty()) {
            result.fingerprint = m_untrusted;
            throw std::runtime_error(
                QStringLiteral("the certificate of %1 port %2 is not trusted yet: SHA256:%3 (after checking "
                               "it, trust it with --trust-certificate SHA256:%3)")
                    .arg(host)
                    .arg(port)
                    .arg(m_untrusted)
                    .toStdString());
        }
        if (dynamic_cast<const ETlsError*>(&e) && tlsBefore)
            throw std::runtime_error(
                QStringLiteral("%1 port %2 refused the encryption it offered before; the connection may be "
                               "intercepted, so nothing was sent: %3")
                    .arg(host)
                    .arg(port)
                    .arg(what(e))
                    .toStdString());
        if (dynamic_cast<const ETlsError*>(&e) && security != TNMFTP::Security(choices.security))
            throw std::runtime_error(
                QStringLiteral("%1 port %2 offers no encryption: the password is not sent in clear until you "
                               "allow it for this server (--allow-plain)")
                    .arg(host)
                    .arg(port)
                    .toStdString());
        throw std::runtime_error(
            QStringLiteral("log-on to %1 port %2 failed: %3").arg(host).arg(port).arg(what(e)).toStdString());
    }
    m_sessionKey = key;
    const FetchSettings stored = ReadFetchSettings(iniPath);
    if (!stored.remoteFolder.isEmpty()) m_ftp->ChangeDir(stored.remoteFolder);
    return false;
}

Result Fetcher::runLocked(const Options& options, const QString& iniPath, const QString& local) {
    Result result;
    result.localFolder = local;
    // What a killed run left half-received goes; the lock says no other run is using it.
    const QString staging = stagingFolder(local);
    if (QFileInfo(staging).isSymLink())
        QFile::remove(staging); // never followed: only what this program made there goes
    else
        QDir(staging).removeRecursively();
    if (!QDir().mkpath(staging)) {
        result.reason = QStringLiteral("the folder %1 cannot be made").arg(staging);
        return result;
    }
    auto tidy = qScopeGuard([staging] { QDir(staging).removeRecursively(); });

    bool reused = false;
    try {
        reused = ensureSession(options, iniPath, result);
    } catch (const std::exception& e) {
        result.reason = m_cancelled ? QStringLiteral("cancelled") : what(e);
        return result;
    }
    auto closing = qScopeGuard([this] {
        if (m_keepSession || !m_ftp || !m_ftp->Connected()) return;
        try {
            m_ftp->Disconnect();
        } catch (const std::exception&) {
        }
    });

    // Where the walk starts: the day before the mark, so rows uploaded late to yesterday's file arrive.
    settings::CFGRecord record;
    settings::ReadCFGFile(QDir(options.settingsFolder).filePath(QString::fromLatin1(settings::kCfgFileName)),
                          record);
    const FetchSettings stored = ReadFetchSettings(iniPath);
    QDate from = options.from;
    if (!from.isValid())
        from = stored.completeUpTo.isValid() ? stored.completeUpTo.addDays(-1)
                                             : settings::DayNumberToDate(record.copyFromDate());
    const QString key = from.isValid() ? transfer::CopyFromKey(from) : QString();

    QList<Due> due;
    const auto listOnce = [&] {
        due.clear();
        const auto listing = connect(m_ftp, &TNMFTP::OnListItem, this, [&due, &key](const QString& line) {
            const transfer::ListingEntry entry = transfer::InterpretListingLine(line);
            if (entry.kind != transfer::ListingEntry::Kind::File || !entry.csv) return;
            if (!key.isEmpty() && !transfer::NameFromKeyOn(entry.name, key)) return;
            due.append({entry.name, ListingSizeOf(line)});
        });
        const auto unhook = qScopeGuard([listing] { disconnect(listing); });
        m_ftp->List();
    };
    try {
        try {
            listOnce();
        } catch (const std::exception&) {
            // The server may have dropped a session kept since the last fetch: log on again once.
            if (!reused || m_cancelled) throw;
            m_sessionKey.clear();
            ensureSession(options, iniPath, result);
            listOnce();
        }
    } catch (const std::exception& e) {
        result.reason = m_cancelled ? QStringLiteral("cancelled")
                                    : QStringLiteral("the remote folder could not be listed: ") + what(e);
        m_sessionKey.clear();
        return result;
    }

    m_ftp->setSyncDownloads(false);
    QList<QDate> notFetched;
    bool walkComplete = true;
    for (const Due& d : due) {
        if (m_cancelled) {
            walkComplete = false;
            result.status = Result::Status::Cancelled;
            break;
        }
        const QString target = QDir(local).filePath(d.name);
        const QFileInfo info(target);
        const qint64 before = info.exists() ? info.size() : -1;
        FileReport report;
        report.name = d.name;
        report.previousLength = before;
        if (info.exists() && !info.isFile()) {
            report.outcome = FileReport::Outcome::Kept;
            report.reason = QStringLiteral("a folder or special file of that name is in the local folder");
        } else if (before >= 0 && d.listedSize >= 0 && before == d.listedSize) {
            ++result.upToDate;
            continue;
        } else if (before >= 0 && d.listedSize >= 0 && before > d.listedSize) {
            report.outcome = FileReport::Outcome::Kept;
            report.reason = QStringLiteral("the local file is longer than the server's (%1 > %2 bytes); "
                                           "the local file stays")
                                .arg(before)
                                .arg(d.listedSize);
        } else {
            const QString received = QDir(staging).filePath(d.name);
            try {
                m_ftp->Download(d.name, received, d.listedSize);
            } catch (const std::exception& e) {
                QFile::remove(received);
                if (m_cancelled) {
                    walkComplete = false;
                    result.status = Result::Status::Cancelled;
                    break;
                }
                report.outcome = FileReport::Outcome::Failed;
                report.reason = what(e);
            }
            if (report.reason.isEmpty()) {
                const auto verdict = transfer::CompareLocalWithDownload(target, received);
                if (verdict == transfer::LocalAgainstDownload::Same) {
                    QFile::remove(received);
                    ++result.upToDate;
                    continue;
                }
                if (!transfer::DownloadMayReplace(verdict)) {
                    QFile::remove(received);
                    report.outcome = FileReport::Outcome::Kept;
                    report.reason = QStringLiteral("the local file differs from the server's copy (it is "
                                                   "not its beginning); the local file stays");
                } else {
                    if (before >= 0) QFile::setPermissions(received, QFile::permissions(target));
                    QString error;
                    if (replaceFile(received, target, error)) {
                        report.outcome = FileReport::Outcome::Fetched;
                        report.bytes = QFileInfo(target).size();
                        report.over = NewReadingsOverLevel(target, std::max<qint64>(before, 0),
                                                           record.tLevel(), record.aLevel());
                    } else {
                        QFile::remove(received);
                        report.outcome = FileReport::Outcome::Failed;
                        report.reason = QStringLiteral("it could not be put in place: ") + error;
                    }
                }
            }
        }
        if (report.outcome != FileReport::Outcome::Fetched) notFetched << DayOfName(d.name);
        result.files << report;
        emit fileDone(report);
        if (!m_ftp->Connected()) {
            walkComplete = false;
            result.status = Result::Status::Partial;
            result.reason = QStringLiteral("the connection was lost");
            m_sessionKey.clear();
            break;
        }
    }
    if (walkComplete) {
        result.status = Result::Status::Complete;
        result.mark = MarkAfterWalk(QDate::currentDate(), notFetched);
        if (!WriteCompleteUpTo(iniPath, result.mark)) {
            result.status = Result::Status::Partial;
            result.reason = QStringLiteral("the mark could not be written to ") + iniPath;
            result.mark = {};
        }
    }
    return result;
}

} // namespace fetch
