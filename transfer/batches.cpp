// SPDX-License-Identifier: GPL-3.0-or-later
// Copy and move to the local folder, copy from date, and the remote deletion
// and folder actions of the transfer page.
#include "transfer/transferpage.h"

#include "fetch/folderlock.h"
#include "ftp/nmftp.h"
#include "localfiles/folderlists.h"
#include "localfiles/localpanel.h"
#include "platform/platform.h"
#include "transfer/ftpsession.h"
#include "transfer/transfercore.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>

using transfer::Batch;

namespace {
const QString kNoConnection = QStringLiteral("No FTP connection. Please connect again");
// Why a file of a move stays on the server when another one of its shown name was moved before.
const QString kSameName = QStringLiteral("another file is shown under this name");
} // namespace

bool TransferPage::connectedOrTell() {
    if (m_session->FtpConnected && m_session->NMFTP1->Connected()) return true;
    Platform::instance().showMessage(kNoConnection);
    return false;
}

bool TransferPage::refuseWhileBusy() {
    if (!m_session->EngineBusy()) return false;
    Platform::instance().showMessage(
        QStringLiteral("A transfer is running. Wait until it has ended, or cancel it, and try again."));
    return true;
}

bool TransferPage::stoppedByCancel(const std::function<void()>& transfer) {
    try {
        transfer();
        return false;
    } catch (...) {
        // Cancel, Exit or the close box ended the file under way: the batch stops
        // there quietly; the engine has removed the partial file.
        if (m_session->CancelRequested) {
            // A session the abort had to close is shown closed as soon as the batch has unwound.
            if (!m_session->NMFTP1->Connected())
                QMetaObject::invokeMethod(this, &TransferPage::watchConnection, Qt::QueuedConnection);
            tell(m_session->NMFTP1->Connected()
                     ? QStringLiteral("Cancelled: the file under way was not copied")
                     : QStringLiteral("Cancelled: the file under way was not copied; the server did not "
                                      "answer the abort in time, so the session was closed: log on again"));
            return true;
        }
        throw;
    }
}

qint64 TransferPage::listedSize(const QString& name) const {
    return m_remoteSizes.value(name, -1);
}

bool TransferPage::claimTarget(const QString& localPath, const QString& name) {
    if (!m_batchTargets.contains(localPath)) {
        m_batchTargets.insert(localPath);
        return true;
    }
    m_sameNames << name;
    tell(QStringLiteral("%1: another file on the server is shown under this name; it was not copied")
             .arg(name));
    return false;
}

QString TransferPage::sameNamesText() {
    QString text;
    if (!m_sameNames.isEmpty())
        text =
            QStringLiteral("Two files on the server are shown under the same name (their names differ only "
                           "in their encoding); only the first was copied, the other stays on the server: ") +
            m_sameNames.join(QStringLiteral(", "));
    m_sameNames.clear();
    m_batchTargets.clear();
    return text;
}

// What is left on the server after a move. A cancelled batch says nothing more to the server (it may be
// slow, or the session closed by the cancel): the files moved leave the list, the others stay.
void TransferPage::showRemainingAfterMove(const QStringList& moved) {
    if (!m_session->CancelRequested && m_session->NMFTP1->Connected()) {
        FreshListing();
    } else {
        // One entry per file moved: another entry shown under the same name stays.
        for (const QString& name : moved) {
            const QList<QListWidgetItem*> items = FileListBoxFTP->findItems(name, Qt::MatchExactly);
            if (!items.isEmpty()) delete FileListBoxFTP->takeItem(FileListBoxFTP->row(items.first()));
        }
    }
    showRemoteCount();
}

void TransferPage::downloadOne(const QString& name, const QString& localPath, const char* verb) {
    if (!claimTarget(localPath, name)) return;
    // A plain copy replaces nothing until it is complete; it need not wait for the disk.
    m_session->NMFTP1->setSyncDownloads(false);
    try {
        m_session->NMFTP1->Download(name, localPath, listedSize(name));
    } catch (const EAbortError&) {
        throw;
    } catch (const std::exception& e) {
        if (m_session->CancelRequested) throw;
        const QString text =
            QStringLiteral("%1 %2 failed: %3")
                .arg(QString::fromLatin1(verb), name, QString::fromStdString(e.what()).trimmed());
        tell(text);
        throw EError(text);
    }
}

