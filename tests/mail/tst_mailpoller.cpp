#include "ScriptedPop3Server.h"
#include "StartedApp.h"
#include "frame/FrameStatus.h"
#include "frame/MainFrame.h"
#include "mail/MailPoller.h"
#include "prefs/model/Prefer.h"

#include <QFile>
#include <QLabel>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString searchingText(const QString& server) {
    return server + MailPoller::SearchingSuffix;
}

// A tenth of a second of silence: 8 kHz, 16-bit mono PCM.
QByteArray silentWave() {
    const auto le = [](quint32 v, int bytes) {
        QByteArray b;
        for (int i = 0; i < bytes; ++i)
            b += char((v >> (8 * i)) & 0xff);
        return b;
    };
    const QByteArray samples(1600, '\0');
    return "RIFF" + le(36 + samples.size(), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) +
           le(8000, 4) + le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(samples.size(), 4) +
           samples;
}

// Whether a library of that name is mapped into this process.
bool isLoaded(const QByteArray& name) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}

// A free port that nobody listens on: the connection is refused.
QString refusingAddress() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("127.0.0.1:") + QString::number(port);
}

} // namespace

class TestMailPoller : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void onlyAccountThreeIsChecked();
    void mailOnTwoAccountsSoundsOnceAndNamesTheLast();
    void soundAgainOnlyAfterTheSymbolWasHidden();
    void soundFileIsPlayedByTheSoundModule();
    void emptyMailboxIsNoMail();
    void greetingWithoutOkEndsTheCheck();
    void wrongPasswordEndsSilently();
    void repliesDrippingInByteByByte();
    void silentServerIsAbandonedAfter15Seconds();
    void noSecondPollWhileOneRuns();
    void interval_data();
    void interval();
    void initFalseStopsPolling();
    void initFalseEndsARunningPoll();
    void refusedConnectionShowsTheProblem();
    void refusedStlsNeverSendsThePassword();
    void failedTlsSwitchNeverSendsThePassword();
    void abortEndsTheWait();
    void accountsAreCopiedAtInit();
    void frameShowsTheSearch();

private:
    void setAccount(int i, const QString& server, const QString& user, bool enabled);
    // Starts polling at clock 0 and lets the first poll fall due.
    void startFirstPoll();
    bool waitForPoll(int timeoutMs = 10000);
    QStringList shownTexts() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Prefer> m_prefs;
    std::unique_ptr<MailPoller> m_poller;
    qint64 m_now = 0;
    std::unique_ptr<QSignalSpy> m_status;
    std::unique_ptr<QSignalSpy> m_mail;
    std::unique_ptr<QSignalSpy> m_sound;
    std::unique_ptr<QSignalSpy> m_finished;
};

void TestMailPoller::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_prefs = std::make_unique<Prefer>(m_dir->path());
    m_prefs->setDefaults();
    m_prefs->CheckIntervall = 1;
    for (int i = 1; i <= Prefer::MailAccounts; ++i)
        setAccount(i, QString(), QString(), false);
    m_now = 5000; // not zero: durations must be measured, not read off the clock
    m_poller = std::make_unique<MailPoller>(*m_prefs, m_dir->path());
    m_poller->setClock([this] { return m_now; });
    m_status = std::make_unique<QSignalSpy>(m_poller.get(), &MailPoller::statusText);
    m_mail = std::make_unique<QSignalSpy>(m_poller.get(), &MailPoller::mailWaiting);
    m_sound = std::make_unique<QSignalSpy>(m_poller.get(), &MailPoller::soundRequested);
    m_finished = std::make_unique<QSignalSpy>(m_poller.get(), &MailPoller::pollFinished);
}

void TestMailPoller::cleanup() {
    m_status.reset();
    m_mail.reset();
    m_sound.reset();
    m_finished.reset();
    m_poller.reset();
    m_prefs.reset();
    m_dir.reset();
}

void TestMailPoller::setAccount(int i, const QString& server, const QString& user, bool enabled) {
    m_prefs->MailSrv(i) = server;
    m_prefs->User(i) = user;
    m_prefs->Pwd(i) = QStringLiteral("pw") + QString::number(i);
    m_prefs->EnableMailCheck(i) = enabled ? 1 : 0;
}

