// The C API of include/vexal_batch.h: every pure export over rows, bit for
// bit what single calls give on 1, 2 and 7 threads; the fits on caller-owned
// state against the export sequences; refused input; stopping.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "../include/vexal_batch.h"
#include "core/functions.h"
#include "exports/calls.h"
#include "exports/export_info.h"
#include "exports/in_process.h"
#include "garch_sim.h"
#include "precise/functions.h"
#include "typical_args.h"

namespace {

using Clock = std::chrono::steady_clock;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct RowArgs {
  std::vector<double> nums;
  std::vector<const double*> arrays;
};

const auto& kSingle = vexal::in_process<RowArgs>;

// Columns for `rows` rows of export e: each number a column (stride 1, with
// a few NaN) or one value (stride 0); each array a block of kWidth per row
// or one shared array; counts up to kWidth, some fractional, some NaN.
constexpr long long kWidth = 9;
struct Columns {
  std::vector<std::vector<double>> data;
  std::vector<long long> strides;
  std::vector<const double*> ptrs;
};

Columns make_columns(const vexal::ExportInfo& e, long long rows, std::mt19937& gen) {
  std::uniform_real_distribution<double> u(0, 1);
  Columns c;
  for (std::size_t j = 0; j < e.argc; ++j) {
    const std::string name = e.args[j].name;
    const bool shared = u(gen) < 0.3;
    const long long len = shared ? 1 : rows;
    std::vector<double> v;
    if (e.args[j].is_array) {
      for (long long i = 0; i < len * kWidth; ++i) v.push_back(name == "times" ? u(gen) : 90 + 20 * u(gen));
      c.strides.push_back(shared ? 0 : kWidth);
    } else {
      for (long long i = 0; i < len; ++i) {
        double x = typical_value(name) * (0.8 + 0.4 * u(gen));
        if (name == "n" || name == "count") x = u(gen) < 0.7 ? std::floor(u(gen) * (kWidth + 1)) : u(gen) * (kWidth - 0.5);
        if (name == "steps") x = std::floor(5 + 25 * u(gen));
        if (name == "k") x = std::floor(1 + 3 * u(gen));
        if (name == "order") x = u(gen) < 0.5;
        if (u(gen) < 0.03) x = kNaN;
        v.push_back(x);
      }
      c.strides.push_back(shared ? 0 : 1);
    }
    c.data.push_back(std::move(v));
  }
  for (const auto& v : c.data) c.ptrs.push_back(v.data());
  return c;
}

std::vector<double> single_calls(std::size_t index, const Columns& c, long long rows) {
  const vexal::ExportInfo& e = vexal::kExports[index];
  std::vector<double> out(static_cast<std::size_t>(rows));
  for (long long i = 0; i < rows; ++i) {
    RowArgs a;
    for (std::size_t j = 0; j < e.argc; ++j) {
      const double* p = c.ptrs[j] + i * c.strides[j];
      if (e.args[j].is_array) a.arrays.push_back(p); else a.nums.push_back(*p);
    }
    out[static_cast<std::size_t>(i)] = kSingle[index](a);
  }
  return out;
}

}  // namespace

TEST(Map, EveryPureExportGivesTheSingleCallsBitsOnAnyThreadCount) {
  std::mt19937 gen(15);
  for (std::size_t index = 0; index < vexal::kExportCount; ++index) {
    const vexal::ExportInfo& e = vexal::kExports[index];
    if (vexal::keeps_state(e)) continue;
    // Enough rows for a few milliseconds of work, so that the workers start.
    long long rows = 64;
    Columns c;
    std::vector<double> want;
    for (;;) {
      c = make_columns(e, rows, gen);
      const auto t0 = Clock::now();
      want = single_calls(index, c, rows);
      if (Clock::now() - t0 > std::chrono::milliseconds(5) || rows >= (1 << 16)) break;
      rows *= 4;
    }
    for (int threads : {1, 2, 7}) {
      std::vector<double> got(static_cast<std::size_t>(rows), -1.0);
      ASSERT_EQ(vexal_map(e.name, rows, c.ptrs.data(), c.strides.data(), got.data(), threads), VEXAL_OK) << e.name;
      long long differ = 0;
      for (long long i = 0; i < rows; ++i) differ += !same(got[i], want[i]);
      EXPECT_EQ(differ, 0) << e.name << " on " << threads << " threads, " << rows << " rows";
    }
  }
}

