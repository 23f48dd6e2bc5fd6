#pragma once

#include "archive/model/Archive.h"

#include <QIcon>
#include <QMainWindow>
#include <QSet>

class Shell;
class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

// "Bookmark Archiv": the archive as a tree of folders and bookmarks, with
// every archive command.
class ArchiveWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ArchiveWindow(Shell& shell);
    ~ArchiveWindow() override;

    // The open archive.
    Book* book() const { return m_book.get(); }
    QTreeWidget* tree() const { return m_tree; }
    QTreeWidgetItem* rootNode() const { return m_root; }
    QAction* action(const QString& name) const;
    QMenu* menu(const QString& name) const;
    QLabel* statusPanel() const { return m_status; }

    // Loading and saving.
    void loadArchive();
    // Shows the open archive in the tree, as it is in memory.
    void showArchive();
    // Saves what changed and loads the archive again; false (and the
    // reason shown) when the save failed.
    bool saveArchive();

    // Editing through the tree (selected node unless told otherwise).
    std::shared_ptr<Thema> folderOf(QTreeWidgetItem* node) const;
    Bookmark* bookmarkOf(QTreeWidgetItem* node) const;
    void addFolder();
    void addFolderNamed(const QString& name);
    void renameFolder();
    void updateFolder(Thema& folder, const QString& name);
    void deleteFolder();
    void addBookmark();
    void insertBookmark(const QString& title, const QString& url, const QString& info);
    // A bookmark first in the folder with this file, saved at once (Ctrl+D
    // while the window is open); false when it was not stored.
    bool addBookmarkToFolder(const QString& folderFile, const QString& title, const QString& url);
    void editBookmark();
    void updateBookmark(Bookmark& bookmark, const QString& title, const QString& url,
                        const QString& info, bool addressBar, bool toolbar);
    void deleteBookmark();
    void openBookmark();
    void openAll();
    void takeAsHomePage();
    void sortArchive();
    void sortFolders();
    void sortBookmarks();
    // Ends a label edit of a folder node with the text the user typed.
    void renameFinished(QTreeWidgetItem* node, const QString& text);
    // Adds what a drop carries to the node under it.
    void dropOn(QTreeWidgetItem* node, const class QMimeData* data);

    // Writes the archive (or the selected folder) in one of the export
    // formats, asking for the file name.
    void exportTo(int kind, bool wholeArchive);
    void importBookmarkFile();
    // Replaces the archive by the folders of a bookmark file.
    bool importFile(const QString& path);

    // Menu states for the selected node.
    void refreshFolderMenu();
    void refreshBookmarkMenu();
    // The context menu as it would pop up for the selected node.
    void prepareContextMenu();
    void restoreContextMenu();

    // Rolling up and placing.
    void rollUp();
    void unroll();
    bool isRolledUp() const { return m_rolledUp; }
    void place(const QString& corner);

    // Closed and only waiting to be deleted.
    bool isClosed() const { return m_closed; }
    QString nodeTag(QTreeWidgetItem* node) const;
    QStringList allNodeTexts() const;
    bool isSorted(QTreeWidgetItem* node) const { return m_sorted.contains(node); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption,
                     void (ArchiveWindow::*handler)() = nullptr);
    QTreeWidgetItem* addFolderNode(const Thema& t, int index);
    QTreeWidgetItem* addBookmarkNode(QTreeWidgetItem* folderNode, qint32 folderNr,
                                     const Bookmark& b, int index);
    void setSorted(QTreeWidgetItem* node, bool sorted);
    void sortChildren(QTreeWidgetItem* node);
    void onItemClicked(QTreeWidgetItem* item);
    void fitToHeight();
    void resetTree();
    // Folder and bookmark number of a node, from its key.
    static void numbersOf(QTreeWidgetItem* node, qint32& folderNr, qint16& bookmarkNr);
    void showError(const QString& text);

    Shell& m_shell;
    std::unique_ptr<Book> m_book;
    QTreeWidget* m_tree = nullptr;
    QTreeWidgetItem* m_root = nullptr;
    QToolBar* m_toolbar = nullptr;
    QLabel* m_status = nullptr;
    QHash<QString, QAction*> m_actions;
    QHash<QString, QMenu*> m_menus;
    QSet<QTreeWidgetItem*> m_sorted;
    int m_lastButton = 0;
    int m_restoreHeight = 0;
    int m_openingHeight = 0;
    bool m_rolledUp = false;
    bool m_closed = false;
    QIcon m_dirIcon;
    QIcon m_openDirIcon;
    QIcon m_urlIcon;
};
