// The transfer page: its layout, the engine's events, the button states and the
// settings it keeps.
#include "transfer/transferpage.h"

#include "ftp/nmftp.h"
#include "localfiles/folderlists.h"
#include "localfiles/localpanel.h"
#include "platform/guarded.h"
#include "platform/latestonly.h"
#include "platform/platform.h"
#include "settings/cfgrecord.h"
#include "transfer/connectionsettings.h"
#include "transfer/ftpsession.h"
#include "transfer/transfercore.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {
template <class W> W* place(W* w, const char* name, int x, int y, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(x, y, width, height);
    return w;
}
QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(x, y);
    l->adjustSize();
    return l;
}
QFont courier(int points) {
    QFont f;
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                   QStringLiteral("DejaVu Sans Mono")});
    f.setPointSize(points);
    return f;
}
const char* kDisconnectedStyle = "background-color: rgb(255,255,238);";
const char* kConnectedStyle = "background-color: rgb(238,255,238);";
const QString kDisconnected = QStringLiteral("FTP Disconnected");
const QString kConnected = QStringLiteral("FTP Connected");
} // namespace

TransferPage::TransferPage(LocalFolderPanel* local, QWidget* parent)
    : QWidget(parent), m_session(new FtpSession(this)), m_local(local),
      m_statusShown(new LatestOnly(kQuickUpdateGapMs, this)),
      m_itemShown(new LatestOnly(kQuickUpdateGapMs, this)),
      m_listingShown(new LatestOnly(kQuickUpdateGapMs, this)) {
    setObjectName(QStringLiteral("TransferPage"));
    // What waited to be shown is shown once the session's last call has returned,
    // so the window never keeps a stale text or entry after a batch.
    connect(m_session, &FtpSession::idle, this, [this] {
        showListed();
        m_statusShown->flush();
        m_itemShown->flush();
    });
    buildRemoteGroup();
    buildButtons();
    m_local->setParent(this);
    m_local->move(552, 8);
    buildAccount();
    connectEngine();
    connectHandlers();
}

TransferPage::~TransferPage() {
    // The lists outlive this page's members while its children are deleted.
    FileListBoxFTP->model()->disconnect(this);
}

void TransferPage::buildRemoteGroup() {
    QWidget* p = this;

    // Remote group.
    GroupBox1 = place(new QGroupBox(QStringLiteral("Remote location"), p), "GroupBox1", 8, 9, 433, 400);
    QWidget* g = GroupBox1;
    MakeDirFTP = place(new QLineEdit(g), "MakeDirFTP", 8, 16, 185, 21);
    MakeDirFTP->setMaxLength(16);
    MkDirFTPbtn = place(new QPushButton(QStringLiteral("Make Dir"), g), "MkDirFTPbtn", 200, 16, 75, 22);
    RenameDirFTPbtn =
        place(new QPushButton(QStringLiteral("Rename Dir"), g), "RenameDirFTPbtn", 280, 16, 75, 22);
    DeleteAllFTPButtonEnable = place(new QCheckBox(g), "DeleteAllFTPButtonEnable", 400, 16, 17, 17);
    label(g, "Label20", QStringLiteral("Remote Dir"), 8, 44);
    label(g, "Label22", QStringLiteral("Remote Files"), 176, 44);
    RemoteFiles1cnt = place(new QLabel(g), "RemoteFiles1cnt", 264, 44, 89, 13);
    sDirectory = place(new QLineEdit(QStringLiteral("*.*"), g), "sDirectory", 8, 60, 161, 21);
    sDirectory->setToolTip(QStringLiteral("Double click: back to the root directory"));
    FileListBoxFTPdir = place(new TLinkedListBox(g), "FileListBoxFTPdir", 8, 84, 161, 308);
    FileListBoxFTPdir->setFont(courier(8));
    FileListBoxFTPdir->setSelectionMode(QAbstractItemView::SingleSelection);
    FileListBoxFTPdir->setToolTip(QStringLiteral("Double click: to directory"));
    sFile = place(new QLineEdit(QStringLiteral("*.csv"), g), "sFile", 176, 60, 249, 21);
    FileListBoxFTP = place(new TLinkedListBox(g), "FileListBoxFTP", 176, 84, 249, 308);
    // A new listing starts from an empty list: the sizes of the old one go with it.
    connect(FileListBoxFTP->model(), &QAbstractItemModel::modelReset, this,
            [this] { m_remoteSizes.clear(); });
    FileListBoxFTP->setFont(courier(8));
    FileListBoxFTP->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FileListBoxFTP->setToolTip(QStringLiteral("Right button: delete files from FTP"));
    SetItemHeight(FileListBoxFTPdir, 14);
    SetItemHeight(FileListBoxFTP, 16);
    FileListBoxFTPdir->setLinkedEdit(sDirectory, QStringLiteral("*.*"));
    FileListBoxFTP->setLinkedEdit(sFile, QStringLiteral("*.csv"));

    PopupMenuListBox3 = new QMenu(FileListBoxFTP);
    PopupMenuListBox3->setObjectName(QStringLiteral("PopupMenuListBox3"));
    MenuItem1 = PopupMenuListBox3->addAction(QStringLiteral("Delete"));
    MenuItem1->setObjectName(QStringLiteral("MenuItem1"));
    MenuItem2 = PopupMenuListBox3->addAction(QStringLiteral("Delete All"));
    MenuItem2->setObjectName(QStringLiteral("MenuItem2"));
    PopupMenuFTPdir = new QMenu(FileListBoxFTPdir);
    PopupMenuFTPdir->setObjectName(QStringLiteral("PopupMenuFTPdir"));
    MenuItem3 = PopupMenuFTPdir->addAction(QStringLiteral("Delete"));
    MenuItem3->setObjectName(QStringLiteral("MenuItem3"));
    for (auto [list, menu] :
         {std::pair{FileListBoxFTP, PopupMenuListBox3}, std::pair{FileListBoxFTPdir, PopupMenuFTPdir}}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this,
                [list, menu](const QPoint& pos) { menu->popup(list->viewport()->mapToGlobal(pos)); });
    }
}

