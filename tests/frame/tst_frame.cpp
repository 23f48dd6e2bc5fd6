#include "FakeWebView.h"
#include "Keyboard.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "archive/ArchiveWindow.h"
#include "archive/model/ArchiveRecords.h"
#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameActions.h"
#include "frame/FrameCommands.h"
#include "frame/FrameStatus.h"
#include "frame/FrameTabs.h"
#include "frame/MainFrame.h"
#include "frame/TabBar.h"
#include "frame/ToolWindows.h"
#include "frame/model/Arrangement.h"
#include "history/HistoryWindow.h"
#include "mail/MailLauncher.h"
#include "prefs/SettingsDialog.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>

// Registry, tab strip and menus of the frame, driven through their widgets
// and actions with fake web views.
class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void keysAreNeverReused();
    void limitOf300();
    void newWindowBars_data();
    void newWindowBars();
    void closeAllWithoutWindowsSaysNothing();
    void visitUrlWithEmptyAddress();
    void strToCaption_data();
    void strToCaption();
    void tabFollowsTitle();
    void lastWindowClosedHidesTabBar();
    void tabClickActivatesWindow();
    void tabStripOffset_data();
    void tabStripOffset();
    void windowMenuStates();
    void historyMenuFromTwoEntries();
    void popupSwitches();
    void arrangementGeometry_data();
    void arrangementGeometry();
    void sideBySideIsReappliedToNewWindows();
    void cascadeGeometry_data();
    void cascadeGeometry();
    void cascadedNewWindowsCanBeRead();
    void dropOpensWindows();
    void closeActiveWithCtrlF12();
    void settingsApplyToFrame();
    void openAllAtTheLimit();
    void historyEnterGivesTheNextWindow();
    void contextMenusOfferTheMenuBarsCommands();
    void contextChoicesTakeEffect_data();
    void contextChoicesTakeEffect();
    void zoomSteps_data();
    void zoomSteps();
    void endingHidesTheFrameBeforeThePagesGo();

private:
    MainFrame* newFrame();
    BrowserWindow* open();
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<StartedApp> m_app;
};

void TestFrame::init() {
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_app = std::make_unique<StartedApp>();
    m_app->writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    m_app->start();
}

void TestFrame::cleanup() {
    m_app.reset();
    m_dialogs.reset();
}

MainFrame* TestFrame::newFrame() {
    return m_app->frame();
}

BrowserWindow* TestFrame::open() {
    newFrame()->action(FrameActions::NewBrowser)->trigger();
    return newFrame()->registry()->activeWindow();
}

void TestFrame::keysAreNeverReused() {
    MainFrame* f = newFrame();
    BrowserWindow* a = open();
    BrowserWindow* b = open();
    QCOMPARE(a->id(), 1);
    QCOMPARE(b->id(), 2);
    QCOMPARE(f->registry()->windowByKey(QStringLiteral("[1]")), a);
    a->close();
    b->close();
    QCOMPARE(f->registry()->count(), 0);
    BrowserWindow* c = open();
    QCOMPARE(c->id(), 3);
    QCOMPARE(BrowserRegistry::windowKey(c->id()), QStringLiteral("[3]"));
    QCOMPARE(f->registry()->windows().size(), 1);
}

void TestFrame::limitOf300() {
    MainFrame* f = newFrame();
    QCOMPARE(BrowserRegistry::MaxWindows, 300);
    for (int i = 0; i < 300; ++i)
        f->registry()->openWindow(OpenRequest());
    QCOMPARE(f->registry()->count(), 300);
    QVERIFY(m_dialogs->messages.isEmpty());
    f->action(FrameActions::NewBrowser)->trigger();
    QCOMPARE(f->registry()->count(), 300);
    QCOMPARE(f->registry()->windows().size(), 300);
    QCOMPARE(f->registry()->lastNumber(), 300);
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages.first().text,
             QStringLiteral("Es sind nur maximal 300 gleichzeitig geöffnete Browser möglich !"));
    QCOMPARE(m_dialogs->messages.first().title, QStringLiteral("Meldung"));
    QCOMPARE(m_dialogs->messages.first().icon, QMessageBox::Information);
    // Room again after one closes.
    f->registry()->windows().first()->close();
    f->action(FrameActions::NewBrowser)->trigger();
    QCOMPARE(f->registry()->count(), 300);
    QCOMPARE(m_dialogs->messages.size(), 1);
}

