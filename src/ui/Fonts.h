#pragma once

// Makes "Tahoma" available: the system's own when it has one, else the free
// Tahoma that Debian ships with its Wine fonts.
void ensureTahoma();

// The dialog's captions are in the interface font, "Segoe UI"; where it is
// missing, a packaged sans-serif of similar width stands in for it.
void ensureInterfaceFont();

class QLabel;

// Sizes a caption to its text on one line, never below its designed size:
// where a fallback font is wider than the designed one, the caption widens
// (or grows taller) instead of clipping its text.
void fitToText(QLabel* label);
