// The chart component as the window uses it: points, headings, axis ranges,
// the bottom axis labels, zoom, and printing a chart to PDF.
#include "charts/decisiongraph.h"
#include "guitest.h"
#include <QStyleHints>

#include <QImage>
#include <QImageReader>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

class DecisionGraphTest : public QObject {
    Q_OBJECT
private slots:
    void pointsAndClear() {
        TDecisionGraph chart("DecisionGraphT1");
        auto* s = chart.addSeries<TFastLineSeries>("FastLineSeries1");
        s->AddPoint(5, "1", Qt::black);
        s->AddPoint(7, "2", Qt::black);
        QCOMPARE(s->count(), 2);
        QCOMPARE(s->x(1), 1.0);
        QCOMPARE(s->label(1), QString("2"));
        s->ClearPoints();
        QCOMPARE(s->count(), 0);
        s->AddPoint(9, "x", Qt::red);
        QCOMPARE(s->x(0), 0.0);
        QCOMPARE(s->pointColor(0), QColor(Qt::red));
    }

    void headings() {
        TDecisionGraph chart("Chart1");
        chart.setTitleText(QStringList{"Temperature", "second line"});
        chart.setTitleFirstLine("Heading");
        QCOMPARE(chart.TitleText(), (QStringList{"Heading", "second line"}));
        chart.setTitleText(QString("One"));
        QCOMPARE(chart.TitleText(), QStringList{"One"});
        chart.setTitleText(QString());
        QCOMPARE(chart.TitleText(), QStringList{QString()});
    }

    void axisRanges_data() {
        QTest::addColumn<bool>("autoTop");
        QTest::addColumn<double>("hiddenY");
        QTest::addColumn<double>("expectedMin");
        QTest::addColumn<double>("expectedMax");
        QTest::newRow("fixed range") << false << 500.0 << -45.0 << 135.0;
        QTest::newRow("auto top counts the hidden range series") << true << 500.0 << -1.0 << 500.0;
        QTest::newRow("auto top from the visible series") << true << 0.0 << -1.0 << 80.0;
    }
    void axisRanges() {
        QFETCH(bool, autoTop);
        QFETCH(double, hiddenY);
        QFETCH(double, expectedMin);
        QFETCH(double, expectedMax);
        TDecisionGraph chart("DecisionGraphT3");
        chart.resize(600, 400);
        chart.LeftAxis =
            autoTop ? TChartAxis{false, false, true, -1, 100} : TChartAxis{false, false, false, -45, 135};
        auto* line = chart.addSeries<TFastLineSeries>("FastLineSeries3");
        auto* range = chart.addSeries<TLineSeries>("Series14");
        range->setLinePenVisible(false);
        line->AddPoint(80, "1", Qt::black);
        line->AddPoint(20, "2", Qt::black);
        range->AddPoint(hiddenY, "1", Qt::black);
        chart.Refresh();
        QCOMPARE(chart.axisMin(), expectedMin);
        QCOMPARE(chart.axisMax(), expectedMax);
        QVERIFY(range->drawn() == nullptr);
        QVERIFY(line->drawn() != nullptr);
    }

    void niceTicksGiveFourToTwelveLabels_data() {
        QTest::addColumn<int>("maxTicks");
        QTest::newRow("overview chart") << 9;
        QTest::newRow("channel chart") << 12;
    }
    void niceTicksGiveFourToTwelveLabels() {
        // Spans from 10^-6 to 10^7, at offsets from negative to a million.
        QFETCH(int, maxTicks);
        for (double span = 1e-6; span < 1e7; span *= 1.37)
            for (double lo : {-45.0, -1.0, 0.0, 0.3, 999000.0}) {
                const AxisTicks t = NiceTicks(lo, lo + span, maxTicks);
                const QString what =
                    QString("%1..%2: %3 ticks of %4").arg(lo).arg(lo + span).arg(t.count).arg(t.step);
                QVERIFY2(t.count >= 4 && t.count <= maxTicks, qPrintable(what));
                // The labels' decimals tell neighbouring ticks apart.
                const double first = std::ceil(lo / t.step) * t.step;
                QVERIFY2(QString::number(first, 'f', t.decimals) !=
                             QString::number(first + t.step, 'f', t.decimals),
                         qPrintable(what));
            }
    }

