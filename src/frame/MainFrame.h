#pragma once

#include "browser/BrowserHost.h"
#include "frame/FrameActions.h"
#include "history/model/HistoryList.h"

#include <QMainWindow>

class BlockingCommands;
class FormCommands;
class Passwords;
class BrowserRegistry;
class BrowserWindow;
class ContentBlocker;
class ClosedWindows;
class DownloadList;
class FrameCommands;
class FrameStatus;
class FrameTabs;
class MailPoller;
class PrivacyCommands;
class QMdiArea;
class QMimeData;
class SuggestionSource;
class ToolWindows;

// The main window. It is made of parts, each owning its widgets, which it
// builds and wires: the registry of browser windows in its MDI area, the
// commands behind its menus, the tab strip, the status bar and the tool
// windows. It hosts the browser windows (BrowserHost) and keeps the
// history, the mail check and the modal lock.
class MainFrame : public QMainWindow, private BrowserHost {
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
        // What keeps ads and trackers away; none where no engine runs.
        ContentBlocker* blocker = nullptr;
        // Where the logins of pages are kept; none where no engine runs.
        Passwords* passwords = nullptr;
    };

    // Takes its size and bar settings from the preferences, which outlive it.
    MainFrame(Prefer& prefs, Setup setup, QWidget* parent = nullptr);
    ~MainFrame() override;

    BrowserRegistry* registry() const { return m_registry; }
    FrameCommands* commands() const { return m_commands; }
    FrameTabs* tabs() const { return m_tabs; }
    FrameStatus* status() const { return m_status; }
    // Also the shell the tool windows see.
    ToolWindows* tools() const { return m_tools; }
    SuggestionSource* suggestionSource() const { return m_suggestions; }
    BrowserHost& browserHost() { return *this; }
    QAction* action(FrameActions::Command command) const { return m_actions->action(command); }
    QMenu* menu(FrameActions::Menu menu) const { return m_actions->menu(menu); }
    MailPoller* mailPoller() const { return m_poller; }

    // Places the bars as the preferences say (start-up, after the settings
    // dialog saved).
    void applyBarSettings();
    // Starts (or stops) the mail check of the preferences' accounts.
    void restartMailCheck(bool enable);
    // An address a second start handed over (empty: only come to the front).
    void receiveHandOff(const QString& address);
    // Opens what was dropped on the frame or the tab bar.
    void openDropped(const QMimeData* data);
    // While a modal dialog is open, drops and hand-offs wait.
    void setModalLock(bool locked) override;
    // Closes the frame without asking about running downloads (the system
    // ends the program).
    void closeWithoutAsking();

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
    // BrowserHost.
    Prefer& preferences() override { return m_prefs; }
    WebView* createWebView(QWidget* parent, bool isPrivate) override;
    BrowserWindows& windows() override;
    AddressSuggestions& suggestions() override;
    void addToHistory(const QString& url, const QString& title) override;
    void showArchive() override;
    void startMailProgram() override;
    void popupActiveWindowMenu(const QPoint& globalPos) override;

    void onActivated();
    void onSettingsSaved();
    void onWindowAdded(BrowserWindow* window);
    void onWindowRemoved(qint32 id);
    void mailSymbolDoubleClicked();
    void unload();
    void storeFrameState();
    // The frame alone on the whole screen (F11), and back.
    void toggleFullScreen();
    bool mayCloseWithDownloads();

    Prefer& m_prefs;
    Setup m_setup;
    HistoryList m_history;
    QMdiArea* m_mdi = nullptr;
    BrowserRegistry* m_registry = nullptr;
    FrameActions* m_actions = nullptr;
    FrameTabs* m_tabs = nullptr;
    FrameStatus* m_status = nullptr;
    ToolWindows* m_tools = nullptr;
    FrameCommands* m_commands = nullptr;
    BlockingCommands* m_blocking = nullptr;
    PrivacyCommands* m_privacy = nullptr;
    FormCommands* m_forms = nullptr;
    ClosedWindows* m_closed = nullptr;
    SuggestionSource* m_suggestions = nullptr;
    MailPoller* m_poller = nullptr;

    bool m_askAboutDownloads = true;
    bool m_acceptHandOffs = true;
    // Addresses handed over while a modal dialog was open.
    QStringList m_pendingHandOffs;
    bool m_unloaded = false;
    bool m_shownOnce = false;
    // How the frame was before F11 put it on the whole screen.
    Qt::WindowStates m_stateBeforeFullScreen;
    QSize m_sizeBeforeFullScreen;
};
