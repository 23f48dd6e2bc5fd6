#include "VersusInput.h"

#include "BenchSupport.h"
#include "DrivenKorvix.h"
#include "ReportServer.h"
#include "XSession.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

constexpr int WakeCount = 20;
constexpr int ReferencePages = 5;
constexpr int AnswerTimeoutMs = 30000;
// A page that woke without reloading (it was frozen, not discarded) sends
// no new load report; after its paint it is given this long for one.
constexpr int LoadAfterPaintMs = 3000;
// Between two steps, so each is measured on its own.
constexpr int PauseMs = 1000;
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

    const int inSight = korvix.shownWindow();
    tabs.remove(inSight);

    int renderersBefore = -1;
    int renderersAfter = -1;
    const double slept = korvix.waitForSleep(&renderersBefore, &renderersAfter);
    std::printf(
        "  waited %.0f s for the hidden pages to sleep: renderers %d, then %d; PSS %.1f MB\n",
        slept, renderersBefore, renderersAfter, korvix.pssMb());
    std::fflush(stdout);

    // The first page of the running program: an address typed into the
    // address box of the window in sight. Typed once the hidden pages
    // sleep, so it finds the processes as a woken window does: no renderer
    // of its site left.
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
    while (server.loadedCount() < windows && korvix.running() &&
           batch.elapsed() < DrivenKorvix::LoadTimeoutMs) {
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
