#!/usr/bin/env python3
"""Writes the Python examples' data (fixed seeds; the files are committed):

    python3 examples/make_data.py

chain.csv: an options chain on one underlying (spot 100, r 3 %, yield 1 %),
calls and puts at 13 strikes and 3 expiries, mid prices from a skewed smile,
rounded to the cent. closes_many.csv: closing prices of six simulated
GARCH(1,1) stocks, newest first (row 0 is the last close); younger listings
leave a column's older rows empty.
"""
import math
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))


def norm_cdf(x):
    return 0.5 * math.erfc(-x / math.sqrt(2))


def black_scholes(kind, s, k, t, r, q, v):
    d1 = (math.log(s / k) + (r - q + 0.5 * v * v) * t) / (v * math.sqrt(t))
    d2 = d1 - v * math.sqrt(t)
    if kind == "call":
        return s * math.exp(-q * t) * norm_cdf(d1) - k * math.exp(-r * t) * norm_cdf(d2)
    return k * math.exp(-r * t) * norm_cdf(-d2) - s * math.exp(-q * t) * norm_cdf(-d1)


def chain(path):
    spot, r, q = 100.0, 0.03, 0.01
    with open(path, "w") as f:
        f.write("type,strike,expiry,mid\n")
        for t in (0.25, 0.5, 1.0):
            for k in range(70, 131, 5):
                m = math.log(k / spot) / math.sqrt(t)
                vol = 0.2 - 0.08 * m + 0.15 * m * m
                for kind in ("call", "put"):
                    f.write("%s,%d,%.2f,%.2f\n" % (kind, k, t, black_scholes(kind, spot, k, t, r, q, vol)))


def closes(path, days=1000):
    rng = random.Random(2026)
    names = ["ALFA", "BRAVO", "CHARLIE", "DELTA", "ECHO", "FOXTROT"]
    columns = []
    for i, _ in enumerate(names):
        omega, alpha, beta = 2e-6 * (1 + i % 3), 0.05 + 0.01 * i, 0.9 - 0.01 * i
        var, price, path_ = omega / (1 - alpha - beta), 50.0 + 20 * i, []
        for _ in range(days):
            path_.append(price)
            e = math.sqrt(var) * rng.gauss(0, 1)
            price *= math.exp(e)
            var = omega + alpha * e * e + beta * var
        listed = days - (0, 0, 250, 0, 600, 100)[i]  # younger listings: fewer closes
        newest_first = path_[:listed][::-1]
        columns.append(newest_first + [None] * (days - listed))
    with open(path, "w") as f:
        f.write("days_ago," + ",".join(names) + "\n")
        for d in range(days):
            f.write("%d,%s\n" % (d, ",".join("" if c[d] is None else "%.4f" % c[d] for c in columns)))


if __name__ == "__main__":
    chain(os.path.join(HERE, "chain.csv"))
    closes(os.path.join(HERE, "closes_many.csv"))
