// The program's second settings file, tervane640.ini, beside csv.cfg: settings
// that csv.cfg has no room for, as keys and values. The recent-files list is one.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace settings {

class AppSettings {
public:
    static constexpr const char* kFileName = "tervane640.ini";
    // How many files "Recent files" keeps.
    static constexpr int kRecentFiles = 8;

    // Opens (or, at the first write, creates) the file at `path`.
    explicit AppSettings(const QString& path);
    ~AppSettings();
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    QString path() const;
    QVariant value(const QString& key, const QVariant& fallback = {}) const;
    // Written to the file at once.
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

    // The files opened last, newest first, at most kRecentFiles.
    QStringList recentFiles() const;
    // Puts a file at the top of the list (once), dropping the oldest beyond the limit.
    void addRecentFile(const QString& path);
    void removeRecentFile(const QString& path);

private:
    std::unique_ptr<QSettings> m_ini;
};

} // namespace settings
