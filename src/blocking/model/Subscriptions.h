#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// A filter list kept up to date from an address: its file in the folder
// Filter/, when it last came, and what the server said of its age.
struct Subscription {
    QString title;
    QString url;
    QString fileName;
    QDateTime lastUpdate; // last download or "not modified"; invalid: never
    QString lastModified; // the server's Last-Modified, sent back next time
    QString lastError;    // why the last try failed; empty when it worked
};

namespace Subscriptions {

// Every four days a list is fetched again.
inline constexpr qint64 RefreshSeconds = 4 * 24 * 3600;

// EasyList, EasyList Germany and EasyPrivacy.
QList<Subscription> defaults();

// Kept in Korvix.ini; the defaults until the user changed the set.
QList<Subscription> load(const QString& iniPath);
void save(const QString& iniPath, const QList<Subscription>& list);

// Never fetched, or fetched longer ago than RefreshSeconds (or, with the
// clock put back, in the future).
bool isDue(const Subscription& s, const QDateTime& now);

// A file name in Filter/ for a list at url, taken from its last path
// segment, ending in .txt and not among `taken`.
QString fileNameFor(const QString& url, const QStringList& taken);

// Whether a download is a filter list at all (not an error page, not
// something binary); a list that is not keeps the old file.
bool looksLikeFilterList(const QByteArray& text);

} // namespace Subscriptions
