// The soak's work in the bookmark archive window, and the check that the
// archive holds what the soak put into it.

#include "Keyboard.h"
#include "Soak.h"
#include "SoakDialogs.h"
#include "StartedApp.h"
#include "archive/ArchiveWindow.h"
#include "archive/BookmarkDialog.h"
#include "archive/PageBookmark.h"
#include "archive/model/BookmarkImport.h"
#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "frame/ToolWindows.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString Root = QStringLiteral("Archiv");

// Names a person might give a folder: plain, with blanks around, with
// umlauts and markup, empty, the root's, and ones the program gives itself.
const char* const FolderNames[] = {"Reisen", "  Werkzeuge  ", "Ärger & Öl",   "",
                                   "Archiv", "Ordner <b>",    "Neuer Ordner", "Nachrichten",
                                   "Küche",  "Zeitung (alt)"};

const char* const Titles[] = {"Wetter",  "  Bahn  ", "Übersicht & mehr",
                              "Zeitung", "Café",     "Seite <1>"};

QList<QTreeWidgetItem*> folderNodes(ArchiveWindow* book) {
    QList<QTreeWidgetItem*> nodes;
    for (int i = 0; i < book->rootNode()->childCount(); ++i)
        nodes << book->rootNode()->child(i);
    return nodes;
}

QList<QTreeWidgetItem*> bookmarkNodes(ArchiveWindow* book) {
    QList<QTreeWidgetItem*> nodes;
    for (QTreeWidgetItem* folder : folderNodes(book))
        for (int i = 0; i < folder->childCount(); ++i)
            nodes << folder->child(i);
    return nodes;
}

// A click on a node, its folder opened first as a person must.
bool clickNode(ArchiveWindow* book, QTreeWidgetItem* node) {
    QTreeWidget* tree = book->tree();
    if (QTreeWidgetItem* parent = node->parent(); parent && !parent->isExpanded())
        parent->setExpanded(true);
    tree->scrollToItem(node);
    const QRect at = tree->visualItemRect(node);
    if (at.isEmpty() || !Keyboard::activate(book))
        return false;
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at.center());
    return tree->currentItem() == node;
}

// The links one folder has more than the other, each once.
QList<ShadowArchive::Link> added(const QList<ShadowArchive::Link>& now,
                                 QList<ShadowArchive::Link> before) {
    QList<ShadowArchive::Link> more;
    for (const ShadowArchive::Link& l : now)
        if (!before.removeOne(l))
            more << l;
    return more;
}

} // namespace

ArchiveWindow* Soak::openArchive() {
    ArchiveWindow* book = frame()->tools()->archive();
    if (book && book->isVisible() && !book->isClosed())
        return book;
    command(FrameActions::Archive, false);
    book = frame()->tools()->archive();
    if (!book || !QTest::qWaitFor([book] { return book->isVisible(); }, 5000)) {
        fail(QStringLiteral("the archive window did not open"));
        return nullptr;
    }
    if (!m_archiveKnown || m_savedShadow.folders.isEmpty()) {
        // An archive without folders (a new installation's, or one whose
        // last folder was deleted) gets the folder a new installation
        // starts with when the window opens.
        ShadowArchive written;
        QString error;
        if (!ShadowArchive::read(m_app->dir(), &written, &error))
            fail(QStringLiteral("the new archive does not read back: ") + error);
        else if (written.folders.size() != 1 || written.linkCount() != 2)
            fail(QStringLiteral("an empty archive opened with %1 folders and %2 bookmarks")
                     .arg(written.folders.size())
                     .arg(written.linkCount()));
        m_savedShadow = written;
        m_shadow = written;
        m_archiveKnown = true;
    }
    return book;
}

