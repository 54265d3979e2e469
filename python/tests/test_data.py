"""Arrays, pandas, fits and Dask: every array result against scalar calls,
bit for bit."""
import math
import os
import signal
import sys
import threading
import unittest
import warnings

if not os.environ.get("VEXAL_TEST_INSTALLED"):  # else: the installed package
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import vexal  # noqa: E402
from vexal._exports import EXPORTS  # noqa: E402

try:
    import numpy as np
    import pandas as pd
except ImportError:
    np = pd = None

TYPICAL = {"x": 0.3, "S": 100, "K": 95, "T": 0.5, "r": 0.03, "sigma": 0.25, "q": 0.01, "price": 7.5, "steps": 20,
           "n": 6, "k": 2, "mu": 0.08, "H": 110, "B": 110, "X": 105, "U": 120, "L": 80, "dt": 0.004,
           "lambda_": 0.94, "A": 252, "order": 0, "t": 2, "m": 100, "s": 20, "W": 2}
PURE = [row for row in EXPORTS if "keeps state" not in row[4]]
ROWS = 7


def bits(a):
    return np.asarray(a, dtype=np.float64).view(np.int64)


def names_of(args):
    return [a + "_" if a == "lambda" else a for a, _ in args]


def column(rng, name, rows):
    """Rows of one number argument around its typical value (counts whole)."""
    if name in ("n", "count"):
        return rng.integers(2, 7, rows).astype(float)
    if name in ("steps", "order", "k"):
        return rng.integers(0 if name == "order" else 1, 2 if name == "order" else 30, rows).astype(float)
    v = TYPICAL.get(name, 0.5) * (1 + 0.1 * rng.standard_normal(rows))
    v[3] = math.nan if name == "S" else v[3]  # a NaN row
    return v


def series_block(rng, name, rows, width=6):
    """Price-like rows for an array argument; dividend schedules stay small."""
    if name == "times":
        return np.tile([0.1, 0.3, 0.45, 0.6, 0.7, 0.8], (rows, 1))[:, :width]
    if name == "amounts":
        return np.full((rows, width), 1.0)
    walk = 100 * np.exp(np.cumsum(0.01 * rng.standard_normal((rows, width)), axis=1))
    return walk * (1.02 if name == "high" else 0.98 if name == "low" else 1.0)


def scalar_rows(fn, columns, kinds, shape):
    """The expected array: one scalar call per element."""
    cols = [np.broadcast_to(c, shape) if k == "num" else c for c, k in zip(columns, kinds)]
    out = np.empty(shape)
    for idx in np.ndindex(*shape):
        args = [float(c[idx]) if k == "num" else (c[idx[0]] if c.ndim == 2 else c) for c, k in zip(cols, kinds)]
        out[idx] = fn(*args)
    return out


