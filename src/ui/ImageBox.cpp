#include "ImageBox.h"

#include "Geometry.h"

#include <QPainter>

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
        m_picture.load(m_source);
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
