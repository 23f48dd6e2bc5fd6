#include "browser/BrowserToolbar.h"

#include <QMenu>
#include <QStorageInfo>
#include <QStyle>
#include <QToolButton>

BrowserToolbar::BrowserToolbar(QWidget* parent) : QToolBar(parent) {
    using C = Command;
    setObjectName(QStringLiteral("tbToolBar"));
    setIconSize(QSize(20, 20));
    QMenu* refresh =
        addMenu({{C::RefreshInterval, QStringLiteral("Refresh-Intervall...")},
                 {C::RoundTrip, QStringLiteral("Alle Links dieser Seite durchlaufen...")}});
    QMenu* home = addMenu({{C::TakeAsHome, QStringLiteral("Als Startadresse übernehmen...")}});
    QMenu* clone = addMenu({{C::CloneWindow, QStringLiteral("Browser klonen...")},
                            {C::NewWindow, QStringLiteral("&Neuer Browser...")},
                            {C::NewWindow, QString()},
                            {C::OpenAllLinks, QStringLiteral("Alle Links dieser Seite öffnen...")},
                            {C::OpenAllLinks, QString()},
                            {C::CloseAllWindows, QStringLiteral("Alle Fenster &schließen...")}});
    QMenu* print = addMenu({{C::PrintPreview, QStringLiteral("Druckvorschau...")},
                            {C::PrintFromMenu, QStringLiteral("Drucken...")}});
    m_driveMenu = addMenu({});
    // Read when the menu opens: the drives of that moment, and no look at
    // the mounts for every window that opens.
    connect(m_driveMenu, &QMenu::aboutToShow, this, &BrowserToolbar::fillDriveMenu);

    addButton(C::Back, QStringLiteral("Back"), QStringLiteral("Zurück"), QStyle::SP_ArrowBack);
    addButton(C::Forward, QStringLiteral("Forward"), QStringLiteral("Vorwärts"),
              QStyle::SP_ArrowForward);
    addButton(C::Stop, QStringLiteral("Stop"), QStringLiteral("Abbruch"), QStyle::SP_BrowserStop);
    addButton(C::Refresh, QStringLiteral("Refresh"), QStringLiteral("Aktualisieren"),
              QStyle::SP_BrowserReload, refresh);
    addButton(C::Home, QStringLiteral("Home"), QStringLiteral("Startseite"), QStyle::SP_DirHomeIcon,
              home);
    addButton(C::Search, QStringLiteral("Search"), QStringLiteral("Suchen"),
              QStyle::SP_FileDialogContentsView);
    addButton(C::Clone, QStringLiteral("Clone"), QStringLiteral("Klonen"),
              QStyle::SP_FileDialogNewFolder, clone);
    addButton(C::Drives, QStringLiteral("Drive"), QStringLiteral("Laufwerke"),
              QStyle::SP_DriveHDIcon, m_driveMenu);
    addButton(C::Mail, QStringLiteral("Mail"), QStringLiteral("E-Mail"),
              QStyle::SP_DialogOpenButton);
    addButton(C::SendLink, QStringLiteral("Sendurl"), QStringLiteral("Link senden"),
              QStyle::SP_CommandLink);
    addButton(C::Archive, QStringLiteral("Bookm"), QStringLiteral("Bookmarks"),
              QStyle::SP_FileDialogDetailedView);
    addButton(C::Save, QStringLiteral("Save"), QStringLiteral("Speichern"),
              QStyle::SP_DialogSaveButton);
    addButton(C::Print, QStringLiteral("Print"), QStringLiteral("Drucken"), QStyle::SP_FileIcon,
              print);
}

BrowserToolbar::~BrowserToolbar() {
    // A tool bar that goes hands each of its widgets back to no parent
    // first, and each such step walks the focus chain of the whole frame:
    // with hundreds of windows open, closing one took tens of
    // milliseconds. Buttons deleted first are not handed back.
    qDeleteAll(m_buttons);
}

QMenu* BrowserToolbar::addMenu(const QList<std::pair<Command, QString>>& entries) {
    auto* menu = new QMenu(this);
    for (const auto& [command, text] : entries) {
        if (text.isEmpty())
            menu->addSeparator();
        else
            menu->addAction(text)->setData(QVariant::fromValue(command));
    }
    connect(menu, &QMenu::triggered, this, [this](QAction* a) {
        if (a->data().isValid())
            emit menuChosen(a->data().value<Command>(), QString());
        else
            emit menuChosen(Command::Drive, a->property("drivePath").toString());
    });
    return menu;
}

QToolButton* BrowserToolbar::addButton(Command command, const QString& key, const QString& text,
                                       int standardIcon, QMenu* menu) {
    auto* b = new QToolButton(this);
    b->setObjectName(key);
    b->setText(text);
    b->setAutoRaise(true);
    b->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardIcon)));
    if (menu) {
        b->setMenu(menu);
        b->setPopupMode(QToolButton::MenuButtonPopup);
    }
    connect(b, &QToolButton::clicked, this, [this, command] { emit buttonClicked(command); });
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
