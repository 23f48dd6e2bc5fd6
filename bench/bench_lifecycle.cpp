// What freezing and discarding hidden pages saves with 300 windows open: the
// same windows once with the page lifecycle sped up and once with it
// effectively off, each run in its own process and program directory, the
// figures side by side. Also how long a discarded page takes to come back.
//
// Without arguments the program runs both configurations as child processes
// and prints the table; "--run managed|unmanaged <budget ms>" is one run.
#include "app/AppInit.h"
#include "app/Dialogs.h"
#include "browser/BrowserWindow.h"
#include "browser/QtWebView.h"
#include "frame/MainFrame.h"
#include "prefs/model/Prefer.h"

#include <QApplication>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QMdiArea>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <functional>
#include <limits>
#include <unistd.h>

namespace {

constexpr int WindowCount = 300;
constexpr int ReshowCount = 3;

// The whole program stays within four minutes; the first run gets a little
// more than half, since it also brings discarded pages back.
constexpr qint64 TotalBudgetMs = 235000;
constexpr qint64 ManagedBudgetMs = 125000;
constexpr qint64 KillGraceMs = 10000;

// What each run keeps back from its deadline for the steps after opening.
constexpr qint64 ReserveAfterOpenMs = 55000;
constexpr qint64 ReserveAfterSettleMs = 35000;
constexpr qint64 ReserveForShutdownMs = 15000;

constexpr qint64 SettleMinMs = 10000;
constexpr int ReshowTimeoutMs = 15000;
constexpr int FirstFrameTimeoutMs = 30000;
constexpr int StallTickMs = 10;

const char ResultTag[] = "RESULT\t";

// Nobody is there to answer a message box, so it is printed and answered
// with its default instead of stopping the run.
class UnattendedDialogs : public Dialogs {
protected:
    QMessageBox::StandardButton showMessage(QWidget*, QMessageBox::Icon, const QString& title,
                                            const QString& text, QMessageBox::StandardButtons,
                                            QMessageBox::StandardButton defaultButton) override {
        std::fprintf(stderr, "message box \"%s\": %s\n", qPrintable(title), qPrintable(text));
        return defaultButton == QMessageBox::NoButton ? QMessageBox::Ok : defaultButton;
    }
    QString showOpenFile(QWidget*, const QString&, const QString&, const QString&,
                         QFileDialog::Options, bool) override {
        return QString();
    }
    QString showSaveFile(QWidget*, const QString&, const QString&, const QString&,
                         QFileDialog::Options) override {
        return QString();
    }
    int showModal(const std::function<int()>&) override { return QDialog::Rejected; }
};

QByteArray readProcFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// The fields of /proc/<pid>/stat after the command name, which may itself
// contain blanks and parentheses. Index 0 is field 3 (state).
QList<QByteArray> statFields(const QByteArray& stat) {
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 > stat.size())
        return {};
    return stat.mid(close + 2).trimmed().split(' ');
}

struct Process {
    qint64 pid = 0;
    qint64 parent = 0;
    bool zombie = false;
};

// This process and every process below it, found through the parent links;
// the root comes first, every parent before its children.
QList<Process> processTree(qint64 root) {
    QHash<qint64, QList<Process>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& name : entries) {
        bool ok = false;
        const qint64 pid = name.toLongLong(&ok);
        if (!ok)
            continue;
        const QList<QByteArray> fields =
            statFields(readProcFile(QStringLiteral("/proc/%1/stat").arg(pid)));
        if (fields.size() < 2)
            continue; // gone meanwhile
        const qint64 parent = fields.at(1).toLongLong();
        children[parent].append({pid, parent, fields.at(0) == "Z"});
    }
    QList<Process> tree{{root, 0, false}};
    for (qsizetype i = 0; i < tree.size(); ++i)
        tree += children.value(tree.at(i).pid);
    return tree;
}

// Kilobytes of the given "Key:   1234 kB" line, or -1.
qint64 kilobytesOf(const QByteArray& text, const QByteArray& key) {
    const qsizetype at = text.indexOf("\n" + key);
    const qsizetype start = text.startsWith(key) ? 0 : at < 0 ? -1 : at + 1;
    if (start < 0)
        return -1;
    const qsizetype end = text.indexOf('\n', start);
    const QByteArray line = text.mid(start + key.size(), end < 0 ? -1 : end - start - key.size());
    bool ok = false;
    const qint64 kb = line.trimmed().split(' ').value(0).toLongLong(&ok);
    return ok ? kb : -1;
}

struct Memory {
    qint64 pssKb = 0;
    qint64 privateKb = 0;
};

