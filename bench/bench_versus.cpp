// Korvix against a bare engine shell (korvix_bare_shell: an MDI area of plain
// web views and nothing else), both started as child processes on the same
// pages in the same run. The bare shell runs twice, with the engine's default
// process model and with --process-per-site, the model Korvix picks itself.
//
//   a. the first page of one window, from process start (median of 5 starts)
//   b. 50 normal windows, all in sight, on one site
//   c. 300 maximized windows over 30 sites (127.0.0.1 to 127.0.0.30)
//
// Every page reports its load event to the server in this process, which
// runs on a thread of its own and notes the time of each report; memory is
// the proportional set size of the child's whole process tree.
//
//   korvix_bench_versus [--runs N] [--quick] [--case a|b|c] [--korvix-only]
//
// --korvix-only leaves the bare shell out, for quick rounds while tuning.
#include "BenchSupport.h"
#include "common/TreeMemory.h"

#include "common/Twips.h"
#include "frame/model/LayoutFile.h"
#include "prefs/model/Prefer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <unistd.h>

#ifndef KORVIX_EXECUTABLE
#error "KORVIX_EXECUTABLE must name the built program"
#endif
#ifndef KORVIX_BARE_SHELL
#error "KORVIX_BARE_SHELL must name the bare shell"
#endif

namespace {

constexpr int FirstPageStarts = 5;
constexpr int ManyWindows = 50;
constexpr int MaximizedWindows = 300;
constexpr int Sites = 30;
constexpr int SampleMs = 250;
constexpr int LaterMs = 15000;
constexpr QSize FrameSize(1280, 1024);

// Upper bounds for one child; a child still loading then is ended.
constexpr int FirstPageTimeoutMs = 60000;
constexpr int ManyWindowsTimeoutMs = 240000;
constexpr int MaximizedTimeoutMs = 420000;
constexpr int EndTimeoutMs = 60000;

qint64 monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---------------------------------------------------------------------------
// The pages and the load reports.

// One HTTP server per site address, all on one thread of their own, so
// nothing the driver does (sampling memory takes a while with hundreds of
// processes) delays a page or the time noted for its report.
class ReportServer {
public:
    ~ReportServer() { stop(); }

    bool start(int sites, QString* error) {
        m_context = new QObject;
        m_context->moveToThread(&m_thread);
        m_thread.start();
        bool ok = true;
        QMetaObject::invokeMethod(
            m_context,
            [&] {
                quint16 port = 0;
                for (int site = 1; site <= sites && ok; ++site) {
                    auto* server = new QTcpServer(m_context);
                    const QHostAddress address(QStringLiteral("127.0.0.%1").arg(site));
                    // One port for all when it is free everywhere; any other
                    // will do.
                    if (!server->listen(address, port) && !server->listen(address, 0)) {
                        *error = QStringLiteral("cannot listen on %1: %2")
                                     .arg(address.toString(), server->errorString());
                        ok = false;
                        break;
                    }
                    port = server->serverPort();
                    m_ports << server->serverPort();
                    QObject::connect(server, &QTcpServer::newConnection, server,
                                     [this, server] { accept(server); });
                }
            },
            Qt::BlockingQueuedConnection);
        return ok;
    }

    void stop() {
        if (!m_context)
            return;
        QMetaObject::invokeMethod(
            m_context, [this] { delete m_context; }, Qt::BlockingQueuedConnection);
        m_context = nullptr;
        m_thread.quit();
        m_thread.wait();
    }

    // Site 1..sites, window 1..n; the round makes a late report of an
    // earlier child count for nothing.
    QString pageUrl(int site, int window) const {
        return QStringLiteral("http://127.0.0.%1:%2/p?r=%3&w=%4")
            .arg(site)
            .arg(m_ports.value(site - 1))
            .arg(m_round)
            .arg(window);
    }

