"""Fits as values: GARCH(1,1) and Kelly fits on state of their own, one
series or many in parallel, never touching the library's module state."""
import ctypes
from collections import namedtuple

import numpy as np

from . import _arrays

GarchFit = namedtuple("GarchFit", "objective omega alpha beta")
KellyFit = namedtuple("KellyFit", "f growth growth_sd")
_DoublePtr = _arrays._DoublePtr


def _ptr(a):
    return a.ctypes.data_as(_DoublePtr)


def _number(fname, arg, value):
    try:
        return float(value)
    except (TypeError, ValueError):
        raise TypeError("%s(): %s must be a number, not %s" % (fname, arg, type(value).__name__)) from None


def _fit_api(fname, name):
    fns = _arrays.api()
    if not fns or name not in fns:
        raise RuntimeError("%s(): the loaded library (%s) has no %s" % (fname, _library_path(), name))
    return fns


def _library_path():
    from . import library_path
    return library_path()


def _series(fname, arg, value):
    """(k x L float64 block, labels or None, is_many) for one series (1-D),
    one per row (2-D) or one per column (DataFrame)."""
    kind = _arrays._pandas_kind(value)
    a = _arrays.as_doubles(fname, arg, value)
    if kind == "frame":
        return np.ascontiguousarray(a.T), value.columns, True
    if a.ndim == 1:
        return np.ascontiguousarray(a.reshape(1, -1)), None, False
    if a.ndim == 2:
        return np.ascontiguousarray(a), None, True
    raise ValueError("%s(): %s must be one series (1-D), one per row (2-D) or a DataFrame, not %d-dimensional"
                     % (fname, arg, a.ndim))


def _lengths(*blocks):
    """Each row's length: up to and including its last number. NaN padding
    after it is not part of the series, so that a column fitted alone and
    the same column fitted in its frame agree."""
    numbers = np.zeros(blocks[0].shape, dtype=bool)
    for b in blocks:
        numbers |= ~np.isnan(b)
    width = blocks[0].shape[1]
    last = width - np.argmax(numbers[:, ::-1], axis=1)
    return np.where(numbers.any(axis=1), last, 0).astype(np.longlong)


def _frame(results, labels, columns):
    try:
        import pandas as pd
    except ImportError:  # without pandas: one row of results per series
        return results
    return pd.DataFrame(results, index=labels if labels is not None else pd.RangeIndex(len(results)),
                        columns=list(columns))


def garch_fit(prices, alpha0=0.1, beta0=0.8, newest_first=False, progress=False):
    if _arrays.is_dask(prices):
        from . import _dask
        return _dask.fit_columns(garch_fit, (prices,), (alpha0, beta0, newest_first), GarchFit._fields)
    a0, b0 = _number("garch_fit", "alpha0", alpha0), _number("garch_fit", "beta0", beta0)
    reverse = _number("garch_fit", "newest_first", newest_first)
    block, labels, many = _series("garch_fit", "prices", prices)
    if not many:
        fns = _fit_api("garch_fit", "vexal_garch_fit")
        result = np.empty(4)
        _arrays.check(fns["vexal_garch_fit"](_ptr(block), int(_lengths(block)[0]), reverse, a0, b0, _ptr(result)),
                      "garch_fit")
        return GarchFit(*(float(x) for x in result))
    fns = _fit_api("garch_fit", "vexal_garch_fit_many_progress")
    lengths = _lengths(block)
    results = np.full((block.shape[0], 4), np.nan)
    if block.shape[0]:
        with _arrays.Watch("garch_fit", progress) as watch:
            code = fns["vexal_garch_fit_many_progress"](
                block.shape[0], _ptr(block), block.shape[1],
                lengths.ctypes.data_as(ctypes.POINTER(ctypes.c_longlong)), reverse, a0, b0, _ptr(results),
                _arrays._threads, watch.callback, None)
        watch.finish(code)
        _arrays.check(code, "garch_fit")
    return _frame(results, labels, GarchFit._fields)


def kelly_fit(probabilities, outcomes, f0=0.0, progress=False):
    if _arrays.is_dask(probabilities) or _arrays.is_dask(outcomes):
        from . import _dask
        return _dask.fit_columns(kelly_fit, (probabilities, outcomes), (f0,), KellyFit._fields)
    f = _number("kelly_fit", "f0", f0)
    p, labels, many = _series("kelly_fit", "probabilities", probabilities)
    o, labels_o, many_o = _series("kelly_fit", "outcomes", outcomes)
    if p.shape != o.shape or many != many_o:
        raise ValueError("kelly_fit(): probabilities %s and outcomes %s differ in shape"
                         % (p.shape if many else p.shape[1:], o.shape if many_o else o.shape[1:]))
    if labels is not None and labels_o is not None and not labels.equals(labels_o):
        raise ValueError("kelly_fit(): the columns of probabilities and outcomes differ")
    if not many:
        fns = _fit_api("kelly_fit", "vexal_kelly_fit")
        result = np.empty(3)
        _arrays.check(fns["vexal_kelly_fit"](_ptr(p), _ptr(o), int(_lengths(p, o)[0]), f, _ptr(result)),
                      "kelly_fit")
        return KellyFit(*(float(x) for x in result))
    fns = _fit_api("kelly_fit", "vexal_kelly_fit_many_progress")
    lengths = _lengths(p, o)
    results = np.full((p.shape[0], 3), np.nan)
    if p.shape[0]:
        with _arrays.Watch("kelly_fit", progress) as watch:
            code = fns["vexal_kelly_fit_many_progress"](
                p.shape[0], _ptr(p), _ptr(o), p.shape[1],
                lengths.ctypes.data_as(ctypes.POINTER(ctypes.c_longlong)), f, _ptr(results),
                _arrays._threads, watch.callback, None)
        watch.finish(code)
        _arrays.check(code, "kelly_fit")
    return _frame(results, labels if labels is not None else labels_o, KellyFit._fields)


def kelly_exact(probabilities, outcomes):
    """The exact Kelly fraction of one outcome table: the root of the growth's
    first-order condition to machine precision (vexal_kelly_exact)."""
    p, _, many = _series("kelly_exact", "probabilities", probabilities)
    o, _, many_o = _series("kelly_exact", "outcomes", outcomes)
    if many or many_o or p.shape != o.shape:
        raise ValueError("kelly_exact(): probabilities and outcomes must be one table each, of one length")
    fns = _fit_api("kelly_exact", "vexal_kelly_exact")
    result = np.empty(3)
    _arrays.check(fns["vexal_kelly_exact"](_ptr(p), _ptr(o), int(_lengths(p, o)[0]), _ptr(result)), "kelly_exact")
    return KellyFit(*(float(x) for x in result))
