#include "HttpTestServer.h"

#include <QTcpServer>
#include <QTcpSocket>

HttpTestServer::HttpTestServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

HttpTestServer::~HttpTestServer() {
    m_server->close();
}

bool HttpTestServer::start() {
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 HttpTestServer::port() const {
    return m_server->serverPort();
}

QString HttpTestServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void HttpTestServer::addPage(const QString& path, const QByteArray& body,
                             const QByteArray& contentType) {
    m_pages.insert(path, {contentType, body});
}

void HttpTestServer::serve(QTcpSocket* socket) {
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    const qsizetype end = request.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("request", request);
        return;
    }
    socket->setProperty("request", request.mid(end + 4));
    const QList<QByteArray> line = request.left(request.indexOf("\r\n")).split(' ');
    const QString path = line.size() > 1 ? QString::fromLatin1(line.at(1)) : QString();
    m_hits[path] += 1;
    m_order << path;
    QByteArray response;
    // A resource that never comes keeps its page loading.
    if (path.startsWith(QLatin1String("/hang")))
        return;
    if (m_pages.contains(path)) {
        const auto& [type, body] = m_pages.value(path);
        response =
            "HTTP/1.1 200 OK\r\nContent-Type: " + type +
            "\r\nCache-Control: no-store\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\n\r\n" + body;
    } else {
        const QByteArray body = "not found";
        response = "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: " +
                   QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }
    socket->write(response);
}
