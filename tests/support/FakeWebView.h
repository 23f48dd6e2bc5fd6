#pragma once

#include "browser/WebView.h"

#include <QList>
#include <QSize>
#include <QStringList>
#include <QThread>

// A web view that loads nothing: it records what it was asked and lets a test
// play the engine's part.
class FakeWebView : public WebView {
    Q_OBJECT
public:
    explicit FakeWebView(QWidget* parent);
    // Made for a private window.
    bool isPrivate = false;
    ~FakeWebView() override;

    static WebViewFactory factory();
    // Every fake view alive, in creation order.
    static QList<FakeWebView*>& all();

    QWidget* widget() override { return m_widget; }
    void navigate(const QString& url) override;
    void goBack() override { calls << QStringLiteral("goBack"); }
    void goForward() override { calls << QStringLiteral("goForward"); }
    void refresh() override { calls << QStringLiteral("refresh"); }
    void reloadBypassingCache() override { calls << QStringLiteral("reloadBypassingCache"); }
    QByteArray saveHistory() const override { return savedHistory; }
    void restoreHistory(const QByteArray& history) override {
        calls << QStringLiteral("restoreHistory");
        restoredHistory = history;
        setBusy(true);
    }
    void stop() override;
    void execCommand(Command cmd) override { calls << QStringLiteral("exec:%1").arg(int(cmd)); }
    QString locationUrl() const override { return url; }
    QString locationName() const override { return name; }
    bool isBusy() const override { return m_busy; }
    bool hasDocument() const override { return hasDoc; }
    bool hasBegun() const override { return !navigations.isEmpty() || m_busy || hasDoc; }
    DocumentKind documentKind() const override { return kind; }
    QString documentTitle() const override { return docTitle; }
    QString folderPath() const override { return folder; }
    void collectLinks(std::function<void(const QStringList&)> done) override { done(links); }
    void setLifecycle(Lifecycle::State s) override {
        // The real engine takes milliseconds to discard a page.
        if (s != Lifecycle::State::Active)
            QThread::msleep(sleepCostMs);
        else if (state != Lifecycle::State::Active)
            ++wakes;
        state = s;
    }
    Lifecycle::State lifecycle() const override { return state; }
    void setOnScreen(bool on) override { onScreen = on; }
    bool isBackgroundBusy() const override { return backgroundBusy; }
    void findText(const QString& text, bool backward, bool caseSensitive) override {
        calls << QStringLiteral("find:%1:%2:%3").arg(text).arg(backward).arg(caseSensitive);
    }
    void setZoomFactor(double factor) override { zoom = factor; }
    double zoomFactor() const override { return zoom; }
    void showDevTools() override { calls << QStringLiteral("devTools"); }
    void printToPdf(const QString& path) override { calls << QStringLiteral("pdf:") + path; }

    // Plays a finished load: the page is there, with this address and title.
    void finishLoad(const QString& address, const QString& title);
    // A load begins or ends, as the engine tells it.
    void setBusy(bool busy) {
        if (std::exchange(m_busy, busy) != busy)
            emit busyChanged(busy);
    }

    QStringList calls;
    // What saveHistory hands out, and what restoreHistory was given.
    QByteArray savedHistory;
    QByteArray restoredHistory;
    QStringList navigations;
    // In which place among all fake views this one's first load began.
    int firstNavigation = -1;
    static inline int navigationsBegun = 0;
    // Where the page stood on screen when its first load began.
    bool shownAtFirstLoad = false;
    QSize sizeAtFirstLoad;
    QString url;
    QString name;
    QString docTitle;
    QString folder;
    QStringList links;
    bool backgroundBusy = false;
    bool onScreen = true;
    int sleepCostMs = 0;
    // Sleeping pages woken, by any fake view.
    inline static int wakes = 0;
    // The real engine takes milliseconds to tear a page down, too.
    static inline int teardownCostMs = 0;
    double zoom = 1.0;
    Lifecycle::State state = Lifecycle::State::Active;
    bool hasDoc = false;
    DocumentKind kind = DocumentKind::None;

private:
    QWidget* m_widget;
    bool m_busy = false;
};
