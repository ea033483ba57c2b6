#include "charts/channelpage.h"

#include "charts/decisiongraph.h"
#include "charts/spanstats.h"
#include "platform/fit.h"
#include "platform/platform.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cstring>

namespace {
QString latin(const char* s) {
    return QString::fromLatin1(s);
}
const QColor kChannelColor(64, 0, 64);

// The designed handlers of each page's controls.
struct Handlers {
    const char* chart;
    void (ChannelPage::*name)();
    void (ChannelPage::*coarse)();
    void (ChannelPage::*fine)();
    void (ChannelPage::*refresh)();
    void (ChannelPage::*print)();
};
} // namespace

ChannelPage::ChannelPage(const channels::ChannelDescription& d, QWidget* parent) : QWidget(parent), m_d(d) {
    setObjectName(latin(d.chart) + QStringLiteral("Page"));
    m_chart = new TDecisionGraph(latin(d.chart), this);
    m_chart->setTitleText(latin(d.heading));
    m_chart->LeftAxis = {false, false, d.axis.automaticMaximum, d.axis.minimum, d.axis.maximum};
    if (d.legendSeries) m_chart->setLegendStyle(TDecisionGraph::LegendStyle::Series);
    buildSeries();
    if (d.nameEdit) {
        m_name = new QLineEdit(latin(d.defaultName), m_chart);
        m_name->setObjectName(latin(d.nameEdit));
        layout::buttonFaceColours(m_name);
        m_name->setAccessibleName(QStringLiteral("Channel name"));
        m_name->setMinimumWidth(289);
    }
    if (d.multiplier.channel > 0) buildMultiplier();
    m_print = new QPushButton(QStringLiteral("Print"), m_chart);
    m_print->setObjectName(latin(d.printButton));
    m_print->setMinimumWidth(57);
    connectHandlers();
    // The figures of the rows shown, in the top left corner of the chart.
    QString statsName = latin(d.chart);
    statsName.replace(QStringLiteral("DecisionGraph"), QStringLiteral("Statistics"));
    m_statistics = new QLabel(m_chart);
    m_statistics->setObjectName(statsName);
    m_statistics->setWordWrap(true);
    m_statistics->setTextFormat(Qt::PlainText);
    m_statistics->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont small = m_statistics->font();
    small.setPixelSize(11);
    m_statistics->setFont(small);
    m_statistics->setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(m_chart, &TDecisionGraph::viewChanged, this, &ChannelPage::updateStatistics);
    arrangePage();
    applyResolution();
    m_chart->Refresh();
    updateStatistics();
}

void ChannelPage::arrangePage() {
    // The chart fills the page. Its figures lie over its top left corner; the
    // name, the multiplier and Print over its right edge, where they stay however
    // wide the chart grows; the multiplier's bars grow with its height.
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, m_d.top, 8, 8);
    page->addWidget(m_chart);
    m_chart->setMinimumSize(480, 300);

    auto* right = new QVBoxLayout;
    right->setSpacing(0);
    if (m_name) right->addWidget(m_name, 0, Qt::AlignRight);
    if (m_box) {
        right->addSpacing(m_name ? 83 : 108);
        auto* m = new QGridLayout;
        m->setHorizontalSpacing(21);
        m->setVerticalSpacing(3);
        m->addWidget(m_multiplierCaptions[0], 0, 0, 1, 2);
        m->addWidget(m_box, 1, 0, 1, 2);
        m->addWidget(m_multiplierCaptions[1], 2, 0);
        m->addWidget(m_multiplierCaptions[2], 2, 1);
        m->addWidget(m_coarse, 3, 0, Qt::AlignLeft);
        m->addWidget(m_fine, 3, 1, Qt::AlignLeft);
        m->addWidget(m_multiplierCaptions[3], 4, 0);
        m->addWidget(m_multiplierCaptions[4], 4, 1);
        m->addWidget(m_refresh, 5, 0, 1, 2, Qt::AlignLeft);
        m->setRowStretch(3, 1);
        m_box->setMinimumWidth(65);
        m_coarse->setMinimumHeight(100);
        m_fine->setMinimumHeight(100);
        right->addLayout(m, 1);
        right->setAlignment(m, Qt::AlignRight);
        right->addSpacing(7);
    } else {
        right->addStretch(1);
    }
    right->addWidget(m_print, 0, Qt::AlignRight);

    auto* over = new QGridLayout(m_chart);
    over->setContentsMargins(60, 4, 16, 32);
    over->setHorizontalSpacing(20);
    over->addWidget(m_statistics, 0, 0, Qt::AlignTop);
    m_statistics->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    if (m_box) {
        // The legend keeps clear of the multiplier's column.
        QMargins margins = m_chart->chart()->margins();
        margins.setRight(margins.right() + m_box->minimumWidth() + 24);
        m_chart->chart()->setMargins(margins);
    }
    over->addLayout(right, 0, 1);
    over->setColumnStretch(0, 1);

    // The bars answer the arrow keys once Tab has reached them.
    for (QScrollBar* bar : {m_coarse, m_fine})
        if (bar) bar->setFocusPolicy(Qt::StrongFocus);
    layout::chainFocus({m_chart, m_name, m_coarse, m_fine, m_refresh, m_print});
    layout::nameControls(this);
}

