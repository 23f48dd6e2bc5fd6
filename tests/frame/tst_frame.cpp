#include "FakeWebView.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "browser/BrowserWindow.h"
#include "frame/MainFrame.h"
#include "frame/model/Arrangement.h"
#include "history/FrmHistory.h"
#include "mail/MailLauncher.h"
#include "prefs/FrmEinstell.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
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
    void contextItemsActLikeTheirTwins_data();
    void contextItemsActLikeTheirTwins();

private:
    QStringList afterChoosing(const QString& item, const QString& before, bool* enabled = nullptr);
    MainFrame* newFrame();
    BrowserWindow* open();
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<StartedApp> m_app;
};

void TestFrame::init() {
    BrowserWindow::bSuppressPopup = false;
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
    newFrame()->action(QStringLiteral("mn_Browser"))->trigger();
    return newFrame()->activeBrowser();
}

void TestFrame::keysAreNeverReused() {
    MainFrame* f = newFrame();
    BrowserWindow* a = open();
    BrowserWindow* b = open();
    QCOMPARE(a->ID, 1);
    QCOMPARE(b->ID, 2);
    QCOMPARE(f->browserByKey(QStringLiteral("[1]")), a);
    a->close();
    b->close();
    QCOMPARE(f->counter, 0);
    BrowserWindow* c = open();
    QCOMPARE(c->ID, 3);
    QCOMPARE(MainFrame::StrKey(c->ID), QStringLiteral("[3]"));
    QCOMPARE(f->browsers().size(), 1);
}

void TestFrame::limitOf300() {
    MainFrame* f = newFrame();
    QCOMPARE(f->MaxBrowser, 300);
    for (int i = 0; i < 300; ++i)
        f->NewBrowser();
    QCOMPARE(f->counter, 300);
    QVERIFY(m_dialogs->messages.isEmpty());
    f->action(QStringLiteral("mn_Browser"))->trigger();
    QCOMPARE(f->counter, 300);
    QCOMPARE(f->browsers().size(), 300);
    QCOMPARE(f->lastWindowNumber(), 300);
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages.first().text,
             QStringLiteral("Es sind nur maximal 300 gleichzeitig geöffnete Browser möglich !"));
    QCOMPARE(m_dialogs->messages.first().title, QStringLiteral("Meldung"));
    QCOMPARE(m_dialogs->messages.first().icon, QMessageBox::Information);
    // Room again after one closes.
    f->browsers().first()->close();
    f->action(QStringLiteral("mn_Browser"))->trigger();
    QCOMPARE(f->counter, 300);
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
    f->ToolbarView = toolbar;
    f->AdressView = adress;
    BrowserWindow* w = open();
    QCOMPARE(w->bandVisible(BrowserWindow::Band::Toolbar), toolbar);
    QCOMPARE(w->bandVisible(BrowserWindow::Band::Adress), adress);
    QCOMPARE(w->coolBarVisible(), coolBar);
    // An empty HistoryUrl starts the window on the home page.
    QCOMPARE(w->addressBox()->currentText(), f->prefs().HomeUrl);
    QCOMPARE(static_cast<FakeWebView*>(w->webView())->navigations, QStringList{f->prefs().HomeUrl});
}

void TestFrame::closeAllWithoutWindowsSaysNothing() {
    MainFrame* f = newFrame();
    f->mn_Alleschließen_Click();
    QVERIFY(m_dialogs->messages.isEmpty());
    open();
    open();
    f->mn_Alleschließen_Click();
    QCOMPARE(f->counter, 0);
    QVERIFY(f->browsers().isEmpty());
    QCOMPARE(f->tabStrip()->count(), 0);
}

