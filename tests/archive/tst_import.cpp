#include "archive/model/BookmarkImport.h"
#include "archive/model/ExportWriters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <functional>

using BookmarkImport::Folder;
using BookmarkImport::Result;

// Every rename in this process passes here, so a test can look at the files
// between two steps of an import's save, or let one step fail.
namespace {
std::function<bool(const char* from, const char* to)> renameMayGoOn;
std::function<void()> afterRename;
} // namespace

extern "C" int rename(const char* from, const char* to) noexcept {
    using Rename = int (*)(const char*, const char*);
    static const auto real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    if (renameMayGoOn && !renameMayGoOn(from, to)) {
        errno = EIO;
        return -1;
    }
    const int result = real(from, to);
    if (afterRename)
        afterRename();
    return result;
}

namespace {

const QUrl FileUrl = QUrl::fromLocalFile(QStringLiteral("/home/nutzer/bookmarks.html"));
constexpr qint64 TimeLimitMs = 60000;

QByteArray lines(const QStringList& list) {
    return list.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

Result parsed(const QByteArray& bytes) {
    return BookmarkImport::parse(bytes, FileUrl);
}

// One line per folder and per bookmark, so a comparison shows what differs.
QStringList summary(const QList<Folder>& folders) {
    QStringList out;
    for (const Folder& f : folders) {
        out.append(QStringLiteral("[%1]").arg(f.name));
        for (const Bookmark& b : f.bookmarks) {
            out.append(QStringLiteral("  %1 | %2%3")
                           .arg(b.Titel, b.Url,
                                b.Info.isEmpty() ? QString() : QStringLiteral(" | ") + b.Info));
        }
    }
    return out;
}

QStringList summary(const QList<std::shared_ptr<Thema>>& themen) {
    QList<Folder> folders;
    for (const std::shared_ptr<Thema>& t : themen) {
        Folder f;
        f.name = t->DirName();
        f.bookmarks = t->bookmarks.value_or(QList<Bookmark>());
        folders.append(f);
    }
    return summary(folders);
}

QStringList summary(const Book& book) {
    return summary(book.folders.value_or(QList<std::shared_ptr<Thema>>()));
}

// The archive in dir as the program loads it; a failed load shows as such.
QStringList loadedArchive(const QString& dir, QString* warning = nullptr) {
    Book book(dir);
    QString error, w;
    const Book::LoadResult result = book.load(&error, &w);
    if (warning)
        *warning = w;
    if (result != Book::LoadResult::Loaded)
        return {"<not loaded> " + error};
    return summary(book);
}

Folder folder(const QString& name, const QString& title, const QString& url) {
    Bookmark b;
    b.Titel = title;
    b.Url = url;
    return Folder{name, {b}, 0};
}

std::shared_ptr<Thema> thema(const QString& name, const QString& file,
                             const QList<QStringList>& entries) {
    auto t = std::make_shared<Thema>();
    t->setDirName(name);
    t->FileName = file;
    QList<Bookmark> list;
    for (const QStringList& e : entries) {
        Bookmark b;
        b.Nr = qint16(list.size() + 1);
        b.Titel = e.value(0);
        b.Url = e.value(1);
        b.Info = e.value(2);
        list.append(b);
    }
    t->bookmarks = list;
    return t;
}

// What the archive window does with an imported file's folders.
bool replaceArchive(const QString& dir, const QList<Folder>& folders, QString* error) {
    Book book(dir);
    return book.replaceWith(BookmarkImport::archiveFolders(folders), error);
}

void saveArchive(const QString& dir, const QList<std::shared_ptr<Thema>>& folders) {
    Book book(dir);
    book.folders = folders;
    QString error;
    QVERIFY2(book.save(&error), qPrintable(error));
}

// Every entry of the folder, hidden ones included; folders show as "<dir>".
QMap<QString, QByteArray> snapshot(const QString& dir) {
    QMap<QString, QByteArray> out;
    const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden |
                                                          QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : entries) {
        QFile f(info.filePath());
        out.insert(info.fileName(), info.isDir()                  ? QByteArray("<dir>")
                                    : f.open(QIODevice::ReadOnly) ? f.readAll()
                                                                  : QByteArray("<unreadable>"));
    }
    return out;
}

// The archive as a reader sees it: everything but the import's work folder.
QMap<QString, QByteArray> archiveFiles(const QString& dir) {
    QMap<QString, QByteArray> files = snapshot(dir);
    for (auto it = files.begin(); it != files.end();) {
        if (it.key().startsWith(".korvix-import-"))
            it = files.erase(it);
        else
            ++it;
    }
    return files;
}

QStringList loadedFrom(const QMap<QString, QByteArray>& files) {
    QTemporaryDir tmp;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (it.value() == "<dir>") {
            QDir(tmp.path()).mkdir(it.key());
            continue;
        }
        QFile f(QDir(tmp.path()).filePath(it.key()));
        if (!f.open(QIODevice::WriteOnly) || f.write(it.value()) != it.value().size())
            return {"<not written>"};
    }
    return loadedArchive(tmp.path());
}

QList<std::shared_ptr<Thema>> oldArchive() {
    return {thema("Alt eins", "1.bkm", {{"a", "https://alt.example/1"}}),
            thema("Alt zwei", "2.bkm", {{"b", "https://alt.example/2", "B"}}),
            thema("Alt drei", "x.bkm", {{"c", "https://alt.example/3"}})};
}

QList<Folder> newFolders() {
    QList<Folder> folders;
    for (int i = 1; i <= 3; ++i)
        folders.append(folder(QString("Neu %1").arg(i), QString("Neue Seite %1").arg(i),
                              QString("https://neu.example/%1").arg(i)));
    return folders;
}

QByteArray randomBytes(qsizetype size, quint32 seed, bool withZero) {
    QRandomGenerator gen(seed);
    QByteArray out(size, '\0');
    for (char& c : out) {
        c = char(gen.bounded(256));
        if (!withZero && c == '\0')
            c = '<';
    }
    return out;
}

