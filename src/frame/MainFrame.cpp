#include "frame/MainFrame.h"

#include "archive/ArchiveWindow.h"
#include "browser/BrowserWindow.h"
#include "browser/Pictures.h"
#include "browser/model/DropRules.h"
#include "common/Product.h"
#include "common/Twips.h"
#include "frame/BatchOpening.h"
#include "frame/BrowserRegistry.h"
#include "frame/PageSleep.h"
#include "frame/TabBar.h"
#include "history/HistoryWindow.h"
#include "mail/MailLauncher.h"
#include "mail/MailPoller.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"
#include "ui/DesktopNotices.h"
#include "ui/Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabBar>

MainFrame::MainFrame(Prefer& prefs, Setup setup, QWidget* parent)
    : QMainWindow(parent), m_prefs(prefs), m_setup(std::move(setup)) {
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(Product::AppTitle);
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setBackground(palette().brush(QPalette::Dark));
    setCentralWidget(m_mdi);

    m_registry = new BrowserRegistry(m_mdi, this, m_prefs, this);
    connect(m_registry, &BrowserRegistry::windowAdded, this, &MainFrame::onWindowAdded);
    connect(m_registry, &BrowserRegistry::windowShown, this, [this] {
        applyArrangement();
        // The tab bar takes its place with the first window.
        if (m_registry->count() == 1)
            setTabBarPosition(m_tabAlign);
    });
    connect(m_registry, &BrowserRegistry::windowRemoved, this, &MainFrame::onWindowRemoved);
    // The tab strip goes in one go, not a tab per window.
    connect(m_registry, &BrowserRegistry::closingAll, this, [this] { m_tabBar->clear(); });
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        if (auto* browser = qobject_cast<BrowserWindow*>(w)) {
            // A page that was put to sleep comes back before anything else.
            browser->webView()->setLifecycle(Lifecycle::State::Active);
            browser->onActivated();
        }
        showZoom();
        m_registry->sleep().updateLifecycles();
    });

    m_actions = new FrameActions(this, Product::AppTitle, Product::WebsiteUrl);
    connectCommands();
    m_tabBar = new TabBar(this);
    addToolBar(Qt::TopToolBarArea, m_tabBar);
    connect(m_tabBar, &TabBar::tabClicked, this, &MainFrame::onTabClicked);
    connect(m_tabBar, &TabBar::contextMenuRequested, this,
            [this](const QPoint& pos) { menu(FrameActions::TabContextMenu)->popup(pos); });
    m_tabBar->tabs()->installEventFilter(this);
    buildStatusBar();
    m_mdi->viewport()->installEventFilter(this);
    m_mdi->viewport()->setAcceptDrops(true);
    setAcceptDrops(true);
    setTabBarVisible(false);
    connectTools();
    // A site's notification where the desktop has no tray to show it: it
    // stands over the status panels for a while, so the page's own "Fertig"
    // right after it does not wipe it away unseen.
    connect(&DesktopNotices::instance(), &DesktopNotices::shown, this,
            [this](const QString& title, const QString& text) {
                constexpr int ShownMs = 10000;
                if (!QSystemTrayIcon::isSystemTrayAvailable())
                    statusBar()->showMessage(
                        title.isEmpty() ? text : title + QStringLiteral(": ") + text, ShownMs);
            });

    m_statusBarShown = m_prefs.StatusBar > 0;
    m_tabBarWanted = m_prefs.TabStrip != 0;
    m_tabAlign = m_prefs.TabAlign;
    int w = twipsToPx(m_prefs.MdiWidth);
    int h = twipsToPx(m_prefs.MdiHeight);
    if (w < 200 || h < 150) {
        w = twipsToPx(9600);
        h = twipsToPx(7200);
    }
    resize(w, h);
}

MainFrame::~MainFrame() {
    // Browser windows leave the registry through the frame; they must go while
    // the frame is still whole.
    m_unloaded = true;
    m_registry->batches().cancel();
    delete m_archive;
    delete m_historyWindow;
    const QList<BrowserWindow*> windows = m_registry->windows();
    for (BrowserWindow* w : windows)
        delete w;
}

void MainFrame::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    // Panel "status": a picture (the magnifier while mail is searched) and
    // the text.
    m_statusPicture = new QLabel(bar);
    m_statusPicture->setObjectName(QStringLiteral("statusPicture"));
    bar->addWidget(m_statusPicture);
    m_statusText = new QLabel(bar);
    m_statusText->setObjectName(QStringLiteral("status"));
    m_statusText->setTextFormat(Qt::PlainText);
    m_statusText->setMinimumWidth(50);
    m_mailSymbol = new QLabel(bar);
    m_mailSymbol->setObjectName(QStringLiteral("email"));
    m_mailSymbol->setPixmap(mailPicture());
    m_mailSymbol->installEventFilter(this);
    bar->addWidget(m_statusText, 1);
    m_zoomText = new QLabel(bar);
    m_zoomText->setObjectName(QStringLiteral("zoom"));
    m_zoomText->hide();
    m_downloadsText = new QLabel(bar);
    m_downloadsText->setObjectName(QStringLiteral("downloads"));
    m_downloadsText->hide();
    bar->addPermanentWidget(m_zoomText);
    bar->addPermanentWidget(m_downloadsText);
    bar->addPermanentWidget(m_mailSymbol);
    m_mailSymbol->hide();
}

