#include "logdata/csvloader.h"

#include "charts/decisiongraph.h"
#include "logdata/linereader.h"
#include "logdata/rowformat.h"
#include "logdata/stringgrid.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>

namespace {
const QColor kWhite(255, 255, 255), kBlue(0, 0, 255), kGreen(0, 128, 0), kYellow(255, 255, 0),
    kBlack(0, 0, 0);
constexpr int kWidths[24] = {48, 50, 50, 46, 46, 46, 46, 32, 32, 32, 32, 22,
                             22, 22, 22, 22, 22, 22, 22, 22, 22, 22, 22, 40};
} // namespace

CsvLoader::CsvLoader(const LoadTargets& targets, LoadInputs inputs) : t(targets), in(std::move(inputs)) {
    // The alarm levels and the range series must stand out on the white plot.
    for (TChartSeries* s : {t.Series5, t.Series10, t.FastLineSeries5, t.FastLineSeries10})
        if (s) s->setRole(TChartSeries::Role::Level);
    for (TChartSeries* s : {t.Series11, t.Series12, t.Series13, t.Series14})
        if (s) s->setRole(TChartSeries::Role::Range);
}

CsvLoader::~CsvLoader() = default;

bool CsvLoader::eventFilter(QObject* watched, QEvent* event) {
    // Escape ends a running load.
    if (m_loading && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        Cancel();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void CsvLoader::pump(qint64 done, qint64 total) {
    const qint64 now = m_clock.elapsed();
    if (now - m_lastPump < in.lookEveryMs) return;
    m_lastPump = now;
    if (in.progress && now >= in.progressAfterMs &&
        (!m_reportedProgress || now - m_lastProgress >= in.progressEveryMs)) {
        m_lastProgress = now;
        m_reportedProgress = true;
        in.progress(done, total);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

int CsvLoader::ColumnWidth(int col) {
    // Columns past the table of widths keep the table's default width.
    return col >= 0 && col < 24 ? kWidths[col] : 48;
}

void CsvLoader::SetColWidth() {
    for (int i = 0; i < t.StringGrid1->ColCount(); ++i)
        t.StringGrid1->setColWidths(i, ColumnWidth(i));
}

void CsvLoader::ClearSeries() {
    t.DecisionGraphT1->setTitleFirstLine(QStringLiteral("Temperature 1"));
    t.DecisionGraphT2->setTitleFirstLine(QStringLiteral("Temperature 2"));
    t.DecisionGraphT3->setTitleFirstLine(QStringLiteral("Counter"));
    t.DecisionGraphT4->setTitleFirstLine(QStringLiteral("Signal Quality"));
    t.Chart1->setTitleFirstLine(QStringLiteral("Temperature"));
    t.Series1->setTitle(QStringLiteral("T1"));
    t.Series2->setTitle(QStringLiteral("T2"));
    for (TChartSeries* s :
         {t.Series1,         t.Series2,         t.Series5,         t.Series6,         t.Series7,
          t.Series8,         t.Series9,         t.Series10,        t.Series11,        t.Series12,
          t.Series13,        t.Series14,        t.FastLineSeries1, t.FastLineSeries2, t.FastLineSeries3,
          t.FastLineSeries4, t.FastLineSeries5, t.FastLineSeries6, t.FastLineSeries7, t.FastLineSeries8,
          t.FastLineSeries9, t.FastLineSeries10})
        s->ClearPoints();
}

void CsvLoader::finish() {
    t.StringGrid1->endUpdate();
    if (t.FastLineSeries10 && in.aLevel)
        t.FastLineSeries10->setTitle(ScaledLevelTitle(in.aLevel(), m_levelScale));
    for (TDecisionGraph* c :
         {t.Chart1, t.Chart2, t.DecisionGraphT1, t.DecisionGraphT2, t.DecisionGraphT3, t.DecisionGraphT4,
          t.DecisionGraphA1, t.DecisionGraphA2, t.DecisionGraphA3, t.DecisionGraphA4})
        if (c) c->Refresh();
}

bool CsvLoader::SourceUnchanged() const {
    const QFileInfo now(m_lastFile);
    return !m_lastFile.isEmpty() && now.isFile() && now.size() == m_lastSize &&
           now.lastModified() == m_lastModified;
}

CsvLoader::Result CsvLoader::ReloadCSVFile() {
    if (m_lastFile.isEmpty()) return Result::Nothing;
    return LoadCSVFile(m_lastFile, m_lastSeparator);
}

CsvLoader::Result CsvLoader::LoadCSVFile(const QString& fileName, char separator) {
    if (fileName.isEmpty()) return Result::Nothing;
    if (m_loading) {
        // Asked for from an event handled during a load: the running load gives way.
        m_pending = QDir::current().absoluteFilePath(fileName);
        m_pendingSeparator = separator;
        m_cancel = true;
        return Result::Queued;
    }
    m_loading = true;
    QCoreApplication* app = QCoreApplication::instance();
    if (app) app->installEventFilter(this);
    struct Done {
        CsvLoader* self;
        QCoreApplication* app;
        ~Done() {
            if (app) app->removeEventFilter(self);
            self->m_loading = false;
            self->m_pending.clear();
            if (self->m_reportedProgress && self->in.progress) self->in.progress(0, 0);
            self->m_reportedProgress = false;
        }
    } done{this, app};
    QString name = fileName;
    char sep = separator;
    for (;;) {
        m_cancel = false;
        m_pending.clear();
        const Result r = loadOne(name, sep);
        if (m_pending.isEmpty()) return r;
        name = m_pending;
        sep = m_pendingSeparator;
    }
}

CsvLoader::Result CsvLoader::loadOne(const QString& fileName, char separator) {
    m_clock.start();
    m_lastPump = 0;
    m_lastProgress = 0;
    TStringGrid* grid = t.StringGrid1;
    grid->beginUpdate();
    struct Finish {
        CsvLoader* self;
        ~Finish() { self->finish(); }
    } finishGuard{this};

    ClearSeries();
    m_levelScale = in.multiplier ? in.multiplier(1) : 1.0;
    grid->clearCells();
    SetColWidth();
    grid->setFontColor(Qt::black);
    m_lineCounter = 0;
    AddCSVLine(logdata::kColumnHeader, separator);

    logdata::LineReader reader;
    const QString path = QDir::current().absoluteFilePath(fileName);
    m_lastFile = path;
    m_lastSeparator = separator;
    if (!reader.open(path)) throw EInOutError(reader.errorString());
    m_lastSize = reader.size();
    m_lastModified = QFileInfo(path).lastModified();
    std::string_view line;
    // Look at the window's events every 256 lines or every megabyte, whichever is first.
    unsigned sinceLook = 0;
    qint64 lookedAt = 0;
    bool cancelled = false;
    while (reader.next(line)) {
        AddCSVLine(line, separator);
        if (++sinceLook >= 256 || reader.position() - lookedAt >= (1 << 20)) {
            sinceLook = 0;
            lookedAt = reader.position();
            pump(reader.position(), reader.size());
            if (m_cancel) {
                cancelled = true;
                break;
            }
        }
    }
    if (reader.failed()) throw EInOutError(reader.errorString());
    reader.close();
    grid->setRowCount(grid->RowCount() - 1); // the spare empty row
    return cancelled ? Result::Cancelled : Result::Loaded;
}

void CsvLoader::ReLevel(int tLevel, int aLevel) {
    for (TChartSeries* s : {t.Series5, t.FastLineSeries5})
        if (s) s->setAllY(tLevel);
    if (t.Series10) t.Series10->setAllY(aLevel);
    if (t.FastLineSeries10) {
        t.FastLineSeries10->setAllY(aLevel * m_levelScale);
        t.FastLineSeries10->setTitle(ScaledLevelTitle(aLevel, m_levelScale));
    }
    for (TDecisionGraph* c : {t.Chart1, t.Chart2, t.DecisionGraphT1, t.DecisionGraphA1})
        if (c) c->Refresh();
}

QString CsvLoader::ScaledLevelTitle(int aLevel, double scale) {
    if (scale == 1.0) return QStringLiteral("Level");
    return QStringLiteral("A level %1 x %2").arg(aLevel).arg(QString::number(scale, 'g', 15));
}

void CsvLoader::AddCSVLine(std::string_view line, char separator) {
    if (!logdata::IsLoggerRow(line)) return;
    ++m_lineCounter;
    const int r = m_lineCounter - 1;
    m_fieldCounter = 1;
    TStringGrid* grid = t.StringGrid1;
    grid->setRowLine(r, line, separator);

    const bool decode = m_lineCounter >= 2 && m_lineCounter <= logdata::kMaxDecodedRow + 1;
    QString label;
    if (decode) {
        for (int ch = 0; ch < 3; ++ch)
            m_mul[ch] = in.multiplier ? in.multiplier(ch + 1) : 1.0;
    }
    // Count the fields; every field but the last is handed on for decoding.
    std::string_view prev;
    bool havePrev = false;
    std::string_view date, time;
    int fieldNo = 0;
    logdata::ForEachCSVField(line, separator, [&](std::string_view f) {
        ++fieldNo;
        if (fieldNo == 1) date = f;
        if (fieldNo == 2) time = f;
        if (havePrev && decode) {
            if (fieldNo - 1 == 1) {
                // The point label of the row: its number, or its Date and Time.
                if (in.xMode && in.xMode()) {
                    // Time is the second field; it is known once the first is passed on.
                    label = QString::fromLatin1(date.data(), static_cast<qsizetype>(date.size()));
                    label += QLatin1Char(',');
                    label += QString::fromLatin1(f.data(), static_cast<qsizetype>(f.size()));
                } else {
                    label = QString::number(r);
                }
            }
            AddCSVField(prev, fieldNo - 1, label);
        }
        prev = f;
        havePrev = true;
    });
    m_fieldCounter = fieldNo + 1;
    grid->setColCount(m_fieldCounter);
    grid->setRowCount(r + 2);
    if (r >= 1 && logdata::IsStatusMarked(fieldNo, true, prev)) {
        grid->setFontColor(Qt::red);
        SetColWidth();
    }
}

void CsvLoader::AddCSVField(std::string_view field, int fieldNo, const QString& label) {
    auto overT = [&](const logdata::Decoded& d) {
        if (logdata::IsOverLevel(d, in.tLevel()) && in.alert) in.alert();
    };
    auto overA = [&](const logdata::Decoded& d) {
        if (logdata::IsOverLevel(d, in.aLevel()) && in.alert) in.alert();
    };
    switch (fieldNo) {
    case 1: {
        const double tl = in.tLevel(), al = in.aLevel();
        t.Series5->AddPoint(tl, label, kWhite);
        t.Series10->AddPoint(al, label, kWhite);
        t.FastLineSeries5->AddPoint(tl, label, kWhite);
        // The Analog 1 page shows its readings scaled: its level line is scaled
        // alike, so that line and readings compare like with like.
        m_levelScale = m_mul[0];
        t.FastLineSeries10->AddPoint(al * m_levelScale, label, kWhite);
        break;
    }
    case 3: {
        const auto d = logdata::DecodeTField(field);
        overT(d);
        t.Series1->AddPoint(d.value, label, kBlue);
        t.FastLineSeries1->AddPoint(d.value, label, kBlack);
        break;
    }
    case 4: {
        const auto d = logdata::DecodeTField(field);
        overT(d);
        t.Series2->AddPoint(d.value, label, kGreen);
        t.FastLineSeries2->AddPoint(d.value, label, kBlack);
        break;
    }
    case 5: {
        const auto d = logdata::DecodeTField(field);
        overT(d);
        t.FastLineSeries3->AddPoint(d.value, label, kBlack);
        t.Series14->AddPoint(d.value + 10, label, kYellow);
        break;
    }
    case 6: {
        const auto d = logdata::DecodeTField(field);
        overT(d);
        t.FastLineSeries4->AddPoint(d.value, label, kBlack);
        break;
    }
    case 7:
    case 8:
    case 9: {
        const auto d = logdata::DecodeAField(field);
        overA(d);
        const int ch = fieldNo - 7;
        const double scaled = d.value * m_mul[ch];
        TChartSeries* overview[3] = {t.Series6, t.Series7, t.Series8};
        TChartSeries* page[3] = {t.FastLineSeries6, t.FastLineSeries7, t.FastLineSeries8};
        TChartSeries* range[3] = {t.Series11, t.Series12, t.Series13};
        const QColor overviewColor[3] = {kBlue, kGreen, kYellow};
        overview[ch]->AddPoint(d.value, label, overviewColor[ch]);
        page[ch]->AddPoint(scaled, label, kBlack);
        range[ch]->AddPoint(1.1 * scaled + 1, label, kBlack);
        break;
    }
    case 10: {
        const auto d = logdata::DecodeAField(field);
        overA(d);
        t.Series9->AddPoint(d.value, label, kBlack);
        t.FastLineSeries9->AddPoint(d.value, label, kBlack);
        break;
    }
    default:
        break;
    }
}
