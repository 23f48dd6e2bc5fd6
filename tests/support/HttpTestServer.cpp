#include "HttpTestServer.h"

#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

HttpTestServer::HttpTestServer(QObject* parent) : QObject(parent) {}

HttpTestServer::~HttpTestServer() {
    if (m_server)
        m_server->close();
}

void HttpTestServer::listenOn(QTcpServer* server) {
    m_server = server;
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            if (socket->bytesAvailable() > 0)
                serve(socket);
        }
    });
}

bool HttpTestServer::start(const QHostAddress& address) {
    listenOn(new QTcpServer(this));
    return m_server->listen(address, 0);
}

bool HttpTestServer::startTls(const QSslConfiguration& tls) {
    auto* server = new QSslServer(this);
    server->setSslConfiguration(tls);
    listenOn(server);
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 HttpTestServer::port() const {
    return m_server->serverPort();
}

QString HttpTestServer::url(const QString& path, const QString& host) const {
    const bool tls = qobject_cast<QSslServer*>(m_server);
    return QStringLiteral("%1://%2:%3%4")
        .arg(tls ? QStringLiteral("https") : QStringLiteral("http"), host)
        .arg(port())
        .arg(path);
}

void HttpTestServer::addPage(const QString& path, const QByteArray& body,
                             const QByteArray& contentType) {
    m_pages.insert(path, {contentType, body});
}

void HttpTestServer::addDownload(const QString& path, const QByteArray& body, int chunk,
                                 int intervalMs, qint64 breakAfter) {
    m_downloads.insert(path, {body, chunk, intervalMs, breakAfter});
}

void HttpTestServer::stream(QTcpSocket* socket, const QString& path, const Download& download) {
    const QString name = path.section(QLatin1Char('/'), -1);
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                  "Content-Disposition: attachment; filename=\"" +
                  name.toUtf8() +
                  "\"\r\nContent-Length: " + QByteArray::number(download.body.size()) + "\r\n\r\n");
    auto* timer = new QTimer(socket);
    auto sent = std::make_shared<qint64>(0);
    connect(timer, &QTimer::timeout, socket, [socket, timer, sent, download] {
        // Not faster than the reader takes it.
        if (socket->bytesToWrite() > 4 * download.chunk)
            return;
        const qint64 n = qMin<qint64>(download.chunk, download.body.size() - *sent);
        socket->write(download.body.constData() + *sent, n);
        *sent += n;
        if (*sent >= download.body.size())
            timer->stop();
        if (download.breakAfter >= 0 && *sent >= download.breakAfter) {
            timer->stop();
            socket->abort();
        }
    });
    timer->start(download.intervalMs);
}

void HttpTestServer::protect(const QString& path, const QString& realm, const QString& user,
                             const QString& password, const QByteArray& refusal) {
    m_logins.insert(
        path,
        {realm, "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64(), refusal});
}

void HttpTestServer::serve(QTcpSocket* socket) {
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    const qsizetype end = request.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("request", request);
        return;
    }
    const QList<QByteArray> lines = request.left(end).split('\n');
    const QList<QByteArray> line = lines.value(0).trimmed().split(' ');
    Request seen;
    seen.path = line.size() > 1 ? QString::fromLatin1(line.at(1)) : QString();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon > 0)
            seen.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                                lines.at(i).mid(colon + 1).trimmed());
    }
    // A body (a form sent with POST) is read and dropped; the next request
    // starts after it.
    const qsizetype length = seen.headers.value("content-length").toLongLong();
    if (request.size() < end + 4 + length) {
        socket->setProperty("request", request);
        return;
    }
    socket->setProperty("request", request.mid(end + 4 + length));
    // Pages are found without the query.
    const QString path = seen.path.section(QLatin1Char('?'), 0, 0);
    m_requests << seen;
    m_hits[seen.path] += 1;
    m_order << seen.path;
    // A resource that never comes keeps its page loading.
    if (path.startsWith(QLatin1String("/hang")))
        return;
    QByteArray status = "200 OK";
    QByteArray extra;
    QByteArray type = "text/plain";
    QByteArray body = "not found";
    const auto login = m_logins.constFind(path);
    if (m_downloads.contains(path)) {
        stream(socket, path, m_downloads.value(path));
        return;
    }
    if (login != m_logins.constEnd() &&
        seen.headers.value("authorization") != login->authorization) {
        status = "401 Unauthorized";
        extra = "WWW-Authenticate: Basic realm=\"" + login->realm.toUtf8() + "\"\r\n";
        type = "text/html; charset=utf-8";
        body = login->refusal;
    } else if (m_pages.contains(path)) {
        std::tie(type, body) = m_pages.value(path);
        extra = m_headers.value(path);
    } else {
        status = "404 Not Found";
    }
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\n" + extra +
                  "Cache-Control: no-store\r\nContent-Length: " + QByteArray::number(body.size()) +
                  "\r\n\r\n" + body);
}
