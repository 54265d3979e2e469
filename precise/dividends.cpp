// The backward recursion over dividend dates (dividends.h).
//
// Levels j = 1..M are the dates in (0, T): dividend dates and, for an option
// exercised between dividends, exercise dates. Level j holds nodes x_k of
// ln S(s_j-) with quadrature weights w_k and the values G_k just before s_j:
//   G(x) = V_j(max(e^x - D_j, 0)),  or  max(that, exercise value at e^x),
// where V_j(y) is the value just after s_j: the option without dividends
// from s_M on, and for j < M the kernel sum over level j + 1. Level j is
// built once level j + 1 is, so that V_j can be evaluated anywhere, and its
// panels can end exactly on the kinks of G: the floor at x = ln D_j and the
// exercise point, found by bracketing and bisection.
//
// The nodes reach z standard deviations of ln S(s_j) either side of its
// centre (further down by the dividends already paid); the kernel of a node
// is cut where it falls below e^{-z^2/2} of its peak.
#include "precise/dividends.h"

#include <algorithm>
#include <cmath>

#include "core/numeric.h"
#include "precise/american_boundary.h"
#include "precise/functions.h"

namespace vexal::dividends {

bool read_schedule(double T, const double* times, const double* amounts, double n,
                   std::vector<Dividend>* out) {
  out->clear();
  const std::int64_t last = to_int_nearest(n - 1);  // kBadInt (NaN n) reads none
  for (std::int64_t i = 0; i <= last; ++i) {
    const double t = times[i], D = amounts[i];
    if (std::isnan(t) || std::isnan(D) || D < 0) return false;
    if (t > 0 && t < T && D > 0) out->push_back({t, D});
  }
  std::stable_sort(out->begin(), out->end(),
                   [](const Dividend& a, const Dividend& b) { return a.t < b.t; });
  std::size_t m = 0;
  for (std::size_t i = 0; i < out->size(); ++i) {
    if (m > 0 && (*out)[m - 1].t == (*out)[i].t)
      (*out)[m - 1].D += (*out)[i].D;
    else
      (*out)[m++] = (*out)[i];
  }
  out->resize(m);
  return true;
}

namespace {

// 16-point Gauss-Legendre rule on [-1, 1].
constexpr int kP = 16;
constexpr double kGx[kP] = {
    -0.9894009349916499326,  -0.94457502307323257608, -0.86563120238783174388,
    -0.7554044083550030339,  -0.61787624440264374845, -0.45801677765722738634,
    -0.28160355077925891323, -0.095012509837637440185, 0.095012509837637440185,
    0.28160355077925891323,  0.45801677765722738634,  0.61787624440264374845,
    0.7554044083550030339,   0.86563120238783174388,  0.94457502307323257608,
    0.9894009349916499326};
constexpr double kGw[kP] = {
    0.027152459411754094852, 0.062253523938647892863, 0.09515851168249278481,
    0.12462897125553387205,  0.14959598881657673208,  0.16915651939500253819,
    0.18260341504492358887,  0.18945061045506849629,  0.18945061045506849629,
    0.18260341504492358887,  0.16915651939500253819,  0.14959598881657673208,
    0.12462897125553387205,  0.09515851168249278481,  0.062253523938647892863,
    0.027152459411754094852};
constexpr double kInvSqrt2Pi = 0.39894228040143267794;

struct Event {
  double s;       // time
  double D;       // dividend paid at s (0 for an exercise date alone)
  bool exercise;  // may be exercised just before s
};

// Below `cut` (the floor, x = ln D) G is the constant Gc: the stock has
// gone to 0. That part of the kernel integral is Gc Phi((cut - m)/s).
struct Level {
  std::vector<double> x, w, G;
  double cut = -INFINITY, Gc = 0;
};

// A point where G or its neighbourhood is not smooth: a kink (width 0) or a
// bend of the given width in x, around which panels are graded.
struct Feature {
  double x, width;
};

class Engine {
 public:
  Engine(Kind kind, Style style, double S, double K, double T, double r, double sigma,
         const std::vector<Event>& events, bool continuous, const Setting& set)
      : kind_(kind), style_(style), S_(S), K_(K), T_(T), r_(r), sigma_(sigma), ev_(events),
        continuous_(continuous), set_(set), lv_(events.size()) {
    // Far out of the money the value lies in the tail: the grid reaches as
    // many more deviations as the strike is away.
    const double dev = std::fabs(std::log(S / K) + r * T) / (sigma * std::sqrt(T));
    z_ = set.z + std::fmin(dev, 30.0);
  }

