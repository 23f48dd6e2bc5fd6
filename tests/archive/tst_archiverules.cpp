#include "archive/model/ArchiveRules.h"
#include "history/model/HistoryList.h"

#include <QTest>

using namespace ArchiveRules;

class TestArchiveRules : public QObject {
    Q_OBJECT

private slots:
    void keys_data();
    void keys();
    void splitKeys_data();
    void splitKeys();
    void dirIdx_data();
    void dirIdx();
    void bookmarkIdx_data();
    void bookmarkIdx();
    void newFolderName_data();
    void newFolderName();
    void newFolderNameExhausted();
    void titleOfAddress_data();
    void titleOfAddress();
    void droppedBookmark_data();
    void droppedBookmark();
};

void TestArchiveRules::keys_data() {
    QTest::addColumn<int>("folder");
    QTest::addColumn<int>("bookmark");
    QTest::addColumn<QString>("key");
    QTest::newRow("small") << 3 << 5 << "3@5";
    QTest::newRow("zero bookmark") << 1 << 0 << "1@0";
    QTest::newRow("largest") << 2147483647 << 32767 << "2147483647@32767";
}

// Every key a tree node gets must split back into the numbers it came from.
void TestArchiveRules::keys() {
    QFETCH(int, folder);
    QFETCH(int, bookmark);
    QFETCH(QString, key);
    QCOMPARE(folderKey(folder), QString::number(folder) + "@");
    QCOMPARE(bookmarkKey(folder, qint16(bookmark)), key);

    qint32 dir = -1;
    qint16 mark = -1;
    ArchiveRules::splitKey(bookmarkKey(folder, qint16(bookmark)), dir, mark);
    QCOMPARE(dir, folder);
    QCOMPARE(mark, qint16(bookmark));

    dir = -1;
    mark = 77;
    ArchiveRules::splitKey(folderKey(folder), dir, mark);
    QCOMPARE(dir, folder);
    QCOMPARE(mark, qint16(77));
}

void TestArchiveRules::splitKeys_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("dir");
    QTest::addColumn<int>("bookmark");
    // Every row starts with the bookmark number 9.
    QTest::newRow("bookmark") << "3@5" << 3 << 5;
    QTest::newRow("folder keeps bookmark") << "3@" << 3 << 9;
    QTest::newRow("root") << "0@" << 0 << 9;
    QTest::newRow("long numbers") << "1234@321" << 1234 << 321;
    QTest::newRow("text before") << "abc@7" << 0 << 7;
    QTest::newRow("nothing before") << "@4" << 0 << 4;
    QTest::newRow("text after") << "3@x" << 3 << 0;
    QTest::newRow("no separator") << "12" << 12 << 9;
}

void TestArchiveRules::splitKeys() {
    QFETCH(QString, key);
    QFETCH(int, dir);
    QFETCH(int, bookmark);
    qint32 nDir = -1;
    qint16 nBookmark = 9;
    ArchiveRules::splitKey(key, nDir, nBookmark);
    QCOMPARE(nDir, dir);
    QCOMPARE(nBookmark, qint16(bookmark));
}

void TestArchiveRules::dirIdx_data() {
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<int>("wanted");
    QTest::addColumn<int>("index");
    const QList<int> numbers{4, 7, 7, 2};
    QTest::newRow("first") << numbers << 4 << 1;
    QTest::newRow("first of two") << numbers << 7 << 2;
    QTest::newRow("last") << numbers << 2 << 4;
    QTest::newRow("missing") << numbers << 5 << 0;
    QTest::newRow("empty") << QList<int>() << 1 << 0;
}

void TestArchiveRules::dirIdx() {
    QFETCH(QList<int>, numbers);
    QFETCH(int, wanted);
    QFETCH(int, index);
    QList<std::shared_ptr<Thema>> col;
    for (int nr : numbers) {
        auto t = std::make_shared<Thema>();
        t->Nr = nr;
        col.append(t);
    }
    QCOMPARE(folderIndex(col, wanted), index);
}

void TestArchiveRules::bookmarkIdx_data() {
    dirIdx_data();
}

