#include "ftp/ftplist.h"

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
