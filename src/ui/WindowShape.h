#pragma once

class QImage;
class QRegion;

// Whether the window system blends a translucent window with what lies
// behind it (a compositor runs). Where it does not, the panel takes a mask.
bool windowSystemBlendsAlpha();

// The pixels of an image whose alpha is at least threshold: the panel's
// shape when its alpha cannot be shown. In device-independent pixels, as a
// window's mask is: for an image of device pixel ratio 2 a pixel is the
// square of four, and counts by their average alpha.
QRegion opaqueRegion(const QImage& image, int threshold = 128);
