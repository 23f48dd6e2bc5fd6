// What content blocking costs a page: the first page of a fresh program
// with the lists on (read meanwhile in the background) and off, each in a
// program of its own, and then pages of a running program with blocking
// switched on and off in turn. The lists are Debian's EasyList and
// EasyPrivacy. A page asks for 40 pictures and 10 scripts, a few of them
// what the lists block.
#include "BenchSupport.h"

#include "blocking/ContentBlocker.h"
#include "browser/EngineProfile.h"
#include "frame/MainFrame.h"
#include "prefs/model/KorvixSettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int Rounds = 15;
constexpr int ColdRuns = 5;

QByteArray pageBody(int n) {
    QByteArray body;
    for (int i = 0; i < 40; ++i)
        body += "<img src='/img/" + QByteArray::number(n) + "-" + QByteArray::number(i) +
                ".png' width=8 height=8>";
    for (int i = 0; i < 10; ++i)
        body += "<script src='/js/" + QByteArray::number(n) + "-" + QByteArray::number(i) +
                ".js'></script>";
    // What EasyList takes away.
    body += "<img src='/ads/banner.gif'><script src='/adserver/ad.js'></script>"
            "<div class='adsbygoogle'>Anzeige</div>";
    return bench::htmlPage("Seite " + QByteArray::number(n), body);
}

double median(QList<double> values) {
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Opens a window on the page and returns the ms until it has loaded; -1 when
// it never did.
double loadMs(MainFrame* frame, const QString& url) {
    QElapsedTimer timer;
    timer.start();
    bench::openBrowser(frame, url);
    const bool loaded = bench::waitUntil([frame] { return bench::loadedCount(frame) > 0; },
                                         bench::FirstPageTimeoutMs, 1);
    const double ms = bench::msSince(timer);
    bench::closeAllWindows(frame, bench::SettleTimeoutMs);
    return loaded ? ms : -1;
}

// One program, one first page; prints its time for the parent.
int firstPage(int argc, char* argv[], bool blocking) {
    bench::Program program(argc, argv);
    if (!program.isValid() || !program.writeQuietPrefs())
        return 1;
    KorvixSettings(program.dir()).setContentBlocking(blocking);
    bench::PageServer server;
    if (!server.start())
        return 1;
    server.addPage(QStringLiteral("/page.html"), pageBody(0));
    MainFrame* frame = program.start();
    if (!frame)
        return 1;
    const double ms = loadMs(frame, server.url(QStringLiteral("/page.html")));
    std::printf("%.1f\n", ms);
    return ms < 0 ? 1 : 0;
}

double childFirstPage(const char* mode) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--first"), QString::fromLatin1(mode)});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        return -1;
    return child.readAllStandardOutput().trimmed().toDouble();
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && qstrcmp(argv[1], "--first") == 0)
        return firstPage(argc, argv, qstrcmp(argv[2], "on") == 0);

    bench::Program program(argc, argv);
    if (!program.isValid() || !program.writeQuietPrefs())
        return 1;
    QList<double> coldOn;
    QList<double> coldOff;
    for (int i = 0; i < ColdRuns; ++i) {
        coldOn << childFirstPage("on");
        coldOff << childFirstPage("off");
    }
    std::printf("first page of a new program, lists on (read meanwhile): median %.0f ms "
                "(%d runs)\n",
                median(coldOn), ColdRuns);
    std::printf("first page of a new program, blocking off:              median %.0f ms\n",
                median(coldOff));

    bench::PageServer server;
    if (!server.start())
        return 1;
    for (int n = 1; n <= 2 * Rounds; ++n)
        server.addPage(QStringLiteral("/page%1.html").arg(n), pageBody(n));
    QElapsedTimer sinceStart;
    sinceStart.start();
    MainFrame* frame = program.start();
    if (!frame)
        return 1;
    // The lists are read when the engine starts, with the first window.
    loadMs(frame, server.url(QStringLiteral("/page1.html")));
    ContentBlocker* blocker = EngineProfile::blocker();
    if (!blocker || !bench::waitUntil([blocker] { return blocker->isLoaded(); }, 60000)) {
        std::printf("the lists were not read\n");
        return 1;
    }
    std::printf("lists read and indexed %.0f ms after the start: %d rules, %d lines skipped\n",
                bench::msSince(sinceStart), blocker->ruleCount(), blocker->skippedCount());
    QList<double> on;
    QList<double> off;
    for (int n = 2; n <= 2 * Rounds; n += 2) {
        // Each goes first every other round, so neither is charged for what
        // the other left behind.
        for (int k = 0; k < 2; ++k) {
            const bool blocking = (n / 2 + k) % 2 == 0;
            bench::waitForQuietMachine();
            blocker->setEnabled(blocking);
            (blocking ? on : off) << loadMs(frame,
                                            server.url(QStringLiteral("/page%1.html").arg(n + k)));
        }
    }
    blocker->setEnabled(true);
    std::printf("page of a running program, blocking on:  median %.0f ms (%d pages)\n", median(on),
                int(on.size()));
    std::printf("page of a running program, blocking off: median %.0f ms\n", median(off));
    program.printTotalRun();
    return 0;
}
