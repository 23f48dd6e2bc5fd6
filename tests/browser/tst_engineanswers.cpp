#include "HttpTestServer.h"
#include "Keyboard.h"
#include "PageScript.h"
#include "StartedApp.h"
#include "TestCertificate.h"
#include "UserScript.h"
#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "browser/FullScreenWindow.h"
#include "browser/LoginDialog.h"
#include "browser/PagePanels.h"
#include "browser/Pictures.h"
#include "browser/QtWebView.h"
#include "common/TreeMemory.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameStatus.h"
#include "frame/MainFrame.h"
#include "prefs/model/Prefer.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSslConfiguration>
#include <QSslKey>
#include <QStatusBar>
#include <QTcpServer>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>

// What the real engine asks of the program, on local servers: logins,
// certificates, crashed pages, full screen, permissions, the language.
class TestEngineAnswers : public QObject {
    Q_OBJECT
public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void loginAnswers_data();
    void loginAnswers();
    void certificateWarning();
    void crashedPageComesBack();
    void pageFullScreen();
    void permissionQuestion_data();
    void permissionQuestion();
    void speaksGerman();
    void contextMenuOpensKorvixWindow();
    void processModel_data();
    void processModel();
    void oneRendererPerSite();

private:
    BrowserWindow* openOn(const QString& url) { return m_app.openWindow(url); }
    static QtWebView* viewOf(BrowserWindow* w) { return qobject_cast<QtWebView*>(w->webView()); }
    // The text the page shows, as the engine reports it.
    static QString pageText(QtWebView* view) {
        auto text = std::make_shared<std::optional<QString>>();
        view->page()->toPlainText([text](const QString& t) { *text = t; });
        return QTest::qWaitFor([text] { return text->has_value(); }, 10000) ? **text : QString();
    }
    // Clicks until what the click should do happened, as a user clicks again
    // on a page that was not ready yet.
    static bool clickUntil(QWidget* target, Qt::MouseButton button,
                           const std::function<bool()>& done) {
        for (int i = 0; i < 10; ++i) {
            QTest::mouseClick(target, button, {}, QPoint(100, 100));
            if (QTest::qWaitFor(done, 2000))
                return true;
        }
        return false;
    }
    static QPushButton* noticeButton(QtWebView* view, const QString& caption) {
        for (QPushButton* b : view->notice()->buttons())
            if (b->text() == caption)
                return b;
        return nullptr;
    }

    StartedApp m_app;
    MainFrame* m_frame = nullptr;
    QString m_password = QStringLiteral("Geheim-7f3q");
};

void TestEngineAnswers::initTestCase() {
    m_app.writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    m_frame = m_app.startWithEngine();
    QVERIFY(m_frame);
    m_frame->resize(1000, 800);
}

void TestEngineAnswers::cleanupTestCase() {
    m_app.stop();
    // What was typed into the login dialog lives in memory only.
    QDirIterator files(m_app.dir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile f(files.next());
        if (!f.open(QIODevice::ReadOnly))
            continue; // a socket or lock of the engine
        QVERIFY2(!f.readAll().contains(m_password.toUtf8()), qPrintable(f.fileName()));
    }
}

void TestEngineAnswers::loginAnswers_data() {
    QTest::addColumn<QStringList>("typed"); // passwords in turn; empty: "Abbrechen"
    QTest::addColumn<QString>("shown");
    QTest::newRow("right") << QStringList{m_password} << QStringLiteral("Willkommen");
    QTest::newRow("Abbrechen") << QStringList{QString()} << QStringLiteral("Zugang verweigert");
    QTest::newRow("wrong, then right")
        << QStringList{QStringLiteral("falsch"), m_password} << QStringLiteral("Willkommen");
}

