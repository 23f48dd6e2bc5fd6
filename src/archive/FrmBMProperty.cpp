#include "archive/FrmBMProperty.h"

#include "app/Dialogs.h"
#include "archive/FrmBook.h"

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

FrmBMProperty::FrmBMProperty(FrmBook* book, bool newBkm)
    : QDialog(book), bNewBkm(newBkm), m_book(book) {
    setObjectName(QStringLiteral("frmBMProperty"));
    setWindowTitle(bNewBkm ? QStringLiteral("Bookmark - Hinzufügen")
                           : QStringLiteral("Bookmark Eigenschaften"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setMaxLength(MaxName);
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setMaxLength(MaxUrl);
    Text3 = new QPlainTextEdit(this);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->setTabChangesFocus(true);
    Text3->setFixedHeight(80);
    // The description holds at most 360 characters, as the field allows.
    connect(Text3, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = Text3->toPlainText();
        if (text.size() > MaxInfo) {
            Text3->setPlainText(text.left(MaxInfo));
            Text3->moveCursor(QTextCursor::End);
        }
    });
    form->addRow(QStringLiteral("Name:"), Text1);
    form->addRow(QStringLiteral("URL:"), Text2);
    form->addRow(QStringLiteral("Beschreibung:"), Text3);
    layout->addLayout(form);
    auto* options = new QGroupBox(QStringLiteral("Optionen beim öffnen"), this);
    auto* optLayout = new QVBoxLayout(options);
    Check1 = new QCheckBox(QStringLiteral("Adresszeile einblenden."), options);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2 = new QCheckBox(QStringLiteral("Toolbar einblenden."), options);
    Check2->setObjectName(QStringLiteral("Check2"));
    optLayout->addWidget(Check1);
    optLayout->addWidget(Check2);
    layout->addWidget(options);
    auto* buttons = new QDialogButtonBox(this);
    Ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    Ok->setObjectName(QStringLiteral("Ok"));
    Ok->setDefault(true);
    Cancel = buttons->addButton(QStringLiteral("Abbruch"), QDialogButtonBox::RejectRole);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    layout->addWidget(buttons);
    connect(Ok, &QPushButton::clicked, this, &FrmBMProperty::Ok_Click);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Enter in the name or address field reaches the default button "Ok";
    // a handler of the fields' own would run OK a second time.

    if (bNewBkm) {
        Text2->setText(QStringLiteral("http://"));
        Check1->setChecked(true);
        Check2->setChecked(true);
    } else if (Bookmark* b = m_book->bookmarkOf(m_book->tree()->currentItem())) {
        Text1->setText(b->Titel);
        Text2->setText(b->Url);
        Text3->setPlainText(b->Info);
        Check1->setChecked(b->Adresszeile);
        Check2->setChecked(b->Toolbar);
    }
}

void FrmBMProperty::Ok_Click() {
    const QString name = Text1->text();
    const QString url = Text2->text();
    if (name.isEmpty() || url.isEmpty()) {
        Dialogs::message(this, QMessageBox::Critical, QStringLiteral("Meldung"),
                         QStringLiteral("Feld darf nicht leer sein."));
        (name.isEmpty() ? Text1 : Text2)->setFocus();
        return;
    }
    QTreeWidgetItem* node = m_book->tree()->currentItem();
    if (bNewBkm) {
        const std::shared_ptr<Thema> folder = m_book->folderOf(node);
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
        m_book->AddBkmToArchive(name, url, Text3->toPlainText());
    } else if (Bookmark* b = m_book->bookmarkOf(node)) {
        m_book->UpdateBookmark(*b, name, url, Text3->toPlainText(), Check1->isChecked(),
                               Check2->isChecked());
    }
    accept();
}
