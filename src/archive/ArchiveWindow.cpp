#include "archive/ArchiveWindow.h"

#include "archive/model/ArchiveRules.h"
#include "common/Product.h"
#include "shell/Shell.h"
#include "ui/Dialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

namespace {
constexpr int KeyRole = Qt::UserRole;
constexpr int TagRole = Qt::UserRole + 1;

// Label edits end here instead of in the model, so the window can refuse a
// name and start the edit again.
class RenameDelegate : public QStyledItemDelegate {
public:
    RenameDelegate(ArchiveWindow* book, QTreeWidget* tree)
        : QStyledItemDelegate(tree), m_book(book), m_tree(tree) {}
    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        const QString text = editor->property("text").toString();
        QTreeWidgetItem* item = m_tree->itemFromIndex(index);
        // After the editor has closed, not inside its commit.
        QMetaObject::invokeMethod(
            m_book, [book = m_book, item, text] { book->renameFinished(item, text); },
            Qt::QueuedConnection);
    }

private:
    ArchiveWindow* m_book;
    QTreeWidget* m_tree;
};
} // namespace

ArchiveWindow::ArchiveWindow(Shell& shell)
    : QMainWindow(shell.ownerWindow(), Qt::Window), m_shell(shell) {
    setObjectName(QStringLiteral("frmBook"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Bookmark Archiv"));
    m_shell.toolWindowShown(Shell::ToolWindow::Archive, true);
    // The pictures "Dir", "OpenDir" and "Url", made once: a large archive has
    // many thousands of nodes.
    m_dirIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    m_openDirIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    m_urlIcon = style()->standardIcon(QStyle::SP_FileLinkIcon);

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("TreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setMouseTracking(true);
    m_tree->setAcceptDrops(true);
    m_tree->viewport()->setAcceptDrops(true);
    m_tree->setDropIndicatorShown(true);
    m_tree->setItemDelegate(new RenameDelegate(this, m_tree));
    m_tree->installEventFilter(this);
    m_tree->viewport()->installEventFilter(this);
    setCentralWidget(m_tree);
    connect(m_tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { onItemClicked(item); });
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { openBookmark(); });
    connect(m_tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (nodeTag(item) == QLatin1String("Dir"))
            item->setIcon(0, m_openDirIcon);
    });
    connect(m_tree, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (nodeTag(item) == QLatin1String("Dir"))
            item->setIcon(0, m_dirIcon);
    });

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusBar1"));
    m_status->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(m_status, 1);

    buildMenus();
    buildToolbar();
    // The window may be made as low as its menu bar; what no longer fits
    // below it is hidden (fitToHeight).
    m_tree->setMinimumHeight(1);
    setMinimumHeight(menuBar()->sizeHint().height());
    resize(360, 460);
    loadArchive();
    m_restoreHeight = height();
    m_openingHeight = height();
    setSorted(m_root, false);
}

// The flag goes down when the window closes; a closed window may linger
// until it is deleted while a new one is already open.
ArchiveWindow::~ArchiveWindow() = default;

QAction* ArchiveWindow::addItem(QMenu* menu, const QString& name, const QString& caption,
                                void (ArchiveWindow::*handler)()) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    if (handler)
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    m_actions.insert(name, a);
    return a;
}

QAction* ArchiveWindow::action(const QString& name) const {
    return m_actions.value(name);
}
QMenu* ArchiveWindow::menu(const QString& name) const {
    return m_menus.value(name);
}