void TestEngineAnswers::loginAnswers() {
    QFETCH(QStringList, typed);
    QFETCH(QString, shown);
    // A server of its own per row: the engine keeps a login per server.
    HttpTestServer server;
    QVERIFY(server.start());
    server.addPage(QStringLiteral("/intern"), "<html><body>Willkommen</body></html>");
    server.protect(QStringLiteral("/intern"), QStringLiteral("Korvix-Test"), QStringLiteral("anna"),
                   m_password, "<html><body>Zugang verweigert</body></html>");

    QStringList messages;
    UserScript user;
    for (const QString& password : typed) {
        user.then([] { return qobject_cast<LoginDialog*>(QApplication::activeModalWidget()); },
                  [&messages, password] {
                      auto* dialog = qobject_cast<LoginDialog*>(QApplication::activeModalWidget());
                      messages << dialog->message()->text();
                      const char* button = "cancel";
                      bool typed = true;
                      if (!password.isEmpty()) {
                          dialog->findChild<QLineEdit*>(QStringLiteral("user"))
                              ->setText(QStringLiteral("anna"));
                          QLineEdit* field =
                              dialog->findChild<QLineEdit*>(QStringLiteral("password"));
                          field->clear();
                          typed = Keyboard::clickInto(field) && Keyboard::type(password);
                          button = "ok";
                      }
                      // Answered in any case, so a failure cannot leave the
                      // dialog waiting for ever.
                      QTest::mouseClick(dialog->findChild<QPushButton*>(QLatin1String(button)),
                                        Qt::LeftButton);
                      QVERIFY(typed);
                  });
    }
    BrowserWindow* w = openOn(server.url(QStringLiteral("/intern")));
    QTRY_VERIFY_WITH_TIMEOUT(user.done() && pageLoaded(w), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(pageText(viewOf(w)).contains(shown), 10000);
    QCOMPARE(messages.size(), typed.size());
    QVERIFY2(messages.first().contains(QStringLiteral("127.0.0.1:%1").arg(server.port())) &&
                 messages.first().contains(QStringLiteral("Korvix-Test")),
             qPrintable(messages.first()));
    // A refused login is said to be refused when the site asks again.
    for (int i = 0; i < messages.size(); ++i)
        QCOMPARE(messages[i].contains(QStringLiteral("falsch")), i > 0);
    m_frame->registry()->closeAllWindows();
}

void TestEngineAnswers::certificateWarning() {
    const QSslConfiguration tls = testServerTls();
    QVERIFY(!tls.localCertificate().isNull());
    HttpTestServer server;
    QVERIFY(server.startTls(tls));
    // The page shows a picture from another host with the same certificate.
    server.addPage(
        QStringLiteral("/"),
        "<html><head><title>Unsicher</title></head><body>Inhalt"
        "<img src='" +
            server.url(QStringLiteral("/bild.png"), QStringLiteral("localhost")).toUtf8() +
            "'></body></html>");

    BrowserWindow* w = openOn(server.url(QStringLiteral("/")));
    QtWebView* view = viewOf(w);
    QTRY_VERIFY_WITH_TIMEOUT(view->isNoticeShown(), 30000);
    QCOMPARE(view->notice()->heading(), QStringLiteral("Diese Verbindung ist nicht sicher"));
    QVERIFY2(view->notice()->text().contains(QStringLiteral("127.0.0.1")),
             qPrintable(view->notice()->text()));
    QTest::qWait(1000);
    // Nothing of the page is asked for before the user agrees.
    QCOMPARE(server.requests().size(), 0);

    QPushButton* anyway = noticeButton(view, QStringLiteral("Trotzdem laden (unsicher)"));
    QVERIFY(anyway);
    QTest::mouseClick(anyway, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w) && w->windowTitle() == QStringLiteral("Unsicher"),
                             30000);
    QVERIFY(!view->isNoticeShown());
    QVERIFY(pageText(view).contains(QStringLiteral("Inhalt")));
    // The lock does not call the page secure.
    QCOMPARE(w->animPicture()->toolTip(), QString());
    QCOMPARE(w->animPicture()->pixmap().toImage(), browserPicture(1).toImage());
    QTest::qWait(1000);
    // The picture's host was never agreed to: it is not fetched.
    QCOMPARE(server.hits(QStringLiteral("/bild.png")), 0);
    QCOMPARE(server.hits(QStringLiteral("/")), 1);

    // The exception holds for that host only.
    BrowserWindow* other = openOn(server.url(QStringLiteral("/"), QStringLiteral("localhost")));
    QtWebView* otherView = viewOf(other);
    QTRY_VERIFY_WITH_TIMEOUT(otherView->isNoticeShown(), 30000);
    QVERIFY(otherView->notice()->text().contains(QStringLiteral("localhost")));
    QTest::mouseClick(noticeButton(otherView, QStringLiteral("Zurück (empfohlen)")),
                      Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!otherView->isBusy(), 30000);
    QCOMPARE(server.hits(QStringLiteral("/")), 1);
    m_frame->registry()->closeAllWindows();
}

