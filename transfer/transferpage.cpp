// SPDX-License-Identifier: GPL-3.0-or-later
// The transfer page: its layout, the engine's events, the button states and the
// settings it keeps.
#include "transfer/transferpage.h"

#include "fetch/folderlock.h"
#include "ftp/nmftp.h"
#include "localfiles/folderlists.h"
#include "localfiles/localpanel.h"
#include "platform/fit.h"
#include "platform/guarded.h"
#include "platform/latestonly.h"
#include "platform/platform.h"
#include "settings/cfgrecord.h"
#include "transfer/autofetchpanel.h"
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
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace {
using layout::caption;
using layout::fitDayNames;
using layout::fitMinimumWidth;
using layout::fixColours;
using layout::named;
using layout::textWidth;

QFont courier(int points) {
    QFont f;
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                   QStringLiteral("DejaVu Sans Mono")});
    f.setPointSize(points);
    return f;
}
const QColor kDisconnectedColour(255, 255, 238);
const QColor kConnectedColour(238, 255, 238);
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
    buildAccount();
    buildAutoFetch();
    arrangePage();
    connectEngine();
    connectHandlers();
}

TransferPage::~TransferPage() {
    // The lists outlive this page's members while its children are deleted.
    FileListBoxFTP->model()->disconnect(this);
}

