// The CSV page: the folder and file lists, the table, the two overview charts,
// the alarm level bars, Xmode, the merge controls, and the table printout.
#pragma once

#include "logdata/csvloader.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPrinter;
class QPushButton;
class QScrollBar;
class QSplitter;
class QTableWidget;
class TDecisionGraph;
class TDirectoryListBox;
class TDriveComboBox;
class TFileListBox;
class TStringGrid;
struct THighTeeFunction;
namespace logdata {
class MergeStore;
}
namespace settings {
class CFGRecord;
}

class CsvPage : public QWidget {
    Q_OBJECT
public:
    // `channels` names the channel pages' charts and series a load fills too;
    // `multiplier` gives the multiplier of analog channel 1..3.
    CsvPage(const LoadTargets& channels, std::function<double(int)> multiplier, QWidget* parent = nullptr);
    ~CsvPage() override;

    // Loads a file into the table and every series, and names it above the table.
    void LoadCSVFile(const QString& fileName, char separator);
    // Opens a file of the folder shown, as a double click on it in the list would.
    void openFile(const QString& path);
    // Shows another folder in the lists; the change is announced like a user's.
    void setFolder(const QString& dir);
    // Re-reads both file lists.
    void rereadFiles();
    // Re-reads the csv file list.
    void rereadFileList();
    // Ends a load under way after the row it is at (the window closes).
    void cancelLoad();
    // Loads the file on screen again, a day file or a merge, under the multipliers
    // now set (the analog pages' Refresh buttons).
    void reloadShown();
    // The table printout on a printer of its own (the window's "Print").
    void printTable();
    // Connected or not, as the transfer page shows it.
    void showConnection(bool connected, const QString& text = {});
    void setExitEnabled(bool enabled);
    // Writes the loaded rows (or those of points first..last, by point index)
    // to a file in the logger's row format, as read. Throws EInOutError when the
    // file cannot be written. Returns the number of rows written.
    int exportRows(const QString& path, int first = -1, int last = -1) const;
    // The file on screen (absolute path, "" before the first load).
    QString loadedFile() const;
    // Draws the table printout on a printer of the caller's (a print preview):
    // at most its first kPreviewPages pages.
    static constexpr int kPreviewPages = 20;
    void printTableOn(QPrinter& printer);
    // The pages the table printout takes.
    int tablePages() const;

    // Start-up: the stored levels and drive.
    void applySettings(const settings::CFGRecord& r);
    // Start-up: both date pickers on today.
    void applyDates();
    // The levels, the drive and the folder into the settings record.
    void storeSettings(settings::CFGRecord& r) const;

signals:
    // The user chose another folder here: the other lists follow.
    void folderChanged(const QString& dir);
    // Files were deleted, merged or a refresh was asked for: every list re-reads.
    void listsChanged();
    // A click on the temperature overview: show the Temperature 1 page.
    void temperatureZoomRequested();
    // Exit was chosen on this page.
    void exitRequested();
    // A text for the window's status bar (load progress, printing); empty clears it.
    void statusText(const QString& text);
    // A day file was opened from one of the page's lists (for the recent files).
    void fileOpened(const QString& path);

private slots:
    void DirectoryListBox1Change();
    void FileListBox1DblClick();
    void FileListBox8DblClick();
    void ScrollBar1Change();
    void ScrollBar2Change();
    void ZoomTClick();
    void Print1Click();
    void MergeButtonClick();
    void Delete2Click();
    void DeleteAll2Click();
    void Delete3Click();
    void Refresh2Click();
    void Refresh3Click();

private:
    // Says in the status bar how a load ended.
    void tellEnd(CsvLoader::Result result);
    void buildLists();
    void buildLevels();
    void buildCharts();
    void arrangePage();
    class Rows;
    void buildStatistics();
    void updateStatistics();
    void fitStatistics();
    // "Export CSV..." of a chart: asks for the file and writes the rows.
    void exportCsvClick(int first, int last);

    int TLevel = 0; // the alarm levels a load compares with
    int ALevel = 0;
    std::unique_ptr<CsvLoader> m_loader;
    std::unique_ptr<logdata::MergeStore> m_mergeLines; // the lines of the last merge
    std::unique_ptr<THighTeeFunction> TeeFunction1;

    TDriveComboBox* DriveComboBox1 = nullptr;
    TDirectoryListBox* DirectoryListBox1 = nullptr;
    TDirectoryListBox* DirectoryListBox2 = nullptr; // hidden, feeds FileListBox8
    TFileListBox* FileListBox1 = nullptr;
    TFileListBox* FileListBox8 = nullptr;
    QMenu *PopupMenuListBox1 = nullptr, *PopupMenuListBox8 = nullptr, *PopupMenuPrint = nullptr;
    QAction *Delete2 = nullptr, *DeleteAll2 = nullptr, *Refresh2 = nullptr, *Delete3 = nullptr,
            *Refresh3 = nullptr, *Print1 = nullptr;
    QLabel* vFileName = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr;
    QSplitter* TableChartSplitter = nullptr; // the table above the two charts
    TStringGrid* StringGrid1 = nullptr;
    QCheckBox* Xmode = nullptr;
    QScrollBar *ScrollBar1 = nullptr, *ScrollBar2 = nullptr;
    QLineEdit *TLEVEL = nullptr, *ALEVEL = nullptr;
    QDateEdit *DateTimePicker1 = nullptr, *DateTimePicker2 = nullptr;
    QPushButton* RunButton = nullptr;
    QLineEdit* StatusLine = nullptr;
    QPushButton* ExitButton = nullptr;
    TDecisionGraph *Chart1 = nullptr, *Chart2 = nullptr;
    QTableWidget* StatisticsTable = nullptr;
    std::unique_ptr<Rows> m_rows;                      // what the charts know of the table's rows
    std::vector<QPointer<TDecisionGraph>> m_rowCharts; // the charts given m_rows
};
