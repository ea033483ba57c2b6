// Merging the logger's day files of a span of days into one file.
//
// The logger names its files after the day of their readings (yymmdd...csv).
// A merge takes the files of the days From..To of one month, in ascending day
// order and, within a day, in the order of their names, appends all their
// lines to one store and writes the store as a new file "-yymmdd-yymmdd.csv".
// Nothing here touches a widget: the window applies the results.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

namespace logdata {

// Lines the store can hold; a merged file holds at most kMergeMaxSavedLines.
inline constexpr int kMergeStoreLines = 16384;
inline constexpr int kMergeMaxSavedLines = 16383;

// Plain-message texts of a merge.
inline constexpr char kMergeMonthMessage[] = "Enable only in one month array";
inline constexpr char kMergeNoFilesMessage[] = "no csv-files in selected period";
inline constexpr char kMergeYearMessage[] = "Enable only for the years 2000 to 2099";

// The two-character part of a number: its decimal text cut to two characters,
// with a leading "0" when one character is left (7 -> "07", 12 -> "12").
QString TwoDigitPart(int number);
// "yymmdd" of a date (years taken minus 2000).
QString DayKey(const QDate& date);
// The mask of the files of day `day` in the month of `month`: "091205*.csv".
QString DayMask(const QDate& month, int day);
// True when a file name matches a mask of '*' and '?' wildcards, without regard
// to case, as the logger's users know it from Windows ("091201B.CSV" matches
// "091201*.csv").
bool MatchesMask(const QString& fileName, const QString& mask);
// The name of the merged file of From..To: "-091201-091215.csv".
QString MergedFileName(const QDate& from, const QDate& to);
// Merged files begin with "-"; they never enter a merge.
inline bool IsMergedFileName(const QString& fileName) {
    return fileName.startsWith(QLatin1Char('-'));
}

// The line store of a merge (the program's CSVarray): up to kMergeStoreLines
// lines, numbered from 1, each stored as the source line with one CR appended.
// Lines that arrive when the store is full are not kept but counted, so the
// caller can tell how many were left out.
class MergeStore {
public:
    MergeStore();

    // Empties the store (MergeLineCount := 0) and the count of lines left out.
    void clear();
    // Number of stored lines (MergeLineCount).
    int lineCount() const { return static_cast<int>(m_ends.size()); }
    // Stored line i, 1 <= i <= lineCount(), including its appended CR.
    std::string_view line(int i) const;
    // Lines that arrived while the store was full.
    int overflowCount() const { return m_overflow; }
    // Appends one source line (without its terminator).
    void append(std::string_view sourceLine);

    // Appends every line of the file at `path` (logger line rules: CR ends a
    // line, an LF right after it belongs to it, Ctrl-Z ends the input) and
    // returns the number of lines read, stored or not. A file that cannot be
    // opened gives 0 and no error. A read error after opening stops the file:
    // the lines read so far stay, and `readError` (when given) gets the text.
    int FileOpen(const QString& path, QString* readError = nullptr);

    struct SaveResult {
        bool ok = false;
        QString errorText; // why the file could not be written (ok == false)
        int written = 0;   // lines written
        int leftOut = 0;   // lines of the merge not in the file (store full or over the file's limit)
    };
    // Writes the first min(count, lineCount(), kMergeMaxSavedLines) stored lines
    // to `path`, each followed by one more CR (so lines end CR CR, no LF). The
    // file is written whole or not at all: on failure an older file of that name
    // is left as it was and the result says why.
    SaveResult FileSave(const QString& path, int count) const;

private:
    std::string m_bytes;             // all stored lines, each ending in CR
    std::vector<std::size_t> m_ends; // end offset of line i+1 in m_bytes
    int m_overflow = 0;
};

// One day of a merge: its day of month, its mask and the names of the files
// that matched it, in name order.
struct MergeDay {
    int day = 0;
    QString mask;
    QStringList files;
};

// What a merge of From..To will do, worked out from the folder alone.
struct MergePlan {
    enum class Case {
        Search,         // the days were searched
        DifferentMonth, // From and To lie in different months: kMergeMonthMessage, nothing searched
        YearOutOfRange, // a year outside 2000..2099: kMergeYearMessage, nothing searched
    };
    Case kind = Case::Search;
    QString folder;
    QString mergedName;         // "-yymmdd-yymmdd.csv"
    std::vector<MergeDay> days; // the days searched, ascending, From day at least
    bool anyFileFound = false;

    // All files in merge order, as paths inside `folder`.
    QStringList filePaths() const;
    QString mergedPath() const;
};

// Works out the plan: for Case::Search the days From, From+1, ... while not
// past the To day, but always the From day (a From day after the To day
// searches the From day alone); for each day the regular files of `folder`
// whose names match the day mask, merged files ("-...") never among them.
MergePlan PlanMerge(const QString& folder, const QDate& from, const QDate& to);

// The outcome of a whole merge, for the window to apply.
struct MergeResult {
    enum class Status {
        DifferentMonth, // show kMergeMonthMessage
        YearOutOfRange, // show kMergeYearMessage
        NoFiles,        // show kMergeNoFilesMessage
        NoLines,        // files found but without lines: nothing written, nothing to say
        ReadFailed,     // a file could not be read to its end: errorText, nothing written
        SaveFailed,     // the merged file could not be written: message, nothing to load
        Saved,          // mergedName written; load it
    };
    Status status = Status::NoFiles;
    QString mergedName;
    QString mergedPath;
    int linesRead = 0;
    int linesWritten = 0;
    int linesLeftOut = 0;
    QString errorText;
    // Plain messages to show, in order (may be empty).
    QStringList messages;
    // True when the window should load mergedName.
    bool shouldLoad() const { return status == Status::Saved; }
};

// Runs a planned merge: empties the store, reads every planned file into it and
// writes the merged file. The store keeps the lines of the merge afterwards.
MergeResult RunMerge(const MergePlan& plan, MergeStore& store);

} // namespace logdata
