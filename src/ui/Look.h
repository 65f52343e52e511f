#pragma once

#include <QColor>

class QWidget;

// How the two windows look.
//
// The panel is drawn here whole: its captions' fonts and colours, check
// boxes, buttons, divider and slim scroll bar, and its shape. It has no
// style sheet, whose matching of rules against every control would slow
// the first frame the panel is judged by.
//
// The dialog's fonts, text colours and static looks live in its style book
// (styles/dialog.qss); this code adds what a style sheet cannot give:
// controls whose parts fade over 0.1 s or 0.2 s, focus glows, the dotted
// marks of the keyboard's focus, the check and radio marks and the group
// box's broken border. Call it after the dialog's style sheet is set.

// The gadget panel: captions, check boxes, buttons, divider, the list's
// scroll bar, the dotted marks of the keyboard's focus, and a window mask
// cut from the background artwork's alpha where nothing blends the
// translucent window with the desktop.
void applyPanelLook(QWidget* panel);

// The settings dialog: drop-down lists, buttons, "..." buttons, radio
// buttons, the group box, the focus glows of its fields and the dotted
// marks of the keyboard's focus. Also makes the default interface font
// ("Segoe UI") fall back to a packaged sans-serif.
// (The panel's look is in PanelLook.cpp, the dialog's in DialogLook.cpp,
// their painting kit in Paint.h, the window's shape in WindowShape.h.)
void applyDialogLook(QWidget* dialog);

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
inline const QColor FlatHover{0xC0, 0xC0, 0xC0};   // the panel's flat buttons, pointer over
inline const QColor Divider{0xA9, 0xA9, 0xA9};     // the line under the gadget list
inline const QColor Thumb{0xA9, 0xA9, 0xA9};       // the gadget list's scroll bar thumb
} // namespace LookColour
