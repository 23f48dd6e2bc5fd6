#include "browser/LoginDialog.h"

#include "ui/Dialogs.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

LoginDialog::LoginDialog(const Request& request, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Anmeldung erforderlich"));
    auto* layout = new QVBoxLayout(this);

    QString text = request.proxy
                       ? QStringLiteral("Der Proxy %1 verlangt einen Benutzernamen und ein "
                                        "Passwort.")
                             .arg(request.host)
                       : QStringLiteral("Die Website %1 verlangt einen Benutzernamen und ein "
                                        "Passwort.")
                             .arg(request.host);
    if (!request.realm.isEmpty())
        text += QStringLiteral("\nBereich: \u201E%1\u201C").arg(request.realm);
    if (request.retry)
        text = QStringLiteral("Benutzername oder Passwort waren falsch. Bitte noch einmal "
                              "versuchen.\n\n") +
               text;
    m_message = new QLabel(text);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    layout->addWidget(m_message);

    auto* form = new QFormLayout;
    m_user = new QLineEdit;
    m_user->setObjectName(QStringLiteral("user"));
    m_password = new QLineEdit;
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&Benutzername:"), m_user);
    form->addRow(QStringLiteral("&Passwort:"), m_password);
    layout->addLayout(form);

    Dialogs::addEndButtons(this, layout, QStringLiteral("&Anmelden"), QStringLiteral("ok"));
    m_user->setFocus();
}

void LoginDialog::setUser(const QString& user) {
    m_user->setText(user);
    if (!user.isEmpty())
        m_password->setFocus();
}
void LoginDialog::setPassword(const QString& password) {
    m_password->setText(password);
}
QString LoginDialog::user() const {
    return m_user->text();
}
QString LoginDialog::password() const {
    return m_password->text();
}