void TransferPage::buildButtons() {
    QWidget* p = this;
    // Transfer buttons, their Cancel twins over them, and the copy-from-date controls.
    label(p, "Label28", QStringLiteral("Copy"), 448, 232);
    label(p, "Label29", QStringLiteral("Move"), 448, 328);
    const struct {
        QPushButton** button;
        QPushButton** cancel;
        const char* name;
        const char* cancelName;
        const char* caption;
        int top;
    } buttons[] = {
        {&CopyFromDate, &CopyFromDateCancel, "CopyFromDate", "CopyFromDateCancel", "Copy from Date", 112},
        {&CopySelected, &CopySelectedCancel, "CopySelected", "CopySelectedCancel", "Copy selected", 248},
        {&CopyAll, &CopyAllCancel, "CopyAll", "CopyAllCancel", "Copy ALL", 280},
        {&MoveSelected, &MoveSelectedCancel, "MoveSelected", "MoveSelectedCancel", "Move selected", 344},
        {&MoveAll, &MoveAllCancel, "MoveAll", "MoveAllCancel", "Move ALL", 376}};
    for (const auto& b : buttons) {
        *b.button = place(new QPushButton(QString::fromLatin1(b.caption), p), b.name, 448, b.top, 97, 25);
        *b.cancel = place(new QPushButton(QStringLiteral("Cancel"), p), b.cancelName, 448, b.top, 97, 25);
        (*b.cancel)->raise();
    }
    QFont bold = CopyFromDate->font();
    bold.setBold(true);
    CopyFromDate->setFont(bold);
    CopyAll->setToolTip(QStringLiteral("Copy files from FTP"));
    MoveAll->setToolTip(QStringLiteral("Copy files from FTP"));
    FromDateTime = place(new QLabel(p), "FromDateTime", 467, 144, 69, 13);

    label(p, "Label30", QStringLiteral("Copy >> from  date"), 1056, 20);
    MonthCalendar1 = place(new QCalendarWidget(p), "MonthCalendar1", 1056, 40, 191, 170);
    MonthCalendar1->setMinimumDate(QDate(2018, 9, 1));
    MonthCalendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    MonthCalendar1->setGridVisible(false);
    label(p, "Label31", QStringLiteral("Current Date"), 1056, 220)->hide();
    MonthCalendar2 = place(new QCalendarWidget(p), "MonthCalendar2", 1056, 236, 191, 170);
    MonthCalendar2->setMinimumDate(QDate(2018, 9, 1));
    MonthCalendar2->hide();
    MonthCalendar2->setEnabled(false);
}

