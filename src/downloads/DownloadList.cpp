#include "downloads/DownloadList.h"

#include <QWebEngineDownloadRequest>

namespace {
using Reason = QWebEngineDownloadRequest::DownloadInterruptReason;

QString reasonText(Reason reason) {
    switch (reason) {
    case Reason::FileAccessDenied:
        return QStringLiteral("Keine Berechtigung, die Datei zu schreiben");
    case Reason::FileNoSpace:
        return QStringLiteral("Nicht genug Platz auf dem Datenträger");
    case Reason::FileNameTooLong:
        return QStringLiteral("Der Dateiname ist zu lang");
    case Reason::FileTooLarge:
        return QStringLiteral("Die Datei ist zu groß für den Datenträger");
    case Reason::FileVirusInfected:
        return QStringLiteral("Die Datei enthält einen Virus");
    case Reason::FileBlocked:
    case Reason::FileSecurityCheckFailed:
        return QStringLiteral("Die Datei wurde gesperrt");
    case Reason::FileTooShort:
    case Reason::FileHashMismatch:
    case Reason::FileFailed:
    case Reason::FileTransientError:
        return QStringLiteral("Die Datei konnte nicht geschrieben werden");
    case Reason::NetworkTimeout:
        return QStringLiteral("Zeitüberschreitung im Netzwerk");
    case Reason::NetworkDisconnected:
        return QStringLiteral("Die Netzwerkverbindung wurde getrennt");
    case Reason::NetworkServerDown:
        return QStringLiteral("Der Server ist nicht erreichbar");
    case Reason::NetworkFailed:
    case Reason::NetworkInvalidRequest:
        return QStringLiteral("Netzwerkfehler");
    case Reason::ServerFailed:
    case Reason::ServerBadContent:
        return QStringLiteral("Der Server hat die Datei nicht vollständig geliefert");
    case Reason::ServerUnauthorized:
    case Reason::ServerForbidden:
        return QStringLiteral("Der Server verweigert den Zugriff");
    case Reason::ServerCertProblem:
        return QStringLiteral("Das Zertifikat des Servers ist ungültig");
    case Reason::ServerUnreachable:
        return QStringLiteral("Die Datei ist auf dem Server nicht mehr vorhanden");
    case Reason::UserCanceled:
        return QStringLiteral("Abgebrochen");
    case Reason::NoReason:
        break;
    }
    // Reasons the engine passes through without a name in Qt's list.
    switch (int(reason)) {
    case 38: // the server sent less than it announced
        return QStringLiteral("Der Server hat die Datei nicht vollständig geliefert");
    case 39:
        return QStringLiteral("Der Server hat zu einer anderen Website umgeleitet");
    case 41:
        return QStringLiteral("Korvix wurde beendet");
    case 50:
        return QStringLiteral("Der Download ist abgestürzt");
    default:
        return QStringLiteral("Unbekannter Fehler");
    }
}
} // namespace

DownloadList::DownloadList() {
    m_sampler.setInterval(1000);
    connect(&m_sampler, &QTimer::timeout, this, &DownloadList::sampleSpeeds);
}

QString DownloadList::knownPath(quint32 id) const {
    for (const Entry& e : m_entries)
        if (e.id == id)
            return e.path;
    return QString();
}

void DownloadList::add(QWebEngineDownloadRequest* request) {
    int row = -1;
    for (int i = 0; i < count(); ++i)
        if (m_entries[i].id == request->id())
            row = i;
    if (row < 0) {
        Entry entry;
        entry.id = request->id();
        entry.path = request->downloadDirectory() + QLatin1Char('/') + request->downloadFileName();
        entry.source = request->url();
        entry.added = QDateTime::currentDateTime();
        m_entries << entry;
        m_lastReceived << 0;
    } else if (m_entries[row].request) {
        disconnect(m_entries[row].request, nullptr, this, nullptr);
    }
    m_entries[row < 0 ? count() - 1 : row].request = request;
    const auto update = [this, request] { this->update(request); };
    connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this, update);
    connect(request, &QWebEngineDownloadRequest::totalBytesChanged, this, update);
    connect(request, &QWebEngineDownloadRequest::stateChanged, this, update);
    connect(request, &QWebEngineDownloadRequest::isPausedChanged, this, update);
    if (!m_sampler.isActive()) {
        m_sinceSample.start();
        m_sampler.start();
    }
    if (row < 0)
        emit added(count() - 1);
    this->update(request);
}

