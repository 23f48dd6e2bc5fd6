// How long the history window needs for the longest history the preferences
// allow, and how long a second start takes from its exec until the page it
// handed over has loaded in the running instance.
#include "app/AppInit.h"
#include "app/Dialogs.h"
#include "browser/BrowserWindow.h"
#include "browser/QtWebView.h"
#include "frame/MainFrame.h"
#include "history/FrmHistory.h"
#include "prefs/model/Prefer.h"

#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

#ifndef KORVIX_EXECUTABLE
#error "KORVIX_EXECUTABLE must name the built program"
#endif

namespace {

constexpr int HistoryRows = 32767;
constexpr int HandOffRuns = 5;

constexpr int PaintTimeoutMs = 10000;
constexpr int FirstPageTimeoutMs = 60000;
constexpr int HandOffTimeoutMs = 30000;
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

// Counts the paints a widget receives, so "shown" means drawn, not only
// asked to show.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) : m_widget(widget) { widget->installEventFilter(this); }
    ~PaintCounter() override {
        if (m_widget)
            m_widget->removeEventFilter(this);
    }
    int paints() const { return m_paints; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++m_paints;
        return false;
    }

private:
    QPointer<QWidget> m_widget;
    int m_paints = 0;
};

// Runs the event loop until `done` holds or the time is up; returns `done`.
// Page loads take tens of milliseconds, so timing them needs a fine poll.
bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    tick.start();
    loop.exec();
    return done();
}

double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

bool isLoaded(const BrowserWindow* w) {
    return w->webView()->hasDocument() && !w->webView()->isBusy();
}

BrowserWindow* browserWithId(const MainFrame* frame, qint32 id) {
    for (BrowserWindow* w : frame->browsers())
        if (w->ID == id)
            return w;
    return nullptr;
}