void TestMailPoller::startFirstPoll() {
    m_poller->restart(true);
    m_now += 60001;
    m_poller->tick();
    QVERIFY(m_poller->isPolling());
}

bool TestMailPoller::waitForPoll(int timeoutMs) {
    const qsizetype before = m_finished->size();
    return QTest::qWaitFor([&] { return m_finished->size() > before; }, timeoutMs);
}

QStringList TestMailPoller::shownTexts() const {
    QStringList texts;
    for (const QList<QVariant>& args : *m_status)
        texts << args.at(0).toString();
    return texts;
}

void TestMailPoller::onlyAccountThreeIsChecked() {
    ScriptedPop3Server server(Pop3Part::mailbox(0));
    QVERIFY(server.isListening());
    for (int i = 1; i <= 4; ++i)
        setAccount(i, server.address(), QStringLiteral("user%1").arg(i), i == 3);
    QSignalSpy searching(m_poller.get(), &MailPoller::searching);
    startFirstPoll();
    QVERIFY(waitForPoll());
    QCOMPARE(server.connections, 1);
    QCOMPARE(server.commands,
             (QList<QByteArray>{"CAPA", "USER user3", "PASS pw3", "LIST", "QUIT"}));
    // Skipped accounts leave the status panel alone.
    QCOMPARE(m_status->size(), 2);
    QCOMPARE(m_status->at(0).at(0).toString(), searchingText(server.address()));
    QCOMPARE(m_status->at(1).at(0).toString(), QString());
    QCOMPARE(searching.size(), 2);
    QCOMPARE(searching.at(0).at(0).toBool(), true);
    QCOMPARE(searching.at(1).at(0).toBool(), false);
}

void TestMailPoller::mailOnTwoAccountsSoundsOnceAndNamesTheLast() {
    ScriptedPop3Server full(Pop3Part::mailbox(3));
    ScriptedPop3Server empty(Pop3Part::mailbox(0));
    ScriptedPop3Server alsoFull(Pop3Part::mailbox(1));
    setAccount(1, full.address(), "a", true);
    setAccount(2, empty.address(), "b", true);
    setAccount(3, alsoFull.address(), "c", true);
    startFirstPoll();
    QVERIFY(waitForPoll());
    QCOMPARE(m_sound->size(), 1);
    QCOMPARE(m_mail->size(), 2);
    QCOMPARE(m_mail->last().at(0).toString(), alsoFull.address());
    QCOMPARE(m_mail->first().at(0).toString(), full.address());
    QCOMPARE(MailPoller::mailHint(alsoFull.address()),
             QStringLiteral("Sie haben E-mail ! (") + alsoFull.address() + ")");
}

// The audio libraries come with the first sound, not with the program.
void TestMailPoller::soundFileIsPlayedByTheSoundModule() {
    QFile wave(m_dir->filePath(QStringLiteral("notify.wav")));
    QVERIFY(wave.open(QIODevice::WriteOnly));
    wave.write(silentWave());
    wave.close();
    QVERIFY(!isLoaded("libQt6Multimedia"));
    ScriptedPop3Server full(Pop3Part::mailbox(1));
    setAccount(1, full.address(), "a", true);
    startFirstPoll();
    QVERIFY(waitForPoll());
    QCOMPARE(m_sound->size(), 1);
    QVERIFY(isLoaded("korvix-sound.so"));
    QVERIFY(isLoaded("libQt6Multimedia"));
}

void TestMailPoller::soundAgainOnlyAfterTheSymbolWasHidden() {
    ScriptedPop3Server full(Pop3Part::mailbox(2));
    setAccount(2, full.address(), "a", true);
    startFirstPoll();
    QVERIFY(waitForPoll());
    QCOMPARE(m_sound->size(), 1);

    m_now += 60001;
    m_poller->tick();
    QVERIFY(waitForPoll());
    QCOMPARE(m_mail->size(), 2);
    QCOMPARE(m_sound->size(), 1); // the symbol is still up

    m_poller->mailSymbolHidden();
    m_now += 60001;
    m_poller->tick();
    QVERIFY(waitForPoll());
    QCOMPARE(m_mail->size(), 3);
    QCOMPARE(m_sound->size(), 2);
}

