// The CSV page: its layout, loading from the file lists, the levels, merging,
// the file lists' actions.
#include "logdata/csvpage.h"
#include "logdata/csvpage_rows.h"
#include "logdata/tableprint.h"

#include "charts/channelrules.h"
#include "charts/decisiongraph.h"
#include "charts/spanstats.h"
#include "localfiles/folderlists.h"
#include "localfiles/localpanel.h"
#include "logdata/merge.h"
#include "logdata/rowformat.h"
#include "logdata/stringgrid.h"
#include "logdata/tableprint.h"
#include "platform/guarded.h"
#include "platform/placement.h"
#include "platform/platform.h"
#include "settings/cfgrecord.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>
#include <vector>

using layout::label;
using layout::place;

namespace {
QColor rgb(int r, int g, int b) {
    return QColor(r, g, b);
}
} // namespace

CsvPage::CsvPage(const LoadTargets& channels, std::function<double(int)> multiplier, QWidget* parent)
    : QWidget(parent), m_mergeLines(std::make_unique<logdata::MergeStore>()) {
    setObjectName(QStringLiteral("CsvPage"));
    buildLists();
    buildLevels();
    buildCharts();
    connect(RunButton, &QPushButton::clicked, this, &CsvPage::MergeButtonClick);
    connect(ExitButton, &QPushButton::clicked, this, &CsvPage::exitRequested);

    LoadTargets t = channels;
    t.StringGrid1 = StringGrid1;
    t.Chart1 = Chart1;
    t.Chart2 = Chart2;
    t.Series1 = Chart1->findSeries(QStringLiteral("Series1"));
    t.Series2 = Chart1->findSeries(QStringLiteral("Series2"));
    t.Series5 = Chart1->findSeries(QStringLiteral("Series5"));
    t.Series6 = Chart2->findSeries(QStringLiteral("Series6"));
    t.Series7 = Chart2->findSeries(QStringLiteral("Series7"));
    t.Series8 = Chart2->findSeries(QStringLiteral("Series8"));
    t.Series9 = Chart2->findSeries(QStringLiteral("Series9"));
    t.Series10 = Chart2->findSeries(QStringLiteral("Series10"));
    LoadInputs in;
    in.tLevel = [this] { return TLevel; };
    in.aLevel = [this] { return ALevel; };
    in.xMode = [this] { return Xmode->isChecked(); };
    in.multiplier = std::move(multiplier);
    in.alert = [] { Platform::instance().alertBeep(); };
    // A load that takes a while says how far it is and how to stop it.
    in.progress = [this](qint64 done, qint64 total) {
        if (done == 0 && total == 0) return; // the load's own end says what happened
        const int percent = total > 0 ? static_cast<int>(100 * done / total) : 0;
        emit statusText(QStringLiteral("Loading %1: %2% (Esc stops, keeping the rows read)")
                            .arg(QFileInfo(m_loader->LastFileName()).fileName())
                            .arg(percent));
    };
    m_loader = std::make_unique<CsvLoader>(t, std::move(in));

    // Every chart a load fills knows the table's rows: their moments for the time
    // axis and the statistics, their Date and Time for the tracker, their lines
    // for "Export CSV...".
    m_rows = std::make_unique<Rows>(*this);
    for (TDecisionGraph* g :
         {t.Chart1, t.Chart2, t.DecisionGraphT1, t.DecisionGraphT2, t.DecisionGraphT3, t.DecisionGraphT4,
          t.DecisionGraphA1, t.DecisionGraphA2, t.DecisionGraphA3, t.DecisionGraphA4}) {
        if (!g) continue;
        g->setRows(m_rows.get());
        m_rowCharts.emplace_back(g);
        connect(g, &TDecisionGraph::exportCsvRequested, this,
                Guarded([this](int first, int last) { exportCsvClick(first, last); }));
        // Xmode applies at once, to what is loaded.
        connect(Xmode, &QCheckBox::toggled, g, [g] { g->viewport()->update(); });
    }
    buildStatistics();
}

CsvPage::~CsvPage() {
    // The channel pages may outlive this page for a moment: they must not ask it for rows.
    for (const QPointer<TDecisionGraph>& g : m_rowCharts)
        if (g) g->setRows(nullptr);
}

