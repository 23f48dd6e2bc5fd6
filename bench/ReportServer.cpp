#include "ReportServer.h"

#include "BenchSupport.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QUrlQuery>
#include <chrono>

namespace bench {

qint64 monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

namespace {
QByteArray response(const QByteArray& status, const QByteArray& type, const QByteArray& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nCache-Control: no-store\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}
} // namespace

ReportServer::~ReportServer() {
    stop();
}

bool ReportServer::start(int sites, QString* error) {
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

void ReportServer::stop() {
    if (!m_context)
        return;
    QMetaObject::invokeMethod(
        m_context, [this] { delete m_context; }, Qt::BlockingQueuedConnection);
    m_context = nullptr;
    m_thread.quit();
    m_thread.wait();
}

QString ReportServer::pageUrl(int site, int window) const {
    return QStringLiteral("http://127.0.0.%1:%2/p?r=%3&w=%4")
        .arg(site)
        .arg(m_ports.value(site - 1))
        .arg(m_round)
        .arg(window);
}

void ReportServer::beginRound() {
    QMutexLocker lock(&m_mutex);
    ++m_round;
    m_loaded.clear();
    m_reports.clear();
    m_pageRequests = 0;
}

int ReportServer::loadedCount() const {
    QMutexLocker lock(&m_mutex);
    return int(m_loaded.size());
}

int ReportServer::pageRequests() const {
    QMutexLocker lock(&m_mutex);
    return m_pageRequests;
}

qint64 ReportServer::loadedAtNs(int window) const {
    QMutexLocker lock(&m_mutex);
    return m_loaded.value(window, -1);
}

qint64 ReportServer::lastLoadedNs() const {
    QMutexLocker lock(&m_mutex);
    qint64 last = -1;
    for (qint64 at : m_loaded)
        last = qMax(last, at);
    return last;
}

qint64 ReportServer::reportAfterNs(Kind kind, int window, qint64 sinceNs) const {
    QMutexLocker lock(&m_mutex);
    for (const Report& r : m_reports)
        if (r.kind == kind && r.window == window && r.ns >= sinceNs)
            return r.ns;
    return -1;
}

void ReportServer::accept(QTcpServer* server) {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

// Answers every complete request in what has arrived; a request body (a
// report is a POST) is read and dropped.
void ReportServer::serve(QTcpSocket* socket) {
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

QByteArray ReportServer::answer(const QByteArray& target) {
    const QUrl url(QStringLiteral("http://host") + QString::fromLatin1(target));
    const QUrlQuery query(url);
    const int round = query.queryItemValue(QStringLiteral("r")).toInt();
    const int window = query.queryItemValue(QStringLiteral("w")).toInt();
    const bool loaded = url.path() == QLatin1String("/loaded");
    if (loaded || url.path() == QLatin1String("/painted")) {
        const qint64 now = monotonicNs();
        QMutexLocker lock(&m_mutex);
        if (round == m_round && window > 0) {
            m_reports.append({loaded ? Loaded : Painted, window, now});
            if (loaded && !m_loaded.contains(window))
                m_loaded.insert(window, now);
        }
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

// A few lines to lay out and draw; the load report goes out from the load
// event's own handler, so it cannot come before the event.
QByteArray ReportServer::page(int round, int window) {
    const QByteArray n = QByteArray::number(window);
    const QByteArray query = "?r=" + QByteArray::number(round) + "&w=" + n;
    return htmlPage("Seite " + n,
                    "<h1>Seite " + n +
                        "</h1>"
                        "<p>Eine kleine Seite f&uuml;r den Vergleich mit der nackten Engine.</p>"
                        "<p>Sie hat eine &Uuml;berschrift, drei Abs&auml;tze und eine Liste.</p>"
                        "<ul><li>erster Punkt</li><li>zweiter Punkt</li><li>dritter Punkt</li></ul>"
                        "<p>Wenn sie geladen ist, meldet sie das dem Server.</p>"
                        "<script>"
                        "function report(kind) { navigator.sendBeacon('/' + kind + '" +
                        query +
                        "'); }"
                        "addEventListener('load', function () { report('loaded'); });"
                        "function painted() { requestAnimationFrame(function () {"
                        " setTimeout(function () { report('painted'); }, 0); }); }"
                        "if (document.visibilityState === 'visible') painted();"
                        "document.addEventListener('visibilitychange', function () {"
                        " if (document.visibilityState === 'visible') painted(); });"
                        "</script>");
}

} // namespace bench
