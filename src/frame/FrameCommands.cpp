#include "frame/FrameCommands.h"

#include "archive/PageBookmark.h"
#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "browser/model/PopupPolicy.h"
#include "frame/BrowserRegistry.h"
#include "frame/ClosedWindows.h"
#include "frame/FrameStatus.h"
#include "frame/FrameTabs.h"
#include "frame/TabBar.h"
#include "frame/ToolWindows.h"
#include "frame/WindowLayouts.h"
#include "frame/model/Arrangement.h"
#include "history/model/HistoryList.h"
#include "mail/MailLauncher.h"
#include "prefs/SettingsDialog.h"
#include "prefs/model/KorvixSettings.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"
#include "ui/Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOption>

FrameCommands::FrameCommands(Parts parts, QObject* parent)
    : QObject(parent), m_parts(std::move(parts)) {
    connectMenus();
    connectPageTools();
    connectBrowserKeys();
}

void FrameCommands::connectMenus() {
    using A = FrameActions;
    const auto on = [this](A::Command command, auto handler) {
        connect(action(command), &QAction::triggered, this, handler);
    };
    on(A::NewBrowser, [this] { newBrowser(); });
    on(A::SavePage, [this] { pageCommand(WebView::SaveAs); });
    on(A::SendLink, [this] { sendLink(); });
    on(A::Print, [this] { pageCommand(WebView::Print); });
    on(A::PrintPreview, [this] { pageCommand(WebView::PrintPreview); });
    on(A::Exit, [this] { m_parts.frame->close(); });
    on(A::StatusBar, [this] { toggleStatusBar(); });
    on(A::Archive, [this] { m_parts.tools->showArchive(); });
    on(A::History, [this] { m_parts.tools->showHistory(); });
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
    on(A::About, [this] { m_parts.tools->showAbout(); });
    on(A::Website, [this] { visitUrl(action(A::Website)->text(), false, false); });

    FrameActions& actions = *m_parts.actions;
    connect(actions.menu(A::FileMenu), &QMenu::aboutToShow, this, &FrameCommands::refreshFileMenu);
    connect(actions.menu(A::ToolsMenu), &QMenu::aboutToShow, this,
            &FrameCommands::refreshToolsMenu);
    connect(actions.menu(A::WindowMenu), &QMenu::aboutToShow, this, [this] {
        refreshWindowMenu();
        fillWindowList();
    });
    connect(actions.menu(A::ContextMenu), &QMenu::aboutToShow, this,
            &FrameCommands::refreshWindowMenu);
    connect(actions.menu(A::ContextWindowMenu), &QMenu::aboutToShow, this,
            &FrameCommands::refreshWindowMenu);
}

// Find, zoom, page tools and downloads: what current browsers offer besides.
void FrameCommands::connectPageTools() {
    using A = FrameActions;
    const auto onCurrent = [this](A::Command command, auto handler) {
        connect(action(command), &QAction::triggered, this, [this, handler] {
            if (BrowserWindow* w = m_parts.registry->currentWindow())
                handler(w);
        });
    };
    onCurrent(A::FindInPage, [](BrowserWindow* w) { w->openFindBar(); });
    onCurrent(A::ZoomIn, [](BrowserWindow* w) { w->zoomBy(1); });
    onCurrent(A::ZoomOut, [](BrowserWindow* w) { w->zoomBy(-1); });
    onCurrent(A::ZoomReset, [](BrowserWindow* w) { w->resetZoom(); });
    onCurrent(A::ViewSource,
              [](BrowserWindow* w) { w->runPageTool(WebView::PageTool::ViewSource); });
    onCurrent(A::DevTools, [](BrowserWindow* w) { w->runPageTool(WebView::PageTool::DevTools); });
    onCurrent(A::SavePdf, [](BrowserWindow* w) { w->runPageTool(WebView::PageTool::SavePdf); });
    connect(action(A::Downloads), &QAction::triggered, this,
            [this] { m_parts.tools->showDownloads(); });
    // The shortcuts work wherever the focus is in the frame.
    for (A::Command c : {A::FindInPage, A::ZoomIn, A::ZoomOut, A::ZoomReset, A::Downloads,
                         A::ViewSource, A::DevTools, A::FullScreen})
        m_parts.frame->addAction(action(c));
    updatePageCommands();
}

