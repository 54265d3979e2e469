"""Vexal: quantitative-finance functions of libvexal.so / Vexal64.dll / Vexal.dll, through ctypes.

Every export of the library is a function of this module with the library's
own name and argument names (``lambda`` is spelt ``lambda_``, a Python
keyword): numbers are floats, arrays are Python sequences or numpy arrays,
and every result is a float, NaN included, exactly as the library returns it.

The pure functions also take numpy arrays, lists and pandas Series for their
numbers (broadcast; an array or Series of results, evaluated on every core)
and Dask collections (a lazy result); garch_fit and kelly_fit fit one series
or many on state of their own. See docs/python.md.

The precise family (docs/precise.md) is the submodule vexal.precise, with
the same names less the prefix and the same array, pandas and Dask
behaviour: vexal.precise.call_eur(100, 100, 1, 0.05, 0.2, 0). It is in
libvexal.so and Vexal64.dll; a 32-bit Windows Python binds it from
VexalPrecise.dll beside Vexal.dll at the first precise call.

    >>> import vexal
    >>> vexal.call_eur(100, 100, 1, 0.05, 0.2, 0)      # doctest: +SKIP
    10.450575619322279

The library is found, on the first call, through the VEXAL_LIBRARY
environment variable when set, otherwise beside this package, otherwise
through the system loader (libvexal.so.1). A 64-bit Windows Python loads
Vexal64.dll (plain names), a 32-bit one Vexal.dll (__stdcall, decorated
names). ``vexal.library()`` loads it explicitly and returns the ctypes handle.

The GARCH fit (Price_input, garch_*), the Kelly fit (kelly_*) and the
generator (RanMT*, gaussMT, F_NextPrice) keep state inside the library,
shared by the whole process: use each from one thread at a time.
"""
import array
import ctypes
import inspect
import keyword
import os
import struct
import sys
import threading

from ._exports import COUNT_AT, EXPORTS, NOTES, PRECISE, STATE

__all__ = (["EXPORTS", "library", "library_path", "set_threads", "get_threads", "garch_fit", "kelly_fit", "kelly_exact",
            "precise"] + [row[0] for row in EXPORTS])
__version__ = "1.0.0"

_lock = threading.Lock()
_lib = None
_lib_path = None

try:  # numpy is optional: without it arrays are copied from sequences
    import numpy as _np
except ImportError:  # pragma: no cover - depends on the interpreter
    _np = None


def _windows_bits():
    """32 or 64 in a Windows Python (its pointer width), None elsewhere."""
    return 8 * struct.calcsize("P") if sys.platform == "win32" else None


def _decorated():
    """32-bit Windows: Vexal.dll, __stdcall functions exported as name@bytes."""
    return _windows_bits() == 32


def _candidates():
    env = os.environ.get("VEXAL_LIBRARY")
    if env:
        return [env]
    here = os.path.dirname(os.path.abspath(__file__))
    if _windows_bits():
        dll = "Vexal.dll" if _decorated() else "Vexal64.dll"
        return [os.path.join(here, dll), dll]
    if sys.platform == "darwin":
        return [os.path.join(here, "libvexal.dylib"), "libvexal.1.dylib"]
    return [os.path.join(here, "libvexal.so"), os.path.join(here, "libvexal.so.1"), "libvexal.so.1"]


def library():
    """Load the library (once) and return its ctypes handle."""
    global _lib, _lib_path
    if _lib is not None:
        return _lib
    with _lock:
        if _lib is None:
            loader = ctypes.WinDLL if _decorated() else ctypes.CDLL
            errors = []
            for path in _candidates():
                # A bare file name goes to the system loader; a path must exist.
                if os.path.dirname(path) and not os.path.exists(path):
                    errors.append("%s: no such file" % path)
                    continue
                try:
                    lib = loader(path)
                except OSError as e:
                    errors.append("%s: %s" % (path, e))
                    continue
                missing = _bind(lib)
                if missing:
                    raise OSError("vexal: %s does not export %s" % (path, ", ".join(missing)))
                _lib_path = path
                _lib = lib
                break
            else:
                raise OSError("vexal: cannot load the library (set VEXAL_LIBRARY to its path); tried:\n  "
                              + "\n  ".join(errors))
    return _lib


