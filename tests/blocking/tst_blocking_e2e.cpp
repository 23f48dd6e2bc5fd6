#include "HttpTestServer.h"
#include "Keyboard.h"
#include "PageScript.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "blocking/ContentBlocker.h"
#include "blocking/FilterListsDialog.h"
#include "blocking/ListUpdater.h"
#include "blocking/model/Subscriptions.h"
#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "browser/QtWebView.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "prefs/model/KorvixSettings.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

// Content blocking on the real engine: a page on 127.0.0.1 with ads from
// itself and a tracker on 127.0.0.2, which is another site.
class TestBlockingE2E : public QObject {
    Q_OBJECT
public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pageRequestsFiltered();
    void siteLetThrough();
    void switchedOffForAll();
    void subscriptionsFetched();
    void listOrNot_data();
    void listOrNot();

private:
    BrowserWindow* openPage();
    QString evaluate(BrowserWindow* w, const QString& script);
    QAction* action(const char* name) const {
        return m_app.frame()->findChild<QAction*>(QLatin1String(name));
    }
    QLabel* blockedLabel() const {
        return m_app.frame()->findChild<QLabel*>(QStringLiteral("blocked"));
    }

    ScriptedDialogs m_dialogs;
    StartedApp m_app;
    HttpTestServer m_site;
    HttpTestServer m_tracker;
    ContentBlocker* m_blocker = nullptr;
};

void TestBlockingE2E::initTestCase() {
    QVERIFY(m_site.start());
    QVERIFY(m_tracker.start(QHostAddress(QStringLiteral("127.0.0.2"))));
    const QByteArray trackerJs =
        m_tracker.url(QStringLiteral("/track.js"), QStringLiteral("127.0.0.2")).toUtf8();
    m_site.addPage(QStringLiteral("/page.html"),
                   "<html><head><title>Seite</title><script src='" + trackerJs +
                       "'></script></head><body>"
                       "<img src='/ads/banner.png'><img src='/ads/allowed.png'>"
                       "<img src='/logo.png'><div class='ad-box'>Werbung</div>"
                       "<div class='text'>Text</div></body></html>");
    for (const char* image : {"/ads/banner.png", "/ads/allowed.png", "/logo.png"})
        m_site.addPage(QLatin1String(image), "x", "image/png");
    m_tracker.addPage(QStringLiteral("/track.js"), "var tracked = 1;", "text/javascript");

    QVERIFY(QDir(m_app.dir()).mkpath(QStringLiteral("Filter")));
    m_app.writeFile(QStringLiteral("Filter/test.txt"),
                    "[Adblock Plus 2.0]\n! rules of this test\n/ads/*\n@@/ads/allowed.png\n"
                    "||127.0.0.2^$script,third-party\n##.ad-box\n");
    // Debian's lists stay out: only the rules above count here.
    m_app.writeFile(QStringLiteral("Filter/easylist.txt"), "[Adblock Plus 2.0]\n");
    m_app.writeFile(QStringLiteral("Filter/easyprivacy.txt"), "[Adblock Plus 2.0]\n");
    m_app.writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    QVERIFY(m_app.startWithEngine());
    m_blocker = EngineProfile::blocker();
    QVERIFY(m_blocker);
    // The lists are read once the engine starts, with the first window.
    QVERIFY(!m_blocker->isLoaded());
    m_app.openWindow(QStringLiteral("about:blank"));
    QTRY_VERIFY_WITH_TIMEOUT(m_blocker->isLoaded(), 20000);
    m_app.registry()->closeAllWindows();
    QCOMPARE(m_blocker->ruleCount(), 4);
}

void TestBlockingE2E::cleanupTestCase() {
    m_app.stop();
}

BrowserWindow* TestBlockingE2E::openPage() {
    BrowserWindow* w = m_app.openWindow(m_site.url(QStringLiteral("/page.html")));
    if (!QTest::qWaitFor([w] { return pageLoaded(w); }, 30000))
        return nullptr;
    return w;
}

QString TestBlockingE2E::evaluate(BrowserWindow* w, const QString& script) {
    return runPageScript(static_cast<QtWebView*>(w->webView()), script).toString();
}

void TestBlockingE2E::pageRequestsFiltered() {
    BrowserWindow* w = openPage();
    QVERIFY(w);
    QCOMPARE(m_site.hits(QStringLiteral("/ads/banner.png")), 0);
    QCOMPARE(m_tracker.hits(QStringLiteral("/track.js")), 0);
    QTRY_COMPARE(m_site.hits(QStringLiteral("/ads/allowed.png")), 1);
    QTRY_COMPARE(m_site.hits(QStringLiteral("/logo.png")), 1);
    QCOMPARE(evaluate(w, QStringLiteral("typeof tracked")), QStringLiteral("undefined"));
    QCOMPARE(
        evaluate(w, QStringLiteral("getComputedStyle(document.querySelector('.ad-box')).display")),
        QStringLiteral("none"));
    QCOMPARE(
        evaluate(w, QStringLiteral("getComputedStyle(document.querySelector('.text')).display")),
        QStringLiteral("block"));
    QTRY_COMPARE(blockedLabel()->text(), QStringLiteral("2 blockiert"));
    QVERIFY(blockedLabel()->isVisible());
    m_app.registry()->closeAllWindows();
}

