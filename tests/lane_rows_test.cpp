// The four-lane row loops of vexal_map against the scalar calls, bit for
// bit, on the baseline and the AVX2 build: large random blocks with the
// far tails, region edges, NaN and infinities, at odd row counts (a partial
// group at the end), strided and broadcast columns, on 1 and 2 threads.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../include/vexal_batch.h"
#include "batch/lane_rows.h"
#include "core/numeric.h"
#include "precise/functions.h"

namespace {

using vexal::batch::LaneBuild;

const double kInf = std::numeric_limits<double>::infinity();

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Arguments of one variable: uniform over the whole range, each region's
// edges and their neighbours, and the special values.
std::vector<double> one_argument_block(std::size_t n) {
  std::vector<double> x;
  const double edges[] = {0.0, 0.46875 * 1.41421356237309504880, 4 * 1.41421356237309504880, 0.5, 5.75, 10, 37.5,
                          40, 1e-300, 5e-324};
  for (double e : edges)
    for (double s : {1.0, -1.0}) {
      x.push_back(s * e);
      x.push_back(std::nextafter(s * e, kInf));
      x.push_back(std::nextafter(s * e, -kInf));
    }
  for (int k = 2; k <= 23; ++k) x.push_back(-k / 4.0), x.push_back(k / 4.0);
  for (double v : {kInf, -kInf, std::numeric_limits<double>::quiet_NaN(), 1e308, -1e308}) x.push_back(v);
  std::mt19937_64 gen(32);
  std::uniform_real_distribution<double> wide(-45, 12), core(-6, 6);
  while (x.size() < n) x.push_back(x.size() % 2 ? wide(gen) : core(gen));
  std::shuffle(x.begin(), x.end(), gen);
  return x;
}

// Six arguments (S, K, T, r, sigma, q) of the European functions: ordinary
// books, far tails, tiny and huge sigma sqrt(T) (at the money too),
// negative rates, each
// column now and then a special value (0, a negative, NaN, infinity,
// extremes of the doubles).
std::vector<std::vector<double>> european_block(std::size_t n) {
  std::mt19937_64 gen(33);
  std::uniform_real_distribution<double> u(0, 1);
  const double special[] = {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), kInf, -kInf, 1e-310, 1e300, 1e-320};
  std::vector<std::vector<double>> cols(6, std::vector<double>(n));
  for (std::size_t i = 0; i < n; ++i) {
    const double S = 100 * std::exp(i % 5 == 0 ? 12 * (u(gen) - 0.5) : 0.8 * (u(gen) - 0.5));
    const double T = std::exp(i % 7 == 0 ? 30 * (u(gen) - 0.7) : 3 * (u(gen) - 0.8));
    const double sigma = i % 11 == 0 ? std::exp(20 * (u(gen) - 0.7)) : 0.05 + u(gen);
    const double row[6] = {i % 37 == 0 ? 100 : S, 100.0, T, 0.2 * u(gen) - 0.05, i % 37 == 0 ? 1e-14 * u(gen) : sigma,
                           0.2 * u(gen) - 0.05};
    for (int c = 0; c < 6; ++c) cols[c][i] = row[c];
    if (i % 29 == 0) cols[i / 29 % 6][i] = special[i / 13 % 8];
  }
  return cols;
}

using Scalar1 = double (*)(double);
using Scalar6 = double (*)(double, double, double, double, double, double);
struct LaneCase {
  const char* name;
  Scalar1 one;
  Scalar6 six;
  Scalar6 price = nullptr;  // implied volatilities: the price in sigma's column, from this
};
const LaneCase kCases[] = {
    {"precise_snorm", vexal::precise_snorm, nullptr},
    {"precise_norm", vexal::precise_norm, nullptr},
    {"precise_call_eur", nullptr, vexal::precise_call_eur},
    {"precise_put_eur", nullptr, vexal::precise_put_eur},
    {"precise_call_delta_eur", nullptr, vexal::precise_call_delta_eur},
    {"precise_put_delta_eur", nullptr, vexal::precise_put_delta_eur},
    {"precise_vega_eur", nullptr, vexal::precise_vega_eur},
    {"precise_gamma_eur", nullptr, vexal::precise_gamma_eur},
    {"precise_call_rho_eur", nullptr, vexal::precise_call_rho_eur},
    {"precise_put_rho_eur", nullptr, vexal::precise_put_rho_eur},
    {"precise_call_theta_eur", nullptr, vexal::precise_call_theta_eur},
    {"precise_put_theta_eur", nullptr, vexal::precise_put_theta_eur},
    {"precise_call_impvol_eur", nullptr, vexal::precise_call_impvol_eur, vexal::precise_call_eur},
    {"precise_put_impvol_eur", nullptr, vexal::precise_put_impvol_eur, vexal::precise_put_eur},
};

TEST(LaneRows, EqualTheScalarCallsOnEveryBuild) {
  const std::vector<std::vector<double>> one = {one_argument_block(20003)}, six = european_block(20003);
  std::vector<LaneBuild> builds = {LaneBuild::baseline};
  if (vexal::have_avx2()) builds.push_back(LaneBuild::avx2);
  for (const LaneCase& c : kCases) {
    std::vector<std::vector<double>> cols = c.one ? one : six;
    if (c.price)  // the price at sigma, now and then moved by a part in a thousand
      for (std::size_t i = 0; i < cols[0].size(); ++i)
        cols[4][i] = c.price(cols[0][i], cols[1][i], cols[2][i], cols[3][i], cols[4][i], cols[5][i]) *
                     (i % 3 == 0 ? 1 + 1e-3 * (i % 7 - 3.0) : 1.0);
    for (LaneBuild b : builds) {
      vexal::batch::force_lane_build(b);
      for (long long stride : {1LL, 2LL, 0LL})
        for (int threads : {1, 2}) {
          const long long rows = stride == 2 ? static_cast<long long>(cols[0].size() / 2) : 4099;
          std::vector<const double*> args;
          for (const std::vector<double>& col : cols) args.push_back(stride == 0 ? &col[7] : col.data());
          const std::vector<long long> strides(cols.size(), stride);
          std::vector<double> out(rows);
          ASSERT_EQ(vexal_map(c.name, rows, args.data(), strides.data(), out.data(), threads), VEXAL_OK);
          for (long long i = 0; i < rows; ++i) {
            double a[6];
            for (std::size_t k = 0; k < cols.size(); ++k) a[k] = args[k][i * stride];
            const double want = c.one ? c.one(a[0]) : c.six(a[0], a[1], a[2], a[3], a[4], a[5]);
            ASSERT_TRUE(same_bits(out[i], want))
                << c.name << " build " << static_cast<int>(b) << " stride " << stride << " row " << i << ": "
                << out[i] << " against " << want;
          }
        }
    }
  }
  vexal::batch::force_lane_build(LaneBuild::best);
}

}  // namespace
