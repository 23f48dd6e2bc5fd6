#include "frame/BrowserRegistry.h"

#include "browser/BrowserHost.h"
#include "browser/BrowserWindow.h"
#include "browser/model/LinkWalk.h"
#include "common/MemoryTrim.h"
#include "common/TreeMemory.h"
#include "prefs/model/Prefer.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QMdiArea>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace {
// How often the registry looks which pages nobody can see.
constexpr int LifecycleTickMs = 1000;
// Passes that hand freed memory back after a page was discarded.
constexpr int TrimPassesAfterDiscard = 3;
// A page that takes longer than this to come (a server that never answers)
// no longer holds up the others.
constexpr qint64 HeadStartMs = 2000;
// Work per turn of the event loop that keeps the frame answering.
constexpr qint64 TurnBudgetMs = 16;

// Pages at work stay awake: auto-refresh, a link walk, sound, a download.
// A page still on its way is left to arrive too: the engine itself advises
// against putting a loading page to sleep, and waking one that was
// discarded before its first page came is not reliable.
bool mustStayAwake(const BrowserWindow* w) {
    const WebView* view = w->webView();
    return w->isRefreshing() || w->isWalking() || view->isBackgroundBusy() || view->isBusy() ||
           !view->hasDocument();
}
} // namespace

BrowserRegistry::BrowserRegistry(QMdiArea* area, BrowserHost* host, Prefer& prefs, QObject* parent)
    : QObject(parent), m_area(area), m_host(host), m_prefs(prefs) {
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
    connect(m_discardTimer, &QTimer::timeout, this, &BrowserRegistry::discardOneOverBudget);
    m_lifecycleTimer = new QTimer(this);
    m_lifecycleTimer->setInterval(LifecycleTickMs);
    connect(m_lifecycleTimer, &QTimer::timeout, this, &BrowserRegistry::updateLifecycles);
    m_lifecycleTimer->start();
    m_queueTimer = new QTimer(this);
    m_queueTimer->setSingleShot(true);
    m_queueTimer->setInterval(0);
    connect(m_queueTimer, &QTimer::timeout, this, &BrowserRegistry::runQueued);
    // A window uncovered, restored or moved into sight shows its page at
    // once, not with the next lifecycle tick.
    m_onScreenTimer = new QTimer(this);
    m_onScreenTimer->setSingleShot(true);
    m_onScreenTimer->setInterval(0);
    connect(m_onScreenTimer, &QTimer::timeout, this, [this] {
        for (BrowserWindow* w : std::as_const(m_windows))
            w->webView()->setOnScreen(isWindowVisible(w));
    });
    m_area->viewport()->installEventFilter(this);
    m_area->window()->installEventFilter(this);
    m_closedTimer = new QTimer(this);
    m_closedTimer->setSingleShot(true);
    m_closedTimer->setInterval(0);
    connect(m_closedTimer, &QTimer::timeout, this, &BrowserRegistry::deleteClosed);
    m_owedTimer = new QTimer(this);
    m_owedTimer->setSingleShot(true);
    connect(m_owedTimer, &QTimer::timeout, this, &BrowserRegistry::loadOwed);
}

BrowserRegistry::~BrowserRegistry() {
    m_owed.clear();
    cancelQueue();
}

QString BrowserRegistry::windowKey(qint32 number) {
    return QLatin1Char('[') + QString::number(number) + QLatin1Char(']');
}

BrowserWindow* BrowserRegistry::windowByKey(const QString& key) const {
    for (BrowserWindow* w : m_windows)
        if (windowKey(w->id()) == key)
            return w;
    return nullptr;
}

BrowserWindow* BrowserRegistry::activeWindow() const {
    return qobject_cast<BrowserWindow*>(m_area->activeSubWindow());
}

BrowserWindow* BrowserRegistry::currentWindow() const {
    return qobject_cast<BrowserWindow*>(m_area->currentSubWindow());
}

