#pragma once

#include <QColor>

class QImage;
class QRegion;
class QWidget;

// The finishing touches of the two windows that a style sheet cannot give:
// controls whose parts fade over 0.1 s or 0.2 s, focus glows, the check and
// radio marks, the group box's broken border, and the panel's shape.
// Fonts, text colours and the static looks live in the style books
// (styles/panel.qss, styles/dialog.qss); call these after the window's
// style sheet is set.

// The gadget panel: its check boxes, start button and settings button, and a
// window mask cut from the background artwork's alpha where nothing blends
// the translucent window with the desktop.
void applyPanelLook(QWidget* panel);

// The settings dialog: drop-down lists, buttons, "..." buttons, radio
// buttons, the group box, and the focus glows of its fields. Also makes the
// default interface font ("Segoe UI") fall back to a packaged sans-serif.
void applyDialogLook(QWidget* dialog);

// Whether the window system blends a translucent window with what lies
// behind it (a compositor runs). Where it does not, the panel takes a mask.
bool windowSystemBlendsAlpha();

// The pixels of an image whose alpha is at least threshold: the panel's
// shape when its alpha cannot be shown.
QRegion opaqueRegion(const QImage& image, int threshold = 128);

// Colours the look code paints with, shared with the tests.
namespace LookColour {
inline const QColor Tick{0x69, 0x69, 0x69};          // check mark of a checked box
inline const QColor StartTop{0x69, 0x69, 0x69};      // start button, top stop at rest
inline const QColor StartTopHover{0x80, 0x80, 0x80}; // pointer over it
inline const QColor StartPressFrom{0x70, 0x70, 0x70};
inline const QColor StartPressTo{0xA9, 0xA9, 0xA9};
inline const QColor ListBase{0xEF, 0xEF, 0xEF};    // drop-down lists and buttons at rest
inline const QColor ListHover{0xA5, 0xD9, 0xFF};   // drop-down lists and radio circles, pointer over
inline const QColor ButtonHover{0xA9, 0xA9, 0xA9}; // dialog buttons, pointer over
} // namespace LookColour
