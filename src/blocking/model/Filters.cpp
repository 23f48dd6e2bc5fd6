#include "blocking/model/Filters.h"

#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QVarLengthArray>

#include <libpsl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace Blocking {

namespace {

constexpr quint16 AllTypes = 0x7ff;
// A filter without a type option applies to everything a page loads, not to
// the page itself.
constexpr quint16 DefaultTypes = AllTypes & ~quint16(ResourceType::Document);

enum FilterFlag : quint16 {
    HostAnchor = 1 << 0,
    StartAnchor = 1 << 1,
    EndAnchor = 1 << 2,
    MatchCase = 1 << 3,
    ThirdPartyOnly = 1 << 4,
    FirstPartyOnly = 1 << 5,
    Important = 1 << 6,
    Exception = 1 << 7,
    ElemHide = 1 << 8,
    GenericHide = 1 << 9,
};

// Selectors per rule of the style sheet. The engine drops a whole rule when
// one of its selectors is one it does not know, so a rule holds only a few.
constexpr int SelectorsPerGroup = 50;

inline bool isTokenChar(uchar c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '%';
}

inline uchar lowerAscii(uchar c) {
    return (c >= 'A' && c <= 'Z') ? uchar(c + 32) : c;
}

// What "^" stands for: anything but a letter, a digit or one of "_-.%".
inline bool isSeparator(uchar c) {
    return !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
             c == '_' || c == '-' || c == '.' || c == '%');
}

inline quint32 tokenHash(const char* s, qsizetype n) {
    quint32 h = 2166136261u;
    for (qsizetype i = 0; i < n; ++i) {
        h ^= uchar(s[i]);
        h *= 16777619u;
    }
    return h;
}

struct Token {
    quint32 hash;
    int length;
};

struct DomainEntry {
    QString domain;
    bool include;
};

struct DomainList {
    QList<DomainEntry> entries;
    bool hasInclude = false;

    // The most specific entry that names the host or one of its parent
    // domains decides; without one, a list of only exclusions applies.
    bool applies(const QString& host) const {
        if (!host.isEmpty()) {
            QStringView rest(host);
            while (!rest.isEmpty()) {
                for (const DomainEntry& e : entries) {
                    if (rest == e.domain)
                        return e.include;
                }
                const qsizetype dot = rest.indexOf(QLatin1Char('.'));
                if (dot < 0)
                    break;
                rest = rest.mid(dot + 1);
            }
        }
        return !hasInclude;
    }
};

// Reads "a.de|~b.a.de" (separator '|' for network options, ',' for element
// hiding). False when an entry is one this reader does not understand.
bool parseDomains(QByteArrayView text, char separator, DomainList* out) {
    for (QByteArrayView part : QByteArray::fromRawData(text.data(), text.size()).split(separator)) {
        part = part.trimmed();
        bool include = true;
        if (part.startsWith('~')) {
            include = false;
            part = part.sliced(1);
        }
        if (part.isEmpty())
            return false;
        for (char c : part) {
            // "example.*" and friends name a site under every public suffix;
            // not supported.
            if (c == '*' || c == '/' || c == ' ' || c == '$' || c == '|' || c == '^')
                return false;
        }
        QString domain = QString::fromUtf8(part).toLower();
        if (domain.endsWith(QLatin1Char('.')))
            domain.chop(1);
        out->entries.append({domain, include});
        out->hasInclude = out->hasInclude || include;
    }
    return !out->entries.isEmpty();
}

struct NetFilter {
    QByteArray pattern; // anchors taken off; lower case unless MatchCase
    int regex = -1;     // index into Data::regexes
    int domains = -1;   // index into Data::domainLists
    quint16 types = DefaultTypes;
    quint16 flags = 0;
};

struct HideRule {
    QString selector;
    int domains = -1;
};

// Everything known about one request, worked out once and shared by all the
// filters tried on it.
struct Context {
    const Request& request;
    QByteArray original;
    QByteArray lower;
    QVarLengthArray<int, 8> hostStarts;
    QVarLengthArray<quint32, 48> tokens;
    mutable int thirdParty = -1;

