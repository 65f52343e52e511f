#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>
#include <span>
#include <vector>

namespace ini {
// One entry to store. When unlessReads is given and the entry already reads
// as that text, its line stays as it is.
struct Write {
    QByteArray section, key, value;
    std::optional<QString> unlessReads;
};
} // namespace ini

// The settings file's INI layer. It reads and writes exactly as the gadgets
// expect: keys and sections are found without regard to letter case or the
// blanks around them, values are taken after the first "=" and trimmed,
// replaced in place, and every line the layer does not own keeps its bytes.
// Lines are read as the Windows profile functions read them: CR LF, LF and
// a lone CR end a line, a NUL ends the line's text, and a header is a line
// starting with "[" that holds a "]", naming what stands up to the last "]".
// So whatever read() returns can always be written back.
//
// Writes are kept in memory and reach the disk on release(), in one atomic
// replace, so a crash or a full disk never leaves half a file behind.
//
// Every writer of the file (this program and the gadgets) follows one lock
// protocol, so no program's write is lost to another's: release() takes an
// exclusive lock on the file "<settings file>.lock" beside the real file
// (links followed), reads the file afresh under it, applies only the
// writes made through this object, renames the new file over the old and
// lets the lock go. Readers take no lock: the rename is atomic.
//
// Other programs may write the file in place without the lock (truncating
// it and writing it anew, as the Windows profile functions and many
// editors do). A file read half-written must never be renamed over the
// real one. Every writer of the protocol notes in the lock file which state
// of the file it left (inode, size, times); a file in another state was
// written by someone else, and before the rename the file read under the
// lock must then still hold every section this process has seen in it since
// its last save of it (at loads, or just before the lock), be no shorter
// than the most complete lines seen so, not have changed while it was
// read, and have been left alone for a moment.
// Otherwise it is read again when a change to it has been followed by a
// quiet moment (told by the system, not looked for); a file that stays so
// but no longer changes is taken as it is (nothing is being written into
// it), one that keeps changing fails the save.
class IniFile {
public:
    explicit IniFile(QString path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    static constexpr int MaxValueLength = 2047;
    // Real settings files hold a few kilobytes (ten entries and a dozen
    // gadget sections); anything larger than this is no settings file, and
    // is refused rather than read into memory.
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
    // The lock file of the settings file at realPath.
    static QString lockPathFor(const QString& realPath);

    const QString& path() const { return m_path; }

    // Whether the file was there when first read (readable or not).
    bool exists();

    // The value of section/key, or defaultValue when the file, section or
    // key is missing or the file cannot be read. Cut to MaxValueLength.
    QString read(const QString& section, const QString& key, const QString& defaultValue = {});

    // Sets section/key in memory. Throws ShownError when the key, the
    // section or the value cannot be held by the format (a line break would
    // plant a new entry), leaving the file's content untouched. Writing the
    // value an entry already holds (as read() gives it) leaves its line
    // byte for byte: bytes the program only carries are never re-encoded.
    void write(const QString& section, const QString& key, const QString& value);

    // Flushes the writes made so far to disk, atomically, under the lock
    // (see above). Throws ShownError ("Unable to write to <path>." and the
    // reason in Portuguese on the next line) when the file cannot be read
    // or written, the lock is not had within SettingsLockTimeout, another
    // program keeps rewriting the file, or the program is ending; the file
    // then stays as it was. Always writes the file (and so leaves it 0600);
    // OnlyChanges writes nothing when the file is missing or already holds
    // every value. Returns whether the file was written.
    enum class Save { Always, OnlyChanges };
    bool release(Save save = Save::Always);

private:
    bool load();
    void applyPendingWrites();
    // Keeps the file as loaded before the first write changes it.
    void keepLoadedContent();

    std::vector<ini::Write> m_writes;
    size_t m_applied = 0; // writes already applied to m_content

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
    std::optional<QByteArray> m_before; // the file as loaded, before any write
};

// Byte-level helpers, public so the tests and fuzzers can reach them.
namespace ini {
std::optional<QByteArray> lookup(const QByteArray& content, const QByteArray& section, const QByteArray& key);
// Throws ShownError (with the given path in its text) when section, key or
// value cannot be stored.
void checkStorable(const QByteArray& section, const QByteArray& key, const QByteArray& value,
                   const QString& pathForErrors);
// The new content with the writes stored, in their order: the same bytes as
// storing them one after the other, made in one pass over content however
// many they are (and in content's own memory when it is not shared). Throws
// as checkStorable when any cannot be stored, before storing any.
// changed, when given, tells whether any byte changed.
QByteArray store(QByteArray content, std::span<const Write> writes, const QString& pathForErrors,
                 bool* changed = nullptr);
// One entry, its line rewritten even when it holds the value.
QByteArray store(const QByteArray& content, const QByteArray& section, const QByteArray& key,
                 const QByteArray& value, const QString& pathForErrors);
// The text read() gives for a value's bytes.
QString decodedValue(const char* data, qsizetype size);
} // namespace ini

// How long a save waits for another writer to let the settings file's lock
// go. Writers hold it for milliseconds (a read, a rename); a holder that
// keeps it for seconds is stuck, and the save then fails with its error
// rather than freezing the window or writing without the lock.
extern std::chrono::milliseconds SettingsLockTimeout;

// How long a save waits for a file that another program is writing in
// place without the lock, and how long such a file must stay unchanged to
// be taken as it is.
extern std::chrono::milliseconds SettingsRewritePatience;
inline constexpr std::chrono::milliseconds SettingsRewriteSettled{1000};
// How long ago another program must have written the file for its state to
// be taken as whole.
inline constexpr std::chrono::milliseconds SettingsRewriteQuiet{20};
