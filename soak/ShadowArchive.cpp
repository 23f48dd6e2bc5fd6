#include "ShadowArchive.h"

#include "archive/model/Archive.h"

#include <algorithm>

ShadowArchive ShadowArchive::of(const Book& book) {
    ShadowArchive shadow;
    if (!book.folders)
        return shadow;
    for (const std::shared_ptr<Thema>& t : *book.folders) {
        Folder folder{t->DirName().trimmed(), {}};
        if (t->bookmarks)
            for (const Bookmark& b : *t->bookmarks)
                folder.links.append(linkOf(b));
        shadow.folders.insert(t->FileName, folder);
    }
    return shadow;
}

ShadowArchive::Link ShadowArchive::linkOf(const Bookmark& bookmark) {
    return {bookmark.Titel.trimmed(), bookmark.Url.trimmed()};
}

bool ShadowArchive::read(const QString& appDir, ShadowArchive* into, QString* error) {
    Book book(appDir);
    QString warning;
    if (book.load(error, &warning) == Book::LoadResult::Failed)
        return false;
    if (!warning.isEmpty()) {
        *error = warning;
        return false;
    }
    *into = of(book);
    return true;
}

int ShadowArchive::linkCount() const {
    int n = 0;
    for (const Folder& f : folders)
        n += int(f.links.size());
    return n;
}

// One line per folder: its name and its bookmarks in a fixed order, so two
// archives compare equal whatever the order of folders and bookmarks.
QStringList ShadowArchive::canonical() const {
    QStringList lines;
    for (const Folder& f : folders) {
        QStringList links;
        for (const Link& l : f.links)
            links << l.first + QLatin1Char('\x1f') + l.second;
        std::sort(links.begin(), links.end());
        lines << f.name + QStringLiteral(": ") + links.join(QLatin1Char('\x1e'));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

bool ShadowArchive::sameContent(const ShadowArchive& other) const {
    return canonical() == other.canonical();
}

QString ShadowArchive::differenceTo(const ShadowArchive& other) const {
    const QStringList mine = canonical();
    const QStringList theirs = other.canonical();
    const auto readable = [](QString line) {
        return line.replace(QLatin1Char('\x1f'), QLatin1Char(' '))
            .replace(QLatin1Char('\x1e'), QStringLiteral(" | "));
    };
    for (const QString& line : mine)
        if (!theirs.contains(line))
            return QStringLiteral("expected, not found: ") + readable(line);
    for (const QString& line : theirs)
        if (!mine.contains(line))
            return QStringLiteral("found, not expected: ") + readable(line);
    return QStringLiteral("%1 folders expected, %2 found").arg(mine.size()).arg(theirs.size());
}
