#include "FirebirdServer.h"

#include <csignal>

#include "ErpDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port nobody listens on now; the kernel picks it.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        throw std::runtime_error("socket() failed");
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(fd);
    if (!ok)
        throw std::runtime_error("no free port on 127.0.0.1");
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in address = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

void writeText(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0)
        throw std::runtime_error(("cannot write " + path).toStdString());
}

} // namespace

bool FirebirdServer::installed() {
    return QFileInfo(program).isExecutable();
}

FirebirdServer::FirebirdServer() {
    if (!m_dir.isValid())
        throw std::runtime_error("cannot make the server's folder");
    if (!installed())
        throw std::runtime_error(("no server program at " + program).toStdString());
    QDir(m_dir.path()).mkpath(QStringLiteral("lock"));
    QDir(m_dir.path()).mkpath(QStringLiteral("data"));
    m_password = QStringLiteral("t%1").arg(QRandomGenerator::global()->generate() % 1000000000u);

    // Another program may take the free port before the server binds it:
    // try a few ports.
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = freePort();
        writeConfig();
        if (attempt == 0)
            createSecurityDatabase();

        m_process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FIREBIRD"), m_dir.path());
        env.insert(QStringLiteral("FIREBIRD_LOCK"), m_dir.filePath(QStringLiteral("lock")));
        env.insert(QStringLiteral("FIREBIRD_TMP"), m_dir.filePath(QStringLiteral("lock")));
        m_process->setProcessEnvironment(env);
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        // The server must not outlive a test that crashes.
        m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process->start(program, {});
        if (m_process->waitForStarted(10000) && waitUntilListening(20000))
            return;
        stop();
    }
    throw std::runtime_error("the test Firebird server did not start");
}

FirebirdServer::~FirebirdServer() {
    stop();
}

QString FirebirdServer::dataFolder() const {
    return m_dir.filePath(QStringLiteral("data"));
}

void FirebirdServer::writeConfig() {
    const QString security = m_dir.filePath(QStringLiteral("security3.fdb"));
    writeText(m_dir.filePath(QStringLiteral("firebird.conf")),
              QStringLiteral("RemoteServicePort = %1\n"
                             "RemoteBindAddress = 127.0.0.1\n"
                             "SecurityDatabase = %2\n"
                             "ServerMode = Super\n"
                             "AuthServer = Srp\n"
                             "UserManager = Srp\n")
                  .arg(m_port)
                  .arg(security));
    writeText(m_dir.filePath(QStringLiteral("databases.conf")),
              QStringLiteral("security.db = %1\n").arg(security));
}

// The server's own user list: a fresh security database with the test
// user, made through the embedded engine under the server's configuration.
void FirebirdServer::createSecurityDatabase() {
    const QStringList env{QStringLiteral("FIREBIRD=") + m_dir.path(),
                          QStringLiteral("FIREBIRD_LOCK=") + m_dir.filePath(QStringLiteral("lock")),
                          QStringLiteral("FIREBIRD_TMP=") + m_dir.filePath(QStringLiteral("lock"))};
    const QString security = m_dir.filePath(QStringLiteral("security3.fdb"));
    runIsql(QStringLiteral("CREATE DATABASE %1 USER %2;\nCOMMIT;\n")
                .arg(sqlLiteral(security), sqlLiteral(user())),
            env);
    runIsql(QStringLiteral("CONNECT %1 USER %2;\nCREATE USER %3 PASSWORD %4;\nCOMMIT;\n")
                .arg(sqlLiteral(security), sqlLiteral(user()), user(), sqlLiteral(m_password)),
            env);
}

bool FirebirdServer::waitUntilListening(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (m_process->state() != QProcess::Running)
            return false;
        if (accepts(m_port))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void FirebirdServer::freeze(bool frozen) {
    if (m_process && m_process->state() != QProcess::NotRunning)
        ::kill(pid_t(m_process->processId()), frozen ? SIGSTOP : SIGCONT);
}

void FirebirdServer::stop() {
    freeze(false); // a frozen process would not take the end
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) { // it sometimes lingers on SIGTERM
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}
