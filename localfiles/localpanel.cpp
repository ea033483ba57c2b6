// The local side of the transfer page (folder, files, count) and its file actions.
#include "localfiles/localpanel.h"

#include "localfiles/folderlists.h"
#include "platform/fit.h"
#include "platform/guarded.h"
#include "platform/latestonly.h"
#include "platform/platform.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <memory>

using layout::named;

namespace {
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};
const QString kNoFiles = QStringLiteral("No files        ");
} // namespace

QAction* MenuItemOf(QMenu* menu, const char* name, const char* caption) {
    QAction* a = menu->addAction(QString::fromLatin1(caption));
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QMenu* PopupMenuFor(QListWidget* list, const char* name) {
    auto* menu = new QMenu(list);
    menu->setObjectName(QString::fromLatin1(name));
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(list, &QWidget::customContextMenuRequested, menu,
                     [list, menu](const QPoint& pos) { menu->popup(list->viewport()->mapToGlobal(pos)); });
    return menu;
}

LocalFolderPanel::LocalFolderPanel(QWidget* parent) : QGroupBox(QStringLiteral("Local location"), parent) {
    setObjectName(QStringLiteral("GroupBox2"));
    QWidget* g = this;
    MakeDirPC = named(new QLineEdit(g), "MakeDirPC");
    MakeDirPC->setToolTip(QStringLiteral("Name of a new local folder"));
    MkDirPC = named(new QPushButton(QStringLiteral("MkDir"), g), "MkDirPC");
    QLabel* filesCaption = layout::caption(g, "Label9", QStringLiteral("Local Files"));
    LocalFiles1cnt = named(new QLabel(g), "LocalFiles1cnt");
    LocalFiles1cnt->setAccessibleName(QStringLiteral("Local file count"));
    QLabel* dirCaption = layout::caption(g, "Label10", QStringLiteral("Local Dir"));
    LocalFile = named(new QLineEdit(QStringLiteral("*.csv"), g), "LocalFile");
    LocalFile->setAccessibleName(QStringLiteral("Local Files mask"));
    DriveComboBox4 = named(new TDriveComboBox(g), "DriveComboBox4");
    DriveComboBox4->setAccessibleName(QStringLiteral("Drive"));
    FileListBoxPC = named(new TFileListBox(g), "FileListBoxPC");
    DirectoryListBoxPC = named(new TDirectoryListBox(g), "DirectoryListBoxPC");
    filesCaption->setBuddy(FileListBoxPC);
    dirCaption->setBuddy(DirectoryListBoxPC);

    // The file side (209 pixels at the design size) and the folder side (265) share more room alike.
    auto* grid = new QGridLayout(g);
    grid->setContentsMargins(8, 4, 8, 8);
    grid->setHorizontalSpacing(7);
    grid->setVerticalSpacing(3);
    grid->addWidget(MakeDirPC, 0, 0);
    grid->addWidget(MkDirPC, 0, 1, Qt::AlignLeft);
    auto* count = new QHBoxLayout;
    count->addWidget(filesCaption);
    count->addSpacing(10);
    count->addWidget(LocalFiles1cnt, 1);
    grid->addLayout(count, 1, 0);
    grid->addWidget(dirCaption, 1, 1);
    grid->addWidget(LocalFile, 2, 0);
    grid->addWidget(DriveComboBox4, 2, 1);
    grid->addWidget(FileListBoxPC, 3, 0);
    grid->addWidget(DirectoryListBoxPC, 3, 1);
    grid->setColumnStretch(0, 209);
    grid->setColumnStretch(1, 265);
    grid->setRowStretch(3, 1);
    MkDirPC->setMinimumWidth(52);
    FileListBoxPC->setMinimumSize(150, 120);
    DirectoryListBoxPC->setMinimumSize(180, 120);
    FileListBoxPC->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FileListBoxPC->setShowGlyphs(true);
    FileListBoxPC->setIconSize(QSize(12, 12));
    SetItemHeight(FileListBoxPC, 16);
    QFont courier;
    courier.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                         QStringLiteral("DejaVu Sans Mono")});
    courier.setPointSize(8);
    FileListBoxPC->setFont(courier);
    FileListBoxPC->setToolTip(QStringLiteral("Right button: delete files"));
    FileListBoxPC->setMask(QStringLiteral("*.csv"));
    FileListBoxPC->setFileEdit(LocalFile);
    DriveComboBox4->setDirList(DirectoryListBoxPC);
    DirectoryListBoxPC->setDriveCombo(DriveComboBox4);
    DriveComboBox4->setDrive(DriveComboBox4->driveOf(DirectoryListBoxPC->Directory()));
    DirectoryListBoxPC->setFileList(FileListBoxPC);
    connect(DirectoryListBoxPC, &TDirectoryListBox::changed, this,
            &LocalFolderPanel::DirectoryListBoxPCChange);
    connect(MkDirPC, &QPushButton::clicked, this, &LocalFolderPanel::MkDirPCClick);
    connect(FileListBoxPC, &TFileListBox::doubleClicked, this, &LocalFolderPanel::FileListBoxPCDblClick);

    PopupMenuListBox4 = PopupMenuFor(FileListBoxPC, "PopupMenuListBox4");
    Delete1 = MenuItemOf(PopupMenuListBox4, "Delete1", "Delete");
    DeleteAll1 = MenuItemOf(PopupMenuListBox4, "DeleteAll1", "Delete All");
    Refresh1 = MenuItemOf(PopupMenuListBox4, "Refresh1", "Refresh");
    connect(Delete1, &QAction::triggered, this, Guarded([this] { DeleteFilesFromPCClick(); }));
    connect(DeleteAll1, &QAction::triggered, this, Guarded([this] { DeleteAllFilesFromPC(); }));
    connect(Refresh1, &QAction::triggered, this, Guarded([this] { Refresh1Click(); }));
    showCount();
}