void CsvPage::buildLists() {
    QWidget* p = this;
    DriveComboBox1 = place(new TDriveComboBox(p), QStringLiteral("DriveComboBox1"), 8, 2, 201, 19);
    DateTimePicker1 =
        place(new QDateEdit(QDate::currentDate(), p), QStringLiteral("DateTimePicker1"), 216, 2, 145, 21);
    DateTimePicker2 =
        place(new QDateEdit(QDate::currentDate(), p), QStringLiteral("DateTimePicker2"), 368, 2, 145, 21);
    for (QDateEdit* d : {DateTimePicker1, DateTimePicker2}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    }
    DateTimePicker1->setToolTip(QStringLiteral("From"));
    DateTimePicker2->setToolTip(QStringLiteral("To"));
    RunButton =
        place(new QPushButton(QStringLiteral("Merge files"), p), QStringLiteral("RunButton"), 520, 0, 65, 25);
    RunButton->setToolTip(QStringLiteral("Run for period"));
    vFileName = place(new QLabel(p), QStringLiteral("vFileName"), 592, 20, 336, 13);
    StatusLine = place(new QLineEdit(QStringLiteral("FTP Disconnected"), p), QStringLiteral("StatusLine"),
                       1104, 0, 129, 19);
    StatusLine->setReadOnly(true);
    StatusLine->setFocusPolicy(Qt::NoFocus);
    StatusLine->setStyleSheet(QStringLiteral("background-color: rgb(255,255,238);"));

    DirectoryListBox1 = place(new TDirectoryListBox(p), QStringLiteral("DirectoryListBox1"), 8, 32, 201, 81);
    FileListBox1 = place(new TFileListBox(p), QStringLiteral("FileListBox1"), 8, 120, 201, 161);
    FileListBox8 = place(new TFileListBox(p), QStringLiteral("FileListBox8"), 8, 288, 201, 81);
    DirectoryListBox2 = place(new TDirectoryListBox(p), QStringLiteral("DirectoryListBox2"), 16, 72, 169, 81);
    DirectoryListBox2->hide();
    SetItemHeight(FileListBox1, 13);
    SetItemHeight(FileListBox8, 13);
    FileListBox1->setMask(QStringLiteral("*.csv"));
    FileListBox8->setMask(QStringLiteral("-*.csv"));
    DriveComboBox1->setDirList(DirectoryListBox1);
    DirectoryListBox1->setDriveCombo(DriveComboBox1);
    DriveComboBox1->setDrive(DriveComboBox1->driveOf(DirectoryListBox1->Directory()));
    DirectoryListBox1->setFileList(FileListBox1);
    DirectoryListBox2->setFileList(FileListBox8);
    connect(DirectoryListBox1, &TDirectoryListBox::changed, this, &CsvPage::DirectoryListBox1Change);
    connect(DirectoryListBox2, &TDirectoryListBox::changed, this, &CsvPage::DirectoryListBox1Change);
    connect(FileListBox1, &TFileListBox::doubleClicked, this, &CsvPage::FileListBox1DblClick);
    connect(FileListBox8, &TFileListBox::doubleClicked, this, &CsvPage::FileListBox8DblClick);

    StringGrid1 = place(new TStringGrid(p), QStringLiteral("StringGrid1"), 216, 32, 921, 337);
    PopupMenuPrint = new QMenu(StringGrid1);
    PopupMenuPrint->setObjectName(QStringLiteral("PopupMenuPrint"));
    Print1 = PopupMenuPrint->addAction(QStringLiteral("Print"));
    Print1->setObjectName(QStringLiteral("Print1"));
    connect(Print1, &QAction::triggered, this, Guarded([this] { Print1Click(); }));
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(StringGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenuPrint->popup(StringGrid1->viewport()->mapToGlobal(pos)); });

    PopupMenuListBox1 = PopupMenuFor(FileListBox1, "PopupMenuListBox1");
    Delete2 = MenuItemOf(PopupMenuListBox1, "Delete2", "Delete");
    DeleteAll2 = MenuItemOf(PopupMenuListBox1, "DeleteAll2", "Delete All");
    Refresh2 = MenuItemOf(PopupMenuListBox1, "Refresh2", "Refresh");
    PopupMenuListBox8 = PopupMenuFor(FileListBox8, "PopupMenuListBox8");
    Delete3 = MenuItemOf(PopupMenuListBox8, "Delete3", "Delete");
    Refresh3 = MenuItemOf(PopupMenuListBox8, "Refresh3", "Refresh");
    connect(Delete2, &QAction::triggered, this, Guarded([this] { Delete2Click(); }));
    connect(DeleteAll2, &QAction::triggered, this, Guarded([this] { DeleteAll2Click(); }));
    connect(Refresh2, &QAction::triggered, this, Guarded([this] { Refresh2Click(); }));
    connect(Delete3, &QAction::triggered, this, Guarded([this] { Delete3Click(); }));
    connect(Refresh3, &QAction::triggered, this, Guarded([this] { Refresh3Click(); }));
}

