#include "FakeShell.h"
#include "Keyboard.h"
#include "ScriptedDialogs.h"
#include "common/Twips.h"
#include "frame/AboutWindow.h"
#include "history/HistoryWindow.h"
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
class TestHistoryWindow : public QObject {
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
    HistoryWindow* openHistory();
    void visit(const QString& url, const QString& title) {
        m_shell->historyList.add(url, title, 50);
    }
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<FakeShell> m_shell;
};

void TestHistoryWindow::init() {
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_shell = std::make_unique<FakeShell>();
}

void TestHistoryWindow::cleanup() {
    m_shell.reset();
    m_dialogs.reset();
}

HistoryWindow* TestHistoryWindow::openHistory() {
    auto* h = new HistoryWindow(*m_shell);
    h->show();
    return h;
}

void TestHistoryWindow::rowsAndSelection_data() {
    QTest::addColumn<int>("items");
    QTest::newRow("empty") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("three") << 3;
}

void TestHistoryWindow::rowsAndSelection() {
    QFETCH(int, items);
    for (int i = 0; i < items; ++i)
        m_shell->historyList.add(QStringLiteral("http://%1.example/").arg(i),
                                 QStringLiteral("T%1").arg(i), 50,
                                 QDateTime(QDate(2026, 3, 1), QTime(10, i, 0)));
    HistoryWindow* h = openHistory();
    QVERIFY(m_shell->historyShown);
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
    QVERIFY(!m_shell->historyShown);
}

void TestHistoryWindow::dateSortsDayFirst() {
    m_shell->historyList.add("http://june/", "J", 50, QDateTime(QDate(2026, 6, 2), QTime(9, 0)));
    m_shell->historyList.add("http://may/", "M", 50, QDateTime(QDate(2026, 5, 10), QTime(9, 0)));
    HistoryWindow* h = openHistory();
    // "10.05." sorts above "02.06." as text.
    QCOMPARE(h->grid()->item(0, 0)->text(), QStringLiteral("http://may/"));
    h->action(QStringLiteral("sortByAddress"))->trigger();
    QCOMPARE(h->grid()->item(0, 0)->text(), QStringLiteral("http://june/"));
}

void TestHistoryWindow::sortRules_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("address ignores case") << 0 << QStringList{"a", "B", "c"};
    QTest::newRow("title with case") << 1 << QStringList{"B", "c", "a"};
    QTest::newRow("date descending") << 2 << QStringList{"c", "a", "B"};
}

void TestHistoryWindow::sortRules() {
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

void TestHistoryWindow::headerSortsAndOpensNothing() {
    visit("http://b/", "x");
    visit("http://A/", "y");
    HistoryWindow* h = openHistory();
    QHeaderView* header = h->grid()->horizontalHeader();
    const QPoint p(header->sectionViewportPosition(0) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, p);
    QVERIFY(h->headerClicked());
    QCOMPARE(h->grid()->item(0, 0)->text(), QStringLiteral("http://A/"));
    h->openRow(0);
    QVERIFY(m_shell->visited.isEmpty());
}

void TestHistoryWindow::copyOnlyInAddressColumn() {
    visit("http://kopie/", "K");
    HistoryWindow* h = openHistory();
    QAction* copy = h->action(QStringLiteral("copyAddress"));
    QVERIFY(copy->isVisible());
    copy->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("http://kopie/"));
    h->grid()->setCurrentCell(0, 1);
    QVERIFY(!copy->isVisible());
    QVERIFY(!h->action(QStringLiteral("copySeparator"))->isVisible());
    h->grid()->setCurrentCell(0, 0);
    QVERIFY(copy->isVisible());
}

void TestHistoryWindow::doubleClickOpensWithoutBars() {
    visit("http://auf/", "A");
    HistoryWindow* h = openHistory();
    const QRect cell = h->grid()->visualItemRect(h->grid()->item(0, 1));
    QTest::mouseClick(h->grid()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(h->grid()->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(m_shell->visited.size(), 1);
    const OpenRequest& opened = m_shell->visited.first();
    QCOMPARE(opened.address, QStringLiteral("http://auf/"));
    QVERIFY(!*opened.addressBar && !*opened.toolbar);
    QVERIFY(h->isVisible());
}

void TestHistoryWindow::enterTakesAddressAndCloses() {
    visit("http://enter/", "E");
    QPointer<HistoryWindow> h = openHistory();
    // The table has the keys from the start; its first row is chosen.
    QVERIFY(Keyboard::activate(h));
    QCOMPARE(QApplication::focusWidget(), h->grid());
    QVERIFY(Keyboard::press(Qt::Key_Return));
    QCOMPARE(m_shell->nextAddress, QStringLiteral("http://enter/"));
    QVERIFY(m_shell->visited.isEmpty());
    QTRY_VERIFY(h.isNull());
}

void TestHistoryWindow::springsBackToMinimum() {
    HistoryWindow* h = openHistory();
    h->resize(twipsToPx(1000), twipsToPx(1000));
    QCOMPARE(h->size(), QSize(twipsToPx(2500), twipsToPx(1590)));
}

void TestHistoryWindow::columnWidths() {
    const std::array<int, 3> fit = HistoryRules::columnWidths(507, true);
    // 507 - 100 twips margin (about 7 pixels): 500 / 2.5 = 200 each.
    QCOMPARE(fit[0], 200);
    QCOMPARE(fit[1], 200);
    QCOMPARE(fit[0] + fit[1] + fit[2], 500);
    const std::array<int, 3> crowded = HistoryRules::columnWidths(507, false);
    QVERIFY(crowded[0] < fit[0]);
}

// The three columns share the grid's width as soon as the window shows.
void TestHistoryWindow::columnsFitWhenFirstShown() {
    visit("http://eins.example/lange/adresse", "Erste Seite");
    visit("http://zwei.example/", "Zweite Seite");
    HistoryWindow* h = openHistory();
    QVERIFY(QTest::qWaitForWindowExposed(h));
    const int client = h->grid()->viewport()->width();
    const int sum =
        h->grid()->columnWidth(0) + h->grid()->columnWidth(1) + h->grid()->columnWidth(2);
    QVERIFY2(sum <= client && sum > client - 20,
             qPrintable(QStringLiteral("%1 of %2").arg(sum).arg(client)));
    QVERIFY(h->grid()->columnWidth(0) > client / 3);
    QCOMPARE(h->grid()->columnWidth(1), h->grid()->columnWidth(0));
}

void TestHistoryWindow::aboutClosesOnFocusLoss() {
    QWidget other;
    other.show();
    QPointer<AboutWindow> about = new AboutWindow(m_shell->programFolder(), QString(), &other);
    about->show();
    QVERIFY(about->findChild<QWidget*>(QStringLiteral("lblName")));
    QApplication::setActiveWindow(about);
    QTRY_VERIFY(about->isActiveWindow());
    QApplication::setActiveWindow(&other);
    QTRY_VERIFY(about.isNull());
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
