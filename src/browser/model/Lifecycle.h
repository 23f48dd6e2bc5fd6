#pragma once

#include <QtGlobal>

// When a page nobody sees gives its memory back: frozen after a short while,
// discarded after a longer one, active again the moment it can be seen.
namespace Lifecycle {

enum class State { Active, Frozen, Discarded };

struct Policy {
    qint64 freezeAfterMs = 10 * 1000;
    qint64 discardAfterMs = 60 * 1000;
};

// What a page should be now. `busy` pages (auto-refresh, a link walk, audio,
// a download) stay active whatever happens.
State wanted(bool visible, bool busy, qint64 hiddenForMs, const Policy& policy);

} // namespace Lifecycle
