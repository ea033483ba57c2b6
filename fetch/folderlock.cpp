// SPDX-License-Identifier: GPL-3.0-or-later
#include "fetch/folderlock.h"

#include <QDir>

namespace fetch {

FolderLock::FolderLock(const QString& folder)
    : m_lock(std::make_unique<QLockFile>(QDir(folder).filePath(QString::fromLatin1(kLockFileName)))) {
    // Never stale by age: a fetch of thousands of files may hold it long. A dead holder is detected by
    // its process id.
    m_lock->setStaleLockTime(0);
}

FolderLock::~FolderLock() = default;

bool FolderLock::tryLock() {
    if (m_lock->isLocked()) return true;
    if (m_lock->tryLock(0)) return true;
    switch (m_lock->error()) {
    case QLockFile::LockFailedError: {
        qint64 pid = 0;
        QString host, app;
        m_why = m_lock->getLockInfo(&pid, &host, &app)
                    ? QStringLiteral("another fetch or transfer into this folder runs (process %1)").arg(pid)
                    : QStringLiteral("another fetch or transfer into this folder runs");
        break;
    }
    case QLockFile::PermissionError:
        m_why = QStringLiteral("the folder cannot be written");
        break;
    default:
        m_why = QStringLiteral("the folder's lock file cannot be made");
        break;
    }
    return false;
}

bool FolderLock::locked() const {
    return m_lock->isLocked();
}

QString FolderLock::why() const {
    return m_why;
}

} // namespace fetch
