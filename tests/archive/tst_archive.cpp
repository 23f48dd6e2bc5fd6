#include "FileHelpers.h"
#include "archive/model/Archive.h"
#include "archive/model/ArchiveRecords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

ThemaRecord folder(qint32 sequenz, qint32 nr, const QString& name, const QString& file) {
    ThemaRecord t;
    t.Sequenz = sequenz;
    t.Nr = nr;
    t.DirName = name;
    t.FileName = file;
    return t;
}

// Records as they are, with their positions unchanged.
QByteArray indexBytes(const QList<ThemaRecord>& folders) {
    QByteArray out;
    for (const ThemaRecord& t : folders)
        out += t.toBytes();
    return out;
}

QByteArray bookmarkBytes(const QList<qint16>& numbers) {
    QByteArray out;
    for (qint16 nr : numbers) {
        BookmarkRecord b;
        b.Nr = nr;
        b.Titel = QStringLiteral("Seite %1").arg(nr);
        b.Url = QStringLiteral("https://example.org/%1").arg(nr);
        out += b.toBytes();
    }
    return out;
}

QByteArray randomBytes(int size, quint32 seed) {
    QRandomGenerator gen(seed);
    QByteArray out(size, '\0');
    for (char& c : out)
        c = char(gen.bounded(256));
    return out;
}

QStringList namesOf(const Book& book) {
    QStringList names;
    if (book.folders) {
        for (const auto& t : *book.folders)
            names.append(t->DirName());
    }
    return names;
}

QList<qint32> numbersOf(const Book& book) {
    QList<qint32> numbers;
    if (book.folders) {
        for (const auto& t : *book.folders)
            numbers.append(t->Nr);
    }
    return numbers;
}

// Three folders "A", "B", "C" in files a.bkm, b.bkm, c.bkm holding 1, 2 and
// 3 bookmarks.
void writeThreeFolders(const QDir& dir) {
    putFile(dir.filePath("Book.bkm"),
            indexBytes({folder(6, 1, "A", "a.bkm"), folder(21, 2, "B", "b.bkm"),
                        folder(41, 3, "C", "c.bkm")}));
    putFile(dir.filePath("a.bkm"), bookmarkBytes({1}));
    putFile(dir.filePath("b.bkm"), bookmarkBytes({1, 2}));
    putFile(dir.filePath("c.bkm"), bookmarkBytes({1, 2, 3}));
}

} // namespace

// Declares book, error and warning, and loads the archive in dir.
#define LOAD_BOOK(book, dir)                                                                       \
    Book book(dir);                                                                                \
    QString error, warning;                                                                        \
    QCOMPARE(book.load(&error, &warning), Book::LoadResult::Loaded)

class TestArchive : public QObject {
    Q_OBJECT

private slots:
    void folderKeysAfterLoad();
    void freshBookFirstKey();
    void folderKeyAbovePositions();
    void keyOverflow_data();
    void keyOverflow();
    void bookmarkKeysAfterDeletes();
    void deleteThema_data();
    void deleteThema();
    void deleteThemaOutOfRange_data();
    void deleteThemaOutOfRange();
    void onlyChangedFoldersRewritten();
    void renamedFolderRewritten();
    void absentAndEmptyFolders();
    void defaultArchive();
    void missingIndexCreated();
    void indexIsDirectory();
    void folderFileIsDirectory();
    void folderPositions_data();
    void folderPositions();
    void bookmarkPositions_data();
    void bookmarkPositions();
    void recordsFromAnyBytes_data();
    void recordsFromAnyBytes();
    void randomFolderFile();
    void failedSaveKeepsFiles_data();
    void failedSaveKeepsFiles();
    void failedIndexKeepsFlags();
    void fileNamesStayInside();
    void textRoundTrip();
    void storedFlags_data();
    void storedFlags();
};

