#include "FakeBrowserHost.h"
#include "FakeWebView.h"
#include "Keyboard.h"
#include "ScriptedDialogs.h"
#include "browser/AddressBox.h"
#include "browser/BrowserToolbar.h"
#include "browser/BrowserWindow.h"
#include "browser/SuggestionPopup.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMimeData>
#include <QPointer>
#include <QSet>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

// One browser window against a fake web view: popups, the page-state poll,
// completed navigations, the address box and the page's own close request.
class TestBrowserWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void popupPolicy_data();
    void popupPolicy();
    void popupAfterToolbarClickIsRefusedOnce();
    void backgroundPopupKeepsOpenerActive();
    void pollShowsBusyThenTitle();
    void animationTurnsOnlyWhereSeen();
    void animationsStepTogether();
    void completedNavigationsFillAddressList();
    void enterNavigatesExactlyAsTyped_data();
    void enterNavigatesExactlyAsTyped();
    void listChoiceAndDropOpenOnce();
    void suggestionsWhileTyping();
    void pageCloseClosesTheWindow();
    void stopOnIdleWindowKeepsCaption();
    void toolTips();
    void pageAsksForSize();

private:
    BrowserWindow* open() { return m_host->open(); }
    FakeWebView* view(BrowserWindow* w) { return static_cast<FakeWebView*>(w->webView()); }
    void click(BrowserWindow* w, const char* key);
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<FakeBrowserHost> m_host;
};

void TestBrowserWindow::init() {
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_host = std::make_unique<FakeBrowserHost>();
}

void TestBrowserWindow::cleanup() {
    m_host.reset();
    m_dialogs.reset();
}

void TestBrowserWindow::click(BrowserWindow* w, const char* key) {
    auto* button = w->toolBar()->findChild<QToolButton*>(QString::fromUtf8(key));
    QVERIFY(button);
    button->click();
}

void TestBrowserWindow::popupPolicy_data() {
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("opens");
    QTest::newRow("allowed") << true << 300 << true;
    QTest::newRow("refused by the menu") << false << 300 << false;
    QTest::newRow("refused at the limit") << true << 1 << false;
}

void TestBrowserWindow::popupPolicy() {
    QFETCH(bool, allowed);
    QFETCH(int, limit);
    QFETCH(bool, opens);
    BrowserWindow* w = open();
    m_host->popups().setAllowed(allowed);
    m_host->mayOpen = limit > 1;
    WebView::NewWindowRequest request;
    emit w->webView()->newWindowRequested(&request);
    QCOMPARE(request.target != nullptr, opens);
    QCOMPARE(m_host->openWindows.size(), opens ? 2 : 1);
    if (opens) {
        QCOMPARE(m_host->openWindows.last()->webView(), request.target);
        QCOMPARE(m_host->openWindows.last()->id(), 2);
        QCOMPARE(m_host->area.activeSubWindow(), m_host->openWindows.last());
    }
    QVERIFY(!m_host->popups().suppressed());
}

void TestBrowserWindow::popupAfterToolbarClickIsRefusedOnce() {
    BrowserWindow* w = open();
    click(w, "Home");
    QCOMPARE(view(w)->navigations.last(), QStringLiteral("http://home.example/"));
    QVERIFY(m_host->popups().suppressed());
    WebView::NewWindowRequest first;
    emit w->webView()->newWindowRequested(&first);
    QVERIFY(!first.target);
    WebView::NewWindowRequest second;
    emit w->webView()->newWindowRequested(&second);
    QVERIFY(second.target);
    // Stop does not arm the suppression.
    click(w, "Stop");
    QVERIFY(!m_host->popups().suppressed());
}

void TestBrowserWindow::backgroundPopupKeepsOpenerActive() {
    BrowserWindow* w = open();
    m_host->popups().setToBack(true);
    WebView::NewWindowRequest request;
    emit w->webView()->newWindowRequested(&request);
    QVERIFY(request.target);
    QCOMPARE(m_host->openWindows.size(), 2);
    QCOMPARE(m_host->area.activeSubWindow(), w);
}