    void beginRound() {
        QMutexLocker lock(&m_mutex);
        ++m_round;
        m_loaded.clear();
        m_pageRequests = 0;
    }

    int loadedCount() const {
        QMutexLocker lock(&m_mutex);
        return int(m_loaded.size());
    }
    int pageRequests() const {
        QMutexLocker lock(&m_mutex);
        return m_pageRequests;
    }
    // Monotonic nanoseconds of the window's first report, or -1.
    qint64 loadedAtNs(int window) const {
        QMutexLocker lock(&m_mutex);
        return m_loaded.value(window, -1);
    }
    qint64 lastLoadedNs() const {
        QMutexLocker lock(&m_mutex);
        qint64 last = -1;
        for (qint64 at : m_loaded)
            last = qMax(last, at);
        return last;
    }

private:
    void accept(QTcpServer* server) {
        while (QTcpSocket* socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, socket] { serve(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    // Answers every complete request in what has arrived; a request body
    // (a report is a POST) is read and dropped.
    void serve(QTcpSocket* socket) {
        QByteArray buffer = socket->property("pending").toByteArray() + socket->readAll();
        for (;;) {
            const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
            if (headEnd < 0)
                break;
            const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
            qsizetype bodySize = 0;
            for (const QByteArray& line : lines) {
                const QByteArray l = line.trimmed();
                if (l.toLower().startsWith("content-length:"))
                    bodySize = l.mid(15).trimmed().toLongLong();
            }
            if (buffer.size() < headEnd + 4 + bodySize)
                break;
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            buffer.remove(0, headEnd + 4 + bodySize);
            socket->write(answer(requestLine.value(1)));
        }
        socket->setProperty("pending", buffer);
    }

    QByteArray answer(const QByteArray& target) {
        const QUrl url(QStringLiteral("http://host") + QString::fromLatin1(target));
        const QUrlQuery query(url);
        const int round = query.queryItemValue(QStringLiteral("r")).toInt();
        const int window = query.queryItemValue(QStringLiteral("w")).toInt();
        if (url.path() == QLatin1String("/loaded")) {
            const qint64 now = monotonicNs();
            QMutexLocker lock(&m_mutex);
            if (round == m_round && window > 0 && !m_loaded.contains(window))
                m_loaded.insert(window, now);
            return "HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n";
        }
        if (url.path() == QLatin1String("/p") && window > 0) {
            {
                QMutexLocker lock(&m_mutex);
                if (round == m_round)
                    ++m_pageRequests;
            }
            return response("200 OK", "text/html; charset=utf-8", page(round, window));
        }
        return response("404 Not Found", "text/plain; charset=utf-8", "nicht gefunden");
    }

    static QByteArray response(const QByteArray& status, const QByteArray& type,
                               const QByteArray& body) {
        return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
               "\r\nCache-Control: no-store\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\n\r\n" + body;
    }

    // A few lines to lay out and draw; the report goes out from the load
    // event's own handler, so it cannot come before the event.
    static QByteArray page(int round, int window) {
        const QByteArray n = QByteArray::number(window);
        const QByteArray report = "/loaded?r=" + QByteArray::number(round) + "&w=" + n;
        return bench::htmlPage(
            "Seite " + n,
            "<h1>Seite " + n +
                "</h1>"
                "<p>Eine kleine Seite f&uuml;r den Vergleich mit der nackten Engine.</p>"
                "<p>Sie hat eine &Uuml;berschrift, drei Abs&auml;tze und eine Liste.</p>"
                "<ul><li>erster Punkt</li><li>zweiter Punkt</li><li>dritter Punkt</li></ul>"
                "<p>Wenn sie geladen ist, meldet sie das dem Server.</p>"
                "<script>addEventListener('load', function () {"
                " navigator.sendBeacon('" +
                report + "'); });</script>");
    }

    QThread m_thread;
    QObject* m_context = nullptr;
    QList<quint16> m_ports;
    mutable QMutex m_mutex;
    int m_round = 0;
    QHash<int, qint64> m_loaded;
    int m_pageRequests = 0;
};

// ---------------------------------------------------------------------------
// The programs.

enum Variant { Bare, BarePerSite, Korvix, VariantCount };
constexpr std::array<const char*, VariantCount> VariantNames{"bare", "bare+pps", "korvix"};

// What one child opens and how long it may take.
struct Case {
    int windows = 1;
    int sites = 1;
    bool maximized = false;
    // The window on top, whose load counts as "visible page loaded"; 0 when
    // not asked for.
    int topWindow = 0;
    int timeoutMs = 0;
    // Korvix only: memory again this long after all loaded; 0 for none.
    int laterMs = 0;
    // The bare shell only: with a profile stored in the child's folder.
    bool storedProfile = false;
};

struct Window {
    QString url;
    QRect geometry; // pixels in the MDI area
};

// Round robin over the sites; normal windows in a grid that leaves each in
// sight, as the bare shell's tiling does.
QList<Window> windowsOf(const Case& c, const ReportServer& server) {
    const int columns = int(std::ceil(std::sqrt(double(c.windows))));
    const int rows = (c.windows + columns - 1) / columns;
    // The frame's menu, bars and status line take some of its height.
    const QSize area(FrameSize.width(), FrameSize.height() - 120);
    const QSize cell(area.width() / columns, area.height() / rows);
    QList<Window> windows;
    for (int i = 0; i < c.windows; ++i) {
        Window w;
        w.url = server.pageUrl(i % c.sites + 1, i + 1);
        w.geometry =
            c.maximized
                ? QRect(0, 0, 640, 480)
                : QRect(QPoint(i % columns * cell.width(), i / columns * cell.height()), cell);
        windows << w;
    }
    return windows;
}

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

QProcessEnvironment childEnvironment(Variant variant) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"),
               QStringLiteral("qt.webenginecontext.info=false"));
    QString flags = QStringLiteral("--disable-gpu --no-sandbox");
    if (variant == BarePerSite)
        flags += QStringLiteral(" --process-per-site");
    env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), flags);
    env.remove(QStringLiteral("KORVIX_STALL_REPORT"));
    return env;
}

