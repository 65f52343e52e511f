#pragma once

// Reads the system's font configuration on a thread of its own while the
// program does what needs no fonts (building the application object): on
// X11 that reading is the largest single step of the start before the first
// frame, and the two can run side by side. The first lookup of a font
// (ensureTahoma, ensureInterfaceFont) waits for it, and so does the
// destructor. Does nothing where the fonts are not configured that way.
class FontConfigurationAhead {
public:
    FontConfigurationAhead();
    ~FontConfigurationAhead();
    FontConfigurationAhead(const FontConfigurationAhead&) = delete;
    FontConfigurationAhead& operator=(const FontConfigurationAhead&) = delete;
};

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