void TestArchive::folderKeysAfterLoad() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeThreeFolders(dir);
    LOAD_BOOK(book, tmp.path());
    QCOMPARE(warning, QString());
    QCOMPARE(numbersOf(book), (QList<qint32>{1, 2, 3}));
    QCOMPARE(namesOf(book), (QStringList{"A", "B", "C"}));
    QCOMPARE(book.folderCount, qint16(3));
    QCOMPARE(book.maxSequenz, 41);
    QVERIFY(!book.anyChanged());

    const std::optional<qint32> key = book.nextNumber();
    QCOMPARE(key, std::optional<qint32>(42));
    QCOMPARE(book.nextNumber(), std::optional<qint32>(43));

    // A folder added under the first new key lands in its own file and the
    // next load continues after it.
    auto added = std::make_shared<Thema>();
    added->Nr = 4;
    added->Sequenz = *key;
    added->FileName = QString::number(*key) + ".bkm";
    added->setDirName("Neu");
    added->bookmarks = QList<Bookmark>{Bookmark{}};
    book.folders->append(added);
    QVERIFY2(book.save(&error), qPrintable(error));
    QCOMPARE(QFileInfo(dir.filePath("42.bkm")).size(), 1081);
    QCOMPARE(contentOf(dir.filePath("c.bkm")), bookmarkBytes({1, 2, 3}));

    Book again(tmp.path());
    QCOMPARE(again.load(&error, &warning), Book::LoadResult::Loaded);
    QCOMPARE(namesOf(again), (QStringList{"A", "B", "C", "Neu"}));
    QCOMPARE(again.folders->at(3)->Sequenz, 42);
    QCOMPARE(again.nextNumber(), std::optional<qint32>(43));
}

void TestArchive::freshBookFirstKey() {
    QTemporaryDir tmp;
    Book book(tmp.path());
    QCOMPARE(book.nextNumber(), std::optional<qint32>(1));
    QCOMPARE(book.nextNumber(), std::optional<qint32>(2));
    Thema thema;
    QCOMPARE(thema.nextNumber(), std::optional<qint16>(1));
}

// The window numbers new folders with nextNumber, so the key must not repeat
// a loaded folder's number even when the stored sequence values are zero.
void TestArchive::folderKeyAbovePositions() {
    QTemporaryDir tmp;
    putFile(QDir(tmp.path()).filePath("Book.bkm"),
            indexBytes({folder(0, 1, "A", "a.bkm"), folder(0, 2, "B", "b.bkm"),
                        folder(0, 3, "C", "c.bkm")}));
    LOAD_BOOK(book, tmp.path());
    QCOMPARE(book.nextNumber(), std::optional<qint32>(4));
}

void TestArchive::keyOverflow_data() {
    QTest::addColumn<bool>("folderKey");
    QTest::addColumn<qint64>("counter");
    QTest::addColumn<qint64>("next");
    QTest::newRow("bookmark below limit") << false << qint64(32766) << qint64(32767);
    QTest::newRow("bookmark at limit") << false << qint64(32767) << qint64(-1);
    QTest::newRow("folder below limit") << true << qint64(2147483646) << qint64(2147483647);
    QTest::newRow("folder at limit") << true << qint64(2147483647) << qint64(-1);
}

// At the limit no key is handed out and the counter keeps its value.
void TestArchive::keyOverflow() {
    QFETCH(bool, folderKey);
    QFETCH(qint64, counter);
    QFETCH(qint64, next);
    if (folderKey) {
        Book book(QDir::tempPath());
        book.maxSequenz = qint32(counter);
        const std::optional<qint32> key = book.nextNumber();
        QCOMPARE(key.has_value(), next >= 0);
        if (key)
            QCOMPARE(qint64(*key), next);
        QCOMPARE(qint64(book.maxSequenz), next >= 0 ? next : counter);
    } else {
        Thema thema;
        thema.counter = qint16(counter);
        const std::optional<qint16> key = thema.nextNumber();
        QCOMPARE(key.has_value(), next >= 0);
        if (key)
            QCOMPARE(qint64(*key), next);
        QCOMPARE(qint64(thema.counter), next >= 0 ? next : counter);
    }
}

void TestArchive::bookmarkKeysAfterDeletes() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    putFile(dir.filePath("Book.bkm"), indexBytes({folder(1, 1, "A", "a.bkm")}));
    putFile(dir.filePath("a.bkm"), bookmarkBytes({1, 2, 3, 4}));
    LOAD_BOOK(book, tmp.path());
    Thema& thema = *book.folders->at(0);
    QCOMPARE(thema.counter, qint16(4));
    thema.bookmarks->removeAt(2);
    thema.bookmarks->removeAt(1);
    QCOMPARE(thema.nextNumber(), std::optional<qint16>(5));
    QCOMPARE(thema.nextNumber(), std::optional<qint16>(6));
}

