// Where a run keeps its settings: csv.cfg and tervane640.ini in one folder.
//
//  - csv.cfg in the start folder that is the user's own, in a folder closed to other
//    users, is used there with its tervane640.ini (installations that keep their
//    settings beside the data go on working);
//  - otherwise the user's configuration folder (~/.config/Tervane640) holds them;
//  - a safe csv.cfg of another user there (an administrator's shared installation) is
//    imported at a first start, when the configuration folder has none yet: read from
//    there, with its tervane640.ini, without logging on by itself; saves go to the
//    configuration folder;
//  - a csv.cfg there that is a link, or in a folder others can write, is ignored, and
//    the note says which and how to mend it.
#pragma once

#include <QString>
#include <sys/types.h>

namespace settings {

struct SettingsPlace {
    enum class Kind {
        FirstStart,  // no settings anywhere yet: the designed defaults
        Own,         // the configuration folder's files
        StartFolder, // the user's own files in the start folder
        Imported,    // another user's csv.cfg in the start folder, read once
    };
    Kind kind = Kind::FirstStart;
    QString folder;    // where this run saves csv.cfg and tervane640.ini
    QString cfgSource; // the csv.cfg to read at start ("" at a first start)
    QString iniSource; // a tervane640.ini to take into `folder`, which has none yet ("" none)
    QString note;      // for the status bar: what was imported or ignored, and why
    bool logOnAtStart() const { return kind == Kind::Own || kind == Kind::StartFolder; }
};

// Decides, from the files as they are now. A csv.cfg the user owns that others can
// read is made owner-only (the note says so when that is not possible).
SettingsPlace ChooseSettingsPlace(const QString& startFolder, const QString& configFolder);

// Takes tervane640.ini of an imported installation into the settings folder, once: only
// when the folder has none and the file passes the checks of a settings file. The
// folder is made owner-only. False when nothing was taken.
bool ImportIniFile(const SettingsPlace& place);

} // namespace settings
