// Editing the archive through its tree: folders, bookmarks, sorting, opening.
#include "archive/ArchiveWindow.h"
#include "archive/BookmarkDialog.h"
#include "archive/model/ArchiveRules.h"
#include "common/RecordCodec.h"
#include "history/model/HistoryList.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"
#include "shell/Shell.h"
#include "shell/WindowOpener.h"
#include "ui/Dialogs.h"

#include <QMimeData>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

namespace {
constexpr int KeyRole = Qt::UserRole;
} // namespace

void ArchiveWindow::numbersOf(QTreeWidgetItem* node, qint32& folderNr, qint16& bookmarkNr) {
    if (node)
        ArchiveRules::splitKey(node->data(0, KeyRole).toString(), folderNr, bookmarkNr);
}

std::shared_ptr<Thema> ArchiveWindow::folderOf(QTreeWidgetItem* node) const {
    if (!node || !m_book->folders)
        return nullptr;
    qint32 dirNr = 0;
    qint16 bkmNr = 0;
    numbersOf(node, dirNr, bkmNr);
    const int at = ArchiveRules::folderIndex(*m_book->folders, dirNr);
    return at > 0 ? m_book->folders->at(at - 1) : nullptr;
}

Bookmark* ArchiveWindow::bookmarkOf(QTreeWidgetItem* node) const {
    if (nodeTag(node) != QLatin1String("Url"))
        return nullptr;
    const std::shared_ptr<Thema> folder = folderOf(node);
    if (!folder || !folder->bookmarks)
        return nullptr;
    qint32 dirNr = 0;
    qint16 bkmNr = 0;
    numbersOf(node, dirNr, bkmNr);
    const int at = ArchiveRules::bookmarkIndex(*folder->bookmarks, bkmNr);
    return at > 0 ? &(*folder->bookmarks)[at - 1] : nullptr;
}

// Folders.

void ArchiveWindow::addFolder() {
    if (nodeTag(m_tree->currentItem()) == QLatin1String("Url"))
        return;
    if (m_book->folders && m_book->folders->size() >= Book::MaxFolders) {
        Dialogs::message(this, QMessageBox::Information, QStringLiteral("Meldung"),
                         QStringLiteral("Das Archiv fasst höchstens %1 Ordner; es kann kein "
                                        "weiterer angelegt werden.")
                             .arg(Book::MaxFolders));
        return;
    }
    if (const std::optional<QString> name = ArchiveRules::newFolderName(allNodeTexts()))
        addFolderNamed(*name);
}

void ArchiveWindow::addFolderNamed(const QString& name) {
    QTreeWidgetItem* selected = m_tree->currentItem();
    if (!selected || nodeTag(selected) == QLatin1String("Url"))
        selected = m_root;
    const std::optional<qint32> number = m_book->nextNumber();
    if (!number)
        return;
    auto folder = std::make_shared<Thema>();
    folder->Nr = *number;
    folder->FileName = QString::number(*number) + QStringLiteral(".bkm");
    folder->setDirName(name);
    folder->Sequenz = *number;

    int nodeIndex = 0;
    if (selected == m_root) {
        // Right after the default archive was written the tree shows only
        // its root while the archive holds that folder: it stays.
        if (!m_book->folders)
            m_book->folders = QList<std::shared_ptr<Thema>>{folder};
        else
            m_book->folders->prepend(folder);
    } else {
        const std::shared_ptr<Thema> after = folderOf(selected);
        if (!m_book->folders)
            m_book->folders.emplace();
        const int at = after ? ArchiveRules::folderIndex(*m_book->folders, after->Nr) : 0;
        m_book->folders->insert(at, folder);
        nodeIndex = m_root->indexOfChild(selected) + 1;
    }
    setSorted(m_root, false);
    QTreeWidgetItem* node = addFolderNode(*folder, nodeIndex);
    m_tree->setCurrentItem(node);
    m_tree->editItem(node, 0);
    m_book->changed = true;
}

void ArchiveWindow::renameFolder() {
    QTreeWidgetItem* node = m_tree->currentItem();
    if (nodeTag(node) == QLatin1String("Dir"))
        m_tree->editItem(node, 0);
}

void ArchiveWindow::renameFinished(QTreeWidgetItem* node, const QString& typed) {
    if (!node || nodeTag(node) != QLatin1String("Dir"))
        return;
    const QString text = trimBlanks(typed);
    if (text == node->text(0))
        return;
    if (text.isEmpty()) {
        Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Meldung"),
                         QStringLiteral("Der Ordner muß einen Namen haben !"));
        m_tree->editItem(node, 0);
        return;
    }
    if (allNodeTexts().contains(text)) {
        Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Meldung"),
                         QStringLiteral("Der Ordner mit dem Namen '") + text +
                             QStringLiteral("' existiert schon !\nBitte wählen Sie einen anderen "
                                            "Namen."));
        m_tree->editItem(node, 0);
        return;
    }
    if (const std::shared_ptr<Thema> folder = folderOf(node)) {
        m_tree->setCurrentItem(node);
        updateFolder(*folder, text);
    }
}

