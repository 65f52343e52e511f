#include "platform/QtPlatform.h"

#include "platform/EndSignals.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {
// Centred on the primary screen once the box has taken its final size,
// which it only does while it is being shown.
class CentredMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->geometry().center());
            move(frame.topLeft());
        }
    }
};
} // namespace

void QtPlatform::messageBox(MessageKind kind, const QString& caption, const QString& text) {
    if (endRequested())
        return; // the program is ending: nobody is left to answer a box
    // Texts carry Windows line breaks; a lone "\n" is what Qt draws as one.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QMessageBox::Icon icon = kind == MessageKind::Warning ? QMessageBox::Warning
                                   : kind == MessageKind::Error ? QMessageBox::Critical
                                                                : QMessageBox::NoIcon;
    CentredMessageBox box(icon, caption, shown, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

std::optional<QString> QtPlatform::openFile(QWidget* owner) {
    const QString file = QFileDialog::getOpenFileName(owner);
    if (file.isEmpty())
        return std::nullopt;
    return file;
}

QPoint QtPlatform::cursorPos() {
    return QCursor::pos();
}

QSize QtPlatform::screenSize() {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry().size();
    return {};
}
