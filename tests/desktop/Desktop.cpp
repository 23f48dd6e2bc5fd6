#include "Desktop.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

constexpr const char* AccessibleInterface = "org.a11y.atspi.Accessible";
// Bits of an accessible's state set.
constexpr uint StateShowing = 25;

struct Node {
    QString service;
    QString path;
};

// A line the process writes on its standard output, within the time.
QString firstLine(QProcess& process, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray out;
    if (!process.waitForStarted(timeoutMs))
        return QString();
    while (!out.contains('\n') && !deadline.hasExpired()) {
        if (process.state() == QProcess::NotRunning)
            return QString();
        process.waitForReadyRead(100);
        out += process.readAllStandardOutput();
    }
    return QString::fromLocal8Bit(out.left(out.indexOf('\n'))).trimmed();
}

QDBusMessage callAccessible(const QDBusConnection& bus, const Node& node, const char* interface,
                            const QString& method, const QVariantList& args = {}) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(node.service, node.path, QLatin1String(interface), method);
    call.setArguments(args);
    return bus.call(call, QDBus::Block, 5000);
}

QDBusArgument firstArgument(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QDBusArgument();
    return reply.arguments().first().value<QDBusArgument>();
}

QList<Node> childrenOf(const QDBusConnection& bus, const Node& node) {
    QList<Node> out;
    const QDBusArgument arg = firstArgument(
        callAccessible(bus, node, AccessibleInterface, QStringLiteral("GetChildren")));
    if (arg.currentType() != QDBusArgument::ArrayType)
        return out;
    arg.beginArray();
    while (!arg.atEnd()) {
        Node child;
        QDBusObjectPath path;
        arg.beginStructure();
        arg >> child.service >> path;
        arg.endStructure();
        child.path = path.path();
        out << child;
    }
    arg.endArray();
    return out;
}

QString roleOf(const QDBusConnection& bus, const Node& node) {
    const QDBusMessage reply =
        callAccessible(bus, node, AccessibleInterface, QStringLiteral("GetRoleName"));
    return reply.arguments().isEmpty() ? QString() : reply.arguments().first().toString();
}

QString nameOf(const QDBusConnection& bus, const Node& node) {
    const QDBusMessage reply =
        callAccessible(bus, node, "org.freedesktop.DBus.Properties", QStringLiteral("Get"),
                       {QLatin1String(AccessibleInterface), QStringLiteral("Name")});
    if (reply.arguments().isEmpty())
        return QString();
    return reply.arguments().first().value<QDBusVariant>().variant().toString();
}

bool isShowing(const QDBusConnection& bus, const Node& node) {
    const QDBusArgument arg =
        firstArgument(callAccessible(bus, node, AccessibleInterface, QStringLiteral("GetState")));
    QList<uint> words;
    if (arg.currentType() == QDBusArgument::ArrayType)
        arg >> words;
    return words.size() == 2 && (words[StateShowing / 32] >> (StateShowing % 32)) & 1u;
}

QRect extentsOf(const QDBusConnection& bus, const Node& node) {
    // Coordinates of the screen.
    const QDBusArgument arg =
        firstArgument(callAccessible(bus, node, "org.a11y.atspi.Component",
                                     QStringLiteral("GetExtents"), {QVariant::fromValue(0u)}));
    if (arg.currentType() != QDBusArgument::StructureType)
        return QRect();
    int x = 0, y = 0, w = 0, h = 0;
    arg.beginStructure();
    arg >> x >> y >> w >> h;
    arg.endStructure();
    return QRect(x, y, w, h);
}

} // namespace

Desktop::Desktop() = default;

Desktop::~Desktop() {
    for (QProcess* p : {&m_bus, &m_x}) {
        if (p->state() == QProcess::NotRunning)
            continue;
        p->terminate();
        if (!p->waitForFinished(5000)) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
}

bool Desktop::start() {
    if (!m_runtime.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    for (const char* tool : {"Xvfb", "xdotool", "setxkbmap", "dbus-daemon"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            m_error = QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
            return false;
        }
    }
    return startXServer() && startSessionBus();
}

bool Desktop::startXServer() {
    // The server takes the first free display and names it on its output.
    // Without -noreset it starts over whenever its last client leaves, drops
    // the keyboard map set below and turns away whoever connects meanwhile.
    m_x.setProcessChannelMode(QProcess::SeparateChannels);
    m_x.setStandardErrorFile(QProcess::nullDevice());
    m_x.start(QStringLiteral("Xvfb"),
              {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
               QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
               QStringLiteral("tcp"), QStringLiteral("-noreset")});
    const QString number = firstLine(m_x, 20000);
    if (number.isEmpty()) {
        m_error = QStringLiteral("Xvfb did not start");
        return false;
    }
    m_display = QLatin1Char(':') + number;
    // A German keyboard, as the people who use Korvix have.
    QProcess keymap;
    keymap.start(QStringLiteral("setxkbmap"),
                 {QStringLiteral("-display"), m_display, QStringLiteral("de")});
    if (!keymap.waitForFinished(15000) || keymap.exitCode() != 0) {
        m_error = QStringLiteral("setxkbmap de failed");
        return false;
    }
    return true;
}

bool Desktop::startSessionBus() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    m_bus.setProcessEnvironment(env);
    m_bus.setStandardErrorFile(QProcess::nullDevice());
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"),
                 QStringLiteral("--print-address=1")});
    m_busAddress = firstLine(m_bus, 20000);
    if (m_busAddress.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon did not start");
        return false;
    }
    return true;
}