// Proportional set size, so pages the processes share count once in the sum;
// resident size where the kernel has no rollup.
Memory processMemory(qint64 pid) {
    Memory m;
    const QByteArray rollup = readProcFile(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    const qint64 pss = kilobytesOf(rollup, "Pss:");
    if (pss >= 0) {
        m.pssKb = pss;
        m.privateKb = qMax<qint64>(0, kilobytesOf(rollup, "Private_Clean:")) +
                      qMax<qint64>(0, kilobytesOf(rollup, "Private_Dirty:"));
        return m;
    }
    const QByteArray status = readProcFile(QStringLiteral("/proc/%1/status").arg(pid));
    m.pssKb = qMax<qint64>(0, kilobytesOf(status, "VmRSS:"));
    m.privateKb = qMax<qint64>(0, kilobytesOf(status, "RssAnon:"));
    return m;
}

// A renderer says so on its command line, unless the zygote forked it: then
// it keeps the zygote's command line, and its zygote parent gives it away.
bool isRenderer(const QByteArray& cmdline, const QByteArray& parentCmdline) {
    return cmdline.contains("--type=renderer") ||
           (cmdline.contains("--type=zygote") && parentCmdline.contains("--type=zygote"));
}

struct TreeStats {
    double megabytes = 0;
    double privateMegabytes = 0;
    int processes = 0;
    int renderers = 0;
};

// Exited children not yet reaped hold no memory and do not count.
TreeStats measureTree() {
    TreeStats stats;
    Memory sum;
    QHash<qint64, QByteArray> cmdlines;
    for (const Process& p : processTree(::getpid())) {
        cmdlines.insert(p.pid, readProcFile(QStringLiteral("/proc/%1/cmdline").arg(p.pid)));
        if (p.zombie)
            continue;
        const Memory m = processMemory(p.pid);
        sum.pssKb += m.pssKb;
        sum.privateKb += m.privateKb;
        ++stats.processes;
        if (isRenderer(cmdlines.value(p.pid), cmdlines.value(p.parent)))
            ++stats.renderers;
    }
    stats.megabytes = double(sum.pssKb) / 1024.0;
    stats.privateMegabytes = double(sum.privateKb) / 1024.0;
    return stats;
}

// Runs the event loop until `done` holds or the time is up; returns `done`.
bool waitUntil(const std::function<bool()>& done, qint64 timeoutMs, int pollMs = 5) {
    if (done())
        return true;
    const QDeadlineTimer deadline(qMax<qint64>(0, timeoutMs));
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(pollMs);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    tick.start();
    loop.exec();
    return done();
}

bool isLoaded(const BrowserWindow* w) {
    return w->webView()->hasDocument() && !w->webView()->isBusy();
}

// A page that is neither loaded nor put to sleep is still being worked on.
bool isSettled(const BrowserWindow* w) {
    return isLoaded(w) || w->webView()->lifecycle() != Lifecycle::State::Active;
}

void result(const QString& label, const QString& value) {
    std::printf("%s%s\t%s\n", ResultTag, qPrintable(label), qPrintable(value));
    std::fflush(stdout);
}

QString ms(double value) {
    return QStringLiteral("%1 ms").arg(value, 0, 'f', 0);
}

// The longest gap between the ticks of a short timer: how long the program
// did not get to its event loop.
class StallMeter {
public:
    StallMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(StallTickMs);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestNs = qMax(m_longestNs, now - m_lastNs);
            m_lastNs = now;
            ++m_ticks;
        });
    }
    void start() {
        m_clock.start();
        m_lastNs = 0;
        m_longestNs = 0;
        m_ticks = 0;
        m_timer.start();
    }
    // Waits for one more tick, so the last stretch without one counts too.
    void stop() {
        const int ticks = m_ticks;
        waitUntil([&] { return m_ticks > ticks; }, 60000, 1);
        m_timer.stop();
    }
    double longestMs() const { return double(m_longestNs) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
    int m_ticks = 0;
};

// Counts the loads a view starts, so a wait for "not busy" cannot end before
// the engine has begun bringing the page back.
class LoadStarts {
public:
    explicit LoadStarts(WebView* view) {
        QObject::connect(view, &WebView::beforeNavigate, &m_context, [this] { ++m_starts; });
    }
    int count() const { return m_starts; }

private:
    QObject m_context;
    int m_starts = 0;
};

