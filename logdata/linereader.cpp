#include "logdata/linereader.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace logdata {

namespace {
constexpr std::size_t kChunk = 1 << 16;
constexpr char kCR = 13, kLF = 10, kEOF = 26;
} // namespace

QString FileOpenErrorText(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("File not found");
    case EACCES:
    case EPERM:
    case EISDIR:
        return QStringLiteral("File access denied");
    case ENAMETOOLONG:
        return QStringLiteral("Invalid filename");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Too many open files");
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

LineReader::~LineReader() {
    close();
}

bool LineReader::open(const QString& path) {
    close();
    m_error.clear();
    if (QFileInfo(path).isDir()) {
        m_error = QStringLiteral("File access denied");
        return false;
    }
    const QByteArray native = QFile::encodeName(path);
    errno = 0;
    m_file = std::fopen(native.constData(), "rb");
    if (!m_file) {
        m_error = FileOpenErrorText(errno);
        return false;
    }
    m_buf.clear();
    m_pos = 0;
    m_eof = false;
    m_skipLf = false;
    m_memory = false;
    return true;
}

void LineReader::openBytes(std::string_view bytes) {
    close();
    m_error.clear();
    m_mem = bytes;
    m_memory = true;
    m_mayHaveEof = std::memchr(bytes.data(), kEOF, bytes.size()) != nullptr;
    m_pos = 0;
    m_eof = false;
    m_skipLf = false;
}

void LineReader::close() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
    m_memory = false;
    m_mem = {};
}

bool LineReader::fill() {
    if (m_memory || !m_file) return false;
    m_buf.resize(kChunk);
    const std::size_t n = std::fread(m_buf.data(), 1, kChunk, m_file);
    m_buf.resize(n);
    m_pos = 0;
    m_mayHaveEof = std::memchr(m_buf.data(), kEOF, n) != nullptr;
    if (n == 0) {
        if (std::ferror(m_file)) {
            const int err = errno;
            m_error = err == EISDIR
                          ? QStringLiteral("File access denied")
                          : QStringLiteral("Read error: ") + QString::fromLocal8Bit(std::strerror(err));
        }
        return false;
    }
    return true;
}

bool LineReader::next(std::string_view& line) {
    if (m_eof) return false;
    m_line.clear();
    bool spanning = false;
    for (;;) {
        std::string_view data = m_memory ? m_mem : std::string_view(m_buf);
        if (m_pos >= data.size()) {
            if (m_memory || !fill()) {
                m_eof = true;
                // The last line needs no terminator; an empty rest is no line.
                if (spanning && !m_line.empty()) {
                    line = m_line;
                    return true;
                }
                return false;
            }
            data = std::string_view(m_buf);
        }
        if (m_skipLf) {
            m_skipLf = false;
            if (data[m_pos] == kLF) {
                ++m_pos;
                continue;
            }
        }
        const char* begin = data.data() + m_pos;
        const std::size_t avail = data.size() - m_pos;
        // Find the first CR or Ctrl-Z in what is buffered (memchr is vectorised).
        const char* stop = begin + avail;
        const char* cr = static_cast<const char*>(std::memchr(begin, kCR, avail));
        const char* end = cr ? cr : stop;
        if (m_mayHaveEof) {
            const char* z =
                static_cast<const char*>(std::memchr(begin, kEOF, static_cast<std::size_t>(end - begin)));
            if (z) end = z;
        }
        const std::size_t len = static_cast<std::size_t>(end - begin);
        if (end == stop) {
            m_line.append(begin, len);
            spanning = true;
            m_pos = data.size();
            continue;
        }
        m_pos += len + 1;
        if (*end == kEOF) {
            m_eof = true;
            if (!spanning && len == 0) return false;
        } else {
            m_skipLf = true;
        }
        if (spanning) {
            m_line.append(begin, len);
            line = m_line;
        } else {
            line = std::string_view(begin, len);
        }
        return true;
    }
}

} // namespace logdata
