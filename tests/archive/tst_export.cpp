#include "archive/model/ExportWriters.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <time.h>

using ExportWriters::Kind;

namespace {

struct Entry {
    QString titel;
    QString url;
    QString info;
};

std::shared_ptr<Thema> folder(const QString& name, const QList<Entry>& entries) {
    auto t = std::make_shared<Thema>();
    t->setDirName(name);
    QList<Bookmark> list;
    for (const Entry& e : entries) {
        Bookmark b;
        b.Nr = qint16(list.size() + 1);
        b.Titel = e.titel;
        b.Url = e.url;
        b.Info = e.info;
        list.append(b);
    }
    t->bookmarks = list;
    return t;
}

// A folder loaded from an empty file has no collection at all.
std::shared_ptr<Thema> folderWithoutCollection(const QString& name) {
    auto t = std::make_shared<Thema>();
    t->setDirName(name);
    return t;
}

QByteArray crlfLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines)
        out += line.toUtf8() + "\r\n";
    return out;
}

QDateTime localTime(int y, int mo, int d, int h, int mi, int s) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

// "News" with A (no description) and B (description "x", "y").
std::shared_ptr<Thema> news(const QString& breakBetween = QStringLiteral("\n")) {
    return folder(QStringLiteral("News"), {{"A", "a", ""}, {"B", "b", "x" + breakBetween + "y"}});
}

const QString Meta =
    QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">");
const QString Stamp100 =
    QStringLiteral(" ADD_DATE=\"100\" LAST_VISIT=\"100\" LAST_MODIFIED=\"100\"");

QStringList netscapeHead(const QString& h1) {
    return {QStringLiteral("<!DOCTYPE NETSCAPE-Bookmark-file-1>"), Meta,
            QStringLiteral("<!--This is an automatically generated file.It will be read and "
                           "overwritten. Do Not Edit! -->"),
            QStringLiteral("<Title>Bookmarks</Title>"), h1};
}

QByteArray fileContent(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void textFolder_data();
    void textFolder();
    void textArchive();
    void htmlArchive();
    void htmlFolder();
    void netscapeArchive();
    void netscapeFolder();
    void netscapeDescription_data();
    void netscapeDescription();
    void netscapeTimeStamp_data();
    void netscapeTimeStamp();
    void emptyFolders_data();
    void emptyFolders();
    void escaping_data();
    void escaping();
    void scriptTitleStaysText_data();
    void scriptTitleStaysText();
    void utf8Output_data();
    void utf8Output();
    void writeExport();
    void writeExportFailure_data();
    void writeExportFailure();
    void dialogTexts_data();
    void dialogTexts();
};

void TestExport::initTestCase() {
    // A zone away from UTC, so time stamps show whether local time is used.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QCOMPARE(localTime(1970, 1, 1, 1, 0, 0).toSecsSinceEpoch(), qint64(0));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestExport::cleanupTestCase() {
    QLocale::setDefault(QLocale::system());
}

void TestExport::textFolder_data() {
    QTest::addColumn<QString>("lineBreak");
    QTest::newRow("typed (LF)") << QStringLiteral("\n");
    QTest::newRow("stored (CR LF)") << QStringLiteral("\r\n");
}

void TestExport::textFolder() {
    QFETCH(QString, lineBreak);
    const QByteArray expected =
        crlfLines({"Thema: News", "", "Url-Titel: A", "Url: a", "Beschreibung: ", "",
                   "Url-Titel: B", "Url: b", "Beschreibung: x", "y", "", ""});
    QCOMPARE(ExportWriters::exportFolder(Kind::Text, *news(lineBreak), QDateTime()), expected);
}

