#include "ftp/powersock_p.h"

#include <QFileInfo>

#include <climits>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

ReceiveFile::ReceiveFile(const QString& target, bool sync)
    : m_target(target), m_file(target + QStringLiteral(".XXXXXX.part")), m_sync(sync) {}

bool ReceiveFile::open() {
    if (QFileInfo(m_target).isDir()) {
        m_error = QStringLiteral("a folder of that name exists");
        return false;
    }
    return m_file.open();
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
    const QFile::Permissions perms =
        QFile::exists(m_target) ? QFile::permissions(m_target)
                                : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    m_file.setPermissions(perms);
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
