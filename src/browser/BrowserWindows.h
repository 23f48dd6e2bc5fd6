#pragma once

#include "shell/WindowOpener.h"

class BrowserWindow;
class PopupPolicy;
class WebView;

// What a browser window may ask of the open windows around it; the frame's
// registry of windows answers.
class BrowserWindows : public WindowOpener {
public:
    // Opens a window on the request's address (none: the start page).
    virtual void openWindow(const OpenRequest& request) = 0;
    // Whether and where a page may open a window.
    virtual PopupPolicy& popups() = 0;
    // A window for the page a page wants to open, if the popup policy
    // admits it; nothing when refused or at the window limit. A private
    // page's window is private too.
    virtual BrowserWindow* openPopupWindow(bool isPrivate) = 0;
    virtual void closeAllWindows() = 0;
    // Opens every link of the page in its own new window.
    virtual void openAllLinks(WebView* view) = 0;
    // Whether any of the window can be seen (not minimized, not behind a
    // maximized window, not outside the view).
    virtual bool isWindowVisible(const BrowserWindow* window) const = 0;
    // The window is closing: it is counted out.
    virtual void windowClosed(BrowserWindow* window) = 0;
    // Brings the window with this number to the front.
    virtual void showWindow(qint32 windowId) = 0;
};