@unittest.skipIf(np is None, "numpy and pandas are not installed for this interpreter")
class Identity(unittest.TestCase):
    """Every pure function: scalars, 0-d, 1-d, 2-d, lists and Series mixed."""

    def test_every_pure_function_equals_its_scalar_calls(self):
        rng = np.random.default_rng(16)
        index = pd.Index(["r%d" % i for i in range(ROWS)])
        for name, args, _b, _s, _f in PURE:
            fn, names, kinds = getattr(vexal, name), names_of(args), [k for _, k in args]
            with self.subTest(function=name):
                has_arrays = "arr" in kinds
                # 1-D: the forms in turn, arrays shared by every row.
                forms, expected_cols = [], []
                for i, (arg, kind) in enumerate(zip(names, kinds)):
                    if kind == "arr":
                        c = series_block(rng, arg, 1)[0]
                        forms.append(list(c) if i % 2 else c)
                    else:
                        c = column(rng, arg, ROWS)
                        form = i % 5  # list, 1-d, Series, 0-d, float
                        if form >= 3:
                            c = c[0].reshape(())
                        forms.append(list(c) if form == 0 else pd.Series(c, index=index) if form == 2
                                     else float(c) if form == 4 else c)
                    expected_cols.append(np.asarray(c, dtype=float))
                got = fn(*forms)
                shape = np.broadcast_shapes(*[c.shape for c, k in zip(expected_cols, kinds) if k == "num"])
                want = scalar_rows(fn, expected_cols, kinds, shape)
                if isinstance(got, float):
                    got = np.array(got)
                self.assertTrue(np.array_equal(bits(got), bits(want)), name)
                if any(isinstance(f, pd.Series) for f in forms):
                    self.assertTrue(got.index.equals(index), name)

                # 2-D: with array arguments, one series per row (or per DataFrame
                # column); else a column against a row.
                if has_arrays:
                    cols = [series_block(rng, a, ROWS) if k == "arr" else column(rng, a, ROWS)
                            for a, k in zip(names, kinds)]
                    got = fn(*cols)
                    want = scalar_rows(fn, cols, kinds, (ROWS,))
                    self.assertTrue(np.array_equal(bits(got), bits(want)), name)
                    frames = [pd.DataFrame(c.T, columns=index) if k == "arr" else c for c, k in zip(cols, kinds)]
                    got = fn(*frames)
                    self.assertTrue(got.index.equals(index) and np.array_equal(bits(got), bits(want)), name)
                else:
                    cols = [column(rng, a, ROWS) for a in names]
                    cols[0] = cols[0].reshape(-1, 1)
                    got = fn(*cols)
                    self.assertEqual(got.shape, (ROWS, ROWS) if len(cols) > 1 else (ROWS, 1))
                    self.assertTrue(np.array_equal(bits(got), bits(scalar_rows(fn, cols, kinds, got.shape))), name)

    def test_threads_do_not_change_a_bit(self):
        s = np.linspace(50, 150, 2001)
        one = None
        for n in (1, 2, 7, None):
            vexal.set_threads(n)
            got = vexal.put_binamer(s, 100, 1, 0.05, 0.3, 25, 0.01)
            one = got if one is None else one
            self.assertTrue(np.array_equal(bits(got), bits(one)), n)
        self.assertGreaterEqual(vexal.get_threads(), 1)

    def test_series_padding_is_dropped(self):
        """A DataFrame's columns of unequal lengths: NaN before the first number
        and after the last are padding, as in the R package; the count counts
        from the first number."""
        a, b = [100.0, 101, 102, 99, 100], [50.0, 51, 52, 53]
        frame = pd.DataFrame({"a": a + [np.nan], "b": [np.nan, np.nan] + b})
        got = vexal.Price_sd(frame, pd.Series([5.0, 4.0], index=["a", "b"]))
        want = [vexal.Price_sd(a, 5), vexal.Price_sd(b, 4)]
        self.assertEqual(got.tolist(), want)

    def test_bad_arguments_are_named(self):
        s = pd.Series([100.0, 101.0], index=["a", "b"])
        cases = [
            (ValueError, "S \\(2,\\).*sigma \\(3,\\)", vexal.call_eur, ([1, 2], 100, 1, 0.05, [0.1, 0.2, 0.3], 0)),
            (TypeError, "argument K must hold numbers", vexal.call_eur, (100, ["a", "b"], 1, 0.05, 0.2, 0)),
            (TypeError, "argument T must hold numbers only", vexal.call_eur, (100, 100, [1, None], 0.05, 0.2, 0)),
            (TypeError, "argument r must hold numbers", vexal.call_eur, (100, 100, 1, np.array([1j]), 0.2, 0)),
            (ValueError, "argument sigma is not a regular array", vexal.call_eur, (100, 100, 1, 0.05, [[1], [1, 2]], 0)),
            (ValueError, "index of argument K differs", vexal.call_eur, (s, s.reset_index(drop=True), 1, 0.05, 0.2, 0)),
            (ValueError, "array prices has 6 elements per series, the count n reads up to 9",
             vexal.Price_sd, (np.ones((3, 6)), [6, 9, 2])),
            (ValueError, "prices holds 3 series", vexal.Price_sd, (np.ones((3, 6)), np.full((2, 3), 6.0))),
            (TypeError, "garch_o\\(\\) keeps state", vexal.garch_o, ([0.1, 0.2], 0.8)),
            (ValueError, "set_threads", vexal.set_threads, (-1,)),
            (ValueError, "differ in shape", vexal.kelly_fit, (np.ones((2, 3)), np.ones((2, 4)))),
        ]
        for error, message, fn, args in cases:
            with self.subTest(message=message):
                with self.assertRaisesRegex(error, message):
                    fn(*args)

    def test_progress_bar_and_ctrl_c(self):
        from vexal import _arrays
        rows = np.full(4000, 100.0)
        saved = _arrays.Watch.DELAY
        try:
            _arrays.Watch.DELAY = 0.0  # show the bar at once
            import io
            err, sys.stderr = sys.stderr, io.StringIO()
            try:
                vexal.put_binamer(rows, 100, 1, 0.05, 0.3, 200, 0, progress=True)
                shown = sys.stderr.getvalue()
                table = np.tile([[0.5, 0.3, 0.2]], (300, 1)), np.tile([[1.0, -1.0, -0.5]], (300, 1))
                vexal.kelly_fit(*table, progress=True)
                shown_fits = sys.stderr.getvalue()[len(shown):]
            finally:
                sys.stderr = err
            self.assertIn("put_binamer", shown)
            self.assertIn("4000/4000", shown)
            self.assertIn("kelly_fit", shown_fits)
            self.assertIn("300/300", shown_fits)
        finally:
            _arrays.Watch.DELAY = saved
        if threading.current_thread() is not threading.main_thread() or not hasattr(signal, "pthread_kill"):
            self.skipTest("Ctrl-C needs the main thread")
        timer = threading.Timer(0.3, lambda: signal.pthread_kill(threading.main_thread().ident, signal.SIGINT))
        timer.start()
        with self.assertRaises(KeyboardInterrupt):
            vexal.put_binamer(np.full(200000, 100.0), 100, 1, 0.05, 0.3, 400, 0)
        timer.join()
        self.assertIs(signal.getsignal(signal.SIGINT), signal.default_int_handler)


