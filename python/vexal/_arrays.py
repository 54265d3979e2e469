"""Arrays in, arrays out: the functions of the package over numpy arrays,
pandas objects and Dask collections, evaluated by the library's batch engine.

Number arguments broadcast by numpy's rules. An array argument (a series of
prices, a dividend schedule) is one array for every row, or a 2-D array with
one series per row, or a DataFrame with one series per column. Every element
of the result is the double the scalar call gives for that row's arguments.
"""
import ctypes
import numbers
import operator
import signal
import sys
import threading
import time

import numpy as np

from . import _capi
from ._exports import COUNT_AT, STATE

_DoublePtr = ctypes.POINTER(ctypes.c_double)
PROGRESS = _capi.vexal_progress_fn
STATEFUL = STATE
VEXAL_STOPPED = _capi.VEXAL_STOPPED
_api = None
_api_lock = threading.Lock()
_threads = 0


def api():
    """The library's array interface, set up once; None for a library
    without it (the 32-bit Vexal.dll), which is then called row by row."""
    global _api
    if _api is None:
        from . import library
        lib = library()
        with _api_lock:
            if _api is None:
                try:
                    fns = {n: _capi.bind(lib, n) for n in ("vexal_map_progress", "vexal_error",
                                                           "vexal_default_threads")}
                except AttributeError:
                    _api = False
                    return None
                for name in ("vexal_garch_fit", "vexal_garch_fit_many_progress", "vexal_kelly_fit",
                             "vexal_kelly_fit_many_progress", "vexal_kelly_exact"):
                    try:
                        fns[name] = _capi.bind(lib, name)
                    except AttributeError:
                        pass
                _api = fns
    return _api or None


def set_threads(n=None):
    """Threads for array calls and fits: n >= 1, or None / 0 for the default
    (the VEXAL_THREADS environment variable, else every core)."""
    global _threads
    if n is None:
        n = 0
    try:
        n = operator.index(n)
    except TypeError:
        raise TypeError("set_threads(): n must be an integer or None, not %s" % type(n).__name__) from None
    if n < 0:
        raise ValueError("set_threads(): n must be 0 (the default) or more, not %d" % n)
    _threads = n


def get_threads():
    """The number of threads array calls use now."""
    fns = api()
    if _threads:
        return _threads
    return fns["vexal_default_threads"]() if fns else 1


def check(code, what):
    """Raises for a negative return code of the array interface."""
    if code >= 0:
        return
    message = "%s: %s" % (what, api()["vexal_error"](code).decode())
    if code == _capi.VEXAL_E_MEMORY:
        raise MemoryError(message)
    if code == _capi.VEXAL_E_RESOURCES:
        raise RuntimeError(message)
    raise ValueError(message)


# ---------------------------------------------------------------------------
# Progress and Ctrl-C

class Watch:
    """The engine's progress callback: shows a bar once the work has run
    about two seconds (when asked for), and turns Ctrl-C into a stop. The
    engine calls it on the calling thread at least every 0.2 s."""
    DELAY = 2.0

    def __init__(self, label, show):
        self.label, self.show = label, bool(show)
        self.start = time.monotonic()
        self.bar = None
        self.interrupted = False
        self.callback = PROGRESS(self._called)
        self._previous = None

    def _called(self, done, total, _user):
        try:
            if self.show and self.bar is None and time.monotonic() - self.start >= self.DELAY:
                self.bar = _bar(self.label, total, done)
            if self.bar is not None:
                self.bar.update(done)
            return 1 if self.interrupted else 0
        except KeyboardInterrupt:
            self.interrupted = True
            return 1

    def _sigint(self, _signum, _frame):
        self.interrupted = True

    def __enter__(self):
        # Ctrl-C while the engine works: remembered, the engine told to stop at
        # its next report, and KeyboardInterrupt raised once it has returned.
        if threading.current_thread() is threading.main_thread():
            try:
                if signal.getsignal(signal.SIGINT) is signal.default_int_handler:
                    self._previous = signal.signal(signal.SIGINT, self._sigint)
            except (ValueError, OSError):
                self._previous = None
        return self

    def __exit__(self, *exc):
        if self._previous is not None:
            signal.signal(signal.SIGINT, self._previous)
        if self.bar is not None:
            self.bar.close()
        return False

    def finish(self, code):
        if self.interrupted:
            raise KeyboardInterrupt
        return code


def _bar(label, total, done):
    try:
        from tqdm import tqdm
    except ImportError:
        return _PlainBar(label, total)
    return _TqdmBar(tqdm(total=total, initial=done, desc=label, unit="row", file=sys.stderr), done)


class _TqdmBar:
    def __init__(self, bar, done):
        self.bar, self.n = bar, done

    def update(self, done):
        self.bar.update(done - self.n)
        self.n = done

    def close(self):
        self.bar.close()


