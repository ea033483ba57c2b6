// Copy and move to the local folder, copy from date, and the remote deletion
// and folder actions of the transfer page.
#include "app/application.h"
#include "app/mainwindow.h"
#include "app/platform/platform.h"
#include "app/settings/cfgrecord.h"
#include "ftp/nmftp.h"
#include "localfiles/folderlists.h"
#include "transfer/enginecall.h"
#include "transfer/transfercore.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <functional>

namespace {
const QString kNoConnection = QStringLiteral("No FTP connection. Please connect again");
constexpr int kWalkLimit = 32768;

// Lines of a file that end in LF; a server that sends text with other line ends
// than it stores them changes the size by one byte per line.
qint64 countLineFeeds(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    qint64 n = 0;
    char buf[65536];
    for (qint64 got; (got = f.read(buf, sizeof buf)) > 0;)
        n += std::count(buf, buf + got, '\n');
    return n;
}
} // namespace

void TForm1::connectBatches() {
    const struct {
        QPushButton* button;
        void (TForm1::*handler)();
    } clicks[] = {{CopySelected, &TForm1::CopySelectedClick},      {CopyAll, &TForm1::CopyAllClick},
                  {MoveSelected, &TForm1::MoveSelectedClick},      {MoveAll, &TForm1::MoveAllClick},
                  {CopyFromDate, &TForm1::CopyFromDateClick},      {MkDirFTPbtn, &TForm1::MkDirFTPbtnClick},
                  {RenameDirFTPbtn, &TForm1::RenameDirFTPbtnClick}};
    for (const auto& c : clicks)
        connect(c.button, &QPushButton::clicked, this, c.handler);
    connect(DeleteAllFTPButtonEnable, &QCheckBox::clicked, this, &TForm1::DeleteAllFTPButtonEnableClick);
    connect(MenuItem1, &QAction::triggered, this, Guarded([this] { DeleteFileFromFTP(); }));
    connect(MenuItem2, &QAction::triggered, this, Guarded([this] { DeleteAllFilesFromFTP(); }));
    connect(MenuItem3, &QAction::triggered, this, Guarded([this] { DeleteFTPdir(); }));
}

bool TForm1::connectedOrTell() {
    if (FtpConnected && NMFTP1->Connected()) return true;
    Platform::instance().showMessage(kNoConnection);
    return false;
}

bool TForm1::EngineBusy() const {
    return TransferBusy || m_engineCalls > 0;
}

bool TForm1::refuseWhileBusy() {
    if (!EngineBusy()) return false;
    Platform::instance().showMessage(
        QStringLiteral("A transfer is running. Wait until it has ended, or cancel it, and try again."));
    return true;
}

void TForm1::downloadOne(const QString& name, const QString& localPath, const char* verb) {
    try {
        NMFTP1->Download(name, localPath);
    } catch (const EAbortError&) {
        throw;
    } catch (const std::exception& e) {
        throw EError(QStringLiteral("%1 %2 failed: %3")
                         .arg(QString::fromLatin1(verb), name, QString::fromStdString(e.what()).trimmed()));
    }
}

bool TForm1::moveOne(const QString& name, const QString& localPath, const QStringList& keptSoFar) {
    // An error ends the batch: it names the file, and the earlier ones that stayed.
    const QString alsoKept =
        keptSoFar.isEmpty()
            ? QString()
            : QStringLiteral(" These files arrived incomplete and were left on the server too: ") +
                  keptSoFar.join(QStringLiteral(", "));
    try {
        NMFTP1->Download(name, localPath);
    } catch (const EAbortError&) {
        throw;
    } catch (const std::exception& e) {
        throw EError(QStringLiteral("Moving %1 failed, the file stays on the server: %2")
                         .arg(name, QString::fromStdString(e.what()).trimmed()) +
                     alsoKept);
    }
    // The remote file goes only when the local copy is whole: as many bytes as the
    // server announced (in text mode, one more per line is a change of line ends).
    const qint64 announced = NMFTP1->AnnouncedSize();
    if (announced > 0) {
        const qint64 local = QFileInfo(localPath).size();
        if (local != announced && local != announced + countLineFeeds(localPath)) return false;
    }
    try {
        NMFTP1->Delete(name);
    } catch (const EAbortError&) {
        throw;
    } catch (const std::exception& e) {
        throw EError(QStringLiteral("%1 was copied but could not be deleted on the server: %2")
                         .arg(name, QString::fromStdString(e.what()).trimmed()) +
                     alsoKept);
    }
    return true;
}

