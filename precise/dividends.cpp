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

// 8-point Gauss-Legendre rule on [0, 1].
constexpr int kQ = 8;
constexpr double kQv[kQ] = {0.019855071751231884158, 0.1016667612931866302,
                            0.23723379504183550709,  0.40828267875217509753,
                            0.59171732124782490247,  0.76276620495816449291,
                            0.8983332387068133698,   0.98014492824876811584};
constexpr double kQw[kQ] = {0.050614268145188129576, 0.11119051722668723527,
                            0.15685332293894364367,  0.18134189168918099148,
                            0.18134189168918099148,  0.15685332293894364367,
                            0.11119051722668723527,  0.050614268145188129576};

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
    premium_ = continuous && kind == Kind::put && r > 0;
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
  // The put's early-exercise premium over a period of length dt from spot
  // y, with the boundary going linearly from Ba to Bc; first two
  // derivatives in ln y when asked for.
  double premium(double dt, double y, double Ba, double Bc, double* d1 = nullptr,
                 double* d2 = nullptr) const;
  // The boundary at the start of the period before level j (at time t,
  // j = ev_.size() for the last period is not used), by value matching.
  double boundary(std::size_t j, double t) const;
  double tail_start() const;
  double end_boundary(std::size_t j) const { return ev_[j].D > 0 ? 0.0 : bstart_[j]; }
  double start_of(std::size_t j) const { return j > 0 ? ev_[j - 1].s : 0.0; }
  // Value at time t = start_of(j) from spot y over the period to level j,
  // the premium taken with start boundary Ba.
  double held(std::size_t j, double y, double Ba, double* d1 = nullptr,
              double* d2 = nullptr) const;

  Kind kind_;
  Style style_;
  double S_, K_, T_, r_, sigma_;
  std::vector<Event> ev_;
  bool continuous_;
  Setting set_;
  double z_;
  std::vector<Level> lv_;
  std::vector<double> kinks_;  // kinks in x of the level built last
  // The put exercised between dates: the boundary just after each level's
  // date (as a spot), solved as the levels are built.
  bool premium_ = false;
  std::vector<double> bstart_;
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
  return held(j + 1, y, premium_ ? bstart_[j] : 0.0);
}

double Engine::held(std::size_t j, double y, double Ba, double* d1, double* d2) const {
  const double dt = ev_[j].s - start_of(j);
  const double s = sigma_ * std::sqrt(dt);
  double v;
  kernel(j, std::log(y) + (r_ - sigma_ * sigma_ / 2) * dt, s, std::exp(-r_ * dt), &v, d1, d2);
  if (premium_) {
    double p1 = 0, p2 = 0;
    v += premium(dt, y, Ba, end_boundary(j), d1 ? &p1 : nullptr, d2 ? &p2 : nullptr);
    if (d1) *d1 += p1;
    if (d2) *d2 += p2;
  }
  return v;
}

// With u = dt v^2 the integrand rK e^{-ru} Phi(w), w = (ln(B(u)/y) -
// (r - sigma^2/2) u) / (sigma sqrt u), is smooth in v on [0, 1].
double Engine::premium(double dt, double y, double Ba, double Bc, double* d1, double* d2) const {
  const double ly = std::log(y), mu = r_ - sigma_ * sigma_ / 2;
  double p = 0, q1 = 0, q2 = 0;
  for (int i = 0; i < kQ; ++i) {
    const double v = kQv[i], u = dt * v * v;
    const double B = Ba + (Bc - Ba) * v * v;
    if (!(B > 0)) continue;
    const double sd = sigma_ * std::sqrt(u);
    const double w = (std::log(B) - ly - mu * u) / sd;
    const double f = kQw[i] * 2 * dt * v * r_ * K_ * std::exp(-r_ * u);
    p += f * precise_snorm(w);
    if (d1) {
      const double g = precise_norm(w);
      q1 -= f * g / sd;
      q2 -= f * w * g / (sd * sd);
    }
  }
  if (d1) *d1 = q1;
  if (d2) *d2 = q2;
  return p;
}

