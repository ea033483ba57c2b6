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

// ---------------------------------------------------------------- series

TChartSeries::TChartSeries(TDecisionGraph* chart, const QString& name, Kind kind)
    : m_chart(chart), m_name(name), m_kind(kind) {}

void TChartSeries::AddPoint(double y, const QString& label, QColor color) {
    m_y.push_back(y);
    m_labels.append(label);
    m_colors.push_back(color.rgb());
    m_chart->seriesChanged();
}

void TChartSeries::ClearPoints() {
    m_y.clear();
    m_labels.clear();
    m_colors.clear();
    m_chart->seriesChanged();
}

double TChartSeries::maxY() const {
    if (m_y.empty()) return 0;
    return *std::max_element(m_y.begin(), m_y.end());
}

void TChartSeries::setTitle(const QString& t) {
    m_title = t;
    if (m_drawn) m_drawn->setName(t);
}

void TChartSeries::setSeriesColor(QColor c) {
    m_color = c;
    m_chart->applyStyle(this);
}

void TChartSeries::setLinePenVisible(bool v) {
    m_lineVisible = v;
    m_chart->applyStyle(this);
}

void TChartSeries::setPenStyle(Qt::PenStyle s) {
    m_penStyle = s;
    m_chart->applyStyle(this);
}

void TChartSeries::setRole(Role r) {
    m_role = r;
    if (r == Role::Range) m_lineVisible = true; // drawn faintly, so the axis top can be read
    m_chart->applyStyle(this);
}

QPen TChartSeries::drawnPen() const {
    QPen pen(m_color);
    pen.setWidth(1);
    pen.setStyle(m_penStyle);
    switch (m_role) {
    case Role::Data:
        break;
    case Role::Level:
        pen.setColor(QColor::fromRgb(kLevelColor));
        pen.setStyle(Qt::DashLine);
        pen.setWidth(2);
        break;
    case Role::Range:
        pen.setColor(QColor(150, 150, 150));
        pen.setStyle(Qt::DotLine);
        break;
    }
    pen.setCosmetic(true);
    return pen;
}

void TChartSeries::setShowInLegend(bool v) {
    m_showInLegend = v;
    m_chart->applyStyle(this);
}

// ---------------------------------------------------------------- chart

TDecisionGraph::TDecisionGraph(const QString& name, QWidget* parent) : QChartView(parent) {
    setObjectName(name);
    m_qchart = new QChart();
    m_qchart->setAnimationOptions(QChart::NoAnimation);
    m_qchart->setBackgroundRoundness(0);
    m_qchart->layout()->setContentsMargins(0, 0, 0, 0);
    m_qchart->setMargins(QMargins(6, 4, 10, 18)); // room for the label texts below the plot
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(11);
    m_qchart->setTitleFont(titleFont);
    // Every text in pixels: a printout scales them with the chart.
    m_labelFont = QFont(QStringLiteral("Arial"));
    m_labelFont.setPixelSize(11);
    m_qchart->legend()->setFont(m_labelFont);
    m_qchart->setTitleBrush(Qt::black);
    m_axisX = new QValueAxis(m_qchart);
    m_axisY = new QValueAxis(m_qchart);
    // The bottom axis shows the points' label texts, drawn in drawForeground().
    m_axisX->setLabelsVisible(false);
    m_axisX->setTickCount(2);
    m_axisX->setGridLineVisible(false);
    m_axisX->setRange(0, 1);
    m_axisY->setLabelsFont(m_labelFont);
    m_axisY->setGridLineVisible(true);
    m_axisY->setRange(0, 1);
    m_axisY->setTickInterval(0.1);
    m_axisY->setTickAnchor(0);
    m_axisY->setTickType(QValueAxis::TicksDynamic);
    m_qchart->addAxis(m_axisX, Qt::AlignBottom);
    m_qchart->addAxis(m_axisY, Qt::AlignLeft);
    m_qchart->legend()->setAlignment(Qt::AlignRight);
    setChart(m_qchart);
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::NoRubberBand);
    setMouseTracking(true); // the tracker follows the mouse
    setFocusPolicy(Qt::WheelFocus);
    setViewportUpdateMode(QGraphicsView::MinimalViewportUpdate);
    buildActions();
    updateAxes();
}