void TestEngineAnswers::crashedPageComesBack() {
    m_app.writeFile(QStringLiteral("a.html"), "<html><head><title>Seite A</title></head></html>");
    const QString pageA = QUrl::fromLocalFile(m_app.dir() + QStringLiteral("/a.html")).toString();
    // Windows of one site share a renderer and go down together; the other
    // window shows another site.
    HttpTestServer server;
    QVERIFY(server.start());
    server.addPage(QStringLiteral("/b.html"), "<html><head><title>Seite B</title></head></html>");
    BrowserWindow* a = openOn(pageA);
    BrowserWindow* b = openOn(server.url(QStringLiteral("/b.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(a) && pageLoaded(b), 30000);
    const qint64 pid = viewOf(a)->page()->renderProcessPid();
    QVERIFY(pid > 0);
    QVERIFY(pid != viewOf(b)->page()->renderProcessPid());

    ::kill(pid_t(pid), SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(viewOf(a)->isNoticeShown(), 30000);
    QVERIFY(viewOf(a)->notice()->heading().startsWith(QStringLiteral("Die Seite")));
    // The window keeps its address, title and tab.
    QCOMPARE(m_frame->registry()->count(), 2);
    QCOMPARE(a->windowTitle(), QStringLiteral("Seite A"));
    QCOMPARE(a->webView()->locationUrl(), pageA);
    // The other window goes on working.
    b->navigate(pageA);
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(b) && b->windowTitle() == QStringLiteral("Seite A"), 30000);

    QPushButton* reload = noticeButton(viewOf(a), QStringLiteral("Neu laden"));
    QVERIFY(reload);
    QTest::mouseClick(reload, Qt::LeftButton);
    QVERIFY(!viewOf(a)->isNoticeShown());
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(a) && viewOf(a)->page()->renderProcessPid() > 0, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(runPageScript(viewOf(a), QStringLiteral("document.title")).toString(),
                              QStringLiteral("Seite A"), 30000);
    m_frame->registry()->closeAllWindows();
}

void TestEngineAnswers::pageFullScreen() {
    m_app.writeFile(QStringLiteral("video.html"),
                    "<html><body style='margin:0'><button id='b' style='position:absolute;"
                    "left:0;top:0;width:300px;height:200px' onclick='document.documentElement."
                    "requestFullscreen()'>Vollbild</button></body></html>");
    BrowserWindow* w =
        openOn(QUrl::fromLocalFile(m_app.dir() + QStringLiteral("/video.html")).toString());
    w->showMaximized();
    QtWebView* view = viewOf(w);
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w), 30000);
    const QRect before = w->geometry();
    QWidget* input = view->engineView()->focusProxy();
    QVERIFY(input);
    // Only a click of the user may take the screen.
    QVERIFY(clickUntil(input, Qt::LeftButton, [&] { return view->fullScreenWindow(); }));
    FullScreenWindow* full = view->fullScreenWindow();
    QVERIFY(full->isFullScreen());
    QCOMPARE(full->view()->page(), view->page());
    QTRY_VERIFY_WITH_TIMEOUT(
        runPageScript(view, QStringLiteral("document.fullscreenElement !== null")).toBool(), 10000);

    QVERIFY(Keyboard::activate(full));
    QVERIFY(Keyboard::press(Qt::Key_Escape));
    QTRY_VERIFY_WITH_TIMEOUT(!view->fullScreenWindow(), 10000);
    QCOMPARE(view->engineView()->page(), view->page());
    QTRY_VERIFY_WITH_TIMEOUT(
        runPageScript(view, QStringLiteral("document.fullscreenElement === null")).toBool(), 10000);
    QCOMPARE(w->geometry(), before);
    QVERIFY(w->isMaximized());
    m_frame->registry()->closeAllWindows();
}

void TestEngineAnswers::permissionQuestion_data() {
    QTest::addColumn<QString>("answer"); // a button's caption, or empty for the close button
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("askedAgain");
    QTest::newRow("Erlauben") << QStringLiteral("Erlauben") << QStringLiteral("granted") << false;
    QTest::newRow("Blockieren") << QStringLiteral("Blockieren") << QStringLiteral("denied")
                                << false;
    QTest::newRow("closed") << QString() << QStringLiteral("denied") << true;
}

void TestEngineAnswers::permissionQuestion() {
    QFETCH(QString, answer);
    QFETCH(QString, result);
    QFETCH(bool, askedAgain);
    // Every row on a site of its own.
    HttpTestServer server;
    QVERIFY(server.start());
    server.addPage(
        QStringLiteral("/frage.html"),
        "<html><head><title>?</title></head><body><script>"
        "Notification.requestPermission().then(function(r){document.title=r+location.search;});"
        "</script></body></html>");
    server.addPage(QStringLiteral("/melden.html"),
                   "<html><body><script>new Notification('Hallo', {body: 'Neue Nachricht'});"
                   "</script></body></html>");
    BrowserWindow* w = openOn(server.url(QStringLiteral("/frage.html")));
    QtWebView* view = viewOf(w);
    QTRY_COMPARE_WITH_TIMEOUT(view->questions().size(), 1, 30000);
    QuestionBar* bar = view->questions().first();
    QVERIFY2(bar->text().contains(QStringLiteral("127.0.0.1:%1").arg(server.port())) &&
                 bar->text().contains(QStringLiteral("Benachrichtigungen")),
             qPrintable(bar->text()));
    QTest::mouseClick(answer.isEmpty() ? bar->closeButton() : bar->button(answer), Qt::LeftButton);
    // The title carries the visit's query, so the first visit's page never answers for the second.
    const auto answered = [&](const QString& query) {
        return runPageScript(view, QStringLiteral("document.title")).toString() == result + query;
    };
    QTRY_VERIFY_WITH_TIMEOUT(answered(QString()), 10000);
    QVERIFY(view->questions().isEmpty());

    // Asked once more by the same site in this session.
    const QString again = server.url(QStringLiteral("/frage.html")) + QStringLiteral("?2");
    w->navigate(again);
    if (askedAgain) {
        QTRY_COMPARE_WITH_TIMEOUT(view->questions().size(), 1, 30000);
        QTest::mouseClick(view->questions().first()->closeButton(), Qt::LeftButton);
    }
    QTRY_VERIFY_WITH_TIMEOUT(answered(QStringLiteral("?2")) && pageLoaded(w), 30000);
    QVERIFY(view->questions().isEmpty());

    if (result == QLatin1String("granted")) {
        w->navigate(server.url(QStringLiteral("/melden.html")));
        QTRY_COMPARE_WITH_TIMEOUT(m_frame->statusBar()->currentMessage(),
                                  QStringLiteral("Hallo: Neue Nachricht"), 30000);
    }
    m_frame->registry()->closeAllWindows();
}

void TestEngineAnswers::speaksGerman() {
    HttpTestServer server;
    QVERIFY(server.start());
    server.addPage(QStringLiteral("/"), "<html><body>Hallo</body></html>");
    BrowserWindow* w = openOn(server.url(QStringLiteral("/")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w), 30000);
    QCOMPARE(server.requests().first().headers.value("accept-language"),
             QByteArray("de-DE,de;q=0.9,en;q=0.8"));
    QCOMPARE(runPageScript(viewOf(w), QStringLiteral("navigator.language")).toString().left(2),
             QStringLiteral("de"));

    // A server that is not there: the engine's error page, in German.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    w->navigate(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort));
    QTRY_COMPARE_WITH_TIMEOUT(m_frame->status()->text()->text(),
                              QStringLiteral("Die Seite konnte nicht geladen werden."), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(pageText(viewOf(w)).contains(QStringLiteral("nicht erreichbar")),
                             10000);
    m_frame->registry()->closeAllWindows();
}

void TestEngineAnswers::contextMenuOpensKorvixWindow() {
    m_app.writeFile(QStringLiteral("ziel.html"), "<html><head><title>Ziel</title></head></html>");
    m_app.writeFile(QStringLiteral("link.html"),
                    "<html><body style='margin:0'><a href='ziel.html' style='display:block;"
                    "width:300px;height:200px'>Zum Ziel</a></body></html>");
    BrowserWindow* w =
        openOn(QUrl::fromLocalFile(m_app.dir() + QStringLiteral("/link.html")).toString());
    w->showMaximized();
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w), 30000);
    QWidget* input = viewOf(w)->engineView()->focusProxy();
    QMenu* menu = nullptr;
    QVERIFY(clickUntil(input, Qt::RightButton, [&] {
        return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    }));
    QStringList entries;
    QAction* openInWindow = nullptr;
    for (QAction* a : menu->actions()) {
        entries << a->text();
        if (a->text() == QStringLiteral("Link in neuem Fenster öffnen"))
            openInWindow = a;
    }
    QVERIFY2(openInWindow, qPrintable(entries.join(QLatin1Char('|'))));
    QVERIFY2(entries.contains(QStringLiteral("Adresse des Links kopieren")),
             qPrintable(entries.join(QLatin1Char('|'))));
    const int before = m_frame->registry()->count();
    openInWindow->trigger();
    menu->close();
    QTRY_COMPARE_WITH_TIMEOUT(m_frame->registry()->count(), before + 1, 30000);
    BrowserWindow* opened = m_frame->registry()->windows().last();
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(opened) && opened->windowTitle() == QStringLiteral("Ziel"),
                             30000);
    m_frame->registry()->closeAllWindows();
}