void TestFrame::visitUrlWithEmptyAddress() {
    MainFrame* f = newFrame();
    f->AdressView = false;
    f->VisitUrl(QString(), true, true);
    QCOMPARE(f->counter, 0);
    QVERIFY(!f->AdressView);
    f->VisitUrl(QStringLiteral("http://example.org/"), false, false);
    QCOMPARE(f->counter, 1);
    QVERIFY(!f->browsers().first()->coolBarVisible());
    // The flags come back from the preferences afterwards.
    QVERIFY(f->AdressView);
    QVERIFY(f->ToolbarView);
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
    QCOMPARE(MainFrame::StrToCaption(in), out);
}

void TestFrame::tabFollowsTitle() {
    MainFrame* f = newFrame();
    f->mn_Register_Click();
    QVERIFY(f->bTabVisible);
    BrowserWindow* w = open();
    QVERIFY(!f->tabBar()->isHidden());
    const int i = f->tabIndexOf(w->ID);
    // A new tab shows the start address as it is.
    QCOMPARE(f->tabStrip()->tabText(i), f->prefs().HomeUrl);
    f->SetTapTitle(QStringLiteral("Fish & Chips"), w->ID);
    QCOMPARE(f->tabStrip()->tabText(i), QStringLiteral("Fish && Chips"));
    QCOMPARE(f->tabStrip()->tabToolTip(i), QStringLiteral("Fish && Chips"));
    // Empty titles and unknown keys change nothing.
    f->SetTapTitle(QString(), w->ID);
    f->SetTapTitle(QStringLiteral("x"), 0);
    QCOMPARE(f->tabStrip()->tabText(i), QStringLiteral("Fish && Chips"));

    // The page-state poll brings the page's title to caption and tab.
    auto* view = static_cast<FakeWebView*>(w->webView());
    view->finishLoad(QStringLiteral("http://example.org/"), QStringLiteral("Beispiel & Co"));
    QTRY_COMPARE(w->windowTitle(), QStringLiteral("Beispiel & Co"));
    QCOMPARE(f->tabStrip()->tabText(i), QStringLiteral("Beispiel && Co"));
}

void TestFrame::lastWindowClosedHidesTabBar() {
    MainFrame* f = newFrame();
    f->mn_Register_Click();
    BrowserWindow* w = open();
    QVERIFY(!f->tabBar()->isHidden());
    const QStringList positions = {
        QStringLiteral("mn_RegisterOben"), QStringLiteral("mn_RegisterUnten"),
        QStringLiteral("mn_ctxtRegisterOben"), QStringLiteral("mn_ctxtRegisterUnten")};
    for (const QString& n : positions)
        QVERIFY(f->action(n)->isEnabled());
    w->close();
    QVERIFY(f->tabBar()->isHidden());
    for (const QString& n : positions)
        QVERIFY2(!f->action(n)->isEnabled(), qPrintable(n));
    open();
    QVERIFY(!f->tabBar()->isHidden());
}

void TestFrame::tabClickActivatesWindow() {
    MainFrame* f = newFrame();
    f->mn_Register_Click();
    BrowserWindow* a = open();
    BrowserWindow* b = open();
    QCOMPARE(f->activeBrowser(), b);
    QCOMPARE(f->tabStrip()->currentIndex(), f->tabIndexOf(b->ID));
    static_cast<FakeWebView*>(a->webView())->url = QStringLiteral("http://a.example/");
    const QRect tabRect = f->tabStrip()->tabRect(f->tabIndexOf(a->ID));
    QTest::mouseClick(f->tabStrip(), Qt::LeftButton, {}, tabRect.center());
    QCOMPARE(f->activeBrowser(), a);
    // A window without a title yet shows its address on the tab.
    QCOMPARE(f->tabStrip()->tabText(f->tabIndexOf(a->ID)), QStringLiteral("http://a.example/"));
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
    QCOMPARE(MainFrame::tabStripOffset(buttons, align).value_or(12345), offset);
    QVERIFY(!MainFrame::tabStripOffset(buttons, 3).has_value());
}