TDecisionGraph::~TDecisionGraph() {
    for (TChartSeries* s : m_series)
        delete s;
}

void TDecisionGraph::adopt(TChartSeries* s) {
    m_series.push_back(s);
    applyStyle(s);
}

TChartSeries* TDecisionGraph::findSeries(const QString& name) const {
    for (TChartSeries* s : m_series)
        if (s->name() == name) return s;
    return nullptr;
}

void TDecisionGraph::applyStyle(TChartSeries* s) {
    // A series whose line is hidden draws nothing; it still counts for the axis top.
    if (!s->m_lineVisible) {
        if (s->m_drawn) {
            m_qchart->removeSeries(s->m_drawn);
            delete s->m_drawn;
            s->m_drawn = nullptr;
        }
        m_dirty = true;
        return;
    }
    if (!s->m_drawn) {
        s->m_drawn = new QLineSeries();
        s->m_drawn->setObjectName(s->name());
        s->m_drawn->setUseOpenGL(false);
        s->m_drawn->setPointsVisible(false);
        // Keep the chart's series in the order they were created.
        m_qchart->addSeries(s->m_drawn);
        s->m_drawn->attachAxis(m_axisX);
        s->m_drawn->attachAxis(m_axisY);
        m_dirty = true;
    }
    s->m_drawn->setName(s->m_title);
    s->m_drawn->setPen(s->drawnPen());
    s->m_drawn->setVisible(!s->m_hiddenByUser);
    applyLegendVisibility();
}

void TDecisionGraph::applyLegendVisibility() {
    // Adding or removing a series, or laying out a chart that is not shown,
    // resets the legend's markers: set them all again.
    for (TChartSeries* s : m_series) {
        if (!s->m_drawn) continue;
        const auto markers = m_qchart->legend()->markers(s->m_drawn);
        for (QLegendMarker* m : markers) {
            m->setVisible(s->m_showInLegend);
            connect(m, &QLegendMarker::clicked, this, &TDecisionGraph::legendMarkerClicked,
                    Qt::UniqueConnection);
            // A hidden series keeps its entry, greyed, so that it can be shown again.
            QFont f = m->font();
            f.setStrikeOut(s->m_hiddenByUser);
            m->setFont(f);
            m->setLabelBrush(s->m_hiddenByUser ? QBrush(Qt::gray) : QBrush(Qt::black));
        }
    }
}

void TDecisionGraph::legendMarkerClicked() {
    auto* marker = qobject_cast<QLegendMarker*>(sender());
    if (!marker) return;
    for (TChartSeries* s : m_series)
        if (s->m_drawn && s->m_drawn == marker->series()) {
            setSeriesHidden(s, !s->m_hiddenByUser);
            return;
        }
}

void TDecisionGraph::setSeriesHidden(TChartSeries* s, bool hidden) {
    s->m_hiddenByUser = hidden;
    if (s->m_drawn) s->m_drawn->setVisible(!hidden);
    applyLegendVisibility();
    viewport()->update();
}

void TDecisionGraph::setTitleText(const QStringList& lines) {
    m_titleText = lines;
    applyTitle();
}

void TDecisionGraph::setTitleFirstLine(const QString& text) {
    if (m_titleText.isEmpty())
        m_titleText.append(text);
    else
        m_titleText[0] = text;
    applyTitle();
}

void TDecisionGraph::applyTitle() {
    // The chart shows its title as rich text: escape it, and keep every blank.
    QStringList escaped;
    for (const QString& l : m_titleText)
        escaped << l.toHtmlEscaped().replace(QLatin1Char(' '), QStringLiteral("&nbsp;"));
    m_qchart->setTitle(escaped.join(QStringLiteral("<br>")));
}

