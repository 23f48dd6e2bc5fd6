#include "browser/EngineProfile.h"

#include "blocking/ContentBlocker.h"
#include "browser/QtWebView.h"
#include "browser/SiteData.h"
#include "browser/model/SiteGrants.h"
#include "downloads/DownloadList.h"
#include "downloads/model/DownloadText.h"
#include "ui/DesktopNotices.h"
#include "ui/Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineNotification>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace {
QWebEngineProfile* g_profile = nullptr;
QWebEngineProfile* g_private = nullptr;
int g_privateUsers = 0;
ContentBlocker* g_blocker = nullptr;
QPointer<DownloadList> g_downloads;
bool g_prefetchLinks = false;

SiteGrants& sessionGrants() {
    static SiteGrants grants;
    return grants;
}

SiteGrants& privateGrants() {
    static SiteGrants grants;
    return grants;
}

// Asks where a download goes and starts it; a download is never dropped
// unless the user cancels the dialog.
void handleDownload(QWebEngineDownloadRequest* download) {
    if (!g_downloads) {
        download->cancel();
        return;
    }
    DownloadList& downloads = *g_downloads;
    // The engine restarts a download whose connection broke and asks again;
    // it goes on where the user put it, without a second question.
    if (const QString known = downloads.knownPath(download->id()); !known.isEmpty()) {
        const QFileInfo info(known);
        download->setDownloadDirectory(info.absolutePath());
        download->setDownloadFileName(info.fileName());
        download->accept();
        downloads.add(download);
        return;
    }
    QWidget* parent = nullptr;
    if (QtWebView* view = QtWebView::forPage(download->page())) {
        emit view->downloadRequested(download->suggestedFileName());
        parent = view->widget()->window();
    }
    QString dir = download->downloadDirectory();
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::homePath();
    // A file of that name stays as it is: the dialog offers a free name,
    // and asks before it replaces a file the user picks.
    const QString offered =
        DownloadText::freeName(download->suggestedFileName(), [&dir](const QString& name) {
            return QFileInfo::exists(QDir(dir).filePath(name));
        });
    const QString target =
        Dialogs::saveFileName(parent, QStringLiteral("Datei speichern unter..."),
                              QDir(dir).filePath(offered), QStringLiteral("Alle Dateien (*)"));
    if (target.isEmpty()) {
        download->cancel();
        return;
    }
    const QFileInfo info(target);
    download->setDownloadDirectory(info.absolutePath());
    download->setDownloadFileName(info.fileName());
    if (QtWebView* view = QtWebView::forPage(download->page()))
        view->downloadStarted(download);
    download->accept();
    downloads.add(download);
    // A private download goes on after its window closed; the profile it
    // runs in stays until it ends.
    if (g_private && download->page() && download->page()->profile() == g_private) {
        EngineProfile::acquirePrivateProfile();
        QObject::connect(download, &QWebEngineDownloadRequest::isFinishedChanged, g_private,
                         [download] {
                             if (download->isFinished())
                                 EngineProfile::releasePrivateProfile();
                         });
    }
}

// A site's notification goes to the desktop; a click on it reaches the site.
void presentNotification(std::unique_ptr<QWebEngineNotification> notification) {
    QWebEngineNotification* n = notification.release();
    n->setParent(g_profile);
    DesktopNotices::instance().show(n->title(), n->message(), [n] { n->click(); });
    n->show();
    QObject::connect(n, &QWebEngineNotification::closed, n, &QObject::deleteLater);
    // A notification the site never closes is let go after a minute.
    QTimer::singleShot(60000, n, [n] { n->close(); });
}
} // namespace

