#pragma once

#include <QDialog>

// The settings dialog. (Its fields, loading and saving follow.)
class TfrmConfig : public QDialog {
public:
    explicit TfrmConfig(QWidget* owner);
};

// The settings dialog while it is open; empty at every other moment.
extern TfrmConfig* frmConfig;
