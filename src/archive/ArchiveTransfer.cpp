// Exporting the archive or one folder, and importing a bookmark file.
#include "archive/ArchiveWindow.h"
#include "archive/model/BookmarkImport.h"
#include "archive/model/ExportWriters.h"
#include "shell/OpenRequest.h"
#include "shell/Shell.h"
#include "shell/WindowOpener.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QTreeWidget>

void ArchiveWindow::exportTo(int kind, bool wholeArchive) {
    const auto k = static_cast<ExportWriters::Kind>(kind);
    std::shared_ptr<Thema> folder;
    if (!wholeArchive) {
        QTreeWidgetItem* node = m_tree->currentItem();
        if (nodeTag(node) != QLatin1String("Dir"))
            return;
        folder = folderOf(node);
        if (!folder)
            return;
    }
    const ExportWriters::DialogTexts texts = ExportWriters::dialogTexts(k, wholeArchive);
    const QString path = Dialogs::saveFileName(this, texts.caption, m_shell.programFolder(),
                                               texts.filter, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QDateTime now = QDateTime::currentDateTime();
    const QByteArray bytes =
        wholeArchive ? ExportWriters::exportArchive(
                           k, m_book->folders.value_or(QList<std::shared_ptr<Thema>>()), now)
                     : ExportWriters::exportFolder(k, *folder, now);
    QString error;
    const bool written = ExportWriters::writeExport(path, bytes, &error);
    QApplication::restoreOverrideCursor();
    if (!written) {
        showError(error);
        return;
    }
    if (Dialogs::message(this, QMessageBox::Information, QStringLiteral("Meldung"),
                         ExportWriters::successQuestion(path),
                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        m_shell.windowOpener().visit(OpenRequest::withBars(path, true, true));
}

void ArchiveWindow::importBookmarkFile() {
    const ExportWriters::DialogTexts texts = BookmarkImport::dialogTexts();
    const QString path =
        Dialogs::openFileName(this, texts.caption, m_shell.programFolder(), texts.filter);
    if (path.isEmpty())
        return;
    importFile(path);
}

bool ArchiveWindow::importFile(const QString& path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const BookmarkImport::Result result = BookmarkImport::parseFile(path);
    QString error = result.error;
    bool ok = result.ok;
    // A file without a single folder leaves the archive as it is.
    if (ok && !result.folders.isEmpty()) {
        QString reason;
        ok = m_book->replaceWith(BookmarkImport::archiveFolders(result.folders), &reason);
        if (!ok)
            error = QStringLiteral("Der Import konnte nicht geschrieben werden; das bisherige "
                                   "Archiv bleibt erhalten. ") +
                    reason;
    }
    QApplication::restoreOverrideCursor();
    if (!ok) {
        showError(
            QStringLiteral("Der Import ist fehlgeschlagen; das Archiv bleibt, wie es war.\n\n") +
            error);
        return false;
    }
    if (result.folders.isEmpty()) {
        Dialogs::message(this, QMessageBox::Information, QStringLiteral("Meldung"),
                         QStringLiteral("Die Datei enthält keinen Ordner (keine Überschrift, unter "
                                        "der Lesezeichen stehen); es wurde nichts importiert, "
                                        "das Archiv bleibt, wie es war."));
        return true;
    }
    // The archive is the imported one now, in memory as on disk.
    showArchive();
    return true;
}
