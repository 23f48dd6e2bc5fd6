#pragma once

// A private Dovecot POP3 server on 127.0.0.1 for the mail test and the mail
// benchmark: its configuration, users, mailboxes and run-time folders lie
// in a folder of the caller's, and it ends with this object. Header only,
// so the benchmark can use it without the test library.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <grp.h>
#include <memory>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>
#include <vector>

class DovecotServer {
public:
    struct Mailbox {
        QString user;
        QString password;
        int messages = 0;
    };

    ~DovecotServer() { stop(); }

    // The dovecot program, or nothing when Dovecot with POP3 is not
    // installed (Debian packages dovecot-core and dovecot-pop3d).
    static QString program() {
        const QString dovecot = QStandardPaths::findExecutable(QStringLiteral("dovecot"),
                                                               {QStringLiteral("/usr/sbin"),
                                                                QStringLiteral("/usr/local/sbin"),
                                                                QStringLiteral("/sbin")});
        return QFile::exists(QStringLiteral("/usr/lib/dovecot/pop3")) ? dovecot : QString();
    }

    // The users and their mailboxes below `root`, each message a small mail
    // in "new"; every server started on `root` serves them.
    static bool writeMailboxes(const QString& root, const QList<Mailbox>& boxes, QString* why) {
        // Dovecot's own processes run under other users and must reach the
        // folders.
        QFile::setPermissions(root, QFile::permissions(root) | QFile::ReadGroup | QFile::ExeGroup |
                                        QFile::ReadOther | QFile::ExeOther);
        QByteArray users;
        for (const Mailbox& box : boxes) {
            users += box.user.toUtf8() + ":{PLAIN}" + box.password.toUtf8() + "::::::\n";
            const QString maildir = root + QStringLiteral("/mail/%1/Maildir").arg(box.user);
            for (const char* sub : {"/cur", "/new", "/tmp"})
                QDir().mkpath(maildir + QLatin1String(sub));
            for (int i = 1; i <= box.messages; ++i) {
                const QString path = maildir + QStringLiteral("/new/%1.M%1P1.korvix").arg(i);
                if (!writeFile(path, "From: a@example.org\r\nSubject: Nachricht " +
                                         QByteArray::number(i) + "\r\n\r\nHallo.\r\n")) {
                    *why = QStringLiteral("cannot write ") + path;
                    return false;
                }
            }
        }
        if (!writeFile(root + QStringLiteral("/passwd"), users)) {
            *why = QStringLiteral("cannot write the password file");
            return false;
        }
        // Mail is read under an ordinary user id; as root that is Dovecot's.
        if (::getuid() == 0) {
            const passwd* pw = ::getpwnam("dovecot");
            if (!pw) {
                *why = QStringLiteral("no user 'dovecot'");
                return false;
            }
            QProcess chown;
            chown.start(QStringLiteral("chown"),
                        {QStringLiteral("-R"),
                         QStringLiteral("%1:%2").arg(pw->pw_uid).arg(pw->pw_gid),
                         root + QStringLiteral("/mail")});
            if (!chown.waitForFinished() || chown.exitCode() != 0) {
                *why = QStringLiteral("cannot hand the mailboxes to user 'dovecot'");
                return false;
            }
        }
        return true;
    }

    // A master process named `name` serving the mailboxes of `root`: plain
    // POP3 with STLS, and POP3S, when `certDir` holds cert.pem and key.pem;
    // plain POP3 alone without.
    bool start(const QString& root, const QString& name, const QString& certDir, QString* why) {
        const QString dovecot = program();
        if (dovecot.isEmpty()) {
            *why = QStringLiteral("Dovecot with POP3 is not installed");
            return false;
        }
        const QString dir = root + QLatin1Char('/') + name;
        m_logPath = dir + QStringLiteral("/dovecot.log");
        QDir().mkpath(dir + QStringLiteral("/run"));
        QDir().mkpath(dir + QStringLiteral("/state"));
        const QList<quint16> ports = freePorts(2);
        m_pop3Port = ports.at(0);
        m_pop3sPort = certDir.isEmpty() ? 0 : ports.at(1);

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
        const QByteArray mail = QFile::encodeName(root) + "/mail";
        QByteArray conf;
        conf += "base_dir = " + QFile::encodeName(dir) + "/run\n";
        conf += "state_dir = " + QFile::encodeName(dir) + "/state\n";
        conf += "log_path = " + QFile::encodeName(m_logPath) + "\n";
        conf += userLines;
        conf += "protocols = pop3\nlisten = 127.0.0.1\n";
        conf += "disable_plaintext_auth = no\nauth_mechanisms = plain\n";
        conf += "auth_failure_delay = 0\n";
        conf += "first_valid_uid = " + QByteArray::number(uid) + "\nlast_valid_uid = 0\n";
        conf += "mail_location = maildir:" + mail + "/%u/Maildir\n";
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
                " gid=" + QByteArray::number(gid) + " home=" + mail + "/%u\n}\n";
        // Port 0 switches off the listeners Dovecot would open by default.
        conf += "service pop3-login {\n" + chroot +
                "  inet_listener pop3 {\n    port = " + QByteArray::number(m_pop3Port) +
                "\n  }\n  inet_listener pop3s {\n    port = " + QByteArray::number(m_pop3sPort) +
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

        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->start(dovecot, {QStringLiteral("-F"), QStringLiteral("-c"), confPath});
        if (!m_process->waitForStarted(5000)) {
            *why = QStringLiteral("dovecot did not start: ") + m_process->errorString();
            return false;
        }
        if (!greets(m_pop3Port, 15000)) {
            *why = QStringLiteral("dovecot does not answer: ") +
                   QString::fromLocal8Bit(m_process->readAll() + log());
            stop();
            return false;
        }
        return true;
    }

    void stop() {
        if (!m_process || m_process->state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process->processId()), SIGTERM);
        if (!m_process->waitForFinished(10000)) {
            ::kill(pid_t(m_process->processId()), SIGKILL);
            m_process->waitForFinished(5000);
        }
    }

    quint16 pop3Port() const { return m_pop3Port; }
    // 0 without TLS.
    quint16 pop3sPort() const { return m_pop3sPort; }
    QByteArray log() const {
        QFile f(m_logPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    static bool writeFile(const QString& path, const QByteArray& data) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    }

    // Distinct ports nobody listens on; all probes are open at once so that
    // no port is handed out twice.
    static QList<quint16> freePorts(int count) {
        std::vector<std::unique_ptr<QTcpServer>> probes;
        QList<quint16> ports;
        for (int i = 0; i < count; ++i) {
            probes.push_back(std::make_unique<QTcpServer>());
            probes.back()->listen(QHostAddress::LocalHost, 0);
            ports << probes.back()->serverPort();
        }
        return ports;
    }

    // Until the server greets on the port.
    static bool greets(quint16 port, int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port);
            if (s.waitForConnected(500) && s.waitForReadyRead(1000) &&
                s.readAll().startsWith("+OK"))
                return true;
            QThread::msleep(100);
        }
        return false;
    }

    std::unique_ptr<QProcess> m_process;
    QString m_logPath;
    quint16 m_pop3Port = 0;
    quint16 m_pop3sPort = 0;
};
