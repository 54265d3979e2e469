#!/usr/bin/python3
"""How far the legacy functions are from the precise family.

    VEXAL_LIBRARY=build/bin/libvexal.so python3 docs/figures_precise.py

prints the table of docs/precise.md (worst relative and absolute error of
each legacy function on a seeded grid of ordinary options: spot 100,
strikes 70 to 140, 0.1 to 3 years, sigma 0.1 to 0.6; x in [-8, 8]) and draws
docs/figures/precise_legacy_error.png: the relative error of the legacy
snorm and of the legacy implied volatility. The precise values are taken
from mpmath at 30 digits, which the precise family matches to a few ulp
(tests/precise_test.cpp), far below anything the figure can show.
"""
import math
import os
import random
import sys

import mpmath as mp

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "python"))
import vexal  # noqa: E402

mp.mp.dps = 30
N, n = mp.ncdf, mp.npdf


def european(S, K, T, r, sigma, q):
    S, K, T, r, sigma, q = map(mp.mpf, (S, K, T, r, sigma, q))
    Dr, Dq, sT = mp.exp(-r * T), mp.exp(-q * T), mp.sqrt(T)
    d1 = (mp.log(S / K) + (r - q + sigma ** 2 / 2) * T) / (sigma * sT)
    d2 = d1 - sigma * sT
    a = -S * Dq * n(d1) * sigma / (2 * sT)
    return {
        "call_eur": S * Dq * N(d1) - K * Dr * N(d2),
        "put_eur": K * Dr * N(-d2) - S * Dq * N(-d1),
        "call_delta_eur": Dq * N(d1), "put_delta_eur": -Dq * N(-d1),
        "gamma_eur": Dq * n(d1) / (S * sigma * sT), "vega_eur": S * Dq * n(d1) * sT,
        "call_theta_eur": a + q * S * Dq * N(d1) - r * K * Dr * N(d2),
        "put_theta_eur": a - q * S * Dq * N(-d1) + r * K * Dr * N(-d2),
        "call_rho_eur": K * T * Dr * N(d2), "put_rho_eur": -K * T * Dr * N(-d2),
        "prob_itm": N(d2),
    }


def table():
    rng = random.Random(1904)
    worst, worst_abs = {}, {}

    def note(name, got, want):
        e = abs(got - float(want))
        worst[name] = max(worst.get(name, 0.0), e / abs(float(want)))
        worst_abs[name] = max(worst_abs.get(name, 0.0), e)

    for _ in range(400):
        x = rng.uniform(-8.0, 8.0)
        note("snorm", vexal.snorm(x), N(x))
        note("norm", vexal.norm(x), n(x))
    for _ in range(300):
        S, K = 100.0, 100.0 * rng.uniform(0.7, 1.4)
        T, r = rng.uniform(0.1, 3.0), rng.uniform(-0.01, 0.06)
        sigma, q = rng.uniform(0.1, 0.6), rng.uniform(0.0, 0.03)
        ref = european(S, K, T, r, sigma, q)
        for name, want in ref.items():
            note(name, getattr(vexal, name)(S, K, T, r, sigma, q), want)
        for name, kind in (("call_impvol_eur", "call_eur"), ("put_impvol_eur", "put_eur")):
            P = float(ref[kind])
            if P > 1e-3:  # legacy implied volatility, from prices worth quoting
                note(name, getattr(vexal, name)(S, K, T, r, P, q), sigma)
    print("| Legacy function | Worst relative error | Worst absolute error |")
    print("|---|---|---|")
    for name in ["norm", "snorm", "call_eur", "put_eur", "call_delta_eur", "put_delta_eur", "gamma_eur",
                 "vega_eur", "call_theta_eur", "put_theta_eur", "call_rho_eur", "put_rho_eur", "prob_itm",
                 "call_impvol_eur", "put_impvol_eur"]:
        print("| `%s` | %.1e | %.1e |" % (name, worst[name], worst_abs[name]))


def figure(path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, (left, right) = plt.subplots(1, 2, figsize=(10, 4))
    xs = [-10 + 15 * i / 600 for i in range(601)]
    errs = []
    for x in xs:
        want = float(N(x))
        errs.append(max(abs(vexal.snorm(x) - want) / want, 1e-17))
    left.semilogy(xs, errs, color="#1f5fa8", lw=1)
    left.set_title("legacy snorm: relative error\n(1 where it returns 0)")
    left.set_xlabel("x")
    left.set_ylim(1e-17, 3)
    left.grid(True, which="major", color="#ddd")

    S, T, r, q = 100.0, 1.0, 0.05, 0.0
    for sigma, colour in ((0.2, "#c0392b"), (0.5, "#2e8b57")):
        ks = [50 + 150 * i / 300 for i in range(301)]
        pts = []
        for K in ks:
            P = float(european(S, K, T, r, sigma, q)["call_eur"])
            v = vexal.call_impvol_eur(S, K, T, r, P, q)
            pts.append(max(abs(v - sigma) / sigma, 1e-17) if math.isfinite(v) else 1.0)
        right.semilogy(ks, pts, color=colour, lw=1, label="sigma = %g" % sigma)
    right.set_title("legacy call_impvol_eur: relative error\n(S = 100, T = 1, r = 5 %, q = 0)")
    right.set_xlabel("strike K")
    right.set_ylim(1e-17, 3)
    right.legend()
    right.grid(True, which="major", color="#ddd")
    fig.tight_layout()
    fig.savefig(path, dpi=90, metadata={"Software": None})


def main():
    table()
    figure(os.path.join(HERE, "figures", "precise_legacy_error.png"))


if __name__ == "__main__":
    main()
