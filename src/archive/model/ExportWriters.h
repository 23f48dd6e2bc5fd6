#pragma once

// Writes the archive, or one folder of it, as a text listing, a plain HTML
// page or a bookmark file in the Netscape format other browsers import.
// Every format is UTF-8 with CR LF line ends.

#include "archive/model/Archive.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

namespace ExportWriters {

enum class Kind { Text, Html, Netscape };

// Folders in the given order, bookmarks in the order of bookmarks. `now`
// gives the bookmark file its time stamps and heading date (local time).
QByteArray exportArchive(Kind kind, const QList<std::shared_ptr<Thema>>& folders,
                         const QDateTime& now);
QByteArray exportFolder(Kind kind, const Thema& folder, const QDateTime& now);

// Replaces the file at path crash-safe. False with a German reason naming
// the file on failure.
bool writeExport(const QString& path, const QByteArray& bytes, QString* error);

// Save dialog of the six export commands. The filter is in QFileDialog form.
struct DialogTexts {
    QString caption;
    QString filter;
    QString defaultName;
};
DialogTexts dialogTexts(Kind kind, bool wholeArchive);

// The question after a successful export, naming the written file.
QString successQuestion(const QString& path);

} // namespace ExportWriters
