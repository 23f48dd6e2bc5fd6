#include "passwords/model/LoginRules.h"

#include <QTest>
#include <QUrl>

// Which site a login belongs to, and what a sent form asks.
class TestLoginRules : public QObject {
    Q_OBJECT
private slots:
    void siteOf_data();
    void siteOf();
    void offerFor_data();
    void offerFor();
};

void TestLoginRules::siteOf_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("site");
    QTest::newRow("https, default port") << "https://Example.org/login?x=1"
                                         << "https://example.org:443";
    QTest::newRow("http, default port") << "http://example.org/"
                                        << "http://example.org:80";
    QTest::newRow("own port") << "http://127.0.0.1:8080/a"
                              << "http://127.0.0.1:8080";
    QTest::newRow("user in address") << "https://bob@example.org/"
                                     << "https://example.org:443";
    QTest::newRow("file") << "file:///tmp/login.html"
                          << "";
    QTest::newRow("internal page") << "qrc:/korvix/start.html"
                                   << "";
    QTest::newRow("data") << "data:text/html,<form>"
                          << "";
}

void TestLoginRules::siteOf() {
    QFETCH(QString, url);
    QFETCH(QString, site);
    QCOMPARE(LoginRules::siteOf(QUrl(url)), site);
    if (!site.isEmpty())
        QCOMPARE(LoginRules::siteOf(QUrl(site)), site);
}

void TestLoginRules::offerFor_data() {
    QTest::addColumn<QStringList>("known"); // user=password pairs
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("offer");
    using O = LoginRules::Offer;
    QTest::newRow("nothing known") << QStringList() << "anna"
                                   << "pw" << int(O::Save);
    QTest::newRow("same login") << QStringList{"anna=pw"} << "anna"
                                << "pw" << int(O::Nothing);
    QTest::newRow("changed password") << QStringList{"anna=pw"} << "anna"
                                      << "neu" << int(O::Update);
    QTest::newRow("other user") << QStringList{"anna=pw"} << "bert"
                                << "pw" << int(O::Save);
    QTest::newRow("second of two changed") << QStringList{"anna=pw", "bert=alt"} << "bert"
                                           << "neu" << int(O::Update);
    QTest::newRow("user names differ in case") << QStringList{"anna=pw"} << "Anna"
                                               << "pw" << int(O::Save);
    QTest::newRow("no password") << QStringList() << "anna"
                                 << "" << int(O::Nothing);
    QTest::newRow("no user name") << QStringList() << ""
                                  << "pw" << int(O::Save);
}

void TestLoginRules::offerFor() {
    QFETCH(QStringList, known);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, offer);
    QList<SavedLogin> logins;
    for (const QString& pair : known)
        logins << SavedLogin{QStringLiteral("https://example.org:443"), pair.section('=', 0, 0),
                             pair.section('=', 1), QString()};
    QCOMPARE(int(LoginRules::offerFor(logins, user, password)), offer);
}

QTEST_APPLESS_MAIN(TestLoginRules)
#include "tst_loginrules.moc"
