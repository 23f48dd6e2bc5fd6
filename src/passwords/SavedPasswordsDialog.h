#pragma once

#include "passwords/model/LoginRules.h"

#include <QDialog>

class Passwords;
class QLabel;
class QPushButton;
class QTreeWidget;

// "Gespeicherte Passwörter...": site and user of every login in the keyring,
// a password shown only on "Anzeigen"; one removed, or all.
class SavedPasswordsDialog : public QDialog {
    Q_OBJECT
public:
    SavedPasswordsDialog(Passwords& passwords, QWidget* parent);

    // Brings the one dialog up.
    static SavedPasswordsDialog* show(QWidget* parent, Passwords& passwords);

private:
    void reload();
    void fill(const QList<SavedLogin>& logins);
    void toggleShown();
    void removeSelected();
    void removeAll();
    void updateButtons();

    Passwords& m_passwords;
    QList<SavedLogin> m_logins;
    QTreeWidget* m_list;
    QLabel* m_state;
    QPushButton* m_show;
    QPushButton* m_remove;
    QPushButton* m_removeAll;
};