void ArchiveWindow::updateFolder(Thema& folder, const QString& name) {
    folder.setDirName(name);
    folder.changed = true;
    if (QTreeWidgetItem* node = m_tree->currentItem())
        node->setText(0, name);
    m_book->changed = true;
    QTreeWidgetItem* node = m_tree->currentItem();
    if (node && node->parent() && isSorted(node->parent()))
        sortChildren(node->parent());
}

void ArchiveWindow::deleteFolder() {
    QTreeWidgetItem* node = m_tree->currentItem();
    if (nodeTag(node) != QLatin1String("Dir"))
        return;
    const std::shared_ptr<Thema> folder = folderOf(node);
    if (!folder)
        return;
    const int index = ArchiveRules::folderIndex(*m_book->folders, folder->Nr);
    const bool hasBookmarks = folder->bookmarks && !folder->bookmarks->isEmpty();
    if (hasBookmarks) {
        if (trimBlanks(m_shell.preferences().Group) == node->text(0)) {
            Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Meldung"),
                             QStringLiteral("Der Ordner wird beim Programmstart benutzt und kann "
                                            "nicht gelöscht werden.\r\nBitte lösen sie zuerst "
                                            "diesen Konflikt."));
            return;
        }
        if (Dialogs::message(this, QMessageBox::Question, QStringLiteral("Meldung"),
                             QStringLiteral("Der Ordner ist nicht leer, trotzdem löschen ?"),
                             QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
            return;
    }
    QString error;
    const bool saved = m_book->removeFolder(index, &error);
    m_sorted.remove(node);
    delete node;
    if (!saved)
        showError(QStringLiteral("Das Archiv wurde nicht gespeichert.\n\n") + error);
}

// Bookmarks.

void ArchiveWindow::addBookmark() {
    const QString tag = nodeTag(m_tree->currentItem());
    if (tag != QLatin1String("Dir") && tag != QLatin1String("Url"))
        return;
    BookmarkDialog dialog(this, true);
    Dialogs::runModal([&] { return dialog.exec(); });
}

void ArchiveWindow::editBookmark() {
    if (nodeTag(m_tree->currentItem()) != QLatin1String("Url"))
        return;
    BookmarkDialog dialog(this, false);
    Dialogs::runModal([&] { return dialog.exec(); });
}

void ArchiveWindow::insertBookmark(const QString& title, const QString& url, const QString& info) {
    QTreeWidgetItem* selected = m_tree->currentItem();
    const QString tag = nodeTag(selected);
    const std::shared_ptr<Thema> folder = folderOf(selected);
    if (!folder || (tag != QLatin1String("Dir") && tag != QLatin1String("Url")))
        return;
    const std::optional<qint16> number = folder->nextNumber();
    if (!number)
        return;
    Bookmark b;
    b.Titel = title;
    b.Url = url;
    b.Info = info;
    b.Nr = *number;
    if (tag == QLatin1String("Dir")) {
        if (!folder->bookmarks)
            folder->bookmarks = QList<Bookmark>{b};
        else
            folder->bookmarks->prepend(b);
        addBookmarkNode(selected, folder->Nr, b, 0);
        if (isSorted(selected))
            sortChildren(selected);
    } else {
        qint32 dirNr = 0;
        qint16 bkmNr = 0;
        numbersOf(selected, dirNr, bkmNr);
        if (!folder->bookmarks)
            folder->bookmarks.emplace();
        const int at = ArchiveRules::bookmarkIndex(*folder->bookmarks, bkmNr);
        folder->bookmarks->insert(at, b);
        QTreeWidgetItem* folderNode = selected->parent();
        addBookmarkNode(folderNode, folder->Nr, b, folderNode->indexOfChild(selected) + 1);
        if (isSorted(folderNode))
            sortChildren(folderNode);
    }
    folder->changed = true;
    m_book->changed = true;
}

bool ArchiveWindow::addBookmarkToFolder(const QString& folderFile, const QString& title,
                                        const QString& url) {
    for (int i = 0; i < m_root->childCount(); ++i) {
        QTreeWidgetItem* node = m_root->child(i);
        const std::shared_ptr<Thema> folder = folderOf(node);
        if (!folder || folder->FileName != folderFile)
            continue;
        const int before = node->childCount();
        m_tree->setCurrentItem(node);
        insertBookmark(title, url, QString());
        return node->childCount() > before && saveArchive();
    }
    return false;
}

void ArchiveWindow::updateBookmark(Bookmark& bookmark, const QString& title, const QString& url,
                                   const QString& info, bool addressBar, bool toolbar) {
    bookmark.Titel = title;
    bookmark.Url = url;
    bookmark.Info = info;
    bookmark.Adresszeile = addressBar;
    bookmark.Toolbar = toolbar;
    QTreeWidgetItem* node = m_tree->currentItem();
    if (node)
        node->setText(0, title);
    if (const std::shared_ptr<Thema> folder = folderOf(node))
        folder->changed = true;
    m_book->changed = true;
}

void ArchiveWindow::deleteBookmark() {
    QTreeWidgetItem* node = m_tree->currentItem();
    if (nodeTag(node) != QLatin1String("Url"))
        return;
    const std::shared_ptr<Thema> folder = folderOf(node);
    qint32 dirNr = 0;
    qint16 bkmNr = 0;
    numbersOf(node, dirNr, bkmNr);
    delete node;
    if (!folder)
        return;
    if (folder->bookmarks) {
        const int at = ArchiveRules::bookmarkIndex(*folder->bookmarks, bkmNr);
        if (at > 0)
            folder->bookmarks->removeAt(at - 1);
    }
    folder->changed = true;
    m_book->changed = true;
}

void ArchiveWindow::openBookmark() {
    if (Bookmark* b = bookmarkOf(m_tree->currentItem()))
        m_shell.windowOpener().visit(OpenRequest::withBars(b->Url, b->Adresszeile, b->Toolbar));
}

void ArchiveWindow::openAll() {
    QTreeWidgetItem* node = m_tree->currentItem();
    if (nodeTag(node) != QLatin1String("Dir"))
        return;
    const std::shared_ptr<Thema> folder = folderOf(node);
    if (!folder || !folder->bookmarks)
        return;
    // One window per turn of the event loop; the window limit is looked at
    // as each one comes, and the one that meets it is the last.
    QList<OpenRequest> requests;
    for (const Bookmark& b : *folder->bookmarks)
        if (!b.Url.isEmpty())
            requests << OpenRequest::withBars(b.Url, b.Adresszeile, b.Toolbar);
    m_shell.windowOpener().queueOpenings(requests, true);
}

void ArchiveWindow::takeAsHomePage() {
    Bookmark* b = bookmarkOf(m_tree->currentItem());
    if (!b)
        return;
    Prefer& prefs = m_shell.preferences();
    prefs.HomeUrl = b->Url;
    QString error;
    if (!prefs.save(&error))
        showError(error);
}

// Sorting: only the tree's order changes; the archive keeps its own.

void ArchiveWindow::setSorted(QTreeWidgetItem* node, bool sorted) {
    if (!node)
        return;
    if (sorted) {
        m_sorted.insert(node);
        sortChildren(node);
    } else {
        m_sorted.remove(node);
    }
}

void ArchiveWindow::sortChildren(QTreeWidgetItem* node) {
    QTreeWidgetItem* current = m_tree->currentItem();
    QList<QTreeWidgetItem*> children = node->takeChildren();
    std::stable_sort(children.begin(), children.end(), [](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return QString::compare(a->text(0), b->text(0), Qt::CaseInsensitive) < 0;
    });
    node->addChildren(children);
    if (current)
        m_tree->setCurrentItem(current);
}

void ArchiveWindow::sortArchive() {
    QTreeWidgetItem* node = m_tree->currentItem();
    const QString tag = nodeTag(node);
    if (tag == QLatin1String("Url") || tag == QLatin1String("Dir"))
        setSorted(node->parent(), true);
    else
        setSorted(m_root, true);
}

void ArchiveWindow::sortFolders() {
    const QString tag = nodeTag(m_tree->currentItem());
    if (tag == QLatin1String("Archiv") || tag == QLatin1String("Dir"))
        setSorted(m_root, true);
}

void ArchiveWindow::sortBookmarks() {
    QTreeWidgetItem* node = m_tree->currentItem();
    const QString tag = nodeTag(node);
    if (tag == QLatin1String("Dir"))
        setSorted(node, true);
    else if (tag == QLatin1String("Url"))
        setSorted(node->parent(), true);
}

// Drops.

void ArchiveWindow::dropOn(QTreeWidgetItem* node, const QMimeData* data) {
    if (!node || node->text(0) == QLatin1String("Archiv") ||
        nodeTag(node) == QLatin1String("Archiv"))
        return;
    QString text;
    QString file;
    if (data->hasUrls() && !data->urls().isEmpty()) {
        const QUrl first = data->urls().first();
        if (first.isLocalFile())
            file = first.toLocalFile();
        else
            text = first.toString();
    }
    if (text.isEmpty() && data->hasText())
        text = data->text();
    const std::optional<ArchiveRules::Dropped> dropped =
        ArchiveRules::droppedBookmark(text, file, m_shell.history());
    if (!dropped)
        return;
    m_tree->setCurrentItem(node);
    insertBookmark(dropped->title, dropped->address, QString());
}
