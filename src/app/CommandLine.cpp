#include "app/CommandLine.h"

#include "app/DataLocation.h"
#include "common/Product.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <cstring>

namespace CommandLine {

namespace {
const char* const HelpOption = "--help";
const char* const VersionOption = "--version";
} // namespace

bool isQuestion(int argc, char* argv[]) {
    return argc == 2 &&
           (std::strcmp(argv[1], HelpOption) == 0 || std::strcmp(argv[1], VersionOption) == 0);
}

int answer(int argc, char* argv[]) {
    // Only for the program's folder; no platform plugin, no window.
    QCoreApplication app(argc, argv);
    const QString text = std::strcmp(argv[1], HelpOption) == 0
                             ? helpText(DataLocation::forProgram(app.applicationDirPath()))
                             : versionText();
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

QString helpText(const DataLocation& location) {
    return QStringLiteral(
               "Aufruf: korvix [ADRESSE | DATEI]\n"
               "       korvix --help\n"
               "       korvix --version\n"
               "\n"
               "%1: viele Browser-Fenster in einem Rahmen.\n"
               "\n"
               "  ohne Argument    startet Korvix; läuft es schon, kommt sein Fenster nach vorn.\n"
               "  ADRESSE, DATEI   öffnet die Adresse oder Datei in einem neuen Browser-Fenster,\n"
               "                   im laufenden Korvix, wenn eines läuft. Die ganze\n"
               "                   Befehlszeile, mit Leerzeichen verbunden, ist eine Adresse.\n"
               "  --help           zeigt diese Hilfe.\n"
               "  --version        zeigt die Version.\n"
               "\n"
               "Dateien (Pref.kxp, Bookmark-Archiv, WebEngine/):\n"
               "  Ist der Ordner des Programms für diesen Benutzer beschreibbar und kein\n"
               "  Systemordner (unter /usr, /bin oder /sbin), liegen sie dort (tragbare Kopie).\n"
               "  Sonst liegen sie in $XDG_DATA_HOME/korvix (Standard: ~/.local/share/korvix),\n"
               "  beim ersten Start mit den Standardeinstellungen angelegt.\n"
               "  Hier: %2\n"
               "  %3\n"
               "\n"
               "SIGTERM und SIGINT beenden Korvix wie \"Beenden\".\n")
        .arg(Product::AppTitle, QDir::toNativeSeparators(location.folder()), location.reason());
}

QString versionText() {
    return Product::AppTitle + QLatin1Char('\n');
}

} // namespace CommandLine
