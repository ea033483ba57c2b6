#include "charts/decisiongraph.h"

#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QLegendMarker>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QResizeEvent>
#include <QRubberBand>
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
    m_qchart->setTitleBrush(Qt::black);
    m_axisX = new QValueAxis(m_qchart);
    m_axisY = new QValueAxis(m_qchart);
    // The bottom axis shows the points' label texts, drawn in drawForeground().
    m_axisX->setLabelsVisible(false);
    m_axisX->setTickCount(2);
    m_axisX->setGridLineVisible(false);
    m_axisX->setRange(0, 1);
    m_qchart->addAxis(m_axisX, Qt::AlignBottom);
    m_qchart->addAxis(m_axisY, Qt::AlignLeft);
    m_qchart->legend()->setAlignment(Qt::AlignRight);
    setChart(m_qchart);
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::NoRubberBand);
    setMouseTracking(false);
    setViewportUpdateMode(QGraphicsView::MinimalViewportUpdate);
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
    QPen pen(s->m_color);
    pen.setWidth(1);
    pen.setStyle(s->m_penStyle);
    pen.setCosmetic(true);
    s->m_drawn->setPen(pen);
    const auto markers = m_qchart->legend()->markers(s->m_drawn);
    for (QLegendMarker* m : markers)
        m->setVisible(s->m_showInLegend);
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
    QStringList escaped;
    for (const QString& l : m_titleText)
        escaped << l.toHtmlEscaped();
    m_qchart->setTitle(escaped.join(QStringLiteral("<br>")));
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
    m_axisY->setRange(lo, hi);
    // Ticks at round values (1, 2 or 5 times a power of ten), about one per 40 pixels.
    const double pixels = std::max<qreal>(80.0, m_qchart->plotArea().height());
    const double rough = (hi - lo) / std::max(2.0, pixels / 40.0);
    const double p10 = std::pow(10.0, std::floor(std::log10(rough)));
    double step = p10;
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (p10 * m >= rough) {
            step = p10 * m;
            break;
        }
    m_axisY->setTickType(QValueAxis::TicksDynamic);
    m_axisY->setTickAnchor(0);
    m_axisY->setTickInterval(step);
    m_axisY->setLabelFormat(step < 1 ? QStringLiteral("%.1f") : QStringLiteral("%.0f"));
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
            // More points than pixels: keep the first, lowest, highest and last point
            // of each pixel column, so the drawn line looks the same, much faster.
            pts.reserve(buckets * 4);
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
                int idx[4] = {i0, std::min(imin, imax), std::max(imin, imax), i1};
                int prev = -1;
                for (int i : idx) {
                    if (i == prev) continue;
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
    m_zoomed = false;
    m_yZoomed = false;
    updateAxes();
    updateDrawnPoints();
    viewport()->update();
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
    updateAxes();
    updateDrawnPoints();
    viewport()->update();
}

void TDecisionGraph::undoZoom() {
    m_zoomed = false;
    m_yZoomed = false;
    updateAxes();
    updateDrawnPoints();
    viewport()->update();
}

void TDecisionGraph::resizeEvent(QResizeEvent* e) {
    QChartView::resizeEvent(e);
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
    const QRectF plot = m_qchart->plotArea();
    if (plot.width() <= 0) return out;
    const int n = src->count();
    const int first = std::max(0, static_cast<int>(std::ceil(m_xMin)));
    const int last = std::min(n - 1, static_cast<int>(std::floor(m_xMax)));
    if (first > last) return out;
    // Space the labels by the widest text of the visible range (sampled).
    const QFontMetrics fm(font());
    int widest = 10;
    const int sampleStep = std::max(1, (last - first) / 50);
    for (int i = first; i <= last; i += sampleStep)
        widest = std::max(widest, fm.horizontalAdvance(src->label(i)));
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
        out.append({static_cast<double>(i), src->label(i)});
    return out;
}

