#pragma once

// A deliberately plain reading of the settings file format, written apart
// from the product's INI layer so the fuzzers can hold one against the
// other: the file is split into lines, a line whose trimmed text begins with
// "[" is a header (the first line read past a UTF-8 byte order mark), the
// section runs to the next header, an entry is a line
// with "=", names and values are trimmed of blanks (space, tab, CR), names
// compare without regard to letter case, first match wins.

#include <QChar>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ref {

inline bool blank(char c) {
    return c == ' ' || c == '\t';
}

inline std::string_view trim(std::string_view s) {
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

struct Line {
    std::string_view raw;        // without its line end
    std::string_view text;       // raw up to its first NUL
    std::string_view terminator; // "\n", "\r\n", "\r" or nothing (last line)
    std::string_view whole() const { return {raw.data(), raw.size() + terminator.size()}; }
};

inline std::vector<Line> lines(std::string_view content) {
    std::vector<Line> out;
    while (!content.empty()) {
        const size_t end = content.find_first_of("\r\n");
        const std::string_view raw = content.substr(0, end);
        const std::string_view text = raw.substr(0, raw.find('\0'));
        if (end == std::string_view::npos) {
            out.push_back({raw, text, content.substr(content.size())});
            break;
        }
        const size_t endLength =
            (content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n') ? 2 : 1;
        out.push_back({raw, text, content.substr(end, endLength)});
        content.remove_prefix(end + endLength);
    }
    return out;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
inline std::optional<std::u32string> decodeUtf8(std::string_view s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t least = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07, least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + size_t(extra) >= s.size() && extra > 0)
            return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return std::nullopt;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        out.push_back(cp);
        i += size_t(extra) + 1;
    }
    return out;
}

inline char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Equal ignoring letter case: ASCII letters byte by byte; beyond ASCII only
// between well-formed texts, by case folding each character. Bytes that are
// not text compare only as themselves.
inline bool sameName(std::string_view a, std::string_view b) {
    if (a.size() == b.size()) {
        bool equal = true;
        for (size_t i = 0; i < a.size() && equal; ++i)
            equal = asciiLower(a[i]) == asciiLower(b[i]);
        if (equal)
            return true;
    }
    const auto ascii = [](std::string_view s) {
        for (const char c : s)
            if (static_cast<unsigned char>(c) >= 0x80)
                return false;
        return true;
    };
    if (ascii(a) && ascii(b))
        return false;
    const auto da = decodeUtf8(a);
    const auto db = decodeUtf8(b);
    if (!da || !db || da->size() != db->size())
        return false;
    for (size_t i = 0; i < da->size(); ++i) {
        if (QChar::toCaseFolded(char32_t((*da)[i])) != QChar::toCaseFolded(char32_t((*db)[i])))
            return false;
    }
    return true;
}

// The "]" is looked for in the whole line, past a NUL too, but a NUL ends
// the name: "[B", NUL, "x]" names section B.
inline std::optional<std::string_view> headerName(std::string_view text, std::string_view raw) {
    const std::string_view t = trim(text);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    const size_t open = size_t(t.data() - raw.data());
    const size_t close = raw.rfind(']');
    if (close == std::string_view::npos || close <= open)
        return std::nullopt;
    const size_t nameEnd = std::min(close, text.size());
    return trim(raw.substr(open + 1, nameEnd - open - 1));
}

// A line as a header is looked for in it: the first loses a leading UTF-8
// byte order mark, which is no text of the file.
inline std::optional<std::string_view> headerNameOfLine(const std::vector<Line>& ls, size_t i) {
    std::string_view text = ls[i].text;
    std::string_view raw = ls[i].raw;
    if (i == 0 && text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
        raw.remove_prefix(3);
    }
    return headerName(text, raw);
}

// Where section/key stands in a file split into lines.
struct Place {
    std::optional<size_t> header; // the first header of the section
    size_t bodyEnd = 0;           // the next header's index, or the line count
    std::optional<size_t> entry;  // the first entry of the key in that section
};

inline Place locate(const std::vector<Line>& ls, std::string_view section, std::string_view key) {
    Place place;
    section = trim(section);
    key = trim(key);
    size_t i = 0;
    for (; i < ls.size(); ++i) {
        const auto name = headerNameOfLine(ls, i);
        if (name && sameName(*name, section)) {
            place.header = i;
            break;
        }
    }
    if (!place.header)
        return place;
    for (++i; i < ls.size(); ++i) {
        if (headerNameOfLine(ls, i))
            break;
        const std::string_view text = ls[i].text;
        const size_t eq = text.find('=');
        if (!place.entry && eq != std::string_view::npos && sameName(trim(text.substr(0, eq)), key))
            place.entry = i;
    }
    place.bodyEnd = i;
    return place;
}

inline std::optional<std::string> lookup(std::string_view content, std::string_view section,
                                         std::string_view key) {
    const auto ls = lines(content);
    const Place place = locate(ls, section, key);
    if (!place.entry)
        return std::nullopt;
    const std::string_view text = ls[*place.entry].text;
    return std::string(trim(text.substr(text.find('=') + 1)));
}

inline bool breaksLine(std::string_view s) {
    return s.find('\n') != s.npos || s.find('\r') != s.npos || s.find('\0') != s.npos;
}

// Whether the format can hold the entry: it must read back as written and
// plant nothing else in the file.
inline bool storable(std::string_view section, std::string_view key, std::string_view value) {
    if (trim(section).empty() || section.find(']') != section.npos || breaksLine(section))
        return false;
    if (trim(key).empty() || trim(key).front() == '[' || key.find('=') != key.npos || breaksLine(key))
        return false;
    return !breaksLine(value);
}

} // namespace ref