QByteArray EngineProfile::withProcessModel(const QByteArray& flags) {
    QList<QByteArray> switches = flags.simplified().split(' ');
    switches.removeAll(QByteArray());
    const auto given = [&switches](const char* flag) {
        return switches.contains(QByteArray(flag));
    };
    // The engine starts a second zygote, without a sandbox, for helper
    // services that this build runs inside the browser process or starts
    // directly (network, audio). It would never fork anything, yet its start
    // takes a share of the processor the first page needs, and it stays in
    // memory.
    if (!given("--no-zygote") && !given("--no-unsandboxed-zygote"))
        switches << "--no-unsandboxed-zygote";
    if (given("--process-per-site") || given("--process-per-tab") || given("--single-process"))
        return switches.join(' ');
    switches << "--process-per-site";
    // Without this the engine puts every site that is not isolated into one
    // shared renderer: one crash or one busy page would take them all.
    constexpr char ApartFeature[] = "ProcessSharingWithDefaultSiteInstances";
    constexpr char DisableFeatures[] = "--disable-features=";
    for (QByteArray& flag : switches)
        if (flag.startsWith(DisableFeatures)) {
            if (!flag.split('=').value(1).split(',').contains(ApartFeature))
                flag += QByteArray(flag.endsWith('=') ? "" : ",") + ApartFeature;
            return switches.join(' ');
        }
    switches << QByteArray(DisableFeatures) + ApartFeature;
    return switches.join(' ');
}

namespace {
void configure(QWebEngineProfile* profile) {
    profile->setHttpAcceptLanguage(QString::fromLatin1(EngineProfile::AcceptLanguage));
    QObject::connect(profile, &QWebEngineProfile::downloadRequested, profile, &handleDownload);
    profile->setNotificationPresenter(&presentNotification);
    profile->settings()->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, g_prefetchLinks);
}
} // namespace

void EngineProfile::init(const QString& appDir) {
    if (g_profile)
        return;
    // The engine reads its switches when the first profile comes.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", withProcessModel(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")));
    const QString base = QDir(appDir).filePath(QStringLiteral("WebEngine"));
    SiteData::prepare(appDir, base);
    g_profile = new QWebEngineProfile(QStringLiteral("Korvix"));
    g_profile->setPersistentStoragePath(base);
    g_profile->setCachePath(QDir(base).filePath(QStringLiteral("Cache")));
    g_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    g_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    configure(g_profile);
    // Which cookies pass; the cookie file is read from now on.
    SiteData::attach(g_profile, appDir);
    // The filter lists are read in the background from now on.
    if (g_blocker)
        g_blocker->start();
}

QWebEngineProfile* EngineProfile::acquirePrivateProfile() {
    if (!g_private) {
        // A profile without a storage name is off the record.
        g_private = new QWebEngineProfile;
        configure(g_private);
        SiteData::filterCookies(g_private);
    }
    ++g_privateUsers;
    return g_private;
}

void EngineProfile::releasePrivateProfile() {
    if (g_privateUsers > 0 && --g_privateUsers == 0) {
        delete g_private;
        g_private = nullptr;
        privateGrants().clear();
    }
}

bool EngineProfile::hasPrivateProfile() {
    return g_private != nullptr;
}

void EngineProfile::release() {
    delete g_private;
    g_private = nullptr;
    g_privateUsers = 0;
    SiteData::detach();
    delete g_profile;
    g_profile = nullptr;
    // What was allowed belongs to the session that ends here.
    sessionGrants().clear();
}

void EngineProfile::setPrefetchLinks(bool on) {
    g_prefetchLinks = on;
    for (QWebEngineProfile* profile : {g_profile, g_private})
        if (profile)
            profile->settings()->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, on);
}

void EngineProfile::setDownloads(DownloadList* downloads) {
    g_downloads = downloads;
}

QWebEngineProfile* EngineProfile::profile() {
    return g_profile;
}

void EngineProfile::setBlocker(ContentBlocker* blocker) {
    g_blocker = blocker;
    if (g_blocker && g_profile)
        g_blocker->start();
}

ContentBlocker* EngineProfile::blocker() {
    return g_blocker;
}

SiteGrants& EngineProfile::grants(bool isPrivate) {
    return isPrivate ? privateGrants() : sessionGrants();
}