// Looks like markup: tags of bookmark files and others, opened and closed at
// random, with text and attributes between.
QByteArray tagSoup(qsizetype size, quint32 seed) {
    static const QList<QByteArray> pieces =
        QByteArray("<DL>|</DL>|<p>|<DT>|<H3>|</H3>|<A HREF=\"x\">|</A>|<DD>|<b>|</b>|<table>|<td>|"
                   "</table>|<template>|</template>|<svg>|<math>|<select>|<option>|<!--|-->|"
                   "<script>|</script>|<frameset>|<a>|<nobr>|<ol>|<li>|<textarea>|</textarea>|\"|'|"
                   "&amp;|&#|<|>|=|Text |<div>|</div>|<br>|<HR>|<title>|<plaintext>")
            .split('|');
    QRandomGenerator gen(seed);
    QByteArray out;
    while (out.size() < size)
        out += pieces[gen.bounded(int(pieces.size()))];
    return out;
}

// A bookmark file as a person might have edited it by hand: folders nested
// at random, names, titles and descriptions with markup, references, line
// breaks and blanks in them, addresses relative and absolute.
QByteArray messyBookmarks(quint32 seed) {
    static const QList<QByteArray> words =
        QByteArray(
            "Wort|Größe|Москва|北京|&amp;|&lt;b&gt;|&#x4E2D;|&quot;|<br>|<b>fett</b>|  |\t|\r\n|"
            "<i>|</i>|<span>|</span>|&nbsp;|\"|'|<pre>a  b</pre>|<script>x</script>|"
            "<table><tr><td>1</td><td>2</td></tr></table>|<p>|<br><br>|<!-- c -->|"
            "<img src=x alt=Bild>|<u>|&euro;|&#128512;")
            .split('|');
    static const QList<QByteArray> addresses =
        QByteArray("https://e.example/|https://e.example/?a=1&amp;b=2|rel/pfad.html|../oben.html|"
                   " https://leer.example/ |//host.example/x|mailto:a@b.example|"
                   "https://ü.example/ä|https://e.example/&quot;q&quot;||javascript:void(0)|"
                   "file:///tmp/x.html")
            .split('|');
    QRandomGenerator gen(seed);
    const auto text = [&] {
        QByteArray t;
        for (int n = gen.bounded(1, 6); n > 0; --n)
            t += words[gen.bounded(int(words.size()))] + (gen.bounded(2) ? " " : "");
        return t;
    };
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<DL><p>\r\n";
    int depth = 0;
    for (int step = gen.bounded(5, 40); step > 0; --step) {
        switch (gen.bounded(6)) {
        case 0:
            if (depth < 5) {
                out += "<DT><H3 ADD_DATE=\"1\">" + text() + "</H3>\r\n";
                if (gen.bounded(3) == 0)
                    out += "<DD>" + text() + "\r\n";
                out += "<DL><p>\r\n";
                ++depth;
            }
            break;
        case 1:
            if (depth > 0) {
                out += "</DL><p>\r\n";
                --depth;
            }
            break;
        case 2:
            out += "<HR>\r\n";
            break;
        default:
            out += "<DT><A HREF=\"" + addresses[gen.bounded(int(addresses.size()))] + "\">" +
                   text() + "</A>\r\n";
            if (gen.bounded(2))
                out += "<DD>" + text() + "\r\n";
        }
    }
    while (depth-- > 0)
        out += "</DL><p>\r\n";
    return out + "</DL><p>\r\n";
}

QByteArray bigBookmarkFile(int folderCount, int linksPerFolder, int titleLength) {
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<META HTTP-EQUIV=\"Content-Type\" "
                     "CONTENT=\"text/html; charset=UTF-8\">\r\n<DL><p>\r\n";
    const QByteArray padding(titleLength, 'x');
    for (int f = 0; f < folderCount; ++f) {
        out += "<DT><H3>Ordner " + QByteArray::number(f) + "</H3>\r\n<DL><p>\r\n";
        for (int l = 0; l < linksPerFolder; ++l) {
            out += "<DT><A HREF=\"https://e.example/" + QByteArray::number(f) + "/" +
                   QByteArray::number(l) + "\" ADD_DATE=\"1700000000\">Seite " + padding +
                   "</A>\r\n<DD>Beschreibung " + QByteArray::number(l) + "\r\n";
        }
        out += "</DL><p>\r\n";
    }
    return out + "</DL><p>\r\n";
}

QByteArray nestedFolders(int levels) {
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<DL><p>\r\n";
    for (int i = 1; i <= levels; ++i)
        out += "<DT><H3>Ebene " + QByteArray::number(i) + "</H3>\r\n<DL><p>\r\n";
    out += "<DT><A HREF=\"https://tief.example/\">Ganz unten</A>\r\n";
    for (int i = 0; i < levels; ++i)
        out += "</DL><p>\r\n";
    return out + "</DL><p>\r\n";
}

// Formatting elements the parser reopens in every later paragraph; their
// copies would grow without end.
QByteArray reopenedFormatting(int elements, int paragraphs) {
    QByteArray out = "<div>";
    for (int i = 0; i < elements; ++i)
        out += "<b id=" + QByteArray::number(i) + ">";
    out += "</div>";
    for (int i = 0; i < paragraphs; ++i)
        out += "<div>x</div>";
    return out;
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT

private slots:
    void linksAndNews();
    void folderStructure_data();
    void folderStructure();
    void shownText_data();
    void shownText();
    void replacesArchive();
    void pageWithoutHeading();
    void roundTrip_data();
    void roundTrip();
    void importExportImport_data();
    void importExportImport();
    void charset_data();
    void charset();
    void badInput_data();
    void badInput();
    void failedReplaceKeepsArchive_data();
    void failedReplaceKeepsArchive();
    void replaceIntoMissingFolder();
    void everyStepLeavesOneWholeArchive();
    void failureAtEveryStepLeavesOneWholeArchive();
    void parseFile();
    void parseFileErrors_data();
    void parseFileErrors();
};

