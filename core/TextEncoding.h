#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pulsiero::text {

bool isValidUtf8(std::string_view bytes);

// Windows-1252 as the original platform wrote it; the five bytes it leaves unassigned map to the
// C1 controls of the same number, so that every file round-trips byte for byte.
std::string windows1252ToUtf8(std::string_view bytes);
// Characters that Windows-1252 cannot hold become '?'.
std::string utf8ToWindows1252(std::string_view utf8);

// UTF-16 little-endian, as Notepad saves "Unicode" files (without the byte-order mark). nullopt
// for an odd number of bytes or an unpaired surrogate: such bytes are not that encoding.
std::optional<std::string> utf16LeToUtf8(std::string_view bytes);
std::string utf8ToUtf16Le(std::string_view utf8);

// The same as UTF-16 code units, one per wchar_t: what the system calls of Windows take (its
// wchar_t is 16 bits). The only crossing between the core's UTF-8 and the OS's UTF-16; a text
// that is not UTF-16 (an unpaired surrogate) reads as "?".
std::wstring utf8ToWide(std::string_view utf8);
std::string wideToUtf8(std::wstring_view wide);

// The first maxChars characters (code points) of a valid UTF-8 text.
std::string_view firstChars(std::string_view utf8, std::size_t maxChars);

// Blanks and tabs, the only white space the settings file ignores around names and values.
std::string_view trimBlanks(std::string_view text);
std::string_view trimLeadingBlanks(std::string_view text);

// ASCII letters and the accented letters of Windows-1252 (À to Þ), of valid UTF-8 texts.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace pulsiero::text
