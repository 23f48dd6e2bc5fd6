#include "frame/SuggestionSource.h"

#include "archive/model/Archive.h"
#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "history/model/HistoryList.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

SuggestionSource::SuggestionSource(const QString& appDir, const HistoryList& history,
                                   const BrowserRegistry& registry, QObject* parent)
    : QObject(parent), m_appDir(appDir), m_history(history), m_registry(registry) {}

SuggestionSource::~SuggestionSource() {
    if (m_loader.joinable())
        m_loader.join();
}

void SuggestionSource::visited(const QString& url) {
    ++m_visits[url];
}

QString SuggestionSource::archiveStamp() const {
    QString stamp;
    const QFileInfoList files =
        QDir(m_appDir).entryInfoList({QStringLiteral("*.bkm")}, QDir::Files, QDir::Name);
    for (const QFileInfo& f : files)
        stamp += f.fileName() + QLatin1Char(':') + QString::number(f.size()) + QLatin1Char(':') +
                 QString::number(f.lastModified().toMSecsSinceEpoch()) + QLatin1Char(';');
    return stamp;
}

void SuggestionSource::take(const QList<std::pair<QString, QString>>& bookmarks,
                            const QString& stamp) {
    m_bookmarks.clear();
    for (const auto& [title, url] : bookmarks)
        m_bookmarks.add({Suggestions::Kind::Bookmark, title, url, 1, 0});
    m_bookmarksStamp = stamp;
    emit bookmarksLoaded();
}

void SuggestionSource::prepare() {
    const QString stamp = archiveStamp();
    if (stamp == m_bookmarksStamp || stamp == m_loadingStamp)
        return;
    if (m_loader.joinable())
        m_loader.join();
    m_loadingStamp = stamp;
    // Ten thousand bookmarks take tens of milliseconds to read: on a thread
    // of their own, while the user begins to type.
    QPointer<SuggestionSource> self(this);
    m_loader = std::thread([self, dir = m_appDir, stamp] {
        const QList<std::pair<QString, QString>> bookmarks = Book::readAllBookmarks(dir);
        // The source waits for this thread before it goes, so it is there
        // when the result is handed over.
        QMetaObject::invokeMethod(
            self.data(),
            [self, bookmarks, stamp] {
                if (self && self->m_loadingStamp == stamp)
                    self->take(bookmarks, stamp);
            },
            Qt::QueuedConnection);
    });
}

void SuggestionSource::loadBookmarksNow() {
    if (m_loader.joinable())
        m_loader.join();
    const QString stamp = archiveStamp();
    if (stamp != m_bookmarksStamp)
        take(Book::readAllBookmarks(m_appDir), stamp);
}

QList<Suggestions::Row> SuggestionSource::suggest(const QString& typed) {
    // History and windows are few and change all the time: made anew.
    Suggestions::Index recent;
    for (const HistoryItem& item : m_history.items())
        recent.add(
            {Suggestions::Kind::History, item.Title, item.Url, m_visits.value(item.Url, 1), 0});
    for (const BrowserWindow* w : m_registry.windows())
        recent.add(
            {Suggestions::Kind::Window, w->title(), w->webView()->locationUrl(), 1, w->id()});
    return Suggestions::match(typed, {&m_bookmarks, &recent});
}
