#pragma once

#include <QList>
#include <QRect>

// Geometry of the frame's window arrangements.
namespace Arrangement {
// Windows one below the other, each the full width.
QList<QRect> oneBelowOther(const QRect& area, int count);
// Windows side by side, each the full height.
QList<QRect> sideBySide(const QRect& area, int count);
} // namespace Arrangement