QString TransferPage::moveOne(const QString& name, const QString& localPath) {
    if (!claimTarget(localPath, name)) return kSameName;
    // The server's copy goes only after the local one is verified: the size the
    // server gave was received in full and the file is on the disk; and only when
    // the server's file did not change meanwhile and is not being written still.
    m_session->NMFTP1->setSyncDownloads(true);
    transfer::RemoteSample before, after;
    // A failure with the connection gone ends the batch; otherwise the file stays
    // on the server and the next one is moved.
    const auto failed = [&](const QString& text) {
        if (m_session->CancelRequested) throw;
        tell(text);
        if (!m_session->NMFTP1->Connected()) throw EError(text);
    };
    try {
        before.modified = m_session->NMFTP1->RemoteModified(name);
        m_session->NMFTP1->Download(name, localPath, listedSize(name));
    } catch (const EAbortError&) {
        throw;
    } catch (const std::exception& e) {
        const QString why = QString::fromStdString(e.what()).trimmed();
        failed(m_session->NMFTP1->Connected()
                   ? QStringLiteral("Moving %1 failed: %2").arg(name, why)
                   : QStringLiteral("Moving %1 failed, the file stays on the server: %2").arg(name, why));
        return why;
    }
    const TDownloadResult& result = m_session->NMFTP1->LastDownload();
    if (!result.verified()) return result.unverifiedReason();
    if (result.source == TDownloadResult::SizeCommand) before.size = result.expected;
    try {
        after.size = m_session->NMFTP1->RemoteSize(name);
        after.modified = m_session->NMFTP1->RemoteModified(name);
    } catch (const EAbortError&) {
        throw;
    } catch (const std::exception& e) {
        const QString why = QString::fromStdString(e.what()).trimmed();
        failed(QStringLiteral("%1 was copied and stays on the server: %2").arg(name, why));
        return why;
    }
    const QString stays = transfer::RemoteStaysReason(before, after, QDateTime::currentDateTimeUtc());
    if (!stays.isEmpty()) return stays;
    if (!before.modified.isValid()) m_sizeOnly = true;
    // A cancel holds until the batch has stopped: no deletion follows it.
    if (m_session->CancelRequested) throw EAbortError(QStringLiteral("Cancelled before deleting ") + name);
    try {
        m_session->NMFTP1->Delete(name);
    } catch (const EAbortError&) {
        throw;
    } catch (const std::exception& e) {
        throw EError(QStringLiteral("%1 was copied but could not be deleted on the server: %2")
                         .arg(name, QString::fromStdString(e.what()).trimmed()));
    }
    return {};
}

std::shared_ptr<void> TransferPage::beginLocalFileRule(const QStringList* keptOnServer) {
    transfer::ExistingFileRule::Ask ask;
    if (!m_unattended)
        ask = [](const QString& question) {
            const Platform::ExistingFileChoice c = Platform::instance().askExistingFile(question);
            transfer::ExistingFileRule::Answer a;
            a.forRest = c.forRest;
            a.choice =
                c.answer == Platform::ExistingFileAnswer::KeepLocal ? transfer::ExistingFileChoice::KeepLocal
                : c.answer == Platform::ExistingFileAnswer::Replace ? transfer::ExistingFileChoice::Replace
                                                                    : transfer::ExistingFileChoice::KeepBoth;
            return a;
        };
    m_existing = std::make_shared<transfer::ExistingFileRule>(ask);
    m_batchTargets.clear();
    m_sizeOnly = false;
    m_session->NMFTP1->setCommitCheck(
        [this, rule = m_existing](const QString& downloaded, const QString& local) {
            const transfer::CommitDecision d = rule->decide(downloaded, local);
            if (!d.note.isEmpty()) tell(d.note);
            return TCommitPlan{d.replace, d.keepLocalAs};
        });
    // However the batch ends (an engine error included), the user learns where every file went.
    return std::shared_ptr<void>(nullptr, [this, keptOnServer](void*) {
        m_session->NMFTP1->setCommitCheck({});
        QStringList report = m_existing->notes();
        if (keptOnServer && !keptOnServer->isEmpty()) report << transfer::StayedOnServerText(*keptOnServer);
        if (m_sizeOnly) report << QString::fromLatin1(transfer::kSizeOnlyNote);
        if (const QString same = sameNamesText(); !same.isEmpty()) report << same;
        m_existing.reset();
        if (report.isEmpty()) return;
        if (m_unattended)
            tell(report.join(QLatin1Char(' ')));
        else
            Platform::instance().showMessage(report.join(QLatin1Char('\n')));
    });
}

// ---------------------------------------------------------------- copy

