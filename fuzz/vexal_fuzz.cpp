// libFuzzer target: every input is a short program of calls of the exports
// and the precise functions.
//
// Each call is a function index (function_index: the 88, then the precise
// family) followed by its arguments. A number is drawn
// from a pool of ordinary and hostile values (NaN, infinities, signed zeros,
// subnormals, huge magnitudes, negative and fractional counts), from a small
// integer or quarter range, or from eight raw bytes. An array is allocated on
// the heap with exactly the elements that the call's count entitles the
// export to read, so AddressSanitizer reports any read past either end.
// The fits and the generator keep their state from call to call within one
// input; each input starts from cleared fits and a fixed seed so that a
// finding reproduces.
//
// A binomial step count whose floor is a tree of more than 64 steps is folded
// below 65, to keep each input fast; negative counts and counts with no
// 32-bit floor pass unchanged. So is a dividend schedule (the precise rows
// with arrays) longer than 4 dates, and an input ends before its second
// dividend American, whose price is a boundary solved per period (up to
// seconds in this instrumented build, ten times that for an implied
// volatility). Nothing else is filtered.
//
// Beyond the sanitizers, the promises the library makes for any input are
// checked: action exports return 1.0, loads return 1.0 or NaN by the
// capacity rule, draws stay in range, and a pure export called twice gives
// the same bits. VEXAL_FUZZ_NO_CHECKS=1 leaves only the sanitizers;
// VEXAL_FUZZ_TRACE=1 prints each call.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <tuple>
#include <vector>

#include "core/functions.h"
#include "core/numeric.h"
#include "exports/calls.h"
#include "exports/export_info.h"
#include "exports/in_process.h"
#include "batch/lane_rows.h"
#include "include/vexal_batch.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMaxDouble = std::numeric_limits<double>::max();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();
constexpr double kMinNormal = std::numeric_limits<double>::min();

// Index 0 is what an exhausted input yields, so it is ordinary.
const double kPool[] = {
    1.0, 100.0, 95.0, 110.0, 0.5, 0.25, 0.2, 0.05, 0.03, 0.01,
    2.0, 3.0, 6.0, 10.0, 40.0, 64.0, 0.94, 252.0, 0.1, 0.8,
    0.6, 0.4, -1.0, -0.5, 1.01, 0.99, 1e-4, 0.0005, 5000.0, 1.5,
    2.5, 3.5, 0.4, 0.6, 120.0, 80.0, 1.2, 0.9, 7.5, 30.0,
    // hostile
    kNaN, -kNaN, kInf, -kInf, 0.0, -0.0, kTiny, -kTiny, kMinNormal, 2.2250738585072009e-308,
    kMaxDouble, -kMaxDouble, 1e300, -1e300, 1e-300, -1e-300, 1e15, -1e15, 1e154, 1e-154,
    -2.0, -1.5, -3.0, -100.0, 0.49999999999999994, 1.5000000000000002, 4503599627370496.5, 9007199254740993.0,
    2147483647.0, 2147483647.5, 2147483648.0, 2147483648.5, -2147483648.0, -2147483648.5, -2147483649.0,
    4294967296.0, 4294967295.0, 9.3e18, -9.3e18,
    // at and around the capacities of the two loaded tables
    10000.5, 10001.0, 10001.4, 10001.5, 10001.9, 10002.0, 10002.5,
    100000.5, 100001.0, 100001.4, 100001.5, 100001.9, 100002.0, 100002.5,
};
constexpr std::size_t kPoolSize = sizeof kPool / sizeof kPool[0];

// Largest array a call may be given; counts entitled to more are folded.
constexpr std::size_t kMaxElements = 100004;
constexpr double kMaxSteps = 64.0;
constexpr int kMaxCalls = 48;
// A GARCH fit costs up to about 4,000 passes over the loaded prices (seconds
// over a full table in this instrumented build). An input ends before the
// fit that would take its total past this many prices; the fit is not
// skipped, the input is just over, as if its bytes had run out.
constexpr double kGarchPriceBudget = 200000;
constexpr std::size_t kMaxDividends = 4;
constexpr int kDividendAmericans = 1;
// An American with dividends is priced date by date; a call with r < 0 at
// 16 and 32 exercise dates a year up to the last dividend, and past it at
// an American price a node. Over a century that takes a minute even
// optimised; an input whose expiry or dividend date lies beyond this many
// years is over, as past the GARCH budget.
constexpr double kAmericanYears = 10;

