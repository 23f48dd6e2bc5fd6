#include "FakeWebView.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "browser/BrowserWindow.h"
#include "frame/BatchOpening.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameActions.h"
#include "frame/FrameTabs.h"
#include "frame/MainFrame.h"
#include "frame/PageSleep.h"
#include "frame/TabBar.h"
#include "frame/ToolWindows.h"
#include "frame/WindowLayouts.h"
#include "frame/model/LayoutFile.h"
#include "prefs/model/Prefer.h"

#include "shell/OpenRequest.h"
#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMdiArea>
#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <algorithm>

// Saving the open windows to a layout file and opening them again, through
// the frame's menu and at start-up.
class TestLayouts : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void saveAndLoadThroughMenus();
    void itemRules_data();
    void itemRules();
    void noWindowGivesEmptyFile();
    void startUpOpensLayout();
    void unreadableLayoutIsReported();
    void windowsComeInTurns();
    void maximizedLayoutLoadsTheTopWindowFirst();
    void maximizedLayoutLoadsTheTopWindowFirst_data();
    void closingAllDropsTheRest();
    void closingAllDropsTheRest_data();
    void closingManyKeepsTheFrameAnswering();

private:
    BrowserWindow* open(const QString& url);
    // Plain windows on addresses of their own, or maximized ones over `sites`.
    QString writeLayout(int windows, int sites = 0);
    QString path(const QString& name) const { return QDir(m_app->dir()).filePath(name); }
    MainFrame* frame() { return m_app->frame(); }
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<StartedApp> m_app;
};

void TestLayouts::init() {
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_app = std::make_unique<StartedApp>();
    m_app->writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    m_app->start();
    frame()->resize(1000, 800);
}

void TestLayouts::cleanup() {
    FakeWebView::teardownCostMs = 0;
    m_app.reset();
    m_dialogs.reset();
}

BrowserWindow* TestLayouts::open(const QString& url) {
    frame()->registry()->visit(OpenRequest::withBars(url, true, true));
    BrowserWindow* w = frame()->registry()->activeWindow();
    static_cast<FakeWebView*>(w->webView())->finishLoad(url, url);
    return w;
}

QString TestLayouts::writeLayout(int windows, int sites) {
    QList<LayoutItem> items;
    for (int i = 0; i < windows; ++i) {
        LayoutItem item;
        if (sites > 0) {
            // Maximized, each site's windows spread over the file.
            item.url = QStringLiteral("http://s%1.example/%2").arg(i % sites).arg(i);
            item.width = 6000;
            item.height = 4000;
            item.state = 2;
        } else {
            item.url = QStringLiteral("http://w%1.example/").arg(i);
        }
        items << item;
    }
    const QString name = path(QStringLiteral("viele.wlt"));
    QString error;
    return LayoutFile::save(name, items, &error) ? name : QString();
}

void TestLayouts::saveAndLoadThroughMenus() {
    BrowserWindow* a = open(QStringLiteral("http://a.example/"));
    BrowserWindow* b = open(QStringLiteral("http://b.example/"));
    BrowserWindow* c = open(QStringLiteral("http://c.example/"));
    a->setGeometry(10, 20, 300, 200);
    b->setGeometry(40, 50, 320, 240);
    b->setBothBands(false);
    c->setBandVisible(BrowserWindow::Band::Adress, false);
    m_dialogs->fileNames << path(QStringLiteral("drei.wlt"));
    frame()->action(FrameActions::SaveLayout)->trigger();
    QCOMPARE(QFileInfo(path(QStringLiteral("drei.wlt"))).size(), 1548);

    m_dialogs->fileNames << path(QStringLiteral("drei.wlt"));
    frame()->action(FrameActions::LoadLayout)->trigger();
    QVERIFY(batchOpened(frame()));
    QCOMPARE(m_dialogs->fileCaptions.last(), QStringLiteral("Anordnung laden..."));
    // The old windows are gone; three new ones took their place.
    const QList<BrowserWindow*> all = frame()->registry()->windows();
    QCOMPARE(all.size(), 3);
    QCOMPARE(all[0]->id(), 4);
    QCOMPARE(static_cast<FakeWebView*>(all[0]->webView())->navigations,
             QStringList{QStringLiteral("http://a.example/")});
    QCOMPARE(all[0]->geometry(), QRect(10, 20, 300, 200));
    QCOMPARE(all[1]->geometry(), QRect(40, 50, 320, 240));
    QVERIFY(!all[1]->coolBarVisible());
    QVERIFY(all[2]->bandVisible(BrowserWindow::Band::Toolbar));
    QVERIFY(!all[2]->bandVisible(BrowserWindow::Band::Adress));
    QVERIFY(all[2]->coolBarVisible());
    QVERIFY(m_dialogs->messages.isEmpty());
}

