"""vexal.precise: every row of the precise table, scalars equal to the
library's C symbols, arrays, pandas and Dask equal to the scalars, bit for bit."""
import ctypes
import inspect
import math
import os
import sys
import unittest
from unittest import mock

if not os.environ.get("VEXAL_TEST_INSTALLED"):  # else: the installed package
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import vexal  # noqa: E402
from vexal._exports import PRECISE  # noqa: E402

try:
    import numpy as np
    import pandas as pd
except ImportError:
    np = pd = None

PREFIX = "precise_"


def c_symbol(name, argc):
    fn = vexal.library()["vexal_" + name]
    fn.restype, fn.argtypes = ctypes.c_double, [ctypes.c_double] * argc
    return fn


# The rows of numbers only (the rows with a dividend schedule have tests of their own).
NUMBER_ROWS = [row for row in PRECISE if all(kind == "num" for _, kind in row[1])]


def same(a, b):
    return a == b and math.copysign(1, a) == math.copysign(1, b) or (math.isnan(a) and math.isnan(b))


def grid(rows, seed):
    """Arguments by name over rows: near and far from the money, short and
    long expiries, tiny and large sigma, negative rates, NaN, and prices
    that an implied volatility can and cannot reach."""
    rng = np.random.default_rng(seed)
    cols = {"x": rng.uniform(-39, 9, rows), "S": 100 * np.exp(rng.uniform(-3, 3, rows)), "K": np.full(rows, 100.0),
            "T": rng.choice([0.0, 1e-6, 0.25, 1.0, 40.0], rows), "r": rng.uniform(-0.02, 0.08, rows),
            "sigma": rng.choice([0.0, 1e-4, 0.2, 0.6, 4.0], rows), "q": rng.uniform(-0.01, 0.05, rows)}
    for kind in ("call", "put"):
        for style in ("eur", "american"):  # prices for each family's implied volatility
            price = getattr(vexal.precise, kind + "_" + style)(cols["S"], 100, cols["T"], cols["r"],
                                                               rng.uniform(0.05, 1, rows), cols["q"])
            price[::5] = rng.uniform(0, 200, len(price[::5]))
            cols[kind + (" american" if style == "american" else "") + " price"] = price
    for v in cols.values():
        v[3] = math.nan
    return cols


class Table(unittest.TestCase):
    def test_every_row_under_its_name_less_the_prefix(self):
        self.assertTrue(PRECISE)
        self.assertEqual(sorted(vexal.precise.__all__), sorted(name[len(PREFIX):] for name, *_ in PRECISE))
        for name, args, summary, _family in PRECISE:
            fn = getattr(vexal.precise, name[len(PREFIX):])
            self.assertEqual(list(inspect.signature(fn).parameters), [a for a, _ in args], name)
            self.assertTrue(fn.__doc__.startswith(name[len(PREFIX):] + "("), name)
            self.assertIn(summary[1:], fn.__doc__)
            self.assertIn("vexal_" + name, fn.__doc__)
            self.assertFalse(hasattr(vexal, name), "the precise family lives in vexal.precise only")

    def test_scalars_are_the_c_symbols(self):
        for name, args, _summary, _family in NUMBER_ROWS:
            fn, c = getattr(vexal.precise, name[len(PREFIX):]), c_symbol(name, len(args))
            for values in ([0.3], [-38.0], [100, 95, 0.5, 0.03, 0.25, 0.01], [100, 300, 0.1, -0.01, 0.15, 0.02],
                           [100, 95, 0.5, 0.03, 7.5, 0.01], [math.nan] * 6):
                a = (values * len(args))[:len(args)]
                self.assertTrue(same(fn(*a), c(*a)), "%s%s" % (name, tuple(a)))

    def test_without_the_family_in_the_library_a_clear_error(self):
        vexal.library()
        with mock.patch.dict(vexal._FUNCS):
            del vexal._FUNCS["precise_call_eur"]
            with self.assertRaisesRegex(OSError, "precise family is in libvexal.so and Vexal64.dll"):
                vexal.precise.call_eur(100, 100, 1, 0.05, 0.2, 0)


@unittest.skipIf(np is None, "numpy and pandas are not installed for this interpreter")
class Arrays(unittest.TestCase):
    def test_arrays_broadcast_to_the_scalar_calls(self):
        cols = grid(600, 19)
        for name, args, _summary, _family in NUMBER_ROWS:
            fn = getattr(vexal.precise, name[len(PREFIX):])
            kind = ("put" if "put" in name else "call") + (" american" if "american" in name else "")
            columns = [cols.get(kind + " " + a, cols.get(a, np.full(600, 0.5))).reshape(30, 20) for a, _ in args]
            if len(columns) > 1:  # one row of the second argument for every row of the others
                columns[1] = columns[1][:1]
            got = fn(*columns, progress=True)
            self.assertEqual(got.shape, (30, 20), name)
            b = np.broadcast_arrays(*columns)
            want = np.array([fn(*[float(c.flat[i]) for c in b]) for i in range(600)]).reshape(30, 20)
            self.assertTrue(np.array_equal(got.view(np.int64), want.view(np.int64)), name)
            if all(a in cols or kind + " " + a in cols for a, _ in args):  # the grid's own arguments
                self.assertGreater(np.isfinite(want).mean(), 0.5, name)

    def test_pandas_in_and_out(self):
        chain = pd.DataFrame({"S": [90.0, 100, 110, math.nan], "sigma": [0.2, 0.25, 0.3, 0.2]}, index=list("abcd"))
        got = vexal.precise.call_eur(chain.S, 100, 1, 0.05, chain.sigma, 0)
        self.assertIsInstance(got, pd.Series)
        self.assertTrue(got.index.equals(chain.index))
        self.assertEqual(got.name, "precise_call_eur")
        want = [vexal.precise.call_eur(s, 100, 1, 0.05, v, 0) for s, v in zip(chain.S, chain.sigma)]
        self.assertTrue(np.array_equal(got.to_numpy().view(np.int64), np.array(want).view(np.int64)))
        frame = vexal.precise.snorm(pd.DataFrame({"u": [-1.0, -30.0], "v": [0.0, 2.0]}))
        self.assertIsInstance(frame, pd.DataFrame)
        self.assertEqual(frame.loc[1, "u"], vexal.precise.snorm(-30.0))

    def test_dask_is_lazy_and_equal(self):
        try:
            import dask.array as da
            import dask.dataframe as dd
        except ImportError:
            self.skipTest("dask is not installed for this interpreter")
        chain = pd.DataFrame({"S": np.linspace(60, 140, 500), "sigma": np.linspace(0.05, 0.9, 500)})
        want = vexal.precise.put_eur(chain.S, 100, 1, 0.05, chain.sigma, 0.01)
        lazy = vexal.precise.put_eur(dd.from_pandas(chain, npartitions=3).S, 100, 1, 0.05,
                                     dd.from_pandas(chain, npartitions=3).sigma, 0.01)
        self.assertIsInstance(lazy, dd.Series)
        got = lazy.compute()
        self.assertTrue(np.array_equal(got.to_numpy().view(np.int64), want.to_numpy().view(np.int64)))
        block = vexal.precise.put_eur(da.from_array(chain.S.to_numpy(), chunks=128), 100, 1, 0.05,
                                      chain.sigma.to_numpy(), 0.01).compute()
        self.assertTrue(np.array_equal(block.view(np.int64), want.to_numpy().view(np.int64)))


if __name__ == "__main__":
    unittest.main()