BrowserWindow* BrowserRegistry::create(const OpenRequest& request, Placing placing,
                                       BrowserWindow* built) {
    // Pending window events run once before the new window exists (in a
    // batch, once per turn); what was asked for travels in the request, so
    // nothing they do can change it.
    QPointer<BrowserWindow> early(built);
    if (placing != Placing::InBatch)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!mayOpen()) {
        delete early;
        Dialogs::message(m_area->window(), QMessageBox::Information, QStringLiteral("Meldung"),
                         QStringLiteral("Es sind nur maximal 300 gleichzeitig geöffnete Browser "
                                        "möglich !"));
        return nullptr;
    }
    BrowserWindow* w = early ? early.data() : build(request);
    w->installEventFilter(this);
    w->setId(++m_lastNumber);
    m_windows.append(w);
    emit windowAdded(w);
    m_area->addSubWindow(w);
    showPlaced(w, request, placing);
    // A page that came before its window was shown gave its title to no tab.
    if (early && !w->webView()->isBusy())
        m_host->setTabTitle(w->title(), w->id());
    emit windowShown(w);
    return w;
}

BrowserWindow* BrowserRegistry::build(const OpenRequest& request) {
    auto* w = new BrowserWindow(m_host);
    connect(w->webView(), &WebView::settled, this, &BrowserRegistry::pageSettled);
    QString address = request.address;
    if (address.isEmpty())
        address = m_nextAddress.isEmpty() ? m_prefs.HomeUrl : m_nextAddress;
    w->setStartingAddress(address);
    w->load();
    w->addressBox()->setEditText(w->startingAddress());

    const bool toolbar = request.toolbar.value_or(m_prefs.Toolbar != 0);
    const bool addressBar = request.addressBar.value_or(m_prefs.Adresszeile != 0);
    w->setBandVisible(BrowserWindow::Band::Toolbar, toolbar);
    w->setBandVisible(BrowserWindow::Band::Adress, addressBar);
    if (!toolbar && !addressBar) {
        w->setBandVisible(BrowserWindow::Band::Anim, false);
        w->setCoolBarVisible(false);
    }
    return w;
}

bool BrowserRegistry::topStaysMaximized(const OpenRequest& request, bool maximizedBefore) {
    const int state = request.state.value_or(0);
    return state == 2 || (state == 0 && !request.geometry && maximizedBefore);
}

// A layout file's window gets its recorded place, size and state before it
// shows, so the area lays it out once; a start-up window opens maximized.
// The area keeps only the active window maximized and restores the last one
// whenever another becomes active, and each of those steps goes through
// every window there is. So a batch's windows show in their normal place,
// and the one on top is maximized once the batch stands, if the batch asks
// for that.
void BrowserRegistry::showPlaced(BrowserWindow* w, const OpenRequest& request, Placing placing) {
    const int state = request.state.value_or(0);
    if (request.geometry) {
        w->resize(request.geometry->size());
        w->move(request.geometry->topLeft());
    }
    const bool inBatch = placing != Placing::Alone;
    if (inBatch)
        m_batchMaximized = topStaysMaximized(request, m_batchMaximized);
    if (state == 2 && !inBatch)
        w->showMaximized();
    else
        w->show();
    m_area->setActiveSubWindow(w);
    // The area maximizes a window that becomes active after a maximized one.
    if (state == 1) {
        w->showMinimized();
    } else if (w->isMaximized() && ((state == 0 && request.geometry) || inBatch)) {
        w->showNormal();
        if (request.geometry) {
            w->resize(request.geometry->size());
            w->move(request.geometry->topLeft());
        }
    }
}

BrowserWindow* BrowserRegistry::open(const OpenRequest& request) {
    BrowserWindow* w = openUnloaded(request);
    if (w)
        w->navigate(QString());
    return w;
}

BrowserWindow* BrowserRegistry::openUnloaded(const OpenRequest& request) {
    return create(request, Placing::Alone);
}

BrowserWindow* BrowserRegistry::openOwingItsPage(const Queued& queued, Placing placing) {
    BrowserWindow* w = create(queued.request, placing, queued.early);
    if (!w)
        return nullptr;
    if (w->webView()->hasBegun()) {
        m_visibleLoads.append({w, queued.startedAt});
        return w;
    }
    const QUrl url = QUrl::fromUserInput(w->startingAddress());
    m_owed.append({w, url.scheme() + QLatin1Char(':') + url.host()});
    return w;
}

