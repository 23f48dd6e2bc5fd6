#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <functional>

class QTimer;

// For measuring from outside: watches how long the event loop goes without
// getting round, from its first turn on (what comes before is start-up: the
// frame is not on screen yet) until the frame goes (what follows is the
// shutdown, out of sight), and at the end writes the longest gap, when
// it happened and how many windows were open then, as one line to a file:
// "longest <ms> at <ms since start> windows <n>", and a second line
// "windows <most> <ms>" with the most windows that were open at once and
// when they first were, on the system's monotonic clock. Every gap over
// 50 ms follows as "gap <ms> <monotonic ms at its end>", so a driver can
// tell whether the frame stalled while it did something. Switched on by the
// environment variable KORVIX_STALL_REPORT naming that file.
class StallWatch : public QObject {
public:
    StallWatch(const QString& reportPath, std::function<int()> windowCount);
    ~StallWatch() override;

    // A watch when the environment asks for one, else nothing.
    static StallWatch* fromEnvironment(std::function<int()> windowCount);

    // Counts a gap that ends now and watches no further.
    void stop();

private:
    void tick();

    QString m_reportPath;
    std::function<int()> m_windowCount;
    QTimer* m_timer;
    QElapsedTimer m_sinceStart;
    // -1 until the event loop's first turn.
    qint64 m_lastTick = -1;
    qint64 m_longest = 0;
    qint64 m_longestAt = 0;
    int m_windowsThen = 0;
    int m_mostWindows = 0;
    qint64 m_mostWindowsAt = 0;
    // Gaps over 50 ms: length and monotonic end, both in ms.
    QList<QPair<qint64, qint64>> m_gaps;
};