void TestArchive::deleteThema_data() {
    QTest::addColumn<bool>("fileExists");
    QTest::newRow("file present") << true;
    QTest::newRow("file already missing") << false;
}

void TestArchive::deleteThema() {
    QFETCH(bool, fileExists);
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeThreeFolders(dir);
    if (!fileExists)
        QVERIFY(QFile::remove(dir.filePath("b.bkm")));
    LOAD_BOOK(book, tmp.path());
    const std::shared_ptr<Thema> removed = book.folders->at(1);

    QVERIFY2(book.removeFolder(2, &error), qPrintable(error));
    QVERIFY(!removed->bookmarks.has_value());
    QVERIFY(!QFileInfo::exists(dir.filePath("b.bkm")));
    QCOMPARE(namesOf(book), (QStringList{"A", "C"}));
    QCOMPARE(QFileInfo(dir.filePath("Book.bkm")).size(), 2 * 336);
    QVERIFY(!book.anyChanged());

    Book again(tmp.path());
    QCOMPARE(again.load(&error, &warning), Book::LoadResult::Loaded);
    QCOMPARE(namesOf(again), (QStringList{"A", "C"}));
    QCOMPARE(again.folders->at(1)->bookmarks->size(), 3);
}

void TestArchive::deleteThemaOutOfRange_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -1;
    QTest::newRow("past the end") << 4;
}

void TestArchive::deleteThemaOutOfRange() {
    QFETCH(int, index);
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeThreeFolders(dir);
    const QByteArray before = contentOf(dir.filePath("Book.bkm"));
    LOAD_BOOK(book, tmp.path());
    QVERIFY(!book.removeFolder(index, &error));
    QCOMPARE(namesOf(book), (QStringList{"A", "B", "C"}));
    QCOMPARE(contentOf(dir.filePath("Book.bkm")), before);
    QVERIFY(QFileInfo::exists(dir.filePath("a.bkm")));
    QVERIFY(QFileInfo::exists(dir.filePath("c.bkm")));

    Book empty(tmp.path());
    QVERIFY(!empty.removeFolder(1, &error));
}

void TestArchive::onlyChangedFoldersRewritten() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeThreeFolders(dir);
    LOAD_BOOK(book, tmp.path());

    // Altered behind the program's back: stays so unless the folder changes.
    const QByteArray altered = bookmarkBytes({7});
    putFile(dir.filePath("a.bkm"), altered);
    Thema& b = *book.folders->at(1);
    Bookmark added;
    added.Nr = *b.nextNumber();
    added.Titel = "Neu";
    b.bookmarks->append(added);
    b.changed = true;
    QVERIFY(book.anyChanged());

    QVERIFY2(book.save(&error), qPrintable(error));
    QCOMPARE(contentOf(dir.filePath("a.bkm")), altered);
    const QList<BookmarkRecord> saved = parseBookmarkFile(contentOf(dir.filePath("b.bkm")));
    QCOMPARE(saved.size(), 3);
    QCOMPARE(saved.at(2).Titel, QStringLiteral("Neu"));
    QVERIFY(!b.changed);
    QVERIFY(!book.anyChanged());
}

void TestArchive::renamedFolderRewritten() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeThreeFolders(dir);
    LOAD_BOOK(book, tmp.path());
    putFile(dir.filePath("a.bkm"), QByteArray());
    putFile(dir.filePath("b.bkm"), QByteArray());

    book.folders->at(0)->setDirName("Umbenannt");
    QVERIFY(book.folders->at(0)->changed);
    QVERIFY(book.anyChanged());
    QVERIFY2(book.save(&error), qPrintable(error));
    QCOMPARE(contentOf(dir.filePath("a.bkm")), bookmarkBytes({1}));
    QCOMPARE(contentOf(dir.filePath("b.bkm")), QByteArray());
    const QList<ThemaRecord> index = parseThemaFile(contentOf(dir.filePath("Book.bkm")));
    QCOMPARE(index.size(), 3);
    QCOMPARE(index.at(0).DirName, QStringLiteral("Umbenannt"));
    QCOMPARE(index.at(0).Sequenz, 6);
    QCOMPARE(index.at(2).FileName, QStringLiteral("c.bkm"));
}

