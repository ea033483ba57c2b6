// Exporting rows of a loaded logger file: the rows as the file holds them, byte
// for byte with their own line ends, under a name no merge of a day takes.
// No widgets.
#pragma once

#include <QString>

namespace logdata {

// Whether a merge would take a file of this name: it is not a merged file and
// matches the day mask "yymmdd*.csv" of a day of 2000 to 2099.
bool MergeWouldTake(const QString& fileName);

// The name "Export CSV..." suggests for the rows of `sourceName` (every row,
// or a part of them): "091201-copy.csv" would be taken by the next merge of
// 1 December 2009 with every row twice, so it is "export-091201-copy.csv".
QString ExportFileName(const QString& sourceName, bool part);

struct RowExportResult {
    bool ok = false;
    int rows = 0;  // rows written
    QString error; // why it failed (when !ok)
};

// Copies data rows from..to (numbered from 1 as the table numbers them: lines
// longer than 65 characters) of `source` into `target`, each with the bytes it
// has in the source, its line end included (CR LF, CR, LF, or none on a last
// line). The target is written whole or not at all.
RowExportResult ExportRows(const QString& source, int from, int to, const QString& target);

} // namespace logdata
