#include "logdata/merge.h"

#include "logdata/linereader.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace logdata {

namespace {
constexpr char kCR = 13;

// Case-insensitive wildcard match of '*' (any run) and '?' (one character).
bool wildcardMatch(QStringView name, QStringView mask) {
    qsizetype n = 0, m = 0;
    qsizetype starMask = -1, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == QLatin1Char('*')) {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() &&
                   (mask[m] == QLatin1Char('?') || mask[m].toCaseFolded() == name[n].toCaseFolded())) {
            ++m;
            ++n;
        } else if (starMask >= 0) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == QLatin1Char('*'))
        ++m;
    return m == mask.size();
}

bool yearInRange(const QDate& d) {
    return d.year() >= 2000 && d.year() <= 2099;
}
} // namespace

QString TwoDigitPart(int number) {
    QString s = QString::number(number).left(2);
    if (s.size() == 1) s.prepend(QLatin1Char('0'));
    return s;
}

QString DayKey(const QDate& date) {
    return TwoDigitPart(date.year() - 2000) + TwoDigitPart(date.month()) + TwoDigitPart(date.day());
}

QString DayMask(const QDate& month, int day) {
    return TwoDigitPart(month.year() - 2000) + TwoDigitPart(month.month()) + TwoDigitPart(day) +
           QStringLiteral("*.csv");
}

bool MatchesMask(const QString& fileName, const QString& mask) {
    return wildcardMatch(fileName, mask);
}

QString MergedFileName(const QDate& from, const QDate& to) {
    return QLatin1Char('-') + DayKey(from) + QLatin1Char('-') + DayKey(to) + QStringLiteral(".csv");
}

// ---- the store ----

MergeStore::MergeStore() {
    m_ends.reserve(kMergeStoreLines);
}

void MergeStore::clear() {
    m_bytes.clear();
    m_ends.clear();
    m_overflow = 0;
}

std::string_view MergeStore::line(int i) const {
    if (i < 1 || i > lineCount()) return {};
    const std::size_t begin = i == 1 ? 0 : m_ends[static_cast<std::size_t>(i) - 2];
    return std::string_view(m_bytes).substr(begin, m_ends[static_cast<std::size_t>(i) - 1] - begin);
}

void MergeStore::append(std::string_view sourceLine) {
    if (lineCount() >= kMergeStoreLines) {
        ++m_overflow;
        return;
    }
    if (m_bytes.capacity() == 0) m_bytes.reserve(1 << 21);
    m_bytes.append(sourceLine);
    m_bytes.push_back(kCR);
    m_ends.push_back(m_bytes.size());
}

int MergeStore::FileOpen(const QString& path, QString* readError) {
    LineReader reader;
    if (!reader.open(path)) return 0;
    int lines = 0;
    std::string_view line;
    while (reader.next(line)) {
        append(line);
        ++lines;
    }
    if (reader.failed() && readError) *readError = reader.errorString();
    return lines;
}

MergeStore::SaveResult MergeStore::FileSave(const QString& path, int count) const {
    SaveResult r;
    const int n = std::max(0, std::min({count, lineCount(), kMergeMaxSavedLines}));
    r.leftOut = lineCount() + m_overflow - n;

    const QFileInfo info(path);
    if (info.isDir() || (info.exists() && !info.isWritable())) {
        r.errorText = QStringLiteral("File access denied");
        return r;
    }

    std::string out;
    const std::size_t bytes = n == 0 ? 0 : m_ends[static_cast<std::size_t>(n) - 1];
    out.reserve(bytes + static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i) {
        out.append(line(i));
        out.push_back(kCR);
    }

    QSaveFile file(path);
    // A folder that lets us replace the file's content but not add a file beside it.
    file.setDirectWriteFallback(true);
    // Unbuffered, so a write the system takes only in part (a full disk) is seen
    // here; a buffered QSaveFile can lose that error and commit a short file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        r.errorText = file.errorString();
        return r;
    }
    const auto total = static_cast<qint64>(out.size());
    qint64 done = 0;
    while (done < total) {
        const qint64 k = file.write(out.data() + done, total - done);
        if (k <= 0) break;
        done += k;
    }
    if (done != total) {
        r.errorText = file.error() == QFileDevice::NoError || file.errorString().isEmpty()
                          ? QStringLiteral("Disk full")
                          : file.errorString();
        file.cancelWriting();
        return r;
    }
    if (!file.commit()) {
        r.errorText = file.errorString();
        return r;
    }
    r.ok = true;
    r.written = n;
    return r;
}

