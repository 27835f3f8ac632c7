#include "win32/piattaforma/Utf16.h"

#include "core/TextEncoding.h"

namespace pulsiero::win {

// Through the core's conversion, the one the file layer uses for its paths.
std::wstring utf16(std::string_view utf8) {
    return text::utf8ToWide(utf8);
}

std::string utf8(std::wstring_view utf16) {
    return text::wideToUtf8(utf16);
}

} // namespace pulsiero::win
