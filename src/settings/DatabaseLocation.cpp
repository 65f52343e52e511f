#include "settings/DatabaseLocation.h"

QString DatabaseNameFor(const QString& locRem, const QString& protocolo, const QString& servidor,
                        const QString& caminhoBanco) {
    if (locRem != QLatin1String("R"))
        return caminhoBanco;
    if (protocolo == QLatin1String("0"))
        return servidor + QLatin1Char(':') + caminhoBanco;
    if (protocolo == QLatin1String("1"))
        return QStringLiteral("\\\\") + servidor + QLatin1Char('\\') + caminhoBanco;
    if (protocolo == QLatin1String("2"))
        return servidor + QLatin1Char('@') + caminhoBanco;
    return QString();
}

StoredLocation packLocation(const LocationFields& fields, bool serverIsAddress) {
    StoredLocation stored;
    if (fields.remote) {
        stored.locRem = QStringLiteral("R");
        stored.servidor = fields.server;
        stored.protocolo = QString::number(fields.protocol);
    } else {
        stored.locRem = QStringLiteral("L");
    }
    stored.caminhoBanco = fields.path;
    stored.comp = QStringLiteral("0");
    if (fields.remote && !serverIsAddress) {
        stored.caminhoBanco = fields.server + u':' + fields.path;
        stored.locRem = QStringLiteral("L");
        stored.comp = QStringLiteral("1");
    }
    return stored;
}

ShownLocation unpackLocation(const QString& locRem, const QString& comp, const QString& caminhoBanco) {
    ShownLocation shown;
    shown.remote = locRem == u"R" || (locRem == u"L" && comp == u"1");
    // Without a ":" the whole path stays.
    shown.path = comp == u"1" ? caminhoBanco.mid(caminhoBanco.indexOf(u':') + 1) : caminhoBanco;
    return shown;
}

std::optional<QString> probeDatabaseName(const LocationFields& fields) {
    if (!fields.remote)
        return DatabaseNameFor(QStringLiteral("L"), QString(), QString(), fields.path);
    if (fields.server.isEmpty())
        return std::nullopt;
    const QString protocol = fields.protocol >= 0 ? QString::number(fields.protocol) : QStringLiteral("0");
    return DatabaseNameFor(QStringLiteral("R"), protocol, fields.server, fields.path);
}

std::optional<ServerPath> splitServerPath(const QString& typed) {
    const qsizetype c = typed.indexOf(u':') + 1;
    if (c <= 2)
        return std::nullopt;
    return ServerPath{typed.left(c - 1), typed.mid(c)};
}