// The input read from the front; an exhausted input reads as zeros.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  std::size_t remaining_bytes() const { return static_cast<std::size_t>(end_ - p_); }
  template <class T> T ConsumeIntegral() {
    T v = 0;
    for (std::size_t i = 0; i < sizeof(T) && p_ < end_; ++i) v |= static_cast<T>(static_cast<T>(*p_++) << (8 * i));
    return v;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

double draw_number(Input& in) {
  const std::uint8_t s = in.ConsumeIntegral<std::uint8_t>();
  if (s < 0x80) return kPool[s % kPoolSize];
  if (s < 0xB0) return static_cast<double>(s - 0x80) - 4.0;          // -4 .. 43
  if (s < 0xF0) return (static_cast<double>(s - 0xB0) - 8.0) / 4.0;  // -2 .. 13.75
  double raw = 0;
  std::uint64_t bits = in.ConsumeIntegral<std::uint64_t>();
  std::memcpy(&raw, &bits, sizeof raw);
  return raw;
}

// Elements an export may read for a count: indices 0 .. nearest(count - 1).
std::size_t entitled(double count) {
  const std::int32_t last = vexal::to_int_nearest(count - 1.0);
  return last < 0 ? 0 : static_cast<std::size_t>(last) + 1;
}

double draw_count(Input& in, bool schedule) {
  double c = draw_number(in);
  if (entitled(c) > kMaxElements) c = std::fmod(c, 67.0);
  if (schedule && entitled(c) > kMaxDividends) c = std::fmod(c, kMaxDividends + 0.5);
  return c;
}

double draw_steps(Input& in) {
  double s = draw_number(in);
  // A floor that fits a 32-bit integer and exceeds the cap would build a
  // large tree; anything else (NaN, infinities, out of range) passes.
  if (s >= kMaxSteps + 1.0 && s < 2147483648.0) s = std::fmod(s, kMaxSteps + 1.0);
  return s;
}

// A heap array of exactly `size` doubles (a zero-size allocation when size is
// 0, so that any read of it is reported).
struct HeapArray {
  explicit HeapArray(std::size_t size) : p(static_cast<double*>(std::malloc(size * sizeof(double)))) {}
  ~HeapArray() { std::free(p); }
  HeapArray(HeapArray&& o) noexcept : p(o.p) { o.p = nullptr; }
  HeapArray(const HeapArray&) = delete;
  HeapArray& operator=(const HeapArray&) = delete;
  double* p;
};

void fill(Input& in, double* a, std::size_t size) {
  const std::uint8_t mode = in.ConsumeIntegral<std::uint8_t>() % 4;
  if (mode == 0 || mode == 3) {
    // A random walk of prices from 100 (mode 3: with an occasional drawn value).
    std::uint32_t state = in.ConsumeIntegral<std::uint32_t>() | 1u;
    double p = 100.0;
    for (std::size_t i = 0; i < size; ++i) {
      state ^= state << 13, state ^= state >> 17, state ^= state << 5;
      p *= 1.0 + (static_cast<double>(state % 2001) - 1000.0) * 2e-5;
      a[i] = p;
      if (mode == 3 && state % 16 == 0) a[i] = draw_number(in);
    }
  } else if (mode == 1) {
    // Drawn one by one; a long array repeats the first 64.
    for (std::size_t i = 0; i < size; ++i) a[i] = i < 64 ? draw_number(in) : a[i % 64];
  } else {
    const double v = draw_number(in);
    for (std::size_t i = 0; i < size; ++i) a[i] = v;
  }
}

struct Call {
  std::vector<double> nums;
  std::vector<const double*> arrays;
};

const auto& kCallers = vexal::in_process<Call>;

// What each export reads, found from its argument names.
struct Shape {
  int count_arg = -1;  // position of n or count
  int steps_arg = -1;
  std::size_t min_elements = 0;
  bool pure = true;      // reads and writes no module state
  bool schedule = false;  // the arrays are a dividend schedule
  bool american = false;  // ... of an American
};

bool is(const char* a, const char* b) { return !std::strcmp(a, b); }

bool keeps_state(const char* name) {
  return !std::strncmp(name, "garch_", 6) || !std::strncmp(name, "kelly_", 6) || is(name, "Price_input") ||
         !std::strncmp(name, "RanMT", 5) || is(name, "gaussMT") || is(name, "F_NextPrice");
}

struct Shapes {
  Shape s[vexal::kFunctionCount];
  Shapes() {
    for (std::size_t i = 0; i < vexal::kFunctionCount; ++i) {
      const vexal::ExportInfo& e = vexal::function_at(i);
      bool arrays = false;
      for (std::size_t a = 0; a < e.argc; ++a) {
        const char* name = e.args[a].name;
        if (e.args[a].is_array) arrays = true;
        else if (!std::strcmp(name, "n") || !std::strcmp(name, "count")) s[i].count_arg = static_cast<int>(a);
        else if (!std::strcmp(name, "steps")) s[i].steps_arg = static_cast<int>(a);
      }
      if (arrays && s[i].count_arg < 0) {
        std::fprintf(stderr, "export %s has arrays and no count\n", e.name);
        std::abort();
      }
      // The drawdowns read p[0] whatever the count.
      if (!std::strcmp(e.name, "MaxDrawdown") || !std::strcmp(e.name, "MaxTimeDrawdown")) s[i].min_elements = 1;
      s[i].pure = !keeps_state(e.name);
      s[i].schedule = arrays && !std::strncmp(e.name, "precise_", 8);
      s[i].american = s[i].schedule && std::strstr(e.name, "american");
    }
  }
};

bool checks_on() {
  static const bool on = [] {
    const char* v = std::getenv("VEXAL_FUZZ_NO_CHECKS");
    return !(v && *v && std::strcmp(v, "0"));
  }();
  return on;
}

// VEXAL_FUZZ_TRACE=1: each call's name, numbers, result and time, to read
// a finding.
bool tracing() {
  static const bool on = [] {
    const char* v = std::getenv("VEXAL_FUZZ_TRACE");
    return v && *v && std::strcmp(v, "0");
  }();
  return on;
}

[[noreturn]] void broken(const char* name, const char* what, double result) {
  std::fprintf(stderr, "%s: %s (returned %.17g)\n", name, what, result);
  std::abort();
}

// Whether a load of `count` entries into a table of `capacity` is accepted.
bool load_accepted(double count, std::int32_t capacity) {
  const std::int32_t whole = vexal::to_int_floor(count);
  const std::int32_t last = vexal::to_int_nearest(count - 1.0);
  return whole >= 0 && whole <= capacity && last < capacity;
}

void check(const vexal::ExportInfo& e, double count, double r) {
  const char* name = e.name;
  if (is(name, "garch_o") || is(name, "garch_paramc") || is(name, "kelly_o") || is(name, "kelly_paramc") ||
      is(name, "RanMTInit")) {
    if (r != 1.0) broken(name, "an action export did not return 1.0", r);
  } else if (is(name, "Price_input") || is(name, "kelly_input")) {
    const bool ok = load_accepted(count, is(name, "Price_input") ? 100001 : 10001);
    if (ok ? r != 1.0 : !std::isnan(r)) broken(name, ok ? "an acceptable load was refused" : "an oversized load was taken", r);
  } else if (is(name, "RanMT1")) {
    if (!(r >= 0.0 && r < 1.0)) broken(name, "draw outside [0, 1)", r);
  } else if (is(name, "RanMT3")) {
    if (!(r > 0.0 && r < 1.0)) broken(name, "draw outside (0, 1)", r);
  } else if (is(name, "gaussMT")) {
    if (!std::isfinite(r)) broken(name, "draw not finite", r);
  }
}

// The same call as one row of vexal_map gives the same bits, and as each
// of four rows where the function has four-lane rows (one group of them,
// on the baseline build as well as the processor's best); with each array
// given as a block one element short of what the count reads, the map
// refuses the row and writes nothing.
void check_map(const vexal::ExportInfo& e, const Call& c, std::size_t elements, double r) {
  const double* args[10];
  long long strides[10] = {};
  std::size_t ni = 0, ai = 0;
  for (std::size_t a = 0; a < e.argc; ++a) args[a] = e.args[a].is_array ? c.arrays[ai++] : &c.nums[ni++];
  double out = -1.0;
  if (vexal_map(e.name, 1, args, strides, &out, 1) != VEXAL_OK || std::memcmp(&r, &out, sizeof r))
    broken(e.name, "one row of vexal_map differed from the call", out);
  if (vexal::batch::lane_rows(e.name))
    for (auto build : {vexal::batch::LaneBuild::baseline, vexal::batch::LaneBuild::best}) {
      vexal::batch::force_lane_build(build);
      double rows[4] = {-1.0, -1.0, -1.0, -1.0};
      const int code = vexal_map(e.name, 4, args, strides, rows, 1);
      for (double v : rows)
        if (code != VEXAL_OK || std::memcmp(&r, &v, sizeof r))
          broken(e.name, "a row of the four-lane vexal_map differed from the call", v);
    }
  if (ai == 0 || elements < 2) return;
  for (std::size_t a = 0; a < e.argc; ++a)
    if (e.args[a].is_array) strides[a] = static_cast<long long>(elements) - 1;
  out = -1.0;
  if (vexal_map(e.name, 1, args, strides, &out, 1) != VEXAL_E_COUNT || out != -1.0)
    broken(e.name, "vexal_map took a block shorter than its count", out);
}

const Shapes& shapes() {
  static const Shapes s;
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  vexal::garch_paramc();
  vexal::kelly_paramc();
  vexal::RanMTInit(5489);

  double garch_loaded = 0, garch_spent = 0;
  int americans = 0;
  for (int calls = 0; calls < kMaxCalls && in.remaining_bytes() > 0; ++calls) {
    const std::size_t index = in.ConsumeIntegral<std::uint8_t>() % vexal::kFunctionCount;
    const vexal::ExportInfo& e = vexal::function_at(index);
    const Shape& shape = shapes().s[index];

    Call c;
    double count = 0;
    for (std::size_t a = 0; a < e.argc; ++a) {
      if (e.args[a].is_array) continue;
      double v;
      if (static_cast<int>(a) == shape.count_arg) v = count = draw_count(in, shape.schedule);
      else if (static_cast<int>(a) == shape.steps_arg) v = draw_steps(in);
      else v = draw_number(in);
      c.nums.push_back(v);
    }
    std::vector<HeapArray> arrays;
    std::size_t elements = std::max(entitled(count), shape.min_elements);
    if (shape.count_arg < 0) elements = 0;
    for (std::size_t a = 0; a < e.argc; ++a) {
      if (!e.args[a].is_array) continue;
      arrays.emplace_back(elements);
      fill(in, arrays.back().p, elements);
      c.arrays.push_back(arrays.back().p);
    }

    if (shape.american && ++americans > kDividendAmericans) break;
    if (shape.american) {
      bool far = false;
      for (std::size_t a = 0, k = 0; a < e.argc; ++a) {
        if (e.args[a].is_array) continue;
        if (is(e.args[a].name, "T") && std::fabs(c.nums[k]) > kAmericanYears) far = true;
        ++k;
      }
      for (std::size_t i = 0; i < elements; ++i)
        if (std::fabs(c.arrays[0][i]) > kAmericanYears) far = true;
      if (far) break;
    }
    if (is(e.name, "garch_o")) {
      garch_spent += std::max(garch_loaded, 1.0);
      if (garch_spent > kGarchPriceBudget) break;
    }
    const auto started = std::chrono::steady_clock::now();
    const double r = kCallers[index](c);
    if (tracing()) {
      std::fprintf(stderr, "%s(", e.name);
      for (double v : c.nums) std::fprintf(stderr, " %.17g", v);
      std::fprintf(stderr, " ) = %.17g (%.3f s)\n", r,
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
    if (is(e.name, "Price_input") && r == 1.0) garch_loaded = std::floor(count);
    if (is(e.name, "garch_paramc")) garch_loaded = 0;
    if (checks_on()) {
      check(e, count, r);
      // A pure export depends on its arguments alone: asked again, it gives
      // the same bits (a read of memory it never wrote would show here).
      if (shape.pure) {
        const double again = kCallers[index](c);
        if (std::memcmp(&r, &again, sizeof r)) broken(e.name, "a second identical call differed", again);
        check_map(e, c, elements, r);
      }
    }
  }
  return 0;
}
