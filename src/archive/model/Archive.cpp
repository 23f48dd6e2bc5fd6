#include "archive/model/Archive.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

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
    changed = true;
}

std::optional<qint16> Thema::nextNumber() {
    if (counter >= std::numeric_limits<qint16>::max())
        return std::nullopt;
    return ++counter;
}

bool Thema::prependBookmark(Bookmark bookmark) {
    const std::optional<qint16> number = nextNumber();
    if (!number)
        return false;
    bookmark.Nr = *number;
    if (!bookmarks)
        bookmarks = QList<Bookmark>{bookmark};
    else
        bookmarks->prepend(bookmark);
    changed = true;
    return true;
}

bool Thema::loadBookmarks(const QString& appDir, QString* error) {
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
        counter = 0;
        return true;
    }
    QList<qint16> stored;
    stored.reserve(records.size());
    for (const BookmarkRecord& r : records)
        stored.append(r.Nr);
    qint16 offending = 0;
    const bool renumber = checkPositions(stored, &offending) != Positions::Valid;

    QList<Bookmark> loaded;
    loaded.reserve(records.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        const BookmarkRecord& r = records.at(i);
        Bookmark b;
        b.Nr = renumber ? clampInt16(i + 1) : r.Nr;
        b.Titel = r.Titel;
        b.Url = r.Url;
        b.Info = r.Info;
        b.Adresszeile = r.Adresszeile != 0;
        b.Toolbar = r.Toolbar != 0;
        loaded.append(b);
    }
    counter = clampInt16(loaded.size());
    bookmarks = loaded;
    return true;
}

// The folder file's bytes: one record per bookmark, numbered by position.
static QByteArray folderBytes(const Thema& thema) {
    QList<BookmarkRecord> records;
    records.reserve(thema.bookmarks ? thema.bookmarks->size() : 0);
    for (const Bookmark& b : thema.bookmarks.value_or(QList<Bookmark>())) {
        BookmarkRecord r;
        r.Nr = b.Nr;
        r.Titel = b.Titel;
        r.Url = b.Url;
        r.Info = b.Info;
        r.Adresszeile = b.Adresszeile ? -1 : 0;
        r.Toolbar = b.Toolbar ? -1 : 0;
        records.append(r);
    }
    return writeBookmarkFile(records);
}

bool Thema::saveBookmarks(const QString& appDir, QString* error) {
    QString path;
    if (!folderFilePath(appDir, *this, &path, error))
        return false;
    if (!bookmarks) {
        QFile file(path);
        const QFileInfo info(path);
        if ((info.exists() || info.isSymLink()) && !file.remove()) {
            setText(error, QStringLiteral("Die Datei '%1' konnte nicht gelöscht werden: %2")
                               .arg(QDir::toNativeSeparators(path), file.errorString()));
            return false;
        }
    } else {
        if (!writeFileAtomic(path, folderBytes(*this), error))
            return false;
    }
    changed = false;
    readFailed = false;
    return true;
}

std::optional<qint32> Book::nextNumber() {
    if (maxSequenz >= std::numeric_limits<qint32>::max())
        return std::nullopt;
    return ++maxSequenz;
}

QList<std::pair<QString, QString>> Book::readAllBookmarks(const QString& appDir) {
    QList<std::pair<QString, QString>> out;
    QByteArray index;
    if (readWholeFile(QDir(appDir).filePath(IndexFileName), &index, nullptr) != ReadStatus::Ok)
        return out;
    for (const ThemaRecord& folder : parseThemaFile(index)) {
        Thema thema;
        thema.FileName = folder.FileName;
        QString path;
        QByteArray data;
        if (!folderFilePath(appDir, thema, &path, nullptr) ||
            readWholeFile(path, &data, nullptr) != ReadStatus::Ok)
            continue;
        for (const BookmarkRecord& b : parseBookmarkFile(data))
            if (!b.Url.isEmpty())
                out.append({b.Titel, b.Url});
    }
    return out;
}

Book::LoadResult Book::loadIndex(QString* error, QString* warning) {
    // A save the program could not finish is finished first.
    if (!finishInterruptedSave(error))
        return LoadResult::Failed;
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
        folderCount = 0;
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

    QList<std::shared_ptr<Thema>> loaded;
    loaded.reserve(records.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        const ThemaRecord& r = records.at(i);
        auto thema = std::make_shared<Thema>();
        thema->Nr = renumber ? qint32(i + 1) : r.Nr;
        thema->FileName = r.FileName;
        thema->setDirName(r.DirName);
        thema->changed = false;
        thema->Sequenz = r.Sequenz;
        maxSequenz = std::max(maxSequenz, r.Sequenz);
        loaded.append(thema);
    }
    // New folders take their number from nextNumber; it must stay clear of
    // the positions just loaded even when the stored sequence values are low.
    maxSequenz = std::max(maxSequenz, qint32(loaded.size()));
    folderCount = clampInt16(loaded.size());
    folders = loaded;
    return LoadResult::Loaded;
}