void TransferPage::CopySelectedClick() {
    // Another action is waiting on the server: this click changes nothing.
    if (m_session->EngineBusy()) return;
    if (!connectedOrTell()) {
        AllButtonsTrue();
        RestoreButtons();
        return;
    }
    FtpSession::Call call(m_session);
    m_session->TransferBusy = true;
    bool taken = false;
    // However the walk ends, even by an engine error, the window is usable again.
    auto closing = qScopeGuard([this] {
        m_local->RefreshLocalFiles();
        setBusyCursor(false);
        m_session->TransferBusy = false;
        m_session->CancelRequested = false;
        AllButtonsTrue();
        RestoreButtons();
    });
    const auto localFiles = beginLocalFileRule();
    AllButtonsFalse();
    const bool empty = FileListBoxFTP->count() == 0;
    if (empty) {
        Platform::instance().showMessage(QStringLiteral("No files  "));
    } else {
        CopySelected->hide();
        CopySelectedCancel->show();
        const QString target = m_local->folder();
        fetch::FolderLock lock(target);
        if (!lockFolderOrTell(lock)) return;
        setBusyCursor(true);
        const int n = FileListBoxFTP->count();
        for (int i = 0; i < n && i < FileListBoxFTP->count(); ++i) {
            followItem(i);
            QListWidgetItem* item = FileListBoxFTP->item(i);
            if (transfer::BatchTakes(Batch::CopySelected, item->text(), item->isSelected())) {
                taken = true;
                const QString name = item->text();
                if (stoppedByCancel([&] { downloadOne(name, JoinPath(target, name), "Copying"); })) break;
                m_local->LocalFilesChanged();
            }
            if (!transfer::WalkGoesOn(Batch::CopySelected, i, m_session->CancelRequested)) break;
        }
        showItem(0);
        setBusyCursor(false);
    }
    m_session->TransferBusy = false;
    m_session->CancelRequested = false;
    if (!empty && !taken) Platform::instance().showMessage(QStringLiteral("No file selected   "));
}

void TransferPage::CopyAllClick() {
    if (!m_session->FtpConnected || m_session->EngineBusy()) return;
    FtpSession::Call call(m_session);
    m_session->TransferBusy = true;
    setBusyCursor(true);
    auto closing = qScopeGuard([this] {
        m_local->RefreshLocalFiles();
        emit fileListStale();
        setBusyCursor(false);
        AllButtonsTrue();
        RefreshBtn->setEnabled(true);
        m_session->TransferBusy = false;
        m_session->CancelRequested = false;
        RestoreButtons();
    });
    const auto localFiles = beginLocalFileRule();
    if (FileListBoxFTP->count() == 0) {
        Platform::instance().showMessage(QStringLiteral("No files  "));
        return;
    }
    fetch::FolderLock lock(QDir::currentPath());
    if (!lockFolderOrTell(lock)) return;
    AllButtonsFalse();
    CopyAll->hide();
    CopyAllCancel->show();
    const QString target = m_local->folder(); // taken once: a click on the folder list meanwhile counts not
    for (int i = 0; i < FileListBoxFTP->count(); ++i) {
        followItem(i);
        const QString name = FileListBoxFTP->item(i)->text();
        if (stoppedByCancel([&] { downloadOne(name, JoinPath(target, name), "Copying"); })) break;
        m_local->LocalFilesChanged();
        if (!transfer::WalkGoesOn(Batch::CopyAll, i, m_session->CancelRequested)) break;
    }
}

// ---------------------------------------------------------------- move

void TransferPage::MoveSelectedClick() {
    if (m_session->EngineBusy() || !connectedOrTell()) return;
    if (Platform::instance().confirm(QStringLiteral("Move selected files ?")) != Platform::Answer::Yes)
        return;
    FtpSession::Call call(m_session);
    setBusyCursor(true);
    m_session->TransferBusy = true;
    bool taken = false;
    QStringList kept, moved;
    auto closing = qScopeGuard([this] {
        m_local->RefreshLocalFiles();
        setBusyCursor(false);
        m_session->CancelRequested = false;
        m_session->TransferBusy = false;
        AllButtonsTrue();
        RestoreButtons();
    });
    const auto localFiles = beginLocalFileRule(&kept);
    AllButtonsFalse();
    const bool empty = FileListBoxFTP->count() == 0;
    if (empty) {
        Platform::instance().showMessage(QStringLiteral("No files        "));
    } else {
        MoveSelected->hide();
        MoveSelectedCancel->show();
        const QString target = m_local->folder();
        fetch::FolderLock lock(target);
        if (!lockFolderOrTell(lock)) return;
        const int n = FileListBoxFTP->count();
        for (int i = 0; i < n && i < FileListBoxFTP->count(); ++i) {
            followItem(i);
            QListWidgetItem* item = FileListBoxFTP->item(i);
            if (transfer::BatchTakes(Batch::MoveSelected, item->text(), item->isSelected())) {
                taken = true;
                const QString name = item->text();
                QString why;
                if (stoppedByCancel([&] { why = moveOne(name, JoinPath(target, name)); })) break;
                if (!why.isEmpty() && why != kSameName) kept << transfer::StayedEntry(name, why);
                if (why.isEmpty()) moved << name;
                m_local->LocalFilesChanged();
            }
            if (!transfer::WalkGoesOn(Batch::MoveSelected, i, m_session->CancelRequested)) break;
        }
        showItem(0);
        showRemainingAfterMove(moved);
        setBusyCursor(false);
    }
    if (!empty && !taken) Platform::instance().showMessage(QStringLiteral("No file selected   "));
}

