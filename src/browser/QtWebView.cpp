#include "browser/QtWebView.h"

#include "blocking/ContentBlocker.h"
#include "blocking/PageBlocker.h"
#include "browser/EngineProfile.h"
#include "browser/FullScreenWindow.h"
#include "browser/PageLogins.h"
#include "browser/PagePanels.h"
#include "browser/QtWebPage.h"
#include "browser/model/SiteGrants.h"
#include "ui/Dialogs.h"

#include <QDataStream>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <utility>

namespace {
QList<QtWebView*>& views() {
    static QList<QtWebView*> list;
    return list;
}
} // namespace

QList<QtWebView*> QtWebView::all() {
    return views();
}

WebViewFactory QtWebView::factory() {
    return [](QWidget* parent, bool isPrivate) -> WebView* {
        return new QtWebView(parent, isPrivate);
    };
}

QtWebView::QtWebView(QWidget* parent, bool isPrivate) : WebView(parent), m_private(isPrivate) {
    QWebEngineProfile* profile =
        isPrivate ? EngineProfile::acquirePrivateProfile() : EngineProfile::profile();
    Q_ASSERT(profile);
    // The page's area: question bars above, the page or a notice in its place.
    m_box = new QWidget(parent);
    auto* layout = new QVBoxLayout(m_box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_questionArea = new QVBoxLayout;
    m_questionArea->setSpacing(0);
    layout->addLayout(m_questionArea);
    m_stack = new QStackedWidget;
    layout->addWidget(m_stack, 1);
    // The engine view joins the window with the first load: an engine view
    // that is shown starts a renderer process even for an empty page, and a
    // window waiting for its turn to load must cost next to nothing.
    m_view = new QWebEngineView;
    m_blank = new QWidget;
    m_blank->setAutoFillBackground(true);
    m_blank->setBackgroundRole(QPalette::Base);
    m_notice = new PageNotice;
    m_stack->addWidget(m_blank);
    m_stack->addWidget(m_notice);
    m_box->setFocusProxy(m_view);

    m_blocker = new PageBlocker(EngineProfile::blocker(), this);
    connect(m_blocker, &PageBlocker::blockedCountChanged, this, &WebView::blockedCountChanged);
    attachPage(profile);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, &QtWebView::showContextMenu);
    // Ctrl with the mouse wheel zooms the window the program's way; the
    // wheel reaches the widget the engine puts into the view.
    m_view->installEventFilter(this);
    // Nothing of a private window's logins is kept or filled in.
    if (!isPrivate && EngineProfile::passwords())
        m_logins = new PageLogins(this, EngineProfile::passwords());
    // A view's widget lives as long as its owner wants it, not longer than the
    // view object itself.
    connect(this, &QObject::destroyed, m_box, &QObject::deleteLater);
    views().append(this);
}

void QtWebView::attachPage(QWebEngineProfile* profile) {
    m_page = new QtWebPage(profile, this);
    ++m_pageSerial;
    m_view->setPage(m_page);
    m_page->setUrlRequestInterceptor(m_blocker);
    QWebEngineSettings* settings = m_page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    // A drop on the page goes to the window's own drop handling, like drops on
    // the frame.
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, true);

    connect(m_page, &QWebEnginePage::linkHovered, this, &WebView::statusTextChanged);
    connect(m_page, &QWebEnginePage::titleChanged, this, &WebView::titleChanged);
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, &WebView::windowClosing);
    connect(m_page, &QWebEnginePage::geometryChangeRequested, this, [this](const QRect& r) {
        emit geometryChangeRequested(r.x(), r.y(), r.width(), r.height());
    });
    connect(m_page, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
                    onLoadStarted(info.url());
            });
    connect(m_page, &QWebEnginePage::loadFinished, this, &QtWebView::onLoadFinished);
    // The engine wakes a discarded page by itself as soon as it is shown, so
    // the page is brought back here whoever woke it.
    connect(m_page, &QWebEnginePage::lifecycleStateChanged, this, &QtWebView::onLifecycleChanged);
    connect(m_page, &QWebEnginePage::pdfPrintingFinished, this, &WebView::pdfFinished);
    connectAnswers();
    if (m_logins)
        m_logins->attach();
}

