#include "ui/DesktopNotices.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>

DesktopNotices& DesktopNotices::instance() {
    static auto* notices = new DesktopNotices;
    return *notices;
}

void DesktopNotices::show(const QString& title, const QString& text,
                          std::function<void()> clicked) {
    emit shown(title, text);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
        m_tray->setToolTip(QStringLiteral("Korvix"));
        connect(m_tray, &QSystemTrayIcon::messageClicked, this, [this] {
            if (m_clicked)
                m_clicked();
        });
    }
    m_clicked = std::move(clicked);
    constexpr int ShownMs = 8000;
    // The tray shows the program only while it has something to say.
    m_tray->show();
    m_tray->showMessage(title, text, QSystemTrayIcon::Information, ShownMs);
    QTimer::singleShot(ShownMs + 2000, m_tray, [tray = m_tray] { tray->hide(); });
}
