// The settings file reader on any bytes, any section and any key: it must
// not crash, it must find what the plain reference reading finds, and a
// value read through IniFile comes back cut at 2047 UTF-16 units.

#include "FuzzSupport.h"
#include "IniReference.h"
#include "settings/IniFile.h"
#include "settings/ShownError.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

namespace {

// What read() must give for section/key of the file: the reference's value
// decoded and cut, never ending in half a surrogate pair; or the default.
QString expectedRead(std::string_view content, const QString& section, const QString& key,
                     const QString& fallback) {
    const auto value = ref::lookup(content, view(section.toUtf8()), view(key.toUtf8()));
    if (!value)
        return fallback;
    QString text = QString::fromUtf8(value->data(), qsizetype(value->size()));
    if (text.size() > IniFile::MaxValueLength) {
        text.truncate(IniFile::MaxValueLength);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

void checkThroughFile(const QByteArray& content, const QString& section, const QString& key) {
    const QString path = scratchFolder() + QStringLiteral("/ConfigGadGet.Ini");
    putFile(path, content);
    const QString fallback = QStringLiteral("\n"); // no value can hold a line break
    IniFile ini(path);
    const QString got = ini.read(section, key, fallback);
    const QString want = expectedRead(view(content), section, key, fallback);
    FUZZ_CHECK(got == want, "read %s/%s: got %s (%lld units), want %s (%lld units)", shown(section).c_str(),
               shown(key).c_str(), shown(got).c_str(), (long long)got.size(), shown(want).c_str(),
               (long long)want.size());
    FUZZ_CHECK(got.size() <= IniFile::MaxValueLength, "read longer than %d units", IniFile::MaxValueLength);
    // A second read of the same entry sees the same text.
    FUZZ_CHECK(ini.read(section, key, fallback) == got, "second read differs");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const uint8_t mode = in.ConsumeIntegral<uint8_t>();
    const std::string section = in.ConsumeRandomLengthString(48);
    const std::string key = in.ConsumeRandomLengthString(48);
    const std::string content = in.ConsumeRemainingBytesAsString();

    const auto got = ini::lookup(bytes(content), bytes(section), bytes(key));
    const auto want = ref::lookup(content, section, key);
    FUZZ_CHECK(got.has_value() == want.has_value(), "lookup %s/%s: found %d, reference found %d",
               shown(section).c_str(), shown(key).c_str(), int(got.has_value()), int(want.has_value()));
    if (got)
        FUZZ_CHECK(view(*got) == *want, "lookup %s/%s: %s, reference %s", shown(section).c_str(),
                   shown(key).c_str(), shown(*got).c_str(), shown(*want).c_str());

    // Whatever the reader gives can be written back: no file it accepts
    // makes a later save fail.
    if (got && ref::storable(section, key, "")) {
        try {
            const QByteArray saved =
                ini::store(bytes(content), bytes(section), bytes(key), *got, QStringLiteral("/f"));
            const auto again = ini::lookup(saved, bytes(section), bytes(key));
            FUZZ_CHECK(again && *again == *got, "%s/%s read back differently after a save",
                       shown(section).c_str(), shown(key).c_str());
        } catch (const ShownError& error) {
            FUZZ_CHECK(false, "a value read from the file cannot be written back: %s",
                       shown(error.text()).c_str());
        }
    }

    const QString qSection = QString::fromUtf8(section.data(), qsizetype(section.size()));
    const QString qKey = QString::fromUtf8(key.data(), qsizetype(key.size()));
    if (mode & 1)
        checkThroughFile(bytes(content), qSection, qKey);

    // Values near and past the cut: one entry whose value repeats the
    // file's bytes (minus line breaks) to a length chosen by the input.
    if (mode & 2) {
        std::string pattern;
        for (const char c : content)
            if (c != '\n' && c != '\r' && c != '\0')
                pattern += c;
        if (pattern.empty())
            pattern = "x";
        const size_t length = 1900 + size_t(mode >> 2) * 110; // 1900 to 8830 bytes
        std::string value = pattern;
        while (value.size() < length)
            value += value;
        value.resize(length);
        const bool plainNames = !ref::storable(section, key, "");
        const QString s = plainNames ? QStringLiteral("Configuracoes") : qSection;
        const QString k = plainNames ? QStringLiteral("CaminhoBanco    ") : qKey;
        const QByteArray file = '[' + s.toUtf8() + "]\r\n" + k.toUtf8() + '=' + bytes(value) + "\r\n";
        checkThroughFile(file, s, k);
    }
    return 0;
}
