#!/usr/bin/python3
"""Reference values for the precise prices with cash dividends, by mpmath.

Writes tests/precise_dividends_reference.h (checked in). The model: between
dividend dates the stock is lognormal (rate r, volatility sigma, no yield); at
date t_i it drops by D_i, to 0 where it stood at or below D_i. The value is
the nested integral over the log-price just before each date, the innermost
the Black-Scholes price after the last dividend, each integral split where
its integrand has a kink: the floor (S = D_i) and, for the American call
(exercised only just before a dividend when r >= 0), the exercise point
found by root finding. Gauss-Legendre panels of 24 points at 24 digits.

Greeks (NAN where there are two dividends) by differences of these values
at 24 digits (delta, gamma in S; vega
in sigma; rho in r; theta as the value's decay when the clock moves and every
date draws nearer). Seeded random cases with one or two dividends over S 60
to 140, K = 100, T from a month to three years, r 0 to 10 %, sigma 0.1 to
0.6, dividends up to 5 % of the spot, and the published values of the map.
Run it again only to change the cases (Debian python3-mpmath):
/usr/bin/python3 tests/precise_dividends_reference.py
"""
import math
import os
import random

import mpmath as mp

mp.mp.dps = 24
HERE = os.path.dirname(os.path.abspath(__file__))


def bs(call, S, K, T, r, sigma):
    if S <= 0:
        return mp.mpf(0) if call else K * mp.exp(-r * T)
    s = sigma * mp.sqrt(T)
    d1 = (mp.log(S / K) + (r + sigma * sigma / 2) * T) / s
    d2 = d1 - s
    if call:
        return S * mp.ncdf(d1) - K * mp.exp(-r * T) * mp.ncdf(d2)
    return K * mp.exp(-r * T) * mp.ncdf(-d2) - S * mp.ncdf(-d1)


_RULE = []


def panels(f, pts):
    """Gauss-Legendre of 24 points on panels at most 1.5 wide between pts."""
    if not _RULE:
        xs, ws = [], []
        for k in range(1, 25):  # roots of P_24 by Newton from Chebyshev guesses
            x = mp.cos(mp.pi * (k - mp.mpf(1) / 4) / (24 + mp.mpf(1) / 2))
            for _ in range(100):
                p0, p1 = mp.mpf(1), x
                for j in range(2, 25):
                    p0, p1 = p1, ((2 * j - 1) * x * p1 - (j - 1) * p0) / j
                dp = 24 * (x * p1 - p0) / (x * x - 1)
                dx = p1 / dp
                x -= dx
                if abs(dx) < mp.mpf(10) ** (-mp.mp.dps + 2):
                    break
            xs.append(x)
            ws.append(2 / ((1 - x * x) * dp * dp))
        _RULE.extend(zip(xs, ws))
    total = mp.mpf(0)
    for a, b in zip(pts[:-1], pts[1:]):
        n = int(mp.ceil((b - a) / mp.mpf(1.5)))
        h = (b - a) / n
        for k in range(n):
            c = a + h * (k + mp.mpf(1) / 2)
            total += h / 2 * sum(w * f(c + h / 2 * x) for x, w in _RULE)
    return total


def value(call, american, S, K, T, r, sigma, divs):
    """Value at time 0 of spot S; divs sorted [(t, D)] with 0 < t < T."""
    divs = [(mp.mpf(t), mp.mpf(D)) for t, D in divs]
    exercise_at = {}  # the exercise point before date i depends on i only

    def after(i, y, now):
        """Value just after date i (now = its time) at post-dividend spot y."""
        if i + 1 == len(divs):
            return bs(call, y, K, T - now, r, sigma) if y > 0 else bs(call, 0, K, T - now, r, sigma)
        if y <= 0:
            return mp.mpf(0) if call else K * mp.exp(-r * (T - now))
        return forward(i + 1, y, now)

    def before(i, x):
        """Value just before date i at cum-dividend spot x."""
        t, D = divs[i]
        hold = after(i, x - D, t)
        if american and call:
            return max(hold, x - K)
        return hold

    def forward(i, y, now):
        """e^{-r dt} E[before(i, S_t)] from spot y at time now."""
        t, D = divs[i]
        dt = t - now
        s = sigma * mp.sqrt(dt)
        m = mp.log(y) + (r - sigma * sigma / 2) * dt

        def f(z):
            return before(i, mp.exp(m + s * z)) * mp.npdf(z)

        cuts = [(mp.log(D) - m) / s]
        if american and call:
            if i not in exercise_at:
                g = lambda x: after(i, x - D, t) - (x - K)  # noqa: E731
                lo, hi = mp.mpf(K), mp.mpf(K) * 50
                exercise_at[i] = None
                if g(hi) < 0 < g(lo):
                    for _ in range(80):
                        mid = (lo + hi) / 2
                        if g(mid) > 0:
                            lo = mid
                        else:
                            hi = mid
                    exercise_at[i] = (lo + hi) / 2
            if exercise_at[i] is not None:
                cuts.append((mp.log(exercise_at[i]) - m) / s)
        pts = [mp.mpf(-14)] + sorted(c for c in cuts if -14 < c < 14) + [mp.mpf(14)]
        return mp.exp(-r * dt) * panels(f, pts)

    S, K, T, r, sigma = (mp.mpf(v) for v in (S, K, T, r, sigma))
    v = forward(0, S, mp.mpf(0))
    if american and call:
        v = max(v, S - K)
    return v


