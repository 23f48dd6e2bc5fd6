#pragma once

#include "browser/AddressSuggestions.h"

#include <QHash>
#include <QObject>
#include <thread>

class BrowserRegistry;
class HistoryList;

// What the address boxes suggest: the archive's bookmarks (read from its
// files through its model, away from the keys, again whenever they
// changed), this session's history, most visited first, and the open
// windows.
class SuggestionSource : public QObject, public AddressSuggestions {
    Q_OBJECT
public:
    SuggestionSource(const QString& appDir, const HistoryList& history,
                     const BrowserRegistry& registry, QObject* parent = nullptr);
    ~SuggestionSource() override;

    // A page was visited once more.
    void visited(const QString& url);

    void prepare() override;
    QList<Suggestions::Row> suggest(const QString& typed) override;
    // Bookmarks known so far (tests, the benchmark).
    int bookmarkCount() const { return m_bookmarks.size(); }
    // Reads the archive now, on this thread, if it changed.
    void loadBookmarksNow();

signals:
    // The archive's bookmarks were read.
    void bookmarksLoaded();

private:
    // What the archive's files look like now: names, sizes and times.
    QString archiveStamp() const;
    void take(const QList<std::pair<QString, QString>>& bookmarks, const QString& stamp);

    QString m_appDir;
    const HistoryList& m_history;
    const BrowserRegistry& m_registry;
    QHash<QString, int> m_visits;
    Suggestions::Index m_bookmarks;
    QString m_bookmarksStamp;
    QString m_loadingStamp;
    std::thread m_loader;
};