void Soak::archive(const Dice& dice) {
    ArchiveWindow* book = openArchive();
    if (!book)
        return;
    switch (dice.below(0, 14)) {
    case 0:
    case 1:
        return addFolder(book, dice);
    case 2:
        return renameFolder(book, dice);
    case 3:
        return deleteFolder(book, dice);
    case 4:
    case 5:
    case 6:
        return addBookmark(book, dice);
    case 7:
        return deleteBookmark(book, dice);
    case 8:
    case 9:
        return dropLink(book, dice);
    case 10:
        return saveArchive(book);
    case 11:
        return closeArchive(book);
    case 12:
        return dice.chance(1, 30) ? importBookmarks(book) : exportBookmarks(book);
    default:
        note(QStringLiteral("angesehen"));
        return;
    }
}

void Soak::addFolder(ArchiveWindow* book, const Dice& dice) {
    const QList<QTreeWidgetItem*> folders = folderNodes(book);
    QTreeWidgetItem* after = folders.isEmpty() || dice.chance(1, 40)
                                 ? book->rootNode()
                                 : folders[dice.below(2, int(folders.size()))];
    if (!clickNode(book, after))
        return;
    const ShadowArchive before = ShadowArchive::of(*book->book());
    book->action(QStringLiteral("addFolder"))->trigger();
    const QString name = QString::fromUtf8(FolderNames[dice.below(3, 10)]);
    // The new folder's name is open for typing; typed, taken as it is, or
    // left with Esc.
    auto* editor = book->tree()->findChild<QLineEdit*>();
    if (editor &&
        QTest::qWaitFor([editor] { return QApplication::focusWidget() == editor; }, 2000)) {
        if (dice.chance(4, 60))
            Keyboard::type(name);
        Keyboard::press(dice.chance(4, 85) ? Qt::Key_Return : Qt::Key_Escape);
    }
    QTest::qWait(50);
    const ShadowArchive now = ShadowArchive::of(*book->book());
    int newFolders = 0;
    for (auto it = now.folders.cbegin(); it != now.folders.cend(); ++it) {
        if (before.folders.contains(it.key()))
            continue;
        ++newFolders;
        m_shadow.folders.insert(it.key(), it.value());
        note(QStringLiteral("Ordner \"%1\"").arg(it.value().name));
    }
    if (newFolders > 1)
        fail(QStringLiteral("one new folder made %1").arg(newFolders));
}

void Soak::renameFolder(ArchiveWindow* book, const Dice& dice) {
    const QList<QTreeWidgetItem*> folders = folderNodes(book);
    if (folders.isEmpty())
        return addFolder(book, dice);
    QTreeWidgetItem* node = folders[dice.below(1, int(folders.size()))];
    const QString old = node->text(0);
    if (!clickNode(book, node))
        return;
    const std::shared_ptr<Thema> folder = book->folderOf(node);
    QString name = QString::fromUtf8(FolderNames[dice.below(2, 10)]);
    if (dice.chance(3, 50))
        name += QStringLiteral(" %1").arg(dice.below(4, 100));
    note(QStringLiteral("\"%1\" zu \"%2\"").arg(old, name));
    book->action(QStringLiteral("renameFolder"))->trigger();
    QPointer<QLineEdit> editor = book->tree()->findChild<QLineEdit*>();
    if (!editor ||
        !QTest::qWaitFor([editor] { return QApplication::focusWidget() == editor; }, 2000))
        return;
    Keyboard::type(name);
    Keyboard::press(Qt::Key_Return);
    // The answer to the name comes a turn of the event loop after the
    // editor closed.
    if (!QTest::qWaitFor([editor] { return editor.isNull(); }, 2000))
        fail(QStringLiteral("the name editor stayed open after Enter"));
    QTest::qWait(50);
    const QString now = node->text(0);
    if (now != old && now != name.trimmed())
        fail(QStringLiteral("renamed to \"%1\", not \"%2\"").arg(now, name.trimmed()));
    if (folder && m_shadow.folders.contains(folder->FileName))
        m_shadow.folders[folder->FileName].name = folder->DirName().trimmed();
}

