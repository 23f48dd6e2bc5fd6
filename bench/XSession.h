#pragma once

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

namespace bench {

// An X display for programs that need a real one (the browsers Korvix is
// held against) and real input for the ones the benchmark drives: its own
// Xvfb, or one it is given, and xdotool for clicks and keys.
class XSession {
public:
    XSession() = default;
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Starts Xvfb on a free display with a screen of `size`; false (with
    // the reason) when there is no Xvfb or it does not come up.
    bool start(QSize size, QString* error);
    // Uses a display that is already there, such as ":1".
    void use(const QString& display) { m_display = display; }
    QString display() const { return m_display; }
    bool isValid() const { return !m_display.isEmpty(); }
    // How the display came to be, for the output.
    QString description() const;

    static bool hasXdotool();

    // The visible top-level windows of the process, as X window ids.
    QStringList windowsOf(qint64 pid) const;
    QString windowName(const QString& window) const;
    QRect windowGeometry(const QString& window) const;
    // The first visible window of the process whose title starts with
    // `title`, waited for at most `timeoutMs`; empty if none came.
    QString waitForWindow(qint64 pid, const QString& title, int timeoutMs) const;

    // Real input through the X server, as a person gives it.
    bool click(QPoint at) const;
    bool key(const QStringList& keys) const;
    bool type(const QString& text) const;
    bool focus(const QString& window) const;

    // xdotool's answer, trimmed; empty when it failed.
    QString xdotool(const QStringList& args) const;

private:
    QString m_display;
    QProcess m_server;
};

} // namespace bench