void TestImport::linksAndNews() {
    const Result r = parsed(lines({
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>",
        "<TITLE>Bookmarks</TITLE>",
        "<H1>Bookmarks</H1>",
        "<DL><p>",
        "<DT><H3>Links</H3>",
        "<DL><p>",
        "<DT><A HREF=\"https://links.example/1\">Eins</A>",
        "<DT><A HREF=\"https://links.example/2\">Zwei</A>",
        "</DL><p>",
        "<DT><H3>News</H3>",
        "<DL><p>",
        "<DT><A HREF=\"https://news.example/\">Heute</A>",
        "<DD>Nachrichten des Tages",
        "</DL><p>",
        "</DL><p>",
    }));
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(summary(r.folders),
             (QStringList{"[Links]", "  Eins | https://links.example/1",
                          "  Zwei | https://links.example/2", "[News]",
                          "  Heute | https://news.example/ | Nachrichten des Tages"}));

    QTemporaryDir tmp;
    QString error;
    QVERIFY2(replaceArchive(tmp.path(), r.folders, &error), qPrintable(error));
    Book book(tmp.path());
    QString warning;
    QCOMPARE(book.load(&error, &warning), Book::LoadResult::Loaded);
    QCOMPARE(warning, QString());
    QCOMPARE(summary(book), summary(r.folders));
    const QList<std::shared_ptr<Thema>> folders = *book.folders;
    QCOMPARE(folders.at(0)->FileName, QString("1.bkm"));
    QCOMPARE(folders.at(1)->FileName, QString("2.bkm"));
    QCOMPARE(folders.at(0)->Nr, 1);
    QCOMPARE(folders.at(1)->Nr, 2);
    QCOMPARE(folders.at(0)->bookmarks->at(1).Nr, qint16(2));
    const Bookmark heute = folders.at(1)->bookmarks->at(0);
    QVERIFY(heute.Adresszeile);
    QVERIFY(heute.Toolbar);
}