void CsvPage::buildLevels() {
    QWidget* p = this;
    label(p, QStringLiteral("Label1"), QStringLiteral("T LEVEL"), 24, 408);
    ScrollBar1 = place(new QScrollBar(Qt::Horizontal, p), QStringLiteral("ScrollBar1"), 24, 424, 177, 16);
    ScrollBar1->setRange(channels::kTLevelMin, channels::kTLevelMax);
    ScrollBar1->setSingleStep(1);
    ScrollBar1->setPageStep(10);
    ScrollBar1->setValue(0);
    TLEVEL = place(new QLineEdit(QStringLiteral("TLEVEL"), p), QStringLiteral("TLEVEL"), 152, 400, 49, 21);
    label(p, QStringLiteral("Label2"), QStringLiteral("A LEVEL"), 24, 456);
    ScrollBar2 = place(new QScrollBar(Qt::Horizontal, p), QStringLiteral("ScrollBar2"), 24, 472, 177, 16);
    ScrollBar2->setRange(channels::kALevelMin, channels::kALevelMax);
    ScrollBar2->setSingleStep(1);
    ScrollBar2->setPageStep(10);
    ALEVEL = place(new QLineEdit(QStringLiteral("ALEVEL"), p), QStringLiteral("ALEVEL"), 152, 448, 49, 21);
    for (QLineEdit* e : {TLEVEL, ALEVEL}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        e->setStyleSheet(QStringLiteral("background-color: palette(button);"));
    }
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &CsvPage::ScrollBar1Change);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &CsvPage::ScrollBar2Change);
    Xmode = place(new QCheckBox(QStringLiteral("axel X - Date/Time"), p), QStringLiteral("Xmode"), 24, 504,
                  121, 17);
}

void CsvPage::buildCharts() {
    QWidget* p = this;
    Chart1 =
        place(new TDecisionGraph(QStringLiteral("Chart1"), p), QStringLiteral("Chart1"), 216, 377, 457, 232);
    Chart1->setTitleText(QStringLiteral("Temperature"));
    Chart1->LeftAxis = {false, false, false, -45, 145};
    TChartSeries* s = Chart1->addSeries<TFastLineSeries>(QStringLiteral("Series1"));
    s->setTitle(QStringLiteral("T1"));
    s->setSeriesColor(rgb(255, 0, 0));
    s->setXValuesDateTime(true);
    s = Chart1->addSeries<TFastLineSeries>(QStringLiteral("Series2"));
    s->setTitle(QStringLiteral("T2"));
    s->setSeriesColor(rgb(0, 128, 0));
    s = Chart1->addSeries<TFastLineSeries>(QStringLiteral("Series5"));
    s->setTitle(QStringLiteral("Level"));
    s->setSeriesColor(Qt::white);
    TeeFunction1 =
        std::make_unique<THighTeeFunction>(THighTeeFunction{QStringLiteral("TeeFunction1"), 20, s});
    Chart1->setCursor(Qt::PointingHandCursor);
    connect(Chart1, &TDecisionGraph::clicked, this, &CsvPage::ZoomTClick);

    Chart2 =
        place(new TDecisionGraph(QStringLiteral("Chart2"), p), QStringLiteral("Chart2"), 680, 376, 457, 233);
    Chart2->setTitleText(QStringLiteral("Analog"));
    Chart2->LeftAxis = {false, false, false, -5, 105};
    const struct {
        const char* name;
        const char* title;
        QColor color;
    } analog[] = {{"Series6", "A1", rgb(255, 0, 0)},
                  {"Series7", "A2", rgb(0, 128, 0)},
                  {"Series8", "A3", rgb(255, 255, 0)},
                  {"Series9", "A4", rgb(128, 0, 128)},
                  {"Series10", "Level", rgb(255, 255, 255)}};
    for (const auto& a : analog) {
        s = Chart2->addSeries<TFastLineSeries>(QString::fromLatin1(a.name));
        s->setTitle(QString::fromLatin1(a.title));
        s->setSeriesColor(a.color);
    }
    for (TDecisionGraph* c : {Chart1, Chart2}) {
        c->setMinimumSpan(0.1); // the readings' tenths
        c->Refresh();
    }

    ExitButton =
        place(new QPushButton(QStringLiteral("Exit"), p), QStringLiteral("ExitButton"), 1156, 576, 57, 25);
}

