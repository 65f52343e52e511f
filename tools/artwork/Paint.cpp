#include "Paint.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImageWriter>
#include <QPainter>

#include <cmath>

namespace art {

namespace {

QString g_tahoma;
QString g_dejavu;

QString registerFont(const QString& file, QString* error) {
    if (!QFileInfo::exists(file)) {
        *error = QStringLiteral("font file missing: %1").arg(file);
        return {};
    }
    const int id = QFontDatabase::addApplicationFont(file);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (id < 0 || families.isEmpty()) {
        *error = QStringLiteral("font file unreadable: %1").arg(file);
        return {};
    }
    return families.first();
}

QFont makeFont(const QString& family, double pixelSize, bool bold) {
    QFont f(family);
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    f.setBold(bold);
    // Outline text only: no fallback fonts, no hinting, no kerning surprises.
    f.setStyleStrategy(QFont::StyleStrategy(QFont::NoFontMerging | QFont::PreferOutline));
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QString grouped(qint64 whole) {
    QString digits = QString::number(whole < 0 ? -whole : whole);
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char('.'));
    return whole < 0 ? QLatin1Char('-') + digits : digits;
}

} // namespace

bool loadFonts(QString* error) {
    // Fonts come from fixed files rather than whatever fontconfig prefers,
    // so the same sources give the same pixels on every machine.
    const QString wine = QStringLiteral("/usr/share/wine/fonts/");
    const QString dejavuDir = QStringLiteral("/usr/share/fonts/truetype/dejavu/");
    g_tahoma = registerFont(wine + QStringLiteral("tahoma.ttf"), error);
    if (g_tahoma.isEmpty())
        return false;
    g_dejavu = registerFont(dejavuDir + QStringLiteral("DejaVuSans.ttf"), error);
    if (g_dejavu.isEmpty() ||
        registerFont(dejavuDir + QStringLiteral("DejaVuSans-Bold.ttf"), error).isEmpty())
        return false;
    return true;
}

QFont sans(double pixelSize, bool bold) {
    if (!bold)
        return makeFont(g_tahoma, pixelSize, false);
    // The bold Tahoma at hand is hardly heavier than the regular one; its
    // sibling DejaVu Sans Bold, slightly narrowed, matches it and reads as bold.
    QFont f = makeFont(g_dejavu, pixelSize, true);
    f.setStretch(90);
    return f;
}
QFont dejavu(double pixelSize, bool bold) {
    return makeFont(g_dejavu, pixelSize, bold);
}

QImage canvas(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

bool savePng(const QImage& image, const QString& path, QString* error) {
    QImageWriter writer(path, "png");
    // Qt's PNG writer takes its deflate level from the quality (0 is the
    // strongest); its "compression" number left the pixels stored raw.
    writer.setQuality(0);
    if (!writer.write(image.convertToFormat(QImage::Format_ARGB32))) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, writer.errorString());
        return false;
    }
    return true;
}

void fillText(QPainter& p, const QPointF& baseline, const QString& text, const QFont& font,
              const QColor& colour) {
    QPainterPath path;
    path.addText(baseline, font, text);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
    p.restore();
}

double textWidth(const QString& text, const QFont& font) {
    return QFontMetricsF(font).horizontalAdvance(text);
}

void fillTextIn(QPainter& p, const QRectF& box, int align, const QString& text, const QFont& font,
                const QColor& colour) {
    const QFontMetricsF m(font);
    const double w = m.horizontalAdvance(text);
    double x = box.left();
    if (align & Qt::AlignRight)
        x = box.right() - w;
    else if (align & Qt::AlignHCenter)
        x = box.left() + (box.width() - w) / 2;
    double y = box.top() + m.ascent();
    if (align & Qt::AlignBottom)
        y = box.bottom() - m.descent();
    else if (align & Qt::AlignVCenter)
        // Centre the cap height rather than the whole line box: looks centred for digits and capitals.
        y = box.top() + (box.height() + m.capHeight()) / 2;
    fillText(p, QPointF(x, y), text, font, colour);
}

