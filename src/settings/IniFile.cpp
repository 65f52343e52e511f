#include "settings/IniFile.h"

#include "settings/AtomicWrite.h"
#include "settings/ShownError.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <span>
#include <string_view>

namespace {

// A CR is no blank: it ends a line.
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

struct Span {
    qsizetype begin = 0;
    qsizetype end = 0; // exclusive
};

Span trimmed(const char* data, Span s) {
    while (s.begin < s.end && isBlank(data[s.begin]))
        ++s.begin;
    while (s.end > s.begin && isBlank(data[s.end - 1]))
        --s.end;
    return s;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Case-insensitive equality of a span of the file and a name. Bytes are
// compared with ASCII letters folded; names beyond ASCII then go through
// QString so that accented names compare as the user sees them.
bool sameName(const char* data, Span s, const QByteArray& name) {
    const qsizetype len = s.end - s.begin;
    const char* text = data + s.begin;
    if (len == name.size()) {
        qsizetype i = 0;
        while (i < len && asciiLower(text[i]) == asciiLower(name[i]))
            ++i;
        if (i == len)
            return true;
    }
    const auto high = [](char c) { return (c & 0x80) != 0; };
    if (std::none_of(text, text + len, high) && std::none_of(name.begin(), name.end(), high))
        return false;
    // Bytes that are no text in the local encoding compare only as
    // themselves (above): decoded, they would all become the same
    // replacement character, and one key would stand for another.
    // A byte order mark is a character of the name here, not a marker to drop.
    const auto flags = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;
    QStringDecoder fromFile(QStringConverter::System, flags);
    QStringDecoder fromName(QStringConverter::System, flags);
    const QString a = fromFile(QByteArrayView(text, len));
    const QString b = fromName(name);
    if (fromFile.hasError() || fromName.hasError())
        return false;
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// One line of the file, read as the profile functions read it: a line ends
// at CR LF, LF or a lone CR, and its text ends at its first NUL byte (what
// follows the NUL up to the line end is no text of the file).
struct Line {
    Span text;
    qsizetype rawEnd = 0; // where the line end begins (or the file ends)
    qsizetype next = 0;
    bool terminated = false;
};

Line lineAt(const QByteArray& content, qsizetype pos) {
    const char* data = content.constData();
    const qsizetype size = content.size();
    Line line;
    qsizetype nul = -1;
    qsizetype at = pos;
    for (; at < size; ++at) {
        const char c = data[at];
        if (c == '\n' || c == '\r')
            break;
        if (c == '\0' && nul < 0)
            nul = at;
    }
    line.rawEnd = at;
    line.text = {pos, nul < 0 ? at : nul};
    if (at == size) {
        line.next = size;
        return line;
    }
    line.terminated = true;
    line.next = (data[at] == '\r' && at + 1 < size && data[at + 1] == '\n') ? at + 2 : at + 1;
    return line;
}

bool isLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// The name of a section header line, or nothing when the line is no
// header: its text starts with "[" and the line holds a "]"; the name runs to
// the last "]". The profile functions look for that "]" in the whole line but
// compare the name as a C string, so a NUL before it ends the name: "[B", NUL,
// "x]" names section B.
std::optional<Span> headerName(const char* data, const Line& line) {
    const Span t = trimmed(data, line.text);
    if (t.begin == t.end || data[t.begin] != '[')
        return std::nullopt;
    const qsizetype close =
        qsizetype(std::string_view(data + t.begin + 1, size_t(line.rawEnd - t.begin - 1)).rfind(']'));
    if (close < 0)
        return std::nullopt;
    const qsizetype nameEnd = std::min(t.begin + 1 + close, line.text.end);
    return trimmed(data, {t.begin + 1, nameEnd});
}

struct SectionRange {
    qsizetype headerStart = -1; // start of the header line
    qsizetype bodyStart = 0;    // first line after the header
    qsizetype end = 0;          // start of the next header line, or the end of the file
};

// The UTF-8 byte order mark some editors put at the start of a file.
constexpr char Utf8Bom[] = "\xEF\xBB\xBF";
constexpr qsizetype Utf8BomSize = 3;

bool startsWithBom(const QByteArray& content) {
    return content.startsWith(QByteArrayView(Utf8Bom, Utf8BomSize));
}

// Where the line of the "[" at pos starts when that "[" is the line's first
// non-blank character (a header), or -1. A byte order mark before the first
// line is no text of it: the file's first section stays found.
qsizetype headerLineStart(const QByteArray& content, qsizetype pos) {
    const char* data = content.constData();
    while (pos > 0 && isBlank(data[pos - 1]))
        --pos;
    if (pos == 0 || isLineEnd(data[pos - 1]))
        return pos;
    return pos == Utf8BomSize && startsWithBom(content) ? pos : -1;
}

// Whether the header name that starts after its "[" at pos plainly differs
// from name: both first characters ASCII and unequal ignoring case. Any
// other case is left to the full comparison.
bool cannotBe(const char* data, qsizetype pos, qsizetype size, const QByteArray& name) {
    if (name.isEmpty())
        return false;
    while (pos < size && isBlank(data[pos]))
        ++pos;
    const char a = pos < size ? data[pos] : '\n';
    const char b = name[0];
    return !(a & 0x80) && !(b & 0x80) && asciiLower(a) != asciiLower(b);
}

// Calls f(start, line, name) for the header lines of content in order while
// it returns true. Headers are found by their "[" alone rather than line by
// line: a file full of other programs' sections is passed at the speed of
// memchr. skip(at) passes over the "[" at at without reading its line.
template <class Skip, class F> void forEachHeader(const QByteArray& content, Skip skip, F f) {
    const char* data = content.constData();
    const qsizetype size = content.size();
    for (qsizetype pos = 0; pos < size;) {
        const void* bracket = std::memchr(data + pos, '[', size_t(size - pos));
        if (!bracket)
            return;
        const qsizetype at = static_cast<const char*>(bracket) - data;
        const qsizetype start = headerLineStart(content, at);
        if (start < 0 || skip(at)) {
            pos = at + 1;
            continue;
        }
        const Line line = lineAt(content, start);
        pos = line.next; // no second header on one line
        if (const auto name = headerName(data, line); name && !f(start, line, *name))
            return;
    }
}

// The first section of each name (bare, as bareName gives it), found in one
// pass: ranges[i] is that of names[i], or nothing.
void findSections(const QByteArray& content, std::span<const QByteArray> names,
                  std::span<std::optional<SectionRange>> ranges) {
    const char* data = content.constData();
    const qsizetype size = content.size();
    size_t missing = names.size();
    std::optional<SectionRange>* open = nullptr; // found, its end not yet
    const auto plainlyNone = [&](qsizetype at) {
        for (size_t i = 0; i < names.size(); ++i) {
            if (!ranges[i] && !cannotBe(data, at + 1, size, names[i]))
                return false;
        }
        return true;
    };
    forEachHeader(
        content, [&](qsizetype at) { return !open && plainlyNone(at); },
        [&](qsizetype start, const Line& line, Span name) {
            if (open) {
                (*open)->end = start;
                open = nullptr;
            }
            for (size_t i = 0; i < names.size(); ++i) {
                if (!ranges[i] && sameName(data, name, names[i])) {
                    ranges[i] = SectionRange{start, line.next, size};
                    open = &ranges[i];
                    --missing;
                    break;
                }
            }
            return missing > 0 || open;
        });
}

std::optional<SectionRange> findSection(const QByteArray& content, const QByteArray& section) {
    std::optional<SectionRange> range;
    findSections(content, std::span(&section, 1), std::span(&range, 1));
    return range;
}

struct Entry {
    qsizetype lineStart = 0;
    Line line;
    Span value;
};

// Calls f(key, value) for the entries of the section, in file order, until
// it returns true: that entry is returned.
template <class F>
std::optional<Entry> forEachEntry(const QByteArray& content, const SectionRange& range, F f) {
    const char* data = content.constData();
    for (qsizetype pos = range.bodyStart; pos < range.end;) {
        const Line line = lineAt(content, pos);
        const void* eq = std::memchr(data + line.text.begin, '=', size_t(line.text.end - line.text.begin));
        if (eq) {
            const qsizetype at = static_cast<const char*>(eq) - data;
            const Span value = trimmed(data, {at + 1, line.text.end});
            if (f(trimmed(data, {line.text.begin, at}), value))
                return Entry{pos, line, value};
        }
        pos = line.next;
    }
    return std::nullopt;
}

// A name the caller gives, trimmed as names in the file are: trimming it
// otherwise would write a key (one ending in a form feed, say) that no
// later read or write finds again.
QByteArray bareName(const QByteArray& name) {
    const Span s = trimmed(name.constData(), {0, name.size()});
    return name.mid(s.begin, s.end - s.begin);
}

// The fixed text of every refusal to save, the reason on the next line.
[[noreturn]] void refuse(const QString& path, const QString& why) {
    throw ShownError(QStringLiteral("Unable to write to %1.\r\n%2").arg(path, why));
}

bool holdsLineBreakOrNull(const QByteArray& text) {
    return text.contains('\n') || text.contains('\r') || text.contains('\0');
}

// A save is planned against one scan of the file and the new file made in
// one more pass: applying the writes one by one would copy or move the
// file's tail once per entry. The result is the same as storing the writes
// one after the other: an entry's line is found (or its section's end, or
// the file's end) once, and its writes then follow each other in memory.

// One entry a save writes, and where it stands.
struct PlannedEntry {
    QByteArray name; // the key as first written, trimmed
    std::vector<const ini::Write*> writes;
    std::optional<Entry> found; // its line in the file
    QByteArray text;            // the line's new text; null while the line stays
};

// One section a save writes to, and where it stands.
struct PlannedSection {
    QByteArray name;   // as first written, trimmed
    QByteArray header; // as first written, for a new header line
    std::vector<PlannedEntry> entries;
};

template <class T> T& findOrAdd(std::vector<T>& planned, const QByteArray& name) {
    const auto it = std::find_if(planned.begin(), planned.end(), [&](const T& p) {
        return sameName(p.name.constData(), {0, p.name.size()}, name);
    });
    if (it != planned.end())
        return *it;
    planned.emplace_back().name = name;
    return planned.back();
}

// Finds the lines of the section's entries in one pass over its body;
// returns the line after which new entries go: its last non-blank line.
Line locateEntries(const QByteArray& content, const SectionRange& range, std::vector<PlannedEntry>& entries) {
    const char* data = content.constData();
    Line last = lineAt(content, range.headerStart);
    size_t missing = entries.size();
    for (qsizetype pos = range.bodyStart; pos < range.end && missing > 0;) {
        const Line line = lineAt(content, pos);
        const Span t = trimmed(data, line.text);
        if (t.begin != t.end)
            last = line;
        if (const void* eq = std::memchr(data + t.begin, '=', size_t(t.end - t.begin))) {
            const qsizetype at = static_cast<const char*>(eq) - data;
            const Span key = trimmed(data, {t.begin, at});
            for (PlannedEntry& e : entries) {
                if (!e.found && sameName(data, key, e.name)) {
                    e.found = Entry{pos, line, trimmed(data, {at + 1, line.text.end})};
                    --missing;
                    break;
                }
            }
        }
        pos = line.next;
    }
    return last;
}

// The entry's writes in their order: each replaces the line, unless the
// entry already reads as the value it asks for.
void settle(const QByteArray& content, PlannedEntry& e) {
    std::optional<QByteArrayView> held;
    if (e.found) {
        const Span v = e.found->value;
        held = QByteArrayView(content.constData() + v.begin, v.end - v.begin);
    }
    for (const ini::Write* w : e.writes) {
        if (held && w->unlessReads && ini::decodedValue(held->data(), held->size()) == *w->unlessReads)
            continue;
        e.text = w->key + '=' + w->value;
        const Span v = trimmed(w->value.constData(), {0, w->value.size()});
        held = QByteArrayView(w->value.constData() + v.begin, v.end - v.begin);
    }
}

struct Edit {
    qsizetype begin, end; // the bytes of the content it replaces
    QByteArray text;
};

// Applies edits (in file order, apart) to content where it lies: the bytes
// between them move once, those moving towards the start first, front to
// back, then those moving towards the end, back to front, so none is
// overwritten before it moved. A big file is then neither copied nor held
// twice in memory.
void applyInPlace(QByteArray& content, const std::vector<Edit>& edits, qsizetype reserve) {
    const qsizetype oldSize = content.size();
    // How far the stretch of unchanged bytes before edit i moves (i ==
    // edits.size(): the last stretch, its shift the growth of the whole).
    std::vector<qsizetype> shift(edits.size() + 1, 0);
    for (size_t i = 0; i < edits.size(); ++i)
        shift[i + 1] = shift[i] + edits[i].text.size() - (edits[i].end - edits[i].begin);
    const qsizetype grows = shift.back();
    const auto stretch = [&](size_t i) {
        const qsizetype from = i == 0 ? 0 : edits[i - 1].end;
        return Span{from, i == edits.size() ? oldSize : edits[i].begin};
    };
    content.reserve(oldSize + std::max<qsizetype>(grows, 0) + reserve);
    if (grows > 0)
        content.resize(oldSize + grows);
    char* data = content.data();
    for (size_t i = 0; i <= edits.size(); ++i) {
        const Span s = stretch(i);
        if (shift[i] < 0)
            std::memmove(data + s.begin + shift[i], data + s.begin, size_t(s.end - s.begin));
    }
    for (size_t i = edits.size() + 1; i-- > 0;) {
        const Span s = stretch(i);
        if (shift[i] > 0)
            std::memmove(data + s.begin + shift[i], data + s.begin, size_t(s.end - s.begin));
    }
    for (size_t i = 0; i < edits.size(); ++i)
        std::memcpy(data + edits[i].begin + shift[i], edits[i].text.constData(),
                    size_t(edits[i].text.size()));
    if (grows < 0)
        content.truncate(oldSize + grows);
}

} // namespace

namespace ini {

std::optional<QByteArray> lookup(const QByteArray& content, const QByteArray& section,
                                 const QByteArray& key) {
    const auto range = findSection(content, bareName(section));
    if (!range)
        return std::nullopt;
    const QByteArray name = bareName(key);
    const auto entry =
        forEachEntry(content, *range, [&](Span k, Span) { return sameName(content.constData(), k, name); });
    if (!entry)
        return std::nullopt;
    return content.mid(entry->value.begin, entry->value.end - entry->value.begin);
}

void checkStorable(const QByteArray& section, const QByteArray& key, const QByteArray& value,
                   const QString& pathForErrors) {
    // What the format cannot hold is refused rather than written in a form
    // that would read back as something else.
    const QByteArray bareKey = bareName(key);
    if (bareName(section).isEmpty() || section.contains(']') || holdsLineBreakOrNull(section))
        refuse(pathForErrors, QStringLiteral("O nome de seção \"%1\" não pode ser gravado no arquivo: está "
                                             "vazio ou tem \"]\", quebra de linha ou caractere nulo.")
                                  .arg(QString::fromLocal8Bit(section)));
    if (bareKey.isEmpty() || bareKey.startsWith('[') || key.contains('=') || holdsLineBreakOrNull(key))
        refuse(pathForErrors, QStringLiteral("A chave \"%1\" não pode ser gravada no arquivo: está vazia, "
                                             "começa com \"[\" ou tem \"=\", quebra de linha ou caractere "
                                             "nulo.")
                                  .arg(QString::fromLocal8Bit(key)));
    if (holdsLineBreakOrNull(value))
        refuse(pathForErrors, QStringLiteral("O valor de %1 tem uma quebra de linha ou um caractere nulo, "
                                             "que o arquivo não consegue guardar.")
                                  .arg(QString::fromLocal8Bit(bareKey)));
}

QByteArray store(QByteArray content, std::span<const Write> writes, const QString& pathForErrors,
                 bool* changed) {
    for (const Write& w : writes)
        checkStorable(w.section, w.key, w.value, pathForErrors);
    std::vector<PlannedSection> sections;
    for (const ini::Write& w : writes) {
        PlannedSection& s = findOrAdd(sections, bareName(w.section));
        if (s.header.isNull())
            s.header = w.section;
        findOrAdd(s.entries, bareName(w.key)).writes.push_back(&w);
    }
    std::vector<QByteArray> names;
    for (const PlannedSection& s : sections)
        names.push_back(s.name);
    std::vector<std::optional<SectionRange>> ranges(sections.size());
    findSections(content, names, ranges);

    std::vector<Edit> edits;
    QByteArray newSections;
    for (size_t i = 0; i < sections.size(); ++i) {
        std::vector<PlannedEntry>& entries = sections[i].entries;
        const Line last = ranges[i] ? locateEntries(content, *ranges[i], entries) : Line{};
        QByteArray added; // the lines of new entries
        for (PlannedEntry& e : entries) {
            settle(content, e);
            if (!e.found)
                added += e.text + "\r\n";
            else if (!e.text.isNull())
                edits.push_back({e.found->line.text.begin, e.found->line.rawEnd, e.text});
        }
        if (!ranges[i]) {
            newSections += '[' + sections[i].header + "]\r\n" + added;
        } else if (!added.isEmpty()) {
            // After the section's last non-blank line, so a blank line that
            // separates it from the next section stays where it is. An
            // unended last line gets its line end.
            const QByteArray lineEnd = last.terminated ? QByteArray() : QByteArrayLiteral("\r\n");
            edits.push_back({last.next, last.next, lineEnd + added});
        }
    }
    if (changed)
        *changed = !edits.empty() || !newSections.isEmpty();
    if (edits.empty() && newSections.isEmpty())
        return content;

    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    applyInPlace(content, edits, newSections.size() + 2);
    if (!newSections.isEmpty()) {
        // A new section goes at the end, on a line of its own; after a byte
        // order mark alone, on the first line.
        if (!content.isEmpty() && !isLineEnd(content.back()) &&
            content != QByteArrayView(Utf8Bom, Utf8BomSize))
            content += "\r\n";
        content += newSections;
    }
    return content;
}

QByteArray store(const QByteArray& content, const QByteArray& section, const QByteArray& key,
                 const QByteArray& value, const QString& pathForErrors) {
    const Write w{section, key, value, std::nullopt};
    return store(content, std::span(&w, 1), pathForErrors);
}

QString decodedValue(const char* data, qsizetype size) {
    QString text = QString::fromLocal8Bit(data, size);
    if (text.size() > IniFile::MaxValueLength) {
        text.truncate(IniFile::MaxValueLength);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

} // namespace ini

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

// Writes not released are dropped on purpose: a save that stopped half-way
// must not reach the disk.
IniFile::~IniFile() = default;

bool IniFile::load() {
    if (m_loaded)
        return m_readable;
    m_loaded = true;
    const FileRead read = readWholeFile(m_path, m_content, MaxFileSize); // content empty unless Ok
    m_exists = m_exists || read != FileRead::Missing;
    m_readable = read != FileRead::Failed; // an absent file reads as empty and may be created
    return m_readable;
}

bool IniFile::exists() {
    load();
    return m_exists;
}

QString IniFile::read(const QString& section, const QString& key, const QString& defaultValue) {
    if (!load())
        return defaultValue;
    applyPendingWrites();
    if (!m_section.valid || m_section.name != section) {
        m_section.name = section;
        m_section.valid = true;
        m_section.entries.clear();
        if (const auto range = findSection(m_content, bareName(section.toLocal8Bit()))) {
            forEachEntry(m_content, *range, [&](Span k, Span v) {
                m_section.entries.push_back({k.begin, k.end, v.begin, v.end});
                return false;
            });
        }
    }
    // An ASCII key is compared as it is, with no copy (loading the settings
    // reads nine of them); any other in the local encoding.
    QStringView bare(key);
    while (!bare.isEmpty() && bare.front().unicode() < 0x80 && isBlank(char(bare.front().unicode())))
        bare = bare.sliced(1);
    while (!bare.isEmpty() && bare.back().unicode() < 0x80 && isBlank(char(bare.back().unicode())))
        bare.chop(1);
    const bool asciiKey = std::all_of(bare.begin(), bare.end(), [](QChar c) { return c.unicode() < 0x80; });
    QByteArray encodedKey;
    const char* data = m_content.constData();
    const auto entry = std::find_if(m_section.entries.begin(), m_section.entries.end(), [&](const auto& e) {
        const Span name{e.keyBegin, e.keyEnd};
        if (asciiKey && std::none_of(data + name.begin, data + name.end, [](char c) { return c & 0x80; })) {
            return name.end - name.begin == bare.size() &&
                   std::equal(bare.begin(), bare.end(), data + name.begin,
                              [](QChar a, char b) { return asciiLower(char(a.unicode())) == asciiLower(b); });
        }
        if (encodedKey.isNull())
            encodedKey = bareName(key.toLocal8Bit());
        return sameName(data, name, encodedKey);
    });
    if (entry == m_section.entries.end())
        return defaultValue;
    return ini::decodedValue(data + entry->valueBegin, entry->valueEnd - entry->valueBegin);
}

void IniFile::write(const QString& section, const QString& key, const QString& value) {
    ini::Write w{section.toLocal8Bit(), key.toLocal8Bit(), value.toLocal8Bit(), value};
    // Refused at once, as the file would refuse it at release.
    ini::checkStorable(w.section, w.key, w.value, m_path);
    m_writes.push_back(std::move(w));
    m_section.valid = false;
}

void IniFile::applyPendingWrites() {
    if (m_applied == m_writes.size())
        return;
    keepLoadedContent();
    m_content = ini::store(std::move(m_content), std::span(m_writes).subspan(m_applied), m_path);
    m_applied = m_writes.size();
}

QString IniFile::lockPathFor(const QString& realPath) {
    const QFileInfo file(realPath);
    return file.absolutePath() + QStringLiteral("/.") + file.fileName() + QStringLiteral(".lock");
}

std::chrono::milliseconds SettingsLockTimeout{5000};
std::chrono::milliseconds SettingsRewritePatience{2000};

namespace {

// A section name as the comparison of names sees it: ASCII letters folded,
// other text by its case folding (bytes that are no text as they are).
QByteArray foldedName(QByteArrayView name) {
    if (std::none_of(name.begin(), name.end(), [](char c) { return c & 0x80; })) {
        QByteArray folded(name.size(), Qt::Uninitialized);
        std::transform(name.begin(), name.end(), folded.begin(), asciiLower);
        return folded;
    }
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    const QString text = decoder(name);
    if (decoder.hasError())
        return name.toByteArray();
    return text.toCaseFolded().toUtf8();
}

// The sections of content (by their names, letter case aside) and where
// its last complete line ends: what a file read later under the lock
// must still hold.
struct Shape {
    QHash<QByteArray, QByteArray> sections; // folded name -> name as written
    qsizetype completeLines = 0;
};

Shape shapeOf(const QByteArray& content) {
    Shape shape;
    const char* data = content.constData();
    const qsizetype size = content.size();
    forEachHeader(
        content, [](qsizetype) { return false; },
        [&](qsizetype, const Line&, Span name) {
            const QByteArrayView bytes(data + name.begin, name.end - name.begin);
            shape.sections.insert(foldedName(bytes), bytes.toByteArray());
            return true;
        });
    qsizetype end = size;
    while (end > 0 && !isLineEnd(data[end - 1]))
        --end;
    shape.completeLines = end;
    return shape;
}

// The sections of shape that content lacks, or an empty list when it
// holds them all and its complete lines too.
QList<QByteArray> lostFrom(const QByteArray& content, const Shape& shape) {
    const Shape now = shapeOf(content);
    QList<QByteArray> lost;
    for (auto it = shape.sections.cbegin(); it != shape.sections.cend(); ++it) {
        if (!now.sections.contains(it.key()))
            lost.append(it.value());
    }
    if (lost.isEmpty() && content.size() < shape.completeLines)
        lost.append(QByteArray()); // the sections are there, lines of them are not
    return lost;
}

// What this process has seen of each settings file (by its real path)
// since its last save of it: the sections and the most complete lines. A
// file read half-written by another program, at a load or before the lock,
// must not make them look gone. The contents seen are kept as they are (they
// share their bytes with the reader's) and taken apart only when a file
// another program wrote is to be checked: most saves find the file as the
// last writer of the lock left it and need no shape at all.
struct Known {
    Shape shape;               // of the contents already taken apart
    QList<QByteArray> pending; // contents seen since
};
std::mutex knownMutex;
QHash<QString, Known> knownFiles;

void foldPending(Known& known) {
    for (const QByteArray& content : std::as_const(known.pending)) {
        const Shape shape = shapeOf(content);
        for (auto it = shape.sections.cbegin(); it != shape.sections.cend(); ++it)
            known.shape.sections.insert(it.key(), it.value());
        known.shape.completeLines = std::max(known.shape.completeLines, shape.completeLines);
    }
    known.pending.clear();
}

// Adds content to what was seen of target; after a save of it (saved),
// what was seen before is forgotten.
void addKnown(const QString& target, const QByteArray& content, bool saved = false) {
    const std::lock_guard<std::mutex> hold(knownMutex);
    Known& known = knownFiles[target];
    if (saved)
        known = Known{};
    known.pending.append(content);
    if (known.pending.size() > 2) // a run of failed saves keeps no pile of copies
        foldPending(known);
}

Shape knownShape(const QString& target) {
    const std::lock_guard<std::mutex> hold(knownMutex);
    Known& known = knownFiles[target];
    foldPending(known);
    return known.shape;
}

// How long until the file was last written long enough ago that no writer
// in place is between two of its steps (none left: it is).
std::chrono::nanoseconds untilQuiet(const FileStamp& stamp) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return SettingsRewriteQuiet -
           (now - std::chrono::nanoseconds(std::max(stamp.modifiedNs, stamp.changedNs)));
}

} // namespace

void IniFile::keepLoadedContent() {
    if (!m_before && m_applied == 0 && m_loaded && m_readable)
        m_before = m_content;
}

bool IniFile::release(Save save) {
    if (m_writes.empty())
        return false;
    const QString target = resolvedTarget(m_path);
    // What the file held before, when loaded. A save of only changes reads
    // it now (outside the lock): one that changes nothing needs no lock.
    keepLoadedContent();
    if (m_before) {
        addKnown(target, *m_before);
    } else if (save == Save::OnlyChanges) {
        QByteArray content;
        const FileRead read = readWholeFile(target, content, MaxFileSize);
        if (read == FileRead::Missing)
            return false;
        if (read == FileRead::Ok) {
            addKnown(target, content);
            bool changed = true;
            (void)ini::store(std::move(content), m_writes, m_path, &changed);
            if (!changed)
                return false; // nothing to write: no need for the lock
        }
    }
    m_before.reset();
    std::optional<Shape> before; // taken apart once, when a check needs it
    // The object reads the file afresh after the save (or its failure).
    m_content = QByteArray();
    m_loaded = false;
    m_applied = 0;
    m_section.valid = false;

    FileLock lock;
    QString why;
    if (lock.acquire(lockPathFor(target), SettingsLockTimeout, &why) != FileLock::Result::Locked)
        refuse(m_path, why);

    // What other writers released before the lock was had is kept: only
    // this object's writes are applied to the file as it is now.
    const auto start = std::chrono::steady_clock::now();
    FileStamp unchanged; // the stamp of the last read, and since when it holds
    auto unchangedSince = start;
    std::optional<FileWatch> watch; // made at the first wait, and the file read once more
    for (;;) {
        QByteArray content;
        FileStamp stamp;
        bool changing = false;
        const FileRead read = readWholeFile(target, content, MaxFileSize, &why, &stamp, &changing);
        if (read == FileRead::Failed)
            refuse(m_path, why);
        if (read == FileRead::Missing && save == Save::OnlyChanges)
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (!(stamp == unchanged)) {
            unchanged = stamp;
            unchangedSince = now;
        }
        // The file as the last writer of the protocol left it (its state is
        // noted in the lock file) needs no check; one another program wrote
        // must hold what was seen before, and must have been left alone for
        // a moment (a writer in place writes it in more than one step).
        const bool protocols = !changing && lock.note() == stamp.text();
        const QList<QByteArray> lost =
            protocols  ? QList<QByteArray>()
            : changing ? QList<QByteArray>{QByteArray()}
                       : lostFrom(content, before ? *before : *(before = knownShape(target)));
        const bool settled = !changing && now - unchangedSince >= SettingsRewriteSettled;
        const auto quietIn = lost.isEmpty() ? untilQuiet(stamp) : SettingsRewriteSettled;
        if (protocols || quietIn.count() <= 0 || settled) {
            bool changed = true;
            content = ini::store(std::move(content), m_writes, m_path, &changed);
            if (!changed && save == Save::OnlyChanges)
                return false;
            // Should another program write the file in place from now on,
            // only its own write is lost: the rename leaves it writing into
            // the file it replaced.
            if (!writeFileAtomically(target, content, &why))
                refuse(m_path, why);
            // The state noted is the file as this save left it. A writer in
            // place may already have begun on it (truncated it, written part
            // of it): then nothing is noted, and the next save checks what
            // it reads instead of taking a half file for ours.
            const FileStamp left = fileStampOf(target);
            lock.setNote(left.size == content.size() ? left.text() : QByteArray());
            addKnown(target, content, true);
            m_content = std::move(content);
            m_loaded = m_readable = m_exists = true;
            m_writes.clear();
            return true;
        }
        if (now - start >= SettingsRewritePatience) {
            QStringList names;
            for (const QByteArray& name : lost) {
                if (!name.isNull())
                    names << QStringLiteral("[%1]").arg(QString::fromLocal8Bit(name));
            }
            refuse(
                m_path,
                QStringLiteral("Outro programa está regravando o arquivo %1 sem a trava das configurações "
                               "(%2). Para não apagar o que ele grava, nada foi salvo; feche esse programa e "
                               "salve de novo.")
                    .arg(target, names.isEmpty()
                                     ? QStringLiteral("o arquivo muda enquanto é lido")
                                     : QStringLiteral("faltam as seções %1").arg(names.join(u", "))));
        }
        if (!watch) {
            watch.emplace(target);
            continue;
        }
        // Read again once a change is followed by a quiet moment, or when
        // the file becomes quiet or settled without one; at the latest when
        // the patience ends.
        const auto patienceEnd = start + SettingsRewritePatience;
        auto until = std::min({patienceEnd, unchangedSince + SettingsRewriteSettled, now + quietIn});
        for (FileWatch::Result result; (result = watch->wait(until)) != FileWatch::Result::TimedOut;) {
            if (result == FileWatch::Result::Ended)
                refuse(m_path, FileLock::endingReason());
            until = std::min(patienceEnd, std::chrono::steady_clock::now() + SettingsRewriteQuiet);
        }
    }
}