def garch_prices(rng, n, omega=2e-6, alpha=0.08, beta=0.9):
    r, var = np.empty(n - 1), omega / (1 - alpha - beta)
    for i in range(n - 1):
        r[i] = math.sqrt(var) * rng.standard_normal()
        var = omega + alpha * r[i] ** 2 + beta * var
    return 100 * np.exp(np.concatenate([[0.0], np.cumsum(r)]))


def padded_frame():
    rng = np.random.default_rng(7)
    cols = {"AAA": garch_prices(rng, 400), "BBB": garch_prices(rng, 250), "CCC": garch_prices(rng, 330)}
    return pd.DataFrame({k: pd.Series(v) for k, v in cols.items()})  # NaN-padded to 400 rows


def export_sequence_garch(prices, alpha0=0.1, beta0=0.8, newest_first=False):
    vexal.garch_paramc()
    vexal.Price_input(prices, len(prices), 1.0 if newest_first else 0.0)
    vexal.garch_o(alpha0, beta0)
    return [vexal.garch_param0(), vexal.garch_param1(), vexal.garch_param2(), vexal.garch_param3()]


def export_sequence_kelly(p, o, f0=0.0):
    vexal.kelly_paramc()
    vexal.kelly_input(p, o, len(p))
    vexal.kelly_o(f0)
    return [vexal.kelly_f(), vexal.kelly_growth(), vexal.kelly_growth_sd()]


