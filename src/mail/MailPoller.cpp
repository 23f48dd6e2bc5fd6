#include "mail/MailPoller.h"

#include "mail/MailSound.h"
#include "prefs/model/Prefer.h"

#include <QSslSocket>

const QString MailPoller::SearchingSuffix =
    QStringLiteral(" Server wird nach E-Mail durchsucht...");
const QString MailPoller::ProblemText =
    QStringLiteral("Es gab Probleme beim Durchsuchen von E-Mail !");

QString MailPoller::mailHint(const QString& server) {
    return QStringLiteral("Sie haben E-mail ! (") + server + QLatin1Char(')');
}

MailPoller::MailPoller(Prefer& prefs, const QString& appDir, QObject* parent)
    : QObject(parent), m_prefs(prefs), m_sound(new MailSound(appDir, this)) {
    m_elapsed.start();
    m_timer.setInterval(TickMs);
    connect(&m_timer, &QTimer::timeout, this, &MailPoller::tick);
    connect(this, &MailPoller::soundRequested, m_sound, &MailSound::play);
}

MailPoller::~MailPoller() {
    // The socket must not report its own teardown to a half-destroyed poller.
    if (m_socket) {
        m_socket->disconnect(this);
        delete m_socket;
    }
}

void MailPoller::setClock(Clock clock) {
    m_clock = std::move(clock);
}

qint64 MailPoller::now() const {
    return m_clock ? m_clock() : m_elapsed.elapsed();
}

void MailPoller::restart(bool enable) {
    if (m_polling)
        endPoll();
    m_intervalMs =
        qint64(qBound(MinIntervalMinutes, int(m_prefs.CheckIntervall), MaxIntervalMinutes)) * 60000;
    m_pollStamp = now();
    for (int i = 1; i <= Prefer::MailAccounts; ++i) {
        const Prefer& p = m_prefs;
        m_accounts[i - 1] = {p.MailSrv(i), p.User(i), p.Pwd(i), p.EnableMailCheck(i) != 0};
    }
    m_enabled = enable;
    if (enable)
        m_timer.start();
    else
        m_timer.stop();
}

void MailPoller::tick() {
    if (!m_enabled)
        return;
    const qint64 t = now();
    if (m_polling && m_socket && t - m_accountStamp > AnswerTimeoutMs)
        finishAccount(false);
    // A poll that outlasts the interval is not overtaken by the next one.
    if (!m_polling && t - m_pollStamp > m_intervalMs)
        startPoll();
}

void MailPoller::abort() {
    m_enabled = false;
    m_timer.stop();
    if (m_polling)
        endPoll();
}

void MailPoller::mailSymbolHidden() {
    m_symbolShown = false;
}

void MailPoller::startPoll() {
    m_polling = true;
    m_pollStamp = now();
    m_index = 0;
    ++m_runId;
    scheduleNextAccount();
}

void MailPoller::scheduleNextAccount() {
    // Through the event loop, so input and repaints get their turn between
    // two accounts.
    const quint64 run = m_runId;
    QTimer::singleShot(0, this, [this, run] {
        if (m_polling && run == m_runId)
            nextAccount();
    });
}

void MailPoller::nextAccount() {
    while (++m_index <= Prefer::MailAccounts) {
        if (m_accounts[m_index - 1].enabled) {
            startAccount(m_accounts[m_index - 1]);
            return;
        }
    }
    m_polling = false;
    emit pollFinished();
}

void MailPoller::startAccount(const Account& account) {
    const Pop3Address address = Pop3Address::parse(account.server);
    m_dialog = Pop3Dialog(account.user, account.password, address.implicitTls);
    m_mailReported = false;
    m_accountStamp = now();
    emit searching(true);
    emit statusText(account.server + SearchingSuffix);
    if (!address.valid) {
        finishAccount(true);
        return;
    }

    m_socket = new QSslSocket(this);
    if (m_socketSetup)
        m_socketSetup(*m_socket);
    connect(m_socket, &QSslSocket::readyRead, this, &MailPoller::onReadyRead);
    connect(m_socket, &QSslSocket::encrypted, this, &MailPoller::onEncrypted);
    connect(m_socket, &QSslSocket::disconnected, this, &MailPoller::onPeerClosed);
    connect(m_socket, &QSslSocket::errorOccurred, this, &MailPoller::onSocketError);
    if (address.implicitTls)
        m_socket->connectToHostEncrypted(address.host, address.port);
    else
        m_socket->connectToHost(address.host, address.port);
}

void MailPoller::finishAccount(bool problem) {
    dropSocket();
    if (problem)
        emit statusText(ProblemText);
    // Each account leaves the panel as it found it.
    emit statusText(QString());
    emit searching(false);
    scheduleNextAccount();
}

void MailPoller::endPoll() {
    const bool hadAccount = m_socket != nullptr;
    dropSocket();
    m_polling = false;
    ++m_runId;
    if (hadAccount) {
        emit statusText(QString());
        emit searching(false);
    }
}

void MailPoller::dropSocket() {
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

void MailPoller::onReadyRead() {
    apply(m_dialog.feed(m_socket->readAll()));
}

void MailPoller::onEncrypted() {
    apply(m_dialog.tlsEstablished());
}

void MailPoller::apply(const Pop3Dialog::Reaction& reaction) {
    if (m_dialog.mailCount() > 0 && !m_mailReported) {
        m_mailReported = true;
        if (!m_symbolShown) {
            m_symbolShown = true;
            emit soundRequested();
        }
        emit mailWaiting(m_accounts[m_index - 1].server);
        if (!m_socket) // the frame ended polling in its handler
            return;
    }
    if (!reaction.send.isEmpty())
        m_socket->write(reaction.send);
    if (reaction.startTls)
        m_socket->startClientEncryption();
    if (m_dialog.isEnded()) {
        const Pop3Dialog::Outcome outcome = m_dialog.outcome();
        finishAccount(outcome != Pop3Dialog::Outcome::Completed &&
                      outcome != Pop3Dialog::Outcome::Refused);
    }
}

void MailPoller::onSocketError() {
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError) {
        onPeerClosed();
        return;
    }
    finishAccount(true);
}

void MailPoller::onPeerClosed() {
    // The last reply may have come with the close.
    if (m_socket->bytesAvailable() > 0) {
        onReadyRead();
        if (!m_socket)
            return;
    }
    // Closing in the middle of the TLS switch is a failed switch, not the end
    // of a conversation.
    finishAccount(m_dialog.phase() == Pop3Dialog::Phase::Handshake);
}
