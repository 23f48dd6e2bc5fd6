#include "frame/FrameActions.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace {
// In a menu's item list: a separator.
constexpr int Separator = -1;
// In a menu's item list: the "Aktives Fenster" submenu.
constexpr int ActiveWindowSubmenu = -2;
// In a menu's item list: the context menu's "Fenster" submenu.
constexpr int ContextWindowSubmenu = -3;
// In a menu's item list: the "Zoom" submenu.
constexpr int ZoomSubmenu = -4;
// In a menu's item list: the "Zuletzt geschlossene Fenster" submenu.
constexpr int ClosedWindowsSubmenu = -5;
// In a menu's item list: the "Rechtschreibprüfung" submenu.
constexpr int SpellingSubmenu = -6;
} // namespace

QAction* FrameActions::make(Command command, const QString& caption, bool checkable) {
    auto* a = new QAction(caption, this);
    a->setCheckable(checkable);
    m_actions[command] = a;
    return a;
}

QMenu* FrameActions::makeMenu(Menu menu, const QString& caption, QWidget* parent) {
    auto* m = new QMenu(caption, parent);
    m_menus[menu] = m;
    return m;
}

void FrameActions::fill(QMenu* menu, std::initializer_list<int> items) const {
    for (int item : items) {
        if (item == Separator)
            menu->addSeparator();
        else if (item == ActiveWindowSubmenu)
            menu->addMenu(m_menus[ActiveWindowMenu]);
        else if (item == ContextWindowSubmenu)
            menu->addMenu(m_menus[ContextWindowMenu]);
        else if (item == ZoomSubmenu)
            menu->addMenu(m_menus[ZoomMenu]);
        else if (item == ClosedWindowsSubmenu)
            menu->addMenu(m_menus[ClosedWindowsMenu]);
        else if (item == SpellingSubmenu)
            menu->addMenu(m_menus[SpellingMenu]);
        else
            menu->addAction(m_actions[item]);
    }
}

