#include "frame/FrameTabs.h"

#include "browser/BrowserWindow.h"
#include "browser/WebView.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameActions.h"
#include "frame/TabBar.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QTabBar>

FrameTabs::FrameTabs(QMainWindow* frame, FrameActions& actions, BrowserRegistry& registry,
                     QMdiArea* area, const Prefer& prefs)
    : QObject(frame), m_frame(frame), m_actions(actions), m_registry(registry), m_area(area),
      m_prefs(prefs) {
    m_bar = new TabBar(frame);
    frame->addToolBar(Qt::TopToolBarArea, m_bar);
    connect(m_bar, &TabBar::tabClicked, this, &FrameTabs::onTabClicked);
    connect(m_bar, &TabBar::contextMenuRequested, this, [this](const QPoint& pos) {
        m_actions.menu(FrameActions::TabContextMenu)->popup(pos);
    });
    connect(m_actions.action(FrameActions::TabBar), &QAction::triggered, this, &FrameTabs::toggle);
    connect(m_actions.action(FrameActions::TabBarTop), &QAction::triggered, this,
            [this] { move(1); });
    connect(m_actions.action(FrameActions::TabBarBottom), &QAction::triggered, this,
            [this] { move(2); });
    // The strip goes in one go, not a tab per window.
    connect(&registry, &BrowserRegistry::closingAll, this, [this] { m_bar->clear(); });
    setVisible(false);
    takePreferences();
}

void FrameTabs::takePreferences() {
    m_wanted = m_prefs.TabStrip != 0;
    m_align = m_prefs.TabAlign;
}

void FrameTabs::setVisible(bool visible) {
    m_bar->setVisible(visible);
    m_bar->tabs()->setVisible(visible);
    m_actions.setEnabled({FrameActions::TabBarTop, FrameActions::TabBarBottom}, visible);
}

void FrameTabs::place(int align) {
    const bool visible = !m_bar->isHidden();
    m_frame->removeToolBar(m_bar);
    m_frame->addToolBar(align == 1 ? Qt::TopToolBarArea : Qt::BottomToolBarArea, m_bar);
    m_bar->setVisible(visible);
    m_bar->setLook(m_prefs.TabButton != 0, m_prefs.TabFontBold > 0, align);
    m_actions.action(FrameActions::TabBarTop)->setChecked(align == 1);
    m_actions.action(FrameActions::TabBarBottom)->setChecked(align != 1);
}

void FrameTabs::toggle() {
    m_wanted = !m_wanted;
    m_actions.action(FrameActions::TabBar)->setChecked(m_wanted);
    if (m_registry.count() > 0 && m_wanted) {
        setVisible(true);
        updateTab();
    } else {
        setVisible(false);
    }
}

void FrameTabs::move(int align) {
    m_actions.action(FrameActions::TabBarTop)->setChecked(align == 1);
    m_actions.action(FrameActions::TabBarBottom)->setChecked(align == 2);
    m_align = align;
    place(align);
    m_bar->update();
}

void FrameTabs::showChoices() {
    setVisible(m_registry.count() > 0 && m_wanted);
    m_actions.action(FrameActions::TabBar)->setChecked(m_wanted);
    m_actions.action(FrameActions::TabBarTop)->setChecked(m_align == 1);
    m_actions.action(FrameActions::TabBarBottom)->setChecked(m_align == 2);
    m_actions.setEnabled({FrameActions::TabBarTop, FrameActions::TabBarBottom}, m_wanted);
    m_bar->tabs()->setFont(TabBar::font(m_prefs.TabFontBold > 0));
    place(m_align);
}

void FrameTabs::updateTab() {
    BrowserWindow* active = m_registry.activeWindow();
    if (!active) {
        setVisible(false);
        return;
    }
    if (m_registry.count() == 0 || !m_actions.action(FrameActions::TabBar)->isChecked())
        return;
    m_bar->select(active->id());
    if (!active->windowTitle().isEmpty())
        m_bar->setTabText(active->id(), TabBar::caption(active->windowTitle()));
}

void FrameTabs::setTitle(qint32 windowId, const QString& title) {
    if (title.isEmpty() || windowId <= 0)
        return;
    m_bar->setTabText(windowId, TabBar::caption(title));
}

void FrameTabs::addWindow(BrowserWindow* window) {
    connect(window, &BrowserWindow::titleShown, this,
            [this, window](const QString& title) { setTitle(window->id(), title); });
    connect(window, &BrowserWindow::pageChanged, this, &FrameTabs::updateTab);
    // A window made ahead of its turn may have its page already.
    const bool came = !window->title().isEmpty() && !window->isBusyShown();
    m_bar->addTab(window->id(), TabBar::caption(window->caption(came ? window->title()
                                                                     : window->startingAddress())));
    m_bar->fitWidth(m_area->width());
    setVisible(m_actions.action(FrameActions::TabBar)->isChecked());
}

void FrameTabs::removeWindow(qint32 windowId) {
    m_bar->removeTab(windowId);
    if (m_registry.count() == 0)
        setVisible(false);
}

void FrameTabs::onTabClicked(qint32 id) {
    if (id <= 0)
        return;
    BrowserWindow* w = m_registry.windowByKey(BrowserRegistry::windowKey(id));
    if (!w || !m_area->activeSubWindow())
        return;
    if (m_registry.activeWindow() != w)
        w->layoutControls();
    m_area->setActiveSubWindow(w);
    w->layoutControls();
    const QString text = !w->title().isEmpty() ? w->title() : w->webView()->locationUrl();
    m_bar->setTabText(id, TabBar::caption(w->caption(text)));
}