// Only the active window can be seen: it is maximized, and QMdiArea hands
// that on to each window activated after it.
void maximizeActive(MainFrame* frame) {
    if (BrowserWindow* w = frame->activeBrowser())
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
    const LoadStarts starts(w->webView());
    QElapsedTimer timer;
    timer.start();
    frame->mdiArea()->setActiveSubWindow(w);
    r.back = waitUntil(
        [&] {
            return starts.count() > 0 && w->webView()->lifecycle() == Lifecycle::State::Active &&
                   isLoaded(w);
        },
        timeoutMs, 1);
    r.ms = double(timer.nsecsElapsed()) / 1e6;
    r.loadStarts = starts.count();
    return r;
}

QString describe(const BrowserWindow* w, const Reshow& r) {
    return QStringLiteral("window %1 not back within %2 ms (%3 loads started, %4, %5, %6)")
        .arg(w->ID)
        .arg(r.ms, 0, 'f', 0)
        .arg(r.loadStarts)
        .arg(w->webView()->lifecycle() == Lifecycle::State::Active ? QStringLiteral("active")
                                                                   : QStringLiteral("not active"))
        .arg(w->webView()->isBusy() ? QStringLiteral("busy") : QStringLiteral("not busy"))
        .arg(w->webView()->hasDocument() ? QStringLiteral("has a document")
                                         : QStringLiteral("no document"));
}

void reshowDiscarded(MainFrame* frame, const QDeadlineTimer& until) {
    // A page discarded before its first load finished has nothing to come
    // back to; those are tried apart from the others.
    QList<BrowserWindow*> wasLoaded;
    QList<BrowserWindow*> neverLoaded;
    for (BrowserWindow* w : frame->browsers()) {
        if (w == frame->activeBrowser() || w->webView()->lifecycle() != Lifecycle::State::Discarded)
            continue;
        (w->webView()->hasDocument() ? wasLoaded : neverLoaded) << w;
    }
    if (wasLoaded.isEmpty() && neverLoaded.isEmpty()) {
        std::printf("show a discarded window's page again: no window was discarded\n");
        return;
    }
    std::printf("discarded windows: %lld had loaded their page, %lld had not\n",
                static_cast<long long>(wasLoaded.size()),
                static_cast<long long>(neverLoaded.size()));

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

    if (!neverLoaded.isEmpty() && !until.hasExpired()) {
        BrowserWindow* w = neverLoaded.at(neverLoaded.size() / 2);
        const Reshow r = reshow(frame, w, qMin<qint64>(ReshowTimeoutMs, until.remainingTime()));
        if (r.back)
            std::printf("show a window discarded before its page had loaded: %.0f ms\n", r.ms);
        else
            std::printf("show a window discarded before its page had loaded: %s\n",
                        qPrintable(describe(w, r)));
    }
    std::fflush(stdout);
}

