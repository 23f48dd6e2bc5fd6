#pragma once

#include <QString>
#include <QStringList>

// Korvix's own settings, which the preferences record (Pref.kxp, whose
// bytes stay as they are) does not hold: Korvix.ini beside it.
class KorvixSettings {
public:
    static constexpr char FileName[] = "Korvix.ini";

    explicit KorvixSettings(const QString& appDir);

    // "Link-Ziele im voraus cachen": the engine looks up the hosts of a
    // page's links ahead. Off unless switched on.
    bool prefetchLinks() const;
    void setPrefetchLinks(bool on);

    // The archive folder a bookmark made with Ctrl+D went to last (its
    // file name), empty before the first.
    QString lastBookmarkFolder() const;
    void setLastBookmarkFolder(const QString& fileName);

    // "Inhalte blockieren", for every window; on unless switched off.
    bool contentBlocking() const;
    void setContentBlocking(bool on);
    // Sites (host names) on which nothing is blocked.
    QStringList blockingExceptions() const;
    void setBlockingExceptions(const QStringList& hosts);

    // Cookies of other sites than the page's own: refused unless allowed
    // for every page, or for the pages of the sites (host names) listed.
    bool thirdPartyCookies() const;
    void setThirdPartyCookies(bool allowed);
    QStringList thirdPartyCookieSites() const;
    void setThirdPartyCookieSites(const QStringList& hosts);
    // The sites' stored data (local storage, databases, service workers) is
    // to go before the engine opens it at the next start.
    bool clearSiteDataAtStart() const;
    void setClearSiteDataAtStart(bool clear);

    // Sites (scheme://host:port) whose logins are never to be saved.
    QStringList passwordNeverSites() const;
    void setPasswordNeverSites(const QStringList& sites);

    // Spelling checked as one types in the pages' text fields, on unless
    // switched off, in the languages listed (engine names: "de-DE", "en-US").
    bool spellCheck() const;
    void setSpellCheck(bool on);
    QStringList spellLanguages() const;
    void setSpellLanguages(const QStringList& languages);

    // Where the settings live.
    QString path() const { return m_path; }

private:
    QString m_path;
};