// The precise family by table name: every function over rows that reach its
// hard regions (far from the money, expired, tiny and huge sigma and T,
// negative rates and yields, prices outside the attainable range, NaN), bit
// for bit the single calls on 1, 2 and 7 threads.
// American rows with dividends cost seconds a row under the sanitizers:
// there they are drawn (the same draws follow) but not evaluated; the
// native build checks them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSkipSlowRows = true;
#else
constexpr bool kSkipSlowRows = false;
#endif

TEST(Map, EveryPreciseFunctionGivesTheSingleCallsBits) {
  std::mt19937 gen(19);
  std::uniform_real_distribution<double> u(0, 1);
  auto pick = [&](std::initializer_list<double> v) { return v.begin()[static_cast<std::size_t>(u(gen) * v.size())]; };
  auto value = [&](const std::string& name) {
    if (u(gen) < 0.02) return kNaN;
    if (name == "x") return u(gen) < 0.5 ? -40 + 45 * u(gen) : 6 * u(gen) - 3;
    if (name == "S" || name == "K") return 100 * std::exp(u(gen) < 0.2 ? 12 * u(gen) - 6 : u(gen) - 0.5);
    if (name == "T") return u(gen) < 0.2 ? pick({0.0, -0.5, 1e-9, 1e-4, 30.0, 200.0}) : 3 * u(gen);
    if (name == "r" || name == "q") return u(gen) < 0.2 ? pick({0.0, -0.02, 0.25}) : 0.12 * u(gen) - 0.03;
    if (name == "sigma") return u(gen) < 0.2 ? pick({0.0, 1e-6, 0.005, 3.0, 10.0}) : 0.05 + 0.75 * u(gen);
    if (name == "price") return u(gen) < 0.2 ? pick({0.0, 1e-200, 150.0, 1e6}) : 40 * u(gen) * u(gen);
    return typical_value(name) * (0.5 + u(gen));
  };
  for (std::size_t index = 0; index < vexal::kPreciseCount; ++index) {
    const vexal::ExportInfo& e = vexal::kPrecise[index];
    // A fixed count, so that the rows drawn never depend on the machine's speed.
    const bool american = std::string(e.name).find("american") != std::string::npos;
    // Rows with cash dividends: a schedule of up to four per row (a block of
    // kWidth), the count drawn among 0..4 and a few fractions and NaN.
    bool dividends = false;
    for (std::size_t j = 0; j < e.argc; ++j) dividends = dividends || e.args[j].is_array;
    // American rows with dividends cost milliseconds each: a few rows show
    // the bits; the domain check needs more.
    const long long rows = dividends ? (american ? 6 : 32) : american ? 64 : 4096;
    const bool skip = kSkipSlowRows && dividends && american;
    std::vector<std::vector<double>> cols(e.argc);
    for (std::size_t j = 0; j < e.argc; ++j)
      for (long long i = 0; i < rows; ++i) {
        const std::string name = e.args[j].name;
        if (e.args[j].is_array) {
          for (long long k = 0; k < kWidth; ++k) cols[j].push_back(name == "times" ? 3 * u(gen) : 5 * u(gen));
        } else if (dividends && name == "n") {
          cols[j].push_back(u(gen) < 0.05 ? kNaN : u(gen) < 0.8 ? std::floor(5 * u(gen)) : 4 * u(gen));
        } else {
          cols[j].push_back(value(name));
        }
      }
    // An implied volatility is asked for the price of a volatility (itself,
    // or one nudged by a few ulp) on most rows, priced by its own family.
    for (std::size_t j = 0; j < e.argc; ++j) {
      if (std::string(e.args[j].name) != "price" || e.argc != 6) continue;
      const bool put = std::string(e.name).find("put") != std::string::npos;
      for (long long i = 0; i < rows; ++i) {
        if (u(gen) < 0.4) continue;
        const double sigma = value("sigma"), S = cols[0][i], K = cols[1][i], T = cols[2][i], r = cols[3][i],
                     q = cols[5][i];
        cols[j][i] = american ? (put ? vexal::precise_put_american(S, K, T, r, sigma, q)
                                     : vexal::precise_call_american(S, K, T, r, sigma, q))
                              : (put ? vexal::precise_put_eur(S, K, T, r, sigma, q)
                                     : vexal::precise_call_eur(S, K, T, r, sigma, q));
        if (u(gen) < 0.2) cols[j][i] *= 1 + (u(gen) - 0.5) * 1e-15;
      }
    }
    // The same with dividends: the price of a volatility under the row's schedule.
    if (dividends && std::string(e.name).find("impvol") != std::string::npos) {
      const bool put = std::string(e.name).find("put") != std::string::npos;
      using Fn = double (*)(double, double, double, double, double, const double*, const double*, double);
      const Fn price = american ? (put ? vexal::precise_put_american_d : vexal::precise_call_american_d)
                                : (put ? vexal::precise_put_eur_d : vexal::precise_call_eur_d);
      for (long long i = 0; i < rows; ++i) {
        if (u(gen) < 0.4) continue;
        const double sigma = value("sigma");
        if (!skip)
          cols[4][i] = price(cols[0][i], cols[1][i], cols[2][i], cols[3][i], sigma, cols[5].data() + i * kWidth,
                             cols[6].data() + i * kWidth, cols[7][i]);
      }
    }
    if (skip) continue;
    std::vector<double> want(static_cast<std::size_t>(rows));
    for (long long i = 0; i < rows; ++i) {
      RowArgs a;
      for (std::size_t j = 0; j < e.argc; ++j)
        if (e.args[j].is_array) a.arrays.push_back(cols[j].data() + i * kWidth); else a.nums.push_back(cols[j][i]);
      want[i] = kSingle[vexal::function_index(e)](a);
    }
    std::vector<const double*> ptrs;
    for (const auto& c : cols) ptrs.push_back(c.data());
    std::vector<long long> strides(e.argc, 1);
    for (std::size_t j = 0; j < e.argc; ++j)
      if (e.args[j].is_array) strides[j] = kWidth;
    long long nan = 0;
    for (double w : want) nan += std::isnan(w);
    if (rows >= 16) {
      EXPECT_LT(nan, rows / 2) << e.name << ": the rows should mostly be in its domain";
    }
    for (int threads : {1, 2, 7}) {
      std::vector<double> got(static_cast<std::size_t>(rows), -1.0);
      ASSERT_EQ(vexal_map(e.name, rows, ptrs.data(), strides.data(), got.data(), threads), VEXAL_OK) << e.name;
      long long differ = 0;
      for (long long i = 0; i < rows; ++i) differ += !same(got[i], want[i]);
      EXPECT_EQ(differ, 0) << e.name << " on " << threads << " threads, " << rows << " rows";
    }
  }
}

