#include "ftp/powersock_p.h"

#include <QFileInfo>

#include <climits>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

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
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(temp.toStdU16String()),
                            std::filesystem::path(m_target.toStdU16String()), ec);
    if (ec) {
        m_error = QString::fromLocal8Bit(ec.message().c_str());
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
