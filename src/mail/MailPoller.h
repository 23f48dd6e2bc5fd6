#pragma once

// Checks up to four POP3 mailboxes every CheckIntervall minutes and tells the
// frame when mail waits. Runs on the user-interface thread and never blocks:
// each account is one socket conversation driven by the socket's signals, and
// a one-second timer of its own measures the interval and the time-outs.

#include "mail/model/Pop3Dialog.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class MailSound;
class Prefer;
class QSslSocket;

class MailPoller : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<qint64()>; // milliseconds, never going back
    using SocketSetup = std::function<void(QSslSocket&)>;

    static constexpr int TickMs = 1000;
    static constexpr qint64 AnswerTimeoutMs = 15000;
    static constexpr int MinIntervalMinutes = 1;
    // The longest interval the settings file has ever been able to mean.
    static constexpr int MaxIntervalMinutes = 546;

    static const QString SearchingSuffix;
    static const QString ProblemText;
    static QString mailHint(const QString& server);

    MailPoller(Prefer& prefs, const QString& appDir, QObject* parent = nullptr);
    ~MailPoller() override;

    // Takes the accounts and the interval from the preferences and switches
    // polling on or off; a poll under way is ended first.
    void restart(bool enable);
    // One timer beat: ends an account that kept silent too long and starts a
    // poll when one is due.
    void tick();
    // Ends a running poll at once and stops polling (the frame is closing).
    void abort();
    // The frame hid the mail symbol: the next mail found plays the sound again.
    void mailSymbolHidden();

    bool isEnabled() const { return m_enabled; }
    bool isPolling() const { return m_polling; }

    void setClock(Clock clock);
    // Called on every new socket before it connects (extra CA certificates,
    // proxy). Certificate verification stays on whatever it does.
    void setSocketSetup(SocketSetup setup) { m_socketSetup = std::move(setup); }

signals:
    // Text for the frame's "status" panel; empty clears it.
    void statusText(const QString& text);
    // The "look" picture beside the status text while a server is searched.
    void searching(bool active);
    // Mail waits on this server (as the user typed it): show the mail symbol
    // with mailHint(server).
    void mailWaiting(const QString& server);
    // Mail was found while the symbol was hidden.
    void soundRequested();
    void pollFinished();

private:
    struct Account {
        QString server;
        QString user;
        QString password;
        bool enabled = false;
    };

    qint64 now() const;
    void startPoll();
    void scheduleNextAccount();
    void nextAccount();
    void startAccount(const Account& account);
    void finishAccount(bool problem);
    void endPoll();
    void dropSocket();
    void onReadyRead();
    void onEncrypted();
    void onSocketError();
    void onPeerClosed();
    void apply(const Pop3Dialog::Reaction& reaction);

    Prefer& m_prefs;
    MailSound* m_sound;
    QTimer m_timer;
    QElapsedTimer m_elapsed;
    Clock m_clock;
    SocketSetup m_socketSetup;

    Account m_accounts[4];
    qint64 m_intervalMs = 60000;
    qint64 m_pollStamp = 0;
    qint64 m_accountStamp = 0;
    bool m_enabled = false;
    bool m_polling = false;
    bool m_symbolShown = false;
    bool m_mailReported = false;
    int m_index = 0;     // account being checked, 1..4
    quint64 m_runId = 0; // stale queued steps of an ended poll see a new id
    QSslSocket* m_socket = nullptr;
    Pop3Dialog m_dialog{QString(), QString(), false};
};
