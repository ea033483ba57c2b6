#include "charts/spanstats.h"

#include "logdata/rowformat.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <limits>

namespace logdata {

SpanStats ComputeSpanStats(const std::vector<double>& values, const std::vector<QDateTime>& times,
                           qsizetype first, qsizetype last, double level) {
    constexpr qint64 kUnknown = std::numeric_limits<qint64>::min();
    std::vector<qint64> seconds;
    seconds.reserve(times.size());
    for (const QDateTime& t : times)
        seconds.push_back(t.isValid() ? t.toSecsSinceEpoch() : kUnknown);
    return ComputeSpanStats(values, seconds, first, last, level, kUnknown);
}

namespace {
// The median of the known forward steps around step i (from t[i] to t[i + 1]),
// itself included; 0 when there is none.
qint64 LocalMedianStep(const qint64* t, qsizetype n, qsizetype i, qint64 unknown) {
    std::array<qint64, 2 * kGapNeighbours + 1> steps{};
    std::size_t k = 0;
    const qsizetype from = std::max<qsizetype>(0, i - kGapNeighbours);
    const qsizetype to = std::min<qsizetype>(n - 2, i + kGapNeighbours);
    for (qsizetype j = from; j <= to; ++j)
        if (t[j] != unknown && t[j + 1] != unknown && t[j + 1] > t[j]) steps[k++] = t[j + 1] - t[j];
    if (k == 0) return 0;
    auto mid = steps.begin() + static_cast<std::ptrdiff_t>(k / 2);
    std::nth_element(steps.begin(), mid, steps.begin() + static_cast<std::ptrdiff_t>(k));
    return *mid;
}
} // namespace

SpanStats ComputeSpanStats(const std::vector<double>& values, const std::vector<qint64>& seconds,
                           qsizetype first, qsizetype last, double level, qint64 unknown) {
    SpanStats s;
    const auto n = static_cast<qsizetype>(values.size());
    first = std::max<qsizetype>(first, 0);
    last = std::min<qsizetype>(last, n - 1);
    if (first > last) return s;
    const bool timed = static_cast<qsizetype>(seconds.size()) >= last + 1;
    const auto tn = static_cast<qsizetype>(seconds.size());
    const double* v = values.data();
    const qint64* t = seconds.data();
    qint64 above = 0;
    bool anyTime = false;
    double sum = 0, lo = v[first], hi = v[first];
    qsizetype loAt = first, hiAt = first, over = 0, gaps = 0;
    for (qsizetype i = first; i <= last; ++i) {
        const double x = v[i];
        if (x < lo) lo = x, loAt = i;
        if (x > hi) hi = x, hiAt = i;
        sum += x;
        if (IsOverLevel(x, level)) {
            ++over;
            if (timed && i < last && t[i] != unknown && t[i + 1] != unknown && t[i + 1] > t[i]) {
                const qint64 step = t[i + 1] - t[i];
                if (step > kGapFactor * LocalMedianStep(t, tn, i, unknown))
                    ++gaps;
                else
                    above += step;
            }
        }
    }
    if (timed)
        for (qsizetype i = first; i <= last && !anyTime; ++i)
            anyTime = t[i] != unknown;
    s.count = last - first + 1;
    s.min = lo, s.max = hi, s.minIndex = loAt, s.maxIndex = hiAt, s.overLevel = over;
    s.mean = sum / static_cast<double>(s.count);
    if (anyTime) s.secondsAbove = above;
    s.gapsSkipped = gaps;
    return s;
}

namespace {
bool digits(std::string_view t, int& out) {
    if (t.empty() || t.size() > 4) return false;
    out = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

// Splits at any of the separators into exactly `count` parts.
template <std::size_t N>
bool parts(std::string_view t, std::string_view seps, std::array<int, N>& out,
           std::array<std::size_t, N>& widths) {
    std::size_t k = 0;
    while (k < N) {
        const std::size_t at = t.find_first_of(seps);
        const std::string_view piece = at == std::string_view::npos ? t : t.substr(0, at);
        if (!digits(piece, out[k])) return false;
        widths[k] = piece.size();
        ++k;
        if (at == std::string_view::npos) break;
        t.remove_prefix(at + 1);
    }
    return k == N;
}

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && t.front() == ' ')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    return t;
}
} // namespace

