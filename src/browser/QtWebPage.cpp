#include "browser/QtWebPage.h"

#include "browser/EngineProfile.h"
#include "browser/LoginDialog.h"
#include "browser/QtWebView.h"
#include "browser/model/SiteGrants.h"
#include "ui/Dialogs.h"

#include <QAuthenticator>
#include <QFileDialog>
#include <QInputDialog>
#include <QWidget>

namespace {
QString siteName(const QUrl& origin) {
    return origin.host().isEmpty() ? origin.toDisplayString() : origin.host();
}
} // namespace

QtWebPage::QtWebPage(QWebEngineProfile* profile, QtWebView* owner)
    : QWebEnginePage(profile, owner), m_owner(owner) {
    connect(this, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl& url, QAuthenticator* a) { askLogin(url, a, false); });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl&, QAuthenticator* a, const QString& proxyHost) {
                QUrl proxy;
                proxy.setScheme(QStringLiteral("http"));
                proxy.setHost(proxyHost);
                askLogin(proxy, a, true);
            });
}

QWidget* QtWebPage::dialogParent() const {
    return m_owner->widget()->window();
}

bool QtWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (isMainFrame && type == NavigationTypeFormSubmitted)
        m_owner->formSubmitted();
    if (isMainFrame)
        m_owner->prepareNavigation(url);
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

QWebEnginePage* QtWebPage::createWindow(WebWindowType type) {
    using Placement = WebView::NewWindowRequest::Placement;
    WebView::NewWindowRequest request;
    // Middle click and Ctrl+click ask for a tab in the background; Shift+click
    // and the context menu's entry for a window of its own.
    if (type == WebBrowserBackgroundTab)
        request.placement = Placement::Behind;
    else if (type == WebBrowserWindow)
        request.placement = Placement::InFront;
    emit m_owner->newWindowRequested(&request);
    if (auto* target = qobject_cast<QtWebView*>(request.target))
        return target->page();
    return nullptr;
}

void QtWebPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg) {
    Dialogs::message(dialogParent(), QMessageBox::Information,
                     QStringLiteral("Meldung von %1").arg(siteName(securityOrigin)), msg);
}

bool QtWebPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) {
    return Dialogs::message(dialogParent(), QMessageBox::Question,
                            QStringLiteral("Frage von %1").arg(siteName(securityOrigin)), msg,
                            QMessageBox::Ok | QMessageBox::Cancel,
                            QMessageBox::Ok) == QMessageBox::Ok;
}

bool QtWebPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                                 const QString& defaultValue, QString* result) {
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(QStringLiteral("Eingabe für %1").arg(siteName(securityOrigin)));
    dialog.setLabelText(msg);
    dialog.setTextValue(defaultValue);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    if (Dialogs::runModal([&] { return dialog.exec(); }) != QDialog::Accepted)
        return false;
    *result = dialog.textValue();
    return true;
}

QStringList QtWebPage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                                   const QStringList&) {
    QFileDialog dialog(dialogParent(), mode == FileSelectOpenMultiple
                                           ? QStringLiteral("Dateien auswählen")
                                           : QStringLiteral("Datei auswählen"));
    dialog.setFileMode(mode == FileSelectOpenMultiple ? QFileDialog::ExistingFiles
                                                      : QFileDialog::ExistingFile);
    if (!oldFiles.isEmpty())
        dialog.selectFile(oldFiles.first());
    if (Dialogs::runModal([&] { return dialog.exec(); }) != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

void QtWebPage::askLogin(const QUrl& url, QAuthenticator* authenticator, bool proxy) {
    const QString key = SiteGrants::loginKey(url, authenticator->realm(), proxy);
    SiteGrants& grants = EngineProfile::grants(m_owner->isPrivate());
    LoginDialog::Request request;
    request.host =
        url.port() > 0 ? QStringLiteral("%1:%2").arg(url.host()).arg(url.port()) : url.host();
    request.realm = authenticator->realm();
    request.proxy = proxy;
    request.retry = m_loginsTried.contains(key);
    LoginDialog dialog(request, dialogParent());
    if (const auto known = grants.login(key)) {
        dialog.setUser(known->user);
        // A refused password is not offered again.
        if (!request.retry)
            dialog.setPassword(known->password);
    }
    Dialogs::runModal([&] { return dialog.exec(); });
    if (dialog.result() != QDialog::Accepted) {
        // Untouched, the engine gives up and shows the server's own answer.
        *authenticator = QAuthenticator();
        return;
    }
    m_loginsTried.insert(key);
    grants.rememberLogin(key, {dialog.user(), dialog.password()});
    authenticator->setUser(dialog.user());
    authenticator->setPassword(dialog.password());
}
