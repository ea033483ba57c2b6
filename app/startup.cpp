// Start-up of the main window (run once, on the page control's first focus) and
// the settings file csv.cfg.
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "charts/channelpage.h"
#include "localfiles/localpanel.h"
#include "logdata/csvpage.h"
#include "platform/platform.h"
#include "settings/cfgrecord.h"
#include "transfer/connectionsettings.h"
#include "transfer/transferpage.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStatusBar>

namespace {
const char kNoSettingsYet[] =
    "No settings saved yet: enter the FTP account, then \"Setting\" > \"Save Setting\"";
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
    try {
        OnCreate();
    } catch (...) {
        // A settings file that cannot be read still lets the file given at start open.
        openStartFile();
        throw;
    }
    PageControl1Change();
}

QString TForm1::StartSettingsPath() {
    // Chosen against the folder the program starts in, once for the whole run:
    // later folder changes (the local folder follows the user's data) must not
    // move the settings or leave copies of the password among the data files.
    return settings::SettingsFilePath(QDir::currentPath(),
                                      QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

void TForm1::OnCreate() {
    m_transfer->prepareStartUp();
    m_transfer->setConnectionSettingsFile(
        settingsFile(QString::fromLatin1(transfer::kConnectionSettingsFile)));
    // A first start has no settings yet: the controls keep their designed
    // defaults, and there is no account to connect to.
    const bool firstStart = !QFileInfo::exists(m_settingsPath);
    if (!firstStart) {
        ReadCFGFile(QString::fromLatin1(settings::kCfgFileName));
        applySettings(*CFGRecord);
    } else {
        // The designed defaults stay; the level boxes show what their bars hold,
        // and the account group is empty.
        settings::CFGRecord defaults;
        storeSettings(defaults);
        m_csv->applySettings(defaults);
        m_transfer->applySettings(settings::CFGRecord());
    }
    m_csv->applyDates();
    m_transfer->applyCopyFromDate(*CFGRecord);
    m_local->showCount();
    m_transfer->showRemoteCount();
    emit settingsApplied();
    if (firstStart) {
        m_transfer->showDisconnected();
        StatusBar1->showMessage(QString::fromLatin1(kNoSettingsYet));
        return;
    }
    m_transfer->connectNow();
}

void TForm1::applySettings(const settings::CFGRecord& r) {
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
}

QString TForm1::settingsFile(const QString& fileName) const {
    return QFileInfo(m_settingsPath).dir().filePath(fileName);
}

void TForm1::ReadCFGFile(const QString& fileName) {
    const settings::CfgResult result = settings::ReadCFGFile(settingsFile(fileName), *CFGRecord);
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
    storeSettings(r);
    const QString path = settingsFile(fileName);
    settings::PrepareSettingsFolder(path);
    const settings::CfgResult result = settings::SaveCFGFile(path, r);
    if (result.status == settings::CfgStatus::CannotCreate)
        Platform::instance().showWarning(QStringLiteral("Warning"),
                                         QString::fromLatin1(settings::kCfgAccessError));
    else if (!result.ok())
        throw EInOutError(result.errorText);
    else if (!m_transfer->saveConnectionSettings())
        Platform::instance().showWarning(
            QStringLiteral("Warning"),
            QStringLiteral("The connection settings could not be written to ") +
                settingsFile(QString::fromLatin1(transfer::kConnectionSettingsFile)));
}

void TForm1::storeSettings(settings::CFGRecord& r) const {
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
}

void TForm1::SaveSetting1Click() {
    SaveCFGFile(QString::fromLatin1(settings::kCfgFileName));
}