void closeWindow(QWidget* window) {
    QPointer<QWidget> guard(window);
    window->close();
    waitUntil([&guard] { return guard.isNull(); }, SettleTimeoutMs);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void benchHistory(MainFrame* frame) {
    // Distinct addresses and times, one visit a minute, as a long-used
    // program collects them.
    const QDateTime start = QDateTime::currentDateTime().addSecs(-60LL * HistoryRows);
    const int rows = frame->prefs().HistoryRows;
    QElapsedTimer adding;
    adding.start();
    for (int i = 0; i < HistoryRows; ++i)
        frame->History.AddToHistory(
            QStringLiteral("https://www.beispiel.de/bereich%1/seite%2.html").arg(i % 97).arg(i),
            QStringLiteral("Beispielseite %1").arg(i), rows, start.addSecs(60LL * i));
    const double addMs = msSince(adding);
    std::printf("history: %d addresses added (AddToHistory, HistoryRows %d): %.1f ms\n",
                frame->History.count(), rows, addMs);
    std::fflush(stdout);

    QElapsedTimer opening;
    opening.start();
    auto* window = new FrmHistory(frame);
    const double constructedMs = msSince(opening);
    PaintCounter painted(window->grid()->viewport());
    window->show();
    const bool shown = waitUntil([&painted] { return painted.paints() > 0; }, PaintTimeoutMs);
    const double shownMs = msSince(opening);

    // "Aktualisieren" on the open window: the fill alone.
    QElapsedTimer filling;
    filling.start();
    window->fillGrid();
    const double fillMs = msSince(filling);
    std::printf("history window, %d entries: construction (fills the grid) %.1f ms, until drawn "
                "%.1f ms, fillGrid again %.1f ms\n",
                frame->History.count(), constructedMs, shownMs, fillMs);
    if (window->grid()->rowCount() != frame->History.count())
        std::printf("history window shows %d of %d entries\n", window->grid()->rowCount(),
                    frame->History.count());
    if (!shown)
        std::printf("history window not drawn within %d ms\n", PaintTimeoutMs);
    std::fflush(stdout);
    closeWindow(window);
    // The addresses of the hand-off pages should not have to be searched for
    // among 32,767 others.
    frame->History.clear();
}

struct HandOff {
    double loadedMs = -1;
    double exitedMs = -1;
};

// Starts the copied program with the page's address and waits until the
// running instance (this process) shows it loaded in a new window.
HandOff handOffOnce(MainFrame* frame, const QString& program, const QString& pageUrl) {
    HandOff result;
    const qint32 before = frame->lastWindowNumber();
    const int countBefore = frame->counter;
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    second.setProcessEnvironment(env);
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    QObject::connect(&second, &QProcess::finished, &second,
                     [&] { result.exitedMs = msSince(timer); });
    timer.start();
    second.start(program, {pageUrl});
    const bool loaded = waitUntil(
        [&] {
            if (frame->lastWindowNumber() <= before || frame->counter <= countBefore)
                return false;
            const BrowserWindow* w = browserWithId(frame, frame->lastWindowNumber());
            return w && isLoaded(w) && w->webView()->locationUrl() == pageUrl;
        },
        HandOffTimeoutMs);
    if (loaded)
        result.loadedMs = msSince(timer);
    if (!second.waitForFinished(HandOffTimeoutMs))
        second.kill();
    waitUntil([&] { return second.state() == QProcess::NotRunning; }, SettleTimeoutMs);
    if (second.exitStatus() != QProcess::NormalExit || second.exitCode() != 0)
        std::printf("hand-off: the second start ended with code %d (%s)\n", second.exitCode(),
                    qPrintable(second.errorString()));
    if (!loaded)
        std::printf("hand-off: page not loaded in the running instance within %d ms (%d new "
                    "windows)\n",
                    HandOffTimeoutMs, int(frame->lastWindowNumber() - before));
    // Each run starts with the same windows open.
    for (qint32 id = before + 1; id <= frame->lastWindowNumber(); ++id)
        if (BrowserWindow* w = browserWithId(frame, id))
            closeWindow(w);
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
    frame->HistoryUrl = pageUrl;
    frame->NewBrowser();
    frame->HistoryUrl.clear();
    const qint32 first = frame->lastWindowNumber();
    if (!waitUntil(
            [&] {
                const BrowserWindow* w = browserWithId(frame, first);
                return w && isLoaded(w);
            },
            FirstPageTimeoutMs)) {
        std::printf("hand-off: the running instance's first page did not load within %d ms\n",
                    FirstPageTimeoutMs);
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
    QElapsedTimer sinceMain;
    sinceMain.start();

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    // The program directory of the running instance; outlives the
    // application, so the engine's storage is still there while the engine
    // shuts down.
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

    // No window at start, and the longest history the preferences allow.
    Prefer prefs(dir.path());
    prefs.setDefaults();
    prefs.StartBrowser = 0;
    prefs.LoadOption = 1;
    prefs.HomeUrl = QStringLiteral("about:blank");
    prefs.HistoryRows = HistoryRows;
    QString error;
    if (!prefs.SavePref(&error)) {
        std::fprintf(stderr, "cannot write the preferences: %s\n", qPrintable(error));
        return 1;
    }

    QtWebView::initProfile(dir.path());
    MainFrame* frame = AppInit::Main({dir.path(), QString(), QtWebView::factory()});
    if (!frame) {
        std::fprintf(stderr, "start-up opened no frame (another instance answered?)\n");
        QtWebView::releaseProfile();
        return 1;
    }

    benchHistory(frame);
    benchHandOff(frame, dir.path(), pageUrl);

    frame->CloseAllBrowser();
    waitUntil([frame] { return frame->browsers().isEmpty(); }, SettleTimeoutMs);
    std::printf("total run: %lld ms\n", static_cast<long long>(sinceMain.elapsed()));
    std::fflush(stdout);

    AppInit::shutdown();
    QtWebView::releaseProfile();
    Dialogs::install(nullptr);
    return 0;
}
