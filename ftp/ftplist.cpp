#include "ftp/ftplist.h"
#include "ftp/ftpproto.h"

#include <QRegularExpression>

void TFTPDirectoryList::ParseLine(const QString& line) {
    Fields.clear();
    Fields.append(QString());
    qsizetype i = 0;
    while (i < line.size()) {
        if (line[i] != QLatin1Char(' ')) {
            if (Fields.last().size() < 255) Fields.last().append(line[i]);
            ++i;
        } else {
            Fields.append(QString());
            while (i < line.size() && line[i] == QLatin1Char(' '))
                ++i;
        }
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
    static const QRegularExpression unixMode(QStringLiteral("^[-dlcbps][-rwxsStTl]{9}[.+@]?$"));
    if (unixMode.match(fields[0]).hasMatch()) {
        if (fields[0][0] != QLatin1Char('-')) return -1; // folders, links, devices
        for (qsizetype k = 2; k + 2 < fields.size(); ++k)
            if (isMonth(fields[k])) return DigitsValue(fields[k - 1]);
        return -1;
    }
    static const QRegularExpression dosDate(QStringLiteral("^\\d{2}-\\d{2}-\\d{2,4}$"));
    if (dosDate.match(fields[0]).hasMatch()) return DigitsValue(fields[2]); // "<DIR>" gives -1
    return -1;
}
