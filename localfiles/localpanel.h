// The local side of the transfer page: the local folder (drive box and folder
// list), its csv files with their count, making a folder, and the file list's
// actions. The folder it shows is the one every folder list of the window shares.
#pragma once

#include <QElapsedTimer>
#include <QGroupBox>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QListWidget;
class LatestOnly;
class TDirectoryListBox;
class TDriveComboBox;
class TFileListBox;

class LocalFolderPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit LocalFolderPanel(QWidget* parent = nullptr);

    // The folder shown (and the process's current folder).
    QString folder() const;
    // Shows another folder; the change is announced like a user's.
    void setFolder(const QString& dir);
    // Re-reads the file list and shows its count.
    void RefreshLocalFiles();
    // A file arrived in the folder during a batch: re-read soon.
    void LocalFilesChanged();
    // Re-reads the file list without showing the count (the window shows it once
    // every list has been re-read).
    void rereadFiles();
    // Shows the number of files listed.
    void showCount();
    // The start-up's view: the count of the files listed.
    int fileCount() const;

    // Deletes every file a list shows after one question, then tells listsChanged.
    static bool DeleteAllListed(TFileListBox* list);

signals:
    // The user chose another folder here: the other lists follow.
    void folderChanged(const QString& dir);
    // Files were deleted or a refresh was asked for: every list re-reads.
    void listsChanged();

private slots:
    void DirectoryListBoxPCChange();
    void MkDirPCClick();
    void DeleteFilesFromPCClick();
    void DeleteAllFilesFromPC();
    void Refresh1Click();
    void FileListBoxPCDblClick();

private:
    QLineEdit* MakeDirPC = nullptr;
    QPushButton* MkDirPC = nullptr;
    QLabel* LocalFiles1cnt = nullptr;
    QLineEdit* LocalFile = nullptr;
    TDriveComboBox* DriveComboBox4 = nullptr;
    TFileListBox* FileListBoxPC = nullptr;
    TDirectoryListBox* DirectoryListBoxPC = nullptr;
    QMenu* PopupMenuListBox4 = nullptr;
    QAction *Delete1 = nullptr, *DeleteAll1 = nullptr, *Refresh1 = nullptr;
    LatestOnly* m_refreshShown = nullptr; // re-reads of the list during a batch, throttled
};

// A list's pop-up menu; the menu pops up at the mouse on a right click.
QMenu* PopupMenuFor(QListWidget* list, const char* name);
// A menu item with its designed name.
QAction* MenuItemOf(QMenu* menu, const char* name, const char* caption);