void TransferPage::buildRemoteGroup() {
    // Remote group: a row of folder commands, the folder and file masks, the two lists.
    GroupBox1 = named(new QGroupBox(QStringLiteral("Remote location")), "GroupBox1");
    QWidget* g = GroupBox1;
    MakeDirFTP = named(new QLineEdit(g), "MakeDirFTP");
    MakeDirFTP->setMaxLength(16);
    MakeDirFTP->setToolTip(QStringLiteral("Name of a new remote folder"));
    MkDirFTPbtn = named(new QPushButton(QStringLiteral("Make Dir"), g), "MkDirFTPbtn");
    RenameDirFTPbtn = named(new QPushButton(QStringLiteral("Rename Dir"), g), "RenameDirFTPbtn");
    DeleteAllFTPButtonEnable = named(new QCheckBox(g), "DeleteAllFTPButtonEnable");
    DeleteAllFTPButtonEnable->setToolTip(
        QStringLiteral("Allow deleting: adds Delete and Delete All to the remote file list's right-button "
                       "menu"));
    DeleteAllFTPButtonEnable->setAccessibleName(QStringLiteral("Allow deleting remote files"));
    QLabel* dirCaption = caption(g, "Label20", QStringLiteral("Remote Dir"));
    QLabel* filesCaption = caption(g, "Label22", QStringLiteral("Remote Files"));
    RemoteFiles1cnt = named(new QLabel(g), "RemoteFiles1cnt");
    RemoteFiles1cnt->setAccessibleName(QStringLiteral("Remote file count"));
    sDirectory = named(new QLineEdit(QStringLiteral("*.*"), g), "sDirectory");
    sDirectory->setToolTip(QStringLiteral("Double click: back to the root directory"));
    FileListBoxFTPdir = named(new TLinkedListBox(g), "FileListBoxFTPdir");
    FileListBoxFTPdir->setFont(courier(8));
    FileListBoxFTPdir->setSelectionMode(QAbstractItemView::SingleSelection);
    FileListBoxFTPdir->setToolTip(QStringLiteral("Double click: to directory"));
    sFile = named(new QLineEdit(QStringLiteral("*.csv"), g), "sFile");
    FileListBoxFTP = named(new TLinkedListBox(g), "FileListBoxFTP");
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
    dirCaption->setBuddy(FileListBoxFTPdir);
    filesCaption->setBuddy(FileListBoxFTP);
    sDirectory->setAccessibleName(QStringLiteral("Remote Dir mask"));
    sFile->setAccessibleName(QStringLiteral("Remote Files mask"));

    // At the design size the folder side is 161 pixels wide, the file side 249; more room goes to both alike.
    auto* grid = new QGridLayout(g);
    grid->setContentsMargins(8, 4, 8, 8);
    grid->setHorizontalSpacing(7);
    grid->setVerticalSpacing(3);
    auto* commands = new QHBoxLayout;
    commands->setSpacing(5);
    commands->addWidget(MakeDirFTP, 1);
    commands->addWidget(MkDirFTPbtn);
    commands->addWidget(RenameDirFTPbtn);
    commands->addSpacing(40);
    commands->addWidget(DeleteAllFTPButtonEnable);
    grid->addLayout(commands, 0, 0, 1, 2);
    grid->addWidget(dirCaption, 1, 0);
    auto* count = new QHBoxLayout;
    count->addWidget(filesCaption);
    count->addSpacing(12);
    count->addWidget(RemoteFiles1cnt, 1);
    grid->addLayout(count, 1, 1);
    grid->addWidget(sDirectory, 2, 0);
    grid->addWidget(sFile, 2, 1);
    grid->addWidget(FileListBoxFTPdir, 3, 0);
    grid->addWidget(FileListBoxFTP, 3, 1);
    grid->setColumnStretch(0, 161);
    grid->setColumnStretch(1, 249);
    grid->setRowStretch(3, 1);
    FileListBoxFTPdir->setMinimumWidth(120);
    FileListBoxFTP->setMinimumWidth(180);
    FileListBoxFTPdir->setMinimumHeight(120);
    FileListBoxFTP->setMinimumHeight(120);

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
    // Transfer buttons, their Cancel twins in the same place, and the copy-from-date controls.
    ButtonColumn = named(new QWidget, "TransferButtons");
    QWidget* p = ButtonColumn;
    const struct {
        QPushButton** button;
        QPushButton** cancel;
        const char* name;
        const char* cancelName;
        const char* caption;
    } buttons[] = {
        {&CopyFromDate, &CopyFromDateCancel, "CopyFromDate", "CopyFromDateCancel", "Copy from Date"},
        {&CopySelected, &CopySelectedCancel, "CopySelected", "CopySelectedCancel", "Copy selected"},
        {&CopyAll, &CopyAllCancel, "CopyAll", "CopyAllCancel", "Copy ALL"},
        {&MoveSelected, &MoveSelectedCancel, "MoveSelected", "MoveSelectedCancel", "Move selected"},
        {&MoveAll, &MoveAllCancel, "MoveAll", "MoveAllCancel", "Move ALL"}};
    for (const auto& b : buttons) {
        *b.button = named(new QPushButton(QString::fromLatin1(b.caption), p), b.name);
        *b.cancel = named(new QPushButton(QStringLiteral("Cancel"), p), b.cancelName);
        (*b.cancel)->setAccessibleName(QStringLiteral("Cancel ") + QString::fromLatin1(b.caption));
    }
    QFont bold = CopyFromDate->font();
    bold.setBold(true);
    CopyFromDate->setFont(bold);
    CopyAll->setToolTip(QStringLiteral("Copy files from FTP"));
    MoveAll->setToolTip(QStringLiteral("Copy files from FTP"));
    FromDateTime = named(new QLabel(p), "FromDateTime");
    FromDateTime->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    FromDateTime->setAccessibleName(QStringLiteral("Copy from date"));
    // Each button and its Cancel twin share one cell; the twin lies on top.
    auto* column = new QGridLayout(p);
    column->setContentsMargins(0, 0, 0, 0);
    column->setVerticalSpacing(7);
    int row = 0;
    auto pair = [&](QPushButton* button, QPushButton* cancel) {
        column->addWidget(button, row, 0);
        column->addWidget(cancel, row, 0);
        button->setMinimumHeight(25);
        cancel->setMinimumHeight(25);
        cancel->raise();
        ++row;
    };
    column->setRowMinimumHeight(row++, 97);
    pair(CopyFromDate, CopyFromDateCancel);
    column->addWidget(FromDateTime, row++, 0);
    column->setRowStretch(row++, 1);
    column->addWidget(caption(p, "Label28", QStringLiteral("Copy")), row++, 0);
    pair(CopySelected, CopySelectedCancel);
    pair(CopyAll, CopyAllCancel);
    column->setRowMinimumHeight(row++, 12);
    column->addWidget(caption(p, "Label29", QStringLiteral("Move")), row++, 0);
    pair(MoveSelected, MoveSelectedCancel);
    pair(MoveAll, MoveAllCancel);
    column->setRowMinimumHeight(row++, 0);
    fitMinimumWidth(p, {CopyFromDate->text()}, 16);
    p->setMinimumWidth(std::max(p->minimumWidth(), 97));
    p->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

    CalendarColumn = named(new QWidget, "CalendarColumn");
    QWidget* c = CalendarColumn;
    QLabel* calendarCaption = caption(c, "Label30", QStringLiteral("Copy >> from  date"));
    MonthCalendar1 = named(new QCalendarWidget(c), "MonthCalendar1");
    MonthCalendar1->setMinimumDate(QDate(2018, 9, 1));
    MonthCalendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    MonthCalendar1->setGridVisible(false);
    MonthCalendar1->setMinimumSize(191, 170);
    calendarCaption->setBuddy(MonthCalendar1);
    QLabel* currentCaption = caption(c, "Label31", QStringLiteral("Current Date"));
    currentCaption->hide();
    MonthCalendar2 = named(new QCalendarWidget(c), "MonthCalendar2");
    MonthCalendar2->setMinimumDate(QDate(2018, 9, 1));
    MonthCalendar2->hide();
    MonthCalendar2->setEnabled(false);
    auto* calendars = new QVBoxLayout(c);
    calendars->setContentsMargins(0, 12, 0, 0);
    calendars->setSpacing(3);
    calendars->addWidget(calendarCaption);
    calendars->addWidget(MonthCalendar1);
    calendars->addWidget(currentCaption);
    calendars->addWidget(MonthCalendar2);
    // The timed fetch's controls go below the calendar that sets where "Copy from Date" starts.
    AutoFetchSlot = new QVBoxLayout;
    AutoFetchSlot->setContentsMargins(0, 8, 0, 0);
    calendars->addLayout(AutoFetchSlot);
    calendars->addStretch(1);
    fitDayNames(MonthCalendar1);
    c->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void TransferPage::buildAccount() {
    // Listing log.
    Panel1 = named(new QFrame, "Panel1");
    Panel1->setFrameShape(QFrame::StyledPanel);
    Memo1 = named(new QPlainTextEdit(Panel1), "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setMaximumBlockCount(kMemoLines); // a listing without end keeps its last lines only
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setAccessibleName(QStringLiteral("Server log"));
    QFont terminal = courier(9);
    terminal.setBold(true);
    Memo1->setFont(terminal);
    // The log's navy text keeps its own light background under any palette.
    fixColours(Memo1, Qt::white, QColor(0, 0, 128));
    auto* log = new QVBoxLayout(Panel1);
    log->setContentsMargins(8, 8, 8, 8);
    log->addWidget(Memo1);
    Memo1->setMinimumSize(200, 80);

    // Account group.
    GroupBox3 = named(new QGroupBox(QStringLiteral("FTP account")), "GroupBox3");
    QWidget* a = GroupBox3;
    QLabel* hostCaption = caption(a, "Label3", QStringLiteral("Host"));
    HostTxt = named(new QLineEdit(QStringLiteral("ftp.kz640tl.example.com"), a), "HostTxt");
    QLabel* portCaption = caption(a, "Label4", QStringLiteral("Port"));
    PortTxt = named(new QLineEdit(QStringLiteral("21"), a), "PortTxt");
    QLabel* userCaption = caption(a, "Label5", QStringLiteral("User ID"));
    UserTxt = named(new QLineEdit(QStringLiteral("640"), a), "UserTxt");
    QLabel* passCaption = caption(a, "Label8", QStringLiteral("Password"));
    PassTxt = named(new QLineEdit(QStringLiteral("KZ640TLlogger1"), a), "PassTxt");
    PassTxt->setEchoMode(QLineEdit::Password);
    CheckBox1 = named(new QCheckBox(QStringLiteral("Proxy Server"), a), "CheckBox1");
    ProxyServer = named(new QLineEdit(a), "ProxyServer");
    QLabel* Label17 = caption(a, "Label17", QStringLiteral("Proxy Port"));
    ProxyPort = named(new QLineEdit(a), "ProxyPort");
    for (QWidget* w : std::initializer_list<QWidget*>{CheckBox1, ProxyServer, Label17, ProxyPort})
        w->hide();
    // How data connections open and whether the session is encrypted (where the hidden proxy
    // settings would be).
    QLabel* dataCaption = caption(a, "Label40", QStringLiteral("Data connection"));
    DataModeBox = named(new QComboBox(a), "DataModeBox");
    DataModeBox->addItems({QStringLiteral("Automatic"), QStringLiteral("Passive"), QStringLiteral("Active")});
    DataModeBox->setToolTip(
        QStringLiteral("Automatic: passive mode, else active mode when the server refuses "
                       "passive mode or its passive port cannot be reached"));
    QLabel* securityCaption = caption(a, "Label41", QStringLiteral("Security"));
    SecurityBox = named(new QComboBox(a), "SecurityBox");
    SecurityBox->addItems(
        {QStringLiteral("Plain FTP"), QStringLiteral("TLS if available"), QStringLiteral("TLS required")});
    SecurityBox->setCurrentIndex(1);
    SecurityBox->setToolTip(QStringLiteral("TLS required: the user name and password are never sent "
                                           "unencrypted"));
    for (QComboBox* box : {DataModeBox, SecurityBox})
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ConnectBtn = named(new QPushButton(QStringLiteral("Connect"), a), "ConnectBtn");
    DisConnectBtn = named(new QPushButton(QStringLiteral("Disconnect"), a), "DisConnectBtn");
    RefreshBtn = named(new QPushButton(QStringLiteral("Refresh"), a), "RefreshBtn");
    cSTATUS = named(new QLineEdit(QStringLiteral("FTP Disconnected"), a), "cSTATUS");
    cSTATUS->setReadOnly(true);
    cSTATUS->setFocusPolicy(Qt::NoFocus);
    cSTATUS->setAccessibleName(QStringLiteral("Connection"));
    QFont small = cSTATUS->font();
    small.setPointSize(7);
    cSTATUS->setFont(small);
    // Room for the longest state it shows.
    fitMinimumWidth(cSTATUS,
                    {QStringLiteral("FTP Connected, TLS (files unencrypted)"),
                     QStringLiteral("FTP Connected, TLS"), kDisconnected},
                    12);
    fixColours(cSTATUS, kDisconnectedColour);
    hostCaption->setBuddy(HostTxt);
    portCaption->setBuddy(PortTxt);
    userCaption->setBuddy(UserTxt);
    passCaption->setBuddy(PassTxt);
    dataCaption->setBuddy(DataModeBox);
    securityCaption->setBuddy(SecurityBox);

    // Captions, boxes and the session's buttons in rows; the last three rows hold the
    // connection choices and the connection's state.
    auto* grid = new QGridLayout(a);
    grid->setContentsMargins(8, 4, 8, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(5);
    grid->addWidget(hostCaption, 0, 0);
    grid->addWidget(HostTxt, 0, 1, 1, 2);
    grid->addWidget(ConnectBtn, 0, 3);
    grid->addWidget(portCaption, 1, 0);
    grid->addWidget(PortTxt, 1, 1);
    grid->addWidget(DisConnectBtn, 1, 3);
    grid->addWidget(userCaption, 2, 0);
    grid->addWidget(UserTxt, 2, 1, 1, 2);
    grid->addWidget(RefreshBtn, 2, 3);
    grid->addWidget(passCaption, 3, 0);
    grid->addWidget(PassTxt, 3, 1, 1, 2);
    grid->addWidget(dataCaption, 4, 0);
    grid->addWidget(DataModeBox, 4, 1, 1, 2, Qt::AlignLeft);
    grid->addWidget(securityCaption, 5, 0);
    grid->addWidget(SecurityBox, 5, 1, 1, 2, Qt::AlignLeft);
    // The state on a row of its own: "FTP Connected, TLS (files unencrypted)" needs the room.
    grid->addWidget(cSTATUS, 6, 1, 1, 3, Qt::AlignRight);
    grid->setColumnMinimumWidth(1, 57);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(7, 1);
    PortTxt->setMaximumWidth(std::max(57, textWidth(PortTxt, QStringLiteral("65535"), 14)));
    for (QLineEdit* e : {HostTxt, UserTxt, PassTxt})
        e->setMinimumWidth(150);
    for (QPushButton* b : {ConnectBtn, DisConnectBtn, RefreshBtn})
        b->setMinimumWidth(81);
    // Enter in the password box connects, as a click on Connect does.
    connect(PassTxt, &QLineEdit::returnPressed, ConnectBtn, &QPushButton::click);

    ExitBtn = named(new QPushButton(QStringLiteral("Exit")), "ExitBtn");
    ExitBtn->setMinimumWidth(57);
}

void TransferPage::arrangePage() {
    // Remote and local side by side, the transfer buttons between them; a user
    // moves the borders. The calendar on the right; the log, the account and Exit below.
    Splitter = named(new QSplitter(Qt::Horizontal, this), "TransferSplitter");
    Splitter->setChildrenCollapsible(false);
    Splitter->setHandleWidth(7);
    Splitter->addWidget(GroupBox1);
    Splitter->addWidget(ButtonColumn);
    Splitter->addWidget(m_local);
    Splitter->setStretchFactor(0, 433);
    Splitter->setStretchFactor(1, 0);
    Splitter->setStretchFactor(2, 497);
    Splitter->setSizes({433, 97, 497});

    auto* logAndAccount = new QHBoxLayout;
    logAndAccount->setSpacing(7);
    logAndAccount->addWidget(Panel1, 1);
    logAndAccount->addWidget(GroupBox3);
    auto* exitColumn = new QVBoxLayout;
    exitColumn->addStretch(1);
    exitColumn->addWidget(ExitBtn, 0, Qt::AlignHCenter);
    exitColumn->addSpacing(8);

    // The calendar and Exit share the right column, so the account box ends where the local group does.
    auto* page = new QGridLayout(this);
    page->setContentsMargins(8, 8, 6, 8);
    page->setSpacing(7);
    page->addWidget(Splitter, 0, 0);
    page->addWidget(CalendarColumn, 0, 1);
    page->addLayout(logAndAccount, 1, 0);
    page->addLayout(exitColumn, 1, 1);
    page->setColumnStretch(0, 1);
    page->setRowStretch(0, 400);
    page->setRowStretch(1, 193);

    // Tab follows the page as it is read: the remote group, the transfer buttons, the local
    // group, the calendar, the log, the account (its boxes, then its buttons), Exit.
    auto local = [this](const char* name) { return m_local->findChild<QWidget*>(QString::fromLatin1(name)); };
    layout::chainFocus({MakeDirFTP,
                        MkDirFTPbtn,
                        RenameDirFTPbtn,
                        DeleteAllFTPButtonEnable,
                        sDirectory,
                        sFile,
                        FileListBoxFTPdir,
                        FileListBoxFTP,
                        CopyFromDate,
                        CopyFromDateCancel,
                        CopySelected,
                        CopySelectedCancel,
                        CopyAll,
                        CopyAllCancel,
                        MoveSelected,
                        MoveSelectedCancel,
                        MoveAll,
                        MoveAllCancel,
                        local("MakeDirPC"),
                        local("MkDirPC"),
                        local("LocalFile"),
                        local("DriveComboBox4"),
                        local("FileListBoxPC"),
                        local("DirectoryListBoxPC"),
                        MonthCalendar1,
                        m_autoFetch->findChild<QWidget*>(QStringLiteral("AutoFetchBox")),
                        m_autoFetch->findChild<QWidget*>(QStringLiteral("AutoFetchMinutes")),
                        m_autoFetch->findChild<QWidget*>(QStringLiteral("AutoFetchCancel")),
                        Memo1,
                        HostTxt,
                        PortTxt,
                        UserTxt,
                        PassTxt,
                        DataModeBox,
                        SecurityBox,
                        ConnectBtn,
                        DisConnectBtn,
                        RefreshBtn,
                        ExitBtn});
    layout::nameControls(this);
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

void TransferPage::buildAutoFetch() {
    // Beside "Copy from Date": the window's own timer over the fetch core.
    m_autoFetch = new AutoFetchPanel(m_session, CalendarColumn);
    AutoFetchSlot->addWidget(m_autoFetch);
    m_autoFetch->setCurrentFolder([this] { return m_local->folder(); });
    connect(m_autoFetch, &AutoFetchPanel::statusText, this, &TransferPage::statusText);
    connect(m_autoFetch, &AutoFetchPanel::filesFetched, this, [this](const QStringList& paths) {
        m_local->RefreshLocalFiles();
        emit fileListStale();
        emit filesFetched(paths);
    });
}

bool TransferPage::lockFolderOrTell(fetch::FolderLock& lock) {
    if (lock.tryLock()) return true;
    Platform::instance().showMessage(
        QStringLiteral("The local folder is busy: %1. Try again when it has ended.").arg(lock.why()));
    return false;
}

void TransferPage::setAutoFetchGate(std::function<bool()> gate) {
    m_autoFetch->setGate(std::move(gate));
}

void TransferPage::setConnectionSettingsFile(const QString& path) {
    m_connectionSettings = path;
    notePartialDownloads();
    m_autoFetch->setSettingsFolder(QFileInfo(path).absolutePath());
    const transfer::ConnectionChoices c = transfer::ReadConnectionChoices(path);
    DataModeBox->setCurrentIndex(c.dataMode);
    SecurityBox->setCurrentIndex(c.security);
    // A stored port replaces the one shown; without one the box keeps its text.
    bool shownOk = false;
    const int shown = PortTxt->text().trimmed().toInt(&shownOk);
    const int port = transfer::ReadConnectionPort(path, -1);
    if (port > 0 && (!shownOk || port != shown)) PortTxt->setText(QString::number(port));
}

bool TransferPage::saveConnectionSettings() const {
    if (m_connectionSettings.isEmpty()) return true;
    bool ok = false;
    const int port = PortTxt->text().trimmed().toInt(&ok);
    if (ok && port >= 1 && port <= 65535 && !transfer::WriteConnectionPort(m_connectionSettings, port))
        return false;
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
    fixColours(cSTATUS, connected ? kConnectedColour : kDisconnectedColour);
    emit connectionShown(connected, cSTATUS->text());
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