BrowserWindow* BrowserRegistry::openPopup() {
    return create(OpenRequest(), Placing::Alone);
}

void BrowserRegistry::queue(const QList<OpenRequest>& requests, bool stopAtLimit) {
    if (requests.isEmpty())
        return;
    for (const OpenRequest& r : requests)
        m_queue.append({r, stopAtLimit, nullptr, 0});
    if (!m_busyCursor) {
        // A batch after a maximized window keeps its top window maximized.
        const BrowserWindow* active = activeWindow();
        m_batchMaximized = active && active->isMaximized();
        // A batch that ends with a maximized window shows the user only that
        // one: it is built and its page starts before the others come. It
        // takes its number and place among them when its turn comes.
        bool topMaximized = m_batchMaximized;
        for (const OpenRequest& r : requests)
            topMaximized = topStaysMaximized(r, topMaximized);
        if (topMaximized && count() + requests.size() <= MaxWindows) {
            Queued& top = m_queue.last();
            top.early = build(top.request);
            top.early->navigate(QString());
            top.startedAt = m_clock();
        }
        // The user may go on working while the windows come.
        m_busyCursor = true;
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    // While one opens (it may show a message) the next one waits for it.
    if (!m_running)
        m_queueTimer->start(0);
}

void BrowserRegistry::runQueued() {
    // As many windows per turn of the event loop as fit into one frame's
    // time, so a batch comes fast and the frame still answers between.
    // While the page on top is on its way, the batch takes a short slice and
    // leaves the rest of the frame's time to the engine: it does its work on
    // this thread, one step per turn of the event loop.
    constexpr qint64 TopLoadingSliceMs = 4;
    const Queued* last = m_queue.isEmpty() ? nullptr : &m_queue.last();
    const WebView* top = last && last->early ? last->early->webView() : nullptr;
    const bool topComing =
        top && (top->isBusy() || !top->hasDocument()) && m_clock() - last->startedAt < HeadStartMs;
    const qint64 budget = topComing ? TopLoadingSliceMs : TurnBudgetMs;
    QElapsedTimer turn;
    turn.start();
    QPointer<BrowserRegistry> self(this);
    Placing placing = Placing::FirstInTurn;
    while (!m_queue.isEmpty()) {
        const Queued next = m_queue.takeFirst();
        const bool atLimit = !mayOpen();
        m_running = true;
        openOwingItsPage(next, std::exchange(placing, Placing::InBatch));
        // A message shown while opening runs the event loop: the frame may
        // have closed meanwhile.
        if (!self)
            return;
        m_running = false;
        if (atLimit && next.stopAtLimit)
            break;
        if (turn.elapsed() >= budget && !m_queue.isEmpty()) {
            m_queueTimer->start(int(TurnBudgetMs - budget));
            return;
        }
    }
    // The batch stands: its top window takes the whole area if the batch
    // asked for that, and its pages start loading.
    dropQueued();
    if (BrowserWindow* top = activeWindow(); top && m_batchMaximized)
        top->showMaximized();
    // Its first load on the next turn: each step is a slow one with hundreds
    // of windows.
    m_owedTimer->start(0);
    cancelQueue();
}

bool BrowserRegistry::roomForHiddenLoads() const {
    // Loads of pages nobody sees keep a quarter of the budget free for the
    // ones in sight.
    const qint64 budget = m_policy.memoryBudgetBytes;
    return budget <= 0 || m_memory() < budget / 4 * 3;
}

void BrowserRegistry::loadOwed() {
    // Two cores keep about this many pages busy; more only queue up in the
    // engine and delay the one the user looks at next.
    constexpr int HiddenLoadsAtOnce = 4;
    constexpr int HiddenLoadsShortOfMemory = 2;
    constexpr int PollMs = 20;
    constexpr qint64 StartGraceMs = 250;
    // A page that takes long holds up no other: the page in sight gets a
    // head start, and a hidden one keeps its place among the few for a while.
    constexpr qint64 PlaceKeptMs = 5000;
    if (!m_queue.isEmpty())
        return;
    // A window the user sent somewhere meanwhile owes nothing.
    m_owed.removeIf(
        [](const Owed& o) { return o.window.isNull() || o.window->webView()->hasBegun(); });
    // A load counts from the moment it is asked for; the engine reports its
    // start a little later.
    const qint64 now = m_clock();
    const auto arrived = [now](const FirstLoad& load) {
        const WebView* view = load.window->webView();
        return !view->isBusy() && (view->hasDocument() || now - load.startedAt > StartGraceMs);
    };
    m_firstLoads.removeIf([now](const FirstLoad& load) {
        return load.window.isNull() || now - load.startedAt > PlaceKeptMs;
    });
    m_visibleLoads.removeIf([&](const FirstLoad& load) {
        return load.window.isNull() || arrived(load) || now - load.startedAt > HeadStartMs;
    });
    const bool room = roomForHiddenLoads();
    // A page nobody sees goes to sleep as soon as it has come while memory
    // is short; one per turn, as the engine's discard call is slow.
    bool discarded = false;
    for (qsizetype i = 0; i < m_firstLoads.size();) {
        BrowserWindow* w = m_firstLoads.at(i).window;
        const bool sleepNow = !room && !isWindowVisible(w) && !mustStayAwake(w);
        if (!arrived(m_firstLoads.at(i)) || (sleepNow && discarded)) {
            ++i;
            continue;
        }
        if (sleepNow) {
            w->webView()->setLifecycle(Lifecycle::State::Discarded);
            m_trimPasses = TrimPassesAfterDiscard;
            discarded = true;
        }
        m_firstLoads.removeAt(i);
    }
    // What can be seen loads at once and alone; the rest follow a few at a
    // time, the windows of one site after another so a site's renderer can
    // end once its pages sleep. Short of memory, two at a time go on, so
    // every page comes.
    // Putting a page's view in place takes milliseconds: as many as fit
    // into a frame's time per turn.
    QElapsedTimer turn;
    turn.start();
    bool turnFull = false;
    for (qsizetype i = 0; i < m_owed.size();) {
        BrowserWindow* w = m_owed.at(i).window;
        if (!isWindowVisible(w)) {
            ++i;
            continue;
        }
        if (turn.elapsed() >= TurnBudgetMs) {
            turnFull = true;
            break;
        }
        m_owed.removeAt(i);
        w->navigate(QString());
        m_visibleLoads.append({w, now});
    }
    const int atOnce =
        !m_visibleLoads.isEmpty() ? 0 : (room ? HiddenLoadsAtOnce : HiddenLoadsShortOfMemory);
    while (m_firstLoads.size() < atOnce && !m_owed.isEmpty()) {
        qsizetype pick = 0;
        for (qsizetype i = 0; i < m_owed.size(); ++i) {
            if (m_owed.at(i).site == m_loadingSite) {
                pick = i;
                break;
            }
        }
        const Owed next = m_owed.takeAt(pick);
        m_loadingSite = next.site;
        // Its page is alive from now on: it counts as hidden from here.
        m_hiddenSince.insert(next.window, now);
        next.window->webView()->setOnScreen(false);
        next.window->navigate(QString());
        m_firstLoads.append({next.window, now});
    }
    if (!m_owed.isEmpty() || !m_firstLoads.isEmpty() || !m_visibleLoads.isEmpty())
        m_owedTimer->start(turnFull ? 0 : PollMs);
}

// A page that has come makes way for the next one at once, not with the
// next look.
void BrowserRegistry::pageSettled() {
    if (m_owedTimer->isActive())
        m_owedTimer->start(0);
}

void BrowserRegistry::discardOneOverBudget() {
    // Ticks until a new measurement shows what the discards gave back.
    constexpr int TicksToSettle = 2;
    BrowserWindow* longestHidden = nullptr;
    for (BrowserWindow* w : std::as_const(m_windows)) {
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
    longestHidden->webView()->setLifecycle(Lifecycle::State::Discarded);
    m_trimPasses = TrimPassesAfterDiscard;
    if (--m_discardsDue > 0)
        m_discardTimer->start();
    else
        m_budgetPause = TicksToSettle;
}

void BrowserRegistry::dropQueued() {
    // A window built ahead of its turn goes with its turn.
    for (const Queued& q : std::as_const(m_queue))
        delete q.early.data();
    m_queue.clear();
}

void BrowserRegistry::cancelQueue() {
    dropQueued();
    m_queueTimer->stop();
    if (!m_busyCursor)
        return;
    m_busyCursor = false;
    QApplication::restoreOverrideCursor();
    emit queueFinished();
}

void BrowserRegistry::closeAll() {
    cancelQueue();
    m_owed.clear();
    QList<BrowserWindow*> windows = m_windows;
    // The active window goes last: each time it goes, the area makes
    // another one active (and maximized), which is slow with hundreds.
    if (BrowserWindow* active = activeWindow(); active && windows.removeOne(active))
        windows.append(active);
    for (BrowserWindow* w : windows)
        w->close();
}

void BrowserRegistry::openAllLinks(WebView* view) {
    if (!view || !view->hasDocument())
        return;
    const QString base = LinkWalk::baseOf(view->locationUrl());
    QPointer<BrowserRegistry> self(this);
    view->collectLinks([self, base](const QStringList& raw) {
        if (!self)
            return;
        QList<OpenRequest> requests;
        for (const QString& link : LinkWalk::selectLinks(raw))
            requests.append(OpenRequest::at(LinkWalk::absoluteLink(link, base)));
        self->queue(requests, false);
    });
}

void BrowserRegistry::windowClosed(BrowserWindow* window) {
    m_hiddenSince.remove(window);
    if (!m_windows.removeOne(window))
        return;
    // The engine takes milliseconds to tear a page down. A closed window
    // is out of sight at once and goes a few per turn of the event loop, so
    // closing hundreds of them does not freeze the frame.
    if (window->testAttribute(Qt::WA_DeleteOnClose)) {
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        m_closed.append(window);
        m_closedTimer->start();
    }
    emit windowRemoved(window->id());
}

void BrowserRegistry::deleteClosed() {
    QElapsedTimer turn;
    turn.start();
    while (!m_closed.isEmpty() && turn.elapsed() < TurnBudgetMs)
        delete m_closed.takeFirst().data();
    if (!m_closed.isEmpty())
        m_closedTimer->start();
}

bool BrowserRegistry::isWindowVisible(const BrowserWindow* w) const {
    if (m_area->window()->isMinimized() || w->isMinimized() || w->isHidden())
        return false;
    QMdiSubWindow* active = m_area->activeSubWindow();
    if (active && active != w && active->isMaximized())
        return false;
    return m_area->viewport()->rect().intersects(w->geometry());
}

bool BrowserRegistry::eventFilter(QObject* watched, QEvent* event) {
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

void BrowserRegistry::updateLifecycles() {
    // Discarding a page takes the engine several milliseconds; after a batch
    // of windows was opened, hundreds may fall due in the same pass. Putting
    // pages to sleep stops after this much time and goes on shortly after,
    // so the frame keeps answering. Waking a page is never put off.
    constexpr qint64 SleepBudgetMs = 20;
    constexpr int CatchUpMs = 100;
    QElapsedTimer spent;
    spent.start();
    bool putOff = false;
    const qint64 now = m_clock();
    for (BrowserWindow* w : std::as_const(m_windows)) {
        const bool visible = isWindowVisible(w);
        w->webView()->setOnScreen(visible);
        if (visible)
            m_hiddenSince.remove(w);
        else if (!m_hiddenSince.contains(w))
            m_hiddenSince.insert(w, now);
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
    } else if (m_discardsDue == 0 && !m_windows.isEmpty()) {
        int awake = 0;
        for (const BrowserWindow* w : std::as_const(m_windows))
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