QString TDecisionGraph::shownTitle() {
    ensureLaidOut();
    const QRectF plot = m_qchart->plotArea();
    // What the title item above the plot shows, as plain text.
    QGraphicsTextItem* top = nullptr;
    for (QGraphicsItem* item : scene()->items()) {
        auto* text = dynamic_cast<QGraphicsTextItem*>(item);
        if (!text || !text->isVisible() || text->toPlainText().isEmpty()) continue;
        if (text->sceneBoundingRect().center().y() >= plot.top()) continue;
        if (!top || text->sceneBoundingRect().top() < top->sceneBoundingRect().top()) top = text;
    }
    if (top) return top->toPlainText().replace(QChar(0xa0), QLatin1Char(' '));
    return {};
}

void TDecisionGraph::setLegendStyle(LegendStyle s) {
    m_legendStyle = s;
    m_qchart->legend()->setVisible(true);
}

int TDecisionGraph::totalPoints() const {
    int n = 0;
    for (const TChartSeries* s : m_series)
        n = std::max(n, s->count());
    return n;
}

double TDecisionGraph::axisMin() const {
    return m_axisY->min();
}
double TDecisionGraph::axisMax() const {
    return m_axisY->max();
}

void TDecisionGraph::updateAxes() {
    const int n = totalPoints();
    if (!m_zoomed) {
        m_xMin = 0;
        m_xMax = n > 1 ? n - 1 : 1;
    }
    m_axisX->setRange(m_xMin, m_xMax);

    double lo = LeftAxis.Minimum, hi = LeftAxis.Maximum;
    const bool autoMin = LeftAxis.Automatic || LeftAxis.AutomaticMinimum;
    const bool autoMax = LeftAxis.Automatic || LeftAxis.AutomaticMaximum;
    if (autoMin || autoMax) {
        double dmin = std::numeric_limits<double>::infinity();
        double dmax = -std::numeric_limits<double>::infinity();
        // Every series counts, hidden ones included (the range series lift the top).
        for (const TChartSeries* s : m_series)
            for (double v : s->yValues()) {
                if (!std::isfinite(v)) continue;
                dmin = std::min(dmin, v);
                dmax = std::max(dmax, v);
            }
        if (dmin > dmax) { // no points
            dmin = LeftAxis.Minimum;
            dmax = LeftAxis.Maximum;
        }
        if (autoMin) lo = dmin;
        if (autoMax) hi = dmax;
    }
    if (!(hi > lo)) hi = lo + 1;
    if (m_yZoomed) {
        lo = m_yMinZoom;
        hi = m_yMaxZoom;
    }
    setVerticalRange(lo, hi);
}

AxisTicks NiceTicks(double lo, double hi, int maxTicks) {
    AxisTicks t;
    maxTicks = std::max(2, maxTicks);
    const double span = hi - lo;
    if (!(span > 0) || !std::isfinite(span)) return t;
    // Start one decade below the step that would give maxTicks, then widen.
    double p10 = std::pow(10.0, std::floor(std::log10(span / maxTicks)) - 1);
    const double mant[4] = {1.0, 2.0, 2.5, 5.0};
    for (int guard = 0; guard < 8; ++guard, p10 *= 10) {
        for (double m : mant) {
            const double step = m * p10;
            const double first = std::ceil(lo / step - 1e-9);
            const double last = std::floor(hi / step + 1e-9);
            const double count = last - first + 1;
            if (count <= maxTicks) {
                t.step = step;
                t.count = static_cast<int>(count);
                const int exp10 = static_cast<int>(std::lround(std::log10(p10)));
                t.decimals = std::max(0, -exp10 + (m == 2.5 ? 1 : 0));
                return t;
            }
        }
    }
    return t;
}