// Each many-series form sees the series `copies` times over, in one block of
// `stride` per series, so that the work is shared out; its results must
// repeat `want` (one group of `width` per series).
template <class Fit>
void expect_many(const std::vector<std::vector<double>>& series, int copies, long long stride, int width,
                 const std::vector<double>& want, Fit fit) {
  const long long count = copies * static_cast<long long>(series.size());
  std::vector<double> block(count * stride, 7.0);
  std::vector<long long> lengths;
  for (long long k = 0; k < count; ++k) {
    const auto& p = series[k % series.size()];
    std::copy(p.begin(), p.end(), block.begin() + k * stride);
    lengths.push_back(static_cast<long long>(p.size()));
  }
  for (int threads : {1, 2, 7}) {
    std::vector<double> got(width * count);
    ASSERT_EQ(fit(count, block.data(), stride, lengths.data(), got.data(), threads), VEXAL_OK);
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(same(got[i], want[i % want.size()])) << i << " on " << threads;
  }
}

TEST(Fits, EqualTheExportSequencesBitForBit) {
  const std::vector<std::vector<double>> series = {
      {}, {100}, {100, 101}, {100, 101, 99}, {100, 100, 101, 99, 100}, {100, -1, 101, 99, 102},
      simulate_garch(300, 2e-6, 0.08, 0.9, 3), simulate_garch(3000, 2e-6, 0.08, 0.9, 1)};
  for (double newest_first : {0.0, 1.0}) {
    std::vector<double> want;
    for (const auto& p : series) {
      vexal::garch_paramc();
      vexal::Price_input(p.data(), static_cast<double>(p.size()), newest_first);
      vexal::garch_o(0.1, 0.8);
      const double seq[4] = {vexal::garch_param0(), vexal::garch_param1(), vexal::garch_param2(), vexal::garch_param3()};
      double r[4];
      ASSERT_EQ(vexal_garch_fit(p.data(), static_cast<long long>(p.size()), newest_first, 0.1, 0.8, r), VEXAL_OK);
      for (int i = 0; i < 4; ++i) EXPECT_TRUE(same(r[i], seq[i])) << p.size() << " prices, result " << i;
      want.insert(want.end(), seq, seq + 4);
    }
    expect_many(series, 4, 3000, 4, want, [&](long long n, const double* b, long long st, const long long* len,
                                               double* out, int threads) {
      return vexal_garch_fit_many(n, b, st, len, newest_first, 0.1, 0.8, out, threads);
    });
  }

  // Beyond the loader's capacity the whole series is fitted: omega / (1 -
  // alpha - beta) is the variance of all its log returns. (Equal first
  // prices make every objective NaN, so the fit stops at once.)
  std::vector<double> longer = simulate_garch(100005, 2e-6, 0.08, 0.9, 5);
  longer[1] = longer[0];
  double r[4];
  ASSERT_EQ(vexal_garch_fit(longer.data(), 100005, 0, 0.1, 0.8, r), VEXAL_OK);
  const double sd = vexal::Price_sd(longer.data(), 100005);
  EXPECT_TRUE(std::isnan(r[0]));
  EXPECT_NEAR(r[1] / ((1 - r[2]) - r[3]), sd * sd, 1e-12 * sd * sd);

  // Kelly tables (outcomes after probabilities): even bets, a fit that runs
  // past f = 1, a wide table.
  std::vector<std::vector<double>> tables = {{}, {0.6, 0.4, 1, -1}, {0.99, 0.01, 1, -1}, {0.5, 0.5, 2, -1}, {}};
  std::mt19937 gen(7);
  for (int i = 0; i < 200; ++i) tables.back().insert(tables.back().begin(), 1.0 / 200);
  for (int i = 0; i < 200; ++i) tables.back().push_back(std::uniform_real_distribution<double>(-0.9, 1.2)(gen));
  std::vector<std::vector<double>> probs, outcomes;
  for (const auto& t : tables) {
    probs.emplace_back(t.begin(), t.begin() + t.size() / 2);
    outcomes.emplace_back(t.begin() + t.size() / 2, t.end());
  }
  for (double f0 : {0.0, 0.5, -0.5}) {
    std::vector<double> want;
    for (std::size_t k = 0; k < tables.size(); ++k) {
      const auto& p = probs[k];
      vexal::kelly_paramc();
      vexal::kelly_input(p.data(), outcomes[k].data(), static_cast<double>(p.size()));
      vexal::kelly_o(f0);
      const double seq[3] = {vexal::kelly_f(), vexal::kelly_growth(), vexal::kelly_growth_sd()};
      double r[3];
      ASSERT_EQ(vexal_kelly_fit(p.data(), outcomes[k].data(), static_cast<long long>(p.size()), f0, r), VEXAL_OK);
      for (int i = 0; i < 3; ++i) EXPECT_TRUE(same(r[i], seq[i])) << "table " << k << ", result " << i;
      want.insert(want.end(), seq, seq + 3);
    }
    // The outcomes' block is laid out like the probabilities'.
    expect_many(probs, 40, 200, 3, want, [&](long long n, const double* b, long long st, const long long* len,
                                                 double* out, int threads) {
      std::vector<double> ob(n * st);
      for (long long k = 0; k < n; ++k) std::copy(outcomes[k % 5].begin(), outcomes[k % 5].end(), ob.begin() + k * st);
      return vexal_kelly_fit_many(n, b, ob.data(), st, len, f0, out, threads);
    });
  }
}

