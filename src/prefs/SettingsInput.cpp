// The settings dialog's input: checking it, storing it, the defaults and the
// keys.
#include "common/RecordCodec.h"
#include "prefs/SettingsDialog.h"
#include "prefs/model/Prefer.h"
#include "ui/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

using namespace SettingsRules;

namespace {

qint16 flag(const QCheckBox* box) {
    return box->isChecked() ? qint16(-1) : qint16(0);
}

qint16 state(const QCheckBox* box) {
    return box->isChecked() ? qint16(1) : qint16(0);
}

} // namespace

void SettingsDialog::complain(QWidget* field, const QString& text) {
    for (int i = 0; i < int(m_page.size()); ++i) {
        if (m_page[i]->isAncestorOf(field))
            m_pages->setCurrentIndex(i);
    }
    field->setFocus(Qt::OtherFocusReason);
    if (auto* combo = qobject_cast<QComboBox*>(field); combo && combo->lineEdit())
        combo->lineEdit()->selectAll();
    Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Meldung"), text);
}

bool SettingsDialog::validateAccounts() {
    std::array<Account, 4> accounts;
    for (int i = 0; i < 4; ++i) {
        accounts[i] = {m_accountOn[i]->isChecked(), m_server[i]->text(), m_user[i]->text(),
                       m_password[i]->text()};
    }
    const std::optional<MissingField> missing = firstMissingField(accounts);
    if (!missing)
        return true;
    const int i = missing->account - 1;
    QLineEdit* field = missing->field == AccountField::Server ? m_server[i]
                       : missing->field == AccountField::User ? m_user[i]
                                                              : m_password[i];
    complain(field, QStringLiteral("Feld darf nicht leer sein."));
    return false;
}

// A typed number that is empty or does not fit is refused before anything
// is stored.
bool SettingsDialog::numbersValid(std::optional<qint16>* historyRows,
                                  std::optional<qint16>* interval) {
    struct Number {
        QComboBox* combo;
        int lowest;
        int highest;
        std::optional<qint16>* out;
    };
    const Number numbers[] = {{m_historyRows, MinHistoryRows, MaxHistoryRows, historyRows},
                              {m_checkInterval, MinCheckIntervall, MaxCheckIntervall, interval}};
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

void SettingsDialog::saveAndClose() {
    if (!validateAccounts())
        return;
    std::optional<qint16> historyRows;
    std::optional<qint16> interval;
    if (!numbersValid(&historyRows, &interval))
        return;

    const Prefer before = m_prefs;
    Prefer& p = m_prefs;
    p.HomeUrl = m_homeUrl->text();
    p.SearchEngine = m_searchEngine->text();
    p.MailClient = m_mailClient->text();
    p.StatusBar = state(m_statusBar);
    p.StartBrowser = flag(m_startBrowser);

    StartChoice choice;
    choice.browser = m_startBrowser->isChecked();
    choice.folder = m_startFolder->isChecked();
    choice.folderText = m_folderList->currentText();
    choice.folderChanged = m_folderChanged;
    choice.layout = m_startLayout->isChecked();
    choice.layoutText = m_layoutFile->text();
    const StartResult start = resolveStart(choice, p.LoadOption);
    p.LoadOption = start.loadOption;
    if (start.group)
        p.Group = *start.group;
    if (m_pickedGroupFile)
        p.GroupFile = *m_pickedGroupFile;
    p.Layout = start.layout;
    m_startFolder->setChecked(start.folder);
    m_startLayout->setChecked(start.layoutSelected);

    p.Adresszeile = flag(m_addressBar);
    p.Toolbar = flag(m_toolbar);
    p.HistoryRows = *historyRows;
    p.CheckIntervall = *interval;
    p.TabStrip = flag(m_tabBar);
    p.TabButton = m_tabsAsButtons->isChecked() ? qint16(-1) : qint16(0);
    p.TabFontBold = state(m_tabsBold);
    p.TabAlign = m_tabsTop->isChecked() ? qint16(1) : qint16(2);
    for (int i = 0; i < 4; ++i) {
        p.MailSrv(i + 1) = m_server[i]->text();
        p.User(i + 1) = m_user[i]->text();
        p.Pwd(i + 1) = m_password[i]->text();
    }
    for (int i = 0; i < 4; ++i)
        p.EnableMailCheck(i + 1) = flag(m_accountOn[i]);

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
void SettingsDialog::resetToDefaults() {
    m_homeUrl->setText(Prefer::DefaultHomeUrl);
    m_searchEngine->setText(Prefer::DefaultSearchEngine);
    m_mailClient->clear();
    showNumber(m_historyRows, 50);
    m_statusBar->setChecked(true);
    m_startBrowser->setChecked(true);
    onStartBrowserClicked();
    m_addressBar->setChecked(true);
    m_toolbar->setChecked(true);
    m_tabBar->setChecked(false);
    for (QCheckBox* box : m_accountOn)
        box->setChecked(false);
    enableAccountFields();
    m_tabsAsTabs->setChecked(true);
    m_tabsBold->setChecked(false);
}

// Enter means "OK" in the address, program and account fields and on "OK";
// a focused button takes it as its own click. Escape always cancels.
void SettingsDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        QWidget* focus = focusWidget();
        bool okField =
            focus == m_homeUrl || focus == m_searchEngine || focus == m_mailClient || focus == m_ok;
        for (int i = 0; i < 4; ++i)
            okField =
                okField || focus == m_server[i] || focus == m_user[i] || focus == m_password[i];
        if (okField) {
            saveAndClose();
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