    explicit Context(const Request& r) : request(r), original(r.url.toUtf8()) {
        lower = original;
        char* p = lower.data();
        const qsizetype n = lower.size();
        for (qsizetype i = 0; i < n; ++i)
            p[i] = char(lowerAscii(uchar(p[i])));

        // Where a "||" pattern may start: at the host, and after each of its dots.
        const qsizetype scheme = lower.indexOf("://");
        if (scheme >= 0) {
            qsizetype start = scheme + 3;
            qsizetype end = start;
            while (end < n && p[end] != '/' && p[end] != '?' && p[end] != '#')
                ++end;
            const qsizetype at = QByteArrayView(p + start, end - start).lastIndexOf('@');
            if (at >= 0)
                start += at + 1;
            hostStarts.append(int(start));
            for (qsizetype i = start; i < end && p[i] != ':'; ++i) {
                if (p[i] == '.')
                    hostStarts.append(int(i + 1));
            }
        }

        for (qsizetype i = 0; i < n;) {
            if (!isTokenChar(uchar(p[i]))) {
                ++i;
                continue;
            }
            qsizetype j = i;
            while (j < n && isTokenChar(uchar(p[j])))
                ++j;
            if (j - i >= 2) {
                const quint32 h = tokenHash(p + i, j - i);
                if (std::find(tokens.begin(), tokens.end(), h) == tokens.end())
                    tokens.append(h);
            }
            i = j;
        }
    }

    bool isThirdParty() const {
        if (thirdParty < 0)
            thirdParty = Blocking::isThirdParty(request.host, request.pageHost) ? 1 : 0;
        return thirdParty == 1;
    }
};

// One piece of a pattern between two "*": matches at exactly `at`, giving the
// end of the match, or -1.
qsizetype matchPiece(const char* piece, qsizetype pieceLength, const char* url, qsizetype urlLength,
                     qsizetype at) {
    qsizetype u = at;
    for (qsizetype i = 0; i < pieceLength; ++i) {
        const char c = piece[i];
        if (c == '^') {
            if (u == urlLength)
                continue; // the end of the address counts as a separator
            if (!isSeparator(uchar(url[u])))
                return -1;
            ++u;
        } else {
            if (u == urlLength || url[u] != c)
                return -1;
            ++u;
        }
    }
    return u;
}

// Matches the pieces of a pattern in order, the first at `start` when
// anchored. Leftmost matches suffice: every piece has a fixed width (a "^"
// at the end of the address only at the very end).
using Pieces = QVarLengthArray<QByteArrayView, 8>;

bool matchPieces(const Pieces& pieces, bool anchored, bool endAnchored, const char* url,
                 qsizetype urlLength, qsizetype start) {
    qsizetype pos = start;
    for (qsizetype k = 0; k < pieces.size(); ++k) {
        const QByteArrayView piece = pieces[k];
        const bool last = k == pieces.size() - 1;
        if (k == 0 && anchored) {
            const qsizetype end = matchPiece(piece.data(), piece.size(), url, urlLength, pos);
            if (end < 0 || (last && endAnchored && end != urlLength))
                return false;
            pos = end;
            continue;
        }
        qsizetype found = -1;
        for (qsizetype at = pos; at <= urlLength; ++at) {
            const qsizetype end = matchPiece(piece.data(), piece.size(), url, urlLength, at);
            if (end >= 0 && (!last || !endAnchored || end == urlLength)) {
                found = end;
                break;
            }
        }
        if (found < 0)
            return false;
        pos = found;
    }
    return !endAnchored || pos == urlLength;
}

bool matchPattern(const NetFilter& f, const Context& ctx) {
    const QByteArray& url = (f.flags & MatchCase) ? ctx.original : ctx.lower;
    const QByteArrayView pattern(f.pattern);
    const bool leadingStar = pattern.startsWith('*');
    const bool trailingStar = pattern.endsWith('*');
    Pieces pieces;
    qsizetype from = 0;
    while (from <= pattern.size()) {
        qsizetype star = pattern.indexOf('*', from);
        if (star < 0)
            star = pattern.size();
        if (star > from)
            pieces.append(pattern.sliced(from, star - from));
        from = star + 1;
    }
    const bool endAnchored = (f.flags & EndAnchor) && !trailingStar;
    if (pieces.isEmpty())
        return true;
    if ((f.flags & HostAnchor) && !leadingStar) {
        for (int start : ctx.hostStarts) {
            if (matchPieces(pieces, true, endAnchored, url.constData(), url.size(), start))
                return true;
        }
        return false;
    }
    const bool anchored = (f.flags & StartAnchor) && !leadingStar;
    return matchPieces(pieces, anchored, endAnchored, url.constData(), url.size(), 0);
}

