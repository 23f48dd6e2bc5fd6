// How long the history window needs for the longest history the preferences
// allow, and how long a second start takes from its exec until the page it
// handed over has loaded in the running instance.
#include "BenchSupport.h"

#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "frame/ToolWindows.h"
#include "history/HistoryWindow.h"
#include "prefs/model/Prefer.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTableWidget>
#include <algorithm>
#include <cstdio>

#ifndef KORVIX_EXECUTABLE
#error "KORVIX_EXECUTABLE must name the built program"
#endif

namespace {

constexpr int HistoryRows = 32767;
constexpr int HandOffRuns = 5;
constexpr int HandOffTimeoutMs = 30000;

BrowserWindow* browserWithId(const MainFrame* frame, qint32 id) {
    for (BrowserWindow* w : frame->registry()->windows())
        if (w->id() == id)
            return w;
    return nullptr;
}

void benchHistory(MainFrame* frame) {
    // Distinct addresses and times, one visit a minute, as a long-used
    // program collects them.
    const QDateTime start = QDateTime::currentDateTime().addSecs(-60LL * HistoryRows);
    const int rows = frame->tools()->preferences().HistoryRows;
    bench::ToolShell shell(frame, frame->tools()->programFolder());
    QElapsedTimer adding;
    adding.start();
    for (int i = 0; i < HistoryRows; ++i)
        shell.historyList().add(
            QStringLiteral("https://www.beispiel.de/bereich%1/seite%2.html").arg(i % 97).arg(i),
            QStringLiteral("Beispielseite %1").arg(i), rows, start.addSecs(60LL * i));
    const double addMs = bench::msSince(adding);
    std::printf("history: %d addresses added (add, HistoryRows %d): %.1f ms\n",
                shell.history().count(), rows, addMs);
    std::fflush(stdout);

    bench::PaintCounter painted;
    bench::FirstDraw opened;
    auto* window = bench::openUntilDrawn([&shell] { return new HistoryWindow(shell); },
                                         [](HistoryWindow* w) { return w->grid()->viewport(); },
                                         painted, bench::PaintTimeoutMs, &opened);

    // "Aktualisieren" on the open window: the fill alone.
    QElapsedTimer filling;
    filling.start();
    window->fillGrid();
    const double fillMs = bench::msSince(filling);
    std::printf("history window, %d entries: construction (fills the grid) %.1f ms, until drawn "
                "%.1f ms, fillGrid again %.1f ms\n",
                shell.history().count(), opened.constructedMs, opened.drawnMs, fillMs);
    if (window->grid()->rowCount() != shell.history().count())
        std::printf("history window shows %d of %d entries\n", window->grid()->rowCount(),
                    shell.history().count());
    if (!opened.drawn)
        std::printf("history window not drawn within %d ms\n", bench::PaintTimeoutMs);
    std::fflush(stdout);
    bench::closeWindow(window, bench::SettleTimeoutMs);
}

struct HandOff {
    double loadedMs = -1;
    double exitedMs = -1;
};

// Starts the copied program with the page's address and waits until the
// running instance (this process) shows it loaded in a new window.
HandOff handOffOnce(MainFrame* frame, const QString& program, const QString& pageUrl) {
    HandOff result;
    const qint32 before = frame->registry()->lastNumber();
    const int countBefore = frame->registry()->count();
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    second.setProcessEnvironment(env);
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    QObject::connect(&second, &QProcess::finished, &second,
                     [&] { result.exitedMs = bench::msSince(timer); });
    timer.start();
    second.start(program, {pageUrl});
    const bool loaded = bench::waitUntil(
        [&] {
            if (frame->registry()->lastNumber() <= before ||
                frame->registry()->count() <= countBefore)
                return false;
            const BrowserWindow* w = browserWithId(frame, frame->registry()->lastNumber());
            return w && bench::isLoaded(w) && w->webView()->locationUrl() == pageUrl;
        },
        HandOffTimeoutMs, 1);
    if (loaded)
        result.loadedMs = bench::msSince(timer);
    if (!second.waitForFinished(HandOffTimeoutMs))
        second.kill();
    bench::waitUntil([&] { return second.state() == QProcess::NotRunning; },
                     bench::SettleTimeoutMs);
    if (second.exitStatus() != QProcess::NormalExit || second.exitCode() != 0)
        std::printf("hand-off: the second start ended with code %d (%s)\n", second.exitCode(),
                    qPrintable(second.errorString()));
    if (!loaded)
        std::printf("hand-off: page not loaded in the running instance within %d ms (%d new "
                    "windows)\n",
                    HandOffTimeoutMs, int(frame->registry()->lastNumber() - before));
    // Each run starts with the same windows open.
    for (qint32 id = before + 1; id <= frame->registry()->lastNumber(); ++id)
        if (BrowserWindow* w = browserWithId(frame, id))
            bench::closeWindow(w, bench::SettleTimeoutMs);
    return result;
}

void benchHandOff(MainFrame* frame, const QString& appDir, const QString& pageUrl) {
    // The copy's program directory is the running instance's, so both use
    // the same single-instance channel.
    const QString program = QDir(appDir).filePath(QStringLiteral("korvix"));
    QFile::remove(program);
    if (!QFile::copy(QStringLiteral(KORVIX_EXECUTABLE), program) ||
        !QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner)) {
        std::printf("hand-off: cannot copy %s into the program directory\n", KORVIX_EXECUTABLE);
        return;
    }

