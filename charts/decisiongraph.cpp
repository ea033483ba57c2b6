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
#include <QTimer>
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

void TChartSeries::setAllY(double y) {
    std::fill(m_y.begin(), m_y.end(), y);
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
    applyColours(palette());
    m_clickTimer = new QTimer(this);
    m_clickTimer->setSingleShot(true);
    connect(m_clickTimer, &QTimer::timeout, this, &TDecisionGraph::clicked);
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
    s->m_drawn->setPen(shownPen(s));
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
            m->setLabelBrush(s->m_hiddenByUser ? QBrush(Qt::gray) : QBrush(m_ink));
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
    zoomYWithin(lo, hi);
    viewUpdated();
}

void TDecisionGraph::zoomYWithin(double lo, double hi) {
    // Never closer than the readings' resolution (nor than the doubles can
    // tell apart): the axis would look for ticks in a span of a few ulps.
    const double floor = std::max(m_minYSpan, 1e-9 * std::max({1.0, std::abs(lo), std::abs(hi)}));
    if (hi - lo < floor) {
        const double mid = lo / 2 + hi / 2;
        lo = mid - floor / 2;
        hi = mid + floor / 2;
    }
    m_yZoomed = true;
    m_yMinZoom = lo;
    m_yMaxZoom = hi;
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
