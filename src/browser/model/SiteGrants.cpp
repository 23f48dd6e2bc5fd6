#include "browser/model/SiteGrants.h"

#include <QUrl>

void SiteGrants::allowCertificate(const QString& host) {
    m_certificateHosts.insert(host.toLower());
}

bool SiteGrants::certificateAllowed(const QString& host) const {
    return m_certificateHosts.contains(host.toLower());
}

QString SiteGrants::originKey(const QUrl& origin, int permission) {
    // Scheme and host in the form the engine reports them; a missing port
    // is the scheme's own.
    const QUrl o = origin.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                                   QUrl::RemoveUserInfo);
    return QStringLiteral("%1://%2:%3#%4")
        .arg(o.scheme().toLower(), o.host().toLower())
        .arg(o.port(o.scheme() == QLatin1String("http") ? 80 : 443))
        .arg(permission);
}

void SiteGrants::answer(const QUrl& origin, int permission, bool allowed) {
    m_answers.insert(originKey(origin, permission), allowed);
}

std::optional<bool> SiteGrants::answerFor(const QUrl& origin, int permission) const {
    const auto it = m_answers.constFind(originKey(origin, permission));
    if (it == m_answers.constEnd())
        return std::nullopt;
    return *it;
}

QString SiteGrants::loginKey(const QUrl& server, const QString& realm, bool proxy) {
    return QStringLiteral("%1|%2|%3:%4|%5")
        .arg(proxy ? QStringLiteral("proxy") : QStringLiteral("site"), server.scheme().toLower(),
             server.host().toLower())
        .arg(server.port())
        .arg(realm);
}

void SiteGrants::rememberLogin(const QString& key, const Login& login) {
    m_logins.insert(key, login);
}

std::optional<SiteGrants::Login> SiteGrants::login(const QString& key) const {
    const auto it = m_logins.constFind(key);
    if (it == m_logins.constEnd())
        return std::nullopt;
    return *it;
}

void SiteGrants::clear() {
    m_certificateHosts.clear();
    m_answers.clear();
    m_logins.clear();
}

void SiteGrants::clearAnswersAndCertificates() {
    m_certificateHosts.clear();
    m_answers.clear();
}

void SiteGrants::clearLogins() {
    m_logins.clear();
}
