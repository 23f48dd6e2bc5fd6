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
        // After the editor has closed, not inside its commit; by then the
        // node may be gone (the tree loaded again, the folder deleted), and
        // the name with it.
        QMetaObject::invokeMethod(
            m_book,
            [book = m_book, tree = m_tree, node = QPersistentModelIndex(index), text] {
                if (node.isValid())
                    book->renameFinished(tree->itemFromIndex(node), text);
            },
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
