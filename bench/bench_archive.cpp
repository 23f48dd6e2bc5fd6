// How long the bookmark archive takes to save and to read back at two sizes,
// how long the archive window needs until its tree shows, and what the
// window's "Speichern" costs beyond the file work it does.
#include "BenchSupport.h"

#include "archive/ArchiveWindow.h"
#include "archive/model/Archive.h"
#include "frame/MainFrame.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <cstdio>
#include <memory>

namespace {

struct ArchiveSize {
    int folders;
    int bookmarksPerFolder;
};
constexpr ArchiveSize Sizes[] = {{20, 500}, {100, 1000}};

int treeBookmarkCount(const ArchiveWindow& window) {
    int n = 0;
    if (QTreeWidgetItem* root = window.rootNode())
        for (int i = 0; i < root->childCount(); ++i)
            n += root->child(i)->childCount();
    return n;
}

void benchArchive(MainFrame* frame, const QString& appDir, const ArchiveSize& size) {
    const QString label =
        QStringLiteral("archive %1x%2").arg(size.folders).arg(size.bookmarksPerFolder);
    const qsizetype expected = qsizetype(size.folders) * size.bookmarksPerFolder;

    QString error;
    double saveMs = 0;
    {
        std::unique_ptr<Book> book =
            bench::makeArchive(appDir, size.folders, size.bookmarksPerFolder);
        QElapsedTimer timer;
        timer.start();
        const bool saved = book->save(&error);
        saveMs = bench::msSince(timer);
        if (!saved) {
            std::printf("%s: not saved: %s\n", qPrintable(label), qPrintable(error));
            return;
        }
    }

    double loadMs = 0;
    {
        Book book(appDir);
        QString warning;
        QElapsedTimer timer;
        timer.start();
        const Book::LoadResult result = book.load(&error, &warning);
        loadMs = bench::msSince(timer);
        if (result != Book::LoadResult::Loaded || bench::bookmarkCount(book) != expected)
            std::printf("%s: read back %lld of %lld bookmarks %s\n", qPrintable(label),
                        static_cast<long long>(bench::bookmarkCount(book)),
                        static_cast<long long>(expected), qPrintable(error + warning));
    }

    // The window reads its archive from the program folder it is given.
    bench::ToolShell shell(frame, appDir);
    bench::PaintCounter painted;
    bench::FirstDraw opened;
    auto* window = bench::openUntilDrawn([&shell] { return new ArchiveWindow(shell); },
                                         [](ArchiveWindow* w) { return w->tree()->viewport(); },
                                         painted, bench::PaintTimeoutMs, &opened);
    if (treeBookmarkCount(*window) != expected)
        std::printf("%s: the tree shows %d of %lld bookmarks\n", qPrintable(label),
                    treeBookmarkCount(*window), static_cast<long long>(expected));

    std::printf("%s: save %.1f ms, load (files → objects) %.1f ms, load + tree shown %.1f ms\n",
                qPrintable(label), saveMs, loadMs, opened.drawnMs);
    if (!opened.drawn)
        std::printf("%s: the tree was not drawn within %d ms\n", qPrintable(label),
                    bench::PaintTimeoutMs);
    std::fflush(stdout);

    // "Laden" again on the open window: the same reading and tree building,
    // without creating the window.
    const int paintsBefore = painted.paints();
    QElapsedTimer reloading;
    reloading.start();
    window->loadArchive();
    const double reloadMs = bench::msSince(reloading);
    bench::waitUntil([&] { return painted.paints() > paintsBefore; }, bench::PaintTimeoutMs, 1);
    const double reloadShownMs = bench::msSince(reloading);
    std::printf("%s: window opened (loadArchive in the constructor) %.1f ms, loadArchive again "
                "%.1f ms, until drawn %.1f ms\n",
                qPrintable(label), opened.constructedMs, reloadMs, reloadShownMs);

    // "Speichern" writes only the changed folder and the index, then reads
    // the whole archive again for the tree.
    window->book()->folders->first()->changed = true;
    window->book()->changed = true;
    QElapsedTimer windowSaving;
    windowSaving.start();
    const bool windowSaved = window->saveArchive();
    const double windowSaveMs = bench::msSince(windowSaving);

    double fileSaveMs = -1;
    {
        Book book(appDir);
        QString warning;
        if (book.load(&error, &warning) == Book::LoadResult::Loaded) {
            book.folders->first()->changed = true;
            book.changed = true;
            QElapsedTimer timer;
            timer.start();
            if (book.save(&error))
                fileSaveMs = bench::msSince(timer);
        }
    }
    std::printf("%s: window save, one folder changed (saveArchive): %.1f ms, the same "
                "file work alone (save): %.1f ms\n",
                qPrintable(label), windowSaveMs, fileSaveMs);
    if (!windowSaved || fileSaveMs < 0)
        std::printf("%s: a save failed: %s\n", qPrintable(label), qPrintable(error));
    std::fflush(stdout);

    bench::closeWindow(window, bench::SettleTimeoutMs);
}

} // namespace

int main(int argc, char* argv[]) {
    bench::Program program(argc, argv);
    // No browser window at start: the archive window needs only the frame,
    // and so the engine is not started at all.
    if (!program.writeQuietPrefs())
        return 1;
    MainFrame* frame = program.start(QString(), false);
    if (!frame)
        return 1;

    // Each archive in its own directory, so the second does not find the
    // folder files of the first.
    for (const ArchiveSize& size : Sizes) {
        const QString name =
            QStringLiteral("archiv-%1x%2").arg(size.folders).arg(size.bookmarksPerFolder);
        if (!QDir(program.dir()).mkpath(name)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(name));
            return 1;
        }
        benchArchive(frame, program.filePath(name), size);
    }

    program.printTotalRun();
    return 0;
}
