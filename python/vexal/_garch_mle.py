"""GARCH(1,1) by maximum likelihood (include/vexal_garch.h): one series of
returns, a DataFrame of them in parallel, or a Dask DataFrame one column per
task."""
import ctypes
import math
import threading
import warnings

import numpy as np

from . import _arrays, _capi

_OPTIONS = ("mean", "vol", "dist", "h0")
_NAMES = _capi.SLOTS["params"]
# The standard errors by kind: the result's se_ fields.
_KINDS = tuple((f[len("se_"):], f) for f, _ in _capi.vexal_garch_mle2_result._fields_ if f.startswith("se_"))
_Result = _capi.vexal_garch_mle2_result
_AT_PERSISTENCE = 1 << _capi.VEXAL_GARCH_PARAMS


_fns = None
_lock = threading.Lock()


def _api():
    global _fns
    if _fns is None:
        from . import library, library_path
        lib = library()
        with _lock:
            if _fns is None:
                fns = {}
                try:
                    for name in ("vexal_garch_mle2", "vexal_garch_mle2_forecast", "vexal_garch_mle2_risk",
                                 "vexal_garch_backtest_progress", "vexal_garch_looks_like_prices"):
                        fns[name] = _capi.bind(lib, name)
                except AttributeError:
                    raise RuntimeError("garch_mle(): the loaded library (%s) has no %s"
                                       % (library_path(), name)) from None
                _fns = fns
    return _fns


def _ptr(a):
    return a.ctypes.data_as(ctypes.POINTER(ctypes.c_double))


def _options(fname, model):
    """The C options struct of a model (mean, vol, dist, h0), each checked."""
    return _capi.vexal_garch_options(*(_option(arg, value, _capi.OPTIONS[arg], fname)
                                       for arg, value in zip(_OPTIONS, model)))


def _present(model):
    """The parameters a model has, in slot order (mu fixed at 0 for a zero mean)."""
    mean, vol, dist, _ = model
    absent = {"ar1": mean != "ar1", "gamma": vol != "gjr", "nu": dist == "normal",
              "skew": dist != "skewt"}
    return [n for n in _NAMES if not absent.get(n, False)]


def _option(arg, value, choices, fname="garch_mle"):
    if not isinstance(value, str):
        raise TypeError("%s(): %s must be a string, one of %s, not %s"
                        % (fname, arg, ", ".join(map(repr, choices)), type(value).__name__))
    if value not in choices:
        raise ValueError("%s(): %s must be one of %s, not %r" % (fname, arg, ", ".join(map(repr, choices)), value))
    return choices[value]


def _trimmed(what, a, mean):
    """The series between its first and last number (NaN padding at either
    end is not part of it), checked: at least 10 finite values (11 with an
    AR(1) mean) that vary."""
    zero_mean, least = mean == "zero", 11 if mean == "ar1" else 10
    numbers = np.flatnonzero(~np.isnan(a))
    if numbers.size:
        a = a[numbers[0]:numbers[-1] + 1]
    else:
        a = a[:0]
    if np.isnan(a).any():
        raise ValueError("garch_mle(): %s has a NaN inside the series (at position %d)"
                         % (what, numbers[0] + int(np.flatnonzero(np.isnan(a))[0])))
    if np.isinf(a).any():
        raise ValueError("garch_mle(): %s holds an infinity" % what)
    if a.size < least:
        raise ValueError("garch_mle(): %s has %d returns; the fit needs at least %d%s"
                         % (what, a.size, least, " with mean='ar1'" if least == 11 else ""))
    if np.all(a == a[0]) and (not zero_mean or a[0] == 0):
        raise ValueError("garch_mle(): %s does not vary (every return is %r)" % (what, float(a[0])))
    return np.ascontiguousarray(a)


def _check(code):
    if code < 0:
        _arrays.check(code, "garch_mle()")


