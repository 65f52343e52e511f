#pragma once

// Reading the colours a window draws: grabs, pixels and colour distances.

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

// The window as it draws itself now, alpha included.
inline QImage shot(QWidget* window) {
    return window->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// A pixel of the window, at a point given inside one of its controls.
inline QColor pixelOf(const QImage& windowShot, QWidget* window, QWidget* control, QPoint at) {
    return QColor::fromRgba(windowShot.pixel(control->mapTo(window, at)));
}

// The largest difference in any channel, alpha included.
inline int distance(const QColor& a, const QColor& b) {
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                     std::abs(a.blue() - b.blue()), std::abs(a.alpha() - b.alpha())});
}

inline QString describe(const QColor& c) {
    return c.name(QColor::HexArgb);
}

// Passes when the colour is within tolerance of the one expected, telling both when not.
#define COMPARE_COLOUR(actual, expected, tolerance)                                                          \
    do {                                                                                                     \
        const QColor a_ = (actual), e_ = (expected);                                                         \
        QVERIFY2(distance(a_, e_) <= (tolerance),                                                            \
                 qPrintable(QStringLiteral("%1 is %2, expected %3")                                          \
                                .arg(QStringLiteral(#actual), describe(a_), describe(e_))));                 \
    } while (false)
