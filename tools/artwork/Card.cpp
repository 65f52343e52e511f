#include "Card.h"

#include "Marks.h"
#include "Paint.h"

#include <QLinearGradient>
#include <QPainter>

namespace art {

namespace {

// Where the panel's controls sit; the artwork frames them.
const QRectF kInset(35.5, 248.5, 569, 297);        // light-grey panel under list, preview and start button
const QRectF kPreviewWell(362.5, 280.5, 230, 151); // around the 219 x 140 preview area at (368, 286)
const double kBandBottom = 138;                    // header band: y 2 .. 138

QPainterPath rounded(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

void drawHeader(QPainter& p, const QPainterPath& card) {
    const QRectF band(0, 0, 640, kBandBottom);
    p.save();
    p.setClipPath(card);
    QLinearGradient fill(0, 0, 0, kBandBottom);
    fill.setColorAt(0, QColor(0xff, 0xff, 0xff));
    fill.setColorAt(0.55, QColor(0xf7, 0xf7, 0xf7));
    fill.setColorAt(1, QColor(0xea, 0xea, 0xea));
    p.fillRect(band, fill);
    // Faint diagonal sheen across the right half.
    QPainterPath sheen;
    sheen.moveTo(300, 0);
    sheen.lineTo(470, 0);
    sheen.lineTo(380, kBandBottom);
    sheen.lineTo(210, kBandBottom);
    sheen.closeSubpath();
    p.fillPath(sheen, QColor(255, 255, 255, 70));
    p.restore();

    p.fillRect(QRectF(2, kBandBottom, 636, 1), QColor(0xcf, 0xcf, 0xcf));
    p.fillRect(QRectF(2, kBandBottom + 1, 636, 1), QColor(0xf4, 0xf4, 0xf4));
    // A short accent under the product mark.
    p.fillRect(QRectF(44, kBandBottom - 2, 76, 3), ink::accent);

    drawProductMark(p, QRectF(44, 31, 76, 76));
    fillText(p, QPointF(136, 72), QStringLiteral("Orvanto"), sans(32, true), QColor(0x4a, 0x4a, 0x4a));
    fillText(p, QPointF(138, 94), QStringLiteral("Gadgets de indicadores"), sans(14),
             QColor(0x8c, 0x8c, 0x8c));

    drawMakerMark(p, QRectF(402, 56, 150, 26));
}

void drawInsetPanel(QPainter& p) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double radius = 12;

    // Recess: a faint highlight below the panel and a darker rim around it.
    p.setPen(QPen(QColor(0xff, 0xff, 0xff), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(kInset.translated(0, 1), radius, radius);

    QLinearGradient fill(0, kInset.top(), 0, kInset.bottom());
    fill.setColorAt(0, QColor(0xf1, 0xf1, 0xf1));
    fill.setColorAt(0.3, QColor(0xed, 0xed, 0xed));
    fill.setColorAt(0.93, QColor(0xd2, 0xd2, 0xd2));
    fill.setColorAt(1, QColor(0xcf, 0xcf, 0xcf));
    p.setPen(QPen(QColor(0xbf, 0xbf, 0xbf), 1));
    p.setBrush(fill);
    p.drawRoundedRect(kInset, radius, radius);

    // Soft inner border: a shadow falling from the top edge, a light line inside the rim.
    p.setClipPath(rounded(kInset.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5));
    QLinearGradient shade(0, kInset.top(), 0, kInset.top() + 9);
    shade.setColorAt(0, QColor(0, 0, 0, 26));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(QRectF(kInset.left(), kInset.top(), kInset.width(), 9), shade);
    p.setPen(QPen(QColor(255, 255, 255, 120), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(kInset.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1.5, radius - 1.5);
    p.restore();
}

void drawPreviewWell(QPainter& p) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double radius = 6;
    p.setPen(QPen(QColor(0xff, 0xff, 0xff, 200), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(kPreviewWell.translated(0, 1), radius, radius);

    QLinearGradient fill(0, kPreviewWell.top(), 0, kPreviewWell.bottom());
    fill.setColorAt(0, QColor(0xe2, 0xe2, 0xe2));
    fill.setColorAt(1, QColor(0xd8, 0xd8, 0xd8));
    p.setPen(QPen(QColor(0xb4, 0xb4, 0xb4), 1));
    p.setBrush(fill);
    p.drawRoundedRect(kPreviewWell, radius, radius);

    p.setClipPath(rounded(kPreviewWell.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5));
    QLinearGradient shade(0, kPreviewWell.top(), 0, kPreviewWell.top() + 6);
    shade.setColorAt(0, QColor(0, 0, 0, 30));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(QRectF(kPreviewWell.left(), kPreviewWell.top(), kPreviewWell.width(), 6), shade);
    p.setClipping(false);

    // Placeholder until a gadget is picked; every preview covers it.
    const QPointF c = kPreviewWell.center();
    const QRectF window(c.x() - 26, c.y() - 19, 52, 38);
    const QColor ghost(0xc2, 0xc2, 0xc2);
    p.setPen(QPen(ghost, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(window, 3, 3);
    p.fillRect(QRectF(window.left(), window.top(), window.width(), 7), ghost);
    p.setPen(Qt::NoPen);
    p.setBrush(ghost);
    const double heights[] = {9, 15, 12, 20};
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(window.left() + 9 + i * 9.5, window.bottom() - 5 - heights[i], 6, heights[i]));
    p.restore();

    fillText(p, QPointF(kPreviewWell.left() + 1, kPreviewWell.top() - 6), QStringLiteral("Pré-visualização"),
             sans(11, true), QColor(0x8a, 0x8a, 0x8a));
}

} // namespace

QImage backgroundCard(double ratio) {
    // Paint the inside first on an opaque sheet, then cut the outline with
    // analytic coverage so the edge is exact and symmetric.
    const int width = qRound(640 * ratio), height = qRound(583 * ratio);
    QImage sheet(width, height, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    {
        QPainter p(&sheet);
        p.scale(ratio, ratio);
        p.setRenderHint(QPainter::Antialiasing);
        drawHeader(p, roundedPath(kCardInside, kCardInsideCorners));
        drawInsetPanel(p);
        drawPreviewWell(p);
        // A light frame line just inside the rim.
        p.setPen(QPen(QColor(0xd6, 0xd6, 0xd6), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(roundedPath(kCardInside.adjusted(0.5, 0.5, -0.5, -0.5), kCardInsideCorners.shrunk(0.5)));
    }

    // The rim: grey at 55 % between the outline and the opaque inside.
    // Coverage is taken per device pixel, on the outline scaled to them.
    const auto scaled = [ratio](const QRectF& r) {
        return QRectF(r.left() * ratio, r.top() * ratio, r.width() * ratio, r.height() * ratio);
    };
    const QRectF outlinePixels = scaled(kCardOutline), insidePixels = scaled(kCardInside);
    const CornerRadii outlineCorners = kCardCorners.scaled(ratio),
                      insideCorners = kCardInsideCorners.scaled(ratio);
    const QColor rim(0x9c, 0x9c, 0x9c);
    const double rimAlpha = 0.55;
    QImage out(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < out.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(sheet.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const double a0 = roundedCoverage(outlinePixels, outlineCorners, x, y);
            const double a1 = roundedCoverage(insidePixels, insideCorners, x, y);
            const double rimPart = (a0 - a1) * rimAlpha;
            const auto mix = [&](int card, int edge) { return qRound(card * a1 + edge * rimPart); };
            dst[x] = qRgba(mix(qRed(src[x]), rim.red()), mix(qGreen(src[x]), rim.green()),
                           mix(qBlue(src[x]), rim.blue()), qRound(255 * (a1 + rimPart)));
        }
    }
    return out;
}

} // namespace art
