// How long the program takes from its start to the first loaded page, and how
// much memory the whole process tree (the program plus the web engine's
// helper processes) needs with 10 and with 50 windows open.
#include "app/AppInit.h"
#include "app/Dialogs.h"
#include "browser/BrowserWindow.h"
#include "browser/QtWebView.h"
#include "frame/MainFrame.h"

#include <QApplication>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace {

constexpr int FirstPageTimeoutMs = 60000;
constexpr int SmallRoundTimeoutMs = 60000;
constexpr int LargeRoundTimeoutMs = 100000;
constexpr int SettleTimeoutMs = 10000;

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

// Milliseconds from the kernel's start of this process until now, or -1.
// starttime counts clock ticks since boot, so the figure has the resolution of
// one tick (10 ms on common kernels).
qint64 msSinceProcessStart() {
    const QList<QByteArray> fields = statFields(readProcFile(QStringLiteral("/proc/self/stat")));
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
// resident size where the kernel has no rollup. Other programs that map the
// same libraries lower the proportional figure, the private one they leave
// alone.
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

QByteArray commandLine(qint64 pid) {
    return readProcFile(QStringLiteral("/proc/%1/cmdline").arg(pid));
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

// Exited children not yet reaped hold no memory and do not count. Reading the
// memory figures is the slow part, so a caller that only counts can skip it.
TreeStats measureTree(bool withMemory = true) {
    TreeStats stats;
    Memory sum;
    QHash<qint64, QByteArray> cmdlines;
    for (const Process& p : processTree(::getpid())) {
        cmdlines.insert(p.pid, commandLine(p.pid));
        if (p.zombie)
            continue;
        if (withMemory) {
            const Memory m = processMemory(p.pid);
            sum.pssKb += m.pssKb;
            sum.privateKb += m.privateKb;
        }
        ++stats.processes;
        if (isRenderer(cmdlines.value(p.pid), cmdlines.value(p.parent)))
            ++stats.renderers;
    }
    stats.megabytes = double(sum.pssKb) / 1024.0;
    stats.privateMegabytes = double(sum.privateKb) / 1024.0;
    return stats;
}

// Runs the event loop until `done` holds or the time is up; returns `done`.
bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(5);
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

int loadedCount(const MainFrame* frame) {
    int n = 0;
    for (const BrowserWindow* w : frame->browsers())
        n += isLoaded(w) ? 1 : 0;
    return n;
}

void closeAllWindows(MainFrame* frame) {
    frame->CloseAllBrowser();
    waitUntil([frame] { return frame->browsers().isEmpty(); }, SettleTimeoutMs);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Renderers of closed pages end a little later; the next round should not
    // be charged for them.
    waitUntil([] { return measureTree(false).renderers <= 1; }, SettleTimeoutMs);
}

// Opens `count` windows on the page, each the way "Neuer Browser" with an
// address does, and waits until every one has loaded.
void openWindowsRound(MainFrame* frame, const QString& pageUrl, int count, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        frame->HistoryUrl = pageUrl;
        frame->NewBrowser();
        frame->HistoryUrl.clear();
    }
    const bool all = waitUntil(
        [frame, count] { return frame->browsers().size() >= count && loadedCount(frame) >= count; },
        timeoutMs);
    const qint64 ms = timer.elapsed();
    const TreeStats stats = measureTree();
    std::printf("open %d windows: %lld ms, process tree memory: %.1f MB\n", count,
                static_cast<long long>(ms), stats.megabytes);
    std::printf("%d windows: private memory: %.1f MB, processes in tree: %d, renderer "
                "processes: %d\n",
                count, stats.privateMegabytes, stats.processes, stats.renderers);
    if (!all)
        std::printf("%d windows: only %d of %d loaded within %d ms\n", count, loadedCount(frame),
                    count, timeoutMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    const qint64 execToMain = msSinceProcessStart();
    QElapsedTimer sinceMain;
    sinceMain.start();

    // Headless unless told otherwise; the engine's sandbox refuses to run as
    // root.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    // Outlives the application, so the engine's storage is still there while
    // the engine shuts down.
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
                   "Seite.</p><a href=\"bench.html\">Nochmal</a></body></html>\n") < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(pagePath));
        return 1;
    }
    page.close();
    const QString pageUrl = QUrl::fromLocalFile(pagePath).toString();

    QtWebView::initProfile(dir.path());
    MainFrame* frame = AppInit::Main({dir.path(), pageUrl, QtWebView::factory()});
    if (!frame) {
        std::fprintf(stderr, "start-up opened no frame\n");
        QtWebView::releaseProfile();
        return 1;
    }

    const bool firstLoaded = waitUntil(
        [frame] { return !frame->browsers().isEmpty() && isLoaded(frame->browsers().first()); },
        FirstPageTimeoutMs);
    const qint64 mainToLoaded = sinceMain.elapsed();
    if (execToMain >= 0) {
        std::printf("exec to main: %lld ms\n", static_cast<long long>(execToMain));
        std::printf("start to first page loaded: %lld ms\n",
                    static_cast<long long>(execToMain + mainToLoaded));
    }
    std::printf("main to first page loaded: %lld ms\n", static_cast<long long>(mainToLoaded));
    if (!firstLoaded)
        std::printf("first page not loaded within %d ms\n", FirstPageTimeoutMs);
    else if (frame->browsers().first()->webView()->locationUrl() != pageUrl)
        std::printf("first window shows %s instead of the page\n",
                    qPrintable(frame->browsers().first()->webView()->locationUrl()));
    const TreeStats first = measureTree();
    std::printf("1 window: process tree memory: %.1f MB, private memory: %.1f MB, processes in "
                "tree: %d, renderer processes: %d\n",
                first.megabytes, first.privateMegabytes, first.processes, first.renderers);
    std::fflush(stdout);

    // Each round starts from an empty frame, so its figures belong to exactly
    // its own windows.
    closeAllWindows(frame);
    openWindowsRound(frame, pageUrl, 10, SmallRoundTimeoutMs);
    closeAllWindows(frame);
    openWindowsRound(frame, pageUrl, 50, LargeRoundTimeoutMs);

    QElapsedTimer closing;
    closing.start();
    closeAllWindows(frame);
    std::printf("close all windows: %lld ms\n", static_cast<long long>(closing.elapsed()));
    std::printf("total run: %lld ms\n", static_cast<long long>(sinceMain.elapsed()));
    std::fflush(stdout);

    AppInit::shutdown();
    QtWebView::releaseProfile();
    Dialogs::install(nullptr);
    return 0;
}
