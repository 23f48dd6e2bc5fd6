// Korvix against a bare engine shell (korvix_bare_shell: an MDI area of plain
// web views and nothing else) and against the browsers a user would pick
// instead, Chromium and Falkon, when they are installed; all started as
// child processes on the same pages in the same run. The bare shell runs
// twice, with the engine's default process model and with
// --process-per-site, the model Korvix picks itself.
//
//   a. the first page of one window, from process start (median of 5 starts)
//   b. 50 normal windows, all in sight, on one site
//   c. 300 maximized windows over 30 sites (127.0.0.1 to 127.0.0.30)
//   d. Korvix only: 20 of those windows woken from sleep through the tab strip
//   e. Korvix only: tab clicks, typing and a menu while the 300 load
//
// Every page reports its load event to the server in this process, which
// runs on a thread of its own and notes the time of each report; memory is
// the proportional set size of the child's whole process tree. The
// browsers need a real X display, and d and e real input: the benchmark
// starts an Xvfb of its own (or uses the one --display names) and runs every
// program there, so all columns are drawn the same way.
//
//   korvix_bench_versus [--runs N] [--quick] [--case a|b|c|d|e] [--korvix-only]
//                       [--display :N | --offscreen] [--windows N]
//
// --korvix-only leaves the others out, for quick rounds while tuning;
// --offscreen runs Korvix and the bare shell on Qt's offscreen platform as
// before and leaves the browsers and cases d and e out; --windows sets the
// number of windows of cases c, d and e for trial runs.
#include "BenchSupport.h"
#include "ReportServer.h"
#include "VersusChild.h"
#include "VersusInput.h"
#include "XSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <unistd.h>

#ifndef KORVIX_EXECUTABLE
#error "KORVIX_EXECUTABLE must name the built program"
#endif
#ifndef KORVIX_BARE_SHELL
#error "KORVIX_BARE_SHELL must name the bare shell"
#endif

using namespace bench;

namespace {

constexpr int FirstPageStarts = 5;
constexpr int ManyWindows = 50;
constexpr int Sites = 30;
constexpr int SampleMs = 250;
constexpr int LaterMs = 15000;
// The screen of the benchmark's own Xvfb: room for the frame, and for a
// wider frame in the waking case, where more tabs fit in the strip.
constexpr QSize ScreenSize(1920, 1200);

// Upper bounds for one child; a child still loading then is ended.
constexpr int FirstPageTimeoutMs = 60000;
constexpr int ManyWindowsTimeoutMs = 240000;
constexpr int MaximizedTimeoutMs = 420000;
// The browsers get less in case c: Chromium loads none of its 300 tabs in
// five minutes, Falkon only the one in sight, and a run of all programs
// should stay within a quarter of an hour.
constexpr int PeerMaximizedTimeoutMs = 150000;
// A browser whose count of load reports has not grown for this long is
// taken as done loading what it will load.
constexpr int PeerIdleMs = 45000;

int g_maximizedWindows = 300;
bool g_korvixOnly = false;
XSession* g_x = nullptr;

struct Figures {
    QString failure;
    QString lastOutput;
    double topLoadedMs = -1;
    double windowsMs = -1;
    double allLoadedMs = -1;
    int loaded = 0;
    int expected = 0;
    int pageRequests = 0;
    double peakMb = -1;
    double endMb = -1;
    double laterMb = -1;
    int processes = -1;
    QString stall;
};

QString display() {
    return g_x ? g_x->display() : QString();
}

bool leftOut(Variant variant, QString* why) {
    if (g_korvixOnly && variant != Korvix) {
        *why = QStringLiteral("left out");
        return true;
    }
    if (!isPeer(variant))
        return false;
    if (!g_x) {
        *why = QStringLiteral("left out: no X display");
        return true;
    }
    if (peerProgram(variant).isEmpty()) {
        *why = QStringLiteral("not installed");
        return true;
    }
    return false;
}

Figures runChild(Variant variant, const Case& c, ReportServer& server) {
    Figures f;
    if (leftOut(variant, &f.failure))
        return f;
    f.expected = c.windows;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        f.failure = QStringLiteral("no temporary folder");
        return f;
    }
    server.beginRound();
    const QList<Window> windows = windowsOf(c, server);
    QString program;
    QStringList args;
    QProcessEnvironment env = childEnvironment(variant, display());
    const QString stallPath = dir.filePath(QStringLiteral("stall.txt"));
    if (variant == Korvix) {
        program = prepareKorvix(dir, windows, c.maximized, &f.failure);
        if (program.isEmpty())
            return f;
        // A single address goes on the command line; it opens maximized.
        if (windows.size() == 1)
            args << windows.first().url;
        env.insert(QStringLiteral("KORVIX_STALL_REPORT"), stallPath);
    } else if (isPeer(variant)) {
        program = peerProgram(variant);
        args = peerArguments(variant, dir, windows, &env);
    } else {
        program = QStringLiteral(KORVIX_BARE_SHELL);
        args << QStringLiteral("--size")
             << QStringLiteral("%1x%2").arg(FrameSize.width()).arg(FrameSize.height());
        if (c.maximized)
            args << QStringLiteral("--maximized");
        QByteArray list;
        for (const Window& w : windows)
            list += w.url.toUtf8() + '\n';
        const QString listPath = dir.filePath(QStringLiteral("urls.txt"));
        if (!writeFile(listPath, list)) {
            f.failure = QStringLiteral("cannot write %1").arg(listPath);
            return f;
        }
        args << QStringLiteral("--list") << listPath;
        if (c.storedProfile)
            args << QStringLiteral("--profile") << dir.filePath(QStringLiteral("WebEngine"));
    }
    const int timeoutMs =
        isPeer(variant) && c.peerTimeoutMs > 0 ? qMin(c.timeoutMs, c.peerTimeoutMs) : c.timeoutMs;

    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    OutputTail tail;
    QObject::connect(&process, &QProcess::readyRead, &process,
                     [&] { tail.add(process.readAll()); });

