// One channel page: the channel's chart with its series, the channel's name box,
// the analog multiplier bars where the channel has them, and the Print button.
// The same class serves all eight pages, each made from its description.
#pragma once

#include <array>

#include "charts/channelrules.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class TDecisionGraph;
struct THighTeeFunction;

class ChannelPage : public QWidget {
    Q_OBJECT
public:
    explicit ChannelPage(const channels::ChannelDescription& description, QWidget* parent = nullptr);
    ~ChannelPage() override;

    const channels::ChannelDescription& description() const { return m_d; }
    // The chart a load fills.
    TDecisionGraph* graph() const { return m_chart; }

    // The channel's name ("" when it has none).
    QString channelName() const;
    // Start-up: the stored name into the name box and the heading.
    void applyName(const QString& name);

    // The multiplier of the channel's bars (1 without bars).
    double multiplier() const;
    int coarse() const;
    int fine() const;
    void setBars(int coarse, int fine);

signals:
    // The name box changed: the tab caption follows.
    void nameChanged(const QString& caption);
    // Refresh: load the file on screen again under the multipliers now set.
    void refreshRequested();

private slots:
    void T1NameChange();
    void T2NameChange();
    void C1NameChange();
    void C2NameChange();
    void A1NameChange();
    void A2NameChange();
    void A3NameChange();
    void ScrollBarA1Change();
    void ScrollBarA01Change();
    void ScrollBarA2Change();
    void ScrollBarA02Change();
    void ScrollBarA3Change();
    void ScrollBarA03Change();
    void RefreshA1();
    void RefreshA2();
    void RefreshA3();
    void PrintT1Click();
    void PrintT2Click();
    void PrintT3Click();
    void PrintT4Click();
    void PrintA1Click();
    void PrintA2click();
    void PrintA3click();
    void printA4Click();

private:
    void arrangePage();
    void updateStatistics();
    void buildSeries();
    void buildMultiplier();
    void connectHandlers();
    void nameChange();
    void multiplierChange();
    // The smallest vertical span the chart zooms to.
    void applyResolution();
    void printChart();

    const channels::ChannelDescription& m_d;
    TDecisionGraph* m_chart = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_box = nullptr;
    QScrollBar *m_coarse = nullptr, *m_fine = nullptr;
    QPushButton *m_refresh = nullptr, *m_print = nullptr;
    QLabel* m_statistics = nullptr;                // figures of the rows shown
    std::array<QLabel*, 5> m_multiplierCaptions{}; // "Multiplier", "0", "0,000", "100", "0,999"
    // Highest-value function on the Level series; without a source it computes nothing.
    std::unique_ptr<THighTeeFunction> m_levelFunction;
};
