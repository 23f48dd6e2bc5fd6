#pragma once

#include "browser/BrowserToolbar.h"
#include "browser/WebView.h"
#include "browser/model/LinkWalk.h"
#include "browser/model/Suggestions.h"

#include <QMdiSubWindow>
#include <QTimer>

class AddressBox;
class BrowserHost;
class FindBar;
class QComboBox;
class QLabel;
class QToolBar;
struct OpenRequest;

// One browsing child window of the frame: bar area (toolbar, animation,
// address box) above its web view. It is made from the request that opens
// it and follows what its web view tells.
class BrowserWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    enum class Band { Toolbar = 1, Anim = 2, Adress = 3 };

    // A window on the request's address (the caller gives one; enclosing
    // quotes are taken off) with the request's bars, or those of the
    // preferences. Its page starts with navigate(QString()).
    BrowserWindow(BrowserHost* host, const OpenRequest& request, QWidget* parent = nullptr);
    ~BrowserWindow() override;

    // The address navigate("") opens.
    QString startingAddress() const { return m_startingAddress; }
    // The window's number, given by the registry; it names the window's tab.
    qint32 id() const { return m_id; }
    void setId(qint32 id) { m_id = id; }
    // The page's title as last seen.
    QString title() const { return m_title; }
    // Opened on the private profile: marked in caption and tab.
    bool isPrivate() const { return m_private; }
    // The caption of a text: with "(Privat)" for a private window.
    QString caption(const QString& text) const;
    // Auto-refresh interval in seconds, 0 = off.
    int refreshSeconds() const { return m_refreshSeconds; }
    void setRefreshSeconds(int seconds);

    // The window became the active child.
    void onActivated();

    // Goes to the address as given; empty goes to the starting address (or
    // back to the page of the history the window was opened with).
    void navigate(const QString& url);
    // The keys every browser has.
    void focusAddressBox();
    void reload(bool bypassingCache);
    void goBack();
    void goForward();
    void goHome();
    void stopLoading();
    void layoutControls();
    // Shows the bar area again unless all its bands are hidden, then lays out.
    void relayout();
    // Starts the walk over this page's links.
    void startRoundTrip();
    // Runs what Enter in the address box runs.
    void goToAddressBox();

    WebView* webView() const { return m_web; }
    QComboBox* addressBox() const;
    BrowserToolbar* toolBar() const { return m_toolBar; }
    QLabel* animPicture() const { return m_anim; }
    int animFrame() const { return m_animFrame; }
    // Whether the busy animation turns: from the page's start until it has
    // come (or the user stopped it).
    bool isBusyShown() const { return m_busyShown; }
    bool isRefreshing() const { return m_refreshTimer.isActive(); }
    int refreshInterval() const { return m_refreshTimer.interval(); }
    bool isWalking() const { return m_walkTimer.isActive(); }
    const LinkWalk::RoundTrip& roundTrip() const { return m_roundTrip; }

    // Made when first asked for: most windows never search.
    FindBar* findBar();
    // Opens the find bar (Ctrl+F); F3 and Shift+F3 step through the matches.
    void openFindBar();

    // The page's zoom, kept while the window stays on the same site.
    double zoom() const { return m_zoom; }
    void zoomBy(int steps);
    void resetZoom();

    // Source, developer tools and PDF of the page.
    void runPageTool(WebView::PageTool tool);

    bool bandVisible(Band band) const;
    void setBandVisible(Band band, bool visible);
    bool coolBarVisible() const;
    void setCoolBarVisible(bool visible);
    // Shows both bands and the bar area, or hides them all.
    void setBothBands(bool visible);

signals:
    // What a layout file keeps of the window changed: its page or its bars.
    // (Moves and resizes come as the window's own events.)
    void layoutChanged();
    void zoomChanged(double factor);
    // The page's words for the status bar.
    void statusTextChanged(const QString& text);
    // The page has come and its title is shown, for the window's tab.
    void titleShown(const QString& title);
    // The page shown changed: the window's tab follows its caption.
    void pageChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildBars();
    void showBars(const OpenRequest& request);
    void startBusyIndicator();
    void onBusyChanged(bool busy);
    void showBusy();
    void turnAnimation();
    void startAnimation();
    void stopAnimation();
    void showPageCame();
    void walkStep();
    void applyRefresh();
    void openRefreshDialog();
    void onButtonClicked(BrowserToolbar::Command command);
    void onMenuChosen(BrowserToolbar::Command command, const QString& drivePath);
    void clonePage();
    void takeAsHomePage();

    // Find, zoom and page tools (BrowserTools.cpp).
    void connectTools();
    void setZoom(double factor);
    void keepZoomOnSite();
    void savePdf();

    void onNewWindowRequested(WebView::NewWindowRequest* request);
    void openSuggestion(const Suggestions::Row& row);
    void onNavigateComplete(const QString& url);
    void onGeometryRequested(int left, int top, int width, int height);
    void leaveRegistry();

    BrowserHost* m_host;
    QWidget* m_client = nullptr;
    QWidget* m_coolBar = nullptr;
    QWidget* m_bandToolbar = nullptr;
    QWidget* m_bandAdress = nullptr;
    BrowserToolbar* m_toolBar = nullptr;
    QLabel* m_anim = nullptr;
    AddressBox* m_address = nullptr;
    WebView* m_web = nullptr;
    FindBar* m_findBar = nullptr;

    QString m_startingAddress;
    // The back and forward list a reopened window starts with.
    QByteArray m_startingHistory;
    QString m_title;
    qint32 m_id = 0;
    int m_refreshSeconds = 0;

    QMetaObject::Connection m_animStep;
    QTimer m_walkTimer;
    QTimer m_refreshTimer;
    LinkWalk::RoundTrip m_roundTrip;
    int m_animFrame = 1;
    int m_animFrames = 4;
    bool m_busyShown = false;
    bool m_private = false;
    bool m_updatingAddress = false;
    bool m_secure = false;
    int m_secureLevel = 0;
    bool m_closed = false;
    double m_zoom = 1.0;
    // The site the zoom was chosen on.
    QString m_zoomSite;
};