void ArchiveWindow::buildMenus() {
    auto sub = [this](QMenu* parent, const QString& name, const QString& caption) {
        QMenu* m = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
        m->setObjectName(name);
        m_menus.insert(name, m);
        m_actions.insert(name, m->menuAction());
        return m;
    };
    QMenu* archiv = sub(nullptr, QStringLiteral("archiveMenu"), QStringLiteral("&Archiv"));
    addItem(archiv, QStringLiteral("load"), QStringLiteral("Laden"), &ArchiveWindow::loadArchive);
    connect(addItem(archiv, QStringLiteral("save"), QStringLiteral("Speichern")),
            &QAction::triggered, this, [this] { saveArchive(); });
    archiv->addSeparator();
    addItem(archiv, QStringLiteral("sort"), QStringLiteral("Sortieren"),
            &ArchiveWindow::sortArchive);
    archiv->addSeparator();
    QMenu* exp = sub(archiv, QStringLiteral("exportMenu"), QStringLiteral("Exportieren"));
    addItem(exp, QStringLiteral("exportText"), QStringLiteral("in eine Text Datei"));
    exp->addSeparator();
    addItem(exp, QStringLiteral("exportHtml"), QStringLiteral("in eine HTML Datei"));
    exp->addSeparator();
    addItem(exp, QStringLiteral("exportBookmarkFile"),
            QStringLiteral("in eine IE/Netscape Bookmark Datei"));
    QMenu* imp = sub(archiv, QStringLiteral("importMenu"), QStringLiteral("Importieren"));
    addItem(imp, QStringLiteral("importBookmarkFile"), QStringLiteral("IE/Netscape Bookmark Datei"),
            &ArchiveWindow::importBookmarkFile);
    archiv->addSeparator();
    addItem(archiv, QStringLiteral("close"), QStringLiteral("Schließen"));
    connect(action(QStringLiteral("close")), &QAction::triggered, this, &QWidget::close);

    QMenu* modify = sub(nullptr, QStringLiteral("modifyMenu"), QStringLiteral("&Modifizieren"));
    QMenu* ordner = sub(modify, QStringLiteral("folderMenu"), QStringLiteral("Ordner"));
    addItem(ordner, QStringLiteral("sortFolders"), QStringLiteral("Sortieren"),
            &ArchiveWindow::sortFolders);
    ordner->addSeparator();
    addItem(ordner, QStringLiteral("addFolder"), QStringLiteral("Hinzufügen"),
            &ArchiveWindow::addFolder);
    addItem(ordner, QStringLiteral("deleteFolder"), QStringLiteral("Löschen"),
            &ArchiveWindow::deleteFolder);
    addItem(ordner, QStringLiteral("renameFolder"), QStringLiteral("Umbenennen"),
            &ArchiveWindow::renameFolder);
    ordner->addSeparator();
    QMenu* expDet = sub(ordner, QStringLiteral("exportFolderMenu"), QStringLiteral("Exportieren"));
    addItem(expDet, QStringLiteral("exportFolderText"), QStringLiteral("in eine Text Datei"));
    expDet->addSeparator();
    addItem(expDet, QStringLiteral("exportFolderHtml"), QStringLiteral("in eine HTML Datei"));
    expDet->addSeparator();
    addItem(expDet, QStringLiteral("exportFolderBookmarkFile"),
            QStringLiteral("in eine IE/Netscape Bookmark Datei"));
    QAction* tz5 = modify->addSeparator();
    tz5->setObjectName(QStringLiteral("bookmarkSeparator"));
    m_actions.insert(QStringLiteral("bookmarkSeparator"), tz5);
    QMenu* bookmark = sub(modify, QStringLiteral("bookmarkMenu"), QStringLiteral("Bookmark"));
    addItem(bookmark, QStringLiteral("sortBookmarks"), QStringLiteral("Sortieren"),
            &ArchiveWindow::sortBookmarks);
    bookmark->addSeparator();
    addItem(bookmark, QStringLiteral("openAll"), QStringLiteral("Alle Öffnen"),
            &ArchiveWindow::openAll);
    addItem(bookmark, QStringLiteral("open"), QStringLiteral("Öffnen"),
            &ArchiveWindow::openBookmark);
    addItem(bookmark, QStringLiteral("setHome"), QStringLiteral("Als Startadresse übernehmen..."),
            &ArchiveWindow::takeAsHomePage);
    bookmark->addSeparator();
    addItem(bookmark, QStringLiteral("addBookmark"), QStringLiteral("Hinzufügen"),
            &ArchiveWindow::addBookmark);
    addItem(bookmark, QStringLiteral("deleteBookmark"), QStringLiteral("Löschen"),
            &ArchiveWindow::deleteBookmark);
    addItem(bookmark, QStringLiteral("properties"), QStringLiteral("Eigenschaften"),
            &ArchiveWindow::editBookmark);
    connect(modify, &QMenu::aboutToShow, this, [this] {
        refreshFolderMenu();
        refreshBookmarkMenu();
    });
    connect(ordner, &QMenu::aboutToShow, this, &ArchiveWindow::refreshFolderMenu);
    connect(bookmark, &QMenu::aboutToShow, this, &ArchiveWindow::refreshBookmarkMenu);

    // The six export commands: text, HTML page, bookmark file; archive or folder.
    const std::tuple<const char*, int, bool> exports[] = {
        {"exportText", 0, true},         {"exportHtml", 1, true},
        {"exportBookmarkFile", 2, true}, {"exportFolderText", 0, false},
        {"exportFolderHtml", 1, false},  {"exportFolderBookmarkFile", 2, false}};
    for (const auto& [name, kind, whole] : exports) {
        connect(action(QString::fromLatin1(name)), &QAction::triggered, this,
                [this, kind = kind, whole = whole] { exportTo(kind, whole); });
    }

    QMenu* fenster = sub(nullptr, QStringLiteral("windowMenu"), QStringLiteral("&Fenster"));
    addItem(fenster, QStringLiteral("topLeft"), QStringLiteral("&Links oben"));
    addItem(fenster, QStringLiteral("topRight"), QStringLiteral("&Rechts oben"));
    addItem(fenster, QStringLiteral("bottomLeft"), QStringLiteral("Link&s unten"));
    addItem(fenster, QStringLiteral("bottomRight"), QStringLiteral("Rechts &unten"));
    for (const char* corner : {"topLeft", "topRight", "bottomLeft", "bottomRight"}) {
        const QString name = QString::fromLatin1(corner);
        connect(action(name), &QAction::triggered, this, [this, name] { place(name); });
    }
    fenster->addSeparator();
    addItem(fenster, QStringLiteral("rollUp"), QStringLiteral("&Minimieren"),
            &ArchiveWindow::rollUp);
    addItem(fenster, QStringLiteral("unroll"), QStringLiteral("&Aufklappen"),
            &ArchiveWindow::unroll);
}

