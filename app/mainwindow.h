// The main window: the page control with the transfer page, the CSV page and
// one page per channel, the menu and the status bar.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>

class QCalendarWidget;
class QCheckBox;
class QGroupBox;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QFrame;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QScrollBar;
class QStatusBar;
class QTimer;

class TPageControl;
class TTabSheet;
class TDecisionGraph;
class TChartSeries;
struct THighTeeFunction;
class TStringGrid;
class TDriveComboBox;
class TDirectoryListBox;
class TFileListBox;
class TLinkedListBox;
class CsvLoader;
class TNMFTP;
namespace settings {
class CFGRecord;
}
namespace logdata {
class MergeStore;
}
enum class TCmdType : unsigned char;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;
    // Opens a logger file as a double click in the CSV page's list would: the local
    // folder becomes the file's folder, the file is loaded and the CSV page shown.
    void OpenFile(const QString& path);

    // ---- window-wide
    QMenu* MainMenu1File = nullptr;
    QAction* Print2 = nullptr; // "File" > "Print": the table printout
    QMenu* PopupMenuPrint = nullptr;
    QAction* Print1 = nullptr; // the table's pop-up "Print"
    TPageControl* PageControl1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    TTabSheet *TabSheet2 = nullptr, *TabSheet4 = nullptr, *TabSheet1 = nullptr, *TabSheet8 = nullptr,
              *TabSheet9 = nullptr, *TabSheet10 = nullptr, *TabSheet3 = nullptr, *TabSheet5 = nullptr,
              *TabSheet6 = nullptr, *TabSheet7 = nullptr;

    // ---- transfer page: remote group
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* MakeDirFTP = nullptr;
    QPushButton *MkDirFTPbtn = nullptr, *RenameDirFTPbtn = nullptr;
    QCheckBox* DeleteAllFTPButtonEnable = nullptr;
    QLabel *Label20 = nullptr, *Label22 = nullptr, *RemoteFiles1cnt = nullptr;
    QLineEdit *sDirectory = nullptr, *sFile = nullptr;
    TLinkedListBox *FileListBoxFTPdir = nullptr, *FileListBoxFTP = nullptr;
    QMenu *PopupMenuListBox3 = nullptr, *PopupMenuFTPdir = nullptr;
    QAction *MenuItem1 = nullptr, *MenuItem2 = nullptr, *MenuItem3 = nullptr;
    // ---- transfer page: transfer buttons and their Cancel twins
    QPushButton *CopyFromDate = nullptr, *CopySelected = nullptr, *CopyAll = nullptr, *MoveSelected = nullptr,
                *MoveAll = nullptr;
    QPushButton *CopyFromDateCancel = nullptr, *CopySelectedCancel = nullptr, *CopyAllCancel = nullptr,
                *MoveSelectedCancel = nullptr, *MoveAllCancel = nullptr;
    QLabel* FromDateTime = nullptr;
    QLabel *Label30 = nullptr, *Label31 = nullptr;
    QCalendarWidget *MonthCalendar1 = nullptr, *MonthCalendar2 = nullptr;
    // ---- transfer page: local group
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* MakeDirPC = nullptr;
    QPushButton* MkDirPC = nullptr;
    QLabel* LocalFiles1cnt = nullptr;
    QLineEdit* LocalFile = nullptr;
    TDriveComboBox* DriveComboBox4 = nullptr;
    TFileListBox* FileListBoxPC = nullptr;
    TDirectoryListBox* DirectoryListBoxPC = nullptr;
    QMenu *PopupMenuListBox4 = nullptr, *PopupMenuListBox1 = nullptr, *PopupMenuListBox8 = nullptr;
    QAction *Delete1 = nullptr, *DeleteAll1 = nullptr, *Refresh1 = nullptr, *Delete2 = nullptr,
            *DeleteAll2 = nullptr, *Refresh2 = nullptr, *Delete3 = nullptr, *Refresh3 = nullptr;
    // ---- transfer page: log and account
    QFrame* Panel1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLineEdit *HostTxt = nullptr, *PortTxt = nullptr, *UserTxt = nullptr, *PassTxt = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLineEdit *ProxyServer = nullptr, *ProxyPort = nullptr;
    QLabel* Label17 = nullptr;
    QPushButton *ConnectBtn = nullptr, *DisConnectBtn = nullptr, *RefreshBtn = nullptr;
    QLineEdit* cSTATUS = nullptr;
    QPushButton* ExitBtn = nullptr;

    // ---- CSV page
    TDriveComboBox* DriveComboBox1 = nullptr;
    TDirectoryListBox* DirectoryListBox1 = nullptr;
    TDirectoryListBox* DirectoryListBox2 = nullptr; // hidden, feeds FileListBox8
    TFileListBox* FileListBox1 = nullptr;
    TFileListBox* FileListBox8 = nullptr;
    QLabel* vFileName = nullptr;
    TStringGrid* StringGrid1 = nullptr;
    QCheckBox* Xmode = nullptr;
    QScrollBar *ScrollBar1 = nullptr, *ScrollBar2 = nullptr;
    QLineEdit *TLEVEL = nullptr, *ALEVEL = nullptr;
    QDateEdit *DateTimePicker1 = nullptr, *DateTimePicker2 = nullptr;
    QPushButton* RunButton = nullptr;
    QLineEdit* StatusLine = nullptr;
    QPushButton* ExitButton = nullptr;
    TDecisionGraph *Chart1 = nullptr, *Chart2 = nullptr;

    // ---- channel pages
    TDecisionGraph *DecisionGraphT1 = nullptr, *DecisionGraphT2 = nullptr, *DecisionGraphT3 = nullptr,
                   *DecisionGraphT4 = nullptr, *DecisionGraphA1 = nullptr, *DecisionGraphA2 = nullptr,
                   *DecisionGraphA3 = nullptr, *DecisionGraphA4 = nullptr;
    TChartSeries *Series1 = nullptr, *Series2 = nullptr, *Series3 = nullptr, *Series5 = nullptr,
                 *Series6 = nullptr, *Series7 = nullptr, *Series8 = nullptr, *Series9 = nullptr,
                 *Series10 = nullptr, *Series11 = nullptr, *Series12 = nullptr, *Series13 = nullptr,
                 *Series14 = nullptr;
    TChartSeries *FastLineSeries1 = nullptr, *FastLineSeries2 = nullptr, *FastLineSeries3 = nullptr,
                 *FastLineSeries4 = nullptr, *FastLineSeries5 = nullptr, *FastLineSeries6 = nullptr,
                 *FastLineSeries7 = nullptr, *FastLineSeries8 = nullptr, *FastLineSeries9 = nullptr,
                 *FastLineSeries10 = nullptr;
    // Highest-value functions on the two level series; without a source they compute nothing.
    std::unique_ptr<THighTeeFunction> HighTeeFunction1, TeeFunction1;
    QLineEdit *T1Name = nullptr, *T2Name = nullptr, *C1Name = nullptr, *C2Name = nullptr, *A1Name = nullptr,
              *A2Name = nullptr, *A3Name = nullptr;
    QScrollBar *ScrollBarA1 = nullptr, *ScrollBarA01 = nullptr, *ScrollBarA2 = nullptr,
               *ScrollBarA02 = nullptr, *ScrollBarA3 = nullptr, *ScrollBarA03 = nullptr;
    QLineEdit *MulA1 = nullptr, *MulA2 = nullptr, *MulA3 = nullptr;
    QPushButton *Button5 = nullptr, *Button3 = nullptr, *Button6 = nullptr;
    QPushButton *PrintT1 = nullptr, *PrintT2 = nullptr, *PrintT3 = nullptr, *PrintT4 = nullptr,
                *PrintA1 = nullptr, *PrintA2 = nullptr, *PrintA3 = nullptr, *PrintA4 = nullptr;

    // ---- window state
    int TLevel = 0;
    int ALevel = 0;
    // FTP session flags.
    bool FtpConnected = false;
    bool TransferBusy = false;
    bool CancelRequested = false;
    bool ExitRequested = false;
    TNMFTP* NMFTP1 = nullptr;
    QTimer* Timer1 = nullptr;

    // ---- FTP session and remote browsing
    void AllButtonsFalse();
    void AllButtonsTrue();
    void RestoreButtons();
    void CancelBtn();
    void ConnectBtnClick();
    void DisConnectBtnClick();
    void Timer1Timer();
    void Exit1Click();
    void ExitBtnClick();
    void NMFTP1ListItem(const QString& Listing);
    void FileListBoxFTPdirDblClick();
    void sDirectoryDblClick();
    void RefreshBtnClick();
    void FileListBoxFTPClick();
    void FileListBoxFTPDblClick();
    // ---- copy, move, copy from date, remote deletion and folders
    void CopySelectedClick();
    void CopyAllClick();
    void MoveSelectedClick();
    void MoveAllClick();
    void CopyFromDateClick();
    void DeleteAllFTPButtonEnableClick();
    void DeleteFileFromFTP();
    void DeleteAllFilesFromFTP();
    void DeleteFTPdir();
    void MkDirFTPbtnClick();
    void RenameDirFTPbtnClick();
    // A fresh listing of the current remote folder.
    void FreshListing();
    // Texts of the engine's command kinds (empty outside 0..14).
    static QString SuccessText(int kind);
    static QString FailureText(int kind);
    static QString UnsupportedText(int kind);
    // The folder remote files are viewed from.
    QString viewFolder();

    // ---- start-up and settings
    QAction *Exit1 = nullptr, *SaveSetting1 = nullptr;
    void PageControl1Enter();
    void OnCreate();
    void ReadCFGFile(const QString& fileName);
    void SaveCFGFile(const QString& fileName);
    void SaveSetting1Click();
    void MonthCalendar1Click();
    bool Initialised() const { return m_initialised; }
    // The copy-from date text shown in FromDateTime.
    QString CopyFromDateText;
    std::unique_ptr<settings::CFGRecord> CFGRecord;

    // ---- local folder and files
    void DirectoryListBoxPCChange();
    void MkDirPCClick();
    void DeleteFilesFromPCClick();
    void DeleteAllFilesFromPC();
    void Delete2Click();
    void DeleteAll2Click();
    void Delete3Click();
    void Refresh1Click();
    void Refresh2Click();
    void Refresh3Click();
    void FileListBoxPCDblClick();
    // Re-reads FileListBoxPC, FileListBox1 and FileListBox8 and shows the local count.
    void RereadLocalLists();
    // Re-reads FileListBoxPC and shows its count.
    void RefreshLocalFiles();
    // A file arrived in the local folder during a batch: re-read soon.
    void LocalFilesChanged();

    // ---- handlers
    void LoadCSVFile(const QString& fileName, char separator);
    void ClearSeries();
    void SetColWidth();
    void FileListBox1DblClick();
    void FileListBox8DblClick();
    void DirectoryListBox1Change();
    void ScrollBar1Change();
    void ScrollBar2Change();
    void T1NameChange();
    void T2NameChange();
    void C1NameChange();
    void C2NameChange();
    void A1NameChange();
    void A2NameChange();
    void A3NameChange();
    void ScrollBarA1Change();
    void ScrollBarA01Change();
    void ScrollBarA2Change();
    void ScrollBarA02Change();
    void ScrollBarA3Change();
    void ScrollBarA03Change();
    void RefreshA1();
    void RefreshA2();
    void RefreshA3();
    void ZoomTClick();
    void PrintT1Click();
    void PrintT2Click();
    void PrintT3Click();
    void PrintT4Click();
    void PrintA1Click();
    void PrintA2click();
    void PrintA3click();
    void printA4Click();
    void PageControl1Change();
    void Print1Click();
    void MergeButtonClick();

    // Left edge, in printer pixels, of column `col` in the table printout.
    static int TablePrintX(int col);

    // The multiplier of analog channel 1..3 from its two bars.
    double multiplier(int channel) const;
    // The multiplier box text for the bar positions (the system's decimal separator).
    static QString MultiplierText(int coarse, int fine);

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    friend class EngineCall;
    void buildWindow();
    void connectEngine();
    void setStatus(bool connected);
    void setBusyCursor(bool busy);
    void showStatusText(const QString& text);
    void connectBatches();
    bool connectedOrTell();
    bool refuseWhileBusy();
    // A batch runs, or another handler waits inside an engine call.
    bool EngineBusy() const;
    // Downloads one remote file; names the file in the error when it fails.
    void downloadOne(const QString& name, const QString& localPath, const char* verb);
    // Moves one file: download, check, then delete remotely. False when the local
    // copy could not be confirmed complete (the remote file then stays).
    bool moveOne(const QString& name, const QString& localPath, const QStringList& keptSoFar);
    void tellKeptOnServer(const QStringList& names);
    // Runs one remote folder command with the busy cursor, then lists the folder afresh.
    void remoteFolderCommand(const std::function<void()>& command);
    // The name in MakeDirFTP when connected, idle and not blank; otherwise tells why.
    bool newFolderName(QString& name);
    // The selected focus entry of the remote file list, or "" after telling why there is none.
    QString chosenRemoteFile();
    // Deletes every file a local list shows, then re-reads the lists.
    void deleteAllListed(TFileListBox* list);
    void buildTransferPage();
    void buildLocalGroup();
    void linkFolderLists();
    void buildCsvPage();
    void buildChannelPages();
    TDecisionGraph* buildChannelChart(TTabSheet* page, const QString& name, int top, int height);
    QLineEdit* buildNameEdit(TDecisionGraph* chart, const QString& name, const QString& text);
    QPushButton* buildPrintButton(TDecisionGraph* chart, const QString& name);
    void buildMultiplier(TDecisionGraph* chart, const QStringList& labels, const QString& box,
                         const QString& coarse, const QString& fine, const QString& refresh);
    void nameChanged(QLineEdit* edit, TTabSheet* page, TDecisionGraph* chart);
    void multiplierChanged(int channel);
    void printChart(TDecisionGraph* chart);

    std::unique_ptr<CsvLoader> m_loader;
    std::unique_ptr<logdata::MergeStore> m_mergeLines; // the lines of the last merge
    bool m_initialised = false;
    int m_engineCalls = 0;       // handlers now inside an engine call
    bool m_closePending = false; // the window closes once they have unwound
    bool m_busyCursor = false;
    QTimer* m_localRefreshTimer = nullptr;
    QElapsedTimer m_localRefreshClock;
    std::unique_ptr<class QTemporaryDir> m_viewDir;
};
