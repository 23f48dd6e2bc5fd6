#pragma once

#include "browser/model/Lifecycle.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class BrowserRegistry;
class BrowserWindow;
class MemoryWatch;
class QMdiArea;
class QTimer;

// Puts the pages nobody can see to sleep and wakes the ones that can: a
// hidden page is frozen after a while and discarded later, and at once
// while Korvix and its engine take more memory than the budget.
class PageSleep : public QObject {
    Q_OBJECT
public:
    PageSleep(const BrowserRegistry& registry, QMdiArea* area, QObject* parent = nullptr);
    ~PageSleep() override;

    // Pages at work stay awake: auto-refresh, a link walk, sound, a
    // download, and a page still on its way.
    static bool mustStayAwake(const BrowserWindow* w);

    // A new window: its moves and changes of state show or hide its page.
    void watch(BrowserWindow* w);
    // A window that closed.
    void forget(const BrowserWindow* w);

    // Freezes or discards the pages nobody can see and wakes the ones that
    // can; runs every second and whenever the visible windows change.
    void updateLifecycles();
    // The window made active wakes and shows its page right after the frame
    // has answered; the pages it covered go to sleep with a pass shortly
    // after.
    void bring(BrowserWindow* w);
    Lifecycle::Policy& policy() { return m_policy; }
    // Milliseconds on a monotonic clock; tests put their own in.
    qint64 now() const { return m_clock(); }
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    // Bytes the process tree takes now; tests put their own in.
    void setMemoryProbe(std::function<qint64()> probe) { m_memory = std::move(probe); }

    // Whether pages nobody sees may load now: they keep a quarter of the
    // budget free for the ones in sight.
    bool roomForHiddenLoads() const;
    // A page that came to life out of sight counts as hidden from `since`.
    void hiddenSince(const BrowserWindow* w, qint64 since);
    // Discards the page at once.
    void discard(BrowserWindow* w);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void discardOneOverBudget();
    void covering(BrowserWindow* w);
    // Shows or hides the page of `w` as it can be seen or not, and lets
    // the window take part in painting only while no maximized window
    // covers it.
    void showInSight(BrowserWindow* w, bool visible);
    void paintUnlessCovered(BrowserWindow* w);
    bool coveredByMaximized(const BrowserWindow* w) const;
    // Wakes the window brought to the front last if it is still the active
    // one and asleep; whether it did.
    bool wakeBrought();
    bool leavesFront(QObject* watched, QEvent* event) const;
    // Whether `w` can be seen now; if not, since when it cannot.
    bool noteSight(const BrowserWindow* w, qint64 now);

    const BrowserRegistry& m_registry;
    Lifecycle::Policy m_policy;
    std::function<qint64()> m_clock;
    QHash<const BrowserWindow*, qint64> m_hiddenSince;
    QTimer* m_lifecycleTimer = nullptr;
    // A window uncovered, restored or moved into sight shows its page at
    // once, not with the next lifecycle tick.
    QTimer* m_onScreenTimer = nullptr;
    QPointer<BrowserWindow> m_brought;
    // The window the area is making active, from its announcement until
    // the switch is done: the windows it restores on the way stay covered.
    QPointer<BrowserWindow> m_switchingTo;
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
