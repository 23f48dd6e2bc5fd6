#pragma once

#include <QObject>
#include <QPointer>

class Passwords;
class QtWebView;
struct SavedLogin;

// The logins of one page's forms: after a form with a password was sent,
// the question whether to save it; once a page with a password field has
// loaded, its login filled in from the keyring. Private windows have none.
class PageLogins : public QObject {
    Q_OBJECT
public:
    PageLogins(QtWebView* view, Passwords* passwords);
    // Gives the view's page, the first or a new one, the script that reports
    // and fills its forms.
    void attach();

    // The page is about to leave for a form it sent.
    void formSubmitted();
    // A load ended.
    void pageLoaded(bool ok);

private:
    void offer(const SavedLogin& sent);

    QtWebView* m_view;
    QPointer<Passwords> m_passwords;
};