// The tokens a plain pattern's matches always hold whole: runs of token
// characters that neither a "*" nor the open start or end of the pattern
// touches.
QList<Token> patternTokens(const QByteArray& pattern, quint16 flags) {
    QList<Token> out;
    const QByteArray lower = pattern.toLower();
    const qsizetype n = lower.size();
    for (qsizetype i = 0; i < n;) {
        if (!isTokenChar(uchar(lower[i]))) {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < n && isTokenChar(uchar(lower[j])))
            ++j;
        const bool leftSafe =
            i == 0 ? (flags & (HostAnchor | StartAnchor)) != 0 : lower[i - 1] != '*';
        const bool rightSafe = j == n ? (flags & EndAnchor) != 0 : lower[j] != '*';
        if (leftSafe && rightSafe && j - i >= 2)
            out.append({tokenHash(lower.constData() + i, j - i), int(j - i)});
        i = j;
    }
    return out;
}

// The same for a regular expression, read only as far as it is simple: a run
// of plain letters and digits at the outer level, with a plain character that
// is no token character (or the start or end anchor) on both sides, and no
// alternative at the outer level anywhere.
QList<Token> regexTokens(const QByteArray& source) {
    struct Atom {
        char c;        // the literal character, or 0 for anything else
        bool boundary; // an anchor or a literal non-token character
    };
    QList<Atom> atoms;
    int depth = 0;
    const qsizetype n = source.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = source[i];
        if (c == '\\') {
            if (i + 1 >= n)
                return {};
            const char e = source[++i];
            const bool literal = !std::isalnum(uchar(e));
            if (depth == 0)
                atoms.append(
                    {literal ? e : char(0), literal && !isTokenChar(uchar(lowerAscii(e)))});
            continue;
        }
        if (c == '[') {
            // A class: skip to its end.
            ++i;
            if (i < n && source[i] == '^')
                ++i;
            if (i < n && source[i] == ']')
                ++i;
            while (i < n && source[i] != ']') {
                if (source[i] == '\\')
                    ++i;
                ++i;
            }
            if (depth == 0)
                atoms.append({0, false});
            continue;
        }
        if (c == '(') {
            if (depth == 0)
                atoms.append({0, false});
            ++depth;
            continue;
        }
        if (c == ')') {
            --depth;
            if (depth < 0)
                return {};
            continue;
        }
        if (c == '|') {
            if (depth == 0)
                return {};
            continue;
        }
        if (depth > 0)
            continue;
        if (c == '?' || c == '*' || c == '+' || c == '{') {
            // The atom before may be missing or repeated.
            if (!atoms.isEmpty())
                atoms.last() = {0, false};
            if (c == '{') {
                while (i < n && source[i] != '}')
                    ++i;
            }
            atoms.append({0, false});
            continue;
        }
        if (c == '^' || c == '$') {
            atoms.append({0, true});
            continue;
        }
        if (c == '.') {
            atoms.append({0, false});
            continue;
        }
        atoms.append({c, !isTokenChar(uchar(lowerAscii(uchar(c))))});
    }
    QList<Token> out;
    const qsizetype count = atoms.size();
    for (qsizetype i = 0; i < count;) {
        const char c = char(lowerAscii(uchar(atoms[i].c)));
        if (atoms[i].c == 0 || !isTokenChar(uchar(c))) {
            ++i;
            continue;
        }
        QByteArray run;
        qsizetype j = i;
        while (j < count && atoms[j].c != 0 && isTokenChar(lowerAscii(uchar(atoms[j].c)))) {
            run.append(char(lowerAscii(uchar(atoms[j].c))));
            ++j;
        }
        const bool leftSafe = i > 0 && atoms[i - 1].boundary;
        const bool rightSafe = j < count && atoms[j].boundary;
        if (leftSafe && rightSafe && run.size() >= 2)
            out.append({tokenHash(run.constData(), run.size()), int(run.size())});
        i = j;
    }
    return out;
}

