#pragma once

#include <QString>
#include <QStringList>

// Korvix's own settings, which the preferences record (Pref.kxp, whose
// bytes stay as they are) does not hold: Korvix.ini beside it.
class KorvixSettings {
public:
    static constexpr char FileName[] = "Korvix.ini";

    explicit KorvixSettings(const QString& appDir);

    // "Link-Ziele im voraus cachen": the engine looks up the hosts of a
    // page's links ahead. Off unless switched on.
    bool prefetchLinks() const;
    void setPrefetchLinks(bool on);

    // The archive folder a bookmark made with Ctrl+D went to last (its
    // file name), empty before the first.
    QString lastBookmarkFolder() const;
    void setLastBookmarkFolder(const QString& fileName);

    // "Inhalte blockieren", for every window; on unless switched off.
    bool contentBlocking() const;
    void setContentBlocking(bool on);
    // Sites (host names) on which nothing is blocked.
    QStringList blockingExceptions() const;
    void setBlockingExceptions(const QStringList& hosts);

    // Where the settings live.
    QString path() const { return m_path; }

private:
    QString m_path;
};
