#include "blocking/model/Filters.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Blocking;

Q_DECLARE_METATYPE(Blocking::ResourceType)
Q_DECLARE_METATYPE(Blocking::Verdict)

namespace {

const char* const ListFolder = "/usr/share/chromium/extensions/ublock-origin/assets/thirdparties/"
                               "easylist/";

QString hostOf(const QString& url) {
    const qsizetype start = url.indexOf(QLatin1String("://"));
    if (start < 0)
        return {};
    QString host = url.mid(start + 3);
    host = host.left(host.indexOf(QRegularExpression(QStringLiteral("[/?#:]"))));
    return host.toLower();
}

constexpr auto Block = Verdict::Block;
constexpr auto Allow = Verdict::Allow;

} // namespace

class TestFilters : public QObject {
    Q_OBJECT
private slots:
    void decide_data();
    void decide();
    void pageAllowed_data();
    void pageAllowed();
    void hiding_data();
    void hiding();
    void skipped_data();
    void skipped();
    void parties_data();
    void parties();
    void realLists_data();
    void realLists();
};

void TestFilters::decide_data() {
    QTest::addColumn<QString>("filters");
    QTest::addColumn<QString>("url");
    QTest::addColumn<ResourceType>("type");
    QTest::addColumn<QString>("pageHost");
    QTest::addColumn<Verdict>("expected");
    const auto Script = ResourceType::Script;
    const auto Image = ResourceType::Image;
    const QString page = QStringLiteral("www.site.de");

    // "||": the host or a subdomain, never the middle of a label.
    QTest::newRow("|| host") << "||ads.de^"
                             << "https://ads.de/x.js" << Script << page << Block;
    QTest::newRow("|| subdomain") << "||ads.de^"
                                  << "https://cdn.ads.de/x.js" << Script << page << Block;
    QTest::newRow("|| not mid-label") << "||ads.de^"
                                      << "https://badads.de/x.js" << Script << page << Allow;
    QTest::newRow("|| not in path") << "||ads.de^"
                                    << "https://x.com/ads.de/y" << Script << page << Allow;
    QTest::newRow("|| longer host") << "||ads.de^"
                                    << "https://ads.de.evil.com/" << Script << page << Allow;
    // "|" anchors at the start and the end.
    QTest::newRow("| start") << "|https://t.de/"
                             << "https://t.de/a" << Script << page << Block;
    QTest::newRow("| start not inside") << "|t.de/"
                                        << "https://t.de/a" << Script << page << Allow;
    QTest::newRow("| end") << ".swf|"
                           << "https://t.de/a.swf" << Image << page << Block;
    QTest::newRow("| end not before more") << ".swf|"
                                           << "https://t.de/a.swf?x" << Image << page << Allow;
    // "^" is a separator or the end of the address.
    QTest::newRow("^ separator") << "/ad^"
                                 << "https://t.de/ad?x=1" << Image << page << Block;
    QTest::newRow("^ end") << "/ad^"
                           << "https://t.de/ad" << Image << page << Block;
    QTest::newRow("^ not letter") << "/ad^"
                                  << "https://t.de/adx" << Image << page << Allow;
    QTest::newRow("^ not dot") << "/ad^"
                               << "https://t.de/ad.png" << Image << page << Allow;
    // "*" and plain substrings.
    QTest::newRow("* wildcard") << "/banner/*/img"
                                << "https://t.de/banner/5/x/img.png" << Image << page << Block;
    QTest::newRow("* needs the rest") << "/banner/*/img"
                                      << "https://t.de/banner/img" << Image << page << Allow;
    QTest::newRow("substring anywhere") << "-ad-"
                                        << "https://t.de/a-ad-b.gif" << Image << page << Block;
    QTest::newRow("case-insensitive") << "/BANNER."
                                      << "https://t.de/banner.gif" << Image << page << Block;
    // Regular expressions.
    QTest::newRow("regex") << "/\\/ad[0-9]+\\.js/"
                           << "https://t.de/ad123.js" << Script << page << Block;
    QTest::newRow("regex no match") << "/\\/ad[0-9]+\\.js/"
                                    << "https://t.de/adx.js" << Script << page << Allow;
    QTest::newRow("regex case") << "/\\/ad[0-9]+\\.js/"
                                << "https://t.de/AD1.JS" << Script << page << Block;
    QTest::newRow("regex with options") << "/track\\d$/$image"
                                        << "https://t.de/track5" << Image << page << Block;
    QTest::newRow("regex $ anchor") << "/track\\d$/$image"
                                    << "https://t.de/track5x" << Image << page << Allow;
    // Types.
    QTest::newRow("script yes") << "/x.$script"
                                << "https://t.de/x.js" << Script << page << Block;
    QTest::newRow("script no") << "/x.$script"
                               << "https://t.de/x.js" << Image << page << Allow;
    const struct {
        const char* option;
        ResourceType type;
    } types[] = {{"image", Image},
                 {"stylesheet", ResourceType::Stylesheet},
                 {"xmlhttprequest", ResourceType::XmlHttpRequest},
                 {"subdocument", ResourceType::Subdocument},
                 {"media", ResourceType::Media},
                 {"font", ResourceType::Font},
                 {"websocket", ResourceType::WebSocket},
                 {"ping", ResourceType::Ping},
                 {"other", ResourceType::Other},
                 {"document", ResourceType::Document}};
    for (const auto& t : types) {
        const QString f = QStringLiteral("/x.$") + QLatin1String(t.option);
        QTest::newRow(qPrintable(QStringLiteral("%1 yes").arg(t.option)))
            << f << "https://t.de/x.y" << t.type << page << Block;
        const ResourceType other = t.type == Script ? Image : Script;
        QTest::newRow(qPrintable(QStringLiteral("%1 no").arg(t.option)))
            << f << "https://t.de/x.y" << other << page << Allow;
    }
    QTest::newRow("~script others") << "/x.$~script"
                                    << "https://t.de/x.y" << Image << page << Block;
    QTest::newRow("~script not script") << "/x.$~script"
                                        << "https://t.de/x.y" << Script << page << Allow;
    QTest::newRow("~script not document")
        << "/x.$~script"
        << "https://t.de/x.y" << ResourceType::Document << page << Allow;
    QTest::newRow("no type not document")
        << "/x."
        << "https://t.de/x.y" << ResourceType::Document << page << Allow;
    // Parties, by registrable domain.
    QTest::newRow("3p same registrable") << "||b.co.uk^$third-party"
                                         << "https://a.b.co.uk/x" << Script << "c.b.co.uk" << Allow;
    QTest::newRow("3p other under co.uk") << "||x.co.uk^$third-party"
                                          << "https://x.co.uk/x" << Script << "y.co.uk" << Block;
    QTest::newRow("1p under co.uk") << "||x.co.uk^$~third-party"
                                    << "https://x.co.uk/x" << Script << "y.co.uk" << Allow;
    QTest::newRow("1p same site") << "||x.co.uk^$~third-party"
                                  << "https://x.co.uk/x" << Script << "www.x.co.uk" << Block;
    QTest::newRow("3p localhost vs ip")
        << "/x.$3p"
        << "http://127.0.0.1/x.js" << Script << "localhost" << Block;
    QTest::newRow("1p alias") << "/x.$1p"
                              << "http://127.0.0.1/x.js" << Script << "localhost" << Allow;
    QTest::newRow("3p without page") << "/x.$third-party"
                                     << "https://t.de/x.js" << Script << "" << Allow;
    // domain=: the most specific entry decides.
    QTest::newRow("domain on it") << "/x.$domain=a.de|~b.a.de"
                                  << "https://t.de/x.js" << Script << "a.de" << Block;
    QTest::newRow("domain subdomain") << "/x.$domain=a.de|~b.a.de"
                                      << "https://t.de/x.js" << Script << "c.a.de" << Block;
    QTest::newRow("domain excluded sub") << "/x.$domain=a.de|~b.a.de"
                                         << "https://t.de/x.js" << Script << "d.b.a.de" << Allow;
    QTest::newRow("domain elsewhere") << "/x.$domain=a.de|~b.a.de"
                                      << "https://t.de/x.js" << Script << "other.de" << Allow;
    QTest::newRow("domain only excluded") << "/x.$domain=~a.de"
                                          << "https://t.de/x.js" << Script << "other.de" << Block;
    QTest::newRow("domain not label part") << "/x.$domain=a.de"
                                           << "https://t.de/x.js" << Script << "ba.de" << Allow;
    // match-case.
    QTest::newRow("match-case same") << "/Ad.$match-case"
                                     << "https://t.de/Ad.js" << Script << page << Block;
    QTest::newRow("match-case other") << "/Ad.$match-case"
                                      << "https://t.de/ad.js" << Script << page << Allow;
    // Exceptions and important.
    QTest::newRow("exception wins") << "||ads.de^\n@@||ads.de/ok/"
                                    << "https://ads.de/ok/x.js" << Script << page << Allow;
    QTest::newRow("exception elsewhere") << "||ads.de^\n@@||ads.de/ok/"
                                         << "https://ads.de/no/x.js" << Script << page << Block;
    QTest::newRow("exception wrong type") << "||ads.de^\n@@||ads.de^$image"
                                          << "https://ads.de/x" << Script << page << Block;
    QTest::newRow("important over exception") << "||ads.de^$important\n@@||ads.de^"
                                              << "https://ads.de/x.js" << Script << page << Block;
    QTest::newRow("important over document exception")
        << "||ads.de^$important\n@@||ads.de^$document"
        << "https://ads.de/x.js" << Script << page << Block;
    QTest::newRow("unknown option skipped") << "||ads.de^$csp=script-src 'none'"
                                            << "https://ads.de/x.js" << Script << page << Allow;
    QTest::newRow("unknown among known") << "||ads.de^$script,redirect=noop.js"
                                         << "https://ads.de/x.js" << Script << page << Allow;
    QTest::newRow("wildcard alone with options")
        << "*$image,domain=a.de"
        << "https://t.de/p.png" << Image << "a.de" << Block;
    QTest::newRow("userinfo host") << "||ads.de^"
                                   << "https://user@ads.de/x" << Script << page << Block;
}

