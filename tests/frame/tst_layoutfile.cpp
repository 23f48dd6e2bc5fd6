#include "FileHelpers.h"
#include "frame/model/LayoutFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <limits>

namespace {

constexpr int RecSize = 516;

// Reads the stored integer directly so expectations do not go through the
// record code under test.
qint16 int16In(const QByteArray& data, int offset) {
    return qFromLittleEndian<qint16>(data.constData() + offset);
}

LayoutItem item(double left, double top, double width, double height, const QString& url,
                bool toolbar = true, bool adress = true, qint16 state = 0) {
    LayoutItem i;
    i.left = left;
    i.top = top;
    i.width = width;
    i.height = height;
    i.url = url;
    i.toolbar = toolbar;
    i.adress = adress;
    i.state = state;
    return i;
}

} // namespace

class TestLayoutFile : public QObject {
    Q_OBJECT

private slots:
    void threeWindowsByteLayout();
    void noWindowsEmptyFile();
    void longAddressCut();
    void positions_data();
    void positions();
    void flagsRoundTrip_data();
    void flagsRoundTrip();
    void decodeWholeRecordsOnly_data();
    void decodeWholeRecordsOnly();
    void decodeRandomBytes();
    void loadMissingCreatesTrimmedName();
    void loadExisting();
    void loadFolderFails();
    void loadInMissingFolderFails();
    void saveInMissingFolderFails();
    void failedSaveKeepsOldFile();
    void saveReplacesWhole();
    void addressOutsideCodePage();
};

void TestLayoutFile::threeWindowsByteLayout() {
    const QList<LayoutItem> items = {
        item(15, 30, 4500, 3000, "https://www.tagesschau.de/", true, false, 0),
        item(-150, 600, 7200, 5400, "http://example.org/a?b=c", false, true, 1),
        item(1440, -30, 9000, 6000, "file:///home/anna/start.html", false, false, 2),
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("Fenster.wlt");
    QString error;
    QVERIFY2(LayoutFile::save(path, items, &error), qPrintable(error));
    const QByteArray data = contentOf(path);
    QCOMPARE(data.size(), 1548);

    struct Expected {
        qint16 left, top, width, height;
        QByteArray url;
        qint16 toolbar, adress, state;
    };
    const Expected expected[] = {
        {15, 30, 4500, 3000, "https://www.tagesschau.de/", -1, 0, 0},
        {-150, 600, 7200, 5400, "http://example.org/a?b=c", 0, -1, 1},
        {1440, -30, 9000, 6000, "file:///home/anna/start.html", 0, 0, 2},
    };
    for (int k = 0; k < 3; ++k) {
        const int base = k * RecSize;
        const Expected& e = expected[k];
        QCOMPARE(int16In(data, base + 0), qint16(k + 1));
        QCOMPARE(int16In(data, base + 2), e.left);
        QCOMPARE(int16In(data, base + 4), e.top);
        QCOMPARE(int16In(data, base + 6), e.width);
        QCOMPARE(int16In(data, base + 8), e.height);
        QCOMPARE(data.mid(base + 10, 500), e.url.leftJustified(500, ' '));
        QCOMPARE(int16In(data, base + 510), e.toolbar);
        QCOMPARE(int16In(data, base + 512), e.adress);
        QCOMPARE(int16In(data, base + 514), e.state);
    }

    const QList<LayoutRecord> back = LayoutFile::decode(data);
    QCOMPARE(back.size(), 3);
    for (int k = 0; k < 3; ++k) {
        const Expected& e = expected[k];
        QCOMPARE(back[k].seq, qint16(k + 1));
        QCOMPARE(back[k].left, e.left);
        QCOMPARE(back[k].top, e.top);
        QCOMPARE(back[k].width, e.width);
        QCOMPARE(back[k].height, e.height);
        QCOMPARE(back[k].url, QString::fromLatin1(e.url));
        QCOMPARE(back[k].toolbar, e.toolbar);
        QCOMPARE(back[k].adress, e.adress);
        QCOMPARE(back[k].state, e.state);
    }
}

void TestLayoutFile::noWindowsEmptyFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("leer.wlt");
    QString error;
    QVERIFY2(LayoutFile::save(path, {}, &error), qPrintable(error));
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(QFileInfo(path).size(), qint64(0));
    QList<LayoutRecord> records{LayoutRecord()};
    QCOMPARE(LayoutFile::load(path, &records, &error), LayoutFile::LoadStatus::Ok);
    QVERIFY(records.isEmpty());
}

