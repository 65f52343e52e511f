#include "Marks.h"

#include "Paint.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace art {

namespace {

const QString kLetters = QStringLiteral("Ov");
const QString kMakerName = QStringLiteral("morvelt");

QLinearGradient vertical(const QRectF& r, std::initializer_list<std::pair<double, QColor>> stops) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    for (const auto& [at, colour] : stops)
        g.setColorAt(at, colour);
    return g;
}

void drawBadge(QPainter& p, const QPointF& centre, double radius, bool simple) {
    // A dark halo first so the badge stands off the rim it overlaps.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1e, 0x1e, 0x1e, 150));
    p.drawEllipse(centre, radius + std::max(0.6, radius * 0.1), radius + std::max(0.6, radius * 0.1));

    QRadialGradient silver(centre - QPointF(radius * 0.35, radius * 0.45), radius * 1.6);
    silver.setColorAt(0, QColor(0xfd, 0xfd, 0xfd));
    silver.setColorAt(0.55, QColor(0xd2, 0xd2, 0xd2));
    silver.setColorAt(1, QColor(0x9a, 0x9a, 0x9a));
    p.setBrush(silver);
    p.drawEllipse(centre, radius, radius);
    if (simple)
        return;
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x7d, 0x7d, 0x7d), std::max(0.5, radius * 0.06)));
    p.drawEllipse(centre, radius * 0.97, radius * 0.97);

    const double size = radius * 1.22;
    QPainterPath piece = puzzlePiece(size).translated(centre + QPointF(-size * 0.04, size * 0.02));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xff, 0xff, 160));
    p.drawPath(piece.translated(0, std::max(0.5, radius * 0.05)));
    p.setBrush(
        vertical(piece.boundingRect(), {{0, QColor(0x5a, 0x5a, 0x5a)}, {1, QColor(0x33, 0x33, 0x33)}}));
    p.drawPath(piece);
}

} // namespace

void drawProductMark(QPainter& p, const QRectF& box) {
    const double s = box.width();
    const bool tiny = s < 24;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(box.topLeft());

    // Silver rim, then the dark face inside it.
    const double margin = tiny ? 0.0 : s * 0.03;
    const QRectF outer(margin, margin, s - 2 * margin, s - 2 * margin);
    const double radius = s * 0.21;
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(
        outer,
        {{0, QColor(0xf6, 0xf6, 0xf6)}, {0.45, QColor(0xc6, 0xc6, 0xc6)}, {1, QColor(0x86, 0x86, 0x86)}}));
    p.drawRoundedRect(outer, radius, radius);

    const double rim = tiny ? 1.0 : std::max(1.5, s * 0.045);
    const QRectF face = outer.adjusted(rim, rim, -rim, -rim);
    p.setBrush(vertical(
        face,
        {{0, QColor(0x5e, 0x5e, 0x5e)}, {0.5, QColor(0x40, 0x40, 0x40)}, {1, QColor(0x2a, 0x2a, 0x2a)}}));
    p.drawRoundedRect(face, radius - rim * 0.8, radius - rim * 0.8);

    if (!tiny) {
        // Soft gloss over the upper half of the face.
        QPainterPath gloss;
        gloss.addRoundedRect(face, radius - rim * 0.8, radius - rim * 0.8);
        QPainterPath upper;
        upper.addEllipse(QRectF(face.left() - face.width() * 0.3, face.top() - face.height() * 0.9,
                                face.width() * 1.6, face.height() * 1.4));
        p.setBrush(vertical(face, {{0, QColor(255, 255, 255, 46)}, {0.5, QColor(255, 255, 255, 8)}}));
        p.drawPath(gloss.intersected(upper));
    }

    // The letters sit a little up and left, clear of the badge. At the smallest
    // size they are hinted to the pixel grid so they stay sharp.
    if (tiny) {
        QFont font = dejavu(s * 0.5, true);
        font.setHintingPreference(QFont::PreferFullHinting);
        font.setStretch(88);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, s, s * 0.78), Qt::AlignCenter, kLetters);
    } else {
        const QFont font = dejavu(s * 0.41, true);
        QPainterPath letters;
        letters.addText(0, 0, font, kLetters);
        letters.translate(QPointF(s * 0.45, s * 0.43) - letters.boundingRect().center());
        p.setBrush(QColor(0, 0, 0, 90));
        p.drawPath(letters.translated(0, s * 0.012));
        p.setBrush(QColor(0xff, 0xff, 0xff));
        p.drawPath(letters);
    }

    const double badge = tiny ? 2.6 : s * 0.185;
    const QPointF badgeCentre = tiny ? QPointF(s - 3.2, s - 3.2) : QPointF(s * 0.765, s * 0.765);
    drawBadge(p, badgeCentre, badge, tiny);
    p.restore();
}