void TestFrame::newWindowBars_data() {
    QTest::addColumn<bool>("toolbar");
    QTest::addColumn<bool>("adress");
    QTest::addColumn<bool>("coolBar");
    QTest::newRow("both") << true << true << true;
    QTest::newRow("toolbar only") << true << false << true;
    QTest::newRow("address only") << false << true << true;
    QTest::newRow("neither hides the bar area") << false << false << false;
}

void TestFrame::newWindowBars() {
    QFETCH(bool, toolbar);
    QFETCH(bool, adress);
    QFETCH(bool, coolBar);
    MainFrame* f = newFrame();
    f->tools()->preferences().Toolbar = toolbar ? -1 : 0;
    f->tools()->preferences().Adresszeile = adress ? -1 : 0;
    BrowserWindow* w = open();
    QCOMPARE(w->bandVisible(BrowserWindow::Band::Toolbar), toolbar);
    QCOMPARE(w->bandVisible(BrowserWindow::Band::Adress), adress);
    QCOMPARE(w->coolBarVisible(), coolBar);
    // An empty HistoryUrl starts the window on the home page.
    QCOMPARE(w->addressBox()->currentText(), f->tools()->preferences().HomeUrl);
    QCOMPARE(static_cast<FakeWebView*>(w->webView())->navigations,
             QStringList{f->tools()->preferences().HomeUrl});
}

void TestFrame::closeAllWithoutWindowsSaysNothing() {
    MainFrame* f = newFrame();
    auto closeAll = [f] {
        emit f->menu(FrameActions::WindowMenu)->aboutToShow();
        f->action(FrameActions::CloseAllWindows)->trigger();
    };
    closeAll();
    QVERIFY(m_dialogs->messages.isEmpty());
    open();
    open();
    closeAll();
    QCOMPARE(f->registry()->count(), 0);
    QVERIFY(f->registry()->windows().isEmpty());
    QCOMPARE(f->tabs()->bar()->tabs()->count(), 0);
}

void TestFrame::visitUrlWithEmptyAddress() {
    MainFrame* f = newFrame();
    f->registry()->visit(OpenRequest::withBars(QString(), true, true));
    QCOMPARE(f->registry()->count(), 0);
    f->registry()->visit(
        OpenRequest::withBars(QStringLiteral("http://example.org/"), false, false));
    QCOMPARE(f->registry()->count(), 1);
    QVERIFY(!f->registry()->windows().first()->coolBarVisible());
    // The next window shows the bars of the preferences again.
    BrowserWindow* next = open();
    QVERIFY(next->bandVisible(BrowserWindow::Band::Adress));
    QVERIFY(next->bandVisible(BrowserWindow::Band::Toolbar));
}

void TestFrame::strToCaption_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("one") << "A&B"
                         << "A&&B";
    QTest::newRow("two") << "&&"
                         << "&&&&";
    QTest::newRow("none") << "Müller"
                          << "Müller";
    QTest::newRow("edges") << "&x&"
                           << "&&x&&";
}

void TestFrame::strToCaption() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(TabBar::caption(in), out);
}

void TestFrame::tabFollowsTitle() {
    MainFrame* f = newFrame();
    f->action(FrameActions::TabBar)->trigger();
    QVERIFY(f->tabs()->wanted());
    BrowserWindow* w = open();
    QVERIFY(!f->tabs()->bar()->isHidden());
    const int i = f->tabs()->bar()->indexOf(w->id());
    // A new tab shows the start address as it is.
    QCOMPARE(f->tabs()->bar()->tabs()->tabText(i), f->tools()->preferences().HomeUrl);
    // The page's title, once it has come, goes to caption and tab, its "&"
    // doubled in the tab.
    auto* view = static_cast<FakeWebView*>(w->webView());
    view->finishLoad(QStringLiteral("http://example.org/"), QStringLiteral("Fish & Chips"));
    QTRY_COMPARE(w->windowTitle(), QStringLiteral("Fish & Chips"));
    QCOMPARE(f->tabs()->bar()->tabs()->tabText(i), QStringLiteral("Fish && Chips"));
    QCOMPARE(f->tabs()->bar()->tabs()->tabToolTip(i), QStringLiteral("Fish && Chips"));
}

