#include "FakeWebView.h"
#include "Keyboard.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "browser/BrowserWindow.h"
#include "browser/model/Lifecycle.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "frame/PageSleep.h"
#include "frame/ToolWindows.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"

#include <QAction>
#include <QComboBox>
#include <QMdiArea>
#include <QMenu>
#include <QTest>

using Lifecycle::State;

// Pages nobody sees are frozen, then discarded, and wake up when shown.
class TestLifecycle : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void policy_data();
    void policy();
    void coveredWindowsSleepAndWake();
    void onlyTheWindowBroughtLastWakes();
    void busyPagesStayActive();
    void onlyWhatCanBeSeenIsDrawn();
    void windowsComingIntoSightPaintAtOnce();
    void minimizedFrameSleepsEverything();
    void sleepingIsSpreadOverPasses();
    void overBudgetDiscardsLongestHiddenFirst();
    void endingWakesNoPage();

private:
    BrowserWindow* open(const QString& url);
    FakeWebView* view(BrowserWindow* w) { return static_cast<FakeWebView*>(w->webView()); }
    MainFrame* frame() { return m_app->frame(); }
    qint64 m_now = 0;
    qint64 m_memory = 0;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<StartedApp> m_app;
};

void TestLifecycle::init() {
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_app = std::make_unique<StartedApp>();
    m_app->writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    m_app->start();
    m_now = 1000;
    frame()->registry()->sleep().setClock([this] { return m_now; });
    m_memory = 0;
    frame()->registry()->sleep().setMemoryProbe([this] { return m_memory; });
    frame()->resize(900, 700);
}

void TestLifecycle::cleanup() {
    m_app.reset();
    m_dialogs.reset();
}

BrowserWindow* TestLifecycle::open(const QString& url) {
    frame()->registry()->visit(OpenRequest::withBars(url, true, true));
    BrowserWindow* w = frame()->registry()->activeWindow();
    view(w)->finishLoad(url, url);
    return w;
}

void TestLifecycle::policy_data() {
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<int>("hiddenMs");
    QTest::addColumn<int>("state");
    QTest::newRow("visible") << true << false << 999999 << int(State::Active);
    QTest::newRow("just hidden") << false << false << 9999 << int(State::Active);
    QTest::newRow("hidden a while") << false << false << 10000 << int(State::Frozen);
    QTest::newRow("hidden long") << false << false << 60000 << int(State::Discarded);
    QTest::newRow("busy") << false << true << 999999 << int(State::Active);
}

void TestLifecycle::policy() {
    QFETCH(bool, visible);
    QFETCH(bool, busy);
    QFETCH(int, hiddenMs);
    QFETCH(int, state);
    QCOMPARE(int(Lifecycle::wanted(visible, busy, hiddenMs, Lifecycle::Policy())), state);
}

void TestLifecycle::coveredWindowsSleepAndWake() {
    BrowserWindow* a = open(QStringLiteral("http://a.example/"));
    BrowserWindow* b = open(QStringLiteral("http://b.example/"));
    b->showMaximized();
    frame()->registry()->area()->setActiveSubWindow(b);
    frame()->registry()->sleep().updateLifecycles();
    QVERIFY(!frame()->registry()->isWindowVisible(a));
    QCOMPARE(view(a)->state, State::Active);
    m_now += 10000;
    frame()->registry()->sleep().updateLifecycles();
    QCOMPARE(view(a)->state, State::Frozen);
    QCOMPARE(view(b)->state, State::Active);
    m_now += 50000;
    frame()->registry()->sleep().updateLifecycles();
    QCOMPARE(view(a)->state, State::Discarded);
    const int historyBefore = frame()->tools()->history().count();
    // Shown again: awake right after, same address and title on its tab.
    frame()->registry()->area()->setActiveSubWindow(a);
    QTRY_COMPARE(view(a)->state, State::Active);
    QCOMPARE(frame()->tools()->history().count(), historyBefore);
    QCOMPARE(a->webView()->locationUrl(), QStringLiteral("http://a.example/"));
    QCOMPARE(a->addressBox()->count(), 1);
    m_now += 10000;
    frame()->registry()->sleep().updateLifecycles();
    QCOMPARE(view(b)->state, State::Frozen);
}

