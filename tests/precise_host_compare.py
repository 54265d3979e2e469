"""Every row of the precise table through two CLIs on the precise tests'
grids, compared double for double.

    python3 tests/precise_host_compare.py CLI OTHER_CLI

Each CLI is a command line ("build/bin/vexal", "wine build-win32/bin/vexal.exe":
the 32-bit CLI calls the precise family in VexalPrecise.dll). The grids are
those of the precise tests: the normal distribution's x and the European and
implied-volatility rows of tests/precise_reference.h, and a seeded sample of
the American accuracy grid of tests/precise_american_test.cpp (the American
implied volatilities at the prices the first CLI gives there). A row the
grids do not fit (another signature, an array) is called on the tests'
typical arguments and 20 seeded variants. Each function runs as one
`vexal map` over a CSV file (direct calls for an array row).

Prints, per function, the points, how many are the same double and the
largest difference in units of the last place. The C runtimes' exp and log
(glibc's and the mingw-w64 runtime's) may differ in their last bit, and a
result with them: it fails where one CLI gives NaN and the other not, or
where two results differ by more than 2 ulp and by more than twice the
largest change that moving one number argument by 4 ulp makes in the first
CLI's result (the conditioning of the implied volatilities and of the
American Greeks' bumped differences, which turn a last bit of a price into
many of the result). docs/precise.md gives the figures.
"""
import itertools
import math
import os
import random
import re
import shlex
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import gen_bindings  # noqa: E402
from host_compare import typical_values  # noqa: E402

VARIANTS = 20
COUNTS = ("n", "count")
SIX = ("S", "K", "T", "r", "sigma", "q")
MAX_ULP = 2      # the C runtimes' exp and log a last bit apart, and what follows from it
INPUT_ULP = 4    # beyond that: at most twice the largest change that 4 ulp of one input make
# Rows computed from the C++ runtime's complex exp, sin and pow (the expected
# maximum drawdown's Talbot contour, whose terms cancel to the result): the
# two runtimes' last bits there move the result by up to about 1e-13
# relative, within its documented 1e-10.
RUNTIME_RELATIVE = {"precise_EMDD": 1e-12}
EPS = sys.float_info.epsilon


def reference_rows(struct_name):
    """The rows of a table of tests/precise_reference.h as dicts of its leading fields."""
    text = open(os.path.join(ROOT, "tests", "precise_reference.h"), encoding="utf-8").read()
    fields = re.search(r"struct %s \{\s*double ([^;]*);" % struct_name, text).group(1)
    names = [f.strip() for f in fields.split(",")]
    body = re.search(r"k%s\[\] = \{(.*?)\n\};" % struct_name, text, re.S).group(1)
    rows = []
    for line in re.findall(r"^\s*\{(.*)\},?$", body, re.M):
        values = [float(v) for v in re.findall(r"[-+\w.]+", line.replace("{", " ").replace("}", " "))]
        rows.append(dict(zip(names, values)))
    return rows


def american_grid(count=120):
    """A seeded sample of the American accuracy grid: K = 100, S 25..200,
    T 1/12..3, sigma 0.1..0.6, r and q 0..0.12."""
    axes = [[25, 50, 80, 90, 100, 110, 120, 150, 200], [100], [1 / 12, 0.25, 0.5, 1, 2, 3],
            [0, 0.02, 0.04, 0.08, 0.12], [0.1, 0.2, 0.3, 0.4, 0.6], [0, 0.02, 0.04, 0.08, 0.12]]
    grid = [dict(zip(("S", "K", "T", "r", "sigma", "q"), p)) for p in itertools.product(*axes)]
    return random.Random(20).sample(grid, count)


def ulp_distance(a, b):
    """Doubles between a and b (0 for the same double)."""
    def key(v):
        i = struct.unpack("<q", struct.pack("<d", v))[0]
        return i if i >= 0 else -(i & 0x7FFFFFFFFFFFFFFF)
    return abs(key(a) - key(b))


class Cli:
    def __init__(self, command, tmp):
        self.command, self.tmp, self.files = shlex.split(command), tmp, 0

    def run(self, args):
        p = subprocess.run(self.command + args, capture_output=True, text=True, cwd=ROOT, timeout=900,
                           env=dict(os.environ, WINEDEBUG="-all"))
        if p.returncode != 0:
            raise SystemExit("FAIL %s %s: exit %d\n%s" % (" ".join(self.command), " ".join(args[:3]),
                                                         p.returncode, p.stderr[-2000:]))
        return p.stdout.replace("\r\n", "\n")

    def evaluate(self, e, points):
        """e at the points (dicts by argument name; a list for an array):
        one vexal map over a CSV file, or direct calls for an array row."""
        names = [a for a, _ in e.args]
        if any(kind == "arr" for _, kind in e.args):
            text = lambda v: ",".join(map(repr, v)) if isinstance(v, list) else repr(float(v))
            words = [w for i, p in enumerate(points) for w in (["--"] if i else []) + [e.name]
                     + [text(p[a]) for a in names]]
            return [float(v) for v in self.run(words).split()]
        self.files += 1
        path = os.path.join(self.tmp, "points%d.csv" % self.files)
        with open(path, "w") as f:
            f.write(",".join(names) + "\n")
            f.writelines(",".join(repr(float(p[a])) for a in names) + "\n" for p in points)
        lines = self.run(["map", e.name, path]).splitlines()
        return [float(line.rsplit(",", 1)[1]) for line in lines[1:]]


