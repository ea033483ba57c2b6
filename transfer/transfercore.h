// What the transfer page makes of the engine's listing lines, and the key of
// "Copy from Date". No widgets.
#pragma once

#include <QDate>
#include <QString>

namespace transfer {

struct ListingEntry {
    enum class Kind { None, File, Folder };
    Kind kind = Kind::None;
    QString name;
    // A file whose extension is "csv" (in lower case): it goes to the remote file list.
    bool csv = false;
};

// Interprets one raw listing line (line end removed).
// The name of a Unix "ls -l" line is everything after its date and time columns,
// so names with blanks survive whatever column the server starts them at; so is
// the name of a Windows server's line ("12-01-09  10:00AM  1234 a.csv"). Other
// lines take the name from column 56 (or from column 63 when column 56 is blank);
// such a line shorter than 56 characters (a "total" line, say) names nothing.
// A name that holds a path separator, or is "." or "..", is never an entry.
ListingEntry InterpretListingLine(const QString& line);

// The name part of a Unix "ls -l" line; empty when the line is not one.
QString UnixListingName(const QString& line);

// The extension test of the remote file list: the three characters after the
// first "." of the name (the first three characters when there is none).
QString ListingExtension(const QString& name);

// The copy-from key of a date: yymmdd from its year, month and day, whatever the
// system's short date form.
QString CopyFromKey(const QDate& date);
// True when the name's first six characters do not sort before the key (a
// beginning of the other string counts as smaller).
bool NameFromKeyOn(const QString& name, const QString& key);
// The copy-from date text: the system's short date form, at most 10 characters.
QString DateText(const QDate& date);

} // namespace transfer
