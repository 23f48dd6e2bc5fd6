#include "HttpTestServer.h"
#include "Keyboard.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "browser/FindBar.h"
#include "browser/QtWebView.h"
#include "downloads/DownloadList.h"
#include "downloads/DownloadsWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameActions.h"
#include "frame/FrameStatus.h"
#include "frame/MainFrame.h"
#include "frame/ToolWindows.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

// Catches what the downloads window hands to the desktop.
class DesktopCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

// Find, zoom, downloads and the page tools with the real engine.
class TestPageTools : public QObject {
    Q_OBJECT
public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void findInPage();
    void zoomByWheelAndSite();
    void downloadRunsPausesAndFinishes();
    void downloadsThatEndEarly();
    void pageTools();

private:
    BrowserWindow* openOn(const QString& url) { return m_app.openWindow(url); }
    QString local(const QString& name) const {
        return QUrl::fromLocalFile(QDir(m_app.dir()).filePath(name)).toString();
    }
    // A key to the frame brought to the front, wherever its focus is.
    void press(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QVERIFY(Keyboard::activate(window));
        QVERIFY(Keyboard::press(key, modifiers));
    }
    QString stateOf(int row) const { return DownloadList::stateText(m_app.downloads().at(row)); }

    ScriptedDialogs m_dialogs;
    StartedApp m_app;
    QTemporaryDir m_downloadDir;
    HttpTestServer m_server;
    MainFrame* m_frame = nullptr;
};

void TestPageTools::initTestCase() {
    m_app.writeFile(QStringLiteral("obst.html"),
                    "<html><head><title>Obst</title></head><body><p>Apfel apfel APFEL "
                    "Apfelbaum Birne</p></body></html>");
    m_app.writeFile(QStringLiteral("mehr.html"), "<html><head><title>Mehr</title></head></html>");
    m_app.writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    QVERIFY(m_server.start());
    m_frame = m_app.startWithEngine();
    QVERIFY(m_frame);
    m_frame->resize(1000, 800);
    // The engine starts with the first window; downloads go to a folder of
    // the test's own.
    openOn(local(QStringLiteral("mehr.html")));
    EngineProfile::profile()->setDownloadPath(m_downloadDir.path());
    m_frame->registry()->closeAllWindows();
}

void TestPageTools::cleanupTestCase() {
    m_app.stop();
}