void TestFrame::lastWindowClosedHidesTabBar() {
    MainFrame* f = newFrame();
    f->action(FrameActions::TabBar)->trigger();
    BrowserWindow* w = open();
    QVERIFY(!f->tabs()->bar()->isHidden());
    QAction* top = f->action(FrameActions::TabBarTop);
    QAction* bottom = f->action(FrameActions::TabBarBottom);
    QVERIFY(top->isEnabled() && bottom->isEnabled());
    w->close();
    QVERIFY(f->tabs()->bar()->isHidden());
    QVERIFY(!top->isEnabled() && !bottom->isEnabled());
    open();
    QVERIFY(!f->tabs()->bar()->isHidden());
}

void TestFrame::tabClickActivatesWindow() {
    MainFrame* f = newFrame();
    f->action(FrameActions::TabBar)->trigger();
    BrowserWindow* a = open();
    BrowserWindow* b = open();
    QCOMPARE(f->registry()->activeWindow(), b);
    QCOMPARE(f->tabs()->bar()->tabs()->currentIndex(), f->tabs()->bar()->indexOf(b->id()));
    static_cast<FakeWebView*>(a->webView())->url = QStringLiteral("http://a.example/");
    const QRect tabRect = f->tabs()->bar()->tabs()->tabRect(f->tabs()->bar()->indexOf(a->id()));
    QTest::mouseClick(f->tabs()->bar()->tabs(), Qt::LeftButton, {}, tabRect.center());
    QCOMPARE(f->registry()->activeWindow(), a);
    // A window without a title yet shows its address on the tab.
    QCOMPARE(f->tabs()->bar()->tabs()->tabText(f->tabs()->bar()->indexOf(a->id())),
             QStringLiteral("http://a.example/"));
}

void TestFrame::tabStripOffset_data() {
    QTest::addColumn<bool>("buttons");
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("offset");
    QTest::newRow("tabs top") << false << 1 << 30;
    QTest::newRow("tabs bottom") << false << 2 << -60;
    QTest::newRow("buttons top") << true << 1 << 60;
    QTest::newRow("buttons bottom") << true << 2 << -90;
}

void TestFrame::tabStripOffset() {
    QFETCH(bool, buttons);
    QFETCH(int, align);
    QFETCH(int, offset);
    QCOMPARE(TabBar::stripOffset(buttons, align).value_or(12345), offset);
    QVERIFY(!TabBar::stripOffset(buttons, 3).has_value());
}

void TestFrame::windowMenuStates() {
    using A = FrameActions;
    MainFrame* f = newFrame();
    auto enabled = [f](A::Command c) { return f->action(c)->isEnabled(); };
    auto activeMenu = [f] { return f->menu(A::ActiveWindowMenu)->menuAction()->isEnabled(); };
    f->commands()->refreshWindowMenu();
    QVERIFY(!enabled(A::TileBelow));
    QVERIFY(!enabled(A::TileSideBySide));
    QVERIFY(!enabled(A::Cascade));
    QVERIFY(!activeMenu());
    QVERIFY(!enabled(A::CloseWindow));
    QVERIFY(!enabled(A::CloseAllWindows));
    QVERIFY(enabled(A::LoadLayout));
    // Only the archive window open: the same.
    f->tools()->toolWindowShown(Shell::ToolWindow::Archive, true);
    f->commands()->refreshWindowMenu();
    QVERIFY(!enabled(A::Cascade));
    QVERIFY(!enabled(A::CloseAllWindows));
    f->tools()->toolWindowShown(Shell::ToolWindow::Archive, false);

    BrowserWindow* w = open();
    f->commands()->refreshWindowMenu();
    QVERIFY(enabled(A::Cascade));
    QVERIFY(enabled(A::CloseWindow));
    QVERIFY(activeMenu());
    QVERIFY(!enabled(A::LoadLayout));
    w->showMaximized();
    f->commands()->refreshWindowMenu();
    QVERIFY(!enabled(A::SaveLayout));
    w->showNormal();
    f->commands()->refreshWindowMenu();
    QVERIFY(enabled(A::SaveLayout));
    // Only the toolbar band shown: "Beides" is not offered.
    w->setBandVisible(BrowserWindow::Band::Adress, false);
    f->commands()->refreshWindowMenu();
    QVERIFY(!f->action(A::BothBars)->isVisible());
    QVERIFY(f->action(A::Toolbar)->isChecked());
    QVERIFY(!f->action(A::AddressBar)->isChecked());
}

