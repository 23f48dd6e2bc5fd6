#include "VersusInput.h"

#include "BenchSupport.h"
#include "ReportServer.h"
#include "VersusChild.h"
#include "XSession.h"

#include "common/Twips.h"
#include "prefs/model/Prefer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

constexpr int LoadTimeoutMs = 420000;
constexpr int WindowTimeoutMs = 60000;
constexpr int WakeCount = 20;
constexpr int ReferencePages = 5;
constexpr int AnswerTimeoutMs = 30000;
// A page that woke without reloading (it was frozen, not discarded) sends
// no new load report; after its paint it is given this long for one.
constexpr int LoadAfterPaintMs = 3000;
// Between two steps, so each is measured on its own.
constexpr int PauseMs = 1000;
// Discarded after a minute hidden; a little more for the last of them.
constexpr int SleepAtLeastMs = 70000;
constexpr int SleepAtMostMs = 180000;
// The renderers left when every hidden page is discarded: the site of the
// window in sight, and one the engine may keep spare.
constexpr int AsleepRenderers = 3;
// A wider frame in the waking case, so more tabs are in sight at once.
constexpr QSize WideFrame(1900, 1024);
constexpr qint64 StallMs = 50;
constexpr int ActionEveryMs = 500;
// Inside the menu bar's first title, "Datei", from the frame's corner (the
// maximized window's icon comes before it).
constexpr QPoint MenuTitleAt(40, 9);

qint64 nowUs() {
    return monotonicNs() / 1000;
}

