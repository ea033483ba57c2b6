#include "ftp/ftplist.h"
#include "ftp/ftpproto.h"

#include <algorithm>

void TFTPDirectoryList::ParseLine(const QString& line) {
    // One piece per field (not one character at a time): listings of thousands of lines are split as
    // they arrive.
    Fields.clear();
    qsizetype i = 0;
    const qsizetype n = line.size();
    for (;;) {
        const qsizetype start = i;
        while (i < n && line[i] != QLatin1Char(' '))
            ++i;
        Fields.append(line.mid(start, std::min<qsizetype>(i - start, 255)));
        if (i >= n) break;
        while (i < n && line[i] == QLatin1Char(' '))
            ++i;
    }
    FieldCount = int(Fields.size());
}

void TFTPDirectoryList::Clear() {
    Attributes.clear();
    Names.clear();
    ModifyDates.clear();
    Sizes.clear();
}

void TFTPUnixList::ParseLine(const QString& line) {
    TFTPDirectoryList::ParseLine(line);
    const int n = FieldCount;
    if (n <= 7) return;
    auto field = [this](int k) { return Fields[k - 1]; }; // fields are counted from 1
    Names.append(field(n));
    Sizes.append(field(n - 4));
    ModifyDates.append(field(n - 3) + QLatin1Char(' ') + field(n - 2) + QLatin1Char(' ') + field(n - 1));
    Attributes.append(field(1));
}

namespace {
bool isMonth(const QString& field) {
    static const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                   "jul", "aug", "sep", "oct", "nov", "dec"};
    if (field.size() != 3) return false;
    for (const char* m : months)
        if (field.compare(QLatin1String(m), Qt::CaseInsensitive) == 0) return true;
    return false;
}
} // namespace

qint64 ListingSizeOf(const QString& line) {
    if (line.size() > 4096) return -1;
    const QStringList fields = line.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() < 4) return -1;
    if (IsUnixModeField(fields[0])) {
        if (fields[0][0] != QLatin1Char('-')) return -1; // folders, links, devices
        // The size is the column before the date (month, day, time or year), after the mode, the link
        // count and the owner; an owner, group or name that looks like a month does not move it.
        auto digits = [](const QString& f, int lo, int hi) {
            if (f.size() < lo || f.size() > hi) return false;
            return std::all_of(f.begin(), f.end(), [](QChar c) { return c.isDigit(); });
        };
        auto timeOrYear = [&](const QString& f) {
            return digits(f, 4, 4) ||
                   (f.size() >= 4 && f.size() <= 5 && f[f.size() - 3] == QLatin1Char(':') &&
                    digits(f.left(f.size() - 3), 1, 2) && digits(f.right(2), 2, 2));
        };
        for (qsizetype k = 4; k + 3 < fields.size(); ++k)
            if (isMonth(fields[k]) && digits(fields[k + 1], 1, 2) && timeOrYear(fields[k + 2]) &&
                digits(fields[k - 1], 1, 20))
                return DigitsValue(fields[k - 1]);
        return -1;
    }
    if (IsDosDateField(fields[0])) return DigitsValue(fields[2]); // "<DIR>" gives -1
    return -1;
}

namespace {
bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
bool oneOf(QChar c, const char* set, Qt::CaseSensitivity cs) {
    for (const char* p = set; *p; ++p) {
        const QChar k = QLatin1Char(*p);
        if (c == k || (cs == Qt::CaseInsensitive && c.toLower() == k.toLower())) return true;
    }
    return false;
}
} // namespace

bool IsUnixModeField(QStringView field, Qt::CaseSensitivity cs) {
    if (field.size() != 10 && field.size() != 11) return false;
    if (!oneOf(field[0], "-dlcbps", cs)) return false;
    for (int k = 1; k < 10; ++k)
        if (!oneOf(field[k], "-rwxsStTl", cs)) return false;
    return field.size() == 10 || oneOf(field[10], ".+@", cs);
}

bool IsDosDateField(QStringView field) {
    if (field.size() < 8 || field.size() > 10) return false;
    for (qsizetype k = 0; k < field.size(); ++k) {
        const bool dash = k == 2 || k == 5;
        if (dash ? field[k] != QLatin1Char('-') : !isDigit(field[k])) return false;
    }
    return true;
}
