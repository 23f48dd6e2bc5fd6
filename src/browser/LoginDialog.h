#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

// Asks for the user name and password a web site or a proxy wants.
class LoginDialog : public QDialog {
    Q_OBJECT
public:
    struct Request {
        QString host;  // the site or proxy that asks
        QString realm; // the server's name for the protected area
        bool proxy = false;
        // The last answer was refused: say so above the fields.
        bool retry = false;
    };

    LoginDialog(const Request& request, QWidget* parent = nullptr);

    void setUser(const QString& user);
    void setPassword(const QString& password);
    QString user() const;
    QString password() const;
    QLabel* message() const { return m_message; }

private:
    QLabel* m_message;
    QLineEdit* m_user;
    QLineEdit* m_password;
};