void TestArchiveRules::bookmarkIdx() {
    QFETCH(QList<int>, numbers);
    QFETCH(int, wanted);
    QFETCH(int, index);
    QList<Bookmark> col;
    for (int nr : numbers) {
        Bookmark b;
        b.Nr = qint16(nr);
        col.append(b);
    }
    QCOMPARE(bookmarkIndex(col, qint16(wanted)), index);
}

void TestArchiveRules::newFolderName_data() {
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("name");
    QTest::newRow("empty tree") << QStringList() << "Neuer Ordner";
    QTest::newRow("other names") << QStringList{"Links", "Neuer Ordner (1)"} << "Neuer Ordner";
    QTest::newRow("taken once") << QStringList{"Neuer Ordner"} << "Neuer Ordner (1)";
    QTest::newRow("taken twice") << QStringList{"Neuer Ordner", "Neuer Ordner (1)"}
                                 << "Neuer Ordner (2)";
    QTest::newRow("gap") << QStringList{"Neuer Ordner (1)", "Neuer Ordner", "Neuer Ordner (3)"}
                         << "Neuer Ordner (2)";
    // The texts include bookmark titles, which block a name just the same.
    QTest::newRow("bookmark titled so")
        << QStringList{"Archiv", "Neuer Ordner", "https://example.org/"} << "Neuer Ordner (1)";
    QTest::newRow("case differs") << QStringList{"neuer ordner"} << "Neuer Ordner";
    QTest::newRow("blank differs") << QStringList{"Neuer Ordner "} << "Neuer Ordner";
}

void TestArchiveRules::newFolderName() {
    QFETCH(QStringList, texts);
    QFETCH(QString, name);
    const std::optional<QString> got = ArchiveRules::newFolderName(texts);
    QVERIFY(got.has_value());
    QCOMPARE(*got, name);
}

void TestArchiveRules::newFolderNameExhausted() {
    QStringList texts{"Neuer Ordner"};
    for (int n = 1; n < 32767; ++n)
        texts.append(QStringLiteral("Neuer Ordner (%1)").arg(n));
    QCOMPARE(ArchiveRules::newFolderName(texts), std::optional<QString>("Neuer Ordner (32767)"));
    texts.append("Neuer Ordner (32767)");
    QVERIFY(!ArchiveRules::newFolderName(texts).has_value());
}

void TestArchiveRules::titleOfAddress_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("historyUrl");
    QTest::addColumn<QString>("historyTitle");
    QTest::addColumn<QString>("title");
    QTest::newRow("last folder") << "http://example.org/docs/"
                                 << ""
                                 << ""
                                 << "docs";
    QTest::newRow("history wins") << "http://example.org/docs/"
                                  << "http://example.org/docs/"
                                  << "Die Doku"
                                  << "Die Doku";
    QTest::newRow("history needs exact address") << "http://example.org/docs/"
                                                 << "http://example.org/docs"
                                                 << "Die Doku"
                                                 << "docs";
    QTest::newRow("history case matters") << "http://example.org/Docs/"
                                          << "http://example.org/docs/"
                                          << "Die Doku"
                                          << "Docs";
    QTest::newRow("history title empty") << "http://example.org/docs/"
                                         << "http://example.org/docs/"
                                         << ""
                                         << "";
    QTest::newRow("history title with path") << "http://example.org/"
                                             << "http://example.org/"
                                             << "Ordner\\Seite"
                                             << "Seite";
    QTest::newRow("history title ends with backslash") << "http://example.org/"
                                                       << "http://example.org/"
                                                       << "Titel\\"
                                                       << "Titel\\";
    QTest::newRow("file name") << "http://example.org/a/b.html"
                               << ""
                               << ""
                               << "b.html";
    QTest::newRow("host") << "http://example.org/"
                          << ""
                          << ""
                          << "example.org";
    QTest::newRow("blanks") << "  http://example.org/a/b  "
                            << ""
                            << ""
                            << "b";
    QTest::newRow("no slash") << "beispiel"
                              << ""
                              << ""
                              << "beispiel";
    QTest::newRow("windows path") << "C:\\web\\index.htm"
                                  << ""
                                  << ""
                                  << "index.htm";
    QTest::newRow("windows folder") << "C:\\web\\"
                                    << ""
                                    << ""
                                    << "web";
    QTest::newRow("slash then backslash") << "x/a\\b\\c"
                                          << ""
                                          << ""
                                          << "c";
    QTest::newRow("only slash") << "/"
                                << ""
                                << ""
                                << "";
    QTest::newRow("slash is last") << "a//"
                                   << ""
                                   << ""
                                   << "a/";
    QTest::newRow("local path") << "/home/u/a b.html"
                                << ""
                                << ""
                                << "a b.html";
}