void TDecisionGraph::setVerticalRange(double lo, double hi) {
    // Ticks at round values, 4 to 12 of them, whatever the chart's size and
    // whether it was ever shown. The spacing and the range change together: the
    // axis builds one label per tick at every intermediate state, so the order is
    // chosen that never asks for more ticks than before or after.
    if (!std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(hi - lo) || !(hi > lo)) {
        lo = std::isfinite(lo) ? lo : 0;
        hi = lo + 1;
    }
    const int maxTicks = height() >= 400 ? 12 : 9;
    const AxisTicks t = NiceTicks(lo, hi, maxTicks);
    const double oldStep = m_axisY->tickInterval();
    m_axisY->setLabelFormat(QStringLiteral("%.") + QString::number(t.decimals) + QLatin1Char('f'));
    if (t.step >= oldStep || !(oldStep > 0)) {
        m_axisY->setTickInterval(t.step);
        m_axisY->setRange(lo, hi);
    } else {
        m_axisY->setRange(lo, hi);
        m_axisY->setTickInterval(t.step);
    }
}

QStringList TDecisionGraph::leftAxisLabels() const {
    QStringList out;
    const double step = m_axisY->tickInterval();
    if (!(step > 0)) return out;
    const double lo = m_axisY->min(), hi = m_axisY->max();
    const QByteArray fmt = m_axisY->labelFormat().toLatin1();
    for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + step * 1e-9; k += 1)
        out << QString::asprintf(fmt.constData(), k * step == 0 ? 0.0 : k * step);
    return out;
}

bool TDecisionGraph::leftAxisGridVisible() const {
    return m_axisY->isGridLineVisible() && m_axisY->isVisible();
}

void TDecisionGraph::updateDrawnPoints() {
    const double plotWidth = std::max<qreal>(50.0, m_qchart->plotArea().width());
    for (TChartSeries* s : m_series) {
        if (!s->m_drawn) continue;
        const auto& ys = s->m_y;
        const int n = static_cast<int>(ys.size());
        QList<QPointF> pts;
        if (n == 0) {
            s->m_drawn->clear();
            continue;
        }
        int first = std::max(0, static_cast<int>(std::floor(m_xMin)) - 1);
        int last = std::min(n - 1, static_cast<int>(std::ceil(m_xMax)) + 1);
        if (first > last) {
            s->m_drawn->clear();
            continue;
        }
        const int visible = last - first + 1;
        const int buckets = static_cast<int>(plotWidth);
        if (visible <= 2 * buckets) {
            pts.reserve(visible);
            for (int i = first; i <= last; ++i)
                pts.append(QPointF(i, ys[static_cast<std::size_t>(i)]));
        } else {
            // More points than pixels: keep the lowest and highest point of each pixel
            // column, in their order (and the very first and last point), so the
            // drawn line looks the same with a fraction of the points to draw.
            pts.reserve(buckets * 2 + 2);
            const double per = static_cast<double>(visible) / buckets;
            for (int b = 0; b < buckets; ++b) {
                const int i0 = first + static_cast<int>(b * per);
                const int i1 = std::min(last, first + static_cast<int>((b + 1) * per) - 1);
                if (i1 < i0) continue;
                int imin = i0, imax = i0;
                for (int i = i0; i <= i1; ++i) {
                    const double v = ys[static_cast<std::size_t>(i)];
                    if (v < ys[static_cast<std::size_t>(imin)]) imin = i;
                    if (v > ys[static_cast<std::size_t>(imax)]) imax = i;
                }
                const int idx[4] = {b == 0 ? i0 : -1, std::min(imin, imax), std::max(imin, imax),
                                    b == buckets - 1 ? i1 : -1};
                int prev = -1;
                for (int i : idx) {
                    if (i < 0 || i == prev) continue;
                    pts.append(QPointF(i, ys[static_cast<std::size_t>(i)]));
                    prev = i;
                }
            }
        }
        s->m_drawn->replace(pts);
    }
}

