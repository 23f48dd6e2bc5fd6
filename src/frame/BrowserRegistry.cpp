#include "frame/BrowserRegistry.h"

#include "browser/BrowserHost.h"
#include "browser/BrowserWindow.h"
#include "browser/model/LinkWalk.h"
#include "frame/BatchOpening.h"
#include "frame/PageSleep.h"
#include "prefs/model/Prefer.h"
#include "ui/Dialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace {
// Work per turn of the event loop that keeps the frame answering.
constexpr qint64 TurnBudgetMs = 16;
} // namespace

BrowserRegistry::BrowserRegistry(QMdiArea* area, BrowserHost* host, Prefer& prefs, QObject* parent)
    : QObject(parent), m_area(area), m_host(host), m_prefs(prefs) {
    m_sleep = new PageSleep(*this, m_area, this);
    m_batches = new BatchOpening(*this, *m_sleep, this);
    m_closedTimer = new QTimer(this);
    m_closedTimer->setSingleShot(true);
    m_closedTimer->setInterval(0);
    connect(m_closedTimer, &QTimer::timeout, this, &BrowserRegistry::deleteClosed);
    connect(m_area, &QMdiArea::subWindowActivated, this, &BrowserRegistry::currentPageChanged);
}

BrowserRegistry::~BrowserRegistry() {
    // The batch's windows made ahead go before the registry does.
    delete m_batches;
    m_batches = nullptr;
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

QString BrowserRegistry::currentSite() const {
    const BrowserWindow* w = currentWindow();
    return w ? QUrl(w->webView()->locationUrl()).host().toLower() : QString();
}

BrowserWindow* BrowserRegistry::add(const OpenRequest& request, Placing placing,
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
    m_sleep->watch(w);
    w->setId(++m_lastNumber);
    m_windows.append(w);
    connect(w->webView(), &WebView::navigateComplete, this, [this, w] {
        if (w == currentWindow())
            emit currentPageChanged();
    });
    emit windowAdded(w);
    m_area->addSubWindow(w);
    showPlaced(w, request, placing);
    emit windowShown(w);
    return w;
}

BrowserWindow* BrowserRegistry::build(const OpenRequest& request) {
    OpenRequest started = request;
    started.address = request.startAddress(m_nextAddress, m_prefs.HomeUrl);
    auto* w = new BrowserWindow(m_host, started);
    m_popups.windowOpened();
    connect(w->webView(), &WebView::settled, m_batches, &BatchOpening::pageSettled);
    return w;
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
    return add(request, Placing::Alone);
}

void BrowserRegistry::closeForGood() {
    m_closedForGood = true;
    m_batches->cancel();
}

void BrowserRegistry::visit(const OpenRequest& request) {
    if (request.visitsSomething())
        open(request);
}

void BrowserRegistry::queueOpenings(const QList<OpenRequest>& requests, bool stopAtLimit) {
    if (!m_closedForGood)
        m_batches->queue(requests, stopAtLimit);
}

BrowserWindow* BrowserRegistry::openPopupWindow(bool isPrivate) {
    if (!m_popups.admit())
        return nullptr;
    OpenRequest request;
    request.isPrivate = isPrivate;
    return add(request, Placing::Alone);
}

void BrowserRegistry::closeAllWindows() {
    emit closingAll();
    m_batches->cancelAll();
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
    // The links of a private page open in private windows.
    bool isPrivate = false;
    for (const BrowserWindow* w : std::as_const(m_windows))
        if (w->webView() == view)
            isPrivate = w->isPrivate();
    QPointer<BrowserRegistry> self(this);
    view->collectLinks([self, base, isPrivate](const QStringList& raw) {
        if (!self)
            return;
        QList<OpenRequest> requests;
        for (const QString& link : LinkWalk::selectLinks(raw)) {
            requests.append(OpenRequest::at(LinkWalk::absoluteLink(link, base)));
            requests.last().isPrivate = isPrivate;
        }
        self->m_batches->queue(requests, false);
    });
}

void BrowserRegistry::windowClosed(BrowserWindow* window) {
    m_sleep->forget(window);
    if (!m_windows.contains(window))
        return;
    if (!m_closedForGood)
        emit windowClosing(window);
    m_windows.removeOne(window);
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

void BrowserRegistry::showWindow(qint32 windowId) {
    BrowserWindow* w = windowByKey(windowKey(windowId));
    if (!w)
        return;
    if (w->isMinimized())
        w->showNormal();
    m_area->setActiveSubWindow(w);
    w->raise();
}

bool BrowserRegistry::isWindowVisible(const BrowserWindow* w) const {
    if (m_area->window()->isMinimized() || w->isMinimized() || w->isHidden())
        return false;
    QMdiSubWindow* active = m_area->activeSubWindow();
    if (active && active != w && active->isMaximized())
        return false;
    return m_area->viewport()->rect().intersects(w->geometry());
}
