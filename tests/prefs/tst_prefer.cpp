#include "FileHelpers.h"
#include "prefs/model/Prefer.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using TextMember = QString Prefer::*;
using IntMember = qint16 Prefer::*;
Q_DECLARE_METATYPE(TextMember)
Q_DECLARE_METATYPE(IntMember)

namespace {

constexpr int Size = 5686;

qint16 le16(const QByteArray& b, int off) {
    return qint16(quint8(b[off]) | (quint8(b[off + 1]) << 8));
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// Byte positions where a and b differ.
QList<int> differences(const QByteArray& a, const QByteArray& b) {
    QList<int> out;
    for (int i = 0; i < qMin(a.size(), b.size()); ++i) {
        if (a[i] != b[i])
            out << i;
    }
    return out;
}

QByteArray randomBytes(quint32 seed) {
    QByteArray data(1 << 20, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    for (char& c : data)
        c = char(rng.bounded(256));
    return data;
}

QByteArray customRecord(const QString& appDir) {
    Prefer p(appDir);
    p.HomeUrl = "https://example.org/";
    p.HistoryRows = 7;
    return p.toRecord();
}

} // namespace

class TestPrefer : public QObject {
    Q_OBJECT

private slots:
    void leftoverCopiesRemoved();
    void firstLoadWritesDefaults();
    void intLayout_data();
    void intLayout();
    void textLayout_data();
    void textLayout();
    void mailAccounts();
    void invalidFileReplaced_data();
    void invalidFileReplaced();
    void garbageWithMarkerLoads();
    void folderIsNeverOverwritten();
    void failedSaveKeepsFolder();
    void saveTightensPermissions();
    void roundTripThroughFile();
    void longerFileUsesFirstRecord();
};

void TestPrefer::firstLoadWritesDefaults() {
    QTemporaryDir dir;
    Prefer p(dir.path());
    p.HomeUrl = "vorher";
    QString error;
    QVERIFY2(p.load(&error), qPrintable(error));
    QCOMPARE(p.HomeUrl, Prefer::DefaultHomeUrl);
    const QString path = dir.filePath("Pref.kxp");
    QCOMPARE(p.filePath(), path);
    const QByteArray file = contentOf(path);
    QCOMPARE(file.size(), Size);
    QCOMPARE(modeOf(path), 0600);
    QCOMPARE(file.left(2), QByteArray("\xFF\xFF"));
    QCOMPARE(file.mid(14, 200), QByteArray("qrc:/korvix/start.html").leftJustified(200, ' '));
    QCOMPARE(file.mid(214, 200), QByteArray("https://duckduckgo.com/").leftJustified(200, ' '));
    QCOMPARE(file.mid(414, 200), QByteArray(200, ' '));
    QCOMPARE(file.mid(1846, 1024), QByteArray(1024, ' '));
}

void TestPrefer::intLayout_data() {
    QTest::addColumn<IntMember>("member");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("fresh"); // as the first load writes it
    QTest::newRow("StartBrowser") << &Prefer::StartBrowser << 2 << -1;
    QTest::newRow("HistoryRows") << &Prefer::HistoryRows << 4 << 50;
    QTest::newRow("MdiWidth") << &Prefer::MdiWidth << 6 << 9600;
    QTest::newRow("MdiHeight") << &Prefer::MdiHeight << 8 << 7200;
    QTest::newRow("MdiState") << &Prefer::MdiState << 10 << 0;
    QTest::newRow("StatusBar") << &Prefer::StatusBar << 12 << 1;
    QTest::newRow("Toolbar") << &Prefer::Toolbar << 614 << -1;
    QTest::newRow("Adresszeile") << &Prefer::Adresszeile << 616 << -1;
    QTest::newRow("TabStrip") << &Prefer::TabStrip << 618 << 0;
    QTest::newRow("LoadOption") << &Prefer::LoadOption << 620 << 1;
    QTest::newRow("EnableMailCheck1") << &Prefer::EnableMailCheck1 << 3570 << 0;
    QTest::newRow("EnableMailCheck2") << &Prefer::EnableMailCheck2 << 4272 << 0;
    QTest::newRow("EnableMailCheck3") << &Prefer::EnableMailCheck3 << 4974 << 0;
    QTest::newRow("EnableMailCheck4") << &Prefer::EnableMailCheck4 << 5676 << 0;
    QTest::newRow("CheckIntervall") << &Prefer::CheckIntervall << 5678 << 5;
    QTest::newRow("TabButton") << &Prefer::TabButton << 5680 << -1;
    QTest::newRow("TabFontBold") << &Prefer::TabFontBold << 5682 << 0;
    QTest::newRow("TabAlign") << &Prefer::TabAlign << 5684 << 1;
}

// Each value lands in its own two bytes and nowhere else, and reads back.
void TestPrefer::intLayout() {
    QFETCH(IntMember, member);
    QFETCH(int, offset);
    QFETCH(int, fresh);
    QTemporaryDir dir;
    Prefer p(dir.path());
    QString error;
    QVERIFY2(p.load(&error), qPrintable(error));
    QCOMPARE(int(le16(contentOf(p.filePath()), offset)), fresh);
    const QByteArray before = p.toRecord();
    const qint16 value = qint16(-1000 - offset); // unlike every default
    p.*member = value;
    const QByteArray after = p.toRecord();
    QCOMPARE(after.size(), Size);
    QCOMPARE(le16(after, offset), value);
    for (int i : differences(before, after))
        QVERIFY2(i == offset || i == offset + 1, qPrintable(QString::number(i)));
    Prefer q(dir.path());
    q.fromRecord(after);
    QCOMPARE(q.*member, value);
}

void TestPrefer::textLayout_data() {
    QTest::addColumn<TextMember>("member");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("trimmed");
    QTest::newRow("HomeUrl") << &Prefer::HomeUrl << 14 << 200 << true;
    QTest::newRow("SearchEngine") << &Prefer::SearchEngine << 214 << 200 << true;
    QTest::newRow("MailClient") << &Prefer::MailClient << 414 << 200 << true;
    QTest::newRow("Group") << &Prefer::Group << 622 << 200 << false;
    QTest::newRow("GroupFile") << &Prefer::GroupFile << 822 << 1024 << false;
    QTest::newRow("Layout") << &Prefer::Layout << 1846 << 1024 << false;
    const TextMember mail[4][3] = {
        {&Prefer::MailSrv1, &Prefer::User1, &Prefer::Pwd1},
        {&Prefer::MailSrv2, &Prefer::User2, &Prefer::Pwd2},
        {&Prefer::MailSrv3, &Prefer::User3, &Prefer::Pwd3},
        {&Prefer::MailSrv4, &Prefer::User4, &Prefer::Pwd4},
    };
    for (int i = 0; i < 4; ++i) {
        const int base = 2870 + i * 702;
        QTest::addRow("MailSrv%d", i + 1) << mail[i][0] << base << 250 << true;
        QTest::addRow("User%d", i + 1) << mail[i][1] << base + 250 << 250 << true;
        QTest::addRow("Pwd%d", i + 1) << mail[i][2] << base + 500 << 200 << true;
    }
}

// Each text fills exactly its field; blanks around it are dropped on reading
// except in the group and layout fields.
void TestPrefer::textLayout() {
    QFETCH(TextMember, member);
    QFETCH(int, offset);
    QFETCH(int, width);
    QFETCH(bool, trimmed);
    QTemporaryDir dir;
    Prefer p(dir.path());
    const QByteArray before = p.toRecord();
    const QString core = QStringLiteral("w%1ä").arg(offset);
    p.*member = "  " + core + "  ";
    const QByteArray after = p.toRecord();
    const QByteArray expected = ("  w" + QByteArray::number(offset) + "\xE4").leftJustified(width);
    QCOMPARE(after.mid(offset, width), expected);
    for (int i : differences(before, after))
        QVERIFY2(i >= offset && i < offset + width, qPrintable(QString::number(i)));
    Prefer q(dir.path());
    q.fromRecord(after);
    QCOMPARE(q.*member, trimmed ? core : ("  " + core).leftJustified(width, ' '));
}

void TestPrefer::mailAccounts() {
    QTemporaryDir dir;
    Prefer p(dir.path());
    for (int i = 1; i <= 4; ++i) {
        p.MailSrv(i) = p.User(i) = p.Pwd(i) = QString::number(i);
        p.EnableMailCheck(i) = qint16(-i);
    }
    const QStringList expected{"1", "2", "3", "4"};
    QCOMPARE(QStringList({p.MailSrv1, p.MailSrv2, p.MailSrv3, p.MailSrv4}), expected);
    QCOMPARE(QStringList({p.User1, p.User2, p.User3, p.User4}), expected);
    QCOMPARE(QStringList({p.Pwd1, p.Pwd2, p.Pwd3, p.Pwd4}), expected);
    QCOMPARE(QList<int>({p.EnableMailCheck1, p.EnableMailCheck2, p.EnableMailCheck3,
                         std::as_const(p).EnableMailCheck(4)}),
             QList<int>({-1, -2, -3, -4}));
}

void TestPrefer::invalidFileReplaced_data() {
    QTest::addColumn<QByteArray>("content");
    QTemporaryDir dir;
    const QByteArray good = customRecord(dir.path());
    QVERIFY(Prefer::isValidRecord(good));
    QByteArray noMarker = good;
    noMarker[0] = noMarker[1] = '\0';
    QByteArray noMailClient = good;
    noMailClient[414] = '\0';
    QByteArray garbage = randomBytes(4711);
    garbage[0] = '\0'; // no marker, whatever else the bytes say
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("10 bytes") << QByteArray(10, '\xFF');
    QTest::newRow("one byte short") << good.left(Size - 1);
    QTest::newRow("marker 00 00") << noMarker;
    QTest::newRow("mail client starts with 0") << noMailClient;
    QTest::newRow("1 MB random") << garbage;
}

void TestPrefer::invalidFileReplaced() {
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath("Pref.kxp");
    putFile(path, content);
    Prefer p(dir.path());
    p.HomeUrl = "vorher";
    p.HistoryRows = 3;
    QString error;
    QVERIFY2(p.load(&error), qPrintable(error));
    QCOMPARE(p.HomeUrl, Prefer::DefaultHomeUrl);
    QCOMPARE(p.HistoryRows, qint16(50));
    const QByteArray file = contentOf(path);
    QCOMPARE(file.size(), Size);
    QVERIFY(Prefer::isValidRecord(file));
    QCOMPARE(le16(file, 4), qint16(50));
    QCOMPARE(modeOf(path), 0600);
}

void TestPrefer::garbageWithMarkerLoads() {
    QTemporaryDir dir;
    QByteArray garbage = randomBytes(815);
    garbage[0] = garbage[1] = '\xFF';
    garbage[414] = 'x';
    putFile(dir.filePath("Pref.kxp"), garbage);
    Prefer p(dir.path());
    QString error;
    QVERIFY(p.load(&error));
    QVERIFY(p.MailClient.startsWith('x'));
    QCOMPARE(contentOf(p.filePath()), garbage);
}

void TestPrefer::folderIsNeverOverwritten() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Pref.kxp");
    QVERIFY(QDir(dir.path()).mkpath("Pref.kxp"));
    putFile(path + "/inhalt", "bleibt");
    Prefer p(dir.path());
    p.HomeUrl = "vorher";
    QString error;
    QVERIFY(!p.load(&error));
    QVERIFY2(error.contains(path), qPrintable(error));
    QCOMPARE(p.HomeUrl, Prefer::DefaultHomeUrl);
    error.clear();
    QVERIFY(!p.save(&error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(path).isDir());
    QCOMPARE(contentOf(path + "/inhalt"), QByteArray("bleibt"));
    // Refused because of the failed load, not only because a folder is there.
    QVERIFY(QDir(path).removeRecursively());
    QVERIFY(!p.save(&error));
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY2(p.load(&error), qPrintable(error));
    QVERIFY(QFileInfo(path).isFile());
}

void TestPrefer::failedSaveKeepsFolder() {
    QTemporaryDir dir;
    Prefer p(dir.path());
    QString error;
    QVERIFY(p.load(&error));
    QVERIFY(QFile::remove(p.filePath()));
    QVERIFY(QDir(dir.path()).mkpath("Pref.kxp"));
    putFile(p.filePath() + "/inhalt", "bleibt");
    QVERIFY(!p.save(&error));
    QVERIFY2(error.contains(p.filePath()), qPrintable(error));
    QCOMPARE(contentOf(p.filePath() + "/inhalt"), QByteArray("bleibt"));
}

void TestPrefer::saveTightensPermissions() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Pref.kxp");
    putFile(path, customRecord(dir.path()));
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    Prefer p(dir.path());
    QString error;
    QVERIFY(p.load(&error));
    QCOMPARE(p.HomeUrl, QStringLiteral("https://example.org/"));
    QVERIFY2(p.save(&error), qPrintable(error));
    QCOMPARE(modeOf(path), 0600);
}

void TestPrefer::roundTripThroughFile() {
    QTemporaryDir dir;
    Prefer p(dir.path());
    p.HomeUrl = QString(250, 'h');
    p.SearchEngine = QStringLiteral("https://bücher.de/?q=Größe");
    p.MailClient = QStringLiteral("Почта 邮件");
    p.Pwd1 = QStringLiteral("密码😀");
    p.Layout = QString(1100, 'L');
    p.Toolbar = 1;
    p.HistoryRows = -5;
    QString error;
    QVERIFY2(p.save(&error), qPrintable(error));
    QCOMPARE(quint8(contentOf(p.filePath()).at(214 + 9)), quint8(0xFC)); // ü
    Prefer q(dir.path());
    QVERIFY2(q.load(&error), qPrintable(error));
    QCOMPARE(q.HomeUrl, QString(200, 'h'));
    QCOMPARE(q.SearchEngine, p.SearchEngine);
    QCOMPARE(q.MailClient, p.MailClient);
    QCOMPARE(q.Pwd1, p.Pwd1);
    QCOMPARE(q.Layout, QString(1024, 'L'));
    QCOMPARE(q.Toolbar, qint16(1));
    QCOMPARE(q.HistoryRows, qint16(-5));
}

void TestPrefer::longerFileUsesFirstRecord() {
    QTemporaryDir dir;
    Prefer other(dir.path());
    other.HomeUrl = "https://zweiter.example/";
    const QByteArray content = customRecord(dir.path()) + other.toRecord() + "Rest";
    putFile(dir.filePath("Pref.kxp"), content);
    Prefer p(dir.path());
    QString error;
    QVERIFY2(p.load(&error), qPrintable(error));
    QCOMPARE(p.HomeUrl, QStringLiteral("https://example.org/"));
    QCOMPARE(p.HistoryRows, qint16(7));
    QCOMPARE(contentOf(p.filePath()), content);
}

void TestPrefer::leftoverCopiesRemoved() {
    QTemporaryDir dir;
    const QDir d(dir.path());
    // Left by a save that was cut short, and files that only look alike.
    const QStringList leftovers = {"Pref.kxp.aB3xYz", "Pref.kxp.000000"};
    const QStringList others = {"Pref.kxp.bak", "Pref.kxp.aB3xYz7", "xPref.kxp.aB3xYz"};
    for (const QString& name : leftovers + others) {
        QFile f(d.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("geheim");
    }
    Prefer p(dir.path());
    QString error;
    p.load(&error);
    for (const QString& name : leftovers)
        QVERIFY2(!QFileInfo::exists(d.filePath(name)), qPrintable(name));
    for (const QString& name : others)
        QVERIFY2(QFileInfo::exists(d.filePath(name)), qPrintable(name));
}

QTEST_GUILESS_MAIN(TestPrefer)
#include "tst_prefer.moc"
