// Implied volatility by window halving. A window is centred one above the
// previous end point and probed sixteen times: price at v, then step v up
// (price below the target) or down (otherwise) by 1/2, 1/4, ..., 2^-16.
// The point after the last step is returned unpriced, so the resolution is
// 2^-16. A window whose sixteen steps all go up is followed by the next
// window, centred 2 - 2^-16 higher; one whose steps all go down returns its
// centre less one (0 for the first window). Relies only on the price
// rising with the volatility; no tolerance, no derivative.
//
// A target above every price the pricer can give sends every window up.
// The search stops after kMaxWindows such windows and returns NaN.
#ifndef VEXAL_WINDOW_SEARCH_H
#define VEXAL_WINDOW_SEARCH_H

#include <cmath>

namespace vexal {

inline constexpr int kProbesPerWindow = 16;
inline constexpr int kMaxWindows = 64;

// price_at(v) prices the option at volatility v.
template <class Pricer>
double window_search(Pricer price_at, double target) {
  double v = 0.0;
  for (int window = 0; window < kMaxWindows; ++window) {
    int up = 0;
    double h = 1.0;
    v = 1.0 + v;
    const double centre = v;
    for (int probe = 0; probe < kProbesPerWindow; ++probe) {
      h = h / 2.0;
      const double gap = target - price_at(v);
      if (gap > 0) {
        ++up;
        v = h + v;
      } else {
        v = v - h;
      }
    }
    if (up == kProbesPerWindow) continue;
    if (up == 0) v = -1.0 + centre;
    return v;
  }
  return NAN;
}

}  // namespace vexal

#endif