class _PlainBar:
    WIDTH = 30

    def __init__(self, label, total):
        self.label, self.total, self.last = label, max(total, 1), -1

    def update(self, done):
        filled = self.WIDTH * done // self.total
        if filled != self.last:
            self.last = filled
            sys.stderr.write("\r%s [%s%s] %3d%% %d/%d" % (self.label, "#" * filled, " " * (self.WIDTH - filled),
                                                            100 * done // self.total, done, self.total))
            sys.stderr.flush()

    def close(self):
        if self.last >= 0:
            sys.stderr.write("\n")
            sys.stderr.flush()


# ---------------------------------------------------------------------------
# Argument conversion

def _pandas_kind(value):
    """'series', 'frame' or None, without importing pandas."""
    if not type(value).__module__.startswith("pandas."):
        return None
    ndim = getattr(value, "ndim", None)
    return "series" if ndim == 1 else "frame" if ndim == 2 else None


def is_dask(value):
    return type(value).__module__.split(".", 1)[0] in ("dask", "dask_expr")


def as_doubles(fname, arg, value):
    """value as a float64 numpy array; TypeError/ValueError naming arg."""
    if isinstance(value, (str, bytes, bytearray)):
        raise TypeError("%s(): argument %s must be a number or an array of numbers, not %s"
                        % (fname, arg, type(value).__name__))
    try:
        a = np.asarray(value)
    except (TypeError, ValueError) as e:
        raise ValueError("%s(): argument %s is not a regular array of numbers (%s)" % (fname, arg, e)) from None
    if a.dtype.kind not in "biuf":
        if a.dtype.kind != "O":
            raise TypeError("%s(): argument %s must hold numbers, not %s" % (fname, arg, a.dtype))
        try:
            if not all(isinstance(x, numbers.Real) for x in a.flat):  # None is no number either
                raise TypeError
            a = a.astype(np.float64)
        except (TypeError, ValueError):
            raise TypeError("%s(): argument %s must hold numbers only" % (fname, arg)) from None
    return a.astype(np.float64, copy=False)


def elements_needed(count):
    """Elements the library reads from each array for each count: indices
    0 .. nearest(count - 1); a NaN or out-of-range bound reads one."""
    last = np.asarray(count, dtype=np.float64) - 1.0
    ok = (last >= -2147483648.0) & (last <= 2147483647.0)
    return np.where(ok, np.maximum(np.rint(np.where(ok, last, 0.0)) + 1.0, 1.0), 1.0)


def _unpadded(blocks):
    """Series one per row (the rows of each block go together: open, high,
    low and close of one instrument), each moved to start at its first
    number: NaN before the first number of any block's row and after the last
    are padding (columns of unequal lengths in one DataFrame), and a count
    counts from the first number, as in the R package. A NaN between numbers
    stays, and follows the NaN rule."""
    numbers = np.logical_or.reduce([~np.isnan(b) for b in blocks])
    firsts = np.argmax(numbers, axis=1)
    if not firsts.any():
        return blocks
    out = [np.full(b.shape, np.nan) for b in blocks]
    for i in range(numbers.shape[0]):
        have = np.flatnonzero(numbers[i])
        if have.size:
            for b, o in zip(blocks, out):
                o[i, :have[-1] + 1 - have[0]] = b[i, have[0]:have[-1] + 1]
    return out


def _broadcast(fname, shapes):
    try:
        return np.broadcast_shapes(*[s for _, s in shapes])
    except ValueError:
        raise ValueError("%s(): arguments cannot be broadcast together: %s"
                         % (fname, ", ".join("%s %s" % (a, s) for a, s in shapes))) from None


def evaluate(fname, names, kinds, args, progress=False):
    """fname over arrays: the array path of every pure function."""
    if fname in STATEFUL:
        raise TypeError("%s() keeps state in the library and takes numbers, one call at a time; "
                        "for fits of many series see vexal.garch_fit and vexal.kelly_fit" % fname)
    if any(is_dask(v) for v in args):
        from . import _dask
        return _dask.evaluate(fname, names, kinds, args)

    index, frame, frame_columns = None, None, None
    count_at = COUNT_AT.get(fname)
    columns, shapes, blocks = [], [], []
    for arg, kind, v in zip(names, kinds, args):
        pk = _pandas_kind(v)
        if kind == "arr":
            if pk == "frame":
                a = as_doubles(fname, arg, v).T  # one series per column -> per row
                if frame_columns is not None and not v.columns.equals(frame_columns):
                    raise ValueError("%s(): the columns of %s differ from those of another frame argument"
                                     % (fname, arg))
                frame_columns = v.columns
            else:
                a = as_doubles(fname, arg, v)
            if a.ndim not in (1, 2):
                raise ValueError("%s(): argument %s must be one series (1-D) or one series per row (2-D), "
                                 "not %d-dimensional" % (fname, arg, a.ndim))
            a = np.ascontiguousarray(a)
            blocks.append((arg, a))
            columns.append(a)
            if a.ndim == 2:
                shapes.append((arg, a.shape[:1]))
            continue
        if pk is not None:
            if pk == "frame":
                if frame is not None and not (v.index.equals(frame.index) and v.columns.equals(frame.columns)):
                    raise ValueError("%s(): argument %s has other rows or columns than another frame argument"
                                     % (fname, arg))
                frame = v
            elif index is None:
                index = v.index
            elif v.index is not index and not v.index.equals(index):
                raise ValueError("%s(): the index of argument %s differs from that of another Series "
                                 "argument; align them first (Series.align)" % (fname, arg))
        a = as_doubles(fname, arg, v)
        columns.append(a)
        shapes.append((arg, a.shape))
    shape = _broadcast(fname, shapes)
    if index is not None and frame is not None:
        raise ValueError("%s(): Series and DataFrame arguments cannot be mixed" % fname)
    if index is not None and frame_columns is not None and not index.equals(frame_columns):
        raise ValueError("%s(): a Series argument must be indexed by the series' columns, in their order"
                         % fname)

    # Series, one per row or DataFrame column: their padding dropped.
    if kinds[0] == "arr" and blocks and all(a.ndim == 2 and a.shape == blocks[0][1].shape for _, a in blocks):
        moved = _unpadded([a for _, a in blocks])
        for i, m in zip([i for i, k in enumerate(kinds) if k == "arr"], moved):
            columns[i] = m
        blocks = [(arg, m) for (arg, _), m in zip(blocks, moved)]

    # Array arguments: the count must not ask for more than each array holds.
    need = elements_needed(columns[count_at]) if blocks and count_at is not None else None
    for arg, a in blocks:
        if a.ndim == 2 and shape != a.shape[:1]:
            raise ValueError("%s(): argument %s holds %d series; the other arguments broadcast to shape %s"
                             % (fname, arg, a.shape[0], shape))
        if need is not None and need.size and need.max() > a.shape[-1]:
            raise ValueError("%s(): array %s has %d element%s per series, the count %s reads up to %d"
                             % (fname, arg, a.shape[-1], "" if a.shape[-1] == 1 else "s",
                                names[count_at], int(need.max())))

    out = np.empty(shape, dtype=np.float64)
    rows = out.size
    if rows:
        run(fname, kinds, columns, shape, out.reshape(-1), progress)

    if frame_columns is not None and out.ndim == 1:
        import pandas as pd
        return pd.Series(out, index=frame_columns, name=fname)
    if index is not None and out.shape == (len(index),):
        import pandas as pd
        return pd.Series(out, index=index, name=fname)
    if frame is not None and out.shape == frame.shape:
        import pandas as pd
        return pd.DataFrame(out, index=frame.index, columns=frame.columns)
    return out


def run(fname, kinds, columns, shape, out, progress=False):
    """out[i] = fname(row i) through vexal_map, or row by row without it."""
    rows = out.size
    keep, ptrs, strides = [], [], []
    for kind, a in zip(kinds, columns):
        if kind == "arr":
            stride = a.shape[1] if a.ndim == 2 else 0
        elif a.size == 1:
            a, stride = np.ascontiguousarray(a.reshape(1)), 0
        else:
            if a.shape != shape or not a.flags.c_contiguous:
                a = np.ascontiguousarray(np.broadcast_to(a, shape))
            stride = 1
        keep.append(a)
        ptrs.append(a.ctypes.data_as(_DoublePtr))
        strides.append(stride)
    fns = api()
    if not fns:
        return _row_by_row(fname, kinds, keep, strides, out)
    n = len(ptrs)
    c_args = (_DoublePtr * max(n, 1))(*ptrs)
    c_strides = (ctypes.c_longlong * max(n, 1))(*strides)
    with Watch(fname, progress) as watch:
        code = fns["vexal_map_progress"](fname.encode(), rows, c_args, c_strides, out.ctypes.data_as(_DoublePtr),
                                         _threads, watch.callback, None)
    watch.finish(code)
    check(code, fname)
    return out


def _row_by_row(fname, kinds, columns, strides, out):
    from . import _function
    fn = _function(fname)
    for i in range(out.size):
        values = []
        for kind, a, s in zip(kinds, columns, strides):
            if kind == "arr":
                values.append(a[i if s else 0].ctypes.data_as(_DoublePtr) if a.ndim == 2
                              else a.ctypes.data_as(_DoublePtr))
            else:
                values.append(float(a.reshape(-1)[i * s]))
        out[i] = fn(*values)
    return out
