#pragma once

#include "StandInGadget.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QThread;

// The stand-in gadget's window: titled with the gadget's caption, it shows
// the gadget's preview, what the gadget read from the settings file (never
// the password) and the branch's name once the database has answered. It
// keeps its position in its own section of the settings file.
class GadgetWindow : public QWidget {
public:
    // gadget may be nullptr: a program started under another name says how
    // it is meant to be used.
    GadgetWindow(const Gadget* gadget, const QString& programName, const QString& iniPath);
    ~GadgetWindow() override;

    // Whether the database is still being asked (it can take a server's
    // time-out to answer).
    bool lookupRunning() const;

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLook(const QString& programName);
    void placeWindow();
    void startBranchLookup();
    void showBranch(const std::optional<QString>& name, const QString& error);
    void savePosition();
    void setStatus(const QString& text, bool problem);
    void setSectionNote(const QString& text);
    void fitHeight();

    const Gadget* m_gadget;
    QString m_iniPath;
    GadgetSettings m_settings;
    QLabel* m_database = nullptr;
    QLabel* m_user = nullptr;
    QLabel* m_branch = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_section = nullptr;
    QPointer<QThread> m_lookup;
    QTimer m_saveTimer;
    bool m_shown = false;
};
