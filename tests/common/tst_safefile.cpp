#include "FileHelpers.h"
#include "common/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

// Read with stat() so the check does not share Qt's permission mapping.
int modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

} // namespace

class TestSafeFile : public QObject {
    Q_OBJECT

private slots:
    void replacesContent();
    void permissions_data();
    void permissions();
    void failsInMissingFolder();
    void failsOnFolder();
    void failedWriteKeepsOldFile();
    void read_data();
    void read();
};

void TestSafeFile::replacesContent() {
    QTemporaryDir dir;
    const QString path = dir.filePath("daten.bin");
    QString error;
    QVERIFY(writeFileAtomic(path, "alter Inhalt, lang", &error));
    QVERIFY(writeFileAtomic(path, "neu", &error));
    QCOMPARE(contentOf(path), QByteArray("neu"));
    QCOMPARE(entries(dir.path()), QStringList{"daten.bin"});
}

void TestSafeFile::permissions_data() {
    QTest::addColumn<int>("oldMode"); // -1: no old file
    QTest::addColumn<QFileDevice::Permissions>("perms");
    QTest::addColumn<int>("expected");
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QTest::newRow("new file 0600") << -1 << ownerOnly << 0600;
    QTest::newRow("new file 0640") << -1 << (ownerOnly | QFileDevice::ReadGroup) << 0640;
    QTest::newRow("over 0666") << 0666 << ownerOnly << 0600;
    QTest::newRow("unset keeps old mode") << 0604 << QFileDevice::Permissions() << 0604;
}

void TestSafeFile::permissions() {
    QFETCH(int, oldMode);
    QFETCH(QFileDevice::Permissions, perms);
    QFETCH(int, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("Pref.kxp");
    if (oldMode >= 0) {
        putFile(path, "alt");
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(oldMode)), 0);
    }
    QString error;
    QVERIFY2(writeFileAtomic(path, "geheim", &error, perms), qPrintable(error));
    QCOMPARE(modeOf(path), expected);
    QCOMPARE(contentOf(path), QByteArray("geheim"));
}

void TestSafeFile::failsInMissingFolder() {
    QTemporaryDir dir;
    const QString path = dir.filePath("fehlt/daten.bin");
    QString error;
    QVERIFY(!writeFileAtomic(path, "x", &error));
    QVERIFY2(error.contains(path), qPrintable(error));
    QVERIFY(error.contains("konnte nicht geschrieben werden"));
    QVERIFY(entries(dir.path()).isEmpty());
}

void TestSafeFile::failsOnFolder() {
    QTemporaryDir dir;
    const QString path = dir.filePath("ziel");
    QVERIFY(QDir(dir.path()).mkdir("ziel"));
    putFile(path + "/inhalt.txt", "bleibt");
    QString error;
    QVERIFY(!writeFileAtomic(path, "x", &error, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QVERIFY2(error.contains(path), qPrintable(error));
    QVERIFY(QFileInfo(path).isDir());
    QCOMPARE(contentOf(path + "/inhalt.txt"), QByteArray("bleibt"));
    QCOMPARE(entries(dir.path()), QStringList{"ziel"});
}

// The temporary file needs a longer name than the target; at the file
// system's name limit it cannot be created even as root.
void TestSafeFile::failedWriteKeepsOldFile() {
    QTemporaryDir dir;
    const QString name(250, QLatin1Char('n'));
    const QString path = dir.filePath(name);
    putFile(path, "alter Inhalt");
    QString error;
    QVERIFY(!writeFileAtomic(path, "neuer Inhalt", &error));
    QVERIFY(error.contains(name));
    QCOMPARE(contentOf(path), QByteArray("alter Inhalt"));
    QCOMPARE(entries(dir.path()), QStringList{name});
}

void TestSafeFile::read_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<ReadStatus>("status");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("missing") << "fehlt.bin" << qint64(-1) << ReadStatus::NotFound << QByteArray();
    QTest::newRow("folder") << "ordner" << qint64(-1) << ReadStatus::Failed << QByteArray();
    QTest::newRow("whole") << "datei.bin" << qint64(-1) << ReadStatus::Ok
                           << QByteArray("Hallo Welt");
    QTest::newRow("limited") << "datei.bin" << qint64(5) << ReadStatus::Ok << QByteArray("Hallo");
    QTest::newRow("zero") << "datei.bin" << qint64(0) << ReadStatus::Ok << QByteArray();
    QTest::newRow("limit beyond end")
        << "datei.bin" << qint64(100) << ReadStatus::Ok << QByteArray("Hallo Welt");
}

void TestSafeFile::read() {
    QFETCH(QString, name);
    QFETCH(qint64, maxBytes);
    QFETCH(ReadStatus, status);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    putFile(dir.filePath("datei.bin"), "Hallo Welt");
    QVERIFY(QDir(dir.path()).mkdir("ordner"));
    const QString path = dir.filePath(name);
    QByteArray out("vorher");
    QString error;
    QCOMPARE(readWholeFile(path, &out, &error, maxBytes), status);
    QCOMPARE(out, expected);
    if (status == ReadStatus::Failed)
        QVERIFY2(error.contains(path) && error.contains("nicht gelesen"), qPrintable(error));
    else
        QVERIFY(error.isEmpty());
}

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
