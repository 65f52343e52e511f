#pragma once

// Reading the colours a window draws: grabs, pixels, colour distances and
// dotted lines.

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <QWindow>

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

// The rows and columns of a picture that carry a dotted line in a colour:
// at least `dots` pixels of the colour at every other place along it, the
// places between them of another colour.
struct DottedLines {
    QList<int> rows, columns;

    bool none() const { return rows.isEmpty() && columns.isEmpty(); }
    // The rectangle they draw: from the first to the last row and column.
    QRect frame() const {
        if (rows.isEmpty() || columns.isEmpty())
            return {};
        return QRect(QPoint(columns.first(), rows.first()), QPoint(columns.last(), rows.last()));
    }
    QString describe() const {
        const auto list = [](const QList<int>& numbers) {
            QStringList texts;
            for (const int n : numbers)
                texts << QString::number(n);
            return texts.join(u',');
        };
        return QStringLiteral("dotted rows {%1}, columns {%2}").arg(list(rows), list(columns));
    }
};

inline DottedLines dottedLines(const QImage& picture, const QColor& colour, int dots = 6) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const auto longestRun = [&](int length, auto on) {
        int best = 0;
        for (int start = 0; start < length; ++start) {
            int run = 0;
            for (int i = start; i < length && on(i); i += 2) {
                ++run;
                if (i + 1 < length && on(i + 1))
                    break;
            }
            best = std::max(best, run);
        }
        return best;
    };
    const auto near = [&](int x, int y) {
        return distance(QColor::fromRgba(image.pixel(x, y)), colour) <= 8;
    };
    DottedLines lines;
    for (int y = 0; y < image.height(); ++y)
        if (longestRun(image.width(), [&](int x) { return near(x, y); }) >= dots)
            lines.rows << y;
    for (int x = 0; x < image.width(); ++x)
        if (longestRun(image.height(), [&](int y) { return near(x, y); }) >= dots)
            lines.columns << x;
    return lines;
}

// Passes when the colour is within tolerance of the one expected, telling both when not.
#define COMPARE_COLOUR(actual, expected, tolerance)                                                          \
    do {                                                                                                     \
        const QColor a_ = (actual), e_ = (expected);                                                         \
        QVERIFY2(distance(a_, e_) <= (tolerance),                                                            \
                 qPrintable(QStringLiteral("%1 is %2, expected %3")                                          \
                                .arg(QStringLiteral(#actual), describe(a_), describe(e_))));                 \
    } while (false)

// Tabs on until target has the focus (round the chain when it has it
// already: the window's activation gave it); false after 20 presses.
inline bool tabTo(QWidget* target) {
    int step = 0;
    do
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    while (!target->hasFocus() && ++step < 20);
    return target->hasFocus();
}

// A press on target at `at`, let go at releaseAt of its window instead: the
// press gives the focus, and the control does not act.
inline void pressAndLetGoAt(QWidget* target, QPoint at, QPoint releaseAt) {
    QWindow* window = target->window()->windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, target->mapTo(target->window(), at));
    QTest::mouseMove(window, releaseAt);
    QTest::mouseRelease(window, Qt::LeftButton, {}, releaseAt);
}