// Korvix in a folder of its own, with its preferences (and the layout that
// opens the windows) beside it. Returns the program's path, or empty.
QString prepareKorvix(const QTemporaryDir& dir, const QList<Window>& windows, bool maximized,
                      QString* error) {
    const QString original = QStringLiteral(KORVIX_EXECUTABLE);
    const QString program = dir.filePath(QStringLiteral("korvix"));
    if (!QFile::copy(original, program) ||
        !QFile::setPermissions(program, QFile::permissions(original))) {
        *error = QStringLiteral("cannot copy %1").arg(original);
        return QString();
    }
    const QString layoutName = QStringLiteral("Vergleich.wlt");
    const bool withLayout = windows.size() > 1;
    if (withLayout) {
        QList<LayoutItem> items;
        for (const Window& w : windows) {
            LayoutItem item;
            item.left = pxToTwips(w.geometry.x());
            item.top = pxToTwips(w.geometry.y());
            item.width = pxToTwips(w.geometry.width());
            item.height = pxToTwips(w.geometry.height());
            item.url = w.url;
            item.state = maximized ? 2 : 0;
            items << item;
        }
        if (!LayoutFile::save(dir.filePath(layoutName), items, error))
            return QString();
    }
    // As the other benchmarks write them: nothing opens at start but what
    // the case asks for.
    Prefer prefs(dir.path());
    prefs.setDefaults();
    prefs.StartBrowser = 0;
    prefs.LoadOption = 1;
    prefs.HomeUrl = QStringLiteral("about:blank");
    prefs.MdiWidth = clampInt16(pxToTwips(FrameSize.width()));
    prefs.MdiHeight = clampInt16(pxToTwips(FrameSize.height()));
    if (withLayout) {
        prefs.LoadOption = 2;
        prefs.Layout = layoutName;
    }
    if (!prefs.save(error))
        return QString();
    return program;
}

