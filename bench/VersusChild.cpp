#include "VersusChild.h"

#include "BenchSupport.h"
#include "ReportServer.h"

#include "common/TreeMemory.h"
#include "common/Twips.h"
#include "frame/model/LayoutFile.h"
#include "prefs/model/Prefer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <unistd.h>

#ifndef KORVIX_EXECUTABLE
#error "KORVIX_EXECUTABLE must name the built program"
#endif

namespace bench {

QList<Window> windowsOf(const Case& c, const ReportServer& server) {
    const int columns = int(std::ceil(std::sqrt(double(c.windows))));
    const int rows = (c.windows + columns - 1) / columns;
    // The frame's menu, bars and status line take some of its height.
    const QSize area(FrameSize.width(), FrameSize.height() - 120);
    const QSize cell(area.width() / columns, area.height() / rows);
    QList<Window> windows;
    for (int i = 0; i < c.windows; ++i) {
        Window w;
        w.url = server.pageUrl(i % c.sites + 1, i + 1);
        w.geometry =
            c.maximized
                ? QRect(0, 0, 640, 480)
                : QRect(QPoint(i % columns * cell.width(), i / columns * cell.height()), cell);
        windows << w;
    }
    return windows;
}

QProcessEnvironment childEnvironment(Variant variant, const QString& display) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (display.isEmpty()) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), display);
    }
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"),
               QStringLiteral("qt.webenginecontext.info=false"));
    QString flags = QStringLiteral("--disable-gpu --no-sandbox");
    if (variant == BarePerSite)
        flags += QStringLiteral(" --process-per-site");
    env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), flags);
    env.remove(QStringLiteral("KORVIX_STALL_REPORT"));
    env.remove(QStringLiteral("KORVIX_INPUT_REPORT"));
    return env;
}

QString prepareKorvix(const QTemporaryDir& dir, const QList<Window>& windows, bool maximized,
                      QString* error, const std::function<void(Prefer&)>& adjust) {
    const QString original = QStringLiteral(KORVIX_EXECUTABLE);
    const QString program = dir.filePath(QStringLiteral("korvix"));
    if (!QFile::copy(original, program) ||
        !QFile::setPermissions(program, QFile::permissions(original))) {
        *error = QStringLiteral("cannot copy %1").arg(original);
        return QString();
    }
    const QString layoutName = QStringLiteral("Vergleich.wlt");
    const bool withLayout = windows.size() > 1;
    if (withLayout) {
        QList<LayoutItem> items;
        for (const Window& w : windows) {
            LayoutItem item;
            item.left = pxToTwips(w.geometry.x());
            item.top = pxToTwips(w.geometry.y());
            item.width = pxToTwips(w.geometry.width());
            item.height = pxToTwips(w.geometry.height());
            item.url = w.url;
            item.state = maximized ? 2 : 0;
            items << item;
        }
        if (!LayoutFile::save(dir.filePath(layoutName), items, error))
            return QString();
    }
    // As the other benchmarks write them: nothing opens at start but what
    // the case asks for.
    Prefer prefs(dir.path());
    prefs.setDefaults();
    prefs.StartBrowser = 0;
    prefs.LoadOption = 1;
    prefs.HomeUrl = QStringLiteral("about:blank");
    prefs.MdiWidth = clampInt16(pxToTwips(FrameSize.width()));
    prefs.MdiHeight = clampInt16(pxToTwips(FrameSize.height()));
    if (withLayout) {
        prefs.LoadOption = 2;
        prefs.Layout = layoutName;
    }
    if (adjust)
        adjust(prefs);
    if (!prefs.save(error))
        return QString();
    return program;
}

QString peerProgram(Variant variant) {
    if (variant == Chromium)
        return QFile::exists(QStringLiteral("/usr/bin/chromium"))
                   ? QStringLiteral("/usr/bin/chromium")
                   : QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (variant == Falkon)
        return QStandardPaths::findExecutable(QStringLiteral("falkon"));
    return QString();
}

QStringList peerArguments(Variant variant, const QTemporaryDir& dir, const QList<Window>& windows,
                          QProcessEnvironment* env) {
    QStringList args;
    if (variant == Chromium) {
        args
            << QStringLiteral("--user-data-dir=") + dir.filePath(QStringLiteral("profile"))
            << QStringLiteral("--no-first-run") << QStringLiteral("--no-default-browser-check")
            << QStringLiteral("--password-store=basic")
            << QStringLiteral("--disable-gpu")
            // Nothing of its own from the network in the middle of a
            // measurement.
            << QStringLiteral("--disable-background-networking")
            << QStringLiteral("--disable-component-update")
            << QStringLiteral("--disable-extensions") << QStringLiteral("--window-position=0,0")
            << QStringLiteral("--window-size=%1,%2").arg(FrameSize.width()).arg(FrameSize.height());
        if (::geteuid() == 0)
            args << QStringLiteral("--no-sandbox");
    } else {
        // Falkon keeps its profile in the XDG folders; new ones make a new
        // profile. --no-remote: never hand the addresses to another Falkon.
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            const QString folder = dir.filePath(QString::fromLatin1(name).toLower());
            QDir().mkpath(folder);
            env->insert(QString::fromLatin1(name), folder);
        }
        args << QStringLiteral("--no-remote") << QStringLiteral("--no-extensions");
    }
    for (const Window& w : windows)
        args << w.url;
    return args;
}

void OutputTail::add(const QByteArray& data) {
    m_partial += data;
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        const QByteArray line = m_partial.left(end).trimmed();
        m_partial.remove(0, end + 1);
        if (line.isEmpty())
            continue;
        if (line.startsWith("windows "))
            m_windowsLine = line;
        m_lines << line;
        if (m_lines.size() > 3)
            m_lines.removeFirst();
    }
}

QString OutputTail::text() const {
    return QString::fromLocal8Bit(m_lines.join(" | "));
}

namespace {
bool isAlive(qint64 pid) {
    const QList<QByteArray> fields =
        TreeMemory::statFields(TreeMemory::readProcFile(QStringLiteral("/proc/%1/stat").arg(pid)));
    return !fields.isEmpty() && fields.at(0) != "Z";
}
} // namespace

void endChild(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    const QList<qint64> helpers = treePids(process.processId()).mid(1);
    process.terminate();
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, EndTimeoutMs, 20)) {
        process.kill();
        process.waitForFinished(5000);
    }
    const auto anyAlive = [&] { return std::any_of(helpers.begin(), helpers.end(), isAlive); };
    if (!waitUntil([&] { return !anyAlive(); }, 10000, 20)) {
        for (qint64 pid : helpers)
            if (isAlive(pid))
                ::kill(pid_t(pid), SIGKILL);
        waitUntil([&] { return !anyAlive(); }, 5000, 20);
    }
}

} // namespace bench
