#include "DrivenKorvix.h"

#include "ReportServer.h"
#include "XSession.h"

#include "common/Twips.h"
#include "prefs/model/Prefer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

namespace bench {

namespace {

constexpr int WindowTimeoutMs = 60000;
// Discarded after a minute hidden; a little more for the last of them.
constexpr int SleepAtLeastMs = 70000;
constexpr int SleepAtMostMs = 180000;
// The renderers left when every hidden page is discarded: the site of the
// window in sight, and one the engine may keep spare.
constexpr int AsleepRenderers = 3;

// The X server stamps events with 32 bits of its monotonic milliseconds
// (Xvfb on Linux reads the same clock as this process); the full time is
// the one shortly before the event arrived with those low bits.
qint64 placeXTime(quint64 xMs, qint64 receivedUs) {
    const qint64 received = receivedUs / 1000;
    const auto behind = qint32(quint32(received) - quint32(xMs));
    return behind >= -5 && behind <= 10000 ? (received - behind) * 1000 : -1;
}

QList<Input> readInputs(const QString& path) {
    QList<Input> inputs;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return inputs;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() != 4)
            continue;
        Input in;
        in.kind = f.at(0);
        in.receivedUs = f.at(2).toLongLong();
        in.paintedUs = f.at(3).toLongLong();
        in.sentUs = placeXTime(f.at(1).toULongLong(), in.receivedUs);
        inputs << in;
    }
    return inputs;
}

// The stall report's gaps over 50 ms.
QList<Gap> readGaps(const QString& path, QByteArray* longest) {
    QList<Gap> gaps;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return gaps;
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    *longest = lines.value(0);
    for (const QByteArray& line : lines) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3 && f.at(0) == "gap")
            gaps.append({f.at(1).toLongLong(), f.at(2).toLongLong()});
    }
    return gaps;
}

} // namespace

bool DrivenKorvix::start(int windows, int sites, QSize frame) {
    if (!m_dir.isValid()) {
        m_failure = QStringLiteral("no temporary folder");
        return false;
    }
    Case c;
    c.windows = windows;
    c.sites = sites;
    c.maximized = true;
    m_server.beginRound();
    const QString program =
        prepareKorvix(m_dir, windowsOf(c, m_server), true, &m_failure, [frame](Prefer& prefs) {
            prefs.MdiWidth = clampInt16(pxToTwips(frame.width()));
            prefs.MdiHeight = clampInt16(pxToTwips(frame.height()));
            prefs.TabStrip = 1;
            prefs.TabAlign = 2;
        });
    if (program.isEmpty())
        return false;
    m_windows = windows;
    QProcessEnvironment env = childEnvironment(Korvix, m_x.display());
    env.insert(QStringLiteral("KORVIX_STALL_REPORT"), stallPath());
    env.insert(QStringLiteral("KORVIX_INPUT_REPORT"), inputPath());
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_dir.path());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_process, &QProcess::readyRead, &m_process,
                     [this] { m_tail.add(m_process.readAll()); });
    waitForQuietMachine();
    m_startNs = monotonicNs();
    m_process.start(program, {});
    if (!m_process.waitForStarted(10000)) {
        m_failure = QStringLiteral("does not start: %1").arg(m_process.errorString());
        return false;
    }
    m_frame = m_x.waitForWindow(m_process.processId(), QStringLiteral("Korvix"), WindowTimeoutMs);
    if (m_frame.isEmpty()) {
        m_failure = QStringLiteral("no frame window on %1 within %2 s")
                        .arg(m_x.display())
                        .arg(WindowTimeoutMs / 1000);
        return false;
    }
    m_x.focus(m_frame);
    return true;
}

bool DrivenKorvix::waitForAllLoaded() {
    waitUntil(
        [&] {
            return m_server.loadedCount() >= m_windows || m_process.state() == QProcess::NotRunning;
        },
        LoadTimeoutMs, 20);
    if (m_server.loadedCount() >= m_windows)
        return true;
    m_failure = m_process.state() == QProcess::NotRunning
                    ? QStringLiteral("ended early (exit code %1)").arg(m_process.exitCode())
                    : QStringLiteral("%1 of %2 loaded within %3 s")
                          .arg(m_server.loadedCount())
                          .arg(m_windows)
                          .arg(LoadTimeoutMs / 1000);
    return false;
}

// The frame's title.
QString DrivenKorvix::frameName() {
    QString name = m_x.windowName(m_frame);
    // Qt makes the frame's X window anew when the first web view needs
    // OpenGL; the old one is gone then.
    if (name.isEmpty()) {
        m_frame = m_x.waitForWindow(m_process.processId(), QStringLiteral("Korvix"), 5000);
        name = m_x.windowName(m_frame);
    }
    return name;
}

