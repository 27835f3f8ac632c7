#include "core/TextEncoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace pulsiero::text {

namespace {

// Code points of bytes 0x80 to 0x9F; the rest of Windows-1252 equals Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

void appendUtf16Le(std::string& out, char32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>((unit >> 8) & 0xFF);
}

int sequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 0;
}

// Decodes one sequence of a text already known to be valid UTF-8.
char32_t decodeAt(std::string_view utf8, std::size_t pos, int length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[pos + i]); };
    if (length == 1)
        return byte(0);
    char32_t cp = byte(0) & (0x7F >> length);
    for (int i = 1; i < length; ++i)
        cp = (cp << 6) | (byte(i) & 0x3F);
    return cp;
}

char encode1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    return '?';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The second byte of a two-byte UTF-8 sequence led by 0xC3, made lower case.
char lowerLatin1Second(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x80 && b <= 0x9E && b != 0x97) ? static_cast<char>(b + 0x20) : c;
}

} // namespace

bool isValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = sequenceLength(lead);
        if (length == 0 || i + length > bytes.size())
            return false;
        for (int k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        const char32_t cp = decodeAt(bytes, i, length);
        const bool overlong = (length == 2 && cp < 0x80) || (length == 3 && cp < 0x800) ||
                              (length == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        appendUtf8(out, (b >= 0x80 && b < 0xA0) ? kHighControls[b - 0x80] : char32_t{b});
    }
    return out;
}

std::string utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const int length = sequenceLength(static_cast<unsigned char>(utf8[i]));
        if (length == 0 || !isValidUtf8(utf8.substr(i, length))) {
            out += '?';
            ++i;
            continue;
        }
        out += encode1252(decodeAt(utf8, i, length));
        i += length;
    }
    return out;
}

std::optional<std::string> utf16LeToUtf8(std::string_view bytes) {
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(bytes.size());
    const auto unitAt = [&](std::size_t i) -> char32_t {
        return static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
    };
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const char32_t unit = unitAt(i);
        if (!isSurrogate(unit)) {
            appendUtf8(out, unit);
            continue;
        }
        // Only a high surrogate followed by a low one makes a character.
        if (unit > 0xDBFF || i + 3 >= bytes.size())
            return std::nullopt;
        const char32_t low = unitAt(i + 2);
        if (low < 0xDC00 || low > 0xDFFF)
            return std::nullopt;
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
    }
    return out;
}

std::string utf8ToUtf16Le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    for (std::size_t i = 0; i < utf8.size();) {
        const int length = sequenceLength(static_cast<unsigned char>(utf8[i]));
        if (length == 0 || !isValidUtf8(utf8.substr(i, length))) {
            appendUtf16Le(out, '?');
            ++i;
            continue;
        }
        const char32_t cp = decodeAt(utf8, i, length);
        if (cp < 0x10000) {
            appendUtf16Le(out, cp);
        } else {
            appendUtf16Le(out, 0xD800 + ((cp - 0x10000) >> 10));
            appendUtf16Le(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
        i += length;
    }
    return out;
}

std::string_view firstChars(std::string_view utf8, std::size_t maxChars) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < maxChars && pos < utf8.size(); ++n)
        pos += std::max(1, sequenceLength(static_cast<unsigned char>(utf8[pos])));
    return utf8.substr(0, std::min(pos, utf8.size()));
}

std::string_view trimLeadingBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view trimBlanks(std::string_view text) {
    text = trimLeadingBlanks(text);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        // The accented capitals of Windows-1252's letters, U+00C0 to U+00DE (but the
        // multiplication sign), are "\xC3\x80" to "\xC3\x9E" and their small letters 0x20 above.
        if (a[i] == '\xC3' && b[i] == '\xC3' && i + 1 < a.size()) {
            if (lowerLatin1Second(a[i + 1]) != lowerLatin1Second(b[i + 1]))
                return false;
            ++i;
            continue;
        }
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

std::wstring utf8ToWide(std::string_view utf8) {
    const std::string byte = utf8ToUtf16Le(utf8);
    std::wstring testo(byte.size() / 2, L'\0');
    for (std::size_t i = 0; i < testo.size(); ++i)
        testo[i] = static_cast<wchar_t>(static_cast<unsigned char>(byte[2 * i]) |
                                        static_cast<unsigned char>(byte[2 * i + 1]) << 8);
    return testo;
}

std::string wideToUtf8(std::wstring_view wide) {
    std::string byte;
    byte.reserve(wide.size() * 2);
    for (const wchar_t c : wide) {
        byte.push_back(static_cast<char>(c & 0xFF));
        byte.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return utf16LeToUtf8(byte).value_or("?");
}

} // namespace pulsiero::text