DaySpan DaySpanOfFileName(const QString& fileName) {
    const QString base = QFileInfo(fileName).fileName();
    auto day = [](const QString& yymmdd) {
        return QDate(2000 + yymmdd.left(2).toInt(), yymmdd.mid(2, 2).toInt(), yymmdd.mid(4, 2).toInt());
    };
    static const QRegularExpression merged(QStringLiteral("^-(\\d{6})-(\\d{6})"));
    if (const QRegularExpressionMatch m = merged.match(base); m.hasMatch()) {
        const DaySpan span{day(m.captured(1)), day(m.captured(2))};
        if (span.isValid() && span.first <= span.last) return span;
    }
    static const QRegularExpression single(QStringLiteral("(?<!\\d)(\\d{6})(?!\\d)"));
    for (auto it = single.globalMatch(base); it.hasNext();) {
        const QDate d = day(it.next().captured(1));
        if (d.isValid()) return {d, d};
    }
    return {};
}

QDateTime RowMoment(std::string_view dateText, std::string_view timeText) {
    return RowMoment(dateText, timeText, DaySpan{});
}

QDateTime RowMoment(std::string_view dateText, std::string_view timeText, const DaySpan& span) {
    // Every way the date text reads, the usual one first.
    std::array<QDate, 3> readings{};
    std::size_t n = 0;
    std::array<int, 3> d{};
    std::array<std::size_t, 3> w{};
    const std::string_view dt = trimmed(dateText);
    int packed = 0;
    if ((dt.size() == 6 || dt.size() == 8) && digits(dt.substr(0, 4), packed)) {
        // "261207" or "20261207", as the logger writes the date into its rows
        std::array<int, 3> v{};
        const std::size_t y = dt.size() - 4;
        if (!digits(dt.substr(0, y), v[0]) || !digits(dt.substr(y, 2), v[1]) ||
            !digits(dt.substr(y + 2, 2), v[2]))
            return {};
        readings[n++] = QDate(y == 2 ? 2000 + v[0] : v[0], v[1], v[2]);
    } else if (!parts(dt, "/-.", d, w)) {
        return {};
    } else if (w[0] == 4) { // year first
        readings[n++] = QDate(d[0], d[1], d[2]);
    } else {
        const int year = w[2] == 4 ? d[2] : 2000 + d[2];
        if (w[2] != 4) readings[n++] = QDate(2000 + d[0], d[1], d[2]); // yy/mm/dd, as in the file names
        readings[n++] = QDate(year, d[1], d[0]);                       // dd.mm.yy
        readings[n++] = QDate(year, d[0], d[1]);                       // mm/dd/yy
    }
    QDate date;
    for (std::size_t k = 0; k < n && !date.isValid(); ++k) {
        const QDate& r = readings[k];
        if (!r.isValid()) continue;
        if (!span.isValid() || (r >= span.first.addDays(-1) && r <= span.last.addDays(1))) date = r;
    }
    if (!date.isValid()) return {};

    std::array<int, 3> t{};
    std::array<std::size_t, 3> tw{};
    QTime time;
    const std::string_view tt = trimmed(timeText);
    if (parts(tt, ":", t, tw))
        time = QTime(t[0], t[1], t[2]);
    else {
        std::array<int, 2> hm{};
        std::array<std::size_t, 2> hw{};
        if (parts(tt, ":", hm, hw)) time = QTime(hm[0], hm[1]);
    }
    if (!time.isValid()) return {};
    return QDateTime(date, time);
}

QString DurationText(qint64 seconds) {
    seconds = std::max<qint64>(seconds, 0);
    const qint64 h = seconds / 3600, m = seconds % 3600 / 60, s = seconds % 60;
    if (h > 0) return QStringLiteral("%1 h %2 min").arg(h).arg(m, 2, 10, QLatin1Char('0'));
    if (m > 0) return QStringLiteral("%1 min %2 s").arg(m).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 s").arg(s);
}

} // namespace logdata
