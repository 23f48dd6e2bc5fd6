#include "browser/model/LinkWalk.h"
#include "browser/model/SecurityText.h"

#include <QTest>

using namespace LinkWalk;

class TestLinkWalk : public QObject {
    Q_OBJECT
private slots:
    void selection();
    void absolute_data();
    void absolute();
    void roundTripBase_data();
    void roundTripBase();
    void walksEachLinkAfterItsPageLoaded();
    void givesUpOnSlowPages();
    void nothingToWalk();
    void securityTexts();
};

void TestLinkWalk::selection() {
    const QStringList raw = {
        "a.html", "",       "JavaScript:void(0)", "http://x/javascript:y", "MaIlTo:me@example.org",
        "b.html", "a.html", "http://y/"};
    QCOMPARE(selectLinks(raw), (QStringList{"a.html", "b.html", "a.html", "http://y/"}));
}

void TestLinkWalk::absolute_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("expected");
    QTest::newRow("relative") << "a.html"
                              << "http://x/dir/"
                              << "http://x/dir/a.html";
    QTest::newRow("absolute") << "http://y/b"
                              << "http://x/"
                              << "http://y/b";
    QTest::newRow("colon anywhere counts") << "page?t=1:2"
                                           << "http://x/"
                                           << "page?t=1:2";
    QTest::newRow("rooted path is joined as text") << "/c"
                                                   << "http://x/d/"
                                                   << "http://x/d//c";
}

void TestLinkWalk::absolute() {
    QFETCH(QString, link);
    QFETCH(QString, base);
    QFETCH(QString, expected);
    QCOMPARE(absoluteLink(link, base), expected);
}

void TestLinkWalk::roundTripBase_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected");
    QTest::newRow("directory") << "http://x.example/dir/"
                               << "http://x.example/dir/";
    QTest::newRow("page in directory") << "http://x.example/d/p.html"
                                       << "http://x.example/d/";
    QTest::newRow("slash at 9") << "http://x/"
                                << "http://x/";
    QTest::newRow("slash at 8 keeps old") << "file:///"
                                          << "OLD";
    QTest::newRow("bare host keeps old") << "http://x.example"
                                         << "OLD";
    QTest::newRow("no slash keeps old") << "about:blank"
                                        << "OLD";
}

void TestLinkWalk::roundTripBase() {
    QFETCH(QString, address);
    QFETCH(QString, expected);
    QCOMPARE(LinkWalk::roundTripBase(address, QStringLiteral("OLD")), expected);
}

void TestLinkWalk::walksEachLinkAfterItsPageLoaded() {
    RoundTrip walk;
    QVERIFY(walk.start({"a.html", "http://y/b"}, "http://x.example/dir/", 100));
    using K = RoundTrip::Step;
    RoundTrip::Step s = walk.tick(101);
    QCOMPARE(s.kind, K::Navigate);
    QCOMPARE(s.url, QStringLiteral("http://x.example/dir/a.html"));
    // The page is still loading: wait.
    QCOMPARE(walk.tick(103).kind, K::Wait);
    walk.pageLoaded();
    s = walk.tick(104);
    QCOMPARE(s.kind, K::Navigate);
    QCOMPARE(s.url, QStringLiteral("http://y/b"));
    walk.pageLoaded();
    s = walk.tick(106);
    QCOMPARE(s.kind, K::Finish);
    QCOMPARE(s.url, QStringLiteral("http://x.example/dir/"));
    QVERIFY(!walk.isRunning());
    QCOMPARE(walk.tick(108).kind, K::Wait);
}

void TestLinkWalk::givesUpOnSlowPages() {
    RoundTrip walk;
    walk.start({"a", "b"}, "http://x.example/", 0);
    QCOMPARE(walk.tick(1).kind, RoundTrip::Step::Navigate);
    QCOMPARE(walk.tick(30.5).kind, RoundTrip::Step::Wait);
    const RoundTrip::Step s = walk.tick(31.5);
    QCOMPARE(s.kind, RoundTrip::Step::Navigate);
    QCOMPARE(s.url, QStringLiteral("http://x.example/b"));
    // Stop leaves the list for the next start.
    walk.stop();
    QCOMPARE(walk.tick(40).kind, RoundTrip::Step::Wait);
    QCOMPARE(walk.links.size(), 2);
}

void TestLinkWalk::nothingToWalk() {
    RoundTrip walk;
    QVERIFY(!walk.start({}, "http://x.example/", 0));
    QVERIFY(!walk.isRunning());
    QCOMPARE(walk.tick(5).kind, RoundTrip::Step::Wait);
}

void TestLinkWalk::securityTexts() {
    QCOMPARE(securityLevelText(6).value_or("?"), QStringLiteral("Verschlüsselt mit 128 Bit"));
    QCOMPARE(securityLevelText(1).value_or("?"), QStringLiteral("Mehrfache Verschlüsselung"));
    QCOMPARE(securityLevelText(5).value_or("?"), QStringLiteral("Verschlüsselt mit Fortezza"));
    QVERIFY(!securityLevelText(7).has_value());
    QVERIFY(!securityLevelText(-1).has_value());
}

QTEST_APPLESS_MAIN(TestLinkWalk)
#include "tst_linkwalk.moc"
