#pragma once

// A POP3 server on 127.0.0.1 that plays a fixed part: enough of the protocol
// for a mailbox check, with switches for the misbehaviours the poller must
// survive. Records every command line it receives.

#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

struct Pop3Part {
    QByteArray greeting = "+OK POP3 ready\r\n";
    QByteArray capa = "-ERR unknown command\r\n";
    QByteArray stls = "-ERR\r\n";
    int messages = 0;
    bool passwordAccepted = true;
    bool silent = false; // accepts the connection and never says a word
    bool drip = false;   // every reply goes out one byte at a time

    static Pop3Part mailbox(int messages) {
        Pop3Part p;
        p.messages = messages;
        return p;
    }
    static Pop3Part mute() {
        Pop3Part p;
        p.silent = true;
        return p;
    }
    Pop3Part greetingIs(const QByteArray& text) const {
        Pop3Part p = *this;
        p.greeting = text;
        return p;
    }
    Pop3Part capaIs(const QByteArray& text) const {
        Pop3Part p = *this;
        p.capa = text;
        return p;
    }
    Pop3Part stlsIs(const QByteArray& text) const {
        Pop3Part p = *this;
        p.stls = text;
        return p;
    }
    Pop3Part wrongPassword() const {
        Pop3Part p = *this;
        p.passwordAccepted = false;
        return p;
    }
    Pop3Part dripping() const {
        Pop3Part p = *this;
        p.drip = true;
        return p;
    }
};

class ScriptedPop3Server {
public:
    explicit ScriptedPop3Server(Pop3Part part = {}) : m_part(std::move(part)) {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    bool isListening() const { return m_server.isListening(); }
    QString address() const {
        return QStringLiteral("127.0.0.1:") + QString::number(m_server.serverPort());
    }

    int connections = 0;
    int closedByClient = 0;
    QList<QByteArray> commands; // every line received, all connections

    bool received(const QByteArray& word) const {
        for (const QByteArray& c : commands)
            if (c.startsWith(word))
                return true;
        return false;
    }

private:
    struct Peer {
        QTcpSocket* socket = nullptr;
        QByteArray input;
        QByteArray output; // what the drip still has to send
        bool closeWhenSent = false;
        bool afterStls = false;
        QTimer drip;
    };

    void accept() {
        while (QTcpSocket* s = m_server.nextPendingConnection()) {
            ++connections;
            auto peer = std::make_shared<Peer>();
            peer->socket = s;
            peer->drip.setInterval(2);
            QObject::connect(&peer->drip, &QTimer::timeout, s, [this, peer] { dripOne(*peer); });
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, peer] { onInput(*peer); });
            QObject::connect(s, &QTcpSocket::disconnected, s, [this, s, peer] {
                if (!peer->closeWhenSent)
                    ++closedByClient;
                peer->drip.stop();
                s->deleteLater();
            });
            if (!m_part.silent)
                send(*peer, m_part.greeting);
        }
    }

    void onInput(Peer& p) {
        p.input += p.socket->readAll();
        if (p.afterStls) {
            // The client's TLS hello meets a server that cannot speak TLS.
            commands << p.input;
            p.input.clear();
            p.socket->write("this is no TLS\r\n");
            p.socket->disconnectFromHost();
            return;
        }
        int nl;
        while ((nl = p.input.indexOf('\n')) >= 0) {
            const QByteArray line = p.input.left(nl).trimmed();
            p.input.remove(0, nl + 1);
            commands << line;
            if (!m_part.silent)
                answer(p, line.split(' ').first().toUpper());
        }
    }

    void answer(Peer& p, const QByteArray& word) {
        if (word == "CAPA") {
            send(p, m_part.capa);
        } else if (word == "STLS") {
            send(p, m_part.stls);
            p.afterStls = m_part.stls.startsWith("+OK");
        } else if (word == "USER") {
            send(p, "+OK\r\n");
        } else if (word == "PASS") {
            send(p, m_part.passwordAccepted ? QByteArray("+OK Logged in.\r\n")
                                            : QByteArray("-ERR [AUTH] Authentication failed.\r\n"));
        } else if (word == "LIST") {
            QByteArray reply = "+OK " + QByteArray::number(m_part.messages) + " messages:\r\n";
            for (int i = 1; i <= m_part.messages; ++i)
                reply += QByteArray::number(i) + " 120\r\n";
            send(p, reply + ".\r\n");
        } else if (word == "QUIT") {
            send(p, "+OK Logging out.\r\n");
            p.closeWhenSent = true;
            if (!m_part.drip)
                p.socket->disconnectFromHost();
        } else {
            send(p, "-ERR\r\n");
        }
    }

    void send(Peer& p, const QByteArray& data) {
        if (!m_part.drip) {
            p.socket->write(data);
            return;
        }
        p.output += data;
        p.drip.start();
    }

    void dripOne(Peer& p) {
        if (p.output.isEmpty()) {
            p.drip.stop();
            if (p.closeWhenSent)
                p.socket->disconnectFromHost();
            return;
        }
        p.socket->write(p.output.left(1));
        p.socket->flush();
        p.output.remove(0, 1);
    }

    Pop3Part m_part;
    QTcpServer m_server;
};
