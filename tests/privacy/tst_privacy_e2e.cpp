#include "HttpTestServer.h"
#include "Keyboard.h"
#include "PageScript.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "TestCertificate.h"
#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "browser/LoginDialog.h"
#include "browser/PagePanels.h"
#include "browser/QtWebView.h"
#include "browser/SiteData.h"
#include "browser/model/SiteGrants.h"
#include "downloads/DownloadList.h"
#include "frame/BrowserRegistry.h"
#include "frame/ClearDataDialog.h"
#include "frame/MainFrame.h"
#include "frame/ToolWindows.h"
#include "history/HistoryWindow.h"
#include "prefs/model/KorvixSettings.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWebEngineHistory>
#include <QWebEnginePage>

// Cookies and clearing on the real engine: pages on 127.0.0.1 with frames
// from 127.0.0.2, which is another site.
class TestPrivacyE2E : public QObject {
    Q_OBJECT
public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void thirdPartyCookies_data();
    void thirdPartyCookies();
    void eachBoxClearsItsOwn_data();
    void eachBoxClearsItsOwn();
    void cancelKeepsEverything();
    void engineForgetsWhatWasLetThrough_data();
    void engineForgetsWhatWasLetThrough();

private:
    // Opens `url` in a window and waits until its page and every frame in
    // it were asked for.
    BrowserWindow* load(const QString& url);
    // The Cookie header of the last request for `path`.
    static QByteArray sentCookies(const HttpTestServer& server, const QString& path);
    // Answers the next "Browserdaten löschen..." with exactly `boxes` ticked
    // (by their captions) and `range` chosen; `clear` false cancels.
    void answerClearData(const QStringList& boxes, const QString& range, bool clear = true);
    QAction* action(const char* name) const {
        return m_app.frame()->findChild<QAction*>(QLatin1String(name));
    }

    ScriptedDialogs m_dialogs;
    StartedApp m_app;
    QTemporaryDir m_downloadDir;
    HttpTestServer m_site;
    HttpTestServer m_other;
    int m_downloads = 0;
};

void TestPrivacyE2E::initTestCase() {
    QVERIFY(m_site.start());
    QVERIFY(m_other.start(QHostAddress(QStringLiteral("127.0.0.2"))));
    // Every page of the site sets its own cookie and shows a frame of the
    // other site, which sets one of its own.
    const QStringList pages{"plain", "all", "site", "clear"};
    for (const QString& name : pages) {
        const QString frame = QStringLiteral("/frame-%1.html").arg(name);
        m_site.addPage(QStringLiteral("/%1.html").arg(name),
                       "<html><head><title>" + name.toUtf8() + "</title></head><body>" +
                           // What the site stores besides cookies, and whether
                           // it was there before.
                           "<script>document.body.dataset.stored = localStorage.getItem("
                           "'seen') || ''; localStorage.setItem('seen', 'ja');</script>" +
                           "<iframe src='" +
                           m_other.url(frame, QStringLiteral("127.0.0.2")).toUtf8() +
                           "'></iframe></body></html>");
        m_site.setHeaders(QStringLiteral("/%1.html").arg(name),
                          "Set-Cookie: own-" + name.toUtf8() + "=1\r\n");
        m_other.addPage(frame, "<html><body>Fremd</body></html>");
        m_other.setHeaders(frame,
                           "Set-Cookie: other-" + name.toUtf8() + "=1; SameSite=None; Secure\r\n");
    }
    m_site.addDownload(QStringLiteral("/datei.bin"), QByteArray(2048, 'k'), 1024, 10);
    m_app.writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    QVERIFY(m_app.startWithEngine());
}

void TestPrivacyE2E::cleanupTestCase() {
    m_app.stop();
}

void TestPrivacyE2E::cleanup() {
    if (m_app.registry())
        m_app.registry()->closeAllWindows();
    m_dialogs.onModal = nullptr;
}

