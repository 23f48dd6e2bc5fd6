#include "FakeWebView.h"
#include "Keyboard.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "archive/model/ArchiveRecords.h"
#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameActions.h"
#include "frame/FrameTabs.h"
#include "frame/MainFrame.h"
#include "frame/TabBar.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

class TestStartup : public QObject {
    Q_OBJECT
private slots:

    void startWindows_data();
    void startWindows();
    void groupFileOpensEachBookmarkInOrder();
    void missingGroupFileStillAppliesBars();
    void unreadablePrefsAreReportedAndDefaultsUsed();
    void unloadStoresSizeAndState_data();
    void unloadStoresSizeAndState();
    void maximizedStateComesBack();
    void menuCaptions();
    void tabStripPreferenceShowsBar_data();
    void tabStripPreferenceShowsBar();
};

void TestStartup::tabStripPreferenceShowsBar_data() {
    QTest::addColumn<int>("tabStrip");
    QTest::addColumn<int>("startBrowser");
    QTest::addColumn<bool>("visible");
    QTest::newRow("on, with a window") << -1 << -1 << true;
    QTest::newRow("on, no window") << -1 << 0 << false;
    QTest::newRow("off, with a window") << 0 << -1 << false;
}

void TestStartup::tabStripPreferenceShowsBar() {
    QFETCH(int, tabStrip);
    QFETCH(int, startBrowser);
    QFETCH(bool, visible);
    ScriptedDialogs dialogs;
    StartedApp app;
    app.writePrefs([&](Prefer& p) {
        p.TabStrip = qint16(tabStrip);
        p.StartBrowser = qint16(startBrowser);
    });
    MainFrame* frame = app.start();
    QCOMPARE(!frame->tabs()->bar()->isHidden(), visible);
    QCOMPARE(frame->action(FrameActions::TabBar)->isChecked(), tabStrip != 0);
    QCOMPARE(frame->action(FrameActions::TabBar)->isChecked(), tabStrip != 0);
}

void TestStartup::startWindows_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<int>("startBrowser");
    QTest::addColumn<int>("loadOption");
    QTest::addColumn<int>("windows");
    QTest::addColumn<QString>("firstAddress");

    const QString home = Prefer::DefaultHomeUrl;
    QTest::newRow("address, StartBrowser off")
        << "http://example.org/a b" << 0 << 0 << 1 << "http://example.org/a b";
    QTest::newRow("address, StartBrowser on")
        << "http://example.org/" << -1 << 1 << 1 << "http://example.org/";
    QTest::newRow("quoted address loses its quotes")
        << "\"http://example.org/q\"" << 0 << 0 << 1 << "http://example.org/q";
    QTest::newRow("no address, StartBrowser on") << "" << -1 << 1 << 1 << home;
    QTest::newRow("no address, StartBrowser off, LoadOption 0") << "" << 0 << 0 << 0 << "";
}

void TestStartup::startWindows() {
    QFETCH(QString, commandLine);
    QFETCH(int, startBrowser);
    QFETCH(int, loadOption);
    QFETCH(int, windows);
    QFETCH(QString, firstAddress);

    ScriptedDialogs dialogs;
    StartedApp app;
    app.writePrefs([&](Prefer& p) {
        p.StartBrowser = qint16(startBrowser);
        p.LoadOption = qint16(loadOption);
    });
    int engineStarts = 0;
    bool shownBeforeEngine = false;
    app.startEngine = [&] {
        ++engineStarts;
        for (const QWidget* w : QApplication::topLevelWidgets())
            shownBeforeEngine = shownBeforeEngine || w->isVisible();
    };
    MainFrame* frame = app.start(commandLine);
    QVERIFY(frame);
    // With a window to open, the engine starts before the frame shows.
    QCOMPARE(engineStarts, windows > 0 ? 1 : 0);
    QVERIFY(!shownBeforeEngine);
    // A maximized window shows its caption in the frame's: its page is on
    // its way.
    QCOMPARE(frame->windowTitle(), windows > 0 ? QStringLiteral("Korvix 6.4 - [In Bearbeitung...]")
                                               : QStringLiteral("Korvix 6.4"));
    QCOMPARE(frame->registry()->windows().size(), windows);
    QCOMPARE(frame->registry()->count(), windows);
    QVERIFY(frame->isVisible());
    if (windows > 0) {
        BrowserWindow* w = frame->registry()->windows().first();
        QVERIFY(w->isMaximized());
        auto* view = static_cast<FakeWebView*>(w->webView());
        QCOMPARE(view->navigations, QStringList{firstAddress});
        // The page begins in the shown frame, at the size it keeps: it is
        // laid out once.
        QVERIFY(view->shownAtFirstLoad);
        QCoreApplication::processEvents();
        QCOMPARE(view->widget()->size(), view->sizeAtFirstLoad);
        QCOMPARE(frame->registry()->nextAddress(), QString());
    }
    QVERIFY(dialogs.messages.isEmpty());
}

