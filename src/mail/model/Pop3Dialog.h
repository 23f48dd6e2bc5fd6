#pragma once

// One POP3 mailbox check: log in, read the message count, log out. No socket
// here: the poller feeds in whatever bytes arrived and writes out what comes
// back, so every step can be driven and tested without a network.

#include <QByteArray>
#include <QString>

// Where a configured server name points: "host", "host:port",
// "[v6-address]:port", or "pop3s://host[:port]" / "pop3://host[:port]".
// Port 995 is the POP3-over-TLS port, so a server entered with it is reached
// over TLS from the start.
struct Pop3Address {
    static constexpr quint16 PlainPort = 110;
    static constexpr quint16 TlsPort = 995;

    QString host;
    quint16 port = PlainPort;
    bool implicitTls = false;
    bool valid = false;

    static Pop3Address parse(const QString& server);
};

class Pop3Dialog {
public:
    // What the dialog waits for next.
    enum class Phase {
        Greeting,
        Capabilities,   // status line of CAPA
        CapabilityList, // the lines of a positive CAPA reply
        StartTls,       // reply to STLS
        Handshake,      // the connection is switching to TLS
        User,
        Password,
        List,     // status line of LIST
        ListBody, // the scan listing of a positive LIST reply
        Quit,
        Ended,
    };

    enum class Outcome {
        Running,
        Completed,     // QUIT answered
        Refused,       // a reply was not positive; refusedIn() says which
        TlsRefused,    // the server offered STLS and then refused it
        BadCredential, // user name or password cannot be sent as one line
        BadReply,      // a reply line beyond any sane length
    };

    struct Reaction {
        QByteArray send;       // command bytes to write, possibly none
        bool startTls = false; // switch the connection to TLS now
    };

    // Replies longer than this are no POP3 replies (the protocol allows 512).
    static constexpr int MaxLineLength = 8192;

    // encrypted: the connection is already TLS (implicit TLS port).
    Pop3Dialog(const QString& user, const QString& password, bool encrypted);

    // Bytes as they arrived: a reply may come in pieces or several at once.
    Reaction feed(const QByteArray& data);
    // The TLS handshake asked for by a startTls reaction has finished.
    Reaction tlsEstablished();

    Phase phase() const { return m_phase; }
    Outcome outcome() const { return m_outcome; }
    bool isEnded() const { return m_phase == Phase::Ended; }
    bool isEncrypted() const { return m_encrypted; }
    // Phase whose reply ended the dialog as Refused.
    Phase refusedIn() const { return m_refusedIn; }
    // Messages in the mailbox; -1 until LIST has been answered.
    int mailCount() const { return m_mailCount; }

private:
    Reaction onLine(const QByteArray& line);
    Reaction afterCapabilities();
    Reaction sendCredential(const char* command, const QString& value, Phase next);
    void end(Outcome outcome);
    void refuse();

    QString m_user;
    QString m_password;
    QByteArray m_pending; // bytes after the last complete line
    Phase m_phase = Phase::Greeting;
    Phase m_refusedIn = Phase::Ended;
    Outcome m_outcome = Outcome::Running;
    bool m_encrypted = false;
    bool m_offersStls = false;
    int m_mailCount = -1;
    int m_listedLines = 0;
    int m_announcedCount = -1;
};
