#include "history/model/HistoryList.h"

void HistoryItem::set(const QString& url, const QString& title, const QDateTime& date) {
    Url = url;
    Title = title;
    UrlDate = date;
}

void HistoryList::add(const QString& url, const QString& title, int historyRows,
                      const QDateTime& now) {
    HistoryItem item;
    item.set(url, title, now);
    const int p = indexOf(url);
    if (p >= 0) {
        m_items[p] = item;
        return;
    }
    if (!m_items.isEmpty() && m_items.size() >= historyRows)
        m_items.removeFirst();
    m_items.append(item);
}

QString HistoryList::titleOf(const QString& url) const {
    const int p = indexOf(url);
    return p >= 0 ? m_items.at(p).Title : QString();
}

// Case matters: paths and queries of an address are case-sensitive.
int HistoryList::indexOf(const QString& url) const {
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).Url == url)
            return i;
    }
    return -1;
}

int HistoryList::removeFrom(const QDateTime& from) {
    return int(m_items.removeIf(
        [&from](const HistoryItem& item) { return !from.isValid() || item.UrlDate >= from; }));
}
