#include "HttpTestServer.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "ToolbarClicks.h"
#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "frame/ToolWindows.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"

#include <QTest>

// Link walks and auto-refresh with the real web engine on pages served from
// 127.0.0.1.
class TestLinkWalkE2E : public QObject {
    Q_OBJECT
public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void roundTripVisitsFramesAndReturns();
    void openAllLinksOpensOneWindowEach();
    void autoRefreshReloads();
    void pageDiscardedWhileLoadingComesBack();

private:
    BrowserWindow* openLoaded(const QString& url);

    HttpTestServer m_server;
    ScriptedDialogs m_dialogs;
    StartedApp m_app;
    MainFrame* m_frame = nullptr;
};

void TestLinkWalkE2E::initTestCase() {
    QVERIFY(m_server.start());
    m_server.addPage(QStringLiteral("/dir/"),
                     "<html><head><title>Rahmen</title></head><frameset cols='50%,50%'>"
                     "<frame src='a.html'><frame src='b.html'></frameset></html>");
    m_server.addPage(QStringLiteral("/dir/a.html"), "<html><title>A</title><body>A</body></html>");
    m_server.addPage(QStringLiteral("/dir/b.html"), "<html><title>B</title><body>B</body></html>");
    m_server.addPage(QStringLiteral("/links.html"),
                     "<html><title>Links</title><body>"
                     "<a href='/one.html'>1</a> <a href='JavaScript:void(0)'>js</a>"
                     "<a href='/two.html'>2</a> <a href='MailTo:x@example.org'>m</a>"
                     "<a href='/three.html'>3</a></body></html>");
    for (const char* p : {"/one.html", "/two.html", "/three.html"})
        m_server.addPage(QString::fromLatin1(p), "<html><title>n</title><body>n</body></html>");
    m_server.addPage(QStringLiteral("/clock.html"),
                     "<html><title>Uhr</title><body>x</body></html>");
    m_app.writePrefs([](Prefer& p) {
        p.StartBrowser = 0;
        p.HomeUrl = QStringLiteral("about:blank");
    });
    m_frame = m_app.startWithEngine();
    QVERIFY(m_frame);
}

void TestLinkWalkE2E::cleanupTestCase() {
    m_app.stop();
}

BrowserWindow* TestLinkWalkE2E::openLoaded(const QString& url) {
    BrowserWindow* w = m_app.openWindow(url);
    if (!QTest::qWaitFor([w] { return pageLoaded(w); }, 30000))
        return nullptr;
    return w;
}

void TestLinkWalkE2E::roundTripVisitsFramesAndReturns() {
    const QString start = m_server.url(QStringLiteral("/dir/"));
    BrowserWindow* w = openLoaded(start);
    QVERIFY(w);
    const int aBefore = m_server.hits(QStringLiteral("/dir/a.html"));
    const int bBefore = m_server.hits(QStringLiteral("/dir/b.html"));
    QVERIFY(chooseMenuEntry(w, BrowserToolbar::Command::RoundTrip));
    QTRY_VERIFY_WITH_TIMEOUT(w->isWalking(), 10000);
    QCOMPARE(w->roundTrip().links, (QStringList{"a.html", "b.html"}));
    // Each frame is shown as a page of its own, then the walk comes back.
    QTRY_VERIFY_WITH_TIMEOUT(!w->isWalking(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w) && w->webView()->locationUrl() == start, 30000);
    QVERIFY(m_server.hits(QStringLiteral("/dir/a.html")) > aBefore);
    QVERIFY(m_server.hits(QStringLiteral("/dir/b.html")) > bBefore);
    bool sawA = false, sawB = false;
    for (const HistoryItem& item : m_frame->tools()->history().items()) {
        sawA = sawA || item.Url == m_server.url(QStringLiteral("/dir/a.html"));
        sawB = sawB || item.Url == m_server.url(QStringLiteral("/dir/b.html"));
    }
    QVERIFY(sawA && sawB);
    m_frame->registry()->closeAllWindows();
}

void TestLinkWalkE2E::openAllLinksOpensOneWindowEach() {
    BrowserWindow* w = openLoaded(m_server.url(QStringLiteral("/links.html")));
    QVERIFY(w);
    QVERIFY(chooseMenuEntry(w, BrowserToolbar::Command::OpenAllLinks));
    QTRY_COMPARE_WITH_TIMEOUT(int(m_frame->registry()->count()), 4, 10000);
    const QList<BrowserWindow*> all = m_frame->registry()->windows();
    const QStringList expected = {m_server.url(QStringLiteral("/one.html")),
                                  m_server.url(QStringLiteral("/two.html")),
                                  m_server.url(QStringLiteral("/three.html"))};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(all[i + 1]->startingAddress(), expected[i]);
    QTRY_VERIFY_WITH_TIMEOUT(m_server.hits(QStringLiteral("/three.html")) >= 1, 30000);
    m_frame->registry()->closeAllWindows();
}

void TestLinkWalkE2E::autoRefreshReloads() {
    BrowserWindow* w = openLoaded(m_server.url(QStringLiteral("/clock.html")));
    QVERIFY(w);
    const int before = m_server.hits(QStringLiteral("/clock.html"));
    w->setRefreshSeconds(1);
    QTRY_VERIFY_WITH_TIMEOUT(m_server.hits(QStringLiteral("/clock.html")) >= before + 2, 15000);
    QVERIFY(clickButton(w, QStringLiteral("Stop")));
    QVERIFY(!w->isRefreshing());
    QTest::qWait(300);
    const int afterStop = m_server.hits(QStringLiteral("/clock.html"));
    QTest::qWait(2500);
    QCOMPARE(m_server.hits(QStringLiteral("/clock.html")), afterStop);
    m_frame->registry()->closeAllWindows();
}

void TestLinkWalkE2E::pageDiscardedWhileLoadingComesBack() {
    m_server.addPage(QStringLiteral("/slow.html"),
                     "<html><title>Langsam</title><body><img src='/hang.png'></body></html>");
    m_frame->registry()->visit(
        OpenRequest::withBars(m_server.url(QStringLiteral("/slow.html")), true, true));
    BrowserWindow* w = m_frame->registry()->activeWindow();
    QTRY_VERIFY_WITH_TIMEOUT(m_server.hits(QStringLiteral("/hang.png")) >= 1, 30000);
    QVERIFY(w->webView()->isBusy());
    const int hits = m_server.hits(QStringLiteral("/slow.html"));
    w->webView()->setLifecycle(Lifecycle::State::Frozen);
    QTest::qWait(500);
    w->webView()->setLifecycle(Lifecycle::State::Discarded);
    QTest::qWait(500);
    w->webView()->setLifecycle(Lifecycle::State::Active);
    // The page is asked for again.
    QTRY_VERIFY_WITH_TIMEOUT(m_server.hits(QStringLiteral("/slow.html")) > hits, 15000);
    m_frame->registry()->closeAllWindows();
}

QTEST_MAIN(TestLinkWalkE2E)
#include "tst_linkwalk_e2e.moc"