void TestEngineAnswers::processModel_data() {
    QTest::addColumn<QByteArray>("flags");
    QTest::addColumn<QByteArray>("used");
    const QByteArray apart = "--disable-features=ProcessSharingWithDefaultSiteInstances";
    const QByteArray zygote = "--no-unsandboxed-zygote";
    QTest::newRow("none") << QByteArray() << zygote + " --process-per-site " + apart;
    QTest::newRow("others") << QByteArray("--disable-gpu  --no-sandbox ")
                            << "--disable-gpu --no-sandbox " + zygote + " --process-per-site " +
                                   apart;
    QTest::newRow("per tab") << QByteArray("--process-per-tab --no-sandbox")
                             << "--process-per-tab --no-sandbox " + zygote;
    QTest::newRow("single") << QByteArray("--no-sandbox --single-process")
                            << "--no-sandbox --single-process " + zygote;
    QTest::newRow("look-alike") << QByteArray("--process-per-site-x")
                                << "--process-per-site-x " + zygote + " --process-per-site " +
                                       apart;
    QTest::newRow("features of the user's")
        << QByteArray("--disable-features=Foo --x")
        << "--disable-features=Foo,ProcessSharingWithDefaultSiteInstances --x " + zygote +
               " --process-per-site";
    QTest::newRow("already apart") << apart << apart + " " + zygote + " --process-per-site";
    QTest::newRow("no zygote at all") << QByteArray("--no-zygote --no-sandbox --process-per-site")
                                      << QByteArray("--no-zygote --no-sandbox --process-per-site");
    QTest::newRow("zygote already off")
        << "--process-per-tab " + zygote << "--process-per-tab " + zygote;
}

