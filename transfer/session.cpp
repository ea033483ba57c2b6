// The FTP session of the transfer page: connect, disconnect, the engine's events
// on the window, the connection watch, Exit, and remote browsing.
#include "app/application.h"
#include "app/mainwindow.h"
#include "app/platform/platform.h"
#include "ftp/nmftp.h"
#include "localfiles/folderlists.h"
#include "transfer/enginecall.h"
#include "transfer/transfercore.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

namespace {
const char* const kKinds[15] = {"ChangeDir",    "MakeDir",       "Delete",          "RemoveDir", "List",
                                "Rename",       "UploadRestore", "DownloadRestore", "Download",  "Upload",
                                "UploadAppend", "ReInit",        "Allocate",        "NList",     "DoCommand"};
QString kindText(int kind, const char* suffix) {
    if (kind < 0 || kind > 14) return {};
    return QString::fromLatin1(kKinds[kind]) + QLatin1String(suffix);
}
const QString kDisconnected = QStringLiteral("FTP Disconnected");
const QString kConnected = QStringLiteral("FTP Connected");

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

QString TForm1::SuccessText(int kind) {
    return kindText(kind, " success");
}
QString TForm1::FailureText(int kind) {
    return kindText(kind, " failure");
}
QString TForm1::UnsupportedText(int kind) {
    return kindText(kind, " unsupported");
}

void TForm1::showStatusText(const QString& text) {
    StatusBar1->showMessage(text);
}

void TForm1::setBusyCursor(bool busy) {
    if (busy == m_busyCursor) return;
    m_busyCursor = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TForm1::setStatus(bool connected) {
    const QString style = connected ? QStringLiteral("background-color: rgb(238,255,238);")
                                    : QStringLiteral("background-color: rgb(255,255,238);");
    for (QLineEdit* e : {cSTATUS, StatusLine}) {
        e->setText(connected ? kConnected : kDisconnected);
        e->setStyleSheet(style);
    }
}

void TForm1::connectEngine() {
    NMFTP1 = new TNMFTP(this);
    NMFTP1->setObjectName(QStringLiteral("NMFTP1"));
    NMFTP1->setHost(HostTxt->text());
    NMFTP1->setPort(21);
    NMFTP1->setTimeOut(9);
    NMFTP1->setReportLevel(0);
    NMFTP1->setUserID(UserTxt->text());
    NMFTP1->setPassword(PassTxt->text());
    NMFTP1->setVendor(2411);
    NMFTP1->setParseList(true);
    NMFTP1->setProxyPort(0);

    connect(NMFTP1, &TPowersock::OnConnect, this, [this](QObject*) { showStatusText(kConnected); });
    connect(NMFTP1, &TPowersock::OnDisconnect, this, [this](QObject*) { showStatusText(kDisconnected); });
    connect(NMFTP1, &TPowersock::OnHostResolved, this, [this](QObject*) { showStatusText("Host resolved"); });
    connect(NMFTP1, &TPowersock::OnInvalidHost, this,
            [](bool&) { Platform::instance().showMessage(QStringLiteral("Invalid Host")); });
    connect(NMFTP1, &TPowersock::OnConnectionFailed, this, [this](QObject*) {
        Platform::instance().showMessage(QStringLiteral("Connection Failed            "));
        ExitBtn->setEnabled(true);
        ExitButton->setEnabled(true);
        ConnectBtn->setEnabled(true);
        setBusyCursor(false);
    });
    connect(NMFTP1, &TPowersock::OnError, this, [](QObject*, quint16 number, const QString& text) {
        Platform::instance().showMessage(QStringLiteral("Error ") + QString::number(number) +
                                         QStringLiteral(": ") + text);
    });
    connect(NMFTP1, &TPowersock::OnPacketRecvd, this, [this](QObject*) {
        showStatusText(QString::number(NMFTP1->BytesReceived()) + QStringLiteral(" of ") +
                       QString::number(NMFTP1->TransferSize()));
    });
    connect(NMFTP1, &TPowersock::OnPacketSent, this, [this](QObject*) {
        showStatusText(QString::number(NMFTP1->BytesSent()) + QStringLiteral(" of ") +
                       QString::number(NMFTP1->TransferSize()));
    });
    connect(NMFTP1, &TNMFTP::OnTransactionStart, this,
            [this](QObject*) { showStatusText(QStringLiteral("Beginning Data Transfer")); });
    connect(NMFTP1, &TNMFTP::OnTransactionStop, this,
            [this](QObject*) { showStatusText(QStringLiteral("Data Transfer Complete")); });
    connect(NMFTP1, &TNMFTP::OnSuccess, this, [this](TCmdType kind) {
        const QString t = SuccessText(int(kind));
        if (!t.isEmpty()) showStatusText(t);
    });
    connect(NMFTP1, &TNMFTP::OnFailure, this, [this](bool&, TCmdType kind) {
        const QString t = FailureText(int(kind));
        if (!t.isEmpty()) showStatusText(t);
    });
    connect(NMFTP1, &TNMFTP::OnUnSupportedFunction, this, [](TCmdType kind) {
        const QString t = UnsupportedText(int(kind));
        if (!t.isEmpty()) Platform::instance().showMessage(t);
    });
    connect(NMFTP1, &TNMFTP::OnListItem, this, &TForm1::NMFTP1ListItem);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
    Timer1->start();

    const struct {
        QPushButton* button;
        void (TForm1::*handler)();
    } clicks[] = {{ConnectBtn, &TForm1::ConnectBtnClick},   {DisConnectBtn, &TForm1::DisConnectBtnClick},
                  {RefreshBtn, &TForm1::RefreshBtnClick},   {ExitBtn, &TForm1::ExitBtnClick},
                  {ExitButton, &TForm1::ExitBtnClick},      {CopyFromDateCancel, &TForm1::CancelBtn},
                  {CopySelectedCancel, &TForm1::CancelBtn}, {CopyAllCancel, &TForm1::CancelBtn},
                  {MoveSelectedCancel, &TForm1::CancelBtn}, {MoveAllCancel, &TForm1::CancelBtn}};
    for (const auto& c : clicks)
        connect(c.button, &QPushButton::clicked, this, c.handler);
    connect(FileListBoxFTPdir, &TLinkedListBox::doubleClicked, this, &TForm1::FileListBoxFTPdirDblClick);
    connect(FileListBoxFTP, &TLinkedListBox::clicked, this, &TForm1::FileListBoxFTPClick);
    connect(FileListBoxFTP, &TLinkedListBox::doubleClicked, this, &TForm1::FileListBoxFTPDblClick);
    sDirectory->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (watched == sDirectory && e->type() == QEvent::MouseButtonDblClick) {
        sDirectoryDblClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

// ---------------------------------------------------------------- button helpers

void TForm1::AllButtonsFalse() {
    for (QPushButton* b :
         {CopyAll, MoveAll, CopySelected, MoveSelected, CopyFromDate, DisConnectBtn, RefreshBtn})
        b->setEnabled(false);
}

void TForm1::AllButtonsTrue() {
    for (QPushButton* b :
         {CopyAll, MoveAll, CopySelected, MoveSelected, CopyFromDate, DisConnectBtn, RefreshBtn})
        b->setEnabled(true);
}

void TForm1::RestoreButtons() {
    for (QPushButton* b :
         {CopyFromDateCancel, CopySelectedCancel, CopyAllCancel, MoveSelectedCancel, MoveAllCancel})
        b->hide();
    for (QPushButton* b : {CopyFromDate, CopySelected, CopyAll, MoveSelected, MoveAll})
        b->show();
}

void TForm1::CancelBtn() {
    CancelRequested = true;
    RestoreButtons();
}

// ---------------------------------------------------------------- connect and disconnect

void TForm1::ConnectBtnClick() {
    if (EngineBusy()) return; // another action waits on the connection
    EngineCall call(this);
    ExitRequested = false;
    if (!FtpConnected) {
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
            NMFTP1->setProxy(ProxyServer->text());
            NMFTP1->setProxyPort(proxyPort);
        }
        NMFTP1->setHost(HostTxt->text());
        NMFTP1->setPort(port);
        NMFTP1->setUserID(UserTxt->text());
        NMFTP1->setPassword(PassTxt->text());
        NMFTP1->setTimeOut(0);
        try {
            NMFTP1->Connect();
            FileListBoxFTPdir->clear();
            FileListBoxFTP->clear();
            Memo1->clear();
            NMFTP1->ChangeDir(QStringLiteral(".."));
            NMFTP1->List();
            RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
            FtpConnected = true;
            setBusyCursor(false);
            setStatus(true);
            for (QPushButton* b :
                 {CopyAll, CopySelected, CopyFromDate, MoveAll, MoveSelected, RefreshBtn, DisConnectBtn})
                b->setEnabled(true);
            ConnectBtn->setEnabled(false);
        } catch (...) {
            // What went wrong was told by the engine's events.
            setBusyCursor(false);
        }
    }
    RestoreButtons();
    AllButtonsTrue();
}

void TForm1::DisConnectBtnClick() {
    // While another action waits on an open connection, it would go on without one.
    if (m_engineCalls > 0 && NMFTP1->Connected()) return;
    {
        EngineCall call(this);
        if (NMFTP1->Connected()) {
            try {
                NMFTP1->Disconnect();
            } catch (const EAbortError&) {
                throw;
            } catch (const std::exception&) {
                // The connection is gone either way.
            }
        }
    }
    FtpConnected = false;
    setStatus(false);
    for (QPushButton* b : {CopyAll, MoveAll, CopySelected, MoveSelected, CopyFromDate, RefreshBtn})
        b->setEnabled(false);
    ConnectBtn->setEnabled(true);
    DisConnectBtn->setEnabled(false);
    FileListBoxFTPdir->clear();
    FileListBoxFTP->clear();
    Memo1->clear();
    AllButtonsFalse();
    if (ExitRequested) close();
}

void TForm1::Timer1Timer() {
    if (FtpConnected && !NMFTP1->Connected()) DisConnectBtnClick();
}

void TForm1::Exit1Click() {
    CancelRequested = true;
    ExitRequested = true;
    if (!NMFTP1->Connected()) DisConnectBtnClick();
    close();
}

void TForm1::ExitBtnClick() {
    Exit1Click();
}

void TForm1::closeEvent(QCloseEvent* e) {
    if (m_engineCalls > 0) {
        // An engine call is still on the stack: stop the batch after the current
        // file and close once the call has returned.
        CancelRequested = true;
        m_closePending = true;
        // Outside a batch nothing is lost by ending the wait now (a log-on that
        // hangs, a listing); a batch finishes the file under way first.
        if (!TransferBusy) NMFTP1->Cancel();
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
}

// ---------------------------------------------------------------- remote browsing

void TForm1::NMFTP1ListItem(const QString& Listing) {
    if (Listing.isEmpty()) return;
    const transfer::ListingEntry entry = transfer::InterpretListingLine(Listing);
    if (entry.kind == transfer::ListingEntry::Kind::File && entry.csv) FileListBoxFTP->addItem(entry.name);
    Memo1->appendPlainText(Listing);
    if (entry.kind == transfer::ListingEntry::Kind::Folder) FileListBoxFTPdir->addItem(entry.name);
}

void TForm1::FreshListing() {
    FileListBoxFTPdir->clear();
    FileListBoxFTP->clear();
    Memo1->clear();
    NMFTP1->List();
}

void TForm1::FileListBoxFTPdirDblClick() {
    QListWidgetItem* item = FileListBoxFTPdir->currentItem();
    if (EngineBusy() || !FtpConnected || !item || !item->isSelected()) return;
    const QString folder = item->text();
    EngineCall call(this);
    TransferBusy = true;
    QList<QPushButton*> held{ExitBtn, ExitButton, RefreshBtn, DisConnectBtn};
    for (QPushButton* b : held)
        b->setEnabled(false);
    // Whatever happens, the window is usable again afterwards.
    const auto restore = qScopeGuard([&] {
        for (QPushButton* b : held)
            b->setEnabled(true);
        TransferBusy = false;
        setBusyCursor(false);
    });
    FileListBoxFTP->clear();
    Memo1->clear();
    NMFTP1->ChangeDir(QStringLiteral("/"));
    NMFTP1->ChangeDir(folder);
    sDirectory->setText(folder);
    FileListBoxFTPdir->clear();
    NMFTP1->List();
    RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
}

void TForm1::sDirectoryDblClick() {
    if (EngineBusy() || !FtpConnected) return;
    EngineCall call(this);
    sDirectory->setText(QStringLiteral("*.*"));
    TransferBusy = true;
    QList<QPushButton*> held{ExitBtn, ExitButton, RefreshBtn, DisConnectBtn};
    for (QPushButton* b : held)
        b->setEnabled(false);
    const auto restore = qScopeGuard([&] {
        sDirectory->setText(QStringLiteral("*.*"));
        for (QPushButton* b : held)
            b->setEnabled(true);
        TransferBusy = false;
        setBusyCursor(false);
    });
    FileListBoxFTP->clear();
    Memo1->clear();
    NMFTP1->ChangeDir(QStringLiteral(".."));
    FileListBoxFTPdir->clear();
    NMFTP1->List();
}

void TForm1::RefreshBtnClick() {
    if (!FtpConnected || EngineBusy()) return;
    EngineCall call(this);
    sDirectory->setText(QStringLiteral("*.*"));
    DisConnectBtn->setEnabled(false);
    RefreshBtn->setEnabled(false);
    TransferBusy = true;
    QList<QPushButton*> held{CopyAll,      MoveAll,    CopySelected, MoveSelected,
                             CopyFromDate, RefreshBtn, DisConnectBtn};
    for (QPushButton* b : held)
        b->setEnabled(false);
    setBusyCursor(true);
    const auto restore = qScopeGuard([&] {
        for (QPushButton* b : held)
            b->setEnabled(true);
        setBusyCursor(false);
        TransferBusy = false;
    });
    FileListBoxFTPdir->clear();
    FileListBoxFTP->clear();
    Memo1->clear();
    NMFTP1->ChangeDir(QStringLiteral(".."));
    NMFTP1->List();
}

QString TForm1::chosenRemoteFile() {
    if (FileListBoxFTP->count() == 0) {
        Platform::instance().showMessage(QStringLiteral("No files        "));
        return {};
    }
    const QString name = FileListBoxFTP->selectedFocusName();
    if (name.isEmpty()) Platform::instance().showMessage(QStringLiteral("No file selected"));
    return name;
}

void TForm1::FileListBoxFTPClick() {
    const QString name = chosenRemoteFile();
    if (!name.isEmpty()) sFile->setText(name);
}

QString TForm1::viewFolder() {
    if (!m_viewDir)
        m_viewDir =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tervane640-view-XXXXXX"));
    return m_viewDir->isValid() ? m_viewDir->path() : QDir::tempPath();
}

void TForm1::FileListBoxFTPDblClick() {
    const QString name = chosenRemoteFile();
    if (name.isEmpty() || refuseWhileBusy()) return;
    EngineCall call(this);
    NMFTP1->SetTransferType(TNMFTP::TypeAscii);
    // The listed name (never a path) names the local copy in the program's own viewing folder.
    const QString viewPath = JoinPath(viewFolder(), name);
    NMFTP1->Download(name, viewPath);
    if (!Platform::instance().openInEditor(viewPath))
        Platform::instance().showMessage(QStringLiteral("No text editor could be started for ") + viewPath);
}