void TDecisionGraph::Refresh() {
    if (!m_dirty) return;
    m_dirty = false;
    // The same file loaded again (Refresh) keeps the span the user zoomed into.
    const QString source = m_rows ? m_rows->sourceFile() : QString();
    const bool sameFile = !source.isEmpty() && source == m_shownFile;
    m_shownFile = source;
    if (!sameFile) {
        m_zoomed = false;
        m_yZoomed = false;
        m_tracker = -1;
    }
    const int n = totalPoints();
    if (m_zoomed && (n < 2 || m_xMin >= n - 1)) m_zoomed = false;
    if (m_tracker >= n) m_tracker = -1;
    updateAxes();
    // Lay a shown chart out for the new labels now, not at some later event, so
    // the next paint never shows labels cut to the old axis width. A hidden one
    // is laid out when it is shown or printed.
    if (isVisible())
        ensureLaidOut();
    else
        updateDrawnPoints();
    viewport()->update();
    emit viewChanged();
}

void TDecisionGraph::Repaint() {
    Refresh();
    viewport()->repaint();
}

void TDecisionGraph::zoomX(double xmin, double xmax) {
    if (!(xmax > xmin)) return;
    m_zoomed = true;
    m_xMin = xmin;
    m_xMax = xmax;
    viewUpdated();
}

void TDecisionGraph::zoomY(double lo, double hi) {
    if (!(hi > lo) || !std::isfinite(hi - lo)) return;
    m_yZoomed = true;
    m_yMinZoom = lo;
    m_yMaxZoom = hi;
    viewUpdated();
}

void TDecisionGraph::undoZoom() {
    m_zoomed = false;
    m_yZoomed = false;
    viewUpdated();
}

void TDecisionGraph::viewUpdated() {
    updateAxes();
    updateDrawnPoints();
    viewport()->update();
    emit viewChanged();
}

void TDecisionGraph::setRows(const TChartRows* rows) {
    m_rows = rows;
    viewport()->update();
}

std::pair<int, int> TDecisionGraph::visibleIndexRange() const {
    const int n = totalPoints();
    if (n == 0) return {-1, -1};
    const int first = std::clamp(static_cast<int>(std::ceil(m_xMin - 1e-9)), 0, n - 1);
    const int last = std::clamp(static_cast<int>(std::floor(m_xMax + 1e-9)), 0, n - 1);
    if (first > last) return {-1, -1};
    return {first, last};
}

void TDecisionGraph::resizeEvent(QResizeEvent* e) {
    QChartView::resizeEvent(e);
    updateAxes();
    updateDrawnPoints();
}

void TDecisionGraph::showEvent(QShowEvent* e) {
    QChartView::showEvent(e);
    ensureLaidOut();
}

void TDecisionGraph::ensureLaidOut() {
    // A widget that was never shown has had no resize event: the chart inside
    // has no size yet, so no plot area, axes or labels. Rendering it once sends
    // the pending events the way showing it would.
    if (!isVisible() && m_qchart->size().toSize() != size()) (void)grab(QRect(0, 0, 1, 1));
    if (isVisible()) {
        m_qchart->layout()->activate();
        QCoreApplication::sendPostedEvents(m_qchart, QEvent::LayoutRequest);
    }
    updateAxes();
    updateDrawnPoints();
}

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
    painter->setPen(Qt::black);
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

// ---------------------------------------------------------------- mouse

int TDecisionGraph::indexAtScene(double sceneX) const {
    const double x = m_qchart->mapToValue(QPointF(sceneX, 0)).x();
    const int n = totalPoints();
    if (n == 0) return -1;
    return std::clamp(static_cast<int>(std::lround(x)), 0, n - 1);
}

void TDecisionGraph::mousePressEvent(QMouseEvent* e) {
    // A press on the legend is the legend's (a click on an entry hides its series).
    if (m_qchart->legend()->isVisible() && e->button() == Qt::LeftButton &&
        m_qchart->legend()->sceneBoundingRect().contains(mapToScene(e->pos()))) {
        m_onLegend = true;
        QChartView::mousePressEvent(e);
        return;
    }
    m_onLegend = false;
    m_pressPos = e->pos();
    m_pressButton = e->button();
    m_dragging = false;
    m_panning = e->button() == Qt::MiddleButton ||
                (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ShiftModifier));
    m_panXMin = m_xMin;
    m_panXMax = m_xMax;
    m_panYMin = m_axisY->min();
    m_panYMax = m_axisY->max();
    e->accept();
}

