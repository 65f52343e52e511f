#pragma once

#include <QByteArray>
#include <QImage>

// A picture stored as the pixels the raster engine draws from: a 16-byte
// header (magic, width, height, QImage format) and then the rows without
// padding, in this machine's byte order. The artwork of the panel's first
// frame ships this way, so that showing it decodes nothing.
QByteArray encodePixelFile(const QImage& image);

// The format the raster backing store draws image from without converting:
// premultiplied ARGB32 when it has alpha, RGB32 otherwise.
QImage::Format drawingFormat(const QImage& image);

// The picture held in data, or a null image when data is no whole pixel
// file. The image refers to data without copying where the rows are aligned
// for the pixel type, so data must outlive it (the mapped artwork does);
// otherwise it holds a copy.
QImage imageOverPixelFile(const uchar* data, qsizetype size);
