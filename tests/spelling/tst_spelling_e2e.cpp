#include "HttpTestServer.h"
#include "Keyboard.h"
#include "PageScript.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "browser/QtWebView.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "prefs/model/KorvixSettings.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineProfile>
#include <QWebEngineView>

// Spelling checked as one types, on the real engine with the dictionaries
// the build converted from Debian's Hunspell ones.
class TestSpellingE2E : public QObject {
    Q_OBJECT
public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void initTestCase();
    void germanSuggestionsInContextMenu();
    void menuChoosesLanguages();
    void cleanupTestCase();

private:
    struct Menu {
        QString misspelt;
        QStringList suggestions;
        QStringList items;
    };
    BrowserWindow* typeInto(const QString& text);
    // Right-clicks the n-th word of the text area, reads what the engine
    // said about it and what the menu offers, and closes the menu; with
    // `pick`, chooses that item instead.
    Menu contextMenuOn(BrowserWindow* w, int word, const QString& pick = QString());
    static QtWebView* viewOf(BrowserWindow* w) { return qobject_cast<QtWebView*>(w->webView()); }

    ScriptedDialogs m_dialogs;
    StartedApp m_app;
    HttpTestServer m_site;
};

void TestSpellingE2E::initTestCase() {
    QVERIFY(m_site.start());
    m_site.addPage(QStringLiteral("/text.html"),
                   "<html><head><title>Text</title></head><body style=\"margin:0\">"
                   "<textarea id=\"t\" style=\"font:32px monospace;width:700px;height:90px;"
                   "margin:0;padding:0;border:0\"></textarea></body></html>");
    m_app.writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    QVERIFY(m_app.startWithEngine());
}

void TestSpellingE2E::cleanupTestCase() {
    m_app.registry()->closeAllWindows();
    m_app.stop();
}

BrowserWindow* TestSpellingE2E::typeInto(const QString& text) {
    BrowserWindow* w = m_app.openWindow(m_site.url(QStringLiteral("/text.html")));
    if (!QTest::qWaitFor([w] { return pageLoaded(w); }, 30000))
        return nullptr;
    QtWebView* view = viewOf(w);
    if (!Keyboard::clickInto(view->engineView()->focusProxy(), QPoint(350, 45)) ||
        !QTest::qWaitFor(
            [view] {
                return runPageScript(view, QStringLiteral("document.activeElement.id")) ==
                       QStringLiteral("t");
            },
            10000))
        return nullptr;
    Keyboard::type(text);
    const bool typed = QTest::qWaitFor(
        [view, text] {
            return runPageScript(view, QStringLiteral("document.getElementById('t').value")) ==
                   text;
        },
        10000);
    return typed ? w : nullptr;
}

TestSpellingE2E::Menu TestSpellingE2E::contextMenuOn(BrowserWindow* w, int word,
                                                     const QString& pick) {
    QtWebView* view = viewOf(w);
    // Where the word lies: the text area's font is monospaced.
    const QVariantList where =
        runPageScript(view,
                      QStringLiteral("(function(){var t=document.getElementById('t');"
                                     "var c=document.createElement('canvas').getContext('2d');"
                                     "c.font=getComputedStyle(t).font;var words=t.value.split(' ');"
                                     "var before=words.slice(0,%1).join(' ')+(%1?' ':'');"
                                     "return [c.measureText(before).width+"
                                     "c.measureText(words[%1]).width/2,"
                                     "parseFloat(getComputedStyle(t).lineHeight)/2||18];})()")
                          .arg(word))
            .toList();
    Menu seen;
    if (where.size() != 2)
        return seen;
    const QPoint at(where.at(0).toInt(), where.at(1).toInt());
    QWidget* input = view->engineView()->focusProxy();
    QTest::mouseClick(input, Qt::RightButton, {}, at);
    QMenu* menu = nullptr;
    if (!QTest::qWaitFor(
            [&menu] {
                menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                return menu != nullptr;
            },
            10000))
        return seen;
    const QWebEngineContextMenuRequest* request = view->engineView()->lastContextMenuRequest();
    seen.misspelt = request->misspelledWord();
    seen.suggestions = request->spellCheckerSuggestions();
    QAction* chosen = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            continue;
        seen.items << a->text();
        if (a->text() == pick && !chosen)
            chosen = a;
    }
    menu->close();
    if (chosen)
        chosen->trigger();
    return seen;
}

