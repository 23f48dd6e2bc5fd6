#pragma once

#include "browser/model/Suggestions.h"

#include <QComboBox>

class AddressSuggestions;
class SuggestionPopup;

// A window's address box: an editable list of the addresses it has shown.
// While the user types, a list under it suggests bookmarks, visited pages
// and open windows. Enter, a chosen suggestion and a drop report what to
// open; the window decides what to do.
class AddressBox : public QComboBox {
    Q_OBJECT
public:
    explicit AddressBox(QWidget* parent);

    void setSuggestions(AddressSuggestions* suggestions) { m_suggestions = suggestions; }
    // The suggestion list, made when the user first types.
    SuggestionPopup* suggestionPopup() const { return m_popup; }
    // Puts focus into the box with its text selected (Ctrl+L, F6).
    void focusForTyping();

signals:
    // Enter was pressed with no suggestion chosen, or an address was dropped
    // and put into the box.
    void addressEntered();
    void suggestionChosen(const Suggestions::Row& row);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onTextEdited(const QString& text);
    void hideSuggestions();
    bool suggestionsShown() const;

    AddressSuggestions* m_suggestions = nullptr;
    SuggestionPopup* m_popup = nullptr;
    // The text before the user began to type, which Esc brings back.
    QString m_beforeTyping;
    bool m_typing = false;
};
