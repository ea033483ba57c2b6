// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"

#include "app/application.h"
#include "app/pagecontrol.h"
#include "charts/channelpage.h"
#include "charts/decisiongraph.h"
#include "localfiles/localpanel.h"
#include "logdata/csvpage.h"
#include "platform/platform.h"
#include "settings/appsettings.h"
#include "settings/cfgrecord.h"
#include "settings/settingsplace.h"
#include "transfer/ftpsession.h"
#include "transfer/transferpage.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {
// The program's icon: a small chart with a temperature line, drawn here.
// Drawn at every size a desktop asks for, so that it stays crisp on scaled screens.
QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        p.setBrush(QColor(255, 255, 238));
        p.setPen(QPen(QColor(64, 0, 64), 2));
        p.drawRoundedRect(2, 2, 28, 28, 4, 4);
        p.setPen(QPen(QColor(220, 0, 0), 2));
        p.drawPolyline(
            QPolygon({QPoint(5, 22), QPoint(11, 14), QPoint(17, 18), QPoint(22, 8), QPoint(27, 12)}));
        p.setPen(QPen(QColor(0, 128, 0), 2));
        p.drawLine(5, 26, 27, 26);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

// Puts a page into its tab sheet, filling it; where the window is smaller than
// the page needs, the page scrolls.
void fill(TTabSheet* sheet, QWidget* page) {
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* scroll = new QScrollArea(sheet);
    scroll->setObjectName(sheet->objectName() + QStringLiteral("Scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(page);
    layout->addWidget(scroll);
}

// Keys of the window's state in tervane640.ini.
const QString kGeometryKey = QStringLiteral("Window/Geometry");
const QString kPageKey = QStringLiteral("Window/Page");
const QString kSplitterKey = QStringLiteral("Window/Splitter/");
} // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), CFGRecord(std::make_unique<settings::CFGRecord>()),
      m_place(std::make_unique<settings::SettingsPlace>(StartSettingsPlace())),
      m_settingsPath(QDir(m_place->folder).filePath(QString::fromLatin1(settings::kCfgFileName))) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tervane monitoring software for KZ640TL/FTP data-logger"));
    QFont f;
    // The logger's users know the window in MS Sans Serif; Liberation Sans has the
    // same widths as Arial and stands in where that face is missing.
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    f.setPointSize(8);
    f.setStyleHint(QFont::SansSerif);
    setFont(f);
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    buildMenu();
    buildPages();
    wirePages();
    GuardRecordTexts();
    // The designed size until the window is shown; then what the last run left.
    resize(kDesignSize);
}

void TForm1::setVisible(bool visible) {
    if (visible && !m_stateRestored) {
        m_stateRestored = true;
        restoreWindowState();
    }
    QMainWindow::setVisible(visible);
}

void TForm1::restoreWindowState() {
    // Small enough for a 1080p screen at 200 % (960x540 with the frame).
    setMinimumSize(kMinimumSize);
    settings::AppSettings& ini = appSettings();
    const QByteArray geometry = ini.value(kGeometryKey).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        // The designed size, where the screen has room for it; the frame at 8,5.
        resize(kDesignSize);
        if (!placedByDesktop()) move(availableArea().topLeft() + QPoint(8, 5));
    }
    fitIntoScreen();
    for (QSplitter* s : findChildren<QSplitter*>())
        if (!s->objectName().isEmpty())
            if (const QByteArray state = ini.value(kSplitterKey + s->objectName()).toByteArray();
                !state.isEmpty())
                s->restoreState(state);
    const int page = ini.value(kPageKey, 0).toInt();
    if (page >= 0 && page < PageControl1->PageCount()) PageControl1->setActivePageIndex(page);
}

void TForm1::saveWindowState() {
    settings::AppSettings& ini = appSettings();
    ini.setValue(kGeometryKey, saveGeometry());
    for (const QSplitter* s : findChildren<QSplitter*>())
        if (!s->objectName().isEmpty()) ini.setValue(kSplitterKey + s->objectName(), s->saveState());
    ini.setValue(kPageKey, PageControl1->ActivePageIndex());
}

