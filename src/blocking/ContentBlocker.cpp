#include "blocking/ContentBlocker.h"

#include "blocking/ListUpdater.h"
#include "blocking/model/Filters.h"
#include "common/SafeFile.h"
#include "prefs/model/KorvixSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>
#include <QUrl>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// Debian's uBlock Origin package brings these two; they serve until the
// subscriptions of the same name have been downloaded once.
const char* const DebianLists[][2] = {
    {"easylist.txt",
     "/usr/share/chromium/extensions/ublock-origin/assets/thirdparties/easylist/easylist.txt"},
    {"easyprivacy.txt",
     "/usr/share/chromium/extensions/ublock-origin/assets/thirdparties/easylist/easyprivacy.txt"},
};

struct ReadResult {
    std::shared_ptr<Blocking::FilterSet> filters = std::make_shared<Blocking::FilterSet>();
    int rules = 0;
    int skipped = 0;
};

ReadResult readLists(const QStringList& files) {
    ReadResult result;
    for (const QString& file : files) {
        QByteArray text;
        if (readWholeFile(file, &text, nullptr) != ReadStatus::Ok)
            continue;
        const Blocking::ListStats stats = result.filters->addList(text);
        result.rules += stats.rules;
        result.skipped += stats.skipped;
    }
    result.filters->finish();
    return result;
}
} // namespace

ContentBlocker::ContentBlocker(const QString& appDir, QObject* parent)
    : QObject(parent), m_appDir(appDir) {
    const KorvixSettings settings(appDir);
    m_enabled = settings.contentBlocking();
    const QStringList sites = settings.blockingExceptions();
    m_allowedSites = QSet<QString>(sites.begin(), sites.end());
    m_updater = new ListUpdater(appDir, this);
    connect(m_updater, &ListUpdater::listWritten, this, &ContentBlocker::reload);
}

void ContentBlocker::start() {
    if (std::exchange(m_started, true))
        return;
    reload();
    // The lists are first fetched well after the start, never in the way of
    // the first pages.
    constexpr int FirstCheckMs = 30000;
    m_updater->startSchedule(FirstCheckMs);
}

ContentBlocker::~ContentBlocker() {
    // The reading works on its own copy of everything; it is waited for
    // only so that no thread outlives the program.
    if (m_reader) {
        m_reader->wait();
        delete m_reader;
    }
}

QString ContentBlocker::listFolder(const QString& appDir) {
    return QDir(appDir).filePath(QStringLiteral("Filter"));
}

bool ContentBlocker::usesDebianCopy(const QString& fileName) const {
    for (const auto& list : DebianLists)
        if (fileName == QLatin1String(list[0]))
            return listFiles().contains(QLatin1String(list[1]));
    return false;
}

QString ContentBlocker::userListPath() const {
    return QDir(listFolder(m_appDir)).filePath(QLatin1String(UserListFile));
}

QStringList ContentBlocker::listFiles() const {
    const QDir folder(listFolder(m_appDir));
    QStringList files;
    QStringList names;
    for (const QFileInfo& info :
         folder.entryInfoList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
        files << info.absoluteFilePath();
        names << info.fileName().toLower();
    }
    for (const auto& list : DebianLists)
        if (!names.contains(QLatin1String(list[0])) && QFileInfo::exists(QLatin1String(list[1])))
            files << QLatin1String(list[1]);
    return files;
}

void ContentBlocker::reload() {
    if (m_reader) {
        m_readAgain = true;
        return;
    }
    auto result = std::make_shared<ReadResult>();
    m_reader = QThread::create([result, files = listFiles()] {
        // The lists are read while the first pages load: the pages come
        // first, the reading takes what processor time they leave.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 19);
        *result = readLists(files);
    });
    connect(m_reader, &QThread::finished, this, [this, result] {
        m_reader->deleteLater();
        m_reader = nullptr;
        m_filters = std::move(result->filters);
        m_rules = result->rules;
        m_skipped = result->skipped;
        m_scripts.clear();
        emit filtersLoaded();
        if (std::exchange(m_readAgain, false))
            reload();
    });
    m_reader->start();
}

void ContentBlocker::setEnabled(bool on) {
    if (m_enabled == on)
        return;
    m_enabled = on;
    KorvixSettings(m_appDir).setContentBlocking(on);
    emit settingsChanged();
}

bool ContentBlocker::isSiteAllowed(const QString& host) const {
    return m_allowedSites.contains(host.toLower());
}

void ContentBlocker::setSiteAllowed(const QString& host, bool allowed) {
    const QString site = host.toLower();
    if (site.isEmpty() || isSiteAllowed(site) == allowed)
        return;
    if (allowed)
        m_allowedSites.insert(site);
    else
        m_allowedSites.remove(site);
    QStringList sites(m_allowedSites.begin(), m_allowedSites.end());
    sites.sort();
    KorvixSettings(m_appDir).setBlockingExceptions(sites);
    emit settingsChanged();
}

bool ContentBlocker::filtersPage(const QUrl& page, QString* pageUrl, QString* pageHost) const {
    *pageHost = page.host().toLower();
    if (!m_enabled || !m_filters || m_allowedSites.contains(*pageHost))
        return false;
    *pageUrl = page.toString();
    return !m_filters->pageAllowed(*pageUrl, *pageHost);
}

bool ContentBlocker::blocks(const QUrl& url, const QUrl& page, Blocking::ResourceType type) const {
    // What the program itself shows and local files are never filtered.
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
        scheme != QLatin1String("ws") && scheme != QLatin1String("wss"))
        return false;
    QString pageUrl;
    QString pageHost;
    if (!filtersPage(page, &pageUrl, &pageHost))
        return false;
    Blocking::Request request;
    request.url = url.toString();
    request.host = url.host().toLower();
    request.pageHost = pageHost;
    request.type = type;
    return m_filters->decide(request) == Blocking::Verdict::Block;
}

QString ContentBlocker::hidingScript(const QUrl& page) const {
    QString pageUrl;
    QString pageHost;
    if (!filtersPage(page, &pageUrl, &pageHost) || pageHost.isEmpty())
        return QString();
    if (const auto known = m_scripts.constFind(pageHost); known != m_scripts.constEnd())
        return *known;
    const QString css = m_filters->hidingStyleSheet(pageUrl, pageHost);
    QString script;
    if (!css.isEmpty()) {
        // The style goes in as soon as the document has an element to hold it.
        const QByteArray text = QJsonDocument(QJsonArray{css}).toJson(QJsonDocument::Compact);
        script = QStringLiteral("(function(){var css=%1[0];function put(){"
                                "var r=document.head||document.documentElement;if(!r)return false;"
                                "var s=document.createElement('style');s.textContent=css;"
                                "r.appendChild(s);return true;}"
                                "if(!put())new MutationObserver(function(m,o){if(put())"
                                "o.disconnect();}).observe(document,{childList:true});})();")
                     .arg(QString::fromUtf8(text));
    }
    if (m_scripts.size() >= 64)
        m_scripts.clear();
    m_scripts.insert(pageHost, script);
    return script;
}
