// FTP protocol helpers: command kinds, reply codes, multi-line replies, sizes, the PORT line.
#pragma once

#include <QHostAddress>
#include <QString>

#include <cstdint>

// Kind of command an engine event is about. Values are positions: callers index tables by them.
enum class TCmdType : std::uint8_t {
    ChangeDir = 0,
    MakeDir = 1,
    Delete = 2,
    RemoveDir = 3,
    List = 4,
    Rename = 5,
    UploadRestore = 6,
    DownloadRestore = 7,
    Download = 8,
    Upload = 9,
    UploadAppend = 10,
    ReInit = 11,
    Allocate = 12,
    NList = 13,
    DoCommand = 14,
    PrintDir = 15,
};

// Leading decimal digits of a reply (within its first 10 characters); 0 when there are none or the
// number does not fit 16 bits signed.
int ReplyCodeOf(const QString& line);

// A reply line that another line follows: it begins with a space or has '-' as its fourth character.
bool IsContinuationLine(const QString& line);

// Size announced in a reply such as "150 Opening BINARY mode data connection for a.csv (2048 bytes).":
// the run of digits nearest before "BYTE" (any case); 0 when there is none.
qint64 SizeFromReply(const QString& line);

// "PORT h1,h2,h3,h4,p1,p2" for an IPv4 address and a port.
QString PortLine(const QHostAddress& address, quint16 port);

// A listing line without its line end (CR LF or LF). Lines of one or two characters stay as they are.
QString CutLineEnd(const QString& line);

// Kind of a command line given to DoCommand: CWD, MKD, DELE, RMD by their first word (case matters),
// "PWD" alone is PrintDir, anything else DoCommand.
TCmdType CommandKindOf(const QString& line);

// Empty when the text can go into a command line; otherwise why it cannot (CR, LF or NUL in it).
QString CommandArgumentProblem(const QString& text);
