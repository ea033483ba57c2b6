#include "settings/cfgrecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace settings {

namespace {
constexpr int kDateOffset = 604;
const QDate kDayZero(1899, 12, 30);
} // namespace

void CFGRecord::assignBytes(const QByteArray& bytes) {
    const auto n = std::min<qsizetype>(bytes.size(), kCfgRecordSize);
    if (n > 0) std::memcpy(m_bytes.data(), bytes.constData(), static_cast<std::size_t>(n));
}

CFGRecord CFGRecord::fromBytes(const QByteArray& bytes) {
    CFGRecord r;
    r.assignBytes(bytes);
    return r;
}

QByteArray CFGRecord::toBytes() const {
    return QByteArray(reinterpret_cast<const char*>(m_bytes.data()), kCfgRecordSize);
}

qint32 CFGRecord::int32At(int offset) const {
    return qFromLittleEndian<qint32>(m_bytes.data() + offset);
}

void CFGRecord::setInt32At(int offset, qint32 v) {
    qToLittleEndian<qint32>(v, m_bytes.data() + offset);
}

QString CFGRecord::textAt(int offset, int room) const {
    // A length byte larger than the room is taken as the whole room.
    const int len = std::min<int>(m_bytes[static_cast<std::size_t>(offset)], room);
    return QString::fromLatin1(reinterpret_cast<const char*>(m_bytes.data()) + offset + 1, len);
}

void CFGRecord::setTextAt(int offset, int room, const QString& s) {
    // Characters outside Latin-1 become '?'. The rest of the room is zero-filled,
    // so a longer text set before (an old password) leaves nothing behind.
    const QByteArray text = s.left(room).toLatin1();
    const auto len = static_cast<std::size_t>(std::min<qsizetype>(text.size(), room));
    m_bytes[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(len);
    if (len > 0) std::memcpy(m_bytes.data() + offset + 1, text.constData(), len);
    std::memset(m_bytes.data() + offset + 1 + len, 0, static_cast<std::size_t>(room) - len);
}

double CFGRecord::copyFromDate() const {
    const quint64 bits = qFromLittleEndian<quint64>(m_bytes.data() + kDateOffset);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

void CFGRecord::setCopyFromDate(double dayNumber) {
    quint64 bits;
    std::memcpy(&bits, &dayNumber, sizeof bits);
    qToLittleEndian<quint64>(bits, m_bytes.data() + kDateOffset);
}

QDate DayNumberToDate(double dayNumber) {
    // QDate holds Julian days of about +-1e11; stay well inside.
    if (!std::isfinite(dayNumber) || std::fabs(dayNumber) > 1e10) return {};
    return kDayZero.addDays(static_cast<qint64>(std::trunc(dayNumber)));
}

double DateToDayNumber(const QDate& date) {
    return date.isValid() ? static_cast<double>(kDayZero.daysTo(date)) : 0.0;
}

QString SettingsFilePath(const QString& startFolder, const QString& configFolder) {
    const QString inStart = QDir(startFolder).absoluteFilePath(QString::fromLatin1(kCfgFileName));
    if (QFileInfo(inStart).isFile()) return inStart;
    return QDir(configFolder).absoluteFilePath(QString::fromLatin1(kCfgFileName));
}

bool PrepareSettingsFolder(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(folder).isDir()) return true;
    if (!QDir().mkpath(folder)) return false;
    // The folder holds the FTP password: the owner's alone.
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
}

CfgResult ReadCFGFile(const QString& path, CFGRecord& record) {
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        return {CfgStatus::CannotOpen, QString::fromLatin1(kCfgAccessError)};
    QByteArray bytes;
    bytes.reserve(kCfgRecordSize);
    char buf[kCfgRecordSize];
    while (bytes.size() < kCfgRecordSize) {
        const qint64 got = file.read(buf, kCfgRecordSize - bytes.size());
        if (got < 0) {
            record.assignBytes(bytes);
            return {CfgStatus::ReadFailed, file.errorString()};
        }
        if (got == 0) break;
        bytes.append(buf, static_cast<qsizetype>(got));
    }
    record.assignBytes(bytes);
    if (bytes.size() < kCfgRecordSize) return {CfgStatus::ShortFile, QString::fromLatin1(kCfgReadBeyondEnd)};
    return {};
}

CfgResult SaveCFGFile(const QString& path, const CFGRecord& record) {
    if (QFileInfo(path).isDir()) return {CfgStatus::CannotCreate, QString::fromLatin1(kCfgAccessError)};
    QSaveFile file(path);
    // Unbuffered, so a write the system takes only in part (a full disk) is seen
    // here; a buffered QSaveFile can lose that error and commit a short file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {CfgStatus::CannotCreate, QString::fromLatin1(kCfgAccessError)};
    // The record holds the FTP password in plain text.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        const QString why = file.errorString();
        file.cancelWriting();
        return {CfgStatus::WriteFailed, why};
    }
    const QByteArray bytes = record.toBytes();
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) break;
        done += n;
    }
    if (done != bytes.size()) {
        QString why = file.errorString();
        if (file.error() == QFileDevice::NoError || why.isEmpty()) why = QStringLiteral("Disk full");
        file.cancelWriting();
        return {CfgStatus::WriteFailed, why};
    }
    if (!file.commit()) return {CfgStatus::WriteFailed, file.errorString()};
    return {};
}

} // namespace settings