    void emptyChartKeepsItsAxis() {
        TDecisionGraph chart("DecisionGraphA4");
        chart.LeftAxis = {false, false, false, -1, 20};
        chart.addSeries<TFastLineSeries>("FastLineSeries9");
        chart.Refresh();
        QCOMPARE(chart.axisMin(), -1.0);
        QCOMPARE(chart.axisMax(), 20.0);
        QVERIFY(chart.visibleLabels().isEmpty());
    }

    void labelsAreAReadableSubsetAndFollowTheZoom() {
        TDecisionGraph chart("DecisionGraphT1");
        chart.resize(800, 400);
        chart.show();
        auto* s = chart.addSeries<TFastLineSeries>("FastLineSeries1");
        for (int i = 0; i < 10000; ++i)
            s->AddPoint(i % 50, QString::number(i + 1), Qt::black);
        chart.Refresh();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        const auto all = chart.visibleLabels();
        QVERIFY(all.size() >= 3);
        QVERIFY(all.size() < 40);
        QCOMPARE(all.first().second, s->label(static_cast<int>(all.first().first)));
        chart.zoomX(100, 120);
        const auto zoomed = chart.visibleLabels();
        QVERIFY(!zoomed.isEmpty());
        for (const auto& [x, text] : zoomed) {
            QVERIFY(x >= 100 && x <= 120);
            QCOMPARE(text, QString::number(static_cast<int>(x) + 1));
        }
        // More points than pixels are thinned for drawing, the series keeps them all.
        chart.undoZoom();
        QVERIFY(s->drawn()->count() < 10000);
        QCOMPARE(s->count(), 10000);
    }