// ---------------------------------------------------------------- the shared folder and the lists

void CsvPage::setFolder(const QString& dir) {
    for (TDirectoryListBox* list : {DirectoryListBox1, DirectoryListBox2})
        if (list->Directory() != dir) list->setDirectory(dir);
}

void CsvPage::DirectoryListBox1Change() {
    // The folder lists all show one folder, and the process's current folder follows.
    auto* source = qobject_cast<TDirectoryListBox*>(sender());
    if (!source) source = DirectoryListBox1;
    const QString dir = source->Directory();
    emit folderChanged(dir);
    for (TDirectoryListBox* other : {DirectoryListBox1, DirectoryListBox2})
        if (other != source && other->Directory() != dir) other->setDirectory(dir);
    QDir::setCurrent(dir);
}

void CsvPage::rereadFiles() {
    FileListBox1->Update();
    FileListBox8->Update();
}

void CsvPage::rereadFileList() {
    FileListBox1->Update();
}

void CsvPage::Delete2Click() {
    if (FileListBox1->count() == 0) return;
    if (Platform::instance().confirm(QStringLiteral("Delete selected file ? ")) != Platform::Answer::Yes)
        return;
    const QString path = FileListBox1->FileName();
    if (path.isEmpty()) throw EError(QStringLiteral("No file is selected in the list"));
    QFile::remove(path);
    emit listsChanged();
}

void CsvPage::DeleteAll2Click() {
    if (LocalFolderPanel::DeleteAllListed(FileListBox1)) emit listsChanged();
}

void CsvPage::Delete3Click() {
    if (FileListBox8->count() == 0) return;
    const QString path = FileListBox8->FileName();
    if (path.isEmpty()) throw EError(QStringLiteral("No file is selected in the list"));
    QFile::remove(path);
    emit listsChanged();
}

void CsvPage::Refresh2Click() {
    emit listsChanged();
}
void CsvPage::Refresh3Click() {
    emit listsChanged();
}

// ---------------------------------------------------------------- loading and merging

void CsvPage::FileListBox1DblClick() {
    const QString name = FileListBox1->FileName();
    vFileName->setText(name);
    if (name.isEmpty()) return;
    LoadCSVFile(name, ',');
    emit fileOpened(QFileInfo(name).absoluteFilePath()); // loaded: one of the recent files now
}

void CsvPage::FileListBox8DblClick() {
    const QString name = FileListBox8->FileName();
    vFileName->setText(name);
    if (name.isEmpty()) return;
    LoadCSVFile(name, ',');
    emit fileOpened(QFileInfo(name).absoluteFilePath());
}

void CsvPage::cancelLoad() {
    if (m_loader->isLoading()) m_loader->Cancel();
}

