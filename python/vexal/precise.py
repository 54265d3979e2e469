"""The precise family: the functions of the library's precise table, named
here without their precise_ prefix (precise_call_eur is
vexal.precise.call_eur), with the arguments, units and conventions of the
functions of vexal and the same behaviour on arrays, pandas and Dask
(broadcast, evaluated on all cores; progress=True shows a bar on long
calls). Accurate to the last few bits of a double: see docs/precise.md.

    >>> import vexal
    >>> vexal.precise.call_eur(100, 100, 1, 0.05, 0.2, 0)      # doctest: +SKIP
    10.450583572185568

In libvexal.so and Vexal64.dll; the 32-bit Vexal.dll does not have them, and
a call there raises OSError.
"""
from . import _make
from ._exports import PRECISE

PREFIX = "precise_"
__all__ = [row[0][len(PREFIX):] for row in PRECISE]

for _name, _args, _summary, _family in PRECISE:
    globals()[_name[len(PREFIX):]] = _make(_name, _args, None, _summary, _family, _name[len(PREFIX):])
del _name, _args, _summary, _family
