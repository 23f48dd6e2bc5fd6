#include "frame/model/LayoutFile.h"

#include "common/RecordCodec.h"
#include "common/SafeFile.h"
#include "common/Twips.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int Seq = 0;
constexpr int Left = 2;
constexpr int Top = 4;
constexpr int Width = 6;
constexpr int Height = 8;
constexpr int Url = 10, UrlWidth = 500;
constexpr int Toolbar = 510;
constexpr int Adress = 512;
constexpr int State = 514;

// Nearest integer, halves to the even neighbour, then held to 16 bits. The
// rounding is done by hand so it does not depend on the FPU rounding mode.
qint16 storedTwips(double v) {
    if (std::isnan(v))
        return 0;
    // Anything beyond this is clamped anyway; bounding it first keeps the
    // conversion to an integer defined for huge values and infinities.
    v = std::clamp(v, -65536.0, 65536.0);
    const double below = std::floor(v);
    const double fraction = v - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        rounded = below + 1.0;
    return clampInt16(qint64(rounded));
}

// Other readers test Booleans against -1, so true is always stored as -1.
qint16 storedBoolean(bool value) {
    return value ? -1 : 0;
}

} // namespace

namespace LayoutFile {

QByteArray encode(const QList<LayoutItem>& items) {
    QByteArray data;
    data.reserve(items.size() * LayoutRecord::Size);
    qint16 seq = 0;
    for (const LayoutItem& item : items) {
        Record r(LayoutRecord::Size);
        r.setInt16(Seq, ++seq);
        r.setInt16(Left, storedTwips(item.left));
        r.setInt16(Top, storedTwips(item.top));
        r.setInt16(Width, storedTwips(item.width));
        r.setInt16(Height, storedTwips(item.height));
        r.setText(Url, UrlWidth, item.url);
        r.setInt16(Toolbar, storedBoolean(item.toolbar));
        r.setInt16(Adress, storedBoolean(item.adress));
        r.setInt16(State, item.state);
        data.append(r.bytes());
    }
    return data;
}

QList<LayoutRecord> decode(const QByteArray& data) {
    QList<LayoutRecord> records;
    const QList<QByteArray> raw = splitRecords(data, LayoutRecord::Size);
    records.reserve(raw.size());
    for (const QByteArray& bytes : raw) {
        const Record r(bytes, LayoutRecord::Size);
        LayoutRecord rec;
        rec.seq = r.int16At(Seq);
        rec.left = r.int16At(Left);
        rec.top = r.int16At(Top);
        rec.width = r.int16At(Width);
        rec.height = r.int16At(Height);
        rec.url = r.trimmedTextAt(Url, UrlWidth);
        rec.toolbar = r.int16At(Toolbar);
        rec.adress = r.int16At(Adress);
        rec.state = r.int16At(State);
        records.append(rec);
    }
    return records;
}

bool save(const QString& path, const QList<LayoutItem>& items, QString* error) {
    return writeFileAtomic(trimBlanks(path), encode(items), error);
}

LoadStatus load(const QString& path, QList<LayoutRecord>* records, QString* error) {
    if (records)
        records->clear();
    const QString name = trimBlanks(path);
    QByteArray data;
    switch (readWholeFile(name, &data, error)) {
    case ReadStatus::Ok:
        if (records)
            *records = decode(data);
        return LoadStatus::Ok;
    case ReadStatus::NotFound:
        // Later saves go to this name, so it should exist from now on.
        return writeFileAtomic(name, QByteArray(), error) ? LoadStatus::Created
                                                          : LoadStatus::Failed;
    case ReadStatus::Failed:
        break;
    }
    return LoadStatus::Failed;
}

} // namespace LayoutFile
