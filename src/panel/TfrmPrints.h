#pragma once

#include <QWidget>

class ImageBox;

// The hidden preview store: 13 image controls, one per gadget, each holding
// a picture of that gadget's window. Never shown; pictures are decoded the
// first time one is asked for.
class TfrmPrints : public QWidget {
public:
    explicit TfrmPrints(QWidget* parent = nullptr);
    ImageBox* image(const char* name) const;
};

extern TfrmPrints* frmPrints;
