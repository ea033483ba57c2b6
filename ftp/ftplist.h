// Splitting of directory listing lines, and the columns of Unix "ls -l" style lines.
#pragma once

#include <QString>
#include <QStringList>

class TFTPDirectoryList {
public:
    virtual ~TFTPDirectoryList() = default;

    // Splits the line at spaces (a run of spaces is one separator) into Fields and FieldCount.
    virtual void ParseLine(const QString& line);
    // Empties Attributes, Names, ModifyDates and Sizes.
    void Clear();

    // Index-aligned: entry k of each list belongs to the k-th accepted line, as the server wrote it.
    QStringList Attributes;
    QStringList Names;
    QStringList ModifyDates;
    QStringList Sizes;
    // Fields of the line split last (Fields[0] is the first field); each keeps at most 255 characters.
    QStringList Fields;
    int FieldCount = 0;
};

// Takes a line of 8 fields or more, counting from the end: name = last field, size = 5th from the end,
// date = the 4th to 2nd from the end, attributes = first field. Shorter lines (the "total" line) are skipped.
class TFTPUnixList : public TFTPDirectoryList {
public:
    void ParseLine(const QString& line) override;
};

// The size column of a listing line as a number, for the expected size of a download: Unix lines (the
// number before the month of the date, so names with spaces and listings without a group column work)
// and Windows lines ("01-31-24  10:15AM  2048 name"). -1 for a folder, a link, any other line, or a
// column that is not a plain number.
qint64 ListingSizeOf(const QString& line);

// A Unix listing's type and permissions column: "-rw-r--r--", "drwxr-xr-x+", "lrwxrwxrwx@"...
bool IsUnixModeField(QStringView field, Qt::CaseSensitivity cs = Qt::CaseSensitive);
// A Windows listing's date column: "12-01-09" or "12-01-2009".
bool IsDosDateField(QStringView field);
