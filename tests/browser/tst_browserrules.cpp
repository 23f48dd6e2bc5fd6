#include "browser/model/AddressInput.h"
#include "browser/model/BrowserRules.h"
#include "browser/model/Suggestions.h"

#include <QDir>
#include <QTemporaryDir>
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
    void addressOrSearch_data();
    void addressOrSearch();
    void searchAddresses_data();
    void searchAddresses();
    void suggestionOrder_data();
    void suggestionOrder();
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

void TestBrowserRules::addressOrSearch_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("address");
    QTest::newRow("localhost with port") << "localhost:8080" << true;
    QTest::newRow("IP address with path") << "192.168.0.1/x" << true;
    QTest::newRow("host name") << "example.org" << true;
    QTest::newRow("host name, port, path") << "sub.example.org:81/a?b=c#d" << true;
    QTest::newRow("umlaut host") << "ä.de" << true;
    QTest::newRow("scheme with slashes") << "http://x y" << true;
    QTest::newRow("about page") << "about:blank" << true;
    QTest::newRow("file address") << "file:///etc/hostname" << true;
    QTest::newRow("existing local path") << "EXISTING" << true;
    QTest::newRow("missing local path") << "/gibt/es/nicht" << false;
    QTest::newRow("two words") << "wetter berlin" << false;
    QTest::newRow("one word") << "wetter" << false;
    QTest::newRow("c++") << "c++" << false;
    QTest::newRow("leading question mark") << "?example.org" << false;
    QTest::newRow("number with a dot") << "3.14" << false;
    QTest::newRow("word with colon") << "wetter:berlin" << false;
    QTest::newRow("quoted host") << "\"heise.de\"" << false;
}

void TestBrowserRules::addressOrSearch() {
    QFETCH(QString, typed);
    QFETCH(bool, address);
    QTemporaryDir dir;
    if (typed == QLatin1String("EXISTING"))
        typed = dir.path();
    const auto exists = [](const QString& path) { return QDir(path).exists(); };
    QCOMPARE(AddressInput::isAddress(typed, exists), address);
    // Enter opens an address exactly as typed, anything else as a search.
    const QString opened =
        AddressInput::resolve(typed, QStringLiteral("https://s.example/?q=%s"), exists);
    QCOMPARE(opened == typed, address);
    if (!address)
        QVERIFY2(opened.startsWith(QLatin1String("https://s.example/?q=")), qPrintable(opened));
}

void TestBrowserRules::searchAddresses_data() {
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("searchButton");
    QTest::newRow("placeholder") << "https://s.example/find?x=1&q=%s"
                                 << "a&b c"
                                 << "https://s.example/find?x=1&q=a%26b%20c"
                                 << "https://s.example/find";
    QTest::newRow("DuckDuckGo") << "https://duckduckgo.com/"
                                << "wetter berlin"
                                << "https://duckduckgo.com/?q=wetter%20berlin"
                                << "https://duckduckgo.com/";
    QTest::newRow("Google, German") << "https://www.google.de"
                                    << "ä"
                                    << "https://www.google.de/search?q=%C3%A4"
                                    << "https://www.google.de";
    QTest::newRow("Bing") << "http://www.bing.com/"
                          << "x"
                          << "http://www.bing.com/search?q=x"
                          << "http://www.bing.com/";
    QTest::newRow("Ecosia") << "https://www.ecosia.org/"
                            << "x"
                            << "https://www.ecosia.org/search?q=x"
                            << "https://www.ecosia.org/";
    QTest::newRow("Startpage") << "https://www.startpage.com/"
                               << "x"
                               << "https://www.startpage.com/do/search?query=x"
                               << "https://www.startpage.com/";
    QTest::newRow("Qwant") << "https://www.qwant.com/"
                           << "x"
                           << "https://www.qwant.com/?q=x"
                           << "https://www.qwant.com/";
    QTest::newRow("any other") << "http://suche.example/start"
                               << "c++"
                               << "http://suche.example/start?q=c%2B%2B"
                               << "http://suche.example/start";
    QTest::newRow("any other, with a query") << "http://suche.example/?lang=de#top"
                                             << "x"
                                             << "http://suche.example/?lang=de&q=x"
                                             << "http://suche.example/?lang=de#top";
}

void TestBrowserRules::searchAddresses() {
    QFETCH(QString, engine);
    QFETCH(QString, query);
    QFETCH(QString, address);
    QFETCH(QString, searchButton);
    QCOMPARE(AddressInput::searchAddress(engine, query), address);
    QCOMPARE(AddressInput::searchHome(engine), searchButton);
}

void TestBrowserRules::suggestionOrder_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("urls");
    // Bookmarks, history (visited 1 and 5 times) and a window.
    QTest::newRow("host prefix before text elsewhere")
        << "wik"
        << QStringList{"https://de.wikipedia.org/", "https://wiki.example/",
                       "http://www.wikinews.example/", "https://a.example/wiki"};
    QTest::newRow("more visited first, one row per address")
        << "news" << QStringList{"https://news.example/", "http://www.wikinews.example/"};
    QTest::newRow("a window stands for its address")
        << "wetter" << QStringList{"https://wetter.example/"};
    QTest::newRow("nothing matches") << "zzz" << QStringList{};
}

void TestBrowserRules::suggestionOrder() {
    QFETCH(QString, typed);
    QFETCH(QStringList, urls);
    using Suggestions::Kind;
    Suggestions::Index bookmarks;
    bookmarks.add({Kind::Bookmark, QStringLiteral("Wikipedia"), "https://de.wikipedia.org/", 1, 0});
    bookmarks.add({Kind::Bookmark, QStringLiteral("Seite"), "https://a.example/wiki", 1, 0});
    bookmarks.add({Kind::Bookmark, QStringLiteral("Wetter"), "https://wetter.example/", 1, 0});
    bookmarks.add({Kind::Bookmark, QStringLiteral("Neues"), "https://news.example/", 1, 0});
    Suggestions::Index recent;
    recent.add({Kind::History, QStringLiteral("Wiki"), "https://wiki.example/", 1, 0});
    recent.add(
        {Kind::History, QStringLiteral("Nachrichten"), "http://www.wikinews.example/", 1, 0});
    recent.add({Kind::History, QStringLiteral("Neues"), "https://news.example/", 5, 0});
    recent.add({Kind::Window, QStringLiteral("Wetter jetzt"), "https://wetter.example/", 1, 7});
    const QList<Suggestions::Row> rows = Suggestions::match(typed, {&bookmarks, &recent});
    QCOMPARE(rows.first().kind, Kind::Search);
    QCOMPARE(rows.first().title, typed);
    QStringList got;
    for (qsizetype i = 1; i < rows.size(); ++i)
        got << rows.at(i).url;
    QCOMPARE(got, urls);
    if (typed == QLatin1String("wetter"))
        QCOMPARE(rows.at(1).windowId, 7);
}

QTEST_APPLESS_MAIN(TestBrowserRules)
#include "tst_browserrules.moc"
