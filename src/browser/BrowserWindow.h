#pragma once

#include "browser/WebView.h"
#include "browser/model/LinkWalk.h"

#include <QMdiSubWindow>
#include <QTimer>

class BrowserHost;
class QComboBox;
class QLabel;
class QToolBar;
class QToolButton;
class QMenu;

// One browsing child window of the frame: bar area (toolbar, animation,
// address box) above its web view.
class BrowserWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    enum class Band { Toolbar = 1, Anim = 2, Adress = 3 };

    explicit BrowserWindow(BrowserHost* host, QWidget* parent = nullptr);
    ~BrowserWindow() override;

    // Public properties.
    QString StartingAddress;
    QString sTitle;
    qint32 iSekunden = 0;
    qint16 nTop = 0;
    qint16 nLeft = 0;
    qint32 ID = 0;

    // Shared by every window: refuse the next page-opened window once after a
    // toolbar action.
    static bool bSuppressPopup;

    // The load handler; the registry runs it once StartingAddress is set.
    void Form_Load();
    // The window became the active child.
    void Form_Activate();

    void Navigate(const QString& sUrl);
    void ControlResize();
    void PubResize();
    // Applies iSekunden to the auto-refresh timer.
    void SetRefresh();
    // Starts the walk over this page's links.
    void startRoundTrip();

    WebView* webView() const { return m_web; }
    QComboBox* addressBox() const { return m_address; }
    QToolBar* toolBar() const { return m_toolBar; }
    QLabel* animPicture() const { return m_anim; }
    int animFrame() const { return m_animFrame; }
    bool isPolling() const { return m_timTimer.isActive(); }
    bool isRefreshing() const { return m_timRefresh.isActive(); }
    int refreshInterval() const { return m_timRefresh.interval(); }
    bool isWalking() const { return m_timRoundtrip.isActive(); }
    const LinkWalk::RoundTrip& roundTrip() const { return m_roundTrip; }
    // Runs what a choice in a toolbar button's menu runs.
    void tbToolBar_ButtonMenuClick(const QString& key, const QString& text = QString());
    void tbToolBar_ButtonClick(const QString& key);

    bool bandVisible(Band band) const;
    void setBandVisible(Band band, bool visible);
    bool coolBarVisible() const;
    void setCoolBarVisible(bool visible);
    // Shows both bands and the bar area, or hides them all.
    void setBothBands(bool visible);

    // Runs what Enter in the address box runs.
    void GoToAddressBox();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildBars();
    QToolButton* addButton(const QString& key, const QString& text, int standardIcon,
                           QMenu* menu = nullptr);
    void setToolTips();
    void StartBusyIndicator();
    void timTimer_Timer();
    void fillDriveMenu();
    void timRoundtrip_Timer();
    void timRefresh_Timer();
    void openRefreshDialog();

    void brwWebBrowser_NewWindow2(WebView::NewWindowRequest* request);
    void brwWebBrowser_NavigateComplete2(const QString& url);
    void brwWebBrowser_WindowSetGeometry(int left, int top, int width, int height);
    void brwWebBrowser_WindowClosing();

    BrowserHost* m_host;
    QWidget* m_client = nullptr;
    QWidget* m_coolBar = nullptr;
    QWidget* m_bandToolbar = nullptr;
    QWidget* m_bandAdress = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_anim = nullptr;
    QComboBox* m_address = nullptr;
    QMenu* m_driveMenu = nullptr;
    WebView* m_web = nullptr;

    QTimer m_timTimer;
    QTimer m_timRoundtrip;
    QTimer m_timRefresh;
    LinkWalk::RoundTrip m_roundTrip;
    int m_animFrame = 1;
    int m_animFrames = 4;
    bool m_bUpdatingAddress = false;
    bool m_bSecure = false;
    int m_nSecureLevel = 0;
    bool m_unloaded = false;
};
