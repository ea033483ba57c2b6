// Loading logger files through the real main window: double click in the file
// lists, then read the table, the file name label and the series back.
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "charts/decisiongraph.h"
#include "controls.h"
#include "guitest.h"
#include "localfiles/folderlists.h"
#include "logdata/stringgrid.h"
#include "loggerfiles.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>

namespace {
// A row with the given channel fields and the rest well formed (23 fields).
QByteArray row(const QByteArray& t1 = "+025.3", const QByteArray& c1 = "000123",
               const QByteArray& a1 = "10.0", const QByteArray& a4 = "13.8", const QByteArray& status = "000",
               const QByteArray& time = "00:01:00") {
    return "091201," + time + "," + t1 + ",+024.1," + c1 + ",000031," + a1 + ",07.4,00.0," + a4 +
           ",0,0,0,0,0,0,0,0,0,0,0,0," + status;
}
} // namespace

class LoadingTest : public QObject {
    Q_OBJECT
    FakePlatform platform;
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        testfiles::writeFile(path, bytes);
        return path;
    }
    // Double-clicks the file in FileListBox1, as the user does.
    void open(const QString& name) {
        c(form).FileListBox1()->Update();
        QVERIFY2(c(form).FileListBox1()->selectName(name), qPrintable(name));
        const QRect r = c(form).FileListBox1()->visualItemRect(c(form).FileListBox1()->currentItem());
        QTest::mouseDClick(c(form).FileListBox1()->viewport(), Qt::LeftButton, {}, r.center());
    }
    TStringGrid* grid() const { return c(form).StringGrid1(); }
    QList<double> ys(TChartSeries* s) const {
        QList<double> out;
        for (int i = 0; i < s->count(); ++i)
            out << s->y(i);
        return out;
    }