void TestImport::folderStructure_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");

    const QString head = "<DL><p><DT><H3>F</H3><DL><p><DT><A HREF=\"https://t.example/\">T</A>";
    QTest::newRow("closing paragraph follows")
        << head + "<DD>Text\r\n</DL><p>\r\n</DL>"
        << QStringList{"[F]", "  T | https://t.example/ | Text"};
    QTest::newRow("nothing follows")
        << head + "<DD>Text\r\n</DL></DL>" << QStringList{"[F]", "  T | https://t.example/"};
    QTest::newRow("next folder follows at once")
        << head + "<DD>Text</DL><DT><H3>G</H3><DL><p></DL><p></DL>"
        << QStringList{"[F]", "  T | https://t.example/", "[G]"};
    QTest::newRow("another link follows")
        << head + "<DD>Text<DT><A HREF=\"https://u.example/\">U</A></DL></DL>"
        << QStringList{"[F]", "  T | https://t.example/ | Text", "  U | https://u.example/"};
    QTest::newRow("element after the link is no description")
        << head + "<HR><DD>Text</DL><p></DL>" << QStringList{"[F]", "  T | https://t.example/"};

    // Which list belongs to a heading.
    const QString links = "<DL><p>\r\n<DT><A HREF=\"https://a.example/\">A</A>\r\n<DD>Über A\r\n"
                          "<DT><A HREF=\"https://b.example/\">B</A>\r\n</DL><p>\r\n";
    const QStringList ab = {"  A | https://a.example/ | Über A", "  B | https://b.example/"};

    QTest::newRow("list right after the heading")
        << "<DL><p>\r\n<DT><H3>F</H3>\r\n" + links + "</DL>" << QStringList{"[F]"} + ab;
    QTest::newRow("folder description between")
        << "<DL><p>\r\n<DT><H3>F</H3>\r\n<DD>Ordner über A und B\r\n" + links + "</DL>"
        << QStringList{"[F]"} + ab;
    QTest::newRow("rule between") << "<DL><p>\r\n<DT><H3>F</H3>\r\n<HR>\r\n" + links + "</DL>"
                                  << QStringList{"[F]"} + ab;
    QTest::newRow("description and rule between")
        << "<DL><p>\r\n<DT><H3>F</H3>\r\n<DD>Ordner\r\n<HR>\r\n" + links + "</DL>"
        << QStringList{"[F]"} + ab;
    QTest::newRow("blank before the heading")
        << "<DL><p>\r\n<DT> <H3>F</H3>\r\n" + links + "</DL>" << QStringList{"[F]"} + ab;
    QTest::newRow("heading without a list keeps nothing of the next item")
        << "<DL><p>\r\n<DT><H3>F</H3>\r\n<DT><H3>G</H3>\r\n" + links + "</DL>"
        << QStringList{"[F]", "[G]"} + ab;
    QTest::newRow("heading without list, then links")
        << "<DL><p>\r\n<DT><H3>F</H3>\r\n<DD>Beschreibung\r\n<DT><A HREF=\"https://a.example/\">A"
           "</A>\r\n</DL>"
        << QStringList{"[F]"};
    QTest::newRow("links outside folders are left out")
        << QString::fromUtf8(lines({
               "<!DOCTYPE NETSCAPE-Bookmark-file-1>",
               "<DL><p>",
               "<DT><A HREF=\"https://vorher.example/\">Vorher</A>",
               "<DT><H3>Ordner</H3>",
               "<DL><p>",
               "<DT><A HREF=\"https://drin.example/\">Drin</A>",
               "</DL><p>",
               "<DT><A HREF=\"https://nachher.example/\">Nachher</A>",
               "</DL><p>",
           }))
        << QStringList{"[Ordner]", "  Drin | https://drin.example/"};
    QTest::newRow("inner folder links count for the outer too")
        << QString::fromUtf8(lines({
               "<!DOCTYPE NETSCAPE-Bookmark-file-1>",
               "<DL><p>",
               "<DT><H3>Outer</H3>",
               "<DL><p>",
               "<DT><H3>Inner</H3>",
               "<DL><p>",
               "<DT><A HREF=\"https://inner.example/\">Innen</A>",
               "</DL><p>",
               "</DL><p>",
               "</DL><p>",
           }))
        << QStringList{"[Outer]", "  Innen | https://inner.example/", "[Inner]",
                       "  Innen | https://inner.example/"};
    QTest::newRow("as Firefox writes it")
        << QString::fromUtf8(lines({
               "<!DOCTYPE NETSCAPE-Bookmark-file-1>",
               "<!-- This is an automatically generated file.",
               "     It will be read and overwritten.",
               "     DO NOT EDIT! -->",
               "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">",
               "<meta http-equiv=\"Content-Security-Policy\"",
               "      content=\"default-src 'self'; script-src 'none'; img-src data: *; object-src "
               "'none'\"></meta>",
               "<TITLE>Bookmarks</TITLE>",
               "<H1>Lesezeichen-Menü</H1>",
               "",
               "<DL><p>",
               "    <DT><H3 ADD_DATE=\"1700000000\" LAST_MODIFIED=\"1700000500\" "
               "PERSONAL_TOOLBAR_FOLDER=\"true\">Lesezeichen-Symbolleiste</H3>",
               "    <DL><p>",
               "        <DT><A HREF=\"https://www.mozilla.org/de/firefox/\" "
               "ADD_DATE=\"1700000001\" "
               "LAST_MODIFIED=\"1700000002\" ICON_URI=\"https://www.mozilla.org/favicon.ico\" "
               "ICON=\"data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/"
               "9hAAAA\">Firefox "
               "– Hilfe</A>",
               "        <DD>Hilfe &amp; Anleitungen",
               "        <DT><H3 ADD_DATE=\"1700000100\" "
               "LAST_MODIFIED=\"1700000200\">Nachrichten</H3>",
               "        <DD>Zeitungen aus aller Welt",
               "        <DL><p>",
               "            <DT><A HREF=\"https://www.spiegel.de/\" ADD_DATE=\"1700000101\" "
               "LAST_MODIFIED=\"1700000102\">Spiegel</A>",
               "            <DT><A HREF=\"https://lenta.ru/\" ADD_DATE=\"1700000103\" "
               "LAST_MODIFIED=\"1700000104\">Лента.ру</A>",
               "            <DD>Новости России",
               "            <DT><A HREF=\"http://www.people.com.cn/\" ADD_DATE=\"1700000105\" "
               "LAST_MODIFIED=\"1700000106\">人民网</A>",
               "        </DL><p>",
               "        <HR>",
               "        <DT><A HREF=\"https://example.org/a?x=1&amp;y=2\" ADD_DATE=\"1700000300\" "
               "LAST_MODIFIED=\"1700000301\" SHORTCUTURL=\"ex\" TAGS=\"a,b\">A &lt;b&gt; &amp; "
               "c</A>",
               "    </DL><p>",
               "    <DT><H3 ADD_DATE=\"1700000400\" LAST_MODIFIED=\"1700000401\">Mozilla "
               "Firefox</H3>",
               "    <DL><p>",
               "        <DT><A HREF=\"https://support.mozilla.org/de/products/firefox\" "
               "ADD_DATE=\"1700000402\" LAST_MODIFIED=\"1700000403\" "
               "ICON_URI=\"https://support.mozilla.org/favicon.ico\" "
               "ICON=\"data:image/png;base64,AAAA\">Hilfe und Anleitungen</A>",
               "    </DL><p>",
               "    <HR>",
               "    <DT><H3 ADD_DATE=\"1700000500\" LAST_MODIFIED=\"1700000501\">Leerer "
               "Ordner</H3>",
               "    <DL><p>",
               "    </DL><p>",
               "    <DT><A HREF=\"https://oben.example/\" ADD_DATE=\"1700000600\">Ohne Ordner</A>",
               "</DL>",
           }))
        << QStringList{"[Lesezeichen-Symbolleiste]",
                       "  Firefox – Hilfe | https://www.mozilla.org/de/firefox/ | Hilfe & "
                       "Anleitungen",
                       "  Spiegel | https://www.spiegel.de/",
                       "  Лента.ру | https://lenta.ru/ | Новости России",
                       "  人民网 | http://www.people.com.cn/",
                       "  A <b> & c | https://example.org/a?x=1&y=2",
                       "[Nachrichten]",
                       "  Spiegel | https://www.spiegel.de/",
                       "  Лента.ру | https://lenta.ru/ | Новости России",
                       "  人民网 | http://www.people.com.cn/",
                       "[Mozilla Firefox]",
                       "  Hilfe und Anleitungen | https://support.mozilla.org/de/products/firefox",
                       "[Leerer Ordner]"};
    QTest::newRow("as Chrome writes it")
        << QString::fromUtf8(lines({
               "<!DOCTYPE NETSCAPE-Bookmark-file-1>",
               "<!-- This is an automatically generated file.",
               "     It will be read and overwritten.",
               "     DO NOT EDIT! -->",
               "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">",
               "<TITLE>Bookmarks</TITLE>",
               "<H1>Bookmarks</H1>",
               "<DL><p>",
               "    <DT><H3 ADD_DATE=\"1690000000\" LAST_MODIFIED=\"1700000000\" "
               "PERSONAL_TOOLBAR_FOLDER=\"true\">Lesezeichenleiste</H3>",
               "    <DL><p>",
               "        <DT><A HREF=\"https://www.heise.de/\" ADD_DATE=\"1690000100\" "
               "ICON=\"data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABAAAAAQ\">heise online</A>",
               "        <DT><H3 ADD_DATE=\"1690000200\" LAST_MODIFIED=\"1690000300\">Reisen</H3>",
               "        <DL><p>",
               "            <DT><A HREF=\"https://www.bahn.de/\" ADD_DATE=\"1690000201\" "
               "ICON=\"data:image/png;base64,AAAA\">Deutsche Bahn – Fahrplan</A>",
               "            <DT><H3 ADD_DATE=\"1690000400\" LAST_MODIFIED=\"1690000500\">Ferien "
               "2024</H3>",
               "            <DL><p>",
               "                <DT><A HREF=\"https://www.ctrip.com/\" "
               "ADD_DATE=\"1690000401\">携程旅行"
               "</A>",
               "                <DT><A "
               "HREF=\"https://www.booking.com/index.de.html?aid=1&amp;lang=de\" "
               "ADD_DATE=\"1690000402\">Booking.com | Offizielle Seite</A>",
               "            </DL><p>",
               "        </DL><p>",
               "    </DL><p>",
               "</DL><p>",
           }))
        << QStringList{"[Lesezeichenleiste]",
                       "  heise online | https://www.heise.de/",
                       "  Deutsche Bahn – Fahrplan | https://www.bahn.de/",
                       "  携程旅行 | https://www.ctrip.com/",
                       "  Booking.com | Offizielle Seite | "
                       "https://www.booking.com/index.de.html?aid=1&lang=de",
                       "[Reisen]",
                       "  Deutsche Bahn – Fahrplan | https://www.bahn.de/",
                       "  携程旅行 | https://www.ctrip.com/",
                       "  Booking.com | Offizielle Seite | "
                       "https://www.booking.com/index.de.html?aid=1&lang=de",
                       "[Ferien 2024]",
                       "  携程旅行 | https://www.ctrip.com/",
                       "  Booking.com | Offizielle Seite | "
                       "https://www.booking.com/index.de.html?aid=1&lang=de"};
}

