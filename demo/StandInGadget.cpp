#include "StandInGadget.h"

#include "Database.h"
#include "IniFile.h"
#include "Settings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>

#include <memory>
#include <unistd.h>

namespace {

const QString ExeSuffix = QStringLiteral(".exe");

// Firebird's embedded engine lets one process at a time have a database
// file open, and thirteen gadgets start together: they take turns through a
// lock of their own, keyed by the file.
std::unique_ptr<QLockFile> takeDatabaseTurn(const QString& databaseName) {
    if (!QDir::isAbsolutePath(databaseName))
        return nullptr; // a server's database: the server shares it
    const QByteArray key = QCryptographicHash::hash(databaseName.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    auto lock = std::make_unique<QLockFile>(QDir::tempPath() + QStringLiteral("/orvanto-gadget-%1-%2.lock")
                                                                   .arg(::getuid())
                                                                   .arg(QString::fromLatin1(key)));
    lock->tryLock(20000); // after that, try anyway
    return lock;
}

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
    settings.databaseName = DatabaseNameFor(read("LocRem"), read("Protocolo"), read("Servidor"), read("CaminhoBanco"));
    settings.user = read("Usuario");
    settings.password = read("Senha");
    settings.branch = read("Filial");
    return settings;
}

std::optional<QString> lookupBranchName(const GadgetSettings& settings) {
    const auto turn = takeDatabaseTurn(settings.databaseName);
    // Someone outside the gadgets (the panel's settings dialog) may hold
    // the file for a moment: a few tries before giving up.
    constexpr int attempts = 5;
    for (int attempt = 1;; ++attempt) {
        try {
            return lookupOnce(settings);
        } catch (const SettingsError&) {
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

bool saveWindowPosition(const QString& iniPath, const QString& section, QPoint pos) {
    if (!QFileInfo::exists(iniPath))
        return false;
    // Gadgets write one after the other, each on the file as the last one
    // left it; the panel does not take part, as it never did.
    QLockFile lock(iniPath + QStringLiteral(".lock"));
    lock.tryLock(5000);
    if (readWindowPosition(iniPath, section) == pos)
        return false;
    IniFile ini(iniPath);
    ini.write(section, QStringLiteral("Left"), QString::number(pos.x()));
    ini.write(section, QStringLiteral("Top"), QString::number(pos.y()));
    ini.release();
    return true;
}
