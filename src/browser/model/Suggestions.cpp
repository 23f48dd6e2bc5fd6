#include "browser/model/Suggestions.h"

#include <QSet>
#include <algorithm>

namespace Suggestions {

void Index::add(const Candidate& candidate) {
    Entry e;
    e.candidate = candidate;
    e.title = candidate.title.toLower();
    e.url = candidate.url.toLower();
    const int schemeEnd = e.url.indexOf(QLatin1String("://"));
    e.bare = schemeEnd >= 0 ? e.url.mid(schemeEnd + 3) : e.url;
    const int slash = e.bare.indexOf(QLatin1Char('/'));
    e.host = slash < 0 ? e.bare : e.bare.left(slash);
    if (e.host.startsWith(QLatin1String("www.")))
        e.host = e.host.mid(4);
    m_entries.append(std::move(e));
}

QList<Row> match(const QString& typed, const QList<const Index*>& indexes, int most) {
    QList<Row> rows;
    const QString text = typed.trimmed();
    rows.append({Kind::Search, text, QString(), 0});
    const QString needle = text.toLower();
    if (needle.isEmpty())
        return rows;
    const QString dotNeedle = QLatin1Char('.') + needle;
    struct Hit {
        int rank;
        int weight;
        int kindOrder;
        int order;
        const Index::Entry* entry;
    };
    QList<Hit> hits;
    for (const Index* index : indexes) {
        for (const Index::Entry& e : index->m_entries) {
            int rank;
            if (e.host.startsWith(needle) || e.host.contains(dotNeedle))
                rank = 0;
            else if (e.bare.startsWith(needle))
                rank = 1;
            else if (e.title.contains(needle) || e.url.contains(needle))
                rank = 2;
            else
                continue;
            const Kind kind = e.candidate.kind;
            const int kindOrder = kind == Kind::Window ? 0 : kind == Kind::Bookmark ? 1 : 2;
            hits.append({rank, e.candidate.weight, kindOrder, int(hits.size()), &e});
        }
    }
    const auto better = [](const Hit& x, const Hit& y) {
        if (x.rank != y.rank)
            return x.rank < y.rank;
        if (x.weight != y.weight)
            return x.weight > y.weight;
        if (x.kindOrder != y.kindOrder)
            return x.kindOrder < y.kindOrder;
        return x.order < y.order;
    };
    // A short text matches thousands, of which a few are shown: only the
    // best are put in order, and all of them only when addresses met twice
    // leave too few.
    qsizetype sorted = std::min<qsizetype>(hits.size(), qsizetype(most) * 8);
    std::partial_sort(hits.begin(), hits.begin() + sorted, hits.end(), better);
    QSet<QString> shown;
    for (qsizetype i = 0; i < hits.size() && rows.size() < most; ++i) {
        if (i == sorted) {
            std::sort(hits.begin() + sorted, hits.end(), better);
            sorted = hits.size();
        }
        const Index::Entry* entry = hits.at(i).entry;
        const Candidate& c = entry->candidate;
        if (c.kind != Kind::Window && shown.contains(entry->url))
            continue;
        shown.insert(entry->url);
        rows.append({c.kind, c.title, c.url, c.windowId});
    }
    return rows;
}

} // namespace Suggestions