def points_for(e, reference):
    """The points of the tests' grids that fit e, or the typical ones."""
    names = [a for a, _ in e.args]
    if names == ["x"]:
        return reference_rows("Normal")
    if names == list(SIX):
        return american_grid() if "american" in e.name else reference_rows("European")
    if names == ["S", "K", "T", "r", "price", "q"] and "american" not in e.name:
        return reference_rows("Impvol")
    if names == ["S", "K", "T", "r", "price", "q"]:
        # At the prices of the function it inverts (precise_put_american for
        # precise_put_impvol_american), as the first CLI gives them.
        grid = american_grid()
        inverse = gen_bindings.Export(e.name.replace("_impvol", ""), [(a, "num") for a in SIX], "", "")
        return [dict(p, price=v) for p, v in zip(grid, reference.evaluate(inverse, grid))]
    typical, rng = typical_values(), random.Random(31)
    points = []
    for round_ in range(VARIANTS + 1):
        point = {}
        for name, kind in e.args:
            scale = 1.0 if round_ == 0 or name in COUNTS else rng.uniform(0.7, 1.3)
            if kind == "arr":
                point[name] = [v * scale for v in (100, 101.5, 99.25, 102, 100.5, 103)]
            else:
                point[name] = typical.get(name, 0.5) * scale
        points.append(point)
    return points


def input_noise(e, reference, points, base):
    """How far the last bits of the inputs move e at each point: the largest
    change of the first CLI's result when one number argument moves by
    INPUT_ULP ulp either way."""
    noise = [0.0] * len(points)
    for name, kind in e.args:
        if kind == "arr" or name in COUNTS:
            continue
        for sign in (-1, 1):
            moved = [dict(p, **{name: p[name] * (1 + sign * INPUT_ULP * EPS)}) for p in points]
            for i, (v, w) in enumerate(zip(reference.evaluate(e, moved), base)):
                if not (math.isnan(v) or math.isnan(w)):
                    noise[i] = max(noise[i], abs(v - w))
    return noise


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    failed, total, same = [], 0, 0
    with tempfile.TemporaryDirectory() as tmp:
        a, b = Cli(argv[1], tmp), Cli(argv[2], tmp)
        for e in gen_bindings.read_precise():
            points = points_for(e, a)
            x, y = a.evaluate(e, points), b.evaluate(e, points)
            if len(x) != len(points) or len(y) != len(points):
                raise SystemExit("FAIL %s: %d points, %d and %d results" % (e.name, len(points), len(x), len(y)))
            noise, worst_ulp, worst_ratio, equal = None, 0, 0.0, 0
            for i, (u, v) in enumerate(zip(x, y)):
                if math.isnan(u) or math.isnan(v):
                    if math.isnan(u) != math.isnan(v):
                        failed.append("%s: NaN in one CLI only at %s" % (e.name, points[i]))
                    equal += math.isnan(u) and math.isnan(v)
                    continue
                d = ulp_distance(u, v)
                equal += d == 0
                worst_ulp = max(worst_ulp, d)
                if d <= MAX_ULP or abs(u - v) <= RUNTIME_RELATIVE.get(e.name, 0) * abs(u):
                    continue
                if noise is None:
                    noise = input_noise(e, a, points, x)
                ratio = abs(u - v) / (2 * noise[i]) if noise[i] > 0 else math.inf
                worst_ratio = max(worst_ratio, ratio)
                if ratio > 1:
                    failed.append("%s: %r and %r (%d ulp) at %s, beyond twice what the inputs' last bits move (%.3g)"
                                  % (e.name, u, v, d, {k: points[i][k] for k, _ in e.args}, noise[i]))
            total, same = total + len(x), same + equal
            print("%-30s %4d points, %4d the same double; largest difference %d ulp%s"
                  % (e.name, len(x), equal, worst_ulp,
                     "" if worst_ratio == 0 else " (%.2g of the allowance of the inputs' last bits)" % worst_ratio))
    for f in failed[:20]:
        print("FAIL", f)
    print("%d functions, %d points, %d the same double; %d failed"
          % (len(gen_bindings.read_precise()), total, same, len(failed)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
