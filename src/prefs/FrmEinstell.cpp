#include "prefs/FrmEinstell.h"

#include "app/Dialogs.h"
#include "archive/model/Archive.h"
#include "common/RecordCodec.h"
#include "common/Twips.h"
#include "prefs/model/Prefer.h"

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

void showNumber(QComboBox* combo, int value) {
    const QString text = QString::number(value);
    const int index = combo->findText(text);
    if (index >= 0)
        combo->setCurrentIndex(index);
    else
        combo->setEditText(text);
}

qint16 flag(const QCheckBox* box) {
    return box->isChecked() ? qint16(-1) : qint16(0);
}

qint16 state(const QCheckBox* box) {
    return box->isChecked() ? qint16(1) : qint16(0);
}

} // namespace

FrmEinstell::FrmEinstell(Prefer& prefs, const QString& appDir, QWidget* parent)
    : QDialog(parent), m_prefs(prefs), m_appDir(appDir) {
    setObjectName(QStringLiteral("frmEinstell"));
    setWindowTitle(QStringLiteral("Korvix Einstellungen"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(twipsToPx(120), twipsToPx(90), twipsToPx(120), twipsToPx(120));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    TabStrip2 = new QTabWidget(this);
    TabStrip2->setObjectName(QStringLiteral("TabStrip2"));
    TabStrip2->setMinimumSize(twipsToPx(7275), twipsToPx(7935));
    const QString titles[] = {QStringLiteral("Allgemein"), QStringLiteral("Programmstart"),
                              QStringLiteral("POP3 E-Mail Checking")};
    for (int i = 0; i < 3; ++i) {
        Frame1[i] = new QWidget(TabStrip2);
        Frame1[i]->setObjectName(QStringLiteral("Frame1_%1").arg(i));
        TabStrip2->addTab(Frame1[i], titles[i]);
    }
    buildGeneralPage(Frame1[0]);
    buildStartPage(Frame1[1]);
    buildMailPage(Frame1[2]);
    layout->addWidget(TabStrip2);

    auto* buttons = new QHBoxLayout;
    Standard = button(this, QStringLiteral("Standard"), QStringLiteral("&Standard"));
    Save = button(this, QStringLiteral("Save"), QStringLiteral("OK"));
    Quit = button(this, QStringLiteral("Quit"), QStringLiteral("Abbruch"));
    buttons->addWidget(Standard);
    buttons->addStretch(1);
    buttons->addWidget(Save);
    buttons->addWidget(Quit);
    layout->addLayout(buttons);

    connect(TabStrip2, &QTabWidget::currentChanged, this, &FrmEinstell::showPage);
    connect(Save, &QPushButton::clicked, this, &FrmEinstell::Save_Click);
    connect(Quit, &QPushButton::clicked, this, &QDialog::reject);
    connect(Standard, &QPushButton::clicked, this, &FrmEinstell::Standard_Click);

    LoadColGrpFileName();
    m_folderChanged = false;
    m_openingFolder = trimBlanks(m_prefs.Group);
    TabStrip2->setCurrentIndex(0);
    showPage(0);
    fillControls();

    if (m_prefs.LoadOption == 3) {
        Check6->setChecked(true);
        Check6_Click();
        showFolder(m_prefs.Group, m_prefs.GroupFile);
    }
    if (m_prefs.LoadOption == 2) {
        Option3->setChecked(true);
        Option3_Click();
        Text16->setText(trimBlanks(m_prefs.Layout));
    }
    CheckActivate();
}

void FrmEinstell::buildGeneralPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    auto* grid = new QGridLayout;
    Text1 = lineEdit(page, QStringLiteral("Text1"), UrlWidth);
    Text2 = lineEdit(page, QStringLiteral("Text2"), UrlWidth);
    Text3 = lineEdit(page, QStringLiteral("Text3"), UrlWidth);
    Command2 = button(page, QStringLiteral("Command2"), QStringLiteral("Suchen..."));
    Combo1 = numberList(page, QStringLiteral("Combo1"),
                        {QStringLiteral("10"), QStringLiteral("50"), QStringLiteral("100")}, 5);

    const auto label = [page](const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, page);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label(QStringLiteral("Startadresse:"), Text1), 0, 0);
    grid->addWidget(Text1, 0, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("Suchmaschine:"), Text2), 1, 0);
    grid->addWidget(Text2, 1, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("E-Mail Anwendung:"), Text3), 2, 0);
    grid->addWidget(Text3, 2, 1);
    grid->addWidget(Command2, 2, 2);
    grid->addWidget(label(QStringLiteral("Historie:"), Combo1), 3, 0);
    auto* history = new QHBoxLayout;
    history->addWidget(Combo1);
    history->addWidget(new QLabel(QStringLiteral("(Einträge maximal)"), page));
    history->addStretch(1);
    grid->addLayout(history, 3, 1, 1, 2);
    layout->addLayout(grid);

    auto* browser = new QGroupBox(QStringLiteral("Browser-Fenster:"), page);
    auto* browserLayout = new QVBoxLayout(browser);
    Check3 = checkBox(browser, QStringLiteral("Check3"), QStringLiteral("Adresszeile einblenden."));
    Check4 = checkBox(browser, QStringLiteral("Check4"), QStringLiteral("Toolbar einblenden."));
    browserLayout->addWidget(Check3);
    browserLayout->addWidget(Check4);
    layout->addWidget(browser);

    auto* tabs = new QGroupBox(QStringLiteral("Register:"), page);
    auto* tabsLayout = new QVBoxLayout(tabs);
    // Each pair of options lies in its own frame, so the pairs choose
    // independently of each other.
    auto* frame2 = new QFrame(tabs);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto* frame2Layout = new QHBoxLayout(frame2);
    frame2Layout->setContentsMargins(0, 0, 0, 0);
    Option1 = radio(frame2, QStringLiteral("Option1"), QStringLiteral("Tabs als Reiter"));
    Option2 = radio(frame2, QStringLiteral("Option2"), QStringLiteral("Tabs als Tasten"));
    frame2Layout->addWidget(Option1);
    frame2Layout->addWidget(Option2);
    auto* frame3 = new QFrame(tabs);
    frame3->setObjectName(QStringLiteral("Frame3"));
    auto* frame3Layout = new QHBoxLayout(frame3);
    frame3Layout->setContentsMargins(0, 0, 0, 0);
    Option4 = radio(frame3, QStringLiteral("Option4"), QStringLiteral("Oben anordnen"));
    Option5 = radio(frame3, QStringLiteral("Option5"), QStringLiteral("Unten anordnen"));
    frame3Layout->addWidget(Option4);
    frame3Layout->addWidget(Option5);
    Check7 = checkBox(tabs, QStringLiteral("Check7"), QStringLiteral("Schriftstil Fett"));
    tabsLayout->addWidget(frame2);
    tabsLayout->addWidget(frame3);
    tabsLayout->addWidget(Check7);
    layout->addWidget(tabs);
    layout->addStretch(1);

    connect(Command2, &QPushButton::clicked, this, &FrmEinstell::Command2_Click);
}

