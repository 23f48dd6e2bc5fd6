#pragma once

#include "browser/model/Lifecycle.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// What a browser window asks of the embedded web engine. QtWebView maps it onto
// Qt WebEngine; tests put a fake in its place.
class WebView : public QObject {
    Q_OBJECT
public:
    enum Command { SaveAs = 4, Print = 6, PrintPreview = 7 };
    enum class DocumentKind { None, Html, Folder };
    // What the page's context menu offers beyond the engine's own entries.
    enum class PageTool { ViewSource, DevTools, SavePdf };

    // A page asked for a new window. The handler either leaves `target` empty
    // (the request is refused) or hands back the web view that takes the page.
    struct NewWindowRequest {
        // Where the user wants it: as the popup policy says (scripts, links
        // with a target), behind the opener (middle or Ctrl+click on a
        // link), in front (Shift+click, "Link in neuem Fenster öffnen").
        enum class Placement { AsPolicySays, Behind, InFront };
        Placement placement = Placement::AsPolicySays;
        WebView* target = nullptr;
    };

    using QObject::QObject;
    ~WebView() override = default;

    // The widget that shows the page; owned by the web view.
    virtual QWidget* widget() = 0;

    virtual void navigate(const QString& url) = 0;
    virtual void goBack() = 0;
    virtual void goForward() = 0;
    virtual void refresh() = 0;
    // Loads the page again from the server, not from the cache.
    virtual void reloadBypassingCache() = 0;
    virtual void stop() = 0;
    virtual void execCommand(Command cmd) = 0;

    virtual QString locationUrl() const = 0;
    virtual QString locationName() const = 0;
    virtual bool isBusy() const = 0;
    virtual bool hasDocument() const = 0;
    // Whether the view was ever asked for anything: a page shown, or one
    // on its way.
    virtual bool hasBegun() const = 0;
    virtual DocumentKind documentKind() const = 0;
    // The document's own title (empty when it has none) and, for a folder
    // view, the folder's path.
    virtual QString documentTitle() const = 0;
    virtual QString folderPath() const = 0;

    // Collects the addresses of the page's links and frames; the engine
    // answers later, so the result arrives through the callback.
    virtual void collectLinks(std::function<void(const QStringList&)> done) = 0;

    // The page's back and forward list, to keep for a closed window and put
    // back into the view of the window that reopens it (which then shows
    // the page it was on).
    virtual QByteArray saveHistory() const = 0;
    virtual void restoreHistory(const QByteArray& history) = 0;

    // Pages nobody sees are frozen or discarded to save memory and come back
    // when shown again; coming back is no new visit.
    virtual void setLifecycle(Lifecycle::State state) = 0;
    virtual Lifecycle::State lifecycle() const = 0;
    // Whether anyone can see the window: a page under other windows or in a
    // minimized one draws nothing and keeps no picture of itself.
    virtual void setOnScreen(bool on) { Q_UNUSED(on) }
    // Playing sound or downloading: such a page must keep running.
    virtual bool isBackgroundBusy() const = 0;

    // Marks every match of `text` and moves to the next (or previous) one;
    // the result arrives as findResult. Empty text clears the marks.
    virtual void findText(const QString& text, bool backward, bool caseSensitive) = 0;
    // 1.0 is the page's own size.
    virtual void setZoomFactor(double factor) = 0;
    virtual double zoomFactor() const = 0;
    // The engine's developer tools for this page, in a window of their own.
    virtual void showDevTools() = 0;
    // Writes the page as a PDF file; pdfFinished tells how it went.
    virtual void printToPdf(const QString& path) = 0;
    // Requests of this page the content blocker refused.
    virtual int blockedCount() const { return 0; }

signals:
    void statusTextChanged(const QString& text);
    void titleChanged(const QString& title);
    void beforeNavigate(const QString& url);
    void newWindowRequested(WebView::NewWindowRequest* request);
    void navigateComplete(const QString& url);
    // A load has ended and the page's own title is known: the page is no
    // longer busy.
    void settled();
    // isBusy() changed.
    void busyChanged(bool busy);
    // Sizes in pixels as the page's script asked; -1 where it asked nothing.
    void geometryChangeRequested(int left, int top, int width, int height);
    void windowClosing();
    void secureLevelChanged(int level);
    void downloadRequested(const QString& suggestedName);
    // The active match (from 1; 0 for none) and how many there are.
    void findResult(int active, int count);
    // Ctrl and the mouse wheel on the page: steps up (> 0) or down.
    void zoomRequested(int steps);
    void pageToolRequested(WebView::PageTool tool);
    void pdfFinished(const QString& path, bool ok);
    void blockedCountChanged(int count);
};

// Creates the web view of a new browser window.
// A private window's view keeps its cookies, cache and logins in memory.
using WebViewFactory = std::function<WebView*(QWidget* parent, bool isPrivate)>;
