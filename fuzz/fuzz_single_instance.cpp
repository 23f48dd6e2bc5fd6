// Bytes a second start (or any local program) writes to the running
// instance's channel. They go through a real local socket to a listening
// SingleInstance in this process. First byte: how many pieces the bytes are
// written in (1..4); the rest is what is written.

#include "FuzzCheck.h"
#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTemporaryDir>
#include <QtEndian>

#include <sys/ioctl.h>

namespace {

QCoreApplication* app = nullptr;
QTemporaryDir* appDir = nullptr;
SingleInstance* instance = nullptr;
QLocalServer* server = nullptr;
QStringList received;

constexpr int GiveUpMs = 2000;

// What the framing promises: "KVX1", a big-endian length of at most
// MaxMessageBytes, then that many bytes of UTF-8. Anything after is ignored.
struct Expected {
    bool delivered = false;
    QString address;
};

Expected expectedFor(const QByteArray& bytes) {
    Expected e;
    if (bytes.size() < 8 || !bytes.startsWith("KVX1"))
        return e;
    const quint32 length = qFromBigEndian<quint32>(bytes.constData() + 4);
    if (length > quint32(SingleInstance::MaxMessageBytes) || quint32(bytes.size() - 8) < length)
        return e;
    e.delivered = true;
    e.address = QString::fromUtf8(bytes.mid(8, qsizetype(length)));
    return e;
}

// The instance has read everything sent so far: nothing waits in the
// kernel or in its socket.
bool consumed(const QPointer<QLocalSocket>& peer) {
    if (peer.isNull())
        return true;
    int waiting = 0;
    const qintptr fd = peer->socketDescriptor();
    if (fd < 0 || ::ioctl(int(fd), FIONREAD, &waiting) != 0)
        waiting = 0;
    return waiting == 0 && peer->bytesAvailable() == 0;
}

template <typename Done> bool spinUntil(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > GiveUpMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // No event loop runs here, so deleteLater needs a push.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    app = new QCoreApplication(*argc, *argv);
    appDir = new QTemporaryDir();
    instance = new SingleInstance(appDir->path());
    FUZZ_CHECK(instance->listen());
    server = instance->findChild<QLocalServer*>();
    FUZZ_CHECK(server);
    QObject::connect(instance, &SingleInstance::addressReceived,
                     [](const QString& address) { received.append(address); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int pieces = 1 + in.byte() % 4;
    const QByteArray bytes = in.rest();
    const Expected expected = expectedFor(bytes);
    received.clear();

    QLocalSocket client;
    client.connectToServer(instance->serverName());
    FUZZ_CHECK(client.waitForConnected(GiveUpMs));
    // The instance's end of this connection; its end is the sign that the
    // instance has finished with the bytes.
    QPointer<QLocalSocket> peer;
    FUZZ_CHECK(spinUntil([&] {
        peer = server->findChild<QLocalSocket*>();
        return !peer.isNull();
    }));

    const qsizetype step = bytes.size() / pieces + 1;
    // Once a whole message is out, the instance answers and hangs up; more
    // bytes would only hit a closed connection and make the client drop the
    // answer it has not read yet. A real second start sends nothing after its
    // message.
    QByteArray sent;
    for (qsizetype from = 0;
         from < bytes.size() && client.state() == QLocalSocket::ConnectedState &&
         !expectedFor(sent).delivered;
         from += step) {
        sent += bytes.mid(from, step);
        client.write(bytes.mid(from, step));
        client.flush();
        // Each piece is read on its own before the next one is sent.
        if (from + step < bytes.size())
            spinUntil([&] { return consumed(peer); });
    }
    client.flush();

    QByteArray reply;
    QObject::connect(&client, &QLocalSocket::readyRead, [&] { reply += client.readAll(); });
    if (expected.delivered) {
        // The instance answers and hangs up by itself.
        FUZZ_CHECK2(spinUntil([&] {
                        return peer.isNull() && client.state() == QLocalSocket::UnconnectedState;
                    }),
                    QStringLiteral("no answer to a whole message"));
    } else {
        // An incomplete or foreign message must not be taken; the client
        // leaving must end the connection on the instance's side.
        spinUntil([&] { return consumed(peer); });
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        client.disconnectFromServer();
        FUZZ_CHECK2(spinUntil([&] { return peer.isNull(); }),
                    QStringLiteral("connection not closed after the client left"));
    }
    reply += client.readAll();

    if (expected.delivered) {
        FUZZ_CHECK2(received == QStringList{expected.address},
                    QStringLiteral("received %1 messages").arg(received.size()));
        FUZZ_CHECK2(reply == "OK", QString::fromLatin1(reply.toPercentEncoding()));
    } else {
        FUZZ_CHECK2(received.isEmpty(), received.value(0));
        FUZZ_CHECK(reply.isEmpty());
    }
    return 0;
}
