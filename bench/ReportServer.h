#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>

class QTcpServer;
class QTcpSocket;

namespace bench {

// Monotonic nanoseconds, the clock every report and every step is timed on.
qint64 monotonicNs();

// The pages korvix_bench_versus opens and the reports they send back. One
// HTTP server per site address, all on a thread of their own, so nothing the
// driver does (sampling memory takes a while with hundreds of processes)
// delays a page or the time noted for its report.
//
// Every page reports its load event ("loaded") and, each time it comes into
// sight, the frame after that ("painted"): a requestAnimationFrame callback,
// sent on from a task after it, so the report leaves once the frame is out.
class ReportServer {
public:
    enum Kind { Loaded, Painted };

    ~ReportServer();

    bool start(int sites, QString* error);
    void stop();

    // Site 1..sites, window 1..n; the round makes a late report of an
    // earlier child count for nothing.
    QString pageUrl(int site, int window) const;

    void beginRound();

    int loadedCount() const;
    int pageRequests() const;
    // Monotonic nanoseconds of the window's first load report, or -1.
    qint64 loadedAtNs(int window) const;
    qint64 lastLoadedNs() const;
    // The first report of that kind from the window at or after `sinceNs`,
    // or -1.
    qint64 reportAfterNs(Kind kind, int window, qint64 sinceNs) const;

private:
    struct Report {
        Kind kind;
        int window;
        qint64 ns;
    };

    void accept(QTcpServer* server);
    void serve(QTcpSocket* socket);
    QByteArray answer(const QByteArray& target);
    static QByteArray page(int round, int window);

    QThread m_thread;
    QObject* m_context = nullptr;
    QList<quint16> m_ports;
    mutable QMutex m_mutex;
    int m_round = 0;
    QHash<int, qint64> m_loaded;
    QList<Report> m_reports;
    int m_pageRequests = 0;
};

} // namespace bench
