#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <utility>

class Book;
struct Bookmark;

// What the bookmark archive must hold after the soak's edits, kept apart from
// the program: the soak changes it for each edit it makes through the archive
// window, and whenever the program has nothing unsaved, the files on disk
// must read back as exactly this (nothing lost, nothing doubled).
class ShadowArchive {
public:
    using Link = std::pair<QString, QString>; // title, address
    struct Folder {
        QString name;
        QList<Link> links;
    };

    // Folders by the name of their file ("3.bkm").
    QMap<QString, Folder> folders;

    void clear() { folders.clear(); }
    // A bookmark as the files keep it: its texts without the blanks around.
    static Link linkOf(const Bookmark& bookmark);
    // The folders of a loaded archive.
    static ShadowArchive of(const Book& book);
    // The archive in `appDir` as its files read back; `error` says why not.
    static bool read(const QString& appDir, ShadowArchive* into, QString* error);

    int linkCount() const;
    // Equal as the user sees it: the same folders with the same bookmarks,
    // in any order, whatever their files are called.
    bool sameContent(const ShadowArchive& other) const;
    // The first difference, for the report.
    QString differenceTo(const ShadowArchive& other) const;

private:
    QStringList canonical() const;
};
