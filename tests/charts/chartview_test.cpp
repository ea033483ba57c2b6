// What the user sees of the charts, through the real window: readable vertical
// axes on every chart (also on pages never shown), no freeze when a file's
// range differs wildly from the last one, visible level lines, plain-text
// headings, and chart printouts measured in the PDF they write.
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "charts/decisiongraph.h"
#include "guitest.h"
#include "localfiles/folderlists.h"
#include "logdata/stringgrid.h"
#include "logdata/tableprint.h"
#include "loggerfiles.h"

#include <QCheckBox>
#include <QDir>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLineEdit>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QXmlStreamReader>

namespace {
// A logger file whose counter C1 runs from `base` and whose T1 is scaled by `tScale`.
QByteArray rangedFile(int rows, int base, double tScale = 1) {
    QByteArray out;
    for (int i = 0; i < rows; ++i) {
        QList<QByteArray> f = testfiles::loggerRow(i).split(',');
        f[4] = QByteArray::number(base + i).rightJustified(6, '0');
        const double t1 = std::min(999.0, 0.5 * tScale * (1 + i % 7));
        f[2] = "+" + QByteArray::number(t1, 'f', 1).rightJustified(5, '0');
        out += f.join(',') + "\r\n";
    }
    return out;
}

struct Word {
    double x0, y0, x1, y1;
    QString text;
    double h() const { return y1 - y0; }
};
struct PdfPage {
    double width = 0, height = 0;
    QList<Word> words;
};
QList<PdfPage> pdfPages(const QString& pdf) {
    QProcess p;
    p.start("pdftotext", {"-bbox-layout", pdf, "-"});
    p.waitForFinished(60000);
    QList<PdfPage> pages;
    QXmlStreamReader xml(p.readAllStandardOutput());
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("page"))
            pages.append(PdfPage{a.value("width").toDouble(), a.value("height").toDouble(), {}});
        if (xml.name() == QLatin1String("word"))
            pages.last().words.append(Word{a.value("xMin").toDouble(), a.value("yMin").toDouble(),
                                           a.value("xMax").toDouble(), a.value("yMax").toDouble(),
                                           xml.readElementText()});
    }
    return pages;
}

const char* const kCharts[] = {"Chart1",          "Chart2",          "DecisionGraphT1", "DecisionGraphT2",
                               "DecisionGraphT3", "DecisionGraphT4", "DecisionGraphA1", "DecisionGraphA2",
                               "DecisionGraphA3", "DecisionGraphA4"};

// Vertical axis labels as drawn: the text items left of the plot area.
QStringList drawnLeftLabels(TDecisionGraph* c) {
    QStringList out;
    const QRectF plot = c->chart()->plotArea();
    for (QGraphicsItem* item : c->scene()->items()) {
        if (!item->isVisible()) continue;
        QString text;
        if (auto* t = dynamic_cast<QGraphicsTextItem*>(item)) text = t->toPlainText();
        if (auto* t = dynamic_cast<QGraphicsSimpleTextItem*>(item)) text = t->text();
        const QRectF r = item->sceneBoundingRect();
        if (!text.isEmpty() && r.right() <= plot.left() + 1 && r.top() >= plot.top() - 12 &&
            r.bottom() <= plot.bottom() + 12)
            out << text;
    }
    return out;
}
} // namespace

class ChartViewTest : public QObject {
    Q_OBJECT
    FakePlatform platform;
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;

