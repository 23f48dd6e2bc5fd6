#include "FakeWebView.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "app/FrmAbout.h"
#include "browser/BrowserWindow.h"
#include "common/Twips.h"
#include "frame/MainFrame.h"
#include "history/FrmHistory.h"
#include "history/model/HistoryRules.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QTableWidget>
#include <QTest>

// The history window through its grid and menu, and the about window.
class TestFrmHistory : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void rowsAndSelection_data();
    void rowsAndSelection();
    void dateSortsDayFirst();
    void sortRules_data();
    void sortRules();
    void headerSortsAndOpensNothing();
    void copyOnlyInAddressColumn();
    void doubleClickOpensWithoutBars();
    void enterTakesAddressAndCloses();
    void springsBackToMinimum();
    void columnWidths();
    void columnsFitWhenFirstShown();
    void aboutClosesOnFocusLoss();

private:
    FrmHistory* openHistory();
    MainFrame* frame() { return m_app->frame(); }
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<StartedApp> m_app;
};

void TestFrmHistory::init() {
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_app = std::make_unique<StartedApp>();
    m_app->writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    m_app->start();
}

void TestFrmHistory::cleanup() {
    m_app.reset();
    m_dialogs.reset();
}

FrmHistory* TestFrmHistory::openHistory() {
    frame()->mn_Historie_Click();
    return frame()->historyWindow();
}

void TestFrmHistory::rowsAndSelection_data() {
    QTest::addColumn<int>("items");
    QTest::newRow("empty") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("three") << 3;
}

void TestFrmHistory::rowsAndSelection() {
    QFETCH(int, items);
    for (int i = 0; i < items; ++i)
        frame()->History.add(QStringLiteral("http://%1.example/").arg(i),
                             QStringLiteral("T%1").arg(i), 50,
                             QDateTime(QDate(2026, 3, 1), QTime(10, i, 0)));
    FrmHistory* h = openHistory();
    QVERIFY(frame()->bIsOpenHistory);
    QCOMPARE(h->windowTitle(), QStringLiteral("Historie"));
    QCOMPARE(h->grid()->rowCount(), items);
    QCOMPARE(h->grid()->horizontalHeaderItem(2)->text(), QStringLiteral("Datum - Uhrzeit"));
    if (items == 0) {
        QCOMPARE(h->grid()->currentRow(), -1);
        QVERIFY(h->grid()->selectedItems().isEmpty());
    } else {
        // Newest first, the whole first row selected.
        QCOMPARE(h->grid()->item(0, 0)->text(),
                 QStringLiteral("http://%1.example/").arg(items - 1));
        QCOMPARE(h->grid()->item(0, 2)->text(),
                 QStringLiteral("01.03.2026 - 10:%1:00").arg(items - 1, 2, 10, QLatin1Char('0')));
        QCOMPARE(h->grid()->selectedItems().size(), 3);
    }
    h->close();
    QVERIFY(!frame()->bIsOpenHistory);
}

void TestFrmHistory::dateSortsDayFirst() {
    frame()->History.add("http://june/", "J", 50, QDateTime(QDate(2026, 6, 2), QTime(9, 0)));
    frame()->History.add("http://may/", "M", 50, QDateTime(QDate(2026, 5, 10), QTime(9, 0)));
    FrmHistory* h = openHistory();
    // "10.05." sorts above "02.06." as text.
    QCOMPARE(h->grid()->item(0, 0)->text(), QStringLiteral("http://may/"));
    h->action(QStringLiteral("mn_SortAdr"))->trigger();
    QCOMPARE(h->grid()->item(0, 0)->text(), QStringLiteral("http://june/"));
}

void TestFrmHistory::sortRules_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("address ignores case") << 0 << QStringList{"a", "B", "c"};
    QTest::newRow("title with case") << 1 << QStringList{"B", "c", "a"};
    QTest::newRow("date descending") << 2 << QStringList{"c", "a", "B"};
}

void TestFrmHistory::sortRules() {
    QFETCH(int, column);
    QFETCH(QStringList, order);
    QList<QStringList> rows = {{"c", "Zeta", "03.01.2026 - 00:00:00"},
                               {"a", "zulu", "02.01.2026 - 00:00:00"},
                               {"B", "Alpha", "01.12.2025 - 00:00:00"}};
    HistoryRules::sortRows(rows, column);
    QStringList got;
    for (const QStringList& r : rows)
        got << r.first();
    QCOMPARE(got, order);
}

void TestFrmHistory::headerSortsAndOpensNothing() {
    frame()->History.add("http://b/", "x", 50);
    frame()->History.add("http://A/", "y", 50);
    FrmHistory* h = openHistory();
    QHeaderView* header = h->grid()->horizontalHeader();
    const QPoint p(header->sectionViewportPosition(0) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, p);
    QVERIFY(h->headerClicked());
    QCOMPARE(h->grid()->item(0, 0)->text(), QStringLiteral("http://A/"));
    h->openRow(0);
    QCOMPARE(frame()->counter, 0);
}

