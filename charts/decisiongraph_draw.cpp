// The chart component: bottom-axis labels, the time axis and the tracker.
#include "charts/decisiongraph.h"

#include "platform/guarded.h"
#include "platform/platform.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QGraphicsTextItem>
#include <QGuiApplication>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLegendMarker>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QResizeEvent>
#include <QRubberBand>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

const TChartSeries* TDecisionGraph::labelSource() const {
    for (const TChartSeries* s : m_series)
        if (s->count() > 0) return s;
    return nullptr;
}

QList<QPair<double, QString>> TDecisionGraph::visibleLabels() const {
    QList<QPair<double, QString>> out;
    m_gapMarks.clear();
    const TChartSeries* src = labelSource();
    if (!src) return out;
    // With the rows known, Xmode chooses afresh at every paint: times of day or row numbers.
    const bool rowNumbers = m_rows != nullptr;
    if (rowNumbers && m_rows->timeLabels() && timeAxisLabels(out)) return out;
    auto text = [&](int i) { return rowNumbers ? QString::number(i + 1) : src->label(i); };
    const QRectF plot = m_qchart->plotArea();
    if (plot.width() <= 0) return out;
    const int n = src->count();
    const int first = std::max(0, static_cast<int>(std::ceil(m_xMin)));
    const int last = std::min(n - 1, static_cast<int>(std::floor(m_xMax)));
    if (first > last) return out;
    // Space the labels by the widest text of the visible range (sampled).
    const QFontMetrics fm(m_labelFont);
    int widest = 10;
    const int sampleStep = std::max(1, (last - first) / 50);
    for (int i = first; i <= last; i += sampleStep)
        widest = std::max(widest, fm.horizontalAdvance(text(i)));
    const double pxPerPoint = plot.width() / std::max(1e-9, m_xMax - m_xMin);
    int step = std::max(1, static_cast<int>(std::ceil((widest + 12) / std::max(1e-9, pxPerPoint))));
    // Round the step to 1, 2, 5 x 10^k so the labelled rows look regular.
    int nice = 1;
    while (nice < step) {
        if (nice * 2 >= step) {
            nice *= 2;
            break;
        }
        if (nice * 5 >= step) {
            nice *= 5;
            break;
        }
        nice *= 10;
    }
    step = nice;
    const int start = ((first + step - 1) / step) * step;
    for (int i = start; i <= last; i += step)
        out.append({static_cast<double>(i), text(i)});
    return out;
}

