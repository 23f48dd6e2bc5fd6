#include "archive/model/BookmarkImport.h"

#include "archive/model/ArchiveRecords.h"
#include "common/RecordCodec.h"
#include "common/SafeFile.h"
#include "common/Twips.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace BookmarkImport {

namespace {

void setText(QString* target, const QString& text) {
    if (target)
        *target = text;
}

// ---------------------------------------------------------------------------
// Putting the new archive in place

const QString IndexFileName = QStringLiteral("Book.bkm");
// Where ThemaRecord keeps the folder file name.
constexpr int FileNameOffset = 208;
constexpr int FileNameWidth = 128;

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

bool fileOrLinkExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A second name for the file's content: a hard link where possible, else a
// copy.
bool keepAs(const QString& from, const QString& to, QString* reason) {
    std::error_code ec;
    std::filesystem::create_hard_link(fsPath(from), fsPath(to), ec);
    if (!ec)
        return true;
    if (QFile::copy(from, to))
        return true;
    setText(reason, QStringLiteral("Die Datei '%1' konnte nicht gesichert werden: %2")
                        .arg(QDir::toNativeSeparators(from), QString::fromStdString(ec.message())));
    return false;
}

// Replaces `to` in one step; an existing file of that name is never absent.
bool moveOver(const QString& from, const QString& to, QString* reason) {
    std::error_code ec;
    std::filesystem::rename(fsPath(from), fsPath(to), ec);
    if (!ec)
        return true;
    setText(reason, QStringLiteral("Die Datei '%1' konnte nicht ersetzt werden: %2")
                        .arg(QDir::toNativeSeparators(to), QString::fromStdString(ec.message())));
    return false;
}

QString unusedName(const QDir& dir, const QString& base) {
    for (;;) {
        const QString name =
            QStringLiteral("%1~import-%2")
                .arg(base)
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        if (!fileOrLinkExists(dir.filePath(name)))
            return name;
    }
}

// Moves the staged files into the program directory. The old index names
// some of the files about to be replaced; it is first pointed at second
// names of those files, so that whenever the program stops, Book.bkm (old or
// new) names only files holding its own folders' data.
class Commit {
public:
    Commit(const QString& appDir, const QString& stagingDir)
        : m_app(appDir), m_staging(stagingDir) {}

    bool run(const QStringList& folderFiles, QString* reason) {
        if (!prepare(folderFiles, reason))
            return rollBack(reason);
        for (const QString& name : folderFiles) {
            if (!moveOver(m_staging.filePath(name), m_app.filePath(name), reason))
                return rollBack(reason);
            m_replaced.append(name);
        }
        if (!moveOver(m_staging.filePath(IndexFileName), m_app.filePath(IndexFileName), reason))
            return rollBack(reason);
        // The new index is in place; the second names are named by nothing.
        for (const QString& alias : std::as_const(m_aliases))
            QFile::remove(m_app.filePath(alias));
        return true;
    }

private:
    bool prepare(const QStringList& folderFiles, QString* reason) {
        QDir(m_staging.path()).mkdir(QStringLiteral("before"));
        m_backup = QDir(m_staging.filePath(QStringLiteral("before")));

        // Everything about to be replaced is kept for going back.
        for (const QString& name : folderFiles + QStringList{IndexFileName}) {
            const QString target = m_app.filePath(name);
            // A folder in the way makes the move fail and the import go back.
            if (!fileOrLinkExists(target) || QFileInfo(target).isDir())
                continue;
            if (!keepAs(target, m_backup.filePath(name), reason))
                return false;
            m_saved.insert(name);
        }

        QByteArray index;
        if (!m_saved.contains(IndexFileName) ||
            readWholeFile(m_app.filePath(IndexFileName), &index, nullptr) != ReadStatus::Ok)
            return true; // no readable old archive to keep consistent
        const QSet<QString> replaced(folderFiles.cbegin(), folderFiles.cend());
        QHash<QString, QString> aliasOf;
        QByteArray patched;
        bool changed = false;
        for (const QByteArray& raw : splitRecords(index, ThemaRecord::Size)) {
            const QString name = ThemaRecord::fromBytes(raw).FileName;
            if (!replaced.contains(name)) {
                patched += raw;
                continue;
            }
            if (!aliasOf.contains(name)) {
                const QString alias = unusedName(m_app, name);
                if (fileOrLinkExists(m_app.filePath(name)) &&
                    !QFileInfo(m_app.filePath(name)).isDir()) {
                    if (!keepAs(m_app.filePath(name), m_app.filePath(alias), reason))
                        return false;
                    m_aliases.append(alias);
                }
                aliasOf.insert(name, alias);
            }
            Record record(raw, ThemaRecord::Size);
            record.setText(FileNameOffset, FileNameWidth, aliasOf.value(name));
            patched += record.bytes();
            changed = true;
        }
        if (!changed)
            return true;
        // Keep a torn tail as it was.
        patched += index.mid(patched.size());
        if (!writeFileAtomic(m_app.filePath(IndexFileName), patched, reason))
            return false;
        m_indexPatched = true;
        return true;
    }

