#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class QWebEngineProfile;

// What the engine keeps of the sites, and the user's say in it: which cookies
// it takes (those of other sites only where the user allowed them), when this
// session saw each cookie come, and clearing cookies, the cache and the
// sites' stored data.
namespace SiteData {

// Before the profile opens its folder `storage`: removes the sites' stored
// data there if the last clearing asked for it (Korvix.ini under appDir).
void prepare(const QString& appDir, const QString& storage);
// Puts the cookie rules of Korvix.ini under appDir to work on the new
// profile and watches its cookies from now on.
void attach(QWebEngineProfile* profile, const QString& appDir);
// Whether the cookie rules in force let other sites' cookies through on
// this site (lower case) by its own exception.
bool thirdPartyAllowedOn(const QString& site);
// The same cookie rules on another profile (the private windows').
void filterCookies(QWebEngineProfile* profile);
// The profile goes.
void detach();
// The profile was made anew on the same folder: the cookies in its file
// come back by themselves, those of this session without an end are handed
// to the new one, and when each came is still known.
void renew(QWebEngineProfile* profile);
// Reads the cookie rules of Korvix.ini under appDir again; the engine goes
// by them from the next cookie on, in every window.
void applyCookieSettings(const QString& appDir);

// Deletes the cookies this session saw come at `from` or later, or every
// cookie when `from` is invalid; returns how many it asked the engine to
// delete (-1: all). Nothing without a profile.
int clearCookies(const QDateTime& from);
// Cookies this session saw come and still has (tests, the dialog).
int cookiesSeen();
void clearCache();
// Empties what these sites ("http://host:port") keep besides cookies and
// cache: local storage, databases, cache storage and service workers. Each
// is emptied at once by a hidden page of that site that asks the network
// for nothing; open pages of the site lose it too.
void clearStorageOf(const QStringList& origins);
// Sites whose data is still being emptied.
int storageBeingCleared();
// The folders of that data, for every site, also of earlier sessions,
// which the engine keeps open while it runs: they go at the next start,
// before the engine opens them.
void clearStorageAtStart(const QString& appDir);

} // namespace SiteData