void TestFrmHistory::copyOnlyInAddressColumn() {
    frame()->History.add("http://kopie/", "K", 50);
    FrmHistory* h = openHistory();
    QAction* copy = h->action(QStringLiteral("mn_Kopieren"));
    QVERIFY(copy->isVisible());
    copy->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("http://kopie/"));
    h->grid()->setCurrentCell(0, 1);
    QVERIFY(!copy->isVisible());
    QVERIFY(!h->action(QStringLiteral("mn_tz3"))->isVisible());
    h->grid()->setCurrentCell(0, 0);
    QVERIFY(copy->isVisible());
}

void TestFrmHistory::doubleClickOpensWithoutBars() {
    frame()->History.add("http://auf/", "A", 50);
    FrmHistory* h = openHistory();
    const QRect cell = h->grid()->visualItemRect(h->grid()->item(0, 1));
    QTest::mouseClick(h->grid()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(h->grid()->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(frame()->counter, 1);
    BrowserWindow* w = frame()->browsers().first();
    QVERIFY(!w->coolBarVisible());
    QCOMPARE(static_cast<FakeWebView*>(w->webView())->navigations, QStringList{"http://auf/"});
    QVERIFY(frame()->historyWindow());
}

void TestFrmHistory::enterTakesAddressAndCloses() {
    frame()->History.add("http://enter/", "E", 50);
    QPointer<FrmHistory> h = openHistory();
    h->grid()->setFocus();
    QTest::keyClick(h->grid(), Qt::Key_Return);
    QCOMPARE(frame()->HistoryUrl, QStringLiteral("http://enter/"));
    QCOMPARE(frame()->counter, 0);
    QTRY_VERIFY(h.isNull());
    // The next new window starts there.
    frame()->action(QStringLiteral("mn_Browser"))->trigger();
    QCOMPARE(static_cast<FakeWebView*>(frame()->browsers().first()->webView())->navigations,
             QStringList{"http://enter/"});
}

void TestFrmHistory::springsBackToMinimum() {
    FrmHistory* h = openHistory();
    h->resize(twipsToPx(1000), twipsToPx(1000));
    QCOMPARE(h->size(), QSize(twipsToPx(2500), twipsToPx(1590)));
}

void TestFrmHistory::columnWidths() {
    const std::array<int, 3> fit = HistoryRules::columnWidths(507, true);
    // 507 - 100 twips margin (about 7 pixels): 500 / 2.5 = 200 each.
    QCOMPARE(fit[0], 200);
    QCOMPARE(fit[1], 200);
    QCOMPARE(fit[0] + fit[1] + fit[2], 500);
    const std::array<int, 3> crowded = HistoryRules::columnWidths(507, false);
    QVERIFY(crowded[0] < fit[0]);
}

// Opened from the menu, the three columns share the grid's width at once.
void TestFrmHistory::columnsFitWhenFirstShown() {
    frame()->History.add("http://eins.example/lange/adresse", "Erste Seite", 50);
    frame()->History.add("http://zwei.example/", "Zweite Seite", 50);
    emit frame()->menu(QStringLiteral("mn_Anzeige"))->aboutToShow();
    frame()->action(QStringLiteral("mn_Historie"))->trigger();
    FrmHistory* h = frame()->historyWindow();
    QVERIFY(h);
    QVERIFY(QTest::qWaitForWindowExposed(h));
    const int client = h->grid()->viewport()->width();
    const int sum =
        h->grid()->columnWidth(0) + h->grid()->columnWidth(1) + h->grid()->columnWidth(2);
    QVERIFY2(sum <= client && sum > client - 20,
             qPrintable(QStringLiteral("%1 of %2").arg(sum).arg(client)));
    QVERIFY(h->grid()->columnWidth(0) > client / 3);
    QCOMPARE(h->grid()->columnWidth(1), h->grid()->columnWidth(0));
}

void TestFrmHistory::aboutClosesOnFocusLoss() {
    frame()->action(QStringLiteral("mn_Korvix"))->trigger();
    QPointer<FrmAbout> about = frame()->findChild<FrmAbout*>();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QVERIFY(about->findChild<QWidget*>(QStringLiteral("lblName")));
    QApplication::setActiveWindow(about);
    QTRY_VERIFY(about->isActiveWindow());
    QApplication::setActiveWindow(frame());
    QTRY_VERIFY(about.isNull());
}

QTEST_MAIN(TestFrmHistory)
#include "tst_frmhistory.moc"