// No collection means no file; an empty collection is an empty file.
void TestArchive::absentAndEmptyFolders() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    putFile(dir.filePath("Book.bkm"),
            indexBytes({folder(1, 1, "Leer", "leer.bkm"), folder(2, 2, "Geleert", "geleert.bkm"),
                        folder(3, 3, "Entfernt", "entfernt.bkm")}));
    putFile(dir.filePath("geleert.bkm"), bookmarkBytes({1, 2}));
    putFile(dir.filePath("entfernt.bkm"), bookmarkBytes({1}));
    LOAD_BOOK(book, tmp.path());
    QVERIFY(!QFileInfo::exists(dir.filePath("leer.bkm")));
    Thema& leer = *book.folders->at(0);
    QVERIFY(!leer.bookmarks.has_value());
    QCOMPARE(leer.counter, qint16(0));

    for (const auto& t : *book.folders)
        t->changed = true;
    book.folders->at(1)->bookmarks->clear();
    book.folders->at(2)->bookmarks.reset();
    QVERIFY2(book.save(&error), qPrintable(error));
    QVERIFY(!QFileInfo::exists(dir.filePath("leer.bkm")));
    QVERIFY(QFileInfo::exists(dir.filePath("geleert.bkm")));
    QCOMPARE(QFileInfo(dir.filePath("geleert.bkm")).size(), 0);
    QVERIFY(!QFileInfo::exists(dir.filePath("entfernt.bkm")));
    QCOMPARE(QFileInfo(dir.filePath("Book.bkm")).size(), 3 * 336);
}

void TestArchive::defaultArchive() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    Book book(tmp.path());
    QString error;
    QVERIFY2(book.createDefaultArchive("Korvix", "https://korvix.example/doku",
                                       "https://korvix.example/", &error),
             qPrintable(error));
    QVERIFY(!book.anyChanged());
    QCOMPARE(book.maxSequenz, 1);
    QCOMPARE(book.folders->size(), 1);
    QCOMPARE(book.folders->at(0)->counter, qint16(3));

    const QByteArray index = contentOf(dir.filePath("Book.bkm"));
    QCOMPARE(index.size(), 336);
    const ThemaRecord t = ThemaRecord::fromBytes(index);
    QCOMPARE(t.Sequenz, 1);
    QCOMPARE(t.Nr, 1);
    QCOMPARE(t.DirName, QStringLiteral("Info zu Korvix"));
    QCOMPARE(t.FileName, QStringLiteral("1.bkm"));

    const QByteArray marks = contentOf(dir.filePath("1.bkm"));
    QCOMPARE(marks.size(), 2162);
    const QList<BookmarkRecord> records = parseBookmarkFile(marks);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.at(0).Titel, QStringLiteral("Korvix Dokumentation"));
    QCOMPARE(records.at(0).Url, QStringLiteral("https://korvix.example/doku"));
    QCOMPARE(records.at(1).Titel, QStringLiteral("Korvix Website"));
    QCOMPARE(records.at(1).Url, QStringLiteral("https://korvix.example/"));
    for (const BookmarkRecord& r : records) {
        QCOMPARE(r.Info, QString());
        QCOMPARE(r.Adresszeile, qint16(-1));
        QCOMPARE(r.Toolbar, qint16(-1));
    }

    Book again(tmp.path());
    QString warning;
    QCOMPARE(again.load(&error, &warning), Book::LoadResult::Loaded);
    const Thema& loaded = *again.folders->at(0);
    QCOMPARE(loaded.DirName(), QStringLiteral("Info zu Korvix"));
    QCOMPARE(loaded.bookmarks->size(), 2);
    QCOMPARE(loaded.bookmarks->at(0).Nr, qint16(1));
    QCOMPARE(loaded.bookmarks->at(1).Nr, qint16(2));
    QVERIFY(loaded.bookmarks->at(1).Adresszeile);
    QVERIFY(loaded.bookmarks->at(1).Toolbar);

    // A higher folder key survives a reset to the default archive.
    Book used(tmp.path());
    used.maxSequenz = 10;
    QVERIFY2(used.createDefaultArchive("Korvix", "d", "w", &error), qPrintable(error));
    QCOMPARE(used.maxSequenz, 10);
}

