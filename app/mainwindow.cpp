#include "app/mainwindow.h"

#include "app/application.h"
#include "app/pagecontrol.h"
#include "app/platform/platform.h"
#include "app/settings/cfgrecord.h"
#include "charts/decisiongraph.h"
#include "localfiles/folderlists.h"
#include "logdata/csvloader.h"
#include "logdata/merge.h"
#include "logdata/stringgrid.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

namespace {
// The program's icon: a small chart with a temperature line, drawn here.
QIcon ProgramIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 255, 238));
    p.setPen(QPen(QColor(64, 0, 64), 2));
    p.drawRoundedRect(2, 2, 28, 28, 4, 4);
    p.setPen(QPen(QColor(220, 0, 0), 2));
    p.drawPolyline(QPolygon({QPoint(5, 22), QPoint(11, 14), QPoint(17, 18), QPoint(22, 8), QPoint(27, 12)}));
    p.setPen(QPen(QColor(0, 128, 0), 2));
    p.drawLine(5, 26, 27, 26);
    return QIcon(pm);
}

template <class W> W* place(W* w, const QString& name, int x, int y, int width, int height) {
    w->setObjectName(name);
    w->setGeometry(x, y, width, height);
    return w;
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QColor rgb(int r, int g, int b) {
    return QColor(r, g, b);
}
const QColor kChannelColor(64, 0, 64);
} // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), CFGRecord(std::make_unique<settings::CFGRecord>()),
      m_mergeLines(std::make_unique<logdata::MergeStore>()) {
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
    // The window's frame sits at 8,5 (move() places the frame, setGeometry() the inside).
    resize(1255, 728);
    move(8, 5);
    setWindowIcon(ProgramIcon());
    buildWindow();
}

TForm1::~TForm1() = default;

