// The four-lane row loops of vexal_map against the scalar calls, bit for
// bit, on the baseline and the AVX2 build: a large random block with the
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

struct LaneCase {
  const char* name;
  double (*scalar)(double);
};
const LaneCase kCases[] = {
    {"precise_snorm", vexal::precise_snorm},
    {"precise_norm", vexal::precise_norm},
};

TEST(LaneRows, EqualTheScalarCallsOnEveryBuild) {
  const std::vector<double> x = one_argument_block(20003);
  std::vector<LaneBuild> builds = {LaneBuild::baseline};
  if (vexal::have_avx2()) builds.push_back(LaneBuild::avx2);
  for (const LaneCase& c : kCases) {
    for (LaneBuild b : builds) {
      vexal::batch::force_lane_build(b);
      for (long long stride : {1LL, 2LL, 0LL})
        for (int threads : {1, 2}) {
          const long long rows = stride == 2 ? static_cast<long long>(x.size() / 2) : 4099;
          const double* args[] = {stride == 0 ? &x[7] : x.data()};
          const long long strides[] = {stride};
          std::vector<double> out(rows);
          ASSERT_EQ(vexal_map(c.name, rows, args, strides, out.data(), threads), VEXAL_OK);
          for (long long i = 0; i < rows; ++i) {
            const double want = c.scalar(args[0][i * stride]);
            ASSERT_TRUE(same_bits(out[i], want))
                << c.name << " build " << static_cast<int>(b) << " stride " << stride << " x = "
                << args[0][i * stride] << ": " << out[i] << " against " << want;
          }
        }
    }
  }
  vexal::batch::force_lane_build(LaneBuild::best);
}

}  // namespace
