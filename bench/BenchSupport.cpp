#include "BenchSupport.h"

#include "blocking/model/Subscriptions.h"
#include "common/TreeMemory.h"
#include "prefs/model/KorvixSettings.h"

#include "app/Application.h"

#include "archive/model/Archive.h"
#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "browser/QtWebView.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "frame/ToolWindows.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>
#include <unistd.h>

namespace bench {

namespace {

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
    // Takes the name the program proposes, as a user who presses Enter.
    QString showSaveFile(QWidget*, const QString&, const QString& proposed, const QString&,
                         QFileDialog::Options) override {
        return proposed;
    }
    int showModal(const std::function<int()>&) override { return QDialog::Rejected; }
};

using TreeMemory::Process;

// A renderer says so on its command line, unless the zygote forked it: then
// it keeps the zygote's command line, and its zygote parent gives it away.
bool isRenderer(const QByteArray& cmdline, const QByteArray& parentCmdline) {
    return cmdline.contains("--type=renderer") ||
           (cmdline.contains("--type=zygote") && parentCmdline.contains("--type=zygote"));
}

} // namespace

void useHeadlessDefaults() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

Program::Program(int& argc, char** argv) {
    m_sinceStart.start();
    useHeadlessDefaults();
    if (!m_dir.isValid()) {
        std::fprintf(stderr, "no temporary directory: %s\n", qPrintable(m_dir.errorString()));
        return;
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    m_app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvix"));
    m_dialogs = std::make_unique<UnattendedDialogs>();
    Dialogs::install(m_dialogs.get());
}

ToolShell::ToolShell(MainFrame* frame, const QString& folder) : m_frame(frame), m_folder(folder) {}

Prefer& ToolShell::preferences() {
    return m_frame->tools()->preferences();
}
WindowOpener& ToolShell::windowOpener() {
    return *m_frame->registry();
}
QRect ToolShell::anchorGeometry() const {
    return m_frame->tools()->anchorGeometry();
}
QWidget* ToolShell::ownerWindow() {
    return m_frame;
}
void ToolShell::toolWindowShown(ToolWindow window, bool shown) {
    m_frame->tools()->toolWindowShown(window, shown);
}

Program::~Program() {
    if (!m_app)
        return;
    m_program.reset();
    EngineProfile::release();
    Dialogs::install(nullptr);
}

bool Program::writeQuietPrefs(const std::function<void(Prefer&)>& adjust) {
    if (!isValid())
        return false;
    Prefer prefs(dir());
    prefs.setDefaults();
    prefs.StartBrowser = 0;
    prefs.LoadOption = 1;
    prefs.HomeUrl = QStringLiteral("about:blank");
    if (adjust)
        adjust(prefs);
    QString error;
    if (!prefs.save(&error)) {
        std::fprintf(stderr, "cannot write the preferences: %s\n", qPrintable(error));
        return false;
    }
    // Filter lists come from Debian's copies, never from the internet in
    // the middle of a measurement.
    Subscriptions::save(KorvixSettings(dir()).path(), {});
    return true;
}

QString Program::writeLocalPage(const QByteArray& extraBody) {
    if (!isValid())
        return QString();
    const QString path = filePath(QStringLiteral("bench.html"));
    if (!writeFile(path,
                   htmlPage("Korvix Messung",
                            "<h1>Messseite</h1><p>Eine kleine lokale Seite.</p>" + extraBody) +
                       "\n")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return QString();
    }
    return QUrl::fromLocalFile(path).toString();
}

MainFrame* Program::start(const QString& address, bool withEngine, const char* hint) {
    if (!isValid())
        return nullptr;
    if (withEngine)
        EngineProfile::init(dir());
    Application::Options options;
    options.appDir = dir();
    options.commandLine = address;
    options.webViewFactory = QtWebView::factory();
    m_program = std::make_unique<Application>(options);
    MainFrame* frame = m_program->start();
    if (!frame) {
        if (hint)
            std::fprintf(stderr, "start-up opened no frame (%s)\n", hint);
        else
            std::fprintf(stderr, "start-up opened no frame\n");
    }
    return frame;
}

DownloadList& Program::downloads() const {
    return m_program->downloads();
}

void Program::printTotalRun() const {
    bench::printTotalRun(m_sinceStart);
}

double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

void printTotalRun(const QElapsedTimer& sinceMain) {
    std::printf("total run: %lld ms\n", static_cast<long long>(sinceMain.elapsed()));
    std::fflush(stdout);
}

namespace {
// Busy and total processor time of the whole machine so far, in ticks.
std::pair<qint64, qint64> processorTicks() {
    const QByteArray stat = TreeMemory::readProcFile(QStringLiteral("/proc/stat"));
    const QList<QByteArray> fields = stat.left(stat.indexOf('\n')).simplified().split(' ');
    qint64 total = 0;
    qint64 idle = 0;
    // "cpu user nice system idle iowait irq softirq steal ..."
    for (qsizetype i = 1; i < fields.size() && i <= 8; ++i) {
        const qint64 ticks = fields.at(i).toLongLong();
        total += ticks;
        if (i == 4 || i == 5)
            idle += ticks;
    }
    return {total - idle, total};
}
} // namespace

void waitForQuietMachine(int timeoutMs) {
    constexpr int WindowMs = 250;
    constexpr double QuietShare = 0.1;
    ::sync();
    QElapsedTimer waited;
    waited.start();
    auto before = processorTicks();
    while (waited.elapsed() < timeoutMs) {
        QThread::msleep(WindowMs);
        const auto now = processorTicks();
        const qint64 total = now.second - before.second;
        if (total > 0 && double(now.first - before.first) / double(total) < QuietShare)
            return;
        before = now;
    }
}

bool waitUntil(const std::function<bool()>& done, qint64 timeoutMs, int pollMs) {
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

StallMeter::StallMeter(int tickMs) {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(tickMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        m_longestNs = qMax(m_longestNs, now - m_lastNs);
        m_lastNs = now;
        ++m_ticks;
    });
}

void StallMeter::start() {
    m_clock.start();
    m_lastNs = 0;
    m_longestNs = 0;
    m_ticks = 0;
    m_timer.start();
}

void StallMeter::stop() {
    const int ticks = m_ticks;
    waitUntil([&] { return m_ticks > ticks; }, 60000, 1);
    m_timer.stop();
}

PaintCounter::~PaintCounter() {
    if (m_widget)
        m_widget->removeEventFilter(this);
}

void PaintCounter::watch(QWidget* widget) {
    if (m_widget)
        m_widget->removeEventFilter(this);
    m_widget = widget;
    m_paints = 0;
    widget->installEventFilter(this);
}

bool PaintCounter::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Paint)
        ++m_paints;
    return false;
}

