#include "frame/BatchOpening.h"

#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/PageSleep.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>

namespace {
// A page that takes longer than this to come (a server that never answers)
// no longer holds up the others.
constexpr qint64 HeadStartMs = 2000;
// Work per turn of the event loop that keeps the frame answering.
constexpr qint64 TurnBudgetMs = 16;
} // namespace

BatchOpening::BatchOpening(BrowserRegistry& registry, PageSleep& sleep, QObject* parent)
    : QObject(parent), m_registry(registry), m_sleep(sleep) {
    m_queueTimer = new QTimer(this);
    m_queueTimer->setSingleShot(true);
    m_queueTimer->setInterval(0);
    connect(m_queueTimer, &QTimer::timeout, this, &BatchOpening::runQueued);
    m_owedTimer = new QTimer(this);
    m_owedTimer->setSingleShot(true);
    connect(m_owedTimer, &QTimer::timeout, this, &BatchOpening::loadOwed);
}

BatchOpening::~BatchOpening() {
    m_owed.clear();
    cancel();
}

bool BatchOpening::topStaysMaximized(const OpenRequest& request, bool maximizedBefore) {
    const int state = request.state.value_or(0);
    return state == 2 || (state == 0 && !request.geometry && maximizedBefore);
}

void BatchOpening::openOwingItsPage(const Queued& queued, bool firstInTurn) {
    using Placing = BrowserRegistry::Placing;
    BrowserWindow* w = m_registry.add(
        queued.request, firstInTurn ? Placing::FirstInTurn : Placing::InBatch, queued.early);
    if (!w)
        return;
    m_batchMaximized = topStaysMaximized(queued.request, m_batchMaximized);
    if (w->webView()->hasBegun()) {
        m_visibleLoads.append({w, queued.startedAt});
        return;
    }
    const QUrl url = QUrl::fromUserInput(w->startingAddress());
    m_owed.append({w, url.scheme() + QLatin1Char(':') + url.host()});
}

void BatchOpening::queue(const QList<OpenRequest>& requests, bool stopAtLimit) {
    if (requests.isEmpty())
        return;
    for (const OpenRequest& r : requests)
        m_queue.append({r, stopAtLimit, nullptr, 0});
    if (!m_busyCursor) {
        // A batch after a maximized window keeps its top window maximized.
        const BrowserWindow* active = m_registry.activeWindow();
        m_batchMaximized = active && active->isMaximized();
        // A batch that ends with a maximized window shows the user only that
        // one: it is built and its page starts before the others come. It
        // takes its number and place among them when its turn comes.
        bool topMaximized = m_batchMaximized;
        for (const OpenRequest& r : requests)
            topMaximized = topStaysMaximized(r, topMaximized);
        if (topMaximized && m_registry.count() + requests.size() <= BrowserRegistry::MaxWindows) {
            Queued& top = m_queue.last();
            top.early = m_registry.build(top.request);
            top.early->navigate(QString());
            top.startedAt = m_sleep.now();
        }
        // The user may go on working while the windows come.
        m_busyCursor = true;
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    // While one opens (it may show a message) the next one waits for it.
    if (!m_running)
        m_queueTimer->start(0);
}

void BatchOpening::runQueued() {
    // As many windows per turn of the event loop as fit into one frame's
    // time, so a batch comes fast and the frame still answers between.
    // While the page on top is on its way, the batch takes a short slice and
    // leaves the rest of the frame's time to the engine: it does its work on
    // this thread, one step per turn of the event loop.
    constexpr qint64 TopLoadingSliceMs = 4;
    const Queued* last = m_queue.isEmpty() ? nullptr : &m_queue.last();
    const WebView* top = last && last->early ? last->early->webView() : nullptr;
    const bool topComing = top && (top->isBusy() || !top->hasDocument()) &&
                           m_sleep.now() - last->startedAt < HeadStartMs;
    const qint64 budget = topComing ? TopLoadingSliceMs : TurnBudgetMs;
    QElapsedTimer turn;
    turn.start();
    QPointer<BatchOpening> self(this);
    bool firstInTurn = true;
    while (!m_queue.isEmpty()) {
        const Queued next = m_queue.takeFirst();
        const bool atLimit = !m_registry.mayOpen();
        m_running = true;
        openOwingItsPage(next, std::exchange(firstInTurn, false));
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
    if (BrowserWindow* top = m_registry.activeWindow(); top && m_batchMaximized)
        top->showMaximized();
    // Its first load on the next turn: each step is a slow one with hundreds
    // of windows.
    m_owedTimer->start(0);
    cancel();
}

void BatchOpening::loadOwed() {
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
    const qint64 now = m_sleep.now();
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
    const bool room = m_sleep.roomForHiddenLoads();
    // A page nobody sees goes to sleep as soon as it has come, as it would
    // within a minute anyway: the renderer of a site whose pages all came
    // ends, and 300 pages take little more memory than the few on their
    // way. One per turn, as the engine's discard call is slow.
    bool discarded = false;
    for (qsizetype i = 0; i < m_firstLoads.size();) {
        BrowserWindow* w = m_firstLoads.at(i).window;
        const bool sleepNow = !m_registry.isWindowVisible(w) && !PageSleep::mustStayAwake(w);
        if (!arrived(m_firstLoads.at(i)) || (sleepNow && discarded)) {
            ++i;
            continue;
        }
        if (sleepNow) {
            m_sleep.discard(w);
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
        if (!m_registry.isWindowVisible(w)) {
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
        m_sleep.hiddenSince(next.window, now);
        next.window->webView()->setOnScreen(false);
        next.window->navigate(QString());
        m_firstLoads.append({next.window, now});
    }
    if (!m_owed.isEmpty() || !m_firstLoads.isEmpty() || !m_visibleLoads.isEmpty())
        m_owedTimer->start(turnFull ? 0 : PollMs);
}

// A page that has come makes way for the next one at once, not with the
// next look.
void BatchOpening::pageSettled() {
    if (m_owedTimer->isActive())
        m_owedTimer->start(0);
}

void BatchOpening::dropQueued() {
    // A window built ahead of its turn goes with its turn.
    for (const Queued& q : std::as_const(m_queue))
        delete q.early.data();
    m_queue.clear();
}

void BatchOpening::cancel() {
    dropQueued();
    m_queueTimer->stop();
    if (!m_busyCursor)
        return;
    m_busyCursor = false;
    QApplication::restoreOverrideCursor();
    emit finished();
}

void BatchOpening::cancelAll() {
    cancel();
    m_owed.clear();
}
