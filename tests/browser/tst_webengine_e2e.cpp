#include "HttpTestServer.h"
#include "Keyboard.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "browser/BrowserWindow.h"
#include "browser/QtWebView.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameActions.h"
#include "frame/FrameTabs.h"
#include "frame/MainFrame.h"
#include "frame/TabBar.h"
#include "frame/ToolWindows.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

// The real web engine on local pages: titles, pages that open windows and
// pages that close their own window.
class TestWebEngineE2E : public QObject {
    Q_OBJECT
public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void titleReachesCaptionAndTab();
    void windowOpenCreatesRegisteredWindow();
    void windowOpenRefusedWhenPopupsOff();
    void windowCloseRemovesWindowAndTab();
    void discardedPageComesBackWithoutVisit();
    void pageDiscardedBeforeItLoadedStillArrives_data();
    void pageDiscardedBeforeItLoadedStillArrives();
    void typedTextReachesItsServer_data();
    void typedTextReachesItsServer();
    void linkClicksOpenWindows_data();
    void linkClicksOpenWindows();

private:
    QString page(const QString& name) const {
        return QUrl::fromLocalFile(QDir(m_app.dir()).filePath(name)).toString();
    }
    void writePage(const QString& name, const QByteArray& html);
    BrowserWindow* openOn(const QString& url) { return m_app.openWindow(url); }

    ScriptedDialogs m_dialogs;
    StartedApp m_app;
    MainFrame* m_frame = nullptr;
};

void TestWebEngineE2E::writePage(const QString& name, const QByteArray& html) {
    m_app.writeFile(name, html);
}

void TestWebEngineE2E::initTestCase() {
    writePage(QStringLiteral("title.html"),
              "<html><head><meta charset='utf-8'><title>Grüße &amp; mehr</title></head>"
              "<body>Hallo</body></html>");
    writePage(QStringLiteral("opener.html"),
              "<html><head><title>Opener</title></head><body><script>"
              "window.addEventListener('load', function(){ window.open('title.html'); });"
              "</script></body></html>");
    writePage(QStringLiteral("link.html"),
              "<html><head><title>Link</title></head><body style='margin:0'>"
              "<a href='title.html' style='position:absolute;left:0;top:0;width:400px;"
              "height:300px;display:block'>Weiter</a></body></html>");
    writePage(QStringLiteral("closer.html"),
              "<html><head><title>Closer</title></head><body><script>"
              "setTimeout(function(){ window.close(); }, 300);</script></body></html>");
    m_app.writePrefs([this](Prefer& p) {
        p.StartBrowser = 0;
        p.HomeUrl = page(QStringLiteral("title.html"));
    });
    m_frame = m_app.startWithEngine();
    QVERIFY(m_frame);
    m_frame->action(FrameActions::TabBar)->trigger();
}

void TestWebEngineE2E::cleanupTestCase() {
    m_app.stop();
}

void TestWebEngineE2E::titleReachesCaptionAndTab() {
    BrowserWindow* w = openOn(page(QStringLiteral("title.html")));
    QVERIFY(w);
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w), 30000);
    QCOMPARE(w->windowTitle(), QStringLiteral("Grüße & mehr"));
    QCOMPARE(m_frame->tabs()->bar()->tabs()->tabText(m_frame->tabs()->bar()->indexOf(w->id())),
             QStringLiteral("Grüße && mehr"));
    QVERIFY(m_frame->tools()->history().count() >= 1);
    QCOMPARE(m_frame->tools()->history().at(m_frame->tools()->history().count() - 1).Url,
             page("title.html"));
    w->close();
}

void TestWebEngineE2E::windowOpenCreatesRegisteredWindow() {
    m_frame->action(FrameActions::AllowPopups)->trigger();
    const int before = m_frame->registry()->count();
    BrowserWindow* opener = openOn(page(QStringLiteral("opener.html")));
    const qint32 openerId = opener->id();
    QTRY_COMPARE_WITH_TIMEOUT(int(m_frame->registry()->count()), before + 2, 30000);
    BrowserWindow* popup = m_frame->registry()->windows().last();
    QCOMPARE(popup->id(), openerId + 1);
    QVERIFY(m_frame->registry()->windowByKey(BrowserRegistry::windowKey(openerId + 1)));
    QTRY_VERIFY_WITH_TIMEOUT(
        pageLoaded(popup) && popup->webView()->locationUrl().endsWith(QStringLiteral("title.html")),
        30000);
    QTRY_COMPARE_WITH_TIMEOUT(popup->windowTitle(), QStringLiteral("Grüße & mehr"), 10000);
    m_frame->registry()->closeAllWindows();
    QCOMPARE(int(m_frame->registry()->count()), 0);
}

