#pragma once

#include "blocking/model/Subscriptions.h"

#include <QObject>
#include <QSet>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Keeps the subscribed filter lists fresh: each is fetched when it is due,
// in the background, and asks the server whether it changed at all. A
// download that fails or is no filter list leaves the old file as it was;
// a good one replaces it in one step.
class ListUpdater : public QObject {
    Q_OBJECT
public:
    ListUpdater(const QString& appDir, QObject* parent = nullptr);

    const QList<Subscription>& subscriptions() const { return m_list; }
    QString filePath(const Subscription& s) const;
    // Subscribes to the list at url; false when it is no web address or is
    // there already.
    bool add(const QString& url);
    // Ends a subscription and removes its file.
    void remove(int index);
    // Fetches every list now, due or not.
    void updateAll();
    // Fetches the lists that are due.
    void updateDue();
    bool isFetching() const { return !m_running.isEmpty(); }
    // The first look for due lists comes this long after the start, so that
    // it never competes with the first page.
    void startSchedule(int firstCheckMs);

signals:
    // A subscription came, went or changed its state.
    void changed();
    // A list file was replaced.
    void listWritten();

private:
    void fetch(const Subscription& s);
    void finished(QNetworkReply* reply, const QString& url);
    Subscription* find(const QString& url);
    void store();

    QString m_appDir;
    QList<Subscription> m_list;
    QSet<QString> m_running;
    QNetworkAccessManager* m_net = nullptr;
    QTimer* m_schedule = nullptr;
};
