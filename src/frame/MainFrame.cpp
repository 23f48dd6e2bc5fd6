#include "frame/MainFrame.h"

#include "app/AppInit.h"
#include "app/Dialogs.h"
#include "app/FrmAbout.h"
#include "archive/FrmBook.h"
#include "browser/BrowserWindow.h"
#include "browser/Pictures.h"
#include "common/MemoryTrim.h"
#include "common/Twips.h"
#include "history/FrmHistory.h"
#include "mail/MailLauncher.h"
#include "mail/MailPoller.h"
#include "prefs/FrmEinstell.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace {
// How often the frame looks which pages nobody can see.
constexpr int LifecycleTickMs = 1000;
} // namespace

MainFrame::MainFrame(WebViewFactory factory, QWidget* parent)
    : QMainWindow(parent), m_factory(std::move(factory)) {
    setObjectName(QStringLiteral("MDIForm1"));
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setBackground(palette().brush(QPalette::Dark));
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        if (auto* browser = qobject_cast<BrowserWindow*>(w)) {
            // A page that was put to sleep comes back before anything else.
            browser->webView()->setLifecycle(Lifecycle::State::Active);
            browser->Form_Activate();
        }
        updateLifecycles();
    });
    clock = [timer = std::make_shared<QElapsedTimer>()] {
        if (!timer->isValid())
            timer->start();
        return timer->elapsed();
    };
    m_lifecycleTimer = new QTimer(this);
    m_lifecycleTimer->setInterval(LifecycleTickMs);
    connect(m_lifecycleTimer, &QTimer::timeout, this, &MainFrame::updateLifecycles);
    m_lifecycleTimer->start();
    m_openTimer = new QTimer(this);
    m_openTimer->setSingleShot(true);
    m_openTimer->setInterval(0);
    connect(m_openTimer, &QTimer::timeout, this, &MainFrame::runQueuedOpening);
    buildMenus();
    buildTabBar();
    buildStatusBar();
    m_mdi->viewport()->installEventFilter(this);
    m_mdi->viewport()->setAcceptDrops(true);
    MDIForm_Load();
}

MainFrame::~MainFrame() {
    // Browser windows leave the registry through the frame; they must go while
    // the frame is still whole.
    m_unloaded = true;
    cancelQueuedOpenings();
    delete m_book;
    delete m_history;
    const QList<BrowserWindow*> windows = m_browser;
    for (BrowserWindow* w : windows)
        delete w;
}

void MainFrame::buildTabBar() {
    m_toolbar1 = new QToolBar(QStringLiteral("Registerzeile"), this);
    m_toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar1->setMovable(false);
    m_toolbar1->setFloatable(false);
    m_toolbar1->toggleViewAction()->setVisible(false);
    m_tabStrip = new QTabBar(m_toolbar1);
    m_tabStrip->setObjectName(QStringLiteral("TabStrip1"));
    m_tabStrip->setExpanding(false);
    m_tabStrip->setElideMode(Qt::ElideRight);
    m_tabStrip->setUsesScrollButtons(true);
    m_tabStrip->setDocumentMode(true);
    m_tabStrip->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tabStrip->setAcceptDrops(true);
    m_tabStrip->installEventFilter(this);
    m_toolbar1->addWidget(m_tabStrip);
    addToolBar(Qt::TopToolBarArea, m_toolbar1);
    connect(m_tabStrip, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index < 0)
            return;
        m_tabStrip->setCurrentIndex(index);
        TabStrip1_Click();
    });
    connect(m_tabStrip, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        menu(QStringLiteral("mn_RegisterDummy"))->popup(m_tabStrip->mapToGlobal(pos));
    });
}

void MainFrame::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    // Panel "status": a picture (the magnifier while mail is searched) and
    // the text.
    m_panelStatusPicture = new QLabel(bar);
    m_panelStatusPicture->setObjectName(QStringLiteral("statusPicture"));
    bar->addWidget(m_panelStatusPicture);
    m_panelStatus = new QLabel(bar);
    m_panelStatus->setObjectName(QStringLiteral("status"));
    m_panelStatus->setTextFormat(Qt::PlainText);
    m_panelStatus->setMinimumWidth(50);
    m_panelEmail = new QLabel(bar);
    m_panelEmail->setObjectName(QStringLiteral("email"));
    m_panelEmail->installEventFilter(this);
    bar->addWidget(m_panelStatus, 1);
    bar->addPermanentWidget(m_panelEmail);
    m_panelEmail->hide();
}

