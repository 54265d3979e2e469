// The backward recursion over dividend dates (dividends.h).
//
// Levels j = 1..M are the dates in (0, T): dividend dates and, for a call
// exercised between dividends (r < 0), exercise dates. The put exercised
// between dividends (r > 0) has the premium over its boundary instead
// (solve_period). Level j holds nodes x_k of
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
#include "precise/lanes.h"

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
  // Dates closer than T/2^20 are one payment at their amount-weighted mean
  // date. A European's value is smooth in the schedule, so moving the pair's
  // amounts to their mean date changes it only at second order in their
  // distance; an American's, which may be exercised between them, at first
  // order (about the distance times the amount). Each later date
  // joins while it is nearer than that to the mean so far, and the mean only
  // moves towards it, so merged dates stand at least T/2^20 apart: the
  // kernels between dates, and with them the grids, stay within reach.
  const double gap = std::ldexp(T, -20);
  std::size_t m = 0;
  for (std::size_t i = 0; i < out->size(); ++i) {
    const Dividend d = (*out)[i];
    if (m > 0 && d.t - (*out)[m - 1].t < gap) {
      Dividend& last = (*out)[m - 1];
      const double D = last.D + d.D;
      last.t = std::fmin(last.t + (d.t - last.t) * (d.D / D), d.t);
      last.D = D;
    } else {
      (*out)[m++] = d;
    }
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

// The put's boundary over the period before a dividend date, as a function
// of tau, the time to that date: panels in tau, ln(B/tau) held at each
// panel's 8 Gauss-Legendre nodes and interpolated between them (B ~ rK tau
// near the date, so ln(B/tau) stays smooth there).
struct Panel {
  double lo, hi;
  double t[kQ], q[kQ];
  // The barycentric terms c_k = w_k/(x - x_k) at tau, their sum returned;
  // *hit the node tau stands on (its term 0), or -1.
  double terms(double tau, double c[kQ], int* hit) const;
  double log_at(double tau) const;
};

// Barycentric weights of the nodes kQv.
struct Bary {
  double w[kQ];
  Bary() {
    for (int k = 0; k < kQ; ++k) {
      double p = 1;
      for (int i = 0; i < kQ; ++i)
        if (i != k) p *= kQv[k] - kQv[i];
      w[k] = 1 / p;
    }
  }
};
const Bary kBary;

double Panel::terms(double tau, double c[kQ], int* hit) const {
  const double x = (tau - lo) / (hi - lo);
  double den = 0;
  *hit = -1;
  for (int k = 0; k < kQ; ++k) {
    const double d = x - kQv[k];
    if (d == 0) *hit = k;
    c[k] = *hit == k ? 0.0 : kBary.w[k] / d;
    den += c[k];
  }
  return den;
}

double Panel::log_at(double tau) const {
  double c[kQ];
  int hit;
  const double den = terms(tau, c, &hit);
  if (hit >= 0) return q[hit] + std::log(tau);
  double num = 0;
  for (int k = 0; k < kQ; ++k) num += c[k] * q[k];
  return num / den + std::log(tau);
}

// The panel of P holding tau (its index + 1; 0 before the first).
std::size_t holding(const std::vector<Panel>& panels, double tau) {
  std::size_t k = panels.size();
  while (k > 0 && panels[k - 1].lo >= tau) --k;
  return k;
}

// The lane helpers are inlined, so no lanes pass by the platform convention.
#pragma GCC diagnostic ignored "-Wpsabi"

// The two inner sums, four terms at a time (precise/lanes.h), built for
// the baseline processor and for AVX2 with the same doubles.
//
// Over nodes lo..hi of a level: sum w G e^{-u^2 a/2}, and that times u and
// u^2, u = x - m.
struct Sums {
  double s0 = 0, s1 = 0, s2 = 0;
};
VEXAL_LANES Sums gauss_sums(const double* x, const double* w, const double* G, long lo, long hi,
                            double m, double a, bool derivs) {
  using namespace lanes;
  V s0{}, s1{}, s2{};
  // The last partial group from copies padded with zero weights.
  double tx[4] = {}, tw[4] = {}, tg[4] = {};
  for (long k = lo; k < hi; k += 4) {
    const double *xp = x + k, *wp = w + k, *gp = G + k;
    if (k + 4 > hi) {
      for (long i = 0; i < 4; ++i) {
        tx[i] = k + i < hi ? x[k + i] : m;
        tw[i] = k + i < hi ? w[k + i] : 0;
        tg[i] = k + i < hi ? G[k + i] : 0;
      }
      xp = tx;
      wp = tw;
      gp = tg;
    }
    const V u = load(xp) - m;
    const V f = load(wp) * exp_of(-0.5 * u * u * a) * load(gp);
    s0 += f;
    if (derivs) {
      s1 += f * u;
      s2 += f * u * u;
    }
  }
  return {sum(s0), sum(s1), sum(s2)};
}

// Over the points of a premium rule (a multiple of four): sum f Phi(w),
// w = (c + dl basis - ly)/sd (isd = 1/sd), and its first two derivatives in ly (the
// first, for a trial, in the trial value); with `dens`, each point's
// f phi(w)/sd there.
VEXAL_LANES Sums premium_sums(const double* f, const double* c, const double* isd,
                              const double* basis, long n, double ly, double dl, bool trial,
                              bool derivs, double* dens) {
  using namespace lanes;
  V p{}, q1{}, q2{};
  for (long i = 0; i < n; i += 4) {
    const V is = load(isd + i), b = load(basis + i), fv = load(f + i);
    const V w = (load(c + i) + dl * b - ly) * is;
    V g;
    const V P = cdf_pdf(w, g);
    p += fv * P;
    const V gs = fv * g * is;
    if (dens) store(dens + i, gs);
    if (derivs) {
      q1 -= trial ? gs * (1 - b) : gs;
      q2 -= gs * w * is;
    }
  }
  return {sum(p), sum(q1), sum(q2)};
}

Sums gauss_baseline(const double* x, const double* w, const double* G, long lo, long hi, double m,
                    double a, bool derivs) {
  return gauss_sums(x, w, G, lo, hi, m, a, derivs);
}
Sums premium_baseline(const double* f, const double* c, const double* isd, const double* basis,
                      long n, double ly, double dl, bool trial, bool derivs, double* dens) {
  return premium_sums(f, c, isd, basis, n, ly, dl, trial, derivs, dens);
}
#if defined(__x86_64__) || defined(__i386__)
#define VEXAL_AVX2 __attribute__((target("avx2")))
#else
#define VEXAL_AVX2
#endif
VEXAL_AVX2 Sums gauss_avx2(const double* x, const double* w, const double* G, long lo, long hi,
                           double m, double a, bool derivs) {
  return gauss_sums(x, w, G, lo, hi, m, a, derivs);
}
VEXAL_AVX2 Sums premium_avx2(const double* f, const double* c, const double* isd,
                             const double* basis, long n, double ly, double dl, bool trial,
                             bool derivs, double* dens) {
  return premium_sums(f, c, isd, basis, n, ly, dl, trial, derivs, dens);
}
#undef VEXAL_AVX2
const bool kAvx2 = american::best_isa() == american::Isa::avx2;

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
    premium_ = continuous && kind == Kind::put && r > 0 && set.steps >= 0;
    mu_ = r - sigma * sigma / 2;
  }

  Value run();

 private:
  // The put's early-exercise premium rK int_0^tau e^{-rs} P(S after s <
  // B(tau - s)) ds over the period's boundary, from spot e^ly: a rule of
  // points s_i fixed by tau, each with its weight f_i, its centre c_i =
  // ln B(tau - s_i) - mu s_i and its spread sd_i, applied to any ly. With
  // `node` k, the points in the panel holding tau (whose node k is tau)
  // also carry the Lagrange basis of node k, for a trial value of it.
  struct Rule {
    std::vector<double> f, c, isd, basis;  // isd: 1 / the spread
    // When asked for: every node's Lagrange basis at the points of the
    // panel holding tau (kQ a point), those points' count
    // (they come first) and their ln tau' - mu s, so that their centres
    // can be refreshed as the panel's values move.
    std::vector<double> all, base;
    std::size_t own = 0;
    // Padded to whole groups of four lanes by points of weight zero.
    void pad() {
      while (f.size() % 4 != 0) {
        f.push_back(0);
        c.push_back(0);
        isd.push_back(1);
      }
      basis.resize(f.size(), 0.0);
    }
    void refresh(const Panel& p) {
      for (std::size_t n = 0; n < own; ++n) {
        double v = base[n];
        for (int k = 0; k < kQ; ++k) v += all[n * kQ + k] * p.q[k];
        c[n] = v;
      }
    }
  };
  static constexpr int kWhole = -2;  // the panel holding tau moved as a whole
  struct Period {
    std::vector<Panel> panels;
    double end = 0;          // B at the start of the period
    double top = -INFINITY;  // the largest ln B
    Rule start;              // the premium's rule from its start
  };

  double exercise(double S) const { return kind_ == Kind::call ? S - K_ : K_ - S; }
  double at_zero(std::size_t j) const;
  double tail(double y) const;
  double after(std::size_t j, double y) const;   // V_j(y)
  double before(std::size_t j, double x) const;  // G_j(x)
  double start_of(std::size_t j) const { return j > 0 ? ev_[j - 1].s : 0.0; }
  // disc * sum w phi(x; m, s) G over level j, with its first two derivatives in m.
  void kernel(std::size_t j, double m, double s, double disc, double* v, double* d1,
              double* d2) const;
  void build(std::size_t j);
  // The value held over the period before level j from tau before its
  // date, at spot y: the kernel over level j, and for the put the premium
  // (by the rule R, or the period's own); first two derivatives in ln y
  // when asked for, and the premium's densities (premium_sums).
  double hold(std::size_t j, double tau, double y, double* d1 = nullptr,
              double* d2 = nullptr, const Rule* R = nullptr, double dl = 0,
              bool trial = false, double* dens = nullptr) const;
  void rule(const Period& P, double tau, int node, Rule* out, bool all = false) const;
  // The premium by the rule with node k moved by dl; derivatives in ly,
  // or for a trial (node k at ly), in the trial value.
  double premium(const Rule& R, double ly, double* d1, double* d2, double dl = 0,
                 bool trial = false, double* dens = nullptr) const;
  void solve_period(std::size_t j);
  // Nodes kept at ln B >= floor.
  void solve_panel(std::size_t j, Panel& p, double guess, bool newton, double floor = -INFINITY);
  // With `given`, that rule (the node's own, current).
  double solve_node(std::size_t j, double tau, int node, double l, double tol = 1e-13,
                    const Rule* given = nullptr, double floor = -INFINITY) const;
  double tail_start() const;

  Kind kind_;
  Style style_;
  double S_, K_, T_, r_, sigma_, mu_;
  std::vector<Event> ev_;
  bool continuous_;
  Setting set_;
  double z_;
  std::vector<Level> lv_;
  std::vector<double> kinks_;  // kinks in x of the level built last
  // The put exercised between dates: each period's boundary, solved as
  // the levels are built; its value at the start of the period after the
  // last date comes from the continuous-yield solver.
  bool premium_ = false;
  std::vector<Period> per_;
  double tail_end_ = 0;
  american::Boundary tailb_;
  bool tail_boundary_ = false;
  // Its ln B at the last date, and its premium's points.
  double tail_log_ = 0;
  Rule tail_rule_;
  // A level of the put needed more than twice the panels it may have: its
  // kernels are not resolved, and the value is NaN.
  bool coarse_ = false;
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
    const double eur = precise_put_eur(y, K_, tau, r_, sigma_, 0);
    const double ly = std::log(y);
    if (ly <= tail_log_ && K_ - y >= eur) return K_ - y;
    const double v = eur + premium(tail_rule_, ly, nullptr, nullptr);
    return v > K_ - y ? v : K_ - y;
  }
  return kind_ == Kind::call ? precise_call_american(y, K_, tau, r_, sigma_, 0)
                             : precise_put_american(y, K_, tau, r_, sigma_, 0);
}

