// Reads a logger file as lines of single-byte characters: a line ends at CR, an
// LF directly after that CR belongs to the line end, any other LF is an ordinary
// character, and Ctrl-Z ends the input. Lines have no length limit.
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
    bool open(const QString& path);
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
