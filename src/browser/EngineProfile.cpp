#include "browser/EngineProfile.h"

#include "blocking/ContentBlocker.h"
#include "browser/EngineDrawing.h"
#include "browser/QtWebView.h"
#include "browser/SiteData.h"
#include "browser/model/SiteGrants.h"
#include "downloads/DownloadList.h"
#include "downloads/model/DownloadText.h"
#include "ui/DesktopNotices.h"
#include "ui/Dialogs.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineNotification>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <algorithm>

namespace {
QWebEngineProfile* g_profile = nullptr;
QWebEngineProfile* g_private = nullptr;
int g_privateUsers = 0;
ContentBlocker* g_blocker = nullptr;
QPointer<DownloadList> g_downloads;
bool g_prefetchLinks = false;
Passwords* g_passwords = nullptr;
bool g_spellCheck = true;
QStringList g_spellLanguages{QStringLiteral("de-DE")};
QString g_storage;
QSet<QString> g_addedWords;
// Downloads running in the normal profile, and whether it is to be made
// anew once they are done.
QSet<QWebEngineDownloadRequest*> g_downloadsRunning;
bool g_renewDue = false;

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
void handleDownload(QWebEngineDownloadRequest* download, QWebEngineProfile* profile) {
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
    if (profile == g_profile) {
        g_downloadsRunning.insert(download);
        const auto ended = [download] {
            g_downloadsRunning.remove(download);
            // Not from within the download's own signal: the profile
            // takes its downloads along when it goes.
            if (g_downloadsRunning.isEmpty() && g_renewDue)
                QTimer::singleShot(0, g_profile, [] {
                    if (g_downloadsRunning.isEmpty() && g_renewDue)
                        EngineProfile::renewProfile();
                });
        };
        QObject::connect(download, &QWebEngineDownloadRequest::isFinishedChanged, download,
                         [download, ended] {
                             // A broken download the user resumes runs again.
                             if (!download->isFinished())
                                 g_downloadsRunning.insert(download);
                             else
                                 ended();
                         });
        QObject::connect(download, &QObject::destroyed, g_profile, ended);
    }
    // A private download goes on after its window closed; the profile it
    // runs in stays until it ends.
    if (profile == g_private) {
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
    // The notice on the desktop may outlive the profile and its notification.
    DesktopNotices::instance().show(n->title(), n->message(),
                                    [n = QPointer<QWebEngineNotification>(n)] {
                                        if (n)
                                            n->click();
                                    });
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
    QObject::connect(
        profile, &QWebEngineProfile::downloadRequested, profile,
        [profile](QWebEngineDownloadRequest* download) { handleDownload(download, profile); });
    profile->setNotificationPresenter(&presentNotification);
    profile->settings()->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, g_prefetchLinks);
    profile->setSpellCheckLanguages(g_spellLanguages);
    profile->setSpellCheckEnabled(g_spellCheck && !g_spellLanguages.isEmpty());
}

QWebEngineProfile* makeProfile() {
    auto* profile = new QWebEngineProfile(QStringLiteral("Korvix"));
    profile->setPersistentStoragePath(g_storage);
    profile->setCachePath(QDir(g_storage).filePath(QStringLiteral("Cache")));
    profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    configure(profile);
    return profile;
}

// Whether this process still has a file open under `folder`: the engine
// closes the files of a profile that went on threads of its own, a moment
// later.
bool filesOpenUnder(const QString& folder) {
    const QString prefix = QDir(folder).canonicalPath() + QLatin1Char('/');
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget().startsWith(prefix))
            return true;
    return false;
}
} // namespace

