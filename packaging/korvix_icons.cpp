// Writes the program icon as PNGs into a hicolor tree:
//   korvix_icons <folder> <size>...  ->  <folder>/<n>x<n>/apps/korvix.png
// The package's icons are the compiled-in globe, not a second drawing of it.
#include "browser/Pictures.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fputs("Aufruf: korvix_icons ORDNER GRÖSSE...\n", stderr);
        return 2;
    }
    const QDir root(args.at(1));
    for (const QString& arg : args.mid(2)) {
        bool ok = false;
        const int size = arg.toInt(&ok);
        if (!ok || size <= 0) {
            std::fprintf(stderr, "Keine Größe: %s\n", qPrintable(arg));
            return 2;
        }
        const QString folder = root.filePath(QStringLiteral("%1x%1/apps").arg(size));
        const QString file = QDir(folder).filePath(QStringLiteral("korvix.png"));
        if (!QDir().mkpath(folder) || !programIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "Kann %s nicht schreiben\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