void Soak::deleteFolder(ArchiveWindow* book, const Dice& dice) {
    const QList<QTreeWidgetItem*> folders = folderNodes(book);
    if (folders.isEmpty())
        return;
    QTreeWidgetItem* node = folders[dice.below(1, int(folders.size()))];
    if (!clickNode(book, node))
        return;
    const std::shared_ptr<Thema> folder = book->folderOf(node);
    if (!folder)
        return;
    const QString file = folder->FileName;
    note(QStringLiteral("\"%1\"").arg(node->text(0)));
    book->action(QStringLiteral("deleteFolder"))->trigger();
    QTest::qWait(20);
    if (!ShadowArchive::of(*book->book()).folders.contains(file)) {
        m_shadow.folders.remove(file);
        // Deleting a folder saves the archive at once, and with it every
        // change before.
        m_savedShadow = m_shadow;
    }
}

void Soak::addBookmark(ArchiveWindow* book, const Dice& dice) {
    QList<QTreeWidgetItem*> nodes = folderNodes(book) + bookmarkNodes(book);
    if (nodes.isEmpty())
        return addFolder(book, dice);
    QTreeWidgetItem* node = nodes[dice.below(1, int(nodes.size()))];
    if (!clickNode(book, node))
        return;
    const std::shared_ptr<Thema> folder = book->folderOf(node);
    if (!folder)
        return;
    const QString title = QString::fromUtf8(Titles[dice.below(2, 6)]);
    const QString address = dice.chance(3, 20)
                                ? QStringLiteral("http://a.example/")
                                : QStringLiteral("http://soak.example/%1").arg(dice.below(4, 1000));
    const bool ok = dice.chance(5, 80);
    note(QStringLiteral("\"%1\" %2 %3").arg(title, address, ok ? "OK" : "Abbruch"));
    m_dialogs->answerModal = [title, address, ok](QWidget* dialog) {
        auto* d = qobject_cast<BookmarkDialog*>(dialog);
        if (!d)
            return false;
        if (!ok) {
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
            return true;
        }
        for (const auto& [field, text] :
             {std::pair{d->nameField(), title}, {d->urlField(), address}}) {
            Keyboard::clickInto(field);
            field->selectAll();
            Keyboard::type(text);
        }
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
        return true;
    };
    const QList<ShadowArchive::Link> before =
        ShadowArchive::of(*book->book()).folders.value(folder->FileName).links;
    book->action(QStringLiteral("addBookmark"))->trigger();
    m_dialogs->answerModal = nullptr;
    const QList<ShadowArchive::Link> more =
        added(ShadowArchive::of(*book->book()).folders.value(folder->FileName).links, before);
    if (more.size() > 1)
        fail(QStringLiteral("one bookmark added %1").arg(more.size()));
    for (const ShadowArchive::Link& l : more) {
        if (l.second != address)
            fail(QStringLiteral("bookmark for %1 stored as %2").arg(address, l.second));
        m_shadow.folders[folder->FileName].links << l;
    }
}

void Soak::deleteBookmark(ArchiveWindow* book, const Dice& dice) {
    const QList<QTreeWidgetItem*> nodes = bookmarkNodes(book);
    if (nodes.isEmpty())
        return addBookmark(book, dice);
    QTreeWidgetItem* node = nodes[dice.below(1, int(nodes.size()))];
    if (!clickNode(book, node))
        return;
    const std::shared_ptr<Thema> folder = book->folderOf(node);
    const Bookmark* b = book->bookmarkOf(node);
    if (!folder || !b)
        return;
    const ShadowArchive::Link link = ShadowArchive::linkOf(*b);
    note(QStringLiteral("\"%1\"").arg(link.first));
    book->action(QStringLiteral("deleteBookmark"))->trigger();
    QTest::qWait(20);
    if (!m_shadow.folders[folder->FileName].links.removeOne(link))
        fail(QStringLiteral("deleted a bookmark the soak never made: ") + link.second);
}

