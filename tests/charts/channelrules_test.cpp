// The channel pages' descriptions and the rules of names, levels and multipliers, without widgets.
#include "charts/channelrules.h"
#include "settings/cfgrecord.h"

#include <QLocale>
#include <QSet>
#include <QTest>

class ChannelRulesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void eightPagesEachNamedOnce() {
        const auto& all = channels::Channels();
        QStringList pages, charts, series;
        QSet<int> slots_;
        for (const channels::ChannelDescription& d : all) {
            pages << d.page;
            charts << d.chart;
            for (const auto& s : d.series)
                if (s.name) series << s.name;
            if (d.settingsChannel >= 0) slots_ << d.settingsChannel;
        }
        QCOMPARE(pages, (QStringList{"TabSheet1", "TabSheet8", "TabSheet9", "TabSheet10", "TabSheet3",
                                     "TabSheet5", "TabSheet6", "TabSheet7"}));
        QCOMPARE(charts,
                 (QStringList{"DecisionGraphT1", "DecisionGraphT2", "DecisionGraphT3", "DecisionGraphT4",
                              "DecisionGraphA1", "DecisionGraphA2", "DecisionGraphA3", "DecisionGraphA4"}));
        QCOMPARE(QSet<QString>(series.begin(), series.end()).size(), series.size());
        QCOMPARE(series.size(), 15);
        // Seven named channels, one per slot of the settings record; Analog 4 has no name.
        QCOMPARE(slots_.size(), settings::kChannelCount);
        QCOMPARE(all[7].nameEdit, nullptr);
        QCOMPARE(all[7].settingsChannel, -1);
    }

    void pageDescriptions_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("nameEdit");
        QTest::addColumn<QString>("defaultName");
        QTest::addColumn<int>("settingsChannel");
        QTest::addColumn<int>("multiplier");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<double>("axisMin");
        QTest::addColumn<bool>("autoTop");
        QTest::newRow("Temperature 1") << 0 << "T1Name"
                                       << "Temperature 1 (deg.C)" << int(settings::Channel::T1) << 0
                                       << "Temperature 1" << -45.0 << false;
        QTest::newRow("Counter 1") << 2 << "C1Name"
                                   << "Counter" << int(settings::Channel::C1) << 0 << "Counter" << -1.0
                                   << true;
        QTest::newRow("Counter 2 / SQ")
            << 3 << "C2Name"
            << "Counter 2 / SQ" << int(settings::Channel::C2) << 0 << "Counter 2 / SQ" << -5.0 << true;
        QTest::newRow("Analog 1") << 4 << "A1Name"
                                  << "Analog 1" << int(settings::Channel::A1) << 1 << "Analog 1" << -1.0
                                  << true;
        QTest::newRow("Analog 3") << 6 << "A3Name"
                                  << "Analog 3" << int(settings::Channel::A3) << 3 << "Analog 3" << -1.0
                                  << true;
        QTest::newRow("Analog 4") << 7 << ""
                                  << "" << -1 << 0 << "Power Voltage  (V)" << -1.0 << false;
    }
    void pageDescriptions() {
        QFETCH(int, index);
        QFETCH(QString, nameEdit);
        QFETCH(QString, defaultName);
        QFETCH(int, settingsChannel);
        QFETCH(int, multiplier);
        QFETCH(QString, heading);
        QFETCH(double, axisMin);
        QFETCH(bool, autoTop);
        const channels::ChannelDescription& d = channels::Channels()[static_cast<std::size_t>(index)];
        QCOMPARE(QString::fromLatin1(d.nameEdit), nameEdit);
        QCOMPARE(QString::fromLatin1(d.defaultName), defaultName);
        QCOMPARE(d.settingsChannel, settingsChannel);
        QCOMPARE(d.multiplier.channel, multiplier);
        QCOMPARE(QString::fromLatin1(d.heading), heading);
        QCOMPARE(d.axis.minimum, axisMin);
        QCOMPARE(d.axis.automaticMaximum, autoTop);
    }

    void namesAreShownAsTyped_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "Tank 3";
        QTest::newRow("empty") << "";
        QTest::newRow("leading and trailing blanks") << "  Flow  ";
    }
    void namesAreShownAsTyped() {
        QFETCH(QString, name);
        QCOMPARE(channels::CaptionFor(name), name);
        QCOMPARE(channels::HeadingFor(name), QStringList{name});
    }

    void levels() {
        QCOMPARE(channels::LevelText(-45), QString("-45"));
        QCOMPARE(channels::LevelText(100), QString("100"));
        QCOMPARE(channels::kTLevelMin, -45);
        QCOMPARE(channels::kALevelMin, 0);
    }

    void multipliers_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("coarse");
        QTest::addColumn<int>("fine");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("1 / 0") << "C" << 1 << 0 << 1.0 << "1";
        QTest::newRow("2 / 50") << "C" << 2 << 50 << 2.05 << "2.05";
        QTest::newRow("2 / 50, comma") << "de_DE" << 2 << 50 << 2.05 << "2,05";
        QTest::newRow("100 / 999") << "C" << 100 << 999 << 100.999 << "100.999";
        QTest::newRow("0 / 1") << "C" << 0 << 1 << 0.001 << "0.001";
        QTest::newRow("0 / 0") << "C" << 0 << 0 << 0.0 << "0";
    }
    void multipliers() {
        QFETCH(QString, locale);
        QFETCH(int, coarse);
        QFETCH(int, fine);
        QFETCH(double, value);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(channels::MultiplierValue(coarse, fine), value);
        QCOMPARE(channels::MultiplierText(coarse, fine), text);
    }
};

QTEST_APPLESS_MAIN(ChannelRulesTest)
#include "channelrules_test.moc"
