// The archive as the program finds it in its folder: Book.bkm and up to three
// folder files with any content. Layout of the input: one byte with the
// number of folder files, then each as a 16-bit length and its bytes, then
// the index.

#include "FuzzCheck.h"
#include "archive/model/Archive.h"
#include "archive/model/ArchiveRecords.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

namespace {

QTemporaryDir* scratch = nullptr;
QString appDir;

QString root() {
    return scratch->path();
}

void put(const QString& path, const QByteArray& data) {
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
}

QStringList listing(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

struct Snapshot {
    QString dirName, fileName;
    qint32 sequenz;
    bool hasBookmarks;
    QList<QStringList> bookmarks;
    bool operator==(const Snapshot& o) const {
        return dirName == o.dirName && fileName == o.fileName && sequenz == o.sequenz &&
               hasBookmarks == o.hasBookmarks && bookmarks == o.bookmarks;
    }
};

QList<Snapshot> snapshot(const Book& book) {
    QList<Snapshot> out;
    for (const std::shared_ptr<Thema>& t : book.folders.value_or(QList<std::shared_ptr<Thema>>())) {
        Snapshot s{t->DirName(), t->FileName, t->Sequenz, bool(t->bookmarks), {}};
        for (const Bookmark& b : t->bookmarks.value_or(QList<Bookmark>())) {
            s.bookmarks.append({b.Titel, b.Url, b.Info, QString::number(b.Adresszeile),
                                QString::number(b.Toolbar)});
        }
        out.append(s);
    }
    return out;
}

QString describe(const Snapshot& s) {
    QStringList parts{
        QStringLiteral("'%1' in '%2' (%3)").arg(s.dirName, s.fileName, QString::number(s.sequenz))};
    if (!s.hasBookmarks)
        parts.append(QStringLiteral("no bookmarks"));
    for (const QStringList& b : s.bookmarks)
        parts.append(b.join(QLatin1Char('|')));
    return parts.join(QLatin1Char(' '));
}

QString describe(const Snapshot& was, const Snapshot& is) {
    return describe(was) + QStringLiteral(" became ") + describe(is);
}

template <typename Number> bool numberedOneToN(const QList<Number>& numbers) {
    QSet<qint64> seen;
    for (const Number n : numbers) {
        if (n < 1 || n > numbers.size() || seen.contains(n))
            return false;
        seen.insert(n);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Shared memory keeps the many small writes off the disk.
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    scratch = new QTemporaryDir(base + QStringLiteral("/korvix-fuzz-archive-XXXXXX"));
    appDir = scratch->filePath(QStringLiteral("app"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QDir(appDir).removeRecursively();
    QDir().mkpath(appDir);
    // A file beside the program folder that no folder name may reach.
    put(root() + QStringLiteral("/outside.bkm"), QByteArray(BookmarkRecord::Size, 'x'));

    FuzzInput in(data, size);
    const int files = in.byte() % 4;
    for (int k = 1; k <= files; ++k) {
        const QByteArray content = in.take(in.u16() % 8192);
        put(appDir + QStringLiteral("/%1.bkm").arg(k), content);
    }
    const QByteArray index = in.rest();
    put(appDir + QStringLiteral("/Book.bkm"), index);

    Book book(appDir);
    QString error, warning;
    const Book::LoadResult result = book.load(&error, &warning);
    const qsizetype records = index.size() / ThemaRecord::Size;
    FUZZ_CHECK2(result != Book::LoadResult::Failed, error);
    FUZZ_CHECK(result == (records > 0 ? Book::LoadResult::Loaded : Book::LoadResult::Empty));
    if (result != Book::LoadResult::Loaded)
        return 0;
    FUZZ_CHECK(book.folders && book.folders->size() == records);

    QList<qint32> folderNumbers;
    for (const std::shared_ptr<Thema>& t : *book.folders) {
        folderNumbers.append(t->Nr);
        FUZZ_CHECK(!t->changed);
        // New folders must never get a number already in use.
        FUZZ_CHECK(book.maxSequenz >= t->Sequenz && book.maxSequenz >= t->Nr);
        if (!t->bookmarks)
            continue;
        QList<qint16> numbers;
        for (const Bookmark& b : *t->bookmarks)
            numbers.append(b.Nr);
        FUZZ_CHECK(numberedOneToN(numbers));
        FUZZ_CHECK(t->counter >= numbers.size());
    }
    FUZZ_CHECK(numberedOneToN(folderNumbers));

    // Saved unchanged, the archive reads back as it was. A folder whose file
    // is the index itself reads whatever the index holds, so it is left out.
    const QList<Snapshot> before = snapshot(book);
    FUZZ_CHECK2(book.save(&error), error);
    Book again(appDir);
    FUZZ_CHECK(again.load(&error, &warning) == Book::LoadResult::Loaded);
    const QList<Snapshot> unchanged = snapshot(again);
    FUZZ_CHECK(unchanged.size() == before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (before[i].fileName != QLatin1String("Book.bkm"))
            FUZZ_CHECK2(unchanged[i] == before[i], describe(before[i], unchanged[i]));
    }

    // Saved with every readable folder changed, too. Folders sharing a file,
    // and a folder whose file is the index itself, cannot both keep their
    // content, so those are left out.
    QHash<QString, int> uses;
    for (const std::shared_ptr<Thema>& t : *again.folders)
        ++uses[t->FileName];
    for (const std::shared_ptr<Thema>& t : *again.folders) {
        if (!t->readFailed && uses.value(t->FileName) == 1 &&
            t->FileName != QLatin1String("Book.bkm"))
            t->changed = true;
    }
    FUZZ_CHECK2(again.save(&error), error);
    Book third(appDir);
    FUZZ_CHECK(third.load(&error, &warning) == Book::LoadResult::Loaded);
    const QList<Snapshot> after = snapshot(third);
    FUZZ_CHECK(after.size() == before.size());
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (uses.value(before[i].fileName) == 1 && before[i].fileName != QLatin1String("Book.bkm"))
            FUZZ_CHECK2(after[i] == before[i], describe(before[i], after[i]));
    }

    // Whatever the index says, nothing outside the program folder changed.
    FUZZ_CHECK(listing(root()) ==
               (QStringList{QStringLiteral("app"), QStringLiteral("outside.bkm")}));
    QFile outside(root() + QStringLiteral("/outside.bkm"));
    FUZZ_CHECK(outside.open(QIODevice::ReadOnly) &&
               outside.readAll() == QByteArray(BookmarkRecord::Size, 'x'));
    return 0;
}
