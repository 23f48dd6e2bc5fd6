// The frame's menu bar, its context menus and the states they show.
#include "app/Dialogs.h"
#include "browser/BrowserWindow.h"
#include "common/Product.h"
#include "frame/MainFrame.h"
#include "frame/model/Arrangement.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QStyleOption>

QAction* MainFrame::addItem(QMenu* menu, const QString& name, const QString& caption,
                            void (MainFrame::*handler)(), bool checkable) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    a->setCheckable(checkable);
    if (handler)
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    m_actions.insert(name, a);
    return a;
}

QAction* MainFrame::addSeparator(QMenu* menu, const QString& name) {
    QAction* a = menu->addSeparator();
    a->setObjectName(name);
    m_actions.insert(name, a);
    return a;
}

QAction* MainFrame::action(const QString& name) const {
    return m_actions.value(name);
}
QMenu* MainFrame::menu(const QString& name) const {
    return m_menus.value(name);
}

void MainFrame::setMenuCaption(const QString& name, const QString& caption) {
    if (QAction* a = action(name))
        a->setText(caption);
    else if (QMenu* m = menu(name))
        m->setTitle(caption);
}

void MainFrame::setChecked(const QStringList& names, bool checked) {
    for (const QString& n : names)
        if (QAction* a = action(n))
            a->setChecked(checked);
}

void MainFrame::setEnabled(const QStringList& names, bool enabled) {
    for (const QString& n : names) {
        if (QAction* a = action(n))
            a->setEnabled(enabled);
        else if (QMenu* m = menu(n))
            m->setEnabled(enabled);
    }
}

