// Find in a 5 MB page (time until the count shows) and a 200 MB download from
// a local server, against curl fetching the same file in the same run.
#include "BenchSupport.h"

#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "browser/FindBar.h"
#include "downloads/DownloadList.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEngineProfile>
#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 DownloadBytes = 200LL * 1024 * 1024;
constexpr int Chunk = 1024 * 1024;

// Serves one file of DownloadBytes as fast as the reader takes it.
class FileServer : public QObject {
public:
    FileServer() {
        m_chunk.resize(Chunk);
        for (int i = 0; i < Chunk; ++i)
            m_chunk[i] = char(i % 251);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                serve(s);
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/gross.bin").arg(m_server.serverPort());
    }

private:
    void serve(QTcpSocket* s) {
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QTcpSocket::readyRead, s, [this, s] {
            if (!s->readAll().contains("\r\n\r\n") || s->property("sent").isValid())
                return;
            s->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                     "Content-Disposition: attachment; filename=\"gross.bin\"\r\n"
                     "Content-Length: " +
                     QByteArray::number(DownloadBytes) + "\r\n\r\n");
            s->setProperty("sent", qint64(0));
            feed(s);
        });
        connect(s, &QTcpSocket::bytesWritten, s, [this, s] { feed(s); });
    }
    void feed(QTcpSocket* s) {
        qint64 sent = s->property("sent").toLongLong();
        while (sent < DownloadBytes && s->bytesToWrite() < 4 * Chunk) {
            const qint64 n = std::min<qint64>(Chunk, DownloadBytes - sent);
            s->write(m_chunk.constData(), n);
            sent += n;
        }
        s->setProperty("sent", sent);
    }

    QTcpServer m_server;
    QByteArray m_chunk;
};

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

void benchFind(bench::Program& program, MainFrame* frame) {
    // About 5 MB of text with the needle 1000 times in it.
    QByteArray body;
    for (int i = 0; body.size() < 5 * 1024 * 1024; ++i)
        body += "<p>Absatz " + QByteArray::number(i) + " mit etwas Text darin" +
                (i % 60 == 0 ? " und einer Nadel" : "") + ".</p>\n";
    const QString page = program.filePath(QStringLiteral("gross.html"));
    bench::writeFile(page, bench::htmlPage("Heuhaufen", body));
    bench::openBrowser(frame, QUrl::fromLocalFile(page).toString());
    BrowserWindow* w = frame->registry()->windows().value(0);
    if (!w ||
        !bench::waitUntil(
            [w] { return bench::isLoaded(w) && w->windowTitle() == QLatin1String("Heuhaufen"); },
            bench::FirstPageTimeoutMs)) {
        std::printf("find: the 5 MB page did not load\n");
        return;
    }
    QList<double> times;
    QString count;
    for (const char* word : {"Nadel", "nadel", "Absatz 4711", "Text darin", "Nadel"}) {
        w->openFindBar();
        FindBar* bar = w->findBar();
        bar->field()->clear();
        bench::waitUntil([bar] { return bar->count()->text().isEmpty(); }, 2000);
        QElapsedTimer timer;
        timer.start();
        bar->field()->setText(QString::fromLatin1(word));
        const bool found = bench::waitUntil(
            [bar] { return bar->count()->text().contains(QStringLiteral(" von ")); }, 60000, 1);
        times << (found ? bench::msSince(timer) : -1);
        count = bar->count()->text();
        bar->close();
    }
    std::printf("find in a 5 MB page: %.0f ms to the count (median of 5; last: \"%s\")\n",
                median(times), qPrintable(count));
    bench::closeAllWindows(frame, 30000);
}

void benchDownload(bench::Program& program, MainFrame* frame) {
    FileServer server;
    EngineProfile::profile()->setDownloadPath(program.dir());
    QElapsedTimer timer;
    timer.start();
    const DownloadList& list = program.downloads();
    const int row = list.count();
    bench::openBrowser(frame, server.url());
    const bool done = bench::waitUntil(
        [row, &list] {
            return list.count() > row && list.at(row).state != DownloadList::State::Running &&
                   list.at(row).state != DownloadList::State::Paused;
        },
        600000, 20);
    const double korvixMs = bench::msSince(timer);
    const bool ok = done && list.at(row).state == DownloadList::State::Finished;
    QFile::remove(program.filePath(QStringLiteral("gross.bin")));

    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    double curlMs = -1;
    if (!curl.isEmpty()) {
        QProcess process;
        timer.restart();
        process.start(curl, {QStringLiteral("-s"), QStringLiteral("-o"),
                             program.filePath(QStringLiteral("curl.bin")), server.url()});
        bench::waitUntil([&process] { return process.state() == QProcess::NotRunning; }, 600000,
                         20);
        if (process.exitCode() == 0)
            curlMs = bench::msSince(timer);
        QFile::remove(program.filePath(QStringLiteral("curl.bin")));
    }
    const double mb = double(DownloadBytes) / (1024 * 1024);
    if (!ok) {
        std::printf("download of 200 MB: did not finish\n");
        return;
    }
    std::printf("download of 200 MB: Korvix %.0f ms (%.0f MB/s)", korvixMs, mb / korvixMs * 1000);
    if (curlMs > 0)
        std::printf(", curl %.0f ms (%.0f MB/s), Korvix/curl time %.2f\n", curlMs,
                    mb / curlMs * 1000, korvixMs / curlMs);
    else
        std::printf(", curl not available\n");
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    bench::useHeadlessDefaults();
    bench::Program program(argc, argv);
    if (!program.isValid() || !program.writeQuietPrefs())
        return 1;
    MainFrame* frame = program.start();
    if (!frame)
        return 1;
    benchFind(program, frame);
    benchDownload(program, frame);
    program.printTotalRun();
    return 0;
}
