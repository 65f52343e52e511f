#include "StandInGadget.h"

#include "settings/Database.h"
#include "settings/DatabaseLocation.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString ExeSuffix = QStringLiteral(".exe");

// A turn among this user's gadgets at a database file, taken with flock(2)
// on a lock file in the user's own settings folder (a shared folder such as
// /tmp would let another user hold the name first). The kernel ends a turn
// when its process dies, so no turn is ever left stale. After timeoutMs the
// waiter goes on without one: the engine then refuses the second opener,
// and the lookup's own retries follow.
class Turn {
public:
    Turn(const QString& folder, const QString& what, int timeoutMs) {
        const QByteArray key =
            QCryptographicHash::hash(what.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
        if (!QDir().mkpath(folder))
            return;
        m_path = QFile::encodeName(folder +
                                   QStringLiteral("/.orvanto-gadget-%1.lock").arg(QString::fromLatin1(key)));
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < timeoutMs) {
            m_fd = ::open(m_path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
            if (m_fd < 0)
                return;
            while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && waited.elapsed() < timeoutMs)
                QThread::msleep(20);
            // The holder before removes the file as it leaves: a lock on a
            // removed file is no turn, so take a fresh one.
            struct stat held {};
            struct stat named {};
            if (::fstat(m_fd, &held) == 0 && ::stat(m_path.constData(), &named) == 0 &&
                held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
                m_held = waited.elapsed() < timeoutMs || ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
                return;
            }
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Turn() {
        if (m_held)
            ::unlink(m_path.constData()); // no lock files left behind
        if (m_fd >= 0)
            ::close(m_fd); // ends the turn
    }
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_held = false;
};

std::optional<QString> lookupOnce(const GadgetSettings& settings) {
    // Destroyed in reverse: query, connection (commits), transaction.
    TTransaction transaction;
    TDatabase database;
    database.DatabaseName = settings.databaseName;
    database.LoginPrompt = false;
    database.Params = ConnectionParams(settings.user, settings.password);
    database.DefaultTransaction = &transaction;
    transaction.DefaultDatabase = &database;
    database.Open();
    TQuery query(&database);
    query.SQL = QStringLiteral("SELECT CODEMPRESA, NOMEEMPRESA FROM FILIAIS");
    query.Open();
    if (!query.Locate(QStringLiteral("CODEMPRESA"), settings.branch))
        return std::nullopt;
    return query.FieldByName(QStringLiteral("NOMEEMPRESA"));
}

} // namespace

const Gadget* gadgetForProgram(const QString& argv0) {
    const QString name = QFileInfo(argv0).fileName();
    for (const Gadget& gadget : GadgetCatalogue) {
        const QString exe = QString::fromUtf8(gadget.executable);
        if (name.compare(exe, Qt::CaseInsensitive) == 0 ||
            name.compare(exe.chopped(ExeSuffix.size()), Qt::CaseInsensitive) == 0)
            return &gadget;
    }
    return nullptr;
}

QString gadgetSection(const Gadget& gadget) {
    QString exe = QString::fromUtf8(gadget.executable);
    if (exe.endsWith(ExeSuffix, Qt::CaseInsensitive))
        exe.chop(ExeSuffix.size());
    return exe;
}

GadgetSettings readGadgetSettings(const QString& iniPath) {
    GadgetSettings settings;
    settings.fileFound = QFileInfo::exists(iniPath);
    if (!settings.fileFound)
        return settings;
    IniFile ini(iniPath);
    auto read = [&](const char* key) { return ini.read(SettingsSection, QString::fromLatin1(key)); };
    settings.databaseName =
        DatabaseNameFor(read("LocRem"), read("Protocolo"), read("Servidor"), read("CaminhoBanco"));
    settings.user = read("Usuario");
    settings.password = read("Senha");
    settings.branch = read("Filial");
    return settings;
}

std::optional<QString> lookupBranchName(const GadgetSettings& settings) {
    // Firebird's embedded engine lets one process at a time have a database
    // file open, and thirteen gadgets start together: they take turns. A
    // server's database needs none; the server shares it.
    std::optional<Turn> turn;
    if (QDir::isAbsolutePath(settings.databaseName))
        turn.emplace(settingsFolder(), settings.databaseName, 20000);
    // Someone outside the gadgets (the panel's settings dialog) may hold
    // the file for a moment: a few tries before giving up.
    constexpr int attempts = 5;
    for (int attempt = 1;; ++attempt) {
        try {
            return lookupOnce(settings);
        } catch (const ShownError&) {
            if (attempt == attempts || !QDir::isAbsolutePath(settings.databaseName) ||
                !QFileInfo::exists(settings.databaseName))
                throw;
            QThread::msleep(300);
        }
    }
}

std::optional<QPoint> readWindowPosition(const QString& iniPath, const QString& section) {
    IniFile ini(iniPath);
    bool leftOk = false;
    bool topOk = false;
    const int left = ini.read(section, QStringLiteral("Left")).toInt(&leftOk);
    const int top = ini.read(section, QStringLiteral("Top")).toInt(&topOk);
    if (!leftOk || !topOk)
        return std::nullopt;
    return QPoint(left, top);
}

bool saveOwnEntries(const QString& iniPath, const QString& section,
                    const QList<std::pair<QString, QString>>& entries) {
    if (!QFileInfo::exists(iniPath))
        return false;
    // The layer's release takes the writers' lock that the panel takes too,
    // and applies these entries to the file as it is then, read once under
    // the lock: the file is never held twice. An entry that already holds
    // its value keeps its line, and a file that holds them all is left alone.
    IniFile ini(iniPath);
    for (const auto& [key, value] : entries)
        ini.write(section, key, value);
    return ini.release(IniFile::Save::OnlyChanges);
}

bool saveWindowPosition(const QString& iniPath, const QString& section, QPoint pos) {
    return saveOwnEntries(iniPath, section,
                          {{QStringLiteral("Left"), QString::number(pos.x())},
                           {QStringLiteral("Top"), QString::number(pos.y())}});
}
