// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/autofetchpanel.h"

#include "fetch/fetchcore.h"
#include "fetch/fetchsettings.h"
#include "platform/platform.h"
#include "transfer/connectionsettings.h"
#include "transfer/ftpsession.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QThread>
#include <QTimer>

#include <algorithm>

AutoFetchPanel::AutoFetchPanel(FtpSession* session, QWidget* parent)
    : QWidget(parent), m_session(session), m_fetcher(new fetch::Fetcher(this)) {
    setObjectName(QStringLiteral("AutoFetchPanel"));
    m_fetcher->setKeepSession(true);
    AutoFetchBox = new QCheckBox(QStringLiteral("Fetch new files every"), this);
    AutoFetchBox->setObjectName(QStringLiteral("AutoFetchBox"));
    AutoFetchMinutes = new QSpinBox(this);
    AutoFetchMinutes->setObjectName(QStringLiteral("AutoFetchMinutes"));
    AutoFetchMinutes->setRange(fetch::kMinMinutes, fetch::kMaxMinutes);
    AutoFetchMinutes->setValue(fetch::kDefaultMinutes);
    AutoFetchMinutes->setSuffix(QStringLiteral(" min"));
    AutoFetchLabel = new QLabel(this);
    AutoFetchLabel->setObjectName(QStringLiteral("AutoFetchLabel"));
    AutoFetchLabel->setWordWrap(true);
    AutoFetchLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    AutoFetchCancel = new QPushButton(QStringLiteral("Cancel"), this);
    AutoFetchCancel->setObjectName(QStringLiteral("AutoFetchCancel"));
    AutoFetchCancel->hide();
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(AutoFetchBox, 0, 0, 1, 2);
    grid->addWidget(AutoFetchMinutes, 1, 0, Qt::AlignLeft);
    grid->addWidget(AutoFetchCancel, 1, 1, Qt::AlignRight);
    grid->addWidget(AutoFetchLabel, 2, 0, 1, 2);
    grid->setRowStretch(2, 1);

    m_next = new QTimer(this);
    m_next->setSingleShot(true);
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    m_retry->setInterval(1000);
    m_watch = new QTimer(this);
    m_watch->setInterval(200);
    connect(m_next, &QTimer::timeout, this, &AutoFetchPanel::due);
    connect(m_retry, &QTimer::timeout, this, &AutoFetchPanel::due);
    connect(m_watch, &QTimer::timeout, this, [this] {
        if (m_session->CancelRequested) m_fetcher->cancel();
    });
    connect(AutoFetchBox, &QCheckBox::clicked, this, &AutoFetchPanel::AutoFetchBoxClick);
    connect(AutoFetchMinutes, &QSpinBox::valueChanged, this, &AutoFetchPanel::AutoFetchMinutesChange);
    connect(AutoFetchCancel, &QPushButton::clicked, this, &AutoFetchPanel::AutoFetchCancelClick);
    showState();
}

AutoFetchPanel::~AutoFetchPanel() = default;

void AutoFetchPanel::setSettingsFolder(const QString& folder) {
    m_settingsFolder = folder;
    const fetch::FetchSettings s = fetch::ReadFetchSettings(
        QDir(folder).filePath(QString::fromLatin1(transfer::kConnectionSettingsFile)));
    m_loading = true;
    AutoFetchMinutes->setValue(s.minutes);
    AutoFetchBox->setChecked(s.every && !s.localFolder.isEmpty());
    m_loading = false;
    if (AutoFetchBox->isChecked())
        fetchSoon();
    else
        showState();
}

bool AutoFetchPanel::fetching() const {
    return m_fetcher->running();
}

bool AutoFetchPanel::mayStart() const {
    // Only from the window's own loop: not inside a dialog's, an engine call's or a load's.
    if (QThread::currentThread()->loopLevel() > 1) return false;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
    if (m_session->EngineBusy() || m_fetcher->running()) return false;
    return !m_gate || m_gate();
}

void AutoFetchPanel::fetchSoon() {
    m_next->stop();
    m_retry->start(0);
}

void AutoFetchPanel::due() {
    if (!AutoFetchBox->isChecked() || m_fetcher->running()) return;
    if (!mayStart()) {
        m_retry->start();
        showState();
        return;
    }
    runFetch();
}

void AutoFetchPanel::runFetch() {
    fetch::Options o;
    o.settingsFolder = m_settingsFolder;
    // An engine call of the window as far as its handlers, Exit and the close box are concerned: they
    // wait for it or cancel it (the watch below passes their cancel on).
    FtpSession::Call call(m_session);
    m_session->CancelRequested = false;
    AutoFetchCancel->show();
    AutoFetchLabel->setText(QStringLiteral("Fetching new files..."));
    m_watch->start();
    const auto done = qScopeGuard([this] {
        m_watch->stop();
        AutoFetchCancel->hide();
        m_session->CancelRequested = false;
    });
    const fetch::Result r = m_fetcher->run(o);
    report(r);
    // The next fetch is timed from the end of this one.
    if (AutoFetchBox->isChecked()) m_next->start(AutoFetchMinutes->value() * 60 * 1000);
    showState();
}

