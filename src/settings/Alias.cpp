#include "Alias.h"

#include "AtomicWrite.h"
#include "FbClient.h"

#include <QFile>

QString AliasFilePath = QStringLiteral("/etc/firebird/3.0/databases.conf");

namespace {
// An installation's alias file holds a few kilobytes of comments and
// entries; one of a megabyte is no alias file.
constexpr qint64 MaxAliasFileSize = 1024 * 1024;
} // namespace

namespace {

// One "name = value" entry of the file, with the entries of the { } block
// that follows it.
struct Entry {
    QString name;
    QString value;
    QStringList block;
};

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
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq <= 0)
                continue; // blank, or a directive such as "include"
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

QStringList AliasParams(const QString& alias) {
    // Read as the settings file is: a FIFO or device in its place never
    // blocks the dialog's opening, and a runaway file is not read at all.
    QByteArray bytes;
    if (readWholeFile(AliasFilePath, bytes, MaxAliasFileSize) != FileRead::Ok)
        return {};
    QString text = fb::decodeText(bytes.constData(), bytes.size());
    text.remove(QLatin1Char('\r'));
    const QString wanted = alias.trimmed();
    if (wanted.isEmpty())
        return {};
    for (const Entry& entry : Parser(text).entries()) {
        if (entry.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return QStringList{QStringLiteral("SERVER NAME=") + entry.value} + entry.block;
    }
    return {};
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
