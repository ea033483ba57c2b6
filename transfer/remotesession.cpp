// The FTP session of the transfer page: connect, disconnect, the connection
// watch, Exit, and remote browsing.
#include "transfer/transferpage.h"

#include "ftp/nmftp.h"
#include "localfiles/folderlists.h"
#include "platform/latestonly.h"
#include "platform/platform.h"
#include "transfer/connectionsettings.h"
#include "transfer/ftpsession.h"
#include "transfer/transfercore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>

namespace {
// Reads a whole number from a port box; a clear message when it is not one.
bool portNumber(const QString& text, const QString& what, int& out) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < 1 || v > 65535) {
        Platform::instance().showMessage(
            QStringLiteral("The %1 \"%2\" is not a port number (a whole number from 1 to 65535)")
                .arg(what, text));
        return false;
    }
    out = v;
    return true;
}
} // namespace

// ---------------------------------------------------------------- connect and disconnect

void TransferPage::ConnectBtnClick() {
    if (m_session->EngineBusy()) return; // another action waits on the connection
    FtpSession::Call call(m_session);
    m_session->ExitRequested = false;
    if (!m_session->FtpConnected) {
        for (QPushButton* b : {DisConnectBtn, ConnectBtn, CopyAll, MoveAll, CopyFromDate, CopySelected,
                               MoveSelected, RefreshBtn})
            b->setEnabled(false);
        FileListBoxFTPdir->clear();
        FileListBoxFTP->clear();
        Memo1->clear();
        setBusyCursor(true);
        setStatus(false);
        int port = 0, proxyPort = 0;
        bool ok = portNumber(PortTxt->text(), QStringLiteral("port"), port);
        if (ok && CheckBox1->isChecked())
            ok = portNumber(ProxyPort->text(), QStringLiteral("proxy port"), proxyPort);
        if (!ok) {
            // Nothing was sent: back to the disconnected state, ready for another try.
            setBusyCursor(false);
            ConnectBtn->setEnabled(true);
            RestoreButtons();
            AllButtonsTrue();
            return;
        }
        if (CheckBox1->isChecked()) {
            m_session->NMFTP1->setProxy(ProxyServer->text());
            m_session->NMFTP1->setProxyPort(proxyPort);
        }
        m_session->NMFTP1->setHost(HostTxt->text());
        m_session->NMFTP1->setPort(port);
        m_session->NMFTP1->setUserID(UserTxt->text());
        m_session->NMFTP1->setPassword(PassTxt->text());
        m_session->NMFTP1->setTimeOut(0);
        m_session->NMFTP1->setDataConnectionMode(TNMFTP::DataMode(DataModeBox->currentIndex()));
        m_session->NMFTP1->setSecurityMode(TNMFTP::Security(SecurityBox->currentIndex()));
        m_logOnFailureTold = false;
        try {
            m_session->NMFTP1->Connect();
            FileListBoxFTPdir->clear();
            FileListBoxFTP->clear();
            Memo1->clear();
            m_session->NMFTP1->ChangeDir(QStringLiteral(".."));
            m_session->NMFTP1->List();
            RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
            m_session->FtpConnected = true;
            setBusyCursor(false);
            setStatus(true);
            for (QPushButton* b :
                 {CopyAll, CopySelected, CopyFromDate, MoveAll, MoveSelected, RefreshBtn, DisConnectBtn})
                b->setEnabled(true);
            ConnectBtn->setEnabled(false);
            const TNMFTP* ftp = m_session->NMFTP1;
            if (ftp->Encrypted() && !m_connectionSettings.isEmpty())
                transfer::RememberTlsLogon(m_connectionSettings, ftp->Host(), ftp->Port());
            if (ftp->Encrypted() && !ftp->FilesEncrypted())
                tell(QStringLiteral("The server refused to encrypt data connections (PROT P): the password "
                                    "went encrypted, but file names and files travel unencrypted"));
        } catch (const ETlsError& e) {
            // The log-on stopped for its security: the engine's text says why.
            setBusyCursor(false);
            holdExitButtons(true);
            ConnectBtn->setEnabled(true);
            tellSecurityStop(m_automaticStopReason.isEmpty() ? e.Message() : m_automaticStopReason);
        } catch (const std::exception& e) {
            // A refusal or a failed connection was told by the engine's events; a log-on that ended
            // without one (no greeting, no answer to USER) is told here. Connect is usable again.
            setBusyCursor(false);
            if (!m_logOnFailureTold) {
                ConnectBtn->setEnabled(true);
                holdExitButtons(true);
            }
            if (!m_logOnFailureTold && !m_session->CancelRequested && !m_session->ExitRequested) {
                const QString text = QStringLiteral("The log-on to %1 failed: %2")
                                         .arg(HostTxt->text(), QString::fromUtf8(e.what()).trimmed());
                tell(text);
                Platform::instance().showMessage(text);
            }
        }
        m_logOnFailureTold = false;
    }
    RestoreButtons();
    AllButtonsTrue();
}

