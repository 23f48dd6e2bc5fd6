#pragma once

// What the benchmark programs share: a headless program in a temporary
// program directory, an event loop run until something holds, pages to load,
// and the memory and processes of the whole process tree (the program plus
// the web engine's helper processes).

#include "history/model/HistoryList.h"
#include "shell/Shell.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

class Application;

#include <functional>
#include <memory>

class Book;
class BrowserWindow;
class Dialogs;
class DownloadList;
class MainFrame;
class Prefer;
class QApplication;
class QTcpSocket;
class QWidget;
class WebView;

namespace bench {

// Upper bounds of waits that normally end long before; they only keep a
// hanging step from stopping the run.
constexpr int FirstPageTimeoutMs = 60000;
constexpr int PaintTimeoutMs = 10000;
constexpr int SettleTimeoutMs = 10000;

// Headless unless told otherwise; the engine's sandbox refuses to run as
// root. Child processes inherit both.
void useHeadlessDefaults();

// The frame as tool windows see it, but with a program folder and a
// history of the benchmark's own, so a measurement leaves the frame as it
// was.
class ToolShell : public Shell {
public:
    ToolShell(MainFrame* frame, const QString& folder);
    HistoryList& historyList() { return m_history; }

    Prefer& preferences() override;
    QString programFolder() const override { return m_folder; }
    const HistoryList& history() const override { return m_history; }
    WindowOpener& windowOpener() override;
    QRect anchorGeometry() const override;
    QWidget* ownerWindow() override;
    void toolWindowShown(ToolWindow window, bool shown) override;

private:
    MainFrame* m_frame;
    QString m_folder;
    HistoryList m_history;
};

// A program directory in a temporary folder, the application and dialogs
// that answer themselves, torn down in the order the engine needs: the
// directory outlives the application, so the engine's storage is still
// there while the engine shuts down.
class Program {
public:
    Program(int& argc, char** argv);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // False when there is no temporary directory; the reason is printed, and
    // every step below fails.
    bool isValid() const { return m_app != nullptr; }
    QString dir() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    // Preferences that open no window, layout or group at start, so every
    // window a figure counts is one the benchmark opened. `adjust` changes
    // them further before they are written. Prints why on failure.
    bool writeQuietPrefs(const std::function<void(Prefer&)>& adjust = nullptr);
    // A small local page, bench.html, with `extraBody` after its paragraph;
    // its file address, or empty (the reason printed).
    QString writeLocalPage(const QByteArray& extraBody = QByteArray());
    // The program's start-up with `address` as its command line. Without the
    // engine's profile no browser window can open. Prints a line (with
    // `hint`, if given) when there is no frame.
    MainFrame* start(const QString& address = QString(), bool withEngine = true,
                     const char* hint = nullptr);