// A link dragged onto a folder: a new address, or the address of a
// bookmark of another folder, which is then deleted there (a move).
void Soak::dropLink(ArchiveWindow* book, const Dice& dice) {
    const QList<QTreeWidgetItem*> folders = folderNodes(book);
    if (folders.isEmpty())
        return addFolder(book, dice);
    QTreeWidgetItem* target = folders[dice.below(1, int(folders.size()))];
    const QList<QTreeWidgetItem*> bookmarks = bookmarkNodes(book);
    QTreeWidgetItem* moved = !bookmarks.isEmpty() && dice.chance(2, 50)
                                 ? bookmarks[dice.below(3, int(bookmarks.size()))]
                                 : nullptr;
    if (moved && moved->parent() == target)
        moved = nullptr;
    const Bookmark* movedBookmark = moved ? book->bookmarkOf(moved) : nullptr;
    const QString address = movedBookmark
                                ? movedBookmark->Url
                                : QStringLiteral("http://drop.example/%1").arg(dice.below(4, 1000));
    const std::shared_ptr<Thema> folder = book->folderOf(target);
    if (!folder)
        return;
    note(QStringLiteral("%1 auf \"%2\"%3")
             .arg(address, target->text(0), moved ? QStringLiteral(" (verschoben)") : QString()));
    book->tree()->scrollToItem(target);
    const QPoint at = book->tree()->visualItemRect(target).center();
    if (!Keyboard::activate(book))
        return;
    QMimeData data;
    data.setText(address);
    QWidget* viewport = book->tree()->viewport();
    const QList<ShadowArchive::Link> before =
        ShadowArchive::of(*book->book()).folders.value(folder->FileName).links;
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);
    const QList<ShadowArchive::Link> more =
        added(ShadowArchive::of(*book->book()).folders.value(folder->FileName).links, before);
    if (more.size() != 1 || more.first().second != address) {
        fail(QStringLiteral("a dropped address added %1 bookmarks").arg(more.size()));
        return;
    }
    m_shadow.folders[folder->FileName].links << more.first();
    if (moved && clickNode(book, moved)) {
        const std::shared_ptr<Thema> from = book->folderOf(moved);
        const Bookmark* b = book->bookmarkOf(moved);
        const ShadowArchive::Link link = ShadowArchive::linkOf(*b);
        book->action(QStringLiteral("deleteBookmark"))->trigger();
        if (!m_shadow.folders[from->FileName].links.removeOne(link))
            fail(QStringLiteral("moved a bookmark the soak never made: ") + link.second);
    }
}

// Ctrl+D on a page: into the open archive window's archive, else straight
// into the files.
void Soak::bookmarkPage(const Dice& dice) {
    BrowserWindow* w = pick(dice, 0);
    if (!w)
        return;
    if (!m_archiveKnown)
        return archive(dice);
    registry()->showWindow(w->id());
    ArchiveWindow* book = frame()->tools()->archive();
    const bool open = book && !book->isClosed();
    const auto current = [this, book, open] {
        ShadowArchive now;
        QString error;
        if (open)
            now = ShadowArchive::of(*book->book());
        else if (!ShadowArchive::read(m_app->dir(), &now, &error))
            fail(QStringLiteral("the archive does not read back: ") + error);
        return now;
    };
    const ShadowArchive before = current();
    const bool save = dice.chance(1, 80);
    const int folder = dice.below(2, 1000);
    m_dialogs->answerModal = [save, folder](QWidget* dialog) {
        auto* d = qobject_cast<PageBookmarkDialog*>(dialog);
        if (!d)
            return false;
        if (d->folderList()->count() > 0)
            d->folderList()->setCurrentIndex(folder % d->folderList()->count());
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if (save ? b->objectName() == QLatin1String("save")
                     : b->text() == QLatin1String("Abbrechen"))
                QTest::mouseClick(b, Qt::LeftButton);
        return true;
    };
    command(FrameActions::BookmarkPage, dice.chance(3, 70));
    m_dialogs->answerModal = nullptr;
    const ShadowArchive after = current();
    int made = 0;
    for (auto it = after.folders.cbegin(); it != after.folders.cend(); ++it) {
        for (const ShadowArchive::Link& l :
             added(it.value().links, before.folders.value(it.key()).links)) {
            ++made;
            note(QStringLiteral("\"%1\" in \"%2\"").arg(l.first, it.value().name));
            m_shadow.folders[it.key()].links << l;
            if (!open)
                m_savedShadow.folders[it.key()].links << l;
        }
    }
    if (made > 1)
        fail(QStringLiteral("one page bookmarked %1 times").arg(made));
}