void FrmEinstell::buildStartPage(QWidget* page) {
    auto* layout = new QGridLayout(page);
    Check2 = checkBox(page, QStringLiteral("Check2"), QStringLiteral("Browser-Fenster öffnen."));
    Check6 = checkBox(page, QStringLiteral("Check6"), QStringLiteral("Bookmarkordner öffnen"));
    ImageCombo1 = new QComboBox(page);
    ImageCombo1->setObjectName(QStringLiteral("ImageCombo1"));
    ImageCombo1->setEnabled(false);
    Option3 = radio(page, QStringLiteral("Option3"), QStringLiteral("Fensterlayout-Datei öffnen"));
    // Option3 stands alone and must be switched off by the other two boxes.
    Option3->setAutoExclusive(false);
    Text16 = lineEdit(page, QStringLiteral("Text16"), LayoutWidth);
    Text16->setEnabled(false);
    LayoutSearch_Btn =
        button(page, QStringLiteral("LayoutSearch_Btn"), QStringLiteral("Suchen..."));
    LayoutSearch_Btn->setEnabled(false);
    Check1 = checkBox(page, QStringLiteral("Check1"), QStringLiteral("Statuszeile einblenden."));
    Check5 = checkBox(page, QStringLiteral("Check5"), QStringLiteral("Registerzeile aktivieren."));

    layout->addWidget(Check2, 0, 0, 1, 3);
    layout->addWidget(Check6, 1, 0);
    layout->addWidget(ImageCombo1, 1, 1, 1, 2);
    layout->addWidget(Option3, 2, 0);
    layout->addWidget(Text16, 2, 1);
    layout->addWidget(LayoutSearch_Btn, 2, 2);
    layout->addWidget(Check1, 3, 0, 1, 3);
    layout->addWidget(Check5, 4, 0, 1, 3);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(5, 1);

    connect(Check2, &QCheckBox::clicked, this, &FrmEinstell::Check2_Click);
    connect(Check6, &QCheckBox::clicked, this, &FrmEinstell::Check6_Click);
    connect(Option3, &QRadioButton::clicked, this, &FrmEinstell::Option3_Click);
    connect(ImageCombo1, &QComboBox::currentIndexChanged, this, &FrmEinstell::folderChanged);
    connect(LayoutSearch_Btn, &QPushButton::clicked, this, &FrmEinstell::LayoutSearch_Click);
}