void TDecisionGraph::mouseMoveEvent(QMouseEvent* e) {
    const QRectF plot = m_qchart->plotArea();
    const QPointF scene = mapToScene(e->pos());
    if (m_pressButton == Qt::NoButton) {
        // The tracker follows the mouse over the plot.
        if (plot.contains(m_qchart->mapFromScene(scene))) {
            const int i = indexAtScene(scene.x());
            if (i != m_tracker) setTrackerIndex(i);
        }
        return;
    }
    const QPoint d = e->pos() - m_pressPos;
    if (!m_dragging && d.manhattanLength() < 4) return;
    m_dragging = true;
    if (m_panning && plot.width() > 0) {
        // The time axis only: a fixed vertical scale stays where it is.
        const int n = totalPoints();
        const double span = m_panXMax - m_panXMin;
        double lo = m_panXMin - d.x() * span / plot.width();
        lo = std::clamp(lo, 0.0, std::max(0.0, (n > 1 ? n - 1 : 1) - span));
        m_zoomed = true;
        m_xMin = lo;
        m_xMax = lo + span;
        viewUpdated();
    } else if (m_pressButton == Qt::LeftButton) {
        if (!m_band) m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
        m_band->setGeometry(QRect(m_pressPos, e->pos()).normalized());
        m_band->show();
    }
}

void TDecisionGraph::mouseReleaseEvent(QMouseEvent* e) {
    if (m_onLegend) {
        m_onLegend = false;
        QChartView::mouseReleaseEvent(e);
        return;
    }
    const Qt::MouseButton button = m_pressButton;
    m_pressButton = Qt::NoButton;
    if (m_band) m_band->hide();
    if (!m_dragging) {
        if (button == Qt::LeftButton && e->button() == Qt::LeftButton) emit clicked();
        QChartView::mouseReleaseEvent(e);
        return;
    }
    m_dragging = false;
    const bool panned = m_panning;
    m_panning = false;
    if (button != Qt::LeftButton || panned) return;
    // A zoom box drawn in any direction; a flat one zooms the time axis only,
    // a narrow one the vertical axis only.
    const QRect box = QRect(m_pressPos, e->pos()).normalized();
    const QPointF a = m_qchart->mapToValue(mapToScene(box.topLeft()));
    const QPointF b = m_qchart->mapToValue(mapToScene(box.bottomRight()));
    const bool zoomTime = box.width() >= 6, zoomValue = box.height() >= 6;
    if (zoomValue && b.y() < a.y()) {
        m_yZoomed = true;
        m_yMinZoom = b.y();
        m_yMaxZoom = a.y();
    }
    if (zoomTime && b.x() > a.x()) {
        zoomX(std::max(0.0, a.x()), b.x());
        return;
    }
    viewUpdated();
}

void TDecisionGraph::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) undoZoom();
    e->accept();
}

void TDecisionGraph::wheelEvent(QWheelEvent* e) {
    const int delta = e->angleDelta().y();
    const QRectF plot = m_qchart->plotArea();
    const QPointF scene = mapToScene(e->position().toPoint());
    if (delta == 0 || !plot.contains(m_qchart->mapFromScene(scene)) || totalPoints() < 2) {
        e->ignore(); // outside the plot the page scrolls
        return;
    }
    e->accept();
    // Each notch shows 80 % of the span (or 125 % backwards), around the cursor.
    const double factor = std::pow(0.8, delta / 120.0);
    const QPointF at = m_qchart->mapToValue(scene);
    if (e->modifiers() & Qt::ControlModifier) {
        const double lo = m_axisY->min(), hi = m_axisY->max();
        const double nlo = at.y() - (at.y() - lo) * factor, nhi = at.y() + (hi - at.y()) * factor;
        if (!(nhi - nlo > std::abs(nhi) * 1e-9) || !std::isfinite(nhi - nlo)) return;
        m_yZoomed = true;
        m_yMinZoom = nlo;
        m_yMaxZoom = nhi;
        viewUpdated();
        return;
    }
    const double full = totalPoints() - 1;
    double lo = at.x() - (at.x() - m_xMin) * factor, hi = at.x() + (m_xMax - at.x()) * factor;
    if (hi - lo < 2) return; // at most two rows apart: as close as it gets
    if (hi - lo >= full) {
        m_zoomed = false;
        viewUpdated();
        return;
    }
    if (lo < 0) hi -= lo, lo = 0;
    if (hi > full) lo -= hi - full, hi = full;
    zoomX(lo, hi);
}