void AutoFetchPanel::report(const fetch::Result& r) {
    const QString at = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    if (r.status == fetch::Result::Status::NothingDone) {
        m_last = QStringLiteral("The fetch at %1 failed: %2").arg(at, r.reason);
        emit statusText(m_last);
        return;
    }
    const int n = r.fetched();
    m_last = n == 1 ? QStringLiteral("1 new file at %1").arg(at)
                    : QStringLiteral("%1 new files at %2").arg(n).arg(at);
    if (r.keptOrFailed() > 0) m_last += QStringLiteral(", %1 kept or failed").arg(r.keptOrFailed());
    if (r.status == fetch::Result::Status::Cancelled) m_last += QStringLiteral(" (cancelled)");
    if (r.status == fetch::Result::Status::Partial && !r.reason.isEmpty())
        m_last += QStringLiteral(" (") + r.reason + QLatin1Char(')');
    QStringList paths, over;
    for (const fetch::FileReport& f : r.files) {
        if (f.outcome != fetch::FileReport::Outcome::Fetched) continue;
        paths << QDir(r.localFolder).filePath(f.name);
        for (const fetch::OverLevel& o : f.over)
            over << QStringLiteral("%1 %2: %3 over the level from %4")
                        .arg(f.name, o.channel)
                        .arg(o.count)
                        .arg(o.firstTime);
    }
    if (!paths.isEmpty()) emit filesFetched(paths);
    if (!over.isEmpty()) {
        const QString title = QStringLiteral("New readings over the level");
        const QString text = over.join(QLatin1Char('\n'));
        // One notification per fetch; the status bar where the desktop has no notification service.
        if (!Platform::instance().notifyDesktop(title, text))
            emit statusText(title + QStringLiteral(": ") + over.join(QStringLiteral("; ")));
    }
}

void AutoFetchPanel::showState() {
    QString text;
    if (!AutoFetchBox->isChecked())
        text = m_last;
    else if (m_retry->isActive())
        text = QStringLiteral("Next fetch when the window is free");
    else if (m_next->isActive())
        text =
            QStringLiteral("Next fetch at %1")
                .arg(
                    QTime::currentTime().addMSecs(m_next->remainingTime()).toString(QStringLiteral("HH:mm")));
    QString whole = text;
    if (!m_last.isEmpty()) {
        const QString last = AutoFetchBox->isChecked() ? QStringLiteral("Last: ") + m_last : m_last;
        whole += (text.isEmpty() ? QString() : QStringLiteral("\n")) + last;
        // A long reason is elided to about three lines (the whole text is the tooltip and was in the
        // status bar).
        const int room =
            std::max(1, AutoFetchLabel->width()) * 3 - AutoFetchLabel->fontMetrics().averageCharWidth() * 8;
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) +
                AutoFetchLabel->fontMetrics().elidedText(last, Qt::ElideRight, std::max(room, 60));
    }
    AutoFetchLabel->setText(text);
    AutoFetchLabel->setToolTip(whole);
}

void AutoFetchPanel::saveChoices() {
    if (m_loading || m_settingsFolder.isEmpty()) return;
    const QString ini =
        QDir(m_settingsFolder).filePath(QString::fromLatin1(transfer::kConnectionSettingsFile));
    fetch::FetchSettings s = fetch::ReadFetchSettings(ini);
    s.every = AutoFetchBox->isChecked();
    s.minutes = AutoFetchMinutes->value();
    // The folder shown when the box is ticked is the one the timer fetches into.
    if (s.every && m_currentFolder) s.localFolder = m_currentFolder();
    if (!fetch::WriteFetchChoices(ini, s))
        emit statusText(QStringLiteral("The fetch settings could not be written to ") + ini);
}

void AutoFetchPanel::AutoFetchBoxClick() {
    saveChoices();
    if (AutoFetchBox->isChecked()) {
        fetchSoon();
    } else {
        m_next->stop();
        m_retry->stop();
    }
    showState();
}

void AutoFetchPanel::AutoFetchMinutesChange() {
    saveChoices();
    if (AutoFetchBox->isChecked() && m_next->isActive()) m_next->start(AutoFetchMinutes->value() * 60 * 1000);
    showState();
}

void AutoFetchPanel::AutoFetchCancelClick() {
    m_session->CancelRequested = true;
    m_fetcher->cancel();
}
