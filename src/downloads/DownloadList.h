#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QWebEngineDownloadRequest;

// Every download of the session, with what the downloads window and the
// status bar show of it. A download belongs to the engine's profile, not to
// the window that started it, so it goes on when that window closes. The
// program owns one and hands it to the profile and the windows.
class DownloadList : public QObject {
    Q_OBJECT
public:
    enum class State { Running, Paused, Finished, Canceled, Failed };

    struct Entry {
        QPointer<QWebEngineDownloadRequest> request;
        quint32 id = 0;
        QString path;
        QUrl source;
        State state = State::Running;
        qint64 received = 0;
        qint64 total = -1; // unknown
        double speed = 0;  // bytes per second, lately
        QString reason;    // why it failed
        QDateTime added;   // when it came to the list
    };

    DownloadList();

    // A request the engine makes anew for a download it restarts by itself
    // (after a broken connection) takes the place of the old one.
    void add(QWebEngineDownloadRequest* request);
    // Where a download the list knows goes; empty for a new one.
    QString knownPath(quint32 id) const;
    int count() const { return int(m_entries.size()); }
    const Entry& at(int row) const { return m_entries.at(row); }
    void pause(int row);
    void resume(int row);
    void cancel(int row);
    // Takes a download that no longer runs off the list.
    void remove(int row);
    // Takes off every download that no longer runs and came at `from` or
    // later (any time when `from` is invalid); returns how many went.
    int removeEndedFrom(const QDateTime& from);

    // Downloads running or paused.
    int active() const;
    // Of all active downloads together, 0 to 100; -1 when a size is unknown.
    int overallPercent() const;
    // Seconds until the entry is done at its recent speed; -1 unknown.
    qint64 secondsLeft(int row) const;

    static QString stateText(const Entry& entry);

signals:
    void added(int row);
    void changed(int row);
    void removed(int row);

private:
    void update(QWebEngineDownloadRequest* request);
    void sampleSpeeds();
    int rowOf(const QWebEngineDownloadRequest* request) const;

    QList<Entry> m_entries;
    QList<qint64> m_lastReceived;
    QTimer m_sampler;
    QElapsedTimer m_sinceSample;
};
