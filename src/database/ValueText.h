#pragma once

// A fetched value as text, from the bytes the database client delivered:
// integers with their decimal scale, dates and times as the ISO forms,
// texts decoded (CHAR in a multi-byte character set cut back to its
// declared characters), booleans as "True"/"False".

#include <QString>

// How a column's values are stored (the client's type, scale, subtype with
// the character set in its low byte, and byte length).
struct ColumnType {
    short type = 0;
    short scale = 0;
    short subtype = 0;
    short length = 0;
};

// The text of one value of column, size bytes at data (a VARCHAR's bytes
// without their length word). BLOB and ARRAY columns give the empty text.
QString valueText(const ColumnType& column, const char* data, quint32 size);