void TestBrowserWindow::pollShowsBusyThenTitle() {
    BrowserWindow* w = open();
    FakeWebView* v = view(w);
    QVERIFY(v->isBusy());
    QTRY_COMPARE(w->windowTitle(), QStringLiteral("In Bearbeitung..."));
    QVERIFY(w->isBusyShown());
    v->url = QStringLiteral("http://a.example/x.html");
    v->name = QStringLiteral("x.html");
    v->docTitle = QStringLiteral("  ");
    v->hasDoc = true;
    v->kind = WebView::DocumentKind::Html;
    v->setBusy(false);
    // A blank document title gives the location name.
    QTRY_COMPARE(w->windowTitle(), QStringLiteral("x.html"));
    QVERIFY(!w->isBusyShown());
    QCOMPARE(w->title(), QStringLiteral("x.html"));
    QCOMPARE(m_host->tabTitles.value(w->id()), QStringLiteral("x.html"));
}

void TestBrowserWindow::animationTurnsOnlyWhereSeen() {
    BrowserWindow* covered = open();
    BrowserWindow* top = open();
    top->showMaximized();
    QVERIFY(view(covered)->isBusy() && view(top)->isBusy());
    QVERIFY(covered->isBusyShown() && top->isBusyShown());
    // A new frame must not lay the window out again: with hundreds of
    // windows loading that alone would take the processor.
    int layouts = 0;
    QWidget* bar = top->animPicture()->parentWidget();
    struct Counter : QObject {
        int* n;
        explicit Counter(int* count) : n(count) {}
        bool eventFilter(QObject*, QEvent* e) override {
            *n += e->type() == QEvent::LayoutRequest ? 1 : 0;
            return false;
        }
    } counter(&layouts);
    QCoreApplication::processEvents();
    bar->installEventFilter(&counter);
    const qint64 coveredPicture = covered->animPicture()->pixmap().cacheKey();
    QSet<qint64> topPictures;
    for (int i = 0; i < 12; ++i) {
        QTest::qWait(30);
        topPictures << top->animPicture()->pixmap().cacheKey();
    }
    bar->removeEventFilter(&counter);
    QVERIFY(topPictures.size() > 1);
    QCOMPARE(covered->animPicture()->pixmap().cacheKey(), coveredPicture);
    QCOMPARE(layouts, 0);
}

// Windows loading side by side step their animations in the same turn, so
// the frame repaints once per step and not once per window.
void TestBrowserWindow::animationsStepTogether() {
    BrowserWindow* first = open();
    QTest::qWait(20);
    BrowserWindow* second = open();
    first->show();
    second->show();
    QVERIFY(first->isBusyShown() && second->isBusyShown());
    const auto frames = [&] { return std::make_pair(first->animFrame(), second->animFrame()); };
    auto before = frames();
    int steps = 0;
    for (int turns = 0; turns < 200 && steps < 4; ++turns) {
        QTest::qWait(5);
        const auto now = frames();
        QCOMPARE(now.first != before.first, now.second != before.second);
        steps += now.first != before.first ? 1 : 0;
        before = now;
    }
    QCOMPARE(steps, 4);
}

void TestBrowserWindow::completedNavigationsFillAddressList() {
    BrowserWindow* w = open();
    FakeWebView* v = view(w);
    v->finishLoad(QStringLiteral("http://a.example/"), QStringLiteral("A"));
    v->finishLoad(QStringLiteral("http://b.example/"), QStringLiteral("B"));
    v->finishLoad(QStringLiteral("http://a.example/"), QStringLiteral("A2"));
    QComboBox* box = w->addressBox();
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    QCOMPARE(items, (QStringList{"http://a.example/", "http://b.example/"}));
    QCOMPARE(box->currentText(), QStringLiteral("http://a.example/"));
    // Each completed navigation is a visit, with the title known then.
    QCOMPARE(m_host->visits.size(), 3);
    QCOMPARE(m_host->visits.at(2),
             std::make_pair(QStringLiteral("http://a.example/"), QStringLiteral("A2")));
}

void TestBrowserWindow::enterNavigatesExactlyAsTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("enter");
    QTest::newRow("blanks around an address")
        << QStringLiteral("  heise.de/a ") << int(Qt::Key_Return);
    QTest::newRow("start of a listed address")
        << QStringLiteral("http://host/a") << int(Qt::Key_Return);
    QTest::newRow("listed address in capitals")
        << QStringLiteral("HTTP://HOST/A.HTML") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << QStringLiteral("http://host/b.html") << int(Qt::Key_Enter);
}

