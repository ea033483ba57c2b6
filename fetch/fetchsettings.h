// SPDX-License-Identifier: GPL-3.0-or-later
// Where a logger's settings live and what the fetch keeps of its own in tervane640.ini beside csv.cfg:
// the remote folder to walk, the local folder to fetch into, the "complete up to" mark, and the window's
// timer choices. csv.cfg is only read here; the fetch never rewrites it. No widgets.
#pragma once

#include <QDate>
#include <QString>

namespace fetch {

inline constexpr int kMinMinutes = 1;
inline constexpr int kMaxMinutes = 1440;
inline constexpr int kDefaultMinutes = 15;

struct FetchSettings {
    QString remoteFolder; // "" = the folder the log-on lands in
    QString localFolder;  // "" = not chosen yet
    QDate completeUpTo;   // invalid = never fetched: the first walk starts at the copy-from date
    bool every = false;   // the window fetches by itself
    int minutes = kDefaultMinutes;
};

FetchSettings ReadFetchSettings(const QString& iniPath);
// Writes the folders and the timer choices; the mark is written only by WriteCompleteUpTo.
bool WriteFetchChoices(const QString& iniPath, const FetchSettings& s);
bool WriteCompleteUpTo(const QString& iniPath, const QDate& mark);

// The settings folder named on the command line: a folder, or the csv.cfg in it. "" = the window's own
// (the folder of SettingsFilePath for the current folder).
QString SettingsFolderFor(const QString& given);

// The mark after a walk: the earlier of yesterday and the oldest day not fully fetched (the day of a
// file that failed or was kept). Days come from the names' first six characters, yymmdd.
QDate MarkAfterWalk(const QDate& today, const QList<QDate>& daysNotFetched);
// The day of a day file's name ("240131.csv" -> 2024-01-31); invalid when the name holds none.
QDate DayOfName(const QString& name);

} // namespace fetch
