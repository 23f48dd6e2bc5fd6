#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <memory>

class ListUpdater;
class QThread;
class QUrl;

namespace Blocking {
class FilterSet;
enum class ResourceType : quint16;
} // namespace Blocking

// Keeps ads and trackers away from every page: the filter lists of the
// folder Filter/ are read in the background, and until they are there pages
// load unfiltered rather than wait. The switch for all windows and the sites
// the user lets through are kept in Korvix.ini.
class ContentBlocker : public QObject {
    Q_OBJECT
public:
    // Takes the switch and the sites from Korvix.ini; the lists wait for
    // start().
    explicit ContentBlocker(const QString& appDir, QObject* parent = nullptr);
    ~ContentBlocker() override;

    // Reads the lists in the background and keeps them fresh from now on;
    // the web engine calls it when it starts. Later calls do nothing.
    void start();

    // Every *.txt in this folder is a filter list; this one holds the
    // user's own rules.
    static QString listFolder(const QString& appDir);
    static constexpr char UserListFile[] = "eigene-regeln.txt";
    QString userListPath() const;
    // The subscriptions and their downloads.
    ListUpdater* updater() const { return m_updater; }
    // The lists read now: the folder's, and Debian's copies of EasyList and
    // EasyPrivacy where the folder has none of its own yet.
    QStringList listFiles() const;
    // Whether Debian's copy stands in for a list of this file name now.
    bool usesDebianCopy(const QString& fileName) const;

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool on);
    // Sites (host names) on which nothing is blocked.
    bool isSiteAllowed(const QString& host) const;
    void setSiteAllowed(const QString& host, bool allowed);

    // Whether a request a page makes is refused.
    bool blocks(const QUrl& url, const QUrl& page, Blocking::ResourceType type) const;
    // The script that gives a new document of this page the style sheet
    // hiding its ads; empty where nothing is hidden.
    QString hidingScript(const QUrl& page) const;

    // Whether the lists have been read; the rules and the lines left out.
    bool isLoaded() const { return bool(m_filters); }
    int ruleCount() const { return m_rules; }
    int skippedCount() const { return m_skipped; }
    // Reads the lists again, in the background; a reading under way ends
    // first.
    void reload();

signals:
    // The lists are read (again).
    void filtersLoaded();
    // Switched on or off, or a site let through or no longer.
    void settingsChanged();

private:
    // Whether a page is filtered at all: blocking on, the lists read, its
    // site not let through and no exception for the whole page. Gives its
    // address and host as the filters take them.
    bool filtersPage(const QUrl& page, QString* pageUrl, QString* pageHost) const;

    QString m_appDir;
    ListUpdater* m_updater = nullptr;
    bool m_enabled = true;
    QSet<QString> m_allowedSites;
    std::shared_ptr<const Blocking::FilterSet> m_filters;
    int m_rules = 0;
    int m_skipped = 0;
    QThread* m_reader = nullptr;
    bool m_readAgain = false;
    bool m_started = false;
    // Scripts by host: many windows show pages of the same few sites.
    mutable QHash<QString, QString> m_scripts;
};