void TestBrowserWindow::enterNavigatesExactlyAsTyped() {
    QFETCH(QString, typed);
    QFETCH(int, enter);
    BrowserWindow* w = open();
    view(w)->finishLoad(QStringLiteral("http://host/a.html"), QStringLiteral("A"));
    view(w)->navigations.clear();
    // A click into the box, everything selected and replaced, Enter.
    QVERIFY(Keyboard::clickInto(w->addressBox()));
    QVERIFY(Keyboard::press(Qt::Key_A, Qt::ControlModifier));
    QVERIFY(Keyboard::press(Qt::Key_Delete));
    QVERIFY(Keyboard::type(typed));
    QCOMPARE(w->addressBox()->currentText(), typed);
    QVERIFY(Keyboard::press(Qt::Key(enter),
                            enter == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier));
    QCOMPARE(view(w)->navigations, QStringList{typed});
    QVERIFY(w->isBusyShown());
}

void TestBrowserWindow::listChoiceAndDropOpenOnce() {
    BrowserWindow* w = open();
    view(w)->finishLoad(QStringLiteral("http://host/a.html"), QStringLiteral("A"));
    view(w)->finishLoad(QStringLiteral("http://host/b.html"), QStringLiteral("B"));
    view(w)->navigations.clear();
    // Alt+Down opens the list; the second entry is chosen with the keys.
    QVERIFY(Keyboard::clickInto(w->addressBox()));
    QVERIFY(Keyboard::press(Qt::Key_Down, Qt::AltModifier));
    QTRY_VERIFY(QApplication::activePopupWidget());
    QVERIFY(Keyboard::press(Qt::Key_Down));
    QVERIFY(Keyboard::press(Qt::Key_Return));
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QCOMPARE(view(w)->navigations, QStringList{QStringLiteral("http://host/a.html")});

    // Text dropped on the box, where the pointer lets it go.
    view(w)->navigations.clear();
    QLineEdit* edit = w->addressBox()->lineEdit();
    QMimeData text;
    text.setText(QStringLiteral("http://dropped.example/"));
    const QPointF at = edit->rect().center();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(edit, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(edit, &drop);
    QCOMPARE(view(w)->navigations, QStringList{QStringLiteral("http://dropped.example/")});
    QCOMPARE(w->addressBox()->currentText(), QStringLiteral("http://dropped.example/"));
}

void TestBrowserWindow::suggestionsWhileTyping() {
    using Suggestions::Kind;
    m_host->suggestionIndex.add({Kind::Bookmark, QStringLiteral("Wetter Berlin"),
                                 QStringLiteral("https://wetter.example/berlin"), 1, 0});
    m_host->suggestionIndex.add({Kind::History, QStringLiteral("Dienst"),
                                 QStringLiteral("https://dienst.example/wetter"), 1, 0});
    BrowserWindow* w = open();
    view(w)->finishLoad(QStringLiteral("http://host/a.html"), QStringLiteral("A"));
    view(w)->navigations.clear();
    auto* box = static_cast<AddressBox*>(w->addressBox());
    QVERIFY(Keyboard::clickInto(box));
    QCOMPARE(m_host->suggestionsPrepared, 1);
    QVERIFY(Keyboard::press(Qt::Key_A, Qt::ControlModifier));
    QVERIFY(Keyboard::type(QStringLiteral("wetter")));
    SuggestionPopup* popup = box->suggestionPopup();
    QVERIFY(popup && popup->isVisible());
    QCOMPARE(popup->list()->count(), 3);
    QCOMPARE(popup->list()->item(0)->text(), QStringLiteral("\u201Ewetter\u201C suchen"));
    QCOMPARE(popup->rows().at(1).url, QStringLiteral("https://wetter.example/berlin"));
    QCOMPARE(popup->rows().at(2).url, QStringLiteral("https://dienst.example/wetter"));
    // Choosing a row (the first is the search) leaves the typed text alone;
    // Enter opens the row.
    for (int i = 0; i < 3; ++i)
        QVERIFY(Keyboard::press(Qt::Key_Down));
    QCOMPARE(popup->current(), 2);
    QCOMPARE(box->currentText(), QStringLiteral("wetter"));
    QVERIFY(Keyboard::press(Qt::Key_Return));
    QVERIFY(!popup->isVisible());
    QCOMPARE(view(w)->navigations, QStringList{QStringLiteral("https://dienst.example/wetter")});

    // Esc closes the list, a second Esc brings the address back.
    view(w)->finishLoad(QStringLiteral("http://host/b.html"), QStringLiteral("B"));
    view(w)->navigations.clear();
    QVERIFY(Keyboard::press(Qt::Key_A, Qt::ControlModifier));
    QVERIFY(Keyboard::type(QStringLiteral("wet")));
    QVERIFY(popup->isVisible());
    QVERIFY(Keyboard::press(Qt::Key_Escape));
    QVERIFY(!popup->isVisible());
    QCOMPARE(box->currentText(), QStringLiteral("wet"));
    QVERIFY(Keyboard::press(Qt::Key_Escape));
    QCOMPARE(box->currentText(), QStringLiteral("http://host/b.html"));

    // Enter with no row chosen: what was typed, a search when it is no
    // address.
    QVERIFY(Keyboard::press(Qt::Key_A, Qt::ControlModifier));
    QVERIFY(Keyboard::type(QStringLiteral("wetter berlin")));
    QVERIFY(Keyboard::press(Qt::Key_Return));
    QCOMPARE(view(w)->navigations,
             QStringList{QStringLiteral("http://search.example/?q=wetter%20berlin")});
    QVERIFY(m_host->visits.size() >= 2);
}

void TestBrowserWindow::pageCloseClosesTheWindow() {
    BrowserWindow* a = open();
    BrowserWindow* b = open();
    QPointer<BrowserWindow> guard(b);
    emit b->webView()->windowClosing();
    QTRY_VERIFY(guard.isNull());
    // It told the frame it is gone.
    QCOMPARE(m_host->openWindows, QList<BrowserWindow*>{a});
}

void TestBrowserWindow::stopOnIdleWindowKeepsCaption() {
    BrowserWindow* w = open();
    view(w)->finishLoad(QStringLiteral("http://a.example/"), QStringLiteral("A"));
    QTRY_COMPARE(w->windowTitle(), QStringLiteral("A"));
    w->setRefreshSeconds(30);
    click(w, "Stop");
    QCOMPARE(w->refreshSeconds(), 0);
    QVERIFY(!w->isRefreshing());
    QVERIFY(!w->isBusyShown());
    QVERIFY(!view(w)->calls.contains(QStringLiteral("stop")));
    QCOMPARE(w->windowTitle(), QStringLiteral("A"));
    // Busy: the engine is stopped and the caption shows the address.
    view(w)->setBusy(true);
    click(w, "Stop");
    QVERIFY(view(w)->calls.contains(QStringLiteral("stop")));
    QCOMPARE(w->windowTitle(), QStringLiteral("http://a.example/"));
}

void TestBrowserWindow::toolTips() {
    BrowserWindow* w = open();
    const QList<std::pair<const char*, QString>> tips = {
        {"Back", QStringLiteral("Zurück")},
        {"Forward", QStringLiteral("Vorwärst")},
        {"Home", QStringLiteral("http://home.example/")},
        {"Search", QStringLiteral("http://search.example/")},
        {"Sendurl", QStringLiteral("Link per E-Mail versenden...")},
    };
    for (const auto& [key, tip] : tips)
        QCOMPARE(w->toolBar()->findChild<QToolButton*>(QString::fromUtf8(key))->toolTip(), tip);
}

void TestBrowserWindow::pageAsksForSize() {
    BrowserWindow* w = open();
    w->showNormal();
    w->resize(600, 500);
    QCoreApplication::processEvents();
    const int border = w->width() - w->widget()->width();
    emit w->webView()->geometryChangeRequested(10, 10, 400, -1);
    QVERIFY(!w->isMaximized());
    QCOMPARE(w->width(), 400 + border);
}

QTEST_MAIN(TestBrowserWindow)
#include "tst_browserwindow.moc"
