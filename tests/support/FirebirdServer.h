#pragma once

// A private Firebird server for the tests of the remote database forms:
// /usr/sbin/firebird started on 127.0.0.1 on a free port, with its own
// configuration folder, lock folder and security database holding a test
// user made here. A server already running on the machine is neither used
// nor disturbed. Stopped when the object goes.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class FirebirdServer {
public:
    // The server program; tests skip the remote cases when it is absent.
    static inline QString program = QStringLiteral("/usr/sbin/firebird");
    static bool installed();

    // Starts the server and waits until it accepts connections; throws
    // std::runtime_error when it cannot be started.
    FirebirdServer();
    ~FirebirdServer();
    FirebirdServer(const FirebirdServer&) = delete;
    FirebirdServer& operator=(const FirebirdServer&) = delete;

    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return m_port; }
    // "127.0.0.1/<port>": the server part of a TCP database name.
    QString hostPort() const { return host() + QLatin1Char('/') + QString::number(m_port); }
    // The TCP database name of a file on this server: "127.0.0.1/<port>:<path>".
    QString databaseName(const QString& path) const { return hostPort() + QLatin1Char(':') + path; }

    QString user() const { return QStringLiteral("SYSDBA"); }
    QString password() const { return m_password; }

    // A folder the server can read, for the test databases.
    QString dataFolder() const;

    // Stops the server now (a lost server, as its clients see it).
    void stop();
    // Freezes the server process (SIGSTOP) or lets it go on (SIGCONT): its
    // connections stay open, and nothing answers meanwhile.
    void freeze(bool frozen);

private:
    void writeConfig();
    void createSecurityDatabase();
    bool waitUntilListening(int timeoutMs);

    QTemporaryDir m_dir;
    QString m_password;
    int m_port = 0;
    std::unique_ptr<QProcess> m_process;
};

// Skips the current test when no server program is installed.
#define ORVANTO_REQUIRE_FIREBIRD_SERVER()                                                                    \
    do {                                                                                                     \
        if (!FirebirdServer::installed())                                                                    \
            QSKIP("no Firebird server program (firebird3.0-server) installed: remote forms not tested");     \
    } while (false)
