// One filter line and one request address, as a list and a page could bring
// them: reading, deciding and the hiding style sheet must cope with anything,
// and a plain pattern always stops the address it was written for.

#include "FuzzCheck.h"
#include "blocking/model/Filters.h"

using namespace Blocking;

namespace {

QString hostOf(const QString& url) {
    const qsizetype start = url.indexOf(QLatin1String("://"));
    if (start < 0)
        return {};
    qsizetype end = start + 3;
    while (end < url.size() && !QStringLiteral("/?#:").contains(url[end]))
        ++end;
    return url.mid(start + 3, end - start - 3).toLower();
}

// A pattern with no options, no exception, no expression and no element
// hiding, written in printable ASCII; "|" only as the anchors.
bool isPlainPattern(const QByteArray& line) {
    if (line.isEmpty() || line.startsWith("@@") || line.startsWith('!') || line.startsWith('['))
        return false;
    if (line.size() >= 3 && line.startsWith('/') && line.endsWith('/'))
        return false;
    QByteArray inner = line;
    if (inner.startsWith("||"))
        inner = inner.mid(2);
    else if (inner.startsWith('|'))
        inner = inner.mid(1);
    if (inner.endsWith('|'))
        inner.chop(1);
    for (char c : inner) {
        if (c <= ' ' || c > '~' || c == '$' || c == '#' || c == '|')
            return false;
    }
    // In "||user@host" the host starts after the "@".
    return !(line.startsWith("||") && inner.contains('@'));
}

// The address the pattern describes: wildcards filled in, separators made
// slashes, and the anchors placing it at the host, the start or the end.
QByteArray addressFor(const QByteArray& line) {
    QByteArray inner = line;
    bool host = false, start = false;
    if (inner.startsWith("||")) {
        host = true;
        inner = inner.mid(2);
    } else if (inner.startsWith('|')) {
        start = true;
        inner = inner.mid(1);
    }
    if (inner.endsWith('|'))
        inner.chop(1);
    inner.replace('*', "x").replace('^', "/");
    if (start)
        return inner;
    return (host ? QByteArray("http://") : QByteArray("http://page.example/")) + inner;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = bytes.indexOf('\n');
    const QByteArray line = newline < 0 ? bytes : bytes.left(newline);
    const QString address = newline < 0 ? QString() : QString::fromUtf8(bytes.mid(newline + 1));

    FilterSet set;
    const ListStats stats = set.addList(line);
    FUZZ_CHECK(stats.rules + stats.skipped <= 1);
    set.finish();
    FUZZ_CHECK(set.ruleCount() == stats.rules);

    const QString host = hostOf(address);
    for (ResourceType type : {ResourceType::Script, ResourceType::Document, ResourceType::Image}) {
        set.decide({address, host, QStringLiteral("page.example"), type});
        set.decide({address, host, QString(), type});
    }
    set.pageAllowed(address, host);
    const QString sheet = set.hidingStyleSheet(address, host);
    FUZZ_CHECK(sheet.isEmpty() || sheet.endsWith(QLatin1String("{display:none!important}\n")));

    if (stats.rules == 1 && isPlainPattern(line.trimmed())) {
        const QByteArray made = addressFor(line.trimmed());
        const QString url = QString::fromLatin1(made);
        const Request request{url, hostOf(url), QStringLiteral("page.example"),
                              ResourceType::Script};
        FUZZ_CHECK2(set.decide(request) == Verdict::Block,
                    QStringLiteral("'%1' lets '%2' through").arg(QString::fromLatin1(line), url));
    }
    return 0;
}
