#include "passwords/model/LoginRules.h"

#include <QUrl>

QString LoginRules::siteOf(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty())
        return {};
    const int port = url.port(scheme == QLatin1String("https") ? 443 : 80);
    return QStringLiteral("%1://%2:%3").arg(scheme, url.host().toLower()).arg(port);
}

QString LoginRules::hostOf(const QString& site) {
    return QUrl(site).host();
}

LoginRules::Offer LoginRules::offerFor(const QList<SavedLogin>& known, const QString& user,
                                       const QString& password) {
    if (password.isEmpty())
        return Offer::Nothing;
    for (const SavedLogin& login : known)
        if (login.user == user)
            return login.password == password ? Offer::Nothing : Offer::Update;
    return Offer::Save;
}
