// Figures of one channel over a span of rows: the lowest, highest and mean
// reading with the rows they came from, and how often and how long the readings
// stayed above the alarm level. No widgets: the pages show what this computes.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <string_view>
#include <vector>

namespace logdata {

struct SpanStats {
    qsizetype count = 0; // readings in the span
    double min = 0, max = 0, mean = 0;
    qsizetype minIndex = -1, maxIndex = -1; // first index holding the minimum / maximum
    qsizetype overLevel = 0;                // readings over the level (logdata::IsOverLevel)
    // Seconds spent above the level: a reading above it counts the time up to the
    // next reading of the span, when the logger measured that time. A step longer
    // than kGapFactor times the usual step around it (the median of the steps
    // nearby) is a gap (the logger off, a day missing from a merge) and counts
    // nothing. Empty when the rows carry no readable time.
    std::optional<qint64> secondsAbove;
    qsizetype gapsSkipped = 0; // steps after a reading above the level not counted as gaps
};

// A step is a gap when it is longer than this many times the local median step.
inline constexpr int kGapFactor = 3;
// Steps on each side of a step that make its neighbourhood.
inline constexpr int kGapNeighbours = 5;

// The figures of values[first..last] (inclusive, clamped to the vector) against
// `level`. times[i] is the moment of values[i], invalid when unknown; times may be
// empty. A time that runs backwards (a merged file out of order) adds nothing.
// The neighbourhood of a step may reach beyond the span: a zoom does not turn
// a step into a gap or back.
SpanStats ComputeSpanStats(const std::vector<double>& values, const std::vector<QDateTime>& times,
                           qsizetype first, qsizetype last, double level);

// The same with the moments as seconds since the epoch, `unknown` where a row
// has no readable time (what the charts keep): fast enough for a million rows.
SpanStats ComputeSpanStats(const std::vector<double>& values, const std::vector<qint64>& seconds,
                           qsizetype first, qsizetype last, double level, qint64 unknown);

// The days a file's readings belong to, as its name tells them: the day of a
// day file "091201....csv" (also "export-091201-copy.csv"), the span of a merge
// "-091201-091215.csv". Invalid when the name tells no day.
struct DaySpan {
    QDate first, last;
    bool isValid() const { return first.isValid() && last.isValid(); }
};
DaySpan DaySpanOfFileName(const QString& fileName);

// The moment of a row read the way that fits its file's days: "01.12.09" and
// "12/01/2009" in the file of 1 December 2009 are that day, never 9 December
// 2001 or 12 January. With a span, a date that fits it in no reading (a day
// on either side allowed) gives no moment; without one, the first reading
// below that is a date.
QDateTime RowMoment(std::string_view date, std::string_view time, const DaySpan& span);

// The moment of a row from its Date and Time fields as the logger writes them
// ("2026/12/07" or "26/12/07", also with '-' or '.', or day first "07.12.2026";
// "13:05:00" or "13:05"). Invalid when they do not read as a date and time.
QDateTime RowMoment(std::string_view date, std::string_view time);

// "2 h 05 min", "45 min 10 s", "12 s": a duration for the statistics box.
QString DurationText(qint64 seconds);

} // namespace logdata
