#pragma once

#include "archive/model/Archive.h"

#include <QString>
#include <QStringList>

class HistoryList;

// Rules of the archive window that need no window.
namespace ArchiveRules {

// Tree keys: root "0@", folder "3@", bookmark "3@5".
QString folderKey(qint32 folderNr);
QString bookmarkKey(qint32 folderNr, qint16 bookmarkNr);

// Splits a tree key: the number before the first "@" is the folder number;
// the number after it, if any, the bookmark number (else bookmarkNr keeps
// its value).
void splitKey(const QString& key, qint32& folderNr, qint16& bookmarkNr);

// 1-based position of the first folder or bookmark with that number; 0 when
// there is none.
int folderIndex(const QList<std::shared_ptr<Thema>>& folders, qint32 nr);
int bookmarkIndex(const QList<Bookmark>& bookmarks, qint16 nr);

// "Neuer Ordner", else "Neuer Ordner (1)", "(2)", ... : the first that is not
// among the given node texts (exact comparison). Nothing when every number up
// to 32767 is taken.
std::optional<QString> newFolderName(const QStringList& nodeTexts);

// The title a dropped address gets: the history's title for exactly this
// address, else its last path part.
QString titleOfAddress(const QString& address, const HistoryList& history);

struct Dropped {
    QString title;
    QString address;
};
// What a drop onto the tree adds: from the dropped text, or the first file
// of a file list (which wins). A "file:///" address with a drive letter
// becomes a Windows path; any other file address becomes the local path.
// Nothing when the drop carries no address.
std::optional<Dropped> droppedBookmark(const QString& text, const QString& firstFile,
                                       const HistoryList& history);

} // namespace ArchiveRules
