#include "database/Alias.h"

#include "database/FbClient.h"
#include "database/FirebirdInstallation.h"
#include "settings/AtomicWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

QString AliasFilePath = registeredAliasFile();

namespace {
// An installation's alias file holds a few kilobytes of comments and
// entries; one of a megabyte is no alias file.
constexpr qint64 MaxAliasFileSize = 1024 * 1024;
} // namespace

QString EngineConfigFolder() {
#ifdef ORVANTO_ENGINE_CONFIG_FOLDER
    // The engine's own folder, where an installation may keep only a link
    // to the alias file in /etc: the macro names the engine's, not the link's.
    const QString engine = QStringLiteral(ORVANTO_ENGINE_CONFIG_FOLDER);
    const QString linked = QFileInfo(engine + QStringLiteral("/databases.conf")).canonicalFilePath();
    if (!linked.isEmpty() && linked == QFileInfo(AliasFilePath).canonicalFilePath())
        return engine;
#endif
    return QFileInfo(AliasFilePath).absolutePath();
}

namespace {

// The engine trims spaces, tabs and CRs around lines, names and values, and
// nothing else: a form feed or a no-break space stays part of a value.
bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r');
}

QString trimBlanks(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// "$(dir_conf)", in any letter case, names the engine's configuration folder,
// which holds the alias file. The engine writes it with a closing separator
// and drops a separator written right before or after it, so "$(dir_conf)x"
// and "$(dir_conf)/x" name the same file; a value with the macro then has all
// its separators in the platform's form. Other macros stay as they are.
QString expandConfFolder(QString text) {
    static const QLatin1String macro("$(dir_conf)");
    QString folder = EngineConfigFolder();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const auto isSeparator = [](QChar c) { return c == QLatin1Char('/') || c == QLatin1Char('\\'); };
    if (!text.contains(macro, Qt::CaseInsensitive))
        return text;
    qsizetype from = 0;
    while ((from = text.indexOf(macro, from, Qt::CaseInsensitive)) >= 0) {
        qsizetype begin = from, end = from + macro.size();
        if (begin > 0 && isSeparator(text.at(begin - 1)))
            --begin;
        if (end < text.size() && isSeparator(text.at(end)))
            ++end;
        text.replace(begin, end - begin, folder);
        from = begin + folder.size();
    }
    return QDir::toNativeSeparators(text.replace(QLatin1Char('\\'), QLatin1Char('/')));
}

// One "name = value" entry of the file, with the entries of the { } block
// that follows it; or an "include" directive, in its place among them.
struct Entry {
    QString name;
    QString value;
    QStringList block;
    QString include; // the directive's file pattern, as written
};

// "include <file>" at the top level: the file pattern, or nothing.
std::optional<QString> includeDirective(const QString& line) {
    static const QLatin1String keyword("include");
    if (!line.startsWith(keyword, Qt::CaseInsensitive) || line.size() == keyword.size() ||
        !isBlank(line.at(keyword.size())))
        return std::nullopt;
    QString pattern = trimBlanks(line.mid(keyword.size()));
    if (pattern.size() >= 2 && pattern.startsWith(QLatin1Char('"')) && pattern.endsWith(QLatin1Char('"')))
        pattern = pattern.mid(1, pattern.size() - 2);
    return pattern;
}

// The line without its comment: a "#" outside double quotes starts one.
QString withoutComment(const QString& line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('"'))
            quoted = !quoted;
        else if (line.at(i) == QLatin1Char('#') && !quoted)
            return line.left(i);
    }
    return line;
}

// The value of an entry: a quoted value loses its quotes and keeps the blanks
// inside them; "$(dir_conf)" is expanded. What follows the value on its line
// is returned in rest.
QString takeValue(const QString& text, QString& rest) {
    const QString trimmed = trimBlanks(text);
    if (trimmed.startsWith(QLatin1Char('"'))) {
        const qsizetype close = trimmed.indexOf(QLatin1Char('"'), 1);
        if (close < 0) {
            rest.clear();
            return expandConfFolder(trimmed.mid(1));
        }
        rest = trimmed.mid(close + 1);
        return expandConfFolder(trimmed.mid(1, close - 1));
    }
    const qsizetype brace = trimmed.indexOf(QLatin1Char('{'));
    if (brace < 0) {
        rest.clear();
        return expandConfFolder(trimmed);
    }
    rest = trimmed.mid(brace);
    return expandConfFolder(trimBlanks(trimmed.left(brace)));
}

// Reads the block lines after an entry: counts braces so that a block may
// open on the entry's line or the next, span lines and close anywhere.
class Parser {
public:
    explicit Parser(const QString& text) : m_lines(text.split(QLatin1Char('\n'))) {}

