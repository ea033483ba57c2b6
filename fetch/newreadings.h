// SPDX-License-Identifier: GPL-3.0-or-later
// Readings over the alarm levels among the rows a fetch added to a day file. No widgets.
#pragma once

#include <QList>
#include <QString>

namespace fetch {

struct OverLevel {
    QString channel;   // "T1", "T2", "A1" .. "A4"
    int count = 0;     // rows over the level
    QString firstTime; // the Time field of the first of them
};

// The rows of the file at `path` that begin at or after byte `previousLength` (the length the local copy
// had before the fetch; a row cut there counts as new), checked as the CSV page checks them: the
// temperatures against `tLevel`, the analog inputs against `aLevel`. The file's first line is its
// header. One entry per channel with readings over its level, in column order. Reads line by line.
QList<OverLevel> NewReadingsOverLevel(const QString& path, qint64 previousLength, int tLevel, int aLevel);

} // namespace fetch
