// How fast the address box's suggestions come: 10,000 bookmarks in the
// archive and 100 pages of history, the list made anew for every key of a
// few typed words, as the frame makes it. Also how long reading the
// archive's files takes, which happens away from the keys.
#include "BenchSupport.h"

#include "archive/model/Archive.h"
#include "browser/model/Suggestions.h"
#include "frame/MainFrame.h"
#include "frame/SuggestionSource.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int Folders = 100;
constexpr int BookmarksPerFolder = 100;
constexpr int HistoryPages = 100;

bool writeArchive(const QString& dir) {
    Book book(dir);
    QList<std::shared_ptr<Thema>> folders;
    for (int f = 0; f < Folders; ++f) {
        auto folder = std::make_shared<Thema>();
        folder->setDirName(QStringLiteral("Ordner %1").arg(f));
        folder->FileName = QStringLiteral("%1.bkm").arg(f + 1);
        folder->bookmarks.emplace();
        for (int b = 0; b < BookmarksPerFolder; ++b) {
            Bookmark mark;
            mark.Nr = qint16(b + 1);
            mark.Titel = QStringLiteral("Lesezeichen %1 zum Thema %2").arg(b).arg(f);
            mark.Url = QStringLiteral("https://www.seite%1.example/thema/%2/artikel-%3.html")
                           .arg(f * BookmarksPerFolder + b)
                           .arg(f)
                           .arg(b);
            folder->bookmarks->append(mark);
        }
        folder->counter = BookmarksPerFolder;
        folders.append(folder);
    }
    QString error;
    if (!book.replaceWith(folders, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    bench::Program program(argc, argv);
    if (!program.isValid() || !program.writeQuietPrefs() || !writeArchive(program.dir()))
        return 1;
    MainFrame* frame = program.start(QString(), false);
    if (!frame)
        return 1;
    BrowserHost& host = frame->browserHost();
    for (int i = 0; i < HistoryPages; ++i)
        host.addToHistory(QStringLiteral("https://www.besucht%1.example/seite.html").arg(i),
                          QStringLiteral("Besuchte Seite %1").arg(i));
    SuggestionSource& source = *frame->suggestionSource();

    QElapsedTimer timer;
    timer.start();
    source.loadBookmarksNow();
    const double loadMs = bench::msSince(timer);
    std::printf("suggestions: archive of %d bookmarks read in %.1f ms (on a thread of its own "
                "while the user starts typing)\n",
                source.bookmarkCount(), loadMs);

    // Every key of these words: short prefixes match thousands.
    const QStringList words = {QStringLiteral("seite4711"), QStringLiteral("lesezeichen 42"),
                               QStringLiteral("besucht"),   QStringLiteral("thema/7"),
                               QStringLiteral("www.s"),     QStringLiteral("zzz")};
    QList<double> times;
    int rows = 0;
    for (int round = 0; round < 5; ++round) {
        for (const QString& word : words) {
            for (int n = 1; n <= word.size(); ++n) {
                timer.restart();
                rows += int(source.suggest(word.left(n)).size());
                times << timer.nsecsElapsed() / 1e6;
            }
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("suggestions: %lld keys over %d bookmarks and %d history pages: median %.2f ms, "
                "90th percentile %.2f ms, slowest %.2f ms (goal: within 5 ms of a key)\n",
                static_cast<long long>(times.size()), source.bookmarkCount(), HistoryPages,
                times.at(times.size() / 2), times.at(times.size() * 9 / 10), times.last());
    program.printTotalRun();
    return rows > 0 ? 0 : 1;
}
