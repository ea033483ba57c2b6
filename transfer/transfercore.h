// What the transfer page makes of the engine's listing lines, which remote
// entries a batch takes, when a move may delete the remote file, and the key of
// "Copy from Date". No widgets.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

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

// ---- the engine's command kinds

// The status text of an engine command kind (0 ChangeDir .. 14 DoCommand) with
// its outcome: "Download success", "MakeDir failure", "List unsupported". Empty
// for a kind outside 0..14.
enum class Outcome { Success, Failure, Unsupported };
QString CommandStatusText(int kind, Outcome outcome);

// ---- batches

// The batches of the transfer page.
enum class Batch { CopySelected, CopyAll, MoveSelected, MoveAll, CopyFromDate };

// The walks over the selection and the date stop after this many entries.
inline constexpr int kWalkLimit = 32768;

// Whether a batch takes the remote entry `name` (selected or not in the list).
// The date batch compares the name with the key of `from`, taken afresh for each
// entry, so a click on the calendar during the walk counts.
bool BatchTakes(Batch batch, const QString& name, bool selected, const QDate& from = {});

// Whether the walk goes on after entry `index` (counting from 0). Only the walks
// over the selection and the date have a limit; every walk stops on a cancel.
bool WalkGoesOn(Batch batch, int index, bool cancelled);

// A walk of "Copy from Date" ran to its end: not cancelled, still connected, and
// the remote list still holds the entries it started with. Only then the stored
// date moves on to today.
bool CopyFromDateComplete(bool cancelled, bool connected, int countAtStart, int countNow);

// How an existing local file stands against a finished download of the same name.
// Missing: there is no local file. Same: the two hold the same bytes. Prefix: the
// local file is a strict beginning of the download (the day file grew since it was
// fetched). Differs: anything else, including a local file that cannot be read;
// such a file is never replaced without the user's say.
enum class LocalAgainstDownload { Missing, Same, Prefix, Differs };
LocalAgainstDownload CompareLocalWithDownload(const QString& localPath, const QString& downloadedPath);
// Whether a finished download may replace the local file of the same name without
// asking: there is none, it holds the same bytes, or it is a beginning of the download.
bool DownloadMayReplace(LocalAgainstDownload verdict);

// ---- a download that meets a different local file of its name

// The name a local file takes when the user keeps both it and the download: "NAME.csv.N.old" in its
// folder, with the first N from 1 on that no file there has. It ends in ".old", so no local list
// ("*.csv", merged files "-*.csv") and no merge's day mask ("yymmdd*.csv") takes it: a merge never
// reads the old copy beside the new one.
QString KeepBothName(const QString& localPath);

enum class ExistingFileChoice { KeepBoth, KeepLocal, Replace };

// What a finished download does with the different local file of its name.
struct CommitDecision {
    bool replace = true; // the download takes the local name
    QString keepLocalAs; // ... after the local file was renamed to this (keep both)
    QString note;        // what the user is told ("" when nothing noteworthy happened)
};

// Decides, file by file through a batch, what a finished download does to the local file of the same
// name. A local file that is missing, equal or a beginning of the download (the day file grew) is
// replaced without a word. A different one (a logger that restarted and began the day's file anew, two
// loggers writing the same day names into one folder) is never replaced unasked: an action the user
// started asks, keep both being the safe default; an unattended one (no `ask`) keeps the local file
// and says so, leaving the choice to the next action the user starts.
class ExistingFileRule {
public:
    struct Answer {
        ExistingFileChoice choice = ExistingFileChoice::KeepBoth;
        bool forRest = false; // the same for the rest of this batch, without asking again
    };
    using Ask = std::function<Answer(const QString& question)>;

    explicit ExistingFileRule(Ask ask = {}) : m_ask(std::move(ask)) {}
    CommitDecision decide(const QString& downloaded, const QString& local);
    // One line for every file that met a different local file, in the order they came.
    const QStringList& notes() const { return m_notes; }
    int questions() const { return m_questions; }

private:
    Ask m_ask;
    std::optional<ExistingFileChoice> m_forRest;
    QStringList m_notes;
    int m_questions = 0;
};

// The question for a different local file: the name, both sizes and what each choice does.
QString ExistingFileQuestion(const QString& local, qint64 downloadedSize, const QString& keepBothName);

// ---- may a move delete the server's file?

// What the server says about a remote file at one moment: SIZE (-1 when it cannot tell) and MDTM
// (invalid when it cannot tell). A move takes one sample before RETR and one right before DELE.
struct RemoteSample {
    qint64 size = -1;
    QDateTime modified; // UTC
};

// A file changed on the server this recently is taken to be still written by the logger.
inline constexpr qint64 kStillWritingSeconds = 120;
// The server's present is this computer's clock (FTP tells no time of day): a server clock that runs
// ahead of it by up to this much still makes a file of 2 minutes ago count as being written.
inline constexpr qint64 kClockSkewSeconds = 180;

// Why a move keeps the server's file, "" when it may delete it: either sample shows the file changing
// (size or time differ), its time is within kStillWritingSeconds + kClockSkewSeconds of `now` or
// ahead of it, a sample the first one had could not be taken again, or the server tells neither size
// nor time. Without MDTM the two sizes alone decide.
QString RemoteStaysReason(const RemoteSample& before, const RemoteSample& after, const QDateTime& nowUtc);
// The note for a move on a server without MDTM.
inline constexpr char kSizeOnlyNote[] =
    "The server gives no modification times: only each file's size before and after the copy was "
    "compared before deleting it.";

// The message after a move that left files on the server ("" when none stayed).
QString KeptOnServerText(const QStringList& names);
// One file that a move left on the server, with why: "a.csv (short by 10 bytes)".
QString StayedEntry(const QString& name, const QString& why);
// The message after a move that left files on the server, each with its reason ("" when none stayed).
QString StayedOnServerText(const QStringList& entries);

} // namespace transfer
