// Control over a load: progress while it runs, Cancel keeping what was read,
// a load asked for meanwhile taking over, Reload under new multipliers, and
// names that are not regular files refused without waiting on them. The loader
// works on the real window's table and charts, found by their names.
#include "app/mainwindow.h"
#include "charts/decisiongraph.h"
#include "guitest.h"
#include "logdata/csvloader.h"
#include "logdata/linereader.h"
#include "logdata/stringgrid.h"
#include "loggerfiles.h"
#include "platform/platform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/stat.h>
#include <sys/types.h>

class LoadControlTest : public QObject {
    Q_OBJECT
    FakePlatform platform;
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
    double mul1 = 1;

    TDecisionGraph* chart(const char* name) const {
        return form->findChild<TDecisionGraph*>(QString::fromLatin1(name));
    }
    TChartSeries* series(const char* chartName, const char* name) const {
        return chart(chartName)->findSeries(QString::fromLatin1(name));
    }
    LoadTargets targets() const {
        LoadTargets t;
        t.StringGrid1 = form->findChild<TStringGrid*>("StringGrid1");
        t.Chart1 = chart("Chart1");
        t.Chart2 = chart("Chart2");
        t.DecisionGraphT1 = chart("DecisionGraphT1");
        t.DecisionGraphT2 = chart("DecisionGraphT2");
        t.DecisionGraphT3 = chart("DecisionGraphT3");
        t.DecisionGraphT4 = chart("DecisionGraphT4");
        t.DecisionGraphA1 = chart("DecisionGraphA1");
        t.DecisionGraphA2 = chart("DecisionGraphA2");
        t.DecisionGraphA3 = chart("DecisionGraphA3");
        t.DecisionGraphA4 = chart("DecisionGraphA4");
        t.Series1 = series("Chart1", "Series1");
        t.Series2 = series("Chart1", "Series2");
        t.Series5 = series("Chart1", "Series5");
        for (auto [p, n] : {std::pair{&t.Series6, "Series6"},
                            {&t.Series7, "Series7"},
                            {&t.Series8, "Series8"},
                            {&t.Series9, "Series9"},
                            {&t.Series10, "Series10"}})
            *p = series("Chart2", n);
        t.FastLineSeries1 = series("DecisionGraphT1", "FastLineSeries1");
        t.FastLineSeries5 = series("DecisionGraphT1", "FastLineSeries5");
        t.FastLineSeries2 = series("DecisionGraphT2", "FastLineSeries2");
        t.FastLineSeries3 = series("DecisionGraphT3", "FastLineSeries3");
        t.Series14 = series("DecisionGraphT3", "Series14");
        t.FastLineSeries4 = series("DecisionGraphT4", "FastLineSeries4");
        t.FastLineSeries6 = series("DecisionGraphA1", "FastLineSeries6");
        t.FastLineSeries10 = series("DecisionGraphA1", "FastLineSeries10");
        t.Series11 = series("DecisionGraphA1", "Series11");
        t.FastLineSeries7 = series("DecisionGraphA2", "FastLineSeries7");
        t.Series12 = series("DecisionGraphA2", "Series12");
        t.FastLineSeries8 = series("DecisionGraphA3", "FastLineSeries8");
        t.Series13 = series("DecisionGraphA3", "Series13");
        t.FastLineSeries9 = series("DecisionGraphA4", "FastLineSeries9");
        return t;
    }
    LoadInputs inputs() {
        LoadInputs in;
        in.tLevel = [] { return 0; };
        in.aLevel = [] { return 0; };
        in.xMode = [] { return false; };
        in.multiplier = [this](int ch) { return ch == 1 ? mul1 : 1.0; };
        // Progress at every look at the events, which come every 256 lines.
        in.progressAfterMs = 0;
        in.progressEveryMs = 0;
        in.lookEveryMs = 0;
        return in;
    }
    int loadedRows() const { return form->findChild<TStringGrid*>("StringGrid1")->RowCount() - 1; }
    QString write(const QString& name, int rows) {
        testfiles::writeFile(dir.filePath(name), testfiles::loggerFile(rows));
        return dir.filePath(name);
    }

private slots:
    void init() {
        QDir::setCurrent(dir.path());
        form = std::make_unique<TForm1>();
        mul1 = 1;
    }
    void cleanup() { form.reset(); }

