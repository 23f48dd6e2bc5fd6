#include "archive/model/ImportText.h"

#include "common/RecordCodec.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>

namespace BookmarkImport::detail {

namespace {

// ---------------------------------------------------------------------------
// Character set

// Windows-1252 bytes 0x80..0x9F; the five unassigned ones map to the C1
// control of the same value, as browsers decode them.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString fromWindows1252(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (const char ch : bytes) {
        const auto b = quint8(ch);
        *dst++ = QChar(b >= 0x80 && b <= 0x9F ? Cp1252High[b - 0x80] : char16_t(b));
    }
    return out;
}

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool startsWithNoCase(const QByteArray& data, qsizetype pos, const char* word) {
    for (qsizetype i = 0; word[i]; ++i) {
        if (pos + i >= data.size() || QChar::toLower(uint(quint8(data[pos + i]))) != uint(word[i]))
            return false;
    }
    return true;
}

// A comment starting at pos; *after is where the text goes on (the end for
// a comment left open).
bool commentAt(const QByteArray& data, qsizetype pos, qsizetype* after) {
    if (pos + 4 > data.size() || std::memcmp(data.constData() + pos, "<!--", 4) != 0)
        return false;
    const qsizetype body = pos + 4;
    // "<!-->" and "<!--->" end at once.
    if (body < data.size() && data[body] == '>') {
        *after = body + 1;
    } else if (body + 1 < data.size() && data[body] == '-' && data[body + 1] == '>') {
        *after = body + 2;
    } else {
        const qsizetype end = data.indexOf("-->", body);
        *after = end < 0 ? data.size() : end + 3;
    }
    return true;
}

struct Attribute {
    QByteArray name;
    QByteArray value;
};

// Reads one attribute of a tag at pos, as the encoding prescan of HTML does.
// False at the end of the tag.
bool nextAttribute(const QByteArray& data, qsizetype* pos, Attribute* attr) {
    qsizetype i = *pos;
    const qsizetype n = data.size();
    while (i < n && (isAsciiSpace(data[i]) || data[i] == '/'))
        ++i;
    if (i >= n || data[i] == '>') {
        *pos = i;
        return false;
    }
    attr->name.clear();
    attr->value.clear();
    while (i < n && !isAsciiSpace(data[i]) && data[i] != '=' && data[i] != '>' && data[i] != '/')
        attr->name += char(QChar::toLower(uint(quint8(data[i++]))));
    while (i < n && isAsciiSpace(data[i]))
        ++i;
    if (i < n && data[i] == '=') {
        ++i;
        while (i < n && isAsciiSpace(data[i]))
            ++i;
        if (i < n && (data[i] == '"' || data[i] == '\'')) {
            const char quote = data[i++];
            while (i < n && data[i] != quote)
                attr->value += data[i++];
            ++i;
        } else {
            while (i < n && !isAsciiSpace(data[i]) && data[i] != '>')
                attr->value += data[i++];
        }
    }
    *pos = i;
    return true;
}

QByteArray charsetFromContent(const QByteArray& content) {
    const QByteArray lower = content.toLower();
    qsizetype at = lower.indexOf("charset");
    if (at < 0)
        return {};
    at += 7;
    while (at < lower.size() && isAsciiSpace(lower[at]))
        ++at;
    if (at >= lower.size() || lower[at] != '=')
        return {};
    ++at;
    while (at < lower.size() && isAsciiSpace(lower[at]))
        ++at;
    qsizetype end = at;
    if (at < lower.size() && (lower[at] == '"' || lower[at] == '\'')) {
        const char quote = lower[at++];
        end = lower.indexOf(quote, at);
        return end < 0 ? QByteArray() : content.mid(at, end - at);
    }
    while (end < lower.size() && !isAsciiSpace(lower[end]) && lower[end] != ';')
        ++end;
    return content.mid(at, end - at);
}

// The charset the file's META names, looked for where browsers look: in the
// markup before the content, skipping comments.
QByteArray declaredCharset(const QByteArray& data) {
    const QByteArray head = data.left(8192);
    qsizetype i = 0;
    while (i < head.size()) {
        if (head[i] != '<') {
            ++i;
            continue;
        }
        if (commentAt(head, i, &i))
            continue;
        if (startsWithNoCase(head, i, "<meta") && i + 5 < head.size() &&
            (isAsciiSpace(head[i + 5]) || head[i + 5] == '/')) {
            qsizetype pos = i + 5;
            Attribute attr;
            QByteArray charset;
            QByteArray content;
            bool contentType = false;
            while (nextAttribute(head, &pos, &attr)) {
                if (attr.name == "charset" && charset.isEmpty())
                    charset = attr.value.trimmed();
                else if (attr.name == "http-equiv")
                    contentType = attr.value.trimmed().toLower() == "content-type";
                else if (attr.name == "content")
                    content = attr.value;
            }
            if (charset.isEmpty() && contentType)
                charset = charsetFromContent(content).trimmed();
            if (!charset.isEmpty())
                return charset.toLower();
            i = pos;
            continue;
        }
        // Any other tag: skip its attributes, whose values may hold a '<'.
        qsizetype pos = i + 1;
        while (pos < head.size() && !isAsciiSpace(head[pos]) && head[pos] != '>')
            ++pos;
        Attribute attr;
        while (nextAttribute(head, &pos, &attr)) {
        }
        i = pos + 1;
    }
    return {};
}

