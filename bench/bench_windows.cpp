// How long the program takes from its start to the first loaded page, and how
// much memory the whole process tree (the program plus the web engine's
// helper processes) needs with 10 and with 50 windows open.
#include "BenchSupport.h"
#include "common/TreeMemory.h"

#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"

#include <QElapsedTimer>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

constexpr int SmallRoundTimeoutMs = 60000;
constexpr int LargeRoundTimeoutMs = 100000;

// Milliseconds from the kernel's start of this process until now, or -1.
// starttime counts clock ticks since boot, so the figure has the resolution of
// one tick (10 ms on common kernels).
qint64 msSinceProcessStart() {
    const QList<QByteArray> fields =
        TreeMemory::statFields(TreeMemory::readProcFile(QStringLiteral("/proc/self/stat")));
    if (fields.size() < 20)
        return -1;
    bool ok = false;
    const qint64 startTicks = fields.at(19).toLongLong(&ok);
    const long hz = ::sysconf(_SC_CLK_TCK);
    timespec now = {};
    if (!ok || hz <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return -1;
    const qint64 nowMs = qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    return nowMs - startTicks * 1000 / hz;
}

// Opens `count` windows on the page and waits until every one has loaded.
void openWindowsRound(MainFrame* frame, const QString& pageUrl, int count, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        bench::openBrowser(frame, pageUrl);
    const bool all = bench::waitUntil(
        [frame, count] {
            return frame->registry()->windows().size() >= count &&
                   bench::loadedCount(frame) >= count;
        },
        timeoutMs);
    const qint64 ms = timer.elapsed();
    const bench::TreeStats stats = bench::measureTree();
    std::printf("open %d windows: %lld ms, process tree memory: %.1f MB\n", count,
                static_cast<long long>(ms), stats.megabytes);
    std::printf("%d windows: private memory: %.1f MB, processes in tree: %d, renderer "
                "processes: %d\n",
                count, stats.privateMegabytes, stats.processes, stats.renderers);
    if (!all)
        std::printf("%d windows: only %d of %d loaded within %d ms\n", count,
                    bench::loadedCount(frame), count, timeoutMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    const qint64 execToMain = msSinceProcessStart();
    bench::Program program(argc, argv);
    const QString pageUrl = program.writeLocalPage("<a href=\"bench.html\">Nochmal</a>");
    if (pageUrl.isEmpty())
        return 1;
    MainFrame* frame = program.start(pageUrl);
    if (!frame)
        return 1;

    const bool firstLoaded = bench::waitUntil(
        [frame] {
            return !frame->registry()->windows().isEmpty() &&
                   bench::isLoaded(frame->registry()->windows().first());
        },
        bench::FirstPageTimeoutMs);
    const qint64 mainToLoaded = program.elapsedMs();
    if (execToMain >= 0) {
        std::printf("exec to main: %lld ms\n", static_cast<long long>(execToMain));
        std::printf("start to first page loaded: %lld ms\n",
                    static_cast<long long>(execToMain + mainToLoaded));
    }
    std::printf("main to first page loaded: %lld ms\n", static_cast<long long>(mainToLoaded));
    if (!firstLoaded)
        std::printf("first page not loaded within %d ms\n", bench::FirstPageTimeoutMs);
    else if (frame->registry()->windows().first()->webView()->locationUrl() != pageUrl)
        std::printf("first window shows %s instead of the page\n",
                    qPrintable(frame->registry()->windows().first()->webView()->locationUrl()));
    bench::printTree("1 window", bench::measureTree());
    std::fflush(stdout);

    // Each round starts from an empty frame, so its figures belong to exactly
    // its own windows.
    bench::closeAllWindows(frame, bench::SettleTimeoutMs);
    openWindowsRound(frame, pageUrl, 10, SmallRoundTimeoutMs);
    bench::closeAllWindows(frame, bench::SettleTimeoutMs);
    openWindowsRound(frame, pageUrl, 50, LargeRoundTimeoutMs);

    QElapsedTimer closing;
    closing.start();
    const qint64 pause = bench::closeAllWindows(frame, bench::SettleTimeoutMs);
    std::printf("close all windows: %lld ms, the frame's longest pause %lld ms\n",
                static_cast<long long>(closing.elapsed()), static_cast<long long>(pause));
    program.printTotalRun();
    return 0;
}