int runOnce(int argc, char* argv[], bool managed, qint64 budgetMs) {
    const QDeadlineTimer deadline(budgetMs);
    auto until = [&deadline](qint64 reserveMs) {
        return QDeadlineTimer(qMax<qint64>(0, deadline.remainingTime() - reserveMs));
    };

    // A fresh program directory for each run: no cache, no cookies, no
    // preferences from the other one.
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory: %s\n", qPrintable(dir.errorString()));
        return 1;
    }

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvix"));

    UnattendedDialogs dialogs;
    Dialogs::install(&dialogs);

    const QString pagePath = QDir(dir.path()).filePath(QStringLiteral("bench.html"));
    QFile page(pagePath);
    if (!page.open(QIODevice::WriteOnly) ||
        page.write("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Korvix "
                   "Messung</title></head><body><h1>Messseite</h1><p>Eine kleine lokale "
                   "Seite.</p></body></html>\n") < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(pagePath));
        return 1;
    }
    page.close();
    const QString pageUrl = QUrl::fromLocalFile(pagePath).toString();

    // No window at start and no layout or group, so every window counted is
    // one this run opened.
    Prefer prefs(dir.path());
    prefs.setDefaults();
    prefs.StartBrowser = 0;
    prefs.LoadOption = 1;
    prefs.HomeUrl = QStringLiteral("about:blank");
    QString error;
    if (!prefs.SavePref(&error)) {
        std::fprintf(stderr, "cannot write the preferences: %s\n", qPrintable(error));
        return 1;
    }

    QtWebView::initProfile(dir.path());
    MainFrame* frame = AppInit::Main({dir.path(), QString(), QtWebView::factory()});
    if (!frame) {
        std::fprintf(stderr, "start-up opened no frame\n");
        QtWebView::releaseProfile();
        return 1;
    }
    if (managed) {
        frame->lifecyclePolicy.freezeAfterMs = 1000;
        frame->lifecyclePolicy.discardAfterMs = 3000;
    } else {
        frame->lifecyclePolicy.freezeAfterMs = std::numeric_limits<qint64>::max() / 4;
        frame->lifecyclePolicy.discardAfterMs = std::numeric_limits<qint64>::max() / 4;
    }

    // The first window starts the engine's helper processes; that is start-up
    // work, not the cost of many windows.
    frame->HistoryUrl = pageUrl;
    frame->NewBrowser();
    frame->HistoryUrl.clear();
    maximizeActive(frame);
    waitUntil(
        [frame] { return !frame->browsers().isEmpty() && isLoaded(frame->browsers().first()); },
        FirstFrameTimeoutMs);

    StallMeter stalls;
    const QDeadlineTimer openUntil = until(ReserveAfterOpenMs);
    QElapsedTimer opening;
    opening.start();
    stalls.start();
    while (frame->counter < WindowCount && !openUntil.hasExpired()) {
        frame->HistoryUrl = pageUrl;
        frame->NewBrowser();
        frame->HistoryUrl.clear();
        maximizeActive(frame);
    }
    const qint64 existMs = opening.elapsed();
    stalls.stop();
    const int windows = frame->counter;
    const int loadedAtOnce = [frame] {
        int n = 0;
        for (const BrowserWindow* w : frame->browsers())
            n += isLoaded(w) ? 1 : 0;
        return n;
    }();
    if (windows < WindowCount)
        std::printf("%s run: only %d of %d windows opened within %lld ms\n",
                    managed ? "managed" : "unmanaged", windows, WindowCount,
                    static_cast<long long>(existMs));

    // Ten seconds leave every hidden page time to be frozen and discarded;
    // pages still loading get longer, as far as the budget allows.
    QElapsedTimer settling;
    settling.start();
    const QDeadlineTimer settleUntil = until(ReserveAfterSettleMs);
    waitUntil(
        [&] {
            if (settling.elapsed() < SettleMinMs)
                return false;
            for (const BrowserWindow* w : frame->browsers())
                if (!isSettled(w))
                    return false;
            return true;
        },
        settleUntil.remainingTime(), 50);
    const qint64 settleMs = settling.elapsed();

    int loaded = 0;
    int visible = 0;
    int active = 0;
    int frozen = 0;
    int discarded = 0;
    int unsettled = 0;
    for (BrowserWindow* w : frame->browsers()) {
        loaded += isLoaded(w) ? 1 : 0;
        visible += frame->isWindowVisible(w) ? 1 : 0;
        unsettled += isSettled(w) ? 0 : 1;
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
    const TreeStats tree = measureTree();

    result(QStringLiteral("windows opened"), QString::number(windows));
    result(QStringLiteral("windows 2-%1: all exist after").arg(WindowCount), ms(double(existMs)));
    result(QStringLiteral("longest event-loop stall while opening them"), ms(stalls.longestMs()));
    result(QStringLiteral("pages loaded when all windows existed"), QString::number(loadedAtOnce));
    result(QStringLiteral("measured after waiting"), ms(double(settleMs)));
    result(QStringLiteral("visible windows"), QString::number(visible));
    result(QStringLiteral("pages loaded / still loading"),
           QStringLiteral("%1 / %2").arg(loaded).arg(unsettled));
    result(QStringLiteral("pages active / frozen / discarded"),
           QStringLiteral("%1 / %2 / %3").arg(active).arg(frozen).arg(discarded));
    result(QStringLiteral("process tree memory (PSS)"),
           QStringLiteral("%1 MB").arg(tree.megabytes, 0, 'f', 1));
    result(QStringLiteral("private memory"),
           QStringLiteral("%1 MB").arg(tree.privateMegabytes, 0, 'f', 1));
    result(QStringLiteral("engine processes (renderers)"),
           QStringLiteral("%1 (%2)").arg(tree.processes - 1).arg(tree.renderers));

    if (managed)
        reshowDiscarded(frame, until(ReserveForShutdownMs));

    AppInit::shutdown();
    QtWebView::releaseProfile();
    Dialogs::install(nullptr);
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
    std::printf("total run: %lld ms\n", static_cast<long long>(sinceMain.elapsed()));
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // Headless unless told otherwise; the engine's sandbox refuses to run as
    // root. The runs inherit both.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    if (argc >= 4 && qstrcmp(argv[1], "--run") == 0) {
        const bool managed = qstrcmp(argv[2], "managed") == 0;
        const qint64 budget = QByteArray(argv[3]).toLongLong();
        return runOnce(argc, argv, managed, budget > 0 ? budget : ManagedBudgetMs);
    }
    return runBoth(argc, argv);
}
