#include "history/model/HistoryList.h"

#include <QTest>

class TestHistoryList : public QObject {
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void revisitTakesNewTitleAndDate();
    void titleOf();
    void removeFrom_data();
    void removeFrom();
};

void TestHistoryList::order_data() {
    QTest::addColumn<QStringList>("visits");
    QTest::addColumn<QList<int>>("rows"); // the limit in force at each visit
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("revisit keeps place")
        << QStringList{"A", "B", "A"} << QList<int>{50, 50, 50} << QStringList{"A", "B"};
    QTest::newRow("oldest dropped")
        << QStringList{"A", "B", "C", "D"} << QList<int>{3, 3, 3, 3} << QStringList{"B", "C", "D"};
    QTest::newRow("revisit in full list")
        << QStringList{"A", "B", "C", "D", "B"} << QList<int>{3, 3, 3, 3, 3}
        << QStringList{"B", "C", "D"};
    QTest::newRow("case differs") << QStringList{"http://a/x", "http://a/X"} << QList<int>{5, 5}
                                  << QStringList{"http://a/x", "http://a/X"};
    QTest::newRow("rows lowered keeps length")
        << QStringList{"A", "B", "C", "D", "E"} << QList<int>{50, 50, 50, 2, 1}
        << QStringList{"C", "D", "E"};
    QTest::newRow("zero rows") << QStringList{"A", "B", "C"} << QList<int>{0, 0, 0}
                               << QStringList{"C"};
    QTest::newRow("negative rows")
        << QStringList{"A", "B"} << QList<int>{-1, -1} << QStringList{"B"};
    QTest::newRow("one row") << QStringList{"A", "B", "B"} << QList<int>{1, 1, 1}
                             << QStringList{"B"};
}

void TestHistoryList::order() {
    QFETCH(QStringList, visits);
    QFETCH(QList<int>, rows);
    QFETCH(QStringList, expected);
    HistoryList h;
    for (int i = 0; i < visits.size(); ++i)
        h.add(visits[i], "Seite " + visits[i], rows[i]);
    QStringList urls;
    for (const HistoryItem& item : h.items())
        urls << item.Url;
    QCOMPARE(urls, expected);
    QCOMPARE(h.count(), expected.size());
}

void TestHistoryList::revisitTakesNewTitleAndDate() {
    const QDateTime first(QDate(2024, 5, 1), QTime(10, 0));
    const QDateTime second(QDate(2024, 5, 2), QTime(11, 30));
    HistoryList h;
    h.add("https://a.example/", "Alt", 50, first);
    h.add("https://b.example/", "B", 50, first);
    h.add("https://a.example/", "Neu", 50, second);
    QCOMPARE(h.count(), 2);
    QCOMPARE(h.at(0).Url, QStringLiteral("https://a.example/"));
    QCOMPARE(h.at(0).Title, QStringLiteral("Neu"));
    QCOMPARE(h.at(0).UrlDate, second);
    QCOMPARE(h.at(1).Title, QStringLiteral("B"));
    QCOMPARE(h.at(1).UrlDate, first);
}

void TestHistoryList::titleOf() {
    HistoryList h;
    h.add("https://a.example/Seite", "Groß", 50);
    h.add("https://b.example/", "Klein", 50);
    QCOMPARE(h.titleOf("https://a.example/Seite"), QStringLiteral("Groß"));
    QCOMPARE(h.titleOf("https://b.example/"), QStringLiteral("Klein"));
    QCOMPARE(h.titleOf("https://a.example/seite"), QString());
    QCOMPARE(h.titleOf("https://c.example/"), QString());
    h.clear();
    QCOMPARE(h.count(), 0);
    QCOMPARE(h.titleOf("https://b.example/"), QString());
}

// Visits at 9:00, 10:00 and 11:00, and "A" again at 11:30, which counts
// as its time from then on.
void TestHistoryList::removeFrom_data() {
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QStringList>("kept");
    const QDate day(2024, 3, 5);
    QTest::newRow("all") << QDateTime() << QStringList{};
    QTest::newRow("from the first") << QDateTime(day, QTime(9, 0)) << QStringList{};
    QTest::newRow("between") << QDateTime(day, QTime(10, 30)) << QStringList{"B"};
    QTest::newRow("on a visit's minute") << QDateTime(day, QTime(10, 0)) << QStringList{};
    QTest::newRow("after the last") << QDateTime(day, QTime(12, 0)) << QStringList{"A", "B", "C"};
}

void TestHistoryList::removeFrom() {
    QFETCH(QDateTime, from);
    QFETCH(QStringList, kept);
    const QDate day(2024, 3, 5);
    HistoryList list;
    list.add("A", "a", 50, QDateTime(day, QTime(9, 0)));
    list.add("B", "b", 50, QDateTime(day, QTime(10, 0)));
    list.add("C", "c", 50, QDateTime(day, QTime(11, 0)));
    list.add("A", "a", 50, QDateTime(day, QTime(11, 30)));
    const int before = list.count();
    QStringList left;
    QCOMPARE(list.removeFrom(from), before - int(kept.size()));
    for (const HistoryItem& item : list.items())
        left << item.Url;
    QCOMPARE(left, kept);
}

QTEST_APPLESS_MAIN(TestHistoryList)
#include "tst_historylist.moc"
