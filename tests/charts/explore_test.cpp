// Exploring and exporting the data through the real window: zoom, pan, reset,
// the tracker, the time axis, statistics, image and CSV export, opening files.
#include "guitest.h"
#include "loggerfiles.h"
#include "windowfixture.h"

#include <QApplication>
#include <QClipboard>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLegendMarker>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <QUrl>
#include <QWheelEvent>

namespace {
// A row with the given T1 reading at minute `minute` of the day.
QByteArray rowWithT1(int minute, double t1) {
    QByteArray r = "091201,";
    r += QByteArray::number(minute / 60).rightJustified(2, '0') + ':' +
         QByteArray::number(minute % 60).rightJustified(2, '0') + ":00,";
    r += (t1 < 0 ? "-" : "+") + QByteArray::number(std::fabs(t1), 'f', 1).rightJustified(5, '0');
    r += ",+023.0,000000,000020,40.0,30.0,13.0,12.0,0,0,0,0,0,0,0,0,0,0,0,0,000\r\n";
    return r;
}

// The point of the plot at a given share of its width and height, in viewport coordinates.
QPoint plotPoint(TDecisionGraph* g, double fx, double fy) {
    const QRectF plot = g->chart()->plotArea();
    const QPointF scene =
        g->chart()->mapToScene(QPointF(plot.left() + fx * plot.width(), plot.top() + fy * plot.height()));
    return g->mapFromScene(scene);
}

void wheel(TDecisionGraph* g, QPoint at, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWheelEvent e(at, g->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(g->viewport(), &e);
}

void drag(TDecisionGraph* g, Qt::MouseButton button, QPoint from, QPoint to,
          Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* v = g->viewport();
    QTest::mousePress(v, button, mods, from);
    QTest::mouseMove(v, (from + to) / 2);
    QTest::mouseMove(v, to);
    QTest::mouseRelease(v, button, mods, to);
}
} // namespace

class ExploreTest : public QObject {
    Q_OBJECT
    FakePlatform platform;
    std::unique_ptr<WindowFixture> w;

    // Opens the window on a day file of `rows` rows and shows Temperature 1.
    TDecisionGraph* openDay(int rows = 1440) {
        w = std::make_unique<WindowFixture>();
        if (!w->open()) return nullptr;
        testfiles::writeFile(w->path("091201.csv"), testfiles::loggerFile(rows));
        w->form->OpenFile(w->path("091201.csv"));
        c(w->form).PageControl1()->setActivePageIndex(2);
        TDecisionGraph* g = c(w->form).DecisionGraphT1();
        QTest::qWait(20);
        return g;
    }

private slots:
    void cleanup() {
        w.reset();
        platform.clear();
    }

    void wheelZoomsAroundTheCursor_data() {
        QTest::addColumn<bool>("ctrl");
        QTest::newRow("time axis") << false;
        QTest::newRow("vertical axis with Ctrl") << true;
    }
    void wheelZoomsAroundTheCursor() {
        QFETCH(bool, ctrl);
        TDecisionGraph* g = openDay();
        QVERIFY(g);
        const double x0 = g->visibleXMin(), x1 = g->visibleXMax(), y0 = g->axisMin(), y1 = g->axisMax();
        QCOMPARE(x0, 0.0);
        QCOMPARE(x1, 1439.0);
        const QPoint at = plotPoint(g, 0.25, 0.5);
        const QPointF value = g->chart()->mapToValue(g->mapToScene(at));
        wheel(g, at, 120, ctrl ? Qt::ControlModifier : Qt::NoModifier);
        if (ctrl) {
            QCOMPARE(g->visibleXMin(), x0); // the time axis stays
            QCOMPARE(g->visibleXMax(), x1);
            QVERIFY(qAbs((g->axisMax() - g->axisMin()) - 0.8 * (y1 - y0)) < 1e-6);
            // The value under the cursor stays under it.
            QVERIFY(qAbs((value.y() - g->axisMin()) - 0.8 * (value.y() - y0)) < 1e-6);
        } else {
            QCOMPARE(g->axisMin(), y0); // a fixed scale stays fixed
            QCOMPARE(g->axisMax(), y1);
            QVERIFY(qAbs((g->visibleXMax() - g->visibleXMin()) - 0.8 * (x1 - x0)) < 1e-6);
            QVERIFY(qAbs((value.x() - g->visibleXMin()) - 0.8 * (value.x() - x0)) < 1e-6);
            // Backwards: out again, never beyond the rows.
            for (int i = 0; i < 5; ++i)
                wheel(g, at, -120);
            QCOMPARE(g->visibleXMin(), 0.0);
            QCOMPARE(g->visibleXMax(), 1439.0);
        }
    }

