#include "app/StallWatch.h"

#include <QFile>
#include <QTimer>
#include <chrono>

namespace {
constexpr int TickMs = 10;
// A gap a person notices; longer ones are noted one by one, up to a bound.
constexpr qint64 NotedGapMs = 50;
constexpr qsizetype MostNotedGaps = 10000;

qint64 monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

StallWatch::StallWatch(const QString& reportPath, std::function<int()> windowCount)
    : m_reportPath(reportPath), m_windowCount(std::move(windowCount)), m_timer(new QTimer(this)) {
    m_sinceStart.start();
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(TickMs);
    connect(m_timer, &QTimer::timeout, this, &StallWatch::tick);
    m_timer->start();
}

StallWatch::~StallWatch() {
    QFile report(m_reportPath);
    if (!report.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    report.write(QStringLiteral("longest %1 at %2 windows %3\n")
                     .arg(m_longest)
                     .arg(m_longestAt)
                     .arg(m_windowsThen)
                     .toUtf8());
    report.write(
        QStringLiteral("windows %1 %2\n").arg(m_mostWindows).arg(m_mostWindowsAt).toUtf8());
    for (const auto& [length, end] : m_gaps)
        report.write(QStringLiteral("gap %1 %2\n").arg(length).arg(end).toUtf8());
}

StallWatch* StallWatch::fromEnvironment(std::function<int()> windowCount) {
    const QString path = qEnvironmentVariable("KORVIX_STALL_REPORT");
    return path.isEmpty() ? nullptr : new StallWatch(path, std::move(windowCount));
}

void StallWatch::stop() {
    if (!m_timer->isActive())
        return;
    tick();
    m_timer->stop();
}

void StallWatch::tick() {
    const qint64 now = m_sinceStart.elapsed();
    if (const int windows = m_windowCount ? m_windowCount() : 0; windows > m_mostWindows) {
        m_mostWindows = windows;
        m_mostWindowsAt = monotonicMs();
    }
    const qint64 gap = m_lastTick < 0 ? 0 : now - m_lastTick - TickMs;
    m_lastTick = now;
    if (gap > NotedGapMs && m_gaps.size() < MostNotedGaps)
        m_gaps.append({gap, monotonicMs()});
    if (gap <= m_longest)
        return;
    m_longest = gap;
    m_longestAt = now - gap;
    m_windowsThen = m_windowCount ? m_windowCount() : 0;
}