bool TForm1::placedByDesktop() {
    // Wayland compositors place windows themselves.
    return QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

QRect TForm1::availableArea() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, kDesignSize.width(), kDesignSize.height());
}

void TForm1::fitIntoScreen() {
    // Never larger than the screen's free area, frame and title included.
    if (isMaximized() || isFullScreen()) return;
    const QRect area = availableArea();
    // Before the window is shown the frame is not known: allow for a usual title bar and border.
    const QSize frame = isVisible() ? frameGeometry().size() - geometry().size() : QSize(8, 32);
    const QSize room = (area.size() - frame).expandedTo(minimumSize());
    if (width() > room.width() || height() > room.height()) resize(size().boundedTo(room));
    if (placedByDesktop()) return;
    QRect framed = frameGeometry();
    if (!isVisible()) framed.setSize(size() + frame);
    if (!area.contains(framed)) {
        QPoint to = framed.topLeft();
        to.setX(std::clamp(to.x(), area.left(), std::max(area.left(), area.right() + 1 - framed.width())));
        to.setY(std::clamp(to.y(), area.top(), std::max(area.top(), area.bottom() + 1 - framed.height())));
        move(to);
    }
}

TForm1::~TForm1() = default;

FtpSession& TForm1::session() const {
    return m_transfer->session();
}

void TForm1::buildMenu() {
    auto* menu = menuBar();
    menu->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* file = menu->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File1"));
    FileOpen1 = file->addAction(QStringLiteral("Open..."));
    FileOpen1->setObjectName(QStringLiteral("FileOpen1"));
    FileOpen1->setShortcut(QKeySequence::Open);
    connect(FileOpen1, &QAction::triggered, this, Guarded([this] { FileOpen1Click(); }));
    RecentFiles = file->addMenu(QStringLiteral("Recent files"));
    RecentFiles->setObjectName(QStringLiteral("RecentFiles"));
    connect(RecentFiles, &QMenu::aboutToShow, this, &TForm1::RecentFilesShow);
    RecentFilesShow();
    file->addSeparator();
    PrintPreview1 = file->addAction(QStringLiteral("Print preview..."));
    PrintPreview1->setObjectName(QStringLiteral("PrintPreview1"));
    connect(PrintPreview1, &QAction::triggered, this, Guarded([this] { PrintPreview1Click(); }));
    Print2 = file->addAction(QStringLiteral("Print"));
    Print2->setObjectName(QStringLiteral("Print2"));
    connect(Print2, &QAction::triggered, this, Guarded([this] { m_csv->printTable(); }));
    Exit1 = file->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(Exit1, &QAction::triggered, this, Guarded([this] { Exit1Click(); }));
    QMenu* setting = menu->addMenu(QStringLiteral("Setting"));
    setting->setObjectName(QStringLiteral("Setting1"));
    SaveSetting1 = setting->addAction(QStringLiteral("Save Setting"));
    SaveSetting1->setObjectName(QStringLiteral("SaveSetting1"));
    connect(SaveSetting1, &QAction::triggered, this, Guarded([this] { SaveSetting1Click(); }));
    addForgetServerItem(setting);
}

// "Setting" > "Forget this server's security": for a server that changed for good, or an answer the
// user wants to take back, without editing files.
void TForm1::addForgetServerItem(QMenu* setting) {
    QAction* forget = setting->addAction(QStringLiteral("Forget this server's security"));
    forget->setObjectName(QStringLiteral("ForgetServer1"));
    forget->setToolTip(QStringLiteral("Forget the trusted certificate, the encrypted log-ons seen and the "
                                      "permission to log on without encryption for the server in the FTP "
                                      "account"));
    connect(forget, &QAction::triggered, this, Guarded([this] { m_transfer->forgetServerSecurity(); }));
}

