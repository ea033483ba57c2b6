// The channel pages described as data, and the rules of their names, alarm
// levels and analog multipliers. No widgets.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace channels {

// How the vertical axis of a channel chart is set.
struct AxisRule {
    bool automaticMaximum = false; // only the top follows the readings
    double minimum = 0;
    double maximum = 100;
};

// One series of a channel chart.
struct SeriesDescription {
    enum class Kind { Reading, Level, Range };
    const char* name;  // objectName and the name a printout carries
    const char* title; // legend title
    Kind kind = Kind::Reading;
    bool dateTimeX = false; // X values flagged as date-time
};

// The multiplier controls of an analog page: the box, the coarse and the fine
// bar, the Refresh button, the five labels, and which analog channel (1..3).
struct MultiplierDescription {
    int channel = 0; // 0: the page has no multiplier
    const char* box = nullptr;
    const char* coarse = nullptr;
    const char* fine = nullptr;
    const char* refresh = nullptr;
    std::array<const char*, 5> labels{};
};

// What makes one channel page.
struct ChannelDescription {
    const char* page;    // the tab sheet's name
    const char* caption; // its default tab caption
    const char* chart;   // the chart's name
    int top;             // the chart's top on the page (left 8, 1217 wide)
    int height;
    const char* heading; // the chart's default heading
    AxisRule axis;
    bool legendSeries; // the legend lists the series (otherwise the component's default)
    std::array<SeriesDescription, 3> series; // unused ones have no name
    const char* nameEdit;                    // nullptr: the channel has no name of its own
    const char* defaultName;                 // the name edit's default text
    int settingsChannel;                     // the channel name's slot in the settings record (-1: none)
    const char* printButton;
    MultiplierDescription multiplier;
    // The highest-value function on the Level series (nullptr: none).
    const char* levelFunction;
};

// The eight channel pages in tab order: Temperature 1 and 2, Counter 1,
// Counter 2 / SQ, Analog 1 to 4.
const std::array<ChannelDescription, 8>& Channels();

// ---- names
// A channel name is shown as it is typed: the tab caption is the name, and the
// chart's whole heading becomes the one line of the name.
QString CaptionFor(const QString& name);
QStringList HeadingFor(const QString& name);

// ---- alarm levels
// The level bars' ranges.
inline constexpr int kTLevelMin = -45, kTLevelMax = 100;
inline constexpr int kALevelMin = 0, kALevelMax = 100;
// The read-only level box shows the bar position as a decimal integer.
QString LevelText(int position);

// ---- analog multipliers
// The multiplier of the two bars: coarse + fine / 1000.
double MultiplierValue(int coarse, int fine);
// Its text in the multiplier box: general form, at most 15 significant digits,
// no trailing zeros, the system's decimal separator.
QString MultiplierText(int coarse, int fine);

} // namespace channels
