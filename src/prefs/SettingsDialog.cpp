#include "prefs/SettingsDialog.h"

#include "archive/model/Archive.h"
#include "common/RecordCodec.h"
#include "common/Twips.h"
#include "prefs/model/Prefer.h"
#include "shell/Shell.h"
#include "ui/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace SettingsRules;

namespace {

// Widths of the fields in Pref.kxp: longer text would be cut on saving.
constexpr int UrlWidth = 200;
constexpr int LayoutWidth = 1024;
constexpr int ServerWidth = 250;
constexpr int UserWidth = 250;
constexpr int PasswordWidth = 200;

QLineEdit* lineEdit(QWidget* parent, const QString& name, int maxLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    return edit;
}

QCheckBox* checkBox(QWidget* parent, const QString& name, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QRadioButton* radio(QWidget* parent, const QString& name, const QString& caption) {
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter is dispatched by the dialog itself, never by a default button.
    b->setAutoDefault(false);
    return b;
}

// A number list that takes typed digits but never more than `digits` of them.
QComboBox* numberList(QWidget* parent, const QString& name, const QStringList& items, int digits) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(digits)), combo));
    return combo;
}

} // namespace

// A number list shows its entry for the value, or the value typed in.
void SettingsDialog::showNumber(QComboBox* combo, int value) {
    const QString text = QString::number(value);
    const int index = combo->findText(text);
    if (index >= 0)
        combo->setCurrentIndex(index);
    else
        combo->setEditText(text);
}

SettingsDialog::SettingsDialog(Shell& shell, QWidget* parent)
    : QDialog(parent), m_prefs(shell.preferences()), m_appDir(shell.programFolder()) {
    setObjectName(QStringLiteral("frmEinstell"));
    setWindowTitle(QStringLiteral("Korvix Einstellungen"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(twipsToPx(120), twipsToPx(90), twipsToPx(120), twipsToPx(120));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("pages"));
    m_pages->setMinimumSize(twipsToPx(7275), twipsToPx(7935));
    const QString titles[] = {QStringLiteral("Allgemein"), QStringLiteral("Programmstart"),
                              QStringLiteral("POP3 E-Mail Checking")};
    for (int i = 0; i < 3; ++i) {
        m_page[i] = new QWidget(m_pages);
        m_page[i]->setObjectName(QStringLiteral("page%1").arg(i));
        m_pages->addTab(m_page[i], titles[i]);
    }
    buildGeneralPage(m_page[0]);
    buildStartPage(m_page[1]);
    buildMailPage(m_page[2]);
    layout->addWidget(m_pages);

    auto* buttons = new QHBoxLayout;
    m_standard = button(this, QStringLiteral("standard"), QStringLiteral("&Standard"));
    m_ok = button(this, QStringLiteral("ok"), QStringLiteral("OK"));
    m_cancel = button(this, QStringLiteral("cancel"), QStringLiteral("Abbruch"));
    buttons->addWidget(m_standard);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);

    connect(m_pages, &QTabWidget::currentChanged, this, &SettingsDialog::showPage);
    connect(m_ok, &QPushButton::clicked, this, &SettingsDialog::saveAndClose);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_standard, &QPushButton::clicked, this, &SettingsDialog::resetToDefaults);

    readFolders();
    m_folderChanged = false;
    m_openingFolder = trimBlanks(m_prefs.Group);
    m_pages->setCurrentIndex(0);
    showPage(0);
    fillControls();

    if (m_prefs.LoadOption == 3) {
        m_startFolder->setChecked(true);
        onStartFolderClicked();
        showFolder(m_prefs.Group, m_prefs.GroupFile);
    }
    if (m_prefs.LoadOption == 2) {
        m_startLayout->setChecked(true);
        onStartLayoutClicked();
        m_layoutFile->setText(trimBlanks(m_prefs.Layout));
    }
    enableAccountFields();
    // The dialog opens in its first field, where Enter means "OK", so that
    // opening it and pressing Enter leaves it as it was.
    m_homeUrl->setFocus(Qt::OtherFocusReason);
}

