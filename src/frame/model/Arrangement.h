#pragma once

#include <QList>
#include <QRect>

// Geometry of the frame's window arrangements.
namespace Arrangement {
// Windows one below the other, each the full width.
QList<QRect> oneBelowOther(const QRect& area, int count);
// Windows side by side, each the full height.
QList<QRect> sideBySide(const QRect& area, int count);
// Windows stepped down and right by `step`, all the same size: at least two
// thirds of the area each way, and never outside it. When the steps would
// leave the area, the cascade starts again at the top left.
QList<QRect> cascade(const QRect& area, int count, int step);
} // namespace Arrangement