void CsvPage::reloadShown() {
    // The file on screen, a day file or a merge, under the multipliers now set.
    const QString name = m_loader->LastFileName();
    if (name.isEmpty()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    tellEnd(m_loader->ReloadCSVFile());
}

void CsvPage::tellEnd(CsvLoader::Result result) {
    if (result == CsvLoader::Result::Cancelled)
        emit statusText(QStringLiteral("Loading stopped: %1 rows of %2 loaded")
                            .arg(StringGrid1->RowCount() - 1)
                            .arg(QFileInfo(m_loader->LastFileName()).fileName()));
    else if (result == CsvLoader::Result::Loaded)
        emit statusText(QString());
}

void CsvPage::openFile(const QString& path) {
    FileListBox1->Update();
    FileListBox1->selectName(QFileInfo(path).fileName());
    vFileName->setText(QDir::toNativeSeparators(path));
    LoadCSVFile(path, ',');
}

void CsvPage::LoadCSVFile(const QString& fileName, char separator) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    tellEnd(m_loader->LoadCSVFile(fileName, separator));
}

void CsvPage::MergeButtonClick() {
    RunButton->setEnabled(false);
    // The button comes back however the merge ends.
    const auto enable = qScopeGuard([this] { RunButton->setEnabled(true); });
    const logdata::MergePlan plan =
        logdata::PlanMerge(QDir::currentPath(), DateTimePicker1->date(), DateTimePicker2->date());
    const logdata::MergeResult result = logdata::RunMerge(plan, *m_mergeLines);
    for (const QString& m : result.messages)
        Platform::instance().showMessage(m);
    if (result.status == logdata::MergeResult::Status::ReadFailed) throw EInOutError(result.errorText);
    if (result.shouldLoad()) {
        LoadCSVFile(result.mergedName, ',');
        vFileName->setText(result.mergedName);
    }
    FileListBox1->setMask(QStringLiteral("*.csv"));
    emit listsChanged();
}

// ---------------------------------------------------------------- levels, zoom, status

void CsvPage::ScrollBar1Change() {
    TLEVEL->setText(channels::LevelText(ScrollBar1->value()));
    TLevel = ScrollBar1->value();
    if (m_loader) m_loader->ReLevel(TLevel, ALevel); // the lines and every figure follow the bar
}

void CsvPage::ScrollBar2Change() {
    ALEVEL->setText(channels::LevelText(ScrollBar2->value()));
    ALevel = ScrollBar2->value();
    if (m_loader) m_loader->ReLevel(TLevel, ALevel);
}

void CsvPage::ZoomTClick() {
    emit temperatureZoomRequested();
}

void CsvPage::showConnection(bool connected) {
    StatusLine->setText(connected ? QStringLiteral("FTP Connected") : QStringLiteral("FTP Disconnected"));
    StatusLine->setStyleSheet(connected ? QStringLiteral("background-color: rgb(238,255,238);")
                                        : QStringLiteral("background-color: rgb(255,255,238);"));
}

void CsvPage::setExitEnabled(bool enabled) {
    ExitButton->setEnabled(enabled);
}

// ---------------------------------------------------------------- settings

void CsvPage::applySettings(const settings::CFGRecord& r) {
    ScrollBar1->setValue(r.tLevel());
    ScrollBar2->setValue(r.aLevel());
    TLEVEL->setText(channels::LevelText(ScrollBar1->value()));
    ALEVEL->setText(channels::LevelText(ScrollBar2->value()));
    // A stored level beyond its bar's range is taken as the bar shows it, for
    // loads too: what the user sees is what the readings are compared with.
    TLevel = ScrollBar1->value();
    ALevel = ScrollBar2->value();
    DriveComboBox1->setCurrentIndex(r.driveIndex() < DriveComboBox1->count() ? r.driveIndex() : -1);
}

void CsvPage::applyDates() {
    DateTimePicker1->setDate(QDate::currentDate());
    DateTimePicker2->setDate(QDate::currentDate());
}

void CsvPage::storeSettings(settings::CFGRecord& r) const {
    r.setTLevel(ScrollBar1->value());
    r.setALevel(ScrollBar2->value());
    r.setDriveIndex(DriveComboBox1->currentIndex());
    r.setFolder(QDir::toNativeSeparators(DirectoryListBox1->Directory()));
}
