#!/usr/bin/env python3
"""Array calls from Python against the scalar loop and against numpy/scipy.

    VEXAL_LIBRARY=build/bin/libvexal.so python3 bench/python_bench.py

One run, best of three for each figure (the scalar loop: once), with the
machine's load average before and after; compare ratios within one run.
"""
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "python"))
import numpy as np  # noqa: E402

import vexal  # noqa: E402


def best(fn, repeat=3):
    times = []
    for _ in range(repeat):
        t = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t)
    return min(times)


def numpy_call(S, K, T, r, sigma, q):
    from scipy.special import ndtr
    sq = sigma * np.sqrt(T)
    d1 = (np.log(S / K) + (r - q + 0.5 * sigma * sigma) * T) / sq
    return S * np.exp(-q * T) * ndtr(d1) - K * np.exp(-r * T) * ndtr(d1 - sq)


def main():
    rows = 1_000_000
    rng = np.random.default_rng(1)
    S, K = rng.uniform(50, 150, rows), rng.uniform(50, 150, rows)
    T, sigma = rng.uniform(0.1, 2, rows), rng.uniform(0.1, 0.5, rows)
    print("load average before: %.2f %.2f %.2f; cores: %d" % (os.getloadavg() + (os.cpu_count(),)))
    results = []

    def row(label, seconds, n):
        results.append((label, seconds, n))
        print("%-44s %8.3f s %12.0f rows/s" % (label, seconds, n / seconds), flush=True)

    vexal.set_threads(1)
    row("call_eur, arrays, 1 thread", best(lambda: vexal.call_eur(S, K, T, 0.03, sigma, 0.01)), rows)
    vexal.set_threads(None)
    row("call_eur, arrays, %d threads" % vexal.get_threads(),
        best(lambda: vexal.call_eur(S, K, T, 0.03, sigma, 0.01)), rows)
    f, s, k, t, v = vexal.call_eur, S.tolist(), K.tolist(), T.tolist(), sigma.tolist()
    row("call_eur, scalar loop", best(lambda: [f(s[i], k[i], t[i], 0.03, v[i], 0.01) for i in range(rows)], 1),
        rows)
    try:
        row("numpy + scipy.special.ndtr", best(lambda: numpy_call(S, K, T, 0.03, sigma, 0.01)), rows)
        diff = np.max(np.abs(numpy_call(S, K, T, 0.03, sigma, 0.01) - vexal.call_eur(S, K, T, 0.03, sigma, 0.01)))
        print("  largest difference from vexal.call_eur: %.3g" % diff)
    except ImportError:
        print("numpy + scipy.special.ndtr: scipy is not installed")

    n = 100_000
    vexal.set_threads(1)
    row("put_binamer, 100 steps, 1 thread", best(lambda: vexal.put_binamer(S[:n], K[:n], T[:n], 0.03,
                                                                            sigma[:n], 100, 0.01), 1), n)
    vexal.set_threads(None)
    row("put_binamer, 100 steps, %d threads" % vexal.get_threads(),
        best(lambda: vexal.put_binamer(S[:n], K[:n], T[:n], 0.03, sigma[:n], 100, 0.01), 1), n)
    print("load average after: %.2f %.2f %.2f" % os.getloadavg())
    t = {label: sec for label, sec, _ in results}
    loop = t["call_eur, scalar loop"]
    print("arrays (1 thread) vs scalar loop: %.1fx faster" % (loop / t["call_eur, arrays, 1 thread"]))


if __name__ == "__main__":
    main()
