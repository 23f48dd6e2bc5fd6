// The frame's menu commands and the states their menus show.
#include "browser/BrowserWindow.h"
#include "common/Product.h"
#include "common/Twips.h"
#include "frame/AboutWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "frame/TabBar.h"
#include "frame/WindowLayouts.h"
#include "frame/model/Arrangement.h"
#include "history/HistoryWindow.h"
#include "mail/MailLauncher.h"
#include "prefs/SettingsDialog.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"
#include "ui/Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>

void MainFrame::connectCommands() {
    using A = FrameActions;
    const auto on = [this](A::Command command, auto handler) {
        connect(action(command), &QAction::triggered, this, handler);
    };
    on(A::NewBrowser, [this] { newBrowser(); });
    on(A::SavePage, [this] { pageCommand(WebView::SaveAs); });
    on(A::SendLink, [this] { sendLink(); });
    on(A::Print, [this] { pageCommand(WebView::Print); });
    on(A::PrintPreview, [this] { pageCommand(WebView::PrintPreview); });
    on(A::Exit, [this] { close(); });
    on(A::TabBar, [this] { toggleTabBar(); });
    on(A::TabBarTop, [this] { moveTabBar(1); });
    on(A::TabBarBottom, [this] { moveTabBar(2); });
    on(A::StatusBar, [this] { toggleStatusBar(); });
    on(A::Archive, [this] { showArchive(); });
    on(A::History, [this] { showHistory(); });
    on(A::MailProgram, [this] { startMailProgram(); });
    on(A::Settings, [this] { showSettings(); });
    on(A::InternetSettings, [this] { showInternetSettings(); });
    on(A::TileBelow, [this] { arrangeAndCheck(1, A::TileBelow); });
    on(A::TileSideBySide, [this] { arrangeAndCheck(2, A::TileSideBySide); });
    on(A::Cascade, [this] { arrangeAndCheck(0, A::Cascade); });
    on(A::SaveLayout, [this] { saveLayout(); });
    on(A::LoadLayout, [this] { loadLayout(); });
    on(A::AllowPopups, [this] { setPopupsAllowed(true); });
    on(A::ForbidPopups, [this] { setPopupsAllowed(false); });
    on(A::PopupsToBack, [this] { togglePopupsToBack(); });
    on(A::AddressBar, [this] { toggleBand(true); });
    on(A::Toolbar, [this] { toggleBand(false); });
    on(A::BothBars, [this] { toggleBothBands(); });
    on(A::CloseWindow, [this] { closeActiveWindow(); });
    on(A::CloseAllWindows, [this] { closeAllWithBusyPointer(); });
    on(A::About, [this] { showAbout(); });
    on(A::Website, [this] { visitUrl(action(A::Website)->text(), false, false); });

    connect(menu(A::FileMenu), &QMenu::aboutToShow, this, &MainFrame::refreshFileMenu);
    connect(menu(A::ToolsMenu), &QMenu::aboutToShow, this, &MainFrame::refreshToolsMenu);
    connect(menu(A::WindowMenu), &QMenu::aboutToShow, this, [this] {
        refreshWindowMenu();
        fillWindowList();
    });
    connect(menu(A::ContextMenu), &QMenu::aboutToShow, this, &MainFrame::refreshWindowMenu);
    connect(menu(A::ContextWindowMenu), &QMenu::aboutToShow, this, &MainFrame::refreshWindowMenu);
}

void MainFrame::newBrowser() {
    // The address the history window left is taken by this window.
    if (m_registry->open(OpenRequest()))
        m_registry->setNextAddress(QString());
}

// Opens an address in a new window with the given bars; nothing for none.
void MainFrame::visitUrl(const QString& url, bool addressBar, bool toolbar) {
    m_registry->visit(OpenRequest::withBars(url, addressBar, toolbar));
}

void MainFrame::pageCommand(int command) {
    BrowserWindow* w = m_registry->activeWindow();
    if (w && w->webView()->hasDocument())
        w->webView()->execCommand(static_cast<WebView::Command>(command));
}

void MainFrame::sendLink() {
    BrowserWindow* w = m_registry->activeWindow();
    if (w && w->webView()->hasDocument())
        MailLauncher::sendLink(w->webView()->locationName(), w->webView()->locationUrl());
}

