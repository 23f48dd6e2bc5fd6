#pragma once

#include <QList>
#include <QString>

// What the address box offers while the user types: bookmarks of the
// archive, pages of this session's history and open windows that match,
// best first, after a first row that searches for the text.
namespace Suggestions {

enum class Kind { Search, Bookmark, History, Window };

struct Candidate {
    Kind kind = Kind::Bookmark;
    QString title;
    QString url;
    // How often it was visited (history).
    int weight = 1;
    // The window it stands for (Kind::Window).
    qint32 windowId = 0;
};

struct Row {
    Kind kind = Kind::Search;
    QString title;
    QString url;
    qint32 windowId = 0;
};

// Candidates prepared once for matching (text in lower case, the host
// split off), so a key costs no more than a look at each.
class Index {
public:
    void clear() { m_entries.clear(); }
    void add(const Candidate& candidate);
    int size() const { return int(m_entries.size()); }

private:
    friend QList<Row> match(const QString&, const QList<const Index*>&, int);
    struct Entry {
        Candidate candidate;
        QString title;
        QString url;
        // The host without "www.", and the address without its scheme.
        QString host;
        QString bare;
    };
    QList<Entry> m_entries;
};

// At most `most` rows for `typed` from the indexes, the search row always
// first. Rows whose host (or a part of it after a dot) starts with the text
// come before those whose address does, then those with the text anywhere in title or address;
// among equals the more visited first, open windows before bookmarks
// before history. An address is offered once: an open window stands for
// it.
QList<Row> match(const QString& typed, const QList<const Index*>& indexes, int most = 8);

} // namespace Suggestions