void TestLayouts::itemRules_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("maximized");
    QTest::addColumn<QSize>("size");
    QTest::newRow("width 0 keeps the default size") << 0 << 0 << false << QSize(640, 480);
    QTest::newRow("maximized after its normal geometry") << 4500 << 2 << true << QSize(300, 200);
    QTest::newRow("normal") << 4500 << 0 << false << QSize(300, 200);
}

void TestLayouts::itemRules() {
    QFETCH(int, width);
    QFETCH(int, state);
    QFETCH(bool, maximized);
    QFETCH(QSize, size);
    LayoutItem item;
    item.url = QStringLiteral("http://x.example/");
    item.left = item.top = 150;
    item.width = width;
    item.height = 3000;
    item.state = qint16(state);
    QString error;
    QVERIFY(LayoutFile::save(path(QStringLiteral("eins.wlt")), {item}, &error));
    m_dialogs->fileNames << path(QStringLiteral("eins.wlt"));
    frame()->action(FrameActions::LoadLayout)->trigger();
    QVERIFY(batchOpened(frame()));
    BrowserWindow* w = frame()->registry()->windows().last();
    QCOMPARE(w->isMaximized(), maximized);
    if (maximized)
        w->showNormal();
    QCOMPARE(w->size(), size);
    QCOMPARE(static_cast<FakeWebView*>(w->webView())->navigations,
             QStringList{QStringLiteral("http://x.example/")});
}

void TestLayouts::noWindowGivesEmptyFile() {
    QVERIFY(WindowLayouts::save(*frame()->registry(), path(QStringLiteral("leer.wlt")), frame()));
    QVERIFY(QFileInfo::exists(path(QStringLiteral("leer.wlt"))));
    QCOMPARE(QFileInfo(path(QStringLiteral("leer.wlt"))).size(), 0);
    QVERIFY(WindowLayouts::load(*frame()->tools(), path(QStringLiteral("leer.wlt")), frame()));
    QCOMPARE(frame()->registry()->batches().queued(), 0);
    QCOMPARE(frame()->registry()->count(), 0);
    // A name that does not exist is created empty and opens nothing.
    QVERIFY(WindowLayouts::load(*frame()->tools(),
                                QStringLiteral(" ") + path(QStringLiteral("neu.wlt")), frame()));
    QVERIFY(QFileInfo::exists(path(QStringLiteral("neu.wlt"))));
    QCOMPARE(frame()->registry()->batches().queued(), 0);
    QCOMPARE(frame()->registry()->count(), 0);
}

void TestLayouts::startUpOpensLayout() {
    m_app.reset();
    m_app = std::make_unique<StartedApp>();
    LayoutItem a;
    a.url = QStringLiteral("http://a.example/");
    a.width = 4500;
    a.height = 3000;
    LayoutItem b = a;
    b.url = QStringLiteral("http://b.example/");
    b.toolbar = b.adress = false;
    QString error;
    QVERIFY(LayoutFile::save(path(QStringLiteral("start.wlt")), {a, b}, &error));
    m_app->writePrefs([](Prefer& p) {
        p.StartBrowser = -1;
        p.LoadOption = 2;
        p.Layout = QStringLiteral("start.wlt");
        p.TabStrip = -1;
    });
    MainFrame* f = m_app->start();
    QVERIFY(batchOpened(f));
    // The start window stays; the layout adds its two.
    QCOMPARE(f->registry()->count(), 3);
    QCOMPARE(static_cast<FakeWebView*>(f->registry()->windows().at(2)->webView())->navigations,
             QStringList{QStringLiteral("http://b.example/")});
    QVERIFY(!f->registry()->windows().at(2)->coolBarVisible());
    QVERIFY(m_dialogs->messages.isEmpty());
}

void TestLayouts::unreadableLayoutIsReported() {
    QVERIFY(QDir(m_app->dir()).mkdir(QStringLiteral("ordner.wlt")));
    QVERIFY(!WindowLayouts::load(*frame()->tools(), path(QStringLiteral("ordner.wlt")), frame()));
    QCOMPARE(m_dialogs->messages.size(), 1);
    QVERIFY(m_dialogs->messages.first().text.startsWith(
        QStringLiteral("Fehler beim lesen der Datei !")));
    QCOMPARE(frame()->registry()->count(), 0);
}

