#pragma once

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>

class QUrl;

// Which cookies the engine lets through: a page's own always, those of other
// sites (an embedded frame, a picture, a script from elsewhere) only where
// the user allowed them, on every page or on the pages of a few sites.
struct CookieRules {
    bool thirdPartyAllowed = false;
    // Host names in lower case.
    QSet<QString> sites;

    static CookieRules from(bool thirdPartyAllowed, const QStringList& sites);
    // `firstParty` is the address of the page in the window.
    bool accepts(bool thirdParty, const QUrl& firstParty) const;
};

// "Browserdaten löschen": how far back the data goes.
enum class ClearRange { LastHour, Today, All };

// The first moment whose data goes; invalid for everything (All).
QDateTime clearFrom(ClearRange range, const QDateTime& now);
