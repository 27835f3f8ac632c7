#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pulsiero::ini {

// The longest value a read returns, in characters: the platform's profile functions read into a
// 255-character buffer that keeps a terminating zero.
inline constexpr std::size_t kMaxValueChars = 254;

enum class Encoding { Utf8, Windows1252, Utf16Le };

// An INI file held as its own lines, so that a write changes one line and keeps every other byte
// (comments, unknown keys, order, line ends, encoding) as the file had it. The file may be UTF-8,
// Windows-1252, or UTF-16 LE with its byte-order mark (Notepad's "Unicode"), and is written back
// in the same encoding.
class IniDocument {
public:
    static IniDocument fromBytes(std::string_view bytes);
    std::string toBytes() const;

    // The value as the profile functions return it: trimmed, one pair of enclosing quotes
    // removed, cut at a NUL and to kMaxValueChars characters; nullopt when the section or key is
    // missing. Section and key names are matched without their surrounding blanks and without
    // regard to case; names in Windows-1252 are taken as such.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // As above, or the fallback treated as a stored value would be (trailing blanks and one pair
    // of enclosing quotes removed).
    std::string value(std::string_view section, std::string_view key,
                      std::string_view fallback) const;

    // Stores value (leading blanks dropped) under the first matching section and key, creating
    // them as needed; a line holding the key's name alone, without "=", takes the value. Returns
    // false when the value stored already was that one: nothing changed.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);

    // The first section whose name (compared as above) heads two parts of the file, as written
    // the first time; nullopt when every name is used once. Reads see only the first part.
    std::optional<std::string> repeatedSection() const;

    Encoding encoding() const { return encoding_; }

private:
    struct Line {
        std::string text;
        std::string end; // "\n", "\r\n", "\r" or empty for a last line without one
    };
    struct SectionRange {
        std::size_t header;
        std::size_t end; // one past the section's last line
    };

    std::optional<SectionRange> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(const SectionRange& range, std::string_view key) const;
    std::string decode(std::string_view bytes);
    std::string encode(std::string_view text) const;
    void insertLine(std::size_t at, std::string text);

    std::vector<Line> lines_;
    std::string newline_ = "\n";
    std::string tail_; // trailing Ctrl-Z characters of files from old editors
    Encoding encoding_ = Encoding::Utf8;
    bool bom_ = false;
};

} // namespace pulsiero::ini
