// The chart component: zooming, panning and the tracker by mouse and keys; its menu.
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
#include <QStyleHints>
#include <QSvgGenerator>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

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
        if (button == Qt::LeftButton && e->button() == Qt::LeftButton)
            m_clickTimer->start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
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
    if (zoomValue && b.y() < a.y()) zoomYWithin(b.y(), a.y());
    if (zoomTime && b.x() > a.x()) {
        zoomX(std::max(0.0, a.x()), b.x());
        return;
    }
    viewUpdated();
}

void TDecisionGraph::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        m_clickTimer->stop(); // the first click of the two is no click of its own
        undoZoom();
    }
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
        if (!std::isfinite(nhi - nlo)) return;
        zoomYWithin(nlo, nhi);
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
    connect(ExportCsv, &QAction::triggered, this, Guarded([this] {
                if (m_zoomed) {
                    const auto [first, last] = visibleIndexRange();
                    // Zoomed between two rows: the rows shown are none.
                    if (first < 0) {
                        Platform::instance().showMessage(
                            QStringLiteral("No row lies in the span shown: there is nothing to export. "
                                           "Zoom out, or reset the zoom to export every row."));
                        return;
                    }
                    emit exportCsvRequested(first, last);
                } else {
                    emit exportCsvRequested(-1, -1);
                }
            }));
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