void drawMakerEmblem(QPainter& p, const QRectF& box) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double s = box.width();
    p.setPen(Qt::NoPen);
    p.setBrush(ink::makerRed);
    p.drawRoundedRect(box, s * 0.2, s * 0.2);
    // Two peaks, the right one higher: a stylised "m" that climbs.
    QPainterPath peaks;
    const auto at = [&](double x, double y) { return box.topLeft() + QPointF(x * s, y * s); };
    peaks.moveTo(at(0.17, 0.76));
    peaks.lineTo(at(0.37, 0.40));
    peaks.lineTo(at(0.53, 0.62));
    peaks.lineTo(at(0.70, 0.26));
    peaks.lineTo(at(0.84, 0.76));
    QPen pen(Qt::white, s * 0.12, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(3);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(peaks);
    p.restore();
}

QRectF drawMakerMark(QPainter& p, const QRectF& box) {
    // Proportions of the mark at height 1: emblem 1 x 1, gap 0.16, then the word.
    const QFont probe = dejavu(100, true);
    QPainterPath word;
    word.addText(0, 0, probe, kMakerName);
    const QRectF wb = word.boundingRect();
    const double wordScale = 0.78 / wb.height(); // the word's ink is 78 % of the emblem's height
    const double width = 1.0 + 0.16 + wb.width() * wordScale;
    const double h = std::min(box.height(), box.width() / width);
    const QRectF used(box.left() + (box.width() - width * h) / 2, box.top() + (box.height() - h) / 2,
                      width * h, h);

    drawMakerEmblem(p, QRectF(used.topLeft(), QSizeF(h, h)));

    QTransform t;
    t.translate(used.left() + h * 1.16, used.top() + h * 0.11);
    t.scale(wordScale * h, wordScale * h);
    t.translate(-wb.left(), -wb.top());
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x6b, 0x6b, 0x6b));
    p.drawPath(t.map(word));
    p.restore();
    return used;
}

QImage productIcon(int size, double ratio) {
    QImage image = canvas(qRound(size * ratio), qRound(size * ratio));
    QPainter p(&image);
    p.scale(ratio, ratio);
    drawProductMark(p, QRectF(0, 0, size, size));
    return image;
}

QImage makerLogo(double ratio) {
    QImage image = canvas(qRound(763 * ratio), qRound(209 * ratio));
    QPainter p(&image);
    p.scale(ratio, ratio);
    drawMakerMark(p, QRectF(4, 4, 755, 201));
    p.end();
    return binaryAlpha(image);
}

QImage gearIcon(double ratio) {
    // Eight teeth of fixed pixel width (angles would make them vanish at this size).
    const int teeth = 8;
    const QPointF c(7.5, 7.5);
    const double outer = 7.5, root = 4.8, tipHalf = 1.25, baseHalf = 1.6;
    QPainterPath gear;
    gear.addEllipse(c, root + 0.05, root + 0.05);
    for (int i = 0; i < teeth; ++i) {
        QPainterPath tooth;
        tooth.addPolygon(QPolygonF(
            {{-baseHalf, -(root - 1)}, {-tipHalf, -outer}, {tipHalf, -outer}, {baseHalf, -(root - 1)}}));
        tooth.closeSubpath();
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotate(360.0 * i / teeth);
        gear = gear.united(t.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(c, 2.4, 2.4);
    gear = gear.subtracted(hole);

    QImage image = canvas(qRound(15 * ratio), qRound(15 * ratio));
    QPainter p(&image);
    p.scale(ratio, ratio);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(
        vertical(QRectF(0, 0, 15, 15), {{0, QColor(0x80, 0x80, 0x80)}, {1, QColor(0x58, 0x58, 0x58)}}));
    p.drawPath(gear);
    return image;
}

} // namespace art