void QtWebView::movePage(QWebEngineProfile* profile, bool bringBack) {
    // A page that slept comes back awake; the windows out of sight go to
    // sleep again as they do after any load. One put away stays away.
    if (!bringBack)
        keepPage();
    replacePage(profile);
    if (bringBack && !m_putAway)
        bringPageBack();
}

void QtWebView::keepPage() {
    if (m_putAway)
        return;
    m_kept = Kept{m_blank ? QByteArray() : saveHistory(), m_page->zoomFactor(), m_page->url()};
}

void QtWebView::replacePage(QWebEngineProfile* profile) {
    delete m_fullScreen;
    delete m_devTools;
    ++m_findSerial;
    m_findWhenBack = nullptr;
    QtWebPage* old = m_page;
    // Whatever the old page still reports as it goes concerns no one.
    old->disconnect(this);
    attachPage(profile);
    m_discarded = false;
    delete old;
}

void QtWebView::bringPageBack() {
    m_putAway = false;
    if (m_kept.history.isEmpty()) {
        // A load that had not begun yet is no more under way, nor the
        // title the old page was asked for.
        m_loading = false;
        m_titlePending = false;
        tellBusy();
        return;
    }
    m_page->setZoomFactor(m_kept.zoom);
    // The page comes back as after sleeping: no visit, no history entry.
    m_restoring = m_hasDocument && m_lastLoadOk;
    restoreHistory(m_kept.history);
    m_kept = Kept{};
}

bool QtWebView::putAway() {
    // Only a page at rest: a load under way, a page on the whole screen or
    // one with its developer tools open sleeps in the engine instead.
    if (m_putAway)
        return true;
    if (m_blank || !m_hasDocument || isBusy() || m_loadOwed || m_fullScreen || m_devTools)
        return false;
    keepPage();
    m_putAway = true;
    replacePage(m_page->profile());
    return true;
}

QtWebPage* QtWebView::livePage() {
    if (m_putAway)
        bringPageBack();
    return m_page;
}

QUrl QtWebView::pageUrl() const {
    return m_putAway ? m_kept.url : m_page->url();
}

QtWebView::~QtWebView() {
    views().removeOne(this);
    // A page on the whole screen comes home first; the page must go before
    // the profile, and the widget must not outlive its page.
    delete m_fullScreen;
    delete m_devTools;
    ++m_findSerial; // a search still under way answers no one
    // The page answers its pending scripts while it goes; the window that
    // listened to this view is already gone by then.
    m_closing = true;
    if (m_view) {
        m_view->setPage(nullptr);
        delete m_page;
        m_page = nullptr;
        if (m_blank)
            delete m_view;
    }
    if (m_private)
        EngineProfile::releasePrivateProfile();
}

void QtWebView::showEngineView() {
    if (!m_blank)
        return;
    const bool notice = isNoticeShown();
    m_stack->insertWidget(0, m_view);
    delete std::exchange(m_blank, nullptr);
    if (!notice)
        m_stack->setCurrentWidget(m_view);
    m_view->setVisible(m_onScreen);
}

void QtWebView::setOnScreen(bool on) {
    m_onScreen = on;
    // The engine view draws into a picture of its full size while it is
    // shown, even under other windows; hidden, it gives that back and the
    // engine stops drawing the page.
    if (!m_blank && m_view->isHidden() == on)
        m_view->setVisible(on);
}

bool QtWebView::hasBegun() const {
    return !m_blank || m_requested.isValid();
}

int QtWebView::blockedCount() const {
    return m_blocker->blockedCount();
}

