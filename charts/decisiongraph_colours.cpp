// The chart component: its colours on screen (the application's palette) and on paper.
#include "charts/decisiongraph.h"

#include "platform/fit.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>

TDecisionGraph::PaperColours::PaperColours(TDecisionGraph* g) : m_g(g), m_screen(g->palette()) {
    QPalette paper = m_screen;
    paper.setColor(QPalette::Base, Qt::white);
    paper.setColor(QPalette::Text, Qt::black);
    m_g->applyColours(paper);
}

TDecisionGraph::PaperColours::~PaperColours() {
    m_g->applyColours(m_screen);
}

namespace {
// How far a series must stand out from the background to be read.
constexpr double kSeriesContrast = 2.5;

// The colour with its lightness mirrored: dark purple becomes light purple.
QColor mirrored(const QColor& c) {
    const QColor hsl = c.toHsl();
    return QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), 1.0 - hsl.lightnessF(), hsl.alphaF());
}
} // namespace

QColor TDecisionGraph::shownColour(const TChartSeries* s) const {
    const QColor designed = s->drawnPen().color();
    // The designed colours are made for a light background; on a dark one a
    // colour too close to it is drawn in its light twin.
    if (layout::contrast(m_paper, Qt::white) > 2.0) {
        if (layout::contrast(designed, m_paper) < kSeriesContrast) {
            const QColor twin = mirrored(designed);
            if (layout::contrast(twin, m_paper) > layout::contrast(designed, m_paper)) return twin;
        }
    }
    return designed;
}

QPen TDecisionGraph::shownPen(const TChartSeries* s) const {
    QPen pen = s->drawnPen();
    pen.setColor(shownColour(s));
    return pen;
}

void TDecisionGraph::applyColours(const QPalette& palette) {
    m_paper = palette.color(QPalette::Active, QPalette::Base);
    m_ink = palette.color(QPalette::Active, QPalette::Text);
    // The grid a third of the way from the background to the texts.
    const QColor grid = QColor::fromRgbF(m_paper.redF() * 0.75 + m_ink.redF() * 0.25,
                                         m_paper.greenF() * 0.75 + m_ink.greenF() * 0.25,
                                         m_paper.blueF() * 0.75 + m_ink.blueF() * 0.25);
    m_qchart->setBackgroundBrush(m_paper);
    m_qchart->setPlotAreaBackgroundVisible(false);
    m_qchart->setTitleBrush(m_ink);
    m_qchart->legend()->setLabelColor(m_ink);
    setBackgroundBrush(m_paper);
    for (QValueAxis* axis : {m_axisX, m_axisY}) {
        axis->setLabelsBrush(m_ink);
        axis->setLinePenColor(m_ink);
        axis->setGridLineColor(grid);
        axis->setMinorGridLineColor(grid);
        axis->setTitleBrush(m_ink);
    }
    for (TChartSeries* s : m_series)
        if (s->m_drawn) applyStyle(s);
    applyLegendVisibility();
    viewport()->update();
}

void TDecisionGraph::changeEvent(QEvent* e) {
    QChartView::changeEvent(e);
    if (e->type() == QEvent::PaletteChange) applyColours(palette());
}