void TestPageTools::findInPage() {
    BrowserWindow* w = openOn(local(QStringLiteral("obst.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w), 30000);
    press(m_frame, Qt::Key_F, Qt::ControlModifier);
    FindBar* bar = w->findBar();
    QVERIFY(bar->isVisible());
    QVERIFY(bar->field()->hasFocus());

    // As the user types; then Enter and Shift+Enter step, wrapping round.
    QVERIFY(Keyboard::type(QStringLiteral("apfel")));
    QTRY_COMPARE_WITH_TIMEOUT(bar->count()->text(), QStringLiteral("1 von 4"), 10000);
    QVERIFY(Keyboard::press(Qt::Key_Return));
    QTRY_COMPARE_WITH_TIMEOUT(bar->count()->text(), QStringLiteral("2 von 4"), 10000);
    QVERIFY(Keyboard::press(Qt::Key_Return, Qt::ShiftModifier));
    QTRY_COMPARE_WITH_TIMEOUT(bar->count()->text(), QStringLiteral("1 von 4"), 10000);
    QVERIFY(Keyboard::press(Qt::Key_Return, Qt::ShiftModifier));
    QTRY_COMPARE_WITH_TIMEOUT(bar->count()->text(), QStringLiteral("4 von 4"), 10000);
    QVERIFY(Keyboard::press(Qt::Key_F3));
    QTRY_COMPARE_WITH_TIMEOUT(bar->count()->text(), QStringLiteral("1 von 4"), 10000);

    bar->field()->setText(QStringLiteral("Apfel"));
    QTest::mouseClick(bar->caseSensitive(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(bar->count()->text().endsWith(QStringLiteral(" von 2")), 10000);
    bar->field()->setText(QStringLiteral("Kirsche"));
    QTRY_COMPARE_WITH_TIMEOUT(bar->count()->text(), QStringLiteral("Nicht gefunden"), 10000);
    QVERIFY(Keyboard::press(Qt::Key_Escape));
    QVERIFY(bar->isHidden());
    QVERIFY(bar->count()->text().isEmpty());

    // A second window has a bar of its own, and its page was asleep.
    BrowserWindow* other = openOn(local(QStringLiteral("obst.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(other), 30000);
    other->webView()->setLifecycle(Lifecycle::State::Discarded);
    QTRY_COMPARE_WITH_TIMEOUT(other->webView()->lifecycle(), Lifecycle::State::Discarded, 10000);
    press(other, Qt::Key_F3);
    QVERIFY(other->findBar()->isVisible());
    QVERIFY(other->findBar()->field()->text().isEmpty());
    QVERIFY(other->findBar()->field()->hasFocus());
    QVERIFY(Keyboard::type(QStringLiteral("Birne")));
    QTRY_COMPARE_WITH_TIMEOUT(other->findBar()->count()->text(), QStringLiteral("1 von 1"), 30000);
    QCOMPARE(bar->field()->text(), QStringLiteral("Kirsche"));
    m_frame->registry()->closeAllWindows();
}

void TestPageTools::zoomByWheelAndSite() {
    BrowserWindow* w = openOn(local(QStringLiteral("obst.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w), 30000);
    auto* view = qobject_cast<QtWebView*>(w->webView());
    QWidget* input = view->engineView()->focusProxy();
    QVERIFY(input);
    QWheelEvent wheel(QPointF(50, 50), input->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(input, &wheel);
    QCOMPARE(w->zoom(), 1.1);
    QTRY_COMPARE_WITH_TIMEOUT(view->page()->zoomFactor(), 1.1, 5000);
    QCOMPARE(m_frame->status()->zoom()->text(), QStringLiteral("Zoom: 110 %"));

    // Another page of the same site keeps the zoom; another site does not.
    w->navigate(local(QStringLiteral("mehr.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w) && w->windowTitle() == QStringLiteral("Mehr"), 30000);
    QCOMPARE(view->page()->zoomFactor(), 1.1);
    m_server.addPage(QStringLiteral("/"),
                     "<html><head><title>Server</title></head><body>Server</body></html>");
    w->navigate(m_server.url(QStringLiteral("/")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w) && w->windowTitle() == QStringLiteral("Server"), 30000);
    QCOMPARE(w->zoom(), 1.0);
    QCOMPARE(view->page()->zoomFactor(), 1.0);
    QVERIFY(m_frame->status()->zoom()->isHidden());
    m_frame->registry()->closeAllWindows();
}

void TestPageTools::downloadRunsPausesAndFinishes() {
    QByteArray body(4 * 1024 * 1024, '\0');
    for (int i = 0; i < body.size(); ++i)
        body[i] = char(i * 7 % 251);
    m_server.addDownload(QStringLiteral("/datei.bin"), body, 64 * 1024, 40);
    // A file of that name is there already and stays as it is.
    const QString taken = QDir(m_downloadDir.path()).filePath(QStringLiteral("datei.bin"));
    QFile old(taken);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("alt") == 3);
    old.close();
    const QString free = QDir(m_downloadDir.path()).filePath(QStringLiteral("datei (1).bin"));
    m_dialogs.fileNames << free;
    m_dialogs.fileDirs.clear();

    QPointer<BrowserWindow> w = openOn(m_server.url(QStringLiteral("/datei.bin")));
    const int row = m_app.downloads().count();
    QTRY_COMPARE_WITH_TIMEOUT(m_app.downloads().count(), row + 1, 30000);
    QCOMPARE(QFileInfo(m_dialogs.fileDirs.last()).fileName(), QStringLiteral("datei (1).bin"));
    // The window that started it goes; the download does not.
    w->close();
    QTRY_VERIFY(w.isNull());

    m_frame->action(FrameActions::Downloads)->trigger();
    DownloadsWindow* window = m_frame->tools()->downloads();
    QVERIFY(window && window->isVisible());
    QTreeWidgetItem* item = window->list()->topLevelItem(row);
    QVERIFY(item);
    QCOMPARE(item->text(0), QStringLiteral("datei (1).bin"));
    auto* progress = qobject_cast<QProgressBar*>(window->list()->itemWidget(item, 3));
    QTRY_VERIFY_WITH_TIMEOUT(progress->value() > 0, 30000);
    QCOMPARE(stateOf(row), QStringLiteral("läuft"));
    QVERIFY(m_frame->status()->downloads()->isVisible());
    QVERIFY(m_frame->status()->downloads()->text().startsWith(QStringLiteral("1 Download")));

    window->list()->setCurrentItem(item);
    QTest::mouseClick(window->button(QStringLiteral("pause")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(item->text(6), QStringLiteral("angehalten"), 10000);
    QTest::qWait(300);
    const qint64 paused = m_app.downloads().at(row).received;
    QTest::qWait(700);
    QCOMPARE(m_app.downloads().at(row).received, paused);
    QVERIFY(paused < body.size());

    // Leaving now asks first; "Nein" keeps the program.
    m_dialogs.answers << QMessageBox::No;
    m_frame->action(FrameActions::Exit)->trigger();
    QCOMPARE(m_dialogs.messages.last().text,
             QStringLiteral("Es laufen noch Downloads. Trotzdem beenden?"));
    QVERIFY(m_frame->isVisible());

    QTest::mouseClick(window->button(QStringLiteral("resume")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(item->text(6), QStringLiteral("fertig"), 30000);
    QCOMPARE(progress->value(), 100);
    QFile done(free);
    QVERIFY(done.open(QIODevice::ReadOnly));
    QVERIFY(done.readAll() == body);
    QFile kept(taken);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("alt"));
    QVERIFY(m_frame->status()->downloads()->isHidden());

    DesktopCatcher desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
    QTest::mouseClick(window->button(QStringLiteral("open")), Qt::LeftButton);
    QTest::mouseClick(window->button(QStringLiteral("openFolder")), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(desktop.opened,
             (QList<QUrl>{QUrl::fromLocalFile(free), QUrl::fromLocalFile(m_downloadDir.path())}));
    QTest::mouseClick(window->button(QStringLiteral("remove")), Qt::LeftButton);
    QCOMPARE(window->list()->topLevelItemCount(), row);
    window->close();
}

void TestPageTools::downloadsThatEndEarly() {
    // The connection breaks off every time; the engine tries again by itself.
    m_server.addDownload(QStringLiteral("/kaputt.bin"), QByteArray(1024 * 1024, 'k'), 32 * 1024, 20,
                         300 * 1024);
    m_server.addDownload(QStringLiteral("/lang.bin"), QByteArray(8 * 1024 * 1024, 'l'), 16 * 1024,
                         50);
    m_dialogs.fileNames << QDir(m_downloadDir.path()).filePath(QStringLiteral("kaputt.bin"))
                        << QDir(m_downloadDir.path()).filePath(QStringLiteral("lang.bin"));
    const int dialogs = m_dialogs.fileCaptions.size();
    const int first = m_app.downloads().count();
    openOn(m_server.url(QStringLiteral("/kaputt.bin")));
    QTRY_COMPARE_WITH_TIMEOUT(m_app.downloads().count(), first + 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(stateOf(first).startsWith(QStringLiteral("fehlgeschlagen: ")), 60000);
    QCOMPARE(stateOf(first), QStringLiteral("fehlgeschlagen: Der Server hat die Datei nicht "
                                            "vollständig geliefert"));
    // Each new try went on without asking the user again.
    QVERIFY(m_server.hits(QStringLiteral("/kaputt.bin")) > 1);
    QCOMPARE(m_dialogs.fileCaptions.size(), dialogs + 1);

    BrowserWindow* starter = openOn(m_server.url(QStringLiteral("/lang.bin")));
    QTRY_COMPARE_WITH_TIMEOUT(m_app.downloads().count(), first + 2, 30000);
    // A page that turned into a download is no failed page.
    QTRY_VERIFY_WITH_TIMEOUT(!starter->webView()->isBusy(), 30000);
    QCOMPARE(m_frame->status()->text()->text(), QStringLiteral("Fertig"));
    m_frame->action(FrameActions::Downloads)->trigger();
    DownloadsWindow* window = m_frame->tools()->downloads();
    window->list()->setCurrentItem(window->list()->topLevelItem(first + 1));
    QTRY_VERIFY_WITH_TIMEOUT(m_app.downloads().at(first + 1).received > 0, 30000);
    QTest::mouseClick(window->button(QStringLiteral("cancel")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(first + 1), QStringLiteral("abgebrochen"), 10000);
    window->close();
    m_frame->registry()->closeAllWindows();
}

void TestPageTools::pageTools() {
    BrowserWindow* w = openOn(local(QStringLiteral("obst.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(w), 30000);
    const int before = m_frame->registry()->count();
    // With the page in focus; in a text field Ctrl+U edits the text.
    w->webView()->widget()->setFocus();
    press(m_frame, Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(m_frame->registry()->count(), before + 1);
    BrowserWindow* source = m_frame->registry()->currentWindow();
    QCOMPARE(source->startingAddress(),
             QStringLiteral("view-source:") + local(QStringLiteral("obst.html")));
    QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(source), 30000);
    source->close();

    m_frame->registry()->area()->setActiveSubWindow(w);
    auto* view = qobject_cast<QtWebView*>(w->webView());
    press(m_frame, Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(view->devToolsWindow() && view->devToolsWindow()->isVisible());
    view->devToolsWindow()->close();

    const QString pdf = QDir(m_downloadDir.path()).filePath(QStringLiteral("obst.pdf"));
    // A folder that is a file cannot take the PDF.
    const QString blocked =
        QDir(m_downloadDir.path()).filePath(QStringLiteral("datei.bin/obst.pdf"));
    m_dialogs.fileNames << pdf << blocked;
    m_frame->registry()->area()->setActiveSubWindow(w);
    m_frame->action(FrameActions::SavePdf)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pdf).size() > 0 &&
                                 m_frame->status()->text()->text().contains(QStringLiteral("PDF")),
                             30000);
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(4) == "%PDF");
    const int messages = m_dialogs.messages.size();
    m_frame->action(FrameActions::SavePdf)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_dialogs.messages.size(), messages + 1, 30000);
    QVERIFY(m_dialogs.messages.last().text.startsWith(
        QStringLiteral("Die Seite konnte nicht als PDF gespeichert werden")));
    m_frame->registry()->closeAllWindows();
}

QTEST_MAIN(TestPageTools)
#include "tst_pagetools.moc"