void TestFrame::windowMenuStates() {
    MainFrame* f = newFrame();
    auto enabled = [f](const char* n) { return f->action(QString::fromUtf8(n))->isEnabled(); };
    f->MenuFenster();
    QVERIFY(!enabled("mn_Untereinander"));
    QVERIFY(!enabled("mn_Nebeneinander"));
    QVERIFY(!enabled("mn_Kaskadiert"));
    QVERIFY(!enabled("mn_Aktives"));
    QVERIFY(!enabled("mn_Aktivschließen"));
    QVERIFY(!enabled("mn_Alleschließen"));
    QVERIFY(enabled("mn_Anordnung_load"));
    // Only the archive window open: the same.
    f->bIsOpenBook = true;
    f->MenuFenster();
    QVERIFY(!enabled("mn_Kaskadiert"));
    QVERIFY(!enabled("mn_ctxtAlleschließen"));
    f->bIsOpenBook = false;

    BrowserWindow* w = open();
    f->MenuFenster();
    QVERIFY(enabled("mn_Kaskadiert"));
    QVERIFY(enabled("mn_ctxtAktivschließen"));
    QVERIFY(!enabled("mn_Anordnung_load"));
    w->showMaximized();
    f->MenuFenster();
    QVERIFY(!enabled("mn_Anordnung_save"));
    w->showNormal();
    f->MenuFenster();
    QVERIFY(enabled("mn_Anordnung_save"));
    // Only the toolbar band shown: "Beides" is not offered.
    w->setBandVisible(BrowserWindow::Band::Adress, false);
    f->MenuFenster();
    QVERIFY(!f->action(QStringLiteral("mn_beides"))->isVisible());
    QVERIFY(f->action(QStringLiteral("mn_toolbar"))->isChecked());
    QVERIFY(!f->action(QStringLiteral("mn_adresszeile"))->isChecked());
}

void TestFrame::historyMenuFromTwoEntries() {
    MainFrame* f = newFrame();
    QMenu* tools = f->menu(QStringLiteral("mn_Anzeige"));
    QAction* historie = f->action(QStringLiteral("mn_Historie"));
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
    QCOMPARE(f->History.count(), 2);
    QCOMPARE(f->History.at(1).Title, QStringLiteral("B"));
}

