#!/usr/bin/python3
"""Reference values of the expected maximum drawdown, by mpmath.

E[MDD] of mu t + sigma W(t) over [0, T] is sigma sqrt(T) E1(c), c = mu sqrt(T)/sigma,
E1(c) = int_0^inf P(tau_h <= 1) dh (sigma = T = 1). Two independent ways:

- series: P(tau_h > 1) by the eigenfunction series of Magdon-Ismail, Atiya,
  Pratap and Abu-Mostafa (2004), roots of k cos k = (ch) sin k (and the
  hyperbolic root where ch > 1), summed at working precision raised by what
  the weights e^{-ch} cost, integrated over h by Gauss-Legendre quadrature;
- inversion: the Laplace transform in T of E1, (1/s) int_0^inf E e^{-s tau_h} dh
  = 2F1(1, beta; beta + 1; -z) / (beta s (b - c)), b = sqrt(c^2 + 2s),
  beta = (c + b)/(2b), z = (b + c)/(b - c), inverted at T = 1 by mpmath's Talbot.

Both at four points of each sign (they must agree to 1e-15); elsewhere the
inversion, checked where the drift is negative and x = c^2/2 > 10 (where
the series' weights e^{-ch} are astronomical) against the law x + 1/2 of Q.
Writes tests/precise_emdd_reference.h (checked in); run it again only to
change the points: /usr/bin/python3 tests/precise_emdd_reference.py
"""
import math
import os

import mpmath as mp

HERE = os.path.dirname(os.path.abspath(__file__))


def bracketed(f, a, b):
    """The root of f in (a, b), where f changes sign: Illinois, or bisection
    where that has not converged (near 0, where f is flat)."""
    r = mp.findroot(f, (a, b), solver="illinois", verify=False)
    if not (a <= r <= b) or abs(f(r)) > mp.mpf(10) ** (8 - mp.mp.dps) * abs(f(b)):
        r = mp.findroot(f, (a, b), solver="bisect", verify=False)
    return r


def roots(alpha, kmax):
    """Positive roots of k cos k - alpha sin k below kmax, and for alpha > 1
    the hyperbolic root kappa of tanh kappa = kappa / alpha with alpha - kappa."""
    f = lambda k: k * mp.cos(k) - alpha * mp.sin(k)
    out, hyp = [], None
    if alpha > 3:  # delta = alpha - kappa = 2 alpha / (e^{2 kappa} + 1), by iteration
        delta = mp.mpf(0)
        for _ in range(200):
            new = 2 * alpha / (mp.exp(2 * (alpha - delta)) + 1)
            if new == delta:
                break
            delta = new
        hyp = (alpha - delta, delta)
    elif alpha > 1:
        kappa = bracketed(lambda x: x * mp.cosh(x) - alpha * mp.sinh(x), mp.mpf(10) ** -12, alpha)
        hyp = (kappa, alpha - kappa)
    elif 0 <= alpha < 1:
        out.append(bracketed(f, mp.mpf(10) ** -12, mp.pi / 2))
    n = 1
    while n * mp.pi - mp.pi / 2 < kmax:
        a, b = (n * mp.pi, n * mp.pi + mp.pi / 2) if alpha >= 0 else (n * mp.pi - mp.pi / 2, n * mp.pi)
        out.append(bracketed(f, a, b))
        n += 1
    return out, hyp


def survival(c, h):
    """P(tau_h > 1): sum of 2 e^{-alpha} k sin k / (k^2 + alpha^2 - alpha) e^{-(k^2 + alpha^2) / 2h^2}."""
    alpha = c * h
    kmax = h * mp.sqrt(2 * (mp.mp.dps + 10) * mp.log(10))
    ks, kappa = roots(alpha, kmax)
    tot = mp.mpf(0)
    for k in ks:
        tot += 2 * k * mp.sin(k) / (k ** 2 + alpha ** 2 - alpha) * mp.exp(-alpha - (k ** 2 + alpha ** 2) / (2 * h ** 2))
    if kappa is not None:  # (kappa, alpha - kappa)
        kappa, delta = kappa
        gap = delta * (2 * alpha - delta)  # alpha^2 - kappa^2
        tot += kappa * (1 - mp.exp(-2 * kappa)) / (alpha - gap) * mp.exp(kappa - alpha - gap / (2 * h ** 2))
    return tot


def by_series(c):
    c = mp.mpf(c)
    H = max(0, -c) + 18
    scale = min(mp.mpf(1), 4 / abs(c)) if c > 0 else mp.mpf(1)
    points = [mp.mpf(0)] + [scale * x for x in (0.125, 0.25, 0.5, 1, 1.5, 2, 3, 4, 6, 9, 13)]
    if c < 0:
        points += [-c + d for d in (-8, -4, -2, -1, 0, 1, 2, 4, 8) if -c + d > points[-1]]
    points = sorted(set(p for p in points if p < H)) + [H]
    return mp.quad(lambda h: 1 - survival(c, h) if h > 0 else mp.mpf(1), points, method="gauss-legendre")


def by_inversion(c):
    c = mp.mpf(c)

    def L(s):
        b = mp.sqrt(c * c + 2 * s)
        beta, z = (c + b) / (2 * b), (b + c) / (b - c)
        return mp.hyp2f1(1, beta, beta + 1, -z) / (beta * s * (b - c))

    return mp.invertlaplace(L, 1, method="talbot")


# Where the series is summed as well (up to minutes each at 30 digits and
# more; it has also been run once at every point with x <= 450 for mu > 0,
# agreeing to 1e-15 everywhere).
SERIES = (1e-4, 1e-2, 0.5, 4.5)


def main():
    rows = []
    xs = [1e-6, 1e-4, 5e-4, 1e-3, 2.5e-3, 1e-2, 0.1, 0.5, 1.5, 4.5, 10, 50, 450, 1e4]
    for sign in (1, -1):
        for x in xs:
            c = sign * math.sqrt(2 * x)
            mp.mp.dps = 30
            inv = by_inversion(c)
            if x in SERIES:
                mp.mp.dps = 30 + int(max(0.0, -c * (-c + 18)) / 2.3)
                ser = by_series(c)
                mp.mp.dps = 30
                assert abs(ser - inv) <= mp.mpf(10) ** -15 * abs(inv), (c, ser, inv)
            elif sign < 0 and x > 10:
                assert abs(inv * abs(c) / 2 - (x + 0.5)) < 1e-3 * x, (c, inv)
            rows.append((c, float(inv)))
            print(c, mp.nstr(inv, 20), flush=True)
    out = ["// Generated by tests/precise_emdd_reference.py (mpmath); do not edit.",
           "#ifndef VEXAL_TESTS_PRECISE_EMDD_REFERENCE_H",
           "#define VEXAL_TESTS_PRECISE_EMDD_REFERENCE_H",
           "",
           "namespace emdd_reference {",
           "",
           "// c = mu sqrt(T) / sigma and E1(c), the expected maximum drawdown for sigma = T = 1.",
           "struct Point { double c, e1; };",
           "inline constexpr Point kPoints[] = {"]
    out += ["    {%r, %r}," % r for r in rows]
    out += ["};", "", "}  // namespace emdd_reference", "", "#endif", ""]
    with open(os.path.join(HERE, "precise_emdd_reference.h"), "w") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
