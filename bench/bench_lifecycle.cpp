// What freezing and discarding hidden pages saves with 300 windows open: the
// same windows once with the page lifecycle sped up and once with it
// effectively off, each run in its own process and program directory, the
// figures side by side. Also how long a discarded page takes to come back.
//
// Without arguments the program runs both configurations as child processes
// and prints the table; "--run managed|unmanaged <budget ms>" is one run.
#include "BenchSupport.h"

#include "archive/ArchiveWindow.h"
#include "archive/model/Archive.h"
#include "browser/BrowserWindow.h"
#include "frame/BatchOpening.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameActions.h"
#include "frame/MainFrame.h"
#include "frame/PageSleep.h"
#include "frame/ToolWindows.h"
#include "frame/WindowLayouts.h"
#include "frame/model/LayoutFile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QMdiArea>
#include <QProcess>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <cstdio>
#include <limits>

namespace {

constexpr int WindowCount = 300;

// The whole program stays within four minutes; the first run gets a little
// more than half, since it also brings discarded pages back.
constexpr qint64 TotalBudgetMs = 235000;
constexpr qint64 ManagedBudgetMs = 125000;
constexpr qint64 KillGraceMs = 10000;
// The stall meter's tick: a longer gap means the event loop did not run.
constexpr int StallTickMs = 10;

const char ResultTag[] = "RESULT\t";

// A page is settled once it has loaded and, where the lifecycle is managed,
// once it sleeps unless it can be seen (pages are left to load before they
// are put to sleep).
bool isSettled(MainFrame* frame, BrowserWindow* w, bool managed) {
    if (!bench::isLoaded(w))
        return false;
    return !managed || frame->registry()->isWindowVisible(w) ||
           w->webView()->lifecycle() == Lifecycle::State::Discarded;
}

void result(const QString& label, const QString& value) {
    std::printf("%s%s\t%s\n", ResultTag, qPrintable(label), qPrintable(value));
    std::fflush(stdout);
}

QString ms(double value) {
    return QStringLiteral("%1 ms").arg(value, 0, 'f', 0);
}

// Only the active window can be seen: it is maximized, and QMdiArea hands
// that on to each window activated after it.
void maximizeActive(MainFrame* frame) {
    if (BrowserWindow* w = frame->registry()->activeWindow())
        if (!w->isMaximized())
            w->showMaximized();
}

struct Reshow {
    bool back = false;
    double ms = 0;
    int loadStarts = 0;
};

// Activates the window and waits until its page has loaded again.
Reshow reshow(MainFrame* frame, BrowserWindow* w, qint64 timeoutMs) {
    Reshow r;
    const bench::LoadStarts starts(w->webView());
    QElapsedTimer timer;
    timer.start();
    frame->registry()->area()->setActiveSubWindow(w);
    r.back = bench::waitUntil(
        [&] {
            return starts.total() > 0 && w->webView()->lifecycle() == Lifecycle::State::Active &&
                   bench::isLoaded(w);
        },
        timeoutMs, 1);
    r.ms = bench::msSince(timer);
    r.loadStarts = starts.total();
    return r;
}

QString describe(const BrowserWindow* w, const Reshow& r) {
    return QStringLiteral("window %1 not back within %2 ms (%3 loads started, %4, %5, %6)")
        .arg(w->id())
        .arg(r.ms, 0, 'f', 0)
        .arg(r.loadStarts)
        .arg(w->webView()->lifecycle() == Lifecycle::State::Active ? QStringLiteral("active")
                                                                   : QStringLiteral("not active"))
        .arg(w->webView()->isBusy() ? QStringLiteral("busy") : QStringLiteral("not busy"))
        .arg(w->webView()->hasDocument() ? QStringLiteral("has a document")
                                         : QStringLiteral("no document"));
}

void reshowDiscarded(MainFrame* frame, const QDeadlineTimer& until) {
    constexpr int ReshowCount = 3;
    constexpr int ReshowTimeoutMs = 15000;

    // Pages are put to sleep only once they have loaded.
    QList<BrowserWindow*> wasLoaded;
    for (BrowserWindow* w : frame->registry()->windows())
        if (w != frame->registry()->activeWindow() &&
            w->webView()->lifecycle() == Lifecycle::State::Discarded)
            wasLoaded << w;
    if (wasLoaded.isEmpty()) {
        std::printf("show a discarded window's page again: no window was discarded\n");
        return;
    }

    // The oldest, one from the middle and the newest, so the figure does not
    // depend on where the window stands in the list.
    QList<BrowserWindow*> picks;
    for (int i = 0; i < ReshowCount && !wasLoaded.isEmpty(); ++i) {
        BrowserWindow* w =
            wasLoaded.at(int(qint64(wasLoaded.size() - 1) * i / qMax(1, ReshowCount - 1)));
        if (!picks.contains(w))
            picks << w;
    }
    QStringList each;
    double sum = 0;
    double longest = 0;
    int done = 0;
    for (BrowserWindow* w : picks) {
        if (until.hasExpired())
            break;
        const Reshow r = reshow(frame, w, qMin<qint64>(ReshowTimeoutMs, until.remainingTime()));
        if (!r.back) {
            std::printf("show a discarded window's page again: %s\n", qPrintable(describe(w, r)));
            continue;
        }
        each << QString::number(r.ms, 'f', 0);
        sum += r.ms;
        longest = qMax(longest, r.ms);
        ++done;
    }
    if (done > 0)
        std::printf("show a discarded window's page again: %.0f ms (mean of %d, max %.0f ms: %s "
                    "ms)\n",
                    sum / done, done, longest, qPrintable(each.join(QStringLiteral(", "))));
    std::fflush(stdout);
}

struct Batch {
    qint64 existMs = 0;
    double longestStallMs = 0;
};

// Starts a batch of windows and waits until the frame has opened them all:
// how long that took and the longest event-loop stall meanwhile.
Batch openBatch(MainFrame* frame, const std::function<void()>& start, const QDeadlineTimer& until) {
    bench::StallMeter stalls(StallTickMs);
    QElapsedTimer opening;
    opening.start();
    stalls.start();
    start();
    bench::waitUntil([frame] { return frame->registry()->batches().queued() == 0; },
                     until.remainingTime(), StallTickMs);
    Batch batch;
    batch.existMs = opening.elapsed();
    stalls.stop();
    batch.longestStallMs = stalls.longestMs();
    return batch;
}

// The other way to open many windows: "Alle Öffnen" on a folder of as many
// bookmarks, after the layout's windows are closed.
void openAllOfFolder(MainFrame* frame, const QString& appDir, const QString& pageUrl,
                     const QDeadlineTimer& until) {
    constexpr int CloseTimeoutMs = 30000;
    if (until.hasExpired())
        return;
    bench::closeAllWindows(frame, qMin<qint64>(CloseTimeoutMs, until.remainingTime()));
    std::unique_ptr<Book> book = bench::makeArchive(appDir, 1, WindowCount);
    for (Bookmark& b : *book->folders->first()->bookmarks)
        b.Url = pageUrl;
    QString error;
    if (!book->save(&error)) {
        std::printf("\"Alle Öffnen\": archive not saved: %s\n", qPrintable(error));
        return;
    }
    frame->action(FrameActions::Archive)->trigger();
    ArchiveWindow* window = frame->tools()->archive();
    QTreeWidgetItem* folder = window ? window->rootNode()->child(0) : nullptr;
    if (!folder) {
        std::printf("\"Alle Öffnen\": the archive window shows no folder\n");
        return;
    }
    window->tree()->setCurrentItem(folder);

    const Batch batch = openBatch(
        frame, [window] { window->openAll(); }, until);
    std::printf("\"Alle Öffnen\" on a folder of %d bookmarks: %d windows exist after %lld ms, "
                "longest event-loop stall %.0f ms\n",
                WindowCount, int(frame->registry()->count()), static_cast<long long>(batch.existMs),
                batch.longestStallMs);
    std::fflush(stdout);
}

int runOnce(int argc, char* argv[], bool managed, qint64 budgetMs) {
    // What the run keeps back from its deadline for the steps after opening.
    constexpr qint64 ReserveAfterOpenMs = 55000;
    constexpr qint64 ReserveAfterSettleMs = 35000;
    constexpr qint64 ReserveForShutdownMs = 15000;
    constexpr qint64 SettleMinMs = 10000;
    constexpr int FirstFrameTimeoutMs = 30000;

    const QDeadlineTimer deadline(budgetMs);
    auto until = [&deadline](qint64 reserveMs) {
        return QDeadlineTimer(qMax<qint64>(0, deadline.remainingTime() - reserveMs));
    };

    // A fresh program directory for each run: no cache, no cookies, no
    // preferences from the other one.
    bench::Program program(argc, argv);
    const QString pageUrl = program.writeLocalPage();
    if (pageUrl.isEmpty() || !program.writeQuietPrefs())
        return 1;
    MainFrame* frame = program.start();
    if (!frame)
        return 1;
    if (managed) {
        frame->registry()->sleep().policy().freezeAfterMs = 1000;
        frame->registry()->sleep().policy().discardAfterMs = 3000;
    } else {
        frame->registry()->sleep().policy().freezeAfterMs = std::numeric_limits<qint64>::max() / 4;
        frame->registry()->sleep().policy().discardAfterMs = std::numeric_limits<qint64>::max() / 4;
    }

    // The first window starts the engine's helper processes; that is start-up
    // work, not the cost of many windows.
    bench::openBrowser(frame, pageUrl);
    maximizeActive(frame);
    bench::waitUntil(
        [frame] {
            return !frame->registry()->windows().isEmpty() &&
                   bench::isLoaded(frame->registry()->windows().first());
        },
        FirstFrameTimeoutMs);

    // The other windows come from a layout file, maximized like the first,
    // so only the newest one can be seen.
    const QString layoutPath = program.filePath(QStringLiteral("bench.wlt"));
    QList<LayoutItem> items;
    for (int i = 1; i < WindowCount; ++i) {
        LayoutItem item;
        item.width = 9000;
        item.height = 6000;
        item.url = pageUrl;
        item.toolbar = true;
        item.adress = true;
        item.state = 2;
        items << item;
    }
    QString error;
    if (!LayoutFile::save(layoutPath, items, &error)) {
        std::printf("layout file not written: %s\n", qPrintable(error));
        return 1;
    }

    const Batch batch = openBatch(
        frame, [frame, &layoutPath] { WindowLayouts::load(*frame->tools(), layoutPath, frame); },
        until(ReserveAfterOpenMs));
    const qint64 existMs = batch.existMs;
    frame->registry()->batches().cancel();
    const int windows = frame->registry()->count();
    const int loadedAtOnce = bench::loadedCount(frame);
    if (windows < WindowCount)
        std::printf("%s run: only %d of %d windows opened within %lld ms\n",
                    managed ? "managed" : "unmanaged", windows, WindowCount,
                    static_cast<long long>(existMs));

    // At least ten seconds, then until every page has loaded and every hidden
    // one sleeps, as far as the budget allows.
    bench::StallMeter settleStalls(StallTickMs);
    settleStalls.start();
    QElapsedTimer settling;
    settling.start();
    const QDeadlineTimer settleUntil = until(ReserveAfterSettleMs);
    bench::waitUntil(
        [&] {
            if (settling.elapsed() < SettleMinMs)
                return false;
            for (BrowserWindow* w : frame->registry()->windows())
                if (!isSettled(frame, w, managed))
                    return false;
            return true;
        },
        settleUntil.remainingTime(), 50);
    const qint64 settleMs = settling.elapsed();
    // The program hands memory back in the seconds after the last discard.
    constexpr int AfterSettleMs = 5000;
    bench::waitUntil([] { return false; }, AfterSettleMs, 50);
    settleStalls.stop();

    int loaded = 0;
    int visible = 0;
    int active = 0;
    int frozen = 0;
    int discarded = 0;
    int unsettled = 0;
    for (BrowserWindow* w : frame->registry()->windows()) {
        loaded += bench::isLoaded(w) ? 1 : 0;
        visible += frame->registry()->isWindowVisible(w) ? 1 : 0;
        unsettled += isSettled(frame, w, managed) ? 0 : 1;
        switch (w->webView()->lifecycle()) {
        case Lifecycle::State::Active:
            ++active;
            break;
        case Lifecycle::State::Frozen:
            ++frozen;
            break;
        case Lifecycle::State::Discarded:
            ++discarded;
            break;
        }
    }
    const bench::TreeStats tree = bench::measureTree();

    result(QStringLiteral("windows opened"), QString::number(windows));
    result(QStringLiteral("windows 2-%1: all exist after").arg(WindowCount), ms(double(existMs)));
    result(QStringLiteral("longest event-loop stall while opening them"), ms(batch.longestStallMs));
    result(QStringLiteral("pages loaded when all windows existed"), QString::number(loadedAtOnce));
    result(QStringLiteral("settled after"), ms(double(settleMs)));
    result(QStringLiteral("longest event-loop stall while waiting"), ms(settleStalls.longestMs()));
    result(QStringLiteral("visible windows"), QString::number(visible));
    result(QStringLiteral("pages loaded / not settled"),
           QStringLiteral("%1 / %2").arg(loaded).arg(unsettled));
    result(QStringLiteral("pages active / frozen / discarded"),
           QStringLiteral("%1 / %2 / %3").arg(active).arg(frozen).arg(discarded));
    result(QStringLiteral("process tree memory (PSS)"),
           QStringLiteral("%1 MB").arg(tree.megabytes, 0, 'f', 1));
    result(QStringLiteral("private memory"),
           QStringLiteral("%1 MB").arg(tree.privateMegabytes, 0, 'f', 1));
    result(QStringLiteral("engine processes (renderers)"),
           QStringLiteral("%1 (%2)").arg(tree.processes - 1).arg(tree.renderers));

    if (managed) {
        reshowDiscarded(frame, until(ReserveForShutdownMs));
        openAllOfFolder(frame, program.dir(), pageUrl, until(ReserveForShutdownMs));
    }
    return 0;
}

struct Run {
    QString name;
    QStringList labels;
    QHash<QString, QString> values;
    QStringList otherLines;
};

Run runChild(const QString& self, const QString& mode, qint64 budgetMs) {
    Run run;
    run.name = mode;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(self, {QStringLiteral("--run"), mode, QString::number(budgetMs)});
    if (!child.waitForFinished(int(budgetMs + KillGraceMs))) {
        run.otherLines << QStringLiteral("%1 run: did not end within %2 s, stopped")
                              .arg(mode)
                              .arg((budgetMs + KillGraceMs) / 1000);
        child.kill();
        child.waitForFinished(5000);
    } else if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        run.otherLines
            << QStringLiteral("%1 run: ended with code %2").arg(mode).arg(child.exitCode());
    }
    const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(QLatin1String(ResultTag))) {
            const QStringList parts = line.mid(int(qstrlen(ResultTag))).split(QLatin1Char('\t'));
            if (parts.size() == 2) {
                run.labels << parts.at(0);
                run.values.insert(parts.at(0), parts.at(1));
            }
        } else if (!line.trimmed().isEmpty()) {
            run.otherLines << line;
        }
    }
    return run;
}