void closeWindow(QWidget* window, int timeoutMs) {
    QPointer<QWidget> guard(window);
    window->close();
    waitUntil([&guard] { return guard.isNull(); }, timeoutMs);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool isLoaded(const BrowserWindow* w) {
    return w->webView()->hasDocument() && !w->webView()->isBusy();
}

int loadedCount(const MainFrame* frame) {
    int n = 0;
    for (const BrowserWindow* w : frame->registry()->windows())
        n += isLoaded(w) ? 1 : 0;
    return n;
}

void openBrowser(MainFrame* frame, const QString& url) {
    frame->registry()->setNextAddress(url);
    frame->registry()->openWindow(OpenRequest());
    frame->registry()->setNextAddress(QString());
}

qint64 closeAllWindows(MainFrame* frame, int timeoutMs) {
    QElapsedTimer sinceTurn;
    sinceTurn.start();
    qint64 longestPause = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestPause = qMax(longestPause, sinceTurn.restart()); });
    ticker.start(0);
    frame->registry()->closeAllWindows();
    // Closed windows leave the registry at once and are torn down a few per
    // turn of the event loop.
    waitUntil([frame] { return frame->findChildren<BrowserWindow*>().isEmpty(); }, timeoutMs);
    // Renderers of closed pages end a little later.
    waitUntil([] { return measureTree(false).renderers <= 1; }, timeoutMs);
    return longestPause;
}

