#pragma once

// The user's mail program and the desktop's mail handler.

#include <QString>
#include <QUrl>
#include <functional>

class Prefer;
class QWidget;

namespace MailLauncher {

inline const QString MessageTitle = QStringLiteral("Meldung");
inline const QString NotConfiguredText =
    QStringLiteral("Bitte konfigurieren Sie Ihre E-Mail Anwendung.");
QString notFoundText(const QString& path);

// Starts the program named by prefs.MailClient, the whole text being its path;
// a program that is not there is reported by name. With none configured the
// user is told so and false comes back: the caller opens the settings
// dialog, where the mail program is chosen.
bool startMailProgram(QWidget* parent, const Prefer& prefs);

// Hands a page's title and address to the desktop's mail handler. Nothing
// happens without an address (no document).
void sendLink(const QString& title, const QString& url);

// Who receives the mail link; empty restores QDesktopServices::openUrl.
using UrlOpener = std::function<bool(const QUrl&)>;
void setUrlOpener(UrlOpener opener);

} // namespace MailLauncher
