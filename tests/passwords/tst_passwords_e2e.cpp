#include "HttpTestServer.h"
#include "Keyboard.h"
#include "PageScript.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "browser/BrowserWindow.h"
#include "browser/PagePanels.h"
#include "browser/QtWebView.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "prefs/model/KorvixSettings.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QDirIterator>
#include <QPushButton>
#include <QTest>
#include <QWebEngineView>

#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

// Logins of page forms on the real engine, kept in a real Secret Service
// (GNOME Keyring on a bus of the test's own) or in none at all.
class TestPasswordsE2E : public QObject {
    Q_OBJECT
public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void initTestCase();
    void savesFillsAndUpdates();
    void neverForThisSite();
    void privateWindowNeitherAsksNorFills();
    void toldOnceWithoutKeyring();
    void cleanupTestCase();

private:
    QString loginPage(const QString& host = QStringLiteral("127.0.0.1")) const {
        return m_site.url(QStringLiteral("/login.html"), host);
    }
    QString site(const QString& host = QStringLiteral("127.0.0.1")) const {
        return QStringLiteral("http://%1:%2").arg(host).arg(m_site.port());
    }
    BrowserWindow* open(const QString& url);
    BrowserWindow* openPrivate(const QString& url);
    // Goes to the login page once more.
    static bool goTo(BrowserWindow* w, const QString& url);
    bool logIn(BrowserWindow* w, const QString& user, const QString& password);
    static QtWebView* viewOf(BrowserWindow* w) { return qobject_cast<QtWebView*>(w->webView()); }
    static QString field(BrowserWindow* w, const char* id);
    static QStringList barTexts(BrowserWindow* w);
    bool answer(BrowserWindow* w, const QString& caption);
    // Read straight from the Secret Service, apart from the program.
    static QString keyringPassword(const QString& site, const QString& user);
    bool filesHold(const QByteArray& text) const;

    ScriptedDialogs m_dialogs;
    StartedApp m_app;
    HttpTestServer m_site;
};

namespace {
const SecretSchema* korvixSchema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.korvix.Login";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"site", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[2] = {"form", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}
} // namespace

void TestPasswordsE2E::initTestCase() {
    QVERIFY(m_site.start());
    m_site.addPage(QStringLiteral("/login.html"),
                   "<html><head><title>Anmelden</title></head><body>"
                   "<form method=\"post\" action=\"/welcome.html\">"
                   "<input id=\"user\" name=\"user\" style=\"width:300px;height:30px\">"
                   "<input id=\"pass\" name=\"pass\" type=\"password\" "
                   "style=\"width:300px;height:30px\">"
                   "<input type=\"submit\" value=\"Anmelden\"></form></body></html>");
    m_site.addPage(QStringLiteral("/welcome.html"),
                   "<html><head><title>Willkommen</title></head><body>Hallo</body></html>");
    m_app.writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    QVERIFY(m_app.startWithEngine());
}

void TestPasswordsE2E::cleanupTestCase() {
    m_app.registry()->closeAllWindows();
    m_app.stop();
}

BrowserWindow* TestPasswordsE2E::open(const QString& url) {
    BrowserWindow* w = m_app.openWindow(url);
    return QTest::qWaitFor([w] { return pageLoaded(w); }, 30000) ? w : nullptr;
}

BrowserWindow* TestPasswordsE2E::openPrivate(const QString& url) {
    const int before = m_app.registry()->count();
    m_app.frame()->findChild<QAction*>(QStringLiteral("newPrivateWindow"))->trigger();
    if (m_app.registry()->count() != before + 1)
        return nullptr;
    BrowserWindow* w = m_app.registry()->windows().last();
    if (!QTest::qWaitFor([w] { return pageLoaded(w); }, 30000))
        return nullptr;
    return goTo(w, url) ? w : nullptr;
}

bool TestPasswordsE2E::goTo(BrowserWindow* w, const QString& url) {
    w->navigate(url);
    return QTest::qWaitFor(
        [w] {
            return pageLoaded(w) && w->webView()->documentTitle() == QStringLiteral("Anmelden");
        },
        30000);
}

QString TestPasswordsE2E::field(BrowserWindow* w, const char* id) {
    return runPageScript(
               viewOf(w),
               QStringLiteral("document.getElementById('%1').value").arg(QLatin1String(id)))
        .toString();
}

