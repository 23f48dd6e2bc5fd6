#pragma once

// Reads a bookmark file in the Netscape format (as Firefox, Chrome, Edge,
// Safari, Internet Explorer and Korvix itself write it) into archive folders,
// and puts those folders in place of the archive.

#include "archive/model/Archive.h"
#include "archive/model/ExportWriters.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace BookmarkImport {

struct Folder {
    QString name;
    QList<Bookmark> bookmarks;
    // Place of the folder's element in the page (1-based), kept as the
    // folder's Sequenz; 0 takes the folder's position instead.
    qint32 sequenz = 0;
};

struct Result {
    bool ok = false;
    QString error;
    QList<Folder> folders;
};

// Every element whose first child is an H3 heading is a folder; it holds the
// links among everything the heading's element contains, and the list that
// follows the heading belongs to it even when a folder description or a rule
// comes between them. A folder nested in another gives its links to both.
// Text is decoded by the charset the file's META names, else as UTF-8 when
// the bytes are valid UTF-8, else as Windows-1252. Relative addresses are
// resolved against fileUrl. No script in the file is run. Inputs that would
// take unreasonable time or memory end with a German reason instead.
Result parse(const QByteArray& bytes, const QUrl& fileUrl);
// As parse; a file that cannot be read is reported with its reason.
Result parseFile(const QString& path);

// The archive's folders for what a file gave: folder files 1.bkm, 2.bkm...
// in file order, each with its bookmarks, marked changed for the save that
// makes them the archive (Book::replaceWith).
QList<std::shared_ptr<Thema>> archiveFolders(const QList<Folder>& folders);

// The open dialog of the import command (filter in QFileDialog form).
ExportWriters::DialogTexts dialogTexts();

} // namespace BookmarkImport
