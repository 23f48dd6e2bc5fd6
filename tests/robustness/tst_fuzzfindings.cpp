// Faults the fuzz targets in fuzz/ found, each as the smallest input that
// shows it, kept so they stay mended.

#include "archive/model/BookmarkImport.h"
#include "archive/model/ExportWriters.h"
#include "mail/model/Pop3Dialog.h"
#include "prefs/model/Prefer.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {

const QUrl FileUrl(QStringLiteral("file:///home/anna/bookmarks.html"));

// Imports the page, exports what came in as a bookmark file and imports
// that again; both imports must agree.
struct RoundTrip {
    QList<BookmarkImport::Folder> first;
    QList<BookmarkImport::Folder> second;
};

RoundTrip importTwice(const QByteArray& page) {
    RoundTrip r;
    const BookmarkImport::Result first = BookmarkImport::parse(page, FileUrl);
    if (!first.ok)
        qFatal("the page does not import: %s", qPrintable(first.error));
    r.first = first.folders;
    QList<std::shared_ptr<Thema>> themen;
    for (const BookmarkImport::Folder& f : first.folders) {
        auto t = std::make_shared<Thema>();
        t->setDirName(f.name);
        t->bookmarks = f.bookmarks;
        themen.append(t);
    }
    const QByteArray file =
        ExportWriters::exportArchive(ExportWriters::Kind::Netscape, themen,
                                     QDateTime(QDate(2024, 5, 17), QTime(9, 30), QTimeZone::utc()));
    const BookmarkImport::Result second = BookmarkImport::parse(file, FileUrl);
    if (!second.ok)
        qFatal("the export does not import: %s", qPrintable(second.error));
    r.second = second.folders;
    return r;
}

QStringList shown(const QList<BookmarkImport::Folder>& folders) {
    QStringList out;
    for (const BookmarkImport::Folder& f : folders) {
        out << QStringLiteral("[%1]").arg(f.name);
        for (const Bookmark& b : f.bookmarks)
            out << QStringLiteral("%1 <%2> %3").arg(b.Titel, b.Url, b.Info);
    }
    return out;
}

} // namespace

class TestFuzzFindings : public QObject {
    Q_OBJECT

private slots:
    void preferencesStayValidAfterSave();
    void importRoundTrip_data();
    void importRoundTrip();
    void pop3LineEndInTwoPieces();
};

// fuzz_prefer: a record whose mail client field is blanks and then zero
// bytes is valid (its first byte is a blank). Loading trims the blanks, so
// the save puts the zero byte first, and at the next start the record
// counts as never filled in: every setting, mail passwords included, is
// replaced by the defaults.
void TestFuzzFindings::preferencesStayValidAfterSave() {
    QTemporaryDir dir;
    Prefer p(dir.path());
    p.HomeUrl = QStringLiteral("https://meine.example.org/");
    p.Pwd1 = QStringLiteral("geheim");
    QByteArray record = p.toRecord();
    const QByteArray field = QByteArray(38, ' ') + QByteArray(2, '\0') + QByteArray(160, ' ');
    record.replace(414, 200, field);
    QVERIFY(Prefer::isValidRecord(record));
    {
        QFile f(p.filePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(record), record.size());
    }

    Prefer first(dir.path());
    QString error;
    QVERIFY2(first.load(&error), qPrintable(error));
    QCOMPARE(first.HomeUrl, QStringLiteral("https://meine.example.org/"));
    QVERIFY2(first.save(&error), qPrintable(error));

    Prefer second(dir.path());
    QVERIFY2(second.load(&error), qPrintable(error));
    QCOMPARE(second.HomeUrl, QStringLiteral("https://meine.example.org/"));
    QCOMPARE(second.Pwd1, QStringLiteral("geheim"));
}

void TestFuzzFindings::importRoundTrip_data() {
    QTest::addColumn<QByteArray>("page");
    const QByteArray head = "<DL><DT><H3>Ordner</H3><DL>";
    const QByteArray tail = "</DL></DL>";
    // A line break in a title was written out as it is and read back as a
    // blank.
    QTest::newRow("line break in a title")
        << head + "<DT><A HREF=\"https://example.org/\">Erste<BR>Zeile</A>" + tail;
    QTest::newRow("block in a folder name")
        << QByteArray("<DL><DT><H3>Ordner<DIV>Name</DIV></H3><DL>") +
               "<DT><A HREF=\"https://example.org/\">Titel</A>" + tail;
    // A line break at the end of a description was not written at all.
    QTest::newRow("line break ending a description")
        << head + "<DT><A HREF=\"https://example.org/\">Titel</A><DD>Zeile eins<BR>" + tail;
    // U+FEFF is read as a byte order mark, and dropped, when a piece of
    // text starts with it.
    QTest::newRow("U+FEFF starting a title")
        << head + "<DT><A HREF=\"https://example.org/\"> \xEF\xBB\xBFWort</A>" + tail;
}

// fuzz_bookmark_import: what was imported, exported as a bookmark file and
// imported again must be the same.
void TestFuzzFindings::importRoundTrip() {
    QFETCH(QByteArray, page);
    const RoundTrip r = importTwice(page);
    QVERIFY(!r.first.isEmpty());
    QCOMPARE(shown(r.second), shown(r.first));
}

// fuzz_pop3 (property: the answer does not depend on how the bytes are cut
// on the way): a reply of exactly MaxLineLength bytes is accepted when its
// CR LF arrives in one piece, but refused as too long when the CR comes at
// the end of one piece and the LF at the start of the next.
void TestFuzzFindings::pop3LineEndInTwoPieces() {
    const QByteArray reply = "+OK" + QByteArray(Pop3Dialog::MaxLineLength - 3, 'x');
    Pop3Dialog whole(QStringLiteral("anna"), QStringLiteral("geheim"), false);
    QCOMPARE(whole.feed("+OK\r\n").send, QByteArray("CAPA\r\n"));
    whole.feed(reply + "\r\n");
    QCOMPARE(whole.outcome(), Pop3Dialog::Outcome::Running);
    QCOMPARE(whole.phase(), Pop3Dialog::Phase::CapabilityList);

    Pop3Dialog pieces(QStringLiteral("anna"), QStringLiteral("geheim"), false);
    pieces.feed("+OK\r\n");
    pieces.feed(reply + "\r");
    pieces.feed("\n");
    QCOMPARE(pieces.outcome(), Pop3Dialog::Outcome::Running);
    QCOMPARE(pieces.phase(), Pop3Dialog::Phase::CapabilityList);
}

QTEST_GUILESS_MAIN(TestFuzzFindings)
#include "tst_fuzzfindings.moc"
