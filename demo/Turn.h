#pragma once

#include <QCryptographicHash>
#include <QString>

// A turn among this user's gadgets at a database file, taken on a lock file
// in the user's own settings folder (a shared folder such as /tmp would let
// another user hold the name first). The system ends a turn when its
// process dies, so no turn is ever left stale. After timeoutMs the waiter
// goes on without one: the engine then refuses the second opener, and the
// lookup's own retries follow.
class Turn {
public:
    Turn(const QString& folder, const QString& what, int timeoutMs);
    ~Turn();
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

private:
    static QString lockFile(const QString& folder, const QString& what) {
        const QByteArray key =
            QCryptographicHash::hash(what.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
        return folder + QStringLiteral("/.orvanto-gadget-%1.lock").arg(QString::fromLatin1(key));
    }

    QString m_path;
    qintptr m_handle = -1; // the system's descriptor or handle of the lock file
    bool m_held = false;
};