void TestBlockingE2E::siteLetThrough() {
    BrowserWindow* w = openPage();
    QVERIFY(w);
    QAction* allow = action("allowOnSite");
    QVERIFY(allow->isEnabled());
    QVERIFY(!allow->isChecked());
    const int banners = m_site.hits(QStringLiteral("/ads/banner.png"));
    allow->trigger(); // the page comes again, unfiltered
    QTRY_COMPARE_WITH_TIMEOUT(m_site.hits(QStringLiteral("/ads/banner.png")), banners + 1, 30000);
    QTRY_VERIFY(pageLoaded(w));
    QCOMPARE(
        evaluate(w, QStringLiteral("getComputedStyle(document.querySelector('.ad-box')).display")),
        QStringLiteral("block"));
    QVERIFY(allow->isChecked());
    QVERIFY(!blockedLabel()->isVisible());
    // Kept for the next start.
    QCOMPARE(KorvixSettings(m_app.dir()).blockingExceptions(), QStringList{"127.0.0.1"});
    allow->trigger();
    QVERIFY(!m_blocker->isSiteAllowed(QStringLiteral("127.0.0.1")));
    QVERIFY(KorvixSettings(m_app.dir()).blockingExceptions().isEmpty());
    m_app.registry()->closeAllWindows();
}

void TestBlockingE2E::switchedOffForAll() {
    QAction* block = action("blockContent");
    QVERIFY(block->isChecked());
    block->trigger();
    QVERIFY(!KorvixSettings(m_app.dir()).contentBlocking());
    const int scripts = m_tracker.hits(QStringLiteral("/track.js"));
    BrowserWindow* w = openPage();
    QVERIFY(w);
    QTRY_COMPARE(m_tracker.hits(QStringLiteral("/track.js")), scripts + 1);
    QCOMPARE(evaluate(w, QStringLiteral("typeof tracked")), QStringLiteral("number"));
    QVERIFY(!action("allowOnSite")->isEnabled());
    block->trigger();
    QVERIFY(KorvixSettings(m_app.dir()).contentBlocking());
    m_app.registry()->closeAllWindows();
}

// A list added by its address in "Filterlisten..." is fetched, asked for
// again with the date the server gave, and kept when a later download is no
// list.
void TestBlockingE2E::subscriptionsFetched() {
    HttpTestServer lists;
    QVERIFY(lists.start());
    const QByteArray good = "[Adblock Plus 2.0]\n||werbung.example^\n";
    lists.addPage(QStringLiteral("/meine-liste.txt"), good, "text/plain");
    lists.setHeaders(QStringLiteral("/meine-liste.txt"),
                     "Last-Modified: Tue, 08 Dec 2026 10:00:00 GMT\r\n");
    action("filterLists")->trigger();
    auto* dialog = m_app.frame()->findChild<FilterListsDialog*>(QStringLiteral("filterLists"));
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    auto* tree = dialog->findChild<QTreeWidget*>(QStringLiteral("lists"));
    const int before = tree->topLevelItemCount();

    QVERIFY(Keyboard::clickInto(dialog->findChild<QLineEdit*>(QStringLiteral("address"))));
    QVERIFY(Keyboard::type(lists.url(QStringLiteral("/meine-liste.txt"))));
    QVERIFY(Keyboard::press(Qt::Key_Return));
    QVERIFY(dialog->isVisible());
    QCOMPARE(tree->topLevelItemCount(), before + 1);
    const QString file = QDir(m_app.dir()).filePath(QStringLiteral("Filter/meine-liste.txt"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 20000);
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), good);
    QTRY_COMPARE(m_blocker->ruleCount(), 5);
    QTRY_VERIFY(!tree->topLevelItem(before)->text(1).startsWith(QStringLiteral("Fehler")));

    // The next time the server is told what it said; an error page comes
    // back and the list stays as it was.
    lists.addPage(QStringLiteral("/meine-liste.txt"), "<html><body>Wartung</body></html>");
    const int asked = lists.hits(QStringLiteral("/meine-liste.txt"));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("update")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(lists.hits(QStringLiteral("/meine-liste.txt")), asked + 1, 20000);
    QCOMPARE(lists.requests().last().headers.value("if-modified-since"),
             QByteArray("Tue, 08 Dec 2026 10:00:00 GMT"));
    QTRY_VERIFY(tree->topLevelItem(0)->text(1).startsWith(QStringLiteral("Fehler")));
    QVERIFY(written.seek(0));
    QCOMPARE(written.readAll(), good);
    const QList<Subscription> kept = Subscriptions::load(KorvixSettings(m_app.dir()).path());
    QCOMPARE(kept.size(), 1);
    QCOMPARE(kept.first().url, lists.url(QStringLiteral("/meine-liste.txt")));
    dialog->close();
}

void TestBlockingE2E::listOrNot_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("list");
    QTest::newRow("header") << QByteArray("[Adblock Plus 2.0]\n! x\n") << true;
    QTest::newRow("rules only") << QByteArray("! comment\n||ads.example^\n") << true;
    QTest::newRow("comments only") << QByteArray("! a\n! b\n") << false;
    QTest::newRow("error page") << QByteArray("<!DOCTYPE html><html>503</html>") << false;
    QTest::newRow("binary") << QByteArray("\x1f\x8b\x08\0\0\0", 6) << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestBlockingE2E::listOrNot() {
    QFETCH(QByteArray, text);
    QFETCH(bool, list);
    QCOMPARE(Subscriptions::looksLikeFilterList(text), list);
}

QTEST_MAIN(TestBlockingE2E)
#include "tst_blocking_e2e.moc"
