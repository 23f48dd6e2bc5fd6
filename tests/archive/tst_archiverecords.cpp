#include "archive/model/ArchiveRecords.h"

#include <QTest>

using BookmarkText = QString BookmarkRecord::*;
Q_DECLARE_METATYPE(BookmarkText)

class TestArchiveRecords : public QObject {
    Q_OBJECT

private slots:
    void themaBytes();
    void bookmarkBytes();
    void booleans_data();
    void booleans();
    void cutAtWidth_data();
    void cutAtWidth();
    void blanksTrimmed();
    void umlautsByteExact();
    void partialRecordIgnored();
    void writersRenumber();
};

void TestArchiveRecords::themaBytes() {
    ThemaRecord t;
    t.Sequenz = 12;
    t.Nr = 2;
    t.DirName = "Links";
    t.FileName = "3.bkm";
    const QByteArray expected = QByteArray("\x0C\0\0\0\x02\0\0\0", 8) + QByteArray("Links") +
                                QByteArray(195, ' ') + "3.bkm" + QByteArray(123, ' ');
    QCOMPARE(expected.size(), 336);
    QCOMPARE(t.toBytes(), expected);
    const ThemaRecord back = ThemaRecord::fromBytes(expected);
    QCOMPARE(back.Sequenz, 12);
    QCOMPARE(back.Nr, 2);
    QCOMPARE(back.DirName, QStringLiteral("Links"));
    QCOMPARE(back.FileName, QStringLiteral("3.bkm"));
}

void TestArchiveRecords::bookmarkBytes() {
    BookmarkRecord b;
    b.Nr = 3;
    b.Titel = "Tagesschau";
    b.Url = "https://www.tagesschau.de/";
    b.Info = "Nachrichten";
    b.Adresszeile = 0;
    const QByteArray expected =
        QByteArray("\x03\x00", 2) + QByteArray("Tagesschau").leftJustified(255) +
        QByteArray("https://www.tagesschau.de/").leftJustified(500) +
        QByteArray("Nachrichten").leftJustified(320) + QByteArray("\x00\x00\xFF\xFF", 4);
    QCOMPARE(expected.size(), 1081);
    QCOMPARE(b.toBytes(), expected);
    const BookmarkRecord back = BookmarkRecord::fromBytes(expected);
    QCOMPARE(back.Nr, qint16(3));
    QCOMPARE(back.Url, b.Url);
    QCOMPARE(back.Info, b.Info);
    QCOMPARE(back.Adresszeile, qint16(0));
    QCOMPARE(back.Toolbar, qint16(-1));
}

void TestArchiveRecords::booleans_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("true") << -1 << QByteArray("\xFF\xFF");
    QTest::newRow("false") << 0 << QByteArray("\x00\x00", 2);
    QTest::newRow("one") << 1 << QByteArray("\xFF\xFF");
    QTest::newRow("other") << 0x0102 << QByteArray("\xFF\xFF");
}

// Writers store only -1 or 0; readers keep whatever another program stored.
void TestArchiveRecords::booleans() {
    QFETCH(int, value);
    QFETCH(QByteArray, written);
    BookmarkRecord b;
    b.Adresszeile = qint16(value);
    b.Toolbar = 0;
    QByteArray bytes = b.toBytes();
    QCOMPARE(bytes.mid(1077, 2), written);
    QCOMPARE(bytes.mid(1079, 2), QByteArray(2, '\0'));
    bytes[1079] = char(value & 0xFF);
    bytes[1080] = char((value >> 8) & 0xFF);
    QCOMPARE(BookmarkRecord::fromBytes(bytes).Toolbar, qint16(value));
}

void TestArchiveRecords::cutAtWidth_data() {
    QTest::addColumn<BookmarkText>("member");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("kept");
    QTest::newRow("Titel") << &BookmarkRecord::Titel << 300 << 255;
    QTest::newRow("Url") << &BookmarkRecord::Url << 600 << 500;
    QTest::newRow("Info") << &BookmarkRecord::Info << 360 << 320;
    QTest::newRow("Info fits") << &BookmarkRecord::Info << 320 << 320;
}

