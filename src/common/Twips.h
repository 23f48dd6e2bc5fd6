#pragma once

// Window sizes are stored in twips (1/1440 inch) in 16-bit fields; at the
// customary 96 dpi one pixel is 15 twips.

#include <QtGlobal>

#include <algorithm>
#include <limits>

constexpr int TwipsPerPixel = 15;

inline qint16 clampInt16(qint64 v) {
    return qint16(std::clamp<qint64>(v, -32768, 32767));
}

inline int pxToTwips(int px) {
    return int(std::clamp<qint64>(qint64(px) * TwipsPerPixel, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

// Rounds to the nearest pixel, symmetric for negative positions.
inline int twipsToPx(int twips) {
    const qint64 t = twips;
    return int(t >= 0 ? (t + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-t + TwipsPerPixel / 2) / TwipsPerPixel));
}