def greeks(call, american, S, K, T, r, sigma, divs):
    f = lambda **kw: value(call, american, kw.get("S", S), K, kw.get("T", T), kw.get("r", r),  # noqa: E731
                           kw.get("sigma", sigma), kw.get("divs", divs))
    S, r, sigma = mp.mpf(S), mp.mpf(r), mp.mpf(sigma)
    h = mp.mpf(10) ** -7
    v0 = f()
    vu, vd = f(S=S * (1 + h)), f(S=S * (1 - h))
    delta = (vu - vd) / (2 * S * h)
    gamma = (vu - 2 * v0 + vd) / (S * h) ** 2
    vega = (f(sigma=sigma + h) - f(sigma=sigma - h)) / (2 * h)
    rho = (f(r=r + h) - f(r=r - h)) / (2 * h)
    later = [(t - float(h), D) for t, D in divs]
    earlier = [(t + float(h), D) for t, D in divs]
    theta = (f(T=mp.mpf(T) - h, divs=later) - f(T=mp.mpf(T) + h, divs=earlier)) / (2 * h)
    return v0, delta, gamma, vega, theta, rho


def cases():
    rng = random.Random(2828)
    out = []
    for i in range(18):
        S = rng.uniform(60, 140)
        T = math.exp(rng.uniform(math.log(1 / 12), math.log(3)))
        r = rng.choice([0.0, rng.uniform(0, 0.1)])
        sigma = rng.uniform(0.1, 0.6)
        n = 1 if i % 6 else 2
        times = sorted(rng.uniform(0.02, 0.98) * T for _ in range(n))
        divs = [(t, rng.uniform(0.005, 0.05) * S) for t in times]
        out.append((S, 100.0, T, r, sigma, divs))
    # The published values of the map, and a put far in the money.
    out.append((100.0, 100.0, 1.0, 0.05, 0.2, [(0.5, 2.0)]))
    out.append((100.0, 90.0, 0.75, 0.04, 0.3, [(0.3, 4.0)]))
    out.append((80.0, 100.0, 0.5, 0.01, 0.15, [(0.25, 3.0)]))
    return out


def fmt(v):
    return "NAN" if mp.isnan(v) else repr(float(v))


def main():
    out = ["// Generated by tests/precise_dividends_reference.py (mpmath, nested quadrature at 24",
           "// digits); do not edit. Seeded cases with one or two cash dividends; see the script.",
           "#ifndef VEXAL_TESTS_PRECISE_DIVIDENDS_REFERENCE_H",
           "#define VEXAL_TESTS_PRECISE_DIVIDENDS_REFERENCE_H",
           "",
           "#include <cmath>",
           "",
           "namespace precise_dividends_reference {",
           "",
           "// kind: 0 European call, 1 European put, 2 American call; up to two dividends",
           "// (n of them); value and delta, gamma, vega, theta, rho.",
           "struct Case {",
           "  int kind;",
           "  double S, K, T, r, sigma;",
           "  int n;",
           "  double times[2], amounts[2];",
           "  double value, delta, gamma, vega, theta, rho;",
           "};",
           "inline constexpr Case kCases[] = {"]
    for kind, (call, american) in enumerate([(True, False), (False, False), (True, True)]):
        for S, K, T, r, sigma, divs in cases():
            if american and r < 0:
                continue
            if len(divs) == 1:
                g = greeks(call, american, S, K, T, r, sigma, divs)
            else:  # the price alone: nested twice, the differences cost too much
                g = (value(call, american, S, K, T, r, sigma, divs),) + (mp.nan,) * 5
            ts = [d[0] for d in divs] + [0.0] * (2 - len(divs))
            ds = [d[1] for d in divs] + [0.0] * (2 - len(divs))
            out.append("    {%d, %s, %s, %s, %s, %s, %d, {%s, %s}, {%s, %s}, %s}," % (
                kind, fmt(S), fmt(K), fmt(T), fmt(r), fmt(sigma), len(divs), fmt(ts[0]), fmt(ts[1]),
                fmt(ds[0]), fmt(ds[1]), ", ".join(fmt(x) for x in g)))
            print(out[-1], flush=True)
    out += ["};", "", "}  // namespace precise_dividends_reference", "", "#endif", ""]
    with open(os.path.join(HERE, "precise_dividends_reference.h"), "w") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