void TestLayouts::windowsComeInTurns() {
    constexpr int Windows = 120;
    const QString name = writeLayout(Windows);
    QVERIFY(!name.isEmpty());
    // What else the program has to do gets its turn while the windows come.
    QList<int> seen;
    QTimer other;
    connect(&other, &QTimer::timeout, [&] { seen << frame()->registry()->count(); });
    other.start(0);
    QVERIFY(WindowLayouts::load(*frame()->tools(), name, frame()));
    QCOMPARE(frame()->registry()->count(), 0);
    QCOMPARE(frame()->registry()->batches().queued(), Windows);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    QVERIFY(batchOpened(frame()));
    other.stop();
    QCOMPARE(frame()->registry()->count(), Windows);
    QVERIFY2(std::any_of(seen.cbegin(), seen.cend(), [](int n) { return n > 0 && n < Windows; }),
             "nothing else ran while the windows came");
    QVERIFY(!QApplication::overrideCursor());
    // Every window loads its own address.
    const QList<BrowserWindow*> windows = frame()->registry()->windows();
    const auto navigations = [&windows](int i) {
        return static_cast<FakeWebView*>(windows.at(i)->webView())->navigations;
    };
    for (int i = 0; i < Windows; ++i)
        QTRY_COMPARE_WITH_TIMEOUT(navigations(i),
                                  QStringList{QStringLiteral("http://w%1.example/").arg(i)}, 20000);
}

void TestLayouts::maximizedLayoutLoadsTheTopWindowFirst() {
    QFETCH(qint64, memoryUsed);
    QFETCH(int, atOnce);
    constexpr int Windows = 24;
    constexpr int Sites = 3;
    BrowserRegistry* registry = frame()->registry();
    registry->sleep().policy().memoryBudgetBytes = 1000;
    registry->sleep().setMemoryProbe([memoryUsed] { return memoryUsed; });
    // The top window's page is on its way before any window of the batch
    // stands, and it may well have come before its window is shown.
    const QString top = QStringLiteral("http://s2.example/23");
    QStringList earlyLoads;
    connect(registry, &BrowserRegistry::windowAdded, this, [&] {
        if (registry->count() != 1)
            return;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* w = qobject_cast<BrowserWindow*>(widget);
            if (w && !registry->windows().contains(w)) {
                auto* view = static_cast<FakeWebView*>(w->webView());
                earlyLoads << view->navigations;
                view->finishLoad(top, QStringLiteral("Oben"));
            }
        }
    });
    QVERIFY(WindowLayouts::load(*frame()->tools(), writeLayout(Windows, Sites), frame()));
    QTRY_COMPARE(registry->batches().queued(), 0);
    QCOMPARE(earlyLoads, QStringList{top});
    const QList<BrowserWindow*> windows = registry->windows();
    QCOMPARE(windows.size(), Windows);
    // Only the last window is maximized and in sight; its page comes alone.
    QVERIFY(windows.last()->isMaximized());
    QVERIFY(!windows.first()->isMaximized());
    QList<FakeWebView*> views;
    for (BrowserWindow* w : windows)
        views << static_cast<FakeWebView*>(w->webView());
    QCOMPARE(views.last()->navigations, QStringList{top});
    // Its tab and caption name the page that came.
    QTRY_COMPARE(windows.last()->windowTitle(), QStringLiteral("Oben"));
    TabBar* tabs = frame()->tabs()->bar();
    QCOMPARE(tabs->tabs()->tabText(tabs->indexOf(windows.last()->id())), QStringLiteral("Oben"));
    const auto started = [&views] {
        QList<int> order;
        for (int i = 0; i < views.size(); ++i)
            if (!views.at(i)->navigations.isEmpty())
                order << i;
        return order;
    };
    // Then the hidden ones, a few at a time; each gets its own address once.
    QTRY_VERIFY(started().size() > 1);
    QCOMPARE(started().size(), 1 + atOnce);
    // Those that have come make way for the next at once, not with the
    // next look.
    QList<int> order = started();
    order.removeOne(Windows - 1);
    for (int i : std::as_const(order))
        views.at(i)->finishLoad(views.at(i)->navigations.first(), QStringLiteral("Seite"));
    QCoreApplication::processEvents();
    QVERIFY(started().size() > 1 + atOnce);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (int i = 0; i < Windows - 1; ++i) {
                FakeWebView* v = views.at(i);
                if (v->navigations.isEmpty() || v->hasDoc)
                    continue;
                v->finishLoad(v->navigations.first(), QStringLiteral("Seite"));
                order << i;
            }
            return order.size() == Windows - 1;
        }(),
        20000);
    for (int i = 0; i < Windows; ++i)
        QCOMPARE(views.at(i)->navigations.size(), 1);
    // A site's windows one after another, so its renderer can end.
    std::sort(order.begin(), order.end(), [&views](int a, int b) {
        return views.at(a)->firstNavigation < views.at(b)->firstNavigation;
    });
    QStringList sites;
    for (int i : std::as_const(order)) {
        const QString site = QString::number(i % Sites);
        if (sites.isEmpty() || sites.last() != site)
            sites << site;
    }
    QCOMPARE(sites.size(), Sites);
    // Each hidden page goes to sleep once it has come, so the renderer of
    // a site whose pages all came can end.
    const auto asleep = [&views] {
        return int(std::count_if(views.cbegin(), views.cend(), [](const FakeWebView* v) {
            return v->state == Lifecycle::State::Discarded;
        }));
    };
    QTRY_COMPARE(asleep(), Windows - 1);
}

