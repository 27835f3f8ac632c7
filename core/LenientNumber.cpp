#include "core/LenientNumber.h"

#include "core/TextEncoding.h"

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

double parseNumeral(std::string_view numeral) {
    const bool negative = numeral.front() == '-';
    if (numeral.front() == '+' || numeral.front() == '-')
        numeral.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(numeral.data(), numeral.data() + numeral.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large gives infinity; too small, zero: both as the platform reads them.
        const bool tiny = numeral.find_first_of("eE") != std::string_view::npos &&
                          numeral[numeral.find_first_of("eE") + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
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
