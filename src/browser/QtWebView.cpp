#include "browser/QtWebView.h"

#include "ui/Dialogs.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QWebEngineCertificateError>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <utility>

namespace {
QWebEngineProfile* g_profile = nullptr;

// Asks where a download goes and starts it; a download is never dropped
// unless the user cancels the dialog.
void handleDownload(QWebEngineDownloadRequest* download) {
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
    const QString target = Dialogs::saveFileName(parent, QStringLiteral("Datei speichern unter..."),
                                                 QDir(dir).filePath(download->suggestedFileName()),
                                                 QStringLiteral("Alle Dateien (*)"));
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
}
} // namespace

class QtWebView::Page : public QWebEnginePage {
public:
    Page(QWebEngineProfile* profile, QtWebView* owner)
        : QWebEnginePage(profile, owner), m_owner(owner) {}

protected:
    QWebEnginePage* createWindow(WebWindowType) override {
        WebView::NewWindowRequest request;
        emit m_owner->newWindowRequested(&request);
        if (auto* target = qobject_cast<QtWebView*>(request.target))
            return target->page();
        return nullptr;
    }

private:
    QtWebView* m_owner;
};

void QtWebView::initProfile(const QString& appDir) {
    if (g_profile)
        return;
    g_profile = new QWebEngineProfile(QStringLiteral("Korvix"));
    const QString base = QDir(appDir).filePath(QStringLiteral("WebEngine"));
    g_profile->setPersistentStoragePath(base);
    g_profile->setCachePath(QDir(base).filePath(QStringLiteral("Cache")));
    g_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    g_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    QObject::connect(g_profile, &QWebEngineProfile::downloadRequested, g_profile, &handleDownload);
}

void QtWebView::releaseProfile() {
    delete g_profile;
    g_profile = nullptr;
}

QWebEngineProfile* QtWebView::profile() {
    return g_profile;
}

WebViewFactory QtWebView::factory() {
    return [](QWidget* parent) -> WebView* { return new QtWebView(parent); };
}

QtWebView::QtWebView(QWidget* parent) : WebView(parent) {
    Q_ASSERT(g_profile);
    m_view = new QWebEngineView(parent);
    m_page = new Page(g_profile, this);
    m_view->setPage(m_page);
    m_page->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    m_page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    // A drop on the page goes to the window's own drop handling, like drops on
    // the frame.
    m_page->settings()->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, true);

    connect(m_page, &QWebEnginePage::linkHovered, this, &WebView::statusTextChanged);
    connect(m_page, &QWebEnginePage::titleChanged, this, &WebView::titleChanged);
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, &WebView::windowClosing);
    connect(m_page, &QWebEnginePage::geometryChangeRequested, this, [this](const QRect& r) {
        emit geometryChangeRequested(r.x(), r.y(), r.width(), r.height());
    });
    connect(m_page, &QWebEnginePage::certificateError, this,
            [this](const QWebEngineCertificateError&) { m_certificateError = true; });
    connect(m_page, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus)
                    return;
                m_loading = true;
                m_certificateError = false;
                emit statusTextChanged(
                    QStringLiteral("Öffne Seite %1...").arg(info.url().toDisplayString()));
                emit beforeNavigate(info.url().toString());
            });
    connect(m_page, &QWebEnginePage::loadFinished, this, &QtWebView::onLoadFinished);
    // The engine wakes a discarded page by itself as soon as it is shown, so
    // the page is brought back here whoever woke it.
    connect(m_page, &QWebEnginePage::lifecycleStateChanged, this, &QtWebView::onLifecycleChanged);
    // A view's widget lives as long as its owner wants it, not longer than the
    // view object itself.
    connect(this, &QObject::destroyed, m_view, &QObject::deleteLater);
}

QtWebView::~QtWebView() {
    // The page must go before the profile, and the widget must not outlive
    // its page.
    if (m_view) {
        m_view->setPage(nullptr);
        delete m_page;
        m_page = nullptr;
    }
}

