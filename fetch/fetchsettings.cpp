// SPDX-License-Identifier: GPL-3.0-or-later
#include "fetch/fetchsettings.h"

#include "settings/appsettings.h"
#include "settings/cfgrecord.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace fetch {
namespace {
const QString kRemote = QStringLiteral("Fetch/RemoteFolder");
const QString kLocal = QStringLiteral("Fetch/LocalFolder");
const QString kMark = QStringLiteral("Fetch/CompleteUpTo");
const QString kEvery = QStringLiteral("Fetch/Every");
const QString kMinutes = QStringLiteral("Fetch/Minutes");
} // namespace

FetchSettings ReadFetchSettings(const QString& iniPath) {
    const settings::AppSettings s(iniPath);
    FetchSettings f;
    f.remoteFolder = s.value(kRemote).toString();
    f.localFolder = s.value(kLocal).toString();
    f.completeUpTo = QDate::fromString(s.value(kMark).toString(), Qt::ISODate);
    f.every = s.value(kEvery, false).toBool();
    bool ok = false;
    const int m = s.value(kMinutes).toInt(&ok);
    f.minutes = ok ? std::clamp(m, kMinMinutes, kMaxMinutes) : kDefaultMinutes;
    return f;
}

bool WriteFetchChoices(const QString& iniPath, const FetchSettings& f) {
    return settings::AppSettings(iniPath).setValues(
        {{kRemote, f.remoteFolder},
         {kLocal, f.localFolder},
         {kEvery, f.every},
         {kMinutes, std::clamp(f.minutes, kMinMinutes, kMaxMinutes)}});
}

bool WriteCompleteUpTo(const QString& iniPath, const QDate& mark) {
    return settings::AppSettings(iniPath).setValue(kMark, mark.toString(Qt::ISODate));
}

QString SettingsFolderFor(const QString& given) {
    if (given.isEmpty()) {
        const QString cfg = settings::SettingsFilePath(
            QDir::currentPath(), QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
        return QFileInfo(cfg).absolutePath();
    }
    const QFileInfo info(given);
    if (info.isDir()) return info.absoluteFilePath();
    return info.absolutePath();
}

QDate DayOfName(const QString& name) {
    if (name.size() < 6) return {};
    bool ok = false;
    const int v = name.left(6).toInt(&ok);
    if (!ok || name.at(0) == QLatin1Char('+') || name.at(0) == QLatin1Char('-')) return {};
    return QDate(2000 + v / 10000, (v / 100) % 100, v % 100);
}

QDate MarkAfterWalk(const QDate& today, const QList<QDate>& daysNotFetched) {
    QDate mark = today.addDays(-1);
    for (const QDate& d : daysNotFetched)
        if (d.isValid() && d < mark) mark = d;
    return mark;
}

} // namespace fetch