void SettingsDialog::buildGeneralPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    auto* grid = new QGridLayout;
    m_homeUrl = lineEdit(page, QStringLiteral("homeUrl"), UrlWidth);
    m_searchEngine = lineEdit(page, QStringLiteral("searchEngine"), UrlWidth);
    m_mailClient = lineEdit(page, QStringLiteral("mailClient"), UrlWidth);
    m_chooseMailClient =
        button(page, QStringLiteral("chooseMailClient"), QStringLiteral("Suchen..."));
    m_historyRows =
        numberList(page, QStringLiteral("historyRows"),
                   {QStringLiteral("10"), QStringLiteral("50"), QStringLiteral("100")}, 5);

    const auto label = [page](const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, page);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label(QStringLiteral("Startadresse:"), m_homeUrl), 0, 0);
    grid->addWidget(m_homeUrl, 0, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("Suchmaschine:"), m_searchEngine), 1, 0);
    grid->addWidget(m_searchEngine, 1, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("E-Mail Anwendung:"), m_mailClient), 2, 0);
    grid->addWidget(m_mailClient, 2, 1);
    grid->addWidget(m_chooseMailClient, 2, 2);
    grid->addWidget(label(QStringLiteral("Historie:"), m_historyRows), 3, 0);
    auto* history = new QHBoxLayout;
    history->addWidget(m_historyRows);
    history->addWidget(new QLabel(QStringLiteral("(Einträge maximal)"), page));
    history->addStretch(1);
    grid->addLayout(history, 3, 1, 1, 2);
    layout->addLayout(grid);

    auto* browser = new QGroupBox(QStringLiteral("Browser-Fenster:"), page);
    auto* browserLayout = new QVBoxLayout(browser);
    m_addressBar =
        checkBox(browser, QStringLiteral("addressBar"), QStringLiteral("Adresszeile einblenden."));
    m_toolbar = checkBox(browser, QStringLiteral("toolbar"), QStringLiteral("Toolbar einblenden."));
    browserLayout->addWidget(m_addressBar);
    browserLayout->addWidget(m_toolbar);
    layout->addWidget(browser);

    auto* tabs = new QGroupBox(QStringLiteral("Register:"), page);
    auto* tabsLayout = new QVBoxLayout(tabs);
    // Each pair of options lies in its own frame, so the pairs choose
    // independently of each other.
    auto* frame2 = new QFrame(tabs);
    frame2->setObjectName(QStringLiteral("tabStyle"));
    auto* frame2Layout = new QHBoxLayout(frame2);
    frame2Layout->setContentsMargins(0, 0, 0, 0);
    m_tabsAsTabs = radio(frame2, QStringLiteral("tabsAsTabs"), QStringLiteral("Tabs als Reiter"));
    m_tabsAsButtons =
        radio(frame2, QStringLiteral("tabsAsButtons"), QStringLiteral("Tabs als Tasten"));
    frame2Layout->addWidget(m_tabsAsTabs);
    frame2Layout->addWidget(m_tabsAsButtons);
    auto* frame3 = new QFrame(tabs);
    frame3->setObjectName(QStringLiteral("tabPosition"));
    auto* frame3Layout = new QHBoxLayout(frame3);
    frame3Layout->setContentsMargins(0, 0, 0, 0);
    m_tabsTop = radio(frame3, QStringLiteral("tabsTop"), QStringLiteral("Oben anordnen"));
    m_tabsBottom = radio(frame3, QStringLiteral("tabsBottom"), QStringLiteral("Unten anordnen"));
    frame3Layout->addWidget(m_tabsTop);
    frame3Layout->addWidget(m_tabsBottom);
    m_tabsBold = checkBox(tabs, QStringLiteral("tabsBold"), QStringLiteral("Schriftstil Fett"));
    tabsLayout->addWidget(frame2);
    tabsLayout->addWidget(frame3);
    tabsLayout->addWidget(m_tabsBold);
    layout->addWidget(tabs);
    layout->addStretch(1);

    connect(m_chooseMailClient, &QPushButton::clicked, this, &SettingsDialog::chooseMailClient);
}