void QtWebView::onLoadFinished(bool ok) {
    m_loading = false;
    m_lastLoadOk = ok;
    // Discarding a page that was still loading ends that load; it is no
    // finished page.
    if (m_page->lifecycleState() == QWebEnginePage::LifecycleState::Discarded)
        return;
    m_hasDocument = true;
    m_titlePending = true;
    const QUrl url = m_page->url();
    // Encryption level as the lock shows it: a page that came over https
    // without a certificate problem counts as strong encryption (6); plain
    // http and local pages as none (0). Qt WebEngine does not report mixed
    // content on a secure page, so the "several kinds" level (1) never comes
    // from here.
    emit secureLevelChanged(url.scheme() == QLatin1String("https") && !m_certificateError ? 6 : 0);
    // Bringing a discarded page back is no visit: no history entry, no move
    // in the address list.
    if (!std::exchange(m_restoring, false)) {
        emit statusTextChanged(ok ? QStringLiteral("Fertig")
                                  : QStringLiteral("Die Seite konnte nicht geladen werden."));
        emit navigateComplete(url.toString());
    }
    // The engine's title falls back to the address; the document's own title
    // is asked for, and the page counts as busy until it is known.
    m_page->runJavaScript(QStringLiteral("document.title"), [this](const QVariant& v) {
        m_docTitle = v.toString();
        m_titlePending = false;
    });
}

QWidget* QtWebView::widget() {
    return m_view;
}
QWebEnginePage* QtWebView::page() const {
    return m_page;
}

QtWebView* QtWebView::forPage(QWebEnginePage* page) {
    if (auto* p = dynamic_cast<Page*>(page))
        return qobject_cast<QtWebView*>(p->parent());
    return nullptr;
}

void QtWebView::navigate(const QString& url) {
    m_docTitle.clear();
    m_requested = QUrl::fromUserInput(url, QDir::currentPath(), QUrl::AssumeLocalFile);
    m_view->setUrl(m_requested);
}

void QtWebView::goBack() {
    m_page->triggerAction(QWebEnginePage::Back);
}
void QtWebView::goForward() {
    m_page->triggerAction(QWebEnginePage::Forward);
}
void QtWebView::refresh() {
    m_page->triggerAction(QWebEnginePage::Reload);
}
void QtWebView::stop() {
    m_page->triggerAction(QWebEnginePage::Stop);
}

void QtWebView::execCommand(Command cmd) {
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
        m_view->window(), QStringLiteral("Webseite speichern"),
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
    auto* printer = new QPrinter(QPrinter::HighResolution);
    QPrintDialog dialog(printer, m_view->window());
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
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, m_view->window());
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
    return m_page->url().toString();
}

QString QtWebView::locationName() const {
    if (!m_docTitle.trimmed().isEmpty())
        return m_docTitle;
    const QUrl url = m_page->url();
    if (url.isLocalFile()) {
        const QString name = QFileInfo(url.toLocalFile()).fileName();
        return name.isEmpty() ? url.toLocalFile() : name;
    }
    return url.toString();
}

bool QtWebView::isBusy() const {
    return m_loading || m_titlePending;
}
bool QtWebView::hasDocument() const {
    return m_hasDocument;
}

WebView::DocumentKind QtWebView::documentKind() const {
    if (!m_hasDocument)
        return DocumentKind::None;
    const QUrl url = m_page->url();
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir())
        return DocumentKind::Folder;
    return DocumentKind::Html;
}

QString QtWebView::documentTitle() const {
    return m_docTitle;
}

QString QtWebView::folderPath() const {
    const QUrl url = m_page->url();
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
    m_page->runJavaScript(script, [done](const QVariant& v) { done(v.toStringList()); });
}

void QtWebView::setLifecycle(Lifecycle::State state) {
    using S = QWebEnginePage::LifecycleState;
    switch (state) {
    case Lifecycle::State::Active:
        m_page->setLifecycleState(S::Active);
        m_page->setVisible(m_view->isVisible());
        break;
    case Lifecycle::State::Frozen:
    case Lifecycle::State::Discarded:
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
    // Woken from discarded: the engine reloads the page it had.
    if (m_hasDocument && m_lastLoadOk) {
        m_restoring = true;
    } else if (m_requested.isValid()) {
        // Put to sleep before its page arrived (a frozen load ends
        // unfinished, and the engine may have nothing to reload): that page
        // is still owed, and it is a visit like any other.
        m_view->setUrl(m_requested);
    }
}

Lifecycle::State QtWebView::lifecycle() const {
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
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, download] {
        if (download->isFinished())
            --m_downloads;
    });
}
