#include "core/LenientNumber.h"

#include "core/TextEncoding.h"

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>

namespace pulsiero {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skipDigits(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isDigit(text[pos]))
        ++pos;
    return pos;
}

// Length of the decimal numeral at the start of text; 0 when there is none.
std::size_t numeralLength(std::string_view text) {
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    const std::size_t intStart = pos;
    pos = skipDigits(text, pos);
    std::size_t digits = pos - intStart;
    if (pos < text.size() && text[pos] == '.') {
        const std::size_t fracStart = pos + 1;
        const std::size_t fracEnd = skipDigits(text, fracStart);
        digits += fracEnd - fracStart;
        if (digits > 0)
            pos = fracEnd;
    }
    if (digits == 0)
        return 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t exp = pos + 1;
        if (exp < text.size() && (text[exp] == '+' || text[exp] == '-'))
            ++exp;
        const std::size_t expEnd = skipDigits(text, exp);
        if (expEnd > exp)
            pos = expEnd;
    }
    return pos;
}

// The power of ten just above a numeral's magnitude (1 for 0.5, 3 for 123e0, -1 for 0.05e0), for
// telling a value too small for a double from one too large. Saturates far beyond both limits.
long long decimalMagnitude(std::string_view numeral) {
    constexpr long long kFar = 1'000'000'000;
    const std::size_t e = std::min(numeral.find_first_of("eE"), numeral.size());
    const std::string_view mantissa = numeral.substr(0, e);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return -kFar; // zero
    long long magnitude = first < point ? static_cast<long long>(point - first)
                                        : -static_cast<long long>(first - point - 1);
    if (e < numeral.size()) {
        std::size_t pos = e + 1;
        const bool negative = pos < numeral.size() && numeral[pos] == '-';
        if (pos < numeral.size() && (numeral[pos] == '+' || numeral[pos] == '-'))
            ++pos;
        long long exponent = 0;
        for (; pos < numeral.size() && exponent < kFar; ++pos)
            exponent = exponent * 10 + (numeral[pos] - '0');
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude;
}

double parseNumeral(std::string_view numeral) {
    const bool negative = numeral.front() == '-';
    if (numeral.front() == '+' || numeral.front() == '-')
        numeral.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(numeral.data(), numeral.data() + numeral.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large gives infinity; too small, zero: both as the platform reads them.
        value = decimalMagnitude(numeral) <= 0 ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

} // namespace

double numericValue(std::string_view text) {
    text = text::trimLeadingBlanks(text);
    const std::size_t length = numeralLength(text);
    return length == 0 ? 0.0 : parseNumeral(text.substr(0, length));
}

bool isNumeric(std::string_view text) {
    text = text::trimBlanks(text);
    return !text.empty() && numeralLength(text) == text.size();
}

std::optional<std::int32_t> roundToInt32(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

std::optional<std::int32_t> readInt32(std::string_view text) {
    return roundToInt32(numericValue(text));
}

} // namespace pulsiero
