// SPDX-License-Identifier: GPL-3.0-or-later
// "Fetch new files every N minutes" on the transfer page: the window's own timer over the fetch core. A
// fetch starts only from the window's top-level loop (no modal box, no engine call, no load running),
// otherwise it waits; the next one is timed from the end of the last. It asks nothing.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>

class FtpSession;
class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;

namespace fetch {
class Fetcher;
struct Result;
} // namespace fetch

class AutoFetchPanel : public QWidget {
    Q_OBJECT
public:
    AutoFetchPanel(FtpSession* session, QWidget* parent = nullptr);
    ~AutoFetchPanel() override;

    // The folder of the window's csv.cfg and tervane640.ini: the choices are read from there.
    void setSettingsFolder(const QString& folder);
    // The local folder the window shows: stored as the fetch's folder when the box is ticked.
    void setCurrentFolder(std::function<QString()> folder) { m_currentFolder = std::move(folder); }
    // Another condition a fetch waits for (the shell: no file being loaded).
    void setGate(std::function<bool()> gate) { m_gate = std::move(gate); }
    // Whether a fetch may start now.
    bool mayStart() const;
    bool fetching() const;
    // Starts a fetch now when it may, else as soon as it may.
    void fetchSoon();

signals:
    // Day files a fetch brought or grew (whole paths).
    void filesFetched(const QStringList& paths);
    void statusText(const QString& text);

private slots:
    void AutoFetchBoxClick();
    void AutoFetchMinutesChange();
    void AutoFetchCancelClick();

private:
    void due();
    void runFetch();
    void saveChoices();
    void showState();
    void report(const fetch::Result& r);

    FtpSession* m_session;
    QCheckBox* AutoFetchBox = nullptr;
    QSpinBox* AutoFetchMinutes = nullptr;
    QLabel* AutoFetchLabel = nullptr;
    QPushButton* AutoFetchCancel = nullptr;
    QTimer* m_next = nullptr;  // the next fetch
    QTimer* m_retry = nullptr; // a fetch that waits for the window to be free
    QTimer* m_watch = nullptr; // Cancel, Exit and the close box during a fetch
    fetch::Fetcher* m_fetcher = nullptr;
    QString m_settingsFolder;
    QString m_last;
    std::function<QString()> m_currentFolder;
    std::function<bool()> m_gate;
    bool m_loading = false;
};