void TestStartup::groupFileOpensEachBookmarkInOrder() {
    ScriptedDialogs dialogs;
    StartedApp app;
    QList<BookmarkRecord> records;
    for (int i = 1; i <= 3; ++i) {
        BookmarkRecord r;
        r.Titel = QStringLiteral("Seite %1").arg(i);
        r.Url = QStringLiteral("  http://example.org/%1  ").arg(i);
        r.Adresszeile = i == 2 ? 0 : -1;
        r.Toolbar = -1;
        records << r;
    }
    app.writeFile(QStringLiteral("7.bkm"), writeBookmarkFile(records));
    app.writePrefs([](Prefer& p) {
        p.StartBrowser = 0;
        p.LoadOption = 3;
        p.GroupFile = QStringLiteral("7.bkm");
    });
    MainFrame* frame = app.start();
    QVERIFY(batchOpened(frame));
    QCOMPARE(frame->registry()->windows().size(), 3);
    for (int i = 0; i < 3; ++i) {
        BrowserWindow* w = frame->registry()->windows().at(i);
        // The window on top loads first, the ones under it right after.
        QTRY_COMPARE(static_cast<FakeWebView*>(w->webView())->navigations,
                     QStringList{QStringLiteral("http://example.org/%1").arg(i + 1)});
        // The frame shows one maximized child at a time; each comes up
        // maximized when it is brought to the front.
        frame->registry()->area()->setActiveSubWindow(w);
        QVERIFY(w->isMaximized());
        QCOMPARE(w->bandVisible(BrowserWindow::Band::Adress), i != 1);
    }
    // The bars of the next window come from the preferences again.
    frame->action(FrameActions::NewBrowser)->trigger();
    QVERIFY(frame->registry()->activeWindow()->bandVisible(BrowserWindow::Band::Adress));
    QVERIFY(dialogs.messages.isEmpty());
}

void TestStartup::missingGroupFileStillAppliesBars() {
    ScriptedDialogs dialogs;
    StartedApp app;
    app.writePrefs([](Prefer& p) {
        p.StartBrowser = 0;
        p.LoadOption = 3;
        p.GroupFile = QStringLiteral("fehlt.bkm");
        p.TabStrip = -1;
        p.TabAlign = 2;
        p.StatusBar = 0;
    });
    MainFrame* frame = app.start();
    QCOMPARE(frame->registry()->windows().size(), 0);
    QVERIFY(!frame->tabs()->bar()->isHidden());
    QCOMPARE(frame->toolBarArea(frame->tabs()->bar()), Qt::BottomToolBarArea);
    QVERIFY(frame->statusBar()->isHidden());
    QVERIFY(!frame->action(FrameActions::StatusBar)->isChecked());
    QVERIFY(dialogs.messages.isEmpty());
}

void TestStartup::unreadablePrefsAreReportedAndDefaultsUsed() {
    ScriptedDialogs dialogs;
    StartedApp app;
    QVERIFY(QDir(app.dir()).mkdir(QStringLiteral("Pref.kxp")));
    MainFrame* frame = app.start();
    QVERIFY(frame);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().title, QStringLiteral("Fehlermeldung"));
    QVERIFY(dialogs.messages.first().text.contains(QStringLiteral("Pref.kxp")));
    // Defaults: one window on the start page.
    QCOMPARE(frame->registry()->windows().size(), 1);
    app.stop();
    QVERIFY(QFileInfo(QDir(app.dir()).filePath(QStringLiteral("Pref.kxp"))).isDir());
}

