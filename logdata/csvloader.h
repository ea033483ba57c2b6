// Loading a logger file into the table and into every chart series that shows
// one of its channels.
#pragma once

#include <QColor>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>
#include <string_view>

class TStringGrid;
class TChartSeries;
class TDecisionGraph;

// The table, charts and series a load writes.
struct LoadTargets {
    TStringGrid* StringGrid1 = nullptr;
    // Charts whose heading a load resets, and every chart to refresh afterwards.
    TDecisionGraph *Chart1 = nullptr, *Chart2 = nullptr;
    TDecisionGraph *DecisionGraphT1 = nullptr, *DecisionGraphT2 = nullptr, *DecisionGraphT3 = nullptr,
                   *DecisionGraphT4 = nullptr;
    TDecisionGraph *DecisionGraphA1 = nullptr, *DecisionGraphA2 = nullptr, *DecisionGraphA3 = nullptr,
                   *DecisionGraphA4 = nullptr;
    // Overview charts.
    TChartSeries *Series1 = nullptr, *Series2 = nullptr, *Series5 = nullptr;
    TChartSeries *Series6 = nullptr, *Series7 = nullptr, *Series8 = nullptr, *Series9 = nullptr,
                 *Series10 = nullptr;
    // Channel pages.
    TChartSeries *FastLineSeries1 = nullptr, *FastLineSeries2 = nullptr, *FastLineSeries3 = nullptr,
                 *FastLineSeries4 = nullptr, *FastLineSeries5 = nullptr, *FastLineSeries6 = nullptr,
                 *FastLineSeries7 = nullptr, *FastLineSeries8 = nullptr, *FastLineSeries9 = nullptr,
                 *FastLineSeries10 = nullptr;
    // Hidden range series.
    TChartSeries *Series11 = nullptr, *Series12 = nullptr, *Series13 = nullptr, *Series14 = nullptr;
};

// What a load reads from the window, afresh for every row.
struct LoadInputs {
    std::function<int()> tLevel;
    std::function<int()> aLevel;
    std::function<bool()> xMode;           // labels from Date,Time instead of row numbers
    std::function<double(int)> multiplier; // analog channel 1..3
    std::function<void()> alert;           // a reading is over its level
    // Progress of a load that has run for half a second (progressAfterMs) or more: bytes read of
    // the file's size, about ten times a second, and (0, 0) once it has ended.
    // The page shows it in its status bar.
    std::function<void(qint64 done, qint64 total)> progress;
    qint64 progressAfterMs = 500;
    qint64 progressEveryMs = 100;
    // Work between two looks at the window's events (Escape, Cancel, repaints).
    qint64 lookEveryMs = 50;
};

class CsvLoader : public QObject {
public:
    CsvLoader(const LoadTargets& targets, LoadInputs inputs);
    ~CsvLoader() override;

    enum class Result {
        Nothing,   // an empty name
        Loaded,    // the whole file
        Cancelled, // stopped by Cancel(); the rows read so far stay
        Queued,    // asked for during another load, which gives way to it
    };

    // Loads a file (relative names against the current folder). An empty name
    // does nothing. A file that cannot be opened or read throws EInOutError with
    // the system's text; what was loaded by then stays. A name that is not a
    // regular file is refused without being read.
    //
    // A long load keeps the window alive: it handles pending events about every
    // 50 ms, reports progress (LoadInputs::progress) and ends early on Cancel()
    // or the Escape key. A load asked for meanwhile cancels the running one and
    // runs when it has unwound.
    Result LoadCSVFile(const QString& fileName, char separator);
    // Loads the file last loaded again (under the multipliers and levels of now).
    // Does nothing when no file was loaded yet.
    Result ReloadCSVFile();
    // Absolute path of the file last loaded ("" before the first load).
    QString LastFileName() const { return m_lastFile; }
    bool isLoading() const { return m_loading; }
    // Whether the file last loaded is still the one that was read: same size and
    // time of change as when its load began.
    bool SourceUnchanged() const;
    // Ends the running load after the row under way; what was read stays.
    void Cancel() { m_cancel = true; }
    // Empties every series a load fills and resets the headings.
    void ClearSeries();
    // Applies the column width table to the table's columns.
    void SetColWidth();
    // Accepts or skips one line; an accepted line becomes the next table row.
    void AddCSVLine(std::string_view line, char separator);

    // The levels moved after a load: every level line follows, the Analog 1
    // page's scaled by the multiplier its readings were loaded with.
    void ReLevel(int tLevel, int aLevel);
    // The Analog 1 page's level line's name: "Level", or how it was scaled.
    static QString ScaledLevelTitle(int aLevel, double scale);

    // The column widths of the table, by column.
    static int ColumnWidth(int col);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Result loadOne(const QString& fileName, char separator);
    void AddCSVField(std::string_view field, int fieldNo, const QString& label);
    void finish();
    void pump(qint64 done, qint64 total);

    LoadTargets t;
    LoadInputs in;
    int m_lineCounter = 0;  // accepted lines, the header included
    int m_fieldCounter = 0; // fields placed of the current line, plus one
    double m_mul[3] = {1, 1, 1};
    double m_levelScale = 1; // the multiplier of the Analog 1 page's level line
    bool m_loading = false;
    bool m_cancel = false;
    bool m_reportedProgress = false;
    QString m_pending; // a load asked for while another ran
    char m_pendingSeparator = ',';
    QString m_lastFile;
    char m_lastSeparator = ',';
    qint64 m_lastSize = -1;
    QDateTime m_lastModified;
    QElapsedTimer m_clock;
    qint64 m_lastPump = 0;
    qint64 m_lastProgress = 0;
};
