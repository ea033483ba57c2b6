#include "settings/appsettings.h"

#include <QLockFile>

namespace settings {

namespace {
const QString kRecentKey = QStringLiteral("RecentFiles/Files");
}

AppSettings::AppSettings(const QString& path)
    : m_ini(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

AppSettings::~AppSettings() = default;

QString AppSettings::path() const {
    return m_ini->fileName();
}

QVariant AppSettings::value(const QString& key, const QVariant& fallback) const {
    return m_ini->value(key, fallback);
}

void AppSettings::setValue(const QString& key, const QVariant& value) {
    m_ini->setValue(key, value);
    m_ini->sync();
}

void AppSettings::remove(const QString& key) {
    m_ini->remove(key);
    m_ini->sync();
}

QStringList AppSettings::recentFiles() const {
    m_ini->sync(); // another window of the program may have changed the list
    QStringList files = m_ini->value(kRecentKey).toStringList();
    files.removeAll(QString());
    while (files.size() > kRecentFiles)
        files.removeLast();
    return files;
}

void AppSettings::addRecentFile(const QString& path) {
    // Read, change and write back under a lock: two windows adding at once
    // both keep their files.
    QLockFile lock(m_ini->fileName() + QStringLiteral(".recent.lock"));
    lock.tryLock(2000);
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFiles)
        files.removeLast();
    setValue(kRecentKey, files);
}

void AppSettings::removeRecentFile(const QString& path) {
    QLockFile lock(m_ini->fileName() + QStringLiteral(".recent.lock"));
    lock.tryLock(2000);
    QStringList files = recentFiles();
    files.removeAll(path);
    setValue(kRecentKey, files);
}

} // namespace settings
