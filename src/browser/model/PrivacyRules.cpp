#include "browser/model/PrivacyRules.h"

#include <QUrl>

CookieRules CookieRules::from(bool thirdPartyAllowed, const QStringList& sites) {
    CookieRules rules;
    rules.thirdPartyAllowed = thirdPartyAllowed;
    for (const QString& site : sites)
        if (!site.trimmed().isEmpty())
            rules.sites.insert(site.trimmed().toLower());
    return rules;
}

bool CookieRules::accepts(bool thirdParty, const QUrl& firstParty) const {
    if (!thirdParty || thirdPartyAllowed)
        return true;
    const QString host = firstParty.host().toLower();
    return !host.isEmpty() && sites.contains(host);
}

QDateTime clearFrom(ClearRange range, const QDateTime& now) {
    switch (range) {
    case ClearRange::LastHour:
        return now.addSecs(-3600);
    case ClearRange::Today:
        return QDateTime(now.date(), QTime(0, 0), now.timeSpec());
    case ClearRange::All:
        break;
    }
    return QDateTime();
}
