#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QtEndian>
#include <unistd.h>

namespace {
const QByteArray kReply = "OK";
// Every message starts with this, so stray data is told from a hand-off.
const QByteArray kMagic = "KVX1";

QString canonicalDir(const QString& dir) {
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(dir).absolutePath()) : canonical;
}
} // namespace

SingleInstance::SingleInstance(const QString& appDir, QObject* parent) : QObject(parent) {
    const QByteArray hash =
        QCryptographicHash::hash(canonicalDir(appDir).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    m_name = QStringLiteral("korvix-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::~SingleInstance() {
    if (m_server)
        m_server->close();
}

bool SingleInstance::handOff(const QString& address, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(qMin(timeoutMs, 2000)))
        return false;
    const QByteArray payload = address.toUtf8();
    QByteArray length(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), length.data());
    const QByteArray message = kMagic + length + payload;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The second start ends only after the running instance has the address.
    QByteArray reply;
    while (reply.size() < kReply.size()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
        reply += socket.readAll();
    }
    return reply.startsWith(kReply);
}

bool SingleInstance::listen() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    if (m_server->listen(m_name))
        return true;
    // Nobody answered on the name (we are the running instance), so what is
    // there was left by an instance that ended without cleaning up.
    QLocalServer::removeServer(m_name);
    return m_server->listen(m_name);
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readClient(socket); });
        // A client that never finishes its message is dropped.
        QTimer::singleShot(ClientTimeoutMs, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0)
            readClient(socket);
    }
}

void SingleInstance::readClient(QLocalSocket* socket) {
    if (socket->property("done").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    const int head = int(kMagic.size()) + 4;
    if (!kMagic.startsWith(buffer.left(kMagic.size()))) {
        socket->abort();
        return;
    }
    if (buffer.size() >= head) {
        const quint32 length = qFromBigEndian<quint32>(buffer.constData() + kMagic.size());
        if (length > quint32(MaxMessageBytes)) {
            socket->abort();
            return;
        }
        if (quint32(buffer.size() - head) >= length) {
            const QString address = QString::fromUtf8(buffer.mid(head, int(length)));
            socket->setProperty("done", true);
            socket->setProperty("buffer", QByteArray());
            emit addressReceived(address);
            socket->write(kReply);
            socket->flush();
            socket->disconnectFromServer();
            return;
        }
    }
    socket->setProperty("buffer", buffer);
}
