// How long one mail check of four accounts takes against a real POP3 server,
// a private Dovecot on 127.0.0.1, and the longest time the check keeps the
// event loop from running: the poller shares its thread with every window.
#include "BenchSupport.h"
#include "DovecotServer.h"

#include "mail/MailPoller.h"
#include "prefs/model/Prefer.h"

#include <QElapsedTimer>
#include <cstdio>

namespace {

constexpr int StallTickMs = 5;
constexpr int PollTimeoutMs = 60000;

// The four accounts take turns between an empty mailbox and a full one.
const QList<DovecotServer::Mailbox> Mailboxes = {
    {QStringLiteral("leer"), QStringLiteral("pw-leer"), 0},
    {QStringLiteral("voll"), QStringLiteral("pw-voll"), 3}};

} // namespace

int main(int argc, char* argv[]) {
    if (DovecotServer::program().isEmpty()) {
        std::printf("mail poll: skipped, Dovecot with POP3 is not installed (Debian packages "
                    "dovecot-core and dovecot-pop3d)\n");
        return 0;
    }

    bench::Program program(argc, argv);
    if (!program.isValid())
        return 1;
    DovecotServer dovecot;
    QString why;
    if (!DovecotServer::writeMailboxes(program.dir(), Mailboxes, &why) ||
        !dovecot.start(program.dir(), QStringLiteral("plain"), QString(), &why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }

    Prefer prefs(program.dir());
    prefs.setDefaults();
    prefs.CheckIntervall = 1;
    const QString server = QStringLiteral("127.0.0.1:%1").arg(dovecot.pop3Port());
    int withMail = 0;
    for (int i = 1; i <= Prefer::MailAccounts; ++i) {
        const DovecotServer::Mailbox& box = Mailboxes.at((i - 1) % Mailboxes.size());
        prefs.MailSrv(i) = server;
        prefs.User(i) = box.user;
        prefs.Pwd(i) = box.password;
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