void MainFrame::showHistory() {
    m_registry->setNextAddress(QString());
    if (!m_historyWindow || m_historyWindow->isClosed())
        m_historyWindow = new HistoryWindow(*this);
    m_historyWindow->move(m_historyWindow->x(), frameGeometry().top() + twipsToPx(650));
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

void MainFrame::showSettings() {
    BrowserWindow* active = m_registry->activeWindow();
    const qint32 activeId = active ? active->id() : 0;
    SettingsDialog dialog(*this, this);
    Dialogs::runModal([&] { return dialog.exec(); });
    if (dialog.saved()) {
        m_tabAlign = m_prefs.TabAlign;
        m_statusBarShown = m_prefs.StatusBar > 0;
        m_tabBarWanted = m_prefs.TabStrip != 0;
        action(FrameActions::TabBar)->setChecked(m_tabBarWanted);
        applyBarSettings();
        setTabBarVisible(m_tabBarWanted && m_registry->count() > 0);
        restartMailCheck(m_prefs.EnableMailCheck1 || m_prefs.EnableMailCheck2 ||
                         m_prefs.EnableMailCheck3 || m_prefs.EnableMailCheck4);
        emit settingsSaved();
        if (activeId > 0 && !m_tabBar->isHidden())
            m_tabBar->select(activeId);
    }
    // The Home and Search buttons show the addresses they go to.
    if (BrowserWindow* w = m_registry->activeWindow())
        w->onActivated();
}

void MainFrame::showInternetSettings() {
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

void MainFrame::showAbout() {
    auto* about = new AboutWindow(programFolder(), m_setup.programFolderReason, this);
    about->move(frameGeometry().center() - about->rect().center());
    about->show();
    about->raise();
    about->activateWindow();
}

void MainFrame::saveLayout() {
    const QString name = Dialogs::saveFileName(
        this, QStringLiteral("Anordnung speichern..."), programFolder(),
        QStringLiteral("Fensterlayout-Datei (*.wlt)"), QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WindowLayouts::save(*m_registry, name, this);
    QApplication::restoreOverrideCursor();
}

void MainFrame::loadLayout() {
    const QString name = Dialogs::openFileName(
        this, QStringLiteral("Anordnung laden..."), programFolder(),
        QStringLiteral("Fensterlayout-Datei (*.wlt)"), QFileDialog::Options(), false);
    if (name.isEmpty())
        return;
    closeAllWithBusyPointer();
    WindowLayouts::load(*this, name, this);
}

void MainFrame::closeActiveWindow() {
    if (QMdiSubWindow* w = m_mdi->activeSubWindow())
        w->close();
}

void MainFrame::closeAllWithBusyPointer() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    closeAllWindows();
    QApplication::restoreOverrideCursor();
}

void MainFrame::refreshFileMenu() {
    m_actions->setEnabled({FrameActions::SavePage, FrameActions::Print, FrameActions::PrintPreview,
                           FrameActions::SendLink},
                          m_mdi->activeSubWindow() != nullptr);
}

void MainFrame::refreshToolsMenu() {
    action(FrameActions::History)->setEnabled(m_history.count() >= 2);
}

void MainFrame::refreshWindowMenu() {
    using A = FrameActions;
    const bool popupsAllowed = m_registry->popups().allowed();
    action(A::AllowPopups)->setChecked(popupsAllowed);
    action(A::PopupsToBack)->setEnabled(popupsAllowed);

    // Loaded windows of the program: the frame, its browser windows and the
    // tool windows (archive, history).
    const int loaded = 1 + m_registry->count() + (m_archiveOpen ? 1 : 0) + (m_historyOpen ? 1 : 0);
    const bool onlyToolWindows = (loaded == 2 && (m_archiveOpen || m_historyOpen)) ||
                                 (loaded == 3 && m_archiveOpen && m_historyOpen);

    // A layout can be loaded only while no browser window is active.
    const bool anyActive = m_mdi->activeSubWindow() != nullptr;
    if (!anyActive)
        action(A::SaveLayout)->setEnabled(false);
    action(A::LoadLayout)->setEnabled(!anyActive);
    m_actions->setEnabled({A::SavePage, A::SendLink, A::PrintPreview, A::Print}, anyActive);

    QAction* activeMenu = menu(A::ActiveWindowMenu)->menuAction();
    if (loaded > 1 && !onlyToolWindows) {
        BrowserWindow* active = m_registry->activeWindow();
        action(A::SaveLayout)->setEnabled(!(active && active->isMaximized()));
        if (active) {
            const bool address = active->bandVisible(BrowserWindow::Band::Adress);
            const bool toolbar = active->bandVisible(BrowserWindow::Band::Toolbar);
            action(A::AddressBar)->setChecked(address);
            action(A::Toolbar)->setChecked(toolbar);
            action(A::BothBars)->setVisible(address == toolbar);
            if (address == toolbar)
                action(A::BothBars)->setChecked(address);
        }
        m_actions->setEnabled(
            {A::TileBelow, A::Cascade, A::TileSideBySide, A::CloseAllWindows, A::CloseWindow},
            true);
        activeMenu->setEnabled(true);
    } else {
        m_actions->setEnabled({A::TileBelow, A::Cascade, A::TileSideBySide}, false);
        m_actions->setChecked({A::TileBelow, A::Cascade, A::TileSideBySide}, false);
        m_actions->setEnabled({A::CloseAllWindows, A::CloseWindow}, false);
        activeMenu->setEnabled(false);
    }
}

void MainFrame::fillWindowList() {
    QMenu* windowMenu = menu(FrameActions::WindowMenu);
    for (QAction* a : std::as_const(m_windowListActions)) {
        windowMenu->removeAction(a);
        a->deleteLater();
    }
    m_windowListActions.clear();
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    m_windowListActions.append(windowMenu->addSeparator());
    int n = 0;
    for (QMdiSubWindow* w : windows) {
        ++n;
        const QString title = TabBar::caption(w->windowTitle());
        const QString text = n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title)
                                    : QStringLiteral("%1 %2").arg(n).arg(title);
        QAction* a = windowMenu->addAction(text);
        a->setCheckable(true);
        a->setChecked(w == m_mdi->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_mdi->setActiveSubWindow(w); });
        m_windowListActions.append(a);
    }
}

