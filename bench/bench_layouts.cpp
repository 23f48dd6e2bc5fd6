// How long saving and opening a window layout of 300 windows takes, how much
// memory the process tree needs once all of its pages have loaded, and what
// the link round trip adds to each link beyond loading the page itself.
#include "app/AppInit.h"
#include "app/Dialogs.h"
#include "browser/BrowserWindow.h"
#include "browser/QtWebView.h"
#include "frame/Layout.h"
#include "frame/MainFrame.h"
#include "frame/model/LayoutFile.h"
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
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

constexpr int WindowCount = 300;
constexpr int LinkCount = 10;
// Loads per linked page for the direct-load mean, after one pass to warm up.
constexpr int LoadPasses = 3;

constexpr int PageTimeoutMs = 30000;
constexpr int WalkStartTimeoutMs = 10000;
// Eleven ticks of 1.75 s plus loads; far more means the walk hangs.
constexpr int RoundTripTimeoutMs = 90000;
constexpr int AddressTimeoutMs = 30000;
constexpr int LayoutPagesTimeoutMs = 180000;
constexpr int SettleTimeoutMs = 30000;

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

// Serves fixed pages on 127.0.0.1 and counts the requests for each path.
// Nothing may be cached, so every visit of a page is a real load.
class PageServer {
public:
    PageServer() {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { serve(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    bool start() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    void addPage(const QString& path, const QByteArray& body) { m_pages.insert(path, body); }
    int hits(const QString& path) const { return m_hits.value(path); }

private:
    void serve(QTcpSocket* socket) {
        const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        const qsizetype end = request.indexOf("\r\n\r\n");
        if (end < 0) {
            socket->setProperty("request", request);
            return;
        }
        socket->setProperty("request", request.mid(end + 4));
        const QList<QByteArray> line = request.left(request.indexOf("\r\n")).split(' ');
        const QString path = line.size() > 1 ? QString::fromLatin1(line.at(1)) : QString();
        m_hits[path] += 1;
        const bool found = m_pages.contains(path);
        const QByteArray body = found ? m_pages.value(path) : QByteArray("not found");
        socket->write((found ? "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                             : "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\n") +
                      QByteArray("Cache-Control: no-store\r\nContent-Length: ") +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
    }

    QTcpServer m_server;
    QHash<QString, QByteArray> m_pages;
    QHash<QString, int> m_hits;
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

// Exited children not yet reaped hold no memory and do not count. Reading the
// memory figures is the slow part, so a caller that only counts can skip it.
TreeStats measureTree(bool withMemory = true) {
    TreeStats stats;
    Memory sum;
    QHash<qint64, QByteArray> cmdlines;
    for (const Process& p : processTree(::getpid())) {
        cmdlines.insert(p.pid, readProcFile(QStringLiteral("/proc/%1/cmdline").arg(p.pid)));
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
// Page loads take tens of milliseconds, so timing them needs a fine poll.
bool waitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = 5) {
    if (done())
        return true;
    const QDeadlineTimer deadline(timeoutMs);
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

int loadedCount(const MainFrame* frame) {
    int n = 0;
    for (const BrowserWindow* w : frame->browsers())
        n += isLoaded(w) ? 1 : 0;
    return n;
}

void printTree(const char* what, const TreeStats& stats) {
    std::printf("%s: process tree memory: %.1f MB, private memory: %.1f MB, processes in tree: "
                "%d, renderer processes: %d\n",
                what, stats.megabytes, stats.privateMegabytes, stats.processes, stats.renderers);
}

void closeAllWindows(MainFrame* frame) {
    frame->CloseAllBrowser();
    waitUntil([frame] { return frame->browsers().isEmpty(); }, SettleTimeoutMs);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Renderers of closed pages end a little later; the next step should not
    // be charged for them.
    waitUntil([] { return measureTree(false).renderers <= 1; }, SettleTimeoutMs);
}

// Counts the loads a view starts, by address, so a wait for "not busy" cannot
// end before the engine has even begun the load it waits for.
class LoadStarts {
public:
    explicit LoadStarts(WebView* view) {
        QObject::connect(view, &WebView::beforeNavigate, &m_context,
                         [this](const QString& url) { m_starts[url] += 1; });
    }
    int of(const QString& url) const { return m_starts.value(url); }

private:
    QObject m_context;
    QHash<QString, int> m_starts;
};

QString linkPath(int i) {
    return QStringLiteral("/seite%1.html").arg(i);
}

// Loads `url` in the window and returns the milliseconds until the window is
// no longer busy with it, or -1 when it did not finish in time.
double timedLoad(BrowserWindow* w, const LoadStarts& starts, const QString& url) {
    const int before = starts.of(url);
    QElapsedTimer timer;
    timer.start();
    w->Navigate(url);
    const bool done = waitUntil([&] { return starts.of(url) > before && !w->webView()->isBusy(); },
                                PageTimeoutMs, 1);
    return done ? double(timer.nsecsElapsed()) / 1e6 : -1;
}

void benchRoundTrip(MainFrame* frame, PageServer& server) {
    const QString startUrl = server.url(QStringLiteral("/start.html"));
    frame->HistoryUrl = startUrl;
    frame->NewBrowser();
    frame->HistoryUrl.clear();
    BrowserWindow* w = frame->activeBrowser();
    if (!w || !waitUntil([w] { return isLoaded(w) && !w->isPolling(); }, PageTimeoutMs)) {
        std::printf("round trip: start page not loaded within %d ms\n", PageTimeoutMs);
        return;
    }
    const LoadStarts starts(w->webView());

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
    waitUntil([w] { return !w->isPolling(); }, PageTimeoutMs);

    QHash<QString, int> hitsBefore;
    for (int i = 1; i <= LinkCount; ++i)
        hitsBefore.insert(linkPath(i), server.hits(linkPath(i)));
    const int returnsBefore = starts.of(startUrl);
    QElapsedTimer timer;
    timer.start();
    w->tbToolBar_ButtonMenuClick(QStringLiteral("Roundtrip"));
    if (!waitUntil([w] { return w->isWalking(); }, WalkStartTimeoutMs)) {
        std::printf("round trip did not start within %d ms\n", WalkStartTimeoutMs);
        return;
    }
    const int links = int(w->roundTrip().colLinks.size());
    const bool back = waitUntil(
        [&] {
            return !w->isWalking() && starts.of(startUrl) > returnsBefore &&
                   !w->webView()->isBusy();
        },
        RoundTripTimeoutMs, 1);
    const double total = double(timer.nsecsElapsed()) / 1e6;
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
    QElapsedTimer opening;
    opening.start();
    for (int i = 0; i < WindowCount; ++i) {
        frame->HistoryUrl = pageUrl;
        frame->NewBrowser();
        frame->HistoryUrl.clear();
    }
    const qint64 createdMs = opening.elapsed();
    const int opened = frame->counter;
    // The file records each window's address, which a window knows as soon
    // as its load has begun. Waiting for the 300 pages here too would nearly
    // double the run; the load below waits for them.
    const bool addressed = waitUntil(
        [frame, &pageUrl] {
            for (const BrowserWindow* w : frame->browsers())
                if (w->webView()->locationUrl() != pageUrl)
                    return false;
            return true;
        },
        AddressTimeoutMs);
    std::printf("open %d windows: windows exist after %lld ms, %d pages loaded at save\n", opened,
                static_cast<long long>(createdMs), loadedCount(frame));
    if (!addressed)
        std::printf("open %d windows: not every window has its address within %d ms\n", opened,
                    AddressTimeoutMs);
    std::fflush(stdout);

    QElapsedTimer saving;
    saving.start();
    const bool saved = Layout(frame).SaveLayout(layoutPath);
    const double saveMs = double(saving.nsecsElapsed()) / 1e6;
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
    closeAllWindows(frame);
    std::printf("close all %d windows: %lld ms\n", opened,
                static_cast<long long>(closing.elapsed()));
    std::fflush(stdout);

    const int expected = int(records.size());
    QElapsedTimer loading;
    loading.start();
    Layout(frame).LoadLayout(layoutPath);
    const bool allExist =
        waitUntil([frame, expected] { return frame->counter >= expected; }, SettleTimeoutMs);
    const qint64 existMs = loading.elapsed();
    std::printf("layout load, %d windows (all windows exist): %lld ms\n", int(frame->counter),
                static_cast<long long>(existMs));
    if (!allExist)
        std::printf("layout load: %d of %d windows exist after %lld ms\n", int(frame->counter),
                    expected, static_cast<long long>(existMs));
    std::fflush(stdout);

    const int windows = frame->counter;
    const bool allLoaded =
        waitUntil([frame, windows] { return loadedCount(frame) >= windows; },
                  int(qMax<qint64>(0, LayoutPagesTimeoutMs - loading.elapsed())));
    const qint64 loadedMs = loading.elapsed();
    const TreeStats stats = measureTree();
    if (allLoaded)
        std::printf("layout load, %d windows, all pages loaded: %lld ms\n", windows,
                    static_cast<long long>(loadedMs));
    else
        std::printf("layout load, %d windows, all pages loaded: not within %d ms, %d pages "
                    "loaded\n",
                    windows, LayoutPagesTimeoutMs, loadedCount(frame));
    printTree(qPrintable(QStringLiteral("layout load, %1 windows").arg(windows)), stats);
    std::fflush(stdout);
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

int main(int argc, char* argv[]) {
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
    if (!writeFile(pagePath, "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Korvix "
                             "Messung</title></head><body><h1>Messseite</h1><p>Eine kleine "
                             "lokale Seite.</p></body></html>\n")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(pagePath));
        return 1;
    }
    const QString pageUrl = QUrl::fromLocalFile(pagePath).toString();

    PageServer server;
    if (!server.start()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    QByteArray start = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Rundgang</title>"
                       "</head><body><h1>Rundgang</h1><ul>";
    for (int i = 1; i <= LinkCount; ++i) {
        const QByteArray n = QByteArray::number(i);
        start += "<li><a href=\"seite" + n + ".html\">Seite " + n + "</a></li>";
        server.addPage(linkPath(i), "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>"
                                    "Seite " +
                                        n + "</title></head><body><p>Seite " + n +
                                        "</p></body></html>");
    }
    server.addPage(QStringLiteral("/start.html"), start + "</ul></body></html>");

    // No window at start and no layout or group opened by the preferences, so
    // every window the figures count is one this program opened.
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
    if (frame->counter != 0)
        std::printf("start-up opened %d windows\n", int(frame->counter));

    // The walk first, while the machine is quiet; 300 windows leave the
    // engine busy for a while even after they are closed.
    benchRoundTrip(frame, server);
    std::fflush(stdout);
    closeAllWindows(frame);

    benchLayouts(frame, pageUrl, QDir(dir.path()).filePath(QStringLiteral("bench.wlt")));

    closeAllWindows(frame);
    std::printf("total run: %lld ms\n", static_cast<long long>(sinceMain.elapsed()));
    std::fflush(stdout);

    AppInit::shutdown();
    QtWebView::releaseProfile();
    Dialogs::install(nullptr);
    return 0;
}
