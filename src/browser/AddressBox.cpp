#include "browser/AddressBox.h"

#include "browser/AddressSuggestions.h"
#include "browser/SuggestionPopup.h"
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
    connect(lineEdit(), &QLineEdit::textEdited, this, &AddressBox::onTextEdited);
    // A page that comes sets the text: what the user typed is over.
    connect(this, &QComboBox::currentTextChanged, this, [this] {
        if (!lineEdit()->isModified())
            m_typing = false;
    });
}

void AddressBox::focusForTyping() {
    setFocus(Qt::ShortcutFocusReason);
    lineEdit()->selectAll();
}

bool AddressBox::suggestionsShown() const {
    return m_popup && m_popup->isVisible();
}

void AddressBox::hideSuggestions() {
    if (m_popup)
        m_popup->hide();
}

void AddressBox::onTextEdited(const QString& text) {
    if (!m_typing) {
        m_typing = true;
        m_beforeTyping = itemText(currentIndex()).isEmpty() ? QString() : itemText(currentIndex());
    }
    if (!m_suggestions || text.trimmed().isEmpty()) {
        hideSuggestions();
        return;
    }
    if (!m_popup) {
        m_popup = new SuggestionPopup(this);
        connect(m_popup, &SuggestionPopup::rowClicked, this, [this](int row) {
            const Suggestions::Row chosen = m_popup->rows().value(row);
            hideSuggestions();
            m_typing = false;
            emit suggestionChosen(chosen);
        });
    }
    m_popup->showRows(m_suggestions->suggest(text), this);
}

void AddressBox::focusInEvent(QFocusEvent* event) {
    QComboBox::focusInEvent(event);
    if (m_suggestions)
        m_suggestions->prepare();
}

void AddressBox::focusOutEvent(QFocusEvent* event) {
    hideSuggestions();
    QComboBox::focusOutEvent(event);
}

// Esc belongs to the box while it has something to take back, not to the
// frame's Stop; so do the arrows while the list is open.
bool AddressBox::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool listKey = key == Qt::Key_Up || key == Qt::Key_Down;
        if ((key == Qt::Key_Escape && (suggestionsShown() || m_typing)) ||
            (listKey && suggestionsShown())) {
            event->accept();
            return true;
        }
    }
    return QComboBox::event(event);
}

void AddressBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // Keys reach the box, not its line edit: the line edit's focus proxy is
    // the box, which hands keys on by calling the line edit directly. Enter
    // is taken here, before the line edit ignores it and the box, keeping
    // nothing it was not told to insert, reports nothing. A Return sent to
    // the line edit itself comes back here too, as the line edit leaves it
    // to its parent.
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->accept();
        const int row = suggestionsShown() ? m_popup->current() : -1;
        const Suggestions::Row chosen = row >= 0 ? m_popup->rows().value(row) : Suggestions::Row();
        hideSuggestions();
        m_typing = false;
        if (row >= 0)
            emit suggestionChosen(chosen);
        else
            emit addressEntered();
        return;
    }
    if (suggestionsShown() && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        // Choosing a row leaves the typed text as it is.
        m_popup->step(key == Qt::Key_Up ? -1 : 1);
        event->accept();
        return;
    }
    if (key == Qt::Key_Escape) {
        // First the list goes, then the box shows its address again.
        if (suggestionsShown()) {
            hideSuggestions();
        } else if (m_typing) {
            m_typing = false;
            setEditText(m_beforeTyping);
            lineEdit()->selectAll();
        }
        event->accept();
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
