#!/usr/bin/python3
"""Reference values for the precise family, by mpmath at 60 digits.

Writes tests/precise_reference.h (checked in): seeded random grids of the
normal distribution, the European prices and Greeks and the implied
volatility, each with its hard regions (deep tails, far out of the money,
short and long expiries, tiny and huge volatility, negative rates).
Run it again only to change the grids (Debian python3-mpmath):
/usr/bin/python3 tests/precise_reference.py
"""
import math
import os
import random

import mpmath as mp

mp.mp.dps = 60
HERE = os.path.dirname(os.path.abspath(__file__))


def split(v):
    """A value as the sum of two doubles, hi + lo."""
    hi = float(v)
    return hi, float(v - mp.mpf(hi))


def lu(rng, a, b):
    """Log-uniform draw on [a, b]."""
    return math.exp(rng.uniform(math.log(a), math.log(b)))


# -- normal distribution -------------------------------------------------

def normal_grid():
    rng = random.Random(1901)
    xs = [rng.uniform(-38.5, 9.0) for _ in range(300)]
    xs += [rng.uniform(-1.0, 1.0) for _ in range(60)]
    xs += [rng.uniform(-38.5, -30.0) for _ in range(40)]
    for edge in (0.46875 * math.sqrt(2), 4 * math.sqrt(2)):  # region edges
        xs += [s * edge * (1 + d) for s in (-1, 1) for d in (-1e-12, 0.0, 1e-12)]
    xs += [0.0, -1e-300, 1e-10, -37.5, -38.0]
    rows = []
    for x in xs:
        X = mp.mpf(x)
        rows.append((x,) + split(mp.npdf(X)) + split(mp.ncdf(X)))
    return rows


# -- European prices and Greeks ------------------------------------------

def market(rng, kind):
    S = lu(rng, 1.0, 1000.0)
    r, q = rng.uniform(-0.05, 0.1), rng.uniform(-0.05, 0.1)
    T, sigma = lu(rng, 0.05, 5.0), lu(rng, 0.05, 1.0)
    if kind == "short":
        T = lu(rng, 1e-8, 1e-2)
    elif kind == "long":
        T = lu(rng, 10.0, 100.0)
    elif kind == "tiny":
        sigma = lu(rng, 1e-9, 1e-3)
    elif kind == "huge":
        sigma = lu(rng, 2.0, 30.0)
    elif kind == "negative":
        r, q = rng.uniform(-0.2, 0.0), rng.uniform(-0.2, 0.0)
    s = sigma * math.sqrt(T)
    if kind == "far":  # |x/s| up to 33: prices down to about 1e-250
        s = lu(rng, 1e-3, 5.0)
        sigma = s / math.sqrt(T)
        z = rng.uniform(4.0, 33.0) * rng.choice((-1, 1))
    else:
        z = rng.uniform(-4.0, 4.0)
    K = S * math.exp((r - q) * T - z * s)
    return S, K, T, r, sigma, q


KINDS = [("typical", 60), ("far", 120), ("short", 40), ("long", 40),
         ("tiny", 40), ("huge", 40), ("negative", 40)]


def european(S, K, T, r, sigma, q, exact=False):
    S, K, T, r, sigma, q = map(mp.mpf, (S, K, T, r, sigma, q))
    Dr, Dq = mp.exp(-r * T), mp.exp(-q * T)
    sT = mp.sqrt(T)
    d1 = (mp.log(S / K) + (r - q + sigma ** 2 / 2) * T) / (sigma * sT)
    d2 = d1 - sigma * sT
    N, n = mp.ncdf, mp.npdf
    a = -S * Dq * n(d1) * sigma / (2 * sT)
    tc = (a, q * S * Dq * N(d1), -r * K * Dr * N(d2))
    tp = (a, -q * S * Dq * N(-d1), r * K * Dr * N(-d2))
    vals = [S * Dq * N(d1) - K * Dr * N(d2), K * Dr * N(-d2) - S * Dq * N(-d1),
            Dq * N(d1), -Dq * N(-d1), Dq * n(d1) / (S * sigma * sT), S * Dq * n(d1) * sT,
            sum(tc), sum(tp), K * T * Dr * N(d2), -K * T * Dr * N(-d2), N(d2)]
    scales = [sum(abs(v) for v in tc), sum(abs(v) for v in tp)]
    return vals if exact else [float(v) for v in vals + scales]


def european_grid():
    """Values, and their derivatives by ln S: what an error of one ulp in
    ln(S/K) or (r - q) T, beyond any method, moves them by."""
    rng = random.Random(1902)
    rows = []
    for kind, count in KINDS:
        for _ in range(count):
            m = market(rng, kind)
            d = mp.mpf(10) ** -20
            up = european(mp.mpf(m[0]) * mp.exp(d), *m[1:], exact=True)
            down = european(mp.mpf(m[0]) * mp.exp(-d), *m[1:], exact=True)
            slopes = [float((u - w) / (2 * d)) for u, w in zip(up[:11], down[:11])]
            rows.append(m + tuple(european(*m)) + tuple(slopes))
    return rows


