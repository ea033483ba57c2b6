// Start-up of the main window (run once, on the page control's first focus) and
// the settings file csv.cfg.
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "charts/channelpage.h"
#include "localfiles/localpanel.h"
#include "logdata/csvpage.h"
#include "platform/platform.h"
#include "settings/cfgrecord.h"
#include "transfer/transferpage.h"

#include <QDir>

namespace {
QString cfgPath(const QString& fileName) {
    return QDir::current().absoluteFilePath(fileName);
}
// The settings slots of analog channel 1..3's bars.
settings::Multiplier coarseOf(int channel) {
    return settings::Multiplier(2 * (channel - 1));
}
settings::Multiplier fineOf(int channel) {
    return settings::Multiplier(2 * (channel - 1) + 1);
}
} // namespace

void TForm1::PageControl1Enter() {
    // The page control gets the input focus once from outside, when the window is
    // first shown: that is when the program initialises.
    if (m_initialised) return;
    m_initialised = true;
    OnCreate();
    PageControl1Change();
}

void TForm1::OnCreate() {
    m_transfer->prepareStartUp();
    ReadCFGFile(QString::fromLatin1(settings::kCfgFileName));
    const settings::CFGRecord& r = *CFGRecord;

    m_csv->applySettings(r);
    m_transfer->applySettings(r);
    for (ChannelPage* c : m_channels)
        if (const int ch = c->description().multiplier.channel; ch > 0)
            c->setBars(r.multiplier(coarseOf(ch)), r.multiplier(fineOf(ch)));
    for (ChannelPage* c : m_channels)
        if (const int slot = c->description().settingsChannel; slot >= 0)
            c->applyName(r.channelName(settings::Channel(slot)));
    for (ChannelPage* c : m_channels)
        if (const int slot = c->description().settingsChannel; slot >= 0)
            sheet(c->description().page)->setCaption(r.channelName(settings::Channel(slot)));
    m_csv->applyDates();
    m_transfer->applyCopyFromDate(r);
    m_local->showCount();
    m_transfer->showRemoteCount();
    m_transfer->connectNow();
}

void TForm1::ReadCFGFile(const QString& fileName) {
    const settings::CfgResult result = settings::ReadCFGFile(cfgPath(fileName), *CFGRecord);
    switch (result.status) {
    case settings::CfgStatus::Ok:
        return;
    case settings::CfgStatus::CannotOpen:
        Platform::instance().showWarning(QStringLiteral("Warning"),
                                         QString::fromLatin1(settings::kCfgAccessError));
        return;
    default:
        throw EInOutError(result.errorText);
    }
}

void TForm1::SaveCFGFile(const QString& fileName) {
    settings::CFGRecord& r = *CFGRecord;
    m_csv->storeSettings(r);
    m_transfer->storeSettings(r);
    for (const ChannelPage* c : m_channels) {
        if (const int ch = c->description().multiplier.channel; ch > 0) {
            r.setMultiplier(coarseOf(ch), c->coarse());
            r.setMultiplier(fineOf(ch), c->fine());
        }
        if (const int slot = c->description().settingsChannel; slot >= 0)
            r.setChannelName(settings::Channel(slot), c->channelName());
    }
    m_transfer->storeCopyFromDate(r);
    const settings::CfgResult result = settings::SaveCFGFile(cfgPath(fileName), r);
    if (result.status == settings::CfgStatus::CannotCreate)
        Platform::instance().showWarning(QStringLiteral("Warning"),
                                         QString::fromLatin1(settings::kCfgAccessError));
    else if (!result.ok())
        throw EInOutError(result.errorText);
}

void TForm1::SaveSetting1Click() {
    SaveCFGFile(QString::fromLatin1(settings::kCfgFileName));
}