void TransferPage::connectNow() {
    m_automaticLogon = true;
    m_automaticStopReason.clear();
    const auto over = qScopeGuard([this] {
        m_automaticLogon = false;
        m_automaticStopReason.clear();
    });
    ConnectBtnClick();
}

void TransferPage::tellSecurityStop(const QString& text) {
    // Only what the user started may stop the user with a box.
    if (m_automaticLogon)
        tell(text);
    else
        Platform::instance().showMessage(text);
}

void TransferPage::NMFTP1EncryptionRefused(const QString& reply, bool& inClear, QString& why) {
    const QString host = m_session->NMFTP1->Host();
    const int port = m_session->NMFTP1->Port();
    const transfer::ServerMemory memory = m_connectionSettings.isEmpty()
                                              ? transfer::ServerMemory{}
                                              : transfer::ReadServerMemory(m_connectionSettings, host, port);
    if (memory.expectsTls()) {
        why = transfer::EncryptionDowngradeText(host, port, reply);
        return;
    }
    if (memory.plainAllowed) {
        inClear = true;
        return;
    }
    if (m_automaticLogon) {
        m_automaticStopReason =
            QStringLiteral("The server %1 port %2 refused encryption: the automatic log-on does not send the "
                           "password unencrypted. Press Connect to decide.")
                .arg(host)
                .arg(port);
        return;
    }
    setBusyCursor(false);
    const auto answer = Platform::instance().askPlainLogon(transfer::PlainLogonCaption(),
                                                           transfer::PlainLogonText(host, port, reply));
    setBusyCursor(true);
    inClear = answer != Platform::TrustAnswer::Cancel;
    if (!inClear)
        why = QStringLiteral("The log-on to %1 was cancelled: the user name and password were not sent")
                  .arg(host);
    if (answer == Platform::TrustAnswer::Always && !m_connectionSettings.isEmpty() &&
        !transfer::AllowPlainLogon(m_connectionSettings, host, port))
        Platform::instance().showMessage(
            QStringLiteral("The permission could not be remembered in %1").arg(m_connectionSettings));
}

void TransferPage::forgetServerSecurity() {
    int port = 0;
    if (!portNumber(PortTxt->text(), QStringLiteral("port"), port)) return;
    const QString host = HostTxt->text().trimmed();
    if (m_connectionSettings.isEmpty() ||
        transfer::ReadServerMemory(m_connectionSettings, host, port).isEmpty()) {
        Platform::instance().showMessage(
            QStringLiteral("Nothing is remembered about the security of %1 port %2").arg(host).arg(port));
        return;
    }
    if (Platform::instance().confirm(
            QStringLiteral(
                "Forget what was remembered for %1 port %2: that it logged on encrypted before, the "
                "permission to log on without encryption, and the trusted certificate? The next "
                "log-on there asks anew.")
                .arg(host)
                .arg(port)) != Platform::Answer::Yes)
        return;
    if (transfer::ForgetServer(m_connectionSettings, host, port))
        tell(QStringLiteral("Forgot the security of %1 port %2").arg(host).arg(port));
    else
        Platform::instance().showMessage(
            QStringLiteral("%1 could not be written: nothing was forgotten").arg(m_connectionSettings));
}

void TransferPage::NMFTP1CertificateCheck(const QSslCertificate& cert, const QStringList& problems,
                                          bool& accept) {
    const QString host = m_session->NMFTP1->Host();
    const int port = m_session->NMFTP1->Port();
    const QString fingerprint = transfer::Fingerprint(cert);
    const QString trusted = m_connectionSettings.isEmpty()
                                ? QString()
                                : transfer::TrustedFingerprint(m_connectionSettings, host, port);
    if (!trusted.isEmpty() && trusted == fingerprint) {
        accept = true;
        return;
    }
    // The system vouches for it and nothing else was trusted here.
    if (trusted.isEmpty() && problems.isEmpty()) {
        accept = true;
        return;
    }
    accept = false;
    if (m_automaticLogon) {
        m_automaticStopReason =
            trusted.isEmpty()
                ? QStringLiteral("The certificate of %1 port %2 is not one this computer vouches for: the "
                                 "automatic log-on stopped. Press Connect to see it and decide.")
                      .arg(host)
                      .arg(port)
                : QStringLiteral(
                      "The certificate of %1 port %2 is not the one you chose to trust always: the "
                      "automatic log-on stopped. Press Connect to see it and decide.")
                      .arg(host)
                      .arg(port);
        return;
    }
    setBusyCursor(false);
    const auto answer =
        Platform::instance().askCertificate(transfer::CertificateCaption(trusted),
                                            transfer::CertificateText(host, port, cert, problems, trusted));
    setBusyCursor(true);
    accept = answer != Platform::TrustAnswer::Cancel;
    if (answer == Platform::TrustAnswer::Always && !m_connectionSettings.isEmpty() &&
        !transfer::RememberFingerprint(m_connectionSettings, host, port, fingerprint))
        Platform::instance().showMessage(
            QStringLiteral("The trusted certificate could not be remembered in %1")
                .arg(m_connectionSettings));
}