QString LocalFolderPanel::folder() const {
    return DirectoryListBoxPC->Directory();
}

void LocalFolderPanel::setFolder(const QString& dir) {
    if (DirectoryListBoxPC->Directory() != dir) DirectoryListBoxPC->setDirectory(dir);
}

int LocalFolderPanel::fileCount() const {
    return FileListBoxPC->count();
}

void LocalFolderPanel::showCount() {
    LocalFiles1cnt->setText(QString::number(FileListBoxPC->count()));
}

void LocalFolderPanel::rereadFiles() {
    FileListBoxPC->Update();
}

void LocalFolderPanel::RefreshLocalFiles() {
    if (!m_refreshShown) m_refreshShown = new LatestOnly(100, this);
    m_refreshShown->apply([this] {
        QElapsedTimer cost;
        cost.start();
        FileListBoxPC->Update();
        showCount();
        // The next re-read during a batch waits a tenth of a second, or twenty times
        // what this one took (a folder of thousands of files), so re-reading never
        // takes more than a twentieth of a batch.
        m_refreshShown->setGap(int(std::max<qint64>(100, 20 * cost.elapsed())));
    });
}

void LocalFolderPanel::LocalFilesChanged() {
    // A batch fetches many files a second; re-reading and repainting the local
    // list for each would cost more than the transfer.
    if (!m_refreshShown) {
        RefreshLocalFiles();
        return;
    }
    m_refreshShown->post([this] { RefreshLocalFiles(); });
}

void LocalFolderPanel::DirectoryListBoxPCChange() {
    const QString dir = DirectoryListBoxPC->Directory();
    emit folderChanged(dir);
    QDir::setCurrent(dir);
    RefreshLocalFiles();
}

void LocalFolderPanel::MkDirPCClick() {
    const QString name = MakeDirPC->text();
    if (name.isEmpty() || name.front() == QLatin1Char(' ')) {
        Platform::instance().showMessage(QStringLiteral("Name incorrect"));
        return;
    }
    // A name is one folder of the current folder: no separators, no "." or "..".
    const bool plain = !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
                       name != QLatin1String(".") && name != QLatin1String("..");
    QDir current(DirectoryListBoxPC->Directory());
    if (!plain || !current.mkdir(name)) {
        Platform::instance().showWarning(QStringLiteral("Warning"),
                                         QStringLiteral("Cannot create directory"));
        return;
    }
    DirectoryListBoxPC->Update();
    DirectoryListBoxPCChange();
    showCount();
}

void LocalFolderPanel::DeleteFilesFromPCClick() {
    Platform& platform = Platform::instance();
    bool seen = false;
    if (FileListBoxPC->count() == 0) {
        platform.showMessage(kNoFiles);
    } else {
        std::unique_ptr<BusyCursor> busy;
        bool answered = false;
        const QString dir = FileListBoxPC->Directory();
        const int n = std::min(FileListBoxPC->count(), 32768);
        for (int i = 0; i < n; ++i) {
            QListWidgetItem* item = FileListBoxPC->item(i);
            if (!item || !item->isSelected()) continue;
            seen = true;
            if (!busy) busy = std::make_unique<BusyCursor>();
            if (!answered) {
                busy.reset(); // the question is asked with the normal cursor
                if (platform.confirm(QStringLiteral("Delete all selected files ?")) != Platform::Answer::Yes)
                    break;
                answered = true;
                busy = std::make_unique<BusyCursor>();
            }
            // A file that cannot be deleted stays; the re-read shows it still listed.
            QFile::remove(JoinPath(dir, item->text()));
        }
    }
    if (!seen) {
        platform.showMessage(QStringLiteral("No file selected    "));
    } else {
        FileListBoxPC->clear();
        emit listsChanged();
    }
}

bool LocalFolderPanel::DeleteAllListed(TFileListBox* list) {
    if (list->count() == 0) return false;
    if (Platform::instance().confirm(QStringLiteral("Delete All ?")) != Platform::Answer::Yes) return false;
    BusyCursor busy;
    const QString dir = list->Directory();
    while (list->count() > 0) {
        QFile::remove(JoinPath(dir, list->item(0)->text()));
        delete list->takeItem(0);
    }
    return true;
}

void LocalFolderPanel::DeleteAllFilesFromPC() {
    if (DeleteAllListed(FileListBoxPC)) emit listsChanged();
}

void LocalFolderPanel::Refresh1Click() {
    emit listsChanged();
}

void LocalFolderPanel::FileListBoxPCDblClick() {
    Platform& platform = Platform::instance();
    if (FileListBoxPC->count() == 0) {
        platform.showMessage(kNoFiles);
        return;
    }
    QListWidgetItem* current = FileListBoxPC->currentItem();
    if (!current || !current->isSelected()) {
        platform.showMessage(QStringLiteral("No file selected"));
        return;
    }
    if (!platform.openInEditor(JoinPath(FileListBoxPC->Directory(), current->text())))
        platform.showMessage(QStringLiteral("No text editor could be started for ") + current->text());
}