enum class Charset { Utf8, Windows1252, Other };

Charset charsetOfLabel(const QByteArray& label) {
    static const char* const utf8[] = {
        "utf-8", "utf8", "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8", "x-unicode20utf8",
        // A page cannot declare UTF-16 from inside itself;
        // browsers read such a page as UTF-8.
        "utf-16", "utf-16le", "utf-16be", "unicode", "ucs-2", "csunicode", "iso-10646-ucs-2",
        "unicodefeff", "unicodefffe"};
    // Browsers read Latin-1 and ASCII labels as Windows-1252.
    static const char* const cp1252[] = {
        "windows-1252", "cp1252", "x-cp1252",   "iso-8859-1",      "iso8859-1",     "iso88591",
        "iso_8859-1",   "latin1", "l1",         "ascii",           "us-ascii",      "cp819",
        "csisolatin1",  "ibm819", "iso-ir-100", "iso_8859-1:1987", "ansi_x3.4-1968"};
    for (const char* name : utf8) {
        if (label == name)
            return Charset::Utf8;
    }
    for (const char* name : cp1252) {
        if (label == name)
            return Charset::Windows1252;
    }
    return Charset::Other;
}

QString decodeUtf8(const QByteArray& bytes, bool* valid) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (valid)
        *valid = !decoder.hasError();
    return text;
}

QString decodeDocument(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decodeUtf8(bytes.mid(3), nullptr);
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                            : QStringDecoder::Utf16BE);
        return decoder.decode(bytes.mid(2));
    }
    const QByteArray label = declaredCharset(bytes);
    if (!label.isEmpty()) {
        switch (charsetOfLabel(label)) {
        case Charset::Utf8:
            return decodeUtf8(bytes, nullptr);
        case Charset::Windows1252:
            return fromWindows1252(bytes);
        case Charset::Other: {
            QStringDecoder decoder(label.constData());
            if (decoder.isValid())
                return decoder.decode(bytes);
            break; // unknown name: as if none were given
        }
        }
    }
    bool valid = false;
    QString text = decodeUtf8(bytes, &valid);
    return valid ? text : fromWindows1252(bytes);
}

// ---------------------------------------------------------------------------
// Nesting

// An upper estimate of how deep the parser will nest elements: every open tag
// that the parser does not close by itself counts until its end tag. The
// parser's cost grows with the square of the depth, so a file nested beyond
// any real bookmark file is refused before parsing.
int roughNesting(const QByteArray& utf8, int limit) {
    static const QSet<QByteArray> selfClosing = {
        "area",     "base",  "br",    "col",      "embed",   "hr",    "img",    "input",
        "link",     "meta",  "param", "source",   "track",   "wbr",   "keygen", "basefont",
        "bgsound",  "frame", "image", "p",        "dt",      "dd",    "li",     "option",
        "optgroup", "tr",    "td",    "th",       "tbody",   "thead", "tfoot",  "rb",
        "rt",       "rp",    "rtc",   "colgroup", "caption", "html",  "head",   "body"};
    QHash<QByteArray, int> open;
    int depth = 0;
    int deepest = 0;
    qsizetype i = 0;
    const qsizetype n = utf8.size();
    while (i < n) {
        i = utf8.indexOf('<', i);
        if (i < 0)
            break;
        if (commentAt(utf8, i, &i))
            continue;
        const bool closing = i + 1 < n && utf8[i + 1] == '/';
        qsizetype pos = i + (closing ? 2 : 1);
        QByteArray name;
        while (pos < n && name.size() < 32 && !isAsciiSpace(utf8[pos]) && utf8[pos] != '>' &&
               utf8[pos] != '/' && utf8[pos] != '<')
            name += char(QChar::toLower(uint(quint8(utf8[pos++]))));
        i = pos;
        // Only a letter starts a tag; "<3", "<!" and "<?" open nothing.
        if (name.isEmpty() || name.front() < 'a' || name.front() > 'z' ||
            selfClosing.contains(name))
            continue;
        int& count = open[name];
        if (closing) {
            if (count > 0) {
                --count;
                --depth;
            }
        } else {
            ++count;
            deepest = std::max(deepest, ++depth);
            if (deepest > limit)
                break;
        }
    }
    return deepest;
}

} // namespace

QString decodeText(const QByteArray& bytes) {
    return decodeDocument(bytes);
}
int nestingDepth(const QByteArray& utf8, int limit) {
    return roughNesting(utf8, limit);
}

} // namespace BookmarkImport::detail