void ArchiveWindow::buildToolbar() {
    m_toolbar = addToolBar(QStringLiteral("Toolbar1"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(18, 18));
    auto button = [this](const QString& key, const QString& tip, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(m_toolbar);
        b->setObjectName(key);
        b->setToolTip(tip);
        b->setIcon(style()->standardIcon(icon));
        b->setAutoRaise(true);
        m_toolbar->addWidget(b);
        return b;
    };
    QToolButton* archiv =
        button(QStringLiteral("archiv"), QStringLiteral("Archiv"), QStyle::SP_DirHomeIcon);
    archiv->setMenu(menu(QStringLiteral("archiveMenu")));
    archiv->setPopupMode(QToolButton::InstantPopup);
    QToolButton* edit = button(QStringLiteral("edit"), QStringLiteral("Bearbeiten"),
                               QStyle::SP_FileDialogDetailedView);
    edit->setMenu(menu(QStringLiteral("modifyMenu")));
    edit->setPopupMode(QToolButton::InstantPopup);
    m_toolbar->addSeparator();
    QToolButton* min =
        button(QStringLiteral("min"), QStringLiteral("Zu"), QStyle::SP_TitleBarShadeButton);
    QToolButton* max =
        button(QStringLiteral("max"), QStringLiteral("Auf"), QStyle::SP_TitleBarUnshadeButton);
    min->setCheckable(true);
    max->setCheckable(true);
    max->setChecked(true);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    group->addButton(min);
    group->addButton(max);
    connect(min, &QToolButton::clicked, this, [this] { rollUp(); });
    connect(max, &QToolButton::clicked, this, [this] { unroll(); });
    m_toolbar->addSeparator();
    QToolButton* sort =
        button(QStringLiteral("sort"), QStringLiteral("Sortieren"), QStyle::SP_ArrowDown);
    connect(sort, &QToolButton::clicked, this, [this] { sortArchive(); });
}

void ArchiveWindow::showError(const QString& text) {
    Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Fehlermeldung"), text);
}

QTreeWidgetItem* ArchiveWindow::addFolderNode(const Thema& t, int index) {
    auto* node = new QTreeWidgetItem;
    node->setText(0, t.DirName());
    node->setData(0, KeyRole, ArchiveRules::folderKey(t.Nr));
    node->setData(0, TagRole, QStringLiteral("Dir"));
    node->setIcon(0, m_dirIcon);
    node->setFlags(node->flags() | Qt::ItemIsEditable | Qt::ItemIsDropEnabled);
    m_root->insertChild(index < 0 ? m_root->childCount() : index, node);
    return node;
}

QTreeWidgetItem* ArchiveWindow::addBookmarkNode(QTreeWidgetItem* folderNode, qint32 folderNr,
                                                const Bookmark& b, int index) {
    auto* node = new QTreeWidgetItem;
    node->setText(0, b.Titel);
    node->setData(0, KeyRole, ArchiveRules::bookmarkKey(folderNr, b.Nr));
    node->setData(0, TagRole, QStringLiteral("Url"));
    node->setIcon(0, m_urlIcon);
    node->setFlags((node->flags() | Qt::ItemIsDropEnabled) & ~Qt::ItemIsEditable);
    folderNode->insertChild(index < 0 ? folderNode->childCount() : index, node);
    return node;
}

// Empties the tree down to its root "Archiv".
void ArchiveWindow::resetTree() {
    m_tree->clear();
    m_sorted.clear();
    m_root = new QTreeWidgetItem(m_tree);
    m_root->setText(0, QStringLiteral("Archiv"));
    m_root->setData(0, KeyRole, QStringLiteral("0@"));
    m_root->setData(0, TagRole, QStringLiteral("Archiv"));
    m_root->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
    m_root->setFlags(m_root->flags() | Qt::ItemIsDropEnabled);
    m_root->setExpanded(true);
}

void ArchiveWindow::showArchive() {
    resetTree();
    if (!m_book->folders)
        return;
    for (const std::shared_ptr<Thema>& t : *m_book->folders) {
        QTreeWidgetItem* folderNode = addFolderNode(*t, -1);
        if (t->bookmarks)
            for (const Bookmark& b : *t->bookmarks)
                addBookmarkNode(folderNode, t->Nr, b, -1);
    }
}

void ArchiveWindow::loadArchive() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Unsaved changes give way to the files, but the archive stays marked
    // changed, so closing still offers to save.
    const bool wasEdited = m_book && m_book->changed;
    if (!m_book)
        m_book = std::make_unique<Book>(m_shell.programFolder());
    QString error;
    QString warning;
    const Book::LoadResult result = m_book->load(&error, &warning);
    m_book->changed = m_book->changed || wasEdited;
    if (result == Book::LoadResult::Loaded) {
        showArchive();
    } else {
        resetTree();
        if (result == Book::LoadResult::Empty) {
            QString createError;
            if (!m_book->createDefaultArchive(Product::AppTitle, Product::DocumentationUrl,
                                              Product::WebsiteUrl, &createError))
                warning = createError;
        }
    }
    QApplication::restoreOverrideCursor();
    if (result == Book::LoadResult::Failed) {
        m_status->setText(QStringLiteral("Das Archiv konnte nicht geladen werden."));
        showError(QStringLiteral("Das Archiv konnte nicht geladen werden.\n\n") + error);
    } else if (!warning.isEmpty()) {
        showError(warning);
    }
}

