// Runs a stretch of a test with the file permissions of an ordinary user.
//
// Tests of unwritable folders and read-only files mean nothing to root, which
// writes everywhere. When the test runs as root, AsUnprivileged switches the
// effective user to "nobody" for its lifetime (and back when it ends); as any
// other user it does nothing. Folders the stretch must reach have to be open
// to others (chmod 0755): see OpenForOthers.
#pragma once

#include <QFile>
#include <QString>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

namespace testsupport {

class AsUnprivileged {
public:
    AsUnprivileged() {
        if (::geteuid() != 0) return;
        const passwd* pw = ::getpwnam("nobody");
        if (!pw) return;
        if (::setegid(pw->pw_gid) != 0) return;
        if (::seteuid(pw->pw_uid) != 0) {
            (void)::setegid(0);
            return;
        }
        m_switched = true;
    }
    ~AsUnprivileged() {
        if (!m_switched) return;
        (void)::seteuid(0);
        (void)::setegid(0);
    }
    AsUnprivileged(const AsUnprivileged&) = delete;
    AsUnprivileged& operator=(const AsUnprivileged&) = delete;

    // True when permissions now hold for this process (not root, or switched away from it).
    bool effective() const { return ::geteuid() != 0; }

private:
    bool m_switched = false;
};

// Lets every user list and read a folder (0755), so an unprivileged stretch can reach it.
inline bool OpenForOthers(const QString& path) {
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther);
}

} // namespace testsupport
