#include "frame/ClearDataDialog.h"

#include "ui/Dialogs.h"
#include <QCheckBox>
#include <QComboBox>

#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ClearDataDialog::ClearDataDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("clearData"));
    setWindowTitle(QStringLiteral("Browserdaten löschen"));
    auto* layout = new QVBoxLayout(this);

    auto* form = new QFormLayout;
    m_range = new QComboBox(this);
    m_range->setObjectName(QStringLiteral("range"));
    // In the order of ClearRange.
    m_range->addItems(
        {QStringLiteral("Letzte Stunde"), QStringLiteral("Heute"), QStringLiteral("Alles")});
    auto* rangeLabel = new QLabel(QStringLiteral("&Zeitraum:"), this);
    rangeLabel->setBuddy(m_range);
    form->addRow(rangeLabel, m_range);
    layout->addLayout(form);

    const auto box = [this, layout](const char* name, const QString& text, bool checked) {
        auto* b = new QCheckBox(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setChecked(checked);
        layout->addWidget(b);
        connect(b, &QCheckBox::toggled, this, &ClearDataDialog::updateButton);
        return b;
    };
    m_cookies = box("cookies", QStringLiteral("&Cookies und Website-Daten"), true);
    m_cache = box("cache", QStringLiteral("C&ache"), true);
    m_history = box("history", QStringLiteral("&Verlauf dieser Sitzung"), true);
    m_downloads = box("downloads", QStringLiteral("&Download-Liste"), false);
    m_grants =
        box("grants", QStringLiteral("Website-&Berechtigungen und Zertifikat-Ausnahmen"), false);
    m_logins = box("logins", QStringLiteral("Gespeicherte &Anmeldungen"), false);

    auto* note = new QLabel(
        QStringLiteral("Cookies früherer Sitzungen haben keine bekannte Zeit; sie werden nur mit "
                       "\"Alles\" gelöscht. Was Websites sonst speichern (lokaler Speicher, "
                       "Datenbanken, Service Worker), wird für die Seiten des Zeitraums sofort "
                       "geleert, mit \"Alles\" beim nächsten Start von Korvix auch für alle "
                       "früheren."),
        this);
    note->setObjectName(QStringLiteral("note"));
    note->setWordWrap(true);
    layout->addWidget(note);

    m_clear = Dialogs::addEndButtons(this, layout, QStringLiteral("Jetzt löschen"),
                                     QStringLiteral("clear"));
    updateButton();
}

ClearDataDialog::Choice ClearDataDialog::choice() const {
    Choice c;
    c.cookies = m_cookies->isChecked();
    c.cache = m_cache->isChecked();
    c.history = m_history->isChecked();
    c.downloads = m_downloads->isChecked();
    c.grants = m_grants->isChecked();
    c.logins = m_logins->isChecked();
    c.range = ClearRange(m_range->currentIndex());
    return c;
}

// Nothing ticked, nothing to do.
void ClearDataDialog::updateButton() {
    bool any = false;
    for (QCheckBox* b : {m_cookies, m_cache, m_history, m_downloads, m_grants, m_logins})
        any = any || b->isChecked();
    m_clear->setEnabled(any);
}
