#include "browser/AddressBox.h"

#include "browser/model/DropRules.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>

AddressBox::AddressBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Enter goes to the text exactly as typed: no completion from the list,
    // and no jump to a list entry that matches it but for letter case.
    setCompleter(nullptr);
    setDuplicatesEnabled(true);
    lineEdit()->setAcceptDrops(true);
    // Drops land on the line edit, the widget under the pointer.
    lineEdit()->installEventFilter(this);
}

void AddressBox::keyPressEvent(QKeyEvent* event) {
    // Keys reach the box, not its line edit: the line edit's focus proxy is
    // the box, which hands keys on by calling the line edit directly. Enter
    // is taken here, before the line edit ignores it and the box, keeping
    // nothing it was not told to insert, reports nothing. A Return sent to
    // the line edit itself comes back here too, as the line edit leaves it
    // to its parent.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit addressEntered();
        return;
    }
    QComboBox::keyPressEvent(event);
}

bool AddressBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched != lineEdit())
        return QComboBox::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (!drag->mimeData()->hasText() && !drag->mimeData()->hasUrls())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const DropRules::Dropped dropped = DropRules::dropped(drop->mimeData());
        const QString address = dropped.text.isEmpty() ? dropped.file : dropped.text;
        if (!address.isEmpty()) {
            setEditText(address);
            drop->acceptProposedAction();
            emit addressEntered();
        }
        return true;
    }
    default:
        return false;
    }
}