void FrmEinstell::buildMailPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    for (int i = 0; i < 4; ++i) {
        const QString n = QString::number(i + 1);
        auto* box = new QGroupBox(QStringLiteral("E-Mail Konto ") + n, page);
        auto* grid = new QGridLayout(box);
        CheckM[i] = checkBox(box, QStringLiteral("CheckM") + n, QStringLiteral("aktivieren"));
        TextSrv[i] = lineEdit(box, QStringLiteral("TextSrv") + n, ServerWidth);
        TextUsr[i] = lineEdit(box, QStringLiteral("TextUsr") + n, UserWidth);
        TextPwd[i] = lineEdit(box, QStringLiteral("TextPwd") + n, PasswordWidth);
        TextPwd[i]->setEchoMode(QLineEdit::Password);
        grid->addWidget(CheckM[i], 0, 0, 1, 4);
        grid->addWidget(new QLabel(QStringLiteral("POP3 Server:"), box), 1, 0);
        grid->addWidget(TextSrv[i], 1, 1, 1, 3);
        grid->addWidget(new QLabel(QStringLiteral("User:"), box), 2, 0);
        grid->addWidget(TextUsr[i], 2, 1);
        grid->addWidget(new QLabel(QStringLiteral("Passwort:"), box), 2, 2);
        grid->addWidget(TextPwd[i], 2, 3);
        layout->addWidget(box);
        connect(CheckM[i], &QCheckBox::clicked, this, [this, i] { CheckM_Click(i); });
    }
    QStringList minutes;
    for (int m = 1; m <= 10; ++m)
        minutes << QString::number(m);
    Combo2 = numberList(page, QStringLiteral("Combo2"), minutes, 3);
    auto* interval = new QHBoxLayout;
    interval->addWidget(new QLabel(QStringLiteral("Überprüfen alle"), page));
    interval->addWidget(Combo2);
    interval->addWidget(new QLabel(QStringLiteral("Minuten."), page));
    interval->addStretch(1);
    layout->addLayout(interval);
    layout->addStretch(1);
}