void TestArchive::missingIndexCreated() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    Book book(tmp.path());
    auto kept = std::make_shared<Thema>();
    kept->setDirName("Bleibt");
    book.folders = QList<std::shared_ptr<Thema>>{kept};
    book.folderCount = 5;
    QString error, warning;
    QCOMPARE(book.load(&error, &warning), Book::LoadResult::Empty);
    QVERIFY(QFileInfo(dir.filePath("Book.bkm")).isFile());
    QCOMPARE(QFileInfo(dir.filePath("Book.bkm")).size(), 0);
    QCOMPARE(book.folderCount, qint16(0));
    QCOMPARE(namesOf(book), QStringList{"Bleibt"});
    QCOMPARE(book.loadIndex(&error), Book::LoadResult::Empty);
}

void TestArchive::indexIsDirectory() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    QVERIFY(dir.mkdir("Book.bkm"));
    putFile(dir.filePath("Book.bkm/drin"), "bleibt");
    Book book(tmp.path());
    auto kept = std::make_shared<Thema>();
    kept->setDirName("Bleibt");
    book.folders = QList<std::shared_ptr<Thema>>{kept};
    QString error, warning;
    QCOMPARE(book.load(&error, &warning), Book::LoadResult::Failed);
    QVERIFY2(error.contains("Book.bkm"), qPrintable(error));
    QCOMPARE(namesOf(book), QStringList{"Bleibt"});
    QVERIFY(QFileInfo(dir.filePath("Book.bkm")).isDir());
    QCOMPARE(contentOf(dir.filePath("Book.bkm/drin")), QByteArray("bleibt"));
}

void TestArchive::folderFileIsDirectory() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeThreeFolders(dir);
    for (const QString name : {"a.bkm", "c.bkm"}) {
        QVERIFY(QFile::remove(dir.filePath(name)));
        QVERIFY(dir.mkdir(name));
        putFile(dir.filePath(name + "/drin"), "bleibt");
    }
    LOAD_BOOK(book, tmp.path());
    const QStringList lines = warning.split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).contains("a.bkm"), qPrintable(warning));
    QVERIFY2(lines.at(1).contains("c.bkm"), qPrintable(warning));
    const Thema& a = *book.folders->at(0);
    QVERIFY(a.readFailed);
    QVERIFY(!a.bookmarks.has_value());
    QVERIFY(!book.folders->at(1)->readFailed);
    QCOMPARE(book.folders->at(1)->bookmarks->size(), 2);

    book.folders->at(1)->setDirName("Geändert");
    book.changed = true;
    QVERIFY2(book.save(&error), qPrintable(error));
    for (const QString name : {"a.bkm", "c.bkm"}) {
        QVERIFY(QFileInfo(dir.filePath(name)).isDir());
        QCOMPARE(contentOf(dir.filePath(name + "/drin")), QByteArray("bleibt"));
    }
    QCOMPARE(parseThemaFile(contentOf(dir.filePath("Book.bkm"))).size(), 3);
}

void TestArchive::folderPositions_data() {
    QTest::addColumn<QList<qint32>>("stored");
    QTest::addColumn<QList<qint32>>("numbers");
    QTest::addColumn<QString>("warned");
    QTest::newRow("in order") << QList<qint32>{1, 2, 3} << QList<qint32>{1, 2, 3} << "";
    QTest::newRow("other order") << QList<qint32>{3, 1, 2} << QList<qint32>{3, 1, 2} << "";
    QTest::newRow("twice") << QList<qint32>{1, 2, 2} << QList<qint32>{1, 2, 3}
                           << "Position 2 mehrfach";
    QTest::newRow("all the same") << QList<qint32>{1, 1, 1} << QList<qint32>{1, 2, 3}
                                  << "Position 1 mehrfach";
    QTest::newRow("zero") << QList<qint32>{2, 0, 1} << QList<qint32>{1, 2, 3} << "Position 0";
    QTest::newRow("negative") << QList<qint32>{1, -4, 2} << QList<qint32>{1, 2, 3} << "Position -4";
    QTest::newRow("beyond 16 bits")
        << QList<qint32>{1, 2, 40000} << QList<qint32>{1, 2, 3} << "Position 40000";
    // Gaps are harmless but the next folder number must not run into them.
    QTest::newRow("gaps") << QList<qint32>{1, 5, 9} << QList<qint32>{1, 2, 3} << "";
}