void MainFrame::buildMenus() {
    QMenuBar* bar = menuBar();
    auto topMenu = [this, bar](const QString& name, const QString& caption) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(name);
        m_menus.insert(name, m);
        m_actions.insert(name, m->menuAction());
        return m;
    };
    auto subMenu = [this](QMenu* parent, const QString& name, const QString& caption) {
        QMenu* m = parent->addMenu(caption);
        m->setObjectName(name);
        m_menus.insert(name, m);
        m_actions.insert(name, m->menuAction());
        return m;
    };

    QMenu* datei = topMenu(QStringLiteral("mn_Datei"), QStringLiteral("&Datei"));
    addItem(datei, QStringLiteral("mn_Browser"), QStringLiteral("&Neuer Browser..."),
            &MainFrame::mn_Browser_Click)
        ->setShortcut(QKeySequence(Qt::Key_F12));
    addSeparator(datei, QStringLiteral("mn_t1"));
    addItem(datei, QStringLiteral("mn_save"), QStringLiteral("Webseite &speichern..."));
    addSeparator(datei, QStringLiteral("mn_t8"));
    addItem(datei, QStringLiteral("mn_send"), QStringLiteral("&Link per E-Mail versenden..."),
            &MainFrame::mn_send_Click);
    addSeparator(datei, QStringLiteral("mn_t9"));
    addItem(datei, QStringLiteral("mn_print"), QStringLiteral("&Drucken..."));
    addItem(datei, QStringLiteral("mn_ppreview"), QStringLiteral("Druck&vorschau..."));
    addSeparator(datei, QStringLiteral("mn_t13"));
    addItem(datei, QStringLiteral("mn_Exit"), QStringLiteral("&Beenden"))
        ->setMenuRole(QAction::NoRole);
    connect(action(QStringLiteral("mn_save")), &QAction::triggered, this,
            [this] { webCommand(WebView::SaveAs); });
    connect(action(QStringLiteral("mn_print")), &QAction::triggered, this,
            [this] { webCommand(WebView::Print); });
    connect(action(QStringLiteral("mn_ppreview")), &QAction::triggered, this,
            [this] { webCommand(WebView::PrintPreview); });
    connect(action(QStringLiteral("mn_Exit")), &QAction::triggered, this, &QWidget::close);
    connect(datei, &QMenu::aboutToShow, this, &MainFrame::mn_Datei_Click);

    QMenu* ansicht = topMenu(QStringLiteral("mn_Ansicht"), QStringLiteral("&Ansicht"));
    addItem(ansicht, QStringLiteral("mn_Register"), QStringLiteral("&Registerzeile ein/aus"),
            &MainFrame::mn_Register_Click, true);
    addItem(ansicht, QStringLiteral("mn_RegisterOben"), QStringLiteral("Registerzeile &oben"),
            &MainFrame::mn_RegisterOben_Click, true);
    addItem(ansicht, QStringLiteral("mn_RegisterUnten"), QStringLiteral("Registerzeile &unten"),
            &MainFrame::mn_RegisterUnten_Click, true);
    addSeparator(ansicht, QStringLiteral("mn_t11"));
    addItem(ansicht, QStringLiteral("mn_Toggle"), QStringLiteral("&Statuszeile"),
            &MainFrame::mn_Toggle_Click, true)
        ->setChecked(true);

    QMenu* tools = topMenu(QStringLiteral("mn_Anzeige"), QStringLiteral("&Tools"));
    addItem(tools, QStringLiteral("mn_Bookmarks"), QStringLiteral("Bookmark &Archiv"),
            &MainFrame::StartBookmEd);
    addItem(tools, QStringLiteral("mn_Historie"), QStringLiteral("&Historie"),
            &MainFrame::mn_Historie_Click);
    addSeparator(tools, QStringLiteral("mn_t5"));
    addItem(tools, QStringLiteral("mn_Email"), QStringLiteral("&E-Mail Anwendung"),
            &MainFrame::StartMail);
    addSeparator(tools, QStringLiteral("mn_tr13"));
    addItem(tools, QStringLiteral("mn_Einstellungen"), QStringLiteral("Korvix &Einstellungen..."),
            &MainFrame::mn_Einstellungen_Click)
        ->setMenuRole(QAction::NoRole);
    addSeparator(tools, QStringLiteral("mn_tr14"));
    addItem(tools, QStringLiteral("mn_IEProp"),
            QStringLiteral("&Microsoft Internet Eigenschaften..."), &MainFrame::mn_IEProp_Click);
    connect(tools, &QMenu::aboutToShow, this, &MainFrame::mn_Anzeige_Click);

    QMenu* fenster = topMenu(QStringLiteral("mn_Fenster"), QStringLiteral("&Fenster"));
    addItem(fenster, QStringLiteral("mn_Untereinander"), QStringLiteral("&Untereinander"),
            &MainFrame::mn_Untereinander_Click, true);
    addItem(fenster, QStringLiteral("mn_Nebeneinander"), QStringLiteral("&Nebeneinander"),
            &MainFrame::mn_Nebeneinander_Click, true);
    addItem(fenster, QStringLiteral("mn_Kaskadiert"), QStringLiteral("&Kaskadiert"),
            &MainFrame::mn_Kaskadiert_Click, true);
    addSeparator(fenster, QStringLiteral("mn_t2"));
    addItem(fenster, QStringLiteral("mn_Anordnung_save"), QStringLiteral("Anordnung &speichern"),
            &MainFrame::mn_Anordnung_save_Click);
    addItem(fenster, QStringLiteral("mn_Anordnung_load"), QStringLiteral("Anordnung &laden"),
            &MainFrame::mn_Anordnung_load_Click);
    addSeparator(fenster, QStringLiteral("mn_t7"));
    addItem(fenster, QStringLiteral("mn_EnablePopup"),
            QStringLiteral("HTML-Seiten &dürfen neue Fenster öffnen"),
            &MainFrame::mn_EnablePopup_Click, true)
        ->setChecked(true);
    addItem(fenster, QStringLiteral("mn_DisablePopup"),
            QStringLiteral("HTML-Seiten dürfen ke&ine Fenster öffnen"),
            &MainFrame::mn_DisablePopup_Click, true);
    addItem(fenster, QStringLiteral("mn_PopupToBack"),
            QStringLiteral("Neue Fenster im Hinter&grund öffnen"), &MainFrame::mn_PopupToBack_Click,
            true);
    addSeparator(fenster, QStringLiteral("mn_t10"));
    QMenu* aktives =
        subMenu(fenster, QStringLiteral("mn_Aktives"), QStringLiteral("&Aktives Fenster"));
    addItem(aktives, QStringLiteral("mn_adresszeile"), QStringLiteral("&Adresszeile"),
            &MainFrame::mn_adresszeile_Click, true)
        ->setChecked(true);
    addItem(aktives, QStringLiteral("mn_toolbar"), QStringLiteral("&Toolbar"),
            &MainFrame::mn_toolbar_Click, true)
        ->setChecked(true);
    addItem(aktives, QStringLiteral("mn_beides"), QStringLiteral("&Beides"),
            &MainFrame::mn_beides_Click, true)
        ->setChecked(true);
    addSeparator(fenster, QStringLiteral("mn_t6"));
    addItem(fenster, QStringLiteral("mn_Aktivschließen"), QStringLiteral("Schließen"),
            &MainFrame::mn_Aktivschließen_Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F12));
    addSeparator(fenster, QStringLiteral("mn_tr12"));
    addItem(fenster, QStringLiteral("mn_Alleschließen"),
            QStringLiteral("Alle Fenster &schließen..."), &MainFrame::mn_Alleschließen_Click);
    connect(fenster, &QMenu::aboutToShow, this, [this] {
        MenuFenster();
        fillWindowList();
    });
    setEnabled({QStringLiteral("mn_Untereinander"), QStringLiteral("mn_Nebeneinander"),
                QStringLiteral("mn_Kaskadiert"), QStringLiteral("mn_Aktives"),
                QStringLiteral("mn_Alleschließen")},
               false);

    QMenu* info = topMenu(QStringLiteral("mn_Info"), QStringLiteral("&?"));
    addItem(info, QStringLiteral("mn_Korvix"), QStringLiteral("&Info über Korvix 6.4"),
            &MainFrame::mn_Korvix_Click);
    addSeparator(info, QStringLiteral("mn_t4"));
    addItem(info, QStringLiteral("mn_Website"), Product::WebsiteUrl, &MainFrame::mn_Website_Click);

    // The frame's context menu: every item carries its menu-bar twin's caption
    // and runs the twin's handler.
    auto* ctxt = new QMenu(this);
    ctxt->setObjectName(QStringLiteral("mn_ctxt"));
    m_menus.insert(QStringLiteral("mn_ctxt"), ctxt);
    auto item = [this](QMenu* m, const QString& name, const QString& twinName) {
        QAction* a = m->addAction(action(twinName)->text());
        a->setObjectName(name);
        a->setCheckable(action(twinName)->isCheckable());
        a->setChecked(action(twinName)->isChecked());
        a->setEnabled(action(twinName)->isEnabled());
        m_actions.insert(name, a);
        twin(name, twinName);
    };
    item(ctxt, QStringLiteral("mn_ctxtBrowser"), QStringLiteral("mn_Browser"));
    addSeparator(ctxt, QStringLiteral("mn_ctxt_3"));
    item(ctxt, QStringLiteral("mn_ctxtSave"), QStringLiteral("mn_save"));
    addSeparator(ctxt, QStringLiteral("mn_ctxt_5"));
    item(ctxt, QStringLiteral("mn_ctxtSend"), QStringLiteral("mn_send"));
    addSeparator(ctxt, QStringLiteral("mn_ctxt_6"));
    item(ctxt, QStringLiteral("mn_ctxtPrint"), QStringLiteral("mn_print"));
    item(ctxt, QStringLiteral("mn_ctxtPpreview"), QStringLiteral("mn_ppreview"));
    addSeparator(ctxt, QStringLiteral("mn_ctxt_8"));
    item(ctxt, QStringLiteral("mn_ctxtRegister"), QStringLiteral("mn_Register"));
    item(ctxt, QStringLiteral("mn_ctxtRegisterOben"), QStringLiteral("mn_RegisterOben"));
    item(ctxt, QStringLiteral("mn_ctxtRegisterUnten"), QStringLiteral("mn_RegisterUnten"));
    addSeparator(ctxt, QStringLiteral("mn_ctxt_9"));
    item(ctxt, QStringLiteral("mn_ctxtStatus"), QStringLiteral("mn_Toggle"));
    addSeparator(ctxt, QStringLiteral("mn_ctxt_7"));
    item(ctxt, QStringLiteral("mn_ctxtBookm"), QStringLiteral("mn_Bookmarks"));
    item(ctxt, QStringLiteral("mn_ctxtHistorie"), QStringLiteral("mn_Historie"));
    addSeparator(ctxt, QStringLiteral("mn_ctxt_4"));
    QAction* fcache = ctxt->addAction(QStringLiteral("Link-Ziele im voraus &cachen ein/aus"));
    fcache->setObjectName(QStringLiteral("mn_ctxtFcache"));
    m_actions.insert(QStringLiteral("mn_ctxtFcache"), fcache);
    addSeparator(ctxt, QStringLiteral("mn_ctxt_13"));
    item(ctxt, QStringLiteral("mn_ctxtEmail"), QStringLiteral("mn_Email"));
    addSeparator(ctxt, QStringLiteral("mn_ctxt_10"));
    item(ctxt, QStringLiteral("mn_ctxtEinstell"), QStringLiteral("mn_Einstellungen"));
    addSeparator(ctxt, QStringLiteral("mn_ctxt_11"));
    item(ctxt, QStringLiteral("mn_ctxtIEProp"), QStringLiteral("mn_IEProp"));
    addSeparator(ctxt, QStringLiteral("mn_ctxt_1"));
    QMenu* cf = subMenu(ctxt, QStringLiteral("mn_ctxtFenster"), QStringLiteral("&Fenster"));
    item(cf, QStringLiteral("mn_ctxtUntereinander"), QStringLiteral("mn_Untereinander"));
    item(cf, QStringLiteral("mn_ctxtNebeneinander"), QStringLiteral("mn_Nebeneinander"));
    item(cf, QStringLiteral("mn_ctxtKaskadiert"), QStringLiteral("mn_Kaskadiert"));
    addSeparator(cf, QStringLiteral("mn_ctxt_1_1"));
    item(cf, QStringLiteral("mn_ctxtAnordnung_save"), QStringLiteral("mn_Anordnung_save"));
    item(cf, QStringLiteral("mn_ctxtAnordnung_load"), QStringLiteral("mn_Anordnung_load"));
    addSeparator(cf, QStringLiteral("mn_ctxt_1_2"));
    item(cf, QStringLiteral("mn_ctxtEnablePopup"), QStringLiteral("mn_EnablePopup"));
    item(cf, QStringLiteral("mn_ctxtDisablePopup"), QStringLiteral("mn_DisablePopup"));
    item(cf, QStringLiteral("mn_ctxtPopupToBack"), QStringLiteral("mn_PopupToBack"));
    addSeparator(cf, QStringLiteral("mn_ctxt_1_4"));
    QMenu* ca = subMenu(cf, QStringLiteral("mn_ctxtAktives"), QStringLiteral("&Aktives Fenster"));
    item(ca, QStringLiteral("mn_ctxtAdresszeile"), QStringLiteral("mn_adresszeile"));
    item(ca, QStringLiteral("mn_ctxtToolbar"), QStringLiteral("mn_toolbar"));
    item(ca, QStringLiteral("mn_ctxtBeides"), QStringLiteral("mn_beides"));
    addSeparator(cf, QStringLiteral("mn_ctxt_1_3"));
    item(cf, QStringLiteral("mn_ctxtAktivschließen"), QStringLiteral("mn_Aktivschließen"));
    addSeparator(cf, QStringLiteral("mn_ctxt_1_5"));
    item(cf, QStringLiteral("mn_ctxtAlleschließen"), QStringLiteral("mn_Alleschließen"));
    addSeparator(ctxt, QStringLiteral("mn_ctxt_2"));
    item(ctxt, QStringLiteral("mn_ctxtExit"), QStringLiteral("mn_Exit"));
    connect(ctxt, &QMenu::aboutToShow, this, &MainFrame::MenuFenster);
    connect(cf, &QMenu::aboutToShow, this, &MainFrame::MenuFenster);

    // The tab strip's own context menu.
    auto* dummy = new QMenu(this);
    dummy->setObjectName(QStringLiteral("mn_RegisterDummy"));
    m_menus.insert(QStringLiteral("mn_RegisterDummy"), dummy);
    item(dummy, QStringLiteral("mn_ctxtRegisterT"), QStringLiteral("mn_Register"));
    item(dummy, QStringLiteral("mn_ctxtRegisterObenT"), QStringLiteral("mn_RegisterOben"));
    item(dummy, QStringLiteral("mn_ctxtRegisterUntenT"), QStringLiteral("mn_RegisterUnten"));
}

