#include "archive/model/ExportWriters.h"

#include "common/SafeFile.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace ExportWriters {

namespace {

const QString Eol = QStringLiteral("\r\n");
const QString CharsetLine =
    QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">");

// Descriptions typed in the program hold bare LF; the files use CR LF, so a
// line break reads the same whichever way it was stored.
QString crlf(const QString& s) {
    QString out;
    out.reserve(s.size() + 8);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('\n') && (i == 0 || s.at(i - 1) != QLatin1Char('\r')))
            out += QLatin1Char('\r');
        out += c;
    }
    return out;
}

// Text must neither end an attribute nor open markup, or a title such as
// "<script>" would run when the page is opened and not import back unchanged.
QString escaped(const QString& s) {
    QString out;
    out.reserve(s.size() + 16);
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The page quotes its addresses with apostrophes; one inside an address
// would end the attribute early.
QString escapedSingleQuoted(const QString& s) {
    return escaped(s).replace(QLatin1Char('\''), QLatin1String("&#39;"));
}

QList<Bookmark> bookmarksOf(const Thema& folder) {
    return folder.bookmarks.value_or(QList<Bookmark>());
}

void textFolder(const Thema& folder, QStringList* lines) {
    lines->append(QStringLiteral("Thema: ") + folder.DirName());
    lines->append(QString());
    const QList<Bookmark> bookmarks = bookmarksOf(folder);
    for (qsizetype i = 0; i < bookmarks.size(); ++i) {
        const Bookmark& b = bookmarks.at(i);
        lines->append(QStringLiteral("Url-Titel: ") + b.Titel);
        lines->append(QStringLiteral("Url: ") + b.Url);
        lines->append(QStringLiteral("Beschreibung: ") + crlf(b.Info));
        if (i + 1 < bookmarks.size())
            lines->append(QString());
    }
    lines->append(QString());
    lines->append(QString());
}

void htmlFolder(const Thema& folder, QStringList* lines) {
    lines->append(QStringLiteral("<H1>") + escaped(folder.DirName()) + QStringLiteral("</H1>"));
    for (const Bookmark& b : bookmarksOf(folder)) {
        QString line = QStringLiteral("<A HREF='") + escapedSingleQuoted(b.Url) +
                       QStringLiteral("'>") + escaped(b.Titel) + QStringLiteral("</A><BR>");
        if (!b.Info.isEmpty())
            line += escaped(crlf(b.Info)) + QStringLiteral("<BR>");
        lines->append(line);
    }
}

struct Stamp {
    QString seconds;
    QString heading;
};

// Seconds from 1970-01-01 00:00:00 to the local wall-clock time, read as if
// the local time were UTC, in the 32-bit range the format was made for.
Stamp stampOf(const QDateTime& now) {
    const QDateTime local = now.toLocalTime();
    const qint64 wall = QDateTime(local.date(), local.time(), Qt::UTC).toSecsSinceEpoch();
    const qint64 clamped = std::clamp<qint64>(wall, std::numeric_limits<qint32>::min(),
                                              std::numeric_limits<qint32>::max());
    const QDate d = local.date();
    Stamp stamp;
    stamp.seconds = QString::number(clamped);
    stamp.heading = QStringLiteral("%1. %2 %3, %4")
                        .arg(d.day())
                        .arg(QLocale().standaloneMonthName(d.month(), QLocale::ShortFormat))
                        .arg(d.year(), 4, 10, QLatin1Char('0'))
                        .arg(local.time().toString(QStringLiteral("HH:mm:ss")));
    return stamp;
}

QString description(const QString& info) {
    QString d = escaped(crlf(info));
    d.replace(QLatin1String("\r\n"), QLatin1String("\r<BR>\r\n"));
    const QLatin1String tail("<BR>\r\n");
    if (d.endsWith(tail))
        d.chop(tail.size());
    return d;
}

void netscapeHeader(const Stamp& stamp, bool wholeArchive, QStringList* lines) {
    lines->append(QStringLiteral("<!DOCTYPE NETSCAPE-Bookmark-file-1>"));
    lines->append(CharsetLine);
    lines->append(QStringLiteral("<!--This is an automatically generated file.It will be read "
                                 "and overwritten. Do Not Edit! -->"));
    lines->append(QStringLiteral("<Title>Bookmarks</Title>"));
    lines->append(QStringLiteral("<H1>Bookmarks (") + stamp.heading +
                  (wholeArchive ? QStringLiteral(")</H1><DL>") : QStringLiteral(")</H1>")));
}

void netscapeFolder(const Thema& folder, const Stamp& stamp, QStringList* lines) {
    const QString t = QLatin1Char('"') + stamp.seconds + QLatin1Char('"');
    lines->append(QStringLiteral("<DT><H3 FOLDED ADD_DATE=") + t + QLatin1Char('>') +
                  escaped(folder.DirName()) + QStringLiteral("</H3><DL><P>"));
    for (const Bookmark& b : bookmarksOf(folder)) {
        QString line = QStringLiteral("<DT><A HREF=\"") + escaped(b.Url) +
                       QStringLiteral("\" ADD_DATE=") + t + QStringLiteral(" LAST_VISIT=") + t +
                       QStringLiteral(" LAST_MODIFIED=") + t + QLatin1Char('>') + escaped(b.Titel) +
                       QStringLiteral("</A>");
        if (!b.Info.isEmpty())
            line += Eol + QStringLiteral("<DD>") + description(b.Info);
        lines->append(line);
    }
    lines->append(QStringLiteral("</DL><P>"));
}

QByteArray joined(const QStringList& lines) {
    QString out;
    for (const QString& line : lines) {
        out += line;
        out += Eol;
    }
    return out.toUtf8();
}

} // namespace

