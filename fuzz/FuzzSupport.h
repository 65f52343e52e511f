#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

// Stops the run with the finding printed; libFuzzer keeps the input.
#define FUZZ_CHECK(cond, ...)                                                                                \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "check failed: %s\n", #cond);                                               \
            std::fprintf(stderr, __VA_ARGS__);                                                               \
            std::fputc('\n', stderr);                                                                        \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

inline QByteArray bytes(std::string_view s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}
inline std::string_view view(const QByteArray& b) {
    return {b.constData(), size_t(b.size())};
}

// Printable form of a byte string for a finding's report.
inline std::string shown(std::string_view s) {
    std::string out = "\"";
    const bool cut = s.size() > 300;
    if (cut)
        s = s.substr(0, 300);
    for (const char c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '"' && c != '\\') {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        }
    }
    return out + (cut ? "\"..." : "\"");
}
inline std::string shown(const QByteArray& b) {
    return shown(view(b));
}
inline std::string shown(const QString& s) {
    return shown(s.toUtf8());
}

// A private folder for the inputs that have to go through a real file; in
// memory where the machine offers it, as a disk would slow the runs down.
inline const QString& scratchFolder() {
    static const QString folder = [] {
        const char* base = std::getenv("TMPDIR");
        if (!base || !*base)
            base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/orvanto-fuzz.XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        std::atexit([] { QDir(scratchFolder()).removeRecursively(); });
        return QString::fromLocal8Bit(pattern.c_str());
    }();
    return folder;
}

inline void putFile(const QString& path, const QByteArray& content) {
    const QByteArray name = path.toLocal8Bit();
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0, "cannot write %s", name.constData());
    for (qsizetype done = 0; done < content.size();) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        FUZZ_CHECK(n > 0, "short write to %s", name.constData());
        done += n;
    }
    ::close(fd);
}
