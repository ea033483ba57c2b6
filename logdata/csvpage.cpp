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
#include "platform/fit.h"
#include "platform/guarded.h"
#include "platform/platform.h"
#include "settings/cfgrecord.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
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
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

using layout::named;

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
    arrangePage();
}

void CsvPage::arrangePage() {
    // The lists, levels and statistics in a column on the left; on the right the
    // merge row, then the table above the two charts (a user moves the border),
    // Exit beside the charts. Larger windows give their room to the table and the charts.
    auto* left = new QVBoxLayout;
    left->setSpacing(7);
    left->addWidget(DriveComboBox1);
    left->addWidget(DirectoryListBox1, 81);
    left->addWidget(FileListBox1, 161);
    left->addWidget(FileListBox8, 81);
    left->addSpacing(16);
    auto* levels = new QGridLayout;
    levels->setContentsMargins(16, 0, 8, 0);
    levels->setVerticalSpacing(2);
    levels->addWidget(Label1, 0, 0, Qt::AlignBottom);
    levels->addWidget(TLEVEL, 0, 1, Qt::AlignRight);
    levels->addWidget(ScrollBar1, 1, 0, 1, 2);
    levels->setRowMinimumHeight(2, 8);
    levels->addWidget(Label2, 3, 0, Qt::AlignBottom);
    levels->addWidget(ALEVEL, 3, 1, Qt::AlignRight);
    levels->addWidget(ScrollBar2, 4, 0, 1, 2);
    levels->setRowMinimumHeight(5, 8);
    levels->addWidget(Xmode, 6, 0, 1, 2);
    left->addLayout(levels);
    left->addWidget(StatisticsTable);
    for (QWidget* w : std::initializer_list<QWidget*>{DirectoryListBox1, FileListBox1, FileListBox8})
        w->setMinimumHeight(std::max(w->fontMetrics().height() * 3, 40));
    DriveComboBox1->setMinimumWidth(201);

    auto* merge = new QHBoxLayout;
    merge->setSpacing(7);
    merge->addWidget(DateTimePicker1);
    merge->addWidget(DateTimePicker2);
    merge->addWidget(RunButton);
    merge->addWidget(vFileName, 1, Qt::AlignBottom);
    merge->addWidget(StatusLine, 0, Qt::AlignTop);

    auto* charts = new QWidget;
    charts->setObjectName(QStringLiteral("OverviewCharts"));
    auto* chartRow = new QHBoxLayout(charts);
    chartRow->setContentsMargins(0, 0, 0, 0);
    chartRow->setSpacing(7);
    chartRow->addWidget(Chart1, 1);
    chartRow->addWidget(Chart2, 1);
    for (TDecisionGraph* c : {Chart1, Chart2})
        c->setMinimumSize(240, 220); // room for every label of the vertical axis
    StringGrid1->setMinimumHeight(100);
    TableChartSplitter = named(new QSplitter(Qt::Vertical, this), "CsvSplitter");
    TableChartSplitter->setChildrenCollapsible(false);
    TableChartSplitter->setHandleWidth(7);
    TableChartSplitter->addWidget(StringGrid1);
    TableChartSplitter->addWidget(charts);
    TableChartSplitter->setStretchFactor(0, 337);
    TableChartSplitter->setStretchFactor(1, 233);
    TableChartSplitter->setSizes({337, 233});

    auto* exitColumn = new QVBoxLayout;
    exitColumn->addStretch(1);
    exitColumn->addWidget(ExitButton);
    auto* body = new QHBoxLayout;
    body->setSpacing(19);
    body->addWidget(TableChartSplitter, 1);
    body->addLayout(exitColumn);

    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    right->addLayout(merge);
    right->addLayout(body, 1);

    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(8, 2, 18, 8);
    page->setSpacing(7);
    page->addLayout(left);
    page->addLayout(right, 1);

    // Tab goes down the left column, then along the merge row, the table, the charts, Exit.
    // The level bars, the statistics and the table are read and moved with the keys too.
    for (QWidget* w : std::initializer_list<QWidget*>{ScrollBar1, ScrollBar2, StatisticsTable, StringGrid1})
        w->setFocusPolicy(Qt::StrongFocus);
    // Tab leaves the tables for the next control; the arrow keys move inside them.
    StatisticsTable->setTabKeyNavigation(false);
    StringGrid1->setTabKeyNavigation(false);
    layout::chainFocus({DriveComboBox1, DirectoryListBox1, FileListBox1, FileListBox8, ScrollBar1, ScrollBar2,
                        Xmode, StatisticsTable, DateTimePicker1, DateTimePicker2, RunButton, StringGrid1,
                        Chart1, Chart2, ExitButton});
    layout::nameControls(this);
}

CsvPage::~CsvPage() {
    // The channel pages may outlive this page for a moment: they must not ask it for rows.
    for (const QPointer<TDecisionGraph>& g : m_rowCharts)
        if (g) g->setRows(nullptr);
}

