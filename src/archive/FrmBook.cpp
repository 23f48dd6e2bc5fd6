#include "archive/FrmBook.h"

#include "app/AppInit.h"
#include "app/Dialogs.h"
#include "archive/model/ArchiveRules.h"
#include "common/Product.h"
#include "frame/MainFrame.h"

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
    RenameDelegate(FrmBook* book, QTreeWidget* tree)
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
    FrmBook* m_book;
    QTreeWidget* m_tree;
};
} // namespace

FrmBook::FrmBook(MainFrame* frame) : QMainWindow(frame, Qt::Window), m_frame(frame) {
    setObjectName(QStringLiteral("frmBook"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Bookmark Archiv"));
    m_frame->bIsOpenBook = true;
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
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { OpenBookmark(); });
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
FrmBook::~FrmBook() = default;

QAction* FrmBook::addItem(QMenu* menu, const QString& name, const QString& caption,
                          void (FrmBook::*handler)()) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    if (handler)
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    m_actions.insert(name, a);
    return a;
}

QAction* FrmBook::action(const QString& name) const {
    return m_actions.value(name);
}
QMenu* FrmBook::menu(const QString& name) const {
    return m_menus.value(name);
}

void FrmBook::buildMenus() {
    auto sub = [this](QMenu* parent, const QString& name, const QString& caption) {
        QMenu* m = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
        m->setObjectName(name);
        m_menus.insert(name, m);
        m_actions.insert(name, m->menuAction());
        return m;
    };
    QMenu* archiv = sub(nullptr, QStringLiteral("mn_Archive"), QStringLiteral("&Archiv"));
    addItem(archiv, QStringLiteral("mn_Laden"), QStringLiteral("Laden"), &FrmBook::mn_Laden_Click);
    connect(addItem(archiv, QStringLiteral("mn_Speichern"), QStringLiteral("Speichern")),
            &QAction::triggered, this, [this] { mn_Speichern_Click(); });
    archiv->addSeparator();
    addItem(archiv, QStringLiteral("mn_Sortieren"), QStringLiteral("Sortieren"),
            &FrmBook::sortArchiv);
    archiv->addSeparator();
    QMenu* exp = sub(archiv, QStringLiteral("mn_export"), QStringLiteral("Exportieren"));
    addItem(exp, QStringLiteral("mn_ExpTxt"), QStringLiteral("in eine Text Datei"));
    exp->addSeparator();
    addItem(exp, QStringLiteral("mn_ExpHtml"), QStringLiteral("in eine HTML Datei"));
    exp->addSeparator();
    addItem(exp, QStringLiteral("mn_ExpNetscapeHtml"),
            QStringLiteral("in eine IE/Netscape Bookmark Datei"));
    QMenu* imp = sub(archiv, QStringLiteral("mn_import"), QStringLiteral("Importieren"));
    addItem(imp, QStringLiteral("mn_ImpNetscapeHtml"), QStringLiteral("IE/Netscape Bookmark Datei"),
            &FrmBook::mn_ImpNetscapeHtml_Click);
    archiv->addSeparator();
    addItem(archiv, QStringLiteral("mn_Schließen"), QStringLiteral("Schließen"));
    connect(action(QStringLiteral("mn_Schließen")), &QAction::triggered, this, &QWidget::close);

    QMenu* modify = sub(nullptr, QStringLiteral("mn_Modify"), QStringLiteral("&Modifizieren"));
    QMenu* ordner = sub(modify, QStringLiteral("mn_Ordner"), QStringLiteral("Ordner"));
    addItem(ordner, QStringLiteral("mn_SortOrdner"), QStringLiteral("Sortieren"),
            &FrmBook::mn_SortOrdner_Click);
    ordner->addSeparator();
    addItem(ordner, QStringLiteral("mn_AddOrdner"), QStringLiteral("Hinzufügen"),
            &FrmBook::mn_AddOrdner_Click);
    addItem(ordner, QStringLiteral("mn_DelOrdner"), QStringLiteral("Löschen"),
            &FrmBook::mn_DelOrdner_Click);
    addItem(ordner, QStringLiteral("mn_AttrOrdner"), QStringLiteral("Umbenennen"),
            &FrmBook::mn_AttrOrdner_Click);
    ordner->addSeparator();
    QMenu* expDet = sub(ordner, QStringLiteral("mn_exportdetail"), QStringLiteral("Exportieren"));
    addItem(expDet, QStringLiteral("mn_expdetText"), QStringLiteral("in eine Text Datei"));
    expDet->addSeparator();
    addItem(expDet, QStringLiteral("mn_expdetHtml"), QStringLiteral("in eine HTML Datei"));
    expDet->addSeparator();
    addItem(expDet, QStringLiteral("mn_expdetNetscapeHtml"),
            QStringLiteral("in eine IE/Netscape Bookmark Datei"));
    QAction* tz5 = modify->addSeparator();
    tz5->setObjectName(QStringLiteral("mn_tz5"));
    m_actions.insert(QStringLiteral("mn_tz5"), tz5);
    QMenu* bookmark = sub(modify, QStringLiteral("mn_Bookmark"), QStringLiteral("Bookmark"));
    addItem(bookmark, QStringLiteral("mn_SortBkm"), QStringLiteral("Sortieren"),
            &FrmBook::mn_SortBkm_Click);
    bookmark->addSeparator();
    addItem(bookmark, QStringLiteral("mn_OpenAllBkm"), QStringLiteral("Alle Öffnen"),
            &FrmBook::OpenAll);
    addItem(bookmark, QStringLiteral("mn_OpenBkm"), QStringLiteral("Öffnen"),
            &FrmBook::OpenBookmark);
    addItem(bookmark, QStringLiteral("mn_setHome"),
            QStringLiteral("Als Startadresse übernehmen..."), &FrmBook::mn_setHome_Click);
    bookmark->addSeparator();
    addItem(bookmark, QStringLiteral("mn_Hinzufügen"), QStringLiteral("Hinzufügen"),
            &FrmBook::mn_Hinzufügen_Click);
    addItem(bookmark, QStringLiteral("mn_Loeschen"), QStringLiteral("Löschen"),
            &FrmBook::mn_Loeschen_Click);
    addItem(bookmark, QStringLiteral("mn_Eigenschaften"), QStringLiteral("Eigenschaften"),
            &FrmBook::mn_Eigenschaften_Click);
    connect(modify, &QMenu::aboutToShow, this, [this] {
        refreshOrdnerMenu();
        refreshBookmarkMenu();
    });
    connect(ordner, &QMenu::aboutToShow, this, &FrmBook::refreshOrdnerMenu);
    connect(bookmark, &QMenu::aboutToShow, this, &FrmBook::refreshBookmarkMenu);

    // The six export commands: text, HTML page, bookmark file; archive or folder.
    const std::tuple<const char*, int, bool> exports[] = {
        {"mn_ExpTxt", 0, true},          {"mn_ExpHtml", 1, true},
        {"mn_ExpNetscapeHtml", 2, true}, {"mn_expdetText", 0, false},
        {"mn_expdetHtml", 1, false},     {"mn_expdetNetscapeHtml", 2, false}};
    for (const auto& [name, kind, whole] : exports) {
        connect(action(QString::fromLatin1(name)), &QAction::triggered, this,
                [this, kind = kind, whole = whole] { exportTo(kind, whole); });
    }

    QMenu* fenster = sub(nullptr, QStringLiteral("mn_BkFenster"), QStringLiteral("&Fenster"));
    addItem(fenster, QStringLiteral("mn_lo"), QStringLiteral("&Links oben"));
    addItem(fenster, QStringLiteral("mn_ro"), QStringLiteral("&Rechts oben"));
    addItem(fenster, QStringLiteral("mn_lu"), QStringLiteral("Link&s unten"));
    addItem(fenster, QStringLiteral("mn_ru"), QStringLiteral("Rechts &unten"));
    for (const char* corner : {"mn_lo", "mn_ro", "mn_lu", "mn_ru"}) {
        const QString name = QString::fromLatin1(corner);
        connect(action(name), &QAction::triggered, this, [this, name] { place(name); });
    }
    fenster->addSeparator();
    addItem(fenster, QStringLiteral("mn_mini"), QStringLiteral("&Minimieren"),
            &FrmBook::mn_mini_Click);
    addItem(fenster, QStringLiteral("mn_aufklapp"), QStringLiteral("&Aufklappen"),
            &FrmBook::mn_aufklapp_Click);
}

void FrmBook::buildToolbar() {
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
    archiv->setMenu(menu(QStringLiteral("mn_Archive")));
    archiv->setPopupMode(QToolButton::InstantPopup);
    QToolButton* edit = button(QStringLiteral("edit"), QStringLiteral("Bearbeiten"),
                               QStyle::SP_FileDialogDetailedView);
    edit->setMenu(menu(QStringLiteral("mn_Modify")));
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
    connect(min, &QToolButton::clicked, this, [this] { mn_mini_Click(); });
    connect(max, &QToolButton::clicked, this, [this] { mn_aufklapp_Click(); });
    m_toolbar->addSeparator();
    QToolButton* sort =
        button(QStringLiteral("sort"), QStringLiteral("Sortieren"), QStyle::SP_ArrowDown);
    connect(sort, &QToolButton::clicked, this, [this] { sortArchiv(); });
}

void FrmBook::showError(const QString& text) {
    Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Fehlermeldung"), text);
}

QTreeWidgetItem* FrmBook::addFolderNode(const Thema& t, int index) {
    auto* node = new QTreeWidgetItem;
    node->setText(0, t.DirName());
    node->setData(0, KeyRole, ArchiveRules::folderKey(t.Nr));
    node->setData(0, TagRole, QStringLiteral("Dir"));
    node->setIcon(0, m_dirIcon);
    node->setFlags(node->flags() | Qt::ItemIsEditable | Qt::ItemIsDropEnabled);
    m_root->insertChild(index < 0 ? m_root->childCount() : index, node);
    return node;
}

QTreeWidgetItem* FrmBook::addBookmarkNode(QTreeWidgetItem* folderNode, qint32 folderNr,
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

void FrmBook::loadArchive() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_tree->clear();
    m_sorted.clear();
    m_root = new QTreeWidgetItem(m_tree);
    m_root->setText(0, QStringLiteral("Archiv"));
    m_root->setData(0, KeyRole, QStringLiteral("0@"));
    m_root->setData(0, TagRole, QStringLiteral("Archiv"));
    m_root->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
    m_root->setFlags(m_root->flags() | Qt::ItemIsDropEnabled);
    m_root->setExpanded(true);

    // Unsaved changes give way to the files, but the archive stays marked
    // changed, so closing still offers to save.
    const bool wasEdited = m_book && m_book->changed;
    if (!m_book)
        m_book = std::make_unique<Book>(AppInit::AppDir);
    QString error;
    QString warning;
    const Book::LoadResult result = m_book->load(&error, &warning);
    m_book->changed = m_book->changed || wasEdited;
    if (result == Book::LoadResult::Loaded && m_book->folders) {
        for (const std::shared_ptr<Thema>& t : *m_book->folders) {
            QTreeWidgetItem* folderNode = addFolderNode(*t, -1);
            if (t->bookmarks)
                for (const Bookmark& b : *t->bookmarks)
                    addBookmarkNode(folderNode, t->Nr, b, -1);
        }
    } else if (result == Book::LoadResult::Empty) {
        QString createError;
        if (!m_book->createDefaultArchive(AppInit::AppTitle, Product::DocumentationUrl,
                                          Product::WebsiteUrl, &createError))
            warning = createError;
    }
    QApplication::restoreOverrideCursor();
    if (result == Book::LoadResult::Failed) {
        m_status->setText(QStringLiteral("Das Archiv konnte nicht geladen werden."));
        showError(QStringLiteral("Das Archiv konnte nicht geladen werden.\n\n") + error);
    } else if (!warning.isEmpty()) {
        showError(warning);
    }
}

bool FrmBook::mn_Speichern_Click() {
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

void FrmBook::closeEvent(QCloseEvent* event) {
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
    m_frame->bIsOpenBook = false;
    m_closed = true;
    event->accept();
}

QString FrmBook::nodeTag(QTreeWidgetItem* node) const {
    return node ? node->data(0, TagRole).toString() : QString();
}

QStringList FrmBook::allNodeTexts() const {
    QStringList texts;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        texts << (*it)->text(0);
    return texts;
}

void FrmBook::onItemClicked(QTreeWidgetItem* item) {
    const QString tag = nodeTag(item);
    if (tag == QLatin1String("Dir")) {
        m_status->clear();
        if (m_lastButton == 1) {
            item->setExpanded(!item->isExpanded());
        } else {
            refreshOrdnerMenu();
            refreshBookmarkMenu();
            menu(QStringLiteral("mn_Modify"))->popup(QCursor::pos());
        }
    } else if (tag == QLatin1String("Url")) {
        if (Bookmark* b = bookmarkOf(item))
            m_status->setText(b->Url);
    }
}

bool FrmBook::eventFilter(QObject* watched, QEvent* event) {
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
                menu(QStringLiteral("mn_Modify"))->exec(e->globalPosition().toPoint());
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

void FrmBook::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click on the window's own surface rolls it up.
    mn_mini_Click();
    QMainWindow::mouseDoubleClickEvent(event);
}

// Menu states.

void FrmBook::refreshOrdnerMenu() {
    QTreeWidgetItem* node = m_tree->currentItem();
    const QString tag = nodeTag(node);
    auto set = [this](const char* name, bool on) {
        action(QString::fromUtf8(name))->setEnabled(on);
    };
    if (!node) {
        if (m_tree->topLevelItemCount() == 0)
            set("mn_AddOrdner", false);
        set("mn_DelOrdner", false);
        set("mn_AttrOrdner", false);
    } else if (tag == QLatin1String("Archiv")) {
        set("mn_AddOrdner", true);
        set("mn_DelOrdner", false);
        set("mn_AttrOrdner", false);
        set("mn_exportdetail", false);
    } else if (tag == QLatin1String("Dir")) {
        set("mn_AddOrdner", true);
        set("mn_DelOrdner", true);
        set("mn_AttrOrdner", true);
        set("mn_exportdetail", node->childCount() > 0);
    } else {
        set("mn_AddOrdner", false);
        set("mn_DelOrdner", false);
        set("mn_AttrOrdner", false);
        set("mn_exportdetail", false);
    }
}

void FrmBook::refreshBookmarkMenu() {
    QTreeWidgetItem* node = m_tree->currentItem();
    const QString tag = nodeTag(node);
    auto set = [this](const char* name, bool on) {
        action(QString::fromUtf8(name))->setEnabled(on);
    };
    const bool url = tag == QLatin1String("Url");
    const bool dir = tag == QLatin1String("Dir");
    set("mn_Hinzufügen", url || dir);
    set("mn_Loeschen", url);
    set("mn_Eigenschaften", url);
    set("mn_setHome", url);
    if (node) {
        set("mn_OpenBkm", url);
        set("mn_OpenAllBkm", dir);
    }
}

void FrmBook::prepareContextMenu() {
    const QString tag = nodeTag(m_tree->currentItem());
    refreshOrdnerMenu();
    refreshBookmarkMenu();
    action(QStringLiteral("mn_Ordner"))->setVisible(tag != QLatin1String("Url"));
    action(QStringLiteral("mn_Bookmark"))->setVisible(tag != QLatin1String("Archiv"));
    action(QStringLiteral("mn_tz5"))->setVisible(tag == QLatin1String("Dir"));
}

void FrmBook::restoreContextMenu() {
    for (const char* name : {"mn_Ordner", "mn_Bookmark", "mn_tz5"})
        action(QString::fromLatin1(name))->setVisible(true);
}

// Rolling up and placing.

void FrmBook::mn_mini_Click() {
    if (m_rolledUp)
        return;
    m_restoreHeight = height();
    resize(width(), menuBar()->sizeHint().height() + m_toolbar->sizeHint().height());
}

void FrmBook::mn_aufklapp_Click() {
    if (m_restoreHeight < m_openingHeight)
        m_restoreHeight = m_openingHeight;
    resize(width(), m_restoreHeight);
    const QRect frame = m_frame->frameGeometry();
    if (m_restoreHeight + y() > frame.top() + frame.height())
        move(x(), frame.top() + frame.height() - frameGeometry().height());
}

void FrmBook::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    fitToHeight();
}

// Whatever made the window this high (rolling up, unrolling or the user's
// drag), it shows what fits: below the menu the toolbar, and below that the
// tree with the status bar only where there is room for them.
void FrmBook::fitToHeight() {
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

void FrmBook::place(const QString& corner) {
    const QRect f = m_frame->frameGeometry();
    const QSize own = frameGeometry().size();
    const bool right = corner == QLatin1String("mn_ro") || corner == QLatin1String("mn_ru");
    const bool bottom = corner == QLatin1String("mn_lu") || corner == QLatin1String("mn_ru");
    move(right ? f.left() + f.width() - own.width() : f.left(),
         bottom ? f.top() + f.height() - own.height() : f.top());
}