void TForm1::buildWindow() {
    auto* menu = menuBar();
    menu->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1File = menu->addMenu(QStringLiteral("File"));
    MainMenu1File->setObjectName(QStringLiteral("File1"));
    Print2 = MainMenu1File->addAction(QStringLiteral("Print"));
    Print2->setObjectName(QStringLiteral("Print2"));
    connect(Print2, &QAction::triggered, this, Guarded([this] { Print1Click(); }));
    Exit1 = MainMenu1File->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(Exit1, &QAction::triggered, this, Guarded([this] { Exit1Click(); }));
    QMenu* setting = menu->addMenu(QStringLiteral("Setting"));
    setting->setObjectName(QStringLiteral("Setting1"));
    SaveSetting1 = setting->addAction(QStringLiteral("Save Setting"));
    SaveSetting1->setObjectName(QStringLiteral("SaveSetting1"));
    connect(SaveSetting1, &QAction::triggered, this, Guarded([this] { SaveSetting1Click(); }));

    PageControl1 = new TPageControl(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setToolTip(QStringLiteral("Right button: print"));
    setCentralWidget(PageControl1);

    const struct {
        TTabSheet** sheet;
        const char* name;
        const char* caption;
    } pages[] = {{&TabSheet2, "TabSheet2", "From FTP to local PC file transfer"},
                 {&TabSheet4, "TabSheet4", "CSV (Table and Chart)"},
                 {&TabSheet1, "TabSheet1", "Temperature 1"},
                 {&TabSheet8, "TabSheet8", "Temperature 2"},
                 {&TabSheet9, "TabSheet9", "Counter 1"},
                 {&TabSheet10, "TabSheet10", "Counter 2 / SQ"},
                 {&TabSheet3, "TabSheet3", "Analog 1"},
                 {&TabSheet5, "TabSheet5", "Analog 2"},
                 {&TabSheet6, "TabSheet6", "Analog 3"},
                 {&TabSheet7, "TabSheet7", "Analog 4 (Power Voltage)"}};
    for (const auto& p : pages) {
        *p.sheet = new TTabSheet(QString::fromLatin1(p.name), QString::fromLatin1(p.caption));
        PageControl1->addPage(*p.sheet);
    }
    PageControl1->setActivePageIndex(0);
    connect(PageControl1, &TPageControl::changed, this, &TForm1::PageControl1Change);

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(22);
    StatusBar1->setSizeGripEnabled(true);

    buildChannelPages();
    buildTransferPage();
    buildCsvPage();
    linkFolderLists();
    connectEngine();
    connectBatches();
    connect(PageControl1, &TPageControl::entered, this, Guarded([this] { PageControl1Enter(); }));
    connect(RunButton, &QPushButton::clicked, this, &TForm1::MergeButtonClick);
    connect(MonthCalendar1, &QCalendarWidget::clicked, this, &TForm1::MonthCalendar1Click);

    LoadTargets t;
    t.StringGrid1 = StringGrid1;
    t.Chart1 = Chart1;
    t.Chart2 = Chart2;
    t.DecisionGraphT1 = DecisionGraphT1;
    t.DecisionGraphT2 = DecisionGraphT2;
    t.DecisionGraphT3 = DecisionGraphT3;
    t.DecisionGraphT4 = DecisionGraphT4;
    t.DecisionGraphA1 = DecisionGraphA1;
    t.DecisionGraphA2 = DecisionGraphA2;
    t.DecisionGraphA3 = DecisionGraphA3;
    t.DecisionGraphA4 = DecisionGraphA4;
    t.Series1 = Series1;
    t.Series2 = Series2;
    t.Series5 = Series5;
    t.Series6 = Series6;
    t.Series7 = Series7;
    t.Series8 = Series8;
    t.Series9 = Series9;
    t.Series10 = Series10;
    t.Series11 = Series11;
    t.Series12 = Series12;
    t.Series13 = Series13;
    t.Series14 = Series14;
    t.FastLineSeries1 = FastLineSeries1;
    t.FastLineSeries2 = FastLineSeries2;
    t.FastLineSeries3 = FastLineSeries3;
    t.FastLineSeries4 = FastLineSeries4;
    t.FastLineSeries5 = FastLineSeries5;
    t.FastLineSeries6 = FastLineSeries6;
    t.FastLineSeries7 = FastLineSeries7;
    t.FastLineSeries8 = FastLineSeries8;
    t.FastLineSeries9 = FastLineSeries9;
    t.FastLineSeries10 = FastLineSeries10;
    LoadInputs in;
    in.tLevel = [this] { return TLevel; };
    in.aLevel = [this] { return ALevel; };
    in.xMode = [this] { return Xmode->isChecked(); };
    in.multiplier = [this](int ch) { return multiplier(ch); };
    in.alert = [] { Platform::instance().alertBeep(); };
    m_loader = std::make_unique<CsvLoader>(t, std::move(in));
}

// ---------------------------------------------------------------- CSV page

void TForm1::buildCsvPage() {
    QWidget* p = TabSheet4;
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
    connect(DirectoryListBox1, &TDirectoryListBox::changed, this, &TForm1::DirectoryListBox1Change);
    connect(DirectoryListBox2, &TDirectoryListBox::changed, this, &TForm1::DirectoryListBox1Change);
    connect(FileListBox1, &TFileListBox::doubleClicked, this, &TForm1::FileListBox1DblClick);
    connect(FileListBox8, &TFileListBox::doubleClicked, this, &TForm1::FileListBox8DblClick);

    StringGrid1 = place(new TStringGrid(p), QStringLiteral("StringGrid1"), 216, 32, 921, 337);
    PopupMenuPrint = new QMenu(StringGrid1);
    PopupMenuPrint->setObjectName(QStringLiteral("PopupMenuPrint"));
    Print1 = PopupMenuPrint->addAction(QStringLiteral("Print"));
    Print1->setObjectName(QStringLiteral("Print1"));
    connect(Print1, &QAction::triggered, this, Guarded([this] { Print1Click(); }));
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(StringGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenuPrint->popup(StringGrid1->viewport()->mapToGlobal(pos)); });

    // Level controls.
    label(p, QStringLiteral("Label1"), QStringLiteral("T LEVEL"), 24, 408);
    ScrollBar1 = place(new QScrollBar(Qt::Horizontal, p), QStringLiteral("ScrollBar1"), 24, 424, 177, 16);
    ScrollBar1->setRange(-45, 100);
    ScrollBar1->setSingleStep(1);
    ScrollBar1->setPageStep(10);
    ScrollBar1->setValue(0);
    TLEVEL = place(new QLineEdit(QStringLiteral("TLEVEL"), p), QStringLiteral("TLEVEL"), 152, 400, 49, 21);
    label(p, QStringLiteral("Label2"), QStringLiteral("A LEVEL"), 24, 456);
    ScrollBar2 = place(new QScrollBar(Qt::Horizontal, p), QStringLiteral("ScrollBar2"), 24, 472, 177, 16);
    ScrollBar2->setRange(0, 100);
    ScrollBar2->setSingleStep(1);
    ScrollBar2->setPageStep(10);
    ALEVEL = place(new QLineEdit(QStringLiteral("ALEVEL"), p), QStringLiteral("ALEVEL"), 152, 448, 49, 21);
    for (QLineEdit* e : {TLEVEL, ALEVEL}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        e->setStyleSheet(QStringLiteral("background-color: palette(button);"));
    }
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TForm1::ScrollBar1Change);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &TForm1::ScrollBar2Change);
    Xmode = place(new QCheckBox(QStringLiteral("axel X - Date/Time"), p), QStringLiteral("Xmode"), 24, 504,
                  121, 17);

    // Overview charts.
    Chart1 =
        place(new TDecisionGraph(QStringLiteral("Chart1"), p), QStringLiteral("Chart1"), 216, 377, 457, 232);
    Chart1->setTitleText(QStringLiteral("Temperature"));
    Chart1->LeftAxis = {false, false, false, -45, 145};
    Series1 = Chart1->addSeries<TFastLineSeries>(QStringLiteral("Series1"));
    Series1->setTitle(QStringLiteral("T1"));
    Series1->setSeriesColor(rgb(255, 0, 0));
    Series1->setXValuesDateTime(true);
    Series2 = Chart1->addSeries<TFastLineSeries>(QStringLiteral("Series2"));
    Series2->setTitle(QStringLiteral("T2"));
    Series2->setSeriesColor(rgb(0, 128, 0));
    Series5 = Chart1->addSeries<TFastLineSeries>(QStringLiteral("Series5"));
    Series5->setTitle(QStringLiteral("Level"));
    Series5->setSeriesColor(Qt::white);
    TeeFunction1 =
        std::make_unique<THighTeeFunction>(THighTeeFunction{QStringLiteral("TeeFunction1"), 20, Series5});
    Chart1->setCursor(Qt::PointingHandCursor);
    connect(Chart1, &TDecisionGraph::clicked, this, &TForm1::ZoomTClick);

    Chart2 =
        place(new TDecisionGraph(QStringLiteral("Chart2"), p), QStringLiteral("Chart2"), 680, 376, 457, 233);
    Chart2->setTitleText(QStringLiteral("Analog"));
    Chart2->LeftAxis = {false, false, false, -5, 105};
    const struct {
        TChartSeries** s;
        const char* name;
        const char* title;
        QColor color;
    } analog[] = {{&Series6, "Series6", "A1", rgb(255, 0, 0)},
                  {&Series7, "Series7", "A2", rgb(0, 128, 0)},
                  {&Series8, "Series8", "A3", rgb(255, 255, 0)},
                  {&Series9, "Series9", "A4", rgb(128, 0, 128)},
                  {&Series10, "Series10", "Level", rgb(255, 255, 255)}};
    for (const auto& a : analog) {
        *a.s = Chart2->addSeries<TFastLineSeries>(QString::fromLatin1(a.name));
        (*a.s)->setTitle(QString::fromLatin1(a.title));
        (*a.s)->setSeriesColor(a.color);
    }
    for (TDecisionGraph* c : {Chart1, Chart2})
        c->Refresh();

    ExitButton =
        place(new QPushButton(QStringLiteral("Exit"), p), QStringLiteral("ExitButton"), 1156, 576, 57, 25);
}