void TransferPage::DisConnectBtnClick() {
    // While another action waits on an open connection, it would go on without one.
    if (m_session->engineCalls() > 0 && m_session->NMFTP1->Connected()) return;
    {
        FtpSession::Call call(m_session);
        if (m_session->NMFTP1->Connected()) {
            try {
                m_session->NMFTP1->Disconnect();
            } catch (const EAbortError&) {
                throw;
            } catch (const std::exception&) {
                // The connection is gone either way.
            }
        }
    }
    m_session->FtpConnected = false;
    setStatus(false);
    for (QPushButton* b : {CopyAll, MoveAll, CopySelected, MoveSelected, CopyFromDate, RefreshBtn})
        b->setEnabled(false);
    ConnectBtn->setEnabled(true);
    DisConnectBtn->setEnabled(false);
    FileListBoxFTPdir->clear();
    FileListBoxFTP->clear();
    Memo1->clear();
    AllButtonsFalse();
    if (m_session->ExitRequested) emit closeRequested();
}

void TransferPage::watchConnection() {
    if (m_session->FtpConnected && !m_session->NMFTP1->Connected()) {
        const QString why = m_session->NMFTP1->CloseReason();
        DisConnectBtnClick();
        if (!why.isEmpty()) tell(why);
    }
}

void TransferPage::exitNow() {
    m_session->CancelRequested = true;
    m_session->ExitRequested = true;
    if (!m_session->NMFTP1->Connected()) DisConnectBtnClick();
    emit closeRequested();
}

void TransferPage::ExitBtnClick() {
    emit exitRequested();
}

// ---------------------------------------------------------------- remote browsing

void TransferPage::NMFTP1ListItem(const QString& Listing) {
    if (Listing.isEmpty()) return;
    // Lines are gathered and shown together (at most ten times a second, and when
    // the listing ends): a folder of thousands of files is shown at once.
    const transfer::ListingEntry entry = transfer::InterpretListingLine(Listing);
    if (entry.kind == transfer::ListingEntry::Kind::File && entry.csv) {
        m_listed.files << entry.name;
        // The listed size checks the copy where the server cannot tell it by SIZE.
        // Two entries shown under one name (names that differ only in their encoding) leave the size
        // unknown rather than the other's.
        const qint64 size = ListingSizeOf(Listing);
        const auto known = m_remoteSizes.constFind(entry.name);
        m_remoteSizes.insert(entry.name, known == m_remoteSizes.constEnd() || *known == size ? size : -1);
    }
    m_listed.lines << Listing;
    if (entry.kind == transfer::ListingEntry::Kind::Folder) m_listed.folders << entry.name;
    m_listingShown->post([this] { showListed(); });
}

void TransferPage::showListed() {
    m_listingShown->drop();
    if (!m_listed.files.isEmpty()) FileListBoxFTP->addItems(m_listed.files);
    if (!m_listed.folders.isEmpty()) FileListBoxFTPdir->addItems(m_listed.folders);
    if (!m_listed.lines.isEmpty()) Memo1->appendPlainText(m_listed.lines.join(QLatin1Char('\n')));
    if (!m_listed.files.isEmpty()) showRemoteCount(); // the count follows the list as it fills
    m_listed = {};
}

void TransferPage::FreshListing() {
    m_itemShown->drop(); // an entry of the old list
    m_listingShown->drop();
    m_listed = {};
    FileListBoxFTPdir->clear();
    FileListBoxFTP->clear();
    Memo1->clear();
    showRemoteCount();
    m_session->NMFTP1->List();
}