LoadStarts::LoadStarts(WebView* view) {
    QObject::connect(view, &WebView::beforeNavigate, &m_context, [this](const QString& url) {
        m_starts[url] += 1;
        ++m_total;
    });
}

TreeStats measureTree(bool withMemory) {
    return measureTreeOf(::getpid(), withMemory);
}

TreeStats measureTreeOf(qint64 root, bool withMemory) {
    TreeStats stats;
    TreeMemory::Usage sum;
    QHash<qint64, QByteArray> cmdlines;
    for (const Process& p : TreeMemory::processTree(root)) {
        cmdlines.insert(p.pid,
                        TreeMemory::readProcFile(QStringLiteral("/proc/%1/cmdline").arg(p.pid)));
        if (p.zombie)
            continue;
        if (withMemory) {
            const TreeMemory::Usage m = TreeMemory::usage(p.pid);
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

QList<qint64> treePids(qint64 root) {
    QList<qint64> pids;
    for (const Process& p : TreeMemory::processTree(root))
        if (!p.zombie)
            pids << p.pid;
    return pids;
}

void printTree(const char* what, const TreeStats& stats) {
    std::printf("%s: process tree memory: %.1f MB, private memory: %.1f MB, processes in tree: "
                "%d, renderer processes: %d\n",
                what, stats.megabytes, stats.privateMegabytes, stats.processes, stats.renderers);
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray htmlPage(const QByteArray& title, const QByteArray& body) {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head><body>" + body + "</body></html>";
}

PageServer::PageServer() {
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, socket] { serve(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString PageServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
}

void PageServer::serve(QTcpSocket* socket) {
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

std::unique_ptr<Book> makeArchive(const QString& appDir, int folders, int bookmarksPerFolder) {
    auto book = std::make_unique<Book>(appDir);
    QList<std::shared_ptr<Thema>> themen;
    themen.reserve(folders);
    for (int f = 1; f <= folders; ++f) {
        auto thema = std::make_shared<Thema>();
        thema->Nr = f;
        thema->Sequenz = f;
        thema->FileName = QStringLiteral("%1.bkm").arg(f);
        thema->setDirName(QStringLiteral("Ordner %1").arg(f));
        QList<Bookmark> bookmarks;
        bookmarks.reserve(bookmarksPerFolder);
        for (int b = 1; b <= bookmarksPerFolder; ++b) {
            Bookmark bm;
            bm.Nr = qint16(b);
            bm.Titel = QStringLiteral("Lesezeichen %1 in Ordner %2").arg(b).arg(f);
            bm.Url = QStringLiteral("https://www.beispiel.de/ordner%1/seite%2.html?quelle=archiv")
                         .arg(f)
                         .arg(b);
            bm.Info = QStringLiteral("Notiz zu Seite %1 aus Ordner %2").arg(b).arg(f);
            bookmarks.append(bm);
        }
        thema->bookmarks = bookmarks;
        thema->counter = qint16(bookmarksPerFolder);
        thema->changed = true;
        themen.append(thema);
    }
    book->folders = themen;
    book->maxSequenz = folders;
    book->folderCount = qint16(folders);
    book->changed = true;
    return book;
}

qsizetype bookmarkCount(const Book& book) {
    qsizetype n = 0;
    if (book.folders)
        for (const std::shared_ptr<Thema>& t : *book.folders)
            n += t && t->bookmarks ? t->bookmarks->size() : 0;
    return n;
}

} // namespace bench
