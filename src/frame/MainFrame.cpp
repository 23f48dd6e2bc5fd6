#include "frame/MainFrame.h"

#include "browser/BrowserWindow.h"
#include "browser/model/DropRules.h"
#include "common/Product.h"
#include "common/Twips.h"
#include "downloads/DownloadList.h"
#include "frame/BatchOpening.h"
#include "frame/BlockingCommands.h"
#include "frame/BrowserRegistry.h"
#include "frame/ClosedWindows.h"
#include "frame/FormCommands.h"
#include "frame/FrameCommands.h"
#include "frame/FrameStatus.h"
#include "frame/FrameTabs.h"
#include "frame/PageSleep.h"
#include "frame/PrivacyCommands.h"
#include "frame/SuggestionSource.h"
#include "frame/TabBar.h"
#include "frame/ToolWindows.h"
#include "mail/MailPoller.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"
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
#include <QTabBar>
#include <algorithm>

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

    // The parts, each with its widgets.
    m_registry = new BrowserRegistry(m_mdi, this, m_prefs, this);
    m_actions = new FrameActions(this, Product::AppTitle, Product::WebsiteUrl);
    m_tabs = new FrameTabs(this, *m_actions, *m_registry, m_mdi, m_prefs);
    m_status = new FrameStatus(statusBar(), *m_setup.downloads, this);
    m_tools = new ToolWindows({this, &m_prefs, &m_history, m_registry, m_setup.downloads,
                               m_setup.programFolder, m_setup.programFolderReason},
                              this);
    m_closed = new ClosedWindows(this);
    m_suggestions = new SuggestionSource(m_setup.programFolder, m_history, *m_registry, this);
    m_commands = new FrameCommands({this, m_actions, m_registry, m_mdi, &m_prefs, m_tabs, m_status,
                                    m_tools, &m_history, m_closed},
                                   this);
    m_blocking =
        new BlockingCommands({this, m_actions, m_registry, m_status, m_setup.blocker}, this);
    m_privacy = new PrivacyCommands({this, m_actions, m_registry, m_tools, &m_history,
                                     m_setup.downloads, m_setup.programFolder},
                                    this);
    m_forms = new FormCommands({this, m_actions, m_setup.passwords, m_setup.programFolder}, this);

    // How they meet.
    connect(m_registry, &BrowserRegistry::windowAdded, this, &MainFrame::onWindowAdded);
    connect(m_registry, &BrowserRegistry::windowShown, this, [this] {
        m_commands->applyArrangement();
        // The tab strip takes its place with the first window.
        if (m_registry->count() == 1)
            m_tabs->place(m_tabs->align());
    });
    connect(m_registry, &BrowserRegistry::windowRemoved, this, &MainFrame::onWindowRemoved);
    connect(m_registry, &BrowserRegistry::windowClosing, m_closed, &ClosedWindows::remember);
    // What private windows showed goes with the last of them.
    connect(m_registry, &BrowserRegistry::windowRemoved, m_closed, [this] {
        const QList<BrowserWindow*>& open = m_registry->windows();
        if (std::none_of(open.begin(), open.end(),
                         [](const BrowserWindow* w) { return w->isPrivate(); }))
            m_closed->forgetPrivate();
    });
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        // Ending, the area makes one window after another active as they
        // go: their pages must not wake (and load) on the way out.
        if (m_unloaded)
            return;
        if (auto* browser = qobject_cast<BrowserWindow*>(w)) {
            m_registry->sleep().bring(browser);
            browser->onActivated();
        }
        m_commands->showZoom();
        m_commands->updatePageCommands();
    });
    connect(m_commands, &FrameCommands::settingsSaved, this, &MainFrame::onSettingsSaved);
    connect(m_status, &FrameStatus::mailSymbolDoubleClicked, this,
            &MainFrame::mailSymbolDoubleClicked);
    connect(action(FrameActions::FullScreen), &QAction::triggered, this,
            &MainFrame::toggleFullScreen);
    // The history window has something to show from two visits on.
    action(FrameActions::History)->setEnabled(false);

    // Links and files dropped on the frame's background or the tab strip.
    m_tabs->bar()->tabs()->installEventFilter(this);
    m_mdi->viewport()->installEventFilter(this);
    m_mdi->viewport()->setAcceptDrops(true);
    setAcceptDrops(true);

    m_status->setWanted(m_prefs.StatusBar > 0);
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
    m_registry->closeForGood();
    delete m_tools;
    m_tools = nullptr;
    const QList<BrowserWindow*> windows = m_registry->windows();
    for (BrowserWindow* w : windows)
        delete w;
}

// The frame became the active window: its bars and their menu items show the
// states chosen last.
void MainFrame::onActivated() {
    statusBar()->setVisible(m_status->wanted());
    action(FrameActions::StatusBar)->setChecked(!statusBar()->isHidden());
    m_tabs->showChoices();
}

void MainFrame::applyBarSettings() {
    m_tabs->place(m_prefs.TabAlign);
    m_tabs->bar()->update();
    m_tabs->setVisible(m_prefs.TabStrip != 0);
    statusBar()->raise();
    statusBar()->setVisible(m_prefs.StatusBar > 0);
    action(FrameActions::StatusBar)->setChecked(!statusBar()->isHidden());
    m_tabs->bar()->tabs()->setFont(TabBar::font(m_prefs.TabFontBold > 0));
}

