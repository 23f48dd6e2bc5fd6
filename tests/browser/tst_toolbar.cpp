#include "FakeBrowserHost.h"
#include "FakeWebView.h"
#include "Keyboard.h"
#include "ScriptedDialogs.h"
#include "ToolbarClicks.h"
#include "browser/BrowserToolbar.h"
#include "browser/BrowserWindow.h"
#include "browser/RefreshDialog.h"
#include "common/Twips.h"
#include "prefs/model/Prefer.h"
#include "ui/IconCache.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMetaEnum>
#include <QStorageInfo>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QUrlQuery>

// The toolbar of a browser window, its button menus, the refresh dialog and
// the lock.
class TestToolbar : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void suppressionAfterEachButton_data();
    void suppressionAfterEachButton();
    void suppressionAfterEachMenuChoice_data();
    void suppressionAfterEachMenuChoice();
    void getHomeWritesPreferences();
    void driveMenu();
    void sendUrlEncodesTitle();
    void cloneOpensSamePage();
    void refreshDialog_data();
    void refreshDialog();
    void refreshIntervalsPerWindow();
    void lockAndTooltip();
    void buttonsShowTheStyleIcons_data();
    void buttonsShowTheStyleIcons();

private:
    BrowserWindow* open() { return m_host->open(); }
    FakeWebView* view(BrowserWindow* w) { return static_cast<FakeWebView*>(w->webView()); }
    // Chooses an entry of a button's menu as the user does.
    void choose(BrowserWindow* w, BrowserToolbar::Command command);
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<FakeBrowserHost> m_host;
    QString m_styleName;
};

void TestToolbar::initTestCase() {
    m_styleName = QApplication::style()->name();
    // As the program does at its start.
    installIconCache();
}

void TestToolbar::init() {
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_host = std::make_unique<FakeBrowserHost>();
}

void TestToolbar::cleanup() {
    m_host.reset();
    m_dialogs.reset();
}

void TestToolbar::choose(BrowserWindow* w, BrowserToolbar::Command command) {
    QVERIFY2(chooseMenuEntry(w, command),
             QMetaEnum::fromType<BrowserToolbar::Command>().valueToKey(int(command)));
}

void TestToolbar::suppressionAfterEachButton_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("suppressed");
    for (const char* key : {"Back", "Forward", "Refresh", "Home", "Search", "Mail", "Sendurl",
                            "Bookm", "Save", "Print"})
        QTest::newRow(key) << QString::fromLatin1(key) << true;
    // The clone is a new window, and a window that loads lifts the suppression.
    QTest::newRow("Clone") << QStringLiteral("Clone") << false;
    QTest::newRow("Stop") << QStringLiteral("Stop") << false;
    QTest::newRow("Drive") << QStringLiteral("Drive") << false;
}

void TestToolbar::suppressionAfterEachButton() {
    QFETCH(QString, key);
    QFETCH(bool, suppressed);
    BrowserWindow* w = open();
    m_host->popups().suppressNext(true);
    w->toolBar()->findChild<QToolButton*>(key)->click();
    QCOMPARE(m_host->popups().suppressed(), suppressed);
    QVERIFY(w->isBusyShown() || key == QLatin1String("Stop"));
}

void TestToolbar::suppressionAfterEachMenuChoice_data() {
    using C = BrowserToolbar::Command;
    QTest::addColumn<C>("command");
    QTest::addColumn<bool>("suppressed");
    for (C c : {C::RoundTrip, C::TakeAsHome, C::OpenAllLinks, C::PrintPreview, C::PrintFromMenu,
                C::RefreshInterval, C::CloseAllWindows})
        QTest::newRow(QMetaEnum::fromType<C>().valueToKey(int(c))) << c << true;
    // These open a window, whose load lifts the suppression again.
    QTest::newRow("CloneWindow") << C::CloneWindow << false;
    QTest::newRow("NewWindow") << C::NewWindow << false;
}

void TestToolbar::suppressionAfterEachMenuChoice() {
    QFETCH(BrowserToolbar::Command, command);
    QFETCH(bool, suppressed);
    BrowserWindow* w = open();
    m_host->popups().suppressNext(false);
    choose(w, command);
    QCOMPARE(m_host->popups().suppressed(), suppressed);
}