void TestImport::folderStructure() {
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    const Result r = parsed(file.toUtf8());
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(summary(r.folders), expected);
}

void TestImport::shownText_data() {
    QTest::addColumn<QString>("anchor");
    QTest::addColumn<QString>("description"); // none when empty
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("info");

    QTest::newRow("white space collapses") << "  Viel \r\n  Leer\traum  "
                                           << " Zeile\r\n   eins "
                                           << "Viel Leer raum"
                                           << "Zeile eins";
    QTest::newRow("inline elements in the title") << "<b>fett</b> und <i>kursiv</i>"
                                                  << ""
                                                  << "fett und kursiv"
                                                  << "";
    QTest::newRow("inline elements in the description") << "T"
                                                        << "<span>a</span><span>b</span> <b>c</b>"
                                                        << "T"
                                                        << "ab c";
    QTest::newRow("character references")
        << "&lt;script&gt; &amp; &quot;x&quot; &auml;&#252;&#x00DF;"
        << "a &lt; b &gt; c"
        << "<script> & \"x\" äüß"
        << "a < b > c";
    QTest::newRow("script and style in the title are not shown")
        << "Titel<script>document.write('nein')</script><style>a{}</style>"
        << ""
        << "Titel"
        << "";
    QTest::newRow("script in the description is not shown") << "T"
                                                            << "Text<script>alert(1)</script>"
                                                            << "T"
                                                            << "Text";
    QTest::newRow("line breaks as written by the export") << "T"
                                                          << "x\r<BR>\r\ny\r<BR>\r\n\r<BR>\r\nz"
                                                          << "T"
                                                          << "x\ny\n\nz";
    QTest::newRow("paragraphs") << "T"
                                << "<p>eins</p><p>zwei</p>"
                                << "T"
                                << "eins\n\nzwei";
    // What the archive keeps of it: titles on one line, descriptions without
    // blanks the bookmark file cannot carry.
    QTest::newRow("line break in the title") << "eins<br>zwei"
                                             << ""
                                             << "eins zwei"
                                             << "";
    QTest::newRow("table") << "T"
                           << "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>"
                           << "T"
                           << "a b\nc";
    QTest::newRow("preformatted") << "T"
                                  << "<pre>a  b\r\n c</pre>"
                                  << "T"
                                  << "a b\nc";
    QTest::newRow("break at the end of the description") << "T"
                                                         << "x<br><br>"
                                                         << "T"
                                                         << "x";
    QTest::newRow("break at the start of the description") << "T"
                                                           << "<br>x"
                                                           << "T"
                                                           << "\nx";
}

void TestImport::shownText() {
    QFETCH(QString, anchor);
    QFETCH(QString, description);
    QFETCH(QString, title);
    QFETCH(QString, info);
    const QString dd = description.isEmpty() ? QString() : "<DD>" + description;
    const Result r = parsed(("<DL><p><DT><H3>F</H3><DL><p><DT><A HREF=\"https://t.example/\">" +
                             anchor + "</A>" + dd + "</DL><p></DL>")
                                .toUtf8());
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.folders.size(), 1);
    QCOMPARE(r.folders.at(0).bookmarks.size(), 1);
    QCOMPARE(r.folders.at(0).bookmarks.at(0).Titel, title);
    QCOMPARE(r.folders.at(0).bookmarks.at(0).Info, info);
}

void TestImport::replacesArchive() {
    QTemporaryDir tmp;
    saveArchive(tmp.path(), oldArchive());
    const QByteArray oldX = snapshot(tmp.path()).value("x.bkm");
    QString error;
    QVERIFY2(
        replaceArchive(tmp.path(), {folder("Neu", "Neue Seite", "https://neu.example/")}, &error),
        qPrintable(error));
    QCOMPARE(loadedArchive(tmp.path()),
             (QStringList{"[Neu]", "  Neue Seite | https://neu.example/"}));
    // Earlier folders are gone from the index; a file no new folder took
    // stays on disk as it was; nothing temporary is left behind.
    const QMap<QString, QByteArray> after = snapshot(tmp.path());
    QCOMPARE(after.keys(), (QStringList{"1.bkm", "2.bkm", "Book.bkm", "x.bkm"}));
    QCOMPARE(after.value("x.bkm"), oldX);
}

void TestImport::pageWithoutHeading() {
    const Result r = parsed("<html><body><h1>Hallo</h1><h2>Welt</h2><p><a "
                            "href=\"https://x.example/\">Link</a></p><dl><dt><h4>Fast</h4>"
                            "<dl><dt><a href=\"https://y.example/\">Y</a></dl></dl></body></html>");
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.folders.size(), 0);

    QTemporaryDir tmp;
    saveArchive(tmp.path(), {thema("Alt", "1.bkm", {{"a", "https://alt.example/"}})});
    QString error;
    QVERIFY2(replaceArchive(tmp.path(), r.folders, &error), qPrintable(error));
    QCOMPARE(QFileInfo(QDir(tmp.path()).filePath("Book.bkm")).size(), qint64(0));
    // An empty index is what makes the archive window write the default
    // archive on its next load.
    Book book(tmp.path());
    QString warning;
    QCOMPARE(book.load(&error, &warning), Book::LoadResult::Empty);
}

// 0: the archive in one file, 1: each folder by itself, 2: the archive
// through the archive's own files.
void TestImport::roundTrip_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("archive") << 0;
    QTest::newRow("each folder") << 1;
    QTest::newRow("through archive files") << 2;
}