void TestFrame::historyMenuFromTwoEntries() {
    MainFrame* f = newFrame();
    QMenu* tools = f->menu(FrameActions::ToolsMenu);
    QAction* historie = f->action(FrameActions::History);
    BrowserWindow* w = open();
    auto* view = static_cast<FakeWebView*>(w->webView());
    view->finishLoad(QStringLiteral("http://a.example/"), QStringLiteral("A"));
    emit tools->aboutToShow();
    QVERIFY(!historie->isEnabled());
    // A revisit is no new entry.
    view->finishLoad(QStringLiteral("http://a.example/"), QStringLiteral("A"));
    emit tools->aboutToShow();
    QVERIFY(!historie->isEnabled());
    view->finishLoad(QStringLiteral("http://b.example/"), QStringLiteral("B"));
    emit tools->aboutToShow();
    QVERIFY(historie->isEnabled());
    QCOMPARE(f->tools()->history().count(), 2);
    QCOMPARE(f->tools()->history().at(1).Title, QStringLiteral("B"));
}

void TestFrame::popupSwitches() {
    MainFrame* f = newFrame();
    QAction* toBack = f->action(FrameActions::PopupsToBack);
    toBack->trigger();
    QVERIFY(f->registry()->popups().toBack());
    QVERIFY(f->action(FrameActions::PopupsToBack)->isChecked());
    f->action(FrameActions::ForbidPopups)->trigger();
    QVERIFY(!f->registry()->popups().allowed());
    QVERIFY(f->action(FrameActions::ForbidPopups)->isChecked());
    QVERIFY(!f->action(FrameActions::AllowPopups)->isChecked());
    // Disabled, but it keeps its check.
    QVERIFY(!toBack->isEnabled());
    QVERIFY(toBack->isChecked());
    f->action(FrameActions::AllowPopups)->trigger();
    QVERIFY(f->registry()->popups().allowed());
    QVERIFY(toBack->isEnabled());
    QVERIFY(f->action(FrameActions::AllowPopups)->isChecked());
}

void TestFrame::arrangementGeometry_data() {
    QTest::addColumn<bool>("sideBySide");
    QTest::addColumn<int>("count");
    QTest::newRow("below, 3") << false << 3;
    QTest::newRow("side, 3") << true << 3;
    QTest::newRow("side, 7") << true << 7;
    QTest::newRow("below, 1") << false << 1;
}

void TestFrame::arrangementGeometry() {
    QFETCH(bool, sideBySide);
    QFETCH(int, count);
    const QRect area(0, 0, 1001, 700);
    const QList<QRect> rects =
        sideBySide ? Arrangement::sideBySide(area, count) : Arrangement::oneBelowOther(area, count);
    QCOMPARE(rects.size(), count);
    int covered = 0;
    for (int i = 0; i < count; ++i) {
        const QRect& r = rects[i];
        covered += sideBySide ? r.width() : r.height();
        QCOMPARE(sideBySide ? r.height() : r.width(), sideBySide ? 700 : 1001);
        if (i > 0) {
            // Neighbours touch and do not overlap.
            if (sideBySide)
                QCOMPARE(r.left(), rects[i - 1].right() + 1);
            else
                QCOMPARE(r.top(), rects[i - 1].bottom() + 1);
        }
    }
    QCOMPARE(covered, sideBySide ? 1001 : 700);
}

void TestFrame::sideBySideIsReappliedToNewWindows() {
    MainFrame* f = newFrame();
    f->resize(900, 600);
    open();
    open();
    open();
    f->commands()->refreshWindowMenu();
    f->action(FrameActions::TileSideBySide)->trigger();
    QVERIFY(f->action(FrameActions::TileSideBySide)->isChecked());
    QVERIFY(!f->action(FrameActions::Cascade)->isChecked());
    BrowserWindow* d = open();
    const QList<BrowserWindow*> all = f->registry()->windows();
    QCOMPARE(all.size(), 4);
    QCOMPARE(d->height(), f->registry()->area()->viewport()->height());
    for (int i = 1; i < all.size(); ++i)
        QVERIFY(all[i]->x() > all[i - 1]->x());
}