void TestToolbar::getHomeWritesPreferences() {
    BrowserWindow* w = open();
    view(w)->finishLoad(QStringLiteral("http://neu.example/start"), QStringLiteral("Neu"));
    choose(w, BrowserToolbar::Command::TakeAsHome);
    QCOMPARE(w->toolBar()->findChild<QToolButton*>(QStringLiteral("Home"))->toolTip(),
             QStringLiteral("http://neu.example/start"));
    Prefer saved(m_host->folder.path());
    QString error;
    QVERIFY(saved.load(&error));
    QCOMPARE(saved.HomeUrl, QStringLiteral("http://neu.example/start"));
    // A new window's Home button shows it too.
    BrowserWindow* second = open();
    QCOMPARE(second->toolBar()->findChild<QToolButton*>(QStringLiteral("Home"))->toolTip(),
             QStringLiteral("http://neu.example/start"));
}

void TestToolbar::driveMenu() {
    BrowserWindow* w = open();
    QMenu* menu = w->toolBar()->findChild<QToolButton*>(QStringLiteral("Drive"))->menu();
    menu->popup(w->mapToGlobal(QPoint()));
    menu->hide();
    int entries = 0, separators = 0;
    const QList<QAction*> actions = menu->actions();
    for (int i = 0; i < actions.size(); ++i) {
        if (actions[i]->isSeparator()) {
            ++separators;
            // Never first, last, or two in a row.
            QVERIFY(i > 0 && i + 1 < actions.size() && !actions[i + 1]->isSeparator());
        } else {
            ++entries;
        }
    }
    QVERIFY(entries >= 1);
    QCOMPARE(separators, entries - 1);
    // Choosing the root entry shows that folder.
    QAction* root = nullptr;
    for (QAction* a : actions)
        if (a->text().startsWith(QLatin1Char('/')) &&
            a->text().section(QLatin1Char(' '), 0, 0) == "/")
            root = a;
    QVERIFY(root);
    root->trigger();
    QCOMPARE(view(w)->navigations.last(), QStringLiteral("file:///"));
}

void TestToolbar::sendUrlEncodesTitle() {
    BrowserWindow* w = open();
    view(w)->finishLoad(QStringLiteral("http://a.example/?x=1&y=2"),
                        QStringLiteral("Fish & Chips"));
    w->toolBar()->findChild<QToolButton*>(QStringLiteral("Sendurl"))->click();
    const QUrl mail(view(w)->navigations.last());
    QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
    const QUrlQuery query(mail);
    QCOMPARE(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
             QStringLiteral("Fish & Chips"));
    QCOMPARE(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
             QStringLiteral("http://a.example/?x=1&y=2"));
}

void TestToolbar::cloneOpensSamePage() {
    BrowserWindow* w = open();
    view(w)->finishLoad(QStringLiteral("http://c.example/"), QStringLiteral("C"));
    w->toolBar()->findChild<QToolButton*>(QStringLiteral("Clone"))->click();
    QCOMPARE(m_host->opened.size(), 1);
    QCOMPARE(m_host->opened.first().address, QStringLiteral("http://c.example/"));
    // "Neuer Browser..." of the same menu asks for a window on no address.
    choose(w, BrowserToolbar::Command::NewWindow);
    QCOMPARE(m_host->opened.size(), 2);
    QCOMPARE(m_host->opened.last().address, QString());
}

void TestToolbar::refreshDialog_data() {
    QTest::addColumn<int>("seconds");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("action"); // 0 close as is, 1 tick, 2 clear
    QTest::addColumn<int>("result");
    QTest::newRow("off, closed as is") << 0 << false << "3" << 0 << 0;
    QTest::newRow("off, ticked gives 3 s") << 0 << false << "3" << 1 << 3;
    QTest::newRow("65 shows 65") << 65 << true << "65" << 0 << 65;
    QTest::newRow("cleared with Escape") << 10 << true << "10" << 2 << 0;
}

void TestToolbar::refreshDialog() {
    QFETCH(int, seconds);
    QFETCH(bool, ticked);
    QFETCH(QString, selected);
    QFETCH(int, action);
    QFETCH(int, result);
    RefreshDialog dialog(seconds, QPoint(10, 10));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Refresh-Intervall"));
    QCOMPARE(dialog.check()->isChecked(), ticked);
    QCOMPARE(dialog.list()->currentText(), selected);
    QCOMPARE(dialog.list()->count(), 65);
    QCOMPARE(dialog.height(), twipsToPx(ticked ? 1500 : 900));
    dialog.show();
    if (action == 1)
        dialog.check()->click();
    if (action == 2)
        dialog.check()->click();
    QCOMPARE(dialog.height(), twipsToPx(dialog.check()->isChecked() ? 1500 : 900));
    QVERIFY(Keyboard::activate(&dialog));
    QVERIFY(Keyboard::press(Qt::Key_Escape));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.seconds(), result);
}

