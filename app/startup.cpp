// Start-up of the main window (run once, on the page control's first focus) and
// the settings file csv.cfg.
#include "app/application.h"
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "app/platform/platform.h"
#include "app/settings/cfgrecord.h"
#include "charts/decisiongraph.h"
#include "localfiles/folderlists.h"
#include "transfer/transfercore.h"

#include <QAction>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>

using settings::Channel;
using settings::Multiplier;

namespace {
struct NamedChannel {
    Channel channel;
    QLineEdit* TForm1::*edit;
    TDecisionGraph* TForm1::*chart;
    TTabSheet* TForm1::*page;
};
const NamedChannel kChannels[] = {
    {Channel::T1, &TForm1::T1Name, &TForm1::DecisionGraphT1, &TForm1::TabSheet1},
    {Channel::T2, &TForm1::T2Name, &TForm1::DecisionGraphT2, &TForm1::TabSheet8},
    {Channel::C1, &TForm1::C1Name, &TForm1::DecisionGraphT3, &TForm1::TabSheet9},
    {Channel::C2, &TForm1::C2Name, &TForm1::DecisionGraphT4, &TForm1::TabSheet10},
    {Channel::A1, &TForm1::A1Name, &TForm1::DecisionGraphA1, &TForm1::TabSheet3},
    {Channel::A2, &TForm1::A2Name, &TForm1::DecisionGraphA2, &TForm1::TabSheet5},
    {Channel::A3, &TForm1::A3Name, &TForm1::DecisionGraphA3, &TForm1::TabSheet6},
};
struct MultiplierBar {
    Multiplier which;
    QScrollBar* TForm1::*bar;
};
const MultiplierBar kBars[] = {
    {Multiplier::A1Coarse, &TForm1::ScrollBarA1}, {Multiplier::A1Fine, &TForm1::ScrollBarA01},
    {Multiplier::A2Coarse, &TForm1::ScrollBarA2}, {Multiplier::A2Fine, &TForm1::ScrollBarA02},
    {Multiplier::A3Coarse, &TForm1::ScrollBarA3}, {Multiplier::A3Fine, &TForm1::ScrollBarA03}};

QString cfgPath(const QString& fileName) {
    return QDir::current().absoluteFilePath(fileName);
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
    MenuItem1->setVisible(false);
    MenuItem2->setVisible(false);
    MonthCalendar2->setSelectedDate(QDate::currentDate());
    ReadCFGFile(QString::fromLatin1(settings::kCfgFileName));
    const settings::CFGRecord& r = *CFGRecord;

    ScrollBar1->setValue(r.tLevel());
    ScrollBar2->setValue(r.aLevel());
    TLEVEL->setText(QString::number(ScrollBar1->value()));
    ALEVEL->setText(QString::number(ScrollBar2->value()));
    TLevel = r.tLevel();
    ALevel = r.aLevel();
    DriveComboBox1->setCurrentIndex(r.driveIndex() < DriveComboBox1->count() ? r.driveIndex() : -1);
    HostTxt->setText(r.host());
    UserTxt->setText(r.userId());
    PassTxt->setText(r.password());
    for (const MultiplierBar& b : kBars)
        (this->*b.bar)->setValue(r.multiplier(b.which));
    for (const NamedChannel& c : kChannels) {
        (this->*c.edit)->setText(r.channelName(c.channel));
        (this->*c.chart)->setTitleText(QString());
        (this->*c.chart)->setTitleText(r.channelName(c.channel));
    }
    for (const NamedChannel& c : kChannels)
        (this->*c.page)->setCaption(r.channelName(c.channel));
    DateTimePicker1->setDate(QDate::currentDate());
    DateTimePicker2->setDate(QDate::currentDate());
    // The calendar cannot go below its earliest date; an older stored date shows that one.
    const QDate stored = settings::DayNumberToDate(r.copyFromDate());
    MonthCalendar1->setSelectedDate(stored.isValid() ? stored : MonthCalendar1->minimumDate());
    CopyFromDateText = transfer::DateText(MonthCalendar1->selectedDate());
    FromDateTime->setText(CopyFromDateText);
    FileListBoxFTP->clear();
    LocalFiles1cnt->setText(QString::number(FileListBoxPC->count()));
    RemoteFiles1cnt->setText(QString::number(FileListBoxFTP->count()));
    ConnectBtnClick();
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
    r.setTLevel(ScrollBar1->value());
    r.setALevel(ScrollBar2->value());
    r.setDriveIndex(DriveComboBox1->currentIndex());
    r.setFolder(QDir::toNativeSeparators(DirectoryListBox1->Directory()));
    r.setHost(HostTxt->text());
    r.setUserId(UserTxt->text());
    r.setPassword(PassTxt->text());
    for (const MultiplierBar& b : kBars)
        r.setMultiplier(b.which, (this->*b.bar)->value());
    for (const NamedChannel& c : kChannels)
        r.setChannelName(c.channel, (this->*c.edit)->text());
    r.setCopyFromDate(settings::DateToDayNumber(MonthCalendar2->selectedDate()));
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

void TForm1::MonthCalendar1Click() {
    CopyFromDateText = transfer::DateText(MonthCalendar1->selectedDate());
    FromDateTime->setText(CopyFromDateText);
}