void TestArchive::folderPositions() {
    QFETCH(QList<qint32>, stored);
    QFETCH(QList<qint32>, numbers);
    QFETCH(QString, warned);
    QTemporaryDir tmp;
    QList<ThemaRecord> records;
    for (int i = 0; i < stored.size(); ++i)
        records.append(folder(i + 1, stored.at(i), QString(QChar('A' + i)),
                              QStringLiteral("%1.bkm").arg(i + 1)));
    putFile(QDir(tmp.path()).filePath("Book.bkm"), indexBytes(records));
    LOAD_BOOK(book, tmp.path());
    if (warned.isEmpty()) {
        QCOMPARE(warning, QString());
    } else {
        QVERIFY2(warning.contains("Book.bkm"), qPrintable(warning));
        QVERIFY2(warning.contains(warned), qPrintable(warning));
    }
    QCOMPARE(numbersOf(book), numbers);
    QCOMPARE(namesOf(book), (QStringList{"A", "B", "C"}));
    QCOMPARE(book.folderCount, qint16(3));
}

void TestArchive::bookmarkPositions_data() {
    QTest::addColumn<QList<qint16>>("stored");
    QTest::addColumn<QList<qint16>>("numbers");
    QTest::newRow("in order") << QList<qint16>{1, 2, 3} << QList<qint16>{1, 2, 3};
    QTest::newRow("other order") << QList<qint16>{2, 3, 1} << QList<qint16>{2, 3, 1};
    QTest::newRow("twice") << QList<qint16>{1, 3, 3} << QList<qint16>{1, 2, 3};
    QTest::newRow("zero") << QList<qint16>{0, 1, 2} << QList<qint16>{1, 2, 3};
    QTest::newRow("negative") << QList<qint16>{1, 2, -1} << QList<qint16>{1, 2, 3};
    QTest::newRow("gaps") << QList<qint16>{1, 7, 3} << QList<qint16>{1, 2, 3};
}

// Bookmark numbers are tree keys, so they must be unique within the folder
// and new ones (count + 1) must not collide.
void TestArchive::bookmarkPositions() {
    QFETCH(QList<qint16>, stored);
    QFETCH(QList<qint16>, numbers);
    QTemporaryDir tmp;
    putFile(QDir(tmp.path()).filePath("a.bkm"), bookmarkBytes(stored));
    Thema thema;
    thema.FileName = "a.bkm";
    QString error;
    QVERIFY2(thema.loadBookmarks(tmp.path(), &error), qPrintable(error));
    QList<qint16> got;
    QStringList titles;
    for (const Bookmark& b : *thema.bookmarks) {
        got.append(b.Nr);
        titles.append(b.Titel);
    }
    QCOMPARE(got, numbers);
    QStringList storedTitles;
    for (qint16 nr : stored)
        storedTitles.append(QStringLiteral("Seite %1").arg(nr));
    QCOMPARE(titles, storedTitles);
    QCOMPARE(thema.counter, qint16(3));
}

void TestArchive::recordsFromAnyBytes_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("folders");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("one byte short") << 335 << 0;
    QTest::newRow("one record") << 336 << 1;
    QTest::newRow("torn second") << 700 << 2;
    QTest::newRow("10 KB") << 10240 << 30;
}

// Whatever Book.bkm holds, it loads as the whole records in it.
void TestArchive::recordsFromAnyBytes() {
    QFETCH(int, size);
    QFETCH(int, folders);
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    putFile(dir.filePath("Book.bkm"), randomBytes(size, quint32(size)));
    Book book(tmp.path());
    QString error, warning;
    const Book::LoadResult result = book.load(&error, &warning);
    QCOMPARE(result, folders == 0 ? Book::LoadResult::Empty : Book::LoadResult::Loaded);
    QCOMPARE(book.folderCount, qint16(folders));
    if (folders == 0) {
        QVERIFY(!book.folders.has_value());
        return;
    }
    QCOMPARE(book.folders->size(), folders);
    QSet<qint32> unique;
    for (const auto& t : *book.folders) {
        QVERIFY(t->Nr >= 1 && t->Nr <= folders);
        unique.insert(t->Nr);
        QVERIFY(!t->changed);
    }
    QCOMPARE(unique.size(), folders);
    QCOMPARE(QFileInfo(dir.filePath("Book.bkm")).size(), size);
}

