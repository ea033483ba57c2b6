// Folder and file list controls: a drive box listing the mounted volumes, a
// folder list showing the path of its folder and the subfolders, and a file
// list showing the files of a folder that match a mask.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QStringList>

class TDirectoryListBox;
class TFileListBox;

// Lists the mounted volumes, the root first. Choosing one moves its folder list there.
class TDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDriveComboBox(QWidget* parent = nullptr);
    void setDirList(TDirectoryListBox* list) { m_dirList = list; }
    // The volume root that holds `path`.
    QString driveOf(const QString& path) const;
    QString Drive() const { return currentData().toString(); }
    void setDrive(const QString& root);
    void reloadDrives();

private:
    TDirectoryListBox* m_dirList = nullptr;
    bool m_applying = false;
};

class TDirectoryListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TDirectoryListBox(QWidget* parent = nullptr);

    QString Directory() const { return m_dir; }
    // Opens a folder: the list and its file list show it, it becomes the process's
    // current folder, and changed() is raised when the folder differs.
    void setDirectory(const QString& path);
    // The volume root of the folder shown.
    QString Drive() const;
    void setFileList(TFileListBox* list);
    void setDriveCombo(TDriveComboBox* combo) { m_drive = combo; }
    // Re-reads the subfolders of the folder shown.
    void Update();

signals:
    void changed();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void openEntry(QListWidgetItem* item);
    QString m_dir;
    TFileListBox* m_fileList = nullptr;
    TDriveComboBox* m_drive = nullptr;
};

// A plain list of names with the file-list behaviour the window relies on: any
// click or double click is reported (on an entry or not, a double click after its
// click), and a linked edit shows the clicked entry's name when it is selected,
// else the mask.
class TLinkedListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TLinkedListBox(QWidget* parent = nullptr);
    void setLinkedEdit(QLineEdit* edit, const QString& mask);
    // The focus entry, which need not be selected; -1 when there is none.
    int ItemIndex() const { return currentRow(); }
    // Moves the focus entry without changing the selection.
    void setItemIndex(int i);
    // The focus entry's name when it is selected, else "".
    QString selectedFocusName() const;

signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    void updateEdit();
    QLineEdit* m_edit = nullptr;
    QString m_mask;
    bool m_afterDoubleClick = false;
};

class TFileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TFileListBox(QWidget* parent = nullptr);

    QString Mask() const { return m_mask; }
    // Mask like "*.csv" or "a*.csv;b*.txt", matched without regard to case. Re-reads.
    void setMask(const QString& mask);
    QString Directory() const { return m_dir; }
    void setDirectory(const QString& path);
    // Re-reads the folder; the folder becomes the process's current folder.
    void Update();
    // Full path of the selected file, or "" when none is selected.
    QString FileName() const;
    // The names listed, in order.
    QStringList names() const;
    // Selects the entry with this name (the only selected one). False when not listed.
    bool selectName(const QString& name);
    // Shows a file glyph before every name.
    void setShowGlyphs(bool on) { m_glyphs = on; }
    // An edit that shows the clicked entry's name when it is selected, else the mask.
    void setFileEdit(QLineEdit* edit);

signals:
    // Any double click on the list, on an entry or not.
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void updateFileEdit();
    QString m_mask = QStringLiteral("*.*");
    QString m_dir;
    bool m_glyphs = false;
    QLineEdit* m_edit = nullptr;
};

// Gives every entry of a list the same height in pixels.
void SetItemHeight(QListWidget* list, int pixels);

// "folder" + separator + "name", without doubling a separator the folder ends with.
QString JoinPath(const QString& folder, const QString& name);