void TransferPage::buildAccount() {
    QWidget* p = this;
    // Listing log.
    Panel1 = place(new QFrame(p), "Panel1", 8, 416, 657, 193);
    Panel1->setFrameShape(QFrame::StyledPanel);
    Memo1 = place(new QPlainTextEdit(Panel1), "Memo1", 8, 8, 641, 177);
    Memo1->setReadOnly(true);
    Memo1->setMaximumBlockCount(kMemoLines); // a listing without end keeps its last lines only
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont terminal = courier(9);
    terminal.setBold(true);
    Memo1->setFont(terminal);
    Memo1->setStyleSheet(QStringLiteral("color: navy;"));

    // Account group.
    GroupBox3 = place(new QGroupBox(QStringLiteral("FTP account"), p), "GroupBox3", 672, 416, 377, 193);
    QWidget* a = GroupBox3;
    label(a, "Label3", QStringLiteral("Host"), 8, 24);
    HostTxt = place(new QLineEdit(QStringLiteral("ftp.kz640tl.example.com"), a), "HostTxt", 72, 20, 201, 21);
    label(a, "Label4", QStringLiteral("Port"), 8, 52);
    PortTxt = place(new QLineEdit(QStringLiteral("21"), a), "PortTxt", 72, 48, 57, 21);
    label(a, "Label5", QStringLiteral("User ID"), 8, 80);
    UserTxt = place(new QLineEdit(QStringLiteral("640"), a), "UserTxt", 72, 76, 201, 21);
    label(a, "Label8", QStringLiteral("Password"), 8, 108);
    PassTxt = place(new QLineEdit(QStringLiteral("KZ640TLlogger1"), a), "PassTxt", 72, 104, 201, 21);
    PassTxt->setEchoMode(QLineEdit::Password);
    CheckBox1 = place(new QCheckBox(QStringLiteral("Proxy Server"), a), "CheckBox1", 8, 132, 97, 17);
    ProxyServer = place(new QLineEdit(a), "ProxyServer", 112, 130, 161, 21);
    QLabel* Label17 = label(a, "Label17", QStringLiteral("Proxy Port"), 8, 160);
    ProxyPort = place(new QLineEdit(a), "ProxyPort", 112, 156, 57, 21);
    for (QWidget* w : std::initializer_list<QWidget*>{CheckBox1, ProxyServer, Label17, ProxyPort})
        w->hide();
    // How data connections open and whether the session is encrypted (where the hidden proxy
    // settings would be).
    label(a, "Label40", QStringLiteral("Data connection"), 8, 136);
    DataModeBox = place(new QComboBox(a), "DataModeBox", 104, 132, 129, 21);
    DataModeBox->addItems({QStringLiteral("Automatic"), QStringLiteral("Passive"), QStringLiteral("Active")});
    DataModeBox->setToolTip(
        QStringLiteral("Automatic: passive mode, else active mode when the server refuses "
                       "passive mode or its passive port cannot be reached"));
    label(a, "Label41", QStringLiteral("Security"), 8, 164);
    SecurityBox = place(new QComboBox(a), "SecurityBox", 104, 160, 129, 21);
    SecurityBox->addItems(
        {QStringLiteral("Plain FTP"), QStringLiteral("TLS if available"), QStringLiteral("TLS required")});
    SecurityBox->setCurrentIndex(1);
    SecurityBox->setToolTip(QStringLiteral("TLS required: the user name and password are never sent "
                                           "unencrypted"));
    ConnectBtn = place(new QPushButton(QStringLiteral("Connect"), a), "ConnectBtn", 288, 18, 81, 25);
    DisConnectBtn = place(new QPushButton(QStringLiteral("Disconnect"), a), "DisConnectBtn", 288, 48, 81, 25);
    RefreshBtn = place(new QPushButton(QStringLiteral("Refresh"), a), "RefreshBtn", 288, 78, 81, 25);
    cSTATUS = place(new QLineEdit(QStringLiteral("FTP Disconnected"), a), "cSTATUS", 240, 160, 129, 19);
    cSTATUS->setReadOnly(true);
    cSTATUS->setFocusPolicy(Qt::NoFocus);
    QFont small = cSTATUS->font();
    small.setPointSize(7);
    cSTATUS->setFont(small);
    cSTATUS->setStyleSheet(QString::fromLatin1(kDisconnectedStyle));

    ExitBtn = place(new QPushButton(QStringLiteral("Exit"), p), "ExitBtn", 1156, 576, 57, 25);
}

