// The settings record CFGRecord and its file csv.cfg.
//
// csv.cfg is exactly one record of 636 bytes:
//   0   int32  T level              292 int32 x6  analog multiplier bar positions
//   4   int32  A level                             (A1 coarse, A1 fine, A2 ..., A3 fine)
//   8   int32  drive index          316 text 40 x7 channel names T1 T2 C1 C2 A1 A2 A3
//   12  text84 folder               603 byte      padding
//   97  text64 FTP host             604 double    copy-from date (day number)
//   162 text64 FTP user ID          612 24 bytes  reserved
//   227 text64 FTP password (plain)
// Integers and the double are little-endian. A text is a length byte and a fixed
// room of single-byte (Latin-1) characters; the bytes after the length are not
// significant; setting a text zero-fills the rest of its room. The record keeps its 636 bytes as they
// are, so everything the program does not set is written back as it was read.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <array>
#include <cstdint>
#include <sys/types.h>

namespace settings {

inline constexpr int kCfgRecordSize = 636;
inline constexpr char kCfgFileName[] = "csv.cfg";
// The warning box text when csv.cfg cannot be opened or created.
inline constexpr char kCfgAccessError[] = "csv.cfg access error";
// The error text of a csv.cfg shorter than the record.
inline constexpr char kCfgReadBeyondEnd[] = "Read beyond end of file";

// The analog multiplier bars, in the order of the record.
enum class Multiplier { A1Coarse, A1Fine, A2Coarse, A2Fine, A3Coarse, A3Fine };
inline constexpr int kMultiplierCount = 6;
// The channels with a name, in the order of the record (C2 is Counter 2 / SQ).
enum class Channel { T1, T2, C1, C2, A1, A2, A3 };
inline constexpr int kChannelCount = 7;

// Rooms of the text fields, in characters.
inline constexpr int kFolderRoom = 84;
inline constexpr int kAccountRoom = 64;
inline constexpr int kChannelNameRoom = 40;

class CFGRecord {
public:
    using Bytes = std::array<std::uint8_t, kCfgRecordSize>;

    CFGRecord() { m_bytes.fill(0); } // the all-zero record

    // The record from bytes: the first 636 are used; fewer fill the record's
    // start and leave the rest as it was.
    void assignBytes(const QByteArray& bytes);
    static CFGRecord fromBytes(const QByteArray& bytes);
    QByteArray toBytes() const;
    const Bytes& bytes() const { return m_bytes; }

    qint32 tLevel() const { return int32At(0); }
    void setTLevel(qint32 v) { setInt32At(0, v); }
    qint32 aLevel() const { return int32At(4); }
    void setALevel(qint32 v) { setInt32At(4, v); }
    // -1 when no entry of the drive box is selected.
    qint32 driveIndex() const { return int32At(8); }
    void setDriveIndex(qint32 v) { setInt32At(8, v); }

    // Texts longer than their room are cut to it when set.
    QString folder() const { return textAt(12, kFolderRoom); }
    void setFolder(const QString& s) { setTextAt(12, kFolderRoom, s); }
    QString host() const { return textAt(97, kAccountRoom); }
    void setHost(const QString& s) { setTextAt(97, kAccountRoom, s); }
    QString userId() const { return textAt(162, kAccountRoom); }
    void setUserId(const QString& s) { setTextAt(162, kAccountRoom, s); }
    QString password() const { return textAt(227, kAccountRoom); }
    void setPassword(const QString& s) { setTextAt(227, kAccountRoom, s); }

    qint32 multiplier(Multiplier m) const { return int32At(multiplierOffset(m)); }
    void setMultiplier(Multiplier m, qint32 v) { setInt32At(multiplierOffset(m), v); }

    QString channelName(Channel c) const { return textAt(channelOffset(c), kChannelNameRoom); }
    void setChannelName(Channel c, const QString& s) { setTextAt(channelOffset(c), kChannelNameRoom, s); }

    // Day number: whole days since 30 December 1899.
    double copyFromDate() const;
    void setCopyFromDate(double dayNumber);

    friend bool operator==(const CFGRecord& a, const CFGRecord& b) { return a.m_bytes == b.m_bytes; }

private:
    static int multiplierOffset(Multiplier m) { return 292 + 4 * static_cast<int>(m); }
    static int channelOffset(Channel c) { return 316 + 41 * static_cast<int>(c); }
    qint32 int32At(int offset) const;
    void setInt32At(int offset, qint32 v);
    QString textAt(int offset, int room) const;
    void setTextAt(int offset, int room, const QString& s);

    Bytes m_bytes;
};

// Day numbers (days since 30 December 1899, as the date pickers keep them) and dates.
// A day number with a fraction counts its whole day; one that is not finite or
// lies outside the dates a QDate can hold gives an invalid QDate.
QDate DayNumberToDate(double dayNumber);
double DateToDayNumber(const QDate& date);

enum class CfgStatus {
    Ok,
    CannotOpen,   // reading: the file cannot be opened -> warning box kCfgAccessError
    ShortFile,    // reading: fewer than 636 bytes; those present were taken -> error kCfgReadBeyondEnd
    ReadFailed,   // reading: the system reported an error -> errorText
    CannotCreate, // saving: no file can be created there -> warning box kCfgAccessError
    WriteFailed,  // saving: writing or replacing failed (full disk, ...) -> errorText; old file whole
    Refused,      // reading or saving: a link, another user's file, or a folder others can write
                  // -> errorText says which and how to mend it; nothing read or written
};

struct CfgResult {
    CfgStatus status = CfgStatus::Ok;
    QString errorText; // the text to show; empty when Ok
    // Saving: false when the folder's file system could not make the file owner-only
    // (FAT, exFAT); the file was saved all the same.
    bool modeKept = true;
    bool ok() const { return status == CfgStatus::Ok; }
};

// The one settings file of a run, for reading and saving alike: csv.cfg in the
// start folder when it is the user's own and safe there (existing installations
// keep theirs), otherwise csv.cfg in the user's configuration folder (see
// ChooseSettingsPlace for the whole rule).
QString SettingsFilePath(const QString& startFolder, const QString& configFolder);
// Makes the folder of a settings file, readable by its owner only, when it is
// not there yet. False when it cannot be made.
bool PrepareSettingsFolder(const QString& path);

// Reads the first 636 bytes of the file into `record`, opening it for reading
// only and never through a link; a folder others can write is refused. When it
// cannot be opened the record is left as it was; a short file fills the record's
// start. `owner`, when given, receives the owner of the file read.
CfgResult ReadCFGFile(const QString& path, CFGRecord& record, uid_t* owner = nullptr);
// Writes the record as the whole content of the file: into a new file beside it,
// readable and writable by the owner only, then put in place of the old one (a link
// at the name is refused, never written through). On failure the old file is left whole.
CfgResult SaveCFGFile(const QString& path, const CFGRecord& record);

// Why a text cannot go into a field of `room` characters of the record ("" when it
// can): characters outside Latin-1, or more characters than the room.
QString RecordTextProblem(const QString& text, int room);
// A host name as the record keeps it: names outside ASCII in their ASCII (IDNA) form.
// "" when the name has no such form.
QString HostForRecord(const QString& host);
// The host name to show for a stored one (the IDNA form shown in its own letters).
QString HostFromRecord(const QString& stored);

} // namespace settings