void TForm1::tellKeptOnServer(const QStringList& names) {
    if (names.isEmpty()) return;
    Platform::instance().showMessage(
        QStringLiteral("These files arrived incomplete and were left on the server: ") +
        names.join(QStringLiteral(", ")));
}

// ---------------------------------------------------------------- copy

void TForm1::CopySelectedClick() {
    // Another action is waiting on the server: this click changes nothing.
    if (EngineBusy()) return;
    if (!connectedOrTell()) {
        AllButtonsTrue();
        RestoreButtons();
        return;
    }
    EngineCall call(this);
    TransferBusy = true;
    bool taken = false;
    // However the walk ends, even by an engine error, the window is usable again.
    auto closing = qScopeGuard([this] {
        RefreshLocalFiles();
        setBusyCursor(false);
        TransferBusy = false;
        CancelRequested = false;
        AllButtonsTrue();
        RestoreButtons();
    });
    NMFTP1->SetTransferType(TNMFTP::TypeAscii);
    AllButtonsFalse();
    const bool empty = FileListBoxFTP->count() == 0;
    if (empty) {
        Platform::instance().showMessage(QStringLiteral("No files  "));
    } else {
        CopySelected->hide();
        CopySelectedCancel->show();
        const QString target = DirectoryListBoxPC->Directory();
        setBusyCursor(true);
        const int n = FileListBoxFTP->count();
        for (int i = 0; i < n && i < FileListBoxFTP->count(); ++i) {
            FileListBoxFTP->setItemIndex(i);
            QListWidgetItem* item = FileListBoxFTP->item(i);
            if (item->isSelected()) {
                taken = true;
                const QString name = item->text();
                NMFTP1->SetTransferType(TNMFTP::TypeAscii);
                downloadOne(name, JoinPath(target, name), "Copying");
                LocalFilesChanged();
            }
            if (i + 1 >= kWalkLimit || CancelRequested) break;
        }
        FileListBoxFTP->setItemIndex(0);
        setBusyCursor(false);
    }
    TransferBusy = false;
    CancelRequested = false;
    if (!empty && !taken) Platform::instance().showMessage(QStringLiteral("No file selected   "));
}

void TForm1::CopyAllClick() {
    if (!FtpConnected || EngineBusy()) return;
    EngineCall call(this);
    TransferBusy = true;
    setBusyCursor(true);
    auto closing = qScopeGuard([this] {
        RefreshLocalFiles();
        FileListBox1->Update();
        setBusyCursor(false);
        AllButtonsTrue();
        RefreshBtn->setEnabled(true);
        TransferBusy = false;
        CancelRequested = false;
        RestoreButtons();
    });
    if (FileListBoxFTP->count() == 0) {
        Platform::instance().showMessage(QStringLiteral("No files  "));
        return;
    }
    AllButtonsFalse();
    CopyAll->hide();
    CopyAllCancel->show();
    for (int i = 0; i < FileListBoxFTP->count(); ++i) {
        FileListBoxFTP->setItemIndex(i);
        const QString name = FileListBoxFTP->item(i)->text();
        downloadOne(name, QDir::current().absoluteFilePath(name), "Copying");
        LocalFilesChanged();
        if (CancelRequested) break;
    }
}

// ---------------------------------------------------------------- move

