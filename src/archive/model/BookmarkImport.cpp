#include "archive/model/BookmarkImport.h"

#include "archive/model/BudgetedParse.h"
#include "archive/model/ImportPage.h"
#include "archive/model/ImportText.h"
#include "common/SafeFile.h"
#include "common/Twips.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <chrono>
#include <limits>
#include <vector>

namespace BookmarkImport {

using detail::Node;
using detail::Page;

namespace {

// Gumbo hands out UTF-8; a U+FEFF at the start of a text is a character of
// that text, not a byte order mark.
QString utf8Text(const char* text) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(text));
}

// Bounds that keep a hostile or broken file from taking the program down.
// Real bookmark files stay far below each of them.
constexpr qint64 MaxFileBytes = 32 * 1024 * 1024;
constexpr int MaxNesting = 5000;
constexpr qint64 MaxEntries = 1000000;
constexpr qint64 MaxWalkSteps = 200000000;
constexpr int MaxTextLength = 8192;
constexpr std::chrono::seconds MaxParseTime{30};

Result failure(const QString& reason) {
    Result r;
    r.error = reason;
    return r;
}

QString tooLarge() {
    return QStringLiteral("Die Datei ist zu umfangreich, um sie zu importieren.");
}

// ---------------------------------------------------------------------------
// innerText: the text as a browser shows it, for a page without style sheets

// Line breaks a browser shows around an element of the tag: one around a
// block, two around a paragraph.
int breaksAround(GumboTag t) {
    static const QSet<int> blocks = {
        GUMBO_TAG_ADDRESS,  GUMBO_TAG_ARTICLE,    GUMBO_TAG_ASIDE,     GUMBO_TAG_BLOCKQUOTE,
        GUMBO_TAG_BODY,     GUMBO_TAG_CENTER,     GUMBO_TAG_DD,        GUMBO_TAG_DETAILS,
        GUMBO_TAG_DIR,      GUMBO_TAG_DIV,        GUMBO_TAG_DL,        GUMBO_TAG_DT,
        GUMBO_TAG_FIELDSET, GUMBO_TAG_FIGCAPTION, GUMBO_TAG_FIGURE,    GUMBO_TAG_FOOTER,
        GUMBO_TAG_FORM,     GUMBO_TAG_H1,         GUMBO_TAG_H2,        GUMBO_TAG_H3,
        GUMBO_TAG_H4,       GUMBO_TAG_H5,         GUMBO_TAG_H6,        GUMBO_TAG_HEADER,
        GUMBO_TAG_HGROUP,   GUMBO_TAG_HR,         GUMBO_TAG_HTML,      GUMBO_TAG_LEGEND,
        GUMBO_TAG_LI,       GUMBO_TAG_LISTING,    GUMBO_TAG_MAIN,      GUMBO_TAG_MENU,
        GUMBO_TAG_NAV,      GUMBO_TAG_OL,         GUMBO_TAG_PLAINTEXT, GUMBO_TAG_PRE,
        GUMBO_TAG_SECTION,  GUMBO_TAG_SUMMARY,    GUMBO_TAG_TABLE,     GUMBO_TAG_CAPTION,
        GUMBO_TAG_TR,       GUMBO_TAG_UL,         GUMBO_TAG_XMP,       GUMBO_TAG_FRAMESET};
    if (t == GUMBO_TAG_P)
        return 2;
    return blocks.contains(t) ? 1 : 0;
}

bool isPreformatted(GumboTag t) {
    return t == GUMBO_TAG_PRE || t == GUMBO_TAG_LISTING || t == GUMBO_TAG_XMP ||
           t == GUMBO_TAG_PLAINTEXT;
}

bool isCell(GumboTag t) {
    return t == GUMBO_TAG_TD || t == GUMBO_TAG_TH;
}

// Elements a browser does not render, or renders as a control or picture
// whose inner text is not part of the page's text.
bool isHidden(const Page& page, int i) {
    static const QSet<int> hidden = {
        GUMBO_TAG_HEAD,     GUMBO_TAG_TITLE,    GUMBO_TAG_SCRIPT,   GUMBO_TAG_STYLE,
        GUMBO_TAG_TEMPLATE, GUMBO_TAG_NOSCRIPT, GUMBO_TAG_NOEMBED,  GUMBO_TAG_NOFRAMES,
        GUMBO_TAG_IFRAME,   GUMBO_TAG_OBJECT,   GUMBO_TAG_EMBED,    GUMBO_TAG_AUDIO,
        GUMBO_TAG_VIDEO,    GUMBO_TAG_CANVAS,   GUMBO_TAG_TEXTAREA, GUMBO_TAG_SELECT,
        GUMBO_TAG_DATALIST, GUMBO_TAG_INPUT,    GUMBO_TAG_IMG,      GUMBO_TAG_AREA};
    const GumboTag t = page.tag(i);
    if (t == GUMBO_TAG_LAST)
        return false;
    return hidden.contains(t) ||
           gumbo_get_attribute(&page.at(i).g->v.element.attributes, "hidden") != nullptr;
}

