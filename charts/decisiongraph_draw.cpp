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
    const std::vector<qint64>& m = m_rows->moments();
    const auto [first, last] = visibleIndexRange();
    if (first < 0 || last >= static_cast<int>(m.size())) return false;
    // The moments must run forwards over the span: a moment is then placed
    // between the two rows around it.
    for (int i = first; i <= last; ++i) {
        const qint64 t = m[static_cast<std::size_t>(i)];
        if (t == TChartRows::kNoMoment) return false;
        if (i > first && t < m[static_cast<std::size_t>(i) - 1]) return false;
    }
    const qint64 t0 = m[static_cast<std::size_t>(first)], t1 = m[static_cast<std::size_t>(last)];
    const QRectF plot = m_qchart->plotArea();
    if (t1 <= t0 || plot.width() <= 0) return false;
    const QDateTime d0 = QDateTime::fromSecsSinceEpoch(t0), d1 = QDateTime::fromSecsSinceEpoch(t1);
    const bool days = d0.date() != d1.date();
    const QFontMetrics fm(m_labelFont);
    const int widest =
        fm.horizontalAdvance(days ? QStringLiteral("00/00 00:00") : QStringLiteral("00:00:00"));
    // Px per second over the visible span (the span in index units maps to the plot width).
    const double pxPerIndex = plot.width() / std::max(1e-9, m_xMax - m_xMin);
    const double pxPerSecond = pxPerIndex * (last - first) / static_cast<double>(t1 - t0);
    static const qint64 kSteps[] = {1,   2,    5,    10,   15,    30,    60,    120,   300,    600,
                                    900, 1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800, 604800};
    qint64 step = 0;
    for (qint64 st : kSteps)
        if (st * pxPerSecond >= widest + 16) {
            step = st;
            break;
        }
    if (step == 0) step = static_cast<qint64>(std::ceil((widest + 16) / pxPerSecond / 86400.0)) * 86400;
    // Ticks at whole multiples of the step from the first day's midnight.
    const qint64 midnight = QDateTime(d0.date(), QTime(0, 0)).toSecsSinceEpoch();
    qint64 t = midnight + ((t0 - midnight + step - 1) / step) * step;
    QDate lastDate;
    int i = first;
    for (int guard = 0; t <= t1 && guard < 400; t += step, ++guard) {
        while (i < last && m[static_cast<std::size_t>(i) + 1] <= t)
            ++i;
        double x = i;
        if (i < last && m[static_cast<std::size_t>(i) + 1] > m[static_cast<std::size_t>(i)])
            x += static_cast<double>(t - m[static_cast<std::size_t>(i)]) /
                 static_cast<double>(m[static_cast<std::size_t>(i) + 1] - m[static_cast<std::size_t>(i)]);
        const QDateTime at = QDateTime::fromSecsSinceEpoch(t);
        QString label;
        if (step >= 86400)
            label = at.toString(QStringLiteral("yyyy/MM/dd"));
        else if (days && at.date() != lastDate)
            label = at.toString(QStringLiteral("MM/dd HH:mm"));
        else
            label = at.toString(step < 60 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
        lastDate = at.date();
        out.append({x, label});
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
        const QString name = s->m_title.trimmed().isEmpty() ? s->m_name : s->m_title.trimmed();
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
    for (const auto& [x, text] : labels) {
        const double px = plot.left() + (x - m_xMin) / (m_xMax - m_xMin) * plot.width();
        const QPointF scenePos = m_qchart->mapToScene(QPointF(px, plot.bottom()));
        const int w = fm.horizontalAdvance(text);
        painter->drawLine(QPointF(scenePos.x(), scenePos.y()), QPointF(scenePos.x(), scenePos.y() + 3));
        painter->drawText(QPointF(scenePos.x() - w / 2.0, scenePos.y() + 4 + fm.ascent()), text);
    }
    painter->restore();
}