void TestLayoutFile::longAddressCut() {
    QString url = "https://example.org/";
    while (url.size() < 600)
        url += QString::number(url.size() % 10);
    QCOMPARE(url.size(), 600);
    const QByteArray data = LayoutFile::encode({item(0, 0, 100, 100, url, true, false, 2)});
    QCOMPARE(data.size(), RecSize);
    QCOMPARE(data.mid(10, 500), url.left(500).toLatin1());
    // The cut must not spill into the fields behind the address.
    QCOMPARE(int16In(data, 510), qint16(-1));
    QCOMPARE(int16In(data, 512), qint16(0));
    QCOMPARE(int16In(data, 514), qint16(2));
    const QList<LayoutRecord> back = LayoutFile::decode(data);
    QCOMPARE(back.size(), 1);
    QCOMPARE(back[0].url, url.left(500));
}

void TestLayoutFile::positions_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<qint16>("stored");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("whole") << 1440.0 << qint16(1440);
    QTest::newRow("below half") << 7.2 << qint16(7);
    QTest::newRow("above half") << 7.7 << qint16(8);
    QTest::newRow("just below half") << 2.4999 << qint16(2);
    QTest::newRow("just above half") << 2.5001 << qint16(3);
    QTest::newRow("0.5 -> 0") << 0.5 << qint16(0);
    QTest::newRow("1.5 -> 2") << 1.5 << qint16(2);
    QTest::newRow("2.5 -> 2") << 2.5 << qint16(2);
    QTest::newRow("3.5 -> 4") << 3.5 << qint16(4);
    QTest::newRow("-0.5 -> 0") << -0.5 << qint16(0);
    QTest::newRow("-2.5 -> -2") << -2.5 << qint16(-2);
    QTest::newRow("-3.5 -> -4") << -3.5 << qint16(-4);
    QTest::newRow("negative below half") << -7.7 << qint16(-8);
    QTest::newRow("largest") << 32767.0 << qint16(32767);
    QTest::newRow("smallest") << -32768.0 << qint16(-32768);
    QTest::newRow("half above largest") << 32767.5 << qint16(32767);
    QTest::newRow("half below smallest") << -32768.5 << qint16(-32768);
    QTest::newRow("32768") << 32768.0 << qint16(32767);
    QTest::newRow("40000") << 40000.0 << qint16(32767);
    QTest::newRow("-40000") << -40000.0 << qint16(-32768);
    QTest::newRow("65536") << 65536.0 << qint16(32767);
    QTest::newRow("70000.5") << 70000.5 << qint16(32767);
    QTest::newRow("1e300") << 1e300 << qint16(32767);
    QTest::newRow("-1e300") << -1e300 << qint16(-32768);
    QTest::newRow("infinity") << inf << qint16(32767);
    QTest::newRow("-infinity") << -inf << qint16(-32768);
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << qint16(0);
}

// Each position field goes through the same rounding; checking all four
// also catches a field rounded differently or written to the wrong place.
void TestLayoutFile::positions() {
    QFETCH(double, value);
    QFETCH(qint16, stored);
    const int offsets[] = {2, 4, 6, 8};
    for (int field = 0; field < 4; ++field) {
        LayoutItem i = item(1, 2, 3, 4, "x");
        double* target[] = {&i.left, &i.top, &i.width, &i.height};
        *target[field] = value;
        const QByteArray data = LayoutFile::encode({i});
        QCOMPARE(data.size(), RecSize);
        for (int other = 0; other < 4; ++other) {
            const qint16 want = other == field ? stored : qint16(other + 1);
            QCOMPARE(int16In(data, offsets[other]), want);
        }
        const LayoutRecord back = LayoutFile::decode(data).value(0);
        const qint16 read[] = {back.left, back.top, back.width, back.height};
        QCOMPARE(read[field], stored);
    }
}

void TestLayoutFile::flagsRoundTrip_data() {
    QTest::addColumn<bool>("toolbar");
    QTest::addColumn<bool>("adress");
    QTest::addColumn<qint16>("state");
    QTest::newRow("both shown, normal") << true << true << qint16(0);
    QTest::newRow("toolbar only, minimised") << true << false << qint16(1);
    QTest::newRow("address only, maximised") << false << true << qint16(2);
    QTest::newRow("none, normal") << false << false << qint16(0);
}

