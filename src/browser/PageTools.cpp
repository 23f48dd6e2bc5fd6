// What a QtWebView offers for the page beyond showing it: find, zoom, the
// developer tools, PDF, and the page's context menu.
#include "browser/EngineProfile.h"
#include "browser/QtWebPage.h"
#include "browser/QtWebView.h"

#include <QAction>
#include <QChildEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineFindTextResult>
#include <QWebEngineView>
#include <QWheelEvent>

bool QtWebView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ChildAdded) {
        if (QObject* child = static_cast<QChildEvent*>(event)->child(); child->isWidgetType())
            child->installEventFilter(this);
    } else if (event->type() == QEvent::MouseButtonPress) {
        // The mouse's back and forward buttons, as in every browser.
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        if (button == Qt::BackButton || button == Qt::ForwardButton) {
            button == Qt::BackButton ? goBack() : goForward();
            return true;
        }
    } else if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int delta = wheel->angleDelta().y();
            if (delta != 0)
                emit zoomRequested(delta > 0 ? 1 : -1);
            return true;
        }
    }
    return WebView::eventFilter(watched, event);
}

void QtWebView::showContextMenu(const QPoint& pos) {
    QMenu* menu = m_view->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    addSpellingItems(menu);
    // The program's own entry for the source opens it in a window of its own.
    menu->removeAction(m_page->action(QWebEnginePage::ViewSource));
    menu->addSeparator();
    const auto tool = [this, menu](const QString& caption, const QKeySequence& keys,
                                   PageTool which) {
        QAction* a = menu->addAction(caption);
        a->setShortcut(keys);
        connect(a, &QAction::triggered, this, [this, which] { emit pageToolRequested(which); });
    };
    tool(QStringLiteral("&Quelltext anzeigen"), QKeySequence(Qt::CTRL | Qt::Key_U),
         PageTool::ViewSource);
    tool(QStringLiteral("&Entwicklerwerkzeuge"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I),
         PageTool::DevTools);
    tool(QStringLiteral("Als &PDF speichern..."), QKeySequence(), PageTool::SavePdf);
    menu->popup(m_view->mapToGlobal(pos));
}

void QtWebView::addSpellingItems(QMenu* menu) {
    const QWebEngineContextMenuRequest* request = m_view->lastContextMenuRequest();
    if (!request || request->misspelledWord().isEmpty())
        return;
    const QStringList suggestions = request->spellCheckerSuggestions();
    // The engine's own entries for them go; the program's come first.
    for (QAction* a : menu->actions())
        if (suggestions.contains(a->text()))
            menu->removeAction(a);
    while (!menu->actions().isEmpty() && menu->actions().first()->isSeparator())
        menu->removeAction(menu->actions().first());
    const QString word = request->misspelledWord();
    if (EngineProfile::isAddedWord(word))
        return;
    QAction* first = menu->actions().value(0);
    for (const QString& suggestion : suggestions) {
        auto* a = new QAction(suggestion, menu);
        QFont bold = a->font();
        bold.setBold(true);
        a->setFont(bold);
        a->setObjectName(QStringLiteral("spellingSuggestion"));
        connect(a, &QAction::triggered, this,
                [this, suggestion] { m_page->replaceMisspelledWord(suggestion); });
        menu->insertAction(first, a);
    }
    if (suggestions.isEmpty()) {
        auto* none = new QAction(QStringLiteral("Keine Vorschläge"), menu);
        none->setEnabled(false);
        menu->insertAction(first, none);
    }
    auto* add = new QAction(QStringLiteral("Zum Wörterbuch hinzufügen"), menu);
    add->setObjectName(QStringLiteral("addToDictionary"));
    connect(add, &QAction::triggered, this, [word] { EngineProfile::addSpellingWord(word); });
    menu->insertAction(first, add);
    menu->insertSeparator(first);
}

void QtWebView::findText(const QString& text, bool backward, bool caseSensitive) {
    QWebEnginePage::FindFlags flags;
    if (backward)
        flags |= QWebEnginePage::FindBackward;
    if (caseSensitive)
        flags |= QWebEnginePage::FindCaseSensitively;
    // Typing searches on every key: only the answer to the newest search
    // counts; the engine also answers a search it dropped for a newer one,
    // with nothing found.
    const quint64 search = ++m_findSerial;
    // A page that slept has nothing to search until it is back.
    if (m_putAway || m_restoring) {
        livePage();
        m_findWhenBack = [this, text, backward, caseSensitive] {
            findText(text, backward, caseSensitive);
        };
        return;
    }
    if (text.isEmpty()) {
        m_page->findText(QString());
        return;
    }
    m_page->findText(text, flags, [this, search](const QWebEngineFindTextResult& result) {
        if (search == m_findSerial)
            emit findResult(result.activeMatch(), result.numberOfMatches());
    });
}

void QtWebView::setZoomFactor(double factor) {
    if (m_putAway)
        m_kept.zoom = factor;
    else
        m_page->setZoomFactor(factor);
}

double QtWebView::zoomFactor() const {
    return m_putAway ? m_kept.zoom : m_page->zoomFactor();
}

QWidget* QtWebView::devToolsWindow() const {
    return m_devTools;
}

void QtWebView::showDevTools() {
    if (m_devTools) {
        m_devTools->raise();
        m_devTools->activateWindow();
        return;
    }
    livePage();
    auto* window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Entwicklerwerkzeuge - %1").arg(locationName()));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new QWebEngineView;
    auto* tools = new QWebEnginePage(m_page->profile(), view);
    view->setPage(tools);
    layout->addWidget(view);
    m_page->setDevToolsPage(tools);
    // Closed by the user: the tools let go of the page. (Closed with this
    // view: its destructor deletes the window first.)
    connect(window, &QObject::destroyed, m_page,
            [page = m_page] { page->setDevToolsPage(nullptr); });
    window->resize(900, 600);
    window->show();
    m_devTools = window;
}

void QtWebView::printToPdf(const QString& path) {
    livePage()->printToPdf(path);
}