int runBoth(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QElapsedTimer sinceMain;
    sinceMain.start();
    const QString self = QCoreApplication::applicationFilePath();

    const Run managed = runChild(self, QStringLiteral("managed"), ManagedBudgetMs);
    const qint64 left = TotalBudgetMs - sinceMain.elapsed();
    const Run unmanaged = runChild(self, QStringLiteral("unmanaged"), qMax<qint64>(30000, left));

    QStringList labels = managed.labels;
    for (const QString& label : unmanaged.labels)
        if (!labels.contains(label))
            labels << label;
    const QString head1 = QStringLiteral("lifecycle on (freeze 1 s, discard 3 s)");
    const QString head2 = QStringLiteral("lifecycle off");
    int labelWidth = 0;
    for (const QString& label : labels)
        labelWidth = qMax(labelWidth, int(label.size()));
    const int columnWidth = int(head1.size()) + 3;
    std::printf("%-*s%-*s%s\n", labelWidth + 3,
                qPrintable(QStringLiteral("%1 windows").arg(WindowCount)), columnWidth,
                qPrintable(head1), qPrintable(head2));
    for (const QString& label : labels)
        std::printf("%-*s%-*s%s\n", labelWidth + 3, qPrintable(label), columnWidth,
                    qPrintable(managed.values.value(label, QStringLiteral("-"))),
                    qPrintable(unmanaged.values.value(label, QStringLiteral("-"))));
    for (const QString& line : managed.otherLines + unmanaged.otherLines)
        std::printf("%s\n", qPrintable(line));
    bench::printTotalRun(sinceMain);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // The runs inherit the headless settings.
    bench::useHeadlessDefaults();

    if (argc >= 4 && qstrcmp(argv[1], "--run") == 0) {
        const bool managed = qstrcmp(argv[2], "managed") == 0;
        const qint64 budget = QByteArray(argv[3]).toLongLong();
        return runOnce(argc, argv, managed, budget > 0 ? budget : ManagedBudgetMs);
    }
    return runBoth(argc, argv);
}