void TForm1::buildPages() {
    PageControl1 = new TPageControl(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setToolTip(QStringLiteral("Right button: print"));
    setCentralWidget(PageControl1);
    PageControl1->addPage(
        new TTabSheet(QStringLiteral("TabSheet2"), QStringLiteral("From FTP to local PC file transfer")));
    PageControl1->addPage(
        new TTabSheet(QStringLiteral("TabSheet4"), QStringLiteral("CSV (Table and Chart)")));
    for (const channels::ChannelDescription& d : channels::Channels())
        PageControl1->addPage(new TTabSheet(QString::fromLatin1(d.page), QString::fromLatin1(d.caption)));
    PageControl1->setActivePageIndex(0);

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(22);
    StatusBar1->setSizeGripEnabled(true);

    for (std::size_t i = 0; i < m_channels.size(); ++i) {
        const channels::ChannelDescription& d = channels::Channels()[i];
        m_channels[i] = new ChannelPage(d, sheet(d.page));
        fill(sheet(d.page), m_channels[i]);
    }
    // Every page is made inside its sheet, so that its controls are measured in the window's font.
    m_local = new LocalFolderPanel(sheet("TabSheet2"));
    m_transfer = new TransferPage(m_local, sheet("TabSheet2"));
    fill(sheet("TabSheet2"), m_transfer);

    // A load fills the channel pages' series too.
    LoadTargets t;
    auto graph = [this](int i) { return m_channels[static_cast<std::size_t>(i)]->graph(); };
    auto series = [&](int i, const char* name) { return graph(i)->findSeries(QString::fromLatin1(name)); };
    t.DecisionGraphT1 = graph(0);
    t.DecisionGraphT2 = graph(1);
    t.DecisionGraphT3 = graph(2);
    t.DecisionGraphT4 = graph(3);
    t.DecisionGraphA1 = graph(4);
    t.DecisionGraphA2 = graph(5);
    t.DecisionGraphA3 = graph(6);
    t.DecisionGraphA4 = graph(7);
    t.FastLineSeries1 = series(0, "FastLineSeries1");
    t.FastLineSeries5 = series(0, "FastLineSeries5");
    t.FastLineSeries2 = series(1, "FastLineSeries2");
    t.FastLineSeries3 = series(2, "FastLineSeries3");
    t.Series14 = series(2, "Series14");
    t.FastLineSeries4 = series(3, "FastLineSeries4");
    t.FastLineSeries6 = series(4, "FastLineSeries6");
    t.FastLineSeries10 = series(4, "FastLineSeries10");
    t.Series11 = series(4, "Series11");
    t.FastLineSeries7 = series(5, "FastLineSeries7");
    t.Series12 = series(5, "Series12");
    t.FastLineSeries8 = series(6, "FastLineSeries8");
    t.Series13 = series(6, "Series13");
    t.FastLineSeries9 = series(7, "FastLineSeries9");
    auto multiplier = [this](int channel) {
        for (const ChannelPage* c : m_channels)
            if (c->description().multiplier.channel == channel) return c->multiplier();
        return 1.0;
    };
    m_csv = new CsvPage(t, multiplier, sheet("TabSheet4"));
    fill(sheet("TabSheet4"), m_csv);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
    Timer1->start();
}

void TForm1::wirePages() {
    connect(this, &TForm1::settingsApplied, this, &TForm1::openStartFile);
    connect(PageControl1, &TPageControl::changed, this, &TForm1::PageControl1Change);
    connect(PageControl1, &TPageControl::entered, this, Guarded([this] { PageControl1Enter(); }));

    // The session.
    connect(m_transfer, &TransferPage::statusText, StatusBar1,
            [this](const QString& text) { StatusBar1->showMessage(text); });
    connect(m_csv, &CsvPage::statusText, StatusBar1, [this](const QString& text) {
        if (text.isEmpty())
            StatusBar1->clearMessage();
        else
            StatusBar1->showMessage(text);
        StatusBar1->repaint(); // seen during a long load or printout, before the loop runs again
    });
    connect(m_csv, &CsvPage::fileOpened, this, [this](const QString& path) {
        appSettings().addRecentFile(path);
        RecentFilesShow();
    });
    connect(m_transfer, &TransferPage::connectionShown, m_csv, &CsvPage::showConnection);
    connect(m_transfer, &TransferPage::exitEnabled, m_csv, &CsvPage::setExitEnabled);
    connect(m_transfer, &TransferPage::exitRequested, this, &TForm1::Exit1Click);
    connect(m_csv, &CsvPage::exitRequested, this, &TForm1::Exit1Click);
    connect(m_transfer, &TransferPage::closeRequested, this, &QWidget::close);
    connect(&m_transfer->session(), &FtpSession::closeWhenIdle, this, &QWidget::close);
    connect(m_transfer, &TransferPage::saveSettingsRequested, this,
            [this] { SaveCFGFile(QString::fromLatin1(settings::kCfgFileName), false); });

    // The local folder all lists share, and files that came or went.
    connect(m_local, &LocalFolderPanel::folderChanged, m_csv, &CsvPage::setFolder);
    connect(m_csv, &CsvPage::folderChanged, m_local, &LocalFolderPanel::setFolder);
    connect(m_local, &LocalFolderPanel::listsChanged, this, &TForm1::RereadLocalLists);
    connect(m_csv, &CsvPage::listsChanged, this, &TForm1::RereadLocalLists);
    connect(m_transfer, &TransferPage::fileListStale, m_csv, &CsvPage::rereadFileList);
    // The timer's fetch: it waits while a file loads, and the day file on screen follows what it brought.
    m_transfer->setAutoFetchGate([this] { return !m_csv->isLoading(); });
    connect(m_transfer, &TransferPage::filesFetched, m_csv, [this](const QStringList& paths) {
        for (const QString& p : paths)
            m_csv->reloadGrownFile(p);
    });

    // The channel pages.
    connect(m_csv, &CsvPage::temperatureZoomRequested, this,
            [this] { PageControl1->setActivePage(sheet(channels::Channels()[0].page)); });
    for (ChannelPage* c : m_channels) {
        TTabSheet* page = sheet(c->description().page);
        connect(c, &ChannelPage::nameChanged, page, &TTabSheet::setCaption);
        connect(c, &ChannelPage::refreshRequested, m_csv, &CsvPage::reloadShown);
    }
}

TTabSheet* TForm1::sheet(const char* name) const {
    return PageControl1->findChild<TTabSheet*>(QString::fromLatin1(name));
}

void TForm1::RereadLocalLists() {
    m_local->rereadFiles();
    m_csv->rereadFiles();
    m_local->showCount();
}

void TForm1::OpenFile(const QString& path) {
    const QFileInfo file(path);
    if (!file.isFile()) {
        ShowStandardError(EInOutError(QStringLiteral("File not found: ") + QDir::toNativeSeparators(path)));
        return;
    }
    m_local->setFolder(file.absolutePath());
    PageControl1->setActivePage(sheet("TabSheet4"));
    try {
        m_csv->openFile(file.absoluteFilePath());
        appSettings().addRecentFile(file.absoluteFilePath());
        RecentFilesShow();
    } catch (const std::exception& e) {
        ShowStandardError(e);
    }
}

void TForm1::OpenFileAtStart(const QString& path) {
    if (m_initialised) {
        OpenFile(path);
        return;
    }
    m_startFile = path;
}

void TForm1::openStartFile() {
    if (m_startFile.isEmpty()) return;
    OpenFile(std::exchange(m_startFile, QString()));
}

settings::AppSettings& TForm1::appSettings() {
    if (!m_appSettings)
        m_appSettings = std::make_unique<settings::AppSettings>(
            settingsFile(QString::fromLatin1(settings::AppSettings::kFileName)));
    return *m_appSettings;
}

void TForm1::FileOpen1Click() {
    const QString loaded = m_csv->loadedFile();
    const QString dir = loaded.isEmpty() ? QDir::currentPath() : QFileInfo(loaded).absolutePath();
    const QString path =
        Platform::instance().chooseOpenFile(QStringLiteral("Open a logger file"), dir,
                                            QStringLiteral("Logger files (*.csv *.CSV);;All files (*)"));
    if (!path.isEmpty()) OpenFile(path);
}

void TForm1::RecentFilesShow() {
    // The list as the file has it now: another window of the program may have added to it.
    RecentFiles->clear();
    const QStringList files = appSettings().recentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        // An "&" of the path is shown as itself, not taken for a mnemonic.
        QString shown = QDir::toNativeSeparators(path);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* a = RecentFiles->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
        a->setObjectName(QStringLiteral("RecentFile%1").arg(i + 1));
        a->setData(path);
        connect(a, &QAction::triggered, this, Guarded([this, path] {
                    if (!QFileInfo(path).isFile()) {
                        // A file that is gone leaves the list, and says so.
                        appSettings().removeRecentFile(path);
                        RecentFilesShow();
                    }
                    OpenFile(path);
                }));
    }
    RecentFiles->setEnabled(!files.isEmpty());
}