void TestFrame::cascadeGeometry_data() {
    QTest::addColumn<int>("count");
    QTest::newRow("one") << 1;
    QTest::newRow("four") << 4;
    QTest::newRow("more than the steps that fit") << 40;
}

void TestFrame::cascadeGeometry() {
    QFETCH(int, count);
    const QRect area(0, 0, 620, 400);
    const QList<QRect> rects = Arrangement::cascade(area, count, 24);
    QCOMPARE(rects.size(), count);
    for (int i = 0; i < count; ++i) {
        QVERIFY(area.contains(rects[i]));
        QCOMPARE(rects[i].size(), rects[0].size());
        QVERIFY(rects[i].width() >= area.width() * 2 / 3);
        QVERIFY(rects[i].height() >= area.height() * 2 / 3);
    }
    // Each next window one step down and right, until the steps run out.
    if (count > 1)
        QCOMPARE(rects[1].topLeft(), rects[0].topLeft() + QPoint(24, 24));
}

// With "Kaskadiert" checked, every new window gets a size its page can be
// read in, and the cascade stays inside the frame at its first size.
void TestFrame::cascadedNewWindowsCanBeRead() {
    MainFrame* f = newFrame();
    open();
    open();
    emit f->menu(FrameActions::ContextMenu)->aboutToShow();
    f->action(FrameActions::Cascade)->trigger();
    f->action(FrameActions::NewBrowser)->trigger();
    // From the history window: a window with both bars hidden.
    f->browserHost().addToHistory(QStringLiteral("http://a.example/"), QStringLiteral("A"));
    f->browserHost().addToHistory(QStringLiteral("http://b.example/"), QStringLiteral("B"));
    emit f->menu(FrameActions::ToolsMenu)->aboutToShow();
    f->action(FrameActions::History)->trigger();
    HistoryWindow* h = f->tools()->historyWindow();
    const QPoint cell = h->grid()->visualItemRect(h->grid()->item(0, 0)).center();
    QTest::mouseClick(h->grid()->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(h->grid()->viewport(), Qt::LeftButton, {}, cell);
    h->close();
    for (int i = 0; i < 8; ++i)
        f->action(FrameActions::NewBrowser)->trigger();
    QCOMPARE(f->registry()->count(), 12);
    const QRect area = f->registry()->area()->viewport()->rect();
    for (BrowserWindow* w : f->registry()->windows()) {
        QVERIFY2(area.contains(w->geometry()),
                 qPrintable(QStringLiteral("window %1 at %2,%3 %4x%5 in %6x%7")
                                .arg(w->id())
                                .arg(w->x())
                                .arg(w->y())
                                .arg(w->width())
                                .arg(w->height())
                                .arg(area.width())
                                .arg(area.height())));
        QVERIFY(w->width() >= area.width() * 2 / 3);
        QVERIFY(w->height() >= area.height() * 2 / 3);
    }
    QVERIFY(!f->registry()->windows().at(3)->coolBarVisible());
    QVERIFY(!f->registry()->area()->horizontalScrollBar()->isVisible());
    QVERIFY(!f->registry()->area()->verticalScrollBar()->isVisible());
}

void TestFrame::dropOpensWindows() {
    MainFrame* f = newFrame();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/seite.html"))});
    f->openDropped(&data);
    QCOMPARE(f->registry()->count(), 1);
    QCOMPARE(static_cast<FakeWebView*>(f->registry()->windows().last()->webView())->navigations,
             QStringList{QStringLiteral("/tmp/seite.html")});
    QMimeData link;
    link.setText(QStringLiteral("http://example.org/link"));
    f->openDropped(&link);
    QCOMPARE(f->registry()->count(), 2);
    QCOMPARE(static_cast<FakeWebView*>(f->registry()->windows().last()->webView())->navigations,
             QStringList{QStringLiteral("http://example.org/link")});
    QMimeData nothing;
    nothing.setData(QStringLiteral("application/x-unknown"), "x");
    f->openDropped(&nothing);
    QCOMPARE(f->registry()->count(), 2);
}

void TestFrame::closeActiveWithCtrlF12() {
    MainFrame* f = newFrame();
    open();
    BrowserWindow* b = open();
    QPointer<BrowserWindow> guard(b);
    QVERIFY(Keyboard::activate(f));
    QVERIFY(Keyboard::press(Qt::Key_F12, Qt::ControlModifier));
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(f->registry()->count(), 1);
    QVERIFY(Keyboard::press(Qt::Key_F12));
    QCOMPARE(f->registry()->count(), 2);
}

void TestFrame::settingsApplyToFrame() {
    MainFrame* f = newFrame();
    open();
    QSignalSpy saved(f, &MainFrame::settingsSaved);
    m_dialogs->onModal = [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<SettingsDialog*>(w)) {
                d->findChild<QRadioButton*>(QStringLiteral("tabsBottom"))->click();
                d->findChild<QCheckBox*>(QStringLiteral("statusBar"))->setChecked(false);
                d->findChild<QPushButton*>(QStringLiteral("ok"))->click();
            }
        }
    };
    f->action(FrameActions::Settings)->trigger();
    QCOMPARE(saved.count(), 1);
    QCOMPARE(f->tabs()->align(), 2);
    QCOMPARE(f->toolBarArea(f->tabs()->bar()), Qt::BottomToolBarArea);
    QVERIFY(f->statusBar()->isHidden());
    Prefer stored(m_app->dir());
    QString error;
    QVERIFY(stored.load(&error));
    QCOMPARE(int(stored.TabAlign), 2);
    QCOMPARE(int(stored.StatusBar), 0);
    // Cancelled: nothing changes.
    m_dialogs->onModal = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<SettingsDialog*>(w)) {
                d->findChild<QRadioButton*>(QStringLiteral("tabsTop"))->click();
                d->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
            }
    };
    f->action(FrameActions::Settings)->trigger();
    QCOMPARE(saved.count(), 1);
    QCOMPARE(f->tabs()->align(), 2);
}

