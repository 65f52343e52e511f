#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

#include <optional>

class QWidget;

enum class MessageKind { Plain, Warning, Error };

// Every service of the desktop platform that the program uses, behind one
// interface: the real one shows boxes and starts processes, the tests' one
// records what was asked and answers for the user.
class Platform {
public:
    virtual ~Platform() = default;

    // A modal box with one "OK" button, centred on the primary screen.
    virtual void messageBox(MessageKind kind, const QString& caption, const QString& text) = 0;
    // Starts an executable by its full path, detached, with no arguments and
    // no working directory given. Not waited for and not tracked.
    virtual void startProgram(const QString& path, QWidget* owner) = 0;
    // The folder chooser (folders only), owned by owner; empty when cancelled.
    virtual QString selectFolder(QWidget* owner, const QString& title) = 0;
    // The open-file chooser; nothing when cancelled.
    virtual std::optional<QString> openFile(QWidget* owner) = 0;
    virtual QPoint cursorPos() = 0;
    // Size of the primary screen in pixels.
    virtual QSize screenSize() = 0;
};

// The platform in use. Tests install theirs with setPlatform(); passing
// nullptr goes back to the desktop's own, which the application object
// installs with setStandardPlatform() (a program without one has no boxes
// to show, and asking for one then is a fault of the program).
Platform& platform();
void setPlatform(Platform* replacement);
Platform* standardPlatform();
void setStandardPlatform(Platform* desktop);
