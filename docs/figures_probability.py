#!/usr/bin/python3
"""The figure of the probability section of docs/precise.md.

    VEXAL_LIBRARY=build/bin/libvexal.so /usr/bin/python3 docs/figures_probability.py

docs/figures/probability_legacy_error.png: the relative error of the legacy
functions against their precise twins (themselves within 1e-12 of mpmath, by
tests/precise_probability_test.cpp), in three panels:

- ProbWR over 400 seeded random bands (S = 100, L 50..99, U 101..200,
  mu -0.3..0.3, sigma 0.05..0.8, T 0.05..5), against sigma^2 T / w^2 with
  w = ln(U/L);
- ProbMaxPTUB over 400 seeded draws (S = 100, H 101..400, the same mu,
  sigma, T), against the precise probability itself, down to its tails;
- EMDD against x = mu^2 T / (2 sigma^2) from 1e-4 to 1e3 (sigma = T = 1,
  mu > 0; for mu < 0 the legacy function is NaN beyond its table's first
  entries).

A relative error of 1 means the legacy value is 0 (or carries no correct
digit); errors below 1e-16 are drawn at 1e-16, and those of ProbWR above 1e3
(where the true probability is tiny: up to 1e134) at 1e3.
"""
import math
import os
import random
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "python"))
import vexal  # noqa: E402

FLOOR, CEILING = 1e-16, 1e3


def relative(legacy, precise):
    if precise == 0:
        return FLOOR if legacy == 0 else 1.0
    if math.isnan(legacy):
        return float("nan")
    return max(abs(legacy / precise - 1), FLOOR)


def band(ax, rng):
    taus, errors = [], []
    for _ in range(400):
        S, L, U = 100.0, rng.uniform(50, 99), rng.uniform(101, 200)
        mu, sigma, T = rng.uniform(-0.3, 0.3), rng.uniform(0.05, 0.8), rng.uniform(0.05, 5)
        precise = vexal.precise.ProbWR(S, mu, sigma, T, U, L)
        legacy = vexal.ProbWR(S, mu, sigma, T, U, L)
        taus.append(sigma * sigma * T / math.log(U / L) ** 2)
        errors.append(min(relative(legacy, precise), CEILING))
    ax.loglog(taus, errors, ".", ms=3, color="#1f5fa8")
    ax.set_xlabel("σ²T / ln(U/L)²")
    ax.set_ylabel("relative error of the legacy value")
    ax.set_title("ProbWR (100 rectangles)", fontsize=9)


def touch(ax, rng):
    values, errors = [], []
    for _ in range(400):
        S, H = 100.0, 100 * math.exp(rng.uniform(0.01, math.log(4)))
        mu, sigma, T = rng.uniform(-0.3, 0.3), rng.uniform(0.05, 0.8), rng.uniform(0.05, 5)
        precise = vexal.precise.ProbMaxPTUB(mu, sigma, T, H, S)
        if not precise > 1e-300:
            continue
        values.append(precise)
        errors.append(relative(vexal.ProbMaxPTUB(mu, sigma, T, H, S), precise))
    ax.loglog(values, errors, ".", ms=3, color="#c0392b")
    ax.set_xlabel("probability (precise)")
    ax.set_title("ProbMaxPTUB (touch above)", fontsize=9)


def drawdown(ax):
    xs = [10 ** (-4 + 7 * i / 140) for i in range(141)]
    errors = []
    for x in xs:
        mu = math.sqrt(2 * x)  # sigma = T = 1
        errors.append(relative(vexal.EMDD(mu, 1.0, 1.0), vexal.precise.EMDD(mu, 1.0, 1.0)))
    ax.loglog(xs, errors, "-", lw=1.2, color="#2e8b57")
    ax.set_xlabel("x = μ²T / (2σ²), μ > 0")
    ax.set_title("EMDD (50-point table)", fontsize=9)


def main():
    rng = random.Random(29)
    fig, axes = plt.subplots(1, 3, figsize=(10.5, 3.6), sharey=True)
    band(axes[0], rng)
    touch(axes[1], rng)
    drawdown(axes[2])
    for ax in axes:
        ax.axhline(1e-12, color="grey", ls=":", lw=1)
        ax.set_ylim(FLOOR / 2, CEILING * 4)
    axes[0].text(axes[0].get_xlim()[0] * 1.5, 2e-12, "1e-12", color="grey", fontsize=8)
    fig.suptitle("Legacy probability functions against their precise twins", fontsize=10)
    fig.tight_layout()
    fig.savefig(os.path.join(HERE, "figures", "probability_legacy_error.png"), dpi=80, metadata={"Software": None})
    plt.close(fig)


if __name__ == "__main__":
    main()
