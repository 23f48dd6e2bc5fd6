#pragma once

#include "browser/model/Lifecycle.h"
#include "shell/OpenRequest.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class BrowserHost;
class BrowserWindow;
class MemoryWatch;
class Prefer;
class QMdiArea;
class QTimer;
class WebView;

// The open browser windows: creating, numbering, counting against the limit
// and closing them, opening many of them a few at a time, and putting the
// pages nobody can see to sleep.
class BrowserRegistry : public QObject {
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

    // The address a window opened without one starts on, before the home
    // page (set by Enter in the history window).
    QString nextAddress() const { return m_nextAddress; }
    void setNextAddress(const QString& address) { m_nextAddress = address; }

    // Creates, registers and shows one window and opens its address; at the
    // limit the user is told so and nothing opens.
    BrowserWindow* open(const OpenRequest& request);
    // The same, but the window's address is left for the caller to open.
    BrowserWindow* openUnloaded(const OpenRequest& request);
    // A window for a page's new-window request: its page comes from the
    // engine, so it is not navigated.
    BrowserWindow* openPopup();
    // Opens one window per request, as many per turn of the event loop as
    // fit into a frame's time, so the frame keeps answering. The pages load
    // once the windows stand: the ones in sight at once, the others a few at
    // a time, site by site, while the memory budget allows. With
    // stopAtLimit, the request that meets the limit is the last.
    void queue(const QList<OpenRequest>& requests, bool stopAtLimit);
    int queued() const { return int(m_queue.size()); }
    // Windows of a batch whose first page has not started loading yet.
    int waitingToLoad() const { return int(m_owed.size()); }
    // Drops what is still queued.
    void cancelQueue();
    void closeAll();
    // Opens every link of the page, each in a window of its own.
    void openAllLinks(WebView* view);
    // A window is closing: it leaves the registry.
    void windowClosed(BrowserWindow* window);

    // Whether any of the window can be seen: not minimized, not behind a
    // maximized window, not outside the area.
    bool isWindowVisible(const BrowserWindow* window) const;
    // Freezes or discards the pages nobody can see and wakes the ones that
    // can; runs every second and whenever the visible windows change.
    void updateLifecycles();
    Lifecycle::Policy& lifecyclePolicy() { return m_policy; }
    // Milliseconds on a monotonic clock; tests put their own in.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    // Bytes the process tree takes now; tests put their own in.
    void setMemoryProbe(std::function<qint64()> probe) { m_memory = std::move(probe); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A window has its number and is about to be shown.
    void windowAdded(BrowserWindow* window);
    // The window is shown and active.
    void windowShown(BrowserWindow* window);
    void windowRemoved(qint32 id);
    // The last queued window came, or the rest were dropped.
    void queueFinished();

private:
    // A window on its own, or one of a batch (the first of a turn of the
    // event loop, or one after it).
    enum class Placing { Alone, FirstInTurn, InBatch };
    struct Queued {
        OpenRequest request;
        bool stopAtLimit = false;
        // The batch's top window, built and loading ahead of its turn.
        QPointer<BrowserWindow> early;
        qint64 startedAt = 0;
    };
    // Numbers, registers and shows a window; `built` is one made ahead.
    BrowserWindow* create(const OpenRequest& request, Placing placing,
                          BrowserWindow* built = nullptr);
    // A window with its address and bars, not numbered and not shown yet.
    BrowserWindow* build(const OpenRequest& request);
    // Whether a batch's top window ends maximized after this request.
    static bool topStaysMaximized(const OpenRequest& request, bool maximizedBefore);
    void dropQueued();
    void showPlaced(BrowserWindow* window, const OpenRequest& request, Placing placing);
    void runQueued();
    // Creates and places a batch window; its page loads when its turn comes.
    BrowserWindow* openOwingItsPage(const Queued& queued, Placing placing);
    void loadOwed();
    void pageSettled();
    bool roomForHiddenLoads() const;
    void discardOneOverBudget();
    void deleteClosed();

    QMdiArea* m_area;
    BrowserHost* m_host;
    Prefer& m_prefs;
    QList<BrowserWindow*> m_windows;
    qint32 m_lastNumber = 0;
    QString m_nextAddress;

    QList<Queued> m_queue;
    QTimer* m_queueTimer = nullptr;
    bool m_busyCursor = false;
    bool m_running = false;
    // The window on top ends maximized when the batch stands.
    bool m_batchMaximized = false;
    // Batch windows still owed their first page, in the order they came,
    // and the hidden ones whose first page is on its way.
    struct Owed {
        QPointer<BrowserWindow> window;
        QString site;
    };
    QList<Owed> m_owed;
    struct FirstLoad {
        QPointer<BrowserWindow> window;
        qint64 startedAt = 0;
    };
    QList<FirstLoad> m_firstLoads;
    QList<FirstLoad> m_visibleLoads;
    QString m_loadingSite;
    QTimer* m_owedTimer = nullptr;
    QTimer* m_onScreenTimer = nullptr;
    // Closed windows still to delete.
    QList<QPointer<BrowserWindow>> m_closed;
    QTimer* m_closedTimer = nullptr;

    Lifecycle::Policy m_policy;
    std::function<qint64()> m_clock;
    QHash<const BrowserWindow*, qint64> m_hiddenSince;
    QTimer* m_lifecycleTimer = nullptr;
    std::function<qint64()> m_memory;
    std::unique_ptr<MemoryWatch> m_memoryWatch;
    // Pages still to discard, one per turn of the event loop, and the
    // ticks to wait until the memory they held shows as freed.
    int m_discardsDue = 0;
    int m_budgetPause = 0;
    QTimer* m_discardTimer = nullptr;
    // Passes of updateLifecycles that still hand freed memory back.
    int m_trimPasses = 0;
};