// A context item runs its twin's handler, exactly as a click on the twin
// does: the twin toggles as it is triggered and its handler sets both check
// marks, so the context item's own toggling is undone first.
void MainFrame::twin(const QString& name, const QString& twinName) {
    QAction* a = action(name);
    QAction* t = action(twinName);
    connect(a, &QAction::triggered, this, [a, t] {
        if (a->isCheckable())
            a->setChecked(!a->isChecked());
        t->trigger();
    });
}

void MainFrame::mn_Datei_Click() {
    const bool active = m_mdi->activeSubWindow() != nullptr;
    setEnabled({QStringLiteral("mn_save"), QStringLiteral("mn_print"),
                QStringLiteral("mn_ppreview"), QStringLiteral("mn_send")},
               active);
}

void MainFrame::mn_Anzeige_Click() {
    action(QStringLiteral("mn_Historie"))->setEnabled(History.count() >= 2);
    action(QStringLiteral("mn_ctxtHistorie"))->setEnabled(History.count() >= 2);
}

void MainFrame::MenuFenster() {
    setChecked({QStringLiteral("mn_EnablePopup"), QStringLiteral("mn_ctxtEnablePopup")}, bPopup);
    setEnabled({QStringLiteral("mn_PopupToBack"), QStringLiteral("mn_ctxtPopupToBack")}, bPopup);

    // Loaded windows of the program: the frame, its browser windows and the
    // tool windows (archive, history).
    const int loaded = 1 + m_browser.size() + (bIsOpenBook ? 1 : 0) + (bIsOpenHistory ? 1 : 0);
    const bool onlyToolWindows = (loaded == 2 && (bIsOpenBook || bIsOpenHistory)) ||
                                 (loaded == 3 && bIsOpenBook && bIsOpenHistory);

    BrowserWindow* active = activeBrowser();
    const QStringList ctxtPageItems = {QStringLiteral("mn_ctxtSave"), QStringLiteral("mn_ctxtSend"),
                                       QStringLiteral("mn_ctxtPpreview"),
                                       QStringLiteral("mn_ctxtPrint")};
    const QStringList saveItems = {QStringLiteral("mn_Anordnung_save"),
                                   QStringLiteral("mn_ctxtAnordnung_save")};
    const QStringList loadItems = {QStringLiteral("mn_Anordnung_load"),
                                   QStringLiteral("mn_ctxtAnordnung_load")};
    if (!m_mdi->activeSubWindow()) {
        setEnabled(saveItems, false);
        setEnabled(loadItems, true);
        setEnabled(ctxtPageItems, false);
    } else {
        setEnabled(loadItems, false);
        setEnabled(ctxtPageItems, true);
    }

    const QStringList arrangeItems = {
        QStringLiteral("mn_Untereinander"),  QStringLiteral("mn_Kaskadiert"),
        QStringLiteral("mn_Nebeneinander"),  QStringLiteral("mn_ctxtUntereinander"),
        QStringLiteral("mn_ctxtKaskadiert"), QStringLiteral("mn_ctxtNebeneinander")};
    const QStringList closeItems = {QStringLiteral("mn_Alleschließen"),
                                    QStringLiteral("mn_Aktivschließen"),
                                    QStringLiteral("mn_Aktives"),
                                    QStringLiteral("mn_ctxtAlleschließen"),
                                    QStringLiteral("mn_ctxtAktivschließen"),
                                    QStringLiteral("mn_ctxtAktives")};
    if (loaded > 1 && !onlyToolWindows) {
        setEnabled(saveItems, !(active && active->isMaximized()));
        if (active) {
            const bool adress = active->bandVisible(BrowserWindow::Band::Adress);
            const bool toolbar = active->bandVisible(BrowserWindow::Band::Toolbar);
            setChecked({QStringLiteral("mn_adresszeile"), QStringLiteral("mn_ctxtAdresszeile")},
                       adress);
            setChecked({QStringLiteral("mn_toolbar"), QStringLiteral("mn_ctxtToolbar")}, toolbar);
            const QStringList beides = {QStringLiteral("mn_beides"),
                                        QStringLiteral("mn_ctxtBeides")};
            for (const QString& n : beides)
                action(n)->setVisible(adress == toolbar);
            if (adress == toolbar)
                setChecked(beides, adress);
        }
        setEnabled(arrangeItems, true);
        setEnabled(closeItems, true);
    } else {
        setEnabled(arrangeItems, false);
        setChecked(arrangeItems, false);
        setEnabled(closeItems, false);
    }
}

