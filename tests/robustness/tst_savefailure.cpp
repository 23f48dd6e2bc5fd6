// Saving onto a full disk or into a folder mounted read-only: every save
// reports the failure with a reason naming the file and leaves the files
// that were there byte for byte as they were.
//
// The test mounts small tmpfs file systems, so it runs as root (as CI does);
// elsewhere it is skipped.

#include "archive/model/Archive.h"
#include "frame/model/LayoutFile.h"
#include "prefs/model/Prefer.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace {

class Tmpfs {
public:
    // `kib` of room; false with the reason when mounting is not allowed.
    bool mount(int kib, QString* reason) {
        if (!m_dir.isValid()) {
            *reason = QStringLiteral("no temporary folder");
            return false;
        }
        const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0700";
        if (::mount("tmpfs", QFile::encodeName(path()).constData(), "tmpfs", 0,
                    options.constData()) != 0) {
            *reason = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        m_mounted = true;
        return true;
    }
    bool makeReadOnly() {
        return ::mount(nullptr, QFile::encodeName(path()).constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    ~Tmpfs() {
        if (m_mounted)
            ::umount2(QFile::encodeName(path()).constData(), MNT_DETACH);
    }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// Name and content of every file in the folder.
QHash<QString, QByteArray> filesIn(const QString& dir) {
    QHash<QString, QByteArray> files;
    for (const QString& name :
         QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
        QFile f(QDir(dir).filePath(name));
        files.insert(name, f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>"));
    }
    return files;
}

// Takes every free byte of the file system with one file.
bool fill(const QString& path) {
    QFile filler(path);
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    // A last partial page, if any room is left.
    while (filler.write("x", 1) == 1) {
    }
    return true;
}

QList<std::shared_ptr<Thema>> folders(int count, int bookmarks, const QString& stand) {
    QList<std::shared_ptr<Thema>> list;
    for (int f = 1; f <= count; ++f) {
        auto t = std::make_shared<Thema>();
        t->Nr = f;
        t->Sequenz = f;
        t->FileName = QStringLiteral("%1.bkm").arg(f);
        t->setDirName(QStringLiteral("Ordner %1 %2").arg(f).arg(stand));
        QList<Bookmark> marks;
        for (int i = 1; i <= bookmarks; ++i) {
            Bookmark b;
            b.Nr = qint16(i);
            b.Titel = QStringLiteral("%1 Seite %2").arg(stand).arg(i);
            b.Url = QStringLiteral("https://example.org/%1/%2/%3").arg(stand).arg(f).arg(i);
            marks.append(b);
        }
        t->bookmarks = marks;
        t->counter = qint16(bookmarks);
        list.append(t);
    }
    return list;
}

enum class What { Preferences, Archive, Layout, SmallLayout };

// Writes the old state into dir.
bool writeOld(What what, const QString& dir) {
    QString error;
    switch (what) {
    case What::Preferences: {
        Prefer p(dir);
        p.HomeUrl = QStringLiteral("https://alt.example.org/");
        p.MailClient = QStringLiteral("alt");
        return p.save(&error);
    }
    case What::Archive: {
        Book book(dir);
        book.folders = folders(3, 1, QStringLiteral("alt"));
        return book.save(&error);
    }
    case What::Layout:
    case What::SmallLayout: {
        QList<LayoutItem> items(2);
        items[0].url = QStringLiteral("https://alt.example.org/1");
        items[1].url = QStringLiteral("https://alt.example.org/2");
        return LayoutFile::save(dir + QStringLiteral("/Fenster.wlt"), items, &error);
    }
    }
    return false;
}

// Saves the new state the way the program does after a change; false with
// the reason on failure. `book` keeps the archive for a look at its flags.
bool saveNew(What what, const QString& dir, QString* error, Book* book = nullptr) {
    switch (what) {
    case What::Preferences: {
        Prefer p(dir);
        if (!p.load(error))
            return false;
        p.HomeUrl = QStringLiteral("https://neu.example.org/") + QString(150, QLatin1Char('n'));
        return p.save(error);
    }
    case What::Archive: {
        Book local(dir);
        Book& b = book ? *book : local;
        QString warning;
        if (b.load(error, &warning) != Book::LoadResult::Loaded)
            return false;
        // Every folder grows, and a new one comes in front.
        const QList<std::shared_ptr<Thema>> grown = folders(3, 4, QStringLiteral("neu"));
        for (int i = 0; i < 3; ++i) {
            b.folders->at(i)->bookmarks = grown[i]->bookmarks;
            b.folders->at(i)->changed = true;
        }
        auto extra = std::make_shared<Thema>();
        extra->FileName = QStringLiteral("4.bkm");
        extra->setDirName(QStringLiteral("Neuer Ordner"));
        extra->bookmarks = grown[0]->bookmarks;
        b.folders->prepend(extra);
        b.changed = true;
        return b.save(error);
    }
    case What::Layout:
    case What::SmallLayout: {
        // 40 windows take 20 KB, 10 windows 5 KB.
        QList<LayoutItem> items(what == What::Layout ? 40 : 10);
        for (int i = 0; i < items.size(); ++i)
            items[i].url = QStringLiteral("https://neu.example.org/%1").arg(i);
        return LayoutFile::save(dir + QStringLiteral("/Fenster.wlt"), items, error);
    }
    }
    return false;
}

} // namespace

class TestSaveFailure : public QObject {
    Q_OBJECT

private slots:
    void fullDisk_data();
    void fullDisk();
    void readOnlyFolder_data();
    void readOnlyFolder();
    void archiveRoomForOneFolder();
};

void TestSaveFailure::fullDisk_data() {
    QTest::addColumn<What>("what");
    QTest::addColumn<QString>("named"); // what the reason must name
    QTest::newRow("Pref.kxp") << What::Preferences << QStringLiteral("Pref.kxp");
    QTest::newRow("archive") << What::Archive << QStringLiteral(".bkm");
    QTest::newRow("layout file") << What::Layout << QStringLiteral("Fenster.wlt");
    QTest::newRow("small layout file") << What::SmallLayout << QStringLiteral("Fenster.wlt");
}

void TestSaveFailure::fullDisk() {
    QFETCH(What, what);
    QFETCH(QString, named);
    Tmpfs disk;
    QString reason;
    if (!disk.mount(64, &reason))
        QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs (needs root): ") + reason));
    const QString dir = disk.filePath(QStringLiteral("korvix"));
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(writeOld(what, dir));
    const QHash<QString, QByteArray> before = filesIn(dir);
    QVERIFY(fill(disk.filePath(QStringLiteral("filler"))));

    QString error;
    Book book(dir);
    // Known fault: a write under 16 KB stays in QSaveFile's buffer, fails
    // only when commit() flushes it, and Qt 6.4 commits the short file
    // anyway. Remove these once writeFileAtomic flushes and checks first.
    QVERIFY2(!saveNew(what, dir, &error, &book), "a save onto a full disk reported success");
    QVERIFY2(error.contains(named), qPrintable(error));
    QCOMPARE(filesIn(dir), before);
    if (what == What::Archive)
        QVERIFY2(book.anyChanged(), "the failed save cleared the change flags");

    // Once there is room again the same save goes through.
    QVERIFY(QFile::remove(disk.filePath(QStringLiteral("filler"))));
    error.clear();
    QVERIFY2(saveNew(what, dir, &error), qPrintable(error));
    QVERIFY(filesIn(dir) != before);
}

void TestSaveFailure::readOnlyFolder_data() {
    fullDisk_data();
}

void TestSaveFailure::readOnlyFolder() {
    QFETCH(What, what);
    QFETCH(QString, named);
    Tmpfs disk;
    QString reason;
    if (!disk.mount(256, &reason))
        QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs (needs root): ") + reason));
    QVERIFY(writeOld(what, disk.path()));
    const QHash<QString, QByteArray> before = filesIn(disk.path());
    if (!disk.makeReadOnly())
        QSKIP("cannot remount the tmpfs read-only");

    QString error;
    Book book(disk.path());
    QVERIFY2(!saveNew(what, disk.path(), &error, &book),
             "a save into a read-only folder reported success");
    QVERIFY2(error.contains(named), qPrintable(error));
    QCOMPARE(filesIn(disk.path()), before);
    if (what == What::Archive)
        QVERIFY2(book.anyChanged(), "the failed save cleared the change flags");
}

// Room for the first grown folder file but not for the second: the save
// fails, and no file of the archive may have changed.
void TestSaveFailure::archiveRoomForOneFolder() {
    Tmpfs disk;
    QString reason;
    if (!disk.mount(256, &reason))
        QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs (needs root): ") + reason));
    const QString dir = disk.filePath(QStringLiteral("korvix"));
    QVERIFY(QDir().mkpath(dir));
    // Folder files above 16 KB, so no write waits in a buffer: 16 bookmarks
    // take five pages, 20 take six.
    {
        Book book(dir);
        book.folders = folders(3, 16, QStringLiteral("alt"));
        QString error;
        QVERIFY2(book.save(&error), qPrintable(error));
    }
    const QHash<QString, QByteArray> before = filesIn(dir);
    QVERIFY(fill(disk.filePath(QStringLiteral("filler"))));
    // Six free pages: the first grown file fits, and replacing it gives back
    // only the five pages of the old one.
    {
        QFile filler(disk.filePath(QStringLiteral("filler")));
        QVERIFY(filler.resize(filler.size() - 6 * 4096));
    }

    Book book(dir);
    QString warning, error;
    QCOMPARE(book.load(&error, &warning), Book::LoadResult::Loaded);
    const QList<std::shared_ptr<Thema>> grown = folders(3, 20, QStringLiteral("neu"));
    for (int i = 0; i < 3; ++i) {
        book.folders->at(i)->bookmarks = grown[i]->bookmarks;
        book.folders->at(i)->changed = true;
    }
    QVERIFY2(!book.save(&error), "a save onto a full disk reported success");
    QVERIFY2(error.contains(QStringLiteral("2.bkm")), qPrintable(error));
    QCOMPARE(filesIn(dir), before);
}

QTEST_GUILESS_MAIN(TestSaveFailure)
#include "tst_savefailure.moc"
