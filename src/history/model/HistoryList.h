#pragma once

// The addresses visited, oldest first, each address once.

#include <QDateTime>
#include <QList>
#include <QString>

struct HistoryItem {
    QString Url;
    QString Title;
    QDateTime UrlDate;

    void set(const QString& url, const QString& title, const QDateTime& date);
};

class HistoryList {
public:
    // A known address keeps its place and takes the new title and date.
    // A new one is appended; when historyRows items are already held the
    // oldest goes first, so lowering historyRows shrinks nothing at once.
    void add(const QString& url, const QString& title, int historyRows,
             const QDateTime& now = QDateTime::currentDateTime());

    int count() const { return int(m_items.size()); }
    const HistoryItem& at(int i) const { return m_items.at(i); }
    const QList<HistoryItem>& items() const { return m_items; }
    // Empty when the address was not visited; addresses compare exactly.
    QString titleOf(const QString& url) const;
    void clear() { m_items.clear(); }
    // Takes off the addresses visited at `from` or later (all of them when
    // `from` is invalid); returns how many went.
    int removeFrom(const QDateTime& from);

private:
    int indexOf(const QString& url) const;

    QList<HistoryItem> m_items;
};