TEST(Api, BadInputIsRefusedAndWritesNothing) {
  const double one[] = {1.0}, col[] = {100, 100, 100};
  const double blocks[] = {100, 101, 102, 103, 104, 105};
  const double counts[] = {3, 4}, fractional[] = {3, 3.6}, nan_count[] = {kNaN, 1e300};
  const double* eur[6] = {col, one, one, one, one, one};
  const long long eur_s[6] = {1, 0, 0, 0, 0, 0}, neg_s[6] = {-1, 0, 0, 0, 0, 0};
  const double* sd_args[2] = {blocks, counts};
  const double* sd_frac[2] = {blocks, fractional};
  const double* sd_nan[2] = {blocks, nan_count};
  const double* sd_null[2] = {nullptr, counts};
  const long long sd_s[2] = {3, 1};
  const long long lengths[] = {3, 4}, neg_len[] = {3, -1};
  double out[8];
  const struct {
    const char* what;
    std::function<int()> call;
    int code;
  } cases[] = {
      {"unknown name", [&] { return vexal_map("call_europe", 2, eur, eur_s, out, 1); }, VEXAL_E_UNKNOWN_NAME},
      {"null name", [&] { return vexal_map(nullptr, 2, eur, eur_s, out, 1); }, VEXAL_E_NULL},
      {"a fit", [&] { return vexal_map("garch_o", 2, eur, eur_s, out, 1); }, VEXAL_E_STATEFUL},
      {"the simulator", [&] { return vexal_map("F_NextPrice", 2, eur, eur_s, out, 1); }, VEXAL_E_STATEFUL},
      {"negative rows", [&] { return vexal_map("call_eur", -1, eur, eur_s, out, 1); }, VEXAL_E_NEGATIVE},
      {"negative stride", [&] { return vexal_map("call_eur", 2, eur, neg_s, out, 1); }, VEXAL_E_NEGATIVE},
      {"negative threads", [&] { return vexal_map("call_eur", 2, eur, eur_s, out, -2); }, VEXAL_E_THREADS},
      {"null out", [&] { return vexal_map("call_eur", 2, eur, eur_s, nullptr, 1); }, VEXAL_E_NULL},
      {"null args", [&] { return vexal_map("call_eur", 2, nullptr, eur_s, out, 1); }, VEXAL_E_NULL},
      {"null strides", [&] { return vexal_map("call_eur", 2, eur, nullptr, out, 1); }, VEXAL_E_NULL},
      {"null column", [&] { return vexal_map("Price_sd", 2, sd_null, sd_s, out, 1); }, VEXAL_E_NULL},
      {"count over stride", [&] { return vexal_map("Price_sd", 2, sd_args, sd_s, out, 2); }, VEXAL_E_COUNT},
      {"fraction rounding over", [&] { return vexal_map("Price_sd", 2, sd_frac, sd_s, out, 1); }, VEXAL_E_COUNT},
      {"garch null result", [&] { return vexal_garch_fit(blocks, 3, 0, 0.1, 0.8, nullptr); }, VEXAL_E_NULL},
      {"garch null prices", [&] { return vexal_garch_fit(nullptr, 3, 0, 0.1, 0.8, out); }, VEXAL_E_NULL},
      {"garch negative n", [&] { return vexal_garch_fit(blocks, -3, 0, 0.1, 0.8, out); }, VEXAL_E_NEGATIVE},
      {"many over stride", [&] { return vexal_garch_fit_many(2, blocks, 3, lengths, 0, 0.1, 0.8, out, 1); }, VEXAL_E_COUNT},
      {"many negative length", [&] { return vexal_garch_fit_many(2, blocks, 3, neg_len, 0, 0.1, 0.8, out, 1); }, VEXAL_E_NEGATIVE},
      {"many negative series", [&] { return vexal_garch_fit_many(-1, blocks, 3, lengths, 0, 0.1, 0.8, out, 1); }, VEXAL_E_NEGATIVE},
      {"many null lengths", [&] { return vexal_garch_fit_many(2, blocks, 3, nullptr, 0, 0.1, 0.8, out, 1); }, VEXAL_E_NULL},
      {"kelly null outcomes", [&] { return vexal_kelly_fit(blocks, nullptr, 2, 0, out); }, VEXAL_E_NULL},
      {"kelly many over stride", [&] { return vexal_kelly_fit_many(2, blocks, blocks, 3, lengths, 0, out, 1); }, VEXAL_E_COUNT},
      {"kelly many threads", [&] { return vexal_kelly_fit_many(2, blocks, blocks, 4, lengths, 0, out, -1); }, VEXAL_E_THREADS},
  };
  for (const auto& c : cases) {
    for (double& o : out) o = -7.0;
    EXPECT_EQ(c.call(), c.code) << c.what;
    for (double o : out) EXPECT_EQ(o, -7.0) << c.what;
    EXPECT_STRNE(vexal_error(c.code), vexal_error(12345)) << c.what;
  }
  // Counts whose conversion fails read element 0 only; no rows is no work.
  EXPECT_EQ(vexal_map("Price_sd", 2, sd_nan, sd_s, out, 1), VEXAL_OK);
  EXPECT_EQ(vexal_map("call_eur", 0, nullptr, nullptr, nullptr, 1), VEXAL_OK);
  EXPECT_GE(vexal_default_threads(), 1);
}

