#include "settings/Alias.h"

#include "settings/AtomicWrite.h"
#include "settings/FbClient.h"
#include "settings/FirebirdInstallation.h"

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

namespace {

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
        !line.at(keyword.size()).isSpace())
        return std::nullopt;
    QString pattern = line.mid(keyword.size()).trimmed();
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

// The value of an entry: a quoted value loses its quotes; "$(...)" macros
// stay as they are. What follows the value on its line is returned in rest.
QString takeValue(const QString& text, QString& rest) {
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('"'))) {
        const qsizetype close = trimmed.indexOf(QLatin1Char('"'), 1);
        if (close < 0) {
            rest.clear();
            return trimmed.mid(1);
        }
        rest = trimmed.mid(close + 1);
        return trimmed.mid(1, close - 1);
    }
    const qsizetype brace = trimmed.indexOf(QLatin1Char('{'));
    if (brace < 0) {
        rest.clear();
        return trimmed;
    }
    rest = trimmed.mid(brace);
    return trimmed.left(brace).trimmed();
}

// Reads the block lines after an entry: counts braces so that a block may
// open on the entry's line or the next, span lines and close anywhere.
class Parser {
public:
    explicit Parser(const QString& text) : m_lines(text.split(QLatin1Char('\n'))) {}

    QList<Entry> entries() {
        QList<Entry> result;
        for (const QString& raw : m_lines) {
            QString line = withoutComment(raw).trimmed();
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
            entry.name = line.left(eq).trimmed();
            QString rest;
            entry.value = takeValue(line.mid(eq + 1), rest);
            result.append(entry);
            if (!rest.trimmed().isEmpty())
                consumeBlock(rest.trimmed(), result);
        }
        return result;
    }

private:
    // Braces change the depth; "name = value" pieces inside the first level
    // belong to the last entry.
    void consumeBlock(const QString& line, QList<Entry>& result) {
        QString piece;
        auto flush = [&] {
            const QString text = piece.trimmed();
            piece.clear();
            if (m_depth != 1 || result.isEmpty() || text.isEmpty())
                return;
            const qsizetype eq = text.indexOf(QLatin1Char('='));
            if (eq <= 0)
                return;
            QString rest;
            const QString value = takeValue(text.mid(eq + 1), rest);
            result.last().block.append(text.left(eq).trimmed().toUpper() + QLatin1Char('=') + value);
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
        // The one macro that names where the alias file itself lives.
        pattern.replace(QLatin1String("$(dir_conf)"), QFileInfo(AliasFilePath).absolutePath());
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