void TestArchiveRecords::cutAtWidth() {
    QFETCH(BookmarkText, member);
    QFETCH(int, length);
    QFETCH(int, kept);
    BookmarkRecord b;
    b.Titel = "T";
    b.Url = "U";
    b.Info = "I";
    QString text;
    for (int i = 0; i < length; ++i)
        text += QChar('a' + i % 26);
    b.*member = text;
    const QByteArray bytes = b.toBytes();
    QCOMPARE(bytes.size(), 1081);
    BookmarkRecord expected = b;
    expected.*member = text.left(kept);
    const BookmarkRecord back = BookmarkRecord::fromBytes(bytes);
    QCOMPARE(back.Titel, expected.Titel);
    QCOMPARE(back.Url, expected.Url);
    QCOMPARE(back.Info, expected.Info);
}

void TestArchiveRecords::blanksTrimmed() {
    BookmarkRecord b;
    b.Titel = "  Titel mit\tTab  ";
    b.Url = " https://x.example/ ";
    b.Info = "  ";
    const BookmarkRecord back = BookmarkRecord::fromBytes(b.toBytes());
    QCOMPARE(back.Titel, QStringLiteral("Titel mit\tTab"));
    QCOMPARE(back.Url, QStringLiteral("https://x.example/"));
    QCOMPARE(back.Info, QString());
    ThemaRecord t;
    t.DirName = "  Links ";
    t.FileName = " 1.bkm";
    const ThemaRecord tb = ThemaRecord::fromBytes(t.toBytes());
    QCOMPARE(tb.DirName, QStringLiteral("Links"));
    QCOMPARE(tb.FileName, QStringLiteral("1.bkm"));
}

void TestArchiveRecords::umlautsByteExact() {
    BookmarkRecord b;
    b.Titel = QStringLiteral("Ärger über Öl – 5 €");
    const QByteArray bytes = b.toBytes();
    QCOMPARE(bytes.mid(2, 19), QByteArray("\xC4rger \xFC"
                                          "ber \xD6l \x96 5 \x80"));
    QCOMPARE(BookmarkRecord::fromBytes(bytes).Titel, b.Titel);
    ThemaRecord t;
    t.DirName = QStringLiteral("Bücher");
    QCOMPARE(quint8(t.toBytes().at(8 + 1)), quint8(0xFC));
}

void TestArchiveRecords::partialRecordIgnored() {
    ThemaRecord a;
    a.DirName = "Links";
    ThemaRecord b;
    b.DirName = "Nachrichten";
    const QByteArray book = a.toBytes() + b.toBytes() + QByteArray(28, 'x');
    QCOMPARE(book.size(), 700);
    const QList<ThemaRecord> folders = parseThemaFile(book);
    QCOMPARE(folders.size(), 2);
    QCOMPARE(folders[0].DirName, QStringLiteral("Links"));
    QCOMPARE(folders[1].DirName, QStringLiteral("Nachrichten"));
    BookmarkRecord m;
    m.Titel = "Eins";
    const QList<BookmarkRecord> marks = parseBookmarkFile(m.toBytes() + QByteArray(1080, ' '));
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks[0].Titel, QStringLiteral("Eins"));
}

void TestArchiveRecords::writersRenumber() {
    QList<BookmarkRecord> marks(3);
    const qint16 numbers[] = {4, 9, 2};
    for (int i = 0; i < 3; ++i) {
        marks[i].Nr = numbers[i];
        marks[i].Titel = QString::number(numbers[i]);
    }
    const QByteArray file = writeBookmarkFile(marks);
    QCOMPARE(file.size(), 3 * 1081);
    const QList<BookmarkRecord> back = parseBookmarkFile(file);
    QCOMPARE(back.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(back[i].Nr, qint16(i + 1));
        QCOMPARE(back[i].Titel, QString::number(numbers[i]));
    }
    QList<ThemaRecord> folders(2);
    folders[0].Nr = 7;
    folders[0].Sequenz = 30;
    folders[1].Nr = 7;
    folders[1].Sequenz = 10;
    const QList<ThemaRecord> fb = parseThemaFile(writeThemaFile(folders));
    QCOMPARE(fb.size(), 2);
    QCOMPARE(fb[0].Nr, 1);
    QCOMPARE(fb[1].Nr, 2);
    QCOMPARE(fb[0].Sequenz, 30);
    QCOMPARE(fb[1].Sequenz, 10);
}

QTEST_APPLESS_MAIN(TestArchiveRecords)
#include "tst_archiverecords.moc"