// Extended and procedural selectors some blockers run in script. The web
// engine cannot use them in a style sheet (":has(" included: the engine of
// this Qt does not know it yet).
bool isUsableSelector(const QString& selector) {
    static const char* const unsupported[] = {
        ":has-text(",     ":-abp-",        ":style(",           ":xpath(",        ":upward(",
        ":remove(",       ":matches-css",  ":min-text-length(", ":watch-attr(",   ":matches-path(",
        ":others(",       ":if(",          ":if-not(",          ":matches-attr(", ":matches-media(",
        ":nth-ancestor(", ":remove-attr(", ":remove-class(",    ":spath(",        ":has(",
        ":contains("};
    if (selector.isEmpty() || selector.startsWith(QLatin1Char('+')) ||
        selector.startsWith(QLatin1Char('^')))
        return false;
    // Braces or a comment would reach past the selector into the style sheet.
    if (selector.contains(QLatin1Char('{')) || selector.contains(QLatin1Char('}')) ||
        selector.contains(QLatin1String("/*")) || selector.endsWith(QLatin1Char('\\')))
        return false;
    for (const char* u : unsupported) {
        if (selector.contains(QLatin1String(u), Qt::CaseInsensitive))
            return false;
    }
    return true;
}

void appendGroups(QString& sheet, const QStringList& selectors) {
    for (qsizetype i = 0; i < selectors.size(); i += SelectorsPerGroup) {
        const qsizetype end = std::min(selectors.size(), i + SelectorsPerGroup);
        for (qsizetype k = i; k < end; ++k) {
            if (k > i)
                sheet += QLatin1String(",\n");
            sheet += selectors[k];
        }
        sheet += QLatin1String(" {display:none!important}\n");
    }
}

// Parent domains of a host, itself first: "a.b.de", "b.de", "de".
QList<QStringView> hostAndParents(const QString& host) {
    QList<QStringView> out;
    QStringView rest(host);
    while (!rest.isEmpty()) {
        out.append(rest);
        const qsizetype dot = rest.indexOf(QLatin1Char('.'));
        if (dot < 0)
            break;
        rest = rest.mid(dot + 1);
    }
    return out;
}

const psl_ctx_t* pslContext() {
    static const psl_ctx_t* const ctx = [] {
        const psl_ctx_t* builtin = psl_builtin();
        return builtin ? builtin : psl_latest(nullptr);
    }();
    return ctx;
}

bool isIpAddress(QStringView host) {
    if (host.contains(QLatin1Char(':')) || host.startsWith(QLatin1Char('[')))
        return true;
    int dots = 0;
    for (QChar c : host) {
        if (c == QLatin1Char('.'))
            ++dots;
        else if (!c.isDigit())
            return false;
    }
    return dots == 3;
}

} // namespace

// Filters are kept in four indexes: blocking, important blocking, exceptions
// and the page exceptions that turn element hiding off. Each index maps a
// token to the filters whose pattern holds it; filters with no usable token
// wait in a short list that every request tries.
struct Index {
    QHash<quint32, QList<int>> byToken;
    QList<int> untokenized;
};

struct FilterSet::Data {
    std::vector<NetFilter> filters;
    std::vector<QRegularExpression> regexes;
    std::vector<DomainList> domainLists;
    // Until finish(): each filter's candidate tokens.
    std::vector<QList<Token>> candidates;
    Index blocks, important, exceptions, hideExceptions;

    QStringList genericSelectors;
    std::vector<HideRule> hideRules;
    QHash<QString, QList<int>> hideRulesByDomain;
    QList<int> hideRulesExcluding; // rules with only ~domain entries
    QHash<QString, QStringList> hideExceptionsByDomain;
    QSet<QString> hideExceptionsEverywhere;
    QSet<QString> genericSet;
    QString genericSheet;
    int rules = 0;
    bool finished = false;

    bool parseNetwork(QByteArray line);
    bool parseHiding(const QByteArray& line, qsizetype marker, int markerLength, bool exception);
    bool applies(const NetFilter& f, const Context& ctx, bool checkType) const;
    const NetFilter* find(const Index& index, const Context& ctx, quint16 needFlags = 0) const;
};

bool FilterSet::Data::applies(const NetFilter& f, const Context& ctx, bool checkType) const {
    if (checkType && !(f.types & quint16(ctx.request.type)))
        return false;
    if (f.regex >= 0) {
        // Cheap tests before the expression.
        if ((f.flags & ThirdPartyOnly) && !ctx.isThirdParty())
            return false;
        if ((f.flags & FirstPartyOnly) && ctx.isThirdParty())
            return false;
        if (f.domains >= 0 && !domainLists[size_t(f.domains)].applies(ctx.request.pageHost))
            return false;
        return regexes[size_t(f.regex)].match(ctx.request.url).hasMatch();
    }
    if (!matchPattern(f, ctx))
        return false;
    if ((f.flags & ThirdPartyOnly) && !ctx.isThirdParty())
        return false;
    if ((f.flags & FirstPartyOnly) && ctx.isThirdParty())
        return false;
    return f.domains < 0 || domainLists[size_t(f.domains)].applies(ctx.request.pageHost);
}

