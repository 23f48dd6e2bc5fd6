#include "XSession.h"

#include "BenchSupport.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace bench {

namespace {
constexpr int StartTimeoutMs = 10000;
constexpr int XdotoolTimeoutMs = 10000;
} // namespace

XSession::~XSession() {
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

bool XSession::start(QSize size, QString* error) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        *error = QStringLiteral("no Xvfb installed");
        return false;
    }
    // A display nobody holds: neither its lock file nor its socket exists.
    int number = 77;
    while (number < 200 && (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) ||
                            QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))))
        ++number;
    const QString display = QStringLiteral(":%1").arg(number);
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.start(xvfb, {display, QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                          QStringLiteral("-noreset")});
    const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
    waitUntil([&] { return QFile::exists(socket) || m_server.state() == QProcess::NotRunning; },
              StartTimeoutMs, 20);
    // The socket is there before the server answers; a client that comes
    // too early is turned away. -noreset keeps the server from starting over
    // each time its last client (this very probe) leaves.
    m_display = display;
    const bool answers = waitUntil(
        [&] {
            return m_server.state() != QProcess::NotRunning &&
                   !xdotool({QStringLiteral("getdisplaygeometry")}).isEmpty();
        },
        StartTimeoutMs, 50);
    if (!answers || m_server.state() == QProcess::NotRunning) {
        *error = QStringLiteral("Xvfb %1 did not come up").arg(display);
        m_display.clear();
        return false;
    }
    return true;
}

QString XSession::description() const {
    return m_server.state() == QProcess::NotRunning
               ? QStringLiteral("the given display %1").arg(m_display)
               : QStringLiteral("its own Xvfb on %1").arg(m_display);
}

bool XSession::hasXdotool() {
    return !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
}

QString XSession::xdotool(const QStringList& args) const {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(XdotoolTimeoutMs)) {
        p.kill();
        p.waitForFinished();
        return QString();
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    // Commands that print nothing answer with a mark, so success differs
    // from failure.
    return out.isEmpty() ? QStringLiteral("ok") : out;
}

QStringList XSession::windowsOf(qint64 pid) const {
    const QString out = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--pid"), QString::number(pid)});
    if (out.isEmpty() || out == QLatin1String("ok"))
        return {};
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString XSession::windowName(const QString& window) const {
    const QString out = xdotool({QStringLiteral("getwindowname"), window});
    return out == QLatin1String("ok") ? QString() : out;
}

QRect XSession::windowGeometry(const QString& window) const {
    const QString out =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    int x = 0, y = 0, w = 0, h = 0;
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        const QString value = line.section(QLatin1Char('='), 1);
        if (line.startsWith(QLatin1String("X=")))
            x = value.toInt();
        else if (line.startsWith(QLatin1String("Y=")))
            y = value.toInt();
        else if (line.startsWith(QLatin1String("WIDTH=")))
            w = value.toInt();
        else if (line.startsWith(QLatin1String("HEIGHT=")))
            h = value.toInt();
    }
    return QRect(x, y, w, h);
}

QString XSession::waitForWindow(qint64 pid, const QString& title, int timeoutMs) const {
    QString found;
    waitUntil(
        [&] {
            for (const QString& w : windowsOf(pid))
                if (windowName(w).startsWith(title)) {
                    found = w;
                    return true;
                }
            return false;
        },
        timeoutMs, 100);
    return found;
}

bool XSession::click(QPoint at) const {
    return !xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                     QStringLiteral("click"), QStringLiteral("1")})
                .isEmpty();
}

bool XSession::key(const QStringList& keys) const {
    return !xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"),
                                QStringLiteral("20")} +
                    keys)
                .isEmpty();
}

bool XSession::type(const QString& text) const {
    return !xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text})
                .isEmpty();
}

bool XSession::focus(const QString& window) const {
    return !xdotool({QStringLiteral("windowfocus"), window}).isEmpty();
}

} // namespace bench
