#include "frame/PageSleep.h"

#include "browser/BrowserWindow.h"
#include "common/MemoryTrim.h"
#include "common/TreeMemory.h"
#include "frame/BrowserRegistry.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QMdiArea>
#include <QTimer>
#include <QWindowStateChangeEvent>
#include <utility>

namespace {
// How often the pages nobody can see are looked at.
constexpr int LifecycleTickMs = 1000;
// Passes that hand freed memory back after a page was discarded.
constexpr int TrimPassesAfterDiscard = 3;
// How soon a pass follows one that ran out of time, or a change of window.
constexpr int CatchUpMs = 100;
} // namespace

PageSleep::PageSleep(const BrowserRegistry& registry, QMdiArea* area, QObject* parent)
    : QObject(parent), m_registry(registry) {
    m_clock = [timer = std::make_shared<QElapsedTimer>()] {
        if (!timer->isValid())
            timer->start();
        return timer->elapsed();
    };
    m_policy.memoryBudgetBytes = Lifecycle::memoryBudgetFromEnvironment();
    // The tree is measured on a thread of its own from the first window on.
    m_memory = [this] {
        if (!m_memoryWatch) {
            m_memoryWatch = std::make_unique<MemoryWatch>();
            m_memoryWatch->start(QThread::LowPriority);
        }
        return m_memoryWatch->lastBytes();
    };
    m_discardTimer = new QTimer(this);
    m_discardTimer->setSingleShot(true);
    m_discardTimer->setInterval(0);
    connect(m_discardTimer, &QTimer::timeout, this, &PageSleep::discardOneOverBudget);
    m_lifecycleTimer = new QTimer(this);
    m_lifecycleTimer->setInterval(LifecycleTickMs);
    connect(m_lifecycleTimer, &QTimer::timeout, this, &PageSleep::updateLifecycles);
    m_lifecycleTimer->start();
    m_onScreenTimer = new QTimer(this);
    m_onScreenTimer->setSingleShot(true);
    m_onScreenTimer->setInterval(0);
    connect(m_onScreenTimer, &QTimer::timeout, this, [this] {
        // The window brought to the front wakes first; its engine view
        // shows in the turn after, so the two costly steps do not hold up
        // the frame together.
        if (wakeBrought()) {
            m_onScreenTimer->start();
            return;
        }
        m_switchingTo.clear();
        for (BrowserWindow* w : m_registry.windows())
            showInSight(w, m_registry.isWindowVisible(w));
    });
    area->viewport()->installEventFilter(this);
    area->window()->installEventFilter(this);
}

PageSleep::~PageSleep() = default;

// A page still on its way is left to arrive too: the engine itself advises
// against putting a loading page to sleep, and waking one that was
// discarded before its first page came is not reliable.
bool PageSleep::mustStayAwake(const BrowserWindow* w) {
    const WebView* view = w->webView();
    return w->isRefreshing() || w->isWalking() || view->isBackgroundBusy() || view->isBusy() ||
           !view->hasDocument();
}

void PageSleep::watch(BrowserWindow* w) {
    w->installEventFilter(this);
    // Connected before the area's own handler, which restores the maximized
    // window and then maximizes the new one over it.
    connect(w, &QMdiSubWindow::aboutToActivate, this, [this, w] { covering(w); });
}

// Restoring a window hides and shows it; a page still shown in it would be
// drawn again in full at its smaller size, only to be covered. It stops
// showing before that. The window coming to the front paints again from
// now on.
void PageSleep::covering(BrowserWindow* w) {
    m_switchingTo = w;
    w->setUpdatesEnabled(true);
    auto* active = qobject_cast<BrowserWindow*>(m_registry.area()->activeSubWindow());
    if (active && active != w && active->isMaximized() &&
        !m_registry.area()->testOption(QMdiArea::DontMaximizeSubWindowOnActivation))
        active->webView()->setOnScreen(false);
}

void PageSleep::forget(const BrowserWindow* w) {
    m_hiddenSince.remove(w);
}

bool PageSleep::roomForHiddenLoads() const {
    const qint64 budget = m_policy.memoryBudgetBytes;
    return budget <= 0 || m_memory() < budget / 4 * 3;
}

void PageSleep::hiddenSince(const BrowserWindow* w, qint64 since) {
    m_hiddenSince.insert(w, since);
}

void PageSleep::discard(BrowserWindow* w) {
    w->webView()->setLifecycle(Lifecycle::State::Discarded);
    m_trimPasses = TrimPassesAfterDiscard;
}

void PageSleep::discardOneOverBudget() {
    // Ticks until a new measurement shows what the discards gave back.
    constexpr int TicksToSettle = 2;
    BrowserWindow* longestHidden = nullptr;
    for (BrowserWindow* w : m_registry.windows()) {
        if (!m_hiddenSince.contains(w) ||
            w->webView()->lifecycle() == Lifecycle::State::Discarded || mustStayAwake(w))
            continue;
        if (!longestHidden || m_hiddenSince.value(w) < m_hiddenSince.value(longestHidden))
            longestHidden = w;
    }
    if (!longestHidden) {
        m_discardsDue = 0;
        return;
    }
    discard(longestHidden);
    if (--m_discardsDue > 0)
        m_discardTimer->start();
    else
        m_budgetPause = TicksToSettle;
}

bool PageSleep::coveredByMaximized(const BrowserWindow* w) const {
    const QMdiSubWindow* active = m_registry.area()->activeSubWindow();
    return active && active != w && active->isMaximized() && !active->isHidden();
}

