#include "ui/ImageBox.h"

#include "ui/Geometry.h"
#include "ui/PixelFile.h"

#include <QCoreApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QResource>

namespace {

bool compiledIn(const QString& source) { return source.startsWith(u':') || source.startsWith(u"qrc:"); }

// Compiled-in artwork that ships as ready pixels: no decoder, no copy.
QImage readyPixels(const QString& source) {
    const QString name = source.startsWith(u':') ? source : source.mid(3);
    const QResource pixels(name + QLatin1String(".pixels"));
    if (!pixels.isValid() || pixels.compressionAlgorithm() != QResource::NoCompression)
        return {};
    return imageOverPixelFile(pixels.data(), pixels.size());
}

// In the format the raster backing store draws from without converting.
QImage decode(const QString& source) {
    if (compiledIn(source)) {
        if (QImage ready = readyPixels(source); !ready.isNull())
            return ready;
    }
    QImage image(source);
    if (!image.isNull())
        image = std::move(image).convertToFormat(drawingFormat(image));
    return image;
}

// The compiled-in pictures decoded so far (they never change; files on disk
// may): the windows are built anew at every opening, their artwork is not.
QHash<QString, QPixmap>& decoded() {
    static QHash<QString, QPixmap> pictures;
    static const bool emptiedAtExit = [] {
        // Pixmaps must not outlive the application object.
        qAddPostRoutine([] { decoded().clear(); });
        return true;
    }();
    Q_UNUSED(emptiedAtExit);
    return pictures;
}

QPixmap pictureOf(const QString& source) {
    auto& pictures = decoded();
    if (const auto found = pictures.constFind(source); found != pictures.constEnd())
        return *found;
    const QPixmap picture = QPixmap::fromImage(decode(source));
    if (compiledIn(source))
        pictures.insert(source, picture);
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
    m_decoded = source.isEmpty();
    update();
}

const QPixmap& ImageBox::picture() const {
    if (!m_decoded) {
        m_decoded = true;
        m_picture = pictureOf(m_source);
    }
    return m_picture;
}

void ImageBox::setPicture(const QPixmap& picture) {
    m_source.clear();
    m_decoded = true;
    m_picture = picture;
    update();
}

QRect ImageBox::pictureRect() const {
    const QPixmap& pic = picture();
    if (pic.isNull())
        return {};
    if (!m_fit)
        return QRect(QPoint(0, 0), pic.size());
    QRect target(QPoint(0, 0), fitSize(pic.size(), size()));
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
