#include "Keyboard.h"
#include "archive/model/Archive.h"
#include "prefs/SettingsDialog.h"
#include "prefs/model/Prefer.h"

#include "FakeShell.h"
#include "ScriptedDialogs.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using PrefEdit = std::function<void(Prefer&)>;
Q_DECLARE_METATYPE(PrefEdit)

namespace {

struct FolderEntry {
    qint32 nr;
    QString name;
    QString file;
};

// Writes an archive index naming these folders (their files stay absent,
// which the archive reads as empty folders).
void writeArchive(const QString& dir, const QList<FolderEntry>& folders) {
    Book book(dir);
    QList<std::shared_ptr<Thema>> list;
    for (const FolderEntry& f : folders) {
        auto t = std::make_shared<Thema>();
        t->Nr = f.nr;
        t->Sequenz = f.nr;
        t->FileName = f.file;
        t->setDirName(f.name);
        list.append(t);
    }
    book.folders = list;
    QString error;
    QVERIFY2(book.save(&error), qPrintable(error));
}

using KindMember = qint16 Prefer::*;
const KindMember KindMembers[] = {&Prefer::StatusBar, &Prefer::TabStrip,    &Prefer::Adresszeile,
                                  &Prefer::Toolbar,   &Prefer::TabFontBold, &Prefer::TabButton,
                                  &Prefer::TabAlign,  &Prefer::StartBrowser};

const QList<FolderEntry> FourFolders = {
    {1, QStringLiteral("Zeitung"), QStringLiteral("z.bkm")},
    {2, QStringLiteral("arbeit"), QStringLiteral("a.bkm")},
    {3, QStringLiteral("Ämter"), QStringLiteral("ae.bkm")},
    {4, QStringLiteral("Beta"), QStringLiteral("b.bkm")},
};

template <typename T> T* control(QWidget* dialog, const QString& name) {
    T* w = dialog->findChild<T*>(name);
    if (!w)
        qFatal("control %s missing", qPrintable(name));
    return w;
}

// A click inside the box or circle, where the user aims; the widget may be
// wider than its caption.
void clickButton(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

// A click into the field, all of its text selected and typed over.
void typeInto(QLineEdit* edit, const QString& text) {
    QVERIFY(Keyboard::clickInto(edit));
    QVERIFY(Keyboard::press(Qt::Key_A, Qt::ControlModifier));
    QVERIFY(Keyboard::press(Qt::Key_Delete));
    QVERIFY(Keyboard::type(text));
}

QStringList itemsOf(const QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

QByteArray fileContent(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT

private:
    // One dialog on a fresh program directory.
    struct Session {
        FakeShell shell;
        QTemporaryDir& dir = shell.folder;
        Prefer& prefs = shell.prefs;
        ScriptedDialogs dialogs;
        std::unique_ptr<SettingsDialog> dlg;

        QString prefFile() const { return dir.filePath(QStringLiteral("Pref.kxp")); }
        void open() {
            dlg = std::make_unique<SettingsDialog>(shell, nullptr);
            dlg->show();
            dlg->activateWindow();
            if (!QTest::qWaitForWindowActive(dlg.get()))
                qWarning("dialog did not become active");
        }
        template <typename T> T* get(const QString& name) { return control<T>(dlg.get(), name); }
        QTabWidget* tabs() { return get<QTabWidget>(QStringLiteral("pages")); }
        void page(int index) {
            QTabBar* bar = tabs()->tabBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        }
        void click(const QString& name) { clickButton(get<QAbstractButton>(name)); }
        void push(const QString& name) {
            QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton);
        }
        bool checked(const QString& name) { return get<QAbstractButton>(name)->isChecked(); }
        QString text(const QString& name) { return get<QLineEdit>(name)->text(); }
        void save() {
            push(QStringLiteral("ok"));
            QVERIFY(dlg->saved());
        }
        void pickFolder(const QString& name) {
            auto* combo = get<QComboBox>(QStringLiteral("folderList"));
            const int index = combo->findText(name);
            QVERIFY2(index >= 0, qPrintable(name));
            combo->showPopup();
            QAbstractItemView* view = combo->view();
            QVERIFY(QTest::qWaitForWindowExposed(view->window()));
            const QRect rect = view->visualRect(view->model()->index(index, 0));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
            QTRY_VERIFY(!view->isVisible());
            QCOMPARE(combo->currentText(), name);
        }
        // Which start-page control is currently enabled in its own right.
        bool enabledOnPage(const QString& name) {
            QWidget* w = get<QWidget>(name);
            return w->isEnabledTo(get<QWidget>(QStringLiteral("page1")));
        }
    };

private slots:
    void opensOnFirstPageAndOnlyThatPageTakesInput();
    void shownNumbers_data();
    void shownNumbers();
    void typedNumbers_data();
    void typedNumbers();
    void numberListsTakeOnlyDigits();
    void shownValues_data();
    void shownValues();
    void storedKinds_data();
    void storedKinds();
    void missingAccountField_data();
    void missingAccountField();
    void disabledAccountIsNotChecked();
    void accountCheckBoxes();
    void browserAndFolderGiveLoadOption3();
    void nothingChecked_data();
    void nothingChecked();
    void layoutFile();
    void coupling_data();
    void coupling();
    void folderListSortedByName();
    void storedFolderShownOnOpen();
    void folderBoxWithoutPick();
    void storedFolderAmongTwoOfOneName();
    void groupFileOnFolderChange_data();
    void groupFileOnFolderChange();
    void standardResetsControlsOnly();
    void standardThenCancelChangesNothing();
    void keys_data();
    void keys();
    void mailProgramChooser();
    void failedSaveKeepsDialogOpen();
};

void TestSettingsDialog::opensOnFirstPageAndOnlyThatPageTakesInput() {
    Session s;
    s.open();
    QCOMPARE(s.dlg->windowTitle(), QStringLiteral("Korvix Einstellungen"));
    QTabWidget* tabs = s.tabs();
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Allgemein"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Programmstart"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("POP3 E-Mail Checking"));
    QCOMPARE(tabs->currentIndex(), 0);
    for (int shown : {0, 2, 1}) {
        s.page(shown);
        QCOMPARE(tabs->currentIndex(), shown);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(s.get<QWidget>(QStringLiteral("page%1").arg(i))->isEnabled(), i == shown);
    }
}

// Stored values outside a list's range show as its nearest allowed value.
void TestSettingsDialog::shownNumbers_data() {
    QTest::addColumn<bool>("history"); // else the check interval
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("history 25 shows as 10") << true << 25 << "10";
    QTest::newRow("history 100 kept") << true << 100 << "100";
    QTest::newRow("history 30 not in the list, kept") << true << 30 << "30";
    QTest::newRow("history 0") << true << 0 << "10";
    QTest::newRow("history negative multiple of 10") << true << -20 << "10";
    QTest::newRow("interval 5") << false << 5 << "5";
    QTest::newRow("interval 20, typed once") << false << 20 << "20";
    QTest::newRow("interval 0 shows as 1") << false << 0 << "1";
    QTest::newRow("interval -3 shows as 1") << false << -3 << "1";
    QTest::newRow("interval 546 is the most") << false << 546 << "546";
    QTest::newRow("interval 600 would overflow the poller") << false << 600 << "546";
}

void TestSettingsDialog::shownNumbers() {
    QFETCH(bool, history);
    QFETCH(int, stored);
    QFETCH(QString, shown);
    Session s;
    qint16 Prefer::*member = history ? &Prefer::HistoryRows : &Prefer::CheckIntervall;
    s.prefs.*member = qint16(stored);
    s.open();
    QCOMPARE(s.get<QComboBox>(history ? "historyRows" : "checkInterval")->currentText(), shown);
    s.save();
    QCOMPARE(s.dlg->result(), int(QDialog::Accepted));
    QCOMPARE(s.prefs.*member, qint16(shown.toInt()));
    Prefer again(s.dir.path());
    QString error;
    QVERIFY2(again.load(&error), qPrintable(error));
    QCOMPARE(again.*member, qint16(shown.toInt()));
}

void TestSettingsDialog::typedNumbers_data() {
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<int>("stored");
    const QString empty = QStringLiteral("Feld darf nicht leer sein.");
    QTest::newRow("history 70") << "historyRows" << 0 << "70"
                                << "" << 70;
    QTest::newRow("history largest") << "historyRows" << 0 << "32767"
                                     << "" << 32767;
    QTest::newRow("history too large") << "historyRows" << 0 << "32768"
                                       << "Bitte eine ganze Zahl von 1 bis 32767 eingeben." << 0;
    QTest::newRow("history 0") << "historyRows" << 0 << "0"
                               << "Bitte eine ganze Zahl von 1 bis 32767 eingeben." << 0;
    QTest::newRow("history empty") << "historyRows" << 0 << "" << empty << 0;
    QTest::newRow("interval 546") << "checkInterval" << 2 << "546"
                                  << "" << 546;
    QTest::newRow("interval 547") << "checkInterval" << 2 << "547"
                                  << "Bitte eine ganze Zahl von 1 bis 546 eingeben." << 0;
    QTest::newRow("interval 0") << "checkInterval" << 2 << "0"
                                << "Bitte eine ganze Zahl von 1 bis 546 eingeben." << 0;
    QTest::newRow("interval empty") << "checkInterval" << 2 << "" << empty << 0;
}

void TestSettingsDialog::typedNumbers() {
    QFETCH(QString, combo);
    QFETCH(int, page);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(int, stored);
    Session s;
    s.open();
    const QByteArray before = s.prefs.toRecord();
    auto* box = s.get<QComboBox>(combo);
    s.page(page);
    typeInto(box->lineEdit(), typed);
    QCOMPARE(box->currentText(), typed);
    // Start from the other page, so the check has to bring the field forward.
    s.page(1);
    s.push(QStringLiteral("ok"));
    if (message.isEmpty()) {
        QVERIFY(s.dlg->saved());
        QVERIFY(s.dialogs.messages.isEmpty());
        QCOMPARE(combo == QLatin1String("historyRows") ? s.prefs.HistoryRows
                                                       : s.prefs.CheckIntervall,
                 qint16(stored));
        return;
    }
    QCOMPARE(s.dialogs.messages.size(), 1);
    QCOMPARE(s.dialogs.messages[0].text, message);
    QCOMPARE(s.dialogs.messages[0].title, QStringLiteral("Meldung"));
    QVERIFY(!s.dlg->saved());
    QVERIFY(s.dlg->isVisible());
    QCOMPARE(s.tabs()->currentIndex(), page);
    QCOMPARE(s.dlg->focusWidget(), box);
    QCOMPARE(s.prefs.toRecord(), before);
    QVERIFY(!QFile::exists(s.prefFile()));
}

void TestSettingsDialog::numberListsTakeOnlyDigits() {
    Session s;
    s.open();
    auto* history = s.get<QComboBox>(QStringLiteral("historyRows"));
    typeInto(history->lineEdit(), QStringLiteral("-1a2 3.4,5"));
    QCOMPARE(history->currentText(), QStringLiteral("12345"));
    QVERIFY(Keyboard::clickInto(history->lineEdit()));
    QVERIFY(Keyboard::press(Qt::Key_End));
    QVERIFY(Keyboard::type(QStringLiteral("6")));
    QCOMPARE(history->currentText(), QStringLiteral("12345"));
    s.page(2);
    auto* interval = s.get<QComboBox>(QStringLiteral("checkInterval"));
    typeInto(interval->lineEdit(), QStringLiteral("9999"));
    QCOMPARE(interval->currentText(), QStringLiteral("999"));
    QCOMPARE(itemsOf(interval), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
    QCOMPARE(itemsOf(history), (QStringList{"10", "50", "100"}));
}

void TestSettingsDialog::shownValues_data() {
    QTest::addColumn<PrefEdit>("edit");
    QTest::addColumn<QStringList>("checkedNames");
    QTest::addColumn<QStringList>("uncheckedNames");
    QTest::newRow("all zero") << PrefEdit([](Prefer& p) {
        p.StatusBar = p.TabStrip = p.StartBrowser = p.Toolbar = p.Adresszeile = 0;
        p.TabButton = p.TabFontBold = 0;
        p.TabAlign = 0;
        p.LoadOption = 0;
    }) << QStringList{"tabsAsTabs", "tabsTop"}
                              << QStringList{"statusBar",  "startBrowser",  "addressBar",
                                             "toolbar",    "tabBar",        "startFolder",
                                             "tabsBold",   "tabsAsButtons", "startLayout",
                                             "tabsBottom", "accountOn1",    "accountOn2",
                                             "accountOn3", "accountOn4"};
    QTest::newRow("any non-zero value is on") << PrefEdit([](Prefer& p) {
        p.StatusBar = 2;
        p.TabStrip = p.StartBrowser = p.Toolbar = p.Adresszeile = 1;
        p.TabButton = 5;
        p.TabFontBold = -1;
        p.TabAlign = 2;
        p.LoadOption = 1;
        p.EnableMailCheck2 = 1;
        p.EnableMailCheck4 = -1;
    }) << QStringList{"statusBar", "startBrowser",  "addressBar", "toolbar",    "tabBar",
                      "tabsBold",  "tabsAsButtons", "tabsBottom", "accountOn2", "accountOn4"}
                                              << QStringList{"startFolder", "tabsAsTabs",
                                                             "startLayout", "tabsTop",
                                                             "accountOn1",  "accountOn3"};
    QTest::newRow("tab position above 2 is the bottom")
        << PrefEdit([](Prefer& p) { p.TabAlign = 7; }) << QStringList{"tabsBottom", "tabsAsButtons"}
        << QStringList{"tabsTop", "tabsAsTabs"};
    QTest::newRow("layout start hides the browser window") << PrefEdit([](Prefer& p) {
        p.StartBrowser = -1;
        p.LoadOption = 2;
        p.Layout = QStringLiteral("  sitzung.wlt") + QString(1010, u' ');
    }) << QStringList{"startLayout"} << QStringList{"startBrowser", "startFolder"};
}

void TestSettingsDialog::shownValues() {
    QFETCH(PrefEdit, edit);
    QFETCH(QStringList, checkedNames);
    QFETCH(QStringList, uncheckedNames);
    Session s;
    s.prefs.HomeUrl = QStringLiteral("https://start.example/");
    s.prefs.SearchEngine = QStringLiteral("https://suche.example/");
    s.prefs.MailClient = QStringLiteral("/usr/bin/mail programm");
    s.prefs.MailSrv3 = QStringLiteral("  pop.example  ");
    s.prefs.User3 = QStringLiteral(" ich");
    s.prefs.Pwd3 = QStringLiteral("geheim ");
    edit(s.prefs);
    s.open();
    for (const QString& name : checkedNames)
        QVERIFY2(s.checked(name), qPrintable(name));
    for (const QString& name : uncheckedNames)
        QVERIFY2(!s.checked(name), qPrintable(name));
    QCOMPARE(s.text("homeUrl"), s.prefs.HomeUrl);
    QCOMPARE(s.text("searchEngine"), s.prefs.SearchEngine);
    QCOMPARE(s.text("mailClient"), s.prefs.MailClient);
    QCOMPARE(s.get<QLineEdit>(QStringLiteral("server3"))->text(), QStringLiteral("pop.example"));
    QCOMPARE(s.get<QLineEdit>(QStringLiteral("user3"))->text(), QStringLiteral("ich"));
    QCOMPARE(s.get<QLineEdit>(QStringLiteral("password3"))->text(), QStringLiteral("geheim"));
    QCOMPARE(s.get<QLineEdit>(QStringLiteral("password3"))->echoMode(), QLineEdit::Password);
    QCOMPARE(s.text("layoutFile"),
             s.prefs.LoadOption == 2 ? QStringLiteral("sitzung.wlt") : QString());
    // Account fields follow their boxes.
    for (int n = 1; n <= 4; ++n) {
        const bool on = s.checked(QStringLiteral("accountOn%1").arg(n));
        for (const char* field : {"server", "user", "password"}) {
            QWidget* w = s.get<QWidget>(QString::fromLatin1(field) + QString::number(n));
            QCOMPARE(w->isEnabledTo(s.get<QWidget>(QStringLiteral("page2"))), on);
        }
    }
}

void TestSettingsDialog::storedKinds_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("which"); // index into KindMembers
    QTest::addColumn<int>("expected");
    // Booleans are stored as -1, check states as 1, the tab position as 2.
    QTest::newRow("status bar") << "statusBar" << 1 << 0 << 1;
    QTest::newRow("tab strip") << "tabBar" << 1 << 1 << -1;
    QTest::newRow("address line") << "addressBar" << 0 << 2 << -1;
    QTest::newRow("toolbar") << "toolbar" << 0 << 3 << -1;
    QTest::newRow("bold tabs") << "tabsBold" << 0 << 4 << 1;
    QTest::newRow("tabs as buttons") << "tabsAsButtons" << 0 << 5 << -1;
    QTest::newRow("tabs at the bottom") << "tabsBottom" << 0 << 6 << 2;
    QTest::newRow("browser window") << "startBrowser" << 1 << 7 << -1;
}

void TestSettingsDialog::storedKinds() {
    QFETCH(QString, name);
    QFETCH(int, page);
    QFETCH(int, which);
    QFETCH(int, expected);
    Session s;
    Prefer& p = s.prefs;
    p.StatusBar = p.TabStrip = p.Adresszeile = p.Toolbar = p.TabFontBold = p.TabButton = 0;
    p.StartBrowser = 0;
    p.TabAlign = 1;
    p.LoadOption = 0;
    s.open();
    s.page(page);
    s.click(name);
    QVERIFY(s.checked(name));
    s.save();
    const KindMember m = KindMembers[which];
    QCOMPARE(int(p.*m), expected);
    // Every other value stayed as it was.
    for (const KindMember other : KindMembers) {
        if (other != m)
            QCOMPARE(int(p.*other), other == &Prefer::TabAlign ? 1 : 0);
    }
}

void TestSettingsDialog::missingAccountField_data() {
    QTest::addColumn<int>("account");
    QTest::addColumn<QStringList>("typed"); // server, user, password
    QTest::addColumn<QString>("focused");
    QTest::newRow("account 2, password of blanks")
        << 2 << QStringList{"pop.example", "ich", "   "} << "password2";
    QTest::newRow("account 4, empty password")
        << 4 << QStringList{"pop.example", "ich", ""} << "password4";
    QTest::newRow("account 1, nothing") << 1 << QStringList{"", "", ""} << "server1";
    QTest::newRow("account 3, user of blanks") << 3 << QStringList{"pop", "  ", "x"} << "user3";
    QTest::newRow("server of blanks before empty password")
        << 2 << QStringList{" ", "ich", ""} << "server2";
}

void TestSettingsDialog::missingAccountField() {
    QFETCH(int, account);
    QFETCH(QStringList, typed);
    QFETCH(QString, focused);
    Session s;
    // A complete account after the faulty one must not hide the fault.
    s.prefs.EnableMailCheck4 = account == 4 ? 0 : -1;
    s.prefs.MailSrv4 = s.prefs.User4 = s.prefs.Pwd4 = QStringLiteral("x");
    s.open();
    const QByteArray before = s.prefs.toRecord();
    s.page(2);
    const QString n = QString::number(account);
    s.click(QStringLiteral("accountOn") + n);
    typeInto(s.get<QLineEdit>(QStringLiteral("server") + n), typed[0]);
    typeInto(s.get<QLineEdit>(QStringLiteral("user") + n), typed[1]);
    typeInto(s.get<QLineEdit>(QStringLiteral("password") + n), typed[2]);
    s.page(0);
    s.get<QWidget>(QStringLiteral("homeUrl"))->setFocus();
    s.push(QStringLiteral("ok"));

    QCOMPARE(s.dialogs.messages.size(), 1);
    QCOMPARE(s.dialogs.messages[0].text, QStringLiteral("Feld darf nicht leer sein."));
    QCOMPARE(s.dialogs.messages[0].title, QStringLiteral("Meldung"));
    QCOMPARE(s.dialogs.messages[0].icon, QMessageBox::Warning);
    QCOMPARE(s.tabs()->currentIndex(), 2);
    QCOMPARE(s.dlg->focusWidget(), s.get<QWidget>(focused));
    QVERIFY(s.dlg->isVisible());
    QVERIFY(!s.dlg->saved());
    QCOMPARE(s.prefs.toRecord(), before);
    QVERIFY(!QFile::exists(s.prefFile()));
}

void TestSettingsDialog::disabledAccountIsNotChecked() {
    Session s;
    s.prefs.EnableMailCheck1 = -1;
    s.prefs.MailSrv1 = QStringLiteral("pop.one");
    s.open();
    s.page(2);
    // Switching the account off keeps its unfinished fields out of the check.
    s.click(QStringLiteral("accountOn1"));
    s.click(QStringLiteral("accountOn3"));
    typeInto(s.get<QLineEdit>(QStringLiteral("server3")), QStringLiteral("pop.drei"));
    typeInto(s.get<QLineEdit>(QStringLiteral("user3")), QStringLiteral("drei"));
    typeInto(s.get<QLineEdit>(QStringLiteral("password3")), QStringLiteral(" p w "));
    s.push(QStringLiteral("ok"));
    QVERIFY(s.dialogs.messages.isEmpty());
    QVERIFY(s.dlg->saved());
    QCOMPARE((QStringList{s.prefs.MailSrv1, s.prefs.MailSrv3, s.prefs.User3, s.prefs.Pwd3}),
             (QStringList{"pop.one", "pop.drei", "drei", " p w "}));
    QCOMPARE((QList<int>{s.prefs.EnableMailCheck1, s.prefs.EnableMailCheck2,
                         s.prefs.EnableMailCheck3, s.prefs.EnableMailCheck4}),
             (QList<int>{0, 0, -1, 0}));
}

void TestSettingsDialog::accountCheckBoxes() {
    Session s;
    s.prefs.MailSrv1 = QStringLiteral("pop.one");
    s.open();
    s.page(2);
    auto* srv1 = s.get<QLineEdit>(QStringLiteral("server1"));
    auto* srv2 = s.get<QLineEdit>(QStringLiteral("server2"));
    QVERIFY(!srv2->isEnabled());
    s.click(QStringLiteral("accountOn2"));
    QVERIFY(srv2->isEnabled());
    QVERIFY(s.get<QWidget>(QStringLiteral("user2"))->isEnabled());
    QVERIFY(s.get<QWidget>(QStringLiteral("password2"))->isEnabled());
    QCOMPARE(s.dlg->focusWidget(), srv2);
    // A server already entered leaves the focus on the box.
    s.click(QStringLiteral("accountOn1"));
    QVERIFY(srv1->isEnabled());
    QCOMPARE(s.dlg->focusWidget(), s.get<QWidget>(QStringLiteral("accountOn1")));
    s.click(QStringLiteral("accountOn2"));
    QVERIFY(!srv2->isEnabled());
    QVERIFY(!s.get<QWidget>(QStringLiteral("password2"))->isEnabled());
}

void TestSettingsDialog::browserAndFolderGiveLoadOption3() {
    Session s;
    writeArchive(s.dir.path(), FourFolders);
    s.prefs.StartBrowser = -1;
    s.prefs.LoadOption = 1;
    s.open();
    s.page(1);
    QVERIFY(s.checked(QStringLiteral("startBrowser")));
    s.click(QStringLiteral("startFolder"));
    s.pickFolder(QStringLiteral("Beta"));
    s.save();
    QCOMPARE(s.prefs.LoadOption, qint16(3));
    QCOMPARE(s.prefs.StartBrowser, qint16(-1));
    QCOMPARE(s.prefs.Group, QStringLiteral("Beta"));
    QCOMPARE(s.prefs.GroupFile, QStringLiteral("b.bkm"));
    QCOMPARE(s.prefs.Layout, QString());
}

void TestSettingsDialog::nothingChecked_data() {
    QTest::addColumn<PrefEdit>("edit");
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("group");
    QTest::newRow("browser switched off") << PrefEdit([](Prefer& p) {
        p.LoadOption = 1;
        p.StartBrowser = -1;
        p.Layout = QStringLiteral("alt.wlt");
    }) << QStringList{"startBrowser"} << "";
    QTest::newRow("layout switched off through the browser box") << PrefEdit([](Prefer& p) {
        p.LoadOption = 2;
        p.StartBrowser = -1;
        p.Layout = QStringLiteral("alt.wlt");
    }) << QStringList{"startBrowser", "startBrowser"} << "";
    QTest::newRow("folder and browser switched off") << PrefEdit([](Prefer& p) {
        p.LoadOption = 3;
        p.StartBrowser = -1;
        p.Group = QStringLiteral("Beta");
        p.GroupFile = QStringLiteral("b.bkm");
        p.Layout = QStringLiteral("alt.wlt");
    }) << QStringList{"startFolder", "startBrowser"} << "Beta";
    QTest::newRow("layout selected but empty") << PrefEdit([](Prefer& p) {
        p.LoadOption = 1;
        p.StartBrowser = -1;
        p.Layout = QStringLiteral("alt.wlt");
    }) << QStringList{"startLayout"} << "";
}

void TestSettingsDialog::nothingChecked() {
    QFETCH(PrefEdit, edit);
    QFETCH(QStringList, clicks);
    QFETCH(QString, group);
    Session s;
    writeArchive(s.dir.path(), FourFolders);
    edit(s.prefs);
    s.open();
    s.page(1);
    for (const QString& name : clicks)
        s.click(name);
    QVERIFY(!s.checked(QStringLiteral("startBrowser")));
    QVERIFY(!s.checked(QStringLiteral("startFolder")));
    s.save();
    QCOMPARE(s.prefs.LoadOption, qint16(0));
    QCOMPARE(s.prefs.Layout, QString());
    QCOMPARE(s.prefs.StartBrowser, qint16(0));
    // The folder was never picked, so its name stays for a later start.
    QCOMPARE(s.prefs.Group, group);
}

void TestSettingsDialog::layoutFile() {
    Session s;
    writeArchive(s.dir.path(), FourFolders);
    s.prefs.LoadOption = 3;
    s.prefs.StartBrowser = -1;
    s.prefs.Group = QStringLiteral("Beta");
    s.prefs.GroupFile = QStringLiteral("b.bkm");
    s.open();
    s.page(1);
    QVERIFY(!s.enabledOnPage(QStringLiteral("chooseLayout")));
    s.click(QStringLiteral("startLayout"));
    QVERIFY(s.enabledOnPage(QStringLiteral("chooseLayout")));
    QVERIFY(s.enabledOnPage(QStringLiteral("layoutFile")));

    // A cancelled choice leaves the field alone.
    s.push(QStringLiteral("chooseLayout"));
    QCOMPARE(s.text("layoutFile"), QString());
    const QString chosen = s.dir.filePath(QStringLiteral("arbeit platz.wlt"));
    s.dialogs.fileNames << chosen;
    s.push(QStringLiteral("chooseLayout"));
    QCOMPARE(s.dialogs.fileCaptions,
             (QStringList{"Fensterlayout-Datei auswählen...", "Fensterlayout-Datei auswählen..."}));
    QCOMPARE(s.dialogs.fileFilters.last(),
             QStringLiteral("Fensterlayout-Datei auswählen... (*.wlt)"));
    QCOMPARE(s.text("layoutFile"), chosen);
    s.save();
    QCOMPARE(s.prefs.LoadOption, qint16(2));
    QCOMPARE(s.prefs.Layout, chosen);
    QCOMPARE(s.prefs.StartBrowser, qint16(0));
    QCOMPARE(s.prefs.GroupFile, QStringLiteral("b.bkm"));
}

void TestSettingsDialog::coupling_data() {
    QTest::addColumn<int>("loadOption");
    QTest::addColumn<QStringList>("clicks");
    // Check2, Check6, Option3, list, Text16, LayoutSearch_Btn
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("listItems");
    QTest::newRow("open with browser") << 1 << QStringList{} << "100000" << 0;
    QTest::newRow("open with folder") << 3 << QStringList{} << "110100" << 4;
    QTest::newRow("open with layout") << 2 << QStringList{} << "001011" << 0;
    QTest::newRow("layout clears browser and folder")
        << 3 << QStringList{"startLayout"} << "001011" << 4;
    QTest::newRow("second click keeps the layout")
        << 1 << QStringList{"startLayout", "startLayout"} << "001011" << 0;
    QTest::newRow("browser box ends the layout")
        << 2 << QStringList{"startBrowser"} << "100000" << 0;
    QTest::newRow("browser box off ends the layout too")
        << 2 << QStringList{"startBrowser", "startLayout", "startBrowser", "startBrowser"}
        << "000000" << 0;
    QTest::newRow("folder box ends the layout") << 2 << QStringList{"startFolder"} << "010100" << 4;
    QTest::newRow("folder box off empties the list")
        << 3 << QStringList{"startFolder"} << "100000" << 0;
    QTest::newRow("browser box leaves the folder")
        << 3 << QStringList{"startBrowser"} << "010100" << 4;
    QTest::newRow("folder after layout")
        << 1 << QStringList{"startLayout", "startFolder"} << "010100" << 4;
}

void TestSettingsDialog::coupling() {
    QFETCH(int, loadOption);
    QFETCH(QStringList, clicks);
    QFETCH(QString, expected);
    QFETCH(int, listItems);
    Session s;
    writeArchive(s.dir.path(), FourFolders);
    s.prefs.LoadOption = qint16(loadOption);
    s.prefs.StartBrowser = -1;
    s.prefs.Group = QStringLiteral("Beta");
    s.open();
    s.page(1);
    for (const QString& name : clicks)
        s.click(name);
    const auto bit = [](bool b) { return b ? QLatin1Char('1') : QLatin1Char('0'); };
    QString actual;
    actual += bit(s.checked(QStringLiteral("startBrowser")));
    actual += bit(s.checked(QStringLiteral("startFolder")));
    actual += bit(s.checked(QStringLiteral("startLayout")));
    actual += bit(s.enabledOnPage(QStringLiteral("folderList")));
    actual += bit(s.enabledOnPage(QStringLiteral("layoutFile")));
    actual += bit(s.enabledOnPage(QStringLiteral("chooseLayout")));
    QCOMPARE(actual, expected);
    QCOMPARE(s.get<QComboBox>(QStringLiteral("folderList"))->count(), listItems);
}

void TestSettingsDialog::folderListSortedByName() {
    Session s;
    writeArchive(s.dir.path(), FourFolders);
    s.open();
    s.page(1);
    s.click(QStringLiteral("startFolder"));
    auto* list = s.get<QComboBox>(QStringLiteral("folderList"));
    QCOMPARE(itemsOf(list), (QStringList{"Ämter", "arbeit", "Beta", "Zeitung"}));
    QCOMPARE(list->currentText(), QString());
    QCOMPARE(list->itemData(list->findText("arbeit")).toString(), QStringLiteral("[2]"));
    QVERIFY(!list->itemIcon(0).isNull());
}

void TestSettingsDialog::storedFolderShownOnOpen() {
    Session s;
    writeArchive(s.dir.path(), FourFolders);
    s.prefs.LoadOption = 3;
    s.prefs.StartBrowser = 0;
    // As loaded from the file: padded with blanks.
    s.prefs.Group = QStringLiteral("Zeitung") + QString(193, u' ');
    s.prefs.GroupFile = QStringLiteral("z.bkm") + QString(1019, u' ');
    const QString group = s.prefs.Group;
    const QString groupFile = s.prefs.GroupFile;
    s.open();
    s.page(1);
    QVERIFY(s.checked(QStringLiteral("startFolder")));
    QCOMPARE(s.get<QComboBox>(QStringLiteral("folderList"))->currentText(),
             QStringLiteral("Zeitung"));
    s.save();
    QCOMPARE(s.prefs.LoadOption, qint16(3));
    QCOMPARE(s.prefs.StartBrowser, qint16(0));
    QCOMPARE(s.prefs.Group, group);
    QCOMPARE(s.prefs.GroupFile, groupFile);
}

void TestSettingsDialog::folderBoxWithoutPick() {
    Session s;
    writeArchive(s.dir.path(), FourFolders);
    s.prefs.LoadOption = 1;
    s.prefs.StartBrowser = -1;
    s.prefs.Group = QStringLiteral("Beta");
    s.prefs.GroupFile = QStringLiteral("b.bkm");
    s.open();
    s.page(1);
    s.click(QStringLiteral("startFolder"));
    QCOMPARE(s.get<QComboBox>(QStringLiteral("folderList"))->currentText(), QString());
    s.save();
    // The folder wins over the browser window, and the one chosen before stays.
    QCOMPARE(s.prefs.LoadOption, qint16(3));
    QCOMPARE(s.prefs.StartBrowser, qint16(-1));
    QCOMPARE(s.prefs.Group, QStringLiteral("Beta"));
    QCOMPARE(s.prefs.GroupFile, QStringLiteral("b.bkm"));
}

void TestSettingsDialog::storedFolderAmongTwoOfOneName() {
    Session s;
    writeArchive(s.dir.path(), {{1, QStringLiteral("Beta"), QStringLiteral("b1.bkm")},
                                {2, QStringLiteral("Beta"), QStringLiteral("b2.bkm")}});
    s.prefs.LoadOption = 3;
    s.prefs.Group = QStringLiteral("Beta");
    s.prefs.GroupFile = QStringLiteral("b2.bkm");
    s.open();
    s.page(1);
    auto* list = s.get<QComboBox>(QStringLiteral("folderList"));
    QCOMPARE(list->currentIndex(), 1);
    QVERIFY(Keyboard::tabTo(list));
    QVERIFY(Keyboard::press(Qt::Key_Up));
    QCOMPARE(list->currentIndex(), 0);
    s.save();
    QCOMPARE(s.prefs.Group, QStringLiteral("Beta"));
    QCOMPARE(s.prefs.GroupFile, QStringLiteral("b1.bkm"));
}

void TestSettingsDialog::groupFileOnFolderChange_data() {
    QTest::addColumn<QStringList>("picks");
    QTest::addColumn<QStringList>("clicks"); // after the picks
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("groupFile");
    QTest::addColumn<int>("loadOption");
    QTest::newRow("other folder") << QStringList{"Alpha"} << QStringList{} << "ok"
                                  << "Alpha"
                                  << "a.bkm" << 3;
    // The same name as before, but the other folder of that name.
    QTest::newRow("second folder of the same name")
        << QStringList{"Beta#2"} << QStringList{} << "ok"
        << "Beta"
        << "b2.bkm" << 3;
    QTest::newRow("there and back") << QStringList{"Alpha", "Beta#1"} << QStringList{} << "ok"
                                    << "Beta"
                                    << "b1.bkm" << 3;
    QTest::newRow("picked, then switched off")
        << QStringList{"Alpha"} << QStringList{"startFolder"} << "ok"
        << ""
        << "a.bkm" << 1;
    // Off and on again empties the list: a folder box without a folder is
    // switched off, and with it the last start option.
    QTest::newRow("picked, then list emptied")
        << QStringList{"Alpha"} << QStringList{"startFolder", "startFolder", "startBrowser"} << "ok"
        << ""
        << "a.bkm" << 0;
    QTest::newRow("cancelled") << QStringList{"Alpha"} << QStringList{} << "cancel"
                               << "Beta"
                               << "b1.bkm" << 3;
}

void TestSettingsDialog::groupFileOnFolderChange() {
    QFETCH(QStringList, picks);
    QFETCH(QStringList, clicks);
    QFETCH(QString, button);
    QFETCH(QString, group);
    QFETCH(QString, groupFile);
    QFETCH(int, loadOption);
    Session s;
    writeArchive(s.dir.path(), {{1, QStringLiteral("Beta"), QStringLiteral("b1.bkm")},
                                {2, QStringLiteral("Alpha"), QStringLiteral("a.bkm")},
                                {3, QStringLiteral("Beta"), QStringLiteral("b2.bkm")}});
    s.prefs.LoadOption = 3;
    s.prefs.StartBrowser = -1;
    s.prefs.Group = QStringLiteral("Beta");
    s.prefs.GroupFile = QStringLiteral("b1.bkm");
    s.open();
    s.page(1);
    auto* list = s.get<QComboBox>(QStringLiteral("folderList"));
    QCOMPARE(itemsOf(list), (QStringList{"Alpha", "Beta", "Beta"}));
    QCOMPARE(list->currentIndex(), 1);
    for (const QString& pick : picks) {
        const QStringList parts = pick.split(QLatin1Char('#'));
        if (parts.size() == 1) {
            s.pickFolder(pick);
            continue;
        }
        // Folders of one name lie side by side; reach the n-th from the first.
        s.pickFolder(parts[0]);
        QVERIFY(Keyboard::tabTo(list));
        for (int i = 1; i < parts[1].toInt(); ++i)
            QVERIFY(Keyboard::press(Qt::Key_Down));
    }
    for (const QString& name : clicks)
        s.click(name);
    s.push(button);
    QCOMPARE(s.dlg->saved(), button == QLatin1String("ok"));
    QVERIFY(!s.dlg->isVisible());
    QCOMPARE(s.prefs.Group, group);
    QCOMPARE(s.prefs.GroupFile, groupFile);
    QCOMPARE(s.prefs.LoadOption, qint16(loadOption));
}

void TestSettingsDialog::standardResetsControlsOnly() {
    Session s;
    Prefer& p = s.prefs;
    p.HomeUrl = QStringLiteral("https://start.example/");
    p.SearchEngine = QStringLiteral("https://suche.example/");
    p.MailClient = QStringLiteral("/usr/bin/mailer");
    p.HistoryRows = 100;
    p.StatusBar = p.StartBrowser = p.Adresszeile = p.Toolbar = 0;
    p.TabStrip = p.TabButton = -1;
    p.TabFontBold = 1;
    p.TabAlign = 2;
    p.CheckIntervall = 7;
    p.LoadOption = 2;
    p.Layout = QStringLiteral("sitzung.wlt");
    p.EnableMailCheck2 = -1;
    p.MailSrv2 = QStringLiteral("pop.zwei");
    p.User2 = QStringLiteral("zwei");
    p.Pwd2 = QStringLiteral("pw");
    s.open();
    const QByteArray before = p.toRecord();
    s.push(QStringLiteral("standard"));
    QCOMPARE(p.toRecord(), before);
    QVERIFY(s.dlg->isVisible());

    QCOMPARE(s.text("homeUrl"), Prefer::DefaultHomeUrl);
    QCOMPARE(s.text("searchEngine"), Prefer::DefaultSearchEngine);
    QCOMPARE(s.text("mailClient"), QString());
    QCOMPARE(s.get<QComboBox>(QStringLiteral("historyRows"))->currentText(), QStringLiteral("50"));
    for (const char* on :
         {"statusBar", "startBrowser", "addressBar", "toolbar", "tabsAsTabs", "tabsBottom"})
        QVERIFY2(s.checked(QString::fromLatin1(on)), on);
    for (const char* off : {"tabBar", "tabsBold", "tabsAsButtons", "startLayout", "accountOn2"})
        QVERIFY2(!s.checked(QString::fromLatin1(off)), off);
    QVERIFY(!s.enabledOnPage(QStringLiteral("layoutFile")));
    QCOMPARE(s.text("layoutFile"), QStringLiteral("sitzung.wlt"));
    QCOMPARE(s.get<QComboBox>(QStringLiteral("checkInterval"))->currentText(), QStringLiteral("7"));
    auto* srv2 = s.get<QLineEdit>(QStringLiteral("server2"));
    QCOMPARE(srv2->text(), QStringLiteral("pop.zwei"));
    QVERIFY(!srv2->isEnabledTo(s.get<QWidget>(QStringLiteral("page2"))));

    s.save();
    QCOMPARE((QStringList{p.HomeUrl, p.SearchEngine, p.MailClient, p.Layout, p.MailSrv2, p.Pwd2}),
             (QStringList{Prefer::DefaultHomeUrl, Prefer::DefaultSearchEngine, "", "", "pop.zwei",
                          "pw"}));
    // HistoryRows, StatusBar, StartBrowser, LoadOption, Adresszeile, Toolbar,
    // TabStrip, TabButton, TabFontBold, TabAlign, CheckIntervall, EnableMailCheck2
    QCOMPARE((QList<int>{p.HistoryRows, p.StatusBar, p.StartBrowser, p.LoadOption, p.Adresszeile,
                         p.Toolbar, p.TabStrip, p.TabButton, p.TabFontBold, p.TabAlign,
                         p.CheckIntervall, p.EnableMailCheck2}),
             (QList<int>{50, 1, -1, 1, -1, -1, 0, 0, 0, 2, 7, 0}));
}

void TestSettingsDialog::standardThenCancelChangesNothing() {
    Session s;
    writeArchive(s.dir.path(), FourFolders);
    Prefer& p = s.prefs;
    p.HomeUrl = QStringLiteral("https://start.example/");
    p.HistoryRows = 25;
    p.TabButton = -1;
    p.LoadOption = 3;
    p.Group = QStringLiteral("Beta");
    p.GroupFile = QStringLiteral("b.bkm");
    p.EnableMailCheck1 = -1;
    p.MailSrv1 = p.User1 = p.Pwd1 = QStringLiteral("x");
    s.open();
    const QByteArray before = p.toRecord();
    s.push(QStringLiteral("standard"));
    s.page(1);
    s.pickFolder(QStringLiteral("Zeitung"));
    s.push(QStringLiteral("cancel"));
    QVERIFY(!s.dlg->isVisible());
    QCOMPARE(s.dlg->result(), int(QDialog::Rejected));
    QVERIFY(!s.dlg->saved());
    QCOMPARE(p.toRecord(), before);
    QCOMPARE(p.GroupFile, QStringLiteral("b.bkm"));
    QVERIFY(!QFile::exists(s.prefFile()));
}

void TestSettingsDialog::keys_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("outcome"); // saved, cancelled, open
    const int enter = Qt::Key_Return;
    const int escape = Qt::Key_Escape;
    QTest::newRow("Enter as the dialog opens") << "" << 0 << enter << "saved";
    QTest::newRow("Enter in the start address") << "homeUrl" << 0 << enter << "saved";
    QTest::newRow("keypad Enter in the search engine")
        << "searchEngine" << 0 << int(Qt::Key_Enter) << "saved";
    QTest::newRow("Enter in the mail program") << "mailClient" << 0 << enter << "saved";
    QTest::newRow("Enter in a server field") << "server2" << 2 << enter << "saved";
    QTest::newRow("Enter in a password field") << "password4" << 2 << enter << "saved";
    QTest::newRow("Enter on OK") << "ok" << 0 << enter << "saved";
    QTest::newRow("Enter on a check box") << "tabBar" << 1 << enter << "open";
    QTest::newRow("Enter in the layout field") << "layoutFile" << 1 << enter << "open";
    QTest::newRow("Escape in the start address") << "homeUrl" << 0 << escape << "cancelled";
    QTest::newRow("Escape in a user field") << "user1" << 2 << escape << "cancelled";
    QTest::newRow("Escape on OK") << "ok" << 0 << escape << "cancelled";
    QTest::newRow("Escape on Standard") << "standard" << 0 << escape << "cancelled";
    QTest::newRow("Escape on Abbruch") << "cancel" << 0 << escape << "cancelled";
    QTest::newRow("Escape on Suchen") << "chooseMailClient" << 0 << escape << "cancelled";
    QTest::newRow("Enter on Abbruch") << "cancel" << 0 << enter << "cancelled";
}

