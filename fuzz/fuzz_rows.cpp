// Logger files: the line reader, row splitting and the decoding of channel fields.
#include "logdata/linereader.h"
#include "logdata/rowformat.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    logdata::LineReader reader;
    reader.openBytes(bytes);
    std::string_view line;
    std::size_t total = 0;
    int row = 0;
    while (reader.next(line)) {
        total += line.size();
        if (total > size) std::abort();
        const std::vector<std::string_view> fields = logdata::SplitCSVLine(line, ',');
        std::size_t counted = 0;
        logdata::ForEachCSVField(line, ',', [&](std::string_view f) {
            if (counted >= fields.size() || f != fields[counted]) std::abort();
            ++counted;
        });
        if (counted != fields.size()) std::abort();
        for (std::string_view f : fields) {
            (void)logdata::DecodeTField(f);
            (void)logdata::DecodeAField(f);
        }
        ++row;
        (void)logdata::IsStatusMarked(int(fields.size()), logdata::IsLoggerRow(line), fields.back());
    }
    return 0;
}
