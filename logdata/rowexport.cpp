#include "logdata/rowexport.h"

#include "logdata/linereader.h"
#include "logdata/merge.h"
#include "logdata/rowformat.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace logdata {

bool MergeWouldTake(const QString& fileName) {
    if (IsMergedFileName(fileName) || fileName.size() < 6) return false;
    for (int i = 0; i < 6; ++i)
        if (!fileName[i].isDigit() || fileName[i].unicode() > '9') return false;
    const QDate day(2000 + fileName.left(2).toInt(), fileName.mid(2, 2).toInt(), fileName.mid(4, 2).toInt());
    return day.isValid() && MatchesMask(fileName, DayMask(day, day.day()));
}

QString ExportFileName(const QString& sourceName, bool part) {
    const QString base = QFileInfo(sourceName).completeBaseName();
    const QString name = base + (part ? QStringLiteral("-part.csv") : QStringLiteral("-copy.csv"));
    return MergeWouldTake(name) ? QStringLiteral("export-") + name : name;
}

RowExportResult ExportRows(const QString& source, int from, int to, const QString& target) {
    RowExportResult r;
    LineReader reader;
    if (!reader.open(source)) {
        r.error = reader.errorString();
        return r;
    }
    // The reader finds the lines; the same bytes are copied from a second, raw
    // view of the file, read in step with it.
    QFile raw(source);
    if (!raw.open(QIODevice::ReadOnly)) {
        r.error = raw.errorString();
        return r;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        r.error = out.errorString();
        return r;
    }
    QByteArray pending; // the last row taken: an LF after its CR is read with the next line
    qint64 at = 0;
    int row = 0;
    std::string_view line;
    auto takeLeadingLf = [&](QByteArray& bytes) {
        if (!pending.isEmpty() && pending.endsWith('\r') && bytes.startsWith('\n')) {
            pending.append('\n');
            bytes.remove(0, 1);
        }
    };
    while (reader.next(line)) {
        QByteArray bytes = raw.read(reader.position() - at);
        at = reader.position();
        takeLeadingLf(bytes);
        if (bytes.endsWith('\x1a')) bytes.chop(1); // the end-of-file mark is not the row's
        if (!pending.isEmpty()) {
            out.write(pending);
            pending.clear();
        }
        if (!IsLoggerRow(line)) continue;
        ++row;
        if (row > to) break;
        if (row < from) continue;
        // A line never begins with an LF: one here ends a line before that was not taken.
        if (bytes.startsWith('\n')) bytes.remove(0, 1);
        pending = bytes;
        ++r.rows;
    }
    if (!pending.isEmpty()) {
        QByteArray rest = raw.read(1);
        takeLeadingLf(rest);
        out.write(pending);
    }
    if (reader.failed()) {
        out.cancelWriting();
        r.error = reader.errorString();
        return r;
    }
    if (!out.commit()) {
        r.error = out.errorString();
        return r;
    }
    r.ok = true;
    return r;
}

} // namespace logdata
