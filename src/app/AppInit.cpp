#include "app/AppInit.h"

#include "app/Dialogs.h"
#include "app/SingleInstance.h"
#include "archive/model/ArchiveRecords.h"
#include "browser/BrowserWindow.h"
#include "common/Product.h"
#include "common/RecordCodec.h"
#include "common/SafeFile.h"
#include "common/Twips.h"
#include "frame/Layout.h"
#include "frame/MainFrame.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <memory>
#include <utility>

// Pages and pictures compiled into the program live in a static library, so
// they are registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(korvix);
}

namespace AppInit {

QString AppDir;
QString AppDirReason;
QString AppTitle;
bool IsSecondInstance = false;
bool AcceptHandOff = true;

namespace {
MainFrame* g_frame = nullptr;
SingleInstance* g_instance = nullptr;
// Addresses handed over while a modal dialog was open; opened when it closes.
QStringList g_pendingHandOffs;
std::unique_ptr<Prefer> g_prefs;
WebViewFactory g_factory;

void showError(const QString& text) {
    Dialogs::message(g_frame, QMessageBox::Critical, QStringLiteral("Fehlermeldung"), text);
}
} // namespace

MainFrame* MDIForm1() {
    if (!g_frame) {
        g_frame = new MainFrame(g_factory);
        g_frame->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    return g_frame;
}

Prefer* preferences() {
    return g_prefs.get();
}

void SetModalLock(bool bLock) {
    // A dialog opened from within another one (a file chooser of the settings
    // dialog) keeps the lock until the outer one has closed too, and so does
    // a page that finishes loading behind an open dialog.
    if (!bLock && QApplication::activeModalWidget())
        return;
    MDIForm1()->setAcceptDrops(!bLock);
    AcceptHandOff = !bLock;
    if (!bLock) {
        const QStringList pending = std::exchange(g_pendingHandOffs, {});
        for (const QString& address : pending)
            handOffReceived(address);
    }
}

void handOffReceived(const QString& address) {
    MainFrame* frame = MDIForm1();
    if (!address.isEmpty()) {
        if (AcceptHandOff) {
            frame->HistoryUrl = address;
            frame->NewBrowser();
            frame->HistoryUrl.clear();
        } else {
            g_pendingHandOffs << address;
        }
    }
    const bool minimized = frame->isMinimized();
    // Back to the state it had before it was minimized: a maximized frame
    // comes back maximized.
    if (minimized) {
        frame->setWindowState(frame->windowState() & ~Qt::WindowMinimized);
        frame->show();
    }
    frame->raise();
    frame->activateWindow();
    if (minimized)
        frame->reapplyArrangement();
}

void SetMenuCaptions() {
    // Item names, each with the context twins that carry the same caption.
    struct Caption {
        const char* names;
        const char* caption;
    };
    static const Caption captions[] = {
        {"mn_Datei", "&Datei"},
        {"mn_Browser mn_ctxtBrowser", "&Neuer Browser..."},
        {"mn_Einstellungen mn_ctxtEinstell", "Korvix &Einstellungen..."},
        {"mn_IEProp mn_ctxtIEProp", "&Microsoft Internet Eigenschaften..."},
        {"mn_Exit mn_ctxtExit", "&Beenden"},
        {"mn_save mn_ctxtSave", "Webseite &speichern..."},
        {"mn_send mn_ctxtSend", "&Link per E-Mail versenden..."},
        {"mn_ppreview mn_ctxtPpreview", "Druck&vorschau..."},
        {"mn_print mn_ctxtPrint", "&Drucken..."},
        {"mn_Register mn_ctxtRegister mn_ctxtRegisterT", "&Registerzeile ein/aus"},
        {"mn_RegisterOben mn_ctxtRegisterOben mn_ctxtRegisterObenT", "Registerzeile &oben"},
        {"mn_RegisterUnten mn_ctxtRegisterUnten mn_ctxtRegisterUntenT", "Registerzeile &unten"},
        {"mn_Anzeige", "&Tools"},
        {"mn_Bookmarks mn_ctxtBookm", "Bookmark &Archiv"},
        {"mn_Historie mn_ctxtHistorie", "&Historie"},
        {"mn_Toggle mn_ctxtStatus", "&Statuszeile"},
        {"mn_Email mn_ctxtEmail", "&E-Mail Anwendung"},
        {"mn_Ansicht", "&Ansicht"},
        {"mn_Fenster mn_ctxtFenster", "&Fenster"},
        {"mn_Untereinander mn_ctxtUntereinander", "&Untereinander"},
        {"mn_Nebeneinander mn_ctxtNebeneinander", "&Nebeneinander"},
        {"mn_Kaskadiert mn_ctxtKaskadiert", "&Kaskadiert"},
        {"mn_Anordnung_save mn_ctxtAnordnung_save", "Anordnung &speichern"},
        {"mn_Anordnung_load mn_ctxtAnordnung_load", "Anordnung &laden"},
        {"mn_Aktives mn_ctxtAktives", "&Aktives Fenster"},
        {"mn_adresszeile mn_ctxtAdresszeile", "&Adresszeile"},
        {"mn_toolbar mn_ctxtToolbar", "&Toolbar"},
        {"mn_beides mn_ctxtBeides", "&Beides"},
        {"mn_Aktivschließen mn_ctxtAktivschließen", "Schließen"},
        {"mn_Alleschließen mn_ctxtAlleschließen", "Alle Fenster &schließen..."},
        {"mn_EnablePopup mn_ctxtEnablePopup", "HTML-Seiten &dürfen neue Fenster öffnen"},
        {"mn_DisablePopup mn_ctxtDisablePopup", "HTML-Seiten dürfen ke&ine Fenster öffnen"},
        {"mn_PopupToBack mn_ctxtPopupToBack", "Neue Fenster im Hinter&grund öffnen"},
        {"mn_ctxtFcache", "Link-Ziele im voraus &cachen ein/aus"},
    };
    MainFrame* frame = MDIForm1();
    for (const Caption& c : captions) {
        const QString caption = QString::fromUtf8(c.caption);
        for (const QString& name : QString::fromUtf8(c.names).split(QLatin1Char(' ')))
            frame->setMenuCaption(name, caption);
    }
    frame->setMenuCaption(QStringLiteral("mn_Korvix"), QStringLiteral("&Info über ") + AppTitle);
}

void OpenGroupFile(const QString& fileName) {
    MainFrame* frame = MDIForm1();
    // No folder chosen: nothing to open.
    if (trimBlanks(fileName).isEmpty())
        return;
    const QString path = QDir(AppDir).filePath(trimBlanks(fileName));
    QByteArray data;
    QString error;
    const ReadStatus status = readWholeFile(path, &data, &error);
    if (status == ReadStatus::NotFound)
        return;
    if (status == ReadStatus::Failed) {
        showError(error);
        return;
    }
    // The folder's windows come one per turn of the event loop, so the frame
    // answers while a large folder opens.
    for (const BookmarkRecord& record : parseBookmarkFile(data))
        frame->queueOpening([frame, record] {
            const bool limitReached = frame->browsers().size() >= frame->MaxBrowser;
            frame->VisitUrl(record.Url, record.Adresszeile != 0, record.Toolbar != 0);
            if (limitReached)
                return false;
            if (BrowserWindow* active = frame->activeBrowser())
                active->showMaximized();
            return true;
        });
}

void ApplyBarSettings() {
    MainFrame* frame = MDIForm1();
    const Prefer& p = *g_prefs;
    frame->SetToolbarPos(p.TabAlign);
    frame->tabBar()->update();
    frame->SetToolbarVisible(p.TabStrip != 0);
    frame->statusBar()->raise();
    frame->statusBar()->setVisible(p.StatusBar > 0);
    frame->action(QStringLiteral("mn_Toggle"))->setChecked(!frame->statusBar()->isHidden());
    frame->tabStrip()->setFont(frame->SetFontFace(p.TabFontBold > 0, QStringLiteral("Verdana")));
}

MainFrame* Main(const StartOptions& options) {
    initResources();
    g_factory = options.webViewFactory;
    // Every message box and file dialog holds the modal lock while it is open.
    Dialogs::setModalLockHook(&SetModalLock);
    // The first use of the frame creates it.
    SetModalLock(false);
    MainFrame* frame = MDIForm1();
    AppDir = options.appDir;
    AppDirReason = options.appDirReason;
    const QString commandLine = options.commandLine;
    AppTitle = Product::AppTitle;
    frame->setWindowTitle(QStringLiteral("---"));

    // Another instance for this program directory takes the address (or just
    // comes to the front) and this process ends without a window.
    delete g_instance;
    g_instance = new SingleInstance(AppDir);
    if (g_instance->handOff(commandLine)) {
        IsSecondInstance = true;
        frame->IsSecondInstance = true;
        return nullptr;
    }
    IsSecondInstance = false;
    frame->IsSecondInstance = false;
    if (options.mayRun && !options.mayRun())
        return nullptr;
    g_instance->listen();
    QObject::connect(g_instance, &SingleInstance::addressReceived, frame, &handOffReceived);
    g_prefs = std::make_unique<Prefer>(AppDir);
    QString error;
    if (!g_prefs->load(&error))
        showError(error);
    frame->setPrefer(g_prefs.get());
    const Prefer& p = *g_prefs;
    frame->counter = 0;
    frame->StatusBarCurr = p.StatusBar > 0;
    frame->bTabVisible = p.TabStrip != 0;
    int w = twipsToPx(p.MdiWidth);
    int h = twipsToPx(p.MdiHeight);
    if (w < 200 || h < 150) {
        w = twipsToPx(9600);
        h = twipsToPx(7200);
    }
    frame->resize(w, h);
    frame->AdressView = p.Adresszeile != 0;
    frame->ToolbarView = p.Toolbar != 0;

    frame->setWindowTitle(AppTitle);
    SetMenuCaptions();
    const bool maximized = p.MdiState == 2;
    frame->nTabAlign = p.TabAlign;
    frame->MaxBrowser = 300;
    if (p.StartBrowser != 0 || !commandLine.isEmpty()) {
        frame->HistoryUrl = commandLine;
        frame->NewBrowser();
        frame->HistoryUrl.clear();
        if (BrowserWindow* active = frame->activeBrowser())
            active->showMaximized();
    }
    if (maximized)
        frame->showMaximized();
    else
        frame->show();
    frame->restart(p.EnableMailCheck1 || p.EnableMailCheck2 || p.EnableMailCheck3 ||
                   p.EnableMailCheck4);
    if (p.LoadOption == 3) {
        OpenGroupFile(p.GroupFile);
        ApplyBarSettings();
    } else if (p.LoadOption == 2) {
        // A relative name lies in the program directory.
        const QString name = trimBlanks(p.Layout);
        if (!name.isEmpty())
            Layout(frame).LoadLayout(QDir(AppDir).filePath(name));
        ApplyBarSettings();
    }
    return frame;
}

void shutdown() {
    Dialogs::setModalLockHook(nullptr);
    delete g_instance;
    g_instance = nullptr;
    g_pendingHandOffs.clear();
    if (g_frame) {
        g_frame->close();
        delete g_frame;
        g_frame = nullptr;
    }
    g_prefs.reset();
    AcceptHandOff = true;
}

} // namespace AppInit
