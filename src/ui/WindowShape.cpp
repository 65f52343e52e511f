#include "ui/WindowShape.h"

#include "ui/Compositor.h"

#include <QGuiApplication>
#include <QImage>
#include <QRegion>
#include <QStringList>

#include <vector>

bool windowSystemBlendsAlpha() {
    const QString platform = QGuiApplication::platformName();
    if (platform == u"xcb")
        return x11CompositorRunning();
    // Framebuffer and remote-screen platforms show no alpha; Wayland, Windows
    // and macOS always composite, and offscreen keeps the alpha in memory.
    static const QStringList plain = {QStringLiteral("minimal"), QStringLiteral("linuxfb"),
                                      QStringLiteral("vnc"), QStringLiteral("eglfs"),
                                      QStringLiteral("vkkhrdisplay")};
    return !plain.contains(platform);
}

QRegion opaqueRegion(const QImage& source, int threshold) {
    // Premultiplying keeps the alpha as it is: such pictures need no conversion.
    const QImage image = source.format() == QImage::Format_ARGB32_Premultiplied
                             ? source
                             : source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    std::vector<QRect> runs;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width;) {
            while (x < width && qAlpha(line[x]) < threshold)
                ++x;
            const int start = x;
            while (x < width && qAlpha(line[x]) >= threshold)
                ++x;
            if (x > start)
                runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion region;
    region.setRects(runs.data(), int(runs.size()));
    return region;
}