// "Alle Öffnen" on a folder of 10 bookmarks with 295 windows open: five come,
// the sixth meets the limit message, and the rest are not asked for.
void TestFrame::openAllAtTheLimit() {
    MainFrame* f = newFrame();
    QList<BookmarkRecord> records;
    for (int i = 0; i < 10; ++i) {
        BookmarkRecord r;
        r.Titel = QStringLiteral("s%1").arg(i);
        r.Url = QStringLiteral("http://s%1.example/").arg(i);
        records << r;
    }
    ThemaRecord folder;
    folder.Sequenz = 1;
    folder.DirName = QStringLiteral("F");
    folder.FileName = QStringLiteral("1.bkm");
    m_app->writeFile(QStringLiteral("1.bkm"), writeBookmarkFile(records));
    m_app->writeFile(QStringLiteral("Book.bkm"), writeThemaFile({folder}));
    for (int i = 0; i < 295; ++i)
        f->registry()->openWindow(OpenRequest());
    f->action(FrameActions::Archive)->trigger();
    ArchiveWindow* archive = f->tools()->archive();
    archive->tree()->setCurrentItem(archive->rootNode()->child(0));
    archive->action(QStringLiteral("openAll"))->trigger();
    QVERIFY(batchOpened(f));
    QCOMPARE(f->registry()->count(), 300);
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(static_cast<FakeWebView*>(f->registry()->windows().at(295)->webView())->navigations,
             QStringList{QStringLiteral("http://s0.example/")});
    QCOMPARE(static_cast<FakeWebView*>(f->registry()->windows().last()->webView())->navigations,
             QStringList{QStringLiteral("http://s4.example/")});
}