void MainFrame::fillWindowList() {
    QMenu* fenster = menu(QStringLiteral("mn_Fenster"));
    for (QAction* a : m_windowListActions) {
        fenster->removeAction(a);
        a->deleteLater();
    }
    m_windowListActions.clear();
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    m_windowListActions.append(fenster->addSeparator());
    int n = 0;
    for (QMdiSubWindow* w : windows) {
        ++n;
        QString title = w->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString text = n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title)
                                    : QStringLiteral("%1 %2").arg(n).arg(title);
        QAction* a = fenster->addAction(text);
        a->setCheckable(true);
        a->setChecked(w == m_mdi->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_mdi->setActiveSubWindow(w); });
        m_windowListActions.append(a);
    }
}

void MainFrame::popupActiveWindowMenu(const QPoint& globalPos) {
    MenuFenster();
    menu(QStringLiteral("mn_Aktives"))->popup(globalPos);
}

// Arrangement.

void MainFrame::arrange(int code) {
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    QList<QMdiSubWindow*> visible;
    for (QMdiSubWindow* w : windows)
        if (!w->isMinimized() && !w->isHidden())
            visible.append(w);
    const QRect area = m_mdi->viewport()->rect();
    QList<QRect> rects;
    if (code == 0) {
        // Each step shows the title bar of the window behind.
        QStyleOptionTitleBar option;
        option.initFrom(m_mdi);
        const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, m_mdi);
        rects = Arrangement::cascade(area, int(visible.size()), step);
    } else {
        rects = code == 1 ? Arrangement::oneBelowOther(area, int(visible.size()))
                          : Arrangement::sideBySide(area, int(visible.size()));
    }
    for (int i = 0; i < visible.size(); ++i) {
        if (visible[i]->isMaximized())
            visible[i]->showNormal();
        visible[i]->setGeometry(rects[i]);
        if (code == 0)
            visible[i]->raise();
    }
    if (code == 0 && m_mdi->activeSubWindow())
        m_mdi->activeSubWindow()->raise();
}