void TForm1::MoveSelectedClick() {
    if (EngineBusy() || !connectedOrTell()) return;
    if (Platform::instance().confirm(QStringLiteral("Move selected files ?")) != Platform::Answer::Yes)
        return;
    EngineCall call(this);
    setBusyCursor(true);
    TransferBusy = true;
    bool taken = false;
    QStringList kept;
    auto closing = qScopeGuard([this] {
        RefreshLocalFiles();
        setBusyCursor(false);
        CancelRequested = false;
        TransferBusy = false;
        AllButtonsTrue();
        RestoreButtons();
    });
    NMFTP1->SetTransferType(TNMFTP::TypeAscii);
    AllButtonsFalse();
    const bool empty = FileListBoxFTP->count() == 0;
    if (empty) {
        Platform::instance().showMessage(QStringLiteral("No files        "));
    } else {
        MoveSelected->hide();
        MoveSelectedCancel->show();
        const QString target = DirectoryListBoxPC->Directory();
        const int n = FileListBoxFTP->count();
        for (int i = 0; i < n && i < FileListBoxFTP->count(); ++i) {
            FileListBoxFTP->setItemIndex(i);
            QListWidgetItem* item = FileListBoxFTP->item(i);
            if (item->isSelected()) {
                taken = true;
                const QString name = item->text();
                if (!moveOne(name, JoinPath(target, name), kept)) kept << name;
                LocalFilesChanged();
            }
            if (i + 1 >= kWalkLimit || CancelRequested) break;
        }
        FileListBoxFTP->setItemIndex(0);
        FreshListing();
        setBusyCursor(false);
        RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
    }
    if (!empty && !taken) Platform::instance().showMessage(QStringLiteral("No file selected   "));
    if (CancelRequested) {
        FreshListing();
        RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
        RefreshLocalFiles();
    }
    tellKeptOnServer(kept);
}

void TForm1::MoveAllClick() {
    if (EngineBusy() || !connectedOrTell()) return;
    if (FileListBoxFTP->count() == 0) {
        Platform::instance().showMessage(QStringLiteral("No files        "));
        return;
    }
    if (Platform::instance().confirm(QStringLiteral("Move all files ?")) != Platform::Answer::Yes) return;
    EngineCall call(this);
    setBusyCursor(true);
    TransferBusy = true;
    QStringList kept;
    auto closing = qScopeGuard([this] {
        RefreshLocalFiles();
        setBusyCursor(false);
        CancelRequested = false;
        TransferBusy = false;
        AllButtonsTrue();
        RestoreButtons();
    });
    AllButtonsFalse();
    MoveAll->hide();
    MoveAllCancel->show();
    bool anyKept = false;
    for (int i = 0; i < FileListBoxFTP->count(); ++i) {
        FileListBoxFTP->setItemIndex(i);
        const QString name = FileListBoxFTP->item(i)->text();
        if (!moveOne(name, QDir::current().absoluteFilePath(name), kept)) kept << name;
        LocalFilesChanged();
        if (CancelRequested) break;
    }
    anyKept = !kept.isEmpty();
    RefreshLocalFiles();
    FileListBox1->Update();
    FileListBoxFTP->clear();
    RemoteFiles1cnt->setText(QStringLiteral("0"));
    // After a cancel, or when files stayed on the server, show what is left there.
    if (CancelRequested || anyKept) {
        FreshListing();
        RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
        RefreshLocalFiles();
    }
    tellKeptOnServer(kept);
}

// ---------------------------------------------------------------- copy from date

void TForm1::CopyFromDateClick() {
    if (EngineBusy()) return;
    auto finish = qScopeGuard([this] {
        AllButtonsTrue();
        RestoreButtons();
        CancelRequested = false;
    });
    if (!connectedOrTell()) return;
    EngineCall call(this);
    TransferBusy = true;
    auto closing = qScopeGuard([this] {
        RefreshLocalFiles();
        setBusyCursor(false);
        TransferBusy = false;
    });
    NMFTP1->SetTransferType(TNMFTP::TypeAscii);
    bool fetched = false;
    const int n = FileListBoxFTP->count();
    AllButtonsFalse();
    QString usedText = CopyFromDateText;
    if (n == 0) {
        Platform::instance().showMessage(QStringLiteral("No files  "));
        return;
    }
    CopyFromDate->hide();
    CopyFromDateCancel->show();
    const QString target = DirectoryListBoxPC->Directory();
    setBusyCursor(true);
    for (int i = 0; i < n && i < FileListBoxFTP->count(); ++i) {
        FileListBoxFTP->setItemIndex(i);
        // The key is taken anew for every entry: a click on the calendar during the walk counts.
        const QDate from = MonthCalendar1->selectedDate();
        usedText = transfer::DateText(from);
        const QString name = FileListBoxFTP->item(i)->text();
        if (transfer::NameFromKeyOn(name, transfer::CopyFromKey(from))) {
            fetched = true;
            NMFTP1->SetTransferType(TNMFTP::TypeAscii);
            downloadOne(name, JoinPath(target, name), "Copying");
            LocalFilesChanged();
        }
        if (i + 1 >= kWalkLimit || CancelRequested) break;
    }
    const bool complete = !CancelRequested && FtpConnected && FileListBoxFTP->count() == n;
    if (complete) {
        // A complete walk: the next run fetches what came since today.
        MonthCalendar2->setSelectedDate(QDate::currentDate());
        CFGRecord->setCopyFromDate(settings::DateToDayNumber(MonthCalendar2->selectedDate()));
        CopyFromDateText = transfer::DateText(MonthCalendar2->selectedDate());
        MonthCalendar1->setSelectedDate(MonthCalendar2->selectedDate());
        FromDateTime->setText(CopyFromDateText);
        SaveCFGFile(QString::fromLatin1(settings::kCfgFileName));
    }
    FileListBoxFTP->setItemIndex(0);
    setBusyCursor(false);
    TransferBusy = false;
    if (!fetched)
        Platform::instance().showMessage(QStringLiteral("No files ") + usedText +
                                         QStringLiteral(" and after "));
}