void TestFilters::decide() {
    QFETCH(QString, filters);
    QFETCH(QString, url);
    QFETCH(ResourceType, type);
    QFETCH(QString, pageHost);
    QFETCH(Verdict, expected);
    FilterSet set;
    set.addList(filters.toUtf8());
    set.finish();
    const Request request{url, hostOf(url), pageHost, type};
    QCOMPARE(set.decide(request), expected);
}

void TestFilters::pageAllowed_data() {
    QTest::addColumn<QString>("filters");
    QTest::addColumn<QString>("pageUrl");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("document exception") << "||ads.de^$important\n@@||shop.de^$document"
                                        << "https://www.shop.de/start" << true;
    QTest::newRow("other page") << "@@||shop.de^$document"
                                << "https://shop.com/" << false;
    QTest::newRow("plain exception is not for the page") << "@@||shop.de^"
                                                         << "https://shop.de/" << false;
    QTest::newRow("elemhide is not for the page") << "@@||shop.de^$elemhide"
                                                  << "https://shop.de/" << false;
    QTest::newRow("document exception with domain") << "@@||shop.de^$document,domain=~shop.de"
                                                    << "https://shop.de/" << false;
}

void TestFilters::pageAllowed() {
    QFETCH(QString, filters);
    QFETCH(QString, pageUrl);
    QFETCH(bool, allowed);
    FilterSet set;
    set.addList(filters.toUtf8());
    set.finish();
    QCOMPARE(set.pageAllowed(pageUrl, hostOf(pageUrl)), allowed);
}

