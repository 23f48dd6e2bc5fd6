#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <optional>

class QUrl;

// What the user allowed or refused the sites of this session: certificate
// exceptions, answers to permission questions and the logins typed. Lives in
// memory only; nothing of it ever reaches a file.
class SiteGrants {
public:
    struct Login {
        QString user;
        QString password;
    };

    // The user chose to load this host despite its certificate.
    void allowCertificate(const QString& host);
    bool certificateAllowed(const QString& host) const;

    // A permission (by the engine's number) for a site, given by its origin
    // (scheme, host and port).
    void answer(const QUrl& origin, int permission, bool allowed);
    std::optional<bool> answerFor(const QUrl& origin, int permission) const;

    // The login typed for a server or proxy and realm, offered again the
    // next time the same one asks.
    static QString loginKey(const QUrl& server, const QString& realm, bool proxy);
    void rememberLogin(const QString& key, const Login& login);
    std::optional<Login> login(const QString& key) const;

    // Forgets everything (a new session).
    void clear();
    // Forgets one kind: what the user said to permission questions and the
    // certificates let through, or the logins typed.
    void clearAnswersAndCertificates();
    void clearLogins();
    // Whether a certificate was let through, or a login given, since the
    // last clearing: the engine keeps those as well.
    bool hasCertificates() const { return !m_certificateHosts.isEmpty(); }
    bool hasLogins() const { return !m_logins.isEmpty(); }

private:
    static QString originKey(const QUrl& origin, int permission);

    QSet<QString> m_certificateHosts;
    QHash<QString, bool> m_answers;
    QHash<QString, Login> m_logins;
};
