#include "settings/IniFile.h"

#include "settings/AtomicWrite.h"
#include "settings/ShownError.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace {

// A CR is no blank: it ends a line.
bool isBlank(char c) { return c == ' ' || c == '\t'; }

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

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

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

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// The name of a section header line, or nothing when the line is no
// header: its text starts with "[" and holds a "]"; the name runs to the
// last "]".
std::optional<Span> headerName(const char* data, Span text) {
    const Span t = trimmed(data, text);
    if (t.begin == t.end || data[t.begin] != '[')
        return std::nullopt;
    const void* close = memrchr(data + t.begin + 1, ']', size_t(t.end - t.begin - 1));
    if (!close)
        return std::nullopt;
    return trimmed(data, {t.begin + 1, static_cast<const char*>(close) - data});
}

struct SectionRange {
    qsizetype headerStart = -1; // start of the header line
    qsizetype bodyStart = 0;    // first line after the header
    qsizetype end = 0;          // start of the next header line, or the end of the file
};

// The UTF-8 byte order mark some editors put at the start of a file.
constexpr char Utf8Bom[] = "\xEF\xBB\xBF";
constexpr qsizetype Utf8BomSize = 3;

bool startsWithBom(const QByteArray& content) { return content.startsWith(QByteArrayView(Utf8Bom, Utf8BomSize)); }

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

// Headers are found by their "[" alone rather than line by line: a file
// full of other programs' sections is passed at the speed of memchr.
std::optional<SectionRange> findSection(const QByteArray& content, const QByteArray& section) {
    const char* data = content.constData();
    const qsizetype size = content.size();
    SectionRange range;
    for (qsizetype pos = 0; pos < size;) {
        const void* bracket = std::memchr(data + pos, '[', size_t(size - pos));
        if (!bracket)
            break;
        const qsizetype at = static_cast<const char*>(bracket) - data;
        const qsizetype start = headerLineStart(content, at);
        if (start < 0) {
            pos = at + 1;
            continue;
        }
        if (range.headerStart < 0 && cannotBe(data, at + 1, size, section)) {
            pos = at + 1;
            continue;
        }
        const Line line = lineAt(content, start);
        const auto name = headerName(data, line.text);
        if (!name) {
            pos = line.next;
            continue;
        }
        if (range.headerStart >= 0) {
            range.end = start;
            return range;
        }
        if (sameName(data, *name, section)) {
            range.headerStart = start;
            range.bodyStart = line.next;
        }
        pos = line.next; // no second header on one line
    }
    if (range.headerStart < 0)
        return std::nullopt;
    range.end = size;
    return range;
}

struct Entry {
    qsizetype lineStart = 0;
    Line line;
    Span value;
};

// Calls f(key, value) for every entry of the section, in file order.
template <class F> void forEachEntry(const QByteArray& content, const SectionRange& range, F f) {
    const char* data = content.constData();
    for (qsizetype pos = range.bodyStart; pos < range.end;) {
        const Line line = lineAt(content, pos);
        const void* eq = std::memchr(data + line.text.begin, '=', size_t(line.text.end - line.text.begin));
        if (eq) {
            const qsizetype at = static_cast<const char*>(eq) - data;
            f(trimmed(data, {line.text.begin, at}), trimmed(data, {at + 1, line.text.end}));
        }
        pos = line.next;
    }
}

