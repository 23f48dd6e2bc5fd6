#pragma once

#include <QDialog>

class ContentBlocker;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

// "Filterlisten...": the subscribed lists with their state and last update,
// one added by its address or removed, all fetched now, and the user's own
// rules. Stays open beside the pages while lists download.
class FilterListsDialog : public QDialog {
    Q_OBJECT
public:
    FilterListsDialog(ContentBlocker& blocker, QWidget* parent);

    // Brings the one dialog up, making it first.
    static FilterListsDialog* show(QWidget* parent, ContentBlocker& blocker);

private:
    void refresh();
    void addList();
    void removeList();
    void saveOwnRules();

    ContentBlocker& m_blocker;
    QTreeWidget* m_lists;
    QLineEdit* m_address;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_update;
    QLabel* m_state;
    QPlainTextEdit* m_ownRules;
};