void SettingsDialog::buildStartPage(QWidget* page) {
    auto* layout = new QGridLayout(page);
    m_startBrowser =
        checkBox(page, QStringLiteral("startBrowser"), QStringLiteral("Browser-Fenster öffnen."));
    m_startFolder =
        checkBox(page, QStringLiteral("startFolder"), QStringLiteral("Bookmarkordner öffnen"));
    m_folderList = new QComboBox(page);
    m_folderList->setObjectName(QStringLiteral("folderList"));
    m_folderList->setEnabled(false);
    m_startLayout =
        radio(page, QStringLiteral("startLayout"), QStringLiteral("Fensterlayout-Datei öffnen"));
    // m_startLayout stands alone and must be switched off by the other two boxes.
    m_startLayout->setAutoExclusive(false);
    m_layoutFile = lineEdit(page, QStringLiteral("layoutFile"), LayoutWidth);
    m_layoutFile->setEnabled(false);
    m_chooseLayout = button(page, QStringLiteral("chooseLayout"), QStringLiteral("Suchen..."));
    m_chooseLayout->setEnabled(false);
    m_statusBar =
        checkBox(page, QStringLiteral("statusBar"), QStringLiteral("Statuszeile einblenden."));
    m_tabBar =
        checkBox(page, QStringLiteral("tabBar"), QStringLiteral("Registerzeile aktivieren."));

    layout->addWidget(m_startBrowser, 0, 0, 1, 3);
    layout->addWidget(m_startFolder, 1, 0);
    layout->addWidget(m_folderList, 1, 1, 1, 2);
    layout->addWidget(m_startLayout, 2, 0);
    layout->addWidget(m_layoutFile, 2, 1);
    layout->addWidget(m_chooseLayout, 2, 2);
    layout->addWidget(m_statusBar, 3, 0, 1, 3);
    layout->addWidget(m_tabBar, 4, 0, 1, 3);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(5, 1);

    connect(m_startBrowser, &QCheckBox::clicked, this, &SettingsDialog::onStartBrowserClicked);
    connect(m_startFolder, &QCheckBox::clicked, this, &SettingsDialog::onStartFolderClicked);
    connect(m_startLayout, &QRadioButton::clicked, this, &SettingsDialog::onStartLayoutClicked);
    connect(m_folderList, &QComboBox::currentIndexChanged, this, &SettingsDialog::folderChanged);
    connect(m_chooseLayout, &QPushButton::clicked, this, &SettingsDialog::chooseLayoutFile);
}

