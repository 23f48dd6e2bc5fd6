#pragma once

#include "browser/BrowserWindows.h"
#include "browser/model/PopupPolicy.h"
#include "shell/OpenRequest.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class BatchOpening;
class BrowserHost;
class BrowserWindow;
class PageSleep;
class Prefer;
class QMdiArea;
class QTimer;
class WebView;

// The open browser windows: creating, numbering, counting against the limit
// and closing them, and what windows, tool windows and the start-up ask of
// them (BrowserWindows). Opening many at once is the batch opening's part,
// and putting the pages nobody can see to sleep the page sleep's; both
// belong to the registry.
class BrowserRegistry : public QObject, public BrowserWindows {
    Q_OBJECT
public:
    static constexpr int MaxWindows = 300;

    // Windows go into `area` and ask `host` for what they need.
    BrowserRegistry(QMdiArea* area, BrowserHost* host, Prefer& prefs, QObject* parent = nullptr);
    ~BrowserRegistry() override;

    // "[" + number + "]": names a window in the registry and its tab.
    static QString windowKey(qint32 number);

    const QList<BrowserWindow*>& windows() const { return m_windows; }
    int count() const { return int(m_windows.size()); }
    bool mayOpen() const { return count() < MaxWindows; }
    // The last window number given out; numbers are never used twice.
    qint32 lastNumber() const { return m_lastNumber; }
    BrowserWindow* windowByKey(const QString& key) const;
    BrowserWindow* activeWindow() const;
    // The window the user works in, also while another top-level window
    // (a tool window, the developer tools) has the focus.
    BrowserWindow* currentWindow() const;
    // The host of that window's page, lower case; empty without one.
    QString currentSite() const;
    // The area the windows stand in.
    QMdiArea* area() const { return m_area; }
    BatchOpening& batches() const { return *m_batches; }
    PageSleep& sleep() const { return *m_sleep; }

    // The address a window opened without one starts on, before the home
    // page (set by Enter in the history window).
    QString nextAddress() const { return m_nextAddress; }
    void setNextAddress(const QString& address) { m_nextAddress = address; }

    // Creates, registers and shows one window and opens its address; at the
    // limit the user is told so and nothing opens.
    BrowserWindow* open(const OpenRequest& request);
    // The same, but the window's address is left for the caller to open.
    BrowserWindow* openUnloaded(const OpenRequest& request);
    // The program ends: nothing opens any more.
    void closeForGood();

    // BrowserWindows.
    void visit(const OpenRequest& request) override;
    void queueOpenings(const QList<OpenRequest>& requests, bool stopAtLimit) override;
    bool mayOpenWindow() const override { return mayOpen(); }
    void setNextWindowAddress(const QString& address) override { m_nextAddress = address; }
    void openWindow(const OpenRequest& request) override { open(request); }
    PopupPolicy& popups() override { return m_popups; }
    // Its page comes from the engine, so it is not navigated.
    BrowserWindow* openPopupWindow(bool isPrivate) override;
    void closeAllWindows() override;
    void openAllLinks(WebView* view) override;
    // Not minimized, not behind a maximized window, not outside the area.
    bool isWindowVisible(const BrowserWindow* window) const override;
    void windowClosed(BrowserWindow* window) override;
    void showWindow(qint32 windowId) override;

    // A window on its own, or one of a batch (the first of a turn of the
    // event loop, or one after it).
    enum class Placing { Alone, FirstInTurn, InBatch };
    // A window with its address and bars, not numbered and not shown yet.
    BrowserWindow* build(const OpenRequest& request);
    // Numbers, registers and shows a window; `built` is one made ahead.
    // Nothing at the limit.
    BrowserWindow* add(const OpenRequest& request, Placing placing, BrowserWindow* built = nullptr);

signals:
    // A window has its number and is about to be shown.
    void windowAdded(BrowserWindow* window);
    // Every window is about to close.
    void closingAll();
    // A window the user closed leaves the registry (not when the program
    // ends).
    void windowClosing(BrowserWindow* window);
    // The window is shown and active.
    void windowShown(BrowserWindow* window);
    void windowRemoved(qint32 id);
    // Another window came to the front, or the one in front has a new page:
    // the site in front may have changed.
    void currentPageChanged();

private:
    void showPlaced(BrowserWindow* window, const OpenRequest& request, Placing placing);
    void deleteClosed();

    QMdiArea* m_area;
    BrowserHost* m_host;
    Prefer& m_prefs;
    QList<BrowserWindow*> m_windows;
    qint32 m_lastNumber = 0;
    QString m_nextAddress;
    PopupPolicy m_popups;
    bool m_closedForGood = false;
    PageSleep* m_sleep = nullptr;
    BatchOpening* m_batches = nullptr;
    // Closed windows still to delete.
    QList<QPointer<BrowserWindow>> m_closed;
    QTimer* m_closedTimer = nullptr;
};