Book::LoadResult Book::load(QString* error, QString* warning) {
    QString indexWarning;
    const LoadResult result = loadIndex(error, &indexWarning);
    QStringList warnings;
    if (!indexWarning.isEmpty())
        warnings.append(indexWarning);
    if (result == LoadResult::Loaded) {
        for (const std::shared_ptr<Thema>& thema : *folders) {
            QString reason;
            if (!thema->loadBookmarks(m_appDir, &reason))
                warnings.append(reason);
        }
    }
    setText(warning, warnings.join(QLatin1Char('\n')));
    return result;
}

// A save that changes several files goes through a journal: every new file
// is written beside its target first ("<name>.new"), then the journal naming
// them, then they replace their targets. A save cut short before the journal
// is whole leaves the old archive; one cut short after it is finished by the
// next load. So the archive on disk is always the old one or the new one.
namespace {
const QString JournalName = QStringLiteral("Book.bkm.journal");
const QString NewSuffix = QStringLiteral(".new");

// Carries out a journal: "R name" puts name.new in place of name (already
// done when name.new is gone), "D name" removes name.
bool applyJournal(const QString& appDir, const QByteArray& journal, QString* error) {
    const QDir dir(appDir);
    for (const QByteArray& raw : journal.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.size() < 3)
            continue;
        const QString name = line.mid(2);
        // Only plain names in the program folder.
        if (name.contains(QLatin1Char('/')) || name == QLatin1String("..") ||
            name == QLatin1String("."))
            continue;
        const QString target = dir.filePath(name);
        if (line.startsWith(QLatin1String("R "))) {
            const QString fresh = target + NewSuffix;
            if (!QFileInfo::exists(fresh))
                continue;
            if (::rename(QFile::encodeName(fresh).constData(),
                         QFile::encodeName(target).constData()) != 0) {
                setText(error, QStringLiteral("Die Datei '%1' konnte nicht ersetzt werden: %2")
                                   .arg(QDir::toNativeSeparators(target),
                                        QString::fromLocal8Bit(std::strerror(errno))));
                return false;
            }
        } else if (line.startsWith(QLatin1String("D "))) {
            QFile::remove(target);
        }
    }
    return true;
}
} // namespace

bool Book::finishInterruptedSave(QString* /*error*/) {
    const QDir dir(m_appDir);
    const QString journalPath = dir.filePath(JournalName);
    QByteArray journal;
    if (readWholeFile(journalPath, &journal, nullptr) == ReadStatus::Ok) {
        // What cannot be put in place now stays as it is; the archive must
        // load all the same.
        applyJournal(m_appDir, journal, nullptr);
        QFile::remove(journalPath);
    }
    // New files without a journal belong to a save that never happened.
    for (const QString& stray :
         dir.entryList({QStringLiteral("*.bkm") + NewSuffix}, QDir::Files | QDir::Hidden))
        QFile::remove(dir.filePath(stray));
    return true;
}

