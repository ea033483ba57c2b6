#include "ftp/powersock_p.h"

#include <QFileInfo>
#include <QSet>

#include <climits>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// Renames `from` to `to` only when nothing is called `to` yet: a file that appeared there meanwhile
// is never replaced.
bool renameNoReplace(const QString& from, const QString& to, QString& error) {
#ifdef Q_OS_LINUX
    const QByteArray a = QFile::encodeName(from), b = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0) return true;
    // File systems without the flag: a hard link fails just as well when the name is taken.
    if (errno == EINVAL || errno == ENOSYS) {
        if (::link(a.constData(), b.constData()) == 0) {
            ::unlink(a.constData());
            return true;
        }
    }
    error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
#else
    if (QFile::exists(to)) {
        error = QStringLiteral("a file of that name exists");
        return false;
    }
    QFile f(from);
    if (f.rename(to)) return true;
    error = f.errorString();
    return false;
#endif
}
} // namespace

// ---------------------------------------------------------------- ReceiveFile

namespace {
// The temporary file's name does not grow with the target's: a name of 255 bytes (the most a folder
// entry holds) can still be received.
const QString kTempPrefix = QStringLiteral(".tervane640-");
const QString kTempSuffix = QStringLiteral(".part");
} // namespace

ReceiveFile::ReceiveFile(const QString& target, bool sync, const QString& journal)
    : m_target(target), m_journal(journal), m_file(QFileInfo(target).absolutePath() + QLatin1Char('/') +
                                                   kTempPrefix + QStringLiteral("XXXXXX") + kTempSuffix),
      m_sync(sync) {}

ReceiveFile::~ReceiveFile() {
    if (m_file.isOpen() && m_file.autoRemove()) m_file.remove();
}

bool ReceiveFile::open() {
    if (QFileInfo(m_target).isDir()) {
        m_error = QStringLiteral("a folder of that name exists");
        return false;
    }
    if (!m_file.open()) return false;
    noteMade();
    return true;
}

// "+path" for each temporary file made. One that was renamed or removed is no longer there when the
// journal is read, so only its making is noted: one short write per download, to a journal kept open.
void ReceiveFile::noteMade() {
    if (m_journal.isEmpty()) return;
    const QByteArray line = '+' + QFile::encodeName(m_file.fileName()) + '\n';
#ifdef Q_OS_UNIX
    static QString openPath;
    static int fd = -1;
    if (openPath != m_journal) {
        if (fd >= 0) ::close(fd);
        fd =
            ::open(QFile::encodeName(m_journal).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        openPath = fd >= 0 ? m_journal : QString();
    }
    if (fd >= 0 && ::write(fd, line.constData(), size_t(line.size())) != line.size()) {
        ::close(fd);
        fd = -1;
        openPath.clear();
    }
#else
    QFile j(m_journal);
    if (j.open(QIODevice::WriteOnly | QIODevice::Append)) j.write(line);
#endif
}

int ReceiveFile::RemoveLeftovers(const QString& journal) {
    QFile j(journal);
    if (journal.isEmpty() || !j.open(QIODevice::ReadOnly)) return 0;
    QSet<QString> open;
    while (!j.atEnd()) {
        QByteArray line = j.readLine();
        if (line.endsWith('\n')) line.chop(1);
        if (line.size() < 2) continue;
        const QString path = QFile::decodeName(line.mid(1));
        if (line[0] == '+') open.insert(path);
    }
    j.close();
    int removed = 0;
    for (const QString& path : open) {
        const QString name = QFileInfo(path).fileName();
        if (name.startsWith(kTempPrefix) && name.endsWith(kTempSuffix) && QFileInfo(path).isFile() &&
            QFile::remove(path))
            ++removed;
    }
    j.open(QIODevice::WriteOnly | QIODevice::Truncate); // a journal kept open appends after this
    return removed;
}

bool ReceiveFile::commit() {
    m_flushed = false;
    if (!m_file.flush()) return false;
#ifdef Q_OS_UNIX
    // The bytes reach the disk before the name does, and the new name before anyone relies on it
    // (a move deletes the server's copy only after this).
    if (m_sync && ::fsync(m_file.handle()) != 0) {
        m_error = QStringLiteral("the file could not be flushed to disk");
        return false;
    }
#endif
    // A file replaced keeps its permissions; a new one gets what the user's umask leaves of rw-rw-rw-, as
    // any file the user makes (the temporary file was made readable by its owner only).
    if (QFile::exists(m_target)) {
        m_file.setPermissions(QFile::permissions(m_target));
    } else {
#ifdef Q_OS_UNIX
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(m_file.handle(), 0666 & ~mask);
#else
        m_file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
#endif
    }
    const QString temp = m_file.fileName();
    m_file.close();
    m_keptLocal = false;
    m_keptAs.clear();
    if (m_check && QFileInfo::exists(m_target)) {
        const TCommitPlan plan = m_check(temp, m_target);
        if (!plan.replace) {
            // The local file stays; the download goes with the temporary file.
            m_keptLocal = true;
            return true;
        }
        if (!plan.keepAs.isEmpty()) {
            QString why;
            if (!renameNoReplace(m_target, plan.keepAs, why)) {
                m_error = QStringLiteral("%1 could not be renamed to %2 to make room: %3")
                              .arg(m_target, plan.keepAs, why);
                return false;
            }
            m_keptAs = plan.keepAs;
        }
    }
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(temp.toStdU16String()),
                            std::filesystem::path(m_target.toStdU16String()), ec);
    if (ec) {
        m_error = QString::fromLocal8Bit(ec.message().c_str());
        QString ignored;
        if (!m_keptAs.isEmpty() && renameNoReplace(m_keptAs, m_target, ignored)) m_keptAs.clear();
        return false;
    }
    m_file.setAutoRemove(false);
    if (!m_sync) return true;
#ifdef Q_OS_UNIX
    const QByteArray folder = QFile::encodeName(QFileInfo(m_target).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        m_flushed = ::fsync(dir) == 0;
        ::close(dir);
    }
#else
    m_flushed = true;
#endif
    return true;
}

// ---------------------------------------------------------------- TThreadTimer

TThreadTimer::TThreadTimer(QObject* parent) : QObject(parent) {
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { emit OnTimer(this); });
}

void TThreadTimer::setInterval(unsigned ms) {
    if (ms == m_interval) return;
    m_interval = ms;
    rearm();
}

void TThreadTimer::setEnabled(bool on) {
    if (on == m_enabled) return;
    m_enabled = on;
    rearm();
}

void TThreadTimer::rearm() {
    m_timer.stop();
    if (m_interval != 0 && m_enabled) m_timer.start(int(std::min<unsigned>(m_interval, INT_MAX)));
}
