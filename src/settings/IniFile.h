#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// The settings file's INI layer. It reads and writes exactly as the gadgets
// expect: keys and sections are found without regard to letter case or the
// blanks around them, values are taken after the first "=" and trimmed,
// replaced in place, and every line the layer does not own keeps its bytes.
//
// Writes are kept in memory and reach the disk on release(), in one atomic
// replace, so a crash or a full disk never leaves half a file behind.
class IniFile {
public:
    explicit IniFile(QString path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    static constexpr int MaxValueLength = 2047;

    const QString& path() const { return m_path; }

    // Whether the file was there when first read (readable or not).
    bool exists();

    // The value of section/key, or defaultValue when the file, section or
    // key is missing or the file cannot be read. Cut to MaxValueLength.
    QString read(const QString& section, const QString& key, const QString& defaultValue = {});

    // Sets section/key in memory. Throws SettingsError when the key, the
    // section or the value cannot be held by the format (a line break would
    // plant a new entry), leaving the file's content untouched.
    void write(const QString& section, const QString& key, const QString& value);

    // Flushes the writes made so far to disk, atomically. Throws SettingsError
    // ("Unable to write to <path>") when the file cannot be written.
    void release();

private:
    bool load();

    QString m_path;
    QByteArray m_content;
    // The section the last read found (or did not), so that reading a
    // section's keys one after the other passes the file once.
    struct SectionCache {
        QString name; // as the caller gave it
        bool valid = false;
        // Its entries in file order (none when the section is missing):
        // where key and value, both trimmed, begin and end in the content.
        struct Entry {
            qsizetype keyBegin, keyEnd, valueBegin, valueEnd;
        };
        std::vector<Entry> entries;
    } m_section;
    bool m_loaded = false;
    bool m_readable = false;
    bool m_exists = false;
    bool m_dirty = false;
};

// Byte-level helpers, public so the tests and fuzzers can reach them.
namespace ini {
std::optional<QByteArray> lookup(const QByteArray& content, const QByteArray& section, const QByteArray& key);
// Returns the new content; throws SettingsError (with the given path in its
// text) when section, key or value cannot be stored.
QByteArray store(const QByteArray& content, const QByteArray& section, const QByteArray& key,
                 const QByteArray& value, const QString& pathForErrors);
} // namespace ini