// Enter in the history window: the next "Neuer Browser..." opens that
// address, once.
void TestFrame::historyEnterGivesTheNextWindow() {
    MainFrame* f = newFrame();
    f->browserHost().addToHistory(QStringLiteral("http://eins.example/"), QStringLiteral("1"));
    f->browserHost().addToHistory(QStringLiteral("http://enter.example/"), QStringLiteral("2"));
    emit f->menu(FrameActions::ToolsMenu)->aboutToShow();
    f->action(FrameActions::History)->trigger();
    QPointer<HistoryWindow> h = f->tools()->historyWindow();
    QVERIFY(h);
    const QString chosen = h->grid()->item(0, 0)->text();
    QVERIFY(Keyboard::activate(h));
    QCOMPARE(QApplication::focusWidget(), h->grid());
    QVERIFY(Keyboard::press(Qt::Key_Return));
    QTRY_VERIFY(h.isNull());
    QCOMPARE(f->registry()->count(), 0);
    f->action(FrameActions::NewBrowser)->trigger();
    f->action(FrameActions::NewBrowser)->trigger();
    QCOMPARE(static_cast<FakeWebView*>(f->registry()->windows().at(0)->webView())->navigations,
             QStringList{chosen});
    QCOMPARE(static_cast<FakeWebView*>(f->registry()->windows().at(1)->webView())->navigations,
             QStringList{f->tools()->preferences().HomeUrl});
}

namespace {
// A menu's items as captions, submenus indented; separators as "-".
void describe(const QMenu* menu, const QString& indent, QStringList* out,
              QList<QAction*>* actions) {
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            *out << indent + QLatin1Char('-');
        } else if (a->menu()) {
            *out << indent + a->text();
            describe(a->menu(), indent + QStringLiteral("  "), out, actions);
        } else {
            *out << indent + a->text();
            *actions << a;
        }
    }
}
} // namespace

// The context menus offer the menu bar's own actions, so an item cannot do
// anything else than its twin, and show them in their own order.
void TestFrame::contextMenusOfferTheMenuBarsCommands() {
    MainFrame* f = newFrame();
    QList<QAction*> inMenuBar;
    QStringList unused;
    for (QAction* top : f->menuBar()->actions())
        describe(top->menu(), QString(), &unused, &inMenuBar);
    QStringList shown;
    QList<QAction*> inContext;
    describe(f->menu(FrameActions::ContextMenu), QString(), &shown, &inContext);
    QCOMPARE(shown, (QStringList{"&Neuer Browser...",
                                 "-",
                                 "Webseite &speichern...",
                                 "-",
                                 "&Link per E-Mail versenden...",
                                 "-",
                                 "&Drucken...",
                                 "Druck&vorschau...",
                                 "-",
                                 "&Registerzeile ein/aus",
                                 "Registerzeile &oben",
                                 "Registerzeile &unten",
                                 "-",
                                 "&Statuszeile",
                                 "-",
                                 "Bookmark &Archiv",
                                 "&Historie",
                                 "-",
                                 "Link-Ziele im voraus &cachen ein/aus",
                                 "-",
                                 "&E-Mail Anwendung",
                                 "-",
                                 "Korvix &Einstellungen...",
                                 "-",
                                 "&Microsoft Internet Eigenschaften...",
                                 "-",
                                 "&Fenster",
                                 "  &Untereinander",
                                 "  &Nebeneinander",
                                 "  &Kaskadiert",
                                 "  -",
                                 "  Anordnung &speichern",
                                 "  Anordnung &laden",
                                 "  -",
                                 "  HTML-Seiten &dürfen neue Fenster öffnen",
                                 "  HTML-Seiten dürfen ke&ine Fenster öffnen",
                                 "  Neue Fenster im Hinter&grund öffnen",
                                 "  -",
                                 "  &Aktives Fenster",
                                 "    &Adresszeile",
                                 "    &Toolbar",
                                 "    &Beides",
                                 "  -",
                                 "  Schließen",
                                 "  -",
                                 "  Alle Fenster &schließen...",
                                 "-",
                                 "&Beenden"}));
    describe(f->menu(FrameActions::TabContextMenu), QString(), &unused, &inContext);
    for (QAction* a : std::as_const(inContext)) {
        if (a != f->action(FrameActions::PrefetchLinks))
            QVERIFY2(inMenuBar.contains(a), qPrintable(a->text()));
    }
}

void TestFrame::contextChoicesTakeEffect_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("effect");
    QTest::newRow("popups behind") << "Neue Fenster im Hinter&grund öffnen"
                                   << "behind";
    QTest::newRow("no popups") << "HTML-Seiten dürfen ke&ine Fenster öffnen"
                               << "no popups";
    QTest::newRow("both bars") << "&Beides"
                               << "no bars";
    QTest::newRow("status bar") << "&Statuszeile"
                                << "no status bar";
}

