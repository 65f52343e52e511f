#include "RecordingPlatform.h"

#include <QtGlobal>

void RecordingPlatform::messageBox(MessageKind kind, const QString& caption, const QString& text) {
    messages.append({kind, caption, text});
    if (onMessage)
        onMessage(messages.back());
}

void RecordingPlatform::startProgram(const QString& path, QWidget* owner) {
    if (onStart)
        onStart(path);
    started.append(path);
    if (reallyStart) {
        if (!standardPlatform())
            qFatal("reallyStart needs the desktop platform (the program's application object)");
        standardPlatform()->startProgram(path, owner);
    }
}

QString RecordingPlatform::selectFolder(QWidget*, const QString& title) {
    folderTitles.append(title);
    return nextFolders.isEmpty() ? QString() : nextFolders.dequeue();
}

std::optional<QString> RecordingPlatform::openFile(QWidget*) {
    ++fileDialogsShown;
    return nextFiles.isEmpty() ? std::nullopt : nextFiles.dequeue();
}

QStringList RecordingPlatform::texts() const {
    QStringList out;
    for (const auto& m : messages)
        out << m.text;
    return out;
}