void TestExport::textArchive() {
    // Stored order, not sorted; nothing before or after the folders.
    const QList<std::shared_ptr<Thema>> folders = {
        folder("Zeta", {{"Zwei", "https://z.example/2", ""}, {"Eins", "https://z.example/1", "d"}}),
        folderWithoutCollection("Alpha")};
    const QByteArray expected =
        crlfLines({"Thema: Zeta", "", "Url-Titel: Zwei", "Url: https://z.example/2",
                   "Beschreibung: ", "", "Url-Titel: Eins", "Url: https://z.example/1",
                   "Beschreibung: d", "", "", "Thema: Alpha", "", "", ""});
    QCOMPARE(ExportWriters::exportArchive(Kind::Text, folders, QDateTime()), expected);
}

void TestExport::htmlArchive() {
    const QList<std::shared_ptr<Thema>> folders = {news(), folder("Leer", {})};
    const QByteArray expected =
        crlfLines({Meta, "<HTML><TITLE></TITLE><BODY>", "<H1>News</H1>", "<A HREF='a'>A</A><BR>",
                   "<A HREF='b'>B</A><BR>x\r\ny<BR>", "<H1>Leer</H1>", "</BODY></HTML>"});
    QCOMPARE(ExportWriters::exportArchive(Kind::Html, folders, QDateTime()), expected);
}

void TestExport::htmlFolder() {
    const QByteArray expected =
        crlfLines({Meta, "<HTML><BODY>", "<H1>News</H1>", "<A HREF='a'>A</A><BR>",
                   "<A HREF='b'>B</A><BR>x\r\ny<BR>", "</BODY></HTML>"});
    QCOMPARE(ExportWriters::exportFolder(Kind::Html, *news(), QDateTime()), expected);
}

void TestExport::netscapeArchive() {
    const QList<std::shared_ptr<Thema>> folders = {news(), folder("Leer", {})};
    QStringList lines = netscapeHead("<H1>Bookmarks (1. Jan 1970, 00:01:40)</H1><DL>");
    lines << "<DT><H3 FOLDED ADD_DATE=\"100\">News</H3><DL><P>"
          << "<DT><A HREF=\"a\"" + Stamp100 + ">A</A>"
          << "<DT><A HREF=\"b\"" + Stamp100 + ">B</A>\r\n<DD>x\r<BR>\r\ny"
          << "</DL><P>"
          << "<DT><H3 FOLDED ADD_DATE=\"100\">Leer</H3><DL><P>"
          << "</DL><P>"
          << "</DL>";
    QCOMPARE(ExportWriters::exportArchive(Kind::Netscape, folders, localTime(1970, 1, 1, 0, 1, 40)),
             crlfLines(lines));
}

void TestExport::netscapeFolder() {
    QStringList lines = netscapeHead("<H1>Bookmarks (1. Jan 1970, 00:01:40)</H1>");
    lines << "<DT><H3 FOLDED ADD_DATE=\"100\">News</H3><DL><P>"
          << "<DT><A HREF=\"a\"" + Stamp100 + ">A</A>"
          << "<DT><A HREF=\"b\"" + Stamp100 + ">B</A>\r\n<DD>x\r<BR>\r\ny"
          << "</DL><P>";
    QCOMPARE(ExportWriters::exportFolder(Kind::Netscape, *news(), localTime(1970, 1, 1, 0, 1, 40)),
             crlfLines(lines));
}

void TestExport::netscapeDescription_data() {
    QTest::addColumn<QString>("info");
    QTest::addColumn<QByteArray>("written"); // what follows "<DD>" up to the line end

    QTest::newRow("one line") << "nur eine Zeile" << QByteArray("nur eine Zeile");
    QTest::newRow("two lines") << "x\ny" << QByteArray("x\r<BR>\r\ny");
    QTest::newRow("two lines stored with CR LF") << "x\r\ny" << QByteArray("x\r<BR>\r\ny");
    QTest::newRow("empty line between") << "x\n\ny" << QByteArray("x\r<BR>\r\n\r<BR>\r\ny");
    QTest::newRow("ends with a break: keeps the CR") << "x\n" << QByteArray("x\r");
    QTest::newRow("ends with two breaks") << "x\n\n" << QByteArray("x\r<BR>\r\n\r");
    QTest::newRow("ends with BR text") << "x <BR>" << QByteArray("x &lt;BR&gt;");
}

