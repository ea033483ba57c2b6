// Exploring benchmark: how long a chart takes to repaint after each interaction
// (a wheel step, a pan step, a tracker move) with 16,382 points and with
// 1,000,000 points, beside the same repaint of a plain QtCharts line holding
// every point; and the statistics of 1,000,000 rows beside a bare min/max/mean
// loop. Prints every figure side by side in one run (median of the runs, ms).
//
//   bench_explore [RUNS]
#include "charts/decisiongraph.h"
#include "charts/spanstats.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPixmap>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A full paint of the widget, as the screen would get it (repaint() may skip
// the work on a platform without a screen).
void paint(QWidget* w) {
    static QPixmap target;
    if (target.size() != w->size()) target = QPixmap(w->size());
    w->render(&target);
}

template <class F> double timeMs(F&& f) {
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

double value(int i) {
    return 20 + 15 * std::sin(i / 500.0) + 3 * std::sin(i / 7.0);
}

struct Figures {
    double wheel, pan, tracker;
};

Figures chartFigures(int points, int runs) {
    TDecisionGraph g(QStringLiteral("Bench"));
    g.resize(1217, 560);
    g.LeftAxis = {false, false, false, -45, 135};
    TChartSeries* s = g.addSeries<TFastLineSeries>(QStringLiteral("FastLineSeries1"));
    s->setTitle(QStringLiteral("T1"));
    for (int i = 0; i < points; ++i)
        s->AddPoint(value(i), QString(), Qt::black);
    g.show();
    g.Refresh();
    g.viewport()->repaint();
    QWidget* v = g.viewport();
    const QRectF plot = g.chart()->plotArea();
    auto at = [&](double fx) {
        return g.mapFromScene(
            g.chart()->mapToScene(QPointF(plot.left() + fx * plot.width(), plot.center().y())));
    };
    std::vector<double> wheel, pan, tracker;
    for (int r = 0; r < runs; ++r) {
        const int delta = r % 2 ? -120 : 120; // in and out again
        wheel.push_back(timeMs([&] {
            QWheelEvent e(at(0.4), v->mapToGlobal(at(0.4)), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(v, &e);
            paint(v);
        }));
    }
    g.zoomX(points * 0.2, points * 0.6);
    for (int r = 0; r < runs; ++r) {
        const double shift = (r % 2 ? -1 : 1) * points * 0.01;
        pan.push_back(timeMs([&] {
            g.zoomX(g.visibleXMin() + shift, g.visibleXMax() + shift);
            paint(v);
        }));
    }
    for (int r = 0; r < runs; ++r) {
        const QPoint p = at(0.1 + 0.8 * (r % 17) / 17.0);
        tracker.push_back(timeMs([&] {
            QMouseEvent e(QEvent::MouseMove, p, v->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
            QApplication::sendEvent(v, &e);
            paint(v);
        }));
        if (g.trackerIndex() < 0) std::fprintf(stderr, "the tracker did not follow the mouse\n");
    }
    return {median(wheel), median(pan), median(tracker)};
}

// The peer: a plain QtCharts line holding every point, repainted after its X
// range changes (what a chart without the component's thinning does).
double plainChartRepaint(int points, int runs) {
    auto* chart = new QChart();
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* line = new QLineSeries();
    QList<QPointF> pts;
    pts.reserve(points);
    for (int i = 0; i < points; ++i)
        pts.append(QPointF(i, value(i)));
    line->replace(pts);
    chart->addSeries(line);
    chart->createDefaultAxes();
    QChartView view(chart);
    view.resize(1217, 560);
    view.show();
    paint(view.viewport());
    auto* x = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).first());
    std::vector<double> t;
    for (int r = 0; r < runs; ++r) {
        const double lo = r % 2 ? 0 : points * 0.1;
        t.push_back(timeMs([&] {
            x->setRange(lo, lo + points * 0.8);
            paint(view.viewport());
        }));
    }
    return median(t);
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 21;

    std::printf("Repaint after one interaction, median of %d, ms (limit: 16 ms at 16,382 points, 50 ms at "
                "1,000,000)\n",
                runs);
    std::printf("%-12s %10s %10s %10s %22s\n", "points", "wheel", "pan", "tracker", "plain QtCharts line");
    for (int points : {16382, 1000000}) {
        const Figures f = chartFigures(points, runs);
        const double peer = plainChartRepaint(points, std::min(runs, 7));
        std::printf("%-12d %10.2f %10.2f %10.2f %22.2f\n", points, f.wheel, f.pan, f.tracker, peer);
    }

    // Statistics over 1,000,000 rows, one a minute.
    const int n = 1000000;
    std::vector<double> values(n);
    std::vector<qint64> times(n);
    const qint64 start = QDateTime(QDate(2026, 12, 1), QTime(0, 0)).toSecsSinceEpoch();
    for (int i = 0; i < n; ++i) {
        values[static_cast<std::size_t>(i)] = value(i);
        times[static_cast<std::size_t>(i)] = start + 60LL * i;
    }
    std::vector<double> stats, bare;
    double sink = 0;
    for (int r = 0; r < std::min(runs, 9); ++r) {
        stats.push_back(timeMs([&] {
            sink += logdata::ComputeSpanStats(values, times, 0, n - 1, 30, TChartRows::kNoMoment).mean;
        }));
        bare.push_back(timeMs([&] {
            const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
            sink += *lo + *hi + std::accumulate(values.begin(), values.end(), 0.0) / n;
        }));
    }
    std::printf(
        "\nStatistics of 1,000,000 rows, ms (limit 50): %.2f    bare min/max/mean loop: %.2f   (%g)\n",
        median(stats), median(bare), sink > 0 ? 1.0 : 0.0);
    return 0;
}
