#pragma once

#include <QSet>
#include <QWebEnginePage>

class QAuthenticator;
class QtWebView;

// The engine's page of one QtWebView: its windows, script dialogs, file
// choosers and logins open as the program's own, in German and inside the
// modal lock.
class QtWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    QtWebPage(QWebEngineProfile* profile, QtWebView* owner);

    QtWebView* owner() const { return m_owner; }
    // A new load starts: a login asked for again from now on is a new one.
    void forgetLoginsTried() { m_loginsTried.clear(); }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;

private:
    void askLogin(const QUrl& url, QAuthenticator* authenticator, bool proxy);
    QWidget* dialogParent() const;

    QtWebView* m_owner;
    // Logins answered during this load: asked again means refused.
    QSet<QString> m_loginsTried;
};