double Engine::after(std::size_t j, double y) const {
  if (!(y > 0)) return at_zero(j);
  if (j + 1 == ev_.size()) return tail(y);
  if (!premium_) return hold(j + 1, ev_[j + 1].s - ev_[j].s, y);
  if (y <= per_[j + 1].end) return K_ - y;
  return hold(j + 1, ev_[j + 1].s - ev_[j].s, y, nullptr, nullptr, &per_[j + 1].start);
}

double Engine::hold(std::size_t j, double tau, double y, double* d1, double* d2, const Rule* R,
                    double dl, bool trial, double* dens) const {
  double v;
  kernel(j, std::log(y) + mu_ * tau, sigma_ * std::sqrt(tau), std::exp(-r_ * tau), &v, d1, d2);
  if (premium_) {
    Rule own;
    if (!R) {
      rule(per_[j], tau, -1, &own);
      R = &own;
    }
    // Far above the boundary the premium is below the rounding of the value.
    const double reach = (z_ + 2) * sigma_ * std::sqrt(tau) + std::fabs(mu_) * tau;
    if (!trial && std::log(y) - per_[j].top > reach) return v;
    double p1 = 0, p2 = 0;
    v += premium(*R, std::log(y), d1 ? &p1 : nullptr, d2 ? &p2 : nullptr, dl, trial, dens);
    if (d1) *d1 += p1;
    if (d2) *d2 += p2;
  }
  return v;
}

