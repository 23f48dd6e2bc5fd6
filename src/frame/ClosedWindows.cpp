#include "frame/ClosedWindows.h"

#include "browser/BrowserWindow.h"

void ClosedWindows::remember(const BrowserWindow* window) {
    const WebView* view = window->webView();
    const QString address = view->locationUrl();
    if (address.isEmpty())
        return;
    Entry entry;
    entry.title = window->title().isEmpty() ? address : window->title();
    entry.request = OpenRequest::withBars(address, window->bandVisible(BrowserWindow::Band::Adress),
                                          window->bandVisible(BrowserWindow::Band::Toolbar));
    entry.request.history = view->saveHistory();
    entry.request.isPrivate = window->isPrivate();
    if (!window->isMaximized() && !window->isMinimized())
        entry.request.geometry = window->geometry();
    entry.request.state = window->isMaximized() ? 2 : window->isMinimized() ? 1 : 0;
    m_entries.prepend(entry);
    while (m_entries.size() > Kept)
        m_entries.removeLast();
    emit changed();
}

void ClosedWindows::forgetPrivate() {
    const qsizetype removed =
        m_entries.removeIf([](const Entry& e) { return e.request.isPrivate; });
    if (removed > 0)
        emit changed();
}

ClosedWindows::Entry ClosedWindows::take(int index) {
    Entry entry = m_entries.takeAt(index);
    emit changed();
    return entry;
}
