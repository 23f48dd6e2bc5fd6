#include "app/EngineSandbox.h"

#include <QByteArrayList>
#include <unistd.h>

QString EngineSandbox::problem() {
    if (::geteuid() != 0)
        return QString();
    // The two switches the engine itself reads.
    if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        return QString();
    if (qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").split(' ').contains("--no-sandbox"))
        return QString();
    return QStringLiteral(
        "Korvix wurde als Benutzer root gestartet. Die Web-Engine führt Webseiten für root "
        "nicht in ihrer Sandbox aus und lässt sich so nicht starten.\n\n"
        "Starten Sie Korvix als normaler Benutzer. Wer Korvix bewusst als root und damit ohne "
        "Sandbox betreiben will, setzt vorher die Umgebungsvariable "
        "QTWEBENGINE_DISABLE_SANDBOX=1.");
}
