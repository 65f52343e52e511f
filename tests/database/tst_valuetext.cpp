// Fetched values as text, from the very bytes the database client delivers:
// the scale of integers, the ISO forms of dates and times, the padding of
// CHAR in multi-byte character sets.

#include "CoreTestSupport.h"
#include "database/ValueText.h"

#include <QTest>

#include <ibase.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

template <class T> QByteArray bytesOf(T value) {
    QByteArray bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

constexpr int Utf8 = 4;
constexpr int Latin1 = 21;

} // namespace

class TestValueText : public QObject {
    Q_OBJECT

private slots:
    void valueText_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("subtype");
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");

        QTest::newRow("SMALLINT") << SQL_SHORT << 0 << 0 << 2 << bytesOf<ISC_SHORT>(-32768) << u"-32768"_s;
        QTest::newRow("INTEGER") << SQL_LONG << 0 << 0 << 4 << bytesOf<ISC_LONG>(2147483647)
                                 << u"2147483647"_s;
        QTest::newRow("BIGINT, lowest")
            << SQL_INT64 << 0 << 0 << 8 << bytesOf<ISC_INT64>(std::numeric_limits<ISC_INT64>::min())
            << u"-9223372036854775808"_s;
        QTest::newRow("NUMERIC(9,2)") << SQL_LONG << -2 << 0 << 4 << bytesOf<ISC_LONG>(12345) << u"123.45"_s;
        QTest::newRow("trailing zeros of the fraction go")
            << SQL_LONG << -3 << 0 << 4 << bytesOf<ISC_LONG>(1500) << u"1.5"_s;
        QTest::newRow("whole number, no point")
            << SQL_LONG << -2 << 0 << 4 << bytesOf<ISC_LONG>(700) << u"7"_s;
        QTest::newRow("below one, negative")
            << SQL_SHORT << -2 << 0 << 2 << bytesOf<ISC_SHORT>(-5) << u"-0.05"_s;
        QTest::newRow("lowest BIGINT scaled")
            << SQL_INT64 << -4 << 0 << 8 << bytesOf<ISC_INT64>(std::numeric_limits<ISC_INT64>::min())
            << u"-922337203685477.5808"_s;
        QTest::newRow("positive scale") << SQL_LONG << 2 << 0 << 4 << bytesOf<ISC_LONG>(12) << u"1200"_s;
        QTest::newRow("zero, positive scale") << SQL_LONG << 2 << 0 << 4 << bytesOf<ISC_LONG>(0) << u"0"_s;
        QTest::newRow("DOUBLE") << SQL_DOUBLE << 0 << 0 << 8 << bytesOf<double>(0.1) << u"0.1"_s;
        QTest::newRow("FLOAT") << SQL_FLOAT << 0 << 0 << 4 << bytesOf<float>(1.5f) << u"1.5"_s;
        // Days since 1858-11-17; time in units of 1/10000 s.
        QTest::newRow("DATE") << SQL_TYPE_DATE << 0 << 0 << 4 << bytesOf<ISC_DATE>(0) << u"1858-11-17"_s;
        QTest::newRow("DATE, 2026") << SQL_TYPE_DATE << 0 << 0 << 4 << bytesOf<ISC_DATE>(61385)
                                    << u"2026-12-11"_s;
        QTest::newRow("TIME") << SQL_TYPE_TIME << 0 << 0 << 4
                              << bytesOf<ISC_TIME>((13 * 3600 + 5 * 60 + 9) * 10000) << u"13:05:09"_s;
        QTest::newRow("TIME with a fraction")
            << SQL_TYPE_TIME << 0 << 0 << 4 << bytesOf<ISC_TIME>(12300) << u"00:00:01.23"_s;
        QTest::newRow("TIMESTAMP") << SQL_TIMESTAMP << 0 << 0 << 8
                                   << bytesOf(ISC_TIMESTAMP{61385, ISC_TIME(3600 * 10000)})
                                   << u"2026-12-11 01:00:00"_s;
        QTest::newRow("BOOLEAN true") << SQL_BOOLEAN << 0 << 0 << 1 << QByteArray("\x01", 1) << u"True"_s;
        QTest::newRow("BOOLEAN false") << SQL_BOOLEAN << 0 << 0 << 1 << QByteArray("\x00", 1) << u"False"_s;
        QTest::newRow("VARCHAR, UTF-8")
            << SQL_VARYING << 0 << Utf8 << 40 << QByteArray("S\xC3\xA3o Paulo ") << u"São Paulo "_s;
        // CHAR(3) in UTF-8 comes as 12 bytes: cut back to 3 characters.
        QTest::newRow("CHAR(3), UTF-8, padded to bytes")
            << SQL_TEXT << 0 << Utf8 << 12 << QByteArray("S\xC3\xA3o         ") << u"São"_s;
        QTest::newRow("CHAR(5), UTF-8, its own blanks kept")
            << SQL_TEXT << 0 << Utf8 << 20 << QByteArray("ab                  ") << u"ab   "_s;
        QTest::newRow("CHAR(4), one byte per character keeps its padding")
            << SQL_TEXT << 0 << Latin1 << 4 << QByteArray("ab  ") << u"ab  "_s;
        QTest::newRow("BLOB is not read") << SQL_BLOB << 0 << 0 << 8 << QByteArray(8, '\x01') << QString();
    }
    void valueText() {
        QFETCH(int, type);
        QFETCH(int, scale);
        QFETCH(int, subtype);
        QFETCH(int, length);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const ColumnType column{short(type), short(scale), short(subtype), short(length)};
        QCOMPARE(::valueText(column, bytes.constData(), quint32(bytes.size())), text);
    }
};

ORVANTO_CORE_TEST_MAIN(TestValueText)
#include "tst_valuetext.moc"
