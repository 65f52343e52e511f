#pragma once

// Where the ERP's database lives, every form of it in one place: the
// stored values (LocRem, Protocolo, Servidor, CaminhoBanco, Comp), the
// dialog's fields, and the name the database client is given.

#include <QString>

#include <optional>

// The database name formed from the location values: TCP "server:path",
// named pipe "\\server\path", SPX "server@path"; empty for a remote location
// without a known protocol; the path unchanged for a local location.
QString DatabaseNameFor(const QString& locRem, const QString& protocolo, const QString& servidor,
                        const QString& caminhoBanco);

// The location as the dialog's fields hold it.
struct LocationFields {
    bool remote = false;
    QString server;    // trimmed
    int protocol = -1; // index in the protocol list; -1 for none picked
    QString path;      // trimmed
};

// The location as the settings file stores it.
struct StoredLocation {
    QString locRem, servidor, protocolo, caminhoBanco, comp;
};

// What a save stores for the fields. A server given by name (the dialog's
// address check says whether the server is an IP address) is reached
// through the "server:path" form: stored as a local path "server:path" with
// Comp "1", whatever the protocol.
StoredLocation packLocation(const LocationFields& fields, bool serverIsAddress);

// The remote switch and the path field for stored values: a path packed
// by the save (Comp "1") is shown remote, without its "server:" part.
struct ShownLocation {
    bool remote = false;
    QString path;
};
ShownLocation unpackLocation(const QString& locRem, const QString& comp, const QString& caminhoBanco);

// The database name the branch list's probe opens for the fields: the path
// for a local location; for a remote one the picked protocol's form, or
// TCP when none is picked; nothing without a server.
std::optional<QString> probeDatabaseName(const LocationFields& fields);

// A path typed as "server:path": the server (before the first ":") and the
// path after it, when the ":" comes after the second character (so a drive
// letter "C:\..." is a path).
struct ServerPath {
    QString server, path;
};
std::optional<ServerPath> splitServerPath(const QString& typed);
