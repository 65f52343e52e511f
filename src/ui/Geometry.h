#pragma once

#include <QSize>

// Nearest whole number, an exact half going to the even neighbour
// (183.5 -> 184, 184.5 -> 184), as window positions are rounded.
int roundHalfEven(double value);

// The size a picture is drawn at in "fit" mode: never enlarged; reduced by
// the larger of the two ratios when it does not fit, rounded half-to-even.
QSize fitSize(QSize picture, QSize box);