void ChannelPage::updateStatistics() {
    using Kind = channels::SeriesDescription::Kind;
    const TChartSeries* data = nullptr;
    const TChartSeries* level = nullptr;
    for (const channels::SeriesDescription& sd : m_d.series) {
        if (!sd.name) continue;
        const TChartSeries* s = m_chart->findSeries(latin(sd.name));
        if (sd.kind == Kind::Reading && !data) data = s;
        if (sd.kind == Kind::Level) level = s;
    }
    const auto [first, last] = m_chart->visibleIndexRange();
    if (!data || data->count() == 0 || first < 0) {
        m_statistics->clear();
        return;
    }
    const TChartRows* rows = m_chart->rows();
    static const std::vector<qint64> kNoMoments;
    const std::vector<qint64>& moments = rows ? rows->moments() : kNoMoments;
    const bool haveLevel = level && level->count() > 0;
    const double lv = haveLevel ? level->y(0) : 0;
    const logdata::SpanStats st = logdata::ComputeSpanStats(
        data->yValues(), moments, first, std::min(last, data->count() - 1), lv, TChartRows::kNoMoment);
    auto when = [&](qsizetype i) {
        const QString t = rows ? rows->dateTimeText(static_cast<int>(i)) : QString();
        return t.isEmpty() ? QStringLiteral("row %1").arg(i + 1) : t;
    };
    QString text =
        QStringLiteral("Min %1 (%2)   Max %3 (%4)   Mean %5, rows %6-%7")
            .arg(QString::number(st.min, 'g', 8), when(st.minIndex), QString::number(st.max, 'g', 8),
                 when(st.maxIndex), QString::number(st.mean, 'f', 2))
            .arg(first + 1)
            .arg(last + 1);
    if (haveLevel) {
        text += QStringLiteral("\nOver the level %1").arg(QString::number(lv, 'g', 8));
        // A scaled page's level is scaled like its readings: say so, and from what.
        if (level->Title() != QLatin1String("Level"))
            text += QStringLiteral(" (%1, scaled like the readings)").arg(level->Title());
        text += QStringLiteral(": %1 readings").arg(st.overLevel);
        if (st.secondsAbove)
            text += QStringLiteral(", %1 above it").arg(logdata::DurationText(*st.secondsAbove));
        if (st.gapsSkipped > 0) text += QStringLiteral(" (gaps not counted)");
    }
    m_statistics->setText(text);
}

ChannelPage::~ChannelPage() = default;

