#include "frame/model/Arrangement.h"

namespace {
// Splits a length into count parts that cover it exactly; the first parts
// take the remainder.
QList<int> split(int length, int count) {
    QList<int> parts;
    const int base = length / count;
    int rest = length % count;
    for (int i = 0; i < count; ++i)
        parts.append(base + (rest-- > 0 ? 1 : 0));
    return parts;
}
} // namespace

namespace Arrangement {

QList<QRect> oneBelowOther(const QRect& area, int count) {
    QList<QRect> rects;
    if (count <= 0)
        return rects;
    int y = area.top();
    for (int h : split(area.height(), count)) {
        rects.append(QRect(area.left(), y, area.width(), h));
        y += h;
    }
    return rects;
}

QList<QRect> sideBySide(const QRect& area, int count) {
    QList<QRect> rects;
    if (count <= 0)
        return rects;
    int x = area.left();
    for (int w : split(area.width(), count)) {
        rects.append(QRect(x, area.top(), w, area.height()));
        x += w;
    }
    return rects;
}

} // namespace Arrangement
