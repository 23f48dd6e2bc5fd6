// Whatever a POP3 server (or anything listening on its port) sends back.
// First byte: bit 0 starts on a TLS connection, bit 1 picks a user name that
// cannot be sent; the next two bytes seed how the bytes are cut into pieces.

#include "FuzzCheck.h"
#include "mail/model/Pop3Dialog.h"

#include <QList>

namespace {

using Phase = Pop3Dialog::Phase;
using Outcome = Pop3Dialog::Outcome;

struct Run {
    QByteArray sent;
    bool startTls = false;
    Phase phase = Phase::Greeting;
    Outcome outcome = Outcome::Running;
    Phase refusedIn = Phase::Ended;
    int mailCount = -1;
    bool encrypted = false;

    bool operator==(const Run& o) const {
        return sent == o.sent && startTls == o.startTls && phase == o.phase &&
               outcome == o.outcome && refusedIn == o.refusedIn && mailCount == o.mailCount &&
               encrypted == o.encrypted;
    }
    QString describe() const {
        // Built piece by piece: the sent bytes may hold '%' themselves.
        return QStringLiteral("sent '") + QString::fromLatin1(sent.toPercentEncoding()) +
               QStringLiteral("' tls %1 phase %2 outcome %3 refusedIn %4 count %5")
                   .arg(startTls)
                   .arg(int(phase))
                   .arg(int(outcome))
                   .arg(int(refusedIn))
                   .arg(mailCount);
    }
};

// Only commands of the dialog, each a whole line, may go out; bytes from the
// server are never echoed into a command.
bool wellFormed(const QByteArray& sent, const QByteArray& user, const QByteArray& password) {
    const QList<QByteArray> allowed = {"CAPA", "STLS",         "LIST",
                                       "QUIT", "USER " + user, "PASS " + password};
    if (sent.isEmpty())
        return true;
    if (!sent.endsWith("\r\n"))
        return false;
    const QList<QByteArray> lines = sent.left(sent.size() - 2).split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!allowed.contains(line))
            return false;
    }
    return true;
}

void record(Run& run, const Pop3Dialog& d) {
    run.phase = d.phase();
    run.outcome = d.outcome();
    run.refusedIn = d.refusedIn();
    run.mailCount = d.mailCount();
    run.encrypted = d.isEncrypted();
}

void checkState(const Pop3Dialog& d) {
    FUZZ_CHECK((d.outcome() == Outcome::Running) == !d.isEnded());
    FUZZ_CHECK(d.mailCount() >= -1);
    FUZZ_CHECK(d.outcome() != Outcome::Refused || d.refusedIn() != Phase::Ended);
    FUZZ_CHECK(d.phase() != Phase::Handshake || !d.isEncrypted());
}

// Feeds the server bytes in the given pieces; stops at a TLS switch, since
// the clear-text bytes after it are never to be read.
Run feedInPieces(const QString& user, const QString& password, bool tls, const QByteArray& server,
                 const QList<qsizetype>& cuts) {
    Pop3Dialog d(user, password, tls);
    Run run;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= cuts.size(); ++i) {
        const qsizetype to = i < cuts.size() ? cuts[i] : server.size();
        const Pop3Dialog::Reaction r = d.feed(server.mid(from, to - from));
        from = to;
        run.sent += r.send;
        checkState(d);
        if (r.startTls) {
            FUZZ_CHECK(d.phase() == Phase::Handshake);
            run.startTls = true;
            break;
        }
    }
    // Once the dialog is waiting for the handshake or has ended, nothing
    // more comes out of it, whatever arrives.
    if (run.startTls || d.isEnded()) {
        const Pop3Dialog::Reaction late = d.feed("+OK\r\n+OK 3 1000\r\n.\r\n");
        FUZZ_CHECK(late.send.isEmpty() && !late.startTls);
    }
    record(run, d);
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const quint8 flags = in.byte();
    quint32 seed = in.u16() | 1u;
    const QByteArray server = in.rest();

    const bool tls = flags & 1;
    const QString user = (flags & 2) ? QStringLiteral("anna\r\nDELE 1") : QStringLiteral("anna");
    const QString password = QStringLiteral("geheim");

    const Run whole = feedInPieces(user, password, tls, server, {});
    FUZZ_CHECK2(wellFormed(whole.sent, user.toUtf8(), password.toUtf8()), whole.describe());
    FUZZ_CHECK((flags & 2) == 0 || !whole.sent.contains("USER"));

    // However the bytes are cut on the way, the dialog answers the same.
    QList<qsizetype> cuts;
    qsizetype at = 0;
    while (at < server.size()) {
        seed = seed * 1103515245u + 12345u;
        at += 1 + qsizetype((seed >> 16) % 23);
        if (at < server.size())
            cuts.append(at);
    }
    const Run pieces = feedInPieces(user, password, tls, server, cuts);
    FUZZ_CHECK2(pieces == whole,
                whole.describe() + QStringLiteral(" / in pieces: ") + pieces.describe());

    QList<qsizetype> single;
    for (qsizetype i = 1; i < server.size(); ++i)
        single.append(i);
    const Run bytewise = feedInPieces(user, password, tls, server, single);
    FUZZ_CHECK2(bytewise == whole,
                whole.describe() + QStringLiteral(" / byte by byte: ") + bytewise.describe());

    // After the handshake the dialog logs in over TLS and reads the rest.
    if (whole.startTls) {
        Pop3Dialog d(user, password, tls);
        d.feed(server);
        FUZZ_CHECK(d.phase() == Phase::Handshake);
        const Pop3Dialog::Reaction r = d.tlsEstablished();
        FUZZ_CHECK(d.isEncrypted() || d.isEnded());
        checkState(d);
        FUZZ_CHECK(wellFormed(r.send, user.toUtf8(), password.toUtf8()));
        FUZZ_CHECK(d.tlsEstablished().send.isEmpty());
    }
    return 0;
}
