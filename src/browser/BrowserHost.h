#pragma once

#include "browser/WebView.h"

#include <QString>

class BrowserWindow;
class Prefer;
class QPoint;
struct OpenRequest;

// What a browser window may ask of the frame that holds it.
class BrowserHost {
public:
    virtual ~BrowserHost() = default;

    virtual Prefer& preferences() = 0;
    virtual WebView* createWebView(QWidget* parent) = 0;

    // Popup policy of the window menu.
    virtual bool popupsAllowed() const = 0;
    virtual bool popupsToBack() const = 0;

    // A window for the page a page wants to open; nothing at the window limit.
    virtual BrowserWindow* openPopupWindow() = 0;
    virtual void openWindow(const OpenRequest& request) = 0;
    virtual void closeAllWindows() = 0;
    // Opens every link of the page in its own new window.
    virtual void openAllLinks(WebView* view) = 0;
    virtual void addToHistory(const QString& url, const QString& title) = 0;

    // Whether any of the window can be seen (not minimized, not behind a
    // maximized window, not outside the view).
    virtual bool isWindowVisible(const BrowserWindow* window) const = 0;

    // The active window's tab follows its caption.
    virtual void updateTab() = 0;
    virtual void setTabTitle(const QString& title, qint32 windowId) = 0;
    virtual void setStatusText(const QString& text) = 0;
    virtual void setModalLock(bool locked) = 0;

    // The window is closing: count it out and remove its tab.
    virtual void windowClosed(BrowserWindow* window) = 0;

    virtual void showArchive() = 0;
    virtual void startMailProgram() = 0;
    // Refreshes the window menu and pops up "Aktives Fenster" at a screen point.
    virtual void popupActiveWindowMenu(const QPoint& globalPos) = 0;
};