void QtWebView::prepareNavigation(const QUrl& url) {
    static const QString Name = QStringLiteral("korvix-hiding");
    QWebEngineScriptCollection& scripts = m_page->scripts();
    for (const QWebEngineScript& old : scripts.find(Name))
        scripts.remove(old);
    const ContentBlocker* blocker = EngineProfile::blocker();
    const QString source = blocker ? blocker->hidingScript(url) : QString();
    if (source.isEmpty())
        return;
    QWebEngineScript script;
    script.setName(Name);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(source);
    scripts.insert(script);
}

void QtWebView::onLoadStarted(const QUrl& url) {
    showEngineView();
    m_loading = true;
    m_loadOwed = false;
    tellBusy();
    m_certificateError = false;
    m_loadBecameDownload = false;
    m_loadingUrl = url;
    m_page->forgetLoginsTried();
    // Going somewhere else ends what the notice said about the last address.
    if (isNoticeShown() && url != m_noticeUrl)
        hideNotice();
    emit statusTextChanged(QStringLiteral("Öffne Seite %1...").arg(url.toDisplayString()));
    emit beforeNavigate(url.toString());
}

void QtWebView::onLoadFinished(bool ok) {
    m_loading = false;
    m_loadOwed = false;
    m_lastLoadOk = ok;
    // Discarding a page that was still loading ends that load; it is no
    // finished page.
    if (m_page->lifecycleState() == QWebEnginePage::LifecycleState::Discarded) {
        tellBusy();
        return;
    }
    m_hasDocument = true;
    m_titlePending = true;
    const QUrl url = m_page->url();
    // Encryption level as the lock shows it: a page that came over https
    // without a certificate problem counts as strong encryption (6); plain
    // http and local pages as none (0). Qt WebEngine does not report mixed
    // content on a secure page, so the "several kinds" level (1) never comes
    // from here.
    // A host whose certificate the user let through earlier in the session
    // is not asked about again, and is not secure either.
    const bool trusted =
        !m_certificateError && !EngineProfile::grants(m_private).certificateAllowed(url.host());
    emit secureLevelChanged(url.scheme() == QLatin1String("https") && trusted ? 6 : 0);
    // Bringing a discarded page back is no visit: no history entry, no move
    // in the address list.
    if (!std::exchange(m_restoring, false)) {
        // A page that turned out to be a download did not fail.
        const bool becameDownload = std::exchange(m_loadBecameDownload, false);
        emit statusTextChanged(ok || becameDownload
                                   ? QStringLiteral("Fertig")
                                   : QStringLiteral("Die Seite konnte nicht geladen werden."));
        emit navigateComplete(url.toString());
    }
    if (m_logins)
        m_logins->pageLoaded(ok);
    // The engine's title falls back to the address; the document's own title
    // is asked for, and the page counts as busy until it is known.
    m_page->runJavaScript(QStringLiteral("document.title"),
                          [this, serial = m_pageSerial](const QVariant& v) {
                              if (m_closing || serial != m_pageSerial)
                                  return;
                              m_docTitle = v.toString();
                              m_titlePending = false;
                              tellBusy();
                              if (!m_loading)
                                  emit settled();
                          });
    if (auto find = std::exchange(m_findWhenBack, nullptr))
        find();
}

void QtWebView::formSubmitted() {
    if (m_logins)
        m_logins->formSubmitted();
}

QWidget* QtWebView::widget() {
    return m_box;
}
QWebEnginePage* QtWebView::page() const {
    return m_page;
}

QtWebView* QtWebView::forPage(QWebEnginePage* page) {
    if (auto* p = qobject_cast<QtWebPage*>(page))
        return p->owner();
    return nullptr;
}

void QtWebView::navigate(const QString& url) {
    m_docTitle.clear();
    // A relative name is a file beside the working folder only where one is;
    // otherwise "example.com" or "127.0.0.1:8080/x" is an address on the web.
    m_requested = QUrl::fromUserInput(url, QDir::currentPath());
    setUrl(m_requested);
}

void QtWebView::setUrl(const QUrl& url) {
    showEngineView();
    // Through the page: while the page is on the whole screen, this view has
    // none of its own.
    livePage()->setUrl(url);
    m_loadOwed = true;
}