void FrameCommands::updatePageCommands() {
    using A = FrameActions;
    const bool any = m_parts.registry->count() > 0;
    m_parts.actions->setEnabled({A::FindInPage, A::ZoomIn, A::ZoomOut, A::ZoomReset, A::ViewSource,
                                 A::DevTools, A::SavePdf, A::FocusAddress, A::GoBack, A::GoForward,
                                 A::Reload, A::ReloadBypassingCache, A::GoHome, A::NextWindow,
                                 A::PreviousWindow, A::BookmarkPage},
                                any);
    // The keys of the file menu work as soon as a window is there.
    m_parts.actions->setEnabled({A::SavePage, A::Print, A::PrintPreview, A::SendLink},
                                m_parts.area->activeSubWindow() != nullptr);
    // Esc belongs to the page unless its load can be stopped.
    BrowserWindow* current = m_parts.registry->currentWindow();
    action(A::StopLoading)->setEnabled(current && current->webView()->isBusy());
}

// The keys every browser on Linux shares, on the current window.
void FrameCommands::connectBrowserKeys() {
    using A = FrameActions;
    const auto onCurrent = [this](A::Command command, auto handler) {
        connect(action(command), &QAction::triggered, this, [this, handler] {
            if (BrowserWindow* w = m_parts.registry->currentWindow())
                handler(w);
        });
    };
    onCurrent(A::FocusAddress, [](BrowserWindow* w) { w->focusAddressBox(); });
    onCurrent(A::GoBack, [](BrowserWindow* w) { w->goBack(); });
    onCurrent(A::GoForward, [](BrowserWindow* w) { w->goForward(); });
    onCurrent(A::Reload, [](BrowserWindow* w) { w->reload(false); });
    onCurrent(A::ReloadBypassingCache, [](BrowserWindow* w) { w->reload(true); });
    onCurrent(A::StopLoading, [](BrowserWindow* w) { w->stopLoading(); });
    onCurrent(A::GoHome, [](BrowserWindow* w) { w->goHome(); });
    connect(action(A::ReopenClosed), &QAction::triggered, this, [this] { reopenClosed(0); });
    connect(action(A::NewPrivateWindow), &QAction::triggered, this, [this] {
        OpenRequest request;
        request.isPrivate = true;
        m_parts.registry->open(request);
    });
    connect(action(A::NextWindow), &QAction::triggered, this, [this] { switchWindow(1); });
    connect(action(A::PreviousWindow), &QAction::triggered, this, [this] { switchWindow(-1); });
    connect(action(A::BookmarkPage), &QAction::triggered, this, &FrameCommands::bookmarkPage);
    // As Korvix.ini keeps it; a change is kept there.
    const bool prefetch = KorvixSettings(m_parts.tools->programFolder()).prefetchLinks();
    action(A::PrefetchLinks)->setChecked(prefetch);
    EngineProfile::setPrefetchLinks(prefetch);
    connect(action(A::PrefetchLinks), &QAction::toggled, this, &FrameCommands::setPrefetchLinks);
    connect(m_parts.actions->menu(A::ClosedWindowsMenu), &QMenu::aboutToShow, this,
            &FrameCommands::fillClosedWindowsMenu);
    const auto refreshReopen = [this] {
        const bool any = !m_parts.closed->entries().isEmpty();
        action(FrameActions::ReopenClosed)->setEnabled(any);
        m_parts.actions->menu(FrameActions::ClosedWindowsMenu)->setEnabled(any);
    };
    connect(m_parts.closed, &ClosedWindows::changed, this, refreshReopen);
    refreshReopen();
    for (A::Command c : {A::FocusAddress, A::GoBack, A::GoForward, A::Reload,
                         A::ReloadBypassingCache, A::StopLoading, A::GoHome, A::ReopenClosed,
                         A::NewPrivateWindow, A::NextWindow, A::PreviousWindow, A::BookmarkPage})
        m_parts.frame->addAction(action(c));
    // Ctrl+1 ... Ctrl+9 bring a window of the tab strip to the front.
    for (int n = 1; n <= 9; ++n) {
        auto* number = new QAction(this);
        number->setObjectName(QStringLiteral("window%1").arg(n));
        number->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + n)));
        connect(number, &QAction::triggered, this, [this, n] { showWindowNumber(n); });
        m_parts.frame->addAction(number);
    }
}

