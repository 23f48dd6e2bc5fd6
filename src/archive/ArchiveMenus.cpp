// The archive window's menus, its toolbar and the states they show.
#include "archive/ArchiveWindow.h"

#include <QAction>
#include <QButtonGroup>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

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
