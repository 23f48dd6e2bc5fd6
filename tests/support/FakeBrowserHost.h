#pragma once

#include "browser/BrowserHost.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"

#include <QHash>
#include <QList>
#include <QMdiArea>
#include <QStringList>
#include <QTemporaryDir>

// A frame for browser windows under test: windows go into an area of their
// own on fake web views, and everything they ask of their frame is kept.
class FakeBrowserHost : public BrowserHost {
public:
    FakeBrowserHost();
    ~FakeBrowserHost() override;

    // A window on the address (empty: the home page), created, shown and
    // navigated as the frame's registry does it.
    BrowserWindow* open(const QString& address = QString());

    QTemporaryDir folder;
    Prefer prefs;
    QMdiArea area;
    QList<BrowserWindow*> windows;
    qint32 lastNumber = 0;

    bool allowPopups = true;
    bool popupsBehind = false;
    bool mayOpen = true;

    QList<OpenRequest> opened;
    QList<std::pair<QString, QString>> visits;
    QHash<qint32, QString> tabTitles;
    QStringList statusTexts;
    int closeAllRequests = 0;
    int allLinksRequests = 0;
    int archiveRequests = 0;
    int mailRequests = 0;

    Prefer& preferences() override { return prefs; }
    WebView* createWebView(QWidget* parent) override;
    bool popupsAllowed() const override { return allowPopups; }
    bool popupsToBack() const override { return popupsBehind; }
    BrowserWindow* openPopupWindow() override;
    void openWindow(const OpenRequest& request) override;
    void closeAllWindows() override { ++closeAllRequests; }
    void openAllLinks(WebView*) override { ++allLinksRequests; }
    void addToHistory(const QString& url, const QString& title) override;
    bool isWindowVisible(const BrowserWindow* window) const override;
    void updateTab() override {}
    void setTabTitle(const QString& title, qint32 windowId) override;
    void setStatusText(const QString& text) override { statusTexts << text; }
    void setModalLock(bool) override {}
    void windowClosed(BrowserWindow* window) override { windows.removeOne(window); }
    void showArchive() override { ++archiveRequests; }
    void startMailProgram() override { ++mailRequests; }
    void popupActiveWindowMenu(const QPoint&) override {}

private:
    BrowserWindow* create(const QString& address);
};
