// The program's second settings file, tervane640.ini, beside csv.cfg: settings
// that csv.cfg has no room for, as keys and values. The recent-files list is one.
//
// The file is read and written with the checks of every settings file (never
// through a link, only the user's own file, in a folder closed to others; see
// safefile.h): each read takes the file as it is now, and each change is written
// at once as a whole new file, owner-only, put in place of the old one. The text
// of the file is the one QSettings reads and writes (IniFormat).
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <utility>
#include <vector>

namespace settings {

class AppSettings {
public:
    static constexpr const char* kFileName = "tervane640.ini";
    // How many files "Recent files" keeps.
    static constexpr int kRecentFiles = 8;
    // A larger file is not taken for a settings file.
    static constexpr qint64 kMaxFileBytes = 4 << 20;

    // The file at `path`; it is created at the first write.
    explicit AppSettings(const QString& path);
    ~AppSettings();
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    QString path() const;
    QVariant value(const QString& key, const QVariant& fallback = {}) const;
    // Written to the file at once. False when the file could not be written (see error()).
    bool setValue(const QString& key, const QVariant& value);
    // Several values in one write.
    bool setValues(const std::vector<std::pair<QString, QVariant>>& values);
    bool remove(const QString& key);

    // Why the file could not be read or written as it is ("" when it could): a link,
    // another user's file, an open folder, lines that are not settings.
    QString problem() const { return m_problem; }
    // The last write could not make the file owner-only (a FAT or exFAT folder).
    bool modeKept() const { return m_modeKept; }

    // The files opened last, newest first, at most kRecentFiles.
    QStringList recentFiles() const;
    // Puts a file at the top of the list (once), dropping the oldest beyond the limit.
    void addRecentFile(const QString& path);
    void removeRecentFile(const QString& path);

    // The keys and values of a file's text, and the text of keys and values, as
    // QSettings has them. `unreadable`, when given, is set when the text held lines
    // that are not settings.
    static QVariantMap Parse(const QByteArray& text, bool* unreadable = nullptr);
    static QByteArray Format(const QVariantMap& values);

private:
    // The file's keys and values now; false when it cannot be used (m_problem says why).
    bool load(QVariantMap& values) const;
    bool write(const QVariantMap& values);

    QString m_path;
    mutable QString m_problem;
    mutable QByteArray m_lastText;
    mutable QVariantMap m_lastValues;
    bool m_modeKept = true;
};

} // namespace settings
