#include "logdata/rowformat.h"

#include <initializer_list>

namespace logdata {

namespace {
// Digit k of a field: the character's code minus '0'. Characters are not checked
// for being digits. A position past the end of a short field counts as 0, so a
// truncated reading still yields a point and keeps its place in the series.
inline int digit(std::string_view s, std::size_t k) {
    return k < s.size() ? static_cast<unsigned char>(s[k]) - 48 : 0;
}
// Whether each of the positions holds a digit.
inline bool digitsAt(std::string_view s, std::initializer_list<std::size_t> at) {
    for (std::size_t k : at)
        if (k >= s.size() || s[k] < '0' || s[k] > '9') return false;
    return true;
}
} // namespace

std::vector<std::string_view> SplitCSVLine(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    fields.reserve(24);
    ForEachCSVField(line, separator, [&](std::string_view f) { fields.push_back(f); });
    return fields;
}

Decoded DecodeTField(std::string_view s) {
    Decoded d;
    if (s.size() >= 6 && (s[0] == '+' || s[0] == '-')) {
        // The usual signed reading, every position present.
        const unsigned char* u = reinterpret_cast<const unsigned char*>(s.data());
        const int figure = 100 * (u[1] - 48) + 10 * (u[2] - 48) + (u[3] - 48);
        d.value = (10 * figure + (u[5] - 48)) / 10.0;
        if (s[0] == '-') d.value = -d.value;
        d.figure = figure;
        d.negative = s[0] == '-';
        d.hasValue = digitsAt(s, {1, 2, 3, 5});
    } else if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        const int whole = 1000 * digit(s, 1) + 100 * digit(s, 2) + 10 * digit(s, 3) + digit(s, 5);
        d.value = whole / 10.0;
        if (s[0] == '-') d.value = -d.value;
        d.figure = 100 * digit(s, 1) + 10 * digit(s, 2) + digit(s, 3);
        d.negative = s[0] == '-';
        d.hasValue = false;
    } else if (s.size() == 6) {
        long long v = 0;
        for (std::size_t k = 0; k < 6; ++k)
            v = v * 10 + digit(s, k);
        d.value = static_cast<double>(v);
        d.hasValue = digitsAt(s, {0, 1, 2, 3, 4, 5});
    } else {
        d.value = 10 * digit(s, 0) + digit(s, 1);
        d.hasValue = digitsAt(s, {0, 1});
    }
    return d;
}

Decoded DecodeAField(std::string_view s) {
    Decoded d;
    if (s.size() >= 4) {
        const unsigned char* u = reinterpret_cast<const unsigned char*>(s.data());
        const int figure = 10 * (u[0] - 48) + (u[1] - 48);
        d.figure = figure;
        d.value = figure + 0.1 * (u[3] - 48);
        d.hasValue = digitsAt(s, {0, 1, 3});
        return d;
    }
    const int figure = 10 * digit(s, 0) + digit(s, 1);
    d.figure = figure;
    d.value = figure + 0.1 * digit(s, 3);
    return d;
}

bool IsStatusMarked(int fieldCount, bool isDataRow, std::string_view status) {
    return fieldCount == kLoggerFieldCount && isDataRow && status.size() >= 3 && status[2] == 'T';
}

} // namespace logdata
