#include "browser/SiteData.h"

#include "browser/model/PrivacyRules.h"
#include "prefs/model/KorvixSettings.h"

#include <QDir>
#include <QList>
#include <QNetworkCookie>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <atomic>
#include <memory>

namespace {
// The engine asks from its network thread, for every cookie a page sets or
// sends; it reads the rules of the moment and never waits for this thread.
std::shared_ptr<const CookieRules> g_rules = std::make_shared<const CookieRules>();
QPointer<QWebEngineProfile> g_profile;

struct SeenCookie {
    QNetworkCookie cookie;
    QDateTime added;
};
QList<SeenCookie> g_seen;
// Cookies handed to a new profile: their coming back is no new cookie.
QList<QNetworkCookie> g_handedOver;
int g_emptying = 0;

// Where the engine keeps what sites store besides cookies and cache.
const char* const StorageFolders[] = {"Local Storage",  "Session Storage", "IndexedDB",
                                      "Service Worker", "databases",       "File System",
                                      "WebStorage",     "blob_storage"};

void forget(const QNetworkCookie& cookie) {
    g_seen.removeIf([&cookie](const SeenCookie& s) { return s.cookie.hasSameIdentifier(cookie); });
}

void seen(const QNetworkCookie& cookie) {
    for (qsizetype i = 0; i < g_handedOver.size(); ++i)
        if (g_handedOver[i].hasSameIdentifier(cookie) &&
            g_handedOver[i].value() == cookie.value()) {
            g_handedOver.removeAt(i);
            return;
        }
    forget(cookie);
    g_seen.append({cookie, QDateTime::currentDateTime()});
}

// Takes the cookie rules to the profile and notes its cookies from now on.
void watch(QWebEngineProfile* profile) {
    g_profile = profile;
    g_handedOver.clear();
    QWebEngineCookieStore* store = profile->cookieStore();
    SiteData::filterCookies(profile);
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, profile, &seen);
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, profile, &forget);
    // The first request waits until the cookie file is read; reading it
    // starts now, while the first window is still being built. Any call
    // that needs every cookie reads the file; this one does so without
    // reporting each stored cookie as added, so cookies of earlier
    // sessions, whose time the engine does not tell, are never taken for
    // new ones. A new profile has no session cookies yet to lose.
    store->deleteSessionCookies();
}
} // namespace

void SiteData::prepare(const QString& appDir, const QString& storage) {
    KorvixSettings settings(appDir);
    if (!settings.clearSiteDataAtStart())
        return;
    for (const char* folder : StorageFolders)
        QDir(QDir(storage).filePath(QString::fromLatin1(folder))).removeRecursively();
    settings.setClearSiteDataAtStart(false);
}

void SiteData::filterCookies(QWebEngineProfile* profile) {
    profile->cookieStore()->setCookieFilter(
        [](const QWebEngineCookieStore::FilterRequest& request) {
            const std::shared_ptr<const CookieRules> rules = std::atomic_load(&g_rules);
            return rules->accepts(request.thirdParty, request.firstPartyUrl);
        });
}

void SiteData::attach(QWebEngineProfile* profile, const QString& appDir) {
    g_seen.clear();
    applyCookieSettings(appDir);
    watch(profile);
}

void SiteData::detach() {
    g_profile = nullptr;
    g_seen.clear();
}

void SiteData::renew(QWebEngineProfile* profile) {
    watch(profile);
    for (const SeenCookie& s : std::as_const(g_seen)) {
        if (!s.cookie.isSessionCookie())
            continue;
        // The engine takes a cookie as if the site set it: a cookie of one
        // host alone goes without a domain, and a secure one from https.
        QNetworkCookie cookie = s.cookie;
        const bool domainWide = cookie.domain().startsWith(QLatin1Char('.'));
        QUrl origin;
        origin.setScheme(cookie.isSecure() ? QStringLiteral("https") : QStringLiteral("http"));
        origin.setHost(domainWide ? cookie.domain().mid(1) : cookie.domain());
        origin.setPath(cookie.path().isEmpty() ? QStringLiteral("/") : cookie.path());
        if (!domainWide)
            cookie.setDomain(QString());
        g_handedOver << s.cookie;
        profile->cookieStore()->setCookie(cookie, origin);
    }
}

bool SiteData::thirdPartyAllowedOn(const QString& site) {
    return std::atomic_load(&g_rules)->sites.contains(site);
}

void SiteData::applyCookieSettings(const QString& appDir) {
    const KorvixSettings settings(appDir);
    std::atomic_store(&g_rules,
                      std::make_shared<const CookieRules>(CookieRules::from(
                          settings.thirdPartyCookies(), settings.thirdPartyCookieSites())));
}

int SiteData::clearCookies(const QDateTime& from) {
    if (!g_profile)
        return 0;
    QWebEngineCookieStore* store = g_profile->cookieStore();
    if (!from.isValid()) {
        store->deleteAllCookies();
        g_seen.clear();
        return -1;
    }
    // Only what this session saw come: a cookie from an earlier session has
    // no time that could place it in the range, so it stays, and goes with
    // "Alles".
    int asked = 0;
    for (const SeenCookie& s : std::as_const(g_seen))
        if (s.added >= from) {
            store->deleteCookie(s.cookie);
            ++asked;
        }
    g_seen.removeIf([&from](const SeenCookie& s) { return s.added >= from; });
    return asked;
}

int SiteData::cookiesSeen() {
    return int(g_seen.size());
}

void SiteData::clearCache() {
    if (g_profile)
        g_profile->clearHttpCache();
}

void SiteData::clearStorageOf(const QStringList& origins) {
    if (!g_profile)
        return;
    // Run in a document of the site's own origin, written by the program
    // (the engine gives a document loaded with a base address that
    // address's origin); it says when everything asked is done.
    static const QString emptying = QStringLiteral(
        "<html><head><script>(async () => {"
        "try { localStorage.clear(); sessionStorage.clear(); } catch (e) {}"
        "try { for (const d of await indexedDB.databases()) indexedDB.deleteDatabase(d.name); }"
        " catch (e) {}"
        "try { for (const k of await caches.keys()) await caches.delete(k); } catch (e) {}"
        "try { for (const r of await navigator.serviceWorker.getRegistrations())"
        " await r.unregister(); } catch (e) {}"
        "document.title = 'leer';"
        "})();</script></head></html>");
    constexpr int MostMs = 10000;
    for (const QString& origin : origins) {
        auto* page = new QWebEnginePage(g_profile.data(), g_profile.data());
        ++g_emptying;
        QObject::connect(page, &QObject::destroyed, [] { --g_emptying; });
        QObject::connect(page, &QWebEnginePage::titleChanged, page, [page](const QString& title) {
            if (title == QLatin1String("leer"))
                page->deleteLater();
        });
        QTimer::singleShot(MostMs, page, &QObject::deleteLater);
        page->setHtml(emptying, QUrl(origin + QLatin1Char('/')));
    }
}

int SiteData::storageBeingCleared() {
    return g_emptying;
}

void SiteData::clearStorageAtStart(const QString& appDir) {
    KorvixSettings(appDir).setClearSiteDataAtStart(true);
}
