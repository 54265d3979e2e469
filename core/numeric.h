// Shared numerics: the module value Pi, integer conversion of counts, the
// NaN test of the pure functions, per-call working arrays.
#ifndef VEXAL_NUMERIC_H
#define VEXAL_NUMERIC_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace vexal {

// 3.14159265358979, set by the load-time initialiser (zero before it runs).
extern double Pi;

// Runs once per process at load: numeric environment, Pi, generator seed.
void initialise();

inline constexpr std::int32_t kBadInt = INT32_MIN;

// Count conversions. NaN and values outside the 32-bit range give
// kBadInt; the range test comes before the conversion, so no undefined
// behaviour is possible.
inline std::int32_t to_int_checked(double whole) {
  if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) return kBadInt;
  return static_cast<std::int32_t>(whole);
}

// Nearest, ties to the even integer, whatever the current rounding mode.
inline std::int32_t to_int_nearest(double x) {
  double f = std::floor(x);
  double diff = x - f;  // exact for finite x
  if (diff > 0.5 || (diff == 0.5 && std::fmod(f, 2.0) != 0.0)) f += 1.0;
  return to_int_checked(f);
}

inline std::int32_t to_int_floor(double x) { return to_int_checked(std::floor(x)); }

// NaN in, NaN out: a pure function returns NaN at once when a number
// argument is NaN, before a failed comparison or pow(1, NaN) = 1 can turn
// it into an ordinary-looking result.
template <class... X> inline bool any_nan(X... x) { return (... || std::isnan(x)); }

// The same for entries 0..last of a caller array (none when last < 0).
inline bool any_nan_in(const double* a, std::int64_t last) {
  for (std::int64_t i = 0; i <= last; ++i)
    if (std::isnan(a[i])) return true;
  return false;
}

// Whether the processor runs AVX2: the hot loops built for it give the same
// doubles as their baseline builds and are chosen where it does.
bool have_avx2();

// Allocation used by working arrays; tests may swap it to inject failure.
using ZeroAllocFn = void* (*)(std::size_t count, std::size_t size);
extern ZeroAllocFn work_alloc;

// A zero-filled array of doubles, indices 0..upper, owned by one call.
// data() is null when the storage cannot be obtained (or upper < 0).
class WorkArray {
 public:
  explicit WorkArray(std::int64_t upper) {
    if (upper >= 0 && static_cast<std::uint64_t>(upper) < SIZE_MAX / sizeof(double))
      p_ = static_cast<double*>(work_alloc(static_cast<std::size_t>(upper) + 1, sizeof(double)));
  }
  ~WorkArray() { std::free(p_); }
  WorkArray(const WorkArray&) = delete;
  WorkArray& operator=(const WorkArray&) = delete;

  double* data() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  double& operator[](std::size_t i) const { return p_[i]; }

 private:
  double* p_ = nullptr;
};

}  // namespace vexal

#endif