void FrameCommands::reopenClosed(int index) {
    if (index < 0 || index >= m_parts.closed->entries().size() || !m_parts.registry->mayOpen())
        return;
    m_parts.registry->open(m_parts.closed->take(index).request);
}

void FrameCommands::fillClosedWindowsMenu() {
    QMenu* menu = m_parts.actions->menu(FrameActions::ClosedWindowsMenu);
    menu->clear();
    const QList<ClosedWindows::Entry>& entries = m_parts.closed->entries();
    for (int i = 0; i < entries.size(); ++i) {
        QAction* a = menu->addAction(TabBar::caption(entries.at(i).title));
        a->setToolTip(entries.at(i).request.address);
        connect(a, &QAction::triggered, this, [this, i] { reopenClosed(i); });
    }
}

void FrameCommands::switchWindow(int step) {
    const QList<BrowserWindow*>& windows = m_parts.registry->windows();
    if (windows.isEmpty())
        return;
    const qsizetype at = windows.indexOf(m_parts.registry->activeWindow());
    const qsizetype count = windows.size();
    const qsizetype next = at < 0 ? 0 : ((at + step) % count + count) % count;
    m_parts.registry->showWindow(windows.at(next)->id());
}

void FrameCommands::showWindowNumber(int n) {
    const QList<BrowserWindow*>& windows = m_parts.registry->windows();
    if (windows.isEmpty())
        return;
    const qsizetype index = n == 9 ? windows.size() - 1 : n - 1;
    if (index < windows.size())
        m_parts.registry->showWindow(windows.at(index)->id());
}

void FrameCommands::bookmarkPage() {
    BrowserWindow* w = m_parts.registry->currentWindow();
    if (!w || !w->webView()->hasDocument())
        return;
    PageBookmark::add(*m_parts.tools, m_parts.tools->archive(), w->title(),
                      w->webView()->locationUrl(), m_parts.frame);
}

void FrameCommands::setPrefetchLinks(bool on) {
    KorvixSettings(m_parts.tools->programFolder()).setPrefetchLinks(on);
    EngineProfile::setPrefetchLinks(on);
}

void FrameCommands::showZoom() {
    BrowserWindow* w = m_parts.registry->currentWindow();
    m_parts.status->showZoom(w ? w->zoom() : 1.0);
}

void FrameCommands::newBrowser() {
    // The address the history window left is taken by this window.
    if (m_parts.registry->open(OpenRequest()))
        m_parts.registry->setNextAddress(QString());
}

// Opens an address in a new window with the given bars; nothing for none.
void FrameCommands::visitUrl(const QString& url, bool addressBar, bool toolbar) {
    m_parts.registry->visit(OpenRequest::withBars(url, addressBar, toolbar));
}

void FrameCommands::pageCommand(int command) {
    BrowserWindow* w = m_parts.registry->activeWindow();
    if (w && w->webView()->hasDocument())
        w->webView()->execCommand(static_cast<WebView::Command>(command));
}

void FrameCommands::sendLink() {
    BrowserWindow* w = m_parts.registry->activeWindow();
    if (w && w->webView()->hasDocument())
        MailLauncher::sendLink(w->webView()->locationName(), w->webView()->locationUrl());
}

void FrameCommands::startMailProgram() {
    if (!MailLauncher::startMailProgram(m_parts.frame, *m_parts.prefs))
        showSettings();
}