void TestEngineAnswers::processModel() {
    QFETCH(QByteArray, flags);
    QFETCH(QByteArray, used);
    QCOMPARE(EngineProfile::withProcessModel(flags), used);
}

void TestEngineAnswers::oneRendererPerSite() {
    HttpTestServer server;
    QVERIFY(server.start());
    server.addPage(QStringLiteral("/a.html"), "<html><body>A</body></html>");
    server.addPage(QStringLiteral("/b.html"), "<html><body>B</body></html>");
    BrowserWindow* a = openOn(server.url(QStringLiteral("/a.html")));
    BrowserWindow* b = openOn(server.url(QStringLiteral("/b.html")));
    // The same server under another name is another site.
    BrowserWindow* other =
        openOn(server.url(QStringLiteral("/a.html"), QStringLiteral("localhost")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(a) && pageLoaded(b) && pageLoaded(other), 30000);
    const auto pid = [](BrowserWindow* w) { return viewOf(w)->page()->renderProcessPid(); };
    QVERIFY(pid(a) > 0);
    QCOMPARE(pid(b), pid(a));
    QVERIFY(pid(other) != pid(a));
    // Renderers come from the engine's one zygote; the second one, kept for
    // helpers without a sandbox that this engine never forks, is not started.
    QByteArray zygotes;
    for (const TreeMemory::Process& p :
         TreeMemory::processTree(QCoreApplication::applicationPid())) {
        const QByteArray args =
            TreeMemory::readProcFile(QStringLiteral("/proc/%1/cmdline").arg(p.pid))
                .replace('\0', ' ');
        if (args.contains("--type=zygote"))
            zygotes += args + '|';
    }
    QVERIFY2(!zygotes.isEmpty(), "no zygote found below the test");
    QVERIFY2(!zygotes.contains("--no-zygote-sandbox"), zygotes.constData());
    m_frame->registry()->closeAllWindows();
}

QTEST_MAIN(TestEngineAnswers)
#include "tst_engineanswers.moc"
