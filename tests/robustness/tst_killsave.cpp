// Korvix killed while saving: a child process (korvix_saveloop) writes the
// archive, the preferences or a layout file in a loop, alternating two
// contents, and is killed with SIGKILL at a random moment. Whatever the
// moment, what is on disk afterwards must be one whole content.

#include "FileHelpers.h"
#include "SaveContents.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <functional>
#include <signal.h>

#ifndef KORVIX_SAVELOOP
#error "KORVIX_SAVELOOP must name the korvix_saveloop executable"
#endif

namespace {

using SaveContents::Names;

int killCount() {
    const int n = qEnvironmentVariableIntValue("KORVIX_KILLS");
    return n > 0 ? n : 200;
}

QString base() {
    // A process kill leaves the page cache alone, so memory-backed files
    // show the same outcome as a disk, only faster.
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
}

// Files of an interrupted save that the program never reads; counted and
// removed so the runs do not fill the folder.
int removeStrayFiles(const QString& dir, const QStringList& known) {
    int stray = 0;
    const QStringList entries =
        QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : entries) {
        if (!known.contains(name)) {
            QFile::remove(QDir(dir).filePath(name));
            ++stray;
        }
    }
    return stray;
}

// The files of one whole archive content, as Book::save writes them.
QHash<QString, QByteArray> archiveFiles(bool b, Names names) {
    QTemporaryDir dir;
    Book book(dir.path());
    book.folders = SaveContents::archive(b, names);
    QString error;
    if (!book.save(&error))
        qFatal("cannot write the reference archive: %s", qPrintable(error));
    QHash<QString, QByteArray> files;
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files))
        files.insert(name, contentOf(dir.filePath(name)));
    return files;
}

// Loads the archive as the program does; empty when it loads whole, with
// every folder and every bookmark.
QString loadsWhole(const QString& dir) {
    Book book(dir);
    QString error, warning;
    if (book.load(&error, &warning) != Book::LoadResult::Loaded)
        return QStringLiteral("the archive does not load: ") + error;
    if (!warning.isEmpty())
        return QStringLiteral("the archive loads with a warning: ") + warning;
    if (book.folders->size() != SaveContents::Folders)
        return QStringLiteral("the archive has %1 folders").arg(book.folders->size());
    for (const std::shared_ptr<Thema>& t : *book.folders) {
        if (!t->bookmarks || t->bookmarks->size() != SaveContents::BookmarksPerFolder)
            return QStringLiteral("folder '%1' has %2 bookmarks")
                .arg(t->DirName())
                .arg(t->bookmarks ? t->bookmarks->size() : 0);
    }
    return {};
}

// What a kill left: 'A' or 'B'; otherwise null with the reason in `problem`,
// starting with "mix:" when every file is whole but they belong to both.
using Verdict = std::function<QChar(QString* problem)>;

class Child {
public:
    Child(const QString& mode, const QString& dir) : m_mode(mode), m_dir(dir) {}

    // Starts the child saving (first content `startB`), kills it after
    // `delayUs` and tells how many whole saves it reported.
    bool killAfter(bool startB, qint64 delayUs, int* saves, QString* problem) {
        QProcess child;
        child.start(QStringLiteral(KORVIX_SAVELOOP),
                    {m_mode, m_dir, startB ? QStringLiteral("B") : QStringLiteral("A")});
        if (!child.waitForStarted(30000)) {
            *problem = QStringLiteral("cannot start ") + QStringLiteral(KORVIX_SAVELOOP);
            return false;
        }
        QByteArray output;
        while (!output.contains("ready\n")) {
            if (!child.waitForReadyRead(30000)) {
                *problem = QStringLiteral("the child never got ready: ") +
                           QString::fromLocal8Bit(child.readAllStandardError());
                return false;
            }
            output += child.readAllStandardOutput();
        }
        QThread::usleep(quint64(delayUs));
        ::kill(pid_t(child.processId()), SIGKILL);
        if (!child.waitForFinished(30000)) {
            *problem = QStringLiteral("the child did not end after SIGKILL");
            return false;
        }
        if (child.exitStatus() != QProcess::CrashExit) {
            *problem = QStringLiteral("the child stopped by itself before the kill: ") +
                       QString::fromLocal8Bit(child.readAllStandardError());
            return false;
        }
        *saves = int((output + child.readAllStandardOutput()).count("saved"));
        return true;
    }

    // The time one save takes, from an undisturbed stretch of saving. The
    // stretch grows until it holds a few saves: under a sanitizer or on a
    // loaded machine one save can take far longer than usual.
    bool timePerSave(qint64* us, QString* problem) {
        int saves = 0;
        for (qint64 windowUs = 400000; windowUs <= 12800000; windowUs *= 2) {
            if (!killAfter(true, windowUs, &saves, problem))
                return false;
            if (saves >= 4) {
                *us = windowUs / saves;
                return true;
            }
        }
        *problem = QStringLiteral("the child saved only %1 times in 12.8 s").arg(saves);
        return false;
    }

private:
    QString m_mode;
    QString m_dir;
};