TEST(Api, ProgressOnTheCallingThreadCanStopTheWork) {
  // put_binamer at 400 steps: enough rows for well over a second of work.
  const double S[] = {100}, K[] = {100}, T[] = {1}, r[] = {0.05}, sigma[] = {0.2}, steps[] = {400}, q[] = {0};
  const double* args[7] = {S, K, T, r, sigma, steps, q};
  const long long strides[7] = {};
  const double want = vexal::put_binamer(100, 100, 1, 0.05, 0.2, 400, 0);
  for (int threads : {1, 2}) {
    struct Seen {
      std::thread::id caller = std::this_thread::get_id();
      int calls = 0;
      bool other_thread = false;
      long long last_done = -1;
    } seen;
    auto stop_at_first = [](long long done, long long, void* user) {
      auto* s = static_cast<Seen*>(user);
      s->other_thread = s->other_thread || std::this_thread::get_id() != s->caller;
      s->last_done = done;
      return ++s->calls == 1 ? 1 : 0;
    };
    const long long rows = 200000;
    std::vector<double> out(rows, -1.0);
    const auto t0 = Clock::now();
    EXPECT_EQ(vexal_map_progress("put_binamer", rows, args, strides, out.data(), threads, stop_at_first, &seen),
              VEXAL_STOPPED);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2)) << threads;
    EXPECT_FALSE(seen.other_thread);
    EXPECT_EQ(seen.calls, 2);  // the stop, then the closing report
    long long done = 0;
    for (double v : out) done += !std::isnan(v);
    EXPECT_EQ(done, seen.last_done);
    for (long long i = 0; i < rows; ++i) ASSERT_TRUE(i < done ? same(out[i], want) : std::isnan(out[i])) << i;
  }
}