const NetFilter* FilterSet::Data::find(const Index& index, const Context& ctx,
                                       quint16 needFlags) const {
    auto tryList = [&](const QList<int>& list) -> const NetFilter* {
        for (int i : list) {
            const NetFilter& f = filters[size_t(i)];
            // The page exceptions for element hiding hold for every type.
            if ((f.flags & needFlags) == needFlags && applies(f, ctx, needFlags == 0))
                return &f;
        }
        return nullptr;
    };
    if (!index.byToken.isEmpty()) {
        for (quint32 token : ctx.tokens) {
            const auto it = index.byToken.constFind(token);
            if (it == index.byToken.cend())
                continue;
            if (const NetFilter* f = tryList(*it))
                return f;
        }
    }
    return tryList(index.untokenized);
}

bool FilterSet::Data::parseNetwork(QByteArray line) {
    NetFilter f;
    if (line.startsWith("@@")) {
        f.flags |= Exception;
        line = line.mid(2);
    }
    QByteArray pattern = line;
    QByteArray options;
    bool isRegex = false;
    bool hasOptions = false;
    const qsizetype dollar = line.lastIndexOf('$');
    if (line.startsWith('/') && dollar > 1 && line[dollar - 1] == '/') {
        pattern = line.left(dollar);
        options = line.mid(dollar + 1);
        hasOptions = true;
        isRegex = pattern.size() >= 3;
    } else if (line.size() >= 3 && line.startsWith('/') && line.endsWith('/')) {
        // In an expression "$" is an anchor; options follow only a closing "/".
        isRegex = true;
    } else if (dollar >= 0) {
        pattern = line.left(dollar);
        options = line.mid(dollar + 1);
        hasOptions = true;
    }

    bool anyType = false;
    quint16 positive = 0, negative = 0;
    bool thirdParty = false, firstParty = false;
    if (hasOptions) {
        if (options.isEmpty())
            return false;
        for (QByteArray option : options.split(',')) {
            option = option.trimmed();
            bool negate = false;
            if (option.startsWith('~')) {
                negate = true;
                option = option.mid(1);
            }
            const qsizetype equals = option.indexOf('=');
            const QByteArray name = (equals < 0 ? option : option.left(equals)).toLower();
            quint16 type = 0;
            if (name == "script")
                type = quint16(ResourceType::Script);
            else if (name == "image")
                type = quint16(ResourceType::Image);
            else if (name == "stylesheet" || name == "css")
                type = quint16(ResourceType::Stylesheet);
            else if (name == "xmlhttprequest" || name == "xhr")
                type = quint16(ResourceType::XmlHttpRequest);
            else if (name == "subdocument" || name == "frame")
                type = quint16(ResourceType::Subdocument);
            else if (name == "media")
                type = quint16(ResourceType::Media);
            else if (name == "font")
                type = quint16(ResourceType::Font);
            else if (name == "websocket")
                type = quint16(ResourceType::WebSocket);
            else if (name == "ping")
                type = quint16(ResourceType::Ping);
            else if (name == "other")
                type = quint16(ResourceType::Other);
            else if (name == "object" || name == "object-subrequest")
                type = quint16(ResourceType::Other); // plug-in content arrives as "other"
            else if (name == "document" || name == "doc")
                type = quint16(ResourceType::Document);
            if (type) {
                anyType = true;
                (negate ? negative : positive) |= type;
                continue;
            }
            if (name == "third-party" || name == "3p") {
                (negate ? firstParty : thirdParty) = true;
            } else if (name == "first-party" || name == "1p") {
                (negate ? thirdParty : firstParty) = true;
            } else if ((name == "domain" || name == "from") && !negate) {
                DomainList list;
                if (!parseDomains(QByteArrayView(option).sliced(name.size() + 1), '|', &list))
                    return false;
                f.domains = int(domainLists.size());
                domainLists.push_back(std::move(list));
            } else if (name == "match-case" && !negate && option == name) {
                f.flags |= MatchCase;
            } else if (name == "important" && !negate && option == name) {
                f.flags |= Important;
            } else if ((name == "elemhide" || name == "ehide") && !negate && option == name) {
                f.flags |= ElemHide;
            } else if ((name == "generichide" || name == "ghide") && !negate && option == name) {
                f.flags |= GenericHide;
            } else {
                return false; // never apply a filter only half understood
            }
        }
    }
    if (thirdParty && firstParty)
        return false;
    if (thirdParty)
        f.flags |= ThirdPartyOnly;
    if (firstParty)
        f.flags |= FirstPartyOnly;
    if (anyType)
        f.types = quint16((positive ? positive : DefaultTypes) & ~negative);
    const bool hides = f.flags & (ElemHide | GenericHide);
    if (hides) {
        // These turn element hiding off on a page; they are exceptions only,
        // and stop requests only through type options written with them.
        if (!(f.flags & Exception) || (f.flags & Important))
            return false;
        if (!positive)
            f.types = 0;
    }
    if (f.types == 0 && !hides)
        return false;

    if (isRegex) {
        const QByteArray source = pattern.mid(1, pattern.size() - 2);
        QRegularExpression re(QString::fromUtf8(source),
                              (f.flags & MatchCase) ? QRegularExpression::NoPatternOption
                                                    : QRegularExpression::CaseInsensitiveOption);
        if (!re.isValid())
            return false;
        re.optimize();
        f.regex = int(regexes.size());
        regexes.push_back(std::move(re));
        f.pattern = source;
        candidates.push_back(regexTokens(source));
    } else {
        if (pattern.startsWith("||")) {
            f.flags |= HostAnchor;
            pattern = pattern.mid(2);
        } else if (pattern.startsWith('|')) {
            f.flags |= StartAnchor;
            pattern = pattern.mid(1);
        }
        if (pattern.endsWith('|')) {
            f.flags |= EndAnchor;
            pattern.chop(1);
        }
        for (char c : pattern) {
            if (c == ' ' || c == '\t' || c == '|')
                return false;
        }
        if (pattern.isEmpty() && options.isEmpty())
            return false;
        f.pattern = (f.flags & MatchCase) ? pattern : pattern.toLower();
        candidates.push_back(patternTokens(f.pattern, f.flags));
    }
    filters.push_back(std::move(f));
    return true;
}

