#pragma once

#include "browser/WebView.h"

#include <QPointer>
#include <QUrl>
#include <functional>

class FullScreenWindow;
class PageBlocker;
class PageLogins;
class PageNotice;
class QMenu;
class QStackedWidget;
class QVBoxLayout;
class QWebEngineCertificateError;
class QWebEngineDownloadRequest;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;
class QuestionBar;
class QtWebPage;
struct PanelChoice;

// The web view on Qt WebEngine, on the one shared profile (EngineProfile).
// Its widget holds the page and, where the page cannot be shown or asks
// something, the program's answer: a warning about a certificate, a page
// whose process ended, a question bar for a permission.
class QtWebView : public WebView {
    Q_OBJECT
public:
    explicit QtWebView(QWidget* parent, bool isPrivate = false);
    ~QtWebView() override;

    static WebViewFactory factory();

    QWidget* widget() override;
    void navigate(const QString& url) override;
    void goBack() override;
    void goForward() override;
    void refresh() override;
    void reloadBypassingCache() override;
    void stop() override;
    QByteArray saveHistory() const override;
    void restoreHistory(const QByteArray& history) override;
    void execCommand(Command cmd) override;

    QString locationUrl() const override;
    QString locationName() const override;
    bool isBusy() const override;
    bool hasDocument() const override;
    bool hasBegun() const override;
    DocumentKind documentKind() const override;
    QString documentTitle() const override;
    QString folderPath() const override;
    void collectLinks(std::function<void(const QStringList&)> done) override;
    void setLifecycle(Lifecycle::State state) override;
    Lifecycle::State lifecycle() const override;
    void setOnScreen(bool on) override;
    bool isBackgroundBusy() const override;
    void findText(const QString& text, bool backward, bool caseSensitive) override;
    void setZoomFactor(double factor) override;
    double zoomFactor() const override;
    void showDevTools() override;
    void printToPdf(const QString& path) override;
    int blockedCount() const override;
    // The page is about to go to url: what hides elements there is given to
    // the document before its own style.
    void prepareNavigation(const QUrl& url);
    bool isPrivate() const { return m_private; }
    // The page sends a form and leaves for its answer.
    void formSubmitted();
    // Puts a question above the page; `dismiss` runs when it is closed
    // without an answer.
    QuestionBar* ask(const QString& text, const QList<PanelChoice>& choices,
                     std::function<void()> dismiss);

    QWebEnginePage* page() const;
    // The profile is made anew: the page goes to `profile`, first to one
    // that holds it meanwhile with nothing loaded, then (bringBack) to the
    // new one, where its history and zoom come back.
    void movePage(QWebEngineProfile* profile, bool bringBack);
    QWebEngineView* engineView() const { return m_view; }
    // The view that shows the given page, if it is one of ours.
    static QtWebView* forPage(QWebEnginePage* page);
    // Every view there is, oldest first.
    static QList<QtWebView*> all();
    // A download of this page is running until it finishes.
    void downloadStarted(QWebEngineDownloadRequest* download);

    // What stands in for the page, when anything does.
    PageNotice* notice() const { return m_notice; }
    bool isNoticeShown() const;
    // Open questions of the page, oldest first.
    QList<QuestionBar*> questions() const;
    // The page alone on the whole screen, while it asked for that.
    FullScreenWindow* fullScreenWindow() const;
    // The developer tools' window, while it is open.
    QWidget* devToolsWindow() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A new page on `profile` in the engine view, answered and watched.
    void attachPage(QWebEngineProfile* profile);
    void onLoadStarted(const QUrl& url);
    void onLoadFinished(bool ok);
    // Emits busyChanged when isBusy() is no longer what was told last.
    void tellBusy();
    void onLifecycleChanged();
    void saveAs();
    void print();
    void printPreview();
    void setUrl(const QUrl& url);
    // Back, forward or reload (a QWebEnginePage::WebAction).
    void pageAction(int action);
    void leaveFullScreen();
    // Puts the engine's view in place of the blank stand-in.
    void showEngineView();
    // Notes what the page is (history, zoom, address) into m_kept.
    void keepPage();
    // A new page on `profile` takes the place of the one there is.
    void replacePage(QWebEngineProfile* profile);
    // The kept page comes back into the engine page, as after sleeping.
    void bringPageBack();
    // A discarded page gives its engine page back; true if it could.
    bool putAway();
    // The page itself, brought back first if it was put away.
    QtWebPage* livePage();
    // The page's address, also while it is put away.
    QUrl pageUrl() const;

    // The program's answers to what the page asks (PageAnswers.cpp).
    void connectAnswers();
    void onCertificateError(QWebEngineCertificateError error);
    void onProcessEnded(int status);
    void onPermissionRequested(const QUrl& origin, int feature);
    void onPermissionCanceled(const QUrl& origin, int feature);
    void onFullScreenRequested(bool on, const std::function<void(bool)>& answer);
    void showNotice(const QString& heading, const QString& text, const QUrl& url,
                    const QList<PanelChoice>& choices);
    void hideNotice();

    // The page's context menu and tools (PageTools.cpp).
    void showContextMenu(const QPoint& pos);
    // A misspelt word's suggestions and "Zum Wörterbuch hinzufügen".
    void addSpellingItems(QMenu* menu);

    QWidget* m_box = nullptr;
    QVBoxLayout* m_questionArea = nullptr;
    QStackedWidget* m_stack = nullptr;
    QWebEngineView* m_view = nullptr;
    // Stands for the page until the first load; then gone.
    QWidget* m_blank = nullptr;
    PageNotice* m_notice = nullptr;
    QtWebPage* m_page = nullptr;
    bool m_private = false;
    PageBlocker* m_blocker = nullptr;
    // The logins of the page's forms; none in private windows.
    PageLogins* m_logins = nullptr;
    QPointer<FullScreenWindow> m_fullScreen;
    QPointer<QWidget> m_devTools;

    bool m_loading = false;
    bool m_titlePending = false;
    bool m_busyTold = false;
    bool m_hasDocument = false;
    bool m_certificateError = false;
    // The load under way turned into a download.
    bool m_loadBecameDownload = false;
    quint64 m_findSerial = 0;
    bool m_closing = false;
    QString m_docTitle;
    int m_downloads = 0;
    QUrl m_requested;
    // The address of the load under way, as the engine started it.
    QUrl m_loadingUrl;
    // The address the notice speaks of.
    QUrl m_noticeUrl;
    bool m_lastLoadOk = false;
    // The next load only brings a discarded page back.
    bool m_restoring = false;
    // The page is discarded (as far as this view has been told).
    bool m_discarded = false;
    bool m_onScreen = true;
    // Counts the pages this view had; an answer meant for an earlier one is
    // dropped.
    quint64 m_pageSerial = 0;
    // What the page was while the view has no engine page of its own for
    // it: while it moves to a new profile, or while it sleeps put away.
    struct Kept {
        QByteArray history;
        double zoom = 1.0;
        QUrl url;
    } m_kept;
    // Asleep without an engine page: what it was is kept above.
    bool m_putAway = false;
    // The page was asked to load and the engine has not started yet.
    bool m_loadOwed = false;
    // A search asked for while the page came back runs once it is there.
    std::function<void()> m_findWhenBack;
};