struct Scenario {
    QString mode;
    QString dir;
    QStringList known;            // file names a save leaves
    std::function<bool()> writeA; // puts content A on disk
    Verdict verdict;
    int kills = killCount();
};

struct Stats {
    int kills = 0;
    int sawA = 0;
    int sawB = 0;
    int mixes = 0;
    int saves = 0;
    int strayFiles = 0;
};

} // namespace

class TestKillSave : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void archive();
    void archiveFoldersInPlace();
    void preferences();
    void layoutFile();

private:
    void killLoop(const Scenario& s, Stats* stats);

    QRandomGenerator m_random;
};

void TestKillSave::initTestCase() {
    QVERIFY2(QFileInfo(QStringLiteral(KORVIX_SAVELOOP)).isExecutable(), KORVIX_SAVELOOP);
    quint32 seed = quint32(qEnvironmentVariableIntValue("KORVIX_KILL_SEED"));
    if (seed == 0)
        seed = QRandomGenerator::system()->generate();
    qInfo("random seed %u (set KORVIX_KILL_SEED to repeat)", seed);
    m_random.seed(seed);
}

void TestKillSave::killLoop(const Scenario& s, Stats* stats) {
    Child child(s.mode, s.dir);
    qint64 usPerSave = 0;
    QString problem;
    QVERIFY2(child.timePerSave(&usPerSave, &problem), qPrintable(problem));
    QVERIFY(s.writeA());
    removeStrayFiles(s.dir, s.known);
    QChar onDisk = s.verdict(&problem);
    QVERIFY2(onDisk == QLatin1Char('A'), qPrintable(problem));

    for (int k = 0; k < s.kills; ++k) {
        // Within three saves' time (but at least a few milliseconds, as the
        // first save of a process is slower): the kill falls anywhere in a
        // save, between two, or before the first.
        const qint64 delay = qint64(m_random.bounded(quint32(qMax<qint64>(3 * usPerSave, 3000))));
        int saves = 0;
        QVERIFY2(child.killAfter(onDisk == QLatin1Char('A'), delay, &saves, &problem),
                 qPrintable(problem));
        ++stats->kills;
        stats->saves += saves;
        // The load in the verdict runs first: it finishes a save that was
        // cut short after it became final, so what it needs must still be
        // there.
        const QChar found = s.verdict(&problem);
        stats->strayFiles += removeStrayFiles(s.dir, s.known);
        if (found.isNull() && problem.startsWith(QLatin1String("mix:"))) {
            ++stats->mixes;
            // Start the next run from one whole content again.
            QVERIFY(s.writeA());
            onDisk = QLatin1Char('A');
            continue;
        }
        QVERIFY2(!found.isNull(), qPrintable(QStringLiteral("after kill %1 (%2 us, %3 saves): %4")
                                                 .arg(k + 1)
                                                 .arg(delay)
                                                 .arg(saves)
                                                 .arg(problem)));
        onDisk = found;
        ++(found == QLatin1Char('A') ? stats->sawA : stats->sawB);
    }
    qInfo("%s: %d kills, %lld us per save, %d saves completed; afterwards content A %d times, "
          "B %d times, a mix %d times; %d files of interrupted saves left",
          qPrintable(s.mode), stats->kills, usPerSave, stats->saves, stats->sawA, stats->sawB,
          stats->mixes, stats->strayFiles);
    // Both contents must have been found, or the kills never met a save.
    QVERIFY2(stats->sawA > 0 && stats->sawB > 0, "the child never replaced the content");
}

// Each save writes the folders into files of their own and the index after
// them, so the index names either the old set of files or the new one.
void TestKillSave::archive() {
    QTemporaryDir dir(base() + QStringLiteral("/korvix-kill-XXXXXX"));
    QVERIFY(dir.isValid());
    const QHash<QString, QByteArray> files[2] = {archiveFiles(false, Names::Fresh),
                                                 archiveFiles(true, Names::Fresh)};
    Scenario s;
    s.mode = QStringLiteral("archive-fresh");
    s.dir = dir.path();
    s.known = files[0].keys() + files[1].keys();
    s.known.removeDuplicates();
    s.writeA = [&] {
        Book book(dir.path());
        book.folders = SaveContents::archive(false, Names::Fresh);
        QString error;
        return book.save(&error);
    };
    s.verdict = [&](QString* problem) -> QChar {
        *problem = loadsWhole(dir.path());
        if (!problem->isEmpty())
            return {};
        const QByteArray index = contentOf(dir.filePath(QStringLiteral("Book.bkm")));
        for (int b = 0; b < 2; ++b) {
            if (index != files[b].value(QStringLiteral("Book.bkm")))
                continue;
            for (auto it = files[b].cbegin(); it != files[b].cend(); ++it) {
                if (contentOf(dir.filePath(it.key())) != it.value()) {
                    *problem = QStringLiteral("the index is content %1, but %2 is not")
                                   .arg(SaveContents::letter(b == 1))
                                   .arg(it.key());
                    return {};
                }
            }
            return SaveContents::letter(b == 1);
        }
        *problem = QStringLiteral("Book.bkm is neither content");
        return {};
    };
    Stats stats;
    killLoop(s, &stats);
    QCOMPARE(stats.mixes, 0);
}

