#pragma once

#include "browser/WebView.h"

#include <QString>

class BrowserWindow;
class Prefer;
class QPoint;

// What a browser window may ask of the frame that holds it.
class BrowserHost {
public:
    virtual ~BrowserHost() = default;

    virtual Prefer& prefs() = 0;
    virtual WebView* createWebView(QWidget* parent) = 0;

    // Popup policy of the window menu.
    virtual bool popupsAllowed() const = 0;
    virtual bool popupsToBack() const = 0;

    virtual BrowserWindow* CreateBrowser(const QString& sParent) = 0;
    virtual void NewBrowser() = 0;
    virtual void CloseAllBrowser() = 0;
    // Opens every link of the page in its own new window.
    virtual void OpenAllAnchors(WebView* oBr) = 0;
    virtual void setHistoryUrl(const QString& url) = 0;
    virtual void AddToHistory(const QString& sUrl, const QString& sTitle) = 0;

    // Whether any of the window can be seen (not minimized, not behind a
    // maximized window, not outside the view).
    virtual bool isWindowVisible(BrowserWindow* w) const = 0;

    virtual void UpdateTab() = 0;
    virtual void SetTapTitle(const QString& sTitle, qint32 nKey) = 0;
    virtual void setStatusText(const QString& text) = 0;
    virtual void SetModalLock(bool bLock) = 0;

    // The window is closing: count it out and remove its tab.
    virtual void browserUnloaded(BrowserWindow* window) = 0;

    virtual void StartBookmEd() = 0;
    virtual void StartMail() = 0;
    // Refreshes the window menu and pops up "Aktives Fenster" at a screen point.
    virtual void popupActiveWindowMenu(const QPoint& globalPos) = 0;
};