void TestArchiveRules::titleOfAddress() {
    QFETCH(QString, address);
    QFETCH(QString, historyUrl);
    QFETCH(QString, historyTitle);
    QFETCH(QString, title);
    HistoryList history;
    history.add("http://example.org/other", "Andere", 10);
    if (!historyUrl.isEmpty())
        history.add(historyUrl, historyTitle, 10);
    QCOMPARE(ArchiveRules::titleOfAddress(address, history), title);
}

void TestArchiveRules::droppedBookmark_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("firstFile");
    QTest::addColumn<QString>("historyUrl");
    QTest::addColumn<QString>("historyTitle");
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("address");
    QTest::newRow("web folder") << "http://example.org/docs/"
                                << ""
                                << ""
                                << "" << true << "docs"
                                << "http://example.org/docs/";
    QTest::newRow("history wins") << "http://example.org/docs/"
                                  << ""
                                  << "http://example.org/docs/"
                                  << "Die Doku" << true << "Die Doku"
                                  << "http://example.org/docs/";
    QTest::newRow("drive letter") << "file:///C:/web/index.htm"
                                  << ""
                                  << ""
                                  << "" << true << "index.htm"
                                  << "C:\\web\\index.htm";
    QTest::newRow("small drive letter") << "file:///d:/a/b.htm"
                                        << ""
                                        << ""
                                        << "" << true << "b.htm"
                                        << "d:\\a\\b.htm";
    QTest::newRow("upper-case scheme") << "FILE:///C:/a/b.htm"
                                       << ""
                                       << ""
                                       << "" << true << "b.htm"
                                       << "C:\\a\\b.htm";
    QTest::newRow("local path decoded") << "file:///home/u/a%20b.html"
                                        << ""
                                        << ""
                                        << "" << true << "a b.html"
                                        << "/home/u/a b.html";
    QTest::newRow("utf-8 decoded") << "file:///tmp/Gr%C3%BC%C3%9Fe.html"
                                   << ""
                                   << ""
                                   << "" << true << "Grüße.html"
                                   << "/tmp/Grüße.html";
    QTest::newRow("history of dropped file address") << "file:///home/u/a%20b.html"
                                                     << ""
                                                     << "file:///home/u/a%20b.html"
                                                     << "Seite A" << true << "Seite A"
                                                     << "/home/u/a b.html";
    QTest::newRow("history of drive letter address") << "file:///C:/web/index.htm"
                                                     << ""
                                                     << "file:///C:/web/index.htm"
                                                     << "Startseite" << true << "Startseite"
                                                     << "C:\\web\\index.htm";
    QTest::newRow("file list wins") << "http://example.org/"
                                    << "/tmp/x.html"
                                    << ""
                                    << "" << true << "x.html"
                                    << "/tmp/x.html";
    QTest::newRow("file list alone") << ""
                                     << "/tmp/x.html"
                                     << ""
                                     << "" << true << "x.html"
                                     << "/tmp/x.html";
    QTest::newRow("nothing") << ""
                             << ""
                             << ""
                             << "" << false << ""
                             << "";
    QTest::newRow("only blanks") << "   "
                                 << ""
                                 << ""
                                 << "" << false << ""
                                 << "";
}

void TestArchiveRules::droppedBookmark() {
    QFETCH(QString, text);
    QFETCH(QString, firstFile);
    QFETCH(QString, historyUrl);
    QFETCH(QString, historyTitle);
    QFETCH(bool, dropped);
    QFETCH(QString, title);
    QFETCH(QString, address);
    HistoryList history;
    if (!historyUrl.isEmpty())
        history.add(historyUrl, historyTitle, 10);
    const std::optional<Dropped> got = ArchiveRules::droppedBookmark(text, firstFile, history);
    QCOMPARE(got.has_value(), dropped);
    if (!got)
        return;
    QCOMPARE(got->title, title);
    QCOMPARE(got->address, address);
}

QTEST_APPLESS_MAIN(TestArchiveRules)
#include "tst_archiverules.moc"