    template <class T> T* find(const char* name) const {
        T* w = form->findChild<T*>(QString::fromLatin1(name));
        if (!w) qFatal("no control %s", name);
        return w;
    }
    TDecisionGraph* chart(const char* name) const { return find<TDecisionGraph>(name); }
    // Double-clicks the file in the CSV page's file list, as the user does.
    void open(const QString& name, const QByteArray& bytes) {
        testfiles::writeFile(dir.filePath(name), bytes);
        auto* list = find<TFileListBox>("FileListBox1");
        list->Update();
        QVERIFY2(list->selectName(name), qPrintable(name));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           list->visualItemRect(list->currentItem()).center());
    }
    QString keep(const QString& name) const { return dir.filePath(name); }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsSet("TERVANE_KEEP_PDF")) {
            dir.setAutoRemove(false);
            qInfo("pictures and printouts in %s", qPrintable(dir.path()));
        }
    }
    void init() {
        QDir::setCurrent(dir.path());
        form = std::make_unique<TForm1>();
        form->show();
        // Files open from the CSV page: every channel page stays hidden.
        find<TPageControl>("PageControl1")->setActivePage(find<TTabSheet>("TabSheet4"));
        find<TDirectoryListBox>("DirectoryListBox1")->setDirectory(dir.path());
        platform.clear();
    }
    void cleanup() { form.reset(); }

    void everyChartHasReadableAxesAfterAnyPreviousFile_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::newRow("counters from 999,000 after small readings")
            << rangedFile(100, 0) << rangedFile(100, 999000);
        QTest::newRow("counters from 100,000 after small readings")
            << rangedFile(100, 0) << rangedFile(100, 100000);
        QTest::newRow("small readings after counters from 999,000")
            << rangedFile(100, 999000) << rangedFile(100, 0);
        QTest::newRow("50 rows in a fresh window") << QByteArray() << rangedFile(50, 0, 0.01);
        QTest::newRow("tiny after huge temperatures") << rangedFile(20, 0, 1000) << rangedFile(20, 0, 0.001);
        QTest::newRow("empty file after a full one") << rangedFile(100, 999000) << QByteArray("\r\n");
        QByteArray noise(1 << 20, Qt::Uninitialized);
        quint32 x = 2463534242u;
        for (char& c : noise) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = static_cast<char>((x & 0xff) == 26 ? 27 : x & 0xff); // no Ctrl-Z: it would end the file
        }
        QTest::newRow("a megabyte of random bytes") << rangedFile(100, 0) << noise;
    }
    void everyChartHasReadableAxesAfterAnyPreviousFile() {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        if (!first.isEmpty()) open("a.csv", first);
        open("b.csv", second);
        for (const char* name : kCharts) {
            TDecisionGraph* c = chart(name);
            QStringList labels = c->leftAxisLabels();
            QVERIFY2(labels.size() >= 4 && labels.size() <= 12,
                     qPrintable(QString(name) + ": " + labels.join(' ')));
            QVERIFY2(c->leftAxisGridVisible(), name);
            QCOMPARE(labels.removeDuplicates(), 0);
        }
        // As drawn, whole (not cut to an ellipsis), on every chart; the channel pages were never shown.
        QVERIFY(!chart("DecisionGraphT3")->isVisible());
        for (const char* name : kCharts) {
            TDecisionGraph* c = chart(name);
            const QImage img = c->grab().toImage();
            if (QByteArray(name) == "DecisionGraphT3" || QByteArray(name) == "Chart1")
                img.save(keep(QString("%1-%2.png").arg(name, QTest::currentDataTag()).replace(' ', '_')));
            const QStringList drawn = drawnLeftLabels(c);
            QVERIFY2(drawn.size() >= 4 && drawn.size() <= 12,
                     qPrintable(QString(name) + ": " + drawn.join(' ')));
            for (const QString& l : drawn) {
                bool number = false;
                l.toDouble(&number);
                QVERIFY2(number, qPrintable(QString(name) + ": " + l));
            }
        }
    }

    void levelLinesStandOut() {
        find<QScrollBar>("ScrollBar1")->setValue(30);
        open("a.csv", testfiles::loggerFile(200));
        // Level-coloured pixels on the plot (the line) and in the legend of Chart1 (the swatch).
        auto levelPixels = [](const QImage& img, const QRectF& area) {
            int n = 0;
            const QColor want = QColor::fromRgb(kLevelColor);
            for (int y = std::max(0, int(area.top())); y < std::min(img.height(), int(area.bottom())); ++y)
                for (int x = std::max(0, int(area.left())); x < std::min(img.width(), int(area.right()));
                     ++x) {
                    const QColor c = img.pixelColor(x, y);
                    n += std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
                             std::abs(c.blue() - want.blue()) <
                         60;
                }
            return n;
        };
        for (const char* name : {"Chart1", "Chart2", "DecisionGraphT1", "DecisionGraphA1"}) {
            TDecisionGraph* c = chart(name);
            const QImage img = c->grab().toImage();
            img.save(keep(QString("%1.png").arg(name)));
            const QRectF plot = c->chart()->plotArea();
            QVERIFY2(levelPixels(img, plot) > plot.width() / 3, name);
            if (QByteArray(name).startsWith("Chart"))
                QVERIFY2(levelPixels(img, QRectF(plot.right() + 1, 0, img.width(), img.height())) > 10, name);
        }
    }

    void headingsKeepTheirBlanks() {
        QCOMPARE(chart("DecisionGraphA4")->shownTitle(), QString("Power Voltage  (V)"));
        find<QLineEdit>("A1Name")->setText("Tank  <level> & flow");
        QCOMPARE(chart("DecisionGraphA1")->shownTitle(), QString("Tank  <level> & flow"));
    }

    void chartPrintoutIsReadable_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<bool>("xmode");
        QTest::addColumn<QString>("legend");
        QTest::newRow("Temperature 1, dates and times below")
            << QString("PrintT1") << QString("Temperature") << true << QString("T1");
        QTest::newRow("Counter 1 from 999,000")
            << QString("PrintT3") << QString("Counter") << false << QString("C1");
        QTest::newRow("Power voltage") << QString("PrintA4") << QString("Power") << false << QString("A4");
    }
    void chartPrintoutIsReadable() {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty()) QSKIP("poppler-utils are not installed");
        QFETCH(QString, button);
        QFETCH(QString, heading);
        QFETCH(bool, xmode);
        QFETCH(QString, legend);
        find<QCheckBox>("Xmode")->setChecked(xmode);
        open("a.csv", rangedFile(300, 999000));
        // The page of the chart has never been shown.
        find<QPushButton>(button.toLatin1().constData())->click();
        QCOMPARE(platform.errors, QStringList());
        const QString pdf = platform.pdfPath("shared");
        QFile::copy(pdf, keep(button + ".pdf"));
        const QList<PdfPage> pages = pdfPages(pdf);
        QCOMPARE(pages.size(), 1);
        const PdfPage& pg = pages[0];
        QVERIFY(pg.width > pg.height); // landscape
        const Word* head = nullptr;
        bool legendShown = false;
        for (const Word& w : pg.words) {
            if (w.text == heading) head = &w;
            legendShown |= w.text == legend;
        }
        QVERIFY(head);
        QVERIFY2(legendShown, qPrintable(legend));
        // The chart fills the page: the words span most of its width.
        double left = 1e9, right = 0;
        for (const Word& w : pg.words) {
            left = std::min(left, w.x0);
            right = std::max(right, w.x1);
        }
        QVERIFY2(right - left > 0.7 * pg.width, qPrintable(QString::number(right - left)));
        // The bottom labels are the lowest line of text; the left axis labels the
        // numbers at the left edge above it.
        double lowest = 0;
        for (const Word& w : pg.words)
            lowest = std::max(lowest, w.y0);
        QList<const Word*> axis, bottom;
        for (const Word& w : pg.words) {
            bool number = false;
            w.text.toDouble(&number);
            if (w.y0 > lowest - 0.3 * head->h())
                bottom << &w;
            else if (number && w.x1 < left + 0.08 * pg.width)
                axis << &w;
        }
        QVERIFY2(axis.size() >= 4 && axis.size() <= 12, qPrintable(QString::number(axis.size())));
        QVERIFY(bottom.size() >= 3);
        // Every label in proportion to the heading, and no two bottom labels overlap.
        for (const Word* w : axis + bottom) {
            QVERIFY2(w->h() <= 1.6 * head->h() && w->h() >= 0.5 * head->h(),
                     qPrintable(QString("%1: %2 vs heading %3").arg(w->text).arg(w->h()).arg(head->h())));
        }
        for (int i = 0; i < bottom.size(); ++i)
            for (int j = i + 1; j < bottom.size(); ++j) {
                const Word *a = bottom[i], *b = bottom[j];
                const bool overlap = a->x0 < b->x1 && b->x0 < a->x1 && a->y0 < b->y1 && b->y0 < a->y1;
                QVERIFY2(!overlap, qPrintable(a->text + " / " + b->text));
            }
    }

    void escapeCancelsALongLoadKeepingWhatWasRead() {
        const int rows = 300000;
        testfiles::writeFile(dir.filePath("big.csv"), testfiles::loggerFile(rows));
        auto* list = find<TFileListBox>("FileListBox1");
        list->Update();
        QVERIFY(list->selectName("big.csv"));
        // Escape arrives while the load runs (the load looks at the window's events).
        QTimer::singleShot(0, form.get(), [this] { QTest::keyClick(form.get(), Qt::Key_Escape); });
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           list->visualItemRect(list->currentItem()).center());
        auto* grid = find<TStringGrid>("StringGrid1");
        const int loaded = grid->RowCount() - 1;
        QVERIFY2(loaded > 0 && loaded < rows, qPrintable(QString::number(loaded)));
        // What was read is whole: the last row loaded is in the table, the charts have their points.
        QCOMPARE(grid->Cells(0, loaded), QString::number(loaded));
        QCOMPARE(chart("DecisionGraphT1")->findSeries("FastLineSeries1")->count(), std::min(loaded, 16382));
        QCOMPARE(platform.errors, QStringList());
    }

    void theLoadedTablePrintsEveryRow() {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty()) QSKIP("poppler-utils are not installed");
        open("091201.csv", testfiles::loggerFile(1440));
        const QString pdf = keep("table.pdf");
        QPdfWriter w(pdf);
        w.setResolution(300);
        w.setPageSize(QPageSize(QPageSize::A4));
        const auto res = logdata::PrintTable(find<TStringGrid>("StringGrid1")->printSource(), w);
        QVERIFY(res.ok);
        QSet<QString> firstCells;
        int pagesWithHeading = 0;
        const QList<PdfPage> pages = pdfPages(pdf);
        QCOMPARE(pages.size(), res.pages);
        for (const PdfPage& pg : pages) {
            double left = 1e9;
            for (const Word& wd : pg.words)
                left = std::min(left, wd.x0);
            bool heading = false;
            for (const Word& wd : pg.words) {
                if (wd.x0 < left + 1) firstCells.insert(wd.text);
                heading |= wd.text == "Status";
            }
            pagesWithHeading += heading;
        }
        QCOMPARE(pagesWithHeading, pages.size());
        for (int r = 1; r <= 1440; ++r)
            QVERIFY2(firstCells.contains(QString::number(r)), qPrintable(QString::number(r)));
    }
};

TERVANE_GUI_TEST_MAIN(ChartViewTest)
#include "chartview_test.moc"
