#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

namespace art {

// One gadget's preview: a picture of the gadget's own window at the pixel
// size the preview store expects, times the ratio it is drawn for.
struct Preview {
    QString name; // image name in the preview store, also the file name
    QSize size;
    std::function<QImage(double ratio)> draw;
};

std::vector<Preview> previews();

} // namespace art