    waitForQuietMachine();
    const qint64 startNs = monotonicNs();
    process.start(program, args);
    if (!process.waitForStarted(10000)) {
        f.failure = QStringLiteral("does not start: %1").arg(process.errorString());
        return f;
    }
    const qint64 pid = process.processId();
    QTimer sampler;
    const auto sample = [&] { f.peakMb = qMax(f.peakMb, measureTreeOf(pid).megabytes); };
    QObject::connect(&sampler, &QTimer::timeout, &sampler, sample);
    sampler.start(SampleMs);
    sample();

    // A browser that leaves its background tabs alone stops reporting
    // long before the bound; it is not waited for to the end.
    int lastCount = 0;
    qint64 lastChangeNs = startNs;
    bool idle = false;
    waitUntil(
        [&] {
            const int count = server.loadedCount();
            if (count != lastCount) {
                lastCount = count;
                lastChangeNs = monotonicNs();
            }
            idle = isPeer(variant) && count > 0 &&
                   monotonicNs() - lastChangeNs > qint64(PeerIdleMs) * 1000000;
            return count >= f.expected || idle || process.state() == QProcess::NotRunning;
        },
        timeoutMs, 20);
    sampler.stop();
    const auto sinceStart = [startNs](qint64 ns) {
        return ns < 0 ? -1.0 : double(ns - startNs) / 1e6;
    };
    f.loaded = server.loadedCount();
    if (f.loaded >= f.expected)
        f.allLoadedMs = sinceStart(server.lastLoadedNs());
    if (c.topWindow > 0)
        f.topLoadedMs = sinceStart(server.loadedAtNs(c.topWindow));

    if (process.state() == QProcess::NotRunning) {
        f.failure = QStringLiteral("ended early (exit code %1)").arg(process.exitCode());
    } else {
        const TreeStats end = measureTreeOf(pid);
        f.endMb = end.megabytes;
        f.peakMb = qMax(f.peakMb, f.endMb);
        f.processes = end.processes;
        if (f.loaded == 0)
            f.failure = QStringLiteral("no load within %1 s").arg(timeoutMs / 1000);
        else if (f.loaded < f.expected && idle)
            f.failure = QStringLiteral("%1 of %2 loaded, then none more within %3 s")
                            .arg(f.loaded)
                            .arg(f.expected)
                            .arg(PeerIdleMs / 1000);
        else if (f.loaded < f.expected)
            f.failure = QStringLiteral("%1 of %2 loaded within %3 s")
                            .arg(f.loaded)
                            .arg(f.expected)
                            .arg(timeoutMs / 1000);
        else if (variant == Korvix && c.laterMs > 0) {
            waitUntil([] { return false; }, c.laterMs, 50);
            f.laterMb = measureTreeOf(pid).megabytes;
        }
    }
    f.pageRequests = server.pageRequests();
    // When all windows existed is known from outside only where the program
    // says so: the bare shell on its output, Korvix in its stall report
    // (written when it ends), both as "windows <n> <monotonic ms>".
    tail.add(process.readAll());
    QByteArray windowsLine = tail.windowsLine();