void Soak::saveArchive(ArchiveWindow* book) {
    book->action(QStringLiteral("save"))->trigger();
}

void Soak::closeArchive(ArchiveWindow* book) {
    const bool changed = book->book()->changed || book->book()->anyChanged();
    book->close();
    if (!book->isClosed())
        return;
    const int asked = int(m_dialogs->shown.size());
    const bool saved = !changed || (asked > 0 && m_dialogs->given.last() == QMessageBox::Yes);
    note(saved ? QStringLiteral("gespeichert") : QStringLiteral("verworfen"));
    if (saved)
        m_savedShadow = m_shadow;
    else
        m_shadow = m_savedShadow;
}

void Soak::importBookmarks(ArchiveWindow* book) {
    const QString path = QStringLiteral(KORVIX_TEST_DATA "/bookmarks.html");
    m_dialogs->files << path;
    book->action(QStringLiteral("importBookmarkFile"))->trigger();
    if (!m_dialogs->shown.isEmpty())
        return; // refused, the archive as it was
    // What the file holds is the whole archive now, in the window and on disk.
    Book expected(m_app->dir());
    expected.folders = BookmarkImport::archiveFolders(BookmarkImport::parseFile(path).folders);
    const ShadowArchive imported = ShadowArchive::of(*book->book());
    if (!imported.sameContent(ShadowArchive::of(expected)))
        fail(QStringLiteral("the import holds other bookmarks than its file: ") +
             ShadowArchive::of(expected).differenceTo(imported));
    m_shadow = imported;
    m_savedShadow = imported;
    note(QStringLiteral("%1 Lesezeichen").arg(imported.linkCount()));
}

void Soak::exportBookmarks(ArchiveWindow* book) {
    const QString path = QDir(m_app->dir()).filePath(QStringLiteral("export.html"));
    QFile::remove(path);
    m_dialogs->files << path;
    book->action(QStringLiteral("exportBookmarkFile"))->trigger();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("the export wrote no file"));
        return;
    }
    const int links = int(file.readAll().toLower().count("<a href="));
    note(QStringLiteral("%1 Lesezeichen").arg(links));
    if (links != m_shadow.linkCount())
        fail(QStringLiteral("%1 bookmarks exported of %2").arg(links).arg(m_shadow.linkCount()));
}

// Whenever the window agrees with the soak, and whenever nothing is
// unsaved, the files hold what the soak made.
bool Soak::checkArchive() {
    if (!m_archiveKnown)
        return true;
    ArchiveWindow* book = frame()->tools()->archive();
    const bool open = book && !book->isClosed();
    if (open && !ShadowArchive::of(*book->book()).sameContent(m_shadow)) {
        fail(QStringLiteral("the archive window holds other bookmarks than were made: ") +
             m_shadow.differenceTo(ShadowArchive::of(*book->book())));
        return false;
    }
    const bool unsaved = open && (book->book()->changed || book->book()->anyChanged());
    if (unsaved)
        return true;
    if (open)
        m_savedShadow = m_shadow;
    ShadowArchive onDisk;
    QString error;
    if (!ShadowArchive::read(m_app->dir(), &onDisk, &error)) {
        fail(QStringLiteral("the archive does not read back: ") + error);
        return false;
    }
    if (!onDisk.sameContent(m_savedShadow)) {
        fail(QStringLiteral("the archive files hold other bookmarks than were saved: ") +
             m_savedShadow.differenceTo(onDisk));
        return false;
    }
    return true;
}
