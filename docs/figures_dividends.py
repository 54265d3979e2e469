#!/usr/bin/python3
"""The two figures of the cash-dividend section of docs/precise.md.

    VEXAL_LIBRARY=build/bin/libvexal.so /usr/bin/python3 docs/figures_dividends.py [--boundary]

(--boundary: the second figure alone.)

docs/figures/dividend_error.png: over S from 60 to 140, the relative
distance of the legacy escrowed-dividend functions (put_eur_d, call_eur_d,
and the 1000-step trees put_binamer_d, call_binamer_d) from the precise ones
(K = 100, one year, r = 5 %, sigma = 0.25, $2 a quarter at 0.2, 0.45, 0.7 and
0.95), beside the precise functions' own error against their finer setting
(the tests' bound, 1e-10 for the European and 1e-8 for the American put).

docs/figures/dividend_boundary.png: the exercise boundary of an American
put with three dividends (K = 100, one year, r = 8 %, sigma = 0.25, $1 at
0.25, 0.5 and 0.75) over calendar time: at each time t the largest spot at
which precise_put_american_d, with the time and the dividends still to
come, is the exercise value K - S (bisection on S).
"""
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "python"))
import vexal  # noqa: E402

P = vexal.precise


def error(path):
    K, T, r, sigma = 100, 1.0, 0.05, 0.25
    times, amounts = [0.2, 0.45, 0.7, 0.95], [2.0] * 4
    spots = [60 + 2 * i for i in range(41)]
    rows = [
        ("put_eur_d", lambda S: vexal.put_eur_d(S, K, T, r, sigma, times, amounts, 4),
         lambda S: P.put_eur_d(S, K, T, r, sigma, times, amounts), "#1f5fa8"),
        ("call_eur_d", lambda S: vexal.call_eur_d(S, K, T, r, sigma, times, amounts, 4),
         lambda S: P.call_eur_d(S, K, T, r, sigma, times, amounts), "#2e8b57"),
        ("put_binamer_d, 1000 steps", lambda S: vexal.put_binamer_d(S, K, T, r, sigma, 1000, times, amounts, 4),
         lambda S: P.put_american_d(S, K, T, r, sigma, times, amounts), "#c0392b"),
        ("call_binamer_d, 1000 steps", lambda S: vexal.call_binamer_d(S, K, T, r, sigma, 1000, times, amounts, 4),
         lambda S: P.call_american_d(S, K, T, r, sigma, times, amounts), "#8e44ad"),
    ]
    fig, ax = plt.subplots(figsize=(6.4, 3.8))
    for label, legacy, precise, colour in rows:
        errors = [abs(float(legacy(S)) / float(precise(S)) - 1) for S in spots]
        ax.semilogy(spots, errors, color=colour, lw=1.2, label=label)
    ax.axhline(1e-10, color="grey", ls="--", lw=1)
    ax.text(61, 1.5e-10, "precise European, against its finer setting (1e-10)", color="grey", fontsize=7)
    ax.axhline(1e-8, color="grey", ls=":", lw=1)
    ax.text(61, 1.5e-8, "precise American put (1e-8)", color="grey", fontsize=7)
    ax.set_xlabel("spot S")
    ax.set_ylabel("relative error")
    ax.set_ylim(1e-11, 1)
    ax.set_title("Legacy escrowed-dividend functions against the precise ones, $2 a quarter", fontsize=9)
    ax.legend(fontsize=7, loc="lower right")
    fig.tight_layout()
    fig.savefig(path, dpi=80, metadata={"Software": None})
    plt.close(fig)


def boundary(path):
    K, T, r, sigma = 100, 1.0, 0.08, 0.25
    dates, amount = [0.25, 0.5, 0.75], 1.0
    ts = sorted({T * i / 120 for i in range(120)} | {d - 1e-4 for d in dates} | {d + 1e-4 for d in dates})
    points = []
    for t in ts:
        times = [d - t for d in dates if d > t]
        amounts = [amount] * len(times)
        lo, hi = 0.0, K  # exercised at lo, held at hi
        for _ in range(40):
            mid = (lo + hi) / 2
            if float(P.put_american_d(mid, K, T - t, r, sigma, times or [0.0], amounts or [0.0])) == K - mid:
                lo = mid
            else:
                hi = mid
        points.append(lo)
    fig, ax = plt.subplots(figsize=(6.4, 3.6))
    ax.plot(ts, points, color="#1f5fa8", lw=1.3)
    ax.fill_between(ts, 0, points, color="#1f5fa8", alpha=0.12)
    for d in dates:
        ax.axvline(d, color="grey", ls=":", lw=0.8)
    ax.text(0.02, 5, "exercise", fontsize=9)
    ax.text(0.02, K * 0.9, "hold", fontsize=9)
    ax.set_xlim(0, T)
    ax.set_ylim(0, K)
    ax.set_xlabel("time (years); dotted: ex-dates")
    ax.set_ylabel("spot")
    ax.set_title("Exercise boundary of a put with $1 dividends: K = 100, r = 8 %, sigma = 0.25", fontsize=9)
    fig.tight_layout()
    fig.savefig(path, dpi=80, metadata={"Software": None})
    plt.close(fig)


def main():
    out = os.path.join(HERE, "figures")
    if "--boundary" not in sys.argv:
        error(os.path.join(out, "dividend_error.png"))
    boundary(os.path.join(out, "dividend_boundary.png"))


if __name__ == "__main__":
    main()
