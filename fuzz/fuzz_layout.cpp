// Window layout files (*.wlt) as found on disk, and the window positions the
// frame hands to the writer (any double, NaN and infinities included).
// First input byte: 0 reads the rest as a file, else as positions.

#include "FuzzCheck.h"
#include "frame/model/LayoutFile.h"

#include <cfenv>
#include <cmath>
#include <cstring>

namespace {

QString describe(const LayoutRecord& r) {
    return QStringLiteral("seq %1 at %2,%3 size %4x%5 flags %6/%7 state %8 url '")
               .arg(r.seq)
               .arg(r.left)
               .arg(r.top)
               .arg(r.width)
               .arg(r.height)
               .arg(r.toolbar)
               .arg(r.adress)
               .arg(r.state) +
           r.url + QLatin1Char('\'');
}

LayoutItem itemOf(const LayoutRecord& r) {
    LayoutItem item;
    item.left = r.left;
    item.top = r.top;
    item.width = r.width;
    item.height = r.height;
    item.url = r.url;
    item.toolbar = r.toolbar != 0;
    item.adress = r.adress != 0;
    item.state = r.state;
    return item;
}

void checkFile(const QByteArray& file) {
    const QList<LayoutRecord> loaded = LayoutFile::decode(file);
    FUZZ_CHECK(loaded.size() == file.size() / LayoutRecord::Size);
    QList<LayoutItem> items;
    for (const LayoutRecord& r : loaded)
        items.append(itemOf(r));
    const QByteArray saved = LayoutFile::encode(items);
    FUZZ_CHECK(saved.size() == items.size() * LayoutRecord::Size);
    const QList<LayoutRecord> reread = LayoutFile::decode(saved);
    FUZZ_CHECK(reread.size() == loaded.size());
    for (qsizetype i = 0; i < loaded.size(); ++i) {
        const LayoutRecord& a = loaded.at(i);
        const LayoutRecord& b = reread.at(i);
        const bool same = b.seq == qint16(i + 1) && a.left == b.left && a.top == b.top &&
                          a.width == b.width && a.height == b.height && a.url == b.url &&
                          b.toolbar == (a.toolbar != 0 ? -1 : 0) &&
                          b.adress == (a.adress != 0 ? -1 : 0) && a.state == b.state;
        FUZZ_CHECK2(same, describe(a) + QStringLiteral(" became ") + describe(b));
    }
}

// The stored value worked out independently: round half to even by the FPU,
// then held to 16 bits.
qint16 expectedTwips(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 32767.0)
        return 32767;
    if (v <= -32768.0)
        return -32768;
    std::fesetround(FE_TONEAREST);
    return qint16(std::nearbyint(v));
}

void checkPositions(FuzzInput& in) {
    QList<LayoutItem> items;
    while (in.remaining() >= 32 && items.size() < 64) {
        double v[4];
        const QByteArray raw = in.take(32);
        std::memcpy(v, raw.constData(), sizeof v);
        LayoutItem item;
        item.left = v[0];
        item.top = v[1];
        item.width = v[2];
        item.height = v[3];
        items.append(item);
    }
    const QList<LayoutRecord> stored = LayoutFile::decode(LayoutFile::encode(items));
    FUZZ_CHECK(stored.size() == items.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        const LayoutItem& item = items.at(i);
        const LayoutRecord& r = stored.at(i);
        const double given[4] = {item.left, item.top, item.width, item.height};
        const qint16 got[4] = {r.left, r.top, r.width, r.height};
        for (int k = 0; k < 4; ++k) {
            FUZZ_CHECK2(got[k] == expectedTwips(given[k]),
                        QStringLiteral("%1 stored as %2, expected %3")
                            .arg(given[k], 0, 'g', 17)
                            .arg(got[k])
                            .arg(expectedTwips(given[k])));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    if (in.byte() % 2 == 0) {
        checkFile(in.rest());
    } else {
        checkPositions(in);
    }
    return 0;
}
