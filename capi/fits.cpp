// The GARCH and Kelly fits on state owned by the call: one series, or a
// block of series shared out over threads like the rows of vexal_map.
#include <atomic>
#include <cmath>
#include <initializer_list>
#include <cstdint>

#include "batch/parallel.h"
#include "core/numeric.h"
#include "fitting/garch.h"
#include "fitting/kelly.h"

namespace vexal::batch {
namespace {

bool reversed(double newest_first) { return newest_first != 0.0 && !std::isnan(newest_first); }

// Fits one series into result[0..3]; false when the reversed copy could not be made.
bool garch_one(const double* prices, std::int64_t n, bool reverse, double alpha0, double beta0,
               double* result) {
  WorkArray copy(reverse ? n - 1 : -1);
  if (reverse && n > 0) {
    if (!copy) return false;
    for (std::int64_t i = 0; i < n; ++i) copy[static_cast<std::size_t>(n - 1 - i)] = prices[i];
    prices = copy.data();
  }
  GarchState g{};
  garch_fit(prices, n, alpha0, beta0, g);
  for (int k = 0; k < 4; ++k) result[k] = g.result[k];
  return true;
}

void kelly_one(const double* prob, const double* outcome, std::int64_t n, double f0, double* result) {
  const KellyTable table{prob, outcome, n};
  OptimiserState o{};
  kelly_fit(table, f0, o);
  result[0] = o.x[1];
  result[1] = kelly_growth_at(table, o.x[1]);
  result[2] = kelly_growth_sd_at(table, o.x[1]);
}


struct GarchJob {
  const double* prices;
  long long stride;
  const long long* lengths;
  bool reverse;
  double alpha0, beta0;
  double* results;
  mutable std::atomic<bool> out_of_memory{false};
};

void garch_range(const void* p, std::int64_t begin, std::int64_t end) {
  const GarchJob& j = *static_cast<const GarchJob*>(p);
  for (std::int64_t k = begin; k < end; ++k) {
    double* r = j.results + 4 * k;
    if (!garch_one(j.prices + k * j.stride, j.lengths[k], j.reverse, j.alpha0, j.beta0, r)) {
      r[0] = r[1] = r[2] = r[3] = NAN;
      j.out_of_memory.store(true, std::memory_order_relaxed);
    }
  }
}

struct KellyJob {
  const double* prob;
  const double* outcome;
  long long stride;
  const long long* lengths;
  double f0;
  double* results;
};

void kelly_range(const void* p, std::int64_t begin, std::int64_t end) {
  const KellyJob& j = *static_cast<const KellyJob*>(p);
  for (std::int64_t k = begin; k < end; ++k)
    kelly_one(j.prob + k * j.stride, j.outcome + k * j.stride, j.lengths[k], j.f0, j.results + 3 * k);
}

// Runs a many-series job; series not done are NaN.
int run_many(long long series, int threads, RangeFn fn, const void* job, Progress progress, double* results,
             int width) {
  std::int64_t done_until = 0;
  const int rc = run(series, resolve_threads(threads), fn, job, progress, done_until);
  if (rc == VEXAL_STOPPED || rc == VEXAL_E_RESOURCES)
    for (long long i = done_until * width; i < series * width; ++i) results[i] = NAN;
  return rc;
}

}  // namespace
}  // namespace vexal::batch

using namespace vexal::batch;

extern "C" VEXAL_API_EXPORT int vexal_garch_fit(const double* prices, long long n, double newest_first,
                                                double alpha0, double beta0, double result[4]) {
  if (n < 0) return VEXAL_E_NEGATIVE;
  if (!result || (n > 0 && !prices)) return VEXAL_E_NULL;
  double r[4];
  if (!garch_one(prices, n, reversed(newest_first), alpha0, beta0, r)) return VEXAL_E_MEMORY;
  for (int k = 0; k < 4; ++k) result[k] = r[k];
  return VEXAL_OK;
}

extern "C" VEXAL_API_EXPORT int vexal_garch_fit_many_progress(long long series, const double* prices,
                                                              long long stride, const long long* lengths,
                                                              double newest_first, double alpha0, double beta0,
                                                              double* results, int threads,
                                                              vexal_progress_fn progress, void* user) {
  if (const int rc = check_many(series, stride, lengths, results, threads, {prices}); rc != VEXAL_OK) return rc;
  const GarchJob job{prices, stride, lengths, reversed(newest_first), alpha0, beta0, results};
  const int rc = run_many(series, threads, garch_range, &job, {progress, user}, results, 4);
  return rc == VEXAL_OK && job.out_of_memory.load() ? VEXAL_E_MEMORY : rc;
}

extern "C" VEXAL_API_EXPORT int vexal_garch_fit_many(long long series, const double* prices, long long stride,
                                                     const long long* lengths, double newest_first, double alpha0,
                                                     double beta0, double* results, int threads) {
  return vexal_garch_fit_many_progress(series, prices, stride, lengths, newest_first, alpha0, beta0, results,
                                       threads, nullptr, nullptr);
}

extern "C" VEXAL_API_EXPORT int vexal_kelly_fit(const double* probabilities, const double* outcomes, long long n,
                                                double f0, double result[3]) {
  if (n < 0) return VEXAL_E_NEGATIVE;
  if (!result || (n > 0 && (!probabilities || !outcomes))) return VEXAL_E_NULL;
  kelly_one(probabilities, outcomes, n, f0, result);
  return VEXAL_OK;
}

extern "C" VEXAL_API_EXPORT int vexal_kelly_fit_many_progress(long long series, const double* probabilities,
                                                              const double* outcomes, long long stride,
                                                              const long long* lengths, double f0,
                                                              double* results, int threads,
                                                              vexal_progress_fn progress, void* user) {
  if (const int rc = check_many(series, stride, lengths, results, threads, {probabilities, outcomes});
      rc != VEXAL_OK)
    return rc;
  const KellyJob job{probabilities, outcomes, stride, lengths, f0, results};
  return run_many(series, threads, kelly_range, &job, {progress, user}, results, 3);
}

extern "C" VEXAL_API_EXPORT int vexal_kelly_fit_many(long long series, const double* probabilities,
                                                     const double* outcomes, long long stride,
                                                     const long long* lengths, double f0, double* results,
                                                     int threads) {
  return vexal_kelly_fit_many_progress(series, probabilities, outcomes, stride, lengths, f0, results, threads,
                                       nullptr, nullptr);
}