void TDecisionGraph::keyPressEvent(QKeyEvent* e) {
    const int n = totalPoints();
    switch (e->key()) {
    case Qt::Key_Escape:
        if (!m_zoomed && !m_yZoomed) break;
        undoZoom();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        if (n == 0) break;
        const auto [first, last] = visibleIndexRange();
        int i = m_tracker >= 0                            ? m_tracker + (e->key() == Qt::Key_Left ? -1 : 1)
                : m_lastTracker >= 0 && m_lastTracker < n ? m_lastTracker
                : e->key() == Qt::Key_Left                ? last
                                                          : first;
        i = std::clamp(i, 0, n - 1);
        // The span follows a tracker that steps out of it.
        if (m_zoomed && (i < m_xMin || i > m_xMax)) {
            const double span = m_xMax - m_xMin;
            const double lo = i < m_xMin ? i : i - span;
            zoomX(lo, lo + span);
        }
        setTrackerIndex(i);
        return;
    }
    default:
        break;
    }
    QChartView::keyPressEvent(e);
}

void TDecisionGraph::leaveEvent(QEvent* e) {
    // The mouse left: the tracker goes; the arrow keys bring it back where it was.
    QChartView::leaveEvent(e);
    if (m_tracker >= 0 && m_pressButton == Qt::NoButton) {
        m_lastTracker = m_tracker;
        setTrackerIndex(-1);
    }
}

void TDecisionGraph::buildActions() {
    auto make = [this](const char* name, const QString& text) {
        auto* a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    ResetZoom = make("ResetZoom", QStringLiteral("Reset zoom"));
    CopyImage = make("CopyImage", QStringLiteral("Copy image"));
    ExportImage = make("ExportImage", QStringLiteral("Save image..."));
    ExportPdf = make("ExportPdf", QStringLiteral("Save as PDF..."));
    ExportCsv = make("ExportCsv", QStringLiteral("Export CSV..."));
    connect(ResetZoom, &QAction::triggered, this, &TDecisionGraph::undoZoom);
    connect(CopyImage, &QAction::triggered, this,
            Guarded([this] { QGuiApplication::clipboard()->setImage(renderImage(viewport()->size())); }));
    connect(ExportImage, &QAction::triggered, this, Guarded([this] { exportImageClick(); }));
    connect(ExportPdf, &QAction::triggered, this, Guarded([this] { exportPdfClick(); }));
    connect(ExportCsv, &QAction::triggered, this, [this] {
        if (m_zoomed) {
            const auto [first, last] = visibleIndexRange();
            emit exportCsvRequested(first, last);
        } else {
            emit exportCsvRequested(-1, -1);
        }
    });
}

void TDecisionGraph::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    ResetZoom->setEnabled(m_zoomed || m_yZoomed);
    ExportCsv->setText(m_zoomed ? QStringLiteral("Export CSV... (rows shown)")
                                : QStringLiteral("Export CSV..."));
    menu.addAction(ResetZoom);
    menu.addSeparator();
    menu.addAction(CopyImage);
    menu.addAction(ExportImage);
    menu.addAction(ExportPdf);
    menu.addSeparator();
    menu.addAction(ExportCsv);
    menu.exec(e->globalPos());
}

// ---------------------------------------------------------------- images