void TestFrame::popupSwitches() {
    MainFrame* f = newFrame();
    QAction* toBack = f->action(QStringLiteral("mn_PopupToBack"));
    toBack->trigger();
    QVERIFY(f->bPopupBackgrnd);
    QVERIFY(f->action(QStringLiteral("mn_ctxtPopupToBack"))->isChecked());
    f->action(QStringLiteral("mn_ctxtDisablePopup"))->trigger();
    QVERIFY(!f->bPopup);
    QVERIFY(f->action(QStringLiteral("mn_DisablePopup"))->isChecked());
    QVERIFY(!f->action(QStringLiteral("mn_EnablePopup"))->isChecked());
    // Disabled, but it keeps its check.
    QVERIFY(!toBack->isEnabled());
    QVERIFY(toBack->isChecked());
    f->action(QStringLiteral("mn_EnablePopup"))->trigger();
    QVERIFY(f->bPopup);
    QVERIFY(toBack->isEnabled());
    QVERIFY(f->action(QStringLiteral("mn_ctxtEnablePopup"))->isChecked());
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
    f->MenuFenster();
    f->action(QStringLiteral("mn_Nebeneinander"))->trigger();
    QVERIFY(f->action(QStringLiteral("mn_ctxtNebeneinander"))->isChecked());
    QVERIFY(!f->action(QStringLiteral("mn_Kaskadiert"))->isChecked());
    BrowserWindow* d = open();
    const QList<BrowserWindow*> all = f->browsers();
    QCOMPARE(all.size(), 4);
    QCOMPARE(d->height(), f->mdiArea()->viewport()->height());
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
    emit f->menu(QStringLiteral("mn_ctxt"))->aboutToShow();
    f->action(QStringLiteral("mn_ctxtKaskadiert"))->trigger();
    f->action(QStringLiteral("mn_ctxtBrowser"))->trigger();
    // From the history window: a window with both bars hidden.
    f->History.add(QStringLiteral("http://a.example/"), QStringLiteral("A"), 50);
    f->History.add(QStringLiteral("http://b.example/"), QStringLiteral("B"), 50);
    emit f->menu(QStringLiteral("mn_Anzeige"))->aboutToShow();
    f->action(QStringLiteral("mn_Historie"))->trigger();
    FrmHistory* h = f->historyWindow();
    const QPoint cell = h->grid()->visualItemRect(h->grid()->item(0, 0)).center();
    QTest::mouseClick(h->grid()->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(h->grid()->viewport(), Qt::LeftButton, {}, cell);
    h->close();
    for (int i = 0; i < 8; ++i)
        f->action(QStringLiteral("mn_Browser"))->trigger();
    QCOMPARE(f->counter, 12);
    const QRect area = f->mdiArea()->viewport()->rect();
    for (BrowserWindow* w : f->browsers()) {
        QVERIFY2(area.contains(w->geometry()),
                 qPrintable(QStringLiteral("window %1 at %2,%3 %4x%5 in %6x%7")
                                .arg(w->ID)
                                .arg(w->x())
                                .arg(w->y())
                                .arg(w->width())
                                .arg(w->height())
                                .arg(area.width())
                                .arg(area.height())));
        QVERIFY(w->width() >= area.width() * 2 / 3);
        QVERIFY(w->height() >= area.height() * 2 / 3);
    }
    QVERIFY(!f->browsers().at(3)->coolBarVisible());
    QVERIFY(!f->mdiArea()->horizontalScrollBar()->isVisible());
    QVERIFY(!f->mdiArea()->verticalScrollBar()->isVisible());
}

void TestFrame::dropOpensWindows() {
    MainFrame* f = newFrame();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/seite.html"))});
    f->openDropped(&data);
    QCOMPARE(f->counter, 1);
    QCOMPARE(static_cast<FakeWebView*>(f->browsers().last()->webView())->navigations,
             QStringList{QStringLiteral("/tmp/seite.html")});
    QMimeData link;
    link.setText(QStringLiteral("http://example.org/link"));
    f->openDropped(&link);
    QCOMPARE(f->counter, 2);
    QCOMPARE(static_cast<FakeWebView*>(f->browsers().last()->webView())->navigations,
             QStringList{QStringLiteral("http://example.org/link")});
    QMimeData nothing;
    nothing.setData(QStringLiteral("application/x-unknown"), "x");
    f->openDropped(&nothing);
    QCOMPARE(f->counter, 2);
}

void TestFrame::closeActiveWithCtrlF12() {
    MainFrame* f = newFrame();
    open();
    BrowserWindow* b = open();
    QPointer<BrowserWindow> guard(b);
    f->activateWindow();
    QTest::keyClick(f, Qt::Key_F12, Qt::ControlModifier);
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(f->counter, 1);
    QTest::keyClick(f, Qt::Key_F12);
    QCOMPARE(f->counter, 2);
}

void TestFrame::settingsApplyToFrame() {
    MainFrame* f = newFrame();
    open();
    QSignalSpy saved(f, &MainFrame::settingsSaved);
    m_dialogs->onModal = [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<FrmEinstell*>(w)) {
                d->findChild<QRadioButton*>(QStringLiteral("Option5"))->click();
                d->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(false);
                d->findChild<QPushButton*>(QStringLiteral("Save"))->click();
            }
        }
    };
    f->action(QStringLiteral("mn_ctxtEinstell"))->trigger();
    QCOMPARE(saved.count(), 1);
    QCOMPARE(f->nTabAlign, 2);
    QCOMPARE(f->toolBarArea(f->tabBar()), Qt::BottomToolBarArea);
    QVERIFY(f->statusBar()->isHidden());
    Prefer stored(m_app->dir());
    QString error;
    QVERIFY(stored.load(&error));
    QCOMPARE(int(stored.TabAlign), 2);
    QCOMPARE(int(stored.StatusBar), 0);
    // Cancelled: nothing changes.
    m_dialogs->onModal = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<FrmEinstell*>(w)) {
                d->findChild<QRadioButton*>(QStringLiteral("Option4"))->click();
                d->findChild<QPushButton*>(QStringLiteral("Quit"))->click();
            }
    };
    f->action(QStringLiteral("mn_Einstellungen"))->trigger();
    QCOMPARE(saved.count(), 1);
    QCOMPARE(f->nTabAlign, 2);
}