void SettingsDialog::buildMailPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    for (int i = 0; i < 4; ++i) {
        const QString n = QString::number(i + 1);
        auto* box = new QGroupBox(QStringLiteral("E-Mail Konto ") + n, page);
        auto* grid = new QGridLayout(box);
        m_accountOn[i] =
            checkBox(box, QStringLiteral("accountOn") + n, QStringLiteral("aktivieren"));
        m_server[i] = lineEdit(box, QStringLiteral("server") + n, ServerWidth);
        m_user[i] = lineEdit(box, QStringLiteral("user") + n, UserWidth);
        m_password[i] = lineEdit(box, QStringLiteral("password") + n, PasswordWidth);
        m_password[i]->setEchoMode(QLineEdit::Password);
        grid->addWidget(m_accountOn[i], 0, 0, 1, 4);
        grid->addWidget(new QLabel(QStringLiteral("POP3 Server:"), box), 1, 0);
        grid->addWidget(m_server[i], 1, 1, 1, 3);
        grid->addWidget(new QLabel(QStringLiteral("User:"), box), 2, 0);
        grid->addWidget(m_user[i], 2, 1);
        grid->addWidget(new QLabel(QStringLiteral("Passwort:"), box), 2, 2);
        grid->addWidget(m_password[i], 2, 3);
        layout->addWidget(box);
        connect(m_accountOn[i], &QCheckBox::clicked, this, [this, i] { onAccountClicked(i); });
    }
    QStringList minutes;
    for (int m = 1; m <= 10; ++m)
        minutes << QString::number(m);
    m_checkInterval = numberList(page, QStringLiteral("checkInterval"), minutes, 3);
    auto* interval = new QHBoxLayout;
    interval->addWidget(new QLabel(QStringLiteral("Überprüfen alle"), page));
    interval->addWidget(m_checkInterval);
    interval->addWidget(new QLabel(QStringLiteral("Minuten."), page));
    interval->addStretch(1);
    layout->addLayout(interval);
    layout->addStretch(1);
}

// Only the page in front takes input.
void SettingsDialog::showPage(int index) {
    for (QWidget* frame : m_page)
        frame->setEnabled(false);
    if (index >= 0 && index < int(m_page.size()))
        m_page[index]->setEnabled(true);
}

void SettingsDialog::fillControls() {
    const Prefer& p = m_prefs;
    m_homeUrl->setText(p.HomeUrl);
    m_searchEngine->setText(p.SearchEngine);
    m_mailClient->setText(p.MailClient);
    showNumber(m_historyRows, historyRowsShown(p.HistoryRows));
    m_addressBar->setChecked(p.Adresszeile != 0);
    m_toolbar->setChecked(p.Toolbar != 0);
    m_tabsAsButtons->setChecked(p.TabButton != 0);
    m_tabsAsTabs->setChecked(p.TabButton == 0);
    m_tabsTop->setChecked(p.TabAlign < 2);
    m_tabsBottom->setChecked(p.TabAlign >= 2);
    m_tabsBold->setChecked(p.TabFontBold != 0);

    m_startBrowser->setChecked(p.StartBrowser != 0);
    m_statusBar->setChecked(p.StatusBar != 0);
    m_tabBar->setChecked(p.TabStrip != 0);

    for (int i = 0; i < 4; ++i) {
        m_accountOn[i]->setChecked(p.EnableMailCheck(i + 1) != 0);
        m_server[i]->setText(trimBlanks(p.MailSrv(i + 1)));
        m_user[i]->setText(trimBlanks(p.User(i + 1)));
        m_password[i]->setText(trimBlanks(p.Pwd(i + 1)));
    }
    showNumber(m_checkInterval, checkIntervallShown(p.CheckIntervall));
}

void SettingsDialog::readFolders() {
    m_groupFiles.clear();
    m_folders.clear();
    Book book(m_appDir);
    QString error;
    if (book.loadIndex(&error) == Book::LoadResult::Failed) {
        m_archiveError = error;
        return;
    }
    if (!book.folders)
        return;
    for (const std::shared_ptr<Thema>& thema : *book.folders) {
        if (!thema)
            continue;
        m_groupFiles.insert(folderKey(thema->Nr), thema->FileName);
        m_folders.append({thema->Nr, thema->DirName(), thema->FileName});
    }
}

void SettingsDialog::fillFolderList() {
    m_filling = true;
    m_folderList->clear();
    const QIcon picture = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (const Folder& f : sortedByName(m_folders))
        m_folderList->addItem(picture, f.name, folderKey(f.nr));
    // Nothing is chosen until the user picks a folder.
    m_folderList->setCurrentIndex(-1);
    m_filling = false;
    if (!m_archiveError.isEmpty()) {
        const QString reason = m_archiveError;
        m_archiveError.clear();
        Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Fehlermeldung"),
                         QStringLiteral("Die Bookmarkordner konnten nicht gelesen werden.\n") +
                             reason);
    }
}