void TransferPage::FileListBoxFTPdirDblClick() {
    QListWidgetItem* item = FileListBoxFTPdir->currentItem();
    if (m_session->EngineBusy() || !m_session->FtpConnected || !item || !item->isSelected()) return;
    const QString folder = item->text();
    FtpSession::Call call(m_session);
    m_session->TransferBusy = true;
    QList<QPushButton*> held{RefreshBtn, DisConnectBtn};
    holdExitButtons(false);
    for (QPushButton* b : held)
        b->setEnabled(false);
    // Whatever happens, the window is usable again afterwards.
    const auto restore = qScopeGuard([&] {
        holdExitButtons(true);
        for (QPushButton* b : held)
            b->setEnabled(true);
        m_session->TransferBusy = false;
        setBusyCursor(false);
    });
    FileListBoxFTP->clear();
    Memo1->clear();
    m_session->NMFTP1->ChangeDir(QStringLiteral("/"));
    m_session->NMFTP1->ChangeDir(folder);
    sDirectory->setText(folder);
    FileListBoxFTPdir->clear();
    m_session->NMFTP1->List();
    RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
}

void TransferPage::sDirectoryDblClick() {
    if (m_session->EngineBusy() || !m_session->FtpConnected) return;
    FtpSession::Call call(m_session);
    sDirectory->setText(QStringLiteral("*.*"));
    m_session->TransferBusy = true;
    QList<QPushButton*> held{RefreshBtn, DisConnectBtn};
    holdExitButtons(false);
    for (QPushButton* b : held)
        b->setEnabled(false);
    const auto restore = qScopeGuard([&] {
        sDirectory->setText(QStringLiteral("*.*"));
        holdExitButtons(true);
        for (QPushButton* b : held)
            b->setEnabled(true);
        m_session->TransferBusy = false;
        setBusyCursor(false);
    });
    FileListBoxFTP->clear();
    Memo1->clear();
    m_session->NMFTP1->ChangeDir(QStringLiteral(".."));
    FileListBoxFTPdir->clear();
    m_session->NMFTP1->List();
}

void TransferPage::RefreshBtnClick() {
    if (!m_session->FtpConnected || m_session->EngineBusy()) return;
    FtpSession::Call call(m_session);
    sDirectory->setText(QStringLiteral("*.*"));
    DisConnectBtn->setEnabled(false);
    RefreshBtn->setEnabled(false);
    m_session->TransferBusy = true;
    QList<QPushButton*> held{CopyAll,      MoveAll,    CopySelected, MoveSelected,
                             CopyFromDate, RefreshBtn, DisConnectBtn};
    for (QPushButton* b : held)
        b->setEnabled(false);
    setBusyCursor(true);
    const auto restore = qScopeGuard([&] {
        for (QPushButton* b : held)
            b->setEnabled(true);
        setBusyCursor(false);
        m_session->TransferBusy = false;
    });
    FileListBoxFTPdir->clear();
    FileListBoxFTP->clear();
    Memo1->clear();
    m_session->NMFTP1->ChangeDir(QStringLiteral(".."));
    m_session->NMFTP1->List();
}

QString TransferPage::chosenRemoteFile() {
    if (FileListBoxFTP->count() == 0) {
        Platform::instance().showMessage(QStringLiteral("No files        "));
        return {};
    }
    const QString name = FileListBoxFTP->selectedFocusName();
    if (name.isEmpty()) Platform::instance().showMessage(QStringLiteral("No file selected"));
    return name;
}

void TransferPage::FileListBoxFTPClick() {
    const QString name = chosenRemoteFile();
    if (!name.isEmpty()) sFile->setText(name);
}

QString TransferPage::viewFolder() {
    if (!m_viewDir)
        m_viewDir =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tervane640-view-XXXXXX"));
    return m_viewDir->isValid() ? m_viewDir->path() : QDir::tempPath();
}

void TransferPage::FileListBoxFTPDblClick() {
    const QString name = chosenRemoteFile();
    if (name.isEmpty() || refuseWhileBusy()) return;
    FtpSession::Call call(m_session);
    m_session->NMFTP1->SetTransferType(TNMFTP::TypeAscii);
    // The listed name (never a path) names the local copy in the program's own viewing folder. A name
    // that does not end in .csv or .txt gets .txt after it: the copy opens as text, never in whatever
    // program the desktop has for its suffix ("report.csv.jar" is listed, but is no program to run).
    const QString suffix = QFileInfo(name).suffix().toLower();
    const QString shown = suffix == QLatin1String("csv") || suffix == QLatin1String("txt")
                              ? name
                              : name + QStringLiteral(".txt");
    const QString viewPath = JoinPath(viewFolder(), shown);
    m_session->NMFTP1->Download(name, viewPath);
    if (!Platform::instance().openInEditor(viewPath))
        Platform::instance().showMessage(QStringLiteral("No text editor could be started for ") + viewPath);
}