BrowserWindow* TestPrivacyE2E::load(const QString& url) {
    const QString frame =
        QStringLiteral("/frame-") + QUrl(url).fileName().section(QLatin1Char('.'), 0, 0) + ".html";
    const int frames = m_other.hits(frame);
    BrowserWindow* w = m_app.openWindow(url);
    if (!QTest::qWaitFor([&] { return pageLoaded(w) && m_other.hits(frame) > frames; }, 30000))
        return nullptr;
    return w;
}

QByteArray TestPrivacyE2E::sentCookies(const HttpTestServer& server, const QString& path) {
    for (auto it = server.requests().crbegin(); it != server.requests().crend(); ++it)
        if (it->path == path)
            return it->headers.value("cookie");
    return "(not asked for)";
}

void TestPrivacyE2E::answerClearData(const QStringList& boxes, const QString& range, bool clear) {
    m_dialogs.onModal = [this, boxes, range, clear] {
        auto* dialog = m_app.frame()->findChild<ClearDataDialog*>(QStringLiteral("clearData"));
        QVERIFY(dialog);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QList<QCheckBox*> all = dialog->findChildren<QCheckBox*>();
        QCOMPARE(all.size(), 6);
        for (QCheckBox* box : all)
            if (box->isChecked() != boxes.contains(box->text()))
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        for (QCheckBox* box : all)
            QCOMPARE(box->isChecked(), boxes.contains(box->text()));
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("range"));
        QVERIFY(combo->findText(range) >= 0);
        combo->setCurrentIndex(combo->findText(range));
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text() ==
                (clear ? QStringLiteral("Jetzt löschen") : QStringLiteral("Abbrechen")))
                QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    };
}

// A cookie of the frame's site reaches that site again only where the user
// allowed cookies of other sites; the page's own cookie always does.
void TestPrivacyE2E::thirdPartyCookies_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("allowed"); // which menu item allows them
    QTest::addColumn<bool>("kept");
    QTest::newRow("refused by default") << "plain" << QString() << false;
    QTest::newRow("allowed for every site") << "all"
                                            << "thirdPartyCookies" << true;
    QTest::newRow("allowed on the page's site") << "site"
                                                << "thirdPartyCookiesOnSite" << true;
}

void TestPrivacyE2E::thirdPartyCookies() {
    QFETCH(QString, page);
    QFETCH(QString, allowed);
    QFETCH(bool, kept);
    const QString pagePath = QStringLiteral("/%1.html").arg(page);
    const QString framePath = QStringLiteral("/frame-%1.html").arg(page);
    const QByteArray own = "own-" + page.toUtf8() + "=1";
    const QByteArray other = "other-" + page.toUtf8() + "=1";

    BrowserWindow* w = load(m_site.url(pagePath));
    QVERIFY(w);
    QAction* onSite = action("thirdPartyCookiesOnSite");
    QVERIFY(onSite->isEnabled());
    QVERIFY(!onSite->isChecked());
    QVERIFY(!action("thirdPartyCookies")->isChecked());
    if (!allowed.isEmpty()) {
        // The item for the site reloads the page; the other does not.
        const int frames = m_other.hits(framePath);
        action(allowed.toLatin1())->trigger();
        QVERIFY(action(allowed.toLatin1())->isChecked());
        if (allowed == QLatin1String("thirdPartyCookiesOnSite"))
            QTRY_VERIFY_WITH_TIMEOUT(m_other.hits(framePath) > frames && pageLoaded(w), 30000);
        else
            QVERIFY(load(m_site.url(pagePath)));
    }
    QVERIFY(load(m_site.url(pagePath)));
    QVERIFY(sentCookies(m_site, pagePath).contains(own));
    QCOMPARE(sentCookies(m_other, framePath).contains(other), kept);

    // Kept for the next start, and taken back.
    const KorvixSettings settings(m_app.dir());
    QCOMPARE(settings.thirdPartyCookies(), allowed == QLatin1String("thirdPartyCookies"));
    QCOMPARE(settings.thirdPartyCookieSites().contains(QStringLiteral("127.0.0.1")),
             allowed == QLatin1String("thirdPartyCookiesOnSite"));
    if (!allowed.isEmpty()) {
        action(allowed.toLatin1())->trigger();
        QVERIFY(!KorvixSettings(m_app.dir()).thirdPartyCookies());
        QVERIFY(KorvixSettings(m_app.dir()).thirdPartyCookieSites().isEmpty());
    }
}