void TestFrame::contextItemsActLikeTheirTwins_data() {
    QTest::addColumn<QString>("contextItem");
    QTest::addColumn<QString>("menuItem");
    // Chosen first, where the item would otherwise find its state already.
    QTest::addColumn<QString>("before");
    const char* pairs[][3] = {
        {"mn_ctxtBrowser", "mn_Browser"},
        {"mn_ctxtSave", "mn_save"},
        {"mn_ctxtSend", "mn_send"},
        {"mn_ctxtPrint", "mn_print"},
        {"mn_ctxtPpreview", "mn_ppreview"},
        {"mn_ctxtRegister", "mn_Register"},
        {"mn_ctxtRegisterOben", "mn_RegisterOben", "mn_RegisterUnten"},
        {"mn_ctxtRegisterUnten", "mn_RegisterUnten"},
        {"mn_ctxtRegisterT", "mn_Register"},
        {"mn_ctxtRegisterObenT", "mn_RegisterOben", "mn_RegisterUnten"},
        {"mn_ctxtRegisterUntenT", "mn_RegisterUnten"},
        {"mn_ctxtStatus", "mn_Toggle"},
        {"mn_ctxtBookm", "mn_Bookmarks"},
        {"mn_ctxtHistorie", "mn_Historie"},
        {"mn_ctxtEmail", "mn_Email"},
        {"mn_ctxtEinstell", "mn_Einstellungen"},
        {"mn_ctxtUntereinander", "mn_Untereinander"},
        {"mn_ctxtNebeneinander", "mn_Nebeneinander"},
        {"mn_ctxtKaskadiert", "mn_Kaskadiert"},
        {"mn_ctxtAnordnung_save", "mn_Anordnung_save"},
        {"mn_ctxtAnordnung_load", "mn_Anordnung_load"},
        {"mn_ctxtEnablePopup", "mn_EnablePopup", "mn_DisablePopup"},
        {"mn_ctxtDisablePopup", "mn_DisablePopup"},
        {"mn_ctxtPopupToBack", "mn_PopupToBack"},
        {"mn_ctxtAdresszeile", "mn_adresszeile"},
        {"mn_ctxtToolbar", "mn_toolbar"},
        {"mn_ctxtBeides", "mn_beides"},
        {"mn_ctxtAktivschließen", "mn_Aktivschließen"},
        {"mn_ctxtAlleschließen", "mn_Alleschließen"},
        {"mn_ctxtExit", "mn_Exit"},
    };
    for (const auto& [context, twin, before] : pairs)
        QTest::newRow(context) << QString::fromUtf8(context) << QString::fromUtf8(twin)
                               << QString::fromUtf8(before ? before : "");
}

