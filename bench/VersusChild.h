#pragma once

// What korvix_bench_versus needs to start one of the programs it compares
// as a child process on the benchmark's pages, and to end it again.

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class Prefer;
class QProcess;
class QTemporaryDir;

namespace bench {

class ReportServer;

constexpr QSize FrameSize(1280, 1024);
constexpr int EndTimeoutMs = 60000;

enum Variant { Bare, BarePerSite, Korvix, Chromium, Falkon, VariantCount };
constexpr std::array<const char*, VariantCount> VariantNames{"bare", "bare+pps", "korvix",
                                                             "chromium", "falkon"};

inline bool isPeer(Variant v) {
    return v == Chromium || v == Falkon;
}

// What one child opens and how long it may take.
struct Case {
    int windows = 1;
    int sites = 1;
    bool maximized = false;
    // The window on top, whose load counts as "visible page loaded"; 0 when
    // not asked for.
    int topWindow = 0;
    int timeoutMs = 0;
    // The browsers' bound when it is shorter; 0 for the same.
    int peerTimeoutMs = 0;
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
QList<Window> windowsOf(const Case& c, const ReportServer& server);

// Where the child shows its windows: the X display, or none for Qt's
// offscreen platform.
QProcessEnvironment childEnvironment(Variant variant, const QString& display);

// Korvix in a folder of its own, with its preferences (and the layout that
// opens the windows) beside it; `adjust` changes the preferences further.
// Returns the program's path, or empty.
QString prepareKorvix(const QTemporaryDir& dir, const QList<Window>& windows, bool maximized,
                      QString* error, const std::function<void(Prefer&)>& adjust = nullptr);

// The browser's program when it is installed, else empty.
QString peerProgram(Variant variant);
// The browser with a new profile in `dir`, all windows as tabs of one
// window of the frame's size; adds what it needs to `env`.
QStringList peerArguments(Variant variant, const QTemporaryDir& dir, const QList<Window>& windows,
                          QProcessEnvironment* env);

// The last lines a child wrote, for the message when it fails, and the bare
// shell's line about its windows.
class OutputTail {
public:
    void add(const QByteArray& data);
    QByteArray windowsLine() const { return m_windowsLine; }
    QString text() const;

private:
    QByteArray m_partial;
    QByteArray m_windowsLine;
    QByteArrayList m_lines;
};

// Ends the child the way a logout does (SIGTERM, then waits for it to save
// and go), and makes sure none of the processes below it outlive it into
// the next measurement.
void endChild(QProcess& process);

} // namespace bench