void TestLifecycle::onlyTheWindowBroughtLastWakes() {
    QList<BrowserWindow*> windows;
    for (const char* url : {"http://a.example/", "http://b.example/", "http://c.example/"}) {
        windows << open(QString::fromLatin1(url));
        windows.last()->showMaximized();
    }
    BrowserWindow* a = windows.at(0);
    BrowserWindow* b = windows.at(1);
    m_now += 60000;
    frame()->registry()->sleep().updateLifecycles();
    QCOMPARE(view(a)->state, State::Discarded);
    QCOMPARE(view(b)->state, State::Discarded);
    // Ctrl+Tab twice in one go passes a by.
    QVERIFY(Keyboard::activate(frame()));
    FakeWebView::wakes = 0;
    for (int i = 0; i < 2; ++i)
        QVERIFY(Keyboard::press(Qt::Key_Tab, Qt::ControlModifier));
    QCOMPARE(frame()->registry()->activeWindow(), b);
    QTRY_COMPARE(view(b)->state, State::Active);
    QCOMPARE(view(a)->state, State::Discarded);
    QCOMPARE(FakeWebView::wakes, 1);
}

void TestLifecycle::busyPagesStayActive() {
    BrowserWindow* refreshing = open(QStringLiteral("http://r.example/"));
    BrowserWindow* audio = open(QStringLiteral("http://m.example/"));
    BrowserWindow* top = open(QStringLiteral("http://t.example/"));
    BrowserWindow* loading = open(QStringLiteral("http://l.example/"));
    BrowserWindow* neverCame = open(QStringLiteral("http://n.example/"));
    top->showMaximized();
    refreshing->setRefreshSeconds(30);
    view(audio)->backgroundBusy = true;
    view(loading)->setBusy(true);
    view(neverCame)->hasDoc = false;
    frame()->registry()->area()->setActiveSubWindow(top);
    frame()->registry()->area()->setActiveSubWindow(top);
    frame()->registry()->sleep().updateLifecycles();
    m_now += 120000;
    frame()->registry()->sleep().updateLifecycles();
    for (BrowserWindow* w : {refreshing, audio, loading, neverCame})
        QCOMPARE(view(w)->state, State::Active);
    // Once the sound stops or the page has come, it may sleep after its own
    // while.
    view(audio)->backgroundBusy = false;
    view(loading)->setBusy(false);
    view(neverCame)->hasDoc = true;
    frame()->registry()->sleep().updateLifecycles();
    for (BrowserWindow* w : {audio, loading, neverCame})
        QCOMPARE(view(w)->state, State::Discarded);
}