double median(QList<double> values) {
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

double worst(const QList<double>& values) {
    return values.isEmpty() ? -1 : *std::max_element(values.begin(), values.end());
}

QString ms(double v) {
    return v < 0 ? QStringLiteral("n/a") : QString::number(v, 'f', 0) + QStringLiteral(" ms");
}

QString ratio(double a, double b) {
    return a < 0 || b <= 0 ? QStringLiteral("n/a") : QString::number(a / b, 'f', 2);
}

// One line of Korvix's input report.
struct Input {
    QByteArray kind;
    // The X server's time of the event on the monotonic clock, in us, or
    // -1 where it cannot be placed there.
    qint64 sentUs = -1;
    qint64 receivedUs = -1;
    qint64 paintedUs = -1;
    // From the event as the X server stamped it, else from its arrival.
    qint64 fromUs() const { return sentUs >= 0 ? sentUs : receivedUs; }
};

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

struct Gap {
    qint64 lengthMs;
    qint64 endMs;
};

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

// Gaps that overlap [fromUs, toUs].
QString stallsBetween(const QList<Gap>& gaps, qint64 fromUs, qint64 toUs) {
    int count = 0;
    qint64 longest = 0;
    for (const Gap& g : gaps) {
        const qint64 endUs = g.endMs * 1000;
        if (endUs >= fromUs && endUs - g.lengthMs * 1000 <= toUs) {
            ++count;
            longest = qMax(longest, g.lengthMs);
        }
    }
    return count == 0 ? QStringLiteral("none over %1 ms").arg(StallMs)
                      : QStringLiteral("%1 over %2 ms, the longest %3 ms")
                            .arg(count)
                            .arg(StallMs)
                            .arg(longest);
}

// Korvix with many maximized windows and its tab strip, on the X display,
// with its stall and input reports switched on.
class DrivenKorvix {
public:
    DrivenKorvix(ReportServer& server, const XSession& x) : m_server(server), m_x(x) {}
    ~DrivenKorvix() { end(); }

    bool start(int windows, int sites, QSize frame) {
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
        m_frame =
            m_x.waitForWindow(m_process.processId(), QStringLiteral("Korvix"), WindowTimeoutMs);
        if (m_frame.isEmpty()) {
            m_failure = QStringLiteral("no frame window on %1 within %2 s")
                            .arg(m_x.display())
                            .arg(WindowTimeoutMs / 1000);
            return false;
        }
        m_x.focus(m_frame);
        return true;
    }

    bool waitForAllLoaded() {
        waitUntil(
            [&] {
                return m_server.loadedCount() >= m_windows ||
                       m_process.state() == QProcess::NotRunning;
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
    QString frameName() {
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
    int shownWindow() {
        static const QRegularExpression page(QStringLiteral("Seite (\\d+)"));
        const QRegularExpressionMatch m = page.match(frameName());
        return m.hasMatch() ? m.captured(1).toInt() : 0;
    }

    // Clicks and returns the page in sight once the title names another,
    // or what it names after `waitMs`. A page that is still coming (it was
    // discarded, or the window is new) names none until it is there; that
    // is waited for a while longer. 0 when the title names no page.
    int clickAndRead(QPoint at, int before, int waitMs) {
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

    // The row of the tab strip, placed at the bottom of the frame: down
    // from the page in sight until a click there shows another page.
    // Between the pages and the strip there is nothing else to click.
    bool findStripRow() {
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
        for (int y = g.bottom() - 250; y < g.bottom(); y += 5) {
            m_x.click(QPoint(g.x() + 12, y));
            // Any other title will do: the page of a tab clicked while the
            // windows load may not have come yet.
            if (waitUntil([&] { return frameName() != shown; }, 80, 10)) {
                // The top pixel rows of the tabs; a little lower is safely
                // inside them.
                m_row = y + 5;
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
    QMap<int, int> mapTabs() {
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
    double waitForSleep(int* renderersBefore, int* renderersAfter) {
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

    double pssMb() const { return measureTreeOf(m_process.processId()).megabytes; }
    bool running() const { return m_process.state() != QProcess::NotRunning; }

    void end() {
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

    const QList<Input>& inputs() const { return m_inputs; }
    const QList<Gap>& gaps() const { return m_gaps; }
    QByteArray longestStall() const { return m_longestStall; }
    QString failure() const {
        return m_tail.text().isEmpty()
                   ? m_failure
                   : m_failure + QStringLiteral("; last output: ") + m_tail.text();
    }
    int row() const { return m_row; }
    int left() const { return m_left; }
    int top() const { return m_top; }
    qint64 startNs() const { return m_startNs; }
    const XSession& x() const { return m_x; }

private:
    QString stallPath() const { return m_dir.filePath(QStringLiteral("stall.txt")); }
    QString inputPath() const { return m_dir.filePath(QStringLiteral("input.txt")); }

    ReportServer& m_server;
    const XSession& m_x;
    QTemporaryDir m_dir;
    QProcess m_process;
    OutputTail m_tail;
    QString m_failure;
    // Changes when Qt makes the window anew.
    QString m_frame;
    int m_windows = 0;
    int m_left = 0;
    int m_top = 0;
    int m_width = 0;
    int m_row = -1;
    qint64 m_startNs = 0;
    bool m_ended = false;
    QList<Input> m_inputs;
    QList<Gap> m_gaps;
    QByteArray m_longestStall;
};

// The first input of that kind that arrived at or after `fromUs`.
const Input* inputAfter(const QList<Input>& inputs, const char* kind, qint64 fromUs) {
    for (const Input& in : inputs)
        if (in.kind == kind && in.receivedUs >= fromUs)
            return &in;
    return nullptr;
}

// One step measured from outside: from when it was sent to the page's
// reports.
struct Step {
    int window = 0;
    qint64 sentNs = 0;
    qint64 loadedNs = -1;
    qint64 paintedNs = -1;
};

// Waits for the window's paint report and its load report; a page that
// paints without loading gets a short while more for the load.
void waitForReports(ReportServer& server, Step& step) {
    qint64 paintSeenNs = -1;
    waitUntil(
        [&] {
            step.loadedNs = server.reportAfterNs(ReportServer::Loaded, step.window, step.sentNs);
            step.paintedNs = server.reportAfterNs(ReportServer::Painted, step.window, step.sentNs);
            if (step.paintedNs >= 0 && paintSeenNs < 0)
                paintSeenNs = monotonicNs();
            return step.paintedNs >= 0 &&
                   (step.loadedNs >= 0 ||
                    monotonicNs() - paintSeenNs > qint64(LoadAfterPaintMs) * 1000000);
        },
        AnswerTimeoutMs, 5);
}

// Times from the input (as the X server stamped it, when the report has it)
// to the reports, in ms.
void timesOf(const QList<Step>& steps, const QList<Input>& inputs, const char* kind,
             QList<double>* loads, QList<double>* paints, int* stamped) {
    for (const Step& s : steps) {
        qint64 fromNs = s.sentNs;
        if (const Input* in = inputAfter(inputs, kind, s.sentNs / 1000);
            in && in->sentUs >= 0 && in->receivedUs - s.sentNs / 1000 < 10000000) {
            fromNs = in->sentUs * 1000;
            ++*stamped;
        }
        if (s.loadedNs >= 0)
            *loads << double(s.loadedNs - fromNs) / 1e6;
        if (s.paintedNs >= 0)
            *paints << double(s.paintedNs - fromNs) / 1e6;
    }
}

bool readyForInput(const XSession* x, const char* name) {
    if (!x) {
        std::printf("%s\n  left out: no X display\n", name);
        return false;
    }
    if (!XSession::hasXdotool()) {
        std::printf("%s\n  left out: no xdotool installed\n", name);
        return false;
    }
    return true;
}

} // namespace

void wakingCase(ReportServer& server, const XSession* x, int windows, int sites) {
    const QByteArray title =
        QStringLiteral("d. %1 sleeping windows of %2 over %3 sites clicked to the front through "
                       "the tab strip (Korvix, frame %4x%5)")
            .arg(WakeCount)
            .arg(windows)
            .arg(sites)
            .arg(WideFrame.width())
            .arg(WideFrame.height())
            .toUtf8();
    if (!readyForInput(x, title.constData()))
        return;
    std::printf("%s\n", title.constData());
    std::fflush(stdout);
    DrivenKorvix korvix(server, *x);
    if (!korvix.start(windows, sites, WideFrame) || !korvix.waitForAllLoaded() ||
        !korvix.findStripRow()) {
        std::printf("  failed: %s\n", qPrintable(korvix.failure()));
        return;
    }
    QMap<int, int> tabs = korvix.mapTabs();
    std::printf("  all %d loaded after %.1f s; tab strip at y %d with %d tabs in sight\n", windows,
                double(server.lastLoadedNs() - korvix.startNs()) / 1e9, korvix.row(),
                int(tabs.size()));
    std::fflush(stdout);

    // The first page of the running program: an address typed into the
    // address box of the window in sight.
    QList<Step> reference;
    for (int i = 1; i <= ReferencePages; ++i) {
        Step step;
        step.window = 5000 + i;
        x->key({QStringLiteral("ctrl+l")});
        x->type(server.pageUrl((i - 1) % sites + 1, step.window));
        step.sentNs = monotonicNs();
        x->key({QStringLiteral("Return")});
        waitForReports(server, step);
        reference << step;
        waitUntil([] { return false; }, PauseMs, 50);
    }
    const int inSight = korvix.shownWindow();
    tabs.remove(inSight);

    int renderersBefore = -1;
    int renderersAfter = -1;
    const double slept = korvix.waitForSleep(&renderersBefore, &renderersAfter);
    std::printf(
        "  waited %.0f s for the hidden pages to sleep: renderers %d, then %d; PSS %.1f MB\n",
        slept, renderersBefore, renderersAfter, korvix.pssMb());
    std::fflush(stdout);

    QList<Step> woken;
    for (auto it = tabs.cbegin(); it != tabs.cend() && woken.size() < WakeCount; ++it) {
        Step step;
        step.window = it.key();
        step.sentNs = monotonicNs();
        x->click(QPoint(it.value(), korvix.row()));
        waitForReports(server, step);
        woken << step;
        waitUntil([] { return false; }, PauseMs, 50);
    }
    const qint64 wakeFromUs = woken.isEmpty() ? 0 : woken.first().sentNs / 1000;
    qint64 wakeToUs = wakeFromUs;
    for (const Step& s : woken)
        wakeToUs = qMax(wakeToUs, qMax(s.loadedNs, s.paintedNs) / 1000);
    korvix.end();

    QList<double> refLoads, refPaints, loads, paints;
    int refStamped = 0, stamped = 0;
    timesOf(reference, korvix.inputs(), "key", &refLoads, &refPaints, &refStamped);
    timesOf(woken, korvix.inputs(), "press", &loads, &paints, &stamped);
    std::printf("  first page of the running program (typed address, Return): %d pages; load "
                "report median %s, worst %s; first paint median %s, worst %s\n",
                int(reference.size()), qPrintable(ms(median(refLoads))),
                qPrintable(ms(worst(refLoads))), qPrintable(ms(median(refPaints))),
                qPrintable(ms(worst(refPaints))));
    std::printf("  woken by a click on their tab: %d windows, %d reloaded, %d painted; load report "
                "median %s, worst %s; first paint median %s, worst %s\n",
                int(woken.size()), int(loads.size()), int(paints.size()),
                qPrintable(ms(median(loads))), qPrintable(ms(worst(loads))),
                qPrintable(ms(median(paints))), qPrintable(ms(worst(paints))));
    std::printf("  woken/running first page, load: median %s (goal 1.2 or less), worst %s (goal 2 "
                "or less)\n",
                qPrintable(ratio(median(loads), median(refLoads))),
                qPrintable(ratio(worst(loads), median(refLoads))));
    std::printf("  woken/running first page, paint: median %s, worst %s\n",
                qPrintable(ratio(median(paints), median(refPaints))),
                qPrintable(ratio(worst(paints), median(refPaints))));
    std::printf("  times from the input as the X server stamped it: %d of %d keys, %d of %d "
                "clicks (the others from when xdotool was started)\n",
                refStamped, int(reference.size()), stamped, int(woken.size()));
    std::printf("  frame stalls while waking: %s\n",
                qPrintable(stallsBetween(korvix.gaps(), wakeFromUs, wakeToUs)));
}

void responsivenessCase(ReportServer& server, const XSession* x, int windows, int sites) {
    const QByteArray title =
        QStringLiteral("e. input while %1 maximized windows over %2 sites load: from the input "
                       "event to the frame's next paint (Korvix)")
            .arg(windows)
            .arg(sites)
            .toUtf8();
    if (!readyForInput(x, title.constData()))
        return;
    std::printf("%s\n", title.constData());
    std::fflush(stdout);
    DrivenKorvix korvix(server, *x);
    if (!korvix.start(windows, sites, FrameSize) || !korvix.findStripRow()) {
        std::printf("  failed: %s\n", qPrintable(korvix.failure()));
        return;
    }
    enum Kind { TabClick, Typing, Menu, KindCount };
    const char* names[KindCount] = {"tab click", "typing in the address box",
                                    "menu opened (click)"};
    struct Action {
        Kind kind;
        qint64 fromUs;
        qint64 toUs;
    };
    QList<Action> actions;
    const qint64 firstUs = nowUs();
    int next = 0;
    QElapsedTimer batch;
    batch.start();
    while (server.loadedCount() < windows && korvix.running() && batch.elapsed() < LoadTimeoutMs) {
        Action a{Kind(next++ % KindCount), nowUs(), 0};
        switch (a.kind) {
        case TabClick:
            x->click(QPoint(korvix.left() + 60, korvix.row()));
            break;
        case Typing:
            x->key({QStringLiteral("ctrl+l")});
            x->type(QStringLiteral("seite"));
            x->key({QStringLiteral("Escape")});
            break;
        case Menu:
            // A click on "Datei", the first title of the menu bar: Alt+D
            // does not reach the menu bar while a page has the focus.
            x->click(QPoint(korvix.left() + MenuTitleAt.x(), korvix.top() + MenuTitleAt.y()));
            waitUntil([] { return false; }, 300, 20);
            x->key({QStringLiteral("Escape")});
            break;
        case KindCount:
            break;
        }
        a.toUs = nowUs();
        actions << a;
        waitUntil([&] { return server.loadedCount() >= windows; }, ActionEveryMs, 20);
    }
    const int loaded = server.loadedCount();
    const qint64 lastUs = nowUs();
    korvix.end();

    // Each input belongs to the action that was under way when it was sent.
    std::array<QList<double>, KindCount> latencies;
    std::array<int, KindCount> unpainted{};
    for (const Input& in : korvix.inputs()) {
        const qint64 at = in.fromUs();
        // Ctrl or Alt alone changes nothing on screen.
        if (at < firstUs || in.kind == "modifier")
            continue;
        const Action* owner = nullptr;
        for (const Action& a : actions)
            if (a.fromUs <= at + 5000)
                owner = &a;
        // Escape closing a menu uncovers what the frame has drawn already;
        // nothing needs painting then.
        if (!owner || (owner->kind == Menu && in.kind != "press"))
            continue;
        if (in.paintedUs < 0)
            ++unpainted[owner->kind];
        else
            latencies[owner->kind] << double(in.paintedUs - at) / 1000.0;
    }
    std::printf("  %d of %d loaded while %d inputs were given over %.1f s (each event counts; Ctrl "
                "and Alt pressed alone do not)\n",
                loaded, windows, int(actions.size()), double(lastUs - firstUs) / 1e6);
    QList<double> all;
    for (int k = 0; k < KindCount; ++k) {
        std::printf("  %-27s %3d events; to the next paint median %s, worst %s%s\n", names[k],
                    int(latencies[k].size()), qPrintable(ms(median(latencies[k]))),
                    qPrintable(ms(worst(latencies[k]))),
                    unpainted[k]
                        ? qPrintable(QStringLiteral("; %1 without a paint").arg(unpainted[k]))
                        : "");
        all << latencies[k];
    }
    std::printf("  all inputs: median %s, worst %s (goal: worst 50 ms or less)\n",
                qPrintable(ms(median(all))), qPrintable(ms(worst(all))));
    std::printf("  frame stalls meanwhile: %s\n",
                qPrintable(stallsBetween(korvix.gaps(), firstUs, lastUs)));
}

} // namespace bench
