#include "mail/MailLauncher.h"

#include "mail/model/MailLink.h"
#include "prefs/model/Prefer.h"
#include "ui/Dialogs.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>

namespace {
MailLauncher::UrlOpener g_opener;
} // namespace

QString MailLauncher::notFoundText(const QString& path) {
    return QStringLiteral("Die Anwendung '") + path +
           QStringLiteral("' konnte nicht gefunden werden.");
}

bool MailLauncher::startMailProgram(QWidget* parent, const Prefer& prefs) {
    if (prefs.MailClient.trimmed().isEmpty()) {
        Dialogs::message(parent, QMessageBox::Information, MessageTitle, NotConfiguredText);
        return false;
    }
    // No argument splitting: blanks belong to the path.
    const QString program = prefs.MailClient;
    if (!QProcess::startDetached(program, QStringList()) && !QFileInfo::exists(program))
        Dialogs::message(parent, QMessageBox::Warning, MessageTitle, notFoundText(program));
    return true;
}

void MailLauncher::sendLink(const QString& title, const QString& url) {
    if (url.isEmpty())
        return;
    const QUrl link = MailLink::linkUrl(title, url);
    if (g_opener)
        g_opener(link);
    else
        QDesktopServices::openUrl(link);
}

void MailLauncher::setUrlOpener(UrlOpener opener) {
    g_opener = std::move(opener);
}
