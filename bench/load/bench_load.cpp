// Loading benchmark: the row parser beside `wc -l`, and a whole load through the
// main window (table and every series filled, the visible page painted), with
// the peak memory of the process. Prints every figure side by side in one run.
//
//   bench_load            generates the files in a temporary folder and runs all
//   bench_load parse F    (internal) parses F, prints "seconds"
//   bench_load load F     (internal) loads F through the window, prints "ms maxrss_kb rows"
//   bench_load sequence D (internal) loads the files of D one after another in one
//                         window, prints "ms" per file
//   bench_load zoom F     (internal) loads F, then times the repaint of the shown
//                         Temperature 1 chart after a zoom, prints "ms"
#include "app/application.h"
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "charts/decisiongraph.h"
#include "controls.h"
#include "fakeplatform.h"
#include "localfiles/folderlists.h"
#include "logdata/linereader.h"
#include "logdata/rowformat.h"
#include "logdata/stringgrid.h"
#include "loggerfiles.h"

#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {
long maxRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double parseOnce(const QString& path) {
    QElapsedTimer t;
    t.start();
    logdata::LineReader r;
    if (!r.open(path)) return -1;
    std::string_view line;
    double sink = 0;
    long rows = 0;
    while (r.next(line)) {
        if (!logdata::IsLoggerRow(line)) continue;
        ++rows;
        int n = 0;
        logdata::ForEachCSVField(line, ',', [&](std::string_view f) {
            ++n;
            if (n >= 3 && n <= 6)
                sink += logdata::DecodeTField(f).value;
            else if (n >= 7 && n <= 10)
                sink += logdata::DecodeAField(f).value;
        });
    }
    const double s = t.nsecsElapsed() / 1e9;
    if (sink == 42.4242) std::printf("%ld\n", rows); // keeps the work
    return s;
}

int runParse(const QString& path) {
    double best = 1e9;
    for (int i = 0; i < 5; ++i)
        best = std::min(best, parseOnce(path));
    std::printf("%.6f\n", best);
    return 0;
}

int runLoad(int argc, char** argv, const QString& path) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    FakePlatform platform;
    const QFileInfo fi(path);
    QDir::setCurrent(fi.absolutePath());
    TForm1 form;
    form.show();
    c(form).PageControl1()->setActivePage(c(form).TabSheet4());
    QCoreApplication::processEvents();
    form.repaint();
    c(form).FileListBox1()->selectName(fi.fileName());
    QElapsedTimer t;
    t.start();
    c(form).invoke("FileListBox1DblClick");
    c(form).TabSheet4()->repaint(); // the visible page with the table and both overview charts
    const double ms = t.nsecsElapsed() / 1e6;
    std::printf("%.1f %ld %d\n", ms, maxRssKb(), c(form).StringGrid1()->RowCount());
    return 0;
}

// A logger file whose counter C1 runs from `base` and whose T1 is `tScale` times a small figure.
QByteArray rangedFile(int rows, int base, double tScale) {
    QByteArray out;
    for (int i = 0; i < rows; ++i) {
        QList<QByteArray> f = testfiles::loggerRow(i).split(',');
        f[4] = QByteArray::number(base + i).rightJustified(6, '0');
        f[2] =
            "+" +
            QByteArray::number(std::min(999.9, 0.0009 * tScale * (1 + i % 7)), 'f', 1).rightJustified(5, '0');
        out += f.join(',') + "\r\n";
    }
    return out;
}

int runSequence(int argc, char** argv, const QString& dir) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    FakePlatform platform;
    QDir::setCurrent(dir);
    TForm1 form;
    form.show();
    c(form).PageControl1()->setActivePage(c(form).TabSheet4());
    QCoreApplication::processEvents();
    const QStringList files = QDir(dir).entryList({"*.csv"}, QDir::Files, QDir::Name);
    for (const QString& f : files) {
        c(form).FileListBox1()->Update();
        c(form).FileListBox1()->selectName(f);
        QElapsedTimer t;
        t.start();
        c(form).invoke("FileListBox1DblClick");
        c(form).TabSheet4()->repaint();
        std::printf("%.1f ", t.nsecsElapsed() / 1e6);
    }
    std::printf("\n");
    return 0;
}