void TestMailPoller::emptyMailboxIsNoMail() {
    ScriptedPop3Server empty(Pop3Part::mailbox(0));
    setAccount(1, empty.address(), "a", true);
    startFirstPoll();
    QVERIFY(waitForPoll());
    QCOMPARE(m_mail->size(), 0);
    QCOMPARE(m_sound->size(), 0);
    QCOMPARE(empty.commands.last(), QByteArray("QUIT"));
}

void TestMailPoller::greetingWithoutOkEndsTheCheck() {
    ScriptedPop3Server grumpy(Pop3Part::mailbox(5).greetingIs("-ERR too busy\r\n"));
    ScriptedPop3Server next(Pop3Part::mailbox(0));
    setAccount(1, grumpy.address(), "a", true);
    setAccount(2, next.address(), "b", true);
    startFirstPoll();
    QVERIFY(waitForPoll());
    QVERIFY(grumpy.commands.isEmpty());
    QTRY_COMPARE(grumpy.closedByClient, 1);
    QCOMPARE(next.connections, 1);
    QCOMPARE(m_mail->size(), 0);
    QCOMPARE(m_status->last().at(0).toString(), QString());
}

void TestMailPoller::wrongPasswordEndsSilently() {
    ScriptedPop3Server server(Pop3Part::mailbox(4).wrongPassword());
    setAccount(4, server.address(), "a", true);
    startFirstPoll();
    QVERIFY(waitForPoll());
    QCOMPARE(server.commands, (QList<QByteArray>{"CAPA", "USER a", "PASS pw4"}));
    QCOMPARE(m_mail->size(), 0);
    QCOMPARE(m_status->last().at(0).toString(), QString());
}

void TestMailPoller::repliesDrippingInByteByByte() {
    ScriptedPop3Server slow(Pop3Part::mailbox(12).dripping());
    setAccount(1, slow.address(), "a", true);
    startFirstPoll();
    QVERIFY(waitForPoll(20000));
    QCOMPARE(slow.commands, (QList<QByteArray>{"CAPA", "USER a", "PASS pw1", "LIST", "QUIT"}));
    QCOMPARE(m_mail->size(), 1);
}

void TestMailPoller::silentServerIsAbandonedAfter15Seconds() {
    ScriptedPop3Server mute(Pop3Part::mute());
    ScriptedPop3Server full(Pop3Part::mailbox(1));
    setAccount(1, mute.address(), "a", true);
    setAccount(2, full.address(), "b", true);
    startFirstPoll();
    QTRY_COMPARE(mute.connections, 1);

    m_now += MailPoller::AnswerTimeoutMs;
    m_poller->tick();
    QTest::qWait(100);
    QVERIFY(m_poller->isPolling());
    QCOMPARE(full.connections, 0);

    m_now += 1;
    m_poller->tick();
    QVERIFY(waitForPoll());
    QTRY_COMPARE(mute.closedByClient, 1);
    QCOMPARE(full.connections, 1);
    QCOMPARE(m_mail->size(), 1);
}

void TestMailPoller::noSecondPollWhileOneRuns() {
    ScriptedPop3Server mute1(Pop3Part::mute());
    ScriptedPop3Server mute2(Pop3Part::mute());
    setAccount(1, mute1.address(), "a", true);
    setAccount(2, mute2.address(), "b", true);
    startFirstPoll();
    QTRY_COMPARE(mute1.connections, 1);

    // Far past both the time-out and the interval: the wait for account 1
    // ends and the running poll goes on with account 2 instead of starting
    // over.
    m_now += 3600 * 1000;
    m_poller->tick();
    QTRY_COMPARE(mute2.connections, 1);
    QTest::qWait(100);
    QCOMPARE(mute1.connections, 1);
    QCOMPARE(m_finished->size(), 0);

    m_now += 3600 * 1000;
    m_poller->tick();
    QVERIFY(waitForPoll());
    QCOMPARE(mute1.connections, 1);
}

