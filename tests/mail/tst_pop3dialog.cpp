#include "mail/model/Pop3Dialog.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// One server reply line and what the client must answer to it.
struct Exchange {
    QByteArray reply;
    QByteArray answer;
};
using Script = QList<Exchange>;

using Phase = Pop3Dialog::Phase;
using Outcome = Pop3Dialog::Outcome;

const QByteArray User = "anna";
const QByteArray Pass = "geheim";

// The greeting and CAPA of a server that offers no STLS.
Script plainLogin() {
    return {
        {"+OK POP3 ready", "CAPA\r\n"},
        {"+OK", ""},
        {"USER", ""},
        {"TOP", ""},
        {".", "USER anna\r\n"},
        {"+OK", "PASS geheim\r\n"},
        {"+OK Logged in.", "LIST\r\n"},
    };
}

// The whole server side of a script, as one stream.
QByteArray serverText(const Script& script) {
    QByteArray out;
    for (const Exchange& e : script)
        out += e.reply + "\r\n";
    return out;
}

QByteArray clientText(const Script& script) {
    QByteArray out;
    for (const Exchange& e : script)
        out += e.answer;
    return out;
}

// Feeds the server text in pieces of the given sizes (the last size repeats).
QByteArray feedInPieces(Pop3Dialog& d, const QByteArray& text, const QList<int>& sizes) {
    QByteArray sent;
    int pos = 0;
    int i = 0;
    while (pos < text.size()) {
        const int n = sizes.at(qMin(i++, int(sizes.size()) - 1));
        const Pop3Dialog::Reaction r = d.feed(text.mid(pos, n));
        pos += n;
        sent += r.send;
        if (r.startTls)
            sent += "<TLS>";
    }
    return sent;
}

} // namespace

Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(Phase)
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(QList<int>)

class TestPop3Dialog : public QObject {
    Q_OBJECT
private slots:
    void steps_data();
    void steps();
    void piecesMakeNoDifference_data();
    void piecesMakeNoDifference();
    void stlsSwitchesBeforeCredentials();
    void stlsDropsPlaintextAfterItsAnswer();
    void stlsRefusedSendsNoCredentials();
    void implicitTlsSkipsCapa();
    void tlsEstablishedOutsideHandshakeIsIgnored();
    void credentialsCannotBreakTheLine_data();
    void credentialsCannotBreakTheLine();
    void credentialsGoOutAsUtf8();
    void overlongReplyEndsTheDialog_data();
    void overlongReplyEndsTheDialog();
    void longScanListingIsCounted();
    void nothingAfterTheEnd();
    void address_data();
    void address();
};