namespace {

QList<std::shared_ptr<Thema>> richArchive() {
    return {
        thema(
            "Reisen & Ferien <2024>", "1.bkm",
            {{"Bahn – Fahrplan & Preise", "https://www.bahn.de/?a=1&b=2", "Zeile eins\nZeile zwei"},
             {"Ärger \"mit\" Ämtern", "https://amt.example/ä?q=\"x\"&r='y'"},
             {"Ohne Schrägstrich", "https://example.org"}}),
        thema("Новости", "2.bkm",
              {{"Лента.ру", "https://lenta.ru/", "Русский текст"},
               {"<script>alert(1)</script>", "https://x.example/<>", "a < b & c > d"}}),
        thema("中文书签", "3.bkm", {{"人民网", "http://www.people.com.cn/", "中文描述"}}),
        thema("Leer", "4.bkm", {}),
    };
}

} // namespace

void TestImport::roundTrip() {
    QFETCH(int, way);
    const QList<std::shared_ptr<Thema>> archive = richArchive();
    const QDateTime now = QDateTime::currentDateTime();
    QList<Folder> imported;
    if (way != 1) {
        const Result r =
            parsed(ExportWriters::exportArchive(ExportWriters::Kind::Netscape, archive, now));
        QVERIFY2(r.ok, qPrintable(r.error));
        imported = r.folders;
    } else {
        for (const std::shared_ptr<Thema>& t : archive) {
            const Result r =
                parsed(ExportWriters::exportFolder(ExportWriters::Kind::Netscape, *t, now));
            QVERIFY2(r.ok, qPrintable(r.error));
            imported += r.folders;
        }
    }
    if (way == 2) {
        QTemporaryDir tmp;
        QString error;
        QVERIFY2(replaceArchive(tmp.path(), imported, &error), qPrintable(error));
        QCOMPARE(loadedArchive(tmp.path()), summary(archive));
        return;
    }
    QCOMPARE(summary(imported), summary(archive));
}

void TestImport::importExportImport_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("markup in names, titles and descriptions")
        << QByteArray("<DL><p><DT><H3>Ord<br>ner <i>eins</i></H3><DL><p>"
                      "<DT><A HREF=\"rel/x.html\">a<br>b <pre>c  d</pre></A><DD>x"
                      "<DT><A HREF=\" https://e.example/ \">  t\tu  </A>"
                      "<DD><table><tr><td>1</td><td>2</td></tr></table><br>  zwei  Worte <br><br>"
                      "<DT><A HREF=\"//host.example/p\">p</A><DD>\r\n<br>y\r\n</DL><p></DL>");
    QTest::newRow("nested folders with descriptions")
        << QByteArray("<DL><p><DT><H3>A</H3><DD>Ordner A<DL><p><DT><A HREF=\"https://a/\">a</A>"
                      "<DD>eins<DT><H3>B</H3><DL><p><DT><A HREF=\"https://b/\">b</A><DD>zwei</DL>"
                      "</DL><p><DT><H3>C</H3></DL>");
    for (quint32 seed = 1; seed <= 60; ++seed)
        QTest::newRow(qPrintable(QString("edited by hand %1").arg(seed))) << messyBookmarks(seed);
}

void TestImport::importExportImport() {
    QFETCH(QByteArray, file);
    const Result first = parsed(file);
    if (!first.ok)
        QSKIP("not importable");
    QList<std::shared_ptr<Thema>> themen;
    for (const Folder& f : first.folders)
        themen.append(thema(f.name, {}, {}));
    for (qsizetype i = 0; i < first.folders.size(); ++i)
        themen[i]->bookmarks = first.folders.at(i).bookmarks;
    const QByteArray exported = ExportWriters::exportArchive(ExportWriters::Kind::Netscape, themen,
                                                             QDateTime::currentDateTime());
    const Result second = parsed(exported);
    QVERIFY2(second.ok, qPrintable(second.error));
    QCOMPARE(summary(second.folders), summary(first.folders));
}

void TestImport::charset_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QString>("expectedName");
    QTest::addColumn<QString>("expectedTitle");

    const QByteArray cp1252 =
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">";
    QTest::newRow("META windows-1252") << cp1252 << QByteArray("M\xFCnchen")
                                       << QByteArray("Stra\xDF"
                                                     "e \x80 \x93x\x94")
                                       << "München"
                                       << "Straße € “x”";
    QTest::newRow("META Latin-1 reads as windows-1252")
        << QByteArray("<meta http-equiv=content-type content='text/html;charset=ISO-8859-1'>")
        << QByteArray("\xC4rger") << QByteArray("\x80") << "Ärger"
        << "€";
    QTest::newRow("short META form") << QByteArray("<meta charset=\"windows-1252\">")
                                     << QByteArray("\xD6l") << QByteArray("\xE9t\xE9") << "Öl"
                                     << "été";
    QTest::newRow("META wins over bytes that are valid UTF-8")
        << cp1252 << QByteArray("M\xC3\xBCnchen") << QByteArray("x") << "MÃ¼nchen"
        << "x";
    QTest::newRow("no META, not UTF-8: windows-1252") << QByteArray() << QByteArray("M\xFCnchen")
                                                      << QByteArray("Gr\xFC\xDF"
                                                                    "e")
                                                      << "München"
                                                      << "Grüße";
    QTest::newRow("no META, UTF-8") << QByteArray() << QByteArray("M\xC3\xBCnchen")
                                    << QByteArray("\xE4\xB8\xAD\xE6\x96\x87") << "München"
                                    << "中文";
    QTest::newRow("META UTF-8 with Cyrillic")
        << QByteArray("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">")
        << QString("Москва").toUtf8() << QString("Новости").toUtf8() << "Москва"
        << "Новости";
    QTest::newRow("META KOI8-R")
        << QByteArray("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=KOI8-R\">")
        << QByteArray("\xED\xCF\xD3\xCB\xD7\xC1") << QByteArray("\xC4\xC1") << "Москва"
        << "да";
    QTest::newRow("META in a comment does not count")
        << QByteArray("<!-- <meta charset=\"windows-1252\"> -->") << QByteArray("M\xC3\xBCnchen")
        << QByteArray("x") << "München"
        << "x";
    QTest::newRow("unknown charset name: as if none were given")
        << QByteArray("<meta charset=\"gibt-es-nicht\">") << QByteArray("M\xFCnchen")
        << QByteArray("x") << "München"
        << "x";
}