bool ArchiveWindow::saveArchive() {
    if (m_book->changed || m_book->anyChanged()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QString error;
        const bool ok = m_book->save(&error);
        QApplication::restoreOverrideCursor();
        if (!ok) {
            // The tree keeps the changes; the user can try again.
            showError(QStringLiteral("Das Archiv wurde nicht gespeichert.\n\n") + error);
            return false;
        }
    }
    loadArchive();
    return true;
}

void ArchiveWindow::closeEvent(QCloseEvent* event) {
    if (m_book && (m_book->changed || m_book->anyChanged())) {
        const auto answer = Dialogs::message(this, QMessageBox::Question, QStringLiteral("Meldung"),
                                             QStringLiteral("Änderungen am Archiv speichern ?"),
                                             QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes) {
            QString error;
            if (!m_book->save(&error)) {
                showError(QStringLiteral("Das Archiv wurde nicht gespeichert.\n\n") + error);
                event->ignore();
                return;
            }
        }
    }
    m_shell.toolWindowShown(Shell::ToolWindow::Archive, false);
    m_closed = true;
    event->accept();
}

QString ArchiveWindow::nodeTag(QTreeWidgetItem* node) const {
    return node ? node->data(0, TagRole).toString() : QString();
}

QStringList ArchiveWindow::allNodeTexts() const {
    QStringList texts;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        texts << (*it)->text(0);
    return texts;
}

