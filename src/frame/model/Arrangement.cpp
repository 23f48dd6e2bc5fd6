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

QList<QRect> cascade(const QRect& area, int count, int step) {
    QList<QRect> rects;
    if (count <= 0)
        return rects;
    step = qMax(step, 1);
    const int back = (count - 1) * step;
    const int w = qMin(area.width(), qMax(area.width() * 2 / 3, area.width() - back));
    const int h = qMin(area.height(), qMax(area.height() * 2 / 3, area.height() - back));
    const int places = qMin(area.width() - w, area.height() - h) / step + 1;
    for (int i = 0; i < count; ++i) {
        const int offset = (i % places) * step;
        rects.append(QRect(area.left() + offset, area.top() + offset, w, h));
    }
    return rects;
}

} // namespace Arrangement