void TestImport::charset() {
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, title);
    QFETCH(QString, expectedName);
    QFETCH(QString, expectedTitle);
    const QByteArray file = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n" + head +
                            "\r\n<TITLE>Bookmarks</TITLE>\r\n<DL><p>\r\n<DT><H3>" + name +
                            "</H3>\r\n<DL><p>\r\n<DT><A HREF=\"https://e.example/\">" + title +
                            "</A>\r\n</DL><p>\r\n</DL><p>\r\n";
    const Result r = parsed(file);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(summary(r.folders), (QStringList{"[" + expectedName + "]",
                                              "  " + expectedTitle + " | https://e.example/"}));
}

void TestImport::badInput_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("errorPart");       // the error must contain this; empty: no error
    QTest::addColumn<QStringList>("firstFolder"); // when it imports: its summary, if given

    QTest::newRow("empty file") << QByteArray() << "leer" << QStringList();
    QTest::newRow("binary junk") << randomBytes(1 << 20, 7, true) << "Binärdaten" << QStringList();
    QTest::newRow("unterminated attribute")
        << QByteArray("<DL><p><DT><H3>Ordner</H3><DL><p><DT><A HREF=\"https://a.example/\">A</A>"
                      "<DT><A HREF=\"https://b.exa")
        << QString() << QStringList{"[Ordner]", "  A | https://a.example/"};
    QTest::newRow("unterminated tag name")
        << QByteArray("<DL><p><DT><H3>Ordner</H3><DL><p><DT><A HREF=\"https://a.example/\">A</A>"
                      "<DT><A")
        << QString() << QStringList{"[Ordner]", "  A | https://a.example/"};
    QTest::newRow("unterminated heading")
        << QByteArray("<DL><p><DT><H3>Ordner") << QString() << QStringList{"[Ordner]"};
    QTest::newRow("unterminated comment")
        << QByteArray("<DL><p><DT><H3>Ordner</H3><DL><p><DT><A HREF=\"https://a.example/\">A</A>"
                      "<!-- offen <DT><A HREF=\"https://b.example/\">B</A>")
        << QString() << QStringList{"[Ordner]", "  A | https://a.example/"};
    QTest::newRow("bookmark file of 20 MB")
        << bigBookmarkFile(200, 800, 60) << QString() << QStringList();
    QTest::newRow("1000 nested folders") << nestedFolders(1000) << QString() << QStringList();
    QTest::newRow("100000 nested folders")
        << nestedFolders(100000) << "verschachtelt" << QStringList();
    QTest::newRow("20 MB of opened elements")
        << QByteArray(20 * 1024 * 1024 / 5 * 5, 'x').replace("xxxxx", "<div>") << "verschachtelt"
        << QStringList();
    QTest::newRow("formatting reopened in every paragraph")
        << reopenedFormatting(4000, 200000) << "umfangreich" << QStringList();
    // The HTML parser library stops the program on this markup by itself
    // (it prints an assertion message); the import must survive it.
    QTest::newRow("markup the parser library fails on")
        << QByteArray("<DL><p><DT><H3>F</H3><table><math><annotation-xml "
                      "encoding=\"text/html\"><![CDATA[<]]>x")
        << "HTML-Parser" << QStringList();
    QTest::newRow("20 MB of random text")
        << randomBytes(20 * 1024 * 1024, 11, false) << "?" << QStringList();
    QTest::newRow("tag soup 1") << tagSoup(2 * 1024 * 1024, 1) << "?" << QStringList();
    QTest::newRow("tag soup 2") << tagSoup(2 * 1024 * 1024, 2) << "?" << QStringList();
    QTest::newRow("tag soup 3") << tagSoup(2 * 1024 * 1024, 3) << "?" << QStringList();
}

void TestImport::badInput() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, errorPart);
    QFETCH(QStringList, firstFolder);

    QElapsedTimer timer;
    timer.start();
    const Result r = parsed(bytes);
    QVERIFY2(timer.elapsed() < TimeLimitMs, qPrintable(QString::number(timer.elapsed())));

    if (errorPart == "?") { // anything but a crash or a silent failure
        QVERIFY(r.ok || !r.error.isEmpty());
        return;
    }
    if (!errorPart.isEmpty()) {
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(errorPart), qPrintable(r.error));
        QCOMPARE(r.folders.size(), 0);
        return;
    }
    QVERIFY2(r.ok, qPrintable(r.error));
    if (!firstFolder.isEmpty()) {
        QVERIFY(!r.folders.isEmpty());
        QCOMPARE(summary({r.folders.first()}), firstFolder);
    }
    if (QByteArray(QTest::currentDataTag()) == "bookmark file of 20 MB") {
        QVERIFY(bytes.size() > 20 * 1000 * 1000);
        QCOMPARE(r.folders.size(), 200);
        QCOMPARE(r.folders.at(199).name, QString("Ordner 199"));
        QCOMPARE(r.folders.at(199).bookmarks.size(), 800);
        const Bookmark& last = r.folders.at(199).bookmarks.at(799);
        QCOMPARE(last.Url, QString("https://e.example/199/799"));
        QCOMPARE(last.Info, QString("Beschreibung 799"));
    }
    if (QByteArray(QTest::currentDataTag()) == "1000 nested folders") {
        QCOMPARE(r.folders.size(), 1000);
        QCOMPARE(r.folders.first().name, QString("Ebene 1"));
        QCOMPARE(r.folders.last().name, QString("Ebene 1000"));
        for (const Folder& f : r.folders) {
            QCOMPARE(f.bookmarks.size(), 1);
            QCOMPARE(f.bookmarks.first().Url, QString("https://tief.example/"));
        }
    }
}

void TestImport::failedReplaceKeepsArchive_data() {
    QTest::addColumn<QStringList>("oldFiles");
    QTest::addColumn<QString>("blocked");
    QTest::addColumn<int>("newFolders");

    QTest::newRow("third new file blocked, old index names the first two")
        << QStringList{"1.bkm", "2.bkm", "x.bkm"} << "3.bkm" << 3;
    QTest::newRow("first new file blocked") << QStringList{"a.bkm", "b.bkm"} << "1.bkm" << 2;
    QTest::newRow("last new file blocked, old index names it")
        << QStringList{"2.bkm", "1.bkm"} << "3.bkm" << 3;
}

