// The frame's registry of browser windows: creating, numbering, counting and
// closing them.
#include "app/Dialogs.h"
#include "browser/BrowserWindow.h"
#include "browser/model/BrowserRules.h"
#include "browser/model/LinkWalk.h"
#include "frame/MainFrame.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMdiArea>
#include <QPointer>
#include <QTimer>

QString MainFrame::StrKey(qint32 number) {
    return QLatin1Char('[') + QString::number(number) + QLatin1Char(']');
}

BrowserWindow* MainFrame::browserByKey(const QString& key) const {
    for (BrowserWindow* w : m_browser)
        if (StrKey(w->ID) == key)
            return w;
    return nullptr;
}

BrowserWindow* MainFrame::activeBrowser() const {
    return qobject_cast<BrowserWindow*>(m_mdi->activeSubWindow());
}

WebView* MainFrame::createWebView(QWidget* parent) {
    return m_factory(parent);
}

BrowserWindow* MainFrame::CreateBrowser(const QString& sParent) {
    Q_UNUSED(sParent);
    // Let pending window events run once before the new window exists.
    // What the caller asked for is taken before pending events run: a
    // hand-off, a drop or a bookmark handled in between opens its own window
    // through these same fields and clears them afterwards.
    const QString historyUrl = HistoryUrl;
    const bool toolbarView = ToolbarView;
    const bool adressView = AdressView;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (counter >= MaxBrowser) {
        Dialogs::message(this, QMessageBox::Information, QStringLiteral("Meldung"),
                         QStringLiteral("Es sind nur maximal 300 gleichzeitig geöffnete Browser "
                                        "möglich !"));
        return nullptr;
    }
    auto* w = new BrowserWindow(this);
    w->StartingAddress = historyUrl.isEmpty() ? prefs().HomeUrl : historyUrl;
    w->Form_Load();
    w->addressBox()->setEditText(w->StartingAddress);

    w->setBandVisible(BrowserWindow::Band::Toolbar, toolbarView);
    w->setBandVisible(BrowserWindow::Band::Adress, adressView);
    if (!toolbarView && !adressView) {
        w->setBandVisible(BrowserWindow::Band::Anim, false);
        w->setCoolBarVisible(false);
    }

    ++m_nBrowserSeq;
    CreateTab(m_nBrowserSeq, w->StartingAddress);
    m_browser.append(w);
    SetToolbarVisible(action(QStringLiteral("mn_Register"))->isChecked());
    w->ID = m_nBrowserSeq;
    ++counter;

    m_mdi->addSubWindow(w);
    w->show();
    m_mdi->setActiveSubWindow(w);
    applyArrangement();
    return w;
}

void MainFrame::NewBrowser() {
    BrowserWindow* w = CreateBrowser(QStringLiteral("MDI"));
    if (!w)
        return;
    if (!HistoryUrl.isEmpty())
        w->Navigate(BrowserRules::trimQuotes(HistoryUrl));
    else
        w->Navigate(QString());
}

void MainFrame::mn_Browser_Click() {
    if (BrowserWindow* w = CreateBrowser(QStringLiteral("MDI"))) {
        w->Navigate(QString());
        HistoryUrl.clear();
    }
    if (m_browser.size() == 1)
        SetToolbarPos(nTabAlign);
}

void MainFrame::VisitUrl(const QString& sUrl, bool bAdress, bool bToolb, int, int, int, int) {
    if (sUrl.isEmpty())
        return;
    HistoryUrl = sUrl;
    AdressView = bAdress;
    ToolbarView = bToolb;
    mn_Browser_Click();
    HistoryUrl.clear();
    AdressView = prefs().Adresszeile != 0;
    ToolbarView = prefs().Toolbar != 0;
}

void MainFrame::queueOpening(std::function<bool()> step) {
    if (m_unloaded)
        return;
    m_openQueue.append(std::move(step));
    if (!m_openCursor) {
        // The user may go on working while the windows come.
        m_openCursor = true;
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    // While a step runs (it may show a message) the next one waits for it.
    if (!m_openRunning)
        m_openTimer->start();
}

void MainFrame::runQueuedOpening() {
    if (m_openQueue.isEmpty()) {
        cancelQueuedOpenings();
        return;
    }
    const std::function<bool()> step = m_openQueue.takeFirst();
    m_openRunning = true;
    const bool goOn = step();
    m_openRunning = false;
    if (!goOn || m_openQueue.isEmpty())
        cancelQueuedOpenings();
    else
        m_openTimer->start();
}

void MainFrame::cancelQueuedOpenings() {
    m_openQueue.clear();
    m_openTimer->stop();
    if (!m_openCursor)
        return;
    m_openCursor = false;
    QApplication::restoreOverrideCursor();
    emit queuedOpeningsDone();
}

void MainFrame::CloseAllBrowser() {
    cancelQueuedOpenings();
    const QList<BrowserWindow*> windows = m_browser;
    for (BrowserWindow* w : windows)
        w->close();
}

void MainFrame::mn_Alleschließen_Click() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    CloseAllBrowser();
    QApplication::restoreOverrideCursor();
}

void MainFrame::mn_Aktivschließen_Click() {
    if (QMdiSubWindow* w = m_mdi->activeSubWindow())
        w->close();
}

void MainFrame::browserUnloaded(BrowserWindow* window) {
    m_hiddenSince.remove(window);
    --counter;
    setStatusText(QString());
    RemoveTab(window->ID);
}

void MainFrame::AddToHistory(const QString& sUrl, const QString& sTitle) {
    History.add(sUrl, sTitle, prefs().HistoryRows);
}

void MainFrame::OpenAllAnchors(WebView* oBr) {
    if (!oBr || !oBr->hasDocument())
        return;
    const QString base = LinkWalk::baseOf(oBr->locationUrl());
    QPointer<MainFrame> self(this);
    oBr->collectLinks([self, base](const QStringList& raw) {
        if (!self)
            return;
        for (const QString& link : LinkWalk::selectLinks(raw)) {
            const QString url = LinkWalk::absoluteLink(link, base);
            self->queueOpening([self, url] {
                self->HistoryUrl = url;
                self->NewBrowser();
                self->HistoryUrl.clear();
                return true;
            });
        }
    });
}
