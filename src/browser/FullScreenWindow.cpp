#include "browser/FullScreenWindow.h"

#include <QAction>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

FullScreenWindow::FullScreenWindow(QWebEngineView* home)
    : QWidget(nullptr), m_view(new QWebEngineView(this)), m_home(home) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(home->window()->windowTitle());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    // Esc leaves full screen as in every browser; the page then says so
    // itself, and that closes this window.
    auto* leave = new QAction(this);
    leave->setShortcut(Qt::Key_Escape);
    leave->setShortcutContext(Qt::WindowShortcut);
    connect(leave, &QAction::triggered, this,
            [this] { m_view->triggerPageAction(QWebEnginePage::ExitFullScreen); });
    addAction(leave);

    m_view->setPage(home->page());
    // A short hint at the top, as browsers give it.
    m_hint = new QLabel(QStringLiteral("Mit Esc verlassen Sie den Vollbildmodus."), this);
    m_hint->setObjectName(QStringLiteral("fullScreenHint"));
    m_hint->setStyleSheet(QStringLiteral(
        "background: rgba(32,32,32,200); color: white; padding: 8px 16px; border-radius: 4px;"));
    m_hint->adjustSize();
    QTimer::singleShot(4000, m_hint, &QWidget::hide);
    showFullScreen();
    m_hint->move((width() - m_hint->width()) / 2, 24);
    m_hint->raise();
    m_view->setFocus();
}

FullScreenWindow::~FullScreenWindow() {
    m_home->setPage(m_view->page());
}
