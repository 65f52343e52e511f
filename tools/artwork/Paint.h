#pragma once

// Shared drawing helpers for the artwork tool: the palette, fonts loaded from
// fixed files (so a redraw gives the same pixels) and a few primitives.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QString>

class QPainter;

namespace art {

// The product's greys and its one accent.
namespace ink {
inline const QColor text{0x3c, 0x3c, 0x3c};
inline const QColor dimGrey{0x69, 0x69, 0x69};
inline const QColor grey{0x80, 0x80, 0x80};
inline const QColor darkGrey{0xa9, 0xa9, 0xa9};
inline const QColor silver{0xc0, 0xc0, 0xc0};
inline const QColor rule{0xe3, 0xe3, 0xe3};
inline const QColor accent{0xb8, 0x3b, 0x35};     // muted red of data and marks
inline const QColor accentSoft{0xe3, 0xa9, 0xa4}; // the accent's light tint
inline const QColor makerRed{0xc4, 0x2b, 0x26};   // the maker's red
} // namespace ink

// Loads the fonts from their files; returns false with a message when one is missing.
bool loadFonts(QString* error);

// The text face of the panel and the gadgets (Tahoma; bold from DejaVu Sans
// Bold, narrowed) and DejaVu Sans for the marks, pixel sized.
QFont sans(double pixelSize, bool bold = false);
QFont dejavu(double pixelSize, bool bold = false);

// A transparent ARGB32 premultiplied canvas.
QImage canvas(int width, int height);

// Saves as 8-bit RGBA PNG; returns false with a message on failure.
bool savePng(const QImage& image, const QString& path, QString* error);

// Text drawn as a filled outline: identical at every scale and free of hinting.
void fillText(QPainter& p, const QPointF& baseline, const QString& text, const QFont& font,
              const QColor& colour);
double textWidth(const QString& text, const QFont& font);

// Text aligned inside a rectangle (Qt::Alignment flags), drawn as an outline.
void fillTextIn(QPainter& p, const QRectF& box, int align, const QString& text, const QFont& font,
                const QColor& colour);

// The corners of a rounded rectangle: quarter ellipses of the given height,
// the left ones and the right ones each of their own width.
struct CornerRadii {
    double left = 0, right = 0, vertical = 0;
    CornerRadii scaled(double factor) const { return {left * factor, right * factor, vertical * factor}; }
    CornerRadii shrunk(double by) const { return {left - by, right - by, vertical - by}; }
};

// Share of the pixel (x, y) inside a rounded rectangle, sampled n x n times.
double roundedCoverage(const QRectF& rect, CornerRadii radii, int x, int y, int n = 16);

// The outline of a rounded rectangle, for painting and clipping.
QPainterPath roundedPath(const QRectF& rect, CornerRadii radii);

// Brazilian money and number formats: "R$ 1.234,56", "1.234", "12,5%".
QString money(double value, int decimals = 2);
QString number(double value, int decimals = 0);
QString percent(double value, int decimals = 1);

// Puzzle piece filling a unit square centred on the origin (knobs right and top).
QPainterPath puzzlePiece(double size);

// Sets alpha to 0 or 255 (threshold half) and keeps the colour unpremultiplied.
QImage binaryAlpha(const QImage& image);

} // namespace art
