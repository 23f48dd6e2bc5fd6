#pragma once

#include <QPointer>
#include <QWebEngineUrlRequestInterceptor>

class ContentBlocker;

// Asks the content blocker about every request one page makes and counts
// what it refused since the page's own address was last requested.
class PageBlocker : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    PageBlocker(ContentBlocker* blocker, QObject* parent);

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    int blockedCount() const { return m_blocked; }

signals:
    void blockedCountChanged(int count);

private:
    QPointer<ContentBlocker> m_blocker;
    int m_blocked = 0;
};