void TestLayouts::maximizedLayoutLoadsTheTopWindowFirst_data() {
    QTest::addColumn<qint64>("memoryUsed");
    QTest::addColumn<int>("atOnce");
    QTest::newRow("memory to spare") << qint64(100) << 4;
    QTest::newRow("short of memory") << qint64(5000) << 2;
}

void TestLayouts::closingAllDropsTheRest() {
    QFETCH(int, sites);
    QSignalSpy done(&frame()->registry()->batches(), &BatchOpening::finished);
    QVERIFY(WindowLayouts::load(*frame()->tools(), writeLayout(20, sites), frame()));
    QTRY_VERIFY(frame()->registry()->count() >= 2);
    emit frame()->menu(FrameActions::WindowMenu)->aboutToShow();
    frame()->action(FrameActions::CloseAllWindows)->trigger();
    QCOMPARE(frame()->registry()->batches().queued(), 0);
    QCOMPARE(done.size(), 1);
    QVERIFY(!QApplication::overrideCursor());
    QTRY_COMPARE(frame()->registry()->count(), 0);
    QTest::qWait(50);
    QCOMPARE(frame()->registry()->count(), 0);
    // The top window, made ahead of its turn, went with the rest.
    const QWidgetList left = QApplication::topLevelWidgets();
    QVERIFY(std::none_of(left.cbegin(), left.cend(),
                         [](QWidget* w) { return qobject_cast<BrowserWindow*>(w); }));
}

void TestLayouts::closingManyKeepsTheFrameAnswering() {
    constexpr int Windows = 40;
    QVERIFY(WindowLayouts::load(*frame()->tools(), writeLayout(Windows), frame()));
    QVERIFY(batchOpened(frame()));
    // Counts the turns of the event loop and the windows torn down in each.
    int turn = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&turn] { ++turn; });
    ticker.start(0);
    QList<QPointer<BrowserWindow>> windows;
    QHash<int, int> goneInTurn;
    for (BrowserWindow* w : frame()->registry()->windows()) {
        windows << w;
        connect(w, &QObject::destroyed, this, [&] { ++goneInTurn[turn]; });
    }
    FakeWebView::teardownCostMs = 2;
    emit frame()->menu(FrameActions::WindowMenu)->aboutToShow();
    frame()->action(FrameActions::CloseAllWindows)->trigger();
    // Out of the registry and out of sight at once...
    QCOMPARE(frame()->registry()->count(), 0);
    QVERIFY(std::all_of(windows.cbegin(), windows.cend(),
                        [](const QPointer<BrowserWindow>& w) { return w->isHidden(); }));
    QVERIFY(frame()->registry()->area()->subWindowList().isEmpty());
    // ...and torn down a few per turn, while other work gets its turn.
    QTRY_VERIFY(std::all_of(windows.cbegin(), windows.cend(),
                            [](const QPointer<BrowserWindow>& w) { return w.isNull(); }));
    const QList<int> counts = goneInTurn.values();
    QVERIFY2(*std::max_element(counts.cbegin(), counts.cend()) < Windows,
             qPrintable(QString::number(counts.size())));
}

void TestLayouts::closingAllDropsTheRest_data() {
    QTest::addColumn<int>("sites");
    QTest::newRow("plain windows") << 0;
    QTest::newRow("maximized windows") << 2;
}

QTEST_MAIN(TestLayouts)
#include "tst_layouts.moc"
