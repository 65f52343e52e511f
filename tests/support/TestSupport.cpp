#include "CoreTestSupport.h"

#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// GCC says so with a macro, clang with a feature test.
#if defined(__SANITIZE_ADDRESS__)
#define ORVANTO_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVANTO_LEAK_CHECK 1
#endif
#endif
#ifndef ORVANTO_LEAK_CHECK
#define ORVANTO_LEAK_CHECK 0
#endif

#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>
#include <vector>

QObject* keepStandIn(QObject* standIn) {
    static std::vector<QObject*> kept;
    if (kept.empty()) {
        qAddPostRoutine([] {
            for (QObject* object : kept)
                delete object;
            kept.clear();
        });
    }
    kept.push_back(standIn);
    return standIn;
}

QString storedSetting(const QString& key) {
    return IniFile(settingsFilePath()).read(SettingsSection, key);
}

QByteArray settingsText(const QList<std::pair<QString, QString>>& entries, const QByteArray& extra) {
    QByteArray text = '[' + SettingsSection.toUtf8() + "]\r\n";
    for (const auto& [key, value] : entries)
        text += paddedKey(qPrintable(key)).toUtf8() + '=' + value.toUtf8() + "\r\n";
    return text + extra;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(content);
}

void clearSettingsValues() {
    Values = Settings{};
}

void waitForEndingThreads() {
#if ORVANTO_LEAK_CHECK
    // Until the number of threads has held still for a moment (or one is
    // left), at most two seconds.
    using namespace std::chrono_literals;
    const auto threads = [] {
        std::error_code error;
        const std::filesystem::directory_iterator tasks("/proc/self/task", error);
        return error ? 1 : std::distance(begin(tasks), end(tasks));
    };
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    auto count = threads();
    auto steadySince = std::chrono::steady_clock::now();
    while (count > 1 && std::chrono::steady_clock::now() < deadline &&
           std::chrono::steady_clock::now() - steadySince < 100ms) {
        std::this_thread::sleep_for(5ms);
        if (const auto now = threads(); now != count) {
            count = now;
            steadySince = std::chrono::steady_clock::now();
        }
    }
#endif
}