    endChild(process);
    tail.add(process.readAll());
    f.lastOutput = tail.text();
    if (variant == Korvix) {
        QFile stall(stallPath);
        const QList<QByteArray> lines = stall.open(QIODevice::ReadOnly)
                                            ? stall.readAll().trimmed().split('\n')
                                            : QList<QByteArray>();
        f.stall = QString::fromUtf8(lines.value(0));
        windowsLine = lines.value(1);
    }
    const QList<QByteArray> created = windowsLine.split(' ');
    if (created.size() == 3 && created.at(1).toInt() == f.expected)
        f.windowsMs = sinceStart(created.at(2).toLongLong() * 1000000);
    return f;
}

// ---------------------------------------------------------------------------
// The table.

using Row = std::array<double, VariantCount>;

QString number(double v, int decimals) {
    return v < 0 ? QStringLiteral("n/a") : QString::number(v, 'f', decimals);
}

constexpr std::array<Variant, 4> RatioBases{Bare, BarePerSite, Chromium, Falkon};

void printHeader(const char* title) {
    std::printf("%s\n", title);
    std::printf("  %-29s", "");
    for (const char* name : VariantNames)
        std::printf(" %9s", name);
    for (Variant base : RatioBases)
        std::printf(" %15s", qPrintable(QStringLiteral("korvix/") + VariantNames[base]));
    std::printf("\n");
}

// Values below zero are not known; their ratios neither.
void printRow(const char* label, const Row& values, int decimals) {
    std::printf("  %-29s", label);
    for (double v : values)
        std::printf(" %9s", qPrintable(number(v, decimals)));
    for (Variant base : RatioBases)
        std::printf(" %15s", qPrintable(number(values[Korvix] >= 0 && values[base] > 0
                                                   ? values[Korvix] / values[base]
                                                   : -1.0,
                                               2)));
    std::printf("\n");
}

void printCounts(const char* label, const std::array<QString, VariantCount>& cells) {
    std::printf("  %-29s", label);
    for (const QString& cell : cells)
        std::printf(" %9s", qPrintable(cell));
    std::printf("\n");
}

// What went wrong, and Korvix's own word about its longest stall.
void printNotes(const std::array<Figures, VariantCount>& figures) {
    for (int v = 0; v < VariantCount; ++v) {
        const Figures& f = figures[v];
        if (!f.failure.isEmpty())
            std::printf("  %s: %s%s%s\n", VariantNames[v], qPrintable(f.failure),
                        f.lastOutput.isEmpty() ? "" : "; last output: ", qPrintable(f.lastOutput));
    }
    const QString& stall = figures[Korvix].stall;
    std::printf("  korvix stall: %s\n", stall.isEmpty() ? "n/a" : qPrintable(stall));
}

template <typename Pick> Row rowOf(const std::array<Figures, VariantCount>& figures, Pick pick) {
    Row row;
    for (int v = 0; v < VariantCount; ++v)
        row[v] = pick(figures[v]);
    return row;
}

