#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pulsiero {

// Numbers in the settings file and in the dialog's boxes are read leniently, the way the original
// platform read them: leading blanks are skipped and the longest leading decimal numeral counts
// (sign, digits, a decimal point, an exponent), so "12abc" is 12 and a text without one is 0.
double numericValue(std::string_view text);

// True when the text, apart from surrounding blanks, is wholly one decimal numeral.
bool isNumeric(std::string_view text);

// Rounds to the nearest integer, halves to the even neighbour; nullopt outside 32 bits.
std::optional<std::int32_t> roundToInt32(double value);

// numericValue then roundToInt32: "2.5" is 2, "3.5" is 4.
std::optional<std::int32_t> readInt32(std::string_view text);

} // namespace pulsiero
