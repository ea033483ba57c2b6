#include "transfer/transfercore.h"

#include "ftp/ftplist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cstring>

namespace transfer {

namespace {
// Listing lines are read by hand rather than by regular expressions: a folder of
// thousands of files is shown at once, and no line, however long or odd, costs
// more than one pass over it.
bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool allDigits(QStringView t, qsizetype least = 1, qsizetype most = 1 << 30) {
    if (t.size() < least || t.size() > most) return false;
    for (QChar c : t)
        if (!isDigit(c)) return false;
    return true;
}

qsizetype skipSpace(const QString& line, qsizetype i) {
    while (i < line.size() && line[i].isSpace())
        ++i;
    return i;
}

qsizetype skipWord(const QString& line, qsizetype i) {
    while (i < line.size() && !line[i].isSpace())
        ++i;
    return i;
}

bool isMonthName(QStringView t) {
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    if (t.size() != 3) return false;
    for (const char* m : months)
        if (t.compare(QLatin1String(m), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// "12:05", "9:05" or "2023".
bool isTimeOrYear(QStringView t) {
    if (allDigits(t, 4, 4)) return true;
    const qsizetype colon = t.indexOf(QLatin1Char(':'));
    return (colon == 1 || colon == 2) && t.size() == colon + 3 && allDigits(t.left(colon)) &&
           allDigits(t.mid(colon + 1));
}

// The name after the columns of a Unix line, which has a group column or not:
// type+permissions, links, owner, [group], size, month, day, time or year, one space, the name.
QString unixNameAfterColumns(const QString& line, int columns) {
    QStringView word[8];
    qsizetype i = 0;
    for (int k = 0; k < columns; ++k) {
        if (k > 0) {
            const qsizetype s = skipSpace(line, i);
            if (s == i) return {};
            i = s;
        }
        const qsizetype e = skipWord(line, i);
        if (e == i) return {};
        word[k] = QStringView(line).mid(i, e - i);
        i = e;
    }
    const int g = columns == 8 ? 1 : 0; // the group column shifts the rest by one
    if (!IsUnixModeField(word[0], Qt::CaseInsensitive) || !allDigits(word[1]) || !allDigits(word[3 + g]) ||
        !isMonthName(word[4 + g]) || !allDigits(word[5 + g], 1, 2) || !isTimeOrYear(word[6 + g]))
        return {};
    if (i + 1 >= line.size() || line[i] != QLatin1Char(' ')) return {};
    const QString name = line.mid(i + 1);
    return name.contains(QLatin1Char('\n')) ? QString() : name;
}
} // namespace

QString UnixListingName(const QString& line) {
    QString name = unixNameAfterColumns(line, 8);
    if (name.isEmpty()) name = unixNameAfterColumns(line, 7);
    if (name.isEmpty()) return {};
    if (line.startsWith(QLatin1Char('l'))) {
        const int arrow = name.indexOf(QLatin1String(" -> "));
        if (arrow > 0) name.truncate(arrow);
    }
    return name;
}

QString ListingExtension(const QString& name) {
    const int dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name.left(3) : name.mid(dot + 1, 3);
}

namespace {
// A Windows (IIS) listing line: "12-01-09  10:00AM       133920 091201.csv" or "... <DIR> logger".
bool DosListingEntry(const QString& line, QString& name, bool& folder) {
    qsizetype i = skipWord(line, 0);
    if (!IsDosDateField(QStringView(line).left(i))) return false;
    qsizetype s = skipSpace(line, i);
    if (s == i) return false;
    // The time, "10:00" or "9:00", with AM or PM after it or apart from it.
    const qsizetype colon = line.indexOf(QLatin1Char(':'), s);
    if (colon < 0 || colon - s < 1 || colon - s > 2 || !allDigits(QStringView(line).mid(s, colon - s)) ||
        !allDigits(QStringView(line).mid(colon + 1, 2), 2, 2))
        return false;
    i = colon + 3;
    s = skipSpace(line, i);
    const QStringView half = QStringView(line).mid(s, 2);
    if (half.size() == 2 && (half[1] == QLatin1Char('M') || half[1] == QLatin1Char('m')) &&
        QStringLiteral("AaPp").contains(half[0]) && s + 2 < line.size() && line[s + 2].isSpace())
        s = skipSpace(line, s + 2);
    else if (s == i)
        return false;
    // The size, or <DIR> for a folder.
    i = skipWord(line, s);
    const QStringView size = QStringView(line).mid(s, i - s);
    folder = size == QLatin1String("<DIR>");
    if (!folder && !allDigits(size)) return false;
    s = skipSpace(line, i);
    if (s == i) return false;
    // The name is the rest; a run of blanks at the end leaves its last blank as the name.
    if (s == line.size()) {
        if (s - i < 2) return false;
        --s;
    }
    name = line.mid(s);
    return !name.contains(QLatin1Char('\n'));
}
} // namespace

ListingEntry InterpretListingLine(const QString& line) {
    ListingEntry e;
    if (line.isEmpty()) return e;
    QString name = UnixListingName(line);
    bool dosFolder = false;
    const bool dos = name.isEmpty() && DosListingEntry(line, name, dosFolder);
    if (name.isEmpty()) {
        if (line.size() < 56) return e;
        name = line.at(55) == QLatin1Char(' ') ? line.mid(62) : line.mid(55);
    }
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
        return e;
    e.name = name;
    if (dos ? dosFolder : line.startsWith(QLatin1Char('d'))) {
        e.kind = ListingEntry::Kind::Folder;
    } else {
        e.kind = ListingEntry::Kind::File;
        e.csv = ListingExtension(name) == QLatin1String("csv");
    }
    return e;
}

QString CopyFromKey(const QDate& date) {
    auto two = [](int v) { return QString::number(v % 100).rightJustified(2, QLatin1Char('0')); };
    return two(date.year()) + two(date.month()) + two(date.day());
}

bool NameFromKeyOn(const QString& name, const QString& key) {
    return QStringView(name).left(6).compare(key) >= 0;
}

QString DateText(const QDate& date) {
    return QLocale().toString(date, QLocale::ShortFormat).left(10);
}

QString CommandStatusText(int kind, Outcome outcome) {
    static const char* const kKinds[15] = {"ChangeDir", "MakeDir", "Delete",        "RemoveDir",
                                           "List",      "Rename",  "UploadRestore", "DownloadRestore",
                                           "Download",  "Upload",  "UploadAppend",  "ReInit",
                                           "Allocate",  "NList",   "DoCommand"};
    if (kind < 0 || kind > 14) return {};
    const char* suffix = outcome == Outcome::Success   ? " success"
                         : outcome == Outcome::Failure ? " failure"
                                                       : " unsupported";
    return QString::fromLatin1(kKinds[kind]) + QLatin1String(suffix);
}

bool BatchTakes(Batch batch, const QString& name, bool selected, const QDate& from) {
    switch (batch) {
    case Batch::CopySelected:
    case Batch::MoveSelected:
        return selected;
    case Batch::CopyAll:
    case Batch::MoveAll:
        return true;
    case Batch::CopyFromDate:
        return NameFromKeyOn(name, CopyFromKey(from));
    }
    return false;
}

bool WalkGoesOn(Batch batch, int index, bool cancelled) {
    if (cancelled) return false;
    const bool limited =
        batch == Batch::CopySelected || batch == Batch::MoveSelected || batch == Batch::CopyFromDate;
    return !limited || index + 1 < kWalkLimit;
}

bool CopyFromDateComplete(bool cancelled, bool connected, int countAtStart, int countNow) {
    return !cancelled && connected && countNow == countAtStart;
}

LocalAgainstDownload CompareLocalWithDownload(const QString& localPath, const QString& downloadedPath) {
    QFile local(localPath);
    if (!local.exists()) return LocalAgainstDownload::Missing;
    QFile fetched(downloadedPath);
    if (!local.open(QIODevice::ReadOnly) || !fetched.open(QIODevice::ReadOnly))
        return LocalAgainstDownload::Differs;
    const qint64 localSize = local.size();
    const qint64 fetchedSize = fetched.size();
    if (localSize > fetchedSize) return LocalAgainstDownload::Differs;
    static constexpr qint64 kChunk = 1 << 16;
    QByteArray a(kChunk, Qt::Uninitialized), b(kChunk, Qt::Uninitialized);
    for (qint64 left = localSize; left > 0;) {
        const qint64 want = std::min(left, kChunk);
        if (local.read(a.data(), want) != want || fetched.read(b.data(), want) != want)
            return LocalAgainstDownload::Differs;
        if (std::memcmp(a.constData(), b.constData(), size_t(want)) != 0)
            return LocalAgainstDownload::Differs;
        left -= want;
    }
    return localSize == fetchedSize ? LocalAgainstDownload::Same : LocalAgainstDownload::Prefix;
}

bool DownloadMayReplace(LocalAgainstDownload verdict) {
    return verdict != LocalAgainstDownload::Differs;
}

QString KeepBothName(const QString& localPath) {
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1.%2.old").arg(localPath).arg(n);
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink()) return candidate;
    }
}

QString ExistingFileQuestion(const QString& local, qint64 downloadedSize, const QString& keepBothName) {
    const QFileInfo fi(local);
    const QLocale l;
    return QStringLiteral("%1 is in the local folder already and differs from the server's copy.\n"
                          "Here: %2 bytes, changed %3. On the server: %4 bytes.\n\n"
                          "Keep both: the local file is renamed to %5.\n"
                          "Keep the local file: the server's copy is not saved (a move leaves it there).\n"
                          "Replace: the local file is lost.")
        .arg(fi.fileName(), l.toString(fi.size()),
             l.toString(fi.lastModified(), QStringLiteral("yyyy-MM-dd HH:mm")), l.toString(downloadedSize),
             QFileInfo(keepBothName).fileName());
}

CommitDecision ExistingFileRule::decide(const QString& downloaded, const QString& local) {
    CommitDecision d;
    if (DownloadMayReplace(CompareLocalWithDownload(local, downloaded))) return d;
    const QString name = QFileInfo(local).fileName();
    const QString aside = KeepBothName(local);
    ExistingFileChoice choice = ExistingFileChoice::KeepLocal;
    if (m_forRest) {
        choice = *m_forRest;
    } else if (m_ask) {
        ++m_questions;
        const Answer a = m_ask(ExistingFileQuestion(local, QFileInfo(downloaded).size(), aside));
        choice = a.choice;
        if (a.forRest) m_forRest = choice;
    }
    switch (choice) {
    case ExistingFileChoice::KeepBoth:
        d.keepLocalAs = aside;
        d.note = QStringLiteral("%1 differed from the server's copy: the local file was renamed to %2, the "
                                "server's copy saved as %1")
                     .arg(name, QFileInfo(aside).fileName());
        break;
    case ExistingFileChoice::KeepLocal:
        d.replace = false;
        d.note = QStringLiteral("%1 differs from the server's copy: the local file was kept, the server's "
                                "copy was not saved")
                     .arg(name);
        if (!m_ask) d.note += QStringLiteral(" (fetch it from the window to choose)");
        break;
    case ExistingFileChoice::Replace:
        d.note = QStringLiteral("%1 differed from the server's copy and was replaced by it").arg(name);
        break;
    }
    m_notes << d.note;
    return d;
}

namespace {
QString utcText(const QDateTime& t) {
    return t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" UTC");
}
} // namespace

QString RemoteStaysReason(const RemoteSample& before, const RemoteSample& after, const QDateTime& nowUtc) {
    if (before.size >= 0 && after.size >= 0 && before.size != after.size)
        return QStringLiteral("it changed on the server during the move: %1 bytes, then %2")
            .arg(before.size)
            .arg(after.size);
    if (before.modified.isValid() && after.modified.isValid() && before.modified != after.modified)
        return QStringLiteral("it changed on the server during the move: changed %1, then %2")
            .arg(utcText(before.modified), utcText(after.modified));
    if ((before.size >= 0) != (after.size >= 0) || before.modified.isValid() != after.modified.isValid())
        return QStringLiteral("the server could not tell its size or time again before deleting it");
    if (before.size < 0 && !before.modified.isValid())
        return QStringLiteral("the server tells neither its size nor its time, so a change during the move "
                              "could not be ruled out");
    if (before.modified.isValid()) {
        const qint64 age = before.modified.secsTo(nowUtc);
        if (age < 0)
            return QStringLiteral("its time on the server (%1) is ahead of this computer's clock, so it may "
                                  "still be being written")
                .arg(utcText(before.modified));
        if (age < kStillWritingSeconds + kClockSkewSeconds)
            return QStringLiteral("it was changed on the server %1 seconds ago (%2), so it may still be "
                                  "being written")
                .arg(age)
                .arg(utcText(before.modified));
    }
    return {};
}

QString KeptOnServerText(const QStringList& names) {
    if (names.isEmpty()) return {};
    return QStringLiteral("These files arrived incomplete and were left on the server: ") +
           names.join(QStringLiteral(", "));
}

QString StayedEntry(const QString& name, const QString& why) {
    QString reason = why.trimmed();
    while (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return reason.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, reason);
}

QString StayedOnServerText(const QStringList& entries) {
    if (entries.isEmpty()) return {};
    return QStringLiteral("These files stay on the server: ") + entries.join(QStringLiteral("; "));
}

} // namespace transfer