void TestSettingsDialog::keys() {
    QFETCH(QString, focus);
    QFETCH(int, page);
    QFETCH(int, key);
    QFETCH(QString, outcome);
    Session s;
    s.prefs.LoadOption = 2; // so that the layout field takes input
    s.prefs.Layout = QStringLiteral("a.wlt");
    s.prefs.EnableMailCheck1 = s.prefs.EnableMailCheck2 = s.prefs.EnableMailCheck4 = -1;
    for (int n : {1, 2, 4})
        s.prefs.MailSrv(n) = s.prefs.User(n) = s.prefs.Pwd(n) = QStringLiteral("x");
    s.open();
    s.page(page);
    s.get<QLineEdit>(QStringLiteral("homeUrl"))->setText(QStringLiteral("https://neu.example/"));
    if (!focus.isEmpty())
        QVERIFY(Keyboard::tabTo(s.get<QWidget>(focus)));
    QVERIFY(Keyboard::press(Qt::Key(key)));
    if (outcome == QLatin1String("saved")) {
        QVERIFY(s.dlg->saved());
        QVERIFY(!s.dlg->isVisible());
        QCOMPARE(s.prefs.HomeUrl, QStringLiteral("https://neu.example/"));
    } else if (outcome == QLatin1String("cancelled")) {
        QVERIFY(!s.dlg->saved());
        QVERIFY(!s.dlg->isVisible());
        QCOMPARE(s.dlg->result(), int(QDialog::Rejected));
        QCOMPARE(s.prefs.HomeUrl, Prefer::DefaultHomeUrl);
    } else {
        QVERIFY(s.dlg->isVisible());
        QVERIFY(!s.dlg->saved());
        QCOMPARE(s.prefs.HomeUrl, Prefer::DefaultHomeUrl);
    }
}

