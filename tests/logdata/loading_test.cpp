// Loading logger files through the real main window: double click in the file
// lists, then read the table, the file name label and the series back.
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "charts/decisiongraph.h"
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
        form->FileListBox1->Update();
        QVERIFY2(form->FileListBox1->selectName(name), qPrintable(name));
        const QRect r = form->FileListBox1->visualItemRect(form->FileListBox1->currentItem());
        QTest::mouseDClick(form->FileListBox1->viewport(), Qt::LeftButton, {}, r.center());
    }
    TStringGrid* grid() const { return form->StringGrid1; }
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
        form->PageControl1->setActivePage(form->TabSheet4);
        form->DirectoryListBox1->setDirectory(dir.path());
        platform.clear();
    }
    void cleanup() {
        form.reset();
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.filePath(f));
    }

    void threeRowsFillTableAndEverySeries() {
        form->ScrollBar1->setValue(30);
        form->ScrollBar2->setValue(50);
        write("091201.csv", row() + "\r\n" + row() + "\r\n" + row() + "\r\n");
        open("091201.csv");
        QCOMPARE(form->vFileName->text(), QDir::toNativeSeparators(dir.filePath("091201.csv")));
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
             {form->Series1,         form->Series2,         form->Series5,         form->Series6,
              form->Series7,         form->Series8,         form->Series9,         form->Series10,
              form->Series11,        form->Series12,        form->Series13,        form->Series14,
              form->FastLineSeries1, form->FastLineSeries2, form->FastLineSeries3, form->FastLineSeries4,
              form->FastLineSeries5, form->FastLineSeries6, form->FastLineSeries7, form->FastLineSeries8,
              form->FastLineSeries9, form->FastLineSeries10})
            QVERIFY2(s->count() == 3, qPrintable(s->name()));
        QCOMPARE(form->Series3->count(), 0);
        QCOMPARE(ys(form->Series5), (QList<double>{30, 30, 30}));
        QCOMPARE(ys(form->FastLineSeries10), (QList<double>{50, 50, 50}));
        QCOMPARE(form->FastLineSeries1->y(0), 25.3);
        QCOMPARE(form->FastLineSeries3->y(0), 123.0);
        QCOMPARE(form->Series14->y(0), 133.0);
        QCOMPARE(form->FastLineSeries9->y(2), 13.8);
        // X is the point's index; labels are the row numbers.
        QCOMPARE(form->Series1->x(2), 2.0);
        QCOMPARE(form->Series1->labels(), (QStringList{"1", "2", "3"}));
        // The level bar moved after the load changes no level line.
        form->ScrollBar1->setValue(10);
        QCOMPARE(form->TLEVEL->text(), QString("10"));
        QCOMPARE(ys(form->Series5), (QList<double>{30, 30, 30}));
        QCOMPARE(platform.errors, QStringList());
    }

    void xmodeLabelsAreDateAndTime() {
        form->Xmode->setChecked(true);
        write("a.csv", row("+025.3", "000123", "10.0", "13.8", "000", "00:01:00") + "\r\n" +
                           row("+025.3", "000123", "10.0", "13.8", "000", "00:02:00") + "\r\n");
        open("a.csv");
        QCOMPARE(form->FastLineSeries1->labels(), (QStringList{"091201,00:01:00", "091201,00:02:00"}));
        QCOMPARE(form->Series5->labels(), form->Series1->labels());
    }

    void analogMultiplier() {
        form->ScrollBarA1->setValue(2);
        form->ScrollBarA01->setValue(500);
        write("a.csv", row() + "\r\n");
        open("a.csv");
        QCOMPARE(form->Series6->y(0), 10.0);
        QCOMPARE(form->FastLineSeries6->y(0), 25.0);
        QCOMPARE(form->Series11->y(0), 28.5);
        // Coarse and fine at 0: the channel lies flat at 0 and its range series at 1.
        form->ScrollBarA1->setValue(0);
        form->ScrollBarA01->setValue(0);
        open("a.csv");
        QCOMPARE(form->FastLineSeries6->y(0), 0.0);
        QCOMPARE(form->Series11->y(0), 1.0);
        QCOMPARE(form->Series6->y(0), 10.0);
    }

    void alarms_data() {
        QTest::addColumn<QByteArray>("t1");
        QTest::addColumn<QByteArray>("a4");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<int>("tLevel");
        // A level 13; the row's other fields stay under both levels. The reading's
        // sign counts: a freezer's level of -18 is passed by -010.0, not by -020.0.
        QTest::newRow("+041.0 over 40") << QByteArray("+041.0") << QByteArray("12.0") << 1 << 40;
        QTest::newRow("+040.9 not over 40") << QByteArray("+040.9") << QByteArray("12.0") << 0 << 40;
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
        form->ScrollBar1->setValue(tLevel);
        form->ScrollBar2->setValue(13);
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
        QCOMPARE(form->Series8->count(), 1);
        QCOMPARE(form->Series7->count(), 2);
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
        QCOMPARE(form->Series1->count(), 0);
    }

    void shortFieldsKeepTheirPlace() {
        // A truncated T1 reading still gives a point (missing digits count as 0),
        // so X stays aligned with the row.
        write("a.csv", row("+02") + "\r\n" + row("") + "\r\n" + row() + "\r\n");
        open("a.csv");
        QCOMPARE(ys(form->FastLineSeries1), (QList<double>{20.0, 0.0, 25.3}));
        QCOMPARE(form->FastLineSeries1->x(2), 2.0);
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
        QCOMPARE(form->FastLineSeries1->count(), 16382);
        QCOMPARE(form->Series5->count(), 16382);
    }

    void missingFileIsReported() {
        write("a.csv", row() + "\r\n");
        open("a.csv");
        QFile::remove(dir.filePath("a.csv"));
        QVERIFY(form->FileListBox1->selectName("a.csv"));
        const QRect r = form->FileListBox1->visualItemRect(form->FileListBox1->currentItem());
        QTest::mouseDClick(form->FileListBox1->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(platform.errors, QStringList{"File not found."});
        QCOMPARE(form->Series1->count(), 0);
        QCOMPARE(grid()->RowCount(), 2);
        QCOMPARE(grid()->Cells(1, 0), QString("Date"));
        // The window goes on: the next load works.
        write("b.csv", row() + "\r\n");
        open("b.csv");
        QCOMPARE(form->Series1->count(), 1);
    }

    void nothingSelected() {
        write("a.csv", row() + "\r\n");
        open("a.csv");
        form->FileListBox1->clearSelection();
        QTest::mouseDClick(form->FileListBox1->viewport(), Qt::LeftButton, {}, QPoint(5, 150));
        QCOMPARE(form->vFileName->text(), QString());
        QCOMPARE(form->Series1->count(), 1);
    }

    void mergedFileListLoadsToo() {
        write("-091201-091203.csv", row() + "\r\r" + row() + "\r\r");
        form->FileListBox8->Update();
        QCOMPARE(form->FileListBox8->names(), QStringList{"-091201-091203.csv"});
        QVERIFY(form->FileListBox8->selectName("-091201-091203.csv"));
        form->FileListBox8DblClick();
        QCOMPARE(grid()->RowCount(), 3);
    }

    void headingsResetByALoad() {
        form->T1Name->setText("Boiler");
        QCOMPARE(form->TabSheet1->Caption(), QString("Boiler"));
        QCOMPARE(form->DecisionGraphT1->TitleText(), QStringList{"Boiler"});
        form->A1Name->setText("Pressure");
        write("a.csv", row() + "\r\n");
        open("a.csv");
        QCOMPARE(form->DecisionGraphT1->TitleText(), QStringList{"Temperature 1"});
        QCOMPARE(form->DecisionGraphT4->TitleText(), QStringList{"Signal Quality"});
        QCOMPARE(form->TabSheet1->Caption(), QString("Boiler"));
        QCOMPARE(form->DecisionGraphA1->TitleText(), QStringList{"Pressure"});
    }

    void folderListsFollowEachOther() {
        QDir(dir.path()).mkdir("sub");
        const QString sub = QDir::cleanPath(dir.filePath("sub"));
        form->DirectoryListBox1->setDirectory(sub);
        QCOMPARE(form->DirectoryListBox2->Directory(), sub);
        QCOMPARE(QDir::currentPath(), sub);
        QCOMPARE(form->FileListBox8->Directory(), sub);
        form->DirectoryListBox1->setDirectory(dir.path());
    }
};

TERVANE_GUI_TEST_MAIN(LoadingTest)
#include "loading_test.moc"
