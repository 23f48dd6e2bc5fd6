// The poller against a real POP3 server: a private Dovecot on 127.0.0.1,
// started once for the whole run from a configuration in a temporary folder.

#include "DovecotServer.h"
#include "mail/MailPoller.h"
#include "prefs/model/Prefer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString EmptyUser = QStringLiteral("leer");
const QString FullUser = QStringLiteral("voll");
const QString EmptyPassword = QStringLiteral("pw-leer");
const QString FullPassword = QStringLiteral("pw-voll");

} // namespace

class TestMailPollerDovecot : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void mailboxes_data();
    void mailboxes();
    void fourAccountsInOnePoll();
    void stlsWithTrustedCertificate();
    void untrustedCertificateIsAProblem();
    void implicitTlsPort();

private:
    void setAccount(int i, const QString& server, const QString& user, const QString& password);
    bool pollOnce();
    int loginsOf(const DovecotServer& d, const QString& user, const QByteArray& security) const;
    QString plainServer() const;
    QString stlsServer() const;

    QTemporaryDir m_root;
    QString m_certDir;
    QList<QSslCertificate> m_cert;
    DovecotServer m_plain;
    DovecotServer m_tls;
    bool m_tlsUp = false;

    std::unique_ptr<Prefer> m_prefs;
    std::unique_ptr<MailPoller> m_poller;
    qint64 m_now = 0;
    std::unique_ptr<QSignalSpy> m_status;
    std::unique_ptr<QSignalSpy> m_mail;
    std::unique_ptr<QSignalSpy> m_sound;
    std::unique_ptr<QSignalSpy> m_finished;
};

void TestMailPollerDovecot::initTestCase() {
    if (DovecotServer::program().isEmpty())
        QSKIP("Dovecot with POP3 is not installed (Debian packages dovecot-core and "
              "dovecot-pop3d; scripts/install-deps.sh installs them)");
    QVERIFY(m_root.isValid());
    const QString root = m_root.path();
    QString why;
    QVERIFY2(DovecotServer::writeMailboxes(
                 root, {{EmptyUser, EmptyPassword, 0}, {FullUser, FullPassword, 3}}, &why),
             qPrintable(why));
    QVERIFY2(m_plain.start(root, QStringLiteral("plain"), QString(), &why), qPrintable(why));

    // A self-signed certificate for the STLS server, trusted only by the test.
    m_certDir = root + QStringLiteral("/cert");
    QVERIFY(QDir().mkpath(m_certDir));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-days", "2", "-subj", "/CN=localhost", "-addext",
                   "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout", m_certDir + "/key.pem",
                   "-out", m_certDir + "/cert.pem"});
    QVERIFY2(openssl.waitForFinished(30000) && openssl.exitCode() == 0,
             openssl.readAllStandardError().constData());
    QFile::setPermissions(m_certDir + "/key.pem", QFile::ReadOwner | QFile::WriteOwner);
    m_cert = QSslCertificate::fromPath(m_certDir + "/cert.pem");
    QCOMPARE(m_cert.size(), 1);
    QVERIFY(QSslSocket::supportsSsl());
    QVERIFY2(m_tls.start(root, QStringLiteral("tls"), m_certDir, &why), qPrintable(why));
    m_tlsUp = true;
}

void TestMailPollerDovecot::cleanupTestCase() {
    m_plain.stop();
    m_tls.stop();
}

void TestMailPollerDovecot::init() {
    m_prefs = std::make_unique<Prefer>(m_root.path());
    m_prefs->setDefaults();
    m_prefs->CheckIntervall = 1;
    for (int i = 1; i <= Prefer::MailAccounts; ++i)
        setAccount(i, QString(), QString(), QString());
    m_now = 1000;
    m_poller = std::make_unique<MailPoller>(*m_prefs, m_root.path());
    m_poller->setClock([this] { return m_now; });
    m_status = std::make_unique<QSignalSpy>(m_poller.get(), &MailPoller::statusText);
    m_mail = std::make_unique<QSignalSpy>(m_poller.get(), &MailPoller::mailWaiting);
    m_sound = std::make_unique<QSignalSpy>(m_poller.get(), &MailPoller::soundRequested);
    m_finished = std::make_unique<QSignalSpy>(m_poller.get(), &MailPoller::pollFinished);
}

void TestMailPollerDovecot::cleanup() {
    m_status.reset();
    m_mail.reset();
    m_sound.reset();
    m_finished.reset();
    m_poller.reset();
    m_prefs.reset();
}

void TestMailPollerDovecot::setAccount(int i, const QString& server, const QString& user,
                                       const QString& password) {
    m_prefs->MailSrv(i) = server;
    m_prefs->User(i) = user;
    m_prefs->Pwd(i) = password;
    m_prefs->EnableMailCheck(i) = server.isEmpty() ? 0 : 1;
}

bool TestMailPollerDovecot::pollOnce() {
    m_poller->restart(true);
    m_now += 60001;
    m_poller->tick();
    return m_poller->isPolling() && m_finished->wait(20000);
}