// Each folder keeps its file ("3.bkm") from save to save, so a save that
// changes several folders replaces several files; a kill between two of
// them must still leave the whole old or the whole new archive once the
// next load has run.
void TestKillSave::archiveFoldersInPlace() {
    QTemporaryDir dir(base() + QStringLiteral("/korvix-kill-XXXXXX"));
    QVERIFY(dir.isValid());
    const QHash<QString, QByteArray> files[2] = {archiveFiles(false, Names::InPlace),
                                                 archiveFiles(true, Names::InPlace)};
    QStringList names = files[0].keys();
    names.removeOne(QStringLiteral("Book.bkm"));
    names.sort();
    names.prepend(QStringLiteral("Book.bkm"));
    Scenario s;
    s.mode = QStringLiteral("archive-inplace");
    s.dir = dir.path();
    s.known = names;
    // Enough kills to meet the gaps between folder files many times over.
    s.kills = qMax(20, killCount() / 4);
    s.writeA = [&] {
        Book book(dir.path());
        book.folders = SaveContents::archive(false, Names::InPlace);
        QString error;
        return book.save(&error);
    };
    s.verdict = [&](QString* problem) -> QChar {
        *problem = loadsWhole(dir.path());
        if (!problem->isEmpty())
            return {};
        QString letters;
        for (const QString& name : names) {
            const QByteArray data = contentOf(dir.filePath(name));
            if (data == files[0].value(name)) {
                letters += QLatin1Char('A');
            } else if (data == files[1].value(name)) {
                letters += QLatin1Char('B');
            } else {
                *problem = name + QStringLiteral(" is neither content");
                return {};
            }
        }
        if (letters.count(letters.front()) != letters.size()) {
            *problem = QStringLiteral("mix: %1 hold %2").arg(names.join(QLatin1Char(' ')), letters);
            return {};
        }
        return letters.front();
    };
    Stats stats;
    killLoop(s, &stats);
    QCOMPARE(stats.mixes, 0);
}

void TestKillSave::preferences() {
    QTemporaryDir dir(base() + QStringLiteral("/korvix-kill-XXXXXX"));
    QVERIFY(dir.isValid());
    Prefer content[2] = {Prefer(dir.path()), Prefer(dir.path())};
    SaveContents::fillPrefer(content[0], false);
    SaveContents::fillPrefer(content[1], true);
    const QByteArray record[2] = {content[0].toRecord(), content[1].toRecord()};
    QVERIFY(record[0] != record[1]);
    const QString path = content[0].filePath();

    Scenario s;
    s.mode = QStringLiteral("pref");
    s.dir = dir.path();
    s.known = QStringList{QStringLiteral("Pref.kxp")};
    s.writeA = [&] {
        QString error;
        return content[0].save(&error);
    };
    s.verdict = [&](QString* problem) -> QChar {
        const QByteArray bytes = contentOf(path);
        const int which = bytes == record[0] ? 0 : bytes == record[1] ? 1 : -1;
        if (which < 0) {
            *problem =
                QStringLiteral("Pref.kxp holds %1 bytes of neither content").arg(bytes.size());
            return {};
        }
        // It holds mail passwords.
        if (QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
            *problem = QStringLiteral("Pref.kxp is readable by others");
            return {};
        }
        Prefer loaded(dir.path());
        QString error;
        if (!loaded.load(&error) || loaded.toRecord() != record[which]) {
            *problem = QStringLiteral("Pref.kxp does not load as saved: ") + error;
            return {};
        }
        return SaveContents::letter(which == 1);
    };
    Stats stats;
    killLoop(s, &stats);
}

void TestKillSave::layoutFile() {
    QTemporaryDir dir(base() + QStringLiteral("/korvix-kill-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Fenster.wlt"));
    const QList<LayoutItem> items[2] = {SaveContents::layout(false), SaveContents::layout(true)};
    const QByteArray bytes[2] = {LayoutFile::encode(items[0]), LayoutFile::encode(items[1])};

    Scenario s;
    s.mode = QStringLiteral("layout");
    s.dir = dir.path();
    s.known = QStringList{QStringLiteral("Fenster.wlt")};
    s.writeA = [&] {
        QString error;
        return LayoutFile::save(path, items[0], &error);
    };
    s.verdict = [&](QString* problem) -> QChar {
        const QByteArray data = contentOf(path);
        const int which = data == bytes[0] ? 0 : data == bytes[1] ? 1 : -1;
        if (which < 0) {
            *problem = QStringLiteral("the layout file holds %1 bytes of neither content")
                           .arg(data.size());
            return {};
        }
        QList<LayoutRecord> records;
        QString error;
        if (LayoutFile::load(path, &records, &error) != LayoutFile::LoadStatus::Ok ||
            records.size() != items[which].size() ||
            records.last().url != items[which].last().url) {
            *problem = QStringLiteral("the layout file does not load as saved: ") + error;
            return {};
        }
        return SaveContents::letter(which == 1);
    };
    Stats stats;
    killLoop(s, &stats);
}

QTEST_GUILESS_MAIN(TestKillSave)
#include "tst_killsave.moc"
