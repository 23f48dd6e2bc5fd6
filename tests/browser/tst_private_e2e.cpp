#include "HttpTestServer.h"
#include "Keyboard.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QComboBox>
#include <QTest>

// Private windows on the real engine: their cookies live in memory, apart
// from the other windows', and are gone with the last private window.
class TestPrivateE2E : public QObject {
    Q_OBJECT
public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void privateCookiesStayInMemory();

private:
    BrowserWindow* openPrivate();
    bool typeAddress(BrowserWindow* w, const QString& address);
    QByteArray cookieSent(const QString& path) const;

    ScriptedDialogs m_dialogs;
    StartedApp m_app;
    HttpTestServer m_site;
};

BrowserWindow* TestPrivateE2E::openPrivate() {
    const int before = m_app.registry()->count();
    m_app.frame()->findChild<QAction*>(QStringLiteral("newPrivateWindow"))->trigger();
    if (m_app.registry()->count() != before + 1)
        return nullptr;
    BrowserWindow* w = m_app.registry()->windows().last();
    return QTest::qWaitFor([w] { return pageLoaded(w); }, 30000) ? w : nullptr;
}

bool TestPrivateE2E::typeAddress(BrowserWindow* w, const QString& address) {
    return Keyboard::clickInto(w->addressBox()) &&
           Keyboard::press(Qt::Key_A, Qt::ControlModifier) && Keyboard::type(address) &&
           Keyboard::press(Qt::Key_Return) &&
           QTest::qWaitFor([w] { return !pageLoaded(w); }, 10000) &&
           QTest::qWaitFor([w] { return pageLoaded(w); }, 30000);
}

QByteArray TestPrivateE2E::cookieSent(const QString& path) const {
    const QList<HttpTestServer::Request>& all = m_site.requests();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if (it->path == path)
            return it->headers.value("cookie");
    return "(never asked)";
}

void TestPrivateE2E::privateCookiesStayInMemory() {
    QVERIFY(m_site.start());
    for (const char* page : {"/normal.html", "/secret.html", "/start.html"})
        m_site.addPage(QLatin1String(page), "<html><head><title>Seite</title></head></html>");
    m_site.setHeaders(QStringLiteral("/normal.html"), "Set-Cookie: normal=1; Max-Age=86400\r\n");
    m_site.setHeaders(QStringLiteral("/secret.html"), "Set-Cookie: secret=1; Max-Age=86400\r\n");
    const QString start = m_site.url(QStringLiteral("/start.html"));
    m_app.writePrefs([&start](Prefer& p) {
        p.StartBrowser = 0;
        p.HomeUrl = start;
    });
    QVERIFY(m_app.startWithEngine());

    BrowserWindow* normal = m_app.openWindow(m_site.url(QStringLiteral("/normal.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(normal), 30000);
    BrowserWindow* hidden = openPrivate();
    QVERIFY(hidden);
    QCOMPARE(cookieSent(QStringLiteral("/start.html")), QByteArray());
    QVERIFY(typeAddress(hidden, m_site.url(QStringLiteral("/secret.html"))));
    QVERIFY(typeAddress(hidden, start));
    QCOMPARE(cookieSent(QStringLiteral("/start.html")), QByteArray("secret=1"));
    // The other windows never see it.
    QVERIFY(typeAddress(normal, start));
    QCOMPARE(cookieSent(QStringLiteral("/start.html")), QByteArray("normal=1"));

    // Gone with the last private window.
    hidden->close();
    QTRY_VERIFY_WITH_TIMEOUT(!EngineProfile::hasPrivateProfile(), 10000);
    hidden = openPrivate();
    QVERIFY(hidden);
    QCOMPARE(cookieSent(QStringLiteral("/start.html")), QByteArray());

    m_app.registry()->closeAllWindows();
    QTRY_VERIFY(!EngineProfile::hasPrivateProfile());
}

QTEST_MAIN(TestPrivateE2E)
#include "tst_private_e2e.moc"
