#include "ui/ImageBox.h"

#include "ui/Geometry.h"
#include "ui/PixelFile.h"

#include <QCoreApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QResource>

#include <utility>

namespace {

bool isResource(const QString& source) {
    return source.startsWith(u':') || source.startsWith(u"qrc:");
}

// The picture density a screen wants: the 2x picture wherever a device pixel
// is smaller than a pixel (reduced, it is sharper than the 1x enlarged).
int densityFor(qreal devicePixelRatio) {
    return devicePixelRatio > 1 ? 2 : 1;
}

// "images/gear.png" -> "images/gear@2x.png", the name Qt's readers know.
QString denserName(const QString& source) {
    const qsizetype dot = source.lastIndexOf(u'.');
    if (dot <= source.lastIndexOf(u'/') + 1)
        return source + QLatin1String("@2x");
    return source.left(dot) + QLatin1String("@2x") + source.mid(dot);
}

// Artwork that ships as ready pixels, drawn from the mapped artwork file:
// no decoder, no copy.
QImage readyPixels(const QString& source) {
    const QString name = source.startsWith(u':') ? source : source.mid(3);
    const QResource pixels(name + QLatin1String(".pixels"));
    if (!pixels.isValid() || pixels.compressionAlgorithm() != QResource::NoCompression)
        return {};
    return imageOverPixelFile(pixels.data(), pixels.size());
}

// In the format the raster backing store draws from without converting.
QImage decode(const QString& source) {
    if (isResource(source)) {
        if (QImage ready = readyPixels(source); !ready.isNull())
            return ready;
    }
    QImage image(source);
    if (!image.isNull())
        image = std::move(image).convertToFormat(drawingFormat(image));
    return image;
}

// The source's picture for a density, falling back to the 1x picture.
QImage decode(const QString& source, int density) {
    if (density == 2) {
        if (QImage denser = decode(denserName(source)); !denser.isNull()) {
            // Mapped pixels are read-only, so this copies them once: the
            // price of a 2x first frame, none at 1x.
            denser.setDevicePixelRatio(2);
            return denser;
        }
    }
    return decode(source);
}

// The resource pictures decoded so far (they never change; files on disk
// may): the windows are built anew at every opening, their artwork is not.
QHash<std::pair<QString, int>, QPixmap>& decoded() {
    static QHash<std::pair<QString, int>, QPixmap> pictures;
    static const bool emptiedAtExit = [] {
        // Pixmaps must not outlive the application object.
        qAddPostRoutine([] { decoded().clear(); });
        return true;
    }();
    Q_UNUSED(emptiedAtExit);
    return pictures;
}

QPixmap pictureOf(const QString& source, int density) {
    auto& pictures = decoded();
    const std::pair key(source, density);
    if (const auto found = pictures.constFind(key); found != pictures.constEnd())
        return *found;
    const QPixmap picture = QPixmap::fromImage(decode(source, density));
    if (isResource(source))
        pictures.insert(key, picture);
    return picture;
}

} // namespace

ImageBox::ImageBox(QWidget* parent) : QWidget(parent) {}

void ImageBox::setFit(bool fit) {
    m_fit = fit;
    update();
}

void ImageBox::setSource(const QString& source) {
    m_source = source;
    m_picture = QPixmap();
    m_density = 0;
    update();
}

const QPixmap& ImageBox::picture() const {
    // Asked at every use: a window moved to a screen of another density
    // shows the other picture from its next paint on.
    if (!m_source.isEmpty()) {
        if (const int density = densityFor(devicePixelRatio()); density != m_density) {
            m_density = density;
            m_picture = pictureOf(m_source, density);
        }
    }
    return m_picture;
}

void ImageBox::setPicture(const QPixmap& picture) {
    m_source.clear();
    m_density = 0;
    m_picture = picture;
    update();
}

QRect ImageBox::pictureRect() const {
    const QPixmap& pic = picture();
    if (pic.isNull())
        return {};
    const QSize shown = pic.deviceIndependentSize().toSize();
    if (!m_fit)
        return QRect(QPoint(0, 0), shown);
    QRect target(QPoint(0, 0), fitSize(shown, size()));
    target.moveCenter(rect().center());
    // QRect::center rounds down; recompute the offset so the picture is centred exactly.
    target.moveTopLeft(QPoint((width() - target.width()) / 2, (height() - target.height()) / 2));
    return target;
}

void ImageBox::paintEvent(QPaintEvent*) {
    const QPixmap& pic = picture();
    if (pic.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_fit);
    painter.drawPixmap(pictureRect(), pic);
}
