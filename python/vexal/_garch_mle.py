"""GARCH(1,1) by maximum likelihood (include/vexal_garch.h): one series of
returns, a DataFrame of them in parallel, or a Dask DataFrame one column per
task."""
import ctypes
import math
import threading
import warnings

import numpy as np

from . import _arrays, _capi

_MEANS = _capi.OPTIONS["mean"]
_DISTS = _capi.OPTIONS["dist"]
_STARTS = _capi.OPTIONS["h0"]
_NAMES = _capi.SLOTS["params"]
# The standard errors by kind: the result's se_ fields.
_KINDS = tuple((f[len("se_"):], f) for f, _ in _capi.vexal_garch_mle_result._fields_ if f.startswith("se_"))
_Result = _capi.vexal_garch_mle_result


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
                    for name in ("vexal_garch_mle", "vexal_garch_mle_forecast", "vexal_garch_mle_many_progress",
                                 "vexal_garch_looks_like_prices"):
                        fns[name] = _capi.bind(lib, name)
                except AttributeError:
                    raise RuntimeError("garch_mle(): the loaded library (%s) has no %s"
                                       % (library_path(), name)) from None
                _fns = fns
    return _fns


def _ptr(a):
    return a.ctypes.data_as(ctypes.POINTER(ctypes.c_double))


def _option(arg, value, choices):
    if not isinstance(value, str):
        raise TypeError("garch_mle(): %s must be a string, one of %s, not %s"
                        % (arg, ", ".join(map(repr, choices)), type(value).__name__))
    if value not in choices:
        raise ValueError("garch_mle(): %s must be one of %s, not %r" % (arg, ", ".join(map(repr, choices)), value))
    return choices[value]


def _trimmed(what, a, zero_mean):
    """The series between its first and last number (NaN padding at either
    end is not part of it), checked: at least 10 finite values that vary."""
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
    if a.size < 10:
        raise ValueError("garch_mle(): %s has %d returns; the fit needs at least 10" % (what, a.size))
    if np.all(a == a[0]) and (not zero_mean or a[0] == 0):
        raise ValueError("garch_mle(): %s does not vary (every return is %r)" % (what, float(a[0])))
    return np.ascontiguousarray(a)


def _check(code):
    if code < 0:
        _arrays.check(code, "garch_mle()")


class GarchMLE:
    """A GARCH(1,1) fit: params, std_err, loglik, aic, bic,
    conditional_variance, converged; forecast(h) and summary()."""

    def __init__(self, result, variances, model):
        import pandas as pd
        self._result, self._model = result, model
        names = [n for n in _NAMES if n != "nu" or model[1] == "t"]
        self.params = pd.Series([result.params[_NAMES.index(n)] for n in names], index=names, dtype=np.float64)
        self.std_err = {kind: pd.Series([getattr(result, field)[_NAMES.index(n)] for n in names], index=names,
                                        dtype=np.float64)
                        for kind, field in _KINDS if kind != "bw" or model[1] == "normal"}
        self.loglik = float(result.loglik)
        self.aic = float(result.aic)
        self.bic = float(result.bic)
        self.conditional_variance = variances
        self.converged = bool(result.converged)

    def forecast(self, h):
        """The variances of the next h returns (h >= 0) past the fitted series."""
        if isinstance(h, bool) or not isinstance(h, (int, np.integer)):
            raise TypeError("forecast(): h must be a whole number, not %s" % type(h).__name__)
        if h < 0:
            raise ValueError("forecast(): h must be 0 or more, not %d" % h)
        out = np.empty(int(h))
        _check(_api()["vexal_garch_mle_forecast"](ctypes.byref(self._result), int(h), _ptr(out)))
        return out

    def summary(self, std_err="hessian"):
        """The coefficient table (estimate, standard error, t, two-sided normal
        p-value) with the standard errors of the kind asked for."""
        if std_err not in self.std_err:
            raise ValueError("summary(): std_err must be one of %s, not %r"
                             % (", ".join(map(repr, self.std_err)), std_err))
        mean, dist, h0 = self._model
        r = self._result
        lines = ["GARCH(1,1) by maximum likelihood: %s mean, %s errors, h0 %s"
                 % (mean, "normal" if dist == "normal" else "Student-t", h0),
                 "observations %d   log-likelihood %.6f   AIC %.4f   BIC %.4f"
                 % (r.observations, self.loglik, self.aic, self.bic),
                 "converged: %s after %d iterations; standard errors: %s"
                 % ("yes" if self.converged else "NO", r.iterations, std_err),
                 "",
                 "%-6s %14s %14s %9s %9s" % ("", "estimate", "std. error", "t", "P>|t|")]
        for name, value in self.params.items():
            se = self.std_err[std_err][name]
            if name == "mu" and mean == "zero":
                lines.append("%-6s %14.6g %14s %9s %9s" % (name, value, "(fixed)", "", ""))
                continue
            t = value / se
            p = math.erfc(abs(t) / math.sqrt(2)) if math.isfinite(t) else float("nan")
            lines.append("%-6s %14.6g %14.6g %9.3f %9.4f" % (name, value, se, t, p))
        lines += ["", "persistence alpha + beta %.6f, half-life %.4g observations, unconditional variance %.6g"
                  % (r.persistence, r.half_life, r.unconditional_variance)]
        return "\n".join(lines)

    def __repr__(self):
        return "<GarchMLE %s>" % ", ".join("%s=%.6g" % kv for kv in self.params.items())