int DownloadList::rowOf(const QWebEngineDownloadRequest* request) const {
    for (int i = 0; i < count(); ++i)
        if (m_entries[i].request == request)
            return i;
    return -1;
}

void DownloadList::update(QWebEngineDownloadRequest* request) {
    const int row = rowOf(request);
    if (row < 0)
        return;
    Entry& e = m_entries[row];
    e.received = request->receivedBytes();
    e.total = request->totalBytes();
    switch (request->state()) {
    case QWebEngineDownloadRequest::DownloadRequested:
    case QWebEngineDownloadRequest::DownloadInProgress:
        e.state = request->isPaused() ? State::Paused : State::Running;
        break;
    case QWebEngineDownloadRequest::DownloadCompleted:
        e.state = State::Finished;
        break;
    case QWebEngineDownloadRequest::DownloadCancelled:
        e.state = State::Canceled;
        break;
    case QWebEngineDownloadRequest::DownloadInterrupted:
        e.state = State::Failed;
        e.reason = reasonText(request->interruptReason());
        break;
    }
    if (e.state != State::Running)
        e.speed = 0;
    emit changed(row);
}

void DownloadList::sampleSpeeds() {
    const double seconds = qMax<qint64>(m_sinceSample.restart(), 1) / 1000.0;
    bool anyActive = false;
    for (int i = 0; i < count(); ++i) {
        Entry& e = m_entries[i];
        const qint64 delta = e.received - m_lastReceived[i];
        m_lastReceived[i] = e.received;
        if (e.state != State::Running)
            continue;
        anyActive = true;
        // Smoothed, so the time left does not jump with every second.
        const double now = double(delta) / seconds;
        e.speed = e.speed > 0 ? 0.6 * e.speed + 0.4 * now : now;
        emit changed(i);
    }
    if (!anyActive && active() == 0)
        m_sampler.stop();
}

void DownloadList::pause(int row) {
    if (QWebEngineDownloadRequest* r = m_entries.value(row).request)
        r->pause();
}

void DownloadList::resume(int row) {
    if (QWebEngineDownloadRequest* r = m_entries.value(row).request) {
        r->resume();
        if (!m_sampler.isActive()) {
            m_sinceSample.start();
            m_sampler.start();
        }
    }
}

void DownloadList::cancel(int row) {
    if (QWebEngineDownloadRequest* r = m_entries.value(row).request)
        r->cancel();
}

void DownloadList::remove(int row) {
    if (row < 0 || row >= count())
        return;
    const State state = m_entries[row].state;
    if (state == State::Running || state == State::Paused)
        return;
    m_entries.removeAt(row);
    m_lastReceived.removeAt(row);
    emit removed(row);
}

int DownloadList::removeEndedFrom(const QDateTime& from) {
    int removed = 0;
    for (int row = count() - 1; row >= 0; --row) {
        const Entry& e = m_entries[row];
        const bool ended = e.state != State::Running && e.state != State::Paused;
        if (ended && (!from.isValid() || e.added >= from)) {
            remove(row);
            ++removed;
        }
    }
    return removed;
}

int DownloadList::active() const {
    int n = 0;
    for (const Entry& e : m_entries)
        if (e.state == State::Running || e.state == State::Paused)
            ++n;
    return n;
}

int DownloadList::overallPercent() const {
    qint64 received = 0;
    qint64 total = 0;
    for (const Entry& e : m_entries) {
        if (e.state != State::Running && e.state != State::Paused)
            continue;
        if (e.total <= 0)
            return -1;
        received += e.received;
        total += e.total;
    }
    return total > 0 ? int(received * 100 / total) : -1;
}

qint64 DownloadList::secondsLeft(int row) const {
    const Entry& e = m_entries.at(row);
    if (e.state != State::Running || e.total <= 0 || e.speed <= 0)
        return -1;
    return qint64((e.total - e.received) / e.speed);
}

QString DownloadList::stateText(const Entry& entry) {
    switch (entry.state) {
    case State::Running:
        return QStringLiteral("läuft");
    case State::Paused:
        return QStringLiteral("angehalten");
    case State::Finished:
        return QStringLiteral("fertig");
    case State::Canceled:
        return QStringLiteral("abgebrochen");
    case State::Failed:
        return QStringLiteral("fehlgeschlagen: ") + entry.reason;
    }
    return QString();
}