// Where exercised now the value is K - B; a trial boundary b below the true
// one leaves out some exercise and prices the put at b below K - b, one
// above prices it above: bisection on that sign, below the point where the
// value without exercise in the period meets K - y.
double Engine::boundary(std::size_t j, double t) const {
  (void)t;
  const double dt = ev_[j].s - start_of(j);
  auto without = [&](double x) {
    const double y = std::exp(x);
    const double s = sigma_ * std::sqrt(dt);
    double v;
    kernel(j, x + (r_ - sigma_ * sigma_ / 2) * dt, s, std::exp(-r_ * dt), &v, nullptr, nullptr);
    return v - (K_ - y);
  };
  auto trial = [&](double x) {
    const double y = std::exp(x);
    return held(j, y, y) - (K_ - y);
  };
  const double top = std::log(K_);
  double bot = top - 1;
  while (without(bot) > 0 && bot > top - 40) bot -= 1;
  if (!(without(bot) < 0)) return 0.0;
  double a = bot, b = top;
  for (int it = 0; it < 60 && b - a > 1e-13; ++it) {
    const double c = (a + b) / 2;
    (without(c) < 0 ? a : b) = c;
  }
  double hi = b, lo = hi - 0.05;
  while (trial(lo) > 0 && lo > top - 40) lo -= 2 * (hi - lo);
  if (!(trial(lo) <= 0)) return 0.0;
  for (int it = 0; it < 60 && hi - lo > 1e-13; ++it) {
    const double c = (lo + hi) / 2;
    (trial(c) < 0 ? lo : hi) = c;
  }
  return std::exp((lo + hi) / 2);
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
  // Spread of ln S(s_j): centred on the forward net of the dividends paid
  // so far, or where they would take most of it, from there down to the
  // floor.
  double net = 1;
  for (std::size_t i = 0; i < j; ++i) net -= ev_[i].D * std::exp(-r_ * ev_[i].s) / S_;
  const double spread = z_ * sigma_ * std::sqrt(sj);
  const double centre = std::log(S_) + (r_ - sigma_ * sigma_ / 2) * sj;
  double lo = centre - spread + std::log(net > 0.1 ? net : 0.1);
  if (!(net > 0.1)) lo -= 40;
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
  // The put's boundary just after this date, from the level after it or
  // from the solver of the last period; G is C1 but bends there.
  if (premium_) {
    bstart_[j] = j + 1 < ev_.size() ? boundary(j + 1, sj) : tail_start();
    if (bstart_[j] > 0) {
      feats.push_back({std::log(bstart_[j] + D), 0});
      kinks.push_back(std::log(bstart_[j] + D));
    }
  }
  // The exercise point: a sign change of G's hold - exercise on a scan of the range.
  if (style_ == Style::american && ev_[j].exercise && !premium_) {
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
    // Panels of about `base` each; a span of absurd width (a sigma near 0 or
    // near the overflow of the doubles) gets at most 2^16 of them.
    const double want = std::ceil((b - a) / base);
    const int pieces = want < 65536 ? static_cast<int>(want) : 65536;
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

// The boundary of the last period at its start: where the put without
// dividends meets its exercise value.
double Engine::tail_start() const {
  if (tail_boundary_) return std::exp(tailb_.log_at(T_ - ev_.back().s));
  auto gap = [&](double x) { return tail(std::exp(x)) - (K_ - std::exp(x)); };
  double a = std::log(K_) - 40, b = std::log(K_);
  if (gap(a) > 0) return 0.0;
  for (int it = 0; it < 60 && b - a > 1e-13; ++it) {
    const double c = (a + b) / 2;
    (gap(c) > 1e-14 * K_ ? b : a) = c;
  }
  return std::exp(a);
}

Value Engine::run() {
  if (premium_) {
    tailb_ = american::put_boundary(K_, T_ - ev_.back().s, r_, sigma_, 0,
                                    american::precise_setting(r_, 0));
    tail_boundary_ = tailb_.residual < 1e-4;
    bstart_.assign(ev_.size(), 0.0);
  }
  for (std::size_t j = ev_.size(); j-- > 0;) build(j);
  double v, d1, d2;
  if (premium_) {
    const double b0 = boundary(0, 0.0);
    if (S_ <= b0) return {K_ - S_, -1.0, 0.0};
    v = held(0, S_, b0, &d1, &d2);
  } else {
    const double s1 = ev_[0].s;
    const double s = sigma_ * std::sqrt(s1);
    kernel(0, std::log(S_) + (r_ - sigma_ * sigma_ / 2) * s1, s, std::exp(-r_ * s1), &v, &d1, &d2);
  }
  Value out{v, d1 / S_, (d2 - d1) / (S_ * S_)};
  if (style_ == Style::american && !(out.price > exercise(S_)))
    out = {exercise(S_), kind_ == Kind::call ? 1.0 : -1.0, 0.0};
  if (!(out.price > 0)) out.price = 0;
  return out;
}

// Exercise dates between dividends, `steps` a year. Before a dividend D at
// t the put is exercised only far in the money until t - tau0, tau0 =
// ln(1 + D/K)/r, where the interest on K first outweighs D: there its
// boundary turns up steeply. The dates before t - tau0 crowd towards it
// (quadratically); after it, where the boundary is near rK(t - u), they are
// even.
std::vector<Event> events_of(const std::vector<Dividend>& divs, double steps, double K,
                             double r) {
  std::vector<Event> ev;
  double prev = 0;
  for (const Dividend& d : divs) {
    if (steps > 0) {
      const double tau0 = r > 0 ? std::log1p(d.D / K) / r : 0.0;
      double jump = d.t - tau0;
      if (jump - prev > 1e-9 * d.t) {
        const int n = std::max(static_cast<int>(std::ceil((jump - prev) * steps)),
                               static_cast<int>(steps / 4));
        for (int i = n - 1; i >= 1; --i) {
          const double f = static_cast<double>(i) / n;
          ev.push_back({jump - (jump - prev) * f * f, 0.0, true});
        }
        if (tau0 > 1e-9 * d.t) ev.push_back({jump, 0.0, true});
      } else {
        jump = prev;
      }
      const int m = static_cast<int>(std::ceil((d.t - jump) * steps));
      for (int i = 1; i < m; ++i) ev.push_back({jump + (d.t - jump) * i / m, 0.0, true});
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
    Engine e(kind, style, S, K, T, r, sigma, events_of(divs, 0, K, r), false, set);
    return e.run();
  }
  // Exercise dates at steps and 2 steps a year between dividends. The put's
  // premium steps, with the boundary linear over each, converge like the
  // step to a power near 2.5 (over the convergence checks, 2.3 to 2.9);
  // that term is taken out. A call exercised between dividends (r < 0)
  // is a Bermudan one, whose first-order error is taken out instead.
  if (set.steps < 0) {
    Engine e(kind, style, S, K, T, r, sigma, events_of(divs, -set.steps, K, r), true, set);
    return e.run();
  }
  Engine a(kind, style, S, K, T, r, sigma, events_of(divs, set.steps, K, r), true, set);
  Engine b(kind, style, S, K, T, r, sigma, events_of(divs, 2.0 * set.steps, K, r), true, set);
  const Value va = a.run(), vb = b.run();
  const double c = kind == Kind::put ? 1 / (std::pow(2.0, 2.5) - 1) : 1.0;
  Value v{vb.price + c * (vb.price - va.price), vb.delta + c * (vb.delta - va.delta),
          vb.gamma + c * (vb.gamma - va.gamma)};
  const double now = kind == Kind::put ? K - S : S - K;
  if (v.price < now) v = {now, kind == Kind::put ? -1.0 : 1.0, 0.0};
  return v;
}

}  // namespace vexal::dividends