bool Book::save(QString* error) {
    const QList<std::shared_ptr<Thema>> all = folders.value_or(QList<std::shared_ptr<Thema>>());
    const QDir dir(m_appDir);
    QByteArray journal;
    QStringList written;
    auto discardWritten = [&] {
        for (const QString& path : written)
            QFile::remove(path);
    };
    QStringList reasons;
    for (const std::shared_ptr<Thema>& thema : all) {
        // A folder that could not be read stays untouched on disk, since its
        // changed is clear until the user changes it.
        if (!thema || !thema->changed)
            continue;
        QString path;
        QString reason;
        if (!folderFilePath(m_appDir, *thema, &path, &reason)) {
            reasons.append(reason);
            continue;
        }
        const QString name = QFileInfo(path).fileName();
        // A folder in the file's place would stop the save half-way.
        if (QFileInfo(path).isDir()) {
            reasons.append(QStringLiteral("Die Datei '%1' konnte nicht geschrieben werden: Dort "
                                          "liegt ein Ordner.")
                               .arg(QDir::toNativeSeparators(path)));
            continue;
        }
        if (!thema->bookmarks) {
            journal += "D " + name.toUtf8() + '\n';
            continue;
        }
        if (!writeFileAtomic(path + NewSuffix, folderBytes(*thema), &reason)) {
            reasons.append(reason.replace(NewSuffix + QLatin1Char('\''), QStringLiteral("'")));
            continue;
        }
        written.append(path + NewSuffix);
        journal += "R " + name.toUtf8() + '\n';
    }
    for (const QString& name : std::as_const(m_pendingDeletes))
        journal += "D " + name.toUtf8() + '\n';
    if (!reasons.isEmpty()) {
        discardWritten();
        setText(error, reasons.join(QLatin1Char('\n')));
        return false;
    }

    QList<ThemaRecord> records;
    records.reserve(all.size());
    for (const std::shared_ptr<Thema>& thema : all) {
        if (!thema)
            continue;
        ThemaRecord r;
        r.Sequenz = thema->Sequenz;
        r.DirName = thema->DirName();
        r.FileName = thema->FileName;
        records.append(r);
    }
    const QString indexPath = dir.filePath(IndexFileName);
    QString reason;
    if (!writeFileAtomic(indexPath + NewSuffix, writeThemaFile(records), &reason)) {
        discardWritten();
        setText(error, reason.replace(NewSuffix + QLatin1Char('\''), QStringLiteral("'")));
        return false;
    }
    written.append(indexPath + NewSuffix);
    journal += "R " + IndexFileName.toUtf8() + '\n';
    // From here on the save counts: the journal makes it whole even if the
    // program ends in the middle.
    if (!writeFileAtomic(dir.filePath(JournalName), journal, error)) {
        discardWritten();
        return false;
    }
    if (!applyJournal(m_appDir, journal, error))
        return false;
    QFile::remove(dir.filePath(JournalName));
    m_pendingDeletes.clear();
    for (const std::shared_ptr<Thema>& thema : all) {
        if (thema && thema->changed) {
            thema->changed = false;
            thema->readFailed = false;
        }
    }
    changed = false;
    return true;
}

bool Book::anyChanged() const {
    if (changed)
        return true;
    if (!folders)
        return false;
    return std::any_of(folders->cbegin(), folders->cend(),
                       [](const std::shared_ptr<Thema>& t) { return t && t->changed; });
}

bool Book::removeFolder(int index, QString* error) {
    if (!folders || index < 1 || index > folders->size()) {
        setText(error, QStringLiteral("Es gibt keinen Ordner an Position %1.").arg(index));
        return false;
    }
    const std::shared_ptr<Thema> thema = folders->at(index - 1);
    if (thema) {
        thema->bookmarks.reset();
        QString path;
        // The file goes with the save that drops it from the index, never
        // before; one that is already gone does not matter.
        if (folderFilePath(m_appDir, *thema, &path, nullptr))
            m_pendingDeletes.append(QFileInfo(path).fileName());
    }
    folders->removeAt(index - 1);
    changed = true;
    return save(error);
}

bool Book::replaceWith(const QList<std::shared_ptr<Thema>>& newFolders, QString* error) {
    const std::optional<QList<std::shared_ptr<Thema>>> previous = folders;
    const QStringList previousDeletes = m_pendingDeletes;
    const bool previousChanged = changed;
    // Files of folders deleted before stay, like every earlier folder's file;
    // one of them may be a new folder's file now.
    m_pendingDeletes.clear();
    for (const std::shared_ptr<Thema>& t : newFolders)
        t->changed = true;
    folders = newFolders;
    changed = true;
    if (!save(error)) {
        folders = previous;
        m_pendingDeletes = previousDeletes;
        changed = previousChanged;
        return false;
    }
    qint32 position = 0;
    for (const std::shared_ptr<Thema>& t : newFolders) {
        t->Nr = ++position;
        maxSequenz = std::max(maxSequenz, t->Sequenz);
        if (t->bookmarks) {
            qint16 number = 0;
            for (Bookmark& b : *t->bookmarks)
                b.Nr = ++number;
            t->counter = number;
        }
    }
    maxSequenz = std::max(maxSequenz, position);
    folderCount = clampInt16(position);
    return true;
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
    thema->bookmarks = QList<Bookmark>{documentation, website};
    thema->counter = 3;
    if (!thema->saveBookmarks(m_appDir, error))
        return false;

    folders = QList<std::shared_ptr<Thema>>{thema};
    folderCount = 1;
    maxSequenz = std::max(maxSequenz, qint32(1));
    changed = true;
    return save(error);
}
