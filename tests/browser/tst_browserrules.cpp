#include "browser/model/BrowserRules.h"

#include <QTest>

using namespace BrowserRules;

class TestBrowserRules : public QObject {
    Q_OBJECT
private slots:
    void trimChars_data();
    void trimChars();
    void rememberAddress();
    void historyAddress_data();
    void historyAddress();
    void animationRunsRound();
    void pollTitle_data();
    void pollTitle();
    void windowSizeForPage();
};

void TestBrowserRules::trimChars_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("quoted") << "\"http://a.example/\""
                            << "http://a.example/";
    QTest::newRow("only one pair") << "\"\"x\"\""
                                   << "\"x\"";
    QTest::newRow("open quote only") << "\"http://a"
                                     << "\"http://a";
    QTest::newRow("closing quote only") << "http://a\""
                                        << "http://a\"";
    QTest::newRow("blanks stay") << " \"a\" "
                                 << " \"a\" ";
    QTest::newRow("empty pair") << "\"\""
                                << "";
    QTest::newRow("lone quote") << "\""
                                << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestBrowserRules::trimChars() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(trimQuotes(in), out);
}

void TestBrowserRules::rememberAddress() {
    QStringList list;
    BrowserRules::rememberAddress(list, QStringLiteral("a"));
    BrowserRules::rememberAddress(list, QStringLiteral("b"));
    BrowserRules::rememberAddress(list, QStringLiteral("A"));
    QCOMPARE(list, (QStringList{"A", "b", "a"}));
    BrowserRules::rememberAddress(list, QStringLiteral("a"));
    QCOMPARE(list, (QStringList{"a", "A", "b"}));
    BrowserRules::rememberAddress(list, QStringLiteral("a"));
    QCOMPARE(list, (QStringList{"a", "A", "b"}));
}

void TestBrowserRules::historyAddress_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ends in name: page address") << "file:///tmp/x/index.html"
                                                << "file:///tmp/x/index.html#top"
                                                << "index.html"
                                                << "file:///tmp/x/index.html#top";
    QTest::newRow("title differs: navigated address") << "http://a.example/"
                                                      << "http://a.example/start"
                                                      << "Startseite"
                                                      << "http://a.example/";
    QTest::newRow("empty name always matches") << "http://a.example/"
                                               << "http://b.example/"
                                               << ""
                                               << "http://b.example/";
    QTest::newRow("case matters") << "http://a.example/Index"
                                  << "http://a.example/x"
                                  << "index"
                                  << "http://a.example/Index";
}

void TestBrowserRules::historyAddress() {
    QFETCH(QString, url);
    QFETCH(QString, location);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(BrowserRules::historyAddress(url, location, name), expected);
}

void TestBrowserRules::animationRunsRound() {
    int frame = 1;
    QList<int> seen;
    for (int i = 0; i < 6; ++i) {
        frame = nextAnimFrame(frame, 4);
        seen << frame;
    }
    QCOMPARE(seen, (QList<int>{2, 3, 4, 1, 2, 3}));
}

void TestBrowserRules::pollTitle_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("docTitle");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("expected");
    const int none = int(DocKind::None), html = int(DocKind::Html), folder = int(DocKind::Folder);
    QTest::newRow("html with title") << html << "Titel"
                                     << "n"
                                     << ""
                                     << "u"
                                     << "Titel";
    QTest::newRow("html, blank title: location name") << html << "   "
                                                      << "seite.html"
                                                      << ""
                                                      << "u"
                                                      << "seite.html";
    QTest::newRow("html, nothing: address") << html << ""
                                            << ""
                                            << ""
                                            << "http://x/"
                                            << "http://x/";
    QTest::newRow("folder: its path") << folder << "t"
                                      << "n"
                                      << "/home"
                                      << "file:///home"
                                      << "/home";
    QTest::newRow("folder without path: title") << folder << "t"
                                                << "n"
                                                << ""
                                                << "u"
                                                << "t";
    QTest::newRow("no document: address") << none << "t"
                                          << "n"
                                          << "/x"
                                          << "http://y/"
                                          << "http://y/";
}

void TestBrowserRules::pollTitle() {
    QFETCH(int, kind);
    QFETCH(QString, docTitle);
    QFETCH(QString, name);
    QFETCH(QString, folder);
    QFETCH(QString, url);
    QFETCH(QString, expected);
    QCOMPARE(BrowserRules::pollTitle(DocKind(kind), docTitle, name, folder, url), expected);
}

void TestBrowserRules::windowSizeForPage() {
    // A 600-wide window whose page area is 580 wide asks for a 400-wide page.
    QCOMPARE(windowWidthFor(600, 580, 400), 420);
    // Height: border 30 (450 - 420 client), bar 60 shown above the page.
    QCOMPARE(windowHeightFor(450, 420, 300, 60, true), 390);
    QCOMPARE(windowHeightFor(450, 420, 300, 60, false), 330);
}

QTEST_APPLESS_MAIN(TestBrowserRules)
#include "tst_browserrules.moc"