void TForm1::DirectoryListBox1Change() {
    // The folder lists all show one folder, and the process's current folder follows.
    auto* source = qobject_cast<TDirectoryListBox*>(sender());
    if (!source) source = DirectoryListBox1;
    const QString dir = source->Directory();
    for (TDirectoryListBox* other : {DirectoryListBoxPC, DirectoryListBox1, DirectoryListBox2})
        if (other && other != source && other->Directory() != dir) other->setDirectory(dir);
    QDir::setCurrent(dir);
}

void TForm1::FileListBox1DblClick() {
    const QString name = FileListBox1->FileName();
    vFileName->setText(name);
    if (!name.isEmpty()) LoadCSVFile(name, ',');
}

void TForm1::FileListBox8DblClick() {
    const QString name = FileListBox8->FileName();
    vFileName->setText(name);
    if (!name.isEmpty()) LoadCSVFile(name, ',');
}

void TForm1::OpenFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) {
        Platform::instance().showError(StandardErrorText(
            QStringLiteral("Cannot open %1: no such file").arg(QDir::toNativeSeparators(path))));
        return;
    }
    DirectoryListBoxPC->setDirectory(info.absolutePath());
    PageControl1->setActivePage(TabSheet4);
    vFileName->setText(info.fileName());
    try {
        LoadCSVFile(info.fileName(), ',');
    } catch (const std::exception& e) {
        ShowStandardError(e);
    }
}