def library_path():
    """The path or name the library was loaded from (loads it if needed)."""
    library()
    return _lib_path


_DoublePtr = ctypes.POINTER(ctypes.c_double)
_FUNCS = {}   # table name -> ctypes function of the loaded library
_CALLS = {}   # table name -> the Python function (vexal.call_eur, vexal.precise.call_eur)


def _bind(lib, companion=False):
    """Set up every export of lib; returns the names it lacks. The precise
    family is bound where the library has it (not in the 32-bit Vexal.dll:
    companion=True binds it from VexalPrecise.dll, under decorated names)."""
    found, missing, decorated = {}, [], _decorated()
    rows = [(name, args, "%s@%d" % (name, stack_bytes) if decorated else name, True)
            for name, args, stack_bytes, _summary, _family in EXPORTS]
    if companion:
        rows = [(name, args, "%s@%d" % (name, sum(4 if k == "arr" else 8 for _, k in args)), True)
                for name, args, _summary, _family in PRECISE]
    elif not decorated:
        rows += [(name, args, "vexal_" + name, False) for name, args, _summary, _family in PRECISE]
    for name, args, symbol, required in rows:
        try:
            fn = lib[symbol]
        except AttributeError:
            if required:
                missing.append(symbol)
            continue
        fn.restype = ctypes.c_double
        fn.argtypes = [_DoublePtr if kind == "arr" else ctypes.c_double for _, kind in args]
        found[name] = fn
    if not missing:
        _FUNCS.update(found)
    return missing


def _function(name):
    """The library's function of a table name, loading the library first."""
    fn = _FUNCS.get(name)
    if fn is None:
        library()
        fn = _FUNCS.get(name)
        if fn is None and _decorated():
            _load_companion()
            fn = _FUNCS.get(name)
        if fn is None:  # only a precise function can be missing from a loaded library
            raise OSError("vexal: %s does not export vexal_%s: the precise family is in libvexal.so and "
                          "Vexal64.dll (64-bit Python), not in the 32-bit Vexal.dll" % (_lib_path, name))
    return fn


def _load_companion():
    """32-bit Windows: the precise family from VexalPrecise.dll, beside the
    Vexal.dll loaded (or through the system loader when that was a bare name)."""
    folder = os.path.dirname(_lib_path)
    path = os.path.join(folder, "VexalPrecise.dll") if folder else "VexalPrecise.dll"
    with _lock:
        if PRECISE[0][0] in _FUNCS:  # bound by another thread meanwhile
            return
        try:
            lib = ctypes.WinDLL(path)
        except OSError as e:
            raise OSError("vexal: the precise family is not in the 32-bit Vexal.dll but in VexalPrecise.dll "
                          "beside it, which does not load: %s: %s" % (path, e)) from None
        missing = _bind(lib, companion=True)
        if missing:
            raise OSError("vexal: %s does not export %s" % (path, ", ".join(missing)))


class _NotScalar(Exception):
    """An argument is an array, a Series or a Dask collection: the call takes
    the array path (vexal._arrays)."""


def _number(fname, arg, value):
    if type(value) is float:
        return value
    if type(value) is int:
        return float(value)
    if isinstance(value, (str, bytes, bytearray)):
        raise TypeError("%s(): argument %s must be a number, not %s" % (fname, arg, type(value).__name__))
    ndim = getattr(value, "ndim", None)
    if ndim or (ndim is None and hasattr(value, "__len__")):
        raise _NotScalar
    try:
        return float(value)
    except (TypeError, ValueError):
        raise TypeError("%s(): argument %s must be a number, not %s"
                        % (fname, arg, type(value).__name__)) from None