// Each box of "Browserdaten löschen..." takes what it says and nothing else.
void TestPrivacyE2E::eachBoxClearsItsOwn_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("range");
    QTest::addColumn<bool>("cookies");
    QTest::addColumn<bool>("history");
    QTest::addColumn<bool>("downloads");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<bool>("logins");
    QTest::addColumn<bool>("storage"); // gone now, and its folders marked to go at the next start
    // Which of them are gone afterwards.
    QTest::newRow("cookies, all") << "&Cookies und Website-Daten"
                                  << "Alles" << true << false << false << false << false << true;
    QTest::newRow("cookies, last hour")
        << "&Cookies und Website-Daten"
        << "Letzte Stunde" << true << false << false << false << false << true;
    QTest::newRow("history") << "&Verlauf dieser Sitzung"
                             << "Letzte Stunde" << false << true << false << false << false
                             << false;
    QTest::newRow("downloads") << "&Download-Liste"
                               << "Alles" << false << false << true << false << false << false;
    QTest::newRow("permissions") << "Website-&Berechtigungen und Zertifikat-Ausnahmen"
                                 << "Alles" << false << false << false << true << false << false;
    QTest::newRow("logins") << "Gespeicherte &Anmeldungen"
                            << "Alles" << false << false << false << false << true << false;
}

void TestPrivacyE2E::eachBoxClearsItsOwn() {
    QFETCH(QString, box);
    QFETCH(QString, range);
    QFETCH(bool, cookies);
    QFETCH(bool, history);
    QFETCH(bool, downloads);
    QFETCH(bool, answers);
    QFETCH(bool, logins);
    QFETCH(bool, storage);
    KorvixSettings(m_app.dir()).setClearSiteDataAtStart(false);

    // Something of every kind: a cookie, two visits, a finished download,
    // an answer, a certificate let through and a login.
    QVERIFY(load(m_site.url(QStringLiteral("/clear.html"))));
    QVERIFY(load(m_site.url(QStringLiteral("/plain.html"))));
    m_dialogs.fileNames
        << QDir(m_downloadDir.path()).filePath(QStringLiteral("datei-%1.bin").arg(++m_downloads));
    const int row = m_app.downloads().count();
    m_app.openWindow(m_site.url(QStringLiteral("/datei.bin")));
    QTRY_COMPARE_WITH_TIMEOUT(m_app.downloads().count(), row + 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(m_app.downloads().at(row).state == DownloadList::State::Finished,
                             30000);
    const QUrl origin(m_site.url(QStringLiteral("/")));
    SiteGrants& grants = EngineProfile::grants();
    grants.answer(origin, 1, true);
    grants.allowCertificate(QStringLiteral("127.0.0.1"));
    const QString loginKey = SiteGrants::loginKey(origin, QStringLiteral("Bereich"), false);
    grants.rememberLogin(loginKey, {QStringLiteral("anna"), QStringLiteral("geheim")});

    action("history")->trigger();
    HistoryWindow* historyWindow = m_app.frame()->tools()->historyWindow();
    QVERIFY(historyWindow && historyWindow->isVisible());
    const int historyRows = historyWindow->grid()->rowCount();
    QVERIFY(historyRows >= 2);

    answerClearData({box}, range);
    const int asked = m_dialogs.modalRuns;
    QVERIFY(Keyboard::activate(m_app.frame()));
    QVERIFY(Keyboard::press(Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier));
    QCOMPARE(m_dialogs.modalRuns, asked + 1);

    QCOMPARE(historyWindow->grid()->rowCount() == 0, history);
    QCOMPARE(m_app.frame()->tools()->history().count() == 0, history);
    QCOMPARE(action("history")->isEnabled(), !history);
    QCOMPARE(m_app.downloads().count() == 0, downloads);
    QCOMPARE(!grants.answerFor(origin, 1).has_value(), answers);
    QCOMPARE(!grants.certificateAllowed(QStringLiteral("127.0.0.1")), answers);
    QCOMPARE(!grants.login(loginKey).has_value(), logins);
    QCOMPARE(KorvixSettings(m_app.dir()).clearSiteDataAtStart(),
             storage && range == QLatin1String("Alles"));
    // The server is the judge of the cookie, the site's page of its storage.
    QTRY_COMPARE_WITH_TIMEOUT(SiteData::storageBeingCleared(), 0, 10000);
    BrowserWindow* again = load(m_site.url(QStringLiteral("/clear.html")));
    QVERIFY(again);
    QCOMPARE(!sentCookies(m_site, QStringLiteral("/clear.html")).contains("own-clear=1"), cookies);
    QCOMPARE(runPageScript(qobject_cast<QtWebView*>(again->webView()),
                           QStringLiteral("document.body.dataset.stored"))
                 .toString(),
             storage ? QString() : QStringLiteral("ja"));
    historyWindow->close();
    grants.clear();
}

void TestPrivacyE2E::cancelKeepsEverything() {
    KorvixSettings(m_app.dir()).setClearSiteDataAtStart(false);
    QVERIFY(load(m_site.url(QStringLiteral("/clear.html"))));
    QVERIFY(load(m_site.url(QStringLiteral("/plain.html"))));
    const int visits = m_app.frame()->tools()->history().count();
    QVERIFY(visits >= 2);
    answerClearData(
        {QStringLiteral("&Cookies und Website-Daten"), QStringLiteral("&Verlauf dieser Sitzung")},
        QStringLiteral("Alles"), false);
    action("clearBrowsingData")->trigger();
    QCOMPARE(m_app.frame()->tools()->history().count(), visits);
    QVERIFY(load(m_site.url(QStringLiteral("/clear.html"))));
    QVERIFY(sentCookies(m_site, QStringLiteral("/clear.html")).contains("own-clear=1"));
    QVERIFY(!KorvixSettings(m_app.dir()).clearSiteDataAtStart());
}

// A certificate let through or a login given is asked for again once the
// user cleared it: Korvix's own note of it and the engine's memory are gone,
// while every other window comes back as it was.
void TestPrivacyE2E::engineForgetsWhatWasLetThrough_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("certificate"); // else an HTTP login
    QTest::newRow("certificate") << "Website-&Berechtigungen und Zertifikat-Ausnahmen" << true;
    QTest::newRow("login") << "Gespeicherte &Anmeldungen" << false;
}

