#pragma once

#include "BenchSupport.h"
#include "VersusChild.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

namespace bench {

class ReportServer;
class XSession;

// One line of Korvix's input report.
struct Input {
    QByteArray kind;
    // The X server's time of the event on the monotonic clock, in us, or
    // -1 where it cannot be placed there.
    qint64 sentUs = -1;
    qint64 receivedUs = -1;
    qint64 paintedUs = -1;
    // From the event as the X server stamped it, else from its arrival.
    qint64 fromUs() const { return sentUs >= 0 ? sentUs : receivedUs; }
};

// One gap over 50 ms from Korvix's stall report.
struct Gap {
    qint64 lengthMs;
    qint64 endMs;
};

// Korvix with many maximized windows and its tab strip, on the X display,
// with its stall and input reports switched on.
class DrivenKorvix {
public:
    // Upper bound for all windows to load.
    static constexpr int LoadTimeoutMs = 420000;

    DrivenKorvix(ReportServer& server, const XSession& x) : m_server(server), m_x(x) {}
    ~DrivenKorvix() { end(); }

    bool start(int windows, int sites, QSize frame);

    bool waitForAllLoaded();

    // The frame's title.
    QString frameName();

    // The page in sight, from the frame's title ("Seite <n>"), or 0.
    int shownWindow();

    // Clicks and returns the page in sight once the title names another,
    // or what it names after `waitMs`. A page that is still coming (it was
    // discarded, or the window is new) names none until it is there; that
    // is waited for a while longer. 0 when the title names no page.
    int clickAndRead(QPoint at, int before, int waitMs);

    // The row of the tab strip, placed at the bottom of the frame: up from
    // the frame's bottom edge until a click there shows another page.
    // Below the strip there is only the status bar, where a click changes
    // nothing.
    bool findStripRow();

    // Where the tabs in sight are: clicks along the strip, leaving out its
    // ends, where a tab only partly in sight would scroll the strip. Each
    // position is clicked again to check it; a miss means the strip moved,
    // and the walk is done once more.
    QMap<int, int> mapTabs();

    // Until every hidden page is discarded: the renderers of their sites
    // have ended. Returns the seconds waited.
    double waitForSleep(int* renderersBefore, int* renderersAfter);

    double pssMb() const { return measureTreeOf(m_process.processId()).megabytes; }
    bool running() const { return m_process.state() != QProcess::NotRunning; }

    void end();

    const QList<Input>& inputs() const { return m_inputs; }
    const QList<Gap>& gaps() const { return m_gaps; }
    QByteArray longestStall() const { return m_longestStall; }
    QString failure() const;
    int row() const { return m_row; }
    int left() const { return m_left; }
    int top() const { return m_top; }
    qint64 startNs() const { return m_startNs; }
    const XSession& x() const { return m_x; }

private:
    QString stallPath() const { return m_dir.filePath(QStringLiteral("stall.txt")); }
    QString inputPath() const { return m_dir.filePath(QStringLiteral("input.txt")); }

    ReportServer& m_server;
    const XSession& m_x;
    QTemporaryDir m_dir;
    QProcess m_process;
    OutputTail m_tail;
    QString m_failure;
    // Changes when Qt makes the window anew.
    QString m_frame;
    int m_windows = 0;
    int m_left = 0;
    int m_top = 0;
    int m_width = 0;
    int m_row = -1;
    qint64 m_startNs = 0;
    bool m_ended = false;
    QList<Input> m_inputs;
    QList<Gap> m_gaps;
    QByteArray m_longestStall;
};

} // namespace bench