void TestFilters::hiding_data() {
    QTest::addColumn<QString>("filters");
    QTest::addColumn<QString>("pageUrl");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QString lines = QStringLiteral("##.generic-ad\n"
                                         "a.de,b.de##.specific\n"
                                         "sub.c.de##.deep\n"
                                         "c.de##.parent\n"
                                         "~d.de##.not-on-d\n"
                                         "x.de,~y.x.de##.x-not-y\n"
                                         "e.de#@#.generic-ad\n"
                                         "e.de#@#.not-on-d\n"
                                         "@@||f.de^$elemhide\n"
                                         "@@||g.de^$generichide\n"
                                         "g.de##.g-own\n"
                                         "@@||h.de^$document\n"
                                         "example.org##.x:has-text(Ad)\n");
    QTest::newRow("generic") << lines << "https://other.de/"
                             << QStringList{".generic-ad", ".not-on-d"}
                             << QStringList{".specific", ".parent", ".deep", ".g-own"};
    QTest::newRow("specific") << lines << "https://www.b.de/"
                              << QStringList{".specific", ".generic-ad"}
                              << QStringList{".parent", ".x-not-y"};
    QTest::newRow("parent domain") << lines << "https://sub.c.de/"
                                   << QStringList{".parent", ".deep"} << QStringList{".specific"};
    QTest::newRow("parent only") << lines << "https://www.c.de/" << QStringList{".parent"}
                                 << QStringList{".deep"};
    QTest::newRow("~domain") << lines << "https://www.d.de/" << QStringList{".generic-ad"}
                             << QStringList{".not-on-d"};
    QTest::newRow("excluded subdomain")
        << lines << "https://z.y.x.de/" << QStringList{} << QStringList{".x-not-y"};
    QTest::newRow("included domain")
        << lines << "https://x.de/" << QStringList{".x-not-y"} << QStringList{};
    QTest::newRow("#@# exception")
        << lines << "https://e.de/" << QStringList{} << QStringList{".generic-ad", ".not-on-d"};
    QTest::newRow("generichide") << lines << "https://g.de/" << QStringList{".g-own"}
                                 << QStringList{".generic-ad", ".not-on-d"};
    QTest::newRow("elemhide: nothing")
        << lines << "https://www.f.de/" << QStringList{} << QStringList{".generic-ad", ".not-on-d"};
    QTest::newRow("document: nothing")
        << lines << "https://h.de/" << QStringList{} << QStringList{".generic-ad", ".not-on-d"};
    QTest::newRow("procedural left out")
        << lines << "https://example.org/" << QStringList{} << QStringList{"has-text"};
}

