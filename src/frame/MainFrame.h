#pragma once

#include "browser/BrowserHost.h"
#include "history/model/HistoryList.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <optional>

class BrowserWindow;
class FrmBook;
class FrmHistory;
class MailPoller;
class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QTabBar;
class QToolBar;

// The main window: holds the browser child windows, the tab strip of open
// windows, the status bar and the menus.
class MainFrame : public QMainWindow, public BrowserHost {
    Q_OBJECT
public:
    explicit MainFrame(WebViewFactory factory, QWidget* parent = nullptr);
    ~MainFrame() override;

    // The preferences object lives from start-up to the frame's unload; the
    // frame does not own it.
    void setPrefer(Prefer* prefs) { m_prefs = prefs; }
    Prefer& prefs() override { return *m_prefs; }
    bool hasPrefs() const { return m_prefs != nullptr; }

    // Frame properties shared with the other windows.
    qint16 counter = 0;
    qint16 MaxBrowser = 300;
    QString HistoryUrl;
    bool ToolbarView = true;
    bool AdressView = true;
    bool bTabVisible = false;
    qint16 nTabAlign = 1;
    bool StatusBarCurr = true;
    bool bPopup = true;
    bool bPopupBackgrnd = false;
    bool bIsOpenBook = false;
    bool bIsOpenHistory = false;
    HistoryList History;

    // Registry of browser windows.
    static QString StrKey(qint32 number);
    BrowserWindow* CreateBrowser(const QString& sParent) override;
    void NewBrowser() override;
    void mn_Browser_Click();
    void VisitUrl(const QString& sUrl, bool bAdress, bool bToolb, int nLeft = 0, int nTop = 0,
                  int nWidth = 0, int nHeight = 0);
    void CloseAllBrowser() override;
    void OpenAllAnchors(WebView* oBr) override;
    // Opening many windows at once (a layout file, a bookmark folder, every
    // link of a page) runs one step per turn of the event loop, so the
    // interface keeps answering and each page starts loading as its window
    // comes. A step that returns false drops the steps after it. Closing all
    // windows drops the steps still waiting.
    void queueOpening(std::function<bool()> step);
    void cancelQueuedOpenings();
    int queuedOpenings() const { return int(m_openQueue.size()); }
    // Creates one window of a layout file.
    void OpenLayoutItem(const QString& sUrl, qint16 bAdress, qint16 bToolb, qint16 nLeft,
                        qint16 nTop, qint16 nWidth, qint16 nHeight, qint16 nState);
    void mn_Anordnung_load_Click();
    void mn_Anordnung_save_Click();
    void mn_Alleschließen_Click();
    void mn_Aktivschließen_Click();
    BrowserWindow* browserByKey(const QString& key) const;
    const QList<BrowserWindow*>& browsers() const { return m_browser; }
    BrowserWindow* activeBrowser() const;
    qint32 lastWindowNumber() const { return m_nBrowserSeq; }

    // Tab strip.
    static QString StrToCaption(const QString& s);
    // Offset of the strip inside its bar in twips, or nothing for an
    // alignment other than top (1) or bottom (2).
    static std::optional<int> tabStripOffset(bool buttons, int align);
    void CreateTab(qint32 nID, const QString& sCap);
    void RemoveTab(qint32 nKey);
    void SetTapTitle(const QString& sTitle, qint32 nKey) override;
    void UpdateTab() override;
    QFont SetFontFace(bool bBold, const QString& sFont) const;
    void SetTabStripPos(bool bTabBtn);
    void TabStripResize();
    void SetToolbarPos(qint16 nAlign);
    void SetToolbarVisible(bool visible);
    void UpdateToolbarPos();
    void mn_Register_Click();
    void mn_RegisterOben_Click();
    void mn_RegisterUnten_Click();
    void TabStrip1_Click();
    QTabBar* tabStrip() const { return m_tabStrip; }
    QToolBar* tabBar() const { return m_toolbar1; }
    int tabIndexOf(qint32 id) const;

