#include "trace_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tvk {

namespace {

constexpr int kExponentLimit = 100000; // far past any range, safe from overflow
constexpr int kNanosecondDigits = 9;

template <typename Number> std::string shortest(Number value) {
    char text[64];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end.ptr);
}

// A decimal number as significant digits times a power of ten.
struct Decimal {
    bool negative = false;
    std::string digits; // without leading zeros; empty for zero
    long scale = 0;     // value = digits x 10^scale
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// [+-] digits [. digits] [(e|E) [+-] digits], nothing else.
bool readDecimal(const std::string &text, Decimal &number) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        number.negative = text[i++] == '-';
    }
    bool anyDigit = false;
    bool afterPoint = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (!isDigit(c)) {
            break;
        }
        anyDigit = true;
        if (c != '0' || !number.digits.empty()) {
            number.digits += c;
        }
        // Zeros before the first other digit count only after the point.
        if (afterPoint) {
            --number.scale;
        }
    }
    if (!anyDigit) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i++] == '-';
        }
        if (i == text.size()) {
            return false;
        }
        long exponent = 0;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            exponent = std::min<long>(exponent * 10 + (text[i] - '0'), kExponentLimit);
        }
        number.scale += negativeExponent ? -exponent : exponent;
    }
    return i == text.size();
}

// digits[0, count) as a number, false past limit.
bool leadingValue(const std::string &digits, std::size_t count, std::int64_t limit,
                  std::int64_t &value) {
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int digit = i < digits.size() ? digits[i] - '0' : 0;
        if (value > (limit - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    return true;
}

} // namespace

std::string exactText(float value) {
    return shortest(value);
}

std::string exactText(double value) {
    return shortest(value);
}

ValueError parseSeconds(const std::string &text, std::int64_t &nanoseconds) {
    Decimal number;
    if (!readDecimal(text, number)) {
        return ValueError::NotANumber;
    }
    if (number.digits.empty()) {
        nanoseconds = 0;
        return ValueError::None;
    }
    if (number.negative) {
        return ValueError::Negative;
    }
    // Digits before the nanosecond's point, and the first one after it.
    const long whole = static_cast<long>(number.digits.size()) + number.scale + kNanosecondDigits;
    if (whole > 19) {
        return ValueError::OutOfRange;
    }
    std::int64_t value = 0;
    if (whole > 0 && !leadingValue(number.digits, static_cast<std::size_t>(whole),
                                   kTraceNanosecondsMax, value)) {
        return ValueError::OutOfRange;
    }
    const bool roundUp = whole >= 0 && static_cast<std::size_t>(whole) < number.digits.size() &&
                         number.digits[static_cast<std::size_t>(whole)] >= '5';
    if (roundUp && value == kTraceNanosecondsMax) {
        return ValueError::OutOfRange;
    }
    nanoseconds = value + (roundUp ? 1 : 0);
    return ValueError::None;
}

ValueError parseCoordinate(const std::string &text, float &value) {
    // from_chars takes no plus sign; a number may carry one.
    const bool plus = !text.empty() && text[0] == '+';
    const char *begin = text.data() + (plus ? 1 : 0);
    const char *end = text.data() + text.size();
    if (begin == end || (plus && *begin == '-')) {
        return ValueError::NotANumber;
    }
    float parsed = 0.0F;
    const std::from_chars_result result = std::from_chars(begin, end, parsed);
    if (result.ptr != end || result.ec == std::errc::invalid_argument) {
        return ValueError::NotANumber;
    }
    if (result.ec == std::errc::result_out_of_range) {
        return ValueError::OutOfRange;
    }
    if (!std::isfinite(parsed)) {
        return ValueError::NotANumber;
    }
    value = parsed;
    return ValueError::None;
}

std::string describe(ValueError error, bool seconds) {
    switch (error) {
    case ValueError::None:
        return "is fine";
    case ValueError::NotANumber:
        return "is not a number";
    case ValueError::Negative:
        return "is negative";
    case ValueError::OutOfRange:
        return seconds ? "is out of range (0 to 9223372036.854775807 s)"
                       : "is out of range (a single-precision number)";
    }
    return "";
}

} // namespace tvk