void FrameCommands::showSettings() {
    SettingsDialog dialog(*m_parts.tools, m_parts.frame);
    Dialogs::runModal([&] { return dialog.exec(); });
    if (dialog.saved())
        emit settingsSaved();
    // The Home and Search buttons show the addresses they go to.
    if (BrowserWindow* w = m_parts.registry->activeWindow())
        w->onActivated();
}

void FrameCommands::showInternetSettings() {
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
    Dialogs::message(m_parts.frame, QMessageBox::Information, QStringLiteral("Meldung"),
                     QStringLiteral("Auf diesem System ist kein Programm für die Netzwerk- und "
                                    "Proxy-Einstellungen installiert."));
}

void FrameCommands::saveLayout() {
    const QString name = Dialogs::saveFileName(
        m_parts.frame, QStringLiteral("Anordnung speichern..."), m_parts.tools->programFolder(),
        QStringLiteral("Fensterlayout-Datei (*.wlt)"), QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WindowLayouts::save(*m_parts.registry, name, m_parts.frame);
    QApplication::restoreOverrideCursor();
}

void FrameCommands::loadLayout() {
    const QString name = Dialogs::openFileName(
        m_parts.frame, QStringLiteral("Anordnung laden..."), m_parts.tools->programFolder(),
        QStringLiteral("Fensterlayout-Datei (*.wlt)"), QFileDialog::Options(), false);
    if (name.isEmpty())
        return;
    closeAllWithBusyPointer();
    WindowLayouts::load(*m_parts.tools, name, m_parts.frame);
}

void FrameCommands::closeActiveWindow() {
    if (QMdiSubWindow* w = m_parts.area->activeSubWindow())
        w->close();
}

void FrameCommands::closeAllWithBusyPointer() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_parts.registry->closeAllWindows();
    QApplication::restoreOverrideCursor();
}

void FrameCommands::refreshFileMenu() {
    m_parts.actions->setEnabled({FrameActions::SavePage, FrameActions::Print,
                                 FrameActions::PrintPreview, FrameActions::SendLink},
                                m_parts.area->activeSubWindow() != nullptr);
}

void FrameCommands::refreshToolsMenu() {
    action(FrameActions::History)->setEnabled(m_parts.history->count() >= 2);
}

void FrameCommands::refreshWindowMenu() {
    using A = FrameActions;
    const bool popupsAllowed = m_parts.registry->popups().allowed();
    action(A::AllowPopups)->setChecked(popupsAllowed);
    action(A::PopupsToBack)->setEnabled(popupsAllowed);

    // Loaded windows of the program: the frame, its browser windows and the
    // tool windows (archive, history).
    const bool archiveOpen = m_parts.tools->isOpen(Shell::ToolWindow::Archive);
    const bool historyOpen = m_parts.tools->isOpen(Shell::ToolWindow::History);
    const int loaded =
        1 + m_parts.registry->count() + (archiveOpen ? 1 : 0) + (historyOpen ? 1 : 0);
    const bool onlyToolWindows = (loaded == 2 && (archiveOpen || historyOpen)) ||
                                 (loaded == 3 && archiveOpen && historyOpen);

    // A layout can be loaded only while no browser window is active.
    const bool anyActive = m_parts.area->activeSubWindow() != nullptr;
    if (!anyActive)
        action(A::SaveLayout)->setEnabled(false);
    action(A::LoadLayout)->setEnabled(!anyActive);
    m_parts.actions->setEnabled({A::SavePage, A::SendLink, A::PrintPreview, A::Print}, anyActive);

    QAction* activeMenu = m_parts.actions->menu(A::ActiveWindowMenu)->menuAction();
    if (loaded > 1 && !onlyToolWindows) {
        BrowserWindow* active = m_parts.registry->activeWindow();
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
        m_parts.actions->setEnabled(
            {A::TileBelow, A::Cascade, A::TileSideBySide, A::CloseAllWindows, A::CloseWindow},
            true);
        activeMenu->setEnabled(true);
    } else {
        m_parts.actions->setEnabled({A::TileBelow, A::Cascade, A::TileSideBySide}, false);
        m_parts.actions->setChecked({A::TileBelow, A::Cascade, A::TileSideBySide}, false);
        m_parts.actions->setEnabled({A::CloseAllWindows, A::CloseWindow}, false);
        activeMenu->setEnabled(false);
    }
}

