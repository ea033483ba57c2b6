#include "logdata/linereader.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace logdata {

namespace {
constexpr std::size_t kChunk = 1 << 16;
constexpr char kCR = 13, kLF = 10, kEOF = 26;

// The first CR, LF or (when `eof`) Ctrl-Z in [p, end), or end.
const char* findLineEnd(const char* p, const char* end, bool eof) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8(kCR), lf = _mm_set1_epi8(kLF), z = _mm_set1_epi8(eof ? kEOF : kCR);
    while (end - p >= 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(c, cr), _mm_cmpeq_epi8(c, lf)), _mm_cmpeq_epi8(c, z));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
        if (mask) return p + __builtin_ctz(mask);
        p += 16;
    }
#endif
    for (; p < end; ++p)
        if (*p == kCR || *p == kLF || (eof && *p == kEOF)) return p;
    return end;
}
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
    // Non-blocking, so that opening a FIFO does not wait for a writer; what is
    // not a regular file is refused before anything is read.
    errno = 0;
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_error = FileOpenErrorText(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        m_error = QStringLiteral("Not a regular file");
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_file = ::fdopen(fd, "rb");
    if (!m_file) {
        m_error = FileOpenErrorText(errno);
        ::close(fd);
        return false;
    }
    m_size = static_cast<qint64>(st.st_size);
    m_consumed = 0;
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
    m_size = static_cast<qint64>(bytes.size());
    m_consumed = 0;
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
    m_consumed += static_cast<qint64>(m_buf.size());
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
        // Find the first CR, LF or Ctrl-Z in what is buffered.
        const char* stop = begin + avail;
        const char* end = findLineEnd(begin, stop, m_mayHaveEof);
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
        } else if (*end == kCR) {
            m_skipLf = true; // an LF right after the CR belongs to this line end
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
