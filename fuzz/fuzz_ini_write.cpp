// The settings file writer on any existing file, section, key and value.
// Every line it does not own keeps its bytes; the new file reads back the
// written value (trimmed); a second identical write changes nothing; and
// what it refuses is exactly what the format cannot hold. A save's many
// writes, stored in one pass, leave what storing them one by one leaves.

#include "FuzzSupport.h"
#include "IniReference.h"
#include "settings/IniFile.h"
#include "settings/ShownError.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

namespace {

const QString Path = QStringLiteral("/fuzz/TempVUX/ConfigGadGet.Ini");

// The keys the program writes, padded as it writes them.
const char* const OwnKeys[] = {"LocRem          ", "Comp            ", "Servidor        ", "Protocolo       ",
                               "CaminhoBanco    ", "Usuario         ", "Senha           ", "DiretorioGadgets",
                               "ModoPainel      ", "Filial          "};

bool isBlankLine(const ref::Line& line) {
    return ref::trim(line.text).empty();
}

void checkLinesKept(const std::string& content, const QByteArray& out, const std::string& section,
                    const std::string& key, const std::string& entry) {
    const auto before = ref::lines(content);
    const auto after = ref::lines(view(out));
    const ref::Place place = ref::locate(before, section, key);
    const std::string where = shown(section + "/" + key);
    const char* what = where.c_str();

    if (place.entry) {
        // The entry's line is replaced in place, keeping its line end.
        const size_t at = *place.entry;
        FUZZ_CHECK(after.size() == before.size(), "%s: %zu lines became %zu", what, before.size(),
                   after.size());
        for (size_t i = 0; i < before.size(); ++i) {
            if (i == at)
                continue;
            FUZZ_CHECK(after[i].whole() == before[i].whole(), "%s: line %zu %s became %s", what, i,
                       shown(before[i].whole()).c_str(), shown(after[i].whole()).c_str());
        }
        FUZZ_CHECK(after[at].raw == entry && after[at].terminator == before[at].terminator,
                   "%s: entry line became %s", what, shown(after[at].whole()).c_str());
        return;
    }

    if (place.header) {
        // One line added inside the section, after its last non-blank line.
        FUZZ_CHECK(after.size() == before.size() + 1, "%s: %zu lines became %zu", what, before.size(),
                   after.size());
        size_t j = 0;
        while (j < before.size() && after[j].whole() == before[j].whole())
            ++j;
        size_t inserted = j;
        if (j < before.size() && before[j].terminator.empty() && after[j].raw == before[j].raw) {
            // The file's last line had no line end: it gets one, the entry follows it with its own.
            FUZZ_CHECK(j + 1 == before.size() && after[j].terminator == "\r\n", "%s: last line %s became %s",
                       what, shown(before[j].whole()).c_str(), shown(after[j].whole()).c_str());
            inserted = j + 1;
            FUZZ_CHECK(after[inserted].raw == entry && after[inserted].terminator == "\r\n",
                       "%s: added line %s", what, shown(after[inserted].whole()).c_str());
        } else {
            FUZZ_CHECK(after[j].raw == entry && after[j].terminator == "\r\n", "%s: added line %s", what,
                       shown(after[j].whole()).c_str());
            for (size_t i = j; i < before.size(); ++i)
                FUZZ_CHECK(after[i + 1].whole() == before[i].whole(), "%s: line %zu %s became %s", what, i,
                           shown(before[i].whole()).c_str(), shown(after[i + 1].whole()).c_str());
        }
        FUZZ_CHECK(inserted > *place.header && inserted <= place.bodyEnd,
                   "%s: added at line %zu, outside the section", what, inserted);
        for (size_t i = inserted; i < place.bodyEnd; ++i)
            FUZZ_CHECK(isBlankLine(before[i]), "%s: added before the section's entry at line %zu", what, i);
        return;
    }

    // A new section at the end of the file; after a byte order mark alone,
    // on the first line.
    std::string expected = content;
    if (!expected.empty() && expected.back() != '\n' && expected.back() != '\r' && expected != "\xEF\xBB\xBF")
        expected += "\r\n";
    expected += "[" + section + "]\r\n" + entry + "\r\n";
    FUZZ_CHECK(view(out) == expected, "%s: new section gave %s", what, shown(out).c_str());
}

// What a save leaves when its writes are stored one after the other, each
// skipped when its entry already reads as the value.
QByteArray oneByOne(QByteArray content, const std::vector<ini::Write>& writes) {
    for (const ini::Write& w : writes) {
        const auto held = ini::lookup(content, w.section, w.key);
        if (held && w.unlessReads && ini::decodedValue(held->constData(), held->size()) == *w.unlessReads)
            continue;
        content = ini::store(content, w.section, w.key, w.value, Path);
    }
    return content;
}

// A save of many writes: the fuzzed one, then the file's own entries (some
// with the value they hold, some with the fuzzed value, some in other
// letter case), the fuzzed one again with another value, and a new section.
void checkManyWrites(const std::string& content, const std::string& section, const std::string& key,
                     const std::string& value, uint8_t mode) {
    std::vector<ini::Write> writes;
    const auto add = [&](const std::string& s, const std::string& k, const std::string& v) {
        if (ref::storable(s, k, v))
            writes.push_back(
                {bytes(s), bytes(k), bytes(v), QString::fromUtf8(v.data(), qsizetype(v.size()))});
    };
    add(section, key, value);
    const auto ls = ref::lines(content);
    std::string current;
    for (size_t i = 0; i < ls.size() && writes.size() < 12; ++i) {
        if (const auto name = ref::headerNameOfLine(ls, i)) {
            current = *name;
            continue;
        }
        const std::string_view text = ls[i].text;
        const size_t eq = text.find('=');
        if (eq == text.npos)
            continue;
        std::string k(text.substr(0, eq));
        std::string v(ref::trim(text.substr(eq + 1)));
        const unsigned choice = (mode >> (i % 4 * 2)) & 3;
        if (choice == 1)
            v = value;
        else if (choice == 2)
            for (char& c : k)
                c = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
        add(current, k, v);
    }
    add(section, key, value + "2");
    add("Novo", "Chave", value);
    add("NOVO", "chave ", "outro");

    const QByteArray got = ini::store(bytes(content), writes, Path);
    const QByteArray want = oneByOne(bytes(content), writes);
    FUZZ_CHECK(got == want, "%zu writes in one pass gave %s, one by one %s", writes.size(),
               shown(got).c_str(), shown(want).c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const uint8_t mode = in.ConsumeIntegral<uint8_t>();
    std::string section = in.ConsumeRandomLengthString(48);
    std::string key = in.ConsumeRandomLengthString(48);
    const std::string value = in.ConsumeRandomLengthString(256);
    const std::string content = in.ConsumeRemainingBytesAsString();
    // Half the time the program's own section and keys, as the save writes them.
    if (mode & 1)
        section = "Configuracoes";
    if (mode & 2)
        key = OwnKeys[(mode >> 2) % 10];

    checkManyWrites(content, section, key, value, mode);

    const bool storable = ref::storable(section, key, value);
    QByteArray out;
    try {
        out = ini::store(bytes(content), bytes(section), bytes(key), bytes(value), Path);
    } catch (const ShownError& error) {
        FUZZ_CHECK(!storable, "refused a storable entry %s/%s=%s: %s", shown(section).c_str(),
                   shown(key).c_str(), shown(value).c_str(), shown(error.text()).c_str());
        FUZZ_CHECK(error.text().startsWith(QStringLiteral("Unable to write to ") + Path), "error text %s",
                   shown(error.text()).c_str());
        return 0;
    }
    FUZZ_CHECK(storable, "stored an entry the format cannot hold: %s/%s=%s", shown(section).c_str(),
               shown(key).c_str(), shown(value).c_str());

    const std::string entry = key + "=" + value;
    checkLinesKept(content, out, section, key, entry);

    // The written value reads back, trimmed, through both readings.
    const std::string want(ref::trim(value));
    const auto refRead = ref::lookup(view(out), section, key);
    FUZZ_CHECK(refRead && *refRead == want, "reference reads %s back as %s", shown(want).c_str(),
               refRead ? shown(*refRead).c_str() : "nothing");
    const auto read = ini::lookup(out, bytes(section), bytes(key));
    FUZZ_CHECK(read && view(*read) == want, "reads %s back as %s", shown(want).c_str(),
               read ? shown(*read).c_str() : "nothing");

    // Saving the same entry again leaves the file as it is: one entry per key.
    const QByteArray again = ini::store(out, bytes(section), bytes(key), bytes(value), Path);
    FUZZ_CHECK(again == out, "a second identical write changed %s into %s", shown(out).c_str(),
               shown(again).c_str());
    return 0;
}
