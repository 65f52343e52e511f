#include "settings/IsWrongIP.h"

namespace {
bool isAsciiDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// The value of one to three ASCII digits (the structure test has made sure).
int groupValue(const QString& ip, qsizetype from, qsizetype to) {
    int value = 0;
    for (qsizetype i = from; i < to; ++i)
        value = value * 10 + (ip.at(i).unicode() - u'0');
    return value;
}
} // namespace

bool IsWrongIP(const QString& ip) {
    // Positions are 1-based, as the dots are counted in the rules below.
    const qsizetype n = ip.size();
    qsizetype dots[3] = {0, 0, 0};
    int dotCount = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = ip.at(i);
        if (isAsciiDigit(c))
            continue;
        if (c == u'.') {
            if (++dotCount == 4)
                return true;
            dots[dotCount - 1] = i + 1;
            continue;
        }
        return true;
    }
    if (dotCount != 3)
        return true;
    const qsizetype d1 = dots[0], d2 = dots[1], d3 = dots[2];
    if (d1 < 2 || d2 < d1 + 2 || d3 < d2 + 2 || d3 == n)
        return true;
    if (d1 > 4 || d2 > d1 + 4 || d3 > d2 + 4 || n > d3 + 3)
        return true;

    // Group bounds as 0-based [from, to).
    const qsizetype from[4] = {0, d1, d2, d3};
    const qsizetype to[4] = {d1 - 1, d2 - 1, d3 - 1, n};
    for (int g = 0; g < 4; ++g) {
        const int value = groupValue(ip, from[g], to[g]);
        const bool leadingZero = ip.at(from[g]) == u'0';
        if (value > 255)
            return true;
        if (g == 0 ? leadingZero : (leadingZero && value != 0))
            return true;
    }
    return false;
}
