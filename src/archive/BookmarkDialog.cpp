#include "archive/BookmarkDialog.h"

#include "archive/ArchiveWindow.h"
#include "ui/Dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

BookmarkDialog::BookmarkDialog(ArchiveWindow* archive, bool newBookmark)
    : QDialog(archive), m_archive(archive), m_newBookmark(newBookmark) {
    setObjectName(QStringLiteral("bookmarkDialog"));
    setWindowTitle(m_newBookmark ? QStringLiteral("Bookmark - Hinzufügen")
                                 : QStringLiteral("Bookmark Eigenschaften"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("name"));
    m_name->setMaxLength(MaxName);
    m_url = new QLineEdit(this);
    m_url->setObjectName(QStringLiteral("url"));
    m_url->setMaxLength(MaxUrl);
    m_info = new QPlainTextEdit(this);
    m_info->setObjectName(QStringLiteral("info"));
    m_info->setTabChangesFocus(true);
    m_info->setFixedHeight(80);
    // The description holds at most 360 characters, as the field allows.
    connect(m_info, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = m_info->toPlainText();
        if (text.size() > MaxInfo) {
            m_info->setPlainText(text.left(MaxInfo));
            m_info->moveCursor(QTextCursor::End);
        }
    });
    form->addRow(QStringLiteral("Name:"), m_name);
    form->addRow(QStringLiteral("URL:"), m_url);
    form->addRow(QStringLiteral("Beschreibung:"), m_info);
    layout->addLayout(form);
    auto* options = new QGroupBox(QStringLiteral("Optionen beim öffnen"), this);
    auto* optLayout = new QVBoxLayout(options);
    m_addressBar = new QCheckBox(QStringLiteral("Adresszeile einblenden."), options);
    m_addressBar->setObjectName(QStringLiteral("addressBar"));
    m_toolbar = new QCheckBox(QStringLiteral("Toolbar einblenden."), options);
    m_toolbar->setObjectName(QStringLiteral("toolbar"));
    optLayout->addWidget(m_addressBar);
    optLayout->addWidget(m_toolbar);
    layout->addWidget(options);
    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("ok"));
    m_ok->setDefault(true);
    m_cancel = buttons->addButton(QStringLiteral("Abbruch"), QDialogButtonBox::RejectRole);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    layout->addWidget(buttons);
    connect(m_ok, &QPushButton::clicked, this, &BookmarkDialog::takeInput);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Enter in the name or address field reaches the default button "Ok";
    // a handler of the fields' own would run OK a second time.

    if (m_newBookmark) {
        m_url->setText(QStringLiteral("http://"));
        m_addressBar->setChecked(true);
        m_toolbar->setChecked(true);
    } else if (Bookmark* b = m_archive->bookmarkOf(m_archive->tree()->currentItem())) {
        m_name->setText(b->Titel);
        m_url->setText(b->Url);
        m_info->setPlainText(b->Info);
        m_addressBar->setChecked(b->Adresszeile);
        m_toolbar->setChecked(b->Toolbar);
    }
}

void BookmarkDialog::takeInput() {
    const QString name = m_name->text();
    const QString url = m_url->text();
    if (name.isEmpty() || url.isEmpty()) {
        Dialogs::message(this, QMessageBox::Critical, QStringLiteral("Meldung"),
                         QStringLiteral("Feld darf nicht leer sein."));
        (name.isEmpty() ? m_name : m_url)->setFocus();
        return;
    }
    QTreeWidgetItem* node = m_archive->tree()->currentItem();
    if (m_newBookmark) {
        const std::shared_ptr<Thema> folder = m_archive->folderOf(node);
        bool exists = false;
        if (folder && folder->bookmarks)
            for (const Bookmark& b : *folder->bookmarks)
                exists = exists || b.Url == url;
        if (exists &&
            Dialogs::message(this, QMessageBox::Question, QStringLiteral("Meldung"),
                             QStringLiteral("Die Url: ") + url +
                                 QStringLiteral(" existiert bereits, trotzdem übernehmen ?"),
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return;
        m_archive->insertBookmark(name, url, m_info->toPlainText());
    } else if (Bookmark* b = m_archive->bookmarkOf(node)) {
        m_archive->updateBookmark(*b, name, url, m_info->toPlainText(), m_addressBar->isChecked(),
                                  m_toolbar->isChecked());
    }
    accept();
}