void MainFrame::MDIForm_Load() {
    bPopup = true;
    bPopupBackgrnd = false;
    bIsOpenBook = false;
    bIsOpenHistory = false;
    setAcceptDrops(true);
    while (m_tabStrip->count() > 0)
        m_tabStrip->removeTab(0);
    m_panelEmail->setPixmap(mailPicture());
    if (bTabVisible)
        SetToolbarVisible(action(QStringLiteral("mn_Register"))->isChecked());
    else
        SetToolbarVisible(false);
}

void MainFrame::MDIForm_Activate() {
    if (!hasPrefs())
        return;
    statusBar()->setVisible(StatusBarCurr);
    action(QStringLiteral("mn_Toggle"))->setChecked(!statusBar()->isHidden());
    action(QStringLiteral("mn_ctxtStatus"))->setChecked(!statusBar()->isHidden());
    SetToolbarVisible(!m_browser.isEmpty() && bTabVisible);
    setChecked({QStringLiteral("mn_Register"), QStringLiteral("mn_ctxtRegister"),
                QStringLiteral("mn_ctxtRegisterT")},
               bTabVisible);
    setChecked({QStringLiteral("mn_ctxtRegisterOben"), QStringLiteral("mn_ctxtRegisterObenT"),
                QStringLiteral("mn_RegisterOben")},
               nTabAlign == 1);
    setChecked({QStringLiteral("mn_ctxtRegisterUnten"), QStringLiteral("mn_ctxtRegisterUntenT"),
                QStringLiteral("mn_RegisterUnten")},
               nTabAlign == 2);
    setEnabled({QStringLiteral("mn_RegisterOben"), QStringLiteral("mn_RegisterUnten")},
               bTabVisible);
    m_tabStrip->setFont(SetFontFace(prefs().TabFontBold > 0, QStringLiteral("Verdana")));
    SetToolbarPos(nTabAlign);
}

void MainFrame::storeFrameState() {
    Prefer& p = prefs();
    if (!isMaximized() && !isMinimized()) {
        p.MdiHeight = clampInt16(qint64(pxToTwips(height())));
        p.MdiWidth = clampInt16(qint64(pxToTwips(width())));
    }
    p.MdiState = isMinimized() ? 1 : (isMaximized() ? 2 : 0);
}

void MainFrame::MDIForm_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    cancelQueuedOpenings();
    if (m_poller)
        m_poller->abort();
    if (!IsSecondInstance && hasPrefs()) {
        storeFrameState();
        QString error;
        if (!prefs().save(&error))
            Dialogs::message(this, QMessageBox::Critical, QStringLiteral("Fehlermeldung"), error);
    }
    // The pages go before the engine shuts down.
    const QList<BrowserWindow*> windows = m_browser;
    for (BrowserWindow* w : windows)
        delete w;
}

void MainFrame::closeEvent(QCloseEvent* event) {
    // The archive window asks about unsaved changes first; if its save fails
    // the program stays open so nothing is lost.
    if (m_book && !m_book->close()) {
        event->ignore();
        return;
    }
    MDIForm_Unload();
    event->accept();
}

void MainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The frame counts as activated when it first shows, whether or not the
    // desktop hands it the focus.
    if (!m_shownOnce) {
        m_shownOnce = true;
        MDIForm_Activate();
    }
}

void MainFrame::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        MDIForm_Activate();
    QMainWindow::changeEvent(event);
}

void MainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    TabStripResize();
    if (BrowserWindow* w = activeBrowser())
        w->ControlResize();
}

