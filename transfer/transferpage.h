// SPDX-License-Identifier: GPL-3.0-or-later
// The transfer page: the FTP account and session, the remote folder and file
// lists, the copy and move batches with their Cancel buttons, copy from date,
// remote deletion and folders, and the listing log. The local folder panel sits
// on this page; the window owns it and lends it for the batches' target folder.
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

class QCalendarWidget;
class QVBoxLayout;
class QCheckBox;
class QComboBox;
class QSslCertificate;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPlainTextEdit;
class QSplitter;
class QPushButton;
class AutoFetchPanel;
namespace fetch {
class FolderLock;
}
class FtpSession;
class LatestOnly;
class LocalFolderPanel;
class TLinkedListBox;
namespace settings {
class CFGRecord;
}
namespace transfer {
class ExistingFileRule;
}

class TransferPage : public QWidget {
    Q_OBJECT
public:
    TransferPage(LocalFolderPanel* local, QWidget* parent = nullptr);
    ~TransferPage() override;

    FtpSession& session() const { return *m_session; }

    // Start-up: the remote deletion items hidden, the hidden calendar on today.
    void prepareStartUp();
    // The account from the settings record.
    void applySettings(const settings::CFGRecord& r);
    // The stored copy-from date on the calendar and its text; the remote list emptied.
    void applyCopyFromDate(const settings::CFGRecord& r);
    // The account into the settings record.
    void storeSettings(settings::CFGRecord& r) const;
    // The data connection and security choices and the trusted certificates live in this file
    // (tervane640.ini beside csv.cfg): the choices are read from it now.
    void setConnectionSettingsFile(const QString& path);
    // Writes the choices there ("Save Setting"). False when the file could not be written.
    bool saveConnectionSettings() const;
    // The date the next copy from date starts at, into the settings record.
    void storeCopyFromDate(settings::CFGRecord& r) const;
    // The remote file count shown.
    void showRemoteCount();
    // Logs on as the Connect button does (start-up), but asks nothing: where the Connect button would
    // ask (a server that refuses encryption, a certificate to decide on) it does not log on and says
    // why in the status bar.
    void connectNow();
    // "Setting": forgets, after a confirmation, what was remembered for the server in the account
    // group (encrypted log-ons seen, the permission to log on without encryption, the trusted
    // certificate).
    void forgetServerSecurity();
    // Start-up without an account to log on to: the page as a failed log-on leaves
    // it, disconnected and ready for Connect.
    void showDisconnected();
    // The one-second watch: a connection the server dropped ends the session.
    void watchConnection();
    // Exit: cancels a batch, ends the session, and asks for the window to close.
    void exitNow();
    // Another condition the timer's fetch waits for (the shell: no file being loaded).
    void setAutoFetchGate(std::function<bool()> gate);
    // Batches run unattended (a timer's): a different local file of a fetched name is kept and
    // reported, never replaced and never asked about.
    void setUnattended(bool on) { m_unattended = on; }
    bool unattended() const { return m_unattended; }

signals:
    // A text for the window's status bar.
    void statusText(const QString& text);
    // Connected or not, shown on the other pages too.
    // The connection's state and the text the page shows for it ("FTP Connected, TLS").
    void connectionShown(bool connected, const QString& text);
    // The Exit buttons of the other pages follow this page's Exit button.
    void exitEnabled(bool enabled);
    // Exit was chosen on this page.
    void exitRequested();
    // The session ended after Exit: the window closes.
    void closeRequested();
    // The CSV page's file list should show the files that arrived.
    void fileListStale();
    // The settings record should be written now (a complete copy from date).
    void saveSettingsRequested();
    // The timer's fetch brought or grew these day files (whole paths).
    void filesFetched(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private slots:
    // ---- session and remote browsing
    void ConnectBtnClick();
    void DisConnectBtnClick();
    void ExitBtnClick();
    void CancelBtn();
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
    void MonthCalendar1Click();
    void DeleteAllFTPButtonEnableClick();
    void DeleteFileFromFTP();
    void DeleteAllFilesFromFTP();
    void DeleteFTPdir();
    void MkDirFTPbtnClick();
    void RenameDirFTPbtnClick();
    // A fresh listing of the current remote folder.
    void FreshListing();

private:
    void buildRemoteGroup();
    void buildButtons();
    void buildAccount();
    void arrangePage();
    void connectEngine();
    void connectHandlers();
    void AllButtonsFalse();
    void AllButtonsTrue();
    void RestoreButtons();
    void setStatus(bool connected);
    void setBusyCursor(bool busy);
    bool connectedOrTell();
    bool refuseWhileBusy();
    void holdExitButtons(bool enabled);
    // Downloads one remote file; names the file in the error when it fails.
    void downloadOne(const QString& name, const QString& localPath, const char* verb);
    // Moves one file: download, verify, then delete remotely. "" when moved;
    // otherwise why the file stays on the server (the batch goes on).
    QString moveOne(const QString& name, const QString& localPath);
    // The rule for different local files of the fetched names, for one batch; ended by the returned
    // guard's going, which also tells what became of them (and of the files kept on the server).
    [[nodiscard]] std::shared_ptr<void> beginLocalFileRule(const QStringList* keptOnServer = nullptr);
    // Runs one file's transfer; true when Cancel, Exit or the close box ended it.
    bool stoppedByCancel(const std::function<void()>& transfer);
    // The size of a remote file in the last listing, -1 when it gave none.
    qint64 listedSize(const QString& name) const;
    void showRemainingAfterMove(const QStringList& moved);
    void notePartialDownloads();
    // A second remote entry of the batch that lands on a local name already written in it is not copied
    // (two server names shown alike, e.g. one in Latin-1 and one in UTF-8): false, and it is reported.
    bool claimTarget(const QString& localPath, const QString& name);
    // The report of the names claimed twice in the batch ("" when none); forgets them.
    QString sameNamesText();
    QSet<QString> m_batchTargets;
    bool m_logOnFailureTold = false; // an engine event already told why the log-on failed
    QStringList m_sameNames;
    // A status text shown at once (anything still waiting to be shown is dropped).
    void tell(const QString& text);
    // A status text of the kind every file of a batch brings: throttled while the session works.
    void tellOften(const QString& text);
    // The remote list's current entry follows a batch, throttled like tellOften.
    void followItem(int row);
    // The current entry set at once.
    void showItem(int row);
    // Shows the listing lines received so far in the lists and the listing box.
    void showListed();
    // Runs one remote folder command with the busy cursor, then lists the folder afresh.
    void remoteFolderCommand(const std::function<void()>& command);
    // The name in MakeDirFTP when connected, idle and not blank; otherwise tells why.
    bool newFolderName(QString& name);
    // The selected focus entry of the remote file list, or "" after telling why there is none.
    QString chosenRemoteFile();
    // The folder remote files are viewed from.
    QString viewFolder();
    // A certificate the system does not vouch for: a remembered one passes, otherwise the user decides.
    void NMFTP1CertificateCheck(const QSslCertificate& cert, const QStringList& problems, bool& accept);
    // The server refused AUTH TLS: stop where it did TLS before, else the user decides (once, always
    // for this server, cancel); the automatic log-on does not log on.
    void NMFTP1EncryptionRefused(const QString& reply, bool& inClear, QString& why);
    // Why the log-on stopped for its security, told where the log-on's starter looks.
    void tellSecurityStop(const QString& text);
    QString m_connectionSettings;  // tervane640.ini
    bool m_automaticLogon = false; // the log-on under way was not started by the user
    QString m_automaticStopReason; // why the automatic log-on did not ask and stopped
    AutoFetchPanel* m_autoFetch = nullptr;
    void buildAutoFetch();
    // Takes the lock of a batch's target folder (a fetch of the command line or a timer may hold it);
    // false, after telling the user, when it is held.
    bool lockFolderOrTell(fetch::FolderLock& lock);

    FtpSession* m_session = nullptr;
    LocalFolderPanel* m_local = nullptr;
    // The status text and the remote list's current entry, shown at most ten times a second while the
    // session works (a batch changes both several times per file).
    static constexpr int kQuickUpdateGapMs = 100;
    // The listing log keeps this many lines.
    static constexpr int kMemoLines = 20000;
    LatestOnly* m_statusShown = nullptr;
    LatestOnly* m_itemShown = nullptr;
    LatestOnly* m_listingShown = nullptr;
    // Listing lines received and not yet shown.
    struct Listed {
        QStringList files, folders, lines;
    } m_listed;
    QHash<QString, qint64> m_remoteSizes; // the listed sizes of the remote file list's entries
    bool m_busyCursor = false;
    bool m_unattended = false;
    std::shared_ptr<transfer::ExistingFileRule> m_existing; // during a batch
    bool m_sizeOnly = false;                                // a move compared sizes only (no MDTM)
    QString CopyFromDateText;                               // the copy-from date text shown in FromDateTime
    std::unique_ptr<class QTemporaryDir> m_viewDir;

    // Remote group.
    QGroupBox* GroupBox1 = nullptr;
    // Remote beside local, the transfer buttons between them; the calendar's column.
    QSplitter* Splitter = nullptr;
    QWidget *ButtonColumn = nullptr, *CalendarColumn = nullptr;
    QVBoxLayout* AutoFetchSlot = nullptr;
    QLineEdit* MakeDirFTP = nullptr;
    QPushButton *MkDirFTPbtn = nullptr, *RenameDirFTPbtn = nullptr;
    QCheckBox* DeleteAllFTPButtonEnable = nullptr;
    QLabel* RemoteFiles1cnt = nullptr;
    QLineEdit *sDirectory = nullptr, *sFile = nullptr;
    TLinkedListBox *FileListBoxFTPdir = nullptr, *FileListBoxFTP = nullptr;
    QMenu *PopupMenuListBox3 = nullptr, *PopupMenuFTPdir = nullptr;
    QAction *MenuItem1 = nullptr, *MenuItem2 = nullptr, *MenuItem3 = nullptr;
    // Transfer buttons and their Cancel twins.
    QPushButton *CopyFromDate = nullptr, *CopySelected = nullptr, *CopyAll = nullptr, *MoveSelected = nullptr,
                *MoveAll = nullptr;
    QPushButton *CopyFromDateCancel = nullptr, *CopySelectedCancel = nullptr, *CopyAllCancel = nullptr,
                *MoveSelectedCancel = nullptr, *MoveAllCancel = nullptr;
    QLabel* FromDateTime = nullptr;
    QCalendarWidget *MonthCalendar1 = nullptr, *MonthCalendar2 = nullptr;
    // Log and account.
    QFrame* Panel1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLineEdit *HostTxt = nullptr, *PortTxt = nullptr, *UserTxt = nullptr, *PassTxt = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLineEdit *ProxyServer = nullptr, *ProxyPort = nullptr;
    QComboBox *DataModeBox = nullptr, *SecurityBox = nullptr;
    QPushButton *ConnectBtn = nullptr, *DisConnectBtn = nullptr, *RefreshBtn = nullptr;
    QLineEdit* cSTATUS = nullptr;
    QPushButton* ExitBtn = nullptr;
};
