#include "archive/PageBookmark.h"

#include "archive/ArchiveWindow.h"
#include "archive/BookmarkDialog.h"
#include "archive/model/Archive.h"
#include "common/Product.h"
#include "common/RecordCodec.h"
#include "prefs/model/KorvixSettings.h"
#include "shell/Shell.h"
#include "ui/Dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

PageBookmarkDialog::PageBookmarkDialog(const QString& title, const QList<Folder>& folders,
                                       const QString& chosenFolder, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("pageBookmark"));
    setWindowTitle(QStringLiteral("Seite zu den Bookmarks"));
    auto* form = new QFormLayout(this);
    m_title = new QLineEdit(title);
    m_title->setObjectName(QStringLiteral("title"));
    m_title->setMaxLength(BookmarkDialog::MaxName);
    m_title->selectAll();
    m_folders = new QComboBox;
    m_folders->setObjectName(QStringLiteral("folder"));
    for (const Folder& f : folders)
        m_folders->addItem(f.name, f.fileName);
    const int chosen = m_folders->findData(chosenFolder);
    m_folders->setCurrentIndex(chosen >= 0 ? chosen : 0);
    form->addRow(QStringLiteral("&Titel:"), m_title);
    form->addRow(QStringLiteral("&Ordner:"), m_folders);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Save)->setObjectName(QStringLiteral("save"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

QString PageBookmarkDialog::title() const {
    return m_title->text();
}

QString PageBookmarkDialog::folderFile() const {
    return m_folders->currentData().toString();
}

namespace {

QList<PageBookmarkDialog::Folder> foldersOf(const Book& book) {
    QList<PageBookmarkDialog::Folder> out;
    if (book.folders)
        for (const std::shared_ptr<Thema>& t : *book.folders)
            out.append({trimBlanks(t->DirName()), t->FileName});
    return out;
}

} // namespace

bool PageBookmark::add(Shell& shell, ArchiveWindow* archive, const QString& title,
                       const QString& url, QWidget* parent) {
    // The archive's address field holds no more than this; a longer address
    // would be stored cut short.
    if (url.isEmpty() || trimBlanks(decodeText(encodeText(url, BookmarkDialog::MaxUrl))) != url) {
        Dialogs::message(parent, QMessageBox::Warning, QStringLiteral("Meldung"),
                         QStringLiteral("Diese Adresse ist zu lang für das Archiv (höchstens %1 "
                                        "Zeichen).")
                             .arg(BookmarkDialog::MaxUrl));
        return false;
    }
    // The open window's archive is the one in use; else the files.
    std::unique_ptr<Book> loaded;
    Book* book = archive ? archive->book() : nullptr;
    if (!book) {
        loaded = std::make_unique<Book>(shell.programFolder());
        QString error;
        QString warning;
        Book::LoadResult result = loaded->load(&error, &warning);
        if (result == Book::LoadResult::Empty) {
            // As the archive window does when it first opens.
            if (!loaded->createDefaultArchive(Product::AppTitle, Product::DocumentationUrl,
                                              Product::WebsiteUrl, &error))
                result = Book::LoadResult::Failed;
            else
                result = loaded->load(&error, &warning);
        }
        if (result != Book::LoadResult::Loaded) {
            Dialogs::message(parent, QMessageBox::Critical, QStringLiteral("Fehlermeldung"),
                             QStringLiteral("Das Archiv konnte nicht geladen werden.\n\n") + error);
            return false;
        }
        book = loaded.get();
    }
    KorvixSettings settings(shell.programFolder());
    PageBookmarkDialog dialog(title, foldersOf(*book), settings.lastBookmarkFolder(), parent);
    Dialogs::runModal([&] { return dialog.exec(); });
    if (dialog.result() != QDialog::Accepted)
        return false;
    const QString file = dialog.folderFile();
    settings.setLastBookmarkFolder(file);
    const QString name = dialog.title().trimmed().isEmpty() ? url : dialog.title();
    if (archive)
        return archive->addBookmarkToFolder(file, name, url);
    for (const std::shared_ptr<Thema>& folder : *book->folders) {
        if (folder->FileName != file)
            continue;
        Bookmark b;
        b.Titel = name;
        b.Url = url;
        if (!folder->prependBookmark(b))
            return false;
        book->changed = true;
        QString error;
        if (!book->save(&error)) {
            Dialogs::message(parent, QMessageBox::Critical, QStringLiteral("Fehlermeldung"),
                             QStringLiteral("Das Archiv wurde nicht gespeichert.\n\n") + error);
            return false;
        }
        return true;
    }
    return false;
}