bool FilterSet::Data::parseHiding(const QByteArray& line, qsizetype marker, int markerLength,
                                  bool exception) {
    const QString selector = QString::fromUtf8(line.mid(marker + markerLength)).trimmed();
    if (!isUsableSelector(selector))
        return false;
    DomainList domains;
    if (marker > 0 && !parseDomains(QByteArrayView(line).first(marker), ',', &domains))
        return false;
    if (exception) {
        if (domains.entries.isEmpty()) {
            hideExceptionsEverywhere.insert(selector);
            return true;
        }
        for (const DomainEntry& e : domains.entries) {
            if (!e.include)
                return false;
        }
        for (const DomainEntry& e : domains.entries)
            hideExceptionsByDomain[e.domain].append(selector);
        return true;
    }
    if (domains.entries.isEmpty()) {
        genericSelectors.append(selector);
        return true;
    }
    const int index = int(hideRules.size());
    hideRules.push_back({selector, int(domainLists.size())});
    if (domains.hasInclude) {
        for (const DomainEntry& e : domains.entries) {
            if (e.include)
                hideRulesByDomain[e.domain].append(index);
        }
    } else {
        hideRulesExcluding.append(index);
    }
    domainLists.push_back(std::move(domains));
    return true;
}

FilterSet::FilterSet() : d(std::make_unique<Data>()) {}

FilterSet::~FilterSet() = default;

