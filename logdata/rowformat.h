// The logger's row format: how a line is cut into fields and how the channel
// fields decode into readings and alarm figures. Pure functions, no state.
#pragma once

#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <optional>
#include <string_view>
#include <vector>

namespace logdata {

// A line is a logger row only when it is longer than this.
inline constexpr std::size_t kMinRowLength = 65;
// Only data rows 1..kMaxDecodedRow of a file are decoded and charted.
inline constexpr int kMaxDecodedRow = 16382;
// The column header the table shows in its first row (supplied by the program).
inline constexpr std::string_view kColumnHeader =
    "Date,Time,T1,T2,C1,SQ,A1,A2,A3,A4,D7,D6,D5,D4,D3,D2,D1,O5,O4,O3,O2,O1,Status";
// Number of fields of a well-formed logger row.
inline constexpr int kLoggerFieldCount = 23;

inline bool IsLoggerRow(std::string_view line) {
    return line.size() > kMinRowLength;
}

// Splits a line at every separator; no quoting, no trimming. "a,,b" gives three
// fields, "a,b," gives three fields with an empty last one, no separator one field.
std::vector<std::string_view> SplitCSVLine(std::string_view line, char separator);

// Calls fn(field) for each field, in order, without allocating.
template <class Fn> void ForEachCSVField(std::string_view line, char separator, Fn&& fn) {
    const char* const base = line.data();
    const std::size_t n = line.size();
    std::size_t start = 0, i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time: a bit mask of the separators, visited bit by bit.
    const __m128i sep = _mm_set1_epi8(separator);
    for (; i + 16 <= n; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, sep)));
        while (mask) {
            const std::size_t pos = i + static_cast<std::size_t>(__builtin_ctz(mask));
            fn(std::string_view(base + start, pos - start));
            start = pos + 1;
            mask &= mask - 1;
        }
    }
#endif
    for (; i < n; ++i) {
        if (base[i] == separator) {
            fn(std::string_view(base + start, i - start));
            start = i + 1;
        }
    }
    fn(std::string_view(base + start, n - start));
}

struct Decoded {
    double value = 0.0;
    std::optional<int> figure; // the level figure, without sign
    bool negative = false;     // the reading carries a minus sign
    // Every position the form reads holds a digit: the reading carries a value
    // (not a header's "T1", an empty or cut field).
    bool hasValue = false;
};

// The one rule of "over the level", for the alarm, the level lines, every page
// and the statistics: a reading is over when its value, with its sign, is
// greater than the level, which is what the level line shows. So +025.3 is
// over a level of 25, -020.0 is not over -18 and -010.0 is.
inline bool IsOverLevel(double value, double level) {
    return value > level;
}
// A decoded field: only readings whose form carries a level figure and a value
// (the signed temperatures, the analog readings) can be over; a counter's
// six-digit or two-digit form and a field that holds no digits never are.
inline bool IsOverLevel(const Decoded& d, double level) {
    return d.figure && d.hasValue && IsOverLevel(d.value, level);
}

// T-group fields (T1, T2, C1, SQ): signed "+025.3", six-digit "000123" or two-digit "23".
Decoded DecodeTField(std::string_view text);
// A-group fields (A1..A4): "12.5" - two digits, a skipped character, the tenths digit.
Decoded DecodeAField(std::string_view text);
// A row is marked when it has exactly 23 fields, is a data row, and the third
// character of its Status field (the last one) is 'T'.
bool IsStatusMarked(int fieldCount, bool isDataRow, std::string_view status);

} // namespace logdata
