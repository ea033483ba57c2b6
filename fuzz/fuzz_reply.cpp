// Reply reading: the socket layer's line buffer (fed in chunks, bounded line length, no rescans) and the
// assembling of (multi-line) replies with their codes.
#include "ftp/ftpproto.h"
#include "ftp/powersock_p.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>
namespace {
// Both live until the process ends (libFuzzer exits without unwinding the harness).
QCoreApplication* app = nullptr;
PowersockCore* core = nullptr;

void checkLine(const QString& line) {
    const int code = ReplyCodeOf(line);
    if (code != 0 && (code < 100 || code > 599)) std::abort();
    if (code != 0 && !(line[0].isDigit() && line[1].isDigit() && line[2].isDigit())) std::abort();
    (void)IsContinuationLine(line);
    (void)CommandKindOf(line);
    (void)CutLineEnd(line);
    (void)CommandArgumentProblem(line);
    (void)EpsvPort(line);
    (void)PasvPort(line);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    app = new QCoreApplication(*argc, *argv);
    core = new PowersockCore();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // First byte: chunk size and line limit; the rest arrives in chunks, as from a socket.
    const std::size_t chunk = 1 + data[0] % 61;
    core->dropInput();
    core->maxLine = 16 + data[0];
    TReplyAssembler reply;
    std::size_t fed = 1;
    std::size_t linesSeen = 0;
    while (fed < size || core->available() > 0) {
        if (fed < size) {
            const std::size_t n = std::min(chunk, size - fed);
            core->in.append(reinterpret_cast<const char*>(data + fed), qsizetype(n));
            fed += n;
        }
        for (;;) {
            const qsizetype end = core->lineEnd();
            if (end < 0) {
                if (core->available() > core->maxLine) core->take(core->available()); // too long: dropped
                break;
            }
            const QByteArray raw = core->take(end);
            if (raw.isEmpty() || raw.back() != '\n' || raw.indexOf('\n') != raw.size() - 1) std::abort();
            const QString line = QString::fromUtf8(raw);
            checkLine(line);
            ++linesSeen;
            const TReplyAssembler::State s = reply.Add(line);
            if (s == TReplyAssembler::Complete && reply.Code() != ReplyCodeOf(reply.LastLine())) std::abort();
            if (s != TReplyAssembler::NeedMore) reply = TReplyAssembler();
        }
        if (fed >= size && core->lineEnd() < 0) {
            checkLine(QString::fromUtf8(core->take(core->available()))); // the rest of a closed connection
            break;
        }
    }
    return 0;
}
