#pragma once

#include "shell/OpenRequest.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class BrowserRegistry;
class BrowserWindow;
class PageSleep;
class QTimer;

// Opens many windows at once (a layout file, a bookmark folder, the links of
// a page) without the frame standing still: as many windows per turn of the
// event loop as fit into a frame's time, then their pages, the ones in sight
// at once, the others a few at a time, site by site, while the memory
// budget allows.
class BatchOpening : public QObject {
    Q_OBJECT
public:
    BatchOpening(BrowserRegistry& registry, PageSleep& sleep, QObject* parent = nullptr);
    ~BatchOpening() override;

    // Opens one window per request. With stopAtLimit, the request that
    // meets the window limit is the last.
    void queue(const QList<OpenRequest>& requests, bool stopAtLimit);
    // Windows still to come.
    int queued() const { return int(m_queue.size()); }
    // Windows of a batch whose first page has not started loading yet.
    int waitingToLoad() const { return int(m_owed.size()); }
    // Drops what is still queued.
    void cancel();
    // Drops the queue and the pages still owed (all windows close).
    void cancelAll();
    // A page has come: the next one may start at once.
    void pageSettled();

signals:
    // The last queued window came, or the rest were dropped.
    void finished();

private:
    struct Queued {
        OpenRequest request;
        bool stopAtLimit = false;
        // The batch's top window, built and loading ahead of its turn.
        QPointer<BrowserWindow> early;
        qint64 startedAt = 0;
    };
    // Whether a batch's top window ends maximized after this request.
    static bool topStaysMaximized(const OpenRequest& request, bool maximizedBefore);
    void dropQueued();
    void runQueued();
    // Creates and places a batch window; its page loads when its turn comes.
    void openOwingItsPage(const Queued& queued, bool firstInTurn);
    void loadOwed();

    BrowserRegistry& m_registry;
    PageSleep& m_sleep;
    QList<Queued> m_queue;
    QTimer* m_queueTimer = nullptr;
    bool m_busyCursor = false;
    bool m_running = false;
    // The window on top ends maximized when the batch stands.
    bool m_batchMaximized = false;
    // Batch windows still owed their first page, in the order they came,
    // and the hidden ones whose first page is on its way.
    struct Owed {
        QPointer<BrowserWindow> window;
        QString site;
    };
    QList<Owed> m_owed;
    struct FirstLoad {
        QPointer<BrowserWindow> window;
        qint64 startedAt = 0;
    };
    QList<FirstLoad> m_firstLoads;
    QList<FirstLoad> m_visibleLoads;
    QString m_loadingSite;
    QTimer* m_owedTimer = nullptr;
};