// White space as HTML knows it.
bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\f');
}

class TextCollector {
public:
    void text(const QString& s, bool preformatted) {
        if (preformatted) {
            startWord();
            QString t = s;
            t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
            m_out += t;
            m_lineStart = t.endsWith(QLatin1Char('\n'));
            return;
        }
        for (const QChar c : s) {
            if (isBlank(c)) {
                if (!m_lineStart)
                    m_space = true;
                continue;
            }
            startWord();
            m_out += c;
            m_lineStart = false;
        }
    }
    void lineBreak() {
        breaks();
        m_out += QLatin1Char('\n');
        m_lineStart = true;
        m_space = false;
    }
    void block(int breaks) {
        m_breaks = std::max(m_breaks, breaks);
        m_space = false;
        m_cellEnded = false;
    }
    // Cells of a row are separated by a tab.
    void cellStarts() {
        if (m_cellEnded) {
            breaks();
            m_out += QLatin1Char('\t');
            m_space = false;
            m_lineStart = false;
        }
        m_cellEnded = false;
    }
    void cellEnds() { m_cellEnded = true; }
    bool full() const { return m_out.size() > MaxTextLength; }
    QString result() const { return m_out; }

private:
    // Line breaks a block asked for appear only between pieces of text.
    void breaks() {
        if (m_breaks > 0 && !m_out.isEmpty()) {
            m_out += QString(m_breaks, QLatin1Char('\n'));
            m_lineStart = true;
            m_space = false;
        }
        m_breaks = 0;
    }
    void startWord() {
        breaks();
        if (m_space && !m_lineStart)
            m_out += QLatin1Char(' ');
        m_space = false;
    }

    QString m_out;
    int m_breaks = 0;
    bool m_space = false;
    bool m_lineStart = true;
    bool m_cellEnded = false;
};

// Names and titles are single lines in the archive; the shown text can break
// lines (<BR>, cells, preformatted text), which becomes one blank.
QString oneLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool gap = false;
    for (const QChar c : text) {
        if (isBlank(c)) {
            gap = !out.isEmpty();
            continue;
        }
        if (gap)
            out += QLatin1Char(' ');
        gap = false;
        out += c;
    }
    return out;
}

// A description keeps its line breaks; blanks within a line are what the
// bookmark file can carry (one between words), and trailing breaks would be
// lost on the next export. So the text reads the same after an export and
// another import.
QString plainLines(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = oneLine(line);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.join(QLatin1Char('\n'));
}

class Walker {
public:
    Walker(const Page& page, const QUrl& base) : m_page(page), m_base(base) {}

    bool overBudget() const { return m_steps > MaxWalkSteps; }
    void step(qint64 n = 1) { m_steps += n; }

    QString innerText(int root) {
        TextCollector out;
        int pre = isPreformatted(m_page.tag(root)) ? 1 : 0;
        const auto leave = [&](int i) {
            const GumboTag t = m_page.tag(i);
            if (isPreformatted(t))
                --pre;
            if (breaksAround(t) > 0)
                out.block(breaksAround(t));
            if (isCell(t))
                out.cellEnds();
        };
        int cur = m_page.at(root).first;
        while (cur >= 0 && !out.full() && !overBudget()) {
            step();
            const Node& node = m_page.at(cur);
            bool descend = false;
            switch (node.g->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                out.text(utf8Text(node.g->v.text.text), pre > 0);
                break;
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE: {
                if (isHidden(m_page, cur))
                    break;
                const GumboTag t = m_page.tag(cur);
                if (t == GUMBO_TAG_BR) {
                    out.lineBreak();
                    break;
                }
                if (isCell(t))
                    out.cellStarts();
                if (breaksAround(t) > 0)
                    out.block(breaksAround(t));
                if (isPreformatted(t))
                    ++pre;
                if (node.first >= 0)
                    descend = true;
                else
                    leave(cur);
                break;
            }
            default:
                break;
            }
            if (descend) {
                cur = node.first;
                continue;
            }
            // Next node in document order, leaving finished elements.
            while (cur != root) {
                const int next = m_page.at(cur).next;
                if (next >= 0) {
                    cur = next;
                    break;
                }
                cur = m_page.at(cur).parent;
                if (cur == root) {
                    cur = -1;
                    break;
                }
                leave(cur);
            }
            if (cur == root)
                cur = -1;
        }
        return out.result();
    }