void MainFrame::onSettingsSaved() {
    BrowserWindow* active = m_registry->activeWindow();
    m_tabs->takePreferences();
    m_status->setWanted(m_prefs.StatusBar > 0);
    action(FrameActions::TabBar)->setChecked(m_tabs->wanted());
    applyBarSettings();
    m_tabs->setVisible(m_tabs->wanted() && m_registry->count() > 0);
    restartMailCheck(m_prefs.EnableMailCheck1 || m_prefs.EnableMailCheck2 ||
                     m_prefs.EnableMailCheck3 || m_prefs.EnableMailCheck4);
    emit settingsSaved();
    if (active && !m_tabs->bar()->isHidden())
        m_tabs->bar()->select(active->id());
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
    m_tabs->bar()->clear();
    const QList<BrowserWindow*> windows = m_registry->windows();
    for (BrowserWindow* w : windows)
        delete w;
}

void MainFrame::closeWithoutAsking() {
    m_askAboutDownloads = false;
    close();
}

bool MainFrame::mayCloseWithDownloads() {
    if (!m_askAboutDownloads || m_unloaded || m_setup.downloads->active() == 0)
        return true;
    return Dialogs::message(this, QMessageBox::Question, Product::AppTitle,
                            QStringLiteral("Es laufen noch Downloads. Trotzdem beenden?"),
                            QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::No) == QMessageBox::Yes;
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (!mayCloseWithDownloads()) {
        event->ignore();
        return;
    }
    // The archive window asks about unsaved changes first; if its save fails
    // the program stays open so nothing is lost.
    if (!m_tools->closeArchive()) {
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
    m_tabs->bar()->fitWidth(m_mdi->width());
    if (BrowserWindow* w = m_registry->activeWindow())
        w->layoutControls();
}

void MainFrame::onWindowAdded(BrowserWindow* window) {
    connect(window, &BrowserWindow::zoomChanged, m_commands, &FrameCommands::showZoom);
    connect(window, &BrowserWindow::statusTextChanged, m_status, &FrameStatus::setText);
    connect(window->webView(), &WebView::busyChanged, m_commands, [this, window] {
        if (window == m_registry->currentWindow())
            m_commands->updatePageCommands();
    });
    m_commands->updatePageCommands();
    m_tabs->addWindow(window);
}

void MainFrame::onWindowRemoved(qint32 id) {
    m_status->setText(QString());
    m_commands->updatePageCommands();
    m_tabs->removeWindow(id);
}

void MainFrame::openDropped(const QMimeData* data) {
    const bool addressBar = m_prefs.Adresszeile != 0;
    const bool toolbar = m_prefs.Toolbar != 0;
    const DropRules::Dropped dropped = DropRules::dropped(data);
    if (!dropped.text.trimmed().isEmpty())
        m_registry->visit(OpenRequest::withBars(dropped.text.trimmed(), addressBar, toolbar));
    if (!dropped.file.isEmpty())
        m_registry->visit(OpenRequest::withBars(dropped.file, addressBar, toolbar));
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    const bool dropTarget = watched == m_mdi->viewport() || watched == m_tabs->bar()->tabs();
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
        m_commands->refreshWindowMenu();
        menu(FrameActions::ContextMenu)->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
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
        m_commands->applyArrangement();
}

WebView* MainFrame::createWebView(QWidget* parent, bool isPrivate) {
    return m_setup.webViewFactory(parent, isPrivate);
}

BrowserWindows& MainFrame::windows() {
    return *m_registry;
}

void MainFrame::addToHistory(const QString& url, const QString& title) {
    m_history.add(url, title, m_prefs.HistoryRows);
    m_suggestions->visited(url);
    // Ctrl+H reaches the history window as soon as there is one to show.
    action(FrameActions::History)->setEnabled(m_history.count() >= 2);
}

AddressSuggestions& MainFrame::suggestions() {
    return *m_suggestions;
}

void MainFrame::showArchive() {
    m_tools->showArchive();
}

void MainFrame::startMailProgram() {
    m_commands->startMailProgram();
}

void MainFrame::mailSymbolDoubleClicked() {
    startMailProgram();
    if (m_poller)
        m_poller->mailSymbolHidden();
}

void MainFrame::restartMailCheck(bool enable) {
    if (!m_poller) {
        m_poller = new MailPoller(m_prefs, m_setup.programFolder, this);
        connect(m_poller, &MailPoller::statusText, m_status, &FrameStatus::setText);
        connect(m_poller, &MailPoller::searching, m_status, &FrameStatus::showSearching);
        connect(m_poller, &MailPoller::mailWaiting, this, [this](const QString& server) {
            m_status->showMailWaiting(MailPoller::mailHint(server));
        });
    }
    m_poller->restart(enable);
}

void MainFrame::popupActiveWindowMenu(const QPoint& globalPos) {
    m_commands->refreshWindowMenu();
    menu(FrameActions::ActiveWindowMenu)->popup(globalPos);
}