int TestMailPollerDovecot::loginsOf(const DovecotServer& d, const QString& user,
                                    const QByteArray& security) const {
    int n = 0;
    for (const QByteArray& line : d.log().split('\n'))
        if (line.contains("Login: user=<" + user.toUtf8() + ">") &&
            line.contains(", " + security + ","))
            ++n;
    return n;
}

QString TestMailPollerDovecot::plainServer() const {
    return QStringLiteral("127.0.0.1:") + QString::number(m_plain.pop3Port());
}

QString TestMailPollerDovecot::stlsServer() const {
    return QStringLiteral("127.0.0.1:") + QString::number(m_tls.pop3Port());
}

void TestMailPollerDovecot::mailboxes_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("mail");
    QTest::newRow("three messages") << FullUser << FullPassword << true;
    QTest::newRow("no message") << EmptyUser << EmptyPassword << false;
    QTest::newRow("wrong password") << FullUser << EmptyPassword << false;
    QTest::newRow("unknown user") << QStringLiteral("niemand") << FullPassword << false;
}

void TestMailPollerDovecot::mailboxes() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, mail);
    setAccount(2, plainServer(), user, password);
    QVERIFY(pollOnce());
    QCOMPARE(m_mail->size(), mail ? 1 : 0);
    QCOMPARE(m_sound->size(), mail ? 1 : 0);
    if (mail)
        QCOMPARE(m_mail->first().at(0).toString(), plainServer());
    // Refused logins are no problem of the check itself.
    QCOMPARE(m_status->first().at(0).toString(), plainServer() + MailPoller::SearchingSuffix);
    QCOMPARE(m_status->last().at(0).toString(), QString());
}

void TestMailPollerDovecot::fourAccountsInOnePoll() {
    if (!m_tlsUp)
        QSKIP("no TLS server");
    m_poller->setSocketSetup([this](QSslSocket& s) {
        QSslConfiguration c = s.sslConfiguration();
        c.addCaCertificates(m_cert);
        s.setSslConfiguration(c);
    });
    setAccount(1, plainServer(), FullUser, FullPassword);
    setAccount(2, plainServer(), EmptyUser, EmptyPassword);
    setAccount(3, stlsServer(), FullUser, FullPassword);
    setAccount(4, stlsServer(), EmptyUser, EmptyPassword);
    QVERIFY(pollOnce());
    QCOMPARE(m_mail->size(), 2);
    QCOMPARE(m_mail->last().at(0).toString(), stlsServer());
    QCOMPARE(m_sound->size(), 1);
    QCOMPARE(m_status->last().at(0).toString(), QString());
}

void TestMailPollerDovecot::stlsWithTrustedCertificate() {
    if (!m_tlsUp)
        QSKIP("no TLS server");
    m_poller->setSocketSetup([this](QSslSocket& s) {
        QSslConfiguration c = s.sslConfiguration();
        c.addCaCertificates(m_cert);
        s.setSslConfiguration(c);
    });
    const int before = loginsOf(m_tls, FullUser, "TLS");
    setAccount(1, stlsServer(), FullUser, FullPassword);
    QVERIFY(pollOnce());
    QCOMPARE(m_mail->size(), 1);
    QCOMPARE(m_status->last().at(0).toString(), QString());
    // The password went over TLS, not merely over a connection Dovecot trusts.
    QTRY_COMPARE(loginsOf(m_tls, FullUser, "TLS"), before + 1);
}

void TestMailPollerDovecot::untrustedCertificateIsAProblem() {
    if (!m_tlsUp)
        QSKIP("no TLS server");
    const QByteArray logBefore = m_tls.log();
    setAccount(1, stlsServer(), FullUser, FullPassword);
    QVERIFY(pollOnce());
    QCOMPARE(m_mail->size(), 0);
    // Shown, then cleared as the account ends.
    QCOMPARE(m_status->at(m_status->size() - 2).at(0).toString(), MailPoller::ProblemText);
    QCOMPARE(m_status->last().at(0).toString(), QString());
    QTest::qWait(200);
    const QByteArray added = m_tls.log().mid(logBefore.size());
    QVERIFY2(!added.contains("Login: user=<" + FullUser.toUtf8()), added.constData());
}

void TestMailPollerDovecot::implicitTlsPort() {
    if (!m_tlsUp)
        QSKIP("no TLS server");
    m_poller->setSocketSetup([this](QSslSocket& s) {
        QSslConfiguration c = s.sslConfiguration();
        c.addCaCertificates(m_cert);
        s.setSslConfiguration(c);
    });
    const QString server =
        QStringLiteral("pop3s://127.0.0.1:") + QString::number(m_tls.pop3sPort());
    const int before = loginsOf(m_tls, FullUser, "TLS");
    setAccount(3, server, FullUser, FullPassword);
    QVERIFY(pollOnce());
    QCOMPARE(m_mail->size(), 1);
    QCOMPARE(m_mail->first().at(0).toString(), server);
    QTRY_COMPARE(loginsOf(m_tls, FullUser, "TLS"), before + 1);
}

QTEST_MAIN(TestMailPollerDovecot)
#include "tst_mailpoller_dovecot.moc"