void CsvPage::buildLists() {
    QWidget* p = this;
    DriveComboBox1 = named(new TDriveComboBox(p), "DriveComboBox1");
    DateTimePicker1 = named(new QDateEdit(QDate::currentDate(), p), "DateTimePicker1");
    DateTimePicker2 = named(new QDateEdit(QDate::currentDate(), p), "DateTimePicker2");
    for (QDateEdit* d : {DateTimePicker1, DateTimePicker2}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    }
    DateTimePicker1->setToolTip(QStringLiteral("From"));
    DateTimePicker2->setToolTip(QStringLiteral("To"));
    DateTimePicker1->setAccessibleName(QStringLiteral("Merge from"));
    DateTimePicker2->setAccessibleName(QStringLiteral("Merge to"));
    for (QDateEdit* d : {DateTimePicker1, DateTimePicker2})
        d->setMinimumWidth(std::max(145, d->sizeHint().width()));
    RunButton = named(new QPushButton(QStringLiteral("Merge files"), p), "RunButton");
    layout::fitMinimumWidth(RunButton, {RunButton->text()}, 16);
    RunButton->setToolTip(QStringLiteral("Run for period"));
    vFileName = named(new TElidingLabel(p), "vFileName");
    vFileName->setAccessibleName(QStringLiteral("File shown"));
    StatusLine = named(new QLineEdit(QStringLiteral("FTP Disconnected"), p), "StatusLine");
    StatusLine->setAccessibleName(QStringLiteral("Connection"));
    layout::fitMinimumWidth(
        StatusLine, {QStringLiteral("FTP Connected, TLS (files unencrypted)"), StatusLine->text()}, 12);
    StatusLine->setMaximumWidth(std::max(129, StatusLine->minimumWidth()));
    StatusLine->setReadOnly(true);
    StatusLine->setFocusPolicy(Qt::NoFocus);
    layout::fixColours(StatusLine, QColor(255, 255, 238));

    DirectoryListBox1 = named(new TDirectoryListBox(p), "DirectoryListBox1");
    FileListBox1 = named(new TFileListBox(p), "FileListBox1");
    FileListBox8 = named(new TFileListBox(p), "FileListBox8");
    DirectoryListBox2 = named(new TDirectoryListBox(p), "DirectoryListBox2");
    DriveComboBox1->setAccessibleName(QStringLiteral("Drive"));
    DirectoryListBox1->setAccessibleName(QStringLiteral("Folders"));
    FileListBox1->setAccessibleName(QStringLiteral("Day files"));
    FileListBox8->setAccessibleName(QStringLiteral("Merged files"));
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

    StringGrid1 = named(new TStringGrid(p), "StringGrid1");
    StringGrid1->setAccessibleName(QStringLiteral("Readings"));
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
    Label1 = layout::caption(p, "Label1", QStringLiteral("T LEVEL"));
    ScrollBar1 = named(new QScrollBar(Qt::Horizontal, p), "ScrollBar1");
    ScrollBar1->setRange(channels::kTLevelMin, channels::kTLevelMax);
    ScrollBar1->setSingleStep(1);
    ScrollBar1->setPageStep(10);
    ScrollBar1->setValue(0);
    TLEVEL = named(new QLineEdit(QStringLiteral("TLEVEL"), p), "TLEVEL");
    Label2 = layout::caption(p, "Label2", QStringLiteral("A LEVEL"));
    ScrollBar2 = named(new QScrollBar(Qt::Horizontal, p), "ScrollBar2");
    ScrollBar2->setRange(channels::kALevelMin, channels::kALevelMax);
    ScrollBar2->setSingleStep(1);
    ScrollBar2->setPageStep(10);
    ALEVEL = named(new QLineEdit(QStringLiteral("ALEVEL"), p), "ALEVEL");
    for (QLineEdit* e : {TLEVEL, ALEVEL}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        layout::buttonFaceColours(e);
        // Room for the widest level, sign included.
        layout::fitMinimumWidth(e, {QStringLiteral("-45"), QStringLiteral("100")}, 14);
        e->setMaximumWidth(std::max(49, e->minimumWidth()));
    }
    ScrollBar1->setAccessibleName(QStringLiteral("T LEVEL"));
    ScrollBar2->setAccessibleName(QStringLiteral("A LEVEL"));
    TLEVEL->setAccessibleName(QStringLiteral("T LEVEL value"));
    ALEVEL->setAccessibleName(QStringLiteral("A LEVEL value"));
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &CsvPage::ScrollBar1Change);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &CsvPage::ScrollBar2Change);
    Xmode = named(new QCheckBox(QStringLiteral("axel X - Date/Time"), p), "Xmode");
}

void CsvPage::buildCharts() {
    QWidget* p = this;
    Chart1 = new TDecisionGraph(QStringLiteral("Chart1"), p);
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

    Chart2 = new TDecisionGraph(QStringLiteral("Chart2"), p);
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

    ExitButton = named(new QPushButton(QStringLiteral("Exit"), p), "ExitButton");
    ExitButton->setMinimumWidth(57);
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

void CsvPage::showConnection(bool connected, const QString& text) {
    // The transfer page's own words ("FTP Connected, TLS"), so that both pages say the same.
    StatusLine->setText(!text.isEmpty() ? text
                        : connected     ? QStringLiteral("FTP Connected")
                                        : QStringLiteral("FTP Disconnected"));
    layout::fixColours(StatusLine, connected ? QColor(238, 255, 238) : QColor(255, 255, 238));
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