std::optional<Entry> findEntry(const QByteArray& content, const SectionRange& range, const QByteArray& key) {
    const char* data = content.constData();
    for (qsizetype pos = range.bodyStart; pos < range.end;) {
        const Line line = lineAt(content, pos);
        const void* eq = std::memchr(data + line.text.begin, '=', size_t(line.text.end - line.text.begin));
        if (eq) {
            const qsizetype at = static_cast<const char*>(eq) - data;
            if (sameName(data, trimmed(data, {line.text.begin, at}), key))
                return Entry{pos, line, trimmed(data, {at + 1, line.text.end})};
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

[[noreturn]] void refuse(const QString& path, const QString& why) {
    throw ShownError(QStringLiteral("Unable to write to %1: %2").arg(path, why));
}

bool holdsLineBreakOrNull(const QByteArray& text) {
    return text.contains('\n') || text.contains('\r') || text.contains('\0');
}

} // namespace

namespace ini {

std::optional<QByteArray> lookup(const QByteArray& content, const QByteArray& section, const QByteArray& key) {
    const auto range = findSection(content, bareName(section));
    if (!range)
        return std::nullopt;
    const auto entry = findEntry(content, *range, bareName(key));
    if (!entry)
        return std::nullopt;
    return content.mid(entry->value.begin, entry->value.end - entry->value.begin);
}

QByteArray store(const QByteArray& content, const QByteArray& section, const QByteArray& key,
                 const QByteArray& value, const QString& pathForErrors) {
    QByteArray out = content;
    storeInPlace(out, section, key, value, pathForErrors);
    return out;
}

void storeInPlace(QByteArray& content, const QByteArray& section, const QByteArray& key, const QByteArray& value,
                  const QString& pathForErrors) {
    // What the format cannot hold is refused rather than written in a form
    // that would read back as something else.
    const QByteArray bareKey = bareName(key);
    const QByteArray bareSection = bareName(section);
    if (bareSection.isEmpty() || section.contains(']') || holdsLineBreakOrNull(section))
        refuse(pathForErrors, QStringLiteral("the section name \"%1\" cannot be stored").arg(QString::fromLocal8Bit(section)));
    if (bareKey.isEmpty() || bareKey.startsWith('[') || key.contains('=') || holdsLineBreakOrNull(key))
        refuse(pathForErrors, QStringLiteral("the key \"%1\" cannot be stored").arg(QString::fromLocal8Bit(key)));
    if (holdsLineBreakOrNull(value))
        refuse(pathForErrors,
               QStringLiteral("the value of %1 holds a line break").arg(QString::fromLocal8Bit(bareKey)));

    const QByteArray entryLine = key + '=' + value;
    const auto range = findSection(content, bareSection);
    if (!range) {
        if (!content.isEmpty() && !isLineEnd(content.back()) && content != QByteArrayView(Utf8Bom, Utf8BomSize))
            content += "\r\n";
        content += '[' + section + "]\r\n" + entryLine + "\r\n";
        return;
    }
    if (const auto entry = findEntry(content, *range, bareKey)) {
        content.replace(entry->line.text.begin, entry->line.rawEnd - entry->line.text.begin, entryLine);
        return;
    }
    // Append after the section's last non-blank line, so a blank line that
    // separates it from the next section stays where it is.
    const char* data = content.constData();
    Line last = lineAt(content, range->headerStart);
    for (qsizetype pos = range->bodyStart; pos < range->end;) {
        const Line line = lineAt(content, pos);
        const Span t = trimmed(data, line.text);
        if (t.begin != t.end)
            last = line;
        pos = line.next;
    }
    // An unended last line gets its line end, and the entry one of its own.
    content.insert(last.next, (last.terminated ? QByteArray() : QByteArrayLiteral("\r\n")) + entryLine + "\r\n");
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
    switch (readWholeFile(m_path, m_content, MaxFileSize)) {
    case FileRead::Ok:
        m_exists = m_readable = true;
        break;
    case FileRead::Missing:
        m_readable = true; // an absent file reads as empty and may be created
        break;
    case FileRead::Failed:
        m_exists = true;
        m_readable = false;
        m_content.clear();
        break;
    }
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
            });
        }
    }
    // An ASCII key is compared as it is; any other in the local encoding.
    QStringView bare(key);
    while (!bare.isEmpty() && bare.front().unicode() < 0x80 && isBlank(char(bare.front().unicode())))
        bare = bare.sliced(1);
    while (!bare.isEmpty() && bare.back().unicode() < 0x80 && isBlank(char(bare.back().unicode())))
        bare.chop(1);
    const bool asciiKey = std::all_of(bare.begin(), bare.end(), [](QChar c) { return c.unicode() < 0x80; });
    QByteArray encodedKey;
    if (!asciiKey)
        encodedKey = bareName(key.toLocal8Bit());
    const char* data = m_content.constData();
    const auto entry = std::find_if(m_section.entries.begin(), m_section.entries.end(), [&](const auto& e) {
        const Span name{e.keyBegin, e.keyEnd};
        if (asciiKey && std::none_of(data + name.begin, data + name.end, [](char c) { return c & 0x80; })) {
            if (name.end - name.begin != bare.size())
                return false;
            for (qsizetype i = 0; i < bare.size(); ++i) {
                if (asciiLower(data[name.begin + i]) != asciiLower(char(bare[i].unicode())))
                    return false;
            }
            return true;
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
    Write w{section.toLocal8Bit(), key.toLocal8Bit(), value.toLocal8Bit(), value};
    // Refused at once, as the file would refuse it at release.
    QByteArray probe;
    ini::storeInPlace(probe, w.section, w.key, w.value, m_path);
    m_writes.push_back(std::move(w));
    m_section.valid = false;
}

namespace {

// One write applied to the file's content; an entry that already holds the
// value keeps its line as it is.
void apply(QByteArray& content, const QByteArray& section, const QByteArray& key, const QByteArray& value,
           const QString& decoded, const QString& path) {
    if (const auto held = ini::lookup(content, section, key); held && ini::decodedValue(held->constData(), held->size()) == decoded)
        return;
    ini::storeInPlace(content, section, key, value, path);
}

} // namespace

void IniFile::applyPendingWrites() {
    for (; m_applied < m_writes.size(); ++m_applied) {
        const Write& w = m_writes[m_applied];
        apply(m_content, w.section, w.key, w.value, w.decodedValue, m_path);
    }
}

QString IniFile::lockPathFor(const QString& realPath) {
    const QFileInfo file(realPath);
    return file.absolutePath() + QStringLiteral("/.") + file.fileName() + QStringLiteral(".lock");
}

std::chrono::milliseconds SettingsLockTimeout{5000};

void IniFile::release() {
    if (m_writes.empty())
        return;
    const ShownError unableToWrite(QStringLiteral("Unable to write to %1").arg(m_path));
    const QString target = resolvedTarget(m_path);
    FileLock lock;
    QString why;
    switch (lock.acquire(lockPathFor(target), SettingsLockTimeout, &why)) {
    case FileLock::Result::Locked:
        break;
    case FileLock::Result::TimedOut: // the one failure the folder and file do not explain
        throw ShownError(QStringLiteral("Unable to write to %1: %2").arg(m_path, why));
    case FileLock::Result::Failed:
        throw unableToWrite;
    }
    // What other writers released before the lock was had is kept: only
    // this object's writes are applied to the file as it is now.
    QByteArray content;
    if (readWholeFile(target, content, MaxFileSize) == FileRead::Failed)
        throw unableToWrite;
    for (const Write& w : m_writes)
        apply(content, w.section, w.key, w.value, w.decodedValue, m_path);
    if (!writeFileAtomically(target, content))
        throw unableToWrite;
    m_content = std::move(content);
    m_loaded = m_readable = m_exists = true;
    m_section.valid = false;
    m_writes.clear();
    m_applied = 0;
}