def _array(fname, arg, value):
    """(pointer, length, keep-alive) for an array argument."""
    if getattr(value, "ndim", 1) != 1 or (isinstance(value, (list, tuple)) and value
                                          and hasattr(value[0], "__len__")):
        raise _NotScalar  # one series per row or per column, or a Dask collection
    if type(value).__module__.split(".", 1)[0] in ("dask", "dask_expr"):
        raise _NotScalar
    if isinstance(value, (str, bytes, bytearray)) or not hasattr(value, "__len__"):
        if _np is None or not isinstance(value, _np.ndarray):
            raise TypeError("%s(): argument %s must be a sequence of numbers, not %s"
                            % (fname, arg, type(value).__name__))
    if _np is not None and isinstance(value, _np.ndarray):
        if value.ndim != 1:
            raise ValueError("%s(): argument %s must be one-dimensional, not %d-dimensional"
                             % (fname, arg, value.ndim))
        if value.dtype != _np.float64 or not value.flags.c_contiguous or not value.flags.aligned:
            if value.dtype.kind not in "biufO":
                raise TypeError("%s(): argument %s must hold numbers, not %s" % (fname, arg, value.dtype))
            try:
                value = _np.ascontiguousarray(value, dtype=_np.float64)
            except (TypeError, ValueError):
                raise TypeError("%s(): argument %s must hold numbers only" % (fname, arg)) from None
        return value.ctypes.data_as(_DoublePtr), len(value), value
    try:
        items = array.array("d", value)  # one conversion, at C speed
    except (TypeError, ValueError, OverflowError):
        raise TypeError("%s(): argument %s must hold numbers only" % (fname, arg)) from None
    if not items:
        items = array.array("d", [0.0])  # an address to pass; the length check refuses it
        return ctypes.cast((ctypes.c_double * 1).from_buffer(items), _DoublePtr), 0, items
    return ctypes.cast((ctypes.c_double * len(items)).from_buffer(items), _DoublePtr), len(items), items


def _elements_needed(count):
    """Elements the library reads from each array for a count: indices
    0 .. nearest(count - 1); a NaN or out-of-range bound reads none."""
    last = count - 1.0
    if not (-2147483648.0 <= last <= 2147483647.0):
        return 1
    return max(1, int(round(last)) + 1)