QByteArray exportArchive(Kind kind, const QList<std::shared_ptr<Thema>>& folders,
                         const QDateTime& now) {
    QStringList lines;
    switch (kind) {
    case Kind::Text:
        for (const std::shared_ptr<Thema>& folder : folders) {
            if (folder)
                textFolder(*folder, &lines);
        }
        break;
    case Kind::Html:
        lines.append(CharsetLine);
        lines.append(QStringLiteral("<HTML><TITLE></TITLE><BODY>"));
        for (const std::shared_ptr<Thema>& folder : folders) {
            if (folder)
                htmlFolder(*folder, &lines);
        }
        lines.append(QStringLiteral("</BODY></HTML>"));
        break;
    case Kind::Netscape: {
        const Stamp stamp = stampOf(now);
        netscapeHeader(stamp, true, &lines);
        for (const std::shared_ptr<Thema>& folder : folders) {
            if (folder)
                netscapeFolder(*folder, stamp, &lines);
        }
        lines.append(QStringLiteral("</DL>"));
        break;
    }
    }
    return joined(lines);
}

QByteArray exportFolder(Kind kind, const Thema& folder, const QDateTime& now) {
    QStringList lines;
    switch (kind) {
    case Kind::Text:
        textFolder(folder, &lines);
        break;
    case Kind::Html:
        lines.append(CharsetLine);
        lines.append(QStringLiteral("<HTML><BODY>"));
        htmlFolder(folder, &lines);
        lines.append(QStringLiteral("</BODY></HTML>"));
        break;
    case Kind::Netscape: {
        const Stamp stamp = stampOf(now);
        netscapeHeader(stamp, false, &lines);
        netscapeFolder(folder, stamp, &lines);
        break;
    }
    }
    return joined(lines);
}

bool writeExport(const QString& path, const QByteArray& bytes, QString* error) {
    return writeFileAtomic(path, bytes, error);
}

DialogTexts dialogTexts(Kind kind, bool wholeArchive) {
    const QString what = wholeArchive ? QStringLiteral("Archiv") : QStringLiteral("Ordner");
    DialogTexts texts;
    switch (kind) {
    case Kind::Text:
        texts.caption = what + QStringLiteral(" exportieren in Text Datei...");
        texts.filter = QStringLiteral("Text-Datei (*.txt)");
        break;
    case Kind::Html:
        texts.caption = what + QStringLiteral(" exportieren in HTML Datei...");
        texts.filter = QStringLiteral("HTML-Datei (*.htm *.html)");
        break;
    case Kind::Netscape:
        texts.caption =
            what + QStringLiteral(" exportieren in IE/Netscape Bookmark Dateiformat...");
        texts.filter = QStringLiteral("HTML-Datei (*.htm *.html)");
        break;
    }
    return texts;
}

QString successQuestion(const QString& path) {
    return QStringLiteral("Der Export war erfolgreich, möchten Sie die Datei '") + path +
           QStringLiteral("' anzeigen ?");
}

} // namespace ExportWriters