class GarchMLE:
    """A GARCH fit: params, std_err, loglik, aic, bic, conditional_variance,
    converged, at_bound; forecast(h), var(level), es(level) and summary()."""

    def __init__(self, result, variances, model):
        import pandas as pd
        self._result, self._model = result, model
        names = _present(model)
        idx = [_NAMES.index(n) for n in names]
        params = [result.params[i] for i in idx]
        if model[0] == "zero":  # mu fixed at 0
            params[0] = 0.0
        self.params = pd.Series(params, index=names, dtype=np.float64)
        self.std_err = {kind: pd.Series([getattr(result, field)[i] for i in idx], index=names, dtype=np.float64)
                        for kind, field in _KINDS if kind != "bw" or model[2] == "normal"}
        self.loglik = float(result.loglik)
        self.aic = float(result.aic)
        self.bic = float(result.bic)
        self.conditional_variance = variances
        self.converged = result.converged == 1
        # Parameters at a bound of their range (nu infinite: the normal law
        # fits at least as well), and "persistence" at the stationarity bound.
        self.at_bound = [n for n, i in zip(names, idx) if result.at_bound & (1 << i)]
        if result.at_bound & _AT_PERSISTENCE:
            self.at_bound.append("persistence")

    def forecast(self, h):
        """The variances of the next h returns (h >= 0) past the fitted series."""
        return self._forecast(h)[1]

    def forecast_mean(self, h):
        """The conditional means of the next h returns."""
        return self._forecast(h)[0]

    def _forecast(self, h):
        if isinstance(h, bool) or not isinstance(h, (int, np.integer)):
            raise TypeError("forecast(): h must be a whole number, not %s" % type(h).__name__)
        if h < 0:
            raise ValueError("forecast(): h must be 0 or more, not %d" % h)
        mean, var = np.empty(int(h)), np.empty(int(h))
        _check(_api()["vexal_garch_mle2_forecast"](ctypes.byref(self._result), int(h), _ptr(mean), _ptr(var)))
        return mean, var

    def _risk(self, fname, level):
        if isinstance(level, bool) or not isinstance(level, (int, float, np.floating)):
            raise TypeError("%s(): level must be a number, not %s" % (fname, type(level).__name__))
        var, es = ctypes.c_double(), ctypes.c_double()
        code = _api()["vexal_garch_mle2_risk"](ctypes.byref(self._result), float(level), ctypes.byref(var),
                                               ctypes.byref(es))
        if code < 0:
            _arrays.check(code, "%s()" % fname)
        return var.value, es.value

    def var(self, level=0.01):
        """One-step Value-at-Risk of the next return at level in (0, 0.5), a
        positive number for a loss, under the fitted error law."""
        return self._risk("var", level)[0]

    def es(self, level=0.01):
        """One-step expected shortfall of the next return at level in (0, 0.5),
        a positive number for a loss."""
        return self._risk("es", level)[1]

    def summary(self, std_err="hessian"):
        """The coefficient table (estimate, standard error, t, two-sided normal
        p-value) with the standard errors of the kind asked for."""
        if std_err not in self.std_err:
            raise ValueError("summary(): std_err must be one of %s, not %r"
                             % (", ".join(map(repr, self.std_err)), std_err))
        mean, vol, dist, h0 = self._model
        r = self._result
        state = "yes" if self.converged else "stopped at a bound" if r.converged == 2 else "NO"
        lines = ["GARCH(1,1) by maximum likelihood: %s mean, %s variance, %s errors, h0 %s"
                 % (mean, vol, "Student-t" if dist == "t" else dist, h0),
                 "observations %d   log-likelihood %.6f   AIC %.4f   BIC %.4f"
                 % (r.observations, self.loglik, self.aic, self.bic),
                 "converged: %s after %d iterations; standard errors: %s" % (state, r.iterations, std_err),
                 "",
                 "%-6s %14s %14s %9s %9s" % ("", "estimate", "std. error", "t", "P>|t|")]
        for name, value in self.params.items():
            se = self.std_err[std_err][name]
            if name == "mu" and mean == "zero":
                lines.append("%-6s %14.6g %14s %9s %9s" % (name, value, "(fixed)", "", ""))
                continue
            if name in self.at_bound:
                lines.append("%-6s %14.6g %14s   at its bound" % (name, value, ""))
                continue
            t = value / se
            p = math.erfc(abs(t) / math.sqrt(2)) if math.isfinite(t) else float("nan")
            lines.append("%-6s %14.6g %14.6g %9.3f %9.4f" % (name, value, se, t, p))
        lines += ["", "persistence %.6f%s, half-life %.4g observations, unconditional variance %.6g"
                  % (r.persistence, " (at the stationarity bound)" if "persistence" in self.at_bound else "",
                     r.half_life, r.unconditional_variance)]
        return "\n".join(lines)

    def __repr__(self):
        return "<GarchMLE %s>" % ", ".join("%s=%.6g" % kv for kv in self.params.items())


