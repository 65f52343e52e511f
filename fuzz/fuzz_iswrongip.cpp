// The address check on any text, held against a reference written here
// from the rules of a dotted quad: split at the dots, then judge each group.

#include "FuzzSupport.h"
#include "settings/IsWrongIP.h"

#include <QString>

#include <vector>

namespace {

bool referenceIsWrong(const QString& text) {
    for (const QChar c : text) {
        const bool digit = c.unicode() >= '0' && c.unicode() <= '9';
        if (!digit && c.unicode() != '.')
            return true;
    }
    // Four groups between three dots.
    std::vector<QString> groups;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'.') {
            groups.push_back(text.mid(start, i - start));
            start = i + 1;
        }
    }
    if (groups.size() != 4)
        return true;
    for (size_t g = 0; g < groups.size(); ++g) {
        const QString& group = groups[g];
        if (group.isEmpty() || group.size() > 3)
            return true;
        int value = 0;
        for (const QChar c : group)
            value = value * 10 + (c.unicode() - '0');
        if (value > 255)
            return true;
        const bool leadingZero = group.front() == u'0';
        // The first group may not start with a zero at all; the others only
        // when they are zero as a whole ("0", "00", "000").
        if (leadingZero && (g == 0 || value != 0))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks how the rest becomes text: one character per
    // byte (dense in digits and dots), or raw UTF-16 units (any character,
    // lone surrogates and other scripts' digits included).
    QString text;
    if (data[0] & 1) {
        for (size_t i = 1; i + 1 < size; i += 2)
            text += QChar(char16_t(data[i] | (data[i + 1] << 8)));
    } else {
        text = QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    }
    const bool got = IsWrongIP(text);
    const bool want = referenceIsWrong(text);
    FUZZ_CHECK(got == want, "IsWrongIP(%s) is %d, reference %d", shown(text).c_str(), int(got), int(want));
    if (!got)
        FUZZ_CHECK(text.size() <= 15, "accepted %lld characters", (long long)text.size());
    return 0;
}
