#include "FakeWebView.h"
#include "Keyboard.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "archive/ArchiveWindow.h"
#include "archive/PageBookmark.h"
#include "archive/model/Archive.h"
#include "browser/AddressBox.h"
#include "browser/BrowserWindow.h"
#include "browser/SuggestionPopup.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameActions.h"
#include "frame/FrameTabs.h"
#include "frame/MainFrame.h"
#include "frame/SuggestionSource.h"
#include "frame/TabBar.h"
#include "frame/ToolWindows.h"
#include "frame/model/LayoutFile.h"
#include "history/HistoryWindow.h"
#include "history/model/HistoryList.h"
#include "prefs/model/KorvixSettings.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

// The keys every browser on Linux shares, pressed where a person's keys
// land, on a frame with three windows of fake pages.
class TestBrowserKeys : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void keys_data();
    void keys();
    void closedWindowsComeBack();
    void bookmarkWithCtrlD();
    void suggestionsFromArchiveAndHistory();
    void prefetchKeptInKorvixIni();
    void privateWindowLeavesNoTrace();

private:
    MainFrame* frame() const { return m_app->frame(); }
    BrowserWindow* openOn(const QString& url, const QString& title);
    static FakeWebView* view(BrowserWindow* w) { return static_cast<FakeWebView*>(w->webView()); }

    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<StartedApp> m_app;
};

void TestBrowserKeys::init() {
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_app = std::make_unique<StartedApp>();
    m_app->writePrefs([](Prefer& p) {
        p.StartBrowser = 0;
        p.HomeUrl = QStringLiteral("http://home.example/");
    });
    QVERIFY(m_app->start());
}

void TestBrowserKeys::cleanup() {
    m_app.reset();
    m_dialogs.reset();
}

BrowserWindow* TestBrowserKeys::openOn(const QString& url, const QString& title) {
    BrowserWindow* w = m_app->openWindow(url);
    view(w)->finishLoad(url, title);
    return w;
}

void TestBrowserKeys::keys_data() {
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("outcome");
    const auto row = [](const char* name, QKeySequence keys, const char* outcome) {
        QTest::newRow(name) << keys << QString::fromLatin1(outcome);
    };
    row("Ctrl+L", QKeySequence(Qt::CTRL | Qt::Key_L), "address box");
    row("F6", QKeySequence(Qt::Key_F6), "address box");
    row("F5", QKeySequence(Qt::Key_F5), "call:refresh");
    row("Ctrl+R", QKeySequence(Qt::CTRL | Qt::Key_R), "call:refresh");
    row("Ctrl+F5", QKeySequence(Qt::CTRL | Qt::Key_F5), "call:reloadBypassingCache");
    row("Ctrl+Shift+R", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
        "call:reloadBypassingCache");
    row("Alt+Left", QKeySequence(Qt::ALT | Qt::Key_Left), "call:goBack");
    row("Alt+Right", QKeySequence(Qt::ALT | Qt::Key_Right), "call:goForward");
    row("Alt+Home", QKeySequence(Qt::ALT | Qt::Key_Home), "call:navigate:http://home.example/");
    row("Ctrl+P", QKeySequence(Qt::CTRL | Qt::Key_P), "call:exec:6");
    row("Ctrl+S", QKeySequence(Qt::CTRL | Qt::Key_S), "call:exec:4");
    row("Esc on a page on its way", QKeySequence(Qt::Key_Escape), "call:stop");
    row("Ctrl+T", QKeySequence(Qt::CTRL | Qt::Key_T), "windows:4");
    row("F12", QKeySequence(Qt::Key_F12), "windows:4");
    row("Ctrl+W", QKeySequence(Qt::CTRL | Qt::Key_W), "windows:2");
    row("Ctrl+F4", QKeySequence(Qt::CTRL | Qt::Key_F4), "windows:2");
    row("Ctrl+Tab", QKeySequence(Qt::CTRL | Qt::Key_Tab), "active:0");
    row("Ctrl+Shift+Tab", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), "active:1");
    row("Ctrl+1", QKeySequence(Qt::CTRL | Qt::Key_1), "active:0");
    row("Ctrl+2", QKeySequence(Qt::CTRL | Qt::Key_2), "active:1");
    row("Ctrl+9", QKeySequence(Qt::CTRL | Qt::Key_9), "active:2");
    row("Ctrl+H", QKeySequence(Qt::CTRL | Qt::Key_H), "history window");
}

