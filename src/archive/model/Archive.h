#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// The bookmark archive: folders (Thema) holding bookmarks, stored as an index
// file Book.bkm and one file per folder in the program directory.

struct Bookmark {
    qint16 Nr = 0;
    QString Titel;
    QString Url;
    QString Info;
    bool Adresszeile = true;
    bool Toolbar = true;
};

class Thema {
public:
    qint32 Nr = 0;
    QString FileName;
    bool changed = false;
    // Highest bookmark number handed out in this folder.
    qint16 counter = 0;
    qint32 Sequenz = 0;
    // Absent means the folder is empty and has no file.
    std::optional<QList<Bookmark>> bookmarks;
    // The folder file could not be read; it is not rewritten unless the user
    // changes the folder, so whatever it holds is not lost.
    bool readFailed = false;

    const QString& DirName() const { return m_dirName; }
    // Every assignment marks the folder changed.
    void setDirName(const QString& name);

    // Next bookmark number; nothing on overflow (the counter stays).
    std::optional<qint16> nextNumber();
    // Puts a bookmark first in the folder with the next number, and marks
    // the folder changed; false when no number is left.
    bool prependBookmark(Bookmark bookmark);

    // Reads the folder file (a missing file reads as empty and is not
    // created). False with a reason when the file cannot be read.
    bool loadBookmarks(const QString& appDir, QString* error);
    // Rewrites the folder file crash-safe; a folder without a collection has
    // no file. False with a reason on failure, and changed stays set.
    bool saveBookmarks(const QString& appDir, QString* error);

private:
    QString m_dirName;
};

class Book {
public:
    // Positions in the files are 16-bit: no archive holds more folders, no
    // folder more bookmarks.
    static constexpr int MaxFolders = 32767;
    static constexpr int MaxBookmarks = 32767;

    explicit Book(const QString& appDir) : m_appDir(appDir) {}

    std::optional<QList<std::shared_ptr<Thema>>> folders;
    qint32 maxSequenz = 0;
    // Folders found by the last load.
    qint16 folderCount = 0;
    bool changed = false;

    const QString& appDir() const { return m_appDir; }

    // Next folder number; nothing on overflow.
    std::optional<qint32> nextNumber();

    enum class LoadResult { Loaded, Empty, Failed };
    // Reads Book.bkm into new folders (not their bookmarks). Empty when the
    // index holds no folder (a missing index is created empty). Failed, with
    // a reason, when the index cannot be read. Positions stored twice are
    // reported in `warning` and the folders are numbered by their place in
    // the file instead, so none is lost.
    LoadResult loadIndex(QString* error, QString* warning = nullptr);
    // loadIndex, then every folder's bookmarks. Folder files that cannot
    // be read are named in `warning`; those folders show empty.
    LoadResult load(QString* error, QString* warning);

    // Writes Book.bkm and the file of every changed folder as one step: a
    // save cut short leaves the old archive or (finished by the next load)
    // the new one, never a mix. On failure: false with a reason, the files
    // and the change flags as before.
    bool save(QString* error);
    // True when the archive or any folder changed since the last save.
    bool anyChanged() const;

    // Removes the folder at 1-based position `index`, deletes its file and
    // saves the archive at once.
    bool removeFolder(int index, QString* error);

    // Makes these folders the whole archive, written as one save (see
    // save()); the files of earlier folders with other names stay on disk.
    // Afterwards the folders are numbered by position, as a load gives them.
    // On failure: false with a reason, and the archive as it was.
    bool replaceWith(const QList<std::shared_ptr<Thema>>& newFolders, QString* error);

    // The title and address of every bookmark as the files hold them, read
    // only: nothing is written, not even an interrupted save finished. For
    // what the address box suggests.
    static QList<std::pair<QString, QString>> readAllBookmarks(const QString& appDir);

    // Writes the archive that a new installation starts with.
    bool createDefaultArchive(const QString& appTitle, const QString& documentationUrl,
                              const QString& websiteUrl, QString* error);

    // Completes a save that was cut short after it became final, and clears
    // away the files of one cut short before.
    bool finishInterruptedSave(QString* error);

private:
    QString m_appDir;
    // Files of deleted folders, removed by the next save.
    QStringList m_pendingDeletes;
};