// Only the page in front takes input.
void FrmEinstell::showPage(int index) {
    for (QWidget* frame : Frame1)
        frame->setEnabled(false);
    if (index >= 0 && index < int(Frame1.size()))
        Frame1[index]->setEnabled(true);
}

void FrmEinstell::fillControls() {
    const Prefer& p = m_prefs;
    Text1->setText(p.HomeUrl);
    Text2->setText(p.SearchEngine);
    Text3->setText(p.MailClient);
    showNumber(Combo1, historyRowsShown(p.HistoryRows));
    Check3->setChecked(p.Adresszeile != 0);
    Check4->setChecked(p.Toolbar != 0);
    Option2->setChecked(p.TabButton != 0);
    Option1->setChecked(p.TabButton == 0);
    Option4->setChecked(p.TabAlign < 2);
    Option5->setChecked(p.TabAlign >= 2);
    Check7->setChecked(p.TabFontBold != 0);

    Check2->setChecked(p.StartBrowser != 0);
    Check1->setChecked(p.StatusBar != 0);
    Check5->setChecked(p.TabStrip != 0);

    for (int i = 0; i < 4; ++i) {
        CheckM[i]->setChecked(p.EnableMailCheck(i + 1) != 0);
        TextSrv[i]->setText(trimBlanks(p.MailSrv(i + 1)));
        TextUsr[i]->setText(trimBlanks(p.User(i + 1)));
        TextPwd[i]->setText(trimBlanks(p.Pwd(i + 1)));
    }
    showNumber(Combo2, checkIntervallShown(p.CheckIntervall));
}