bool TDecisionGraph::timeAxisLabels(QList<QPair<double, QString>>& out) const {
    m_gapMarks.clear();
    const std::vector<qint64>& m = m_rows->moments();
    const auto [first, last] = visibleIndexRange();
    if (first < 0 || last >= static_cast<int>(m.size())) return false;
    const QRectF plot = m_qchart->plotArea();
    if (plot.width() <= 0) return false;
    constexpr qint64 kNone = TChartRows::kNoMoment;
    auto at = [&](int i) { return m[static_cast<std::size_t>(i)]; };
    int firstTimed = -1, lastTimed = -1;
    for (int i = first; i <= last; ++i)
        if (at(i) != kNone) {
            if (firstTimed < 0) firstTimed = i;
            lastTimed = i;
        }
    if (firstTimed < 0) return false; // no row of the view has a time: row numbers
    // The usual step between rows (a sample of the view's forward steps): the
    // scale of the ticks. Gaps and steps back do not stretch it.
    std::vector<qint64> steps;
    const int every = std::max(1, (last - first) / 2000);
    for (int i = first; i < last; i += every)
        if (at(i) != kNone && at(i + 1) != kNone && at(i + 1) > at(i)) steps.push_back(at(i + 1) - at(i));
    qint64 usual = 60;
    if (!steps.empty()) {
        std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2),
                         steps.end());
        usual = steps[steps.size() / 2];
    }
    // A step of more than three usual steps is a gap: compressed to one row, and marked.
    const qint64 gap = 3 * usual;
    const QDateTime d0 = QDateTime::fromSecsSinceEpoch(at(firstTimed)),
                    d1 = QDateTime::fromSecsSinceEpoch(at(lastTimed));
    const bool days = d0.date() != d1.date();
    const QFontMetrics fm(m_labelFont);
    const int widest =
        fm.horizontalAdvance(days ? QStringLiteral("00/00 00:00") : QStringLiteral("00:00:00"));
    const double pxPerIndex = plot.width() / std::max(1e-9, m_xMax - m_xMin);
    const double pxPerSecond = pxPerIndex / static_cast<double>(std::max<qint64>(1, usual));
    static const qint64 kSteps[] = {1,   2,    5,    10,   15,    30,    60,    120,   300,    600,
                                    900, 1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800, 604800};
    qint64 step = 0;
    for (qint64 st : kSteps)
        if (st * pxPerSecond >= widest + 16) {
            step = st;
            break;
        }
    if (step == 0) step = static_cast<qint64>(std::ceil((widest + 16) / pxPerSecond / 86400.0)) * 86400;

    // Labels never overlap: one that would touch the label before it is left out.
    double lastRight = -1e18;
    QDate lastDate;
    auto place = [&](double x, const QString& text, const QDate& date) {
        const double w = fm.horizontalAdvance(text);
        const double px = (x - m_xMin) * pxPerIndex;
        if (px - w / 2 < lastRight + 6) return;
        lastRight = px + w / 2;
        if (date.isValid()) lastDate = date;
        out.append({x, text});
    };
    auto tickText = [&](qint64 t, bool whole) {
        const QDateTime when = QDateTime::fromSecsSinceEpoch(t);
        if (step >= 86400) return when.toString(QStringLiteral("yyyy/MM/dd"));
        const QString time = when.toString(step < 60 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
        if (whole || (days && when.date() != lastDate)) return when.toString(QStringLiteral("MM/dd ")) + time;
        return time;
    };
    // Rows without a time are labelled with their numbers, as a view without times is.
    const int numberStep =
        std::max(1, static_cast<int>(std::ceil((fm.horizontalAdvance(QString::number(last + 1)) + 12) /
                                               std::max(1e-9, pxPerIndex))));
    const qint64 anchor = step >= 86400 ? d0.date().startOfDay().toSecsSinceEpoch() : 0;
    qint64 dayStart = 0, dayEnd = 0;
    for (int i = first; i <= last; ++i) {
        const qint64 t = at(i);
        if (t == kNone) {
            if (i % numberStep == 0) place(i, QString::number(i + 1), QDate());
            continue;
        }
        // A row after a row without time, a step back in time or a gap begins a
        // new stretch: it shows its date and time, and the break is marked.
        if (i > first && (at(i - 1) == kNone || t < at(i - 1) || t - at(i - 1) > gap)) {
            m_gapMarks.append(i - 0.5);
            place(i, tickText(t, true), QDateTime::fromSecsSinceEpoch(t).date());
        }
        if (i == last || at(i + 1) == kNone || at(i + 1) < t || at(i + 1) - t > gap) {
            // The end of a stretch: a tick only where it falls on this row.
            if (i < last && at(i + 1) == kNone) m_gapMarks.append(i + 0.5);
            if (step < 86400 && (t < dayStart || t >= dayEnd)) {
                dayStart = QDateTime::fromSecsSinceEpoch(t).date().startOfDay().toSecsSinceEpoch();
                dayEnd = dayStart + 86400;
            }
            const qint64 b = step >= 86400 ? anchor : dayStart;
            if ((t - b) % step == 0) place(i, tickText(t, false), QDateTime::fromSecsSinceEpoch(t).date());
            continue;
        }
        // Ticks by time between this row and the next, placed between the two.
        const qint64 next = at(i + 1);
        if (step < 86400 && (t < dayStart || t >= dayEnd)) {
            dayStart = QDateTime::fromSecsSinceEpoch(t).date().startOfDay().toSecsSinceEpoch();
            dayEnd = dayStart + 86400;
        }
        const qint64 b = step >= 86400 ? anchor : dayStart;
        qint64 tick = t <= b ? b : b + ((t - b + step - 1) / step) * step;
        for (int guard = 0; tick < next && guard < 400; tick += step, ++guard) {
            const double x = i + static_cast<double>(tick - t) / static_cast<double>(next - t);
            place(x, tickText(tick, false), QDateTime::fromSecsSinceEpoch(tick).date());
        }
    }
    return true;
}

void TDecisionGraph::drawForeground(QPainter* painter, const QRectF& rect) {
    QChartView::drawForeground(painter, rect);
    drawBottomLabels(painter);
    drawTracker(painter);
}

void TDecisionGraph::setTrackerIndex(int index) {
    const int n = totalPoints();
    m_tracker = n == 0 ? -1 : std::clamp(index, -1, n - 1);
    viewport()->update();
}