TEST(Api, ManyKellyFitsReportAfterALongFirstTableAndCanStop) {
  // Table 0 takes well over a report interval, the others next to nothing:
  // the first report follows table 0 (it used to wait for the whole run on
  // two threads), and stopping there leaves the later tables NaN.
  const long long big = 1000000, series = 4;
  std::vector<double> p(series * big, 0.0), o(series * big, 0.0);
  for (long long i = 0; i < big; ++i) {
    p[i] = 1.0 / big;
    o[i] = i % 3 == 0 ? 1.0 : -0.4;
  }
  const long long lengths[series] = {big, 2, 2, 2};
  for (long long k = 1; k < series; ++k) {
    p[k * big] = p[k * big + 1] = 0.5;
    o[k * big] = 1.0, o[k * big + 1] = -0.5;
  }
  struct Seen {
    std::vector<long long> done;
    int stop_at;
  };
  auto record = [](long long done, long long, void* user) {
    auto* s = static_cast<Seen*>(user);
    s->done.push_back(done);
    return static_cast<int>(s->done.size()) == s->stop_at ? 1 : 0;
  };
  double want[3];
  ASSERT_EQ(vexal_kelly_fit(p.data(), o.data(), big, 0.1, want), VEXAL_OK);
  for (int threads : {1, 2})
    for (int stop_at : {0, 1}) {
      Seen seen{{}, stop_at};
      std::vector<double> out(3 * series, -1.0);
      const int rc = vexal_kelly_fit_many_progress(series, p.data(), o.data(), big, lengths, 0.1, out.data(),
                                                   threads, record, &seen);
      EXPECT_EQ(rc, stop_at ? VEXAL_STOPPED : VEXAL_OK) << threads;
      ASSERT_GE(seen.done.size(), 2u) << threads << " " << stop_at;
      EXPECT_EQ(seen.done.front(), 1) << threads << " " << stop_at;
      for (int i = 0; i < 3; ++i) EXPECT_TRUE(same(out[i], want[i]));
      for (int i = 3; i < 3 * series; ++i) EXPECT_EQ(std::isnan(out[i]), stop_at == 1) << i;
    }
}
