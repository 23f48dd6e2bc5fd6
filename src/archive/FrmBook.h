#pragma once

#include "archive/model/Archive.h"

#include <QIcon>
#include <QMainWindow>
#include <QSet>

class MainFrame;
class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

// "Bookmark Archiv": the archive as a tree of folders and bookmarks, with
// every archive command.
class FrmBook : public QMainWindow {
    Q_OBJECT
public:
    explicit FrmBook(MainFrame* frame);
    ~FrmBook() override;

    // The open archive.
    Book* Buch() const { return m_book.get(); }
    QTreeWidget* tree() const { return m_tree; }
    QTreeWidgetItem* rootNode() const { return m_root; }
    QAction* action(const QString& name) const;
    QMenu* menu(const QString& name) const;
    QLabel* statusPanel() const { return m_status; }

    // Loading and saving.
    void loadArchive();
    void mn_Laden_Click() { loadArchive(); }
    bool mn_Speichern_Click();

    // Editing through the tree (selected node unless told otherwise).
    static void splitKey(QTreeWidgetItem* xNode, qint32& nDirNr, qint16& nBookmarkNr);
    std::shared_ptr<Thema> folderOf(QTreeWidgetItem* node) const;
    Bookmark* bookmarkOf(QTreeWidgetItem* node) const;
    void mn_AddOrdner_Click();
    void AddDirToArchive(const QString& name);
    void mn_AttrOrdner_Click();
    void UpdateDir(Thema& xDir, const QString& sName);
    void mn_DelOrdner_Click();
    void mn_Hinzufügen_Click();
    void AddBkmToArchive(const QString& sTitel, const QString& sUrl, const QString& sInfo);
    void mn_Eigenschaften_Click();
    void UpdateBookmark(Bookmark& xBkm, const QString& sTitel, const QString& sUrl,
                        const QString& sInfo, bool bAdress, bool bToolb);
    void mn_Loeschen_Click();
    void OpenBookmark();
    void OpenAll();
    void mn_setHome_Click();
    void sortArchiv();
    void mn_SortOrdner_Click();
    void mn_SortBkm_Click();
    // Ends a label edit of a folder node with the text the user typed.
    void renameFinished(QTreeWidgetItem* node, const QString& text);
    // Adds what a drop carries to the node under it.
    void dropOn(QTreeWidgetItem* node, const class QMimeData* data);

    // Writes the archive (or the selected folder) in one of the export
    // formats, asking for the file name.
    void exportTo(int kind, bool wholeArchive);
    void mn_ImpNetscapeHtml_Click();
    // Replaces the archive by the folders of a bookmark file.
    bool importFile(const QString& path);

    // Menu states for the selected node.
    void refreshOrdnerMenu();
    void refreshBookmarkMenu();
    // The context menu as it would pop up for the selected node.
    void prepareContextMenu();
    void restoreContextMenu();

    // Rolling up and placing.
    void mn_mini_Click();
    void mn_aufklapp_Click();
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
                     void (FrmBook::*handler)() = nullptr);
    QTreeWidgetItem* addFolderNode(const Thema& t, int index);
    QTreeWidgetItem* addBookmarkNode(QTreeWidgetItem* folderNode, qint32 folderNr,
                                     const Bookmark& b, int index);
    void setSorted(QTreeWidgetItem* node, bool sorted);
    void sortChildren(QTreeWidgetItem* node);
    void onItemClicked(QTreeWidgetItem* item);
    void fitToHeight();
    void showError(const QString& text);

    MainFrame* m_frame;
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
