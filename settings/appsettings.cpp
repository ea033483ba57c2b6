#include "settings/appsettings.h"

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
    QStringList files = m_ini->value(kRecentKey).toStringList();
    files.removeAll(QString());
    while (files.size() > kRecentFiles)
        files.removeLast();
    return files;
}

void AppSettings::addRecentFile(const QString& path) {
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFiles)
        files.removeLast();
    setValue(kRecentKey, files);
}

void AppSettings::removeRecentFile(const QString& path) {
    QStringList files = recentFiles();
    files.removeAll(path);
    setValue(kRecentKey, files);
}

} // namespace settings
