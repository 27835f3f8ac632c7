#include "win32/piattaforma/Utf16.h"

#include "core/TextEncoding.h"

namespace pulsiero::win {

// Through the core's own UTF-16 code, as the file layer converts its paths.
std::wstring utf16(std::string_view utf8) {
    const std::string byte = text::utf8ToUtf16Le(utf8);
    std::wstring testo(byte.size() / 2, L'\0');
    for (std::size_t i = 0; i < testo.size(); ++i)
        testo[i] = static_cast<wchar_t>(static_cast<unsigned char>(byte[2 * i]) |
                                        static_cast<unsigned char>(byte[2 * i + 1]) << 8);
    return testo;
}

std::string utf8(std::wstring_view utf16) {
    std::string byte;
    byte.reserve(utf16.size() * 2);
    for (const wchar_t c : utf16) {
        byte += static_cast<char>(c & 0xFF);
        byte += static_cast<char>((c >> 8) & 0xFF);
    }
    return text::utf16LeToUtf8(byte).value_or("?");
}

} // namespace pulsiero::win