void TransferPage::MoveAllClick() {
    if (m_session->EngineBusy() || !connectedOrTell()) return;
    if (FileListBoxFTP->count() == 0) {
        Platform::instance().showMessage(QStringLiteral("No files        "));
        return;
    }
    if (Platform::instance().confirm(QStringLiteral("Move all files ?")) != Platform::Answer::Yes) return;
    FtpSession::Call call(m_session);
    setBusyCursor(true);
    m_session->TransferBusy = true;
    QStringList kept;
    auto closing = qScopeGuard([this] {
        m_local->RefreshLocalFiles();
        setBusyCursor(false);
        m_session->CancelRequested = false;
        m_session->TransferBusy = false;
        AllButtonsTrue();
        RestoreButtons();
    });
    fetch::FolderLock lock(QDir::currentPath());
    if (!lockFolderOrTell(lock)) return;
    const auto localFiles = beginLocalFileRule(&kept);
    AllButtonsFalse();
    MoveAll->hide();
    MoveAllCancel->show();
    QStringList moved;
    const QString target = m_local->folder(); // taken once: a click on the folder list meanwhile counts not
    for (int i = 0; i < FileListBoxFTP->count(); ++i) {
        followItem(i);
        const QString name = FileListBoxFTP->item(i)->text();
        QString why;
        if (stoppedByCancel([&] { why = moveOne(name, JoinPath(target, name)); })) break;
        if (!why.isEmpty() && why != kSameName) kept << transfer::StayedEntry(name, why);
        if (why.isEmpty()) moved << name;
        m_local->LocalFilesChanged();
        if (!transfer::WalkGoesOn(Batch::MoveAll, i, m_session->CancelRequested)) break;
    }
    m_local->RefreshLocalFiles();
    emit fileListStale();
    // After a cancel, or when files stayed on the server, show what is left there.
    if (kept.isEmpty() && moved.size() == FileListBoxFTP->count() && !m_session->CancelRequested) {
        FileListBoxFTP->clear();
        showRemoteCount();
    } else {
        showRemainingAfterMove(moved);
    }
}

// ---------------------------------------------------------------- copy from date

void TransferPage::CopyFromDateClick() {
    if (m_session->EngineBusy()) return;
    auto finish = qScopeGuard([this] {
        AllButtonsTrue();
        RestoreButtons();
        m_session->CancelRequested = false;
    });
    if (!connectedOrTell()) return;
    FtpSession::Call call(m_session);
    m_session->TransferBusy = true;
    auto closing = qScopeGuard([this] {
        m_local->RefreshLocalFiles();
        setBusyCursor(false);
        m_session->TransferBusy = false;
    });
    const auto localFiles = beginLocalFileRule();
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
    const QString target = m_local->folder();
    fetch::FolderLock lock(target);
    if (!lockFolderOrTell(lock)) return;
    setBusyCursor(true);
    int walked = 0;
    for (int i = 0; i < n && i < FileListBoxFTP->count(); ++i) {
        followItem(i);
        // The key is taken anew for every entry: a click on the calendar during the walk counts.
        const QDate from = MonthCalendar1->selectedDate();
        usedText = transfer::DateText(from);
        const QString name = FileListBoxFTP->item(i)->text();
        if (transfer::BatchTakes(Batch::CopyFromDate, name, false, from)) {
            fetched = true;
            if (stoppedByCancel([&] { downloadOne(name, JoinPath(target, name), "Copying"); })) break;
            m_local->LocalFilesChanged();
        }
        walked = i + 1;
        if (!transfer::WalkGoesOn(Batch::CopyFromDate, i, m_session->CancelRequested)) break;
    }
    // A walk stopped at its entry limit left entries unseen: the stored date stays for the next run.
    bool complete =
        walked == n && transfer::CopyFromDateComplete(m_session->CancelRequested, m_session->FtpConnected, n,
                                                      FileListBoxFTP->count());
    if (complete && !m_session->NMFTP1->ListingComplete()) {
        // The walk went over a listing that may be cut short: its date stays for the next run.
        complete = false;
        tell(QStringLiteral("The remote listing may be incomplete (it ended without the TLS close): the "
                            "copy-from date was not moved on"));
    }
    if (complete) {
        // A complete walk: the next run fetches what came since today.
        MonthCalendar2->setSelectedDate(QDate::currentDate());
        CopyFromDateText = transfer::DateText(MonthCalendar2->selectedDate());
        MonthCalendar1->setSelectedDate(MonthCalendar2->selectedDate());
        FromDateTime->setText(CopyFromDateText);
        emit saveSettingsRequested();
    }
    showItem(0);
    setBusyCursor(false);
    m_session->TransferBusy = false;
    if (!fetched)
        Platform::instance().showMessage(QStringLiteral("No files ") + usedText +
                                         QStringLiteral(" and after "));
}