void TransferPage::tell(const QString& text) {
    m_statusShown->apply([this, text] { emit statusText(text); });
}

void TransferPage::tellOften(const QString& text) {
    if (!m_session->EngineBusy()) {
        tell(text);
        return;
    }
    m_statusShown->post([this, text] { emit statusText(text); });
}

void TransferPage::followItem(int row) {
    m_itemShown->post([this, row] { FileListBoxFTP->setItemIndex(row); });
}

void TransferPage::showItem(int row) {
    m_itemShown->apply([this, row] { FileListBoxFTP->setItemIndex(row); });
}

void TransferPage::connectEngine() {
    TNMFTP* ftp = m_session->NMFTP1;
    ftp->setHost(HostTxt->text());
    ftp->setUserID(UserTxt->text());
    ftp->setPassword(PassTxt->text());

    connect(ftp, &TPowersock::OnConnect, this, [this](QObject*) { tell(kConnected); });
    connect(ftp, &TPowersock::OnDisconnect, this, [this](QObject*) { tell(kDisconnected); });
    connect(ftp, &TPowersock::OnHostResolved, this,
            [this](QObject*) { tell(QStringLiteral("Host resolved")); });
    connect(ftp, &TPowersock::OnInvalidHost, this, [this](bool&) {
        m_logOnFailureTold = true;
        Platform::instance().showMessage(QStringLiteral("Invalid Host"));
    });
    connect(ftp, &TPowersock::OnConnectionFailed, this, [this](QObject*) {
        m_logOnFailureTold = true;
        Platform::instance().showMessage(QStringLiteral("Connection Failed            "));
        ExitBtn->setEnabled(true);
        emit exitEnabled(true);
        ConnectBtn->setEnabled(true);
        setBusyCursor(false);
    });
    connect(ftp, &TPowersock::OnError, this, [this](QObject*, quint16 number, const QString& text) {
        m_logOnFailureTold = true;
        Platform::instance().showMessage(QStringLiteral("Error ") + QString::number(number) +
                                         QStringLiteral(": ") + text);
    });
    // Status texts that come with every file of a batch are shown at most ten times
    // a second (see tellOften): repainting the window for each cost more than the transfer.
    connect(ftp, &TPowersock::OnPacketRecvd, this, [this, ftp](QObject*) {
        tellOften(QString::number(ftp->BytesReceived()) + QStringLiteral(" of ") +
                  QString::number(ftp->TransferSize()));
    });
    connect(ftp, &TPowersock::OnPacketSent, this, [this, ftp](QObject*) {
        tellOften(QString::number(ftp->BytesSent()) + QStringLiteral(" of ") +
                  QString::number(ftp->TransferSize()));
    });
    connect(ftp, &TNMFTP::OnTransactionStart, this,
            [this](QObject*) { tellOften(QStringLiteral("Beginning Data Transfer")); });
    connect(ftp, &TNMFTP::OnTransactionStop, this, [this](QObject*) {
        showListed(); // a listing is complete
        tellOften(QStringLiteral("Data Transfer Complete"));
    });
    connect(ftp, &TNMFTP::OnSuccess, this, [this, ftp](TCmdType kind) {
        if (kind == TCmdType::List && !ftp->ListingComplete()) {
            tell(QStringLiteral("Warning: the listing ended without the TLS close and may be incomplete "
                                "(someone may have cut the connection); Refresh to list again"));
            return;
        }
        const QString t = transfer::CommandStatusText(int(kind), transfer::Outcome::Success);
        if (!t.isEmpty()) tellOften(t);
    });
    connect(ftp, &TNMFTP::OnFailure, this, [this](bool&, TCmdType kind) {
        const QString t = transfer::CommandStatusText(int(kind), transfer::Outcome::Failure);
        if (!t.isEmpty()) tellOften(t);
    });
    // The refusal itself comes as the command's error box; this only names it in the status bar.
    connect(ftp, &TNMFTP::OnUnSupportedFunction, this, [this](TCmdType kind) {
        const QString t = transfer::CommandStatusText(int(kind), transfer::Outcome::Unsupported);
        if (!t.isEmpty()) tell(t);
    });
    connect(ftp, &TNMFTP::OnListItem, this, &TransferPage::NMFTP1ListItem);
    connect(ftp, &TNMFTP::OnDataConnectionWait, this, [this](const QString& text) {
        if (!text.isEmpty()) tell(text);
    });
    connect(ftp, &TNMFTP::OnCertificateCheck, this, &TransferPage::NMFTP1CertificateCheck);
    connect(ftp, &TNMFTP::OnEncryptionRefused, this, &TransferPage::NMFTP1EncryptionRefused);
}

