#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QSystemTrayIcon;

// Messages for the desktop (a site's notification): shown by the desktop's
// notification service through the tray, for a few seconds.
class DesktopNotices : public QObject {
    Q_OBJECT
public:
    static DesktopNotices& instance();

    // `clicked` runs when the user clicks the message.
    void show(const QString& title, const QString& text, std::function<void()> clicked = {});

signals:
    // Every message as it goes out, also where the desktop has no tray to
    // show it; the frame then puts it into its status bar.
    void shown(const QString& title, const QString& text);

private:
    DesktopNotices() = default;

    QSystemTrayIcon* m_tray = nullptr;
    std::function<void()> m_clicked;
};