void TDecisionGraph::renderOn(QPainter& painter, const QRectF& target) {
    Refresh();
    ensureLaidOut();
    const QSizeF src = m_qchart->size();
    if (src.isEmpty()) return;
    const double scale = std::min(target.width() / src.width(), target.height() / src.height());
    painter.fillRect(target, Qt::white);
    painter.save();
    painter.translate(target.left() + (target.width() - src.width() * scale) / 2,
                      target.top() + (target.height() - src.height() * scale) / 2);
    painter.scale(scale, scale);
    const QRectF sceneRect = m_qchart->sceneBoundingRect();
    scene()->render(&painter, QRectF(QPointF(0, 0), src), sceneRect);
    painter.translate(-sceneRect.topLeft());
    drawBottomLabels(&painter);
    drawTracker(&painter);
    painter.restore();
}

QImage TDecisionGraph::renderImage(QSize size) {
    if (size.isEmpty()) size = this->size();
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing, true);
    renderOn(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return img;
}

void TDecisionGraph::saveImage(const QString& path, QSize size) {
    if (size.isEmpty()) size = this->size();
    // A mistyped size must not ask for gigabytes.
    if (size.width() > kMaxImageSide || size.height() > kMaxImageSide)
        throw EError(QStringLiteral("An image is at most %1 x %1 pixels, not %2 x %3")
                         .arg(kMaxImageSide)
                         .arg(size.width())
                         .arg(size.height()));
    if (QFileInfo(path).suffix().compare(QStringLiteral("svg"), Qt::CaseInsensitive) == 0) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(objectName());
        QPainter painter;
        if (!painter.begin(&svg)) throw EError(QStringLiteral("Cannot write %1").arg(path));
        renderOn(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        painter.end();
        if (!QFileInfo::exists(path)) throw EError(QStringLiteral("Cannot write %1").arg(path));
        return;
    }
    QImageWriter writer(path, "png");
    if (!writer.write(renderImage(size)))
        throw EError(QStringLiteral("Cannot write %1: %2").arg(path, writer.errorString()));
}

void TDecisionGraph::savePdf(const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageOrientation(QPageLayout::Landscape);
    PrintChart(printer);
}

void TDecisionGraph::exportImageClick() {
    Platform& platform = Platform::instance();
    QString path =
        platform.chooseSaveFile(QStringLiteral("Save image"), objectName() + QStringLiteral(".png"),
                                QStringLiteral("PNG image (*.png);;SVG image (*.svg)"));
    if (path.isEmpty()) return;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg")) path += QStringLiteral(".png");
    const QSize chosen = platform.chooseImageSize(viewport()->size());
    if (!chosen.isValid() || chosen.isEmpty()) return;
    saveImage(path, chosen);
}

void TDecisionGraph::exportPdfClick() {
    QString path = Platform::instance().chooseSaveFile(QStringLiteral("Save as PDF"),
                                                       objectName() + QStringLiteral(".pdf"),
                                                       QStringLiteral("PDF file (*.pdf)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    savePdf(path);
}

// ---------------------------------------------------------------- printing

void TDecisionGraph::PrintChart(QPrinter& printer) {
    Refresh();
    ensureLaidOut();
    printer.setDocName(objectName());
    QPainter painter;
    if (!painter.begin(&printer))
        throw std::runtime_error("The printer could not start the document for " +
                                 objectName().toStdString());
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF target(0, 0, page.width(), page.height());
    // Fit the chart to the page, keeping its proportions.
    const QSizeF src = m_qchart->size();
    const double scale = std::min(target.width() / src.width(), target.height() / src.height());
    // Centred on the page; every text is sized in pixels, so it scales with the chart.
    painter.translate((target.width() - src.width() * scale) / 2,
                      (target.height() - src.height() * scale) / 2);
    painter.scale(scale, scale);
    const QRectF sceneRect = m_qchart->sceneBoundingRect();
    painter.fillRect(QRectF(QPointF(0, 0), src), Qt::white);
    scene()->render(&painter, QRectF(QPointF(0, 0), src), sceneRect);
    painter.translate(-sceneRect.topLeft());
    drawBottomLabels(&painter);
    if (!painter.end()) throw std::runtime_error("Printing " + objectName().toStdString() + " failed");
}