    void mouseZoomAndClick() {
        TDecisionGraph chart("Chart1");
        chart.resize(600, 300);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        auto* s = chart.addSeries<TFastLineSeries>("Series1");
        for (int i = 0; i < 100; ++i)
            s->AddPoint(i, QString::number(i), Qt::black);
        chart.Refresh();
        int clicks = 0;
        connect(&chart, &TDecisionGraph::clicked, this, [&] { ++clicks; });
        QTest::mouseClick(chart.viewport(), Qt::LeftButton, {}, QPoint(300, 150));
        QTRY_COMPARE(clicks, 1);
        // A drag zooms into its box, whichever way it goes; a double click shows the whole range.
        QTest::mousePress(chart.viewport(), Qt::LeftButton, {}, QPoint(150, 80));
        QTest::mouseMove(chart.viewport(), QPoint(250, 200));
        QTest::mouseRelease(chart.viewport(), Qt::LeftButton, {}, QPoint(250, 200));
        QVERIFY(chart.zoomed());
        QVERIFY(chart.visibleXMax() - chart.visibleXMin() < 60);
        QCOMPARE(clicks, 1);
        const double span = chart.visibleXMax() - chart.visibleXMin();
        QTest::mousePress(chart.viewport(), Qt::LeftButton, {}, QPoint(350, 200));
        QTest::mouseMove(chart.viewport(), QPoint(250, 80));
        QTest::mouseRelease(chart.viewport(), Qt::LeftButton, {}, QPoint(250, 80));
        QVERIFY(chart.zoomed());
        QVERIFY(chart.visibleXMax() - chart.visibleXMin() < span * 0.5);
        QCOMPARE(clicks, 1);
        QTest::mouseClick(chart.viewport(), Qt::LeftButton, {}, QPoint(300, 150));
        QTest::mouseDClick(chart.viewport(), Qt::LeftButton, {}, QPoint(300, 150));
        QVERIFY(!chart.zoomed());
        QCOMPARE(chart.visibleXMin(), 0.0);
        QCOMPARE(chart.visibleXMax(), 99.0);
        // The clicks of a double click are no clicks of their own.
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 100);
        QCOMPARE(clicks, 1);
    }

    void printsOnePageTitledWithTheChartsName() {
        if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
            QSKIP("pdfinfo (poppler-utils) is not installed");
        QTemporaryDir dir;
        TDecisionGraph chart("DecisionGraphT2");
        chart.resize(1217, 600);
        chart.setTitleText(QString("Temperature 2"));
        auto* s = chart.addSeries<TFastLineSeries>("FastLineSeries2");
        for (int i = 0; i < 50; ++i)
            s->AddPoint(i, QString::number(i + 1), Qt::black);
        chart.Refresh();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("chart.pdf"));
        printer.setPageOrientation(QPageLayout::Landscape);
        chart.PrintChart(printer);
        QProcess info;
        info.start("pdfinfo", {dir.filePath("chart.pdf")});
        QVERIFY(info.waitForFinished(20000));
        const QString out = QString::fromUtf8(info.readAllStandardOutput());
        QVERIFY2(out.contains(QRegularExpression("Pages:\\s+1\\n")), qPrintable(out));
        QVERIFY2(out.contains(QRegularExpression("Title:\\s+DecisionGraphT2")), qPrintable(out));
        const auto size = QRegularExpression("Page size:\\s+([\\d.]+) x ([\\d.]+)").match(out);
        QVERIFY(size.hasMatch());
        QVERIFY2(size.captured(1).toDouble() > size.captured(2).toDouble(), "landscape page");
        QProcess text;
        text.start("pdftotext", {dir.filePath("chart.pdf"), "-"});
        QVERIFY(text.waitForFinished(20000));
        QVERIFY(QString::fromUtf8(text.readAllStandardOutput()).contains("Temperature 2"));
    }

    void linesScaleWithTheDevice_data() {
        QTest::addColumn<bool>("printed");
        QTest::newRow("image four times the chart's size") << false;
        QTest::newRow("printout rendered at 600 dpi") << true;
    }
    void linesScaleWithTheDevice() {
        QFETCH(bool, printed);
        QTemporaryDir dir;
        TDecisionGraph chart("DecisionGraphT1");
        chart.resize(1217, 600);
        chart.LeftAxis = {false, false, false, 0, 100};
        auto* s = chart.addSeries<TFastLineSeries>("FastLineSeries1");
        s->setSeriesColor(Qt::black);
        for (int i = 0; i < 50; ++i)
            s->AddPoint(50, QString::number(i + 1), Qt::black);
        chart.Refresh();
        QImage img;
        double scale = 4;
        if (!printed) {
            img = chart.renderImage(chart.size() * 4);
        } else {
            if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
                QSKIP("pdftoppm (poppler-utils) missing");
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(dir.filePath("chart.pdf"));
            printer.setPageOrientation(QPageLayout::Landscape);
            chart.PrintChart(printer);
            QProcess ppm;
            ppm.start("pdftoppm",
                      {"-r", "600", "-png", "-singlefile", dir.filePath("chart.pdf"), dir.filePath("p")});
            QVERIFY(ppm.waitForFinished(60000));
            QImageReader::setAllocationLimit(512); // a 600 dpi page
            img.load(dir.filePath("p.png"));
            scale = img.width() / 1217.0;
        }
        QVERIFY(!img.isNull());
        // The data line across the middle of the plot: its thickness in the middle column.
        int longest = 0, run = 0;
        for (int y = 0; y < img.height(); ++y) {
            run = qGray(img.pixel(img.width() / 2, y)) < 100 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        QVERIFY2(longest >= scale * 0.6, qPrintable(QString("%1 px at scale %2").arg(longest).arg(scale)));
        QVERIFY(longest <= scale * 2);
        // On screen it stays one pixel.
        QCOMPARE(s->drawn()->pen().widthF(), s->drawnPen().widthF());
    }
};

TERVANE_GUI_TEST_MAIN(DecisionGraphTest)
#include "decisiongraph_test.moc"