void TestPop3Dialog::steps_data() {
    QTest::addColumn<Script>("script");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<Phase>("refusedIn");
    QTest::addColumn<int>("mailCount");

    const Phase none = Phase::Ended;
    QTest::newRow("greeting negative")
        << Script{{"-ERR not now", ""}} << Outcome::Refused << Phase::Greeting << -1;
    QTest::newRow("greeting without +OK")
        << Script{{"Hello +OK", ""}} << Outcome::Refused << Phase::Greeting << -1;
    QTest::newRow("greeting in lower case")
        << Script{{"+ok ready", ""}} << Outcome::Refused << Phase::Greeting << -1;
    QTest::newRow("empty greeting")
        << Script{{"", ""}} << Outcome::Refused << Phase::Greeting << -1;
    QTest::newRow("USER refused") << Script{{"+OK", "CAPA\r\n"},
                                            {"-ERR", "USER anna\r\n"},
                                            {"-ERR no such user", ""}}
                                  << Outcome::Refused << Phase::User << -1;
    QTest::newRow("PASS refused") << Script{{"+OK", "CAPA\r\n"},
                                            {"-ERR", "USER anna\r\n"},
                                            {"+OK", "PASS geheim\r\n"},
                                            {"-ERR [AUTH] Authentication failed.", ""}}
                                  << Outcome::Refused << Phase::Password << -1;
    QTest::newRow("LIST refused") << plainLogin() + Script{{"-ERR locked", ""}} << Outcome::Refused
                                  << Phase::List << -1;
    QTest::newRow("LIST count 0") << plainLogin() + Script{{"+OK 0 messages:", ""},
                                                           {".", "QUIT\r\n"},
                                                           {"+OK Bye", ""}}
                                  << Outcome::Completed << none << 0;
    QTest::newRow("LIST count 12") << plainLogin() + Script{{"+OK 12 messages (4711 octets)", ""},
                                                            {"1 100", ""},
                                                            {"2 200", ""},
                                                            {".", "QUIT\r\n"},
                                                            {"+OK Bye", ""}}
                                   << Outcome::Completed << none << 12;
    QTest::newRow("LIST without a count counts its lines")
        << plainLogin() + Script{{"+OK scan listing follows", ""},
                                 {"1 100", ""},
                                 {"2 200", ""},
                                 {"3 300", ""},
                                 {".", "QUIT\r\n"},
                                 {"+OK", ""}}
        << Outcome::Completed << none << 3;
    QTest::newRow("QUIT refused still ends")
        << plainLogin() + Script{{"+OK 1", ""}, {"1 5", ""}, {".", "QUIT\r\n"}, {"-ERR", ""}}
        << Outcome::Completed << none << 1;
    QTest::newRow("server without CAPA") << Script{{"+OK", "CAPA\r\n"},
                                                   {"-ERR unknown command", "USER anna\r\n"},
                                                   {"+OK", "PASS geheim\r\n"},
                                                   {"+OK", "LIST\r\n"},
                                                   {"+OK 2 messages", ""},
                                                   {"1 1", ""},
                                                   {"2 2", ""},
                                                   {".", "QUIT\r\n"},
                                                   {"+OK", ""}}
                                         << Outcome::Completed << none << 2;
    QTest::newRow("bare LF line ends")
        << Script{{"+OK\n-ERR", "CAPA\r\nUSER anna\r\n"}, {"+OK", "PASS geheim\r\n"}}
        << Outcome::Running << none << -1;
}

void TestPop3Dialog::steps() {
    QFETCH(Script, script);
    QFETCH(Outcome, outcome);
    QFETCH(Phase, refusedIn);
    QFETCH(int, mailCount);

    Pop3Dialog d(User, Pass, false);
    for (const Exchange& e : script) {
        QVERIFY2(!d.isEnded(), e.reply.constData());
        const Pop3Dialog::Reaction r = d.feed(e.reply + "\r\n");
        QCOMPARE(r.send, e.answer);
        QVERIFY(!r.startTls);
    }
    QCOMPARE(d.outcome(), outcome);
    QCOMPARE(d.isEnded(), outcome != Outcome::Running);
    QCOMPARE(d.refusedIn(), refusedIn);
    QCOMPARE(d.mailCount(), mailCount);
}

void TestPop3Dialog::piecesMakeNoDifference_data() {
    QTest::addColumn<QList<int>>("sizes");
    QTest::newRow("all at once") << QList<int>{1 << 20};
    QTest::newRow("byte by byte") << QList<int>{1};
    QTest::newRow("CR and LF apart") << QList<int>{16, 1, 3};
    QTest::newRow("two bytes") << QList<int>{2};
    QTest::newRow("seven bytes") << QList<int>{7};
}

void TestPop3Dialog::piecesMakeNoDifference() {
    QFETCH(QList<int>, sizes);
    const Script script =
        plainLogin() +
        Script{{"+OK 12 messages:", ""}, {"1 10", ""}, {".", "QUIT\r\n"}, {"+OK", ""}};
    Pop3Dialog d(User, Pass, false);
    QCOMPARE(feedInPieces(d, serverText(script), sizes), clientText(script));
    QCOMPARE(d.outcome(), Outcome::Completed);
    QCOMPARE(d.mailCount(), 12);
}

void TestPop3Dialog::stlsSwitchesBeforeCredentials() {
    Pop3Dialog d(User, Pass, false);
    QCOMPARE(d.feed("+OK ready\r\n").send, QByteArray("CAPA\r\n"));
    QCOMPARE(d.feed("+OK\r\nTOP\r\nSTLS\r\nUSER\r\n.\r\n").send, QByteArray("STLS\r\n"));
    const Pop3Dialog::Reaction begin = d.feed("+OK Begin TLS negotiation now.\r\n");
    QVERIFY(begin.startTls);
    QVERIFY(begin.send.isEmpty());
    QCOMPARE(d.phase(), Phase::Handshake);
    QVERIFY(!d.isEncrypted());
    // Nothing is answered before the handshake is through.
    QVERIFY(d.feed("+OK\r\n").send.isEmpty());
    QCOMPARE(d.tlsEstablished().send, QByteArray("USER anna\r\n"));
    QVERIFY(d.isEncrypted());
    QCOMPARE(d.feed("+OK\r\n").send, QByteArray("PASS geheim\r\n"));
    QCOMPARE(d.feed("+OK\r\n").send, QByteArray("LIST\r\n"));
    QCOMPARE(d.feed("+OK 3 messages:\r\n1 1\r\n2 2\r\n3 3\r\n.\r\n").send, QByteArray("QUIT\r\n"));
    QCOMPARE(d.mailCount(), 3);
    d.feed("+OK\r\n");
    QCOMPARE(d.outcome(), Outcome::Completed);
}

