// The poller against a real POP3 server: a private Dovecot on 127.0.0.1,
// started once for the whole run from a configuration in a temporary folder.

#include "mail/MailPoller.h"
#include "prefs/model/Prefer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

namespace {

const QString EmptyUser = QStringLiteral("leer");
const QString FullUser = QStringLiteral("voll");
const QString EmptyPassword = QStringLiteral("pw-leer");
const QString FullPassword = QStringLiteral("pw-voll");

// Distinct ports nobody listens on; all probes are open at once so that no
// port is handed out twice.
QList<quint16> freePorts(int count) {
    std::vector<std::unique_ptr<QTcpServer>> probes;
    QList<quint16> ports;
    for (int i = 0; i < count; ++i) {
        probes.push_back(std::make_unique<QTcpServer>());
        probes.back()->listen(QHostAddress::LocalHost, 0);
        ports << probes.back()->serverPort();
    }
    return ports;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Waits until the server greets on the port.
bool waitForGreeting(quint16 port, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(500) && s.waitForReadyRead(1000) && s.readAll().startsWith("+OK"))
            return true;
        QTest::qWait(100);
    }
    return false;
}

// One Dovecot master process with its own folders, users and mailboxes.
class Dovecot {
public:
    quint16 pop3Port = 0;
    quint16 pop3sPort = 0; // only with TLS
    QString logPath;

    bool start(const QString& dovecot, const QString& root, const QString& name,
               const QString& certDir, QString* why) {
        const QString dir = root + QLatin1Char('/') + name;
        logPath = dir + QStringLiteral("/dovecot.log");
        QDir().mkpath(dir + QStringLiteral("/run"));
        QDir().mkpath(dir + QStringLiteral("/state"));
        const QList<quint16> ports = freePorts(2);
        pop3Port = ports.at(0);
        pop3sPort = certDir.isEmpty() ? 0 : ports.at(1);

        // Mail is read under an ordinary user id; as root that is Dovecot's own.
        uid_t uid = ::getuid();
        gid_t gid = ::getgid();
        QByteArray userLines;
        QByteArray chroot; // only root may lock its helpers into a folder
        if (uid == 0) {
            const passwd* pw = ::getpwnam("dovecot");
            if (!pw) {
                *why = QStringLiteral("no user 'dovecot'");
                return false;
            }
            uid = pw->pw_uid;
            gid = pw->pw_gid;
        } else {
            const QByteArray me = ::getpwuid(uid)->pw_name;
            const QByteArray group = ::getgrgid(gid)->gr_name;
            userLines = "default_internal_user = " + me + "\ndefault_login_user = " + me +
                        "\ndefault_internal_group = " + group + "\n";
            chroot = "  chroot =\n";
        }
        const QString mail = root + QStringLiteral("/mail");
        QByteArray conf;
        conf += "base_dir = " + QFile::encodeName(dir) + "/run\n";
        conf += "state_dir = " + QFile::encodeName(dir) + "/state\n";
        conf += "log_path = " + QFile::encodeName(logPath) + "\n";
        conf += userLines;
        conf += "protocols = pop3\nlisten = 127.0.0.1\n";
        conf += "disable_plaintext_auth = no\nauth_mechanisms = plain\n";
        conf += "auth_failure_delay = 0\n";
        conf += "first_valid_uid = " + QByteArray::number(uid) + "\nlast_valid_uid = 0\n";
        conf += "mail_location = maildir:" + QFile::encodeName(mail) + "/%u/Maildir\n";
        if (certDir.isEmpty()) {
            conf += "ssl = no\n";
        } else {
            conf += "ssl = yes\n";
            conf += "ssl_cert = <" + QFile::encodeName(certDir) + "/cert.pem\n";
            conf += "ssl_key = <" + QFile::encodeName(certDir) + "/key.pem\n";
        }
        conf += "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u " +
                QFile::encodeName(root) + "/passwd\n}\n";
        conf += "userdb {\n  driver = static\n  args = uid=" + QByteArray::number(uid) +
                " gid=" + QByteArray::number(gid) + " home=" + QFile::encodeName(mail) + "/%u\n}\n";
        conf += "service pop3-login {\n" + chroot +
                "  inet_listener pop3 {\n    port = " + QByteArray::number(pop3Port) +
                "\n  }\n  inet_listener pop3s {\n    port = " + QByteArray::number(pop3sPort) +
                "\n    ssl = yes\n  }\n}\n";
        conf += "service imap-login {\n  inet_listener imap {\n    port = 0\n  }\n"
                "  inet_listener imaps {\n    port = 0\n  }\n}\n";
        // No growing delay after failed logins: the tests fail some on purpose.
        conf += "service anvil {\n" + chroot +
                "  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n";
        const QString confPath = dir + QStringLiteral("/dovecot.conf");
        if (!writeFile(confPath, conf)) {
            *why = QStringLiteral("cannot write ") + confPath;
            return false;
        }

        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(dovecot, {QStringLiteral("-F"), QStringLiteral("-c"), confPath});
        if (!m_process.waitForStarted(5000)) {
            *why = QStringLiteral("dovecot did not start: ") + m_process.errorString();
            return false;
        }
        if (!waitForGreeting(pop3Port, 15000)) {
            *why = QStringLiteral("dovecot does not answer: ") +
                   QString::fromLocal8Bit(m_process.readAll() + readFile(logPath));
            stop();
            return false;
        }
        return true;
    }

    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(10000)) {
            ::kill(pid_t(m_process.processId()), SIGKILL);
            m_process.waitForFinished(5000);
        }
    }

    QByteArray log() const { return readFile(logPath); }