void FrmEinstell::LoadColGrpFileName() {
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

void FrmEinstell::FillCombo() {
    m_filling = true;
    ImageCombo1->clear();
    const QIcon picture = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (const Folder& f : sortedByName(m_folders))
        ImageCombo1->addItem(picture, f.name, folderKey(f.nr));
    // Nothing is chosen until the user picks a folder.
    ImageCombo1->setCurrentIndex(-1);
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
void FrmEinstell::showFolder(const QString& group, const QString& groupFile) {
    const QString name = trimBlanks(group);
    const QString file = trimBlanks(groupFile);
    int found = -1;
    for (int i = 0; i < ImageCombo1->count() && found < 0; ++i) {
        if (ImageCombo1->itemText(i) == name &&
            m_groupFiles.value(ImageCombo1->itemData(i).toString()) == file)
            found = i;
    }
    if (found < 0)
        found = ImageCombo1->findText(name, Qt::MatchExactly);
    m_filling = true;
    ImageCombo1->setCurrentIndex(found);
    m_filling = false;
}

void FrmEinstell::CheckActivate() {
    for (int i = 0; i < 4; ++i) {
        const bool on = CheckM[i]->isChecked();
        TextSrv[i]->setEnabled(on);
        TextUsr[i]->setEnabled(on);
        TextPwd[i]->setEnabled(on);
    }
}

void FrmEinstell::Check2_Click() {
    Option3->setChecked(false);
    Text16->setEnabled(false);
    LayoutSearch_Btn->setEnabled(false);
}

void FrmEinstell::Check6_Click() {
    Option3->setChecked(false);
    Text16->setEnabled(false);
    LayoutSearch_Btn->setEnabled(false);
    if (Check6->isChecked()) {
        ImageCombo1->setEnabled(true);
        FillCombo();
    } else {
        ImageCombo1->setEnabled(false);
        m_filling = true;
        ImageCombo1->clear();
        m_filling = false;
    }
}

void FrmEinstell::Option3_Click() {
    // A lone option is not exclusive, so a second click would clear it.
    Option3->setChecked(true);
    Check6->setChecked(false);
    Check2->setChecked(false);
    ImageCombo1->setEnabled(false);
    Text16->setEnabled(true);
    LayoutSearch_Btn->setEnabled(true);
}

void FrmEinstell::folderChanged(int index) {
    if (m_filling)
        return;
    m_folderChanged = true;
    if (m_groupFiles.isEmpty() || !ImageCombo1->isEnabledTo(Frame1[1]) || index < 0)
        return;
    const auto it = m_groupFiles.constFind(ImageCombo1->itemData(index).toString());
    if (it != m_groupFiles.constEnd())
        m_pickedGroupFile = *it;
}

void FrmEinstell::CheckM_Click(int account) {
    CheckActivate();
    if (CheckM[account]->isChecked() && trimBlanks(TextSrv[account]->text()).isEmpty())
        TextSrv[account]->setFocus();
}

void FrmEinstell::Command2_Click() {
    const QString current = trimBlanks(Text3->text());
    const QString dir = current.isEmpty() ? QStringLiteral("/usr/bin") : QFileInfo(current).path();
    const QString name =
        Dialogs::openFileName(this, QStringLiteral("E-Mail Anwendung auswählen..."), dir,
                              QStringLiteral("Anwendung (*)"));
    if (!name.isEmpty())
        Text3->setText(QDir::toNativeSeparators(QFileInfo(name).absoluteFilePath()));
}

void FrmEinstell::LayoutSearch_Click() {
    const QString current = trimBlanks(Text16->text());
    const QString dir =
        current.isEmpty() ? m_appDir : QFileInfo(QDir(m_appDir), current).absolutePath();
    const QString name =
        Dialogs::openFileName(this, QStringLiteral("Fensterlayout-Datei auswählen..."), dir,
                              QStringLiteral("Fensterlayout-Datei auswählen... (*.wlt)"));
    if (!name.isEmpty())
        Text16->setText(QDir::toNativeSeparators(QFileInfo(name).absoluteFilePath()));
}

void FrmEinstell::complain(QWidget* field, const QString& text) {
    for (int i = 0; i < int(Frame1.size()); ++i) {
        if (Frame1[i]->isAncestorOf(field))
            TabStrip2->setCurrentIndex(i);
    }
    field->setFocus(Qt::OtherFocusReason);
    if (auto* combo = qobject_cast<QComboBox*>(field); combo && combo->lineEdit())
        combo->lineEdit()->selectAll();
    Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Meldung"), text);
}

bool FrmEinstell::ValidateForm() {
    std::array<Account, 4> accounts;
    for (int i = 0; i < 4; ++i) {
        accounts[i] = {CheckM[i]->isChecked(), TextSrv[i]->text(), TextUsr[i]->text(),
                       TextPwd[i]->text()};
    }
    const std::optional<MissingField> missing = firstMissingField(accounts);
    if (!missing)
        return true;
    const int i = missing->account - 1;
    QLineEdit* field = missing->field == AccountField::Server ? TextSrv[i]
                       : missing->field == AccountField::User ? TextUsr[i]
                                                              : TextPwd[i];
    complain(field, QStringLiteral("Feld darf nicht leer sein."));
    return false;
}

// A typed number that is empty or does not fit is refused before anything
// is stored.
bool FrmEinstell::numbersValid(std::optional<qint16>* historyRows,
                               std::optional<qint16>* interval) {
    struct Number {
        QComboBox* combo;
        int lowest;
        int highest;
        std::optional<qint16>* out;
    };
    const Number numbers[] = {{Combo1, MinHistoryRows, MaxHistoryRows, historyRows},
                              {Combo2, MinCheckIntervall, MaxCheckIntervall, interval}};
    for (const Number& n : numbers) {
        const QString text = n.combo->currentText();
        *n.out = wholeNumber(text, n.lowest, n.highest);
        if (*n.out)
            continue;
        complain(n.combo, text.isEmpty() ? QStringLiteral("Feld darf nicht leer sein.")
                                         : QStringLiteral("Bitte eine ganze Zahl von %1 bis %2 "
                                                          "eingeben.")
                                               .arg(n.lowest)
                                               .arg(n.highest));
        return false;
    }
    return true;
}

void FrmEinstell::Save_Click() {
    if (!ValidateForm())
        return;
    std::optional<qint16> historyRows;
    std::optional<qint16> interval;
    if (!numbersValid(&historyRows, &interval))
        return;

    const Prefer before = m_prefs;
    Prefer& p = m_prefs;
    p.HomeUrl = Text1->text();
    p.SearchEngine = Text2->text();
    p.MailClient = Text3->text();
    p.StatusBar = state(Check1);
    p.StartBrowser = flag(Check2);

    StartChoice choice;
    choice.browser = Check2->isChecked();
    choice.folder = Check6->isChecked();
    choice.folderText = ImageCombo1->currentText();
    choice.folderChanged = m_folderChanged;
    choice.layout = Option3->isChecked();
    choice.layoutText = Text16->text();
    const StartResult start = resolveStart(choice, p.LoadOption);
    p.LoadOption = start.loadOption;
    if (start.group)
        p.Group = *start.group;
    if (m_pickedGroupFile)
        p.GroupFile = *m_pickedGroupFile;
    p.Layout = start.layout;
    Check6->setChecked(start.folder);
    Option3->setChecked(start.layoutSelected);

    p.Adresszeile = flag(Check3);
    p.Toolbar = flag(Check4);
    p.HistoryRows = *historyRows;
    p.CheckIntervall = *interval;
    p.TabStrip = flag(Check5);
    p.TabButton = Option2->isChecked() ? qint16(-1) : qint16(0);
    p.TabFontBold = state(Check7);
    p.TabAlign = Option4->isChecked() ? qint16(1) : qint16(2);
    for (int i = 0; i < 4; ++i) {
        p.MailSrv(i + 1) = TextSrv[i]->text();
        p.User(i + 1) = TextUsr[i]->text();
        p.Pwd(i + 1) = TextPwd[i]->text();
    }
    for (int i = 0; i < 4; ++i)
        p.EnableMailCheck(i + 1) = flag(CheckM[i]);

    QString error;
    if (!p.save(&error)) {
        // What is not on disk is not kept either: the program goes on with
        // the preferences it had, and "OK" can be tried again.
        p = before;
        Dialogs::message(this, QMessageBox::Critical, QStringLiteral("Fehlermeldung"),
                         QStringLiteral("Die Einstellungen konnten nicht gespeichert werden.\n") +
                             error);
        return;
    }
    m_saved = true;
    accept();
}

// Resets the controls to the defaults, not the preferences; the interval,
// tab position, start folder, layout file and accounts stay as shown.
void FrmEinstell::Standard_Click() {
    Text1->setText(Prefer::DefaultHomeUrl);
    Text2->setText(Prefer::DefaultSearchEngine);
    Text3->clear();
    showNumber(Combo1, 50);
    Check1->setChecked(true);
    Check2->setChecked(true);
    Check2_Click();
    Check3->setChecked(true);
    Check4->setChecked(true);
    Check5->setChecked(false);
    for (QCheckBox* box : CheckM)
        box->setChecked(false);
    CheckActivate();
    Option1->setChecked(true);
    Check7->setChecked(false);
}

// Enter means "OK" in the address, program and account fields and on "OK";
// a focused button takes it as its own click. Escape always cancels.
void FrmEinstell::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        QWidget* focus = focusWidget();
        bool okField = focus == Text1 || focus == Text2 || focus == Text3 || focus == Save;
        for (int i = 0; i < 4; ++i)
            okField = okField || focus == TextSrv[i] || focus == TextUsr[i] || focus == TextPwd[i];
        if (okField) {
            Save_Click();
        } else if (auto* pushButton = qobject_cast<QPushButton*>(focus);
                   pushButton && pushButton->isEnabled()) {
            pushButton->click();
        }
        event->accept();
        return;
    }
    case Qt::Key_Escape:
        event->accept();
        reject();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