    void progressIsReportedAndCancelKeepsWhatWasRead() {
        const QString big = write("big.csv", 300000);
        LoadInputs in = inputs();
        QList<QPair<qint64, qint64>> reports;
        CsvLoader* self = nullptr;
        in.progress = [&](qint64 done, qint64 total) {
            reports << qMakePair(done, total);
            if (done > 0) self->Cancel(); // the page's Cancel button
        };
        CsvLoader loader(targets(), std::move(in));
        self = &loader;
        QCOMPARE(loader.LoadCSVFile(big, ','), CsvLoader::Result::Cancelled);
        QVERIFY(reports.size() >= 2);
        QVERIFY(reports.first().first > 0 && reports.first().first < reports.first().second);
        QCOMPARE(reports.first().second, QFileInfo(big).size());
        QCOMPARE(reports.last(), qMakePair(qint64(0), qint64(0))); // the end, for the status bar
        const int rows = loadedRows();
        QVERIFY(rows > 0 && rows < 300000);
        QCOMPARE(series("DecisionGraphT1", "FastLineSeries1")->count(), std::min(rows, 16382));
        QVERIFY(!loader.isLoading());
    }

    void closingTheWindowEndsTheLoad() {
        // A big file opened, and the window closed while it loads.
        const QString big = write("big.csv", 300000);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // The close comes with the first events the load lets through, however fast the machine.
        QTimer::singleShot(0, form.get(), [this] { form->close(); });
        QElapsedTimer clock;
        clock.start();
        form->OpenFile(big);
        QVERIFY(!form->isVisible());
        QVERIFY2(loadedRows() < 300000, qPrintable(QString::number(loadedRows())));
        QVERIFY(clock.elapsed() < 5000);
    }

    void aLoadAskedForMeanwhileTakesOver() {
        const QString big = write("big.csv", 300000);
        const QString small = write("small.csv", 7);
        LoadInputs in = inputs();
        CsvLoader* self = nullptr;
        QList<CsvLoader::Result> inner;
        in.progress = [&](qint64 done, qint64) {
            // A double click on another file while the big one loads.
            if (done > 0 && inner.isEmpty()) inner << self->LoadCSVFile("small.csv", ',');
        };
        CsvLoader loader(targets(), std::move(in));
        self = &loader;
        loader.LoadCSVFile(big, ',');
        QCOMPARE(inner, QList<CsvLoader::Result>{CsvLoader::Result::Queued});
        QCOMPARE(loadedRows(), 7);
        QCOMPARE(loader.LastFileName(), small);
        QCOMPARE(series("Chart1", "Series1")->count(), 7);
    }

    void reloadShowsTheFileOnScreenUnderNewMultipliers() {
        const QString day = write("091201.csv", 5);
        CsvLoader loader(targets(), inputs());
        QCOMPARE(loader.ReloadCSVFile(), CsvLoader::Result::Nothing);
        loader.LoadCSVFile("091201.csv", ',');
        const double before = series("DecisionGraphA1", "FastLineSeries6")->y(0);
        mul1 = 2.5;
        QDir::setCurrent(QDir::tempPath()); // the folder may change meanwhile
        QCOMPARE(loader.ReloadCSVFile(), CsvLoader::Result::Loaded);
        QCOMPARE(loader.LastFileName(), day);
        QCOMPARE(series("DecisionGraphA1", "FastLineSeries6")->y(0), before * 2.5);
        QCOMPARE(loadedRows(), 5);
    }

    void onlyRegularFilesAreOpened_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("missing") << "missing";
    }
    void onlyRegularFilesAreOpened() {
        QFETCH(QString, kind);
        const QString path = dir.filePath("x.csv");
        QDir(dir.path()).rmdir("x.csv");
        QFile::remove(path);
        if (kind == "fifo") QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (kind == "folder") QVERIFY(QDir(dir.path()).mkdir("x.csv"));
        CsvLoader loader(targets(), inputs());
        QElapsedTimer t;
        t.start();
        QString error;
        try {
            loader.LoadCSVFile(path, ',');
        } catch (const EInOutError& e) {
            error = e.message();
        }
        QVERIFY(t.elapsed() < 2000); // a FIFO without a writer does not block
        QVERIFY2(!error.isEmpty(), qPrintable(kind));
        // The reader refuses the same way.
        logdata::LineReader r;
        QVERIFY(!r.open(path));
        QCOMPARE(r.errorString(), error);
        QDir(dir.path()).rmdir("x.csv");
        QFile::remove(path);
    }
};

TERVANE_GUI_TEST_MAIN(LoadControlTest)
#include "loadcontrol_test.moc"
