// How long one mail check of four accounts takes against a real POP3 server,
// a private Dovecot on 127.0.0.1, and the longest time the check keeps the
// event loop from running: the poller shares its thread with every window.
#include "BenchSupport.h"

#include "mail/MailPoller.h"
#include "prefs/model/Prefer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <cstdio>
#include <iterator>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

namespace {

constexpr int StallTickMs = 5;
constexpr int PollTimeoutMs = 60000;
constexpr int GreetingTimeoutMs = 15000;

struct Mailbox {
    const char* user;
    const char* password;
    int messages;
};
// The four accounts take turns between an empty mailbox and a full one.
constexpr Mailbox Mailboxes[] = {{"leer", "pw-leer", 0}, {"voll", "pw-voll", 3}};

QString findDovecot() {
    const QString dovecot = QStandardPaths::findExecutable(
        QStringLiteral("dovecot"),
        {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"), QStringLiteral("/sbin")});
    return QFile::exists(QStringLiteral("/usr/lib/dovecot/pop3")) ? dovecot : QString();
}

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool greets(quint16 port, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(500) && s.waitForReadyRead(1000) && s.readAll().startsWith("+OK"))
            return true;
        QThread::msleep(100);
    }
    return false;
}

// One Dovecot master process serving plain POP3, with its users, mailboxes
// and run-time folders below `root`.
class Dovecot {
public:
    ~Dovecot() { stop(); }

    quint16 port() const { return m_port; }

