#include "passwords/SavedPasswordsDialog.h"

#include "passwords/Passwords.h"
#include "ui/Dialogs.h"
#include "ui/OpenOnce.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const QString Hidden = QStringLiteral("\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022");
constexpr int PasswordColumn = 2;
} // namespace

SavedPasswordsDialog::SavedPasswordsDialog(Passwords& passwords, QWidget* parent)
    : QDialog(parent), m_passwords(passwords) {
    setWindowTitle(QStringLiteral("Gespeicherte Passwörter"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    m_list = new QTreeWidget;
    m_list->setObjectName(QStringLiteral("logins"));
    m_list->setHeaderLabels(
        {QStringLiteral("Website"), QStringLiteral("Benutzername"), QStringLiteral("Passwort")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(m_list, 1);
    m_state = new QLabel;
    m_state->setObjectName(QStringLiteral("state"));
    m_state->setWordWrap(true);
    layout->addWidget(m_state);

    auto* row = new QHBoxLayout;
    m_show = new QPushButton(QStringLiteral("Anzeigen"));
    m_show->setObjectName(QStringLiteral("show"));
    m_remove = new QPushButton(QStringLiteral("&Entfernen"));
    m_remove->setObjectName(QStringLiteral("remove"));
    m_removeAll = new QPushButton(QStringLiteral("&Alle entfernen"));
    m_removeAll->setObjectName(QStringLiteral("removeAll"));
    row->addWidget(m_show);
    row->addWidget(m_remove);
    row->addWidget(m_removeAll);
    row->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("Schließen"));
    row->addWidget(close);
    layout->addLayout(row);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_show, &QPushButton::clicked, this, &SavedPasswordsDialog::toggleShown);
    connect(m_remove, &QPushButton::clicked, this, &SavedPasswordsDialog::removeSelected);
    connect(m_removeAll, &QPushButton::clicked, this, &SavedPasswordsDialog::removeAll);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &SavedPasswordsDialog::updateButtons);
    connect(&m_passwords, &Passwords::changed, this, &SavedPasswordsDialog::reload);
    resize(620, 360);
    reload();
}

SavedPasswordsDialog* SavedPasswordsDialog::show(QWidget* parent, Passwords& passwords) {
    static QPointer<SavedPasswordsDialog> open;
    return showOnce(open, [&] { return new SavedPasswordsDialog(passwords, parent); });
}

void SavedPasswordsDialog::reload() {
    m_state->setText(QStringLiteral("Passwörter werden gelesen..."));
    QPointer<SavedPasswordsDialog> self(this);
    m_passwords.find(
        QString(),
        [self](const QList<SavedLogin>& logins) {
            if (self)
                self->fill(logins);
        },
        [self](bool reached) {
            if (self && !reached)
                self->m_state->setText(QString::fromUtf8(Passwords::UnreachableText));
        });
}

void SavedPasswordsDialog::fill(const QList<SavedLogin>& logins) {
    m_logins = logins;
    std::sort(m_logins.begin(), m_logins.end(), [](const SavedLogin& a, const SavedLogin& b) {
        return std::make_pair(a.site, a.user) < std::make_pair(b.site, b.user);
    });
    m_list->clear();
    for (const SavedLogin& login : std::as_const(m_logins))
        new QTreeWidgetItem(m_list, {login.site, login.user, Hidden});
    if (m_passwords.isAvailable())
        m_state->setText(m_logins.isEmpty()
                             ? QStringLiteral("Keine Passwörter gespeichert.")
                             : QStringLiteral("%1 Passwörter gespeichert.").arg(m_logins.size()));
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    updateButtons();
}

void SavedPasswordsDialog::updateButtons() {
    QTreeWidgetItem* item = m_list->currentItem();
    m_show->setEnabled(item);
    m_remove->setEnabled(item);
    m_removeAll->setEnabled(!m_logins.isEmpty());
    m_show->setText(item && item->text(PasswordColumn) != Hidden ? QStringLiteral("Verbergen")
                                                                 : QStringLiteral("Anzeigen"));
}

void SavedPasswordsDialog::toggleShown() {
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item)
        return;
    const int row = m_list->indexOfTopLevelItem(item);
    item->setText(PasswordColumn,
                  item->text(PasswordColumn) == Hidden ? m_logins.value(row).password : Hidden);
    updateButtons();
}

void SavedPasswordsDialog::removeSelected() {
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item)
        return;
    const SavedLogin login = m_logins.value(m_list->indexOfTopLevelItem(item));
    m_passwords.remove(login.site, login.user);
}

void SavedPasswordsDialog::removeAll() {
    if (Dialogs::message(this, QMessageBox::Question, QStringLiteral("Gespeicherte Passwörter"),
                         QStringLiteral("Alle gespeicherten Passwörter entfernen?"),
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    m_passwords.remove(QString(), QString());
}
