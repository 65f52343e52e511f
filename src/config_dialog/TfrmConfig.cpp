#include "TfrmConfig.h"

TfrmConfig* frmConfig = nullptr;

TfrmConfig::TfrmConfig(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral("Form1"));
    resize(274, 466);
}