void QtWebView::goBack() {
    pageAction(QWebEnginePage::Back);
}
void QtWebView::goForward() {
    pageAction(QWebEnginePage::Forward);
}
void QtWebView::refresh() {
    pageAction(QWebEnginePage::Reload);
}
void QtWebView::reloadBypassingCache() {
    pageAction(QWebEnginePage::ReloadAndBypassCache);
}
void QtWebView::pageAction(int action) {
    livePage()->triggerAction(QWebEnginePage::WebAction(action));
    m_loadOwed = true;
}

QByteArray QtWebView::saveHistory() const {
    if (m_putAway)
        return m_kept.history;
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream << *m_page->history();
    return data;
}

void QtWebView::restoreHistory(const QByteArray& history) {
    // A list of its own replaces the one kept while asleep.
    m_putAway = false;
    showEngineView();
    QDataStream stream(history);
    stream >> *m_page->history();
    m_loadOwed = true;
    // The page the list stands on is what the view shows; a list that could
    // not be read leaves the view as it was.
    m_requested = m_page->history()->currentItem().url();
}

void QtWebView::stop() {
    if (m_putAway)
        return;
    m_page->triggerAction(QWebEnginePage::Stop);
}

void QtWebView::execCommand(Command cmd) {
    livePage();
    switch (cmd) {
    case SaveAs:
        saveAs();
        break;
    case Print:
        print();
        break;
    case PrintPreview:
        printPreview();
        break;
    }
}

void QtWebView::saveAs() {
    QString name = m_docTitle.trimmed();
    if (name.isEmpty())
        name = m_page->url().fileName();
    if (name.isEmpty())
        name = QStringLiteral("Seite");
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = Dialogs::saveFileName(
        m_box->window(), QStringLiteral("Webseite speichern"),
        QDir(dir.isEmpty() ? QDir::homePath() : dir).filePath(name + QStringLiteral(".html")),
        QStringLiteral("Webseite, komplett (*.html *.htm);;Webarchiv, einzelne Datei (*.mhtml "
                       "*.mht);;Webseite, nur HTML (*.html *.htm)"));
    if (path.isEmpty())
        return;
    const QString suffix = QFileInfo(path).suffix().toLower();
    const auto format = (suffix == QLatin1String("mhtml") || suffix == QLatin1String("mht"))
                            ? QWebEngineDownloadRequest::MimeHtmlSaveFormat
                            : QWebEngineDownloadRequest::CompleteHtmlSaveFormat;
    m_page->save(path, format);
}

void QtWebView::print() {
    leaveFullScreen();
    auto* printer = new QPrinter(QPrinter::HighResolution);
    QPrintDialog dialog(printer, m_box->window());
    if (Dialogs::runModal([&] { return dialog.exec(); }) != QDialog::Accepted) {
        delete printer;
        return;
    }
    connect(
        m_view, &QWebEngineView::printFinished, this, [printer](bool) { delete printer; },
        Qt::SingleShotConnection);
    m_view->print(printer);
}

void QtWebView::printPreview() {
    leaveFullScreen();
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, m_box->window());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) {
        // The preview paints synchronously; the engine prints asynchronously.
        QEventLoop loop;
        connect(m_view, &QWebEngineView::printFinished, &loop, &QEventLoop::quit);
        m_view->print(p);
        loop.exec();
    });
    Dialogs::runModal([&] { return preview.exec(); });
}

QString QtWebView::locationUrl() const {
    return pageUrl().toString();
}

QString QtWebView::locationName() const {
    if (!m_docTitle.trimmed().isEmpty())
        return m_docTitle;
    const QUrl url = pageUrl();
    if (url.isLocalFile()) {
        const QString name = QFileInfo(url.toLocalFile()).fileName();
        return name.isEmpty() ? url.toLocalFile() : name;
    }
    return url.toString();
}