    // Puts every replaced file back, then the old index, then drops the
    // second names; each step leaves an archive that reads as the old one.
    bool rollBack(QString* reason) {
        QStringList problems;
        for (auto it = m_replaced.crbegin(); it != m_replaced.crend(); ++it) {
            QString problem;
            const QString target = m_app.filePath(*it);
            if (m_saved.contains(*it)) {
                if (!moveOver(m_backup.filePath(*it), target, &problem))
                    problems.append(problem);
            } else if (!QFile::remove(target)) {
                problems.append(QStringLiteral("Die Datei '%1' konnte nicht entfernt werden.")
                                    .arg(QDir::toNativeSeparators(target)));
            }
        }
        if (m_indexPatched) {
            QString problem;
            if (!moveOver(m_backup.filePath(IndexFileName), m_app.filePath(IndexFileName),
                          &problem))
                problems.append(problem);
        }
        if (problems.isEmpty()) {
            for (const QString& alias : std::as_const(m_aliases))
                QFile::remove(m_app.filePath(alias));
        } else if (reason) {
            *reason += QStringLiteral("\nDas bisherige Archiv konnte nicht vollständig "
                                      "wiederhergestellt werden: ") +
                       problems.join(QLatin1Char('\n'));
        }
        return false;
    }

    const QDir m_app;
    const QDir m_staging;
    QDir m_backup;
    QSet<QString> m_saved;
    QStringList m_aliases;
    QStringList m_replaced;
    bool m_indexPatched = false;
};

} // namespace

bool replaceArchive(const QString& appDir, const QList<Folder>& folders, QString* error) {
    QTemporaryDir staging(QDir(appDir).filePath(QStringLiteral(".korvix-import-XXXXXX")));
    if (!staging.isValid()) {
        setText(error, QStringLiteral("Der Import konnte im Ordner '%1' nicht vorbereitet "
                                      "werden: %2")
                           .arg(QDir::toNativeSeparators(appDir), staging.errorString()));
        return false;
    }

    Book staged(staging.path());
    QList<std::shared_ptr<Thema>> themen;
    QStringList folderFiles;
    for (qsizetype k = 0; k < folders.size(); ++k) {
        const Folder& f = folders.at(k);
        auto thema = std::make_shared<Thema>();
        thema->Nr = 1;
        thema->FileName = QString::number(k + 1) + QStringLiteral(".bkm");
        thema->setDirName(f.name);
        thema->Sequenz = f.sequenz > 0 ? f.sequenz : qint32(k + 1);
        thema->bookmarks = f.bookmarks;
        thema->counter = clampInt16(f.bookmarks.size());
        themen.append(thema);
        folderFiles.append(thema->FileName);
    }
    staged.folders = themen;
    QString reason;
    if (!staged.save(&reason)) {
        setText(error, QStringLiteral("Der Import konnte nicht geschrieben werden: ") + reason);
        return false;
    }

    Commit commit(appDir, staging.path());
    if (!commit.run(folderFiles, &reason)) {
        setText(error, QStringLiteral("Der Import konnte nicht abgeschlossen werden; das "
                                      "bisherige Archiv bleibt erhalten. ") +
                           reason);
        return false;
    }
    return true;
}

} // namespace BookmarkImport