    void zoomBoxInAnyDirection_data() {
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<bool>("timeZoomed");
        QTest::addColumn<bool>("valueZoomed");
        QTest::newRow("down right") << QPointF(0.2, 0.2) << QPointF(0.6, 0.7) << true << true;
        QTest::newRow("up left") << QPointF(0.6, 0.7) << QPointF(0.2, 0.2) << true << true;
        QTest::newRow("up right") << QPointF(0.2, 0.7) << QPointF(0.6, 0.2) << true << true;
        QTest::newRow("down left") << QPointF(0.6, 0.2) << QPointF(0.2, 0.7) << true << true;
        QTest::newRow("straight right: time only") << QPointF(0.2, 0.5) << QPointF(0.6, 0.5) << true << false;
        QTest::newRow("straight up: values only") << QPointF(0.5, 0.7) << QPointF(0.5, 0.2) << false << true;
    }
    void zoomBoxInAnyDirection() {
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        QFETCH(bool, timeZoomed);
        QFETCH(bool, valueZoomed);
        TDecisionGraph* g = openDay();
        QVERIFY(g);
        const double y0 = g->axisMin(), y1 = g->axisMax();
        const double left = std::min(from.x(), to.x()), right = std::max(from.x(), to.x());
        const double top = std::min(from.y(), to.y()), bottom = std::max(from.y(), to.y());
        drag(g, Qt::LeftButton, plotPoint(g, from.x(), from.y()), plotPoint(g, to.x(), to.y()));
        const double tol = 1439.0 / g->chart()->plotArea().width() * 1.5;
        if (timeZoomed) {
            QVERIFY2(qAbs(g->visibleXMin() - left * 1439) < tol,
                     qPrintable(QString::number(g->visibleXMin())));
            QVERIFY(qAbs(g->visibleXMax() - right * 1439) < tol);
        } else {
            QCOMPARE(g->visibleXMin(), 0.0);
            QCOMPARE(g->visibleXMax(), 1439.0);
        }
        const double ytol = (y1 - y0) / g->chart()->plotArea().height() * 1.5;
        if (valueZoomed) {
            QVERIFY(qAbs(g->axisMax() - (y1 - top * (y1 - y0))) < ytol);
            QVERIFY(qAbs(g->axisMin() - (y1 - bottom * (y1 - y0))) < ytol);
        } else {
            QCOMPARE(g->axisMin(), y0);
            QCOMPARE(g->axisMax(), y1);
        }
    }

    void panMovesTheTimeAxisOnly_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("middle button") << int(Qt::MiddleButton) << int(Qt::NoModifier);
        QTest::newRow("shift and left button") << int(Qt::LeftButton) << int(Qt::ShiftModifier);
    }
    void panMovesTheTimeAxisOnly() {
        QFETCH(int, button);
        QFETCH(int, modifiers);
        TDecisionGraph* g = openDay();
        QVERIFY(g);
        g->zoomX(400, 600);
        const double y0 = g->axisMin(), y1 = g->axisMax();
        // Dragging to the left shows later rows.
        drag(g, Qt::MouseButton(button), plotPoint(g, 0.6, 0.5), plotPoint(g, 0.4, 0.8),
             Qt::KeyboardModifiers(modifiers));
        QVERIFY2(qAbs(g->visibleXMin() - 440) < 2, qPrintable(QString::number(g->visibleXMin())));
        QVERIFY(qAbs(g->visibleXMax() - 640) < 2);
        QCOMPARE(g->axisMin(), y0);
        QCOMPARE(g->axisMax(), y1);
        // Never past the last row.
        drag(g, Qt::MouseButton(button), plotPoint(g, 0.9, 0.5), plotPoint(g, 0.0, 0.5),
             Qt::KeyboardModifiers(modifiers));
        drag(g, Qt::MouseButton(button), plotPoint(g, 0.9, 0.5), plotPoint(g, 0.0, 0.5),
             Qt::KeyboardModifiers(modifiers));
        QVERIFY(g->visibleXMax() <= 1439 + 1e-9);
        QVERIFY(qAbs(g->visibleXMax() - g->visibleXMin() - 200) < 1e-6);
    }