void TestStartup::unloadStoresSizeAndState_data() {
    QTest::addColumn<bool>("maximize");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("expectedWidthTwips");
    QTest::addColumn<int>("expectedState");
    QTest::addColumn<int>("f11Presses");

    QTest::newRow("normal") << false << 700 << 700 * 15 << 0 << 0;
    QTest::newRow("wider than 16 bits of twips is clamped") << false << 2500 << 32767 << 0 << 0;
    QTest::newRow("maximized keeps the old size") << true << 700 << 9000 << 2 << 0;
    // On the whole screen the frame keeps what it comes back to.
    QTest::newRow("normal, F11") << false << 700 << 700 * 15 << 0 << 1;
    QTest::newRow("maximized, F11") << true << 700 << 9000 << 2 << 1;
    QTest::newRow("normal, F11 twice") << false << 700 << 700 * 15 << 0 << 2;
    QTest::newRow("maximized, F11 twice") << true << 700 << 9000 << 2 << 2;
}

void TestStartup::unloadStoresSizeAndState() {
    QFETCH(bool, maximize);
    QFETCH(int, width);
    QFETCH(int, expectedWidthTwips);
    QFETCH(int, expectedState);
    QFETCH(int, f11Presses);

    ScriptedDialogs dialogs;
    StartedApp app;
    app.writePrefs([](Prefer& p) {
        p.StartBrowser = 0;
        p.MdiWidth = 9000;
        p.MdiHeight = 6000;
    });
    MainFrame* frame = app.start();
    frame->resize(width, 500);
    if (maximize)
        frame->showMaximized();
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame));
    for (int i = 0; i < f11Presses; ++i) {
        QVERIFY(Keyboard::press(Qt::Key_F11));
        QTRY_COMPARE(frame->isFullScreen(), i % 2 == 0);
    }
    if (f11Presses == 2) {
        QCOMPARE(frame->isMaximized(), maximize);
        if (!maximize)
            QCOMPARE(frame->width(), width);
    }
    QVERIFY(frame->close());
    Prefer saved(app.dir());
    QString error;
    QVERIFY(saved.load(&error));
    QCOMPARE(int(saved.MdiWidth), expectedWidthTwips);
    QCOMPARE(int(saved.MdiHeight), maximize ? 6000 : 500 * 15);
    QCOMPARE(int(saved.MdiState), expectedState);
    QVERIFY(dialogs.messages.isEmpty());
}

void TestStartup::maximizedStateComesBack() {
    ScriptedDialogs dialogs;
    StartedApp app;
    app.writePrefs([](Prefer& p) {
        p.StartBrowser = 0;
        p.MdiState = 2;
    });
    MainFrame* frame = app.start();
    QVERIFY(frame->isMaximized());
}

void TestStartup::menuCaptions() {
    ScriptedDialogs dialogs;
    StartedApp app;
    MainFrame* frame = app.start();
    using A = FrameActions;
    const QList<std::pair<QString, QString>> shown = {
        {frame->menu(A::FileMenu)->title(), "&Datei"},
        {frame->menu(A::ViewMenu)->title(), "&Ansicht"},
        {frame->menu(A::ToolsMenu)->title(), "&Tools"},
        {frame->menu(A::WindowMenu)->title(), "&Fenster"},
        {frame->menu(A::HelpMenu)->title(), "&?"},
        {frame->menu(A::ContextWindowMenu)->title(), "&Fenster"},
        {frame->menu(A::ActiveWindowMenu)->title(), "&Aktives Fenster"},
        {frame->action(A::About)->text(), "&Info über Korvix 6.4"},
        {frame->action(A::TabBarBottom)->text(), "Registerzeile &unten"},
        {frame->action(A::CloseWindow)->text(), "Schließen"},
        {frame->action(A::BothBars)->text(), "&Beides"},
        {frame->action(A::StatusBar)->text(), "&Statuszeile"},
        {frame->action(A::PrefetchLinks)->text(), "Link-Ziele im voraus &cachen ein/aus"},
        {frame->action(A::InternetSettings)->text(), "&Microsoft Internet Eigenschaften..."},
        {frame->action(A::ForbidPopups)->text(), "HTML-Seiten dürfen ke&ine Fenster öffnen"},
    };
    for (const auto& [caption, expected] : shown)
        QCOMPARE(caption, expected);
    QCOMPARE(frame->action(FrameActions::NewBrowser)->shortcut(), QKeySequence(Qt::Key_F12));
    QCOMPARE(frame->action(FrameActions::CloseWindow)->shortcut(),
             QKeySequence(Qt::CTRL | Qt::Key_F12));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
