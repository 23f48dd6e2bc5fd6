#include "browser/model/ZoomSteps.h"

#include <array>
#include <cmath>

namespace {
constexpr std::array<double, 17> Steps = {0.25, 0.33, 0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                                          1.25, 1.5,  1.75, 2.0,  2.5,  3.0, 4.0, 5.0};
constexpr double Near = 0.005;
} // namespace

double ZoomSteps::step(double factor, int steps) {
    // The step the factor stands on, or the one just below it.
    int at = 0;
    bool onStep = false;
    for (int i = 0; i < int(Steps.size()); ++i) {
        if (Steps[size_t(i)] <= factor + Near) {
            at = i;
            onStep = std::abs(Steps[size_t(i)] - factor) <= Near;
        }
    }
    // Between two steps, the one just below is the first move down.
    if (!onStep && steps < 0)
        ++steps;
    const int target = at + steps;
    if (target < 0)
        return Steps.front();
    if (target >= int(Steps.size()))
        return Steps.back();
    return Steps[size_t(target)];
}