// What a choice leaves behind, from a frame with two windows, a loaded page
// and two history entries: every check mark, the frame's state, the windows
// and what was shown or sent.
QStringList TestFrame::afterChoosing(const QString& item, const QString& before, bool* enabled) {
    m_app.reset();
    m_dialogs.reset();
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_app = std::make_unique<StartedApp>();
    m_app->writePrefs([](Prefer& p) {
        p.StartBrowser = 0;
        p.TabStrip = -1;
    });
    MainFrame* f = m_app->start();
    QStringList mailed;
    MailLauncher::setUrlOpener([&mailed](const QUrl& url) {
        mailed << url.toString();
        return true;
    });
    open();
    auto* view = static_cast<FakeWebView*>(open()->webView());
    view->finishLoad(QStringLiteral("http://a.example/"), QStringLiteral("A"));
    view->finishLoad(QStringLiteral("http://b.example/"), QStringLiteral("B"));

    if (!before.isEmpty())
        f->action(before)->trigger();

    // The menus holding the item open first, as they do for a user.
    QAction* a = f->action(item);
    QList<QMenu*> menus;
    for (QObject* o : a->associatedObjects())
        for (auto* m = qobject_cast<QMenu*>(o); m; m = qobject_cast<QMenu*>(m->parentWidget()))
            menus.prepend(m);
    for (QMenu* m : menus)
        emit m->aboutToShow();
    if (enabled)
        *enabled = a->isEnabled();
    a->trigger();
    MailLauncher::setUrlOpener({});

    QStringList state;
    for (QAction* action : f->findChildren<QAction*>())
        if (action->objectName().startsWith(QStringLiteral("mn_")) && action->isCheckable())
            state << action->objectName() + (action->isChecked() ? QStringLiteral(" ✓") : "");
    state.sort();
    state << QStringLiteral("popup %1 back %2 status %3 tabs %4 align %5 windows %6")
                 .arg(f->bPopup)
                 .arg(f->bPopupBackgrnd)
                 .arg(f->StatusBarCurr)
                 .arg(f->bTabVisible)
                 .arg(f->nTabAlign)
                 .arg(f->counter);
    state << QStringLiteral("frame shown %1 tab bar %2 at %3 status bar %4 archive %5 history %6")
                 .arg(f->isVisible())
                 .arg(!f->tabBar()->isHidden())
                 .arg(int(f->toolBarArea(f->tabBar())))
                 .arg(!f->statusBar()->isHidden())
                 .arg(f->bIsOpenBook)
                 .arg(f->bIsOpenHistory);
    for (BrowserWindow* w : f->browsers())
        state << QStringLiteral("window %1 at %2,%3 %4x%5 bars %6%7%8 calls %9")
                     .arg(w->ID)
                     .arg(w->x())
                     .arg(w->y())
                     .arg(w->width())
                     .arg(w->height())
                     .arg(w->bandVisible(BrowserWindow::Band::Toolbar))
                     .arg(w->bandVisible(BrowserWindow::Band::Adress))
                     .arg(w->coolBarVisible())
                     .arg(static_cast<FakeWebView*>(w->webView())->calls.join(QLatin1Char(',')));
    for (const ScriptedDialogs::Shown& m : m_dialogs->messages)
        state << QStringLiteral("message ") + m.text;
    state << QStringLiteral("dialogs %1 files %2")
                 .arg(m_dialogs->modalRuns)
                 .arg(m_dialogs->fileCaptions.join(QLatin1Char(',')));
    state << mailed;
    return state;
}

void TestFrame::contextItemsActLikeTheirTwins() {
    QFETCH(QString, contextItem);
    QFETCH(QString, menuItem);
    QFETCH(QString, before);
    QVERIFY(newFrame()->action(contextItem));
    QCOMPARE(newFrame()->action(contextItem)->text(), newFrame()->action(menuItem)->text());
    bool enabled = false;
    const QStringList byMenuBar = afterChoosing(menuItem, before, &enabled);
    const QStringList byContextMenu = afterChoosing(contextItem, before);
    QCOMPARE(byContextMenu, byMenuBar);
    // An item the menu offers did something (or showed its dialog), so the
    // comparison is not between two untouched frames.
    if (enabled)
        QVERIFY2(byMenuBar != afterChoosing(QStringLiteral("mn_ctxtFcache"), before),
                 qPrintable(menuItem));
}

QTEST_MAIN(TestFrame)
#include "tst_frame.moc"
