#!/usr/bin/env python3
"""Draws the reference pages' figures from the library's own output.

    VEXAL_LIBRARY=build/bin/libvexal.so python3 docs/figures.py

writes docs/figures/binomial_convergence.svg (the tree price against the
number of steps, converging to the Black-Scholes price) and
docs/figures/garch_variance.svg (a simulated price path and the variance
filtered with the GARCH(1,1) parameters fitted to it), and
docs/figures/garch_mle_volatility.svg (the conditional volatility of
examples/closes.csv by garch_mle, beside the legacy fit's). Plain SVG, no
plotting package needed. Refuses to draw from a library whose functions
return NaN.
"""
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "python"))
import vexal  # noqa: E402

W, H = 720, 360
LEFT, RIGHT, TOP, BOTTOM = 70, 20, 40, 50
COLOURS = ["#1f5fa8", "#c0392b", "#2e8b57"]


def nice_ticks(lo, hi, count=5):
    span = hi - lo or abs(hi) or 1.0
    step = 10 ** math.floor(math.log10(span / count))
    for m in (1, 2, 2.5, 5, 10):
        if span / (step * m) <= count:
            step *= m
            break
    first = math.ceil(lo / step) * step
    ticks, t = [], first
    while t <= hi + step * 1e-9:
        ticks.append(round(t, 12))
        t += step
    return ticks