void TestExport::netscapeDescription() {
    QFETCH(QString, info);
    QFETCH(QByteArray, written);
    const QByteArray out = ExportWriters::exportFolder(
        Kind::Netscape, *folder("F", {{"T", "u", info}}), localTime(1970, 1, 1, 0, 1, 40));
    const QByteArray anchor = "<DT><A HREF=\"u\"" + Stamp100.toUtf8() + ">T</A>\r\n<DD>";
    QVERIFY2(out.contains(anchor + written + "\r\n</DL><P>\r\n"), out.constData());
}

void TestExport::netscapeTimeStamp_data() {
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("stamp");
    QTest::addColumn<QString>("heading");

    QTest::newRow("00:01:40 local") << localTime(1970, 1, 1, 0, 1, 40) << "100"
                                    << "1. Jan 1970, 00:01:40";
    QTest::newRow("same instant given in UTC")
        << QDateTime(QDate(1969, 12, 31), QTime(23, 1, 40), Qt::UTC) << "100"
        << "1. Jan 1970, 00:01:40";
    QTest::newRow("summer time") << localTime(2023, 7, 5, 9, 3, 7) << "1688547787"
                                 << "5. Jul 2023, 09:03:07";
    QTest::newRow("December evening") << localTime(2023, 12, 24, 18, 5, 9) << "1703441109"
                                      << "24. Dez 2023, 18:05:09";
    QTest::newRow("beyond 32 bits stays at the largest value")
        << localTime(2040, 1, 1, 0, 0, 0) << "2147483647"
        << "1. Jan 2040, 00:00:00";
}

void TestExport::netscapeTimeStamp() {
    QFETCH(QDateTime, now);
    QFETCH(QString, stamp);
    QFETCH(QString, heading);
    const QList<std::shared_ptr<Thema>> folders = {folder("F", {{"T", "u", ""}})};
    const QString out =
        QString::fromUtf8(ExportWriters::exportArchive(Kind::Netscape, folders, now));
    const QString t = "\"" + stamp + "\"";
    QVERIFY2(out.contains("<H1>Bookmarks (" + heading + ")</H1><DL>\r\n"), qPrintable(out));
    QVERIFY2(out.contains("<DT><H3 FOLDED ADD_DATE=" + t + ">F</H3>"), qPrintable(out));
    QVERIFY2(out.contains("<DT><A HREF=\"u\" ADD_DATE=" + t + " LAST_VISIT=" + t +
                          " LAST_MODIFIED=" + t + ">T</A>\r\n"),
             qPrintable(out));
}

void TestExport::emptyFolders_data() {
    QTest::addColumn<bool>("withCollection");
    QTest::newRow("empty collection") << true;
    QTest::newRow("no collection") << false;
}

void TestExport::emptyFolders() {
    QFETCH(bool, withCollection);
    const std::shared_ptr<Thema> empty =
        withCollection ? folder("Leer", {}) : folderWithoutCollection("Leer");
    const QList<std::shared_ptr<Thema>> folders = {empty};
    const QDateTime t = localTime(1970, 1, 1, 0, 1, 40);

    QVERIFY(ExportWriters::exportArchive(Kind::Netscape, folders, t)
                .endsWith("<DT><H3 FOLDED ADD_DATE=\"100\">Leer</H3><DL><P>\r\n</DL><P>\r\n"
                          "</DL>\r\n"));
    QVERIFY(ExportWriters::exportFolder(Kind::Netscape, *empty, t)
                .endsWith("</H1>\r\n<DT><H3 FOLDED ADD_DATE=\"100\">Leer</H3><DL><P>\r\n"
                          "</DL><P>\r\n"));
    QCOMPARE(ExportWriters::exportFolder(Kind::Text, *empty, t),
             QByteArray("Thema: Leer\r\n\r\n\r\n\r\n"));
    QVERIFY(ExportWriters::exportFolder(Kind::Html, *empty, t)
                .endsWith("<HTML><BODY>\r\n<H1>Leer</H1>\r\n</BODY></HTML>\r\n"));
}