void TForm1::LoadCSVFile(const QString& fileName, char separator) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    m_loader->LoadCSVFile(fileName, separator);
}

void TForm1::MergeButtonClick() {
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
    RereadLocalLists();
}

void TForm1::ClearSeries() {
    m_loader->ClearSeries();
}
void TForm1::SetColWidth() {
    m_loader->SetColWidth();
}

void TForm1::ScrollBar1Change() {
    TLEVEL->setText(QString::number(ScrollBar1->value()));
    TLevel = ScrollBar1->value();
}

void TForm1::ScrollBar2Change() {
    ALEVEL->setText(QString::number(ScrollBar2->value()));
    ALevel = ScrollBar2->value();
}

void TForm1::ZoomTClick() {
    PageControl1->setActivePage(TabSheet1);
}

void TForm1::PageControl1Change() {}

// ---------------------------------------------------------------- channel pages

TDecisionGraph* TForm1::buildChannelChart(TTabSheet* page, const QString& name, int top, int height) {
    return place(new TDecisionGraph(name, page), name, 8, top, 1217, height);
}

QLineEdit* TForm1::buildNameEdit(TDecisionGraph* chart, const QString& name, const QString& text) {
    auto* e = place(new QLineEdit(text, chart), name, 912, 8, 289, 21);
    e->setStyleSheet(QStringLiteral("background-color: palette(button);"));
    return e;
}

QPushButton* TForm1::buildPrintButton(TDecisionGraph* chart, const QString& name) {
    return place(new QPushButton(QStringLiteral("Print"), chart), name, 1136, 520, 57, 25);
}

void TForm1::buildMultiplier(TDecisionGraph* chart, const QStringList& names, const QString& box,
                             const QString& coarse, const QString& fine, const QString& refresh) {
    // names: the labels "Multiplier", "0", "0,000", "100", "0,999"
    label(chart, names[0], QStringLiteral("Multiplier"), 1136, 112);
    auto* mul = place(new QLineEdit(QStringLiteral("1"), chart), box, 1136, 128, 65, 21);
    mul->setEnabled(false);
    mul->setStyleSheet(QStringLiteral("background-color: palette(light); color: black;"));
    auto* c = place(new QScrollBar(Qt::Vertical, chart), coarse, 1136, 168, 19, 300);
    c->setRange(0, 100);
    c->setSingleStep(1);
    c->setPageStep(10);
    c->setValue(1);
    auto* f = place(new QScrollBar(Qt::Vertical, chart), fine, 1176, 168, 19, 300);
    f->setRange(0, 999);
    f->setSingleStep(1);
    f->setPageStep(10);
    f->setValue(0);
    label(chart, names[1], QStringLiteral("0"), 1136, 152);
    label(chart, names[2], QStringLiteral("0,000"), 1176, 152);
    label(chart, names[3], QStringLiteral("100"), 1136, 472);
    label(chart, names[4], QStringLiteral("0,999"), 1168, 472);
    place(new QPushButton(QStringLiteral("Refresh"), chart), refresh, 1136, 488, 57, 25);
}

