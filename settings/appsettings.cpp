#include "settings/appsettings.h"

#include "settings/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QSettings>
#include <QTemporaryDir>

namespace settings {

namespace {
const QString kRecentKey = QStringLiteral("RecentFiles/Files");
}

AppSettings::AppSettings(const QString& path) : m_path(QDir::cleanPath(QDir().absoluteFilePath(path))) {}

AppSettings::~AppSettings() = default;

QString AppSettings::path() const {
    return m_path;
}

namespace {
// QSettings reads and writes files only: its text goes through a scratch file in a private
// folder of this process, in memory where the system has /dev/shm (QSettings flushes its lock
// file to disk at every write, which would cost each change of a setting a disk's round trip).
QString ScratchFile() {
    static QMutex lock;
    const QMutexLocker locked(&lock);
    static QTemporaryDir dir(
        (QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
        QStringLiteral("/tervane640-XXXXXX"));
    static int n = 0;
    return dir.isValid() ? dir.filePath(QStringLiteral("%1.ini").arg(++n)) : QString();
}

struct Scratch {
    QString file = ScratchFile();
    ~Scratch() {
        if (file.isEmpty()) return;
        QFile::remove(file);
        QFile::remove(file + QStringLiteral(".lock"));
    }
};
} // namespace

QVariantMap AppSettings::Parse(const QByteArray& text, bool* unreadable) {
    if (unreadable) *unreadable = false;
    if (text.isEmpty()) return {};
    const Scratch scratch;
    QFile f(scratch.file);
    if (scratch.file.isEmpty() || !f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) return {};
    f.close();
    QSettings s(scratch.file, QSettings::IniFormat);
    QVariantMap values;
    for (const QString& key : s.allKeys())
        if (!key.endsWith(QLatin1Char('/'))) values.insert(key, s.value(key));
    if (unreadable) *unreadable = s.status() != QSettings::NoError || values.size() != s.allKeys().size();
    return values;
}

QByteArray AppSettings::Format(const QVariantMap& values) {
    const Scratch scratch;
    if (scratch.file.isEmpty()) return {};
    {
        QSettings s(scratch.file, QSettings::IniFormat);
        // A scratch file: the flush to disk is the real file's, in WriteSettingsFile.
        s.setAtomicSyncRequired(false);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            s.setValue(it.key(), it.value());
        s.sync();
    }
    QFile f(scratch.file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool AppSettings::load(QVariantMap& values) const {
    const FileFacts f = ReadSettingsFile(m_path, kMaxFileBytes);
    values.clear();
    switch (f.verdict) {
    case FileVerdict::Missing:
        m_problem.clear();
        return true;
    case FileVerdict::Ok:
        break;
    default:
        m_problem = f.problem;
        return false;
    }
    if (!f.ownedByUser()) {
        m_problem = QStringLiteral("%1 belongs to another user and is not used")
                        .arg(QDir::toNativeSeparators(m_path));
        return false;
    }
    if (f.truncated) {
        m_problem =
            QStringLiteral("%1 is larger than a settings file can be").arg(QDir::toNativeSeparators(m_path));
        return false;
    }
    m_problem.clear();
    if (f.bytes != m_lastText || m_lastText.isNull()) {
        bool unreadable = false;
        m_lastValues = Parse(f.bytes, &unreadable);
        m_lastText = f.bytes;
        if (m_lastText.isNull()) m_lastText = QByteArray("");
        if (unreadable)
            m_problem =
                QStringLiteral("%1 holds lines that are not settings; they are dropped at the next save")
                    .arg(QDir::toNativeSeparators(m_path));
    }
    values = m_lastValues;
    return true;
}

bool AppSettings::write(const QVariantMap& values) {
    // The user's configuration folder is made at the first write, owner-only.
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QFileInfo::exists(folder)) PrepareConfigFolder(folder);
    const WriteOutcome w = WriteSettingsFile(m_path, Format(values));
    m_modeKept = w.modeKept;
    if (!w.ok()) {
        m_problem =
            w.errorText.isEmpty() ? QStringLiteral("%1 could not be written").arg(m_path) : w.errorText;
        return false;
    }
    m_problem.clear();
    return true;
}

QVariant AppSettings::value(const QString& key, const QVariant& fallback) const {
    QVariantMap values;
    if (!load(values)) return fallback;
    return values.value(key, fallback);
}

bool AppSettings::setValue(const QString& key, const QVariant& value) {
    return setValues({{key, value}});
}

bool AppSettings::setValues(const std::vector<std::pair<QString, QVariant>>& changes) {
    QVariantMap values;
    if (!load(values)) return false;
    for (const auto& [key, value] : changes)
        values.insert(key, value);
    return write(values);
}

bool AppSettings::remove(const QString& key) {
    QVariantMap values;
    if (!load(values)) return false;
    // A group goes with every key in it, as in QSettings.
    const QString group = key + QLatin1Char('/');
    for (auto it = values.begin(); it != values.end();)
        if (it.key() == key || it.key().startsWith(group))
            it = values.erase(it);
        else
            ++it;
    return write(values);
}

QStringList AppSettings::recentFiles() const {
    QStringList files = value(kRecentKey).toStringList();
    files.removeAll(QString());
    while (files.size() > kRecentFiles)
        files.removeLast();
    return files;
}

void AppSettings::addRecentFile(const QString& path) {
    // Read, change and write back under a lock: two windows adding at once
    // both keep their files.
    QLockFile lock(m_path + QStringLiteral(".recent.lock"));
    lock.tryLock(2000);
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFiles)
        files.removeLast();
    setValue(kRecentKey, files);
}

void AppSettings::removeRecentFile(const QString& path) {
    QLockFile lock(m_path + QStringLiteral(".recent.lock"));
    lock.tryLock(2000);
    QStringList files = recentFiles();
    files.removeAll(path);
    setValue(kRecentKey, files);
}

} // namespace settings
