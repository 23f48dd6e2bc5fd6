#pragma once

#include <QtGlobal>

// When a page nobody sees gives its memory back: frozen after a short while,
// discarded after a longer one, active again the moment it can be seen.
namespace Lifecycle {

enum class State { Active, Frozen, Discarded };

struct Policy {
    qint64 freezeAfterMs = 10 * 1000;
    qint64 discardAfterMs = 60 * 1000;
    // Above this, pages nobody sees are discarded at once, the longest
    // hidden first; 0 for none. The environment variable
    // KORVIX_MEMORY_BUDGET_MB sets another.
    qint64 memoryBudgetBytes = 1024LL * 1024 * 1024;
};

// The budget the environment asks for, or the default.
qint64 memoryBudgetFromEnvironment();

// How many of `pages` awake pages to discard when the tree takes `used`
// bytes against `budget`: the excess over the average page, at least one.
int pagesOverBudget(qint64 used, qint64 budget, int pages);

// What a page should be now. `busy` pages (auto-refresh, a link walk, audio,
// a download) stay active whatever happens.
State wanted(bool visible, bool busy, qint64 hiddenForMs, const Policy& policy);

} // namespace Lifecycle