ListStats FilterSet::addList(const QByteArray& text) {
    ListStats stats;
    if (d->finished)
        return stats;
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype end = text.indexOf('\n', from);
        if (end < 0)
            end = text.size();
        const QByteArray line = text.mid(from, end - from).trimmed();
        from = end + 1;
        if (line.isEmpty() || line.startsWith('!') || (line.startsWith('[') && line.endsWith(']')))
            continue;

        // Element hiding: a marker after a list of domains.
        qsizetype marker = -1;
        int markerLength = 0;
        bool exception = false, supported = false;
        for (qsizetype hash = line.indexOf('#'); hash >= 0; hash = line.indexOf('#', hash + 1)) {
            static const struct {
                const char* text;
                bool supported;
                bool exception;
            } markers[] = {{"##", true, false},   {"#@#", true, true},   {"#?#", false, false},
                           {"#$#", false, false}, {"#%#", false, false}, {"#@?#", false, true},
                           {"#@$#", false, true}, {"#@%#", false, true}};
            for (const auto& m : markers) {
                if (QByteArrayView(line).sliced(hash).startsWith(m.text)) {
                    marker = hash;
                    markerLength = int(std::strlen(m.text));
                    supported = m.supported;
                    exception = m.exception;
                    break;
                }
            }
            if (marker >= 0)
                break;
        }
        bool isHiding = false;
        if (marker >= 0) {
            isHiding = true;
            for (qsizetype i = 0; i < marker; ++i) {
                const char c = line[i];
                if (c == '/' || c == '|' || c == '$' || c == '^' || c == '@' || c == '?' ||
                    c == '=' || c == ':') {
                    isHiding = false;
                    break;
                }
            }
        }
        bool ok;
        if (isHiding)
            ok = supported && d->parseHiding(line, marker, markerLength, exception);
        else
            ok = d->parseNetwork(line);
        if (ok)
            ++stats.rules;
        else
            ++stats.skipped;
    }
    d->rules += stats.rules;
    return stats;
}

void FilterSet::finish() {
    if (d->finished)
        return;
    d->finished = true;

    // The rarest token of each filter, so that every bucket stays short.
    QHash<quint32, int> frequency;
    for (const QList<Token>& tokens : d->candidates) {
        for (const Token& t : tokens)
            ++frequency[t.hash];
    }
    static const QList<quint32> common = [] {
        QList<quint32> out;
        for (const char* c : {"http", "https", "www", "com", "net", "org", "de", "js", "html",
                              "php", "jpg", "png", "gif", "cdn"})
            out.append(tokenHash(c, qsizetype(std::strlen(c))));
        return out;
    }();
    for (size_t i = 0; i < d->filters.size(); ++i) {
        const NetFilter& f = d->filters[i];
        Index& index = (f.flags & (ElemHide | GenericHide)) && f.types == 0 ? d->hideExceptions
                       : (f.flags & Exception)                              ? d->exceptions
                       : (f.flags & Important)                              ? d->important
                                                                            : d->blocks;
        const Token* best = nullptr;
        qint64 bestScore = 0;
        for (const Token& t : d->candidates[i]) {
            qint64 score = qint64(frequency.value(t.hash)) * 64 - std::min(t.length, 32);
            if (common.contains(t.hash))
                score += qint64(1) << 40;
            if (!best || score < bestScore) {
                best = &t;
                bestScore = score;
            }
        }
        if (best)
            index.byToken[best->hash].append(int(i));
        else
            index.untokenized.append(int(i));
        // An exception that also turns hiding off is found by both.
        if ((f.flags & (ElemHide | GenericHide)) && f.types != 0) {
            if (best)
                d->hideExceptions.byToken[best->hash].append(int(i));
            else
                d->hideExceptions.untokenized.append(int(i));
        }
    }
    d->candidates.clear();
    d->candidates.shrink_to_fit();

    QStringList generic;
    for (const QString& s : std::as_const(d->genericSelectors)) {
        if (!d->hideExceptionsEverywhere.contains(s))
            generic.append(s);
    }
    generic.removeDuplicates();
    d->genericSelectors = generic;
    d->genericSet = QSet<QString>(generic.begin(), generic.end());
    appendGroups(d->genericSheet, d->genericSelectors);
}

Verdict FilterSet::decide(const Request& request) const {
    const Context ctx(request);
    // An important block wins over every exception. Only a $document
    // exception for the page stands above it, and that one the caller asks
    // through pageAllowed() before it asks about the page's requests.
    if (d->find(d->important, ctx))
        return Verdict::Block;
    if (!d->find(d->blocks, ctx))
        return Verdict::Allow;
    return d->find(d->exceptions, ctx) ? Verdict::Allow : Verdict::Block;
}

bool FilterSet::pageAllowed(const QString& pageUrl, const QString& pageHost) const {
    const Request request{pageUrl, pageHost, pageHost, ResourceType::Document};
    const Context ctx(request);
    return d->find(d->exceptions, ctx) != nullptr;
}