// The last lines a child wrote, for the message when it fails, and the bare
// shell's line about its windows.
class OutputTail {
public:
    void add(const QByteArray& data) {
        m_partial += data;
        qsizetype end;
        while ((end = m_partial.indexOf('\n')) >= 0) {
            const QByteArray line = m_partial.left(end).trimmed();
            m_partial.remove(0, end + 1);
            if (line.isEmpty())
                continue;
            if (line.startsWith("windows "))
                m_windowsLine = line;
            m_lines << line;
            if (m_lines.size() > 3)
                m_lines.removeFirst();
        }
    }
    QByteArray windowsLine() const { return m_windowsLine; }
    QString text() const { return QString::fromLocal8Bit(m_lines.join(" | ")); }

private:
    QByteArray m_partial;
    QByteArray m_windowsLine;
    QByteArrayList m_lines;
};

bool isAlive(qint64 pid) {
    const QList<QByteArray> fields =
        TreeMemory::statFields(TreeMemory::readProcFile(QStringLiteral("/proc/%1/stat").arg(pid)));
    return !fields.isEmpty() && fields.at(0) != "Z";
}

// Ends the child the way a logout does (SIGTERM, then waits for it to save
// and go), and makes sure none of the engine processes below it outlive it
// into the next measurement.
void endChild(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    const QList<qint64> helpers = bench::treePids(process.processId()).mid(1);
    process.terminate();
    if (!bench::waitUntil([&] { return process.state() == QProcess::NotRunning; }, EndTimeoutMs,
                          20)) {
        process.kill();
        process.waitForFinished(5000);
    }
    const auto anyAlive = [&] { return std::any_of(helpers.begin(), helpers.end(), isAlive); };
    if (!bench::waitUntil([&] { return !anyAlive(); }, 10000, 20)) {
        for (qint64 pid : helpers)
            if (isAlive(pid))
                ::kill(pid_t(pid), SIGKILL);
        bench::waitUntil([&] { return !anyAlive(); }, 5000, 20);
    }
}

bool g_korvixOnly = false;

