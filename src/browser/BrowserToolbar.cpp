#include "browser/BrowserToolbar.h"

#include <QMenu>
#include <QStorageInfo>
#include <QStyle>
#include <QToolButton>

BrowserToolbar::BrowserToolbar(QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("tbToolBar"));
    setIconSize(QSize(20, 20));
    // Entries by key and text; an empty key is a separator.
    QMenu* refresh = addMenu(
        {{QStringLiteral("Refresh"), QStringLiteral("Refresh-Intervall...")},
         {QStringLiteral("Roundtrip"), QStringLiteral("Alle Links dieser Seite durchlaufen...")}});
    QMenu* home =
        addMenu({{QStringLiteral("GetHome"), QStringLiteral("Als Startadresse übernehmen...")}});
    QMenu* clone =
        addMenu({{QStringLiteral("Cloneit"), QStringLiteral("Browser klonen...")},
                 {QStringLiteral("Startit"), QStringLiteral("&Neuer Browser...")},
                 {QString(), QString()},
                 {QStringLiteral("OpenallA"), QStringLiteral("Alle Links dieser Seite öffnen...")},
                 {QString(), QString()},
                 {QStringLiteral("CloseallWin"), QStringLiteral("Alle Fenster &schließen...")}});
    QMenu* print = addMenu({{QStringLiteral("ppreview"), QStringLiteral("Druckvorschau...")},
                            {QStringLiteral("print"), QStringLiteral("Drucken...")}});
    m_driveMenu = addMenu({});
    // Read when the menu opens: the drives of that moment, and no look at
    // the mounts for every window that opens.
    connect(m_driveMenu, &QMenu::aboutToShow, this, &BrowserToolbar::fillDriveMenu);

    addButton(QStringLiteral("Back"), QStringLiteral("Zurück"), QStyle::SP_ArrowBack);
    addButton(QStringLiteral("Forward"), QStringLiteral("Vorwärts"), QStyle::SP_ArrowForward);
    addButton(QStringLiteral("Stop"), QStringLiteral("Abbruch"), QStyle::SP_BrowserStop);
    addButton(QStringLiteral("Refresh"), QStringLiteral("Aktualisieren"), QStyle::SP_BrowserReload,
              refresh);
    addButton(QStringLiteral("Home"), QStringLiteral("Startseite"), QStyle::SP_DirHomeIcon, home);
    addButton(QStringLiteral("Search"), QStringLiteral("Suchen"),
              QStyle::SP_FileDialogContentsView);
    addButton(QStringLiteral("Clone"), QStringLiteral("Klonen"), QStyle::SP_FileDialogNewFolder,
              clone);
    addButton(QStringLiteral("Drive"), QStringLiteral("Laufwerke"), QStyle::SP_DriveHDIcon,
              m_driveMenu);
    addButton(QStringLiteral("Mail"), QStringLiteral("E-Mail"), QStyle::SP_DialogOpenButton);
    addButton(QStringLiteral("Sendurl"), QStringLiteral("Link senden"), QStyle::SP_CommandLink);
    addButton(QStringLiteral("Bookm"), QStringLiteral("Bookmarks"),
              QStyle::SP_FileDialogDetailedView);
    addButton(QStringLiteral("Save"), QStringLiteral("Speichern"), QStyle::SP_DialogSaveButton);
    addButton(QStringLiteral("Print"), QStringLiteral("Drucken"), QStyle::SP_FileIcon, print);
}

BrowserToolbar::~BrowserToolbar() {
    // A tool bar that goes hands each of its widgets back to no parent
    // first, and each such step walks the focus chain of the whole frame:
    // with hundreds of windows open, closing one took tens of
    // milliseconds. Buttons deleted first are not handed back.
    qDeleteAll(m_buttons);
}

QMenu* BrowserToolbar::addMenu(const QList<std::pair<QString, QString>>& entries) {
    auto* menu = new QMenu(this);
    for (const auto& [key, text] : entries) {
        if (key.isEmpty())
            menu->addSeparator();
        else
            menu->addAction(text)->setData(key);
    }
    connect(menu, &QMenu::triggered, this, [this](QAction* a) {
        emit menuChosen(a->data().toString(), a->data().isValid() ? QString() : a->text());
    });
    return menu;
}

QToolButton* BrowserToolbar::addButton(const QString& key, const QString& text, int standardIcon,
                                       QMenu* menu) {
    auto* b = new QToolButton(this);
    b->setObjectName(key);
    b->setText(text);
    b->setAutoRaise(true);
    b->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardIcon)));
    if (menu) {
        b->setMenu(menu);
        b->setPopupMode(QToolButton::MenuButtonPopup);
    }
    connect(b, &QToolButton::clicked, this, [this, key] { emit buttonClicked(key); });
    addWidget(b);
    m_buttons.append(b);
    return b;
}

QToolButton* BrowserToolbar::button(const QString& key) const {
    return findChild<QToolButton*>(key);
}

void BrowserToolbar::setToolTips(const QString& homeUrl, const QString& searchEngine) {
    const std::pair<const char*, QString> tips[] = {
        {"Back", QStringLiteral("Zurück")},
        {"Forward", QStringLiteral("Vorwärst")},
        {"Stop", QStringLiteral("Abbruch")},
        {"Refresh", QStringLiteral("Aktualisieren")},
        {"Home", homeUrl},
        {"Search", searchEngine},
        {"Clone", QStringLiteral("Browser klonen...")},
        {"Drive", QStringLiteral("Laufwerke")},
        {"Mail", QStringLiteral("E-Mail")},
        {"Sendurl", QStringLiteral("Link per E-Mail versenden...")},
        {"Bookm", QStringLiteral("Bookmark Archiv")},
        {"Save", QStringLiteral("Webseite speichern...")},
        {"Print", QStringLiteral("Drucken...")},
    };
    for (const auto& [key, tip] : tips) {
        if (QToolButton* b = button(QLatin1String(key)))
            b->setToolTip(tip);
    }
}

void BrowserToolbar::fillDriveMenu() {
    m_driveMenu->clear();
    bool first = true;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        if (!first)
            m_driveMenu->addSeparator();
        first = false;
        QString text = volume.rootPath();
        const QString label = volume.displayName();
        if (!label.isEmpty() && label != text)
            text += QStringLiteral(" [") + label + QLatin1Char(']');
        m_driveMenu->addAction(text)->setProperty("drivePath", volume.rootPath());
    }
}

QString BrowserToolbar::drivePath(const QString& entryText) const {
    for (QAction* a : m_driveMenu->actions())
        if (!a->isSeparator() && a->text() == entryText)
            return a->property("drivePath").toString();
    return QString();
}
