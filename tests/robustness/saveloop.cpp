// Child process of tst_killsave: saves content A and B in turn, as fast as it
// can, until it is killed or has saved `count` times.
//
//   korvix_saveloop archive-fresh|archive-inplace|pref|layout <dir> <A|B> [count]
//
// Prints "ready" before the first save and "saved A" / "saved B" after each.

#include "SaveContents.h"

#include <cstdio>
#include <cstring>

namespace {

int fail(const QString& reason) {
    std::fprintf(stderr, "%s\n", reason.toLocal8Bit().constData());
    return 3;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr,
                     "usage: %s archive-fresh|archive-inplace|pref|layout <dir> <A|B> "
                     "[count]\n",
                     argv[0]);
        return 2;
    }
    const QByteArray mode = argv[1];
    const QString dir = QString::fromLocal8Bit(argv[2]);
    bool b = std::strcmp(argv[3], "B") == 0;
    const long count = argc == 5 ? std::atol(argv[4]) : -1;

    using SaveContents::Names;
    const bool isArchive = mode.startsWith("archive-");
    const Names names = mode == "archive-inplace" ? Names::InPlace : Names::Fresh;
    Book book[2] = {Book(dir), Book(dir)};
    Prefer pref[2] = {Prefer(dir), Prefer(dir)};
    QList<LayoutItem> layout[2];
    for (int k = 0; k < 2; ++k) {
        if (isArchive) {
            book[k].folders = SaveContents::archive(k == 1, names);
            book[k].maxSequenz = SaveContents::Folders;
            book[k].changed = true;
        } else if (mode == "pref") {
            SaveContents::fillPrefer(pref[k], k == 1);
        } else if (mode == "layout") {
            layout[k] = SaveContents::layout(k == 1);
        } else {
            return fail(QStringLiteral("unknown mode ") + QString::fromLatin1(mode));
        }
    }
    const QString layoutFile = dir + QStringLiteral("/Fenster.wlt");

    std::printf("ready\n");
    std::fflush(stdout);
    for (long n = 0; count < 0 || n < count; ++n) {
        QString error;
        bool ok = false;
        if (isArchive) {
            // Every save rewrites every folder, as after a change to each.
            for (const std::shared_ptr<Thema>& t : *book[b].folders)
                t->changed = true;
            book[b].changed = true;
            ok = book[b].save(&error);
        } else if (mode == "pref") {
            ok = pref[b].save(&error);
        } else {
            ok = LayoutFile::save(layoutFile, layout[b], &error);
        }
        if (!ok)
            return fail(error);
        std::printf("saved %c\n", b ? 'B' : 'A');
        std::fflush(stdout);
        b = !b;
    }
    return 0;
}
