#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

// One file of the artwork: a binary resource file, mapped into memory (not
// read: the ready pixels in it are drawn straight from the mapping) and
// registered under ":/" for as long as the object lives.
class ArtworkFile {
public:
    explicit ArtworkFile(const QString& path);
    ~ArtworkFile();
    ArtworkFile(const ArtworkFile&) = delete;
    ArtworkFile& operator=(const ArtworkFile&) = delete;

    bool isLoaded() const { return m_data != nullptr; }
    // Why it is not loaded, in Portuguese with the path; empty once it is.
    const QString& error() const { return m_error; }

private:
    QFile m_file;
    const uchar* m_data = nullptr;
    QString m_error;
};

// The artwork's files, one copy for the panel and the stand-in gadget.
inline constexpr const char* ArtworkFileNames[] = {"artwork.rcc", "artwork-pixels.rcc"};

// The folders, in order, where the artwork of a program in programFolder is
// looked for: the installation's data folder relative to the program (beside
// it on Windows), then this build's folder for a program of this build.
QStringList artworkFolders(const QString& programFolder);

// The folder of those that holds the artwork, or where it should be when
// none does (the installation's, which is there for its other files).
QString artworkFolder(const QString& programFolder);

// Registers the style books compiled into the ui library and maps the
// artwork for the rest of the process. Returns why the artwork could not be
// loaded (a Portuguese sentence with the path), or an empty text.
[[nodiscard]] QString initOrvantoResources();

// For a program's start: as initOrvantoResources, and when the artwork
// cannot be loaded, the error box and a line on the standard error saying
// so; false then, and the program ends rather than show broken windows.
[[nodiscard]] bool loadProgramResources();