def _make(name, args, stack_bytes, summary, family, python_name=None):
    """The Python function of a table row. python_name: the name it has in
    its module (vexal.precise.call_eur for precise_call_eur); a precise row
    has no Win32 export (stack_bytes None)."""
    python_name = python_name or name
    names = [a + "_" if keyword.iskeyword(a) else a for a, _ in args]
    kinds = [k for _, k in args]
    count_at = COUNT_AT.get(name)
    # A precise row's count may be left out: the length of its arrays.
    optional_count = stack_bytes is None and count_at is not None and count_at == len(names) - 1
    signature = inspect.Signature(
        [inspect.Parameter(n, inspect.Parameter.POSITIONAL_OR_KEYWORD,
                           default=None if optional_count and i == count_at else inspect.Parameter.empty)
         for i, n in enumerate(names)], return_annotation=float)
    described = ", ".join(n + ("[]" if k == "arr" else "") for n, k in zip(names, kinds))

    def call(*a, **kw):
        progress = kw.pop("progress", False) if kw else False
        if kw or len(a) != len(names):
            try:
                bound = signature.bind(*a, **kw)
                bound.apply_defaults()
                a = bound.args
            except TypeError as e:
                raise TypeError("%s() takes %d argument%s (%s), %d given: %s"
                                % (name, len(names), "" if len(names) == 1 else "s", described,
                                   len(a) + len(kw), e)) from None
        if optional_count and a[count_at] is None:
            first = a[kinds.index("arr")]
            a = a[:count_at] + (float(len(first)) if hasattr(first, "__len__") else None,) + a[count_at + 1:]
        values, keep = [], []
        lengths = {}
        try:
            for arg, kind, v in zip(names, kinds, a):
                if kind == "arr":
                    ptr, length, owner = _array(name, arg, v)
                    values.append(ptr)
                    keep.append(owner)
                    lengths[arg] = length
                else:
                    values.append(_number(name, arg, v))
        except _NotScalar:
            return _array_layer().evaluate(name, names, kinds, a, progress)
        if lengths:
            need = _elements_needed(values[count_at]) if count_at is not None else 1
            for arg, length in lengths.items():
                if length < need:
                    raise ValueError("%s(): array %s has %d element%s, the count %s = %r reads %d"
                                     % (name, arg, length, "" if length == 1 else "s",
                                        names[count_at] if count_at is not None else "-",
                                        values[count_at] if count_at is not None else None, need))
        fn = _FUNCS.get(name)
        if fn is None:
            fn = _function(name)
        return fn(*values)

    call.__name__ = call.__qualname__ = python_name
    call.__module__ = __name__ if python_name == name else __name__ + ".precise"
    call.__signature__ = signature
    lines = ["%s(%s) -> float" % (python_name, described), "", summary[0].upper() + summary[1:] + "."]
    if name in NOTES:
        lines += ["", NOTES[name][0].upper() + NOTES[name][1:] + "."]
    if family:
        lines += ["", "Family: " + family + "."]
    if name not in STATE:
        lines += ["", "Number arguments also take arrays, pandas Series and Dask collections (broadcast,",
                  "evaluated on all cores; progress=True shows a bar on long calls)."]
    if count_at is not None:
        lines += ["", "Array arguments hold at least nearest(%s - 1) + 1 elements (one at least);"
                  % names[count_at], "a list, tuple or numpy array; float64 contiguous arrays are not copied."]
    if stack_bytes is None:
        lines += ["", "C symbol vexal_%s (libvexal.so, Vexal64.dll; in 32-bit Windows VexalPrecise.dll)." % name]
    else:
        lines += ["", "Win32 export: %s@%d." % (name, stack_bytes)]
    call.__doc__ = "\n".join(lines)
    _CALLS[name] = call
    return call


for _row in EXPORTS:
    globals()[_row[0]] = _make(*_row)
del _row


# Arrays, pandas and Dask (numpy needed from here on): vexal._arrays, vexal._fits.
def _array_layer():
    try:
        from . import _arrays as module
    except ImportError as e:
        raise ImportError("vexal: arrays, Series and DataFrames need numpy (%s)" % e) from None
    return module


def set_threads(n=None):
    """Threads for array calls and fits: n >= 1, or None for the default
    (the VEXAL_THREADS environment variable, else every core)."""
    _array_layer().set_threads(n)


def get_threads():
    """The number of threads array calls and fits use now."""
    return _array_layer().get_threads()


def garch_fit(prices, alpha0=0.1, beta0=0.8, newest_first=False, progress=False):
    from . import _fits
    return _fits.garch_fit(prices, alpha0, beta0, newest_first, progress)


def kelly_exact(probabilities, outcomes):
    """The exact Kelly fraction of an outcome table: f maximising
sum p ln(1 + f b), the root of its first-order condition found to machine
precision by a safeguarded Newton method, with the growth and its standard
deviation at f (a KellyFit). The probabilities are weights (divided by
their sum). Where kelly_fit's gradient ascent stops by its tolerance
(0.119113 on examples/bets.csv), this is the optimum itself (0.118975).
Bad tables (no outcome of positive probability, a negative probability, no
finite optimum) raise ValueError."""
    from . import _fits
    return _fits.kelly_exact(probabilities, outcomes)


def kelly_fit(probabilities, outcomes, f0=0.0, progress=False):
    from . import _fits
    return _fits.kelly_fit(probabilities, outcomes, f0, progress)


garch_fit.__doc__ = """GARCH(1,1) fit of a price series, or of many at once.

prices: one series (1-D), one series per row (2-D array) or per column
(DataFrame), or a Dask DataFrame (its columns fitted across the workers).
A series is its values up to its last number: NaN padding at the end is
dropped, so columns of different lengths can share a frame.
One series gives a GarchFit(objective, omega, alpha, beta), exactly what
garch_paramc, Price_input(prices, n, newest_first), garch_o(alpha0, beta0)
and garch_param0..3 give; many give a DataFrame indexed by series, fitted in
parallel (progress=True shows a bar on long runs). The library's own GARCH
state is not touched."""

