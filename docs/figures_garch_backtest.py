#!/usr/bin/env python3
"""Draws docs/figures/garch_backtest.svg: the DAX's daily returns of R's
EuStockMarkets, the one-day 1 % Value-at-Risk of a GJR-GARCH with skewed-t
errors fitted to the previous 1,000 returns (refitted every 5 days), and the
days the loss went beyond it. Through the C API with ctypes; plain SVG.

    VEXAL_LIBRARY=build/bin/libvexal.so python3 docs/figures_garch_backtest.py
"""
import ctypes
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
W, H = 720, 360
LEFT, RIGHT, TOP, BOTTOM = 70, 20, 40, 50


class Options(ctypes.Structure):
    _fields_ = [("mean", ctypes.c_int), ("vol", ctypes.c_int), ("dist", ctypes.c_int), ("h0", ctypes.c_int)]


class Test(ctypes.Structure):
    _fields_ = [("statistic", ctypes.c_double), ("p_value", ctypes.c_double)]


class Result(ctypes.Structure):
    _fields_ = [("days", ctypes.c_longlong), ("exceedances", ctypes.c_longlong), ("fits", ctypes.c_longlong),
                ("converged", ctypes.c_longlong), ("kupiec", Test), ("christoffersen_ind", Test),
                ("christoffersen_cc", Test)]


def dax():
    with open(os.path.join(ROOT, "tests", "data", "eustock.csv"), encoding="utf-8") as f:
        rows = [line for line in f if line[0] not in "#D"]
    return [float(line.split(",")[0]) for line in rows]


def main():
    lib = ctypes.CDLL(os.environ.get("VEXAL_LIBRARY", os.path.join(ROOT, "build", "bin", "libvexal.so")))
    y = dax()
    n, window, every, level = len(y), 1000, 5, 0.01
    days = n - window
    returns = (ctypes.c_double * n)(*y)
    var, es = (ctypes.c_double * days)(), (ctypes.c_double * days)()
    hit = (ctypes.c_ubyte * days)()
    result = Result()
    rc = lib.vexal_garch_backtest(returns, ctypes.c_longlong(n), ctypes.c_longlong(window), ctypes.c_longlong(every),
                                  ctypes.c_double(level), ctypes.byref(Options(0, 1, 2, 0)), var, es, hit,
                                  ctypes.byref(result), 0)
    if rc != 0 or any(math.isnan(v) for v in var):
        raise SystemExit("vexal_garch_backtest failed: %d" % rc)

    x0, x1 = window, n - 1
    y0 = min(min(y[window:]), -max(var)) * 1.05
    y1 = max(y[window:]) * 1.05
    pw, ph = W - LEFT - RIGHT, H - TOP - BOTTOM

    def px(t):
        return LEFT + (t - x0) / (x1 - x0) * pw

    def py(v):
        return TOP + (y1 - v) / (y1 - y0) * ph

    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" '
           'font-size="12">' % (W, H), '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="22" font-size="14" font-weight="bold">DAX: 1 %% VaR of GJR-GARCH, skewed t '
           '(%d exceedances in %d days)</text>' % (LEFT, result.exceedances, days)]
    for t in range(int(math.ceil(y0)), int(y1) + 1, 2):
        out.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#ddd"/>' % (LEFT, W - RIGHT, py(t), py(t)))
        out.append('<text x="%d" y="%.1f" text-anchor="end">%g</text>' % (LEFT - 6, py(t) + 4, t))
    for t in range(1000, n, 200):
        out.append('<text x="%.1f" y="%d" text-anchor="middle">%d</text>' % (px(t), H - BOTTOM + 16, t))
    out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="none" stroke="#444"/>' % (LEFT, TOP, pw, ph))
    out.append('<text x="%d" y="%d" text-anchor="middle">day of the series</text>' % (LEFT + pw // 2, H - 10))
    out.append('<text transform="translate(16 %d) rotate(-90)" text-anchor="middle">return, %%</text>'
               % (TOP + ph // 2))
    out.append('<polyline fill="none" stroke="#888" stroke-width="1" points="%s"/>'
               % " ".join("%.1f,%.1f" % (px(window + t), py(y[window + t])) for t in range(days)))
    out.append('<polyline fill="none" stroke="#c0392b" stroke-width="1.5" points="%s"/>'
               % " ".join("%.1f,%.1f" % (px(window + t), py(-var[t])) for t in range(days)))
    for t in range(days):
        if hit[t]:
            out.append('<circle cx="%.1f" cy="%.1f" r="4" fill="none" stroke="#1f5fa8" stroke-width="1.5"/>'
                       % (px(window + t), py(y[window + t])))
    out.append('<text x="%d" y="%d" fill="#888">return</text>' % (W - RIGHT - 250, TOP + 18))
    out.append('<text x="%d" y="%d" fill="#c0392b">-VaR (1 %%, one day ahead)</text>' % (W - RIGHT - 250, TOP + 34))
    out.append('<text x="%d" y="%d" fill="#1f5fa8">exceedance</text>' % (W - RIGHT - 250, TOP + 50))
    out.append("</svg>")
    path = os.path.join(HERE, "figures", "garch_backtest.svg")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")
    print("%s: %d exceedances in %d days; Kupiec p %.3f, Christoffersen independence p %.3f, conditional coverage "
          "p %.3f" % (path, result.exceedances, days, result.kupiec.p_value, result.christoffersen_ind.p_value,
                      result.christoffersen_cc.p_value))


if __name__ == "__main__":
    main()
