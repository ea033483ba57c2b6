// FTP protocol helpers: command kinds, reply codes, multi-line replies, sizes, the PORT line.
#pragma once

#include <QDateTime>
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

// The code of a reply line: exactly three ASCII digits, the first 1 to 5, followed by the end of the line,
// a space, '-', CR or LF. 0 for anything else ("55", "1234 x", "abc").
// A plain run of 1 to 18 ASCII digits as a number; -1 otherwise.
qint64 DigitsValue(QStringView text);

int ReplyCodeOf(const QString& line);

// A reply line that another line follows: it begins with a space or has '-' as its fourth character.
bool IsContinuationLine(const QString& line);

// Size announced in a reply such as "150 Opening BINARY mode data connection for a.csv (2048 bytes).":
// only an exact "(N bytes)" (any case of "bytes") counts; -1 for any other wording ("150 109.7 kbytes
// to download", "(12 kB)") or a number too large to be a file size.
qint64 SizeFromReply(const QString& line);

// The size of a "213 N" reply to SIZE; -1 when the reply is not exactly that.
qint64 SizeFrom213(const QString& line);

// The time of a "213 YYYYMMDDHHMMSS[.fff]" reply to MDTM, which servers give in UTC; an invalid
// QDateTime when the reply is not exactly that or names no real date and time.
QDateTime ModifiedFrom213(const QString& line);

// Limits that keep what a server sends from growing memory or a wait without bound.
constexpr int kMaxReplyLine = 8192;   // bytes of one reply line
constexpr int kMaxListingLine = 8192; // bytes of one listing line
constexpr int kMaxReplyLines = 1000;  // lines of one multi-line reply

// Collects the lines of one reply. A reply that opens with "ddd-" ends only at a line that begins
// with "ddd " (or is "ddd" alone); lines between may be anything. A first line that begins with a space
// also asks for more. At most kMaxReplyLines lines are taken.
class TReplyAssembler {
public:
    enum State { NeedMore, Complete, TooLong };
    // Adds one line (its line end may be there or not) and tells whether the reply is complete.
    State Add(const QString& line);
    // Code of the reply once complete (0 when the last line has no valid code).
    int Code() const { return m_code; }
    QString LastLine() const { return m_last; }
    int LineCount() const { return m_lines; }

private:
    QString m_open; // the code of a reply opened with "ddd-"
    QString m_last;
    int m_lines = 0;
    int m_code = 0;
};

// The port of a passive-mode reply: "229 Entering Extended Passive Mode (|||6446|)" and
// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)". The address a 227 names is not used: the data
// connection goes to the control connection's peer. 0 when the reply does not name a valid port.
quint16 EpsvPort(const QString& reply);
quint16 PasvPort(const QString& reply);

// "PORT h1,h2,h3,h4,p1,p2" for an IPv4 address (IPv4-mapped IPv6 too) and a port; "EPRT |2|addr|port|"
// for an IPv6 address.
QString PortLine(const QHostAddress& address, quint16 port);

// A listing line without its line end (CR LF or LF). Lines of one or two characters stay as they are.
QString CutLineEnd(const QString& line);

// Kind of a command line given to DoCommand: CWD, MKD, DELE, RMD by their first word (case matters),
// "PWD" alone is PrintDir, anything else DoCommand.
TCmdType CommandKindOf(const QString& line);

// Empty when the text can go into a command line; otherwise why it cannot (CR, LF or NUL in it).
QString CommandArgumentProblem(const QString& text);
