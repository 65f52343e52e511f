#include "ui/Geometry.h"

#include <algorithm>
#include <cmath>

int roundHalfEven(double value) {
    const double floor = std::floor(value);
    const double diff = value - floor;
    double result = floor;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(floor, 2.0) != 0.0))
        result = floor + 1.0;
    return static_cast<int>(result);
}

QSize fitSize(QSize picture, QSize box) {
    if (picture.isEmpty() || box.isEmpty())
        return picture;
    const double ratio =
        std::max(double(picture.width()) / box.width(), double(picture.height()) / box.height());
    if (ratio < 1.0)
        return picture;
    return {roundHalfEven(picture.width() / ratio), roundHalfEven(picture.height() / ratio)};
}
