#pragma once

#include "browser/BrowserHost.h"
#include "frame/FrameActions.h"
#include "history/model/HistoryList.h"
#include "shell/Shell.h"

#include <QMainWindow>
#include <QPointer>

class ArchiveWindow;
class BrowserRegistry;
class DownloadList;
class DownloadsWindow;
class BrowserWindow;
class HistoryWindow;
class MailPoller;
class QLabel;
class QMdiArea;
class QMimeData;
class TabBar;

// The main window: holds the browser child windows, the tab bar of open
// windows, the status bar and the menus, and launches the tool windows.
class MainFrame : public QMainWindow, public BrowserHost, public Shell {
    Q_OBJECT
public:
    struct Setup {
        QString programFolder;
        // Why the program keeps its files there (shown in the about window).
        QString programFolderReason;
        WebViewFactory webViewFactory;
        // Every download of the session, for the status bar and the
        // downloads window.
        DownloadList* downloads = nullptr;
    };

    // Takes its size and bar settings from the preferences, which outlive it.
    MainFrame(Prefer& prefs, Setup setup, QWidget* parent = nullptr);
    ~MainFrame() override;

    BrowserRegistry* registry() const { return m_registry; }
    QAction* action(FrameActions::Command command) const { return m_actions->action(command); }
    QMenu* menu(FrameActions::Menu menu) const { return m_actions->menu(menu); }
    TabBar* tabBar() const { return m_tabBar; }
    QMdiArea* mdiArea() const { return m_mdi; }
    QLabel* statusPanel() const { return m_statusText; }
    QLabel* statusPicture() const { return m_statusPicture; }
    QLabel* mailPanel() const { return m_mailSymbol; }
    ArchiveWindow* archiveWindow() const;
    HistoryWindow* historyWindow() const;
    DownloadsWindow* downloadsWindow() const;
    // The zoom of the active window and the running downloads, while there
    // is something to say.
    QLabel* zoomPanel() const { return m_zoomText; }
    QLabel* downloadsPanel() const { return m_downloadsText; }
    MailPoller* mailPoller() const { return m_poller; }

    // What the user chose from the menus, for whoever shows or checks it.
    bool tabBarWanted() const { return m_tabBarWanted; }
    int tabAlign() const { return m_tabAlign; }
    bool statusBarShown() const { return m_statusBarShown; }
    bool isToolWindowOpen(ToolWindow window) const;

    // Places the bars as the preferences say (start-up, after the settings
    // dialog saved).
    void applyBarSettings();
    // Starts (or stops) the mail check of the preferences' accounts.
    void restartMailCheck(bool enable);
    // An address a second start handed over (empty: only come to the front).
    void receiveHandOff(const QString& address);
    // Opens what was dropped on the frame or the tab bar.
    void openDropped(const QMimeData* data);
    // Refreshes the states of the window menu's items.
    void refreshWindowMenu();
    // The frame alone on the whole screen (F11), and back.
    void toggleFullScreen();
    // Closes the frame without asking about running downloads (the system
    // ends the program).
    void closeWithoutAsking();

    // BrowserHost and Shell.
    Prefer& preferences() override { return m_prefs; }
    WebView* createWebView(QWidget* parent) override;
    BrowserWindows& windows() override;
    void addToHistory(const QString& url, const QString& title) override;
    void setModalLock(bool locked) override;
    void showArchive() override;
    void startMailProgram() override;
    void popupActiveWindowMenu(const QPoint& globalPos) override;
    QString programFolder() const override { return m_setup.programFolder; }
    const HistoryList& history() const override { return m_history; }
    WindowOpener& windowOpener() override;
    QRect anchorGeometry() const override { return frameGeometry(); }
    QWidget* ownerWindow() override { return this; }
    void toolWindowShown(ToolWindow window, bool shown) override;

signals:
    // The settings dialog saved new preferences.
    void settingsSaved();
    // The frame closes for good: the program ends as the user asked.
    void unloading();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Window events.
    void buildStatusBar();
    void connectCommands();
    void onActivated();
    void unload();
    void storeFrameState();
    void onWindowAdded(BrowserWindow* window);
    void onWindowRemoved(qint32 id);
    void setStatusText(const QString& text);
    void closeAllWindows();

    // Commands (FrameCommands.cpp).
    void newBrowser();
    void visitUrl(const QString& url, bool addressBar, bool toolbar);
    void pageCommand(int command);
    void sendLink();
    void showHistory();
    void showSettings();
    void showInternetSettings();
    void showAbout();
    void saveLayout();
    void loadLayout();
    void closeActiveWindow();
    void closeAllWithBusyPointer();
    void refreshFileMenu();
    void refreshToolsMenu();
    void fillWindowList();

    // Arrangement, popups and the bars of the active window.
    void arrange(int code);
    void arrangeAndCheck(int code, FrameActions::Command command);
    void applyArrangement();
    void setPopupsAllowed(bool allowed);
    void togglePopupsToBack();
    void toggleBand(bool addressBand);
    void toggleBothBands();
    void toggleStatusBar();

    // Find, zoom, downloads and page tools (FrameTools.cpp).
    void connectTools();
    void updatePageCommands();
    void showZoom();
    void showDownloads();
    void showDownloadProgress();
    bool mayCloseWithDownloads();

    // The tab bar (FrameTabs.cpp).
    void setTabBarVisible(bool visible);
    void setTabBarPosition(int align);
    void toggleTabBar();
    void moveTabBar(int align);
    void onTabClicked(qint32 id);
    // The active window's tab follows its caption.
    void updateTab();
    void setTabTitle(const QString& title, qint32 windowId);

    Prefer& m_prefs;
    Setup m_setup;
    BrowserRegistry* m_registry = nullptr;
    FrameActions* m_actions = nullptr;
    QMdiArea* m_mdi = nullptr;
    TabBar* m_tabBar = nullptr;
    QLabel* m_statusText = nullptr;
    QLabel* m_statusPicture = nullptr;
    QLabel* m_mailSymbol = nullptr;
    QLabel* m_zoomText = nullptr;
    QLabel* m_downloadsText = nullptr;
    QPointer<DownloadsWindow> m_downloads;
    bool m_askAboutDownloads = true;
    QList<QAction*> m_windowListActions;
    QPointer<ArchiveWindow> m_archive;
    QPointer<HistoryWindow> m_historyWindow;
    MailPoller* m_poller = nullptr;
    HistoryList m_history;

    bool m_tabBarWanted = false;
    int m_tabAlign = 1;
    bool m_statusBarShown = true;
    bool m_archiveOpen = false;
    bool m_historyOpen = false;
    bool m_acceptHandOffs = true;
    // Addresses handed over while a modal dialog was open.
    QStringList m_pendingHandOffs;
    bool m_unloaded = false;
    bool m_shownOnce = false;
    // How the frame was before F11 put it on the whole screen.
    Qt::WindowStates m_stateBeforeFullScreen;
    QSize m_sizeBeforeFullScreen;
};
