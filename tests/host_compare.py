"""Every export and every precise function through two CLIs, on typical and
varied arguments, compared.

    python3 tests/host_compare.py CLI OTHER_CLI [VARIANTS] [TOLERANCE]

Each CLI is a command line ("build/bin/vexal", "wine build-win64/bin/vexal64.exe"),
both with the precise family (not the 32-bit vexal.exe).
Both run the same sequence of calls, one process per round (so the fits and
the generator see the same history): every export on the tests' typical
arguments, then VARIANTS (default 20) more rounds with every number scaled
by a seeded random factor in [0.7, 1.3] (counts and flags kept). Prints the
largest relative difference among results of magnitude 1e-6 or more, and the
largest absolute difference among smaller ones (tree Greeks near zero, where
the bumped differences cancel); fails if the relative one exceeds TOLERANCE
(default 1e-9; the GARCH fit 1e-3, as in the README check) or if one host
gives NaN where the other does not.
"""
import math
import os
import random
import re
import shlex
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import gen_bindings  # noqa: E402

TINY = 1e-6
KEPT = {"n", "count", "order", "reverse"}


def typical_values():
    text = open(os.path.join(ROOT, "tests", "typical_args.h"), encoding="utf-8").read()
    return {k: float(v) for k, v in re.findall(r'\{"(\w+)",\s*([-\d.e]+)\}', text)}


def arrays_for(args):
    """Six-element arrays, as the export test gives them."""
    fixed = {"probs": [0.3, 0.2, 0.2, 0.1, 0.1, 0.1], "outcomes": [1.0, -1.0, 0.5, -0.5, 2.0, -0.2],
             "times": [0.1, 0.3, 0.45, 0.7, 0.2, 0.05], "amounts": [1, 0.5, 0.75, 1, 0.25, 0.5]}
    out, shift = {}, 0
    for name, kind in args:
        if kind == "arr":
            out[name] = fixed.get(name) or [100 + shift, 101.5 - shift, 99.25, 102 + shift, 100.5, 103 - shift]
            shift += 1
    return out


def calls(variants):
    typical, rng = typical_values(), random.Random(14)
    table = gen_bindings.read_table() + gen_bindings.read_precise()
    for round_ in range(variants + 1):
        for e in table:
            arrays = arrays_for(e.args)
            words = [e.name]
            for name, kind in e.args:
                scale = 1.0 if round_ == 0 or name in KEPT else rng.uniform(0.7, 1.3)
                if kind == "arr":
                    words.append(",".join(repr(v * scale) for v in arrays[name]))
                else:
                    words.append(repr(typical.get(name, 0.5) * scale))
            yield words


# Exports whose result lies on a grid (their summary says "resolution 2^-16"):
# a last-bit difference of the runtimes in the price they invert can move
# the answer by one step of it.
GRID = {e.name: 2.0 ** -16 for e in gen_bindings.read_table() if "resolution 2^-16" in e.summary}

# Implied volatilities of the American options with cash dividends: their
# price is a solve whose discrete choices (panels, the boundary's jump) move
# it by up to its accuracy as sigma moves, so a root of it is unique only to
# that. Both hosts' answers are right where the price at each is the same to
# within that accuracy (a few 1e-8 at the worst points seen).
SOLVED = {"precise_call_impvol_american_d": 1e-7, "precise_put_impvol_american_d": 1e-7}


def flat(cli, call, x, y, within=1e-9):
    """Whether the price an implied volatility inverts (call_impvol_binamer ->
    call_binamer, price in sigma's place) is the same at x and at y to
    `within` (1e-9): where the price hardly moves with sigma, the runtimes'
    last bits in it move the answer far along the grid, and both answers are
    right."""
    priced = call[0].replace("impvol_", "")
    at = lambda s: [priced] + [repr(s) if i == 4 else w for i, w in enumerate(call[1:])]
    p = run(cli, [at(x), at(y)])
    # A tree of too few steps for so small a sigma (its up-probability out of
    # [0, 1]) gives prices beyond any option's S + K: its search is meaningless there.
    broken = max(abs(v) for v in p) > float(call[1]) + float(call[2])
    return len(p) == 2 and (broken or abs(p[0] - p[1]) <= within * max(abs(p[0]), abs(p[1]), 1e-300))


def run(cli, sequence):
    """The results of the calls, one process per round of the table (a
    Windows command line holds at most 32767 characters)."""
    results, per_process = [], len(gen_bindings.read_table()) + len(gen_bindings.read_precise())
    for start in range(0, len(sequence), per_process):
        chunk = sequence[start:start + per_process]
        args = [w for i, call in enumerate(chunk) for w in (["--"] if i else []) + call]
        p = subprocess.run(shlex.split(cli) + args, capture_output=True, text=True, cwd=ROOT, timeout=600,
                           env=dict(os.environ, WINEDEBUG="-all"))
        if p.returncode != 0:
            raise SystemExit("FAIL %s: exit %d\n%s" % (cli, p.returncode, p.stderr[-2000:]))
        results += [float(x) for x in p.stdout.split()]
    return results


def main(argv):
    cli_a, cli_b = argv[1], argv[2]
    variants = int(argv[3]) if len(argv) > 3 else 20
    tolerance = float(argv[4]) if len(argv) > 4 else 1e-9
    sequence = list(calls(variants))
    a, b = run(cli_a, sequence), run(cli_b, sequence)
    if len(a) != len(sequence) or len(b) != len(sequence):
        raise SystemExit("FAIL: %d calls, %d and %d results" % (len(sequence), len(a), len(b)))
    worst = {"rel": (0.0, "-"), "fit": (0.0, "-"), "abs": (0.0, "-")}
    by_export, nan_mismatch, identical = {}, [], 0
    for call, x, y in zip(sequence, a, b):
        if math.isnan(x) or math.isnan(y):
            if math.isnan(x) != math.isnan(y):
                nan_mismatch.append(" ".join(call))
            continue
        identical += x == y
        big = max(abs(x), abs(y))
        if x == y or math.isinf(big):
            continue
        if call[0] in GRID and (abs(x - y) <= GRID[call[0]] or flat(cli_a, call, x, y)):
            continue  # one step of the function's own resolution, or a price flat in sigma there
        if call[0] in SOLVED and flat(cli_a, call, x, y, SOLVED[call[0]]):
            continue  # the same price to within its accuracy at both answers
        kind = "abs" if big < TINY else "fit" if call[0].startswith("garch_") else "rel"
        diff = abs(x - y) if kind == "abs" else abs(x - y) / big
        worst[kind] = max(worst[kind], (diff, call[0]), key=lambda t: t[0])
        if kind == "rel":
            by_export[call[0]] = max(by_export.get(call[0], 0.0), diff)
    print("%d calls, %d identical. Largest relative difference where |result| >= %g: %.3g (%s); "
          "GARCH fit %.3g (%s); largest absolute difference below %g: %.3g (%s)"
          % (len(sequence), identical, TINY, worst["rel"][0], worst["rel"][1], worst["fit"][0],
             worst["fit"][1], TINY, worst["abs"][0], worst["abs"][1]))
    ranked = sorted(by_export.items(), key=lambda t: -t[1])
    print("largest by export: " + ", ".join("%s %.2g" % t for t in ranked[:6]))
    for c in nan_mismatch[:10]:
        print("FAIL NaN in one host only:", c)
    failed = nan_mismatch or worst["rel"][0] > tolerance or worst["fit"][0] > 1e-3
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