kelly_fit.__doc__ = """Kelly-fraction fit of an outcome table, or of many at once.

probabilities, outcomes: one table (1-D), one per row (2-D arrays) or per
column (DataFrames; NaN padding at the end dropped), or Dask DataFrames.
One table gives a KellyFit(f, growth, growth_sd), exactly what kelly_paramc,
kelly_input and kelly_o(f0) then kelly_f, kelly_growth and kelly_growth_sd
give; many give a DataFrame indexed by table, fitted in parallel
(progress=True shows a bar on long runs). The library's own Kelly state is
not touched."""


def garch_mle(returns, mean="constant", dist="normal", h0="sample", progress=False, prices=False, vol="garch"):
    from . import _garch_mle
    return _garch_mle.garch_mle(returns, mean, dist, h0, progress, prices, vol)


def garch_backtest(returns, window, refit_every=1, level=0.01, mean="constant", dist="normal", h0="sample",
                   vol="garch", progress=False):
    """A rolling out-of-sample Value-at-Risk backtest of a GARCH model.

For each day t from window on, the model (mean, vol, dist, h0 as in
garch_mle) is fitted to the previous window returns, refitted every
refit_every days and filtered with the last parameters in between, and the
one-step VaR and ES at level (in (0, 0.5)) are forecast for day t. Returns
an object with var, es (positive for losses), exceed (booleans: the return
fell below -var), kupiec, christoffersen_ind and christoffersen_cc, each a
(statistic, p-value) pair. Runs on all cores (vexal.set_threads), the same
doubles at any number of threads; progress=True shows a bar, Ctrl-C stops
it. Bad input (NaN inside, too short, constant, an unknown option, a level
outside (0, 0.5)) raises ValueError or TypeError naming the problem."""
    from . import _garch_mle
    return _garch_mle.garch_backtest(returns, window, refit_every, level, mean, dist, h0, vol, progress)


garch_mle.__doc__ = """GARCH(1,1) by maximum likelihood of a series of returns, or of many.

y[t] = mu + ar1 y[t-1] + e[t], e[t] = sqrt(h[t]) z[t],
h[t] = omega + (alpha + gamma 1[e[t-1] < 0]) e[t-1]^2 + beta h[t-1].
mean: "constant" (mu estimated), "zero" or "ar1" (mu and ar1, the first
return conditioned on); vol: "garch" (gamma = 0) or "gjr"; dist: "normal",
"t" (standardised Student-t, nu estimated), "skewt" (Fernandez-Steel skewed
t, nu and skew) or "ged" (generalised error law, shape nu); h0: "sample"
(pre-sample e^2 and h equal to the mean squared residual) or "backcast"
(the first 75 squared residuals weighted 0.94^t). Returns in percent or in
decimals give the same fit. A parameter at a bound of its range (nu
infinite where the normal law fits at least as well; the persistence at 1)
is listed in at_bound, and converged is then False.

returns: one series (1-D; NaN padding at either end dropped), a DataFrame of
return columns (fitted in parallel into a DataFrame of results, one row per
column) or a Dask DataFrame (one column per task). One series gives a result
with params, std_err ("hessian", "opg", "robust" and, for normal errors,
"bw"), loglik, aic, bic, conditional_variance, converged, at_bound,
forecast(h), forecast_mean(h), var(level), es(level) and summary(). prices=True fits the simple returns (P[t] - P[t-1]) / P[t-1] of
series of prices; a series that looks like price levels without it (every
value positive, the mean many standard deviations) gives a warning. Bad
input (a NaN inside the series, fewer than 10 returns, a 2-D array,
non-numbers, an unknown option) raises ValueError or TypeError."""
__all__ += ["garch_mle", "garch_backtest"]


from . import precise  # noqa: E402  (vexal.precise: the precise family)