void TForm1::buildChannelPages() {
    auto fastLine = [](TDecisionGraph* c, const char* name, const char* title, QColor color) {
        auto* s = c->addSeries<TFastLineSeries>(QString::fromLatin1(name));
        s->setTitle(QString::fromLatin1(title));
        s->setSeriesColor(color);
        return s;
    };
    auto level = [&](TDecisionGraph* c, const char* name) {
        auto* s = fastLine(c, name, "Level", Qt::white);
        s->setShowInLegend(false);
        return s;
    };
    auto range = [](TDecisionGraph* c, const char* name, const char* title) {
        auto* s = c->addSeries<TLineSeries>(QString::fromLatin1(name));
        s->setTitle(QString::fromLatin1(title));
        s->setSeriesColor(Qt::white);
        s->setPenStyle(Qt::DotLine);
        s->setShowInLegend(false);
        s->setLinePenVisible(false);
        s->setPointerVisible(false);
        return s;
    };
    using LS = TDecisionGraph::LegendStyle;

    DecisionGraphT1 = buildChannelChart(TabSheet1, QStringLiteral("DecisionGraphT1"), 9, 600);
    DecisionGraphT1->setTitleText(QStringLiteral("Temperature 1"));
    DecisionGraphT1->LeftAxis = {false, false, false, -45, 135};
    FastLineSeries1 = fastLine(DecisionGraphT1, "FastLineSeries1", "T1", kChannelColor);
    FastLineSeries1->setXValuesDateTime(true);
    FastLineSeries5 = level(DecisionGraphT1, "FastLineSeries5");
    HighTeeFunction1 = std::make_unique<THighTeeFunction>(
        THighTeeFunction{QStringLiteral("HighTeeFunction1"), 20, FastLineSeries5});

    DecisionGraphT2 = buildChannelChart(TabSheet8, QStringLiteral("DecisionGraphT2"), 9, 600);
    DecisionGraphT2->setTitleText(QStringLiteral("Temperature 2"));
    DecisionGraphT2->LeftAxis = {false, false, false, -45, 135};
    DecisionGraphT2->setLegendStyle(LS::Series);
    FastLineSeries2 = fastLine(DecisionGraphT2, "FastLineSeries2", "T2", kChannelColor);

    DecisionGraphT3 = buildChannelChart(TabSheet9, QStringLiteral("DecisionGraphT3"), 9, 600);
    DecisionGraphT3->setTitleText(QStringLiteral("Counter"));
    DecisionGraphT3->LeftAxis = {false, false, true, -1, 100};
    DecisionGraphT3->setLegendStyle(LS::Series);
    FastLineSeries3 = fastLine(DecisionGraphT3, "FastLineSeries3", "C1", kChannelColor);
    Series14 = range(DecisionGraphT3, "Series14", " ");

    DecisionGraphT4 = buildChannelChart(TabSheet10, QStringLiteral("DecisionGraphT4"), 9, 600);
    DecisionGraphT4->setTitleText(QStringLiteral("Counter 2 / SQ"));
    DecisionGraphT4->LeftAxis = {false, false, true, -5, 100};
    DecisionGraphT4->setLegendStyle(LS::Series);
    FastLineSeries4 = fastLine(DecisionGraphT4, "FastLineSeries4", "C2 / SQ", kChannelColor);
    Series3 = range(DecisionGraphT4, "Series3", "");

    DecisionGraphA1 = buildChannelChart(TabSheet3, QStringLiteral("DecisionGraphA1"), 8, 601);
    DecisionGraphA1->setTitleText(QStringLiteral("Analog 1"));
    DecisionGraphA1->LeftAxis = {false, false, true, -1, 100};
    FastLineSeries6 = fastLine(DecisionGraphA1, "FastLineSeries6", "A1", kChannelColor);
    FastLineSeries10 = level(DecisionGraphA1, "FastLineSeries10");
    Series11 = range(DecisionGraphA1, "Series11", " ");

    DecisionGraphA2 = buildChannelChart(TabSheet5, QStringLiteral("DecisionGraphA2"), 8, 601);
    DecisionGraphA2->setTitleText(QStringLiteral("Analog 2"));
    DecisionGraphA2->LeftAxis = {false, false, true, -1, 100};
    DecisionGraphA2->setLegendStyle(LS::Series);
    FastLineSeries7 = fastLine(DecisionGraphA2, "FastLineSeries7", "A2", kChannelColor);
    Series12 = range(DecisionGraphA2, "Series12", " ");

    DecisionGraphA3 = buildChannelChart(TabSheet6, QStringLiteral("DecisionGraphA3"), 8, 601);
    DecisionGraphA3->setTitleText(QStringLiteral("Analog 3"));
    DecisionGraphA3->LeftAxis = {false, false, true, -1, 100};
    DecisionGraphA3->setLegendStyle(LS::Series);
    FastLineSeries8 = fastLine(DecisionGraphA3, "FastLineSeries8", "A3", kChannelColor);
    Series13 = range(DecisionGraphA3, "Series13", " ");

    DecisionGraphA4 = buildChannelChart(TabSheet7, QStringLiteral("DecisionGraphA4"), 8, 601);
    DecisionGraphA4->setTitleText(QStringLiteral("Power Voltage  (V)"));
    DecisionGraphA4->LeftAxis = {false, false, false, -1, 20};
    DecisionGraphA4->setLegendStyle(LS::Series);
    FastLineSeries9 = fastLine(DecisionGraphA4, "FastLineSeries9", "A4", kChannelColor);

    T1Name =
        buildNameEdit(DecisionGraphT1, QStringLiteral("T1Name"), QStringLiteral("Temperature 1 (deg.C)"));
    T2Name =
        buildNameEdit(DecisionGraphT2, QStringLiteral("T2Name"), QStringLiteral("Temperature 2 (deg.C)"));
    C1Name = buildNameEdit(DecisionGraphT3, QStringLiteral("C1Name"), QStringLiteral("Counter"));
    C2Name = buildNameEdit(DecisionGraphT4, QStringLiteral("C2Name"), QStringLiteral("Counter 2 / SQ"));
    A1Name = buildNameEdit(DecisionGraphA1, QStringLiteral("A1Name"), QStringLiteral("Analog 1"));
    A2Name = buildNameEdit(DecisionGraphA2, QStringLiteral("A2Name"), QStringLiteral("Analog 2"));
    A3Name = buildNameEdit(DecisionGraphA3, QStringLiteral("A3Name"), QStringLiteral("Analog 3"));
    connect(T1Name, &QLineEdit::textChanged, this, &TForm1::T1NameChange);
    connect(T2Name, &QLineEdit::textChanged, this, &TForm1::T2NameChange);
    connect(C1Name, &QLineEdit::textChanged, this, &TForm1::C1NameChange);
    connect(C2Name, &QLineEdit::textChanged, this, &TForm1::C2NameChange);
    connect(A1Name, &QLineEdit::textChanged, this, &TForm1::A1NameChange);
    connect(A2Name, &QLineEdit::textChanged, this, &TForm1::A2NameChange);
    connect(A3Name, &QLineEdit::textChanged, this, &TForm1::A3NameChange);

    buildMultiplier(DecisionGraphA1, {"Label6", "Label13", "Label7", "Label11", "Label12"}, "MulA1",
                    "ScrollBarA1", "ScrollBarA01", "Button5");
    buildMultiplier(DecisionGraphA2, {"Label14", "Label15", "Label16", "Label18", "Label19"}, "MulA2",
                    "ScrollBarA2", "ScrollBarA02", "Button3");
    buildMultiplier(DecisionGraphA3, {"Label23", "Label24", "Label25", "Label26", "Label27"}, "MulA3",
                    "ScrollBarA3", "ScrollBarA03", "Button6");
    MulA1 = DecisionGraphA1->findChild<QLineEdit*>(QStringLiteral("MulA1"));
    MulA2 = DecisionGraphA2->findChild<QLineEdit*>(QStringLiteral("MulA2"));
    MulA3 = DecisionGraphA3->findChild<QLineEdit*>(QStringLiteral("MulA3"));
    ScrollBarA1 = DecisionGraphA1->findChild<QScrollBar*>(QStringLiteral("ScrollBarA1"));
    ScrollBarA01 = DecisionGraphA1->findChild<QScrollBar*>(QStringLiteral("ScrollBarA01"));
    ScrollBarA2 = DecisionGraphA2->findChild<QScrollBar*>(QStringLiteral("ScrollBarA2"));
    ScrollBarA02 = DecisionGraphA2->findChild<QScrollBar*>(QStringLiteral("ScrollBarA02"));
    ScrollBarA3 = DecisionGraphA3->findChild<QScrollBar*>(QStringLiteral("ScrollBarA3"));
    ScrollBarA03 = DecisionGraphA3->findChild<QScrollBar*>(QStringLiteral("ScrollBarA03"));
    Button5 = DecisionGraphA1->findChild<QPushButton*>(QStringLiteral("Button5"));
    Button3 = DecisionGraphA2->findChild<QPushButton*>(QStringLiteral("Button3"));
    Button6 = DecisionGraphA3->findChild<QPushButton*>(QStringLiteral("Button6"));
    connect(ScrollBarA1, &QScrollBar::valueChanged, this, &TForm1::ScrollBarA1Change);
    connect(ScrollBarA01, &QScrollBar::valueChanged, this, &TForm1::ScrollBarA01Change);
    connect(ScrollBarA2, &QScrollBar::valueChanged, this, &TForm1::ScrollBarA2Change);
    connect(ScrollBarA02, &QScrollBar::valueChanged, this, &TForm1::ScrollBarA02Change);
    connect(ScrollBarA3, &QScrollBar::valueChanged, this, &TForm1::ScrollBarA3Change);
    connect(ScrollBarA03, &QScrollBar::valueChanged, this, &TForm1::ScrollBarA03Change);
    connect(Button5, &QPushButton::clicked, this, &TForm1::RefreshA1);
    connect(Button3, &QPushButton::clicked, this, &TForm1::RefreshA2);
    connect(Button6, &QPushButton::clicked, this, &TForm1::RefreshA3);

    PrintT1 = buildPrintButton(DecisionGraphT1, QStringLiteral("PrintT1"));
    PrintT2 = buildPrintButton(DecisionGraphT2, QStringLiteral("PrintT2"));
    PrintT3 = buildPrintButton(DecisionGraphT3, QStringLiteral("PrintT3"));
    PrintT4 = buildPrintButton(DecisionGraphT4, QStringLiteral("PrintT4"));
    PrintA1 = buildPrintButton(DecisionGraphA1, QStringLiteral("PrintA1"));
    PrintA2 = buildPrintButton(DecisionGraphA2, QStringLiteral("PrintA2"));
    PrintA3 = buildPrintButton(DecisionGraphA3, QStringLiteral("PrintA3"));
    PrintA4 = buildPrintButton(DecisionGraphA4, QStringLiteral("PrintA4"));
    connect(PrintT1, &QPushButton::clicked, this, &TForm1::PrintT1Click);
    connect(PrintT2, &QPushButton::clicked, this, &TForm1::PrintT2Click);
    connect(PrintT3, &QPushButton::clicked, this, &TForm1::PrintT3Click);
    connect(PrintT4, &QPushButton::clicked, this, &TForm1::PrintT4Click);
    connect(PrintA1, &QPushButton::clicked, this, &TForm1::PrintA1Click);
    connect(PrintA2, &QPushButton::clicked, this, &TForm1::PrintA2click);
    connect(PrintA3, &QPushButton::clicked, this, &TForm1::PrintA3click);
    connect(PrintA4, &QPushButton::clicked, this, &TForm1::printA4Click);

    for (TDecisionGraph* c : {DecisionGraphT1, DecisionGraphT2, DecisionGraphT3, DecisionGraphT4,
                              DecisionGraphA1, DecisionGraphA2, DecisionGraphA3, DecisionGraphA4})
        c->Refresh();
}

