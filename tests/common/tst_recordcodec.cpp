#include "common/RecordCodec.h"
#include "common/Twips.h"

#include <QTest>

class TestRecordCodec : public QObject {
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void roundTrip_data();
    void roundTrip();
    void decode_data();
    void decode();
    void trimBlanks_data();
    void trimBlanks();
    void integers_data();
    void integers();
    void recordsAndSplitting();
    void twips();
};

void TestRecordCodec::encode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("umlauts") << "äöüÄÖÜß" << 7 << QByteArray("\xE4\xF6\xFC\xC4\xD6\xDC\xDF");
    QTest::newRow("euro, quotes, dash") << "€„x“–" << 5 << QByteArray("\x80\x84x\x93\x96");
    QTest::newRow("unassigned bytes")
        << QString(QChar(0x81)) + QChar(0x9D) << 2 << QByteArray("\x81\x9D");
    QTest::newRow("c1 the code page lacks") << QString(QChar(0x80)) << 6 << QByteArray("&#128;");
    QTest::newRow("cyrillic") << "Ж" << 7 << QByteArray("&#1046;");
    QTest::newRow("emoji is one code point") << "😀" << 9 << QByteArray("&#128512;");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << 8 << QByteArray("&#65533;");
    QTest::newRow("padded") << "ab" << 5 << QByteArray("ab   ");
    QTest::newRow("cut") << "abcdef" << 4 << QByteArray("abcd");
    QTest::newRow("zero width") << "ä" << 0 << QByteArray();
    QTest::newRow("reference one short") << "abЖ" << 8 << QByteArray("ab      ");
    QTest::newRow("emoji one short") << "a😀" << 9 << QByteArray("a        ");
    QTest::newRow("nothing after the cut") << "aЖb" << 4 << QByteArray("a   ");
    // Typed text that spells a reference keeps its "&#" apart.
    QTest::newRow("typed reference")
        << "Literal &#1050; bleibt" << 26 << QByteArray("Literal &#38;#1050; bleibt");
    QTest::newRow("typed escape") << "&#38;#" << 12 << QByteArray("&#38;#38;#  ");
    QTest::newRow("escape is never cut") << "a&#1050;" << 6 << QByteArray("a     ");
    // What could not be read as a reference anyway is stored as it was.
    QTest::newRow("reference to a code page letter") << "&#65;" << 5 << QByteArray("&#65;");
    QTest::newRow("no semicolon") << "&#1050" << 6 << QByteArray("&#1050");
}

void TestRecordCodec::encode() {
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encodeText(text, width), bytes);
}

void TestRecordCodec::roundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("german") << "Grüße aus Köln, „Straße“ – 5 €";
    QTest::newRow("windows-1252 extras") << "€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ¡¿©ÿ";
    QTest::newRow("cyrillic, chinese, emoji") << "Привет 你好 a😀b";
    QTest::newRow("c1 controls") << QString(QChar(0x80)) + QChar(0x81) + QChar(0x8D) + QChar(0x9F);
    QTest::newRow("typed references") << "Literal &#1050; bleibt, К, &#38;#1050; &#65; &#";
}

void TestRecordCodec::roundTrip() {
    QFETCH(QString, text);
    const QByteArray field = encodeText(text, 200);
    QCOMPARE(field.size(), 200);
    QCOMPARE(::trimBlanks(decodeText(field)), text);
}

void TestRecordCodec::decode_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("windows-1252") << QByteArray("\xE4\x80\x84\x93 ") << QString("ä€„“ ");
    QTest::newRow("unassigned byte") << QByteArray("\x8D") << QString(QChar(0x8D));
    QTest::newRow("emoji reference") << QByteArray("x&#128512;y") << QString("x😀y");
    QTest::newRow("ampersands before") << QByteArray("&&#&#1046;") << QString("&&#Ж");
    QTest::newRow("escaped reference") << QByteArray("&#38;#1046;") << QString("&#1046;");
    QTest::newRow("escape alone") << QByteArray("&#38;") << QString("&#38;");
    // Only looks like a reference, so it reads exactly as stored.
    for (const char* s :
         {"&#228;", "&#65;", "&#0;", "&#;", "&#12x;", "&amp;", "&#1046", "&#01046;", "&#55296;",
          "&#", "&#1114112;", "&#99999999999;", "&#-1046;", "&#x416;", "x&#1046 ;"})
        QTest::newRow(s) << QByteArray(s) << QString::fromLatin1(s);
}

void TestRecordCodec::decode() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, expected);
    QCOMPARE(decodeText(stored), expected);
}

void TestRecordCodec::trimBlanks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks") << "  a b  "
                            << "a b";
    QTest::newRow("tabs stay") << " \t a \t "
                               << "\t a \t";
    QTest::newRow("no-break space stays") << "\u00A0x "
                                          << "\u00A0x";
    QTest::newRow("only blanks") << "   "
                                 << "";
}

void TestRecordCodec::trimBlanks() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(::trimBlanks(text), expected);
}

void TestRecordCodec::integers_data() {
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QByteArray>("bytes"); // two bytes: int16, four: int32
    QTest::newRow("16: 1") << 1 << QByteArray("\x01\x00", 2);
    QTest::newRow("16: -1") << -1 << QByteArray("\xFF\xFF");
    QTest::newRow("16: 9600") << 9600 << QByteArray("\x80\x25");
    QTest::newRow("16: min") << -32768 << QByteArray("\x00\x80", 2);
    QTest::newRow("32: 12") << 12 << QByteArray("\x0C\x00\x00\x00", 4);
    QTest::newRow("32: -2") << -2 << QByteArray("\xFE\xFF\xFF\xFF");
    QTest::newRow("32: order") << 0x12345678 << QByteArray("\x78\x56\x34\x12");
}

void TestRecordCodec::integers() {
    QFETCH(qint32, value);
    QFETCH(QByteArray, bytes);
    Record r(9);
    if (bytes.size() == 2)
        r.setInt16(3, qint16(value));
    else
        r.setInt32(3, value);
    QCOMPARE(r.bytes(), QByteArray(3, '\0') + bytes + QByteArray(6 - bytes.size(), '\0'));
    const Record back(r.bytes(), 9);
    QCOMPARE(bytes.size() == 2 ? back.int16At(3) : back.int32At(3), value);
}

void TestRecordCodec::recordsAndSplitting() {
    QCOMPARE(Record(QByteArray("abc"), 5).bytes(), QByteArray("abc\0\0", 5));
    Record r(QByteArray("xxxxxxxxyz"), 8);
    r.setText(2, 4, "ä");
    QCOMPARE(r.bytes(), QByteArray("xx\xE4   xx"));
    QCOMPARE(r.textAt(2, 4), QString("ä   "));
    QCOMPARE(r.trimmedTextAt(2, 4), QString("ä"));
    QCOMPARE(::splitRecords("abcdefghij", 4), QList<QByteArray>({"abcd", "efgh"}));
    QCOMPARE(::splitRecords("abcdefghij", 5), QList<QByteArray>({"abcde", "fghij"}));
    QVERIFY(::splitRecords("abcdefghij", 11).isEmpty());
}

void TestRecordCodec::twips() {
    QCOMPARE(twipsToPx(9600), 640);
    QCOMPARE(twipsToPx(22), 1);
    QCOMPARE(twipsToPx(-23), -2);
    QCOMPARE(twipsToPx(pxToTwips(481)), 481);
    QCOMPARE(clampInt16(40000), qint16(32767));
    QCOMPARE(clampInt16(-40000), qint16(-32768));
}

QTEST_APPLESS_MAIN(TestRecordCodec)
#include "tst_recordcodec.moc"
