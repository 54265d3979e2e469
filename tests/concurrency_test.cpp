// The pure exports called from several threads at once return exactly what
// they return called one at a time. Run under ThreadSanitizer, this also
// shows that they share nothing writable. The fits and the generator keep
// module state and are left out: the host calls them from one thread.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "exports/calls.h"
#include "exports/export_info.h"
#include "exports/in_process.h"
#include "typical_args.h"

// mingw's win32 thread model has no std::thread.
#if defined(_WIN32) && defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
#define VEXAL_NO_THREADS 1
#else
#include <atomic>
#include <thread>
#endif

#if !defined(VEXAL_NO_THREADS)
namespace {

const std::set<std::string> kStateful = {
    "Price_input",  "garch_o",     "garch_param0", "garch_param1", "garch_param2", "garch_param3",
    "garch_paramc", "kelly_input", "kelly_o",      "kelly_f",      "kelly_growth", "kelly_growth_sd",
    "kelly_paramc", "RanMT1",      "RanMT3",       "RanMTInit",    "gaussMT",      "F_NextPrice"};

using Call = vexal::CallArgs;

double value(const std::string& name, int variant) {
  // Longer series, more steps and a longer holding period than usual.
  double v = name == "n" ? 40 : name == "steps" ? 30 : name == "k" ? 3 : typical_value(name);
  // Variants move the numbers (not the counts) a little, and the last one
  // puts a NaN where the call's first number was.
  if (name != "n" && name != "steps" && name != "k" && name != "order") v *= 1.0 + 0.05 * variant;
  return v;
}

Call make_call(const vexal::ExportInfo& e, int variant) {
  Call c;
  for (std::size_t i = 0; i < e.argc; ++i) {
    if (e.args[i].is_array) {
      std::vector<double> a(40);
      const std::string name = e.args[i].name;
      for (std::size_t j = 0; j < a.size(); ++j) {
        const double x = static_cast<double>(j + 7 * c.arrays.size() + 3 * variant);
        if (name == "times") a[j] = 0.02 + 0.045 * x;
        else if (name == "amounts") a[j] = 0.4;
        else a[j] = 100.0 + 4.0 * std::sin(0.9 * x) + (name == "high" ? 5 : name == "low" ? -5 : 0);
      }
      c.arrays.push_back(a);
    } else {
      c.nums.push_back(value(e.args[i].name, variant));
    }
  }
  if (variant == 3 && !c.nums.empty()) c.nums[0] = NAN;
  return c;
}

const auto& kCallers = vexal::in_process<Call>;

std::uint64_t bits(double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

struct Job {
  std::size_t index;
  Call call;
  std::uint64_t want;
};

}  // namespace
#endif

TEST(Concurrency, PureExportsGiveTheSameBitsInEveryThread) {
#if defined(VEXAL_NO_THREADS)
  GTEST_SKIP() << "no std::thread in this build's thread model";
#else
  std::vector<Job> jobs;
  for (std::size_t i = 0; i < vexal::kExportCount; ++i) {
    if (kStateful.count(vexal::kExports[i].name)) continue;
    for (int variant = 0; variant < 4; ++variant) {
      Job j{i, make_call(vexal::kExports[i], variant), 0};
      j.want = bits(kCallers[i](j.call));
      jobs.push_back(std::move(j));
    }
  }
  ASSERT_EQ(jobs.size(), 4 * (vexal::kExportCount - kStateful.size()));

  constexpr int kThreads = 4, kRounds = 8;
  std::atomic<int> ready{0};
  std::vector<std::vector<std::size_t>> mismatches(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      // Each thread walks the jobs from its own starting point, so that
      // different exports overlap in time.
      for (int round = 0; round < kRounds; ++round) {
        for (std::size_t k = 0; k < jobs.size(); ++k) {
          const Job& j = jobs[(k + static_cast<std::size_t>(t) * jobs.size() / kThreads) % jobs.size()];
          if (bits(kCallers[j.index](j.call)) != j.want) mismatches[t].push_back(j.index);
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t)
    for (std::size_t index : mismatches[t]) ADD_FAILURE() << vexal::kExports[index].name << " in thread " << t;
#endif
}
