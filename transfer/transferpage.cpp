// The transfer page of the main window: its layout.
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "localfiles/folderlists.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDate>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

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
} // namespace

void TForm1::buildTransferPage() {
    QWidget* p = TabSheet2;

    // Remote group.
    GroupBox1 = place(new QGroupBox(QStringLiteral("Remote location"), p), "GroupBox1", 8, 9, 433, 400);
    QWidget* g = GroupBox1;
    MakeDirFTP = place(new QLineEdit(g), "MakeDirFTP", 8, 16, 185, 21);
    MakeDirFTP->setMaxLength(16);
    MkDirFTPbtn = place(new QPushButton(QStringLiteral("Make Dir"), g), "MkDirFTPbtn", 200, 16, 75, 22);
    RenameDirFTPbtn =
        place(new QPushButton(QStringLiteral("Rename Dir"), g), "RenameDirFTPbtn", 280, 16, 75, 22);
    DeleteAllFTPButtonEnable = place(new QCheckBox(g), "DeleteAllFTPButtonEnable", 400, 16, 17, 17);
    Label20 = label(g, "Label20", QStringLiteral("Remote Dir"), 8, 44);
    Label22 = label(g, "Label22", QStringLiteral("Remote Files"), 176, 44);
    RemoteFiles1cnt = place(new QLabel(g), "RemoteFiles1cnt", 264, 44, 89, 13);
    sDirectory = place(new QLineEdit(QStringLiteral("*.*"), g), "sDirectory", 8, 60, 161, 21);
    sDirectory->setToolTip(QStringLiteral("Double click: back to the root directory"));
    FileListBoxFTPdir = place(new TLinkedListBox(g), "FileListBoxFTPdir", 8, 84, 161, 308);
    FileListBoxFTPdir->setFont(courier(8));
    FileListBoxFTPdir->setSelectionMode(QAbstractItemView::SingleSelection);
    FileListBoxFTPdir->setToolTip(QStringLiteral("Double click: to directory"));
    sFile = place(new QLineEdit(QStringLiteral("*.csv"), g), "sFile", 176, 60, 249, 21);
    FileListBoxFTP = place(new TLinkedListBox(g), "FileListBoxFTP", 176, 84, 249, 308);
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

    Label30 = label(p, "Label30", QStringLiteral("Copy >> from  date"), 1056, 20);
    MonthCalendar1 = place(new QCalendarWidget(p), "MonthCalendar1", 1056, 40, 191, 170);
    MonthCalendar1->setMinimumDate(QDate(2018, 9, 1));
    MonthCalendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    MonthCalendar1->setGridVisible(false);
    Label31 = label(p, "Label31", QStringLiteral("Current Date"), 1056, 220);
    Label31->hide();
    MonthCalendar2 = place(new QCalendarWidget(p), "MonthCalendar2", 1056, 236, 191, 170);
    MonthCalendar2->setMinimumDate(QDate(2018, 9, 1));
    MonthCalendar2->hide();
    MonthCalendar2->setEnabled(false);

    buildLocalGroup();

    // Listing log.
    Panel1 = place(new QFrame(p), "Panel1", 8, 416, 657, 193);
    Panel1->setFrameShape(QFrame::StyledPanel);
    Memo1 = place(new QPlainTextEdit(Panel1), "Memo1", 8, 8, 641, 177);
    Memo1->setReadOnly(true);
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
    Label17 = label(a, "Label17", QStringLiteral("Proxy Port"), 8, 160);
    ProxyPort = place(new QLineEdit(a), "ProxyPort", 112, 156, 57, 21);
    for (QWidget* w : std::initializer_list<QWidget*>{CheckBox1, ProxyServer, Label17, ProxyPort})
        w->hide();
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
