// The tab bar of open windows along the top or bottom edge of the frame.
#include "browser/BrowserWindow.h"
#include "browser/WebView.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "frame/TabBar.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QMdiArea>
#include <QTabBar>

void MainFrame::setTabBarVisible(bool visible) {
    m_tabBar->setVisible(visible);
    m_tabBar->tabs()->setVisible(visible);
    m_actions->setEnabled({FrameActions::TabBarTop, FrameActions::TabBarBottom}, visible);
}

// Docks the bar at the top (1) or the bottom (2) and gives the strip its look.
void MainFrame::setTabBarPosition(int align) {
    const bool visible = !m_tabBar->isHidden();
    removeToolBar(m_tabBar);
    addToolBar(align == 1 ? Qt::TopToolBarArea : Qt::BottomToolBarArea, m_tabBar);
    m_tabBar->setVisible(visible);
    m_tabBar->setLook(m_prefs.TabButton != 0, m_prefs.TabFontBold > 0, align);
    action(FrameActions::TabBarTop)->setChecked(align == 1);
    action(FrameActions::TabBarBottom)->setChecked(align != 1);
}

void MainFrame::toggleTabBar() {
    m_tabBarWanted = !m_tabBarWanted;
    action(FrameActions::TabBar)->setChecked(m_tabBarWanted);
    if (m_registry->count() > 0 && m_tabBarWanted) {
        setTabBarVisible(true);
        updateTab();
    } else {
        setTabBarVisible(false);
    }
}

void MainFrame::moveTabBar(int align) {
    action(FrameActions::TabBarTop)->setChecked(align == 1);
    action(FrameActions::TabBarBottom)->setChecked(align == 2);
    m_tabAlign = align;
    setTabBarPosition(align);
    m_tabBar->update();
}

void MainFrame::updateTab() {
    BrowserWindow* active = m_registry->activeWindow();
    if (!active) {
        setTabBarVisible(false);
        return;
    }
    if (m_registry->count() == 0 || !action(FrameActions::TabBar)->isChecked())
        return;
    m_tabBar->select(active->id());
    if (!active->windowTitle().isEmpty())
        m_tabBar->setTabText(active->id(), TabBar::caption(active->windowTitle()));
}

void MainFrame::setTabTitle(const QString& title, qint32 windowId) {
    if (title.isEmpty() || windowId <= 0)
        return;
    m_tabBar->setTabText(windowId, TabBar::caption(title));
}

void MainFrame::onTabClicked(qint32 id) {
    if (id <= 0)
        return;
    BrowserWindow* w = m_registry->windowByKey(BrowserRegistry::windowKey(id));
    if (!w || !m_mdi->activeSubWindow())
        return;
    if (m_registry->activeWindow() != w)
        w->layoutControls();
    m_mdi->setActiveSubWindow(w);
    w->layoutControls();
    const QString text = !w->title().isEmpty() ? w->title() : w->webView()->locationUrl();
    m_tabBar->setTabText(id, TabBar::caption(text));
}