void TransferPage::connectHandlers() {
    const struct {
        QPushButton* button;
        void (TransferPage::*handler)();
    } clicks[] = {{ConnectBtn, &TransferPage::ConnectBtnClick},
                  {DisConnectBtn, &TransferPage::DisConnectBtnClick},
                  {RefreshBtn, &TransferPage::RefreshBtnClick},
                  {ExitBtn, &TransferPage::ExitBtnClick},
                  {CopyFromDateCancel, &TransferPage::CancelBtn},
                  {CopySelectedCancel, &TransferPage::CancelBtn},
                  {CopyAllCancel, &TransferPage::CancelBtn},
                  {MoveSelectedCancel, &TransferPage::CancelBtn},
                  {MoveAllCancel, &TransferPage::CancelBtn},
                  {CopySelected, &TransferPage::CopySelectedClick},
                  {CopyAll, &TransferPage::CopyAllClick},
                  {MoveSelected, &TransferPage::MoveSelectedClick},
                  {MoveAll, &TransferPage::MoveAllClick},
                  {CopyFromDate, &TransferPage::CopyFromDateClick},
                  {MkDirFTPbtn, &TransferPage::MkDirFTPbtnClick},
                  {RenameDirFTPbtn, &TransferPage::RenameDirFTPbtnClick}};
    for (const auto& c : clicks)
        connect(c.button, &QPushButton::clicked, this, c.handler);
    connect(FileListBoxFTPdir, &TLinkedListBox::doubleClicked, this,
            &TransferPage::FileListBoxFTPdirDblClick);
    connect(FileListBoxFTP, &TLinkedListBox::clicked, this, &TransferPage::FileListBoxFTPClick);
    connect(FileListBoxFTP, &TLinkedListBox::doubleClicked, this, &TransferPage::FileListBoxFTPDblClick);
    sDirectory->installEventFilter(this);
    connect(DeleteAllFTPButtonEnable, &QCheckBox::clicked, this,
            &TransferPage::DeleteAllFTPButtonEnableClick);
    connect(MenuItem1, &QAction::triggered, this, Guarded([this] { DeleteFileFromFTP(); }));
    connect(MenuItem2, &QAction::triggered, this, Guarded([this] { DeleteAllFilesFromFTP(); }));
    connect(MenuItem3, &QAction::triggered, this, Guarded([this] { DeleteFTPdir(); }));
    connect(MonthCalendar1, &QCalendarWidget::clicked, this, &TransferPage::MonthCalendar1Click);
    // The count beside the remote file list is the list's own, however the list changed.
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(FileListBoxFTP->model(), signal, this, &TransferPage::showRemoteCount);
    connect(FileListBoxFTP->model(), &QAbstractItemModel::modelReset, this, &TransferPage::showRemoteCount);
}

// Downloads note their temporary files beside the connection settings while they run; what a crash or
// kill left of an earlier run is removed now.
void TransferPage::notePartialDownloads() {
    if (m_connectionSettings.isEmpty()) return;
    const QString journal =
        QFileInfo(m_connectionSettings).absoluteDir().filePath(QStringLiteral("tervane640.partial"));
    const int removed = TNMFTP::RemovePartialFiles(journal);
    m_session->NMFTP1->setPartialFileJournal(journal);
    if (removed > 0)
        tell(QStringLiteral("Removed %1 unfinished download(s) left by an earlier run").arg(removed));
}