FrameActions::FrameActions(QMainWindow* frame, const QString& appTitle, const QString& websiteUrl)
    : QObject(frame) {
    // F12 of old, and Ctrl+T as in every browser.
    make(NewBrowser, QStringLiteral("&Neuer Browser..."))
        ->setShortcuts({QKeySequence(Qt::Key_F12), QKeySequence(Qt::CTRL | Qt::Key_T)});
    make(SavePage, QStringLiteral("Webseite &speichern..."))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    make(SendLink, QStringLiteral("&Link per E-Mail versenden..."));
    make(Print, QStringLiteral("&Drucken..."))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    make(PrintPreview, QStringLiteral("Druck&vorschau..."));
    make(Exit, QStringLiteral("&Beenden"))->setMenuRole(QAction::NoRole);
    make(TabBar, QStringLiteral("&Registerzeile ein/aus"), true);
    make(TabBarTop, QStringLiteral("Registerzeile &oben"), true);
    make(TabBarBottom, QStringLiteral("Registerzeile &unten"), true);
    make(StatusBar, QStringLiteral("&Statuszeile"), true)->setChecked(true);
    make(Archive, QStringLiteral("Bookmark &Archiv"));
    make(History, QStringLiteral("&Historie"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    make(MailProgram, QStringLiteral("&E-Mail Anwendung"));
    make(Settings, QStringLiteral("Korvix &Einstellungen..."))->setMenuRole(QAction::NoRole);
    make(InternetSettings, QStringLiteral("&Microsoft Internet Eigenschaften..."));
    make(TileBelow, QStringLiteral("&Untereinander"), true)->setEnabled(false);
    make(TileSideBySide, QStringLiteral("&Nebeneinander"), true)->setEnabled(false);
    make(Cascade, QStringLiteral("&Kaskadiert"), true)->setEnabled(false);
    make(SaveLayout, QStringLiteral("Anordnung &speichern"));
    make(LoadLayout, QStringLiteral("Anordnung &laden"));
    make(AllowPopups, QStringLiteral("HTML-Seiten &dürfen neue Fenster öffnen"), true)
        ->setChecked(true);
    make(ForbidPopups, QStringLiteral("HTML-Seiten dürfen ke&ine Fenster öffnen"), true);
    make(PopupsToBack, QStringLiteral("Neue Fenster im Hinter&grund öffnen"), true);
    make(AddressBar, QStringLiteral("&Adresszeile"), true)->setChecked(true);
    make(Toolbar, QStringLiteral("&Toolbar"), true)->setChecked(true);
    make(BothBars, QStringLiteral("&Beides"), true)->setChecked(true);
    make(CloseWindow, QStringLiteral("Schließen"))
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_F12), QKeySequence(Qt::CTRL | Qt::Key_W),
                        QKeySequence(Qt::CTRL | Qt::Key_F4)});
    make(CloseAllWindows, QStringLiteral("Alle Fenster &schließen..."))->setEnabled(false);
    make(About, QStringLiteral("&Info über ") + appTitle);
    make(Website, websiteUrl);
    make(PrefetchLinks, QStringLiteral("Link-Ziele im voraus &cachen ein/aus"), true);
    // What current browsers offer besides; F12 stays "Neuer Browser".
    make(FindInPage, QStringLiteral("In der Seite &suchen..."))->setShortcut(QKeySequence::Find);
    make(ZoomIn, QStringLiteral("&Vergrößern"))
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    make(ZoomOut, QStringLiteral("Ver&kleinern"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    make(ZoomReset, QStringLiteral("&Originalgröße"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    make(Downloads, QStringLiteral("&Downloads"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    make(ViewSource, QStringLiteral("&Quelltext anzeigen"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    make(DevTools, QStringLiteral("E&ntwicklerwerkzeuge"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
    make(SavePdf, QStringLiteral("Als &PDF speichern..."));
    make(FullScreen, QStringLiteral("&Vollbild"))->setShortcut(Qt::Key_F11);
    make(ReopenClosed, QStringLiteral("Geschlossenes Fenster &wieder öffnen"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    make(FocusAddress, QStringLiteral("&Adresse eingeben"))
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(Qt::Key_F6)});
    make(GoBack, QStringLiteral("Zurüc&k"))->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    make(GoForward, QStringLiteral("Vor&wärts"))
        ->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    make(Reload, QStringLiteral("&Neu laden"))
        ->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
    make(ReloadBypassingCache, QStringLiteral("Ohne &Cache neu laden"))
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)});
    make(StopLoading, QStringLiteral("&Laden abbrechen"))->setShortcut(Qt::Key_Escape);
    make(GoHome, QStringLiteral("Startseit&e"))->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    make(NextWindow, QStringLiteral("Nä&chstes Fenster"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab));
    // Under X the keyboard offers Ctrl+Shift+Tab as Ctrl+Shift+Tab or as
    // Ctrl+Backtab, never as Ctrl+Shift+Backtab; unmatched, it reached the
    // area's own Ctrl+Tab, which goes by the order windows were last active.
    // The first one is what the menu shows.
    make(PreviousWindow, QStringLiteral("&Vorheriges Fenster"))
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)});
    make(BookmarkPage, QStringLiteral("Seite zu den &Bookmarks..."))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    make(NewPrivateWindow, QStringLiteral("Neues &privates Fenster"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    make(BlockContent, QStringLiteral("&Inhalte blockieren"), true)->setChecked(true);
    make(AllowOnSite, QStringLiteral("A&uf dieser Seite nicht blockieren"), true);
    make(FilterLists, QStringLiteral("&Filterlisten..."));
    make(ThirdPartyCookies, QStringLiteral("&Cookies von Drittanbietern erlauben"), true);
    make(ThirdPartyCookiesOnSite,
         QStringLiteral("Drittanbieter-Coo&kies auf dieser Seite erlauben"), true);
    make(ClearBrowsingData, QStringLiteral("Browserdaten &löschen..."))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete));
    make(SavedPasswords, QStringLiteral("Gespeicherte Pass&wörter..."));
    make(SpellCheck, QStringLiteral("&Rechtschreibung prüfen"), true)->setChecked(true);
    make(SpellGerman, QStringLiteral("&Deutsch"), true)->setChecked(true);
    make(SpellEnglish, QStringLiteral("&English"), true);
    // Object names for whoever looks the actions up (tests, accessibility).
    const char* names[CommandCount] = {"newBrowser",
                                       "savePage",
                                       "sendLink",
                                       "print",
                                       "printPreview",
                                       "exit",
                                       "tabBar",
                                       "tabBarTop",
                                       "tabBarBottom",
                                       "statusBar",
                                       "archive",
                                       "history",
                                       "mailProgram",
                                       "settings",
                                       "internetSettings",
                                       "tileBelow",
                                       "tileSideBySide",
                                       "cascade",
                                       "saveLayout",
                                       "loadLayout",
                                       "allowPopups",
                                       "forbidPopups",
                                       "popupsToBack",
                                       "addressBar",
                                       "toolbar",
                                       "bothBars",
                                       "closeWindow",
                                       "closeAllWindows",
                                       "about",
                                       "website",
                                       "prefetchLinks",
                                       "findInPage",
                                       "zoomIn",
                                       "zoomOut",
                                       "zoomReset",
                                       "downloads",
                                       "viewSource",
                                       "devTools",
                                       "savePdf",
                                       "fullScreen",
                                       "reopenClosed",
                                       "focusAddress",
                                       "goBack",
                                       "goForward",
                                       "reload",
                                       "reloadBypassingCache",
                                       "stopLoading",
                                       "goHome",
                                       "nextWindow",
                                       "previousWindow",
                                       "bookmarkPage",
                                       "newPrivateWindow",
                                       "blockContent",
                                       "allowOnSite",
                                       "filterLists",
                                       "thirdPartyCookies",
                                       "thirdPartyCookiesOnSite",
                                       "clearBrowsingData",
                                       "savedPasswords",
                                       "spellCheck",
                                       "spellGerman",
                                       "spellEnglish"};
    for (int c = 0; c < CommandCount; ++c)
        m_actions[size_t(c)]->setObjectName(QString::fromLatin1(names[c]));

    QMenuBar* bar = frame->menuBar();
    const auto top = [this, bar](Menu menu, const QString& caption) {
        QMenu* m = makeMenu(menu, caption, bar);
        bar->addMenu(m);
        return m;
    };
    QMenu* file = top(FileMenu, QStringLiteral("&Datei"));
    QMenu* view = top(ViewMenu, QStringLiteral("&Ansicht"));
    QMenu* tools = top(ToolsMenu, QStringLiteral("&Tools"));
    QMenu* window = top(WindowMenu, QStringLiteral("&Fenster"));
    QMenu* help = top(HelpMenu, QStringLiteral("&?"));
    QMenu* active = makeMenu(ActiveWindowMenu, QStringLiteral("&Aktives Fenster"), frame);
    active->menuAction()->setEnabled(false);
    QMenu* context = makeMenu(ContextMenu, QString(), frame);
    QMenu* contextWindow = makeMenu(ContextWindowMenu, QStringLiteral("&Fenster"), context);
    QMenu* tabContext = makeMenu(TabContextMenu, QString(), frame);
    QMenu* zoom = makeMenu(ZoomMenu, QStringLiteral("&Zoom"), view);
    makeMenu(ClosedWindowsMenu, QStringLiteral("&Zuletzt geschlossene Fenster"), file);
    QMenu* spelling = makeMenu(SpellingMenu, QStringLiteral("Rechtschreibprüfung"), tools);
    spelling->setObjectName(QStringLiteral("spellingMenu"));

    fill(file, {NewBrowser, NewPrivateWindow, ReopenClosed, ClosedWindowsSubmenu, Separator,
                SavePage, Separator, SendLink, Separator, Print, PrintPreview, Separator, Exit});
    fill(view, {TabBar, TabBarTop, TabBarBottom, Separator, StatusBar, Separator, GoBack, GoForward,
                Reload, ReloadBypassingCache, StopLoading, GoHome, FocusAddress, Separator,
                FindInPage, ZoomSubmenu, FullScreen});
    fill(zoom, {ZoomIn, ZoomOut, ZoomReset});
    fill(tools, {Archive,           BookmarkPage,
                 History,           Separator,
                 MailProgram,       Separator,
                 Settings,          Separator,
                 InternetSettings,  Separator,
                 Downloads,         Separator,
                 ViewSource,        DevTools,
                 SavePdf,           Separator,
                 BlockContent,      AllowOnSite,
                 FilterLists,       Separator,
                 ThirdPartyCookies, ThirdPartyCookiesOnSite,
                 ClearBrowsingData, Separator,
                 SavedPasswords,    SpellingSubmenu});
    fill(spelling, {SpellCheck, Separator, SpellGerman, SpellEnglish});
    fill(active, {AddressBar, Toolbar, BothBars});
    fill(window, {TileBelow, TileSideBySide, Cascade, Separator, SaveLayout, LoadLayout, Separator,
                  AllowPopups, ForbidPopups, PopupsToBack, Separator, ActiveWindowSubmenu,
                  Separator, NextWindow, PreviousWindow, CloseWindow, Separator, CloseAllWindows});
    fill(help, {About, Separator, Website});
    fill(contextWindow, {TileBelow, TileSideBySide, Cascade, Separator, SaveLayout, LoadLayout,
                         Separator, AllowPopups, ForbidPopups, PopupsToBack, Separator,
                         ActiveWindowSubmenu, Separator, CloseWindow, Separator, CloseAllWindows});
    fill(context, {NewBrowser,
                   Separator,
                   SavePage,
                   Separator,
                   SendLink,
                   Separator,
                   Print,
                   PrintPreview,
                   Separator,
                   TabBar,
                   TabBarTop,
                   TabBarBottom,
                   Separator,
                   StatusBar,
                   Separator,
                   Archive,
                   History,
                   Separator,
                   PrefetchLinks,
                   Separator,
                   MailProgram,
                   Separator,
                   Settings,
                   Separator,
                   InternetSettings,
                   Separator,
                   ContextWindowSubmenu,
                   Separator,
                   Exit});
    fill(tabContext, {TabBar, TabBarTop, TabBarBottom});
}

void FrameActions::setChecked(std::initializer_list<Command> commands, bool checked) const {
    for (Command c : commands)
        m_actions[c]->setChecked(checked);
}

void FrameActions::setEnabled(std::initializer_list<Command> commands, bool enabled) const {
    for (Command c : commands)
        m_actions[c]->setEnabled(enabled);
}
