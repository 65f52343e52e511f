#pragma once

class QImage;
class QRegion;

// Whether the window system blends a translucent window with what lies
// behind it (a compositor runs). Where it does not, the panel takes a mask.
bool windowSystemBlendsAlpha();

// The pixels of an image whose alpha is at least threshold: the panel's
// shape when its alpha cannot be shown.
QRegion opaqueRegion(const QImage& image, int threshold = 128);
