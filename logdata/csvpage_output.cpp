// The CSV page: its statistics table, exporting the loaded rows and printing the table.
#include "logdata/csvpage.h"
#include "logdata/csvpage_rows.h"
#include "logdata/tableprint.h"

#include "charts/channelrules.h"
#include "charts/decisiongraph.h"
#include "charts/spanstats.h"
#include "localfiles/folderlists.h"
#include "localfiles/localpanel.h"
#include "logdata/merge.h"
#include "logdata/rowexport.h"
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
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>
#include <vector>

QString CsvPage::loadedFile() const {
    return m_loader->LastFileName();
}

int CsvPage::exportRows(const QString& path, int first, int last) const {
    const int rows = StringGrid1->RowCount() - 1; // row 0 is the column header
    int from = 1, to = rows;
    if (first >= 0) {
        from = std::max(1, first + 1);
        to = std::min(rows, last + 1);
    }
    // The rows are copied from the file as it was read, line ends and all: the
    // file must not have changed meanwhile.
    if (!m_loader->SourceUnchanged())
        throw EError(QStringLiteral("%1 has changed since it was loaded: load it again, then export")
                         .arg(QDir::toNativeSeparators(loadedFile())));
    const logdata::RowExportResult r = logdata::ExportRows(loadedFile(), from, to, path);
    if (!r.ok) throw EInOutError(QStringLiteral("Cannot write %1: %2").arg(path, r.error));
    return r.rows;
}

void CsvPage::exportCsvClick(int first, int last) {
    if (StringGrid1->RowCount() < 2) throw EError(QStringLiteral("No rows are loaded to export"));
    const QString loaded = loadedFile();
    const QString suggested = QFileInfo(loaded).dir().filePath(logdata::ExportFileName(loaded, first >= 0));
    QString path = Platform::instance().chooseSaveFile(QStringLiteral("Export CSV"), suggested,
                                                       QStringLiteral("Logger files (*.csv)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
    if (!loaded.isEmpty() && QFileInfo(path).absoluteFilePath() == QFileInfo(loaded).absoluteFilePath())
        throw EError(QStringLiteral("The file on screen cannot be overwritten by its own export"));
    // A name the merge of its day takes would put these rows into that merge a second time.
    if (logdata::MergeWouldTake(QFileInfo(path).fileName()) &&
        Platform::instance().confirm(
            QStringLiteral("A merge of the day %1 would take %2 too, and show its rows twice. "
                           "Export under this name all the same?")
                .arg(QFileInfo(path).fileName().left(6), QFileInfo(path).fileName())) !=
            Platform::Answer::Yes)
        return;
    exportRows(path, first, last);
    emit listsChanged();
}

void CsvPage::printTableOn(QPrinter& printer) {
    // A preview paints every page it is given at once: the first pages only.
    const logdata::TablePrintResult r =
        logdata::PrintTable(StringGrid1->printSource(), printer, 1, kPreviewPages);
    if (!r.ok) throw EError(r.error);
}

int CsvPage::tablePages() const {
    QPrinter probe(QPrinter::HighResolution);
    probe.setOutputFormat(QPrinter::PdfFormat);
    return logdata::CountTablePages(StringGrid1->printSource(), probe);
}

// ---------------------------------------------------------------- statistics

void CsvPage::buildStatistics() {
    StatisticsTable = layout::named(new QTableWidget(6, 6, this), "StatisticsTable");
    StatisticsTable->setAccessibleName(QStringLiteral("Statistics"));
    QFont small = font();
    small.setPixelSize(10);
    StatisticsTable->setFont(small);
    StatisticsTable->horizontalHeader()->setFont(small);
    StatisticsTable->setHorizontalHeaderLabels({QString(), QStringLiteral("Min"), QStringLiteral("Max"),
                                                QStringLiteral("Mean"), QStringLiteral("Over"),
                                                QStringLiteral("Above")});
    StatisticsTable->verticalHeader()->hide();
    const QFontMetrics fm(small);
    StatisticsTable->verticalHeader()->setDefaultSectionSize(std::max(15, fm.height() + 3));
    StatisticsTable->horizontalHeader()->setMinimumSectionSize(10);
    // The last column takes what room is left; the others are as wide as their figures.
    StatisticsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StatisticsTable->horizontalHeader()->setSectionResizeMode(5, QHeaderView::Stretch);
    StatisticsTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StatisticsTable->horizontalHeader()->setFixedHeight(std::max(16, fm.height() + 4));
    StatisticsTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StatisticsTable->setTextElideMode(Qt::ElideNone);
    StatisticsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StatisticsTable->setSelectionMode(QAbstractItemView::NoSelection);
    StatisticsTable->setFocusPolicy(Qt::NoFocus);
    StatisticsTable->setToolTip(QStringLiteral("Statistics of the rows shown in the overview charts"));
    connect(Chart1, &TDecisionGraph::viewChanged, this, &CsvPage::updateStatistics);
    connect(Chart2, &TDecisionGraph::viewChanged, this, &CsvPage::updateStatistics);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &CsvPage::updateStatistics);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &CsvPage::updateStatistics);
    updateStatistics();
}

