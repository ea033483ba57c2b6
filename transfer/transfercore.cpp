#include "transfer/transfercore.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>

namespace transfer {

QString UnixListingName(const QString& line) {
    // type+permissions, links, owner, [group], size, month, day, time or year, name
    static const QRegularExpression re(
        QStringLiteral("^[-dlcbps][-rwxsStTl]{9}[.+@]?\\s+\\d+\\s+\\S+(?:\\s+\\S+)?\\s+\\d+\\s+"
                       "(?:Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)\\s+\\d{1,2}\\s+"
                       "(?:\\d{1,2}:\\d{2}|\\d{4}) (.+)$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(line);
    if (!m.hasMatch()) return {};
    QString name = m.captured(1);
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
    static const QRegularExpression re(
        QStringLiteral("^\\d{2}-\\d{2}-\\d{2,4}\\s+\\d{1,2}:\\d{2}\\s*(?:[AaPp][Mm])?\\s+"
                       "(<DIR>|\\d+)\\s+(.+)$"));
    const auto m = re.match(line);
    if (!m.hasMatch()) return false;
    name = m.captured(2);
    folder = m.captured(1) == QLatin1String("<DIR>");
    return true;
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

bool LocalCopyComplete(qint64 announced, qint64 localSize, qint64 lineFeeds) {
    if (announced <= 0) return true;
    return localSize == announced || localSize == announced + lineFeeds;
}

qint64 CountLineFeeds(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    qint64 n = 0;
    char buf[65536];
    for (qint64 got; (got = f.read(buf, sizeof buf)) > 0;)
        n += std::count(buf, buf + got, '\n');
    return n;
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
    return QStringLiteral("These files were copied but stay on the server, since their copies could not be "
                          "verified: ") +
           entries.join(QStringLiteral("; "));
}

} // namespace transfer
