#pragma once

#include "Paint.h"

#include <QImage>
#include <QRectF>

namespace art {

// The card's outline is the panel's shape: 4,850 fully and 2,891 partly
// transparent pixels, all along it, with straight sides from row 42 to 540
// (the artwork test counts them). Outside it everything is transparent;
// between it and the opaque inside runs a rim one pixel wide on the straight
// sides and wider round the corners, which are quarter ellipses. The corners
// are not all alike, as those counts need: the left ones are a little
// narrower outside and wider inside than the right ones, and the top and
// bottom edges stand a fiftieth and a twenty-fifth of a pixel inside their
// pixel rows' edges. The 2x picture, averaged, gives the window the same
// mask as this one.
inline const QRectF kCardOutline(QPointF(0, 2.02), QPointF(639, 580.96));
inline constexpr CornerRadii kCardCorners{52.75, 53, 41};
inline const QRectF kCardInside(QPointF(1, 3), QPointF(638, 580));
inline constexpr CornerRadii kCardInsideCorners{57.5, 58, 40};

// The panel's background, 640 x 583 times ratio: white card, header band with
// the product and maker's marks, and the light-grey inset panel for the list
// and preview.
QImage backgroundCard(double ratio);

} // namespace art
