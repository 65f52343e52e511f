#pragma once

#include "platform/Platform.h"

// The real platform: Qt's boxes and choosers, posix_spawn for gadgets.
class QtPlatform final : public Platform {
public:
    void messageBox(MessageKind kind, const QString& caption, const QString& text) override;
    // A program that cannot be started is reported in a plain box naming it.
    void startProgram(const QString& path, QWidget* owner) override;
    // Starts at the desktop folder, as the original platform's picker does.
    QString selectFolder(QWidget* owner, const QString& title) override;
    static QString desktopFolder();
    std::optional<QString> openFile(QWidget* owner) override;
    QPoint cursorPos() override;
    QSize screenSize() override;
};