void TestExport::escaping_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("folderLine");
    QTest::addColumn<QByteArray>("bookmarkLine");

    // Folder "A & B", title <T> & "Q", address with & and ", description with < >.
    QTest::newRow("HTML page")
        << int(Kind::Html) << QByteArray("<H1>A &amp; B</H1>")
        << QByteArray("<A HREF='https://e.example/?a=1&amp;b=&quot;2&quot;&amp;c=&#39;3&#39;'>"
                      "&lt;T&gt; &amp; &quot;Q&quot;</A><BR>1 &lt; 2 &gt; 0<BR>");
    QTest::newRow("bookmark file")
        << int(Kind::Netscape)
        << QByteArray("<DT><H3 FOLDED ADD_DATE=\"100\">A &amp; B</H3><DL><P>")
        << QByteArray("<DT><A HREF=\"https://e.example/?a=1&amp;b=&quot;2&quot;&amp;c='3'\"" +
                      Stamp100.toUtf8() +
                      ">&lt;T&gt; &amp; &quot;Q&quot;</A>\r\n<DD>1 &lt; 2 &gt; 0");
    QTest::newRow("text file is written unchanged")
        << int(Kind::Text) << QByteArray("Thema: A & B")
        << QByteArray("Url-Titel: <T> & \"Q\"\r\nUrl: https://e.example/?a=1&b=\"2\"&c='3'\r\n"
                      "Beschreibung: 1 < 2 > 0");
}

void TestExport::escaping() {
    QFETCH(int, kind);
    QFETCH(QByteArray, folderLine);
    QFETCH(QByteArray, bookmarkLine);
    const auto f =
        folder("A & B", {{"<T> & \"Q\"", "https://e.example/?a=1&b=\"2\"&c='3'", "1 < 2 > 0"}});
    const QList<QByteArray> outputs = {
        ExportWriters::exportArchive(Kind(kind), {f}, localTime(1970, 1, 1, 0, 1, 40)),
        ExportWriters::exportFolder(Kind(kind), *f, localTime(1970, 1, 1, 0, 1, 40))};
    for (const QByteArray& out : outputs) {
        QVERIFY2(out.contains("\r\n" + folderLine + "\r\n") || out.startsWith(folderLine + "\r\n"),
                 out.constData());
        QVERIFY2(out.contains("\r\n" + bookmarkLine + "\r\n"), out.constData());
    }
}

void TestExport::scriptTitleStaysText_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("HTML page") << int(Kind::Html);
    QTest::newRow("bookmark file") << int(Kind::Netscape);
}

void TestExport::scriptTitleStaysText() {
    QFETCH(int, kind);
    const auto f = folder("<script>alert(1)</script>",
                          {{"<script>alert(2)</script>", "https://e.example/\"><script>x",
                            "<script>alert(3)</script>"}});
    for (const QByteArray& out :
         {ExportWriters::exportArchive(Kind(kind), {f}, QDateTime::currentDateTime()),
          ExportWriters::exportFolder(Kind(kind), *f, QDateTime::currentDateTime())}) {
        QVERIFY2(!out.toLower().contains("<script"), out.constData());
        QVERIFY2(out.contains("&lt;script&gt;alert(2)&lt;/script&gt;"), out.constData());
    }
}

void TestExport::utf8Output_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("text") << int(Kind::Text);
    QTest::newRow("HTML page") << int(Kind::Html);
    QTest::newRow("bookmark file") << int(Kind::Netscape);
}