// Shows the stored folder; of several folders with that name the one whose
// file is stored wins.
void SettingsDialog::showFolder(const QString& group, const QString& groupFile) {
    const QString name = trimBlanks(group);
    const QString file = trimBlanks(groupFile);
    int found = -1;
    for (int i = 0; i < m_folderList->count() && found < 0; ++i) {
        if (m_folderList->itemText(i) == name &&
            m_groupFiles.value(m_folderList->itemData(i).toString()) == file)
            found = i;
    }
    if (found < 0)
        found = m_folderList->findText(name, Qt::MatchExactly);
    m_filling = true;
    m_folderList->setCurrentIndex(found);
    m_filling = false;
}

void SettingsDialog::enableAccountFields() {
    for (int i = 0; i < 4; ++i) {
        const bool on = m_accountOn[i]->isChecked();
        m_server[i]->setEnabled(on);
        m_user[i]->setEnabled(on);
        m_password[i]->setEnabled(on);
    }
}

void SettingsDialog::onStartBrowserClicked() {
    m_startLayout->setChecked(false);
    m_layoutFile->setEnabled(false);
    m_chooseLayout->setEnabled(false);
}

void SettingsDialog::onStartFolderClicked() {
    m_startLayout->setChecked(false);
    m_layoutFile->setEnabled(false);
    m_chooseLayout->setEnabled(false);
    if (m_startFolder->isChecked()) {
        m_folderList->setEnabled(true);
        fillFolderList();
    } else {
        m_folderList->setEnabled(false);
        m_filling = true;
        m_folderList->clear();
        m_filling = false;
    }
}

void SettingsDialog::onStartLayoutClicked() {
    // A lone option is not exclusive, so a second click would clear it.
    m_startLayout->setChecked(true);
    m_startFolder->setChecked(false);
    m_startBrowser->setChecked(false);
    m_folderList->setEnabled(false);
    m_layoutFile->setEnabled(true);
    m_chooseLayout->setEnabled(true);
}

void SettingsDialog::folderChanged(int index) {
    if (m_filling)
        return;
    m_folderChanged = true;
    if (m_groupFiles.isEmpty() || !m_folderList->isEnabledTo(m_page[1]) || index < 0)
        return;
    const auto it = m_groupFiles.constFind(m_folderList->itemData(index).toString());
    if (it != m_groupFiles.constEnd())
        m_pickedGroupFile = *it;
}

void SettingsDialog::onAccountClicked(int account) {
    enableAccountFields();
    if (m_accountOn[account]->isChecked() && trimBlanks(m_server[account]->text()).isEmpty())
        m_server[account]->setFocus();
}

void SettingsDialog::chooseMailClient() {
    const QString current = trimBlanks(m_mailClient->text());
    const QString dir = current.isEmpty() ? QStringLiteral("/usr/bin") : QFileInfo(current).path();
    const QString name =
        Dialogs::openFileName(this, QStringLiteral("E-Mail Anwendung auswählen..."), dir,
                              QStringLiteral("Anwendung (*)"));
    if (!name.isEmpty())
        m_mailClient->setText(QDir::toNativeSeparators(QFileInfo(name).absoluteFilePath()));
}

void SettingsDialog::chooseLayoutFile() {
    const QString current = trimBlanks(m_layoutFile->text());
    const QString dir =
        current.isEmpty() ? m_appDir : QFileInfo(QDir(m_appDir), current).absolutePath();
    const QString name =
        Dialogs::openFileName(this, QStringLiteral("Fensterlayout-Datei auswählen..."), dir,
                              QStringLiteral("Fensterlayout-Datei auswählen... (*.wlt)"));
    if (!name.isEmpty())
        m_layoutFile->setText(QDir::toNativeSeparators(QFileInfo(name).absoluteFilePath()));
}
