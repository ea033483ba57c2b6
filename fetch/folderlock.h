// SPDX-License-Identifier: GPL-3.0-or-later
// The lock of a local data folder: one fetch or batch at a time writes into it. A lock left by a run that
// was killed (its process is gone) is taken over. No widgets.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace fetch {

inline constexpr const char* kLockFileName = ".tervane640.lock";

class FolderLock {
public:
    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // True when this object now holds the folder (at once, never waiting for another holder).
    bool tryLock();
    bool locked() const;
    // Why the lock could not be taken: "held by process 1234", or the system's reason.
    QString why() const;

private:
    std::unique_ptr<QLockFile> m_lock;
    QString m_why;
};

} // namespace fetch
