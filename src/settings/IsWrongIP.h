#pragma once

#include <QString>

// True when the text is NOT an acceptable dotted-quad IPv4 address: four
// groups of one to three ASCII digits, each at most 255, separated by three
// dots. The first group may not begin with "0" at all; the other three may
// begin with "0" only when their value is 0 ("0", "00", "000"). The text is
// not trimmed. Pure: no state, never fails.
bool IsWrongIP(const QString& ip);
