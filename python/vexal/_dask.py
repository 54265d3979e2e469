"""Dask collections in, lazy Dask collections out: blocks and partitions are
evaluated by the same batch engine, on whatever scheduler computes them."""
import numpy as np

from ._arrays import is_dask as _is_dask


def _function(fname):
    import vexal
    return vexal._CALLS[fname]


def _blocks(fname, layout, *blocks):
    """One block of a Dask array: layout says, per argument, its constant
    value or which of the blocks it is."""
    args = [blocks[v] if is_block else v for is_block, v in layout]
    return np.asarray(_function(fname)(*args), dtype=np.float64)


def _partitions(fname, *args):
    return _function(fname)(*args)


def evaluate(fname, names, kinds, args):
    kinds_of = [type(v).__module__ for v in args]
    if any(_is_dask(v) and kind == "arr" for v, kind in zip(args, kinds)):
        return _series_rows(fname, names, kinds, args)
    frames = [v for v, k in zip(args, kinds_of) if k.startswith(("dask.dataframe", "dask_expr"))]
    arrays = [v for v, k in zip(args, kinds_of) if k.startswith("dask.array")]
    if frames and arrays:
        raise TypeError("%s(): Dask arrays and Dask Series cannot be mixed in one call" % fname)
    if frames:
        for arg, v in zip(names, args):
            if not _is_dask(v) and np.ndim(v) > 0:
                raise TypeError("%s(): argument %s is an array beside Dask Series; make it a column of the "
                                "same Dask DataFrame, or a number" % (fname, arg))
        import dask.dataframe as dd
        import pandas as pd
        return dd.map_partitions(_partitions, fname, *args,
                                 meta=pd.Series(dtype=np.float64, name=fname), align_dataframes=True)
    import dask.array as da
    dask_args = [i for i, v in enumerate(args) if _is_dask(v)
                 or (kinds[i] == "num" and np.ndim(v) > 0)]
    broadcast = da.broadcast_arrays(*[da.asarray(np.asarray(args[i], dtype=np.float64)
                                                 if not _is_dask(args[i])
                                                 else args[i]) for i in dask_args])
    position = {i: j for j, i in enumerate(dask_args)}
    layout = [(True, position[i]) if i in position else (False, v) for i, v in enumerate(args)]
    return da.map_blocks(_blocks, fname, layout, *broadcast, dtype=np.float64)


def _series_rows(fname, names, kinds, args):
    """Series statistics over 2-D Dask arrays, one series per row: each block
    of rows, its series whole, gives one value per row."""
    import dask.array as da
    first = next(v for v, k in zip(args, kinds) if k == "arr" and _is_dask(v))
    if getattr(first, "ndim", 0) != 2:
        raise ValueError("%s(): a Dask array of series must be 2-D, one series per row" % fname)
    chunks = first.chunks[0]
    layout, operands = [], []
    for arg, kind, v in zip(names, kinds, args):
        if kind == "arr" and _is_dask(v):
            if v.ndim != 2 or v.shape[0] != first.shape[0]:
                raise ValueError("%s(): argument %s must hold as many series (rows) as the others" % (fname, arg))
            operands += [v.rechunk({0: chunks, 1: -1}), "ij"]
        elif kind == "num" and np.ndim(v) > 0:
            a = v if _is_dask(v) else da.from_array(np.asarray(v, dtype=np.float64), chunks=(chunks,))
            if a.ndim != 1 or a.shape[0] != first.shape[0]:
                raise ValueError("%s(): argument %s must be a number or one per series" % (fname, arg))
            operands += [a.rechunk((chunks,)), "i"]
        else:
            layout.append((False, v))
            continue
        layout.append((True, len(operands) // 2 - 1))
    return da.blockwise(_blocks, "i", fname, None, layout, None, *operands, dtype=np.float64, concatenate=True)


def _fit_one(fit, counts, constants, *parts):
    """Fits one column (its partitions in order), or one column of each
    frame; the fit itself drops the column's NaN padding."""
    import pandas as pd
    columns, at = [], 0
    for count in counts:
        columns.append(pd.concat(parts[at:at + count]).to_numpy(dtype=np.float64, na_value=np.nan))
        at += count
    return tuple(fit(*columns, *constants))


def fit_columns(fit, frames, constants, fields):
    """fit over every column of Dask DataFrames, one task per column, on the
    active scheduler; a pandas DataFrame indexed by column, with the fields
    of fit's result as its columns."""
    import dask
    import pandas as pd
    first = frames[0]
    for other in frames[1:]:
        if list(other.columns) != list(first.columns):
            raise ValueError("%s(): the Dask DataFrames' columns differ" % fit.__name__)
    tasks = []
    for column in first.columns:
        per_frame = [f[column].to_delayed() for f in frames]
        parts = [p for f in per_frame for p in f]
        tasks.append(dask.delayed(_fit_one, pure=True)(fit, tuple(len(f) for f in per_frame), tuple(constants),
                                                       *parts))
    results = dask.compute(*tasks)
    return pd.DataFrame(list(results), index=pd.Index(first.columns), columns=list(fields), dtype=np.float64)