void TestArchive::randomFolderFile() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    putFile(dir.filePath("Book.bkm"), indexBytes({folder(1, 1, "A", "a.bkm")}));
    putFile(dir.filePath("a.bkm"), randomBytes(10240, 7));
    LOAD_BOOK(book, tmp.path());
    const Thema& a = *book.folders->at(0);
    QCOMPARE(a.bookmarks->size(), 9);
    QCOMPARE(a.counter, qint16(9));
    QSet<qint16> unique;
    for (const Bookmark& b : *a.bookmarks)
        unique.insert(b.Nr);
    QCOMPARE(unique.size(), 9);
}

void TestArchive::failedSaveKeepsFiles_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("isDirectory");
    // The new file is written beside the old one under a longer name; at
    // the file system's name limit it cannot be created even as root.
    QTest::newRow("name at the limit") << QString(253, QLatin1Char('n')) << false;
    QTest::newRow("target is a folder") << "neu.bkm" << true;
}

void TestArchive::failedSaveKeepsFiles() {
    QFETCH(QString, fileName);
    QFETCH(bool, isDirectory);
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeThreeFolders(dir);
    const QString target = dir.filePath(fileName);
    if (isDirectory) {
        QVERIFY(dir.mkdir(fileName));
        putFile(target + "/drin", "bleibt");
    } else {
        putFile(target, "alter Inhalt");
    }
    LOAD_BOOK(book, tmp.path());
    const QByteArray index = contentOf(dir.filePath("Book.bkm"));

    auto added = std::make_shared<Thema>();
    added->FileName = fileName;
    added->setDirName("Neu");
    added->bookmarks = QList<Bookmark>{Bookmark{}};
    book.folders->append(added);
    book.changed = true;
    book.folders->at(2)->bookmarks->removeFirst();
    book.folders->at(2)->changed = true;

    QVERIFY(!book.save(&error));
    QVERIFY2(error.contains(fileName), qPrintable(error));
    QCOMPARE(contentOf(dir.filePath("Book.bkm")), index);
    if (isDirectory) {
        QVERIFY(QFileInfo(target).isDir());
        QCOMPARE(contentOf(target + "/drin"), QByteArray("bleibt"));
    } else {
        QCOMPARE(contentOf(target), QByteArray("alter Inhalt"));
    }
    QVERIFY(added->changed);
    QVERIFY(book.changed);
    QVERIFY(book.anyChanged());
    QCOMPARE(
        QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
        5);

    // Once the obstacle is gone, the same save goes through.
    if (isDirectory)
        QVERIFY(QDir(target).removeRecursively());
    else
        added->FileName = "neu.bkm";
    QVERIFY2(book.save(&error), qPrintable(error));
    QVERIFY(!book.anyChanged());
    QCOMPARE(parseThemaFile(contentOf(dir.filePath("Book.bkm"))).size(), 4);
    QCOMPARE(parseBookmarkFile(contentOf(dir.filePath("c.bkm"))).size(), 2);
}

void TestArchive::failedIndexKeepsFlags() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeThreeFolders(dir);
    LOAD_BOOK(book, tmp.path());
    QVERIFY(QFile::remove(dir.filePath("Book.bkm")));
    QVERIFY(dir.mkdir("Book.bkm"));

    // The deletion is in memory only; it must still count as unsaved.
    QVERIFY(!book.anyChanged());
    QVERIFY(!book.removeFolder(3, &error));
    QVERIFY2(error.contains("Book.bkm"), qPrintable(error));
    QVERIFY(book.changed);
    QCOMPARE(namesOf(book), (QStringList{"A", "B"}));

    book.folders->at(0)->setDirName("Neu");
    error.clear();
    QVERIFY(!book.save(&error));
    QVERIFY2(error.contains("Book.bkm"), qPrintable(error));
    QVERIFY(book.changed);
    QVERIFY(book.anyChanged());
    QVERIFY(QFileInfo(dir.filePath("Book.bkm")).isDir());
}

