// Start-up of the main window (run once, on the page control's first focus) and
// the settings file csv.cfg.
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "charts/channelpage.h"
#include "localfiles/localpanel.h"
#include "logdata/csvpage.h"
#include "platform/platform.h"
#include "settings/appsettings.h"
#include "settings/cfgrecord.h"
#include "settings/safefile.h"
#include "settings/settingsplace.h"
#include "transfer/connectionsettings.h"
#include "transfer/transferpage.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolTip>
#include <QValidator>
#include <functional>
#include <unistd.h>

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

settings::SettingsPlace TForm1::StartSettingsPlace() {
    // Chosen against the folder the program starts in, once for the whole run:
    // later folder changes (the local folder follows the user's data) must not
    // move the settings or leave copies of the password among the data files.
    return settings::ChooseSettingsPlace(QDir::currentPath(),
                                         QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

void TForm1::OnCreate() {
    m_transfer->prepareStartUp();
    // An imported installation's tervane640.ini comes along once, before anything reads it.
    settings::ImportIniFile(*m_place);
    const QString ini = settingsFile(QString::fromLatin1(transfer::kConnectionSettingsFile));
    m_transfer->setConnectionSettingsFile(ini);
    m_settingsNote = m_place->note;
    QStringList unknown;
    transfer::ReadConnectionChoices(ini, &unknown);
    if (!unknown.isEmpty())
        m_settingsNote += (m_settingsNote.isEmpty() ? QString() : QStringLiteral("; ")) +
                          QStringLiteral("tervane640.ini: ") + unknown.join(QStringLiteral("; "));
    // A first start has no settings yet: the controls keep their designed
    // defaults, and there is no account to connect to.
    const bool firstStart = m_place->kind == settings::SettingsPlace::Kind::FirstStart;
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
    if (firstStart || !m_place->logOnAtStart()) {
        m_transfer->showDisconnected();
        if (firstStart) StatusBar1->showMessage(QString::fromLatin1(kNoSettingsYet));
        ShowSettingsNote();
        return;
    }
    ShowSettingsNote();
    m_transfer->connectNow();
    ShowSettingsNote();
}

void TForm1::ShowSettingsNote() {
    if (!m_settingsNote.isEmpty()) StatusBar1->showMessage(m_settingsNote);
}

void TForm1::applySettings(const settings::CFGRecord& r) {
    m_csv->applySettings(r);
    m_transfer->applySettings(r);
    // A host name outside ASCII is kept in its ASCII form and shown in its own letters.
    if (auto* host = findChild<QLineEdit*>(QStringLiteral("HostTxt")))
        host->setText(settings::HostFromRecord(r.host()));
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
    // csv.cfg is read from where start-up found it (an imported one from the start folder).
    const bool cfg = fileName == QLatin1String(settings::kCfgFileName);
    const QString path = cfg && !m_place->cfgSource.isEmpty() ? m_place->cfgSource : settingsFile(fileName);
    uid_t owner = 0;
    settings::CfgResult result = settings::ReadCFGFile(path, *CFGRecord, &owner);
    // Only an import reads another user's file; anywhere else it is refused.
    if (result.status != settings::CfgStatus::CannotOpen && result.status != settings::CfgStatus::Refused &&
        m_place->kind != settings::SettingsPlace::Kind::Imported && owner != ::geteuid()) {
        *CFGRecord = settings::CFGRecord();
        result = {
            settings::CfgStatus::Refused,
            QStringLiteral("%1 belongs to another user and is not used").arg(QDir::toNativeSeparators(path))};
    }
    switch (result.status) {
    case settings::CfgStatus::Ok:
        return;
    case settings::CfgStatus::CannotOpen:
        Platform::instance().showWarning(QStringLiteral("Warning"),
                                         QString::fromLatin1(settings::kCfgAccessError));
        return;
    case settings::CfgStatus::Refused:
        Platform::instance().showWarning(QStringLiteral("Warning"),
                                         QString::fromLatin1(settings::kCfgAccessError) +
                                             QStringLiteral(": ") + result.errorText);
        return;
    case settings::CfgStatus::ShortFile:
        // The account in it was not read: a later save must not put the defaults in its place unasked.
        m_cfgUnread = true;
        throw EInOutError(result.errorText);
    default:
        throw EInOutError(result.errorText);
    }
}

void TForm1::SaveCFGFile(const QString& fileName, bool byUser) {
    auto tell = [&](const QString& text) {
        if (byUser)
            Platform::instance().showWarning(QStringLiteral("Warning"), text);
        else
            StatusBar1->showMessage(text);
    };
    if (const QString problems = RecordTextProblems(); !problems.isEmpty()) {
        tell(QStringLiteral("The settings were not saved:\n") + problems);
        return;
    }
    const QString path = settingsFile(fileName);
    // Only the file that was read is replaced (an imported one never is).
    if (m_cfgUnread && (m_place->cfgSource.isEmpty() || m_place->cfgSource == path)) {
        const QString question =
            QStringLiteral("%1 was too short to read when the program started, so the FTP account and the "
                           "other settings in it are not shown. Replace it with the settings shown now?")
                .arg(QDir::toNativeSeparators(path));
        if (!byUser || Platform::instance().confirm(question) != Platform::Answer::Yes) {
            StatusBar1->showMessage(
                QStringLiteral("csv.cfg was kept as it is: \"Setting\" > \"Save Setting\" "
                               "replaces it"));
            return;
        }
    }
    settings::CFGRecord& r = *CFGRecord;
    storeSettings(r);
    bool folderPrivate = true;
    if (m_place->kind != settings::SettingsPlace::Kind::StartFolder)
        settings::PrepareConfigFolder(m_place->folder, &folderPrivate);
    const settings::CfgResult result = settings::SaveCFGFile(path, r);
    if (result.status == settings::CfgStatus::CannotCreate) {
        Platform::instance().showWarning(QStringLiteral("Warning"),
                                         QString::fromLatin1(settings::kCfgAccessError));
        return;
    }
    if (result.status == settings::CfgStatus::Refused) {
        tell(QString::fromLatin1(settings::kCfgAccessError) + QStringLiteral(": ") + result.errorText);
        return;
    }
    if (!result.ok()) throw EInOutError(result.errorText);
    // From now on this run's settings are the ones just saved.
    m_cfgUnread = false;
    if (m_place->kind != settings::SettingsPlace::Kind::StartFolder) {
        m_place->kind = settings::SettingsPlace::Kind::Own;
        m_place->cfgSource = path;
    }
    const bool saved = m_transfer->saveConnectionSettings();
    if ((!result.modeKept || !folderPrivate) && !m_modeWarned) {
        // Said once a run: every save in such a folder would say it again.
        m_modeWarned = true;
        tell(settings::ModeNotKeptText(m_place->folder));
    }
    if (!saved) {
        const QString ini = settingsFile(QString::fromLatin1(transfer::kConnectionSettingsFile));
        const QString why = settings::AppSettings(ini).problem();
        tell(QStringLiteral("The connection settings could not be written to ") + ini +
             (why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    }
}

void TForm1::storeSettings(settings::CFGRecord& r) const {
    m_csv->storeSettings(r);
    m_transfer->storeSettings(r);
    if (const auto* host = findChild<QLineEdit*>(QStringLiteral("HostTxt")))
        if (const QString ace = settings::HostForRecord(host->text()); !ace.isEmpty()) r.setHost(ace);
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

namespace {
// Refuses, as they are typed, texts the settings record cannot hold, and says why.
class RecordTextValidator : public QValidator {
public:
    RecordTextValidator(int room, bool host, std::function<void(const QString&)> refused, QObject* parent)
        : QValidator(parent), m_room(room), m_host(host), m_refused(std::move(refused)) {}
    State validate(QString& input, int&) const override {
        const QString problem = Problem(input, m_room, m_host);
        if (problem.isEmpty()) return Acceptable;
        m_refused(problem);
        // A host name being typed may have no ASCII form yet ("bü-"): let the typing go on.
        return m_host && input.size() <= m_room ? Intermediate : Invalid;
    }
    static QString Problem(const QString& text, int room, bool host) {
        if (!host) return settings::RecordTextProblem(text, room);
        const QString ace = settings::HostForRecord(text);
        if (ace.isEmpty() && !text.trimmed().isEmpty())
            return QStringLiteral("\"%1\" is not a host name that has an ASCII form").arg(text);
        return settings::RecordTextProblem(ace, room);
    }

private:
    int m_room;
    bool m_host;
    std::function<void(const QString&)> m_refused;
};

struct RecordEdit {
    const char* name;
    const char* label;
    int room;
    bool host;
};
const RecordEdit kRecordEdits[] = {
    {"HostTxt", "FTP host", settings::kAccountRoom, true},
    {"UserTxt", "User ID", settings::kAccountRoom, false},
    {"PassTxt", "Password", settings::kAccountRoom, false},
    {"T1Name", "Name of Temperature 1", settings::kChannelNameRoom, false},
    {"T2Name", "Name of Temperature 2", settings::kChannelNameRoom, false},
    {"C1Name", "Name of Counter 1", settings::kChannelNameRoom, false},
    {"C2Name", "Name of Counter 2 / SQ", settings::kChannelNameRoom, false},
    {"A1Name", "Name of Analog 1", settings::kChannelNameRoom, false},
    {"A2Name", "Name of Analog 2", settings::kChannelNameRoom, false},
    {"A3Name", "Name of Analog 3", settings::kChannelNameRoom, false},
};
} // namespace

void TForm1::GuardRecordTexts() {
    for (const RecordEdit& e : kRecordEdits) {
        auto* edit = findChild<QLineEdit*>(QString::fromLatin1(e.name));
        if (!edit) continue;
        const QString label = QString::fromLatin1(e.label);
        edit->setValidator(new RecordTextValidator(
            e.room, e.host,
            [this, edit, label](const QString& why) {
                const QString text = label + QStringLiteral(": ") + why;
                StatusBar1->showMessage(text);
                if (edit->isVisible())
                    QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), text, edit);
            },
            edit));
    }
}

QString TForm1::RecordTextProblems() const {
    QStringList lines;
    for (const RecordEdit& e : kRecordEdits)
        if (const auto* edit = findChild<QLineEdit*>(QString::fromLatin1(e.name)))
            if (const QString why = RecordTextValidator::Problem(edit->text(), e.room, e.host);
                !why.isEmpty())
                lines << QString::fromLatin1(e.label) + QStringLiteral(": ") + why;
    return lines.join(QLatin1Char('\n'));
}