// The page in sight, from the frame's title ("Seite <n>"), or 0.
int DrivenKorvix::shownWindow() {
    static const QRegularExpression page(QStringLiteral("Seite (\\d+)"));
    const QRegularExpressionMatch m = page.match(frameName());
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// Clicks and returns the page in sight once the title names another,
// or what it names after `waitMs`. A page that is still coming (it was
// discarded, or the window is new) names none until it is there; that
// is waited for a while longer. 0 when the title names no page.
int DrivenKorvix::clickAndRead(QPoint at, int before, int waitMs) {
    constexpr int ComingMs = 5000;
    m_x.click(at);
    int now = before;
    waitUntil(
        [&] {
            now = shownWindow();
            return now != before && now > 0;
        },
        waitMs, 10);
    if (now == 0)
        waitUntil(
            [&] {
                now = shownWindow();
                return now > 0;
            },
            ComingMs, 10);
    return now;
}

// The row of the tab strip, placed at the bottom of the frame: up from
// the frame's bottom edge until a click there shows another page.
// Between the status bar and the strip there is nothing else to click.
bool DrivenKorvix::findStripRow() {
    // The frame's title follows the window in sight, which is the top
    // one once all are there and its page has come.
    if (!waitUntil([this] { return shownWindow() == m_windows; }, WindowTimeoutMs, 50)) {
        m_failure = QStringLiteral("the top window's page not in sight within %1 s (title "
                                   "\"%2\")")
                        .arg(WindowTimeoutMs / 1000)
                        .arg(m_x.windowName(m_frame));
        return false;
    }
    const QRect g = m_x.windowGeometry(m_frame);
    m_left = g.x();
    m_top = g.y();
    m_width = g.width();
    const QString shown = frameName();
    // Up from the bottom edge: the strip lies just above the status bar,
    // a few clicks away, and the windows are still loading.
    for (int y = g.bottom() - 2; y > g.bottom() - 250; y -= 5) {
        m_x.click(QPoint(g.x() + 12, y));
        // Any other title will do: the page of a tab clicked while the
        // windows load may not have come yet.
        if (waitUntil([&] { return frameName() != shown; }, 80, 10)) {
            // The bottom pixel rows of the tabs; a little higher is safely
            // inside them.
            m_row = y - 8;
            // Keys go to the window with the input focus, and the one
            // focused at the start may have been made anew since.
            frameName();
            m_x.focus(m_frame);
            return true;
        }
    }
    m_failure = QStringLiteral("no tab strip found below the page");
    return false;
}

// Where the tabs in sight are: clicks along the strip, leaving out its
// ends, where a tab only partly in sight would scroll the strip. Each
// position is clicked again to check it; a miss means the strip moved,
// and the walk is done once more.
QMap<int, int> DrivenKorvix::mapTabs() {
    QMap<int, int> centres;
    for (int attempt = 0; attempt < 2; ++attempt) {
        QMap<int, QPair<int, int>> spans;
        int shown = shownWindow();
        for (int x = m_left + 60; x < m_left + m_width - 160; x += 16) {
            const int now = clickAndRead(QPoint(x, m_row), shown, 300);
            // No change is the same tab only right next to where it was
            // last hit; further on it is the empty end of the strip.
            const bool changed = now != shown;
            shown = now;
            if (shown <= 0)
                continue;
            auto it = spans.find(shown);
            if (it == spans.end())
                spans.insert(shown, {x, x});
            else if (changed || it->second >= x - 16)
                it->second = x;
        }
        centres.clear();
        bool moved = false;
        for (auto it = spans.cbegin(); it != spans.cend(); ++it) {
            const int x = (it->first + it->second) / 2;
            const int now = clickAndRead(QPoint(x, m_row), shown, 1000);
            if (now == it.key())
                centres.insert(it.key(), x);
            else
                moved = true;
            shown = now;
        }
        if (!moved)
            break;
    }
    return centres;
}

// Until every hidden page is discarded: the renderers of their sites
// have ended. Returns the seconds waited.
double DrivenKorvix::waitForSleep(int* renderersBefore, int* renderersAfter) {
    const qint64 pid = m_process.processId();
    *renderersBefore = measureTreeOf(pid, false).renderers;
    QElapsedTimer waited;
    waited.start();
    waitUntil([] { return false; }, SleepAtLeastMs, 100);
    int calm = 0;
    waitUntil(
        [&] {
            *renderersAfter = measureTreeOf(pid, false).renderers;
            calm = *renderersAfter <= AsleepRenderers ? calm + 1 : 0;
            return calm >= 3;
        },
        SleepAtMostMs - SleepAtLeastMs, 1000);
    return double(waited.elapsed()) / 1000.0;
}

void DrivenKorvix::end() {
    if (m_ended)
        return;
    m_ended = true;
    if (m_process.state() != QProcess::NotRunning) {
        endChild(m_process);
        m_tail.add(m_process.readAll());
    }
    m_inputs = readInputs(inputPath());
    m_gaps = readGaps(stallPath(), &m_longestStall);
}

QString DrivenKorvix::failure() const {
    return m_tail.text().isEmpty() ? m_failure
                                   : m_failure + QStringLiteral("; last output: ") + m_tail.text();
}

} // namespace bench