private:
    QProcess m_process;
};

QString findDovecot() {
    return QStandardPaths::findExecutable(
        QStringLiteral("dovecot"),
        {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"), QStringLiteral("/sbin")});
}

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
    int loginsOf(const Dovecot& d, const QString& user, const QByteArray& security) const;
    QString plainServer() const;
    QString stlsServer() const;

    QTemporaryDir m_root;
    QString m_certDir;
    QList<QSslCertificate> m_cert;
    Dovecot m_plain;
    Dovecot m_tls;
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
    const QString dovecot = findDovecot();
    if (dovecot.isEmpty() || !QFile::exists(QStringLiteral("/usr/lib/dovecot/pop3")))
        QSKIP("Dovecot with POP3 is not installed (Debian packages dovecot-core and "
              "dovecot-pop3d; scripts/install-deps.sh installs them)");
    QVERIFY(m_root.isValid());
    const QString root = m_root.path();
    // Dovecot's own processes run under other users and must reach the folders.
    QVERIFY(QFile::setPermissions(root, QFile::permissions(root) | QFile::ReadGroup |
                                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));

    QVERIFY(writeFile(root + "/passwd", (EmptyUser + ":{PLAIN}" + EmptyPassword + "::::::\n" +
                                         FullUser + ":{PLAIN}" + FullPassword + "::::::\n")
                                            .toUtf8()));
    for (const QString& user : {EmptyUser, FullUser})
        for (const char* sub : {"cur", "new", "tmp"})
            QVERIFY(QDir().mkpath(root + "/mail/" + user + "/Maildir/" + sub));
    for (int i = 1; i <= 3; ++i)
        QVERIFY(writeFile(root + QStringLiteral("/mail/voll/Maildir/new/%1.M%1P1.korvix").arg(i),
                          "From: a@example.org\r\nSubject: Nachricht " + QByteArray::number(i) +
                              "\r\n\r\nHallo.\r\n"));
    if (::getuid() == 0) {
        const passwd* pw = ::getpwnam("dovecot");
        QVERIFY(pw);
        QProcess chown;
        chown.start(QStringLiteral("chown"),
                    {QStringLiteral("-R"),
                     QString::number(pw->pw_uid) + ':' + QString::number(pw->pw_gid),
                     root + "/mail"});
        QVERIFY(chown.waitForFinished() && chown.exitCode() == 0);
    }

    QString why;
    QVERIFY2(m_plain.start(dovecot, root, QStringLiteral("plain"), QString(), &why),
             qPrintable(why));

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
    QVERIFY2(m_tls.start(dovecot, root, QStringLiteral("tls"), m_certDir, &why), qPrintable(why));
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

int TestMailPollerDovecot::loginsOf(const Dovecot& d, const QString& user,
                                    const QByteArray& security) const {
    int n = 0;
    for (const QByteArray& line : d.log().split('\n'))
        if (line.contains("Login: user=<" + user.toUtf8() + ">") &&
            line.contains(", " + security + ","))
            ++n;
    return n;
}

QString TestMailPollerDovecot::plainServer() const {
    return QStringLiteral("127.0.0.1:") + QString::number(m_plain.pop3Port);
}

QString TestMailPollerDovecot::stlsServer() const {
    return QStringLiteral("127.0.0.1:") + QString::number(m_tls.pop3Port);
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
    const QString server = QStringLiteral("pop3s://127.0.0.1:") + QString::number(m_tls.pop3sPort);
    const int before = loginsOf(m_tls, FullUser, "TLS");
    setAccount(3, server, FullUser, FullPassword);
    QVERIFY(pollOnce());
    QCOMPARE(m_mail->size(), 1);
    QCOMPARE(m_mail->first().at(0).toString(), server);
    QTRY_COMPARE(loginsOf(m_tls, FullUser, "TLS"), before + 1);
}

QTEST_MAIN(TestMailPollerDovecot)
#include "tst_mailpoller_dovecot.moc"