void MainFrame::applyArrangement() {
    if (action(QStringLiteral("mn_Untereinander"))->isChecked())
        arrange(1);
    else if (action(QStringLiteral("mn_Kaskadiert"))->isChecked())
        arrange(0);
    else if (action(QStringLiteral("mn_Nebeneinander"))->isChecked())
        arrange(2);
}

void MainFrame::arrangeAndCheck(int code, const QString& name) {
    arrange(code);
    for (const QString& n : {QStringLiteral("mn_Untereinander"), QStringLiteral("mn_Nebeneinander"),
                             QStringLiteral("mn_Kaskadiert")})
        setChecked({n, QStringLiteral("mn_ctxt") + n.mid(3)}, n == name);
}

void MainFrame::mn_Untereinander_Click() {
    arrangeAndCheck(1, QStringLiteral("mn_Untereinander"));
}
void MainFrame::mn_Nebeneinander_Click() {
    arrangeAndCheck(2, QStringLiteral("mn_Nebeneinander"));
}
void MainFrame::mn_Kaskadiert_Click() {
    arrangeAndCheck(0, QStringLiteral("mn_Kaskadiert"));
}

// Popup policy.

void MainFrame::mn_DisablePopup_Click() {
    setChecked({QStringLiteral("mn_DisablePopup"), QStringLiteral("mn_ctxtDisablePopup")}, true);
    setChecked({QStringLiteral("mn_EnablePopup"), QStringLiteral("mn_ctxtEnablePopup")}, false);
    setEnabled({QStringLiteral("mn_PopupToBack"), QStringLiteral("mn_ctxtPopupToBack")}, false);
    bPopup = false;
}

