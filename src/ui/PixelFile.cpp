#include "ui/PixelFile.h"

#include <cstring>

namespace {

constexpr char Magic[4] = {'O', 'P', 'X', '1'};

struct Header {
    char magic[4];
    quint32 width;
    quint32 height;
    quint32 format;
};
static_assert(sizeof(Header) == 16);

// Only formats of whole 32-bit pixels: their rows need no padding. Takes
// the stored number: a damaged file's may name no format at all.
bool storable(quint32 format) {
    return format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGB32;
}

} // namespace

QImage::Format drawingFormat(const QImage& image) {
    return image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

QByteArray encodePixelFile(const QImage& image) {
    if (image.isNull())
        return {};
    const QImage::Format wanted = drawingFormat(image);
    const QImage pixels = image.format() == wanted ? image : image.convertToFormat(wanted);
    const Header header{{Magic[0], Magic[1], Magic[2], Magic[3]},
                        quint32(pixels.width()),
                        quint32(pixels.height()),
                        quint32(pixels.format())};
    const qsizetype row = qsizetype(pixels.width()) * 4;
    QByteArray file;
    file.reserve(qsizetype(sizeof header) + row * pixels.height());
    file.append(reinterpret_cast<const char*>(&header), sizeof header);
    for (int y = 0; y < pixels.height(); ++y)
        file.append(reinterpret_cast<const char*>(pixels.constScanLine(y)), row);
    return file;
}

QImage imageOverPixelFile(const uchar* data, qsizetype size) {
    Header header;
    if (!data || size < qsizetype(sizeof header))
        return {};
    std::memcpy(&header, data, sizeof header);
    if (std::memcmp(header.magic, Magic, sizeof Magic) != 0 || !storable(header.format) ||
        header.width == 0 || header.height == 0 || header.width > 32767 || header.height > 32767)
        return {};
    const auto format = QImage::Format(header.format);
    const qsizetype row = qsizetype(header.width) * 4;
    if (size - qsizetype(sizeof header) != row * qsizetype(header.height))
        return {};
    const uchar* pixels = data + sizeof header;
    if (reinterpret_cast<quintptr>(pixels) % alignof(quint32) == 0)
        return QImage(pixels, int(header.width), int(header.height), row, format);
    QImage copy(int(header.width), int(header.height), format);
    if (copy.isNull())
        return {};
    for (int y = 0; y < copy.height(); ++y)
        std::memcpy(copy.scanLine(y), pixels + y * row, size_t(row));
    return copy;
}
