// SPDX-License-Identifier: GPL-3.0-or-later
#include "fetch/newreadings.h"

#include "logdata/rowformat.h"

#include <QFile>

#include <array>
#include <string_view>

namespace fetch {
namespace {
struct Column {
    int field; // 1-based
    const char* name;
    bool analog;
};
constexpr std::array<Column, 6> kColumns{{{3, "T1", false},
                                          {4, "T2", false},
                                          {7, "A1", true},
                                          {8, "A2", true},
                                          {9, "A3", true},
                                          {10, "A4", true}}};

// The start of the line that holds byte `offset`: a row the previous copy held only in part is new.
qint64 lineStart(QFile& file, qint64 offset) {
    qint64 pos = offset;
    while (pos > 0) {
        const qint64 from = std::max<qint64>(0, pos - 4096);
        if (!file.seek(from)) return 0;
        const QByteArray chunk = file.read(pos - from);
        const qsizetype nl = chunk.lastIndexOf('\n');
        if (nl >= 0) return from + nl + 1;
        pos = from;
    }
    return 0;
}
} // namespace

QList<OverLevel> NewReadingsOverLevel(const QString& path, qint64 previousLength, int tLevel, int aLevel) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const qint64 start = previousLength > 0 ? lineStart(file, std::min(previousLength, file.size())) : 0;
    if (!file.seek(start)) return {};
    std::array<OverLevel, kColumns.size()> found;
    bool header = start == 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine(1 << 20);
        if (header) {
            header = false;
            continue;
        }
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        const std::string_view row(line.constData(), std::size_t(line.size()));
        if (!logdata::IsLoggerRow(row)) continue;
        std::array<std::string_view, 11> fields{};
        int n = 0;
        logdata::ForEachCSVField(row, ',', [&](std::string_view f) {
            ++n;
            if (n < int(fields.size())) fields[std::size_t(n)] = f;
        });
        for (std::size_t c = 0; c < kColumns.size(); ++c) {
            const Column& col = kColumns[c];
            if (col.field > n) continue;
            const std::string_view text = fields[std::size_t(col.field)];
            const logdata::Decoded d = col.analog ? logdata::DecodeAField(text) : logdata::DecodeTField(text);
            if (!logdata::IsOverLevel(d, col.analog ? aLevel : tLevel)) continue;
            if (found[c].count++ == 0)
                found[c].firstTime = QString::fromLatin1(fields[2].data(), qsizetype(fields[2].size()));
        }
    }
    QList<OverLevel> out;
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        if (found[c].count == 0) continue;
        found[c].channel = QString::fromLatin1(kColumns[c].name);
        out << found[c];
    }
    return out;
}

} // namespace fetch
