#pragma once

// A private X server (Xvfb, which runs no window manager and no compositor)
// for the life of the object. Xvfb picks a free display number itself and
// tells it through -displayfd, so two tests never race for one; with
// XVFB_DISPLAY=N in the environment it takes display :N instead (a machine
// that gives each user a number of their own: run such tests one at a
// time). Make it
// before the application object, which connects to the display at once:
//
//     PrivateXServer x;
//     x.use(); // DISPLAY and QT_QPA_PLATFORM=xcb for this process
//
// startWindowManager() adds a desktop's window manager (openbox: click to
// focus, new windows focused, the focus given back to a window's owner when
// a box closes), for tests of what a user gets on a real desktop.

#include <QByteArray>
#include <QTemporaryDir>

#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

class PrivateXServer {
public:
    explicit PrivateXServer(const char* screen = "1600x1400x24") {
        if (const char* given = getenv("XVFB_DISPLAY"); given && *given) {
            startOn(std::string(given[0] == ':' ? given + 1 : given), screen);
            return;
        }
        int fds[2];
        if (pipe(fds) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            detachFromTest();
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
                   "-wr", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&wait, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty())
            m_display = ":" + number;
    }
    ~PrivateXServer() {
        if (m_wm > 0) {
            kill(m_wm, SIGTERM);
            waitpid(m_wm, nullptr, 0);
        }
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // ":N", or empty when the server did not start.
    const std::string& display() const { return m_display; }

    // Points this process (and what it starts) at the server.
    bool use() const {
        if (m_display.empty())
            return false;
        qputenv("DISPLAY", QByteArray::fromStdString(m_display));
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }

    // Starts the window manager and waits (10 s at most) until it runs.
    bool startWindowManager() {
        if (m_display.empty() || !m_wmDir.isValid())
            return false;
        const std::string ready = m_wmDir.filePath(QStringLiteral("ready")).toStdString();
        const std::string home = m_wmDir.path().toStdString();
        m_wm = fork();
        if (m_wm == 0) {
            detachFromTest();
            setenv("DISPLAY", m_display.c_str(), 1);
            setenv("XDG_CONFIG_HOME", home.c_str(), 1); // no user's own configuration, nothing written there
            setenv("XDG_CACHE_HOME", home.c_str(), 1);
            const std::string startup = "touch '" + ready + "'";
            execlp("openbox", "openbox", "--sm-disable", "--startup", startup.c_str(),
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 200; ++i) {
            if (access(ready.c_str(), F_OK) == 0)
                return true;
            if (waitpid(m_wm, nullptr, WNOHANG) == m_wm) {
                m_wm = -1;
                return false;
            }
            usleep(50000);
        }
        return false;
    }

private:
    // Xvfb on the display number given, ready once its socket is there
    // (20 s at most); no display when the number is taken.
    void startOn(const std::string& number, const char* screen) {
        const std::string display = ":" + number;
        const std::string socket = "/tmp/.X11-unix/X" + number;
        m_pid = fork();
        if (m_pid == 0) {
            detachFromTest();
            execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", screen, "-nolisten", "tcp", "-wr",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; m_pid > 0 && i < 400; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            if (access(socket.c_str(), F_OK) == 0) {
                m_display = display;
                return;
            }
            usleep(50000);
        }
    }

    // In a child: it dies with the test, and holds none of the test's
    // output pipes, so a test that crashes is not waited for until its time-out.
    static void detachFromTest() {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            if (null > STDERR_FILENO)
                close(null);
        }
    }

    pid_t m_pid = -1;
    pid_t m_wm = -1;
    QTemporaryDir m_wmDir;
    std::string m_display;
};
