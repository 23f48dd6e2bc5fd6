#pragma once

#include "frame/FrameActions.h"

#include <QList>
#include <QObject>

class BrowserRegistry;
class ClosedWindows;
class FrameStatus;
class FrameTabs;
class HistoryList;
class Prefer;
class QAction;
class QMainWindow;
class QMdiArea;
class ToolWindows;

// What the frame's menus do: each command of FrameActions wired to its
// work on the windows, the bars and the tool windows, and the states the
// menus show when they open.
class FrameCommands : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QMainWindow* frame = nullptr;
        FrameActions* actions = nullptr;
        BrowserRegistry* registry = nullptr;
        QMdiArea* area = nullptr;
        Prefer* prefs = nullptr;
        FrameTabs* tabs = nullptr;
        FrameStatus* status = nullptr;
        ToolWindows* tools = nullptr;
        const HistoryList* history = nullptr;
        ClosedWindows* closed = nullptr;
    };

    explicit FrameCommands(Parts parts, QObject* parent = nullptr);

    // Refreshes the states of the window menu's items.
    void refreshWindowMenu();
    // Arranges the windows again as the window menu's choice says.
    void applyArrangement();
    // The page tools need a window; Esc stops only a page on its way.
    void updatePageCommands();
    // The zoom panel shows the current window's zoom.
    void showZoom();
    // The mail program, or the settings when none is set.
    void startMailProgram();
    void showSettings();

signals:
    // The settings dialog saved new preferences.
    void settingsSaved();

private:
    void connectMenus();
    void connectPageTools();
    void connectBrowserKeys();
    void reopenClosed(int index);
    void fillClosedWindowsMenu();
    // Ctrl+Tab (+1) and Ctrl+Shift+Tab (-1) in the order of the tabs.
    void switchWindow(int step);
    // Ctrl+1 ... Ctrl+8; Ctrl+9 is the last.
    void showWindowNumber(int n);
    void bookmarkPage();
    void setPrefetchLinks(bool on);
    void newBrowser();
    void visitUrl(const QString& url, bool addressBar, bool toolbar);
    void pageCommand(int command);
    void sendLink();
    void showInternetSettings();
    void saveLayout();
    void loadLayout();
    void closeActiveWindow();
    void closeAllWithBusyPointer();
    void refreshFileMenu();
    void refreshToolsMenu();
    void fillWindowList();
    // Arrangement: 0 cascade, 1 one below the other, 2 side by side.
    void arrange(int code);
    void arrangeAndCheck(int code, FrameActions::Command command);
    void setPopupsAllowed(bool allowed);
    void togglePopupsToBack();
    void toggleBand(bool addressBand);
    void toggleBothBands();
    void toggleStatusBar();
    QAction* action(FrameActions::Command command) const {
        return m_parts.actions->action(command);
    }

    Parts m_parts;
    QList<QAction*> m_windowListActions;
};