    // The address as the document resolves it.
    QString href(int a) {
        const GumboAttribute* attr =
            gumbo_get_attribute(&m_page.at(a).g->v.element.attributes, "href");
        if (!attr)
            return {};
        QString value = utf8Text(attr->value);
        value.remove(QLatin1Char('\t'));
        value.remove(QLatin1Char('\n'));
        value.remove(QLatin1Char('\r'));
        while (!value.isEmpty() && value.front().unicode() <= 0x20)
            value.remove(0, 1);
        while (!value.isEmpty() && value.back().unicode() <= 0x20)
            value.chop(1);
        if (value.isEmpty())
            return value;
        // An address with a scheme is kept as written, so it imports exactly
        // as it was exported; only relative ones need the file's location.
        const QUrl url(value);
        if (!url.isRelative() || !m_base.isValid())
            return value;
        return m_base.resolved(url).toString();
    }

    struct Link {
        QString title;
        QString url;
    };
    const Link& link(int a) {
        auto it = m_links.find(a);
        if (it == m_links.end())
            it = m_links.insert(a, Link{oneLine(innerText(a)), href(a)});
        return *it;
    }
    const QString& description(int dd) {
        auto it = m_descriptions.find(dd);
        if (it == m_descriptions.end())
            it = m_descriptions.insert(dd, plainLines(innerText(dd)));
        return *it;
    }

private:
    const Page& m_page;
    const QUrl m_base;
    qint64 m_steps = 0;
    QHash<int, Link> m_links;
    QHash<int, QString> m_descriptions;
};

Result walk(Page& page, const QUrl& base) {
    page.groupListsWithHeadings();
    page.index();
    Walker walker(page, base);
    const std::vector<int>& all = page.elements();
    Result result;
    qint64 entries = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        const int e = all[i];
        const int heading = page.headingOf(e);
        walker.step();
        if (heading < 0)
            continue;
        Folder folder;
        folder.name = oneLine(walker.innerText(heading));
        folder.sequenz = qint32(std::min<size_t>(i + 1, std::numeric_limits<qint32>::max()));
        const int from = page.allBegin(e);
        const int m = page.allEnd(e) - from;
        walker.step(m);
        for (int j = 0; j < m; ++j) {
            const int f = all[size_t(from + j)];
            if (page.tag(f) != GUMBO_TAG_A)
                continue;
            if (++entries > MaxEntries) {
                return failure(QStringLiteral("Die Datei ergäbe mehr als %1 Lesezeichen und ist "
                                              "zu umfangreich, um sie zu importieren.")
                                   .arg(MaxEntries));
            }
            const Walker::Link& link = walker.link(f);
            Bookmark b;
            b.Nr = clampInt16(j + 1);
            b.Titel = link.title;
            b.Url = link.url;
            // A description counts only where the folder's list goes on
            // after it.
            if (j + 1 < m - 1 && page.tag(all[size_t(from + j + 1)]) == GUMBO_TAG_DD)
                b.Info = walker.description(all[size_t(from + j + 1)]);
            b.Adresszeile = true;
            b.Toolbar = true;
            folder.bookmarks.append(b);
            if (walker.overBudget())
                break;
        }
        if (walker.overBudget())
            return failure(tooLarge());
        // What the archive could not hold is refused whole, before anything
        // is written.
        if (folder.bookmarks.size() > Book::MaxBookmarks) {
            return failure(QStringLiteral("Der Ordner '%1' enthielte %2 Lesezeichen; ein Ordner "
                                          "des Archivs fasst höchstens %3.")
                               .arg(folder.name)
                               .arg(folder.bookmarks.size())
                               .arg(Book::MaxBookmarks));
        }
        if (result.folders.size() == Book::MaxFolders) {
            return failure(QStringLiteral("Die Datei enthält mehr als %1 Ordner; so viele fasst "
                                          "das Archiv nicht.")
                               .arg(Book::MaxFolders));
        }
        result.folders.append(folder);
    }
    result.ok = true;
    return result;
}

