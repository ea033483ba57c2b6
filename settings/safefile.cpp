#include "settings/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace settings {

namespace {

const ModeSetter* g_modeSetter = nullptr;

int setFileMode(int fd, mode_t mode) {
    if (g_modeSetter && g_modeSetter->file) return g_modeSetter->file(fd, mode);
    return ::fchmod(fd, mode);
}

int setFolderMode(const char* path, mode_t mode) {
    if (g_modeSetter && g_modeSetter->folder) return g_modeSetter->folder(path, mode);
    return ::chmod(path, mode);
}

QString systemText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QString userName(uid_t uid) {
    if (const passwd* pw = ::getpwuid(uid)) return QString::fromLocal8Bit(pw->pw_name);
    return QStringLiteral("uid %1").arg(uid);
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A group only the user belongs to (as a member or as the primary group of an account)
// is as private as the user.
bool groupHoldsOnlyUser(gid_t gid, uid_t uid) {
    const passwd* me = ::getpwuid(uid);
    if (!me) return false;
    const QByteArray myName(me->pw_name);
    const group* g = ::getgrgid(gid);
    if (!g) return false;
    for (char** m = g->gr_mem; m && *m; ++m)
        if (myName != *m) return false;
    bool onlyMe = true;
    ::setpwent();
    while (const passwd* pw = ::getpwent())
        if (pw->pw_gid == gid && pw->pw_uid != uid) {
            onlyMe = false;
            break;
        }
    ::endpwent();
    return onlyMe;
}

int openNoFollow(const QString& path, int flags, mode_t mode = 0) {
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do
        fd = ::open(name.constData(), flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool isLink(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

bool FileFacts::ownedByUser() const {
    return owner == ::geteuid();
}

void InstallModeSetter(const ModeSetter* setter) {
    g_modeSetter = setter;
}

QString ModeNotKeptText(const QString& folder) {
    return QStringLiteral(
               "The settings were saved, but the folder %1 cannot keep them private (its file "
               "system, such as FAT or exFAT, has no owner-only files): anyone who can read it can "
               "read the FTP password.")
        .arg(shown(folder));
}

QString FolderProblem(const QString& folder) {
    const QString real = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty()) return {};
    const uid_t me = ::geteuid();
    QString dir = real;
    for (;;) {
        struct stat st {};
        if (::lstat(QFile::encodeName(dir).constData(), &st) != 0)
            return QStringLiteral("%1 cannot be checked: %2").arg(shown(dir), systemText(errno));
        const bool sticky = (st.st_mode & S_ISVTX) != 0;
        if (st.st_uid != 0 && st.st_uid != me)
            return QStringLiteral("the folder %1 belongs to %2, who could change the settings in it; keep "
                                  "them in a folder of your own")
                .arg(shown(dir), userName(st.st_uid));
        if (!sticky && (st.st_mode & S_IWOTH))
            return QStringLiteral("every user can write to the folder %1; close it with: chmod o-w %2")
                .arg(shown(dir), shown(dir));
        if (!sticky && (st.st_mode & S_IWGRP) && !groupHoldsOnlyUser(st.st_gid, me))
            return QStringLiteral("other users of its group can write to the folder %1; close it with: "
                                  "chmod g-w %2")
                .arg(shown(dir), shown(dir));
        if (dir == QLatin1String("/")) break;
        const QString up = QFileInfo(dir).path();
        if (up == dir) break;
        dir = up;
    }
    return {};
}

FileFacts ReadSettingsFile(const QString& path, qint64 limit, bool tighten) {
    FileFacts f;
    // A device or a pipe is not even opened (opening some has effects of its own); what is
    // opened is checked again below, on the descriptor.
    struct stat named {};
    if (::lstat(QFile::encodeName(path).constData(), &named) == 0 && !S_ISREG(named.st_mode) &&
        !S_ISLNK(named.st_mode)) {
        f.verdict = FileVerdict::NotRegular;
        f.owner = named.st_uid;
        f.mode = named.st_mode & 07777;
        f.problem = QStringLiteral("%1 is not a regular file").arg(shown(path));
        return f;
    }
    const int fd = openNoFollow(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) {
            f.verdict = FileVerdict::Missing;
        } else if (err == ELOOP || err == EMLINK || isLink(path)) {
            f.verdict = FileVerdict::Link;
            f.problem = QStringLiteral("%1 is a symbolic link, and settings are never read or written "
                                       "through one; put the file itself there, or remove the link")
                            .arg(shown(path));
        } else {
            f.verdict = FileVerdict::Unreadable;
            f.problem = QStringLiteral("%1 cannot be read: %2").arg(shown(path), systemText(err));
        }
        return f;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        f.verdict = FileVerdict::Unreadable;
        f.problem = QStringLiteral("%1 cannot be read: %2").arg(shown(path), systemText(errno));
        ::close(fd);
        return f;
    }
    f.owner = st.st_uid;
    f.mode = st.st_mode & 07777;
    if (!S_ISREG(st.st_mode)) {
        f.verdict = FileVerdict::NotRegular;
        f.problem = QStringLiteral("%1 is not a regular file").arg(shown(path));
        ::close(fd);
        return f;
    }
    if (const QString why = FolderProblem(QFileInfo(path).absolutePath()); !why.isEmpty()) {
        f.verdict = FileVerdict::Unsafe;
        f.problem = QStringLiteral("%1 is not used: %2").arg(shown(path), why);
        ::close(fd);
        return f;
    }
    f.verdict = FileVerdict::Ok;
    f.bytes.reserve(static_cast<qsizetype>(std::min<qint64>(limit, 1 << 20)));
    char buf[4096];
    for (;;) {
        const qint64 room = limit - f.bytes.size();
        const ssize_t n = ::read(fd, buf, static_cast<size_t>(std::min<qint64>(room > 0 ? room : 1, 4096)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            f.verdict = FileVerdict::Unreadable;
            f.problem = QStringLiteral("%1 cannot be read: %2").arg(shown(path), systemText(errno));
            break;
        }
        if (n == 0) break;
        if (room <= 0) {
            f.truncated = true;
            break;
        }
        f.bytes.append(buf, n);
    }
    if (tighten && f.verdict == FileVerdict::Ok && f.ownedByUser() && f.readableByOthers() &&
        setFileMode(fd, f.mode & 0700) == 0)
        f.mode &= 0700;
    ::close(fd);
    return f;
}

WriteOutcome WriteSettingsFile(const QString& path, const QByteArray& bytes) {
    WriteOutcome out;
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir()) {
        out.status = WriteOutcome::CannotCreate;
        out.errorText = QStringLiteral("the folder %1 does not exist").arg(shown(folder));
        return out;
    }
    if (const QString why = FolderProblem(folder); !why.isEmpty()) {
        out.status = WriteOutcome::Refused;
        out.errorText = QStringLiteral("%1 was not written: %2").arg(shown(path), why);
        return out;
    }
    struct stat old {};
    const bool exists = ::lstat(QFile::encodeName(path).constData(), &old) == 0;
    if (exists && S_ISLNK(old.st_mode)) {
        out.status = WriteOutcome::Refused;
        out.errorText = QStringLiteral("%1 is a symbolic link, and settings are never written through one; "
                                       "remove the link, then save again")
                            .arg(shown(path));
        return out;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        out.status = WriteOutcome::CannotCreate;
        out.errorText = QStringLiteral("%1 is not a regular file").arg(shown(path));
        return out;
    }

    // The new content goes to a file of our own making beside the old one.
    QString temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp =
            QDir(folder).filePath(QStringLiteral(".%1.%2")
                                      .arg(info.fileName())
                                      .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        fd = openNoFollow(temp, O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        out.status = WriteOutcome::CannotCreate;
        out.errorText = systemText(errno);
        return out;
    }
    const QByteArray tempName = QFile::encodeName(temp);
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(tempName.constData());
        out.status = WriteOutcome::WriteFailed;
        out.errorText = systemText(err);
        return out;
    };
    if (exists && old.st_uid != ::geteuid()) {
        ::close(fd);
        ::unlink(tempName.constData());
        out.status = WriteOutcome::Refused;
        out.errorText = QStringLiteral("%1 belongs to %2 and is not replaced; your settings are kept in a "
                                       "folder of your own")
                            .arg(shown(path), userName(old.st_uid));
        return out;
    }
    // Owner-only whatever the umask; a file system without modes refuses, and the
    // settings are saved all the same (the caller tells the user).
    if (setFileMode(fd, 0600) != 0) out.modeKept = false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(errno);
        if (n == 0) return fail(ENOSPC);
        done += n;
    }
    if (::fsync(fd) != 0) return fail(errno);
    if (::close(fd) != 0) {
        fd = -1;
        const int err = errno;
        ::unlink(tempName.constData());
        out.status = WriteOutcome::WriteFailed;
        out.errorText = systemText(err);
        return out;
    }
    // rename() replaces the name itself: a link put there meanwhile is replaced, not followed.
    if (::rename(tempName.constData(), QFile::encodeName(path).constData()) != 0) {
        const int err = errno;
        ::unlink(tempName.constData());
        out.status = WriteOutcome::WriteFailed;
        out.errorText = systemText(err);
        return out;
    }
    const int dfd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        (void)::fsync(dfd);
        ::close(dfd);
    }
    return out;
}

bool PrepareConfigFolder(const QString& folder, bool* modeKept) {
    if (modeKept) *modeKept = true;
    const QByteArray name = QFile::encodeName(folder);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0) {
        if (!QDir().mkpath(QFileInfo(folder).path())) return false;
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) return false;
        if (::lstat(name.constData(), &st) != 0) return false;
    }
    if (!S_ISDIR(st.st_mode)) return false;
    if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid() && setFolderMode(name.constData(), 0700) != 0 &&
        modeKept)
        *modeKept = false;
    return true;
}

} // namespace settings
