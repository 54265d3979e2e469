"""vexal.garch_mle: the published benchmark through the binding, frames in
parallel and Dask against single fits bit for bit, refused input."""
import math
import os
import sys
import unittest

if not os.environ.get("VEXAL_TEST_INSTALLED"):  # else: the installed package
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import vexal  # noqa: E402

try:
    import numpy as np
    import pandas as pd
except ImportError:
    np = pd = None

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "data", "dem2gbp.csv")


def bits(a):
    return np.asarray(a, dtype=np.float64).view(np.int64)


@unittest.skipIf(np is None, "numpy and pandas are not installed for this interpreter")
class GarchMle(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(DATA):  # a copy of these tests beside an installed package
            raise unittest.SkipTest("the benchmark series is in the source tree: %s" % DATA)
        cls.y = pd.read_csv(DATA, comment="#")["DEM2GBP"]

    def test_benchmark_and_the_result(self):
        r = vexal.garch_mle(self.y)
        self.assertEqual(list(r.params.index), ["mu", "omega", "alpha", "beta"])
        for got, published, unit in zip(r.params, (-0.00619041, 0.0107613, 0.153134, 0.805974),
                                         (1e-8, 1e-7, 1e-6, 1e-6)):
            self.assertLessEqual(abs(got - published), unit)
        self.assertAlmostEqual(r.loglik, -1106.608, delta=5e-4)
        self.assertEqual(sorted(r.std_err), ["bw", "hessian", "opg", "robust"])
        self.assertTrue(np.allclose(r.std_err["hessian"], [0.00846212, 0.00285271, 0.0265228, 0.0335527],
                                    rtol=5e-4))
        self.assertTrue(r.converged)
        self.assertEqual(r.conditional_variance.shape, (1974,))
        f = r.forecast(3)
        e = self.y.iloc[-1] - r.params["mu"]
        self.assertAlmostEqual(f[0], r.params["omega"] + r.params["alpha"] * e * e
                               + r.params["beta"] * r.conditional_variance[-1], delta=1e-12)
        text = r.summary()
        for word in ("estimate", "std. error", "P>|t|", "0.00846212", "24.02"):
            self.assertIn(word, text)
        t = vexal.garch_mle(self.y.to_numpy(), mean="zero", dist="t", h0="backcast")
        self.assertEqual(list(t.params.index), ["mu", "omega", "alpha", "beta", "nu"])
        self.assertEqual(t.params["mu"], 0)
        self.assertNotIn("bw", t.std_err)

    def test_frames_and_dask_are_single_fits(self):
        df = pd.DataFrame({"a": self.y, "b": self.y[:700] / 100, "c": self.y.shift(300)})  # NaN padding
        fits = vexal.garch_mle(df, dist="t")
        self.assertEqual(list(fits.index), ["a", "b", "c"])
        for name in df.columns:
            one = vexal.garch_mle(df[name], dist="t")
            self.assertTrue(np.array_equal(bits(fits.loc[name, ["mu", "omega", "alpha", "beta", "nu"]]),
                                           bits(one.params)), name)
            self.assertEqual(bits(fits.loc[name, "se_beta"]), bits(one.std_err["hessian"]["beta"]))
        try:
            import dask
            import dask.dataframe as dd
        except ImportError:
            self.skipTest("dask is not installed for this interpreter")
        with dask.config.set(scheduler="threads"):
            lazy = vexal.garch_mle(dd.from_pandas(df, npartitions=3), dist="t")
        self.assertTrue(np.array_equal(bits(lazy), bits(fits)))

    def test_bad_input(self):
        y = self.y.to_numpy()
        hole = y.copy()
        hole[100] = np.nan
        cases = [
            (ValueError, "NaN inside", (hole,), {}),
            (ValueError, "at least 10", (y[:9],), {}),
            (ValueError, "at least 11 with mean='ar1'", (y[:10],), {"mean": "ar1"}),
            (ValueError, "2-D", (np.vstack([y, y]),), {}),
            (ValueError, "infinity", (np.append(y, np.inf),), {}),
            (ValueError, "does not vary", (np.ones(50),), {}),
            (TypeError, "numbers", (["a"] * 20,), {}),
            (TypeError, "numbers", ("1,2,3",), {}),
            (ValueError, "mean", (y,), {"mean": "ar2"}),
            (ValueError, "dist", (y,), {"dist": "cauchy"}),
            (ValueError, "vol", (y,), {"vol": "egarch"}),
            (TypeError, "h0", (y,), {"h0": 0}),
            (ValueError, "column 'b'", (pd.DataFrame({"a": y[:50], "b": hole[80:130]}),), {}),
        ]
        for error, words, args, kwargs in cases:
            with self.assertRaises(error, msg=words) as caught:
                vexal.garch_mle(*args, **kwargs)
            self.assertIn(words, str(caught.exception))
        r = vexal.garch_mle(y[:200])
        self.assertRaises(ValueError, r.forecast, -1)
        self.assertRaises(TypeError, r.forecast, 2.5)

    def test_backtest_bad_input(self):
        """The backtest's refusals name the problem."""
        y = self.y.to_numpy()[:300]
        hole, flat = y.copy(), y.copy()
        hole[150] = np.nan
        flat[100:200] = 0.25
        cases = [
            (ValueError, "NaN or infinity (at position 150)", (hole, 50), {}),
            (ValueError, "300 returns, not more than the window of 300", (y, 300), {}),
            (ValueError, "window must be at least 11", (y, 10), {"mean": "ar1"}),
            (ValueError, "refit_every at least 1", (y, 50, 0), {}),
            (ValueError, "without variation", (flat, 100, 100), {}),
            (ValueError, "level outside (0, 0.5)", (y, 50), {"level": 0.5}),
            (ValueError, "level outside (0, 0.5)", (y, 50), {"level": 0.0}),
            (ValueError, "vol must be one of", (y, 50), {"vol": "egarch"}),
            (TypeError, "window must be a whole number", (y, 50.5), {}),
        ]
        for error, words, args, kwargs in cases:
            with self.assertRaises(error, msg=words) as caught:
                vexal.garch_backtest(*args, **kwargs)
            self.assertIn(words, str(caught.exception))

    def test_prices(self):
        """Price levels fitted as returns warn; prices=True fits their simple returns."""
        import warnings
        p = np.cumprod(np.r_[100.0, 1 + self.y.to_numpy() / 100])
        r = (p[1:] - p[:-1]) / p[:-1]
        for args, kwargs, warned in (((p,), {}, True), ((r,), {}, False), ((p,), {"prices": True}, False)):
            with warnings.catch_warnings(record=True) as seen:
                warnings.simplefilter("always")
                fit = vexal.garch_mle(*args, **kwargs)
            self.assertEqual(any("prices=True" in str(w.message) for w in seen), warned, (kwargs, warned))
        self.assertTrue(np.array_equal(bits(fit.params), bits(vexal.garch_mle(r).params)))
        self.assertRaises(TypeError, vexal.garch_mle, p, prices="yes")

    def test_models_risk_and_backtest(self):
        """Every model through the binding; VaR and ES; the backtest's
        statistics from its own exceedances, the same at any thread count;
        the t fit at its bound reports the normal law's likelihood."""
        y = self.y.to_numpy()
        for vol, dist, mean in (("gjr", "skewt", "constant"), ("garch", "ged", "zero"), ("gjr", "t", "ar1")):
            fit = vexal.garch_mle(y, mean=mean, vol=vol, dist=dist)
            self.assertTrue(fit.converged or fit.at_bound, (vol, dist, mean))
            self.assertEqual("gamma" in fit.params.index, vol == "gjr")
            self.assertTrue(0 < fit.var(0.05) < fit.var(0.01) < fit.es(0.01))
            self.assertRaises(ValueError, fit.var, 0.5)
        bt = [None, None]
        for k, threads in enumerate((1, 2)):
            vexal.set_threads(threads)
            bt[k] = vexal.garch_backtest(y[:700], window=500, refit_every=5, level=0.05, vol="gjr")
        vexal.set_threads(None)
        self.assertTrue(np.array_equal(bits(bt[0].var), bits(bt[1].var)))
        b = bt[0]
        x, n = int(b.exceed.sum()), b.days
        self.assertEqual(x, b.exceedances)
        pi = x / n
        lr = -2 * ((n - x) * math.log(0.95) + x * math.log(0.05) - (n - x) * math.log(1 - pi) - x * math.log(pi))
        self.assertAlmostEqual(b.kupiec[0], lr, delta=1e-10 * max(1, lr))
        closes = pd.read_csv(os.path.join(os.path.dirname(DATA), "..", "..", "examples", "closes.csv")).close
        t_fit = vexal.garch_mle(closes.to_numpy(), dist="t", prices=True)
        normal = vexal.garch_mle(closes.to_numpy(), prices=True)
        self.assertGreaterEqual(t_fit.loglik, normal.loglik)
        self.assertEqual((t_fit.at_bound, t_fit.converged), (["nu"], False))


if __name__ == "__main__":
    unittest.main()
