#include "settings/cfgrecord.h"
#include "settings/safefile.h"
#include "settings/settingsplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
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
    return QDir(ChooseSettingsPlace(startFolder, configFolder).folder)
        .absoluteFilePath(QString::fromLatin1(kCfgFileName));
}

bool PrepareSettingsFolder(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(folder).isDir()) return true;
    // The folder holds the FTP password: the owner's alone.
    return PrepareConfigFolder(folder);
}

CfgResult ReadCFGFile(const QString& path, CFGRecord& record, uid_t* owner) {
    const FileFacts f = ReadSettingsFile(path, kCfgRecordSize);
    if (owner) *owner = f.owner;
    switch (f.verdict) {
    case FileVerdict::Ok:
        break;
    case FileVerdict::Missing:
    case FileVerdict::NotRegular:
        return {CfgStatus::CannotOpen, QString::fromLatin1(kCfgAccessError)};
    case FileVerdict::Unreadable:
        return {f.bytes.isEmpty() ? CfgStatus::CannotOpen : CfgStatus::ReadFailed,
                f.bytes.isEmpty() ? QString::fromLatin1(kCfgAccessError) : f.problem};
    case FileVerdict::Link:
    case FileVerdict::Unsafe:
        return {CfgStatus::Refused, f.problem};
    }
    record.assignBytes(f.bytes);
    if (f.bytes.size() < kCfgRecordSize)
        return {CfgStatus::ShortFile, QString::fromLatin1(kCfgReadBeyondEnd)};
    return {};
}

CfgResult SaveCFGFile(const QString& path, const CFGRecord& record) {
    const WriteOutcome w = WriteSettingsFile(path, record.toBytes());
    CfgResult r;
    r.modeKept = w.modeKept;
    switch (w.status) {
    case WriteOutcome::Ok:
        break;
    case WriteOutcome::CannotCreate:
        r.status = CfgStatus::CannotCreate;
        r.errorText = QString::fromLatin1(kCfgAccessError);
        break;
    case WriteOutcome::WriteFailed:
        r.status = CfgStatus::WriteFailed;
        r.errorText = w.errorText;
        break;
    case WriteOutcome::Refused:
        r.status = CfgStatus::Refused;
        r.errorText = w.errorText;
        break;
    }
    return r;
}

QString RecordTextProblem(const QString& text, int room) {
    for (const QChar c : text)
        if (c.unicode() > 0xff)
            return QStringLiteral("\"%1\" cannot be kept in csv.cfg, which holds Western European (Latin-1) "
                                  "letters only")
                .arg(c);
    if (text.size() > room)
        return QStringLiteral("csv.cfg has room for %1 characters here, not %2").arg(room).arg(text.size());
    return {};
}

QString HostForRecord(const QString& host) {
    bool ascii = true;
    for (const QChar c : host)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii) return host;
    return QString::fromLatin1(QUrl::toAce(host.trimmed(), QUrl::IgnoreIDNWhitelist));
}

QString HostFromRecord(const QString& stored) {
    if (!stored.contains(QLatin1String("xn--"), Qt::CaseInsensitive)) return stored;
    const QString shown = QUrl::fromAce(stored.toLatin1(), QUrl::IgnoreIDNWhitelist);
    return shown.isEmpty() ? stored : shown;
}

} // namespace settings
