#include "settings/settingsplace.h"

#include "settings/appsettings.h"
#include "settings/cfgrecord.h"
#include "settings/safefile.h"

#include <QDir>
#include <QFileInfo>
#include <pwd.h>
#include <sys/stat.h>

namespace settings {

namespace {

QString ownerName(uid_t uid) {
    if (const passwd* pw = ::getpwuid(uid)) return QString::fromLocal8Bit(pw->pw_name);
    return QStringLiteral("uid %1").arg(uid);
}

bool present(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString cfgIn(const QString& folder) {
    return QDir(folder).absoluteFilePath(QString::fromLatin1(kCfgFileName));
}

QString iniIn(const QString& folder) {
    return QDir(folder).absoluteFilePath(QString::fromLatin1(AppSettings::kFileName));
}

QString tightenNote(const QString& path, const FileFacts& f) {
    if (!f.readableByOthers()) return {};
    return QStringLiteral("%1 can be read by other users, and its mode cannot be changed here: make it "
                          "yours alone with: chmod 600 %1")
        .arg(QDir::toNativeSeparators(path));
}

void join(QString& note, const QString& more) {
    if (more.isEmpty()) return;
    if (!note.isEmpty()) note += QStringLiteral("; ");
    note += more;
}

} // namespace

SettingsPlace ChooseSettingsPlace(const QString& startFolder, const QString& configFolder) {
    SettingsPlace p;
    const QString start = cfgIn(startFolder);
    const QString own = cfgIn(configFolder);
    const FileFacts s = ReadSettingsFile(start, 0, true);

    if (s.verdict == FileVerdict::Ok && s.ownedByUser() && QDir(startFolder) != QDir(configFolder)) {
        p.kind = SettingsPlace::Kind::StartFolder;
        p.folder = QFileInfo(start).absolutePath();
        p.cfgSource = start;
        join(p.note, tightenNote(start, s));
        const FileFacts ini = ReadSettingsFile(iniIn(startFolder), 0);
        if (ini.verdict == FileVerdict::Ok && !ini.ownedByUser())
            join(p.note, QStringLiteral("%1 belongs to %2 and is not used")
                             .arg(QDir::toNativeSeparators(iniIn(startFolder)), ownerName(ini.owner)));
        else if (ini.verdict != FileVerdict::Missing)
            join(p.note, ini.problem);
        return p;
    }

    p.folder = QDir(configFolder).absolutePath();
    const bool haveOwn = present(own);
    if (haveOwn) {
        p.kind = SettingsPlace::Kind::Own;
        p.cfgSource = own;
        const FileFacts o = ReadSettingsFile(own, 0, true);
        if (o.verdict == FileVerdict::Ok) join(p.note, tightenNote(own, o));
    }
    switch (s.verdict) {
    case FileVerdict::Missing:
    case FileVerdict::NotRegular: // a folder of that name is no settings file
        break;
    case FileVerdict::Ok:
        if (s.ownedByUser()) break; // the start folder is the configuration folder
        if (haveOwn) {
            join(p.note, QStringLiteral("%1 belongs to %2 and is not used: your own settings are in %3")
                             .arg(QDir::toNativeSeparators(start), ownerName(s.owner),
                                  QDir::toNativeSeparators(p.folder)));
            break;
        }
        p.kind = SettingsPlace::Kind::Imported;
        p.cfgSource = start;
        if (ReadSettingsFile(iniIn(startFolder), 0).verdict == FileVerdict::Ok &&
            !present(iniIn(configFolder)))
            p.iniSource = iniIn(startFolder);
        join(p.note, QStringLiteral("Settings imported from %1 (owner %2): not logged on; check the account, "
                                    "then Connect; \"Save Setting\" keeps them in %3")
                         .arg(QDir::toNativeSeparators(start), ownerName(s.owner),
                              QDir::toNativeSeparators(p.folder)));
        break;
    default:
        join(p.note, QStringLiteral("Ignored: ") + s.problem);
        break;
    }
    return p;
}

bool ImportIniFile(const SettingsPlace& place) {
    if (place.iniSource.isEmpty()) return false;
    const QString target = iniIn(place.folder);
    if (present(target)) return false;
    const FileFacts f = ReadSettingsFile(place.iniSource, AppSettings::kMaxFileBytes);
    if (f.verdict != FileVerdict::Ok || f.truncated) return false;
    if (!PrepareConfigFolder(place.folder)) return false;
    return WriteSettingsFile(target, f.bytes).ok();
}

} // namespace settings