void TestImport::failedReplaceKeepsArchive() {
    QFETCH(QStringList, oldFiles);
    QFETCH(QString, blocked);
    QFETCH(int, newFolders);

    QTemporaryDir tmp;
    QList<std::shared_ptr<Thema>> old;
    for (const QString& file : oldFiles)
        old.append(thema("Alt " + file, file, {{"Seite " + file, "https://alt.example/" + file}}));
    saveArchive(tmp.path(), old);
    // A folder where a new folder file should go.
    QVERIFY(QDir(tmp.path()).mkdir(blocked));
    const QMap<QString, QByteArray> before = snapshot(tmp.path());

    QList<Folder> folders;
    for (int i = 1; i <= newFolders; ++i)
        folders.append(folder(QString("Neu %1").arg(i), "Neue Seite", "https://neu.example/"));
    QString error;
    QVERIFY(!replaceArchive(tmp.path(), folders, &error));
    QVERIFY2(error.contains(blocked), qPrintable(error));

    QCOMPARE(snapshot(tmp.path()), before);
    QCOMPARE(loadedArchive(tmp.path()), summary(old));
}

void TestImport::replaceIntoMissingFolder() {
    QTemporaryDir tmp;
    const QString missing = QDir(tmp.path()).filePath("gibt-es-nicht");
    QString error;
    QVERIFY(!replaceArchive(missing, {Folder{"F", {}, 0}}, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(missing)), qPrintable(error));
    QVERIFY(!QFileInfo::exists(missing));
}

void TestImport::everyStepLeavesOneWholeArchive() {
    QTemporaryDir tmp;
    saveArchive(tmp.path(), oldArchive());
    const QStringList before = summary(oldArchive());
    const QList<Folder> folders = newFolders();
    QList<QMap<QString, QByteArray>> states = {archiveFiles(tmp.path())};
    afterRename = [&] { states.append(archiveFiles(tmp.path())); };
    QString error;
    const bool ok = replaceArchive(tmp.path(), folders, &error);
    afterRename = nullptr;
    QVERIFY2(ok, qPrintable(error));
    states.append(archiveFiles(tmp.path()));

    // Wherever the program stops, the archive reads as the old or the new.
    for (const auto& state : std::as_const(states)) {
        const QStringList loaded = loadedFrom(state);
        QVERIFY2(loaded == before || loaded == summary(folders),
                 qPrintable(loaded.join('\n') + "\n-- in --\n" + state.keys().join(' ')));
    }
    // Before, three folder files and the new index put in place, after.
    QVERIFY(states.size() >= 6);
    QCOMPARE(loadedFrom(states.last()), summary(folders));
    QCOMPARE(states.last().keys(), (QStringList{"1.bkm", "2.bkm", "3.bkm", "Book.bkm", "x.bkm"}));
}

// A step that fails leaves the old archive, or, once the save's journal is
// whole, the new one that the next load completes; never a mix.
void TestImport::failureAtEveryStepLeavesOneWholeArchive() {
    int failAt = 0;
    for (;; ++failAt) {
        QTemporaryDir tmp;
        saveArchive(tmp.path(), oldArchive());
        const QMap<QString, QByteArray> before = snapshot(tmp.path());
        int renames = 0;
        renameMayGoOn = [&](const char*, const char*) { return renames++ != failAt; };
        QString error;
        const bool ok = replaceArchive(tmp.path(), newFolders(), &error);
        renameMayGoOn = nullptr;
        if (ok) {
            // Only once every step ran.
            QVERIFY(renames <= failAt);
            QCOMPARE(loadedFrom(archiveFiles(tmp.path())), summary(newFolders()));
            break;
        }
        QVERIFY2(!error.isEmpty(), qPrintable(QString::number(failAt)));
        const QStringList loaded = loadedFrom(archiveFiles(tmp.path()));
        QVERIFY2(loaded == summary(oldArchive()) || loaded == summary(newFolders()),
                 qPrintable(QString("Schritt %1: %2").arg(failAt).arg(error)));
        // Failed before it was final: not a file changed.
        if (loaded == summary(oldArchive()))
            QVERIFY2(snapshot(tmp.path()) == before, qPrintable(QString::number(failAt)));
    }
    // Three folder files and the new index put in place.
    QVERIFY(failAt >= 4);
}

void TestImport::parseFile() {
    QTemporaryDir tmp;
    const QString path = QDir(tmp.path()).filePath("lesezeichen.html");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<DL><p><DT><H3>F</H3><DL><p>"
            "<DT><A HREF=\"unter/seite.html\">Relativ</A>"
            "<DT><A HREF=\"  https://example.org  \">Mit Leerraum</A>"
            "<DT><A>Ohne Adresse</A>"
            "</DL><p></DL>");
    f.close();
    const Result r = BookmarkImport::parseFile(path);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(summary(r.folders),
             (QStringList{
                 "[F]",
                 "  Relativ | " +
                     QUrl::fromLocalFile(QDir(tmp.path()).filePath("unter/seite.html")).toString(),
                 "  Mit Leerraum | https://example.org", "  Ohne Adresse | "}));
}

void TestImport::parseFileErrors_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("directory");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "fehlt.html" << false << "nicht gefunden";
    QTest::newRow("a folder") << "ordner.html" << true << "Ordner";
    QTest::newRow("empty") << "leer.html" << false << "leer";
}

void TestImport::parseFileErrors() {
    QFETCH(QString, name);
    QFETCH(bool, directory);
    QFETCH(QString, reason);
    QTemporaryDir tmp;
    const QString path = QDir(tmp.path()).filePath(name);
    if (directory)
        QVERIFY(QDir(tmp.path()).mkdir(name));
    if (reason == "leer") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const Result r = BookmarkImport::parseFile(path);
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(QDir::toNativeSeparators(path)), qPrintable(r.error));
    QVERIFY2(r.error.contains(reason), qPrintable(r.error));
}

QTEST_APPLESS_MAIN(TestImport)
#include "tst_import.moc"
