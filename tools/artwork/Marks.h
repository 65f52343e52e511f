#pragma once

// The product mark (also the application icon), the maker's mark and the gear.

#include <QImage>
#include <QRectF>

class QPainter;

namespace art {

// Dark grey rounded square with a silver rim, the letters "Ov" and a silver
// badge holding a puzzle piece; `box` should be square.
void drawProductMark(QPainter& p, const QRectF& box);

// The maker's emblem (a red tile with a white double peak) in a square box.
void drawMakerEmblem(QPainter& p, const QRectF& box);

// Emblem followed by the grey wordmark, fitted into `box` keeping proportions;
// returns the rectangle actually used.
QRectF drawMakerMark(QPainter& p, const QRectF& box);

// The pictures, `ratio` device pixels to a picture pixel (1, or 2 for
// screens of twice the density): the same drawing at ratio times the size.
QImage productIcon(int size, double ratio);
QImage makerLogo(double ratio); // 763 x 209, alpha 0 or 255 only
QImage gearIcon(double ratio);  // 15 x 15

} // namespace art
