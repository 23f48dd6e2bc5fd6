#pragma once

#include "browser/WebView.h"

#include <QUrl>

class QWebEngineView;
class QWebEnginePage;
class QWebEngineProfile;

// The web view on Qt WebEngine. All views share one persistent profile whose
// storage lies in the program directory, so cookies and cache survive a restart.
class QtWebView : public WebView {
    Q_OBJECT
public:
    explicit QtWebView(QWidget* parent);
    ~QtWebView() override;

    // Creates the shared profile under appDir; call once before the first view.
    static void initProfile(const QString& appDir);
    // Releases the profile; every view must be gone by then.
    static void releaseProfile();
    static QWebEngineProfile* profile();
    static WebViewFactory factory();

    QWidget* widget() override;
    void navigate(const QString& url) override;
    void goBack() override;
    void goForward() override;
    void refresh() override;
    void stop() override;
    void execCommand(Command cmd) override;

    QString locationUrl() const override;
    QString locationName() const override;
    bool isBusy() const override;
    bool hasDocument() const override;
    DocumentKind documentKind() const override;
    QString documentTitle() const override;
    QString folderPath() const override;
    void collectLinks(std::function<void(const QStringList&)> done) override;
    void setLifecycle(Lifecycle::State state) override;
    Lifecycle::State lifecycle() const override;
    bool isBackgroundBusy() const override;

    QWebEnginePage* page() const;
    // The view that shows the given page, if it is one of ours.
    static QtWebView* forPage(QWebEnginePage* page);
    // A download of this page is running until it finishes.
    void downloadStarted(class QWebEngineDownloadRequest* download);

private:
    class Page;
    void onLoadFinished(bool ok);
    void onLifecycleChanged();
    void saveAs();
    void print();
    void printPreview();

    QWebEngineView* m_view = nullptr;
    Page* m_page = nullptr;
    bool m_loading = false;
    bool m_titlePending = false;
    bool m_hasDocument = false;
    bool m_certificateError = false;
    QString m_docTitle;
    int m_downloads = 0;
    QUrl m_requested;
    bool m_lastLoadOk = false;
    // The next load only brings a discarded page back.
    bool m_restoring = false;
    // The page is discarded (as far as this view has been told).
    bool m_discarded = false;
};