void TDecisionGraph::drawForeground(QPainter* painter, const QRectF& rect) {
    QChartView::drawForeground(painter, rect);
    const auto labels = visibleLabels();
    if (labels.isEmpty()) return;
    const QRectF plot = m_qchart->plotArea();
    painter->save();
    painter->setPen(Qt::black);
    painter->setFont(font());
    const QFontMetrics fm(font());
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

void TDecisionGraph::mousePressEvent(QMouseEvent* e) {
    m_pressPos = e->pos();
    m_pressButton = e->button();
    m_dragging = false;
    m_panXMin = m_xMin;
    m_panXMax = m_xMax;
    m_panYMin = m_axisY->min();
    m_panYMax = m_axisY->max();
    e->accept();
}

void TDecisionGraph::mouseMoveEvent(QMouseEvent* e) {
    if (m_pressButton == Qt::NoButton) return;
    const QPoint d = e->pos() - m_pressPos;
    if (!m_dragging && d.manhattanLength() < 4) return;
    m_dragging = true;
    const QRectF plot = m_qchart->plotArea();
    if (m_pressButton == Qt::LeftButton) {
        if (!m_band) m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
        m_band->setGeometry(QRect(m_pressPos, e->pos()).normalized());
        m_band->show();
    } else if (m_pressButton == Qt::RightButton && plot.width() > 0 && plot.height() > 0) {
        const double dx = -d.x() * (m_panXMax - m_panXMin) / plot.width();
        const double dy = d.y() * (m_panYMax - m_panYMin) / plot.height();
        m_zoomed = true;
        m_yZoomed = true;
        m_xMin = m_panXMin + dx;
        m_xMax = m_panXMax + dx;
        m_yMinZoom = m_panYMin + dy;
        m_yMaxZoom = m_panYMax + dy;
        updateAxes();
        updateDrawnPoints();
        viewport()->update();
    }
}

void TDecisionGraph::mouseReleaseEvent(QMouseEvent* e) {
    const Qt::MouseButton button = m_pressButton;
    m_pressButton = Qt::NoButton;
    if (m_band) m_band->hide();
    if (!m_dragging) {
        if (button == Qt::LeftButton && e->button() == Qt::LeftButton) emit clicked();
        QChartView::mouseReleaseEvent(e);
        return;
    }
    m_dragging = false;
    if (button != Qt::LeftButton) return;
    const QPoint end = e->pos();
    if (end.x() < m_pressPos.x() || end.y() < m_pressPos.y()) {
        undoZoom();
        return;
    }
    const QPointF a = m_qchart->mapToValue(mapToScene(m_pressPos));
    const QPointF b = m_qchart->mapToValue(mapToScene(end));
    if (b.x() - a.x() <= 1e-9 || a.y() - b.y() <= 1e-9) return;
    m_yZoomed = true;
    m_yMinZoom = b.y();
    m_yMaxZoom = a.y();
    zoomX(a.x(), b.x());
}

void TDecisionGraph::wheelEvent(QWheelEvent* e) {
    // The wheel scrolls the pages' scroll area, not the chart.
    e->ignore();
}

// ---------------------------------------------------------------- printing

void TDecisionGraph::PrintChart(QPrinter& printer) {
    if (!isVisible()) {
        // A chart that was never shown has not been laid out yet.
        QResizeEvent ev(size(), size());
        resizeEvent(&ev);
        m_qchart->layout()->activate();
        updateDrawnPoints();
    }
    printer.setDocName(objectName());
    QPainter painter;
    if (!painter.begin(&printer))
        throw std::runtime_error("The printer could not start the document for " +
                                 objectName().toStdString());
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF target(0, 0, page.width(), page.height());
    // Fit the chart to the page, keeping its proportions.
    const QSizeF src = viewport()->size();
    const double scale = std::min(target.width() / src.width(), target.height() / src.height());
    painter.scale(scale, scale);
    render(&painter, QRectF(QPointF(0, 0), src), viewport()->rect());
    if (!painter.end()) throw std::runtime_error("Printing " + objectName().toStdString() + " failed");
}
