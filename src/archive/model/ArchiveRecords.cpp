#include "archive/model/ArchiveRecords.h"

#include "common/RecordCodec.h"
#include "common/Twips.h"

namespace {

namespace thema {
constexpr int Sequenz = 0;
constexpr int Nr = 4;
constexpr int DirName = 8, DirNameWidth = 200;
constexpr int FileName = 208, FileNameWidth = 128;
} // namespace thema

namespace bookmark {
constexpr int Nr = 0;
constexpr int Titel = 2, TitelWidth = 255;
constexpr int Url = 257, UrlWidth = 500;
constexpr int Info = 757, InfoWidth = 320;
constexpr int Adresszeile = 1077;
constexpr int Toolbar = 1079;
} // namespace bookmark

// Other readers test Booleans against -1, so anything true is stored as -1.
qint16 storedBoolean(qint16 value) {
    return value != 0 ? -1 : 0;
}

template <typename T> QList<T> parseFile(const QByteArray& data) {
    QList<T> records;
    const QList<QByteArray> raw = splitRecords(data, T::Size);
    records.reserve(raw.size());
    for (const QByteArray& bytes : raw)
        records.append(T::fromBytes(bytes));
    return records;
}

} // namespace

QByteArray ThemaRecord::toBytes() const {
    Record r(Size);
    r.setInt32(thema::Sequenz, Sequenz);
    r.setInt32(thema::Nr, Nr);
    r.setText(thema::DirName, thema::DirNameWidth, DirName);
    r.setText(thema::FileName, thema::FileNameWidth, FileName);
    return r.bytes();
}

ThemaRecord ThemaRecord::fromBytes(const QByteArray& bytes) {
    const Record r(bytes, Size);
    ThemaRecord t;
    t.Sequenz = r.int32At(thema::Sequenz);
    t.Nr = r.int32At(thema::Nr);
    t.DirName = r.trimmedTextAt(thema::DirName, thema::DirNameWidth);
    t.FileName = r.trimmedTextAt(thema::FileName, thema::FileNameWidth);
    return t;
}

QByteArray BookmarkRecord::toBytes() const {
    Record r(Size);
    r.setInt16(bookmark::Nr, Nr);
    r.setText(bookmark::Titel, bookmark::TitelWidth, Titel);
    r.setText(bookmark::Url, bookmark::UrlWidth, Url);
    r.setText(bookmark::Info, bookmark::InfoWidth, Info);
    r.setInt16(bookmark::Adresszeile, storedBoolean(Adresszeile));
    r.setInt16(bookmark::Toolbar, storedBoolean(Toolbar));
    return r.bytes();
}

BookmarkRecord BookmarkRecord::fromBytes(const QByteArray& bytes) {
    const Record r(bytes, Size);
    BookmarkRecord b;
    b.Nr = r.int16At(bookmark::Nr);
    b.Titel = r.trimmedTextAt(bookmark::Titel, bookmark::TitelWidth);
    b.Url = r.trimmedTextAt(bookmark::Url, bookmark::UrlWidth);
    b.Info = r.trimmedTextAt(bookmark::Info, bookmark::InfoWidth);
    b.Adresszeile = r.int16At(bookmark::Adresszeile);
    b.Toolbar = r.int16At(bookmark::Toolbar);
    return b;
}

QList<ThemaRecord> parseThemaFile(const QByteArray& data) {
    return parseFile<ThemaRecord>(data);
}

QList<BookmarkRecord> parseBookmarkFile(const QByteArray& data) {
    return parseFile<BookmarkRecord>(data);
}

QByteArray writeThemaFile(const QList<ThemaRecord>& records) {
    QByteArray out;
    out.reserve(records.size() * ThemaRecord::Size);
    qint32 nr = 0;
    for (ThemaRecord t : records) {
        t.Nr = ++nr;
        out.append(t.toBytes());
    }
    return out;
}

QByteArray writeBookmarkFile(const QList<BookmarkRecord>& records) {
    QByteArray out;
    out.reserve(records.size() * BookmarkRecord::Size);
    qint64 nr = 0;
    for (BookmarkRecord b : records) {
        b.Nr = clampInt16(++nr); // a 16-bit field; folders never get near the limit
        out.append(b.toBytes());
    }
    return out;
}
