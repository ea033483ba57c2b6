// Reads a logger file as lines of single-byte characters: a line ends at CR,
// at CR LF (one line end) or at a lone LF, as files from Unix servers carry
// them; Ctrl-Z ends the input. Lines have no length limit.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <string>
#include <string_view>

namespace logdata {

class LineReader {
public:
    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens the file for reading. On failure returns false and errorString() tells why.
    // Only regular files are opened: a FIFO, socket, device or folder is refused
    // without waiting on it.
    bool open(const QString& path);
    // Size of the opened file in bytes (0 for in-memory input).
    qint64 size() const { return m_size; }
    // Bytes consumed so far (for progress).
    qint64 position() const { return m_consumed + static_cast<qint64>(m_pos); }
    // Reads from memory instead of a file (the bytes must outlive the reader).
    void openBytes(std::string_view bytes);
    void close();

    // Gives the next line (without its terminator). False at the end of the input.
    // The view stays valid until the next call. A read error ends the input and
    // sets errorString().
    bool next(std::string_view& line);

    QString errorString() const { return m_error; }
    bool failed() const { return !m_error.isEmpty(); }

private:
    bool fill();

    std::FILE* m_file = nullptr;
    qint64 m_size = 0;
    qint64 m_consumed = 0;  // bytes of the chunks before the current one
    std::string m_buf;      // chunk read from the file
    std::size_t m_pos = 0;  // next unread byte in m_buf / m_mem
    std::string_view m_mem; // in-memory input
    bool m_memory = false;
    bool m_eof = false;       // Ctrl-Z seen or the input is exhausted
    bool m_skipLf = false;    // the previous line ended at a CR; skip one LF
    bool m_mayHaveEof = true; // the buffered bytes hold a Ctrl-Z somewhere
    std::string m_line;       // a line that spans several chunks
    QString m_error;
};

// The system's text for a file that cannot be opened ("File not found", ...).
QString FileOpenErrorText(int err);

} // namespace logdata