  Value run();

 private:
  double exercise(double S) const { return kind_ == Kind::call ? S - K_ : K_ - S; }
  double at_zero(std::size_t j) const;
  double tail(double y) const;
  double after(std::size_t j, double y) const;  // V_j(y)
  double before(std::size_t j, double x) const;  // G_j(x)
  // disc * sum w phi(x; m, s) G over level j, with its first two derivatives in m.
  void kernel(std::size_t j, double m, double s, double disc, double* v, double* d1,
              double* d2) const;
  void build(std::size_t j);

  Kind kind_;
  Style style_;
  double S_, K_, T_, r_, sigma_;
  std::vector<Event> ev_;
  bool continuous_;
  Setting set_;
  double z_;
  std::vector<Level> lv_;
  std::vector<double> kinks_;  // kinks in x of the level built last
  american::Boundary tailb_;
  bool tail_boundary_ = false;
};

// The value just after s_j at a spot of 0, where the stock stays.
double Engine::at_zero(std::size_t j) const {
  if (kind_ == Kind::call) return 0.0;
  const double eur = K_ * std::exp(-r_ * (T_ - ev_[j].s));
  return style_ == Style::american && eur < K_ ? K_ : eur;
}

// The option without dividends from the last date to expiry, at spot y > 0.
double Engine::tail(double y) const {
  const double tau = T_ - ev_.back().s;
  if (style_ == Style::european || !continuous_)
    return kind_ == Kind::call ? precise_call_eur(y, K_, tau, r_, sigma_, 0)
                               : precise_put_eur(y, K_, tau, r_, sigma_, 0);
  if (kind_ == Kind::put && tail_boundary_) {
    const american::Setting& st = american::precise_setting(r_, 0);
    const double eur = precise_put_eur(y, K_, tau, r_, sigma_, 0);
    if (std::log(y) <= tailb_.log_at(tau) && K_ - y >= eur) return K_ - y;
    const double v = eur + american::put_premium(tailb_, y, K_, r_, sigma_, 0, st).value;
    return v > K_ - y ? v : K_ - y;
  }
  return kind_ == Kind::call ? precise_call_american(y, K_, tau, r_, sigma_, 0)
                             : precise_put_american(y, K_, tau, r_, sigma_, 0);
}

double Engine::after(std::size_t j, double y) const {
  if (!(y > 0)) return at_zero(j);
  if (j + 1 == ev_.size()) return tail(y);
  const double dt = ev_[j + 1].s - ev_[j].s;
  const double s = sigma_ * std::sqrt(dt);
  double v;
  kernel(j + 1, std::log(y) + (r_ - sigma_ * sigma_ / 2) * dt, s, std::exp(-r_ * dt), &v,
         nullptr, nullptr);
  return v;
}

double Engine::before(std::size_t j, double x) const {
  const double S = std::exp(x);
  const double hold = after(j, S - ev_[j].D);
  if (style_ == Style::american && ev_[j].exercise) {
    const double e = exercise(S);
    return e > hold ? e : hold;
  }
  return hold;
}

void Engine::kernel(std::size_t j, double m, double s, double disc, double* v, double* d1,
                    double* d2) const {
  const Level& L = lv_[j];
  const double reach = z_ * s;
  const auto lo = std::lower_bound(L.x.begin(), L.x.end(), m - reach) - L.x.begin();
  const auto hi = std::upper_bound(L.x.begin(), L.x.end(), m + reach) - L.x.begin();
  const double a = 1 / (s * s);
  double s0 = 0, s1 = 0, s2 = 0;
  for (auto k = lo; k < hi; ++k) {
    const double u = L.x[k] - m;
    const double f = L.w[k] * std::exp(-0.5 * u * u * a) * L.G[k];
    s0 += f;
    if (d1) {
      s1 += f * u;
      s2 += f * u * u;
    }
  }
  const double c = disc * kInvSqrt2Pi / s;
  *v = c * s0;
  if (d1) {
    *d1 = c * s1 * a;
    *d2 = c * (s2 * a * a - s0 * a);
  }
  if (L.Gc != 0 && L.cut > m - reach) {
    const double u = (L.cut - m) / s;
    *v += disc * L.Gc * precise_snorm(u);
    if (d1) {
      const double f = disc * L.Gc * precise_norm(u) / s;
      *d1 -= f;
      *d2 -= f * u / s;
    }
  }
}

void Engine::build(std::size_t j) {
  const double sj = ev_[j].s;
  const double din = sj - (j > 0 ? ev_[j - 1].s : 0.0);
  const double kw = sigma_ * std::sqrt(din);  // width of the kernel into this level
  // Spread of ln S(s_j): centred on the forward, widened downwards by the
  // dividends paid so far.
  double paid = 0;
  for (std::size_t i = 0; i < j; ++i) paid += ev_[i].D;
  const double left = paid < S_ ? -std::log1p(-paid / S_) : 40.0;
  const double spread = z_ * sigma_ * std::sqrt(sj);
  const double centre = std::log(S_) + (r_ - sigma_ * sigma_ / 2) * sj;
  double lo = centre - spread - std::fmin(left, 40.0);
  const double hi = centre + spread;
  Level& L = lv_[j];
  L.cut = -INFINITY;
  L.Gc = 0;
  if (ev_[j].D > 0 && std::log(ev_[j].D) > lo) {
    lo = L.cut = std::log(ev_[j].D);
    L.Gc = at_zero(j);
  }

  std::vector<Feature> feats;
  std::vector<double> kinks;
  const double D = ev_[j].D;
  if (D > 0) {
    feats.push_back({std::log(D), 0});
    kinks.push_back(std::log(D));
  }
  // Kinks of the next date's G, bends of V_j once smoothed over the time to it.
  if (j + 1 < ev_.size()) {
    const double w = sigma_ * std::sqrt(ev_[j + 1].s - sj);
    for (double k : kinks_) feats.push_back({std::log(D + std::exp(k)), w});
  } else {
    feats.push_back({std::log(D + K_), sigma_ * std::sqrt(T_ - sj)});
    if (tail_boundary_) feats.push_back({std::log(D + std::exp(tailb_.log_at(T_ - sj))), 0});
  }
  // The exercise point: a sign change of G's hold - exercise on a scan of the range.
  if (style_ == Style::american && ev_[j].exercise) {
    const int n = 64;
    auto gap = [&](double x) {
      const double S = std::exp(x);
      return after(j, S - D) - exercise(S);
    };
    double xa = lo, ga = gap(xa);
    for (int i = 1; i <= n; ++i) {
      const double xb = lo + (hi - lo) * i / n, gb = gap(xb);
      if ((ga > 0) != (gb > 0)) {
        double a = xa, b = xb, fa = ga;
        for (int it = 0; it < 60 && b - a > 1e-14 * (1 + std::fabs(a)); ++it) {
          const double c = (a + b) / 2, fc = gap(c);
          if ((fc > 0) == (fa > 0)) {
            a = c;
            fa = fc;
          } else {
            b = c;
          }
        }
        feats.push_back({(a + b) / 2, 0});
        kinks.push_back((a + b) / 2);
      }
      xa = xb;
      ga = gb;
    }
  }
  // Panel ends: the range, the features inside it, and graded ends around
  // each bend (width, twice that, ...) until the base width is reached.
  const double base = set_.width * kw;
  std::vector<double> ends = {lo, hi};
  for (const Feature& f : feats) {
    if (!(f.x > lo && f.x < hi)) continue;
    ends.push_back(f.x);
    for (double w = f.width; w > 0 && w < base; w *= 2) {
      if (f.x - w > lo) ends.push_back(f.x - w);
      if (f.x + w < hi) ends.push_back(f.x + w);
    }
  }
  std::sort(ends.begin(), ends.end());
  L.x.clear();
  L.w.clear();
  L.G.clear();
  for (std::size_t e = 0; e + 1 < ends.size(); ++e) {
    const double a = ends[e], b = ends[e + 1];
    if (!(b - a > 1e-12)) continue;
    const int pieces = static_cast<int>(std::ceil((b - a) / base));
    const double h = (b - a) / pieces;
    for (int p = 0; p < pieces; ++p) {
      const double c = a + h * (p + 0.5);
      for (int k = 0; k < kP; ++k) {
        L.x.push_back(c + h / 2 * kGx[k]);
        L.w.push_back(h / 2 * kGw[k]);
      }
    }
  }
  kinks_ = kinks;
  L.G.resize(L.x.size());
  for (std::size_t k = 0; k < L.x.size(); ++k) L.G[k] = before(j, L.x[k]);
}

Value Engine::run() {
  if (style_ == Style::american && continuous_ && kind_ == Kind::put && r_ > 0) {
    tailb_ = american::put_boundary(K_, T_ - ev_.back().s, r_, sigma_, 0,
                                    american::precise_setting(r_, 0));
    tail_boundary_ = tailb_.residual < 1e-4;
  }
  for (std::size_t j = ev_.size(); j-- > 0;) build(j);
  const double s1 = ev_[0].s;
  const double s = sigma_ * std::sqrt(s1);
  double v, d1, d2;
  kernel(0, std::log(S_) + (r_ - sigma_ * sigma_ / 2) * s1, s, std::exp(-r_ * s1), &v, &d1, &d2);
  Value out{v, d1 / S_, (d2 - d1) / (S_ * S_)};
  if (style_ == Style::american && !(out.price > exercise(S_)))
    out = {exercise(S_), kind_ == Kind::call ? 1.0 : -1.0, 0.0};
  if (!(out.price > 0)) out.price = 0;
  return out;
}

std::vector<Event> events_of(const std::vector<Dividend>& divs, double steps) {
  std::vector<Event> ev;
  double prev = 0;
  for (const Dividend& d : divs) {
    if (steps > 0) {
      const int n = static_cast<int>(std::ceil((d.t - prev) * steps));
      for (int i = 1; i < n; ++i) ev.push_back({prev + (d.t - prev) * i / n, 0.0, true});
    }
    ev.push_back({d.t, d.D, true});
    prev = d.t;
  }
  return ev;
}

}  // namespace

Value value(Kind kind, Style style, double S, double K, double T, double r, double sigma,
            const std::vector<Dividend>& divs, const Setting& set) {
  // Exercised between dividends: the put where r > 0, the call where r < 0.
  const bool continuous =
      style == Style::american && (kind == Kind::put ? r > 0 : r < 0);
  if (!continuous) {
    Engine e(kind, style, S, K, T, r, sigma, events_of(divs, 0), false, set);
    return e.run();
  }
  // Exercise dates at steps and 2 steps per year between dividends, the
  // first-order error in the step taken out.
  Engine a(kind, style, S, K, T, r, sigma, events_of(divs, set.steps), true, set);
  Engine b(kind, style, S, K, T, r, sigma, events_of(divs, 2.0 * set.steps), true, set);
  const Value va = a.run(), vb = b.run();
  return {2 * vb.price - va.price, 2 * vb.delta - va.delta, 2 * vb.gamma - va.gamma};
}

}  // namespace vexal::dividends