ArchiveWindow* MainFrame::archiveWindow() const {
    return m_archive.data();
}

HistoryWindow* MainFrame::historyWindow() const {
    return m_historyWindow.data();
}

bool MainFrame::isToolWindowOpen(ToolWindow window) const {
    return window == ToolWindow::Archive ? m_archiveOpen : m_historyOpen;
}

void MainFrame::toolWindowShown(ToolWindow window, bool shown) {
    (window == ToolWindow::Archive ? m_archiveOpen : m_historyOpen) = shown;
}

// The frame became the active window: its bars and their menu items show the
// states chosen last.
void MainFrame::onActivated() {
    statusBar()->setVisible(m_statusBarShown);
    action(FrameActions::StatusBar)->setChecked(!statusBar()->isHidden());
    setTabBarVisible(m_registry->count() > 0 && m_tabBarWanted);
    action(FrameActions::TabBar)->setChecked(m_tabBarWanted);
    action(FrameActions::TabBarTop)->setChecked(m_tabAlign == 1);
    action(FrameActions::TabBarBottom)->setChecked(m_tabAlign == 2);
    m_actions->setEnabled({FrameActions::TabBarTop, FrameActions::TabBarBottom}, m_tabBarWanted);
    m_tabBar->tabs()->setFont(TabBar::font(m_prefs.TabFontBold > 0));
    setTabBarPosition(m_tabAlign);
}

void MainFrame::applyBarSettings() {
    setTabBarPosition(m_prefs.TabAlign);
    m_tabBar->update();
    setTabBarVisible(m_prefs.TabStrip != 0);
    statusBar()->raise();
    statusBar()->setVisible(m_prefs.StatusBar > 0);
    action(FrameActions::StatusBar)->setChecked(!statusBar()->isHidden());
    m_tabBar->tabs()->setFont(TabBar::font(m_prefs.TabFontBold > 0));
}

void MainFrame::toggleFullScreen() {
    if (isFullScreen()) {
        setWindowState(m_stateBeforeFullScreen);
        if (!(m_stateBeforeFullScreen & (Qt::WindowMaximized | Qt::WindowMinimized)))
            resize(m_sizeBeforeFullScreen);
        return;
    }
    m_stateBeforeFullScreen = windowState();
    m_sizeBeforeFullScreen = size();
    showFullScreen();
}

void MainFrame::storeFrameState() {
    // On the whole screen the frame keeps the state it will come back to.
    const Qt::WindowStates state = isFullScreen() ? m_stateBeforeFullScreen : windowState();
    const QSize size = isFullScreen() ? m_sizeBeforeFullScreen : this->size();
    const bool minimized = state & Qt::WindowMinimized;
    const bool maximized = state & Qt::WindowMaximized;
    if (!maximized && !minimized) {
        m_prefs.MdiHeight = clampInt16(qint64(pxToTwips(size.height())));
        m_prefs.MdiWidth = clampInt16(qint64(pxToTwips(size.width())));
    }
    m_prefs.MdiState = minimized ? 1 : (maximized ? 2 : 0);
}

void MainFrame::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    emit unloading();
    m_registry->closeForGood();
    if (m_poller)
        m_poller->abort();
    storeFrameState();
    QString error;
    if (!m_prefs.save(&error))
        Dialogs::message(this, QMessageBox::Critical, QStringLiteral("Fehlermeldung"), error);
    // The pages go before the engine shuts down, which takes a few hundred
    // milliseconds with fifty of them: the frame is out of sight first, so
    // the program is gone the moment the user ends it. The tab strip goes in
    // one go, as when all windows are closed.
    hide();
    m_tabBar->clear();
    const QList<BrowserWindow*> windows = m_registry->windows();
    for (BrowserWindow* w : windows)
        delete w;
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (!mayCloseWithDownloads()) {
        event->ignore();
        return;
    }
    // The archive window asks about unsaved changes first; if its save fails
    // the program stays open so nothing is lost.
    if (m_archive && !m_archive->close()) {
        event->ignore();
        return;
    }
    unload();
    event->accept();
}

void MainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The frame counts as activated when it first shows, whether or not the
    // desktop hands it the focus.
    if (!m_shownOnce) {
        m_shownOnce = true;
        onActivated();
    }
}

void MainFrame::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        onActivated();
    QMainWindow::changeEvent(event);
}

void MainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    m_tabBar->fitWidth(m_mdi->width());
    if (BrowserWindow* w = m_registry->activeWindow())
        w->layoutControls();
}