QString FilterSet::hidingStyleSheet(const QString& pageUrl, const QString& pageHost) const {
    if (pageAllowed(pageUrl, pageHost))
        return {};
    const Request request{pageUrl, pageHost, pageHost, ResourceType::Document};
    const Context ctx(request);
    if (d->find(d->hideExceptions, ctx, ElemHide))
        return {};
    const bool genericOff = d->find(d->hideExceptions, ctx, GenericHide) != nullptr;

    const QList<QStringView> parents = hostAndParents(pageHost);
    QSet<QString> excepted;
    for (QStringView p : parents) {
        const auto it = d->hideExceptionsByDomain.constFind(p.toString());
        if (it != d->hideExceptionsByDomain.cend()) {
            for (const QString& s : *it)
                excepted.insert(s);
        }
    }

    QString sheet;
    if (!genericOff) {
        bool touchesGeneric = false;
        for (const QString& s : std::as_const(excepted)) {
            if (d->genericSet.contains(s)) {
                touchesGeneric = true;
                break;
            }
        }
        if (!touchesGeneric) {
            sheet = d->genericSheet;
        } else {
            QStringList generic;
            for (const QString& s : std::as_const(d->genericSelectors)) {
                if (!excepted.contains(s))
                    generic.append(s);
            }
            appendGroups(sheet, generic);
        }
    }

    QStringList specific;
    QSet<int> seen;
    auto consider = [&](int index) {
        const HideRule& rule = d->hideRules[size_t(index)];
        if (seen.contains(index) || excepted.contains(rule.selector) ||
            d->hideExceptionsEverywhere.contains(rule.selector))
            return;
        seen.insert(index);
        if (d->domainLists[size_t(rule.domains)].applies(pageHost))
            specific.append(rule.selector);
    };
    for (QStringView p : parents) {
        const auto it = d->hideRulesByDomain.constFind(p.toString());
        if (it != d->hideRulesByDomain.cend()) {
            for (int index : *it)
                consider(index);
        }
    }
    if (!genericOff) {
        for (int index : std::as_const(d->hideRulesExcluding))
            consider(index);
    }
    specific.removeDuplicates();
    appendGroups(sheet, specific);
    return sheet;
}

int FilterSet::ruleCount() const {
    return d->rules;
}

size_t FilterSet::memoryBytes() const {
    size_t bytes = sizeof(Data);
    for (const NetFilter& f : d->filters)
        bytes += sizeof(NetFilter) + size_t(f.pattern.capacity()) + 32;
    bytes += d->regexes.size() * 2048; // compiled expressions, roughly
    for (const DomainList& l : d->domainLists) {
        bytes += sizeof(DomainList) + 32;
        for (const DomainEntry& e : l.entries)
            bytes += sizeof(DomainEntry) + size_t(e.domain.capacity()) * 2 + 32;
    }
    for (const Index* index : {&d->blocks, &d->important, &d->exceptions, &d->hideExceptions}) {
        bytes += size_t(index->byToken.size()) * (sizeof(quint32) + sizeof(QList<int>) + 48);
        for (const QList<int>& l : index->byToken)
            bytes += size_t(l.capacity()) * sizeof(int);
        bytes += size_t(index->untokenized.capacity()) * sizeof(int);
    }
    for (const QString& s : std::as_const(d->genericSelectors))
        bytes += sizeof(QString) + size_t(s.capacity()) * 2 + 32 + 48; // list and set
    for (const HideRule& r : d->hideRules)
        bytes += sizeof(HideRule) + size_t(r.selector.capacity()) * 2 + 32;
    bytes += size_t(d->hideRulesByDomain.size()) * 96;
    bytes += size_t(d->hideExceptionsByDomain.size()) * 128;
    bytes += size_t(d->genericSheet.capacity()) * 2;
    return bytes;
}

QString registrableDomain(const QString& host) {
    QString h = host;
    if (h.endsWith(QLatin1Char('.')))
        h.chop(1);
    if (h.isEmpty() || isIpAddress(h))
        return h;
    const QByteArray utf8 = h.toLower().toUtf8();
    const char* domain = psl_registrable_domain(pslContext(), utf8.constData());
    if (!domain)
        return h;
    return QString::fromUtf8(domain);
}

bool isThirdParty(const QString& host, const QString& pageHost) {
    if (pageHost.isEmpty() || host.compare(pageHost, Qt::CaseInsensitive) == 0)
        return false;
    return registrableDomain(host).compare(registrableDomain(pageHost), Qt::CaseInsensitive) != 0;
}

} // namespace Blocking