void FrameCommands::fillWindowList() {
    QMenu* windowMenu = m_parts.actions->menu(FrameActions::WindowMenu);
    for (QAction* a : std::as_const(m_windowListActions)) {
        windowMenu->removeAction(a);
        a->deleteLater();
    }
    m_windowListActions.clear();
    const QList<QMdiSubWindow*> windows = m_parts.area->subWindowList(QMdiArea::CreationOrder);
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
        a->setChecked(w == m_parts.area->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_parts.area->setActiveSubWindow(w); });
        m_windowListActions.append(a);
    }
}

void FrameCommands::arrange(int code) {
    QMdiArea* area = m_parts.area;
    QList<QMdiSubWindow*> visible;
    for (QMdiSubWindow* w : area->subWindowList(QMdiArea::CreationOrder))
        if (!w->isMinimized() && !w->isHidden())
            visible.append(w);
    const QRect rect = area->viewport()->rect();
    QList<QRect> rects;
    if (code == 0) {
        // Each step shows the title bar of the window behind.
        QStyleOptionTitleBar option;
        option.initFrom(area);
        const int step = area->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, area);
        rects = Arrangement::cascade(rect, int(visible.size()), step);
    } else {
        rects = code == 1 ? Arrangement::oneBelowOther(rect, int(visible.size()))
                          : Arrangement::sideBySide(rect, int(visible.size()));
    }
    for (int i = 0; i < visible.size(); ++i) {
        if (visible[i]->isMaximized())
            visible[i]->showNormal();
        visible[i]->setGeometry(rects[i]);
        if (code == 0)
            visible[i]->raise();
    }
    if (code == 0 && area->activeSubWindow())
        area->activeSubWindow()->raise();
}

void FrameCommands::applyArrangement() {
    if (action(FrameActions::TileBelow)->isChecked())
        arrange(1);
    else if (action(FrameActions::Cascade)->isChecked())
        arrange(0);
    else if (action(FrameActions::TileSideBySide)->isChecked())
        arrange(2);
}

void FrameCommands::arrangeAndCheck(int code, FrameActions::Command command) {
    arrange(code);
    for (FrameActions::Command c :
         {FrameActions::TileBelow, FrameActions::TileSideBySide, FrameActions::Cascade})
        action(c)->setChecked(c == command);
}

void FrameCommands::setPopupsAllowed(bool allowed) {
    action(FrameActions::AllowPopups)->setChecked(allowed);
    action(FrameActions::ForbidPopups)->setChecked(!allowed);
    action(FrameActions::PopupsToBack)->setEnabled(allowed);
    m_parts.registry->popups().setAllowed(allowed);
}

void FrameCommands::togglePopupsToBack() {
    // The action toggled itself when it was triggered.
    m_parts.registry->popups().setToBack(action(FrameActions::PopupsToBack)->isChecked());
}

// "Adresszeile" or "Toolbar" of the active window: the band toggles, and the
// whole bar area goes when neither band is left.
void FrameCommands::toggleBand(bool addressBand) {
    BrowserWindow* w = m_parts.registry->activeWindow();
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

void FrameCommands::toggleBothBands() {
    BrowserWindow* w = m_parts.registry->activeWindow();
    if (!w)
        return;
    // The action toggled itself when it was triggered.
    QAction* both = action(FrameActions::BothBars);
    w->setBothBands(both->isChecked());
    both->setVisible(w->bandVisible(BrowserWindow::Band::Toolbar) ==
                     w->bandVisible(BrowserWindow::Band::Adress));
    w->relayout();
}

void FrameCommands::toggleStatusBar() {
    FrameTabs& tabs = *m_parts.tabs;
    tabs.setVisible(false);
    m_parts.status->setWanted(!m_parts.status->wanted());
    action(FrameActions::StatusBar)->setChecked(m_parts.status->wanted());
    tabs.setVisible(action(FrameActions::TabBar)->isChecked() && m_parts.registry->count() > 0);
}
