// Writes the seed inputs of every fuzz target into <corpus>/<target>/.
// Usage: fuzz_make_seeds <corpus folder>

#include "archive/model/ArchiveRecords.h"
#include "archive/model/ExportWriters.h"
#include "frame/model/LayoutFile.h"
#include "prefs/model/Prefer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimeZone>
#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

QString corpus;

void seed(const char* target, const char* name, const QByteArray& bytes) {
    const QString dir = corpus + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(dir);
    QFile f(dir + QLatin1Char('/') + QLatin1String(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s/%s\n", target, name);
        std::exit(1);
    }
}

QByteArray u16(quint16 v) {
    QByteArray out(2, '\0');
    qToLittleEndian(v, out.data());
    return out;
}

void prefSeeds() {
    Prefer p(QStringLiteral("/nonexistent"));
    seed("fuzz_prefer", "default.kxp", p.toRecord());
    p.MailClient = QStringLiteral("thunderbird");
    p.HomeUrl = QStringLiteral("https://www.example.org/start?q=grüße");
    p.Group = QStringLiteral("Arbeit  ");
    p.GroupFile = QStringLiteral("/home/anna/Korvix/Arbeit.wlt");
    p.MailSrv1 = QStringLiteral("pop3s://mail.example.org");
    p.User1 = QStringLiteral("anna");
    p.Pwd1 = QStringLiteral("geh€im 一");
    p.EnableMailCheck1 = -1;
    p.TabStrip = -1;
    p.MdiState = 2;
    seed("fuzz_prefer", "filled.kxp", p.toRecord());
    QByteArray unfilled = p.toRecord();
    unfilled[414] = '\0';
    seed("fuzz_prefer", "unfilled.kxp", unfilled);
    seed("fuzz_prefer", "short.kxp", p.toRecord().left(600));
    // Blanks, then zero bytes: valid, yet saved with the zero in front.
    QByteArray zeros = p.toRecord();
    zeros.replace(414, 200, QByteArray(38, ' ') + QByteArray(2, '\0') + QByteArray(160, ' '));
    seed("fuzz_prefer", "zero-in-mail-client.kxp", zeros);
}

QList<BookmarkRecord> someBookmarks(int count) {
    QList<BookmarkRecord> out;
    for (int i = 0; i < count; ++i) {
        BookmarkRecord b;
        b.Titel = QStringLiteral("Lesezeichen %1 – Übersicht").arg(i + 1);
        b.Url = QStringLiteral("https://example.org/seite/%1").arg(i + 1);
        b.Info = i % 2 ? QStringLiteral("Beschreibung\nzweite Zeile") : QString();
        b.Toolbar = i % 3 ? -1 : 0;
        out.append(b);
    }
    return out;
}

QByteArray themaFile(const QStringList& files) {
    QList<ThemaRecord> records;
    for (int i = 0; i < files.size(); ++i) {
        ThemaRecord t;
        t.Sequenz = i + 1;
        t.DirName = QStringLiteral("Ordner %1").arg(i + 1);
        t.FileName = files.at(i);
        records.append(t);
    }
    return writeThemaFile(records);
}

void archiveSeeds() {
    seed("fuzz_archive_records", "index", '\0' + themaFile({"1.bkm", "2.bkm"}));
    seed("fuzz_archive_records", "folder", '\1' + writeBookmarkFile(someBookmarks(3)));
    seed("fuzz_archive_records", "field", "\2Grüße &#19968; &#128512; &#65; &#0; &amp; ");

    const QByteArray one = writeBookmarkFile(someBookmarks(3));
    const QByteArray two = writeBookmarkFile(someBookmarks(1));
    seed("fuzz_archive_load", "two-folders",
         '\2' + u16(quint16(one.size())) + one + u16(quint16(two.size())) + two +
             themaFile({"1.bkm", "2.bkm"}));
    // Names a program must not follow or cannot use, and a folder without file.
    QByteArray odd = themaFile({"../outside.bkm", ".", "Book.bkm", "9.bkm", "1.bkm", "1.bkm"});
    seed("fuzz_archive_load", "odd-names", '\1' + u16(quint16(two.size())) + two + odd);
}

void layoutSeeds() {
    QList<LayoutItem> items(3);
    items[0].url = QStringLiteral("https://example.org/");
    items[0].width = 9600;
    items[0].height = 7200;
    items[1].url = QStringLiteral("file:///home/anna/seite.html");
    items[1].left = -300;
    items[1].state = 2;
    items[1].toolbar = false;
    items[2].url = QStringLiteral("qrc:/korvix/start.html");
    items[2].state = 1;
    seed("fuzz_layout", "three.wlt", '\0' + LayoutFile::encode(items));
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {0.5,
                             1.5,
                             2.5,
                             -0.5,
                             -1.5,
                             32766.5,
                             32767.5,
                             -32768.5,
                             1e300,
                             -inf,
                             inf,
                             std::nan(""),
                             4.4999999999999999,
                             -0.0,
                             65536.5,
                             1e-310};
    QByteArray positions(1, '\1');
    positions.append(reinterpret_cast<const char*>(values), sizeof values);
    seed("fuzz_layout", "positions", positions);
}

void importSeeds() {
    seed("fuzz_bookmark_import", "firefox.html",
         "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
         "<TITLE>Bookmarks</TITLE>\n<H1>Lesezeichen-Men\xc3\xbc</H1>\n"
         "<DL><p>\n"
         "    <DT><H3 ADD_DATE=\"1700000000\">Nachrichten</H3>\n"
         "    <DD>Ordnerbeschreibung\n"
         "    <DL><p>\n"
         "        <DT><A HREF=\"https://example.org/a\" ADD_DATE=\"1\">Erste &amp; beste</A>\n"
         "        <DD>Eine Beschreibung\n"
         "        <DT><H3>Unterordner</H3>\n"
         "        <DL><p>\n"
         "            <DT><A HREF=\"../relativ.html\">Relativ</A>\n"
         "        </DL><p>\n"
         "    </DL><p>\n"
         "    <DT><A HREF=\"https://example.org/ohne-ordner\">Ohne Ordner</A>\n"
         "</DL><p>\n");
    seed(
        "fuzz_bookmark_import", "latin1.htm",
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\n"
        "<DL><DT><H3>Gr\xfc\xdf\x65</H3><DL><DT><A HREF='http://example.org/\x80'>\x84Zitat\x93</A>"
        "</DL></DL>\n");
    seed("fuzz_bookmark_import", "line-breaks.htm",
         "<DL><DT><H3>Ordner<DIV>Name</DIV></H3><DL>"
         "<DT><A HREF=\"https://example.org/\">Erste<BR>Zeile</A><DD>Zeile eins<BR>"
         "<DT><A HREF=\"https://example.org/2\"> \xEF\xBB\xBFWort</A></DL></DL>");
    auto t = std::make_shared<Thema>();
    t->setDirName(QStringLiteral("Info zu Korvix <6.4>"));
    Bookmark b;
    b.Titel = QStringLiteral("Korvix \"Dokumentation\"");
    b.Url = QStringLiteral("qrc:/korvix/doku.html?a=1&b='2'");
    b.Info = QStringLiteral("Zeile eins\nZeile zwei");
    t->bookmarks = QList<Bookmark>{b};
    seed("fuzz_bookmark_import", "export.htm",
         ExportWriters::exportArchive(
             ExportWriters::Kind::Netscape, {t},
             QDateTime(QDate(2024, 5, 17), QTime(9, 30), QTimeZone::utc())));
}

void pop3Seeds() {
    const QByteArray plain = "+OK POP3 bereit\r\n+OK Liste folgt\r\nUSER\r\nTOP\r\n.\r\n"
                             "+OK\r\n+OK angemeldet\r\n+OK 2 messages (320 octets)\r\n"
                             "1 120\r\n2 200\r\n.\r\n+OK tschüss\r\n";
    seed("fuzz_pop3", "plain", QByteArray("\0\1\0", 3) + plain);
    seed("fuzz_pop3", "stls",
         QByteArray("\0\7\0", 3) + "+OK\r\n+OK\r\nSTLS\r\nUSER\r\n.\r\n+OK Begin TLS\r\n+OK\r\n");
    seed("fuzz_pop3", "tls-port",
         QByteArray("\1\3\0", 3) + "+OK\n+OK\n+OK\n+OK\n1 1\n2 2\n3 3\n.\n+OK\n");
    seed("fuzz_pop3", "refused",
         QByteArray("\0\5\0", 3) + "+OK\r\n-ERR\r\n+OK\r\n-ERR [AUTH] nein\r\n");
    seed("fuzz_pop3", "bad-user", QByteArray("\2\5\0", 3) + "+OK\r\n-ERR\r\n");
}

QByteArray framed(const QByteArray& payload, quint32 length) {
    QByteArray head(4, '\0');
    qToBigEndian(length, head.data());
    return "KVX1" + head + payload;
}

void singleInstanceSeeds() {
    const QByteArray address = "https://example.org/seite?q=grüße";
    seed("fuzz_single_instance", "address", '\0' + framed(address, quint32(address.size())));
    seed("fuzz_single_instance", "in-pieces", '\3' + framed(address, quint32(address.size())));
    seed("fuzz_single_instance", "empty", '\0' + framed({}, 0));
    seed("fuzz_single_instance", "short", '\1' + framed("abc", 10));
    seed("fuzz_single_instance", "too-long", '\0' + framed("abc", 65537));
    seed("fuzz_single_instance", "foreign", QByteArray("\0GET / HTTP/1.0\r\n\r\n", 20));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    corpus = QString::fromLocal8Bit(argv[1]);
    prefSeeds();
    archiveSeeds();
    layoutSeeds();
    importSeeds();
    pop3Seeds();
    singleInstanceSeeds();
    return 0;
}
