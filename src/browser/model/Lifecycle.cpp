#include "browser/model/Lifecycle.h"

namespace Lifecycle {

State wanted(bool visible, bool busy, qint64 hiddenForMs, const Policy& policy) {
    if (visible || busy)
        return State::Active;
    if (hiddenForMs >= policy.discardAfterMs)
        return State::Discarded;
    if (hiddenForMs >= policy.freezeAfterMs)
        return State::Frozen;
    return State::Active;
}

qint64 memoryBudgetFromEnvironment() {
    bool ok = false;
    const qint64 mb = qEnvironmentVariableIntValue("KORVIX_MEMORY_BUDGET_MB", &ok);
    return ok && mb >= 0 ? mb * 1024 * 1024 : Policy().memoryBudgetBytes;
}

int pagesOverBudget(qint64 used, qint64 budget, int pages) {
    if (budget <= 0 || used <= budget || pages <= 0)
        return 0;
    const qint64 perPage = qMax<qint64>(1, used / pages);
    return int(qBound(qint64(1), (used - budget + perPage - 1) / perPage, qint64(pages)));
}

} // namespace Lifecycle