void TForm1::nameChanged(QLineEdit* edit, TTabSheet* page, TDecisionGraph* chart) {
    page->setCaption(edit->text());
    chart->setTitleText(edit->text());
    chart->Repaint();
}

void TForm1::T1NameChange() {
    nameChanged(T1Name, TabSheet1, DecisionGraphT1);
}
void TForm1::T2NameChange() {
    nameChanged(T2Name, TabSheet8, DecisionGraphT2);
}
void TForm1::C1NameChange() {
    nameChanged(C1Name, TabSheet9, DecisionGraphT3);
}
void TForm1::C2NameChange() {
    nameChanged(C2Name, TabSheet10, DecisionGraphT4);
}
void TForm1::A1NameChange() {
    nameChanged(A1Name, TabSheet3, DecisionGraphA1);
}
void TForm1::A2NameChange() {
    nameChanged(A2Name, TabSheet5, DecisionGraphA2);
}
void TForm1::A3NameChange() {
    nameChanged(A3Name, TabSheet6, DecisionGraphA3);
}

// ---------------------------------------------------------------- analog multipliers

double TForm1::multiplier(int channel) const {
    const QScrollBar* c[3] = {ScrollBarA1, ScrollBarA2, ScrollBarA3};
    const QScrollBar* f[3] = {ScrollBarA01, ScrollBarA02, ScrollBarA03};
    if (channel < 1 || channel > 3) return 1.0;
    return f[channel - 1]->value() * static_cast<long double>(0.001) + c[channel - 1]->value();
}