// In s the integrand rK e^{-rs} Phi(w), w = (ln B(tau - s) - ln y - mu s) /
// (sigma sqrt s), is smooth within a panel of the boundary except at s = 0,
// where it goes like sqrt s: pieces between the panels' ends, graded by
// fours towards s = 0, and s = c v^2 on the first. Past the last panel
// (only while tau_c is sought) B is taken flat.
void Engine::rule(const Period& P, double tau, int node, Rule* R, bool all) const {
  R->f.clear();
  R->c.clear();
  R->isd.clear();
  R->basis.clear();
  R->all.clear();
  R->base.clear();
  R->own = 0;
  const double rK = r_ * K_;
  auto piece = [&](const Panel* pn, double flat, double a, double b, bool first, bool own) {
    for (int i = 0; i < kQ; ++i) {
      double s, ws;
      if (first) {
        s = b * kQv[i] * kQv[i];
        ws = 2 * b * kQv[i] * kQw[i];
      } else {
        s = a + (b - a) * kQv[i];
        ws = (b - a) * kQw[i];
      }
      const double t = tau - s;
      // ln B by the panel's interpolant, and every node's Lagrange basis.
      double lb = flat, each[kQ] = {};
      if (pn) {
        int hit;
        const double den = pn->terms(t, each, &hit);
        double num = 0;
        for (int k = 0; k < kQ; ++k) num += each[k] * pn->q[k];
        if (hit >= 0) {
          lb = pn->q[hit] + std::log(t);
          for (int k = 0; k < kQ; ++k) each[k] = k == hit ? 1.0 : 0.0;
        } else {
          lb = num / den + std::log(t);
          if (own)
            for (int k = 0; k < kQ; ++k) each[k] /= den;
        }
      }
      const double mine = node >= 0 ? each[node] : 0.0;
      if (all && own) {
        for (int k = 0; k < kQ; ++k) R->all.push_back(each[k]);
        R->base.push_back(std::log(t) - mu_ * s);
        ++R->own;
      }
      R->basis.push_back(!own ? 0.0 : node >= 0 ? mine : node == kWhole ? 1.0 : 0.0);
      R->f.push_back(ws * rK * std::exp(-r_ * s));
      R->c.push_back(lb - mu_ * s);
      R->isd.push_back(1 / (sigma_ * std::sqrt(s)));
    }
  };
  auto graded = [&](const Panel* pn, double flat, double a, double b, bool own) {
    double c = a;
    if (a == 0) {
      c = b / 256;
      piece(pn, flat, 0, c, true, own);
    }
    while (c < b) {
      const double e = std::fmin(4 * c, b);
      piece(pn, flat, c, e, false, own);
      c = e;
    }
  };
  std::size_t k = holding(P.panels, tau);
  double a = 0;
  if (k == P.panels.size() && k > 0 && tau > P.panels.back().hi) {
    a = tau - P.panels.back().hi;
    graded(nullptr, P.panels.back().log_at(P.panels.back().hi), 0, a, false);
  }
  bool own = a == 0;
  while (k-- > 0) {
    const Panel& pn = P.panels[k];
    const double b = tau - pn.lo;
    graded(&pn, 0, a, b, own);
    own = false;
    a = b;
  }
  R->pad();
}