    bool start(const QString& dovecot, const QString& root, QString* why) {
        // Dovecot's own processes run under other users and must reach the
        // folders.
        QFile::setPermissions(root, QFile::permissions(root) | QFile::ReadGroup | QFile::ExeGroup |
                                        QFile::ReadOther | QFile::ExeOther);
        if (!writeMailboxes(root, why))
            return false;

        // Mail is read under an ordinary user id; as root that is Dovecot's
        // own, and only root may lock the helpers into a folder.
        uid_t uid = ::getuid();
        gid_t gid = ::getgid();
        QByteArray userLines;
        QByteArray chroot;
        if (uid == 0) {
            const passwd* pw = ::getpwnam("dovecot");
            if (!pw) {
                *why = QStringLiteral("no user 'dovecot'");
                return false;
            }
            uid = pw->pw_uid;
            gid = pw->pw_gid;
            QProcess chown;
            chown.start(QStringLiteral("chown"),
                        {QStringLiteral("-R"), QStringLiteral("%1:%2").arg(uid).arg(gid),
                         root + QStringLiteral("/mail")});
            if (!chown.waitForFinished() || chown.exitCode() != 0) {
                *why = QStringLiteral("cannot hand the mailboxes to user 'dovecot'");
                return false;
            }
        } else {
            const QByteArray me = ::getpwuid(uid)->pw_name;
            const QByteArray group = ::getgrgid(gid)->gr_name;
            userLines = "default_internal_user = " + me + "\ndefault_login_user = " + me +
                        "\ndefault_internal_group = " + group + "\n";
            chroot = "  chroot =\n";
        }

        const QByteArray dir = QFile::encodeName(root);
        m_logPath = root + QStringLiteral("/dovecot.log");
        QDir().mkpath(root + QStringLiteral("/run"));
        QDir().mkpath(root + QStringLiteral("/state"));
        m_port = freePort();
        QByteArray conf;
        conf += "base_dir = " + dir + "/run\nstate_dir = " + dir + "/state\n";
        conf += "log_path = " + QFile::encodeName(m_logPath) + "\n";
        conf += userLines;
        conf += "protocols = pop3\nlisten = 127.0.0.1\nssl = no\n";
        conf += "disable_plaintext_auth = no\nauth_mechanisms = plain\n";
        conf += "first_valid_uid = " + QByteArray::number(uid) + "\nlast_valid_uid = 0\n";
        conf += "mail_location = maildir:" + dir + "/mail/%u/Maildir\n";
        conf += "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u " +
                dir + "/passwd\n}\n";
        conf += "userdb {\n  driver = static\n  args = uid=" + QByteArray::number(uid) +
                " gid=" + QByteArray::number(gid) + " home=" + dir + "/mail/%u\n}\n";
        // Port 0 switches off the listeners Dovecot would open by default.
        conf += "service pop3-login {\n" + chroot +
                "  inet_listener pop3 {\n    port = " + QByteArray::number(m_port) +
                "\n  }\n  inet_listener pop3s {\n    port = 0\n  }\n}\n";
        conf += "service imap-login {\n  inet_listener imap {\n    port = 0\n  }\n"
                "  inet_listener imaps {\n    port = 0\n  }\n}\n";
        conf += "service anvil {\n" + chroot + "}\n";
        const QString confPath = root + QStringLiteral("/dovecot.conf");
        if (!bench::writeFile(confPath, conf)) {
            *why = QStringLiteral("cannot write ") + confPath;
            return false;
        }

        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(dovecot, {QStringLiteral("-F"), QStringLiteral("-c"), confPath});
        if (!m_process.waitForStarted(5000)) {
            *why = QStringLiteral("dovecot did not start: ") + m_process.errorString();
            return false;
        }
        if (!greets(m_port, GreetingTimeoutMs)) {
            QFile log(m_logPath);
            *why = QStringLiteral("dovecot does not answer: ") +
                   QString::fromLocal8Bit(m_process.readAll() +
                                          (log.open(QIODevice::ReadOnly) ? log.readAll() : ""));
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

private:
    static bool writeMailboxes(const QString& root, QString* why) {
        QByteArray passwd;
        for (const Mailbox& box : Mailboxes) {
            passwd += QByteArray(box.user) + ":{PLAIN}" + box.password + "::::::\n";
            const QString maildir = root + QStringLiteral("/mail/%1/Maildir").arg(box.user);
            for (const char* sub : {"/cur", "/new", "/tmp"})
                QDir().mkpath(maildir + QLatin1String(sub));
            for (int i = 1; i <= box.messages; ++i) {
                const QString path = maildir + QStringLiteral("/new/%1.M%1P1.korvix").arg(i);
                if (!bench::writeFile(path, "From: a@example.org\r\nSubject: Nachricht " +
                                                QByteArray::number(i) + "\r\n\r\nHallo.\r\n")) {
                    *why = QStringLiteral("cannot write ") + path;
                    return false;
                }
            }
        }
        if (!bench::writeFile(root + QStringLiteral("/passwd"), passwd)) {
            *why = QStringLiteral("cannot write the password file");
            return false;
        }
        return true;
    }

    QProcess m_process;
    QString m_logPath;
    quint16 m_port = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    const QString dovecotProgram = findDovecot();
    if (dovecotProgram.isEmpty()) {
        std::printf("mail poll: skipped, Dovecot with POP3 is not installed (Debian packages "
                    "dovecot-core and dovecot-pop3d)\n");
        return 0;
    }

    bench::Program program(argc, argv);
    if (!program.isValid())
        return 1;
    Dovecot dovecot;
    QString why;
    if (!dovecot.start(dovecotProgram, program.dir(), &why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }

    Prefer prefs(program.dir());
    prefs.setDefaults();
    prefs.CheckIntervall = 1;
    const QString server = QStringLiteral("127.0.0.1:%1").arg(dovecot.port());
    int withMail = 0;
    for (int i = 1; i <= Prefer::MailAccounts; ++i) {
        const Mailbox& box = Mailboxes[(i - 1) % std::size(Mailboxes)];
        prefs.MailSrv(i) = server;
        prefs.User(i) = QString::fromLatin1(box.user);
        prefs.Pwd(i) = QString::fromLatin1(box.password);
        prefs.EnableMailCheck(i) = 1;
        withMail += box.messages > 0 ? 1 : 0;
    }

    // The clock stands one interval after the poller was switched on, so the
    // poll is due at the first beat.
    qint64 now = 0;
    MailPoller poller(prefs, program.dir());
    poller.setClock([&now] { return now; });
    int reported = 0;
    bool finished = false;
    QString status;
    QObject::connect(&poller, &MailPoller::mailWaiting, [&reported] { ++reported; });
    QObject::connect(&poller, &MailPoller::pollFinished, [&finished] { finished = true; });
    QObject::connect(&poller, &MailPoller::statusText,
                     [&status](const QString& text) { status = text; });
    poller.restart(true);
    now += qint64(MailPoller::MinIntervalMinutes) * 60000 + 1;

    bench::StallMeter stalls(StallTickMs);
    QElapsedTimer timer;
    stalls.start();
    timer.start();
    poller.tick();
    const bool done = bench::waitUntil([&finished] { return finished; }, PollTimeoutMs, 1);
    const double totalMs = bench::msSince(timer);
    stalls.stop();
    poller.abort();

    std::printf("mail poll, %d accounts on a local Dovecot (%d with %d messages, %d empty): "
                "total %.1f ms, longest event-loop block %.1f ms\n",
                Prefer::MailAccounts, withMail, Mailboxes[1].messages,
                Prefer::MailAccounts - withMail, totalMs, stalls.longestMs());
    if (!done)
        std::printf("mail poll: not finished within %d ms\n", PollTimeoutMs);
    if (reported != withMail)
        std::printf("mail poll: %d accounts reported mail instead of %d\n", reported, withMail);
    if (status == MailPoller::ProblemText)
        std::printf("mail poll: the poller reported a problem\n");
    program.printTotalRun();
    return 0;
}
