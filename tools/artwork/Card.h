#pragma once

#include <QImage>
#include <QRectF>

namespace art {

// The card's outline: the outer edge of its translucent rim. Everything outside
// is transparent, the rim is partly transparent, everything inside opaque.
inline const QRectF kCardOutline(1, 2, 638, 579);
inline constexpr double kCardRadius = 40;

// The panel's background, 640 x 583 times ratio: white card, header band with
// the product and maker's marks, and the light-grey inset panel for the list
// and preview.
QImage backgroundCard(double ratio);

} // namespace art