void TestPop3Dialog::stlsDropsPlaintextAfterItsAnswer() {
    Pop3Dialog d(User, Pass, false);
    d.feed("+OK\r\n+OK\r\nSTLS\r\n.\r\n");
    // Lines slipped in after the STLS answer would otherwise be read as the
    // first replies over TLS.
    const Pop3Dialog::Reaction r = d.feed("+OK go\r\n-ERR injected\r\n+OK 9 injected\r\n");
    QVERIFY(r.startTls);
    QVERIFY(r.send.isEmpty());
    QCOMPARE(d.tlsEstablished().send, QByteArray("USER anna\r\n"));
    QCOMPARE(d.phase(), Phase::User);
    QCOMPARE(d.feed("+OK\r\n").send, QByteArray("PASS geheim\r\n"));
}

void TestPop3Dialog::stlsRefusedSendsNoCredentials() {
    Pop3Dialog d(User, Pass, false);
    QByteArray sent = d.feed("+OK\r\n+OK\r\nSTLS\r\n.\r\n").send;
    sent += d.feed("-ERR TLS not available\r\n").send;
    QCOMPARE(sent, QByteArray("CAPA\r\nSTLS\r\n"));
    QCOMPARE(d.outcome(), Outcome::TlsRefused);
    QVERIFY(d.isEnded());
    QVERIFY(d.tlsEstablished().send.isEmpty());
}

void TestPop3Dialog::implicitTlsSkipsCapa() {
    Pop3Dialog d(User, Pass, true);
    QCOMPARE(d.feed("+OK ready\r\n").send, QByteArray("USER anna\r\n"));
    QVERIFY(d.isEncrypted());
}

void TestPop3Dialog::tlsEstablishedOutsideHandshakeIsIgnored() {
    Pop3Dialog d(User, Pass, false);
    QVERIFY(d.tlsEstablished().send.isEmpty());
    QCOMPARE(d.phase(), Phase::Greeting);
    QCOMPARE(d.feed("+OK\r\n").send, QByteArray("CAPA\r\n"));
    QVERIFY(d.tlsEstablished().send.isEmpty());
    QCOMPARE(d.phase(), Phase::Capabilities);
}

void TestPop3Dialog::credentialsCannotBreakTheLine_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("CR LF in user")
        << QStringLiteral("anna\r\nDELE 1") << QStringLiteral("x") << QByteArray("CAPA\r\n");
    QTest::newRow("LF in password") << QStringLiteral("anna") << QStringLiteral("x\nDELE 1")
                                    << QByteArray("CAPA\r\nUSER anna\r\n");
    QTest::newRow("NUL in password") << QStringLiteral("anna") << QStringLiteral("a") + QChar(0)
                                     << QByteArray("CAPA\r\nUSER anna\r\n");
}

void TestPop3Dialog::credentialsCannotBreakTheLine() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QByteArray, sent);
    Pop3Dialog d(user, password, false);
    QByteArray out;
    for (const QByteArray reply : {"+OK", "-ERR", "+OK", "+OK"}) {
        out += d.feed(reply + "\r\n").send;
        if (d.isEnded())
            break;
    }
    QCOMPARE(out, sent);
    QCOMPARE(d.outcome(), Outcome::BadCredential);
}

void TestPop3Dialog::credentialsGoOutAsUtf8() {
    Pop3Dialog d(QStringLiteral("jürgen"), QStringLiteral("straße"), true);
    QCOMPARE(d.feed("+OK\r\n").send, QByteArray("USER j\xc3\xbcrgen\r\n"));
    QCOMPARE(d.feed("+OK\r\n").send, QByteArray("PASS stra\xc3\x9f"
                                                "e\r\n"));
}

