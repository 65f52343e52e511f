#include "ui/WindowShape.h"

#include "ui/Compositor.h"

#include <QGuiApplication>
#include <QImage>
#include <QRegion>
#include <QStringList>

#include <algorithm>
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

namespace {

// The runs of a row whose alpha reaches threshold, as one-pixel-high rectangles.
template <class Alpha> void addRuns(std::vector<QRect>& runs, int y, int width, int threshold, Alpha alpha) {
    for (int x = 0; x < width;) {
        while (x < width && alpha(x) < threshold)
            ++x;
        const int start = x;
        while (x < width && alpha(x) >= threshold)
            ++x;
        if (x > start)
            runs.emplace_back(start, y, x - start, 1);
    }
}

} // namespace

QRegion opaqueRegion(const QImage& source, int threshold) {
    // Premultiplying keeps the alpha as it is: such pictures need no conversion.
    const QImage image = source.format() == QImage::Format_ARGB32_Premultiplied
                             ? source
                             : source.convertToFormat(QImage::Format_ARGB32);
    const int density = std::max(1, qRound(image.devicePixelRatio()));
    const int width = image.width() / density, height = image.height() / density;
    std::vector<QRect> runs;
    std::vector<int> sums(size_t(width), 0);
    for (int y = 0; y < height; ++y) {
        if (density == 1) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            addRuns(runs, y, width, threshold, [line](int x) { return qAlpha(line[x]); });
            continue;
        }
        std::fill(sums.begin(), sums.end(), 0);
        for (int row = y * density; row < (y + 1) * density; ++row) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(row));
            // Block by block, with no division per pixel: a screen of twice
            // the density has four times the pixels, all read at the start.
            if (density == 2) {
                for (int x = 0; x < width; ++x)
                    sums[size_t(x)] += qAlpha(line[2 * x]) + qAlpha(line[2 * x + 1]);
                continue;
            }
            for (int x = 0, pixel = 0; x < width; ++x) {
                for (int k = 0; k < density; ++k, ++pixel)
                    sums[size_t(x)] += qAlpha(line[pixel]);
            }
        }
        // Average reaches threshold: sum >= threshold * n, with no rounding.
        const int pixels = density * density;
        addRuns(runs, y, width, threshold * pixels, [&sums](int x) { return sums[size_t(x)]; });
    }
    QRegion region;
    region.setRects(runs.data(), int(runs.size()));
    return region;
}