void MainFrame::mn_EnablePopup_Click() {
    setChecked({QStringLiteral("mn_EnablePopup"), QStringLiteral("mn_ctxtEnablePopup")}, true);
    setChecked({QStringLiteral("mn_DisablePopup"), QStringLiteral("mn_ctxtDisablePopup")}, false);
    setEnabled({QStringLiteral("mn_PopupToBack"), QStringLiteral("mn_ctxtPopupToBack")}, true);
    bPopup = true;
}

void MainFrame::mn_PopupToBack_Click() {
    // The action toggled itself already when it was triggered.
    const bool state = action(QStringLiteral("mn_PopupToBack"))->isChecked();
    action(QStringLiteral("mn_ctxtPopupToBack"))->setChecked(state);
    bPopupBackgrnd = state;
}

// Bars of the active window.

void MainFrame::mn_adresszeile_Click() {
    BrowserWindow* w = activeBrowser();
    if (!w)
        return;
    w->setBandVisible(BrowserWindow::Band::Adress, !w->bandVisible(BrowserWindow::Band::Adress));
    const bool any =
        w->bandVisible(BrowserWindow::Band::Toolbar) || w->bandVisible(BrowserWindow::Band::Adress);
    w->setBandVisible(BrowserWindow::Band::Anim, any);
    w->setCoolBarVisible(any);
    w->PubResize();
}