void TestMailPoller::interval_data() {
    QTest::addColumn<int>("minutes");
    QTest::addColumn<qint64>("dueAfterMs");
    QTest::newRow("5") << 5 << qint64(300000);
    QTest::newRow("1") << 1 << qint64(60000);
    QTest::newRow("10") << 10 << qint64(600000);
    QTest::newRow("0 means 1") << 0 << qint64(60000);
    QTest::newRow("negative means 1") << -7 << qint64(60000);
    QTest::newRow("546 is the longest") << 546 << qint64(32760000);
    QTest::newRow("547 is cut") << 547 << qint64(32760000);
    QTest::newRow("largest stored value") << 32767 << qint64(32760000);
}

void TestMailPoller::interval() {
    QFETCH(int, minutes);
    QFETCH(qint64, dueAfterMs);
    ScriptedPop3Server server(Pop3Part::mailbox(0));
    setAccount(1, server.address(), "a", true);
    m_prefs->CheckIntervall = qint16(minutes);
    m_poller->restart(true);
    const qint64 start = m_now;

    m_now = start + dueAfterMs;
    m_poller->tick();
    QVERIFY(!m_poller->isPolling());
    m_now = start + dueAfterMs + 1;
    m_poller->tick();
    QVERIFY(m_poller->isPolling());
    QVERIFY(waitForPoll());
    QCOMPARE(server.connections, 1);

    // The next one counts from the start of this poll.
    m_now += dueAfterMs;
    m_poller->tick();
    QVERIFY(!m_poller->isPolling());
    m_now += 1;
    m_poller->tick();
    QVERIFY(m_poller->isPolling());
}

void TestMailPoller::initFalseStopsPolling() {
    ScriptedPop3Server server(Pop3Part::mailbox(1));
    setAccount(1, server.address(), "a", true);
    m_poller->restart(true);
    QVERIFY(m_poller->isEnabled());
    m_poller->restart(false);
    QVERIFY(!m_poller->isEnabled());
    for (int i = 0; i < 3; ++i) {
        m_now += 24 * 3600 * 1000LL;
        m_poller->tick();
        QVERIFY(!m_poller->isPolling());
    }
    QTest::qWait(50);
    QCOMPARE(server.connections, 0);

    // Switched on again, the interval counts from then.
    m_poller->restart(true);
    m_now += 60000;
    m_poller->tick();
    QVERIFY(!m_poller->isPolling());
    m_now += 1;
    m_poller->tick();
    QVERIFY(waitForPoll());
    QCOMPARE(server.connections, 1);
}

void TestMailPoller::initFalseEndsARunningPoll() {
    ScriptedPop3Server mute(Pop3Part::mute());
    ScriptedPop3Server other(Pop3Part::mailbox(1));
    setAccount(1, mute.address(), "a", true);
    setAccount(2, other.address(), "b", true);
    startFirstPoll();
    QTRY_COMPARE(mute.connections, 1);
    m_poller->restart(false);
    QVERIFY(!m_poller->isPolling());
    QTRY_COMPARE(mute.closedByClient, 1);
    QTest::qWait(100);
    QCOMPARE(other.connections, 0);
    QCOMPARE(m_status->last().at(0).toString(), QString());
}

void TestMailPoller::refusedConnectionShowsTheProblem() {
    ScriptedPop3Server good(Pop3Part::mailbox(0));
    setAccount(1, refusingAddress(), "a", true);
    setAccount(2, good.address(), "b", true);
    startFirstPoll();
    QVERIFY(waitForPoll());
    QCOMPARE(good.connections, 1);
    QStringList texts;
    for (const QList<QVariant>& args : *m_status)
        texts << args.at(0).toString();
    // The problem is shown, and each account's end clears the panel.
    QCOMPARE(texts, (QStringList{searchingText(m_prefs->MailSrv1), MailPoller::ProblemText,
                                 QString(), searchingText(good.address()), QString()}));

    // A clean poll afterwards clears the text again.
    setAccount(1, good.address(), "a", true);
    m_poller->restart(true);
    m_now += 60001;
    m_poller->tick();
    QVERIFY(waitForPoll());
    QCOMPARE(m_status->last().at(0).toString(), QString());
}