void MainFrame::onWindowAdded(BrowserWindow* window) {
    connect(window, &BrowserWindow::zoomChanged, this, &MainFrame::showZoom);
    connect(window, &BrowserWindow::statusTextChanged, this, &MainFrame::setStatusText);
    connect(window, &BrowserWindow::titleShown, this,
            [this, window](const QString& title) { setTabTitle(title, window->id()); });
    connect(window, &BrowserWindow::pageChanged, this, &MainFrame::updateTab);
    updatePageCommands();
    // A window made ahead of its turn may have its page already.
    const bool came = !window->title().isEmpty() && !window->isBusyShown();
    m_tabBar->addTab(window->id(),
                     came ? TabBar::caption(window->title()) : window->startingAddress());
    m_tabBar->fitWidth(m_mdi->width());
    setTabBarVisible(action(FrameActions::TabBar)->isChecked());
}

void MainFrame::onWindowRemoved(qint32 id) {
    setStatusText(QString());
    updatePageCommands();
    m_tabBar->removeTab(id);
    if (m_registry->count() == 0)
        setTabBarVisible(false);
}

void MainFrame::openDropped(const QMimeData* data) {
    const bool addressBar = m_prefs.Adresszeile != 0;
    const bool toolbar = m_prefs.Toolbar != 0;
    const DropRules::Dropped dropped = DropRules::dropped(data);
    if (!dropped.text.trimmed().isEmpty())
        visitUrl(dropped.text.trimmed(), addressBar, toolbar);
    if (!dropped.file.isEmpty())
        visitUrl(dropped.file, addressBar, toolbar);
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    const bool dropTarget = watched == m_mdi->viewport() || watched == m_tabBar->tabs();
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
        refreshWindowMenu();
        menu(FrameActions::ContextMenu)->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    if (watched == m_mailSymbol && event->type() == QEvent::MouseButtonDblClick) {
        startMailProgram();
        m_mailSymbol->hide();
        if (m_poller)
            m_poller->mailSymbolHidden();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainFrame::setStatusText(const QString& text) {
    m_statusText->setText(text);
}

void MainFrame::setModalLock(bool locked) {
    // A dialog opened from within another one (a file chooser of the settings
    // dialog) keeps the lock until the outer one has closed too, and so does
    // a page that finishes loading behind an open dialog.
    if (!locked && QApplication::activeModalWidget())
        return;
    setAcceptDrops(!locked);
    m_acceptHandOffs = !locked;
    if (!locked) {
        const QStringList pending = std::exchange(m_pendingHandOffs, {});
        for (const QString& address : pending)
            receiveHandOff(address);
    }
}

void MainFrame::receiveHandOff(const QString& address) {
    if (!address.isEmpty()) {
        if (m_acceptHandOffs)
            m_registry->open(OpenRequest::at(address));
        else
            m_pendingHandOffs << address;
    }
    const bool minimized = isMinimized();
    // Back to the state it had before it was minimized: a maximized frame
    // comes back maximized.
    if (minimized) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
    }
    raise();
    activateWindow();
    if (minimized)
        applyArrangement();
}

WebView* MainFrame::createWebView(QWidget* parent) {
    return m_setup.webViewFactory(parent);
}

BrowserWindows& MainFrame::windows() {
    return *m_registry;
}

WindowOpener& MainFrame::windowOpener() {
    return *m_registry;
}

void MainFrame::closeAllWindows() {
    m_registry->closeAllWindows();
}

void MainFrame::addToHistory(const QString& url, const QString& title) {
    m_history.add(url, title, m_prefs.HistoryRows);
}

void MainFrame::showArchive() {
    // A closed archive window is on its way out; each opening reads the
    // archive afresh.
    if (!m_archive || m_archive->isClosed())
        m_archive = new ArchiveWindow(*this);
    // Near the frame's right edge, level with its top.
    const int left = qAbs(frameGeometry().width() - m_archive->frameGeometry().width()) +
                     frameGeometry().left() - twipsToPx(850);
    m_archive->move(left, frameGeometry().top());
    m_archive->show();
    m_archive->raise();
    m_archive->activateWindow();
}

void MainFrame::startMailProgram() {
    if (!MailLauncher::startMailProgram(this, m_prefs))
        showSettings();
}

void MainFrame::restartMailCheck(bool enable) {
    if (!m_poller) {
        m_poller = new MailPoller(m_prefs, programFolder(), this);
        connect(m_poller, &MailPoller::statusText, this, &MainFrame::setStatusText);
        connect(m_poller, &MailPoller::searching, this, [this](bool active) {
            m_statusPicture->setPixmap(active ? lookPicture() : QPixmap());
        });
        connect(m_poller, &MailPoller::mailWaiting, this, [this](const QString& server) {
            m_mailSymbol->setToolTip(MailPoller::mailHint(server));
            m_mailSymbol->show();
        });
    }
    m_poller->restart(enable);
}

void MainFrame::popupActiveWindowMenu(const QPoint& globalPos) {
    refreshWindowMenu();
    menu(FrameActions::ActiveWindowMenu)->popup(globalPos);
}