void MainFrame::mn_toolbar_Click() {
    BrowserWindow* w = activeBrowser();
    if (!w)
        return;
    w->setBandVisible(BrowserWindow::Band::Toolbar, !w->bandVisible(BrowserWindow::Band::Toolbar));
    const bool any =
        w->bandVisible(BrowserWindow::Band::Toolbar) || w->bandVisible(BrowserWindow::Band::Adress);
    w->setBandVisible(BrowserWindow::Band::Anim, any);
    w->setCoolBarVisible(any);
    w->PubResize();
}

void MainFrame::mn_beides_Click() {
    BrowserWindow* w = activeBrowser();
    if (!w)
        return;
    // The action toggled itself when triggered; its twin follows.
    const bool checked = action(QStringLiteral("mn_beides"))->isChecked();
    action(QStringLiteral("mn_ctxtBeides"))->setChecked(checked);
    w->setBothBands(checked);
    const QStringList beides = {QStringLiteral("mn_beides"), QStringLiteral("mn_ctxtBeides")};
    for (const QString& n : beides)
        action(n)->setVisible(true);
    if (w->bandVisible(BrowserWindow::Band::Toolbar) != w->bandVisible(BrowserWindow::Band::Adress))
        for (const QString& n : beides)
            action(n)->setVisible(false);
    w->PubResize();
}