// ---------------------------------------------------------------- remote deletion and folders

void TransferPage::DeleteAllFTPButtonEnableClick() {
    const bool on = DeleteAllFTPButtonEnable->isChecked();
    MenuItem1->setVisible(on);
    MenuItem2->setVisible(on);
}

void TransferPage::DeleteFileFromFTP() {
    if (!(m_session->FtpConnected && m_session->NMFTP1->Connected() && DeleteAllFTPButtonEnable->isChecked()))
        return;
    if (refuseWhileBusy()) return;
    if (Platform::instance().confirm(QStringLiteral("Delete selected file ? ")) != Platform::Answer::Yes)
        return;
    FtpSession::Call call(m_session);
    // The focus entry goes, selected or not; with an empty list nothing does.
    const int i = FileListBoxFTP->ItemIndex();
    if (i >= 0 && i < FileListBoxFTP->count()) {
        const QString name = FileListBoxFTP->item(i)->text();
        if (!name.isEmpty()) m_session->NMFTP1->Delete(name);
    }
    FreshListing();
    RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
}

void TransferPage::DeleteAllFilesFromFTP() {
    if (!(m_session->FtpConnected && m_session->NMFTP1->Connected() &&
          DeleteAllFTPButtonEnable->isChecked() && FileListBoxFTP->count() > 0))
        return;
    if (refuseWhileBusy()) return;
    if (Platform::instance().confirm(QStringLiteral("Delete All ?")) != Platform::Answer::Yes) return;
    FtpSession::Call call(m_session);
    setBusyCursor(true);
    auto normal = qScopeGuard([this] { setBusyCursor(false); });
    for (int i = 0; i < FileListBoxFTP->count(); ++i) {
        const QString name = FileListBoxFTP->item(i)->text();
        if (!name.isEmpty()) m_session->NMFTP1->Delete(name);
    }
    FreshListing();
    RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
}

void TransferPage::remoteFolderCommand(const std::function<void()>& command) {
    FtpSession::Call call(m_session);
    setBusyCursor(true);
    auto normal = qScopeGuard([this] { setBusyCursor(false); });
    command();
    FreshListing();
}

bool TransferPage::newFolderName(QString& name) {
    if (!connectedOrTell() || refuseWhileBusy()) return false;
    name = MakeDirFTP->text();
    if (!name.isEmpty() && name.front() != QLatin1Char(' ')) return true;
    Platform::instance().showMessage(QStringLiteral("Name incorrect"));
    return false;
}

void TransferPage::DeleteFTPdir() {
    if (!DeleteAllFTPButtonEnable->isChecked()) return;
    if (!connectedOrTell()) return;
    if (refuseWhileBusy()) return;
    const QString name = sDirectory->text();
    if (name.isEmpty() || name.front() == QLatin1Char(' ') || name == QLatin1String("*.*") ||
        name == QLatin1String("..") || name == QLatin1String(".")) {
        Platform::instance().showMessage(QStringLiteral("Directory not selected "));
        return;
    }
    remoteFolderCommand([&] { m_session->NMFTP1->RemoveDir(name); });
}

void TransferPage::MkDirFTPbtnClick() {
    QString name;
    if (newFolderName(name)) remoteFolderCommand([&] { m_session->NMFTP1->MakeDir(name); });
}

void TransferPage::RenameDirFTPbtnClick() {
    QString name;
    if (newFolderName(name))
        remoteFolderCommand([&] { m_session->NMFTP1->Rename(sDirectory->text(), name); });
}
