#include "charts/channelrules.h"

#include <QLocale>

namespace channels {

namespace {
using K = SeriesDescription::Kind;
constexpr SeriesDescription kNone{nullptr, nullptr};
} // namespace

const std::array<ChannelDescription, 8>& Channels() {
    static const std::array<ChannelDescription, 8> kChannels{{
        {"TabSheet1",
         "Temperature 1",
         "DecisionGraphT1",
         9,
         600,
         "Temperature 1",
         {false, -45, 135},
         false,
         {{{"FastLineSeries1", "T1", K::Reading, true}, {"FastLineSeries5", "Level", K::Level}, kNone}},
         "T1Name",
         "Temperature 1 (deg.C)",
         0,
         "PrintT1",
         {},
         "HighTeeFunction1"},
        {"TabSheet8",
         "Temperature 2",
         "DecisionGraphT2",
         9,
         600,
         "Temperature 2",
         {false, -45, 135},
         true,
         {{{"FastLineSeries2", "T2"}, kNone, kNone}},
         "T2Name",
         "Temperature 2 (deg.C)",
         1,
         "PrintT2",
         {},
         nullptr},
        {"TabSheet9",
         "Counter 1",
         "DecisionGraphT3",
         9,
         600,
         "Counter",
         {true, -1, 100},
         true,
         {{{"FastLineSeries3", "C1"}, {"Series14", " ", K::Range}, kNone}},
         "C1Name",
         "Counter",
         2,
         "PrintT3",
         {},
         nullptr},
        {"TabSheet10",
         "Counter 2 / SQ",
         "DecisionGraphT4",
         9,
         600,
         "Counter 2 / SQ",
         {true, -5, 100},
         true,
         {{{"FastLineSeries4", "C2 / SQ"}, {"Series3", "", K::Range}, kNone}},
         "C2Name",
         "Counter 2 / SQ",
         3,
         "PrintT4",
         {},
         nullptr},
        {"TabSheet3",
         "Analog 1",
         "DecisionGraphA1",
         8,
         601,
         "Analog 1",
         {true, -1, 100},
         false,
         {{{"FastLineSeries6", "A1"}, {"FastLineSeries10", "Level", K::Level}, {"Series11", " ", K::Range}}},
         "A1Name",
         "Analog 1",
         4,
         "PrintA1",
         {1,
          "MulA1",
          "ScrollBarA1",
          "ScrollBarA01",
          "Button5",
          {"Label6", "Label13", "Label7", "Label11", "Label12"}},
         nullptr},
        {"TabSheet5",
         "Analog 2",
         "DecisionGraphA2",
         8,
         601,
         "Analog 2",
         {true, -1, 100},
         true,
         {{{"FastLineSeries7", "A2"}, {"Series12", " ", K::Range}, kNone}},
         "A2Name",
         "Analog 2",
         5,
         "PrintA2",
         {2,
          "MulA2",
          "ScrollBarA2",
          "ScrollBarA02",
          "Button3",
          {"Label14", "Label15", "Label16", "Label18", "Label19"}},
         nullptr},
        {"TabSheet6",
         "Analog 3",
         "DecisionGraphA3",
         8,
         601,
         "Analog 3",
         {true, -1, 100},
         true,
         {{{"FastLineSeries8", "A3"}, {"Series13", " ", K::Range}, kNone}},
         "A3Name",
         "Analog 3",
         6,
         "PrintA3",
         {3,
          "MulA3",
          "ScrollBarA3",
          "ScrollBarA03",
          "Button6",
          {"Label23", "Label24", "Label25", "Label26", "Label27"}},
         nullptr},
        {"TabSheet7",
         "Analog 4 (Power Voltage)",
         "DecisionGraphA4",
         8,
         601,
         "Power Voltage  (V)",
         {false, -1, 20},
         true,
         {{{"FastLineSeries9", "A4"}, kNone, kNone}},
         nullptr,
         nullptr,
         -1,
         "PrintA4",
         {},
         nullptr},
    }};
    return kChannels;
}

QString CaptionFor(const QString& name) {
    return name;
}

QStringList HeadingFor(const QString& name) {
    return QStringList{name};
}

QString LevelText(int position) {
    return QString::number(position);
}

double MultiplierValue(int coarse, int fine) {
    return static_cast<double>(fine * static_cast<long double>(0.001) + coarse);
}

QString MultiplierText(int coarse, int fine) {
    return QLocale().toString(MultiplierValue(coarse, fine), 'g', 15);
}

} // namespace channels
