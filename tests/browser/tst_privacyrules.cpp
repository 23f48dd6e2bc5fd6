#include "browser/model/PrivacyRules.h"

#include <QTest>
#include <QUrl>

class TestPrivacyRules : public QObject {
    Q_OBJECT

private slots:
    void cookies_data();
    void cookies();
    void ranges_data();
    void ranges();
};

void TestPrivacyRules::cookies_data() {
    QTest::addColumn<bool>("allowAll");
    QTest::addColumn<QStringList>("sites");
    QTest::addColumn<bool>("thirdParty");
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("accepted");
    const QString page = QStringLiteral("https://news.example/artikel");
    QTest::newRow("own cookie") << false << QStringList{} << false << page << true;
    QTest::newRow("own cookie, no page") << false << QStringList{} << false << QString() << true;
    QTest::newRow("other site refused") << false << QStringList{} << true << page << false;
    QTest::newRow("allowed everywhere") << true << QStringList{} << true << page << true;
    QTest::newRow("page's site listed")
        << false << QStringList{"news.example"} << true << page << true;
    QTest::newRow("listed in capitals")
        << false << QStringList{" News.Example "} << true << page << true;
    QTest::newRow("another site listed")
        << false << QStringList{"shop.example"} << true << page << false;
    QTest::newRow("subdomain of a listed site")
        << false << QStringList{"example"} << true << page << false;
    QTest::newRow("page without host")
        << false << QStringList{""} << true << QStringLiteral("file:///tmp/a.html") << false;
}

void TestPrivacyRules::cookies() {
    QFETCH(bool, allowAll);
    QFETCH(QStringList, sites);
    QFETCH(bool, thirdParty);
    QFETCH(QString, page);
    QFETCH(bool, accepted);
    QCOMPARE(CookieRules::from(allowAll, sites).accepts(thirdParty, QUrl(page)), accepted);
}

void TestPrivacyRules::ranges_data() {
    QTest::addColumn<int>("range");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QDateTime>("from");
    const QDateTime morning(QDate(2024, 3, 5), QTime(0, 20));
    QTest::newRow("last hour") << int(ClearRange::LastHour) << morning
                               << QDateTime(QDate(2024, 3, 4), QTime(23, 20));
    QTest::newRow("today") << int(ClearRange::Today) << morning
                           << QDateTime(QDate(2024, 3, 5), QTime(0, 0));
    QTest::newRow("today at midnight")
        << int(ClearRange::Today) << QDateTime(QDate(2024, 3, 5), QTime(0, 0))
        << QDateTime(QDate(2024, 3, 5), QTime(0, 0));
    QTest::newRow("all") << int(ClearRange::All) << morning << QDateTime();
}

void TestPrivacyRules::ranges() {
    QFETCH(int, range);
    QFETCH(QDateTime, now);
    QFETCH(QDateTime, from);
    QCOMPARE(clearFrom(ClearRange(range), now), from);
}

QTEST_APPLESS_MAIN(TestPrivacyRules)
#include "tst_privacyrules.moc"