const GumboNode* bodyOf(const GumboOutput* output) {
    const GumboNode* root = output->root;
    if (!root || root->type != GUMBO_NODE_ELEMENT)
        return nullptr;
    const GumboVector& children = root->v.element.children;
    for (unsigned k = 0; k < children.length; ++k) {
        const auto* child = static_cast<const GumboNode*>(children.data[k]);
        if (child->type == GUMBO_NODE_ELEMENT &&
            (child->v.element.tag == GUMBO_TAG_BODY || child->v.element.tag == GUMBO_TAG_FRAMESET))
            return child;
    }
    return nullptr;
}

} // namespace

Result parse(const QByteArray& bytes, const QUrl& fileUrl) {
    if (bytes.isEmpty())
        return failure(QStringLiteral("Die Datei ist leer."));
    if (bytes.size() > MaxFileBytes)
        return failure(tooLarge());
    const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    // A picture or program picked by mistake must not replace the archive.
    if (!utf16 && bytes.contains('\0'))
        return failure(
            QStringLiteral("Die Datei enthält Binärdaten und ist keine Lesezeichendatei."));

    const QByteArray utf8 = detail::decodeText(bytes).toUtf8();
    if (detail::nestingDepth(utf8, MaxNesting) > MaxNesting)
        return failure(QStringLiteral("Die Datei ist zu tief verschachtelt (mehr als %1 Ebenen).")
                           .arg(MaxNesting));

    // A bookmark file of 20 MB takes some 350 MB as a tree, one of very
    // short links up to 50 times its size.
    detail::BudgetedParse parser(size_t(128) * 1024 * 1024 + size_t(utf8.size()) * 56,
                                 MaxParseTime);
    const GumboOutput* output = parser.run(utf8.constData(), size_t(utf8.size()));
    if (!output) {
        return failure(parser.end() == detail::ParseEnd::ParserFault
                           ? QStringLiteral("Die Datei enthält fehlerhaftes HTML, an dem der "
                                            "HTML-Parser scheitert.")
                           : tooLarge());
    }
    const GumboNode* body = bodyOf(output);
    if (!body)
        return failure(QStringLiteral("Die Datei enthält keine lesbare Seite."));
    Page page(body);
    return walk(page, fileUrl); // the parser then frees the whole tree
}

Result parseFile(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (info.isFile() && info.size() > MaxFileBytes) {
        return failure(
            QStringLiteral("Die Datei '%1' ist zu groß für den Import (höchstens %2 MB).")
                .arg(shown)
                .arg(MaxFileBytes / (1024 * 1024)));
    }
    QByteArray bytes;
    QString reason;
    switch (readWholeFile(path, &bytes, &reason, MaxFileBytes + 1)) {
    case ReadStatus::NotFound:
        return failure(QStringLiteral("Die Datei '%1' wurde nicht gefunden.").arg(shown));
    case ReadStatus::Failed:
        return failure(reason);
    case ReadStatus::Ok:
        break;
    }
    Result result = parse(bytes, QUrl::fromLocalFile(info.absoluteFilePath()));
    if (!result.ok)
        result.error = QStringLiteral("Die Datei '%1' kann nicht importiert werden. ").arg(shown) +
                       result.error;
    return result;
}

QList<std::shared_ptr<Thema>> archiveFolders(const QList<Folder>& folders) {
    QList<std::shared_ptr<Thema>> out;
    out.reserve(folders.size());
    for (qsizetype k = 0; k < folders.size(); ++k) {
        const Folder& f = folders.at(k);
        auto thema = std::make_shared<Thema>();
        thema->Nr = qint32(k + 1);
        thema->FileName = QString::number(k + 1) + QStringLiteral(".bkm");
        thema->setDirName(f.name);
        thema->Sequenz = f.sequenz > 0 ? f.sequenz : qint32(k + 1);
        thema->bookmarks = f.bookmarks;
        thema->counter = clampInt16(f.bookmarks.size());
        out.append(thema);
    }
    return out;
}

ExportWriters::DialogTexts dialogTexts() {
    ExportWriters::DialogTexts texts;
    texts.caption = QStringLiteral("Importieren einer IE/Netscape Bookmark Datei ...");
    texts.filter = QStringLiteral("HTML-Datei (*.htm *.html)");
    return texts;
}

} // namespace BookmarkImport