    void resetRestoresTheDesignedRanges_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("double click") << "double click";
        QTest::newRow("Escape") << "Escape";
        QTest::newRow("Reset zoom") << "Reset zoom";
    }
    void resetRestoresTheDesignedRanges() {
        QFETCH(QString, how);
        TDecisionGraph* g = openDay();
        QVERIFY(g);
        const double y0 = g->axisMin(), y1 = g->axisMax();
        drag(g, Qt::LeftButton, plotPoint(g, 0.2, 0.2), plotPoint(g, 0.6, 0.7));
        QVERIFY(g->zoomed());
        QVERIFY(g->axisMax() < y1);
        if (how == "double click") {
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, plotPoint(g, 0.5, 0.5));
        } else if (how == "Escape") {
            g->setFocus();
            QTest::keyClick(g, Qt::Key_Escape);
        } else {
            auto* reset = g->findChild<QAction*>("ResetZoom");
            QVERIFY(reset);
            QCOMPARE(reset->text(), QString("Reset zoom"));
            reset->trigger();
        }
        QVERIFY(!g->zoomed());
        QCOMPARE(g->visibleXMin(), 0.0);
        QCOMPARE(g->visibleXMax(), 1439.0);
        QCOMPARE(g->axisMin(), y0);
        QCOMPARE(g->axisMax(), y1);
    }

    void trackerShowsTheRow() {
        TDecisionGraph* g = openDay();
        QVERIFY(g);
        g->zoomX(0, 40);
        // Row 11 is point 10: 00:10:00, T1 +025.5.
        const QRectF plot = g->chart()->plotArea();
        const QPointF scene =
            g->chart()->mapToScene(QPointF(plot.left() + 10.2 / 40 * plot.width(), plot.center().y()));
        QTest::mouseMove(g->viewport(), g->mapFromScene(scene));
        QTRY_COMPARE(g->trackerIndex(), 10);
        QStringList lines = g->trackerText().split('\n');
        QCOMPARE(lines.value(0), QString("091201 00:10:00"));
        QCOMPARE(lines.value(1), QString("Row 11"));
        QVERIFY2(lines.contains("Temperature 1: 25.5") || lines.filter(": 25.5").size() == 1,
                 qPrintable(g->trackerText()));
        // The arrow keys step row by row.
        g->setFocus();
        QTest::keyClick(g, Qt::Key_Right);
        QTest::keyClick(g, Qt::Key_Right);
        QTest::keyClick(g, Qt::Key_Left);
        QCOMPARE(g->trackerIndex(), 11);
        lines = g->trackerText().split('\n');
        QCOMPARE(lines.value(0), QString("091201 00:11:00"));
        QCOMPARE(lines.value(1), QString("Row 12"));
        // The mouse leaves: the tracker goes, and the keys bring it back where it was.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(g, &leave);
        QCOMPARE(g->trackerIndex(), -1);
        QTest::keyClick(g, Qt::Key_Right);
        QCOMPARE(g->trackerIndex(), 11);
        // Stepping out of the span moves the span along.
        g->setTrackerIndex(40);
        QTest::keyClick(g, Qt::Key_Right);
        QCOMPARE(g->trackerIndex(), 41);
        QVERIFY(g->visibleXMax() >= 41);
        QVERIFY(qAbs(g->visibleXMax() - g->visibleXMin() - 40) < 1e-6);
    }

    void timeAxisFollowsXmodeAtOnce() {
        TDecisionGraph* g = openDay();
        QVERIFY(g);
        auto texts = [&] {
            QStringList t;
            for (const auto& [x, text] : g->visibleLabels())
                t << text;
            return t;
        };
        QVERIFY(!texts().isEmpty());
        QCOMPARE(texts().first(), QString("1"));
        c(w->form).Xmode()->setChecked(true); // after the load
        const auto labels = g->visibleLabels();
        QVERIFY(labels.size() >= 4);
        QVERIFY(labels.size() <= 16);
        // Evenly spaced readable moments, placed at their rows.
        QRegularExpression hhmm("^\\d\\d:\\d\\d$");
        for (const auto& [x, text] : labels) {
            QVERIFY2(hhmm.match(text).hasMatch(), qPrintable(text));
            const int minutes = text.left(2).toInt() * 60 + text.mid(3).toInt();
            QVERIFY(qAbs(x - minutes) < 1e-6); // one row a minute from 00:00
        }
        const double step = labels[1].first - labels[0].first;
        for (int i = 2; i < labels.size(); ++i)
            QVERIFY(qAbs(labels[i].first - labels[i - 1].first - step) < 1e-6);
        // Zoomed to a few minutes: labels every minute or so, still times of day.
        g->zoomX(600, 610);
        QVERIFY(g->visibleLabels().size() >= 2);
        QVERIFY(hhmm.match(g->visibleLabels().first().second).hasMatch());
        c(w->form).Xmode()->setChecked(false);
        QCOMPARE(g->visibleLabels().first().second.toInt() >= 601, true);
    }

    void timeAxisBreaksOnlyWhereTheTimeDoes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<double>("mark");   // where the break is marked
        QTest::addColumn<QString>("after"); // the label of the row after it
        QByteArray wraps, missingDay, noTime;
        for (int i = 0; i < 1500; ++i) // one day's date; the clock wraps at row 1,441
            wraps += testfiles::loggerRow(i) + "\r\n";
        for (int i = 0; i < 1440; ++i)
            missingDay += testfiles::loggerRow(i, "091201") + "\r\n";
        for (int i = 0; i < 1440; ++i)
            missingDay += testfiles::loggerRow(i, "091203") + "\r\n";
        for (int i = 0; i < 1440; ++i) {
            QByteArray row = testfiles::loggerRow(i);
            if (i == 700) row.replace(7, 8, "--:--:--");
            noTime += row + "\r\n";
        }
        QTest::newRow("a step back in time") << wraps << 1439.5 << "12/01 00:00";
        QTest::newRow("a day missing from a merge") << missingDay << 1439.5 << "12/03 00:00";
        QTest::newRow("a row without a readable time") << noTime << 699.5 << "";
    }
    void timeAxisBreaksOnlyWhereTheTimeDoes() {
        QFETCH(QByteArray, bytes);
        QFETCH(double, mark);
        QFETCH(QString, after);
        w = std::make_unique<WindowFixture>();
        QVERIFY(w->open());
        testfiles::writeFile(w->path("-091201-091203.csv"), bytes);
        w->form->OpenFile(w->path("-091201-091203.csv"));
        c(w->form).PageControl1()->setActivePageIndex(2);
        TDecisionGraph* g = c(w->form).DecisionGraphT1();
        c(w->form).Xmode()->setChecked(true);
        const auto labels = g->visibleLabels();
        QVERIFY(labels.size() >= 4);
        // Times of day on both sides of the break, which is marked.
        QRegularExpression time("^(\\d\\d/\\d\\d )?\\d\\d:\\d\\d$");
        int times = 0;
        for (const auto& [x, text] : labels)
            times += time.match(text).hasMatch();
        QVERIFY(times >= labels.size() - 1);
        QVERIFY2(g->gapMarks().contains(mark), qPrintable(QString::number(g->gapMarks().value(0))));
        if (!after.isEmpty()) {
            bool found = false;
            for (const auto& [x, text] : labels)
                found |= qAbs(x - (mark + 0.5)) < 1e-9 && text == after;
            QVERIFY(found);
        }
        // No two labels overlap.
        const QFontMetrics fm(g->labelFont());
        const double pxPerIndex = g->chart()->plotArea().width() / (g->visibleXMax() - g->visibleXMin());
        for (int i = 1; i < labels.size(); ++i) {
            const double room = (labels[i].first - labels[i - 1].first) * pxPerIndex;
            const double need =
                (fm.horizontalAdvance(labels[i].second) + fm.horizontalAdvance(labels[i - 1].second)) / 2.0;
            QVERIFY2(room >= need, qPrintable(labels[i - 1].second + " / " + labels[i].second));
        }
    }

    void timeAxisShowsDatesAcrossMidnight() {
        w = std::make_unique<WindowFixture>();
        QVERIFY(w->open());
        QByteArray bytes;
        for (int i = 0; i < 120; ++i) {
            QByteArray row = testfiles::loggerRow(1380 + i, i < 60 ? "091201" : "091202", false);
            bytes += row + "\r\n";
        }
        testfiles::writeFile(w->path("two.csv"), bytes);
        c(w->form).Xmode()->setChecked(true);
        w->form->OpenFile(w->path("two.csv"));
        TDecisionGraph* g = c(w->form).Chart1();
        const auto labels = g->visibleLabels();
        QVERIFY(labels.size() >= 2);
        QStringList texts;
        for (const auto& l : labels)
            texts << l.second;
        QVERIFY2(texts.filter("12/01 ").size() == 1 && texts.filter("12/02 00:00").size() == 1,
                 qPrintable(texts.join('|')));
    }

    void statisticsOfKnownRows() {
        w = std::make_unique<WindowFixture>();
        QVERIFY(w->open());
        // T1: 10, 30, 35, 20, 5, 31 one minute apart; level 25: three readings over
        // it, above it from 00:01 to 00:03 (the last reading has no time after it).
        const double t1[] = {10, 30, 35, 20, 5, 31};
        QByteArray bytes;
        for (int i = 0; i < 6; ++i)
            bytes += rowWithT1(i, t1[i]);
        testfiles::writeFile(w->path("known.csv"), bytes);
        c(w->form).ScrollBar1()->setValue(25);
        w->form->OpenFile(w->path("known.csv"));
        auto* stats = w->form->findChild<QLabel*>("StatisticsT1");
        QVERIFY(stats);
        const QString text = stats->text();
        QVERIFY2(text.contains("Min 5 (091201 00:04:00)"), qPrintable(text));
        QVERIFY2(text.contains("Max 35 (091201 00:02:00)"), qPrintable(text));
        QVERIFY2(text.contains("Mean 21.83"), qPrintable(text));
        QVERIFY2(text.contains("Over the level 25: 3 readings, 2 min 00 s above it"), qPrintable(text));
        // The zoomed span only: rows 2 to 4.
        c(w->form).DecisionGraphT1()->zoomX(1, 3);
        QVERIFY2(stats->text().contains("Min 20 (091201 00:03:00)"), qPrintable(stats->text()));
        QVERIFY(stats->text().contains("2 readings, 2 min 00 s"));
        // The CSV page's compact table.
        auto* table = w->form->findChild<QTableWidget*>("StatisticsTable");
        QVERIFY(table);
        QCOMPARE(table->item(0, 0)->text(), QString("T1"));
        QCOMPARE(table->item(0, 1)->text(), QString("5.0"));
        QCOMPARE(table->item(0, 2)->text(), QString("35.0"));
        QCOMPARE(table->item(0, 4)->text(), QString("3"));
        QCOMPARE(table->item(0, 5)->text(), QString("2 min 00 s"));
        QCOMPARE(table->item(1, 1)->text(), QString("23.0")); // T2 steady
        QCOMPARE(table->item(1, 4)->text(), QString("0"));
        // The level bar moved after the load: the page, the table and the line follow.
        c(w->form).DecisionGraphT1()->undoZoom();
        c(w->form).ScrollBar1()->setValue(30);
        QVERIFY2(stats->text().contains("Over the level 30: 2 readings"), qPrintable(stats->text()));
        QCOMPARE(table->item(0, 4)->text(), QString("2"));
        QCOMPARE(c(w->form).FastLineSeries5()->y(0), 30.0);

        // The logger off for six hours while warm: that time is not counted, and
        // the page says so; a reading every 10 minutes instead of 1 is no gap.
        QByteArray gap;
        const int minutes[] = {0, 1, 2, 3, 4, 5, 365, 366, 367, 368, 378, 388, 398, 408, 418, 428};
        for (int m : minutes)
            gap += rowWithT1(m, 40);
        testfiles::writeFile(w->path("gap.csv"), gap);
        w->form->OpenFile(w->path("gap.csv"));
        QVERIFY2(stats->text().contains("16 readings, 1 h 08 min above it (gaps not counted)"),
                 qPrintable(stats->text()));
        QCOMPARE(table->item(0, 5)->text(), QString("1 h 08 min*"));
    }

    void exportedImagesHaveTheChosenSize_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("PNG") << "chart.png";
        QTest::newRow("SVG") << "chart.svg";
    }
    void exportedImagesHaveTheChosenSize() {
        QFETCH(QString, name);
        TDecisionGraph* g = openDay();
        QVERIFY(g);
        platform.saveAnswers.enqueue(w->path(name));
        platform.imageSizes.enqueue(QSize(800, 450));
        g->findChild<QAction*>("ExportImage")->trigger();
        QVERIFY2(platform.errors.isEmpty(), qPrintable(platform.errors.join('|')));
        if (name.endsWith(".png")) {
            QImage img(w->path(name));
            QCOMPARE(img.size(), QSize(800, 450));
            // Something is drawn: dark pixels of the line and the labels.
            int dark = 0;
            for (int y = 0; y < img.height(); y += 2)
                for (int x = 0; x < img.width(); x += 2)
                    dark += qGray(img.pixel(x, y)) < 100;
            QVERIFY(dark > 200);
        } else {
            QFile f(w->path(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray svg = f.readAll();
            QVERIFY(svg.contains("<svg"));
            QVERIFY(svg.contains("viewBox=\"0 0 800 450\""));
            QVERIFY(svg.contains("</svg>"));
        }
        // Too large a size is refused with a clear message, and nothing is written.
        platform.saveAnswers.enqueue(w->path("huge.png"));
        platform.imageSizes.enqueue(QSize(100000, 100000));
        g->findChild<QAction*>("ExportImage")->trigger();
        QCOMPARE(platform.errors.size(), 1);
        QVERIFY2(platform.errors[0].contains("at most 8000 x 8000"), qPrintable(platform.errors[0]));
        QVERIFY(!QFileInfo::exists(w->path("huge.png")));
        // Copy image: the chart as shown, on the clipboard.
        g->findChild<QAction*>("CopyImage")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->image().size(), g->viewport()->size());
        // The PDF: one page.
        platform.saveAnswers.enqueue(w->path("chart.pdf"));
        g->findChild<QAction*>("ExportPdf")->trigger();
        QVERIFY(QFileInfo(w->path("chart.pdf")).size() > 1000);
    }

    void exportedCsvLoadsBackToTheSameRows() {
        TDecisionGraph* g = openDay(300);
        QVERIFY(g);
        const QByteArray original = testfiles::loggerFile(300);
        platform.saveAnswers.enqueue(w->path("all.csv"));
        g->findChild<QAction*>("ExportCsv")->trigger();
        // The name offered is one the next merge of the day does not take.
        QCOMPARE(QFileInfo(platform.suggestedNames.last()).fileName(), QString("export-091201-copy.csv"));
        QFile all(w->path("all.csv"));
        QVERIFY(all.open(QIODevice::ReadOnly));
        QCOMPARE(all.readAll(), original);
        // The zoomed span: rows 101 to 150.
        g->zoomX(100, 149);
        platform.saveAnswers.enqueue(w->path("part.csv"));
        g->findChild<QAction*>("ExportCsv")->trigger();
        const QList<QByteArray> lines = original.split('\n');
        QByteArray expected;
        for (int i = 100; i < 150; ++i)
            expected += lines[i] + '\n';
        QFile part(w->path("part.csv"));
        QVERIFY(part.open(QIODevice::ReadOnly));
        QCOMPARE(part.readAll(), expected);
        // Loaded back: the same rows in the table.
        w->form->OpenFile(w->path("part.csv"));
        TStringGrid* grid = c(w->form).StringGrid1();
        QCOMPARE(grid->RowCount(), 51);
        QCOMPARE(grid->Cells(2, 1), QString("01:40:00"));
        QCOMPARE(grid->Cells(3, 50), QString(testfiles::loggerRow(149, "091201", false).split(',')[2]));
        // Never over the file on screen.
        platform.saveAnswers.enqueue(w->path("part.csv"));
        g->findChild<QAction*>("ExportCsv")->trigger();
        QCOMPARE(platform.errors.size(), 1);
        // Zoomed into the gap between two rows: no row is shown, none is exported.
        g->zoomX(10.2, 10.8);
        const int dialogs = platform.dialogs.size();
        g->findChild<QAction*>("ExportCsv")->trigger();
        QCOMPARE(platform.dialogs.size(), dialogs);
        QVERIFY2(platform.messages.filter("nothing to export").size() == 1,
                 qPrintable(platform.messages.join('|')));
        // A name the day's merge would take is asked about first; Cancel writes nothing.
        g->undoZoom();
        platform.saveAnswers.enqueue(w->path("091201B.csv"));
        g->findChild<QAction*>("ExportCsv")->trigger();
        QVERIFY(platform.confirmations.filter("091201B.csv").size() == 1);
        QVERIFY(!QFile::exists(w->path("091201B.csv")));
        // A source changed since the load is not exported from.
        testfiles::writeFile(w->path("part.csv"), testfiles::loggerFile(7));
        platform.saveAnswers.enqueue(w->path("changed.csv"));
        g->findChild<QAction*>("ExportCsv")->trigger();
        QVERIFY(!QFile::exists(w->path("changed.csv")));
        QVERIFY2(platform.errors.last().contains("has changed since it was loaded"),
                 qPrintable(platform.errors.last()));
    }

    void verticalZoomStopsAtTheResolution_data() {
        QTest::addColumn<QString>("chart");
        QTest::addColumn<double>("resolution");
        QTest::newRow("temperature") << "DecisionGraphT1" << 0.1;
        QTest::newRow("counter") << "DecisionGraphT3" << 1.0;
        QTest::newRow("analog, multiplier 2.5") << "DecisionGraphA1" << 0.25;
    }
    void verticalZoomStopsAtTheResolution() {
        QFETCH(QString, chart);
        QFETCH(double, resolution);
        w = std::make_unique<WindowFixture>();
        QVERIFY(w->open());
        c(w->form).ScrollBarA1()->setValue(2);
        c(w->form).ScrollBarA01()->setValue(500);
        testfiles::writeFile(w->path("091201.csv"), testfiles::loggerFile(200));
        w->form->OpenFile(w->path("091201.csv"));
        auto* g = w->form->findChild<TDecisionGraph*>(chart);
        QWidget* sheet = g;
        while (sheet && !qobject_cast<TTabSheet*>(sheet))
            sheet = sheet->parentWidget();
        c(w->form).PageControl1()->setActivePage(qobject_cast<TTabSheet*>(sheet));
        QTRY_VERIFY(g->isVisible());
        // Ctrl+wheel far beyond what the readings can tell apart, then a zoom box.
        for (int i = 0; i < 200; ++i)
            wheel(g, plotPoint(g, 0.5, 0.5), 120, Qt::ControlModifier);
        drag(g, Qt::LeftButton, plotPoint(g, 0.5, 0.4), plotPoint(g, 0.5, 0.45));
        QVERIFY2(g->axisMax() - g->axisMin() >= resolution * 0.999,
                 qPrintable(QString::number(g->axisMax() - g->axisMin())));
        QVERIFY(g->axisMax() - g->axisMin() <= resolution * 1.5);
        QVERIFY(g->leftAxisLabels().size() <= 12);
        // The tracker names the channel's readings, never an inner series.
        g->setTrackerIndex(5);
        QVERIFY2(!g->trackerText().contains("Series"), qPrintable(g->trackerText()));
    }

    void zoomSurvivesRefreshOfTheSameFile() {
        TDecisionGraph* g = openDay();
        QVERIFY(g);
        g->zoomX(200, 300);
        w->form->OpenFile(w->path("091201.csv")); // the same file again
        QVERIFY(g->zoomed());
        QCOMPARE(g->visibleXMin(), 200.0);
        QCOMPARE(g->visibleXMax(), 300.0);
        testfiles::writeFile(w->path("091202.csv"), testfiles::loggerFile(500, "091202"));
        w->form->OpenFile(w->path("091202.csv"));
        QVERIFY(!g->zoomed());
        QCOMPARE(g->visibleXMax(), 499.0);
    }

    void legendClickHidesASeries() {
        w = std::make_unique<WindowFixture>();
        QVERIFY(w->open());
        testfiles::writeFile(w->path("091201.csv"), testfiles::loggerFile(100));
        w->form->OpenFile(w->path("091201.csv"));
        TDecisionGraph* g = c(w->form).Chart1();
        TChartSeries* t2 = g->findSeries("Series2");
        const double y0 = g->axisMin(), y1 = g->axisMax();
        const auto markers = g->chart()->legend()->markers(t2->drawn());
        QCOMPARE(markers.size(), 1);
        // Click on the legend entry "T2", found where the chart draws it.
        auto clickLegend = [&] {
            QList<QGraphicsItem*> texts;
            for (QGraphicsItem* item : g->scene()->items())
                if (auto* t = dynamic_cast<QGraphicsSimpleTextItem*>(item); t && t->text() == "T2")
                    texts << t;
                else if (auto* r = dynamic_cast<QGraphicsTextItem*>(item); r && r->toPlainText() == "T2")
                    texts << r;
            QVERIFY(!texts.isEmpty());
            const QPoint at = g->mapFromScene(texts.first()->sceneBoundingRect().center());
            QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        };
        clickLegend();
        QVERIFY(t2->hiddenByUser());
        QVERIFY(!t2->drawn()->isVisible());
        g->setTrackerIndex(5);
        QVERIFY(!g->trackerText().contains("T2:"));
        QVERIFY(g->trackerText().contains("T1:"));
        QCOMPARE(g->axisMin(), y0); // the axis rule is unchanged
        QCOMPARE(g->axisMax(), y1);
        clickLegend();
        QVERIFY(!t2->hiddenByUser());
        QVERIFY(g->trackerText().contains("T2:"));
    }

    void openAndDropLoadTheFile_data() {
        QTest::addColumn<bool>("drop");
        QTest::newRow("File > Open...") << false;
        QTest::newRow("drag and drop") << true;
    }
    void openAndDropLoadTheFile() {
        QFETCH(bool, drop);
        w = std::make_unique<WindowFixture>();
        QVERIFY(w->open());
        QDir(w->work.path()).mkdir("days");
        const QString file = w->path("days/091203.csv");
        testfiles::writeFile(file, testfiles::loggerFile(50, "091203"));
        c(w->form).PageControl1()->setActivePageIndex(0);
        if (drop) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(file)});
            QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w->form.get(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent dropped(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w->form.get(), &dropped);
            // Other files are refused.
            QMimeData text;
            text.setUrls({QUrl::fromLocalFile(w->path("notes.txt"))});
            QDragEnterEvent refused(QPoint(300, 300), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
            refused.setAccepted(false);
            QApplication::sendEvent(w->form.get(), &refused);
            QVERIFY(!refused.isAccepted());
        } else {
            auto* open = w->form->findChild<QAction*>("FileOpen1");
            QCOMPARE(open->shortcut(), QKeySequence(QKeySequence::Open));
            platform.openAnswers.enqueue(file);
            open->trigger();
        }
        QCOMPARE(c(w->form).StringGrid1()->RowCount(), 51);
        QCOMPARE(c(w->form).PageControl1()->ActivePageIndex(), 1);
        QVERIFY(c(w->form).vFileName()->text().contains("091203.csv"));
        QCOMPARE(QDir(c(w->form).FileListBox1()->Directory()).canonicalPath(),
                 QDir(w->path("days")).canonicalPath());
    }

    void recentFilesAfterARestart() {
        w = std::make_unique<WindowFixture>();
        QVERIFY(w->open());
        QStringList names;
        for (int i = 1; i <= 10; ++i) {
            names << w->path(QString("0912%1.csv").arg(i, 2, 10, QChar('0')));
            testfiles::writeFile(names.last(), testfiles::loggerFile(5 + i));
            w->form->OpenFile(names.last());
        }
        w->form.reset(); // the program ends
        QVERIFY(w->open());
        auto* recent = w->form->findChild<QMenu*>("RecentFiles");
        QVERIFY(recent);
        const auto actions = recent->actions();
        QCOMPARE(actions.size(), 8); // the last eight, newest first
        QCOMPARE(actions[0]->data().toString(), names[9]);
        QCOMPARE(actions[7]->data().toString(), names[2]);
        actions[3]->trigger();
        QCOMPARE(c(w->form).StringGrid1()->RowCount(), 5 + 7 + 1);
        QCOMPARE(recent->actions()[0]->data().toString(), names[6]);
        // A file opened from the CSV page's list is a recent file too.
        c(w->form).FileListBox1()->setDirectory(w->path(""));
        const QList<QListWidgetItem*> found =
            c(w->form).FileListBox1()->findItems("091202.csv", Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        c(w->form).FileListBox1()->setCurrentItem(found[0]);
        found[0]->setSelected(true);
        c(w->form).invoke("FileListBox1DblClick");
        QCOMPARE(c(w->form).StringGrid1()->RowCount(), 5 + 2 + 1);
        QCOMPARE(recent->actions()[0]->data().toString(), QFileInfo(names[1]).absoluteFilePath());
        // Kept in tervane640.ini beside csv.cfg.
        QVERIFY(QFileInfo::exists(w->path(".config/tervane640/tervane640.ini")) ||
                !QDir(w->work.path()).entryList({"tervane640.ini"}).isEmpty() ||
                !QDir(w->path(".config")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

        // A second window puts its file at the top meanwhile: the next file opened
        // here goes above it, and neither is lost.
        QDirIterator it(w->work.path(), {"tervane640.ini"}, QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        QVERIFY(it.hasNext());
        const QString ini = it.next();
        const QString other = w->path("R&D/091230.csv");
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[RecentFiles]\nFiles=" + other.toUtf8() + ", " + names[9].toUtf8() + "\n");
        f.close();
        w->form->OpenFile(names[4]);
        const auto now = recent->actions();
        QCOMPARE(now.value(0)->data().toString(), names[4]);
        QCOMPARE(now.value(1)->data().toString(), other);
        QCOMPARE(now.value(2)->data().toString(), names[9]);
        // A path holding "&" is shown as itself.
        QString shown = now.value(1)->text();
        shown.replace("&&", QString(QChar(1))).remove('&').replace(QChar(1), '&');
        QCOMPARE(shown, "2 " + QDir::toNativeSeparators(other));
    }

    void printPreviewOfThePageOnScreen() {
        TDecisionGraph* g = openDay(100);
        QVERIFY(g);
        w->form->findChild<QAction*>("PrintPreview1")->trigger();
        QCOMPARE(platform.previews, 1);
        QVERIFY(QFileInfo(platform.lastPreviewPdf).size() > 1000);
        c(w->form).PageControl1()->setActivePageIndex(1);
        w->form->findChild<QAction*>("PrintPreview1")->trigger();
        QCOMPARE(platform.previews, 2);
        QVERIFY(QFileInfo(platform.lastPreviewPdf).size() > 1000);
        QVERIFY(platform.errors.isEmpty());
        // A table of many pages previews its first ones, and says so.
        testfiles::writeFile(w->path("091202.csv"), testfiles::loggerFile(5000));
        w->form->OpenFile(w->path("091202.csv"));
        w->form->findChild<QAction*>("PrintPreview1")->trigger();
        QVERIFY2(platform.previewCaptions.last().startsWith("Print preview: the first 20 of "),
                 qPrintable(platform.previewCaptions.last()));
        if (!QStandardPaths::findExecutable("pdfinfo").isEmpty()) {
            QProcess info;
            info.start("pdfinfo", {platform.lastPreviewPdf});
            QVERIFY(info.waitForFinished());
            QVERIFY(QString(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+20\\n")));
        }
    }
};

TERVANE_GUI_TEST_MAIN(ExploreTest)
#include "explore_test.moc"