void TestBrowserKeys::keys() {
    QFETCH(QKeySequence, keys);
    QFETCH(QString, outcome);
    openOn(QStringLiteral("http://eins.example/"), QStringLiteral("Eins"));
    openOn(QStringLiteral("http://zwei.example/"), QStringLiteral("Zwei"));
    BrowserWindow* active = openOn(QStringLiteral("http://drei.example/"), QStringLiteral("Drei"));
    FakeWebView* page = view(active);
    page->calls.clear();
    if (outcome == QLatin1String("call:stop"))
        page->setBusy(true);
    QVERIFY(Keyboard::activate(frame()));
    const QKeyCombination key = keys[0];
    QVERIFY(Keyboard::press(key.key(), key.keyboardModifiers()));

    const QList<BrowserWindow*>& windows = frame()->registry()->windows();
    if (outcome == QLatin1String("address box")) {
        QComboBox* box = active->addressBox();
        QTRY_VERIFY(box->hasFocus());
        QCOMPARE(box->lineEdit()->selectedText(), box->currentText());
    } else if (outcome.startsWith(QLatin1String("call:"))) {
        QVERIFY2(page->calls.contains(outcome.mid(5)), qPrintable(page->calls.join(u',')));
    } else if (outcome.startsWith(QLatin1String("windows:"))) {
        QTRY_COMPARE(frame()->registry()->count(), outcome.mid(8).toInt());
    } else if (outcome.startsWith(QLatin1String("active:"))) {
        QCOMPARE(frame()->registry()->activeWindow(), windows.at(outcome.mid(7).toInt()));
    } else if (outcome == QLatin1String("history window")) {
        QTRY_VERIFY(frame()->tools()->historyWindow() &&
                    frame()->tools()->historyWindow()->isVisible());
    } else {
        QFAIL("unknown outcome");
    }
}

void TestBrowserKeys::closedWindowsComeBack() {
    openOn(QStringLiteral("http://bleibt.example/"), QStringLiteral("Bleibt"));
    BrowserWindow* closing = openOn(QStringLiteral("http://zu.example/b"), QStringLiteral("Zu"));
    view(closing)->savedHistory = "Verlauf";
    QVERIFY(Keyboard::activate(frame()));
    QVERIFY(Keyboard::press(Qt::Key_W, Qt::ControlModifier));
    QTRY_COMPARE(frame()->registry()->count(), 1);
    // The file menu lists it.
    QMenu* list = frame()->menu(FrameActions::ClosedWindowsMenu);
    emit list->aboutToShow();
    QCOMPARE(list->actions().size(), 1);
    QCOMPARE(list->actions().first()->text(), QStringLiteral("Zu"));

    QVERIFY(Keyboard::press(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier));
    QTRY_COMPARE(frame()->registry()->count(), 2);
    BrowserWindow* back = frame()->registry()->activeWindow();
    QCOMPARE(back->startingAddress(), QStringLiteral("http://zu.example/b"));
    // It goes back into the page's history where it stood.
    QCOMPARE(view(back)->restoredHistory, QByteArray("Verlauf"));
    QVERIFY(view(back)->navigations.isEmpty());
    QVERIFY(!frame()->action(FrameActions::ReopenClosed)->isEnabled());

    // No more than twenty are kept, the newest first.
    for (int i = 0; i < 22; ++i)
        openOn(QStringLiteral("http://%1.example/").arg(i), QString::number(i));
    frame()->registry()->closeAllWindows();
    QTRY_COMPARE(frame()->registry()->count(), 0);
    emit list->aboutToShow();
    QCOMPARE(list->actions().size(), 20);
}

void TestBrowserKeys::bookmarkWithCtrlD() {
    openOn(QStringLiteral("http://merken.example/seite"), QStringLiteral("Merkenswert"));
    QString shownTitle;
    m_dialogs->onModal = [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<PageBookmarkDialog*>(top);
            if (!dialog)
                continue;
            dialog->show();
            shownTitle = dialog->titleField()->text();
            // A title of one's own, typed over the page's, and Enter.
            QVERIFY(Keyboard::clickInto(dialog->titleField()));
            QVERIFY(Keyboard::press(Qt::Key_A, Qt::ControlModifier));
            QVERIFY(Keyboard::type(QStringLiteral("Gemerkt")));
            QVERIFY(Keyboard::press(Qt::Key_Return));
        }
    };
    QVERIFY(Keyboard::activate(frame()));
    QVERIFY(Keyboard::press(Qt::Key_D, Qt::ControlModifier));
    QCOMPARE(m_dialogs->modalRuns, 1);
    QCOMPARE(shownTitle, QStringLiteral("Merkenswert"));
    QVERIFY(m_dialogs->messages.isEmpty());

    // A restart shows it in the archive window.
    m_app->stop();
    QVERIFY(m_app->start());
    frame()->tools()->showArchive();
    ArchiveWindow* archive = frame()->tools()->archive();
    QVERIFY(archive);
    const QList<QTreeWidgetItem*> found =
        archive->tree()->findItems(QStringLiteral("Gemerkt"), Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    const Bookmark* b = archive->bookmarkOf(found.first());
    QVERIFY(b);
    QCOMPARE(b->Url, QStringLiteral("http://merken.example/seite"));
}