void TestExport::utf8Output() {
    QFETCH(int, kind);
    const QString name = QStringLiteral("Größe äöü ÄÖÜ ß €");
    const QString title = QStringLiteral("Москва – Новости");
    const QString info = QStringLiteral("北京欢迎你");
    const auto f = folder(name, {{title, "https://e.example/ü", info}});
    for (const QByteArray& out :
         {ExportWriters::exportArchive(Kind(kind), {f}, QDateTime::currentDateTime()),
          ExportWriters::exportFolder(Kind(kind), *f, QDateTime::currentDateTime())}) {
        QVERIFY(out.contains(name.toUtf8()));
        QVERIFY(out.contains(title.toUtf8()));
        QVERIFY(out.contains(info.toUtf8()));
        QVERIFY(out.contains("https://e.example/\xC3\xBC"));
        // Nothing in a single-byte code page, no character references.
        QVERIFY(!out.contains("Gr\xF6\xDF"));
        QVERIFY(!out.contains("&#"));
        QVERIFY(QString::fromUtf8(out).toUtf8() == out);
    }
}

void TestExport::writeExport() {
    QTemporaryDir tmp;
    const QString path = QDir(tmp.path()).filePath("export.html");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'o'));
    old.close();

    const QByteArray bytes =
        ExportWriters::exportArchive(Kind::Html, {news()}, QDateTime::currentDateTime());
    QString error;
    QVERIFY2(ExportWriters::writeExport(path, bytes, &error), qPrintable(error));
    QCOMPARE(fileContent(path), bytes);
}

void TestExport::writeExportFailure_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("makeDirectory");
    QTest::newRow("missing folder") << "fehlt/export.txt" << false;
    QTest::newRow("name taken by a folder") << "export.txt" << true;
}

void TestExport::writeExportFailure() {
    QFETCH(QString, relative);
    QFETCH(bool, makeDirectory);
    QTemporaryDir tmp;
    const QString path = QDir(tmp.path()).filePath(relative);
    if (makeDirectory)
        QVERIFY(QDir(tmp.path()).mkdir(relative));
    QString error;
    QVERIFY(!ExportWriters::writeExport(path, "x", &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    QVERIFY2(error.contains("konnte nicht geschrieben werden"), qPrintable(error));
    QCOMPARE(QFileInfo(path).isDir(), makeDirectory);
}

void TestExport::dialogTexts_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("wholeArchive");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("pattern");

    QTest::newRow("archive text") << int(Kind::Text) << true
                                  << "Archiv exportieren in Text Datei..."
                                  << "*.txt";
    QTest::newRow("archive HTML") << int(Kind::Html) << true
                                  << "Archiv exportieren in HTML Datei..."
                                  << "*.htm *.html";
    QTest::newRow("archive bookmarks")
        << int(Kind::Netscape) << true
        << "Archiv exportieren in IE/Netscape Bookmark Dateiformat..."
        << "*.htm *.html";
    QTest::newRow("folder text") << int(Kind::Text) << false
                                 << "Ordner exportieren in Text Datei..."
                                 << "*.txt";
    QTest::newRow("folder HTML") << int(Kind::Html) << false
                                 << "Ordner exportieren in HTML Datei..."
                                 << "*.htm *.html";
    QTest::newRow("folder bookmarks") << int(Kind::Netscape) << false
                                      << "Ordner exportieren in IE/Netscape Bookmark Dateiformat..."
                                      << "*.htm *.html";
}

void TestExport::dialogTexts() {
    QFETCH(int, kind);
    QFETCH(bool, wholeArchive);
    QFETCH(QString, caption);
    QFETCH(QString, pattern);
    const ExportWriters::DialogTexts texts = ExportWriters::dialogTexts(Kind(kind), wholeArchive);
    QCOMPARE(texts.caption, caption);
    // The patterns a file dialog reads from its filter.
    QVERIFY2(texts.filter.endsWith("(" + pattern + ")"), qPrintable(texts.filter));
}

QTEST_APPLESS_MAIN(TestExport)
#include "tst_export.moc"
