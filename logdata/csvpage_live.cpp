// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV page following a day file that a fetch grew.
#include "logdata/csvpage.h"
#include "logdata/csvpage_rows.h"

#include "charts/decisiongraph.h"
#include "logdata/csvloader.h"

#include <QFileInfo>
#include <QPointer>

#include <vector>

bool CsvPage::isLoading() const {
    return m_loader->isLoading();
}

bool CsvPage::reloadGrownFile(const QString& path) {
    const QString shown = loadedFile();
    if (shown.isEmpty() || isLoading()) return false;
    const QFileInfo a(shown), b(path);
    if (a.canonicalFilePath().isEmpty() || a.canonicalFilePath() != b.canonicalFilePath()) return false;
    struct View {
        QPointer<TDecisionGraph> chart;
        bool zoomed;
        double xmin, xmax;
        bool atEnd;
        int tracker;
    };
    const int before = static_cast<int>(m_rows->moments().size());
    std::vector<View> views;
    for (const QPointer<TDecisionGraph>& g : m_rowCharts)
        if (g)
            views.push_back({g, g->zoomed(), g->visibleXMin(), g->visibleXMax(),
                             g->visibleXMax() >= before - 1 - 1e-9, g->trackerIndex()});
    reloadShown();
    const int after = static_cast<int>(m_rows->moments().size());
    for (const View& v : views) {
        if (!v.chart) continue;
        if (v.zoomed) {
            // A view that showed the newest row keeps showing it; any other keeps its span.
            const double grow = v.atEnd && after > before ? after - before : 0;
            v.chart->zoomX(v.xmin, v.xmax + grow);
        }
        if (v.tracker >= 0 && v.tracker < after) v.chart->setTrackerIndex(v.tracker);
    }
    return true;
}