    QList<Entry> entries() {
        QList<Entry> result;
        for (const QString& raw : m_lines) {
            QString line = trimBlanks(withoutComment(raw));
            if (m_depth > 0 || line.startsWith(QLatin1Char('{')) || line.startsWith(QLatin1Char('}'))) {
                consumeBlock(line, result);
                continue;
            }
            if (const auto pattern = includeDirective(line)) {
                Entry include;
                include.include = *pattern;
                result.append(include);
                continue;
            }
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq <= 0)
                continue; // blank, or another directive
            Entry entry;
            entry.name = trimBlanks(line.left(eq));
            QString rest;
            entry.value = takeValue(line.mid(eq + 1), rest);
            result.append(entry);
            if (const QString more = trimBlanks(rest); !more.isEmpty())
                consumeBlock(more, result);
        }
        return result;
    }

private:
    // Braces change the depth; "name = value" pieces inside the first level
    // belong to the last entry.
    void consumeBlock(const QString& line, QList<Entry>& result) {
        QString piece;
        auto flush = [&] {
            const QString text = trimBlanks(piece);
            piece.clear();
            if (m_depth != 1 || result.isEmpty() || text.isEmpty())
                return;
            const qsizetype eq = text.indexOf(QLatin1Char('='));
            if (eq <= 0)
                return;
            QString rest;
            const QString value = takeValue(text.mid(eq + 1), rest);
            result.last().block.append(trimBlanks(text.left(eq)).toUpper() + QLatin1Char('=') + value);
        };
        bool quoted = false;
        for (const QChar c : line) {
            if (c == QLatin1Char('"'))
                quoted = !quoted;
            if (!quoted && c == QLatin1Char('{')) {
                flush();
                ++m_depth;
            } else if (!quoted && c == QLatin1Char('}')) {
                flush();
                if (m_depth > 0)
                    --m_depth;
            } else {
                piece.append(c);
            }
        }
        flush();
    }

    QStringList m_lines;
    int m_depth = 0;
};

} // namespace

namespace {

// Included files are followed as the database engine follows them, within
// bounds an installation never comes near: a chain of includes deeper than
// this, or more files than that in one lookup, is not followed further
// (a file that includes itself, directly or not, is not read again).
constexpr int MaxIncludeDepth = 8;
constexpr int MaxIncludedFiles = 64;

class AliasSearch {
public:
    explicit AliasSearch(QString wanted) : m_wanted(std::move(wanted)) {}

    // The alias's parameters in the file at path or in what it includes.
    std::optional<QStringList> inFile(const QString& path, int depth) {
        const QString real = QFileInfo(path).canonicalFilePath();
        if (real.isEmpty() || m_open.contains(real) || ++m_files > MaxIncludedFiles)
            return std::nullopt;
        // Read as the settings file is: a FIFO or device in its place never
        // blocks the dialog's opening, and a runaway file is not read at all.
        QByteArray bytes;
        if (readWholeFile(path, bytes, MaxAliasFileSize) != FileRead::Ok)
            return std::nullopt;
        QString text = fb::decodeText(bytes.constData(), bytes.size());
        text.remove(QLatin1Char('\r'));
        m_open.append(real);
        const auto found = inEntries(Parser(text).entries(), QFileInfo(path).absolutePath(), depth);
        m_open.removeLast();
        return found;
    }

private:
    std::optional<QStringList> inEntries(const QList<Entry>& entries, const QString& folder, int depth) {
        for (const Entry& entry : entries) {
            if (!entry.include.isEmpty()) {
                if (depth >= MaxIncludeDepth)
                    continue;
                for (const QString& file : includedFiles(entry.include, folder)) {
                    if (auto found = inFile(file, depth + 1))
                        return found;
                }
            } else if (entry.name.compare(m_wanted, Qt::CaseInsensitive) == 0) {
                return QStringList{QStringLiteral("SERVER NAME=") + entry.value} + entry.block;
            }
        }
        return std::nullopt;
    }

    // The files a pattern names: relative to the including file's folder,
    // with the wildcards * and ? in its last part (in name order, for a
    // lookup that gives the same answer every time).
    static QStringList includedFiles(QString pattern, const QString& folder) {
        pattern = expandConfFolder(pattern);
        const QFileInfo target(QDir(folder), pattern);
        const QString name = target.fileName();
        if (!name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?')))
            return {target.filePath()};
        QStringList files;
        const QDir dir = target.dir();
        for (const QString& match : dir.entryList({name}, QDir::Files, QDir::Name))
            files.append(dir.filePath(match));
        return files;
    }

    QString m_wanted;
    QStringList m_open; // the chain of files being read
    int m_files = 0;
};

} // namespace

QStringList AliasParams(const QString& alias) {
    const QString wanted = alias.trimmed();
    if (wanted.isEmpty())
        return {};
    return AliasSearch(wanted).inFile(AliasFilePath, 0).value_or(QStringList());
}

QString retornaCaminho(const QString& alias) {
    try {
        const QStringList params = AliasParams(alias);
        if (params.isEmpty())
            return QString();
        return params.first().mid(12, 255);
    } catch (...) {
        return QString();
    }
}