void TestLifecycle::onlyWhatCanBeSeenIsDrawn() {
    BrowserWindow* a = open(QStringLiteral("http://a.example/"));
    BrowserWindow* b = open(QStringLiteral("http://b.example/"));
    a->setGeometry(0, 0, 300, 200);
    b->setGeometry(320, 0, 300, 200);
    const auto drawn = [&] { return QList<bool>{view(a)->onScreen, view(b)->onScreen}; };
    // Without waiting for the lifecycle's tick, once a second.
    constexpr int SoonerThanATickMs = 300;
    QTRY_COMPARE_WITH_TIMEOUT(drawn(), (QList<bool>{true, true}), SoonerThanATickMs);
    b->showMaximized();
    QTRY_COMPARE_WITH_TIMEOUT(drawn(), (QList<bool>{false, true}), SoonerThanATickMs);
    b->showNormal();
    QTRY_COMPARE_WITH_TIMEOUT(drawn(), (QList<bool>{true, true}), SoonerThanATickMs);
    a->move(5000, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(drawn(), (QList<bool>{false, true}), SoonerThanATickMs);
    frame()->showMinimized();
    QTRY_COMPARE_WITH_TIMEOUT(drawn(), (QList<bool>{false, false}), SoonerThanATickMs);
    frame()->showNormal();
    QTRY_COMPARE_WITH_TIMEOUT(drawn(), (QList<bool>{false, true}), SoonerThanATickMs);
}

// A window under a maximized one takes no part in painting; every way out
// from under it paints again before the frame's next paint, not a turn later.
void TestLifecycle::windowsComingIntoSightPaintAtOnce() {
    QList<BrowserWindow*> windows;
    for (const char* url : {"http://a.example/", "http://b.example/", "http://c.example/"})
        windows << open(QString::fromLatin1(url));
    frame()->show();
    windows.last()->showMaximized();
    const auto unpaintedInSight = [&] {
        QStringList out;
        for (BrowserWindow* w : windows)
            if (!w->isHidden() && frame()->registry()->isWindowVisible(w) && !w->updatesEnabled())
                out << w->webView()->locationUrl();
        return out;
    };
    QTRY_VERIFY(!windows.first()->updatesEnabled());
    QVERIFY(Keyboard::activate(frame()));
    QVERIFY(Keyboard::press(Qt::Key_Tab, Qt::ControlModifier));
    QCOMPARE(unpaintedInSight(), QStringList());
    frame()->action(FrameActions::Cascade)->trigger();
    QCOMPARE(unpaintedInSight(), QStringList());
    QTRY_COMPARE(view(windows.first())->onScreen, true);
    // Maximized once more, and that window closed: the next one comes up.
    frame()->registry()->activeWindow()->showMaximized();
    QTRY_VERIFY(!windows.first()->updatesEnabled() || !windows.last()->updatesEnabled());
    BrowserWindow* closing = frame()->registry()->activeWindow();
    windows.removeOne(closing);
    frame()->action(FrameActions::CloseWindow)->trigger();
    QCOMPARE(unpaintedInSight(), QStringList());
    QVERIFY(frame()->registry()->activeWindow());
    // Minimized from the window's own menu: restore, move, size, minimize, ...
    const QList<QAction*> own = frame()->registry()->activeWindow()->systemMenu()->actions();
    QVERIFY(own.size() > 4);
    own.at(3)->trigger();
    QVERIFY(frame()->registry()->activeWindow()->isMinimized());
    QCOMPARE(unpaintedInSight(), QStringList());
}

void TestLifecycle::minimizedFrameSleepsEverything() {
    BrowserWindow* a = open(QStringLiteral("http://a.example/"));
    frame()->showMinimized();
    frame()->registry()->sleep().updateLifecycles();
    m_now += 10000;
    frame()->registry()->sleep().updateLifecycles();
    QCOMPARE(view(a)->state, State::Frozen);
    frame()->showNormal();
    frame()->registry()->sleep().updateLifecycles();
    QCOMPARE(view(a)->state, State::Active);
}

void TestLifecycle::sleepingIsSpreadOverPasses() {
    // Twelve pages fall due for discarding at once, each costing 10 ms; the
    // frame stops after about 20 ms and comes back soon for the rest.
    QList<BrowserWindow*> hidden;
    for (int i = 0; i < 12; ++i)
        hidden << open(QStringLiteral("http://h%1.example/").arg(i));
    BrowserWindow* top = open(QStringLiteral("http://t.example/"));
    top->showMaximized();
    frame()->registry()->sleep().updateLifecycles();
    for (BrowserWindow* w : hidden)
        view(w)->sleepCostMs = 10;
    m_now += 120000;
    auto asleep = [&] {
        int n = 0;
        for (BrowserWindow* w : hidden)
            n += view(w)->state == State::Discarded ? 1 : 0;
        return n;
    };
    frame()->registry()->sleep().updateLifecycles();
    const int first = asleep();
    QVERIFY2(first > 0 && first < 6, qPrintable(QString::number(first)));
    // Waking is never put off: the page shown now comes back in the same
    // pass although the time is used up.
    frame()->registry()->area()->setActiveSubWindow(hidden.last());
    QVERIFY(hidden.last()->isMaximized());
    QCOMPARE(view(hidden.last())->state, State::Active);
    // The rest follow within a few passes.
    QTRY_COMPARE_WITH_TIMEOUT(asleep(), 11, 3000);
}

void TestLifecycle::overBudgetDiscardsLongestHiddenFirst() {
    constexpr qint64 GiB = 1024LL * 1024 * 1024;
    frame()->registry()->sleep().policy().memoryBudgetBytes = GiB;
    // Each window in turn covers the ones before; a second apart, so each
    // was hidden a different while.
    QList<BrowserWindow*> windows;
    for (const char* site : {"http://a.example/", "http://r.example/", "http://b.example/",
                             "http://c.example/", "http://t.example/"}) {
        windows << open(QString::fromLatin1(site));
        windows.last()->showMaximized();
        frame()->registry()->area()->setActiveSubWindow(windows.last());
        frame()->registry()->sleep().updateLifecycles();
        m_now += 1000;
    }
    BrowserWindow *a = windows[0], *refreshing = windows[1], *b = windows[2], *c = windows[3],
                  *top = windows[4];
    refreshing->setRefreshSeconds(30);
    const auto discarded = [&] {
        QList<BrowserWindow*> gone;
        for (BrowserWindow* w : windows)
            if (view(w)->state == State::Discarded)
                gone << w;
        return gone;
    };
    frame()->registry()->sleep().updateLifecycles();
    QVERIFY(discarded().isEmpty());

    // Half a gigabyte over, five awake pages of about 300 MB: two go, the
    // longest hidden first, a busy page never, and one per turn.
    m_memory = GiB + GiB / 2;
    frame()->registry()->sleep().updateLifecycles();
    QVERIFY(discarded().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(discarded(), (QList<BrowserWindow*>{a, b}), 2000);
    // The figure lags behind the engine: no more go before it can show
    // what the first ones gave back.
    frame()->registry()->sleep().updateLifecycles();
    QTest::qWait(50);
    QCOMPARE(discarded(), (QList<BrowserWindow*>{a, b}));
    // Still over a while later: the next in line goes; the visible one and
    // the busy one stay whatever happens.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            frame()->registry()->sleep().updateLifecycles();
            return discarded().contains(c);
        }(),
        5000);
    QCOMPARE(view(top)->state, State::Active);
    QCOMPARE(view(refreshing)->state, State::Active);
    // The page comes back when shown, on its address.
    frame()->registry()->area()->setActiveSubWindow(a);
    QTRY_COMPARE(view(a)->state, State::Active);
    QCOMPARE(a->webView()->locationUrl(), QStringLiteral("http://a.example/"));
}

// "Beenden" with sleeping windows: as the windows go, the area makes one
// after another active; none of their pages may wake and load on the way.
void TestLifecycle::endingWakesNoPage() {
    for (const char* url : {"http://a.example/", "http://b.example/", "http://c.example/"})
        open(QString::fromLatin1(url))->showMaximized();
    m_now += 60000;
    frame()->registry()->sleep().updateLifecycles();
    const QList<BrowserWindow*> windows = frame()->registry()->windows();
    QCOMPARE(view(windows.at(0))->state, State::Discarded);
    QCOMPARE(view(windows.at(1))->state, State::Discarded);
    FakeWebView::wakes = 0;
    frame()->action(FrameActions::Exit)->trigger();
    QTRY_VERIFY(frame()->registry()->windows().isEmpty());
    QCOMPARE(FakeWebView::wakes, 0);
}

QTEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
