// The table printout, measured in the PDF it writes: every row on some page,
// the heading row and a page number on every page, columns that do not fit
// continued on further pages, and long rows printed in bounded work.
#include "logdata/tableprint.h"

#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {
struct Word {
    double x0, y0, x1, y1;
    QString text;
};
using Page = QList<Word>;

// The words of each page of a PDF, with their boxes (pdftotext -bbox-layout).
QList<Page> pdfWords(const QString& pdf) {
    QProcess p;
    p.start("pdftotext", {"-bbox-layout", pdf, "-"});
    p.waitForFinished(60000);
    QList<Page> pages;
    QXmlStreamReader xml(p.readAllStandardOutput());
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("page")) pages.append(Page{});
        if (xml.name() == QLatin1String("word")) {
            const auto a = xml.attributes();
            Word w{a.value("xMin").toDouble(), a.value("yMin").toDouble(), a.value("xMax").toDouble(),
                   a.value("yMax").toDouble(), xml.readElementText()};
            pages.last().append(w);
        }
    }
    return pages;
}

const QStringList kHeading =
    QString("Date,Time,T1,T2,C1,SQ,A1,A2,A3,A4,D7,D6,D5,D4,D3,D2,D1,O5,O4,O3,O2,O1,Status").split(',');

// A logger table of `rows` data rows (23 fields each).
logdata::TableSource loggerTable(int rows) {
    logdata::TableSource s;
    s.rowCount = rows + 1;
    s.colCount = 24;
    s.cell = [](int col, int row) -> QString {
        if (row == 0) return col == 0 ? QString("0") : kHeading.value(col - 1);
        if (col == 0) return QString::number(row);
        if (col == 1) return QStringLiteral("09/12/01");
        if (col == 3) return QStringLiteral("+025.3");
        return QStringLiteral("1");
    };
    return s;
}
} // namespace

class TablePrintTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty()) QSKIP("pdftotext (poppler-utils) missing");
        // TERVANE_KEEP_PDF=1 keeps the printouts to look at.
        if (qEnvironmentVariableIsSet("TERVANE_KEEP_PDF")) {
            dir.setAutoRemove(false);
            qInfo("printouts in %s", qPrintable(dir.path()));
        }
    }

    void everyRowOnSomePage_data() {
        QTest::addColumn<int>("rows");
        QTest::newRow("empty table") << 0;
        QTest::newRow("one page") << 30;
        QTest::newRow("a day file of 1,440 rows") << 1440;
    }
    void everyRowOnSomePage() {
        QFETCH(int, rows);
        const QString pdf = dir.filePath(QString("t%1.pdf").arg(rows));
        QPdfWriter w(pdf);
        w.setResolution(300);
        w.setPageSize(QPageSize(QPageSize::A4));
        const auto res = logdata::PrintTable(loggerTable(rows), w);
        QVERIFY2(res.ok, qPrintable(res.error));
        QCOMPARE(res.columnsLeftOut, 0);

        const QList<Page> pages = pdfWords(pdf);
        QCOMPARE(pages.size(), res.pages);
        QSet<int> seen;
        for (int i = 0; i < pages.size(); ++i) {
            const Page& pg = pages[i];
            QStringList texts;
            for (const Word& wd : pg)
                texts << wd.text;
            // The heading row and the page number on each page.
            QVERIFY2(texts.contains("Status") && texts.contains("Date"), qPrintable(QString::number(i)));
            const int at = texts.indexOf("Page");
            QVERIFY(at >= 0);
            QCOMPARE(texts.value(at + 1), QString::number(i + 1));
            // Row numbers: the leftmost words of the rows, the heading row's "0" excepted.
            double left = 1e9;
            for (const Word& wd : pg)
                left = std::min(left, wd.x0);
            for (const Word& wd : pg)
                if (wd.x0 < left + 1 && wd.text != "0" && wd.text != "Page") seen.insert(wd.text.toInt());
        }
        QCOMPARE(seen.size(), rows);
        if (rows > 0) {
            QCOMPARE(*std::min_element(seen.begin(), seen.end()), 1);
            QCOMPARE(*std::max_element(seen.begin(), seen.end()), rows);
        }
        // Rows do not overlap: on every page the row numbers stand one below the other.
        for (const Page& pg : pages) {
            QList<double> ys;
            for (const Word& wd : pg)
                if (QRegularExpression("^\\d+$").match(wd.text).hasMatch() && wd.x0 < 40) ys << wd.y0;
            std::sort(ys.begin(), ys.end());
            for (int i = 1; i < ys.size(); ++i)
                QVERIFY(ys[i] - ys[i - 1] > 6);
        }
    }

    void columnsThatDoNotFitContinueOnFurtherPages() {
        // 40 columns: the heading row's texts H1..H39 must all be printed, each once per row block.
        logdata::TableSource s;
        s.rowCount = 3;
        s.colCount = 40;
        s.cell = [](int col, int row) {
            if (col == 0) return QString::number(row);
            return row == 0 ? QString("H%1").arg(col) : QString("c%1r%2").arg(col).arg(row);
        };
        const QString pdf = dir.filePath("wide.pdf");
        QPdfWriter w(pdf);
        w.setResolution(300);
        w.setPageSize(QPageSize(QPageSize::A4));
        const auto res = logdata::PrintTable(s, w);
        QVERIFY(res.ok);
        QVERIFY(res.pages >= 2);
        QCOMPARE(res.columnsLeftOut, 0);
        QSet<QString> words;
        const QList<Page> pages = pdfWords(pdf);
        for (const Page& pg : pages) {
            for (const Word& wd : pg) {
                words.insert(wd.text);
                QVERIFY2(wd.x1 <= 595.3, qPrintable(wd.text)); // nothing runs off the A4 page
            }
        }
        for (int c = 1; c < 40; ++c)
            QVERIFY2(words.contains(QString("H%1").arg(c)) && words.contains(QString("c%1r2").arg(c)),
                     qPrintable(QString::number(c)));
    }

    void aRowOf200023FieldsIsBounded() {
        // Only the first pages of columns are printed, and every page says what was left out.
        logdata::TableSource s;
        s.rowCount = 2;
        s.colCount = 200024;
        int asked = 0;
        s.cell = [&asked](int col, int) {
            ++asked;
            return QString::number(col);
        };
        const QString pdf = dir.filePath("long.pdf");
        QPdfWriter w(pdf);
        w.setResolution(300);
        const auto res = logdata::PrintTable(s, w);
        QVERIFY(res.ok);
        QCOMPARE(res.pages, logdata::kMaxColumnPages);
        QCOMPARE(res.columnsLeftOut, 200023 - (res.columnsShown - 1));
        QVERIFY(asked < 2 * 2 * res.columnsShown + 100); // only the cells that reach the paper
        const QList<Page> pages = pdfWords(pdf);
        QCOMPARE(pages.size(), res.pages);
        for (const Page& pg : pages) {
            QStringList texts;
            for (const Word& wd : pg)
                texts << wd.text;
            QVERIFY(texts.join(' ').contains(
                QString("columns %1 to 200023 are not printed").arg(res.columnsShown)));
        }
    }

    void progressAndCancel() {
        logdata::TableSource s = loggerTable(1440);
        QList<int> done;
        int total = 0;
        s.progress = [&](int page, int pages) {
            done << page;
            total = pages;
            return page < 3; // Cancel after the third page
        };
        QPdfWriter w(dir.filePath("cancelled.pdf"));
        w.setResolution(300);
        w.setPageSize(QPageSize(QPageSize::A4));
        const auto res = logdata::PrintTable(s, w);
        QVERIFY(res.ok && res.cancelled);
        QCOMPARE(done, (QList<int>{1, 2, 3}));
        QVERIFY(total > 3);
        QCOMPARE(res.pages, 3);
        QCOMPARE(pdfWords(dir.filePath("cancelled.pdf")).size(), 3);
    }
};

QTEST_MAIN(TablePrintTest)
#include "tableprint_test.moc"