// ---- the plan ----

QStringList MergePlan::filePaths() const {
    QStringList paths;
    const QDir dir(folder);
    for (const MergeDay& d : days)
        for (const QString& f : d.files)
            paths << dir.filePath(f);
    return paths;
}

QString MergePlan::mergedPath() const {
    return QDir(folder).filePath(mergedName);
}

MergePlan PlanMerge(const QString& folder, const QDate& from, const QDate& to) {
    MergePlan plan;
    plan.folder = folder;
    plan.mergedName = MergedFileName(from, to);
    if (from.year() != to.year() || from.month() != to.month()) {
        plan.kind = MergePlan::Case::DifferentMonth;
        return plan;
    }
    if (!yearInRange(from)) {
        plan.kind = MergePlan::Case::YearOutOfRange;
        return plan;
    }

    // The folder's regular files (hidden ones too), read once for all days.
    QStringList entries;
    QDirIterator it(folder, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (!IsMergedFileName(name)) entries << name;
    }
    // The files of one day in the order of their names, whatever order the folder keeps.
    std::sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });

    int d = from.day();
    do {
        MergeDay day;
        day.day = d;
        day.mask = DayMask(from, d);
        for (const QString& name : std::as_const(entries))
            if (MatchesMask(name, day.mask)) day.files << name;
        if (!day.files.isEmpty()) plan.anyFileFound = true;
        plan.days.push_back(std::move(day));
        ++d;
    } while (d <= to.day());
    return plan;
}

// ---- the whole merge ----

MergeResult RunMerge(const MergePlan& plan, MergeStore& store) {
    MergeResult r;
    r.mergedName = plan.mergedName;
    r.mergedPath = plan.mergedPath();
    store.clear();
    switch (plan.kind) {
    case MergePlan::Case::DifferentMonth:
        r.status = MergeResult::Status::DifferentMonth;
        r.messages << QString::fromLatin1(kMergeMonthMessage);
        return r;
    case MergePlan::Case::YearOutOfRange:
        r.status = MergeResult::Status::YearOutOfRange;
        r.messages << QString::fromLatin1(kMergeYearMessage);
        return r;
    case MergePlan::Case::Search:
        break;
    }

    for (const QString& path : plan.filePaths()) {
        QString error;
        r.linesRead += store.FileOpen(path, &error);
        if (!error.isEmpty()) {
            r.status = MergeResult::Status::ReadFailed;
            r.errorText = QFileInfo(path).fileName() + QStringLiteral(": ") + error;
            return r;
        }
    }
    if (!plan.anyFileFound) {
        r.status = MergeResult::Status::NoFiles;
        r.messages << QString::fromLatin1(kMergeNoFilesMessage);
        return r;
    }
    if (store.lineCount() == 0) {
        r.status = MergeResult::Status::NoLines;
        return r;
    }

    const MergeStore::SaveResult saved = store.FileSave(r.mergedPath, store.lineCount());
    if (!saved.ok) {
        r.status = MergeResult::Status::SaveFailed;
        r.errorText = saved.errorText;
        r.linesLeftOut = store.lineCount() + store.overflowCount();
        r.messages << QStringLiteral("The merged file %1 could not be written: %2")
                          .arg(r.mergedName, saved.errorText);
        return r;
    }
    r.status = MergeResult::Status::Saved;
    r.linesWritten = saved.written;
    r.linesLeftOut = saved.leftOut;
    if (saved.leftOut > 0)
        r.messages << QStringLiteral("%1 of the %2 lines of the period were left out: a merged file holds at "
                                     "most %3 lines.")
                          .arg(saved.leftOut)
                          .arg(r.linesRead)
                          .arg(kMergeMaxSavedLines);
    return r;
}

} // namespace logdata
