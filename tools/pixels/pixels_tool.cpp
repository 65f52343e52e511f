// Build step: turns a picture into a pixel file for the resources.
//   orvanto_pixels SOURCE.png TARGET.pixels

#include "ui/PixelFile.h"

#include <QFile>
#include <QImage>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE TARGET\n", argv[0]);
        return 2;
    }
    const QImage image(QFile::decodeName(argv[1]));
    if (image.isNull()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    QSaveFile target(QFile::decodeName(argv[2]));
    if (!target.open(QIODevice::WriteOnly) || target.write(encodePixelFile(image)) < 0 || !target.commit()) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
