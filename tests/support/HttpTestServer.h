#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QSslConfiguration;
class QTcpServer;

// A small HTTP server on 127.0.0.1 for tests: serves fixed pages, some of
// them behind a login, over plain HTTP or TLS, and keeps every request it
// got. Stops when it is destroyed.
class HttpTestServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString path;
        // Header names in lower case.
        QHash<QByteArray, QByteArray> headers;
    };

    explicit HttpTestServer(QObject* parent = nullptr);
    ~HttpTestServer() override;

    // Plain HTTP on a loopback address (another one than 127.0.0.1 is a
    // site of its own for the browser).
    bool start(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost));
    // The same over TLS with the given certificate and key.
    bool startTls(const QSslConfiguration& tls);
    quint16 port() const;
    QString url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const;

    void addPage(const QString& path, const QByteArray& body,
                 const QByteArray& contentType = "text/html; charset=utf-8");
    // Header lines ("Name: value\r\n") the page is sent with.
    void setHeaders(const QString& path, const QByteArray& lines) { m_headers[path] = lines; }
    // A file to download, sent a chunk at a time; with breakAfter >= 0 the
    // connection breaks after that many bytes, every time.
    void addDownload(const QString& path, const QByteArray& body, int chunk, int intervalMs,
                     qint64 breakAfter = -1);
    // The page answers 401 with this body unless the request logs in (Basic).
    void protect(const QString& path, const QString& realm, const QString& user,
                 const QString& password, const QByteArray& refusal);
    int hits(const QString& path) const { return m_hits.value(path); }
    QStringList requestedPaths() const { return m_order; }
    const QList<Request>& requests() const { return m_requests; }

private:
    struct Login {
        QString realm;
        QByteArray authorization;
        QByteArray refusal;
    };
    struct Download {
        QByteArray body;
        int chunk = 0;
        int intervalMs = 0;
        qint64 breakAfter = -1;
    };
    void listenOn(QTcpServer* server);
    void stream(class QTcpSocket* socket, const QString& path, const Download& download);
    void serve(class QTcpSocket* socket);

    QTcpServer* m_server = nullptr;
    QHash<QString, std::pair<QByteArray, QByteArray>> m_pages;
    QHash<QString, QByteArray> m_headers;
    QHash<QString, Login> m_logins;
    QHash<QString, Download> m_downloads;
    QHash<QString, int> m_hits;
    QStringList m_order;
    QList<Request> m_requests;
};
