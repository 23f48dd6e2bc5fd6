// How long importing a large bookmark file from another browser takes, parsed
// and then written as the whole archive, and how long exporting an archive of
// that size takes in each of the three formats.
#include "BenchSupport.h"

#include "archive/model/Archive.h"
#include "archive/model/BookmarkImport.h"
#include "archive/model/ExportWriters.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <memory>

namespace {

constexpr int Folders = 200;
constexpr int LinksPerFolder = 50;
constexpr int Links = Folders * LinksPerFolder;

qsizetype linkCount(const QList<BookmarkImport::Folder>& folders) {
    qsizetype n = 0;
    for (const BookmarkImport::Folder& f : folders)
        n += f.bookmarks.size();
    return n;
}

// Writes the archive in one format to the file; the milliseconds, or -1.
double timedExport(ExportWriters::Kind kind, const Book& book, const QString& path) {
    QString error;
    QElapsedTimer timer;
    timer.start();
    const QByteArray bytes =
        ExportWriters::exportArchive(kind, *book.folders, QDateTime::currentDateTime());
    const bool written = ExportWriters::writeExport(path, bytes, &error);
    const double ms = bench::msSince(timer);
    if (!written) {
        std::printf("export: %s\n", qPrintable(error));
        return -1;
    }
    return ms;
}

} // namespace

int main(int argc, char* argv[]) {
    bench::Program program(argc, argv);
    const QString importDir = program.filePath(QStringLiteral("import"));
    if (!program.isValid() || !QDir().mkpath(importDir))
        return 1;

    // The bookmark file another browser would hand over, made by the
    // program's own export of an archive as large as the import.
    const std::unique_ptr<Book> book = bench::makeArchive(program.dir(), Folders, LinksPerFolder);
    const QString filePath = program.filePath(QStringLiteral("bookmarks.html"));
    QString error;
    if (!ExportWriters::writeExport(filePath,
                                    ExportWriters::exportArchive(ExportWriters::Kind::Netscape,
                                                                 *book->folders,
                                                                 QDateTime::currentDateTime()),
                                    &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double megabytes = double(QFileInfo(filePath).size()) / (1024.0 * 1024.0);

    QElapsedTimer parsing;
    parsing.start();
    const BookmarkImport::Result parsed = BookmarkImport::parseFile(filePath);
    const double parseMs = bench::msSince(parsing);
    if (!parsed.ok) {
        std::printf("import: not parsed: %s\n", qPrintable(parsed.error));
        return 1;
    }

    QElapsedTimer replacing;
    replacing.start();
    Book archive(importDir);
    const bool replaced =
        archive.replaceWith(BookmarkImport::archiveFolders(parsed.folders), &error);
    const double replaceMs = bench::msSince(replacing);
    std::printf("import %d links / %d folders (%.1f MB): parse %.1f ms, replace archive %.1f ms\n",
                Links, Folders, megabytes, parseMs, replaceMs);
    if (parsed.folders.size() != Folders || linkCount(parsed.folders) != Links)
        std::printf("import: the file gave %lld folders and %lld links\n",
                    static_cast<long long>(parsed.folders.size()),
                    static_cast<long long>(linkCount(parsed.folders)));
    if (!replaced)
        std::printf("import: archive not replaced: %s\n", qPrintable(error));
    std::fflush(stdout);

    const double textMs =
        timedExport(ExportWriters::Kind::Text, *book, program.filePath(QStringLiteral("a.txt")));
    const double htmlMs =
        timedExport(ExportWriters::Kind::Html, *book, program.filePath(QStringLiteral("a.html")));
    const double netscapeMs = timedExport(ExportWriters::Kind::Netscape, *book,
                                          program.filePath(QStringLiteral("lesezeichen.htm")));
    std::printf("export %d links: text %.1f ms, html %.1f ms, bookmark file %.1f ms\n", Links,
                textMs, htmlMs, netscapeMs);
    program.printTotalRun();
    return 0;
}