void TestFilters::hiding() {
    QFETCH(QString, filters);
    QFETCH(QString, pageUrl);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    FilterSet set;
    set.addList(filters.toUtf8());
    set.finish();
    const QString sheet = set.hidingStyleSheet(pageUrl, hostOf(pageUrl));
    QVERIFY(sheet.isEmpty() || sheet.trimmed().endsWith(QLatin1String("{display:none!important}")));
    // Every selector stands alone between separators.
    const QStringList selectors =
        sheet.split(QRegularExpression(QStringLiteral("\\s*(,|\\{display:none!important\\})\\s*")),
                    Qt::SkipEmptyParts);
    for (const QString& s : present)
        QVERIFY2(selectors.contains(s), qPrintable(s));
    for (const QString& s : absent)
        QVERIFY2(!sheet.contains(s), qPrintable(s));
}

void TestFilters::skipped_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("rules");
    QTest::addColumn<int>("skipped");
    QTest::newRow("plain") << "||ads.de^" << 1 << 0;
    QTest::newRow("hiding") << "a.de##.ad" << 1 << 0;
    QTest::newRow("unknown option") << "||ads.de^$popup" << 0 << 1;
    QTest::newRow("broken regex") << "/(/" << 0 << 1;
    QTest::newRow("scriptlet") << "a.de##+js(set-constant, x, 1)" << 0 << 1;
    QTest::newRow("css injection") << "a.de#$#.ad { color: red }" << 0 << 1;
    QTest::newRow("extended") << "a.de#?#.ad:-abp-has(.x)" << 0 << 1;
    QTest::newRow("html filter") << "a.de##^script:has-text(ad)" << 0 << 1;
    QTest::newRow("style") << "a.de##.ad:style(height: 0)" << 0 << 1;
    QTest::newRow("brace in selector") << "##.ad{}body" << 0 << 1;
    QTest::newRow("comment") << "! a comment" << 0 << 0;
    QTest::newRow("header") << "[Adblock Plus 2.0]" << 0 << 0;
    QTest::newRow("blank") << "   " << 0 << 0;
    QTest::newRow("mixed") << "! x\n||a.de^\n\n||b.de^$rewrite=x\nc.de##.y" << 2 << 1;
}

