#include "core/IniDocument.h"

#include "core/TextEncoding.h"

namespace pulsiero::ini {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kBomUtf16Le = "\xFF\xFE";
constexpr char kCtrlZ = '\x1A';

// Only ";" starts a comment: "#k=v" is the key "#k", as the platform's profile functions read it.
bool isComment(std::string_view trimmed) {
    return !trimmed.empty() && trimmed.front() == ';';
}

// The name of a "[name]" line; a "[" line without "]" is an ordinary line. The name ends at the
// last "]" of the line.
std::optional<std::string_view> sectionName(std::string_view line) {
    const auto trimmed = text::trimBlanks(line);
    if (trimmed.empty() || trimmed.front() != '[')
        return std::nullopt;
    const auto close = trimmed.rfind(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return text::trimBlanks(trimmed.substr(1, close - 1));
}

struct KeyLine {
    std::string_view name;
    std::size_t equals; // position of the first "=" in the line; npos for a name alone
};

// Every line of a section but blank lines, comments and headers names a key: "=v" is a key with
// an empty name, and "flag" a key without a value, which reads as missing but is the line a
// write of "flag" replaces.
std::optional<KeyLine> keyLine(std::string_view line) {
    const auto trimmed = text::trimBlanks(line);
    if (trimmed.empty() || isComment(trimmed) || sectionName(line))
        return std::nullopt;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return KeyLine{trimmed, equals};
    return KeyLine{text::trimBlanks(line.substr(0, equals)), equals};
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// What a caller's buffer receives: the text up to the first NUL, at most kMaxValueChars.
std::string asReturned(std::string_view value) {
    return std::string(text::firstChars(value.substr(0, value.find('\0')), kMaxValueChars));
}

// Section and key names, and values, arrive from callers as UTF-8; anything else is taken as
// Windows-1252 so that the document never holds invalid UTF-8.
std::string asUtf8(std::string_view text) {
    return text::isValidUtf8(text) ? std::string(text) : text::windows1252ToUtf8(text);
}

// Names are matched, and written, without the blanks around them.
std::string asName(std::string_view name) {
    return std::string(text::trimBlanks(asUtf8(name)));
}

// Line breaks inside a value would split it into lines of their own on the next read.
std::string singleLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

std::string_view trimTrailingBlanks(std::string_view text) {
    const auto last = text.find_last_not_of(" \t");
    return text.substr(0, last == std::string_view::npos ? 0 : last + 1);
}

} // namespace

std::string IniDocument::decode(std::string_view bytes) {
    if (bytes.substr(0, kBomUtf16Le.size()) == kBomUtf16Le) {
        // Notepad's "Unicode"; bytes that are not valid UTF-16 are read as 8-bit text below.
        if (auto text = text::utf16LeToUtf8(bytes.substr(kBomUtf16Le.size()))) {
            encoding_ = Encoding::Utf16Le;
            bom_ = true;
            return std::move(*text);
        }
    }
    if (bytes.substr(0, kBom.size()) == kBom) {
        bom_ = true;
        bytes.remove_prefix(kBom.size());
    }
    if (text::isValidUtf8(bytes))
        return std::string(bytes);
    encoding_ = Encoding::Windows1252;
    return text::windows1252ToUtf8(bytes);
}

std::string IniDocument::encode(std::string_view text) const {
    switch (encoding_) {
    case Encoding::Utf16Le:
        return std::string(kBomUtf16Le) + text::utf8ToUtf16Le(text);
    case Encoding::Windows1252:
        return (bom_ ? std::string(kBom) : std::string()) + text::utf8ToWindows1252(text);
    case Encoding::Utf8:
        break;
    }
    return (bom_ ? std::string(kBom) : std::string()) + std::string(text);
}

IniDocument IniDocument::fromBytes(std::string_view bytes) {
    IniDocument doc;
    const std::string decoded = doc.decode(bytes);
    std::string_view text = decoded;
    const auto payloadEnd = text.find_last_not_of(kCtrlZ);
    const std::size_t keep = payloadEnd == std::string_view::npos ? 0 : payloadEnd + 1;
    doc.tail_ = std::string(text.substr(keep));
    text = text.substr(0, keep);

    bool newlineSeen = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto brk = text.find_first_of("\r\n", pos);
        Line line;
        if (brk == std::string_view::npos) {
            line.text = std::string(text.substr(pos));
            pos = text.size();
        } else {
            const bool crlf = text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n';
            line.text = std::string(text.substr(pos, brk - pos));
            line.end = crlf ? "\r\n" : std::string(1, text[brk]);
            pos = brk + line.end.size();
            if (!newlineSeen) {
                doc.newline_ = line.end;
                newlineSeen = true;
            }
        }
        doc.lines_.push_back(std::move(line));
    }
    return doc;
}

std::string IniDocument::toBytes() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line.text;
        text += line.end;
    }
    text += tail_;
    return encode(text);
}

