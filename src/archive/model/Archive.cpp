#include "archive/model/Archive.h"

#include "archive/model/ArchiveRecords.h"
#include "common/SafeFile.h"
#include "common/Twips.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace {

const QString IndexFileName = QStringLiteral("Book.bkm");

void setText(QString* target, const QString& text) {
    if (target)
        *target = text;
}

// Folder file names come from Book.bkm, which anyone can edit; a name that
// leads out of the program directory must never be read, written or deleted.
bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

bool folderFilePath(const QString& appDir, const Thema& thema, QString* path, QString* error) {
    if (!isPlainFileName(thema.FileName)) {
        setText(error, QStringLiteral("Der Ordner '%1' hat den ungültigen Dateinamen '%2'.")
                           .arg(thema.DirName(), thema.FileName));
        return false;
    }
    *path = QDir(appDir).filePath(thema.FileName);
    return true;
}

// Stored positions are used as they are only when they form 1..n; anything
// else (twice, zero, negative, gaps) is replaced by the place in the file, so
// numbers stay unique and the next free number is count + 1.
enum class Positions { Valid, Gaps, OutOfRange, Twice };

template <typename Number>
Positions checkPositions(const QList<Number>& positions, Number* offending) {
    QSet<qint64> seen;
    qint64 largest = 0;
    for (const Number nr : positions) {
        const qint64 value = nr;
        if (value <= 0 || value > std::numeric_limits<qint16>::max()) {
            *offending = nr;
            return Positions::OutOfRange;
        }
        if (seen.contains(value)) {
            *offending = nr;
            return Positions::Twice;
        }
        seen.insert(value);
        largest = std::max(largest, value);
    }
    return largest > positions.size() ? Positions::Gaps : Positions::Valid;
}

} // namespace

void Thema::setDirName(const QString& name) {
    m_dirName = name;
    IsEdit = true;
}

std::optional<qint16> Thema::GetNewKey() {
    if (ItCounter >= std::numeric_limits<qint16>::max())
        return std::nullopt;
    return ++ItCounter;
}

bool Thema::LoadBookmarks(const QString& appDir, QString* error) {
    QString path;
    if (!folderFilePath(appDir, *this, &path, error)) {
        readFailed = true;
        return false;
    }
    QByteArray data;
    QString reason;
    if (readWholeFile(path, &data, &reason) == ReadStatus::Failed) {
        readFailed = true;
        setText(error, reason);
        return false;
    }
    readFailed = false;

    const QList<BookmarkRecord> records = parseBookmarkFile(data);
    if (records.isEmpty()) {
        ItCounter = 0;
        return true;
    }
    QList<qint16> stored;
    stored.reserve(records.size());
    for (const BookmarkRecord& r : records)
        stored.append(r.Nr);
    qint16 offending = 0;
    const bool renumber = checkPositions(stored, &offending) != Positions::Valid;

    QList<Bookmark> bookmarks;
    bookmarks.reserve(records.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        const BookmarkRecord& r = records.at(i);
        Bookmark b;
        b.Nr = renumber ? clampInt16(i + 1) : r.Nr;
        b.Titel = r.Titel;
        b.Url = r.Url;
        b.Info = r.Info;
        b.Adresszeile = r.Adresszeile != 0;
        b.Toolbar = r.Toolbar != 0;
        bookmarks.append(b);
    }
    ItCounter = clampInt16(bookmarks.size());
    colBookmark = bookmarks;
    return true;
}

bool Thema::SaveBookmarks(const QString& appDir, QString* error) {
    QString path;
    if (!folderFilePath(appDir, *this, &path, error))
        return false;
    if (!colBookmark) {
        QFile file(path);
        const QFileInfo info(path);
        if ((info.exists() || info.isSymLink()) && !file.remove()) {
            setText(error, QStringLiteral("Die Datei '%1' konnte nicht gelöscht werden: %2")
                               .arg(QDir::toNativeSeparators(path), file.errorString()));
            return false;
        }
    } else {
        QList<BookmarkRecord> records;
        records.reserve(colBookmark->size());
        for (const Bookmark& b : *colBookmark) {
            BookmarkRecord r;
            r.Nr = b.Nr;
            r.Titel = b.Titel;
            r.Url = b.Url;
            r.Info = b.Info;
            r.Adresszeile = b.Adresszeile ? -1 : 0;
            r.Toolbar = b.Toolbar ? -1 : 0;
            records.append(r);
        }
        if (!writeFileAtomic(path, writeBookmarkFile(records), error))
            return false;
    }
    IsEdit = false;
    readFailed = false;
    return true;
}

std::optional<qint32> Book::GetNewKey() {
    if (SequenzMax >= std::numeric_limits<qint32>::max())
        return std::nullopt;
    return ++SequenzMax;
}