// Clicks into the user name field, types the login as a person does and
// sends it with Return; true once the answer has come.
bool TestPasswordsE2E::logIn(BrowserWindow* w, const QString& user, const QString& password) {
    QtWebView* view = viewOf(w);
    const QVariantList rect =
        runPageScript(view, QStringLiteral("(function(){var r=document.getElementById('user')"
                                           ".getBoundingClientRect();return [r.x+r.width/2,"
                                           "r.y+r.height/2];})()"))
            .toList();
    if (rect.size() != 2)
        return false;
    const QPoint at(rect.at(0).toInt(), rect.at(1).toInt());
    QWidget* input = view->engineView()->focusProxy();
    if (!Keyboard::clickInto(input, at) ||
        !QTest::qWaitFor(
            [view] {
                return runPageScript(view, QStringLiteral("document.activeElement.id")) ==
                       QStringLiteral("user");
            },
            10000))
        return false;
    Keyboard::press(Qt::Key_A, Qt::ControlModifier);
    Keyboard::type(user);
    Keyboard::press(Qt::Key_Tab);
    Keyboard::press(Qt::Key_A, Qt::ControlModifier);
    Keyboard::type(password);
    Keyboard::press(Qt::Key_Return);
    return QTest::qWaitFor(
        [w] {
            return pageLoaded(w) &&
                   w->webView()->locationUrl().contains(QLatin1String("/welcome.html"));
        },
        30000);
}

QStringList TestPasswordsE2E::barTexts(BrowserWindow* w) {
    QStringList texts;
    for (QuestionBar* bar : viewOf(w)->questions())
        texts << bar->text();
    return texts;
}

bool TestPasswordsE2E::answer(BrowserWindow* w, const QString& caption) {
    const QList<QuestionBar*> bars = viewOf(w)->questions();
    QPushButton* button = bars.isEmpty() ? nullptr : bars.first()->button(caption);
    if (!button)
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return viewOf(w)->questions().isEmpty();
}

QString TestPasswordsE2E::keyringPassword(const QString& site, const QString& user) {
    GError* error = nullptr;
    gchar* found = secret_password_lookup_sync(korvixSchema(), nullptr, &error, "site",
                                               site.toUtf8().constData(), "user",
                                               user.toUtf8().constData(), nullptr);
    if (error) {
        qWarning("keyring: %s", error->message);
        g_error_free(error);
        return QStringLiteral("(unreachable)");
    }
    const QString password = QString::fromUtf8(found);
    secret_password_free(found);
    return password;
}

bool TestPasswordsE2E::filesHold(const QByteArray& text) const {
    QDirIterator it(m_app.dir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text)) {
            qWarning("%s holds it", qPrintable(file.fileName()));
            return true;
        }
    }
    return false;
}

void TestPasswordsE2E::savesFillsAndUpdates() {
    BrowserWindow* w = open(loginPage());
    QVERIFY(w);
    QVERIFY(logIn(w, QStringLiteral("anna"), QStringLiteral("Geheim-1")));
    QTRY_COMPARE_WITH_TIMEOUT(
        barTexts(w), QStringList{QStringLiteral("Passwort für 127.0.0.1 speichern?")}, 10000);
    QVERIFY(answer(w, QStringLiteral("Speichern")));
    QTRY_COMPARE_WITH_TIMEOUT(keyringPassword(site(), QStringLiteral("anna")),
                              QStringLiteral("Geheim-1"), 10000);

    // A new window on the page finds the form filled.
    BrowserWindow* again = open(loginPage());
    QVERIFY(again);
    QTRY_COMPARE_WITH_TIMEOUT(field(again, "pass"), QStringLiteral("Geheim-1"), 10000);
    QCOMPARE(field(again, "user"), QStringLiteral("anna"));

    // A changed password on a known site asks to update it.
    QVERIFY(logIn(again, QStringLiteral("anna"), QStringLiteral("Neu-2")));
    QTRY_COMPARE_WITH_TIMEOUT(barTexts(again),
                              QStringList{QStringLiteral("Passwort aktualisieren?")}, 10000);
    QVERIFY(answer(again, QStringLiteral("Aktualisieren")));
    QTRY_COMPARE_WITH_TIMEOUT(keyringPassword(site(), QStringLiteral("anna")),
                              QStringLiteral("Neu-2"), 10000);

    // A second user: the form waits until the user picks a name.
    QVERIFY(goTo(w, loginPage()));
    QVERIFY(logIn(w, QStringLiteral("bert"), QStringLiteral("Bert-3")));
    QTRY_COMPARE_WITH_TIMEOUT(barTexts(w).size(), 1, 10000);
    QVERIFY(answer(w, QStringLiteral("Speichern")));
    QTRY_COMPARE_WITH_TIMEOUT(keyringPassword(site(), QStringLiteral("bert")),
                              QStringLiteral("Bert-3"), 10000);
    QCOMPARE(keyringPassword(site(), QStringLiteral("anna")), QStringLiteral("Neu-2"));
    BrowserWindow* both = open(loginPage());
    QVERIFY(both);
    const QString names = QStringLiteral(
        "(function(){var l=document.getElementById('user').list;return l?Array.prototype.map"
        ".call(l.options,function(o){return o.value;}).sort().join(','):'';})()");
    QTRY_COMPARE_WITH_TIMEOUT(runPageScript(viewOf(both), names).toString(),
                              QStringLiteral("anna,bert"), 10000);
    QCOMPARE(field(both, "pass"), QString());
    QtWebView* view = viewOf(both);
    QVERIFY(Keyboard::clickInto(view->engineView()->focusProxy(), QPoint(150, 20)));
    QTRY_COMPARE_WITH_TIMEOUT(runPageScript(view, QStringLiteral("document.activeElement.id")),
                              QVariant(QStringLiteral("user")), 10000);
    Keyboard::type(QStringLiteral("bert"));
    QTRY_COMPARE_WITH_TIMEOUT(field(both, "pass"), QStringLiteral("Bert-3"), 10000);

    // Nothing of a password reaches the program's own files.
    m_app.registry()->closeAllWindows();
    for (const char* secret : {"Geheim-1", "Neu-2", "Bert-3"})
        QVERIFY2(!filesHold(secret), secret);
}

