// The main window: a shell over the pages. It holds the menu, the page control,
// the status bar and the one-second timer, runs the start-up, reads and writes
// the settings record, and wires what one page tells the others.
#pragma once

#include <QMainWindow>
#include <array>
#include <memory>

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QMenu;
class QStatusBar;
class QTimer;
class TPageControl;
class TTabSheet;
class ChannelPage;
class CsvPage;
class FtpSession;
class LocalFolderPanel;
class TransferPage;
namespace settings {
class AppSettings;
class CFGRecord;
struct SettingsPlace;
} // namespace settings

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;
    // Opens a logger file as a double click in the CSV page's list would: the
    // shared local folder becomes the file's folder, the file is loaded and the
    // CSV page is shown. A file that is not there gets the standard error box.
    void OpenFile(const QString& path);
    // A file given when the program starts (the command line, "Open With"): it
    // opens as soon as start-up has applied the saved settings (levels,
    // multipliers, names) and before the automatic log-on; at once when start-up
    // is over.
    void OpenFileAtStart(const QString& path);

    // The start-up has run (on the page control's first focus).
    bool Initialised() const { return m_initialised; }
    // The start-up ran because the focus did not come within this time of the
    // window first appearing.
    static constexpr int kStartUpFallbackMs = 1500;
    bool StartedWithoutFocus() const { return m_startUpByFallback; }
    // The FTP session of the transfer page.
    FtpSession& session() const;
    // The window as designed, inside its frame, and the least it shrinks to.
    static constexpr QSize kDesignSize{1255, 728};
    static constexpr QSize kMinimumSize{900, 480};

    // The first time it is shown, the window takes the size, splitters and page of the last run.
    void setVisible(bool visible) override;

signals:
    // Start-up has applied the saved settings (or the defaults of a first start)
    // to every page; the log-on has not begun.
    void settingsApplied();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // A .csv file dropped on the window opens as with "Open...".
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private slots:
    void PageControl1Enter();
    void PageControl1Change();
    void Timer1Timer();
    void Exit1Click();
    void SaveSetting1Click();
    void FileOpen1Click();
    void PrintPreview1Click();
    void RecentFilesShow();

private:
    void openStartFile();
    void buildMenu();
    void addForgetServerItem(QMenu* setting);
    void buildPages();
    void wirePages();
    void OnCreate();
    void applySettings(const settings::CFGRecord& r);
    // What the controls hold, into the settings record.
    void storeSettings(settings::CFGRecord& r) const;
    // Where this run keeps its settings: csv.cfg in the start folder when it is the
    // user's own and safe there, otherwise in the user's configuration folder (see
    // settings/settingsplace.h). Chosen once, as the window is made.
    static settings::SettingsPlace StartSettingsPlace();
    // A settings file's path in the folder of this run's settings.
    QString settingsFile(const QString& fileName) const;
    void ReadCFGFile(const QString& fileName);
    // `byUser`: "Save Setting" may ask; a save that comes with another action never does.
    void SaveCFGFile(const QString& fileName, bool byUser = true);
    // The typed texts csv.cfg cannot hold are refused as they are typed, with the reason.
    void GuardRecordTexts();
    // What of the controls csv.cfg cannot hold, one line a field ("" when all fits).
    QString RecordTextProblems() const;
    // Says in the status bar what start-up found about the settings files.
    void ShowSettingsNote();
    // Every local file list re-reads its folder; the local count follows.
    void RereadLocalLists();
    TTabSheet* sheet(const char* name) const;
    // tervane640.ini beside this run's csv.cfg.
    settings::AppSettings& appSettings();
    // Size, maximised state, splitters and the page shown, kept in tervane640.ini.
    void restoreWindowState();
    void saveWindowState();
    void fitIntoScreen();
    QRect availableArea() const;
    static bool placedByDesktop();

    QAction *Print2 = nullptr, *Exit1 = nullptr, *SaveSetting1 = nullptr, *FileOpen1 = nullptr,
            *PrintPreview1 = nullptr;
    QMenu* RecentFiles = nullptr;
    std::unique_ptr<settings::AppSettings> m_appSettings;
    TPageControl* PageControl1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QTimer* Timer1 = nullptr;

    LocalFolderPanel* m_local = nullptr;
    TransferPage* m_transfer = nullptr;
    CsvPage* m_csv = nullptr;
    std::array<ChannelPage*, 8> m_channels{};

    std::unique_ptr<settings::CFGRecord> CFGRecord;
    bool m_initialised = false;
    bool m_shownOnce = false;
    bool m_stateRestored = false;
    bool m_startUpByFallback = false;
    QString m_startFile; // given at start, waiting for the settings
    std::unique_ptr<settings::SettingsPlace> m_place;
    QString m_settingsPath;
    // csv.cfg was too short to read at start: its bytes are not replaced unasked.
    bool m_cfgUnread = false;
    bool m_modeWarned = false;
    QString m_settingsNote;
};
