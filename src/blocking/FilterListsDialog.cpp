#include "blocking/FilterListsDialog.h"

#include "blocking/ContentBlocker.h"
#include "blocking/ListUpdater.h"
#include "common/SafeFile.h"
#include "ui/Dialogs.h"
#include "ui/OpenOnce.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

FilterListsDialog::FilterListsDialog(ContentBlocker& blocker, QWidget* parent)
    : QDialog(parent), m_blocker(blocker) {
    setObjectName(QStringLiteral("filterLists"));
    setWindowTitle(QStringLiteral("Filterlisten"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);

    m_lists = new QTreeWidget;
    m_lists->setObjectName(QStringLiteral("lists"));
    m_lists->setRootIsDecorated(false);
    m_lists->setHeaderLabels(
        {QStringLiteral("Liste"), QStringLiteral("Stand"), QStringLiteral("Adresse")});
    m_lists->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_lists, 1);

    auto* row = new QHBoxLayout;
    m_address = new QLineEdit;
    m_address->setObjectName(QStringLiteral("address"));
    m_address->setPlaceholderText(QStringLiteral("https://... Adresse einer Filterliste"));
    m_add = new QPushButton(QStringLiteral("&Hinzufügen"));
    m_add->setObjectName(QStringLiteral("add"));
    m_remove = new QPushButton(QStringLiteral("&Entfernen"));
    m_remove->setObjectName(QStringLiteral("remove"));
    m_update = new QPushButton(QStringLiteral("Jetzt &aktualisieren"));
    m_update->setObjectName(QStringLiteral("update"));
    row->addWidget(m_address, 1);
    row->addWidget(m_add);
    row->addWidget(m_remove);
    row->addWidget(m_update);
    layout->addLayout(row);
    m_state = new QLabel;
    m_state->setObjectName(QStringLiteral("state"));
    layout->addWidget(m_state);

    auto* own = new QGroupBox(QStringLiteral("&Eigene Regeln"));
    auto* ownLayout = new QVBoxLayout(own);
    m_ownRules = new QPlainTextEdit;
    m_ownRules->setObjectName(QStringLiteral("ownRules"));
    m_ownRules->setPlaceholderText(QStringLiteral("||werbung.example^\nexample.org##.banner"));
    QByteArray text;
    if (readWholeFile(m_blocker.userListPath(), &text, nullptr) == ReadStatus::Ok)
        m_ownRules->setPlainText(QString::fromUtf8(text));
    ownLayout->addWidget(m_ownRules);
    layout->addWidget(own, 1);

    auto* buttons = new QDialogButtonBox;
    QPushButton* save =
        buttons->addButton(QStringLiteral("Regeln &speichern"), QDialogButtonBox::ApplyRole);
    save->setObjectName(QStringLiteral("saveRules"));
    QPushButton* close =
        buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("close"));
    layout->addWidget(buttons);

    // Enter in the address field adds the list and presses no button.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);
    connect(m_address, &QLineEdit::returnPressed, this, &FilterListsDialog::addList);
    connect(m_add, &QPushButton::clicked, this, &FilterListsDialog::addList);
    connect(m_remove, &QPushButton::clicked, this, &FilterListsDialog::removeList);
    connect(m_update, &QPushButton::clicked, m_blocker.updater(), &ListUpdater::updateAll);
    connect(save, &QPushButton::clicked, this, &FilterListsDialog::saveOwnRules);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_lists, &QTreeWidget::itemSelectionChanged, this, &FilterListsDialog::refresh);
    connect(m_blocker.updater(), &ListUpdater::changed, this, &FilterListsDialog::refresh);
    connect(&m_blocker, &ContentBlocker::filtersLoaded, this, &FilterListsDialog::refresh);
    resize(720, 480);
    refresh();
}

FilterListsDialog* FilterListsDialog::show(QWidget* parent, ContentBlocker& blocker) {
    static QPointer<FilterListsDialog> open;
    return showOnce(open, [&] { return new FilterListsDialog(blocker, parent); });
}

void FilterListsDialog::refresh() {
    const ListUpdater& updater = *m_blocker.updater();
    const QList<Subscription>& list = updater.subscriptions();
    const int selected = m_lists->currentIndex().isValid() ? m_lists->currentIndex().row() : -1;
    const QLocale german(QLocale::German, QLocale::Germany);
    {
        const QSignalBlocker quiet(m_lists);
        m_lists->clear();
        for (const Subscription& s : list) {
            QString state;
            if (!s.lastError.isEmpty())
                state = QStringLiteral("Fehler: ") + s.lastError;
            else if (s.lastUpdate.isValid())
                state = german.toString(s.lastUpdate.toLocalTime(), QLocale::ShortFormat);
            else if (QFileInfo::exists(updater.filePath(s)))
                state = QStringLiteral("vorhanden");
            else if (m_blocker.usesDebianCopy(s.fileName))
                state = QStringLiteral("Kopie aus Debian, bis die Liste geladen ist");
            else
                state = QStringLiteral("noch nicht geladen");
            auto* item = new QTreeWidgetItem(m_lists, {s.title, state, s.url});
            item->setToolTip(1, state);
        }
        if (selected >= 0 && selected < m_lists->topLevelItemCount())
            m_lists->setCurrentItem(m_lists->topLevelItem(selected));
    }
    m_remove->setEnabled(m_lists->currentItem() != nullptr);
    QString state = m_blocker.isLoaded()
                        ? QStringLiteral("%1 Regeln aktiv, %2 Zeilen nicht verstanden.")
                              .arg(m_blocker.ruleCount())
                              .arg(m_blocker.skippedCount())
                        : QStringLiteral("Die Filterlisten werden gelesen...");
    if (updater.isFetching())
        state += QStringLiteral(" Listen werden geladen...");
    m_state->setText(state);
}

void FilterListsDialog::addList() {
    const QString address = m_address->text().trimmed();
    if (address.isEmpty())
        return;
    if (!m_blocker.updater()->add(address)) {
        Dialogs::message(
            this, QMessageBox::Warning, QStringLiteral("Filterlisten"),
            QStringLiteral("„%1“ ist keine neue Adresse einer Filterliste.").arg(address));
        return;
    }
    m_address->clear();
}

void FilterListsDialog::removeList() {
    const QModelIndex current = m_lists->currentIndex();
    if (current.isValid())
        m_blocker.updater()->remove(current.row());
}

void FilterListsDialog::saveOwnRules() {
    QString error;
    if (!QDir().mkpath(QFileInfo(m_blocker.userListPath()).path()) ||
        !writeFileAtomic(m_blocker.userListPath(), m_ownRules->toPlainText().toUtf8(), &error)) {
        Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Filterlisten"),
                         error.isEmpty() ? QStringLiteral("Die Regeln wurden nicht gespeichert.")
                                         : error);
        return;
    }
    m_blocker.reload();
}
