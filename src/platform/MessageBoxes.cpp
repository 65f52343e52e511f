#include "platform/MessageBoxes.h"

#include "platform/Platform.h"

#include <QCoreApplication>

void ShowMessage(const QString& text) {
    platform().messageBox(MessageKind::Plain, QCoreApplication::applicationName(), text);
}

void MessageDlg(const QString& text, TMsgDlgType) {
    platform().messageBox(MessageKind::Warning, QStringLiteral("Warning"), text);
}
