#pragma once

#include <QObject>
#include <array>
#include <initializer_list>

class QAction;
class QMainWindow;
class QMenu;

// Every command of the frame, once: the menu bar and the context menus show
// the same actions, so a context item cannot drift from its menu-bar twin,
// and each caption is written down in one place.
class FrameActions : public QObject {
    Q_OBJECT
public:
    enum Command {
        NewBrowser,
        SavePage,
        SendLink,
        Print,
        PrintPreview,
        Exit,
        TabBar,
        TabBarTop,
        TabBarBottom,
        StatusBar,
        Archive,
        History,
        MailProgram,
        Settings,
        InternetSettings,
        TileBelow,
        TileSideBySide,
        Cascade,
        SaveLayout,
        LoadLayout,
        AllowPopups,
        ForbidPopups,
        PopupsToBack,
        AddressBar,
        Toolbar,
        BothBars,
        CloseWindow,
        CloseAllWindows,
        About,
        Website,
        PrefetchLinks, // offered by the context menu, without an action
        FindInPage,
        ZoomIn,
        ZoomOut,
        ZoomReset,
        Downloads,
        ViewSource,
        DevTools,
        SavePdf,
        FullScreen,
        // The keys every browser has.
        ReopenClosed,
        FocusAddress,
        GoBack,
        GoForward,
        Reload,
        ReloadBypassingCache,
        StopLoading,
        GoHome,
        NextWindow,
        PreviousWindow,
        BookmarkPage,
        NewPrivateWindow,
        // Content blocking.
        BlockContent,
        AllowOnSite,
        FilterLists,
        // Cookies and what sites leave behind.
        ThirdPartyCookies,
        ThirdPartyCookiesOnSite,
        ClearBrowsingData,
        // What one enters into pages: logins and spelling.
        SavedPasswords,
        SpellCheck,
        SpellGerman,
        SpellEnglish,
        CommandCount
    };
    enum Menu {
        FileMenu,
        ViewMenu,
        ToolsMenu,
        WindowMenu,
        ActiveWindowMenu,
        HelpMenu,
        ContextMenu,
        ContextWindowMenu,
        TabContextMenu,
        ZoomMenu,
        ClosedWindowsMenu,
        SpellingMenu,
        MenuCount
    };

    // Builds the actions and fills the frame's menu bar.
    explicit FrameActions(QMainWindow* frame, const QString& appTitle, const QString& websiteUrl);

    QAction* action(Command command) const { return m_actions[command]; }
    QMenu* menu(Menu menu) const { return m_menus[menu]; }

    void setChecked(std::initializer_list<Command> commands, bool checked) const;
    void setEnabled(std::initializer_list<Command> commands, bool enabled) const;

private:
    QAction* make(Command command, const QString& caption, bool checkable = false);
    QMenu* makeMenu(Menu menu, const QString& caption, QWidget* parent);
    void fill(QMenu* menu, std::initializer_list<int> items) const;

    std::array<QAction*, CommandCount> m_actions{};
    std::array<QMenu*, MenuCount> m_menus{};
};
