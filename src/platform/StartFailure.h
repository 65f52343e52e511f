#pragma once

#include <QString>

// The sentence, in Portuguese, that tells why the program at path could not
// be started, given the error the start returned. It looks at the file
// itself, since one error covers several causes (a folder and a file
// without execute permission both give EACCES; a missing file and a missing
// script interpreter both give ENOENT).
QString startFailureReason(const QString& path, int error);
