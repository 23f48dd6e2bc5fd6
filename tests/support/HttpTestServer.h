#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

class QTcpServer;

// A small HTTP server on 127.0.0.1 for tests: serves fixed pages and counts
// the requests for each path. Stops when it is destroyed.
class HttpTestServer : public QObject {
    Q_OBJECT
public:
    explicit HttpTestServer(QObject* parent = nullptr);
    ~HttpTestServer() override;

    bool start();
    quint16 port() const;
    QString url(const QString& path) const;

    void addPage(const QString& path, const QByteArray& body,
                 const QByteArray& contentType = "text/html; charset=utf-8");
    int hits(const QString& path) const { return m_hits.value(path); }
    QStringList requestedPaths() const { return m_order; }

private:
    void serve(class QTcpSocket* socket);

    QTcpServer* m_server;
    QHash<QString, std::pair<QByteArray, QByteArray>> m_pages;
    QHash<QString, int> m_hits;
    QStringList m_order;
};