// Arrangement: 0 cascade, 1 one below the other, 2 side by side.
void MainFrame::arrange(int code) {
    QList<QMdiSubWindow*> visible;
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::CreationOrder))
        if (!w->isMinimized() && !w->isHidden())
            visible.append(w);
    const QRect area = m_mdi->viewport()->rect();
    QList<QRect> rects;
    if (code == 0) {
        // Each step shows the title bar of the window behind.
        QStyleOptionTitleBar option;
        option.initFrom(m_mdi);
        const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, m_mdi);
        rects = Arrangement::cascade(area, int(visible.size()), step);
    } else {
        rects = code == 1 ? Arrangement::oneBelowOther(area, int(visible.size()))
                          : Arrangement::sideBySide(area, int(visible.size()));
    }
    for (int i = 0; i < visible.size(); ++i) {
        if (visible[i]->isMaximized())
            visible[i]->showNormal();
        visible[i]->setGeometry(rects[i]);
        if (code == 0)
            visible[i]->raise();
    }
    if (code == 0 && m_mdi->activeSubWindow())
        m_mdi->activeSubWindow()->raise();
}

void MainFrame::applyArrangement() {
    if (action(FrameActions::TileBelow)->isChecked())
        arrange(1);
    else if (action(FrameActions::Cascade)->isChecked())
        arrange(0);
    else if (action(FrameActions::TileSideBySide)->isChecked())
        arrange(2);
}

void MainFrame::arrangeAndCheck(int code, FrameActions::Command command) {
    arrange(code);
    for (FrameActions::Command c :
         {FrameActions::TileBelow, FrameActions::TileSideBySide, FrameActions::Cascade})
        action(c)->setChecked(c == command);
}

void MainFrame::setPopupsAllowed(bool allowed) {
    action(FrameActions::AllowPopups)->setChecked(allowed);
    action(FrameActions::ForbidPopups)->setChecked(!allowed);
    action(FrameActions::PopupsToBack)->setEnabled(allowed);
    m_registry->popups().setAllowed(allowed);
}

void MainFrame::togglePopupsToBack() {
    // The action toggled itself when it was triggered.
    m_registry->popups().setToBack(action(FrameActions::PopupsToBack)->isChecked());
}

// "Adresszeile" or "Toolbar" of the active window: the band toggles, and the
// whole bar area goes when neither band is left.
void MainFrame::toggleBand(bool addressBand) {
    BrowserWindow* w = m_registry->activeWindow();
    if (!w)
        return;
    const BrowserWindow::Band band =
        addressBand ? BrowserWindow::Band::Adress : BrowserWindow::Band::Toolbar;
    w->setBandVisible(band, !w->bandVisible(band));
    const bool any =
        w->bandVisible(BrowserWindow::Band::Toolbar) || w->bandVisible(BrowserWindow::Band::Adress);
    w->setBandVisible(BrowserWindow::Band::Anim, any);
    w->setCoolBarVisible(any);
    w->relayout();
}

void MainFrame::toggleBothBands() {
    BrowserWindow* w = m_registry->activeWindow();
    if (!w)
        return;
    // The action toggled itself when it was triggered.
    QAction* both = action(FrameActions::BothBars);
    w->setBothBands(both->isChecked());
    both->setVisible(w->bandVisible(BrowserWindow::Band::Toolbar) ==
                     w->bandVisible(BrowserWindow::Band::Adress));
    w->relayout();
}

void MainFrame::toggleStatusBar() {
    setTabBarVisible(false);
    m_statusBarShown = !m_statusBarShown;
    statusBar()->setVisible(m_statusBarShown);
    action(FrameActions::StatusBar)->setChecked(m_statusBarShown);
    setTabBarVisible(action(FrameActions::TabBar)->isChecked() && m_registry->count() > 0);
}