void TestLayoutFile::flagsRoundTrip() {
    QFETCH(bool, toolbar);
    QFETCH(bool, adress);
    QFETCH(qint16, state);
    QTemporaryDir dir;
    const QString path = dir.filePath("flags.wlt");
    QString error;
    // A second window with the opposite flags shows records do not share them.
    const QList<LayoutItem> items = {
        item(0, 0, 10, 10, "a", toolbar, adress, state),
        item(0, 0, 10, 10, "b", !toolbar, !adress, qint16(2 - state)),
    };
    QVERIFY2(LayoutFile::save(path, items, &error), qPrintable(error));
    const QByteArray data = contentOf(path);
    QCOMPARE(int16In(data, 510), qint16(toolbar ? -1 : 0));
    QCOMPARE(int16In(data, 512), qint16(adress ? -1 : 0));
    QCOMPARE(int16In(data, 514), state);

    QList<LayoutRecord> records;
    QCOMPARE(LayoutFile::load(path, &records, &error), LayoutFile::LoadStatus::Ok);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].toolbar, qint16(toolbar ? -1 : 0));
    QCOMPARE(records[0].adress, qint16(adress ? -1 : 0));
    QCOMPARE(records[0].state, state);
    QCOMPARE(records[1].toolbar, qint16(toolbar ? 0 : -1));
    QCOMPARE(records[1].adress, qint16(adress ? 0 : -1));
    QCOMPARE(records[1].state, qint16(2 - state));
}

void TestLayoutFile::decodeWholeRecordsOnly_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("count");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("less than one") << 515 << 0;
    QTest::newRow("exactly one") << 516 << 1;
    QTest::newRow("two and a tail") << 516 * 2 + 100 << 2;
    QTest::newRow("one byte short of three") << 516 * 3 - 1 << 2;
}

void TestLayoutFile::decodeWholeRecordsOnly() {
    QFETCH(int, size);
    QFETCH(int, count);
    QList<LayoutItem> items;
    for (int k = 0; k < 3; ++k)
        items.append(item(k * 10, k * 20, 100 + k, 200 + k, QStringLiteral("u%1").arg(k)));
    const QByteArray data = LayoutFile::encode(items).left(size);
    QCOMPARE(data.size(), size);
    const QList<LayoutRecord> records = LayoutFile::decode(data);
    QCOMPARE(records.size(), count);
    for (int k = 0; k < count; ++k) {
        QCOMPARE(records[k].seq, qint16(k + 1));
        QCOMPARE(records[k].left, qint16(k * 10));
        QCOMPARE(records[k].width, qint16(100 + k));
        QCOMPARE(records[k].url, QStringLiteral("u%1").arg(k));
    }
}

void TestLayoutFile::decodeRandomBytes() {
    QRandomGenerator rng(20240611);
    QByteArray data(5 * 1024, '\0');
    for (char& c : data)
        c = char(rng.bounded(256));
    const QList<LayoutRecord> records = LayoutFile::decode(data);
    QCOMPARE(records.size(), 9);
    // Integers are read as stored, whatever they are.
    QCOMPARE(records[8].seq, int16In(data, 8 * RecSize));
    QCOMPARE(records[8].state, int16In(data, 8 * RecSize + 514));
}

void TestLayoutFile::loadMissingCreatesTrimmedName() {
    QTemporaryDir dir;
    const QString path = dir.filePath("neu.wlt");
    QList<LayoutRecord> records{LayoutRecord()};
    QString error;
    QCOMPARE(LayoutFile::load("  " + path + "   ", &records, &error),
             LayoutFile::LoadStatus::Created);
    QVERIFY(records.isEmpty());
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(QFileInfo(path).size(), qint64(0));
    QCOMPARE(entries(dir.path()), QStringList{"neu.wlt"});
    // Now it is there and simply read.
    QCOMPARE(LayoutFile::load(path, &records, &error), LayoutFile::LoadStatus::Ok);
    QVERIFY(records.isEmpty());
}

void TestLayoutFile::loadExisting() {
    QTemporaryDir dir;
    const QString path = dir.filePath("da.wlt");
    QString error;
    QVERIFY2(LayoutFile::save(path, {item(1, 2, 3, 4, "a"), item(5, 6, 7, 8, "b")}, &error),
             qPrintable(error));
    QList<LayoutRecord> records;
    QCOMPARE(LayoutFile::load(" " + path + " ", &records, &error), LayoutFile::LoadStatus::Ok);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[1].seq, qint16(2));
    QCOMPARE(records[1].height, qint16(8));
    QCOMPARE(records[1].url, QStringLiteral("b"));
}