QString TDecisionGraph::trackerText() const {
    if (m_tracker < 0) return {};
    QStringList lines;
    const QString when = m_rows ? m_rows->dateTimeText(m_tracker) : QString();
    if (!when.isEmpty()) lines << when;
    lines << QStringLiteral("Row %1").arg(m_tracker + 1);
    for (const TChartSeries* s : m_series) {
        if (!s->m_drawn || s->m_hiddenByUser || m_tracker >= s->count()) continue;
        // A range series only lifts the axis top: no reading of the user's. A
        // series is named by its legend title, never by its inner name.
        const QString name = s->m_title.trimmed();
        if (s->m_role == TChartSeries::Role::Range || name.isEmpty()) continue;
        lines << name + QStringLiteral(": ") + QString::number(s->y(m_tracker), 'g', 8);
    }
    return lines.join(QLatin1Char('\n'));
}

void TDecisionGraph::drawTracker(QPainter* painter) const {
    if (m_tracker < 0 || m_tracker < m_xMin - 1e-9 || m_tracker > m_xMax + 1e-9) return;
    const QRectF plot = m_qchart->plotArea();
    if (plot.width() <= 0 || plot.height() <= 0) return;
    const double px = plot.left() + (m_tracker - m_xMin) / (m_xMax - m_xMin) * plot.width();
    const QPointF top = m_qchart->mapToScene(QPointF(px, plot.top()));
    const QPointF bottom = m_qchart->mapToScene(QPointF(px, plot.bottom()));
    painter->save();
    painter->setPen(QPen(QColor(0, 90, 200), 1));
    painter->drawLine(top, bottom);
    const QStringList lines = trackerText().split(QLatin1Char('\n'));
    painter->setFont(m_labelFont);
    const QFontMetrics fm(m_labelFont);
    int w = 0;
    for (const QString& l : lines)
        w = std::max(w, fm.horizontalAdvance(l));
    const QSizeF box(w + 10, lines.size() * fm.height() + 6);
    const QRectF sceneplot(m_qchart->mapToScene(plot.topLeft()), plot.size());
    QPointF at(top.x() + 8, top.y() + 6);
    if (at.x() + box.width() > sceneplot.right()) at.setX(top.x() - 8 - box.width());
    const QRectF r(at, box);
    painter->setBrush(QColor(255, 255, 225, 235));
    painter->setPen(QColor(90, 90, 90));
    painter->drawRect(r);
    painter->setPen(Qt::black);
    for (int k = 0; k < lines.size(); ++k)
        painter->drawText(QPointF(r.left() + 5, r.top() + 3 + fm.ascent() + k * fm.height()), lines[k]);
    painter->restore();
}

void TDecisionGraph::drawBottomLabels(QPainter* painter) const {
    // In scene coordinates, with the label font in pixels.
    const auto labels = visibleLabels();
    if (labels.isEmpty()) return;
    const QRectF plot = m_qchart->plotArea();
    painter->save();
    painter->setPen(m_ink);
    painter->setFont(m_labelFont);
    const QFontMetrics fm(m_labelFont);
    const QRectF chartRect = m_qchart->sceneBoundingRect();
    const double chartLeft = chartRect.left() + 1, chartRight = chartRect.right() - 1;
    for (const auto& [x, text] : labels) {
        const double px = plot.left() + (x - m_xMin) / (m_xMax - m_xMin) * plot.width();
        const QPointF scenePos = m_qchart->mapToScene(QPointF(px, plot.bottom()));
        const int w = fm.horizontalAdvance(text);
        painter->drawLine(QPointF(scenePos.x(), scenePos.y()), QPointF(scenePos.x(), scenePos.y() + 3));
        // Centred under its tick, but never cut by the chart's edges.
        const double left =
            std::clamp(scenePos.x() - w / 2.0, chartLeft, std::max(chartLeft, chartRight - w));
        painter->drawText(QPointF(left, scenePos.y() + 4 + fm.ascent()), text);
    }
    // A break in the time (a gap, a step back, rows without time): "//" on the axis.
    for (double x : m_gapMarks) {
        if (x < m_xMin || x > m_xMax) continue;
        const double px = plot.left() + (x - m_xMin) / (m_xMax - m_xMin) * plot.width();
        const QPointF p = m_qchart->mapToScene(QPointF(px, plot.bottom()));
        for (double dx : {-2.0, 2.0})
            painter->drawLine(QPointF(p.x() + dx - 2, p.y() + 4), QPointF(p.x() + dx + 2, p.y() - 4));
    }
    painter->restore();
}