std::optional<IniDocument::SectionRange> IniDocument::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = sectionName(lines_[i].text);
        if (!name || !text::equalsIgnoringCase(*name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !sectionName(lines_[end].text))
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::repeatedSection() const {
    std::vector<std::string_view> seen;
    for (const Line& line : lines_) {
        const auto name = sectionName(line.text);
        if (!name)
            continue;
        for (const std::string_view earlier : seen)
            if (text::equalsIgnoringCase(earlier, *name))
                return std::string(earlier);
        seen.push_back(*name);
    }
    return std::nullopt;
}

std::optional<std::size_t> IniDocument::findKey(const SectionRange& range,
                                                std::string_view key) const {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        const auto found = keyLine(lines_[i].text);
        if (found && text::equalsIgnoringCase(found->name, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::value(std::string_view section,
                                              std::string_view key) const {
    const auto range = findSection(asName(section));
    if (!range)
        return std::nullopt;
    const auto index = findKey(*range, asName(key));
    if (!index)
        return std::nullopt;
    const std::string_view line = lines_[*index].text;
    const auto equals = keyLine(line)->equals;
    if (equals == std::string_view::npos)
        return std::nullopt; // the first line of that name has no value: the key reads as missing
    return asReturned(unquote(text::trimBlanks(line.substr(equals + 1))));
}

std::string IniDocument::value(std::string_view section, std::string_view key,
                               std::string_view fallback) const {
    auto found = value(section, key);
    if (found)
        return std::move(*found);
    // The fallback is given back as a stored value would be.
    return asReturned(unquote(trimTrailingBlanks(asUtf8(fallback))));
}

void IniDocument::insertLine(std::size_t at, std::string text) {
    if (at > 0 && lines_[at - 1].end.empty())
        lines_[at - 1].end = newline_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  Line{std::move(text), newline_});
}

bool IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string stored = singleLine(asUtf8(text::trimLeadingBlanks(value)));
    const std::string sectionText = singleLine(asName(section));
    const std::string keyText = singleLine(asName(key));
    const auto range = findSection(sectionText);
    if (!range) {
        insertLine(lines_.size(), "[" + sectionText + "]");
        insertLine(lines_.size(), keyText + "=" + stored);
        return true;
    }
    if (const auto index = findKey(*range, keyText)) {
        std::string& line = lines_[*index].text;
        const auto equals = keyLine(line)->equals;
        if (equals == std::string::npos) {
            line = std::string(trimTrailingBlanks(line)) + "=" + stored;
            return true;
        }
        if (text::trimBlanks(std::string_view(line).substr(equals + 1)) == text::trimBlanks(stored))
            return false;
        line = line.substr(0, equals + 1) + stored;
        return true;
    }
    std::size_t after = range->end;
    while (after > range->header + 1 && text::trimBlanks(lines_[after - 1].text).empty())
        --after;
    insertLine(after, keyText + "=" + stored);
    return true;
}

} // namespace pulsiero::ini