void TestLayoutFile::loadFolderFails() {
    QTemporaryDir dir;
    const QString path = dir.filePath("ordner.wlt");
    QVERIFY(QDir(dir.path()).mkdir("ordner.wlt"));
    QList<LayoutRecord> records{LayoutRecord()};
    QString error;
    QCOMPARE(LayoutFile::load(path, &records, &error), LayoutFile::LoadStatus::Failed);
    QVERIFY(records.isEmpty());
    QVERIFY2(error.contains(path) && error.contains("Die Datei"), qPrintable(error));
    QVERIFY(QFileInfo(path).isDir());
}

void TestLayoutFile::loadInMissingFolderFails() {
    QTemporaryDir dir;
    const QString path = dir.filePath("fehlt/neu.wlt");
    QList<LayoutRecord> records;
    QString error;
    QCOMPARE(LayoutFile::load(path, &records, &error), LayoutFile::LoadStatus::Failed);
    QVERIFY2(error.contains(path), qPrintable(error));
    QVERIFY(entries(dir.path()).isEmpty());
}

void TestLayoutFile::saveInMissingFolderFails() {
    QTemporaryDir dir;
    const QString path = dir.filePath("fehlt/Fenster.wlt");
    QString error;
    QVERIFY(!LayoutFile::save(path, {item(0, 0, 10, 10, "a")}, &error));
    QVERIFY2(error.contains(path) && error.contains("konnte nicht geschrieben werden"),
             qPrintable(error));
    QVERIFY(entries(dir.path()).isEmpty());
}

// The temporary file needs a longer name than the target; at the file
// system's name limit it cannot be created, even as root.
void TestLayoutFile::failedSaveKeepsOldFile() {
    QTemporaryDir dir;
    const QString name(250, QLatin1Char('w'));
    const QString path = dir.filePath(name);
    const QByteArray old = LayoutFile::encode({item(1, 2, 3, 4, "alt")});
    putFile(path, old);
    QString error;
    QVERIFY(!LayoutFile::save(path, {item(5, 6, 7, 8, "neu"), item(0, 0, 1, 1, "b")}, &error));
    QVERIFY2(error.contains(name), qPrintable(error));
    QCOMPARE(contentOf(path), old);
    QCOMPARE(entries(dir.path()), QStringList{name});
}

void TestLayoutFile::saveReplacesWhole() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Fenster.wlt");
    QString error;
    QVERIFY2(LayoutFile::save(
                 path,
                 {item(1, 1, 1, 1, "eins"), item(2, 2, 2, 2, "zwei"), item(3, 3, 3, 3, "drei")},
                 &error),
             qPrintable(error));
    QCOMPARE(QFileInfo(path).size(), qint64(3 * RecSize));
    QVERIFY2(LayoutFile::save(path, {item(9, 8, 7, 6, "neu", false, true, 1)}, &error),
             qPrintable(error));
    const QByteArray data = contentOf(path);
    QCOMPARE(data.size(), RecSize);
    QCOMPARE(int16In(data, 0), qint16(1));
    QCOMPARE(int16In(data, 2), qint16(9));
    QCOMPARE(data.mid(10, 500), QByteArray("neu").leftJustified(500, ' '));
    QCOMPARE(entries(dir.path()), QStringList{"Fenster.wlt"});

    QVERIFY2(LayoutFile::save(path, {}, &error), qPrintable(error));
    QCOMPARE(QFileInfo(path).size(), qint64(0));
}

void TestLayoutFile::addressOutsideCodePage() {
    const QString url = QString::fromUtf8("https://example.org/Grüße/Äpfel-Öl?q=Привет&x=ß");
    QTemporaryDir dir;
    const QString path = dir.filePath("Umlaute.wlt");
    QString error;
    QVERIFY2(LayoutFile::save(path, {item(0, 0, 10, 10, url)}, &error), qPrintable(error));
    const QByteArray data = contentOf(path);
    QCOMPARE(data.size(), RecSize);
    // German letters take one Windows-1252 byte each, not UTF-8's two.
    QVERIFY(data.mid(10, 500).startsWith("https://example.org/Gr\xFC\xDF"
                                         "e/\xC4"
                                         "pfel-\xD6l?q="));
    QList<LayoutRecord> records;
    QCOMPARE(LayoutFile::load(path, &records, &error), LayoutFile::LoadStatus::Ok);
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].url, url);
}

QTEST_APPLESS_MAIN(TestLayoutFile)
#include "tst_layoutfile.moc"
