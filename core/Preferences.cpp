#include "core/Preferences.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

namespace tolv {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    return value < base ? value : -1;
}

// &H and &O numbers: like the classic literals, a value that fits 16 bits is a
// 16-bit integer and one that fits 32 bits a 32-bit integer, so &HFFFF and
// &HFFFFFFFF both read as -1. Longer values keep their full size.
double RadixNumber(std::string_view digits, int base) {
    uint64_t exact = 0;
    double approximate = 0;
    bool fits = true;
    size_t count = 0;
    for (char c : digits) {
        int digit = DigitValue(c, base);
        if (digit < 0)
            break;
        ++count;
        if (exact > (std::numeric_limits<uint64_t>::max() - digit) / base)
            fits = false;
        exact = exact * base + digit;
        approximate = approximate * base + digit;
    }
    if (count == 0)
        return 0;
    if (fits && exact <= 0xFFFF)
        return static_cast<int16_t>(static_cast<uint16_t>(exact));
    if (fits && exact <= 0xFFFFFFFF)
        return static_cast<int32_t>(static_cast<uint32_t>(exact));
    return fits ? static_cast<double>(exact) : approximate;
}

double DecimalNumber(std::string_view s) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::string number;
    // Decimal position of the leading digit, to tell an overflow from an underflow.
    long long magnitude = 0;
    bool seenNonZero = false, anyDigit = false;
    for (; i < s.size() && IsDigit(s[i]); ++i) {
        number += s[i];
        anyDigit = true;
        seenNonZero = seenNonZero || s[i] != '0';
        if (seenNonZero)
            ++magnitude;
    }
    if (i < s.size() && s[i] == '.') {
        number += '.';
        for (++i; i < s.size() && IsDigit(s[i]); ++i) {
            number += s[i];
            anyDigit = true;
            if (!seenNonZero && s[i] == '0')
                --magnitude;
            seenNonZero = seenNonZero || s[i] != '0';
        }
    }
    if (!anyDigit)
        return 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        size_t j = i + 1;
        bool negativeExponent = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            negativeExponent = s[j] == '-';
            ++j;
        }
        if (j < s.size() && IsDigit(s[j])) {
            long long exponent = 0;
            for (; j < s.size() && IsDigit(s[j]); ++j)
                exponent = exponent < 100000000 ? exponent * 10 + (s[j] - '0') : exponent;
            if (negativeExponent)
                exponent = -exponent;
            number += 'e' + std::to_string(exponent);
            magnitude += exponent;
        }
    }
    double value = 0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range)
        value = seenNonZero && magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    else if (error != std::errc{})
        value = 0;
    return negative ? -value : value;
}

} // namespace

double Val(std::wstring_view text) {
    // Blanks go wherever they are ("1 2" reads as 12); anything that is not
    // ASCII ends the number.
    std::string s;
    for (wchar_t c : text) {
        const auto code = static_cast<std::make_unsigned_t<wchar_t>>(c);
        if (code == L' ' || code == L'\t' || code == L'\n')
            continue;
        if (code >= 0x80)
            break;
        s += static_cast<char>(code);
    }
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return RadixNumber(std::string_view(s).substr(2), 16);
        if (s[1] == 'O' || s[1] == 'o')
            return RadixNumber(std::string_view(s).substr(2), 8);
    }
    return DecimalNumber(s);
}

bool SettingIsOn(std::wstring_view valueText) {
    return Val(valueText) != 0;
}

} // namespace tolv