void CsvPage::updateStatistics() {
    if (!StatisticsTable) return;
    struct Row {
        TDecisionGraph* chart;
        const char* series;
        const char* name;
        bool temperature;
    };
    const Row rows[] = {{Chart1, "Series1", "T1", true},  {Chart1, "Series2", "T2", true},
                        {Chart2, "Series6", "A1", false}, {Chart2, "Series7", "A2", false},
                        {Chart2, "Series8", "A3", false}, {Chart2, "Series9", "A4", false}};
    const std::vector<qint64>& moments = m_rows->moments();
    for (int k = 0; k < 6; ++k) {
        const Row& r = rows[k];
        const TChartSeries* s = r.chart->findSeries(QString::fromLatin1(r.series));
        const auto [first, last] = r.chart->visibleIndexRange();
        const double level = r.temperature ? ScrollBar1->value() : ScrollBar2->value();
        QStringList cells{QString::fromLatin1(r.name), QString(), QString(), QString(), QString(), QString()};
        QString tip;
        if (s && s->count() > 0 && first >= 0) {
            const logdata::SpanStats st =
                logdata::ComputeSpanStats(s->yValues(), moments, first, last, level, TChartRows::kNoMoment);
            cells[1] = QString::number(st.min, 'f', 1);
            cells[2] = QString::number(st.max, 'f', 1);
            cells[3] = QString::number(st.mean, 'f', 1);
            cells[4] = QString::number(st.overLevel);
            cells[5] = st.secondsAbove ? logdata::DurationText(*st.secondsAbove) : QStringLiteral("-");
            // A time that skipped a gap in the readings is marked, and the tip says why.
            if (st.gapsSkipped > 0) cells[5] += QLatin1Char('*');
            tip = QStringLiteral("%1, rows %2 to %3\nMinimum %4 at %5\nMaximum %6 at %7\nMean %8\n"
                                 "%9 readings over the level %10, %11 above it")
                      .arg(QString::fromLatin1(r.name))
                      .arg(first + 1)
                      .arg(last + 1)
                      .arg(cells[1], m_rows->dateTimeText(static_cast<int>(st.minIndex)), cells[2],
                           m_rows->dateTimeText(static_cast<int>(st.maxIndex)), cells[3], cells[4])
                      .arg(level)
                      .arg(cells[5]);
            if (st.gapsSkipped > 0) tip += QStringLiteral(" (*gaps not counted)");
        }
        for (int c = 0; c < 6; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(tip);
            if (c > 0) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            StatisticsTable->setItem(k, c, item);
        }
    }
    fitStatistics();
}

void CsvPage::fitStatistics() {
    // Every figure whole, its sign included: a column is as wide as its widest
    // text or the widest reading the logger gives, whichever is wider.
    const QFontMetrics fm(StatisticsTable->font());
    const QString widest[] = {QStringLiteral("A4"),     QStringLiteral("-135.9"),
                              QStringLiteral("-135.9"), QStringLiteral("-135.9"),
                              QStringLiteral("99999"),  QStringLiteral("23 h 59 min")};
    constexpr int kPadding = 8;
    int total = 0;
    for (int c = 0; c < StatisticsTable->columnCount(); ++c) {
        int need = fm.horizontalAdvance(widest[c]);
        if (const QTableWidgetItem* h = StatisticsTable->horizontalHeaderItem(c))
            need = std::max(need, fm.horizontalAdvance(h->text()));
        for (int r = 0; r < StatisticsTable->rowCount(); ++r)
            if (const QTableWidgetItem* item = StatisticsTable->item(r, c))
                need = std::max(need, fm.horizontalAdvance(item->text()));
        need += kPadding;
        if (c + 1 < StatisticsTable->columnCount()) StatisticsTable->setColumnWidth(c, need);
        total += need;
    }
    const int frame = 2 * StatisticsTable->frameWidth();
    StatisticsTable->setMinimumWidth(std::max(201, total + frame));
    StatisticsTable->setFixedHeight(
        StatisticsTable->horizontalHeader()->height() +
        StatisticsTable->rowCount() * StatisticsTable->verticalHeader()->defaultSectionSize() + frame);
}

// ---------------------------------------------------------------- table printout

void CsvPage::printTable() {
    Print1Click();
}

void CsvPage::Print1Click() {
    Platform& platform = Platform::instance();
    if (!platform.printerAvailable())
        throw EError(QStringLiteral("No printer is installed: the table cannot be printed"));
    std::unique_ptr<QPrinter> printer = platform.newPrinter();
    printer->setResolution(300); // the positions and the row pitch are laid out for a 300 dpi page
    printer->setDocName(QStringLiteral("Print from Tervane software"));
    logdata::TableSource source = StringGrid1->printSource();
    // The user sees how many pages the table takes, and which to print, first.
    const int pages = logdata::CountTablePages(source, *printer);
    if (!platform.choosePrint(*printer, QStringLiteral("Print the table"), pages)) return;
    int first = 1, last = pages;
    if (printer->printRange() == QPrinter::PageRange && printer->fromPage() > 0) {
        first = printer->fromPage();
        last = std::max(first, printer->toPage());
    }
    // Printing can be stopped between pages.
    QProgressDialog progress(QStringLiteral("Printing the table..."), QStringLiteral("Cancel"), 0,
                             last - first + 1, this);
    progress.setObjectName(QStringLiteral("PrintProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    source.progress = [this, &progress](int done, int toPrint) {
        emit statusText(QStringLiteral("Printing the table: page %1 of %2").arg(done).arg(toPrint));
        progress.setValue(done);
        return !progress.wasCanceled();
    };
    const logdata::TablePrintResult result = logdata::PrintTable(source, *printer, first, last);
    progress.reset();
    emit statusText(result.cancelled ? QStringLiteral("Printing stopped after %1 pages").arg(result.pages)
                                     : QString());
    if (!result.ok) throw EError(result.error);
}