// When the area passes from one maximized window to another, it holds back
// painting for everything in it and lets it go again, a walk through every
// widget of every window: about ten milliseconds with 300 windows.
// A window that cannot paint by itself is passed by on that walk, and one
// under a maximized window has nothing to paint.
void PageSleep::showInSight(BrowserWindow* w, bool visible) {
    w->webView()->setOnScreen(visible);
    paintUnlessCovered(w);
}

void PageSleep::paintUnlessCovered(BrowserWindow* w) {
    const bool covered = coveredByMaximized(w);
    if (w->testAttribute(Qt::WA_ForceUpdatesDisabled) != covered)
        w->setUpdatesEnabled(!covered);
}

// The maximized window in front goes back to its size, down to its title or
// out of sight, not on the way to another one: what it covered paints again
// before the frame's next paint.
bool PageSleep::leavesFront(QObject* watched, QEvent* event) const {
    auto* w = qobject_cast<BrowserWindow*>(watched);
    if (!w || m_switchingTo || w->testAttribute(Qt::WA_ForceUpdatesDisabled))
        return false;
    if (event->type() == QEvent::Hide)
        return w->isMaximized();
    return event->type() == QEvent::WindowStateChange &&
           (static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMaximized) &&
           !w->isMaximized();
}

bool PageSleep::eventFilter(QObject* watched, QEvent* event) {
    if (leavesFront(watched, event)) {
        for (BrowserWindow* w : m_registry.windows())
            paintUnlessCovered(w);
    }
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowStateChange:
        m_onScreenTimer->start();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool PageSleep::noteSight(const BrowserWindow* w, qint64 now) {
    const bool visible = m_registry.isWindowVisible(w);
    if (visible)
        m_hiddenSince.remove(w);
    else if (!m_hiddenSince.contains(w))
        m_hiddenSince.insert(w, now);
    return visible;
}

bool PageSleep::wakeBrought() {
    BrowserWindow* brought = std::exchange(m_brought, nullptr);
    if (!brought || brought != m_registry.activeWindow() ||
        brought->webView()->lifecycle() == Lifecycle::State::Active)
        return false;
    brought->webView()->setLifecycle(Lifecycle::State::Active);
    return true;
}

void PageSleep::bring(BrowserWindow* w) {
    m_switchingTo.clear();
    const qint64 now = m_clock();
    for (const BrowserWindow* each : m_registry.windows())
        noteSight(each, now);
    // Waking a page and showing its engine view again (which draws its whole
    // picture at its new size) take milliseconds each, in turns of their
    // own. The page wakes ahead of the frame's paint of the switch (a paint
    // waits behind other posted work), so it is on its way meanwhile; its
    // view shows after that paint.
    m_brought = w;
    QMetaObject::invokeMethod(this, &PageSleep::wakeBrought, Qt::QueuedConnection);
    m_onScreenTimer->start();
    if (m_lifecycleTimer->remainingTime() > CatchUpMs)
        m_lifecycleTimer->start(CatchUpMs);
}

void PageSleep::updateLifecycles() {
    // Discarding a page takes the engine several milliseconds; after a batch
    // of windows was opened, hundreds may fall due in the same pass. Putting
    // pages to sleep stops after this much time and goes on shortly after,
    // so the frame keeps answering. Waking a page is never put off.
    constexpr qint64 SleepBudgetMs = 20;
    QElapsedTimer spent;
    spent.start();
    bool putOff = false;
    const qint64 now = m_clock();
    const QList<BrowserWindow*>& windows = m_registry.windows();
    for (BrowserWindow* w : windows) {
        const bool visible = noteSight(w, now);
        showInSight(w, visible);
        const bool busy = mustStayAwake(w);
        const Lifecycle::State want =
            Lifecycle::wanted(visible, busy, now - m_hiddenSince.value(w, now), m_policy);
        const Lifecycle::State state = w->webView()->lifecycle();
        // A hidden page put to sleep over the memory budget sleeps on.
        if (state == want || (!visible && !busy && int(state) > int(want)))
            continue;
        if (want != Lifecycle::State::Active && spent.elapsed() >= SleepBudgetMs) {
            putOff = true;
            continue;
        }
        w->webView()->setLifecycle(want);
        if (want == Lifecycle::State::Discarded)
            m_trimPasses = TrimPassesAfterDiscard;
    }
    // Over the memory budget, pages nobody sees go at once, one per turn of
    // the event loop: the engine's discard call is slow and must not stack up.
    if (m_budgetPause > 0) {
        --m_budgetPause;
    } else if (m_discardsDue == 0 && !windows.isEmpty()) {
        int awake = 0;
        for (const BrowserWindow* w : windows)
            awake += w->webView()->lifecycle() != Lifecycle::State::Discarded ? 1 : 0;
        m_discardsDue = Lifecycle::pagesOverBudget(m_memory(), m_policy.memoryBudgetBytes, awake);
        if (m_discardsDue > 0)
            m_discardTimer->start();
    }
    // A discarded page leaves megabytes of freed memory in this process that
    // the allocator would otherwise keep, some of it only once the engine has
    // finished tearing the page down. Handed back a little at a time it costs
    // a few milliseconds.
    if (m_trimPasses > 0) {
        --m_trimPasses;
        releaseFreedMemory();
    }
    const int interval = putOff ? CatchUpMs : LifecycleTickMs;
    if (m_lifecycleTimer->interval() != interval)
        m_lifecycleTimer->setInterval(interval);
}