void TestFilters::skipped() {
    QFETCH(QString, line);
    QFETCH(int, rules);
    QFETCH(int, skipped);
    FilterSet set;
    const ListStats stats = set.addList(line.toUtf8());
    QCOMPARE(stats.rules, rules);
    QCOMPARE(stats.skipped, skipped);
}

void TestFilters::parties_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("registrable");
    QTest::newRow("co.uk") << "a.b.co.uk"
                           << "b.co.uk";
    QTest::newRow("plain") << "www.example.de"
                           << "example.de";
    QTest::newRow("ip") << "127.0.0.1"
                        << "127.0.0.1";
    QTest::newRow("no registrable part") << "localhost"
                                         << "localhost";
    QTest::newRow("public suffix") << "co.uk"
                                   << "co.uk";
}

void TestFilters::parties() {
    QFETCH(QString, host);
    QFETCH(QString, registrable);
    QCOMPARE(registrableDomain(host), registrable);
}

void TestFilters::realLists_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minimumRules");
    QTest::newRow("easylist") << "easylist.txt" << 30000;
    QTest::newRow("easyprivacy") << "easyprivacy.txt" << 10000;
}

void TestFilters::realLists() {
    QFETCH(QString, name);
    QFETCH(int, minimumRules);
    QFile file(QLatin1String(ListFolder) + name);
    if (!file.open(QIODevice::ReadOnly))
        QSKIP("the Debian filter lists are not installed");
    const QByteArray text = file.readAll();
    FilterSet set;
    const ListStats stats = set.addList(text);
    set.finish();
    qInfo("%s: %d rules, %d lines skipped", qPrintable(name), stats.rules, stats.skipped);
    QVERIFY(stats.rules > minimumRules);
    QVERIFY(stats.skipped < stats.rules / 5);

    // The list's own "||host^" filters stop a script from their host.
    int tried = 0, blocked = 0;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith("||") || !line.endsWith('^'))
            continue;
        const QByteArray host = line.mid(2, line.size() - 3);
        if (host.contains('*') || host.contains('/') || host.contains('^'))
            continue;
        const QString h = QString::fromUtf8(host);
        const Request request{QStringLiteral("https://%1/x.js").arg(h), h,
                              QStringLiteral("www.unrelated-page.example"), ResourceType::Script};
        ++tried;
        blocked += set.decide(request) == Verdict::Block;
        if (tried == 200)
            break;
    }
    qInfo("%d of %d host filters block their host", blocked, tried);
    QVERIFY(tried > 50);
    QVERIFY(blocked * 100 >= tried * 95);
}

QTEST_GUILESS_MAIN(TestFilters)
#include "tst_filters.moc"