// Chosen from the frame's context menu, as a user does it: the command takes
// effect and the menu bar shows the same check mark.
void TestFrame::contextChoicesTakeEffect() {
    QFETCH(QString, caption);
    QFETCH(QString, effect);
    MainFrame* f = newFrame();
    BrowserWindow* w = open();
    QMenu* context = f->menu(FrameActions::ContextMenu);
    emit context->aboutToShow();
    QList<QAction*> items;
    QStringList unused;
    describe(context, QString(), &unused, &items);
    QAction* chosen = nullptr;
    for (QAction* a : std::as_const(items))
        if (a->text() == caption)
            chosen = a;
    QVERIFY(chosen);
    const bool checkedBefore = chosen->isChecked();
    chosen->trigger();
    if (effect == QLatin1String("behind"))
        QVERIFY(f->registry()->popups().toBack());
    else if (effect == QLatin1String("no popups"))
        QVERIFY(!f->registry()->popups().allowed());
    else if (effect == QLatin1String("no bars"))
        QVERIFY(!w->coolBarVisible());
    else
        QVERIFY(f->statusBar()->isHidden());
    QVERIFY(chosen->isChecked() != checkedBefore || effect == QLatin1String("no popups"));
    emit f->menu(FrameActions::WindowMenu)->aboutToShow();
    QCOMPARE(chosen->isChecked(),
             effect != QLatin1String("no bars") && effect != QLatin1String("no status bar"));
}

void TestFrame::zoomSteps_data() {
    QTest::addColumn<QList<int>>("choices"); // 1 "Vergrößern", -1 "Verkleinern", 0 "Originalgröße"
    QTest::addColumn<double>("zoom");
    QTest::newRow("in") << QList<int>{1} << 1.1;
    QTest::newRow("in three times") << QList<int>{1, 1, 1} << 1.5;
    QTest::newRow("out twice") << QList<int>{-1, -1} << 0.8;
    QTest::newRow("up to 500 %") << QList<int>(20, 1) << 5.0;
    QTest::newRow("down to 25 %") << QList<int>(20, -1) << 0.25;
    QTest::newRow("in, out") << QList<int>{1, -1} << 1.0;
    QTest::newRow("reset") << QList<int>{1, 1, 0} << 1.0;
}

void TestFrame::zoomSteps() {
    QFETCH(QList<int>, choices);
    QFETCH(double, zoom);
    MainFrame* f = newFrame();
    BrowserWindow* w = open();
    BrowserWindow* other = open();
    f->registry()->area()->setActiveSubWindow(w);
    QMenu* zoomMenu = f->menu(FrameActions::ZoomMenu);
    QVERIFY(f->menu(FrameActions::ViewMenu)->actions().contains(zoomMenu->menuAction()));
    for (int choice : choices)
        f->action(choice > 0   ? FrameActions::ZoomIn
                  : choice < 0 ? FrameActions::ZoomOut
                               : FrameActions::ZoomReset)
            ->trigger();
    QCOMPARE(static_cast<FakeWebView*>(w->webView())->zoom, zoom);
    // Every window has a zoom of its own.
    QCOMPARE(static_cast<FakeWebView*>(other->webView())->zoom, 1.0);
    QCOMPARE(f->status()->zoom()->isVisible(), zoom != 1.0);
    if (zoom != 1.0)
        QCOMPARE(f->status()->zoom()->text(), QStringLiteral("Zoom: %1 %").arg(qRound(zoom * 100)));
    f->registry()->area()->setActiveSubWindow(other);
    QVERIFY(f->status()->zoom()->isHidden());
}

void TestFrame::endingHidesTheFrameBeforeThePagesGo() {
    MainFrame* f = newFrame();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    open();
    BrowserWindow* last = open();
    bool frameShownThen = true;
    connect(last, &QObject::destroyed, this, [&] { frameShownThen = f->isVisible(); });
    f->action(FrameActions::Exit)->trigger();
    QCOMPARE(f->registry()->count(), 0);
    QVERIFY(!frameShownThen);
}

QTEST_MAIN(TestFrame)
#include "tst_frame.moc"