private slots:
    void init() {
        QDir::setCurrent(dir.path());
        form = std::make_unique<TForm1>();
        form->show();
        c(form).PageControl1()->setActivePage(c(form).TabSheet4());
        c(form).DirectoryListBox1()->setDirectory(dir.path());
        platform.clear();
    }
    void cleanup() {
        form.reset();
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.filePath(f));
    }

    void threeRowsFillTableAndEverySeries() {
        c(form).ScrollBar1()->setValue(30);
        c(form).ScrollBar2()->setValue(50);
        write("091201.csv", row() + "\r\n" + row() + "\r\n" + row() + "\r\n");
        open("091201.csv");
        QCOMPARE(c(form).vFileName()->text(), QDir::toNativeSeparators(dir.filePath("091201.csv")));
        QCOMPARE(grid()->RowCount(), 4);
        QCOMPARE(grid()->ColCount(), 24);
        QCOMPARE(grid()->Cells(1, 0), QString("Date"));
        QCOMPARE(grid()->Cells(23, 0), QString("Status"));
        for (int r = 1; r <= 3; ++r) {
            QCOMPARE(grid()->Cells(0, r), QString::number(r));
            QCOMPARE(grid()->Cells(3, r), QString("+025.3"));
        }
        QCOMPARE(grid()->Cells(5, 3), QString("000123"));
        QCOMPARE(grid()->fontColor(), QColor(Qt::black));
        for (TChartSeries* s :
             {c(form).Series1(),         c(form).Series2(),         c(form).Series5(),
              c(form).Series6(),         c(form).Series7(),         c(form).Series8(),
              c(form).Series9(),         c(form).Series10(),        c(form).Series11(),
              c(form).Series12(),        c(form).Series13(),        c(form).Series14(),
              c(form).FastLineSeries1(), c(form).FastLineSeries2(), c(form).FastLineSeries3(),
              c(form).FastLineSeries4(), c(form).FastLineSeries5(), c(form).FastLineSeries6(),
              c(form).FastLineSeries7(), c(form).FastLineSeries8(), c(form).FastLineSeries9(),
              c(form).FastLineSeries10()})
            QVERIFY2(s->count() == 3, qPrintable(s->name()));
        QCOMPARE(c(form).Series3()->count(), 0);
        QCOMPARE(ys(c(form).Series5()), (QList<double>{30, 30, 30}));
        QCOMPARE(ys(c(form).FastLineSeries10()), (QList<double>{50, 50, 50}));
        QCOMPARE(c(form).FastLineSeries1()->y(0), 25.3);
        QCOMPARE(c(form).FastLineSeries3()->y(0), 123.0);
        QCOMPARE(c(form).Series14()->y(0), 133.0);
        QCOMPARE(c(form).FastLineSeries9()->y(2), 13.8);
        // X is the point's index; labels are the row numbers.
        QCOMPARE(c(form).Series1()->x(2), 2.0);
        QCOMPARE(c(form).Series1()->labels(), (QStringList{"1", "2", "3"}));
        // A level bar moved after the load moves its lines with it.
        c(form).ScrollBar1()->setValue(10);
        QCOMPARE(c(form).TLEVEL()->text(), QString("10"));
        QCOMPARE(ys(c(form).Series5()), (QList<double>{10, 10, 10}));
        QCOMPARE(ys(c(form).FastLineSeries5()), (QList<double>{10, 10, 10}));
        c(form).ScrollBar2()->setValue(20);
        QCOMPARE(ys(c(form).Series10()), (QList<double>{20, 20, 20}));
        QCOMPARE(platform.errors, QStringList());
    }

    void xmodeLabelsAreDateAndTime() {
        c(form).Xmode()->setChecked(true);
        write("a.csv", row("+025.3", "000123", "10.0", "13.8", "000", "00:01:00") + "\r\n" +
                           row("+025.3", "000123", "10.0", "13.8", "000", "00:02:00") + "\r\n");
        open("a.csv");
        QCOMPARE(c(form).FastLineSeries1()->labels(), (QStringList{"091201,00:01:00", "091201,00:02:00"}));
        QCOMPARE(c(form).Series5()->labels(), c(form).Series1()->labels());
    }

    void analogMultiplier() {
        c(form).ScrollBarA1()->setValue(2);
        c(form).ScrollBarA01()->setValue(500);
        write("a.csv", row() + "\r\n");
        open("a.csv");
        QCOMPARE(c(form).Series6()->y(0), 10.0);
        QCOMPARE(c(form).FastLineSeries6()->y(0), 25.0);
        QCOMPARE(c(form).Series11()->y(0), 28.5);
        // The page's level line is scaled like its readings, and the page says so.
        c(form).ScrollBar2()->setValue(20);
        QCOMPARE(c(form).FastLineSeries10()->y(0), 50.0);
        QCOMPARE(c(form).Series10()->y(0), 20.0);
        auto* stats = form->findChild<QLabel*>("StatisticsA1");
        QVERIFY2(stats->text().contains("Over the level 50 (A level 20 x 2.5, scaled like the readings): 0"),
                 qPrintable(stats->text()));
        // Coarse and fine at 0: the channel lies flat at 0 and its range series at 1.
        c(form).ScrollBarA1()->setValue(0);
        c(form).ScrollBarA01()->setValue(0);
        open("a.csv");
        QCOMPARE(c(form).FastLineSeries6()->y(0), 0.0);
        QCOMPARE(c(form).Series11()->y(0), 1.0);
        QCOMPARE(c(form).Series6()->y(0), 10.0);
    }

    void alarms_data() {
        QTest::addColumn<QByteArray>("t1");
        QTest::addColumn<QByteArray>("a4");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<int>("tLevel");
        // A level 13; the row's other fields stay under both levels. The reading's
        // sign counts: a freezer's level of -18 is passed by -010.0, not by -020.0.
        QTest::newRow("+041.0 over 40") << QByteArray("+041.0") << QByteArray("12.0") << 1 << 40;
        // The value counts, as the level line shows it, not its whole degrees.
        QTest::newRow("+040.9 over 40") << QByteArray("+040.9") << QByteArray("12.0") << 1 << 40;
        QTest::newRow("+040.0 not over 40") << QByteArray("+040.0") << QByteArray("12.0") << 0 << 40;
        QTest::newRow("+025.3 over 25") << QByteArray("+025.3") << QByteArray("12.0") << 1 << 25;
        // A field without digits (a header line's "A4") carries no reading.
        QTest::newRow("A4 text never over") << QByteArray("+020.0") << QByteArray("A4.x") << 0 << 40;
        QTest::newRow("-041.0 not over 40") << QByteArray("-041.0") << QByteArray("12.0") << 0 << 40;
        QTest::newRow("-050.0 not over 40") << QByteArray("-050.0") << QByteArray("12.0") << 0 << 40;
        QTest::newRow("-020.0 not over -18") << QByteArray("-020.0") << QByteArray("12.0") << 0 << -18;
        QTest::newRow("-018.9 not over -18") << QByteArray("-018.9") << QByteArray("12.0") << 0 << -18;
        QTest::newRow("-010.0 over -18") << QByteArray("-010.0") << QByteArray("12.0") << 1 << -18;
        QTest::newRow("+001.0 over -18") << QByteArray("+001.0") << QByteArray("12.0") << 1 << -18;
        QTest::newRow("A4 over the A level") << QByteArray("+020.0") << QByteArray("14.0") << 1 << 40;
    }
    void alarms() {
        QFETCH(QByteArray, t1);
        QFETCH(QByteArray, a4);
        QFETCH(int, beeps);
        QFETCH(int, tLevel);
        c(form).ScrollBar1()->setValue(tLevel);
        c(form).ScrollBar2()->setValue(13);
        // T2 stays colder than either level.
        write("a.csv", row(t1, "000123", "10.0", a4).replace(",+024.1,", ",-030.0,") + "\r\n");
        open("a.csv");
        QCOMPARE(platform.beeps, beeps);
    }

    void statusMarkTurnsTheTableRed() {
        write("marked.csv",
              row() + "\r\n" + row("+025.3", "000123", "10.0", "13.8", "00T") + "\r\n" + row() + "\r\n");
        write("plain.csv", row() + "\r\n");
        open("marked.csv");
        QCOMPARE(grid()->fontColor(), QColor(Qt::red));
        QCOMPARE(grid()->ColWidths(23), 40);
        open("plain.csv");
        QCOMPARE(grid()->fontColor(), QColor(Qt::black));
        // The same mark on a 22-field line does not count.
        write("short.csv", row() + ",\r\n" + row().left(row().lastIndexOf(',')) + "\r\n");
        open("short.csv");
        QCOMPARE(grid()->fontColor(), QColor(Qt::black));
    }

    void shortAndOddLines() {
        // Short and empty lines give no row; a 9-field line sets the column count.
        const QByteArray nine =
            "091201,00:01:00,+025.3,+024.1,000123,000031,10.0,07.4,00.0_padding_padding_padding";
        QVERIFY(nine.size() > 65);
        write("a.csv", "\r\nshort line\r\n" + row() + "\r\r" + nine + "\r\n");
        open("a.csv");
        QCOMPARE(grid()->RowCount(), 3);
        QCOMPARE(grid()->Cells(0, 2), QString("2"));
        QCOMPARE(grid()->ColCount(), 10);
        // The A3 field is the last of the 9-field line: no point from it.
        QCOMPARE(c(form).Series8()->count(), 1);
        QCOMPARE(c(form).Series7()->count(), 2);
        // Columns that come back after a short line start at the default width.
        write("c.csv", nine + "\r\n" + row() + "\r\n");
        open("c.csv");
        QCOMPARE(grid()->ColCount(), 24);
        QCOMPARE(grid()->ColWidths(5), 46);
        QCOMPARE(grid()->ColWidths(23), 48);
        // Only short lines: header alone, series empty.
        write("b.csv", "x\r\ny\r\n");
        open("b.csv");
        QCOMPARE(grid()->RowCount(), 1);
        QCOMPARE(c(form).Series1()->count(), 0);
    }

    void shortFieldsKeepTheirPlace() {
        // A truncated T1 reading still gives a point (missing digits count as 0),
        // so X stays aligned with the row.
        write("a.csv", row("+02") + "\r\n" + row("") + "\r\n" + row() + "\r\n");
        open("a.csv");
        QCOMPARE(ys(c(form).FastLineSeries1()), (QList<double>{20.0, 0.0, 25.3}));
        QCOMPARE(c(form).FastLineSeries1()->x(2), 2.0);
    }

    void rowLimit() {
        QByteArray bytes;
        const QByteArray r = row() + "\r\n";
        bytes.reserve(r.size() * 16384);
        for (int i = 0; i < 16384; ++i)
            bytes += r;
        write("big.csv", bytes);
        open("big.csv");
        QCOMPARE(grid()->RowCount(), 16385);
        QCOMPARE(grid()->Cells(0, 16384), QString("16384"));
        QCOMPARE(grid()->Cells(3, 16383), QString("+025.3"));
        QCOMPARE(c(form).FastLineSeries1()->count(), 16382);
        QCOMPARE(c(form).Series5()->count(), 16382);
    }

    void missingFileIsReported() {
        write("a.csv", row() + "\r\n");
        open("a.csv");
        QFile::remove(dir.filePath("a.csv"));
        QVERIFY(c(form).FileListBox1()->selectName("a.csv"));
        const QRect r = c(form).FileListBox1()->visualItemRect(c(form).FileListBox1()->currentItem());
        QTest::mouseDClick(c(form).FileListBox1()->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(platform.errors, QStringList{"File not found."});
        QCOMPARE(c(form).Series1()->count(), 0);
        QCOMPARE(grid()->RowCount(), 2);
        QCOMPARE(grid()->Cells(1, 0), QString("Date"));
        // The window goes on: the next load works.
        write("b.csv", row() + "\r\n");
        open("b.csv");
        QCOMPARE(c(form).Series1()->count(), 1);
    }

    void nothingSelected() {
        write("a.csv", row() + "\r\n");
        open("a.csv");
        c(form).FileListBox1()->clearSelection();
        QTest::mouseDClick(c(form).FileListBox1()->viewport(), Qt::LeftButton, {}, QPoint(5, 150));
        QCOMPARE(c(form).vFileName()->text(), QString());
        QCOMPARE(c(form).Series1()->count(), 1);
    }

    void mergedFileListLoadsToo() {
        write("-091201-091203.csv", row() + "\r\r" + row() + "\r\r");
        c(form).FileListBox8()->Update();
        QCOMPARE(c(form).FileListBox8()->names(), QStringList{"-091201-091203.csv"});
        QVERIFY(c(form).FileListBox8()->selectName("-091201-091203.csv"));
        c(form).invoke("FileListBox8DblClick");
        QCOMPARE(grid()->RowCount(), 3);
    }

    void headingsResetByALoad() {
        c(form).T1Name()->setText("Boiler");
        QCOMPARE(c(form).TabSheet1()->Caption(), QString("Boiler"));
        QCOMPARE(c(form).DecisionGraphT1()->TitleText(), QStringList{"Boiler"});
        c(form).A1Name()->setText("Pressure");
        write("a.csv", row() + "\r\n");
        open("a.csv");
        QCOMPARE(c(form).DecisionGraphT1()->TitleText(), QStringList{"Temperature 1"});
        QCOMPARE(c(form).DecisionGraphT4()->TitleText(), QStringList{"Signal Quality"});
        QCOMPARE(c(form).TabSheet1()->Caption(), QString("Boiler"));
        QCOMPARE(c(form).DecisionGraphA1()->TitleText(), QStringList{"Pressure"});
    }

    void openFileFromAnotherFolder_data() {
        QTest::addColumn<bool>("exists");
        QTest::newRow("a file there") << true;
        QTest::newRow("no such file") << false;
    }
    void openFileFromAnotherFolder() {
        QFETCH(bool, exists);
        QDir(dir.path()).mkdir("day");
        const QString day = QDir::cleanPath(dir.filePath("day"));
        write("shown.csv", row() + "\r\n");
        open("shown.csv");
        QFile::remove(day + "/091201.csv");
        if (exists) write("day/091201.csv", row() + "\r\n" + row() + "\r\n");
        c(form).PageControl1()->setActivePage(c(form).TabSheet2());
        form->OpenFile(day + "/091201.csv");
        if (exists) {
            // As a double click would: every list shows the file's folder, the file is loaded.
            QCOMPARE(platform.errors, QStringList());
            QCOMPARE(c(form).DirectoryListBoxPC()->Directory(), day);
            QCOMPARE(c(form).DirectoryListBox1()->Directory(), day);
            QCOMPARE(QDir::currentPath(), day);
            QCOMPARE(c(form).LocalFiles1cnt()->text(), QString("1"));
            QCOMPARE(c(form).FileListBox1()->FileName(), QDir::toNativeSeparators(day + "/091201.csv"));
            QCOMPARE(c(form).vFileName()->text(), QDir::toNativeSeparators(day + "/091201.csv"));
            QCOMPARE(grid()->RowCount(), 3);
            QCOMPARE(c(form).PageControl1()->ActivePage(), c(form).TabSheet4());
        } else {
            // A clear message; the folder, the table and the page stay as they were.
            QCOMPARE(platform.errors.size(), 1);
            QVERIFY2(platform.errors[0].startsWith("File not found") &&
                         platform.errors[0].contains("091201.csv"),
                     qPrintable(platform.errors[0]));
            QCOMPARE(c(form).DirectoryListBox1()->Directory(), QDir::cleanPath(dir.path()));
            QCOMPARE(grid()->RowCount(), 2);
            QCOMPARE(c(form).PageControl1()->ActivePage(), c(form).TabSheet2());
        }
        form->OpenFile(dir.filePath("shown.csv")); // back to the test's folder
    }

    void folderListsFollowEachOther() {
        QDir(dir.path()).mkdir("sub");
        const QString sub = QDir::cleanPath(dir.filePath("sub"));
        c(form).DirectoryListBox1()->setDirectory(sub);
        QCOMPARE(c(form).DirectoryListBox2()->Directory(), sub);
        QCOMPARE(QDir::currentPath(), sub);
        QCOMPARE(c(form).FileListBox8()->Directory(), sub);
        c(form).DirectoryListBox1()->setDirectory(dir.path());
    }
};

TERVANE_GUI_TEST_MAIN(LoadingTest)
#include "loading_test.moc"