QProcessEnvironment Desktop::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    return env;
}

bool Desktop::xdotool(const QStringList& args, QString* output, int timeoutMs) const {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool Desktop::key(const QString& keys) const {
    return xdotool(
        QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")} +
        keys.split(QLatin1Char(' '), Qt::SkipEmptyParts));
}

bool Desktop::type(const QString& text) const {
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
}

bool Desktop::click(QPoint at) const {
    // No --sync: it would wait for ever when the pointer is there already.
    return xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                    QStringLiteral("click"), QStringLiteral("1")});
}

QRgb Desktop::pixel(QPoint at) const {
    xcb_connection_t* x = xcb_connect(m_display.toLocal8Bit().constData(), nullptr);
    QRgb rgb = 0;
    const xcb_screen_t* screen =
        xcb_connection_has_error(x) ? nullptr : xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    if (screen) {
        xcb_get_image_reply_t* image =
            xcb_get_image_reply(x,
                                xcb_get_image(x, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root,
                                              int16_t(at.x()), int16_t(at.y()), 1, 1, ~0U),
                                nullptr);
        // Depth 24 comes as blue, green, red and a spare byte.
        if (image && xcb_get_image_data_length(image) >= 4) {
            const uint8_t* bgr = xcb_get_image_data(image);
            rgb = qRgb(bgr[2], bgr[1], bgr[0]);
        }
        std::free(image);
    }
    xcb_disconnect(x);
    return rgb;
}

QStringList Desktop::windows(qint64 pid, const QString& pattern) const {
    // Finding nothing is a failure to xdotool, and an empty list here.
    QString out;
    xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
             QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"), pattern},
            &out);
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString Desktop::windowTitle(const QString& window) const {
    QString title;
    xdotool({QStringLiteral("getwindowname"), window}, &title);
    return title.trimmed();
}

bool Desktop::focusWindow(const QString& window) const {
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
}

QDBusConnection Desktop::accessibilityBus() const {
    const QString sessionName = QStringLiteral("korvix-desktop-session");
    QDBusConnection session = QDBusConnection::connectToBus(m_busAddress, sessionName);
    const QDBusMessage reply =
        session.call(QDBusMessage::createMethodCall(
                         QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                         QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
                     QDBus::Block, 10000);
    const QString address =
        reply.arguments().isEmpty() ? QString() : reply.arguments().first().toString();
    return QDBusConnection::connectToBus(address, QStringLiteral("korvix-desktop-a11y"));
}

QRect Desktop::findWidget(qint64 pid, const QString& role, const QString& name) const {
    const QDBusConnection bus = accessibilityBus();
    if (!bus.isConnected())
        return QRect();
    // The applications hang below the registry's root; ours is the one of
    // the process.
    QList<Node> pending;
    for (const Node& app : childrenOf(bus, {QStringLiteral("org.a11y.atspi.Registry"),
                                            QStringLiteral("/org/a11y/atspi/accessible/root")})) {
        if (bus.interface()->servicePid(app.service).value() == uint(pid))
            pending << app;
    }
    QRect found;
    // Depth first, in the order of the tree; hidden branches and the pages'
    // own documents are not entered.
    while (!pending.isEmpty()) {
        const Node node = pending.takeFirst();
        const QString nodeRole = roleOf(bus, node);
        if (nodeRole != QLatin1String("application") && !isShowing(bus, node))
            continue;
        if (nodeRole == role && (name.isNull() || nameOf(bus, node) == name))
            found = extentsOf(bus, node);
        if (nodeRole == QLatin1String("web document"))
            continue;
        pending = childrenOf(bus, node) + pending;
    }
    return found;
}