void ArchiveWindow::onItemClicked(QTreeWidgetItem* item) {
    const QString tag = nodeTag(item);
    if (tag == QLatin1String("Dir")) {
        m_status->clear();
        if (m_lastButton == 1) {
            item->setExpanded(!item->isExpanded());
        } else {
            refreshFolderMenu();
            refreshBookmarkMenu();
            menu(QStringLiteral("modifyMenu"))->popup(QCursor::pos());
        }
    } else if (tag == QLatin1String("Url")) {
        if (Bookmark* b = bookmarkOf(item))
            m_status->setText(b->Url);
    }
}

bool ArchiveWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_tree && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    if (watched != m_tree->viewport())
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        m_lastButton = e->button() == Qt::RightButton ? 2 : (e->button() == Qt::LeftButton ? 1 : 0);
        if (e->button() == Qt::RightButton) {
            if (QTreeWidgetItem* item = m_tree->itemAt(e->position().toPoint()))
                m_tree->setCurrentItem(item);
            if (m_tree->currentItem()) {
                prepareContextMenu();
                menu(QStringLiteral("modifyMenu"))->exec(e->globalPosition().toPoint());
                restoreContextMenu();
            }
            return true;
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        QTreeWidgetItem* item = m_tree->itemAt(e->position().toPoint());
        Bookmark* b = nodeTag(item) == QLatin1String("Url") ? bookmarkOf(item) : nullptr;
        m_status->setText(b ? b->Url : QString());
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        if (!e->mimeData()->hasText() && !e->mimeData()->hasUrls())
            return false;
        if (QTreeWidgetItem* item = m_tree->itemAt(e->position().toPoint()))
            m_tree->setCurrentItem(item);
        e->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        if (QTreeWidgetItem* item = m_tree->itemAt(e->position().toPoint()))
            m_tree->setCurrentItem(item);
        dropOn(m_tree->currentItem(), e->mimeData());
        e->acceptProposedAction();
        return true;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void ArchiveWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click on the window's own surface rolls it up.
    rollUp();
    QMainWindow::mouseDoubleClickEvent(event);
}

// Menu states.

void ArchiveWindow::refreshFolderMenu() {
    QTreeWidgetItem* node = m_tree->currentItem();
    const QString tag = nodeTag(node);
    auto set = [this](const char* name, bool on) {
        action(QString::fromUtf8(name))->setEnabled(on);
    };
    if (!node) {
        if (m_tree->topLevelItemCount() == 0)
            set("addFolder", false);
        set("deleteFolder", false);
        set("renameFolder", false);
    } else if (tag == QLatin1String("Archiv")) {
        set("addFolder", true);
        set("deleteFolder", false);
        set("renameFolder", false);
        set("exportFolderMenu", false);
    } else if (tag == QLatin1String("Dir")) {
        set("addFolder", true);
        set("deleteFolder", true);
        set("renameFolder", true);
        set("exportFolderMenu", node->childCount() > 0);
    } else {
        set("addFolder", false);
        set("deleteFolder", false);
        set("renameFolder", false);
        set("exportFolderMenu", false);
    }
}

