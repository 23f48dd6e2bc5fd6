// Book.bkm and the folder files as read from disk: any bytes may be there.
// The first input byte picks the record kind, the rest is the file.

#include "FuzzCheck.h"
#include "archive/model/ArchiveRecords.h"
#include "common/RecordCodec.h"

namespace {

QString describe(const ThemaRecord& t) {
    return QStringLiteral("Sequenz %1, Nr %2, DirName '%3', FileName '%4'")
        .arg(t.Sequenz)
        .arg(t.Nr)
        .arg(t.DirName, t.FileName);
}

QString describe(const BookmarkRecord& b) {
    // Texts last and in one go: they may hold "%1" themselves.
    return QStringLiteral("Nr %1, flags %2/%3, Titel '%4', Url '%5', Info '%6'")
        .arg(QString::number(b.Nr), QString::number(b.Adresszeile), QString::number(b.Toolbar),
             b.Titel, b.Url, b.Info);
}

void checkThemaFile(const QByteArray& file) {
    const QList<ThemaRecord> loaded = parseThemaFile(file);
    FUZZ_CHECK(loaded.size() == file.size() / ThemaRecord::Size);
    const QByteArray saved = writeThemaFile(loaded);
    FUZZ_CHECK(saved.size() == loaded.size() * ThemaRecord::Size);
    const QList<ThemaRecord> reread = parseThemaFile(saved);
    FUZZ_CHECK(reread.size() == loaded.size());
    for (qsizetype i = 0; i < loaded.size(); ++i) {
        const ThemaRecord& a = loaded.at(i);
        const ThemaRecord& b = reread.at(i);
        FUZZ_CHECK2(b.Nr == i + 1, describe(b));
        FUZZ_CHECK2(a.Sequenz == b.Sequenz && a.DirName == b.DirName && a.FileName == b.FileName,
                    describe(a) + QStringLiteral(" became ") + describe(b));
    }
    FUZZ_CHECK(writeThemaFile(reread) == saved);
}

void checkBookmarkFile(const QByteArray& file) {
    const QList<BookmarkRecord> loaded = parseBookmarkFile(file);
    FUZZ_CHECK(loaded.size() == file.size() / BookmarkRecord::Size);
    const QByteArray saved = writeBookmarkFile(loaded);
    FUZZ_CHECK(saved.size() == loaded.size() * BookmarkRecord::Size);
    const QList<BookmarkRecord> reread = parseBookmarkFile(saved);
    FUZZ_CHECK(reread.size() == loaded.size());
    for (qsizetype i = 0; i < loaded.size(); ++i) {
        const BookmarkRecord& a = loaded.at(i);
        const BookmarkRecord& b = reread.at(i);
        FUZZ_CHECK2(b.Nr == qMin<qsizetype>(i + 1, 32767), describe(b));
        // Any true value is stored as -1, the form other readers expect.
        FUZZ_CHECK2(b.Adresszeile == (a.Adresszeile != 0 ? -1 : 0) &&
                        b.Toolbar == (a.Toolbar != 0 ? -1 : 0),
                    describe(a) + QStringLiteral(" became ") + describe(b));
        FUZZ_CHECK2(a.Titel == b.Titel && a.Url == b.Url && a.Info == b.Info,
                    describe(a) + QStringLiteral(" became ") + describe(b));
    }
    FUZZ_CHECK(writeBookmarkFile(reread) == saved);
}

// Every stored field, decoded and encoded again, is the same bytes: nothing
// in a file the program did not write is changed by a save. The one
// exception is an escape "&#38;#" before text that needs none: it is read as
// "&#" and written back plain, which reads the same.
void checkField(const QByteArray& field) {
    const QString text = decodeText(field);
    const QByteArray again = encodeText(text, int(field.size()));
    if (!field.contains("&#38;#"))
        FUZZ_CHECK2(again == field, QString::fromLatin1(field.toHex()));
    else
        FUZZ_CHECK2(trimBlanks(decodeText(again)) == trimBlanks(text),
                    QString::fromLatin1(field.toHex()));
    // And no text, however long or odd, makes a field overflow its width.
    const int width = int(field.size() % 300);
    FUZZ_CHECK(encodeText(QString::fromUtf8(field), width).size() == width);
    FUZZ_CHECK(encodeText(text, width).size() == width);

    // Typed text comes back as typed, cut at a whole character, also text
    // that itself spells a reference.
    const QString typed = QString::fromUtf8(field);
    QString back = decodeText(encodeText(typed, width));
    while (back.endsWith(QLatin1Char(' ')))
        back.chop(1);
    FUZZ_CHECK2(typed.startsWith(back), typed + QStringLiteral(" read back as ") + back);
    // Whole when it fits (its own blanks at the end are the field's padding).
    QString whole = typed;
    while (whole.endsWith(QLatin1Char(' ')))
        whole.chop(1);
    QByteArray unpadded = encodeText(whole, 1 << 16);
    while (unpadded.endsWith(' '))
        unpadded.chop(1);
    if (unpadded.size() <= width)
        FUZZ_CHECK2(back == whole, typed + QStringLiteral(" read back as ") + back);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const quint8 kind = in.byte();
    const QByteArray file = in.rest();
    switch (kind % 3) {
    case 0:
        checkThemaFile(file);
        break;
    case 1:
        checkBookmarkFile(file);
        break;
    default:
        checkField(file.left(2000));
        break;
    }
    return 0;
}