int runZoom(int argc, char** argv, const QString& path) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    FakePlatform platform;
    const QFileInfo fi(path);
    QDir::setCurrent(fi.absolutePath());
    TForm1 form;
    form.show();
    c(form).PageControl1()->setActivePage(c(form).TabSheet1());
    QCoreApplication::processEvents();
    c(form).FileListBox1()->selectName(fi.fileName());
    c(form).invoke("FileListBox1DblClick");
    TDecisionGraph* chart = c(form).DecisionGraphT1();
    chart->repaint();
    double best = 1e9;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        chart->zoomX(500 + 50 * i, 12000 + 100 * i); // as a mouse zoom ends
        chart->viewport()->repaint();
        best = std::min(best, t.nsecsElapsed() / 1e6);
        chart->undoZoom();
        chart->viewport()->repaint();
    }
    std::printf("%.2f %d\n", best, chart->findSeries("FastLineSeries1")->count());
    return 0;
}

// Merges 1..31 December 2009 in `dir` through the window: "merge_ms rows".
int runMerge(int argc, char** argv, const QString& dir) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    FakePlatform platform;
    QDir::setCurrent(dir);
    TForm1 form;
    form.show();
    c(form).PageControl1()->setActivePage(c(form).TabSheet4());
    QCoreApplication::processEvents();
    c(form).DateTimePicker1()->setDate(QDate(2009, 12, 1));
    c(form).DateTimePicker2()->setDate(QDate(2009, 12, 31));
    QElapsedTimer t;
    t.start();
    c(form).invoke("MergeButtonClick");
    c(form).TabSheet4()->repaint();
    std::printf("%.1f %d\n", t.nsecsElapsed() / 1e6, c(form).StringGrid1()->RowCount() - 1);
    return 0;
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

