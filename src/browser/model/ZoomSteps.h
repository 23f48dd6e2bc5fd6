#pragma once

// The zoom steps of a browser window, from 25 % to 500 %, as browsers offer
// them.
namespace ZoomSteps {
inline constexpr double Smallest = 0.25;
inline constexpr double Largest = 5.0;
// The factor `steps` steps above (or below, for negative steps) `factor`;
// held at the ends. A factor between two steps goes to the next one.
double step(double factor, int steps);
} // namespace ZoomSteps
