#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at path with content in one step: a temporary file in
// the same folder is written, flushed and renamed over the target, so
// readers see either the old or the new file, never a mix. A new file is
// created readable by its owner only; an existing file keeps its mode.
// Returns false (and leaves the target untouched) on any failure.
bool writeFileAtomically(const QString& path, const QByteArray& content);

// Reads the whole file at path into content.
enum class FileRead { Ok, Missing, Failed };
FileRead readWholeFile(const QString& path, QByteArray& content);