    // A running instance usually shows a page already; its engine is warm.
    bench::openBrowser(frame, pageUrl);
    const qint32 first = frame->registry()->lastNumber();
    if (!bench::waitUntil(
            [&] {
                const BrowserWindow* w = browserWithId(frame, first);
                return w && bench::isLoaded(w);
            },
            bench::FirstPageTimeoutMs)) {
        std::printf("hand-off: the running instance's first page did not load within %d ms\n",
                    bench::FirstPageTimeoutMs);
        return;
    }

    QList<double> loaded;
    QList<double> exited;
    for (int run = 0; run < HandOffRuns; ++run) {
        const HandOff h = handOffOnce(frame, program, pageUrl);
        if (h.loadedMs >= 0)
            loaded << h.loadedMs;
        if (h.exitedMs >= 0)
            exited << h.exitedMs;
    }
    if (loaded.isEmpty()) {
        std::printf("hand-off: no run finished\n");
        return;
    }
    double sum = 0;
    QStringList each;
    for (double ms : loaded) {
        sum += ms;
        each << QString::number(ms, 'f', 0);
    }
    std::printf("hand-off: second start exec to page loaded in the running instance: mean %.0f "
                "ms, max %.0f ms (%lld runs: %s)\n",
                sum / double(loaded.size()), *std::max_element(loaded.cbegin(), loaded.cend()),
                static_cast<long long>(loaded.size()), qPrintable(each.join(QStringLiteral(", "))));
    if (!exited.isEmpty()) {
        double exitSum = 0;
        for (double ms : exited)
            exitSum += ms;
        std::printf("hand-off: second start exec to its exit: mean %.0f ms, max %.0f ms\n",
                    exitSum / double(exited.size()),
                    *std::max_element(exited.cbegin(), exited.cend()));
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    // The program directory is the running instance's.
    bench::Program program(argc, argv);
    const QString pageUrl = program.writeLocalPage();
    // No window at start, and the longest history the preferences allow.
    if (pageUrl.isEmpty() ||
        !program.writeQuietPrefs([](Prefer& prefs) { prefs.HistoryRows = HistoryRows; }))
        return 1;
    MainFrame* frame = program.start(QString(), true, "another instance answered?");
    if (!frame)
        return 1;

    benchHistory(frame);
    benchHandOff(frame, program.dir(), pageUrl);

    frame->registry()->closeAllWindows();
    bench::waitUntil([frame] { return frame->registry()->windows().isEmpty(); },
                     bench::SettleTimeoutMs);
    program.printTotalRun();
    return 0;
}
