#pragma once

#include "platform/Platform.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>

// The tests' platform: records every box and start, answers the choosers
// from queued answers, and reports a cursor and screen the test chooses.
class RecordingPlatform final : public Platform {
public:
    struct Message {
        MessageKind kind;
        QString caption;
        QString text;
    };

    RecordingPlatform() { setPlatform(this); }
    ~RecordingPlatform() override { setPlatform(nullptr); }

    QList<Message> messages;
    QStringList started;
    QStringList folderTitles;
    QQueue<QString> nextFolders;              // empty text = cancelled
    QQueue<std::optional<QString>> nextFiles; // nullopt = cancelled
    int fileDialogsShown = 0;
    QPoint cursor;
    QSize screen{1920, 1080};
    bool reallyStart = false;                      // also start the program for real
    std::function<void(const Message&)> onMessage; // runs while the "box" is up
    std::function<void(const QString&)> onStart;   // may throw, as a failing start would

    void messageBox(MessageKind kind, const QString& caption, const QString& text) override;
    void startProgram(const QString& path, QWidget* owner) override;
    QString selectFolder(QWidget* owner, const QString& title) override;
    std::optional<QString> openFile(QWidget* owner) override;
    QPoint cursorPos() override { return cursor; }
    QSize screenSize() override { return screen; }

    QStringList texts() const;
};
