#!/usr/bin/python3
"""The two figures of the American section of docs/precise.md.

    VEXAL_LIBRARY=build/bin/libvexal.so /usr/bin/python3 docs/figures_american.py

docs/figures/american_tree_error.png: the relative error of the legacy
binomial put (put_binamer) against its number of steps, for the three-year
puts (K = 100, r = q = 4 %, sigma = 0.2, S = 80, 100, 120), beside the error
of precise_put_american (no steps to choose). The reference values are the
method's reference setting (tests/precise_american_test.cpp), which agrees
with twice its nodes and with the published one-year value of Andersen, Lake
and Offengenden to about 1e-12.

docs/figures/american_boundary.png: the exercise boundary of one put
(K = 100, r = 5 %, q = 2 %, sigma = 0.25, three years), found from the
library by bisection on S for the largest spot at which precise_put_american
is the exercise value K - S.
"""
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "python"))
import vexal  # noqa: E402

REFERENCE = {80: 23.2283386523517, 100: 12.6052119159631, 120: 6.4824245447781}
COLOURS = {80: "#1f5fa8", 100: "#c0392b", 120: "#2e8b57"}


def tree_error(path):
    steps = sorted({int(round(10 ** (1 + 3 * i / 40))) for i in range(41)})
    fig, ax = plt.subplots(figsize=(6.4, 3.8))
    for S, ref in REFERENCE.items():
        errors = [abs(vexal.put_binamer(S, 100, 3, 0.04, 0.2, n, 0.04) / ref - 1) for n in steps]
        ax.loglog(steps, errors, color=COLOURS[S], lw=1.2, label="put_binamer, S = %d" % S)
        precise = max(abs(vexal.precise.put_american(S, 100, 3, 0.04, 0.2, 0.04) / ref - 1), 1e-16)
        ax.axhline(precise, color=COLOURS[S], ls="--", lw=1)
    ax.axhline(1e-9, color="grey", ls=":", lw=1)
    ax.text(11, 1.4e-9, "1e-9", color="grey", fontsize=8)
    ax.set_xlabel("tree steps")
    ax.set_ylabel("relative error")
    ax.set_title("Three-year puts: legacy tree (solid) and precise_put_american (dashed)", fontsize=9)
    ax.legend(fontsize=8, loc="lower left")
    ax.set_ylim(1e-16, 1e-1)
    fig.tight_layout()
    fig.savefig(path, dpi=80, metadata={"Software": None})
    plt.close(fig)


def boundary(path):
    K, r, q, sigma, T = 100, 0.05, 0.02, 0.25, 3
    taus = [T * (i / 60) ** 2 for i in range(1, 61)]
    points = []
    for tau in taus:
        lo, hi = 1.0, K  # exercised at lo, held at hi
        for _ in range(45):
            mid = (lo + hi) / 2
            if vexal.precise.put_american(mid, K, tau, r, sigma, q) == K - mid:
                lo = mid
            else:
                hi = mid
        points.append(lo)
    fig, ax = plt.subplots(figsize=(6.4, 3.4))
    ax.plot([0] + taus, [K] + points, color="#1f5fa8", lw=1.5)
    ax.fill_between([0] + taus, 0, [K] + points, color="#1f5fa8", alpha=0.12)
    ax.text(T * 0.55, points[-1] * 0.93, "exercise", fontsize=9)
    ax.text(T * 0.55, (K + points[-1]) / 2 + 5, "hold", fontsize=9)
    ax.set_ylim(points[-1] * 0.85, K * 1.02)
    ax.set_xlabel("time to expiry (years)")
    ax.set_ylabel("spot")
    ax.set_title("Exercise boundary of a put: K = 100, r = 5 %, q = 2 %, sigma = 0.25", fontsize=9)
    fig.tight_layout()
    fig.savefig(path, dpi=80, metadata={"Software": None})
    plt.close(fig)


def main():
    out = os.path.join(HERE, "figures")
    tree_error(os.path.join(out, "american_tree_error.png"))
    boundary(os.path.join(out, "american_boundary.png"))


if __name__ == "__main__":
    main()
