#include "blocking/ListUpdater.h"

#include "blocking/ContentBlocker.h"
#include "common/SafeFile.h"
#include "prefs/model/KorvixSettings.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

namespace {
// Larger than any list people subscribe to; a download beyond it is no list.
constexpr qint64 MaxListBytes = 32 * 1024 * 1024;
constexpr int TransferTimeoutMs = 120000;
} // namespace

ListUpdater::ListUpdater(const QString& appDir, QObject* parent)
    : QObject(parent), m_appDir(appDir),
      m_list(Subscriptions::load(KorvixSettings(appDir).path())) {}

QString ListUpdater::filePath(const Subscription& s) const {
    return QDir(ContentBlocker::listFolder(m_appDir)).filePath(s.fileName);
}

void ListUpdater::startSchedule(int firstCheckMs) {
    if (m_schedule)
        return;
    m_schedule = new QTimer(this);
    // Looked at every hour: a program that runs for days still refreshes.
    m_schedule->setInterval(3600 * 1000);
    connect(m_schedule, &QTimer::timeout, this, &ListUpdater::updateDue);
    QTimer::singleShot(firstCheckMs, this, [this] {
        updateDue();
        m_schedule->start();
    });
}

Subscription* ListUpdater::find(const QString& url) {
    for (Subscription& s : m_list)
        if (s.url == url)
            return &s;
    return nullptr;
}

void ListUpdater::store() {
    Subscriptions::save(KorvixSettings(m_appDir).path(), m_list);
    emit changed();
}

bool ListUpdater::add(const QString& address) {
    const QUrl url = QUrl::fromUserInput(address.trimmed());
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return false;
    const QString text = url.toString();
    if (find(text))
        return false;
    QStringList taken;
    for (const Subscription& s : m_list)
        taken << s.fileName;
    taken << QString::fromLatin1(ContentBlocker::UserListFile);
    Subscription s;
    s.title = url.host();
    s.url = text;
    s.fileName = Subscriptions::fileNameFor(text, taken);
    m_list << s;
    store();
    fetch(s);
    return true;
}

void ListUpdater::remove(int index) {
    if (index < 0 || index >= m_list.size())
        return;
    const Subscription gone = m_list.takeAt(index);
    QFile::remove(filePath(gone));
    store();
    emit listWritten();
}

void ListUpdater::updateAll() {
    for (const Subscription& s : std::as_const(m_list))
        fetch(s);
}

void ListUpdater::updateDue() {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const Subscription& s : std::as_const(m_list))
        if (Subscriptions::isDue(s, now) || !QFile::exists(filePath(s)))
            fetch(s);
}

void ListUpdater::fetch(const Subscription& s) {
    if (m_running.contains(s.url))
        return;
    if (!m_net)
        m_net = new QNetworkAccessManager(this);
    QNetworkRequest request{QUrl(s.url)};
    request.setTransferTimeout(TransferTimeoutMs);
    // Unchanged since last time: the server says so and sends nothing.
    if (!s.lastModified.isEmpty() && QFile::exists(filePath(s)))
        request.setRawHeader("If-Modified-Since", s.lastModified.toLatin1());
    QNetworkReply* reply = m_net->get(request);
    m_running.insert(s.url);
    const QString url = s.url;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > MaxListBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, url] { finished(reply, url); });
    emit changed();
}

void ListUpdater::finished(QNetworkReply* reply, const QString& url) {
    reply->deleteLater();
    m_running.remove(url);
    Subscription* s = find(url);
    if (!s) { // removed meanwhile
        emit changed();
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (reply->error() != QNetworkReply::NoError) {
        s->lastError = reply->errorString();
    } else if (status == 304) {
        s->lastUpdate = now;
        s->lastError.clear();
    } else {
        const QByteArray data = reply->readAll();
        QString error;
        if (!Subscriptions::looksLikeFilterList(data)) {
            s->lastError = QStringLiteral("Die Antwort ist keine Filterliste.");
        } else if (!QDir().mkpath(ContentBlocker::listFolder(m_appDir)) ||
                   !writeFileAtomic(filePath(*s), data, &error)) {
            s->lastError = error.isEmpty() ? QStringLiteral("Der Ordner Filter fehlt.") : error;
        } else {
            s->lastUpdate = now;
            s->lastModified = QString::fromLatin1(reply->rawHeader("Last-Modified"));
            s->lastError.clear();
            store();
            emit listWritten();
            return;
        }
    }
    store();
}