void ChannelPage::buildSeries() {
    using Kind = channels::SeriesDescription::Kind;
    for (const channels::SeriesDescription& s : m_d.series) {
        if (!s.name) continue;
        TChartSeries* series = nullptr;
        if (s.kind == Kind::Range) {
            series = m_chart->addSeries<TLineSeries>(latin(s.name));
            series->setTitle(latin(s.title));
            series->setSeriesColor(Qt::white);
            series->setPenStyle(Qt::DotLine);
            series->setShowInLegend(false);
            series->setLinePenVisible(false);
            series->setPointerVisible(false);
            continue;
        }
        series = m_chart->addSeries<TFastLineSeries>(latin(s.name));
        series->setTitle(latin(s.title));
        if (s.kind == Kind::Level) {
            series->setSeriesColor(Qt::white);
            series->setShowInLegend(false);
            if (m_d.levelFunction)
                m_levelFunction = std::make_unique<THighTeeFunction>(
                    THighTeeFunction{latin(m_d.levelFunction), 20, series});
        } else {
            series->setSeriesColor(kChannelColor);
            if (s.dateTimeX) series->setXValuesDateTime(true);
        }
    }
}

void ChannelPage::buildMultiplier() {
    const channels::MultiplierDescription& m = m_d.multiplier;
    // The labels "Multiplier", "0", "0,000", "100", "0,999".
    const char* captions[] = {"Multiplier", "0", "0,000", "100", "0,999"};
    for (int i = 0; i < 5; ++i)
        m_multiplierCaptions[static_cast<std::size_t>(i)] =
            layout::caption(m_chart, m.labels[i], QString::fromLatin1(captions[i]));
    m_box = layout::named(new QLineEdit(QStringLiteral("1"), m_chart), m.box);
    m_box->setAccessibleName(QStringLiteral("Multiplier"));
    m_box->setEnabled(false);
    // Shown disabled, yet read as a figure: its own light background and dark text.
    layout::fixColours(m_box, QColor(240, 240, 240), Qt::black);
    m_coarse = layout::named(new QScrollBar(Qt::Vertical, m_chart), m.coarse);
    m_coarse->setAccessibleName(QStringLiteral("Multiplier, whole part"));
    m_coarse->setRange(0, 100);
    m_coarse->setSingleStep(1);
    m_coarse->setPageStep(10);
    m_coarse->setValue(1);
    m_fine = layout::named(new QScrollBar(Qt::Vertical, m_chart), m.fine);
    m_fine->setAccessibleName(QStringLiteral("Multiplier, thousandths"));
    m_fine->setRange(0, 999);
    m_fine->setSingleStep(1);
    m_fine->setPageStep(10);
    m_fine->setValue(0);
    m_refresh = layout::named(new QPushButton(QStringLiteral("Refresh"), m_chart), m.refresh);
    m_refresh->setMinimumWidth(57);
}

void ChannelPage::connectHandlers() {
    using P = ChannelPage;
    static const Handlers kHandlers[] = {
        {"DecisionGraphT1", &P::T1NameChange, nullptr, nullptr, nullptr, &P::PrintT1Click},
        {"DecisionGraphT2", &P::T2NameChange, nullptr, nullptr, nullptr, &P::PrintT2Click},
        {"DecisionGraphT3", &P::C1NameChange, nullptr, nullptr, nullptr, &P::PrintT3Click},
        {"DecisionGraphT4", &P::C2NameChange, nullptr, nullptr, nullptr, &P::PrintT4Click},
        {"DecisionGraphA1", &P::A1NameChange, &P::ScrollBarA1Change, &P::ScrollBarA01Change, &P::RefreshA1,
         &P::PrintA1Click},
        {"DecisionGraphA2", &P::A2NameChange, &P::ScrollBarA2Change, &P::ScrollBarA02Change, &P::RefreshA2,
         &P::PrintA2click},
        {"DecisionGraphA3", &P::A3NameChange, &P::ScrollBarA3Change, &P::ScrollBarA03Change, &P::RefreshA3,
         &P::PrintA3click},
        {"DecisionGraphA4", nullptr, nullptr, nullptr, nullptr, &P::printA4Click},
    };
    for (const Handlers& h : kHandlers) {
        if (std::strcmp(h.chart, m_d.chart) != 0) continue;
        if (m_name && h.name) connect(m_name, &QLineEdit::textChanged, this, h.name);
        if (m_coarse && h.coarse) connect(m_coarse, &QScrollBar::valueChanged, this, h.coarse);
        if (m_fine && h.fine) connect(m_fine, &QScrollBar::valueChanged, this, h.fine);
        if (m_refresh && h.refresh) connect(m_refresh, &QPushButton::clicked, this, h.refresh);
        connect(m_print, &QPushButton::clicked, this, h.print);
    }
}