void TestMailPoller::refusedStlsNeverSendsThePassword() {
    ScriptedPop3Server server(
        Pop3Part::mailbox(1).capaIs("+OK\r\nSTLS\r\nUSER\r\n.\r\n").stlsIs("-ERR not today\r\n"));
    setAccount(1, server.address(), "a", true);
    startFirstPoll();
    QVERIFY(waitForPoll());
    QCOMPARE(server.commands, (QList<QByteArray>{"CAPA", "STLS"}));
    QCOMPARE(shownTexts().mid(1), (QStringList{MailPoller::ProblemText, QString()}));
    QCOMPARE(m_mail->size(), 0);
}

void TestMailPoller::failedTlsSwitchNeverSendsThePassword() {
    ScriptedPop3Server server(
        Pop3Part::mailbox(1).capaIs("+OK\r\nSTLS\r\n.\r\n").stlsIs("+OK Begin TLS\r\n"));
    setAccount(1, server.address(), "a", true);
    startFirstPoll();
    QVERIFY(waitForPoll());
    QVERIFY(server.commands.size() >= 2);
    QCOMPARE(server.commands.mid(0, 2), (QList<QByteArray>{"CAPA", "STLS"}));
    QVERIFY(!server.received("USER"));
    QVERIFY(!server.received("PASS"));
    for (const QByteArray& c : server.commands)
        QVERIFY(!c.contains("pw1"));
    QCOMPARE(shownTexts().mid(1), (QStringList{MailPoller::ProblemText, QString()}));
}

void TestMailPoller::abortEndsTheWait() {
    ScriptedPop3Server mute(Pop3Part::mute());
    setAccount(1, mute.address(), "a", true);
    startFirstPoll();
    QTRY_COMPARE(mute.connections, 1);
    m_poller->abort();
    QVERIFY(!m_poller->isPolling());
    QVERIFY(!m_poller->isEnabled());
    QTRY_COMPARE(mute.closedByClient, 1);
    m_now += 24 * 3600 * 1000LL;
    m_poller->tick();
    QVERIFY(!m_poller->isPolling());
}

void TestMailPoller::accountsAreCopiedAtInit() {
    ScriptedPop3Server first(Pop3Part::mailbox(0));
    ScriptedPop3Server later(Pop3Part::mailbox(0));
    setAccount(1, first.address(), "a", true);
    m_poller->restart(true);
    // Edited preferences count only from the next restart.
    setAccount(1, later.address(), "a", true);
    m_now += 60001;
    m_poller->tick();
    QVERIFY(waitForPoll());
    QCOMPARE(first.connections, 1);
    QCOMPARE(later.connections, 0);
}

// The frame's status panel: the server's name with the magnifier while it
// is searched, and nothing once the account is done.
void TestMailPoller::frameShowsTheSearch() {
    ScriptedPop3Server mute(Pop3Part::mute());
    StartedApp app;
    app.writePrefs([&](Prefer& p) {
        p.StartBrowser = 0;
        p.CheckIntervall = 1;
        p.MailSrv1 = mute.address();
        p.User1 = QStringLiteral("a");
        p.Pwd1 = QStringLiteral("b");
        p.EnableMailCheck1 = -1;
    });
    MainFrame* frame = app.start();
    MailPoller* poller = frame->mailPoller();
    QVERIFY(poller && poller->isEnabled());
    QVERIFY(frame->status()->picture()->pixmap().isNull());
    qint64 now = 10 * 60000;
    poller->setClock([&now] { return now; });
    poller->tick();
    QTRY_COMPARE(mute.connections, 1);
    QCOMPARE(frame->status()->text()->text(), searchingText(mute.address()));
    QVERIFY(!frame->status()->picture()->pixmap().isNull());
    now += MailPoller::AnswerTimeoutMs + 1;
    poller->tick();
    QCOMPARE(frame->status()->text()->text(), QString());
    QVERIFY(frame->status()->picture()->pixmap().isNull());
}

QTEST_MAIN(TestMailPoller)
#include "tst_mailpoller.moc"
