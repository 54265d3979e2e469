#!/usr/bin/env python3
"""The worked examples of docs/python.md, on the shipped example data.

    python3 docs/python_examples.py [--figures DIR] [chain|smile|garch ...]

Runs them in turn (all three by default) and prints what the page shows;
`smile` writes smile.png into docs/figures/ (or DIR) when matplotlib is
installed.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(os.path.dirname(HERE), "examples")
# The installed package where there is one (pip install ./python); else the
# checkout's own, with the library found by VEXAL_LIBRARY or beside it.
try:
    import vexal  # noqa: F401
except ImportError:
    sys.path.insert(0, os.path.join(os.path.dirname(HERE), "python"))

import numpy as np  # noqa: E402
import pandas as pd  # noqa: E402

import vexal  # noqa: E402

SPOT, RATE, YIELD = 100.0, 0.03, 0.01
FIGURES = os.path.join(HERE, "figures")


def chain():
    # -- chain
    book = pd.read_csv(os.path.join(EXAMPLES, "chain.csv"))
    S, K, T, r, q, vol = SPOT, book.strike, book.expiry, RATE, YIELD, 0.2
    call = book.type == "call"
    book["price"] = np.where(call, vexal.call_eur(S, K, T, r, vol, q), vexal.put_eur(S, K, T, r, vol, q))
    book["delta"] = np.where(call, vexal.call_delta_eur(S, K, T, r, vol, q), vexal.put_delta_eur(S, K, T, r, vol, q))
    book["gamma"] = vexal.gamma_eur(S, K, T, r, vol, q)
    book["vega"] = vexal.vega_eur(S, K, T, r, vol, q)
    book["theta"] = np.where(call, vexal.call_theta_eur(S, K, T, r, vol, q), vexal.put_theta_eur(S, K, T, r, vol, q))
    print(book.head(6).to_string(index=False, float_format="%.4f"))
    # -- end
    return book


def smile():
    # -- smile
    book = pd.read_csv(os.path.join(EXAMPLES, "chain.csv"))
    otm = book[(book.type == "put") == (book.strike < SPOT)]  # out of the money: puts below spot, calls above
    iv = np.where(otm.type == "call",
                  vexal.call_impvol_eur(SPOT, otm.strike, otm.expiry, RATE, otm.mid, YIELD),
                  vexal.put_impvol_eur(SPOT, otm.strike, otm.expiry, RATE, otm.mid, YIELD))
    surface = otm.assign(iv=iv).pivot(index="strike", columns="expiry", values="iv")
    print(surface.to_string(float_format="%.4f"))
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("(matplotlib is not installed: no figure)")
        return surface
    fig, ax = plt.subplots(figsize=(7, 3.6))
    for expiry in surface.columns:
        ax.plot(surface.index, surface[expiry], marker="o", label="T = %g" % expiry)
    ax.set_xlabel("strike (spot 100)")
    ax.set_ylabel("implied volatility")
    ax.set_title("Implied-volatility smile of examples/chain.csv")
    ax.legend()
    fig.tight_layout()
    fig.savefig(os.path.join(FIGURES, "smile.png"), dpi=100, metadata={"Software": None})
    # -- end
    return surface


def garch():
    # -- garch
    closes = pd.read_csv(os.path.join(EXAMPLES, "closes_many.csv"), index_col="days_ago")
    fits = vexal.garch_fit(closes, newest_first=True)  # all columns at once, on every core
    fits["persistence"] = fits.alpha + fits.beta
    print(fits.to_string(float_format="%.6g"))

    import dask.dataframe as dd
    from distributed import Client, LocalCluster
    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, Client(cluster):
        on_cluster = vexal.garch_fit(dd.from_pandas(closes, npartitions=4), newest_first=True)
    print("cluster result identical:", on_cluster.equals(fits.drop(columns="persistence")))
    # -- end
    return fits


if __name__ == "__main__":
    args = sys.argv[1:]
    if args[:1] == ["--figures"]:
        if len(args) < 2:
            sys.exit("python_examples.py: --figures needs a folder")
        FIGURES, args = args[1], args[2:]
        os.makedirs(FIGURES, exist_ok=True)
    for name in args or ["chain", "smile", "garch"]:
        print("== " + name)
        globals()[name]()