void ArchiveWindow::refreshBookmarkMenu() {
    QTreeWidgetItem* node = m_tree->currentItem();
    const QString tag = nodeTag(node);
    auto set = [this](const char* name, bool on) {
        action(QString::fromUtf8(name))->setEnabled(on);
    };
    const bool url = tag == QLatin1String("Url");
    const bool dir = tag == QLatin1String("Dir");
    set("addBookmark", url || dir);
    set("deleteBookmark", url);
    set("properties", url);
    set("setHome", url);
    if (node) {
        set("open", url);
        set("openAll", dir);
    }
}

void ArchiveWindow::prepareContextMenu() {
    const QString tag = nodeTag(m_tree->currentItem());
    refreshFolderMenu();
    refreshBookmarkMenu();
    action(QStringLiteral("folderMenu"))->setVisible(tag != QLatin1String("Url"));
    action(QStringLiteral("bookmarkMenu"))->setVisible(tag != QLatin1String("Archiv"));
    action(QStringLiteral("bookmarkSeparator"))->setVisible(tag == QLatin1String("Dir"));
}

void ArchiveWindow::restoreContextMenu() {
    for (const char* name : {"folderMenu", "bookmarkMenu", "bookmarkSeparator"})
        action(QString::fromLatin1(name))->setVisible(true);
}

// Rolling up and placing.

void ArchiveWindow::rollUp() {
    if (m_rolledUp)
        return;
    m_restoreHeight = height();
    resize(width(), menuBar()->sizeHint().height() + m_toolbar->sizeHint().height());
}

void ArchiveWindow::unroll() {
    if (m_restoreHeight < m_openingHeight)
        m_restoreHeight = m_openingHeight;
    resize(width(), m_restoreHeight);
    const QRect frame = m_shell.anchorGeometry();
    if (m_restoreHeight + y() > frame.top() + frame.height())
        move(x(), frame.top() + frame.height() - frameGeometry().height());
}

void ArchiveWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    fitToHeight();
}

// Whatever made the window this high (rolling up, unrolling or the user's
// drag), it shows what fits: below the menu the toolbar, and below that the
// tree with the status bar only where there is room for them.
void ArchiveWindow::fitToHeight() {
    const int menu = menuBar()->sizeHint().height();
    const int bar = m_toolbar->sizeHint().height();
    const int below = height() - menu;
    const bool barFits = below >= bar;
    const bool treeFits = below - bar > statusBar()->sizeHint().height();
    m_toolbar->setVisible(barFits);
    m_toolbar->setEnabled(barFits);
    statusBar()->setVisible(treeFits);
    m_tree->setVisible(treeFits);
    m_rolledUp = !treeFits;
    // "Zu" and "Auf" are one exclusive group: checking one releases the other.
    if (auto* pressed = m_toolbar->findChild<QToolButton*>(m_rolledUp ? QStringLiteral("min")
                                                                      : QStringLiteral("max")))
        pressed->setChecked(true);
    if (auto* edit = m_toolbar->findChild<QToolButton*>(QStringLiteral("edit")))
        edit->setEnabled(!m_rolledUp);
    // Too low even for the toolbar: only the menu bar is left.
    if (!barFits && below > 0)
        resize(width(), menu);
}

void ArchiveWindow::place(const QString& corner) {
    const QRect f = m_shell.anchorGeometry();
    const QSize own = frameGeometry().size();
    const bool right =
        corner == QLatin1String("topRight") || corner == QLatin1String("bottomRight");
    const bool bottom =
        corner == QLatin1String("bottomLeft") || corner == QLatin1String("bottomRight");
    move(right ? f.left() + f.width() - own.width() : f.left(),
         bottom ? f.top() + f.height() - own.height() : f.top());
}
