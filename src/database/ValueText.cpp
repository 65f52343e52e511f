#include "database/ValueText.h"

#include "database/FbClient.h"

#include <QDate>

#include <cstring>

namespace {

int bytesPerCharacter(int charset) {
    switch (charset) {
    case 3: // UNICODE_FSS
        return 3;
    case 4:  // UTF8
    case 69: // GB18030
        return 4;
    case 5:
    case 6:
    case 44:
    case 56:
    case 57:
    case 64:
    case 67:
    case 68:
        return 2;
    default:
        return 1;
    }
}

QString scaledInteger(qint64 value, int scale) {
    if (scale >= 0) {
        QString text = QString::number(value);
        if (value != 0)
            text += QString(scale, QLatin1Char('0'));
        return text;
    }
    const int places = -scale;
    const bool negative = value < 0;
    const quint64 magnitude = negative ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    QString digits = QString::number(magnitude);
    if (digits.size() <= places)
        digits.prepend(QString(places + 1 - digits.size(), QLatin1Char('0')));
    QString whole = digits.left(digits.size() - places);
    QString fraction = digits.right(places);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    QString text = negative ? QStringLiteral("-") + whole : whole;
    if (!fraction.isEmpty())
        text += QLatin1Char('.') + fraction;
    return text;
}

QString dateText(ISC_DATE days) {
    return QDate(1858, 11, 17).addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
}

QString timeText(ISC_TIME units) {
    const unsigned seconds = units / 10000;
    const unsigned fraction = units % 10000;
    QString text = QStringLiteral("%1:%2:%3")
                       .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                       .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (fraction) {
        QString digits = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += QLatin1Char('.') + digits;
    }
    return text;
}

template <class T> T readValue(const char* data) {
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

} // namespace

// A value as text. CHAR keeps its blank padding up to the declared length,
// as the server pads it; multi-byte character sets come padded to their
// byte length, which is cut back to the declared characters. BLOB and ARRAY
// columns are not read and give the empty text.
QString valueText(const ColumnType& column, const char* data, quint32 size) {
    switch (column.type) {
    case SQL_VARYING:
        return fb::decodeText(data, size);
    case SQL_TEXT: {
        QString text = fb::decodeText(data, size);
        const int perCharacter = bytesPerCharacter(column.subtype & 0xFF);
        if (perCharacter > 1) {
            const qsizetype declared = column.length / perCharacter;
            qsizetype end = text.size();
            while (end > declared && text.at(end - 1) == QLatin1Char(' '))
                --end;
            text.truncate(end);
        }
        return text;
    }
    case SQL_SHORT:
        return scaledInteger(readValue<ISC_SHORT>(data), column.scale);
    case SQL_LONG:
        return scaledInteger(readValue<ISC_LONG>(data), column.scale);
    case SQL_INT64:
        return scaledInteger(readValue<ISC_INT64>(data), column.scale);
    case SQL_FLOAT:
        return QString::number(readValue<float>(data), 'g', 7);
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return QString::number(readValue<double>(data), 'g', 15);
    case SQL_TYPE_DATE:
        return dateText(readValue<ISC_DATE>(data));
    case SQL_TYPE_TIME:
        return timeText(readValue<ISC_TIME>(data));
    case SQL_TIMESTAMP: {
        const auto stamp = readValue<ISC_TIMESTAMP>(data);
        return dateText(stamp.timestamp_date) + QLatin1Char(' ') + timeText(stamp.timestamp_time);
    }
    case SQL_BOOLEAN:
        return *data ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return QString();
    }
}
