#include "settings/IniDocument.h"

#include "settings/TextEncoding.h"

namespace pulsiero::ini {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr char kCtrlZ = '\x1A';

bool isComment(std::string_view trimmed) {
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
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
    std::size_t equals; // position of the first "=" in the line
};

std::optional<KeyLine> keyLine(std::string_view line) {
    const auto trimmed = text::trimBlanks(line);
    if (isComment(trimmed) || sectionName(line))
        return std::nullopt;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    const auto name = text::trimBlanks(line.substr(0, equals));
    if (name.empty())
        return std::nullopt;
    return KeyLine{name, equals};
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Section and key names, and values, arrive from callers as UTF-8; anything else is taken as
// Windows-1252 so that the document never holds invalid UTF-8.
std::string asUtf8(std::string_view text) {
    return text::isValidUtf8(text) ? std::string(text) : text::windows1252ToUtf8(text);
}

// Line breaks inside a value would split it into lines of their own on the next read.
std::string singleLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

} // namespace

IniDocument IniDocument::fromBytes(std::string_view bytes) {
    IniDocument doc;
    if (bytes.substr(0, kBom.size()) == kBom) {
        doc.bom_ = true;
        bytes.remove_prefix(kBom.size());
    }
    const auto payloadEnd = bytes.find_last_not_of(kCtrlZ);
    const std::size_t keep = payloadEnd == std::string_view::npos ? 0 : payloadEnd + 1;
    doc.tail_ = std::string(bytes.substr(keep));
    bytes = bytes.substr(0, keep);

    std::string text;
    if (text::isValidUtf8(bytes)) {
        text = std::string(bytes);
    } else {
        doc.encoding_ = Encoding::Windows1252;
        text = text::windows1252ToUtf8(bytes);
    }

    bool newlineSeen = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto brk = text.find_first_of("\r\n", pos);
        Line line;
        if (brk == std::string::npos) {
            line.text = text.substr(pos);
            pos = text.size();
        } else {
            const bool crlf = text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n';
            line.text = text.substr(pos, brk - pos);
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
    std::string out = bom_ ? std::string(kBom) : std::string();
    out += encoding_ == Encoding::Windows1252 ? text::utf8ToWindows1252(text) : text;
    out += tail_;
    return out;
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
    const auto range = findSection(section);
    if (!range)
        return std::nullopt;
    const auto index = findKey(*range, key);
    if (!index)
        return std::nullopt;
    const std::string_view line = lines_[*index].text;
    const auto raw = line.substr(keyLine(line)->equals + 1);
    return std::string(text::firstChars(unquote(text::trimBlanks(raw)), kMaxValueChars));
}

std::string IniDocument::value(std::string_view section, std::string_view key,
                               std::string_view fallback) const {
    auto found = value(section, key);
    return found ? std::move(*found) : std::string(text::firstChars(fallback, kMaxValueChars));
}

void IniDocument::insertLine(std::size_t at, std::string text) {
    if (at > 0 && lines_[at - 1].end.empty())
        lines_[at - 1].end = newline_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  Line{std::move(text), newline_});
}

bool IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string stored = singleLine(asUtf8(text::trimLeadingBlanks(value)));
    const auto range = findSection(section);
    if (!range) {
        insertLine(lines_.size(), "[" + singleLine(asUtf8(section)) + "]");
        insertLine(lines_.size(), singleLine(asUtf8(key)) + "=" + stored);
        return true;
    }
    if (const auto index = findKey(*range, key)) {
        std::string& line = lines_[*index].text;
        const auto equals = keyLine(line)->equals;
        if (text::trimBlanks(std::string_view(line).substr(equals + 1)) == text::trimBlanks(stored))
            return false;
        line = line.substr(0, equals + 1) + stored;
        return true;
    }
    std::size_t after = range->end;
    while (after > range->header + 1 && text::trimBlanks(lines_[after - 1].text).empty())
        --after;
    insertLine(after, singleLine(asUtf8(key)) + "=" + stored);
    return true;
}

} // namespace pulsiero::ini