void TestToolbar::refreshIntervalsPerWindow() {
    BrowserWindow* a = open();
    BrowserWindow* b = open();
    a->setRefreshSeconds(5);
    b->setRefreshSeconds(65);
    QCOMPARE(a->refreshInterval(), 5000);
    QCOMPARE(b->refreshInterval(), 65000);
    QVERIFY(a->isRefreshing() && b->isRefreshing());
    // The dialog (answered without changes here) keeps a window's interval.
    choose(a, BrowserToolbar::Command::RefreshInterval);
    QCOMPARE(a->refreshSeconds(), 5);
    QVERIFY(a->isRefreshing());
    a->toolBar()->findChild<QToolButton*>(QStringLiteral("Stop"))->click();
    QVERIFY(!a->isRefreshing());
    QCOMPARE(a->refreshSeconds(), 0);
    QVERIFY(b->isRefreshing());
    // A new page does not switch it on again.
    view(a)->finishLoad(QStringLiteral("http://n.example/"), QStringLiteral("N"));
    QVERIFY(!a->isRefreshing());
}

void TestToolbar::lockAndTooltip() {
    BrowserWindow* w = open();
    FakeWebView* v = view(w);
    emit v->secureLevelChanged(6);
    v->finishLoad(QStringLiteral("https://s.example/"), QStringLiteral("S"));
    QTRY_VERIFY(!w->isBusyShown());
    QCOMPARE(w->animPicture()->toolTip(), QStringLiteral("Verschlüsselt mit 128 Bit"));
    // While the next page loads the old text stays; a plain page clears it.
    // As the engine tells it: the page is busy, then its load starts.
    v->setBusy(true);
    emit v->beforeNavigate(QStringLiteral("http://p.example/"));
    QVERIFY(w->isBusyShown());
    QCOMPARE(w->animPicture()->toolTip(), QStringLiteral("Verschlüsselt mit 128 Bit"));
    emit v->secureLevelChanged(0);
    v->finishLoad(QStringLiteral("http://p.example/"), QStringLiteral("P"));
    QTRY_VERIFY(!w->isBusyShown());
    QCOMPARE(w->animPicture()->toolTip(), QString());
    v->setBusy(true);
    emit v->beforeNavigate(QStringLiteral("https://m.example/"));
    emit v->secureLevelChanged(1);
    v->finishLoad(QStringLiteral("https://m.example/"), QStringLiteral("M"));
    QTRY_VERIFY(!w->isBusyShown());
    QCOMPARE(w->animPicture()->toolTip(), QStringLiteral("Mehrfache Verschlüsselung"));
}

void TestToolbar::buttonsShowTheStyleIcons_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("standardIcon");
    QTest::newRow("back") << "Back" << int(QStyle::SP_ArrowBack);
    QTest::newRow("stop") << "Stop" << int(QStyle::SP_BrowserStop);
    QTest::newRow("drive") << "Drive" << int(QStyle::SP_DriveHDIcon);
    QTest::newRow("print") << "Print" << int(QStyle::SP_FileIcon);
    // Asked for by the tool bar with a style option of its own.
    QTest::newRow("extension") << "qt_toolbar_ext_button"
                               << int(QStyle::SP_ToolBarHorizontalExtensionButton);
}

// The icons are read from the style only when they are first drawn, and
// only in the sizes drawn; what the buttons of the first and the second
// window draw, in every look and size, is what the style itself draws.
void TestToolbar::buttonsShowTheStyleIcons() {
    QFETCH(QString, key);
    QFETCH(int, standardIcon);
    const std::unique_ptr<QStyle> plain(QStyleFactory::create(m_styleName));
    QVERIFY(plain);
    const QIcon expected = plain->standardIcon(QStyle::StandardPixmap(standardIcon));
    for (int i = 0; i < 2; ++i) {
        BrowserWindow* w = open();
        w->show();
        QToolButton* button = w->findChild<QToolButton*>(key);
        QVERIFY(button);
        const QIcon icon = button->icon();
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.availableSizes(), expected.availableSizes());
        for (const QSize size : {button->iconSize(), QSize(16, 16), QSize(40, 40), QSize(200, 100)})
            for (const QIcon::Mode mode :
                 {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected}) {
                const QString what = QStringLiteral("%1x%2 look %3")
                                         .arg(size.width())
                                         .arg(size.height())
                                         .arg(int(mode));
                QCOMPARE(icon.actualSize(size, mode), expected.actualSize(size, mode));
                const QImage drawn = icon.pixmap(size, mode).toImage();
                QVERIFY2(!drawn.isNull(), qPrintable(what));
                QVERIFY2(drawn == expected.pixmap(size, mode).toImage(), qPrintable(what));
            }
    }
}

QTEST_MAIN(TestToolbar)
#include "tst_toolbar.moc"