@unittest.skipIf(np is None, "numpy and pandas are not installed for this interpreter")
class Fits(unittest.TestCase):
    def test_fits_equal_the_export_sequences(self):
        df = padded_frame()
        got = vexal.garch_fit(df, alpha0=0.05, beta0=0.9)
        self.assertEqual(list(got.index), ["AAA", "BBB", "CCC"])
        for name in df:
            want = export_sequence_garch(df[name].dropna().to_numpy(), 0.05, 0.9)
            self.assertTrue(np.array_equal(bits(got.loc[name]), bits(want)), name)
        one = vexal.garch_fit(df["BBB"], newest_first=True)  # its NaN padding dropped
        self.assertEqual(list(one), export_sequence_garch(df["BBB"].dropna().to_numpy(), newest_first=True))
        self.assertEqual(one._fields, ("objective", "omega", "alpha", "beta"))
        self.assertTrue(np.array_equal(bits(vexal.garch_fit(df.to_numpy().T, 0.05, 0.9)), bits(got)))

        p = pd.DataFrame({"a": [0.5, 0.3, 0.2], "b": [0.6, 0.4, np.nan]})
        o = pd.DataFrame({"a": [1.0, -1.0, -0.5], "b": [1.0, -1.0, np.nan]})
        got = vexal.kelly_fit(p, o, f0=0.1)
        for name in p:
            want = export_sequence_kelly(p[name].dropna().to_numpy(), o[name].dropna().to_numpy(), 0.1)
            self.assertTrue(np.array_equal(bits(got.loc[name]), bits(want)), name)
        self.assertEqual(list(vexal.kelly_fit([0.6, 0.4], [1.0, -1.0])),
                         export_sequence_kelly([0.6, 0.4], [1.0, -1.0]))


@unittest.skipIf(np is None, "numpy and pandas are not installed for this interpreter")
class KellyExact(unittest.TestCase):
    def test_the_optimum_and_bad_tables(self):
        """The exact fraction where the gradient ascent stops by its tolerance;
        bad tables raise and name the problem."""
        p, b = [0.5, 0.3, 0.2], [1.0, -1.0, -0.5]
        f = vexal.kelly_exact(p, b).f
        self.assertAlmostEqual(sum(pi * bi / (1 + f * bi) for pi, bi in zip(p, b)), 0.0, delta=1e-15)
        self.assertGreater(abs(vexal.kelly_fit(p, b).f - f), 0)  # the ascent stops by its tolerance
        self.assertEqual(vexal.kelly_exact([3, 2], [1, -1]).f, 0.2)
        for p, b, words in (([1], [1], "no finite maximum"), ([-1, 2], [1, -1], "negative"), ([0.5], [1, 2], "one")):
            with self.assertRaisesRegex(ValueError, words):
                vexal.kelly_exact(p, b)


class Dask(unittest.TestCase):
    def test_a_two_worker_cluster_gives_the_in_process_result(self):
        try:
            import dask.array as da
            import dask.dataframe as dd
            from distributed import Client, LocalCluster
        except ImportError:
            self.skipTest("dask and distributed are not installed for this interpreter")
        warnings.simplefilter("ignore", DeprecationWarning)  # the event loop's own, on older tornado
        df = padded_frame()
        chain = pd.DataFrame({"S": np.linspace(80, 120, 1000), "sigma": np.linspace(0.1, 0.5, 1000)})
        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
                Client(cluster):
            fits = vexal.garch_fit(dd.from_pandas(df, npartitions=3))
            book = dd.from_pandas(chain, npartitions=4)
            priced = vexal.call_eur(book.S, 100, 1, 0.05, book.sigma, 0)
            self.assertIsInstance(priced, dd.Series)
            priced = priced.compute()
            grid = vexal.call_eur(da.from_array(chain.S.to_numpy(), chunks=300), 100, 1, 0.05,
                                  chain.sigma.to_numpy(), 0).compute()
            rows = df.fillna(1.0).to_numpy().T  # one series per row
            sd = vexal.Price_sd(da.from_array(rows, chunks=(2, 100)), [400, 250, 330]).compute()
        self.assertTrue(np.array_equal(bits(sd), bits(vexal.Price_sd(rows, [400, 250, 330]))))
        self.assertTrue(np.array_equal(bits(fits), bits(vexal.garch_fit(df))))
        self.assertTrue(fits.index.equals(df.columns))
        want = vexal.call_eur(chain.S, 100, 1, 0.05, chain.sigma, 0)
        self.assertTrue(priced.index.equals(want.index) and np.array_equal(bits(priced), bits(want)))
        self.assertTrue(np.array_equal(bits(grid), bits(want)))


if __name__ == "__main__":
    unittest.main()
