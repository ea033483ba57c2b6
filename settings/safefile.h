// Opening and writing the settings files without being led elsewhere.
//
// csv.cfg holds the FTP password and tervane640.ini the trusted certificates, and either
// may sit in a folder the user shares with others (the folder the program starts in).
// Everything here works on the file actually opened: a link is never followed at the
// file's own name (O_NOFOLLOW), the owner and type come from the open descriptor, and
// the folder and every folder above it must be closed to other users (or sticky), the
// way ssh checks its own files. Writing goes to a new file made in the same checked
// folder (O_EXCL | O_NOFOLLOW), flushed to disk and renamed over the old name, which
// replaces a link there instead of writing through it.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <sys/types.h>

namespace settings {

// What opening a settings file found.
enum class FileVerdict {
    Ok,         // a regular file, its folder closed to others
    Missing,    // nothing of that name
    Link,       // a symbolic link, dangling or not: never followed
    NotRegular, // a folder, a pipe, a device...
    Unsafe,     // the folder, or one above it, can be written by other users
    Unreadable, // the system refused (permissions, I/O error)
};

struct FileFacts {
    FileVerdict verdict = FileVerdict::Missing;
    uid_t owner = 0;
    mode_t mode = 0;        // permission bits of the opened file
    QByteArray bytes;       // what was read (at most the limit asked for)
    bool truncated = false; // the file holds more than the limit
    QString problem;        // for the user: what is wrong and how to mend it ("" when Ok or Missing)
    bool ownedByUser() const;
    bool readableByOthers() const { return (mode & 077) != 0; }
};

// Opens `path` without following a link at its name, checks the opened file and its
// folders, and reads up to `limit` bytes. A file readable by others that belongs to
// the user is made owner-only when `tighten` is set (the facts tell whether it worked).
FileFacts ReadSettingsFile(const QString& path, qint64 limit, bool tighten = false);

// "" when the folder and each folder above it are closed to other users: owned by the
// user or root, and writable by nobody else unless sticky (a group holding the user
// alone counts as the user's). Otherwise what is wrong and how to mend it.
QString FolderProblem(const QString& folder);

struct WriteOutcome {
    enum Status { Ok, CannotCreate, WriteFailed, Refused } status = Ok;
    QString errorText;    // the system's words, or why it was refused
    bool modeKept = true; // false: the folder's file system cannot keep the file owner-only
    bool ok() const { return status == Ok; }
};

// Writes `bytes` as the whole content of `path`, owner-only (0600): refused when the
// folder is not closed to others, or the name is a link, not a regular file, or another
// user's file. The old file stays whole on any failure, and no new file is left behind.
WriteOutcome WriteSettingsFile(const QString& path, const QByteArray& bytes);

// Makes the user's configuration folder owner-only (0700), creating it where needed.
// False when it cannot be made; `modeKept` false when its mode cannot be set.
bool PrepareConfigFolder(const QString& folder, bool* modeKept = nullptr);

// The mode-setting step behind the writer and the folder set-up: fchmod on the open
// descriptor, chmod on a folder. A file system without Unix modes (FAT, exFAT) refuses.
// Tests install a refusing one to run that path anywhere; nullptr restores the real one.
struct ModeSetter {
    std::function<int(int fd, mode_t mode)> file;
    std::function<int(const char* path, mode_t mode)> folder;
};
void InstallModeSetter(const ModeSetter* setter);

// The text shown once per run when a settings folder cannot keep its files private.
QString ModeNotKeptText(const QString& folder);

} // namespace settings