bool QtWebView::isBusy() const {
    return m_loading || m_titlePending;
}

void QtWebView::tellBusy() {
    const bool busy = isBusy();
    if (busy != std::exchange(m_busyTold, busy))
        emit busyChanged(busy);
}
bool QtWebView::hasDocument() const {
    return m_hasDocument;
}

WebView::DocumentKind QtWebView::documentKind() const {
    if (!m_hasDocument)
        return DocumentKind::None;
    const QUrl url = pageUrl();
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir())
        return DocumentKind::Folder;
    return DocumentKind::Html;
}

QString QtWebView::documentTitle() const {
    return m_docTitle;
}

QString QtWebView::folderPath() const {
    const QUrl url = pageUrl();
    return url.isLocalFile() ? QDir::cleanPath(url.toLocalFile()) : QString();
}

void QtWebView::collectLinks(std::function<void(const QStringList&)> done) {
    // Anchors and frames in document order: an anchor's absolute address, a
    // frame's address as written. Inline frames and image-map areas are other
    // kinds of element and do not count.
    static const QString script =
        QStringLiteral("(function(){var r=[];var all=document.querySelectorAll('a,frame');"
                       "for(var i=0;i<all.length;i++){var e=all[i];"
                       "if(e.tagName.toLowerCase()==='frame')r.push(e.getAttribute('src')||'');"
                       "else r.push(e.href||'');}return r;})()");
    livePage()->runJavaScript(script, [done](const QVariant& v) { done(v.toStringList()); });
}

void QtWebView::setLifecycle(Lifecycle::State state) {
    using S = QWebEnginePage::LifecycleState;
    switch (state) {
    case Lifecycle::State::Active:
        livePage()->setLifecycleState(S::Active);
        m_page->setVisible(m_view->isVisible());
        break;
    case Lifecycle::State::Frozen:
    case Lifecycle::State::Discarded:
        // A page at rest sleeps best without an engine page at all: what
        // the browser process holds for it goes too.
        if (m_putAway || (state == Lifecycle::State::Discarded && putAway()))
            return;
        // The engine freezes or discards only pages that are not visible.
        m_page->setVisible(false);
        m_page->setLifecycleState(state == Lifecycle::State::Frozen ? S::Frozen : S::Discarded);
        break;
    }
}

void QtWebView::onLifecycleChanged() {
    const bool discarded = m_page->lifecycleState() == QWebEnginePage::LifecycleState::Discarded;
    if (!std::exchange(m_discarded, discarded) || discarded)
        return;
    // Woken from discarded: the engine reloads the page it had, and the
    // page counts as loading from now on.
    m_loading = true;
    tellBusy();
    if (m_hasDocument && m_lastLoadOk) {
        m_restoring = true;
    } else if (m_requested.isValid()) {
        // Put to sleep before its page arrived (a frozen load ends
        // unfinished, and the engine may have nothing to reload): that page
        // is still owed, and it is a visit like any other.
        setUrl(m_requested);
    }
}

Lifecycle::State QtWebView::lifecycle() const {
    if (m_putAway)
        return Lifecycle::State::Discarded;
    switch (m_page->lifecycleState()) {
    case QWebEnginePage::LifecycleState::Frozen:
        return Lifecycle::State::Frozen;
    case QWebEnginePage::LifecycleState::Discarded:
        return Lifecycle::State::Discarded;
    default:
        return Lifecycle::State::Active;
    }
}

bool QtWebView::isBackgroundBusy() const {
    return m_page->recentlyAudible() || m_downloads > 0;
}

void QtWebView::downloadStarted(QWebEngineDownloadRequest* download) {
    ++m_downloads;
    m_loadBecameDownload = m_loading;
    // The engine ends the page's load before it asks about the download:
    // the failure it reported was none.
    if (!m_loading && !m_lastLoadOk && download->url() == m_loadingUrl)
        emit statusTextChanged(QStringLiteral("Fertig"));
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, download] {
        if (download->isFinished())
            --m_downloads;
    });
}