void TForm1::PrintPreview1Click() {
    // The chart of the channel page on screen, or the table of the CSV page.
    QWidget* page = PageControl1->ActivePage();
    for (ChannelPage* c : m_channels)
        if (c && page && page->isAncestorOf(c)) {
            TDecisionGraph* g = c->graph();
            Platform::instance().printPreview(QStringLiteral("Print preview"), [g](QPrinter& printer) {
                printer.setPageOrientation(QPageLayout::Landscape);
                g->PrintChart(printer);
            });
            return;
        }
    // A preview paints all its pages up front: a long table shows its first pages, and says so.
    const int pages = m_csv->tablePages();
    const QString caption =
        pages > CsvPage::kPreviewPages
            ? QStringLiteral("Print preview: the first %1 of %2 pages (File > Print prints any of them)")
                  .arg(CsvPage::kPreviewPages)
                  .arg(pages)
            : QStringLiteral("Print preview");
    Platform::instance().printPreview(caption, [this](QPrinter& printer) { m_csv->printTableOn(printer); });
}

namespace {
// The local .csv file a drag carries ("" when it carries none).
QString DroppedCsv(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0) return path;
    }
    return {};
}
} // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* e) {
    if (!DroppedCsv(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* e) {
    const QString path = DroppedCsv(e->mimeData());
    if (path.isEmpty()) return;
    e->acceptProposedAction();
    OpenFile(path);
}

void TForm1::PageControl1Change() {}

void TForm1::Timer1Timer() {
    m_transfer->watchConnection();
}

void TForm1::Exit1Click() {
    m_transfer->exitNow();
}

void TForm1::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (m_shownOnce) return;
    m_shownOnce = true;
    fitIntoScreen(); // now that the frame's size is known
    // The start-up runs when the focus first enters the page control. Ask for the
    // focus; where the desktop withholds it (no window manager, focus-stealing
    // prevention) the start-up still runs shortly after the window appears, so
    // the window never sits there half made.
    activateWindow();
    QTimer::singleShot(kStartUpFallbackMs, this, Guarded([this] {
                           if (m_initialised) return;
                           m_startUpByFallback = true;
                           PageControl1Enter();
                       }));
}

void TForm1::closeEvent(QCloseEvent* e) {
    // A handler still waits inside an engine call: the window closes once it has unwound.
    if (m_transfer->session().deferClose()) {
        e->ignore();
        return;
    }
    saveWindowState();
    m_csv->cancelLoad(); // a load under way ends with the window
    QMainWindow::closeEvent(e);
}