double roundedCoverage(const QRectF& rect, CornerRadii radii, int x, int y, int n) {
    const double l = rect.left() + radii.left, r = rect.right() - radii.right;
    const double t = rect.top() + radii.vertical, b = rect.bottom() - radii.vertical;
    // Whole pixels outside the rectangle, or inside it away from the corners, need no sampling.
    if (x + 1 <= rect.left() || x >= rect.right() || y + 1 <= rect.top() || y >= rect.bottom())
        return 0;
    const bool insideBox =
        x >= rect.left() && x + 1 <= rect.right() && y >= rect.top() && y + 1 <= rect.bottom();
    if (insideBox && ((x >= l && x + 1 <= r) || (y >= t && y + 1 <= b)))
        return 1;
    const double ry = radii.vertical;
    int inside = 0;
    for (int j = 0; j < n; ++j) {
        const double py = y + (j + 0.5) / n;
        for (int i = 0; i < n; ++i) {
            const double px = x + (i + 0.5) / n;
            if (px < rect.left() || px > rect.right() || py < rect.top() || py > rect.bottom())
                continue;
            const double dx = px < l ? l - px : (px > r ? px - r : 0);
            const double rx = px < l ? radii.left : radii.right;
            const double dy = py < t ? t - py : (py > b ? py - b : 0);
            if ((dx * dx) / (rx * rx) + (dy * dy) / (ry * ry) <= 1)
                ++inside;
        }
    }
    return double(inside) / (n * n);
}

QPainterPath roundedPath(const QRectF& rect, CornerRadii radii) {
    const double left = 2 * radii.left, right = 2 * radii.right, height = 2 * radii.vertical;
    QPainterPath path;
    path.moveTo(rect.left() + radii.left, rect.top());
    path.lineTo(rect.right() - radii.right, rect.top());
    path.arcTo(QRectF(rect.right() - right, rect.top(), right, height), 90, -90);
    path.lineTo(rect.right(), rect.bottom() - radii.vertical);
    path.arcTo(QRectF(rect.right() - right, rect.bottom() - height, right, height), 0, -90);
    path.lineTo(rect.left() + radii.left, rect.bottom());
    path.arcTo(QRectF(rect.left(), rect.bottom() - height, left, height), 270, -90);
    path.lineTo(rect.left(), rect.top() + radii.vertical);
    path.arcTo(QRectF(rect.left(), rect.top(), left, height), 180, -90);
    path.closeSubpath();
    return path;
}

QString money(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const qint64 cents = qint64(std::llround(std::fabs(value) * scale));
    QString s = QStringLiteral("R$ ") + grouped(cents / qint64(scale));
    if (decimals > 0)
        s += QLatin1Char(',') +
             QString::number(cents % qint64(scale)).rightJustified(decimals, QLatin1Char('0'));
    return value < 0 ? QStringLiteral("-") + s : s;
}

QString number(double value, int decimals) {
    return money(value, decimals).remove(QStringLiteral("R$ "));
}

QString percent(double value, int decimals) {
    return number(value, decimals) + QLatin1Char('%');
}

QPainterPath puzzlePiece(double size) {
    // Body a square of 0.62 size; knobs are circles of 0.26 size on the right and
    // the top, a socket bitten out of the left side.
    const double body = size * 0.62, knob = size * 0.26;
    const QRectF square(-size / 2 + size * 0.06, -size / 2 + size * 0.32, body, body);
    QPainterPath piece;
    piece.addRect(square);
    QPainterPath top, right, socket;
    top.addEllipse(QPointF(square.center().x(), square.top() - knob * 0.32), knob / 2 + size * 0.02,
                   knob / 2 + size * 0.02);
    right.addEllipse(QPointF(square.right() + knob * 0.32, square.center().y()), knob / 2 + size * 0.02,
                     knob / 2 + size * 0.02);
    socket.addEllipse(QPointF(square.left() - knob * 0.05, square.center().y()), knob / 2, knob / 2);
    piece = piece.united(top).united(right).subtracted(socket);
    return piece.simplified();
}

QImage binaryAlpha(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            line[x] = qAlpha(line[x]) >= 128 ? (line[x] | 0xff000000u) : 0u;
    }
    return out;
}

} // namespace art