QString TForm1::MultiplierText(int coarse, int fine) {
    const double m = static_cast<double>(fine * static_cast<long double>(0.001) + coarse);
    // General form: at most 15 significant digits, no trailing zeros.
    return QLocale().toString(m, 'g', 15);
}

void TForm1::multiplierChanged(int channel) {
    QLineEdit* box[3] = {MulA1, MulA2, MulA3};
    const QScrollBar* c[3] = {ScrollBarA1, ScrollBarA2, ScrollBarA3};
    const QScrollBar* f[3] = {ScrollBarA01, ScrollBarA02, ScrollBarA03};
    box[channel - 1]->setText(MultiplierText(c[channel - 1]->value(), f[channel - 1]->value()));
}

void TForm1::ScrollBarA1Change() {
    multiplierChanged(1);
}
void TForm1::ScrollBarA01Change() {
    multiplierChanged(1);
}
void TForm1::ScrollBarA2Change() {
    multiplierChanged(2);
}
void TForm1::ScrollBarA02Change() {
    multiplierChanged(2);
}
void TForm1::ScrollBarA3Change() {
    multiplierChanged(3);
}
void TForm1::ScrollBarA03Change() {
    multiplierChanged(3);
}

void TForm1::RefreshA1() {
    FileListBox8DblClick();
}
void TForm1::RefreshA2() {
    FileListBox8DblClick();
}
void TForm1::RefreshA3() {
    FileListBox8DblClick();
}