void TestWebEngineE2E::windowOpenRefusedWhenPopupsOff() {
    m_frame->action(FrameActions::ForbidPopups)->trigger();
    QVERIFY(!m_frame->registry()->popups().allowed());
    BrowserWindow* opener = openOn(page(QStringLiteral("opener.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(opener), 30000);
    // Give the page's load handler time to ask.
    QTest::qWait(1500);
    QCOMPARE(int(m_frame->registry()->count()), 1);
    m_frame->action(FrameActions::AllowPopups)->trigger();
    m_frame->registry()->closeAllWindows();
}

void TestWebEngineE2E::windowCloseRemovesWindowAndTab() {
    BrowserWindow* keep = openOn(page(QStringLiteral("title.html")));
    QPointer<BrowserWindow> closer = openOn(page(QStringLiteral("closer.html")));
    QCOMPARE(int(m_frame->registry()->count()), 2);
    QCOMPARE(m_frame->tabs()->bar()->tabs()->count(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(closer.isNull(), 30000);
    QCOMPARE(int(m_frame->registry()->count()), 1);
    QCOMPARE(m_frame->tabs()->bar()->tabs()->count(), 1);
    QCOMPARE(m_frame->registry()->windows(), QList<BrowserWindow*>{keep});
}

void TestWebEngineE2E::discardedPageComesBackWithoutVisit() {
    BrowserWindow* w = openOn(page(QStringLiteral("link.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w), 30000);
    w->webView()->navigate(page(QStringLiteral("title.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w) && w->windowTitle() == QStringLiteral("Grüße & mehr"),
                             30000);
    QVERIFY(Keyboard::activate(w));
    QVERIFY(Keyboard::press(Qt::Key_Plus, Qt::ControlModifier));
    const double zoom = w->webView()->zoomFactor();
    QVERIFY(zoom > 1.0);
    const int visits = m_frame->tools()->history().count();
    const int addresses = w->addressBox()->count();
    const QByteArray history = w->webView()->saveHistory();
    w->webView()->setLifecycle(Lifecycle::State::Discarded);
    QTRY_COMPARE_WITH_TIMEOUT(w->webView()->lifecycle(), Lifecycle::State::Discarded, 10000);
    // Asleep, the window still tells the frame (layouts, closed windows)
    // where it is and what it was.
    QCOMPARE(w->webView()->locationUrl(), page(QStringLiteral("title.html")));
    QCOMPARE(w->webView()->saveHistory(), history);
    QCOMPARE(w->webView()->zoomFactor(), zoom);
    w->webView()->setLifecycle(Lifecycle::State::Active);
    QTRY_VERIFY_WITH_TIMEOUT(!w->webView()->isBusy(), 30000);
    QTest::qWait(300);
    QCOMPARE(w->webView()->lifecycle(), Lifecycle::State::Active);
    QCOMPARE(w->webView()->locationUrl(), page(QStringLiteral("title.html")));
    QCOMPARE(w->windowTitle(), QStringLiteral("Grüße & mehr"));
    QCOMPARE(w->webView()->zoomFactor(), zoom);
    QCOMPARE(m_frame->tools()->history().count(), visits);
    QCOMPARE(w->addressBox()->count(), addresses);
    // The way back is still there.
    QVERIFY(Keyboard::activate(w));
    QVERIFY(Keyboard::press(Qt::Key_Left, Qt::AltModifier));
    QTRY_COMPARE_WITH_TIMEOUT(w->webView()->locationUrl(), page(QStringLiteral("link.html")),
                              30000);
    m_frame->registry()->closeAllWindows();
}

void TestWebEngineE2E::pageDiscardedBeforeItLoadedStillArrives_data() {
    QTest::addColumn<bool>("frozenFirst");
    QTest::addColumn<bool>("wokenByShowing");
    // Before the event loop ever ran for the page.
    QTest::newRow("discarded, woken by the frame") << false << false;
    // The engine wakes a discarded page on its own when it is shown, before
    // the frame's activation gets to it.
    QTest::newRow("discarded, woken by showing the page") << false << true;
    // Frozen while it loaded (the load ends unfinished), then discarded.
    QTest::newRow("frozen, then discarded") << true << false;
}

void TestWebEngineE2E::pageDiscardedBeforeItLoadedStillArrives() {
    QFETCH(bool, frozenFirst);
    QFETCH(bool, wokenByShowing);
    BrowserWindow* w = openOn(page(QStringLiteral("title.html")));
    if (frozenFirst) {
        w->webView()->setLifecycle(Lifecycle::State::Frozen);
        QTest::qWait(300);
    }
    w->webView()->setLifecycle(Lifecycle::State::Discarded);
    QTest::qWait(300);
    if (wokenByShowing) {
        auto* view = qobject_cast<QtWebView*>(w->webView());
        QVERIFY(view);
        view->page()->setVisible(true);
        QCOMPARE(w->webView()->lifecycle(), Lifecycle::State::Active);
    }
    w->webView()->setLifecycle(Lifecycle::State::Active);
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w) && w->windowTitle() == QStringLiteral("Grüße & mehr"),
                             30000);
    m_frame->registry()->closeAllWindows();
}

void TestWebEngineE2E::typedTextReachesItsServer_data() {
    QTest::addColumn<QString>("typed"); // %1: the server's host and port
    QTest::addColumn<QString>("request");
    // Text that is no address goes to the search engine of the preferences.
    QTest::newRow("search") << QStringLiteral("wetter berlin")
                            << QStringLiteral("/suche?q=wetter%20berlin");
    // A host and port without a scheme is an address on the web, not a file
    // beside the program's working folder.
    QTest::newRow("address without scheme")
        << QStringLiteral("%1/suche") << QStringLiteral("/suche");
}

void TestWebEngineE2E::typedTextReachesItsServer() {
    QFETCH(QString, typed);
    QFETCH(QString, request);
    HttpTestServer engine;
    QVERIFY(engine.start());
    engine.addPage(QStringLiteral("/suche"), "<html><head><title>Treffer</title></head></html>");
    m_frame->tools()->preferences().SearchEngine = engine.url(QStringLiteral("/suche"));
    BrowserWindow* w = openOn(page(QStringLiteral("title.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w), 30000);
    QVERIFY(Keyboard::clickInto(w->addressBox()));
    QVERIFY(Keyboard::press(Qt::Key_A, Qt::ControlModifier));
    const QString server = QUrl(engine.url(QString())).authority();
    QVERIFY(Keyboard::type(typed.replace(QLatin1String("%1"), server)));
    QVERIFY(Keyboard::press(Qt::Key_Return));
    QTRY_COMPARE_WITH_TIMEOUT(engine.hits(request), 1, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QStringLiteral("Treffer"), 30000);
    m_frame->registry()->closeAllWindows();
}

void TestWebEngineE2E::linkClicksOpenWindows_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("behind");
    QTest::newRow("middle click") << Qt::MiddleButton << Qt::KeyboardModifiers() << true;
    QTest::newRow("Ctrl+click") << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ControlModifier)
                                << true;
    QTest::newRow("Shift+click") << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                 << false;
}

// A link in a new window, behind the page or in front, whatever the
// window menu says of pages' own windows.
void TestWebEngineE2E::linkClicksOpenWindows() {
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, behind);
    m_frame->registry()->popups().setToBack(!behind);
    BrowserWindow* opener = openOn(page(QStringLiteral("link.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(opener), 30000);
    QWidget* input = static_cast<QtWebView*>(opener->webView())->engineView()->focusProxy();
    QVERIFY(input);
    // The engine takes clicks only once the page can take them.
    const auto opened = [this] { return m_frame->registry()->count() == 2; };
    for (int i = 0; i < 10 && !opened(); ++i) {
        QTest::mouseClick(input, button, modifiers, QPoint(100, 100));
        if (QTest::qWaitFor(opened, 2000))
            break;
    }
    QCOMPARE(m_frame->registry()->count(), 2);
    BrowserWindow* link = m_frame->registry()->windows().last();
    QTRY_COMPARE_WITH_TIMEOUT(link->windowTitle(), QStringLiteral("Grüße & mehr"), 30000);
    QCOMPARE(m_frame->registry()->activeWindow(), behind ? opener : link);
    m_frame->registry()->popups().setToBack(false);
    m_frame->registry()->closeAllWindows();
    QTRY_COMPARE(m_frame->registry()->count(), 0);
}

QTEST_MAIN(TestWebEngineE2E)
#include "tst_webengine_e2e.moc"