def _row_fields(model):
    names = _present(model)
    return (names + ["se_" + n for n in names] + ["robust_se_" + n for n in names]
            + ["loglik", "aic", "bic", "persistence", "half_life", "unconditional_variance", "converged",
               "iterations"])


def _row(r, model):
    idx = [_NAMES.index(n) for n in _present(model)]
    params = [r.params[i] for i in idx]
    if model[0] == "zero":
        params[0] = 0.0
    return (params + [r.se_hessian[i] for i in idx] + [r.se_robust[i] for i in idx]
            + [r.loglik, r.aic, r.bic, r.persistence, r.half_life, r.unconditional_variance,
               float(r.converged == 1), float(r.iterations)])


def _column_row(column, mean, vol, dist, h0, prices=False):
    """One Dask column's row of results (its partitions joined)."""
    return tuple(_row(garch_mle(column, mean, dist, h0, prices=prices, vol=vol)._result, (mean, vol, dist, h0)))


def _simple_returns(what, y, prices):
    """The series to fit: y itself, or with prices=True the simple returns
    (P[t] - P[t-1]) / P[t-1] of the prices y, as the CLI's --prices takes
    them. Warns when returns look like price levels."""
    if prices:
        return (y[1:] - y[:-1]) / y[:-1]
    if _api()["vexal_garch_looks_like_prices"](_ptr(y), y.size):
        warnings.warn("garch_mle(): %s looks like price levels (all positive, the mean many standard deviations "
                      "from 0), fitted as returns; for prices pass prices=True" % what, stacklevel=4)
    return y


def garch_mle(returns, mean="constant", dist="normal", h0="sample", progress=False, prices=False, vol="garch"):
    model = (mean, vol, dist, h0)
    options = _options("garch_mle", model)
    if not isinstance(prices, bool):
        raise TypeError("garch_mle(): prices must be True or False, not %s" % type(prices).__name__)
    if _arrays.is_dask(returns):
        if getattr(returns, "ndim", 0) != 2 or not hasattr(returns, "columns"):
            raise TypeError("garch_mle(): a Dask collection must be a Dask DataFrame, one series per column")
        from . import _dask
        return _dask.fit_columns(_column_row, (returns,), model + (prices,), _row_fields(model))
    kind = _arrays._pandas_kind(returns)
    a = _arrays.as_doubles("garch_mle", "returns", returns)
    if kind == "frame":
        return _many(returns, a, options, model, progress, prices)
    if a.ndim != 1:
        raise ValueError("garch_mle(): returns must be one series (1-D) or a DataFrame of series, not a %d-D array"
                         % a.ndim)
    y = _simple_returns("the series", _trimmed("returns", a, mean), prices)
    if prices:
        y = _trimmed("returns", y, mean)
    result, variances = _fit(y, options)
    return GarchMLE(result, variances, model)


def _fit(y, options):
    result = _Result()
    variances = np.empty(y.size)
    _check(_api()["vexal_garch_mle2"](_ptr(y), y.size, ctypes.byref(options), ctypes.byref(result),
                                      _ptr(variances), None))
    return result, variances


def _many(frame, a, options, model, progress, prices=False):
    """One fit per column, on the threads set by vexal.set_threads (each fit
    is the single fit's, whatever the number of threads)."""
    import pandas as pd
    from concurrent.futures import ThreadPoolExecutor
    columns = [_trimmed("column %r" % (c,), a[:, j], model[0]) for j, c in enumerate(frame.columns)]
    columns = [_simple_returns("column %r" % (c,), y, prices) for c, y in zip(frame.columns, columns)]
    if prices:
        columns = [_trimmed("column %r" % (c,), y, model[0]) for c, y in zip(frame.columns, columns)]
    results = [None] * len(columns)
    with _arrays.Watch("garch_mle", progress) as watch, \
            ThreadPoolExecutor(max_workers=_arrays.get_threads()) as pool:
        futures = [pool.submit(_fit, y, options) for y in columns]
        for j, f in enumerate(futures):
            results[j] = f.result()[0]
            if watch.callback(j + 1, len(columns), None):
                for later in futures[j + 1:]:
                    later.cancel()
                break
    watch.finish(0)
    return pd.DataFrame([_row(r, model) for r in results], index=frame.columns, columns=_row_fields(model),
                        dtype=np.float64)


