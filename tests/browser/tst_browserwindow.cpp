#include "FakeWebView.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "browser/BrowserWindow.h"
#include "frame/MainFrame.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
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
    void completedNavigationsFillAddressList();
    void enterNavigatesExactlyAsTyped_data();
    void enterNavigatesExactlyAsTyped();
    void pageCloseRemovesWindowAndTab();
    void stopOnIdleWindowKeepsCaption();
    void toolTips();
    void pageAsksForSize();

private:
    BrowserWindow* open();
    FakeWebView* view(BrowserWindow* w) { return static_cast<FakeWebView*>(w->webView()); }
    MainFrame* frame() { return m_app->frame(); }
    void click(BrowserWindow* w, const char* key);
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<StartedApp> m_app;
};

void TestBrowserWindow::init() {
    BrowserWindow::bSuppressPopup = false;
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_app = std::make_unique<StartedApp>();
    m_app->writePrefs([](Prefer& p) {
        p.StartBrowser = 0;
        p.HomeUrl = QStringLiteral("http://home.example/");
        p.SearchEngine = QStringLiteral("http://search.example/");
    });
    m_app->start();
    frame()->mn_Register_Click();
}

void TestBrowserWindow::cleanup() {
    m_app.reset();
    m_dialogs.reset();
}

BrowserWindow* TestBrowserWindow::open() {
    frame()->action(QStringLiteral("mn_Browser"))->trigger();
    return frame()->activeBrowser();
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
    frame()->bPopup = allowed;
    frame()->MaxBrowser = qint16(limit);
    WebView::NewWindowRequest request;
    emit w->webView()->newWindowRequested(&request);
    QCOMPARE(request.target != nullptr, opens);
    QCOMPARE(frame()->counter, opens ? 2 : 1);
    if (opens) {
        QCOMPARE(frame()->browsers().last()->webView(), request.target);
        QCOMPARE(frame()->browsers().last()->ID, 2);
        QCOMPARE(frame()->activeBrowser(), frame()->browsers().last());
    }
    QVERIFY(!BrowserWindow::bSuppressPopup);
}

void TestBrowserWindow::popupAfterToolbarClickIsRefusedOnce() {
    BrowserWindow* w = open();
    click(w, "Home");
    QCOMPARE(view(w)->navigations.last(), QStringLiteral("http://home.example/"));
    QVERIFY(BrowserWindow::bSuppressPopup);
    WebView::NewWindowRequest first;
    emit w->webView()->newWindowRequested(&first);
    QVERIFY(!first.target);
    WebView::NewWindowRequest second;
    emit w->webView()->newWindowRequested(&second);
    QVERIFY(second.target);
    // Stop does not arm the suppression.
    click(w, "Stop");
    QVERIFY(!BrowserWindow::bSuppressPopup);
}

void TestBrowserWindow::backgroundPopupKeepsOpenerActive() {
    BrowserWindow* w = open();
    frame()->bPopupBackgrnd = true;
    WebView::NewWindowRequest request;
    emit w->webView()->newWindowRequested(&request);
    QVERIFY(request.target);
    QCOMPARE(frame()->counter, 2);
    QCOMPARE(frame()->activeBrowser(), w);
}

void TestBrowserWindow::pollShowsBusyThenTitle() {
    BrowserWindow* w = open();
    FakeWebView* v = view(w);
    QVERIFY(v->busy);
    QTRY_COMPARE(w->windowTitle(), QStringLiteral("In Bearbeitung..."));
    QVERIFY(w->isPolling());
    v->url = QStringLiteral("http://a.example/x.html");
    v->name = QStringLiteral("x.html");
    v->docTitle = QStringLiteral("  ");
    v->hasDoc = true;
    v->kind = WebView::DocumentKind::Html;
    v->busy = false;
    // A blank document title gives the location name.
    QTRY_COMPARE(w->windowTitle(), QStringLiteral("x.html"));
    QVERIFY(!w->isPolling());
    QCOMPARE(w->sTitle, QStringLiteral("x.html"));
    QCOMPARE(frame()->tabStrip()->tabText(frame()->tabIndexOf(w->ID)), QStringLiteral("x.html"));
}

void TestBrowserWindow::animationTurnsOnlyWhereSeen() {
    BrowserWindow* covered = open();
    BrowserWindow* top = open();
    top->showMaximized();
    QVERIFY(view(covered)->busy && view(top)->busy);
    QVERIFY(covered->isPolling() && top->isPolling());
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
    QCOMPARE(frame()->History.count(), 2);
    QCOMPARE(frame()->History.at(0).Url, QStringLiteral("http://a.example/"));
    QCOMPARE(frame()->History.at(0).Title, QStringLiteral("A2"));
}

void TestBrowserWindow::enterNavigatesExactlyAsTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("quotes and blanks") << QStringLiteral("  \"heise.de\" ");
    QTest::newRow("start of a listed address") << QStringLiteral("http://host/a");
    QTest::newRow("listed address in capitals") << QStringLiteral("HTTP://HOST/A.HTML");
}

void TestBrowserWindow::enterNavigatesExactlyAsTyped() {
    QFETCH(QString, typed);
    BrowserWindow* w = open();
    view(w)->finishLoad(QStringLiteral("http://host/a.html"), QStringLiteral("A"));
    view(w)->navigations.clear();
    QLineEdit* edit = w->addressBox()->lineEdit();
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(view(w)->navigations, QStringList{typed});
    QVERIFY(w->isPolling());
}

void TestBrowserWindow::pageCloseRemovesWindowAndTab() {
    BrowserWindow* a = open();
    BrowserWindow* b = open();
    QPointer<BrowserWindow> guard(b);
    QCOMPARE(frame()->tabStrip()->count(), 2);
    emit b->webView()->windowClosing();
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(frame()->counter, 1);
    QCOMPARE(frame()->tabStrip()->count(), 1);
    QCOMPARE(frame()->browsers(), QList<BrowserWindow*>{a});
    QCOMPARE(frame()->statusPanel()->text(), QString());
}

void TestBrowserWindow::stopOnIdleWindowKeepsCaption() {
    BrowserWindow* w = open();
    view(w)->finishLoad(QStringLiteral("http://a.example/"), QStringLiteral("A"));
    QTRY_COMPARE(w->windowTitle(), QStringLiteral("A"));
    w->iSekunden = 30;
    click(w, "Stop");
    QCOMPARE(w->iSekunden, 0);
    QVERIFY(!w->isPolling());
    QVERIFY(!view(w)->calls.contains(QStringLiteral("stop")));
    QCOMPARE(w->windowTitle(), QStringLiteral("A"));
    // Busy: the engine is stopped and the caption shows the address.
    view(w)->busy = true;
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