// The suggestions come from the archive's files and the session's history,
// and never change what the user typed.
void TestBrowserKeys::suggestionsFromArchiveAndHistory() {
    m_app->stop();
    Book archive(m_app->dir());
    QString error;
    QVERIFY(archive.createDefaultArchive(QStringLiteral("Korvix"), QString(), QString(), &error));
    QString warning;
    QCOMPARE(archive.load(&error, &warning), Book::LoadResult::Loaded);
    Bookmark mark;
    mark.Titel = QStringLiteral("Fahrplan der Bahn");
    mark.Url = QStringLiteral("https://bahn.example/fahrplan");
    QVERIFY(archive.folders->first()->prependBookmark(mark));
    QVERIFY(archive.save(&error));
    QVERIFY(m_app->start());

    openOn(QStringLiteral("https://fahrrad.example/"), QStringLiteral("Fahrräder"));
    BrowserWindow* w = openOn(QStringLiteral("http://anderes.example/"), QStringLiteral("X"));
    QVERIFY(Keyboard::clickInto(w->addressBox()));
    // The archive is read while the user begins to type.
    QTRY_VERIFY(frame()->suggestionSource()->bookmarkCount() > 0);
    QVERIFY(Keyboard::press(Qt::Key_A, Qt::ControlModifier));
    QVERIFY(Keyboard::type(QStringLiteral("fah")));
    auto* box = static_cast<AddressBox*>(w->addressBox());
    SuggestionPopup* popup = box->suggestionPopup();
    QVERIFY(popup && popup->isVisible());
    QStringList urls;
    for (const Suggestions::Row& row : popup->rows())
        urls << row.url;
    QVERIFY2(urls.contains(QStringLiteral("https://bahn.example/fahrplan")),
             qPrintable(urls.join(u' ')));
    QVERIFY2(urls.contains(QStringLiteral("https://fahrrad.example/")),
             qPrintable(urls.join(u' ')));
    QVERIFY(Keyboard::press(Qt::Key_Down));
    QVERIFY(Keyboard::press(Qt::Key_Down));
    QCOMPARE(box->currentText(), QStringLiteral("fah"));
}

// "Link-Ziele im voraus cachen" is kept in Korvix.ini.
void TestBrowserKeys::prefetchKeptInKorvixIni() {
    QAction* prefetch = frame()->action(FrameActions::PrefetchLinks);
    QVERIFY(prefetch->isCheckable() && !prefetch->isChecked());
    QMenu* context = frame()->menu(FrameActions::ContextMenu);
    QVERIFY(context->actions().contains(prefetch));
    prefetch->trigger();
    QVERIFY(KorvixSettings(m_app->dir()).prefetchLinks());
    m_app->stop();
    QVERIFY(QFile::exists(QDir(m_app->dir()).filePath(QStringLiteral("Korvix.ini"))));
    QVERIFY(m_app->start());
    QVERIFY(frame()->action(FrameActions::PrefetchLinks)->isChecked());
}

// Ctrl+Shift+N: a window on the private profile, marked as such, that
// leaves nothing in the history, a layout file, the session file or the
// closed windows once the last private window is gone.
void TestBrowserKeys::privateWindowLeavesNoTrace() {
    openOn(QStringLiteral("http://offen.example/"), QStringLiteral("Offen"));
    const int visits = frame()->tools()->history().count();
    QVERIFY(Keyboard::activate(frame()));
    QVERIFY(Keyboard::press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier));
    QTRY_COMPARE(frame()->registry()->count(), 2);
    BrowserWindow* hidden = frame()->registry()->activeWindow();
    QVERIFY(hidden->isPrivate());
    QVERIFY(view(hidden)->isPrivate);
    view(hidden)->finishLoad(QStringLiteral("http://geheim.example/"), QStringLiteral("Geheim"));
    QCOMPARE(hidden->windowTitle(), QStringLiteral("Geheim (Privat)"));
    QCOMPARE(frame()->tabs()->bar()->tabs()->tabText(1), QStringLiteral("Geheim (Privat)"));
    QCOMPARE(frame()->tools()->history().count(), visits);
    // A page it opens is private too.
    WebView::NewWindowRequest request;
    emit hidden->webView()->newWindowRequested(&request);
    QTRY_COMPARE(frame()->registry()->count(), 3);
    QVERIFY(frame()->registry()->windows().last()->isPrivate());
    frame()->registry()->windows().last()->close();
    QTRY_COMPARE(frame()->registry()->count(), 2);

    const QString layout = QDir(m_app->dir()).filePath(QStringLiteral("zwei.wlt"));
    m_dialogs->fileNames << layout;
    frame()->action(FrameActions::SaveLayout)->trigger();
    QList<LayoutRecord> saved;
    QString error;
    QCOMPARE(LayoutFile::load(layout, &saved, &error), LayoutFile::LoadStatus::Ok);
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved.first().url, QStringLiteral("http://offen.example/"));
    const QString session = QDir(m_app->dir()).filePath(QStringLiteral("Sitzung.wlt"));
    QTRY_VERIFY(QFile::exists(session));
    QList<LayoutRecord> kept;
    QCOMPARE(LayoutFile::load(session, &kept, &error), LayoutFile::LoadStatus::Ok);
    QCOMPARE(kept.size(), 1);

    // Its page is offered back only while a private window is open.
    hidden->close();
    QTRY_COMPARE(frame()->registry()->count(), 1);
    QVERIFY(!frame()->action(FrameActions::ReopenClosed)->isEnabled());
}

QTEST_MAIN(TestBrowserKeys)
#include "tst_browserkeys.moc"