double Engine::premium(const Rule& R, double ly, double* d1, double* d2, double dl,
                       bool trial, double* dens) const {
  const Sums t = (kAvx2 ? premium_avx2 : premium_baseline)(
      R.f.data(), R.c.data(), R.isd.data(), R.basis.data(), static_cast<long>(R.f.size()), ly, dl,
      trial, d1 != nullptr, dens);
  if (d1) *d1 = t.s1;
  if (d2) *d2 = t.s2;
  return t.s0;
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
  const Sums t = (kAvx2 ? gauss_avx2 : gauss_baseline)(L.x.data(), L.w.data(), L.G.data(), lo, hi,
                                                       m, a, d1 != nullptr);
  const double s0 = t.s0, s1 = t.s1, s2 = t.s2;
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
  // Width of the narrowest kernel into this level. The put's boundary is
  // solved from the date back; it crosses D where the interest on K - D
  // first outweighs D (no sooner than tau1 = -ln(1 - D/K)/r before the
  // date, later with volatility), and from there it meets kernels as
  // narrow as that time allows.
  double kin = din;
  if (premium_) {
    const double D = ev_[j].D;
    const double tau1 = D < K_ ? -std::log1p(-D / K_) / r_ : din;
    kin = std::fmax(std::fmin(din, tau1), din / 64);
  }
  const double kw = sigma_ * std::sqrt(kin);
  // Spread of ln S(s_j): centred on the forward net of the dividends paid
  // so far, or where they would take most of it, from there down to the
  // floor.
  double net = 1;
  for (std::size_t i = 0; i < j; ++i) net -= ev_[i].D * std::exp(-r_ * ev_[i].s) / S_;
  const double spread = z_ * sigma_ * std::sqrt(sj);
  const double centre = std::log(S_) + mu_ * sj;
  double lo = centre - spread + std::log(net > 0.1 ? net : 0.1);
  if (!(net > 0.1)) lo -= 40;
  const double hi = centre + spread;
  Level& L = lv_[j];
  L.cut = -INFINITY;
  L.Gc = 0;
  // The put's boundary may lie anywhere down to the floor, and value
  // matching needs the kernel there: its grid starts at the floor (unless
  // that is absurdly far down).
  if (premium_) lo -= std::fmax(12.0, spread);
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
  // The put's boundary just after this date; G is C1 but bends there.
  if (premium_) {
    const double b = j + 1 < ev_.size() ? per_[j + 1].end : tail_end_;
    if (b > 0) {
      feats.push_back({std::log(b + D), 0});
      kinks.push_back(std::log(b + D));
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
  const double base = (premium_ ? set_.put_width : set_.width) * kw;
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
    // near the overflow of the doubles) gets at most 2^16 of them (2^12 for
    // the put, whose every node needs the premium too).
    const double most = premium_ ? 4096 : 65536;
    const double want = std::ceil((b - a) / base);
    // The put's grid reaches down to the floor in steps of the kernel's
    // width, at least 12/(put_width sigma sqrt dt) panels: sigma under
    // about 1e-4 is beyond it. (Only the put's boundary needs the grid
    // there; the others' values are untouched by panels that coarse.)
    if (premium_ && want > 2 * most) coarse_ = true;
    const int pieces = static_cast<int>(want < most ? want : most);
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

// ln B at tau before the date of level j, by value matching: the value
// held less the exercise value K - B, negative below the boundary and
// positive above it. Newton's method in ln B, kept within the bracket the
// signs give.
double Engine::solve_node(std::size_t j, double tau, int node, double l, double tol,
                          const Rule* given, double floor) const {
  // The trial boundary is the panel's interpolant with the node's value
  // (at tau) moved to l. A trial below the true boundary leaves out
  // exercise and values the put below K - B there, one above values it
  // above. With node < 0 (tau no node) the panel's interpolant is moved
  // as a whole.
  const Period& P = per_[j];
  Rule own;
  if (!given) rule(P, tau, node < 0 ? kWhole : node, &own);
  const Rule& R = given ? *given : own;
  const std::size_t k = holding(P.panels, tau);
  const Panel* pn = k > 0 ? &P.panels[k - 1] : nullptr;
  const double at = !pn ? 0.0 : node < 0 ? pn->log_at(tau) : pn->q[node] + std::log(pn->t[node]);
  double lo = -INFINITY, hi = std::log(K_);
  if (!(l < hi)) l = hi - 0.01;
  if (l < floor) l = floor;
  for (int it = 0; it < 80; ++it) {
    const double y = std::exp(l);
    double d1, d2;
    const double f = hold(j, tau, y, &d1, &d2, &R, l - at, true) - (K_ - y);
    if (f == 0) return l;
    if (f > 0)
      hi = l;
    else
      lo = l;
    double next = l - f / (d1 + y);
    // Where Newton's step leaves the bracket (the trial's value can fall
    // as it rises, below the root), halving. (Value matching has a root on
    // each branch: steps outside the bracket, or false position within it,
    // can land on the other branch's.)
    if (!(next > lo && next < hi)) next = std::isinf(lo) ? l - 1 : (lo + hi) / 2;
    if (next < floor) next = (l + floor) / 2;
    if (std::fabs(next - l) < tol * (1 + std::fabs(l))) return next;
    l = next;
  }
  return l;
}

// The nodes of one panel: each solved in turn, the later ones starting
// from it, then Newton's method on the panel's equations together. The
// residual of node k is the value held less K - B_k; its derivative in
// ln B_i has, besides the kernel's and the premium's in the spot where
// i = k, the premium's through the boundary's shape: the sum over the
// points of this panel of f phi(w) l_i / sd, l_i node i's Lagrange basis.
void Engine::solve_panel(std::size_t j, Panel& p, double guess, bool newton, double floor) {
  for (int k = 0; k < kQ; ++k) {
    p.t[k] = p.lo + (p.hi - p.lo) * kQv[k];
    p.q[k] = guess - std::log(p.t[k]);
  }
  // Before Newton's method on the panel, a rough start is enough.
  // Each node's rule is built once and refreshed as the panel moves.
  const Period& P = per_[j];
  Rule R[kQ];
  auto sweep = [&](bool first) {
    double moved = 0;
    for (int k = 0; k < kQ; ++k) {
      if (first)
        rule(P, p.t[k], k, &R[k], true);
      else
        R[k].refresh(p);
      const double l = solve_node(j, p.t[k], k, p.q[k] + std::log(p.t[k]),
                                  first && newton ? 1e-7 : 1e-10, &R[k], floor);
      moved = std::fmax(moved, std::fabs(l - std::log(p.t[k]) - p.q[k]));
      for (int i = k; i < (first ? kQ : k + 1); ++i) p.q[i] = l - std::log(p.t[i]);
    }
    return moved;
  };
  sweep(true);
  // Nearest the date B is far below D and the equations nearly flat in
  // it: sweeps there, which settle. Being flat, they leave the price within
  // its rounding long before B is settled to the last bits: sweeps stop at
  // 1e-9 in ln B.
  const Panel start = p;
  if (!newton) {
    for (int n = 0; n < 30 && sweep(false) > 1e-9; ++n) {
    }
    return;
  }
  std::vector<double> dens;
  double last = INFINITY;
  for (int it = 0; it < 12; ++it) {
    double res[kQ], J[kQ][kQ + 1];
    for (int k = 0; k < kQ; ++k) {
      R[k].refresh(p);
      const double l = p.q[k] + std::log(p.t[k]), y = std::exp(l);
      double d1, d2;
      dens.resize(R[k].f.size());
      res[k] = hold(j, p.t[k], y, &d1, &d2, &R[k], 0, true, dens.data()) - (K_ - y);
      double g[kQ] = {};
      for (std::size_t n = 0; n < R[k].own; ++n)
        for (int i = 0; i < kQ; ++i) g[i] += dens[n] * R[k].all[n * kQ + i];
      for (int i = 0; i < kQ; ++i) J[k][i] = i == k ? d1 + y : g[i];
      J[k][kQ] = -res[k];
    }
    // Gaussian elimination with partial pivoting.
    for (int c = 0; c < kQ; ++c) {
      int piv = c;
      for (int r = c + 1; r < kQ; ++r)
        if (std::fabs(J[r][c]) > std::fabs(J[piv][c])) piv = r;
      for (int i = 0; i <= kQ; ++i) std::swap(J[c][i], J[piv][i]);
      for (int r = c + 1; r < kQ; ++r) {
        const double f = J[r][c] / J[c][c];
        for (int i = c; i <= kQ; ++i) J[r][i] -= f * J[c][i];
      }
    }
    double step[kQ], moved = 0;
    for (int c = kQ - 1; c >= 0; --c) {
      double v = J[c][kQ];
      for (int i = c + 1; i < kQ; ++i) v -= J[c][i] * step[i];
      step[c] = v / J[c][c];
    }
    for (int k = 0; k < kQ; ++k) {
      double d = step[k];
      if (!(std::fabs(d) < 0.5)) d = d > 0 ? 0.5 : -0.5;  // NaN too
      p.q[k] += d;
      if (p.q[k] + std::log(p.t[k]) < floor) p.q[k] = floor - std::log(p.t[k]);
      moved = std::fmax(moved, std::fabs(d));
    }
    // Converged; or at the rounding of the residuals, where the steps
    // stop shrinking. Steps that do not shrink before that are a system
    // too flat for Newton's method.
    if (moved < 1e-12 || (moved < 1e-9 && moved > last / 2)) return;
    if (it >= 2 && moved > last / 2) break;
    last = moved;
  }
  // Newton's method did not settle: sweeps instead.
  p = start;
  for (int n = 0; n < 30 && sweep(false) > 1e-9; ++n) {
  }
}

// The boundary of the period before the date of level j. Near the date
// the put is exercised only where the stock will not pay the dividend
// (B ~ K(1 - e^{-r tau}), at most about D). Where the stock will pay it,
// holding to the date gains D and exercising gains the interest on K
// less the growth of S: about (K + D) e^{-r tau} against K, whatever S.
// So at tau_J, near tau0 = ln(1 + D/K)/r, B jumps from near D to near
// the no-dividend boundary. Panels: two below tau_J, and above it panels
// graded by fours from tau_J. tau_J is where value matching changes sign
// at a spot between the two, sqrt(DK), found first without the premium,
// then with the branch below solved up to that estimate.
void Engine::solve_period(std::size_t j) {
  Period& P = per_[j];
  const double L = ev_[j].s - start_of(j), D = ev_[j].D;
  const int split = set_.split;
  P.panels.clear();
  double solved = -1;  // the end of the branch below, as last solved
  auto lower = [&](double end) {
    if (end == solved) return;
    solved = end;
    P.panels.clear();
    double guess = std::log(K_ * -std::expm1(-r_ * end / (4 * split)));
    if (guess > std::log(D)) guess = std::log(D);
    const int n = 2 * split;
    for (int i = 0; i < n; ++i) {
      Panel pn{end * i / n, end * (i + 1) / n, {}, {}};
      P.panels.push_back(pn);
      solve_panel(j, P.panels.back(), guess, i > 0);
      guess = P.panels.back().q[kQ - 1] + std::log(P.panels.back().t[kQ - 1]);
    }
  };
  const double mid = std::sqrt(D * K_);
  // The sign of value matching at B = mid: negative where B is above it.
  auto at_mid = [&](double tau) { return hold(j, tau, mid) - (K_ - mid); };
  // The sign change of f in (a, b), f(a) > 0 > f(b), by false position
  // with the stale end's value halved (Illinois); the end where f < 0.
  auto change = [&](auto f, double a, double fa, double b, double fb) {
    int side = 0;
    for (int it = 0; it < 100 && b - a > 1e-13 * L; ++it) {
      double c = (a * fb - b * fa) / (fb - fa);
      if (!(c > a && c < b)) c = (a + b) / 2;
      const double fc = f(c);
      if (fc < 0) {
        b = c;
        fb = fc;
        if (side < 0) fa /= 2;
        side = -1;
      } else {
        a = c;
        fa = fc;
        if (side > 0) fb /= 2;
        side = 1;
      }
    }
    return b;
  };
  double tc = L;
  const double atL = at_mid(L);
  if (atL < 0) {
    // First by the kernel alone, then with the premium of the branch below
    // solved up to that estimate.
    auto kernel_only = [&](double c) {
      double v;
      kernel(j, std::log(mid) + mu_ * c, sigma_ * std::sqrt(c), std::exp(-r_ * c), &v, nullptr,
             nullptr);
      return v - (K_ - mid);
    };
    tc = change(kernel_only, 0.0, D, L, atL);
    lower(tc);
    const double fL = at_mid(L);
    if (!(fL < 0)) {
      tc = L;
    } else {
      double a = tc * 0.5, fa = at_mid(a);
      if (!(fa > 0)) {
        a = 0;
        fa = D;
      }
      tc = change(at_mid, a, fa, L, fL);
    }
  }
  lower(tc);
  // Above a jump, panels graded by fours from it. Past the jump the spot
  // where value matching changed sign lies in the exercise region, so the
  // boundary stands above it: where the first panel's solve falls a tenth
  // below it (onto a root of the branch before, which outlives the jump),
  // the panels are solved again with their nodes kept above it.
  //
  // Where D is small the branch above the jump can be a second low one (S
  // just above D, which the dividend takes below the next period's
  // boundary), from which B jumps again, to near the boundary without
  // dividends. A panel holds such a jump where one node's B steps from the
  // last by more than half again, either way, and a later one stands above
  // three times the B before that step. The jump is then found as tau_J
  // was, at the spot between those two values, with B held flat past the
  // panels before; the panel ends on it, and the grading starts again
  // from there.
  double from = tc, over = std::log(mid);
  for (int pass = 0; from < L; ++pass) {
    const int grades = 6 * split;
    double prev = from;
    double guess = P.panels.back().q[kQ - 1] + std::log(P.panels.back().t[kQ - 1]);
    const double start = from;
    from = L;
    for (int g = grades - 1; g >= 0; --g) {
      const double e = g == 0 ? L : start + (L - start) * std::pow(4.0, -g * 6.0 / grades);
      P.panels.push_back({prev, e, {}, {}});
      if (g == grades - 1) {
        solve_panel(j, P.panels.back(), guess, true);
        const Panel& f = P.panels.back();
        if (f.q[0] + std::log(f.t[0]) < over - std::log(1.1)) {
          P.panels.back() = {prev, e, {}, {}};
          solve_panel(j, P.panels.back(), guess, true, over);
        } else {
          over = -INFINITY;
        }
      } else {
        solve_panel(j, P.panels.back(), guess, true, over);
      }
      const Panel pn = P.panels.back();
      // Not the first node above the jump at `start`; and three jumps a
      // period at most.
      double ta = 0, ba = 0, tb = 0, bb = 0, last = guess;
      for (int k = g == grades - 1 ? 1 : 0; k < kQ && tb == 0 && pass < 3; ++k) {
        if (k > 0) last = pn.q[k - 1] + std::log(pn.t[k - 1]);
        const double l = pn.q[k] + std::log(pn.t[k]);
        if (ba == 0 && std::fabs(l - last) > std::log(1.5)) {
          ba = std::exp(last);
          ta = k > 0 ? pn.t[k - 1] : pn.lo;
        }
        if (ba > 0 && l > std::log(3 * ba)) {
          bb = std::exp(l);
          tb = pn.t[k];
        }
      }
      if (tb > 0) {
        const double spot = std::sqrt(ba * bb);
        P.panels.pop_back();
        auto at = [&](double tau) { return hold(j, tau, spot) - (K_ - spot); };
        const double fa = at(ta), fb = at(tb);
        if (fa > 0 && fb < 0) {
          from = change(at, ta, fa, tb, fb);
          P.panels.push_back({pn.lo, from, {}, {}});
          solve_panel(j, P.panels.back(), guess, true, over);
          over = std::log(spot);
          break;
        }
        P.panels.push_back(pn);
      }
      guess = pn.q[kQ - 1] + std::log(pn.t[kQ - 1]);
      prev = e;
    }
  }
  P.top = -INFINITY;
  for (const Panel& pn : P.panels)
    for (int k = 0; k < kQ; ++k) P.top = std::fmax(P.top, pn.q[k] + std::log(pn.t[k]));
  // At the start of the period, where the boundary is the put's exercise
  // point for the date before.
  P.end = std::exp(solve_node(j, L, -1, P.panels.back().log_at(L)));
  rule(P, L, -1, &P.start);
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
    tail_log_ = tailb_.log_at(T_ - ev_.back().s);
    american::PremiumRule pr = american::put_premium_rule(tailb_, K_, r_, sigma_, american::precise_setting(r_, 0));
    tail_rule_.f = std::move(pr.f);
    tail_rule_.c = std::move(pr.c);
    for (double v : pr.sd) tail_rule_.isd.push_back(1 / v);
    tail_rule_.pad();
    tail_end_ = tail_start();
    per_.assign(ev_.size(), Period{});
  }
  for (std::size_t j = ev_.size(); j-- > 0;) {
    build(j);
    if (coarse_) return {NAN, NAN, NAN};
    if (premium_) solve_period(j);
  }
  double v, d1, d2;
  if (premium_ && S_ <= per_[0].end) return {K_ - S_, -1.0, 0.0};
  v = hold(0, ev_[0].s, S_, &d1, &d2, premium_ ? &per_[0].start : nullptr);
  Value out{v, d1 / S_, (d2 - d1) / (S_ * S_)};
  if (style_ == Style::american && !(out.price > exercise(S_)))
    out = {exercise(S_), kind_ == Kind::call ? 1.0 : -1.0, 0.0};
  if (!(out.price > 0)) out.price = 0;
  return out;
}

// Exercise dates between dividends, `steps` a year, for a call exercised
// between them (r < 0): before each dividend they crowd quadratically
// towards its date.
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
  // The put: its boundary between dates by value matching (solve_period).
  if (kind == Kind::put && set.steps >= 0) {
    Engine e(kind, style, S, K, T, r, sigma, events_of(divs, 0, K, r), true, set);
    return e.run();
  }
  // A call exercised between dividends (r < 0): a Bermudan one at steps and
  // 2 steps a year, whose first-order error is taken out. A negative count
  // asks for the Bermudan option alone, the put's too.
  if (set.steps < 0) {
    Engine e(kind, style, S, K, T, r, sigma, events_of(divs, -set.steps, K, r), true, set);
    return e.run();
  }
  Engine a(kind, style, S, K, T, r, sigma, events_of(divs, set.steps, K, r), true, set);
  Engine b(kind, style, S, K, T, r, sigma, events_of(divs, 2.0 * set.steps, K, r), true, set);
  const Value va = a.run(), vb = b.run();
  Value v{2 * vb.price - va.price, 2 * vb.delta - va.delta, 2 * vb.gamma - va.gamma};
  if (v.price < S - K) v = {S - K, 1.0, 0.0};
  return v;
}

}  // namespace vexal::dividends
