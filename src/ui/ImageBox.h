#pragma once

#include <QPixmap>
#include <QWidget>

// An image control: draws its picture at its own size from the top-left
// corner, or "fit" (reduced to the box, never enlarged, centred). A source
// is decoded once for the process; every box showing it shares the result.
//
// Sizes are in device-independent pixels. On a screen of more than one
// device pixel per pixel the box shows the source's twice-as-dense picture,
// NAME@2x.EXT beside NAME.EXT (device pixel ratio 2), where there is one,
// and the source itself, enlarged, where there is none.
class ImageBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool fit READ fit WRITE setFit)
    Q_PROPERTY(QString source READ source WRITE setSource)

public:
    explicit ImageBox(QWidget* parent = nullptr);

    bool fit() const { return m_fit; }
    void setFit(bool fit);
    // A resource or file path, decoded the first time the picture is needed.
    QString source() const { return m_source; }
    void setSource(const QString& source);

    const QPixmap& picture() const;
    void setPicture(const QPixmap& picture);
    // Where the picture is drawn inside the box.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_fit = false;
    QString m_source;
    mutable QPixmap m_picture;
    // The density of the picture decoded from the source (1 or 2); 0 while
    // none is, and for a picture set directly.
    mutable int m_density = 0;
};