Figures runChild(Variant variant, const Case& c, ReportServer& server) {
    Figures f;
    if (g_korvixOnly && variant != Korvix) {
        f.failure = QStringLiteral("left out");
        return f;
    }
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
    QProcessEnvironment env = childEnvironment(variant);
    const QString stallPath = dir.filePath(QStringLiteral("stall.txt"));
    if (variant == Korvix) {
        program = prepareKorvix(dir, windows, c.maximized, &f.failure);
        if (program.isEmpty())
            return f;
        // A single address goes on the command line; it opens maximized.
        if (windows.size() == 1)
            args << windows.first().url;
        env.insert(QStringLiteral("KORVIX_STALL_REPORT"), stallPath);
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
        if (!bench::writeFile(listPath, list)) {
            f.failure = QStringLiteral("cannot write %1").arg(listPath);
            return f;
        }
        args << QStringLiteral("--list") << listPath;
        if (c.storedProfile)
            args << QStringLiteral("--profile") << dir.filePath(QStringLiteral("WebEngine"));
    }

    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    OutputTail tail;
    QObject::connect(&process, &QProcess::readyRead, &process,
                     [&] { tail.add(process.readAll()); });

    bench::waitForQuietMachine();
    const qint64 startNs = monotonicNs();
    process.start(program, args);
    if (!process.waitForStarted(10000)) {
        f.failure = QStringLiteral("does not start: %1").arg(process.errorString());
        return f;
    }
    const qint64 pid = process.processId();
    QTimer sampler;
    const auto sample = [&] { f.peakMb = qMax(f.peakMb, bench::measureTreeOf(pid).megabytes); };
    QObject::connect(&sampler, &QTimer::timeout, &sampler, sample);
    sampler.start(SampleMs);
    sample();

    bench::waitUntil(
        [&] {
            return server.loadedCount() >= f.expected || process.state() == QProcess::NotRunning;
        },
        c.timeoutMs, 20);
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
        const bench::TreeStats end = bench::measureTreeOf(pid);
        f.endMb = end.megabytes;
        f.peakMb = qMax(f.peakMb, f.endMb);
        f.processes = end.processes;
        if (f.loaded < f.expected)
            f.failure = QStringLiteral("timed out after %1 s").arg(c.timeoutMs / 1000);
        else if (variant == Korvix && c.laterMs > 0) {
            bench::waitUntil([] { return false; }, c.laterMs, 50);
            f.laterMb = bench::measureTreeOf(pid).megabytes;
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

void printHeader(const char* title) {
    std::printf("%s\n", title);
    std::printf("  %-28s %10s %10s %10s %12s %16s\n", "", VariantNames[Bare],
                VariantNames[BarePerSite], VariantNames[Korvix], "korvix/bare", "korvix/bare+pps");
}

// Values below zero are not known; their ratios neither.
void printRow(const char* label, const Row& values, int decimals) {
    const auto ratio = [&](Variant base) {
        return values[Korvix] >= 0 && values[base] > 0 ? values[Korvix] / values[base] : -1.0;
    };
    std::printf("  %-28s %10s %10s %10s %12s %16s\n", label,
                qPrintable(number(values[Bare], decimals)),
                qPrintable(number(values[BarePerSite], decimals)),
                qPrintable(number(values[Korvix], decimals)), qPrintable(number(ratio(Bare), 2)),
                qPrintable(number(ratio(BarePerSite), 2)));
}

void printCounts(const char* label, const std::array<QString, VariantCount>& cells) {
    std::printf("  %-28s %10s %10s %10s\n", label, qPrintable(cells[Bare]),
                qPrintable(cells[BarePerSite]), qPrintable(cells[Korvix]));
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
    printHeader("b. 50 normal windows, all in sight, one site");
    printRow("all loaded, ms", rowOf(figures, [](const Figures& f) { return f.allLoadedMs; }), 0);
    printRow("PSS peak, MB", rowOf(figures, [](const Figures& f) { return f.peakMb; }), 1);
    printRow("PSS at the end, MB", rowOf(figures, [](const Figures& f) { return f.endMb; }), 1);
    printProcessesAndCounts(figures);
}

void maximizedWindows(ReportServer& server) {
    Case c;
    c.windows = MaximizedWindows;
    c.sites = Sites;
    c.maximized = true;
    c.topWindow = MaximizedWindows;
    c.timeoutMs = MaximizedTimeoutMs;
    c.laterMs = LaterMs;
    const std::array<Figures, VariantCount> figures = runEach(c, server);
    printHeader("c. 300 maximized windows over 30 sites");
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
    QString only; // one case: a, b or c
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--quick")) {
            quick = true;
        } else if (args.at(i) == QLatin1String("--case") && i + 1 < args.size()) {
            only = args.at(++i);
        } else if (args.at(i) == QLatin1String("--korvix-only")) {
            g_korvixOnly = true;
        } else if (args.at(i) == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = args.at(++i).toInt();
        } else {
            std::fprintf(stderr, "usage: korvix_bench_versus [--runs N] [--quick] [--case a|b|c] "
                                 "[--korvix-only]\n");
            return 2;
        }
    }
    if (runs < 1) {
        std::fprintf(stderr, "--runs needs a number above zero\n");
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
        std::printf("run %d took %.0f s\n", run, double(runTime.elapsed()) / 1000.0);
        std::fflush(stdout);
    }
    server.stop();
    bench::printTotalRun(sinceMain);
    return 0;
}