Book::LoadResult Book::LoadAllThema(QString* error, QString* warning) {
    if (warning)
        warning->clear();
    const QString path = QDir(m_appDir).filePath(IndexFileName);
    QByteArray data;
    QString reason;
    switch (readWholeFile(path, &data, &reason)) {
    case ReadStatus::Failed:
        setText(error, reason);
        return LoadResult::Failed;
    case ReadStatus::NotFound:
        // A failure here shows up with its reason at the first save.
        writeFileAtomic(path, QByteArray(), nullptr);
        break;
    case ReadStatus::Ok:
        break;
    }

    const QList<ThemaRecord> records = parseThemaFile(data);
    if (records.isEmpty()) {
        ItCounter = 0;
        return LoadResult::Empty;
    }
    QList<qint32> stored;
    stored.reserve(records.size());
    for (const ThemaRecord& r : records)
        stored.append(r.Nr);
    qint32 offending = 0;
    const Positions positions = checkPositions(stored, &offending);
    if ((positions == Positions::Twice || positions == Positions::OutOfRange) && warning) {
        *warning = positions == Positions::Twice
                       ? QStringLiteral("%1 enthält die Position %2 mehrfach; die Ordner wurden "
                                        "neu nummeriert.")
                             .arg(IndexFileName)
                             .arg(offending)
                       : QStringLiteral("%1 enthält die ungültige Position %2; die Ordner wurden "
                                        "neu nummeriert.")
                             .arg(IndexFileName)
                             .arg(offending);
    }
    const bool renumber = positions != Positions::Valid;

    QList<std::shared_ptr<Thema>> folders;
    folders.reserve(records.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        const ThemaRecord& r = records.at(i);
        auto thema = std::make_shared<Thema>();
        thema->Nr = renumber ? qint32(i + 1) : r.Nr;
        thema->FileName = r.FileName;
        thema->setDirName(r.DirName);
        thema->IsEdit = false;
        thema->Sequenz = r.Sequenz;
        SequenzMax = std::max(SequenzMax, r.Sequenz);
        folders.append(thema);
    }
    // New folders take their number from GetNewKey; it must stay clear of
    // the positions just loaded even when the stored sequence values are low.
    SequenzMax = std::max(SequenzMax, qint32(folders.size()));
    ItCounter = clampInt16(folders.size());
    colThema = folders;
    return LoadResult::Loaded;
}

Book::LoadResult Book::LoadAll(QString* error, QString* warning) {
    QString indexWarning;
    const LoadResult result = LoadAllThema(error, &indexWarning);
    QStringList warnings;
    if (!indexWarning.isEmpty())
        warnings.append(indexWarning);
    if (result == LoadResult::Loaded) {
        for (const std::shared_ptr<Thema>& thema : *colThema) {
            QString reason;
            if (!thema->LoadBookmarks(m_appDir, &reason))
                warnings.append(reason);
        }
    }
    setText(warning, warnings.join(QLatin1Char('\n')));
    return result;
}

bool Book::SaveAllThema(QString* error) {
    const QList<std::shared_ptr<Thema>> folders =
        colThema.value_or(QList<std::shared_ptr<Thema>>());
    // Folder files first: the index must never name a folder whose data is
    // not on disk yet.
    QStringList reasons;
    for (const std::shared_ptr<Thema>& thema : folders) {
        // A folder that could not be read stays untouched on disk, since its
        // IsEdit is clear until the user changes it.
        if (!thema || !thema->IsEdit)
            continue;
        QString reason;
        if (!thema->SaveBookmarks(m_appDir, &reason))
            reasons.append(reason);
    }
    if (!reasons.isEmpty()) {
        setText(error, reasons.join(QLatin1Char('\n')));
        return false;
    }

    QList<ThemaRecord> records;
    records.reserve(folders.size());
    for (const std::shared_ptr<Thema>& thema : folders) {
        if (!thema)
            continue;
        ThemaRecord r;
        r.Sequenz = thema->Sequenz;
        r.DirName = thema->DirName();
        r.FileName = thema->FileName;
        records.append(r);
    }
    if (!writeFileAtomic(QDir(m_appDir).filePath(IndexFileName), writeThemaFile(records), error))
        return false;
    IsEdit = false;
    return true;
}

bool Book::anyChanged() const {
    if (IsEdit)
        return true;
    if (!colThema)
        return false;
    return std::any_of(colThema->cbegin(), colThema->cend(),
                       [](const std::shared_ptr<Thema>& t) { return t && t->IsEdit; });
}

bool Book::DeleteThema(int index, QString* error) {
    if (!colThema || index < 1 || index > colThema->size()) {
        setText(error, QStringLiteral("Es gibt keinen Ordner an Position %1.").arg(index));
        return false;
    }
    const std::shared_ptr<Thema> thema = colThema->at(index - 1);
    if (thema) {
        thema->colBookmark.reset();
        QString path;
        // A file that is already gone or cannot be removed does not stop the
        // deletion; the index no longer names it.
        if (folderFilePath(m_appDir, *thema, &path, nullptr))
            QFile::remove(path);
    }
    colThema->removeAt(index - 1);
    IsEdit = true;
    return SaveAllThema(error);
}

bool Book::createDefaultArchive(const QString& appTitle, const QString& documentationUrl,
                                const QString& websiteUrl, QString* error) {
    auto thema = std::make_shared<Thema>();
    thema->Nr = 1;
    thema->FileName = QStringLiteral("1.bkm");
    thema->setDirName(QStringLiteral("Info zu ") + appTitle);
    thema->Sequenz = 1;

    Bookmark documentation;
    documentation.Nr = 2;
    documentation.Titel = QStringLiteral("Korvix Dokumentation");
    documentation.Url = documentationUrl;
    Bookmark website;
    website.Nr = 3;
    website.Titel = QStringLiteral("Korvix Website");
    website.Url = websiteUrl;
    thema->colBookmark = QList<Bookmark>{documentation, website};
    thema->ItCounter = 3;
    if (!thema->SaveBookmarks(m_appDir, error))
        return false;

    colThema = QList<std::shared_ptr<Thema>>{thema};
    ItCounter = 1;
    SequenzMax = std::max(SequenzMax, qint32(1));
    IsEdit = true;
    return SaveAllThema(error);
}