void TestPasswordsE2E::neverForThisSite() {
    GError* error = nullptr;
    secret_password_clear_sync(korvixSchema(), nullptr, &error, nullptr);
    QVERIFY(!error);
    const QString host = QStringLiteral("localhost");
    BrowserWindow* w = open(loginPage(host));
    QVERIFY(w);
    QVERIFY(logIn(w, QStringLiteral("carla"), QStringLiteral("Carla-4")));
    QTRY_COMPARE_WITH_TIMEOUT(
        barTexts(w), QStringList{QStringLiteral("Passwort für localhost speichern?")}, 10000);
    QVERIFY(answer(w, QStringLiteral("Nie für diese Seite")));

    QVERIFY(KorvixSettings(m_app.dir()).passwordNeverSites().contains(site(host)));

    // Asked nothing again, while another site still is: its question, which
    // comes through the keyring after this site's would, is the only one.
    QVERIFY(goTo(w, loginPage(host)));
    QVERIFY(logIn(w, QStringLiteral("carla"), QStringLiteral("Carla-5")));
    QVERIFY(goTo(w, loginPage()));
    QVERIFY(logIn(w, QStringLiteral("dora"), QStringLiteral("Dora-6")));
    QTRY_COMPARE_WITH_TIMEOUT(barTexts(w).size(), 1, 10000);
    QCOMPARE(barTexts(w), QStringList{QStringLiteral("Passwort für 127.0.0.1 speichern?")});
    QVERIFY(answer(w, QStringLiteral("Nicht jetzt")));
    QCOMPARE(keyringPassword(site(), QStringLiteral("dora")), QString());
    QCOMPARE(keyringPassword(site(host), QStringLiteral("carla")), QString());
    m_app.registry()->closeAllWindows();
}

void TestPasswordsE2E::privateWindowNeitherAsksNorFills() {
    // The one login the keyring holds for the site.
    GError* error = nullptr;
    secret_password_clear_sync(korvixSchema(), nullptr, &error, nullptr);
    QVERIFY(!error);
    QVERIFY(secret_password_store_sync(korvixSchema(), SECRET_COLLECTION_DEFAULT, "test", "Emil-7",
                                       nullptr, &error, "site", site().toUtf8().constData(), "user",
                                       "emil", "form", "", nullptr));
    QVERIFY(!error);

    BrowserWindow* hidden = openPrivate(loginPage());
    QVERIFY(hidden);
    // A normal window on the page is filled; the private one, there first,
    // has had as long.
    BrowserWindow* normal = open(loginPage());
    QVERIFY(normal);
    QTRY_COMPARE_WITH_TIMEOUT(field(normal, "pass").isEmpty(), false, 10000);
    QCOMPARE(field(hidden, "pass"), QString());
    QCOMPARE(field(hidden, "user"), QString());

    QVERIFY(logIn(hidden, QStringLiteral("frieda"), QStringLiteral("Frieda-8")));
    QVERIFY(logIn(normal, QStringLiteral("gustav"), QStringLiteral("Gustav-9")));
    QTRY_COMPARE_WITH_TIMEOUT(barTexts(normal).size(), 1, 10000);
    QCOMPARE(barTexts(hidden), QStringList());
    QCOMPARE(keyringPassword(site(), QStringLiteral("frieda")), QString());
    m_app.registry()->closeAllWindows();
}

void TestPasswordsE2E::toldOnceWithoutKeyring() {
    const QString text = QStringLiteral(
        "Passwörter können nicht gespeichert werden: kein Schlüsselbund erreichbar.");
    BrowserWindow* w = open(loginPage());
    QVERIFY(w);
    QVERIFY(logIn(w, QStringLiteral("hanna"), QStringLiteral("Hanna-10")));
    QTRY_COMPARE_WITH_TIMEOUT(m_dialogs.messages.size(), 1, 30000);
    QCOMPARE(m_dialogs.messages.first().text, text);
    QCOMPARE(barTexts(w), QStringList());

    // Once the keyring is known to be missing the answer comes before the
    // next page has loaded: nothing more is said.
    QVERIFY(goTo(w, loginPage()));
    QVERIFY(logIn(w, QStringLiteral("hanna"), QStringLiteral("Hanna-11")));
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(barTexts(w), QStringList());
    m_app.registry()->closeAllWindows();
}

QTEST_MAIN(TestPasswordsE2E)
#include "tst_passwords_e2e.moc"