def svg_plot(path, title, xlabel, ylabel, series):
    """series: [(label, [(x, y), ...], dashed)]; writes a line chart."""
    xs = [x for _, pts, _ in series for x, _ in pts]
    ys = [y for _, pts, _ in series for _, y in pts]
    x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
    pad = (y1 - y0) * 0.05 or 1.0
    y0, y1 = y0 - pad, y1 + pad
    pw, ph = W - LEFT - RIGHT, H - TOP - BOTTOM

    def px(x):
        return LEFT + (x - x0) / ((x1 - x0) or 1.0) * pw

    def py(y):
        return TOP + (y1 - y) / ((y1 - y0) or 1.0) * ph

    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" font-size="12">' % (W, H),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="22" font-size="14" font-weight="bold">%s</text>' % (LEFT, title)]
    for t in nice_ticks(y0, y1):
        out.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#ddd"/>' % (LEFT, W - RIGHT, py(t), py(t)))
        out.append('<text x="%d" y="%.1f" text-anchor="end">%g</text>' % (LEFT - 6, py(t) + 4, t))
    for t in nice_ticks(x0, x1):
        out.append('<text x="%.1f" y="%d" text-anchor="middle">%g</text>' % (px(t), H - BOTTOM + 16, t))
    out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="none" stroke="#444"/>' % (LEFT, TOP, pw, ph))
    out.append('<text x="%d" y="%d" text-anchor="middle">%s</text>' % (LEFT + pw // 2, H - 10, xlabel))
    out.append('<text transform="translate(16 %d) rotate(-90)" text-anchor="middle">%s</text>' % (TOP + ph // 2, ylabel))
    for i, (label, pts, dashed) in enumerate(series):
        colour = COLOURS[i % len(COLOURS)]
        points = " ".join("%.1f,%.1f" % (px(x), py(y)) for x, y in pts)
        out.append('<polyline fill="none" stroke="%s" stroke-width="1.5"%s points="%s"/>'
                   % (colour, ' stroke-dasharray="6 4"' if dashed else "", points))
        out.append('<text x="%d" y="%d" fill="%s">%s</text>' % (W - RIGHT - 250, TOP + 18 + 16 * i, colour, label))
    out.append("</svg>")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


def require_numbers(what, values):
    bad = [v for v in values if not math.isfinite(v)]
    if bad:
        sys.exit("figures: %s returned %r; this library does not compute it yet" % (what, bad[0]))


def binomial_convergence(path):
    S, K, T, r, sigma, q = 100.0, 100.0, 1.0, 0.05, 0.2, 0.0
    bs = vexal.call_eur(S, K, T, r, sigma, q)
    steps = list(range(5, 201))
    tree = [vexal.call_binamer(S, K, T, r, sigma, n, q) for n in steps]
    require_numbers("call_eur / call_binamer", [bs] + tree)
    svg_plot(path, "Tree price of a call (no dividends) against the number of steps",
             "steps", "price", [("call_binamer(100, 100, 1, 0.05, 0.2, steps, 0)", list(zip(steps, tree)), False),
                                ("call_eur = %.4f" % bs, [(steps[0], bs), (steps[-1], bs)], True)])


def garch_variance(path):
    # Daily prices whose volatility changes twice: 15 %, then 35 %, then 20 % a year.
    vexal.RanMTInit(7)
    prices = [100.0]
    for day in range(1, 1000):
        sigma = 0.15 if day < 500 else 0.35 if day < 750 else 0.20
        prices.append(vexal.F_NextPrice(prices[-1], 0.05, sigma, 1 / 252))
    vexal.garch_paramc()
    vexal.Price_input(prices, len(prices), 0)
    vexal.garch_o(0.1, 0.8)
    omega, alpha, beta = vexal.garch_param1(), vexal.garch_param2(), vexal.garch_param3()
    require_numbers("the GARCH fit", prices + [omega, alpha, beta])
    # The conditional variance with the fitted parameters, on simple returns,
    # started at the long-run variance; shown as an annual volatility.
    returns = [(b - a) / a for a, b in zip(prices, prices[1:])]
    h = [omega / (1 - alpha - beta)]
    for ret in returns[:-1]:
        h.append(omega + alpha * ret * ret + beta * h[-1])
    vol = [(t + 1, math.sqrt(252 * v)) for t, v in enumerate(h)]
    true_vol = [(t, 0.15 if t < 500 else 0.35 if t < 750 else 0.20) for t in range(1, 1000)]
    svg_plot(path, "GARCH(1,1) volatility filtered with the fitted parameters (alpha %.3f, beta %.3f)" % (alpha, beta),
             "day", "annualised volatility", [("sqrt(252 h[t])", vol, False), ("volatility of the simulation", true_vol, True)])


def garch_mle_volatility(path):
    # examples/closes.csv: the conditional volatility of its simple returns
    # from vexal.garch_mle, beside the variance filtered with the legacy fit.
    import numpy as np
    closes = np.genfromtxt(os.path.join(os.path.dirname(HERE), "examples", "closes.csv"), delimiter=",",
                           names=True, dtype=None, encoding="utf-8")["close"].astype(float)
    returns = np.diff(closes) / closes[:-1]
    fit = vexal.garch_mle(returns)
    require_numbers("garch_mle", list(fit.conditional_variance))
    vexal.garch_paramc()
    vexal.Price_input(list(closes), len(closes), 0)
    vexal.garch_o(0.1, 0.8)
    omega, alpha, beta = vexal.garch_param1(), vexal.garch_param2(), vexal.garch_param3()
    h = [omega / (1 - alpha - beta)]
    for ret in returns[:-1]:
        h.append(omega + alpha * ret * ret + beta * h[-1])
    days = range(1, len(returns) + 1)
    svg_plot(path, "Conditional volatility of examples/closes.csv, annualised",
             "day", "sqrt(252 h[t])",
             [("garch_mle: alpha %.3f, beta %.3f" % (fit.params["alpha"], fit.params["beta"]),
               list(zip(days, np.sqrt(252 * fit.conditional_variance))), False),
              ("legacy garch_o: alpha %.3f, beta %.3f" % (alpha, beta),
               list(zip(days, [math.sqrt(252 * v) for v in h])), True)])


def main():
    out = os.path.join(HERE, "figures")
    os.makedirs(out, exist_ok=True)
    binomial_convergence(os.path.join(out, "binomial_convergence.svg"))
    garch_variance(os.path.join(out, "garch_variance.svg"))
    garch_mle_volatility(os.path.join(out, "garch_mle_volatility.svg"))
    print("figures written to", out)


if __name__ == "__main__":
    main()