    // Since the program object was made, the first thing main does.
    qint64 elapsedMs() const { return m_sinceStart.elapsed(); }
    // The downloads of the started program.
    DownloadList& downloads() const;
    void printTotalRun() const;

private:
    QElapsedTimer m_sinceStart;
    QTemporaryDir m_dir;
    std::unique_ptr<QApplication> m_app;
    std::unique_ptr<Dialogs> m_dialogs;
    std::unique_ptr<Application> m_program;
};

double msSince(const QElapsedTimer& timer);
// The last line of every program.
void printTotalRun(const QElapsedTimer& sinceMain);

// Runs the event loop until `done` holds or the time is up; returns `done`.
// Page loads take tens of milliseconds, so timing them needs a fine poll.
bool waitUntil(const std::function<bool()>& done, qint64 timeoutMs, int pollMs = 5);
// Writes out what the last measurement left to write and waits (at most
// `timeoutMs`) until the processors have been nearly idle for a moment, so
// that the end of one measurement (processes going, folders removed) does
// not fall on the start of the next.
void waitForQuietMachine(int timeoutMs = 10000);

// The longest gap between the ticks of a short timer: how long the program
// did not get to its event loop.
class StallMeter {
public:
    explicit StallMeter(int tickMs);
    void start();
    // Waits for one more tick, so the last stretch without one counts too.
    void stop();
    double longestMs() const { return double(m_longestNs) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
    int m_ticks = 0;
};

// Counts the paints a widget receives, so "shown" means drawn, not only
// asked to show.
class PaintCounter : public QObject {
public:
    ~PaintCounter() override;
    void watch(QWidget* widget);
    int paints() const { return m_paints; }

protected:
    bool eventFilter(QObject*, QEvent* event) override;

private:
    QPointer<QWidget> m_widget;
    int m_paints = 0;
};

struct FirstDraw {
    double constructedMs = 0;
    double drawnMs = 0;
    bool drawn = false;
};

// Makes a window with `create`, shows it and waits until the part of it that
// `part` picks has been painted; both times count from before `create`.
template <typename Create, typename Part>
auto openUntilDrawn(Create create, Part part, PaintCounter& painted, int timeoutMs,
                    FirstDraw* timing) {
    QElapsedTimer opening;
    opening.start();
    auto* window = create();
    timing->constructedMs = msSince(opening);
    painted.watch(part(window));
    window->show();
    timing->drawn = waitUntil([&painted] { return painted.paints() > 0; }, timeoutMs, 1);
    timing->drawnMs = msSince(opening);
    return window;
}

// Closes the window and waits until it is deleted.
void closeWindow(QWidget* window, int timeoutMs);

bool isLoaded(const BrowserWindow* w);
int loadedCount(const MainFrame* frame);
// A new browser window on `url`, the way "Neuer Browser" with an address
// opens one.
void openBrowser(MainFrame* frame, const QString& url);
// Closes every browser window and waits until their renderers have ended,
// so the next step is not charged for them. Returns the longest time in ms
// the event loop went without a turn meanwhile.
qint64 closeAllWindows(MainFrame* frame, int timeoutMs);

// Counts the loads a view starts, by address, so a wait for "not busy"
// cannot end before the engine has even begun the load it waits for.
class LoadStarts {
public:
    explicit LoadStarts(WebView* view);
    int of(const QString& url) const { return m_starts.value(url); }
    int total() const { return m_total; }

private:
    QObject m_context;
    QHash<QString, int> m_starts;
    int m_total = 0;
};

struct TreeStats {
    double megabytes = 0;
    double privateMegabytes = 0;
    int processes = 0;
    int renderers = 0;
};

// This process and all below it. Exited children not yet reaped hold no
// memory and do not count. Reading the memory figures is the slow part, so
// a caller that only counts can skip it.
TreeStats measureTree(bool withMemory = true);
// The same for another process and all below it, such as a program the
// benchmark started.
TreeStats measureTreeOf(qint64 root, bool withMemory = true);
// The process ids of `root` and all below it, the root first.
QList<qint64> treePids(qint64 root);
void printTree(const char* what, const TreeStats& stats);

bool writeFile(const QString& path, const QByteArray& data);
QByteArray htmlPage(const QByteArray& title, const QByteArray& body);

// Serves fixed pages on 127.0.0.1 and counts the requests for each path.
// Nothing may be cached, so every visit of a page is a real load.
class PageServer {
public:
    PageServer();
    bool start() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QString url(const QString& path) const;
    void addPage(const QString& path, const QByteArray& body) { m_pages.insert(path, body); }
    int hits(const QString& path) const { return m_hits.value(path); }

private:
    void serve(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QString, QByteArray> m_pages;
    QHash<QString, int> m_hits;
};

// An archive as a user builds it over the years: every folder and every
// bookmark new, so everything is written.
std::unique_ptr<Book> makeArchive(const QString& appDir, int folders, int bookmarksPerFolder);
qsizetype bookmarkCount(const Book& book);

} // namespace bench
