#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The channel between a second start and the running instance: one
// length-prefixed UTF-8 message (the address, possibly empty), answered once
// the running instance has taken it.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The channel belongs to this user and this program directory.
    explicit SingleInstance(const QString& appDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    QString serverName() const { return m_name; }

    // Second start: hands the address over and waits for the answer. False
    // when no instance runs (or it did not answer).
    bool handOff(const QString& address, int timeoutMs = 10000);
    // Running instance: listens for second starts; a socket left by a crashed
    // instance is removed first.
    bool listen();

    // Largest message accepted, and how long a client may take to send it.
    static constexpr int MaxMessageBytes = 64 * 1024;
    static constexpr int ClientTimeoutMs = 3000;

signals:
    void addressReceived(const QString& address);

private:
    void onNewConnection();
    void readClient(QLocalSocket* socket);

    QString m_name;
    QLocalServer* m_server = nullptr;
};