bool EngineProfile::renewProfile() {
    if (!g_profile)
        return true;
    if (!g_downloadsRunning.isEmpty() || SiteData::storageBeingCleared() > 0) {
        g_renewDue = true;
        // Sites' storage being emptied ends within seconds; a download
        // ends when it ends and calls again.
        if (g_downloadsRunning.isEmpty())
            QTimer::singleShot(200, g_profile, [] { renewProfile(); });
        return false;
    }
    g_renewDue = false;
    // The pages wait in a profile of their own, with nothing loaded, while
    // the old profile goes and the new one comes on the same folder.
    QWebEngineProfile interim;
    QList<QPointer<QtWebView>> moved;
    for (QtWebView* view : QtWebView::all())
        if (!view->isPrivate()) {
            view->movePage(&interim, false);
            moved << view;
        }
    delete g_profile;
    g_profile = nullptr;
    // Its files must be closed before the new profile opens them. The
    // engine closes them on threads of its own within some milliseconds;
    // nothing else runs here meanwhile, so no page can start anything in
    // between.
    QElapsedTimer waited;
    waited.start();
    while (filesOpenUnder(g_storage) && waited.elapsed() < 5000)
        QThread::msleep(2);
    g_profile = makeProfile();
    SiteData::renew(g_profile);
    for (const QPointer<QtWebView>& view : std::as_const(moved))
        if (view)
            view->movePage(g_profile, true);
    return true;
}

void EngineProfile::init(const QString& appDir) {
    if (g_profile)
        return;
    EngineDrawing::choose();
    // The engine reads its switches when the first profile comes.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", withProcessModel(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")));
    const QString base = QDir(appDir).filePath(QStringLiteral("WebEngine"));
    g_storage = base;
    // The engine looks beside the program and in Qt's folder by itself; the
    // installed program keeps its dictionaries in its own share folder.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DICTIONARIES_PATH")) {
        const QString dictionaries = dictionaryFolder();
        if (!dictionaries.isEmpty())
            qputenv("QTWEBENGINE_DICTIONARIES_PATH", QFile::encodeName(dictionaries));
    }
    SiteData::prepare(appDir, base);
    g_profile = makeProfile();
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

void EngineProfile::setPasswords(Passwords* passwords) {
    g_passwords = passwords;
}

Passwords* EngineProfile::passwords() {
    return g_passwords;
}

void EngineProfile::setSpellCheck(bool on, const QStringList& languages) {
    g_spellCheck = on;
    g_spellLanguages = languages;
    for (QWebEngineProfile* profile : {g_profile, g_private})
        if (profile) {
            profile->setSpellCheckLanguages(languages);
            profile->setSpellCheckEnabled(on && !languages.isEmpty());
        }
}

bool EngineProfile::isAddedWord(const QString& word) {
    return g_addedWords.contains(word);
}

QString EngineProfile::dictionaryFolder() {
    const QDir program(QCoreApplication::applicationDirPath());
    for (const QString& candidate : {QStringLiteral("qtwebengine_dictionaries"),
                                     QStringLiteral("../share/korvix/qtwebengine_dictionaries")}) {
        const QString folder = QDir::cleanPath(program.filePath(candidate));
        if (QFileInfo(folder).isDir())
            return folder;
    }
    return {};
}

bool EngineProfile::addSpellingWord(const QString& word) {
    const QByteArray added = word.trimmed().toUtf8();
    if (g_storage.isEmpty() || added.isEmpty() || added.contains(' ') || added.size() > 99)
        return false;
    // The engine's format: one word a line, sorted, then the checksum of
    // those lines; a file whose checksum does not match is ignored.
    const QString path = QDir(g_storage).filePath(QStringLiteral("Custom Dictionary.txt"));
    QFile old(path);
    QList<QByteArray> words;
    if (old.open(QIODevice::ReadOnly))
        for (const QByteArray& line : old.readAll().split('\n'))
            if (!line.isEmpty() && !line.startsWith("checksum_v1 = "))
                words << line;
    g_addedWords.insert(word.trimmed());
    if (words.contains(added))
        return true;
    words << added;
    std::sort(words.begin(), words.end());
    QByteArray content;
    for (const QByteArray& w : words)
        content += w + '\n';
    const QByteArray checksum = QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex();
    QDir().mkpath(g_storage);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(content + "checksum_v1 = " + checksum);
    return file.commit();
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