double bestOf(const QString& program, const QStringList& args) {
    double best = 1e9;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer t;
        t.start();
        run(program, args);
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

// wc -l's own time: the whole process less the start-up of a process that does nothing.
double wcSeconds(const QString& path) {
    const double startup = bestOf("true", {});
    return std::max(1e-6, bestOf("wc", {"-l", path}) - startup);
}
} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "parse") return runParse(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "load")
        return runLoad(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "merge")
        return runMerge(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "sequence")
        return runSequence(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "zoom")
        return runZoom(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString self = QCoreApplication::applicationFilePath();
    std::printf("%-12s %6s %12s %14s %14s %8s %8s %14s %8s\n", "file", "MB", "parser MB/s", "wc-l own MB/s",
                "wc-l proc MB/s", "ratio", "ratio2", "load+paint ms", "peak MB");
    for (int rows : {16382, 100000, 1000000}) {
        const QString path = dir.filePath(QString("%1rows.csv").arg(rows));
        testfiles::writeFile(path, testfiles::loggerFile(rows));
        const double mb = QFileInfo(path).size() / 1e6;
        const double parseS = run(self, {"parse", path}).toDouble();
        const double wcS = wcSeconds(path);
        const double wcProcS = bestOf("wc", {"-l", path});
        // Best of three loads, each in a fresh process so the peak memory is its own.
        double bestMs = 1e9;
        long peakKb = 0;
        for (int i = 0; i < 3; ++i) {
            const QStringList f = run(self, {"load", path}).split(' ');
            if (f.size() < 3) continue;
            bestMs = std::min(bestMs, f[0].toDouble());
            peakKb = std::max(peakKb, f[1].toLong());
        }
        std::printf("%-12s %6.2f %12.0f %14.0f %14.0f %8.2f %8.2f %14.1f %8.1f\n",
                    qPrintable(QString("%1 rows").arg(rows)), mb, mb / parseS, mb / wcS, mb / wcProcS,
                    wcS / parseS, wcProcS / parseS, bestMs, peakKb / 1024.0);
    }

    // Files whose ranges differ by factors up to 10^6, loaded one after another.
    {
        const QString seq = dir.filePath("sequence");
        QDir().mkpath(seq);
        const struct {
            int base;
            double tScale;
        } steps[] = {{0, 1},      {999000, 1}, {0, 1000000},      {9, 10}, {999000, 1000},
                     {100000, 1}, {0, 1},      {999000, 1000000}, {0, 1},  {50000, 100}};
        int n = 0;
        for (const auto& st : steps)
            testfiles::writeFile(seq + QString("/%1.csv").arg(n++, 2, 10, QChar('0')),
                                 rangedFile(100, st.base, st.tScale));
        const QStringList ms = run(self, {"sequence", seq}).split(' ', Qt::SkipEmptyParts);
        double worst = 0;
        for (const QString& m : ms)
            worst = std::max(worst, m.toDouble());
        std::printf("\n%-58s %10s %10s\n", "100-row files, ranges differing up to 10^6, one window",
                    "worst ms", "target ms");
        std::printf("%-58s %10.1f %10.1f\n", qPrintable("each load: " + ms.join(' ')), worst, 100.0);
    }

    // The repaint of a 16,382-point chart after a zoom.
    {
        const QString path = dir.filePath("16382rows.csv");
        const QStringList f = run(self, {"zoom", path}).split(' ');
        std::printf("\n%-58s %10s %10s\n", "Temperature 1 chart, 16,382 points", "zoom ms", "target ms");
        std::printf("%-58s %10.2f %10.1f\n",
                    qPrintable(QString("repaint after a zoom (%1 points), best of 20").arg(f.value(1))),
                    f.value(0).toDouble(), 16.0);
    }

    // 50 MB of random bytes: the load must end (loaded or refused) within 2 s. A
    // Ctrl-Z would end the file within its first few hundred bytes, so there is none.
    {
        const QString path = dir.filePath("random.csv");
        QByteArray bytes(50 * 1000 * 1000, Qt::Uninitialized);
        quint64 x = 0x9e3779b97f4a7c15ull;
        for (char& c : bytes) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            c = static_cast<char>(x >> 24);
            if (c == 26) c = 27;
        }
        testfiles::writeFile(path, bytes);
        const QStringList f = run(self, {"load", path}).split(' ');
        std::printf("\n%-58s %10s %10s %10s\n", "50 MB of random bytes (no Ctrl-Z)", "load ms", "peak MB",
                    "target ms");
        std::printf("%-58s %10.1f %10.1f %10.1f\n",
                    qPrintable(QString("loaded, %1 table rows").arg(f.value(2))), f.value(0).toDouble(),
                    f.value(1).toDouble() / 1024.0, 2000.0);
    }

    // One 20 MB line without a comma: loaded (one cell, shown cut) within 1 s,
    // beside wc -l reading the same file.
    {
        const QString path = dir.filePath("oneline.csv");
        testfiles::writeFile(path, QByteArray(20 * 1024 * 1024, 'x') + "\r\n");
        double best = 1e9;
        long peakKb = 0;
        QString rows;
        for (int i = 0; i < 3; ++i) {
            const QStringList f = run(self, {"load", path}).split(' ');
            if (f.size() < 3) continue;
            best = std::min(best, f[0].toDouble());
            peakKb = std::max(peakKb, f[1].toLong());
            rows = f[2];
        }
        const double wcMs = bestOf("wc", {"-l", path}) * 1000;
        std::printf("\n%-58s %10s %10s %10s %10s\n", "one 20 MB line without a comma", "load ms", "peak MB",
                    "wc -l ms", "target ms");
        std::printf("%-58s %10.1f %10.1f %10.1f %10.1f\n",
                    qPrintable(QString("loaded, %1 table rows").arg(rows)), best, peakKb / 1024.0, wcMs,
                    1000.0);
    }

    // A month of day files merged and loaded, beside cat joining the same files.
    const QString month = dir.filePath("month");
    QDir().mkpath(month);
    QStringList days;
    for (int d = 1; d <= 31; ++d) {
        const QByteArray day = "0912" + QByteArray::number(d).rightJustified(2, '0');
        days << month + '/' + QString::fromLatin1(day) + ".csv";
        testfiles::writeFile(days.last(), testfiles::loggerFile(1440, day));
    }
    double bestCat = 1e9;
    for (int i = 0; i < 7; ++i) {
        QProcess cat;
        cat.setStandardOutputFile(dir.filePath("cat.out"));
        QElapsedTimer t;
        t.start();
        cat.start("cat", days);
        cat.waitForFinished(60000);
        bestCat = std::min(bestCat, t.nsecsElapsed() / 1e6);
    }
    double bestMerge = 1e9;
    QString rows;
    for (int i = 0; i < 3; ++i) {
        QFile::remove(month + "/-091201-091231.csv");
        const QStringList f = run(self, {"merge", month}).split(' ');
        if (f.size() < 2) continue;
        bestMerge = std::min(bestMerge, f[0].toDouble());
        rows = f[1];
    }
    std::printf("\n%-40s %14s %10s\n", "month of day files (31 x 1,440 rows)", "merge+load ms", "cat ms");
    std::printf("%-40s %14.1f %10.1f\n", qPrintable(QString("merged and loaded, %1 rows").arg(rows)),
                bestMerge, bestCat);
    std::printf(
        "(a merged file holds at most 16,383 lines; merge+load: click to painted page; cat: the whole "
        "process; best of 3 and 7)\n\n");
    std::printf(
        "parser: lines read, split and channel fields decoded, in-process, best of 5.\n"
        "wc-l own: the wc process less the start-up of `true`; wc-l proc: the whole wc process.\n"
        "ratio = parser speed / wc-l own speed; ratio2 = parser speed / wc-l process speed.\n"
        "load: double click to painted CSV page, best of 3, each in a fresh process; peak = max RSS.\n");
    return 0;
}