void TestSettingsDialog::mailProgramChooser() {
    Session s;
    s.prefs.MailClient = QStringLiteral("/usr/bin/alt");
    s.open();
    s.push(QStringLiteral("chooseMailClient"));
    QCOMPARE(s.dialogs.fileCaptions, QStringList{"E-Mail Anwendung auswählen..."});
    QCOMPARE(s.text("mailClient"), QStringLiteral("/usr/bin/alt"));
    s.dialogs.fileNames << QStringLiteral("/opt/Mail Programm/bin/post");
    s.push(QStringLiteral("chooseMailClient"));
    QCOMPARE(s.text("mailClient"), QStringLiteral("/opt/Mail Programm/bin/post"));
    s.push(QStringLiteral("ok"));
    QCOMPARE(s.prefs.MailClient, QStringLiteral("/opt/Mail Programm/bin/post"));
}

void TestSettingsDialog::failedSaveKeepsDialogOpen() {
    Session s;
    s.open();
    // A folder where the file belongs cannot be written over.
    QVERIFY(QDir(s.dir.path()).mkdir(QStringLiteral("Pref.kxp")));
    typeInto(s.get<QLineEdit>(QStringLiteral("homeUrl")), QStringLiteral("https://neu.example/"));
    s.push(QStringLiteral("ok"));
    QCOMPARE(s.dialogs.messages.size(), 1);
    QCOMPARE(s.dialogs.messages[0].title, QStringLiteral("Fehlermeldung"));
    QVERIFY(s.dlg->isVisible());
    QVERIFY(!s.dlg->saved());
    QCOMPARE(s.prefs.HomeUrl, Prefer::DefaultHomeUrl);

    // Once the way is clear, "OK" again saves what is shown.
    QVERIFY(QDir(s.dir.path()).rmdir(QStringLiteral("Pref.kxp")));
    s.save();
    QVERIFY(!s.dlg->isVisible());
    QCOMPARE(s.prefs.HomeUrl, QStringLiteral("https://neu.example/"));
    QVERIFY(fileContent(s.prefFile()).contains("https://neu.example/"));
}

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