void TestPop3Dialog::overlongReplyEndsTheDialog_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("no line end yet") << QByteArray(Pop3Dialog::MaxLineLength + 1, 'x');
    QTest::newRow("one long line")
        << QByteArray("+OK ") + QByteArray(Pop3Dialog::MaxLineLength, 'x') + "\r\n";
}

void TestPop3Dialog::overlongReplyEndsTheDialog() {
    QFETCH(QByteArray, data);
    Pop3Dialog d(User, Pass, false);
    QVERIFY(d.feed(data).send.isEmpty());
    QCOMPARE(d.outcome(), Outcome::BadReply);
}

void TestPop3Dialog::longScanListingIsCounted() {
    Pop3Dialog d(User, Pass, true);
    d.feed("+OK\r\n+OK\r\n+OK\r\n");
    QByteArray listing = "+OK\r\n";
    for (int i = 1; i <= 5000; ++i)
        listing += QByteArray::number(i) + " 1234\r\n";
    listing += ".\r\n";
    // Long listings arrive in pieces of whatever size the network likes.
    QRandomGenerator rng(7);
    QByteArray sent;
    for (int pos = 0; pos < listing.size();) {
        const int n = rng.bounded(1, 1500);
        sent += d.feed(listing.mid(pos, n)).send;
        pos += n;
    }
    QCOMPARE(sent, QByteArray("QUIT\r\n"));
    QCOMPARE(d.mailCount(), 5000);
}

void TestPop3Dialog::nothingAfterTheEnd() {
    Pop3Dialog d(User, Pass, false);
    d.feed("-ERR\r\n");
    QVERIFY(d.isEnded());
    QVERIFY(d.feed("+OK\r\n+OK\r\n").send.isEmpty());
    QCOMPARE(d.refusedIn(), Phase::Greeting);
}

void TestPop3Dialog::address_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("tls");

    QTest::newRow("name") << "pop.example.de" << true << "pop.example.de" << 110 << false;
    QTest::newRow("blanks around")
        << "  pop.example.de " << true << "pop.example.de" << 110 << false;
    QTest::newRow("port 995") << "pop.example.de:995" << true << "pop.example.de" << 995 << true;
    QTest::newRow("other port") << "127.0.0.1:2110" << true << "127.0.0.1" << 2110 << false;
    QTest::newRow("pop3s") << "pop3s://pop.example.de" << true << "pop.example.de" << 995 << true;
    QTest::newRow("pop3s with port")
        << "POP3S://pop.example.de:2995/" << true << "pop.example.de" << 2995 << true;
    QTest::newRow("pop3 with 995") << "pop3://h:995" << true << "h" << 995 << true;
    QTest::newRow("pop3") << "pop3://h" << true << "h" << 110 << false;
    QTest::newRow("IPv6") << "[::1]:995" << true << "::1" << 995 << true;
    QTest::newRow("bare IPv6") << "fe80::1%eth0" << true << "fe80::1%eth0" << 110 << false;
    QTest::newRow("empty") << "" << false << "" << 110 << false;
    QTest::newRow("colon without port") << "h:" << false << "h" << 110 << false;
    QTest::newRow("port text") << "h:pop" << false << "h" << 110 << false;
    QTest::newRow("port too big") << "h:65536" << false << "h" << 110 << false;
    QTest::newRow("port zero") << "h:0" << false << "h" << 110 << false;
    QTest::newRow("signed port") << "h:+995" << false << "h" << 110 << false;
    QTest::newRow("blank inside") << "pop example.de" << false << "pop example.de" << 110 << false;
    QTest::newRow("two colons, not IPv6") << "pop:mail:de" << false << "" << 110 << false;
    QTest::newRow("unclosed bracket") << "[::1:110" << false << "" << 110 << false;
}

void TestPop3Dialog::address() {
    QFETCH(QString, server);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, tls);
    const Pop3Address a = Pop3Address::parse(server);
    QCOMPARE(a.valid, valid);
    if (!valid)
        return;
    QCOMPARE(a.host, host);
    QCOMPARE(int(a.port), port);
    QCOMPARE(a.implicitTls, tls);
}

QTEST_APPLESS_MAIN(TestPop3Dialog)
#include "tst_pop3dialog.moc"