# -- implied volatility --------------------------------------------------

def impvol_grid():
    """Prices rounded to doubles, and the volatility that gives each exactly
    (kappa = P / (sigma dP/dsigma), the condition number of the inversion)."""
    rng = random.Random(1903)
    rows = []
    kinds = KINDS + [("atm", 20)]
    for kind, count in kinds:
        for i in range(count):
            S, K, T, r, sigma, q = market(rng, "typical" if kind == "atm" else kind)
            if kind == "atm":
                K = float(mp.mpf(S) * mp.exp((mp.mpf(r) - q) * T))
            call = i % 2 == 0
            P = european(S, K, T, r, sigma, q)[0 if call else 1]
            if not P > 0:
                continue
            Sm, Km, Tm, rm, qm = map(mp.mpf, (S, K, T, r, q))

            def price(v):
                d1 = (mp.log(Sm / Km) + (rm - qm + v ** 2 / 2) * Tm) / (v * mp.sqrt(Tm))
                d2 = d1 - v * mp.sqrt(Tm)
                if call:
                    return Sm * mp.exp(-qm * Tm) * mp.ncdf(d1) - Km * mp.exp(-rm * Tm) * mp.ncdf(d2)
                return Km * mp.exp(-rm * Tm) * mp.ncdf(-d2) - Sm * mp.exp(-qm * Tm) * mp.ncdf(-d1)

            def vega(v):
                d1 = (mp.log(Sm / Km) + (rm - qm + v ** 2 / 2) * Tm) / (v * mp.sqrt(Tm))
                return Sm * mp.exp(-qm * Tm) * mp.npdf(d1) * mp.sqrt(Tm)

            v = mp.mpf(sigma)
            kappa = price(v) / (v * vega(v))
            exact = float("nan")
            if kappa < 1e6:  # the volatility of the rounded price, by Newton
                for _ in range(200):
                    step = (price(v) - P) / vega(v)
                    v -= step
                    if abs(step) < v * mp.mpf(10) ** -45:
                        break
                exact = float(v)
            rows.append((S, K, T, r, P, q, 1.0 if call else 0.0, sigma, exact, float(kappa)))
    return rows


def fmt(v):
    if math.isnan(v):
        return "NAN"
    return repr(float(v))


def main():
    out = [
        "// Generated by tests/precise_reference.py (mpmath, 60 digits); do not edit.",
        "// Seeded random grids with their hard regions; see the script.",
        "#ifndef VEXAL_TESTS_PRECISE_REFERENCE_H",
        "#define VEXAL_TESTS_PRECISE_REFERENCE_H",
        "",
        "#include <cmath>",
        "",
        "namespace precise_reference {",
        "",
        "// x, density (hi, lo), distribution function (hi, lo).",
        "struct Normal { double x, pdf_hi, pdf_lo, cdf_hi, cdf_lo; };",
        "inline constexpr Normal kNormal[] = {",
    ]
    out += ["    {%s}," % ", ".join(fmt(v) for v in row) for row in normal_grid()]
    out += [
        "};",
        "",
        "// Inputs, then call, put, call and put delta, gamma, vega, call and put",
        "// theta, call and put rho, probability in the money, and the sums of the",
        "// absolute values of the terms of each theta (its scale near zero), and",
        "// the derivatives of the eleven values by ln S, in the same order.",
        "struct European {",
        "  double S, K, T, r, sigma, q;",
        "  double call, put, call_delta, put_delta, gamma, vega, call_theta, put_theta,",
        "      call_rho, put_rho, prob_itm, call_theta_scale, put_theta_scale;",
        "  double slope[11];",
        "};",
        "inline constexpr European kEuropean[] = {",
    ]
    out += ["    {%s, {%s}}," % (", ".join(fmt(v) for v in row[:19]), ", ".join(fmt(v) for v in row[19:]))
            for row in european_grid()]
    out += [
        "};",
        "",
        "// Inputs with the price rounded to a double, call (1) or put (0), the",
        "// volatility the price was made from, the volatility that gives the",
        "// rounded price exactly (NaN where kappa >= 1e6), and kappa.",
        "struct Impvol { double S, K, T, r, price, q, call, sigma, exact, kappa; };",
        "inline constexpr Impvol kImpvol[] = {",
    ]
    out += ["    {%s}," % ", ".join(fmt(v) for v in row) for row in impvol_grid()]
    out += ["};", "", "}  // namespace precise_reference", "", "#endif", ""]
    with open(os.path.join(HERE, "precise_reference.h"), "w") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
