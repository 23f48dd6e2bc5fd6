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

} // namespace Lifecycle
