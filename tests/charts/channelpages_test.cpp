// The channel pages on the real window: names, multipliers, Refresh, zoom and printing.
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "charts/decisiongraph.h"
#include "controls.h"
#include "guitest.h"
#include "localfiles/folderlists.h"
#include "logdata/csvpage.h"
#include "logdata/stringgrid.h"
#include "loggerfiles.h"
#include <QStyleHints>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
struct Word {
    double x, y;
    QString text;
};
// The words of a PDF with their positions in points (pdftotext -bbox).
QList<Word> pdfWords(const QString& pdf) {
    QProcess p;
    p.start("pdftotext", {"-bbox", pdf, "-"});
    p.waitForFinished(30000);
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    QList<Word> out;
    static const QRegularExpression re(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="[\d.]+">([^<]*)</word>)re");
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out.append({m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3)});
    }
    return out;
}
QString pdfInfo(const QString& pdf) {
    QProcess p;
    p.start("pdfinfo", {pdf});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

class ChannelPagesTest : public QObject {
    Q_OBJECT
    FakePlatform platform;
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;

    void load(const QString& name, const QByteArray& bytes) {
        testfiles::writeFile(dir.filePath(name), bytes);
        c(form).FileListBox1()->Update();
        QVERIFY(c(form).FileListBox1()->selectName(name));
        c(form).invoke("FileListBox1DblClick");
    }

private slots:
    void init() {
        QDir::setCurrent(dir.path());
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        c(form).DirectoryListBox1()->setDirectory(dir.path());
        platform.clear();
        QLocale::setDefault(QLocale::c());
    }
    void cleanup() {
        form.reset();
        QLocale::setDefault(QLocale::c());
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.filePath(f));
    }

    void nameEditsSetTabAndHeading_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("chart");
        QTest::newRow("T1") << "T1Name"
                            << "TabSheet1"
                            << "DecisionGraphT1";
        QTest::newRow("T2") << "T2Name"
                            << "TabSheet8"
                            << "DecisionGraphT2";
        QTest::newRow("C1") << "C1Name"
                            << "TabSheet9"
                            << "DecisionGraphT3";
        QTest::newRow("C2") << "C2Name"
                            << "TabSheet10"
                            << "DecisionGraphT4";
        QTest::newRow("A1") << "A1Name"
                            << "TabSheet3"
                            << "DecisionGraphA1";
        QTest::newRow("A2") << "A2Name"
                            << "TabSheet5"
                            << "DecisionGraphA2";
        QTest::newRow("A3") << "A3Name"
                            << "TabSheet6"
                            << "DecisionGraphA3";
    }
    void nameEditsSetTabAndHeading() {
        QFETCH(QString, edit);
        QFETCH(QString, page);
        QFETCH(QString, chart);
        auto* e = form->findChild<QLineEdit*>(edit);
        auto* sheet = form->findChild<TTabSheet*>(page);
        auto* graph = form->findChild<TDecisionGraph*>(chart);
        QVERIFY(e && sheet && graph);
        e->clear();
        QTest::keyClicks(e, "Tank 3");
        QCOMPARE(sheet->Caption(), QString("Tank 3"));
        QCOMPARE(graph->TitleText(), QStringList{"Tank 3"});
        e->clear();
        QCOMPARE(sheet->Caption(), QString());
        QCOMPARE(graph->TitleText(), QStringList{QString()});
    }

    void defaultsAsDesigned() {
        // A window not yet shown has its designed defaults (start-up runs on the first focus).
        form.reset();
        form = std::make_unique<TForm1>();
        QCOMPARE(form->windowTitle(), QString("Tervane monitoring software for KZ640TL/FTP data-logger"));
        QCOMPARE(c(form).PageControl1()->PageCount(), 10);
        QCOMPARE(c(form).PageControl1()->ActivePage(), c(form).TabSheet2());
        QCOMPARE(c(form).PageControl1()->toolTip(), QString("Right button: print"));
        QCOMPARE(c(form).DecisionGraphA4()->TitleText(), QStringList{"Power Voltage  (V)"});
        QCOMPARE(c(form).T1Name()->text(), QString("Temperature 1 (deg.C)"));
        QCOMPARE(c(form).MulA1()->text(), QString("1"));
        QVERIFY(!c(form).MulA1()->isEnabled());
        QCOMPARE(c(form).FastLineSeries5()->ShowInLegend(), false);
        // The range series is drawn faintly (dotted grey), the level as a dashed line.
        QCOMPARE(c(form).Series14()->role(), TChartSeries::Role::Range);
        QCOMPARE(c(form).FastLineSeries5()->role(), TChartSeries::Role::Level);
        QCOMPARE(c(form).Chart2()->LeftAxis.Maximum, 105.0);
        QCOMPARE(c(form).DecisionGraphT3()->LeftAxis.AutomaticMaximum, true);
    }

    void captionsAreMeasuredInTheWindowFont() {
        // Every page is laid out in the window's font: a caption label has at least the
        // room its text needs in that font, on every page.
        int labels = 0;
        for (QLabel* l : form->findChildren<QLabel*>()) {
            if (!l->objectName().startsWith("Label") || l->text().isEmpty()) continue;
            ++labels;
            QVERIFY2(l->width() >= l->sizeHint().width() && l->height() >= l->sizeHint().height(),
                     qPrintable(l->objectName()));
            QCOMPARE(l->font().pointSize(), 8);
        }
        QVERIFY(labels >= 30);
        QCOMPARE(c(form).cSTATUS()->font().pointSize(), 7);
        QCOMPARE(c(form).cSTATUS()->font().family(), form->font().family());
    }

    void multiplierBox_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("coarse");
        QTest::addColumn<int>("fine");
        QTest::addColumn<QString>("text");
        QTest::newRow("100 / 999") << "C" << 100 << 999 << "100.999";
        QTest::newRow("2 / 50") << "C" << 2 << 50 << "2.05";
        QTest::newRow("2 / 50, comma separator") << "de_DE" << 2 << 50 << "2,05";
        QTest::newRow("0 / 0") << "C" << 0 << 0 << "0";
        QTest::newRow("0 / 1") << "C" << 0 << 1 << "0.001";
    }
    void multiplierBox() {
        QFETCH(QString, locale);
        QFETCH(int, coarse);
        QFETCH(int, fine);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QScrollBar* coarseBar = c(form).ScrollBarA2();
        QScrollBar* fineBar = c(form).ScrollBarA02();
        coarseBar->setValue(coarse == 1 ? 0 : 1); // make sure the position changes
        coarseBar->setValue(coarse);
        fineBar->setValue(fine == 0 ? 1 : 0);
        fineBar->setValue(fine);
        QCOMPARE(c(form).MulA2()->text(), text);
    }

    void refreshReloadsTheFileOnScreen() {
        // Refresh on an analog page loads the file on screen again under the
        // multiplier now set: a day file as well as a merge.
        const QByteArray row = testfiles::loggerRow(0) + "\r\n";
        testfiles::writeFile(dir.filePath("-091201-091202.csv"), row + row);
        load("091201.csv", row);
        QCOMPARE(c(form).FastLineSeries6()->count(), 1);
        const double a1 = c(form).FastLineSeries6()->y(0);
        const QString shown = c(form).vFileName()->text();
        QVERIFY(!shown.isEmpty());
        c(form).ScrollBarA1()->setValue(3);
        c(form).Button5()->click();
        QCOMPARE(c(form).vFileName()->text(), shown);
        QCOMPARE(c(form).FastLineSeries6()->count(), 1);
        QCOMPARE(c(form).FastLineSeries6()->y(0), a1 * 3);
        // A merged file on screen: every Refresh button reloads that one.
        c(form).FileListBox8()->Update();
        QVERIFY(c(form).FileListBox8()->selectName("-091201-091202.csv"));
        c(form).invoke("FileListBox8DblClick");
        QCOMPARE(c(form).FastLineSeries6()->count(), 2);
        c(form).FileListBox8()->clearSelection();
        c(form).ScrollBarA1()->setValue(1);
        c(form).Button3()->click();
        QCOMPARE(c(form).FastLineSeries6()->count(), 2);
        QCOMPARE(c(form).FastLineSeries6()->y(1), a1);
    }

    void clickOnTheTemperatureOverviewOpensTemperature1() {
        c(form).PageControl1()->setActivePage(c(form).TabSheet4());
        // A double click resets the overview's zoom, and stays on the page.
        load("091201.csv", testfiles::loggerFile(100));
        TDecisionGraph* chart = c(form).Chart1();
        chart->zoomX(10, 20);
        QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseDClick(chart->viewport(), Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(!chart->zoomed());
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 100);
        QCOMPARE(c(form).PageControl1()->ActivePage(), c(form).TabSheet4());
        // A single click opens Temperature 1 once it is plainly no double click.
        QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(c(form).PageControl1()->ActivePage(), c(form).TabSheet4());
        QTRY_COMPARE(c(form).PageControl1()->ActivePage(), c(form).TabSheet1());
    }

    void chartPrintIsOneLandscapePage() {
        if (QStandardPaths::findExecutable("pdfinfo").isEmpty()) QSKIP("poppler-utils are not installed");
        load("091201.csv", testfiles::loggerFile(100));
        c(form).PageControl1()->setActivePage(c(form).TabSheet9());
        c(form).PrintT3()->click();
        QCOMPARE(platform.errors, QStringList());
        const QString pdf = platform.pdfPath("shared");
        const QString info = pdfInfo(pdf);
        QVERIFY2(info.contains(QRegularExpression("Title:\\s+DecisionGraphT3")), qPrintable(info));
        QVERIFY(info.contains(QRegularExpression("Pages:\\s+1\\n")));
        QCOMPARE(platform.shared->pageLayout().orientation(), QPageLayout::Landscape);
        bool heading = false;
        for (const Word& w : pdfWords(pdf))
            heading |= w.text == "Counter";
        QVERIFY(heading);
    }

    void tablePrintPositions() {
        // The window's "Print" prints the table through the paged printout: the
        // heading row on top, the next row one 36-dot line below, every row there.
        if (QStandardPaths::findExecutable("pdftotext").isEmpty()) QSKIP("poppler-utils are not installed");
        load("091201.csv", testfiles::loggerFile(150));
        c(form).Print2()->trigger();
        QCOMPARE(platform.errors, QStringList());
        const QString pdf = platform.lastOwnPdf;
        QVERIFY(pdfInfo(pdf).contains(QRegularExpression("Title:\\s+Print from Tervane software")));
        QVERIFY(pdfInfo(pdf).contains(QRegularExpression("Pages:\\s+[2-9]\\n")));
        const QList<Word> words = pdfWords(pdf);
        auto find = [&](const QString& text) -> const Word* {
            for (const Word& w : words)
                if (w.text == text) return &w;
            return nullptr;
        };
        const Word* date = find("Date");
        const Word* status = find("Status");
        const Word* one = find("1");
        QVERIFY(date && status && one);
        QVERIFY(status->x > date->x);
        QVERIFY(qAbs((one->y - date->y) - 36 * 72.0 / 300.0) < 0.6);
        QVERIFY(find("150")); // the last row, on a later page
        // The print dialog was told how many pages the table takes.
        const QRegularExpressionMatch pages = QRegularExpression("Pages:\\s+(\\d+)\\n").match(pdfInfo(pdf));
        QCOMPARE(platform.printDialogs, QStringList{"Print the table|" + pages.captured(1)});

        // A cancelled dialog prints nothing; pages 2 to 3 of a long table only those.
        platform.printAnswers.enqueue(false);
        c(form).Print2()->trigger();
        QVERIFY(!QFile::exists(platform.lastOwnPdf));
        load("091201.csv", testfiles::loggerFile(3000));
        platform.printRanges.enqueue({2, 3});
        c(form).Print2()->trigger();
        QVERIFY(pdfInfo(platform.lastOwnPdf).contains(QRegularExpression("Pages:\\s+2\\n")));
        QVERIFY(pdfWords(platform.lastOwnPdf).size() > 0);

        // A long table stops between pages when its printing is cancelled.
        auto* page = form->findChild<CsvPage*>("CsvPage");
        const auto stop = connect(page, &CsvPage::statusText, this, [this](const QString& text) {
            if (!text.contains("page 3 of")) return;
            auto* progress = form->findChild<QProgressDialog*>("PrintProgress");
            QVERIFY(progress);
            progress->cancel();
        });
        c(form).Print2()->trigger();
        disconnect(stop);
        QVERIFY(pdfInfo(platform.lastOwnPdf).contains(QRegularExpression("Pages:\\s+3\\n")));
        QCOMPARE(platform.errors, QStringList());
    }

    void tablePrintBeforeAnyLoadIsABlankPage() {
        if (QStandardPaths::findExecutable("pdfinfo").isEmpty()) QSKIP("poppler-utils are not installed");
        c(form).Print1()->trigger();
        QCOMPARE(platform.errors, QStringList());
        const QString info = pdfInfo(platform.lastOwnPdf);
        QVERIFY2(info.contains(QRegularExpression("Pages:\\s+1\\n")), qPrintable(info));
        QStringList texts;
        for (const Word& w : pdfWords(platform.lastOwnPdf))
            texts << w.text;
        // Nothing but the page number: no rows, no stray text.
        QVERIFY2(texts.join(' ').remove("Page 1").trimmed().isEmpty() || !texts.contains("Date"),
                 qPrintable(texts.join(' ')));
        QVERIFY2(texts.size() <= 2 + 24, qPrintable(texts.join(' ')));
    }

    void noPrinterIsReported() {
        platform.hasPrinter = false;
        QTest::mouseClick(c(form).PrintA4(), Qt::LeftButton);
        c(form).Print2()->trigger();
        platform.hasPrinter = true;
        QCOMPARE(platform.errors.size(), 2);
        QVERIFY(platform.errors[0].startsWith("No printer"));
        QVERIFY(platform.errors[0].endsWith("."));
    }
};

TERVANE_GUI_TEST_MAIN(ChannelPagesTest)
#include "channelpages_test.moc"