    // Menus.
    QAction* action(const QString& name) const;
    QMenu* menu(const QString& name) const;
    void MenuFenster();
    // Freezes or discards the pages nobody can see and wakes the ones that
    // can; runs every second and whenever the visible windows change.
    void updateLifecycles();
    bool isWindowVisible(BrowserWindow* w) const override;
    Lifecycle::Policy lifecyclePolicy;
    // Milliseconds on a monotonic clock; tests put their own in.
    std::function<qint64()> clock;
    // Applies the arrangement the window menu has checked, if any.
    void reapplyArrangement() { applyArrangement(); }
    void setMenuCaption(const QString& name, const QString& caption);
    void mn_Untereinander_Click();
    void mn_Nebeneinander_Click();
    void mn_Kaskadiert_Click();
    void mn_EnablePopup_Click();
    void mn_DisablePopup_Click();
    void mn_PopupToBack_Click();
    void mn_adresszeile_Click();
    void mn_toolbar_Click();
    void mn_beides_Click();
    void mn_Toggle_Click();
    void mn_Datei_Click();
    void mn_Anzeige_Click();

    // Events and commands.
    void MDIForm_Activate();
    void MDIForm_Unload();
    void webCommand(int command);
    void openDropped(const class QMimeData* data);
    QMdiArea* mdiArea() const { return m_mdi; }
    QLabel* statusPanel() const { return m_panelStatus; }
    QLabel* statusPicture() const { return m_panelStatusPicture; }
    QLabel* mailPanel() const { return m_panelEmail; }
    // The frame's state as it goes into the preferences at unload.
    void storeFrameState();

    // BrowserHost.
    WebView* createWebView(QWidget* parent) override;
    bool popupsAllowed() const override { return bPopup; }
    bool popupsToBack() const override { return bPopupBackgrnd; }
    void setHistoryUrl(const QString& url) override { HistoryUrl = url; }
    void AddToHistory(const QString& sUrl, const QString& sTitle) override;
    void setStatusText(const QString& text) override;
    void SetModalLock(bool bLock) override;
    void browserUnloaded(BrowserWindow* window) override;
    void StartBookmEd() override;
    // The archive window while it is open.
    FrmBook* bookWindow() const;
    // The history window while it is open.
    FrmHistory* historyWindow() const;
    void mn_Historie_Click();
    void mn_Korvix_Click();
    void mn_Einstellungen_Click();
    void mn_send_Click();
    // Starts (or stops) the mail check of the preferences' accounts.
    void restart(bool enable);
    MailPoller* mailPoller() const { return m_poller; }
    // Applies the preferences the settings dialog saved to the frame's bars.
    void applySavedSettings();
    void StartMail() override;
    void popupActiveWindowMenu(const QPoint& globalPos) override;

    // Whether the frame saves anything when it closes (a second instance saves
    // nothing).
    bool IsSecondInstance = false;

signals:
    // The settings dialog saved new preferences (the mail check restarts).
    void settingsSaved();
    // The last queued opening ran (or the rest were dropped).
    void queuedOpeningsDone();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void MDIForm_Load();
    void buildMenus();
    void buildTabBar();
    void buildStatusBar();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption,
                     void (MainFrame::*handler)() = nullptr, bool checkable = false);
    QAction* addSeparator(QMenu* menu, const QString& name);
    void twin(const QString& name, const QString& twinName);
    void setChecked(const QStringList& names, bool checked);
    void setEnabled(const QStringList& names, bool enabled);
    void applyArrangement();
    void arrange(int code);
    void arrangeAndCheck(int code, const QString& name);
    void tileOneBelowOther();
    void tileSideBySide();
    void fillWindowList();
    void runQueuedOpening();
    void mn_IEProp_Click();
    void mn_Website_Click();

    WebViewFactory m_factory;
    Prefer* m_prefs = nullptr;
    QList<BrowserWindow*> m_browser;
    qint32 m_nBrowserSeq = 0;
    QMdiArea* m_mdi = nullptr;
    QToolBar* m_toolbar1 = nullptr;
    QTabBar* m_tabStrip = nullptr;
    QLabel* m_panelStatus = nullptr;
    QLabel* m_panelStatusPicture = nullptr;
    QLabel* m_panelEmail = nullptr;
    QHash<QString, QAction*> m_actions;
    QHash<QString, QMenu*> m_menus;
    QList<QAction*> m_windowListActions;
    QPointer<FrmBook> m_book;
    QHash<BrowserWindow*, qint64> m_hiddenSince;
    MailPoller* m_poller = nullptr;
    class QTimer* m_lifecycleTimer = nullptr;
    // Passes of updateLifecycles that still hand freed memory back.
    int m_trimPasses = 0;
    QList<std::function<bool()>> m_openQueue;
    class QTimer* m_openTimer = nullptr;
    bool m_openCursor = false;
    bool m_openRunning = false;
    QPointer<FrmHistory> m_history;
    bool m_unloaded = false;
    bool m_shownOnce = false;
};