// ---------------------------------------------------------------- names

QString ChannelPage::channelName() const {
    return m_name ? m_name->text() : QString();
}

void ChannelPage::applyName(const QString& name) {
    if (!m_name) return;
    m_name->setText(name);
    m_chart->setTitleText(QString());
    m_chart->setTitleText(channels::HeadingFor(name));
}

void ChannelPage::nameChange() {
    emit nameChanged(channels::CaptionFor(m_name->text()));
    m_chart->setTitleText(channels::HeadingFor(m_name->text()));
    m_chart->Repaint();
}

void ChannelPage::T1NameChange() {
    nameChange();
}
void ChannelPage::T2NameChange() {
    nameChange();
}
void ChannelPage::C1NameChange() {
    nameChange();
}
void ChannelPage::C2NameChange() {
    nameChange();
}
void ChannelPage::A1NameChange() {
    nameChange();
}
void ChannelPage::A2NameChange() {
    nameChange();
}
void ChannelPage::A3NameChange() {
    nameChange();
}

// ---------------------------------------------------------------- multiplier

double ChannelPage::multiplier() const {
    if (!m_coarse) return 1.0;
    return channels::MultiplierValue(m_coarse->value(), m_fine->value());
}

int ChannelPage::coarse() const {
    return m_coarse ? m_coarse->value() : 0;
}

int ChannelPage::fine() const {
    return m_fine ? m_fine->value() : 0;
}

void ChannelPage::setBars(int coarse, int fine) {
    if (!m_coarse) return;
    m_coarse->setValue(coarse);
    m_fine->setValue(fine);
}

void ChannelPage::multiplierChange() {
    m_box->setText(channels::MultiplierText(m_coarse->value(), m_fine->value()));
    applyResolution();
}

void ChannelPage::applyResolution() {
    // Counters count in ones; temperatures and analog readings have one decimal,
    // which a multiplier scales.
    const bool counter =
        std::strcmp(m_d.chart, "DecisionGraphT3") == 0 || std::strcmp(m_d.chart, "DecisionGraphT4") == 0;
    double resolution = counter ? 1.0 : 0.1;
    if (m_coarse && multiplier() > 0) resolution *= multiplier();
    m_chart->setMinimumSpan(resolution);
}

void ChannelPage::ScrollBarA1Change() {
    multiplierChange();
}
void ChannelPage::ScrollBarA01Change() {
    multiplierChange();
}
void ChannelPage::ScrollBarA2Change() {
    multiplierChange();
}
void ChannelPage::ScrollBarA02Change() {
    multiplierChange();
}
void ChannelPage::ScrollBarA3Change() {
    multiplierChange();
}
void ChannelPage::ScrollBarA03Change() {
    multiplierChange();
}

void ChannelPage::RefreshA1() {
    emit refreshRequested();
}
void ChannelPage::RefreshA2() {
    emit refreshRequested();
}
void ChannelPage::RefreshA3() {
    emit refreshRequested();
}

// ---------------------------------------------------------------- printing

void ChannelPage::printChart() {
    Platform& platform = Platform::instance();
    if (!platform.printerAvailable()) throw EError(QStringLiteral("No printer is installed"));
    QPrinter& printer = platform.sharedPrinter();
    printer.setPageOrientation(QPageLayout::Landscape);
    m_chart->PrintChart(printer);
}

void ChannelPage::PrintT1Click() {
    printChart();
}
void ChannelPage::PrintT2Click() {
    printChart();
}
void ChannelPage::PrintT3Click() {
    printChart();
}
void ChannelPage::PrintT4Click() {
    printChart();
}
void ChannelPage::PrintA1Click() {
    printChart();
}
void ChannelPage::PrintA2click() {
    printChart();
}
void ChannelPage::PrintA3click() {
    printChart();
}
void ChannelPage::printA4Click() {
    printChart();
}