double median(QList<double> values) {
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

void firstPage(ReportServer& server) {
    Case c;
    c.windows = 1;
    c.maximized = true;
    c.topWindow = 1;
    c.timeoutMs = FirstPageTimeoutMs;
    // Korvix keeps cookies and a disk cache in its folder; the bare shell
    // keeps nothing. The same bare shell with a stored profile in a new
    // folder shows what that costs a first start.
    Case stored = c;
    stored.storedProfile = true;
    std::array<QList<double>, VariantCount> times;
    std::array<QStringList, VariantCount> failures;
    QList<double> storedTimes;
    QStringList storedFailures;
    const auto note = [](const Figures& f, QList<double>& into, QStringList& failed) {
        if (f.topLoadedMs >= 0)
            into << f.topLoadedMs;
        else
            failed << (f.failure.isEmpty() ? QStringLiteral("no load report") : f.failure);
    };
    // Turn about, so a slow stretch of the machine falls on all of them.
    for (int start = 0; start < FirstPageStarts; ++start) {
        for (int v = 0; v < VariantCount; ++v)
            note(runChild(Variant(v), c, server), times[v], failures[v]);
        if (!g_korvixOnly)
            note(runChild(Bare, stored, server), storedTimes, storedFailures);
    }
    printHeader("a. first page: one window, from process start to its load report (median of 5 "
                "starts)");
    Row medians;
    for (int v = 0; v < VariantCount; ++v)
        medians[v] = median(times[v]);
    printRow("first page loaded, ms", medians, 0);
    const auto printStarts = [](const char* name, const QList<double>& each,
                                const QStringList& failed) {
        QStringList cells;
        for (double t : each)
            cells << QString::number(t, 'f', 0);
        std::printf(
            "  %s starts, ms: %s%s%s\n", name, qPrintable(cells.join(' ')),
            failed.isEmpty() ? "" : "; failed: ", qPrintable(failed.join(QStringLiteral(", "))));
    };
    for (int v = 0; v < VariantCount; ++v)
        printStarts(VariantNames[v], times[v], failures[v]);
    if (g_korvixOnly)
        return;
    const double storedMedian = median(storedTimes);
    std::printf("  bare with a stored profile    %10s %34s\n", qPrintable(number(storedMedian, 0)),
                qPrintable(QStringLiteral("korvix/that %1")
                               .arg(number(medians[Korvix] >= 0 && storedMedian > 0
                                               ? medians[Korvix] / storedMedian
                                               : -1,
                                           2))));
    printStarts("bare with a stored profile", storedTimes, storedFailures);
}

// The rows every case with many windows ends with.
void printProcessesAndCounts(const std::array<Figures, VariantCount>& figures) {
    printRow("processes at the end",
             rowOf(figures, [](const Figures& f) { return double(f.processes); }), 0);
    std::array<QString, VariantCount> reports;
    std::array<QString, VariantCount> requests;
    for (int v = 0; v < VariantCount; ++v) {
        reports[v] = QStringLiteral("%1/%2").arg(figures[v].loaded).arg(figures[v].expected);
        requests[v] = QString::number(figures[v].pageRequests);
    }
    printCounts("load reports", reports);
    printCounts("page requests", requests);
    printNotes(figures);
}

// The case once with each program, one after the other.
std::array<Figures, VariantCount> runEach(const Case& c, ReportServer& server) {
    std::array<Figures, VariantCount> figures;
    for (int v = 0; v < VariantCount; ++v)
        figures[v] = runChild(Variant(v), c, server);
    return figures;
}

void manyWindows(ReportServer& server) {
    Case c;
    c.windows = ManyWindows;
    c.timeoutMs = ManyWindowsTimeoutMs;
    const std::array<Figures, VariantCount> figures = runEach(c, server);
    printHeader(
        "b. 50 normal windows, all in sight, one site (the browsers: 50 tabs of one window)");
    printRow("all loaded, ms", rowOf(figures, [](const Figures& f) { return f.allLoadedMs; }), 0);
    printRow("PSS peak, MB", rowOf(figures, [](const Figures& f) { return f.peakMb; }), 1);
    printRow("PSS at the end, MB", rowOf(figures, [](const Figures& f) { return f.endMb; }), 1);
    printProcessesAndCounts(figures);
}

void maximizedWindows(ReportServer& server) {
    Case c;
    c.windows = g_maximizedWindows;
    c.sites = Sites;
    c.maximized = true;
    c.topWindow = g_maximizedWindows;
    c.timeoutMs = MaximizedTimeoutMs;
    c.peerTimeoutMs = PeerMaximizedTimeoutMs;
    c.laterMs = LaterMs;
    const std::array<Figures, VariantCount> figures = runEach(c, server);
    printHeader(
        qPrintable(QStringLiteral("c. %1 maximized windows over %2 sites (the browsers: tabs "
                                  "of one window, at most %3 s)")
                       .arg(g_maximizedWindows)
                       .arg(Sites)
                       .arg(PeerMaximizedTimeoutMs / 1000)));
    printRow("top window loaded, ms",
             rowOf(figures, [](const Figures& f) { return f.topLoadedMs; }), 0);
    printRow("all windows exist, ms", rowOf(figures, [](const Figures& f) { return f.windowsMs; }),
             0);
    printRow("all loaded, ms", rowOf(figures, [](const Figures& f) { return f.allLoadedMs; }), 0);
    printRow("PSS peak, MB", rowOf(figures, [](const Figures& f) { return f.peakMb; }), 1);
    printRow("PSS at the end, MB", rowOf(figures, [](const Figures& f) { return f.endMb; }), 1);
    printRow("PSS 15 s after all loaded, MB",
             rowOf(figures, [](const Figures& f) { return f.laterMb; }), 1);
    printProcessesAndCounts(figures);
}

} // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    QCoreApplication app(argc, argv);
    int runs = 3;
    bool quick = false;
    bool offscreen = false;
    QString givenDisplay;
    QString only; // one case: a to e
    const QStringList args = QCoreApplication::arguments();
    const QStringList cases{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                            QStringLiteral("d"), QStringLiteral("e")};
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--quick")) {
            quick = true;
        } else if (args.at(i) == QLatin1String("--case") && i + 1 < args.size() &&
                   cases.contains(args.at(i + 1))) {
            only = args.at(++i);
        } else if (args.at(i) == QLatin1String("--korvix-only")) {
            g_korvixOnly = true;
        } else if (args.at(i) == QLatin1String("--offscreen")) {
            offscreen = true;
        } else if (args.at(i) == QLatin1String("--display") && i + 1 < args.size()) {
            givenDisplay = args.at(++i);
        } else if (args.at(i) == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = args.at(++i).toInt();
        } else if (args.at(i) == QLatin1String("--windows") && i + 1 < args.size()) {
            g_maximizedWindows = args.at(++i).toInt();
        } else {
            std::fprintf(stderr, "usage: korvix_bench_versus [--runs N] [--quick] "
                                 "[--case a|b|c|d|e] [--korvix-only] [--display :N | --offscreen] "
                                 "[--windows N]\n");
            return 2;
        }
    }
    if (runs < 1 || g_maximizedWindows < 1) {
        std::fprintf(stderr, "--runs and --windows need a number above zero\n");
        return 2;
    }

    ReportServer server;
    QString error;
    if (!server.start(quick || only == QLatin1String("a") || only == QLatin1String("b") ? 1 : Sites,
                      &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("korvix_bench_versus: %d cores, Qt %s (built with %s)\n",
                int(::sysconf(_SC_NPROCESSORS_ONLN)), qVersion(), QT_VERSION_STR);
    std::printf("bare = korvix_bare_shell, default process model; bare+pps = the same with "
                "--process-per-site; korvix = %s\n",
                KORVIX_EXECUTABLE);
    std::printf("PSS = proportional set size of the program and every process below it, "
                "sampled every %d ms\n",
                SampleMs);
    XSession x;
    if (!offscreen) {
        if (!givenDisplay.isEmpty())
            x.use(givenDisplay);
        else if (!x.start(ScreenSize, &error))
            std::printf("no X display (%s): ", qPrintable(error));
    }
    if (x.isValid()) {
        g_x = &x;
        std::printf("display: every program on %s (Qt programs with the xcb platform)\n",
                    qPrintable(x.description()));
    } else {
        std::printf("display: Korvix and the bare shell on Qt's offscreen platform; the browsers "
                    "and cases d and e left out\n");
    }
    for (Variant peer : {Chromium, Falkon}) {
        const QString program = peerProgram(peer);
        std::printf("%s = %s\n", VariantNames[peer],
                    program.isEmpty() ? "not installed, left out" : qPrintable(program));
    }
    std::fflush(stdout);
    for (int run = 1; run <= runs; ++run) {
        QElapsedTimer runTime;
        runTime.start();
        std::printf("\nrun %d of %d%s\n", run, runs, quick ? " (quick: cases a and b)" : "");
        std::fflush(stdout);
        const auto wanted = [&only](const char* name) {
            return only.isEmpty() || only == QLatin1String(name);
        };
        if (wanted("a"))
            firstPage(server);
        std::fflush(stdout);
        if (wanted("b"))
            manyWindows(server);
        std::fflush(stdout);
        if (!quick && wanted("c"))
            maximizedWindows(server);
        std::fflush(stdout);
        if (!quick && wanted("d"))
            wakingCase(server, g_x, g_maximizedWindows, Sites);
        std::fflush(stdout);
        if (!quick && wanted("e"))
            responsivenessCase(server, g_x, g_maximizedWindows, Sites);
        std::printf("run %d took %.0f s\n", run, double(runTime.elapsed()) / 1000.0);
        std::fflush(stdout);
    }
    server.stop();
    printTotalRun(sinceMain);
    return 0;
}
