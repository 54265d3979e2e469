// Random-walk price series for the series tests, and textbook two-pass
// statistics of their log returns in long double.
#ifndef VEXAL_TESTS_SERIES_DATA_H
#define VEXAL_TESTS_SERIES_DATA_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace series_data {

// Standard normal draws by Box-Muller from a fixed MT19937-64 stream, so
// the series are the same on every platform up to the last bits of log/cos.
class Normal {
 public:
  explicit Normal(std::uint64_t seed) : g_(seed) {}
  double operator()() {
    const double u1 = (static_cast<double>(g_() >> 11) + 0.5) * 0x1p-53;
    const double u2 = (static_cast<double>(g_() >> 11) + 0.5) * 0x1p-53;
    return std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
  }

 private:
  std::mt19937_64 g_;
};

// n prices of a geometric random walk from 100 with the given drift and
// per-step volatility.
inline std::vector<double> random_walk(std::size_t n, std::uint64_t seed, double drift = 0.0003,
                                       double vol = 0.012) {
  Normal z(seed);
  std::vector<double> p(n);
  p[0] = 100;
  for (std::size_t i = 1; i < n; ++i) p[i] = p[i - 1] * std::exp(drift + vol * z());
  return p;
}

struct Bars {
  std::vector<double> open, high, low, close;
};

// n OHLC bars: an overnight gap, an open-to-close move, and a high and low
// beyond both the open and the close.
inline Bars random_bars(std::size_t n, std::uint64_t seed) {
  Normal z(seed);
  Bars b;
  double prev = 100;
  for (std::size_t i = 0; i < n; ++i) {
    const double o = prev * std::exp(0.004 * z());
    const double c = o * std::exp(0.0001 + 0.01 * z());
    b.open.push_back(o);
    b.close.push_back(c);
    b.high.push_back(std::max(o, c) * std::exp(0.004 * std::fabs(z())));
    b.low.push_back(std::min(o, c) * std::exp(-0.004 * std::fabs(z())));
    prev = c;
  }
  return b;
}

inline std::vector<long double> log_returns(const std::vector<double>& p) {
  std::vector<long double> r;
  for (std::size_t i = 1; i < p.size(); ++i)
    r.push_back(std::log(static_cast<long double>(p[i]) / static_cast<long double>(p[i - 1])));
  return r;
}

inline long double mean(const std::vector<long double>& x) {
  long double s = 0;
  for (long double v : x) s += v;
  return s / x.size();
}

// Sample standard deviation, divisor m - 1, about the mean.
inline long double sample_sd(const std::vector<long double>& x) {
  const long double mu = mean(x);
  long double s = 0;
  for (long double v : x) s += (v - mu) * (v - mu);
  return std::sqrt(s / (x.size() - 1));
}

inline long double skewness(const std::vector<long double>& x) {
  const long double mu = mean(x), sd = sample_sd(x), m = x.size();
  long double s = 0;
  for (long double v : x) s += std::pow((v - mu) / sd, 3);
  return m / ((m - 1) * (m - 2)) * s;
}

inline long double excess_kurtosis(const std::vector<long double>& x) {
  const long double mu = mean(x), sd = sample_sd(x), m = x.size();
  long double s = 0;
  for (long double v : x) s += std::pow((v - mu) / sd, 4);
  return m * (m + 1) / ((m - 1) * (m - 2) * (m - 3)) * s - 3 * (m - 1) * (m - 1) / ((m - 2) * (m - 3));
}

inline long double pearson(const std::vector<long double>& x, const std::vector<long double>& y) {
  const long double mx = mean(x), my = mean(y);
  long double sxy = 0, sxx = 0, syy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sxy += (x[i] - mx) * (y[i] - my);
    sxx += (x[i] - mx) * (x[i] - mx);
    syy += (y[i] - my) * (y[i] - my);
  }
  return sxy / std::sqrt(sxx * syy);
}

}  // namespace series_data

#endif