void MainFrame::openDropped(const QMimeData* data) {
    if (!hasPrefs())
        return;
    const bool adress = prefs().Adresszeile != 0;
    const bool toolbar = prefs().Toolbar != 0;
    // A link dragged from a page or a file manager comes as a list of
    // addresses; a file list opens its first file.
    QString text;
    QString file;
    if (data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) {
                if (file.isEmpty())
                    file = url.toLocalFile();
            } else if (text.isEmpty()) {
                text = url.toString();
            }
        }
    }
    if (text.isEmpty() && file.isEmpty() && data->hasText())
        text = data->text().trimmed();
    if (!text.isEmpty())
        VisitUrl(text, adress, toolbar);
    if (!file.isEmpty())
        VisitUrl(file, adress, toolbar);
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    const bool dropTarget = watched == m_mdi->viewport() || watched == m_tabStrip;
    if (dropTarget && acceptDrops()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData()->hasText() || drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            drop->acceptProposedAction();
            openDropped(drop->mimeData());
            return true;
        }
    }
    if (watched == m_mdi->viewport() && event->type() == QEvent::ContextMenu) {
        auto* ctx = static_cast<QContextMenuEvent*>(event);
        MenuFenster();
        menu(QStringLiteral("mn_ctxt"))->popup(ctx->globalPos());
        return true;
    }
    if (watched == m_panelEmail && event->type() == QEvent::MouseButtonDblClick) {
        StartMail();
        m_panelEmail->hide();
        if (m_poller)
            m_poller->mailSymbolHidden();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainFrame::setStatusText(const QString& text) {
    m_panelStatus->setText(text);
}

void MainFrame::SetModalLock(bool bLock) {
    AppInit::SetModalLock(bLock);
}

void MainFrame::webCommand(int command) {
    BrowserWindow* w = activeBrowser();
    if (!w || !w->webView()->hasDocument())
        return;
    w->webView()->execCommand(static_cast<WebView::Command>(command));
}

void MainFrame::mn_Toggle_Click() {
    SetToolbarVisible(false);
    StatusBarCurr = !StatusBarCurr;
    statusBar()->setVisible(StatusBarCurr);
    setChecked({QStringLiteral("mn_Toggle"), QStringLiteral("mn_ctxtStatus")}, StatusBarCurr);
    SetToolbarVisible(action(QStringLiteral("mn_Register"))->isChecked() && !m_browser.isEmpty());
}

void MainFrame::StartBookmEd() {
    // A closed archive window is on its way out; each opening reads the
    // archive afresh.
    if (!m_book || m_book->isClosed())
        m_book = new FrmBook(this);
    // Near the frame's right edge, level with its top.
    const int left = qAbs(frameGeometry().width() - m_book->frameGeometry().width()) +
                     frameGeometry().left() - twipsToPx(850);
    m_book->move(left, frameGeometry().top());
    m_book->show();
    m_book->raise();
    m_book->activateWindow();
}

void MainFrame::StartMail() {
    if (hasPrefs() && !MailLauncher::startMailProgram(this, prefs()))
        mn_Einstellungen_Click();
}

void MainFrame::mn_send_Click() {
    BrowserWindow* w = activeBrowser();
    if (!w || !w->webView()->hasDocument())
        return;
    MailLauncher::sendLink(w->webView()->locationName(), w->webView()->locationUrl());
}

void MainFrame::restart(bool enable) {
    if (!m_poller) {
        m_poller = new MailPoller(prefs(), AppInit::AppDir, this);
        connect(m_poller, &MailPoller::statusText, this, &MainFrame::setStatusText);
        connect(m_poller, &MailPoller::searching, this, [this](bool active) {
            m_panelStatusPicture->setPixmap(active ? lookPicture() : QPixmap());
        });
        connect(m_poller, &MailPoller::mailWaiting, this, [this](const QString& server) {
            m_panelEmail->setToolTip(MailPoller::mailHint(server));
            m_panelEmail->show();
        });
    }
    m_poller->restart(enable);
}

void MainFrame::mn_Website_Click() {
    VisitUrl(action(QStringLiteral("mn_Website"))->text(), false, false);
}

void MainFrame::mn_IEProp_Click() {
    // The desktop's network and proxy settings, whichever desktop is installed.
    const QList<QStringList> candidates = {
        {QStringLiteral("gnome-control-center"), QStringLiteral("network")},
        {QStringLiteral("systemsettings"), QStringLiteral("kcm_proxy")},
        {QStringLiteral("systemsettings5"), QStringLiteral("proxy")},
        {QStringLiteral("kcmshell5"), QStringLiteral("proxy")},
        {QStringLiteral("xfce4-settings-manager")},
        {QStringLiteral("nm-connection-editor")},
    };
    for (const QStringList& c : candidates) {
        const QString program = QStandardPaths::findExecutable(c.first());
        if (program.isEmpty())
            continue;
        QProcess::startDetached(program, c.mid(1));
        return;
    }
    Dialogs::message(this, QMessageBox::Information, QStringLiteral("Meldung"),
                     QStringLiteral("Auf diesem System ist kein Programm für die Netzwerk- und "
                                    "Proxy-Einstellungen installiert."));
}

FrmBook* MainFrame::bookWindow() const {
    return m_book.data();
}

FrmHistory* MainFrame::historyWindow() const {
    return m_history.data();
}

void MainFrame::mn_Historie_Click() {
    HistoryUrl.clear();
    if (!m_history || m_history->isClosed())
        m_history = new FrmHistory(this);
    m_history->move(m_history->x(), frameGeometry().top() + twipsToPx(650));
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void MainFrame::mn_Korvix_Click() {
    auto* about = new FrmAbout(this);
    about->move(frameGeometry().center() - about->rect().center());
    about->show();
    about->raise();
    about->activateWindow();
}

bool MainFrame::isWindowVisible(BrowserWindow* w) const {
    if (isMinimized() || w->isMinimized() || w->isHidden())
        return false;
    QMdiSubWindow* active = m_mdi->activeSubWindow();
    if (active && active != w && active->isMaximized())
        return false;
    return m_mdi->viewport()->rect().intersects(w->geometry());
}

void MainFrame::updateLifecycles() {
    // Discarding a page takes the engine several milliseconds; after a batch
    // of windows was opened, hundreds may fall due in the same pass. Putting
    // pages to sleep stops after this much time and goes on shortly after,
    // so the frame keeps answering. Waking a page is never put off.
    constexpr qint64 SleepBudgetMs = 20;
    constexpr int CatchUpMs = 100;
    constexpr int TrimPassesAfterDiscard = 3;
    QElapsedTimer spent;
    spent.start();
    bool putOff = false;
    const qint64 now = clock();
    for (BrowserWindow* w : m_browser) {
        const bool visible = isWindowVisible(w);
        if (visible)
            m_hiddenSince.remove(w);
        else if (!m_hiddenSince.contains(w))
            m_hiddenSince.insert(w, now);
        // A page still on its way is left to arrive: the engine itself
        // advises against putting a loading page to sleep, and waking one
        // that was discarded before its first page came is not reliable.
        const WebView* view = w->webView();
        const bool loading = view->isBusy() || !view->hasDocument();
        const bool busy =
            w->isRefreshing() || w->isWalking() || view->isBackgroundBusy() || loading;
        const Lifecycle::State want =
            Lifecycle::wanted(visible, busy, now - m_hiddenSince.value(w, now), lifecyclePolicy);
        if (view->lifecycle() == want)
            continue;
        if (want != Lifecycle::State::Active && spent.elapsed() >= SleepBudgetMs) {
            putOff = true;
            continue;
        }
        w->webView()->setLifecycle(want);
        if (want == Lifecycle::State::Discarded)
            m_trimPasses = TrimPassesAfterDiscard;
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

void MainFrame::mn_Einstellungen_Click() {
    BrowserWindow* active = activeBrowser();
    const qint32 activeId = active ? active->ID : 0;
    FrmEinstell dialog(prefs(), AppInit::AppDir, this);
    Dialogs::runModal([&] { return dialog.exec(); });
    if (dialog.saved()) {
        applySavedSettings();
        if (activeId > 0 && !m_toolbar1->isHidden()) {
            const int tab = tabIndexOf(activeId);
            if (tab >= 0)
                m_tabStrip->setCurrentIndex(tab);
        }
    }
    // The Home and Search buttons show the addresses they go to.
    if (BrowserWindow* w = activeBrowser())
        w->Form_Activate();
}

void MainFrame::applySavedSettings() {
    const Prefer& p = prefs();
    AdressView = p.Adresszeile != 0;
    ToolbarView = p.Toolbar != 0;
    nTabAlign = p.TabAlign;
    StatusBarCurr = p.StatusBar > 0;
    bTabVisible = p.TabStrip != 0;
    setChecked({QStringLiteral("mn_Register"), QStringLiteral("mn_ctxtRegister"),
                QStringLiteral("mn_ctxtRegisterT")},
               bTabVisible);
    AppInit::ApplyBarSettings();
    SetToolbarVisible(bTabVisible && !m_browser.isEmpty());
    restart(p.EnableMailCheck1 || p.EnableMailCheck2 || p.EnableMailCheck3 || p.EnableMailCheck4);
    emit settingsSaved();
}
