// How long saving and opening a window layout of 300 windows takes, how much
// memory the process tree needs once all of its pages have loaded, and what
// the link round trip adds to each link beyond loading the page itself.
#include "BenchSupport.h"

#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "frame/ToolWindows.h"
#include "frame/WindowLayouts.h"
#include "frame/model/LayoutFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <cstdio>

namespace {

constexpr int LinkCount = 10;
constexpr int PageTimeoutMs = 30000;
// 300 windows take the engine a while to close.
constexpr int SettleTimeoutMs = 30000;

QString linkPath(int i) {
    return QStringLiteral("/seite%1.html").arg(i);
}

// Loads `url` in the window and returns the milliseconds until the window is
// no longer busy with it, or -1 when it did not finish in time.
double timedLoad(BrowserWindow* w, const bench::LoadStarts& starts, const QString& url) {
    const int before = starts.of(url);
    QElapsedTimer timer;
    timer.start();
    w->navigate(url);
    const bool done = bench::waitUntil(
        [&] { return starts.of(url) > before && !w->webView()->isBusy(); }, PageTimeoutMs, 1);
    return done ? bench::msSince(timer) : -1;
}

void benchRoundTrip(MainFrame* frame, bench::PageServer& server) {
    // Loads per linked page for the direct-load mean, after one pass to warm
    // up.
    constexpr int LoadPasses = 3;
    constexpr int WalkStartTimeoutMs = 10000;
    // Eleven ticks of 1.75 s plus loads; far more means the walk hangs.
    constexpr int RoundTripTimeoutMs = 90000;

    const QString startUrl = server.url(QStringLiteral("/start.html"));
    bench::openBrowser(frame, startUrl);
    BrowserWindow* w = frame->registry()->activeWindow();
    if (!w ||
        !bench::waitUntil([w] { return bench::isLoaded(w) && !w->isBusyShown(); }, PageTimeoutMs)) {
        std::printf("round trip: start page not loaded within %d ms\n", PageTimeoutMs);
        return;
    }
    const bench::LoadStarts starts(w->webView());

    // The walk loads each linked page once and then the start page again, all
    // in the same window; the same loads, made directly, give the mean.
    QStringList pages;
    for (int i = 1; i <= LinkCount; ++i)
        pages << server.url(linkPath(i));
    pages << startUrl;
    double sum = 0;
    int loads = 0;
    for (int pass = 0; pass <= LoadPasses; ++pass) {
        for (const QString& url : pages) {
            const double ms = timedLoad(w, starts, url);
            if (ms < 0) {
                std::printf("round trip: %s not loaded within %d ms\n", qPrintable(url),
                            PageTimeoutMs);
                return;
            }
            if (pass > 0) {
                sum += ms;
                ++loads;
            }
        }
    }
    const double meanLoad = sum / loads;
    std::printf("direct page load, mean of %d: %.1f ms\n", loads, meanLoad);
    // The window's own poll must have seen the last load end before the walk
    // starts, as it would have for a person clicking.
    bench::waitUntil([w] { return !w->isBusyShown(); }, PageTimeoutMs);

    QHash<QString, int> hitsBefore;
    for (int i = 1; i <= LinkCount; ++i)
        hitsBefore.insert(linkPath(i), server.hits(linkPath(i)));
    const int returnsBefore = starts.of(startUrl);
    QElapsedTimer timer;
    timer.start();
    w->startRoundTrip();
    if (!bench::waitUntil([w] { return w->isWalking(); }, WalkStartTimeoutMs)) {
        std::printf("round trip did not start within %d ms\n", WalkStartTimeoutMs);
        return;
    }
    const int links = int(w->roundTrip().links.size());
    const bool back = bench::waitUntil(
        [&] {
            return !w->isWalking() && starts.of(startUrl) > returnsBefore &&
                   !w->webView()->isBusy();
        },
        RoundTripTimeoutMs, 1);
    const double total = bench::msSince(timer);
    if (!back) {
        std::printf("round trip, %d links: not back on the start page within %d ms (%s)\n", links,
                    RoundTripTimeoutMs, w->isWalking() ? "still walking" : "walk ended");
        return;
    }
    if (links != LinkCount)
        std::printf("round trip found %d links instead of %d\n", links, LinkCount);
    int visited = 0;
    for (int i = 1; i <= LinkCount; ++i)
        visited += server.hits(linkPath(i)) > hitsBefore.value(linkPath(i)) ? 1 : 0;
    if (visited != LinkCount)
        std::printf("round trip requested only %d of %d linked pages\n", visited, LinkCount);
    const double perLink = links > 0 ? (total - (links + 1) * meanLoad) / links : 0;
    std::printf("round trip, %d links: total %.0f ms, per link beyond page load: %.0f ms\n", links,
                total, perLink);
}

void benchLayouts(MainFrame* frame, const QString& pageUrl, const QString& layoutPath) {
    constexpr int WindowCount = 300;
    constexpr int AddressTimeoutMs = 30000;
    constexpr int LayoutPagesTimeoutMs = 180000;

    QElapsedTimer opening;
    opening.start();
    for (int i = 0; i < WindowCount; ++i)
        bench::openBrowser(frame, pageUrl);
    const qint64 createdMs = opening.elapsed();
    const int opened = frame->registry()->count();
    // The file records each window's address, which a window knows as soon
    // as its load has begun. Waiting for the 300 pages here too would nearly
    // double the run; the load below waits for them.
    const bool addressed = bench::waitUntil(
        [frame, &pageUrl] {
            for (const BrowserWindow* w : frame->registry()->windows())
                if (w->webView()->locationUrl() != pageUrl)
                    return false;
            return true;
        },
        AddressTimeoutMs);
    std::printf("open %d windows: windows exist after %lld ms, %d pages loaded at save\n", opened,
                static_cast<long long>(createdMs), bench::loadedCount(frame));
    if (!addressed)
        std::printf("open %d windows: not every window has its address within %d ms\n", opened,
                    AddressTimeoutMs);
    std::fflush(stdout);

    QElapsedTimer saving;
    saving.start();
    const bool saved = WindowLayouts::save(*frame->registry(), layoutPath, frame);
    const double saveMs = bench::msSince(saving);
    std::printf("layout save, %d windows: %.1f ms\n", opened, saveMs);
    QFile file(layoutPath);
    const QList<LayoutRecord> records =
        file.open(QIODevice::ReadOnly) ? LayoutFile::decode(file.readAll()) : QList<LayoutRecord>();
    int onPage = 0;
    for (const LayoutRecord& r : records)
        onPage += r.url == pageUrl ? 1 : 0;
    if (!saved || records.size() != opened || onPage != opened)
        std::printf("layout file holds %lld records, %d of them on the page\n",
                    static_cast<long long>(records.size()), onPage);
    std::fflush(stdout);

    QElapsedTimer closing;
    closing.start();
    const qint64 pause = bench::closeAllWindows(frame, SettleTimeoutMs);
    std::printf("close all %d windows: %lld ms, the frame's longest pause %lld ms\n", opened,
                static_cast<long long>(closing.elapsed()), static_cast<long long>(pause));
    std::fflush(stdout);

    const int expected = int(records.size());
    QElapsedTimer loading;
    loading.start();
    WindowLayouts::load(*frame->tools(), layoutPath, frame);
    const bool allExist = bench::waitUntil(
        [frame, expected] { return frame->registry()->count() >= expected; }, SettleTimeoutMs);
    const qint64 existMs = loading.elapsed();
    std::printf("layout load, %d windows (all windows exist): %lld ms\n",
                int(frame->registry()->count()), static_cast<long long>(existMs));
    if (!allExist)
        std::printf("layout load: %d of %d windows exist after %lld ms\n",
                    int(frame->registry()->count()), expected, static_cast<long long>(existMs));
    std::fflush(stdout);

    const int windows = frame->registry()->count();
    const bool allLoaded =
        bench::waitUntil([frame, windows] { return bench::loadedCount(frame) >= windows; },
                         int(qMax<qint64>(0, LayoutPagesTimeoutMs - loading.elapsed())));
    const qint64 loadedMs = loading.elapsed();
    const bench::TreeStats stats = bench::measureTree();
    if (allLoaded)
        std::printf("layout load, %d windows, all pages loaded: %lld ms\n", windows,
                    static_cast<long long>(loadedMs));
    else
        std::printf("layout load, %d windows, all pages loaded: not within %d ms, %d pages "
                    "loaded\n",
                    windows, LayoutPagesTimeoutMs, bench::loadedCount(frame));
    bench::printTree(qPrintable(QStringLiteral("layout load, %1 windows").arg(windows)), stats);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    bench::Program program(argc, argv);
    const QString pageUrl = program.writeLocalPage();
    if (pageUrl.isEmpty())
        return 1;

    bench::PageServer server;
    if (!server.start()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    QByteArray start = "<h1>Rundgang</h1><ul>";
    for (int i = 1; i <= LinkCount; ++i) {
        const QByteArray n = QByteArray::number(i);
        start += "<li><a href=\"seite" + n + ".html\">Seite " + n + "</a></li>";
        server.addPage(linkPath(i), bench::htmlPage("Seite " + n, "<p>Seite " + n + "</p>"));
    }
    server.addPage(QStringLiteral("/start.html"), bench::htmlPage("Rundgang", start + "</ul>"));

    if (!program.writeQuietPrefs())
        return 1;
    MainFrame* frame = program.start();
    if (!frame)
        return 1;
    if (frame->registry()->count() != 0)
        std::printf("start-up opened %d windows\n", int(frame->registry()->count()));

    // The walk first, while the machine is quiet; 300 windows leave the
    // engine busy for a while even after they are closed.
    benchRoundTrip(frame, server);
    std::fflush(stdout);
    bench::closeAllWindows(frame, SettleTimeoutMs);

    benchLayouts(frame, pageUrl, program.filePath(QStringLiteral("bench.wlt")));

    bench::closeAllWindows(frame, SettleTimeoutMs);
    program.printTotalRun();
    return 0;
}