// Book.bkm may come from anywhere; its file names must not reach outside
// the program directory.
void TestArchive::fileNamesStayInside() {
    QTemporaryDir tmp;
    const QDir outer(tmp.path());
    QVERIFY(outer.mkdir("app"));
    const QDir dir(outer.filePath("app"));
    putFile(outer.filePath("draussen.bkm"), bookmarkBytes({1, 2}));
    putFile(dir.filePath("Book.bkm"),
            indexBytes({folder(1, 1, "Fremd", "../draussen.bkm"), folder(2, 2, "Leer", "")}));
    LOAD_BOOK(book, dir.path());
    QVERIFY2(warning.contains("../draussen.bkm"), qPrintable(warning));
    QVERIFY(book.folders->at(0)->readFailed);
    QVERIFY(!book.folders->at(0)->bookmarks.has_value());

    book.folders->at(0)->bookmarks = QList<Bookmark>();
    book.folders->at(0)->changed = true;
    QVERIFY(!book.save(&error));
    QCOMPARE(parseBookmarkFile(contentOf(outer.filePath("draussen.bkm"))).size(), 2);

    QVERIFY2(book.removeFolder(1, &error), qPrintable(error));
    QVERIFY(QFileInfo::exists(outer.filePath("draussen.bkm")));
}

void TestArchive::textRoundTrip() {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    const QString folderName = QStringLiteral("Bücher & Öl – Straße");
    const QString title = QStringLiteral("Новости дня");
    const QString info = QStringLiteral("Grüße für 5 €");
    const QString url = QStringLiteral("https://example.org/Übersicht?q=ä");

    Book book(tmp.path());
    auto thema = std::make_shared<Thema>();
    thema->Nr = 1;
    thema->Sequenz = *book.nextNumber();
    thema->FileName = "1.bkm";
    thema->setDirName(folderName);
    Bookmark b;
    b.Nr = *thema->nextNumber();
    b.Titel = title;
    b.Url = url;
    b.Info = info;
    b.Adresszeile = false;
    b.Toolbar = true;
    thema->bookmarks = QList<Bookmark>{b};
    book.folders = QList<std::shared_ptr<Thema>>{thema};
    book.changed = true;
    QString error, warning;
    QVERIFY2(book.save(&error), qPrintable(error));

    // Umlauts are single Windows-1252 bytes on disk.
    QVERIFY(contentOf(dir.filePath("Book.bkm"))
                .contains("B\xFC"
                          "cher & \xD6l \x96 Stra\xDF"
                          "e"));
    QVERIFY(contentOf(dir.filePath("1.bkm"))
                .contains("Gr\xFC\xDF"
                          "e f\xFCr 5 \x80"));

    Book again(tmp.path());
    QCOMPARE(again.load(&error, &warning), Book::LoadResult::Loaded);
    const Thema& loaded = *again.folders->at(0);
    QCOMPARE(loaded.DirName(), folderName);
    QCOMPARE(loaded.bookmarks->size(), 1);
    const Bookmark& back = loaded.bookmarks->at(0);
    QCOMPARE(back.Titel, title);
    QCOMPARE(back.Url, url);
    QCOMPARE(back.Info, info);
    QVERIFY(!back.Adresszeile);
    QVERIFY(back.Toolbar);
}

void TestArchive::storedFlags_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("shown");
    QTest::newRow("minus one") << -1 << true;
    QTest::newRow("zero") << 0 << false;
    QTest::newRow("one") << 1 << true;
    QTest::newRow("other") << 0x0100 << true;
}

// Other programs may store any non-zero value for true.
void TestArchive::storedFlags() {
    QFETCH(int, stored);
    QFETCH(bool, shown);
    QTemporaryDir tmp;
    QByteArray bytes = bookmarkBytes({1});
    for (int off : {1077, 1079}) {
        bytes[off] = char(stored & 0xFF);
        bytes[off + 1] = char((stored >> 8) & 0xFF);
    }
    putFile(QDir(tmp.path()).filePath("a.bkm"), bytes);
    Thema thema;
    thema.FileName = "a.bkm";
    QString error;
    QVERIFY2(thema.loadBookmarks(tmp.path(), &error), qPrintable(error));
    QCOMPARE(thema.bookmarks->at(0).Adresszeile, shown);
    QCOMPARE(thema.bookmarks->at(0).Toolbar, shown);
}

QTEST_APPLESS_MAIN(TestArchive)
#include "tst_archive.moc"