void TestPrivacyE2E::engineForgetsWhatWasLetThrough() {
    QFETCH(QString, box);
    QFETCH(bool, certificate);
    HttpTestServer server;
    if (certificate) {
        const QSslConfiguration tls = testServerTls();
        QVERIFY(!tls.localCertificate().isNull());
        QVERIFY(server.startTls(tls));
    } else {
        QVERIFY(server.start());
        server.protect(QStringLiteral("/geheim"), QStringLiteral("Bereich"), QStringLiteral("anna"),
                       QStringLiteral("geheim"), "<html><body>Zugang verweigert</body></html>");
    }
    server.addPage(QStringLiteral("/geheim"),
                   "<html><head><title>Geheim</title></head><body>Geheim</body></html>");
    const QString secret = server.url(QStringLiteral("/geheim"));
    // The user's part in the login dialog: the right login, or Abbrechen.
    int loginsAsked = 0;
    const auto answerLogin = [&loginsAsked](bool give) {
        return [&loginsAsked, give] {
            LoginDialog* dialog = nullptr;
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* login = qobject_cast<LoginDialog*>(top))
                    dialog = login;
            QVERIFY(dialog);
            ++loginsAsked;
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            if (give) {
                QVERIFY(Keyboard::clickInto(dialog->findChild<QLineEdit*>(QStringLiteral("user"))));
                QVERIFY(Keyboard::type(QStringLiteral("anna")));
                QVERIFY(
                    Keyboard::clickInto(dialog->findChild<QLineEdit*>(QStringLiteral("password"))));
                QVERIFY(Keyboard::type(QStringLiteral("geheim")));
            }
            QTest::mouseClick(
                dialog->findChild<QPushButton*>(QLatin1String(give ? "ok" : "cancel")),
                Qt::LeftButton);
        };
    };
    // Opens the page and lets it through; true when that needed the user.
    const auto letThrough = [&](BrowserWindow* w) {
        auto* view = qobject_cast<QtWebView*>(w->webView());
        if (certificate) {
            QTRY_VERIFY_WITH_TIMEOUT(view->isNoticeShown() || pageLoaded(w), 30000);
            for (QPushButton* b : view->notice()->buttons())
                if (view->isNoticeShown() &&
                    b->text() == QStringLiteral("Trotzdem laden (unsicher)"))
                    QTest::mouseClick(b, Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w) && w->windowTitle() == QStringLiteral("Geheim"),
                                 30000);
    };

    // Another window with two pages behind it, which must come back as it
    // was.
    BrowserWindow* other = load(m_site.url(QStringLiteral("/plain.html")));
    QVERIFY(other);
    other->navigate(m_site.url(QStringLiteral("/clear.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(other) && other->windowTitle() == QStringLiteral("clear"),
                             30000);

    m_dialogs.onModal = answerLogin(true);
    BrowserWindow* w = m_app.openWindow(secret);
    letThrough(w);
    QCOMPARE(loginsAsked, certificate ? 0 : 1);
    // The engine itself lets the page through a second time.
    BrowserWindow* second = m_app.openWindow(secret);
    QTRY_VERIFY_WITH_TIMEOUT(
        pageLoaded(second) && second->windowTitle() == QStringLiteral("Geheim"), 30000);
    QVERIFY(!qobject_cast<QtWebView*>(second->webView())->isNoticeShown());
    QCOMPARE(loginsAsked, certificate ? 0 : 1);
    const int windows = m_app.registry()->count();
    second->close();
    QTRY_COMPARE(m_app.registry()->count(), windows - 1);
    const int visits = m_app.frame()->tools()->history().count();
    const int hits = server.hits(QStringLiteral("/geheim"));
    const int otherHits = m_site.hits(QStringLiteral("/clear.html"));

    answerClearData({box}, QStringLiteral("Alles"));
    QVERIFY(Keyboard::activate(m_app.frame()));
    QVERIFY(Keyboard::press(Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier));
    m_dialogs.onModal = answerLogin(false);

    // The other window is where it was, with its pages behind it, and its
    // page coming back is no visit.
    auto* otherView = qobject_cast<QtWebView*>(other->webView());
    QTRY_COMPARE_WITH_TIMEOUT(otherView->locationUrl(), m_site.url(QStringLiteral("/clear.html")),
                              30000);
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(other), 30000);
    QCOMPARE(otherView->page()->history()->count(), 2);
    QVERIFY(otherView->page()->history()->canGoBack());
    QCOMPARE(m_app.frame()->tools()->history().count(), visits);
    // It came from the server with the cookie of this session it had.
    QCOMPARE(m_site.hits(QStringLiteral("/clear.html")), otherHits + 1);
    QVERIFY(sentCookies(m_site, QStringLiteral("/clear.html")).contains("own-clear=1"));
    // The page let through is asked for again: where it was shown (a second
    // window on a host whose certificate question is open waits for the
    // answer), and for a login in a new window as well.
    auto* view = qobject_cast<QtWebView*>(w->webView());
    if (certificate) {
        QTRY_VERIFY_WITH_TIMEOUT(view->isNoticeShown(), 30000);
        QCOMPARE(server.hits(QStringLiteral("/geheim")), hits);
    } else {
        auto* again = qobject_cast<QtWebView*>(m_app.openWindow(secret)->webView());
        QTRY_COMPARE_WITH_TIMEOUT(loginsAsked, 3, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(
            runPageScript(again, QStringLiteral("document.body.innerText")).toString() ==
                QStringLiteral("Zugang verweigert"),
            30000);
    }
}

QTEST_MAIN(TestPrivacyE2E)
#include "tst_privacy_e2e.moc"
