// Calling a function of any export-table signature with arguments held as
// data: the numbers in order, and the arrays in order. Used by the CLI, the
// fuzzer and the tests that sweep the whole table.
#ifndef VEXAL_CALLS_H
#define VEXAL_CALLS_H

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <vector>

#include "exports/api.h"

namespace vexal {

// The usual holder; any struct with `nums` (doubles) and `arrays` (vectors
// of doubles or addresses) will do.
struct CallArgs {
  std::vector<double> nums;
  std::vector<std::vector<double>> arrays;
};

inline const double* address_of(const std::vector<double>& v) { return v.data(); }
inline const double* address_of(const double* p) { return p; }

template <class T, class Args> T next_arg(const Args& a, std::size_t& ni, std::size_t& ai) {
  if constexpr (std::is_same_v<T, double>) {
    return a.nums[ni++];
  } else {
    return address_of(a.arrays[ai++]);
  }
}

// The arguments of a as a tuple of P...; the braced list takes them left
// to right.
template <class... P, class Args> std::tuple<P...> arg_tuple(const Args& a) {
  [[maybe_unused]] std::size_t ni = 0, ai = 0;
  return std::tuple<P...>{next_arg<P>(a, ni, ai)...};
}

// fn(arguments of a), for a function of the library.
template <class R, class Args, class... P> R apply_args(R (*fn)(P...), const Args& a) {
  return std::apply(fn, arg_tuple<P...>(a));
}

// The same through the address of an export of the loaded library, called
// with the export convention and read back as R:
// Exported<double>::call<double, const double*>(address, args).
template <class R, class Args = CallArgs> struct Exported {
  template <class... P> static R call(void* fp, const Args& a) {
    return std::apply(reinterpret_cast<R(VEXAL_CALL*)(P...)>(fp), arg_tuple<P...>(a));
  }
};

}  // namespace vexal

#endif
