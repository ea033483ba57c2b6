// The chart component: images, PDF files and printing.
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
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

// ---------------------------------------------------------------- images

namespace {
// While it lives, the chart's lines are drawn at a width that scales with the
// painter like the texts and the grid (on screen they are one pixel, whatever
// the zoom): a 600 dpi printout or a large image shows them as on screen.
class ScaledLines {
public:
    explicit ScaledLines(const std::vector<TChartSeries*>& series) {
        for (TChartSeries* s : series)
            if (QLineSeries* drawn = s->drawn()) {
                QPen pen = s->drawnPen();
                pen.setCosmetic(false);
                pen.setWidthF(std::max(1.0, pen.widthF()));
                m_restore.push_back({drawn, drawn->pen()});
                drawn->setPen(pen);
            }
    }
    ~ScaledLines() {
        for (auto& [drawn, pen] : m_restore)
            drawn->setPen(pen);
    }
    ScaledLines(const ScaledLines&) = delete;
    ScaledLines& operator=(const ScaledLines&) = delete;

private:
    std::vector<std::pair<QLineSeries*, QPen>> m_restore;
};
} // namespace

void TDecisionGraph::renderOn(QPainter& painter, const QRectF& target) {
    const PaperColours paper(this);
    Refresh();
    ensureLaidOut();
    const QSizeF src = m_qchart->size();
    if (src.isEmpty()) return;
    const double scale = std::min(target.width() / src.width(), target.height() / src.height());
    std::optional<ScaledLines> scaled;
    if (scale > 1) scaled.emplace(m_series);
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
    const PaperColours paper(this);
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
    const ScaledLines scaled(m_series);
    const QRectF sceneRect = m_qchart->sceneBoundingRect();
    painter.fillRect(QRectF(QPointF(0, 0), src), Qt::white);
    scene()->render(&painter, QRectF(QPointF(0, 0), src), sceneRect);
    painter.translate(-sceneRect.topLeft());
    drawBottomLabels(&painter);
    if (!painter.end()) throw std::runtime_error("Printing " + objectName().toStdString() + " failed");
}
