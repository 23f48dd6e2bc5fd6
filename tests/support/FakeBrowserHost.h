#pragma once

#include "browser/AddressSuggestions.h"
#include "browser/BrowserHost.h"
#include "browser/BrowserWindows.h"
#include "browser/model/PopupPolicy.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"

#include <QHash>
#include <QList>
#include <QMdiArea>
#include <QStringList>
#include <QTemporaryDir>

class BrowserWindow;

// A frame for browser windows under test: windows go into an area of their
// own on fake web views, and everything they ask of their frame and of the
// open windows is kept. Windows are made and popups decided by the same
// rules as in the frame's registry.
class FakeBrowserHost : public BrowserHost, public BrowserWindows, public AddressSuggestions {
public:
    FakeBrowserHost();
    ~FakeBrowserHost() override;

    // A window on the address (empty: the home page), created, shown and
    // navigated as the frame's registry does it.
    BrowserWindow* open(const QString& address = QString());

    QTemporaryDir folder;
    Prefer prefs;
    QMdiArea area;
    QList<BrowserWindow*> openWindows;
    qint32 lastNumber = 0;
    PopupPolicy popupPolicy;
    bool mayOpen = true;

    QList<OpenRequest> opened;
    QList<std::pair<QString, QString>> visits;
    QHash<qint32, QString> tabTitles;
    QStringList statusTexts;
    int closeAllRequests = 0;
    int allLinksRequests = 0;
    int archiveRequests = 0;
    int mailRequests = 0;
    // What the address box may suggest, and how often it got ready.
    Suggestions::Index suggestionIndex;
    int suggestionsPrepared = 0;
    QList<qint32> shownWindows;

    // BrowserHost.
    Prefer& preferences() override { return prefs; }
    WebView* createWebView(QWidget* parent, bool isPrivate) override;
    BrowserWindows& windows() override { return *this; }
    AddressSuggestions& suggestions() override { return *this; }
    void addToHistory(const QString& url, const QString& title) override;
    void setModalLock(bool) override {}
    void showArchive() override { ++archiveRequests; }
    void startMailProgram() override { ++mailRequests; }
    void popupActiveWindowMenu(const QPoint&) override {}

    // BrowserWindows.
    void visit(const OpenRequest& request) override;
    void queueOpenings(const QList<OpenRequest>&, bool) override {}
    bool mayOpenWindow() const override { return mayOpen; }
    void setNextWindowAddress(const QString&) override {}
    void openWindow(const OpenRequest& request) override;
    PopupPolicy& popups() override { return popupPolicy; }
    BrowserWindow* openPopupWindow(bool isPrivate) override;
    void closeAllWindows() override { ++closeAllRequests; }
    void openAllLinks(WebView*) override { ++allLinksRequests; }
    bool isWindowVisible(const BrowserWindow* window) const override;
    void windowClosed(BrowserWindow* window) override { openWindows.removeOne(window); }
    void showWindow(qint32 windowId) override { shownWindows << windowId; }

    // AddressSuggestions, by the program's own rules.
    void prepare() override { ++suggestionsPrepared; }
    QList<Suggestions::Row> suggest(const QString& typed) override {
        return Suggestions::match(typed, {&suggestionIndex});
    }

private:
    BrowserWindow* create(const QString& address);
};