def _row_fields(dist):
    names = [n for n in _NAMES if n != "nu" or dist == "t"]
    return (names + ["se_" + n for n in names] + ["robust_se_" + n for n in names]
            + ["loglik", "aic", "bic", "persistence", "half_life", "unconditional_variance", "converged",
               "iterations"])


def _row(r, dist):
    idx = [i for i, n in enumerate(_NAMES) if n != "nu" or dist == "t"]
    return ([r.params[i] for i in idx] + [r.se_hessian[i] for i in idx] + [r.se_robust[i] for i in idx]
            + [r.loglik, r.aic, r.bic, r.persistence, r.half_life, r.unconditional_variance, float(r.converged),
               float(r.iterations)])


def _column_row(column, mean, dist, h0, prices=False):
    """One Dask column's row of results (its partitions joined)."""
    return tuple(_row(garch_mle(column, mean, dist, h0, prices=prices)._result, dist))


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


def garch_mle(returns, mean="constant", dist="normal", h0="sample", progress=False, prices=False):
    model = (mean, dist, h0)
    codes = (_option("mean", mean, _MEANS), _option("dist", dist, _DISTS), _option("h0", h0, _STARTS))
    if not isinstance(prices, bool):
        raise TypeError("garch_mle(): prices must be True or False, not %s" % type(prices).__name__)
    if _arrays.is_dask(returns):
        if getattr(returns, "ndim", 0) != 2 or not hasattr(returns, "columns"):
            raise TypeError("garch_mle(): a Dask collection must be a Dask DataFrame, one series per column")
        from . import _dask
        return _dask.fit_columns(_column_row, (returns,), model + (prices,), _row_fields(dist))
    kind = _arrays._pandas_kind(returns)
    a = _arrays.as_doubles("garch_mle", "returns", returns)
    if kind == "frame":
        return _many(returns, a, codes, model, progress, prices)
    if a.ndim != 1:
        raise ValueError("garch_mle(): returns must be one series (1-D) or a DataFrame of series, not a %d-D array"
                         % a.ndim)
    y = _simple_returns("the series", _trimmed("returns", a, mean == "zero"), prices)
    if prices:
        y = _trimmed("returns", y, mean == "zero")
    result = _Result()
    variances = np.empty(y.size)
    _check(_api()["vexal_garch_mle"](_ptr(y), y.size, *codes, ctypes.byref(result), _ptr(variances), None))
    return GarchMLE(result, variances, model)


def _many(frame, a, codes, model, progress, prices=False):
    import pandas as pd
    columns = [_trimmed("column %r" % (c,), a[:, j], model[0] == "zero") for j, c in enumerate(frame.columns)]
    columns = [_simple_returns("column %r" % (c,), y, prices) for c, y in zip(frame.columns, columns)]
    if prices:
        columns = [_trimmed("column %r" % (c,), y, model[0] == "zero") for c, y in zip(frame.columns, columns)]
    stride = max([c.size for c in columns], default=0)
    block = np.full((len(columns), stride), np.nan)
    for j, c in enumerate(columns):
        block[j, :c.size] = c
    lengths = np.array([c.size for c in columns], dtype=np.longlong)
    results = (_Result * len(columns))()
    if columns:
        with _arrays.Watch("garch_mle", progress) as watch:
            code = _api()["vexal_garch_mle_many_progress"](
                len(columns), _ptr(block), stride, lengths.ctypes.data_as(ctypes.POINTER(ctypes.c_longlong)),
                *codes, results, _arrays._threads, watch.callback, None)
        watch.finish(code)
        _check(code)
    return pd.DataFrame([_row(r, model[1]) for r in results], index=frame.columns, columns=_row_fields(model[1]),
                        dtype=np.float64)