// ---------------------------------------------------------------- remote deletion and folders

void TForm1::DeleteAllFTPButtonEnableClick() {
    const bool on = DeleteAllFTPButtonEnable->isChecked();
    MenuItem1->setVisible(on);
    MenuItem2->setVisible(on);
}

void TForm1::DeleteFileFromFTP() {
    if (!(FtpConnected && NMFTP1->Connected() && DeleteAllFTPButtonEnable->isChecked())) return;
    if (refuseWhileBusy()) return;
    if (Platform::instance().confirm(QStringLiteral("Delete selected file ? ")) != Platform::Answer::Yes)
        return;
    EngineCall call(this);
    // The focus entry goes, selected or not; with an empty list nothing does.
    const int i = FileListBoxFTP->ItemIndex();
    if (i >= 0 && i < FileListBoxFTP->count()) {
        const QString name = FileListBoxFTP->item(i)->text();
        if (!name.isEmpty()) NMFTP1->Delete(name);
    }
    FreshListing();
    RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
}

void TForm1::DeleteAllFilesFromFTP() {
    if (!(FtpConnected && NMFTP1->Connected() && DeleteAllFTPButtonEnable->isChecked() &&
          FileListBoxFTP->count() > 0))
        return;
    if (refuseWhileBusy()) return;
    if (Platform::instance().confirm(QStringLiteral("Delete All ?")) != Platform::Answer::Yes) return;
    EngineCall call(this);
    setBusyCursor(true);
    auto normal = qScopeGuard([this] { setBusyCursor(false); });
    for (int i = 0; i < FileListBoxFTP->count(); ++i) {
        const QString name = FileListBoxFTP->item(i)->text();
        if (!name.isEmpty()) NMFTP1->Delete(name);
    }
    FreshListing();
    RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
}

void TForm1::remoteFolderCommand(const std::function<void()>& command) {
    EngineCall call(this);
    setBusyCursor(true);
    auto normal = qScopeGuard([this] { setBusyCursor(false); });
    command();
    FreshListing();
}

bool TForm1::newFolderName(QString& name) {
    if (!connectedOrTell() || refuseWhileBusy()) return false;
    name = MakeDirFTP->text();
    if (!name.isEmpty() && name.front() != QLatin1Char(' ')) return true;
    Platform::instance().showMessage(QStringLiteral("Name incorrect"));
    return false;
}

void TForm1::DeleteFTPdir() {
    if (!DeleteAllFTPButtonEnable->isChecked()) return;
    if (!connectedOrTell()) return;
    if (refuseWhileBusy()) return;
    const QString name = sDirectory->text();
    if (name.isEmpty() || name.front() == QLatin1Char(' ') || name == QLatin1String("*.*") ||
        name == QLatin1String("..") || name == QLatin1String(".")) {
        Platform::instance().showMessage(QStringLiteral("Directory not selected "));
        return;
    }
    remoteFolderCommand([&] { NMFTP1->RemoveDir(name); });
}

void TForm1::MkDirFTPbtnClick() {
    QString name;
    if (newFolderName(name)) remoteFolderCommand([&] { NMFTP1->MakeDir(name); });
}

void TForm1::RenameDirFTPbtnClick() {
    QString name;
    if (newFolderName(name)) remoteFolderCommand([&] { NMFTP1->Rename(sDirectory->text(), name); });
}