// ---------------------------------------------------------------- printing

void TForm1::printChart(TDecisionGraph* chart) {
    Platform& platform = Platform::instance();
    if (!platform.printerAvailable()) throw EError(QStringLiteral("No printer is installed"));
    QPrinter& printer = platform.sharedPrinter();
    printer.setPageOrientation(QPageLayout::Landscape);
    chart->PrintChart(printer);
}

int TForm1::TablePrintX(int col) {
    // Advance after each column, in units of 16 printer pixels; columns past the
    // table keep its last advance.
    static constexpr int kAdvance[25] = {0, 5, 10, 10, 8, 8, 8, 8, 4, 4, 4, 5, 4,
                                         4, 4, 4,  4,  4, 5, 4, 4, 4, 4, 4, 4};
    int x = 150;
    for (int j = 1; j <= col; ++j)
        x += 16 * kAdvance[std::min(j, 24)];
    return x;
}

void TForm1::Print1Click() {
    Platform& platform = Platform::instance();
    if (!platform.printerAvailable())
        throw EError(QStringLiteral("No printer is installed: the table cannot be printed"));
    std::unique_ptr<QPrinter> printer = platform.newPrinter();
    printer->setResolution(300); // the positions and the row pitch are laid out for a 300 dpi page
    printer->setDocName(QStringLiteral("Print from Tervane software"));
    QPainter painter;
    if (!painter.begin(printer.get())) throw EError(QStringLiteral("The printer refused the print job"));
    QFont font;
    font.setFamilies({QStringLiteral("Currier New"), QStringLiteral("Courier New"),
                      QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    font.setPointSize(8);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int ascent = QFontMetrics(font, printer.get()).ascent();
    std::vector<int> xs(static_cast<std::size_t>(StringGrid1->ColCount()));
    for (int j = 0; j < StringGrid1->ColCount(); ++j)
        xs[static_cast<std::size_t>(j)] = TablePrintX(j);
    // Every row on one page; rows past the printable area do not reach the paper.
    // All rows go on one page; rows below the paper are not drawn at all.
    const int pageBottom = printer->pageLayout().paintRectPixels(printer->resolution()).height();
    for (int r = 0; r < StringGrid1->RowCount(); ++r) {
        const int y = 240 + 36 * r;
        if (y > pageBottom) break;
        for (int j = 0; j < StringGrid1->ColCount(); ++j) {
            const QString text = StringGrid1->Cells(j, r);
            if (!text.isEmpty()) painter.drawText(QPoint(xs[static_cast<std::size_t>(j)], y + ascent), text);
        }
    }
    if (!painter.end()) throw EError(QStringLiteral("The printer refused the print job"));
}

void TForm1::PrintT1Click() {
    printChart(DecisionGraphT1);
}
void TForm1::PrintT2Click() {
    printChart(DecisionGraphT2);
}
void TForm1::PrintT3Click() {
    printChart(DecisionGraphT3);
}
void TForm1::PrintT4Click() {
    printChart(DecisionGraphT4);
}
void TForm1::PrintA1Click() {
    printChart(DecisionGraphA1);
}
void TForm1::PrintA2click() {
    printChart(DecisionGraphA2);
}
void TForm1::PrintA3click() {
    printChart(DecisionGraphA3);
}
void TForm1::printA4Click() {
    printChart(DecisionGraphA4);
}
