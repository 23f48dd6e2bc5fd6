#include "browser/Pictures.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int Size = 22;

QPixmap drawGlobe(int litQuarter, int size = Size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / double(Size), size / double(Size));
    const QRectF r(2.5, 2.5, Size - 5, Size - 5);
    p.setPen(QPen(QColor(40, 70, 140), 1.5));
    p.setBrush(QColor(200, 220, 250));
    p.drawEllipse(r);
    // Meridian and equator, the classic browser globe.
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.adjusted(5, 0, -5, 0));
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
    if (litQuarter > 0) {
        // The lit quarter turns clockwise from one frame to the next.
        p.setPen(QPen(QColor(230, 120, 20), 3, Qt::SolidLine, Qt::RoundCap));
        const int start = 90 * 16 - (litQuarter - 1) * 90 * 16;
        p.drawArc(r.adjusted(-1, -1, 1, 1), start, -80 * 16);
    }
    return pm;
}

QPixmap drawLock() {
    QPixmap pm(Size, Size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 90, 90), 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(6, 2, 10, 12), 0, 180 * 16);
    p.drawLine(QPointF(6, 8), QPointF(6, 10));
    p.drawLine(QPointF(16, 8), QPointF(16, 10));
    p.setPen(QPen(QColor(120, 90, 10), 1));
    p.setBrush(QColor(235, 190, 40));
    p.drawRoundedRect(QRectF(4, 10, 14, 10), 2, 2);
    p.setBrush(QColor(90, 60, 0));
    p.drawEllipse(QPointF(11, 15), 1.5, 1.5);
    return pm;
}
} // namespace

QPixmap browserPicture(int index) {
    static QHash<int, QPixmap> cache;
    auto it = cache.find(index);
    if (it != cache.end())
        return *it;
    QPixmap pm = index == 5 ? drawLock() : drawGlobe(index >= 1 && index <= 4 ? index : 0);
    cache.insert(index, pm);
    return pm;
}

QPixmap privateWindowPicture() {
    static const QPixmap picture = [] {
        QPixmap pm = browserPicture(0);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 30, 90));
        // A band across the eyes with two holes.
        const qreal w = pm.width();
        QPainterPath mask;
        mask.addRoundedRect(QRectF(1, w * 0.3, w - 2, w * 0.34), 3, 3);
        QPainterPath eyes;
        eyes.addEllipse(QPointF(w * 0.32, w * 0.47), w * 0.11, w * 0.09);
        eyes.addEllipse(QPointF(w * 0.68, w * 0.47), w * 0.11, w * 0.09);
        p.drawPath(mask.subtracted(eyes));
        return pm;
    }();
    return picture;
}

QPixmap mailPicture() {
    QPixmap pm(Size, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(255, 250, 220));
    p.drawRect(QRectF(2.5, 2.5, Size - 5, 11));
    p.drawLine(QPointF(2.5, 2.5), QPointF(Size / 2.0, 9));
    p.drawLine(QPointF(Size - 2.5, 2.5), QPointF(Size / 2.0, 9));
    return pm;
}

QPixmap lookPicture() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 70, 140), 1.5));
    p.setBrush(QColor(200, 220, 250));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(90, 60, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
    return pm;
}

QPixmap programIcon(int size) {
    return drawGlobe(1, size);
}