void TestSpellingE2E::germanSuggestionsInContextMenu() {
    BrowserWindow* w = typeInto(QStringLiteral("Haus Hauss "));
    QVERIFY(w);
    // The engine checks a word once it is typed; its marks come a little later.
    Menu second;
    QTRY_VERIFY_WITH_TIMEOUT((second = contextMenuOn(w, 1)).misspelt == QStringLiteral("Hauss"),
                             20000);
    QVERIFY2(second.suggestions.contains(QStringLiteral("Haus")),
             qPrintable(second.suggestions.join(',')));
    // The program's menu: the engine's suggestions first, then the word
    // list, then the editing items.
    QCOMPARE(second.items.mid(0, second.suggestions.size()), second.suggestions);
    QCOMPARE(second.items.value(second.suggestions.size()),
             QStringLiteral("Zum Wörterbuch hinzufügen"));
    QCOMPARE(second.items.count(QStringLiteral("Haus")), 1);

    const Menu first = contextMenuOn(w, 0);
    QCOMPARE(first.misspelt, QString());
    QVERIFY(!first.items.contains(QStringLiteral("Zum Wörterbuch hinzufügen")));

    // A suggestion takes the misspelt word's place.
    contextMenuOn(w, 1, QStringLiteral("Haus"));
    QTRY_COMPARE_WITH_TIMEOUT(
        runPageScript(viewOf(w), QStringLiteral("document.getElementById('t').value")),
        QVariant(QStringLiteral("Haus Haus ")), 10000);
    m_app.registry()->closeAllWindows();
}

void TestSpellingE2E::menuChoosesLanguages() {
    QWebEngineProfile* profile = EngineProfile::profile();
    QCOMPARE(profile->spellCheckLanguages(), QStringList{QStringLiteral("de-DE")});
    QVERIFY(profile->isSpellCheckEnabled());
    QAction* german = m_app.frame()->findChild<QAction*>(QStringLiteral("spellGerman"));
    QAction* english = m_app.frame()->findChild<QAction*>(QStringLiteral("spellEnglish"));
    QAction* check = m_app.frame()->findChild<QAction*>(QStringLiteral("spellCheck"));
    QVERIFY(german && english && check);
    QVERIFY(german->isChecked() && !english->isChecked() && check->isChecked());

    english->trigger();
    QCOMPARE(profile->spellCheckLanguages(),
             (QStringList{QStringLiteral("de-DE"), QStringLiteral("en-US")}));
    german->trigger();
    QCOMPARE(profile->spellCheckLanguages(), QStringList{QStringLiteral("en-US")});
    QCOMPARE(KorvixSettings(m_app.dir()).spellLanguages(), QStringList{QStringLiteral("en-US")});

    // In English alone the German word is the misspelt one.
    BrowserWindow* w = typeInto(QStringLiteral("Haus house "));
    QVERIFY(w);
    QTRY_COMPARE_WITH_TIMEOUT(contextMenuOn(w, 0).misspelt, QStringLiteral("Haus"), 20000);
    QCOMPARE(contextMenuOn(w, 1).misspelt, QString());
    m_app.registry()->closeAllWindows();

    check->trigger();
    QVERIFY(!profile->isSpellCheckEnabled());
    QVERIFY(!KorvixSettings(m_app.dir()).spellCheck());
    check->trigger();
    german->trigger();
    QVERIFY(profile->isSpellCheckEnabled());
    QCOMPARE(KorvixSettings(m_app.dir()).spellLanguages(),
             (QStringList{QStringLiteral("de-DE"), QStringLiteral("en-US")}));
}

QTEST_MAIN(TestSpellingE2E)
#include "tst_spelling_e2e.moc"
