#include "frame/BlockingCommands.h"

#include "blocking/ContentBlocker.h"
#include "blocking/FilterListsDialog.h"
#include "browser/BrowserWindow.h"
#include "browser/WebView.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameActions.h"
#include "frame/FrameStatus.h"

#include <QAction>

BlockingCommands::BlockingCommands(Parts parts, QObject* parent)
    : QObject(parent), m_parts(std::move(parts)) {
    using A = FrameActions;
    QAction* block = m_parts.actions->action(A::BlockContent);
    QAction* allow = m_parts.actions->action(A::AllowOnSite);
    QAction* lists = m_parts.actions->action(A::FilterLists);
    ContentBlocker* blocker = m_parts.blocker;
    if (!blocker) {
        for (QAction* a : {block, allow, lists})
            a->setEnabled(false);
        return;
    }
    block->setChecked(blocker->isEnabled());
    connect(block, &QAction::toggled, blocker, &ContentBlocker::setEnabled);
    connect(allow, &QAction::triggered, this, &BlockingCommands::setSiteAllowed);
    connect(lists, &QAction::triggered, this, &BlockingCommands::showFilterLists);
    connect(blocker, &ContentBlocker::settingsChanged, this, &BlockingCommands::showCurrent);
    connect(m_parts.registry, &BrowserRegistry::windowAdded, this, &BlockingCommands::watch);
    // A new page may be on a site the user let through.
    connect(m_parts.registry, &BrowserRegistry::currentPageChanged, this,
            &BlockingCommands::showCurrent);
    showCurrent();
}

void BlockingCommands::watch(BrowserWindow* window) {
    WebView* view = window->webView();
    connect(view, &WebView::blockedCountChanged, this, [this, window](int count) {
        if (window == m_parts.registry->currentWindow())
            m_parts.status->showBlocked(count);
    });
}

void BlockingCommands::showCurrent() {
    BrowserWindow* w = m_parts.registry->currentWindow();
    m_parts.status->showBlocked(w ? w->webView()->blockedCount() : 0);
    QAction* allow = m_parts.actions->action(FrameActions::AllowOnSite);
    const QString site = m_parts.registry->currentSite();
    const bool enabled = m_parts.blocker && m_parts.blocker->isEnabled();
    m_parts.actions->action(FrameActions::BlockContent)->setChecked(enabled);
    allow->setEnabled(enabled && !site.isEmpty());
    allow->setChecked(!site.isEmpty() && m_parts.blocker->isSiteAllowed(site));
}

void BlockingCommands::setSiteAllowed(bool allowed) {
    const QString site = m_parts.registry->currentSite();
    if (site.isEmpty())
        return;
    m_parts.blocker->setSiteAllowed(site, allowed);
    // The page is shown again as the user now wants it.
    if (BrowserWindow* w = m_parts.registry->currentWindow())
        w->reload(false);
}

void BlockingCommands::showFilterLists() {
    FilterListsDialog::show(m_parts.frame, *m_parts.blocker);
}