class Backtest:
    """A rolling Value-at-Risk backtest: var, es (positive for losses) and
    exceed (booleans) for the days from the window on, with kupiec,
    christoffersen_ind and christoffersen_cc, each (statistic, p-value)."""

    def __init__(self, result, var, es, exceed, index):
        import pandas as pd
        self.var = pd.Series(var, index=index, name="var") if index is not None else var
        self.es = pd.Series(es, index=index, name="es") if index is not None else es
        self.exceed = pd.Series(exceed, index=index, name="exceed") if index is not None else exceed
        self.days, self.exceedances = int(result.days), int(result.exceedances)
        self.fits, self.converged = int(result.fits), int(result.converged)
        self.kupiec = (result.kupiec.statistic, result.kupiec.p_value)
        self.christoffersen_ind = (result.christoffersen_ind.statistic, result.christoffersen_ind.p_value)
        self.christoffersen_cc = (result.christoffersen_cc.statistic, result.christoffersen_cc.p_value)

    def __repr__(self):
        return ("<Backtest %d days, %d exceedances; Kupiec p %.4g, Christoffersen cc p %.4g>"
                % (self.days, self.exceedances, self.kupiec[1], self.christoffersen_cc[1]))


def garch_backtest(returns, window, refit_every=1, level=0.01, mean="constant", dist="normal", h0="sample",
                   vol="garch", progress=False):
    model = (mean, vol, dist, h0)
    options = _options("garch_backtest", model)
    for arg, v in (("window", window), ("refit_every", refit_every)):
        if isinstance(v, bool) or not isinstance(v, (int, np.integer)):
            raise TypeError("garch_backtest(): %s must be a whole number, not %s" % (arg, type(v).__name__))
    if isinstance(level, bool) or not isinstance(level, (int, float, np.floating)):
        raise TypeError("garch_backtest(): level must be a number, not %s" % type(level).__name__)
    index = getattr(returns, "index", None)
    a = _arrays.as_doubles("garch_backtest", "returns", returns)
    if a.ndim != 1:
        raise ValueError("garch_backtest(): returns must be one series (1-D), not %d-D" % a.ndim)
    y = np.ascontiguousarray(a)
    days = max(y.size - int(window), 0)
    var, es, exceed = np.empty(days), np.empty(days), np.zeros(days, dtype=np.uint8)
    result = _capi.vexal_garch_backtest_result()
    with _arrays.Watch("garch_backtest", progress) as watch:
        code = _api()["vexal_garch_backtest_progress"](
            _ptr(y), y.size, int(window), int(refit_every), float(level), ctypes.byref(options), _ptr(var),
            _ptr(es), exceed.ctypes.data_as(ctypes.POINTER(ctypes.c_ubyte)), ctypes.byref(result),
            _arrays._threads, watch.callback, None)
    watch.finish(code)
    if code < 0:
        bad = np.flatnonzero(~np.isfinite(y))
        detail = {
            _capi.VEXAL_E_GARCH_WINDOW: "window must be at least %d returns and refit_every at least 1, not %d and %d"
                                        % (11 if mean == "ar1" else 10, window, refit_every),
            _capi.VEXAL_E_GARCH_SHORT: "returns has %d returns, not more than the window of %d" % (y.size, window),
            _capi.VEXAL_E_GARCH_NOT_FINITE: "returns has a NaN or infinity (at position %d)" % (bad[0] if bad.size
                                                                                               else -1),
        }.get(code)
        if detail:
            raise ValueError("garch_backtest(): " + detail)
        _arrays.check(code, "garch_backtest()")
    return Backtest(result, var, es, exceed.astype(bool), index[int(window):] if index is not None else None)