bool TransferPage::eventFilter(QObject* watched, QEvent* e) {
    if (watched == sDirectory && e->type() == QEvent::MouseButtonDblClick) {
        sDirectoryDblClick();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

// ---------------------------------------------------------------- start-up and settings

void TransferPage::prepareStartUp() {
    MenuItem1->setVisible(false);
    MenuItem2->setVisible(false);
    MonthCalendar2->setSelectedDate(QDate::currentDate());
}

void TransferPage::applySettings(const settings::CFGRecord& r) {
    HostTxt->setText(r.host());
    UserTxt->setText(r.userId());
    PassTxt->setText(r.password());
}

void TransferPage::applyCopyFromDate(const settings::CFGRecord& r) {
    // The calendar cannot go below its earliest date; an older stored date shows that one.
    const QDate stored = settings::DayNumberToDate(r.copyFromDate());
    MonthCalendar1->setSelectedDate(stored.isValid() ? stored : MonthCalendar1->minimumDate());
    CopyFromDateText = transfer::DateText(MonthCalendar1->selectedDate());
    FromDateTime->setText(CopyFromDateText);
    FileListBoxFTP->clear();
}

void TransferPage::storeSettings(settings::CFGRecord& r) const {
    r.setHost(HostTxt->text());
    r.setUserId(UserTxt->text());
    r.setPassword(PassTxt->text());
}

void TransferPage::setConnectionSettingsFile(const QString& path) {
    m_connectionSettings = path;
    notePartialDownloads();
    const transfer::ConnectionChoices c = transfer::ReadConnectionChoices(path);
    DataModeBox->setCurrentIndex(c.dataMode);
    SecurityBox->setCurrentIndex(c.security);
}

bool TransferPage::saveConnectionSettings() const {
    if (m_connectionSettings.isEmpty()) return true;
    return transfer::WriteConnectionChoices(m_connectionSettings,
                                            {DataModeBox->currentIndex(), SecurityBox->currentIndex()});
}

void TransferPage::storeCopyFromDate(settings::CFGRecord& r) const {
    r.setCopyFromDate(settings::DateToDayNumber(MonthCalendar2->selectedDate()));
}

void TransferPage::showRemoteCount() {
    RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
}

void TransferPage::showDisconnected() {
    setStatus(false);
    RestoreButtons();
    AllButtonsTrue();
    ConnectBtn->setEnabled(true);
}

void TransferPage::MonthCalendar1Click() {
    CopyFromDateText = transfer::DateText(MonthCalendar1->selectedDate());
    FromDateTime->setText(CopyFromDateText);
}

// ---------------------------------------------------------------- status and buttons

void TransferPage::setBusyCursor(bool busy) {
    if (busy == m_busyCursor) return;
    m_busyCursor = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TransferPage::setStatus(bool connected) {
    const bool tls = connected && m_session->NMFTP1->Encrypted();
    const bool files = tls && m_session->NMFTP1->FilesEncrypted();
    cSTATUS->setText(!connected ? QString(kDisconnected)
                     : files    ? QStringLiteral("FTP Connected, TLS")
                     : tls      ? QStringLiteral("FTP Connected, TLS (files unencrypted)")
                                : QString(kConnected));
    cSTATUS->setToolTip(!connected ? QString()
                        : files    ? QStringLiteral("The session is encrypted (TLS)")
                        : tls ? QStringLiteral("The log-on is encrypted (TLS); file names and files are not")
                              : QStringLiteral("The session is not encrypted"));
    cSTATUS->setStyleSheet(QString::fromLatin1(connected ? kConnectedStyle : kDisconnectedStyle));
    emit connectionShown(connected);
}

void TransferPage::holdExitButtons(bool enabled) {
    ExitBtn->setEnabled(enabled);
    emit exitEnabled(enabled);
}

void TransferPage::AllButtonsFalse() {
    for (QPushButton* b :
         {CopyAll, MoveAll, CopySelected, MoveSelected, CopyFromDate, DisConnectBtn, RefreshBtn})
        b->setEnabled(false);
}

void TransferPage::AllButtonsTrue() {
    for (QPushButton* b :
         {CopyAll, MoveAll, CopySelected, MoveSelected, CopyFromDate, DisConnectBtn, RefreshBtn})
        b->setEnabled(true);
}

void TransferPage::RestoreButtons() {
    for (QPushButton* b :
         {CopyFromDateCancel, CopySelectedCancel, CopyAllCancel, MoveSelectedCancel, MoveAllCancel})
        b->hide();
    for (QPushButton* b : {CopyFromDate, CopySelected, CopyAll, MoveSelected, MoveAll})
        b->show();
}

void TransferPage::CancelBtn() {
    m_session->CancelRequested = true;
    // The file under way ends now (ABOR), not when it is complete.
    if (m_session->TransferBusy) m_session->NMFTP1->Abort();
    RestoreButtons();
}
